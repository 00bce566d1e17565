#pragma once

// The mixer: every playing sound summed into 44.1 kHz stereo, sample by
// sample, with nothing but the calls it gets deciding the result, so the
// same calls give the same samples on a device and in a file.
//
// It is the sound engine's side of swf::AudioEvents: a frame loop tells it
// what each played frame asks (event sounds to start or stop, the block a
// timeline's stream is at), and mix() runs the clock on. Not thread-safe;
// AudioOutput guards it for its own thread.

#include "audio/decode.h"
#include "swf/sound_events.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace plovex::audio {

// Decoded sounds of one movie, each decoded once on first use. Safe to use
// from several threads.
class SoundCache {
public:
    void setMovie(std::shared_ptr<const swf::Movie> movie);
    const swf::Movie* movie() const { return movie_.get(); }
    // Null when the movie has no such sound (or no such stream).
    std::shared_ptr<const Pcm> sound(int soundId);
    std::shared_ptr<const DecodedStream> stream(int streamIndex);
    // A sound a script loaded (an MP3 file), heard under `soundId` until
    // the movie changes.
    void addLoaded(int soundId, std::shared_ptr<const QByteArray> mp3File);

private:
    std::mutex mutex_;
    std::shared_ptr<const swf::Movie> movie_;
    std::map<int, std::shared_ptr<const QByteArray>> loaded_;
    std::map<int, std::shared_ptr<const Pcm>> sounds_;
    std::map<int, std::shared_ptr<const DecodedStream>> streams_;
};

class Mixer : public swf::AudioEvents {
public:
    // Silences everything and forgets the sounds of the movie before.
    void setMovie(std::shared_ptr<const swf::Movie> movie);
    SoundCache& cache() { return cache_; }

    // swf::AudioEvents
    void startSound(const swf::SoundStart& start) override;
    void startTimelineSound(const swf::TimelineId& timeline, const swf::SoundStart& start) override;
    void streamBlock(const swf::TimelineId& timeline, int stream, int block) override;
    void stopAll() override;
    quint64 startScriptSound(const swf::ScriptSound& sound) override;
    void stopOwnerSounds(const swf::TimelineId& owner) override;
    void setSoundTransform(const std::optional<swf::TimelineId>& owner, const swf::SoundTransform& transform) override;
    qint64 soundPosition(quint64 handle) override;
    std::vector<quint64> takeFinishedSounds() override;
    // These two use only the cache, which is safe from any thread.
    void addLoadedSound(int soundId, std::shared_ptr<const QByteArray> mp3File) override;
    qint64 soundLength(int soundId) override;

    // The same with the sound already decoded (the output thread decodes
    // outside its lock and then calls these).
    void startDecoded(int soundId, const swf::SoundInfo& info, std::shared_ptr<const Pcm> pcm,
                      const std::optional<swf::TimelineId>& owner = std::nullopt);
    quint64 startScriptDecoded(const swf::ScriptSound& sound, std::shared_ptr<const Pcm> pcm);
    void streamDecoded(const swf::TimelineId& timeline, int stream, int block, std::shared_ptr<const DecodedStream> decoded);

    // Stream sounds stop (a paused movie); event sounds play on.
    void stopStreams();

    // Mixes the next `frames` frames into `out` (interleaved stereo).
    void mix(int16_t* out, qint64 frames);

    // The frame of `timeline` whose stream block is sounding `lag` output
    // frames before the mixer's position, or nothing when the timeline's
    // stream does not play. This is the clock a playing timeline follows.
    std::optional<int> streamFrame(const swf::TimelineId& timeline, const swf::Timeline& frames, qint64 lag = 0) const;

    bool streamPlaying(const swf::TimelineId& timeline) const;
    int voiceCount() const { return int(voices_.size()); }

    // How far a stream may be from the block it is told to be at before it
    // is moved there: half a second.
    static constexpr qint64 kStreamTolerance = kOutputRate / 2;

private:
    struct Voice {
        std::shared_ptr<const Pcm> pcm;
        std::shared_ptr<const DecodedStream> stream;   // for a stream voice
        int soundId = 0;
        swf::TimelineId timeline;                      // for a stream voice
        int streamIndex = -1;
        qint64 begin = 0, end = 0, pos = 0;            // output frames
        int loopsLeft = 1;
        qint64 elapsed = 0;                            // output frames played (for the envelope)
        std::vector<swf::SoundEnvelopePoint> envelope;
        std::optional<swf::TimelineId> owner;          // the timeline or clip it belongs to
        quint64 handle = 0;                            // a script's sound: its instance
    };
    const Voice* streamVoice(const swf::TimelineId& timeline) const;
    Voice* addVoice(int soundId, const swf::SoundInfo& info, std::shared_ptr<const Pcm> pcm,
                    const std::optional<swf::TimelineId>& owner);
    // The transform a voice is heard through.
    swf::SoundTransform transformOf(const Voice& v) const;

    SoundCache cache_;
    std::vector<Voice> voices_;
    std::map<swf::TimelineId, swf::SoundTransform> transforms_;   // by owner, within the owner's parents'
    swf::SoundTransform global_;
    std::vector<quint64> finished_;
    quint64 lastHandle_ = 0;
};

} // namespace plovex::audio

#pragma once

// The player's sound: the mixer on a thread of its own, feeding the
// desktop's sound server through Qt Multimedia's QAudioSink. The GUI
// thread only tells it what the frames ask (swf::AudioEvents); decoding
// happens on the caller's side, outside the lock the output thread mixes
// under, so a busy GUI never starves the device and a long decode never
// stalls it.
//
// Without a device (no sound server, no permission, the device lost while
// playing) the movie plays on in silence: one line goes to standard error,
// the events are dropped, and the next movie opened tries the device again.

#include "audio/mixer.h"

#include <QThread>
#include <atomic>
#include <memory>
#include <optional>

namespace plovex::audio {

// What the player widget needs of its sound; AudioOutput is the real one.
class PlayerAudio : public swf::AudioEvents {
public:
    // Silences everything; the sounds of `movie` (null: none) follow.
    virtual void setMovie(std::shared_ptr<const swf::Movie> movie) = 0;
    // Stream sounds stop; event sounds play on.
    virtual void stopStreams() = 0;
    // The frame of the root timeline whose stream sound is being heard,
    // when a root stream plays (see Mixer::streamFrame).
    virtual std::optional<int> rootStreamFrame(const swf::Timeline& root) = 0;
};

class AudioOutput final : public PlayerAudio {
public:
    // At most this much sound is queued ahead of what is heard.
    static constexpr int kBufferMs = 60;

    AudioOutput();
    ~AudioOutput() override;

    void setMovie(std::shared_ptr<const swf::Movie> movie) override;
    void stopStreams() override;
    std::optional<int> rootStreamFrame(const swf::Timeline& root) override;
    void startSound(const swf::SoundStart& start) override;
    void startTimelineSound(const swf::TimelineId& timeline, const swf::SoundStart& start) override;
    void streamBlock(const swf::TimelineId& timeline, int stream, int block) override;
    void stopAll() override;
    quint64 startScriptSound(const swf::ScriptSound& sound) override;
    void stopOwnerSounds(const swf::TimelineId& owner) override;
    void setSoundTransform(const std::optional<swf::TimelineId>& owner, const swf::SoundTransform& transform) override;
    qint64 soundPosition(quint64 handle) override;
    std::vector<quint64> takeFinishedSounds() override;
    void addLoadedSound(int soundId, std::shared_ptr<const QByteArray> mp3File) override;
    qint64 soundLength(int soundId) override;

    // True while a device takes the sound.
    bool deviceOpen() const;
    // Output frames queued ahead of the device (the latency of the sound
    // behind the picture), as last measured.
    qint64 queuedFrames() const;

    struct Shared;

private:
    void ensureDevice();
    std::shared_ptr<Shared> shared_;
    QThread thread_;
    QObject* pump_ = nullptr;   // lives on thread_
};

} // namespace plovex::audio

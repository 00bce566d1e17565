#pragma once

// The seam between a frame loop and a sound engine. The frame loop knows
// timelines and frames; the sound engine (src/audio/) knows voices and
// samples. A playing frame loop tells an AudioEvents sink, for every
// timeline that enters a frame, what that frame asks of the sound:
//
//   PlayFrameSounds(movie, timeline, id, frame, sink);
//
// which is FrameSoundEvents() passed on to the sink. Seeking (showing a
// frame by going to it, stepping, rebuilding a frame from the start) calls
// nothing: only frames that are played are heard.

#include "swf/movie.h"

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

namespace plovex::swf {

// Which timeline: the root (character 0, instance 0) or one instance of a
// sprite. The instance key is the frame loop's own; the sound engine only
// compares keys, so a stream belongs to the instance whose frames play it.
struct TimelineId {
    int characterId = 0;
    quint64 instance = 0;
    bool isRoot() const { return characterId == 0 && instance == 0; }
    friend bool operator==(const TimelineId&, const TimelineId&) = default;
    friend auto operator<=>(const TimelineId&, const TimelineId&) = default;
};

// How sounds are heard, as scripts set it (Sound.setVolume, setPan,
// setTransform): a volume and four channel gains, each a percentage.
// Left-to-right is how much of the left channel goes to the right
// speaker. Values outside 0..100 are kept as set.
struct SoundTransform {
    static constexpr int kFull = 100;
    int volume = kFull;
    int leftToLeft = kFull, leftToRight = 0, rightToLeft = 0, rightToRight = kFull;
    friend bool operator==(const SoundTransform&, const SoundTransform&) = default;

    // This transform heard through `outer` (a clip's through its parent's,
    // a sound's through the global one): the gains multiply as 2x2
    // matrices, in whole numbers. The Flash Player keeps 30 bits of each
    // result, so a negative value counts as a large positive one.
    SoundTransform within(const SoundTransform& outer) const;
    // The pan as Sound.getPan reports it (-100 left .. 100 right) and as
    // Sound.setPan sets it.
    int pan() const;
    void setPan(int pan);
};

// A sound a script starts (Sound.start).
struct ScriptSound {
    int soundId = 0;                    // a character, or a sound added by addLoadedSound
    std::optional<TimelineId> owner;    // the clip of the script's Sound; none: a Sound of no clip
    qint64 inPoint = 0;                 // 44.1 kHz frames skipped at its start
    int loops = 1;
};

// What entering one frame of a timeline asks of the sound: the event
// sounds it starts (StartSound, StartSound2), in tag order, and the block
// of its stream (stream -1 when the frame carries none).
struct FrameSounds {
    const std::vector<SoundStart>* starts = nullptr;   // never null for a frame of the timeline
    int stream = -1;
    int block = -1;
};
// Pure: reads the frame; an index outside the timeline gives no sounds.
FrameSounds FrameSoundEvents(const Timeline& timeline, int frame);

class AudioEvents {
public:
    virtual ~AudioEvents() = default;
    // A playing timeline entered frame `frame` (called before the frame's
    // sound events).
    virtual void frameEntered(const TimelineId& timeline, int frame) { (void)timeline; (void)frame; }
    // StartSound / StartSound2 / a button's sound.
    virtual void startSound(const SoundStart& start) = 0;
    // A StartSound of a timeline's frame: the sound belongs to that
    // timeline (its clip's sound transform applies, Sound.stop on the clip
    // stops it).
    virtual void startTimelineSound(const TimelineId& timeline, const SoundStart& start)
    {
        (void)timeline;
        startSound(start);
    }
    // The timeline's stream is at block `block` of Movie::streams[stream]:
    // the engine plays the stream from that block's sound on, unless it
    // already plays it there.
    virtual void streamBlock(const TimelineId& timeline, int stream, int block) = 0;
    // Everything falls silent (stopAllSounds, another movie, closing).
    virtual void stopAll() = 0;

    // --- The script Sound object ---
    // Starts a sound; returns the playing instance's handle (never 0), or 0
    // when nothing plays (no such sound, no sound device).
    virtual quint64 startScriptSound(const ScriptSound& sound) { (void)sound; return 0; }
    // Stops the event sounds that belong to a clip (its frames' and its
    // Sound objects').
    virtual void stopOwnerSounds(const TimelineId& owner) { (void)owner; }
    // The transform the sounds of `owner` are heard through (already
    // within its parents'); no owner: the global transform, which every
    // sound is heard through last.
    virtual void setSoundTransform(const std::optional<TimelineId>& owner, const SoundTransform& transform)
    {
        (void)owner;
        (void)transform;
    }
    // Where an instance is in its sound (44.1 kHz frames from the sound's
    // start, counting the current loop), or -1 once it no longer plays.
    virtual qint64 soundPosition(quint64 handle) { (void)handle; return -1; }
    // Instances started by startScriptSound that came to their end (not
    // those stopped) since the last call, in the order they ended.
    virtual std::vector<quint64> takeFinishedSounds() { return {}; }
    // A sound a script loaded (Sound.loadSound): the bytes of an MP3 file,
    // under an id the caller picks outside the movie's (a negative one).
    virtual void addLoadedSound(int soundId, std::shared_ptr<const QByteArray> mp3File)
    {
        (void)soundId;
        (void)mp3File;
    }
    // A sound's length in 44.1 kHz frames once decoded; -1 when there is no
    // such sound or it decodes to nothing.
    virtual qint64 soundLength(int soundId) { (void)soundId; return -1; }
};

// The rate a sound stored in the movie plays at, from its format and its
// rate code.
int SoundSampleRate(int format, int rateCode);

// The one call a frame loop makes when a playing timeline enters a frame.
void PlayFrameSounds(const Timeline& timeline, const TimelineId& id, int frame, AudioEvents& sink);

// A sprite instance's key under its parent's: the same parent, depth and
// character give the same key.
quint64 ChildInstanceKey(quint64 parent, int depth, int characterId);

} // namespace plovex::swf

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

#include <QtGlobal>
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
    // The timeline's stream is at block `block` of Movie::streams[stream]:
    // the engine plays the stream from that block's sound on, unless it
    // already plays it there.
    virtual void streamBlock(const TimelineId& timeline, int stream, int block) = 0;
    // Everything falls silent (stopAllSounds, another movie, closing).
    virtual void stopAll() = 0;
};

// The one call a frame loop makes when a playing timeline enters a frame.
void PlayFrameSounds(const Timeline& timeline, const TimelineId& id, int frame, AudioEvents& sink);

// A sprite instance's key under its parent's: the same parent, depth and
// character give the same key.
quint64 ChildInstanceKey(quint64 parent, int depth, int characterId);

} // namespace plovex::swf

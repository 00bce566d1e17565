#include "swf/sound_events.h"

namespace plovex::swf {

FrameSounds FrameSoundEvents(const Timeline& timeline, int frame)
{
    static const std::vector<SoundStart> none;
    FrameSounds out;
    out.starts = &none;
    if (frame < 0 || size_t(frame) >= timeline.frames.size())
        return out;
    const Frame& f = timeline.frames[size_t(frame)];
    out.starts = &f.sounds;
    if (f.stream >= 0 && f.streamBlock >= 0) {
        out.stream = f.stream;
        out.block = f.streamBlock;
    }
    return out;
}

void PlayFrameSounds(const Timeline& timeline, const TimelineId& id, int frame, AudioEvents& sink)
{
    const FrameSounds sounds = FrameSoundEvents(timeline, frame);
    sink.frameEntered(id, frame);
    for (const SoundStart& s : *sounds.starts)
        sink.startSound(s);
    if (sounds.stream >= 0)
        sink.streamBlock(id, sounds.stream, sounds.block);
}

quint64 ChildInstanceKey(quint64 parent, int depth, int characterId)
{
    // FNV-1a over the three values; never 0, which is the root's.
    quint64 h = 1469598103934665603ull;
    for (quint64 v : {parent, quint64(quint32(depth)), quint64(quint32(characterId))}) {
        for (int i = 0; i < 8; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
    return h ? h : 1;
}

} // namespace plovex::swf

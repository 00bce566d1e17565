#include "swf/sound_events.h"

#include <algorithm>
#include <cstdlib>

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
        sink.startTimelineSound(id, s);
    if (sounds.stream >= 0)
        sink.streamBlock(id, sounds.stream, sounds.block);
}

SoundTransform SoundTransform::within(const SoundTransform& outer) const
{
    // Sums of two products of 32-bit values need more than 64 bits.
    using Wide = __int128;
    constexpr Wide kMask = (Wide(1) << 30) - 1;
    const auto keep = [](Wide v) { return int((v / kFull) & kMask); };
    SoundTransform r;
    r.volume = keep(Wide(volume) * outer.volume);
    // out = outer * (this * in), the gains as the matrix [ll rl; lr rr].
    const Wide ll0 = leftToLeft, lr0 = leftToRight, rl0 = rightToLeft, rr0 = rightToRight;
    const Wide ll1 = outer.leftToLeft, lr1 = outer.leftToRight, rl1 = outer.rightToLeft, rr1 = outer.rightToRight;
    r.leftToLeft = keep(ll1 * ll0 + rl1 * lr0);
    r.leftToRight = keep(lr1 * ll0 + rr1 * lr0);
    r.rightToLeft = keep(ll1 * rl0 + rl1 * rr0);
    r.rightToRight = keep(lr1 * rl0 + rr1 * rr0);
    return r;
}

int SoundTransform::pan() const
{
    // What the Flash Player reports, odd as it is for negative gains: the
    // distance of the left gain from full, or else of the right gain.
    if (leftToLeft != kFull)
        return int(kFull - std::llabs(leftToLeft));
    return int(std::llabs(rightToRight) - kFull);
}

void SoundTransform::setPan(int pan)
{
    leftToRight = rightToLeft = 0;
    if (pan >= 0) {
        leftToLeft = kFull - pan;
        rightToRight = kFull;
    } else {
        leftToLeft = kFull;
        rightToRight = kFull + pan;
    }
}

int SoundSampleRate(int format, int rateCode)
{
    switch (format) {
    case 4:    // Nellymoser 16 kHz
    case 11:   // Speex
        return 16000;
    case 5:    // Nellymoser 8 kHz
        return 8000;
    default: break;
    }
    static constexpr int kRates[] = {5512, 11025, 22050, 44100};
    return kRates[std::clamp(rateCode, 0, 3)];
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

#include "audio/render.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace plovex::audio {

double PlayedFrameRate(double headerRate)
{
    constexpr double kDefaultRate = 12, kMaxRate = 120;
    if (!(headerRate > 0) || !std::isfinite(headerRate))
        return kDefaultRate;
    return std::min(headerRate, kMaxRate);
}

int FramesToAdvance(std::optional<int> streamFrame, int currentFrame)
{
    if (!streamFrame)
        return 1;
    return std::max(0, *streamFrame - currentFrame);
}

Pcm RenderMovieAudio(const std::shared_ptr<const swf::Movie>& movie, qint64 outputFrames)
{
    Pcm out;
    out.samples.assign(size_t(std::max<qint64>(0, outputFrames)) * kOutputChannels, 0);
    if (!movie || !movie->info.valid || outputFrames <= 0)
        return out;
    Mixer mixer;
    mixer.setMovie(movie);
    swf::Player player(movie, &mixer);
    const double framePeriod = kOutputRate / PlayedFrameRate(movie->info.frameRate);
    const swf::TimelineId root;
    qint64 done = 0;
    for (qint64 tick = 1; done < outputFrames; ++tick) {
        const qint64 until = std::min(outputFrames, qint64(std::llround(double(tick) * framePeriod)));
        mixer.mix(out.samples.data() + done * kOutputChannels, until - done);
        done = until;
        const int n = FramesToAdvance(mixer.streamFrame(root, movie->root), player.currentFrame());
        if (n > 0)
            player.advance(n);
    }
    return out;
}

QByteArray WavFile(const Pcm& pcm)
{
    const quint32 dataBytes = quint32(pcm.samples.size() * 2);
    QByteArray out;
    out.reserve(44 + qsizetype(dataBytes));
    const auto u32 = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    const auto u16 = [&out](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    out.append("RIFF", 4);
    u32(36 + dataBytes);
    out.append("WAVEfmt ", 8);
    u32(16);
    u16(1);                                   // PCM
    u16(kOutputChannels);
    u32(kOutputRate);
    u32(kOutputRate * kOutputChannels * 2);   // bytes a second
    u16(kOutputChannels * 2);                 // bytes a frame
    u16(16);
    out.append("data", 4);
    u32(dataBytes);
    for (int16_t s : pcm.samples)
        u16(quint16(s));
    return out;
}

} // namespace plovex::audio

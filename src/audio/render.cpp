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

MovieAudioRenderer::MovieAudioRenderer(const std::shared_ptr<const swf::Movie>& movie,
                                       const swf::MovieRuntimeFactory& scripts)
    : movie_(movie), player_([&] { mixer_.setMovie(movie); return movie; }(), scripts, &mixer_),
      framePeriod_(kOutputRate / PlayedFrameRate(movie->info.frameRate)), nextTick_(std::llround(framePeriod_))
{
}

void MovieAudioRenderer::render(int16_t* out, qint64 frames)
{
    const qint64 end = done_ + std::max<qint64>(0, frames);
    while (done_ < end) {
        const qint64 until = std::min(end, nextTick_);
        mixer_.mix(out, until - done_);
        out += (until - done_) * kOutputChannels;
        done_ = until;
        if (done_ < nextTick_)
            break;
        // A tick of the movie's clock: the root timeline moves on.
        const int n = FramesToAdvance(mixer_.streamFrame(swf::TimelineId(), movie_->root), player_.currentFrame());
        if (n > 0)
            player_.advance(n);
        nextTick_ = std::llround(double(++tick_) * framePeriod_);
    }
}

void MovieAudioRenderer::skip(qint64 frames)
{
    std::vector<int16_t> scratch;
    while (frames > 0) {
        const qint64 n = std::min<qint64>(frames, kOutputRate);
        scratch.resize(size_t(n) * kOutputChannels);
        render(scratch.data(), n);
        frames -= n;
    }
}

bool MovieHasSound(const swf::Movie& movie)
{
    if (!movie.streams.empty())
        return true;
    return std::any_of(movie.dictionary.begin(), movie.dictionary.end(),
                       [](const auto& entry) { return entry.second && entry.second->kind() == swf::CharacterKind::Sound; });
}

Pcm RenderMovieAudio(const std::shared_ptr<const swf::Movie>& movie, qint64 outputFrames,
                     const swf::MovieRuntimeFactory& scripts)
{
    Pcm out;
    out.samples.assign(size_t(std::max<qint64>(0, outputFrames)) * kOutputChannels, 0);
    if (!movie || !movie->info.valid || outputFrames <= 0)
        return out;
    MovieAudioRenderer renderer(movie, scripts);
    renderer.render(out.samples.data(), outputFrames);
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

#include "audio/mixer.h"

#include <algorithm>

namespace plovex::audio {

// --- Sound cache ----------------------------------------------------------------

void SoundCache::setMovie(std::shared_ptr<const swf::Movie> movie)
{
    std::lock_guard lock(mutex_);
    movie_ = std::move(movie);
    sounds_.clear();
    streams_.clear();
}

std::shared_ptr<const Pcm> SoundCache::sound(int soundId)
{
    std::shared_ptr<const swf::Movie> movie;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = sounds_.find(soundId); it != sounds_.end())
            return it->second;
        movie = movie_;
    }
    const auto* character = movie ? movie->get<swf::SoundCharacter>(soundId) : nullptr;
    if (!character)
        return nullptr;
    // Decoded outside the lock; a sound decoded twice at once keeps the
    // first result.
    auto pcm = std::make_shared<const Pcm>(DecodeSound(*character));
    std::lock_guard lock(mutex_);
    if (movie != movie_)
        return pcm;
    return sounds_.emplace(soundId, std::move(pcm)).first->second;
}

std::shared_ptr<const DecodedStream> SoundCache::stream(int streamIndex)
{
    std::shared_ptr<const swf::Movie> movie;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = streams_.find(streamIndex); it != streams_.end())
            return it->second;
        movie = movie_;
    }
    if (!movie || streamIndex < 0 || size_t(streamIndex) >= movie->streams.size())
        return nullptr;
    auto decoded = std::make_shared<const DecodedStream>(DecodeStream(movie->streams[size_t(streamIndex)]));
    std::lock_guard lock(mutex_);
    if (movie != movie_)
        return decoded;
    return streams_.emplace(streamIndex, std::move(decoded)).first->second;
}

// --- Mixer ----------------------------------------------------------------------

void Mixer::setMovie(std::shared_ptr<const swf::Movie> movie)
{
    voices_.clear();
    cache_.setMovie(std::move(movie));
}

void Mixer::startSound(const swf::SoundStart& start)
{
    // A sound named only by class (StartSound2) is found through the
    // scripts' symbol table, which the engine does not keep yet.
    if (start.soundId == 0)
        return;
    startDecoded(start.soundId, start.info, start.info.syncStop ? nullptr : cache_.sound(start.soundId));
}

void Mixer::startDecoded(int soundId, const swf::SoundInfo& info, std::shared_ptr<const Pcm> pcm)
{
    const auto isSound = [soundId](const Voice& v) { return !v.stream && v.soundId == soundId; };
    if (info.syncStop) {
        std::erase_if(voices_, isSound);
        return;
    }
    if (!pcm || pcm->frames() == 0)
        return;
    if (info.syncNoMultiple && std::any_of(voices_.begin(), voices_.end(), isSound))
        return;
    Voice v;
    v.soundId = soundId;
    v.pcm = std::move(pcm);
    // In and out points count 44.1 kHz samples, as the envelope does.
    const qint64 frames = v.pcm->frames();
    v.begin = std::min<qint64>(info.inPoint.value_or(0), frames);
    v.end = info.outPoint ? std::clamp<qint64>(*info.outPoint, v.begin, frames) : frames;
    if (v.end <= v.begin)
        return;
    v.pos = v.begin;
    v.loopsLeft = std::max(1, info.loops.value_or(1));
    v.envelope = info.envelope;
    voices_.push_back(std::move(v));
}

void Mixer::streamBlock(const swf::TimelineId& timeline, int stream, int block)
{
    // A stream that already plays near the block is not decoded again.
    if (const Voice* v = streamVoice(timeline); v && v->streamIndex == stream) {
        streamDecoded(timeline, stream, block, v->stream);
        return;
    }
    streamDecoded(timeline, stream, block, cache_.stream(stream));
}

void Mixer::streamDecoded(const swf::TimelineId& timeline, int stream, int block,
                          std::shared_ptr<const DecodedStream> decoded)
{
    if (!decoded || block < 0 || size_t(block) >= decoded->blockStart.size())
        return;
    const qint64 target = decoded->blockStart[size_t(block)];
    auto it = std::find_if(voices_.begin(), voices_.end(),
                           [&](const Voice& v) { return v.stream && v.timeline == timeline; });
    if (it != voices_.end() && it->streamIndex == stream && std::abs(it->pos - target) <= kStreamTolerance)
        return;   // already there: the sound is never cut or stretched to meet its frames
    if (target >= decoded->pcm.frames()) {
        if (it != voices_.end())
            voices_.erase(it);
        return;
    }
    Voice v;
    v.stream = decoded;
    v.pcm = std::shared_ptr<const Pcm>(decoded, &decoded->pcm);
    v.timeline = timeline;
    v.streamIndex = stream;
    v.begin = 0;
    v.end = decoded->pcm.frames();
    v.pos = target;
    if (it != voices_.end())
        *it = std::move(v);
    else
        voices_.push_back(std::move(v));
}

void Mixer::stopAll()
{
    voices_.clear();
}

void Mixer::stopStreams()
{
    std::erase_if(voices_, [](const Voice& v) { return v.stream != nullptr; });
}

namespace {

// The envelope's level (0..32768) at `t` output frames into the sound.
int EnvelopeLevel(const std::vector<swf::SoundEnvelopePoint>& env, qint64 t, bool right)
{
    const auto level = [right](const swf::SoundEnvelopePoint& p) { return std::clamp(right ? p.right : p.left, 0, 32768); };
    if (t <= qint64(env.front().position44))
        return level(env.front());
    for (size_t i = 1; i < env.size(); ++i) {
        const qint64 a = env[i - 1].position44, b = env[i].position44;
        if (t < b) {
            if (b <= a)
                return level(env[i]);
            return int(level(env[i - 1]) + (qint64(level(env[i]) - level(env[i - 1])) * (t - a)) / (b - a));
        }
    }
    return level(env.back());
}

} // namespace

void Mixer::mix(int16_t* out, qint64 frames)
{
    std::vector<int32_t> acc(size_t(frames) * 2, 0);
    for (Voice& v : voices_) {
        const int16_t* src = v.pcm->samples.data();
        qint64 i = 0;
        while (i < frames && v.loopsLeft > 0) {
            const qint64 n = std::min(frames - i, v.end - v.pos);
            if (v.envelope.empty()) {
                for (qint64 k = 0; k < n; ++k) {
                    acc[size_t(2 * (i + k))] += src[2 * (v.pos + k)];
                    acc[size_t(2 * (i + k) + 1)] += src[2 * (v.pos + k) + 1];
                }
            } else {
                for (qint64 k = 0; k < n; ++k) {
                    const qint64 t = v.elapsed + k;
                    acc[size_t(2 * (i + k))] += int32_t((qint64(src[2 * (v.pos + k)]) * EnvelopeLevel(v.envelope, t, false)) >> 15);
                    acc[size_t(2 * (i + k) + 1)] += int32_t((qint64(src[2 * (v.pos + k) + 1]) * EnvelopeLevel(v.envelope, t, true)) >> 15);
                }
            }
            i += n;
            v.pos += n;
            v.elapsed += n;
            if (v.pos >= v.end) {
                --v.loopsLeft;
                v.pos = v.begin;
            }
        }
    }
    std::erase_if(voices_, [](const Voice& v) { return v.loopsLeft <= 0; });
    for (size_t i = 0; i < acc.size(); ++i)
        out[i] = int16_t(std::clamp(acc[i], -32768, 32767));
}

const Mixer::Voice* Mixer::streamVoice(const swf::TimelineId& timeline) const
{
    for (const Voice& v : voices_)
        if (v.stream && v.timeline == timeline)
            return &v;
    return nullptr;
}

bool Mixer::streamPlaying(const swf::TimelineId& timeline) const
{
    return streamVoice(timeline) != nullptr;
}

std::optional<int> Mixer::streamFrame(const swf::TimelineId& timeline, const swf::Timeline& frames, qint64 lag) const
{
    const Voice* v = streamVoice(timeline);
    if (!v)
        return std::nullopt;
    const qint64 heard = std::max<qint64>(0, v->pos - lag);
    const auto& starts = v->stream->blockStart;
    // The last block that has begun by the position heard.
    const auto it = std::upper_bound(starts.begin(), starts.end(), heard);
    if (it == starts.begin())
        return std::nullopt;
    const int block = int(it - starts.begin()) - 1;
    // The frame that carries that block; a block no frame carries counts
    // for the frame before the next one that does.
    for (size_t f = 0; f < frames.frames.size(); ++f) {
        const swf::Frame& frame = frames.frames[f];
        if (frame.stream == v->streamIndex && frame.streamBlock >= block)
            return frame.streamBlock == block ? int(f) : std::max(0, int(f) - 1);
    }
    return std::nullopt;
}

} // namespace plovex::audio

#include "audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace plovex::audio {

// --- Sound cache ----------------------------------------------------------------

void SoundCache::setMovie(std::shared_ptr<const swf::Movie> movie)
{
    std::lock_guard lock(mutex_);
    movie_ = std::move(movie);
    sounds_.clear();
    streams_.clear();
    loaded_.clear();
}

void SoundCache::addLoaded(int soundId, std::shared_ptr<const QByteArray> mp3File)
{
    std::lock_guard lock(mutex_);
    sounds_.erase(soundId);
    if (mp3File)
        loaded_[soundId] = std::move(mp3File);
    else
        loaded_.erase(soundId);
}

std::shared_ptr<const Pcm> SoundCache::sound(int soundId)
{
    std::shared_ptr<const swf::Movie> movie;
    std::shared_ptr<const QByteArray> file;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = sounds_.find(soundId); it != sounds_.end())
            return it->second;
        movie = movie_;
        if (const auto it = loaded_.find(soundId); it != loaded_.end())
            file = it->second;
    }
    const auto* character = movie && !file ? movie->get<swf::SoundCharacter>(soundId) : nullptr;
    if (!character && !file)
        return nullptr;
    // Decoded outside the lock; a sound decoded twice at once keeps the
    // first result.
    auto pcm = std::make_shared<const Pcm>(file ? DecodeMp3File(*file) : DecodeSound(*character));
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
    transforms_.clear();
    global_ = swf::SoundTransform();
    finished_.clear();
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

void Mixer::startTimelineSound(const swf::TimelineId& timeline, const swf::SoundStart& start)
{
    if (start.soundId == 0)
        return;
    startDecoded(start.soundId, start.info, start.info.syncStop ? nullptr : cache_.sound(start.soundId), timeline);
}

void Mixer::startDecoded(int soundId, const swf::SoundInfo& info, std::shared_ptr<const Pcm> pcm,
                         const std::optional<swf::TimelineId>& owner)
{
    addVoice(soundId, info, std::move(pcm), owner);
}

Mixer::Voice* Mixer::addVoice(int soundId, const swf::SoundInfo& info, std::shared_ptr<const Pcm> pcm,
                              const std::optional<swf::TimelineId>& owner)
{
    const auto isSound = [soundId](const Voice& v) { return !v.stream && v.soundId == soundId; };
    if (info.syncStop) {
        std::erase_if(voices_, isSound);
        return nullptr;
    }
    if (!pcm || pcm->frames() == 0)
        return nullptr;
    if (info.syncNoMultiple && std::any_of(voices_.begin(), voices_.end(), isSound))
        return nullptr;
    Voice v;
    v.soundId = soundId;
    v.pcm = std::move(pcm);
    v.owner = owner;
    // In and out points count 44.1 kHz samples, as the envelope does.
    const qint64 frames = v.pcm->frames();
    v.begin = std::min<qint64>(info.inPoint.value_or(0), frames);
    v.end = info.outPoint ? std::clamp<qint64>(*info.outPoint, v.begin, frames) : frames;
    if (v.end <= v.begin)
        return nullptr;
    v.pos = v.begin;
    v.loopsLeft = std::max(1, info.loops.value_or(1));
    v.envelope = info.envelope;
    voices_.push_back(std::move(v));
    return &voices_.back();
}

quint64 Mixer::startScriptSound(const swf::ScriptSound& sound)
{
    return startScriptDecoded(sound, cache_.sound(sound.soundId));
}

quint64 Mixer::startScriptDecoded(const swf::ScriptSound& sound, std::shared_ptr<const Pcm> pcm)
{
    swf::SoundInfo info;
    if (sound.inPoint > 0)
        info.inPoint = quint32(std::min<qint64>(sound.inPoint, std::numeric_limits<quint32>::max()));
    info.loops = std::max(1, sound.loops);
    Voice* v = addVoice(sound.soundId, info, std::move(pcm), sound.owner);
    if (!v)
        return 0;
    v->handle = ++lastHandle_;
    return v->handle;
}

void Mixer::stopOwnerSounds(const swf::TimelineId& owner)
{
    std::erase_if(voices_, [&owner](const Voice& v) { return !v.stream && v.owner == owner; });
}

void Mixer::setSoundTransform(const std::optional<swf::TimelineId>& owner, const swf::SoundTransform& transform)
{
    if (!owner)
        global_ = transform;
    else if (transform == swf::SoundTransform())
        transforms_.erase(*owner);
    else
        transforms_[*owner] = transform;
}

qint64 Mixer::soundPosition(quint64 handle)
{
    for (const Voice& v : voices_)
        if (handle != 0 && v.handle == handle)
            return v.pos;
    return -1;
}

std::vector<quint64> Mixer::takeFinishedSounds()
{
    return std::exchange(finished_, {});
}

void Mixer::addLoadedSound(int soundId, std::shared_ptr<const QByteArray> mp3File)
{
    cache_.addLoaded(soundId, std::move(mp3File));
}

qint64 Mixer::soundLength(int soundId)
{
    const auto pcm = cache_.sound(soundId);
    return pcm && pcm->frames() > 0 ? pcm->frames() : -1;
}

swf::SoundTransform Mixer::transformOf(const Voice& v) const
{
    swf::SoundTransform t;
    if (v.owner)
        if (const auto it = transforms_.find(*v.owner); it != transforms_.end())
            t = it->second;
    return t.within(global_);
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
    v.owner = timeline;
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

namespace {

// A transform's gains as factors of the samples.
struct Gains {
    double ll = 1, lr = 0, rl = 0, rr = 1;
    explicit Gains(const swf::SoundTransform& t)
    {
        const double volume = double(t.volume) / swf::SoundTransform::kFull;
        const auto gain = [volume](int g) { return double(g) / swf::SoundTransform::kFull * volume; };
        ll = gain(t.leftToLeft);
        lr = gain(t.leftToRight);
        rl = gain(t.rightToLeft);
        rr = gain(t.rightToRight);
    }
};

// A mixed sample kept within what the sum of many voices can hold.
int32_t Bounded(double v)
{
    constexpr double kLimit = 1 << 24;
    return int32_t(std::llround(std::clamp(v, -kLimit, kLimit)));
}

} // namespace

void Mixer::mix(int16_t* out, qint64 frames)
{
    std::vector<int32_t> acc(size_t(frames) * 2, 0);
    for (Voice& v : voices_) {
        const int16_t* src = v.pcm->samples.data();
        const swf::SoundTransform transform = transformOf(v);
        const bool plain = transform == swf::SoundTransform();
        const Gains g(transform);
        qint64 i = 0;
        while (i < frames && v.loopsLeft > 0) {
            const qint64 n = std::min(frames - i, v.end - v.pos);
            if (v.envelope.empty() && plain) {
                for (qint64 k = 0; k < n; ++k) {
                    acc[size_t(2 * (i + k))] += src[2 * (v.pos + k)];
                    acc[size_t(2 * (i + k) + 1)] += src[2 * (v.pos + k) + 1];
                }
            } else {
                for (qint64 k = 0; k < n; ++k) {
                    int32_t l = src[2 * (v.pos + k)], r = src[2 * (v.pos + k) + 1];
                    if (!v.envelope.empty()) {
                        const qint64 t = v.elapsed + k;
                        l = int32_t((qint64(l) * EnvelopeLevel(v.envelope, t, false)) >> 15);
                        r = int32_t((qint64(r) * EnvelopeLevel(v.envelope, t, true)) >> 15);
                    }
                    if (!plain) {
                        const int32_t tl = Bounded(l * g.ll + r * g.rl), tr = Bounded(l * g.lr + r * g.rr);
                        l = tl;
                        r = tr;
                    }
                    acc[size_t(2 * (i + k))] += l;
                    acc[size_t(2 * (i + k) + 1)] += r;
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
        if (v.loopsLeft <= 0 && v.handle != 0)
            finished_.push_back(v.handle);
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

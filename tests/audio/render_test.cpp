// The mixed sound track of small movies: event sounds with their sound
// info, stream sounds and their frames, as the player would send them.

#include "audio/render.h"
#include "audio/sound_fixtures.h"
#include "swf/writer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtEndian>

using namespace plovex;
using namespace plovex::audio;
using namespace plovex::audio::test;
using swf::SoundInfo;

namespace {

constexpr int kFps = 10;
constexpr int kFrame = kOutputRate / kFps;   // 4410 output samples a frame

// 16-bit stereo PCM at 44.1 kHz: left = f(i), right = -f(i).
QByteArray StereoPcm(int frames, int (*f)(int))
{
    QByteArray d;
    for (int i = 0; i < frames; ++i)
        for (int v : {f(i), -f(i)}) {
            d.append(char(v & 0xFF));
            d.append(char((v >> 8) & 0xFF));
        }
    return d;
}
int Ramp(int i) { return (i % 200) * 100 - 10000; }

std::shared_ptr<const swf::Movie> Load(const swf::SwfWriter& w) { return swf::LoadMovie(w.finish()); }

// A movie of `frames` frames at 10 fps with sound 1 (the ramp, `length`
// samples) started by the sound infos given per frame.
std::shared_ptr<const swf::Movie> EventMovie(int frames, int length, const std::map<int, std::vector<SoundInfo>>& starts)
{
    swf::SwfWriter w({.frameRate = kFps});
    w.defineSound(1, 3, 3, true, true, quint32(length), StereoPcm(length, Ramp));
    for (int f = 0; f < frames; ++f) {
        if (const auto it = starts.find(f); it != starts.end())
            for (const SoundInfo& info : it->second)
                w.startSound(1, info);
        w.showFrame();
    }
    return Load(w);
}

// A sample of sound 1 played `at` output frames into the playing, given
// the sound info, as the format defines it: in/out points cut the sound,
// it repeats `loops` times, the envelope scales each side.
struct Expected {
    std::vector<int16_t> samples;
    void add(qint64 start, const SoundInfo& info, int length)
    {
        const qint64 begin = info.inPoint.value_or(0), end = info.outPoint.value_or(length);
        qint64 t = 0;
        for (int loop = 0; loop < info.loops.value_or(1); ++loop)
            for (qint64 i = begin; i < end; ++i, ++t) {
                const qint64 at = start + t;
                if (size_t(2 * at + 1) >= samples.size())
                    return;
                int l = Ramp(int(i)), r = -Ramp(int(i));
                if (!info.envelope.empty()) {
                    l = int((qint64(l) * level(info, t, false)) >> 15);
                    r = int((qint64(r) * level(info, t, true)) >> 15);
                }
                samples[size_t(2 * at)] = int16_t(std::clamp(samples[size_t(2 * at)] + l, -32768, 32767));
                samples[size_t(2 * at + 1)] = int16_t(std::clamp(samples[size_t(2 * at + 1)] + r, -32768, 32767));
            }
    }
    // Straight lines between the envelope's points, flat outside them.
    static int level(const SoundInfo& info, qint64 t, bool right)
    {
        const auto& e = info.envelope;
        auto v = [&](size_t k) { return right ? e[k].right : e[k].left; };
        if (t <= e.front().position44)
            return v(0);
        for (size_t k = 1; k < e.size(); ++k)
            if (t < e[k].position44)
                return int(v(k - 1) + (qint64(v(k)) - v(k - 1)) * (t - e[k - 1].position44) /
                                          (qint64(e[k].position44) - e[k - 1].position44));
        return v(e.size() - 1);
    }
};

struct InfoCase {
    const char* name;
    std::map<int, std::vector<SoundInfo>> starts;   // frame -> StartSound tags
    std::vector<std::pair<int, SoundInfo>> heard;   // frame -> what is heard from there
    std::optional<int> stopAt;                      // a frame whose stop silences what plays
};

class SoundInfoCases : public ::testing::TestWithParam<InfoCase> {};

TEST_P(SoundInfoCases, PlaySampleForSample)
{
    const InfoCase& c = GetParam();
    const int length = 9000;   // about two frames
    auto starts = c.starts;
    if (c.stopAt)
        starts[*c.stopAt].push_back(SoundInfo{.syncStop = true});
    const auto movie = EventMovie(12, length, starts);
    const Pcm got = RenderMovieAudio(movie, 10 * kFrame);
    Expected e;
    e.samples.assign(size_t(10 * kFrame * 2), 0);
    for (const auto& [frame, info] : c.heard)
        e.add(qint64(frame) * kFrame, info, length);
    if (c.stopAt)
        std::fill(e.samples.begin() + qint64(*c.stopAt) * kFrame * 2, e.samples.end(), 0);
    ASSERT_EQ(got.samples.size(), e.samples.size());
    EXPECT_EQ(got.samples, e.samples);
}

const SoundInfo kPlain{};
const SoundInfo kLoops3{.loops = 3};
const SoundInfo kInOut{.inPoint = 1000, .outPoint = 3000};
const SoundInfo kInOutLoops{.inPoint = 8000, .outPoint = 8500, .loops = 4};
const SoundInfo kEnvelope{.envelope = {{1000, 0, 32768}, {5000, 32768, 0}, {7000, 16384, 8192}}};
const SoundInfo kNoMultiple{.syncNoMultiple = true};

INSTANTIATE_TEST_SUITE_P(
    Mixer, SoundInfoCases,
    ::testing::Values(
        InfoCase{"Plain", {{0, {kPlain}}}, {{0, kPlain}}, {}},
        InfoCase{"StartsWithItsFrame", {{3, {kPlain}}}, {{3, kPlain}}, {}},
        InfoCase{"Loops", {{0, {kLoops3}}}, {{0, kLoops3}}, {}},
        InfoCase{"InAndOutPoints", {{1, {kInOut}}}, {{1, kInOut}}, {}},
        InfoCase{"InOutPointsWithLoops", {{0, {kInOutLoops}}}, {{0, kInOutLoops}}, {}},
        InfoCase{"Envelope", {{0, {kEnvelope}}}, {{0, kEnvelope}}, {}},
        InfoCase{"TwoInstancesOverlap", {{0, {kPlain}}, {1, {kPlain}}}, {{0, kPlain}, {1, kPlain}}, {}},
        InfoCase{"NoMultipleWhilePlaying", {{0, {kPlain}}, {1, {kNoMultiple}}}, {{0, kPlain}}, {}},
        InfoCase{"NoMultipleAfterTheEnd", {{0, {kPlain}}, {3, {kNoMultiple}}}, {{0, kPlain}, {3, kPlain}}, {}},
        InfoCase{"StopSilences", {{0, {kLoops3}}}, {{0, kLoops3}}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct CodecCase {
    const char* name;
    int format, rateCode;
    const char* codec;
    int rate;
};
class CodecTracks : public ::testing::TestWithParam<CodecCase> {};

// Compressed event sounds come out of the mix as ffmpeg decodes them (mono,
// so the reference is one channel and both sides carry it).
TEST_P(CodecTracks, MatchAnIndependentDecode)
{
    const CodecCase c = GetParam();
    QTemporaryDir dir;
    const bool mp3 = c.format == kMp3;
    const QString path = dir.filePath(mp3 ? "t.mp3" : "t.flv");
    EncodeTone(path, QString::fromLatin1(c.codec), mp3 ? "mp3" : "flv", c.rate, 1, mp3 ? 0.5 : 0.09, 660);
    const QByteArray file = ReadAll(path);
    const std::vector<QByteArray> packets = mp3 ? std::vector<QByteArray>{file} : FlvAudioPackets(file);
    ASSERT_FALSE(packets.empty());
    QByteArray data = mp3 ? QByteArray(2, '\0') : QByteArray();
    for (const QByteArray& p : packets) {
        data += p;
        if (c.format == kAdpcm)
            break;   // one ADPCM packet: each carries its own header
    }
    swf::SwfWriter w({.frameRate = kFps});
    w.defineSound(1, c.format, c.rateCode, true, false, 0xFFFFFFFF, data);
    w.startSound(1);
    for (int f = 0; f < 8; ++f)
        w.showFrame();
    const Pcm got = RenderMovieAudio(Load(w), 5 * kFrame);
    std::vector<int16_t> reference = ReferenceDecode(path, {"-ar", "44100", "-ac", "1"});
    const std::vector<int16_t> left = Channel(got.samples, 2, 0);
    ASSERT_GT(reference.size(), 2000u);
    if (c.format == kAdpcm)
        reference.resize(std::min<size_t>(reference.size(), size_t(4096.0 * 44100 / c.rate)));
    // Over the shorter of the two (RelativeError compares the common part).
    EXPECT_LT(RelativeError(left, reference), 0.03);
    EXPECT_EQ(left, Channel(got.samples, 2, 1));
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecTracks,
                         ::testing::Values(CodecCase{"Adpcm", kAdpcm, 2, "adpcm_swf", 22050},
                                           CodecCase{"Mp3", kMp3, 3, "libmp3lame", 44100},
                                           CodecCase{"Nellymoser", kNellymoser8k, 0, "nellymoser", 8000}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StreamCase {
    const char* name;
    int samplesPerBlock;   // 44.1 kHz mono samples in each block
    int fps;
};
class StreamAlignment : public ::testing::TestWithParam<StreamCase> {};

// Over a long movie whose stream blocks are longer or shorter than its
// frames, the timeline follows the sound: a click started by frame k is
// heard while block k (or its neighbour) sounds; the stream itself is
// played whole, each block for exactly its own length.
TEST_P(StreamAlignment, FramesFollowTheSound)
{
    const StreamCase c = GetParam();
    const int frames = 600;
    swf::SwfWriter w({.frameRate = double(c.fps)});
    QByteArray click;
    for (int i = 0; i < 50; ++i)
        click.append("\0\0\x20\x4e", 4);   // left 0, right 20000
    w.defineSound(1, 3, 3, true, true, 50, click);
    w.soundStreamHead(3, 3, true, false, c.samplesPerBlock);
    for (int f = 0; f < frames; ++f) {
        QByteArray block;
        const int v = (f + 1) * 10;
        for (int i = 0; i < c.samplesPerBlock; ++i)
            block.append(char(v & 0xFF)).append(char(v >> 8));
        w.soundStreamBlock(block);
        if (f % 50 == 25)
            w.startSound(1);
        w.showFrame();
    }
    const auto movie = Load(w);
    const qint64 length = qint64(frames) * c.samplesPerBlock;
    const Pcm got = RenderMovieAudio(movie, length);
    const std::vector<int16_t> left = Channel(got.samples, 2, 0), right = Channel(got.samples, 2, 1);
    // Every block sounds for exactly its length, in order.
    std::vector<int> heard(frames + 2, 0);
    int previous = 0;
    for (int16_t s : left) {
        ASSERT_GE(s / 10, previous) << "the stream went back";
        previous = s / 10;
        if (s / 10 >= 1 && s / 10 <= frames)
            ++heard[size_t(s / 10)];
    }
    for (int f = 1; f <= frames; ++f)
        EXPECT_EQ(heard[size_t(f)], c.samplesPerBlock) << "block " << f - 1;
    // Each click starts within a frame of its block.
    int clicks = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        if (right[i] - left[i] >= 20000 && (i == 0 || right[i - 1] - left[i - 1] < 20000)) {
            const int block = left[i] / 10 - 1;
            const int frame = 25 + 50 * clicks;
            EXPECT_LE(std::abs(block - frame), 1) << "click of frame " << frame << " heard at block " << block;
            ++clicks;
        }
    }
    EXPECT_EQ(clicks, 12);
}

INSTANTIATE_TEST_SUITE_P(Mixer, StreamAlignment,
                         ::testing::Values(StreamCase{"BlocksMatchFrames", 1764, 25},
                                           StreamCase{"SoundSlowerThanFrames", 2000, 24},
                                           StreamCase{"SoundFasterThanFrames", 1500, 24},
                                           StreamCase{"FractionalFrames", 1837, 24}),
                         [](const auto& info) { return std::string(info.param.name); });

// A sprite's stream plays while the sprite plays; the track is the same on
// every run.
TEST(Mixer, SpriteStreamsPlayAndTheTrackIsDeterministic)
{
    swf::SwfWriter w({.frameRate = kFps});
    swf::TagStream sprite;
    sprite.soundStreamHead(3, 3, true, false, kFrame);
    for (int f = 0; f < 3; ++f) {
        QByteArray block;
        for (int i = 0; i < kFrame; ++i)
            block.append(char(f + 1)).append('\0');
        sprite.soundStreamBlock(block);
        sprite.showFrame();
    }
    w.defineSprite(5, sprite);
    w.placeObject2(swf::PlaceNew(5, 1));
    for (int f = 0; f < 6; ++f)
        w.showFrame();
    const auto movie = Load(w);
    const Pcm a = RenderMovieAudio(movie, 6 * kFrame);
    EXPECT_EQ(a.samples, RenderMovieAudio(movie, 6 * kFrame).samples);
    // The sprite loops its three blocks: 1, 2, 3, 1, 2, 3.
    for (int f = 0; f < 6; ++f)
        EXPECT_EQ(a.samples[size_t(2 * (f * kFrame + 100))], f % 3 + 1) << "frame " << f;
}

// Damaged sound in a movie: a StartSound of a sound that does not exist, a
// stream block whose head came later, a sample count that lies. The track
// is made without a crash.
TEST(Mixer, DamagedSoundsPlayWhatTheyCan)
{
    swf::SwfWriter w({.frameRate = kFps});
    w.startSound(77);
    w.soundStreamBlock(QByteArray(400, '\x10'));
    w.defineSound(1, 3, 3, true, false, 0x7FFFFFFF, QByteArray(1001, '\x10'));
    w.startSound(1, SoundInfo{.inPoint = 0xFFFFFFFF, .outPoint = 3});
    w.startSound(1, SoundInfo{.loops = 65535});
    w.soundStreamHead(3, 3, true, false, 100);
    w.soundStreamBlock(QByteArray(1, '\xFF'));   // half a sample
    w.showFrame();
    w.showFrame();
    const Pcm got = RenderMovieAudio(Load(w), 3 * kFrame);
    ASSERT_EQ(got.frames(), 3 * kFrame);
    EXPECT_EQ(got.samples[0], 0x1010);   // the looping sound
}

// The WAV file: RIFF header for 44.1 kHz 16-bit stereo, then the samples.
TEST(Mixer, WavFileHeader)
{
    Pcm pcm;
    pcm.samples = {1, -1, 300, -300};
    const QByteArray wav = WavFile(pcm);
    ASSERT_EQ(wav.size(), 44 + 8);
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 4), 44u);
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 22), 2);
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 24), 44100u);
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 34), 16);
    EXPECT_EQ(wav.mid(36, 4), "data");
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 40), 8u);
    EXPECT_EQ(qFromLittleEndian<qint16>(wav.constData() + 48), 300);
}

} // namespace

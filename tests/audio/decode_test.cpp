// Decoding every stored sound format into 44.1 kHz stereo.

#include "audio/decode.h"
#include "audio/sound_fixtures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace plovex;
using namespace plovex::audio;
using namespace plovex::audio::test;

namespace {

swf::SoundCharacter Sound(int format, int rate, bool is16Bit, bool stereo, quint32 count, const QByteArray& data)
{
    swf::SoundCharacter s;
    s.format = format;
    s.rate = rate;
    s.is16Bit = is16Bit;
    s.stereo = stereo;
    s.sampleCount = count;
    s.data = data;
    return s;
}

struct PcmCase {
    const char* name;
    int format;
    bool is16Bit, stereo;
};

class PcmDecode : public ::testing::TestWithParam<PcmCase> {};

// Uncompressed sounds at 44.1 kHz come out sample for sample: 8-bit
// samples are unsigned around 128, 16-bit ones little-endian, mono goes to
// both sides.
TEST_P(PcmDecode, ComesOutSampleForSample)
{
    const PcmCase c = GetParam();
    const int channels = c.stereo ? 2 : 1;
    const int frames = 300;
    QByteArray data;
    std::vector<int16_t> expected;
    for (int i = 0; i < frames; ++i) {
        for (int ch = 0; ch < channels; ++ch) {
            const int v = int(std::lround(std::sin(i * 0.05 + ch) * (c.is16Bit ? 30000 : 120)));
            if (c.is16Bit) {
                data.append(char(v & 0xFF));
                data.append(char((v >> 8) & 0xFF));
                expected.push_back(int16_t(v));
            } else {
                data.append(char(uint8_t(v + 128)));
                expected.push_back(int16_t(v * 256));
            }
        }
        if (!c.stereo)
            expected.push_back(expected.back());
    }
    const Pcm pcm = DecodeSound(Sound(c.format, 3, c.is16Bit, c.stereo, frames, data));
    EXPECT_EQ(pcm.samples, expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, PcmDecode,
                         ::testing::Values(PcmCase{"Native8Mono", kPcmNative, false, false},
                                           PcmCase{"Native16Stereo", kPcmNative, true, true},
                                           PcmCase{"Le8Stereo", kPcmLittleEndian, false, true},
                                           PcmCase{"Le16Mono", kPcmLittleEndian, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A lower rate is resampled to 44.1 kHz: the length scales with the rate.
TEST(Decode, LowerRatesAreResampledToTheOutputRate)
{
    for (int rateCode : {0, 1, 2}) {
        const int rate = SourceRate(kPcmLittleEndian, rateCode);
        QByteArray data(rate / 10 * 2, '\0');   // a tenth of a second of 16-bit mono
        const Pcm pcm = DecodeSound(Sound(kPcmLittleEndian, rateCode, true, false, quint32(rate / 10), data));
        EXPECT_NEAR(double(pcm.frames()), kOutputRate / 10.0, 2.0) << "rate " << rate;
    }
}

// The sample count trims the data; a count larger than the data does not
// add silence; a cut last sample is dropped.
TEST(Decode, SampleCountTrimsButNeverPads)
{
    QByteArray data(2000, '\x40');
    EXPECT_EQ(DecodeSound(Sound(kPcmLittleEndian, 3, true, false, 100, data)).frames(), 100);
    EXPECT_EQ(DecodeSound(Sound(kPcmLittleEndian, 3, true, false, 0xFFFFFFFF, data)).frames(), 1000);
    EXPECT_EQ(DecodeSound(Sound(kPcmLittleEndian, 3, true, true, 0xFFFFFFFF, data.left(1003))).frames(), 250);
}

struct CodecCase {
    const char* name;
    int format;        // as the movie stores it
    int rateCode;
    const char* codec; // ffmpeg's encoder
    int rate, channels;
    double maxError;   // relative RMS error against ffmpeg's own decode
};

class CodecDecode : public ::testing::TestWithParam<CodecCase> {};

// Compressed sounds match ffmpeg's own decode of the same packets, resampled
// by ffmpeg to 44.1 kHz, within a small error; as an event sound (all
// packets in one DefineSound) and as a stream (one packet a block).
TEST_P(CodecDecode, MatchesAnIndependentDecode)
{
    const CodecCase c = GetParam();
    QTemporaryDir dir;
    const bool mp3 = c.format == kMp3;
    const QString path = dir.filePath(mp3 ? "tone.mp3" : "tone.flv");
    EncodeTone(path, QString::fromLatin1(c.codec), mp3 ? "mp3" : "flv", c.rate, c.channels, 0.6);
    const QByteArray file = ReadAll(path);
    ASSERT_FALSE(file.isEmpty());
    std::vector<QByteArray> packets = mp3 ? std::vector<QByteArray>{file} : FlvAudioPackets(file);
    ASSERT_FALSE(packets.empty());
    const std::vector<int16_t> reference =
        ReferenceDecode(path, {QStringLiteral("-ar"), QStringLiteral("44100"), QStringLiteral("-ac"), QString::number(c.channels)});
    ASSERT_GT(reference.size(), 10000u);

    // As a stream: each packet one block (an MP3 block carries its sample
    // count and seek first).
    swf::SoundStream stream;
    stream.format = c.format;
    stream.rate = c.rateCode;
    stream.is16Bit = true;
    stream.stereo = c.channels == 2;
    for (const QByteArray& p : packets)
        stream.blocks.push_back(mp3 ? QByteArray(4, '\0') + p : p);
    const DecodedStream decoded = DecodeStream(stream);
    ASSERT_EQ(decoded.blockStart.size(), stream.blocks.size());
    const std::vector<int16_t> left = Channel(decoded.pcm.samples, 2, 0);
    const std::vector<int16_t> refLeft = Channel(reference, c.channels, 0);
    EXPECT_NEAR(double(left.size()), double(refLeft.size()), 64.0);
    EXPECT_LT(RelativeError(left, refLeft), c.maxError);
    if (c.channels == 2)
        EXPECT_LT(RelativeError(Channel(decoded.pcm.samples, 2, 1), Channel(reference, 2, 1)), c.maxError);
    else
        EXPECT_EQ(left, Channel(decoded.pcm.samples, 2, 1));

    // As an event sound, where the packets' framing allows one blob (Speex
    // frames carry no length, so only a stream's blocks split them).
    if (c.format == kSpeex)
        return;
    if (c.format == kAdpcm)
        packets.resize(1);   // each ADPCM packet carries its own code-size header
    QByteArray blob = mp3 ? QByteArray(2, '\0') : QByteArray();
    for (const QByteArray& p : packets)
        blob += p;
    const Pcm event = DecodeSound(Sound(c.format, c.rateCode, true, c.channels == 2, 0xFFFFFFFF, blob));
    const std::vector<int16_t> eventLeft = Channel(event.samples, 2, 0);
    ASSERT_GT(eventLeft.size(), 1000u);
    EXPECT_LT(RelativeError(eventLeft, std::vector<int16_t>(refLeft.begin(), refLeft.begin() + std::min(refLeft.size(), eventLeft.size()))),
              c.maxError);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CodecDecode,
    ::testing::Values(CodecCase{"AdpcmStereo44k", kAdpcm, 3, "adpcm_swf", 44100, 2, 0.01},
                      CodecCase{"AdpcmMono22k", kAdpcm, 2, "adpcm_swf", 22050, 1, 0.03},
                      CodecCase{"Mp3Stereo44k", kMp3, 3, "libmp3lame", 44100, 2, 0.01},
                      CodecCase{"Mp3Mono22k", kMp3, 2, "libmp3lame", 22050, 1, 0.03},
                      CodecCase{"Nellymoser8k", kNellymoser8k, 0, "nellymoser", 8000, 1, 0.03},
                      CodecCase{"Nellymoser16k", kNellymoser16k, 0, "nellymoser", 16000, 1, 0.03},
                      CodecCase{"Nellymoser22k", kNellymoser, 2, "nellymoser", 22050, 1, 0.03},
                      CodecCase{"Speex16k", kSpeex, 0, "libspeex", 16000, 1, 0.05}),
    [](const auto& info) { return std::string(info.param.name); });

// Damaged data decodes what it can and never reads past its bytes: cut
// MP3 frames, ADPCM whose blocks run past the end, random bytes in every
// format, empty data, lying sample counts.
TEST(Decode, DamagedDataNeverCrashes)
{
    QTemporaryDir dir;
    EncodeTone(dir.filePath("t.mp3"), "libmp3lame", "mp3", 22050, 1, 0.5);
    const QByteArray mp3 = ReadAll(dir.filePath("t.mp3"));
    ASSERT_GT(mp3.size(), 1000);
    const Pcm whole = DecodeSound(Sound(kMp3, 2, true, false, 0xFFFFFFFF, QByteArray(2, '\0') + mp3));
    const Pcm cut = DecodeSound(Sound(kMp3, 2, true, false, 0xFFFFFFFF, QByteArray(2, '\0') + mp3.left(mp3.size() / 2 + 77)));
    EXPECT_GT(cut.frames(), 0);
    EXPECT_LT(cut.frames(), whole.frames());

    EncodeTone(dir.filePath("t.flv"), "adpcm_swf", "flv", 22050, 2, 0.3);
    const std::vector<QByteArray> adpcm = FlvAudioPackets(ReadAll(dir.filePath("t.flv")));
    ASSERT_FALSE(adpcm.empty());
    for (int keep : {1, 2, 3, 30, int(adpcm[0].size()) - 1}) {
        const Pcm p = DecodeSound(Sound(kAdpcm, 2, true, true, 4096, adpcm[0].left(keep)));
        EXPECT_LE(p.frames(), 4096 * 2 + 8) << keep;
    }

    uint32_t seed = 12345;
    for (int format : {0, 1, 2, 3, 4, 5, 6, 11, 7, 15}) {
        for (int size : {0, 1, 2, 5, 64, 700, 5000}) {
            QByteArray junk(size, '\0');
            for (char& ch : junk) {
                seed = seed * 1103515245 + 12345;
                ch = char(seed >> 24);
            }
            const Pcm p = DecodeSound(Sound(format, 3, true, true, 0xFFFFFFFF, junk));
            EXPECT_LE(p.frames(), qint64(size) * 64 + 4096) << format << " " << size;
            swf::SoundStream s;
            s.format = format;
            s.rate = 1;
            s.blocks = {junk, junk.left(size / 2), QByteArray()};
            const DecodedStream d = DecodeStream(s);
            ASSERT_EQ(d.blockStart.size(), 3u);
            for (qint64 start : d.blockStart)
                EXPECT_LE(start, d.pcm.frames());
        }
    }
}

// A stream's blocks start where the sound before them ends.
TEST(Decode, StreamBlocksStartWhereTheirSoundBegins)
{
    swf::SoundStream s;
    s.format = kPcmLittleEndian;
    s.rate = 1;   // 11025 Hz: each source sample is four output samples
    s.is16Bit = true;
    s.stereo = false;
    s.blocks = {QByteArray(2 * 100, '\x01'), QByteArray(), QByteArray(2 * 50, '\x02'), QByteArray(2 * 25, '\x03')};
    const DecodedStream d = DecodeStream(s);
    EXPECT_EQ(d.blockStart, (std::vector<qint64>{0, 400, 400, 600}));
    EXPECT_EQ(d.pcm.frames(), 700);
}

} // namespace

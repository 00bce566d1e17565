// Movies written by the engine's SWF writer, plain and compressed, give the
// sounds they were written with.

#include "extract/sounds.h"
#include "extract/swf_bytes.h"
#include "support/scripted_prompts.h"
#include "swf/writer.h"

namespace plovex::test {
namespace {

class WriterMovieTest : public ::testing::TestWithParam<swf::Compression> {};

TEST_P(WriterMovieTest, SoundsComeOutAsWritten)
{
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    const QByteArray mp3 = pseudoRandomBytes(4000, 1), adpcm = pseudoRandomBytes(900, 2);
    const QByteArray block1 = pseudoRandomBytes(600, 3), block2 = pseudoRandomBytes(700, 4);
    const QByteArray wave = pseudoRandomBytes(300, 5);

    swf::SwfWriter w({.version = 10, .compression = GetParam()});
    w.defineSound(1, 2, 3, true, true, 44100, le16Bytes(0) + mp3);
    w.defineSound(2, 1, 1, true, false, 2000, adpcm);
    swf::TagStream sprite; // a sprite's own sounds are not extracted
    sprite.tag(14, defineSoundBody(9, 2, mp3));
    sprite.showFrame();
    w.defineSprite(3, sprite);
    w.soundStreamHead(2, 3, true, true, 1152);
    w.soundStreamBlock(le16Bytes(1152) + le16Bytes(0) + block1);
    w.showFrame();
    w.soundStreamBlock(le16Bytes(1152) + le16Bytes(0) + block2);
    w.showFrame();
    w.soundStreamHead(0, 1, true, false, 500, true);
    w.soundStreamBlock(QByteArray(4, '\0') + wave);
    w.showFrame();
    writeWhole(dir.filePath("writer.swf"), w.finish());

    const QString out = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out));
    SoundExtractionOptions options;
    options.acceptCompressed = true;
    const auto result = ExtractSwfSounds(dir.filePath("writer.swf"), out, options);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(filesIn(out), (QStringList{"writer_SOUND1.MP3", "writer_SOUND2.WAV", "writer_StreamSound1.MP3",
                                         "writer_StreamSound2.WAV"}));
    EXPECT_TRUE(readWhole(QDir(out).filePath("writer_SOUND1.MP3")) == eventFile(2, le16Bytes(0) + mp3, 0xF).replace(1, 4, le32Bytes(44100)));
    EXPECT_TRUE(readWhole(QDir(out).filePath("writer_SOUND2.WAV")) == eventFile(1, adpcm, 0x6).replace(1, 4, le32Bytes(2000)));
    EXPECT_TRUE(readWhole(QDir(out).filePath("writer_StreamSound1.MP3")) == block1 + block2);
    EXPECT_TRUE(readWhole(QDir(out).filePath("writer_StreamSound2.WAV")) == wave);
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Compression, WriterMovieTest,
                         ::testing::Values(swf::Compression::None, swf::Compression::Zlib, swf::Compression::Lzma));

} // namespace
} // namespace plovex::test

// plovex-cli render-audio and extract-sounds --decode, run as a user runs them.

#include "cli/run_cli.h"
#include "audio/render.h"
#include "audio/sound_fixtures.h"
#include "swf/writer.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace plovex;
using namespace plovex::audio;
using namespace plovex::audio::test;

using plovex::test::CliRun;
using plovex::test::RunCli;

namespace {



QByteArray Pcm16(int frames, int value)
{
    QByteArray d;
    for (int i = 0; i < frames; ++i)
        d.append(char(value & 0xFF)).append(char(value >> 8));
    return d;
}

// 20 frames at 20 fps: an event sound at frame 2 and a stream.
QByteArray Movie()
{
    swf::SwfWriter w({.frameRate = 20});
    w.defineSound(4, 3, 3, true, false, 3000, Pcm16(3000, 700));
    w.soundStreamHead(3, 2, true, false, 1102);
    for (int f = 0; f < 20; ++f) {
        w.soundStreamBlock(Pcm16(1102, 100 + f));
        if (f == 2)
            w.startSound(4);
        w.showFrame();
    }
    return w.finish();
}

void Save(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The file holds exactly the track the player would play, as a WAV, for
// the length asked (one pass through the movie by default).
TEST(AudioCli, RenderAudioWritesTheTrack)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("m.swf"), out = dir.filePath("t.wav");
    Save(movie, Movie());
    const auto loaded = swf::LoadMovie(Movie());
    struct Case {
        QStringList options;
        qint64 frames;
    };
    for (const Case& c : {Case{{}, 44100}, Case{{"--frames", "5"}, 11025}, Case{{"--seconds", "2.5"}, 110250}}) {
        const CliRun r = RunCli(QStringList{"render-audio", movie, out} + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        const QByteArray wav = ReadAll(out);
        EXPECT_EQ(wav, WavFile(RenderMovieAudio(loaded, c.frames))) << c.options.join(' ').toStdString();
        EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(c.frames * 4));
    }
    // Not silent: the stream and the event sound are both in it.
    const QByteArray wav = ReadAll(out);
    EXPECT_EQ(qFromLittleEndian<qint16>(wav.constData() + 44), 100);
    EXPECT_EQ(qFromLittleEndian<qint16>(wav.constData() + 44 + 4 * 2205 * 2 + 4 * 10), 102 + 700);
}

TEST(AudioCli, RenderAudioFailuresExitWithOneMessage)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("m.swf");
    Save(movie, Movie());
    Save(dir.filePath("not.swf"), "hello");
    const QStringList bad[] = {
        {"render-audio", movie},
        {"render-audio", dir.filePath("missing.swf"), dir.filePath("o.wav")},
        {"render-audio", dir.filePath("not.swf"), dir.filePath("o.wav")},
        {"render-audio", movie, dir.filePath("o.wav"), "--frames", "0"},
        {"render-audio", movie, dir.filePath("o.wav"), "--frames", "2.5"},
        {"render-audio", movie, dir.filePath("o.wav"), "--seconds", "abc"},
        {"render-audio", movie, dir.filePath("o.wav"), "--frames", "2", "--seconds", "1"},
        {"render-audio", movie, dir.filePath("o.wav"), "--loud"},
        {"render-audio", movie, dir.filePath("no/such/folder/o.wav")},
    };
    for (const QStringList& args : bad) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("plovex-cli: ")) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("o.wav")));
}

// --decode adds a playable WAV of each sound and stream beside the raw
// files, and each MP3's frames on their own.
TEST(AudioCli, ExtractSoundsDecode)
{
    QTemporaryDir dir;
    EncodeTone(dir.filePath("t.mp3"), "libmp3lame", "mp3", 22050, 1, 0.3);
    const QByteArray mp3 = ReadAll(dir.filePath("t.mp3"));
    swf::SwfWriter w({.frameRate = 20});
    w.defineSound(4, 3, 3, true, false, 3, Pcm16(3, -5));
    w.defineSound(9, 2, 2, true, false, 0xFFFF, QByteArray(2, '\0') + mp3);
    w.soundStreamHead(3, 3, true, false, 2);
    w.soundStreamBlock(Pcm16(3, 9));
    w.showFrame();
    const QString movie = dir.filePath("clip.v1.swf");
    Save(movie, w.finish());
    QDir(dir.path()).mkdir("out");
    const QString out = dir.filePath("out");
    const CliRun r = RunCli({"extract-sounds", movie, out, "--decode"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList listed = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    for (const char* name : {"clip_SOUND4.WAV", "clip_SOUND9.MP3", "clip_StreamSound1.WAV", "clip_SOUND4_decoded.wav",
                             "clip_SOUND9_decoded.wav", "clip_SOUND9_frames.mp3", "clip_StreamSound1_decoded.wav"})
        EXPECT_TRUE(listed.contains(QDir(out).filePath(name))) << name;
    Pcm pcm4;
    pcm4.samples = {-5, -5, -5, -5, -5, -5};
    EXPECT_EQ(ReadAll(QDir(out).filePath("clip_SOUND4_decoded.wav")), WavFile(pcm4));
    Pcm stream;
    stream.samples = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(ReadAll(QDir(out).filePath("clip_StreamSound1_decoded.wav")), WavFile(stream));
    EXPECT_EQ(ReadAll(QDir(out).filePath("clip_SOUND9_frames.mp3")), mp3);
    const QByteArray decoded = ReadAll(QDir(out).filePath("clip_SOUND9_decoded.wav"));
    EXPECT_GT(decoded.size(), 44 + 4 * 10000);
}

} // namespace

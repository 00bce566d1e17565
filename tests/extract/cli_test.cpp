// plovex-cli's extraction commands, run as a user runs them.

#include "cli/run_cli.h"
#include "extract/swf_bytes.h"

#include <QProcess>

#include <unistd.h>

namespace plovex::test {
using plovex::test::CliRun;
using plovex::test::RunCli;

namespace {



TEST(ExtractCli, ProjectorMovieIsCopied)
{
    QTemporaryDir dir;
    const QByteArray movie = pseudoRandomBytes(300000, 4);
    writeWhole(dir.filePath("p.exe"), pseudoRandomBytes(5000, 2) + movie + le32Bytes(0xFA123456u)
                                          + le32Bytes(quint32(movie.size())));
    const CliRun r = RunCli({"extract-projector", dir.filePath("p.exe"), dir.filePath("p.swf")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(readWhole(dir.filePath("p.swf")) == movie);
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(ExtractCli, ProjectorFailuresExitWithOneMessage)
{
    QTemporaryDir dir;
    writeWhole(dir.filePath("plain.exe"), pseudoRandomBytes(100, 4));
    CliRun r = RunCli({"extract-projector", dir.filePath("plain.exe"), dir.filePath("p.swf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("文件转换失败，请确认您选择的是exe格式的flash！"));
    EXPECT_FALSE(QFile::exists(dir.filePath("p.swf")));

    r = RunCli({"extract-projector", dir.filePath("missing.exe"), dir.filePath("p.swf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot open file \"%1\"").arg(dir.filePath("missing.exe"))))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1);

    r = RunCli({"extract-projector", dir.filePath("plain.exe")});
    EXPECT_NE(r.exitCode, 0);
}

TEST(ExtractCli, SoundsAreWrittenAndListed)
{
    QTemporaryDir dir;
    const QByteArray movie = swf(defineSound(2, 2, "mp3 data") + streamBlock("wave") + endTag());
    writeWhole(dir.filePath("m.swf"), movie);
    const CliRun r = RunCli({"extract-sounds", dir.filePath("m.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{dir.filePath("m_SOUND2.MP3"), dir.filePath("m_StreamSound1.WAV")}));
    EXPECT_EQ(readWhole(dir.filePath("m_SOUND2.MP3")), eventFile(2, "mp3 data"));
    EXPECT_EQ(readWhole(dir.filePath("m_StreamSound1.WAV")), QByteArray("wave"));
}

// Neither command writes over the file it reads, whatever name leads to
// it: an output that is the input's own path, a hard link to it or a
// symbolic link to it is refused with one line and leaves it whole.
TEST(ExtractCli, NeitherCommandWritesOverItsInput)
{
    const QByteArray sounds = swf(defineSound(1, 2, "mp3 data") + endTag());
    const QByteArray carried = pseudoRandomBytes(3000, 5);
    const QByteArray projector = pseudoRandomBytes(500, 2) + carried + le32Bytes(0xFA123456u)
        + le32Bytes(quint32(carried.size()));
    enum class Link { SamePath, Hard, Symbolic };
    for (Link link : {Link::SamePath, Link::Hard, Link::Symbolic}) {
        SCOPED_TRACE(int(link));
        QTemporaryDir dir;
        writeWhole(dir.filePath("m.swf"), sounds);
        writeWhole(dir.filePath("p.exe"), projector);
        // The sounds' output names follow the movie's; only links can lead
        // one of them to the movie.
        const QString soundOut = dir.filePath("m_SOUND1.MP3");
        QString projectorOut = dir.filePath("p.exe");
        if (link == Link::Hard) {
            ASSERT_EQ(::link(QFile::encodeName(dir.filePath("m.swf")).constData(), QFile::encodeName(soundOut).constData()), 0);
            projectorOut = dir.filePath("copy.swf");
            ASSERT_EQ(::link(QFile::encodeName(dir.filePath("p.exe")).constData(), QFile::encodeName(projectorOut).constData()), 0);
        } else if (link == Link::Symbolic) {
            ASSERT_TRUE(QFile::link(dir.filePath("m.swf"), soundOut));
            projectorOut = dir.filePath("copy.swf");
            ASSERT_TRUE(QFile::link(dir.filePath("p.exe"), projectorOut));
        }
        if (link != Link::SamePath) {
            const CliRun r = RunCli({"extract-sounds", dir.filePath("m.swf"), dir.path()});
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, QStringLiteral("plovex-cli: Cannot create file \"%1\". The file is the movie being read.\n").arg(soundOut));
            EXPECT_EQ(readWhole(dir.filePath("m.swf")), sounds);
        }
        const CliRun r = RunCli({"extract-projector", dir.filePath("p.exe"), projectorOut});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, QStringLiteral("plovex-cli: Cannot create file \"%1\". The file is the projector being read.\n").arg(projectorOut));
        EXPECT_EQ(readWhole(dir.filePath("p.exe")), projector);
    }
}

TEST(ExtractCli, CompressedMoviesNeedTheOption)
{
    QTemporaryDir dir;
    const QByteArray movie = swf(defineSound(2, 2, "mp3 data") + endTag());
    writeWhole(dir.filePath("c.swf"), compressZlib(movie));
    writeWhole(dir.filePath("z.swf"), compressLzma(movie, false));
    QTemporaryDir out;

    CliRun r = RunCli({"extract-sounds", dir.filePath("c.swf"), out.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("该文件不是Flash SWF文件!"));
    EXPECT_TRUE(filesIn(out.path()).isEmpty());

    r = RunCli({"extract-sounds", dir.filePath("c.swf"), out.path(), "--any-swf"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readWhole(out.filePath("c_SOUND2.MP3")), eventFile(2, "mp3 data"));

    r = RunCli({"extract-sounds", "--any-swf", dir.filePath("z.swf"), out.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readWhole(out.filePath("z_SOUND2.MP3")), eventFile(2, "mp3 data"));
}

TEST(ExtractCli, SoundFailures)
{
    QTemporaryDir dir;
    writeWhole(dir.filePath("old.swf"), swf(defineSound(2, 2, "x") + endTag(), 4));
    CliRun r = RunCli({"extract-sounds", dir.filePath("old.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("该SWF文件不是Flash 5以上版本，本程序当前仅识别Flash 5以上格式SWF文件!"));

    r = RunCli({"extract-sounds", dir.filePath("none.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot open file"))) << r.err.toStdString();

    // A damaged tail still writes what came before, with a warning.
    writeWhole(dir.filePath("cut.swf"), swf(defineSound(2, 2, "x") + streamBlock("y")));
    r = RunCli({"extract-sounds", dir.filePath("cut.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ends before its End tag"))) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("cut_StreamSound1.WAV")));

    r = RunCli({"extract-sounds", dir.filePath("cut.swf"), dir.path(), "--bogus"});
    EXPECT_NE(r.exitCode, 0);
}

} // namespace
} // namespace plovex::test

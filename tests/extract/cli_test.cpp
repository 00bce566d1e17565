// plovex-cli's extraction commands, run as a user runs them.

#include "extract/swf_bytes.h"

#include <QProcess>

namespace plovex::test {
namespace {

struct CliRun {
    int exitCode = -1;
    QString err;
    QByteArray out;
};

CliRun cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(PLOVEX_CLI_PATH), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = p.readAllStandardOutput();
    return r;
}

TEST(ExtractCli, ProjectorMovieIsCopied)
{
    QTemporaryDir dir;
    const QByteArray movie = pseudoRandomBytes(300000, 4);
    writeWhole(dir.filePath("p.exe"), pseudoRandomBytes(5000, 2) + movie + le32Bytes(0xFA123456u)
                                          + le32Bytes(quint32(movie.size())));
    const CliRun r = cli({"extract-projector", dir.filePath("p.exe"), dir.filePath("p.swf")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(readWhole(dir.filePath("p.swf")) == movie);
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(ExtractCli, ProjectorFailuresExitWithOneMessage)
{
    QTemporaryDir dir;
    writeWhole(dir.filePath("plain.exe"), pseudoRandomBytes(100, 4));
    CliRun r = cli({"extract-projector", dir.filePath("plain.exe"), dir.filePath("p.swf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("文件转换失败，请确认您选择的是exe格式的flash！"));
    EXPECT_FALSE(QFile::exists(dir.filePath("p.swf")));

    r = cli({"extract-projector", dir.filePath("missing.exe"), dir.filePath("p.swf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot open file \"%1\"").arg(dir.filePath("missing.exe"))))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1);

    r = cli({"extract-projector", dir.filePath("plain.exe")});
    EXPECT_NE(r.exitCode, 0);
}

TEST(ExtractCli, SoundsAreWrittenAndListed)
{
    QTemporaryDir dir;
    const QByteArray movie = swf(defineSound(2, 2, "mp3 data") + streamBlock("wave") + endTag());
    writeWhole(dir.filePath("m.swf"), movie);
    const CliRun r = cli({"extract-sounds", dir.filePath("m.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{dir.filePath("m_SOUND2.MP3"), dir.filePath("m_StreamSound1.WAV")}));
    EXPECT_EQ(readWhole(dir.filePath("m_SOUND2.MP3")), eventFile(2, "mp3 data"));
    EXPECT_EQ(readWhole(dir.filePath("m_StreamSound1.WAV")), QByteArray("wave"));
}

TEST(ExtractCli, CompressedMoviesNeedTheOption)
{
    QTemporaryDir dir;
    const QByteArray movie = swf(defineSound(2, 2, "mp3 data") + endTag());
    writeWhole(dir.filePath("c.swf"), compressZlib(movie));
    writeWhole(dir.filePath("z.swf"), compressLzma(movie, false));
    QTemporaryDir out;

    CliRun r = cli({"extract-sounds", dir.filePath("c.swf"), out.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("该文件不是Flash SWF文件!"));
    EXPECT_TRUE(filesIn(out.path()).isEmpty());

    r = cli({"extract-sounds", dir.filePath("c.swf"), out.path(), "--any-swf"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readWhole(out.filePath("c_SOUND2.MP3")), eventFile(2, "mp3 data"));

    r = cli({"extract-sounds", "--any-swf", dir.filePath("z.swf"), out.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readWhole(out.filePath("z_SOUND2.MP3")), eventFile(2, "mp3 data"));
}

TEST(ExtractCli, SoundFailures)
{
    QTemporaryDir dir;
    writeWhole(dir.filePath("old.swf"), swf(defineSound(2, 2, "x") + endTag(), 4));
    CliRun r = cli({"extract-sounds", dir.filePath("old.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("该SWF文件不是Flash 5以上版本，本程序当前仅识别Flash 5以上格式SWF文件!"));

    r = cli({"extract-sounds", dir.filePath("none.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot open file"))) << r.err.toStdString();

    // A damaged tail still writes what came before, with a warning.
    writeWhole(dir.filePath("cut.swf"), swf(defineSound(2, 2, "x") + streamBlock("y")));
    r = cli({"extract-sounds", dir.filePath("cut.swf"), dir.path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ends before its End tag"))) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("cut_StreamSound1.WAV")));

    r = cli({"extract-sounds", dir.filePath("cut.swf"), dir.path(), "--bogus"});
    EXPECT_NE(r.exitCode, 0);
}

} // namespace
} // namespace plovex::test

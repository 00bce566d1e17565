// plovex-cli's extraction commands, run as a user runs them.

#include "extract/temp_files.h"

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

} // namespace
} // namespace plovex::test

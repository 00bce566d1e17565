// plovex-cli export-video, run as a user runs it.

#include "cli/run_cli.h"
#include "video_export/video_fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plovex::video::test;

using plovex::test::CliRun;
using plovex::test::RunCli;

namespace {



QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QImage ReadImage(const QString& path)
{
    QImage img(path);
    EXPECT_FALSE(img.isNull()) << path.toStdString();
    return img;
}

} // namespace

// The chosen frames are `render`'s pictures of the same frames and size,
// at both qualities; the default length is one pass of the root timeline;
// --seconds counts at the movie's rate; progress is one line at the end
// when standard error is no terminal, nothing with --quiet.
TEST(ExportVideoCli, FramesAreRendersPictures)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("m.swf");
    WriteFile(movie, TestMovie(9, 24, 80, 60));
    struct Case {
        const char* out;
        QStringList options;
        int frames;
    };
    for (const Case& c : {Case{"a.mp4", {}, 9}, Case{"b.webm", {"--quality", "high", "--width", "120", "--height", "90"}, 9},
                          Case{"c.mkv", {"--seconds", "0.25", "--quiet"}, 6}, Case{"d.mp4", {"--frames", "4", "--from", "3"}, 4}}) {
        SCOPED_TRACE(c.out);
        const QString out = dir.filePath(c.out);
        const CliRun r = RunCli(QStringList{"export-video", movie, out} + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        if (c.options.contains("--quiet"))
            EXPECT_EQ(r.err, QString());
        else
            EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        const Decoded d = DecodeVideo(out, {0, c.frames - 1});
        EXPECT_EQ(d.videoFrames, c.frames);
        EXPECT_EQ(av_cmp_q(d.frameRate, AVRational{24, 1}), 0);
        const int from = c.options.contains("--from") ? c.options.at(c.options.indexOf("--from") + 1).toInt() : 1;
        for (int index : {0, c.frames - 1}) {
            const QString png = dir.filePath("r.png");
            QStringList renderArgs{"render", movie, "--frames", QString::number(from + index), "--out", png,
                                   "--width", QString::number(d.width), "--height", QString::number(d.height)};
            if (c.options.contains("high"))
                renderArgs << "--quality" << "high";
            ASSERT_EQ(RunCli(renderArgs).exitCode, 0);
            ExpectFaithful(false, ReadImage(png), d, index);
        }
    }
}

// Bad requests: a one-line message, a non-zero exit and no file.
TEST(ExportVideoCli, ErrorsLeaveNoFile)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("m.swf");
    WriteFile(movie, TestMovie(4, 24));
    WriteFile(dir.filePath("plain"), "x");
    struct Case {
        QStringList args;
        const char* says;
    };
    const Case cases[] = {
        {{dir.filePath("v.avi")}, ".mp4, .webm, .mkv or .gif"},
        {{dir.filePath("v")}, ".mp4, .webm, .mkv or .gif"},
        {{dir.filePath("missing/v.mp4")}, "No such file or directory"},
        {{dir.filePath("plain/v.webm")}, "Not a directory"},
        {{dir.filePath("v.mp4"), "--width", "81", "--height", "60"}, "even"},
        {{dir.filePath("v.mp4"), "--frames", "3", "--seconds", "1"}, "do not go together"},
        {{dir.filePath("v.mkv"), "--crf", "99"}, "--crf"},
        {{movie.chopped(4) + ".swf"}, "unknown video format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = RunCli(QStringList{"export-video", movie} + c.args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_EQ(Entries(dir.path()), (QStringList{"m.swf", "plain"}));
    }
}

// A disk that fills up: the process may write only so many bytes (a
// file-size limit, whose signal is ignored so that the write fails with
// EFBIG as on a full disk).
TEST(ExportVideoCli, FullDiskLeavesNoPartialFile)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("m.swf");
    WriteFile(movie, TestMovie(40, 24, 96, 64, 3));
    for (const char* name : {"v.mp4", "v.webm", "v.mkv", "v.gif"}) {
        SCOPED_TRACE(name);
        const QByteArray cli = PLOVEX_CLI_PATH, in = QFile::encodeName(movie), out = QFile::encodeName(dir.filePath(name));
        const QByteArray errPath = QFile::encodeName(dir.filePath("err.txt"));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {1500, 1500};
            setrlimit(RLIMIT_FSIZE, &limit);
            if (FILE* err = std::freopen(errPath.constData(), "w", stderr); !err)
                _exit(100);
            execl(cli.constData(), cli.constData(), "export-video", in.constData(), out.constData(), "--quality", "high",
                  static_cast<char*>(nullptr));
            _exit(101);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        QFile err(dir.filePath("err.txt"));
        ASSERT_TRUE(err.open(QIODevice::ReadOnly));
        const QString text = QString::fromLocal8Bit(err.readAll());
        EXPECT_TRUE(text.startsWith("plovex-cli: Cannot create file")) << text.toStdString();
        EXPECT_EQ(text.count('\n'), 1) << text.toStdString();
        err.remove();
        EXPECT_EQ(Entries(dir.path()), QStringList{"m.swf"});
    }
}

// Ctrl+C while the file is being written: exit 130, no file.
TEST(ExportVideoCli, InterruptLeavesNoPartialFile)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("m.swf");
    WriteFile(movie, TestMovie(10, 24, 32, 32));
    QProcess p;
    p.start(QStringLiteral(PLOVEX_CLI_PATH),
            {"export-video", movie, dir.filePath("v.mp4"), "--frames", "200000", "--width", "32", "--height", "32"});
    ASSERT_TRUE(p.waitForStarted());
    // Wait until the new file exists beside the target.
    QElapsedTimer waited;
    waited.start();
    while (Entries(dir.path()).size() < 2 && waited.elapsed() < 60000)
        QThread::msleep(20);
    ASSERT_EQ(Entries(dir.path()).size(), 2);
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains("interrupted"));
    EXPECT_EQ(Entries(dir.path()), QStringList{"m.swf"});
}

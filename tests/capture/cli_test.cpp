// plovex-cli render writes the capture formats by the output's extension.

#include "cli/run_cli.h"
#include "capture/encoders.h"
#include "swf/fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using plovex::test::CliRun;
using plovex::test::RunCli;

namespace {

// Runs `plovex-cli render`; a positive `fileSizeLimit` caps the size of
// any file the process writes (the system's limit, as on a full disk).
CliRun render(const QString& movie, const QString& out, qint64 fileSizeLimit = 0, const QStringList& extra = {})
{
    return RunCli(QStringList{"render", movie, "--frames", "1", "--out", out} + extra, fileSizeLimit);
}

QByteArray readWhole(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RenderFormats : public ::testing::Test {
protected:
    void SetUp() override
    {
        movie = dir.filePath(QStringLiteral("movie.swf"));
        QFile f(movie);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(plovex::swf::test::AnimatedMovie());
        f.close();
        const CliRun r = render(movie, dir.filePath(QStringLiteral("reference.png")));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        reference = QImage(dir.filePath(QStringLiteral("reference.png"))).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(reference.size(), QSize(100, 80));
    }

    QTemporaryDir dir;
    QString movie;
    QImage reference; // the frame as PNG
};

TEST_F(RenderFormats, ExtensionChoosesTheCaptureEncoder)
{
    struct Case {
        const char* name;
        QByteArray magic;
    };
    const Case cases[] = {
        {"frame.JpG", QByteArray("\xFF\xD8\xFF\xE0", 4)},
        {"frame.gif", "GIF87a"},
        {"frame.BMP", "BM"},
        {"frame.png", "\x89PNG"},
        {"frame.jpeg", "\x89PNG"}, // not one of the three: PNG
        {"frame", "\x89PNG"},
    };
    for (const Case& c : cases) {
        const QString out = dir.filePath(QString::fromLatin1(c.name));
        const CliRun r = render(movie, out);
        ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err.toStdString();
        EXPECT_TRUE(readWhole(out).startsWith(c.magic)) << c.name;
    }

    // The same encoders as a capture, on the same picture.
    EXPECT_EQ(readWhole(dir.filePath("frame.JpG")), plovex::EncodeJpeg(reference));
    EXPECT_EQ(readWhole(dir.filePath("frame.gif")), plovex::EncodeGif(reference));
    EXPECT_EQ(readWhole(dir.filePath("frame.BMP")), plovex::EncodeBmp(reference));
    EXPECT_EQ(QImage(dir.filePath("frame.BMP"), "BMP").convertToFormat(QImage::Format_RGB32), reference);

    // The frame's own colours: the red square and the background.
    const QImage gif = QImage(dir.filePath("frame.gif"), "GIF").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(gif.pixel(5, 15), qRgb(255, 0, 0));
    EXPECT_EQ(gif.pixel(50, 50), qRgb(204, 204, 204)); // 250 is below 252: level 4
}

TEST_F(RenderFormats, UnwritableOutputFailsWithOneLine)
{
    const QString blocker = dir.filePath(QStringLiteral("plain"));
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString out = blocker + QStringLiteral("/frame.jpg");
    const CliRun r = render(movie, out);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("plovex-cli: Cannot create file \"%1\". ").arg(out))) << r.err.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1);
}

// The picture never replaces the movie it comes from, whatever name the
// output is given: the movie's own path, another spelling of it, a hard
// link or a symbolic link. One line says why, and the movie is unchanged.
TEST_F(RenderFormats, NeverWritesOverItsMovie)
{
    const QByteArray bytes = readWhole(movie);
    const QString hard = dir.filePath(QStringLiteral("hard.png"));
    const QString soft = dir.filePath(QStringLiteral("soft.jpg"));
    ASSERT_EQ(::link(QFile::encodeName(movie).constData(), QFile::encodeName(hard).constData()), 0);
    ASSERT_TRUE(QFile::link(movie, soft));
    const QString outs[] = {movie, dir.path() + QStringLiteral("/./movie.swf"), hard, soft};
    for (const QString& out : outs) {
        const CliRun r = render(movie, out);
        EXPECT_EQ(r.exitCode, 1) << out.toStdString();
        EXPECT_EQ(r.err, QStringLiteral("plovex-cli: Cannot create file \"%1\". The file is the movie being read.\n").arg(out));
        EXPECT_EQ(readWhole(movie), bytes);
    }
    EXPECT_TRUE(QFileInfo(soft).isSymLink());
}

// A PNG that does not fit on the disk leaves the old picture whole and no
// partial file beside it, and says so in one line.
TEST_F(RenderFormats, AFullDiskKeepsTheOldPicture)
{
    for (const char* name : {"big.png", "big.bmp"}) {
        const QString out = dir.filePath(QString::fromLatin1(name));
        const QByteArray old(300, 'o');
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
        f.close();
        // 1000 x 800 of noise-free shapes still takes more than 1 KiB.
        const CliRun r = render(movie, out, 1024, {"--width", "1000", "--height", "800"});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("plovex-cli: Cannot create file \"%1\". ").arg(out))) << r.err.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("libpng")));
        EXPECT_EQ(readWhole(out), old) << name;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tmp")), QStringList()) << name;
    }
}

} // namespace

// plovex-cli render writes the capture formats by the output's extension.

#include "capture/encoders.h"
#include "swf/fixtures.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString err;
};

CliRun render(const QString& movie, const QString& out)
{
    QProcess p;
    p.start(QStringLiteral(PLOVEX_CLI_PATH), {"render", movie, "--frames", "1", "--out", out});
    EXPECT_TRUE(p.waitForFinished(120000));
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
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

} // namespace

// plovex-cli bench: the playback line, at the size and quality asked.

#include "cli/run_cli.h"
#include "swf/fixtures.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using plovex::test::CliRun;
using plovex::test::RunCli;

namespace {

class Bench : public ::testing::Test {
protected:
    void SetUp() override
    {
        movie = dir.filePath(QStringLiteral("movie.swf"));
        QFile f(movie);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(plovex::swf::test::AnimatedMovie());
    }
    QTemporaryDir dir;
    QString movie;
};

TEST_F(Bench, PrintsOnePlaybackLineForTheSizeAndQualityAsked)
{
    struct Case {
        QStringList extra;
        QString frames, size, quality;
    };
    const Case cases[] = {
        {{}, "100", "100x80", "high"},
        {{"--frames", "7", "--quality", "low"}, "7", "100x80", "low"},
        {{"--frames", "3", "--width", "320", "--height", "200"}, "3", "320x200", "high"},
    };
    static const QRegularExpression line(
        QStringLiteral("^playback: (\\d+) frames at (\\d+x\\d+), (high|low) quality: ([0-9.]+) fps mean, "
                       "p95 ([0-9.]+) ms, peak (\\d+) MiB$"),
        QRegularExpression::MultilineOption);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra.join(' ').toStdString());
        const CliRun r = RunCli(QStringList{"bench", movie} + c.extra);
        const QString out = r.outText();
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        // What bench printed before stays.
        EXPECT_TRUE(out.contains(QStringLiteral("render_fps: "))) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("size: %1\n").arg(c.size))) << out.toStdString();
        EXPECT_EQ(out.count(QStringLiteral("playback: ")), 1) << out.toStdString();
        const auto m = line.match(out);
        ASSERT_TRUE(m.hasMatch()) << out.toStdString();
        EXPECT_EQ(m.captured(1), c.frames);
        EXPECT_EQ(m.captured(2), c.size);
        EXPECT_EQ(m.captured(3), c.quality);
        EXPECT_GT(m.captured(4).toDouble(), 0.0);
        EXPECT_GT(m.captured(6).toInt(), 0);
    }
}

TEST_F(Bench, RefusesHalfASize)
{
    const CliRun r = RunCli({"bench", movie, "--width", "320"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("plovex-cli: --width and --height go together\n"));
}

} // namespace

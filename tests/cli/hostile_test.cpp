// plovex-cli against hostile movies and files: each is refused or cut
// short with a clear message, within memory and time far below what such
// files once took, and nothing the user has is lost.

#include "swf/hostile_movies.h"
#include "swf/limits.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

// Processor time a run may take before the system ends it: far above
// what any case needs, far below the minutes these files once took.
constexpr rlim_t kCpuSeconds = 60;
// The largest resident memory any run may reach (the program itself takes
// about a tenth of it); these files once took gigabytes.
constexpr long kMemoryCeilingKiB = 1536 * 1024;

struct CliRun {
    int exitCode = -1;
    QString err;
};

CliRun cli(const QStringList& args)
{
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit cpu{kCpuSeconds, kCpuSeconds};
        ::setrlimit(RLIMIT_CPU, &cpu);
    });
    p.start(QStringLiteral(PLOVEX_CLI_PATH), args);
    EXPECT_TRUE(p.waitForFinished(600000));
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The largest resident memory of any child this process has waited for.
long childrenPeakKiB()
{
    rusage ru{};
    ::getrusage(RUSAGE_CHILDREN, &ru);
    return ru.ru_maxrss;
}

class HostileMovies : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

// Each movie runs through `render` (which loads everything and draws)
// and `info`; both succeed, within the ceilings, and where a limit cuts
// the movie short a line on standard error says so.
TEST_F(HostileMovies, SizesAndCountsStayBounded)
{
    struct Case {
        const char* name;
        QByteArray movie;
        QString message; // expected in render's standard error; empty: none
        QSize picture;   // the picture render writes
    };
    const Case cases[] = {
        {"stage of 1 000 000 twips", HugeStageMovie(1000000),
         QStringLiteral("the stage is 50000 x 50000 pixels; the picture is cut down to 4095 x 4095"), QSize(4095, 4095)},
        {"65 535 glyphs into one another's outlines", OverlappingGlyphsMovie(65535, 60000), {}, QSize(550, 400)},
        {"sprite fan-out 1000 x 1000 x 20", SpriteFanOutMovie(3, 1000), {}, QSize(550, 400)},
        {"16.8 M empty frames", ManyFramesMovie(16800000),
         QStringLiteral("the movie has more than %1 tags; the rest are left out").arg(kMaxTagsPerTimeline), QSize(550, 400)},
        {"4 M placements", ManyPlacementsMovie(4000000),
         QStringLiteral("the movie has more than %1 tags; the rest are left out").arg(kMaxTagsPerTimeline), QSize(550, 400)},
        {"1.5 M placements", ManyPlacementsMovie(1500000),
         QStringLiteral("places or removes objects more than %1 times").arg(kMaxControlTags), QSize(550, 400)},
        {"255 blurs of 255 x 255 at 15 passes", ManyFiltersMovie(BigBlur(), 255), {}, QSize(550, 400)},
        {"a 255 x 255 convolution", ManyFiltersMovie(BigConvolution(255), 1), {}, QSize(550, 400)},
        {"a JPEG of 30 000 scans", ManyScansJpegMovie(30000), {}, QSize(64, 64)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString movie = write(QStringLiteral("hostile.swf"), c.movie);
        const QString out = dir.filePath(QStringLiteral("frame.png"));
        QFile::remove(out);
        const CliRun render = cli({"render", movie, "--out", out});
        EXPECT_EQ(render.exitCode, 0) << render.err.toStdString();
        if (c.message.isEmpty())
            EXPECT_TRUE(render.err.isEmpty()) << render.err.toStdString();
        else
            EXPECT_TRUE(render.err.contains(c.message)) << render.err.toStdString();
        EXPECT_EQ(QImage(out).size(), c.picture);
        const CliRun info = cli({"info", movie});
        EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
        EXPECT_LT(childrenPeakKiB(), kMemoryCeilingKiB);
    }
}

// Files that are no movie are refused before a byte is read: a FIFO
// (which would block), a device (which never ends) and a file larger than
// any movie (sparse here, so it takes no room on the disk).
TEST_F(HostileMovies, FilesThatCannotBeMoviesAreRefusedBeforeReading)
{
    const QString fifo = dir.filePath(QStringLiteral("fifo.swf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.swf"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(AnimatedMovie());
        ASSERT_TRUE(f.resize(kMaxMovieFileBytes + 1));
    }
    struct Case {
        QString path;
        QString message;
    };
    const Case cases[] = {
        {fifo, QStringLiteral("is not a regular file")},
        {QStringLiteral("/dev/zero"), QStringLiteral("is not a regular file")},
        {huge, QStringLiteral("larger than any movie")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        for (const QStringList& args : {QStringList{"info", c.path},
                                        QStringList{"render", c.path, "--out", dir.filePath("x.png")},
                                        QStringList{"bench", c.path, "--frames", "1"}}) {
            const CliRun r = cli(args);
            EXPECT_EQ(r.exitCode, 1) << args.front().toStdString();
            EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.startsWith(QStringLiteral("plovex-cli: %1: ").arg(c.path))) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        }
        // The extractors refuse them as well, with their own words.
        if (c.message.contains(QStringLiteral("regular"))) {
            const CliRun sounds = cli({"extract-sounds", c.path, dir.path()});
            EXPECT_EQ(sounds.exitCode, 1);
            EXPECT_TRUE(sounds.err.contains(QStringLiteral("The file is not a regular file."))) << sounds.err.toStdString();
            const CliRun projector = cli({"extract-projector", c.path, dir.filePath("p.swf")});
            EXPECT_EQ(projector.exitCode, 1);
            EXPECT_TRUE(projector.err.contains(QStringLiteral("The file is not a regular file.")))
                << projector.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));
    EXPECT_LT(childrenPeakKiB(), kMemoryCeilingKiB);
}

// With PLOVEX_WRITE_HOSTILE_SEEDS set to a folder, writes small versions
// of the movies above there, as starting inputs for the fuzzers.
TEST(HostileSeeds, WrittenWhenAsked)
{
    const QByteArray folder = qgetenv("PLOVEX_WRITE_HOSTILE_SEEDS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set PLOVEX_WRITE_HOSTILE_SEEDS to a folder to write the seeds";
    const std::pair<const char*, QByteArray> seeds[] = {
        {"hostile_huge_stage.swf", HugeStageMovie(1000000)},
        {"hostile_overlapping_glyphs.swf", OverlappingGlyphsMovie(200, 50)},
        {"hostile_sprite_fan_out.swf", SpriteFanOutMovie(3, 20)},
        {"hostile_many_frames.swf", ManyFramesMovie(5000)},
        {"hostile_many_placements.swf", ManyPlacementsMovie(5000)},
        {"hostile_many_blurs.swf", ManyFiltersMovie(BigBlur(), 20)},
        {"hostile_big_convolution.swf", ManyFiltersMovie(BigConvolution(40), 1)},
        {"hostile_jpeg_scans.swf", ManyScansJpegMovie(1200)},
    };
    for (const auto& [name, bytes] : seeds) {
        QFile f(QDir(QString::fromLocal8Bit(folder)).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
    }
}

} // namespace

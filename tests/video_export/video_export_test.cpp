// The video encoder and the movie export, read back through the FFmpeg
// libraries.

#include "platform/errors.h"
#include "platform/safefile.h"
#include "swf/movie.h"
#include "swf/movie_file.h"
#include "video_export/movie_video.h"
#include "video_export/video_fixtures.h"

#include <QDir>
#include <QTemporaryDir>

using namespace plovex;
using namespace plovex::video;
using namespace plovex::video::test;

namespace {

struct FormatCase {
    const char* extension;
    VideoFormat format;
    const char* videoCodec;
    const char* audioCodec;   // nullptr: no sound track
};
const FormatCase kFormats[] = {
    {"mp4", VideoFormat::Mp4, "h264", "aac"},
    {"webm", VideoFormat::Webm, "vp9", "opus"},
    {"mkv", VideoFormat::Mkv, "h264", "flac"},
    {"gif", VideoFormat::Gif, "gif", nullptr},
};

MovieVideo Job(const std::shared_ptr<const swf::Movie>& movie, const QString& path, qint64 frames)
{
    MovieVideo job;
    job.movie = movie;
    job.path = path;
    job.format = *VideoFormatForPath(path);
    job.size = swf::StagePictureSize(movie->info.stageRect);
    job.render.antialias = true;
    job.frames = frames;
    return job;
}

// The headless run's picture of frame `frame` (from 1).
QImage RenderedFrame(const std::shared_ptr<const swf::Movie>& movie, int frame, QSize size, bool antialias)
{
    MoviePictures run(movie, {});
    run.showFrame(frame);
    swf::RenderOptions ro;
    ro.antialias = antialias;
    return run.picture(size, ro);
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(VideoFormats, ExtensionsChooseTheFormatInAnyCase)
{
    EXPECT_EQ(VideoFormatForPath("/a/b.MP4"), VideoFormat::Mp4);
    EXPECT_EQ(VideoFormatForPath("x.webm"), VideoFormat::Webm);
    EXPECT_EQ(VideoFormatForPath("x.Mkv"), VideoFormat::Mkv);
    EXPECT_EQ(VideoFormatForPath("x.gif"), VideoFormat::Gif);
    for (const char* other : {"x.avi", "x", "mp4", "x.mp4.tmp", "dir.mp4/x"})
        EXPECT_FALSE(VideoFormatForPath(other)) << other;
    // The colour of the three video formats is kept at half resolution.
    EXPECT_EQ(VideoSizeFor(VideoFormat::Mp4, QSize(551, 401)), QSize(550, 400));
    EXPECT_EQ(VideoSizeFor(VideoFormat::Webm, QSize(1, 1)), QSize(2, 2));
    EXPECT_EQ(VideoSizeFor(VideoFormat::Gif, QSize(551, 401)), QSize(551, 401));
}

// Every format: as many frames as asked, at the movie's rate, in the codecs
// named, the pictures those of the headless run; no sound track for a
// movie without sound.
TEST(VideoExport, WritesTheFramesAskedAtTheMoviesRate)
{
    QTemporaryDir dir;
    struct RateCase {
        double rate;
        AVRational expected;
        int frames;
    };
    for (const RateCase rc : {RateCase{24, {24, 1}, 12}, RateCase{12.5, {25, 2}, 7}}) {
        const auto movie = swf::LoadMovie(TestMovie(20, rc.rate));
        for (const FormatCase& f : kFormats) {
            SCOPED_TRACE(std::string(f.extension) + " at " + std::to_string(rc.rate));
            const QString path = dir.filePath(QStringLiteral("v.%1").arg(f.extension));
            ASSERT_EQ(ExportMovieVideo(Job(movie, path, rc.frames)), ExportOutcome::Written);
            const Decoded d = DecodeVideo(path, {0, rc.frames - 1});
            ASSERT_TRUE(d.opened);
            EXPECT_EQ(d.videoCodec, f.videoCodec);
            EXPECT_EQ(d.videoFrames, rc.frames);
            EXPECT_EQ(QSize(d.width, d.height), QSize(96, 64));
            EXPECT_FALSE(d.hasAudio);
            if (f.format == VideoFormat::Gif) {
                // Delays are hundredths of a second: the mean interval is the rate's.
                ASSERT_EQ(int(d.frameTimes.size()), rc.frames);
                EXPECT_NEAR((d.frameTimes.back() - d.frameTimes.front()) / (rc.frames - 1), 1 / rc.rate, 0.006);
            } else {
                EXPECT_EQ(av_cmp_q(d.frameRate, rc.expected), 0) << d.frameRate.num << "/" << d.frameRate.den;
            }
            for (int frame : {0, rc.frames - 1}) {
                const QImage rendered = RenderedFrame(movie, frame + 1, QSize(96, 64), true);
                ExpectFaithful(f.format == VideoFormat::Gif, rendered, d, frame);
            }
            EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("v.%1").arg(f.extension)});
            QFile::remove(path);
        }
    }
}

// --from: the first frame written is the one asked, pictures and sound.
// A click on frame 100 (from 0) is heard 100 / rate seconds into the
// video (less the frames skipped), within one frame of the sound codec.
TEST(VideoExport, SoundIsInStepWithThePictures)
{
    QTemporaryDir dir;
    constexpr double kRate = 24;
    const auto movie = swf::LoadMovie(TestMovie(130, kRate, 48, 32, 100));
    for (const FormatCase& f : kFormats) {
        if (!f.audioCodec)
            continue;
        for (int from : {1, 91}) {
            SCOPED_TRACE(std::string(f.extension) + " from " + std::to_string(from));
            const QString path = dir.filePath(QStringLiteral("s.%1").arg(f.extension));
            MovieVideo job = Job(movie, path, 120 - from);
            job.from = from;
            ASSERT_EQ(ExportMovieVideo(job), ExportOutcome::Written);
            const Decoded d = DecodeVideo(path, {0});
            ASSERT_TRUE(d.hasAudio);
            EXPECT_EQ(d.audioCodec, f.audioCodec);
            EXPECT_EQ(d.videoFrames, 120 - from);
            ExpectFaithful(f.format == VideoFormat::Gif, RenderedFrame(movie, from, QSize(48, 32), true), d, 0);
            const int frameSize = d.audioFrameSize > 0 ? d.audioFrameSize : 1024;
            const double expected = (100 - (from - 1)) / kRate;
            const qint64 at = FirstLoudSample(d.audio, 0.3f);
            ASSERT_GE(at, 0);
            EXPECT_NEAR(double(at) / d.audioRate, expected, double(frameSize) / d.audioRate);
            // The track lasts as long as the pictures.
            EXPECT_NEAR(double(d.audio.size()) / d.audioRate, (120 - from) / kRate, 2.0 * frameSize / d.audioRate);
        }
    }
}

// Cancelling, a full disk and a missing folder leave no file behind, and
// an existing file as it was.
TEST(VideoExport, FailuresAndCancelLeaveNoPartialFile)
{
    QTemporaryDir dir;
    const auto movie = swf::LoadMovie(TestMovie(30, 24, 96, 64, 5));
    const QString path = dir.filePath("old.mp4");
    WriteFile(path, "old contents");
    for (const FormatCase& f : kFormats) {
        SCOPED_TRACE(f.extension);
        const QString target = dir.filePath(QStringLiteral("old.%1").arg(f.extension));
        if (f.format != VideoFormat::Mp4)
            WriteFile(target, "old contents");

        MovieVideo job = Job(movie, target, 30);
        int calls = 0;
        job.progress = [&calls](const VideoProgress& p) {
            EXPECT_EQ(p.done, calls + 1);
            return ++calls < 4;
        };
        EXPECT_EQ(ExportMovieVideo(job), ExportOutcome::Cancelled);
        EXPECT_EQ(calls, 4);

        SetWriteLimitForTesting(3000);
        job.progress = {};
        try {
            ExportMovieVideo(job);
            ADD_FAILURE() << "a full disk went unnoticed";
        } catch (const PlovexError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("Cannot create file \"%1\". %2").arg(target, QString::fromLocal8Bit(std::strerror(ENOSPC))));
        }
        SetWriteLimitForTesting(-1);

        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("old contents"));
    }
    EXPECT_EQ(Entries(dir.path()).size(), 4) << Entries(dir.path()).join(' ').toStdString();

    for (const QString& bad : {dir.filePath("missing/v.mp4"), dir.filePath("old.mp4/v.mp4")}) {
        MovieVideo job = Job(movie, bad, 3);
        EXPECT_THROW(ExportMovieVideo(job), PlovexError) << bad.toStdString();
    }
    EXPECT_EQ(Entries(dir.path()).size(), 4);
}

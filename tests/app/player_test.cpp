#include "platform/paths.h"
#include "player/frame_counter.h"
#include "player/open_movie.h"
#include "player/shockwave_flash.h"
#include "support/qt_printers.h"
#include "support/swf_fixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace plovex;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

class FlashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        flash.resize(200, 150);
        movie = writeFile(dir, QStringLiteral("square.swf"), test::MovingSquareSwf(10));
    }
    QImage frameAfterGoto(int frame)
    {
        flash.SetFrameNum(frame);
        return flash.PaintToImage();
    }
    QTemporaryDir dir;
    TShockwaveFlash flash;
    QString movie;
};

} // namespace

TEST_F(FlashTest, CreatedHighQualityShowAllLoopingAndEmpty)
{
    EXPECT_EQ(flash.Quality(), 1);
    EXPECT_EQ(flash.Scale(), QStringLiteral("ShowAll"));
    EXPECT_TRUE(flash.Loop());
    EXPECT_FALSE(flash.Playing());
    EXPECT_EQ(flash.TotalFrames(), 0);
    EXPECT_EQ(flash.Movie(), QString());
}

TEST_F(FlashTest, LoadingStartsTheMovieAtItsOwnRate)
{
    flash.SetMovie(movie);
    EXPECT_EQ(flash.Movie(), movie);
    EXPECT_EQ(flash.TotalFrames(), 10);
    EXPECT_EQ(flash.FrameNum(), 0);
    EXPECT_TRUE(flash.Playing());
    EXPECT_TRUE(flash.PlayTimerActive());
    EXPECT_EQ(flash.FrameInterval(), 83);   // 12 frames per second
}

TEST_F(FlashTest, BlankMovieUnloadsAndTheFileIsNotHeldOpen)
{
    flash.SetMovie(movie);
    flash.SetMovie(QStringLiteral(" "));
    EXPECT_EQ(flash.Movie(), QStringLiteral(" "));
    EXPECT_EQ(flash.TotalFrames(), 0);
    EXPECT_FALSE(flash.Playing());
    // The file can be replaced while the movie plays: nothing holds it.
    flash.SetMovie(movie);
    QFile file(movie);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(test::MovingSquareSwf(3));
    file.close();
    flash.SetMovie(movie);
    EXPECT_EQ(flash.TotalFrames(), 3);
}

TEST_F(FlashTest, MissingFileLoadsAsAnEmptyMovieWithoutError)
{
    flash.SetMovie(dir.filePath(QStringLiteral("nothing.swf")));
    EXPECT_EQ(flash.Movie(), dir.filePath(QStringLiteral("nothing.swf")));
    EXPECT_EQ(flash.TotalFrames(), 0);
    EXPECT_FALSE(flash.Playing());
    EXPECT_FALSE(flash.PaintToImage().isNull());
}

// Stepping forward, stepping back and going to a frame all show exactly the
// picture of that frame.
TEST_F(FlashTest, SeekingIsExactInEveryDirection)
{
    flash.SetMovie(movie);
    flash.Stop();
    QList<QImage> byGoto;
    for (int f = 0; f < 10; ++f)
        byGoto << frameAfterGoto(f);
    for (int f = 1; f < 10; ++f)
        ASSERT_NE(byGoto[f], byGoto[f - 1]) << "frames " << f - 1 << " and " << f << " draw alike";

    flash.Rewind();
    for (int f = 1; f < 10; ++f) {
        flash.Forward();
        EXPECT_EQ(flash.FrameNum(), f);
        EXPECT_EQ(flash.PaintToImage(), byGoto[f]) << "forward to " << f;
    }
    for (int f = 8; f >= 0; --f) {
        flash.Back();
        EXPECT_EQ(flash.FrameNum(), f);
        EXPECT_EQ(flash.PaintToImage(), byGoto[f]) << "back to " << f;
    }
    // Jumps in both directions.
    for (int f : {7, 2, 9, 0, 5})
        EXPECT_EQ(frameAfterGoto(f), byGoto[f]) << "go to " << f;
    // Played frames match too.
    flash.SetFrameNum(3);
    flash.Play();
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 4);
    EXPECT_EQ(flash.PaintToImage(), byGoto[4]);
}

TEST_F(FlashTest, FrameNumPastEitherEndIsKeptAndShowsTheNearestFrame)
{
    flash.SetMovie(movie);
    const QImage last = frameAfterGoto(9);
    const QImage first = frameAfterGoto(0);
    struct Case {
        int set;
        const QImage* picture;
    };
    for (const Case& c : {Case{12, &last}, Case{10, &last}, Case{-3, &first}, Case{-1, &first}}) {
        flash.SetFrameNum(c.set);
        EXPECT_EQ(flash.FrameNum(), c.set);
        EXPECT_EQ(flash.PaintToImage(), *c.picture) << c.set;
    }
    // A step starts from the real frame.
    flash.SetFrameNum(15);
    flash.Back();
    EXPECT_EQ(flash.FrameNum(), 8);
}

TEST_F(FlashTest, SettingFrameNumHaltsAndPlayGoesOn)
{
    flash.SetMovie(movie);
    flash.SetFrameNum(4);
    EXPECT_FALSE(flash.Playing());
    flash.Play();
    EXPECT_TRUE(flash.Playing());
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 5);
}

TEST_F(FlashTest, TheEndLoopsOrStopsByLoop)
{
    flash.SetMovie(movie);
    flash.SetFrameNum(9);
    flash.Play();
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 0);
    EXPECT_TRUE(flash.Playing());

    flash.SetLoop(false);
    flash.SetFrameNum(8);
    flash.Play();
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 9);
    flash.PlayTimerTick();
    EXPECT_EQ(flash.FrameNum(), 9);
    EXPECT_FALSE(flash.Playing());
    EXPECT_FALSE(flash.PlayTimerActive());
}

TEST(FrameScheduleTest, FramesFallDueAtWholePeriodsFromTheStart)
{
    struct Case {
        double period, due, now;
        int frames;
        double nextDue;
    };
    const Case cases[] = {
        {40, 40, 39.9, 0, 40},          // early: nothing yet
        {40, 40, 40, 1, 80},            // on time
        {40, 40, 79.9, 1, 80},          // late, but within the period
        {40, 40, 121, 3, 160},          // three due: all run, one drawn
        {1000 / 24.0, 1000 / 24.0, 100, 2, 125},
        {40, 40, 40 + kMaxLagMs + 1, 1, 40 + kMaxLagMs + 1 + 40},   // far behind: start again
    };
    for (const Case& c : cases) {
        const FrameSchedule s = ScheduleFrames(c.period, c.due, c.now);
        EXPECT_EQ(s.frames, c.frames) << c.now;
        EXPECT_DOUBLE_EQ(s.nextDueMs, c.nextDue) << c.now;
    }
}

TEST(FrameScheduleTest, TenMinutesOfLateTicksKeepTheRate)
{
    // The timer counts whole milliseconds and fires up to 7 ms late (and
    // now and then 200 ms, as on a busy machine); at every tick of ten
    // minutes at 24 frames per second, exactly the frames due by then have
    // run.
    const double period = 1000 / 24.0;
    double due = period, now = 0;
    long frames = 0;
    unsigned jitter = 12345;
    while (true) {
        jitter = jitter * 1103515245u + 12345u;
        const double late = (jitter >> 16) % 8 + ((jitter >> 8) % 97 == 0 ? 200 : 0);
        now += std::max(0.0, std::ceil(due - now)) + late;
        if (now > 600000)
            break;
        const FrameSchedule s = ScheduleFrames(period, due, now);
        frames += s.frames;
        due = s.nextDueMs;
        ASSERT_EQ(frames, long(std::floor(now / period))) << now;
    }
    EXPECT_GE(frames, 14390);
}

TEST_F(FlashTest, FallingBehindSkipsDrawingNeverFrames)
{
    flash.SetMovie(movie);   // plays from frame 0 at 12 frames per second
    ASSERT_TRUE(flash.Playing());
    const double period = 1000 / 12.0;
    QImage shown(flash.size(), QImage::Format_ARGB32_Premultiplied);
    // On time: one frame, one repaint.
    flash.PlayClockTickAt(period);
    EXPECT_EQ(flash.FrameNum(), 1);
    flash.render(&shown);
    // Drawing took long: at 4.5 periods, frames 2, 3 and 4 are due; all
    // three run, the picture shows the last.
    flash.PlayClockTickAt(4.5 * period);
    EXPECT_EQ(flash.FrameNum(), 4);
    flash.render(&shown);
    EXPECT_EQ(flash.FramesDrawn(), 2);
    EXPECT_EQ(flash.FramesSkipped(), 2);
    EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), frameAfterGoto(4).convertToFormat(QImage::Format_RGB32));
    // Early ticks run nothing.
    flash.Play();
    const int before = flash.FrameNum();
    flash.PlayClockTickAt(0);
    EXPECT_EQ(flash.FrameNum(), before);
}

TEST_F(FlashTest, RewindKeepsAPlayingMoviePlaying)
{
    flash.SetMovie(movie);
    flash.SetFrameNum(6);
    flash.Play();
    flash.Rewind();
    EXPECT_EQ(flash.FrameNum(), 0);
    EXPECT_TRUE(flash.Playing());
}

TEST_F(FlashTest, ZoomIsCumulativeAroundTheCentreAndScaleUndoesIt)
{
    flash.SetMovie(movie);
    flash.Stop();
    const QImage whole = flash.PaintToImage();
    flash.Zoom(60);
    EXPECT_NEAR(flash.ZoomFactor(), 100.0 / 60, 1e-9);
    const QImage zoomed = flash.PaintToImage();
    EXPECT_NE(zoomed, whole);
    flash.Zoom(60);
    EXPECT_NEAR(flash.ZoomFactor(), (100.0 / 60) * (100.0 / 60), 1e-9);
    flash.Zoom(170);
    EXPECT_NEAR(flash.ZoomFactor(), (100.0 / 60) * (100.0 / 60) * (100.0 / 170), 1e-9);
    flash.Zoom(0);
    EXPECT_DOUBLE_EQ(flash.ZoomFactor(), 1.0);
    EXPECT_EQ(flash.PaintToImage(), whole);

    // "全部显示": zoom far out, then ShowAll gives the whole movie again.
    flash.Zoom(60);
    flash.Zoom(7500);
    flash.SetScale(QStringLiteral("ShowAll"));
    EXPECT_DOUBLE_EQ(flash.ZoomFactor(), 1.0);
    EXPECT_EQ(flash.PaintToImage(), whole);
}

TEST_F(FlashTest, ScaleModesByName)
{
    for (const char* name : {"NoBorder", "ExactFit", "NoScale", "ShowAll"}) {
        flash.SetScale(QString::fromLatin1(name));
        EXPECT_EQ(flash.Scale(), QString::fromLatin1(name));
    }
    flash.SetScale(QStringLiteral("noborder"));
    EXPECT_EQ(flash.Scale(), QStringLiteral("NoBorder"));
    flash.SetScale(QStringLiteral("Stretch"));
    EXPECT_EQ(flash.Scale(), QStringLiteral("NoBorder"));
}

TEST_F(FlashTest, BackgroundOverrideHoldsUntilTheNextLoad)
{
    const QByteArray green = test::MovingSquareSwf(2, 12, QColor(0, 128, 0));
    const QString path = writeFile(dir, QStringLiteral("green.swf"), green);
    flash.SetBGColor(QStringLiteral("-1"));
    flash.SetMovie(path);
    EXPECT_EQ(flash.BackgroundColor(), QColor(0, 128, 0));
    EXPECT_EQ(flash.PaintToImage().pixelColor(199, 149), QColor(0, 128, 0));

    flash.SetBackgroundColor(QColor(0, 0, 255));
    EXPECT_EQ(flash.BackgroundColor(), QColor(0, 0, 255));
    EXPECT_EQ(flash.PaintToImage().pixelColor(199, 149), QColor(0, 0, 255));

    flash.SetBGColor(QStringLiteral("-1"));
    flash.SetMovie(path);
    EXPECT_EQ(flash.BackgroundColor(), QColor(0, 128, 0));
    EXPECT_EQ(flash.BGColor(), QStringLiteral("-1"));
}

TEST_F(FlashTest, LowQualityDrawsWithoutAntialiasing)
{
    flash.SetMovie(movie);
    flash.SetFrameNum(4);
    flash.Zoom(37);   // a scale at which the square's edges fall between pixels
    flash.SetQuality(3);
    const QImage high = flash.PaintToImage();
    flash.SetQuality(0);
    const QImage low = flash.PaintToImage();
    EXPECT_EQ(flash.Quality(), 0);
    EXPECT_NE(high, low);
}

// ---------------------------------------------------------------- counter

TEST(FrameCounter, HandsUpdatesToTheGuiThread)
{
    int updates = 0;
    Qt::HANDLE updateThread = nullptr;
    {
        threadFrm counter([&] {
            ++updates;
            updateThread = QThread::currentThreadId();
        });
        EXPECT_EQ(threadFrm::instanceCount(), 1);
        counter.start();
        const QDeadlineTimer deadline(10000);
        while (updates < 3 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_GE(updates, 3);
        EXPECT_EQ(counter.updatesRun(), quint64(updates));
    }
    EXPECT_EQ(updateThread, QThread::currentThreadId());
    EXPECT_EQ(threadFrm::instanceCount(), 0);
}

// The GUI thread stops the counter while a hand-over is pending and never
// runs it: the stop must not wait on itself.
TEST(FrameCounter, StoppingWithAPendingHandOverDoesNotHang)
{
    int updates = 0;
    auto counter = std::make_unique<threadFrm>([&] { ++updates; });
    counter->start();
    QThread::msleep(100);   // the first hand-over is posted and waits
    counter->requestStop();
    EXPECT_TRUE(counter->wait(QDeadlineTimer(10000)));
    counter.reset();
    QCoreApplication::processEvents();   // a hand-over left in the queue runs nothing
    EXPECT_EQ(updates, 0);
}

// ---------------------------------------------------------------- names

TEST(MovieKind, ByTheExtensionAlone)
{
    struct Case {
        const char* path;
        MovieKind kind;
    };
    const Case cases[] = {
        {"/m/MOVIE.SWF", MovieKind::Swf},      {"/m/movie.Swf", MovieKind::Swf},
        {"/m/movie.swf.bak", MovieKind::Other}, {"/m/movie", MovieKind::Other},
        {"/m/movie.exe.txt", MovieKind::Other}, {"/m/Game.EXE", MovieKind::Projector},
        {"/m.swf/movie", MovieKind::Other},     {"C:\\a.swf\\movie", MovieKind::Other},
        {"/m/.swf", MovieKind::Swf},            {"", MovieKind::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KindOfMovieFile(QString::fromUtf8(c.path)), c.kind) << c.path;
    EXPECT_EQ(FileExtension(QStringLiteral("/a/b.c.d")), QStringLiteral(".d"));
    EXPECT_EQ(FileExtension(QStringLiteral("/a.b/c")), QString());
}

TEST(FramePanel, Text)
{
    EXPECT_EQ(FramePanelText(0, 10), QStringLiteral("帧数/总帧数[0/10]"));
    EXPECT_EQ(FramePanelText(125, 7), QStringLiteral("帧数/总帧数[125/7]"));
}

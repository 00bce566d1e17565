// The window that plays a movie as the desktop's background, and the
// plovex-wallpaper program around it.

#include "desktop/movie_wallpaper.h"
#include "desktop/wallpaper_page.h"
#include "desktop/wallpaper_window.h"
#include "player/shockwave_flash.h"
#include "support/swf_fixture.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace plovex;

namespace {

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

TEST(WallpaperWindow, CoversItsScreenBelowEverythingAndPlaysInALoop)
{
    QTemporaryDir dir;
    const QString movie = writeFile(dir.filePath(QStringLiteral("loop.swf")), test::MovingSquareSwf(5));
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    TWallpaperWindow window(movie, screen);
    window.showAsDesktop();
    EXPECT_EQ(window.geometry(), screen->geometry());
    const Qt::WindowFlags flags = window.windowFlags();
    for (Qt::WindowType f : {Qt::FramelessWindowHint, Qt::WindowStaysOnBottomHint, Qt::WindowTransparentForInput,
                             Qt::WindowDoesNotAcceptFocus})
        EXPECT_TRUE(flags.testFlag(f)) << f;
    TShockwaveFlash* player = window.player();
    EXPECT_EQ(player->Movie(), movie);
    EXPECT_EQ(player->TotalFrames(), 5);
    EXPECT_TRUE(player->Playing());
    EXPECT_TRUE(player->Loop());
    EXPECT_EQ(player->size(), screen->geometry().size());
    // Past the last frame it starts again.
    for (int i = 0; i < 5; ++i)
        player->PlayTimerTick();
    EXPECT_EQ(player->FrameNum(), 0);
    EXPECT_TRUE(player->Playing());
}

// The real program, on the offscreen platform, with its pid file in a
// temporary runtime folder.
class WallpaperProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        movie = writeFile(dir.filePath(QStringLiteral("片头 movie.swf")), test::MovingSquareSwf(5));
        page = dir.filePath(QStringLiteral("flashH.html"));
        WriteWallpaperPage(page, movie);
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    }
    void TearDown() override
    {
        for (auto& p : processes) {
            p->kill();
            p->waitForFinished(10000);
        }
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }

    QProcess& start(const QStringList& args)
    {
        processes.push_back(std::make_unique<QProcess>());
        QProcess& p = *processes.back();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PLOVEX_WALLPAPER_PROGRAM), args);
        EXPECT_TRUE(p.waitForStarted(30000));
        return p;
    }

    qint64 recordedPid() const
    {
        QFile file(MovieWallpaperPidFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    // Waits until the pid file names pid (the program has set itself up).
    bool waitForRecord(qint64 pid) const
    {
        for (int i = 0; i < 3000 && recordedPid() != pid; ++i)
            QThread::msleep(10);
        return recordedPid() == pid;
    }

    QTemporaryDir dir;
    QString movie;
    QString page;
    QByteArray savedRuntime;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(WallpaperProgramTest, ANewPlayerEndsTheFormerAndAWallpaperChangeEndsTheLast)
{
    QProcess& first = start({page});
    ASSERT_TRUE(waitForRecord(first.processId())) << first.readAllStandardError().toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    QProcess& second = start({page});
    ASSERT_TRUE(waitForRecord(second.processId())) << second.readAllStandardError().toStdString();
    EXPECT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(second.state(), QProcess::Running);

    EXPECT_TRUE(EndMovieWallpaper());
    EXPECT_TRUE(second.waitForFinished(30000));
    EXPECT_FALSE(QFile::exists(MovieWallpaperPidFile()));
    EXPECT_FALSE(EndMovieWallpaper()); // nothing left to end
}

TEST_F(WallpaperProgramTest, APageWithoutAPlayableMovieEndsWithAMessage)
{
    const QString noMovie = writeFile(dir.filePath(QStringLiteral("other.html")), "<p>nothing</p>");
    const QString gone = dir.filePath(QStringLiteral("gone.html"));
    WriteWallpaperPage(gone, dir.filePath(QStringLiteral("gone.swf")));
    const struct {
        QStringList args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{}, 2, "usage"},
        {{dir.filePath(QStringLiteral("missing.html"))}, 1, "cannot read"},
        {{noMovie}, 1, "names no movie"},
        {{gone}, 1, "cannot find the movie"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        QProcess& p = start(c.args);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), c.exitCode);
        EXPECT_TRUE(p.readAllStandardError().contains(c.says));
        EXPECT_FALSE(QFile::exists(MovieWallpaperPidFile()));
    }
}

} // namespace

#include "desktop/movie_wallpaper.h"
#include "desktop/wallpaper_page.h"

#include "platform/errors.h"
#include "support/scoped_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace plovex;

namespace {

TEST(MovieFromWallpaperPage, ReadsBackWhatThePageWrote)
{
    for (const QString& movie : {QStringLiteral("/home/me/intro.swf"), QString::fromUtf8("/home/用户/动画 1.swf"),
                                 QStringLiteral("/a \"quoted\" name.swf"), QString::fromUtf8("/m/한\U0001F3AC.swf"),
                                 QStringLiteral("C:\\movies\\a.swf")})
        EXPECT_EQ(MovieFromWallpaperPage(WallpaperPage(movie)), movie) << movie.toStdString();
}

TEST(MovieFromWallpaperPage, OtherPagesGiveTheirFirstSource)
{
    EXPECT_EQ(MovieFromWallpaperPage("<html><EMBED SRC = \"/x/y.swf\" width=400></html>\n"), QStringLiteral("/x/y.swf"));
    EXPECT_EQ(MovieFromWallpaperPage("<p>no movie</p>"), QString());
    EXPECT_EQ(MovieFromWallpaperPage(""), QString());
    EXPECT_EQ(MovieFromWallpaperPage("<embed src=\""), QString());
}

TEST(LocalMovieFile, PathsAndFileAddressesOnly)
{
    EXPECT_EQ(LocalMovieFile(QStringLiteral("/m/a b.swf")), QStringLiteral("/m/a b.swf"));
    EXPECT_EQ(LocalMovieFile(QStringLiteral("file:///m/a%20b.swf")), QStringLiteral("/m/a b.swf"));
    EXPECT_EQ(LocalMovieFile(QStringLiteral("relative/a.swf")), QStringLiteral("relative/a.swf"));
    EXPECT_EQ(LocalMovieFile(QStringLiteral("http://example.com/a.swf")), QString());
    EXPECT_EQ(LocalMovieFile(QStringLiteral("https://example.com/a.swf")), QString());
}

TEST(SessionShowsX11Desktop, OnlyX11SessionsWithADisplay)
{
    const struct {
        const char* display;
        const char* wayland;
        const char* type;
        bool shows;
    } cases[] = {
        {":0", nullptr, "x11", true},
        {":0", nullptr, nullptr, true},
        {":0", "wayland-0", "wayland", false}, // XWayland beside a compositor
        {":0", nullptr, "wayland", false},
        {nullptr, "wayland-0", nullptr, false},
        {nullptr, nullptr, "tty", false},
    };
    for (const auto& c : cases) {
        plovex::testing::ScopedEnv env;
        c.display ? env.set("DISPLAY", c.display) : env.unset("DISPLAY");
        c.wayland ? env.set("WAYLAND_DISPLAY", c.wayland) : env.unset("WAYLAND_DISPLAY");
        c.type ? env.set("XDG_SESSION_TYPE", c.type) : env.unset("XDG_SESSION_TYPE");
        EXPECT_EQ(SessionShowsX11Desktop(), c.shows) << (c.display ? c.display : "-") << " " << (c.type ? c.type : "-");
    }
}

class EndingThePlayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        env.set("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        sleepProgram = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        ASSERT_FALSE(sleepProgram.isEmpty());
    }
    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
    // Runs `program` (a copy of sleep under the given name) and records it
    // as the player.
    void runAs(const QString& name)
    {
        QString program = sleepProgram;
        if (!name.isEmpty()) {
            program = dir.filePath(name);
            ASSERT_TRUE(QFile::copy(sleepProgram, program));
            QFile::setPermissions(program, QFile::permissions(sleepProgram));
        }
        process.start(program, {QStringLiteral("600")});
        ASSERT_TRUE(process.waitForStarted(30000));
        RecordMovieWallpaperProcess(process.processId());
        ASSERT_TRUE(QFile::exists(MovieWallpaperPidFile()));
    }

    QTemporaryDir dir;
    plovex::testing::ScopedEnv env;
    QString sleepProgram;
    QProcess process;
};

TEST_F(EndingThePlayer, ThePidFileLivesInTheRuntimeFolder)
{
    EXPECT_EQ(MovieWallpaperPidFile(), dir.path() + QStringLiteral("/plovex-wallpaper.pid"));
}

TEST_F(EndingThePlayer, EndsTheRecordedPlayer)
{
    runAs(QStringLiteral("plovex-wallpaper"));
    EXPECT_TRUE(EndMovieWallpaper());
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit); // ended by a signal
    EXPECT_FALSE(QFile::exists(MovieWallpaperPidFile()));
}

// A stale file whose number now belongs to another program leaves that
// program running.
TEST_F(EndingThePlayer, LeavesAnyOtherProgramAlone)
{
    runAs(QString());
    EXPECT_FALSE(EndMovieWallpaper());
    EXPECT_EQ(process.state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(MovieWallpaperPidFile()));
}

TEST_F(EndingThePlayer, NoFileOrAFileOfNonsenseEndsNothing)
{
    EXPECT_FALSE(EndMovieWallpaper());
    for (const QByteArray& content : {QByteArray("abc"), QByteArray(""), QByteArray("1"), QByteArray("-5"),
                                      QByteArray::number(QCoreApplication::applicationPid())}) {
        QFile file(MovieWallpaperPidFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        EXPECT_FALSE(EndMovieWallpaper()) << content.constData();
        EXPECT_FALSE(QFile::exists(MovieWallpaperPidFile()));
    }
}

// The system's host with a stand-in player that records its argument.
class SystemHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        env.set("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        env.set("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
        program = dir.filePath(QStringLiteral("bin/plovex-wallpaper"));
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$0.arg\"\n");
        script.close();
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        movie = dir.filePath(QStringLiteral("my movie.swf"));
        QFile m(movie);
        ASSERT_TRUE(m.open(QIODevice::WriteOnly));
        page = dir.filePath(QStringLiteral("flashH.html"));
        WriteWallpaperPage(page, movie);
        host = MakeSystemMovieWallpaperHost(program);
    }

    QTemporaryDir dir;
    plovex::testing::ScopedEnv env;
    QString program, movie, page;
    std::unique_ptr<MovieWallpaperHost> host;
};

TEST_F(SystemHost, StartsThePlayerAndItsAutostartEntryAndStopRemovesTheEntry)
{
    host->showMovie(page);
    const QString arg = program + QStringLiteral(".arg");
    for (int i = 0; i < 3000 && !QFile::exists(arg); ++i)
        QThread::msleep(10);
    QFile argFile(arg);
    ASSERT_TRUE(argFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(argFile.readAll()), page);

    QFile entry(dir.filePath(QStringLiteral("config/autostart/plovex-wallpaper.desktop")));
    ASSERT_EQ(MovieWallpaperAutostartFile(), entry.fileName());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + program + u' ' + page + u'\n')) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nNoDisplay=true\n")));

    host->stopMovie();
    EXPECT_FALSE(QFile::exists(entry.fileName()));
}

TEST_F(SystemHost, APageWithoutAMovieFileChangesNothing)
{
    for (const QString& named : {dir.filePath(QStringLiteral("gone.swf")), QStringLiteral("http://example.com/a.swf"),
                                 QString()}) {
        WriteWallpaperPage(page, named);
        EXPECT_THROW(host->showMovie(page), PlovexError) << named.toStdString();
        EXPECT_FALSE(QFile::exists(program + QStringLiteral(".arg")));
        EXPECT_FALSE(QFile::exists(MovieWallpaperAutostartFile()));
    }
}

TEST(MovieWallpaperAutostart, ArgumentsAreQuotedByTheDesktopEntryRules)
{
    EXPECT_EQ(MovieWallpaperAutostartText(QStringLiteral("/opt/p/plovex-wallpaper"), QStringLiteral("/opt/p/flashH.html"))
                  .section(u'\n', 4, 4),
              QStringLiteral("Exec=/opt/p/plovex-wallpaper /opt/p/flashH.html"));
    EXPECT_EQ(MovieWallpaperAutostartText(QStringLiteral("/My Apps/plovex-wallpaper"), QStringLiteral("/a$b/100%.html"))
                  .section(u'\n', 4, 4),
              QStringLiteral("Exec=\"/My Apps/plovex-wallpaper\" \"/a\\\\$b/100%%.html\""));
}

TEST(SystemMovieHost, AMissingPlayerProgramIsAnError)
{
    QTemporaryDir dir;
    auto host = MakeSystemMovieWallpaperHost(dir.filePath(QStringLiteral("plovex-wallpaper")));
    EXPECT_THROW(host->showMovie(dir.filePath(QStringLiteral("flashH.html"))), std::exception);
}

} // namespace

#pragma once

// The real main window with a small movie loaded, offscreen, a desktop that
// records what the wallpaper commands ask of it, and a movie wallpaper host
// that records what it is asked to show.

#include "app/main_form.h"
#include "desktop/movie_wallpaper.h"
#include "desktop/wallpaper_commands.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "player/shockwave_flash.h"
#include "support/fake_wallpaper.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/swf_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace plovex::test {

class FakeMovieHost final : public MovieWallpaperHost {
public:
    FakeMovieHost() { SetMovieWallpaperHost(this); }
    ~FakeMovieHost() override { SetMovieWallpaperHost(nullptr); }

    bool showable = true;       // an X11 session
    QStringList shown;          // pages, in order
    int stops = 0;
    bool playing = false;
    // Every call in order: "show PAGE", "stop".
    QStringList log;

    bool canShowMovie() override { return showable; }
    void showMovie(const QString& page) override
    {
        log << QStringLiteral("show ") + page;
        shown << page;
        playing = true;
    }
    void stopMovie() override
    {
        log << QStringLiteral("stop");
        ++stops;
        playing = false;
    }
};

// Prompts that also run a check whenever a box is shown, so a test can
// look at the files at that moment.
class CheckingPrompts final : public ScriptedPrompts {
public:
    std::function<void(const QString& caption, const QString& text)> onBox;
    void messageBox(const QString& caption, const QString& text, MessageIcon icon) override
    {
        if (onBox)
            onBox(caption, text);
        ScriptedPrompts::messageBox(caption, text, icon);
    }
};

class DesktopFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(workDir.isValid());
        SetProgramFolder(programDir.path());
        SetDesktopWallpaperBackend(&wallpaper);
    }
    void TearDown() override
    {
        form.reset();
        SetDesktopWallpaperBackend(nullptr);
        SetProgramFolder(QString());
    }

    QString work(const QString& name) const { return workDir.filePath(name); }
    QString program(const QString& name) const { return ProgramFolder() + name; }
    QString picture() const { return program(kWallpaperPictureName); }
    QString page() const { return program(QStringLiteral("flashH.html")); }
    QString settings() const { return program(QStringLiteral("FileList.ini")); }

    QString write(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // The main window, its player 320 x 240, playing the movie written at
    // moviePath (in the work folder when relative).
    TMFrm& makeWithMovie(const QString& moviePath = QStringLiteral("movie.swf"))
    {
        form = std::make_unique<TMFrm>();
        const QString path = QDir::isAbsolutePath(moviePath) ? moviePath : work(moviePath);
        form->OpenMovie(write(path, MovingSquareSwf(10)));
        form->FlashMain->setGeometry(QRect(0, 0, 320, 240));
        return *form;
    }

    // Stores a remembered wallpaper in the settings file.
    void store(const QString& path) const
    {
        ProfileFile(settings()).WriteString(kWallpaperSection, kRememberedWallpaperKey, path);
    }

    QString remembered() const
    {
        return ProfileFile(settings()).ReadString(kWallpaperSection, kRememberedWallpaperKey, QStringLiteral("<none>"));
    }

    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    using Kind = ScriptedPrompts::Kind;

    CheckingPrompts prompts;
    RecordingDesktop desktop;
    plovex::testing::FakeWallpaper wallpaper;
    FakeMovieHost movieHost;
    QTemporaryDir programDir;
    QTemporaryDir workDir;
    std::unique_ptr<TMFrm> form;
};

} // namespace plovex::test

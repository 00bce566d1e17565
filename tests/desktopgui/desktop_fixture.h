#pragma once

// The real main window with a small movie loaded, offscreen (the shared
// main-window fixture), a desktop that records what the wallpaper commands
// ask of it, and a movie wallpaper host that records what it is asked to
// show.

#include "app/main_form.h"
#include "desktop/movie_wallpaper.h"
#include "desktop/wallpaper_commands.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "player/shockwave_flash.h"
#include "support/fake_wallpaper.h"
#include "support/main_form_fixture.h"
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

class DesktopFixture : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        SetDesktopWallpaperBackend(&wallpaper);
    }
    void TearDown() override
    {
        MainFormFixture::TearDown();
        SetDesktopWallpaperBackend(nullptr);
    }

    QString program(const QString& name) const { return ProgramFolder() + name; }
    QString picture() const { return program(kWallpaperPictureName); }
    QString page() const { return program(QStringLiteral("flashH.html")); }
    QString settings() const { return program(QStringLiteral("FileList.ini")); }

    // Writes a file at path (in the work folder when relative).
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = QDir::isAbsolutePath(name) ? name : work(name);
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
        form->OpenMovie(write(moviePath, MovingSquareSwf(10)));
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

    using Kind = ScriptedPrompts::Kind;
    using Shown = ScriptedPrompts::Shown;

    plovex::testing::FakeWallpaper wallpaper;
    FakeMovieHost movieHost;
};

} // namespace plovex::test

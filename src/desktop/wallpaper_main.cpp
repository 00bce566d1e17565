// plovex-wallpaper PAGE: plays the movie that a wallpaper page names in a
// loop, as the desktop's background, until another wallpaper replaces it.

#include "desktop/movie_wallpaper.h"
#include "desktop/wallpaper_window.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QScreen>

#include <cstdio>
#include <memory>
#include <map>

namespace {

int fail(const QString& text)
{
    std::fprintf(stderr, "plovex-wallpaper: %s\n", text.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(plovex::kMovieWallpaperProgram);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: plovex-wallpaper PAGE\n");
        return 2;
    }

    // At the start of a Wayland session (the autostart entry was made
    // under X11) there is no desktop window to play in.
    if (QGuiApplication::platformName() != QStringLiteral("offscreen") && !plovex::SessionShowsX11Desktop())
        return fail(QStringLiteral("this session cannot show a window as the desktop's background"));

    QFile page(args[1]);
    if (!page.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(args[1], page.errorString()));
    const QString named = plovex::MovieFromWallpaperPage(page.read(1 << 20));
    if (named.isEmpty())
        return fail(QStringLiteral("%1 names no movie").arg(args[1]));
    const QString movie = plovex::LocalMovieFile(named);
    if (!QFileInfo(movie).isFile())
        return fail(QStringLiteral("cannot find the movie %1").arg(named));

    // One movie wallpaper at a time: this one takes the former's place.
    plovex::EndMovieWallpaper();
    plovex::RecordMovieWallpaperProcess(QApplication::applicationPid());

    // One window on every screen, also on screens plugged in later.
    std::map<QScreen*, std::unique_ptr<plovex::TWallpaperWindow>> windows;
    auto cover = [&](QScreen* screen) {
        auto& window = windows[screen];
        window = std::make_unique<plovex::TWallpaperWindow>(movie, screen);
        window->showAsDesktop();
    };
    for (QScreen* screen : QGuiApplication::screens())
        cover(screen);
    QObject::connect(&app, &QGuiApplication::screenAdded, &app, cover);
    QObject::connect(&app, &QGuiApplication::screenRemoved, &app, [&](QScreen* screen) { windows.erase(screen); });
    QApplication::setQuitOnLastWindowClosed(false);
    return QApplication::exec();
}

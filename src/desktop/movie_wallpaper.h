#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace plovex {

// The name of the small program that plays a movie as the desktop's
// background; it lives beside plovex.
inline const QString kMovieWallpaperProgram = QStringLiteral("plovex-wallpaper");

// Shows a movie page as the desktop's background through a separate
// program that keeps running after plovex ends and starts again with the
// next session (an autostart entry). At most one runs at a time: starting
// one ends the former, and any other wallpaper change ends it. Tests
// install a recording fake with SetMovieWallpaperHost.
class MovieWallpaperHost {
public:
    virtual ~MovieWallpaperHost() = default;
    // True when this session can show a window below every other one as
    // the desktop's background (an X11 session; Wayland cannot).
    virtual bool canShowMovie() = 0;
    // Ends the running movie wallpaper, if any, and starts one for the
    // page. Raises PlovexError when the page names no movie file or the
    // program cannot be started; the former wallpaper then stays.
    virtual void showMovie(const QString& page) = 0;
    // Ends the running movie wallpaper, if any, for this session and the
    // next ones.
    virtual void stopMovie() = 0;
};

// The host that runs `program` (the full path of plovex-wallpaper).
std::unique_ptr<MovieWallpaperHost> MakeSystemMovieWallpaperHost(const QString& program);

// The host in force: unless SetMovieWallpaperHost installed another, the
// system's, running plovex-wallpaper from the running executable's folder.
MovieWallpaperHost& movieWallpaperHost();
// Installs host (not owned); nullptr returns to the system's.
void SetMovieWallpaperHost(MovieWallpaperHost* host);

// True when the session described by the environment shows X11 windows as
// its desktop: $DISPLAY is set and neither $WAYLAND_DISPLAY nor
// $XDG_SESSION_TYPE=wayland says that a Wayland compositor draws it.
bool SessionShowsX11Desktop();

// The autostart entry that starts the movie wallpaper with each session:
// $XDG_CONFIG_HOME/autostart/plovex-wallpaper.desktop.
QString MovieWallpaperAutostartFile();
// Its text for the program and the page.
QString MovieWallpaperAutostartText(const QString& program, const QString& page);

// --- the running player, found through a file in the runtime folder ---

// $XDG_RUNTIME_DIR/plovex-wallpaper.pid (or the system's runtime folder).
QString MovieWallpaperPidFile();
// Records pid as the running player's.
void RecordMovieWallpaperProcess(qint64 pid);
// Ends the player the pid file names and waits (a short while) until it is
// gone; the file goes too. A pid that belongs to any other program (a
// stale file after a crash, the number reused) is left alone. True when a
// player was running and was ended.
bool EndMovieWallpaper();

// The movie a page names: the text between `<embed src="` and
// `" width="100%" height="100%">`, read as code page 936. A page of any
// other shape yields the value of its first src="...". Empty when the page
// names nothing.
QString MovieFromWallpaperPage(const QByteArray& page);

// The local file a page's movie text stands for: a path as it is, a file:
// address as its path; empty for any other address.
QString LocalMovieFile(const QString& movie);

} // namespace plovex

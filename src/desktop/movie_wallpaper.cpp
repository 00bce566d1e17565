#include "desktop/movie_wallpaper.h"

#include "platform/association.h"
#include "platform/codepage936.h"
#include "platform/errors.h"
#include "platform/xdg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <csignal>
#include <sys/types.h>

namespace plovex {

namespace {

const QByteArray kPageStart = "<embed src=\"";
const QByteArray kPageEnd = "\" width=\"100%\" height=\"100%\">";

// Whether pid is a running (not finished) process.
bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) S ...": the state follows the last ')'.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return false;
    const char state = line[close + 2];
    return state != 'Z' && state != 'X';
}

// Whether pid runs the movie wallpaper program (of any build).
bool isMovieWallpaper(qint64 pid)
{
    QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    // A program file replaced while it runs shows as "... (deleted)".
    exe.remove(QRegularExpression(QStringLiteral(" \\(deleted\\)$")));
    return QFileInfo(exe).fileName() == kMovieWallpaperProgram;
}

class SystemMovieWallpaperHost final : public MovieWallpaperHost {
public:
    explicit SystemMovieWallpaperHost(QString program) : program_(std::move(program)) {}

    bool canShowMovie() override { return SessionShowsX11Desktop(); }

    void showMovie(const QString& page) override
    {
        if (!QFileInfo(program_).isExecutable())
            throw PlovexError(QStringLiteral("Cannot find the movie wallpaper player \"%1\"").arg(program_));
        // The player runs on its own, where nobody sees its complaints:
        // a movie it cannot play is reported here, before anything changes.
        QFile file(page);
        if (!file.open(QIODevice::ReadOnly))
            throw PlovexError(QStringLiteral("Cannot open file \"%1\"").arg(page));
        const QString movie = MovieFromWallpaperPage(file.read(1 << 20));
        if (!QFileInfo(LocalMovieFile(movie)).isFile())
            throw PlovexError(QStringLiteral("The movie \"%1\" is not a file on this computer and cannot play as the wallpaper")
                                  .arg(movie));
        EndMovieWallpaper();
        if (!QProcess::startDetached(program_, {page}))
            throw PlovexError(QStringLiteral("Cannot start \"%1\"").arg(program_));
        const QString entry = MovieWallpaperAutostartFile();
        if (!WriteFileAtomically(entry, MovieWallpaperAutostartText(program_, page).toUtf8()))
            throw PlovexError(QStringLiteral("Failed to set data for '%1'").arg(entry));
    }

    void stopMovie() override
    {
        EndMovieWallpaper();
        QFile::remove(MovieWallpaperAutostartFile());
    }

private:
    QString program_;
};

MovieWallpaperHost*& installed()
{
    static MovieWallpaperHost* host = nullptr;
    return host;
}

} // namespace

std::unique_ptr<MovieWallpaperHost> MakeSystemMovieWallpaperHost(const QString& program)
{
    return std::make_unique<SystemMovieWallpaperHost>(program);
}

MovieWallpaperHost& movieWallpaperHost()
{
    if (installed())
        return *installed();
    static std::unique_ptr<MovieWallpaperHost> system = MakeSystemMovieWallpaperHost(
        QFileInfo(RunningExecutable()).absolutePath() + u'/' + kMovieWallpaperProgram);
    return *system;
}

void SetMovieWallpaperHost(MovieWallpaperHost* host)
{
    installed() = host;
}

bool SessionShowsX11Desktop()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    if (qEnvironmentVariable("XDG_SESSION_TYPE").compare(QStringLiteral("wayland"), Qt::CaseInsensitive) == 0)
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

QString MovieWallpaperAutostartFile()
{
    return XdgConfigHome() + QStringLiteral("/autostart/plovex-wallpaper.desktop");
}

QString MovieWallpaperAutostartText(const QString& program, const QString& page)
{
    // Each argument quoted by the desktop entry rules (the value ends in a
    // field code, which is dropped).
    auto arg = [](const QString& a) { return DesktopExecValue(a).chopped(3); };
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Plovex wallpaper\n"
                          "Comment=Plays a movie as the desktop's background\n"
                          "Exec=%1 %2\n"
                          "NoDisplay=true\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(arg(program), arg(page));
}

QString MovieWallpaperPidFile()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder + QStringLiteral("/plovex-wallpaper.pid");
}

void RecordMovieWallpaperProcess(qint64 pid)
{
    WriteFileAtomically(MovieWallpaperPidFile(), QByteArray::number(pid) + '\n');
}

bool EndMovieWallpaper()
{
    const QString file = MovieWallpaperPidFile();
    QFile pidFile(file);
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const qint64 pid = pidFile.read(32).trimmed().toLongLong(&ok);
    pidFile.close();
    QFile::remove(file);
    if (!ok || pid <= 1 || pid == QCoreApplication::applicationPid() || !alive(pid) || !isMovieWallpaper(pid))
        return false;
    ::kill(pid_t(pid), SIGTERM);
    // Wait until its window is gone, so that it never covers the wallpaper
    // that replaces it; a player that ignores the request is killed.
    for (int i = 0; i < 100 && alive(pid); ++i)
        QThread::msleep(20);
    if (alive(pid)) {
        ::kill(pid_t(pid), SIGKILL);
        for (int i = 0; i < 50 && alive(pid); ++i)
            QThread::msleep(20);
    }
    return true;
}

QString LocalMovieFile(const QString& movie)
{
    if (movie.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        return QUrl(movie).toLocalFile();
    if (QUrl(movie).scheme().size() > 1) // http:, https: and the like (not a drive letter)
        return QString();
    return movie;
}

QString MovieFromWallpaperPage(const QByteArray& page)
{
    if (page.startsWith(kPageStart) && page.endsWith(kPageEnd)
        && page.size() >= kPageStart.size() + kPageEnd.size())
        return FromCodePage936(page.mid(kPageStart.size(), page.size() - kPageStart.size() - kPageEnd.size()));
    static const QRegularExpression src(QStringLiteral("src\\s*=\\s*\"([^\"]*)\""),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto match = src.match(FromCodePage936(page));
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace plovex

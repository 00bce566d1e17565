#include "desktop/wallpaper_commands.h"

#include "desktop/movie_wallpaper.h"
#include "desktop/wallpaper_page.h"
#include "platform/profile.h"

namespace plovex {

bool DesktopWallpaperAvailable()
{
    return desktopWallpaper().available();
}

void RememberUserWallpaper(const QString& settingsPath, const QString& programFolder)
{
    const QString current = GetDesktopWallpaper();
    if (!IsOwnWallpaper(current, programFolder))
        ProfileFile(settingsPath).WriteString(kWallpaperSection, kRememberedWallpaperKey, current);
}

QString RememberedWallpaper(const QString& settingsPath)
{
    return ProfileFile(settingsPath).ReadString(kWallpaperSection, kRememberedWallpaperKey, QString());
}

void SetPictureWallpaper(const QString& path, WallpaperStyle style)
{
    SetDesktopWallpaper(path, style);
    movieWallpaperHost().stopMovie();
}

bool SetActiveDesktopWallpaper(const QString& path)
{
    if (path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive)
        || path.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive)) {
        MovieWallpaperHost& host = movieWallpaperHost();
        if (!host.canShowMovie())
            return false;
        host.showMovie(path);
        return true;
    }
    SetPictureWallpaper(path, WallpaperStyle::Stretch);
    return true;
}

} // namespace plovex

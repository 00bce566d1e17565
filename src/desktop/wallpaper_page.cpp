#include "desktop/wallpaper_page.h"

#include "platform/codepage936.h"
#include "platform/errors.h"
#include "platform/xdg.h"


namespace plovex {

QByteArray WallpaperPage(const QString& movie)
{
    QByteArray page = "<embed src=\"";
    page += ToCodePage936(movie);
    page += "\" width=\"100%\" height=\"100%\">";
    return page;
}

void WriteWallpaperPage(const QString& file, const QString& movie)
{
    if (!WriteFileAtomically(file, WallpaperPage(movie)))
        throw PlovexError(QStringLiteral("Cannot create file \"%1\"").arg(file));
}

bool IsOwnWallpaper(const QString& wallpaper, const QString& programFolder)
{
    const qsizetype slash = wallpaper.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : wallpaper.left(slash + 1);
    return folder == programFolder;
}

} // namespace plovex

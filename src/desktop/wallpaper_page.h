#pragma once

#include <QByteArray>
#include <QString>

namespace plovex {

// The file name of the page that puts the movie on the desktop.
inline const QString kWallpaperPageName = QStringLiteral("flashH.html");

// The page's bytes: one line, no line break, in code page 936:
//   <embed src="MOVIE" width="100%" height="100%">
// The movie's text goes in as it is, unescaped. A character that code page
// 936 lacks is written as its GB18030 sequence rather than a '?', so the
// page still names the movie (browsers read a GBK page as GB18030).
QByteArray WallpaperPage(const QString& movie);

// Creates or replaces the page file. A file that cannot be written raises
// PlovexError naming it; a former page then stays as it was.
void WriteWallpaperPage(const QString& file, const QString& movie);

// True when wallpaper is one of the program's own pictures: its folder part
// (everything up to and including the last '/') equals programFolder exactly,
// letter case included. A path without a folder part has the empty text as
// its folder.
bool IsOwnWallpaper(const QString& wallpaper, const QString& programFolder);

} // namespace plovex

#pragma once

#include "platform/wallpaper.h"

#include <QString>

namespace plovex {

// The picture file the frame commands put on the desktop, beside the
// executable; there is only ever one.
inline const QString kWallpaperPictureName = QStringLiteral("flash.bmp");

// Where the settings file keeps the user's own wallpaper.
inline const QString kWallpaperSection = QStringLiteral("墙纸");
inline const QString kRememberedWallpaperKey = QStringLiteral("默认墙纸");

// Told when no wallpaper tool of this desktop answers; nothing is changed.
inline const QString kNoDesktopWallpaperMessage =
    QStringLiteral("无法设置当前桌面的墙纸：Plovex 只能设置 GNOME、Cinnamon、Xfce 和 KDE Plasma 桌面的墙纸。");

// Whether the desktop's wallpaper can be read and set at all.
bool DesktopWallpaperAvailable();

// Stores the wallpaper the desktop shows now under 墙纸 / 默认墙纸 of the
// settings file at settingsPath, unless its folder part equals
// programFolder exactly (one of the program's own pictures). An empty
// current wallpaper is stored as the empty text.
void RememberUserWallpaper(const QString& settingsPath, const QString& programFolder);

// The remembered wallpaper; empty when none.
QString RememberedWallpaper(const QString& settingsPath);

// Puts a picture on the desktop in the given arrangement; a movie playing
// as the wallpaper ends once the picture is set.
void SetPictureWallpaper(const QString& path, WallpaperStyle style);

// Sets a page or a picture as the wallpaper. An HTML page (.html, .htm)
// plays the movie it names, when the session can show it: false when it
// cannot, and then nothing is changed. A text of blanks takes the
// wallpaper away; any other path is set as a stretched picture.
bool SetActiveDesktopWallpaper(const QString& path);

} // namespace plovex

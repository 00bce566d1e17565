#pragma once

#include "platform/commands.h"

#include <QString>
#include <memory>

namespace plovex {

// How a picture covers the desktop.
enum class WallpaperStyle { Stretch, Tile, Centre };

// The desktop's wallpaper, one implementation per desktop environment.
// Failures raise PlovexError with a text fit to show the user.
class DesktopWallpaper {
public:
    virtual ~DesktopWallpaper() = default;
    // The desktop's name as users know it ("GNOME", "Xfce", ...).
    virtual QString name() const = 0;
    // False when no wallpaper tool of this desktop answered: every other
    // operation then fails without changing anything.
    virtual bool available() const { return true; }
    // The full path of the picture the desktop shows now; empty when none.
    virtual QString getDesktopWallpaper() = 0;
    // Shows the picture at path with style; an empty path (or one of blanks
    // only) takes the picture away.
    virtual void setDesktopWallpaper(const QString& path, WallpaperStyle style) = 0;
    // Opens the desktop's own background settings without waiting for them.
    virtual void openBackgroundSettings() = 0;
};

// GNOME and the desktops that share its settings (Unity, Budgie, Pantheon),
// through gsettings; Cinnamon through its own copy of the same keys.
std::unique_ptr<DesktopWallpaper> MakeGnomeWallpaper(CommandRunner& runner);
std::unique_ptr<DesktopWallpaper> MakeCinnamonWallpaper(CommandRunner& runner);
// Xfce through xfconf-query.
std::unique_ptr<DesktopWallpaper> MakeXfceWallpaper(CommandRunner& runner);
// KDE Plasma through plasma-apply-wallpaperimage.
std::unique_ptr<DesktopWallpaper> MakePlasmaWallpaper(CommandRunner& runner);

// Picks the back end for the desktop the program runs on: the one that
// $XDG_CURRENT_DESKTOP names, or, when it names none, the first whose tools
// answer. When none fits, every operation fails with a plain explanation and
// changes nothing.
std::unique_ptr<DesktopWallpaper> MakeDesktopWallpaper(CommandRunner& runner = SystemCommands());

// The back end in force: the one MakeDesktopWallpaper picks, made on first
// use, unless SetDesktopWallpaperBackend installed another (tests install a
// fake). nullptr returns to the system's.
DesktopWallpaper& desktopWallpaper();
void SetDesktopWallpaperBackend(DesktopWallpaper* backend);

// The operations through the back end in force.
QString GetDesktopWallpaper();
void SetDesktopWallpaper(const QString& path, WallpaperStyle style);
void OpenBackgroundSettings();

// --- helpers exposed for tests ---

// A GVariant text literal for s ('...' with \ and ' escaped).
QString GVariantString(const QString& s);
// The string inside a GVariant text literal as gsettings prints it; the text
// itself when it is not a quoted literal.
QString ParseGVariantString(const QString& literal);

} // namespace plovex

#pragma once

#include <QWidget>

class QScreen;

namespace plovex {

class TShockwaveFlash;

// A borderless window that covers one screen and plays a movie in a loop
// as the desktop's background. On X11 it is a desktop window: below every
// other window, never focused, and mouse clicks pass through it.
class TWallpaperWindow final : public QWidget {
    Q_OBJECT

public:
    TWallpaperWindow(const QString& movie, QScreen* screen);

    TShockwaveFlash* player() const { return player_; }

    // Shows the window over its whole screen, below every other window.
    void showAsDesktop();

private:
    void followScreen();

    QScreen* screen_;
    TShockwaveFlash* player_;
};

// Marks a native X11 window as the desktop's own (_NET_WM_WINDOW_TYPE_DESKTOP,
// on every workspace) and puts it below its siblings. Does nothing outside
// X11.
void MakeX11DesktopWindow(QWidget& window);

} // namespace plovex

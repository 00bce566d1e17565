#include "desktop/wallpaper_window.h"

#include "player/shockwave_flash.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <xcb/xcb.h>

namespace plovex {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    auto cookie = xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = reply->atom;
    free(reply);
    return a;
}

} // namespace

void MakeX11DesktopWindow(QWidget& window)
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = xcb_window_t(window.winId());
    const xcb_atom_t type = atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktop = atom(c, "_NET_WM_WINDOW_TYPE_DESKTOP");
    if (type != XCB_ATOM_NONE && desktop != XCB_ATOM_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, type, XCB_ATOM_ATOM, 32, 1, &desktop);
    // On every workspace, as the desktop is.
    const xcb_atom_t workspace = atom(c, "_NET_WM_DESKTOP");
    const uint32_t everywhere = 0xFFFFFFFFu;
    if (workspace != XCB_ATOM_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, workspace, XCB_ATOM_CARDINAL, 32, 1, &everywhere);
    // Without a window manager nobody else stacks it: put it at the bottom.
    const uint32_t below = XCB_STACK_MODE_BELOW;
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_STACK_MODE, &below);
    xcb_flush(c);
}

TWallpaperWindow::TWallpaperWindow(const QString& movie, QScreen* screen)
    : QWidget(nullptr,
              Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::WindowTransparentForInput
                  | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      screen_(screen),
      player_(new TShockwaveFlash(this))
{
    setObjectName(QStringLiteral("WallpaperWindow"));
    setWindowTitle(QStringLiteral("Plovex wallpaper"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    player_->setObjectName(QStringLiteral("FlashMain"));
    player_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(player_);
    player_->SetLoop(true);
    player_->SetQuality(1);
    player_->SetScale(QStringLiteral("ShowAll"));
    player_->SetMovie(movie);
    if (screen_) {
        setScreen(screen_);
        connect(screen_, &QScreen::geometryChanged, this, [this] { followScreen(); });
    }
}

void TWallpaperWindow::followScreen()
{
    if (screen_)
        setGeometry(screen_->geometry());
}

void TWallpaperWindow::showAsDesktop()
{
    followScreen();
    winId(); // the native window exists before it is shown, so its type is set first
    MakeX11DesktopWindow(*this);
    show();
    MakeX11DesktopWindow(*this);
}

} // namespace plovex

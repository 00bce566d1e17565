#pragma once

#include <QString>
#include <QUrl>

namespace plovex {

// What the program asks of the desktop it runs on: handing a file or an
// address to the handler the user chose for it, and the default beep.
// Tests install a recording fake with SetDesktop.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;

    // Opens a local file with the desktop's handler for its type (xdg-open
    // on freedesktop systems). False when no handler could be started.
    virtual bool openFile(const QString& path) = 0;
    // Opens an address (http, https, mailto) with the user's browser or
    // mail client.
    virtual bool openUrl(const QUrl& url) = 0;
    // The system's default beep.
    virtual void beep() = 0;
};

// The services in force. Without a call to SetDesktop this is the system
// implementation (QDesktopServices; the beep is a terminal bell until the
// GUI installs its own).
DesktopServices& desktop();
// Installs d (not owned); nullptr returns to the system implementation.
void SetDesktop(DesktopServices* d);

} // namespace plovex

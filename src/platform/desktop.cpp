#include "platform/desktop.h"

#include <QDesktopServices>
#include <cstdio>

namespace plovex {

namespace {

class SystemDesktop final : public DesktopServices {
public:
    bool openFile(const QString& path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
    void beep() override
    {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
};

DesktopServices*& current()
{
    static DesktopServices* d = nullptr;
    return d;
}

} // namespace

DesktopServices& desktop()
{
    static SystemDesktop system;
    return current() ? *current() : system;
}

void SetDesktop(DesktopServices* d)
{
    current() = d;
}

} // namespace plovex

#pragma once

// A DesktopServices that records what the program asked the desktop to
// open. Constructing one installs it; destroying it returns to the system
// implementation.

#include "platform/desktop.h"

#include <QStringList>

namespace plovex::test {

class RecordingDesktop final : public DesktopServices {
public:
    RecordingDesktop() { SetDesktop(this); }
    ~RecordingDesktop() override { SetDesktop(nullptr); }
    RecordingDesktop(const RecordingDesktop&) = delete;
    RecordingDesktop& operator=(const RecordingDesktop&) = delete;

    QStringList openedFiles;
    QStringList openedUrls;
    int beeps = 0;

    bool openFile(const QString& path) override
    {
        openedFiles << path;
        return true;
    }
    bool openUrl(const QUrl& url) override
    {
        openedUrls << url.toString();
        return true;
    }
    void beep() override { ++beeps; }
};

} // namespace plovex::test

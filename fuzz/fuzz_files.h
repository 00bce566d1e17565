#pragma once

// Support for fuzz targets whose code under test reads files: a private
// folder on a memory file system when there is one, the input written to a
// file there, and prompts that stay silent.

#include "platform/prompts.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace plovex::fuzz {

class SilentPrompts final : public Prompts {
public:
    void showMessage(const QString&) override {}
    void messageBox(const QString&, const QString&, MessageIcon) override {}
    bool confirm(const QString&) override { return false; }
    void errorBox(const QString&) override {}
    bool inputQuery(const QString&, const QString&, QString&) override { return false; }
    bool execute(FileDialog&) override { return false; }
    bool execute(ColorDialog&) override { return false; }
};

// A folder of this process's own, made once and reused for every input.
inline const QString& workFolder()
{
    static const QString folder = [] {
        static SilentPrompts silent;
        SetPrompts(&silent);
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/plovex-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        const QString path = QString::fromStdString(pattern);
        std::atexit([] { QDir(workFolder()).removeRecursively(); });
        return path;
    }();
    return folder;
}

inline QString writeInput(const char* name, const uint8_t* data, size_t size)
{
    const QString path = QDir(workFolder()).filePath(QString::fromLatin1(name));
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size)) {
        std::perror("write input");
        std::abort();
    }
    std::fclose(f);
    return path;
}

// An empty output folder inside the work folder.
inline QString freshFolder(const char* name)
{
    QDir folder(QDir(workFolder()).filePath(QString::fromLatin1(name)));
    folder.removeRecursively();
    folder.mkpath(QStringLiteral("."));
    return folder.path();
}

} // namespace plovex::fuzz

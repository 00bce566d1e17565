#include "platform/xdg.h"

#include "platform/safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace plovex {

namespace {

QString userFolder(const char* variable, const char* fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    // The conventions say a relative value is invalid and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        return {};
    return QDir::cleanPath(home + u'/' + QLatin1String(fallbackUnderHome));
}

} // namespace

QString XdgCacheHome() { return userFolder("XDG_CACHE_HOME", ".cache"); }
QString XdgDataHome() { return userFolder("XDG_DATA_HOME", ".local/share"); }
QString XdgConfigHome() { return userFolder("XDG_CONFIG_HOME", ".config"); }

QString BrowserCacheFolder()
{
    // Firefox, Chromium and their relatives keep their disk caches below the
    // user's cache folder, so searching all of it finds every browser's.
    return XdgCacheHome();
}

QString RunningExecutable()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

bool WriteFileAtomically(const QString& path, const QByteArray& data)
{
    // The folder of the file that will really be written (a link's target).
    const QFileInfo info(path);
    const QString target = info.isSymLink() && !info.symLinkTarget().isEmpty() ? info.symLinkTarget() : path;
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    return ReplaceFileContents(path, data).isEmpty();
}

} // namespace plovex

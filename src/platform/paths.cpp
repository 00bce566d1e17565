#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace plovex {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString WithTrailingSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString ProgramFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    QString dir;
    if (QCoreApplication::instance())
        dir = QCoreApplication::applicationDirPath();
    else
        dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
    return WithTrailingSlash(dir);
}

void SetProgramFolder(const QString& folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : WithTrailingSlash(folder);
}

} // namespace plovex

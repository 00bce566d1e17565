#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace plovex {

// Makes the desktop's file manager open .swf movies with this program, and
// takes that back. Neither asks nor reports success; a file or key that
// cannot be written raises PlovexError("Failed to set data for '...'").
class FileAssociation {
public:
    virtual ~FileAssociation() = default;
    // Registers executable (a full path) as the program that opens movies,
    // handing it the movie's path as the first argument.
    virtual void associate(const QString& executable) = 0;
    // Removes the program as the default for movies and whatever else
    // associate added; everything else stays.
    virtual void dissociate() = 0;
};

// The implementation for the system the program runs on.
std::unique_ptr<FileAssociation> MakeFileAssociation();

// --- Linux (freedesktop) implementation ----------------------------------

// The media types a movie carries.
inline const QStringList kSwfMimeTypes = {QStringLiteral("application/x-shockwave-flash"),
                                          QStringLiteral("application/vnd.adobe.flash.movie")};
// The file name of our desktop entry.
inline const QString kDesktopEntryName = QStringLiteral("plovex.desktop");

// Writes $XDG_DATA_HOME/applications/plovex.desktop and puts it first among
// the defaults for both types in $XDG_CONFIG_HOME/mimeapps.list; undoing
// takes it out of those lists again and removes the entry.
class XdgFileAssociation final : public FileAssociation {
public:
    void associate(const QString& executable) override;
    void dissociate() override;

    static QString desktopEntryPath();
    static QString mimeAppsPath();
};

// The pieces below are the pure text work of XdgFileAssociation, exposed for
// tests.

// The desktop entry's text for executable.
QString DesktopEntryText(const QString& executable);
// The Exec= value: the executable, quoted and escaped where the desktop
// entry rules require it, then " %f".
QString DesktopExecValue(const QString& executable);
// mimeapps.list text with desktopId first in the [Default Applications] list
// of every type in types, every other line as it was.
QString AddDefaultApplication(const QString& mimeApps, const QString& desktopId, const QStringList& types);
// mimeapps.list text with desktopId removed from the [Default Applications]
// lists of types; a list left empty loses its line; every other line stays.
QString RemoveDefaultApplication(const QString& mimeApps, const QString& desktopId, const QStringList& types);

} // namespace plovex

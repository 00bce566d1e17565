#include "platform/association.h"

#include "platform/errors.h"
#include "platform/xdg.h"

#include <QFile>
#include <QFileInfo>

#include <functional>
#include <optional>

namespace plovex {

namespace {

[[noreturn]] void failedToSet(const QString& path)
{
    throw PlovexError(QStringLiteral("Failed to set data for '%1'").arg(path));
}

// The characters after which an Exec argument must be quoted.
bool needsQuoting(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (QChar c : arg)
        if (reserved.contains(c))
            return true;
    return arg.isEmpty();
}

struct Line {
    QString text;
    QString section; // the section the line belongs to ("" before the first)
};

bool isSectionHeader(const QString& line, QString* name = nullptr)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(u'[') || !t.endsWith(u']'))
        return false;
    if (name)
        *name = t.mid(1, t.size() - 2);
    return true;
}

// Splits "key=value" (blanks around '=' allowed); false for other lines.
bool splitEntry(const QString& line, QString& key, QString& value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u'#'))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0)
        return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    return true;
}

QStringList splitIds(const QString& value)
{
    QStringList ids;
    for (const QString& id : value.split(u';'))
        if (!id.trimmed().isEmpty())
            ids << id.trimmed();
    return ids;
}

QStringList toLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast(); // the final line break
    return lines;
}

QString fromLines(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n';
}

const QString kDefaults = QStringLiteral("Default Applications");

// Rewrites the [Default Applications] lists of types with edit; a list that
// edit empties loses its line. Types missing from the file are appended to
// the section (created at the end if needed) when edit gives them a list.
QString editDefaults(const QString& mimeApps, const QString& desktopId, const QStringList& types,
                     const std::function<QStringList(QStringList)>& edit)
{
    QStringList lines = toLines(mimeApps);
    QStringList seen;
    QString section;
    qsizetype lastDefaultsLine = -1; // where new keys of the section go
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString name;
        if (isSectionHeader(lines[i], &name)) {
            section = name;
            if (section == kDefaults)
                lastDefaultsLine = i;
            continue;
        }
        if (section != kDefaults)
            continue;
        QString key, value;
        if (!splitEntry(lines[i], key, value)) {
            if (!lines[i].trimmed().isEmpty())
                lastDefaultsLine = i; // keep comments with the entries above them
            continue;
        }
        lastDefaultsLine = i;
        if (!types.contains(key))
            continue;
        const QStringList before = splitIds(value);
        // A type listed twice: only its first line decides; later lines only
        // lose our entry.
        QStringList after = before;
        if (seen.contains(key))
            after.removeAll(desktopId);
        else
            after = edit(before);
        seen << key;
        if (after == before)
            continue; // leave the line exactly as the user wrote it
        if (after.isEmpty()) {
            lines.removeAt(i);
            --i;
            lastDefaultsLine = std::max<qsizetype>(lastDefaultsLine - 1, -1);
            continue;
        }
        lines[i] = key + u'=' + after.join(u';') + u';';
    }
    QStringList added;
    for (const QString& type : types) {
        if (seen.contains(type))
            continue;
        const QStringList after = edit({});
        if (!after.isEmpty())
            added << type + u'=' + after.join(u';') + u';';
    }
    if (added.isEmpty())
        return fromLines(lines);
    if (lastDefaultsLine < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << u'[' + kDefaults + u']';
        lines << added;
    } else {
        for (qsizetype k = 0; k < added.size(); ++k)
            lines.insert(lastDefaultsLine + 1 + k, added[k]);
    }
    return fromLines(lines);
}

// The file's text; the empty text when it does not exist. A file that exists
// but cannot be read is not replaced (its lines would be lost): that fails.
QString readText(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        failedToSet(path);
    return QString::fromUtf8(file.readAll());
}

void writeText(const QString& path, const QString& text)
{
    if (!WriteFileAtomically(path, text.toUtf8()))
        failedToSet(path);
}

} // namespace

QString DesktopExecValue(const QString& executable)
{
    QString arg = executable;
    if (needsQuoting(arg)) {
        QString quoted;
        for (QChar c : arg) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        arg = u'"' + quoted + u'"';
    }
    // The value is a string of the desktop entry format first: a backslash is
    // written twice there, and '%' (a field code) is written "%%".
    arg.replace(u'\\', QStringLiteral("\\\\"));
    arg.replace(u'%', QStringLiteral("%%"));
    arg.replace(u'\n', QStringLiteral("\\n"));
    return arg + QStringLiteral(" %f");
}

QString DesktopEntryText(const QString& executable)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Plovex\n");
    text += QStringLiteral("GenericName=Flash Movie Player\n");
    text += QStringLiteral("Comment=Play Flash movies and take pictures, sounds and movies out of them\n");
    text += QStringLiteral("Exec=") + DesktopExecValue(executable) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("Categories=AudioVideo;Player;\n");
    text += QStringLiteral("MimeType=") + kSwfMimeTypes.join(u';') + QStringLiteral(";\n");
    return text;
}

QString AddDefaultApplication(const QString& mimeApps, const QString& desktopId, const QStringList& types)
{
    return editDefaults(mimeApps, desktopId, types, [&](QStringList ids) {
        ids.removeAll(desktopId);
        ids.prepend(desktopId);
        return ids;
    });
}

QString RemoveDefaultApplication(const QString& mimeApps, const QString& desktopId, const QStringList& types)
{
    return editDefaults(mimeApps, desktopId, types, [&](QStringList ids) {
        ids.removeAll(desktopId);
        return ids;
    });
}

QString XdgFileAssociation::desktopEntryPath()
{
    return XdgDataHome() + QStringLiteral("/applications/") + kDesktopEntryName;
}

QString XdgFileAssociation::mimeAppsPath()
{
    return XdgConfigHome() + QStringLiteral("/mimeapps.list");
}

void XdgFileAssociation::associate(const QString& executable)
{
    const QString entryPath = desktopEntryPath();
    const QString entry = DesktopEntryText(executable);
    if (readText(entryPath) != entry)
        writeText(entryPath, entry);

    const QString listPath = mimeAppsPath();
    const QString before = readText(listPath);
    const QString after = AddDefaultApplication(before, kDesktopEntryName, kSwfMimeTypes);
    if (after != before || !QFile::exists(listPath))
        writeText(listPath, after);
}

void XdgFileAssociation::dissociate()
{
    const QString listPath = mimeAppsPath();
    if (QFile::exists(listPath)) {
        const QString before = readText(listPath);
        const QString after = RemoveDefaultApplication(before, kDesktopEntryName, kSwfMimeTypes);
        if (after != before)
            writeText(listPath, after);
    }
    // Our entry goes too: while it declares the movie types, file managers
    // still pick it for movies when no other program can open them.
    const QString entryPath = desktopEntryPath();
    if (QFileInfo::exists(entryPath) && !QFile::remove(entryPath))
        failedToSet(entryPath);
}

#ifndef _WIN32
std::unique_ptr<FileAssociation> MakeFileAssociation()
{
    return std::make_unique<XdgFileAssociation>();
}
#endif

} // namespace plovex

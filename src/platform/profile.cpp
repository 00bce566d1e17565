#include "platform/profile.h"

#include "platform/codepage936.h"
#include "platform/errors.h"
#include "platform/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <optional>
#include <vector>

namespace plovex {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.mid(begin, end - begin);
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.mid(begin, end - begin);
}

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// A name as the operation asked for it, with its bytes in the file's code
// page, so that most lines compare without converting them.
struct Name {
    explicit Name(const QString& text)
        : text(trimBlanks(text)), bytes(ToCodePage936(this->text)), ascii(isAscii(bytes))
    {
    }
    QString text;
    QByteArray bytes;
    bool ascii;
};

bool sameName(const QByteArray& onDisk, const Name& wanted)
{
    const QByteArray name = trimBlanks(onDisk);
    if (name == wanted.bytes)
        return true;
    if (wanted.ascii && isAscii(name)) {
        if (name.size() != wanted.bytes.size())
            return false;
        for (qsizetype i = 0; i < name.size(); ++i)
            if (asciiLower(name[i]) != asciiLower(wanted.bytes[i]))
                return false;
        return true;
    }
    // Letters beyond ASCII (full-width, Greek, Cyrillic) also match in the
    // other case. Bytes are not folded here: the second byte of a
    // double-byte character may look like an ASCII letter.
    return FromCodePage936(name).compare(wanted.text, Qt::CaseInsensitive) == 0;
}

// The name of a section line ("[name]", leading blanks allowed; without a
// closing bracket the name runs to the end of the line), or nothing.
std::optional<QByteArray> sectionName(const QByteArray& line)
{
    const QByteArray trimmed = trimBlanks(line);
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    return trimmed.mid(1, close < 0 ? -1 : close - 1);
}

// The file's bytes and its lines without their line ends. A missing file
// has none; std::nullopt means it exists but could not be read.
struct Contents {
    QByteArray bytes;
    std::vector<QByteArray> lines;
};

std::optional<Contents> readContents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? std::nullopt : std::optional(Contents{});
    Contents contents;
    contents.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    const QByteArray& bytes = contents.bytes;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        contents.lines.push_back(std::move(line));
        start = end + 1;
    }
    return contents;
}

struct Location {
    qsizetype section = -1; // line of "[section]", -1 when missing
    qsizetype sectionEnd = 0; // first line after the section
    qsizetype key = -1; // line of "key=...", -1 when missing
};

Location locate(const std::vector<QByteArray>& lines, const QString& sectionText, const QString& keyText)
{
    const Name section(sectionText);
    const Name key(keyText);
    Location at;
    at.sectionEnd = qsizetype(lines.size());
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const auto name = sectionName(lines[i]);
        if (!name)
            continue;
        if (at.section >= 0) {
            at.sectionEnd = i;
            break;
        }
        if (sameName(*name, section))
            at.section = i;
    }
    if (at.section < 0)
        return at;
    for (qsizetype i = at.section + 1; i < at.sectionEnd; ++i) {
        const qsizetype equals = lines[i].indexOf('=');
        if (equals >= 0 && sameName(lines[i].left(equals), key)) {
            at.key = i;
            break;
        }
    }
    return at;
}

// Line ends inside a name or value would split its line and change the
// file's structure; they are written as blanks.
QByteArray onOneLine(const QString& text)
{
    QByteArray bytes = ToCodePage936(text);
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

[[noreturn]] void cannotWrite(const QString& path)
{
    throw PlovexError(QStringLiteral("Unable to write to %1").arg(QFileInfo(path).absoluteFilePath()));
}

// The key's value, or nothing when the file, the section or the key is
// missing or the file cannot be read.
std::optional<QString> readValue(const QString& path, const QString& section, const QString& key)
{
    const auto contents = readContents(path);
    if (!contents)
        return std::nullopt;
    const std::vector<QByteArray>* lines = &contents->lines;
    const Location at = locate(*lines, section, key);
    if (at.key < 0)
        return std::nullopt;
    const QByteArray& line = (*lines)[at.key];
    QByteArray value = line.mid(line.indexOf('=') + 1);
    const bool cut = value.size() > ProfileFile::MaxValueBytes;
    if (cut)
        value.truncate(ProfileFile::MaxValueBytes);
    return FromCodePage936(value, cut);
}

} // namespace

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

QString ProfileFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return readValue(path_, section, key).value_or(defaultValue);
}

int ProfileFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const auto text = readValue(path_, section, key);
    int value = 0;
    if (!text || !ParseProfileInteger(*text, value))
        return defaultValue;
    return value;
}

void ProfileFile::WriteString(const QString& section, const QString& key, const QString& value) const
{
    auto contents = readContents(path_);
    if (!contents)
        cannotWrite(path_); // rewriting a file we cannot read would lose it
    std::vector<QByteArray>* lines = &contents->lines;
    const QByteArray entry = onOneLine(key) + '=' + onOneLine(value);
    const Location at = locate(*lines, section, key);
    if (at.section < 0) {
        lines->push_back('[' + onOneLine(section) + ']');
        lines->push_back(entry);
    } else if (at.key >= 0) {
        (*lines)[at.key] = entry;
    } else {
        // After the section's last non-blank line, so blank lines that
        // separate it from the next section stay where they are.
        qsizetype after = at.section;
        for (qsizetype i = at.section + 1; i < at.sectionEnd; ++i)
            if (!trimBlanks((*lines)[i]).isEmpty())
                after = i;
        lines->insert(lines->begin() + after + 1, entry);
    }

    QByteArray bytes;
    for (const QByteArray& line : *lines)
        bytes += line + "\r\n";
    // Saving a value the file already holds leaves the file alone: saving
    // an unchanged playlist at close then costs no disk writes.
    if (bytes == contents->bytes && !bytes.isEmpty())
        return;
    if (!ReplaceFileContents(path_, bytes).isEmpty())
        cannotWrite(path_);
}

void ProfileFile::WriteInteger(const QString& section, const QString& key, int value) const
{
    WriteString(section, key, QString::number(value));
}

bool ParseProfileInteger(const QString& text, int& value)
{
    const QString t = trimBlanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        negative = t[i++] == u'-';
    const bool hex = i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X');
    if (hex)
        i += 2;
    if (i >= t.size())
        return false;
    quint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + quint64(digit);
        if (magnitude > (hex ? 0xFFFFFFFFull : 0x80000000ull))
            return false;
    }
    qint64 result;
    if (hex)
        result = qint32(quint32(magnitude));
    else
        result = qint64(magnitude);
    if (negative)
        result = -result;
    if (result < INT_MIN || result > INT_MAX)
        return false;
    value = int(result);
    return true;
}

} // namespace plovex

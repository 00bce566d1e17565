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

// A name as the file compares it: without its leading and trailing
// blanks, in one letter case. ASCII names are folded byte by byte; others
// through their text, so that letters beyond ASCII (full-width, Greek,
// Cyrillic) also match in the other case. Bytes that are not valid code
// page 936 match only themselves.
QByteArray foldName(const QByteArray& raw)
{
    QByteArray name = trimBlanks(raw);
    if (isAscii(name)) {
        for (char& c : name)
            c = asciiLower(c);
        return name;
    }
    const QString text = FromCodePage936(name);
    if (text.contains(QChar::ReplacementCharacter))
        return '\xff' + name; // 0xFF never starts UTF-8
    return text.toCaseFolded().toUtf8();
}

QByteArray foldName(const QString& text)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return foldName(text.toLatin1());
    // The program asks for a few section names over and over.
    thread_local QString lastText;
    thread_local QByteArray lastFolded;
    if (text != lastText || lastFolded.isNull()) {
        lastFolded = foldName(ToCodePage936(trimBlanks(text)));
        lastText = text;
    }
    return lastFolded;
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

// The value of a "key=value" line as a read returns it; `kept` is set
// when the text does not give back the value's bytes.
QString valueOf(const QByteArray& line, bool* kept = nullptr)
{
    QByteArray value = line.mid(line.indexOf('=') + 1);
    const bool cut = value.size() > ProfileFile::MaxValueBytes;
    if (cut)
        value.truncate(ProfileFile::MaxValueBytes);
    QString text = FromCodePage936(value, cut);
    if (kept)
        *kept = cut || text.contains(QChar::ReplacementCharacter);
    return text;
}

} // namespace

// ---------------------------------------------------------------- ProfileDocument

ProfileDocument::ProfileDocument(QString path) : path_(std::move(path))
{
    sections_.emplace_back();
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        readable_ = !file.exists();
        return;
    }
    original_ = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        readable_ = false;
        original_.clear();
        return;
    }
    const QByteArray& bytes = original_;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        start = end + 1;
        if (const auto name = sectionName(line)) {
            const QByteArray folded = foldName(*name);
            if (!sectionIndex_.contains(folded))
                sectionIndex_.insert(folded, qsizetype(sections_.size()));
            sections_.emplace_back().header = std::move(line);
            continue;
        }
        Section& section = sections_.back();
        const qsizetype at = qsizetype(section.lines.size());
        const qsizetype equals = line.indexOf('=');
        if (equals >= 0) {
            const QByteArray folded = foldName(line.left(equals));
            if (!section.keys.contains(folded))
                section.keys.insert(folded, at);
        }
        if (!trimBlanks(line).isEmpty())
            section.lastNonBlank = at;
        section.lines.push_back(std::move(line));
    }
}

const ProfileDocument::Section* ProfileDocument::findSection(const QString& name) const
{
    const auto it = sectionIndex_.constFind(foldName(name));
    return it == sectionIndex_.cend() ? nullptr : &sections_[size_t(*it)];
}

const QByteArray* ProfileDocument::findLine(const QString& sectionName, const QString& key) const
{
    const Section* section = findSection(sectionName);
    if (!section)
        return nullptr;
    const auto it = section->keys.constFind(foldName(key));
    return it == section->keys.cend() ? nullptr : &section->lines[size_t(*it)];
}

QString ProfileDocument::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QByteArray* line = findLine(section, key);
    if (!line)
        return defaultValue;
    return keepBytesOf(*line);
}

int ProfileDocument::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const QByteArray* line = findLine(section, key);
    int value = 0;
    if (!line || !ParseProfileInteger(valueOf(*line), value))
        return defaultValue;
    return value;
}

QString ProfileDocument::keepBytesOf(const QByteArray& line) const
{
    bool kept = false;
    QString text = valueOf(line, &kept);
    if (kept && !keptBytes_.contains(text))
        keptBytes_.insert(text, line.mid(line.indexOf('=') + 1));
    return text;
}

QByteArray ProfileDocument::encodeValue(const QString& value) const
{
    if (const auto it = keptBytes_.constFind(value); it != keptBytes_.cend())
        return *it;
    QByteArray bytes = onOneLine(value);
    // Only text with a replacement character, or text as long as a cut
    // value, can have come from bytes it does not give back. The first
    // such text looks at every value of the file once.
    const bool mayBeKept =
        value.contains(QChar::ReplacementCharacter) || bytes.size() >= ProfileFile::MaxValueBytes - 1;
    if (mayBeKept && !scannedAll_) {
        scannedAll_ = true;
        for (const Section& section : sections_)
            for (const QByteArray& line : section.lines)
                if (line.contains('='))
                    keepBytesOf(line);
        if (const auto it = keptBytes_.constFind(value); it != keptBytes_.cend())
            return *it;
    }
    return bytes;
}

void ProfileDocument::WriteString(const QString& sectionName, const QString& key, const QString& value)
{
    const QByteArray foldedSection = foldName(sectionName);
    const auto found = sectionIndex_.constFind(foldedSection);
    if (found == sectionIndex_.cend()) {
        // A new section at the end of the file.
        sectionIndex_.insert(foldedSection, qsizetype(sections_.size()));
        Section& section = sections_.emplace_back();
        section.header = '[' + onOneLine(sectionName) + ']';
        section.keys.insert(foldName(key), 0);
        section.lines.push_back(onOneLine(key) + '=' + encodeValue(value));
        section.lastNonBlank = 0;
        return;
    }
    Section& section = sections_[size_t(*found)];
    const QByteArray foldedKey = foldName(key);
    if (const auto it = section.keys.constFind(foldedKey); it != section.keys.cend()) {
        QByteArray& line = section.lines[size_t(*it)];
        const QByteArray name = onOneLine(key);
        // A value written back as it was read keeps its bytes; the key
        // takes the spelling of the write. The bytes of a value written
        // over stay at hand for the text read from them, which may be
        // written under another key.
        if (keepBytesOf(line) == value) {
            const qsizetype equals = line.indexOf('=');
            if (line.left(equals) != name)
                line = name + line.mid(equals);
        } else {
            line = name + '=' + encodeValue(value);
        }
        return;
    }
    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are. Only blank lines
    // follow that place, so no key's line moves.
    const qsizetype at = section.lastNonBlank + 1;
    section.lines.insert(section.lines.begin() + at, onOneLine(key) + '=' + encodeValue(value));
    section.keys.insert(foldedKey, at);
    section.lastNonBlank = at;
}

void ProfileDocument::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

int ProfileDocument::HighestNumberedKey(const QString& sectionName) const
{
    const Section* section = findSection(sectionName);
    if (!section)
        return 0;
    int highest = 0;
    for (auto it = section->keys.cbegin(); it != section->keys.cend(); ++it) {
        const QByteArray& name = it.key();
        // Only the program's own spelling: digits without a leading zero.
        if (name.isEmpty() || name.size() > 10 || name[0] == '0')
            continue;
        bool digits = true;
        for (const char c : name)
            digits = digits && c >= '0' && c <= '9';
        if (!digits)
            continue;
        const qint64 n = name.toLongLong();
        if (n <= INT_MAX)
            highest = std::max(highest, int(n));
    }
    return highest;
}

void ProfileDocument::Save() const
{
    if (!readable_)
        cannotWrite(path_); // rewriting a file we cannot read would lose it
    qsizetype size = 0;
    for (const Section& section : sections_) {
        size += section.header.isEmpty() ? 0 : section.header.size() + 2;
        for (const QByteArray& line : section.lines)
            size += line.size() + 2;
    }
    QByteArray bytes;
    bytes.reserve(size);
    for (const Section& section : sections_) {
        if (!section.header.isEmpty())
            bytes.append(section.header).append("\r\n");
        for (const QByteArray& line : section.lines)
            bytes.append(line).append("\r\n");
    }
    // A document written back unchanged leaves the file alone: saving an
    // unchanged playlist at close then costs no disk writes.
    if (bytes == original_ && !bytes.isEmpty())
        return;
    if (!ReplaceFileContents(path_, bytes).isEmpty())
        cannotWrite(path_);
}

// ---------------------------------------------------------------- ProfileFile

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

QString ProfileFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return ProfileDocument(path_).ReadString(section, key, defaultValue);
}

int ProfileFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    return ProfileDocument(path_).ReadInteger(section, key, defaultValue);
}

void ProfileFile::WriteString(const QString& section, const QString& key, const QString& value) const
{
    ProfileDocument document(path_);
    if (!document.readable())
        cannotWrite(path_);
    document.WriteString(section, key, value);
    document.Save();
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

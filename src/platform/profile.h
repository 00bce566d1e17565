#pragma once

#include <QHash>
#include <QString>

#include <vector>

namespace plovex {

// A settings file in the format of the Windows private profile files
// ("[section]" lines followed by "key=value" lines), read and written the
// way GetPrivateProfileString and WritePrivateProfileString do:
//
// - the file is opened by path for every operation; nothing is cached, so
//   every read sees the last write, also by another process;
// - section and key names are compared without regard to letter case and
//   with leading and trailing blanks ignored; the first match counts;
// - a value is the rest of its line after the first '=', cut to its first
//   2047 bytes;
// - integers are written in decimal and read as decimal or as "0x"
//   hexadecimal; anything else reads as the default;
// - a write replaces the key's line where it stands, adds a new key after
//   the last entry of its section and a new section at the end of the
//   file; nothing is ever removed;
// - the file is code page 936 with CR LF line ends.
//
// A missing or unreadable file reads as defaults. A write that fails
// raises PlovexError "Unable to write to <full path>". A write never
// leaves a half-written file behind: the old file stays whole until the
// new one is complete on the disk.
class ProfileFile {
public:
    explicit ProfileFile(QString path);

    const QString& path() const { return path_; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    void WriteString(const QString& section, const QString& key, const QString& value) const;
    void WriteInteger(const QString& section, const QString& key, int value) const;

    // The longest value a read returns, in bytes of the file.
    static constexpr int MaxValueBytes = 2047;

private:
    QString path_;
};

// The settings file held in memory for a run of reads and writes: read
// once from the disk, indexed, and written back once by Save(), with the
// rules of ProfileFile above. Saving the long playlist at close and
// reading it at start each cost one pass over the file, whatever its
// length.
//
// Every line the writes do not change keeps its bytes, and so does a
// value written back unchanged: text read from bytes that are not valid
// code page 936 (or cut at the 2047-byte limit) is written as the bytes it
// was read from, under whatever key it is written.
class ProfileDocument {
public:
    // Reads the file; a missing file is an empty document.
    explicit ProfileDocument(QString path);

    // False when the file exists but could not be read; such a document
    // reads as defaults and refuses to Save.
    bool readable() const { return readable_; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

    // The largest n for which the section holds the key n, written in
    // decimal the way the program writes it ("1", "2", ...); 0 when none.
    int HighestNumberedKey(const QString& section) const;

    // Writes the document over the file when its bytes differ from what
    // was read, replacing the file safely (see ReplaceFileContents).
    // Raises PlovexError "Unable to write to <full path>" on failure, and
    // for a document that was not readable.
    void Save() const;

private:
    struct Section {
        QByteArray header;               // "[name]" as it stood; empty before the first section
        std::vector<QByteArray> lines;   // the lines after the header, without line ends
        QHash<QByteArray, qsizetype> keys; // folded name -> first line holding it
        qsizetype lastNonBlank = -1;     // new keys go after it
    };
    const Section* findSection(const QString& name) const;
    const QByteArray* findLine(const QString& section, const QString& key) const;
    QByteArray encodeValue(const QString& value) const;
    // The value of a "key=value" line, its bytes kept when its text does
    // not give them back.
    QString keepBytesOf(const QByteArray& line) const;

    QString path_;
    bool readable_ = true;
    QByteArray original_;
    std::vector<Section> sections_; // sections_[0]: the lines before any section
    QHash<QByteArray, qsizetype> sectionIndex_;
    // Values whose text does not give back their bytes: text -> bytes.
    // Two such values read as the same text keep the bytes met first.
    mutable QHash<QString, QByteArray> keptBytes_;
    mutable bool scannedAll_ = false;
};

// Reads an integer the way the settings file stores it: optional blanks,
// an optional sign, then decimal digits or "0x"/"0X" and hexadecimal
// digits (up to 32 bits, taken as a signed pattern), then optional blanks.
// Returns false for anything else and for decimal values outside int.
bool ParseProfileInteger(const QString& text, int& value);

} // namespace plovex

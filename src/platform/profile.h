#pragma once

#include <QString>

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

// Reads an integer the way the settings file stores it: optional blanks,
// an optional sign, then decimal digits or "0x"/"0X" and hexadecimal
// digits (up to 32 bits, taken as a signed pattern), then optional blanks.
// Returns false for anything else and for decimal values outside int.
bool ParseProfileInteger(const QString& text, int& value);

} // namespace plovex

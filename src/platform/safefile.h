#pragma once

#include <QByteArray>
#include <QString>

namespace plovex {

// Replaces the contents of the file at `path` with `bytes` so that the old
// file stays whole until the new one is complete: the bytes go to a new
// file in the same folder, which is flushed to the disk and then renamed
// over the old one. A device or a pipe at the path is written to as it is. A crash or a full disk in the middle leaves the old
// file as it was and removes the partial new one. A symbolic link is
// followed, so the file it names is replaced and the link stays. An
// existing file keeps its permission bits.
//
// Returns an empty string on success, otherwise the system's reason.
QString ReplaceFileContents(const QString& path, const QByteArray& bytes);

// A new file written beside its target (a hidden name in the same folder)
// that takes the target's place only when committed, for writers that
// produce their bytes piece by piece and may seek back (a video muxer).
// Until then the old file stays as it was; abandoning, a failed commit and
// the destructor remove the new file. A symbolic link is followed as
// ReplaceFileContents does; an existing file's permission bits are kept.
// Devices and pipes are refused: they cannot be replaced.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file for `path`; an empty string, or the reason.
    QString open(const QString& path);
    // False on failure, with the reason in error().
    bool write(const char* data, qint64 size);
    // lseek on the new file; -1 on failure, with the reason in error().
    qint64 seek(qint64 offset, int whence);
    // Flushes the new file to the disk and renames it over the target; an
    // empty string, or the reason (the new file is then gone).
    QString commit();
    // Closes and removes the new file.
    void abandon();

    bool isOpen() const { return fd_ >= 0; }
    // The new file's own path, while it is open.
    QByteArray tempPath() const { return temp_; }
    QString error() const { return error_; }

private:
    int fd_ = -1;
    QByteArray temp_, target_;
    qint64 position_ = 0, written_ = 0;
    QString error_;
};

// Whether the two paths name one existing file: the same device and
// inode, whatever the names say, so another spelling of the path, a hard
// link and a symbolic link all count. False when either does not exist.
bool IsSameFile(const QString& a, const QString& b);

// Raises PlovexError ("Cannot create file "<target>". The file is the
// movie being read.") when writing to `target` would write over the file
// at `source`, the movie a command reads. Commands call it before they
// create or replace any file.
void RefuseWritingOverSource(const QString& source, const QString& target);

// Tests simulate a full disk: after `bytes` bytes of the new file have
// been written to a new file, the next write fails with ENOSPC. A negative value turns
// the simulation off.
void SetWriteLimitForTesting(qint64 bytes);

} // namespace plovex

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
// been written, the next write fails with ENOSPC. A negative value turns
// the simulation off.
void SetWriteLimitForTesting(qint64 bytes);

} // namespace plovex

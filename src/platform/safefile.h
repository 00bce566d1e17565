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

// Tests simulate a full disk: after `bytes` bytes of the new file have
// been written, the next write fails with ENOSPC. A negative value turns
// the simulation off.
void SetWriteLimitForTesting(qint64 bytes);

} // namespace plovex

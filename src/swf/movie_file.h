#pragma once

// Reading a movie from the disk and sizing the picture of its stage, both
// bounded by the engine's limits (swf/limits.h).

#include "swf/limits.h"
#include "swf/player.h"

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <QString>

namespace plovex::swf {

// Reads the whole file at `path` into `bytes`. Before reading anything it
// refuses what cannot be a movie: a path that is not a regular file (a
// folder, a FIFO, which would block, a device such as /dev/zero, which
// never ends) and a file larger than kMaxMovieFileBytes. Returns an empty
// string on success, else the reason as one sentence for "<path>: <reason>".
QString ReadMovieFile(const QString& path, QByteArray& bytes);

// What the header says about a movie, without loading anything else:
// no tag is read and no picture decoded.
MovieInfo ReadMovieInfo(const QByteArray& bytes);

// The picture size for a stage given in pixels: its own size rounded,
// at least 1 x 1, cut down in proportion when it is larger than
// kMaxStageSide a side or kMaxStagePixels in all. `cut` tells whether it
// was.
QSize StagePictureSize(const QRectF& stage, bool* cut = nullptr);

} // namespace plovex::swf

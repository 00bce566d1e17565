#pragma once

#include <QImage>
#include <QRect>
#include <QString>

namespace plovex {

class TShockwaveFlash;

// The picture the player shows at this moment, at the control's own pixel
// size (which follows the window and full screen), 32 bits per pixel.
QImage GrabFrame(const TShockwaveFlash& flash);

// Grabs the frame and writes it to `fileName` in the format `ext` chooses
// (".jpg", ".gif" or ".bmp", letter case ignored). Any other extension,
// the empty one included, writes nothing and reports nothing: returns
// false. A file that cannot be written raises PlovexError, and so does
// a file that is the movie the player shows (see RefuseWritingOverSource).
bool SaveFrameImage(const TShockwaveFlash& flash, const QString& ext, const QString& fileName);

// The region frame's picture: the interior of `frame` (its one-pixel
// outline left out) read from `picture`, stretched to the frame's full
// size. The frame is in the picture's coordinates; what lies outside the
// picture is black. Raises PlovexError when the frame has no interior
// (2 pixels or less in either direction).
QImage RegionPicture(const QImage& picture, const QRect& frame);

// Whether a frame of this size has an interior to capture.
inline bool RegionHasInterior(const QSize& size)
{
    return size.width() > 2 && size.height() > 2;
}

} // namespace plovex

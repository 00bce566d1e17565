#pragma once

#include "capture/encoders.h"

#include <QImage>
#include <QString>
#include <optional>

namespace plovex {

enum class ImageFormat { Jpeg, Gif, Bmp };

// The extension of a path as the capture commands take it: the final path
// component from its last dot on, the dot included; empty when the
// component has no dot.
QString FileExtension(const QString& path);

// The format a file extension chooses. The extension is upper-cased
// (ASCII letters only) and compared with ".JPG", ".BMP" and ".GIF"; only
// these three spellings count, so ".jpeg", ".jpe", ".png" and the empty
// extension choose nothing.
std::optional<ImageFormat> ImageFormatForExtension(const QString& extension);

// The whole file's bytes in the given format (BMP at 24 bits per pixel).
QByteArray EncodeImage(const QImage& image, ImageFormat format);

// Encodes the picture and writes it to `fileName`, replacing any file of
// that name. The old file stays whole until the new one is complete, so
// a full disk never leaves a truncated picture behind. Raises PlovexError
// ("Cannot create file "<path>". <reason>") when the file cannot be
// written, and when the picture cannot be encoded.
void WriteImageFile(const QImage& image, ImageFormat format, const QString& fileName);

// The same for a PNG file (32-bit ARGB through Qt's encoder): encoded in
// memory, then written beside the target and renamed over it, so a full
// disk leaves the old file whole and the message is the one line above.
void WritePngFile(const QImage& image, const QString& fileName);

// What SaveFrameImage does with a grabbed frame: writes `image` to
// `fileName` in the format `extension` chooses and returns true; with an
// extension that chooses nothing, writes nothing, reports nothing and
// returns false.
bool WriteImageFileByExtension(const QImage& image, const QString& extension, const QString& fileName);

} // namespace plovex

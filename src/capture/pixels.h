#pragma once

#include <QImage>

namespace plovex::capture_detail {

// The picture converted to `format` (one without alpha), with any
// transparent pixels shown as they would be over black. A grabbed frame is
// opaque; this only makes the encoders agree on pictures that are not.
QImage OpaqueCopy(const QImage& image, QImage::Format format);

} // namespace plovex::capture_detail

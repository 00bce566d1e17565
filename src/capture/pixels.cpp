#include "capture/pixels.h"

#include <QPainter>

namespace plovex::capture_detail {

QImage OpaqueCopy(const QImage& image, QImage::Format format)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(format);
    QImage over(image.size(), QImage::Format_RGB32);
    over.fill(Qt::black);
    {
        QPainter painter(&over);
        painter.drawImage(0, 0, image);
    }
    return over.convertToFormat(format);
}

} // namespace plovex::capture_detail

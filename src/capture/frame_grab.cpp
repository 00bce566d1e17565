#include "capture/frame_grab.h"

#include "capture/image_files.h"
#include "platform/errors.h"
#include "platform/safefile.h"
#include "player/shockwave_flash.h"

#include <QPainter>

namespace plovex {

QImage GrabFrame(const TShockwaveFlash& flash)
{
    // A control squeezed to nothing still gives a picture the encoders take.
    QImage image(flash.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    flash.PaintTo(painter);
    painter.end();
    return image;
}

bool SaveFrameImage(const TShockwaveFlash& flash, const QString& ext, const QString& fileName)
{
    // The extension is looked at first: an extension that chooses nothing
    // costs no grab.
    if (!ImageFormatForExtension(ext))
        return false;
    RefuseWritingOverSource(flash.Movie(), fileName);
    return WriteImageFileByExtension(GrabFrame(flash), ext, fileName);
}

QImage RegionPicture(const QImage& picture, const QRect& frame)
{
    if (!RegionHasInterior(frame.size()))
        throw PlovexError(QStringLiteral("The capture frame is too small to hold a picture"));
    // The interior, from (L + 1, T + 1) up to but not including
    // (L + W - 1, T + H - 1).
    const QRect interior = frame.adjusted(1, 1, -1, -1);
    QImage inside(interior.size(), QImage::Format_RGB32);
    inside.fill(Qt::black);
    {
        QPainter painter(&inside);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        const QRect available = interior.intersected(picture.rect());
        if (!available.isEmpty())
            painter.drawImage(available.topLeft() - interior.topLeft(), picture, available);
    }
    // Stretched pixel by pixel (nearest neighbour), as a plain stretch copy does.
    return inside.scaled(frame.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace plovex

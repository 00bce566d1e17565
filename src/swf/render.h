#pragma once

// Draws a display list onto a QImage with QPainter.

#include "swf/display.h"

#include <QImage>
#include <list>
#include <mutex>

namespace plovex::swf {

// Things worth keeping between frames: compiled morph shapes, decoded
// video frames, colour-transformed bitmaps.
class RenderCache {
public:
    const CompiledShape& morph(const MorphShapeCharacter& m, int ratio);
    QImage transformedBitmap(const BitmapCharacter& b, const ColorTransform& cx);

private:
    std::unordered_map<quint64, CompiledShape> morphs_;
    struct BitmapEntry {
        const BitmapCharacter* bitmap;
        ColorTransform cx;
        QImage image;
    };
    std::list<BitmapEntry> bitmaps_;
};

// Draws `list` into `target` (ARGB32 premultiplied). `twipsToDevice` maps
// the stage's twips to the image's pixels.
void RenderDisplayList(const Movie& movie, const std::vector<DisplayObject>& list, QImage& target,
                       const QTransform& twipsToDevice, bool antialias, RenderCache& cache);

} // namespace plovex::swf

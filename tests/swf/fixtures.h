#pragma once

// Small movies built with the writer for the engine's tests.

#include "swf/writer.h"

namespace plovex::swf::test {

// A solid rectangle shape, in pixels.
inline ShapeData RectShape(const QRectF& px, const QColor& fill)
{
    ShapeBuilder b;
    b.style(0, b.addFill(SolidFill(fill)), 0).rect(QRectF(px.x() * 20, px.y() * 20, px.width() * 20, px.height() * 20));
    return b.build();
}

// 100 x 80 pixels, 10 frames: a red square moving right by 5 px a frame,
// a sprite whose 3 frames cycle blue / green / yellow, and from frame 4 on
// a black bar that is removed again at frame 8.
inline QByteArray AnimatedMovie(Compression compression = Compression::None, int version = 10)
{
    WriterOptions o;
    o.version = version;
    o.compression = compression;
    o.frameSize = Rect{0, 100 * 20, 0, 80 * 20};
    o.frameRate = 12.5;
    SwfWriter w(o);
    w.setBackgroundColor(QColor(250, 250, 250));
    w.defineShape(1, RectShape(QRectF(0, 0, 10, 10), Qt::red));
    w.defineShape(2, RectShape(QRectF(0, 0, 20, 20), Qt::blue));
    w.defineShape(3, RectShape(QRectF(0, 0, 20, 20), Qt::green));
    w.defineShape(4, RectShape(QRectF(0, 0, 20, 20), Qt::yellow));
    w.defineShape(5, RectShape(QRectF(0, 70, 100, 5), Qt::black));
    TagStream sprite;
    for (int i = 0; i < 3; ++i) {
        PlaceObject p = PlaceNew(2 + i, 1);
        if (i > 0)
            p.move = true;
        sprite.placeObject2(p);
        sprite.showFrame();
    }
    w.defineSprite(10, sprite);
    for (int f = 0; f < 10; ++f) {
        if (f == 0) {
            w.placeObject2(PlaceNew(1, 1, Translate(0, 200)));
            w.placeObject2(PlaceNew(10, 2, Translate(1400, 200)));
        } else {
            w.placeObject2(PlaceMove(1, Translate(f * 100, 200)));
        }
        if (f == 4)
            w.placeObject2(PlaceNew(5, 3));
        if (f == 8)
            w.removeObject2(3);
        w.showFrame();
    }
    return w.finish();
}

} // namespace plovex::swf::test

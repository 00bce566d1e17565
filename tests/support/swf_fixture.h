#pragma once

// Small movies for the GUI tests, written with the engine's SWF writer: a
// stage with a background colour and a square that moves one step to the
// right on every frame, so that every frame draws a different picture; and
// projectors that carry a movie behind some program bytes.

#include "swf/writer.h"

#include <QByteArray>
#include <QColor>
#include <QRectF>
#include <QtEndian>

namespace plovex::test {

// A movie of `frames` frames, 200 x 150 pixels, at `rate` frames per second.
inline QByteArray MovingSquareSwf(int frames, double rate = 12, QColor background = QColor(255, 255, 255),
                                  QColor square = QColor(200, 20, 20))
{
    swf::WriterOptions options;
    options.version = 6;
    options.frameSize = swf::Rect{0, 200 * 20, 0, 150 * 20};
    options.frameRate = rate;
    swf::SwfWriter w(options);
    w.setBackgroundColor(background);
    swf::ShapeBuilder b;
    b.style(0, b.addFill(swf::SolidFill(square)), 0).rect(QRectF(0, 0, 400, 400));
    w.defineShape(1, b.build());
    for (int f = 0; f < frames; ++f) {
        const swf::Matrix at = swf::Translate(200 + f * 300, 1000);
        w.placeObject2(f == 0 ? swf::PlaceNew(1, 1, at) : swf::PlaceMove(1, at));
        w.showFrame();
    }
    return w.finish();
}

// A projector: program bytes, the movie, then the 8-byte trailer (magic,
// movie length, both unsigned 32-bit little-endian).
inline QByteArray Projector(const QByteArray& movie, const QByteArray& program = QByteArray(64, 'M'))
{
    QByteArray bytes = program + movie;
    char trailer[8];
    qToLittleEndian<quint32>(0xFA123456u, trailer);
    qToLittleEndian<quint32>(quint32(movie.size()), trailer + 4);
    bytes.append(trailer, 8);
    return bytes;
}

} // namespace plovex::test

#pragma once

// Small movies that declare huge sizes or repeat things without end, built
// with the writer. Each stands for a class of hostile files; the
// parameters make the large versions the tests run and the small ones the
// fuzzers start from.

#include "swf/fixtures.h"

#include <QBuffer>
#include <QImageWriter>

namespace plovex::swf::test {

// A stage `side` twips wide and high with one small red square.
inline QByteArray HugeStageMovie(int sideTwips)
{
    WriterOptions o;
    o.frameSize = Rect{0, sideTwips, 0, sideTwips};
    SwfWriter w(o);
    w.defineShape(1, RectShape(QRectF(0, 0, 10, 10), Qt::red));
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    return w.finish();
}

// A DefineFont2 with `glyphs` glyphs whose offsets take turns pointing at
// the start of the outline data and at its end, so that every other glyph
// would span all the outlines of the font; the data holds `records`
// straight edges without an end record. Then a text that uses the font.
inline QByteArray OverlappingGlyphsMovie(int glyphs, int records)
{
    BitWriter outlines;
    outlines.ub(1, 4); // one fill bit
    outlines.ub(0, 4); // no line bits
    for (int i = 0; i < records; ++i) {
        // A straight edge: type 1, straight 1, 6-bit deltas, general line.
        outlines.ub(1, 1);
        outlines.ub(1, 1);
        outlines.ub(4, 4);
        outlines.ub(1, 1);
        outlines.sb(20, 6);
        outlines.sb(i % 2 ? -20 : 20, 6);
    }
    outlines.align();
    const QByteArray data = outlines.data();
    BitWriter b;
    b.u16(1);       // id
    b.u8(0x08);     // wide offsets
    b.u8(0);        // language
    b.u8(1);
    b.u8('F');
    b.u16(uint16_t(glyphs));
    const uint32_t table = uint32_t(glyphs) * 4 + 4;
    for (int i = 0; i < glyphs; ++i)
        b.u32(i % 2 ? table + uint32_t(data.size()) : table + uint32_t(i / 2 % std::max<qsizetype>(1, data.size())));
    b.u32(table + uint32_t(data.size())); // code table offset
    b.bytes(data);
    for (int i = 0; i < glyphs; ++i)
        b.u8(uint8_t('A' + i % 26));
    SwfWriter w;
    w.tag(kDefineFont2, b.data());
    w.showFrame();
    return w.finish();
}

// Sprites `levels` deep, each placing the one below `fanOut` times; the
// lowest places a square. Compressed: the file stays small.
inline QByteArray SpriteFanOutMovie(int levels, int fanOut)
{
    SwfWriter w({.compression = Compression::Zlib});
    w.defineShape(1, RectShape(QRectF(0, 0, 2, 2), Qt::blue));
    int below = 1;
    for (int level = 0; level < levels; ++level) {
        TagStream s;
        for (int i = 0; i < fanOut; ++i)
            s.placeObject2(PlaceNew(below, i + 1, Translate(i % 50 * 20, i / 50 * 20)));
        s.showFrame();
        w.defineSprite(10 + level, s);
        below = 10 + level;
    }
    w.placeObject2(PlaceNew(below, 1));
    w.showFrame();
    return w.finish();
}

// `frames` empty frames, compressed.
inline QByteArray ManyFramesMovie(int frames)
{
    SwfWriter w({.compression = Compression::Zlib});
    for (int i = 0; i < frames; ++i)
        w.showFrame();
    return w.finish();
}

// One frame that moves one square `placements` times, compressed.
inline QByteArray ManyPlacementsMovie(int placements)
{
    SwfWriter w({.compression = Compression::Zlib});
    w.defineShape(1, RectShape(QRectF(0, 0, 10, 10), Qt::red));
    w.placeObject2(PlaceNew(1, 1));
    for (int i = 0; i < placements; ++i)
        w.placeObject2(PlaceMove(1, Translate(i % 100, 0)));
    w.showFrame();
    return w.finish();
}

// `count` copies of a filter on one square.
inline QByteArray ManyFiltersMovie(const Filter& filter, int count)
{
    SwfWriter w({.compression = Compression::Zlib});
    w.defineShape(1, RectShape(QRectF(100, 100, 50, 50), Qt::red));
    PlaceObject p = PlaceNew(1, 1);
    p.version = 3;
    p.filters = std::vector<Filter>(size_t(count), filter);
    w.placeObject2(p);
    w.showFrame();
    return w.finish();
}

inline Filter BigBlur()
{
    Filter f;
    f.type = Filter::Blur;
    f.blurX = f.blurY = 255;
    f.passes = 15;
    return f;
}

inline Filter BigConvolution(int side)
{
    Filter f;
    f.type = Filter::Convolution;
    f.matrixX = f.matrixY = side;
    f.matrix.assign(size_t(side) * size_t(side), 1.0);
    f.divisor = double(side) * side;
    return f;
}

// A progressive JPEG whose scans are repeated until there are `scans` of
// them (each repeat refines nothing, but a decoder still works through
// it), as a DefineBitsJPEG2 shown on the stage.
inline QByteArray ManyScansJpegMovie(int scans)
{
    QImage img(64, 64, QImage::Format_RGB32);
    img.fill(Qt::green);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        writer.write(img);
    }
    // Repeat the last scan (from its SOS marker up to the EOI marker).
    const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
    const qsizetype end = jpeg.lastIndexOf("\xff\xd9");
    if (lastScan > 0 && end > lastScan) {
        const QByteArray scan = jpeg.mid(lastScan, end - lastScan);
        int have = 0;
        for (qsizetype i = jpeg.indexOf("\xff\xda"); i >= 0; i = jpeg.indexOf("\xff\xda", i + 1))
            ++have;
        QByteArray more;
        for (int i = have; i < scans; ++i)
            more += scan;
        jpeg.insert(end, more);
    }
    SwfWriter w({.frameSize = Rect{0, 64 * 20, 0, 64 * 20}});
    w.defineBitsJpeg2(1, jpeg);
    ShapeBuilder b;
    b.style(0, b.addFill(BitmapFill(1, Matrix{20, 0, 0, 20, 0, 0})), 0).rect(QRectF(0, 0, 64 * 20, 64 * 20));
    w.defineShape(2, b.build());
    w.placeObject2(PlaceNew(2, 1));
    w.showFrame();
    return w.finish();
}

} // namespace plovex::swf::test

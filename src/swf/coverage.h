#pragma once

// The antialiased (high quality) filler. Polygons in device pixels are
// swept row by row; each pixel is covered by the share of its area that
// lies inside under the fill rule (exact area, 256 levels, as QPainter's
// antialiased fill measures it), and the fill is laid over the picture
// source-over, on the covered pixels only. Colours come from one solid
// colour or from a `SpanSource` that works out just the pixels a row needs,
// so a gradient or bitmap fill costs what the shape covers, not its
// bounding box.

#include <QImage>
#include <QPointF>
#include <QRect>

#include <vector>

namespace plovex::swf {

// A run of pixels on one row covered alike: x .. x + length - 1, coverage
// 1..255 (255: fully covered).
struct CoverageSpan {
    int x, length, coverage;
};

// The covered runs of every row of `clip` the polygons reach, in device
// pixels, row after row, each row's runs left to right. Used by the filler
// below and by tests.
struct CoverageRow {
    int y;
    std::vector<CoverageSpan> spans;
};
std::vector<CoverageRow> CoverPolygons(const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule,
                                       const QRect& clip);

// Premultiplied colours for a run of pixels of one row.
class SpanSource {
public:
    virtual ~SpanSource() = default;
    // Writes the colours of pixels (x, y) .. (x + length - 1, y) to `out`.
    virtual void fetch(QRgb* out, int x, int y, int length) = 0;
};

// Fills the polygons (device pixels) into `target` (ARGB32 premultiplied)
// within `clip`, source-over: with the premultiplied colour `solid`, or
// with the colours of `source` when it is given.
void FillPolygonsAntialiased(QImage& target, const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule,
                             const QRect& clip, QRgb solid, SpanSource* source = nullptr);

// Fills whole pixels (the aliased rasterizer's spans, raster.h) the same
// way, fully covered.
struct Span;
void FillSpans(QImage& target, const std::vector<Span>& spans, QRgb solid, SpanSource* source = nullptr);

} // namespace plovex::swf

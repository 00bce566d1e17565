#pragma once

// The aliased (low quality) rasterizer. The reference pictures of low
// quality come from shapes whose curves were cut into straight pieces in
// the shape's own coordinates, with corners placed on the device to 1/256
// of a pixel, then filled by pixel centres: a pixel is filled when its
// centre lies inside, and a centre lying exactly on an edge belongs to the
// area right of or below that edge. QPainter's aliased fill rounds corners
// to 1/64 pixel and flattens curves on the device, so it gets pixels near
// edges wrong; this one decides them exactly.

#include <QBrush>
#include <QPainterPath>
#include <QTransform>
#include <vector>

class QPainter;

namespace plovex::swf {

// How finely curves are cut, in the path's own units: a tenth of a pixel
// of the shape's own space, i.e. 2 twips.
inline constexpr double kCurveTolerance = 2.0;

// One row's run of filled pixels, x0 inclusive, x1 exclusive.
struct Span {
    int y, x0, x1;
};

// The path's contours as closed polygons in device coordinates: curves are
// cut into straight pieces within `tolerance` (in the path's own units)
// before `toDevice` maps them. Quadratic curves are cut at spacings that
// follow their curvature; other cubic curves into even steps.
std::vector<std::vector<QPointF>> FlattenPath(const QPainterPath& path, const QTransform& toDevice,
                                              double tolerance);

// The same as a path of straight lines, each contour left open as it was.
QPainterPath FlattenToLines(const QPainterPath& path, const QTransform& toDevice, double tolerance);

// The pixels whose centres lie inside the polygons (corners taken to the
// nearest 1/256 pixel) under the fill rule, within clip (device pixels).
// Spans come row by row, left to right.
std::vector<Span> RasterizePolygons(const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule,
                                    const QRect& clip);

// Fills the path (in its own units, mapped to the device by toDevice) with
// the brush by the pixel-centre rule. The brush is given in the path's own
// units, as it would be with toDevice as the painter's transform. The
// painter is left with the identity transform.
void FillPathAliased(QPainter& p, const QPainterPath& path, const QTransform& toDevice, const QBrush& brush,
                     double tolerance = kCurveTolerance);

} // namespace plovex::swf

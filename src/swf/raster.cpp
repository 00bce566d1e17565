#include "swf/raster.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace plovex::swf {

namespace {

// No curve is cut into more pieces than this, whatever its size.
constexpr int kMaxPieces = 4096;

bool finite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

double cross(const QPointF& a, const QPointF& b)
{
    return a.x() * b.y() - a.y() * b.x();
}

double dot(const QPointF& a, const QPointF& b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// A quadratic curve is cut where pieces of equal flatness meet: the curve
// is seen as a stretch of the parabola y = x^2, along which the number of
// pieces a given tolerance needs grows as the integral of
// (1 + 4x^2)^(-1/4); both that integral and its inverse are taken in a
// closed-form approximation. Returns the curve parameters of the cuts,
// ending with 1.
void quadCuts(const QPointF& p0, const QPointF& c, const QPointF& p2, double tolerance, std::vector<double>& out)
{
    out.clear();
    const QPointF chord = p2 - p0;
    const double chordLength2 = dot(chord, chord);
    // Nearly straight: one piece. (The control point lies within twice the
    // tolerance of the chord, so the curve lies within the tolerance.)
    if (chordLength2 == 0 || std::pow(cross(c - p0, chord), 2) / chordLength2 <= 4 * tolerance * tolerance) {
        out.push_back(1);
        return;
    }
    auto integral = [](double x) {
        constexpr double d = 0.67;
        return x / (1 - d + std::sqrt(std::sqrt(d * d * d * d + 0.25 * x * x)));
    };
    auto inverseIntegral = [](double x) {
        constexpr double b = 0.39;
        return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
    };
    const QPointF dd = 2 * c - p0 - p2;
    const double turn = cross(chord, dd);
    const double x0 = dot(c - p0, dd) / turn;
    const double x2 = dot(p2 - c, dd) / turn;
    const double scale = std::abs(turn) / (std::sqrt(dot(dd, dd)) * std::abs(x2 - x0));
    const double a0 = integral(x0), a2 = integral(x2);
    const double u0 = inverseIntegral(a0), u2 = inverseIntegral(a2);
    const double pieces = std::ceil(0.5 * std::abs(a2 - a0) * std::sqrt(scale / tolerance));
    if (!std::isfinite(pieces) || pieces <= 1 || u2 == u0) {
        out.push_back(1);
        return;
    }
    const int n = int(std::min<double>(pieces, kMaxPieces));
    for (int i = 1; i < n; ++i) {
        const double u = inverseIntegral(a0 + (a2 - a0) * i / n);
        out.push_back((u - u0) / (u2 - u0));
    }
    out.push_back(1);
}

// Other cubic curves come from round joins and caps: arcs of a circle,
// cut into even steps whose chords stay within the tolerance of the arc.
// A curve that is no such arc gets as many even steps as its bend asks for.
int cubicPieces(const QPointF& p0, const QPointF& c1, const QPointF& c2, const QPointF& p3, double tolerance)
{
    const QPointF t0 = c1 - p0, t1 = p3 - c2;
    const double l0 = std::sqrt(dot(t0, t0)), l1 = std::sqrt(dot(t1, t1));
    const double chord = std::sqrt(dot(p3 - p0, p3 - p0));
    double pieces = NAN;
    if (l0 > 0 && l1 > 0 && chord > 0) {
        const double angle = std::acos(std::clamp(dot(t0, t1) / (l0 * l1), -1.0, 1.0));
        const double radius = chord / (2 * std::sin(angle / 2));
        if (angle > 1e-6 && std::isfinite(radius)) {
            const double step = tolerance < radius ? 2 * std::acos(1 - tolerance / radius) : angle;
            pieces = std::ceil(angle / step);
        }
    }
    if (!std::isfinite(pieces)) {
        const QPointF d1 = p0 - 2 * c1 + c2, d2 = c1 - 2 * c2 + p3;
        const double bend = std::sqrt(std::max(dot(d1, d1), dot(d2, d2)));
        pieces = std::ceil(std::sqrt(0.75 * bend / tolerance));
    }
    return std::isfinite(pieces) ? std::clamp(int(std::min<double>(pieces, kMaxPieces)), 1, kMaxPieces) : 1;
}

QPointF quadAt(const QPointF& p0, const QPointF& c, const QPointF& p2, double t)
{
    const double s = 1 - t;
    return s * s * p0 + 2 * s * t * c + t * t * p2;
}

QPointF cubicAt(const QPointF& p0, const QPointF& c1, const QPointF& c2, const QPointF& p3, double t)
{
    const double s = 1 - t;
    return s * s * s * p0 + 3 * s * s * t * c1 + 3 * s * t * t * c2 + t * t * t * p3;
}

} // namespace

std::vector<std::vector<QPointF>> FlattenPath(const QPainterPath& path, const QTransform& toDevice,
                                              double tolerance)
{
    std::vector<std::vector<QPointF>> polygons;
    std::vector<double> cuts;
    QPointF at;   // the current point, in the path's units
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF to(e.x, e.y);
        if (e.type == QPainterPath::MoveToElement || polygons.empty()) {
            polygons.emplace_back();
            if (e.type != QPainterPath::MoveToElement)
                polygons.back().push_back(toDevice.map(at));
        }
        std::vector<QPointF>& poly = polygons.back();
        if (e.type == QPainterPath::CurveToElement && i + 2 < count) {
            const QPointF c1 = to;
            const QPointF c2(path.elementAt(i + 1).x, path.elementAt(i + 1).y);
            const QPointF p3(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            i += 2;
            // QPainterPath keeps quadratic curves raised to cubic ones;
            // such a curve's two control points lead back to the one.
            const QPointF q1 = at + 1.5 * (c1 - at), q2 = p3 + 1.5 * (c2 - p3);
            const double size = std::max({std::abs(q1.x()), std::abs(q1.y()), std::abs(at.x()), std::abs(p3.x()), 1.0});
            if (std::abs(q1.x() - q2.x()) + std::abs(q1.y() - q2.y()) <= 1e-9 * size) {
                const QPointF q = (q1 + q2) / 2;
                quadCuts(at, q, p3, tolerance, cuts);
                for (double t : cuts)
                    poly.push_back(toDevice.map(t >= 1 ? p3 : quadAt(at, q, p3, t)));
            } else {
                const int n = cubicPieces(at, c1, c2, p3, tolerance);
                for (int k = 1; k <= n; ++k)
                    poly.push_back(toDevice.map(k == n ? p3 : cubicAt(at, c1, c2, p3, double(k) / n)));
            }
            at = p3;
            continue;
        }
        poly.push_back(toDevice.map(to));
        at = to;
    }
    return polygons;
}

QPainterPath FlattenToLines(const QPainterPath& path, const QTransform& toDevice, double tolerance)
{
    QPainterPath lines;
    lines.setFillRule(path.fillRule());
    for (const std::vector<QPointF>& poly : FlattenPath(path, toDevice, tolerance)) {
        if (poly.empty())
            continue;
        lines.moveTo(poly.front());
        for (size_t i = 1; i < poly.size(); ++i)
            lines.lineTo(poly[i]);
    }
    return lines;
}

std::vector<Span> RasterizePolygons(const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule,
                                    const QRect& clip)
{
    // Corners are held in 1/256 pixel; from there on everything is whole
    // numbers, so which side of an edge a pixel centre lies on is decided
    // exactly, ties included.
    using Wide = __int128;
    constexpr qint64 kSub = 256, kHalf = kSub / 2;
    static constexpr double kFar = 2147483648.0;   // corners further off than 2^31 pixels are pulled in
    auto fixed = [](double v) { return qint64(std::nearbyint(std::clamp(v, -kFar, kFar) * kSub)); };
    // The first pixel whose centre lies at or right of x / d (in 1/256).
    auto firstCentreFrom = [](Wide n, Wide d) {
        Wide num = n - kHalf * d, den = kSub * d;
        Wide q = num / den;
        if (num % den != 0 && num > 0)
            ++q;
        return q;
    };
    struct EdgeRec {
        qint64 x0, y0, x1, y1;
        int firstRow, lastRow;   // rows whose centres it crosses
        int dir;
    };
    std::vector<EdgeRec> edges;
    std::vector<Span> spans;
    if (clip.isEmpty())
        return spans;
    for (const auto& poly : polygons) {
        const size_t n = poly.size();
        for (size_t i = 0; i < n && n >= 2; ++i) {
            const QPointF& pa = poly[i];
            const QPointF& pb = poly[(i + 1) % n];
            if (!finite(pa) || !finite(pb))
                continue;
            qint64 ax = fixed(pa.x()), ay = fixed(pa.y()), bx = fixed(pb.x()), by = fixed(pb.y());
            if (ay == by)
                continue;
            int dir = 1;
            if (ay > by) {
                std::swap(ax, bx);
                std::swap(ay, by);
                dir = -1;
            }
            // Rows r whose centre 256 r + 128 lies in [ay, by).
            const qint64 first = std::max<qint64>(firstCentreFrom(ay, 1), clip.top());
            const qint64 last = std::min<qint64>(firstCentreFrom(by, 1) - 1, clip.bottom());
            if (first > last)
                continue;
            edges.push_back({ax, ay, bx, by, int(first), int(last), dir});
        }
    }
    if (edges.empty())
        return spans;
    std::sort(edges.begin(), edges.end(), [](const EdgeRec& l, const EdgeRec& r) { return l.firstRow < r.firstRow; });

    struct Crossing {
        qint64 column;   // the first pixel whose centre lies at or right of the edge
        int dir;
    };
    std::vector<size_t> active;
    std::vector<Crossing> crossings;
    size_t next = 0;
    const qint64 colEnd = qint64(clip.right()) + 1;
    for (int row = edges.front().firstRow; row <= clip.bottom(); ++row) {
        while (next < edges.size() && edges[next].firstRow <= row)
            active.push_back(next++);
        active.erase(std::remove_if(active.begin(), active.end(), [&](size_t k) { return edges[k].lastRow < row; }),
                     active.end());
        if (active.empty()) {
            if (next == edges.size())
                break;
            row = edges[next].firstRow - 1;
            continue;
        }
        const qint64 cy = qint64(row) * kSub + kHalf;
        crossings.clear();
        for (size_t k : active) {
            const EdgeRec& e = edges[k];
            // The edge meets the row at x = x0 + (cy - y0)(x1 - x0) / (y1 - y0).
            const Wide d = e.y1 - e.y0;
            const Wide x = Wide(e.x0) * d + Wide(cy - e.y0) * (e.x1 - e.x0);
            const Wide column = firstCentreFrom(x, d);
            crossings.push_back({qint64(std::clamp<Wide>(column, clip.left(), colEnd)), e.dir});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& l, const Crossing& r) { return l.column < r.column; });
        int winding = 0;
        for (size_t k = 0; k + 1 < crossings.size(); ++k) {
            winding += rule == Qt::WindingFill ? crossings[k].dir : 1;
            const bool inside = rule == Qt::WindingFill ? winding != 0 : (winding & 1) != 0;
            const qint64 from = crossings[k].column, to = crossings[k + 1].column;
            if (!inside || from >= to)
                continue;
            if (!spans.empty() && spans.back().y == row && spans.back().x1 >= from)
                spans.back().x1 = std::max<int>(spans.back().x1, int(to));
            else
                spans.push_back({row, int(from), int(to)});
        }
    }
    return spans;
}

void FillPathAliased(QPainter& p, const QPainterPath& path, const QTransform& toDevice, const QBrush& brush,
                     double tolerance)
{
    const QPaintDevice* device = p.device();
    if (!device || path.isEmpty() || brush.style() == Qt::NoBrush)
        return;
    const std::vector<Span> spans =
        RasterizePolygons(FlattenPath(path, toDevice, tolerance), path.fillRule(),
                          QRect(0, 0, device->width(), device->height()));
    p.resetTransform();
    if (spans.empty())
        return;
    QBrush b = brush;
    if (b.style() != Qt::SolidPattern)
        b.setTransform(brush.transform() * toDevice);
    p.setPen(Qt::NoPen);
    p.setBrush(b);
    std::vector<QRect> rects;
    rects.reserve(spans.size());
    for (const Span& s : spans)
        rects.emplace_back(s.x0, s.y, s.x1 - s.x0, 1);
    p.drawRects(rects.data(), int(rects.size()));
}

} // namespace plovex::swf

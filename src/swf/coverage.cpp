#include "swf/coverage.h"

#include "swf/raster.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plovex::swf {

namespace {

// Corners further off than this many pixels are pulled in; beyond it a
// double still holds a pixel's fraction well.
constexpr double kFar = 16777216.0;

struct Edge {
    double x0, y0, x1, y1;   // y0 < y1
    double dxdy;
    double dir;              // +1 going down, -1 going up
};

// Sweeps polygons row by row. Each row gathers, per pixel (cell), the
// height of edge pieces crossing it (cover, signed by direction) and that
// height weighted by where in the cell the pieces lie (area); a pixel's
// signed coverage is the cover of everything left of it plus the part of
// its own cell right of its edges.
class Sweep {
public:
    Sweep(const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule, const QRect& clip)
        : rule_(rule), clip_(clip)
    {
        if (clip.isEmpty())
            return;
        double left = kFar, right = -kFar;
        for (const auto& poly : polygons) {
            const size_t n = poly.size();
            for (size_t i = 0; i < n && n >= 2; ++i) {
                const QPointF& a = poly[i];
                const QPointF& b = poly[(i + 1) % n];
                if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y()))
                    continue;
                const double ax = std::clamp(a.x(), -kFar, kFar), ay = std::clamp(a.y(), -kFar, kFar);
                const double bx = std::clamp(b.x(), -kFar, kFar), by = std::clamp(b.y(), -kFar, kFar);
                if (ay == by)
                    continue;
                Edge e = ay < by ? Edge{ax, ay, bx, by, 0, 1} : Edge{bx, by, ax, ay, 0, -1};
                if (e.y1 <= clip.top() || e.y0 >= clip.bottom() + 1)
                    continue;
                e.dxdy = (e.x1 - e.x0) / (e.y1 - e.y0);
                edges_.push_back(e);
                left = std::min({left, ax, bx});
                right = std::max({right, ax, bx});
            }
        }
        // Rows are swept only across the columns the polygons reach.
        if (edges_.empty())
            return;
        clip_ &= QRect(QPoint(int(std::floor(left)), clip.top()), QPoint(int(std::ceil(right)), clip.bottom()));
        if (clip_.isEmpty()) {
            edges_.clear();
            return;
        }
        std::sort(edges_.begin(), edges_.end(), [](const Edge& l, const Edge& r) { return l.y0 < r.y0; });
        width_ = clip_.width();
        cover_.assign(size_t(width_) + 1, 0.0);
        area_.assign(size_t(width_) + 1, 0.0);
        touchedFlag_.assign(size_t(width_) + 1, 0);
    }

    // Calls row(y, spans) for every row with covered pixels.
    template <class RowFn>
    void run(RowFn&& row)
    {
        if (edges_.empty())
            return;
        std::vector<const Edge*> active;
        std::vector<CoverageSpan> spans;
        size_t next = 0;
        const int bottom = clip_.bottom();
        int y = std::max(clip_.top(), int(std::floor(edges_.front().y0)));
        for (; y <= bottom; ++y) {
            while (next < edges_.size() && edges_[next].y0 < y + 1)
                active.push_back(&edges_[next++]);
            active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge* e) { return e->y1 <= y; }),
                         active.end());
            if (active.empty()) {
                if (next == edges_.size())
                    break;
                y = std::max(y, int(std::floor(edges_[next].y0)) - 1);
                continue;
            }
            for (const Edge* e : active) {
                const double ya = std::max(e->y0, double(y)), yb = std::min(e->y1, double(y + 1));
                if (yb <= ya)
                    continue;
                const double xa = e->x0 + (ya - e->y0) * e->dxdy;
                const double xb = e->x0 + (yb - e->y0) * e->dxdy;
                addPiece(xa - clip_.left(), xb - clip_.left(), e->dir * (yb - ya));
            }
            spans.clear();
            collect(spans);
            if (!spans.empty())
                row(y, spans);
        }
    }

private:
    void touch(int c)
    {
        if (!touchedFlag_[size_t(c)]) {
            touchedFlag_[size_t(c)] = 1;
            touched_.push_back(c);
        }
    }

    // A piece of edge from x = ua to x = ub (relative to the clip's left)
    // that rises or falls by h within the row.
    void addPiece(double ua, double ub, double h)
    {
        double lo = std::min(ua, ub), hi = std::max(ua, ub);
        const double w = double(width_);
        if (lo >= w)
            return;   // right of everything drawn
        if (hi <= 0) {
            touch(0);
            cover_[0] += h;   // left of everything: covers whole cells
            return;
        }
        const double span = hi - lo;
        if (span < 1e-12) {
            const int c = std::min(int(lo), width_);
            touch(c);
            cover_[size_t(c)] += h;
            area_[size_t(c)] += h * 2 * (lo - c);
            return;
        }
        const double perX = h / span;
        if (lo < 0) {
            touch(0);
            cover_[0] += perX * -lo;
            lo = 0;
        }
        hi = std::min(hi, w);
        int c = int(lo);
        double x = lo;
        while (x < hi) {
            const double nx = std::min(double(c + 1), hi);
            const double share = perX * (nx - x);
            touch(c);
            cover_[size_t(c)] += share;
            area_[size_t(c)] += share * ((x - c) + (nx - c));
            x = nx;
            ++c;
        }
    }

    // 0..255 from a signed coverage in pixels' areas.
    int level(double v) const
    {
        // Windings beyond a million are taken as a million.
        const int a = int(std::min(std::abs(v), 1e6) * 256 + 1e-6);
        if (rule_ == Qt::OddEvenFill) {
            const int m = a & 511;
            return std::min(255, m > 256 ? 512 - m : m);
        }
        return std::min(255, a);
    }

    void put(std::vector<CoverageSpan>& out, int x, int length, int coverage) const
    {
        if (coverage <= 0 || length <= 0)
            return;
        x += clip_.left();
        if (!out.empty() && out.back().coverage == coverage && out.back().x + out.back().length == x)
            out.back().length += length;
        else
            out.push_back({x, length, coverage});
    }

    void collect(std::vector<CoverageSpan>& out)
    {
        // Few cells are sorted; many are found by looking along the row.
        if (touched_.size() > 64) {
            const auto [lo, hi] = std::minmax_element(touched_.begin(), touched_.end());
            const int first = *lo, last = *hi;
            touched_.clear();
            for (int c = first; c <= last; ++c)
                if (touchedFlag_[size_t(c)])
                    touched_.push_back(c);
        } else {
            std::sort(touched_.begin(), touched_.end());
        }
        double acc = 0;
        int from = touched_.empty() ? 0 : touched_.front();
        for (int c : touched_) {
            if (c > from)
                put(out, from, c - from, level(acc));
            if (c < width_)
                put(out, c, 1, level(acc + cover_[size_t(c)] - area_[size_t(c)] / 2));
            acc += cover_[size_t(c)];
            cover_[size_t(c)] = area_[size_t(c)] = 0;
            touchedFlag_[size_t(c)] = 0;
            from = c + 1;
        }
        if (from < width_)
            put(out, from, width_ - from, level(acc));
        touched_.clear();
    }

    Qt::FillRule rule_;
    QRect clip_;
    int width_ = 0;
    std::vector<Edge> edges_;
    std::vector<double> cover_, area_;
    std::vector<unsigned char> touchedFlag_;
    std::vector<int> touched_;
};

// x * a / 255 for the four channels at once, rounded.
inline quint32 byteMul(quint32 x, quint32 a)
{
    quint32 t = (x & 0xff00ffu) * a;
    t = (t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8;
    t &= 0xff00ffu;
    x = ((x >> 8) & 0xff00ffu) * a;
    x = x + ((x >> 8) & 0xff00ffu) + 0x800080u;
    x &= 0xff00ff00u;
    return x | t;
}

// d = c + d * inv / 255 along a run, as byteMul rounds; four pixels at a
// time where the processor can.
void blendSolid(quint32* d, int n, quint32 c, quint32 inv)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_set1_epi16(short(inv));
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i colour = _mm_set1_epi32(int(c));
    auto scale = [&](__m128i x) {
        const __m128i t = _mm_mullo_epi16(x, a);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
    };
    for (; i + 4 <= n; i += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i lo = scale(_mm_unpacklo_epi8(px, zero)), hi = scale(_mm_unpackhi_epi8(px, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_add_epi8(_mm_packus_epi16(lo, hi), colour));
    }
#endif
    for (; i < n; ++i)
        d[i] = c + byteMul(d[i], inv);
}

// Source-over of a premultiplied colour onto one pixel.
inline quint32 over(quint32 d, quint32 s)
{
    const quint32 a = s >> 24;
    if (a == 255)
        return s;
    if (s == 0)
        return d;
    return s + byteMul(d, 255 - a);
}

// Lays a run of one row's pixels, all covered alike, source-over.
void blendRun(quint32* line, int x, int y, int length, quint32 cov, QRgb solid, SpanSource* source,
              std::vector<QRgb>& colours)
{
    quint32* d = line + x;
    if (!source) {
        const quint32 c = cov == 255 ? solid : byteMul(solid, cov);
        if (c >> 24 == 255)
            std::fill_n(d, length, c);
        else
            blendSolid(d, length, c, 255 - (c >> 24));
        return;
    }
    if (colours.size() < size_t(length))
        colours.resize(size_t(length));
    source->fetch(colours.data(), x, y, length);
    if (cov == 255) {
        for (int i = 0; i < length; ++i)
            d[i] = over(d[i], colours[size_t(i)]);
    } else {
        for (int i = 0; i < length; ++i)
            d[i] = over(d[i], byteMul(colours[size_t(i)], cov));
    }
}

} // namespace

std::vector<CoverageRow> CoverPolygons(const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule,
                                       const QRect& clip)
{
    std::vector<CoverageRow> rows;
    Sweep sweep(polygons, rule, clip);
    sweep.run([&](int y, const std::vector<CoverageSpan>& spans) { rows.push_back({y, spans}); });
    return rows;
}

void FillPolygonsAntialiased(QImage& target, const std::vector<std::vector<QPointF>>& polygons, Qt::FillRule rule,
                             const QRect& clip, QRgb solid, SpanSource* source)
{
    if (target.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    const QRect r = clip & target.rect();
    if (r.isEmpty() || (!source && solid == 0))
        return;
    std::vector<QRgb> colours;
    Sweep sweep(polygons, rule, r);
    sweep.run([&](int y, const std::vector<CoverageSpan>& spans) {
        auto* line = reinterpret_cast<quint32*>(target.scanLine(y));
        for (const CoverageSpan& s : spans)
            blendRun(line, s.x, y, s.length, quint32(s.coverage), solid, source, colours);
    });
}

void FillSpans(QImage& target, const std::vector<Span>& spans, QRgb solid, SpanSource* source)
{
    if (target.format() != QImage::Format_ARGB32_Premultiplied || (!source && solid == 0))
        return;
    std::vector<QRgb> colours;
    const QRect all = target.rect();
    for (const Span& s : spans) {
        const int x0 = std::max(s.x0, all.left()), x1 = std::min(s.x1, all.right() + 1);
        if (s.y < all.top() || s.y > all.bottom() || x0 >= x1)
            continue;
        blendRun(reinterpret_cast<quint32*>(target.scanLine(s.y)), x0, s.y, x1 - x0, 255, solid, source, colours);
    }
}

} // namespace plovex::swf

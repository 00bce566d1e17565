#include "swf/render.h"

#include "swf/coverage.h"
#include "swf/raster.h"

#include "swf/filters.h"

#include <QFont>
#include <QHash>
#include <QGuiApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <span>

namespace plovex::swf {

// --- Cache ------------------------------------------------------------------

const CompiledShape& RenderCache::morph(const MorphShapeCharacter& m, int ratio)
{
    const quint64 key = (quint64(quint32(m.id)) << 32) | quint32(ratio);
    auto it = morphs_.find(key);
    if (it != morphs_.end())
        return it->second;
    if (morphs_.size() > 512)
        morphs_.clear();
    return morphs_.emplace(key, CompileShape(m.at(ratio))).first->second;
}

QImage RenderCache::transformedBitmap(const BitmapCharacter& b, const ColorTransform& cx)
{
    if (cx.isIdentity() || b.image.isNull())
        return b.image;
    for (auto it = bitmaps_.begin(); it != bitmaps_.end(); ++it)
        if (it->bitmap == &b && it->cx == cx) {
            bitmaps_.splice(bitmaps_.begin(), bitmaps_, it);
            return it->image;
        }
    QImage img(b.image.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < img.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(b.image.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            dst[x] = qPremultiply(cx.apply(qUnpremultiply(src[x])));
    }
    bitmaps_.push_front(BitmapEntry{&b, cx, img});
    if (bitmaps_.size() > 32)
        bitmaps_.pop_back();
    return img;
}

QImage RenderCache::videoPicture(const VideoCharacter& v, int frame)
{
    auto& decoder = videos_[&v];
    if (!decoder)
        decoder = std::make_unique<VideoDecoder>(v);
    return decoder->picture(frame);
}

size_t RenderCache::KeyHash::operator()(const ShapeKey& k) const
{
    size_t h = std::hash<const void*>()(k.shape);
    for (double v : {k.m11, k.m12, k.m21, k.m22, k.fx, k.fy, k.cx.rm, k.cx.gm, k.cx.bm, k.cx.am, k.cx.ra, k.cx.ga,
                     k.cx.ba, k.cx.aa})
        h = h * 1000003u ^ std::hash<double>()(v);
    return h ^ size_t(k.aa) ^ (size_t(k.fillsOnly) << 1) ^ (size_t(k.ownFiller) << 2);
}

const QImage* RenderCache::findFiltered(const FilterKey& key)
{
    for (auto it = filtered_.begin(); it != filtered_.end(); ++it)
        if (it->first == key) {
            filtered_.splice(filtered_.begin(), filtered_, it);
            return &filtered_.front().second;
        }
    return nullptr;
}

void RenderCache::storeFiltered(const FilterKey& key, const QImage& image)
{
    filtered_.emplace_front(key, image);
    if (filtered_.size() > 48)
        filtered_.pop_back();
}

static quint64 hashImage(const QImage& img)
{
    // FNV-1a style mixing of 64-bit words (two pixels) in four independent
    // lanes, so that the multiplications overlap; the lanes fold at the end.
    constexpr quint64 prime = 1099511628211ull;
    quint64 h[4] = {1469598103934665603ull, 0x9e3779b97f4a7c15ull, 0xc2b2ae3d27d4eb4full, 0x165667b19e3779f9ull};
    const int w = img.width(), rows = img.height();
    const qsizetype stride = img.bytesPerLine();
    const uchar* bits = img.constBits();
    for (int y = 0; y < rows; ++y) {
        const auto* line = reinterpret_cast<const quint32*>(bits + y * stride);
        int x = 0;
        for (; x + 7 < w; x += 8)
            for (int k = 0; k < 4; ++k)
                h[k] = (h[k] ^ (quint64(line[x + 2 * k]) | quint64(line[x + 2 * k + 1]) << 32)) * prime;
        for (; x < w; ++x)
            h[0] = (h[0] ^ line[x]) * prime;
    }
    return ((h[0] * prime ^ h[1]) * prime ^ h[2]) * prime ^ h[3];
}

const RenderCache::ShapePicture* RenderCache::findShape(const ShapeKey& key)
{
    const auto it = shapeIndex_.find(key);
    if (it == shapeIndex_.end())
        return nullptr;
    shapes_.splice(shapes_.begin(), shapes_, it->second);
    return &it->second->second;
}

const RenderCache::ShapePicture& RenderCache::storeShape(const ShapeKey& key, ShapePicture picture)
{
    constexpr qint64 kBudget = 192ll * 1024 * 1024;
    shapeBytes_ += picture.image.sizeInBytes();
    shapes_.emplace_front(key, std::move(picture));
    shapeIndex_[key] = shapes_.begin();
    while (shapeBytes_ > kBudget && shapes_.size() > 1) {
        shapeBytes_ -= shapes_.back().second.image.sizeInBytes();
        shapeIndex_.erase(shapes_.back().first);
        shapes_.pop_back();
    }
    return shapes_.front().second;
}

bool RenderCache::seenBefore(const ShapeKey& key)
{
    if (seen_.erase(key))
        return true;
    // Shapes that never come back are forgotten now and then.
    if (seen_.size() >= 65536)
        seen_.clear();
    seen_.insert(key);
    return false;
}

QImage RenderCache::scratchLayer(QSize size)
{
    const size_t pixels = size_t(size.width()) * size_t(size.height());
    if (scratch_.size() < pixels)
        scratch_.resize(pixels);
    QImage img(reinterpret_cast<uchar*>(scratch_.data()), size.width(), size.height(), size.width() * 4,
               QImage::Format_ARGB32_Premultiplied);
    std::fill_n(scratch_.data(), pixels, 0u);
    return img;
}

void DrawnState::assign(const DisplayList& list, const DisplayObject* root)
{
    items_.clear();
    items_.reserve(list.size() + 1);
    if (root)
        add(*root, 0);
    for (const DisplayPtr& o : list)
        add(*o, 1);
}

void DrawnState::add(const DisplayObject& o, int level)
{
    Item it{level, o.depth, o.characterId, o.matrix, o.colorTransform, o.ratio, o.clipDepth, o.blendMode,
            o.buttonState, o.visible, o.filters, o.drawing, o.bitmap, o.bitmap ? o.bitmap->version : 0, {}};
    if (o.textState)
        it.text = std::make_shared<const TextFieldState>(*o.textState);
    items_.push_back(std::move(it));
    // A root's children are listed by the caller.
    if (level > 0)
        for (const DisplayPtr& ch : o.children)
            add(*ch, level + 1);
}

bool DrawnState::operator==(const DrawnState& o) const
{
    if (items_.size() != o.items_.size())
        return false;
    for (size_t i = 0; i < items_.size(); ++i) {
        const Item& a = items_[i];
        const Item& b = o.items_[i];
        const bool sameFilters = a.filters == b.filters || (a.filters && b.filters && *a.filters == *b.filters) ||
                                 (!a.filters && b.filters->empty()) || (!b.filters && a.filters->empty());
        if (a.level != b.level || a.depth != b.depth || a.characterId != b.characterId || a.matrix != b.matrix ||
            a.colorTransform != b.colorTransform || a.ratio != b.ratio || a.clipDepth != b.clipDepth ||
            a.blendMode != b.blendMode || a.buttonState != b.buttonState || a.visible != b.visible ||
            !sameFilters || a.drawing != b.drawing || a.bitmap != b.bitmap || a.bitmapVersion != b.bitmapVersion ||
            !!a.text != !!b.text || (a.text && *a.text != *b.text))
            return false;
    }
    return true;
}

namespace {

// A run of consecutive objects of one list.
struct ObjectSpan {
    DisplayList::const_iterator first, last;
    ObjectSpan(const DisplayList& list) : first(list.begin()), last(list.end()) {}
    ObjectSpan(DisplayList::const_iterator f, DisplayList::const_iterator l) : first(f), last(l) {}
    bool empty() const { return first == last; }
};

// Flash draws hairlines and thin lines at least one pixel wide.
constexpr double kMinLinePixels = 1.0;

// How far the antialiased filler's straight pieces may stray from a curve,
// in device pixels.
constexpr double kDeviceCurveTolerance = 0.05;

double transformScale(const QTransform& m)
{
    return std::sqrt(std::abs(m.m11() * m.m22() - m.m12() * m.m21()));
}

// The least and the most a transform stretches a length, over all
// directions (the singular values of its linear part).
std::pair<double, double> stretchRange(const QTransform& m)
{
    const double e = (m.m11() + m.m22()) / 2, f = (m.m11() - m.m22()) / 2;
    const double g = (m.m12() + m.m21()) / 2, h = (m.m12() - m.m21()) / 2;
    const double q = std::hypot(e, h), r = std::hypot(f, g);
    return {std::abs(q - r), q + r};
}

// The device outline of a line `width` wide in the shape's units (`path`)
// stretched by `m`, joined with a line one pixel wide along the same path
// on the device (`devicePath`), so that no part is thinner than a pixel.
// Both outlines turn the same way, so the non-zero rule fills their union.
QPainterPath stretchedLine(QPainterPathStroker& stroker, double width, const QPainterPath& path,
                           const QTransform& m, const QPainterPath& devicePath)
{
    stroker.setWidth(width);
    QPainterPath outline = m.map(stroker.createStroke(path));
    if (m.determinant() < 0)
        outline = outline.toReversed();
    stroker.setWidth(kMinLinePixels);
    outline.addPath(stroker.createStroke(devicePath));
    outline.setFillRule(Qt::WindingFill);
    return outline;
}

// Linear-RGB gradients convert each channel to an 8-bit linear value,
// interpolate there and convert back through a table; the way back never
// reaches 255, so even a gradient's end colours come out one step darker.
struct LinearRgbTables {
    std::array<int, 256> toLinear{}, fromLinear{};
    LinearRgbTables()
    {
        for (int v = 0; v < 256; ++v) {
            const double s = v / 255.0;
            const double lin = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
            toLinear[size_t(v)] = std::clamp(int(lin * 255), 0, 255);
            const double back = s <= 0.0031308 ? s * 12.92 : 1.055 * std::pow(s, 1 / 2.4) - 0.055;
            fromLinear[size_t(v)] = std::clamp(int(back * 255), 0, 254);
        }
    }
};
const LinearRgbTables& linearRgb()
{
    static const LinearRgbTables tables;
    return tables;
}

// a + (b - a) * num / den, rounded down; 0 <= num <= den, den > 0.
int mixChannel(int a, int b, int num, int den)
{
    const int v = a * den + (b - a) * num;
    return v >= 0 ? v / den : -((-v + den - 1) / den);
}

} // namespace

// The gradient's colour at each of its 256 positions, as the Flash Player
// builds it. Records are taken in order: each claims the position after its
// predecessor's at least, so records sharing a ratio (or going backwards)
// each get their own position. Position i takes the pair of records whose
// positions enclose it (first exclusive, second inclusive) and mixes their
// colours by how far i lies between their written ratios.
GradientRamp BuildGradientRamp(const Gradient& g, const ColorTransform& cx)
{
    GradientRamp ramp{};
    const auto& recs = g.records;
    if (recs.empty())
        return ramp;
    const size_t n = recs.size();
    std::vector<QRgb> colors(n);
    std::vector<int> pos(n);
    for (size_t k = 0; k < n; ++k) {
        colors[k] = cx.apply(recs[k].color.rgba());
        pos[k] = k == 0 ? recs[k].ratio : std::max(recs[k].ratio, pos[k - 1] + 1);
    }
    const bool linear = g.interpolation == 1;
    const LinearRgbTables& lt = linearRgb();
    auto mix = [&](QRgb a, QRgb b, int num, int den) {
        auto channel = [&](int x, int y) {
            if (!linear)
                return mixChannel(x, y, num, den);
            return lt.fromLinear[size_t(mixChannel(lt.toLinear[size_t(x)], lt.toLinear[size_t(y)], num, den))];
        };
        return qRgba(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)), channel(qBlue(a), qBlue(b)),
                     mixChannel(qAlpha(a), qAlpha(b), num, den));
    };
    size_t k = 0;
    for (int i = 0; i < 256; ++i) {
        QRgb c;
        if (i <= pos[0] || n == 1) {
            c = mix(colors[0], colors[0], 0, 1);
        } else if (i > pos[n - 1]) {
            c = mix(colors[n - 1], colors[n - 1], 0, 1);
        } else {
            while (k + 2 < n && pos[k + 1] < i)
                ++k;
            int num = i - recs[k].ratio, den = recs[k + 1].ratio - recs[k].ratio;
            if (den < 0) {
                num = -num;
                den = -den;
            }
            if (den == 0 || num <= 0)
                c = mix(colors[k], colors[k + 1], 0, 1);
            else if (num >= den)
                c = mix(colors[k], colors[k + 1], 1, 1);
            else
                c = mix(colors[k], colors[k + 1], num, den);
        }
        ramp[size_t(i)] = qPremultiply(c);
    }
    return ramp;
}

namespace {

// The colours of a gradient seen through `toDevice` (gradient space to
// device pixels), pixel by pixel. The gradient square spans
// -16384..16384 twips and maps onto the ramp's 256 entries; each pixel
// takes the colour found at one point of it: its centre when drawing
// without antialiasing, its top-left corner with it (sampleOffset 0.5 or
// 0), as the Flash Player does at low and high quality. Positions are
// worked out from the left of each row at `origin`, so a pixel gets the
// same colour whichever run of its row asks for it.
class GradientSource final : public SpanSource {
public:
    GradientSource(QPoint origin, const FillStyle& f, const GradientRamp& ramp, const QTransform& toDevice,
                   double sampleOffset)
        : origin_(origin), type_(f.type), spread_(f.gradient.spread), ramp_(ramp), sampleOffset_(sampleOffset)
    {
        inv_ = toDevice.inverted(&invertible_);
        if (!invertible_) {
            QImage one(1, 1, QImage::Format_ARGB32_Premultiplied);
            one.fill(QColor::fromRgba(qUnpremultiply(ramp[255])));
            flat_ = reinterpret_cast<const QRgb*>(one.constScanLine(0))[0];
        }
        focal_ = f.type == FillStyle::Focal ? std::clamp(f.gradient.focal, -0.998, 0.998) : 0.0;
    }

    void fetch(QRgb* out, int x, int y, int length) override;

private:
    // The ramp entry of an index before the spread is applied.
    QRgb entry(qint64 i) const
    {
        if (spread_ == 2)
            return ramp_[size_t(i & 255)];
        if (spread_ == 1) {
            i &= 511;
            return ramp_[size_t(i > 255 ? 511 - i : i)];
        }
        return ramp_[size_t(std::clamp<qint64>(i, 0, 255))];
    }
    QRgb pick(double t) const
    {
        double idx = std::floor(t * 256);
        if (!(idx > -1e9 && idx < 1e9))
            idx = 0;
        int i = int(idx);
        if (spread_ == 2) {
            i &= 255;
        } else if (spread_ == 1) {
            i &= 511;
            if (i > 255)
                i = 511 - i;
        } else {
            i = std::clamp(i, 0, 255);
        }
        return ramp_[size_t(i)];
    }
    // Without antialiasing the ramp is read between its entries: the
    // colour mixes the two entries around the sample, the entries standing
    // at their middles; repeats and reflections do not mix across their
    // seams.
    QRgb pickFiltered(double t) const
    {
        double u = t * 256 - 0.5;
        if (!(u > -1e9 && u < 1e9))
            u = 0;
        if (spread_ == 2) {
            u -= 256 * std::floor(u / 256);
        } else if (spread_ == 1) {
            u -= 512 * std::floor(u / 512);
            if (u >= 256)
                u = 511 - u;
        }
        u = std::clamp(u, 0.0, 255.0);
        const int i0 = int(u);
        const double fr = u - i0;
        const QRgb a = ramp_[size_t(i0)], b = ramp_[size_t(std::min(i0 + 1, 255))];
        auto mixc = [fr](int x, int y) { return int(x + (y - x) * fr); };
        return qRgba(mixc(qRed(a), qRed(b)), mixc(qGreen(a), qGreen(b)), mixc(qBlue(a), qBlue(b)),
                     mixc(qAlpha(a), qAlpha(b)));
    }
    void fetchRadial(QRgb* out, double ax, double ay, int from, int length) const;

    QPoint origin_;
    int type_;
    int spread_;
    const GradientRamp& ramp_;
    double sampleOffset_;
    QTransform inv_;
    bool invertible_ = false;
    QRgb flat_ = 0;
    double focal_ = 0;
};

// The same entries as the general way below, found with fewer square
// roots: the entry floor(sqrt(q) * 256) only grows with q = gx² + gy², and
// while q lies clearly inside the range of the entry last found (away from
// its ends by far more than rounding reaches) that entry is the one; near
// the ends the root is taken.
void GradientSource::fetchRadial(QRgb* out, double ax, double ay, int from, int length) const
{
    qint64 cur = -1;
    auto rootEntry = [](double q) -> qint64 {
        double idx = std::floor(std::sqrt(q) * 256);
        if (!(idx > -1e9 && idx < 1e9))
            idx = 0;
        return qint64(idx);
    };
    // The values of q for which entry c (or, padded, its colour) is
    // certain, each end moved inwards by a millionth, which is far more
    // than rounding reaches; empty where only the root decides.
    struct Range {
        double lo = 1, hi = 0;
    };
    const int spread = spread_;
    auto rangeOf = [spread](qint64 c) -> Range {
        double a, b;
        if (spread == 0 && c >= 255 && c < 1000000000) {
            // Padded: every entry from the last on shows the last colour.
            a = 255.0 / 256;
            b = 1e9 / 256;
        } else if (c > 0 && c < 1000000) {
            a = double(c) / 256;
            b = double(c + 1) / 256;
        } else {
            return {};
        }
        return {a * a * (1 + 1e-6), b * b * (1 - 1e-6)};
    };
    const double dx = inv_.m11(), dy = inv_.m12();
    QRgb colour = 0;
    double lo = 1, hi = 0;
    for (int k = 0; k < length; ++k) {
        const int x = from + k;
        const double gx = (ax + dx * x) / 16384, gy = (ay + dy * x) / 16384;
        const double q = gx * gx + gy * gy;
        if (q > lo && q < hi) [[likely]] {
            out[k] = colour;
            continue;
        }
        // Mostly q has moved on into the next entry's range or back into
        // the one before.
        const qint64 next = q >= hi ? cur + 1 : cur - 1;
        Range r = cur > 0 ? rangeOf(next) : Range{};
        if (q > r.lo && q < r.hi) {
            cur = next;
        } else {
            cur = rootEntry(q);
            r = rangeOf(cur);
        }
        lo = r.lo;
        hi = r.hi;
        colour = entry(cur);
        out[k] = colour;
    }
}

void GradientSource::fetch(QRgb* out, int x, int y, int length)
{
    if (!invertible_) {
        std::fill_n(out, length, flat_);
        return;
    }
    // Columns counted from the row's left at the origin.
    const int from = x - origin_.x();
    if (sampleOffset_ == 0 && type_ == FillStyle::Radial) {
        const QPointF p0 = inv_.map(QPointF(origin_.x(), y));
        fetchRadial(out, p0.x(), p0.y(), from, length);
        return;
    }
    if (sampleOffset_ == 0 && type_ == FillStyle::Linear) {
        const QPointF p0 = inv_.map(QPointF(origin_.x(), y));
        const double dx = inv_.m11();
        for (int k = 0; k < length; ++k) {
            const double gx = (p0.x() + dx * (from + k)) / 16384;
            double idx = std::floor((gx + 1) / 2 * 256);
            if (!(idx > -1e9 && idx < 1e9))
                idx = 0;
            out[k] = entry(qint64(idx));
        }
        return;
    }
    const QPointF p0 = inv_.map(QPointF(origin_.x() + sampleOffset_, y + sampleOffset_));
    const double dx = inv_.m11(), dy = inv_.m12();
    const double focal = focal_;
    for (int k = 0; k < length; ++k) {
        const double gx = (p0.x() + dx * (from + k)) / 16384, gy = (p0.y() + dy * (from + k)) / 16384;
        double t;
        if (type_ == FillStyle::Linear) {
            t = (gx + 1) / 2;
        } else if (focal == 0) {
            t = std::sqrt(gx * gx + gy * gy);
        } else {
            // Where the ray from the focal point through this point meets
            // the unit circle decides the scale.
            const double px = gx - focal, py = gy;
            const double a = px * px + py * py;
            if (a == 0) {
                t = 0;
            } else {
                const double b = focal * px;
                const double c = focal * focal - 1;
                const double s = (-b + std::sqrt(std::max(0.0, b * b - a * c))) / a;
                t = s > 0 ? 1 / s : 1;
            }
        }
        out[k] = sampleOffset_ > 0 ? pickFiltered(t) : pick(t);
    }
}

// Fills `img` (whose top left is device pixel `origin`) with a gradient.
void paintGradient(QImage& img, QPoint origin, const FillStyle& f, const GradientRamp& ramp,
                   const QTransform& toDevice, double sampleOffset)
{
    GradientSource source(origin, f, ramp, toDevice, sampleOffset);
    for (int y = 0; y < img.height(); ++y)
        source.fetch(reinterpret_cast<QRgb*>(img.scanLine(y)), origin.x(), origin.y() + y, img.width());
}

// The colours of a bitmap fill seen through `toDevice` (the bitmap's pixels
// to device pixels); see PaintBitmapFill.
class BitmapSource final : public SpanSource {
public:
    BitmapSource(QPoint origin, const QImage& bitmap, const QTransform& toDevice, bool repeat, bool smooth)
        : origin_(origin),
          src_(bitmap.format() == QImage::Format_ARGB32_Premultiplied
                   ? bitmap
                   : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
          repeat_(repeat), smooth_(smooth)
    {
        inv_ = toDevice.inverted(&invertible_);
        bw_ = src_.width();
        bh_ = src_.height();
    }
    void fetch(QRgb* out, int x, int y, int length) override;

private:
    // A repeating fill wraps round; a clipped one carries its edge pixels on.
    int column(qint64 i) const
    {
        if (repeat_)
            return int(((i % bw_) + bw_) % bw_);
        return int(std::clamp<qint64>(i, 0, bw_ - 1));
    }
    int row(qint64 j) const
    {
        if (repeat_)
            return int(((j % bh_) + bh_) % bh_);
        return int(std::clamp<qint64>(j, 0, bh_ - 1));
    }
    QRgb texel(int i, int j) const { return reinterpret_cast<const QRgb*>(src_.constScanLine(j))[i]; }

    QPoint origin_;
    QImage src_;
    bool repeat_, smooth_;
    QTransform inv_;
    bool invertible_ = false;
    int bw_ = 0, bh_ = 0;
};

void BitmapSource::fetch(QRgb* out, int x, int y, int length)
{
    if (!invertible_ || bw_ == 0 || bh_ == 0) {
        std::fill_n(out, length, 0u);
        return;
    }
    // Positions far off the bitmap (degenerate matrices) stay within what
    // a 64-bit index holds.
    auto whole = [](double v) { return qint64(std::floor(std::clamp(v, -1e15, 1e15))); };
    const double dx = inv_.m11(), dy = inv_.m12();
    const QPointF p0 = inv_.map(QPointF(origin_.x() + 0.5, y + 0.5));
    const int from = x - origin_.x();
    for (int k = 0; k < length; ++k) {
        const int xi = from + k;
        const double bx = p0.x() + dx * xi, by = p0.y() + dy * xi;
        if (!std::isfinite(bx) || !std::isfinite(by)) {
            out[k] = 0;
            continue;
        }
        if (!smooth_) {
            // The texel under the pixel's centre.
            out[k] = texel(column(whole(bx)), row(whole(by)));
            continue;
        }
        // Texels stand at their middles; the four around the centre mix by
        // its distance to them, in 1/256 steps.
        const double u = bx - 0.5, v = by - 0.5;
        const qint64 i0 = whole(u), j0 = whole(v);
        const int fx = std::clamp(int((u - double(i0)) * 256), 0, 256);
        const int fy = std::clamp(int((v - double(j0)) * 256), 0, 256);
        const int c0 = column(i0), c1 = column(i0 + 1), r0 = row(j0), r1 = row(j0 + 1);
        const QRgb a = texel(c0, r0), b = texel(c1, r0), c = texel(c0, r1), d = texel(c1, r1);
        auto mix = [&](int shift) {
            auto ch = [shift](QRgb q) { return int((q >> shift) & 0xff); };
            const int top = ch(a) * (256 - fx) + ch(b) * fx;
            const int bottom = ch(c) * (256 - fx) + ch(d) * fx;
            return uint32_t((top * (256 - fy) + bottom * fy + 32768) >> 16);
        };
        out[k] = mix(24) << 24 | mix(16) << 16 | mix(8) << 8 | mix(0);
    }
}

} // namespace

void PaintBitmapFill(QImage& img, QPoint origin, const QImage& bitmap, const QTransform& toDevice, bool repeat,
                     bool smooth)
{
    BitmapSource source(origin, bitmap, toDevice, repeat, smooth);
    for (int y = 0; y < img.height(); ++y)
        source.fetch(reinterpret_cast<QRgb*>(img.scanLine(y)), origin.x(), origin.y() + y, img.width());
}

namespace {

// The picture a painter draws on, when drawing straight into its memory
// gives what the painter would: an unshared ARGB32 premultiplied image,
// source-over, opaque, no clip.
QImage* directTarget(QPainter& p)
{
    auto* img = dynamic_cast<QImage*>(p.device());
    if (!img || img->format() != QImage::Format_ARGB32_Premultiplied || !img->isDetached() || p.hasClipping() ||
        p.compositionMode() != QPainter::CompositionMode_SourceOver || p.opacity() != 1.0)
        return nullptr;
    return img;
}

// A path's contours on the device, curves cut finely enough for the
// antialiased filler: within a fifth of a pixel.
std::vector<std::vector<QPointF>> deviceContours(const QPainterPath& path, const QTransform& toDevice)
{
    const double stretch = stretchRange(toDevice).second;
    if (!(stretch > 0) || !std::isfinite(stretch))
        return {};
    return FlattenPath(path, toDevice, kDeviceCurveTolerance / stretch);
}

// A colour as QPainter's solid brushes lay it on a premultiplied picture.
QRgb premultipliedColour(const QColor& c)
{
    return qPremultiply(c.rgba64()).toArgb32();
}

class Renderer {
public:
    Renderer(const Movie& movie, bool aa, RenderCache& cache, double viewScale, QSize rootSize)
        : movie_(movie), aa_(aa), cache_(cache), viewScale_(viewScale), rootSize_(rootSize) {}

    void drawList(QPainter& p, ObjectSpan list, const QTransform& m, const ColorTransform& cx);

private:
    void drawObject(QPainter& p, const DisplayObject& o, const QTransform& parent, const ColorTransform& cx,
                    bool maskMode);
    void drawContent(QPainter& p, const DisplayObject& o, const QTransform& m, const ColorTransform& cx,
                     bool maskMode);
    // fillsOnly leaves the lines out, as masks do.
    void drawShape(QPainter& p, const CompiledShape& s, const QTransform& m, const ColorTransform& cx,
                   bool fillsOnly = false);
    void drawShapeCached(QPainter& p, const CompiledShape& s, const QTransform& m, const ColorTransform& cx,
                         bool fillsOnly = false);
    void drawText(QPainter& p, const TextCharacter& t, const QTransform& m, const ColorTransform& cx);
    void drawVideo(QPainter& p, const VideoCharacter& v, int frame, const QTransform& m, const ColorTransform& cx);
    void drawScriptBitmap(QPainter& p, const DisplayObject& o, const QTransform& m, const ColorTransform& cx,
                          bool maskMode);
    void drawEditText(QPainter& p, const EditTextCharacter& t, const QTransform& m, const ColorTransform& cx,
                      const TextFieldState* state = nullptr);
    void drawMasked(QPainter& p, const DisplayObject& mask, ObjectSpan content, const QTransform& m,
                    const ColorTransform& cx);
    // m places the shape on the device; painterTransform is what the
    // painter will use to draw it (they differ by the edge nudge).
    QBrush brushFor(const FillStyle& f, const ColorTransform& cx, const QTransform& m,
                    const QTransform& painterTransform, const QRectF& area, const QPaintDevice* device);
    QRectF bounds(const DisplayObject& o, const QTransform& m) const;
    // Fills a path given in its own units; the brush is given in the same
    // units. Without antialiasing this goes by pixel centres.
    void fillPath(QPainter& p, const QPainterPath& path, const QTransform& toDevice, const QBrush& brush) const;
    // With antialiasing, fills with the engine's own filler straight into
    // the picture the painter draws on (false when the painter clips,
    // blends otherwise or draws on something else): gradients and bitmaps
    // are worked out on the covered pixels only.
    // `toDevice` places the path, `shapeToDevice` the shape whose fill
    // style it is (they differ for lines outlined on the device).
    bool fillDirect(QPainter& p, const QPainterPath& path, const QTransform& toDevice,
                    const QTransform& shapeToDevice, const FillStyle& f, const ColorTransform& cx);
    QPoint filterGrowth(const std::vector<Filter>& filters) const;
    QRectF contentBounds(const DisplayObject& o, const QTransform& m) const;
    QRectF declaredBounds(const DisplayObject& o, const QTransform& m) const;
    QImage newLayer(const QRect& r) const;
    void begin(QPainter& lp, QImage& img) const;

    const Movie& movie_;
    bool aa_;
    RenderCache& cache_;
    double viewScale_;
    QSize rootSize_;   // the picture being drawn
    int nesting_ = 0;
    int layerDepth_ = 0;
    static constexpr int kMaxObjects = kMaxDrawnObjects;
    int drawn_ = 0;
    qint64 filterWork_ = 0;   // filter work done for this picture
    int spriteBudget_ = 20000;              // sprites the buttons' own timelines may create
    std::vector<const Character*> buttons_;  // the buttons being drawn, outermost first
    // Measuring a button walks its records the way drawing does, with the
    // same guards: a button that holds itself is measured once, and a
    // hostile tree of buttons cannot make measuring endless.
    mutable std::vector<const Character*> measuredButtons_;
    mutable int measureBudget_ = kMaxObjects;
};

QImage Renderer::newLayer(const QRect& r) const
{
    QImage img(r.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void Renderer::begin(QPainter& lp, QImage& img) const
{
    lp.begin(&img);
    lp.setRenderHint(QPainter::Antialiasing, aa_);
    lp.setRenderHint(QPainter::SmoothPixmapTransform, aa_);
}

void Renderer::drawList(QPainter& p, ObjectSpan list, const QTransform& m, const ColorTransform& cx)
{
    for (auto i = list.first; i != list.last;) {
        const DisplayObject& o = **i;
        if (o.clipDepth > 0) {
            auto j = std::next(i);
            while (j != list.last && (*j)->depth <= o.clipDepth)
                ++j;
            drawMasked(p, o, ObjectSpan(std::next(i), j), m, cx);
            i = j;
            continue;
        }
        drawObject(p, o, m, cx, false);
        ++i;
    }
}

QRectF Renderer::contentBounds(const DisplayObject& o, const QTransform& m) const
{
    const Character* c = movie_.character(o.characterId);
    if (!c) {
        QRectF r = o.drawing ? m.mapRect(o.drawing->bounds) : QRectF();
        for (const DisplayPtr& ch : o.children)
            r = r.united(bounds(*ch, ch->matrix.toQt() * m));
        return r;
    }
    switch (c->kind()) {
    case CharacterKind::Shape:
        return m.mapRect(static_cast<const ShapeCharacter*>(c)->shape.bounds);
    case CharacterKind::MorphShape: {
        const auto* mo = static_cast<const MorphShapeCharacter*>(c);
        const double t = o.ratio / 65535.0;
        auto l = [t](double a, double b) { return a + (b - a) * t; };
        const QRectF r(QPointF(l(mo->startBounds.xMin, mo->endBounds.xMin), l(mo->startBounds.yMin, mo->endBounds.yMin)),
                       QPointF(l(mo->startBounds.xMax, mo->endBounds.xMax), l(mo->startBounds.yMax, mo->endBounds.yMax)));
        return m.mapRect(r);
    }
    case CharacterKind::Text: {
        const auto* t = static_cast<const TextCharacter*>(c);
        const Rect& b = t->bounds;
        return (t->matrix.toQt() * m).mapRect(QRectF(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin));
    }
    case CharacterKind::EditText: {
        const Rect& b = static_cast<const EditTextCharacter*>(c)->bounds;
        return m.mapRect(QRectF(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin));
    }
    case CharacterKind::Video: {
        const auto* v = static_cast<const VideoCharacter*>(c);
        return m.mapRect(QRectF(0, 0, v->width * 20.0, v->height * 20.0));
    }
    case CharacterKind::Sprite: {
        QRectF r = o.drawing ? m.mapRect(o.drawing->bounds) : QRectF();
        for (const DisplayPtr& ch : o.children)
            r = r.united(bounds(*ch, ch->matrix.toQt() * m));
        return r;
    }
    case CharacterKind::Button: {
        if (std::find(measuredButtons_.begin(), measuredButtons_.end(), c) != measuredButtons_.end())
            return {};
        measuredButtons_.push_back(c);
        QRectF r;
        for (const ButtonRecord& b : static_cast<const ButtonCharacter*>(c)->records) {
            if (!b.up || --measureBudget_ < 0)
                continue;
            DisplayObject tmp;
            tmp.characterId = b.characterId;
            r = r.united(bounds(tmp, b.matrix.toQt() * m));
        }
        measuredButtons_.pop_back();
        return r;
    }
    default:
        return {};
    }
}

// Device bounds of an object as its characters declare them, without the
// margins drawing allows for.
QRectF Renderer::declaredBounds(const DisplayObject& o, const QTransform& m) const
{
    const Character* c = movie_.character(o.characterId);
    if (c && c->kind() == CharacterKind::Sprite) {
        QRectF r;
        for (const DisplayPtr& ch : o.children)
            r = r.united(declaredBounds(*ch, ch->matrix.toQt() * m));
        return r;
    }
    return contentBounds(o, m);
}

// How far an object's filters spread its picture, in device pixels; each
// filter works on what the ones before it made.
QPoint Renderer::filterGrowth(const std::vector<Filter>& filters) const
{
    int gx = 0, gy = 0;
    for (const Filter& f : filters) {
        gx += FilterMargin(f, viewScale_, false);
        gy += FilterMargin(f, viewScale_, true);
    }
    return {gx, gy};
}

// Device bounds of an object (its matrix already in m), grown by what its
// filters add.
QRectF Renderer::bounds(const DisplayObject& o, const QTransform& m) const
{
    QRectF r = contentBounds(o, m);
    if (o.filters && !r.isEmpty()) {
        const QPoint g = filterGrowth(*o.filters);
        r.adjust(-g.x(), -g.y(), g.x(), g.y());
    }
    return r.isEmpty() ? r : r.adjusted(-2, -2, 2, 2);
}

void Renderer::drawMasked(QPainter& p, const DisplayObject& mask, ObjectSpan content, const QTransform& m,
                          const ColorTransform& cx)
{
    if (content.empty())
        return;
    const QTransform mm = mask.matrix.toQt() * m;
    const QRect target(QPoint(0, 0), p.device() ? QSize(p.device()->width(), p.device()->height()) : QSize());
    const QRect r = bounds(mask, mm).toAlignedRect() & target;
    if (r.isEmpty())
        return;
    const QTransform shift = QTransform::fromTranslate(-r.x(), -r.y());
    QImage layer = newLayer(r);
    {
        QPainter lp;
        begin(lp, layer);
        drawList(lp, content, m * shift, cx);
    }
    QImage maskLayer = newLayer(r);
    {
        QPainter lp;
        begin(lp, maskLayer);
        drawObject(lp, mask, m * shift, ColorTransform(), true);
    }
    {
        QPainter lp(&layer);
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        lp.drawImage(0, 0, maskLayer);
    }
    p.resetTransform();
    p.drawImage(r.topLeft(), layer);
}

// Applies one of the Flash blend modes that QPainter lacks, pixel by pixel.
void blendManual(QImage& dst, const QPoint& at, const QImage& src, int mode)
{
    const QRect r = QRect(at, src.size()) & dst.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* d = reinterpret_cast<QRgb*>(dst.scanLine(y));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y - at.y()));
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb sp = s[x - at.x()];
            const int sa = qAlpha(sp);
            if (sa == 0)
                continue;
            const QRgb dp = d[x];
            const int da = qAlpha(dp);
            int rr, gg, bb;
            if (mode == 9) {   // subtract: destination minus the source's premultiplied colour
                d[x] = qRgba(std::max(0, qRed(dp) - qRed(sp)), std::max(0, qGreen(dp) - qGreen(sp)),
                             std::max(0, qBlue(dp) - qBlue(sp)), da);
                continue;
            } else {           // invert: the destination's inverse where the source covers
                rr = da - qRed(dp);
                gg = da - qGreen(dp);
                bb = da - qBlue(dp);
            }
            // Mix by source coverage.
            auto mix = [sa](int a, int b) { return (a * (255 - sa) + b * sa + 127) / 255; };
            d[x] = qRgba(mix(qRed(dp), rr), mix(qGreen(dp), gg), mix(qBlue(dp), bb), da);
        }
    }
}

// The alpha blend: the destination scaled by the source's alpha, only on
// the pixels the source covers.
void applyAlphaWhereCovered(QImage& dst, const QPoint& at, const QImage& src, const QImage& coverage)
{
    const QRect r = QRect(at, src.size()) & dst.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* d = reinterpret_cast<QRgb*>(dst.scanLine(y));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y - at.y()));
        const auto* c = reinterpret_cast<const QRgb*>(coverage.constScanLine(y - at.y()));
        for (int x = r.left(); x <= r.right(); ++x) {
            if (qAlpha(c[x - at.x()]) == 0)
                continue;
            const int a = qAlpha(s[x - at.x()]);
            const QRgb dp = d[x];
            auto scale = [a](int v) { return (v * a + 127) / 255; };
            d[x] = qRgba(scale(qRed(dp)), scale(qGreen(dp)), scale(qBlue(dp)), scale(qAlpha(dp)));
        }
    }
}

void Renderer::drawObject(QPainter& p, const DisplayObject& o, const QTransform& parent, const ColorTransform& pcx,
                          bool maskMode)
{
    if (!o.visible && !maskMode)
        return;
    // Hostile files can build trees that take hours to draw; a picture
    // draws at most kMaxObjects objects, far more than real movies show.
    if (++drawn_ > kMaxObjects)
        return;
    const QTransform m = o.matrix.toQt() * parent;
    ColorTransform cx = maskMode ? pcx : pcx * o.colorTransform;
    // Alpha and erase act on a parent drawn as a layer; straight on the
    // stage, which has no alpha of its own, they leave nothing to see.
    const int blend = maskMode ? 0 : o.blendMode;
    if ((blend == 11 || blend == 12) && layerDepth_ == 0)
        return;
    const bool hasFilters = o.filters && !o.filters->empty() && !maskMode;
    if (blend <= 1 && !hasFilters) {
        drawContent(p, o, m, cx, maskMode);
        return;
    }
    if (nesting_ > 32)
        return;
    QRect target(0, 0, p.device()->width(), p.device()->height());
    if (hasFilters) {
        // Filters see the whole object, also what lies just outside the
        // picture: a blur near the edge takes in what is beyond it.
        // What lies further off than the whole picture is not taken in.
        const QPoint g = filterGrowth(*o.filters);
        const int reach = std::max(rootSize_.width(), rootSize_.height());
        target.adjust(-std::min(g.x(), reach), -std::min(g.y(), reach), std::min(g.x(), reach),
                      std::min(g.y(), reach));
    }
    QRect r = bounds(o, m).toAlignedRect() & target;
    // Layers stay within the Flash Player's bitmap size (layers in layers
    // would otherwise grow without end).
    if (!BitmapSizeAllowed(r.width(), r.height()))
        r &= QRect(0, 0, p.device()->width(), p.device()->height());
    if (r.isEmpty())
        return;
    QImage layer = newLayer(r);
    {
        QPainter lp;
        begin(lp, layer);
        ++nesting_;
        ++layerDepth_;
        QTransform lm = m * QTransform::fromTranslate(-r.x(), -r.y());
        if (hasFilters) {
            // A filtered object is drawn into a picture of its own whose
            // corner lies on a whole pixel: the corner of the object's
            // declared bounds, rounded half up, and the object moves with
            // it. A one-pixel line at x = 10.0 thus fills column 10.
            const QRectF b = declaredBounds(o, m);
            if (!b.isEmpty())
                lm = lm * QTransform::fromTranslate(std::floor(b.x() + 0.5) - b.x(), std::floor(b.y() + 0.5) - b.y());
        }
        drawContent(lp, o, lm, cx, false);
        --layerDepth_;
        --nesting_;
    }
    if (hasFilters) {
        // Filters are costly and most objects look the same frame after
        // frame: reuse the result made from the same picture.
        const RenderCache::FilterKey key{hashImage(layer), layer.size(), o.filters, viewScale_};
        if (const QImage* done = cache_.reuse() ? cache_.findFiltered(key) : nullptr) {
            layer = *done;
        } else {
            qint64 passes = 0;
            for (const Filter& f : *o.filters)
                passes += std::max(1, f.passes);
            const qint64 work = qint64(layer.width()) * layer.height() * passes;
            if (filterWork_ + work <= kMaxFilterWorkPerPicture) {
                filterWork_ += work;
                ApplyFilters(layer, *o.filters, viewScale_);
                cache_.storeFiltered(key, layer);
            }
        }
    }
    p.resetTransform();
    QImage* dst = dynamic_cast<QImage*>(p.device());
    switch (blend) {
    case 3: p.setCompositionMode(QPainter::CompositionMode_Multiply); break;
    case 4: p.setCompositionMode(QPainter::CompositionMode_Screen); break;
    case 5: p.setCompositionMode(QPainter::CompositionMode_Lighten); break;
    case 6: p.setCompositionMode(QPainter::CompositionMode_Darken); break;
    case 7: p.setCompositionMode(QPainter::CompositionMode_Difference); break;
    case 8: p.setCompositionMode(QPainter::CompositionMode_Plus); break;
    case 9:
    case 10:
        if (dst) {
            blendManual(*dst, r.topLeft(), layer, blend);
            return;
        }
        break;
    case 11:
        if (dst && !hasFilters) {
            // Alpha keeps the layer below where the object is drawn, scaled
            // by the object's alpha; pixels the object does not cover stay.
            QImage coverage = newLayer(r);
            {
                QPainter lp;
                begin(lp, coverage);
                ++nesting_;
                drawContent(lp, o, m * QTransform::fromTranslate(-r.x(), -r.y()), cx, true);
                --nesting_;
            }
            applyAlphaWhereCovered(*dst, r.topLeft(), layer, coverage);
            return;
        }
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        break;
    case 12: p.setCompositionMode(QPainter::CompositionMode_DestinationOut); break;
    case 13: p.setCompositionMode(QPainter::CompositionMode_Overlay); break;
    case 14: p.setCompositionMode(QPainter::CompositionMode_HardLight); break;
    default: break;
    }
    p.drawImage(r.topLeft(), layer);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Renderer::drawContent(QPainter& p, const DisplayObject& o, const QTransform& m, const ColorTransform& cx,
                           bool maskMode)
{
    const Character* c = movie_.character(o.characterId);
    // Masks draw their shapes' coverage; colours and alpha do not matter.
    ColorTransform use = cx;
    if (maskMode) {
        use = ColorTransform();
        use.rm = use.gm = use.bm = use.am = 0;
        use.ra = use.ga = use.ba = use.aa = 255;
    }
    if (!c && o.textState) {
        // A text field made by a script.
        EditTextCharacter shown;
        shown.bounds = Rect{0, int(std::max(0.0, o.textState->width)), 0, int(std::max(0.0, o.textState->height))};
        drawEditText(p, shown, m, use, o.textState.get());
        return;
    }
    if (!c || c->kind() == CharacterKind::Sprite) {
        // A clip: pixels a script attached, what it drew, then its children.
        if (o.bitmap)
            drawScriptBitmap(p, o, m, use, maskMode);
        if (o.drawing)
            drawShape(p, *o.drawing, m, use, maskMode);
        if (nesting_ > 64)
            return;
        ++nesting_;
        if (maskMode) {
            for (const DisplayPtr& ch : o.children)
                if (ch->clipDepth == 0)
                    drawObject(p, *ch, m, ColorTransform(), true);
        } else {
            drawList(p, o.children, m, cx);
        }
        --nesting_;
        return;
    }
    switch (c->kind()) {
    case CharacterKind::Shape:
        drawShapeCached(p, static_cast<const ShapeCharacter*>(c)->shape, m, use, maskMode);
        break;
    case CharacterKind::MorphShape:
        drawShape(p, cache_.morph(*static_cast<const MorphShapeCharacter*>(c), o.ratio), m, use, maskMode);
        break;
    case CharacterKind::Text:
        drawText(p, *static_cast<const TextCharacter*>(c), m, use);
        break;
    case CharacterKind::EditText:
        if (o.textState) {
            // A field whose text a script or the user changed.
            EditTextCharacter shown = *static_cast<const EditTextCharacter*>(c);
            if (o.textState->width >= 0)
                shown.bounds.xMax = shown.bounds.xMin + int(o.textState->width);
            if (o.textState->height >= 0)
                shown.bounds.yMax = shown.bounds.yMin + int(o.textState->height);
            drawEditText(p, shown, m, use, o.textState.get());
        } else {
            drawEditText(p, *static_cast<const EditTextCharacter*>(c), m, use);
        }
        break;
    case CharacterKind::Video:
        drawVideo(p, *static_cast<const VideoCharacter*>(c), o.ratio, m, use);
        break;
    case CharacterKind::Button: {
        // A button may hold buttons; one that holds itself, directly or
        // further down, is drawn once.
        if (nesting_ > 64 || std::find(buttons_.begin(), buttons_.end(), c) != buttons_.end())
            break;
        buttons_.push_back(c);
        ++nesting_;
        for (const ButtonRecord& b : static_cast<const ButtonCharacter*>(c)->records) {
            if (!(o.buttonState == 2 ? b.down : o.buttonState == 1 ? b.over : b.up))
                continue;
            DisplayObject child;
            child.characterId = b.characterId;
            child.depth = b.depth;
            child.matrix = b.matrix;
            child.colorTransform = b.colorTransform;
            child.blendMode = b.blendMode;
            if (!b.filters.empty())
                child.filters = std::make_shared<std::vector<Filter>>(b.filters);
            const Character* cc = movie_.character(b.characterId);
            if (cc && cc->kind() == CharacterKind::Sprite) {
                TimelineRunner runner(movie_, spriteBudget_);
                runner.runFrame(static_cast<const SpriteCharacter*>(cc)->timeline, 0, child.children, nullptr);
                spriteBudget_ = runner.spriteBudget();
                child.frame = 0;
            }
            drawObject(p, child, m, maskMode ? ColorTransform() : cx, maskMode);
        }
        --nesting_;
        buttons_.pop_back();
        break;
    }
    default:
        break;
    }
}

QBrush Renderer::brushFor(const FillStyle& f, const ColorTransform& cx, const QTransform& m,
                          const QTransform& painterTransform, const QRectF& area, const QPaintDevice* device)
{
    switch (f.type) {
    case FillStyle::Solid:
        return QBrush(cx.apply(f.color));
    case FillStyle::Linear:
    case FillStyle::Radial:
    case FillStyle::Focal: {
        // The gradient is worked out pixel by pixel over the device area the
        // shape covers and laid on it as a picture that lines up with the
        // device's pixels.
        QRect r = m.mapRect(area).toAlignedRect().adjusted(-1, -1, 1, 1);
        if (device)
            r &= QRect(0, 0, device->width(), device->height());
        if (r.isEmpty())
            return QBrush(Qt::NoBrush);
        QImage img(r.size(), QImage::Format_ARGB32_Premultiplied);
        paintGradient(img, r.topLeft(), f, BuildGradientRamp(f.gradient, cx), f.matrix.toQt() * m, aa_ ? 0.0 : 0.5);
        QBrush b(img);
        bool invertible = false;
        const QTransform inv = painterTransform.inverted(&invertible);
        if (!invertible)
            return QBrush(Qt::NoBrush);
        b.setTransform(QTransform::fromTranslate(r.x(), r.y()) * inv);
        return b;
    }
    default: {
        const BitmapCharacter* bmp = movie_.get<BitmapCharacter>(f.bitmapId);
        if (!bmp || bmp->image.isNull())
            return QBrush(Qt::NoBrush);
        // Like gradients, the fill is worked out over the device pixels the
        // shape covers: Qt's texture brushes always repeat, where a clipped
        // fill carries its edge pixels on outwards.
        QRect r = m.mapRect(area).toAlignedRect().adjusted(-1, -1, 1, 1);
        if (device)
            r &= QRect(0, 0, device->width(), device->height());
        bool invertible = false;
        const QTransform inv = painterTransform.inverted(&invertible);
        if (r.isEmpty() || !invertible)
            return QBrush(Qt::NoBrush);
        QImage img(r.size(), QImage::Format_ARGB32_Premultiplied);
        const bool repeat = f.type == FillStyle::RepeatingBitmap || f.type == FillStyle::RepeatingBitmapHard;
        const bool smoothed = aa_ && (f.type == FillStyle::RepeatingBitmap || f.type == FillStyle::ClippedBitmap);
        PaintBitmapFill(img, r.topLeft(), cache_.transformedBitmap(*bmp, cx), f.matrix.toQt() * m, repeat, smoothed);
        QBrush b(img);
        b.setTransform(QTransform::fromTranslate(r.x(), r.y()) * inv);
        return b;
    }
    }
}

void Renderer::drawShape(QPainter& p, const CompiledShape& s, const QTransform& m, const ColorTransform& cx,
                         bool fillsOnly)
{
    const double scale = transformScale(m);
    for (const CompiledLayer& layer : s.layers) {
        for (size_t i = 0; i < layer.fillPaths.size(); ++i) {
            const QPainterPath& path = layer.fillPaths[i];
            if (path.isEmpty())
                continue;
            if (cache_.ownFiller() && fillDirect(p, path, m, m, layer.fills[i], cx))
                continue;
            const QBrush brush = brushFor(layer.fills[i], cx, m, m, path.boundingRect(), p.device());
            if (brush.style() == Qt::NoBrush)
                continue;
            // Brushes come as pictures on the device's own pixels: nothing to
            // interpolate.
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            fillPath(p, path, m, brush);
        }
        if (fillsOnly)
            continue;
        for (size_t i = 0; i < layer.linePaths.size(); ++i) {
            const QPainterPath& path = layer.linePaths[i];
            if (path.isEmpty())
                continue;
            const LineStyle& ls = layer.lines[i];
            FillStyle solid;
            solid.color = ls.color;
            // A line scales with its shape (widening along the stretch), but
            // never below one pixel. One that must not follow horizontal
            // scaling takes one width from the vertical scale (and the other
            // way round); one that follows neither keeps its width.
            //
            // Under an unequal scale, skew or rotation a line that follows
            // its shape is as thick as the shape is stretched across it
            // (an ellipse stretched sideways has thick sides and thin top
            // and bottom), and where that comes to less than a pixel it is
            // still a pixel wide: the stretched outline joined with a
            // one-pixel line along the same path.
            double px = ls.width * scale;
            bool cosmetic = true;
            bool widened = false;
            if (ls.noHScale && ls.noVScale) {
                px = ls.width / 20.0;
            } else if (ls.noHScale) {
                px = ls.width * std::hypot(m.m21(), m.m22());
            } else if (ls.noVScale) {
                px = ls.width * std::hypot(m.m11(), m.m12());
            } else {
                const auto [thinnest, thickest] = stretchRange(m);
                cosmetic = ls.width * thickest < kMinLinePixels;
                widened = !cosmetic && ls.width * thinnest < kMinLinePixels;
            }
            px = std::max(kMinLinePixels, px);
            const Qt::PenCapStyle cap = ls.startCap == 1 ? Qt::FlatCap : ls.startCap == 2 ? Qt::SquareCap : Qt::RoundCap;
            const Qt::PenJoinStyle join = ls.join == 1 ? Qt::BevelJoin : ls.join == 2 ? Qt::MiterJoin : Qt::RoundJoin;
            const double grow = std::max<double>(ls.width, scale > 0 ? px / scale : 0);
            const QRectF area = path.boundingRect().adjusted(-grow, -grow, grow, grow);
            if (!aa_) {
                // Without antialiasing a line is the outline it sweeps,
                // filled by the same pixel-centre rule as fills.
                QPainterPathStroker stroker;
                stroker.setCapStyle(cap);
                stroker.setJoinStyle(join);
                if (ls.join == 2)
                    stroker.setMiterLimit(std::max(1.0, ls.miterLimit));
                QPainterPath outline;
                QTransform drawTransform;
                // The line follows its path with the curves already cut
                // into straight pieces in the shape's own units.
                if (widened) {
                    outline = stretchedLine(stroker, ls.width, FlattenToLines(path, QTransform(), kCurveTolerance),
                                            m, FlattenToLines(path, m, kCurveTolerance));
                } else if (cosmetic) {
                    stroker.setWidth(px);
                    outline = stroker.createStroke(FlattenToLines(path, m, kCurveTolerance));
                } else {
                    stroker.setWidth(ls.width);
                    outline = stroker.createStroke(FlattenToLines(path, QTransform(), kCurveTolerance));
                    drawTransform = m;
                }
                const bool onDevice = cosmetic || widened;
                const QBrush brush = ls.fill ? brushFor(*ls.fill, cx, m, drawTransform,
                                                        onDevice ? m.inverted().map(outline).boundingRect() : area,
                                                        p.device())
                                             : QBrush(cx.apply(ls.color));
                if (brush.style() == Qt::NoBrush)
                    continue;
                FillPathAliased(p, outline, drawTransform, brush,
                                onDevice ? kCurveTolerance / 20 : kCurveTolerance);
                continue;
            }
            if (widened) {
                QPainterPathStroker stroker;
                stroker.setCapStyle(cap);
                stroker.setJoinStyle(join);
                if (ls.join == 2)
                    stroker.setMiterLimit(std::max(1.0, ls.miterLimit));
                const QPainterPath outline = stretchedLine(stroker, ls.width, path, m, m.map(path));
                if (cache_.ownFiller() && fillDirect(p, outline, QTransform(), m, ls.fill ? *ls.fill : solid, cx))
                    continue;
                const QBrush brush = ls.fill ? brushFor(*ls.fill, cx, m, QTransform(),
                                                        m.inverted().map(outline).boundingRect(), p.device())
                                             : QBrush(cx.apply(ls.color));
                if (brush.style() == Qt::NoBrush)
                    continue;
                p.setTransform(QTransform());
                p.setPen(Qt::NoPen);
                p.setBrush(brush);
                p.drawPath(outline);
                continue;
            }
            if (!cosmetic && cache_.ownFiller() && directTarget(p)) {
                // The outline the pen sweeps, as QPainter makes it for a
                // pen that scales with its shape.
                QPainterPathStroker stroker;
                stroker.setCapStyle(cap);
                stroker.setJoinStyle(join);
                if (ls.join == 2)
                    stroker.setMiterLimit(std::max(1.0, ls.miterLimit));
                stroker.setWidth(ls.width);
                fillDirect(p, stroker.createStroke(path), m, m, ls.fill ? *ls.fill : solid, cx);
                continue;
            }
            QPen pen;
            if (ls.fill)
                pen.setBrush(brushFor(*ls.fill, cx, m, m, area, p.device()));
            else
                pen.setColor(cx.apply(ls.color));
            if (cosmetic) {
                pen.setCosmetic(true);
                pen.setWidthF(px);
            } else {
                pen.setWidthF(ls.width);
            }
            pen.setCapStyle(cap);
            pen.setJoinStyle(join);
            if (ls.join == 2)
                pen.setMiterLimit(std::max(1.0, ls.miterLimit));
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.setTransform(m);
            p.drawPath(path);
        }
    }
}

bool Renderer::fillDirect(QPainter& p, const QPainterPath& path, const QTransform& toDevice,
                          const QTransform& shapeToDevice, const FillStyle& f, const ColorTransform& cx)
{
    QImage* img = directTarget(p);
    if (!img)
        return false;
    const QRect device = img->rect();
    // With antialiasing by the share of each pixel covered; without, whole
    // pixels by their centres, as FillPathAliased decides them.
    auto fill = [&](const QRect& clip, QRgb solid, SpanSource* source) {
        if (aa_)
            FillPolygonsAntialiased(*img, deviceContours(path, toDevice), path.fillRule(), clip, solid, source);
        else
            FillSpans(*img, RasterizePolygons(FlattenPath(path, toDevice, kCurveTolerance), path.fillRule(), device),
                      solid, source);
    };
    if (f.type == FillStyle::Solid) {
        fill(device, premultipliedColour(cx.apply(f.color)), nullptr);
        return true;
    }
    // Colours are worked out from the corner of the area the shape may
    // cover, as they are for QPainter's brushes.
    const QRect r = toDevice.mapRect(path.boundingRect()).toAlignedRect().adjusted(-1, -1, 1, 1) & device;
    if (r.isEmpty())
        return true;
    if (f.isGradient()) {
        const GradientRamp ramp = BuildGradientRamp(f.gradient, cx);
        GradientSource source(r.topLeft(), f, ramp, f.matrix.toQt() * shapeToDevice, aa_ ? 0.0 : 0.5);
        fill(r, 0, &source);
        return true;
    }
    const BitmapCharacter* bmp = movie_.get<BitmapCharacter>(f.bitmapId);
    if (!bmp || bmp->image.isNull())
        return true;
    const bool repeat = f.type == FillStyle::RepeatingBitmap || f.type == FillStyle::RepeatingBitmapHard;
    const bool smoothed = aa_ && (f.type == FillStyle::RepeatingBitmap || f.type == FillStyle::ClippedBitmap);
    BitmapSource source(r.topLeft(), cache_.transformedBitmap(*bmp, cx), f.matrix.toQt() * shapeToDevice, repeat,
                        smoothed);
    fill(r, 0, &source);
    return true;
}

void Renderer::fillPath(QPainter& p, const QPainterPath& path, const QTransform& toDevice, const QBrush& brush) const
{
    if (aa_ && cache_.ownFiller() && brush.style() == Qt::SolidPattern) {
        if (QImage* img = directTarget(p)) {
            FillPolygonsAntialiased(*img, deviceContours(path, toDevice), path.fillRule(), img->rect(),
                                    premultipliedColour(brush.color()));
            return;
        }
    }
    if (!aa_ && cache_.ownFiller() && brush.style() == Qt::SolidPattern) {
        if (QImage* img = directTarget(p)) {
            FillSpans(*img, RasterizePolygons(FlattenPath(path, toDevice, kCurveTolerance), path.fillRule(), img->rect()),
                      premultipliedColour(brush.color()));
            return;
        }
    }
    if (aa_) {
        p.setTransform(toDevice);
        p.setPen(Qt::NoPen);
        p.setBrush(brush);
        p.drawPath(path);
        return;
    }
    const QTransform keep = p.transform();
    FillPathAliased(p, path, toDevice, brush);
    p.setTransform(keep);
}

void Renderer::drawShapeCached(QPainter& p, const CompiledShape& s, const QTransform& m, const ColorTransform& cx,
                               bool fillsOnly)
{
    // Strokes may reach past the bounds by a hairline's pixel.
    const QRectF device = m.mapRect(s.bounds).adjusted(-2, -2, 2, 2);
    const QRect target(0, 0, p.device()->width(), p.device()->height());
    if (device.isEmpty() || !device.intersects(target) || device.width() * device.height() > 4.0e6 ||
        device.width() > 8192 || device.height() > 8192) {
        if (device.intersects(target))
            drawShape(p, s, m, cx, fillsOnly);
        return;
    }
    const double ix = std::floor(m.dx()), iy = std::floor(m.dy());
    const RenderCache::ShapeKey key{&s, m.m11(), m.m12(), m.m21(), m.m22(), m.dx() - ix, m.dy() - iy, cx, aa_, fillsOnly,
                                    cache_.ownFiller()};
    const RenderCache::ShapePicture* pic = cache_.reuse() ? cache_.findShape(key) : nullptr;
    const QTransform local(m.m11(), m.m12(), m.m21(), m.m22(), key.fx, key.fy);
    auto drawInto = [&](QImage& img, const QRect& r) {
        QPainter lp;
        begin(lp, img);
        drawShape(lp, s, local * QTransform::fromTranslate(-r.x(), -r.y()), cx, fillsOnly);
    };
    p.resetTransform();
    if (!pic) {
        const QRect r = local.mapRect(s.bounds).adjusted(-2, -2, 2, 2).toAlignedRect();
        if (!cache_.reuse() || !cache_.seenBefore(key)) {
            // Drawn once at this key so far: drawn the same way, into
            // memory that is used again, and not kept; only the part that
            // lies on the picture.
            const QPoint shift{int(ix), int(iy)};
            const QRect seen = (r.translated(shift) & target).translated(-shift);
            if (seen.isEmpty())
                return;
            QImage once = cache_.scratchLayer(seen.size());
            drawInto(once, seen);
            p.drawImage(seen.topLeft() + shift, once);
            return;
        }
        RenderCache::ShapePicture fresh;
        fresh.image = newLayer(r);
        fresh.origin = r.topLeft();
        drawInto(fresh.image, r);
        pic = &cache_.storeShape(key, std::move(fresh));
    }
    p.drawImage(pic->origin + QPoint(int(ix), int(iy)), pic->image);
}

// A video's picture fills its Width x Height pixels. It is smoothed only
// at high quality: by the stream's own flag in movies of version 8 and
// up; in older ones (which had no say) only when the stream is a single
// picture, as the Flash Player draws them.
void Renderer::drawVideo(QPainter& p, const VideoCharacter& v, int frame, const QTransform& m,
                         const ColorTransform& cx)
{
    QImage img = cache_.videoPicture(v, frame);
    if (img.isNull())
        return;
    if (!cx.isIdentity()) {
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                line[x] = qPremultiply(cx.apply(qUnpremultiply(line[x])));
        }
    }
    const double w = v.width > 0 ? v.width : img.width();
    const double h = v.height > 0 ? v.height : img.height();
    p.save();
    p.setTransform(QTransform::fromScale(w * 20 / img.width(), h * 20 / img.height()) * m);
    const bool smooth = movie_.info.version >= 8 ? v.smoothing : v.frames.size() == 1;
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth && aa_);
    p.drawImage(0, 0, img);
    p.restore();
}

void Renderer::drawScriptBitmap(QPainter& p, const DisplayObject& o, const QTransform& m, const ColorTransform& cx,
                                bool maskMode)
{
    QImage img = o.bitmap->image;
    if (img.isNull())
        return;
    if (maskMode) {
        img.fill(Qt::white);
    } else if (!cx.isIdentity()) {
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                line[x] = qPremultiply(cx.apply(qUnpremultiply(line[x])));
        }
    }
    // One bitmap pixel is 20 twips.
    p.save();
    p.setTransform(QTransform::fromScale(20, 20) * m);
    p.setRenderHint(QPainter::SmoothPixmapTransform, o.bitmapSmoothing && aa_);
    p.drawImage(0, 0, img);
    p.restore();
}

void Renderer::drawText(QPainter& p, const TextCharacter& t, const QTransform& m, const ColorTransform& cx)
{
    const QTransform tm = t.matrix.toQt() * m;
    p.setPen(Qt::NoPen);
    for (const TextRecord& rec : t.records) {
        const FontCharacter* font = movie_.get<FontCharacter>(rec.fontId);
        if (!font)
            continue;
        const double scale = rec.height / font->emSquare;
        const QBrush brush(cx.apply(rec.color));
        double x = rec.x;
        for (const TextGlyph& g : rec.glyphs) {
            if (g.index >= 0 && size_t(g.index) < font->glyphs.size())
                fillPath(p, font->glyphs[size_t(g.index)],
                         QTransform::fromScale(scale, scale) * QTransform::fromTranslate(x, rec.y) * tm, brush);
            x += g.advance;
        }
    }
}

// An edit field's glyph advance in twips: the font's advance at the run's
// size, cut to whole twips as the Flash Player lays text out.
double glyphAdvance(const FontCharacter& font, int glyph, double scale)
{
    if (glyph < 0 || size_t(glyph) >= font.advances.size())
        return 0;
    return std::trunc(font.advances[size_t(glyph)] * scale);
}

// One run of text with one format, from an edit field's text or HTML.
struct TextRun {
    QString text;
    const FontCharacter* font = nullptr;   // null or without glyphs: a device font
    QString face;
    bool bold = false, italic = false;
    double size = 240;   // twips
    QColor color;
    bool underline = false;
    double letterSpacing = 0;   // twips after each character
    bool embedded() const { return font && !font->glyphs.empty(); }
};

// The desktop's fonts are there only in a GUI application; without one,
// text in device fonts is left out of the picture.
bool deviceFontsAvailable()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// The desktop's font for a run in a device font, sized in twips. The
// Flash Player's generic names go to the desktop's generic families; a
// field without a font gets the serif face, as in the Flash Player.
QFont deviceFont(const TextRun& r)
{
    // Callers check deviceFontsAvailable() first.
    QString family = r.face;
    if (family.isEmpty() || family == QLatin1String("_serif"))
        family = QStringLiteral("serif");
    else if (family == QLatin1String("_sans"))
        family = QStringLiteral("sans-serif");
    else if (family == QLatin1String("_typewriter"))
        family = QStringLiteral("monospace");
    QFont font(family);
    font.setPixelSize(int(std::lround(std::clamp(std::isfinite(r.size) ? r.size : 240.0, 1.0, 20000.0))));
    font.setBold(r.bold);
    font.setItalic(r.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

// A run in a device font as drawn: its outline from the origin, its advance
// and the font's ascent and descent, all in twips. Outlines come from the
// font files through FreeType, which costs more than drawing them, so the
// runs seen lately are kept.
struct DeviceRun {
    QPainterPath outline;
    double advance = 0, ascent = 0, descent = 0;
};
const DeviceRun& deviceRun(const TextRun& r)
{
    thread_local QHash<QString, DeviceRun> runs;
    const QString key = r.face + QLatin1Char('\n') + QString::number(r.size) + QLatin1Char(r.bold ? 'b' : '-') +
                        QLatin1Char(r.italic ? 'i' : '-') + QLatin1Char('\n') + r.text;
    if (const auto it = runs.constFind(key); it != runs.constEnd())
        return *it;
    if (runs.size() >= 1024)
        runs.clear();
    const QFont font = deviceFont(r);
    const QFontMetricsF fm(font);
    DeviceRun run;
    run.outline.setFillRule(Qt::WindingFill);
    run.outline.addText(QPointF(0, 0), font, r.text);
    run.advance = fm.horizontalAdvance(r.text);
    run.ascent = fm.ascent();
    run.descent = fm.descent();
    return *runs.insert(key, std::move(run));
}
struct TextLine {
    std::vector<TextRun> runs;
    int align = 0;
    bool fromField = false;   // margins and leading below are the line's own (twips)
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
};

const FontCharacter* findFont(const Movie& movie, const QString& name, bool bold, bool italic,
                              const FontCharacter* fallback)
{
    const FontCharacter* byName = nullptr;
    for (const auto& [id, c] : movie.dictionary) {
        if (c->kind() != CharacterKind::Font)
            continue;
        const auto* f = static_cast<const FontCharacter*>(c.get());
        if (f->glyphs.empty() || f->name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (f->bold == bold && f->italic == italic)
            return f;
        if (!byName)
            byName = f;
    }
    return byName ? byName : fallback;
}

QString decodeEntities(QString s)
{
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&apos;"), QLatin1String("'"));
    s.replace(QLatin1String("&nbsp;"), QString(QChar(0xa0)));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}

QString attribute(const QString& tag, const QString& name)
{
    static const QRegularExpression re(QStringLiteral("(\\w+)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|(\\S+))"));
    auto it = re.globalMatch(tag);
    while (it.hasNext()) {
        const auto mt = it.next();
        if (mt.captured(1).compare(name, Qt::CaseInsensitive) == 0)
            return mt.captured(2) + mt.captured(3) + mt.captured(4);
    }
    return {};
}

// Splits the field's text into lines of formatted runs. HTML knows
// <b>, <i>, <font face size color>, <p align>, <br> and entities.
std::vector<TextLine> layoutRuns(const Movie& movie, const EditTextCharacter& t, const FontCharacter* base)
{
    struct Format {
        QString face;
        bool bold = false, italic = false;
        double size = 240;
        QColor color;
    };
    Format f;
    f.face = base ? base->name : QString();
    // HTML text sets bold and italic by its own tags.
    f.bold = !t.html && base && base->bold;
    f.italic = !t.html && base && base->italic;
    f.size = t.fontHeight;
    f.color = t.color;
    std::vector<Format> stack;
    std::vector<TextLine> lines(1);
    lines.back().align = t.align;
    auto addRun = [&](const QString& text) {
        if (text.isEmpty())
            return;
        TextRun r;
        r.text = text;
        r.font = findFont(movie, f.face, f.bold, f.italic, base);
        r.face = f.face;
        r.bold = f.bold;
        r.italic = f.italic;
        r.size = f.size;
        r.color = f.color;
        lines.back().runs.push_back(r);
    };
    auto newLine = [&] {
        const int align = lines.back().align;
        lines.emplace_back();
        lines.back().align = align;
    };
    const QString& src = t.text;
    QString buf;
    for (qsizetype i = 0; i < src.size(); ++i) {
        const QChar ch = src[i];
        if (t.html && ch == u'<') {
            const qsizetype end = src.indexOf(u'>', i);
            if (end < 0)
                break;
            const QString tag = src.mid(i + 1, end - i - 1).trimmed();
            i = end;
            addRun(decodeEntities(buf));
            buf.clear();
            const bool closing = tag.startsWith(u'/');
            const QString name = (closing ? tag.mid(1) : tag).section(u' ', 0, 0).toLower();
            if (name == QLatin1String("br")) {
                newLine();
            } else if (name == QLatin1String("p") || name == QLatin1String("li")) {
                if (closing) {
                    newLine();
                } else {
                    const QString al = attribute(tag, QStringLiteral("align")).toLower();
                    if (!lines.back().runs.empty())
                        newLine();
                    lines.back().align = al == QLatin1String("right") ? 1 : al == QLatin1String("center") ? 2 : al == QLatin1String("justify") ? 3 : al == QLatin1String("left") ? 0 : lines.back().align;
                }
            } else if (name == QLatin1String("b") || name == QLatin1String("i") || name == QLatin1String("font") ||
                       name == QLatin1String("u") || name == QLatin1String("a") || name == QLatin1String("span") ||
                       name == QLatin1String("textformat")) {
                if (closing) {
                    if (!stack.empty()) {
                        f = stack.back();
                        stack.pop_back();
                    }
                } else {
                    stack.push_back(f);
                    if (name == QLatin1String("b"))
                        f.bold = true;
                    else if (name == QLatin1String("i"))
                        f.italic = true;
                    else if (name == QLatin1String("font")) {
                        const QString face = attribute(tag, QStringLiteral("face"));
                        if (!face.isEmpty())
                            f.face = face;
                        bool ok = false;
                        const double size = attribute(tag, QStringLiteral("size")).toDouble(&ok);
                        if (ok && size > 0)
                            f.size = size * 20;
                        const QString color = attribute(tag, QStringLiteral("color"));
                        if (QColor::isValidColorName(color))
                            f.color = QColor::fromString(color);
                    }
                }
            }
            continue;
        }
        if (ch == u'\r' || ch == u'\n') {
            addRun(t.html ? decodeEntities(buf) : buf);
            buf.clear();
            newLine();
            if (ch == u'\r' && i + 1 < src.size() && src[i + 1] == u'\n')
                ++i;
            continue;
        }
        buf += ch;
    }
    addRun(t.html ? decodeEntities(buf) : buf);
    if (lines.size() > 1 && lines.back().runs.empty())
        lines.pop_back();
    return lines;
}

// Lines of a field's formatted text: a paragraph per line, laid out by
// the format of its first character; a password field shows asterisks.
std::vector<TextLine> layoutSpans(const Movie& movie, const TextFieldState& st, const FontCharacter* base)
{
    std::vector<TextLine> lines;
    auto startLine = [&](const SpanFormat& f) {
        TextLine l;
        l.align = f.align;
        l.fromField = true;
        l.leftMargin = (f.leftMargin + f.blockIndent) * 20;
        l.rightMargin = f.rightMargin * 20;
        l.indent = f.indent * 20;
        l.leading = f.leading * 20;
        lines.push_back(l);
    };
    const SpanFormat first = st.formatAt(0, st.newFormat);
    startLine(first);
    int pos = 0;
    auto addRun = [&](const QString& text, const SpanFormat& f) {
        if (text.isEmpty())
            return;
        TextRun r;
        r.text = st.password ? QString(text.size(), u'*') : text;
        r.face = f.font;
        r.bold = f.bold;
        r.italic = f.italic;
        r.font = findFont(movie, f.font, f.bold, f.italic, base);
        r.size = f.size * 20;
        r.color = QColor::fromRgb(f.color);
        r.underline = f.underline;
        r.letterSpacing = f.letterSpacing * 20;
        lines.back().runs.push_back(r);
    };
    for (const TextSpan& span : st.spans) {
        qsizetype start = pos;
        for (qsizetype i = pos; i < pos + span.length && i < st.text.size(); ++i) {
            if (st.text[i] != u'\r' && st.text[i] != u'\n')
                continue;
            addRun(st.text.mid(start, i - start), span.format);
            startLine(st.formatAt(int(i + 1), span.format));
            start = i + 1;
        }
        addRun(st.text.mid(start, pos + span.length - start), span.format);
        pos += span.length;
    }
    if (lines.size() > 1 && lines.back().runs.empty())
        lines.pop_back();
    return lines;
}

struct LineMetrics {
    double ascent = 0, descent = 0, width = 0;
    bool measured = true;   // false: a line in a device font where there are none
};

// Ascent, descent and width of a line in twips; an empty line takes the
// height of the field's font.
LineMetrics measureLine(const TextLine& line, const FontCharacter* base, const QString& emptyFace, double emptySize)
{
    LineMetrics lm;
    for (const TextRun& r : line.runs) {
        if (!r.embedded()) {
            if (!deviceFontsAvailable())
                continue;
            const DeviceRun& run = deviceRun(r);
            lm.ascent = std::max(lm.ascent, run.ascent);
            lm.descent = std::max(lm.descent, run.descent);
            lm.width += run.advance;
            continue;
        }
        const double scale = r.size / r.font->emSquare;
        lm.ascent = std::max(lm.ascent, r.font->hasLayout ? r.font->ascent * scale : r.size * 0.8);
        lm.descent = std::max(lm.descent, r.font->hasLayout ? r.font->descent * scale : r.size * 0.2);
        for (const QChar ch : r.text)
            lm.width += glyphAdvance(*r.font, r.font->glyphIndex(ch.unicode()), scale) + r.letterSpacing;
    }
    if (line.runs.empty() && (!base || base->glyphs.empty())) {
        if (!deviceFontsAvailable()) {
            lm.measured = false;
            return lm;
        }
        TextRun empty;
        empty.face = emptyFace;
        empty.size = emptySize;
        const DeviceRun& run = deviceRun(empty);
        lm.ascent = run.ascent;
        lm.descent = run.descent;
    } else if (line.runs.empty()) {
        const double scale = emptySize / base->emSquare;
        lm.ascent = base->hasLayout ? base->ascent * scale : emptySize * 0.8;
        lm.descent = base->hasLayout ? base->descent * scale : emptySize * 0.2;
    }
    return lm;
}

// A run's underline: a line a twentieth of its size thick, just below the baseline.
void drawUnderline(QPainter& p, double from, double to, double baseline, const TextRun& r, const QTransform& m,
               const ColorTransform& cx)
{
    QPainterPath path;
    const double thick = std::max(20.0, r.size / 20);
    path.addRect(QRectF(from, baseline + thick, to - from, thick));
    p.setTransform(m);
    p.fillPath(path, QBrush(cx.apply(r.color)));
}

void Renderer::drawEditText(QPainter& p, const EditTextCharacter& t, const QTransform& m, const ColorTransform& cx,
                            const TextFieldState* state)
{
    const QRectF box(t.bounds.xMin, t.bounds.yMin, t.bounds.xMax - t.bounds.xMin, t.bounds.yMax - t.bounds.yMin);
    p.setTransform(m);
    const QColor borderColor = state ? state->borderColor : QColor(Qt::black);
    const QColor backgroundColor = state ? state->backgroundColor : QColor(Qt::white);
    if (state && !state->border && state->background) {
        p.setPen(Qt::NoPen);
        p.setBrush(cx.apply(backgroundColor));
        p.drawRect(box);
    }
    if (state ? state->border : t.border) {
        if (!aa_ && m.m12() == 0 && m.m21() == 0 && m.m11() > 0 && m.m22() > 0) {
            // Without antialiasing the Flash Player draws the frame as one
            // pixel lines along the box's top and left edges, and along its
            // right and bottom edges short of the bottom-right corner.
            const QRectF d = m.mapRect(box);
            // A field far off the picture is kept to a range that whole
            // pixel numbers can hold.
            auto pixel = [](double v) { return std::isfinite(v) ? int(std::clamp(std::floor(v), -1.0e6, 1.0e6)) : 0; };
            const int l = pixel(d.left()), tp = pixel(d.top());
            const int r = pixel(d.right()), b = pixel(d.bottom());
            p.resetTransform();
            p.setPen(Qt::NoPen);
            if (!state || state->background) {
                p.setBrush(cx.apply(backgroundColor));
                p.drawRect(QRect(l, tp, r - l, b - tp));
            }
            p.setBrush(cx.apply(borderColor));
            p.drawRect(QRect(l, tp, r - l + 1, 1));
            p.drawRect(QRect(l, tp, 1, b - tp + 1));
            p.drawRect(QRect(r, tp, 1, b - tp));
            p.drawRect(QRect(l, b, r - l, 1));
            p.setTransform(m);
        } else {
            QPen pen(cx.apply(borderColor));
            pen.setCosmetic(true);
            pen.setWidthF(1);
            p.setPen(pen);
            if (!state || state->background)
                p.setBrush(cx.apply(backgroundColor));
            else
                p.setBrush(Qt::NoBrush);
            p.drawRect(box);
        }
    }
    const FontCharacter* base = t.hasFont ? movie_.get<FontCharacter>(t.fontId) : nullptr;
    p.setPen(Qt::NoPen);
    const std::vector<TextLine> lines = state ? layoutSpans(movie_, *state, base) : layoutRuns(movie_, t, base);
    const QString emptyFace = state ? state->newFormat.font : base ? base->name : QString();
    const double emptySize = state ? state->newFormat.size * 20 : t.fontHeight;
    // Text starts inside a 2-pixel gutter.
    double top = box.top() + 40;
    for (const TextLine& line : lines) {
        const LineMetrics lm = measureLine(line, base, emptyFace, emptySize);
        if (!lm.measured)
            break;
        const double ascent = lm.ascent, descent = lm.descent, width = lm.width;
        const double baseline = top + ascent;
        const double leftMargin = line.fromField ? line.leftMargin : t.leftMargin;
        const double rightMargin = line.fromField ? line.rightMargin : t.rightMargin;
        const double indent = line.fromField ? line.indent : t.indent;
        double x = box.left() + 40 + leftMargin + indent;
        const double avail = box.width() - 80 - leftMargin - rightMargin;
        if (line.align == 1)
            x += avail - width;
        else if (line.align == 2)
            x += (avail - width) / 2;
        for (const TextRun& r : line.runs) {
            if (!r.embedded()) {
                if (!deviceFontsAvailable())
                    continue;
                const DeviceRun& run = deviceRun(r);
                fillPath(p, run.outline, QTransform::fromTranslate(x, baseline) * m, QBrush(cx.apply(r.color)));
                if (r.underline)
                    drawUnderline(p, x, x + run.advance, baseline, r, m, cx);
                x += run.advance;
                continue;
            }
            const double scale = r.size / r.font->emSquare;
            const QBrush brush(cx.apply(r.color));
            const double runStart = x;
            for (const QChar ch : r.text) {
                const int gi = r.font->glyphIndex(ch.unicode());
                if (gi >= 0 && size_t(gi) < r.font->glyphs.size())
                    fillPath(p, r.font->glyphs[size_t(gi)],
                             QTransform::fromScale(scale, scale) * QTransform::fromTranslate(x, baseline) * m, brush);
                x += glyphAdvance(*r.font, gi, scale) + r.letterSpacing;
            }
            if (r.underline)
                drawUnderline(p, runStart, x, baseline, r, m, cx);
        }
        top += ascent + descent + (line.fromField ? line.leading : t.leading);
    }
}

} // namespace

QSizeF MeasureFieldText(const Movie& movie, const TextFieldState& state, const FontCharacter* base)
{
    QSizeF size;
    const std::vector<TextLine> lines = layoutSpans(movie, state, base);
    for (size_t i = 0; i < lines.size(); ++i) {
        const LineMetrics lm = measureLine(lines[i], base, state.newFormat.font, state.newFormat.size * 20);
        size.setWidth(std::max(size.width(), lm.width));
        size.setHeight(size.height() + lm.ascent + lm.descent + lines[i].leading);
    }
    return size;
}

void RenderDisplayList(const Movie& movie, const DisplayList& list, QImage& target,
                       const QTransform& twipsToDevice, bool antialias, RenderCache& cache)
{
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.setRenderHint(QPainter::SmoothPixmapTransform, antialias);
    Renderer r(movie, antialias, cache, transformScale(twipsToDevice) * 20, target.size());
    r.drawList(p, list, twipsToDevice, ColorTransform());
}

} // namespace plovex::swf

#include "swf/writer.h"

#include <QPolygonF>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plovex::swf {

// --- BitWriter -------------------------------------------------------------

void BitWriter::ub(uint32_t value, int bits)
{
    for (int i = bits - 1; i >= 0; --i) {
        bitBuf_ = (bitBuf_ << 1) | ((value >> i) & 1);
        if (++bitCount_ == 8) {
            out_.append(char(bitBuf_ & 0xff));
            bitBuf_ = 0;
            bitCount_ = 0;
        }
    }
}

void BitWriter::sb(int32_t value, int bits)
{
    ub(uint32_t(value) & (bits >= 32 ? 0xffffffffu : ((1u << bits) - 1)), bits);
}

void BitWriter::align()
{
    if (bitCount_ > 0)
        ub(0, 8 - bitCount_);
}

void BitWriter::u8(uint8_t v)
{
    align();
    out_.append(char(v));
}

void BitWriter::u16(uint16_t v)
{
    u8(uint8_t(v));
    u8(uint8_t(v >> 8));
}

void BitWriter::u32(uint32_t v)
{
    u16(uint16_t(v));
    u16(uint16_t(v >> 16));
}

void BitWriter::f32(float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    u32(u);
}

void BitWriter::bytes(const QByteArray& b)
{
    align();
    out_.append(b);
}

void BitWriter::string(const QString& s)
{
    bytes(s.toUtf8());
    u8(0);
}

void BitWriter::rgb(const QColor& c)
{
    u8(uint8_t(c.red()));
    u8(uint8_t(c.green()));
    u8(uint8_t(c.blue()));
}

void BitWriter::rgba(const QColor& c)
{
    rgb(c);
    u8(uint8_t(c.alpha()));
}

int BitWriter::signedBits(int64_t v)
{
    int n = 1;
    while (n < 32 && (v < -(int64_t(1) << (n - 1)) || v >= (int64_t(1) << (n - 1))))
        ++n;
    return n;
}

int BitWriter::unsignedBits(uint64_t v)
{
    int n = 0;
    while (n < 32 && v >= (uint64_t(1) << n))
        ++n;
    return n;
}

void BitWriter::rect(const Rect& r)
{
    align();
    const int n = std::max({signedBits(r.xMin), signedBits(r.xMax), signedBits(r.yMin), signedBits(r.yMax)});
    ub(uint32_t(n), 5);
    sb(r.xMin, n);
    sb(r.xMax, n);
    sb(r.yMin, n);
    sb(r.yMax, n);
    align();
}

void BitWriter::matrix(const Matrix& m)
{
    align();
    auto fx = [](double v) { return int32_t(std::lround(v * 65536)); };
    const bool hasScale = m.a != 1 || m.d != 1;
    ub(hasScale, 1);
    if (hasScale) {
        const int n = std::max(signedBits(fx(m.a)), signedBits(fx(m.d)));
        ub(uint32_t(n), 5);
        sb(fx(m.a), n);
        sb(fx(m.d), n);
    }
    const bool hasRotate = m.b != 0 || m.c != 0;
    ub(hasRotate, 1);
    if (hasRotate) {
        const int n = std::max(signedBits(fx(m.b)), signedBits(fx(m.c)));
        ub(uint32_t(n), 5);
        sb(fx(m.b), n);
        sb(fx(m.c), n);
    }
    const int tx = int(std::lround(m.tx)), ty = int(std::lround(m.ty));
    const int n = (tx == 0 && ty == 0) ? 0 : std::max(signedBits(tx), signedBits(ty));
    ub(uint32_t(n), 5);
    sb(tx, n);
    sb(ty, n);
    align();
}

void BitWriter::colorTransform(const ColorTransform& c, bool withAlpha)
{
    align();
    auto m8 = [](double v) { return int32_t(std::lround(v * 256)); };
    auto a = [](double v) { return int32_t(std::lround(v)); };
    const bool hasMult = c.rm != 1 || c.gm != 1 || c.bm != 1 || (withAlpha && c.am != 1);
    const bool hasAdd = c.ra != 0 || c.ga != 0 || c.ba != 0 || (withAlpha && c.aa != 0);
    int n = 1;
    if (hasMult)
        n = std::max({n, signedBits(m8(c.rm)), signedBits(m8(c.gm)), signedBits(m8(c.bm)),
                      withAlpha ? signedBits(m8(c.am)) : 1});
    if (hasAdd)
        n = std::max({n, signedBits(a(c.ra)), signedBits(a(c.ga)), signedBits(a(c.ba)),
                      withAlpha ? signedBits(a(c.aa)) : 1});
    ub(hasAdd, 1);
    ub(hasMult, 1);
    ub(uint32_t(n), 4);
    if (hasMult) {
        sb(m8(c.rm), n);
        sb(m8(c.gm), n);
        sb(m8(c.bm), n);
        if (withAlpha)
            sb(m8(c.am), n);
    }
    if (hasAdd) {
        sb(a(c.ra), n);
        sb(a(c.ga), n);
        sb(a(c.ba), n);
        if (withAlpha)
            sb(a(c.aa), n);
    }
    align();
}

QByteArray BitWriter::data() const
{
    QByteArray d = out_;
    if (bitCount_ > 0)
        d.append(char((bitBuf_ << (8 - bitCount_)) & 0xff));
    return d;
}

// --- Shapes ------------------------------------------------------------------

int ShapeBuilder::addFill(const FillStyle& f)
{
    shape_.layers.back().fills.push_back(f);
    return int(shape_.layers.back().fills.size());
}

int ShapeBuilder::addLine(const LineStyle& l)
{
    shape_.layers.back().lines.push_back(l);
    return int(shape_.layers.back().lines.size());
}

ShapeRecordPath& ShapeBuilder::path()
{
    auto& paths = shape_.layers.back().paths;
    if (paths.empty() || paths.back().fill0 != f0_ || paths.back().fill1 != f1_ || paths.back().line != ln_ ||
        (!paths.back().edges.empty() && paths.back().edges.back().to != pen_)) {
        ShapeRecordPath p;
        p.fill0 = f0_;
        p.fill1 = f1_;
        p.line = ln_;
        paths.push_back(p);
    }
    return paths.back();
}

ShapeBuilder& ShapeBuilder::style(int fill0, int fill1, int line)
{
    f0_ = fill0;
    f1_ = fill1;
    ln_ = line;
    return *this;
}

ShapeBuilder& ShapeBuilder::newLayer()
{
    shape_.layers.emplace_back();
    f0_ = f1_ = ln_ = 0;
    return *this;
}

ShapeBuilder& ShapeBuilder::moveTo(double x, double y)
{
    pen_ = QPointF(std::round(x), std::round(y));
    return *this;
}

ShapeBuilder& ShapeBuilder::lineTo(double x, double y)
{
    Edge e;
    e.from = pen_;
    e.to = QPointF(std::round(x), std::round(y));
    path().edges.push_back(e);
    pen_ = e.to;
    return *this;
}

ShapeBuilder& ShapeBuilder::curveTo(double cx, double cy, double x, double y)
{
    Edge e;
    e.from = pen_;
    e.control = QPointF(std::round(cx), std::round(cy));
    e.to = QPointF(std::round(x), std::round(y));
    e.curved = true;
    path().edges.push_back(e);
    pen_ = e.to;
    return *this;
}

ShapeBuilder& ShapeBuilder::rect(const QRectF& r)
{
    moveTo(r.left(), r.top());
    lineTo(r.right(), r.top());
    lineTo(r.right(), r.bottom());
    lineTo(r.left(), r.bottom());
    lineTo(r.left(), r.top());
    return *this;
}

ShapeBuilder& ShapeBuilder::ellipse(const QRectF& r)
{
    const QPointF c = r.center();
    const double rx = r.width() / 2, ry = r.height() / 2;
    const double k = std::tan(M_PI / 8);
    moveTo(c.x() + rx, c.y());
    for (int i = 0; i < 8; ++i) {
        const double a0 = i * M_PI / 4, a1 = (i + 1) * M_PI / 4, am = (a0 + a1) / 2;
        const double cr = std::sqrt(1 + k * k);
        curveTo(c.x() + rx * cr * std::cos(am), c.y() + ry * cr * std::sin(am), c.x() + rx * std::cos(a1),
                c.y() + ry * std::sin(a1));
    }
    return *this;
}

ShapeBuilder& ShapeBuilder::polygon(const QPolygonF& points)
{
    if (points.isEmpty())
        return *this;
    moveTo(points.front().x(), points.front().y());
    for (int i = 1; i < points.size(); ++i)
        lineTo(points[i].x(), points[i].y());
    lineTo(points.front().x(), points.front().y());
    return *this;
}

ShapeData ShapeBuilder::build() const
{
    ShapeData s = shape_;
    QRectF b;
    bool any = false;
    for (const auto& layer : s.layers)
        for (const auto& p : layer.paths) {
            double half = 0;
            if (p.line > 0 && size_t(p.line) <= layer.lines.size())
                half = layer.lines[size_t(p.line - 1)].width / 2.0;
            for (const Edge& e : p.edges) {
                QRectF eb = QRectF(e.from, e.to).normalized();
                if (e.curved)
                    eb = eb.united(QRectF(e.control, e.control));
                eb.adjust(-half, -half, half, half);
                b = any ? b.united(eb) : eb;
                any = true;
            }
        }
    s.bounds = Rect{int(std::floor(b.left())), int(std::ceil(b.right())), int(std::floor(b.top())),
                    int(std::ceil(b.bottom()))};
    return s;
}

FillStyle SolidFill(const QColor& c)
{
    FillStyle f;
    f.type = FillStyle::Solid;
    f.color = c;
    return f;
}

FillStyle LinearGradientFill(const Matrix& m, std::vector<GradientRecord> stops)
{
    FillStyle f;
    f.type = FillStyle::Linear;
    f.matrix = m;
    f.gradient.records = std::move(stops);
    return f;
}

FillStyle RadialGradientFill(const Matrix& m, std::vector<GradientRecord> stops)
{
    FillStyle f = LinearGradientFill(m, std::move(stops));
    f.type = FillStyle::Radial;
    return f;
}

FillStyle BitmapFill(int bitmapId, const Matrix& m, bool clipped, bool smooth)
{
    FillStyle f;
    f.type = clipped ? (smooth ? FillStyle::ClippedBitmap : FillStyle::ClippedBitmapHard)
                     : (smooth ? FillStyle::RepeatingBitmap : FillStyle::RepeatingBitmapHard);
    f.bitmapId = bitmapId;
    f.matrix = m;
    return f;
}

LineStyle SolidLine(int widthTwips, const QColor& c)
{
    LineStyle l;
    l.width = widthTwips;
    l.color = c;
    return l;
}

Matrix Translate(double x, double y)
{
    Matrix m;
    m.tx = x;
    m.ty = y;
    return m;
}

Matrix ScaleRotate(double sx, double sy, double r, double x, double y)
{
    Matrix m;
    m.a = sx * std::cos(r);
    m.b = sx * std::sin(r);
    m.c = -sy * std::sin(r);
    m.d = sy * std::cos(r);
    m.tx = x;
    m.ty = y;
    return m;
}

PlaceObject PlaceNew(int characterId, int depth, const Matrix& m)
{
    PlaceObject p;
    p.version = 2;
    p.characterId = characterId;
    p.depth = depth;
    p.matrix = m;
    return p;
}

PlaceObject PlaceMove(int depth, const Matrix& m)
{
    PlaceObject p;
    p.version = 2;
    p.move = true;
    p.depth = depth;
    p.matrix = m;
    return p;
}

static void writeFill(BitWriter& w, const FillStyle& f, int v)
{
    w.u8(uint8_t(f.type));
    if (f.type == FillStyle::Solid) {
        if (v >= 3)
            w.rgba(f.color);
        else
            w.rgb(f.color);
    } else if (f.isGradient()) {
        w.matrix(f.matrix);
        const auto& recs = f.gradient.records;
        const int n = int(std::min<size_t>(recs.size(), 15));
        w.ub(uint32_t(f.gradient.spread), 2);
        w.ub(uint32_t(f.gradient.interpolation), 2);
        w.ub(uint32_t(n), 4);
        for (int i = 0; i < n; ++i) {
            w.u8(uint8_t(recs[size_t(i)].ratio));
            if (v >= 3)
                w.rgba(recs[size_t(i)].color);
            else
                w.rgb(recs[size_t(i)].color);
        }
        if (f.type == FillStyle::Focal)
            w.fixed8(f.gradient.focal);
    } else {
        w.u16(uint16_t(f.bitmapId));
        w.matrix(f.matrix);
    }
}

QByteArray EncodeFillStyle(const FillStyle& f, int v)
{
    BitWriter w;
    writeFill(w, f, v);
    return w.data();
}

static void writeStyles(BitWriter& w, const ShapeLayer& layer, int v)
{
    auto count = [&](size_t n) {
        if (n >= 0xff && v >= 2) {
            w.u8(0xff);
            w.u16(uint16_t(n));
        } else {
            w.u8(uint8_t(n));
        }
    };
    count(layer.fills.size());
    for (const FillStyle& f : layer.fills)
        writeFill(w, f, v);
    count(layer.lines.size());
    for (const LineStyle& l : layer.lines) {
        w.u16(uint16_t(l.width));
        if (v >= 4) {
            w.ub(uint32_t(l.startCap), 2);
            w.ub(uint32_t(l.join), 2);
            w.ub(l.fill.has_value(), 1);
            w.ub(l.noHScale, 1);
            w.ub(l.noVScale, 1);
            w.ub(l.pixelHinting, 1);
            w.ub(0, 5);
            w.ub(l.noClose, 1);
            w.ub(uint32_t(l.endCap), 2);
            if (l.join == 2)
                w.fixed8(l.miterLimit);
            if (l.fill)
                writeFill(w, *l.fill, v);
            else
                w.rgba(l.color);
        } else if (v >= 3) {
            w.rgba(l.color);
        } else {
            w.rgb(l.color);
        }
    }
}

QByteArray EncodeShape(const ShapeData& s, int v)
{
    BitWriter w;
    if (s.layers.empty()) {
        w.u8(0);
        w.u8(0);
        w.u8(0);
        w.u8(0);
        return w.data();
    }
    auto bitsFor = [](const ShapeLayer& l, int& fb, int& lb) {
        fb = BitWriter::unsignedBits(l.fills.size());
        lb = BitWriter::unsignedBits(l.lines.size());
    };
    int fb, lb;
    writeStyles(w, s.layers.front(), v);
    bitsFor(s.layers.front(), fb, lb);
    w.ub(uint32_t(fb), 4);
    w.ub(uint32_t(lb), 4);
    int px = 0, py = 0;
    for (size_t li = 0; li < s.layers.size(); ++li) {
        const ShapeLayer& layer = s.layers[li];
        if (li > 0) {
            // New style arrays; the paths below select from them.
            w.ub(0, 1);
            w.ub(0x10, 5);
            writeStyles(w, layer, v);
            bitsFor(layer, fb, lb);
            w.ub(uint32_t(fb), 4);
            w.ub(uint32_t(lb), 4);
        }
        for (const ShapeRecordPath& p : layer.paths) {
            if (p.edges.empty())
                continue;
            const int sx = int(std::lround(p.edges.front().from.x()));
            const int sy = int(std::lround(p.edges.front().from.y()));
            const bool move = sx != px || sy != py;
            w.ub(0, 1);
            w.ub(0, 1);   // no new styles here
            w.ub(1, 1);   // line style
            w.ub(1, 1);   // fill style 1
            w.ub(1, 1);   // fill style 0
            w.ub(move, 1);
            if (move) {
                const int n = std::max(BitWriter::signedBits(sx), BitWriter::signedBits(sy));
                w.ub(uint32_t(n), 5);
                w.sb(sx, n);
                w.sb(sy, n);
                px = sx;
                py = sy;
            }
            w.ub(uint32_t(p.fill0), fb);
            w.ub(uint32_t(p.fill1), fb);
            w.ub(uint32_t(p.line), lb);
            for (const Edge& e : p.edges) {
                const int tx = int(std::lround(e.to.x())), ty = int(std::lround(e.to.y()));
                w.ub(1, 1);
                if (e.curved) {
                    const int cx = int(std::lround(e.control.x())), cy = int(std::lround(e.control.y()));
                    const int d[4] = {cx - px, cy - py, tx - cx, ty - cy};
                    int n = 2;
                    for (int v2 : d)
                        n = std::max(n, BitWriter::signedBits(v2));
                    w.ub(0, 1);
                    w.ub(uint32_t(n - 2), 4);
                    for (int v2 : d)
                        w.sb(v2, n);
                } else {
                    const int dx = tx - px, dy = ty - py;
                    const int n = std::max({2, BitWriter::signedBits(dx), BitWriter::signedBits(dy)});
                    w.ub(1, 1);
                    w.ub(uint32_t(n - 2), 4);
                    if (dx != 0 && dy != 0) {
                        w.ub(1, 1);
                        w.sb(dx, n);
                        w.sb(dy, n);
                    } else if (dx == 0) {
                        w.ub(0, 1);
                        w.ub(1, 1);
                        w.sb(dy, n);
                    } else {
                        w.ub(0, 1);
                        w.ub(0, 1);
                        w.sb(dx, n);
                    }
                }
                px = tx;
                py = ty;
            }
        }
    }
    w.ub(0, 6);   // end of shape
    w.align();
    return w.data();
}

QByteArray EncodeFilters(const std::vector<Filter>& filters)
{
    BitWriter w;
    w.u8(uint8_t(filters.size()));
    for (const Filter& f : filters) {
        w.u8(uint8_t(f.type));
        auto color = [&](size_t i) { w.rgba(i < f.colors.size() ? f.colors[i] : QColor(Qt::black)); };
        switch (f.type) {
        case Filter::DropShadow:
            color(0);
            w.fixed16(f.blurX);
            w.fixed16(f.blurY);
            w.fixed16(f.angle);
            w.fixed16(f.distance);
            w.fixed8(f.strength);
            w.ub(f.inner, 1);
            w.ub(f.knockout, 1);
            w.ub(f.compositeSource, 1);
            w.ub(uint32_t(f.passes), 5);
            break;
        case Filter::Blur:
            w.fixed16(f.blurX);
            w.fixed16(f.blurY);
            w.ub(uint32_t(f.passes), 5);
            w.ub(0, 3);
            break;
        case Filter::Glow:
            color(0);
            w.fixed16(f.blurX);
            w.fixed16(f.blurY);
            w.fixed8(f.strength);
            w.ub(f.inner, 1);
            w.ub(f.knockout, 1);
            w.ub(f.compositeSource, 1);
            w.ub(uint32_t(f.passes), 5);
            break;
        case Filter::Bevel:
            color(0);
            color(1);
            w.fixed16(f.blurX);
            w.fixed16(f.blurY);
            w.fixed16(f.angle);
            w.fixed16(f.distance);
            w.fixed8(f.strength);
            w.ub(f.inner, 1);
            w.ub(f.knockout, 1);
            w.ub(f.compositeSource, 1);
            w.ub(f.onTop, 1);
            w.ub(uint32_t(f.passes), 4);
            break;
        case Filter::GradientGlow:
        case Filter::GradientBevel:
            w.u8(uint8_t(f.colors.size()));
            for (size_t i = 0; i < f.colors.size(); ++i)
                color(i);
            for (size_t i = 0; i < f.colors.size(); ++i)
                w.u8(uint8_t(i < f.ratios.size() ? f.ratios[i] : 0));
            w.fixed16(f.blurX);
            w.fixed16(f.blurY);
            w.fixed16(f.angle);
            w.fixed16(f.distance);
            w.fixed8(f.strength);
            w.ub(f.inner, 1);
            w.ub(f.knockout, 1);
            w.ub(f.compositeSource, 1);
            w.ub(f.onTop, 1);
            w.ub(uint32_t(f.passes), 4);
            break;
        case Filter::Convolution:
            w.u8(uint8_t(f.matrixX));
            w.u8(uint8_t(f.matrixY));
            w.f32(float(f.divisor));
            w.f32(float(f.bias));
            for (int i = 0; i < f.matrixX * f.matrixY; ++i)
                w.f32(size_t(i) < f.matrix.size() ? float(f.matrix[size_t(i)]) : 0.f);
            w.rgba(f.defaultColor);
            w.ub(0, 6);
            w.ub(f.clamp, 1);
            w.ub(f.preserveAlpha, 1);
            break;
        case Filter::ColorMatrix:
            for (int i = 0; i < 20; ++i)
                w.f32(size_t(i) < f.matrix.size() ? float(f.matrix[size_t(i)]) : 0.f);
            break;
        }
    }
    return w.data();
}

QByteArray EncodePlaceObject(const PlaceObject& p)
{
    BitWriter w;
    const bool v3 = p.version >= 3;
    uint8_t f1 = 0, f2 = 0;
    if (p.move) f1 |= 0x01;
    if (p.characterId) f1 |= 0x02;
    if (p.matrix) f1 |= 0x04;
    if (p.colorTransform) f1 |= 0x08;
    if (p.ratio) f1 |= 0x10;
    if (p.name) f1 |= 0x20;
    if (p.clipDepth) f1 |= 0x40;
    if (v3) {
        if (p.filters) f2 |= 0x01;
        if (p.blendMode) f2 |= 0x02;
        if (p.cacheAsBitmap) f2 |= 0x04;
        if (p.visible) f2 |= 0x20;
        if (p.backgroundColor) f2 |= 0x40;
    }
    w.u8(f1);
    if (v3)
        w.u8(f2);
    w.u16(uint16_t(p.depth));
    if (p.characterId)
        w.u16(uint16_t(*p.characterId));
    if (p.matrix)
        w.matrix(*p.matrix);
    if (p.colorTransform)
        w.colorTransform(*p.colorTransform, true);
    if (p.ratio)
        w.u16(uint16_t(*p.ratio));
    if (p.name)
        w.string(*p.name);
    if (p.clipDepth)
        w.u16(uint16_t(*p.clipDepth));
    if (v3) {
        if (p.filters)
            w.bytes(EncodeFilters(*p.filters));
        if (p.blendMode)
            w.u8(uint8_t(*p.blendMode));
        if (p.cacheAsBitmap)
            w.u8(*p.cacheAsBitmap ? 1 : 0);
        if (p.visible)
            w.u8(*p.visible ? 1 : 0);
        if (p.backgroundColor)
            w.rgba(*p.backgroundColor);
    }
    return w.data();
}

// --- Tag streams -------------------------------------------------------------

void TagStream::tag(int code, const QByteArray& body, bool forceLongHeader)
{
    BitWriter w;
    if (body.size() >= 0x3f || forceLongHeader) {
        w.u16(uint16_t((code << 6) | 0x3f));
        w.u32(uint32_t(body.size()));
    } else {
        w.u16(uint16_t((code << 6) | body.size()));
    }
    data_.append(w.data());
    data_.append(body);
}

void TagStream::placeObject2(const PlaceObject& p)
{
    tag(p.version >= 3 ? kPlaceObject3 : kPlaceObject2, EncodePlaceObject(p));
}

void TagStream::doAction(const ActionWriter& actions)
{
    tag(kDoAction, actions.bytes());
}

void TagStream::doInitAction(int spriteId, const ActionWriter& actions)
{
    BitWriter w;
    w.u16(uint16_t(spriteId));
    w.bytes(actions.bytes());
    tag(kDoInitAction, w.data());
}

// --- Actions ---------------------------------------------------------------------

ActionWriter& ActionWriter::op(uint8_t code)
{
    data_.append(char(code));
    return *this;
}

ActionWriter& ActionWriter::op(uint8_t code, const QByteArray& data)
{
    data_.append(char(code));
    data_.append(char(data.size() & 0xff));
    data_.append(char((data.size() >> 8) & 0xff));
    data_.append(data);
    return *this;
}

ActionWriter& ActionWriter::push(const QString& s)
{
    QByteArray d(1, '\0');
    d.append(s.toUtf8());
    d.append('\0');
    return op(0x96, d);
}

ActionWriter& ActionWriter::push(double n)
{
    // Doubles in Push keep their high 32 bits first.
    quint64 bits;
    std::memcpy(&bits, &n, 8);
    BitWriter w;
    w.u8(6);
    w.u32(uint32_t(bits >> 32));
    w.u32(uint32_t(bits));
    return op(0x96, w.data());
}

ActionWriter& ActionWriter::pushInt(int32_t n)
{
    BitWriter w;
    w.u8(7);
    w.u32(uint32_t(n));
    return op(0x96, w.data());
}

ActionWriter& ActionWriter::pushBool(bool b)
{
    return op(0x96, QByteArray::fromRawData(b ? "\x05\x01" : "\x05\x00", 2));
}

ActionWriter& ActionWriter::pushUndefined()
{
    return op(0x96, QByteArray(1, '\x03'));
}

ActionWriter& ActionWriter::pushNull()
{
    return op(0x96, QByteArray(1, '\x02'));
}

ActionWriter& ActionWriter::pushRegister(int reg)
{
    QByteArray d(1, '\x04');
    d.append(char(reg));
    return op(0x96, d);
}

ActionWriter& ActionWriter::gotoFrame(int frame)
{
    BitWriter w;
    w.u16(uint16_t(frame));
    return op(0x81, w.data());
}

ActionWriter& ActionWriter::jump(int16_t offset)
{
    BitWriter w;
    w.s16(offset);
    return op(0x99, w.data());
}

ActionWriter& ActionWriter::ifTrue(int16_t offset)
{
    BitWriter w;
    w.s16(offset);
    return op(0x9D, w.data());
}

ActionWriter& ActionWriter::defineFunction(const QString& name, const QStringList& params, const ActionWriter& body)
{
    QByteArray d = name.toUtf8();
    d.append('\0');
    BitWriter w;
    w.u16(uint16_t(params.size()));
    d.append(w.data());
    for (const QString& p : params) {
        d.append(p.toUtf8());
        d.append('\0');
    }
    BitWriter size;
    size.u16(uint16_t(body.size()));
    d.append(size.data());
    op(0x9B, d);
    data_.append(body.body());
    return *this;
}

ActionWriter& ActionWriter::callMethod(int argCount, const QString& object, const QString& method)
{
    pushInt(argCount).push(object).getVariable().push(method);
    return op(0x52);
}

ActionWriter& ActionWriter::callFunction(int argCount, const QString& name)
{
    pushInt(argCount).push(name);
    return op(0x3D);
}

void TagStream::removeObject2(int depth)
{
    BitWriter w;
    w.u16(uint16_t(depth));
    tag(kRemoveObject2, w.data());
}

void TagStream::removeObject(int characterId, int depth)
{
    BitWriter w;
    w.u16(uint16_t(characterId));
    w.u16(uint16_t(depth));
    tag(kRemoveObject, w.data());
}

void TagStream::videoFrame(int streamId, int frameNum, const QByteArray& data)
{
    BitWriter w;
    w.u16(uint16_t(streamId));
    w.u16(uint16_t(frameNum));
    w.bytes(data);
    tag(kVideoFrame, w.data());
}

void SwfWriter::defineVideoStream(int id, int frameCount, int width, int height, int codec, bool smoothing,
                                  int deblocking)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.u16(uint16_t(frameCount));
    w.u16(uint16_t(width));
    w.u16(uint16_t(height));
    w.ub(0, 4);
    w.ub(uint32_t(deblocking), 3);
    w.ub(smoothing ? 1 : 0, 1);
    w.u8(uint8_t(codec));
    tag(kDefineVideoStream, w.data());
}

void SwfWriter::setBackgroundColor(const QColor& c)
{
    BitWriter w;
    w.rgb(c);
    tag(kSetBackgroundColor, w.data());
}

void SwfWriter::defineShape(int id, const ShapeData& shape, int version)
{
    if (version == 0) {
        version = 1;
        for (const auto& layer : shape.layers) {
            if (layer.fills.size() >= 0xff || layer.lines.size() >= 0xff)
                version = std::max(version, 2);
            if (&layer != &shape.layers.front())
                version = std::max(version, 2);
            for (const auto& f : layer.fills) {
                if (f.color.alpha() != 255)
                    version = std::max(version, 3);
                for (const auto& r : f.gradient.records)
                    if (r.color.alpha() != 255)
                        version = std::max(version, 3);
            }
            for (const auto& l : layer.lines) {
                if (l.color.alpha() != 255)
                    version = std::max(version, 3);
                if (l.fill || l.startCap || l.endCap || l.join || l.noHScale || l.noVScale)
                    version = 4;
            }
        }
        if (shape.nonZero)
            version = 4;
    }
    BitWriter w;
    w.u16(uint16_t(id));
    w.rect(shape.bounds);
    if (version == 4) {
        w.rect(shape.bounds);
        w.u8(shape.nonZero ? 0x04 : 0);
    }
    w.bytes(EncodeShape(shape, version));
    const int code = version == 1 ? kDefineShape : version == 2 ? kDefineShape2 : version == 3 ? kDefineShape3 : kDefineShape4;
    tag(code, w.data());
}

void SwfWriter::defineSprite(int id, const TagStream& inner)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.u16(uint16_t(inner.frames()));
    w.bytes(inner.data());
    w.u16(0);   // End
    tag(kDefineSprite, w.data());
}

void SwfWriter::defineButton2(int id, const std::vector<ButtonRecordSpec>& records,
                              const std::vector<std::pair<quint32, ActionWriter>>& actions, bool trackAsMenu)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.u8(trackAsMenu ? 1 : 0);
    QByteArray recs;
    for (const ButtonRecordSpec& r : records) {
        BitWriter rw;
        rw.u8(uint8_t((r.up ? 1 : 0) | (r.over ? 2 : 0) | (r.down ? 4 : 0) | (r.hit ? 8 : 0)));
        rw.u16(uint16_t(r.characterId));
        rw.u16(uint16_t(r.depth));
        rw.matrix(r.matrix);
        rw.colorTransform(ColorTransform(), true);
        recs.append(rw.data());
    }
    recs.append(char(0));
    // The offset counts from its own field to the first condition record.
    w.u16(actions.empty() ? 0 : uint16_t(recs.size() + 2));
    w.bytes(recs);
    for (size_t i = 0; i < actions.size(); ++i) {
        const QByteArray code = actions[i].second.bytes();
        BitWriter cw;
        const bool last = i + 1 == actions.size();
        cw.u16(last ? 0 : uint16_t(code.size() + 4));
        cw.u8(uint8_t(actions[i].first & 0xff));
        cw.u8(uint8_t((actions[i].first >> 8) & 0xff));
        w.bytes(cw.data());
        w.bytes(code);
    }
    tag(kDefineButton2, w.data());
}

void SwfWriter::defineEditText(int id, const EditTextCharacter& c)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.rect(c.bounds);
    const bool hasLayout = c.align != 0 || c.leftMargin != 0 || c.rightMargin != 0 || c.indent != 0 || c.leading != 0;
    const bool hasFontClass = !c.hasFont && !c.fontClass.isEmpty();
    w.u8(uint8_t((c.text.isEmpty() ? 0 : 0x80) | (c.wordWrap ? 0x40 : 0) | (c.multiline ? 0x20 : 0) |
                 (c.password ? 0x10 : 0) | (c.readOnly ? 0x08 : 0) | (c.hasColor ? 0x04 : 0) |
                 (c.maxLength > 0 ? 0x02 : 0) | (c.hasFont ? 0x01 : 0)));
    w.u8(uint8_t((hasFontClass ? 0x80 : 0) | (c.autoSize ? 0x40 : 0) | (hasLayout ? 0x20 : 0) |
                 (c.noSelect ? 0x10 : 0) | (c.border ? 0x08 : 0) | (c.html ? 0x02 : 0) | (c.useOutlines ? 0x01 : 0)));
    if (c.hasFont)
        w.u16(uint16_t(c.fontId));
    if (hasFontClass)
        w.string(c.fontClass);
    if (c.hasFont || hasFontClass)
        w.u16(uint16_t(c.fontHeight));
    if (c.hasColor)
        w.rgba(c.color);
    if (c.maxLength > 0)
        w.u16(uint16_t(c.maxLength));
    if (hasLayout) {
        w.u8(uint8_t(c.align));
        w.u16(uint16_t(c.leftMargin));
        w.u16(uint16_t(c.rightMargin));
        w.u16(uint16_t(c.indent));
        w.s16(int16_t(c.leading));
    }
    w.string(c.variableName);
    if (!c.text.isEmpty())
        w.string(c.text);
    tag(kDefineEditText, w.data());
}

void SwfWriter::exportAssets(const std::vector<std::pair<int, QString>>& names)
{
    BitWriter w;
    w.u16(uint16_t(names.size()));
    for (const auto& [id, name] : names) {
        w.u16(uint16_t(id));
        w.string(name);
    }
    tag(kExportAssets, w.data());
}

void SwfWriter::defineEditText(int id, const Rect& bounds, const QString& text, bool readOnly, const QString& variable)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.rect(bounds);
    w.u8(uint8_t((text.isEmpty() ? 0 : 0x80) | (readOnly ? 0x08 : 0)));
    w.u8(0);
    w.string(variable);
    if (!text.isEmpty())
        w.string(text);
    tag(kDefineEditText, w.data());
}

void SwfWriter::defineBitsLossless(int id, const QImage& image)
{
    const QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray raw;
    raw.reserve(img.width() * img.height() * 4);
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            raw.append(char(qAlpha(line[x])));
            raw.append(char(qRed(line[x])));
            raw.append(char(qGreen(line[x])));
            raw.append(char(qBlue(line[x])));
        }
    }
    uLongf len = compressBound(uLong(raw.size()));
    QByteArray z(qsizetype(len), 0);
    compress(reinterpret_cast<Bytef*>(z.data()), &len, reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()));
    z.resize(qsizetype(len));
    BitWriter w;
    w.u16(uint16_t(id));
    w.u8(5);
    w.u16(uint16_t(img.width()));
    w.u16(uint16_t(img.height()));
    w.bytes(z);
    tag(kDefineBitsLossless2, w.data());
}

void SwfWriter::defineBitsJpeg2(int id, const QByteArray& jpeg)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.bytes(jpeg);
    tag(kDefineBitsJpeg2, w.data());
}

void SwfWriter::defineSound(int id, int format, int rate, bool is16Bit, bool stereo, quint32 sampleCount,
                            const QByteArray& data)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.ub(uint32_t(format), 4);
    w.ub(uint32_t(rate), 2);
    w.ub(is16Bit, 1);
    w.ub(stereo, 1);
    w.u32(sampleCount);
    w.bytes(data);
    tag(kDefineSound, w.data());
}

void TagStream::soundStreamHead(int format, int rate, bool is16Bit, bool stereo, int samplesPerBlock, bool head2)
{
    BitWriter w;
    // Playback settings, then the stream's own settings.
    w.ub(0, 4);
    w.ub(uint32_t(rate), 2);
    w.ub(is16Bit, 1);
    w.ub(stereo, 1);
    w.ub(uint32_t(format), 4);
    w.ub(uint32_t(rate), 2);
    w.ub(is16Bit, 1);
    w.ub(stereo, 1);
    w.u16(uint16_t(samplesPerBlock));
    if (format == 2)
        w.s16(0);   // MP3 latency seek
    tag(head2 ? kSoundStreamHead2 : kSoundStreamHead, w.data());
}

QByteArray EncodeSoundInfo(const SoundInfo& info)
{
    BitWriter w;
    w.ub(0, 2);
    w.ub(info.syncStop, 1);
    w.ub(info.syncNoMultiple, 1);
    w.ub(!info.envelope.empty(), 1);
    w.ub(info.loops.has_value(), 1);
    w.ub(info.outPoint.has_value(), 1);
    w.ub(info.inPoint.has_value(), 1);
    if (info.inPoint)
        w.u32(*info.inPoint);
    if (info.outPoint)
        w.u32(*info.outPoint);
    if (info.loops)
        w.u16(uint16_t(*info.loops));
    if (!info.envelope.empty()) {
        w.u8(uint8_t(info.envelope.size()));
        for (const SoundEnvelopePoint& e : info.envelope) {
            w.u32(e.position44);
            w.u16(uint16_t(e.left));
            w.u16(uint16_t(e.right));
        }
    }
    return w.data();
}

void TagStream::startSound(int soundId, const SoundInfo& info)
{
    BitWriter w;
    w.u16(uint16_t(soundId));
    w.bytes(EncodeSoundInfo(info));
    tag(kStartSound, w.data());
}

void TagStream::soundStreamBlock(const QByteArray& data)
{
    tag(kSoundStreamBlock, data);
}

static QByteArray zlibCompress(const QByteArray& in)
{
    uLongf len = compressBound(uLong(in.size()));
    QByteArray z(qsizetype(len), 0);
    compress2(reinterpret_cast<Bytef*>(z.data()), &len, reinterpret_cast<const Bytef*>(in.constData()), uLong(in.size()), 9);
    z.resize(qsizetype(len));
    return z;
}

// LZMA for ZWS: returns the 5 property bytes followed by the raw LZMA data.
static QByteArray lzmaCompress(const QByteArray& in, QByteArray& props)
{
    lzma_options_lzma opt;
    lzma_lzma_preset(&opt, 6);
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &opt) != LZMA_OK)
        return {};
    QByteArray out(qsizetype(in.size() + in.size() / 2 + 1024), 0);
    strm.next_in = reinterpret_cast<const uint8_t*>(in.constData());
    strm.avail_in = size_t(in.size());
    strm.next_out = reinterpret_cast<uint8_t*>(out.data());
    strm.avail_out = size_t(out.size());
    lzma_ret rc;
    do {
        rc = lzma_code(&strm, LZMA_FINISH);
        if (rc == LZMA_OK && strm.avail_out == 0) {
            const size_t used = size_t(out.size());
            out.resize(out.size() * 2);
            strm.next_out = reinterpret_cast<uint8_t*>(out.data()) + used;
            strm.avail_out = size_t(out.size()) - used;
        }
    } while (rc == LZMA_OK);
    out.resize(qsizetype(strm.total_out));
    lzma_end(&strm);
    // The .lzma header is 5 property bytes and an 8-byte size.
    props = out.left(5);
    return out.mid(13);
}

QByteArray SwfWriter::finish() const
{
    BitWriter body;
    body.rect(options_.frameSize);
    body.fixed8(options_.frameRate);
    body.u16(uint16_t(options_.frameCount >= 0 ? options_.frameCount : frames()));
    QByteArray b = body.data();
    b.append(data());
    b.append(char(0));
    b.append(char(0));   // End
    const uint32_t total = uint32_t(b.size() + 8);
    BitWriter h;
    const char sig = options_.compression == Compression::Zlib ? 'C' : options_.compression == Compression::Lzma ? 'Z' : 'F';
    h.u8(uint8_t(sig));
    h.u8('W');
    h.u8('S');
    h.u8(uint8_t(options_.version));
    h.u32(total);
    QByteArray out = h.data();
    if (options_.compression == Compression::Zlib) {
        out.append(zlibCompress(b));
    } else if (options_.compression == Compression::Lzma) {
        QByteArray props;
        const QByteArray z = lzmaCompress(b, props);
        BitWriter l;
        l.u32(uint32_t(z.size()));
        out.append(l.data());
        out.append(props);
        out.append(z);
    } else {
        out.append(b);
    }
    return out;
}

} // namespace plovex::swf

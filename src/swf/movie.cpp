#include "swf/movie.h"

#include "swf/movie_file.h"

#include <QBuffer>
#include <QImageReader>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <unordered_map>

namespace plovex::swf {

// --- Shapes ---------------------------------------------------------------

namespace {

struct PointKey {
    qint64 x, y;
    bool operator==(const PointKey&) const = default;
};
struct PointHash {
    size_t operator()(const PointKey& k) const { return std::hash<qint64>()(k.x * 1000003 + k.y); }
};
PointKey keyOf(const QPointF& p)
{
    return PointKey{qRound64(p.x() * 4), qRound64(p.y() * 4)};
}

Edge reversed(const Edge& e)
{
    Edge r = e;
    std::swap(r.from, r.to);
    return r;
}

void appendEdge(QPainterPath& path, const Edge& e)
{
    if (e.curved)
        path.quadTo(e.control, e.to);
    else
        path.lineTo(e.to);
}

// Chains the edges that bound one fill into closed contours. Edges are
// oriented with the fill on their right-hand side, so chaining follows
// each edge's end point to an unused edge starting there.
QPainterPath chainEdges(const std::vector<Edge>& edges, bool nonZero)
{
    QPainterPath path;
    path.setFillRule(nonZero ? Qt::WindingFill : Qt::OddEvenFill);
    std::unordered_multimap<PointKey, size_t, PointHash> byStart;
    byStart.reserve(edges.size());
    for (size_t i = 0; i < edges.size(); ++i)
        byStart.emplace(keyOf(edges[i].from), i);
    std::vector<char> used(edges.size(), 0);
    auto take = [&](const QPointF& at, size_t preferred) -> std::optional<size_t> {
        if (preferred < edges.size() && !used[preferred] && keyOf(edges[preferred].from) == keyOf(at))
            return preferred;
        auto [b, e] = byStart.equal_range(keyOf(at));
        for (auto it = b; it != e; ++it)
            if (!used[it->second])
                return it->second;
        return std::nullopt;
    };
    for (size_t i = 0; i < edges.size(); ++i) {
        if (used[i])
            continue;
        used[i] = 1;
        const QPointF start = edges[i].from;
        path.moveTo(start);
        appendEdge(path, edges[i]);
        QPointF at = edges[i].to;
        size_t last = i;
        while (keyOf(at) != keyOf(start)) {
            const auto next = take(at, last + 1);
            if (!next)
                break;
            used[*next] = 1;
            appendEdge(path, edges[*next]);
            at = edges[*next].to;
            last = *next;
        }
        path.closeSubpath();
    }
    return path;
}

} // namespace

CompiledShape CompileShape(const ShapeData& shape)
{
    CompiledShape out;
    out.bounds = QRectF(shape.bounds.xMin, shape.bounds.yMin, shape.bounds.xMax - shape.bounds.xMin,
                        shape.bounds.yMax - shape.bounds.yMin);
    for (const ShapeLayer& layer : shape.layers) {
        CompiledLayer cl;
        cl.fills = layer.fills;
        cl.lines = layer.lines;
        std::vector<std::vector<Edge>> fillEdges(layer.fills.size());
        cl.linePaths.resize(layer.lines.size());
        for (const ShapeRecordPath& p : layer.paths) {
            // An edge with the same fill on both sides bounds nothing.
            const bool inner = p.fill0 == p.fill1;
            if (!inner && p.fill1 > 0 && size_t(p.fill1) <= fillEdges.size())
                fillEdges[p.fill1 - 1].insert(fillEdges[p.fill1 - 1].end(), p.edges.begin(), p.edges.end());
            if (!inner && p.fill0 > 0 && size_t(p.fill0) <= fillEdges.size()) {
                auto& v = fillEdges[p.fill0 - 1];
                for (auto it = p.edges.rbegin(); it != p.edges.rend(); ++it)
                    v.push_back(reversed(*it));
            }
            if (p.line > 0 && size_t(p.line) <= cl.linePaths.size() && !p.edges.empty()) {
                QPainterPath& lp = cl.linePaths[p.line - 1];
                if (lp.elementCount() == 0 || lp.currentPosition() != p.edges.front().from)
                    lp.moveTo(p.edges.front().from);
                for (const Edge& e : p.edges)
                    appendEdge(lp, e);
            }
        }
        for (auto& edges : fillEdges)
            cl.fillPaths.push_back(chainEdges(edges, shape.nonZero));
        out.layers.push_back(std::move(cl));
    }
    return out;
}

// --- Morph shapes ---------------------------------------------------------

static QColor lerpColor(const QColor& a, const QColor& b, double t)
{
    auto l = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(l(a.red(), b.red()), l(a.green(), b.green()), l(a.blue(), b.blue()), l(a.alpha(), b.alpha()));
}

static Matrix lerpMatrix(const Matrix& a, const Matrix& b, double t)
{
    auto l = [t](double x, double y) { return x + (y - x) * t; };
    return Matrix{l(a.a, b.a), l(a.b, b.b), l(a.c, b.c), l(a.d, b.d), l(a.tx, b.tx), l(a.ty, b.ty)};
}

static FillStyle lerpFill(const FillStyle& a, const FillStyle& b, double t)
{
    FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.matrix = lerpMatrix(a.matrix, b.matrix, t);
    for (size_t i = 0; i < f.gradient.records.size() && i < b.gradient.records.size(); ++i) {
        f.gradient.records[i].ratio = int(std::lround(a.gradient.records[i].ratio +
                                                      (b.gradient.records[i].ratio - a.gradient.records[i].ratio) * t));
        f.gradient.records[i].color = lerpColor(a.gradient.records[i].color, b.gradient.records[i].color, t);
    }
    f.gradient.focal = a.gradient.focal + (b.gradient.focal - a.gradient.focal) * t;
    return f;
}

static QPointF lerpPoint(const QPointF& a, const QPointF& b, double t)
{
    return a + (b - a) * t;
}

ShapeData MorphShapeCharacter::at(int ratio) const
{
    const double t = std::clamp(ratio / 65535.0, 0.0, 1.0);
    ShapeData s = start;
    s.bounds.xMin = int(std::lround(startBounds.xMin + (endBounds.xMin - startBounds.xMin) * t));
    s.bounds.xMax = int(std::lround(startBounds.xMax + (endBounds.xMax - startBounds.xMax) * t));
    s.bounds.yMin = int(std::lround(startBounds.yMin + (endBounds.yMin - startBounds.yMin) * t));
    s.bounds.yMax = int(std::lround(startBounds.yMax + (endBounds.yMax - startBounds.yMax) * t));
    if (s.layers.empty())
        return s;
    ShapeLayer& layer = s.layers.front();
    for (size_t i = 0; i < layer.fills.size() && i < endFills.size(); ++i)
        layer.fills[i] = lerpFill(layer.fills[i], endFills[i], t);
    for (size_t i = 0; i < layer.lines.size() && i < endLines.size(); ++i) {
        LineStyle& l = layer.lines[i];
        l.width = int(std::lround(l.width + (endLines[i].width - l.width) * t));
        l.color = lerpColor(l.color, endLines[i].color, t);
        if (l.fill && endLines[i].fill)
            l.fill = lerpFill(*l.fill, *endLines[i].fill, t);
    }
    size_t k = 0;
    for (ShapeLayer& ly : s.layers)
        for (ShapeRecordPath& p : ly.paths)
            for (Edge& e : p.edges) {
                if (k >= endEdges.size())
                    return s;
                const Edge& o = endEdges[k++];
                const QPointF c0 = e.curved ? e.control : (e.from + e.to) / 2;
                const QPointF c1 = o.curved ? o.control : (o.from + o.to) / 2;
                e.curved = e.curved || o.curved;
                e.from = lerpPoint(e.from, o.from, t);
                e.to = lerpPoint(e.to, o.to, t);
                e.control = lerpPoint(c0, c1, t);
            }
    return s;
}

int FontCharacter::glyphIndex(int code) const
{
    for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == code)
            return int(i);
    return -1;
}

// --- Images ---------------------------------------------------------------

bool BitmapSizeAllowed(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
           qint64(width) * height <= kMaxBitmapPixels;
}

// The number of start-of-scan markers in JPEG data. Inside the coded data
// a 0xFF byte is always followed by 0x00 or a restart marker, so every
// 0xFF 0xDA pair outside the header segments starts a scan; counting the
// pairs anywhere can only count more.
static int jpegScans(const QByteArray& data)
{
    int scans = 0;
    for (qsizetype i = data.indexOf('\xff'); i >= 0 && i + 1 < data.size(); i = data.indexOf('\xff', i + 1))
        if (uchar(data[i + 1]) == 0xDA)
            ++scans;
    return scans;
}

static QImage readImage(const QByteArray& data)
{
    // A progressive JPEG with thousands of scans takes minutes to decode.
    if (data.startsWith("\xff\xd8") && jpegScans(data) > kMaxJpegScans)
        return {};
    QBuffer buf;
    buf.setData(data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf);
    reader.setAutoTransform(false);
    // Refuse what the Flash Player refuses before anything is allocated.
    const QSize sz = reader.size();
    if (sz.isValid() && !BitmapSizeAllowed(sz.width(), sz.height()))
        return {};
    QImage img = reader.read();
    if (img.isNull())
        return {};
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage DecodeImageData(const QByteArray& data)
{
    QByteArray d = data;
    // Some writers put an end-of-image and start-of-image marker pair in
    // front of the JPEG data.
    if (d.startsWith("\xff\xd9\xff\xd8"))
        d = d.mid(4);
    QImage img = readImage(d);
    if (img.isNull() && d.contains("\xff\xd9\xff\xd8")) {
        QByteArray fixed = d;
        fixed.replace(QByteArray("\xff\xd9\xff\xd8", 4), QByteArray());
        img = readImage(fixed);
    }
    return img;
}

namespace {

bool isJpeg(const QByteArray& d)
{
    return d.startsWith("\xff\xd8") || d.startsWith("\xff\xd9\xff\xd8");
}

QByteArray inflateAll(const QByteArray& in, size_t want)
{
    QByteArray out;
    if (want == 0 || want > kMaxDecompressedLength)
        return out;
    out.resize(qsizetype(want));
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return {};
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(want);
    int rc = Z_OK;
    while (zs.avail_out > 0 && rc == Z_OK)
        rc = inflate(&zs, Z_NO_FLUSH);
    out.resize(qsizetype(want - zs.avail_out));
    inflateEnd(&zs);
    return out;
}

QImage decodeLossless(Reader& r, int version)
{
    const int format = r.u8();
    const int w = r.u16(), h = r.u16();
    if (!BitmapSizeAllowed(w, h) || format < 3 || format > 5)
        return {};
    int tableSize = 0;
    if (format == 3)
        tableSize = r.u8() + 1;
    const QByteArray z = r.bytes(r.remaining());
    // The pixels are inflated before the picture is made, so a tag that
    // declares a big picture but carries no data costs nothing.
    const int entry = version == 2 ? 4 : 3;
    const size_t want = format == 3   ? size_t(tableSize) * entry + size_t((w + 3) & ~3) * h
                        : format == 4 ? size_t((w * 2 + 3) & ~3) * h
                                      : size_t(w) * h * 4;
    const QByteArray d = inflateAll(z, want);
    if (d.isEmpty())
        return {};
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return {};
    img.fill(0);
    if (format == 3) {
        const int stride = (w + 3) & ~3;
        const auto* p = reinterpret_cast<const uint8_t*>(d.constData());
        std::vector<QRgb> table(256, 0);
        for (int i = 0; i < tableSize && size_t((i + 1) * entry) <= size_t(d.size()); ++i) {
            const uint8_t* e = p + i * entry;
            table[i] = entry == 4 ? qRgba(e[0], e[1], e[2], e[3]) : qRgb(e[0], e[1], e[2]);
            if (entry == 4) {   // stored premultiplied; keep channels within alpha
                const int a = e[3];
                table[i] = qRgba(std::min<int>(e[0], a), std::min<int>(e[1], a), std::min<int>(e[2], a), a);
            }
        }
        const size_t base = size_t(tableSize) * entry;
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const size_t o = base + size_t(y) * stride + x;
                if (o >= size_t(d.size()))
                    return img;
                line[x] = table[p[o]];
            }
        }
    } else if (format == 4) {
        const int stride = (w * 2 + 3) & ~3;
        const auto* p = reinterpret_cast<const uint8_t*>(d.constData());
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const size_t o = size_t(y) * stride + x * 2;
                if (o + 1 >= size_t(d.size()))
                    return img;
                const int v = (p[o] << 8) | p[o + 1];
                const int red = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                line[x] = qRgb(red * 255 / 31, g * 255 / 31, b * 255 / 31);
            }
        }
    } else {
        const auto* p = reinterpret_cast<const uint8_t*>(d.constData());
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const size_t o = (size_t(y) * w + x) * 4;
                if (o + 3 >= size_t(d.size()))
                    return img;
                if (version == 2) {
                    const int a = p[o];
                    line[x] = qRgba(std::min<int>(p[o + 1], a), std::min<int>(p[o + 2], a), std::min<int>(p[o + 3], a), a);
                } else {
                    line[x] = qRgb(p[o + 1], p[o + 2], p[o + 3]);
                }
            }
        }
    }
    return img;
}

void applyAlpha(QImage& img, const QByteArray& zAlpha)
{
    if (img.isNull() || zAlpha.isEmpty())
        return;
    const QByteArray a = inflateAll(zAlpha, size_t(img.width()) * img.height());
    if (a.size() < qsizetype(img.width()) * img.height())
        return;
    const auto* p = reinterpret_cast<const uint8_t*>(a.constData());
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int al = p[size_t(y) * img.width() + x];
            const QRgb c = line[x];
            // The colour data is premultiplied by this alpha already.
            line[x] = qRgba(std::min(qRed(c), al), std::min(qGreen(c), al), std::min(qBlue(c), al), al);
        }
    }
}

class Loader {
public:
    explicit Loader(Movie& m) : movie(m) {}

    void run(const std::vector<Tag>& tags, Timeline& timeline, int depthOfNesting);

private:
    Movie& movie;
    QByteArray jpegTables;
    // Pixels the movie's pictures may still take, shared by their decoders.
    std::shared_ptr<std::atomic<qint64>> pixelBudget = std::make_shared<std::atomic<qint64>>(kMaxMoviePixels);
    qint64 framesLoaded = 0;
    qint64 controlTagsLoaded = 0;
    // Records a limit the movie met, once.
    void noteCut(const QString& what)
    {
        if (!movie.cutShort.contains(what))
            movie.cutShort << what;
    }
    std::unordered_map<int, FontCharacter*> fonts;
    std::unordered_map<int, ButtonCharacter*> buttons;
    std::unordered_map<int, EditTextCharacter*> editTexts;

    // Returns false when the id was taken: the first definition of an id
    // wins, as in the Flash Player, and the new one is dropped.
    template <class T>
    bool define(int id, std::shared_ptr<T> c)
    {
        c->id = id;
        return movie.dictionary.emplace(id, std::move(c)).second;
    }

    void defineShape(const Tag& t);
    void defineMorph(const Tag& t);
    void defineBits(const Tag& t);
    void defineFont(const Tag& t);
    void defineFontInfo(const Tag& t);
    void defineText(const Tag& t);
    void defineEditText(const Tag& t);
    void textSettings(const Tag& t);
    void defineButton(const Tag& t);
    void defineVideo(const Tag& t);
    void videoFrame(const Tag& t);
    void defineSound(const Tag& t);
    void defineButtonSound(const Tag& t);
    int version() const { return movie.info.version; }
};

void Loader::defineShape(const Tag& t)
{
    Reader r(t.data);
    const int v = t.code == kDefineShape ? 1 : t.code == kDefineShape2 ? 2 : t.code == kDefineShape3 ? 3 : 4;
    const int id = r.u16();
    const Rect bounds = ReadRect(r);
    bool nonZero = false;
    if (v == 4) {
        ReadRect(r);   // edge bounds
        const uint8_t flags = r.u8();
        nonZero = flags & 0x04;
    }
    ShapeData s = ReadShape(r, v, true);
    s.bounds = bounds;
    s.nonZero = nonZero;
    auto c = std::make_shared<ShapeCharacter>();
    c->shape = CompileShape(s);
    define(id, c);
}

void Loader::defineMorph(const Tag& t)
{
    Reader r(t.data);
    const bool v2 = t.code == kDefineMorphShape2;
    auto c = std::make_shared<MorphShapeCharacter>();
    const int id = r.u16();
    c->startBounds = ReadRect(r);
    c->endBounds = ReadRect(r);
    if (v2) {
        ReadRect(r);
        ReadRect(r);
        r.u8();
    }
    const uint32_t offset = r.u32();
    const size_t endPos = r.pos() + offset;
    ShapeLayer layer;
    size_t n = r.u8();
    if (n == 0xff)
        n = r.u16();
    for (size_t i = 0; i < n && !r.failed(); ++i) {
        FillStyle a, b;
        a.type = b.type = r.u8();
        if (a.type == FillStyle::Solid) {
            a.color = ReadRgba(r);
            b.color = ReadRgba(r);
        } else if (a.type == FillStyle::Linear || a.type == FillStyle::Radial || a.type == FillStyle::Focal) {
            a.matrix = ReadMatrix(r);
            b.matrix = ReadMatrix(r);
            const int count = r.u8() & 0x0f;
            for (int k = 0; k < count; ++k) {
                GradientRecord ra, rb;
                ra.ratio = r.u8();
                ra.color = ReadRgba(r);
                rb.ratio = r.u8();
                rb.color = ReadRgba(r);
                a.gradient.records.push_back(ra);
                b.gradient.records.push_back(rb);
            }
            if (a.type == FillStyle::Focal) {
                a.gradient.focal = r.fixed8();
                b.gradient.focal = r.fixed8();
            }
        } else if (a.isBitmap()) {
            a.bitmapId = b.bitmapId = r.u16();
            a.matrix = ReadMatrix(r);
            b.matrix = ReadMatrix(r);
        } else {
            r.skip(r.remaining());
            break;
        }
        layer.fills.push_back(a);
        c->endFills.push_back(b);
    }
    n = r.u8();
    if (n == 0xff)
        n = r.u16();
    for (size_t i = 0; i < n && !r.failed(); ++i) {
        LineStyle a, b;
        a.width = r.u16();
        b.width = r.u16();
        if (v2) {
            a.startCap = int(r.ub(2));
            a.join = int(r.ub(2));
            const bool hasFill = r.flag();
            a.noHScale = r.flag();
            a.noVScale = r.flag();
            a.pixelHinting = r.flag();
            r.ub(5);
            a.noClose = r.flag();
            a.endCap = int(r.ub(2));
            r.align();
            if (a.join == 2)
                a.miterLimit = r.fixed8();
            if (hasFill) {
                // A morph fill style: read both ends through a tiny
                // recursion-free path using the solid/gradient layout.
                const int type = r.u8();
                if (type == FillStyle::Solid) {
                    a.color = ReadRgba(r);
                    b.color = ReadRgba(r);
                } else {
                    r.skip(r.remaining());
                }
            } else {
                a.color = ReadRgba(r);
                b.color = ReadRgba(r);
            }
            b.startCap = a.startCap;
            b.endCap = a.endCap;
            b.join = a.join;
        } else {
            a.color = ReadRgba(r);
            b.color = ReadRgba(r);
        }
        layer.lines.push_back(a);
        c->endLines.push_back(b);
    }
    // The start edges use the styles above; the end edges carry no styles.
    ShapeData start = ReadShape(r, v2 ? 4 : 3, false);
    for (auto& ly : start.layers) {
        ly.fills = layer.fills;
        ly.lines = layer.lines;
    }
    if (start.layers.empty())
        start.layers.push_back(layer);
    c->start = std::move(start);
    if (endPos <= r.size()) {
        r.seek(endPos);
        const ShapeData end = ReadShape(r, v2 ? 4 : 3, false);
        for (const auto& ly : end.layers)
            for (const auto& p : ly.paths)
                c->endEdges.insert(c->endEdges.end(), p.edges.begin(), p.edges.end());
    }
    define(id, c);
}

void Loader::defineBits(const Tag& t)
{
    // The tag's bytes stay with the picture until it is decoded.
    const QByteArray bytes = t.data;
    Reader r(bytes);
    const int id = r.u16();
    auto c = std::make_shared<BitmapCharacter>();
    std::function<QImage()> decode;
    switch (t.code) {
    case kDefineBits: {
        QByteArray data = r.bytes(r.remaining());
        QByteArray tables = jpegTables;
        if (tables.startsWith("\xff\xd9\xff\xd8"))
            tables = tables.mid(4);
        if (data.startsWith("\xff\xd9\xff\xd8"))
            data = data.mid(4);
        if (tables.size() > 4 && tables.endsWith("\xff\xd9") && data.startsWith("\xff\xd8"))
            data = tables.left(tables.size() - 2) + data.mid(2);
        decode = [data] { return DecodeImageData(data); };
        break;
    }
    case kDefineBitsJpeg2:
        decode = [data = r.bytes(r.remaining())] { return DecodeImageData(data); };
        break;
    case kDefineBitsJpeg3:
    case kDefineBitsJpeg4: {
        const uint32_t alphaOffset = r.u32();
        if (t.code == kDefineBitsJpeg4)
            r.u16();
        const QByteArray data = r.bytes(std::min<size_t>(alphaOffset, r.remaining()));
        const QByteArray alpha = r.bytes(r.remaining());
        decode = [data, alpha] {
            QImage image = DecodeImageData(data);
            if (isJpeg(data))
                applyAlpha(image, alpha);
            return image;
        };
        break;
    }
    case kDefineBitsLossless:
    case kDefineBitsLossless2: {
        const size_t at = r.pos();
        const int version = t.code == kDefineBitsLossless ? 1 : 2;
        decode = [bytes, at, version] {
            Reader pixels(bytes);
            pixels.seek(at);
            return decodeLossless(pixels, version);
        };
        break;
    }
    }
    // A hostile file can declare many big pictures from little data; the
    // movie keeps at most kMaxMoviePixels of them, counted as they are
    // decoded.
    c->image.setDecoder([decode = std::move(decode), budget = pixelBudget] {
        QImage image = decode ? decode() : QImage();
        const qint64 pixels = qint64(image.width()) * image.height();
        if (!image.isNull() && budget->fetch_sub(pixels) < pixels)
            return QImage();
        return image;
    });
    define(id, c);
}

// The outlines of a font's glyphs, each read by `read(from, to)` from the
// bytes that are its own: from its offset up to the next larger offset of
// any glyph (or `end`). Offsets that point into one another's data, or
// all at one place, then cost no more than the font's bytes once over,
// whatever the glyph count; glyphs with the same offset share one outline.
template <class ReadGlyph>
std::vector<QPainterPath> readGlyphs(const std::vector<size_t>& offsets, size_t end, ReadGlyph read)
{
    std::vector<size_t> starts = offsets;
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<QPainterPath> outlines(starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t to = i + 1 < starts.size() ? std::min(starts[i + 1], end) : end;
        outlines[i] = read(starts[i], to);
    }
    std::vector<QPainterPath> glyphs;
    glyphs.reserve(offsets.size());
    for (const size_t o : offsets)
        glyphs.push_back(outlines[size_t(std::lower_bound(starts.begin(), starts.end(), o) - starts.begin())]);
    return glyphs;
}

void Loader::defineFont(const Tag& t)
{
    Reader r(t.data);
    r.utf8 = version() >= 6;
    const int id = r.u16();
    auto c = std::make_shared<FontCharacter>();
    auto readGlyph = [&](size_t from, size_t to) {
        QPainterPath path;
        if (from < to && to <= r.size()) {
            Reader g(r.data() + from, to - from);
            ShapeData s = ReadShape(g, 1, false);
            // A glyph's outline: fill style 1 on either side marks its inside.
            s.layers.front().fills.resize(1);
            path = CompileShape(s).layers.front().fillPaths.front();
            path.setFillRule(Qt::WindingFill);
            // Glyph contours use the even-odd rule in practice.
            path.setFillRule(Qt::OddEvenFill);
        }
        return path;
    };
    if (t.code == kDefineFont) {
        const size_t base = r.pos();
        const uint16_t first = r.u16();
        const size_t count = first / 2;
        std::vector<size_t> offsets{first};
        for (size_t i = 1; i < count && !r.failed(); ++i)
            offsets.push_back(r.u16());
        for (size_t& o : offsets)
            o += base;
        c->glyphs = readGlyphs(offsets, r.size(), readGlyph);
        c->emSquare = 1024;
    } else {
        const uint8_t flags = r.u8();
        c->hasLayout = flags & 0x80;
        const bool wideOffsets = flags & 0x08, wideCodes = flags & 0x04;
        c->italic = flags & 0x02;
        c->bold = flags & 0x01;
        r.u8();   // language
        const int nameLen = r.u8();
        QByteArray name = r.bytes(nameLen);
        if (name.endsWith('\0'))
            name.chop(1);
        c->name = version() >= 6 ? QString::fromUtf8(name) : QString::fromLatin1(name);
        const size_t count = r.u16();
        const size_t base = r.pos();
        if (count * (wideOffsets ? 4 : 2) > r.remaining()) {
            define(id, c);
            return;
        }
        std::vector<size_t> offsets;
        offsets.reserve(count);
        for (size_t i = 0; i < count; ++i)
            offsets.push_back(base + (wideOffsets ? r.u32() : r.u16()));
        const size_t codeOffset = count > 0 || r.remaining() ? (wideOffsets ? r.u32() : r.u16()) : 0;
        c->glyphs = readGlyphs(offsets, std::min(base + codeOffset, r.size()), readGlyph);
        if (base + codeOffset <= r.size()) {
            r.seek(base + codeOffset);
            for (size_t i = 0; i < count; ++i)
                c->codes.push_back(wideCodes ? r.u16() : r.u8());
        }
        c->emSquare = t.code == kDefineFont3 ? 20480 : 1024;
        if (c->hasLayout && !r.failed()) {
            c->ascent = r.u16();
            c->descent = r.u16();
            c->leading = r.s16();
            for (size_t i = 0; i < count; ++i)
                c->advances.push_back(r.s16());
        }
    }
    FontCharacter* font = c.get();
    if (define(id, c))
        fonts[id] = font;
}

void Loader::defineFontInfo(const Tag& t)
{
    Reader r(t.data);
    const int id = r.u16();
    const auto it = fonts.find(id);
    if (it == fonts.end())
        return;
    FontCharacter* f = it->second;
    const int nameLen = r.u8();
    QByteArray name = r.bytes(nameLen);
    f->name = QString::fromLatin1(name);
    const uint8_t flags = r.u8();
    const bool wide = flags & 0x01;
    f->italic = flags & 0x04;
    f->bold = flags & 0x02;
    if (t.code == kDefineFontInfo2)
        r.u8();
    f->codes.clear();
    for (size_t i = 0; i < f->glyphs.size() && !r.atEnd(); ++i)
        f->codes.push_back(wide ? r.u16() : r.u8());
}

void Loader::defineText(const Tag& t)
{
    Reader r(t.data);
    auto c = std::make_shared<TextCharacter>();
    const int id = r.u16();
    c->bounds = ReadRect(r);
    c->matrix = ReadMatrix(r);
    const int glyphBits = r.u8();
    const int advanceBits = r.u8();
    TextRecord style;
    style.color = Qt::black;
    double x = 0, y = 0;
    while (!r.failed() && !r.atEnd()) {
        const uint8_t flags = r.u8();
        if (flags == 0)
            break;
        if (flags & 0x08)
            style.fontId = r.u16();
        if (flags & 0x04)
            style.color = t.code == kDefineText2 ? ReadRgba(r) : ReadRgb(r);
        if (flags & 0x01)
            x = r.s16();
        if (flags & 0x02)
            y = r.s16();
        if (flags & 0x08)
            style.height = r.u16();
        const int count = r.u8();
        TextRecord rec = style;
        rec.x = x;
        rec.y = y;
        for (int i = 0; i < count && !r.failed(); ++i) {
            TextGlyph g;
            g.index = int(r.ub(glyphBits));
            g.advance = r.sb(advanceBits);
            x += g.advance;
            rec.glyphs.push_back(g);
        }
        r.align();
        c->records.push_back(std::move(rec));
    }
    define(id, c);
}

void Loader::defineEditText(const Tag& t)
{
    Reader r(t.data);
    r.utf8 = version() >= 6;
    auto c = std::make_shared<EditTextCharacter>();
    const int id = r.u16();
    c->bounds = ReadRect(r);
    const uint8_t f1 = r.u8(), f2 = r.u8();
    const bool hasText = f1 & 0x80, hasColor = f1 & 0x04, hasMaxLength = f1 & 0x02;
    c->hasColor = hasColor;
    c->hasFont = f1 & 0x01;
    c->wordWrap = f1 & 0x40;
    c->multiline = f1 & 0x20;
    c->password = f1 & 0x10;
    c->readOnly = f1 & 0x08;
    const bool hasFontClass = f2 & 0x80, hasLayout = f2 & 0x20;
    c->autoSize = f2 & 0x40;
    c->noSelect = f2 & 0x10;
    c->border = f2 & 0x08;
    c->html = f2 & 0x02;
    c->useOutlines = f2 & 0x01;
    if (c->hasFont)
        c->fontId = r.u16();
    if (hasFontClass)
        c->fontClass = r.string();
    if (c->hasFont || hasFontClass)
        c->fontHeight = r.u16();
    if (hasColor)
        c->color = ReadRgba(r);
    if (hasMaxLength)
        c->maxLength = r.u16();
    if (hasLayout) {
        c->align = r.u8();
        c->leftMargin = r.u16();
        c->rightMargin = r.u16();
        c->indent = r.u16();
        c->leading = r.s16();
    }
    c->variableName = r.string();
    if (hasText)
        c->text = r.string();
    EditTextCharacter* raw = c.get();
    if (define(id, c))
        editTexts[id] = raw;
}

// CSMTextSettings: how a field's text is anti-aliased and fitted to pixels.
void Loader::textSettings(const Tag& t)
{
    Reader r(t.data);
    const int id = r.u16();
    const uint8_t flags = r.u8();
    const float thickness = r.f32(), sharpness = r.f32();
    const auto it = editTexts.find(id);
    if (r.failed() || it == editTexts.end())
        return;
    it->second->advancedAntiAlias = (flags >> 6) == 1;
    it->second->gridFit = (flags >> 3) & 7;
    it->second->thickness = thickness;
    it->second->sharpness = sharpness;
}

void Loader::defineButton(const Tag& t)
{
    Reader r(t.data);
    auto c = std::make_shared<ButtonCharacter>();
    const int id = r.u16();
    const bool v2 = t.code == kDefineButton2;
    size_t actionPos = 0;
    if (v2) {
        c->trackAsMenu = r.u8() & 1;
        const size_t at = r.pos();
        const int offset = r.u16();
        if (offset)
            actionPos = at + size_t(offset);
    }
    while (!r.failed() && !r.atEnd()) {
        const uint8_t flags = r.u8();
        if (flags == 0)
            break;
        ButtonRecord b;
        b.up = flags & 0x01;
        b.over = flags & 0x02;
        b.down = flags & 0x04;
        b.hit = flags & 0x08;
        b.characterId = r.u16();
        b.depth = r.u16();
        b.matrix = ReadMatrix(r);
        if (v2) {
            b.colorTransform = ReadColorTransform(r, true);
            if (flags & 0x10)
                b.filters = ReadFilterList(r);
            if (flags & 0x20)
                b.blendMode = r.u8();
        }
        c->records.push_back(b);
    }
    if (!v2) {
        // DefineButton: one action list, run on release.
        if (!r.failed() && r.remaining() > 0) {
            ButtonAction a;
            a.conditions = kCondOverDownToOverUp;
            a.code = std::make_shared<const QByteArray>(r.bytes(r.remaining()));
            c->actions.push_back(std::move(a));
        }
    } else if (actionPos > 0 && actionPos < size_t(t.data.size())) {
        r.seek(actionPos);
        while (!r.failed() && r.remaining() >= 4) {
            const size_t start = r.pos();
            const int size = r.u16();
            ButtonAction a;
            a.conditions = r.u8();
            a.conditions |= quint32(r.u8()) << 8;
            const size_t end = size ? std::min(start + size_t(size), size_t(t.data.size())) : size_t(t.data.size());
            if (end <= r.pos())
                break;
            a.code = std::make_shared<const QByteArray>(r.bytes(end - r.pos()));
            c->actions.push_back(std::move(a));
            if (size == 0)
                break;
            r.seek(end);
        }
    }
    if (!c->actions.empty())
        movie.hasScripts = true;
    std::stable_sort(c->records.begin(), c->records.end(),
                     [](const ButtonRecord& a, const ButtonRecord& b) { return a.depth < b.depth; });
    ButtonCharacter* raw = c.get();
    if (define(id, c))
        buttons.emplace(id, raw);
}

void Loader::defineButtonSound(const Tag& t)
{
    Reader r(t.data);
    const auto it = buttons.find(r.u16());
    if (it == buttons.end())
        return;
    for (auto& sound : it->second->sounds) {
        const int id = r.u16();
        if (r.failed())
            break;
        if (id == 0)
            continue;
        SoundStart s;
        s.soundId = id;
        s.info = ReadSoundInfo(r);
        sound = s;
    }
}

void Loader::defineVideo(const Tag& t)
{
    Reader r(t.data);
    auto c = std::make_shared<VideoCharacter>();
    const int id = r.u16();
    c->frameCount = r.u16();
    c->width = r.u16();
    c->height = r.u16();
    const uint8_t flags = r.u8();
    c->deblocking = (flags >> 1) & 7;
    c->smoothing = flags & 1;
    c->codec = r.u8();
    define(id, c);
}

void Loader::videoFrame(const Tag& t)
{
    Reader r(t.data);
    const int id = r.u16();
    const int frame = r.u16();
    const auto it = movie.dictionary.find(id);
    if (it == movie.dictionary.end() || it->second->kind() != CharacterKind::Video)
        return;
    // Frames arrive while loading, so the character is still ours to fill.
    auto* v = const_cast<VideoCharacter*>(static_cast<const VideoCharacter*>(it->second.get()));
    v->frames.emplace(frame, r.bytes(r.remaining()));
}

void Loader::defineSound(const Tag& t)
{
    Reader r(t.data);
    auto c = std::make_shared<SoundCharacter>();
    const int id = r.u16();
    c->format = int(r.ub(4));
    c->rate = int(r.ub(2));
    c->is16Bit = r.flag();
    c->stereo = r.flag();
    c->sampleCount = r.u32();
    c->data = r.bytes(r.remaining());
    define(id, c);
}

void Loader::run(const std::vector<Tag>& tags, Timeline& timeline, int nesting)
{
    Frame frame;
    // The stream of this timeline, as an index: a sprite's own head, met
    // while this timeline is read, adds to the same vector.
    int stream = -1;
    for (const Tag& t : tags) {
        // Frames and control tags are kept in memory for the whole run;
        // past their limits the timeline ends where it is.
        const bool control = t.code == kPlaceObject || t.code == kPlaceObject2 || t.code == kPlaceObject3
            || t.code == kRemoveObject || t.code == kRemoveObject2;
        if (t.code == kShowFrame && ++framesLoaded > kMaxFramesInMovie) {
            noteCut(QStringLiteral("the movie has more than %1 frames; the rest are left out").arg(kMaxFramesInMovie));
            break;
        }
        if (control && ++controlTagsLoaded > kMaxControlTags) {
            noteCut(QStringLiteral("the movie places or removes objects more than %1 times; the rest is left out")
                        .arg(kMaxControlTags));
            break;
        }
        switch (t.code) {
        case kEnd:
            break;
        case kShowFrame:
            timeline.frames.push_back(std::move(frame));
            frame = Frame();
            break;
        case kPlaceObject:
        case kPlaceObject2:
        case kPlaceObject3: {
            PlaceObject p = ReadPlaceObject(t, version());
            if (p.clipActions)
                movie.hasScripts = true;
            frame.tags.emplace_back(std::move(p));
            break;
        }
        case kDoAction:
            if (!t.data.isEmpty()) {
                frame.actions.push_back(std::make_shared<const QByteArray>(t.data));
                movie.hasScripts = true;
            }
            break;
        case kDoInitAction: {
            Reader r(t.data);
            InitAction a;
            a.spriteId = r.u16();
            a.code = std::make_shared<const QByteArray>(r.bytes(r.remaining()));
            frame.initActions.push_back(std::move(a));
            movie.hasScripts = true;
            break;
        }
        case kExportAssets:
            if (nesting == 0) {
                Reader r(t.data);
                r.utf8 = version() >= 6;
                const int count = r.u16();
                for (int i = 0; i < count && !r.failed(); ++i) {
                    const int id = r.u16();
                    const QString name = r.string();
                    if (!r.failed())
                        movie.exports.insert_or_assign(name, id);   // a later export of a name wins
                }
            }
            break;
        case kFileAttributes:
            if (nesting == 0 && !t.data.isEmpty()) {
                movie.avm2 = (uint8_t(t.data[0]) & 0x08) != 0;
                movie.useNetwork = (uint8_t(t.data[0]) & 0x01) != 0;
            }
            break;
        case kRemoveObject: {
            Reader r(t.data);
            RemoveObject ro;
            ro.characterId = r.u16();
            ro.depth = r.u16();
            frame.tags.emplace_back(ro);
            break;
        }
        case kRemoveObject2: {
            Reader r(t.data);
            RemoveObject ro;
            ro.depth = r.u16();
            frame.tags.emplace_back(ro);
            break;
        }
        case kFrameLabel: {
            Reader r(t.data);
            r.utf8 = version() >= 6;
            frame.label = r.string();
            break;
        }
        case kSetBackgroundColor:
            if (nesting == 0 && !movie.hasBackground) {
                Reader r(t.data);
                movie.background = ReadRgb(r);
                movie.hasBackground = true;
            }
            break;
        case kJpegTables:
            if (nesting == 0)
                jpegTables = t.data;
            break;
        case kDefineShape:
        case kDefineShape2:
        case kDefineShape3:
        case kDefineShape4:
            if (nesting == 0) defineShape(t);
            break;
        case kDefineMorphShape:
        case kDefineMorphShape2:
            if (nesting == 0) defineMorph(t);
            break;
        case kDefineBits:
        case kDefineBitsJpeg2:
        case kDefineBitsJpeg3:
        case kDefineBitsJpeg4:
        case kDefineBitsLossless:
        case kDefineBitsLossless2:
            if (nesting == 0) defineBits(t);
            break;
        case kDefineFont:
        case kDefineFont2:
        case kDefineFont3:
            if (nesting == 0) defineFont(t);
            break;
        case kDefineFontInfo:
        case kDefineFontInfo2:
            if (nesting == 0) defineFontInfo(t);
            break;
        case kDefineText:
        case kDefineText2:
            if (nesting == 0) defineText(t);
            break;
        case kDefineEditText:
            if (nesting == 0) defineEditText(t);
            break;
        case kCsmTextSettings:
            if (nesting == 0) textSettings(t);
            break;
        case kDefineButton:
        case kDefineButton2:
            if (nesting == 0) defineButton(t);
            break;
        case kDefineVideoStream:
            if (nesting == 0) defineVideo(t);
            break;
        case kVideoFrame:
            videoFrame(t);
            break;
        case kDefineSound:
            if (nesting == 0) defineSound(t);
            break;
        case kSoundStreamHead:
        case kSoundStreamHead2: {
            Reader r(t.data);
            SoundStream s;
            r.u8();
            s.format = int(r.ub(4));
            s.rate = int(r.ub(2));
            s.is16Bit = r.flag();
            s.stereo = r.flag();
            s.samplesPerBlock = r.u16();
            if (s.format == 2)
                s.latencySeek = r.s16();
            movie.streams.push_back(s);
            stream = int(movie.streams.size()) - 1;
            break;
        }
        case kSoundStreamBlock:
            // A block before any head has no format to be played by.
            if (stream >= 0) {
                auto& blocks = movie.streams[size_t(stream)].blocks;
                blocks.push_back(t.data);
                frame.stream = stream;
                frame.streamBlock = int(blocks.size()) - 1;
            }
            break;
        case kStartSound:
        case kStartSound2: {
            Reader r(t.data);
            SoundStart s;
            if (t.code == kStartSound) {
                s.soundId = r.u16();
            } else {
                r.utf8 = true;
                s.className = r.string();
            }
            s.info = ReadSoundInfo(r);
            if (s.soundId != 0 || !s.className.isEmpty())
                frame.sounds.push_back(std::move(s));
            break;
        }
        case kDefineButtonSound:
            if (nesting == 0) defineButtonSound(t);
            break;
        case kDefineSprite:
            if (nesting == 0) {
                Reader r(t.data);
                const int id = r.u16();
                r.u16();   // frame count as declared; the ShowFrame tags decide
                bool cut = false;
                const std::vector<Tag> inner = ReadTags(r, &cut);
                if (cut)
                    noteCut(QStringLiteral("a sprite has more than %1 tags; the rest are left out").arg(kMaxTagsPerTimeline));
                auto s = std::make_shared<SpriteCharacter>();
                run(inner, s->timeline, nesting + 1);
                if (s->timeline.frames.empty())
                    s->timeline.frames.emplace_back();
                define(id, s);
            }
            break;
        default:
            break;   // tags the engine does not use are skipped by their length
        }
        if (t.code == kEnd)
            break;
    }
    // Control tags after the last ShowFrame still belong to a frame.
    if (!frame.tags.empty() || !frame.sounds.empty() || frame.streamBlock >= 0)
        timeline.frames.push_back(std::move(frame));
}

} // namespace

namespace {

MovieInfo infoOf(const Header& header)
{
    MovieInfo info;
    info.version = header.version;
    info.compression = header.signature == 'C' ? Compression::Zlib
                       : header.signature == 'Z' ? Compression::Lzma : Compression::None;
    info.declaredLength = header.declaredLength;
    if (!header.valid)
        return info;
    info.valid = true;
    info.stageRect = header.frameSize.toPixels();
    info.frameRate = header.frameRate;
    info.headerFrameCount = header.frameCount;
    return info;
}

} // namespace

MovieInfo ReadMovieInfo(const QByteArray& bytes)
{
    return infoOf(DecodeFile(bytes).header);
}

std::shared_ptr<const Movie> LoadMovie(const QByteArray& bytes)
{
    auto movie = std::make_shared<Movie>();
    const DecodedFile file = DecodeFile(bytes);
    movie->info = infoOf(file.header);
    if (!movie->info.valid)
        return movie;
    Reader r(file.body);
    ReadRect(r);
    r.skip(4);
    bool cut = false;
    const std::vector<Tag> tags = ReadTags(r, &cut);
    if (cut)
        movie->cutShort << QStringLiteral("the movie has more than %1 tags; the rest are left out").arg(kMaxTagsPerTimeline);
    Loader loader(*movie);
    loader.run(tags, movie->root, 0);
    if (movie->root.frames.empty())
        movie->root.frames.emplace_back();
    return movie;
}

std::shared_ptr<const Movie> LoadMovieFile(const QString& path)
{
    QByteArray bytes;
    if (!ReadMovieFile(path, bytes).isEmpty())
        return LoadMovie(QByteArray());
    return LoadMovie(bytes);
}

} // namespace plovex::swf

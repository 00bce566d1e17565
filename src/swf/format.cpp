#include "swf/format.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plovex::swf {

// --- Reader -------------------------------------------------------------

uint8_t Reader::u8()
{
    bitCount_ = 0;
    if (pos_ >= size_) {
        failed_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t Reader::u16()
{
    const uint16_t lo = u8();
    return uint16_t(lo | (uint16_t(u8()) << 8));
}

uint32_t Reader::u32()
{
    const uint32_t lo = u16();
    return lo | (uint32_t(u16()) << 16);
}

float Reader::f32()
{
    const uint32_t v = u32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

double Reader::f64()
{
    // Stored as two little-endian 32-bit words, high word first.
    const uint64_t hi = u32();
    const uint64_t lo = u32();
    const uint64_t v = (hi << 32) | lo;
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

float Reader::f16()
{
    const uint16_t v = u16();
    const int sign = v >> 15, exp = (v >> 10) & 0x1f, mant = v & 0x3ff;
    float f;
    if (exp == 0)
        f = std::ldexp(float(mant), -24);
    else if (exp == 31)
        f = mant ? NAN : INFINITY;
    else
        f = std::ldexp(float(mant | 0x400), exp - 25);
    return sign ? -f : f;
}

uint32_t Reader::encodedU32()
{
    uint32_t result = 0;
    for (int i = 0; i < 5; ++i) {
        const uint8_t b = u8();
        result |= uint32_t(b & 0x7f) << (7 * i);
        if (!(b & 0x80))
            break;
    }
    return result;
}

QByteArray Reader::bytes(size_t n)
{
    bitCount_ = 0;
    if (n > remaining()) {
        failed_ = true;
        n = remaining();
    }
    QByteArray out(reinterpret_cast<const char*>(data_ + pos_), qsizetype(n));
    pos_ += n;
    return out;
}

QString Reader::string()
{
    bitCount_ = 0;
    size_t end = pos_;
    while (end < size_ && data_[end] != 0)
        ++end;
    const char* s = reinterpret_cast<const char*>(data_ + std::min(pos_, size_));
    const qsizetype n = qsizetype(end - std::min(pos_, size_));
    QString out = utf8 ? QString::fromUtf8(s, n) : QString::fromLatin1(s, n);
    if (end >= size_)
        failed_ = true;
    pos_ = std::min(end + 1, size_);
    return out;
}

void Reader::skip(size_t n)
{
    bitCount_ = 0;
    if (n > remaining()) {
        failed_ = true;
        pos_ = size_;
    } else {
        pos_ += n;
    }
}

Reader Reader::sub(size_t n)
{
    bitCount_ = 0;
    if (n > remaining()) {
        failed_ = true;
        n = remaining();
    }
    Reader r(data_ + std::min(pos_, size_), n);
    r.utf8 = utf8;
    pos_ += n;
    return r;
}

uint32_t Reader::ub(int n)
{
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
        if (bitCount_ == 0) {
            if (pos_ >= size_) {
                failed_ = true;
                bitBuf_ = 0;
            } else {
                bitBuf_ = data_[pos_++];
            }
            bitCount_ = 8;
        }
        --bitCount_;
        v = (v << 1) | ((bitBuf_ >> bitCount_) & 1);
    }
    return v;
}

int32_t Reader::sb(int n)
{
    if (n <= 0)
        return 0;
    const uint32_t v = ub(n);
    if (n >= 32)
        return int32_t(v);
    if (v & (1u << (n - 1)))
        return int32_t(v | ~((1u << n) - 1));
    return int32_t(v);
}

// --- Colour transforms ---------------------------------------------------

static inline int clamp255(double v)
{
    return v <= 0 ? 0 : v >= 255 ? 255 : int(v);
}

QColor ColorTransform::apply(const QColor& c) const
{
    return QColor(clamp255(c.red() * rm + ra), clamp255(c.green() * gm + ga),
                  clamp255(c.blue() * bm + ba), clamp255(c.alpha() * am + aa));
}

QRgb ColorTransform::apply(QRgb c) const
{
    return qRgba(clamp255(qRed(c) * rm + ra), clamp255(qGreen(c) * gm + ga),
                 clamp255(qBlue(c) * bm + ba), clamp255(qAlpha(c) * am + aa));
}

ColorTransform ColorTransform::operator*(const ColorTransform& in) const
{
    ColorTransform o;
    o.rm = rm * in.rm; o.gm = gm * in.gm; o.bm = bm * in.bm; o.am = am * in.am;
    o.ra = rm * in.ra + ra; o.ga = gm * in.ga + ga; o.ba = bm * in.ba + ba; o.aa = am * in.aa + aa;
    return o;
}

// --- Header and decompression -------------------------------------------

static QByteArray inflateCapped(const uint8_t* data, size_t size, size_t want, bool& complete)
{
    QByteArray out;
    out.resize(qsizetype(want));
    z_stream zs{};
    complete = false;
    if (inflateInit(&zs) != Z_OK)
        return {};
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = uInt(std::min<size_t>(size, 0x7fffffff));
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(want);
    int rc = Z_OK;
    while (zs.avail_out > 0 && rc == Z_OK)
        rc = inflate(&zs, Z_NO_FLUSH);
    const size_t got = want - zs.avail_out;
    complete = (rc == Z_STREAM_END || zs.avail_out == 0);
    inflateEnd(&zs);
    out.resize(qsizetype(got));
    return out;
}

static QByteArray lzmaCapped(const uint8_t* props, const uint8_t* data, size_t size, size_t want, bool& complete)
{
    complete = false;
    lzma_filter filters[2];
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[0].options = nullptr;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, props, 5) != LZMA_OK)
        return {};
    // The dictionary is allocated up front at the size the header names. A
    // dictionary larger than the output is never used, so a hostile header
    // cannot make us reserve gigabytes.
    auto* lzmaOptions = static_cast<lzma_options_lzma*>(filters[0].options);
    const uint64_t dictCap = std::clamp<uint64_t>(want, LZMA_DICT_SIZE_MIN, uint64_t(1) << 28);
    lzmaOptions->dict_size = uint32_t(std::clamp<uint64_t>(lzmaOptions->dict_size, LZMA_DICT_SIZE_MIN, dictCap));
    lzma_stream strm = LZMA_STREAM_INIT;
    const lzma_ret init = lzma_raw_decoder(&strm, filters);
    free(filters[0].options);
    if (init != LZMA_OK)
        return {};
    QByteArray out;
    out.resize(qsizetype(want));
    strm.next_in = data;
    strm.avail_in = size;
    strm.next_out = reinterpret_cast<uint8_t*>(out.data());
    strm.avail_out = want;
    lzma_ret rc = LZMA_OK;
    while (strm.avail_out > 0 && rc == LZMA_OK) {
        const size_t before = strm.avail_in + strm.avail_out;
        rc = lzma_code(&strm, strm.avail_in ? LZMA_RUN : LZMA_FINISH);
        if (strm.avail_in + strm.avail_out == before && rc == LZMA_OK)
            break;   // no progress: input exhausted
    }
    const size_t got = want - strm.avail_out;
    complete = (strm.avail_out == 0 || rc == LZMA_STREAM_END);
    lzma_end(&strm);
    out.resize(qsizetype(got));
    return out;
}

DecodedFile DecodeFile(const QByteArray& file)
{
    DecodedFile out;
    Header& h = out.header;
    if (file.size() < 8)
        return out;
    const auto* p = reinterpret_cast<const uint8_t*>(file.constData());
    if (!((p[0] == 'F' || p[0] == 'C' || p[0] == 'Z') && p[1] == 'W' && p[2] == 'S'))
        return out;
    h.signature = char(p[0]);
    h.version = p[3];
    h.declaredLength = quint32(p[4]) | quint32(p[5]) << 8 | quint32(p[6]) << 16 | quint32(p[7]) << 24;
    // The body is what follows the 8-byte header; never allocate more than
    // the cap, nor more than the compressed data could plausibly expand to.
    const size_t declaredBody = h.declaredLength > 8 ? h.declaredLength - 8 : 0;
    bool complete = true;
    if (h.signature == 'F') {
        const size_t have = size_t(file.size()) - 8;
        out.body = file.mid(8, qsizetype(std::min(have, declaredBody ? declaredBody : have)));
        complete = have >= declaredBody;
    } else if (h.signature == 'C') {
        const size_t inSize = size_t(file.size()) - 8;
        // zlib expands at most about 1032:1
        const size_t want = std::min<size_t>({declaredBody, kMaxDecompressedLength, inSize * 1032 + 1024});
        out.body = inflateCapped(p + 8, inSize, want, complete);
        complete = complete && want == declaredBody;
    } else {
        if (file.size() < 17)
            return out;
        const size_t inSize = size_t(file.size()) - 17;
        const size_t want = std::min<size_t>({declaredBody, kMaxDecompressedLength, inSize * 8192 + 4096});
        out.body = lzmaCapped(p + 12, p + 17, inSize, want, complete);
        complete = complete && want == declaredBody;
    }
    h.truncated = !complete;
    Reader r(out.body);
    h.frameSize = ReadRect(r);
    r.align();
    const uint8_t rateLo = r.u8();   // 8.8 fixed, fractional byte first
    const uint8_t rateHi = r.u8();
    h.frameRate = rateHi + rateLo / 256.0;
    h.frameCount = r.u16();
    h.valid = !r.failed();
    return out;
}

// --- Tags -----------------------------------------------------------------

std::vector<Tag> ReadTags(Reader& r, bool* cut)
{
    std::vector<Tag> tags;
    if (cut)
        *cut = false;
    while (r.remaining() >= 2) {
        if (tags.size() >= size_t(kMaxTagsPerTimeline)) {
            if (cut)
                *cut = true;
            break;
        }
        const uint16_t codeAndLength = r.u16();
        Tag t;
        t.code = codeAndLength >> 6;
        uint32_t len = codeAndLength & 0x3f;
        if (len == 0x3f)
            len = r.u32();
        if (r.failed())
            break;
        const bool cut = len > r.remaining();
        t.data = r.bytes(std::min<size_t>(len, r.remaining()));
        const int code = t.code;
        tags.push_back(std::move(t));
        if (cut || code == kEnd)
            break;
    }
    return tags;
}

Rect ReadRect(Reader& r)
{
    r.align();
    Rect rc;
    const int n = int(r.ub(5));
    rc.xMin = r.sb(n);
    rc.xMax = r.sb(n);
    rc.yMin = r.sb(n);
    rc.yMax = r.sb(n);
    r.align();
    return rc;
}

Matrix ReadMatrix(Reader& r)
{
    r.align();
    Matrix m;
    if (r.flag()) {
        const int n = int(r.ub(5));
        m.a = r.fb(n);
        m.d = r.fb(n);
    }
    if (r.flag()) {
        const int n = int(r.ub(5));
        m.b = r.fb(n);
        m.c = r.fb(n);
    }
    const int n = int(r.ub(5));
    m.tx = r.sb(n);
    m.ty = r.sb(n);
    r.align();
    return m;
}

ColorTransform ReadColorTransform(Reader& r, bool withAlpha)
{
    r.align();
    ColorTransform c;
    const bool hasAdd = r.flag();
    const bool hasMult = r.flag();
    const int n = int(r.ub(4));
    if (hasMult) {
        c.rm = r.sb(n) / 256.0;
        c.gm = r.sb(n) / 256.0;
        c.bm = r.sb(n) / 256.0;
        if (withAlpha)
            c.am = r.sb(n) / 256.0;
    }
    if (hasAdd) {
        c.ra = r.sb(n);
        c.ga = r.sb(n);
        c.ba = r.sb(n);
        if (withAlpha)
            c.aa = r.sb(n);
    }
    r.align();
    return c;
}

QColor ReadRgb(Reader& r)
{
    const int red = r.u8(), g = r.u8(), b = r.u8();
    return QColor(red, g, b);
}

QColor ReadRgba(Reader& r)
{
    const int red = r.u8(), g = r.u8(), b = r.u8(), a = r.u8();
    return QColor(red, g, b, a);
}

static Gradient readGradient(Reader& r, int shapeVersion, bool focal)
{
    Gradient g;
    r.align();
    g.spread = int(r.ub(2));
    g.interpolation = int(r.ub(2));
    const int n = int(r.ub(4));
    for (int i = 0; i < n && !r.failed(); ++i) {
        GradientRecord rec;
        rec.ratio = r.u8();
        rec.color = shapeVersion >= 3 ? ReadRgba(r) : ReadRgb(r);
        g.records.push_back(rec);
    }
    if (focal)
        g.focal = r.fixed8();
    return g;
}

FillStyle ReadFillStyle(Reader& r, int shapeVersion)
{
    FillStyle f;
    f.type = r.u8();
    switch (f.type) {
    case FillStyle::Solid:
        f.color = shapeVersion >= 3 ? ReadRgba(r) : ReadRgb(r);
        break;
    case FillStyle::Linear:
    case FillStyle::Radial:
    case FillStyle::Focal:
        f.matrix = ReadMatrix(r);
        f.gradient = readGradient(r, shapeVersion, f.type == FillStyle::Focal);
        break;
    case FillStyle::RepeatingBitmap:
    case FillStyle::ClippedBitmap:
    case FillStyle::RepeatingBitmapHard:
    case FillStyle::ClippedBitmapHard:
        f.bitmapId = r.u16();
        f.matrix = ReadMatrix(r);
        break;
    default:
        // Unknown fill type: the rest of the shape cannot be trusted.
        f.type = FillStyle::Solid;
        f.color = QColor(0, 0, 0, 0);
        r.skip(r.remaining());
        break;
    }
    return f;
}

static void readStyles(Reader& r, int v, ShapeLayer& layer)
{
    size_t n = r.u8();
    if (n == 0xff && v >= 2)
        n = r.u16();
    for (size_t i = 0; i < n && !r.failed(); ++i)
        layer.fills.push_back(ReadFillStyle(r, v));
    n = r.u8();
    if (n == 0xff && v >= 2)
        n = r.u16();
    for (size_t i = 0; i < n && !r.failed(); ++i) {
        LineStyle l;
        l.width = r.u16();
        if (v >= 4) {
            l.startCap = int(r.ub(2));
            l.join = int(r.ub(2));
            const bool hasFill = r.flag();
            l.noHScale = r.flag();
            l.noVScale = r.flag();
            l.pixelHinting = r.flag();
            r.ub(5);
            l.noClose = r.flag();
            l.endCap = int(r.ub(2));
            r.align();
            if (l.join == 2)
                l.miterLimit = r.fixed8();
            if (hasFill) {
                l.fill = ReadFillStyle(r, v);
                l.color = l.fill->type == FillStyle::Solid ? l.fill->color : QColor(0, 0, 0, 255);
                if (l.fill->type == FillStyle::Solid)
                    l.fill.reset();
            } else {
                l.color = ReadRgba(r);
            }
        } else {
            l.color = v >= 3 ? ReadRgba(r) : ReadRgb(r);
        }
        layer.lines.push_back(l);
    }
}

ShapeData ReadShape(Reader& r, int v, bool withStyles)
{
    ShapeData s;
    s.layers.emplace_back();
    if (withStyles)
        readStyles(r, v, s.layers.back());
    r.align();
    int fillBits = int(r.ub(4));
    int lineBits = int(r.ub(4));
    QPointF pen;
    ShapeRecordPath cur;
    auto flush = [&] {
        if (!cur.edges.empty())
            s.layers.back().paths.push_back(cur);
        cur.edges.clear();
    };
    // Bounded by the data: every record consumes at least 6 bits.
    while (!r.failed()) {
        const bool isEdge = r.flag();
        if (!isEdge) {
            const uint32_t flags = r.ub(5);
            if (flags == 0)
                break;
            flush();
            const bool newStyles = flags & 0x10, hasLine = flags & 0x08, hasFill1 = flags & 0x04,
                       hasFill0 = flags & 0x02, moveTo = flags & 0x01;
            if (moveTo) {
                const int n = int(r.ub(5));
                const int x = r.sb(n);
                const int y = r.sb(n);
                pen = QPointF(x, y);
            }
            int f0 = cur.fill0, f1 = cur.fill1, ln = cur.line;
            if (hasFill0)
                f0 = int(r.ub(fillBits));
            if (hasFill1)
                f1 = int(r.ub(fillBits));
            if (hasLine)
                ln = int(r.ub(lineBits));
            if (newStyles && withStyles) {
                s.layers.emplace_back();
                readStyles(r, v, s.layers.back());
                r.align();
                fillBits = int(r.ub(4));
                lineBits = int(r.ub(4));
                if (!hasFill0) f0 = 0;
                if (!hasFill1) f1 = 0;
                if (!hasLine) ln = 0;
            }
            cur.fill0 = f0;
            cur.fill1 = f1;
            cur.line = ln;
        } else {
            const bool straight = r.flag();
            const int n = int(r.ub(4)) + 2;
            Edge e;
            e.from = pen;
            if (straight) {
                int dx = 0, dy = 0;
                if (r.flag()) {
                    dx = r.sb(n);
                    dy = r.sb(n);
                } else if (r.flag()) {
                    dy = r.sb(n);
                } else {
                    dx = r.sb(n);
                }
                pen += QPointF(dx, dy);
                e.to = pen;
            } else {
                const int cx = r.sb(n), cy = r.sb(n), ax = r.sb(n), ay = r.sb(n);
                e.control = pen + QPointF(cx, cy);
                pen = e.control + QPointF(ax, ay);
                e.to = pen;
                e.curved = true;
            }
            if (!r.failed())
                cur.edges.push_back(e);
        }
    }
    flush();
    return s;
}

std::vector<Filter> ReadFilterList(Reader& r)
{
    std::vector<Filter> out;
    int passes = 0;
    const int n = r.u8();
    for (int i = 0; i < n && !r.failed(); ++i) {
        Filter f;
        f.type = r.u8();
        switch (f.type) {
        case Filter::DropShadow:
            f.colors.push_back(ReadRgba(r));
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.angle = r.fixed16();
            f.distance = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.passes = int(r.ub(5));
            break;
        case Filter::Blur:
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.passes = int(r.ub(5));
            r.ub(3);
            break;
        case Filter::Glow:
            f.colors.push_back(ReadRgba(r));
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.passes = int(r.ub(5));
            break;
        case Filter::Bevel:
            f.colors.push_back(ReadRgba(r));   // highlight: files store it first
            f.colors.push_back(ReadRgba(r));   // shadow
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.angle = r.fixed16();
            f.distance = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.onTop = r.flag();
            f.passes = int(r.ub(4));
            break;
        case Filter::GradientGlow:
        case Filter::GradientBevel: {
            const int c = r.u8();
            for (int k = 0; k < c; ++k)
                f.colors.push_back(ReadRgba(r));
            for (int k = 0; k < c; ++k)
                f.ratios.push_back(r.u8());
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.angle = r.fixed16();
            f.distance = r.fixed16();
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.onTop = r.flag();
            f.passes = int(r.ub(4));
            break;
        }
        case Filter::Convolution: {
            f.matrixX = r.u8();
            f.matrixY = r.u8();
            f.divisor = r.f32();
            f.bias = r.f32();
            const size_t cells = size_t(f.matrixX) * size_t(f.matrixY);
            if (cells * 4 > r.remaining()) {
                r.skip(r.remaining());
                break;
            }
            for (size_t k = 0; k < cells; ++k)
                f.matrix.push_back(r.f32());
            f.defaultColor = ReadRgba(r);
            r.ub(6);
            f.clamp = r.flag();
            f.preserveAlpha = r.flag();
            break;
        }
        case Filter::ColorMatrix:
            for (int k = 0; k < 20; ++k)
                f.matrix.push_back(r.f32());
            break;
        default:
            r.skip(r.remaining());   // unknown filter: its size is unknown
            return out;
        }
        // The Flash Player blurs by at most 255 pixels, in at most 15 passes.
        f.blurX = std::clamp(f.blurX, 0.0, 255.0);
        f.blurY = std::clamp(f.blurY, 0.0, 255.0);
        f.passes = std::min(f.passes, 15);
        if (r.failed())
            break;
        // A convolution larger than the Flash Player takes is not applied;
        // nor are filters past the list's share of passes.
        if (f.type == Filter::Convolution && (f.matrixX > kMaxConvolutionSide || f.matrixY > kMaxConvolutionSide))
            continue;
        const int cost = f.type == Filter::Convolution || f.type == Filter::ColorMatrix ? 1 : std::max(f.passes, 1);
        if (passes + cost > kMaxFilterPassesPerObject)
            continue;
        passes += cost;
        out.push_back(std::move(f));
    }
    return out;
}

PlaceObject ReadPlaceObject(const Tag& tag, int swfVersion)
{
    Reader r(tag.data);
    r.utf8 = swfVersion >= 6;
    PlaceObject p;
    if (tag.code == kPlaceObject) {
        p.version = 1;
        p.characterId = r.u16();
        p.depth = r.u16();
        p.matrix = ReadMatrix(r);
        if (r.remaining() > 0)
            p.colorTransform = ReadColorTransform(r, false);
        return p;
    }
    p.version = tag.code == kPlaceObject2 ? 2 : 3;
    const uint8_t f1 = r.u8();
    const uint8_t f2 = p.version >= 3 ? r.u8() : 0;
    p.depth = r.u16();
    p.move = f1 & 0x01;
    const bool hasChar = f1 & 0x02, hasMatrix = f1 & 0x04, hasCx = f1 & 0x08, hasRatio = f1 & 0x10,
               hasName = f1 & 0x20, hasClip = f1 & 0x40;
    const bool hasFilters = f2 & 0x01, hasBlend = f2 & 0x02, hasCache = f2 & 0x04, hasClass = f2 & 0x08,
               hasImage = f2 & 0x10, hasVisible = f2 & 0x20, hasOpaqueBg = f2 & 0x40;
    if (hasClass || (hasImage && hasChar))
        p.className = r.string();
    if (hasChar)
        p.characterId = r.u16();
    if (hasMatrix)
        p.matrix = ReadMatrix(r);
    if (hasCx)
        p.colorTransform = ReadColorTransform(r, true);
    if (hasRatio)
        p.ratio = r.u16();
    if (hasName)
        p.name = r.string();
    if (hasClip)
        p.clipDepth = r.u16();
    if (hasFilters)
        p.filters = ReadFilterList(r);
    if (hasBlend)
        p.blendMode = r.u8();
    if (hasCache)
        p.cacheAsBitmap = r.remaining() ? r.u8() != 0 : true;
    if (hasVisible) {
        p.visible = r.u8() != 0;
    }
    if (hasOpaqueBg)
        p.backgroundColor = ReadRgba(r);
    if (f1 & 0x80) {
        // Clip actions: reserved word, all events, then records until a
        // record whose events are zero.
        auto actions = std::make_shared<std::vector<ClipAction>>();
        const bool wide = swfVersion >= 6;
        r.u16();
        if (wide) r.u32(); else r.u16();
        while (!r.failed() && r.remaining() > 0) {
            const quint32 events = wide ? r.u32() : r.u16();
            if (events == 0 || r.failed())
                break;
            quint32 size = r.u32();
            ClipAction a;
            a.events = events;
            if ((events & kEvKeyPress) && size > 0) {
                a.keyCode = r.u8();
                --size;
            }
            a.code = r.bytes(std::min<size_t>(size, r.remaining()));
            actions->push_back(std::move(a));
        }
        if (!actions->empty())
            p.clipActions = std::move(actions);
    }
    return p;
}

SoundInfo ReadSoundInfo(Reader& r)
{
    SoundInfo info;
    const uint8_t flags = r.u8();
    info.syncStop = flags & 0x20;
    info.syncNoMultiple = flags & 0x10;
    if (flags & 0x01)
        info.inPoint = r.u32();
    if (flags & 0x02)
        info.outPoint = r.u32();
    if (flags & 0x04)
        info.loops = r.u16();
    if (flags & 0x08) {
        const int count = r.u8();
        for (int i = 0; i < count && !r.failed(); ++i) {
            SoundEnvelopePoint e;
            e.position44 = r.u32();
            e.left = r.u16();
            e.right = r.u16();
            if (!r.failed())
                info.envelope.push_back(e);
        }
    }
    return info;
}

} // namespace plovex::swf

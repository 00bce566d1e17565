#include "avm1/globals/globals.h"

#include "avm1/clip.h"
#include "swf/render.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

// flash.display.BitmapData as the Flash Player 8 and later have it. The
// pixels are kept premultiplied by alpha, as the player keeps them, so a
// colour written with some transparency reads back rounded the way the
// player rounds it. Methods given too few arguments, or called on a
// disposed bitmap, answer -1 (other negative numbers name other faults,
// method by method) instead of throwing.

namespace plovex::avm1 {

namespace {

// --- Pixel arithmetic ----------------------------------------------------

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}
uint32_t Alpha(uint32_t c) { return c >> 24; }
uint32_t Red(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t Green(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t Blue(uint32_t c) { return c & 0xFF; }

uint32_t ClampByte(double v)
{
    // NaN and negatives become 0, large values 255.
    return v >= 255 ? 255u : v > 0 ? uint32_t(v) : 0u;
}

// A straight colour as stored: each channel times alpha/255, rounded.
// An opaque bitmap stores everything opaque.
uint32_t Premultiply(uint32_t c, bool transparent)
{
    const uint32_t a = transparent ? Alpha(c) : 255;
    if (a == 255)
        return c | 0xFF000000u;
    const double k = a / 255.0;
    return Argb(a, ClampByte(std::round(Red(c) * k)), ClampByte(std::round(Green(c) * k)),
                ClampByte(std::round(Blue(c) * k)));
}

// A stored colour as scripts read it: each channel times a reciprocal of
// alpha kept in 8.8 fixed point (cut down), then rounded, as the player
// works it out.
uint32_t Unmultiply(uint32_t p)
{
    const uint32_t a = Alpha(p);
    if (a == 255)
        return p;
    if (a == 0)
        return 0;
    const uint32_t k = (255u << 8) / a;
    auto ch = [k](uint32_t c) { return std::min(255u, (c * k + 127) >> 8); };
    return Argb(a, ch(Red(p)), ch(Green(p)), ch(Blue(p)));
}

// Source over destination, both premultiplied, as the player mixes pixels.
uint32_t BlendOver(uint32_t dst, uint32_t src)
{
    const uint32_t k = 255 - Alpha(src);
    auto mix = [k](uint32_t s, uint32_t d) { return std::min(255u, s + ((d * k) >> 8)); };
    return Argb(mix(Alpha(src), Alpha(dst)), mix(Red(src), Red(dst)), mix(Green(src), Green(dst)),
                mix(Blue(src), Blue(dst)));
}

// A number as the player takes it for a pixel position: cut toward zero,
// NaN as 0, out of range held at the ends.
int Whole(double v)
{
    if (!(v == v))
        return 0;
    return int(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

// The Park-Miller generator behind noise().
struct Lehmer {
    uint32_t x;
    uint32_t next()
    {
        x = uint32_t((uint64_t(x) * 16807u) % 2147483647u);
        return x;
    }
    uint32_t between(uint32_t lo, uint32_t hi) { return lo + next() % (hi - lo + 1); }
};

// --- The object ------------------------------------------------------------

class BitmapDataObject : public Object {
public:
    BitmapDataObject(Runtime& rt, Object* proto) : Object(proto), rt_(rt) {}
    ~BitmapDataObject() override { release(); }

    // Makes the pixels; false when the runtime's bitmap memory is used up.
    bool make(int w, int h, bool transparentPixels)
    {
        const qint64 bytes = qint64(w) * h * 4;
        if (rt_.bitmapBytes + bytes > Runtime::kMaxBitmapBytes)
            return false;
        QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
        if (img.isNull())
            return false;
        pixels = std::make_shared<swf::ScriptBitmap>();
        pixels->image = std::move(img);
        transparent = transparentPixels;
        bytes_ = bytes;
        rt_.bitmapBytes += bytes;
        return true;
    }
    void release()
    {
        if (pixels) {
            // Clips it is attached to show nothing from now on.
            pixels->image = QImage();
            ++pixels->version;
            pixels.reset();
        }
        rt_.bitmapBytes -= bytes_;
        bytes_ = 0;
    }
    bool valid() const { return pixels != nullptr; }
    int width() const { return pixels->image.width(); }
    int height() const { return pixels->image.height(); }
    bool inside(qint64 x, qint64 y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }
    uint32_t* line(int y) { return reinterpret_cast<uint32_t*>(pixels->image.scanLine(y)); }
    const uint32_t* line(int y) const { return reinterpret_cast<const uint32_t*>(pixels->image.constScanLine(y)); }
    uint32_t& at(int x, int y) { return line(y)[x]; }
    uint32_t at(int x, int y) const { return line(y)[x]; }
    void changed() { ++pixels->version; }
    // A pixel as scripts read it. An opaque bitmap's pixels are read as
    // stored: only threshold() can leave one less than opaque.
    uint32_t read(int x, int y) const { return transparent ? Unmultiply(at(x, y)) : at(x, y); }
    void fill(uint32_t stored) { pixels->image.fill(stored); }

    std::shared_ptr<swf::ScriptBitmap> pixels;   // null once disposed
    bool transparent = true;

private:
    Runtime& rt_;
    qint64 bytes_ = 0;
};

// An object of a class that extends BitmapData keeps the bitmap its
// super() call made here.
const QString kBitmapSlot = QStringLiteral("__bitmapData");

BitmapDataObject* BitmapOf(Object* o)
{
    return NativeOf<BitmapDataObject>(o, kBitmapSlot);
}

BitmapDataObject* Bitmap(const Value& v)
{
    return BitmapOf(v.asObject());
}

BitmapDataObject* ValidBitmap(Object* o)
{
    auto* b = BitmapOf(o);
    return b && b->valid() ? b : nullptr;
}

bool Inherits(Object* o, Object* proto)
{
    int guard = 0;
    for (Object* p = o ? o->proto() : nullptr; p && guard < 10000; p = p->proto(), ++guard)
        if (p == proto)
            return true;
    return false;
}

// A source argument: the bitmap, or the code a method answers for it
// (-2 not a bitmap, -3 disposed).
BitmapDataObject* SourceArg(const Value& v, int& code)
{
    auto* b = Bitmap(v);
    code = !b ? -2 : !b->valid() ? -3 : 0;
    return code ? nullptr : b;
}

// A bitmap may be as large as the player allows for the movie's version:
// up to 2880 pixels a side before version 10, afterwards up to 8191 a side
// and 16 777 215 pixels in all.
bool SizeAllowed(int version, qint64 w, qint64 h)
{
    if (w < 1 || h < 1)
        return false;
    if (version <= 9)
        return w <= 2880 && h <= 2880;
    return w <= 8191 && h <= 8191 && w * h <= 16777215;
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

Value Member(Activation& a, const Value& o, const char* name)
{
    return a.rt.getMember(a, o, QString::fromLatin1(name));
}

int IntMember(Activation& a, const Value& o, const char* name)
{
    return ToInt32(a.rt.toNumber(a, Member(a, o, name)));
}

int WholeMember(Activation& a, const Value& o, const char* name)
{
    return Whole(a.rt.toNumber(a, Member(a, o, name)));
}

// A rectangle argument: anything with x, y, width and height.
std::optional<Rect> RectArg(Activation& a, const Value& v)
{
    Object* o = v.asObject();
    if (!o)
        return std::nullopt;
    for (const char* n : {"x", "y", "width", "height"})
        if (!o->hasProperty(a, QString::fromLatin1(n)))
            return std::nullopt;
    return Rect{IntMember(a, v, "x"), IntMember(a, v, "y"), IntMember(a, v, "width"), IntMember(a, v, "height")};
}

// A point of an own x and y (points made by scripts have them).
std::optional<QPoint> OwnPoint(Activation& a, const Value& v)
{
    Object* o = v.asObject();
    if (!o || !o->hasOwnProperty(a, QStringLiteral("x")) || !o->hasOwnProperty(a, QStringLiteral("y")))
        return std::nullopt;
    return QPoint(IntMember(a, v, "x"), IntMember(a, v, "y"));
}

QPoint PointArg(Activation& a, const Value& v)
{
    return QPoint(WholeMember(a, v, "x"), WholeMember(a, v, "y"));
}

// The source bitmap and rectangle that the copying methods take first, or
// the code a method answers when one of them is not right (see SourceArg;
// -4 for a rectangle that is none).
struct CopySource {
    BitmapDataObject* src = nullptr;
    Rect rect;
    int code = 0;
};

CopySource CopySourceArgs(Activation& a, const Args& args)
{
    CopySource c;
    c.src = SourceArg(args[0], c.code);
    if (!c.src)
        return c;
    const auto r = RectArg(a, args[1]);
    if (!r) {
        c.src = nullptr;
        c.code = -4;
        return c;
    }
    c.rect = *r;
    return c;
}

// Where a copy from `src` at (sx, sy) of w x h lands on `dst` at (dx, dy),
// cut to what lies inside both bitmaps.
struct Area {
    int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
};

Area Clip(const BitmapDataObject& src, const BitmapDataObject& dst, const Rect& r, QPoint to)
{
    qint64 sx = r.x, sy = r.y, w = r.w, h = r.h, dx = to.x(), dy = to.y();
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    w = std::min({w, src.width() - sx, dst.width() - dx});
    h = std::min({h, src.height() - sy, dst.height() - dy});
    if (w <= 0 || h <= 0)
        return Area{};
    return Area{int(sx), int(sy), int(dx), int(dy), int(w), int(h)};
}

// --- Perlin noise: the lattice noise of SVG's feTurbulence ----------------

class Turbulence {
public:
    explicit Turbulence(int64_t seed)
    {
        constexpr int64_t m = 2147483647;
        if (seed <= 0)
            seed = -(seed % (m - 1)) + 1;
        if (seed > m - 1)
            seed = m - 1;
        auto random = [&seed] {
            int64_t r = 16807 * (seed % 127773) - 2836 * (seed / 127773);
            if (r <= 0)
                r += m;
            seed = r;
            return r;
        };
        int i = 0;
        for (int k = 0; k < 4; ++k) {
            for (i = 0; i < kB; ++i) {
                lattice_[i] = i;
                for (int j = 0; j < 2; ++j)
                    grad_[k][i][j] = double((random() % (kB + kB)) - kB) / kB;
                const double s = std::hypot(grad_[k][i][0], grad_[k][i][1]);
                if (s > 0) {
                    grad_[k][i][0] /= s;
                    grad_[k][i][1] /= s;
                }
            }
        }
        while (--i) {
            const int k = lattice_[i];
            const int j = int(random() % kB);
            lattice_[i] = lattice_[j];
            lattice_[j] = k;
        }
        for (i = 0; i < kB + 2; ++i) {
            lattice_[kB + i] = lattice_[i];
            for (int k = 0; k < 4; ++k)
                for (int j = 0; j < 2; ++j)
                    grad_[k][kB + i][j] = grad_[k][i][j];
        }
    }

    struct Stitch {
        int64_t width = 0, height = 0, wrapX = 0, wrapY = 0;
    };

    // The whole part of t, cut toward zero as an int cast cuts it, and
    // kept within range whatever t is (far-off cells wrap the same way).
    static int64_t Cell(double t)
    {
        if (!std::isfinite(t))
            return 0;
        return int64_t(std::fmod(std::trunc(t), 4294967296.0));
    }

    double noise(int channel, double x, double y, const Stitch* st) const
    {
        const double tx = x + kN, ty = y + kN;
        // Lattice cells are wrapped for stitching before they are cut to
        // the table's size.
        int64_t bx0 = Cell(tx), bx1 = bx0 + 1, by0 = Cell(ty), by1 = by0 + 1;
        const double rx0 = tx - std::trunc(tx), rx1 = rx0 - 1, ry0 = ty - std::trunc(ty), ry1 = ry0 - 1;
        if (st) {
            if (bx0 >= st->wrapX) bx0 -= st->width;
            if (bx1 >= st->wrapX) bx1 -= st->width;
            if (by0 >= st->wrapY) by0 -= st->height;
            if (by1 >= st->wrapY) by1 -= st->height;
        }
        bx0 &= 0xFF; bx1 &= 0xFF; by0 &= 0xFF; by1 &= 0xFF;
        const int i = lattice_[int(bx0)], j = lattice_[int(bx1)];
        const double* q;
        const double sx = rx0 * rx0 * (3 - 2 * rx0), sy = ry0 * ry0 * (3 - 2 * ry0);
        q = grad_[channel][lattice_[i + int(by0)]];
        double u = rx0 * q[0] + ry0 * q[1];
        q = grad_[channel][lattice_[j + int(by0)]];
        double v = rx1 * q[0] + ry0 * q[1];
        const double a = u + sx * (v - u);
        q = grad_[channel][lattice_[i + int(by1)]];
        u = rx0 * q[0] + ry1 * q[1];
        q = grad_[channel][lattice_[j + int(by1)]];
        v = rx1 * q[0] + ry1 * q[1];
        const double b = u + sx * (v - u);
        return a + sy * (b - a);
    }

    double turbulence(int channel, double px, double py, double fx, double fy, int octaves, bool fractal, bool stitch,
                      double tileW, double tileH, const std::vector<QPointF>& offsets) const
    {
        Stitch st;
        if (stitch) {
            auto adjust = [](double f, double size) {
                if (f == 0 || size <= 0)
                    return f;
                const double lo = std::floor(size * f) / size, hi = std::ceil(size * f) / size;
                return lo > 0 && f / lo < hi / f ? lo : hi;
            };
            fx = adjust(fx, tileW);
            fy = adjust(fy, tileH);
            // Held below 2^30, so doubling once an octave stays in range.
            st.width = Cell(std::clamp(tileW * fx + 0.5, 0.0, 1073741824.0));
            st.wrapX = kN + st.width;
            st.height = Cell(std::clamp(tileH * fy + 0.5, 0.0, 1073741824.0));
            st.wrapY = kN + st.height;
        }
        double sum = 0, ratio = 1;
        for (int o = 0; o < octaves; ++o) {
            const QPointF off = size_t(o) < offsets.size() ? offsets[size_t(o)] : QPointF();
            const double x = (px + off.x()) * fx * ratio, y = (py + off.y()) * fy * ratio;
            const double n = noise(channel, x, y, stitch ? &st : nullptr);
            sum += (fractal ? n : std::fabs(n)) / ratio;
            ratio *= 2;
            if (stitch) {
                st.width *= 2;
                st.wrapX = 2 * st.wrapX - kN;
                st.height *= 2;
                st.wrapY = 2 * st.wrapY - kN;
            }
        }
        return sum;
    }

private:
    static constexpr int kB = 0x100;
    static constexpr int kN = 0x1000;
    int lattice_[kB + kB + 2] = {};
    double grad_[4][kB + kB + 2][2] = {};
};

// --- pixelDissolve's order ---------------------------------------------------
//
// Pixels are visited in a fixed pseudo-random order: one round of a
// balanced Feistel network over the smallest even number of bits that
// counts every pixel, which visits each index once per cycle. The number
// a call returns is where the next call goes on.

int DissolveBits(uint32_t count)
{
    int bits = 0;
    for (uint32_t n = std::max(count, 2u) - 1; n; n >>= 1)
        ++bits;
    return bits + (bits & 1);
}

uint32_t DissolveIndex(uint32_t raw, int bits)
{
    const int half = bits / 2;
    const uint32_t mask = (1u << half) - 1;
    const uint32_t hi = raw >> half, lo = raw & mask;
    const uint32_t mixed = ((lo * 0x2C1Bu + 0x3A7u) ^ (lo >> 1)) & mask;
    return ((hi ^ mixed) << half) | lo;
}

// --- Installation ----------------------------------------------------------

struct Shared : Object {
    void trace(Gc& gc) override
    {
        Object::trace(gc);
        gc.mark(proto);
    }
    Object* proto = nullptr;
};

Object* NewRectangle(Activation& a, double x, double y, double w, double h)
{
    Value ctor = a.rt.getMember(a, Value(a.rt.global), QStringLiteral("flash"));
    ctor = a.rt.getMember(a, ctor, QStringLiteral("geom"));
    ctor = a.rt.getMember(a, ctor, QStringLiteral("Rectangle"));
    std::vector<Value> args{Value(x), Value(y), Value(w), Value(h)};
    return a.rt.construct(a, ctor, args).asObject();
}

// Draws `d` (without its own place on the stage) or another bitmap into
// `target` through `m` (pixels) and a colour transform, inside `clip`.
void DrawInto(Runtime& rt, BitmapDataObject& target, swf::DisplayObject* d, BitmapDataObject* src, const QTransform& m,
              const swf::ColorTransform& cx, const std::optional<QRectF>& clip, bool smoothing)
{
    QImage& img = target.pixels->image;
    QImage layer(img.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(0);
    if (d) {
        auto copy = std::make_shared<swf::DisplayObject>();
        copy->characterId = d->characterId;
        copy->ratio = d->ratio;
        copy->frame = d->frame;
        copy->children = d->children;
        copy->drawing = d->drawing;
        copy->bitmap = d->bitmap;
        copy->bitmapSmoothing = d->bitmapSmoothing;
        copy->textState = d->textState;
        copy->buttonState = d->buttonState;
        copy->filters = d->filters;
        copy->colorTransform = cx;
        swf::RenderCache cache;
        swf::DisplayList one;
        one.push_back(copy);
        swf::RenderDisplayList(rt.movie(), one, layer, QTransform::fromScale(0.05, 0.05) * m, true,
                               cache);
    } else if (src && src->valid()) {
        QImage from = src->pixels->image;
        if (!cx.isIdentity())
            for (int y = 0; y < from.height(); ++y) {
                auto* l = reinterpret_cast<QRgb*>(from.scanLine(y));
                for (int x = 0; x < from.width(); ++x)
                    l[x] = qPremultiply(cx.apply(qUnpremultiply(l[x])));
            }
        QPainter p(&layer);
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothing);
        p.setTransform(m);
        p.drawImage(0, 0, from);
    }
    QPainter p(&img);
    if (clip)
        p.setClipRect(*clip);
    p.drawImage(0, 0, layer);
    p.end();
    if (!target.transparent)
        for (int y = 0; y < img.height(); ++y) {
            uint32_t* l = target.line(y);
            for (int x = 0; x < img.width(); ++x)
                l[x] |= 0xFF000000u;
        }
    target.changed();
}

} // namespace

void InstallBitmapData(Runtime& rt)
{
    auto* shared = rt.make<Shared>();
    rt.extraRoots.push_back(shared);
    Object* proto = rt.make<Object>(rt.objectProto);
    shared->proto = proto;

    auto construct = [&rt, proto](Activation& a, Object*, Args& args) -> Value {
        if (args.size() < 2)
            return Value();
        const uint32_t w = ToUint32(rt.toNumber(a, args[0]));
        const uint32_t h = ToUint32(rt.toNumber(a, args[1]));
        const bool transparent = args.size() > 2 ? rt.toBool(args[2], a.version) : true;
        const uint32_t fill = args.size() > 3 ? ToUint32(rt.toNumber(a, args[3])) : 0xFFFFFFFFu;
        if (!SizeAllowed(a.version, w, h))
            return Value();
        auto* b = rt.make<BitmapDataObject>(rt, proto);
        if (!b->make(int(w), int(h), transparent))
            return Value();
        b->fill(Premultiply(fill, transparent));
        return Value(b);
    };
    // Called as a function from a subclass's constructor (super()), it
    // gives `this` its bitmap.
    auto call = [construct, proto](Activation& a, Object* self, Args& args) -> Value {
        const Value made = construct(a, self, args);
        if (!self || BitmapOf(self) || !Inherits(self, proto) || !made.isObject())
            return made;
        self->define(kBitmapSlot, made, kDontEnum);
        return Value();
    };
    FunctionObject* ctor = rt.newClass(QStringLiteral("BitmapData"), call, construct, proto);
    {
        Activation a(rt, rt.version(), nullptr, rt.global, nullptr);
        auto child = [&](Object* parent, const QString& name) {
            if (Object* o = parent->get(a, name).asObject())
                return o;
            Object* o = rt.newObject();
            parent->define(name, Value(o), kDontEnum | kVersion8);
            return o;
        };
        child(child(rt.global, QStringLiteral("flash")), QStringLiteral("display"))
            ->define(QStringLiteral("BitmapData"), Value(ctor), 0);
    }
    ctor->define(QStringLiteral("RED_CHANNEL"), Value(1), 0);
    ctor->define(QStringLiteral("GREEN_CHANNEL"), Value(2), 0);
    ctor->define(QStringLiteral("BLUE_CHANNEL"), Value(4), 0);
    ctor->define(QStringLiteral("ALPHA_CHANNEL"), Value(8), 0);

    // BitmapData.loadBitmap(name): a copy of the library bitmap exported
    // under that name.
    ctor->defineNative(rt, QStringLiteral("loadBitmap"), [&rt, proto](Activation& a, Object*, Args& args) -> Value {
        const int id = rt.exportedCharacter(rt.toString(a, Arg(args, 0)));
        const auto* c = id ? rt.movie().get<swf::BitmapCharacter>(id) : nullptr;
        if (!c)
            return Value();
        const QImage& img = c->image.get();
        if (img.isNull() || !SizeAllowed(a.version, img.width(), img.height()))
            return Value();
        auto* b = rt.make<BitmapDataObject>(rt, proto);
        if (!b->make(img.width(), img.height(), true))
            return Value();
        b->pixels->image = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        return Value(b);
    });

    // Properties read -1 on a disposed bitmap.
    auto property = [&rt, proto](const char* name, std::function<Value(Activation&, BitmapDataObject&)> get) {
        DefineAccessor(rt, proto, QString::fromLatin1(name),
                       [get](Activation& a, Object* self, Args&) -> Value {
                           auto* b = ValidBitmap(self);
                           return b ? get(a, *b) : Value(-1);
                       },
                       nullptr, 0);
    };
    property("width", [](Activation&, BitmapDataObject& b) { return Value(b.width()); });
    property("height", [](Activation&, BitmapDataObject& b) { return Value(b.height()); });
    property("transparent", [](Activation&, BitmapDataObject& b) { return Value(b.transparent); });
    property("rectangle", [](Activation& a, BitmapDataObject& b) {
        return Value(NewRectangle(a, 0, 0, b.width(), b.height()));
    });

    // A method of a valid bitmap given at least `minArgs` arguments.
    auto method = [&rt, proto](const char* name, size_t minArgs,
                               std::function<Value(Activation&, BitmapDataObject&, Args&)> fn) {
        proto->defineNative(rt, QString::fromLatin1(name), [minArgs, fn](Activation& a, Object* self, Args& args) -> Value {
            auto* b = ValidBitmap(self);
            if (args.size() < minArgs || !b)
                return Value(-1);
            return fn(a, *b, args);
        });
    };
    auto u32 = [](Activation& a, const Value& v) { return ToUint32(a.rt.toNumber(a, v)); };
    auto i32 = [](Activation& a, const Value& v) { return ToInt32(a.rt.toNumber(a, v)); };

    method("getPixel", 2, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const uint32_t x = u32(a, args[0]), y = u32(a, args[1]);
        if (!b.inside(x, y))
            return Value(0);
        return Value(int(b.read(int(x), int(y)) & 0xFFFFFF));
    });
    method("getPixel32", 2, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const uint32_t x = u32(a, args[0]), y = u32(a, args[1]);
        if (!b.inside(x, y))
            return Value(0);
        return Value(int32_t(b.read(int(x), int(y))));
    });
    method("setPixel", 3, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const uint32_t x = u32(a, args[0]), y = u32(a, args[1]), c = u32(a, args[2]) & 0xFFFFFF;
        if (b.inside(x, y)) {
            uint32_t& p = b.at(int(x), int(y));
            p = b.transparent ? Premultiply(c | (Alpha(p) << 24), true) : (c | 0xFF000000u);
            b.changed();
        }
        return Value(0);
    });
    method("setPixel32", 3, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const uint32_t x = u32(a, args[0]), y = u32(a, args[1]), c = u32(a, args[2]);
        if (b.inside(x, y)) {
            b.at(int(x), int(y)) = Premultiply(c, b.transparent);
            b.changed();
        }
        return Value(0);
    });
    method("fillRect", 2, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const auto r = RectArg(a, args[0]);
        if (!r)
            return Value(-1);
        const uint32_t c = Premultiply(u32(a, args[1]), b.transparent);
        const qint64 x0 = std::max<qint64>(r->x, 0), y0 = std::max<qint64>(r->y, 0);
        const qint64 x1 = std::min<qint64>(qint64(r->x) + r->w, b.width());
        const qint64 y1 = std::min<qint64>(qint64(r->y) + r->h, b.height());
        if (x0 < x1)
            for (qint64 y = y0; y < y1; ++y)
                std::fill(b.line(int(y)) + x0, b.line(int(y)) + x1, c);
        b.changed();
        return Value(0);
    });
    method("floodFill", 3, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const uint32_t x = u32(a, args[0]), y = u32(a, args[1]);
        const uint32_t c = Premultiply(u32(a, args[2]), b.transparent);
        if (!b.inside(x, y))
            return Value(0);
        const uint32_t old = b.at(int(x), int(y));
        if (old == c)
            return Value(0);
        // Runs of a row filled at once; seeds for the rows above and below.
        std::vector<QPoint> seeds{QPoint(int(x), int(y))};
        while (!seeds.empty()) {
            const QPoint s = seeds.back();
            seeds.pop_back();
            uint32_t* l = b.line(s.y());
            if (l[s.x()] != old)
                continue;
            int x0 = s.x(), x1 = s.x();
            while (x0 > 0 && l[x0 - 1] == old)
                --x0;
            while (x1 + 1 < b.width() && l[x1 + 1] == old)
                ++x1;
            std::fill(l + x0, l + x1 + 1, c);
            for (int ny : {s.y() - 1, s.y() + 1}) {
                if (ny < 0 || ny >= b.height())
                    continue;
                const uint32_t* n = b.line(ny);
                for (int i = x0; i <= x1; ++i)
                    if (n[i] == old && (i == x0 || n[i - 1] != old))
                        seeds.push_back(QPoint(i, ny));
            }
        }
        b.changed();
        return Value(1);
    });
    method("clone", 0, [&rt](Activation&, BitmapDataObject& b, Args&) -> Value {
        auto* c = rt.make<BitmapDataObject>(rt, b.proto());
        if (!c->make(b.width(), b.height(), b.transparent))
            return Value();
        c->pixels->image = b.pixels->image.copy();
        return Value(c);
    });
    method("dispose", 0, [](Activation&, BitmapDataObject& b, Args&) -> Value {
        b.release();
        return Value();
    });
    method("noise", 1, [i32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const int32_t seed = i32(a, args[0]);
        const uint32_t lo = uint32_t(std::clamp(i32(a, Arg(args, 1)), 0, 255));
        const uint32_t hi =
            std::max(lo, args.size() > 2 ? uint32_t(std::clamp(i32(a, args[2]), 0, 255)) : 255u);
        const uint32_t channels = args.size() > 3 ? uint32_t(i32(a, args[3])) & 0xF : 7u;
        const bool gray = a.rt.toBool(Arg(args, 4), a.version);
        Lehmer rng{seed <= 0 ? uint32_t(1 - int64_t(seed)) : uint32_t(seed)};
        const bool alpha = b.transparent && (channels & 8);
        for (int y = 0; y < b.height(); ++y) {
            uint32_t* l = b.line(y);
            for (int x = 0; x < b.width(); ++x) {
                uint32_t c;
                if (gray) {
                    const uint32_t g = rng.between(lo, hi);
                    c = Argb(alpha ? rng.between(lo, hi) : 255, g, g, g);
                } else {
                    const uint32_t r = channels & 1 ? rng.between(lo, hi) : 0;
                    const uint32_t g = channels & 2 ? rng.between(lo, hi) : 0;
                    const uint32_t bl = channels & 4 ? rng.between(lo, hi) : 0;
                    c = Argb(alpha ? rng.between(lo, hi) : 255, r, g, bl);
                }
                l[x] = Premultiply(c, b.transparent);
            }
        }
        b.changed();
        return Value(0);
    });
    method("perlinNoise", 6, [i32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const double baseX = a.rt.toNumber(a, args[0]), baseY = a.rt.toNumber(a, args[1]);
        // Octaves past a few dozen add less than a unit of any channel.
        const int octaves = std::clamp(i32(a, args[2]), 0, 32);
        const int32_t seed = i32(a, args[3]);
        const bool stitch = a.rt.toBool(args[4], a.version);
        const bool fractal = a.rt.toBool(args[5], a.version);
        const uint32_t channels = args.size() > 6 ? uint32_t(i32(a, args[6])) & 0xF : 7u;
        const bool gray = a.rt.toBool(Arg(args, 7), a.version);
        std::vector<QPointF> offsets;
        if (Object* arr = Arg(args, 8).asObject())
            for (int i = 0; i < octaves; ++i) {
                const Value e = arr->get(a, QString::number(i));
                offsets.push_back(e.isObject() ? QPointF(a.rt.toNumber(a, Member(a, e, "x")),
                                                         a.rt.toNumber(a, Member(a, e, "y")))
                                               : QPointF());
            }
        const Turbulence turb(seed);
        const double fx = baseX == 0 ? 0 : 1 / std::fabs(baseX), fy = baseY == 0 ? 0 : 1 / std::fabs(baseY);
        const double w = b.width(), h = b.height();
        auto sample = [&](int channel, int x, int y) {
            return turb.turbulence(channel, x, y, fx, fy, octaves, fractal, stitch, w, h, offsets);
        };
        auto byte = [fractal](double n) {
            return ClampByte(fractal ? ((n * 255 + 255) + 0.5) / 2 : n * 255 + 0.5);
        };
        for (int y = 0; y < b.height(); ++y) {
            uint32_t* l = b.line(y);
            for (int x = 0; x < b.width(); ++x) {
                double n[4] = {-1, -1, -1, 1};
                if (gray) {
                    n[0] = n[1] = n[2] = sample(0, x, y);
                    if (channels & 8)
                        n[3] = sample(1, x, y);
                } else {
                    // Each channel asked for takes the next noise table.
                    int table = 0;
                    for (int c = 0; c < 4; ++c)
                        if (channels & (1u << c))
                            n[c] = sample(table++, x, y);
                }
                const uint32_t alpha = b.transparent ? byte(n[3]) : 255;
                // Stored as made, without premultiplying, as the player does.
                l[x] = Argb(alpha, byte(n[0]), byte(n[1]), byte(n[2]));
            }
        }
        b.changed();
        return Value(0);
    });
    method("colorTransform", 2, [](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const auto r = RectArg(a, args[0]);
        if (!r)
            return Value(-2);
        const double* v = ColorTransformNumbers(args[1].asObject());
        if (!v)
            return Value(-3);
        // The player works in 8.8 fixed point: multipliers cut to 1/256,
        // offsets to whole numbers.
        int mult[4], add[4];
        for (int i = 0; i < 4; ++i) {
            mult[i] = int(int16_t(Whole(v[i] * 256)));
            add[i] = int(int16_t(Whole(v[4 + i])));
        }
        // A transform that only raises alpha does nothing, as in the player.
        if (mult[0] == 256 && mult[1] == 256 && mult[2] == 256 && mult[3] >= 256 && !add[0] && !add[1] && !add[2] &&
            !add[3])
            return Value(-1);
        const qint64 x0 = std::max(r->x, 0), y0 = std::max(r->y, 0);
        const qint64 x1 = std::min<qint64>(qint64(r->x) + r->w, b.width());
        const qint64 y1 = std::min<qint64>(qint64(r->y) + r->h, b.height());
        auto ch = [&](uint32_t c, int i) {
            return uint32_t(std::clamp(((int(c) * mult[i]) >> 8) + add[i], 0, 255));
        };
        for (qint64 y = y0; y < y1; ++y) {
            uint32_t* l = b.line(int(y));
            for (qint64 x = x0; x < x1; ++x) {
                const uint32_t c = Unmultiply(l[x]);
                l[x] = Premultiply(Argb(ch(Alpha(c), 3), ch(Red(c), 0), ch(Green(c), 1), ch(Blue(c), 2)), b.transparent);
            }
        }
        b.changed();
        return Value(-1);
    });
    method("getColorBoundsRect", 2, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const uint32_t mask = u32(a, args[0]), color = u32(a, args[1]);
        const bool find = args.size() > 2 ? a.rt.toBool(args[2], a.version) : true;
        int x0 = b.width(), y0 = b.height(), x1 = 0, y1 = 0;
        for (int y = 0; y < b.height(); ++y) {
            const uint32_t* l = b.line(y);
            for (int x = 0; x < b.width(); ++x)
                if (((Unmultiply(l[x]) & mask) == color) == find) {
                    x0 = std::min(x0, x);
                    y0 = std::min(y0, y);
                    x1 = std::max(x1, x);
                    y1 = std::max(y1, y);
                }
        }
        // A match at (0, 0) alone counts as none, as in the player.
        if (x1 == 0 && y1 == 0)
            return Value(NewRectangle(a, 0, 0, 0, 0));
        return Value(NewRectangle(a, x0, y0, x1 - x0 + 1, y1 - y0 + 1));
    });
    method("copyChannel", 5, [i32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const CopySource c = CopySourceArgs(a, args);
        if (!c.src)
            return Value(c.code);
        BitmapDataObject* src = c.src;
        const Rect& r = c.rect;
        const QPoint to(IntMember(a, args[2], "x"), IntMember(a, args[2], "y"));
        const int from = i32(a, args[3]), into = i32(a, args[4]);
        const int shift = from == 1 ? 16 : from == 2 ? 8 : from == 4 ? 0 : from == 8 ? 24 : -1;
        const Area ar = Clip(*src, b, r, to);
        for (int y = 0; y < ar.h; ++y)
            for (int x = 0; x < ar.w; ++x) {
                const uint32_t s = Unmultiply(src->at(ar.sx + x, ar.sy + y));
                const uint32_t part = shift < 0 ? 0 : (s >> shift) & 0xFF;
                uint32_t& p = b.at(ar.dx + x, ar.dy + y);
                uint32_t d = Unmultiply(p);
                switch (into) {
                case 1: d = (d & 0xFF00FFFFu) | (part << 16); break;
                case 2: d = (d & 0xFFFF00FFu) | (part << 8); break;
                case 4: d = (d & 0xFFFFFF00u) | part; break;
                case 8: d = (d & 0x00FFFFFFu) | (part << 24); break;
                default: break;
                }
                p = Premultiply(d, b.transparent);
            }
        b.changed();
        return Value(-1);
    });
    method("copyPixels", 3, [](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const CopySource c = CopySourceArgs(a, args);
        if (!c.src)
            return Value(c.code);
        BitmapDataObject* src = c.src;
        const Rect& r = c.rect;
        const QPoint to = PointArg(a, args[2]);
        const bool mergeGiven = args.size() >= 6;
        const bool merge = mergeGiven && a.rt.toBool(args[5], a.version);
        BitmapDataObject* alphaSrc = ValidBitmap(Arg(args, 3).asObject());
        const QPoint alphaAt = alphaSrc ? PointArg(a, Arg(args, 4)) : QPoint();
        // A copy of itself reads the pixels as they were.
        const QImage before = src == &b ? b.pixels->image.copy() : src->pixels->image;
        auto srcAt = [&before](int x, int y) { return reinterpret_cast<const uint32_t*>(before.constScanLine(y))[x]; };
        const Area ar = Clip(*src, b, r, to);
        for (int y = 0; y < ar.h; ++y)
            for (int x = 0; x < ar.w; ++x) {
                const uint32_t s = srcAt(ar.sx + x, ar.sy + y);
                uint32_t& p = b.at(ar.dx + x, ar.dy + y);
                if (alphaSrc) {
                    const qint64 ax = qint64(alphaAt.x()) + ar.sx - r.x + x, ay = qint64(alphaAt.y()) + ar.sy - r.y + y;
                    uint32_t alpha;
                    if (alphaSrc->transparent) {
                        if (!alphaSrc->inside(ax, ay))
                            continue;
                        alpha = Alpha(alphaSrc->at(int(ax), int(ay)));
                        if (src->transparent)
                            alpha = (alpha * Alpha(s)) >> 8;
                    } else {
                        alpha = src->transparent ? Alpha(s) : 255;
                    }
                    const uint32_t mixed = Premultiply((Unmultiply(s) & 0xFFFFFF) | (alpha << 24), true);
                    p = (mergeGiven ? merge : true) || !b.transparent ? BlendOver(p, mixed) : mixed;
                } else {
                    p = (src->transparent && !b.transparent) || merge ? BlendOver(p, s) : s;
                }
                if (!b.transparent)
                    p |= 0xFF000000u;
            }
        b.changed();
        return Value(0);
    });
    method("merge", 6, [i32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const CopySource c = CopySourceArgs(a, args);
        if (!c.src)
            return Value(c.code);
        BitmapDataObject* src = c.src;
        const Rect& r = c.rect;
        const QPoint to = PointArg(a, args[2]);
        uint32_t mult[4];
        for (int i = 0; i < 4; ++i)
            mult[i] = uint32_t(std::clamp(i == 3 && args.size() < 7 ? 255 : i32(a, args[size_t(3 + i)]), 0, 256));
        const Area ar = Clip(*src, b, r, to);
        for (int y = 0; y < ar.h; ++y)
            for (int x = 0; x < ar.w; ++x) {
                const uint32_t s = Unmultiply(src->at(ar.sx + x, ar.sy + y));
                uint32_t& p = b.at(ar.dx + x, ar.dy + y);
                const uint32_t d = Unmultiply(p);
                auto mix = [](uint32_t sc, uint32_t dc, uint32_t m) { return (sc * m + dc * (256 - m)) / 256; };
                p = Premultiply(Argb(mix(Alpha(s), Alpha(d), mult[3]), mix(Red(s), Red(d), mult[0]),
                                     mix(Green(s), Green(d), mult[1]), mix(Blue(s), Blue(d), mult[2])),
                                b.transparent);
            }
        b.changed();
        return Value(-1);
    });
    method("paletteMap", 4, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const CopySource c = CopySourceArgs(a, args);
        if (!c.src)
            return Value(c.code);
        BitmapDataObject* src = c.src;
        const Rect& r = c.rect;
        const QPoint to = PointArg(a, args[2]);
        std::vector<uint32_t> maps[4];
        const int shifts[4] = {16, 8, 0, 24};
        for (int c = 0; c < 4; ++c) {
            maps[c].resize(256);
            Object* arr = Arg(args, size_t(3 + c)).asObject();
            for (int i = 0; i < 256; ++i)
                maps[c][size_t(i)] = arr ? u32(a, arr->get(a, QString::number(i))) : uint32_t(i) << shifts[c];
        }
        const Area ar = Clip(*src, b, r, to);
        for (int y = 0; y < ar.h; ++y)
            for (int x = 0; x < ar.w; ++x) {
                const uint32_t s = Unmultiply(src->at(ar.sx + x, ar.sy + y));
                const uint32_t sum = maps[0][Red(s)] + maps[1][Green(s)] + maps[2][Blue(s)] + maps[3][Alpha(s)];
                b.at(ar.dx + x, ar.dy + y) = Premultiply(sum, true);
            }
        b.changed();
        return Value(-1);
    });
    method("scroll", 2, [i32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const int dx = i32(a, args[0]), dy = i32(a, args[1]);
        const int w = b.width(), h = b.height();
        if ((dx == 0 && dy == 0) || std::abs(qint64(dx)) >= w || std::abs(qint64(dy)) >= h)
            return Value(0);
        const QImage before = b.pixels->image.copy();
        for (int y = std::max(0, dy); y < std::min(h, h + dy); ++y) {
            const auto* from = reinterpret_cast<const uint32_t*>(before.constScanLine(y - dy));
            uint32_t* l = b.line(y);
            for (int x = std::max(0, dx); x < std::min(w, w + dx); ++x)
                l[x] = from[x - dx];
        }
        b.changed();
        return Value(0);
    });
    method("threshold", 5, [u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const CopySource c = CopySourceArgs(a, args);
        if (!c.src)
            return Value(c.code);
        BitmapDataObject* src = c.src;
        const Rect& r = c.rect;
        const QPoint to = PointArg(a, args[2]);
        const QString op = a.rt.toString(a, args[3]);
        const uint32_t mask = args.size() > 6 ? u32(a, args[6]) : 0xFFFFFFFFu;
        const uint32_t limit = u32(a, args[4]) & mask;
        const uint32_t color = u32(a, Arg(args, 5));
        const bool copySource = a.rt.toBool(Arg(args, 7), a.version);
        std::function<bool(uint32_t)> test = [limit](uint32_t v) { return v < limit; };
        if (op == QLatin1String("=="))
            test = [limit](uint32_t v) { return v == limit; };
        else if (op == QLatin1String("!="))
            test = [limit](uint32_t v) { return v != limit; };
        else if (op == QLatin1String("<="))
            test = [limit](uint32_t v) { return v <= limit; };
        else if (op == QLatin1String(">"))
            test = [limit](uint32_t v) { return v > limit; };
        else if (op == QLatin1String(">="))
            test = [limit](uint32_t v) { return v >= limit; };
        const Area ar = Clip(*src, b, r, to);
        int count = 0;
        for (int y = 0; y < ar.h; ++y)
            for (int x = 0; x < ar.w; ++x) {
                const uint32_t stored = src->at(ar.sx + x, ar.sy + y);
                uint32_t& p = b.at(ar.dx + x, ar.dy + y);
                if (test(stored & mask)) {
                    // Premultiplied as if transparent, also in an opaque bitmap.
                    p = Premultiply(color, true);
                    ++count;
                } else if (copySource) {
                    // Copied as stored, even into an opaque bitmap.
                    p = stored;
                }
            }
        b.changed();
        return Value(count);
    });
    method("pixelDissolve", 4, [i32, u32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const CopySource c = CopySourceArgs(a, args);
        if (!c.src)
            return Value(c.code);
        BitmapDataObject* src = c.src;
        const Rect& r = c.rect;
        const QPoint to = PointArg(a, args[2]);
        const int32_t seed = i32(a, args[3]);
        if (args.size() < 5)
            return Value(0);
        const int32_t count = i32(a, args[4]);
        const uint32_t fill = u32(a, Arg(args, 5));
        Rect rr = r;
        rr.w = std::max(rr.w, 0);
        rr.h = std::max(rr.h, 0);
        if (rr.w == 0 || rr.h == 0)
            return Value(0);
        const Area ar = Clip(*src, b, rr, to);
        if (ar.empty())
            return Value(0);
        const uint32_t total = uint32_t(ar.w) * uint32_t(ar.h);
        const int bits = DissolveBits(total);
        const uint32_t cycle = 1u << bits;
        const bool same = src == &b;
        const uint32_t stored = Premultiply(fill, b.transparent);
        auto write = [&](uint32_t index) {
            const int x = int(index % uint32_t(ar.w)), y = int(index / uint32_t(ar.w));
            b.at(ar.dx + x, ar.dy + y) = same ? stored : src->at(ar.sx + x, ar.sy + y);
        };
        // The first pixel is always written.
        write(0);
        uint32_t raw = uint32_t(int64_t(seed) % int64_t(cycle) + (seed < 0 ? int64_t(cycle) : 0)) % cycle;
        const int64_t n = std::min<int64_t>(count, total);
        for (int64_t i = 0; i < n && total > 1; ++i) {
            uint32_t index = 0;
            for (uint32_t tries = 0; (index == 0 || index >= total) && tries <= cycle + 1; ++tries) {
                raw = (raw + 1) % cycle;
                index = DissolveIndex(raw, bits);
            }
            if (index > 0 && index < total)
                write(index);
        }
        b.changed();
        return Value(double(raw));
    });
    method("hitTest", 3, [i32](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        const auto first = OwnPoint(a, args[0]);
        if (!first)
            return Value(-2);
        const uint32_t t1 = uint32_t(std::clamp(i32(a, args[1]), 0, 255));
        auto alphaAt = [](BitmapDataObject& m, int x, int y) { return Alpha(m.at(x, y)); };
        if (auto* other = Bitmap(args[2])) {
            if (!other->valid())
                return Value(-3);
            QPoint second;
            if (const auto p = OwnPoint(a, Arg(args, 3)))
                second = *p;
            else if (args.size() > 3)
                return Value(-4);
            const uint32_t t2 = uint32_t(std::clamp(i32(a, Arg(args, 4)), 0, 255));
            const qint64 xd = qint64(second.x()) - first->x(), yd = qint64(second.y()) - first->y();
            for (qint64 y = 0; y < b.height(); ++y) {
                const qint64 oy = y - yd;
                if (oy < 0 || oy >= other->height())
                    continue;
                for (qint64 x = 0; x < b.width(); ++x) {
                    const qint64 ox = x - xd;
                    if (ox >= 0 && ox < other->width() && alphaAt(b, int(x), int(y)) >= t1 &&
                        alphaAt(*other, int(ox), int(oy)) >= t2)
                        return Value(true);
                }
            }
            return Value(false);
        }
        Object* o = args[2].asObject();
        auto own = [&](const char* n) { return o && o->hasOwnProperty(a, QString::fromLatin1(n)); };
        if (own("x") && own("y") && !own("width") && !own("height")) {
            const qint64 x = qint64(IntMember(a, args[2], "x")) - first->x();
            const qint64 y = qint64(IntMember(a, args[2], "y")) - first->y();
            return Value(b.inside(x, y) && alphaAt(b, int(x), int(y)) >= t1);
        }
        if (own("x") && own("y") && own("width") && own("height")) {
            const qint64 x = qint64(IntMember(a, args[2], "x")) - first->x();
            const qint64 y = qint64(IntMember(a, args[2], "y")) - first->y();
            const qint64 x1 = std::min<qint64>(x + IntMember(a, args[2], "width"), b.width());
            const qint64 y1 = std::min<qint64>(y + IntMember(a, args[2], "height"), b.height());
            for (qint64 yy = std::max<qint64>(y, 0); yy < y1; ++yy)
                for (qint64 xx = std::max<qint64>(x, 0); xx < x1; ++xx)
                    if (alphaAt(b, int(xx), int(yy)) >= t1)
                        return Value(true);
            return Value(false);
        }
        return Value(-3);
    });
    method("compare", 1, [&rt](Activation&, BitmapDataObject& b, Args& args) -> Value {
        BitmapDataObject* o = ValidBitmap(args[0].asObject());
        if (!o)
            return Value(-2);
        if (o->width() != b.width())
            return Value(-3);
        if (o->height() != b.height())
            return Value(-4);
        auto* out = rt.make<BitmapDataObject>(rt, b.proto());
        if (!out->make(b.width(), b.height(), true))
            return Value();
        bool different = false;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) {
                const uint32_t p = Unmultiply(b.at(x, y)), q = Unmultiply(o->at(x, y));
                uint32_t d = 0;
                if (p == q) {
                    d = 0;
                } else if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
                    // Colours differ: their difference, opaque.
                    d = Argb(255, (Red(p) - Red(q)) & 0xFF, (Green(p) - Green(q)) & 0xFF, (Blue(p) - Blue(q)) & 0xFF);
                } else {
                    // Only alpha differs: white at the difference of alpha.
                    const uint32_t da = (Alpha(p) - Alpha(q)) & 0xFF;
                    d = Argb(da, da, da, da);
                }
                different = different || p != q;
                out->at(x, y) = d;
            }
        if (!different) {
            out->release();
            return Value(0);
        }
        return Value(out);
    });
    method("draw", 1, [](Activation& a, BitmapDataObject& b, Args& args) -> Value {
        BitmapDataObject* src = Bitmap(args[0]);
        if (src && !src->valid())
            return Value(-3);
        swf::DisplayObject* d = src ? nullptr : a.rt.displayOf(args[0].asObject());
        if (!src && !d)
            return Value(-2);
        QTransform m;
        if (Object* mo = Arg(args, 1).asObject()) {
            const Value mv(mo);
            auto num = [&](const char* n) { return a.rt.toNumber(a, Member(a, mv, n)); };
            const double v[6] = {num("a"), num("b"), num("c"), num("d"), num("tx"), num("ty")};
            // A matrix that flattens the picture, or holds no number, draws nothing.
            if (!std::all_of(std::begin(v), std::end(v), [](double x) { return std::isfinite(x); }))
                return Value();
            m = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
            // Nor does one that takes it a billion pixels away or larger.
            if (!m.isInvertible() || std::any_of(std::begin(v), std::end(v), [](double x) { return std::fabs(x) > 1e9; }))
                return Value();
        }
        swf::ColorTransform cx;
        if (const double* v = ColorTransformNumbers(Arg(args, 2).asObject()))
            cx = swf::ColorTransform{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
        std::optional<QRectF> clip;
        if (const auto r = RectArg(a, Arg(args, 4)))
            clip = QRectF(r->x, r->y, r->w, r->h);
        const bool smoothing = a.rt.toBool(Arg(args, 5), a.version);
        DrawInto(a.rt, b, d, src, m, cx, clip, smoothing);
        return Value();
    });
    method("applyFilter", 4, [](Activation& a, BitmapDataObject&, Args& args) -> Value {
        int code = 0;
        if (!SourceArg(args[0], code))
            return Value(code);
        if (!RectArg(a, args[1]))
            return Value(-4);
        // No filter object of flash.filters is known to this machine yet:
        // the bitmap stays as it is, as the player leaves it for a filter
        // it does not know.
        return Value(-1);
    });
    method("generateFilterRect", 0, [](Activation&, BitmapDataObject&, Args&) -> Value { return Value(); });

    // MovieClip.attachBitmap(bitmap, depth, pixelSnapping, smoothing): a
    // display object at that depth showing the bitmap's pixels as they
    // change.
    rt.movieClipProto->defineNative(rt, QStringLiteral("attachBitmap"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        swf::DisplayObject* d = rt.displayOf(self);
        BitmapDataObject* b = ValidBitmap(Arg(args, 0).asObject());
        if (!d || !b || args.size() < 2 || !rt.attachChild)
            return Value();
        // The bitmap's object has no name: scripts cannot reach it.
        swf::DisplayObject* c = rt.attachChild(d, 0, QString(), ToInt32(rt.toNumber(a, args[1])) + 16384);
        if (c) {
            c->bitmap = b->pixels;
            c->bitmapSmoothing = rt.toBool(Arg(args, 3), a.version);
        }
        return Value();
    }, kDontEnum | kVersion8);
}

} // namespace plovex::avm1

#include "swf/filters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace plovex::swf {

namespace {

// Work buffers kept between calls, so that filtering a frame allocates
// nothing once the buffers have grown to the largest layer.
struct Scratch {
    std::vector<uint8_t> plane, tmp, padded, zeros;
    std::vector<uint32_t> sums;
};

Scratch& scratch()
{
    thread_local Scratch s;
    return s;
}

// One box pass of a given width. The box covers `size` pixels centred on
// each pixel: the whole pixels within (size - 1) / 2 on either side count
// fully and the next pixel on each side counts by the fraction left over
// (kept to 1/255 steps, as the Flash Player's fixed-point arithmetic
// does). The sum is divided by the full width and rounded down to 8 bits.
struct BoxKernel {
    bool active = false;
    int reach = 0;          // whole pixels counted fully on each side
    uint32_t edge = 0;      // weight of the pixel just past them, 0..255
    uint64_t scale = 0;     // 2^40 / (255 * size), rounded up

    explicit BoxKernel(double size)
    {
        size = std::min(size, 255.0);
        if (!(size > 1.0))
            return;
        active = true;
        const double radius = (size - 1) / 2;
        reach = int(std::ceil(radius)) - 1;
        edge = uint32_t(std::floor((radius - reach) * 255 + 1e-9));
        scale = uint64_t(std::ceil(double(uint64_t(1) << 40) / (255.0 * size)));
    }

    // Pixels on each side that the box reads.
    int spread() const { return active ? reach + 1 : 0; }

    uint8_t value(uint32_t inner, uint32_t outer) const
    {
        const uint64_t v = (uint64_t(inner * 255 + outer * edge) * scale) >> 40;
        return uint8_t(std::min<uint64_t>(255, v));
    }
};

// Blurs `rows` lines of `n` pixels with `C` interleaved 8-bit channels
// along the line.
template <int C>
void boxRows(uint8_t* data, int n, int rows, size_t stride, const BoxKernel& k)
{
    const int r = k.reach;
    const int pad = r + 1;
    auto& padded = scratch().padded;
    padded.assign(size_t(n + 2 * pad) * C, 0);
    for (int y = 0; y < rows; ++y) {
        uint8_t* line = data + size_t(y) * stride;
        std::memcpy(padded.data() + size_t(pad) * C, line, size_t(n) * C);
        const uint8_t* p = padded.data() + size_t(pad) * C;   // p[i*C + c], i in [-pad, n+pad)
        uint32_t sum[C] = {};
        for (int i = -r; i <= r; ++i)
            for (int c = 0; c < C; ++c)
                sum[c] += p[i * C + c];
        for (int x = 0; x < n; ++x) {
            for (int c = 0; c < C; ++c) {
                const uint32_t outer = uint32_t(p[(x - r - 1) * C + c]) + p[(x + r + 1) * C + c];
                line[x * C + c] = k.value(sum[c], outer);
                sum[c] += uint32_t(p[(x + r + 1) * C + c]) - p[(x - r) * C + c];
            }
        }
    }
}

// Blurs down the columns of a block of `rows` lines of `bytes` values each.
void boxColumns(uint8_t* data, int bytes, int rows, size_t stride, const BoxKernel& k)
{
    const int r = k.reach;
    auto& s = scratch();
    s.tmp.resize(size_t(bytes) * rows);
    s.sums.assign(size_t(bytes), 0);
    s.zeros.assign(size_t(bytes), 0);
    uint32_t* sum = s.sums.data();
    const uint8_t* zero = s.zeros.data();
    auto row = [&](int y) -> const uint8_t* { return (y < 0 || y >= rows) ? zero : data + size_t(y) * stride; };
    for (int y = 0; y <= r && y < rows; ++y) {
        const uint8_t* src = row(y);
        for (int i = 0; i < bytes; ++i)
            sum[i] += src[i];
    }
    for (int y = 0; y < rows; ++y) {
        const uint8_t* __restrict before = row(y - r - 1);
        const uint8_t* __restrict after = row(y + r + 1);
        const uint8_t* __restrict leaving = row(y - r);
        uint8_t* __restrict out = s.tmp.data() + size_t(y) * bytes;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t a = after[i];
            out[i] = k.value(sum[i], before[i] + a);
            sum[i] += a - leaving[i];
        }
    }
    for (int y = 0; y < rows; ++y)
        std::memcpy(data + size_t(y) * stride, s.tmp.data() + size_t(y) * bytes, size_t(bytes));
}

// `passes` rounds of a horizontal then a vertical box over an image of
// C-channel pixels.
template <int C>
void blurBlock(uint8_t* data, int w, int h, size_t stride, double sizeX, double sizeY, int passes)
{
    const BoxKernel kx(sizeX), ky(sizeY);
    for (int pass = 0; pass < passes; ++pass) {
        if (kx.active)
            boxRows<C>(data, w, h, stride, kx);
        if (ky.active)
            boxColumns(data, w * C, h, stride, ky);
    }
}

// The box width in device pixels for a blur amount in stage pixels: the
// reach on either side of the centre pixel grows with the stage's scale.
double boxSize(double blur, double scale)
{
    return blur > 1 ? (blur - 1) * scale + 1 : 0;
}

// The alpha channel of a premultiplied layer, blurred.
const std::vector<uint8_t>& blurredAlpha(const QImage& img, const Filter& f, double scale)
{
    const int w = img.width(), h = img.height();
    auto& a = scratch().plane;
    a.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        uint8_t* d = a.data() + size_t(y) * w;
        for (int x = 0; x < w; ++x)
            d[x] = uint8_t(qAlpha(s[x]));
    }
    blurBlock<1>(a.data(), w, h, size_t(w), boxSize(f.blurX, scale), boxSize(f.blurY, scale), std::max(1, f.passes));
    return a;
}

// A filter's offset in whole device pixels: the blurred picture is read
// at the nearest pixel to the shifted position.
int pixelShift(double offset)
{
    return int(std::floor(0.5 + offset));
}

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba premulOf(const QColor& c)
{
    const float a = float(c.alpha()) / 255;
    return {float(c.red()) / 255 * a, float(c.green()) / 255 * a, float(c.blue()) / 255 * a, a};
}

bool isClear(const Rgba& c)
{
    return c.a <= 0 && c.r <= 0 && c.g <= 0 && c.b <= 0;
}

Rgba unpack(QRgb p)
{
    return {float(qRed(p)) / 255, float(qGreen(p)) / 255, float(qBlue(p)) / 255, float(qAlpha(p)) / 255};
}

QRgb pack(const Rgba& c)
{
    auto q = [](float v) { return int(std::min(std::max(v, 0.0f), 1.0f) * 255 + 0.5f); };
    const int a = q(c.a);
    return qRgba(std::min(q(c.r), a), std::min(q(c.g), a), std::min(q(c.b), a), a);
}

// Looks up a plane value at a shifted position; outside the layer there is nothing.
struct Shifted {
    const uint8_t* plane;
    int w, h, dx, dy;
    float at(int x, int y) const
    {
        x += dx;
        y += dy;
        if (x < 0 || y < 0 || x >= w || y >= h)
            return 0;
        return float(plane[size_t(y) * w + x]) / 255;
    }
};

// Glow and drop shadow, plain or from a gradient: a blurred, coloured copy
// of the alpha channel, behind the object or (inner) inside its edge.
void shadowLike(QImage& img, const Filter& f, double scale, const std::vector<Rgba>* ramp)
{
    const int w = img.width(), h = img.height();
    const auto& blurred = blurredAlpha(img, f, scale);
    const double dist = f.distance * scale;
    const Shifted at{blurred.data(), w, h, pixelShift(-std::cos(f.angle) * dist), pixelShift(-std::sin(f.angle) * dist)};
    const Rgba color = premulOf(f.colors.empty() ? QColor(Qt::black) : f.colors.front());
    const float strength = float(f.strength);
    const bool keepObject = f.compositeSource && !f.knockout;
    // A gradient glow "on top" lies over the object and around it alike.
    const bool full = ramp && f.onTop;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float b = at.at(x, y);
            const float cover = std::clamp((f.inner && !full ? 1 - b : b) * strength, 0.0f, 1.0f);
            Rgba glow;
            if (ramp) {
                glow = (*ramp)[size_t(std::lround(cover * 255))];
            } else {
                glow = {color.r * cover, color.g * cover, color.b * cover, color.a * cover};
            }
            if (isClear(glow)) {
                // Nothing to add: the object stays, or goes if it is knocked out or hidden.
                if (!keepObject)
                    line[x] = 0;
                continue;
            }
            const Rgba dest = unpack(line[x]);
            Rgba out;
            if (full) {
                if (f.knockout)
                    out = glow;
                else
                    out = {dest.r * (1 - glow.a) + glow.r, dest.g * (1 - glow.a) + glow.g,
                           dest.b * (1 - glow.a) + glow.b, dest.a * (1 - glow.a) + glow.a};
            } else if (f.inner) {
                // Inside the object only: the glow is cut to the object's alpha.
                const float k = dest.a;
                if (f.knockout || !f.compositeSource)
                    out = {glow.r * k, glow.g * k, glow.b * k, glow.a * k};
                else
                    out = {glow.r * k + dest.r * (1 - glow.a), glow.g * k + dest.g * (1 - glow.a),
                           glow.b * k + dest.b * (1 - glow.a), glow.a * k + dest.a * (1 - glow.a)};
            } else {
                const float k = 1 - dest.a;
                if (f.knockout)
                    out = {glow.r * k, glow.g * k, glow.b * k, glow.a * k};
                else if (!f.compositeSource)
                    out = glow;
                else
                    out = {glow.r * k + dest.r, glow.g * k + dest.g, glow.b * k + dest.b, glow.a * k + dest.a};
            }
            line[x] = pack(out);
        }
    }
}

// Bevel, plain or from a gradient: the blurred alpha read once shifted
// towards the light and once away from it; where the first is stronger the
// highlight shows, where the second is, the shadow.
void bevelLike(QImage& img, const Filter& f, double scale, const std::vector<Rgba>* ramp)
{
    const int w = img.width(), h = img.height();
    const auto& blurred = blurredAlpha(img, f, scale);
    const double ox = std::cos(f.angle) * f.distance * scale, oy = std::sin(f.angle) * f.distance * scale;
    const Shifted lit{blurred.data(), w, h, pixelShift(ox), pixelShift(oy)};
    const Shifted dark{blurred.data(), w, h, pixelShift(-ox), pixelShift(-oy)};
    // The movie stores the highlight colour first, then the shadow colour.
    const Rgba highlight = premulOf(f.colors.size() > 0 ? f.colors[0] : QColor(Qt::white));
    const Rgba shadow = premulOf(f.colors.size() > 1 ? f.colors[1] : QColor(Qt::black));
    const float strength = float(f.strength);
    const bool full = f.onTop, inner = !full && f.inner;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float d = (lit.at(x, y) - dark.at(x, y)) * strength;
            Rgba glow;
            if (ramp) {
                // Ratio 128 is the flat surface; towards 255 the lit side, towards 0 the shaded one.
                const int idx = std::clamp(int(std::lround(128 + d * 127)), 0, 255);
                glow = (*ramp)[size_t(idx)];
            } else {
                const float hi = std::clamp(d, 0.0f, 1.0f), sh = std::clamp(-d, 0.0f, 1.0f);
                glow = {highlight.r * hi + shadow.r * sh, highlight.g * hi + shadow.g * sh,
                        highlight.b * hi + shadow.b * sh, highlight.a * hi + shadow.a * sh};
            }
            if (isClear(glow)) {
                if (f.knockout)
                    line[x] = 0;
                continue;
            }
            const Rgba dest = unpack(line[x]);
            Rgba out;
            if (full) {
                if (f.knockout)
                    out = glow;
                else
                    out = {dest.r * (1 - glow.a) + glow.r, dest.g * (1 - glow.a) + glow.g,
                           dest.b * (1 - glow.a) + glow.b, dest.a * (1 - glow.a) + glow.a};
            } else if (inner) {
                const float k = dest.a;
                if (f.knockout)
                    out = {glow.r * k, glow.g * k, glow.b * k, glow.a * k};
                else
                    out = {glow.r * k + dest.r * (1 - glow.a), glow.g * k + dest.g * (1 - glow.a),
                           glow.b * k + dest.b * (1 - glow.a), glow.a * k + dest.a * (1 - glow.a)};
            } else {
                const float k = 1 - dest.a;
                if (f.knockout)
                    out = {glow.r * k, glow.g * k, glow.b * k, glow.a * k};
                else
                    out = {dest.r + glow.r * k, dest.g + glow.g * k, dest.b + glow.b * k, dest.a + glow.a * k};
            }
            line[x] = pack(out);
        }
    }
}

// The 256 colours of a gradient filter's ramp, premultiplied.
std::vector<Rgba> rampOf(const Filter& f)
{
    std::vector<Rgba> ramp(256);
    const size_t n = std::min(f.colors.size(), f.ratios.size());
    if (n == 0)
        return ramp;
    for (int i = 0; i < 256; ++i) {
        size_t k = 0;
        while (k + 1 < n && f.ratios[k + 1] <= i)
            ++k;
        QColor c;
        if (k + 1 >= n || i <= f.ratios[k]) {
            c = f.colors[k];
        } else {
            const double t = double(i - f.ratios[k]) / std::max(1, f.ratios[k + 1] - f.ratios[k]);
            const QColor& a = f.colors[k];
            const QColor& b = f.colors[k + 1];
            c = QColor(int(a.red() + (b.red() - a.red()) * t), int(a.green() + (b.green() - a.green()) * t),
                       int(a.blue() + (b.blue() - a.blue()) * t), int(a.alpha() + (b.alpha() - a.alpha()) * t));
        }
        ramp[size_t(i)] = premulOf(c);
    }
    return ramp;
}

void colorMatrix(QImage& img, const std::vector<double>& m)
{
    if (m.size() < 20)
        return;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = qUnpremultiply(line[x]);
            const double r = qRed(c), g = qGreen(c), b = qBlue(c), a = qAlpha(c);
            auto ch = [&](int row) {
                const double v = m[size_t(row * 5)] * r + m[size_t(row * 5 + 1)] * g + m[size_t(row * 5 + 2)] * b +
                                 m[size_t(row * 5 + 3)] * a + m[size_t(row * 5 + 4)];
                return std::clamp(int(std::lround(v)), 0, 255);
            };
            line[x] = qPremultiply(qRgba(ch(0), ch(1), ch(2), ch(3)));
        }
    }
}

void convolution(QImage& img, const Filter& f)
{
    if (f.matrixX <= 0 || f.matrixY <= 0 || f.matrix.size() < size_t(f.matrixX) * f.matrixY)
        return;
    const QImage src = img.copy();
    const int w = img.width(), h = img.height();
    const double div = f.divisor == 0 ? 1 : f.divisor;
    const int cx = f.matrixX / 2, cy = f.matrixY / 2;
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int j = 0; j < f.matrixY; ++j)
                for (int i = 0; i < f.matrixX; ++i) {
                    int sx = x + i - cx, sy = y + j - cy;
                    QRgb p;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                        if (f.clamp) {
                            sx = std::clamp(sx, 0, w - 1);
                            sy = std::clamp(sy, 0, h - 1);
                            p = qUnpremultiply(reinterpret_cast<const QRgb*>(src.constScanLine(sy))[sx]);
                        } else {
                            p = f.defaultColor.rgba();
                        }
                    } else {
                        p = qUnpremultiply(reinterpret_cast<const QRgb*>(src.constScanLine(sy))[sx]);
                    }
                    const double k = f.matrix[size_t(j * f.matrixX + i)];
                    r += qRed(p) * k;
                    g += qGreen(p) * k;
                    b += qBlue(p) * k;
                    a += qAlpha(p) * k;
                }
            const QRgb orig = qUnpremultiply(reinterpret_cast<const QRgb*>(src.constScanLine(y))[x]);
            auto cl = [&](double v) { return std::clamp(int(v / div + f.bias), 0, 255); };
            out[x] = qPremultiply(qRgba(cl(r), cl(g), cl(b), f.preserveAlpha ? qAlpha(orig) : cl(a)));
        }
    }
}

} // namespace

void BoxBlur(QImage& image, double boxX, double boxY, int passes)
{
    const int w = image.width(), h = image.height();
    if (w == 0 || h == 0)
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Premultiplied pixels blur channel by channel; each channel stays at
    // or below alpha since all four are averaged alike and rounded down.
    blurBlock<4>(image.bits(), w, h, size_t(image.bytesPerLine()), boxX, boxY, passes);
}

int FilterMargin(const Filter& f, double scale, bool vertical)
{
    const double blur = boxSize(vertical ? f.blurY : f.blurX, scale);
    int grow = BoxKernel(blur).spread() * std::max(1, f.passes);
    if (f.type == Filter::DropShadow || f.type == Filter::Bevel || f.type == Filter::GradientBevel ||
        f.type == Filter::GradientGlow) {
        const double off = (vertical ? std::sin(f.angle) : std::cos(f.angle)) * f.distance * scale;
        grow += int(std::ceil(std::abs(off))) + 1;
    }
    return grow;
}

void ApplyFilters(QImage& layer, const std::vector<Filter>& filters, double scale)
{
    if (layer.isNull())
        return;
    for (const Filter& f : filters) {
        switch (f.type) {
        case Filter::Blur:
            BoxBlur(layer, boxSize(f.blurX, scale), boxSize(f.blurY, scale), std::max(1, f.passes));
            break;
        case Filter::DropShadow:
        case Filter::Glow:
            shadowLike(layer, f, scale, nullptr);
            break;
        case Filter::GradientGlow: {
            const auto ramp = rampOf(f);
            shadowLike(layer, f, scale, &ramp);
            break;
        }
        case Filter::Bevel:
            bevelLike(layer, f, scale, nullptr);
            break;
        case Filter::GradientBevel: {
            const auto ramp = rampOf(f);
            bevelLike(layer, f, scale, &ramp);
            break;
        }
        case Filter::ColorMatrix:
            colorMatrix(layer, f.matrix);
            break;
        case Filter::Convolution:
            convolution(layer, f);
            break;
        default:
            break;
        }
    }
}

} // namespace plovex::swf

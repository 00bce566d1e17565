#include "swf/filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plovex::swf {

namespace {

using Plane = std::vector<int>;   // one channel, values 0..255

// One box pass along a line of n values with stride, box width w.
void boxLine(int* data, int n, int stride, int w, std::vector<int>& tmp)
{
    tmp.assign(size_t(n), 0);
    const int before = (w - 1) / 2, after = w / 2;
    long sum = 0;
    // prime the window for position 0: [-before, after]
    for (int i = 0; i <= after && i < n; ++i)
        sum += data[i * stride];
    for (int x = 0; x < n; ++x) {
        tmp[size_t(x)] = int(sum / w);
        const int add = x + after + 1, drop = x - before;
        if (add < n)
            sum += data[add * stride];
        if (drop >= 0)
            sum -= data[drop * stride];
    }
    for (int x = 0; x < n; ++x)
        data[x * stride] = tmp[size_t(x)];
}

void blurPlane(Plane& p, int width, int height, double boxX, double boxY, int passes)
{
    // The box is an odd number of pixels wide, centred on each pixel.
    const int wx = std::max(1, 2 * int(std::floor((boxX - 1) / 2)) + 1);
    const int wy = std::max(1, 2 * int(std::floor((boxY - 1) / 2)) + 1);
    std::vector<int> tmp;
    for (int pass = 0; pass < passes; ++pass) {
        if (wx > 1)
            for (int y = 0; y < height; ++y)
                boxLine(p.data() + size_t(y) * width, width, 1, wx, tmp);
        if (wy > 1)
            for (int x = 0; x < width; ++x)
                boxLine(p.data() + x, height, width, wy, tmp);
    }
}

Plane alphaOf(const QImage& img, bool inverse)
{
    Plane a(size_t(img.width()) * img.height());
    for (int y = 0; y < img.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            a[size_t(y) * img.width() + x] = inverse ? 255 - qAlpha(s[x]) : qAlpha(s[x]);
    }
    return a;
}

Plane shifted(const Plane& p, int w, int h, int dx, int dy, int fill)
{
    Plane out(p.size(), fill);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h)
            continue;
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            if (sx >= 0 && sx < w)
                out[size_t(y) * w + x] = p[size_t(sy) * w + sx];
        }
    }
    return out;
}

QRgb premul(const QColor& c, int coverage)
{
    const int a = c.alpha() * coverage / 255;
    return qRgba(c.red() * a / 255, c.green() * a / 255, c.blue() * a / 255, a);
}

QRgb over(QRgb top, QRgb bottom)
{
    const int ia = 255 - qAlpha(top);
    return qRgba(qRed(top) + qRed(bottom) * ia / 255, qGreen(top) + qGreen(bottom) * ia / 255,
                 qBlue(top) + qBlue(bottom) * ia / 255, qAlpha(top) + qAlpha(bottom) * ia / 255);
}

QRgb scaleRgb(QRgb c, int f)
{
    return qRgba(qRed(c) * f / 255, qGreen(c) * f / 255, qBlue(c) * f / 255, qAlpha(c) * f / 255);
}

// Shadow, glow and their gradient kinds: a blurred, coloured copy of the
// alpha channel placed behind (or, inner, inside) the object.
void shadowLike(QImage& img, const Filter& f, double scale, const std::vector<QRgb>* ramp)
{
    const int w = img.width(), h = img.height();
    Plane a = alphaOf(img, f.inner);
    const int dx = int(std::lround(std::cos(f.angle) * f.distance * scale));
    const int dy = int(std::lround(std::sin(f.angle) * f.distance * scale));
    a = shifted(a, w, h, dx, dy, f.inner ? 255 : 0);
    blurPlane(a, w, h, f.blurX * scale, f.blurY * scale, std::max(1, f.passes));
    const QColor color = f.colors.empty() ? QColor(Qt::black) : f.colors.front();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int v = std::min(255, int(a[size_t(y) * w + x] * f.strength));
            const QRgb src = line[x];
            QRgb s = ramp ? scaleRgb((*ramp)[size_t(v)], 255) : premul(color, v);
            if (ramp && v == 0)
                s = 0;
            if (f.inner) {
                s = scaleRgb(s, qAlpha(src));
                line[x] = f.knockout ? s : f.compositeSource ? over(s, src) : s;
            } else {
                if (f.knockout)
                    line[x] = scaleRgb(s, 255 - qAlpha(src));
                else
                    line[x] = f.compositeSource ? over(src, s) : s;
            }
        }
    }
}

void bevelLike(QImage& img, const Filter& f, double scale, const std::vector<QRgb>* ramp)
{
    const int w = img.width(), h = img.height();
    Plane a = alphaOf(img, false);
    blurPlane(a, w, h, f.blurX * scale, f.blurY * scale, std::max(1, f.passes));
    const int dx = int(std::lround(std::cos(f.angle) * f.distance * scale));
    const int dy = int(std::lround(std::sin(f.angle) * f.distance * scale));
    const Plane lit = shifted(a, w, h, -dx, -dy, 0);
    const Plane dark = shifted(a, w, h, dx, dy, 0);
    const QColor shadow = f.colors.size() > 0 ? f.colors[0] : QColor(Qt::black);
    const QColor highlight = f.colors.size() > 1 ? f.colors[1] : QColor(Qt::white);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const int diff = int((dark[i] - lit[i]) * f.strength);
            QRgb s;
            if (ramp) {
                const int idx = std::clamp(128 + diff / 2, 0, 255);
                s = (*ramp)[size_t(idx)];
            } else if (diff > 0) {
                s = premul(highlight, std::min(255, diff));
            } else {
                s = premul(shadow, std::min(255, -diff));
            }
            const QRgb src = line[x];
            const int sa = qAlpha(src);
            if (f.inner)
                s = scaleRgb(s, sa);
            else if (!f.onTop && !f.knockout)
                s = scaleRgb(s, 255);
            if (f.knockout)
                line[x] = f.inner ? s : scaleRgb(s, 255 - sa);
            else if (f.inner || f.onTop)
                line[x] = over(s, src);
            else
                line[x] = over(src, s);
        }
    }
}

std::vector<QRgb> rampOf(const Filter& f)
{
    std::vector<QRgb> ramp(256, 0);
    if (f.colors.empty())
        return ramp;
    for (int i = 0; i < 256; ++i) {
        size_t k = 0;
        while (k + 1 < f.colors.size() && size_t(k + 1) < f.ratios.size() && f.ratios[k + 1] <= i)
            ++k;
        QColor c;
        if (k + 1 >= f.colors.size() || k + 1 >= f.ratios.size() || i <= f.ratios[k]) {
            c = f.colors[k];
        } else {
            const double t = double(i - f.ratios[k]) / std::max(1, f.ratios[k + 1] - f.ratios[k]);
            const QColor& a = f.colors[k];
            const QColor& b = f.colors[k + 1];
            c = QColor(int(a.red() + (b.red() - a.red()) * t), int(a.green() + (b.green() - a.green()) * t),
                       int(a.blue() + (b.blue() - a.blue()) * t), int(a.alpha() + (b.alpha() - a.alpha()) * t));
        }
        ramp[size_t(i)] = premul(c, 255);
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
    Plane ch[4];
    for (auto& c : ch)
        c.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            ch[0][i] = qRed(s[x]);
            ch[1][i] = qGreen(s[x]);
            ch[2][i] = qBlue(s[x]);
            ch[3][i] = qAlpha(s[x]);
        }
    }
    for (auto& c : ch)
        blurPlane(c, w, h, boxX, boxY, passes);
    for (int y = 0; y < h; ++y) {
        auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const int a = ch[3][i];
            d[x] = qRgba(std::min(ch[0][i], a), std::min(ch[1][i], a), std::min(ch[2][i], a), a);
        }
    }
}

void ApplyFilters(QImage& layer, const std::vector<Filter>& filters, double scale)
{
    for (const Filter& f : filters) {
        switch (f.type) {
        case Filter::Blur:
            BoxBlur(layer, f.blurX * scale, f.blurY * scale, std::max(1, f.passes));
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

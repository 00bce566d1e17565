// Bitmap filters on small layers: box widths, passes, offsets and how the
// filtered picture combines with the object.

#include "swf/filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace plovex::swf;

namespace {

QImage dotRow(int width, int at)
{
    QImage img(width, 1, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setPixel(at, 0, qRgba(255, 255, 255, 255));
    return img;
}

std::vector<int> alphas(const QImage& img, int y = 0)
{
    std::vector<int> out;
    for (int x = 0; x < img.width(); ++x)
        out.push_back(qAlpha(img.pixel(x, y)));
    return out;
}

Filter blurOf(double x, double y, int passes)
{
    Filter f;
    f.type = Filter::Blur;
    f.blurX = x;
    f.blurY = y;
    f.passes = passes;
    return f;
}

TEST(SwfFilters, BlurOfADotSpreadsByTheBoxAndEachPassRoundsDown)
{
    struct Case {
        double blur, scale;
        int passes;
        std::vector<int> expected;   // alpha of pixels 5..15 around the dot at 10
    } cases[] = {
        {5, 1, 1, {0, 0, 0, 51, 51, 51, 51, 51, 0, 0, 0}},
        // A second pass of the same box: a tent, each pass rounded down.
        {5, 1, 2, {0, 10, 20, 30, 40, 51, 40, 30, 20, 10, 0}},
        // An even amount: whole pixels within 4.5, the fifth on each side by half.
        {10, 1, 1, {12, 25, 25, 25, 25, 25, 25, 25, 25, 25, 12}},
        // At twice the stage's scale the reach doubles: 2 becomes a box of 3,
        // 1 stays a single pixel.
        {2, 2, 1, {0, 0, 0, 0, 85, 85, 85, 0, 0, 0, 0}},
        {1, 2, 1, {0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        QImage img = dotRow(21, 10);
        ApplyFilters(img, {blurOf(c.blur, 1, c.passes)}, c.scale);
        const std::vector<int> all = alphas(img);
        EXPECT_EQ(std::vector<int>(all.begin() + 5, all.begin() + 16), c.expected)
            << "blur " << c.blur << " scale " << c.scale << " passes " << c.passes;
        // Colour never exceeds alpha in the premultiplied result.
        for (int x = 0; x < img.width(); ++x)
            EXPECT_LE(qRed(img.pixel(x, 0)), qAlpha(img.pixel(x, 0)));
    }
}

TEST(SwfFilters, GlowsStayCentredOnTheirSource)
{
    // A glow of 5 around a dot: five whole pixels of 51, two to each side,
    // the dot itself knocked out. (The picture a filter works on starts on
    // a whole pixel, so nothing needs moving by half a pixel here.)
    Filter glow;
    glow.type = Filter::Glow;
    glow.colors = {QColor(0, 0, 0)};
    glow.blurX = 5;
    glow.blurY = 1;
    glow.strength = 1;
    glow.passes = 1;
    glow.knockout = true;   // the glow alone
    QImage img = dotRow(21, 10);
    ApplyFilters(img, {glow}, 1.0);
    const std::vector<int> a = alphas(img);
    EXPECT_EQ(std::vector<int>(a.begin() + 6, a.begin() + 15), (std::vector<int>{0, 0, 51, 51, 0, 51, 51, 0, 0}));

    // A box of 3 likewise.
    glow.blurX = 3;
    QImage small = dotRow(21, 10);
    ApplyFilters(small, {glow}, 1.0);
    const std::vector<int> b = alphas(small);
    EXPECT_EQ(std::vector<int>(b.begin() + 8, b.begin() + 13), (std::vector<int>{0, 85, 0, 85, 0}));
}

TEST(SwfFilters, FilterMarginCoversEverythingTheFilterDraws)
{
    Filter shadow;
    shadow.type = Filter::DropShadow;
    shadow.colors = {QColor(0, 0, 0)};
    shadow.blurX = 9;
    shadow.blurY = 1;
    shadow.distance = 6;
    shadow.angle = 0;
    shadow.passes = 3;
    const int margin = FilterMargin(shadow, 1.0, false);
    QImage img = dotRow(2 * margin + 41, margin + 20);
    ApplyFilters(img, {shadow}, 1.0);
    const std::vector<int> a = alphas(img);
    int first = -1, last = -1;
    for (int x = 0; x < int(a.size()); ++x)
        if (a[size_t(x)] > 0) {
            if (first < 0)
                first = x;
            last = x;
        }
    ASSERT_GE(first, 0);
    EXPECT_LE(margin + 20 - first, margin);
    EXPECT_LE(last - (margin + 20), margin);
    EXPECT_GE(last - (margin + 20), 6 + 4 * 2);   // beyond the offset plus two passes' reach
}

QImage square(int size, int from, int to, QRgb color)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    for (int y = from; y < to; ++y)
        for (int x = from; x < to; ++x)
            img.setPixel(x, y, color);
    return img;
}

TEST(SwfFilters, ShadowOffsetIsRoundedToWholePixelsAtTheStageScale)
{
    struct Case {
        double distance, angle, scale;
        int dx, dy;
    } cases[] = {
        {4, 0, 1, 4, 0},
        {2.4, 0, 1, 2, 0},
        {2.6, 0, 1, 3, 0},
        {1.3, 0, 2, 3, 0},                 // 2.6 device pixels
        {4, M_PI / 2, 1, 0, 4},            // downwards
        {5, M_PI / 4, 1, 4, 4},            // 3.54 each way
        {3, M_PI, 1, -3, 0},
    };
    for (const Case& c : cases) {
        // A 2x2 object in the middle of a 20x20 layer; the shadow has no blur.
        QImage img = square(20, 9, 11, qRgba(255, 0, 0, 255));
        Filter shadow;
        shadow.type = Filter::DropShadow;
        shadow.colors = {QColor(0, 0, 255)};
        shadow.blurX = shadow.blurY = 0;
        shadow.distance = c.distance;
        shadow.angle = c.angle;
        shadow.passes = 1;
        shadow.compositeSource = false;   // the shadow alone
        ApplyFilters(img, {shadow}, c.scale);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inShadow = x - c.dx >= 9 && x - c.dx < 11 && y - c.dy >= 9 && y - c.dy < 11;
                ASSERT_EQ(img.pixel(x, y), inShadow ? qRgba(0, 0, 255, 255) : 0u)
                    << c.distance << "@" << c.angle << " scale " << c.scale << " pixel " << x << "," << y;
            }
    }
}

TEST(SwfFilters, GlowKnockoutAndInnerKeepToTheirSideOfTheEdge)
{
    Filter glow;
    glow.type = Filter::Glow;
    glow.colors = {QColor(0, 255, 0)};
    glow.blurX = glow.blurY = 3;
    glow.strength = 1;
    glow.passes = 1;
    const QRgb red = qRgba(255, 0, 0, 255);

    QImage outer = square(20, 6, 14, red);
    ApplyFilters(outer, {glow}, 1.0);
    EXPECT_EQ(outer.pixel(10, 10), red);                          // object on top
    EXPECT_EQ(outer.pixel(5, 10), qRgba(0, 85, 0, 85));           // one box of 3 reaches out one pixel
    EXPECT_EQ(qAlpha(outer.pixel(4, 10)), 0);

    glow.knockout = true;
    QImage knocked = square(20, 6, 14, red);
    ApplyFilters(knocked, {glow}, 1.0);
    EXPECT_EQ(qAlpha(knocked.pixel(10, 10)), 0);                  // the object is cut out
    EXPECT_EQ(knocked.pixel(5, 10), qRgba(0, 85, 0, 85));

    glow.knockout = false;
    glow.inner = true;
    QImage inner = square(20, 6, 14, red);
    ApplyFilters(inner, {glow}, 1.0);
    EXPECT_EQ(qAlpha(inner.pixel(5, 10)), 0);                     // nothing outside
    EXPECT_EQ(inner.pixel(10, 10), red);                          // the middle is untouched
    EXPECT_EQ(inner.pixel(6, 10), qRgba(170, 85, 0, 255));        // the edge pixel, a third in from outside
}

TEST(SwfFilters, BevelLightsTheSideFacingAwayFromItsAngle)
{
    // Light falls along the angle (0: to the right), so the left edge of an
    // inner bevel takes the highlight (stored first) and the right edge the shadow.
    Filter bevel;
    bevel.type = Filter::Bevel;
    bevel.colors = {QColor(255, 255, 255), QColor(0, 0, 0)};
    bevel.blurX = bevel.blurY = 0;
    bevel.distance = 1;
    bevel.angle = 0;
    bevel.strength = 1;
    bevel.inner = true;
    bevel.passes = 1;
    const QRgb grey = qRgba(128, 128, 128, 255);
    QImage img = square(20, 6, 14, grey);
    ApplyFilters(img, {bevel}, 1.0);
    EXPECT_EQ(img.pixel(6, 10), qRgba(255, 255, 255, 255));
    EXPECT_EQ(img.pixel(13, 10), qRgba(0, 0, 0, 255));
    EXPECT_EQ(img.pixel(10, 10), grey);
    EXPECT_EQ(qAlpha(img.pixel(5, 10)), 0);                       // inner: nothing outside

    // On top ("full"): both sides of each edge, over the object.
    bevel.inner = false;
    bevel.onTop = true;
    QImage full = square(20, 6, 14, grey);
    ApplyFilters(full, {bevel}, 1.0);
    EXPECT_EQ(full.pixel(5, 10), qRgba(255, 255, 255, 255));
    EXPECT_EQ(full.pixel(6, 10), qRgba(255, 255, 255, 255));
    EXPECT_EQ(full.pixel(13, 10), qRgba(0, 0, 0, 255));
    EXPECT_EQ(full.pixel(14, 10), qRgba(0, 0, 0, 255));
    EXPECT_EQ(full.pixel(10, 10), grey);
}


// Every glow and bevel keeps its colours, whatever its kind, strength or
// the stage's scale: where only the glow shows, its pixels have the glow's
// own hue; where it lies over the object, the object's channels that the
// glow lacks can only fade.
TEST(SwfFilters, GlowsAndBevelsKeepTheirColoursInEveryVariant)
{
    const QRgb blue = qRgba(0, 0, 255, 255);
    struct Case {
        const char* name;
        int type;
        bool inner, knockout, onTop;
        double strength, scale;
        QPoint at;          // a pixel where the filter's colour shows
        bool alone;         // the filter's colour alone there (else over the blue object)
    } cases[] = {
        {"outer glow", Filter::Glow, false, false, false, 1, 1, {5, 10}, true},
        {"outer glow, strong", Filter::Glow, false, false, false, 3, 1, {5, 10}, true},
        {"outer glow, stage at 2", Filter::Glow, false, false, false, 1, 2, {4, 10}, true},
        {"knocked out glow", Filter::Glow, false, true, false, 1, 1, {5, 10}, true},
        {"inner glow", Filter::Glow, true, false, false, 1, 1, {6, 10}, false},
        {"knocked out inner glow", Filter::Glow, true, true, false, 2, 1, {6, 10}, true},
        {"gradient glow", Filter::GradientGlow, false, false, false, 1, 1, {5, 10}, true},
        {"gradient glow on top", Filter::GradientGlow, false, false, true, 1, 1, {10, 10}, false},
        {"outer bevel", Filter::Bevel, false, false, false, 1, 1, {5, 10}, true},
        {"inner bevel", Filter::Bevel, true, false, false, 1, 1, {6, 10}, false},
        {"bevel on top, stage at 2", Filter::Bevel, false, false, true, 1, 2, {5, 10}, true},
    };
    const QColor red(255, 0, 0, 160);
    for (const Case& c : cases) {
        Filter f;
        f.type = c.type;
        f.blurX = f.blurY = 3;
        f.strength = c.strength;
        f.inner = c.inner;
        f.knockout = c.knockout;
        f.onTop = c.onTop;
        f.passes = 1;
        f.angle = 0;         // bevels: the light falls to the right, the left edges are lit
        f.distance = c.type == Filter::Bevel ? 1 : 0;
        if (c.type == Filter::GradientGlow) {
            f.colors = {QColor(255, 0, 0, 0), red};
            f.ratios = {0, 255};
        } else if (c.type == Filter::Bevel) {
            f.colors = {red, QColor(0, 255, 0)};
        } else {
            f.colors = {red};
        }
        QImage img = square(20, 6, 14, blue);
        ApplyFilters(img, {f}, c.scale);
        const QRgb px = img.pixel(c.at);
        EXPECT_GT(qRed(px), 0) << c.name;
        EXPECT_EQ(qGreen(px), 0) << c.name;
        if (c.alone)
            EXPECT_EQ(qBlue(px), 0) << c.name;
        else
            EXPECT_LT(qBlue(px), 255) << c.name;
    }
}

} // namespace

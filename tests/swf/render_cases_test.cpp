// Whole movies built with the writer, each a table of cases for one rule
// of the renderer.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"
#include "swf/render.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

QImage shot(const QByteArray& movie, QSize size, bool antialias)
{
    Player p(LoadMovie(movie));
    RenderOptions o;
    o.antialias = antialias;
    return p.renderImage(size, o);
}

// A red ellipse of 40 x 30 pixels at (x, y), in pixels.
ShapeData redEllipse()
{
    ShapeBuilder b;
    b.style(0, b.addFill(SolidFill(Qt::red)), 0).ellipse(QRectF(0, 0, 40 * 20, 30 * 20));
    return b.build();
}

Filter glowOf(const QColor& c, double blur, double strength)
{
    Filter f;
    f.type = Filter::Glow;
    f.colors = {c};
    f.blurX = f.blurY = blur;
    f.strength = strength;
    f.passes = 1;
    return f;
}

Filter shadowOf(double distance)
{
    Filter f;
    f.type = Filter::DropShadow;
    f.colors = {QColor(0, 0, 0)};
    f.blurX = f.blurY = 4;
    f.angle = M_PI / 4;
    f.distance = distance;
    f.strength = 1;
    f.passes = 1;
    return f;
}

// DefineButton2 whose up state shows one character with filters.
QByteArray buttonWithFilters(int id, int characterId, const std::vector<Filter>& filters)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.u8(0);        // not a menu
    w.u16(0);       // no actions
    w.u8(0x10 | 0x08 | 0x01);   // filters, hit, up
    w.u16(uint16_t(characterId));
    w.u16(1);
    w.matrix(Matrix());
    w.colorTransform(ColorTransform(), true);
    w.bytes(EncodeFilters(filters));
    w.u8(0);        // end of records
    return w.data();
}

} // namespace

// An object's filters decide its picture whoever drew the same picture
// with other filters before: the red glow of a button beside a button whose
// shape carries a drop shadow stays red, and so does the glow of an object
// that takes the place of a shadowed one in a later frame. (The glow's
// blur is chosen so that both filters grow the picture alike: the layers
// they work on are then the same.)
TEST(SwfRenderCases, EachObjectShowsItsOwnFiltersWhateverWasDrawnBefore)
{
    const QColor red(255, 0, 0);
    struct Case {
        const char* name;
        bool buttons;
    } cases[] = {{"two buttons side by side", true}, {"a shadowed object replaced by a glowing one", false}};
    for (const Case& c : cases) {
        SwfWriter w({.frameSize = Rect{0, 200 * 20, 0, 60 * 20}});
        w.defineShape(1, redEllipse());
        QImage last;
        if (c.buttons) {
            w.tag(kDefineButton2, buttonWithFilters(2, 1, {shadowOf(4)}));
            w.tag(kDefineButton2, buttonWithFilters(3, 1, {glowOf(red, 12, 2)}));
            w.placeObject2(PlaceNew(2, 1, Translate(10 * 20, 15 * 20)));
            w.placeObject2(PlaceNew(3, 2, Translate(110 * 20, 15 * 20)));
            w.showFrame();
            last = shot(w.finish(), QSize(200, 60), true);
        } else {
            PlaceObject shadowed = PlaceNew(1, 1, Translate(110 * 20, 15 * 20));
            shadowed.version = 3;
            shadowed.filters = std::vector<Filter>{shadowOf(4)};
            w.placeObject2(shadowed);
            w.showFrame();
            w.removeObject2(1);
            PlaceObject glowing = shadowed;
            glowing.filters = std::vector<Filter>{glowOf(red, 12, 2)};
            w.placeObject2(glowing);
            w.showFrame();
            Player p(LoadMovie(w.finish()));
            RenderOptions o;
            p.renderImage(QSize(200, 60), o);   // the shadowed frame, drawn once
            p.advance();
            last = p.renderImage(QSize(200, 60), o);
        }
        // Just left of the ellipse (x 110..150, y 15..45) and just above it:
        // glow, red on white; a shadow would be grey there or nothing.
        for (const QPoint at : {QPoint(107, 30), QPoint(130, 12)}) {
            const QColor px = last.pixelColor(at);
            EXPECT_EQ(px.red(), 255) << c.name << " at " << at.x() << "," << at.y();
            EXPECT_LT(px.green(), 230) << c.name << " at " << at.x() << "," << at.y();
            EXPECT_EQ(px.green(), px.blue()) << c.name << " at " << at.x() << "," << at.y();
        }
    }
}

namespace {

// Dark pixels from the edge of the picture towards its middle, along the
// middle row (from the left) or the middle column (from the top).
int thickness(const QImage& img, bool fromTop)
{
    int n = 0;
    const int mid = fromTop ? img.width() / 2 : img.height() / 2;
    const int end = fromTop ? img.height() / 2 : img.width() / 2;
    for (int i = 0; i < end; ++i)
        n += qGray(fromTop ? img.pixel(mid, i) : img.pixel(i, mid)) < 128;
    return n;
}

} // namespace

// A line that follows its shape is stretched with it: an outline around a
// square scaled unequally is thick where the stretch runs across the line
// and thin where it runs along it, and no part of it is thinner than a
// pixel. (The square, 20 pixels on each side, is centred a quarter pixel
// off the pixel grid so that no pixel centre lies on an edge.)
TEST(SwfRenderCases, LinesFollowingTheirShapeStretchWithItButStayAPixelWide)
{
    struct Case {
        int widthTwips;
        double sx, sy, rotation;
        int left, top;   // thickness of the left side and of the top, in pixels
    } cases[] = {
        {20, 3, 1, 0, 3, 1},
        {20, 1, 3, 0, 1, 3},
        {20, 3, 0.3, 0, 3, 1},          // the top, 0.3 pixels thick, is one pixel
        {10, 4, 1, 0, 2, 1},            // half a pixel: 2 at the sides, the top still one
        {10, 4, 1, M_PI / 2, 1, 2},     // turned a quarter: the thick sides come to the top
        {40, 2, 2, 0, 4, 4},            // an equal scale: the same all round
        {0, 3, 1, 0, 1, 1},             // a hairline is a pixel whatever the scale
    };
    for (const Case& c : cases) {
        SwfWriter w({.frameSize = Rect{0, 100 * 20, 0, 100 * 20}});
        ShapeBuilder b;
        b.style(0, 0, b.addLine(SolidLine(c.widthTwips, Qt::black))).rect(QRectF(-200, -200, 400, 400));
        w.defineShape(1, b.build(), 4);
        w.placeObject2(PlaceNew(1, 1, ScaleRotate(c.sx, c.sy, c.rotation, 50.25 * 20, 50.25 * 20)));
        w.showFrame();
        const QByteArray movie = w.finish();
        const QImage crisp = shot(movie, QSize(100, 100), false);
        EXPECT_EQ(thickness(crisp, false), c.left)
            << c.widthTwips << " twips at " << c.sx << " x " << c.sy << " turned " << c.rotation;
        EXPECT_EQ(thickness(crisp, true), c.top)
            << c.widthTwips << " twips at " << c.sx << " x " << c.sy << " turned " << c.rotation;
        // Antialiased, the thin parts still show at full darkness somewhere
        // across them, and the thick ones keep their width.
        const QImage smooth = shot(movie, QSize(100, 100), true);
        EXPECT_NEAR(thickness(smooth, false), c.left, 1) << c.widthTwips << " twips, antialiased";
        EXPECT_NEAR(thickness(smooth, true), c.top, 1) << c.widthTwips << " twips, antialiased";
    }
}

namespace {

// 2 x 2 texels: red, green / blue, white.
QImage fourTexels()
{
    QImage img(2, 2, QImage::Format_ARGB32_Premultiplied);
    img.setPixel(0, 0, qRgb(255, 0, 0));
    img.setPixel(1, 0, qRgb(0, 255, 0));
    img.setPixel(0, 1, qRgb(0, 0, 255));
    img.setPixel(1, 1, qRgb(255, 255, 255));
    return img;
}

} // namespace

// A bitmap fill seen through its matrix: each pixel takes the texel under
// its centre (or the four around it mixed, when smoothed). Past the
// bitmap's edge a repeating fill starts again from the other side; a
// clipped one carries its edge texels on.
TEST(SwfRenderCases, BitmapFillsRepeatOrCarryTheirEdgesOnPastTheBitmap)
{
    // Each texel 9.5 device pixels across and 9 down; the picture covers
    // -10..30 on each axis. Row 4's centres lie level with the middle of
    // the top texels, so smoothing mixes across only.
    const QTransform toDevice = QTransform::fromScale(9.5, 9);
    const QPoint origin(-10, -10);
    struct Case {
        bool repeat, smooth;
        QPoint at;       // device pixel
        QRgb expected;
    } cases[] = {
        {true, false, {5, 5}, qRgb(255, 0, 0)},         // inside: the texel itself
        {true, false, {15, 5}, qRgb(0, 255, 0)},
        {true, false, {-5, 5}, qRgb(0, 255, 0)},        // left of the bitmap: its right column
        {false, false, {-5, 5}, qRgb(255, 0, 0)},       // clipped: the left column carried on
        {true, false, {25, 25}, qRgb(255, 0, 0)},       // past the bottom right: from the top left again
        {false, false, {25, 25}, qRgb(255, 255, 255)},  // clipped: the bottom right texel
        // Smoothed, a centre half way between two texels' middles mixes them.
        {false, true, {9, 4}, qRgb(128, 128, 0)},
        {true, true, {9, 4}, qRgb(128, 128, 0)},
        // Beside and past the left edge: clipped keeps the edge texel;
        // repeating mixes in the texels from the other side.
        {false, true, {0, 4}, qRgb(255, 0, 0)},
        {false, true, {-10, 4}, qRgb(255, 0, 0)},
        {true, true, {-10, 4}, qRgb(128, 128, 0)},
    };
    for (const Case& c : cases) {
        QImage img(40, 40, QImage::Format_ARGB32_Premultiplied);
        PaintBitmapFill(img, origin, fourTexels(), toDevice, c.repeat, c.smooth);
        const QRgb got = img.pixel(c.at - origin);
        EXPECT_EQ(QColor(got), QColor(c.expected))
            << (c.repeat ? "repeating" : "clipped") << (c.smooth ? " smoothed" : "") << " at " << c.at.x() << ","
            << c.at.y();
    }
}

// In a movie: a clipped fill reaching past its bitmap at a fractional
// scale shows the edge texels there, never the far side of the bitmap; a
// fill is smoothed only when its smoothing bit says so and the quality is
// high.
TEST(SwfRenderCases, BitmapFillsInAMovieClipAtTheirEdgesAndSmoothOnlyWhenAllowed)
{
    struct Case {
        bool clipped, smoothBit, antialias;
    } cases[] = {
        {true, true, true}, {true, true, false}, {true, false, true}, {false, true, true}, {false, false, false},
    };
    for (const Case& c : cases) {
        SwfWriter w({.frameSize = Rect{0, 60 * 20, 0, 60 * 20}});
        w.defineBitsLossless(1, fourTexels().convertToFormat(QImage::Format_ARGB32));
        ShapeBuilder b;
        // Each texel 12.5 pixels wide; the square reaches 5 pixels past the
        // bitmap on every side.
        const double texel = 12.5 * 20;
        Matrix m = ScaleRotate(texel, texel, 0, 10 * 20, 10 * 20);
        b.style(0, b.addFill(BitmapFill(1, m, c.clipped, c.smoothBit)), 0).rect(QRectF(5 * 20, 5 * 20, 35 * 20, 35 * 20));
        w.defineShape(2, b.build(), 3);
        w.placeObject2(PlaceNew(2, 1));
        w.showFrame();
        const QImage img = shot(w.finish(), QSize(60, 60), c.antialias);
        const char* what = c.clipped ? "clipped" : "repeating";
        // Left of the bitmap, level with its top row: red carried on when
        // clipped, mostly the green of the right column when repeating.
        const QColor beside = img.pixelColor(7, 12);
        if (c.clipped)
            EXPECT_EQ(beside, QColor(255, 0, 0)) << what << " smooth bit " << c.smoothBit << " aa " << c.antialias;
        else
            EXPECT_GT(beside.green(), beside.red()) << what << " smooth bit " << c.smoothBit << " aa " << c.antialias;
        // Across the middle of the top row: mixed colours only when smoothed.
        bool mixed = false;
        for (int x = 10; x < 35; ++x) {
            const QColor px = img.pixelColor(x, 12);
            mixed = mixed || (px.red() > 0 && px.red() < 255);
        }
        EXPECT_EQ(mixed, c.smoothBit && c.antialias) << what << " smooth bit " << c.smoothBit << " aa " << c.antialias;
    }
}

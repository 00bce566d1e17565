// Renderer rules that decide single pixels: the gradient colour ramp, where
// a gradient is sampled, lines without antialiasing, and masks.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"
#include "swf/render.h"

#include <gtest/gtest.h>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

Gradient gradientOf(std::vector<GradientRecord> records, int interpolation = 0)
{
    Gradient g;
    g.records = std::move(records);
    g.interpolation = interpolation;
    return g;
}

QColor entry(const GradientRamp& ramp, int i)
{
    return QColor::fromRgba(qUnpremultiply(ramp[size_t(i)]));
}

TEST(SwfGradientRamp, RecordsSharingARatioEachTakeTheirOwnEntry)
{
    // Three records at 100: red claims 100, green 101, blue 102; blue's
    // pair with the white record at 200 starts mixing from the written
    // ratio 100, so entry 103 is already 3/100 of the way to white.
    const GradientRamp ramp = BuildGradientRamp(
        gradientOf({{100, Qt::red}, {100, Qt::green}, {100, Qt::blue}, {200, Qt::white}}), ColorTransform());
    EXPECT_EQ(entry(ramp, 0), QColor(Qt::red));
    EXPECT_EQ(entry(ramp, 100), QColor(Qt::red));
    EXPECT_EQ(entry(ramp, 101), QColor(Qt::red));
    EXPECT_EQ(entry(ramp, 102), QColor(Qt::green));
    EXPECT_EQ(entry(ramp, 103), QColor(7, 7, 255));
    EXPECT_EQ(entry(ramp, 150), QColor(127, 127, 255));
    EXPECT_EQ(entry(ramp, 200), QColor(Qt::white));
    EXPECT_EQ(entry(ramp, 255), QColor(Qt::white));
}

TEST(SwfGradientRamp, RatiosGoingBackwardsAreMovedOnAndMixedByTheirWrittenValues)
{
    // 80 then 50: the second record is moved to 81; the pair 80 -> 50
    // mixes over a negative span, which leaves its first colour.
    const GradientRamp ramp =
        BuildGradientRamp(gradientOf({{0, Qt::black}, {80, Qt::red}, {50, Qt::blue}, {255, Qt::white}}),
                          ColorTransform());
    EXPECT_EQ(entry(ramp, 40), QColor(127, 0, 0));
    EXPECT_EQ(entry(ramp, 80), QColor(Qt::red));
    EXPECT_EQ(entry(ramp, 81), QColor(Qt::red));
    // 82 lies 32/205 of the way from blue (written at 50) to white.
    EXPECT_EQ(entry(ramp, 82), QColor(39, 39, 255));
}

TEST(SwfGradientRamp, LinearRgbMixesInLinearLightAndNeverReachesFullIntensity)
{
    const GradientRamp ramp =
        BuildGradientRamp(gradientOf({{0, Qt::black}, {255, Qt::red}}, 1), ColorTransform());
    EXPECT_EQ(entry(ramp, 0), QColor(0, 0, 0));
    EXPECT_EQ(entry(ramp, 255), QColor(254, 0, 0));
    // Half way in linear light is far brighter than half way in sRGB.
    EXPECT_GT(entry(ramp, 128).red(), 180);
    EXPECT_LT(entry(ramp, 128).red(), 192);
}

TEST(SwfGradientRamp, ColourTransformActsOnTheRecords)
{
    ColorTransform cx;
    cx.rm = 0.5;
    cx.ba = 100;
    const GradientRamp ramp = BuildGradientRamp(gradientOf({{0, QColor(200, 0, 0)}, {255, QColor(200, 0, 0)}}), cx);
    EXPECT_EQ(entry(ramp, 9), QColor(100, 0, 100));
}

// A 32 x 4 pixel stage with a linear gradient from black to red across
// its width: each pixel spans eight ramp entries, entry i having red i.
QImage redRamp(bool antialias)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 32 * 20, 0, 4 * 20}, 12, -1});
    ShapeBuilder b;
    Matrix m;
    m.a = 32 * 20 / 32768.0;
    m.tx = 16 * 20;
    b.style(0, b.addFill(LinearGradientFill(m, {{0, Qt::black}, {255, Qt::red}})), 0).rect(QRectF(0, 0, 32 * 20, 80));
    w.defineShape(1, b.build(), 3);
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    RenderOptions o;
    o.antialias = antialias;
    return p.renderImage(QSize(32, 4), o);
}

TEST(SwfRender, GradientsAreReadAtPixelCentresBetweenEntriesWithoutAntialiasingAndAtCornersWithIt)
{
    // Without antialiasing pixel x reads position 8x + 4, which lies half
    // way between the middles of entries 8x + 3 and 8x + 4; with it, the
    // corner reads entry 8x.
    const QImage crisp = redRamp(false);
    const QImage smooth = redRamp(true);
    for (int x : {0, 1, 20, 31}) {
        EXPECT_EQ(crisp.pixelColor(x, 2).red(), 8 * x + 3) << x;
        EXPECT_EQ(smooth.pixelColor(x, 2).red(), 8 * x) << x;
    }
}

QImage crispShot(const QByteArray& movie, QSize size)
{
    Player p(LoadMovie(movie));
    RenderOptions o;
    o.antialias = false;
    return p.renderImage(size, o);
}

TEST(SwfRender, LinesWithoutAntialiasingCoverThePixelCentresInsideThem)
{
    // A one-pixel line whose centre lies on a pixel boundary (y = 6 px)
    // covers 5.5 .. 6.5: only row 5 has its centre inside (the lower edge
    // is open). A three-pixel line at y = 15.25 covers rows 14 .. 16.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 400, 0, 400}, 12, -1});
    ShapeBuilder b;
    b.style(0, 0, b.addLine(SolidLine(20, Qt::black))).moveTo(40, 120).lineTo(360, 120);
    b.style(0, 0, b.addLine(SolidLine(60, Qt::black))).moveTo(40, 305).lineTo(360, 305);
    w.defineShape(1, b.build());
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    const QImage img = crispShot(w.finish(), QSize(20, 20));
    std::vector<int> dark;
    for (int y = 0; y < 20; ++y)
        if (img.pixelColor(10, y) == QColor(Qt::black))
            dark.push_back(y);
    EXPECT_EQ(dark, (std::vector<int>{5, 14, 15, 16}));
}

TEST(SwfRender, MasksUseTheirFillsNotTheirLines)
{
    // The mask's square has a 4-pixel outline; the content shows only
    // inside the fill.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    ShapeBuilder mb;
    mb.style(0, mb.addFill(SolidFill(Qt::black)), mb.addLine(SolidLine(80, Qt::black))).rect(QRectF(400, 400, 1200, 1200));
    w.defineShape(1, mb.build());
    w.defineShape(2, RectShape(QRectF(0, 0, 100, 100), Qt::red));
    PlaceObject mask = PlaceNew(1, 1);
    mask.clipDepth = 2;
    w.placeObject2(mask);
    w.placeObject2(PlaceNew(2, 2));
    w.showFrame();
    const QImage img = crispShot(w.finish(), QSize(100, 100));
    EXPECT_EQ(img.pixelColor(21, 50), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(19, 50), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(50, 18), QColor(Qt::white));
}

TEST(SwfRender, FilteredObjectsSitOnWholePixels)
{
    // A bar one pixel wide whose bounds start at x = 9.5: drawn plainly its
    // pixel centre 9.5 lies on its left edge and column 9 is filled. With a
    // filter (an identity colour matrix, which changes no colour) the
    // object's picture starts at the rounded corner, 10, and so does the bar.
    Filter identity;
    identity.type = Filter::ColorMatrix;
    identity.matrix = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    for (const bool filtered : {false, true}) {
        SwfWriter w({.frameSize = Rect{0, 400, 0, 200}});
        w.defineShape(1, RectShape(QRectF(9.5, 2, 1, 6), Qt::black));
        PlaceObject place = PlaceNew(1, 1);
        if (filtered) {
            place.version = 3;
            place.filters = std::vector<Filter>{identity};
        }
        w.placeObject2(place);
        w.showFrame();
        const QImage img = crispShot(w.finish(), QSize(20, 10));
        EXPECT_EQ(img.pixelColor(9, 5), filtered ? QColor(Qt::white) : QColor(Qt::black)) << filtered;
        EXPECT_EQ(img.pixelColor(10, 5), filtered ? QColor(Qt::black) : QColor(Qt::white)) << filtered;
    }
}

TEST(SwfRender, EditFieldsInDeviceFontsDrawWithTheDesktopsFonts)
{
    // Font 1 names "_sans" and carries no glyphs; the field shows "HH" in it,
    // 40 pixels high, in a 200 x 60 pixel box at 10, 10.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 6000, 0, 2000}, 12, -1});
    BitWriter font;
    font.u16(1);
    font.u8(0);   // no layout, narrow offsets and codes
    font.u8(0);
    font.u8(5);
    for (char ch : std::string("_sans"))
        font.u8(uint8_t(ch));
    font.u16(0);   // no glyphs
    font.u16(0);   // code table offset
    w.tag(kDefineFont2, font.data());
    BitWriter field;
    field.u16(2);
    field.rect(Rect{200, 4200, 200, 1400});
    field.u8(0x80 | 0x04 | 0x01);   // text, colour, font
    field.u8(0x00);                 // device font, plain text
    field.u16(1);
    field.u16(800);
    field.rgba(Qt::black);
    field.string(QString());
    field.string(QStringLiteral("HH"));
    w.tag(kDefineEditText, field.data());
    w.placeObject2(PlaceNew(2, 1));
    w.showFrame();
    const QImage img = crispShot(w.finish(), QSize(300, 100));
    int dark = 0, darkOutside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                ++dark;
                if (x < 10 || x >= 210 || y < 10 || y >= 70)
                    ++darkOutside;
            }
    // Two H strokes of a 40-pixel font fill far more than a few pixels.
    EXPECT_GT(dark, 200);
    EXPECT_EQ(darkOutside, 0);
}

} // namespace

namespace {

// Thickness, in rows, of a horizontal 1-pixel line (as drawn) at x = 2,
// in a shape scaled by sx, sy.
int lineRows(LineStyle line, double sx, double sy)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 800, 0, 800}, 12, -1});
    ShapeBuilder b;
    b.style(0, 0, b.addLine(line)).moveTo(0, 0).lineTo(400, 0);
    w.defineShape(1, b.build());
    w.placeObject2(PlaceNew(1, 1, ScaleRotate(sx, sy, 0, 0, 400)));
    w.showFrame();
    const QImage img = crispShot(w.finish(), QSize(40, 40));
    int rows = 0;
    for (int y = 0; y < 40; ++y)
        rows += img.pixelColor(2, y) == QColor(Qt::black);
    return rows;
}

TEST(SwfRender, LineScalingFlagsPickTheScaleTheWidthFollows)
{
    LineStyle normal = SolidLine(20, Qt::black);
    LineStyle noH = normal;
    noH.noHScale = true;
    LineStyle noV = normal;
    noV.noVScale = true;
    LineStyle neither = normal;
    neither.noHScale = neither.noVScale = true;
    // Stretched 2 across and 4 down: a horizontal line is 4 pixels thick
    // when it follows the shape, 4 when only vertical scaling counts, 2
    // when only horizontal scaling counts, 1 when it follows neither.
    EXPECT_EQ(lineRows(normal, 2, 4), 4);
    EXPECT_EQ(lineRows(noH, 2, 4), 4);
    EXPECT_EQ(lineRows(noV, 2, 4), 2);
    EXPECT_EQ(lineRows(neither, 2, 4), 1);
    // Shrunk: never thinner than one pixel.
    EXPECT_EQ(lineRows(normal, 0.25, 0.25), 1);
}

} // namespace

namespace {

TEST(SwfRender, AlphaBlendLeavesWhatTheObjectDoesNotCoverAlone)
{
    // In a layer sprite: a red square, and over its left half a half
    // transparent blue rectangle with the alpha blend mode. The left half
    // keeps half of the red's alpha; right beside the rectangle the red
    // stays whole.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    w.defineShape(1, RectShape(QRectF(0, 0, 100, 100), Qt::red), 3);
    w.defineShape(2, RectShape(QRectF(0, 0, 50, 100), QColor(0, 0, 255, 128)), 3);
    PlaceObject cut = PlaceNew(2, 2);
    cut.version = 3;
    cut.blendMode = 11;
    TagStream sprite;
    sprite.placeObject2(PlaceNew(1, 1));
    sprite.placeObject2(cut);
    sprite.showFrame();
    w.defineSprite(3, sprite);
    PlaceObject layer = PlaceNew(3, 1);
    layer.version = 3;
    layer.blendMode = 2;
    w.placeObject2(layer);
    w.showFrame();
    const QImage img = crispShot(w.finish(), QSize(100, 100));
    EXPECT_EQ(img.pixelColor(51, 50), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(80, 50), QColor(Qt::red));
    EXPECT_NEAR(img.pixelColor(20, 50).green(), 127, 2);   // half red over white
    EXPECT_EQ(img.pixelColor(20, 50).red(), 255);
}

} // namespace

namespace {

TEST(SwfRender, EditFieldBordersWithoutAntialiasingStopShortOfTheBottomRightCorner)
{
    // An empty field with a border, 0 .. 5 pixels each way.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 400, 0, 400}, 12, -1});
    BitWriter field;
    field.u16(1);
    field.rect(Rect{0, 100, 0, 100});
    field.u8(0x00);
    field.u8(0x08);   // border
    field.string(QString());
    w.tag(37, field.data());
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    const QImage img = crispShot(w.finish(), QSize(20, 20));
    const QColor black(Qt::black);
    for (QPoint at : {QPoint(0, 0), QPoint(5, 0), QPoint(0, 5), QPoint(4, 5), QPoint(5, 4), QPoint(2, 0), QPoint(0, 2)})
        EXPECT_EQ(img.pixelColor(at), black) << at.x() << "," << at.y();
    EXPECT_NE(img.pixelColor(5, 5), black);
    EXPECT_NE(img.pixelColor(2, 2), black);
    EXPECT_NE(img.pixelColor(6, 2), black);
}

} // namespace

namespace {

TEST(SwfView, AStageOfFractionalSizeIsShownAtFullSizeInAViewOfItsRoundedSize)
{
    // 101.3 x 25.3 pixels starting at -0.65: in a 101 x 25 view it keeps
    // its scale and origin instead of shrinking and shifting by a pixel;
    // other views still fit the stage.
    const QRectF stage(-0.65, -0.65, 101.3, 25.3);
    const QTransform natural = ViewTransform(stage, QSizeF(101, 25), RenderOptions());
    EXPECT_DOUBLE_EQ(natural.m11(), 1.0);
    EXPECT_DOUBLE_EQ(natural.map(QPointF(0, 0)).x(), 0.65);
    EXPECT_DOUBLE_EQ(natural.map(QPointF(0, 0)).y(), 0.65);
    const QTransform fitted = ViewTransform(stage, QSizeF(202.6, 50.6), RenderOptions());
    EXPECT_DOUBLE_EQ(fitted.m11(), 2.0);
}

} // namespace

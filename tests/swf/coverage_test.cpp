// The antialiased filler against QPainter's antialiased fill: the same
// polygons and the same movies come out alike up to the coverage of edge
// pixels, and hostile coordinates stay harmless.

#include "swf/coverage.h"
#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"

#include <QPainter>
#include <QPainterPath>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

using Polygon = std::vector<QPointF>;

Polygon star(QPointF c, double r, int points, double turn = 0)
{
    Polygon p;
    for (int i = 0; i < points; ++i) {
        const double a = turn + i * 2 * std::numbers::pi * (points / 2) / points;
        p.emplace_back(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    }
    return p;
}

Polygon box(double x0, double y0, double x1, double y1, bool clockwise = true)
{
    Polygon p{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    if (!clockwise)
        std::reverse(p.begin(), p.end());
    return p;
}

// The largest difference of any channel between two pictures, and how
// many pixels differ by more than `near` levels.
struct Difference {
    int largest = 0;
    int farPixels = 0;
};
Difference compare(const QImage& a, const QImage& b, int near)
{
    Difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int most = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                       std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            d.largest = std::max(d.largest, most);
            d.farPixels += most > near;
        }
    return d;
}

struct PolygonCase {
    const char* name;
    std::vector<Polygon> polygons;
    Qt::FillRule rule;
    QColor colour;
};

class CoverageAgainstPainter : public testing::TestWithParam<PolygonCase> {};

// Straight edges: QPainter places corners on a 1/64 pixel grid, the filler
// takes them as they are, so an edge pixel's coverage may differ by up to
// 1/64 of a pixel's area (4 levels) and a rounding step, never more.
TEST_P(CoverageAgainstPainter, CoversEdgePixelsAsQPainterDoesWithinFourLevels)
{
    const PolygonCase& c = GetParam();
    QImage background(64, 48, QImage::Format_ARGB32_Premultiplied);
    background.fill(QColor(30, 200, 120, 160));
    QImage ours = background, theirs = background;
    FillPolygonsAntialiased(ours, c.polygons, c.rule, ours.rect(), qPremultiply(c.colour.rgba64()).toArgb32());
    {
        QPainterPath path;
        path.setFillRule(c.rule);
        for (const Polygon& p : c.polygons)
            path.addPolygon(QPolygonF(QList<QPointF>(p.begin(), p.end()))), path.closeSubpath();
        QPainter painter(&theirs);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(path, c.colour);
    }
    const Difference d = compare(ours, theirs, 0);
    EXPECT_LE(d.largest, 5);
    // Something was drawn, and the same way.
    EXPECT_NE(ours, background);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, CoverageAgainstPainter,
    testing::Values(
        PolygonCase{"box_on_fractions", {box(3.3, 4.7, 40.6, 30.2)}, Qt::OddEvenFill, QColor(200, 20, 20)},
        PolygonCase{"box_half_transparent", {box(3.3, 4.7, 40.6, 30.2)}, Qt::WindingFill, QColor(0, 0, 255, 100)},
        PolygonCase{"thin_sliver", {{{2, 2}, {60, 5.5}, {60, 5.9}}}, Qt::WindingFill, QColor(0, 0, 0)},
        PolygonCase{"star_nonzero", {star({32, 24}, 20, 5, 0.1)}, Qt::WindingFill, QColor(250, 250, 0)},
        PolygonCase{"star_even_odd", {star({32, 24}, 20, 5, 0.1)}, Qt::OddEvenFill, QColor(250, 250, 0)},
        PolygonCase{"nested_same_way_nonzero", {box(5, 5, 50, 40), box(15.5, 15.5, 30.25, 30.25)}, Qt::WindingFill,
                    QColor(10, 90, 10)},
        PolygonCase{"nested_same_way_even_odd", {box(5, 5, 50, 40), box(15.5, 15.5, 30.25, 30.25)}, Qt::OddEvenFill,
                    QColor(10, 90, 10)},
        PolygonCase{"nested_opposite_nonzero", {box(5, 5, 50, 40), box(15.5, 15.5, 30.25, 30.25, false)},
                    Qt::WindingFill, QColor(10, 90, 10)},
        PolygonCase{"past_every_side", {{{-30.5, 10.2}, {90.3, -20.7}, {70.1, 80.4}, {10.6, 60.9}}}, Qt::WindingFill,
                    QColor(90, 0, 90, 230)},
        PolygonCase{"thin_lines_crossing", {box(0, 20.1, 64, 20.6), box(31.3, 0, 31.45, 48)}, Qt::WindingFill,
                    QColor(255, 255, 255)}),
    [](const testing::TestParamInfo<PolygonCase>& i) { return std::string(i.param.name); });

TEST(SwfCoverage, HostileCoordinatesStayWithinThePicture)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Polygon> hostile = {
        {{1e300, 1e300}, {-1e300, 5}, {5, -1e300}},
        {{nan, 3}, {4, inf}, {10, 10}, {2, 30}},
        {{-1e9, 10}, {1e9, 10.5}, {1e9, 11}},
    };
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    FillPolygonsAntialiased(img, hostile, Qt::WindingFill, QRect(-100, -100, 1000, 1000), qRgb(255, 0, 0));
    for (const CoverageRow& row : CoverPolygons(hostile, Qt::WindingFill, QRect(0, 0, 32, 32))) {
        ASSERT_GE(row.y, 0);
        ASSERT_LT(row.y, 32);
        for (const CoverageSpan& s : row.spans) {
            ASSERT_GE(s.x, 0);
            ASSERT_LE(s.x + s.length, 32);
            ASSERT_GT(s.coverage, 0);
            ASSERT_LE(s.coverage, 255);
        }
    }
}

TEST(SwfCoverage, InteriorRunsComeWhole)
{
    // A 20 x 10 box on whole pixels: every row one run of full coverage.
    const auto rows = CoverPolygons({box(4, 3, 24, 13)}, Qt::WindingFill, QRect(0, 0, 32, 32));
    ASSERT_EQ(rows.size(), 10u);
    for (const CoverageRow& row : rows) {
        ASSERT_EQ(row.spans.size(), 1u) << "row " << row.y;
        EXPECT_EQ(row.spans[0].x, 4);
        EXPECT_EQ(row.spans[0].length, 20);
        EXPECT_EQ(row.spans[0].coverage, 255);
    }
    // Half a pixel on each side: the edge columns half covered.
    const auto half = CoverPolygons({box(4.5, 3, 23.5, 4)}, Qt::WindingFill, QRect(0, 0, 32, 32));
    ASSERT_EQ(half.size(), 1u);
    ASSERT_EQ(half[0].spans.size(), 3u);
    EXPECT_EQ(half[0].spans[0].coverage, 128);
    EXPECT_EQ(half[0].spans[1].coverage, 255);
    EXPECT_EQ(half[0].spans[2].x, 23);
    EXPECT_EQ(half[0].spans[2].coverage, 128);
}

// A table of shapes in a movie, drawn at high quality with the engine's
// own filler and through QPainter: fill rules, curves, gradients of every
// kind and spread, bitmap fills repeating and clipped, smoothed and not,
// lines, glyph-like small shapes, under turns and fractional scales.
QByteArray ShapeTableMovie()
{
    SwfWriter w({.frameSize = Rect{0, 320 * 20, 0, 240 * 20}});
    w.setBackgroundColor(QColor(250, 245, 235));
    QImage texels(4, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            texels.setPixel(x, y, qRgba(60 * x, 100 * y, 255 - 50 * x, 255 - 40 * ((x + y) % 2)));
    w.defineBitsLossless(50, texels);
    int id = 1;
    int depth = 1;
    auto place = [&](const ShapeData& s, const Matrix& m) {
        w.defineShape(id, s, 4);
        w.placeObject2(PlaceNew(id, depth++, m));
        ++id;
    };
    const std::vector<GradientRecord> stops = {
        {0, QColor(255, 0, 0)}, {100, QColor(0, 255, 0, 180)}, {255, QColor(0, 0, 255)}};
    // Overlapping contours of one fill: both fill rules.
    for (bool nonZero : {false, true}) {
        ShapeBuilder b;
        b.style(0, b.addFill(SolidFill(QColor(30, 60, 200))), 0).rect(QRectF(0, 0, 1200, 1000));
        b.rect(QRectF(300, 250, 600, 500));
        b.ellipse(QRectF(500, 100, 900, 700));
        ShapeData s = b.build();
        s.nonZero = nonZero;
        place(s, ScaleRotate(1.1, 0.9, 0.2, 300 + (nonZero ? 1900 : 0), 250));
    }
    // Gradients: linear, radial, spreads, focal, under a turn.
    for (int k = 0; k < 4; ++k) {
        FillStyle f = k % 2 ? RadialGradientFill(ScaleRotate(0.04, 0.03, 0.5, 600, 500), stops)
                            : LinearGradientFill(ScaleRotate(0.03, 0.03, 0.7, 600, 500), stops);
        f.gradient.spread = k / 2 ? k % 2 + 1 : 0;
        if (k == 3) {
            f.type = FillStyle::Focal;
            f.gradient.focal = 0.6;
        }
        f.gradient.interpolation = k == 2 ? 1 : 0;
        ShapeBuilder b;
        b.style(0, b.addFill(f), 0).ellipse(QRectF(0, 0, 1300, 1000));
        place(b.build(), ScaleRotate(1, 1, 0.1 * k, 4000 + 1300.5 * (k % 2), 300 + 1100 * (k / 2)));
    }
    // Bitmap fills: repeating and clipped, smoothed and hard.
    for (int k = 0; k < 4; ++k) {
        ShapeBuilder b;
        b.style(0, b.addFill(BitmapFill(50, ScaleRotate(130.5, 120, 0.3, 100, 80), k % 2 == 1, k / 2 == 0)), 0)
            .polygon(QPolygonF({{0, 0}, {1400, 100}, {1200, 1100}, {100, 900}}));
        place(b.build(), Translate(200 + 1550.25 * k, 2500.5));
    }
    // Lines of several widths, one thinner than a pixel, along curves.
    {
        ShapeBuilder b;
        b.style(0, 0, b.addLine(SolidLine(100, QColor(0, 0, 0)))).ellipse(QRectF(0, 0, 1500, 700));
        b.style(0, 0, b.addLine(SolidLine(10, QColor(200, 0, 0, 200))))
            .moveTo(0, 900)
            .curveTo(700, 0, 1500, 900);
        place(b.build(), ScaleRotate(1, 1.2, -0.15, 800, 3700));
    }
    // Small shapes with curves, as glyphs are.
    for (int k = 0; k < 6; ++k) {
        ShapeBuilder b;
        b.style(0, b.addFill(SolidFill(QColor(20, 20, 20))), 0).ellipse(QRectF(0, 0, 90 + 20 * k, 140));
        b.rect(QRectF(30, 30, 25, 70));
        place(b.build(), Translate(3500 + 173.3 * k, 4200.7 + 11 * k));
    }
    w.showFrame();
    return w.finish();
}

// Curves are cut into straight pieces by each filler its own way, so edge
// pixels of curves may differ more than those of straight edges: few
// pixels (one in 200) differ by more than 8 levels, none by more than a
// fifth of the range.
TEST(SwfCoverage, ShapeTableDrawnWithTheOwnFillerMatchesQPainter)
{
    const auto movie = LoadMovie(ShapeTableMovie());
    ASSERT_TRUE(movie->info.valid);
    for (const QSize size : {QSize(320, 240), QSize(777, 555)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        Player own(movie), painter(movie);
        RenderOptions on, off;
        off.ownFiller = false;
        const QImage a = own.renderImage(size, on);
        const QImage b = painter.renderImage(size, off);
        ASSERT_EQ(a.size(), b.size());
        const Difference d = compare(a, b, 8);
        EXPECT_LE(d.largest, 51);
        EXPECT_LE(d.farPixels, size.width() * size.height() / 200);
        // The shapes cover much of the picture.
        QImage background(size, a.format());
        background.fill(QColor(250, 245, 235));
        EXPECT_GT(compare(a, background, 0).farPixels, size.width() * size.height() / 5);
    }
}

// Without antialiasing both fill whole pixels by their centres with the
// same colours: the pictures are equal.
TEST(SwfCoverage, ShapeTableDrawnWithoutAntialiasingIsTheSameEitherWay)
{
    const auto movie = LoadMovie(ShapeTableMovie());
    ASSERT_TRUE(movie->info.valid);
    for (const QSize size : {QSize(320, 240), QSize(777, 555)}) {
        Player own(movie), painter(movie);
        RenderOptions on, off;
        on.antialias = off.antialias = false;
        off.ownFiller = false;
        EXPECT_EQ(own.renderImage(size, on), painter.renderImage(size, off)) << size.width() << "x" << size.height();
    }
}

} // namespace

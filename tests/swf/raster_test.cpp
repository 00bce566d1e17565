// The aliased rasterizer: which pixels a polygon fills, how finely curves
// are cut, and that hostile coordinates stay harmless.

#include "swf/raster.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace plovex::swf;

namespace {

using Polygon = std::vector<QPointF>;

Polygon rect(double x0, double y0, double x1, double y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// The filled columns [x0, x1) of one row, or {0, 0} when none.
std::pair<int, int> row(const std::vector<Span>& spans, int y)
{
    for (const Span& s : spans)
        if (s.y == y)
            return {s.x0, s.x1};
    return {0, 0};
}

const QRect kClip(0, 0, 64, 64);

struct EdgeCase {
    const char* name;
    Polygon polygon;
    int y;
    std::pair<int, int> filled;
};

class PixelCentreTest : public testing::TestWithParam<EdgeCase> {};

TEST_P(PixelCentreTest, FillsThePixelsWhoseCentresLieInside)
{
    const EdgeCase& c = GetParam();
    EXPECT_EQ(row(RasterizePolygons({c.polygon}, Qt::WindingFill, kClip), c.y), c.filled);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PixelCentreTest,
    testing::Values(
        // Centres 1.5 and 2.5 lie inside [1.5, 3.5); 3.5 lies on the right
        // edge and goes to what is right of it.
        EdgeCase{"centres_on_left_and_right_edges", rect(1.5, 0, 3.5, 8), 4, {1, 3}},
        // A centre on the top edge belongs to the shape below it, one on
        // the bottom edge does not.
        EdgeCase{"centre_on_top_edge", rect(0, 2.5, 8, 4.5), 2, {0, 8}},
        EdgeCase{"centre_on_bottom_edge", rect(0, 2.5, 8, 4.5), 4, {0, 0}},
        // A left edge leaning from x = 10.51 (top) to 10.49 (row 20): it
        // passes the centre 10.5 between rows, closer than QPainter's 1/64
        // pixel could tell.
        EdgeCase{"leaning_edge_just_right_of_centre", {{10.51, 0}, {30, 0}, {30, 20}, {10.49, 20}}, 8, {11, 30}},
        EdgeCase{"leaning_edge_just_left_of_centre", {{10.51, 0}, {30, 0}, {30, 20}, {10.49, 20}}, 11, {10, 30}},
        // Corners go to the nearest 1/256 pixel: an edge at 10.501 lies on
        // the centre 10.5 and takes its pixel, one at 10.503 does not.
        EdgeCase{"edge_within_a_256th_of_a_centre", rect(10.501, 0, 20, 8), 3, {10, 20}},
        EdgeCase{"edge_beyond_a_256th_of_a_centre", rect(10.503, 0, 20, 8), 3, {11, 20}},
        // 107 + 503 twips is row 30's centre, though the sum of the two
        // mapped apart comes out a hair below it.
        EdgeCase{"twips_landing_a_hair_beside_a_centre", rect(0, 107 * 0.05 + 503 * 0.05, 8, 40), 30, {0, 8}},
        // A sliver narrower than a pixel that misses every centre.
        EdgeCase{"sliver_between_centres", rect(4.6, 0, 5.4, 8), 3, {0, 0}}),
    [](const testing::TestParamInfo<EdgeCase>& i) { return std::string(i.param.name); });

TEST(SwfRaster, FillRulesDecideAboutInnerContours)
{
    // Two squares turning the same way: the inner one is a hole under the
    // even-odd rule only. Drawn the other way round it is a hole under both.
    const Polygon outer = rect(0, 0, 20, 20);
    const Polygon inner = rect(5, 5, 15, 15);
    const Polygon innerReversed(inner.rbegin(), inner.rend());
    EXPECT_EQ(row(RasterizePolygons({outer, inner}, Qt::WindingFill, kClip), 10), std::make_pair(0, 20));
    const auto evenOdd = RasterizePolygons({outer, inner}, Qt::OddEvenFill, kClip);
    int filled = 0;
    for (const Span& s : evenOdd)
        if (s.y == 10)
            filled += s.x1 - s.x0;
    EXPECT_EQ(filled, 10);
    const auto reversed = RasterizePolygons({outer, innerReversed}, Qt::WindingFill, kClip);
    filled = 0;
    for (const Span& s : reversed)
        if (s.y == 10)
            filled += s.x1 - s.x0;
    EXPECT_EQ(filled, 10);
}

double distanceToSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const double t = std::clamp(QPointF::dotProduct(p - a, ab) / QPointF::dotProduct(ab, ab), 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

TEST(SwfRaster, CurvesAreCutWithinTheToleranceInTheirOwnUnits)
{
    // A quarter-circle-like curve 2000 twips across, cut at 2 twips, then
    // shrunk twenty times onto the device: the cut is made before the
    // shrinking, so the pieces are as many as the twips ask for.
    QPainterPath path;
    path.moveTo(0, 0);
    path.quadTo(2000, 0, 2000, 2000);
    const auto polys = FlattenPath(path, QTransform::fromScale(0.05, 0.05), kCurveTolerance);
    ASSERT_EQ(polys.size(), 1u);
    const Polygon& poly = polys.front();
    EXPECT_EQ(poly.front(), QPointF(0, 0));
    EXPECT_EQ(poly.back(), QPointF(100, 100));
    // Enough pieces for the tolerance, not many more than it needs.
    EXPECT_GE(poly.size(), 10u);
    EXPECT_LE(poly.size(), 30u);
    // Every point of the curve lies within the tolerance of the pieces.
    for (int k = 0; k <= 200; ++k) {
        const double t = k / 200.0;
        const QPointF on = ((1 - t) * (1 - t) * QPointF(0, 0) + 2 * (1 - t) * t * QPointF(2000, 0) +
                            t * t * QPointF(2000, 2000)) * 0.05;
        double best = 1e9;
        for (size_t i = 0; i + 1 < poly.size(); ++i)
            best = std::min(best, distanceToSegment(on, poly[i], poly[i + 1]));
        EXPECT_LE(best, kCurveTolerance * 0.05 * 1.01) << "t = " << t;
    }

    // A curve whose control point lies on its chord is one piece.
    QPainterPath straight;
    straight.moveTo(0, 0);
    straight.quadTo(50, 50, 100, 100);
    EXPECT_EQ(FlattenPath(straight, QTransform(), kCurveTolerance).front().size(), 2u);
}

TEST(SwfRaster, HostileCoordinatesStayWithinThePicture)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Polygon> polygons = {
        rect(-1e300, -1e300, 1e300, 1e300),
        {{nan, 0}, {10, nan}, {inf, inf}, {-inf, 5}},
        {{0, 0}, {1e18, 3}, {-1e18, 6}},
    };
    for (const Span& s : RasterizePolygons(polygons, Qt::OddEvenFill, kClip)) {
        EXPECT_TRUE(kClip.contains(s.x0, s.y));
        EXPECT_LE(s.x1, kClip.right() + 1);
        EXPECT_LT(s.x0, s.x1);
    }
    // A huge curve is cut into a bounded number of pieces.
    QPainterPath path;
    path.moveTo(0, 0);
    path.quadTo(1e12, 0, 1e12, 1e12);
    EXPECT_LE(FlattenPath(path, QTransform(), kCurveTolerance).front().size(), 5000u);
}

TEST(SwfRaster, BrushesFollowThePathsUnits)
{
    // A gradient given in twips lines up with the device picture: left of
    // the square red, right of it blue.
    QImage img(40, 10, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QLinearGradient g(0, 0, 800, 0);
    g.setColorAt(0, Qt::red);
    g.setColorAt(0.49, Qt::red);
    g.setColorAt(0.51, Qt::blue);
    g.setColorAt(1, Qt::blue);
    QPainterPath square;
    square.addRect(0, 0, 800, 200);
    QPainter p(&img);
    FillPathAliased(p, square, QTransform::fromScale(0.05, 0.05), QBrush(g));
    p.end();
    EXPECT_EQ(img.pixelColor(2, 5), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(37, 5), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(39, 5), QColor(Qt::blue));
}

} // namespace

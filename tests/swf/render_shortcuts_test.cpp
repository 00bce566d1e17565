// What the renderer keeps between frames and the ways it saves work change
// no pixel: the same frames drawn with and without them are equal.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

// 200 x 150 pixels, 15 frames, looping: a radial gradient ellipse that
// stands still half off the picture, a blurred square that stands still, a linear gradient
// square with a line that moves and turns on each of the first 12 frames
// (never the same place twice in a loop), and a red square and a half
// transparent circle that go back and forth between two places (the same
// places again and again). In frame 13 nothing changes; in frame 14 only
// the red square's colour; in frame 15 nothing.
QByteArray MovingShapesMovie()
{
    WriterOptions o;
    o.frameSize = Rect{0, 200 * 20, 0, 150 * 20};
    SwfWriter w(o);
    w.setBackgroundColor(QColor(240, 240, 230));
    {
        ShapeBuilder b;
        b.style(0, b.addFill(RadialGradientFill(ScaleRotate(0.05, 0.03, 0, 1000, 600),
                                                {{0, QColor(255, 255, 0)}, {128, QColor(0, 128, 255, 200)},
                                                 {255, QColor(20, 0, 60)}})),
                0)
            .ellipse(QRectF(0, 0, 2000, 1200));
        w.defineShape(1, b.build(), 3);
    }
    {
        ShapeBuilder b;
        const int line = b.addLine(SolidLine(60, QColor(0, 0, 0)));
        b.style(0, b.addFill(LinearGradientFill(ScaleRotate(0.04, 0.04, 0.3, 0, 0),
                                                {{0, QColor(255, 0, 0)}, {255, QColor(0, 0, 255)}})),
                line)
            .rect(QRectF(-600, -600, 1200, 1200));
        w.defineShape(2, b.build(), 3);
    }
    w.defineShape(3, RectShape(QRectF(0, 0, 30, 30), Qt::red), 3);
    {
        ShapeBuilder b;
        b.style(0, b.addFill(SolidFill(QColor(0, 160, 0, 128))), 0).ellipse(QRectF(0, 0, 700, 500));
        w.defineShape(4, b.build(), 3);
    }
    w.defineShape(5, RectShape(QRectF(0, 0, 40, 40), Qt::darkBlue), 3);
    w.placeObject2(PlaceNew(1, 1, Translate(-500, 2200)));   // hangs over the bottom left corner
    PlaceObject blurred = PlaceNew(5, 2, Translate(2900, 300));
    blurred.version = 3;
    Filter blur;
    blur.type = Filter::Blur;
    blur.blurX = blur.blurY = 6;
    blur.passes = 2;
    blurred.filters = std::vector<Filter>{blur};
    w.placeObject2(blurred);
    for (int f = 0; f < 12; ++f) {
        const Matrix turning = ScaleRotate(1 + f * 0.07, 1 - f * 0.03, f * std::numbers::pi / 17, 1500 + f * 137.3,
                                           1900 + f * 41.9);
        const Matrix there = Translate(f % 2 ? 2410.5 : 600, 2400);
        const Matrix circle = ScaleRotate(1.5, 1.5, 0, f % 2 ? 2000 : 2130.25, f % 2 ? 150 : 410.75);
        if (f == 0) {
            w.placeObject2(PlaceNew(2, 3, turning));
            w.placeObject2(PlaceNew(3, 4, there));
            w.placeObject2(PlaceNew(4, 5, circle));
        } else {
            w.placeObject2(PlaceMove(3, turning));
            w.placeObject2(PlaceMove(4, there));
            w.placeObject2(PlaceMove(5, circle));
        }
        w.showFrame();
    }
    w.showFrame();
    PlaceObject tinted;
    tinted.version = 2;
    tinted.depth = 4;
    tinted.move = true;
    ColorTransform green;
    green.rm = 0;
    green.ga = 200;
    tinted.colorTransform = green;
    w.placeObject2(tinted);
    w.showFrame();
    w.showFrame();
    return w.finish();
}

TEST(SwfRenderShortcuts, FramesDrawnWithAndWithoutReuseAreEqual)
{
    const auto movie = LoadMovie(MovingShapesMovie());
    ASSERT_TRUE(movie->info.valid);
    struct Case {
        bool antialias;
        QSize size;
    };
    const Case cases[] = {
        {true, QSize(200, 150)}, {false, QSize(200, 150)}, {true, QSize(517, 333)}, {false, QSize(517, 333)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.antialias ? "high " : "low ") << c.size.width() << "x"
                                        << c.size.height());
        Player reusing(movie), afresh(movie);
        RenderOptions on, off;
        on.antialias = off.antialias = c.antialias;
        off.reuse = false;
        // Three loops: shapes seen once, seen again, and kept.
        QImage previous;
        for (int frame = 1; frame <= 45; ++frame) {
            if (frame > 1) {
                reusing.advance();
                afresh.advance();
            }
            const QImage a = reusing.renderImage(c.size, on);
            const QImage b = afresh.renderImage(c.size, off);
            ASSERT_EQ(a, b) << "frame " << frame;
            // Something moved, or nothing did.
            const int inLoop = (frame - 1) % 15 + 1;
            if (inLoop == 13 || inLoop == 15)
                ASSERT_EQ(a, previous) << "frame " << frame;
            else
                ASSERT_NE(a, previous) << "frame " << frame;
            previous = a;
        }
    }
}

} // namespace

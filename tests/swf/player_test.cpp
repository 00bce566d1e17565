// The player: timeline stepping and seeking, scale modes and what the
// renderer draws.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QSet>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

RenderOptions crisp()
{
    RenderOptions o;
    o.antialias = false;
    return o;
}

QImage shot(const Player& p)
{
    return p.renderImage(QSize(100, 80), crisp());
}

TEST(SwfPlayer, FramesShowWhatTheTimelineSays)
{
    Player p(LoadMovie(AnimatedMovie()));
    EXPECT_EQ(p.currentFrame(), 0);
    QImage img = shot(p);
    EXPECT_EQ(img.pixelColor(5, 15), QColor(Qt::red));       // the square at x 0..10
    EXPECT_EQ(img.pixelColor(80, 15), QColor(Qt::blue));     // sprite frame 0
    EXPECT_EQ(img.pixelColor(50, 72), QColor(250, 250, 250));
    p.nextFrame();
    img = shot(p);
    EXPECT_EQ(img.pixelColor(80, 15), QColor(Qt::green));    // sprite frame 1
    EXPECT_EQ(img.pixelColor(12, 15), QColor(Qt::red));      // square moved 5 px
    EXPECT_EQ(img.pixelColor(2, 15), QColor(250, 250, 250));
    p.gotoFrame(5);
    img = shot(p);
    EXPECT_EQ(img.pixelColor(50, 72), QColor(Qt::black));    // bar from frame 4
    EXPECT_EQ(img.pixelColor(80, 15), QColor(Qt::yellow));   // sprite 5 ticks on: frame 2
    p.gotoFrame(8);
    EXPECT_EQ(shot(p).pixelColor(50, 72), QColor(250, 250, 250));   // removed at frame 8
}

TEST(SwfPlayer, SeeksAreExactInBothDirections)
{
    const auto movie = LoadMovie(AnimatedMovie());
    std::vector<QImage> stepped;
    Player a(movie);
    for (int f = 0; f < 10; ++f) {
        if (f > 0)
            a.nextFrame();
        ASSERT_EQ(a.currentFrame(), f);
        stepped.push_back(shot(a));
    }
    Player b(movie);
    for (int f = 9; f >= 0; --f) {
        b.gotoFrame(f);
        EXPECT_EQ(shot(b), stepped[size_t(f)]) << "backwards to " << f;
    }
    // A scrambled sequence of seeks and steps never drifts.
    Player c(movie);
    const int seq[] = {7, 2, 2, 9, 0, 5, 4, 8, 1, 6, 3};
    for (int f : seq) {
        c.gotoFrame(f);
        EXPECT_EQ(shot(c), stepped[size_t(f)]) << "seek to " << f;
        c.nextFrame();
        EXPECT_EQ(shot(c), stepped[size_t((f + 1) % 10)]) << "step after " << f;
    }
}

TEST(SwfPlayer, NextFrameWrapsAndSeeksClamp)
{
    Player p(LoadMovie(AnimatedMovie()));
    const QImage first = shot(p);
    p.gotoFrame(9);
    p.nextFrame();
    EXPECT_EQ(p.currentFrame(), 0);
    EXPECT_EQ(shot(p), first);
    p.gotoFrame(1000);
    EXPECT_EQ(p.currentFrame(), 9);
    p.gotoFrame(-4);
    EXPECT_EQ(p.currentFrame(), 0);
}

TEST(SwfPlayer, AdvanceLoopsLikeTheFlashPlayer)
{
    // A one-frame root timeline with the cycling sprite: running on keeps
    // the sprite playing, while the frame stays 0.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    w.defineShape(2, RectShape(QRectF(0, 0, 20, 20), Qt::blue));
    w.defineShape(3, RectShape(QRectF(0, 0, 20, 20), Qt::green));
    TagStream sprite;
    sprite.placeObject2(PlaceNew(2, 1));
    sprite.showFrame();
    PlaceObject swap = PlaceNew(3, 1);
    swap.move = true;
    sprite.placeObject2(swap);
    sprite.showFrame();
    w.defineSprite(10, sprite);
    w.placeObject2(PlaceNew(10, 1));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    EXPECT_EQ(p.renderImage(QSize(100, 100), crisp()).pixelColor(10, 10), QColor(Qt::blue));
    p.advance(1);
    EXPECT_EQ(p.currentFrame(), 0);
    EXPECT_EQ(p.renderImage(QSize(100, 100), crisp()).pixelColor(10, 10), QColor(Qt::green));
    p.advance(1);
    EXPECT_EQ(p.renderImage(QSize(100, 100), crisp()).pixelColor(10, 10), QColor(Qt::blue));
    // Going to a frame again gives the frame as it is from the start.
    p.advance(1);
    p.gotoFrame(0);
    EXPECT_EQ(p.renderImage(QSize(100, 100), crisp()).pixelColor(10, 10), QColor(Qt::blue));
}

// A long root timeline (40 frames) with a sprite whose 7 frames move a bar
// 10 pixels a frame. When the root loops, a sprite that has stood since the
// first frame plays on; one placed again later, even of the same sprite at
// the same depth, is taken away and the first frame's own instance starts
// afresh. Frames with no ShowFrame after them still count, and the header's
// frame count does not decide where the loop comes.
TEST(SwfPlayer, LongMoviesLoopAfterTheirLastFrameAndOnlyFirstFrameObjectsPlayOn)
{
    struct Case {
        const char* name;
        bool replaced;       // the sprite is removed at frame 10 and placed again at frame 13
        bool trailingTags;   // the last frame's tags have no ShowFrame after them
        int headerFrames;    // -1: the number of ShowFrame tags
        int shown;           // frames run, as `render --frames N` counts them
        int barFrame;        // the sprite's frame then
        int rootFrame;
    } cases[] = {
        {"stands throughout, at the last frame", false, false, -1, 40, 39 % 7, 39},
        {"stands throughout, after the loop", false, false, -1, 43, 42 % 7, 2},
        {"placed again, at the last frame", true, false, -1, 40, (39 - 13) % 7, 39},
        {"placed again, after the loop", true, false, -1, 43, 2, 2},
        {"last frame without ShowFrame", true, true, -1, 43, 2, 2},
        {"header says fewer frames", true, false, 20, 43, 2, 2},
        {"header says more frames", true, false, 400, 43, 2, 2},
    };
    for (const Case& c : cases) {
        WriterOptions o{10, Compression::None, Rect{0, 100 * 20, 0, 20 * 20}, 12, c.headerFrames};
        SwfWriter w(o);
        w.defineShape(1, RectShape(QRectF(0, 0, 10, 10), Qt::blue));
        w.defineShape(2, RectShape(QRectF(0, 10, 1, 10), Qt::red));
        TagStream sprite;
        for (int f = 0; f < 7; ++f) {
            PlaceObject p = PlaceNew(1, 1, Translate(f * 200, 0));
            p.move = f > 0;
            sprite.placeObject2(p);
            sprite.showFrame();
        }
        w.defineSprite(10, sprite);
        for (int f = 0; f < 40; ++f) {
            if (f == 0)
                w.placeObject2(PlaceNew(10, 1));
            if (c.replaced && f == 10)
                w.removeObject2(1);
            if (c.replaced && f == 13)
                w.placeObject2(PlaceNew(10, 1));
            // A red tick marks the root's frame: x = frame in pixels, but
            // past 20 it comes back (the stage is 100 wide, each frame 2 px).
            PlaceObject tick = PlaceNew(2, 2, Translate(f * 2 * 20, 0));
            tick.move = f > 0;
            w.placeObject2(tick);
            if (f < 39 || !c.trailingTags)
                w.showFrame();
        }
        Player p(LoadMovie(w.finish()));
        p.advance(c.shown - 1);
        EXPECT_EQ(p.currentFrame(), c.rootFrame) << c.name;
        const QImage img = p.renderImage(QSize(100, 20), crisp());
        int bar = -1, tick = -1;
        for (int x = 0; x < 100 && (bar < 0 || tick < 0); ++x) {
            if (bar < 0 && img.pixelColor(x, 5) == QColor(Qt::blue))
                bar = x;
            if (tick < 0 && img.pixelColor(x, 15) == QColor(Qt::red))
                tick = x;
        }
        EXPECT_EQ(bar, c.barFrame * 10) << c.name;
        EXPECT_EQ(tick, c.rootFrame * 2) << c.name;
    }
}

TEST(SwfView, ScaleModesPlaceTheStageAsTheFlashPlayerDoes)
{
    const QRectF stage(0, 0, 200, 100);
    struct Case {
        ScaleMode mode;
        QSizeF viewport;
        QRectF expected;   // where the stage lands
    };
    const Case cases[] = {
        {ScaleMode::ShowAll, {400, 400}, {0, 100, 400, 200}},      // letterboxed, centred
        {ScaleMode::ShowAll, {200, 50}, {50, 0, 100, 50}},
        {ScaleMode::NoBorder, {400, 400}, {-200, 0, 800, 400}},    // fills, cropped
        {ScaleMode::ExactFit, {400, 400}, {0, 0, 400, 400}},       // stretched
        {ScaleMode::NoScale, {400, 400}, {100, 150, 200, 100}},    // 1:1, centred
        {ScaleMode::NoScale, {100, 50}, {-50, -25, 200, 100}},
    };
    for (const Case& c : cases) {
        RenderOptions o;
        o.scale = c.mode;
        const QRectF got = ViewTransform(stage, c.viewport, o).mapRect(stage);
        EXPECT_EQ(got, c.expected) << int(c.mode) << " " << c.viewport.width() << "x" << c.viewport.height();
    }
    // A stage whose rectangle does not start at 0 still lands centred.
    RenderOptions o;
    EXPECT_EQ(ViewTransform(QRectF(10, 20, 100, 100), QSizeF(100, 100), o).mapRect(QRectF(10, 20, 100, 100)),
              QRectF(0, 0, 100, 100));
}

TEST(SwfView, ZoomMagnifiesAroundTheCentre)
{
    RenderOptions o;
    o.zoom = 2;
    const QTransform t = ViewTransform(QRectF(0, 0, 100, 100), QSizeF(100, 100), o);
    EXPECT_EQ(t.map(QPointF(50, 50)), QPointF(50, 50));
    EXPECT_EQ(t.map(QPointF(25, 25)), QPointF(0, 0));
    // Drawn: a 10 px red square at the centre becomes 20 px.
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    w.defineShape(1, RectShape(QRectF(45, 45, 10, 10), Qt::red));
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    RenderOptions z = crisp();
    z.zoom = 2;
    const QImage img = p.renderImage(QSize(100, 100), z);
    EXPECT_EQ(img.pixelColor(41, 50), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(38, 50), QColor(Qt::white));
}

TEST(SwfRender, BackgroundOverrideAndLetterbox)
{
    Player p(LoadMovie(AnimatedMovie()));
    RenderOptions o = crisp();
    o.background = QColor(Qt::magenta);
    const QImage img = p.renderImage(QSize(200, 80), o);   // stage 100x80 centred in 200
    EXPECT_EQ(img.pixelColor(10, 40), QColor(Qt::magenta));
    EXPECT_EQ(img.pixelColor(55, 15), QColor(Qt::red));
}

TEST(SwfRender, AntialiasingSoftensOnlyWhenAsked)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    ShapeBuilder b;
    b.style(0, b.addFill(SolidFill(Qt::black)), 0).polygon(QPolygonF{{0, 0}, {2000, 300}, {0, 2000}});
    w.defineShape(1, b.build());
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    auto colours = [](const QImage& img) {
        QSet<QRgb> s;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                s.insert(img.pixel(x, y));
        return s.size();
    };
    EXPECT_EQ(colours(p.renderImage(QSize(100, 100), crisp())), 2);
    RenderOptions smooth;
    smooth.antialias = true;
    EXPECT_GT(colours(p.renderImage(QSize(100, 100), smooth)), 2);
}

TEST(SwfRender, ColourTransformsMultiplyDownTheTree)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    w.defineShape(1, RectShape(QRectF(0, 0, 100, 100), QColor(200, 100, 50)));
    TagStream sprite;
    PlaceObject inner = PlaceNew(1, 1);
    ColorTransform half;
    half.rm = half.gm = half.bm = 0.5;
    inner.colorTransform = half;
    sprite.placeObject2(inner);
    sprite.showFrame();
    w.defineSprite(2, sprite);
    PlaceObject outer = PlaceNew(2, 1);
    ColorTransform add;
    add.ba = 100;
    outer.colorTransform = add;
    w.placeObject2(outer);
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    EXPECT_EQ(p.renderImage(QSize(100, 100), crisp()).pixelColor(50, 50), QColor(100, 50, 125));
}

TEST(SwfRender, MasksClipTheDepthsTheyCover)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    w.defineShape(1, RectShape(QRectF(0, 0, 50, 100), Qt::black));   // mask: left half
    w.defineShape(2, RectShape(QRectF(0, 0, 100, 100), Qt::red));
    w.defineShape(3, RectShape(QRectF(0, 80, 100, 20), Qt::blue));
    PlaceObject mask = PlaceNew(1, 1);
    mask.clipDepth = 2;
    w.placeObject2(mask);
    w.placeObject2(PlaceNew(2, 2));
    w.placeObject2(PlaceNew(3, 3));   // above the mask's range: not clipped
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    const QImage img = p.renderImage(QSize(100, 100), crisp());
    EXPECT_EQ(img.pixelColor(25, 40), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(75, 40), QColor(Qt::white));   // masked out, mask itself not drawn
    EXPECT_EQ(img.pixelColor(75, 90), QColor(Qt::blue));
}

TEST(SwfRender, HairlinesAreAtLeastOnePixel)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    ShapeBuilder b;
    b.style(0, 0, b.addLine(SolidLine(1, Qt::black))).moveTo(0, 1010).lineTo(2000, 1010);
    w.defineShape(1, b.build());
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    const QImage img = p.renderImage(QSize(100, 100), crisp());
    int dark = 0;
    for (int y = 45; y < 55; ++y)
        dark += img.pixelColor(50, y) == QColor(Qt::black);
    EXPECT_GE(dark, 1);
}

TEST(SwfRender, PaintsIntoAPainterAsIntoAnImage)
{
    Player p(LoadMovie(AnimatedMovie()));
    const QImage direct = p.renderImage(QSize(100, 80), crisp());
    QImage canvas(120, 100, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        p.render(painter, QRect(10, 10, 100, 80), crisp());
    }
    EXPECT_EQ(canvas.copy(10, 10, 100, 80), direct);
    EXPECT_EQ(canvas.pixelColor(5, 5), QColor(Qt::black));
}

} // namespace

namespace {

// A 100 x 10 stage with one shape: a horizontal linear gradient over the
// whole width.
QImage gradientStrip(std::vector<GradientRecord> records)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 200}, 12, -1});
    ShapeBuilder b;
    Matrix m;
    m.a = 2000.0 / 32768;
    m.tx = 1000;
    b.style(0, b.addFill(LinearGradientFill(m, std::move(records))), 0).rect(QRectF(0, 0, 2000, 200));
    w.defineShape(1, b.build(), 3);
    w.placeObject2(PlaceNew(1, 1));
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    return p.renderImage(QSize(100, 10), crisp());
}

TEST(SwfRender, GradientRecordsWithEqualRatiosPickTheFirstEnclosingPair)
{
    // Two records at 0 and two at 255: the colour runs from the second
    // record at 0 to the first at 255, as the Flash Player draws it.
    const QImage img = gradientStrip({{0, Qt::red}, {0, Qt::blue}, {255, Qt::green}, {255, Qt::black}});
    EXPECT_GT(img.pixelColor(1, 5).blue(), 240);
    EXPECT_LT(img.pixelColor(1, 5).red(), 10);
    EXPECT_GT(img.pixelColor(98, 5).green(), 240);
    EXPECT_LT(img.pixelColor(98, 5).blue(), 10);
}

TEST(SwfRender, GradientsInterpolateUnpremultipliedColour)
{
    // Transparent white to opaque black over white: the middle is grey at
    // half alpha (about 191 on white), not black at half alpha (127).
    const QImage img = gradientStrip({{0, QColor(255, 255, 255, 0)}, {255, QColor(0, 0, 0, 255)}});
    EXPECT_NEAR(img.pixelColor(50, 5).red(), 191, 3);
}

// A layer sprite with a red square and, over its left half, an object
// with the given blend mode; or the same object straight on the stage.
QImage blendScene(int mode, bool inLayer)
{
    SwfWriter w(WriterOptions{10, Compression::None, Rect{0, 2000, 0, 2000}, 12, -1});
    w.defineShape(1, RectShape(QRectF(0, 0, 100, 100), Qt::red));
    w.defineShape(2, RectShape(QRectF(0, 0, 50, 100), QColor(0, 0, 255, 255)));
    PlaceObject cut = PlaceNew(2, 2);
    cut.version = 3;
    cut.blendMode = mode;
    if (inLayer) {
        TagStream sprite;
        sprite.placeObject2(PlaceNew(1, 1));
        sprite.placeObject2(cut);
        sprite.showFrame();
        w.defineSprite(3, sprite);
        PlaceObject layer = PlaceNew(3, 1);
        layer.version = 3;
        layer.blendMode = 2;
        w.placeObject2(layer);
    } else {
        w.placeObject2(PlaceNew(1, 1));
        w.placeObject2(cut);
    }
    w.showFrame();
    Player p(LoadMovie(w.finish()));
    RenderOptions o = crisp();
    o.background = QColor(Qt::white);
    return p.renderImage(QSize(100, 100), o);
}

TEST(SwfRender, EraseAndAlphaActOnTheirLayer)
{
    // Erase inside a layer punches through to the stage.
    QImage img = blendScene(12, true);
    EXPECT_EQ(img.pixelColor(25, 50), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(75, 50), QColor(Qt::red));
    // Alpha inside a layer keeps the layer where the object is opaque.
    img = blendScene(11, true);
    EXPECT_EQ(img.pixelColor(25, 50), QColor(Qt::red));
    // Straight on the stage neither shows anything of the object.
    for (int mode : {11, 12}) {
        img = blendScene(mode, false);
        EXPECT_EQ(img.pixelColor(25, 50), QColor(Qt::red)) << mode;
    }
    // Multiply of blue on red gives black; screen gives magenta.
    EXPECT_EQ(blendScene(3, false).pixelColor(25, 50), QColor(Qt::black));
    EXPECT_EQ(blendScene(4, false).pixelColor(25, 50), QColor(Qt::magenta));
}

TEST(SwfRender, FramesDrawTheSameWhenShapesAreReused)
{
    // The second drawing of an unchanged frame comes from kept pictures
    // and must equal the first, also after moving by whole and part pixels.
    Player p(LoadMovie(AnimatedMovie()));
    for (int f : {0, 3, 0, 7, 3}) {
        p.gotoFrame(f);
        const QImage a = shot(p);
        const QImage b = shot(p);
        EXPECT_EQ(a, b);
        Player fresh(LoadMovie(AnimatedMovie()));
        fresh.gotoFrame(f);
        EXPECT_EQ(shot(fresh), a) << f;
    }
}

} // namespace

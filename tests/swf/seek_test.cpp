// Seeking through checkpoints: a goto gives exactly the display list and
// the picture that playing from frame 0 gives, for movies whose lists
// grow, change at depths, hold sprites whose own timelines run and morph
// shapes at changing ratios.

#include "swf/display.h"
#include "swf/fixtures.h"
#include "swf/player.h"
#include "swf/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

// Everything a frame's list holds, children included, as bytes.
template <typename T>
void Put(QByteArray& out, const T& v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void Dump(const DisplayList& list, QByteArray& out)
{
    for (const DisplayPtr& o : list) {
        for (int v : {o->depth, o->characterId, o->ratio, o->clipDepth, o->frame, o->placeFrame, int(o->visible)})
            Put(out, v);
        const Matrix& m = o->matrix;
        const ColorTransform& c = o->colorTransform;
        for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty, c.rm, c.gm, c.bm, c.am, c.ra, c.ga, c.ba, c.aa})
            Put(out, v);
        out += o->name.toUtf8();
        out += '(';
        Dump(o->children, out);
        out += ')';
    }
}

QByteArray Dump(const Player& p)
{
    QByteArray s;
    Dump(p.displayList(), s);
    return s;
}

QImage Shot(const Player& p)
{
    RenderOptions o;
    o.antialias = false;
    return p.renderImage(QSize(120, 90), o);
}

WriterOptions Small()
{
    WriterOptions o;
    o.frameSize = Rect{0, 120 * 20, 0, 90 * 20};
    return o;
}

void Shapes(SwfWriter& w)
{
    w.defineShape(1, RectShape(QRectF(0, 0, 6, 4), Qt::red));
    w.defineShape(2, RectShape(QRectF(0, 0, 4, 6), Qt::blue));
    w.defineShape(3, RectShape(QRectF(0, 0, 5, 5), Qt::darkGreen));
}

Matrix At(int i)
{
    return Translate((i * 7 % 110) * 20, (i * 13 % 80) * 20);
}

// One more rectangle on each frame, on top of or below the others.
QByteArray Growing(bool down)
{
    SwfWriter w(Small());
    Shapes(w);
    const int frames = 600;
    for (int f = 0; f < frames; ++f) {
        w.placeObject2(PlaceNew(1 + f % 3, down ? frames - f : f + 1, At(f)));
        w.showFrame();
    }
    return w.finish();
}

// Objects replaced, moved, faded and removed at a handful of depths.
QByteArray Churn()
{
    SwfWriter w(Small());
    Shapes(w);
    for (int f = 0; f < 900; ++f) {
        const int d = 1 + f % 9;
        if (f % 4 == 0) {
            w.placeObject2(PlaceNew(1 + f % 3, d, At(f)));   // new, or a new object over an old one
        } else if (f % 4 == 1) {
            PlaceObject p = PlaceMove(1 + (f * 5) % 9, At(f + 3));
            p.characterId = 1 + (f / 4) % 3;   // the character replaced in place
            ColorTransform cx;
            cx.am = 0.25 + (f % 3) * 0.25;
            p.colorTransform = cx;
            p.ratio = f % 65536;
            w.placeObject2(p);
        } else if (f % 4 == 2) {
            w.removeObject2(1 + (f * 7) % 9);
        } else {
            PlaceObject p = PlaceMove(1 + (f * 2) % 9, At(f));
            p.ratio = (f * 97) % 65536;
            w.placeObject2(p);
        }
        w.showFrame();
    }
    return w.finish();
}

// Sprites of 5 and 7 frames (one inside the other) placed, moved, removed
// and placed again while a list of shapes grows beside them.
QByteArray Sprites()
{
    SwfWriter w(Small());
    Shapes(w);
    TagStream inner;
    for (int i = 0; i < 5; ++i) {
        if (i == 0)
            inner.placeObject2(PlaceNew(2, 1));
        else
            inner.placeObject2(PlaceMove(1, Translate(i * 60, 0)));
        inner.showFrame();
    }
    w.defineSprite(10, inner);
    TagStream outer;
    for (int i = 0; i < 7; ++i) {
        if (i == 0)
            outer.placeObject2(PlaceNew(10, 1));
        if (i == 3)
            outer.placeObject2(PlaceNew(3, 2, Translate(40, 40)));
        if (i == 5)
            outer.removeObject2(2);
        PlaceObject p = PlaceMove(1, Translate(0, i * 40));
        p.ratio = i * 1000;
        outer.placeObject2(p);
        outer.showFrame();
    }
    w.defineSprite(11, outer);
    for (int f = 0; f < 800; ++f) {
        if (f % 90 == 0)
            w.placeObject2(PlaceNew(11, 20000 + (f / 90) % 3, At(f)));
        if (f % 90 == 40)
            w.removeObject2(20000 + (f / 90 + 1) % 3);
        if (f % 30 == 10)
            w.placeObject2(PlaceNew(10, 21000, At(f)));   // a new instance at the same depth
        w.placeObject2(PlaceNew(1, 1 + f, At(f)));
        w.showFrame();
    }
    return w.finish();
}

// A rectangle that morphs from one place, size and colour to another
// (DefineMorphShape: solid fill, four straight edges at either end).
void DefineMorphRect(SwfWriter& w, int id, const QRectF& from, const QColor& fromColor, const QRectF& to,
                     const QColor& toColor)
{
    const auto twips = [](const QRectF& r) {
        return Rect{int(r.left() * 20), int(r.right() * 20), int(r.top() * 20), int(r.bottom() * 20)};
    };
    // The edges of a rectangle, from its top-left corner round.
    const auto edges = [](BitWriter& b, const QRectF& r, bool withFill) {
        const int x = int(r.left() * 20), y = int(r.top() * 20), wd = int(r.width() * 20), ht = int(r.height() * 20);
        b.ub(withFill ? 1 : 0, 4);   // fill index bits
        b.ub(0, 4);                  // line index bits
        // Style change: move to the corner (and take fill 0 at the start).
        b.ub(0, 1);
        b.ub(0, 3);                  // no new styles, no line style, no fill 1
        b.ub(withFill ? 1 : 0, 1);   // fill 0
        b.ub(1, 1);                  // move to
        const int mb = std::max(BitWriter::signedBits(x), BitWriter::signedBits(y));
        b.ub(uint32_t(mb), 5);
        b.sb(x, mb);
        b.sb(y, mb);
        if (withFill)
            b.ub(1, 1);
        for (const auto& [dx, dy] : {std::pair{wd, 0}, std::pair{0, ht}, std::pair{-wd, 0}, std::pair{0, -ht}}) {
            const int nb = std::max({BitWriter::signedBits(dx), BitWriter::signedBits(dy), 2});
            b.ub(1, 1);   // edge
            b.ub(1, 1);   // straight
            b.ub(uint32_t(nb - 2), 4);
            b.ub(1, 1);   // both deltas
            b.sb(dx, nb);
            b.sb(dy, nb);
        }
        b.ub(0, 6);   // end of shape
        b.align();
    };
    BitWriter styles;
    styles.u8(1);   // one fill style, at both ends
    styles.u8(0);   // solid
    styles.rgba(fromColor);
    styles.rgba(toColor);
    styles.u8(0);   // no line styles
    edges(styles, from, true);
    BitWriter end;
    edges(end, to, false);
    const QByteArray startPart = styles.data();
    BitWriter t;
    t.u16(uint16_t(id));
    t.rect(twips(from));
    t.rect(twips(to));
    t.u32(uint32_t(startPart.size()));
    t.bytes(startPart);
    t.bytes(end.data());
    w.tag(kDefineMorphShape, t.data());
}

// Morphing rectangles at a few depths take new ratios every frame, are
// replaced by new instances and removed, beside a growing list.
QByteArray Morphs()
{
    SwfWriter w(Small());
    Shapes(w);
    DefineMorphRect(w, 5, QRectF(0, 0, 10, 10), Qt::red, QRectF(60, 40, 40, 20), Qt::blue);
    DefineMorphRect(w, 6, QRectF(80, 60, 30, 20), QColor(0, 160, 0, 255), QRectF(10, 70, 8, 8), QColor(250, 200, 0, 128));
    for (int f = 0; f < 700; ++f) {
        const int d = 30000 + f % 4;
        if (f % 50 == 0) {
            PlaceObject p = PlaceNew(5 + (f / 50) % 2, d, At(f));
            p.ratio = (f * 131) % 65536;
            w.placeObject2(p);
        } else if (f % 50 == 37) {
            w.removeObject2(30000 + (f / 7) % 4);
        } else {
            PlaceObject p = PlaceMove(d, At(f / 3));
            p.ratio = (f * 977) % 65536;
            w.placeObject2(p);
        }
        w.placeObject2(PlaceNew(1 + f % 3, 1 + f, At(f)));
        w.showFrame();
    }
    return w.finish();
}

struct SeekCase {
    const char* name;
    std::function<QByteArray()> build;
};

class SeekExact : public ::testing::TestWithParam<SeekCase> {};

TEST_P(SeekExact, GotoGivesWhatPlayingGives)
{
    const auto movie = LoadMovie(GetParam().build());
    Player played(movie);
    const int n = played.frameCount();
    ASSERT_GT(n, 500);
    std::vector<QByteArray> lists;
    for (int f = 0; f < n; ++f) {
        if (f > 0)
            played.nextFrame();
        lists.push_back(Dump(played));
    }
    const std::vector<int> checkpoints = played.checkpointFrames();
    ASSERT_GE(checkpoints.size(), 2u) << "the movie is long enough for checkpoints";

    // Backwards to every frame, as reverse play does.
    Player back(movie);
    back.gotoFrame(n - 1);
    ASSERT_EQ(Dump(back), lists.back());
    for (int f = n - 2; f >= 0; --f) {
        back.gotoFrame(f);
        ASSERT_EQ(Dump(back), lists[size_t(f)]) << "step back to " << f;
    }

    // On a checkpoint, just before and after one, and far jumps both ways.
    Player seek(movie);
    seek.gotoFrame(n - 1);
    std::vector<int> targets;
    for (int c : checkpoints)
        targets.insert(targets.end(), {c, c - 1, c + 1});
    targets.insert(targets.end(), {0, n - 1, n / 2, 1, n - 2, n / 3});
    for (int t : targets) {
        t = std::clamp(t, 0, n - 1);
        seek.gotoFrame(t);
        EXPECT_EQ(seek.currentFrame(), t);
        ASSERT_EQ(Dump(seek), lists[size_t(t)]) << "goto " << t;
        seek.nextFrame();   // stepping on from a restored state
        ASSERT_EQ(Dump(seek), lists[size_t((t + 1) % n)]) << "step after goto " << t;
    }

    // The picture too, on a checkpoint and just before it.
    const int c = checkpoints[checkpoints.size() / 2];
    for (int t : {c, c - 1}) {
        Player fresh(movie);
        for (int f = 0; f < t; ++f)
            fresh.nextFrame();
        seek.gotoFrame(t);
        EXPECT_EQ(Shot(seek), Shot(fresh)) << "picture at " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Movies, SeekExact,
                         ::testing::Values(SeekCase{"GrowingOnTop", [] { return Growing(false); }},
                                           SeekCase{"GrowingBelow", [] { return Growing(true); }},
                                           SeekCase{"ChurnAtDepths", Churn},
                                           SeekCase{"SpritesRunning", Sprites},
                                           SeekCase{"MorphRatios", Morphs}),
                         [](const auto& info) { return std::string(info.param.name); });

// The morph fixture's shapes load as morphs and are drawn by their ratio:
// the red square at the start, the blue band at the end.
TEST(SeekExact, MorphFixtureDrawsByRatio)
{
    const auto movie = LoadMovie(Morphs());
    ASSERT_TRUE(movie->get<MorphShapeCharacter>(5));
    const auto draw = [&](int ratio) {
        DisplayList list;
        auto o = std::make_shared<DisplayObject>();
        o->characterId = 5;
        o->ratio = ratio;
        list.push_back(o);
        QImage img(120, 90, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        RenderCache cache;
        RenderDisplayList(*movie, list, img, QTransform::fromScale(1.0 / 20, 1.0 / 20), false, cache);
        return img;
    };
    const QImage start = draw(0), end = draw(65535);
    EXPECT_EQ(start.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(start.pixelColor(80, 50), QColor(Qt::white));
    EXPECT_EQ(end.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(end.pixelColor(80, 50), QColor(Qt::blue));
}

// Playing on past the end loops; the states seeking keeps stay as they
// were, so a later goto is still exact.
TEST(SeekExact, LoopingDoesNotDisturbCheckpoints)
{
    const auto movie = LoadMovie(Sprites());
    Player played(movie);
    const int n = played.frameCount();
    std::vector<QByteArray> lists;
    for (int f = 0; f < n; ++f) {
        if (f > 0)
            played.nextFrame();
        lists.push_back(Dump(played));
    }
    Player p(movie);
    p.advance(n + 37);   // loops once; sprites placed on frame 0 run on
    for (int t : {n - 1, 5, n / 2}) {
        p.gotoFrame(t);
        EXPECT_EQ(Dump(p), lists[size_t(t)]) << "goto " << t;
    }
}

} // namespace

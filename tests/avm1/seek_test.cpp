// Going backwards in a scripted movie: the timeline's objects are rebuilt
// to what playing from frame 0 gives at the destination (through the
// timeline states kept at checkpoints), objects made by scripts stay, and
// the scripts of the frames passed over do not run.

#include "avm1/script_run.h"
#include "avm1/timeline_state.h"
#include "swf/display.h"
#include "swf/fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace plovex::avm1 {
namespace {

using swf::ActionWriter;
using swf::PlaceMove;
using swf::PlaceNew;
using swf::SwfWriter;
using swf::Translate;

swf::Matrix At(int i)
{
    return Translate((i * 7 % 180) * 20, (i * 13 % 90) * 20);
}

// One object the root's timeline placed: what a backwards goto must
// rebuild. Sprites' own frames and automatic names are left out (a sprite
// that stands keeps running; names count every instance made).
struct Placed {
    int depth, characterId, placeFrame, ratio, clipDepth;
    swf::Matrix matrix;
    swf::ColorTransform colour;
    bool operator==(const Placed&) const = default;
};

void PrintTo(const Placed& o, std::ostream* out)
{
    const swf::Matrix& m = o.matrix;
    const swf::ColorTransform& c = o.colour;
    *out << "depth " << o.depth << " character " << o.characterId << " placed " << o.placeFrame << " ratio " << o.ratio
         << " clip " << o.clipDepth << " matrix " << m.a << ' ' << m.b << ' ' << m.c << ' ' << m.d << ' ' << m.tx << ' '
         << m.ty << " colour " << c.rm << ' ' << c.gm << ' ' << c.bm << ' ' << c.am << ' ' << c.ra << ' ' << c.ga << ' '
         << c.ba << ' ' << c.aa;
}

std::vector<Placed> TimelineObjects(const swf::Player& p)
{
    std::vector<Placed> out;
    for (const swf::DisplayPtr& o : p.displayList())
        if (o->placeFrame >= 0)
            out.push_back({o->depth, o->characterId, o->placeFrame, o->ratio, o->clipDepth, o->matrix, o->colorTransform});
    return out;
}

void Shapes(SwfWriter& w)
{
    w.defineShape(1, swf::test::RectShape(QRectF(0, 0, 6, 4), Qt::red));
    w.defineShape(2, swf::test::RectShape(QRectF(0, 0, 4, 6), Qt::blue));
    w.defineShape(3, swf::test::RectShape(QRectF(0, 0, 5, 5), Qt::darkGreen));
}

// A frame script makes each of these a scripted movie.
void Scripted(SwfWriter& w)
{
    w.doAction(ActionWriter().push(QStringLiteral("n")).pushInt(0).setVariable());
}

QByteArray Growing(bool down)
{
    SwfWriter w(Options());
    Shapes(w);
    Scripted(w);
    const int frames = 700;
    for (int f = 0; f < frames; ++f) {
        w.placeObject2(PlaceNew(1 + f % 3, down ? frames - f : f + 1, At(f)));
        w.showFrame();
    }
    return w.finish();
}

// Objects placed over others, moved with a new character, faded, given
// ratios and removed at a handful of depths.
QByteArray Churn()
{
    SwfWriter w(Options());
    Shapes(w);
    Scripted(w);
    for (int f = 0; f < 900; ++f) {
        const int d = 1 + f % 9;
        if (f % 4 == 0) {
            w.placeObject2(PlaceNew(1 + f % 3, d, At(f)));
        } else if (f % 4 == 1) {
            swf::PlaceObject p = PlaceMove(1 + (f * 5) % 9, At(f + 3));
            p.characterId = 1 + (f / 4) % 3;
            swf::ColorTransform cx;
            cx.am = 0.25 + (f % 3) * 0.25;
            p.colorTransform = cx;
            p.ratio = f % 65536;
            w.placeObject2(p);
        } else if (f % 4 == 2) {
            w.removeObject2(1 + (f * 7) % 9);
        } else {
            swf::PlaceObject p = PlaceMove(1 + (f * 2) % 9, At(f));
            p.ratio = (f * 97) % 65536;
            w.placeObject2(p);
        }
        w.showFrame();
    }
    return w.finish();
}

// Sprites with their own timelines (looping, so they go back to their
// frame 0 through the same rebuilding) come and go beside a growing list.
QByteArray Sprites()
{
    SwfWriter w(Options());
    Shapes(w);
    Scripted(w);
    swf::TagStream inner;
    for (int i = 0; i < 5; ++i) {
        if (i == 0)
            inner.placeObject2(PlaceNew(2, 1));
        else
            inner.placeObject2(PlaceMove(1, Translate(i * 60, 0)));
        if (i == 3)
            inner.removeObject2(1);
        inner.showFrame();
    }
    w.defineSprite(10, inner);
    for (int f = 0; f < 800; ++f) {
        if (f % 90 == 0)
            w.placeObject2(PlaceNew(10, 15000 + (f / 90) % 3, At(f)));
        if (f % 90 == 40)
            w.removeObject2(15000 + (f / 90 + 1) % 3);
        if (f % 30 == 10)
            w.placeObject2(PlaceNew(10, 15100, At(f)));   // a new instance at the same depth
        w.placeObject2(PlaceNew(1, 1 + f, At(f)));
        w.showFrame();
    }
    return w.finish();
}

struct SeekCase {
    const char* name;
    std::function<QByteArray()> build;
};

class ScriptedSeek : public ::testing::TestWithParam<SeekCase> {};

TEST_P(ScriptedSeek, GoingBackRebuildsWhatPlayingGives)
{
    const QByteArray bytes = GetParam().build();
    auto played = Start(bytes);
    ASSERT_TRUE(played->player->scripts());
    const int n = played->player->frameCount();
    std::vector<std::vector<Placed>> lists;
    for (int f = 0; f < n; ++f) {
        if (f > 0)
            played->player->advance(1);
        ASSERT_EQ(played->player->currentFrame(), f);
        lists.push_back(TimelineObjects(*played->player));
    }

    // Step back from the end to frame 0, as reverse play does.
    auto back = Start(bytes);
    back->player->gotoFrame(n - 1);
    ASSERT_EQ(TimelineObjects(*back->player), lists.back());
    for (int f = n - 2; f >= 0; --f) {
        back->player->gotoFrame(f);
        ASSERT_EQ(TimelineObjects(*back->player), lists[size_t(f)]) << "step back to " << f;
    }

    // The timeline's states are kept at checkpoints; land on them, just
    // before and after them, and jump far both ways.
    const auto movie = swf::LoadMovie(bytes);
    TimelineStateBudget budget;
    TimelineStates states(movie->root, budget);
    (void)states.at(n - 1);
    const std::vector<int> checkpoints = states.checkpointFrames();
    ASSERT_GE(checkpoints.size(), 2u) << "the movie is long enough for checkpoints";
    std::vector<int> targets;
    for (int c : checkpoints)
        targets.insert(targets.end(), {c + 1, c, c - 1});
    targets.insert(targets.end(), {n - 1, n / 2, 0, n - 2, n / 3});
    auto jump = Start(bytes);
    jump->player->gotoFrame(n - 1);
    for (int t : targets) {
        t = std::clamp(t, 0, n - 1);
        jump->player->gotoFrame(t);
        ASSERT_EQ(jump->player->currentFrame(), t);
        ASSERT_EQ(TimelineObjects(*jump->player), lists[size_t(t)]) << "goto " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Movies, ScriptedSeek,
                         ::testing::Values(SeekCase{"GrowingOnTop", [] { return Growing(false); }},
                                           SeekCase{"GrowingBelow", [] { return Growing(true); }},
                                           SeekCase{"ChurnAtDepths", Churn},
                                           SeekCase{"SpritesRunning", Sprites}),
                         [](const auto& info) { return std::string(info.param.name); });

// The states a timeline keeps, with room for many checkpoints or for
// almost none, are the same states.
TEST(TimelineStates, CheckpointsGiveWhatReplayingFromTheStartGives)
{
    for (const auto& build : {std::function<QByteArray()>(Churn), std::function<QByteArray()>(Sprites)}) {
        const auto movie = swf::LoadMovie(build());
        const int n = int(movie->root.frames.size());
        TimelineStateBudget roomy, tight;
        tight.max = 0;
        TimelineStates many(movie->root, roomy), few(movie->root, tight);
        (void)many.at(n - 1);
        (void)few.at(n - 1);
        ASSERT_GT(many.checkpointFrames().size(), few.checkpointFrames().size());
        EXPECT_LE(few.checkpointFrames().size(), 1u) << "only the latest is kept over the bound";
        EXPECT_GT(roomy.bytes, 0u);
        for (int f = n - 1; f >= 0; f -= 7) {
            const TimelineState a = many.at(f), b = few.at(f);
            ASSERT_EQ(a.size(), b.size()) << "frame " << f;
            for (size_t i = 0; i < a.size(); ++i) {
                ASSERT_EQ(a[i].first, b[i].first) << "frame " << f;
                const swf::PlaceObject& x = a[i].second->place;
                const swf::PlaceObject& y = b[i].second->place;
                EXPECT_EQ(a[i].second->placedAt, b[i].second->placedAt);
                EXPECT_EQ(x.characterId, y.characterId);
                EXPECT_EQ(x.matrix, y.matrix);
                EXPECT_EQ(x.colorTransform, y.colorTransform);
                EXPECT_EQ(x.ratio, y.ratio);
            }
        }
    }
}

// Objects made by scripts stay through a goto back, a timeline object that
// a script moved is put back where its tags place it, and the scripts of
// the frames passed over do not run.
TEST(ScriptedSeek, ScriptObjectsStayAndPassedScriptsDoNotRun)
{
    SwfWriter w(Options());
    Shapes(w);
    swf::TagStream one;
    one.placeObject2(PlaceNew(1, 1));
    one.showFrame();
    w.defineSprite(10, one);
    for (int f = 0; f < 600; ++f) {
        if (f == 0) {
            swf::PlaceObject s = PlaceNew(10, 1, Translate(2000, 1000));
            s.name = QStringLiteral("s");
            w.placeObject2(s);
        }
        if (f == 1)
            w.doAction(ActionWriter()
                           .push(QStringLiteral("one"))
                           .trace()
                           .push(1.0)
                           .push(QStringLiteral("made"))
                           .callMethod(2, QStringLiteral("_root"), QStringLiteral("createEmptyMovieClip"))
                           .op(0x17));
        if (f == 300)   // s._x = 77
            w.doAction(ActionWriter().push(QStringLiteral("s")).getVariable().push(QStringLiteral("_x")).push(77.0).op(0x4F));
        if (f == 400)
            w.doAction(ActionWriter().push(QStringLiteral("four hundred")).trace());
        w.placeObject2(PlaceNew(2, 2 + f, At(f)));
        w.showFrame();
    }
    auto run = Start(w.finish());
    swf::Player& p = *run->player;
    const auto find = [&p](int depth) -> swf::DisplayPtr {
        auto it = swf::FindDepth(p.displayList(), depth);
        return it != p.displayList().end() && (*it)->depth == depth ? *it : nullptr;
    };
    p.advance(310);   // plays frames 1 and 300
    const swf::DisplayPtr made = find(16385);
    ASSERT_TRUE(made);
    ASSERT_TRUE(find(1));
    EXPECT_EQ(find(1)->matrix.tx, 77 * 20);
    p.gotoFrame(599);   // passes frame 400 over
    p.gotoFrame(305);
    EXPECT_EQ(p.currentFrame(), 305);
    EXPECT_EQ(find(16385), made) << "the script's clip is the same object";
    ASSERT_TRUE(find(1));
    EXPECT_EQ(find(1)->matrix.tx, 2000) << "the timeline's own place again";
    EXPECT_FALSE(find(2 + 306));
    EXPECT_TRUE(find(2 + 305));
    EXPECT_EQ(run->lines, QStringList{"one"});
    p.gotoFrame(1);   // the destination's script runs
    EXPECT_EQ(run->lines, (QStringList{"one", "one"}));
}

} // namespace
} // namespace plovex::avm1

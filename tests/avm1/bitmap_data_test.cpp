// flash.display.BitmapData as scripts use it: small movies built with the
// project's writer, run through the frame loop, their trace output checked
// against values worked out by hand from the Flash Player's rules; and a
// bitmap attached to the stage, read back from a rendered frame.

#include "script_builder.h"

#include "avm1/frame_loop.h"
#include "swf/player.h"
#include "swf/writer.h"

#include <gtest/gtest.h>

namespace plovex::avm1 {
namespace {

const QString BD = QStringLiteral("flash.display.BitmapData");
const QString P = QStringLiteral("flash.geom.Point");
const QString R = QStringLiteral("flash.geom.Rectangle");

struct Run {
    QStringList lines;
    std::unique_ptr<swf::Player> player;
};

// One frame of `first`, then frames of `later` scripts, stopping after the last.
// `library` writes definitions ahead of the first frame's actions.
std::unique_ptr<Run> Start(const ActionWriter& first, int version = 8, const std::vector<ActionWriter>& later = {},
                           const std::function<void(swf::SwfWriter&)>& library = {})
{
    swf::WriterOptions o;
    o.version = version;
    o.frameSize = swf::Rect{0, 40 * 20, 0, 40 * 20};
    o.frameRate = 10;
    swf::SwfWriter w(o);
    w.setBackgroundColor(Qt::white);
    if (library)
        library(w);
    w.doAction(first);
    w.showFrame();
    for (size_t i = 0; i < later.size(); ++i) {
        ActionWriter a = later[i];
        if (i + 1 == later.size())
            a.stop();
        w.doAction(a);
        w.showFrame();
    }
    auto run = std::make_unique<Run>();
    ScriptOptions opt;
    opt.virtualClock = true;
    QStringList* lines = &run->lines;
    opt.trace = [lines](const QString& l) { lines->append(l); };
    run->player = std::make_unique<swf::Player>(swf::LoadMovie(w.finish()), ScriptedMovies(opt));
    return run;
}

struct Case {
    const char* name;
    int version;
    std::function<void(Script&)> script;
    QStringList expected;
};

class BitmapDataScripts : public ::testing::TestWithParam<Case> {};

TEST_P(BitmapDataScripts, TracesWhatThePlayerTraces)
{
    Script s;
    GetParam().script(s);
    auto run = Start(s.w, GetParam().version);
    EXPECT_EQ(run->lines, GetParam().expected);
}

// b = new BitmapData(args)
void Make(Script& s, const QString& name, const std::vector<Lit>& args)
{
    s.let(name, [&](Script& s) { s.make(BD, args); });
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitmapDataScripts,
    ::testing::Values(
        // 0x12345678 kept premultiplied: alpha 18 turns red 52 into 4, which
        // reads back as 4 * 255 / 18 = 56.7 -> 57 (0x39); green 86 -> 6 ->
        // 85 (0x55); blue 120 -> 8 -> 113 (0x71).
        Case{"PremultipliedRoundTrip", 8,
             [](Script& s) {
                 Make(s, "b", {1.0, 1.0, 1.0, double(0x12345678)});
                 s.call("b", "getPixel32", {0.0, 0.0}).trace();
                 s.call("b", "setPixel32", {0.0, 0.0, double(0x12345678)}).pop();
                 s.call("b", "getPixel32", {0.0, 0.0}).trace();
                 // An opaque bitmap keeps the colour and drops the alpha.
                 Make(s, "o", {1.0, 1.0, 0.0, double(0x12345678)});
                 s.call("o", "getPixel32", {0.0, 0.0}).trace();
                 s.call("o", "getPixel", {0.0, 0.0}).trace();
                 // Outside the bitmap: 0; too few arguments: -1.
                 s.call("b", "getPixel32", {5.0, 0.0}).trace();
                 s.call("b", "getPixel32", {0.0}).trace();
             },
             {"305747313", "305747313", "-13347208", "3430008", "0", "-1"}},
        Case{"SizeLimitsBeforeVersion10", 8,
             [](Script& s) {
                 Make(s, "a", {2880.0, 2880.0});
                 s.traceGet("a.width");
                 Make(s, "b", {2881.0, 1.0});
                 s.traceGet("b");
                 Make(s, "c", {0.0, 1.0});
                 s.traceGet("c");
                 Make(s, "d", {5.0});
                 s.traceGet("d");
             },
             {"2880", "undefined", "undefined", "undefined"}},
        Case{"SizeLimitsFromVersion10", 10,
             [](Script& s) {
                 Make(s, "a", {8191.0, 2.0});
                 s.traceGet("a.width");
                 Make(s, "b", {8192.0, 1.0});
                 s.traceGet("b");
                 // 4096 x 4097 is past 16 777 215 pixels.
                 Make(s, "c", {4096.0, 4097.0});
                 s.traceGet("c");
             },
             {"8191", "undefined", "undefined"}},
        Case{"PropertiesAndDispose", 8,
             [](Script& s) {
                 Make(s, "b", {3.0, 2.0, 0.0});
                 s.traceGet("b.transparent");
                 s.traceGet("b.rectangle");
                 s.call("b", "dispose").pop();
                 s.traceGet("b.width");
                 s.traceGet("b.rectangle");
                 s.call("b", "getPixel", {0.0, 0.0}).trace();
             },
             {"false", "(x=0, y=0, w=3, h=2)", "-1", "-1", "-1"}},
        // Pixels 0x000000, 0x808080, 0xFFFFFF, 0x303030: two of them lie
        // above 0x404040 and take the colour.
        Case{"ThresholdCountsAndColours", 8,
             [](Script& s) {
                 Make(s, "b", {4.0, 1.0, 0.0, 0.0});
                 s.call("b", "setPixel", {1.0, 0.0, double(0x808080)}).pop();
                 s.call("b", "setPixel", {2.0, 0.0, double(0xFFFFFF)}).pop();
                 s.call("b", "setPixel", {3.0, 0.0, double(0x303030)}).pop();
                 s.let("origin", [](Script& s) { s.make(P, {0.0, 0.0}); });
                 s.call("b", "threshold",
                        {QStringLiteral("@b"), QStringLiteral("@b.rectangle"), QStringLiteral("@origin"),
                         QStringLiteral(">"), double(0x404040), double(0xFFFF0000), double(0x00FFFFFF)})
                     .trace();
                 s.call("b", "getPixel", {1.0, 0.0}).trace();
                 s.call("b", "getPixel", {3.0, 0.0}).trace();
                 // Nothing is below 0, with "<" on the alpha alone.
                 s.call("b", "threshold",
                        {QStringLiteral("@b"), QStringLiteral("@b.rectangle"), QStringLiteral("@origin"),
                         QStringLiteral("<"), 0.0, 0.0, double(0xFF000000)})
                     .trace();
             },
             {"2", "16711680", "3158064", "0"}},
        Case{"CompareCodes", 8,
             [](Script& s) {
                 Make(s, "a", {1.0, 1.0, 0.0, double(0x102030)});
                 Make(s, "b", {1.0, 1.0, 0.0, double(0x0A0A0A)});
                 Make(s, "wide", {2.0, 1.0});
                 Make(s, "tall", {1.0, 2.0});
                 Make(s, "gone", {1.0, 1.0});
                 s.call("gone", "dispose").pop();
                 s.call("a", "compare", {QStringLiteral("@a")}).trace();
                 s.call("a", "compare", {QStringLiteral("@wide")}).trace();
                 s.call("a", "compare", {QStringLiteral("@tall")}).trace();
                 s.call("a", "compare", {QStringLiteral("@gone")}).trace();
                 s.call("gone", "compare", {QStringLiteral("@a")}).trace();
                 // Colours differ: the difference, opaque
                 // (0x10-0x0A, 0x20-0x0A, 0x30-0x0A).
                 s.let("d", [](Script& s) { s.call("a", "compare", {QStringLiteral("@b")}); });
                 s.call("d", "getPixel32", {0.0, 0.0}).trace();
             },
             {"0", "-3", "-4", "-2", "-1", "-16378330"}},
        // A 3 x 3 white square with a black middle column: the fill from
        // the left edge stops at the column.
        Case{"FloodFillStopsAtOtherColours", 8,
             [](Script& s) {
                 Make(s, "b", {3.0, 3.0, 0.0, double(0xFFFFFF)});
                 for (double y : {0.0, 1.0, 2.0})
                     s.call("b", "setPixel", {1.0, y, 0.0}).pop();
                 s.call("b", "floodFill", {0.0, 0.0, double(0xFF00FF)}).pop();
                 s.call("b", "getPixel", {0.0, 2.0}).trace();
                 s.call("b", "getPixel", {1.0, 1.0}).trace();
                 s.call("b", "getPixel", {2.0, 0.0}).trace();
             },
             {"16711935", "0", "16777215"}},
        Case{"ScrollMovesPixels", 8,
             [](Script& s) {
                 Make(s, "b", {3.0, 1.0, 0.0, 0.0});
                 s.call("b", "setPixel", {0.0, 0.0, 1.0}).pop();
                 s.call("b", "setPixel", {1.0, 0.0, 2.0}).pop();
                 s.call("b", "setPixel", {2.0, 0.0, 3.0}).pop();
                 s.call("b", "scroll", {1.0, 0.0}).pop();
                 for (double x : {0.0, 1.0, 2.0})
                     s.call("b", "getPixel", {x, 0.0}).trace();
             },
             {"1", "1", "2"}},
        // Alpha 0x80 at (1, 1) only; the test point is given relative to
        // the bitmap's place (2, 2).
        Case{"HitTestAgainstAPointAndARectangle", 8,
             [](Script& s) {
                 Make(s, "b", {3.0, 3.0, 1.0, 0.0});
                 s.call("b", "setPixel32", {1.0, 1.0, double(0x80FFFFFF)}).pop();
                 s.let("at", [](Script& s) { s.make(P, {2.0, 2.0}); });
                 s.let("hit", [](Script& s) { s.make(P, {3.0, 3.0}); });
                 s.let("miss", [](Script& s) { s.make(P, {2.0, 2.0}); });
                 s.call("b", "hitTest", {QStringLiteral("@at"), double(0x80), QStringLiteral("@hit")}).trace();
                 s.call("b", "hitTest", {QStringLiteral("@at"), double(0x81), QStringLiteral("@hit")}).trace();
                 s.call("b", "hitTest", {QStringLiteral("@at"), 1.0, QStringLiteral("@miss")}).trace();
                 s.let("box", [](Script& s) { s.make(R, {0.0, 0.0, 4.0, 4.0}); });
                 s.call("b", "hitTest", {QStringLiteral("@at"), 1.0, QStringLiteral("@box")}).trace();
             },
             {"true", "false", "false", "true"}},
        // Dissolving 3 pixels of a 2 x 2 bitmap reaches every pixel: the
        // first pixel always, then three others, each once.
        Case{"PixelDissolveVisitsEveryPixelOnce", 8,
             [](Script& s) {
                 Make(s, "b", {2.0, 2.0, 0.0, 0.0});
                 s.let("origin", [](Script& s) { s.make(P, {0.0, 0.0}); });
                 s.call("b", "pixelDissolve",
                        {QStringLiteral("@b"), QStringLiteral("@b.rectangle"), QStringLiteral("@origin"), 7.0, 3.0,
                         double(0xFF00FF00)})
                     .pop();
                 for (double y : {0.0, 1.0})
                     for (double x : {0.0, 1.0})
                         s.call("b", "getPixel", {x, y}).trace();
             },
             {"65280", "65280", "65280", "65280"}},
        Case{"CopyPixelsAndChannels", 8,
             [](Script& s) {
                 Make(s, "src", {2.0, 1.0, 0.0, double(0x112233)});
                 s.call("src", "setPixel", {1.0, 0.0, double(0x445566)}).pop();
                 Make(s, "dst", {3.0, 1.0, 0.0, 0.0});
                 s.let("r", [](Script& s) { s.make(R, {1.0, 0.0, 1.0, 1.0}); });
                 s.let("at", [](Script& s) { s.make(P, {2.0, 0.0}); });
                 s.call("dst", "copyPixels", {QStringLiteral("@src"), QStringLiteral("@r"), QStringLiteral("@at")})
                     .pop();
                 s.call("dst", "getPixel", {2.0, 0.0}).trace();
                 s.call("dst", "getPixel", {1.0, 0.0}).trace();
                 // The source's red (0x11) into the blue of the first pixel.
                 s.let("origin", [](Script& s) { s.make(P, {0.0, 0.0}); });
                 s.call("dst", "copyChannel",
                        {QStringLiteral("@src"), QStringLiteral("@src.rectangle"), QStringLiteral("@origin"), 1.0, 4.0})
                     .pop();
                 s.call("dst", "getPixel", {0.0, 0.0}).trace();
             },
             {"4478310", "0", "17"}},
        // Red halved in 8.8 fixed point (0x80 * 128 >> 8 = 0x40), green
        // kept, 16 added to blue: 0x408090.
        Case{"ColorTransformInFixedPoint", 8,
             [](Script& s) {
                 Make(s, "b", {1.0, 1.0, 0.0, double(0x808080)});
                 s.let("c", [](Script& s) {
                     s.make(QStringLiteral("flash.geom.ColorTransform"), {0.5, 1.0, 1.0, 1.0, 0.0, 0.0, 16.0, 0.0});
                 });
                 s.call("b", "colorTransform", {QStringLiteral("@b.rectangle"), QStringLiteral("@c")}).pop();
                 s.call("b", "getPixel", {0.0, 0.0}).trace();
             },
             {"4227216"}},
        // Seed 1: the generator's first number is 16807, and 16807 mod 256
        // is 167 (0xA7), the red of the only pixel.
        Case{"NoiseFollowsTheParkMillerGenerator", 8,
             [](Script& s) {
                 Make(s, "b", {1.0, 1.0, 0.0, 0.0});
                 s.call("b", "noise", {1.0, 0.0, 255.0, 1.0, 0.0}).pop();
                 s.call("b", "getPixel", {0.0, 0.0}).trace();
             },
             {"10944512"}},
        Case{"ChannelConstants", 8,
             [](Script& s) {
                 for (const char* c : {"RED_CHANNEL", "GREEN_CHANNEL", "BLUE_CHANNEL", "ALPHA_CHANNEL"})
                     s.traceGet(BD + QLatin1Char('.') + QLatin1String(c));
             },
             {"1", "2", "4", "8"}}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// A bitmap attached to the root shows on the stage, and changes to its
// pixels show on the next frame drawn.
TEST(BitmapDataOnStage, AttachedPixelsAreDrawnAndFollowChanges)
{
    Script first;
    first.let("b", [](Script& s) { s.make(BD, {10.0, 10.0, 0.0, double(0xFF0000)}); });
    first.call("_root", "attachBitmap", {QStringLiteral("@b"), 1.0}).pop();
    Script second;
    second.let("r", [](Script& s) { s.make(R, {0.0, 0.0, 5.0, 10.0}); });
    second.call("b", "fillRect", {QStringLiteral("@r"), double(0x0000FF)}).pop();
    auto run = Start(first.w, 8, {second.w});

    swf::RenderOptions o;
    o.antialias = false;
    const QImage a = run->player->renderImage(QSize(40, 40), o);
    EXPECT_EQ(a.pixelColor(7, 5), QColor(Qt::red));
    EXPECT_EQ(a.pixelColor(20, 20), QColor(Qt::white));

    run->player->advance();
    const QImage b = run->player->renderImage(QSize(40, 40), o);
    EXPECT_EQ(b.pixelColor(2, 5), QColor(Qt::blue));
    EXPECT_EQ(b.pixelColor(7, 5), QColor(Qt::red));
}

// draw() renders a clip's own drawing into the pixels, through a matrix.
TEST(BitmapDataOnStage, DrawCopiesAClipThroughAMatrix)
{
    Script s;
    s.let("c", [](Script& s) { s.call("_root", "createEmptyMovieClip", {QStringLiteral("c"), 1.0}); });
    s.call("c", "beginFill", {double(0x00FF00)}).pop();
    s.call("c", "moveTo", {0.0, 0.0}).pop();
    s.call("c", "lineTo", {4.0, 0.0}).pop();
    s.call("c", "lineTo", {4.0, 4.0}).pop();
    s.call("c", "lineTo", {0.0, 4.0}).pop();
    s.call("c", "endFill").pop();
    s.let("b", [](Script& s) { s.make(BD, {10.0, 10.0, 0.0, 0.0}); });
    s.let("m", [](Script& s) { s.make(QStringLiteral("flash.geom.Matrix"), {1.0, 0.0, 0.0, 1.0, 5.0, 5.0}); });
    s.call("b", "draw", {QStringLiteral("@c"), QStringLiteral("@m")}).pop();
    s.call("b", "getPixel", {6.0, 6.0}).trace();
    s.call("b", "getPixel", {2.0, 2.0}).trace();
    auto run = Start(s.w);
    EXPECT_EQ(run->lines, QStringList({"65280", "0"}));
}

// A class built on BitmapData gets its bitmap from the base constructor.
TEST(BitmapDataLibrary, SubclassInstancesHoldTheirBitmap)
{
    Script body;
    body.call(BD, "call", {QStringLiteral("@this"), 2.0, 3.0, 0.0, double(0x00FF00)}).pop();
    Script s;
    s.w.defineFunction(QStringLiteral("Sub"), {}, body.w);
    s.setMember("Sub.prototype", "__proto__", QStringLiteral("@") + BD + QStringLiteral(".prototype"));
    s.let("x", [](Script& s) { s.make(QStringLiteral("Sub")); });
    s.traceGet("x.height");
    s.call("x", "getPixel", {1.0, 2.0}).trace();
    auto run = Start(s.w);
    EXPECT_EQ(run->lines, QStringList({"3", "65280"}));
}

// loadBitmap copies a library bitmap exported under a name.
TEST(BitmapDataLibrary, LoadBitmapCopiesAnExportedPicture)
{
    QImage pic(2, 1, QImage::Format_ARGB32);
    pic.setPixel(0, 0, 0xFFFF0000u);
    pic.setPixel(1, 0, 0x8000FF00u);
    Script s;
    s.let("b", [](Script& s) { s.call(BD, "loadBitmap", {QStringLiteral("pic")}); });
    s.traceGet("b.width");
    s.call("b", "getPixel32", {0.0, 0.0}).trace();
    // Half-transparent green survives being kept premultiplied.
    s.call("b", "getPixel32", {1.0, 0.0}).trace();
    s.let("none", [](Script& s) { s.call(BD, "loadBitmap", {QStringLiteral("missing")}); });
    s.traceGet("none");
    auto run = Start(s.w, 8, {}, [&pic](swf::SwfWriter& w) {
        w.defineBitsLossless(1, pic);
        w.exportAssets({{1, QStringLiteral("pic")}});
    });
    EXPECT_EQ(run->lines, QStringList({"2", "-65536", "-2147418368", "undefined"}));
}

} // namespace
} // namespace plovex::avm1

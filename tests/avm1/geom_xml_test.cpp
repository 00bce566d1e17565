// flash.geom, XML and loads from files as scripts use them: small movies
// built with the project's writer, run through the frame loop, their trace
// output checked.

#include "script_builder.h"

#include "avm1/frame_loop.h"
#include "swf/player.h"
#include "swf/writer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <variant>

namespace plovex::avm1 {
namespace {

struct Run {
    QStringList lines, warnings;
    std::unique_ptr<swf::Player> player;
};

std::unique_ptr<Run> Start(const Script& s, const QString& moviePath = {}, int frames = 1)
{
    swf::WriterOptions o;
    o.version = 8;
    o.frameSize = swf::Rect{0, 200 * 20, 0, 100 * 20};
    o.frameRate = 10;
    swf::SwfWriter w(o);
    w.doAction(s.w);
    for (int i = 0; i < frames; ++i) {
        w.showFrame();
        if (i == 0)
            w.doAction(ActionWriter().stop());
    }
    auto run = std::make_unique<Run>();
    ScriptOptions opt;
    opt.virtualClock = true;
    opt.moviePath = moviePath;
    QStringList* lines = &run->lines;
    opt.trace = [lines](const QString& l) { lines->append(l); };
    QStringList* warnings = &run->warnings;
    opt.warning = [warnings](const QString& l) { warnings->append(l); };
    run->player = std::make_unique<swf::Player>(swf::LoadMovie(w.finish()), ScriptedMovies(opt));
    return run;
}

struct Case {
    const char* name;
    std::function<void(Script&)> script;
    QStringList expected;
};

class GeomXml : public ::testing::TestWithParam<Case> {};

TEST_P(GeomXml, TracesWhatThePlayerTraces)
{
    Script s;
    GetParam().script(s);
    auto run = Start(s);
    EXPECT_EQ(run->lines, GetParam().expected);
}

const QString P = QStringLiteral("flash.geom.Point");
const QString R = QStringLiteral("flash.geom.Rectangle");
const QString M = QStringLiteral("flash.geom.Matrix");
const QString C = QStringLiteral("flash.geom.ColorTransform");

INSTANTIATE_TEST_SUITE_P(
    Cases, GeomXml,
    ::testing::Values(
        Case{"PointArithmetic",
             [](Script& s) {
                 s.let("p", [](Script& s) { s.make(P, {3.0, 4.0}); });
                 s.let("q", [](Script& s) { s.make(P, {-1.0, 1.0}); });
                 s.traceGet("p").traceGet("p.length");
                 s.call("p", "add", {"@q"}).trace();
                 s.call("flash.geom.Point", "distance", {"@p", "@q"}).trace();
                 s.call("flash.geom.Point", "interpolate", {"@p", "@q", 0.25}).trace();
                 s.call("p", "normalize", {10.0}).pop().traceGet("p");
                 s.make(P, {1.0}).trace();   // a missing y stays undefined
             },
             {"(x=3, y=4)", "5", "(x=2, y=5)", "5", "(x=0, y=1.75)", "(x=6, y=8)", "(x=1, y=undefined)"}},
        Case{"RectangleSetOperations",
             [](Script& s) {
                 s.let("r", [](Script& s) { s.make(R, {0.0, 0.0, 10.0, 10.0}); });
                 s.let("o", [](Script& s) { s.make(R, {5.0, 5.0, 10.0, 10.0}); });
                 s.call("r", "intersection", {"@o"}).trace();
                 s.call("r", "union", {"@o"}).trace();
                 s.call("r", "contains", {10.0, 5.0}).trace();   // the right edge is outside
                 s.setMember("r", "left", 4.0).traceGet("r").traceGet("r.bottomRight");
                 s.call("r", "inflate", {1.0, 2.0}).pop().traceGet("r");
             },
             {"(x=5, y=5, w=5, h=5)", "(x=0, y=0, w=15, h=15)", "false", "(x=4, y=0, w=6, h=10)",
              "(x=10, y=10)", "(x=3, y=-2, w=8, h=14)"}},
        Case{"MatrixComposition",
             [](Script& s) {
                 s.let("m", [](Script& s) { s.make(M, {2.0, 3.0, 5.0, 7.0, 9.0, 11.0}); });
                 s.call("m", "invert").pop().traceGet("m");
                 s.call("m", "invert").pop().traceGet("m");   // inverting twice gives it back
                 s.let("pt", [](Script& s) { s.make(P, {1.0, 1.0}); });
                 s.call("m", "transformPoint", {"@pt"}).trace();
                 s.call("m", "deltaTransformPoint", {"@pt"}).trace();
                 s.let("n", [](Script& s) { s.make(M); });
                 s.call("n", "translate", {1.0, 2.0}).pop();
                 s.call("n", "scale", {3.0, 4.0}).pop().traceGet("n");
                 s.call("n", "createGradientBox", {200.0, 300.0}).pop().traceGet("n");
             },
             {"(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)", "(a=2, b=3, c=5, d=7, tx=9, ty=11)", "(x=16, y=21)",
              "(x=7, y=10)", "(a=3, b=0, c=0, d=4, tx=3, ty=8)",
              "(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)"}},
        Case{"ColorTransformChannels",
             [](Script& s) {
                 s.let("c", [](Script& s) { s.make(C); });
                 s.setMember("c", "rgb", double(0xFF1900)).traceGet("c.rgb").traceGet("c");
                 s.let("d", [](Script& s) { s.make(C, {0.5, 0.5, 0.5, 0.5, 10.0, 20.0, 30.0, 40.0}); });
                 s.call("d", "concat", {"@d"}).pop().traceGet("d");
             },
             {"16718080",
              "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, redOffset=255, "
              "greenOffset=25, blueOffset=0, alphaOffset=0)",
              "(redMultiplier=0.25, greenMultiplier=0.25, blueMultiplier=0.25, alphaMultiplier=0.25, redOffset=15, "
              "greenOffset=30, blueOffset=45, alphaOffset=60)"}},
        Case{"SubclassesAreSetUpBySuperConstructorCalls",
             [](Script& s) {
                 // o.__proto__ = Class.prototype; Class.call(o, ...), as super() does.
                 for (const char* cls : {"flash.geom.ColorTransform", "flash.geom.Point"}) {
                     s.let("o", [](Script& s) { s.make("Object"); });
                     s.get("o").w.push(QStringLiteral("__proto__"));
                     s.get(QString::fromLatin1(cls) + QStringLiteral(".prototype")).w.op(0x4F);
                     s.call(QString::fromLatin1(cls), "call", {"@o", 2.0, 3.0}).pop();
                     s.traceGet("o");
                 }
                 s.traceGet("o.length");
             },
             {"(redMultiplier=2, greenMultiplier=3, blueMultiplier=1, alphaMultiplier=1, redOffset=0, greenOffset=0, "
              "blueOffset=0, alphaOffset=0)",
              "(x=2, y=3)", "3.60555127546399"}},
        Case{"XmlParsesAndWritesBack",
             [](Script& s) {
                 s.let("x", [](Script& s) {
                     s.make("XML", {QStringLiteral("<?xml version='1.0'?><a k=\"v&amp;w\"><b>t&lt;</b><c/></a>")});
                 });
                 s.traceGet("x").traceGet("x.status").traceGet("x.xmlDecl");
                 s.traceGet("x.firstChild.attributes.k");
                 s.traceGet("x.firstChild.firstChild.firstChild.nodeValue");
                 s.traceGet("x.firstChild.lastChild.nodeName").traceGet("x.firstChild.childNodes.length");
                 s.traceGet("x.firstChild.lastChild.previousSibling.nodeName");
                 s.traceGet("x.firstChild.firstChild.firstChild.nodeType");
             },
             {"<?xml version='1.0'?><a k=\"v&amp;w\"><b>t&lt;</b><c /></a>", "0", "<?xml version='1.0'?>", "v&w", "t<",
              "c", "2", "b", "3"}},
        Case{"XmlIgnoreWhiteDropsBlankText",
             [](Script& s) {
                 s.let("x", [](Script& s) { s.make("XML"); });
                 s.setMember("x", "ignoreWhite", 1.0);
                 s.call("x", "parseXML", {QStringLiteral("<a>\n  <b> x </b>\n</a>")}).pop().traceGet("x");
             },
             {"<a><b> x </b></a>"}},
        Case{"XmlTreeEdits",
             [](Script& s) {
                 s.let("x", [](Script& s) { s.make("XML", {QStringLiteral("<a><b /></a><c />")}); });
                 s.let("a", [](Script& s) { s.get("x.firstChild"); });
                 s.let("b", [](Script& s) { s.get("a.firstChild"); });
                 s.let("kids", [](Script& s) { s.get("x.childNodes"); });
                 s.call("x", "appendChild", {"@b"}).pop().traceGet("x").traceGet("kids.length");
                 s.call("b", "appendChild", {"@x"}).pop();   // an ancestor cannot become a child
                 s.call("x", "insertBefore", {"@b", "@a"}).pop().traceGet("x");
                 s.call("a", "cloneNode", {1.0}).trace();
                 s.call("b", "removeNode").pop().traceGet("x").traceGet("kids.length").traceGet("b.parentNode");
                 s.call("a", "hasChildNodes").trace();
             },
             {"<a /><c /><b />", "3", "<b /><a /><c />", "<a />", "<a /><c />", "2", "null", "false"}},
        Case{"XmlCreatesNodes",
             [](Script& s) {
                 s.let("x", [](Script& s) { s.make("XML"); });
                 s.let("e", [](Script& s) { s.call("x", "createElement", {QStringLiteral("item")}); });
                 s.setMember("e.attributes", "id", 7.0);
                 s.let("t", [](Script& s) { s.call("x", "createTextNode", {QStringLiteral("a&b")}); });
                 s.call("e", "appendChild", {"@t"}).pop();
                 s.call("x", "appendChild", {"@e"}).pop().traceGet("x");
             },
             {"<item id=\"7\">a&amp;b</item>"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(GeomXmlStatus, ParseErrorsReportThePlayersCodes)
{
    const std::vector<std::pair<QString, int>> cases = {
        {"<a><b></b></a>", 0},   {"<a>", -9},        {"</a>", -10},      {"<a></b>", -9},
        {"<a b='c>", -8},        {"<!-- x", -5},     {"<![CDATA[x", -2}, {"<?xml ", -3},
        {"<!DOCTYPE x", -4},     {"<a b=c/>", -6},
    };
    Script s;
    for (const auto& c : cases) {
        const QString& text = c.first;
        s.let("x", [&](Script& s) { s.make("XML", {text}); });
        s.traceGet("x.status");
    }
    auto run = Start(s);
    QStringList expected;
    for (const auto& c : cases)
        expected << QString::number(c.second);
    EXPECT_EQ(run->lines, expected);
}

TEST(GeomXmlLoad, LoadsReadFilesNextToTheMovieOnceTheFrameEnds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile f(dir.filePath(QStringLiteral("data.xml")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xEF\xBB\xBF<r>H\xC3\xA9llo</r>");
    f.close();

    // onLoad = function (ok) { trace(ok); trace(this); trace(this.getBytesTotal()); }
    Script body;
    body.traceGet("ok").traceGet("this").call("this", "getBytesTotal").trace();
    Script s;
    for (const char* name : {"good", "bad"}) {
        s.let(QString::fromLatin1(name), [](Script& s) { s.make("XML"); });
        s.get(QString::fromLatin1(name));
        s.w.push(QStringLiteral("onLoad")).defineFunction(QString(), {QStringLiteral("ok")}, body.w).op(0x4F);
    }
    s.call("good", "load", {QStringLiteral("data.xml")}).pop();
    s.call("bad", "load", {QStringLiteral("http://example.invalid/none.xml")}).pop();
    s.call("good", "getBytesLoaded").trace();
    auto run = Start(s, QDir(dir.path()).filePath(QStringLiteral("movie.swf")), 2);
    // Nothing arrives while the frame's scripts run; both loads end once
    // they are done, the first frame as any other.
    const QStringList expected{"0", "true", QStringLiteral("<r>H\u00E9llo</r>"), "16", "false", "", "undefined"};
    EXPECT_EQ(run->lines, expected);
    run->player->advance(2);
    EXPECT_EQ(run->lines, expected);
}

TEST(Loading, VariablesLoadVarsAndClipLoadersReadFilesNextToTheMovie)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& [name, bytes] : {std::pair<const char*, QByteArray>{"vars.txt", "a=1&b=two+words&c=%C3%A9&"},
                                      {"other.swf", "FWS\x08"}}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    auto handler = [](Script& s, const QString& object, const QString& event, const QStringList& params,
                      const Script& body) {
        s.get(object);
        s.w.push(event).defineFunction(QString(), params, body.w).op(0x4F);
    };
    Script s;
    // _root.loadVariables("vars.txt"): the variables are the root's once the file arrives.
    s.call("_root", "loadVariables", {QStringLiteral("vars.txt")}).pop();
    s.let("lv", [](Script& s) { s.make("LoadVars"); });
    Script loaded;
    loaded.traceGet("ok").traceGet("this.b").traceGet("this.c").traceGet("_root.a");
    handler(s, "lv", "onLoad", {QStringLiteral("ok")}, loaded);
    s.call("lv", "load", {QStringLiteral("vars.txt")}).trace();
    s.let("missing", [](Script& s) { s.make("LoadVars"); });
    handler(s, "missing", "onLoad", {QStringLiteral("ok")}, Script().traceGet("ok"));
    s.call("missing", "load", {QStringLiteral("none.txt")}).pop();
    // A clip loader hears itself: a missing movie is not found; a movie
    // that is there starts and cannot complete (other movies are not
    // loaded into this one).
    s.let("mcl", [](Script& s) { s.make("MovieClipLoader"); });
    handler(s, "mcl", "onLoadStart", {QStringLiteral("t")}, Script().traceGet("t"));
    handler(s, "mcl", "onLoadError", {QStringLiteral("t"), QStringLiteral("e")}, Script().traceGet("e"));
    s.call("mcl", "loadClip", {QStringLiteral("none.swf"), QStringLiteral("@_root")}).trace();
    s.call("mcl", "loadClip", {QStringLiteral("other.swf"), QStringLiteral("@_root")}).pop();
    auto run = Start(s, QDir(dir.path()).filePath(QStringLiteral("movie.swf")));
    EXPECT_EQ(run->lines, (QStringList{"true", "true", "true", "two words", QStringLiteral("\u00E9"), "1", "false",
                                       "URLNotFound", "_level0", "LoadNeverCompleted"}));
    ASSERT_EQ(run->warnings.size(), 1);
    EXPECT_TRUE(run->warnings[0].contains(QStringLiteral("other.swf")));
}

} // namespace
} // namespace plovex::avm1

// Keyboard focus in scripted movies: the order Tab follows (by position,
// by tabIndex), Selection.setFocus/getFocus and the focus events, built as
// small movies with the project's writer and driven through the frame loop.

#include "avm1/frame_loop.h"
#include "swf/player.h"
#include "swf/writer.h"

#include <gtest/gtest.h>

namespace plovex::avm1 {
namespace {

using swf::ActionWriter;

constexpr int kBoxShape = 1, kBoxSprite = 2, kInputField = 3;
constexpr uint8_t kAdd2 = 0x47, kSetMember = 0x4F, kNewObject = 0x40, kPop = 0x17;

// A clip placed on the root: a 40 x 20 pixel box with its top-left corner
// at (x, y).
struct Clip {
    const char* name;
    double x, y;
};

// obj.prop = value, with the value pushed by `value`.
void SetMember(ActionWriter& w, const QString& object, const QString& prop, const std::function<void()>& value)
{
    w.push(object).getVariable().push(prop);
    value();
    w.op(kSetMember);
}

// A Selection listener that traces "old -> new" for every focus change,
// and for each object named in `handlers` onSetFocus/onKillFocus methods
// that trace what they hear.
ActionWriter FocusTracing(const QStringList& handlers)
{
    ActionWriter w;
    w.push(QStringLiteral("listener")).pushInt(0).push(QStringLiteral("Object")).op(kNewObject).setVariable();
    ActionWriter body;
    body.push(QStringLiteral("o")).getVariable().push(QStringLiteral(" -> ")).op(kAdd2);
    body.push(QStringLiteral("n")).getVariable().op(kAdd2).trace();
    SetMember(w, QStringLiteral("listener"), QStringLiteral("onSetFocus"),
              [&] { w.defineFunction(QString(), {QStringLiteral("o"), QStringLiteral("n")}, body); });
    w.push(QStringLiteral("listener")).getVariable().callMethod(1, QStringLiteral("Selection"), QStringLiteral("addListener")).op(kPop);
    for (const QString& h : handlers)
        for (const char* event : {"onSetFocus", "onKillFocus"}) {
            ActionWriter say;
            say.push(h + QLatin1Char('.') + QLatin1String(event) + QLatin1String(": ")).push(QStringLiteral("other")).getVariable();
            say.op(kAdd2).trace();
            SetMember(w, h, QString::fromLatin1(event),
                      [&] { w.defineFunction(QString(), {QStringLiteral("other")}, say); });
        }
    return w;
}

struct Run {
    QStringList lines;
    std::unique_ptr<swf::Player> player;
    swf::MovieRuntime& movie() { return *player->scripts(); }
    void press(int code, int ascii = 0)
    {
        movie().key(true, code, ascii);
        movie().key(false, code, ascii);
    }
};

// A movie with the clips (and an input field named "field" at 0, 200),
// whose first frame runs `setup` after the focus tracing is in place.
std::unique_ptr<Run> Start(const std::vector<Clip>& clips, const ActionWriter& setup,
                           const QStringList& handlers = {})
{
    swf::WriterOptions o;
    o.version = 8;
    o.frameSize = swf::Rect{0, 400 * 20, 0, 300 * 20};
    o.frameRate = 10;
    swf::SwfWriter w(o);
    swf::ShapeBuilder box;
    box.style(box.addFill(swf::SolidFill(Qt::blue)), 0, 0).rect(QRectF(0, 0, 800, 400));
    w.defineShape(kBoxShape, box.build());
    swf::TagStream inner;
    inner.placeObject2(swf::PlaceNew(kBoxShape, 1));
    inner.showFrame();
    w.defineSprite(kBoxSprite, inner);
    int depth = 1;
    for (const Clip& c : clips) {
        swf::PlaceObject p = swf::PlaceNew(kBoxSprite, depth++, swf::Translate(c.x * 20, c.y * 20));
        p.name = QString::fromLatin1(c.name);
        w.placeObject2(p);
    }
    w.defineEditText(kInputField, swf::Rect{0, 2000, 0, 400}, QStringLiteral("hello"), false);
    swf::PlaceObject field = swf::PlaceNew(kInputField, depth++, swf::Translate(0, 200 * 20));
    field.name = QStringLiteral("field");
    w.placeObject2(field);
    w.doAction(FocusTracing(handlers));
    w.doAction(setup);
    w.doAction(ActionWriter().stop());
    w.showFrame();
    auto run = std::make_unique<Run>();
    ScriptOptions opt;
    opt.virtualClock = true;
    QStringList* lines = &run->lines;
    opt.trace = [lines](const QString& l) { lines->append(l); };
    run->player = std::make_unique<swf::Player>(swf::LoadMovie(w.finish()), ScriptedMovies(opt));
    return run;
}

ActionWriter SetAll(const std::vector<std::tuple<const char*, const char*, double>>& sets)
{
    ActionWriter w;
    for (const auto& [object, prop, value] : sets)
        SetMember(w, QString::fromLatin1(object), QString::fromLatin1(prop), [&, v = value] { w.push(v); });
    return w;
}

struct TabCase {
    const char* name;
    std::vector<Clip> clips;
    std::vector<std::tuple<const char*, const char*, double>> sets;   // obj.prop = number (1/0 for flags)
    int tabs;
    bool shift;
    QStringList expected;
};

class TabOrder : public ::testing::TestWithParam<TabCase> {};

TEST_P(TabOrder, TabVisitsTheObjectsInTheFlashPlayersOrder)
{
    const TabCase& c = GetParam();
    auto run = Start(c.clips, SetAll(c.sets));
    run->lines.clear();
    if (c.shift)
        run->movie().key(true, 16, 0);
    for (int i = 0; i < c.tabs; ++i)
        run->press(9, 9);
    EXPECT_EQ(run->lines, c.expected);
}

const std::vector<Clip> kSquare = {{"a", 100, 10}, {"b", 10, 10}, {"c", 10, 60}, {"d", 200, 0}};

INSTANTIATE_TEST_SUITE_P(
    Cases, TabOrder,
    ::testing::Values(
        // Six times the top plus the left edge: b (60+10), a (60+100),
        // d (0+200), c (360+10), then the input field (1200+0).
        TabCase{"AutomaticByPosition", kSquare, {{"a", "tabEnabled", 1}, {"b", "tabEnabled", 1},
                                                 {"c", "tabEnabled", 1}, {"d", "tabEnabled", 1}},
                6, false,
                {"null -> _level0.b", "_level0.b -> _level0.a", "_level0.a -> _level0.d", "_level0.d -> _level0.c",
                 "_level0.c -> _level0.field", "_level0.field -> _level0.b"}},
        // The line falls one pixel for six to the right: a clip 20 pixels
        // lower comes before one 300 pixels to the right.
        TabCase{"LowerButFarLeftComesFirst", {{"low", 0, 20}, {"right", 300, 0}},
                {{"low", "tabEnabled", 1}, {"right", "tabEnabled", 1}}, 3, false,
                {"null -> _level0.low", "_level0.low -> _level0.right", "_level0.right -> _level0.field"}},
        // Two objects on the same line: only the first in display order.
        TabCase{"SameLineKeepsTheFirst", {{"first", 60, 0}, {"second", 0, 10}},
                {{"first", "tabEnabled", 1}, {"second", "tabEnabled", 1}}, 2, false,
                {"null -> _level0.first", "_level0.first -> _level0.field"}},
        // Clips without handlers or tabEnabled are skipped; so is a hidden one.
        TabCase{"OnlyTabEnabledAndVisible", kSquare,
                {{"a", "tabEnabled", 1}, {"c", "tabEnabled", 1}, {"c", "_visible", 0}, {"field", "tabEnabled", 0}},
                2, false, {"null -> _level0.a"}},
        // With any tabIndex, only tab-enabled objects with one, by index;
        // equal ones in display order.
        TabCase{"CustomOrderByTabIndex", kSquare,
                {{"a", "tabEnabled", 1}, {"b", "tabEnabled", 1}, {"c", "tabEnabled", 1}, {"d", "tabEnabled", 1},
                 {"a", "tabIndex", 3}, {"b", "tabIndex", 1}, {"c", "tabIndex", 3}},
                4, false,
                {"null -> _level0.b", "_level0.b -> _level0.a", "_level0.a -> _level0.c", "_level0.c -> _level0.b"}},
        // _root.tabChildren = false takes every object out.
        TabCase{"TabChildrenFalse", kSquare, {{"a", "tabEnabled", 1}, {"_root", "tabChildren", 0}}, 2, false, {}},
        // Shift+Tab goes backwards, starting from the last.
        TabCase{"ShiftTabReverses", kSquare, {{"a", "tabEnabled", 1}, {"b", "tabEnabled", 1}}, 3, true,
                {"null -> _level0.field", "_level0.field -> _level0.a", "_level0.a -> _level0.b"}}),
    [](const ::testing::TestParamInfo<TabCase>& info) { return std::string(info.param.name); });

TEST(Focus, SetFocusAndGetFocusFollowTheFlashPlayersRules)
{
    ActionWriter w;
    auto traceCall = [&](const std::function<void()> pushArg, int argCount, const char* method) {
        if (pushArg)
            pushArg();
        w.callMethod(argCount, QStringLiteral("Selection"), QString::fromLatin1(method)).trace();
    };
    auto get = [&](const char* name) { return [&w, name] { w.push(QString::fromLatin1(name)).getVariable(); }; };
    traceCall(get("a"), 1, "setFocus");                                   // a plain clip: refused
    SetMember(w, QStringLiteral("a"), QStringLiteral("focusEnabled"), [&] { w.pushBool(true); });
    traceCall(get("a"), 1, "setFocus");                                   // now it may
    traceCall({}, 0, "getFocus");
    traceCall([&] { w.push(QStringLiteral("_level0.b")); }, 1, "setFocus");   // a path; b has no handlers
    traceCall([&] { w.push(QStringLiteral("field")); }, 1, "setFocus");        // a path to the field
    traceCall({}, 0, "getBeginIndex");                                   // an input field starts all selected
    traceCall({}, 0, "getEndIndex");
    traceCall([&] { w.push(1.0).push(4.0); }, 2, "setSelection");   // setSelection(4, 1)
    traceCall({}, 0, "getBeginIndex");
    traceCall({}, 0, "getCaretIndex");
    traceCall({}, 0, "getEndIndex");
    traceCall([&] { w.pushBool(false); }, 1, "setFocus");                // not an object: refused
    traceCall([&] { w.pushNull(); }, 1, "setFocus");
    traceCall({}, 0, "getFocus");
    traceCall({}, 0, "getCaretIndex");
    auto run = Start(kSquare, w, {QStringLiteral("a"), QStringLiteral("field")});
    const QStringList expected = {
        "false",
        "a.onSetFocus: null", "null -> _level0.a", "true",
        "_level0.a",
        "false",
        "a.onKillFocus: _level0.field", "field.onSetFocus: _level0.a", "_level0.a -> _level0.field", "true",
        "0", "5",
        "undefined", "1", "1", "4",
        "false",
        "field.onKillFocus: null", "_level0.field -> null", "true",
        "null", "-1"};
    EXPECT_EQ(run->lines, expected);
}

TEST(Focus, EnterOnATabbedClipClicksItAndRemovingItDropsTheFocus)
{
    ActionWriter w;
    ActionWriter say;
    say.push(QStringLiteral("released")).trace();
    SetMember(w, QStringLiteral("b"), QStringLiteral("onRelease"), [&] { w.defineFunction(QString(), {}, say); });
    auto run = Start({{"b", 10, 10}}, w);
    run->lines.clear();
    run->press(9, 9);    // to b, whose onRelease makes it tabbable
    run->press(13, 13);
    run->press(32, 32);
    EXPECT_EQ(run->lines, (QStringList{"null -> _level0.b", "released", "released"}));
    EXPECT_FALSE(run->movie().focusRect().isEmpty());
    // A click elsewhere takes the focus away; the rectangle goes with it.
    run->lines.clear();
    run->movie().mouseMove(390, 290);
    run->movie().mouseButton(true);
    run->movie().mouseButton(false);
    EXPECT_EQ(run->lines, (QStringList{"_level0.b -> null"}));
    EXPECT_TRUE(run->movie().focusRect().isEmpty());
    // Typing into a clicked input field replaces its selection.
    run->lines.clear();
    run->movie().mouseMove(5, 205);
    run->movie().mouseButton(true);
    run->movie().mouseButton(false);
    run->movie().text(QStringLiteral("x"));
    EXPECT_EQ(run->lines, (QStringList{"null -> _level0.field"}));
    auto* scripted = dynamic_cast<ScriptedMovie*>(&run->movie());
    ASSERT_TRUE(scripted);
    ASSERT_TRUE(scripted->runtime().focus && scripted->runtime().focus->textState);
    EXPECT_EQ(scripted->runtime().focus->textState->text, QStringLiteral("x"));
}

} // namespace
} // namespace plovex::avm1

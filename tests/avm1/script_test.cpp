// Scripted movies built with the project's writer, run through the frame
// loop with their trace output collected.

#include "avm1/script_run.h"
#include "swf/fixtures.h"
#include "swf/limits.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <functional>

namespace plovex::avm1 {
namespace {

using swf::ActionWriter;
using swf::SwfWriter;

TEST(Avm1Script, StopOnAFrameHoldsTheTimelineThere)
{
    SwfWriter w(Options());
    for (int f = 0; f < 12; ++f) {
        if (f == 9)
            w.doAction(ActionWriter().stop());
        w.showFrame();
    }
    auto run = Start(w.finish());
    run->player->advance(20);
    EXPECT_EQ(run->player->currentFrame(), 9);
}

TEST(Avm1Script, ArithmeticStringsAndFunctionCallsTrace)
{
    ActionWriter body;
    body.push(QStringLiteral("a")).getVariable().push(QStringLiteral("b")).getVariable().op(0x47).op(0x3E);
    ActionWriter a;
    a.defineFunction(QStringLiteral("sum"), {QStringLiteral("a"), QStringLiteral("b")}, body);
    a.push(3.0).push(4.0).callFunction(2, QStringLiteral("sum")).trace();                 // 7
    a.push(QStringLiteral("x")).push(1.5).op(0x47).trace();                              // x1.5
    a.push(1.0).push(3.0).op(0x0D).trace();                                              // 1/3
    a.push(QStringLiteral("10")).push(QStringLiteral("9")).op(0x48).trace();             // "10" < "9": true
    a.pushInt(2).pushInt(1).pushInt(2).op(0x42).push(QStringLiteral("length")).op(0x4E).trace();   // 2
    a.pushUndefined().trace();
    SwfWriter w(Options());
    w.doAction(a);
    w.showFrame();
    auto run = Start(w.finish());
    EXPECT_EQ(run->lines, (QStringList{"7", "x1.5", "0.333333333333333", "true", "2", "undefined"}));
}

TEST(Avm1Script, FrameActionsRunOncePerFrameInOrder)
{
    SwfWriter w(Options());
    for (int f = 0; f < 3; ++f) {
        w.doAction(ActionWriter().push(QStringLiteral("frame %1").arg(f + 1)).trace());
        w.showFrame();
    }
    auto run = Start(w.finish());
    run->player->advance(3);
    EXPECT_EQ(run->lines, (QStringList{"frame 1", "frame 2", "frame 3", "frame 1"}));
}

TEST(Avm1Script, GoingBackToAFrameRunsItsScriptOnce)
{
    SwfWriter w(Options());
    w.doAction(ActionWriter().stop());
    w.showFrame();
    w.doAction(ActionWriter().push(QStringLiteral("two")).trace());
    w.showFrame();
    w.doAction(ActionWriter().push(QStringLiteral("three")).trace());
    w.showFrame();
    auto run = Start(w.finish());
    run->player->gotoFrame(2);
    run->player->gotoFrame(1);
    EXPECT_EQ(run->lines, (QStringList{"three", "two"}));
    EXPECT_EQ(run->player->currentFrame(), 1);
}

TEST(Avm1Script, HostileScriptsAreStoppedAndThePlayerGoesOn)
{
    // An endless loop, endless recursion and a string doubled without end:
    // each is cut off, and later frames still run.
    ActionWriter loop;
    loop.jump(-5);
    ActionWriter recurse;
    recurse.defineFunction(QStringLiteral("f"), {}, ActionWriter().callFunction(0, QStringLiteral("f")));
    recurse.callFunction(0, QStringLiteral("f"));
    ActionWriter doubling;
    doubling.push(QStringLiteral("s")).push(QStringLiteral("xxxxxxxxxxxxxxxx")).setVariable();
    for (int i = 0; i < 40; ++i)   // s = s + s
        doubling.push(QStringLiteral("s")).push(QStringLiteral("s")).getVariable().push(QStringLiteral("s")).getVariable().op(0x47).setVariable();
    // Endless recursion disables the movie's actions for good, as the
    // Flash Player does; the others stop only the list that ran on.
    const struct {
        const char* name;
        ActionWriter code;
        bool laterFramesRun;
    } cases[] = {{"loop", loop, true}, {"recursion", recurse, false}, {"doubling", doubling, true}};
    for (const auto& c : cases) {
        SwfWriter w(Options(7));
        w.doAction(c.code);
        w.showFrame();
        w.doAction(ActionWriter().push(QStringLiteral("after")).trace());
        w.showFrame();
        QElapsedTimer t;
        t.start();
        auto run = Start(w.finish(), 300);
        run->player->advance(1);
        EXPECT_LT(t.elapsed(), 60000) << c.name;
        EXPECT_EQ(run->lines, c.laterFramesRun ? QStringList{"after"} : QStringList{}) << c.name;
        EXPECT_FALSE(run->warnings.isEmpty()) << c.name;
    }
}

TEST(Avm1Script, AJumpOutOfTheActionListEndsIt)
{
    // Branches before the first action or past the last one end the list
    // instead of reading bytes that are not its own.
    for (const int offset : {-100, -32768, 32767}) {
        ActionWriter a;
        a.push(QStringLiteral("before")).trace().jump(offset).push(QStringLiteral("skipped")).trace();
        SwfWriter w(Options(7));
        w.doAction(a);
        w.showFrame();
        w.doAction(ActionWriter().push(QStringLiteral("after")).trace());
        w.showFrame();
        auto run = Start(w.finish());
        run->player->advance(1);
        EXPECT_EQ(run->lines, (QStringList{"before", "after"})) << offset;
    }
}

// SetTarget with its path in the action's data.
ActionWriter& SetTarget(ActionWriter& a, const QString& path)
{
    QByteArray d = path.toUtf8();
    d.append('\0');
    return a.op(0x8B, d);
}

TEST(Avm1Script, TellTargetAndTimelinesThatLeaveTheStage)
{
    struct Case {
        const char* name;
        int version;
        std::function<void(SwfWriter&)> build;
        QStringList expected;
    };
    const Case cases[] = {
        {"names inside tellTarget are the target's", 7,
         [](SwfWriter& w) {
             ActionWriter a;
             a.push(1.0).push(QStringLiteral("c")).callMethod(2, QStringLiteral("_root"), QStringLiteral("createEmptyMovieClip")).op(0x17);
             a.push(QStringLiteral("c")).getVariable().push(QStringLiteral("x")).push(QStringLiteral("in c")).op(0x4F);
             SetTarget(a, QStringLiteral("c")).push(QStringLiteral("x")).getVariable().trace();
             SetTarget(a, QString()).push(QStringLiteral("x")).getVariable().trace();
             w.doAction(a);
             w.showFrame();
         },
         {"in c", "undefined"}},
        {"a clip given to tellTarget is found again by its path", 7,
         [](SwfWriter& w) {
             ActionWriter a;
             for (int depth : {1, 2}) {   // two clips named "c"; the second is kept in b
                 a.push(QStringLiteral("b")).push(double(depth)).push(QStringLiteral("c"))
                     .callMethod(2, QStringLiteral("_root"), QStringLiteral("createEmptyMovieClip")).setVariable();
                 a.push(QStringLiteral("b")).getVariable().push(QStringLiteral("x")).push(QStringLiteral("depth %1").arg(depth)).op(0x4F);
             }
             a.push(QStringLiteral("b")).getVariable().op(0x20).push(QStringLiteral("x")).getVariable().trace();
             SetTarget(a, QString());
             w.doAction(a);
             w.showFrame();
         },
         {"depth 1"}},
        {"an unknown target is the root up to version 6", 6,
         [](SwfWriter& w) {
             ActionWriter a;
             a.stop();
             SetTarget(a, QStringLiteral("nothere")).gotoFrame(1);
             SetTarget(a, QString());
             w.doAction(a);
             w.showFrame();
             w.doAction(ActionWriter().push(QStringLiteral("frame 2")).trace());
             w.showFrame();
         },
         {"frame 2"}},
        {"an unknown target is nothing from version 7", 7,
         [](SwfWriter& w) {
             ActionWriter a;
             a.stop();
             SetTarget(a, QStringLiteral("nothere")).gotoFrame(1);
             SetTarget(a, QString());
             w.doAction(a);
             w.showFrame();
             w.doAction(ActionWriter().push(QStringLiteral("frame 2")).trace());
             w.showFrame();
         },
         {}},
        {"a call that removes the script's own clip ends the script", 7,
         [](SwfWriter& w) {
             swf::TagStream sprite;
             ActionWriter s;
             s.push(QStringLiteral("before")).trace();
             s.pushInt(2).callMethod(1, QStringLiteral("_parent"), QStringLiteral("gotoAndStop")).op(0x17);
             s.push(QStringLiteral("after")).trace();
             sprite.doAction(s);
             sprite.showFrame();
             w.defineSprite(2, sprite);
             w.placeObject2(swf::PlaceNew(2, 1));
             w.doAction(ActionWriter().stop());
             w.showFrame();
             w.removeObject2(1);
             w.showFrame();
         },
         {"before"}},
        {"names of a clip that has left the stage are looked up on the root", 7,
         [](SwfWriter& w) {
             swf::TagStream sprite;
             ActionWriter s;
             s.push(QStringLiteral("v")).push(QStringLiteral("the clip's")).op(0x3C);
             SetTarget(s, QStringLiteral("_root")).gotoFrame(1);
             SetTarget(s, QString()).push(QStringLiteral("v")).getVariable().trace();
             sprite.doAction(s);
             sprite.showFrame();
             w.defineSprite(2, sprite);
             w.placeObject2(swf::PlaceNew(2, 1));
             w.doAction(ActionWriter().push(QStringLiteral("v")).push(QStringLiteral("the root's")).op(0x3C).stop());
             w.showFrame();
             w.removeObject2(1);
             w.showFrame();
         },
         {"the root's"}},
        {"the later of two exports of one name wins", 7,
         [](SwfWriter& w) {
             for (int id : {2, 3}) {
                 swf::TagStream sprite;
                 sprite.doAction(ActionWriter().push(QStringLiteral("sprite %1").arg(id)).trace());
                 sprite.showFrame();
                 w.defineSprite(id, sprite);
                 w.exportAssets({{id, QStringLiteral("thing")}});
             }
             w.doAction(ActionWriter().pushInt(1).push(QStringLiteral("a")).push(QStringLiteral("thing"))
                            .callMethod(3, QStringLiteral("_root"), QStringLiteral("attachMovie")).op(0x17));
             w.showFrame();
         },
         {"sprite 3"}},
        {"unnamed clips are numbered and shapes are not", 7,
         [](SwfWriter& w) {
             w.defineShape(1, swf::test::RectShape(QRectF(0, 0, 10, 10), Qt::red));
             swf::TagStream empty;
             empty.showFrame();
             w.defineSprite(2, empty);
             w.placeObject2(swf::PlaceNew(1, 1));
             w.placeObject2(swf::PlaceNew(2, 2));
             w.doAction(ActionWriter().push(QStringLiteral("instance1")).getVariable().trace());
             w.showFrame();
         },
         {"_level0.instance1"}},
        {"sizing a clip with nothing in it leaves it at zero scale", 7,
         [](SwfWriter& w) {
             ActionWriter a;
             a.push(1.0).push(QStringLiteral("e")).callMethod(2, QStringLiteral("_root"), QStringLiteral("createEmptyMovieClip")).op(0x17);
             a.push(QStringLiteral("e")).getVariable().push(QStringLiteral("_width")).push(20.0).op(0x4F);
             a.push(QStringLiteral("e")).getVariable().push(QStringLiteral("_xscale")).op(0x4E).trace();
             a.push(QStringLiteral("e")).getVariable().push(QStringLiteral("_yscale")).op(0x4E).trace();
             w.doAction(a);
             w.showFrame();
         },
         {"0", "0"}},
    };
    for (const Case& c : cases) {
        SwfWriter w(Options(c.version));
        c.build(w);
        auto run = Start(w.finish());
        run->player->advance(2);
        EXPECT_EQ(run->lines, c.expected) << c.name;
    }
}

TEST(Avm1Script, OneFrameScripts)
{
    // WaitForFrame2 with a skip count of 2 around a trace of the frame given.
    auto waitFor = [](ActionWriter& a, double frame, const QString& said) -> ActionWriter& {
        return a.push(frame).op(0x8D, QByteArray(1, 2)).push(said).trace();
    };
    ActionWriter waits;
    waitFor(waits, 1, QStringLiteral("1"));
    waitFor(waits, 16001, QStringLiteral("16001"));
    waitFor(waits, 16002, QStringLiteral("16002"));   // past the limit: the trace is skipped
    waitFor(waits, 16002.5, QStringLiteral("16002.5"));
    waitFor(waits, -43, QStringLiteral("-43"));

    // An array whose length and an index are given a getter by addProperty.
    ActionWriter array;
    array.push(QStringLiteral("o")).pushInt(3).pushInt(2).pushInt(1).pushInt(3).op(0x42).op(0x3C);
    ActionWriter ten;
    ten.push(10.0).op(0x3E);
    array.pushNull();   // no setter
    array.defineFunction(QString(), {}, ten);
    array.push(QStringLiteral("length")).pushInt(3).push(QStringLiteral("o")).getVariable().push(QStringLiteral("addProperty")).op(0x52).trace();
    array.push(QStringLiteral("o")).getVariable().push(QStringLiteral("length")).op(0x4E).trace();
    array.defineFunction(QString(), {}, ten);   // no setter at all: refused
    array.push(QStringLiteral("x")).pushInt(2).push(QStringLiteral("o")).getVariable().push(QStringLiteral("addProperty")).op(0x52).trace();

    // parseFloat reads numbers as the Flash Player did, last bits included.
    ActionWriter parse;
    parse.push(QStringLiteral(".1499999")).callFunction(1, QStringLiteral("parseFloat")).push(0.14999990000000005).op(0x66).trace();
    for (const char* text : {"1.2345.678", "1.2345.6e50", "1e4294967297", " -034.1+e20", "e10"})
        parse.push(QString::fromLatin1(text)).callFunction(1, QStringLiteral("parseFloat")).trace();

    // A function applied or called on undefined or null runs on _global.
    ActionWriter onGlobal;
    ActionWriter isGlobal;
    isGlobal.push(QStringLiteral("this")).getVariable().push(QStringLiteral("_global")).getVariable().op(0x66).trace();
    onGlobal.defineFunction(QStringLiteral("f"), {}, isGlobal);
    onGlobal.pushUndefined().callMethod(1, QStringLiteral("f"), QStringLiteral("apply")).op(0x17);
    onGlobal.pushNull().callMethod(1, QStringLiteral("f"), QStringLiteral("call")).op(0x17);

    const struct {
        const char* name;
        ActionWriter code;
        QStringList expected;
    } cases[] = {
        {"WaitForFrame2", waits, {"1", "16001", "16002.5", "-43"}},
        {"apply and call without this", onGlobal, {"true", "true"}},
        {"parseFloat", parse, {"true", "1.2345678", "1.23456", "10", "-34.1", "NaN"}},
        {"addProperty on an array", array, {"true", "10", "false"}},
    };
    for (const auto& c : cases) {
        SwfWriter w(Options(7));
        w.doAction(c.code);
        w.showFrame();
        auto run = Start(w.finish());
        EXPECT_EQ(run->lines, c.expected) << c.name;
    }
}

TEST(Avm1Script, PlacementsThatCannotStand)
{
    // A place on a depth in use fails with the player's warning and keeps
    // what stands there.
    {
        SwfWriter w(Options(7));
        for (int id : {1, 2}) {
            swf::TagStream sprite;
            sprite.doAction(ActionWriter().push(QStringLiteral("sprite %1").arg(id)).trace());
            sprite.showFrame();
            w.defineSprite(id, sprite);
        }
        w.placeObject2(swf::PlaceNew(1, 1));
        w.placeObject2(swf::PlaceNew(2, 1));
        w.showFrame();
        auto run = Start(w.finish());
        EXPECT_EQ(run->lines, (QStringList{"Warning: Failed to place object at depth 1.", "sprite 1"}));
    }
    // A sprite that places itself nests only so deep; the movie plays on.
    {
        SwfWriter w(Options(7));
        swf::TagStream sprite;
        sprite.doAction(ActionWriter().push(QStringLiteral("in")).trace());
        sprite.placeObject2(swf::PlaceNew(1, 1));
        sprite.showFrame();
        w.defineSprite(1, sprite);
        w.placeObject2(swf::PlaceNew(1, 1));
        w.showFrame();
        w.doAction(ActionWriter().push(QStringLiteral("frame 2")).trace());
        w.showFrame();
        auto run = Start(w.finish());
        run->player->advance(1);
        const auto nested = run->lines.count(QStringLiteral("in"));
        EXPECT_GE(nested, 10);
        EXPECT_LE(nested, 2 * swf::kMaxSpriteNesting);
        EXPECT_TRUE(run->lines.contains(QStringLiteral("frame 2")));
    }
}

TEST(Avm1Script, ArrayElementsAndNamesEnumerateNewestFirst)
{
    // a = [1, 2, 3] (InitArray takes its items last to first)
    auto abc = [](ActionWriter& a) -> ActionWriter& {
        return a.push(QStringLiteral("a")).pushInt(3).pushInt(2).pushInt(1).pushInt(3).op(0x42).setVariable();
    };
    auto set = [](ActionWriter& a, const QString& key, const QString& value) -> ActionWriter& {
        return a.push(QStringLiteral("a")).getVariable().push(key).push(value).op(0x4F);
    };
    ActionWriter mixed;   // a = []; a[1] = "u"; a[0] = "e"; a.foo = "f"; a[5] = "g"
    mixed.push(QStringLiteral("a")).pushInt(0).op(0x42).setVariable();
    set(mixed, QStringLiteral("1"), QStringLiteral("u"));
    set(mixed, QStringLiteral("0"), QStringLiteral("e"));
    set(mixed, QStringLiteral("foo"), QStringLiteral("f"));
    set(mixed, QStringLiteral("5"), QStringLiteral("g"));
    ActionWriter reversed;   // pairs from the ends change places, made anew
    abc(reversed).callMethod(0, QStringLiteral("a"), QStringLiteral("reverse")).op(0x17);
    ActionWriter unshifted;   // moved elements made anew from the last, then the new ones
    abc(unshifted).pushInt(9).callMethod(1, QStringLiteral("a"), QStringLiteral("unshift")).op(0x17);
    ActionWriter spliced;   // an undefined count leaves the array alone
    abc(spliced).pushUndefined().pushInt(1).callMethod(2, QStringLiteral("a"), QStringLiteral("splice")).trace();
    const struct {
        const char* name;
        ActionWriter code;
        QStringList expected;
    } cases[] = {
        {"elements and a name", mixed, {"5", "foo", "0", "1"}},
        {"reverse", reversed, {"2", "0", "1"}},
        {"unshift", unshifted, {"0", "1", "2", "3"}},
        {"splice", spliced, {"undefined", "2", "1", "0"}},
    };
    for (const auto& c : cases) {
        ActionWriter a = c.code;
        // for (k in a) trace(k)
        a.push(QStringLiteral("a")).getVariable().op(0x55);
        a.op(0x4C).pushNull().op(0x49).ifTrue(6).trace().jump(-17);
        a.op(0x17);
        SwfWriter w(Options(7));
        w.doAction(a);
        w.showFrame();
        auto run = Start(w.finish());
        EXPECT_EQ(run->lines, c.expected) << c.name;
    }
}

TEST(Avm1Script, ButtonClickRunsItsActionAndShowsTheHandCursor)
{
    SwfWriter w(Options());
    w.defineShape(1, swf::test::RectShape(QRectF(0, 0, 50, 50), Qt::red));
    ActionWriter onRelease;
    onRelease.push(QStringLiteral("clicked")).trace().gotoFrame(2);
    w.defineButton2(2, {swf::ButtonRecordSpec{1, 1}}, {{swf::kCondOverDownToOverUp, onRelease}});
    w.placeObject2(swf::PlaceNew(2, 1, swf::Translate(200, 200)));
    w.doAction(ActionWriter().stop());
    w.showFrame();
    w.showFrame();
    w.doAction(ActionWriter().push(QStringLiteral("frame 3")).trace().stop());
    w.showFrame();
    auto run = Start(w.finish());
    swf::MovieRuntime* rt = run->player->scripts();
    ASSERT_NE(rt, nullptr);
    rt->mouseMove(150, 80);   // outside
    EXPECT_EQ(rt->cursor(), Qt::ArrowCursor);
    rt->mouseMove(20, 20);    // over the button
    EXPECT_EQ(rt->cursor(), Qt::PointingHandCursor);
    rt->mouseButton(true);
    rt->mouseButton(false);
    EXPECT_EQ(run->lines, (QStringList{"clicked", "frame 3"}));
    EXPECT_EQ(run->player->currentFrame(), 2);
}

TEST(Avm1Script, KeyListenersHearKeys)
{
    ActionWriter a;
    // var l = {}; l.onKeyDown = function () { trace(Key.getCode()); }; Key.addListener(l);
    a.push(QStringLiteral("l")).pushInt(0).op(0x43).setVariable();
    ActionWriter handler;
    handler.pushInt(0).push(QStringLiteral("Key")).getVariable().push(QStringLiteral("getCode")).op(0x52).trace();
    a.push(QStringLiteral("l")).getVariable().push(QStringLiteral("onKeyDown"));
    a.defineFunction(QString(), {}, handler);
    a.op(0x4F);
    a.push(QStringLiteral("l")).getVariable().pushInt(1).push(QStringLiteral("Key")).getVariable().push(QStringLiteral("addListener")).op(0x52).op(0x17);
    SwfWriter w(Options());
    w.doAction(a);
    w.showFrame();
    auto run = Start(w.finish());
    run->player->scripts()->key(true, 65, 'a');
    run->player->scripts()->key(false, 65, 'a');
    EXPECT_EQ(run->lines, (QStringList{"65"}));
}

// Flags that hide a property by the reading movie's version, as each
// version of the Flash Player treats them.
TEST(Avm1Script, PropertyFlagsHideByTheMovieVersion)
{
    const int flags[] = {0x80, 0x100, 0x400, 0x1000, 0x2000, 0x4000};
    const struct { int version; const char* visible; } cases[] = {
        {5, "false true false false false false"},
        {6, "true false false false false false"},
        {7, "true true true false false false"},
        {9, "true true true true true false"},
    };
    for (const auto& c : cases) {
        ActionWriter a;
        for (int f : flags) {
            a.push(QStringLiteral("o")).push(QStringLiteral("p")).pushInt(1).pushInt(1).op(0x43).setVariable();
            a.pushInt(0).pushInt(f).push(QStringLiteral("p")).push(QStringLiteral("o")).getVariable().pushInt(4)
                .push(QStringLiteral("ASSetPropFlags")).op(0x3D).op(0x17);
            a.push(QStringLiteral("o")).getVariable().push(QStringLiteral("p")).op(0x4E).pushUndefined().op(0x49).op(0x12).trace();
        }
        SwfWriter w(Options(c.version));
        w.doAction(a);
        w.showFrame();
        auto run = Start(w.finish());
        EXPECT_EQ(run->lines.join(QLatin1Char(' ')), QString::fromLatin1(c.visible)) << "version " << c.version;
    }
}

// isFinite() without an argument is false in every version (undefined is
// 0 before version 7 everywhere else); a clip's gotoAndStop takes a
// "path:frame" string as the goto action does.
TEST(Avm1Script, MissingArgumentsAndFramePaths)
{
    ActionWriter a;
    a.pushInt(0).push(QStringLiteral("isFinite")).op(0x3D).trace();
    a.push(QStringLiteral("/:3")).pushInt(1).push(QStringLiteral("_root")).getVariable()
        .push(QStringLiteral("gotoAndStop")).op(0x52).op(0x17);
    SwfWriter w(Options(6));
    w.doAction(a);
    for (int f = 0; f < 4; ++f)
        w.showFrame();
    auto run = Start(w.finish());
    EXPECT_EQ(run->lines, (QStringList{"false"}));
    EXPECT_EQ(run->player->currentFrame(), 2);
}

// A clip's drawing counts in its size, and a duplicate starts from a copy
// of it: drawing more on the copy leaves the original as it was.
TEST(Avm1Script, DrawnShapesSizeTheClipAndDuplicatesCopyThem)
{
    const QString mc = QStringLiteral("mc"), mc2 = QStringLiteral("mc2");
    auto call = [](ActionWriter& a, const QString& clip, const char* method, std::initializer_list<double> args) {
        for (auto it = std::rbegin(args); it != std::rend(args); ++it)
            a.push(*it);
        a.pushInt(int(args.size())).push(clip).getVariable().push(QString::fromLatin1(method)).op(0x52).op(0x17);
    };
    auto width = [](ActionWriter& a, const QString& clip) {
        a.push(clip).getVariable().push(QStringLiteral("_width")).op(0x4E).trace();
    };
    ActionWriter a;
    a.pushInt(1).push(mc).pushInt(2).push(QStringLiteral("_root")).getVariable()
        .push(QStringLiteral("createEmptyMovieClip")).op(0x52).op(0x17);
    call(a, mc, "beginFill", {0xff0000});
    call(a, mc, "lineTo", {100, 100});
    call(a, mc, "lineTo", {0, 100});
    call(a, mc, "lineTo", {0, 0});
    call(a, mc, "endFill", {});
    width(a, mc);
    a.pushInt(2).push(mc2).pushInt(2).push(mc).getVariable().push(QStringLiteral("duplicateMovieClip")).op(0x52).op(0x17);
    call(a, mc2, "moveTo", {300, 0});
    call(a, mc2, "beginFill", {0x00ff00});
    call(a, mc2, "lineTo", {400, 100});
    call(a, mc2, "lineTo", {300, 100});
    call(a, mc2, "endFill", {});
    width(a, mc2);
    width(a, mc);
    SwfWriter w(Options(8));
    w.doAction(a);
    w.showFrame();
    auto run = Start(w.finish());
    EXPECT_EQ(run->lines, (QStringList{"100", "400", "100"}));
}

// How names and paths resolve: a dot path that breaks off in one scope is
// tried in the next; a nameless property is never made; an object always
// owns its __proto__; >>> reads back signed up to version 8.
TEST(Avm1Script, PathsNamesAndShiftsResolveAsThePlayerDoes)
{
    for (int version : {8, 10}) {
        ActionWriter a;
        // this.a = {b: {}}; _global.a = {b: {c: "global"}}; trace(a.b.c)
        a.push(QStringLiteral("a")).push(QStringLiteral("b")).pushInt(0).op(0x43).pushInt(1).op(0x43).setVariable();
        a.push(QStringLiteral("_global")).getVariable().push(QStringLiteral("a"))
            .push(QStringLiteral("b")).push(QStringLiteral("c")).push(QStringLiteral("global")).pushInt(1).op(0x43)
            .pushInt(1).op(0x43).op(0x4F);
        a.push(QStringLiteral("a.b.c")).getVariable().trace();
        // o = {}; o[""] = 1; o.hasOwnProperty(""), o.hasOwnProperty("__proto__")
        a.push(QStringLiteral("o")).pushInt(0).op(0x43).setVariable();
        a.push(QStringLiteral("o")).getVariable().push(QString()).pushInt(1).op(0x4F);
        a.push(QString()).pushInt(1).push(QStringLiteral("o")).getVariable().push(QStringLiteral("hasOwnProperty")).op(0x52).trace();
        a.push(QStringLiteral("__proto__")).pushInt(1).push(QStringLiteral("o")).getVariable()
            .push(QStringLiteral("hasOwnProperty")).op(0x52).trace();
        a.pushInt(-3).pushInt(0).op(0x65).trace();
        SwfWriter w(Options(version));
        w.doAction(a);
        w.showFrame();
        auto run = Start(w.finish());
        EXPECT_EQ(run->lines, (QStringList{"global", "false", "true", version == 8 ? "-3" : "4294967293"})) << version;
    }
}

// A prototype chain that loops on itself stops the action list there.
TEST(Avm1Script, APrototypeLoopStopsTheScript)
{
    ActionWriter a;
    a.push(QStringLiteral("o")).pushInt(0).op(0x43).setVariable();
    a.push(QStringLiteral("o")).getVariable().push(QStringLiteral("__proto__")).push(QStringLiteral("o")).getVariable().op(0x4F);
    a.push(QStringLiteral("o")).getVariable().push(QStringLiteral("missing")).op(0x4E).trace();
    a.push(QStringLiteral("not reached")).trace();
    SwfWriter w(Options(6));
    w.doAction(a);
    w.showFrame();
    w.doAction(ActionWriter().push(QStringLiteral("next frame")).trace());
    w.showFrame();
    auto run = Start(w.finish());
    run->player->advance(1);
    EXPECT_EQ(run->lines, (QStringList{"next frame"}));
}

// for..in visits an object's own names (latest first) before its
// prototype's; a call's argument count is unsigned, so a huge one takes
// every value left on the stack.
TEST(Avm1Script, EnumerationOrderAndArgumentCounts)
{
    ActionWriter a;
    // p = {x: 1, y: 2}; o = {__proto__: p}; o.z = 3; o.x = 4
    a.push(QStringLiteral("p")).push(QStringLiteral("x")).pushInt(1).push(QStringLiteral("y")).pushInt(2).pushInt(2).op(0x43).setVariable();
    a.push(QStringLiteral("o")).push(QStringLiteral("__proto__")).push(QStringLiteral("p")).getVariable().pushInt(1).op(0x43).setVariable();
    a.push(QStringLiteral("o")).getVariable().push(QStringLiteral("z")).pushInt(3).op(0x4F);
    a.push(QStringLiteral("o")).getVariable().push(QStringLiteral("x")).pushInt(4).op(0x4F);
    // for (k in o) trace(k): Enumerate2 pushes null then the names.
    a.push(QStringLiteral("o")).getVariable().op(0x55);
    // loop: dup; push null; equals; if -> end; trace; jump -> loop
    a.op(0x4C).pushNull().op(0x49).ifTrue(6).trace().jump(-17);
    a.op(0x17);
    // new Array(...) given 2^32 + 2^31 + 1 arguments: takes "b", "a" and the marker.
    a.push(QStringLiteral("marker")).push(QStringLiteral("a")).push(QStringLiteral("b")).push(4294967297.0 + 2147483648.0)
        .push(QStringLiteral("Array")).op(0x40).push(QStringLiteral("length")).op(0x4E).trace();
    SwfWriter w(Options(7));
    w.doAction(a);
    w.showFrame();
    auto run = Start(w.finish());
    EXPECT_EQ(run->lines, (QStringList{"y", "x", "z", "3"}));
}

} // namespace
} // namespace plovex::avm1

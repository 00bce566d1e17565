// A movie's own scripts in the real main window: the left button, moves
// and keys reach the movie, the right button stays with the context menu,
// and stepping back runs the destination frame's script once.

#include "playback/playback_fixture.h"

#include "avm1/clip.h"
#include "avm1/frame_loop.h"
#include "swf/fixtures.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace plovex;

namespace {

using swf::ActionWriter;

class ScriptedInput : public test::PlaybackTest {
protected:
    // 200 x 100 stage; a 50 px button at 10,10 whose release goes to frame 2.
    QByteArray buttonMovie()
    {
        swf::WriterOptions o;
        o.frameSize = swf::Rect{0, 200 * 20, 0, 100 * 20};
        swf::SwfWriter w(o);
        w.defineShape(1, swf::test::RectShape(QRectF(0, 0, 50, 50), Qt::red));
        w.defineButton2(2, {swf::ButtonRecordSpec{1, 1}}, {{swf::kCondOverDownToOverUp, ActionWriter().gotoFrame(2)}});
        w.placeObject2(swf::PlaceNew(2, 1, swf::Translate(200, 200)));
        w.doAction(ActionWriter().stop());
        w.showFrame();
        w.showFrame();
        w.doAction(ActionWriter().stop());
        w.showFrame();
        return w.finish();
    }

    // var l = {}; l.onKeyDown = function () { hits = Key.getCode(); }; Key.addListener(l);
    static ActionWriter keyCodeListener()
    {
        ActionWriter a;
        a.push(QStringLiteral("l")).pushInt(0).op(0x43).setVariable();
        ActionWriter handler;
        handler.push(QStringLiteral("hits")).pushInt(0).push(QStringLiteral("Key")).getVariable()
            .push(QStringLiteral("getCode")).op(0x52).setVariable();
        a.push(QStringLiteral("l")).getVariable().push(QStringLiteral("onKeyDown"));
        a.defineFunction(QString(), {}, handler);
        a.op(0x4F);
        a.push(QStringLiteral("l")).getVariable().pushInt(1).push(QStringLiteral("Key")).getVariable()
            .push(QStringLiteral("addListener")).op(0x52).op(0x17);
        return a;
    }

    TMFrm& open(const QByteArray& movie)
    {
        TMFrm& f = make(0);
        f.resize(800, 600);
        f.show();
        f.OpenMovie(write(QStringLiteral("scripted.swf"), movie));
        return f;
    }

    // Where a stage point shows in the player widget.
    QPointF onWidget(double x, double y)
    {
        const QTransform view = swf::ViewTransform(QRectF(0, 0, 200, 100), QSizeF(flash().size()), swf::RenderOptions());
        return view.map(QPointF(x, y));
    }

    void mouse(QEvent::Type type, Qt::MouseButton button, const QPointF& at)
    {
        QMouseEvent e(type, at, flash().mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
        QApplication::sendEvent(&flash(), &e);
    }

    // A root variable as a script reads it as text.
    QString rootText(const char* name)
    {
        auto* sm = dynamic_cast<avm1::ScriptedMovie*>(flash().Scripts());
        if (!sm)
            return QString();
        avm1::Runtime& rt = sm->runtime();
        avm1::ClipObject* root = rt.clipObject(rt.root());
        avm1::Activation a(rt, rt.version(), nullptr, root, root);
        return rt.toString(a, rootVariable(name));
    }

    avm1::Value rootVariable(const char* name)
    {
        auto* sm = dynamic_cast<avm1::ScriptedMovie*>(flash().Scripts());
        if (!sm)
            return avm1::Value();
        avm1::Runtime& rt = sm->runtime();
        avm1::ClipObject* root = rt.clipObject(rt.root());
        avm1::Activation a(rt, rt.version(), nullptr, root, root);
        return root->get(a, QString::fromLatin1(name));
    }
};

TEST_F(ScriptedInput, AClickOnAButtonRunsItsActionAndTheHandShowsOverIt)
{
    open(buttonMovie());
    ASSERT_NE(flash().Scripts(), nullptr);
    flash().PlayTimerTick();
    EXPECT_EQ(flash().FrameNum(), 0);   // stop() on the first frame holds it

    mouse(QEvent::MouseMove, Qt::NoButton, onWidget(150, 80));
    EXPECT_EQ(flash().cursor().shape(), Qt::ArrowCursor);
    mouse(QEvent::MouseMove, Qt::NoButton, onWidget(30, 30));
    EXPECT_EQ(flash().cursor().shape(), Qt::PointingHandCursor);

    mouse(QEvent::MouseButtonPress, Qt::LeftButton, onWidget(30, 30));
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, onWidget(30, 30));
    EXPECT_EQ(flash().FrameNum(), 2);
}

TEST_F(ScriptedInput, TheRightButtonStillOpensTheContextMenu)
{
    TMFrm& f = open(buttonMovie());
    mouse(QEvent::MouseButtonPress, Qt::RightButton, onWidget(30, 30));
    EXPECT_TRUE(f.PopupMenu1->isVisible());
    f.PopupMenu1->hide();
    EXPECT_EQ(flash().FrameNum(), 0);
}

TEST_F(ScriptedInput, KeysReachTheMoviesKeyListenersButShortcutsStayWithTheWindow)
{
    ActionWriter a = keyCodeListener();
    a.stop();
    swf::SwfWriter w;
    w.doAction(a);
    w.showFrame();
    open(w.finish());

    QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier, QStringLiteral("o"));
    QApplication::sendEvent(&flash(), &ctrl);
    EXPECT_TRUE(rootVariable("hits").isUndefined());

    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&flash(), &press);
    EXPECT_EQ(rootVariable("hits").asNumber(), 65);
}

TEST_F(ScriptedInput, TabReachesTheMovieAndMovesItsFocusInsteadOfQtsFocus)
{
    // A button at 10,10 and a key listener; Tab must not leave the control.
    swf::WriterOptions o;
    o.version = 8;
    o.frameSize = swf::Rect{0, 200 * 20, 0, 100 * 20};
    swf::SwfWriter w(o);
    w.defineShape(1, swf::test::RectShape(QRectF(0, 0, 50, 50), Qt::red));
    w.defineButton2(2, {swf::ButtonRecordSpec{1, 1}}, {});
    w.placeObject2(swf::PlaceNew(2, 1, swf::Translate(200, 200)));
    ActionWriter a = keyCodeListener();
    a.stop();
    w.doAction(a);
    w.showFrame();
    open(w.finish());
    flash().setFocus();
    auto* sm = dynamic_cast<avm1::ScriptedMovie*>(flash().Scripts());
    ASSERT_NE(sm, nullptr);
    EXPECT_EQ(sm->runtime().focus, nullptr);

    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(&flash(), &tab);
    EXPECT_EQ(rootVariable("hits").asNumber(), 9);
    ASSERT_NE(sm->runtime().focus, nullptr);   // the button took the movie's focus
    EXPECT_FALSE(sm->focusRect().isEmpty());   // and shows the yellow rectangle

    // Shift+Tab arrives as Backtab and reaches the movie too.
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&flash(), &letter);
    EXPECT_EQ(rootVariable("hits").asNumber(), 65);
    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier, QString());
    QApplication::sendEvent(&flash(), &back);
    EXPECT_EQ(rootVariable("hits").asNumber(), 9);
}

TEST_F(ScriptedInput, SteppingBackRunsTheDestinationFramesScriptOnce)
{
    // Frame 2 counts its runs in `n`; frame 3 stops.
    swf::SwfWriter w;
    w.doAction(ActionWriter().push(QStringLiteral("n")).pushInt(0).setVariable());
    w.showFrame();
    w.doAction(ActionWriter()
                   .push(QStringLiteral("n"))
                   .push(QStringLiteral("n")).getVariable().op(0x50)
                   .setVariable());
    w.showFrame();
    w.doAction(ActionWriter().stop());
    w.showFrame();
    TMFrm& f = open(w.finish());
    flash().SetFrameNum(2);
    EXPECT_EQ(rootVariable("n").asNumber(), 0);   // passing frame 2 on the way runs nothing
    f.mnuBackNum->trigger();
    EXPECT_EQ(flash().FrameNum(), 1);
    EXPECT_EQ(rootVariable("n").asNumber(), 1);
}

TEST_F(ScriptedInput, TextTypedIntoAnInputFieldShowsAndAScriptReadsIt)
{
    // An input field bound to `typed`, 10,10 to 190,40 on the stage; each
    // frame's script copies what the field holds into `seen`.
    swf::WriterOptions o;
    o.frameSize = swf::Rect{0, 200 * 20, 0, 100 * 20};
    swf::SwfWriter w(o);
    swf::EditTextCharacter field;
    field.bounds = swf::Rect{0, 180 * 20, 0, 30 * 20};
    field.border = true;
    field.hasColor = true;
    field.color = Qt::black;
    field.variableName = QStringLiteral("typed");
    w.defineEditText(1, field);
    swf::PlaceObject place = swf::PlaceNew(1, 1, swf::Translate(200, 200));
    place.name = QStringLiteral("field");
    w.placeObject2(place);
    const ActionWriter copy = ActionWriter()
                                  .push(QStringLiteral("seen"))
                                  .push(QStringLiteral("field")).getVariable().push(QStringLiteral("text")).op(0x4E)
                                  .setVariable();
    w.doAction(copy);
    w.showFrame();
    w.doAction(copy);
    w.showFrame();
    open(w.finish());
    ASSERT_NE(flash().Scripts(), nullptr);
    const QImage before = flash().PaintToImage();

    mouse(QEvent::MouseButtonPress, Qt::LeftButton, onWidget(40, 25));
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, onWidget(40, 25));
    for (const char* c : {"h", "i"}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_H + (c[0] - 'h'), Qt::NoModifier, QString::fromLatin1(c));
        QApplication::sendEvent(&flash(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_H + (c[0] - 'h'), Qt::NoModifier, QString::fromLatin1(c));
        QApplication::sendEvent(&flash(), &release);
    }
    EXPECT_EQ(rootText("typed"), QStringLiteral("hi"));
    flash().PlayTimerTick();
    EXPECT_EQ(rootText("seen"), QStringLiteral("hi"));

    // The letters show inside the field's box, and nowhere else changed.
    const QImage after = flash().PaintToImage();
    ASSERT_EQ(after.size(), before.size());
    const QRect box = QRectF(onWidget(10, 10), onWidget(190, 40)).toAlignedRect();
    int changedInside = 0, changedOutside = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (after.pixel(x, y) != before.pixel(x, y))
                ++(box.contains(x, y) ? changedInside : changedOutside);
    EXPECT_GT(changedInside, 10);
    EXPECT_EQ(changedOutside, 0);
}

} // namespace

#include "playback/playback_fixture.h"

#include "app/about_form.h"
#include "player/full_form.h"
#include "player/progress_form.h"
#include "player/transparency_form.h"
#include "widgets/tool_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>

#include <numeric>

using namespace plovex;

namespace {

using PlaybackWindows = test::PlaybackTest;

void releaseKey(QWidget* window, int key)
{
    QWidget* target = QApplication::focusWidget() && QApplication::focusWidget()->window() == window
                          ? QApplication::focusWidget()
                          : window;
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void clickPicture(QLabel* picture)
{
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, picture->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, picture->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(picture, &press);
    QApplication::sendEvent(picture, &release);
}

TEST_F(PlaybackWindows, SecondaryWindowsExistHiddenAfterStartUp)
{
    TMFrm& f = make(0);
    ASSERT_NE(f.FullFrm, nullptr);
    ASSERT_NE(f.PlyPFrm, nullptr);
    ASSERT_NE(f.CTMFrm, nullptr);
    EXPECT_NE(f.findChild<TAboutFrm*>(), nullptr);
    EXPECT_FALSE(f.FullFrm->isVisible());
    EXPECT_FALSE(f.PlyPFrm->isVisible());
    EXPECT_FALSE(f.CTMFrm->isVisible());
    // Created in their fixed order.
    QList<QObject*> order;
    for (QObject* child : f.children())
        if (child == f.FullFrm || child == f.PlyPFrm || child == f.CTMFrm || qobject_cast<TAboutFrm*>(child))
            order << child;
    ASSERT_EQ(order.size(), 4);
    EXPECT_EQ(order[0], f.FullFrm);
    EXPECT_TRUE(qobject_cast<TAboutFrm*>(order[1]));
    EXPECT_EQ(order[2], f.PlyPFrm);
    EXPECT_EQ(order[3], f.CTMFrm);
}

TEST_F(PlaybackWindows, ToolWindowsShareTheirLook)
{
    TMFrm& f = make(3);
    f.PlyPN->trigger();
    f.TMN->trigger();
    for (QWidget* w : {static_cast<QWidget*>(f.PlyPFrm), static_cast<QWidget*>(f.CTMFrm)}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(w->size(), QSize(496, 55));
        EXPECT_EQ(w->palette().color(QPalette::Window), QColor(216, 228, 240));
        auto* strip = w->findChild<QLabel*>(QStringLiteral("Image1"));
        auto* close = w->findChild<QLabel*>(QStringLiteral("Image2"));
        ASSERT_TRUE(strip && close);
        EXPECT_EQ(strip->geometry(), QRect(0, 0, 496, 18));
        EXPECT_EQ(close->geometry(), QRect(480, 1, 15, 15));
        EXPECT_EQ(close->toolTip(), QStringLiteral("关闭"));
        // Shown at the player's offsets inside its parent.
        EXPECT_EQ(w->pos(), f.FlashMain->pos());
    }
    auto* about = f.findChild<TAboutFrm*>();
    ASSERT_TRUE(about);
    EXPECT_EQ(about->Image2->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(about->Image1->height(), 18);
}

// Over a maximised main window the progress and transparency windows open on
// the player's top left corner, clear of the title, menu bar and toolbar;
// with the player far to the right they stay whole on the screen.
TEST_F(PlaybackWindows, ToolWindowsOpenOnThePlayerClearOfTheBarsAndOnTheScreen)
{
    TMFrm& f = make(3);
    f.showMaximized();
    QApplication::processEvents();
    const QRect screen = f.screen()->availableGeometry();
    const QRect frame = f.frameGeometry();
    const QRect bars(frame.left(), frame.top(), frame.width(), f.FlashMain->mapToGlobal(QPoint(0, 0)).y() - frame.top());
    ASSERT_TRUE(bars.contains(QRect(f.MainMenu1->mapToGlobal(QPoint(0, 0)), f.MainMenu1->size())));
    ASSERT_TRUE(bars.contains(QRect(f.ToolBar2->mapToGlobal(QPoint(0, 0)), f.ToolBar2->size())));

    struct Layout {
        const char* name;
        int leftPanel;   // width of the panels left of the player
    };
    for (const Layout& layout : {Layout{"narrow left panel", 150}, Layout{"wide left panel", screen.width() - 200}}) {
        SCOPED_TRACE(layout.name);
        QList<int> sizes = f.MainSplitter->sizes();
        ASSERT_GE(sizes.size(), 2);
        const int total = std::accumulate(sizes.begin(), sizes.end(), 0);
        sizes = QList<int>(sizes.size(), 0);
        sizes[0] = layout.leftPanel;
        sizes[1] = total - layout.leftPanel;
        f.MainSplitter->setSizes(sizes);
        QApplication::processEvents();
        const QPoint player = f.FlashMain->mapToGlobal(QPoint(0, 0));
        for (QAction* command : {f.PlyPN, f.TMN}) {
            SCOPED_TRACE(command->objectName().toStdString());
            command->trigger();
            QWidget* w = command == f.PlyPN ? static_cast<QWidget*>(f.PlyPFrm) : static_cast<QWidget*>(f.CTMFrm);
            ASSERT_TRUE(w->isVisible());
            const QRect r = w->frameGeometry();
            EXPECT_TRUE(screen.contains(r)) << r.x() << "," << r.y();
            EXPECT_FALSE(r.intersects(bars)) << r.y() << " above " << bars.bottom();
            EXPECT_EQ(r.top(), player.y());
            EXPECT_EQ(r.left(), std::min(player.x(), screen.right() + 1 - r.width()));
            w->hide();
        }
    }
}

// ---------------------------------------------------------------- progress

TEST_F(PlaybackWindows, ProgressTakesTheMovieWhenShownNotWhilePlaying)
{
    TMFrm& f = make(20);
    flash().SetFrameNum(7);
    f.N16->trigger();
    TPlyPFrm& p = *f.PlyPFrm;
    ASSERT_TRUE(p.isVisible());
    EXPECT_EQ(p.TrackBar1->maximum(), 20);
    EXPECT_EQ(p.TrackBar1->minimum(), 0);
    EXPECT_EQ(p.TrackBar1->value(), 7);
    EXPECT_EQ(p.PValue->text(), QStringLiteral("(7/20)"));
    EXPECT_EQ(p.TrackBar1->toolTip(), QStringLiteral("播放进度调节"));

    flash().SetFrameNum(12);
    EXPECT_EQ(p.TrackBar1->value(), 7) << "the slider does not follow the movie";
    p.close();
    EXPECT_FALSE(p.isVisible());
    f.PlyPN->trigger();
    EXPECT_EQ(p.TrackBar1->value(), 12);
}

TEST_F(PlaybackWindows, MovingTheSliderPlaysOnOnlyWhilePlayIsChecked)
{
    TMFrm& f = make(20);
    f.PlyPN->trigger();
    TPlyPFrm& p = *f.PlyPFrm;

    p.TrackBar1->setValue(15);
    EXPECT_EQ(flash().FrameNum(), 15);
    EXPECT_TRUE(flash().Playing());
    EXPECT_EQ(p.PValue->text(), QStringLiteral("(15/20)"));

    f.StopTB->trigger();
    p.TrackBar1->setValue(3);
    EXPECT_EQ(flash().FrameNum(), 3);
    EXPECT_FALSE(flash().Playing());
    EXPECT_EQ(p.PValue->text(), QStringLiteral("(3/20)"));
}

TEST_F(PlaybackWindows, ANewMovieWithFewerFramesPullsTheSliderDown)
{
    TMFrm& f = make(20);
    f.PlyPN->trigger();
    TPlyPFrm& p = *f.PlyPFrm;
    p.TrackBar1->setValue(15);

    f.OpenMovie(movie(6, QStringLiteral("short.swf")));
    EXPECT_EQ(p.TrackBar1->maximum(), 6);
    EXPECT_EQ(p.TrackBar1->value(), 6);
    EXPECT_EQ(flash().FrameNum(), 6) << "the pulled-down position moves the new movie";
    EXPECT_TRUE(flash().Playing());
    EXPECT_EQ(p.PValue->text(), QStringLiteral("(6/6)"));

    // A longer movie: the slider follows the new movie's first frame.
    f.OpenMovie(movie(30, QStringLiteral("long.swf")));
    EXPECT_EQ(p.TrackBar1->maximum(), 30);
    EXPECT_EQ(p.TrackBar1->value(), 0);
    EXPECT_EQ(p.PValue->text(), QStringLiteral("(0/30)"));
}

TEST_F(PlaybackWindows, AMovieOpenedAtStartUpReachesTheProgressWindowWhenShown)
{
    form = std::make_unique<TMFrm>(movie(5));
    TPlyPFrm& p = *form->PlyPFrm;
    EXPECT_TRUE(p.PValue->text().isEmpty()) << "the window did not exist when the movie opened";
    form->PlyPN->trigger();
    EXPECT_EQ(p.TrackBar1->maximum(), 5);
    EXPECT_EQ(p.PValue->text(), QStringLiteral("(0/5)"));
}

// ---------------------------------------------------------------- full screen

TEST_F(PlaybackWindows, FullScreenMovesThePlayerAndBackKeepingFrameZoomAndScale)
{
    TMFrm& f = make(20);
    f.resize(651, 464);
    f.show();
    f.mnuViewScaleNoBorder->trigger();
    f.mnuViewZoomIn->trigger();
    flash().SetFrameNum(9);
    flash().Play();
    const double zoom = flash().ZoomFactor();
    const QRect panelRect = f.FlashPanel->rect();

    f.FullTB->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.fullScreenFlag(), 1);
    EXPECT_EQ(f.FlashMain->parentWidget(), f.FullFrm);
    EXPECT_TRUE(f.FullFrm->isVisible());
    EXPECT_TRUE(f.FullFrm->windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(f.FullFrm->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(f.FullFrm->geometry(), f.screen()->geometry()) << "covers the screen of the main window";
    EXPECT_EQ(f.FlashMain->geometry(), f.FullFrm->rect());
    EXPECT_EQ(flash().FrameNum(), 9);
    EXPECT_TRUE(flash().Playing());
    EXPECT_DOUBLE_EQ(flash().ZoomFactor(), zoom);
    EXPECT_EQ(flash().Scale(), QStringLiteral("NoBorder"));

    // Ctrl+F's item again leaves it.
    f.mnuViewFull->trigger();
    EXPECT_EQ(f.fullScreenFlag(), 0);
    EXPECT_EQ(f.FlashMain->parentWidget(), f.FlashPanel);
    EXPECT_EQ(f.FlashMain->geometry(), panelRect);
    EXPECT_TRUE(f.FlashMain->isVisible());
    EXPECT_FALSE(f.FullFrm->isVisible());
    EXPECT_EQ(flash().FrameNum(), 9);
    EXPECT_TRUE(flash().Playing());
    EXPECT_DOUBLE_EQ(flash().ZoomFactor(), zoom);
    EXPECT_EQ(flash().Scale(), QStringLiteral("NoBorder"));
    EXPECT_EQ(f.StatusBar->panelWidth(1), 115);
    f.hide();
}

TEST_F(PlaybackWindows, EscapeLeavesFullScreenFromEitherWindow)
{
    TMFrm& f = make(5);
    f.show();
    f.FulP->trigger();
    ASSERT_EQ(f.fullScreenFlag(), 1);
    releaseKey(f.FullFrm, Qt::Key_A);
    EXPECT_EQ(f.fullScreenFlag(), 1) << "other keys are ignored";
    releaseKey(f.FullFrm, Qt::Key_Escape);
    EXPECT_EQ(f.fullScreenFlag(), 0);
    EXPECT_EQ(f.FlashMain->parentWidget(), f.FlashPanel);

    // Esc in the main window with full screen off: the player stays in place.
    releaseKey(&f, Qt::Key_Escape);
    EXPECT_EQ(f.fullScreenFlag(), 0);
    EXPECT_EQ(f.FlashMain->parentWidget(), f.FlashPanel);
    EXPECT_EQ(f.FlashMain->geometry(), f.FlashPanel->rect());
    f.hide();
}

TEST_F(PlaybackWindows, TheContextMenuWorksInFullScreenAndLeavesIt)
{
    TMFrm& f = make(5);
    f.show();
    f.FullTB->trigger();
    ASSERT_EQ(f.FlashMain->window(), f.FullFrm);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), f.FlashMain->mapToGlobal(QPointF(20, 20)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(f.FlashMain, &press);
    EXPECT_TRUE(f.PopupMenu1->isVisible());
    f.PopupMenu1->hide();
    f.FulP->trigger();
    EXPECT_EQ(f.fullScreenFlag(), 0);
    EXPECT_EQ(f.FlashMain->window(), &f);
    f.hide();
}

TEST_F(PlaybackWindows, PanelResizeDuringFullScreenLeavesThePlayerAlone)
{
    TMFrm& f = make(5);
    f.show();
    f.FullTB->trigger();
    const QRect inFull = f.FlashMain->geometry();
    f.FlashPanel->resize(f.FlashPanel->width() - 20, f.FlashPanel->height() - 10);
    EXPECT_EQ(f.FlashMain->parentWidget(), f.FullFrm);
    EXPECT_EQ(f.FlashMain->geometry(), inFull);
    f.SetFullScreen(false);
    f.hide();
}

// ---------------------------------------------------------------- transparency

TEST_F(PlaybackWindows, TransparencyStartsOpaqueAndFollowsTheSlider)
{
    TMFrm& f = make(3);
    f.N17->trigger();
    TCTMFrm& t = *f.CTMFrm;
    ASSERT_TRUE(t.isVisible());
    EXPECT_EQ(t.TrackBar1->minimum(), 1);
    EXPECT_EQ(t.TrackBar1->maximum(), 255);
    EXPECT_EQ(t.TrackBar1->value(), 255);
    EXPECT_TRUE(t.Label2->text().isEmpty());
    EXPECT_DOUBLE_EQ(f.windowOpacity(), 1.0);

    t.TrackBar1->setValue(0);   // the lowest value is 1: never fully invisible
    EXPECT_EQ(t.TrackBar1->value(), 1);
    EXPECT_NEAR(f.windowOpacity(), 1 / 255.0, 1.5 / 255);
    EXPECT_EQ(t.Label2->text(), QStringLiteral("(1)"));
    t.TrackBar1->setValue(128);
    EXPECT_NEAR(f.windowOpacity(), 128 / 255.0, 1.5 / 255);
    EXPECT_EQ(t.Label2->text(), QStringLiteral("(128)"));
    EXPECT_DOUBLE_EQ(f.FullFrm->windowOpacity(), 1.0) << "full screen stays opaque";
}

TEST_F(PlaybackWindows, TransparencyRefusesToCloseBelowOneHundred)
{
    TMFrm& f = make(3);
    f.show();
    f.TMN->trigger();
    TCTMFrm& t = *f.CTMFrm;
    t.TrackBar1->setValue(99);
    clickPicture(t.Image2);
    EXPECT_TRUE(t.isVisible());
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("对不起，您设置的窗体过于透明！")});
    EXPECT_FALSE(t.close());

    t.TrackBar1->setValue(100);
    clickPicture(t.Image2);
    EXPECT_FALSE(t.isVisible());
    EXPECT_EQ(prompts.messages().size(), 2);
    EXPECT_NEAR(f.windowOpacity(), 100 / 255.0, 1.5 / 255) << "the opacity stays while hidden";

    f.TMN->trigger();
    EXPECT_EQ(t.TrackBar1->value(), 100) << "the slider keeps its position";
    f.hide();
}

TEST_F(PlaybackWindows, TransparencyNeverKeepsTheMainWindowOpen)
{
    TMFrm& f = make(3);
    f.show();
    f.TMN->trigger();
    f.CTMFrm->TrackBar1->setValue(20);
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.isVisible());
    // The program then ends; asked to close on the way out, the window agrees.
    EXPECT_TRUE(f.CTMFrm->close());
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(PlaybackWindows, TheProgramEndsWhenTheMainWindowClosesWhateverTheTransparency)
{
    // The one real-time test here: the event loop runs, and closing the main
    // window must end it although the transparency window stands below 100
    // (Qt asks every window to close before it quits). The long timer only
    // bounds a failure.
    TMFrm& f = make(3);
    f.show();
    f.TMN->trigger();
    f.CTMFrm->TrackBar1->setValue(20);
    bool ended = true;
    QTimer::singleShot(0, &f, [&] { f.close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        ended = false;
        QCoreApplication::exit(1);
    });
    guard.start(20000);
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(true);
    const int code = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(quitOnClose);
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(PlaybackWindows, ProgressWindowClosesFromItsPicture)
{
    TMFrm& f = make(3);
    f.PlyPN->trigger();
    clickPicture(f.PlyPFrm->Image2);
    EXPECT_FALSE(f.PlyPFrm->isVisible());
}

} // namespace

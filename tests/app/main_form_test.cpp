#include "app/about_form.h"
#include "app/main_form.h"
#include "app/qt_translations.h"
#include "app/splash_form.h"
#include "platform/paths.h"
#include "platform/widget_prompts.h"
#include "player/frame_counter.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "support/qt_printers.h"
#include "support/main_form_fixture.h"
#include "support/swf_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTimer>
#include <QTranslator>
#include <QScopeGuard>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace plovex;

namespace {

const QString kNoSwfMessage = QStringLiteral("文件转换失败，请确认您选择的是exe格式的flash！");

class MainFormTest : public test::MainFormFixture {
protected:
    TMFrm& make(const QString& argument = {})
    {
        form = std::make_unique<TMFrm>(argument);
        return *form;
    }
};

// Every action that EnableCommands switches, with the state it must have
// after EnableCommands(enabled).
void expectCommandBlock(TMFrm& f, bool enabled)
{
    EXPECT_TRUE(f.mnuFile->menuAction()->isEnabled());
    for (QMenu* m : {f.mnuControl, f.mnuView, f.mnuSetup, f.mnuCapture, f.mnuHelp})
        EXPECT_EQ(m->menuAction()->isEnabled(), enabled) << m->objectName().toStdString();
    const QList<QAction*> file = f.mnuFile->actions();
    EXPECT_TRUE(file.front()->isEnabled());
    EXPECT_EQ(file.front(), f.mnuFileOpen);
    for (qsizetype i = 1; i < file.size(); ++i) {
        if (file[i] == f.mnuFileIE)
            EXPECT_TRUE(file[i]->isEnabled());
        else
            EXPECT_EQ(file[i]->isEnabled(), enabled) << file[i]->objectName().toStdString();
    }
    for (QAction* a : f.PopupMenu1->actions())
        EXPECT_EQ(a->isEnabled(), enabled) << a->objectName().toStdString();
    const QList<QAction*> buttons = f.ToolBar2->actions();
    EXPECT_EQ(buttons.front(), f.OpenTB);
    EXPECT_TRUE(f.OpenTB->isEnabled());
    for (qsizetype i = 1; i < buttons.size(); ++i)
        EXPECT_EQ(buttons[i]->isEnabled(), enabled) << buttons[i]->objectName().toStdString();
}

} // namespace

TEST_F(MainFormTest, CommandsAreDisabledUntilTheFirstOpen)
{
    TMFrm& f = make();
    expectCommandBlock(f, false);
    EXPECT_FALSE(f.IELst->menuAction()->isEnabled());
    // Items under the disabled menus keep their own states.
    EXPECT_TRUE(f.mnuControlStopN->isEnabled());
    EXPECT_FALSE(f.mnuCaptureCutRectImg->isEnabled());
    EXPECT_EQ(f.frameCounter(), nullptr);
    EXPECT_EQ(f.StatusBar->panelText(2), QString());
}

TEST_F(MainFormTest, AnyFirstOpenEnablesTheCommandsEvenIgnoredOrFailed)
{
    const QString plainProgram = write(QStringLiteral("tool.exe"), QByteArray(100, 'x'));
    for (const QString& path : {write(QStringLiteral("notes.txt"), "x"), plainProgram,
                                write(QStringLiteral("m.swf"), test::MovingSquareSwf(3))}) {
        TMFrm& f = make();
        f.OpenMovie(path);
        expectCommandBlock(f, true);
        EXPECT_TRUE(f.IELst->menuAction()->isEnabled());
        // The context-menu items' own submenus follow too.
        EXPECT_TRUE(f.PlyP->menuAction()->isEnabled());
    }
}

TEST_F(MainFormTest, AnOpenEndingInAnErrorLeavesTheCommandsDisabled)
{
    TMFrm& f = make();
    // A projector that cannot be read raises an error from the extraction.
    EXPECT_ANY_THROW(f.OpenMovie(work(QStringLiteral("missing.exe"))));
    expectCommandBlock(f, false);
    EXPECT_EQ(f.frameCounter(), nullptr);
}

TEST_F(MainFormTest, StartingWithAnArgumentOpensIt)
{
    const QString movie = write(QStringLiteral("start.swf"), test::MovingSquareSwf(5));
    TMFrm& f = make(movie);
    EXPECT_EQ(f.FlashMain->Movie(), movie);
    EXPECT_EQ(panel(0), QStringLiteral("播放:") + movie);
    EXPECT_EQ(panel(1), QStringLiteral("速率:默认"));
    expectCommandBlock(f, true);
    EXPECT_NE(f.frameCounter(), nullptr);
}

TEST_F(MainFormTest, OpenMovieDecidesByTheExtension)
{
    struct Case {
        const char* name;
        bool opens;
    };
    const Case cases[] = {{"MOVIE.SWF", true}, {"movie.Swf", true}, {"movie.swf.bak", false},
                          {"movie", false},    {"movie.exe.txt", false}};
    for (const Case& c : cases) {
        TMFrm& f = make();
        const QString path = write(QString::fromLatin1(c.name), test::MovingSquareSwf(4));
        f.mnuexeToswf->setEnabled(true);
        f.OpenMovie(path);
        if (c.opens) {
            EXPECT_EQ(f.FlashMain->Movie(), path) << c.name;
            EXPECT_EQ(f.FlashMain->TotalFrames(), 4) << c.name;
            EXPECT_FALSE(f.mnuexeToswf->isEnabled()) << c.name;
            EXPECT_EQ(panel(0), QStringLiteral("播放:") + path) << c.name;
            EXPECT_NE(f.frameCounter(), nullptr) << c.name;
        } else {
            EXPECT_EQ(f.FlashMain->Movie(), QString()) << c.name;
            EXPECT_TRUE(f.mnuexeToswf->isEnabled()) << c.name;   // left as it was
            EXPECT_EQ(panel(0), QString()) << c.name;
            EXPECT_EQ(f.frameCounter(), nullptr) << c.name;
        }
    }
}

TEST_F(MainFormTest, OpeningASwfChecksPlayInBothMenusButLeavesTheToolbar)
{
    TMFrm& f = make();
    f.mnuControlStopN->setChecked(true);
    f.StopP->setChecked(true);
    f.StopTB->setChecked(true);
    f.OpenMovie(write(QStringLiteral("a.swf"), test::MovingSquareSwf(2)));
    EXPECT_TRUE(f.mnuControlPlyNN->menuAction()->isChecked());
    EXPECT_FALSE(f.mnuControlStopN->isChecked());
    EXPECT_TRUE(f.PlyP->menuAction()->isChecked());
    EXPECT_FALSE(f.StopP->isChecked());
    EXPECT_TRUE(f.StopTB->isChecked());
    EXPECT_FALSE(f.PlyTB->isChecked());
}

TEST_F(MainFormTest, TwoProjectorsInARow)
{
    const QByteArray first = test::MovingSquareSwf(3);
    const QByteArray second = test::MovingSquareSwf(7);
    const QString a = write(QStringLiteral("first.exe"), test::Projector(first));
    const QString b = write(QStringLiteral("second.EXE"), test::Projector(second));
    const QString target = ProgramFolder() + QStringLiteral("flash.swf");

    TMFrm& f = make();
    f.OpenMovie(a);
    EXPECT_EQ(f.FlashMain->Movie(), target);
    EXPECT_EQ(f.FlashMain->TotalFrames(), 3);
    EXPECT_EQ(panel(0), QStringLiteral("播放:") + a);
    EXPECT_TRUE(f.mnuexeToswf->isEnabled());

    f.OpenMovie(b);
    EXPECT_EQ(f.FlashMain->Movie(), target);
    EXPECT_EQ(f.FlashMain->TotalFrames(), 7);
    EXPECT_EQ(panel(0), QStringLiteral("播放:") + b);
    EXPECT_EQ(panel(1), QStringLiteral("速率:默认"));
    EXPECT_TRUE(f.mnuexeToswf->isEnabled());
    QFile extracted(target);
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly));
    EXPECT_EQ(extracted.readAll(), second);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, APlainProgramAsProjector)
{
    const QString movie = write(QStringLiteral("ok.swf"), test::MovingSquareSwf(2));
    const QString plain = write(QStringLiteral("plain.exe"), QByteArray(300, 'p'));

    TMFrm& f = make();
    f.OpenMovie(movie);
    f.StatusBar->setPanelText(1, QStringLiteral("速率:10帧\\秒"));
    f.OpenMovie(plain);
    EXPECT_EQ(prompts.messages(), QStringList{kNoSwfMessage});
    EXPECT_TRUE(f.mnuexeToswf->isEnabled());
    EXPECT_EQ(panel(0), QStringLiteral("播放:") + movie);
    EXPECT_EQ(panel(1), QStringLiteral("速率:10帧\\秒"));
    // The player is left empty.
    EXPECT_EQ(f.FlashMain->Movie(), QStringLiteral(" "));
    EXPECT_EQ(f.FlashMain->TotalFrames(), 0);
    EXPECT_FALSE(QFile::exists(ProgramFolder() + QStringLiteral("flash.swf")));
}

TEST_F(MainFormTest, APlainProgramLeavesAPlaylistOfTwoButNotOfOne)
{
    const QString plain = write(QStringLiteral("plain.exe"), QByteArray(300, 'p'));
    struct Case {
        QStringList entries;
        int selected;
        QStringList after;
    };
    const QString other = work(QStringLiteral("other.swf"));
    const Case cases[] = {
        {{other, plain}, 1, {other}},
        {{plain}, 0, {plain}},
        {{plain, other}, 1, {plain, other}},                    // not the selected entry
        {{other, plain.toUpper()}, 1, {other, plain.toUpper()}}, // compared with case
        {{plain, plain, other}, 0, {plain, other}},
    };
    for (const Case& c : cases) {
        TMFrm& f = make();
        f.ListBox1->addItems(c.entries);
        f.ListBox1->setCurrentRow(c.selected);
        f.OpenMovie(plain);
        QStringList after;
        for (int i = 0; i < f.ListBox1->count(); ++i)
            after << f.ListBox1->item(i)->text();
        EXPECT_EQ(after, c.after);
    }
}

TEST_F(MainFormTest, OpenDialogOpensAndAppendsToThePlaylist)
{
    const QString movie = write(QStringLiteral("d.swf"), test::MovingSquareSwf(2));
    const QString ignored = write(QStringLiteral("d.txt"), "x");
    FileDialog seen;
    prompts.fileDialogAnswers.push_back([&](FileDialog& d) {
        seen = d;
        d.fileName = movie;
        return true;
    });
    prompts.answerFile(ignored);
    prompts.answerFile(movie);
    prompts.cancelFile();
    TMFrm& f = make();
    f.mnuFileOpen->trigger();
    f.OpenTB->trigger();
    f.mnuFileOpen->trigger();
    f.mnuFileOpen->trigger();   // cancelled

    EXPECT_TRUE(prompts.fileDialogAnswers.empty());
    const FileDialog& d = seen;
    EXPECT_EQ(d.title, QStringLiteral("请选择要播放的flash文件"));
    EXPECT_EQ(d.filter, QStringLiteral("全部支持格式(*.swf;*.exe)|*.swf;*.exe|swf文件(*.swf)|*.swf|exe格式(*.exe)|*.exe"));
    EXPECT_EQ(d.filterIndex, 1);
    ASSERT_EQ(f.ListBox1->count(), 3);
    EXPECT_EQ(f.ListBox1->item(0)->text(), movie);
    EXPECT_EQ(f.ListBox1->item(1)->text(), ignored);
    EXPECT_EQ(f.ListBox1->item(2)->text(), movie);
    EXPECT_EQ(f.ListBox1->currentRow(), 2);
    EXPECT_TRUE(f.ListBox1->item(2)->isSelected());
}

TEST_F(MainFormTest, OpenDialogAppendsNothingAfterAReadError)
{
    const QString missing = work(QStringLiteral("gone.exe"));
    prompts.answerFile(missing);
    TMFrm& f = make();
    f.mnuFileOpen->trigger();
    EXPECT_EQ(f.ListBox1->count(), 0);
    const QStringList errors = prompts.errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(missing)) << errors.front().toStdString();
}

TEST_F(MainFormTest, OneCounterAfterTenOpens)
{
    const int before = threadFrm::instanceCount();
    TMFrm& f = make();
    threadFrm* counter = nullptr;
    for (int i = 0; i < 10; ++i) {
        f.OpenMovie(write(QStringLiteral("m%1.swf").arg(i), test::MovingSquareSwf(2 + i)));
        if (i == 0)
            counter = f.frameCounter();
        EXPECT_EQ(f.frameCounter(), counter);
    }
    EXPECT_EQ(threadFrm::instanceCount(), before + 1);
    EXPECT_TRUE(counter->isRunning());
}

TEST_F(MainFormTest, FramePanelShowsFrameAndTotal)
{
    TMFrm& f = make();
    f.OpenMovie(write(QStringLiteral("c.swf"), test::MovingSquareSwf(9)));
    f.FlashMain->SetFrameNum(4);
    f.UpdateFrameStatus();
    EXPECT_EQ(panel(2), QStringLiteral("帧数/总帧数[4/9]"));
    f.FlashMain->SetFrameNum(12);
    f.UpdateFrameStatus();
    EXPECT_EQ(panel(2), QStringLiteral("帧数/总帧数[12/9]"));
}

TEST_F(MainFormTest, ShutDownWithARunningCounterDoesNotHang)
{
    TMFrm& f = make();
    f.OpenMovie(write(QStringLiteral("s.swf"), test::MovingSquareSwf(3)));
    QPointer<threadFrm> counter = f.frameCounter();
    ASSERT_TRUE(counter);
    QThread::msleep(100);   // a hand-over is pending: the GUI thread runs no events here
    f.close();
    form.reset();           // stops and waits for the counter, then destroys the window
    EXPECT_TRUE(counter.isNull());
    QCoreApplication::processEvents();
}

TEST_F(MainFormTest, RightClickOnThePlayerPopsUpTheContextMenu)
{
    TMFrm& f = make();
    f.resize(651, 464);
    f.show();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), f.FlashMain->mapToGlobal(QPointF(20, 20)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    EXPECT_TRUE(QApplication::sendEvent(f.FlashMain, &press) || true);
    EXPECT_TRUE(f.PopupMenu1->isVisible());
    // Every item is greyed before the first open.
    for (QAction* a : f.PopupMenu1->actions())
        EXPECT_FALSE(a->isEnabled());
    f.PopupMenu1->hide();

    // A right click elsewhere reaches its control as usual.
    QMouseEvent other(QEvent::MouseButtonPress, QPointF(5, 5), f.ListBox1->mapToGlobal(QPointF(5, 5)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(f.ListBox1->viewport(), &other);
    EXPECT_FALSE(f.PopupMenu1->isVisible());
    f.hide();
}

TEST_F(MainFormTest, ContextMenuHasTheGradientBar)
{
    TMFrm& f = make();
    auto* menu = qobject_cast<TBarPopupMenu*>(f.PopupMenu1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->VerticalText(), QStringLiteral("Plovex  v2.3"));
    EXPECT_EQ(menu->GradientStart().resolve(menu->palette()), qRgb(0, 255, 0));
    EXPECT_EQ(menu->GradientEnd().resolve(menu->palette()), menu->palette().color(QPalette::ButtonText).rgb());
    EXPECT_EQ(menu->VerticalFont().pixelSize(), 21);
    // Its submenus are plain menus.
    EXPECT_EQ(qobject_cast<TBarPopupMenu*>(f.PlyP), nullptr);
}

TEST_F(MainFormTest, ContextItemsAndButtonsRunTheMainMenuItem)
{
    TMFrm& f = make();
    f.EnableCommands(true);
    // CutP, OpenTB and SaveTB run the capture's save dialog, the open
    // dialog and the save dialog again.
    for (int i = 0; i < 3; ++i)
        prompts.cancelFile();
    prompts.inputAnswers.push_back(std::nullopt);   // PopMenuGoto and TBGoto ask for a frame
    prompts.inputAnswers.push_back(std::nullopt);
    for (int i = 0; i < 3; ++i)                      // N26, N29 and N30 ask before setting the wallpaper
        prompts.confirmAnswers.push_back(false);
    struct Pair {
        QAction* from;
        QAction* to;
    };
    const Pair pairs[] = {
        {f.StopP, f.mnuControlStopN}, {f.RePly, f.mnuControlRePly}, {f.FulP, f.mnuViewFull},
        {f.PopmnuZoomIn, f.mnuViewZoomIn}, {f.PopmnuZoomOut, f.mnuViewZoomOut},
        {f.PopmnuShowAll, f.mnuViewShowAll}, {f.PopmnuForward, f.mnuForwardNum},
        {f.PopmnuBack, f.mnuBackNum}, {f.PopMenuGoto, f.mnuControlGoto}, {f.N26, f.mnuSetWallL},
        {f.N29, f.mnuSetWallP}, {f.N30, f.mnuSetWallC}, {f.CutP, f.mnuCaptureSave}, {f.N16, f.PlyPN},
        {f.N17, f.TMN}, {f.LookP, f.mnuViewLook}, {f.PlyPR10, f.mnuCPlyR10}, {f.PlyBackR, f.mnuCPlyBackR},
        {f.OpenTB, f.mnuFileOpen}, {f.PlyTB, f.mnuCPlyR}, {f.StopTB, f.mnuControlStopN},
        {f.TBForward, f.mnuForwardNum}, {f.TBBackNum, f.mnuBackNum}, {f.TBGoto, f.mnuControlGoto},
        {f.TBZoomOut, f.mnuViewZoomIn}, {f.TBZoomIn, f.mnuViewZoomOut}, {f.TBShowAll, f.mnuViewShowAll},
        {f.FullTB, f.mnuViewFull}, {f.HGTB, f.mnuViewQualityHigh}, {f.LGTB, f.mnuViewQualityLow},
        {f.SaveTB, f.mnuCaptureSave}, {f.ReTB, f.mnuControlReN}, {f.ReP, f.mnuControlReN},
    };
    for (const Pair& p : pairs) {
        int runs = 0;
        const auto c = QObject::connect(p.to, &QAction::triggered, [&] { ++runs; });
        p.from->trigger();
        QObject::disconnect(c);
        EXPECT_EQ(runs, 1) << p.from->objectName().toStdString() << " -> " << p.to->objectName().toStdString();
    }
}

TEST_F(MainFormTest, MenusHoldTheirItemsInOrder)
{
    TMFrm& f = make();
    QStringList tops;
    for (QAction* a : f.MainMenu1->actions())
        tops << a->text();
    EXPECT_EQ(tops, (QStringList{QStringLiteral("文件(&F)"), QStringLiteral("控制(&T)"), QStringLiteral("查看(&V)"),
                                 QStringLiteral("设置(&S)"), QStringLiteral("提取元素(&Q)"), QStringLiteral("帮助(&A)")}));
    QStringList control;
    for (QAction* a : f.mnuControl->actions())
        control << a->objectName();
    EXPECT_EQ(control, (QStringList{"mnuControlPlyNN", "mnuControlStopN", "N18", "mnuControlRePly", "N41",
                                    "mnuDanZheng", "mnuControlGoto", "N20", "mnuControlReN", "N40"}));
    // Initial marks.
    EXPECT_TRUE(f.mnuCPlyR->isChecked());
    EXPECT_TRUE(f.PlyPR->isChecked());
    EXPECT_TRUE(f.mnuControlReN->isChecked());
    EXPECT_TRUE(f.ReP->isChecked());
    EXPECT_FALSE(f.ReTB->isChecked());
    EXPECT_TRUE(f.PlyTB->isChecked());
    EXPECT_TRUE(f.HGTB->isChecked());
    EXPECT_TRUE(f.mnuViewQualityHigh->isChecked());
    EXPECT_TRUE(f.mnuViewScaleShowAll->isChecked());
    EXPECT_FALSE(f.mnuHelpHow->isVisible());
    EXPECT_TRUE(f.mnuFileOpen->font().bold());
    EXPECT_EQ(f.mnuFileOpen->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
    EXPECT_EQ(f.mnuViewLook->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+V")));
    EXPECT_FALSE(f.TimerFrmNum->isActive());
    EXPECT_FALSE(f.TimerBackPly->isActive());
    EXPECT_EQ(f.ToolBar2->actions().size(), 23);
    EXPECT_EQ(f.TBZoomOut->toolTip(), QStringLiteral("放大"));
    // Radio groups: checking one unchecks the other.
    f.mnuViewScaleNoBorder->trigger();
    EXPECT_FALSE(f.mnuViewScaleShowAll->isChecked());
    // Every component is found by its name.
    for (const char* name : {"FlashMain", "FlashPanel", "PaintBox1", "CutShape", "StatusBar", "ListBox1",
                             "IEListbox", "IEPanel", "ShellTreeView", "AddressBox", "GoSB", "PopupMenu1",
                             "TimerFrmNum", "TimerBackPly", "CoolBar1", "ToolBar2", "Panel2", "VS", "gbList",
                             "GroupBoxFolder", "ApplicationEvents1"})
        EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_FALSE(f.IEPanel->isVisibleTo(&f));
}

TEST_F(MainFormTest, ResizingSetsTheStatusPanelWidths)
{
    TMFrm& f = make();
    EXPECT_EQ(f.StatusBar->panelWidth(0), 500);
    f.StatusBar->setPanelWidth(1, 100);
    f.StatusBar->setPanelWidth(2, 50);
    f.resize(700, 500);
    f.show();
    f.resize(720, 520);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.StatusBar->panelWidth(1), 115);
    EXPECT_EQ(f.StatusBar->panelWidth(2), 150);
    f.StatusBar->setPanelWidth(1, 100);
    emit f.MainSplitter->splitterMoved(120, 1);
    EXPECT_EQ(f.StatusBar->panelWidth(1), 115);
    f.hide();
}

TEST_F(MainFormTest, HelpOpensTheFileBesideTheProgram)
{
    TMFrm& f = make();
    f.EnableCommands(true);
    f.mnuHelpHow->trigger();
    f.N53->trigger();
    EXPECT_EQ(desktop.openedFiles,
              (QStringList{ProgramFolder() + QStringLiteral("plovex.chm"), ProgramFolder() + QStringLiteral("plovex.chm")}));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, EscapeRunsTheLeaveFullScreenStepsEvenWhenOff)
{
    TMFrm& f = make();
    int calls = 0;
    bool lastOn = true;
    f.fullScreenHandler = [&](bool on) {
        ++calls;
        lastOn = on;
    };
    f.show();
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : &f, &release);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(lastOn);
    EXPECT_EQ(f.fullScreenFlag(), 0);
    f.hide();
}

TEST_F(MainFormTest, AboutBoxOpensWithoutTheClip)
{
    TMFrm& f = make();
    f.EnableCommands(true);
    QTimer::singleShot(0, [&] {
        auto* about = f.findChild<TAboutFrm*>();
        ASSERT_NE(about, nullptr);
        EXPECT_TRUE(about->isVisible());
        EXPECT_EQ(about->size(), QSize(351, 192));
        EXPECT_EQ(about->Animate1->frameCount(), 0);
        about->close();
    });
    f.mnuHelpAbout->trigger();
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(SplashFrm, TheFirstTickClosesAndReleasesIt)
{
    QPointer<TSplashFrm> splash = new TSplashFrm;
    splash->show();
    EXPECT_EQ(splash->size(), QSize(442, 256));
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    splash->Timer1Timer();
    EXPECT_FALSE(splash.isNull());   // released once the handler has returned
    EXPECT_FALSE(splash->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
}

// Shortcuts fire only while their item and every menu above it are
// enabled; the hidden help item keeps Ctrl+H.
TEST_F(MainFormTest, ShortcutsFollowTheirMenus)
{
    TMFrm& f = make();
    f.resize(651, 464);
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    int restarts = 0;
    QObject::connect(f.mnuControlRePly, &QAction::triggered, [&] { ++restarts; });

    QTest::keyClick(&f, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(&f, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(desktop.openedFiles.isEmpty());
    prompts.cancelFile();
    QTest::keyClick(&f, Qt::Key_I, Qt::ControlModifier);   // the File menu is always enabled
    EXPECT_TRUE(prompts.fileDialogAnswers.empty());

    f.EnableCommands(true);
    QTest::keyClick(&f, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(&f, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(desktop.openedFiles, QStringList{ProgramFolder() + QStringLiteral("plovex.chm")});
    f.hide();
}

namespace {

// Answers the program's modal dialogs as they come, from the event loop:
// each handler gets the next dialog shown and must close it.
class ModalAnswers final : public QObject {
public:
    explicit ModalAnswers(std::vector<std::function<void(QWidget*)>> handlers)
        : handlers_(std::move(handlers))
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == last_ || !w->isVisible() || next_ >= handlers_.size())
                return;
            last_ = w;
            handlers_[next_++](w);
        });
        timer_.start(10);
    }
    std::size_t answered() const { return next_; }

private:
    std::vector<std::function<void(QWidget*)>> handlers_;
    std::size_t next_ = 0;
    QPointer<QWidget> last_;
    QTimer timer_;
};

struct DialogTexts {
    QString title;
    QStringList labels;
    QStringList buttons;
};

DialogTexts textsOf(QWidget* w)
{
    DialogTexts t;
    t.title = w->windowTitle();
    for (QLabel* l : w->findChildren<QLabel*>())
        if (!l->text().isEmpty())
            t.labels << l->text();
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
        if (b->isVisible() && !b->text().isEmpty())
            t.buttons << b->text();
    return t;
}

void clickButton(QWidget* w, const QString& text)
{
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (b->text() == text) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    w->close();
}

bool anyContains(const QStringList& texts, const QString& part)
{
    return std::any_of(texts.begin(), texts.end(), [&](const QString& t) { return t.contains(part); });
}

} // namespace

// With Qt's own Chinese translations loaded at start, the standard dialogs
// that the commands open (the open dialog, the colour dialog) speak Chinese,
// while the input box and the message boxes keep the English captions and
// buttons that the program gives them.
TEST_F(MainFormTest, StandardDialogsSpeakChineseAndMessageBoxesKeepTheirEnglishCaptions)
{
    const QList<QTranslator*> translators = InstallQtTranslations();
    const auto unload = qScopeGuard([&] {
        for (QTranslator* t : translators) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    });
    ASSERT_FALSE(translators.isEmpty()) << "Qt's own translations (qt6-translations-l10n) are not installed";

    TMFrm& f = make();
    f.OpenMovie(write(QStringLiteral("m.swf"), test::MovingSquareSwf(3)));
    f.show();
    WidgetPrompts widgets;
    SetPrompts(&widgets);
    const auto backToScript = qScopeGuard([this] { SetPrompts(&prompts); });

    DialogTexts open, colour, input, information;
    ModalAnswers answers({
        [&](QWidget* w) { open = textsOf(w); clickButton(w, QStringLiteral("取消")); },
        [&](QWidget* w) { colour = textsOf(w); clickButton(w, QStringLiteral("取消")); },
        [&](QWidget* w) { input = textsOf(w); clickButton(w, QStringLiteral("Cancel")); },
        [&](QWidget* w) { information = textsOf(w); clickButton(w, QStringLiteral("OK")); },
    });
    f.mnuFileOpen->trigger();
    f.mnuSetbkcolor->trigger();
    f.mnuControlGoto->trigger();
    f.mnuViewLook->trigger();
    ASSERT_EQ(answers.answered(), 4u);

    EXPECT_TRUE(anyContains(open.labels, QStringLiteral("查找范围"))) << open.labels.join(u'|').toStdString();
    EXPECT_FALSE(anyContains(open.labels, QStringLiteral("Look in")));
    EXPECT_TRUE(anyContains(open.buttons, QStringLiteral("取消")));
    EXPECT_EQ(open.title, QStringLiteral("请选择要播放的flash文件"));
    EXPECT_TRUE(colour.title.contains(QStringLiteral("选择颜色"))) << colour.title.toStdString();
    EXPECT_FALSE(anyContains(colour.buttons, QStringLiteral("Cancel")));

    EXPECT_EQ(input.title, QStringLiteral("跳转到..."));
    EXPECT_TRUE(input.buttons.contains(QStringLiteral("OK")));
    EXPECT_TRUE(input.buttons.contains(QStringLiteral("Cancel")));
    EXPECT_EQ(information.title, QStringLiteral("Information"));
    EXPECT_EQ(information.buttons, QStringList{QStringLiteral("OK")});
}

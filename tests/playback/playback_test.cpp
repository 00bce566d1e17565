#include "playback/playback_fixture.h"

#include "player/status_panels.h"
#include "sources/list_box.h"
#include "sources/shell_tree.h"

#include <QActionGroup>
#include <QComboBox>
#include <QThread>
#include <QTimer>

#include <functional>

using namespace plovex;
using plovex::test::PlayMarks;
using plovex::test::playMarks;

namespace {

using PlaybackCommands = test::PlaybackTest;

const PlayMarks kPlaying{true, false, true, false, true, false};
const PlayMarks kPaused{false, true, false, true, false, true};

TEST_F(PlaybackCommands, PlayAndPauseKeepTheThreeMarkSetsInStepFromEveryControl)
{
    TMFrm& f = make();
    EXPECT_EQ(playMarks(f), kPlaying);
    EXPECT_TRUE(flash().Playing());

    struct Step {
        const char* what;
        QAction* TMFrm::*control;
        PlayMarks marks;
        bool playing;
    };
    const Step steps[] = {
        {"StopTB", &TMFrm::StopTB, kPaused, false},
        {"PlyTB", &TMFrm::PlyTB, kPlaying, true},
        {"StopP", &TMFrm::StopP, kPaused, false},
        {"StopP again", &TMFrm::StopP, kPaused, false},   // pausing twice keeps every pause mark on
        {"PlyPR", &TMFrm::PlyPR, kPlaying, true},
        {"mnuControlStopN", &TMFrm::mnuControlStopN, kPaused, false},
        {"mnuCPlyR", &TMFrm::mnuCPlyR, kPlaying, true},
    };
    for (const Step& s : steps) {
        (f.*s.control)->trigger();
        EXPECT_EQ(playMarks(f), s.marks) << s.what;
        EXPECT_EQ(flash().Playing(), s.playing) << s.what;
    }
    EXPECT_EQ(panel(1), QStringLiteral("速率：默认"));   // full-width colon after play
}

TEST_F(PlaybackCommands, OpeningAMovieChecksPlayInBothMenusButLeavesTheToolbar)
{
    TMFrm& f = make();
    f.StopTB->trigger();
    ASSERT_EQ(playMarks(f), kPaused);
    f.OpenMovie(movie(4, QStringLiteral("other.swf")));
    EXPECT_EQ(playMarks(f), (PlayMarks{true, false, true, false, false, true}));
    EXPECT_EQ(panel(1), QStringLiteral("速率:默认"));
}

// Every way of opening a movie, from a paused movie: the new movie plays;
// the ways through OpenMovie check "播放" in both menus and write the status
// bar, while the toolbar's pause button stays pressed; the address bar's
// button loads the movie and changes no mark and no panel.
TEST_F(PlaybackCommands, EveryWayOfOpeningAMoviePlaysItAndSetsTheMarksItOwns)
{
    const PlayMarks kOpened{true, false, true, false, false, true};
    struct Way {
        const char* name;
        std::function<void(TMFrm&, const QString&)> open;
        bool throughOpenMovie;
        int frames = 5;   // the movie that plays afterwards
    };
    const Way ways[] = {
        {"open dialog", [this](TMFrm& f, const QString& m) { prompts.answerFile(m); f.mnuFileOpenClick(); }, true},
        {"playlist", [](TMFrm& f, const QString& m) { f.ListBox1->selectRow(f.ListBox1->addEntry(m)); f.ListBox1Click(); }, true},
        {"folder tree", [](TMFrm& f, const QString& m) { ASSERT_TRUE(f.ShellTreeView->selectPath(m)); f.ShellTreeViewDblClick(); }, true},
        {"dropped file", [](TMFrm& f, const QString& m) { f.DropFiles({m}); }, true},
        {"cache list", [](TMFrm& f, const QString& m) { f.IEListbox->selectRow(f.IEListbox->addEntry(m)); f.IEListboxClick(); }, true},
        {"projector", [this](TMFrm& f, const QString&) { f.OpenMovie(write(QStringLiteral("p.exe"), test::Projector(test::MovingSquareSwf(4)))); }, true, 4},
        {"address bar", [](TMFrm& f, const QString& m) { f.AddressBox->setEditText(m); f.GoSBClick(); }, false},
    };
    int n = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        TMFrm& f = make();
        f.StopTB->trigger();
        ASSERT_FALSE(flash().Playing());
        const QString before0 = panel(0);
        f.StatusBar->setPanelText(1, QStringLiteral("速率:10帧\\秒"));
        const QString m = movie(5, QStringLiteral("way%1.swf").arg(n++));
        way.open(f, m);
        EXPECT_TRUE(flash().Playing());
        EXPECT_EQ(flash().TotalFrames(), way.frames);
        if (way.throughOpenMovie) {
            EXPECT_EQ(playMarks(f), kOpened);
            EXPECT_EQ(panel(1), QStringLiteral("速率:默认"));
            EXPECT_TRUE(panel(0).startsWith(QStringLiteral("播放:")));
        } else {
            EXPECT_EQ(playMarks(f), kPaused);
            EXPECT_EQ(panel(0), before0);
            EXPECT_EQ(panel(1), QStringLiteral("速率:10帧\\秒"));
        }
    }
}

TEST_F(PlaybackCommands, LoopStartsWithTheToolbarButtonUpThenAllThreeAgree)
{
    TMFrm& f = make();
    EXPECT_TRUE(f.mnuControlReN->isChecked());
    EXPECT_TRUE(f.ReP->isChecked());
    EXPECT_FALSE(f.ReTB->isChecked());
    EXPECT_TRUE(flash().Loop());

    for (auto [control, loop] : {std::pair{f.ReTB, false}, std::pair{f.ReP, true}, std::pair{f.mnuControlReN, false},
                                 std::pair{f.mnuControlReN, true}, std::pair{f.ReTB, false}}) {
        control->trigger();
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_EQ(flash().Loop(), loop);
        EXPECT_EQ(f.mnuControlReN->isChecked(), loop);
        EXPECT_EQ(f.ReP->isChecked(), loop);
        EXPECT_EQ(f.ReTB->isChecked(), loop);
    }
}

TEST_F(PlaybackCommands, QualityChecksItsItemAndPressesItsButton)
{
    TMFrm& f = make();
    EXPECT_TRUE(f.mnuViewQualityHigh->isChecked());
    EXPECT_TRUE(f.HGTB->isChecked());
    f.LGTB->trigger();
    EXPECT_TRUE(f.mnuViewQualityLow->isChecked());
    EXPECT_FALSE(f.mnuViewQualityHigh->isChecked());
    EXPECT_TRUE(f.LGTB->isChecked());
    EXPECT_FALSE(f.HGTB->isChecked());
    EXPECT_EQ(flash().Quality(), 0);
    f.mnuViewQualityHigh->trigger();
    EXPECT_TRUE(f.mnuViewQualityHigh->isChecked());
    EXPECT_TRUE(f.HGTB->isChecked());
    EXPECT_FALSE(f.LGTB->isChecked());
    EXPECT_EQ(flash().Quality(), 3);
}

TEST_F(PlaybackCommands, ZoomButtonsActAgainstTheirNames)
{
    TMFrm& f = make();
    ASSERT_DOUBLE_EQ(flash().ZoomFactor(), 1.0);
    f.TBZoomOut->trigger();   // hint "放大": zooms in
    EXPECT_NEAR(flash().ZoomFactor(), 100.0 / 60, 1e-9);
    f.TBZoomIn->trigger();    // hint "缩小": zooms out
    EXPECT_NEAR(flash().ZoomFactor(), 100.0 / 60 * 100.0 / 170, 1e-9);
    f.PopmnuZoomIn->trigger();
    EXPECT_NEAR(flash().ZoomFactor(), 100.0 / 60 * 100.0 / 170 * 100.0 / 60, 1e-9);
}

TEST_F(PlaybackCommands, ShowAllOfTheViewMenuLeavesTheCheckedScaleItem)
{
    TMFrm& f = make();
    f.mnuViewScaleNoBorder->trigger();
    EXPECT_EQ(flash().Scale(), QStringLiteral("NoBorder"));
    f.mnuViewZoomIn->trigger();
    ASSERT_GT(flash().ZoomFactor(), 1.0);
    f.TBShowAll->trigger();
    EXPECT_EQ(flash().Scale(), QStringLiteral("ShowAll"));
    EXPECT_DOUBLE_EQ(flash().ZoomFactor(), 1.0);
    EXPECT_TRUE(f.mnuViewScaleNoBorder->isChecked());
    EXPECT_FALSE(f.mnuViewScaleShowAll->isChecked());
}

TEST_F(PlaybackCommands, ScaleItemsSetTheModeAndCheckThemselves)
{
    TMFrm& f = make();
    const std::pair<QAction*, QString> items[] = {
        {f.mnuViewScaleNoBorder, QStringLiteral("NoBorder")}, {f.mnuViewScaleExactFit, QStringLiteral("ExactFit")},
        {f.mnuViewScaleNoScale, QStringLiteral("NoScale")}, {f.mnuViewScaleShowAll, QStringLiteral("ShowAll")}};
    for (const auto& [item, scale] : items) {
        f.mnuViewZoomIn->trigger();
        item->trigger();
        EXPECT_EQ(flash().Scale(), scale);
        EXPECT_TRUE(item->isChecked());
        EXPECT_EQ(f.groupScale->checkedAction(), item);
        EXPECT_DOUBLE_EQ(flash().ZoomFactor(), 1.0) << "a new scale undoes the zoom";
    }
}

TEST_F(PlaybackCommands, RestartAndStepsMoveTheFrameAndChangeNoMark)
{
    TMFrm& f = make(10);
    f.StopTB->trigger();
    flash().SetFrameNum(4);
    const QString rateText = panel(1);
    f.TBForward->trigger();
    EXPECT_EQ(flash().FrameNum(), 5);
    f.PopmnuBack->trigger();
    f.TBBackNum->trigger();
    EXPECT_EQ(flash().FrameNum(), 3);
    f.mnuControlRePly->trigger();
    EXPECT_EQ(flash().FrameNum(), 0);
    EXPECT_EQ(playMarks(f), kPaused);
    EXPECT_EQ(panel(1), rateText);
    EXPECT_FALSE(f.TimerFrmNum->isActive());
}

TEST_F(PlaybackCommands, GoToAcceptsUpToTotalFramesAndRejectsText)
{
    TMFrm& f = make(10);
    ASSERT_EQ(flash().TotalFrames(), 10);
    flash().SetFrameNum(2);
    flash().Play();

    // Beyond the last frame: nothing happens and nothing is shown.
    prompts.inputAnswers.push_back(QStringLiteral("11"));
    f.TBGoto->trigger();
    EXPECT_TRUE(flash().Playing());
    EXPECT_EQ(flash().FrameNum(), 2);
    EXPECT_EQ(playMarks(f), kPlaying);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, test::ScriptedPrompts::Kind::Input);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("跳转到..."));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("请输入您要转到的帧数"));

    // Exactly the total: accepted, paused first.
    prompts.inputAnswers.push_back(QStringLiteral("10"));
    f.PopMenuGoto->trigger();
    EXPECT_FALSE(flash().Playing());
    EXPECT_EQ(flash().FrameNum(), 10);
    EXPECT_EQ(playMarks(f), kPaused);
    EXPECT_TRUE(prompts.messages().isEmpty());

    // Not a number.
    prompts.inputAnswers.push_back(QStringLiteral("abc"));
    f.mnuControlGoto->trigger();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("只能输入数字")});
    EXPECT_EQ(flash().FrameNum(), 10);

    // No lower bound: a negative number goes to the player as it is.
    prompts.inputAnswers.push_back(QStringLiteral("-3"));
    f.mnuControlGoto->trigger();
    EXPECT_EQ(flash().FrameNum(), -3);
    EXPECT_EQ(prompts.messages().size(), 1);

    // Cancel returns the preset, the current frame: pause, and the frame is set again.
    f.mnuCPlyR->trigger();
    flash().SetFrameNum(6);
    flash().Play();
    prompts.inputAnswers.push_back(std::nullopt);
    f.mnuControlGoto->trigger();
    EXPECT_FALSE(flash().Playing());
    EXPECT_EQ(flash().FrameNum(), 6);
    EXPECT_EQ(playMarks(f), kPaused);
    EXPECT_EQ(prompts.messages().size(), 1);
}

TEST_F(PlaybackCommands, GoToStopsTheRateTimers)
{
    TMFrm& f = make(10);
    f.PlyPR20->trigger();
    ASSERT_TRUE(f.TimerFrmNum->isActive());
    prompts.inputAnswers.push_back(QStringLiteral("3"));
    f.mnuControlGoto->trigger();
    EXPECT_FALSE(f.TimerFrmNum->isActive());
    EXPECT_FALSE(f.TimerBackPly->isActive());
    EXPECT_EQ(flash().FrameNum(), 3);
    EXPECT_TRUE(f.mnuCPlyR20->isChecked()) << "the rate item last chosen stays checked";
}

TEST_F(PlaybackCommands, BackgroundColourIsPresetAndSetOnlyOnConfirmation)
{
    TMFrm& f = make();
    const QColor movieColour = flash().BackgroundColor();
    prompts.colorAnswers.push_back(std::nullopt);
    f.mnuSetbkcolor->trigger();
    EXPECT_EQ(f.ColorDialog1.color, movieColour);
    EXPECT_EQ(flash().BackgroundColor(), movieColour);
    prompts.colorAnswers.push_back(QColor(10, 200, 30));
    f.mnuSetbkcolor->trigger();
    EXPECT_EQ(flash().BackgroundColor(), QColor(10, 200, 30));
}

TEST_F(PlaybackCommands, NumberOfFramesIsAnInformationBox)
{
    TMFrm& f = make(7);
    f.LookP->trigger();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, test::ScriptedPrompts::Kind::Box);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Information"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("当前flash的总帧数是7"));
}

// ---------------------------------------------------------------- rates

TEST_F(PlaybackCommands, EveryRateRunsItsIntervalAndWritesItsPanelOnTheFirstTick)
{
    TMFrm& f = make(100);
    struct Rate {
        QAction* popup;
        QAction* main;
        int interval;
        QString text;
    };
    const Rate rates[] = {
        {f.PlyPR5, f.mnuCplyR5, 200, QStringLiteral("速率:5帧\\秒")},
        {f.PlyPR10, f.mnuCPlyR10, 100, QStringLiteral("速率:10帧\\秒")},
        {f.PlyPR20, f.mnuCPlyR20, 50, QStringLiteral("速率:20帧\\秒")},
        {f.PlyPr25, f.mnuCPlyR25, 40, QStringLiteral("速率:25帧\\秒")},
        {f.PlyPR30, f.mnuCPlyR30, 33, QStringLiteral("速率:30帧\\秒")},
        {f.PlyPR40, f.mnuCPlyR40, 25, QStringLiteral("速率:40帧\\秒")},
        {f.PlyPR50, f.mnuCPlyPR50, 20, QStringLiteral("速率:50帧\\秒")},
    };
    for (const Rate& r : rates) {
        SCOPED_TRACE(r.main->objectName().toStdString());
        f.mnuCPlyBackR->trigger();   // from reverse, so that the reverse timer must stop
        f.mnuCPlyR->trigger();
        f.StatusBar->setPanelText(1, QStringLiteral("before"));
        flash().SetFrameNum(10);
        flash().Play();
        r.popup->trigger();
        EXPECT_FALSE(flash().Playing());
        EXPECT_TRUE(r.main->isChecked());
        EXPECT_TRUE(r.popup->isChecked());
        EXPECT_FALSE(f.mnuCPlyR->isChecked());
        EXPECT_FALSE(f.PlyPR->isChecked());
        EXPECT_TRUE(f.TimerFrmNum->isActive());
        EXPECT_EQ(f.TimerFrmNum->interval(), r.interval);
        EXPECT_FALSE(f.TimerBackPly->isActive());
        EXPECT_EQ(panel(1), QStringLiteral("before")) << "the first tick writes the panel";
        EXPECT_EQ(playMarks(f), kPlaying) << "the play marks are not the rate's business";
        f.TimerFrmNumTimer();
        EXPECT_EQ(flash().FrameNum(), 11);
        EXPECT_EQ(panel(1), r.text);
    }
}

TEST_F(PlaybackCommands, ANewRateRestartsTheTimerTheSameRateLeavesIt)
{
    TMFrm& f = make();
    f.mnuCPlyR10->trigger();
    ASSERT_TRUE(f.TimerFrmNum->isActive());
    // No event loop runs here: once the interval has passed, the tick is
    // overdue and stays so until the timer starts over.
    QThread::msleep(150);
    ASSERT_EQ(f.TimerFrmNum->remainingTime(), 0);
    f.PlyPR10->trigger();
    EXPECT_EQ(f.TimerFrmNum->remainingTime(), 0) << "the running rate chosen again leaves the timer";
    f.mnuCplyR5->trigger();
    EXPECT_EQ(f.TimerFrmNum->interval(), 200);
    EXPECT_GT(f.TimerFrmNum->remainingTime(), 0) << "a new interval starts the wait anew";
}

TEST_F(PlaybackCommands, RateTicksGoOnPastTheLastFrame)
{
    TMFrm& f = make(3);
    f.mnuCPlyPR50->trigger();
    flash().SetFrameNum(2);
    f.TimerFrmNumTimer();
    f.TimerFrmNumTimer();
    EXPECT_EQ(flash().FrameNum(), 4);
    f.UpdateFrameStatus();
    EXPECT_EQ(panel(2), QStringLiteral("帧数/总帧数[4/3]"));
}

TEST_F(PlaybackCommands, PauseAndPlayStopBothTimers)
{
    TMFrm& f = make();
    f.mnuCPlyR30->trigger();
    f.TimerFrmNumTimer();
    const QString rateText = panel(1);
    f.StopP->trigger();
    EXPECT_FALSE(f.TimerFrmNum->isActive());
    EXPECT_TRUE(f.mnuCPlyR30->isChecked());
    EXPECT_TRUE(f.PlyPR30->isChecked());
    EXPECT_EQ(panel(1), rateText);

    // A rate chosen while paused runs with "暂停" still checked.
    f.PlyPR40->trigger();
    EXPECT_TRUE(f.TimerFrmNum->isActive());
    EXPECT_EQ(playMarks(f), kPaused);

    f.PlyTB->trigger();
    EXPECT_FALSE(f.TimerFrmNum->isActive());
    EXPECT_FALSE(f.TimerBackPly->isActive());
    EXPECT_TRUE(f.mnuCPlyR->isChecked());
    EXPECT_TRUE(f.PlyPR->isChecked());
    EXPECT_EQ(panel(1), QStringLiteral("速率：默认"));
    EXPECT_TRUE(flash().Playing());
}

TEST_F(PlaybackCommands, ReverseFromFrameFiveStopsAtFrameOne)
{
    TMFrm& f = make(10);
    f.mnuCPlyR25->trigger();
    flash().SetFrameNum(5);
    f.PlyBackR->trigger();
    EXPECT_TRUE(f.mnuCPlyBackR->isChecked());
    EXPECT_TRUE(f.PlyBackR->isChecked());
    EXPECT_FALSE(f.TimerFrmNum->isActive());
    ASSERT_TRUE(f.TimerBackPly->isActive());
    EXPECT_EQ(f.TimerBackPly->interval(), 40);
    for (int expected : {4, 3, 2, 1}) {
        f.TimerBackPlyTimer();
        EXPECT_EQ(flash().FrameNum(), expected);
        EXPECT_EQ(panel(1), QStringLiteral("速率:倒放(25帧/秒)"));
        EXPECT_TRUE(f.TimerBackPly->isActive());
    }
    f.TimerBackPlyTimer();
    EXPECT_EQ(flash().FrameNum(), 1);
    EXPECT_FALSE(f.TimerBackPly->isActive());
    EXPECT_EQ(panel(1), QStringLiteral("倒放已停止"));
    EXPECT_TRUE(f.mnuCPlyBackR->isChecked()) << "the reverse item stays checked";
    EXPECT_FALSE(flash().Playing());
}

TEST_F(PlaybackCommands, ReverseAtTheFirstFrameStopsOnTheFirstTick)
{
    TMFrm& f = make(10);
    for (int start : {0, 1}) {
        flash().SetFrameNum(start);
        f.mnuCPlyBackR->trigger();
        f.TimerBackPlyTimer();
        EXPECT_EQ(flash().FrameNum(), start);
        EXPECT_FALSE(f.TimerBackPly->isActive());
        EXPECT_EQ(panel(1), QStringLiteral("倒放已停止"));
    }
}

TEST_F(PlaybackCommands, ATimerGoesOnWithANewMovie)
{
    TMFrm& f = make(10);
    f.mnuCPlyR10->trigger();
    f.OpenMovie(movie(5, QStringLiteral("next.swf")));
    EXPECT_TRUE(f.TimerFrmNum->isActive());
    EXPECT_EQ(f.TimerFrmNum->interval(), 100);
}

} // namespace

// The playback commands of the main window: play, pause, loop, restart,
// steps, go to a frame, quality, zoom, scale, background colour, the frame
// count; the fixed rates and reverse play on the two timers; full screen;
// the progress and transparency windows.
//
// Every command is one main-menu item. Toolbar buttons and context-menu
// items only forward to it, so each handler here keeps the three sets of
// marks (main menu, context menu, toolbar) in step itself.

#include "app/main_form.h"

#include "platform/errors.h"
#include "platform/prompts.h"
#include "player/full_form.h"
#include "player/playback_rates.h"
#include "player/progress_form.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "player/transparency_form.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace plovex {

namespace {

// Starts a timer at an interval. A running timer whose interval changes
// starts over (its next tick one full new interval later); a running timer
// already at that interval is left alone.
void runTimer(QTimer* timer, int interval)
{
    if (timer->isActive() && timer->interval() == interval)
        return;
    timer->start(interval);
}

} // namespace

void TMFrm::connectPlaybackHandlers()
{
    connectCommand(mnuCPlyR, &TMFrm::mnuCPlyRClick);
    connectCommand(mnuControlStopN, &TMFrm::mnuControlStopNClick);
    connectCommand(mnuControlRePly, &TMFrm::mnuControlRePlyClick);
    connectCommand(mnuForwardNum, &TMFrm::mnuForwardNumClick);
    connectCommand(mnuBackNum, &TMFrm::mnuBackNumClick);
    connectCommand(mnuControlGoto, &TMFrm::mnuControlGotoClick);
    connectCommand(mnuViewQualityHigh, &TMFrm::mnuViewQualityHighClick);
    connectCommand(mnuViewQualityLow, &TMFrm::mnuViewQualityLowClick);
    connectCommand(mnuViewZoomIn, &TMFrm::mnuViewZoomInClick);
    connectCommand(mnuViewZoomOut, &TMFrm::mnuViewZoomOutClick);
    connectCommand(mnuViewShowAll, &TMFrm::mnuViewShowAllClick);
    connectCommand(mnuViewScaleShowAll, &TMFrm::mnuViewScaleShowAllClick);
    connectCommand(mnuViewScaleNoBorder, &TMFrm::mnuViewScaleNoBorderClick);
    connectCommand(mnuViewScaleExactFit, &TMFrm::mnuViewScaleExactFitClick);
    connectCommand(mnuViewScaleNoScale, &TMFrm::mnuViewScaleNoScaleClick);
    connectCommand(mnuSetbkcolor, &TMFrm::mnuSetbkcolorClick);
    connectCommand(mnuViewLook, &TMFrm::mnuViewLookClick);
    connectCommand(mnuCplyR5, &TMFrm::mnuCplyR5Click);
    connectCommand(mnuCPlyR10, &TMFrm::mnuCPlyR10Click);
    connectCommand(mnuCPlyR20, &TMFrm::mnuCPlyR20Click);
    connectCommand(mnuCPlyR25, &TMFrm::mnuCPlyR25Click);
    connectCommand(mnuCPlyR30, &TMFrm::mnuCPlyR30Click);
    connectCommand(mnuCPlyR40, &TMFrm::mnuCPlyR40Click);
    connectCommand(mnuCPlyPR50, &TMFrm::mnuCPlyPR50Click);
    connectCommand(mnuCPlyBackR, &TMFrm::mnuCPlyBackRClick);
    connectCommand(mnuViewFull, &TMFrm::mnuViewFullClick);
    connectCommand(PlyPN, &TMFrm::PlyPNClick);
    connectCommand(TMN, &TMFrm::TMNClick);

    // "循环" is a check item whose handler flips the mark itself; undo the
    // flip that a click of a checkable item makes before the handler runs.
    connect(mnuControlReN, &QAction::triggered, this, Guarded([this](bool checked) {
        mnuControlReN->setChecked(!checked);
        mnuControlReNClick();
    }));

    connect(TimerFrmNum, &QTimer::timeout, this, Guarded([this] { TimerFrmNumTimer(); }));
    connect(TimerBackPly, &QTimer::timeout, this, Guarded([this] { TimerBackPlyTimer(); }));
}

// ---------------------------------------------------------------- windows

void TMFrm::createFullFrm()
{
    if (FullFrm)
        return;
    FullFrm = new TFullFrm(this);
    FullFrm->onEscape = [this] { SetFullScreen(false); };
    // The main menu's shortcuts (Ctrl+F above all) work in full screen too.
    for (QMenu* menu : {mnuFile, mnuControl, mnuView, mnuSetup, mnuCapture, mnuHelp}) {
        for (QAction* action : menu->findChildren<QAction*>()) {
            if (!action->shortcut().isEmpty())
                FullFrm->addAction(action);
        }
    }
    fullScreenHandler = [this](bool on) { fullScreenSteps(on); };
}

void TMFrm::createPlyPFrm()
{
    if (PlyPFrm)
        return;
    PlyPFrm = new TPlyPFrm(FlashMain, mnuControlPlyNN->menuAction(), this);
    refreshProgress = [this] { PlyPFrm->RefreshProgress(); };
}

void TMFrm::createCTMFrm()
{
    if (CTMFrm)
        return;
    CTMFrm = new TCTMFrm(this, FlashMain, this);
}

// ---------------------------------------------------------------- play, pause, loop

void TMFrm::mnuCPlyRClick()
{
    mnuControlPlyNN->menuAction()->setChecked(true);
    PlyTB->setChecked(true);
    PlyP->menuAction()->setChecked(true);
    FlashMain->Play();
    StatusBar->setPanelText(1, kRateDefaultText);
    mnuCPlyR->setChecked(true);
    PlyPR->setChecked(true);
    TimerFrmNum->stop();
    TimerBackPly->stop();
}

void TMFrm::mnuControlStopNClick()
{
    mnuControlStopN->setChecked(true);
    StopTB->setChecked(true);
    StopP->setChecked(true);
    TimerFrmNum->stop();
    TimerBackPly->stop();
    FlashMain->Stop();
}

void TMFrm::mnuControlReNClick()
{
    const bool loop = !mnuControlReN->isChecked();
    mnuControlReN->setChecked(loop);
    FlashMain->SetLoop(loop);
    // ReTB starts released while loop is on; from the first use on, all three agree.
    ReP->setChecked(loop);
    ReTB->setChecked(loop);
}

void TMFrm::mnuControlRePlyClick()
{
    FlashMain->Rewind();
}

void TMFrm::mnuForwardNumClick()
{
    FlashMain->Forward();
}

void TMFrm::mnuBackNumClick()
{
    FlashMain->Back();
}

void TMFrm::mnuControlGotoClick()
{
    QString text = QString::number(FlashMain->FrameNum());
    // Cancel leaves the preset text, so the current frame is set again.
    prompts().inputQuery(QStringLiteral("跳转到..."), QStringLiteral("请输入您要转到的帧数"), text);
    bool ok = false;
    int frame = 0;
    try {
        frame = text.trimmed().toInt(&ok, 10);
        if (ok && FlashMain->TotalFrames() >= frame) {
            mnuControlStopNClick();
            FlashMain->SetFrameNum(frame);
        }
    } catch (...) {
        ok = false;   // a failing player call reads as a bad number, like text
    }
    if (!ok)
        prompts().showMessage(QStringLiteral("只能输入数字"));
}

// ---------------------------------------------------------------- quality, zoom, scale

void TMFrm::mnuViewQualityHighClick()
{
    mnuViewQualityHigh->setChecked(true);
    HGTB->setChecked(true);
    FlashMain->SetQuality(3);
}

void TMFrm::mnuViewQualityLowClick()
{
    mnuViewQualityLow->setChecked(true);
    LGTB->setChecked(true);
    FlashMain->SetQuality(0);
}

void TMFrm::mnuViewZoomInClick()
{
    FlashMain->Zoom(60);
}

void TMFrm::mnuViewZoomOutClick()
{
    FlashMain->Zoom(170);
}

void TMFrm::mnuViewShowAllClick()
{
    // The whole movie again; the checked item of "播放比例" stays as it is.
    FlashMain->Zoom(7500);
    FlashMain->SetScale(QStringLiteral("ShowAll"));
}

void TMFrm::checkScale(QAction* item, const QString& scale)
{
    FlashMain->SetScale(scale);
    item->setChecked(true);
}

void TMFrm::mnuViewScaleShowAllClick()
{
    checkScale(mnuViewScaleShowAll, QStringLiteral("ShowAll"));
}

void TMFrm::mnuViewScaleNoBorderClick()
{
    checkScale(mnuViewScaleNoBorder, QStringLiteral("NoBorder"));
}

void TMFrm::mnuViewScaleExactFitClick()
{
    checkScale(mnuViewScaleExactFit, QStringLiteral("ExactFit"));
}

void TMFrm::mnuViewScaleNoScaleClick()
{
    checkScale(mnuViewScaleNoScale, QStringLiteral("NoScale"));
}

// ---------------------------------------------------------------- colour, frame count

void TMFrm::mnuSetbkcolorClick()
{
    ColorDialog1.color = FlashMain->BackgroundColor();
    if (prompts().execute(ColorDialog1))
        FlashMain->SetBackgroundColor(ColorDialog1.color);
}

void TMFrm::mnuViewLookClick()
{
    prompts().information(QStringLiteral("当前flash的总帧数是") + QString::number(FlashMain->TotalFrames()));
}

// ---------------------------------------------------------------- rates, reverse

void TMFrm::chooseRate(QAction* mainItem, QAction* popupItem, int interval)
{
    // The play or pause marks and the rate panel stay; the first tick writes the panel.
    FlashMain->Stop();
    mainItem->setChecked(true);
    popupItem->setChecked(true);
    runTimer(TimerFrmNum, interval);
    TimerBackPly->stop();
}

void TMFrm::mnuCplyR5Click() { chooseRate(mnuCplyR5, PlyPR5, kRateIntervals[0]); }
void TMFrm::mnuCPlyR10Click() { chooseRate(mnuCPlyR10, PlyPR10, kRateIntervals[1]); }
void TMFrm::mnuCPlyR20Click() { chooseRate(mnuCPlyR20, PlyPR20, kRateIntervals[2]); }
void TMFrm::mnuCPlyR25Click() { chooseRate(mnuCPlyR25, PlyPr25, kRateIntervals[3]); }
void TMFrm::mnuCPlyR30Click() { chooseRate(mnuCPlyR30, PlyPR30, kRateIntervals[4]); }
void TMFrm::mnuCPlyR40Click() { chooseRate(mnuCPlyR40, PlyPR40, kRateIntervals[5]); }
void TMFrm::mnuCPlyPR50Click() { chooseRate(mnuCPlyPR50, PlyPR50, kRateIntervals[6]); }

void TMFrm::mnuCPlyBackRClick()
{
    FlashMain->Stop();
    TimerFrmNum->stop();
    mnuCPlyBackR->setChecked(true);
    PlyBackR->setChecked(true);
    runTimer(TimerBackPly, kReverseInterval);
}

void TMFrm::TimerFrmNumTimer()
{
    // No upper bound: past the last frame the count goes on, whatever the loop setting.
    FlashMain->SetFrameNum(FlashMain->FrameNum() + 1);
    StatusBar->setPanelText(1, RatePanelText(TimerFrmNum->interval()));
}

void TMFrm::TimerBackPlyTimer()
{
    const int frame = FlashMain->FrameNum();
    if (frame <= 1) {
        TimerBackPly->stop();
        StatusBar->setPanelText(1, kReverseStoppedText);
        return;
    }
    FlashMain->SetFrameNum(frame - 1);
    StatusBar->setPanelText(1, kReverseRunningText);
}

// ---------------------------------------------------------------- full screen

void TMFrm::mnuViewFullClick()
{
    SetFullScreen(fullScreenFlag() == 0);
}

void TMFrm::fullScreenSteps(bool on)
{
    if (on) {
        // The screen that shows the main window.
        FullFrm->hostPlayer(FlashMain);
        FullFrm->showOver(screen());
        FullFrm->FormResize();
        return;
    }
    // Back into the player area, over the drawing surface and the region frame.
    if (FlashMain->parentWidget() != FlashPanel) {
        FlashMain->setParent(FlashPanel);
        FlashMain->setGeometry(FlashPanel->rect());
        FlashMain->raise();
        FlashMain->show();
    }
    FormResize();
    if (FullFrm->isVisible()) {
        FullFrm->hide();
        FullFrm->close();
        activateWindow();
    }
}

// ---------------------------------------------------------------- progress, transparency

void TMFrm::PlyPNClick()
{
    PlyPFrm->show();
    PlyPFrm->raise();
}

void TMFrm::TMNClick()
{
    CTMFrm->show();
    CTMFrm->raise();
}

} // namespace plovex

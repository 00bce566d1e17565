#pragma once

#include "app/popup_menu.h"
#include "platform/prompts.h"
#include "sources/cache_search.h"
#include "sources/list_box.h"
#include "sources/shell_tree.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace plovex {

class TShockwaveFlash;
class TStatusBar;
class threadFrm;
class TAboutFrm;
class TFullFrm;
class TPlyPFrm;
class TCTMFrm;
class TfrmSearch;
class TCutShape;
class TSaveFrm;
class TfrmReport;
class TQRCompositeReport;
class TExeToFrm;
class TVideoExportFrm;
struct MovieOpenTargets;
enum class WallpaperStyle;

// The application-wide message hook: takes right-button presses addressed
// to the player (or anything inside it) and pops up the player's context
// menu at the cursor instead, so the player never sees them; also gives
// the main window the release of Esc before any control (key preview).
class TApplicationEvents final : public QObject {
    Q_OBJECT
public:
    explicit TApplicationEvents(class TMFrm* form);
    ~TApplicationEvents() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TMFrm* form_;
};

// The main window.
class TMFrm final : public QMainWindow {
    Q_OBJECT

public:
    // movieArgument: the first command-line argument, or empty.
    explicit TMFrm(const QString& movieArgument = {}, QWidget* parent = nullptr);
    ~TMFrm() override;

    // The one main window of the run, or nullptr.
    static TMFrm* instance();

    void OpenMovie(const QString& path);
    void EnableCommands(bool enabled);
    void EnsureFrameCounter();
    void UpdateFrameStatus();
    void SetFullScreen(bool on);
    void FormResize();
    void FormKeyUp(int key);
    // Pops up PopupMenu1 at a screen position: the right-click hook.
    void ApplicationEvents1Message(const QPoint& globalPos);

    threadFrm* frameCounter() const { return frameCounter_.get(); }
    int fullScreenFlag() const { return fullScreen_; }

    // The progress window's refresh, set once that window exists.
    std::function<void()> refreshProgress;
    // SetFullScreen's work, set once the full-screen window exists.
    std::function<void(bool)> fullScreenHandler;

    // Handlers of this window's own commands.
    void mnuFileOpenClick();
    void mnuFileExitClick();
    void mnuHelpHowClick();
    void N53Click();
    void mnuHelpAboutClick();
    void N19Click();
    void Plovex1Click();
    void mnuHelpMailtoClick();

    // Step 4 of start-up: creates the secondary windows, in their fixed
    // order, once; each lives for the whole run.
    void CreateForms();

    // ---- playback ----
    // Playback commands; toolbar buttons and context-menu items forward to
    // these main-menu items, and the commands keep the marks of the main
    // menu, the context menu and the toolbar in step.
    void mnuCPlyRClick();
    void mnuControlStopNClick();
    void mnuControlReNClick();
    void mnuControlRePlyClick();
    void mnuForwardNumClick();
    void mnuBackNumClick();
    void mnuControlGotoClick();
    void mnuViewQualityHighClick();
    void mnuViewQualityLowClick();
    void mnuViewZoomInClick();
    void mnuViewZoomOutClick();
    void mnuViewShowAllClick();
    void mnuViewScaleShowAllClick();
    void mnuViewScaleNoBorderClick();
    void mnuViewScaleExactFitClick();
    void mnuViewScaleNoScaleClick();
    void mnuSetbkcolorClick();
    void mnuViewLookClick();
    // Fixed rates and reverse play.
    void mnuCplyR5Click();
    void mnuCPlyR10Click();
    void mnuCPlyR20Click();
    void mnuCPlyR25Click();
    void mnuCPlyR30Click();
    void mnuCPlyR40Click();
    void mnuCPlyPR50Click();
    void mnuCPlyBackRClick();
    void TimerFrmNumTimer();
    void TimerBackPlyTimer();
    // Full screen, progress and transparency windows.
    void mnuViewFullClick();
    void PlyPNClick();
    void TMNClick();
    TFullFrm* FullFrm = nullptr;   // hosts the player in full screen
    TPlyPFrm* PlyPFrm = nullptr;   // playback progress
    TCTMFrm* CTMFrm = nullptr;     // main-window transparency
    // ---- end playback ----
    // ---- sources: settings file, folder tree, address bar, dropped files,
    // playlist, cache search, .swf association
    void mnuFileFolderTrueClick();
    void mnuFileFolderFalseClick();
    void ShellTreeViewDblClick();
    void GoSBClick();
    void GoSBMouseMove();
    void DropFiles(const QStringList& paths);
    void mnuFileLstAddFileClick();
    void mnuFileLstDelClick();
    void mnuFileLstAllDelClick();
    void mnuFileSortedClick();
    void mnuFileLstShowScrClick();
    void ListBox1Click();
    bool ListBox1DragOver(const QObject* source) const;
    void ListBox1DragDrop(const QObject* source);
    void mnuFileIEClick();
    void mnuFileIECloseClick();
    void TBIEClick();
    void IEListboxClick();
    void mnuFileIESaveClick();
    void mnuFileIESortedClick();
    void mnuFileCustomSClick();
    void frmSearchButton1Click();
    void mnuFileSwfClick();
    void mnuFileDeSwfClick();
    // The settings file beside the executable.
    QString SettingsPath() const;
    // The cache folder the last opening of the cache list searched.
    const QString& cacheFolder() const { return cacheFolder_; }
    bool cacheSearchRunning() const { return ieSearch_.isRunning(); }
    TfrmSearch* frmSearch = nullptr;
    // ---- capture ----
    // The picture the player shows, at its pixel size, 32 bits per pixel.
    QImage GrabFrame() const;
    // Writes the frame in the format ".jpg", ".gif" or ".bmp" chooses (letter
    // case ignored); any other extension writes nothing. True when written.
    bool SaveFrameImage(const QString& Ext, const QString& FileName);
    void mnuCaptureSaveClick();
    void mnuCaptureShowClick();
    void mnuCaptureCutRectImgClick();
    void mnuCaptureZoomOutClick();
    void mnuCaptureZoomInClick();
    void mnuCaptureRectColClick();
    void CutShapeMouseDown(Qt::MouseButton button, const QPoint& pos);
    void CutShapeMouseMove(const QPoint& pos);
    void CutShapeMouseUp(Qt::MouseButton button, const QPoint& pos);
    void TCNClick();
    void mnuFileReportClick();
    void QRCompositeReport1AddReports(TQRCompositeReport& report);
    // The timed capture window and the print report, made once by CreateForms.
    void createSaveFrm();
    void createReportForm();
    TSaveFrm* SaveFrm = nullptr;
    TfrmReport* frmReport = nullptr;
    TQRCompositeReport* QRCompositeReport1 = nullptr;
    // ---- end capture
    // ---- extract: sounds, projectors, copies of the movie
    void mnuCaptureSoundClick();
    void mnuFileExeToSwfClick();
    void mnuexeToswfClick();
    void mnuFileSaveAsClick();
    // The EXE-to-SWF dialog, made once by CreateForms.
    void createExeToFrm();
    TExeToFrm* ExeToFrm = nullptr;
    // The video export dialog, made when first asked for.
    void mnuCaptureVideoClick();
    TVideoExportFrm* VideoExportFrm = nullptr;
    // The projector that OpenMovie was last given, empty before the first.
    const QString& lastProjector() const { return lastProjector_; }
    // ---- end extract
    // ---- desktop: the frame and the movie as the wallpaper
    void mnuSetWallLClick();
    void mnuSetWallPClick();
    void mnuSetWallCClick();
    void mnuSetSwfPaperClick();
    void mnuSetRestorePaperClick();
    void mnuSetDefPaperClick();
    void mnuSetDisPClick();
    // Stores the desktop's wallpaper as the user's own in the settings file
    // unless it is one of the program's own pictures.
    void RememberUserWallpaper();
    // ---- end desktop

    // ---- components, named as in the design (objectName = member name)
    QMenuBar* MainMenu1 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* N32 = nullptr;
    QAction* mnuFileSwf = nullptr;
    QAction* mnuFileDeSwf = nullptr;
    QAction* N12 = nullptr;
    QAction* mnuFileExeToSwf = nullptr;
    QAction* N10 = nullptr;
    QAction* mnuFileIE = nullptr;
    QAction* mnuFileIEClose = nullptr;
    QAction* N5 = nullptr;
    QAction* mnuFileReport = nullptr;
    QAction* N1 = nullptr;
    QMenu* N3 = nullptr;
    QAction* mnuFileLstAddFile = nullptr;
    QAction* mnuFileLstDel = nullptr;
    QAction* mnuFileLstAllDel = nullptr;
    QAction* mnuFileSorted = nullptr;
    QAction* mnuFileLstShowScr = nullptr;
    QMenu* IELst = nullptr;
    QAction* mnuFileIESave = nullptr;
    QAction* mnuFileIESorted = nullptr;
    QAction* mnuFileCustomS = nullptr;
    QMenu* mnuFileCloseFolder = nullptr;
    QAction* mnuFileFolderTrue = nullptr;
    QAction* mnuFileFolderFalse = nullptr;
    QAction* N14 = nullptr;
    QAction* mnuFileExit = nullptr;

    QMenu* mnuControl = nullptr;
    QMenu* mnuControlPlyNN = nullptr;
    QAction* mnuCPlyR = nullptr;
    QAction* mnuCplyR5 = nullptr;
    QAction* mnuCPlyR10 = nullptr;
    QAction* mnuCPlyR20 = nullptr;
    QAction* mnuCPlyR25 = nullptr;
    QAction* mnuCPlyR30 = nullptr;
    QAction* mnuCPlyR40 = nullptr;
    QAction* mnuCPlyPR50 = nullptr;
    QAction* mnuCPlyBackR = nullptr;
    QAction* mnuControlStopN = nullptr;
    QAction* N18 = nullptr;
    QAction* mnuControlRePly = nullptr;
    QAction* N41 = nullptr;
    QMenu* mnuDanZheng = nullptr;
    QAction* mnuForwardNum = nullptr;
    QAction* mnuBackNum = nullptr;
    QAction* mnuControlGoto = nullptr;
    QAction* N20 = nullptr;
    QAction* mnuControlReN = nullptr;
    QAction* N40 = nullptr;

    QMenu* mnuView = nullptr;
    QAction* mnuViewFull = nullptr;
    QMenu* mnuViewQuality = nullptr;
    QAction* mnuViewQualityHigh = nullptr;
    QAction* mnuViewQualityLow = nullptr;
    QAction* N31 = nullptr;
    QAction* mnuViewZoomIn = nullptr;
    QAction* mnuViewZoomOut = nullptr;
    QAction* mnuViewShowAll = nullptr;
    QAction* N37 = nullptr;
    QMenu* N28 = nullptr;
    QAction* mnuViewScaleShowAll = nullptr;
    QAction* mnuViewScaleNoBorder = nullptr;
    QAction* mnuViewScaleExactFit = nullptr;
    QAction* mnuViewScaleNoScale = nullptr;
    QAction* N27 = nullptr;
    QAction* mnuViewLook = nullptr;

    QMenu* mnuSetup = nullptr;
    QAction* PlyPN = nullptr;
    QAction* TMN = nullptr;
    QAction* N39 = nullptr;
    QMenu* mnuSetImgPaper = nullptr;
    QAction* mnuSetWallL = nullptr;
    QAction* mnuSetWallP = nullptr;
    QAction* mnuSetWallC = nullptr;
    QAction* mnuSetSwfPaper = nullptr;
    QAction* mnuSetRestorePaper = nullptr;
    QAction* mnuSetDefPaper = nullptr;
    QAction* N13 = nullptr;
    QAction* mnuSetDisP = nullptr;
    QAction* N4 = nullptr;
    QAction* mnuFileSaveAs = nullptr;
    QAction* N7 = nullptr;
    QAction* mnuSetbkcolor = nullptr;

    QMenu* mnuCapture = nullptr;
    QAction* mnuCaptureSave = nullptr;
    QMenu* mnuCaptureRectCut = nullptr;
    QAction* mnuCaptureShow = nullptr;
    QAction* mnuCaptureCutRectImg = nullptr;
    QAction* mnuCaptureZoomOut = nullptr;
    QAction* mnuCaptureZoomIn = nullptr;
    QAction* mnuCaptureRectCol = nullptr;
    QAction* TCN = nullptr;
    QAction* N38 = nullptr;
    QAction* mnuCaptureSound = nullptr;
    QAction* mnuCaptureVideo = nullptr;
    QAction* N15 = nullptr;
    QAction* mnuexeToswf = nullptr;

    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHow = nullptr;
    QAction* Plovex1 = nullptr;
    QAction* mnuHelpMailto = nullptr;
    QAction* mnuHelpAbout = nullptr;

    TPopupMenu1* PopupMenu1 = nullptr;
    QMenu* PlyP = nullptr;
    QAction* PlyPR = nullptr;
    QAction* PlyPR5 = nullptr;
    QAction* PlyPR10 = nullptr;
    QAction* PlyPR20 = nullptr;
    QAction* PlyPr25 = nullptr;
    QAction* PlyPR30 = nullptr;
    QAction* PlyPR40 = nullptr;
    QAction* PlyPR50 = nullptr;
    QAction* PlyBackR = nullptr;
    QAction* StopP = nullptr;
    QAction* N9 = nullptr;
    QAction* RePly = nullptr;
    QAction* N8 = nullptr;
    QAction* FulP = nullptr;
    QAction* ReP = nullptr;
    QAction* N11 = nullptr;
    QAction* PopmnuZoomIn = nullptr;
    QAction* PopmnuZoomOut = nullptr;
    QAction* PopmnuShowAll = nullptr;
    QAction* N2 = nullptr;
    QMenu* N43 = nullptr;
    QAction* PopmnuForward = nullptr;
    QAction* PopmnuBack = nullptr;
    QAction* PopMenuGoto = nullptr;
    QMenu* PopmnuSetImgPaper = nullptr;
    QAction* N26 = nullptr;
    QAction* N29 = nullptr;
    QAction* N30 = nullptr;
    QAction* N42 = nullptr;
    QAction* CutP = nullptr;
    QMenu* PlySP = nullptr;
    QAction* N16 = nullptr;
    QAction* N17 = nullptr;
    QAction* LookP = nullptr;
    QAction* N52 = nullptr;
    QAction* N53 = nullptr;
    QAction* N19 = nullptr;

    QMenu* ListPopMenu = nullptr;
    QAction* lstPopAddFile = nullptr;
    QAction* N24 = nullptr;
    QAction* N6 = nullptr;
    QAction* N22 = nullptr;

    QMenu* IEListPopMenu = nullptr;
    QAction* N21 = nullptr;
    QAction* N25 = nullptr;
    QAction* mnuCustomS = nullptr;

    QWidget* CoolBar1 = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QAction* OpenTB = nullptr;
    QAction* TBIE = nullptr;
    QAction* ToolButton14 = nullptr;
    QAction* PlyTB = nullptr;
    QAction* StopTB = nullptr;
    QAction* ReTB = nullptr;
    QAction* ToolButton18 = nullptr;
    QAction* TBForward = nullptr;
    QAction* TBBackNum = nullptr;
    QAction* TBGoto = nullptr;
    QAction* ToolButton4 = nullptr;
    QAction* TBZoomOut = nullptr;
    QAction* TBZoomIn = nullptr;
    QAction* TBShowAll = nullptr;
    QAction* ToolButton7 = nullptr;
    QAction* FullTB = nullptr;
    QAction* HGTB = nullptr;
    QAction* LGTB = nullptr;
    QAction* ToolButton5 = nullptr;
    QAction* TBPlyPN = nullptr;
    QAction* SaveTB = nullptr;
    QAction* ToolButton1 = nullptr;
    QAction* ToolButton6 = nullptr;
    QWidget* AddressPanle = nullptr;
    QComboBox* AddressBox = nullptr;
    QToolButton* GoSB = nullptr;
    QFrame* HS = nullptr;

    QSplitter* MainSplitter = nullptr;   // holds Panel2 | FlashPanel | IEPanel; its handles are VS and Splitter2
    QWidget* Panel2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QGroupBox* GroupBoxFolder = nullptr;
    TShellTreeView* ShellTreeView = nullptr;
    QGroupBox* gbList = nullptr;
    TListBox* ListBox1 = nullptr;
    QWidget* VS = nullptr;
    QWidget* IEPanel = nullptr;
    QWidget* Panel5 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    TListBox* IEListbox = nullptr;
    QWidget* Splitter2 = nullptr;
    QWidget* FlashPanel = nullptr;
    QWidget* PaintBox1 = nullptr;
    TCutShape* CutShape = nullptr;
    TShockwaveFlash* FlashMain = nullptr;

    TStatusBar* StatusBar = nullptr;

    FileDialog OpenD;
    FileDialog SaveD;
    ColorDialog ColorDialog1;
    QTimer* TimerFrmNum = nullptr;
    QTimer* TimerBackPly = nullptr;
    TApplicationEvents* ApplicationEvents1 = nullptr;

    // ---- the radio groups of the menus and the toolbar
    QActionGroup* groupPlayMain = nullptr;     // group 1 of the main menu
    QActionGroup* groupRateMain = nullptr;     // group 11
    QActionGroup* groupQuality = nullptr;      // group 2
    QActionGroup* groupScale = nullptr;        // group 7
    QActionGroup* groupFolder = nullptr;       // 启动时显示 / 启动时不显示
    QActionGroup* groupPlayPopup = nullptr;    // group 1 of the context menu
    QActionGroup* groupRatePopup = nullptr;    // group 12
    QActionGroup* groupPlayTB = nullptr;       // PlyTB, StopTB
    QActionGroup* groupQualityTB = nullptr;    // HGTB, LGTB

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createPopupMenus();
    void createToolBar();
    void createLayout();
    void createComponents();
    void connectHandlers();
    // Runs a member handler on the action's trigger, guarded like every handler.
    void connectCommand(QAction* action, void (TMFrm::*handler)());
    void connectCaptureHandlers();
    void FormCreate(const QString& movieArgument);
    bool FormCloseQuery();
    MovieOpenTargets openTargets();
    void showHelpFile();
    void showAbout();
    void openMail();

    // ---- playback ----
    void connectPlaybackHandlers();
    void createFullFrm();
    void createPlyPFrm();
    void createCTMFrm();
    void chooseRate(QAction* mainItem, QAction* popupItem, int interval);
    void checkScale(QAction* item, const QString& scale);
    void fullScreenSteps(bool on);
    // ---- end playback ----
    // ---- extract
    void connectExtractHandlers();
    QString lastProjector_;
    // ---- end extract
    // ---- desktop
    void connectDesktopHandlers();
    void setFrameAsWallpaper(const QString& question, WallpaperStyle style);
    // Writes the frame to flash.bmp beside the executable; returns its path.
    QString writeWallpaperPicture();
    // ---- end desktop
    // ---- sources
    void connectSourcesHandlers();
    void createSearchFrm();
    void RestoreSettings();
    void SaveSettings();
    // Runs the cache search on the cache folder; nullopt when a search runs
    // already or this one was called off.
    std::optional<QStringList> searchCache(qint64 minSize);
    void setCacheSearchCommandsEnabled(bool enabled);
    QString cacheFolder_;
    FileSearch ieSearch_;
    bool ieSearchCalledOff_ = false;

    std::unique_ptr<threadFrm> frameCounter_;
    QPointer<TAboutFrm> aboutFrm_;
    int fullScreen_ = 0;
    // The region frame's drag: the grab point in the frame and whether a drag runs.
    QPoint cutShapeGrab_;
    bool cutShapeDragging_ = false;
};

} // namespace plovex

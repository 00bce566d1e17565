#include "app/main_form.h"

#include "app/about_form.h"
#include "app/contact.h"
#include "app/tool_images.h"
#include "app/ui_font.h"
#include "capture/region_frame.h"
#include "platform/desktop.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "player/frame_counter.h"
#include "player/open_movie.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "sources/list_box.h"
#include "sources/shell_tree.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <array>

namespace plovex {

namespace {

TMFrm* g_mainForm = nullptr;

template <typename T>
T* named(T* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// A menu item. Items whose check marks the commands keep are checkable;
// clicking them checks or toggles them as the commands expect.
QAction* item(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key = {})
{
    QAction* action = named(menu->addAction(caption), name);
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}

QAction* item(QMenu* menu, const char* name, const QString& caption, ToolImage image, const QKeySequence& key = {})
{
    QAction* action = item(menu, name, caption, key);
    action->setIcon(ToolIcon(image));
    return action;
}

QAction* separator(QMenu* menu, const char* name)
{
    return named(menu->addSeparator(), name);
}

QMenu* submenu(QMenu* parent, const char* name, const QString& caption)
{
    QMenu* menu = named(new QMenu(caption, parent), name);
    named(parent->addMenu(menu), name);
    return menu;
}

void radio(QActionGroup* group, QAction* action, bool checked = false)
{
    action->setCheckable(true);
    action->setChecked(checked);
    group->addAction(action);
}

QActionGroup* exclusiveGroup(QObject* parent, const char* name)
{
    auto* group = named(new QActionGroup(parent), name);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    return group;
}

// The rate submenu of the main menu and of the context menu: the default
// rate, the fixed rates and reverse play, one exclusive group with the
// default checked. Only the item names differ between the two menus.
struct RateItem {
    QAction** slot;
    const char* name;
};

void addRateItems(QMenu* menu, QActionGroup* group, const std::array<RateItem, 9>& items)
{
    static const char* const captions[9] = {"默认速率", "5帧/秒",  "10帧/秒", "20帧/秒",      "25帧/秒",
                                            "30帧/秒",  "40帧/秒", "50帧/秒", "倒放(25帧/秒)"};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QString caption = QString::fromUtf8(captions[i]);
        QAction* action = i == 0 ? item(menu, items[i].name, caption, ToolImage::Play)
                          : i == 8 ? item(menu, items[i].name, caption, ToolImage::Reverse)
                                   : item(menu, items[i].name, caption);
        radio(group, action, i == 0);
        *items[i].slot = action;
    }
}

void makeDefault(QAction* action)
{
    QFont font = action->font();
    font.setBold(true);
    action->setFont(font);
}

// A control that only runs the click of another command.
void forward(QAction* from, QAction* to)
{
    QObject::connect(from, &QAction::triggered, to, [to] { to->trigger(); });
}

bool insideOf(const QObject* object, const QWidget* ancestor)
{
    for (const QObject* o = object; o; o = o->parent())
        if (o == ancestor)
            return true;
    return false;
}

} // namespace

// ---------------------------------------------------------------- hook

TApplicationEvents::TApplicationEvents(TMFrm* form)
    : QObject(form), form_(form)
{
    setObjectName(QStringLiteral("ApplicationEvents1"));
    qApp->installEventFilter(this);
}

TApplicationEvents::~TApplicationEvents()
{
    qApp->removeEventFilter(this);
}

bool TApplicationEvents::eventFilter(QObject* watched, QEvent* event)
{
    try {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton && form_->FlashMain && watched->isWidgetType()
                && insideOf(watched, form_->FlashMain)) {
                form_->ApplicationEvents1Message(QCursor::pos());
                return true;
            }
        } else if (event->type() == QEvent::KeyRelease) {
            // Key preview: the main window sees the key before the control
            // with the focus, once per key (not again as it propagates).
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat() && watched->isWidgetType()) {
                auto* widget = static_cast<QWidget*>(watched);
                QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : widget->window();
                if (widget == first && widget->window() == form_)
                    form_->FormKeyUp(key->key());
            }
        }
    } catch (...) {
        ReportCurrentException();
    }
    return false;
}

// ---------------------------------------------------------------- TMFrm

TMFrm::TMFrm(const QString& movieArgument, QWidget* parent)
    : QMainWindow(parent)
{
    g_mainForm = this;
    setObjectName(QStringLiteral("MFrm"));
    setWindowTitle(QStringLiteral("Plovex   V3.0(永远完全免费，如果觉得好用，请推荐给您的朋友！"));
    setWindowIcon(AboutIconPicture());
    setMinimumSize(400, 300);
    resize(651, 464);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    createComponents();
    createMenus();
    createPopupMenus();
    createToolBar();
    createLayout();
    connectHandlers();
    ApplicationEvents1 = new TApplicationEvents(this);

    try {
        FormCreate(movieArgument);
    } catch (...) {
        ReportCurrentException();
    }
    CreateForms();
}

void TMFrm::CreateForms()
{
    // In this order: TFullFrm, TAboutFrm, TSaveFrm, TPlyPFrm, TCTMFrm,
    // TExeToFrm, TfrmReport, TfrmSearch. A movie opened by FormCreate came
    // before any of them.
    createFullFrm();      // TFullFrm
    if (!aboutFrm_)       // TAboutFrm
        aboutFrm_ = new TAboutFrm(this);
    createSaveFrm();      // TSaveFrm
    createPlyPFrm();      // TPlyPFrm
    createCTMFrm();       // TCTMFrm
    createExeToFrm();     // TExeToFrm
    createReportForm();   // TfrmReport
    createSearchFrm();    // TfrmSearch
}

TMFrm::~TMFrm()
{
    // The counter is stopped and waited for before any control goes away.
    if (frameCounter_)
        frameCounter_->stopAndWait();
    frameCounter_.reset();
    delete ApplicationEvents1;
    ApplicationEvents1 = nullptr;
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

TMFrm* TMFrm::instance()
{
    return g_mainForm;
}

void TMFrm::createComponents()
{
    OpenD.kind = FileDialog::Kind::Open;
    SaveD.kind = FileDialog::Kind::Save;
    SaveD.overwritePrompt = true;
    SaveD.hideReadOnly = true;
    SaveD.enableSizing = true;
    ColorDialog1.color = Qt::red;

    TimerFrmNum = named(new QTimer(this), "TimerFrmNum");
    TimerBackPly = named(new QTimer(this), "TimerBackPly");
}

void TMFrm::createMenus()
{
    MainMenu1 = named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);
    auto top = [this](const char* name, const QString& caption) {
        QMenu* menu = named(new QMenu(caption, this), name);
        named(MainMenu1->addMenu(menu), name);
        return menu;
    };

    // 文件
    mnuFile = top("mnuFile", QStringLiteral("文件(&F)"));
    mnuFileOpen = item(mnuFile, "mnuFileOpen", QStringLiteral("打开(&O)..."), ToolImage::Open, QKeySequence(QStringLiteral("Ctrl+I")));
    makeDefault(mnuFileOpen);
    N32 = separator(mnuFile, "N32");
    mnuFileSwf = item(mnuFile, "mnuFileSwf", QStringLiteral("与swf文件建立关联"), ToolImage::Associate);
    mnuFileDeSwf = item(mnuFile, "mnuFileDeSwf", QStringLiteral("取消与swf文件关联"));
    N12 = separator(mnuFile, "N12");
    mnuFileExeToSwf = item(mnuFile, "mnuFileExeToSwf", QStringLiteral("EXE-->SWF"), ToolImage::ExeToSwf);
    N10 = separator(mnuFile, "N10");
    mnuFileIE = item(mnuFile, "mnuFileIE", QStringLiteral("打开IE缓存搜索"), ToolImage::CacheList);
    mnuFileIEClose = item(mnuFile, "mnuFileIEClose", QStringLiteral("关闭IE缓存搜索"));
    N5 = separator(mnuFile, "N5");
    mnuFileReport = item(mnuFile, "mnuFileReport", QStringLiteral("打印预览"), ToolImage::Print);
    N1 = separator(mnuFile, "N1");
    N3 = submenu(mnuFile, "N3", QStringLiteral("播放列表"));
    N3->setIcon(ToolIcon(ToolImage::Playlist));
    mnuFileLstAddFile = item(N3, "mnuFileLstAddFile", QStringLiteral("添加"));
    mnuFileLstDel = item(N3, "mnuFileLstDel", QStringLiteral("删除"));
    mnuFileLstAllDel = item(N3, "mnuFileLstAllDel", QStringLiteral("全部从列表删除"));
    mnuFileSorted = item(N3, "mnuFileSorted", QStringLiteral("按名称排序"));
    mnuFileLstShowScr = item(N3, "mnuFileLstShowScr", QStringLiteral("显示水平滚动条"));
    IELst = submenu(mnuFile, "IELst", QStringLiteral("IE缓存列表"));
    IELst->menuAction()->setEnabled(false);
    mnuFileIESave = item(IELst, "mnuFileIESave", QStringLiteral("另存为"), ToolImage::SaveAs);
    mnuFileIESorted = item(IELst, "mnuFileIESorted", QStringLiteral("按名称排序"));
    mnuFileCustomS = item(IELst, "mnuFileCustomS", QStringLiteral("文件过滤"));
    mnuFileCloseFolder = submenu(mnuFile, "mnuFileCloseFolder", QStringLiteral("文件夹"));
    mnuFileCloseFolder->setIcon(ToolIcon(ToolImage::Folder));
    groupFolder = exclusiveGroup(this, "groupFolder");
    mnuFileFolderTrue = item(mnuFileCloseFolder, "mnuFileFolderTrue", QStringLiteral("启动时显示"));
    mnuFileFolderFalse = item(mnuFileCloseFolder, "mnuFileFolderFalse", QStringLiteral("启动时不显示"));
    radio(groupFolder, mnuFileFolderTrue);
    radio(groupFolder, mnuFileFolderFalse);
    N14 = separator(mnuFile, "N14");
    mnuFileExit = item(mnuFile, "mnuFileExit", QStringLiteral("退出(&X)"), ToolImage::Exit);

    // 控制
    mnuControl = top("mnuControl", QStringLiteral("控制(&T)"));
    groupPlayMain = exclusiveGroup(this, "groupPlayMain");
    mnuControlPlyNN = submenu(mnuControl, "mnuControlPlyNN", QStringLiteral("播放"));
    radio(groupPlayMain, mnuControlPlyNN->menuAction(), true);
    groupRateMain = exclusiveGroup(this, "groupRateMain");
    addRateItems(mnuControlPlyNN, groupRateMain,
                 {{{&mnuCPlyR, "mnuCPlyR"}, {&mnuCplyR5, "mnuCplyR5"}, {&mnuCPlyR10, "mnuCPlyR10"},
                   {&mnuCPlyR20, "mnuCPlyR20"}, {&mnuCPlyR25, "mnuCPlyR25"}, {&mnuCPlyR30, "mnuCPlyR30"},
                   {&mnuCPlyR40, "mnuCPlyR40"}, {&mnuCPlyPR50, "mnuCPlyPR50"}, {&mnuCPlyBackR, "mnuCPlyBackR"}}});
    mnuControlStopN = item(mnuControl, "mnuControlStopN", QStringLiteral("暂停"), ToolImage::Pause);
    radio(groupPlayMain, mnuControlStopN);
    N18 = separator(mnuControl, "N18");
    mnuControlRePly = item(mnuControl, "mnuControlRePly", QStringLiteral("重新开始"), ToolImage::Restart, QKeySequence(QStringLiteral("Ctrl+R")));
    N41 = separator(mnuControl, "N41");
    mnuDanZheng = submenu(mnuControl, "mnuDanZheng", QStringLiteral("单帧播放"));
    mnuForwardNum = item(mnuDanZheng, "mnuForwardNum", QStringLiteral("前进  Num+1"), ToolImage::StepForward);
    mnuBackNum = item(mnuDanZheng, "mnuBackNum", QStringLiteral("后退  Num-1"), ToolImage::StepBack);
    mnuControlGoto = item(mnuControl, "mnuControlGoto", QStringLiteral("跳转到某帧(&G)..."), ToolImage::Goto);
    N20 = separator(mnuControl, "N20");
    mnuControlReN = item(mnuControl, "mnuControlReN", QStringLiteral("循环"), ToolImage::Loop);
    mnuControlReN->setCheckable(true);
    mnuControlReN->setChecked(true);
    N40 = separator(mnuControl, "N40");

    // 查看
    mnuView = top("mnuView", QStringLiteral("查看(&V)"));
    mnuViewFull = item(mnuView, "mnuViewFull", QStringLiteral("全屏"), ToolImage::FullScreen, QKeySequence(QStringLiteral("Ctrl+F")));
    mnuViewQuality = submenu(mnuView, "mnuViewQuality", QStringLiteral("品质"));
    groupQuality = exclusiveGroup(this, "groupQuality");
    mnuViewQualityHigh = item(mnuViewQuality, "mnuViewQualityHigh", QStringLiteral("高"), ToolImage::QualityHigh);
    mnuViewQualityLow = item(mnuViewQuality, "mnuViewQualityLow", QStringLiteral("底"), ToolImage::QualityLow);
    radio(groupQuality, mnuViewQualityHigh, true);
    radio(groupQuality, mnuViewQualityLow);
    N31 = separator(mnuView, "N31");
    mnuViewZoomIn = item(mnuView, "mnuViewZoomIn", QStringLiteral("放大"), ToolImage::ZoomIn);
    mnuViewZoomOut = item(mnuView, "mnuViewZoomOut", QStringLiteral("缩小"), ToolImage::ZoomOut);
    mnuViewShowAll = item(mnuView, "mnuViewShowAll", QStringLiteral("全部显示"), ToolImage::ShowAll);
    N37 = separator(mnuView, "N37");
    N28 = submenu(mnuView, "N28", QStringLiteral("播放比例"));
    groupScale = exclusiveGroup(this, "groupScale");
    mnuViewScaleShowAll = item(N28, "mnuViewScaleShowAll", QStringLiteral("全部显示"));
    mnuViewScaleNoBorder = item(N28, "mnuViewScaleNoBorder", QStringLiteral("无边框"));
    mnuViewScaleExactFit = item(N28, "mnuViewScaleExactFit", QStringLiteral("自动调整比例"));
    mnuViewScaleNoScale = item(N28, "mnuViewScaleNoScale", QStringLiteral("无比例"));
    for (QAction* a : {mnuViewScaleShowAll, mnuViewScaleNoBorder, mnuViewScaleExactFit, mnuViewScaleNoScale})
        radio(groupScale, a, a == mnuViewScaleShowAll);
    N27 = separator(mnuView, "N27");
    mnuViewLook = item(mnuView, "mnuViewLook", QStringLiteral("查看当前flash总帧"), ToolImage::Frames, QKeySequence(QStringLiteral("Ctrl+Alt+V")));

    // 设置
    mnuSetup = top("mnuSetup", QStringLiteral("设置(&S)"));
    PlyPN = item(mnuSetup, "PlyPN", QStringLiteral("播放进度"));
    TMN = item(mnuSetup, "TMN", QStringLiteral("窗体透明度"));
    N39 = separator(mnuSetup, "N39");
    mnuSetImgPaper = submenu(mnuSetup, "mnuSetImgPaper", QStringLiteral("画面设为墙纸"));
    mnuSetImgPaper->setIcon(ToolIcon(ToolImage::Wallpaper));
    mnuSetWallL = item(mnuSetImgPaper, "mnuSetWallL", QStringLiteral("拉伸"));
    mnuSetWallP = item(mnuSetImgPaper, "mnuSetWallP", QStringLiteral("平铺"));
    mnuSetWallC = item(mnuSetImgPaper, "mnuSetWallC", QStringLiteral("居中"));
    mnuSetSwfPaper = item(mnuSetup, "mnuSetSwfPaper", QStringLiteral("将Flash设为墙纸"));
    mnuSetRestorePaper = item(mnuSetup, "mnuSetRestorePaper", QStringLiteral("还原墙纸"));
    mnuSetDefPaper = item(mnuSetup, "mnuSetDefPaper", QStringLiteral("墙纸设为空"));
    N13 = separator(mnuSetup, "N13");
    mnuSetDisP = item(mnuSetup, "mnuSetDisP", QStringLiteral("打开显示属性"), QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    N4 = separator(mnuSetup, "N4");
    mnuFileSaveAs = item(mnuSetup, "mnuFileSaveAs", QStringLiteral("当前swf另存为"), ToolImage::SaveAs);
    N7 = separator(mnuSetup, "N7");
    mnuSetbkcolor = item(mnuSetup, "mnuSetbkcolor", QStringLiteral("Flash背景色"), ToolImage::Colour);

    // 提取元素
    mnuCapture = top("mnuCapture", QStringLiteral("提取元素(&Q)"));
    mnuCaptureSave = item(mnuCapture, "mnuCaptureSave", QStringLiteral("截取图象"), ToolImage::Capture, QKeySequence(QStringLiteral("Ctrl+Alt+C")));
    makeDefault(mnuCaptureSave);
    mnuCaptureRectCut = submenu(mnuCapture, "mnuCaptureRectCut", QStringLiteral("区域图象截取"));
    mnuCaptureShow = item(mnuCaptureRectCut, "mnuCaptureShow", QStringLiteral("显示/隐藏截取图框"));
    mnuCaptureCutRectImg = item(mnuCaptureRectCut, "mnuCaptureCutRectImg", QStringLiteral("区域截取"));
    mnuCaptureZoomOut = item(mnuCaptureRectCut, "mnuCaptureZoomOut", QStringLiteral("放大图框"));
    mnuCaptureZoomIn = item(mnuCaptureRectCut, "mnuCaptureZoomIn", QStringLiteral("缩小图框"));
    mnuCaptureRectCol = item(mnuCaptureRectCut, "mnuCaptureRectCol", QStringLiteral("图框颜色"));
    for (QAction* a : {mnuCaptureCutRectImg, mnuCaptureZoomOut, mnuCaptureZoomIn, mnuCaptureRectCol})
        a->setEnabled(false);
    TCN = item(mnuCapture, "TCN", QStringLiteral("定时截取"));
    N38 = separator(mnuCapture, "N38");
    mnuCaptureSound = item(mnuCapture, "mnuCaptureSound", QStringLiteral("声音提取"), ToolImage::Sound);
    mnuCaptureVideo = item(mnuCapture, "mnuCaptureVideo", QStringLiteral("导出视频..."));
    N15 = separator(mnuCapture, "N15");
    mnuexeToswf = item(mnuCapture, "mnuexeToswf", QStringLiteral("当前exe转换成swf"), ToolImage::ExeToSwf);

    // 帮助
    mnuHelp = top("mnuHelp", QStringLiteral("帮助(&A)"));
    // Hidden, with Ctrl+H kept by a shortcut of the window (see connectHandlers).
    mnuHelpHow = item(mnuHelp, "mnuHelpHow", QStringLiteral("帮助文档"), ToolImage::Help);
    mnuHelpHow->setVisible(false);
    Plovex1 = item(mnuHelp, "Plovex1", QStringLiteral("Plovex主页"));
    mnuHelpMailto = item(mnuHelp, "mnuHelpMailto", QStringLiteral("写信给我"), ToolImage::Mail);
    mnuHelpAbout = item(mnuHelp, "mnuHelpAbout", QStringLiteral("关于"), ToolImage::About);
}

void TMFrm::createPopupMenus()
{
    PopupMenu1 = named(new TPopupMenu1(this), "PopupMenu1");
    TBarPopupMenu::ConfigureAsPlayerMenu(*PopupMenu1);
    groupPlayPopup = exclusiveGroup(this, "groupPlayPopup");
    PlyP = submenu(PopupMenu1, "PlyP", QStringLiteral("播放"));
    radio(groupPlayPopup, PlyP->menuAction(), true);
    groupRatePopup = exclusiveGroup(this, "groupRatePopup");
    addRateItems(PlyP, groupRatePopup,
                 {{{&PlyPR, "PlyPR"}, {&PlyPR5, "PlyPR5"}, {&PlyPR10, "PlyPR10"}, {&PlyPR20, "PlyPR20"},
                   {&PlyPr25, "PlyPr25"}, {&PlyPR30, "PlyPR30"}, {&PlyPR40, "PlyPR40"}, {&PlyPR50, "PlyPR50"},
                   {&PlyBackR, "PlyBackR"}}});
    StopP = item(PopupMenu1, "StopP", QStringLiteral("暂停"), ToolImage::Pause);
    radio(groupPlayPopup, StopP);
    N9 = separator(PopupMenu1, "N9");
    RePly = item(PopupMenu1, "RePly", QStringLiteral("重新开始"), ToolImage::Restart);
    N8 = separator(PopupMenu1, "N8");
    FulP = item(PopupMenu1, "FulP", QStringLiteral("全屏/恢复"), ToolImage::FullScreen);
    ReP = item(PopupMenu1, "ReP", QStringLiteral("循环"), ToolImage::Loop);
    ReP->setCheckable(true);
    ReP->setChecked(true);
    N11 = separator(PopupMenu1, "N11");
    PopmnuZoomIn = item(PopupMenu1, "PopmnuZoomIn", QStringLiteral("放大"), ToolImage::ZoomIn);
    PopmnuZoomOut = item(PopupMenu1, "PopmnuZoomOut", QStringLiteral("缩小"), ToolImage::ZoomOut);
    PopmnuShowAll = item(PopupMenu1, "PopmnuShowAll", QStringLiteral("全部显示"), ToolImage::ShowAll);
    N2 = separator(PopupMenu1, "N2");
    N43 = submenu(PopupMenu1, "N43", QStringLiteral("单帧播放"));
    PopmnuForward = item(N43, "PopmnuForward", QStringLiteral("前进  Num+1"), ToolImage::StepForward);
    PopmnuBack = item(N43, "PopmnuBack", QStringLiteral("后退  Num-1"), ToolImage::StepBack);
    PopMenuGoto = item(PopupMenu1, "PopMenuGoto", QStringLiteral("跳转到..."), ToolImage::Goto);
    PopmnuSetImgPaper = submenu(PopupMenu1, "PopmnuSetImgPaper", QStringLiteral("画面设为墙纸"));
    PopmnuSetImgPaper->setIcon(ToolIcon(ToolImage::Wallpaper));
    N26 = item(PopmnuSetImgPaper, "N26", QStringLiteral("拉伸"));
    N29 = item(PopmnuSetImgPaper, "N29", QStringLiteral("平铺"));
    N30 = item(PopmnuSetImgPaper, "N30", QStringLiteral("居中"));
    N42 = separator(PopupMenu1, "N42");
    CutP = item(PopupMenu1, "CutP", QStringLiteral("图象截取"), ToolImage::Capture);
    PlySP = submenu(PopupMenu1, "PlySP", QStringLiteral("播放设置"));
    N16 = item(PlySP, "N16", QStringLiteral("播放进度"));
    N17 = item(PlySP, "N17", QStringLiteral("窗体透明度"));
    LookP = item(PopupMenu1, "LookP", QStringLiteral("查看总帧数"), ToolImage::Frames);
    N52 = separator(PopupMenu1, "N52");
    N53 = item(PopupMenu1, "N53", QStringLiteral("帮助文档"), ToolImage::Help);
    N19 = item(PopupMenu1, "N19", QStringLiteral("关于"), ToolImage::About);

    ListPopMenu = named(new QMenu(this), "ListPopMenu");
    lstPopAddFile = item(ListPopMenu, "lstPopAddFile", QStringLiteral("添加"));
    N24 = item(ListPopMenu, "N24", QStringLiteral("删除"));
    N6 = item(ListPopMenu, "N6", QStringLiteral("全部从列表删除"));
    N22 = item(ListPopMenu, "N22", QStringLiteral("显示水平滚动条"));

    IEListPopMenu = named(new QMenu(this), "IEListPopMenu");
    N21 = item(IEListPopMenu, "N21", QStringLiteral("另存为"), ToolImage::SaveAs);
    N25 = item(IEListPopMenu, "N25", QStringLiteral("按名称排序"));
    mnuCustomS = item(IEListPopMenu, "mnuCustomS", QStringLiteral("文件过滤"));
}

void TMFrm::createToolBar()
{
    ToolBar2 = named(new QToolBar(QStringLiteral("ToolBar2"), this), "ToolBar2");
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar2->setContextMenuPolicy(Qt::PreventContextMenu);

    auto button = [this](const char* name, const QString& hint, ToolImage image) {
        QAction* action = named(ToolBar2->addAction(ToolIcon(image), hint), name);
        action->setToolTip(hint);
        if (QWidget* w = ToolBar2->widgetForAction(action)) {
            w->setObjectName(QString::fromLatin1(name));
            w->setFixedWidth(25);
        }
        return action;
    };
    auto separatorButton = [this](const char* name) { return named(ToolBar2->addSeparator(), name); };
    auto check = [](QAction* action, bool pressed) {
        action->setCheckable(true);
        action->setChecked(pressed);
    };

    OpenTB = button("OpenTB", QStringLiteral("打开swf文件"), ToolImage::Open);
    TBIE = button("TBIE", QStringLiteral("打开IE缓存列表"), ToolImage::CacheList);
    check(TBIE, false);
    ToolButton14 = separatorButton("ToolButton14");
    PlyTB = button("PlyTB", QStringLiteral("正常播放"), ToolImage::Play);
    StopTB = button("StopTB", QStringLiteral("暂停"), ToolImage::Pause);
    groupPlayTB = exclusiveGroup(this, "groupPlayTB");
    check(PlyTB, true);
    check(StopTB, false);
    groupPlayTB->addAction(PlyTB);
    groupPlayTB->addAction(StopTB);
    ReTB = button("ReTB", QStringLiteral("循环"), ToolImage::Loop);
    check(ReTB, false);
    ToolButton18 = separatorButton("ToolButton18");
    TBForward = button("TBForward", QStringLiteral("下一帧"), ToolImage::StepForward);
    TBBackNum = button("TBBackNum", QStringLiteral("上一帧"), ToolImage::StepBack);
    TBGoto = button("TBGoto", QStringLiteral("跳转到"), ToolImage::Goto);
    ToolButton4 = separatorButton("ToolButton4");
    TBZoomOut = button("TBZoomOut", QStringLiteral("放大"), ToolImage::ZoomIn);
    TBZoomIn = button("TBZoomIn", QStringLiteral("缩小"), ToolImage::ZoomOut);
    TBShowAll = button("TBShowAll", QStringLiteral("全部显示"), ToolImage::ShowAll);
    ToolButton7 = separatorButton("ToolButton7");
    FullTB = button("FullTB", QStringLiteral("全屏"), ToolImage::FullScreen);
    HGTB = button("HGTB", QStringLiteral("高品质"), ToolImage::QualityHigh);
    LGTB = button("LGTB", QStringLiteral("低品质"), ToolImage::QualityLow);
    groupQualityTB = exclusiveGroup(this, "groupQualityTB");
    check(HGTB, true);
    check(LGTB, false);
    groupQualityTB->addAction(HGTB);
    groupQualityTB->addAction(LGTB);
    ToolButton5 = separatorButton("ToolButton5");
    TBPlyPN = button("TBPlyPN", QStringLiteral("画面设为墙纸"), ToolImage::Wallpaper);
    SaveTB = button("SaveTB", QStringLiteral("截取并保存图象"), ToolImage::Capture);
    ToolButton1 = separatorButton("ToolButton1");
    ToolButton6 = button("ToolButton6", QStringLiteral("写信给我") + kContactMail, ToolImage::Mail);

    // The wallpaper button offers the three wallpaper styles of its menu item.
    if (auto* b = qobject_cast<QToolButton*>(ToolBar2->widgetForAction(TBPlyPN))) {
        b->setMenu(mnuSetImgPaper);
        b->setPopupMode(QToolButton::InstantPopup);
        b->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    }
}

void TMFrm::createLayout()
{
    auto* central = named(new QWidget(this), "ClientArea");
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The cool bar: the toolbar band and the address band.
    CoolBar1 = named(new QWidget(central), "CoolBar1");
    CoolBar1->setFont(UiFont(12));
    auto* bands = new QVBoxLayout(CoolBar1);
    bands->setContentsMargins(2, 1, 2, 1);
    bands->setSpacing(1);
    ToolBar2->setParent(CoolBar1);
    bands->addWidget(ToolBar2);
    auto* band2 = named(new QWidget(CoolBar1), "CoolBand2");
    auto* band2Layout = new QHBoxLayout(band2);
    band2Layout->setContentsMargins(2, 0, 0, 0);
    band2Layout->setSpacing(4);
    band2Layout->addWidget(named(new QLabel(QStringLiteral("地址栏"), band2), "CoolBand2Text"));
    AddressPanle = named(new QWidget(band2), "AddressPanle");
    auto* addressLayout = new QHBoxLayout(AddressPanle);
    addressLayout->setContentsMargins(0, 0, 0, 0);
    addressLayout->setSpacing(2);
    AddressBox = named(new QComboBox(AddressPanle), "AddressBox");
    AddressBox->setEditable(true);
    AddressBox->setMinimumWidth(120);
    AddressBox->resize(494, AddressBox->height());
    AddressBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    GoSB = named(new QToolButton(AddressPanle), "GoSB");
    GoSB->setText(QStringLiteral("播放"));
    GoSB->setAutoRaise(true);
    GoSB->setFixedWidth(54);
    addressLayout->addWidget(AddressBox, 1);
    addressLayout->addWidget(GoSB);
    band2Layout->addWidget(AddressPanle, 1);
    bands->addWidget(band2);
    outer->addWidget(CoolBar1);

    HS = named(new QFrame(central), "HS");
    HS->setFrameShape(QFrame::HLine);
    HS->setFrameShadow(QFrame::Sunken);
    HS->setFixedHeight(3);
    outer->addWidget(HS);

    MainSplitter = named(new QSplitter(Qt::Horizontal, central), "MainSplitter");
    MainSplitter->setHandleWidth(5);
    MainSplitter->setChildrenCollapsible(false);
    MainSplitter->setOpaqueResize(true);

    // Left: the folder tree over the playlist.
    Panel2 = named(new QWidget(MainSplitter), "Panel2");
    Panel2->setMinimumWidth(5);
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = named(new QSplitter(Qt::Vertical, Panel2), "Splitter1");
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    GroupBoxFolder = named(new QGroupBox(QStringLiteral("文件夹"), Splitter1), "GroupBoxFolder");
    auto* folderLayout = new QVBoxLayout(GroupBoxFolder);
    folderLayout->setContentsMargins(2, 2, 2, 2);
    ShellTreeView = named(new TShellTreeView(GroupBoxFolder), "ShellTreeView");
    folderLayout->addWidget(ShellTreeView);
    gbList = named(new QGroupBox(QStringLiteral("播放列表"), Splitter1), "gbList");
    auto* listLayout = new QVBoxLayout(gbList);
    listLayout->setContentsMargins(2, 2, 2, 2);
    ListBox1 = named(new TListBox(gbList), "ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ListPopMenu->popup(ListBox1->viewport()->mapToGlobal(pos)); });
    listLayout->addWidget(ListBox1);
    Splitter1->addWidget(GroupBoxFolder);
    Splitter1->addWidget(gbList);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({300, 144});
    panel2Layout->addWidget(Splitter1);

    // Middle: the player area.
    FlashPanel = named(new QWidget(MainSplitter), "FlashPanel");
    FlashPanel->setAutoFillBackground(true);
    PaintBox1 = named(new QWidget(FlashPanel), "PaintBox1");
    // The region frame waits, hidden, behind the player until it is shown.
    CutShape = named(new TCutShape(FlashPanel), "CutShape");
    CutShape->setFramePos(QPoint(32, 8));
    CutShape->setFrameSize(241, 177);
    CutShape->hide();
    FlashMain = named(new TShockwaveFlash(FlashPanel), "FlashMain");
    FlashMain->setGeometry(FlashPanel->rect());
    FlashMain->raise();
    FlashPanel->installEventFilter(this);

    // Right: the cache list, hidden at start.
    IEPanel = named(new QWidget(MainSplitter), "IEPanel");
    IEPanel->setMinimumWidth(10);
    auto* ieLayout = new QVBoxLayout(IEPanel);
    ieLayout->setContentsMargins(0, 0, 0, 0);
    ieLayout->setSpacing(0);
    Panel5 = named(new QWidget(IEPanel), "Panel5");
    Panel5->setFixedHeight(16);
    auto* panel5Layout = new QHBoxLayout(Panel5);
    panel5Layout->setContentsMargins(2, 0, 0, 0);
    panel5Layout->addWidget(named(new QLabel(QStringLiteral("IE缓存"), Panel5), "Label3"), 1);
    SpeedButton1 = named(new QToolButton(Panel5), "SpeedButton1");
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(ClosePicture());
    SpeedButton1->setIconSize(QSize(12, 12));
    SpeedButton1->setToolTip(QStringLiteral("关闭缓存列表"));
    panel5Layout->addWidget(SpeedButton1);
    ieLayout->addWidget(Panel5);
    IEListbox = named(new TListBox(IEPanel), "IEListbox");
    IEListbox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(IEListbox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { IEListPopMenu->popup(IEListbox->viewport()->mapToGlobal(pos)); });
    ieLayout->addWidget(IEListbox);

    MainSplitter->addWidget(Panel2);
    MainSplitter->addWidget(FlashPanel);
    MainSplitter->addWidget(IEPanel);
    MainSplitter->setStretchFactor(0, 0);
    MainSplitter->setStretchFactor(1, 1);
    MainSplitter->setStretchFactor(2, 0);
    MainSplitter->setSizes({177, 400, 92});
    VS = named(static_cast<QWidget*>(MainSplitter->handle(1)), "VS");
    Splitter2 = named(static_cast<QWidget*>(MainSplitter->handle(2)), "Splitter2");
    IEPanel->hide();
    outer->addWidget(MainSplitter, 1);
    setCentralWidget(central);

    StatusBar = named(new TStatusBar(this), "StatusBar");
    StatusBar->addPanel(500);
    StatusBar->addPanel(100);
    StatusBar->addPanel(50);
    setStatusBar(StatusBar);
}

void TMFrm::connectCommand(QAction* action, void (TMFrm::*handler)())
{
    connect(action, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
}

void TMFrm::connectHandlers()
{
    connectCommand(mnuFileOpen, &TMFrm::mnuFileOpenClick);
    connectCommand(mnuFileExit, &TMFrm::mnuFileExitClick);
    connectCommand(mnuHelpHow, &TMFrm::mnuHelpHowClick);
    connectCommand(mnuHelpAbout, &TMFrm::mnuHelpAboutClick);
    connectCommand(Plovex1, &TMFrm::Plovex1Click);
    connectCommand(mnuHelpMailto, &TMFrm::mnuHelpMailtoClick);
    connectCommand(N53, &TMFrm::N53Click);
    connectCommand(N19, &TMFrm::N19Click);
    connectCommand(ToolButton6, &TMFrm::mnuHelpMailtoClick);
    connectPlaybackHandlers();
    connectSourcesHandlers();
    connectCaptureHandlers();
    connectExtractHandlers();
    connectDesktopHandlers();

    // The context menu forwards to the main menu.
    const std::pair<QAction*, QAction*> popupForwards[] = {
        {PlyPR, mnuCPlyR}, {PlyPR5, mnuCplyR5}, {PlyPR10, mnuCPlyR10}, {PlyPR20, mnuCPlyR20},
        {PlyPr25, mnuCPlyR25}, {PlyPR30, mnuCPlyR30}, {PlyPR40, mnuCPlyR40}, {PlyPR50, mnuCPlyPR50},
        {PlyBackR, mnuCPlyBackR}, {StopP, mnuControlStopN}, {RePly, mnuControlRePly},
        {FulP, mnuViewFull}, {ReP, mnuControlReN}, {PopmnuZoomIn, mnuViewZoomIn},
        {PopmnuZoomOut, mnuViewZoomOut}, {PopmnuShowAll, mnuViewShowAll},
        {PopmnuForward, mnuForwardNum}, {PopmnuBack, mnuBackNum}, {PopMenuGoto, mnuControlGoto},
        {N26, mnuSetWallL}, {N29, mnuSetWallP}, {N30, mnuSetWallC}, {CutP, mnuCaptureSave},
        {N16, PlyPN}, {N17, TMN}, {LookP, mnuViewLook},
        {lstPopAddFile, mnuFileLstAddFile}, {N24, mnuFileLstDel}, {N6, mnuFileLstAllDel},
        {N22, mnuFileLstShowScr}, {N21, mnuFileIESave}, {N25, mnuFileIESorted},
        {mnuCustomS, mnuFileCustomS},
    };
    for (const auto& [from, to] : popupForwards)
        forward(from, to);

    // So does the toolbar. TBZoomOut and TBZoomIn carry each other's names.
    const std::pair<QAction*, QAction*> toolForwards[] = {
        {OpenTB, mnuFileOpen}, {PlyTB, mnuCPlyR}, {StopTB, mnuControlStopN},
        {ReTB, mnuControlReN}, {TBForward, mnuForwardNum}, {TBBackNum, mnuBackNum},
        {TBGoto, mnuControlGoto}, {TBZoomOut, mnuViewZoomIn}, {TBZoomIn, mnuViewZoomOut},
        {TBShowAll, mnuViewShowAll}, {FullTB, mnuViewFull}, {HGTB, mnuViewQualityHigh},
        {LGTB, mnuViewQualityLow}, {SaveTB, mnuCaptureSave},
    };
    for (const auto& [from, to] : toolForwards)
        forward(from, to);

    connect(MainSplitter, &QSplitter::splitterMoved, this, Guarded([this] { FormResize(); }));

    // A shortcut fires only while its item and every menu above it are
    // enabled; a hidden item keeps its shortcut (Ctrl+H for the help file).
    for (QMenu* menu : {mnuFile, mnuControl, mnuView, mnuSetup, mnuCapture, mnuHelp}) {
        for (QAction* action : menu->findChildren<QAction*>()) {
            if (!action->shortcut().isEmpty())
                action->installEventFilter(this);
        }
    }
    auto* helpShortcut = named(new QShortcut(QKeySequence(QStringLiteral("Ctrl+H")), this), "HelpShortcut");
    connect(helpShortcut, &QShortcut::activated, this, Guarded([this] {
        // Qt counts a hidden action as disabled; its click still runs
        // unless the program disabled the item itself.
        if (mnuHelp->menuAction()->isEnabled())
            mnuHelpHow->trigger();
    }));
}

void TMFrm::FormCreate(const QString& movieArgument)
{
    EnableCommands(false);
    RestoreSettings();
    if (!movieArgument.isEmpty()) {
        OpenMovie(movieArgument);
    } else if (ListBox1->count() > 0 && !ListBox1->selectedItems().isEmpty()) {
        OpenMovie(ListBox1->selectedItems().front()->text());
    }
    setAcceptDrops(true);
}

void TMFrm::EnableCommands(bool enabled)
{
    for (QMenu* menu : {mnuControl, mnuView, mnuSetup, mnuCapture, mnuHelp})
        menu->menuAction()->setEnabled(enabled);
    const QList<QAction*> fileItems = mnuFile->actions();
    for (qsizetype i = 1; i < fileItems.size(); ++i)
        fileItems[i]->setEnabled(enabled);
    for (QAction* action : PopupMenu1->actions())
        action->setEnabled(enabled);
    const QList<QAction*> buttons = ToolBar2->actions();
    for (qsizetype i = 1; i < buttons.size(); ++i)
        buttons[i]->setEnabled(enabled);
    mnuFileIE->setEnabled(true);
}

MovieOpenTargets TMFrm::openTargets()
{
    MovieOpenTargets t;
    t.flash = FlashMain;
    t.exeToSwf = mnuexeToswf;
    t.playMain = mnuControlPlyNN->menuAction();
    t.playPopup = PlyP->menuAction();
    t.status = StatusBar;
    t.playlist = ListBox1;
    t.refreshProgress = refreshProgress;
    t.ensureFrameCounter = [this] { EnsureFrameCounter(); };
    t.enableCommands = [this](bool on) { EnableCommands(on); };
    return t;
}

void TMFrm::OpenMovie(const QString& path)
{
    if (KindOfMovieFile(path) == MovieKind::Projector)
        lastProjector_ = path;   // the source of "当前exe转换成swf"
    plovex::OpenMovie(openTargets(), path);
}

void TMFrm::EnsureFrameCounter()
{
    if (frameCounter_)
        return;
    frameCounter_ = std::make_unique<threadFrm>([this] { UpdateFrameStatus(); });
    frameCounter_->setObjectName(QStringLiteral("threadFrm"));
    frameCounter_->start();
}

void TMFrm::UpdateFrameStatus()
{
    StatusBar->setPanelText(2, FramePanelText(FlashMain->FrameNum(), FlashMain->TotalFrames()));
}

void TMFrm::SetFullScreen(bool on)
{
    fullScreen_ = on ? 1 : 0;
    if (fullScreenHandler) {
        fullScreenHandler(on);
        return;
    }
    if (!on)
        FormResize();
}

void TMFrm::FormResize()
{
    if (FlashMain && FlashMain->window() == this) {
        if (QWidget* focus = focusWidget())
            focus->clearFocus();
        FlashMain->setFocus(Qt::OtherFocusReason);
    }
    StatusBar->setPanelWidth(1, 115);
    StatusBar->setPanelWidth(2, 150);
}

void TMFrm::FormKeyUp(int key)
{
    if (key == Qt::Key_Escape)
        SetFullScreen(false);
}

void TMFrm::ApplicationEvents1Message(const QPoint& globalPos)
{
    PopupMenu1->popup(globalPos);
}

void TMFrm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    try {
        FormResize();
    } catch (...) {
        ReportCurrentException();
    }
}

bool TMFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FlashPanel && event->type() == QEvent::Resize) {
        // FlashPanelResize: the player (unless full screen holds it), the
        // drawing surface fill the panel; then the window's own resize
        // processing runs.
        if (FlashMain->parentWidget() == FlashPanel)
            FlashMain->setGeometry(FlashPanel->rect());
        PaintBox1->setGeometry(FlashPanel->rect());
        try {
            FormResize();
        } catch (...) {
            ReportCurrentException();
        }
        return false;
    }
    if (event->type() == QEvent::Shortcut) {
        if (auto* action = qobject_cast<QAction*>(watched)) {
            for (QObject* o = action->parent(); o; o = o->parent()) {
                if (auto* menu = qobject_cast<QMenu*>(o); menu && !menu->menuAction()->isEnabled())
                    return true;   // a menu above the item is disabled: the key does nothing
                if (o == this)
                    break;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMFrm::FormCloseQuery()
{
    // A failed write raises an error, which keeps the window open.
    SaveSettings();
    return true;
}

void TMFrm::closeEvent(QCloseEvent* event)
{
    if (GuardedCloseQuery([this] { return FormCloseQuery(); }))
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------- commands

void TMFrm::mnuFileOpenClick()
{
    OpenD.filter = QStringLiteral("全部支持格式(*.swf;*.exe)|*.swf;*.exe|swf文件(*.swf)|*.swf|exe格式(*.exe)|*.exe");
    OpenD.filterIndex = 1;
    OpenD.title = QStringLiteral("请选择要播放的flash文件");
    if (!prompts().execute(OpenD))
        return;
    const QString path = OpenD.fileName;
    OpenMovie(path);
    // Appended (at its sorted place in sorted mode) and selected, without
    // opening it again.
    ListBox1->selectRow(ListBox1->addEntry(path));
}

void TMFrm::mnuFileExitClick()
{
    close();
}

void TMFrm::showHelpFile()
{
    desktop().openFile(ProgramFolder() + QStringLiteral("plovex.chm"));
}

void TMFrm::mnuHelpHowClick()
{
    showHelpFile();
}

void TMFrm::N53Click()
{
    showHelpFile();
}

void TMFrm::showAbout()
{
    if (!aboutFrm_)
        aboutFrm_ = new TAboutFrm(this);
    aboutFrm_->exec();
}

void TMFrm::mnuHelpAboutClick()
{
    showAbout();
}

void TMFrm::N19Click()
{
    showAbout();
}

void TMFrm::Plovex1Click()
{
    desktop().openUrl(QUrl(kHomePage));
}

void TMFrm::openMail()
{
    desktop().openUrl(QUrl(QStringLiteral("mailto:") + kContactMail));
}

void TMFrm::mnuHelpMailtoClick()
{
    openMail();
}

} // namespace plovex

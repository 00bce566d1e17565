// The movie sources of the main window: the settings file, the folder tree,
// the address bar, files dropped from a file manager, the playlist, the
// cache list with its search-settings window, and the .swf association.

#include "app/main_form.h"

#include "platform/association.h"
#include "platform/desktop.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/xdg.h"
#include "player/open_movie.h"
#include "player/shockwave_flash.h"
#include "sources/list_box.h"
#include "sources/search_form.h"
#include "sources/shell_tree.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

namespace plovex {

namespace {

// Settings file sections and keys.
const QString kCountSection = QStringLiteral("列表数目");
const QString kCountKey = QStringLiteral("数目");
const QString kListSection = QStringLiteral("播放列表");
const QString kSelectedSection = QStringLiteral("当前列表项目");
const QString kSelectedKey = QStringLiteral("选中");
const QString kFolderSection = QStringLiteral("文件夹");
const QString kShowKey = QStringLiteral("显示");
const QString kInitialPathKey = QStringLiteral("初始路径");

// Lets a function look at the events of another object.
class EventHook final : public QObject {
public:
    using Handler = std::function<bool(QEvent*)>;
    EventHook(QObject* watched, Handler handler)
        : QObject(watched), handler_(std::move(handler))
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != parent())
            return false;
        try {
            return handler_(event);
        } catch (...) {
            ReportCurrentException();
            return true;
        }
    }

private:
    Handler handler_;
};

// The local files of a drop from outside the program, in drop order.
QStringList droppedFiles(const QDropEvent* event)
{
    QStringList files;
    if (event->source() != nullptr || !event->mimeData() || !event->mimeData()->hasUrls())
        return files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

} // namespace

QString TMFrm::SettingsPath() const
{
    return ProgramFolder() + QStringLiteral("FileList.ini");
}

void TMFrm::connectSourcesHandlers()
{
    connectCommand(mnuFileFolderTrue, &TMFrm::mnuFileFolderTrueClick);
    connectCommand(mnuFileFolderFalse, &TMFrm::mnuFileFolderFalseClick);
    connectCommand(mnuFileLstAddFile, &TMFrm::mnuFileLstAddFileClick);
    connectCommand(mnuFileLstDel, &TMFrm::mnuFileLstDelClick);
    connectCommand(mnuFileLstAllDel, &TMFrm::mnuFileLstAllDelClick);
    connectCommand(mnuFileSorted, &TMFrm::mnuFileSortedClick);
    connectCommand(mnuFileLstShowScr, &TMFrm::mnuFileLstShowScrClick);
    connectCommand(mnuFileIE, &TMFrm::mnuFileIEClick);
    connectCommand(mnuFileIEClose, &TMFrm::mnuFileIECloseClick);
    connectCommand(TBIE, &TMFrm::TBIEClick);
    connectCommand(mnuFileIESave, &TMFrm::mnuFileIESaveClick);
    connectCommand(mnuFileIESorted, &TMFrm::mnuFileIESortedClick);
    connectCommand(mnuFileCustomS, &TMFrm::mnuFileCustomSClick);
    connectCommand(mnuFileSwf, &TMFrm::mnuFileSwfClick);
    connectCommand(mnuFileDeSwf, &TMFrm::mnuFileDeSwfClick);

    // The folder tree.
    connect(ShellTreeView, &QTreeWidget::itemDoubleClicked, this, Guarded([this] { ShellTreeViewDblClick(); }));

    // The address bar: only the button plays; Enter adds nothing to the list.
    AddressBox->setInsertPolicy(QComboBox::NoInsert);
    connect(GoSB, &QToolButton::clicked, this, Guarded([this] { GoSBClick(); }));
    GoSB->setMouseTracking(true);
    new EventHook(GoSB, [this](QEvent* event) {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
            GoSBMouseMove();
        return false;
    });

    // Files dropped from a file manager anywhere on the window.
    new EventHook(this, [this](QEvent* event) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (droppedFiles(drag).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = droppedFiles(drop);
            if (files.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            DropFiles(files);
            return true;
        }
        default:
            return false;
        }
    });

    // The playlist.
    connect(ListBox1, &TListBox::userSelected, this, Guarded([this] { ListBox1Click(); }));
    ListBox1->acceptDrop = [this](const QDropEvent* event) { return ListBox1DragOver(event->source()); };
    ListBox1->dropped = [this](const QDropEvent* event) {
        try {
            ListBox1DragDrop(event->source());
        } catch (...) {
            ReportCurrentException();
        }
    };

    // The cache list, hidden with its splitter at start.
    Splitter2->hide();
    TBIE->setCheckable(true);
    connect(SpeedButton1, &QToolButton::clicked, this, Guarded([this] { mnuFileIECloseClick(); }));
    connect(IEListbox, &TListBox::userSelected, this, Guarded([this] { IEListboxClick(); }));
    ieSearch_.setYield([] { QCoreApplication::processEvents(); });
}

void TMFrm::createSearchFrm()
{
    if (frmSearch)
        return;
    frmSearch = new TfrmSearch(this);
    connect(frmSearch->Button1, &QPushButton::clicked, this, Guarded([this] { frmSearchButton1Click(); }));
}

// ---------------------------------------------------------------- settings

void TMFrm::RestoreSettings()
{
    // One read of the file for the whole restore.
    const ProfileDocument ini(SettingsPath());
    const int storedCount = ini.ReadInteger(kCountSection, kCountKey, 0);
    // Missing keys up to the count give empty entries; past the highest key
    // the file holds there is nothing left to show, so a damaged count
    // cannot make the list longer than the file.
    const int count = std::min(storedCount, ini.HighestNumberedKey(kListSection));
    QStringList entries;
    entries.reserve(std::max(count, 0));
    for (int n = 1; n <= count; ++n)
        entries << ini.ReadString(kListSection, QString::number(n), QString());
    ListBox1->setEntries(entries);
    if (storedCount > 0)
        ListBox1->selectRow(ini.ReadInteger(kSelectedSection, kSelectedKey, 0));

    // The folder panel follows its setting whether or not a playlist was stored.
    if (ini.ReadInteger(kFolderSection, kShowKey, 0) == 1) {
        GroupBoxFolder->hide();   // the playlist's group then fills the left panel
        mnuFileFolderFalse->setChecked(true);
    } else {
        mnuFileFolderTrue->setChecked(true);
    }

    // The tree starts where it was left.
    const QString initialPath = ini.ReadString(kFolderSection, kInitialPathKey, QString());
    if (!initialPath.isEmpty())
        ShellTreeView->selectPath(initialPath);
}

void TMFrm::SaveSettings()
{
    // The file as it is now, changed in memory and replaced once; entries
    // the user did not change keep their bytes.
    ProfileDocument ini(SettingsPath());
    const QStringList entries = ListBox1->entries();
    for (qsizetype i = 0; i < entries.size(); ++i)
        ini.WriteString(kListSection, QString::number(i + 1), entries[i]);
    ini.WriteInteger(kCountSection, kCountKey, int(entries.size()));
    ini.WriteInteger(kSelectedSection, kSelectedKey, ListBox1->selectedRow());
    ini.WriteString(kFolderSection, kInitialPathKey, ShellTreeView->selectedPath());
    ini.Save();
    // The window closes: a cache search still running ends here.
    if (ieSearch_.isRunning()) {
        ieSearchCalledOff_ = true;
        ieSearch_.cancel();
    }
}

void TMFrm::mnuFileFolderTrueClick()
{
    mnuFileFolderTrue->setChecked(true);
    ProfileFile(SettingsPath()).WriteInteger(kFolderSection, kShowKey, 0);
}

void TMFrm::mnuFileFolderFalseClick()
{
    mnuFileFolderFalse->setChecked(true);
    ProfileFile(SettingsPath()).WriteInteger(kFolderSection, kShowKey, 1);
}

// ---------------------------------------------------------------- folder tree, address bar, drops

void TMFrm::ShellTreeViewDblClick()
{
    const auto entry = ShellTreeView->selectedEntry();
    if (entry && !entry->isFolder)
        OpenMovie(entry->path);
}

void TMFrm::GoSBClick()
{
    const QString address = AddressBox->currentText();
    if (address.size() < 3 || address.right(3).toUpper() != u"SWF") {
        desktop().beep();
        return;
    }
    // Straight into the player, as typed: no status, no playlist, no commands.
    FlashMain->SetMovie(address);
}

void TMFrm::GoSBMouseMove()
{
    GoSB->setToolTip(QStringLiteral("下载") + AddressBox->currentText());
}

void TMFrm::DropFiles(const QStringList& paths)
{
    // Only the first file of a drop is opened; it is not added to the playlist.
    if (!paths.isEmpty())
        OpenMovie(paths.front());
}

// ---------------------------------------------------------------- playlist

void TMFrm::mnuFileLstAddFileClick()
{
    OpenD.filter = QStringLiteral("全部支持的格式(*.swf;*.exe)|*.swf;*.exe|swf文件(*.swf)|*.swf|Exe格式flash(*.exe)|*.exe");
    // Multiple selection alone; it stays on for the shared dialog.
    OpenD.allowMultiSelect = true;
    OpenD.hideReadOnly = false;
    OpenD.enableSizing = false;
    OpenD.overwritePrompt = false;
    if (!prompts().execute(OpenD))
        return;
    const QStringList files = OpenD.files.isEmpty() && !OpenD.fileName.isEmpty() ? QStringList{OpenD.fileName} : OpenD.files;
    for (const QString& file : files)
        ListBox1->addEntry(file);
}

void TMFrm::mnuFileLstDelClick()
{
    ListBox1->removeSelected();
}

void TMFrm::mnuFileLstAllDelClick()
{
    ListBox1->clear();
}

void TMFrm::mnuFileSortedClick()
{
    ListBox1->setSorted();
}

void TMFrm::mnuFileLstShowScrClick()
{
    ListBox1->setHorizontalExtent(ListBox1->widestEntry() + 20);
}

void TMFrm::ListBox1Click()
{
    const int row = ListBox1->selectedRow();
    if (row < 0)
        return;
    const QString path = ListBox1->item(row)->text();
    ListBox1->setToolTip(path);
    OpenMovie(path);
}

bool TMFrm::ListBox1DragOver(const QObject* source) const
{
    // Only files dragged from the folder tree.
    if (source != ShellTreeView)
        return false;
    const auto entry = ShellTreeView->selectedEntry();
    return entry && !entry->isFolder;
}

void TMFrm::ListBox1DragDrop(const QObject* source)
{
    if (!ListBox1DragOver(source))
        return;
    ListBox1->addEntry(ShellTreeView->selectedEntry()->path);
}

// ---------------------------------------------------------------- cache list

void TMFrm::setCacheSearchCommandsEnabled(bool enabled)
{
    mnuFileIE->setEnabled(enabled);
    mnuFileCustomS->setEnabled(enabled);
    mnuCustomS->setEnabled(enabled);
    if (frmSearch)
        frmSearch->Button1->setEnabled(enabled);
    // The toolbar button also follows the block of commands, which is on
    // once the control menu is.
    TBIE->setEnabled(enabled && mnuControl->menuAction()->isEnabled());
}

std::optional<QStringList> TMFrm::searchCache(qint64 minSize)
{
    if (ieSearch_.isRunning())
        return std::nullopt;
    ieSearchCalledOff_ = false;
    setCacheSearchCommandsEnabled(false);
    struct Restore {
        TMFrm* form;
        ~Restore() { form->setCacheSearchCommandsEnabled(true); }
    } restore{this};
    std::optional<QStringList> found = ieSearch_.run(cacheFolder_, QStringLiteral(".swf"), minSize);
    if (ieSearchCalledOff_)
        return std::nullopt;
    return found;
}

void TMFrm::mnuFileIEClick()
{
    if (ieSearch_.isRunning())
        return;
    cacheFolder_ = BrowserCacheFolder();
    IEPanel->show();
    Splitter2->show();
    // The first listing keeps every movie larger than 10 bytes.
    const auto found = searchCache(10);
    if (!found)
        return;
    IEListbox->setEntries(*found);
    IEListbox->setHorizontalExtent(IEListbox->widestEntry() + 2);
    TBIE->setChecked(true);
    IELst->menuAction()->setEnabled(true);
}

void TMFrm::mnuFileIECloseClick()
{
    if (ieSearch_.isRunning()) {
        // Closing the list calls off the search that would fill it.
        ieSearchCalledOff_ = true;
        ieSearch_.cancel();
    }
    IEPanel->hide();
    Splitter2->hide();
    TBIE->setChecked(false);
    IELst->menuAction()->setEnabled(false);
}

void TMFrm::TBIEClick()
{
    if (!IEPanel->isHidden()) {
        mnuFileIECloseClick();
    } else if (ieSearch_.isRunning()) {
        TBIE->setChecked(!IEPanel->isHidden());
    } else {
        TBIE->setChecked(true);
        mnuFileIEClick();
    }
}

void TMFrm::IEListboxClick()
{
    const int row = IEListbox->selectedRow();
    if (row < 0)
        return;
    const QString path = IEListbox->item(row)->text();
    IEListbox->setToolTip(path);
    OpenMovie(path);
}

void TMFrm::mnuFileIESaveClick()
{
    const int row = IEListbox->selectedRow();
    if (row < 0)
        return;
    const QString source = IEListbox->item(row)->text();
    SaveD.title = QStringLiteral("IE缓存文件另存为");
    SaveD.filter = QStringLiteral("*.swf文件(*.swf)|*.swf");
    SaveD.defaultExt = QString();
    if (!prompts().execute(SaveD))
        return;
    QString target = SaveD.fileName;
    if (target.isEmpty())
        return;
    // A name typed without an extension is saved as a movie.
    if (FileExtension(target).isEmpty())
        target += QStringLiteral(".swf");
    // Never over an existing file, whatever the dialog was told; a copy
    // that fails is not reported.
    CopyFileNoReplace(source, target);
}

void TMFrm::mnuFileIESortedClick()
{
    IEListbox->setSorted();
}

void TMFrm::mnuFileCustomSClick()
{
    createSearchFrm();
    frmSearch->showCentred();
}

void TMFrm::frmSearchButton1Click()
{
    if (ieSearch_.isRunning())
        return;
    createSearchFrm();
    IEListbox->clear();
    qint64 minSize = 0;
    try {
        minSize = MinimumSizeFromField(frmSearch->Edit1->text());
    } catch (...) {
        frmSearch->hide();
        throw;
    }
    // Before the cache list was ever opened, the browser's cache is searched.
    if (cacheFolder_.isEmpty())
        cacheFolder_ = BrowserCacheFolder();
    const auto found = searchCache(minSize);
    if (found)
        IEListbox->setEntries(*found);
    frmSearch->hide();
}

// ---------------------------------------------------------------- .swf association

void TMFrm::mnuFileSwfClick()
{
    MakeFileAssociation()->associate(RunningExecutable());
}

void TMFrm::mnuFileDeSwfClick()
{
    MakeFileAssociation()->dissociate();
}

} // namespace plovex

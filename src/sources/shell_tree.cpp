#include "sources/shell_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QStorageInfo>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>

namespace plovex {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kListedRole = Qt::UserRole + 2;

// The extension of the last path component: from its last '.' on.
QString lastComponentExtension(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

const QFileIconProvider& icons()
{
    static const QFileIconProvider provider;
    return provider;
}

// The drives a user plugs in or mounts by hand; system mounts (boot
// partitions, bind mounts of single files, snaps) are left out.
QList<QStorageInfo> userDrives()
{
    QList<QStorageInfo> out;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        const bool userPlace = root.startsWith(u"/media/") || root.startsWith(u"/mnt/") || root.startsWith(u"/run/media/");
        if (userPlace && QFileInfo(root).isDir())
            out << volume;
    }
    return out;
}

bool isUnder(const QString& path, const QString& folder)
{
    if (folder == u"/")
        return path.startsWith(u'/');
    return path == folder || path.startsWith(folder + u'/');
}

} // namespace

bool ShellTreeViewAddFolder(const ShellEntry& entry)
{
    if (entry.isFolder)
        return true;
    const QString ext = lastComponentExtension(entry.path).toUpper();
    return ext == u".SWF" || ext == u".EXE";
}

TShellTreeView::TShellTreeView(QWidget* parent, Listing listing)
    : QTreeWidget(parent), listing_(listing)
{
    setHeaderHidden(true);
    setColumnCount(1);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setRootIsDecorated(false);   // no lines and buttons at the top level
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setUniformRowHeights(true);
    setIndentation(12);   // deep folders still fit the narrow left panel
    setExpandsOnDoubleClick(true);

    // The selection stays visible when the tree loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { populate(item); });

    computer_ = makeItem(nullptr, QStringLiteral("计算机"), {true, QStringLiteral("计算机")});
    addTopLevelItem(computer_);
    computer_->setIcon(0, icons().icon(QAbstractFileIconProvider::Computer));
    computer_->setData(0, kListedRole, true);

    const QString homePath = QDir::homePath();
    if (!homePath.isEmpty() && homePath != u"/" && QFileInfo(homePath).isDir()) {
        home_ = makeItem(computer_, QStringLiteral("主文件夹"), {true, homePath});
        home_->setIcon(0, style()->standardIcon(QStyle::SP_DirHomeIcon));
    }
    QTreeWidgetItem* root = makeItem(computer_, QStringLiteral("文件系统"), {true, QStringLiteral("/")});
    root->setIcon(0, icons().icon(QAbstractFileIconProvider::Drive));
    for (const QStorageInfo& drive : userDrives()) {
        const QString name = drive.displayName().isEmpty() ? drive.rootPath() : drive.displayName();
        QTreeWidgetItem* item = makeItem(computer_, name, {true, drive.rootPath()});
        item->setIcon(0, icons().icon(QAbstractFileIconProvider::Drive));
    }
    computer_->setExpanded(true);
}

QTreeWidgetItem* TShellTreeView::makeItem(QTreeWidgetItem* parent, const QString& name, const ShellEntry& entry)
{
    // Without a parent the item is left loose, for the caller to add.
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem;
    item->setText(0, name);
    item->setData(0, kPathRole, entry.path);
    item->setData(0, kFolderRole, entry.isFolder);
    item->setToolTip(0, entry.path);
    if (entry.isFolder) {
        // A folder shows a button until its listing shows it has no entries.
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        item->setIcon(0, icons().icon(QAbstractFileIconProvider::Folder));
    } else {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        item->setIcon(0, icons().icon(QAbstractFileIconProvider::File));
        item->setData(0, kListedRole, true);
    }
    return item;
}

ShellEntry TShellTreeView::entryOf(const QTreeWidgetItem* item)
{
    return {item->data(0, kFolderRole).toBool(), item->data(0, kPathRole).toString()};
}

void TShellTreeView::populate(QTreeWidgetItem* item)
{
    if (!item || item->data(0, kListedRole).toBool())
        return;
    item->setData(0, kListedRole, true);
    const QString folder = item->data(0, kPathRole).toString();
    const QFileInfoList infos = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
    QList<QTreeWidgetItem*> children;
    for (const QFileInfo& info : infos) {
        const ShellEntry entry{info.isDir(), info.absoluteFilePath()};
        if (!ShellTreeViewAddFolder(entry) || (listing_ == Listing::FoldersOnly && !entry.isFolder))
            continue;
        children << makeItem(nullptr, info.fileName(), entry);
    }
    item->addChildren(children);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* TShellTreeView::addTopFolder(const QString& path)
{
    QTreeWidgetItem* item = makeItem(nullptr, path, {true, path});
    addTopLevelItem(item);
    return item;
}

std::optional<ShellEntry> TShellTreeView::selectedEntry() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return entryOf(selected.front());
}

QString TShellTreeView::selectedPath() const
{
    const auto entry = selectedEntry();
    return entry ? entry->path : QString();
}

bool TShellTreeView::selectPath(const QString& wanted)
{
    const QFileInfo info(wanted);
    if (wanted.isEmpty() || !info.exists() || !info.isAbsolute())
        return false;
    const QString path = QDir::cleanPath(info.absoluteFilePath());

    // Start from the top entry that holds the path most closely: the home
    // folder, a drive, or the file system's root.
    QTreeWidgetItem* start = nullptr;
    qsizetype startLength = -1;
    for (int i = 0; i < computer_->childCount(); ++i) {
        QTreeWidgetItem* top = computer_->child(i);
        const QString topPath = top->data(0, kPathRole).toString();
        if (isUnder(path, topPath) && topPath.size() > startLength) {
            start = top;
            startLength = topPath.size();
        }
    }
    if (!start)
        return false;

    QTreeWidgetItem* item = start;
    QString reached = item->data(0, kPathRole).toString();
    while (reached != path) {
        populate(item);
        const QString rest = path.mid(reached == u"/" ? 1 : reached.size() + 1);
        const QString name = rest.section(u'/', 0, 0);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == name) {
                next = item->child(i);
                break;
            }
        }
        if (!next)
            return false;
        item = next;
        reached = item->data(0, kPathRole).toString();
    }
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
    // Keep the start of the entry's name in view rather than its end.
    const int left = visualItemRect(item).left();
    if (left < 0 || left > viewport()->width() / 2)
        horizontalScrollBar()->setValue(std::max(0, horizontalScrollBar()->value() + left - 4));
    return true;
}

void TShellTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        // A right click selects the entry under the mouse, as in the file manager.
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
            setCurrentItem(item);
            item->setSelected(true);
        }
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void TShellTreeView::startDrag(Qt::DropActions)
{
    QTreeWidget::startDrag(Qt::CopyAction);
}

QStringList TShellTreeView::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* TShellTreeView::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    QList<QUrl> urls;
    for (const QTreeWidgetItem* item : items) {
        const QString path = item->data(0, kPathRole).toString();
        if (path.startsWith(u'/'))
            urls << QUrl::fromLocalFile(path);
    }
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

} // namespace plovex

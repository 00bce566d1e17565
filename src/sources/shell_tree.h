#pragma once

#include <QString>
#include <QTreeWidget>
#include <optional>

namespace plovex {

// What the rest of the program knows of a tree entry.
struct ShellEntry {
    bool isFolder = false;  // folders, the root and the drives
    QString path;           // full path; the display name for the virtual root
};

// Whether the tree lists an entry: every folder; a file only when its
// extension (from the last '.' of its name on) is .swf or .exe in any
// letter case.
bool ShellTreeViewAddFolder(const ShellEntry& entry);

// The folder tree of the main window (and of the timed capture): one top
// entry for the computer, under it the user's home folder, the file
// system's root and every other mounted drive, and under those the folders
// with their .swf and .exe files (or the folders alone), hidden ones
// included. The computer entry has no file-system path. A folder is listed the first time it is expanded; the tree
// does not watch the disk afterwards. A right click selects the entry under
// the mouse; a file entry can be dragged out (as a file address, so file
// managers and the playlist take it).
class TShellTreeView : public QTreeWidget {
    Q_OBJECT

public:
    enum class Listing { FoldersAndMovies, FoldersOnly };

    explicit TShellTreeView(QWidget* parent = nullptr, Listing listing = Listing::FoldersAndMovies);

    static ShellEntry entryOf(const QTreeWidgetItem* item);

    // The selected entry, if any.
    std::optional<ShellEntry> selectedEntry() const;
    // Its full path, or the empty text.
    QString selectedPath() const;

    // Expands the tree down to path (a file or folder on disk) and selects
    // it; false, with the selection unchanged, when the path is not in the
    // tree (missing, or a file the filter leaves out).
    bool selectPath(const QString& path);

    // Lists item's children now unless that was done before.
    void populate(QTreeWidgetItem* item);

    // The computer's top entry.
    QTreeWidgetItem* computerItem() const { return computer_; }
    // The entry of the user's home folder.
    QTreeWidgetItem* homeItem() const { return home_; }
    // Adds a folder that the tree does not reach at its top level, and gives
    // its entry.
    QTreeWidgetItem* addTopFolder(const QString& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
    // Entries are only ever copied out, never moved away.
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QTreeWidgetItem* makeItem(QTreeWidgetItem* parent, const QString& name, const ShellEntry& entry);

    Listing listing_;
    QTreeWidgetItem* computer_ = nullptr;
    QTreeWidgetItem* home_ = nullptr;
};

} // namespace plovex

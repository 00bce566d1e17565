#pragma once

#include <QListWidget>
#include <QStringList>
#include <functional>

class QDropEvent;

namespace plovex {

// A list of text entries with at most one selected entry, as the playlist
// and the cache list use it:
//
// - sorted mode: once switched on, the entries are kept in ascending order
//   of their text with letter case ignored, and every entry added later goes
//   to its place in that order (entries of equal text keep their order);
// - a horizontal scroll extent in pixels: until one is set there is no
//   horizontal scroll bar; once set, the list can be scrolled that far,
//   whatever the entries added later, and the bar shows exactly while the
//   extent is wider than the list;
// - userSelected is emitted when the user selects an entry by a mouse click
//   or moves the selection with the keyboard; selecting from the program
//   (setCurrentRow and the like) does not emit it;
// - drops are taken only where acceptDrop says so; drops it refuses go on
//   to the window below (a file dropped from a file manager).
class TListBox : public QListWidget {
    Q_OBJECT

public:
    explicit TListBox(QWidget* parent = nullptr);

    // Adds text in its place (at the end, or at its sorted place in sorted
    // mode) and returns its row. Selection and current entry stay as they were.
    int addEntry(const QString& text);
    // Replaces every entry (sorted in sorted mode); no entry is selected.
    void setEntries(const QStringList& texts);
    QStringList entries() const;

    // The selected entry's row, or -1.
    int selectedRow() const;
    // Selects row, or no entry for a row out of range; emits nothing.
    void selectRow(int row);
    // Removes the selected entry; afterwards nothing is selected.
    void removeSelected();

    bool sorted() const { return sorted_; }
    // Switches sorted mode on and reorders the entries at once; the selected
    // entry stays selected.
    void setSorted();

    // The width in pixels of the widest entry in the list's font (0 when empty).
    int widestEntry() const;
    // The horizontal scroll extent, -1 while none is set.
    int horizontalExtent() const { return extent_; }
    void setHorizontalExtent(int pixels);

    // Decides whether a drag may be dropped here (nullptr: no drops at all).
    std::function<bool(const QDropEvent*)> acceptDrop;
    // Runs for a drop that acceptDrop took.
    std::function<void(const QDropEvent*)> dropped;

signals:
    void userSelected(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void updateGeometries() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int sortedPlace(const QString& text) const;

    bool sorted_ = false;
    int extent_ = -1;
    bool policyPending_ = false;   // a scroll bar decision waits for the event loop
};

// The order of sorted mode: text compared without regard to letter case.
bool ListOrderLess(const QString& a, const QString& b);

} // namespace plovex

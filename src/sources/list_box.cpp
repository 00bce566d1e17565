#include "sources/list_box.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

namespace plovex {

bool ListOrderLess(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

TListBox::TListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(true);
    // A mouse click on an entry is the user's selection; so is a click on the
    // entry that is selected already (it plays again).
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item)
            emit userSelected(row(item));
    });
}

int TListBox::sortedPlace(const QString& text) const
{
    // After the last entry that does not sort after text, so entries of
    // equal text keep the order in which they came.
    int lo = 0;
    int hi = count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (ListOrderLess(text, item(mid)->text()))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int TListBox::addEntry(const QString& text)
{
    const int at = sorted_ ? sortedPlace(text) : count();
    insertItem(at, text);
    return at;
}

void TListBox::setEntries(const QStringList& texts)
{
    clear();
    QStringList ordered = texts;
    if (sorted_)
        std::stable_sort(ordered.begin(), ordered.end(), ListOrderLess);
    addItems(ordered);
    setCurrentRow(-1);
}

QStringList TListBox::entries() const
{
    QStringList out;
    out.reserve(count());
    for (int i = 0; i < count(); ++i)
        out << item(i)->text();
    return out;
}

int TListBox::selectedRow() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.front());
}

void TListBox::selectRow(int row)
{
    if (row >= 0 && row < count()) {
        setCurrentRow(row);
        item(row)->setSelected(true);
    } else {
        clearSelection();
        setCurrentRow(-1);
    }
}

void TListBox::removeSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    clearSelection();
    delete takeItem(row);
    clearSelection();
    setCurrentRow(-1);
}

void TListBox::setSorted()
{
    if (sorted_)
        return;
    sorted_ = true;
    QListWidgetItem* selected = nullptr;
    if (const int row = selectedRow(); row >= 0)
        selected = item(row);
    std::vector<QListWidgetItem*> items;
    items.reserve(count());
    while (count() > 0)
        items.push_back(takeItem(0));
    std::stable_sort(items.begin(), items.end(),
                     [](QListWidgetItem* a, QListWidgetItem* b) { return ListOrderLess(a->text(), b->text()); });
    for (QListWidgetItem* i : items)
        addItem(i);
    if (selected)
        selectRow(row(selected));
    else
        selectRow(-1);
}

int TListBox::widestEntry() const
{
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(item(i)->text()));
    return widest;
}

void TListBox::setHorizontalExtent(int pixels)
{
    extent_ = std::max(0, pixels);
    updateGeometries();
}

void TListBox::updateGeometries()
{
    // The view sets a range of its own first, which may pull the position in.
    const int position = horizontalScrollBar()->value();
    QListWidget::updateGeometries();
    if (extent_ < 0)
        return;
    // The list scrolls as far as the extent says, not as far as its entries
    // reach. The range is set here without letting the bar show or hide
    // itself: a bar that follows every range change changes the viewport,
    // which sets the range again, and the layout never settles.
    const int page = viewport()->width();
    QScrollBar* bar = horizontalScrollBar();
    bar->setPageStep(page);
    bar->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
    bar->setRange(0, std::max(0, extent_ - page));
    bar->setValue(position);
    // The bar shows exactly when the extent is wider than the list. Its
    // height takes nothing from the viewport's width, and a vertical bar that
    // appears because of it only makes the list narrower, so one decision per
    // layout settles; it is applied after this layout pass has ended.
    const Qt::ScrollBarPolicy wanted = extent_ > page ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (wanted != horizontalScrollBarPolicy() && !policyPending_) {
        policyPending_ = true;
        QMetaObject::invokeMethod(this, [this] {
            policyPending_ = false;
            if (extent_ < 0)
                return;
            const Qt::ScrollBarPolicy now =
                extent_ > viewport()->width() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
            if (now != horizontalScrollBarPolicy())
                setHorizontalScrollBarPolicy(now);
        }, Qt::QueuedConnection);
    }
}

void TListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    const bool wasSelected = selectedRow() == before;
    QListWidget::keyPressEvent(event);
    const int after = currentRow();
    if (after >= 0 && (after != before || !wasSelected) && selectedRow() == after)
        emit userSelected(after);
}

void TListBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptDrop && acceptDrop(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TListBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptDrop && acceptDrop(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TListBox::dragLeaveEvent(QDragLeaveEvent* event)
{
    event->accept();
}

void TListBox::dropEvent(QDropEvent* event)
{
    if (acceptDrop && acceptDrop(event)) {
        event->acceptProposedAction();
        if (dropped)
            dropped(event);
    } else {
        event->ignore();
    }
}

} // namespace plovex

#include "screens/listbox.h"

#include "screens/widesttext.h"
#include "userdata/sortedlist.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace screens {

namespace {

bool MovesBetweenRows(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

ListBox::ListBox(QWidget *parent) : QListView(parent) {
    setUniformItemSizes(true);
    setItemDelegate(new WidestTextDelegate<QStyledItemDelegate>(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ListBox::setEntries(ListFace *entries) {
    setModel(entries);
}

ListFace *ListBox::entries() const {
    return qobject_cast<ListFace *>(model());
}

int ListBox::count() const {
    return model() ? model()->rowCount() : 0;
}

int ListBox::currentRow() const {
    return currentIndex().row();
}

void ListBox::setCurrentRow(int row) {
    if (!selectionModel())
        return;
    const QModelIndex index = row >= 0 ? model()->index(row, 0) : QModelIndex();
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

int ListBox::selectedRow() const {
    if (!selectionModel())
        return -1;
    const QModelIndexList chosen = selectionModel()->selectedIndexes();
    return chosen.isEmpty() ? -1 : chosen.first().row();
}

void ListBox::keyPressEvent(QKeyEvent *event) {
    QListView::keyPressEvent(event);
    if (!MovesBetweenRows(event->key()))
        return;
    // A move to another row has chosen it already; a move that stayed on
    // the current row (Home on the first row) chooses that row now.
    const QModelIndex current = currentIndex();
    if (current.isValid() && !selectionModel()->isSelected(current))
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
}

void ListBox::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) {
    QListView::selectionChanged(selected, deselected);
    emit choiceChanged();
}

void ListBox::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) {
    const int chosen = selectedRow();
    // The view moves the current entry off the rows that go, and in a list
    // of one choice chooses the entry it moves to; a chosen entry that goes
    // leaves no choice behind.
    QListView::rowsAboutToBeRemoved(parent, start, end);
    if (chosen >= start && chosen <= end && !parent.isValid())
        selectionModel()->clearSelection();
}

} // namespace screens

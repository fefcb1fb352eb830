#include "screens/listbox.h"

#include <QKeyEvent>

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

ListBox::ListBox(QWidget *parent) : QListWidget(parent) {}

void ListBox::keyPressEvent(QKeyEvent *event) {
    QListWidget::keyPressEvent(event);
    if (!MovesBetweenRows(event->key()))
        return;
    // A move to another row has chosen it already; a move that stayed on
    // the current row (Home on the first row) chooses that row now.
    const int row = currentRow();
    if (row >= 0 && !item(row)->isSelected())
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

} // namespace screens

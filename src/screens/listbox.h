#pragma once

#include <QListView>

namespace modMain {
class ListFace;
} // namespace modMain

namespace screens {

using modMain::ListFace;

// A list box showing the entries of a sorted list (a ListFace of a
// SortedListModel; see sortedlist.h). Every row has the height of one line
// of text, so the list measures one row instead of all of them, and the
// width of the widest entry.
//
// The keyboard chooses: tabbing into a list that has no chosen entry only
// marks its first row as the current one; any movement key (the arrows,
// Home, End, Page Up, Page Down) then chooses the row it lands on, even when
// that is the row already marked, so that the list's choice handling runs as
// it does for a click.
//
// The choice follows its entry while the entries change; an entry that goes
// takes the choice with it (the list never moves on to another entry by
// itself), and a list filled anew has none.
class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    // Shows `entries` (the list takes no ownership).
    void setEntries(ListFace *entries);
    ListFace *entries() const;

    // The number of entries shown.
    int count() const;
    // The row of the current entry (the one the keyboard moves from); -1 when
    // there is none.
    int currentRow() const;
    // Makes `row` the current entry and the only chosen one; -1 for none.
    void setCurrentRow(int row);
    // The row of the chosen entry; -1 when none is chosen (an entry can be
    // current without being chosen: only a choice counts).
    int selectedRow() const;

signals:
    // The choice changed: by the user, or because its entry went.
    void choiceChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void selectionChanged(const QItemSelection &selected,
                          const QItemSelection &deselected) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    using QListView::setModel; // entries come through setEntries
};

} // namespace screens

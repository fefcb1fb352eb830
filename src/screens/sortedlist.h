#pragma once

#include "storage/entryorder.h"
#include "storage/records.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

class QComboBox;
class QListWidget;

// Sorted list boxes and sorted drop-down lists. Every sorted list of the
// program keeps its entries in the order of CompareEntries, so lists that hold
// the same names hold them in the same order and one position names the same
// entry in all of them. Each entry carries one integer (its item data, kept in
// Qt::UserRole): a category or URL number.
//
// Never turn on QListWidget::setSortingEnabled or sort a combo box's model:
// those compare differently from each other and from CompareEntries. Add
// entries with AddSorted instead.
//
// Lists can hold up to 32,767 entries. To stay quick at that size the lists
// of the program are set up by MakeSortedList, and lists that always hold the
// same entries show one model (ShareEntries). Every function below works on
// such lists as on plain ones: a change made through one list of a shared
// model shows in all of them at once, and the choice of every one of them is
// kept as if it had been changed on its own.
namespace screens {

// The order of every sorted list (see entryorder.h).
using modMain::CompareEntries;

// One entry of a list: its text and item data (the number of the record it
// shows), as the data files' readers return it.
using SortedEntry = modMain::ListEntry;

// The entries of a drop-down list, held as plain texts and numbers: a fraction
// of the memory of a standard item each, and filled in one step. Its rows
// carry Qt::DisplayRole (and Qt::EditRole) and Qt::UserRole only; the number
// of a row given no item data is 0.
class EntryModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    // Replaces every entry (one reset of the model).
    void setEntries(QList<SortedEntry> entries);
    const QList<SortedEntry> &entries() const { return m_entries; }

private:
    QList<SortedEntry> m_entries;
};

// Sets a sorted list up for long content: every row has the height of one
// line of text, so the list measures one row instead of all of them. A
// drop-down list gets an EntryModel, and opens as a list below the box that
// shows some entries and scrolls (not as a menu as tall as all its entries,
// which would measure every text each time it opens).
void MakeSortedList(QListWidget *list);
void MakeSortedList(QComboBox *combo);

// Makes `combos` show the entries of `list`: one model for all of them, so
// an entry added, removed or renamed in any of them is in all of them at
// once, in one place in memory. Each keeps its own choice.
void ShareEntries(QListWidget *list, const QList<QComboBox *> &combos);

// Inserts `text` with `itemData` at its sorted position (after any entries
// equal to it) and returns that position, the index where the entry landed.
// The selection is left on the entry it was on; a list without a selected
// entry keeps none (a combo box does not pick its first entry by itself), and
// the combo box emits none of its own signals while the entry goes in.
int AddSorted(QListWidget *list, const QString &text, int itemData);
int AddSorted(QComboBox *combo, const QString &text, int itemData);

// Puts entries into the order AddSorted gives them when they are added one
// by one in their present order (a stable sort: equal texts keep their
// order). Entries already in that order are left as they are at the cost of
// one pass, so a list sorted once can fill several lists cheaply.
void SortEntries(QList<SortedEntry> &entries);

// Replaces the whole content of a list with `entries`, in the order AddSorted
// would give them when added one by one in the order given (equal texts keep
// that order). Built in one go, without a repaint or a signal per entry: for
// long lists. No entry is selected afterwards, and the list emits no signals.
void FillSorted(QListWidget *list, QList<SortedEntry> entries);
void FillSorted(QComboBox *combo, QList<SortedEntry> entries);

// Every entry of a list, in list order.
QList<SortedEntry> Entries(const QListWidget *list);
QList<SortedEntry> Entries(const QComboBox *combo);

// Removes every entry numbered `number` and returns how many went. A list
// whose chosen entry goes is left with no choice (it never moves on to
// another entry by itself), and `wasChosen` says whether that happened to
// this list. Combo boxes emit nothing meanwhile: nobody chose anything.
int RemoveNumber(QListWidget *list, int number, bool *wasChosen = nullptr);
int RemoveNumber(QComboBox *combo, int number, bool *wasChosen = nullptr);

// Gives the entry numbered `number` a new text: its entries go and one with
// the new text goes in at its sorted place with the same number, chosen
// again where the old one was chosen. A list that lacks the number stays as
// it is.
void RenameNumber(QListWidget *list, int number, const QString &text);
void RenameNumber(QComboBox *combo, int number, const QString &text);

// The same for one entry only: the first numbered `number` whose text is
// `text` (`oldText`). For entries that share a number: those of damaged
// category records (number 0), or URLs of a file that holds a number twice.
int RemoveEntry(QListWidget *list, int number, const QString &text, bool *wasChosen = nullptr);
int RemoveEntry(QComboBox *combo, int number, const QString &text, bool *wasChosen = nullptr);
void RenameEntry(QListWidget *list, int number, const QString &oldText, const QString &text);
void RenameEntry(QComboBox *combo, int number, const QString &oldText, const QString &text);

// The item data of the entry at `index`; 0 when there is no entry there.
int EntryData(const QListWidget *list, int index);
int EntryData(const QComboBox *combo, int index);

// The position of the first entry whose item data is `itemData`; -1 when
// there is none.
int FindEntry(const QListWidget *list, int itemData);
int FindEntry(const QComboBox *combo, int itemData);

// The row of the selected entry of a list box; -1 when none is selected (an
// entry can be current without being selected: only a selection counts).
int SelectedRow(const QListWidget *list);

} // namespace screens

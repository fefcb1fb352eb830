#pragma once

#include "storage/records.h"

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
namespace screens {

// Order of two entry texts: negative when `a` comes first, zero when they are
// the same text, positive when `b` comes first. Letter case is ignored first;
// texts that differ only in case are then ordered case-sensitively, so the
// order is total and the same on every machine and in every locale.
int CompareEntries(const QString &a, const QString &b);

// Inserts `text` with `itemData` at its sorted position (after any entries
// equal to it) and returns that position, the index where the entry landed.
// The selection is left on the entry it was on; a list without a selected
// entry keeps none (a combo box does not pick its first entry by itself), and
// the combo box emits none of its own signals while the entry goes in.
int AddSorted(QListWidget *list, const QString &text, int itemData);
int AddSorted(QComboBox *combo, const QString &text, int itemData);

// One entry for FillSorted: its text and item data (the number of the
// record it shows), as the data files' readers return it.
using SortedEntry = modMain::ListEntry;

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

#include "screens/sortedlist.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>

namespace screens {

namespace {

// The first position in a list of `count` entries whose text sorts after
// `text`: where a new entry goes so that it follows its equals.
template <class TextAt> int InsertPosition(int count, const QString &text, TextAt textAt) {
    int low = 0;
    int high = count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (CompareEntries(text, textAt(mid)) < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

} // namespace

int CompareEntries(const QString &a, const QString &b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded;
    return QString::compare(a, b, Qt::CaseSensitive);
}

int AddSorted(QListWidget *list, const QString &text, int itemData) {
    const int pos =
        InsertPosition(list->count(), text, [list](int row) { return list->item(row)->text(); });
    auto *item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, itemData);
    list->insertItem(pos, item);
    return pos;
}

int AddSorted(QComboBox *combo, const QString &text, int itemData) {
    const int pos =
        InsertPosition(combo->count(), text, [combo](int row) { return combo->itemText(row); });
    // A combo box selects the first entry put into it when it was empty, and
    // reports a shifted selection as a change; neither is a choice the user
    // made, so the selection is kept as it was and no signal goes out.
    const QSignalBlocker blocker(combo);
    const bool hadSelection = combo->currentIndex() >= 0;
    combo->insertItem(pos, text, itemData);
    if (!hadSelection)
        combo->setCurrentIndex(-1);
    return pos;
}

int EntryData(const QListWidget *list, int index) {
    const QListWidgetItem *item = list->item(index);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

int EntryData(const QComboBox *combo, int index) {
    if (index < 0 || index >= combo->count())
        return 0;
    return combo->itemData(index, Qt::UserRole).toInt();
}

} // namespace screens

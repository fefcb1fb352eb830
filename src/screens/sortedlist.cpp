#include "screens/sortedlist.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <algorithm>

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

// CompareEntries(a, b) < 0, with a short way for plain ASCII (all the cipher
// can store): ignoring case is then lower-casing A to Z, which is what
// CompareEntries does character by character. Any other character on the
// way hands the pair to CompareEntries itself, so the order is exactly the
// same.
bool SortsBefore(const QString &a, const QString &b) {
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t *pa = reinterpret_cast<const char16_t *>(a.utf16());
    const char16_t *pb = reinterpret_cast<const char16_t *>(b.utf16());
    for (qsizetype i = 0; i < common; ++i) {
        char16_t ca = pa[i];
        char16_t cb = pb[i];
        if (ca > 127 || cb > 127)
            return CompareEntries(a, b) < 0;
        if (ca >= u'A' && ca <= u'Z')
            ca += u'a' - u'A';
        if (cb >= u'A' && cb <= u'Z')
            cb += u'a' - u'A';
        if (ca != cb)
            return ca < cb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

} // namespace

void SortEntries(QList<SortedEntry> &entries) {
    auto before = [](const SortedEntry &a, const SortedEntry &b) {
        return SortsBefore(a.text, b.text);
    };
    if (!std::is_sorted(entries.begin(), entries.end(), before))
        std::stable_sort(entries.begin(), entries.end(), before);
}

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

void FillSorted(QListWidget *list, QList<SortedEntry> entries) {
    SortEntries(entries);
    const QSignalBlocker blocker(list);
    const bool updates = list->updatesEnabled();
    list->setUpdatesEnabled(false);
    list->clear();
    QStringList texts;
    texts.reserve(entries.size());
    for (const SortedEntry &e : entries)
        texts.append(e.text);
    list->addItems(texts); // one insertion for all rows
    {
        // Item data is not shown: the view need not hear of it entry by entry.
        const QSignalBlocker quiet(list->model());
        for (int i = 0; i < entries.size(); ++i)
            list->item(i)->setData(Qt::UserRole, entries[i].number);
    }
    list->setCurrentRow(-1);
    list->setUpdatesEnabled(updates);
}

void FillSorted(QComboBox *combo, QList<SortedEntry> entries) {
    SortEntries(entries);
    const QSignalBlocker blocker(combo);
    combo->clear();
    QList<QStandardItem *> rows;
    rows.reserve(entries.size());
    for (const SortedEntry &e : entries) {
        auto *item = new QStandardItem(e.text);
        item->setData(e.number, Qt::UserRole);
        rows.append(item);
    }
    if (auto *model = qobject_cast<QStandardItemModel *>(combo->model())) {
        // One insertion for all rows instead of one per entry.
        model->invisibleRootItem()->appendRows(rows);
    } else {
        for (const SortedEntry &e : entries)
            combo->addItem(e.text, e.number);
        qDeleteAll(rows);
    }
    combo->setCurrentIndex(-1);
}

int FindEntry(const QListWidget *list, int itemData) {
    for (int row = 0; row < list->count(); ++row) {
        if (EntryData(list, row) == itemData)
            return row;
    }
    return -1;
}

int FindEntry(const QComboBox *combo, int itemData) {
    for (int i = 0; i < combo->count(); ++i) {
        if (EntryData(combo, i) == itemData)
            return i;
    }
    return -1;
}

int SelectedRow(const QListWidget *list) {
    const QList<QListWidgetItem *> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
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

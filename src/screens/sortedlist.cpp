#include "screens/sortedlist.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QItemDelegate>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

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
    const QChar *pa = a.constData();
    const QChar *pb = b.constData();
    for (qsizetype i = 0; i < common; ++i) {
        char16_t ca = pa[i].unicode();
        char16_t cb = pb[i].unicode();
        // The same character folds the same way: on to the next (names
        // often share their beginnings).
        if (ca == cb)
            continue;
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
    // Read through a const view: a list shared with the caller is copied only
    // when it has to be sorted.
    const QList<SortedEntry> &view = entries;
    if (!std::is_sorted(view.begin(), view.end(), before))
        std::stable_sort(entries.begin(), entries.end(), before);
}

// ---- EntryModel ----

int EntryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant EntryModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const SortedEntry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.text;
    case Qt::UserRole:
        return entry.number;
    default:
        return QVariant();
    }
}

bool EntryModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    SortedEntry &entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        entry.text = value.toString();
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        return true;
    case Qt::UserRole:
        entry.number = value.toInt();
        emit dataChanged(index, index, {Qt::UserRole});
        return true;
    default:
        return false;
    }
}

Qt::ItemFlags EntryModel::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

bool EntryModel::insertRows(int row, int count, const QModelIndex &parent) {
    if (parent.isValid() || count < 1 || row < 0 || row > m_entries.size())
        return false;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    m_entries.insert(row, count, SortedEntry{});
    endInsertRows();
    return true;
}

bool EntryModel::removeRows(int row, int count, const QModelIndex &parent) {
    if (parent.isValid() || count < 1 || row < 0 || row + count > m_entries.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_entries.remove(row, count);
    endRemoveRows();
    return true;
}

void EntryModel::setEntries(QList<SortedEntry> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

namespace {

// The combo boxes that show the model of a list box (ShareEntries), kept as a
// child of that model so that every function can find them from any of the
// lists.
class Sharers : public QObject {
    Q_OBJECT
public:
    Sharers(QAbstractItemModel *model, QListWidget *owner) : QObject(model), owner(owner) {}
    QPointer<QListWidget> owner;
    QList<QPointer<QComboBox>> combos;
};

Sharers *sharersOf(const QAbstractItemModel *model) {
    return model ? model->findChild<Sharers *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

// The lists that show one model: at most one list box and any number of
// combo boxes.
struct Group {
    QAbstractItemModel *model = nullptr;
    QListWidget *list = nullptr;
    QList<QComboBox *> combos;
};

Group groupOf(QAbstractItemModel *model, QListWidget *list, QComboBox *combo) {
    Group g;
    g.model = model;
    g.list = list;
    if (const Sharers *s = sharersOf(model)) {
        if (s->owner)
            g.list = s->owner;
        for (const QPointer<QComboBox> &c : s->combos) {
            if (c)
                g.combos.append(c.data());
        }
    }
    if (combo && !g.combos.contains(combo))
        g.combos.append(combo);
    return g;
}

Group groupOf(QListWidget *list) {
    return groupOf(list->model(), list, nullptr);
}

Group groupOf(QComboBox *combo) {
    return groupOf(combo->model(), nullptr, combo);
}

int numberAt(const QAbstractItemModel *model, int row) {
    return model->data(model->index(row, 0), Qt::UserRole).toInt();
}

// Holds the combo boxes of a group quiet while its model changes, and gives
// each the choice it should have afterwards: none where it had none (a combo
// box picks the first entry of a model that fills up from empty) or where
// its chosen entry was numbered `going` (and, when given, had the text
// `goingText`), the entry it had otherwise (the combo box follows an entry
// that moves). The list box's selection follows its entries by itself.
class KeepChoices {
public:
    static constexpr int kNothingGoes = INT_MIN;

    KeepChoices(const Group &group, int going = kNothingGoes, const QString *goingText = nullptr) {
        for (QComboBox *combo : group.combos) {
            const int index = combo->currentIndex();
            const bool goes = going != kNothingGoes && EntryData(combo, index) == going &&
                              (!goingText || combo->itemText(index) == *goingText);
            const bool keep = index >= 0 && !goes;
            m_held.append({combo, combo->blockSignals(true), keep});
        }
    }
    ~KeepChoices() {
        for (const Held &h : std::as_const(m_held)) {
            if (!h.combo)
                continue;
            if (!h.keepChoice)
                h.combo->setCurrentIndex(-1);
            h.combo->blockSignals(h.wasBlocked);
        }
    }
    KeepChoices(const KeepChoices &) = delete;
    KeepChoices &operator=(const KeepChoices &) = delete;

    // Every combo box is left without a choice.
    void dropAll() {
        for (Held &h : m_held)
            h.keepChoice = false;
    }
    // Whether `combo` had a choice that is not kept.
    bool loses(const QComboBox *combo) const {
        for (const Held &h : m_held) {
            if (h.combo == combo)
                return !h.keepChoice && combo->currentIndex() >= 0;
        }
        return false;
    }

private:
    struct Held {
        QPointer<QComboBox> combo;
        bool wasBlocked;
        bool keepChoice;
    };
    QList<Held> m_held;
};

// A drop-down list that opens below its box and scrolls, whatever the style
// would do by default: a menu the height of all entries, placed around the
// chosen one, measures the width of every text each time it opens.
class DropDownBelowStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The width of the widest text of a model in `font`, from the advance of
// each character alone: at least the width of every text (the pairs that a
// font sets closer only make a text narrower), reckoned without laying out
// a single one. Plain ASCII, all the data files can hold, is read from a
// table made once per call.
int WidestText(const QAbstractItemModel *model, const QFont &font) {
    const QFontMetricsF metrics(font);
    std::array<qreal, 128> ascii{};
    for (int c = 32; c < 128; ++c)
        ascii[size_t(c)] = metrics.horizontalAdvance(QChar(c));
    qreal widest = 0;
    for (int row = 0, rows = model->rowCount(); row < rows; ++row) {
        const QString text = model->data(model->index(row, 0), Qt::DisplayRole).toString();
        qreal width = 0;
        for (const QChar c : text)
            width += c.unicode() >= 32 && c.unicode() < 128 ? ascii[c.unicode()]
                                                            : metrics.horizontalAdvance(c);
        widest = std::max(widest, width);
    }
    return int(std::ceil(widest));
}

// A list whose rows all have one size (QListView::setUniformItemSizes) takes
// the size of one row for all of them, the width included; its rows are
// made as wide as its widest text instead, so that a long entry anywhere in
// the list can still be scrolled to.
template <class Delegate> class WidestTextDelegate : public Delegate {
public:
    using Delegate::Delegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QSize hint = Delegate::sizeHint(option, index);
        if (!index.isValid())
            return hint;
        const int own =
            QFontMetrics(option.font).horizontalAdvance(index.data(Qt::DisplayRole).toString());
        const int widest = WidestText(index.model(), option.font);
        if (widest > own)
            hint.rwidth() += widest - own;
        return hint;
    }
};

QString textAt(const QAbstractItemModel *model, int row) {
    return model->data(model->index(row, 0), Qt::DisplayRole).toString();
}

// Removes the entries numbered `number` from a group's model, once, and
// returns how many went. With `text`, only the first entry of that number
// and text goes.
int removeFromGroup(const Group &g, int number, bool *listLost, const QString *text = nullptr) {
    const int selected = g.list ? SelectedRow(g.list) : -1;
    bool selectedGoes = false;
    int removed = 0;
    if (text) {
        for (int row = 0; row < g.model->rowCount(); ++row) {
            if (numberAt(g.model, row) != number || textAt(g.model, row) != *text)
                continue;
            selectedGoes = row == selected;
            g.model->removeRows(row, 1);
            removed = 1;
            break;
        }
    } else {
        selectedGoes = selected >= 0 && EntryData(g.list, selected) == number;
        for (int row = g.model->rowCount() - 1; row >= 0; --row) {
            if (numberAt(g.model, row) != number)
                continue;
            g.model->removeRows(row, 1);
            ++removed;
        }
    }
    if (selectedGoes && removed > 0)
        g.list->clearSelection();
    if (listLost)
        *listLost = selectedGoes && removed > 0;
    return removed;
}

// Puts a new entry into a group's model at its sorted place; its position.
int insertIntoGroup(const Group &g, const QString &text, int itemData) {
    const int pos = InsertPosition(g.model->rowCount(), text, [&g](int row) {
        return g.model->data(g.model->index(row, 0), Qt::DisplayRole).toString();
    });
    if (g.list) {
        auto *item = new QListWidgetItem(text);
        item->setData(Qt::UserRole, itemData);
        g.list->insertItem(pos, item);
    } else {
        // A combo box of its own model: the combo box's own insertion.
        g.combos.first()->insertItem(pos, text, itemData);
    }
    return pos;
}

// Gives the entry numbered `number` of a group (with `oldText` when given:
// the first such entry only) a new text, chosen again wherever the old one
// was chosen.
void renameInGroup(const Group &g, int number, const QString &text,
                   const QString *oldText = nullptr) {
    QList<QComboBox *> chosen;
    for (QComboBox *combo : g.combos) {
        const int index = combo->currentIndex();
        if (index >= 0 && EntryData(combo, index) == number &&
            (!oldText || combo->itemText(index) == *oldText))
            chosen.append(combo);
    }
    bool listChosen = false;
    int pos = -1;
    {
        KeepChoices keep(g, number, oldText);
        if (removeFromGroup(g, number, &listChosen, oldText) == 0)
            return;
        pos = insertIntoGroup(g, text, number);
    }
    for (QComboBox *combo : std::as_const(chosen)) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(pos);
    }
    if (listChosen)
        g.list->item(pos)->setSelected(true);
}

} // namespace

void MakeSortedList(QListWidget *list) {
    list->setUniformItemSizes(true);
    list->setItemDelegate(new WidestTextDelegate<QStyledItemDelegate>(list));
}

namespace {

// The rows of a drop-down list: drawn as a drop-down list draws them, one
// size for all, as wide as the widest entry.
void MakeUniformDropDown(QComboBox *combo) {
    if (auto *view = qobject_cast<QListView *>(combo->view()))
        view->setUniformItemSizes(true);
    combo->setItemDelegate(new WidestTextDelegate<QItemDelegate>(combo));
}

} // namespace

void MakeSortedList(QComboBox *combo) {
    const QPointer<QAbstractItemModel> own = combo->model();
    combo->setModel(new EntryModel(combo));
    if (own && own->parent() == combo)
        delete own;
    // One style for every such box, for the life of the application.
    static QPointer<DropDownBelowStyle> dropDownBelow;
    if (!dropDownBelow) {
        dropDownBelow = new DropDownBelowStyle;
        dropDownBelow->setParent(QCoreApplication::instance());
    }
    combo->setStyle(dropDownBelow);
    MakeUniformDropDown(combo);
}

void ShareEntries(QListWidget *list, const QList<QComboBox *> &combos) {
    QAbstractItemModel *model = list->model();
    Sharers *sharers = sharersOf(model);
    if (!sharers)
        sharers = new Sharers(model, list);
    for (QComboBox *combo : combos) {
        const QPointer<QAbstractItemModel> own = combo->model();
        combo->setModel(model);
        if (own && own->parent() == combo)
            delete own;
        const auto *view = qobject_cast<const QListView *>(combo->view());
        if (!view || !view->uniformItemSizes())
            MakeUniformDropDown(combo);
        combo->setCurrentIndex(-1);
        sharers->combos.append(combo);
    }
}

int AddSorted(QListWidget *list, const QString &text, int itemData) {
    const Group g = groupOf(list);
    const KeepChoices keep(g);
    return insertIntoGroup(g, text, itemData);
}

int AddSorted(QComboBox *combo, const QString &text, int itemData) {
    // A combo box selects the first entry put into it when it was empty, and
    // reports a shifted selection as a change; neither is a choice the user
    // made, so the selection is kept as it was and no signal goes out.
    const Group g = groupOf(combo);
    const KeepChoices keep(g);
    return insertIntoGroup(g, text, itemData);
}

void FillSorted(QListWidget *list, QList<SortedEntry> entries) {
    SortEntries(entries);
    const Group g = groupOf(list);
    KeepChoices keep(g);
    keep.dropAll();
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
        // Item data is not shown: the views need not hear of it entry by entry.
        const QSignalBlocker quiet(list->model());
        for (int i = 0; i < entries.size(); ++i)
            list->item(i)->setData(Qt::UserRole, entries[i].number);
    }
    list->setCurrentRow(-1);
    list->setUpdatesEnabled(updates);
}

void FillSorted(QComboBox *combo, QList<SortedEntry> entries) {
    const Group g = groupOf(combo);
    if (g.list) {
        FillSorted(g.list, std::move(entries));
        return;
    }
    SortEntries(entries);
    KeepChoices keep(g);
    keep.dropAll();
    if (auto *model = qobject_cast<EntryModel *>(combo->model())) {
        model->setEntries(std::move(entries)); // one reset for all rows
    } else if (auto *model = qobject_cast<QStandardItemModel *>(combo->model())) {
        combo->clear();
        QList<QStandardItem *> rows;
        rows.reserve(entries.size());
        for (const SortedEntry &e : entries) {
            auto *item = new QStandardItem(e.text);
            item->setData(e.number, Qt::UserRole);
            rows.append(item);
        }
        // One insertion for all rows instead of one per entry.
        model->invisibleRootItem()->appendRows(rows);
    } else {
        combo->clear();
        for (const SortedEntry &e : entries)
            combo->addItem(e.text, e.number);
    }
}

QList<SortedEntry> Entries(const QListWidget *list) {
    QList<SortedEntry> out;
    out.reserve(list->count());
    for (int row = 0; row < list->count(); ++row)
        out.append(SortedEntry{list->item(row)->text(), EntryData(list, row)});
    return out;
}

QList<SortedEntry> Entries(const QComboBox *combo) {
    if (const auto *model = qobject_cast<const EntryModel *>(combo->model()))
        return model->entries();
    QList<SortedEntry> out;
    out.reserve(combo->count());
    for (int i = 0; i < combo->count(); ++i)
        out.append(SortedEntry{combo->itemText(i), EntryData(combo, i)});
    return out;
}

int RemoveNumber(QListWidget *list, int number, bool *wasChosen) {
    const Group g = groupOf(list);
    const KeepChoices keep(g, number);
    return removeFromGroup(g, number, wasChosen);
}

int RemoveNumber(QComboBox *combo, int number, bool *wasChosen) {
    const Group g = groupOf(combo);
    const KeepChoices keep(g, number);
    const bool loses = keep.loses(combo);
    const int removed = removeFromGroup(g, number, nullptr);
    if (wasChosen)
        *wasChosen = loses && removed > 0;
    return removed;
}

void RenameNumber(QListWidget *list, int number, const QString &text) {
    renameInGroup(groupOf(list), number, text);
}

void RenameNumber(QComboBox *combo, int number, const QString &text) {
    renameInGroup(groupOf(combo), number, text);
}

int RemoveEntry(QListWidget *list, int number, const QString &text, bool *wasChosen) {
    const Group g = groupOf(list);
    const KeepChoices keep(g, number, &text);
    return removeFromGroup(g, number, wasChosen, &text);
}

int RemoveEntry(QComboBox *combo, int number, const QString &text, bool *wasChosen) {
    const Group g = groupOf(combo);
    const KeepChoices keep(g, number, &text);
    const bool loses = keep.loses(combo);
    const int removed = removeFromGroup(g, number, nullptr, &text);
    if (wasChosen)
        *wasChosen = loses && removed > 0;
    return removed;
}

void RenameEntry(QListWidget *list, int number, const QString &oldText, const QString &text) {
    renameInGroup(groupOf(list), number, text, &oldText);
}

void RenameEntry(QComboBox *combo, int number, const QString &oldText, const QString &text) {
    renameInGroup(groupOf(combo), number, text, &oldText);
}

int FindEntry(const QListWidget *list, int itemData) {
    for (int row = 0; row < list->count(); ++row) {
        if (EntryData(list, row) == itemData)
            return row;
    }
    return -1;
}

int FindEntry(const QComboBox *combo, int itemData) {
    const QAbstractItemModel *model = combo->model();
    for (int i = 0, n = model->rowCount(); i < n; ++i) {
        if (numberAt(model, i) == itemData)
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

#include "sortedlist.moc"

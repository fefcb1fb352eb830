#include "userdata/sortedlist.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace modMain {

namespace {

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

namespace {

// Sorts long lists in the order of SortsBefore without comparing whole texts
// most of the time. Long lists share their beginnings ("http://www.", "Category
// "): the folded characters every text shares are skipped, and the next eight
// of each text, folded as SortsBefore folds them, make one integer that
// orders two texts whenever they differ there; only texts that agree there
// are compared in full. Returns false, sorting nothing, when a text holds a
// character outside plain ASCII (or a NUL) where the integer would read it:
// SortsBefore compares those itself.
bool SortByWindow(QList<SortedEntry> &entries) {
    const qsizetype count = entries.size();
    auto fold = [](char16_t c) -> char16_t {
        return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
    };
    // The folded beginning every text shares (identical characters beyond
    // plain ASCII count as shared).
    const QString &first = entries.first().text;
    qsizetype shared = first.size();
    for (const SortedEntry &e : std::as_const(entries)) {
        const QChar *a = first.constData();
        const QChar *b = e.text.constData();
        qsizetype i = 0;
        const qsizetype end = std::min(shared, e.text.size());
        while (i < end && (a[i] == b[i] || (a[i].unicode() < 128 && b[i].unicode() < 128 &&
                                            fold(a[i].unicode()) == fold(b[i].unicode()))))
            ++i;
        shared = i;
        if (shared == 0)
            break;
    }

    struct Keyed {
        quint64 key;
        int index;
    };
    std::vector<Keyed> keyed(static_cast<size_t>(count));
    for (qsizetype n = 0; n < count; ++n) {
        const QString &text = entries.at(n).text;
        const QChar *chars = text.constData();
        quint64 key = 0;
        for (qsizetype i = shared; i < shared + 8; ++i) {
            quint64 c = 0;
            if (i < text.size()) {
                const char16_t u = chars[i].unicode();
                if (u == 0 || u > 127)
                    return false;
                c = fold(u);
            }
            key = (key << 8) | c;
        }
        keyed[size_t(n)] = {key, int(n)};
    }
    std::sort(keyed.begin(), keyed.end(), [&entries](const Keyed &a, const Keyed &b) {
        if (a.key != b.key)
            return a.key < b.key;
        const QString &ta = entries.at(a.index).text;
        const QString &tb = entries.at(b.index).text;
        if (SortsBefore(ta, tb))
            return true;
        if (SortsBefore(tb, ta))
            return false;
        return a.index < b.index; // equal texts keep their order
    });
    QList<SortedEntry> sorted;
    sorted.reserve(count);
    for (const Keyed &k : keyed)
        sorted.append(std::move(entries[k.index]));
    entries = std::move(sorted);
    return true;
}

} // namespace

void SortEntries(QList<SortedEntry> &entries) {
    auto before = [](const SortedEntry &a, const SortedEntry &b) {
        return SortsBefore(a.text, b.text);
    };
    // Read through a const view: a list shared with the caller is copied only
    // when it has to be sorted.
    const QList<SortedEntry> &view = entries;
    if (std::is_sorted(view.begin(), view.end(), before))
        return;
    if (!SortByWindow(entries))
        std::stable_sort(entries.begin(), entries.end(), before);
}

// ---- SortedListModel ----

SortedListModel::SortedListModel(QObject *parent) : QObject(parent) {}

SortedListModel::~SortedListModel() = default;

ListFace *SortedListModel::addFace() {
    // One bit of Row::heldBack per face.
    Q_ASSERT(m_faces.size() < 32);
    auto *face = new ListFace(this, int(m_faces.size()));
    m_faces.append(face);
    return face;
}

QString SortedListModel::textAt(int row) const {
    return row >= 0 && row < count() ? m_rows.at(row).text : QString();
}

int SortedListModel::numberAt(int row) const {
    return row >= 0 && row < count() ? m_rows.at(row).number : 0;
}

int SortedListModel::rowOfNumber(int number) const {
    for (int row = 0, rows = count(); row < rows; ++row) {
        if (m_rows.at(row).number == number)
            return row;
    }
    return -1;
}

int SortedListModel::insertPosition(const QString &text) const {
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (CompareEntries(text, m_rows.at(mid).text) < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

void SortedListModel::rowsChanged() {
    for (ListFace *face : std::as_const(m_faces))
        face->m_shownRowsValid = false;
}

int SortedListModel::insertSorted(const QString &text, int number) {
    const int row = insertPosition(text);
    // The faces that show the new entry, each with the row it gets there.
    QList<std::pair<ListFace *, int>> showing;
    for (ListFace *face : std::as_const(m_faces)) {
        if (face->m_shows == ListFace::Shows::Every) {
            showing.append({face, row});
        } else if (face->m_shows == ListFace::Shows::LaterOnly) {
            const QList<int> &shown = face->shownRows();
            showing.append(
                {face, int(std::lower_bound(shown.begin(), shown.end(), row) - shown.begin())});
        }
    }
    for (const auto &[face, at] : std::as_const(showing))
        face->beginInsertRows(QModelIndex(), at, at);
    m_rows.insert(row, Row{text, number, 0});
    rowsChanged();
    for (const auto &[face, at] : std::as_const(showing))
        face->endInsertRows();
    return row;
}

void SortedListModel::replaceAll(QList<SortedEntry> entries) {
    SortEntries(entries);
    // Faces that show only later entries hold every one of these back.
    quint32 heldBack = 0;
    for (const ListFace *face : std::as_const(m_faces)) {
        if (face->m_shows == ListFace::Shows::LaterOnly)
            heldBack |= face->m_bit;
    }
    for (ListFace *face : std::as_const(m_faces))
        face->beginResetModel();
    QList<Row> rows;
    rows.reserve(entries.size());
    for (SortedEntry &entry : entries)
        rows.append(Row{std::move(entry.text), entry.number, heldBack});
    entries = {};
    m_rows = std::move(rows);
    rowsChanged();
    for (ListFace *face : std::as_const(m_faces))
        face->endResetModel();
}

int SortedListModel::removeNumber(int number, int atMost, const QString *text) {
    QList<int> going;
    for (int row = 0, rows = count(); row < rows && going.size() < atMost; ++row) {
        if (m_rows.at(row).number == number && (!text || m_rows.at(row).text == *text))
            going.append(row);
    }
    // From the last, so that the rows of the others stay as found.
    int removed = 0;
    for (auto it = going.crbegin(); it != going.crend(); ++it) {
        const int row = *it;
        QList<std::pair<ListFace *, int>> showing;
        for (ListFace *face : std::as_const(m_faces)) {
            if (const int at = face->faceRow(row); at >= 0)
                showing.append({face, at});
        }
        for (const auto &[face, at] : std::as_const(showing))
            face->beginRemoveRows(QModelIndex(), at, at);
        m_rows.remove(row);
        rowsChanged();
        for (const auto &[face, at] : std::as_const(showing))
            face->endRemoveRows();
        ++removed;
    }
    return removed;
}

int SortedListModel::renameNumber(int number, const QString &text, const QString *oldText) {
    QList<int> renamed;
    QList<bool> isRenamed(count(), false);
    for (int row = 0, rows = count(); row < rows; ++row) {
        if (m_rows.at(row).number != number || (oldText && m_rows.at(row).text != *oldText))
            continue;
        renamed.append(row);
        isRenamed[row] = true;
        if (oldText)
            break; // the first such entry only
    }
    if (renamed.isEmpty())
        return 0;

    // The new order, as old rows: every other entry where it was, then each
    // renamed one at its sorted place among them (after its equals).
    QList<int> order;
    order.reserve(count());
    for (int row = 0, rows = count(); row < rows; ++row) {
        if (!isRenamed.at(row))
            order.append(row);
    }
    auto textOf = [&](int oldRow) -> const QString & {
        return isRenamed.at(oldRow) ? text : m_rows.at(oldRow).text;
    };
    for (const int oldRow : std::as_const(renamed)) {
        const auto at = std::upper_bound(order.begin(), order.end(), oldRow, [&](int a, int b) {
            return CompareEntries(textOf(a), textOf(b)) < 0;
        });
        order.insert(at - order.begin(), oldRow);
    }
    QList<int> newRowOf(count(), -1);
    for (int row = 0, rows = int(order.size()); row < rows; ++row)
        newRowOf[order.at(row)] = row;

    // The faces that show a renamed entry: the others keep their rows in
    // their order, and their texts.
    struct Moving {
        ListFace *face;
        QModelIndexList from;
        QList<int> fromModelRows;
    };
    QList<Moving> moving;
    for (ListFace *face : std::as_const(m_faces)) {
        const bool shows = std::any_of(renamed.begin(), renamed.end(),
                                       [face](int row) { return face->showsRow(row); });
        if (!shows)
            continue;
        emit face->layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        Moving m{face, face->persistentIndexList(), {}};
        for (const QModelIndex &index : std::as_const(m.from))
            m.fromModelRows.append(face->modelRow(index.row()));
        moving.append(std::move(m));
    }

    QList<Row> rows;
    rows.reserve(count());
    for (const int oldRow : std::as_const(order)) {
        Row row = m_rows.at(oldRow);
        if (isRenamed.at(oldRow))
            row.text = text;
        rows.append(std::move(row));
    }
    m_rows = std::move(rows);
    rowsChanged();

    for (const Moving &m : std::as_const(moving)) {
        QModelIndexList to;
        to.reserve(m.from.size());
        for (const int oldRow : m.fromModelRows) {
            const int faceRow = oldRow < 0 ? -1 : m.face->faceRow(newRowOf.at(oldRow));
            to.append(faceRow < 0 ? QModelIndex() : m.face->index(faceRow));
        }
        m.face->changePersistentIndexList(m.from, to);
        emit m.face->layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        for (const int oldRow : std::as_const(renamed)) {
            if (const int faceRow = m.face->faceRow(newRowOf.at(oldRow)); faceRow >= 0) {
                const QModelIndex index = m.face->index(faceRow);
                emit m.face->dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
            }
        }
    }
    return int(renamed.size());
}

// ---- ListFace ----

ListFace::ListFace(SortedListModel *model, int bit)
    : QAbstractListModel(model), m_model(model), m_bit(quint32(1) << bit) {}

void ListFace::setShows(Shows shows) {
    beginResetModel();
    m_shows = shows;
    if (shows == Shows::LaterOnly) {
        for (SortedListModel::Row &row : m_model->m_rows)
            row.heldBack |= m_bit;
    }
    m_shownRowsValid = false;
    endResetModel();
}

void ListFace::showEvery() {
    setShows(Shows::Every);
}

void ListFace::showNone() {
    setShows(Shows::None);
}

void ListFace::showOnlyLater() {
    setShows(Shows::LaterOnly);
}

bool ListFace::showsRow(int modelRow) const {
    switch (m_shows) {
    case Shows::Every:
        return true;
    case Shows::None:
        return false;
    case Shows::LaterOnly:
        return !(m_model->m_rows.at(modelRow).heldBack & m_bit);
    }
    return false;
}

const QList<int> &ListFace::shownRows() const {
    if (!m_shownRowsValid) {
        m_shownRows.clear();
        if (m_shows == Shows::LaterOnly) {
            for (int row = 0, rows = m_model->count(); row < rows; ++row) {
                if (showsRow(row))
                    m_shownRows.append(row);
            }
        }
        m_shownRowsValid = true;
    }
    return m_shownRows;
}

int ListFace::rowCount(const QModelIndex &parent) const {
    if (parent.isValid())
        return 0;
    switch (m_shows) {
    case Shows::Every:
        return m_model->count();
    case Shows::None:
        return 0;
    case Shows::LaterOnly:
        return int(shownRows().size());
    }
    return 0;
}

int ListFace::modelRow(int row) const {
    if (row < 0 || row >= rowCount())
        return -1;
    return m_shows == Shows::Every ? row : shownRows().at(row);
}

int ListFace::faceRow(int modelRow) const {
    if (modelRow < 0 || modelRow >= m_model->count() || !showsRow(modelRow))
        return -1;
    if (m_shows == Shows::Every)
        return modelRow;
    const QList<int> &shown = shownRows();
    return int(std::lower_bound(shown.begin(), shown.end(), modelRow) - shown.begin());
}

QString ListFace::textAt(int row) const {
    return m_model->textAt(modelRow(row));
}

QStringView ListFace::textView(int row) const {
    const int at = modelRow(row);
    return at < 0 ? QStringView() : QStringView(m_model->m_rows.at(at).text);
}

int ListFace::numberAt(int row) const {
    return m_model->numberAt(modelRow(row));
}

int ListFace::rowOfNumber(int number) const {
    if (m_shows == Shows::Every)
        return m_model->rowOfNumber(number);
    for (int row = 0, rows = rowCount(); row < rows; ++row) {
        if (numberAt(row) == number)
            return row;
    }
    return -1;
}

QVariant ListFace::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = modelRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_model->m_rows.at(row).text;
    case Qt::UserRole:
        return m_model->m_rows.at(row).number;
    default:
        return QVariant();
    }
}

Qt::ItemFlags ListFace::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

} // namespace modMain

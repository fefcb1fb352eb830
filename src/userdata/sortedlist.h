#pragma once

#include "storage/entryorder.h"
#include "storage/records.h"

#include <QAbstractListModel>
#include <QList>
#include <QObject>
#include <QString>

#include <climits>

// The sorted lists of the main window as models. Each family of lists (the
// categories, the URLs of a category) is one SortedListModel: the entries
// themselves, each a text and the number of the record it shows, kept in the
// order of CompareEntries. A change procedure changes the model once, by
// number (insert, rename, remove) or whole (replace all); every list of the
// family follows.
//
// The lists see the model through faces (ListFace): a face is what one or
// more lists show of the model, a Qt item model that list boxes and
// drop-down lists display. Lists that always hold the same entries show one
// face; a list that can hold others (nothing, or only some of the entries)
// has a face of its own. Each list keeps its own choice while the model
// changes under it: an entry that moves keeps its choice, an entry that goes
// takes its choice with it, and nothing is chosen by the model (see ListBox
// and DropDownList).
//
// Lists can hold up to 32,767 entries. An entry takes its text and two
// integers; filling a model is one sort and one reset of each face.
//
// A face is not a QSortFilterProxyModel: a proxy keeps a row map of its own
// and remakes it on every insertion, about 0.1 ms per proxy at 32,767 rows
// (Qt 6.4), where a face that shows every entry maps nothing and one that
// shows some keeps a list it remakes only when asked. Four proxies would
// turn an import of thousands of new categories, each inserted into its
// place, into seconds.
namespace modMain {

// One entry of a list: its text and item data (the number of the record it
// shows), as the data files' readers return it.
using SortedEntry = ListEntry;

// Puts entries into the order they take when added one by one in their
// present order (a stable sort: equal texts keep their order). Entries
// already in that order are left as they are at the cost of one pass.
void SortEntries(QList<SortedEntry> &entries);

class ListFace;

class SortedListModel : public QObject {
    Q_OBJECT
public:
    explicit SortedListModel(QObject *parent = nullptr);
    ~SortedListModel() override;

    // A new face of this model, showing every entry. The model owns it.
    ListFace *addFace();

    // The entries, in list order ("rows" of the model; a face's rows are
    // its own, see ListFace).
    int count() const { return int(m_rows.size()); }
    // The text and the number of the entry at `row`: "" and 0 when there is
    // none.
    QString textAt(int row) const;
    int numberAt(int row) const;
    // The row of the first entry numbered `number`; -1 when there is none.
    int rowOfNumber(int number) const;

    // Inserts an entry at its sorted place (after any entries equal to it)
    // and returns its row.
    int insertSorted(const QString &text, int number);
    // Replaces every entry with `entries`, put in the order inserting them
    // one by one would give (one reset of each face).
    void replaceAll(QList<SortedEntry> entries);
    void clear() { replaceAll({}); }
    // Removes the entries numbered `number` (and, when given, of the text
    // `text`), the first `atMost` of them in list order; how many went.
    // Entries share a number when they show damaged category records
    // (number 0) or the URLs of a file that holds a number twice.
    int removeNumber(int number, int atMost = INT_MAX, const QString *text = nullptr);
    // Gives every entry numbered `number` the text `text` and moves it to
    // its sorted place; how many were renamed. With `oldText`, only the
    // first entry of that number and text is renamed.
    int renameNumber(int number, const QString &text, const QString *oldText = nullptr);

private:
    friend class ListFace;

    struct Row {
        QString text;
        int number = 0;
        // One bit per face: set while the face holds the entry back.
        quint32 heldBack = 0;
    };

    // The first row whose text sorts after `text`.
    int insertPosition(const QString &text) const;
    // The rows of `m_rows` changed (moved, added, gone): the faces' own
    // row lists go.
    void rowsChanged();

    QList<Row> m_rows;
    QList<ListFace *> m_faces;
};

// What some lists show of a SortedListModel: every entry, none, or only the
// entries added after a given moment. Its rows carry Qt::DisplayRole (and
// Qt::EditRole) and Qt::UserRole (the number).
class ListFace : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Shows {
        Every,    // every entry of the model
        None,     // nothing, whatever the model holds or gains
        LaterOnly // only the entries inserted since showOnlyLater()
    };

    SortedListModel *family() const { return m_model; }
    Shows shows() const { return m_shows; }
    // Each is one reset of this face; the lists that show it lose their
    // choice.
    void showEvery();
    void showNone();
    void showOnlyLater();

    int count() const { return rowCount(); }
    QString textAt(int row) const;
    // The text at `row` in place, for as long as the model does not change;
    // empty where there is no entry.
    QStringView textView(int row) const;
    int numberAt(int row) const;
    int rowOfNumber(int number) const;
    // The model's row of this face's `row`; -1 when there is none.
    int modelRow(int row) const;
    // This face's row of the model's `modelRow`; -1 when it does not show it.
    int faceRow(int modelRow) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    friend class SortedListModel;
    ListFace(SortedListModel *model, int bit);

    bool showsRow(int modelRow) const;
    // The model's rows this face shows, when it shows only some.
    const QList<int> &shownRows() const;
    void setShows(Shows shows);

    SortedListModel *m_model;
    quint32 m_bit;
    Shows m_shows = Shows::Every;
    mutable QList<int> m_shownRows;
    mutable bool m_shownRowsValid = false;
};

} // namespace modMain

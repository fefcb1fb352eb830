#pragma once

#include "urls/findindex.h"

#include <QAbstractListModel>
#include <QList>

// The URLs found for what the user typed in the Find URL menu, as the model
// its results list shows: one row a URL, "address   (Category)", in the
// index's order (category name, then address). It owns the find index they
// come from, so that nothing can change the index while the rows still name
// its URLs: every change goes through changing(), which empties the rows
// first (the next search fills them anew).
namespace screens {

class FoundUrls : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FoundUrls(QObject *parent = nullptr);
    ~FoundUrls() override;

    // The index, for searches and look-ups.
    modMain::FindIndex &index() { return m_index; }
    const modMain::FindIndex &index() const { return m_index; }
    // The index, to change it (build, clear, keep it in step): the rows go
    // first.
    modMain::FindIndex &changing();

    // Fills the rows with the URLs for `text` (see FindIndex::find).
    void find(const QString &text);
    // Empties the rows.
    void clear();

    int count() const { return int(m_hits.size()); }
    // The URL of `row`; its category number and URL number, its address as
    // stored and its description as shown (line breaks as CR LF). 0 and ""
    // where there is no row.
    int categoryNoAt(int row) const;
    int urlNoAt(int row) const;
    QString addressAt(int row) const;
    QString descriptionAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // Qt::DisplayRole: the row's text; Qt::ToolTipRole: the description.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    bool hasRow(int row) const { return row >= 0 && row < m_hits.size(); }

    modMain::FindIndex m_index;
    QList<modMain::FindIndex::Hit> m_hits;
};

} // namespace screens

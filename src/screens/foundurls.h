#pragma once

#include "userdata/findindex.h"

#include <QAbstractListModel>
#include <QList>

namespace modMain {
class UserData;
}

// The URLs found for what the user typed in the Find URL menu, as the model
// its results list shows: one row a URL, "address   (Category)", in the
// index's order (category name, then address). The rows name URLs of the
// index of the user's data, so they go whenever that index is about to
// change (UserData::indexChanging); the next search fills them anew.
namespace screens {

class FoundUrls : public QAbstractListModel {
    Q_OBJECT
public:
    FoundUrls(modMain::UserData *data, QObject *parent = nullptr);
    ~FoundUrls() override;

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

    modMain::UserData *m_data;
    const modMain::FindIndex &m_index;
    QList<modMain::FindIndex::Hit> m_hits;
};

} // namespace screens

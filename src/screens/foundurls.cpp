#include "screens/foundurls.h"

#include "screens/screens.h"
#include "userdata/userdata.h"

namespace screens {

FoundUrls::FoundUrls(modMain::UserData *data, QObject *parent)
    : QAbstractListModel(parent), m_data(data), m_index(data->index()) {
    connect(data, &modMain::UserData::indexChanging, this, &FoundUrls::clear);
}

FoundUrls::~FoundUrls() = default;

void FoundUrls::find(const QString &text) {
    beginResetModel();
    m_hits = m_data->find(text);
    endResetModel();
}

void FoundUrls::clear() {
    if (m_hits.isEmpty())
        return;
    beginResetModel();
    m_hits.clear();
    endResetModel();
}

int FoundUrls::categoryNoAt(int row) const {
    return hasRow(row) ? m_index.categoryNo(m_hits[row]) : 0;
}

int FoundUrls::urlNoAt(int row) const {
    return hasRow(row) ? m_index.urlNo(m_hits[row]) : 0;
}

QString FoundUrls::addressAt(int row) const {
    return hasRow(row) ? m_index.address(m_hits[row]) : QString();
}

QString FoundUrls::descriptionAt(int row) const {
    return hasRow(row) ? m_index.description(m_hits[row]) : QString();
}

int FoundUrls::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant FoundUrls::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || !hasRow(index.row()))
        return QVariant();
    const modMain::FindIndex::Hit hit = m_hits[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return m_index.address(hit) + QStringLiteral("   (") + m_index.categoryName(hit) + u')';
    case Qt::ToolTipRole:
        return ShownLineBreaks(m_index.description(hit));
    default:
        return QVariant();
    }
}

Qt::ItemFlags FoundUrls::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace screens

#include "screens/widesttext.h"

#include <QFontMetricsF>

#include <algorithm>
#include <array>
#include <cmath>

namespace screens {

namespace {

// The width of the widest text of `rows` rows of a model from `first` on in
// `font`, from the advance of each character alone: at least the width of
// every text (the pairs that a font sets closer only make a text narrower),
// reckoned without laying out a single one. Plain ASCII, all the data files
// can hold, is read from a table made once per call.
int WidestOf(const QAbstractItemModel *model, const QFont &font, int first, int rows) {
    const QFontMetricsF metrics(font);
    std::array<qreal, 128> ascii{};
    for (int c = 32; c < 128; ++c)
        ascii[size_t(c)] = metrics.horizontalAdvance(QChar(c));
    qreal widest = 0;
    for (int row = first; row < first + rows; ++row) {
        const QString text = model->data(model->index(row, 0), Qt::DisplayRole).toString();
        qreal width = 0;
        for (const QChar c : text)
            width += c.unicode() >= 32 && c.unicode() < 128 ? ascii[c.unicode()]
                                                            : metrics.horizontalAdvance(c);
        widest = std::max(widest, width);
    }
    return int(std::ceil(widest));
}

} // namespace

void WidestText::watch(const QAbstractItemModel *model, QObject *context) {
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        QObject::disconnect(c);
    m_connections.clear();
    m_model = model;
    if (!model)
        return;
    auto again = [this] { m_widest = -1; };
    m_connections = {
        QObject::connect(model, &QAbstractItemModel::rowsInserted, context,
                         [this](const QModelIndex &parent, int first, int last) {
                             if (m_widest >= 0 && m_model && !parent.isValid())
                                 m_widest = std::max(
                                     m_widest, WidestOf(m_model, m_font, first, last - first + 1));
                         }),
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, context, again),
        QObject::connect(model, &QAbstractItemModel::modelReset, context, again),
        QObject::connect(model, &QAbstractItemModel::dataChanged, context, again),
        QObject::connect(model, &QAbstractItemModel::layoutChanged, context, again),
    };
}

int WidestText::of(const QAbstractItemModel *model, const QFont &font, QObject *context) {
    if (model != m_model) {
        watch(model, context);
        m_widest = -1;
    }
    if (font != m_font) {
        m_font = font;
        m_widest = -1;
    }
    if (m_widest < 0 && model)
        m_widest = WidestOf(model, font, 0, model->rowCount());
    return std::max(m_widest, 0);
}

} // namespace screens

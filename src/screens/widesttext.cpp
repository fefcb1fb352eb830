#include "screens/widesttext.h"

#include "userdata/sortedlist.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace screens {

// The width of each text from the advance of each character alone: at least
// the width of the text (the pairs that a font sets closer only make a text
// narrower), reckoned without laying out a single one. Advances are summed in
// 64ths of a pixel, each rounded up, so that whole numbers add up quickly and
// the sum is never short of the width. Plain ASCII, all the data files can
// hold, is read from a table made once per font. The texts of a sorted list
// are read in place.
int WidestText::widestOf(int first, int rows) {
    const QFontMetricsF metrics(m_font);
    auto units = [&metrics](QChar c) {
        return qint64(std::ceil(metrics.horizontalAdvance(c) * 64));
    };
    if (m_ascii.empty()) {
        m_ascii.resize(128);
        for (int c = 0; c < 128; ++c)
            m_ascii[size_t(c)] = units(QChar(c));
    }
    auto widthOf = [&](QStringView text) {
        qint64 width = 0;
        const char16_t *chars = text.utf16();
        for (qsizetype i = 0, n = text.size(); i < n; ++i) {
            const char16_t c = chars[i];
            width += c < 128 ? m_ascii[c] : units(QChar(c));
        }
        return width;
    };
    qint64 widest = 0;
    if (const auto *face = qobject_cast<const modMain::ListFace *>(m_model)) {
        for (int row = first; row < first + rows; ++row)
            widest = std::max(widest, widthOf(face->textView(row)));
    } else {
        for (int row = first; row < first + rows; ++row)
            widest = std::max(
                widest, widthOf(m_model->data(m_model->index(row, 0), Qt::DisplayRole).toString()));
    }
    return int((widest + 63) / 64);
}

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
                                 m_widest = std::max(m_widest, widestOf(first, last - first + 1));
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
        m_ascii.clear();
        m_widest = -1;
    }
    if (m_widest < 0 && model)
        m_widest = widestOf(0, model->rowCount());
    return std::max(m_widest, 0);
}

} // namespace screens

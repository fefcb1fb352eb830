#include "screens/widesttext.h"

#include "screens/sortedlist.h"

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
// can hold, is read from a table made once per call. The texts of a sorted
// list are read in place.
int WidestOf(const QAbstractItemModel *model, const QFont &font, int first, int rows) {
    // Advances in 64ths of a pixel, each rounded up, so that whole numbers
    // add up quickly and the sum is never short of the width.
    const QFontMetricsF metrics(font);
    auto units = [&metrics](QChar c) {
        return qint64(std::ceil(metrics.horizontalAdvance(c) * 64));
    };
    std::array<qint64, 128> ascii{};
    for (int c = 0; c < 128; ++c)
        ascii[size_t(c)] = units(QChar(c));
    auto widthOf = [&](QStringView text) {
        qint64 width = 0;
        const char16_t *chars = text.utf16();
        for (qsizetype i = 0, n = text.size(); i < n; ++i) {
            const char16_t c = chars[i];
            width += c < 128 ? ascii[c] : units(QChar(c));
        }
        return width;
    };
    qint64 widest = 0;
    if (const auto *face = qobject_cast<const ListFace *>(model)) {
        for (int row = first; row < first + rows; ++row)
            widest = std::max(widest, widthOf(face->textView(row)));
    } else {
        for (int row = first; row < first + rows; ++row)
            widest = std::max(
                widest, widthOf(model->data(model->index(row, 0), Qt::DisplayRole).toString()));
    }
    return int((widest + 63) / 64);
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

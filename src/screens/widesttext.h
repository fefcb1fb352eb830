#pragma once

#include <QAbstractItemModel>
#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QMetaObject>
#include <QModelIndex>
#include <QPointer>
#include <QSize>
#include <QStyleOptionViewItem>

#include <vector>

namespace screens {

// The width of the widest text of a model in a font, kept from one call to
// the next: worked out in one pass over the model when first asked, brought
// up to date for entries added, and worked out again after any other change.
class WidestText {
public:
    int of(const QAbstractItemModel *model, const QFont &font, QObject *context);

private:
    void watch(const QAbstractItemModel *model, QObject *context);
    // The width of the widest of `rows` texts of the model from `first` on.
    int widestOf(int first, int rows);

    QPointer<const QAbstractItemModel> m_model;
    QList<QMetaObject::Connection> m_connections;
    QFont m_font;
    // The advance of each plain ASCII character in m_font, in 64ths of a
    // pixel rounded up; empty until the font's first use.
    std::vector<qint64> m_ascii;
    int m_widest = -1; // -1: to be worked out
};

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
        auto *self = const_cast<WidestTextDelegate *>(this);
        const int widest = self->m_widest.of(index.model(), option.font, self);
        if (widest > own)
            hint.rwidth() += widest - own;
        return hint;
    }

private:
    WidestText m_widest;
};

} // namespace screens

#pragma once

#include <QString>

namespace modMain {

// Order of two entry texts (category names, addresses): negative when `a`
// comes first, zero when they are the same text, positive when `b` comes
// first. Letter case is ignored first; texts that differ only in case are
// then ordered case-sensitively, so the order is total and the same on every
// machine and in every locale. Every sorted list of the program, and every
// list of results, keeps this order.
inline int CompareEntries(const QString &a, const QString &b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded;
    return QString::compare(a, b, Qt::CaseSensitive);
}

} // namespace modMain

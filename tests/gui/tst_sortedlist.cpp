#include "screens/dropdownlist.h"
#include "screens/listbox.h"
#include "userdata/sortedlist.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <numeric>

using modMain::CompareEntries;
using modMain::SortedListModel;
using screens::DropDownList;
using screens::ListBox;

namespace {

QStringList texts(const ListBox &list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.model()->index(i, 0).data().toString();
    return out;
}

QStringList texts(const QComboBox &combo) {
    QStringList out;
    for (int i = 0; i < combo.count(); ++i)
        out << combo.itemText(i);
    return out;
}

} // namespace

class tst_SortedList : public QObject {
    Q_OBJECT

private slots:
    void compareEntries_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("alphabetical") << "apple"
                                      << "Banana" << -1;
        QTest::newRow("case ignored first") << "Zoo"
                                            << "zebra" << 1;
        QTest::newRow("same text") << "News"
                                   << "News" << 0;
        QTest::newRow("case breaks ties: upper first") << "NEWS"
                                                       << "news" << -1;
        QTest::newRow("tie broken the other way") << "news"
                                                  << "News" << 1;
        QTest::newRow("prefix first") << "New"
                                      << "news" << -1;
        QTest::newRow("empty first") << ""
                                     << "a" << -1;
        QTest::newRow("blank before letters") << " z"
                                              << "a" << -1;
        QTest::newRow("inner blank counts") << "New s"
                                            << "News" << -1;
        QTest::newRow("digits before letters") << "9 lives"
                                               << "a" << -1;
    }

    void compareEntries() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int result = CompareEntries(a, b);
        QCOMPARE((result > 0) - (result < 0), sign);
        const int reverse = CompareEntries(b, a);
        QCOMPARE((reverse > 0) - (reverse < 0), -sign);
    }

    // Every insertion order of a set with mixed case, duplicates and blank
    // texts gives one and the same order, in a list box and a drop-down list
    // alike; the returned row names the new entry, and each entry keeps its
    // number.
    void sameOrderWhateverTheInsertionOrder() {
        const QStringList names{"beta", "Beta", "alpha", "", "beta", " gamma", "ALPHA"};
        const QStringList expected{"", " gamma", "ALPHA", "alpha", "Beta", "beta", "beta"};

        QList<int> order(names.size());
        std::iota(order.begin(), order.end(), 0);
        SortedListModel model;
        ListBox list;
        list.setEntries(model.addFace());
        DropDownList combo;
        combo.setEntries(model.addFace());
        do {
            model.clear();
            for (int n : order) {
                const int row = model.insertSorted(names[n], 100 + n);
                QCOMPARE(model.textAt(row), names[n]);
                QCOMPARE(model.numberAt(row), 100 + n);
                QCOMPARE(list.entries()->numberAt(row), 100 + n);
                QCOMPARE(combo.itemText(row), names[n]);
                QCOMPARE(combo.itemData(row).toInt(), 100 + n);
            }
            QCOMPARE(texts(list), expected);
            QCOMPARE(texts(combo), expected);
            for (int i = 0; i < model.count(); ++i) {
                const int data = model.numberAt(i);
                QCOMPARE(names[data - 100], model.textAt(i));
                QCOMPARE(combo.itemData(i).toInt(), data);
            }
        } while (std::next_permutation(order.begin(), order.end()));
    }

    // An entry equal to ones already there goes after them, so equal names
    // stay in the order they were added.
    void equalEntriesKeepInsertionOrder() {
        SortedListModel model;
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(model.insertSorted(QStringLiteral("same"), n), n - 1);
        QCOMPARE(model.insertSorted(QStringLiteral("SAME"), 9), 0);
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(model.numberAt(i), i);
    }

    void comboSelectionIsLeftAlone() {
        SortedListModel model;
        DropDownList combo;
        combo.setEntries(model.addFace());
        QSignalSpy changed(&combo, &QComboBox::currentIndexChanged);
        model.insertSorted(QStringLiteral("Music"), 1);
        model.insertSorted(QStringLiteral("News"), 2);
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.currentText(), QString());
        QCOMPARE(combo.chosenNumber(), 0);

        combo.setCurrentIndex(1); // News
        changed.clear();
        QCOMPARE(model.insertSorted(QStringLiteral("Art"), 3), 0);
        QCOMPARE(combo.currentText(), QStringLiteral("News"));
        QCOMPARE(combo.currentIndex(), 2);
        QCOMPARE(combo.chosenNumber(), 2);
        QCOMPARE(changed.count(), 0);
    }

    void listSelectionIsLeftAlone() {
        SortedListModel model;
        ListBox list;
        list.setEntries(model.addFace());
        model.insertSorted(QStringLiteral("Music"), 1);
        QCOMPARE(list.currentRow(), -1);
        QCOMPARE(list.selectedRow(), -1);
        list.setCurrentRow(0);
        model.insertSorted(QStringLiteral("Art"), 2);
        QCOMPARE(list.currentRow(), 1);
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.entries()->textAt(list.currentRow()), QStringLiteral("Music"));
    }

    void entryDataOutsideTheListIsZero() {
        SortedListModel model;
        ListBox list;
        list.setEntries(model.addFace());
        model.insertSorted(QStringLiteral("a"), 7);
        for (int index : {-1, 1}) {
            QCOMPARE(model.numberAt(index), 0);
            QCOMPARE(model.textAt(index), QString());
            QCOMPARE(list.entries()->numberAt(index), 0);
        }
        QCOMPARE(model.rowOfNumber(8), -1);
        QCOMPARE(model.rowOfNumber(7), 0);
    }
};

QTEST_MAIN(tst_SortedList)
#include "tst_sortedlist.moc"

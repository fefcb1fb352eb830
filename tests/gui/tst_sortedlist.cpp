#include "screens/sortedlist.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <numeric>

using screens::AddSorted;
using screens::CompareEntries;
using screens::EntryData;

class tst_SortedList : public QObject {
    Q_OBJECT

private:
    static QStringList texts(const QListWidget &list) {
        QStringList out;
        for (int i = 0; i < list.count(); ++i)
            out << list.item(i)->text();
        return out;
    }
    static QStringList texts(const QComboBox &combo) {
        QStringList out;
        for (int i = 0; i < combo.count(); ++i)
            out << combo.itemText(i);
        return out;
    }

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
    // texts gives one and the same order in a list box and a combo box; the
    // returned position names the new entry, and each entry keeps its number.
    void sameOrderWhateverTheInsertionOrder() {
        const QStringList names{"beta", "Beta", "alpha", "", "beta", " gamma", "ALPHA"};
        const QStringList expected{"", " gamma", "ALPHA", "alpha", "Beta", "beta", "beta"};

        QList<int> order(names.size());
        std::iota(order.begin(), order.end(), 0);
        QListWidget list;
        QComboBox combo;
        do {
            list.clear();
            combo.clear();
            for (int n : order) {
                const int inList = AddSorted(&list, names[n], 100 + n);
                const int inCombo = AddSorted(&combo, names[n], 100 + n);
                QCOMPARE(inCombo, inList);
                QCOMPARE(list.item(inList)->text(), names[n]);
                QCOMPARE(EntryData(&list, inList), 100 + n);
                QCOMPARE(combo.itemText(inCombo), names[n]);
                QCOMPARE(EntryData(&combo, inCombo), 100 + n);
            }
            QCOMPARE(texts(list), expected);
            QCOMPARE(texts(combo), expected);
            for (int i = 0; i < list.count(); ++i) {
                const int data = EntryData(&list, i);
                QCOMPARE(names[data - 100], list.item(i)->text());
                QCOMPARE(EntryData(&combo, i), data);
            }
        } while (std::next_permutation(order.begin(), order.end()));
    }

    // An entry equal to ones already there goes after them, so equal names
    // stay in the order they were added.
    void equalEntriesKeepInsertionOrder() {
        QListWidget list;
        QComboBox combo;
        for (int n = 1; n <= 3; ++n) {
            QCOMPARE(AddSorted(&list, QStringLiteral("same"), n), n - 1);
            QCOMPARE(AddSorted(&combo, QStringLiteral("same"), n), n - 1);
        }
        QCOMPARE(AddSorted(&list, QStringLiteral("SAME"), 9), 0);
        QCOMPARE(AddSorted(&combo, QStringLiteral("SAME"), 9), 0);
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(EntryData(&list, i), i);
            QCOMPARE(EntryData(&combo, i), i);
        }
    }

    void comboSelectionIsLeftAlone() {
        QComboBox combo;
        QSignalSpy changed(&combo, &QComboBox::currentIndexChanged);
        AddSorted(&combo, QStringLiteral("Music"), 1);
        AddSorted(&combo, QStringLiteral("News"), 2);
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.currentText(), QString());

        combo.setCurrentIndex(1); // News
        changed.clear();
        QCOMPARE(AddSorted(&combo, QStringLiteral("Art"), 3), 0);
        QCOMPARE(combo.currentText(), QStringLiteral("News"));
        QCOMPARE(combo.currentIndex(), 2);
        QCOMPARE(changed.count(), 0);
    }

    void listSelectionIsLeftAlone() {
        QListWidget list;
        AddSorted(&list, QStringLiteral("Music"), 1);
        QCOMPARE(list.currentRow(), -1);
        list.setCurrentRow(0);
        AddSorted(&list, QStringLiteral("Art"), 2);
        QCOMPARE(list.currentItem()->text(), QStringLiteral("Music"));
        QCOMPARE(list.currentRow(), 1);
    }

    void entryDataOutsideTheListIsZero() {
        QListWidget list;
        QComboBox combo;
        AddSorted(&list, QStringLiteral("a"), 7);
        AddSorted(&combo, QStringLiteral("a"), 7);
        for (int index : {-1, 1}) {
            QCOMPARE(EntryData(&list, index), 0);
            QCOMPARE(EntryData(&combo, index), 0);
        }
    }
};

QTEST_MAIN(tst_SortedList)
#include "tst_sortedlist.moc"

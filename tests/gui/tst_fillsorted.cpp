// Filling a whole sorted list in one go gives the order that adding the
// entries one by one gives.

#include "screens/sortedlist.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using screens::SortedEntry;

class tst_FillSorted : public QObject {
    Q_OBJECT
private slots:
    void sameOrderAsAddingOneByOne_data();
    void sameOrderAsAddingOneByOne();
    void replacesContentWithoutSelectionOrSignals();
};

void tst_FillSorted::sameOrderAsAddingOneByOne_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("letters") << QStringList{"b.org", "a.org", "c.org"};
    QTest::newRow("letter case") << QStringList{"Beta", "alpha", "beta", "Alpha", "BETA"};
    QTest::newRow("equal texts keep their order") << QStringList{"x", "a", "x", "x", "a"};
    QTest::newRow("digits and punctuation")
        << QStringList{"http://b", "10.org", "9.org", "~a", "%7Ea", "http://a"};
    QTest::newRow("empty") << QStringList{};
}

void tst_FillSorted::sameOrderAsAddingOneByOne() {
    QFETCH(QStringList, texts);
    QList<SortedEntry> entries;
    QListWidget oneByOne;
    QComboBox comboOneByOne;
    for (int i = 0; i < texts.size(); ++i) {
        entries.append(SortedEntry{texts[i], i + 1});
        screens::AddSorted(&oneByOne, texts[i], i + 1);
        screens::AddSorted(&comboOneByOne, texts[i], i + 1);
    }
    QListWidget list;
    QComboBox combo;
    screens::FillSorted(&list, entries);
    screens::FillSorted(&combo, entries);
    QCOMPARE(list.count(), texts.size());
    QCOMPARE(combo.count(), texts.size());
    for (int row = 0; row < texts.size(); ++row) {
        QCOMPARE(list.item(row)->text(), oneByOne.item(row)->text());
        QCOMPARE(screens::EntryData(&list, row), screens::EntryData(&oneByOne, row));
        QCOMPARE(combo.itemText(row), comboOneByOne.itemText(row));
        QCOMPARE(screens::EntryData(&combo, row), screens::EntryData(&comboOneByOne, row));
    }
}

void tst_FillSorted::replacesContentWithoutSelectionOrSignals() {
    QListWidget list;
    QComboBox combo;
    screens::AddSorted(&list, QStringLiteral("old"), 9);
    screens::AddSorted(&combo, QStringLiteral("old"), 9);
    list.setCurrentRow(0);
    combo.setCurrentIndex(0);
    QSignalSpy listSpy(&list, &QListWidget::itemSelectionChanged);
    QSignalSpy rowSpy(&list, &QListWidget::currentRowChanged);
    QSignalSpy comboSpy(&combo, &QComboBox::currentIndexChanged);
    const QList<SortedEntry> entries{{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}};
    screens::FillSorted(&list, entries);
    screens::FillSorted(&combo, entries);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.item(0)->text(), QStringLiteral("a"));
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(list.selectedItems().size(), 0);
    QCOMPARE(combo.count(), 2);
    QCOMPARE(combo.itemText(0), QStringLiteral("a"));
    QCOMPARE(combo.currentIndex(), -1);
    QCOMPARE(listSpy.count(), 0);
    QCOMPARE(rowSpy.count(), 0);
    QCOMPARE(comboSpy.count(), 0);
}

QTEST_MAIN(tst_FillSorted)
#include "tst_fillsorted.moc"

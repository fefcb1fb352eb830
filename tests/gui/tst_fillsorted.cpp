// Filling a whole sorted list in one go gives the order that adding the
// entries one by one gives.

#include "screens/dropdownlist.h"
#include "screens/listbox.h"
#include "userdata/sortedlist.h"

#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

using modMain::SortedEntry;
using modMain::SortedListModel;
using screens::DropDownList;
using screens::ListBox;

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
    QTest::newRow("shared beginnings")
        << QStringList{"http://B.org",   "http://a.org", "http://b.org", "HTTP://A.ORG",
                       "http://a.org/x", "http://",      "http://a.or"};
    QTest::newRow("equal for eight characters after the shared beginning")
        << QStringList{"prefix-12345678-b", "prefix-12345678-a", "PREFIX-12345678-A",
                       "prefix-12345678", "prefix-12345679"};
    QTest::newRow("beyond plain ASCII")
        << QStringList{"\u00e9bc", "\u00c9bc", "eb", "abc", "\u00e9", "Z\u00fc", "z"};
    QTest::newRow("one entry") << QStringList{"only"};
    QTest::newRow("empty") << QStringList{};
}

void tst_FillSorted::sameOrderAsAddingOneByOne() {
    QFETCH(QStringList, texts);
    QList<SortedEntry> entries;
    SortedListModel oneByOne;
    for (int i = 0; i < texts.size(); ++i) {
        entries.append(SortedEntry{texts[i], i + 1});
        oneByOne.insertSorted(texts[i], i + 1);
    }
    SortedListModel filled;
    ListBox list;
    list.setEntries(filled.addFace());
    DropDownList combo;
    combo.setEntries(filled.addFace());
    filled.replaceAll(entries);
    QCOMPARE(filled.count(), texts.size());
    QCOMPARE(list.count(), texts.size());
    QCOMPARE(combo.count(), texts.size());
    for (int row = 0; row < texts.size(); ++row) {
        QCOMPARE(filled.textAt(row), oneByOne.textAt(row));
        QCOMPARE(filled.numberAt(row), oneByOne.numberAt(row));
        QCOMPARE(list.model()->index(row, 0).data().toString(), oneByOne.textAt(row));
        QCOMPARE(combo.itemText(row), oneByOne.textAt(row));
        QCOMPARE(combo.itemData(row).toInt(), oneByOne.numberAt(row));
    }
}

void tst_FillSorted::replacesContentWithoutSelectionOrSignals() {
    SortedListModel model;
    ListBox list;
    list.setEntries(model.addFace());
    DropDownList combo;
    combo.setEntries(model.addFace());
    model.insertSorted(QStringLiteral("old"), 9);
    list.setCurrentRow(0);
    combo.setCurrentIndex(0);
    QSignalSpy listSpy(&list, &ListBox::choiceChanged);
    QSignalSpy rowSpy(list.selectionModel(), &QItemSelectionModel::currentChanged);
    QSignalSpy comboSpy(&combo, &QComboBox::currentIndexChanged);
    model.replaceAll({{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}});
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.model()->index(0, 0).data().toString(), QStringLiteral("a"));
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(list.selectedRow(), -1);
    QCOMPARE(combo.count(), 2);
    QCOMPARE(combo.itemText(0), QStringLiteral("a"));
    QCOMPARE(combo.currentIndex(), -1);
    QCOMPARE(listSpy.count(), 0);
    QCOMPARE(rowSpy.count(), 0);
    QCOMPARE(comboSpy.count(), 0);
}

QTEST_MAIN(tst_FillSorted)
#include "tst_fillsorted.moc"

// Lists changed by entry number, lists that show one model, and the set-up
// that keeps long lists quick: what each list holds and has chosen afterwards,
// and that nothing is reported as a choice of the user.

#include "guitest.h"

#include "screens/sortedlist.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QStyleOption>
#include <QTest>

#include <memory>

using screens::SortedEntry;

namespace {

// "text=number" for every entry, in list order.
QStringList shown(const QList<SortedEntry> &entries) {
    QStringList out;
    for (const SortedEntry &e : entries)
        out << QStringLiteral("%1=%2").arg(e.text).arg(e.number);
    return out;
}

QStringList shown(const QListWidget *list) {
    return shown(screens::Entries(list));
}

QStringList shown(const QComboBox *combo) {
    return shown(screens::Entries(combo));
}

QString chosen(const QComboBox *combo) {
    return combo->currentIndex() < 0 ? QStringLiteral("<none>") : combo->currentText();
}

QString selected(const QListWidget *list) {
    const int row = screens::SelectedRow(list);
    return row < 0 ? QStringLiteral("<none>") : list->item(row)->text();
}

// A list box and two drop-down lists set up as the main window's category
// lists are: each made a sorted list, both boxes showing the list's entries.
struct SharedLists {
    QListWidget list;
    QComboBox first;
    QComboBox second;
    SharedLists() {
        screens::MakeSortedList(&list);
        screens::MakeSortedList(&first);
        screens::MakeSortedList(&second);
        screens::ShareEntries(&list, {&first, &second});
    }
    void fill() {
        screens::FillSorted(
            &list,
            {{QStringLiteral("Work"), 1}, {QStringLiteral("Home"), 2}, {QStringLiteral("Fun"), 3}});
    }
};

} // namespace

class tst_ListNumbers : public QObject {
    Q_OBJECT
private slots:
    void sharedListsHoldOneSetOfEntries();
    void addingToAnEmptySharedListChoosesNothing();
    void removeNumber_data();
    void removeNumber();
    void removeNumberThatIsNotThere();
    void renameNumber_data();
    void renameNumber();
    void dropDownListOfItsOwn();
    void dropDownByKeyboard();
    void mainWindowLists();
};

void tst_ListNumbers::sharedListsHoldOneSetOfEntries() {
    SharedLists s;
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);
    s.first.addItem(QStringLiteral("old"), 9);
    s.second.setCurrentIndex(0);
    firstSpy.clear();
    secondSpy.clear();

    // Filled through a drop-down list: the list box and the other one show it.
    screens::FillSorted(&s.second, {{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}});
    const QStringList expected{"a=1", "b=2"};
    QCOMPARE(shown(&s.list), expected);
    QCOMPARE(shown(&s.first), expected);
    QCOMPARE(shown(&s.second), expected);
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("<none>"));
    QCOMPARE(selected(&s.list), QStringLiteral("<none>"));
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);
}

void tst_ListNumbers::addingToAnEmptySharedListChoosesNothing() {
    SharedLists s;
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);

    QCOMPARE(screens::AddSorted(&s.list, QStringLiteral("News"), 4), 0);
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("<none>"));

    // A choice in one box stays on its entry when another goes in before it.
    s.second.setCurrentIndex(0);
    secondSpy.clear();
    QCOMPARE(screens::AddSorted(&s.first, QStringLiteral("Art"), 5), 0);
    QCOMPARE(shown(&s.list), (QStringList{"Art=5", "News=4"}));
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("News"));
    QCOMPARE(s.second.currentIndex(), 1);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);
}

void tst_ListNumbers::removeNumber_data() {
    QTest::addColumn<QString>("through"); // the list the removal is asked of
    QTest::newRow("through the list box") << "list";
    QTest::newRow("through a drop-down list") << "first";
}

void tst_ListNumbers::removeNumber() {
    QFETCH(QString, through);
    SharedLists s;
    s.fill();
    s.first.setCurrentIndex(screens::FindEntry(&s.first, 2));   // Home
    s.second.setCurrentIndex(screens::FindEntry(&s.second, 1)); // Work
    s.list.item(screens::FindEntry(&s.list, 2))->setSelected(true);
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);

    bool wasChosen = false;
    const int removed = through == QLatin1String("list")
                            ? screens::RemoveNumber(&s.list, 2, &wasChosen)
                            : screens::RemoveNumber(&s.first, 2, &wasChosen);
    QCOMPARE(removed, 1);
    QVERIFY(wasChosen);
    const QStringList expected{"Fun=3", "Work=1"};
    QCOMPARE(shown(&s.list), expected);
    QCOMPARE(shown(&s.first), expected);
    QCOMPARE(shown(&s.second), expected);
    // The lists that had chosen "Home" have no choice; "Work" stays chosen.
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(selected(&s.list), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("Work"));
    QCOMPARE(s.second.currentIndex(), 1);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);

    // The entry that stays chosen does not count as a lost choice.
    QCOMPARE(screens::RemoveNumber(&s.second, 3, &wasChosen), 1);
    QVERIFY(!wasChosen);
    QCOMPARE(chosen(&s.second), QStringLiteral("Work"));
    QCOMPARE(shown(&s.first), QStringList{"Work=1"});
}

void tst_ListNumbers::removeNumberThatIsNotThere() {
    SharedLists s;
    s.fill();
    s.first.setCurrentIndex(0);
    bool wasChosen = true;
    QCOMPARE(screens::RemoveNumber(&s.first, 7, &wasChosen), 0);
    QVERIFY(!wasChosen);
    QCOMPARE(shown(&s.list), (QStringList{"Fun=3", "Home=2", "Work=1"}));
    QCOMPARE(chosen(&s.first), QStringLiteral("Fun"));
}

void tst_ListNumbers::renameNumber_data() {
    QTest::addColumn<QString>("through");
    QTest::newRow("through the list box") << "list";
    QTest::newRow("through a drop-down list") << "second";
}

void tst_ListNumbers::renameNumber() {
    QFETCH(QString, through);
    SharedLists s;
    s.fill();
    s.first.setCurrentIndex(screens::FindEntry(&s.first, 3));   // Fun
    s.second.setCurrentIndex(screens::FindEntry(&s.second, 1)); // Work
    s.list.item(screens::FindEntry(&s.list, 3))->setSelected(true);
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);

    if (through == QLatin1String("list"))
        screens::RenameNumber(&s.list, 3, QStringLiteral("Trips"));
    else
        screens::RenameNumber(&s.second, 3, QStringLiteral("Trips"));

    const QStringList expected{"Home=2", "Trips=3", "Work=1"};
    QCOMPARE(shown(&s.list), expected);
    QCOMPARE(shown(&s.first), expected);
    QCOMPARE(shown(&s.second), expected);
    // Chosen again under its new name wherever it was chosen.
    QCOMPARE(chosen(&s.first), QStringLiteral("Trips"));
    QCOMPARE(selected(&s.list), QStringLiteral("Trips"));
    QCOMPARE(chosen(&s.second), QStringLiteral("Work"));
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);
}

void tst_ListNumbers::dropDownListOfItsOwn() {
    QComboBox combo;
    screens::MakeSortedList(&combo);
    QSignalSpy spy(&combo, &QComboBox::currentIndexChanged);
    QCOMPARE(screens::AddSorted(&combo, QStringLiteral("b.org"), 2), 0);
    QCOMPARE(screens::AddSorted(&combo, QStringLiteral("a.org"), 1), 0);
    QCOMPARE(chosen(&combo), QStringLiteral("<none>"));
    combo.addItem(QStringLiteral("c.org")); // an entry given no number has 0
    QCOMPARE(shown(&combo), (QStringList{"a.org=1", "b.org=2", "c.org=0"}));
    QCOMPARE(combo.findText(QStringLiteral("b.org")), 1);

    combo.setCurrentIndex(1);
    spy.clear();
    screens::RenameNumber(&combo, 2, QStringLiteral("0.org"));
    QCOMPARE(shown(&combo), (QStringList{"0.org=2", "a.org=1", "c.org=0"}));
    QCOMPARE(chosen(&combo), QStringLiteral("0.org"));
    bool wasChosen = false;
    QCOMPARE(screens::RemoveNumber(&combo, 2, &wasChosen), 1);
    QVERIFY(wasChosen);
    QCOMPARE(chosen(&combo), QStringLiteral("<none>"));
    QCOMPARE(spy.count(), 0);

    screens::FillSorted(&combo, {{QStringLiteral("y"), 8}, {QStringLiteral("x"), 7}});
    QCOMPARE(shown(&combo), (QStringList{"x=7", "y=8"}));
    QCOMPARE(chosen(&combo), QStringLiteral("<none>"));
    QCOMPARE(spy.count(), 0);
}

void tst_ListNumbers::dropDownByKeyboard() {
    // Opened, moved through and closed by keys as any drop-down list is.
    QWidget window;
    auto *combo = new QComboBox(&window);
    screens::MakeSortedList(combo);
    screens::FillSorted(
        combo,
        {{QStringLiteral("Art"), 1}, {QStringLiteral("Music"), 2}, {QStringLiteral("News"), 3}});
    combo->setCurrentIndex(0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    combo->setFocus();
    QSignalSpy spy(combo, &QComboBox::currentIndexChanged);

    QTest::keyClick(combo, Qt::Key_Down); // closed: the next entry
    QCOMPARE(chosen(combo), QStringLiteral("Music"));
    QTest::keyClick(combo, Qt::Key_N); // typing picks by first letter
    QCOMPARE(chosen(combo), QStringLiteral("News"));

    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier); // opens the list
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Home);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QTRY_VERIFY(!combo->view()->isVisible());
    QCOMPARE(chosen(combo), QStringLiteral("Art"));
    QCOMPARE(spy.count(), 3);
}

void tst_ListNumbers::mainWindowLists() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    // Three of the category lists show one model; cmbCatDel has its own.
    QCOMPARE(main.cmbCatMod->model(), main.lstCatView->model());
    QCOMPARE(main.cmbUrlCat->model(), main.lstCatView->model());
    QVERIFY(main.cmbCatDel->model() != main.lstCatView->model());
    QVERIFY(main.cmbUrlDel->model() != main.cmbUrlMod->model());
    // Long lists measure one row, and drop-down lists open below their box.
    for (const QListWidget *list : {main.lstCatView, main.lstUrlView})
        QVERIFY2(list->uniformItemSizes(), qPrintable(list->objectName()));
    for (QComboBox *combo :
         {main.cmbUrlCat, main.cmbCatDel, main.cmbCatMod, main.cmbUrlDel, main.cmbUrlMod}) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        QVERIFY2(!combo->style()->styleHint(QStyle::SH_ComboBox_Popup, &option, combo),
                 qPrintable(combo->objectName()));
    }
}

QTEST_MAIN(tst_ListNumbers)
#include "tst_listnumbers.moc"

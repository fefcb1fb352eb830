// Sorted models changed by entry number and the lists that show them: what
// each list holds and has chosen afterwards, that nothing is reported as a
// choice of the user, and the set-up that keeps long lists quick.

#include "guitest.h"

#include "screens/dropdownlist.h"
#include "screens/listbox.h"
#include "userdata/sortedlist.h"

#include <QAbstractItemView>
#include <QListView>
#include <QSignalSpy>
#include <QStyleOption>
#include <QTest>

#include <memory>

using modMain::ListFace;
using modMain::SortedListModel;
using screens::DropDownList;
using screens::ListBox;

namespace {

QString chosen(const QComboBox *combo) {
    return combo->currentIndex() < 0 ? QStringLiteral("<none>") : combo->currentText();
}

QString selected(const ListBox *list) {
    const int row = list->selectedRow();
    return row < 0 ? QStringLiteral("<none>") : list->entries()->textAt(row);
}

// A list box and two drop-down lists set up as the main window's category
// lists are: all three showing one face of a model.
struct SharedLists {
    SortedListModel model;
    ListBox list;
    DropDownList first;
    DropDownList second;
    SharedLists() {
        ListFace *face = model.addFace();
        list.setEntries(face);
        first.setEntries(face);
        second.setEntries(face);
    }
    void fill() {
        model.replaceAll(
            {{QStringLiteral("Work"), 1}, {QStringLiteral("Home"), 2}, {QStringLiteral("Fun"), 3}});
    }
    QStringList shownEverywhere() const {
        const QStringList inList = ListedEntries(&list);
        if (ListedEntries(&first) != inList || ListedEntries(&second) != inList)
            return {QStringLiteral("<lists out of step>")};
        return inList;
    }
};

} // namespace

class tst_ListNumbers : public QObject {
    Q_OBJECT
private slots:
    void sharedListsHoldOneSetOfEntries();
    void addingToAnEmptySharedListChoosesNothing();
    void removeNumber();
    void removeNumberThatIsNotThere();
    void removeTheFirstOfANumber();
    void renameNumber();
    void renameKeepsTheListChoiceAndItsNeighbours();
    void renameEveryEntryOfANumber();
    void dropDownListOfItsOwn();
    void dropDownByKeyboard();
    void faceThatShowsNothing();
    void faceThatShowsOnlyLaterEntries();
    void dropDownListMakesItsListWhenItOpens();
    void mainWindowLists();
};

void tst_ListNumbers::sharedListsHoldOneSetOfEntries() {
    SharedLists s;
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);
    s.model.insertSorted(QStringLiteral("old"), 9);
    s.second.setCurrentIndex(0);
    s.list.setCurrentRow(0);
    firstSpy.clear();
    secondSpy.clear();

    s.model.replaceAll({{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}});
    QCOMPARE(s.shownEverywhere(), (QStringList{"a=1", "b=2"}));
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

    QCOMPARE(s.model.insertSorted(QStringLiteral("News"), 4), 0);
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("<none>"));
    QCOMPARE(selected(&s.list), QStringLiteral("<none>"));

    // A choice in one box stays on its entry when another goes in before it.
    s.second.setCurrentIndex(0);
    secondSpy.clear();
    QCOMPARE(s.model.insertSorted(QStringLiteral("Art"), 5), 0);
    QCOMPARE(s.shownEverywhere(), (QStringList{"Art=5", "News=4"}));
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("News"));
    QCOMPARE(s.second.currentIndex(), 1);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);
}

void tst_ListNumbers::removeNumber() {
    SharedLists s;
    s.fill();
    s.first.setCurrentIndex(s.first.entries()->rowOfNumber(2));   // Home
    s.second.setCurrentIndex(s.second.entries()->rowOfNumber(1)); // Work
    s.list.setCurrentRow(s.list.entries()->rowOfNumber(2));
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);

    QCOMPARE(s.model.removeNumber(2), 1);
    QCOMPARE(s.shownEverywhere(), (QStringList{"Fun=3", "Work=1"}));
    // The lists that had chosen "Home" have no choice; "Work" stays chosen.
    QCOMPARE(chosen(&s.first), QStringLiteral("<none>"));
    QCOMPARE(selected(&s.list), QStringLiteral("<none>"));
    QCOMPARE(chosen(&s.second), QStringLiteral("Work"));
    QCOMPARE(s.second.currentIndex(), 1);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);

    // The entry that stays chosen does not lose its choice.
    QCOMPARE(s.model.removeNumber(3), 1);
    QCOMPARE(chosen(&s.second), QStringLiteral("Work"));
    QCOMPARE(s.second.currentIndex(), 0);
    QCOMPARE(s.shownEverywhere(), QStringList{"Work=1"});
    QCOMPARE(secondSpy.count(), 0);
}

void tst_ListNumbers::removeNumberThatIsNotThere() {
    SharedLists s;
    s.fill();
    s.first.setCurrentIndex(0);
    QCOMPARE(s.model.removeNumber(7), 0);
    QCOMPARE(s.shownEverywhere(), (QStringList{"Fun=3", "Home=2", "Work=1"}));
    QCOMPARE(chosen(&s.first), QStringLiteral("Fun"));
}

void tst_ListNumbers::removeTheFirstOfANumber() {
    // Two entries of one number (only a damaged file has that): removing at
    // most one takes the first in list order, removing all takes both.
    SharedLists s;
    s.model.replaceAll(
        {{QStringLiteral("b"), 5}, {QStringLiteral("a"), 5}, {QStringLiteral("c"), 6}});
    QCOMPARE(s.model.removeNumber(5, 1), 1);
    QCOMPARE(s.shownEverywhere(), (QStringList{"b=5", "c=6"}));
    QCOMPARE(s.model.insertSorted(QStringLiteral("a"), 5), 0);
    QCOMPARE(s.model.removeNumber(5), 2);
    QCOMPARE(s.shownEverywhere(), QStringList{"c=6"});
}

void tst_ListNumbers::renameNumber() {
    SharedLists s;
    s.fill();
    s.first.setCurrentIndex(s.first.entries()->rowOfNumber(3));   // Fun
    s.second.setCurrentIndex(s.second.entries()->rowOfNumber(1)); // Work
    s.list.setCurrentRow(s.list.entries()->rowOfNumber(3));
    QSignalSpy firstSpy(&s.first, &QComboBox::currentIndexChanged);
    QSignalSpy firstTextSpy(&s.first, &QComboBox::currentTextChanged);
    QSignalSpy secondSpy(&s.second, &QComboBox::currentIndexChanged);
    QSignalSpy listSpy(&s.list, &ListBox::choiceChanged);

    QCOMPARE(s.model.renameNumber(3, QStringLiteral("Trips")), 1);

    QCOMPARE(s.shownEverywhere(), (QStringList{"Home=2", "Trips=3", "Work=1"}));
    // Chosen again under its new name wherever it was chosen.
    QCOMPARE(chosen(&s.first), QStringLiteral("Trips"));
    QCOMPARE(s.first.currentIndex(), 1);
    QCOMPARE(selected(&s.list), QStringLiteral("Trips"));
    QCOMPARE(chosen(&s.second), QStringLiteral("Work"));
    QCOMPARE(s.second.currentIndex(), 2);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(firstTextSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 0);
    QCOMPARE(listSpy.count(), 0);

    QCOMPARE(s.model.renameNumber(8, QStringLiteral("Nowhere")), 0);
    QCOMPARE(s.shownEverywhere(), (QStringList{"Home=2", "Trips=3", "Work=1"}));
}

void tst_ListNumbers::renameKeepsTheListChoiceAndItsNeighbours() {
    // Renamed to a text equal to others, the entry goes after them, and the
    // list box keeps both its chosen and its current entry on their entries.
    SharedLists s;
    s.model.replaceAll({{QStringLiteral("a"), 1},
                        {QStringLiteral("m"), 2},
                        {QStringLiteral("m"), 3},
                        {QStringLiteral("z"), 4}});
    s.list.setCurrentRow(0);
    s.second.setCurrentIndex(3); // z
    QCOMPARE(s.model.renameNumber(1, QStringLiteral("m")), 1);
    QCOMPARE(s.shownEverywhere(), (QStringList{"m=2", "m=3", "m=1", "z=4"}));
    QCOMPARE(s.list.selectedRow(), 2);
    QCOMPARE(s.list.currentRow(), 2);
    QCOMPARE(s.second.chosenNumber(), 4);
}

void tst_ListNumbers::renameEveryEntryOfANumber() {
    // The file's every record of a number gets the new name: so does every
    // entry of it.
    SharedLists s;
    s.model.replaceAll(
        {{QStringLiteral("b"), 5}, {QStringLiteral("d"), 5}, {QStringLiteral("c"), 6}});
    s.first.setCurrentIndex(2); // d
    QCOMPARE(s.model.renameNumber(5, QStringLiteral("a")), 2);
    QCOMPARE(s.shownEverywhere(), (QStringList{"a=5", "a=5", "c=6"}));
    QCOMPARE(s.first.currentIndex(), 1);
}

void tst_ListNumbers::dropDownListOfItsOwn() {
    SortedListModel model;
    DropDownList combo;
    combo.setEntries(model.addFace());
    QSignalSpy spy(&combo, &QComboBox::currentIndexChanged);
    QCOMPARE(model.insertSorted(QStringLiteral("b.org"), 2), 0);
    QCOMPARE(model.insertSorted(QStringLiteral("a.org"), 1), 0);
    QCOMPARE(chosen(&combo), QStringLiteral("<none>"));
    model.insertSorted(QStringLiteral("c.org"), 0); // a damaged record's entry has 0
    QCOMPARE(ListedEntries(&combo), (QStringList{"a.org=1", "b.org=2", "c.org=0"}));
    QCOMPARE(combo.findText(QStringLiteral("b.org")), 1);

    combo.setCurrentIndex(1);
    spy.clear();
    model.renameNumber(2, QStringLiteral("0.org"));
    QCOMPARE(ListedEntries(&combo), (QStringList{"0.org=2", "a.org=1", "c.org=0"}));
    QCOMPARE(chosen(&combo), QStringLiteral("0.org"));
    QCOMPARE(model.removeNumber(2), 1);
    QCOMPARE(chosen(&combo), QStringLiteral("<none>"));
    QCOMPARE(spy.count(), 0);

    model.replaceAll({{QStringLiteral("y"), 8}, {QStringLiteral("x"), 7}});
    QCOMPARE(ListedEntries(&combo), (QStringList{"x=7", "y=8"}));
    QCOMPARE(chosen(&combo), QStringLiteral("<none>"));
    QCOMPARE(spy.count(), 0);
}

void tst_ListNumbers::dropDownByKeyboard() {
    // Opened, moved through and closed by keys as any drop-down list is.
    QWidget window;
    SortedListModel model;
    auto *combo = new DropDownList(&window);
    combo->setEntries(model.addFace());
    model.replaceAll(
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

void tst_ListNumbers::faceThatShowsNothing() {
    // A list that shows none of the entries gains none until it shows them
    // all again; the other lists of the model go on as before.
    SortedListModel model;
    ListBox list;
    list.setEntries(model.addFace());
    DropDownList combo;
    ListFace *comboFace = model.addFace();
    combo.setEntries(comboFace);
    model.replaceAll({{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}});
    combo.setCurrentIndex(1);
    comboFace->showNone();
    QCOMPARE(combo.count(), 0);
    QCOMPARE(combo.currentIndex(), -1);
    model.insertSorted(QStringLiteral("c"), 3);
    model.renameNumber(1, QStringLiteral("d"));
    model.removeNumber(2);
    QCOMPARE(combo.count(), 0);
    QCOMPARE(ListedEntries(&list), (QStringList{"c=3", "d=1"}));
    comboFace->showEvery();
    QCOMPARE(ListedEntries(&combo), (QStringList{"c=3", "d=1"}));
    QCOMPARE(combo.currentIndex(), -1);
}

void tst_ListNumbers::faceThatShowsOnlyLaterEntries() {
    // The three category lists after the owner message: none of the entries
    // loaded, every one added since, in its order among them.
    SortedListModel model;
    DropDownList all;
    all.setEntries(model.addFace());
    struct {
        ListBox list;
        DropDownList first;
        DropDownList second;
        QStringList shownEverywhere() const {
            const QStringList inList = ListedEntries(&list);
            if (ListedEntries(&first) != inList || ListedEntries(&second) != inList)
                return {QStringLiteral("<lists out of step>")};
            return inList;
        }
    } later;
    ListFace *face = model.addFace();
    later.list.setEntries(face);
    later.first.setEntries(face);
    later.second.setEntries(face);
    face->showOnlyLater();
    model.replaceAll({{QStringLiteral("b"), 2}, {QStringLiteral("d"), 4}});
    QCOMPARE(later.shownEverywhere(), QStringList());

    QCOMPARE(model.insertSorted(QStringLiteral("e"), 5), 2);
    QCOMPARE(model.insertSorted(QStringLiteral("a"), 6), 0);
    QCOMPARE(ListedEntries(&all), (QStringList{"a=6", "b=2", "d=4", "e=5"}));
    QCOMPARE(later.shownEverywhere(), (QStringList{"a=6", "e=5"}));
    QCOMPARE(face->faceRow(3), 1);
    QCOMPARE(face->faceRow(1), -1);
    QCOMPARE(face->modelRow(1), 3);

    later.first.setCurrentIndex(1); // e
    later.list.setCurrentRow(0);    // a
    QCOMPARE(model.renameNumber(5, QStringLiteral("0")), 1);
    QCOMPARE(later.shownEverywhere(), (QStringList{"0=5", "a=6"}));
    QCOMPARE(later.first.currentText(), QStringLiteral("0"));
    QCOMPARE(selected(&later.list), QStringLiteral("a"));
    // An entry held back changes nowhere but in the list that shows it.
    QCOMPARE(model.renameNumber(2, QStringLiteral("z")), 1);
    QCOMPARE(later.shownEverywhere(), (QStringList{"0=5", "a=6"}));
    QCOMPARE(ListedEntries(&all), (QStringList{"0=5", "a=6", "d=4", "z=2"}));
    QCOMPARE(model.removeNumber(6), 1);
    QCOMPARE(later.shownEverywhere(), QStringList{"0=5"});
    QCOMPARE(selected(&later.list), QStringLiteral("<none>"));
    QCOMPARE(later.first.currentText(), QStringLiteral("0"));

    face->showEvery();
    QCOMPARE(later.shownEverywhere(), (QStringList{"0=5", "d=4", "z=2"}));
}

void tst_ListNumbers::dropDownListMakesItsListWhenItOpens() {
    QWidget window;
    auto *combo = new DropDownList(&window);
    SortedListModel model;
    combo->setEntries(model.addFace());
    model.replaceAll({{QStringLiteral("x"), 1}});
    combo->setCurrentIndex(0);
    QAbstractItemView *made = nullptr;
    combo->whenViewMade([&made](QAbstractItemView *view) { made = view; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Shown and chosen, the box has not made its list yet.
    QVERIFY(!made);
    QVERIFY(combo->findChildren<QAbstractItemView *>().isEmpty());
    combo->showPopup();
    QTRY_VERIFY(made && made->isVisible());
    QCOMPARE(made, combo->view());
    QVERIFY(qobject_cast<QListView *>(made)->uniformItemSizes());
    combo->hidePopup();
}

void tst_ListNumbers::mainWindowLists() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    // Three of the category lists show one face of the categories; cmbCatDel
    // shows another face of them. Each URL list shows a face of its own.
    QCOMPARE(main.cmbCatMod->model(), main.lstCatView->model());
    QCOMPARE(main.cmbUrlCat->model(), main.lstCatView->model());
    QCOMPARE(main.lstCatView->entries(), main.CategoriesShown);
    QVERIFY(main.cmbCatDel->model() != main.lstCatView->model());
    QCOMPARE(main.cmbCatDel->entries()->family(), main.CategoryModel);
    QCOMPARE(main.CategoriesShown->family(), main.CategoryModel);
    for (const ListFace *face :
         {main.lstUrlView->entries(), main.cmbUrlDel->entries(), main.cmbUrlMod->entries()})
        QCOMPARE(face->family(), main.UrlModel);
    QVERIFY(main.cmbUrlDel->model() != main.cmbUrlMod->model());
    QVERIFY(main.cmbUrlDel->model() != main.lstUrlView->model());
    // Long lists measure one row, and drop-down lists open below their box.
    for (const ListBox *list : QList<const ListBox *>{main.lstCatView, main.lstUrlView})
        QVERIFY2(list->uniformItemSizes(), qPrintable(list->objectName()));
    for (DropDownList *combo : QList<DropDownList *>{main.cmbUrlCat, main.cmbCatDel, main.cmbCatMod,
                                                     main.cmbUrlDel, main.cmbUrlMod}) {
        // The lists they open are made when they first open (showPopup
        // prepares the view first).
        QVERIFY2(combo->findChildren<QAbstractItemView *>().isEmpty(),
                 qPrintable(combo->objectName()));
        combo->prepareView();
        QStyleOptionComboBox option;
        option.initFrom(combo);
        QVERIFY2(!combo->style()->styleHint(QStyle::SH_ComboBox_Popup, &option, combo),
                 qPrintable(combo->objectName()));
        QVERIFY2(qobject_cast<QListView *>(combo->view())->uniformItemSizes(),
                 qPrintable(combo->objectName()));
    }
}

QTEST_MAIN(tst_ListNumbers)
#include "tst_listnumbers.moc"

// The category screens through the real main window: the Categories menu,
// adding, deleting and renaming categories, and the four category lists.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "screens/msgbox.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <cerrno>

using screens::MsgAnswer;
using screens::MsgBox;

namespace {

const QString kMenuStatus =
    QStringLiteral("What would you like to do? Add, Delete or Modify a Category?");
const QString kImposter =
    QStringLiteral("               Imposter! These Category Files don't seem to belong to "
                   "you!\r\n\r\nPlease refer to the readme file for more details.");
const QString kUrlMenuStatus =
    QStringLiteral("What would you like to do? Add, Delete or Modify a URL?");
const QString kUrlImposter =
    QStringLiteral("               Imposter! These files don't seem to belong to you.\r\n\r\n"
                   "          Please refer the readme.txt file for more information.");
const QString kAddTaken =
    QStringLiteral("There already exists a Category by that name, please choose another name.");
const QString kModTaken =
    QStringLiteral("There already exists a Category by that name...Please choose another.");

using Categories = QList<TestCategory>;

QString indexPath(GuiTestEnv &env) {
    return env.path(QStringLiteral("USR1/CAT.DAT"));
}

QString focusName(frmMain &main) {
    return main.focusWidget() ? main.focusWidget()->objectName() : QString();
}

// The one panel of the category screens that shows, or "" for none.
QString shownPanel(frmMain &main) {
    for (QWidget *w :
         {static_cast<QWidget *>(main.fraCatView), static_cast<QWidget *>(main.pctCatAdd),
          static_cast<QWidget *>(main.pctCatDel), static_cast<QWidget *>(main.pctCatMod)}) {
        if (w->isVisible())
            return w->objectName();
    }
    return QString();
}

// The four lists hold the same entries.
bool listsInStep(frmMain &main, const QStringList &expected) {
    return ListedEntries(main.lstCatView) == expected &&
           ListedEntries(main.cmbCatDel) == expected && ListedEntries(main.cmbCatMod) == expected &&
           ListedEntries(main.cmbUrlCat) == expected;
}

const Categories kThree{{"Work", 1}, {"Home", 2}, {"Fun", 3}};
const QStringList kThreeListed{"Fun=3", "Home=2", "Work=1"};

} // namespace

class CategoriesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MsgBox::reset(); }

    // ---- Loading at sign-in ----

    void loadAtSignIn_data() {
        QTest::addColumn<Categories>("index");
        QTest::addColumn<QStringList>("deletable"); // cmbCatDel
        QTest::addColumn<QStringList>("others");    // the other three lists
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("imposter");

        QTest::newRow("three owned")
            << kThree << kThreeListed << kThreeListed << "3 Existing Categories are : " << false;
        QTest::newRow("first foreign")
            << Categories{{"Work", 1, true}, {"Home", 2}, {"Fun", 3}}
            << QStringList{"Fun=3", "Home=2"} << QStringList{"Fun=3", "Home=2"}
            << "2 Existing Categories are : " << false;
        QTest::newRow("last foreign") << Categories{{"Work", 1}, {"Home", 2}, {"Fun", 3, true}}
                                      << QStringList{"Home=2", "Work=1"} << QStringList()
                                      << "2 Existing Categories are : " << true;
        QTest::newRow("all foreign")
            << Categories{{"Work", 1, true}, {"Home", 2, true}} << QStringList() << QStringList()
            << "0 Existing Categories are : " << true;
        QTest::newRow("no index") << Categories() << QStringList() << QStringList()
                                  << "Existing Categories are : " << false;
    }

    void loadAtSignIn() {
        QFETCH(Categories, index);
        QFETCH(QStringList, deletable);
        QFETCH(QStringList, others);
        QFETCH(QString, label);
        QFETCH(bool, imposter);
        GuiTestEnv env;
        WriteUserFiles(index);
        frmMain &main = env.mainWindow();
        SignInByKeyboard(main, kTestUser, kTestPassword);
        QCOMPARE(QFileInfo::exists(indexPath(env)), true); // made when there was none

        QCOMPARE(ListedEntries(main.cmbCatDel), deletable);
        QCOMPARE(ListedEntries(main.cmbCatMod), others);
        QCOMPARE(ListedEntries(main.cmbUrlCat), others);
        QCOMPARE(ListedEntries(main.lstCatView), others);
        QCOMPARE(main.lblCatView->text(), label);
        QCOMPARE(ShownTexts().contains(kImposter), imposter);
        // The greeting comes after the category message.
        QVERIFY(ShownTexts().last().contains(QStringLiteral("Success! You are now logged into")));
    }

    // Loading fills the lists in one go; the order must be the one that
    // adding the same names one by one gives, since later adds insert into
    // these lists by that order.
    void loadOrderIsTheOneByOneOrder() {
        const QStringList names{"b",    "B",    "a",    "A",    "ab", "Ab", "a b",  "_x",
                                "Zeta", "[",    "zeta", "Same", "1",  "`",  "same", "Same",
                                "ABC",  "abc ", "ab",   "z",    "Z",  "Z_", "Za",   " lead"};
        Categories index;
        for (int i = 0; i < names.size(); ++i)
            index.append({names[i], i + 1});
        modMain::SortedListModel oneByOne;
        ListBox oneByOneList;
        oneByOneList.setEntries(oneByOne.addFace());
        for (int i = 0; i < names.size(); ++i)
            oneByOne.insertSorted(names[i], i + 1);

        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, index);
        QVERIFY(listsInStep(main, ListedEntries(&oneByOneList)));
        QCOMPARE(main.cmbCatDel->currentIndex(), -1);
        QCOMPARE(main.cmbUrlCat->currentIndex(), -1);
    }

    void loadReportsAnUnreadableIndex_data() {
        QTest::addColumn<QString>("made"); // what the user's folder holds
        QTest::newRow("a folder where the index should be") << "USR1/CAT.DAT/";
        QTest::newRow("no user folder") << "";
    }

    void loadReportsAnUnreadableIndex() {
        QFETCH(QString, made);
        GuiTestEnv env;
        AddAccount(1, kTestUser, kTestPassword);
        if (!made.isEmpty())
            QVERIFY(QDir(env.folder()).mkpath(made));
        frmMain &main = env.mainWindow();
        SignInByKeyboard(main, kTestUser, kTestPassword);
        QCOMPARE(ShownTexts().size(), 2);
        QVERIFY2(ShownTexts().first().startsWith(
                     QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: ")
                         .arg(env.path(QStringLiteral("USR1/CAT.DAT")))),
                 qPrintable(ShownTexts().first()));
        QVERIFY(listsInStep(main, {}));
        QCOMPARE(modMain::UserNo, qint16(1)); // signed in all the same
    }

    // ---- Menu moves ----

    void menuMoves_data() {
        QTest::addColumn<bool>("categories");
        QTest::addColumn<QString>("select"); // entry clicked in lstCatView first
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("chosen"); // entry chosen in the panel's list
        QTest::addColumn<QString>("message");

        const QString noDel = QStringLiteral(
            "You don't seem to have any Categories to Delete...Why don't you go Add some "
            "categories first before clicking on me again!");
        const QString noMod = QStringLiteral(
            "You don't seem to have any Categories to Modify...Why don't you go Add some "
            "categories first before clicking on me again!");

        QTest::newRow("add, no categories") << false << ""
                                            << "cmdCatViewA"
                                            << "pctCatAdd"
                                            << "Add Category Menu"
                                            << "Ready (Add Category Menu)"
                                            << "txtCatAdd"
                                            << ""
                                            << "";
        QTest::newRow("add, one selected") << true << "Home"
                                           << "cmdCatViewA"
                                           << "pctCatAdd"
                                           << "Add Category Menu"
                                           << "Ready (Add Category Menu)"
                                           << "txtCatAdd"
                                           << ""
                                           << "";
        QTest::newRow("delete, second selected") << true << "Home"
                                                 << "cmdCatViewD"
                                                 << "pctCatDel"
                                                 << "Delete Category Menu"
                                                 << "Ready (Delete Category Menu)"
                                                 << "cmbCatDel"
                                                 << "Home=2"
                                                 << "";
        QTest::newRow("delete, none selected") << true << ""
                                               << "cmdCatViewD"
                                               << "pctCatDel"
                                               << "Delete Category Menu"
                                               << "Ready (Delete Category Menu)"
                                               << "cmbCatDel"
                                               << ""
                                               << "";
        QTest::newRow("delete, no categories") << false << ""
                                               << "cmdCatViewD"
                                               << "fraCatView"
                                               << "Categories Menu" << kMenuStatus << "cmdCatViewA"
                                               << "" << noDel;
        QTest::newRow("modify, third selected") << true << "Work"
                                                << "cmdCatViewM"
                                                << "pctCatMod"
                                                << "Modify Category Menu"
                                                << "Ready (Modify Category Menu)"
                                                << "txtCatMod"
                                                << "Work=1"
                                                << "";
        QTest::newRow("modify, none selected") << true << ""
                                               << "cmdCatViewM"
                                               << "pctCatMod"
                                               << "Modify Category Menu"
                                               << "Ready (Modify Category Menu)"
                                               << "cmbCatMod"
                                               << ""
                                               << "";
        QTest::newRow("modify, no categories") << false << ""
                                               << "cmdCatViewM"
                                               << "fraCatView"
                                               << "Categories Menu" << kMenuStatus << "cmdCatViewA"
                                               << "" << noMod;
        QTest::newRow("back") << true << "Home"
                              << "cmdCatViewCncl"
                              << ""
                              << "Main Menu"
                              << "Ready (Main Menu)"
                              << ""
                              << ""
                              << "";
    }

    void menuMoves() {
        QFETCH(bool, categories);
        QFETCH(QString, select);
        QFETCH(QString, button);
        QFETCH(QString, panel);
        QFETCH(QString, subtitle);
        QFETCH(QString, statusText);
        QFETCH(QString, focus);
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, categories ? kThree : Categories());
        main.txtCatAdd->setText(QStringLiteral("left over"));
        main.txtCatMod->setText(QStringLiteral("left over"));

        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Categories Menu"));
        QCOMPARE(StatusText(main), kMenuStatus);
        QVERIFY(!main.lblIntro->isVisible());
        QCOMPARE(focusName(main), QStringLiteral("lstCatView"));
        if (!select.isEmpty())
            ClickEntry(main.lstCatView, select);

        QTest::mouseClick(main.findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(shownPanel(main), panel);
        QCOMPARE(main.lblSubTitle->text(), subtitle);
        QCOMPARE(StatusText(main), statusText);
        if (!focus.isEmpty())
            QCOMPARE(focusName(main), focus);
        QCOMPARE(ShownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (panel == QLatin1String("pctCatDel"))
            QCOMPARE(ListedEntries(main.cmbCatDel).value(main.cmbCatDel->currentIndex()), chosen);
        if (panel == QLatin1String("pctCatMod")) {
            QCOMPARE(ListedEntries(main.cmbCatMod).value(main.cmbCatMod->currentIndex()), chosen);
            QCOMPARE(main.txtCatMod->text(), QString());
        }
        if (panel == QLatin1String("pctCatAdd"))
            QCOMPARE(main.txtCatAdd->text(), QString());
        if (button == QLatin1String("cmdCatViewCncl")) {
            QVERIFY(main.lblIntro->isVisible());
            QVERIFY(main.lblSubTitle->isVisible());
        }
    }

    void panelsBackToTheMenu_data() {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("back");
        QTest::newRow("add") << "cmdCatViewA"
                             << "cmdCatAddCncl";
        QTest::newRow("delete") << "cmdCatViewD"
                                << "cmdCatDelCncl";
        QTest::newRow("modify") << "cmdCatViewM"
                                << "cmdCatModCncl";
    }

    void panelsBackToTheMenu() {
        QFETCH(QString, open);
        QFETCH(QString, back);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.findChild<QPushButton *>(open), Qt::LeftButton);
        QTest::mouseClick(main.findChild<QPushButton *>(back), Qt::LeftButton);
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Categories Menu"));
        QCOMPARE(StatusText(main), kMenuStatus);
        QCOMPARE(focusName(main), QStringLiteral("lstCatView"));
    }

    // The hidden dispatcher opens the panel its tag names; any tag but "A"
    // and "D" opens the Modify panel.
    void dispatcherTag_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("panel");
        QTest::newRow("A") << "A"
                           << "pctCatAdd";
        QTest::newRow("D") << "D"
                           << "pctCatDel";
        QTest::newRow("M") << "M"
                           << "pctCatMod";
        QTest::newRow("lower-case a") << "a"
                                      << "pctCatMod";
    }

    void dispatcherTag() {
        QFETCH(QString, tag);
        QFETCH(QString, panel);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        main.cmdCatNxtTag = tag;
        main.cmdCatNxt_Click();
        QCOMPARE(shownPanel(main), panel);
        QVERIFY(!main.cmdCatNxt->isVisible());
    }

    // ---- Double-click: the URLs menu on that category ----

    void doubleClickChoosesTheCategoryForTheUrls() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);

        // On an empty part of the list with nothing selected: nothing happens.
        const QPoint below(10, main.lstCatView->viewport()->height() - 3);
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(main.cmbUrlCat->currentIndex(), -1);
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));

        // One line of another password's: announced once per reading.
        WriteUrlFile(2, UrlLine({1, QStringLiteral("home.example.org"), QString()}) +
                            UrlLine({2, QStringLiteral("https://garden.example"), QString()}) +
                            UrlLine({3, QStringLiteral("theirs.example"), QString(), true}));
        const QModelIndex home =
            main.lstCatView->model()->index(RowOf(main.lstCatView, QStringLiteral("Home")), 0);
        const QPoint at = main.lstCatView->visualRect(home).center();
        QTest::mouseClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(main.cmbUrlCat->chosenNumber(), 2);
        QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Home"));
        // ...and the URLs menu lists that category's addresses.
        QVERIFY(main.fraUrlView->isVisible());
        QCOMPARE(shownPanel(main), QString());
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("URL's Menu"));
        QCOMPARE(ListedEntries(main.lstUrlView),
                 (QStringList{"home.example.org=1", "https://garden.example=2"}));
        QCOMPARE(main.lblUrlView->text(), QStringLiteral("2 URL(s) under choosen Category are : "));
        QCOMPARE(StatusText(main), kUrlMenuStatus);
        QCOMPARE(ShownTexts(), QStringList{kUrlImposter});

        // Back on the menu, the same category again: the list it shows is
        // that category's already, so nothing is read or announced again.
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        MsgBox::reset();
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Home"));
        QCOMPARE(ListedEntries(main.lstUrlView),
                 (QStringList{"home.example.org=1", "https://garden.example=2"}));
        QCOMPARE(StatusText(main), kUrlMenuStatus);
        QCOMPARE(ShownTexts(), QStringList());
    }

    // The category is chosen on a URL panel, whose load leaves the URLs
    // menu's list empty: a double-click on it lists it, reading it once.
    void doubleClickOnTheCategoryAPanelChose() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        WriteUrlFile(2, UrlLine({1, QStringLiteral("home.example.org"), QString()}) +
                            UrlLine({2, QStringLiteral("theirs.example"), QString(), true}));
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Home")));
        QCOMPARE(ListedEntries(main.cmbUrlDel), QStringList{"home.example.org=1"});
        QCOMPARE(ShownTexts(), QStringList{kUrlImposter});
        MsgBox::reset();

        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        const QPoint at = main.lstCatView->visualRect(main.lstCatView->currentIndex()).center();
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(main.fraUrlView->isVisible());
        QCOMPARE(ListedEntries(main.lstUrlView), QStringList{"home.example.org=1"});
        QCOMPARE(StatusText(main), kUrlMenuStatus);
        QCOMPARE(ShownTexts(), QStringList{kUrlImposter});
    }

    // ---- Add ----

    void add_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("boxAfter"); // when refused
        QTest::addColumn<QStringList>("listed");

        const QStringList before{"Home=1", "News=5"};
        QTest::newRow("trimmed name") << "  Work  "
                                      << "Success! The Category Work was Created!"
                                      << "" << QStringList{"Home=1", "News=5", "Work=6"};
        QTest::newRow("same name in another case") << "NEWS" << kAddTaken << "" << before;
        QTest::newRow("name of another owner's record") << "secret" << kAddTaken << "" << before;
        QTest::newRow("empty") << "   "
                               << "Please enter a name for the Category you wish to Add before "
                                  "you click me again!"
                               << "   " << before;
        QTest::newRow("unstorable characters")
            << "ab~cd\xc3\xa9"
            << "Sorry, a Category Name can't hold these characters: \"~\" \"\xc3\xa9\"\r\nPlease "
               "use only letters without accents, digits, blanks and the usual punctuation "
               "marks.\r\n\r\nStore it as \"ab-cde\" instead?"
            << "ab~cd\xc3\xa9" << before;
        QTest::newRow("separator text in the name")
            << "A*QVX*B"
            << "Success! The Category A*QVX*B was Created!"
            << "" << QStringList{"A*QVX*B=6", "Home=1", "News=5"};
    }

    void add() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, boxAfter);
        QFETCH(QStringList, listed);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, {{"Home", 1}, {"Secret", 2, true}, {"News", 5}});
        const QByteArray index = FileBytes(indexPath(env));
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, typed);
        QTest::keyClick(main.txtCatAdd, Qt::Key_Return);

        QCOMPARE(ShownTexts(), QStringList{message});
        QVERIFY(listsInStep(main, listed));
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        if (message.startsWith(QLatin1String("Success"))) {
            QCOMPARE(DecodedIndex(path).last(), QStringLiteral("6 ") + modMain::TrimBlanks(typed));
            QVERIFY(FileBytes(path).startsWith(index));
            QCOMPARE(main.lblCatView->text(), QStringLiteral("3 Existing Categories are : "));
            QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
            QCOMPARE(StatusText(main), kMenuStatus);
            QCOMPARE(main.txtCatAdd->text(), QString());
        } else {
            QCOMPARE(FileBytes(path), index);
            QCOMPARE(shownPanel(main), QStringLiteral("pctCatAdd"));
            QCOMPARE(main.txtCatAdd->text(), boxAfter);
            QCOMPARE(focusName(main), QStringLiteral("txtCatAdd"));
        }
    }

    void firstCategoryOfANewUser() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("Work"));
        QTest::mouseClick(main.cmdCatAdd, Qt::LeftButton);
        QCOMPARE(DecodedIndex(env.path(QStringLiteral("USR1/CAT.DAT"))), QStringList{"1 Work"});
        QCOMPARE(FileBytes(env.path(QStringLiteral("USR1/CAT.DAT"))).count("\r\n"), 1);
        QVERIFY(listsInStep(main, {"Work=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("1 Existing Categories are : "));
    }

    void noNumberAbove32767() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, {{"Last", 32767}});
        const QByteArray index = FileBytes(indexPath(env));
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("One more"));
        QTest::keyClick(main.txtCatAdd, Qt::Key_Enter);
        QCOMPARE(ShownTexts(), QStringList{"Sorry, no more Categories can be added: the Category "
                                           "numbers have reached their highest value, 32767."});
        QCOMPARE(FileBytes(env.path(QStringLiteral("USR1/CAT.DAT"))), index);
        QVERIFY(listsInStep(main, {"Last=32767"}));
    }

    // A new or renamed category that cannot be written leaves the index and
    // the four lists as they were; the panel stays open with the name typed.
    void changeFailureKeepsFileAndLists_data() {
        QTest::addColumn<QString>("chosen"); // entry clicked in lstCatView first
        QTest::addColumn<QString>("open");   // the Categories menu's button
        QTest::addColumn<QString>("box");    // where the name is typed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("press"); // the panel's button; "" for Enter in the box
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("status");
        QTest::addColumn<WriteFault>("fault");
        QTest::addColumn<QString>("reason");

        struct Change {
            const char *name, *chosen, *open, *box, *typed, *press, *panel, *status;
        };
        const Change changes[] = {
            {"add", "", "cmdCatViewA", "txtCatAdd", "Travel", "", "pctCatAdd",
             "Ready (Add Category Menu)"},
            {"rename", "Fun", "cmdCatViewM", "txtCatMod", "Games", "cmdCatMod", "pctCatMod",
             "Ready (Modify Category Menu)"},
        };
        for (const Change &c : changes) {
            auto row = [&c](const char *what) -> QTestData & {
                return QTest::addRow("%s, %s", c.name, what)
                       << QString(c.chosen) << QString(c.open) << QString(c.box) << QString(c.typed)
                       << QString(c.press) << QString(c.panel) << QString(c.status);
            };
            row("past the file-size limit") << WriteFault::FileSizeLimit << "File too large";
            // A full disk says what the user can do.
            row("on a full disk") << WriteFault::FullDisk
                                  << "No space left on device.\r\n\r\nNothing was saved, and the "
                                     "file is as it was. Please free some space on the disk and "
                                     "try again";
            row("when the file cannot be flushed")
                << WriteFault::FlushFails << "Input/output error";
        }
    }

    void changeFailureKeepsFileAndLists() {
        QFETCH(QString, chosen);
        QFETCH(QString, open);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, press);
        QFETCH(QString, panel);
        QFETCH(QString, status);
        QFETCH(WriteFault, fault);
        QFETCH(QString, reason);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        const QString path = indexPath(env);
        const QByteArray index = FileBytes(path);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        if (!chosen.isEmpty())
            ClickEntry(main.lstCatView, chosen);
        QTest::mouseClick(main.findChild<QPushButton *>(open), Qt::LeftButton);
        auto *nameBox = main.findChild<QLineEdit *>(box);
        TypeInto(nameBox, typed);
        {
            // The index as it is fits; a longer one does not.
            const WriteFaultScope faults(fault, index.size());
            if (press.isEmpty())
                QTest::keyClick(nameBox, Qt::Key_Return);
            else
                QTest::mouseClick(main.findChild<QPushButton *>(press), Qt::LeftButton);
        }

        QCOMPARE(ShownTexts(),
                 QStringList{QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: %2.")
                                 .arg(path, reason)});
        QCOMPARE(FileBytes(path), index);
        QCOMPARE(QDir(env.path(QStringLiteral("USR1"))).entryList(QDir::Files),
                 QStringList{"CAT.DAT"}); // no temporary file left
        QVERIFY(listsInStep(main, kThreeListed));
        QCOMPARE(shownPanel(main), panel);
        QCOMPARE(StatusText(main), status);
        QCOMPARE(nameBox->text(), typed);
    }

    // A change that is written but whose folder cannot be flushed to disk is
    // made, and the user hears that a power failure could still undo it.
    void renameWhenTheFolderCannotBeFlushed() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        TypeInto(main.txtCatMod, QStringLiteral("Travel"));
        {
            const DiskCallsOverride faults(FolderSyncFails(EIO));
            QTest::keyClick(main.txtCatMod, Qt::Key_Return);
        }

        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        const QString folder = env.path(QStringLiteral("USR1"));
        QCOMPARE(ShownTexts(),
                 (QStringList{QStringLiteral("Success, the Category Home was modified to Travel"),
                              QStringLiteral("Wayfile saved \"%1\", but could not make sure that "
                                             "the change is safely on disk: a power failure "
                                             "could still undo it.\r\n\r\nReason: The folder "
                                             "\"%2\" could not be flushed to disk "
                                             "(Input/output error).\r\n\r\nPlease check the "
                                             "disk: it may be full, failing or no longer "
                                             "connected. After a power failure, see whether the "
                                             "change is still there, and make it again if it is "
                                             "not.")
                                  .arg(path, folder)}));
        QVERIFY(listsInStep(main, QStringList{"Fun=3", "Travel=2", "Work=1"}));
    }

    // ---- Delete ----

    void deleteAskedNo() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        const QByteArray index = FileBytes(indexPath(env));
        WriteFileBytes(env.path(QStringLiteral("USR1/CAT2.DAT")), "urls\r\n");
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::No);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);

        QCOMPARE(MsgBox::shown().size(), 1);
        QCOMPARE(MsgBox::shown().first().title, QStringLiteral("Confirm Delete"));
        QCOMPARE(MsgBox::shown().first().text,
                 QStringLiteral("Are you sure you wish to delete the choosen Category and all the "
                                "URL's stored under it?"));
        QCOMPARE(MsgBox::shown().first().buttons, screens::MsgButtons::YesNo);
        QCOMPARE(FileBytes(indexPath(env)), index);
        QCOMPARE(FileBytes(env.path(QStringLiteral("USR1/CAT2.DAT"))), QByteArray("urls\r\n"));
        QVERIFY(listsInStep(main, kThreeListed));
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatDel"));
    }

    void deleteWithNothingChosen() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        QCOMPARE(ShownTexts(), QStringList{"Please choose the Category you wish to Delete before "
                                           "clicking me again!"});
        QCOMPARE(focusName(main), QStringLiteral("cmbCatDel"));
    }

    void deleteYes() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        const QString folder = env.path(QStringLiteral("USR1/"));
        const QList<QByteArray> old = FileLines(folder + "CAT.DAT");
        WriteFileBytes(folder + "CAT1.DAT", "one\r\n");
        WriteFileBytes(folder + "cat2.dat", "two\r\n");
        WriteFileBytes(folder + "CAT3.DAT", "three\r\n");
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);

        QCOMPARE(ShownTexts().value(1), QStringLiteral("The Category Home was succesfully deleted "
                                                       "along with any URL's stored under it!"));
        QCOMPARE(FileBytes(folder + "CAT.DAT"), old[0] + old[2]);
        QVERIFY(!QFileInfo::exists(folder + "cat2.dat"));
        QCOMPARE(FileBytes(folder + "CAT1.DAT"), QByteArray("one\r\n"));
        QCOMPARE(FileBytes(folder + "CAT3.DAT"), QByteArray("three\r\n"));
        // Its URLs went to the Trash.
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 (QStringList{"CAT.DAT", "CAT1.DAT", "CAT3.DAT", "TRASH.DAT"}));
        QVERIFY(listsInStep(main, {"Fun=3", "Work=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("2 Existing Categories are : "));
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.cmbCatDel->currentIndex(), -1); // no other category chosen by itself
    }

    void deleteTheOnlyCategory() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, {{"Work", 1}});
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Work"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        QCOMPARE(QFileInfo(env.path(QStringLiteral("USR1/CAT.DAT"))).size(), 0);
        QVERIFY(listsInStep(main, {}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("0 Existing Categories are : "));
    }

    void deleteFailures_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("messageStart");
        QTest::addColumn<bool>("deleted");
        // The delete moves the category into the Trash in one journaled
        // change: its URL file is not moved aside any more, and the journal is the
        // first file it writes.
        QTest::newRow("something in the way of the old move aside")
            << "move"
            << "The Category Home was succesfully deleted along with any URL's stored under it!"
            << true;
        QTest::newRow("nothing can be written")
            << "write"
            << "Wayfile could not create \"%1/wayfile.journal\".\r\n\r\nReason: " << false;
        QTest::newRow("URL file cannot be removed")
            << "remove"
            << "The Category Home was deleted, but a file of its URL's was left behind.\r\n\r\n"
               "Wayfile could not delete \"%1/CAT2.DAT.deleting\".\r\n\r\nReason: "
            << true;
    }

    void deleteFailures() {
        QFETCH(QString, step);
        QFETCH(QString, messageStart);
        QFETCH(bool, deleted);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        const QString folder = env.path(QStringLiteral("USR1"));
        const QByteArray index = FileBytes(folder + "/CAT.DAT");
        if (step == QLatin1String("remove")) {
            QVERIFY(QDir().mkpath(folder + "/CAT2.DAT/inside"));
        } else {
            WriteFileBytes(folder + "/CAT2.DAT", "urls\r\n");
            if (step == QLatin1String("move"))
                QVERIFY(QDir().mkpath(folder + "/CAT2.DAT.deleting/inside"));
        }
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        {
            const WriteFaultScope faults(
                step == QLatin1String("write") ? WriteFault::FileSizeLimit : WriteFault::None, 20);
            QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        }

        QCOMPARE(ShownTexts().size(), 2);
        QVERIFY2(ShownTexts()[1].startsWith(messageStart.arg(folder)), qPrintable(ShownTexts()[1]));
        if (deleted) {
            QCOMPARE(DecodedIndex(folder + "/CAT.DAT"), (QStringList{"1 Work", "3 Fun"}));
            QVERIFY(listsInStep(main, {"Fun=3", "Work=1"}));
            QVERIFY(!QFileInfo::exists(modMain::UrlFilePath(1, 2)));
            QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        } else {
            QCOMPARE(FileBytes(folder + "/CAT.DAT"), index);
            QCOMPARE(FileBytes(folder + "/CAT2.DAT"), QByteArray("urls\r\n"));
            QVERIFY(listsInStep(main, kThreeListed));
            QCOMPARE(shownPanel(main), QStringLiteral("pctCatDel"));
            QCOMPARE(StatusText(main), QStringLiteral("Ready (Delete Category Menu)"));
        }
    }

    // ---- Rename ----

    void rename_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("boxAfter"); // when refused
        QTest::addColumn<QString>("focus");    // when refused

        QTest::newRow("same name in another case")
            << "Work"
            << "WORK"
            << "I don't get it...If the modified name is same as the current name, why Modify at "
               "all?\r\n               Think over it before you click on me again!"
            << "WORK"
            << "txtCatMod";
        QTest::newRow("name taken") << "Work"
                                    << "home" << kModTaken << ""
                                    << "txtCatMod";
        QTest::newRow("spaces only") << "Work"
                                     << "   "
                                     << "Please enter the Name you wish to Modify the chosen "
                                        "Category's Name to in the text field."
                                     << "   "
                                     << "txtCatMod";
        QTest::newRow("unstorable")
            << "Work"
            << "x{y}"
            << "Sorry, a Category Name can't hold these characters: \"{\" \"}\"\r\nPlease "
               "use only letters without accents, digits, blanks and the usual punctuation "
               "marks.\r\n\r\nStore it as \"x(y)\" instead?"
            << "x{y}"
            << "txtCatMod";
        QTest::newRow("nothing chosen") << ""
                                        << "Travel"
                                        << "Please choose the Category that you wish to Modify "
                                           "before clicking me again!"
                                        << "Travel"
                                        << "cmbCatMod";
        QTest::newRow("renamed") << "Work"
                                 << " Travel "
                                 << "Success, the Category Work was modified to Travel"
                                 << ""
                                 << "";
    }

    void rename() {
        QFETCH(QString, chosen);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, boxAfter);
        QFETCH(QString, focus);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        const QString folder = env.path(QStringLiteral("USR1/"));
        const QByteArray index = FileBytes(folder + "CAT.DAT");
        WriteFileBytes(folder + "CAT1.DAT", "one\r\n");
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        if (!chosen.isEmpty())
            ClickEntry(main.lstCatView, chosen);
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        TypeInto(main.txtCatMod, typed);
        QTest::keyClick(main.txtCatMod, Qt::Key_Return);

        QCOMPARE(ShownTexts(), QStringList{message});
        if (!message.startsWith(QLatin1String("Success"))) {
            QCOMPARE(FileBytes(folder + "CAT.DAT"), index);
            QVERIFY(listsInStep(main, kThreeListed));
            QCOMPARE(main.txtCatMod->text(), boxAfter);
            QCOMPARE(focusName(main), focus);
            QCOMPARE(shownPanel(main), QStringLiteral("pctCatMod"));
            return;
        }
        // The record is rewritten in place under its old number; the others
        // and the URL file stay byte for byte.
        const QList<QByteArray> lines = FileBytes(folder + "CAT.DAT").split('\n');
        const QList<QByteArray> old = index.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], old[1]);
        QCOMPARE(lines[2], old[2]);
        QVERIFY(lines[0] != old[0]);
        QCOMPARE(DecodedIndex(folder + "CAT.DAT"), (QStringList{"1 Travel", "2 Home", "3 Fun"}));
        QCOMPARE(FileBytes(folder + "CAT1.DAT"), QByteArray("one\r\n"));
        QVERIFY(listsInStep(main, {"Fun=3", "Home=2", "Travel=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("3 Existing Categories are : "));
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.txtCatMod->text(), QString());
    }

    // ---- A record whose key lost its number ----

    // Two records whose keys lost their number are both listed under number
    // 0; each can be deleted and renamed like any other category, and the
    // change touches that record alone, found by its name. CAT0.DAT, the URL
    // file of number 0, stays while another record is numbered 0.
    void damagedRecordIsChangedByItsName_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("index");
        QTest::addColumn<QStringList>("listed");

        QTest::newRow("delete") << "cmdCatViewD"
                                << "The Category Broken was succesfully deleted along with any "
                                   "URL's stored under it!"
                                << QStringList{"1 Work", "3 Fun", "0 Other"}
                                << QStringList{"Fun=3", "Other=0", "Work=1"};
        QTest::newRow("rename") << "cmdCatViewM"
                                << "Success, the Category Broken was modified to Mended"
                                << QStringList{"1 Work", "0 Mended", "3 Fun", "0 Other"}
                                << QStringList{"Fun=3", "Mended=0", "Other=0", "Work=1"};
    }

    void damagedRecordIsChangedByItsName() {
        QFETCH(QString, button);
        QFETCH(QString, message);
        QFETCH(QStringList, index);
        QFETCH(QStringList, listed);
        GuiTestEnv env;
        WriteUserFiles({{"Work", 1}});
        // Keys that read "CAT" and "CATx", without a number: listed, but
        // number 0.
        const QString stamp = modMain::MakePassStamp(kTestPassword);
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        const auto damaged = [&stamp](const char *key, const char *name) {
            return modMain::JoinRecord({modMain::EncodeField(QLatin1String(key)),
                                        modMain::EncodeField(QLatin1String(name)), stamp});
        };
        QVERIFY(!modMain::AppendLine(path, damaged("CAT", "Broken")).failed());
        QVERIFY(
            !modMain::AppendLine(path, modMain::CategoryRecordLine(3, QStringLiteral("Fun"), stamp))
                 .failed());
        QVERIFY(!modMain::AppendLine(path, damaged("CATx", "Other")).failed());
        const QList<QByteArray> before = FileLines(path);
        WriteFileBytes(env.path(QStringLiteral("USR1/CAT0.DAT")), "urls\r\n");
        frmMain &main = env.mainWindow();
        SignInByKeyboard(main, kTestUser, kTestPassword);
        MsgBox::reset();
        QVERIFY(listsInStep(main, {"Broken=0", "Fun=3", "Other=0", "Work=1"}));

        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Broken"));
        QTest::mouseClick(main.findChild<QPushButton *>(button), Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        if (button == QLatin1String("cmdCatViewD")) {
            QCOMPARE(main.cmbCatDel->currentText(), QStringLiteral("Broken"));
            QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        } else {
            QCOMPARE(main.cmbCatMod->currentText(), QStringLiteral("Broken"));
            TypeInto(main.txtCatMod, QStringLiteral("Mended"));
            QTest::keyClick(main.txtCatMod, Qt::Key_Return);
        }

        QCOMPARE(ShownTexts().last(), message);
        QCOMPARE(DecodedIndex(path), index);
        // The other lines stay byte for byte.
        const QList<QByteArray> after = FileLines(path);
        QCOMPARE(after.first(), before.first());
        QCOMPARE(after.last(), before.last());
        QCOMPARE(FileBytes(env.path(QStringLiteral("USR1/CAT0.DAT"))), QByteArray("urls\r\n"));
        QVERIFY(listsInStep(main, listed));
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
    }

    // A category that is gone from the index meanwhile (another program
    // changed it): Modify says so in plain words and renames nothing.
    void renameOfACategoryGoneMeanwhile() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        const QList<QByteArray> lines = FileLines(path);
        WriteFileBytes(path, lines[0] + lines[2]); // Home is gone
        TypeInto(main.txtCatMod, QStringLiteral("Travel"));
        QTest::keyClick(main.txtCatMod, Qt::Key_Return);

        QCOMPARE(ShownTexts(),
                 QStringList{QStringLiteral("Sorry, that Category is no longer in the file of your "
                                            "Categories, so nothing was renamed.")});
        QCOMPARE(FileBytes(path), lines[0] + lines[2]);
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatMod"));
    }

    // ---- Lists out of step after the owner message ----

    void deleteAndAddAfterTheOwnerMessage() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, {{"Work", 1}, {"Home", 2}, {"Fun", 3, true}});
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        QCOMPARE(ListedEntries(main.cmbCatDel), (QStringList{"Home=2", "Work=1"}));

        // Delete "Work", chosen in the only list that holds it.
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatDel"));
        main.cmbCatDel->setCurrentIndex(1);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        QCOMPARE(ShownTexts().value(1), QStringLiteral("The Category Work was succesfully deleted "
                                                       "along with any URL's stored under it!"));
        QCOMPARE(DecodedIndex(path), (QStringList{"2 Home", "3 Fun"}));
        QCOMPARE(ListedEntries(main.cmbCatDel), QStringList{"Home=2"});
        QVERIFY(main.lstCatView->count() == 0 && main.cmbCatMod->count() == 0 &&
                main.cmbUrlCat->count() == 0);

        // Add "Travel": it goes into all four lists.
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("Travel"));
        QTest::keyClick(main.txtCatAdd, Qt::Key_Return);
        QCOMPARE(DecodedIndex(path), (QStringList{"2 Home", "3 Fun", "4 Travel"}));
        QCOMPARE(ListedEntries(main.cmbCatDel), (QStringList{"Home=2", "Travel=4"}));
        QCOMPARE(ListedEntries(main.lstCatView), QStringList{"Travel=4"});
        QCOMPARE(ListedEntries(main.cmbCatMod), QStringList{"Travel=4"});
        QCOMPARE(ListedEntries(main.cmbUrlCat), QStringList{"Travel=4"});

        // Deleting "Travel" by its position in lstCatView would have named
        // "Home" in cmbCatDel; by number it is "Travel" everywhere.
        ClickEntry(main.lstCatView, QStringLiteral("Travel"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        QCOMPARE(main.cmbCatDel->currentText(), QStringLiteral("Travel"));
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);
        QCOMPARE(DecodedIndex(path), (QStringList{"2 Home", "3 Fun"}));
        QCOMPARE(ListedEntries(main.cmbCatDel), QStringList{"Home=2"});
        QVERIFY(main.lstCatView->count() == 0 && main.cmbCatMod->count() == 0 &&
                main.cmbUrlCat->count() == 0);
    }

    // ---- By keyboard only ----

    void byKeyboard() {
        // Keys go to the window as a keyboard sends them: access keys, the
        // arrow keys, typing and Enter.
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kThree);
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QWindow *window = main.windowHandle();
        auto alt = [window](Qt::Key key) { QTest::keyClick(window, key, Qt::AltModifier); };
        auto type = [window](const char *text) {
            for (const char *c = text; *c; ++c)
                QTest::keyClick(window, *c);
        };

        alt(Qt::Key_C); // Categories
        QTRY_COMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        alt(Qt::Key_A); // Add Category
        QTRY_COMPARE(shownPanel(main), QStringLiteral("pctCatAdd"));
        QTRY_COMPARE(focusName(main), QStringLiteral("txtCatAdd"));
        type("Travel");
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(ShownTexts(), QStringList{"Success! The Category Travel was Created!"});
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));

        // Choose "Travel" in the list (Home, then Down through the sorted names) and open
        // Modify: the focus waits in the new-name box.
        QTRY_COMPARE(focusName(main), QStringLiteral("lstCatView"));
        QTest::keyClick(window, Qt::Key_Home); // Fun
        QTest::keyClick(window, Qt::Key_Down); // Home
        QTest::keyClick(window, Qt::Key_Down); // Travel
        QCOMPARE(RowText(main.lstCatView, main.lstCatView->selectedRow()),
                 QStringLiteral("Travel"));
        alt(Qt::Key_M);
        QTRY_COMPARE(shownPanel(main), QStringLiteral("pctCatMod"));
        QTRY_COMPARE(focusName(main), QStringLiteral("txtCatMod"));
        type("Trips");
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(ShownTexts().last(), QStringLiteral("Success, the Category Travel was modified "
                                                     "to Trips"));
        QVERIFY(listsInStep(main, {"Fun=3", "Home=2", "Trips=4", "Work=1"}));

        alt(Qt::Key_B); // Back to the main menu
        QTRY_COMPARE(shownPanel(main), QString());
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
        QCOMPARE(DecodedIndex(env.path(QStringLiteral("USR1/CAT.DAT"))),
                 (QStringList{"1 Work", "2 Home", "3 Fun", "4 Trips"}));
    }
};

QTEST_MAIN(CategoriesTest)
#include "tst_categories.moc"

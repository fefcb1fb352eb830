// The category screens through the real main window: the Categories menu,
// adding, deleting and renaming categories, and the four category lists.

#include "guitest.h"

#include "categories/categoryindex.h"
#include "screens/msgbox.h"
#include "screens/sortedlist.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "storage/accountfile.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <cerrno>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using screens::MsgAnswer;
using screens::MsgBox;

namespace {

const QString kMine = QStringLiteral("pw1");
const QString kOther = QStringLiteral("other");

const QString kMenuStatus =
    QStringLiteral("What would you like to do? Add, Delete or Modify a Category?");
const QString kImposter =
    QStringLiteral("               Imposter! These Category Files don't seem to belong to "
                   "you!\r\n\r\nPlease refer to the readme file for more details.");
const QString kAddTaken =
    QStringLiteral("There already exists a Category by that name, please choose another name.");
const QString kModTaken =
    QStringLiteral("There already exists a Category by that name...Please choose another.");

QByteArray fileBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        qFatal("could not write %s", qPrintable(path));
}

// One index line with its CR LF, written under `password`.
QByteArray record(int n, const QString &name, const QString &password = kMine) {
    return modMain::CategoryRecordLine(n, name, modMain::MakePassStamp(password)).toLatin1() +
           "\r\n";
}

// "number name" for every line of an index.
QStringList decodedIndex(const QString &path) {
    QStringList out;
    for (const QByteArray &raw : fileBytes(path).split('\n')) {
        if (raw.isEmpty())
            continue;
        const QStringList fields = modMain::CategoryFields(QString::fromLatin1(raw.chopped(1)));
        out << QStringLiteral("%1 %2")
                   .arg(modMain::CategoryNumber(fields))
                   .arg(modMain::DecodeField(fields.value(1)));
    }
    return out;
}

// "name=number" for every entry of a list, in list order.
QStringList entries(const QComboBox *combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << QStringLiteral("%1=%2").arg(combo->itemText(i)).arg(screens::EntryData(combo, i));
    return out;
}

QStringList entries(const QListWidget *list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << QStringLiteral("%1=%2").arg(list->item(i)->text()).arg(screens::EntryData(list, i));
    return out;
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

// User 1, "alice" with password "pw1", whose index holds `index`, signed in
// by keyboard; the boxes shown while signing in are forgotten.
frmMain &signIn(GuiTestEnv &env, const std::optional<QByteArray> &index = std::nullopt) {
    AddAccount(1, QStringLiteral("alice"), kMine);
    QDir(env.folder()).mkdir(QStringLiteral("USR1"));
    if (index)
        writeBytes(env.path(QStringLiteral("USR1/CAT.DAT")), *index);
    frmMain &main = env.mainWindow();
    SignInByKeyboard(main, QStringLiteral("alice"), kMine);
    if (modMain::UserNo != 1)
        qWarning("alice is not signed in");
    MsgBox::reset();
    return main;
}

// The four lists hold the same entries.
bool listsInStep(frmMain &main, const QStringList &expected) {
    return entries(main.lstCatView) == expected && entries(main.cmbCatDel) == expected &&
           entries(main.cmbCatMod) == expected && entries(main.cmbUrlCat) == expected;
}

void clickEntry(QListWidget *list, const QString &name) {
    const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
        qWarning("no entry %s", qPrintable(name));
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.first()).center());
}

const QByteArray kThree = record(1, "Work") + record(2, "Home") + record(3, "Fun");
const QStringList kThreeListed{"Fun=3", "Home=2", "Work=1"};

} // namespace

class CategoriesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MsgBox::reset(); }

    // ---- Loading at sign-in ----

    void loadAtSignIn_data() {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<QStringList>("deletable"); // cmbCatDel
        QTest::addColumn<QStringList>("others");    // the other three lists
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("imposter");

        QTest::newRow("three owned")
            << kThree << kThreeListed << kThreeListed << "3 Existing Categories are : " << false;
        QTest::newRow("first foreign")
            << record(1, "Work", kOther) + record(2, "Home") + record(3, "Fun")
            << QStringList{"Fun=3", "Home=2"} << QStringList{"Fun=3", "Home=2"}
            << "2 Existing Categories are : " << false;
        QTest::newRow("last foreign")
            << record(1, "Work") + record(2, "Home") + record(3, "Fun", kOther)
            << QStringList{"Home=2", "Work=1"} << QStringList()
            << "2 Existing Categories are : " << true;
        QTest::newRow("all foreign")
            << record(1, "Work", kOther) + record(2, "Home", kOther) << QStringList()
            << QStringList() << "0 Existing Categories are : " << true;
        QTest::newRow("no index") << QByteArray() << QStringList() << QStringList()
                                  << "Existing Categories are : " << false;
    }

    void loadAtSignIn() {
        QFETCH(QByteArray, index);
        QFETCH(QStringList, deletable);
        QFETCH(QStringList, others);
        QFETCH(QString, label);
        QFETCH(bool, imposter);
        GuiTestEnv env;
        AddAccount(1, QStringLiteral("alice"), kMine);
        QDir(env.folder()).mkdir(QStringLiteral("USR1"));
        if (!index.isEmpty())
            writeBytes(env.path(QStringLiteral("USR1/CAT.DAT")), index);
        frmMain &main = env.mainWindow();
        SignInByKeyboard(main, QStringLiteral("alice"), kMine);

        QCOMPARE(entries(main.cmbCatDel), deletable);
        QCOMPARE(entries(main.cmbCatMod), others);
        QCOMPARE(entries(main.cmbUrlCat), others);
        QCOMPARE(entries(main.lstCatView), others);
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
        QByteArray index;
        for (int i = 0; i < names.size(); ++i)
            index += record(i + 1, names[i]);
        QListWidget oneByOne;
        for (int i = 0; i < names.size(); ++i)
            screens::AddSorted(&oneByOne, names[i], i + 1);

        GuiTestEnv env;
        frmMain &main = signIn(env, index);
        QVERIFY(listsInStep(main, entries(&oneByOne)));
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
        AddAccount(1, QStringLiteral("alice"), kMine);
        if (!made.isEmpty())
            QVERIFY(QDir(env.folder()).mkpath(made));
        frmMain &main = env.mainWindow();
        SignInByKeyboard(main, QStringLiteral("alice"), kMine);
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
        frmMain &main = signIn(env, categories ? kThree : QByteArray());
        main.txtCatAdd->setText(QStringLiteral("left over"));
        main.txtCatMod->setText(QStringLiteral("left over"));

        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Categories Menu"));
        QCOMPARE(StatusText(main), kMenuStatus);
        QVERIFY(!main.lblIntro->isVisible());
        QCOMPARE(focusName(main), QStringLiteral("lstCatView"));
        if (!select.isEmpty())
            clickEntry(main.lstCatView, select);

        QTest::mouseClick(main.findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(shownPanel(main), panel);
        QCOMPARE(main.lblSubTitle->text(), subtitle);
        QCOMPARE(StatusText(main), statusText);
        if (!focus.isEmpty())
            QCOMPARE(focusName(main), focus);
        QCOMPARE(ShownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (panel == QLatin1String("pctCatDel"))
            QCOMPARE(entries(main.cmbCatDel).value(main.cmbCatDel->currentIndex()), chosen);
        if (panel == QLatin1String("pctCatMod")) {
            QCOMPARE(entries(main.cmbCatMod).value(main.cmbCatMod->currentIndex()), chosen);
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
        frmMain &main = signIn(env, kThree);
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
        frmMain &main = signIn(env, kThree);
        main.cmdCatNxt->setProperty("Tag", tag);
        main.cmdCatNxt_Click();
        QCOMPARE(shownPanel(main), panel);
        QVERIFY(!main.cmdCatNxt->isVisible());
    }

    // ---- Double-click: the URLs menu on that category ----

    void doubleClickChoosesTheCategoryForTheUrls() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QSignalSpy choice(main.cmbUrlCat, &QComboBox::currentIndexChanged);

        // On an empty part of the list with nothing selected: nothing happens.
        const QPoint below(10, main.lstCatView->viewport()->height() - 3);
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(main.cmbUrlCat->currentIndex(), -1);
        QVERIFY(choice.isEmpty());
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));

        WriteUrlFile(2, UrlLine({1, QStringLiteral("home.example.org"), QString()}) +
                            UrlLine({2, QStringLiteral("https://garden.example"), QString()}));
        QListWidgetItem *home = main.lstCatView->findItems("Home", Qt::MatchExactly).first();
        const QPoint at = main.lstCatView->visualItemRect(home).center();
        QTest::mouseClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(screens::EntryData(main.cmbUrlCat, main.cmbUrlCat->currentIndex()), 2);
        QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Home"));
        QVERIFY(!choice.isEmpty()); // the chooser's own handling hears the choice
        // ...and the URLs menu lists that category's addresses.
        QVERIFY(main.fraUrlView->isVisible());
        QCOMPARE(shownPanel(main), QString());
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("URL's Menu"));
        QCOMPARE(entries(main.lstUrlView),
                 (QStringList{"home.example.org=1", "https://garden.example=2"}));
        QCOMPARE(main.lblUrlView->text(), QStringLiteral("2 URL(s) under choosen Category are : "));
        QCOMPARE(StatusText(main), QStringLiteral("Ready (URL(s) Menu)"));

        // Back on the menu, the same category again: heard again, so its
        // URLs are loaded afresh.
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        choice.clear();
        QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Home"));
        QVERIFY(!choice.isEmpty());
        QCOMPARE(choice.last().first().toInt(), main.cmbUrlCat->currentIndex());
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
               "marks."
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
        const QByteArray index =
            record(1, "Home") + record(2, "Secret", kOther) + record(5, "News");
        frmMain &main = signIn(env, index);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, typed);
        QTest::keyClick(main.txtCatAdd, Qt::Key_Return);

        QCOMPARE(ShownTexts(), QStringList{message});
        QVERIFY(listsInStep(main, listed));
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        if (message.startsWith(QLatin1String("Success"))) {
            QCOMPARE(decodedIndex(path).last(), QStringLiteral("6 ") + modMain::TrimBlanks(typed));
            QVERIFY(fileBytes(path).startsWith(index));
            QCOMPARE(main.lblCatView->text(), QStringLiteral("3 Existing Categories are : "));
            QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
            QCOMPARE(StatusText(main), kMenuStatus);
            QCOMPARE(main.txtCatAdd->text(), QString());
        } else {
            QCOMPARE(fileBytes(path), index);
            QCOMPARE(shownPanel(main), QStringLiteral("pctCatAdd"));
            QCOMPARE(main.txtCatAdd->text(), boxAfter);
            QCOMPARE(focusName(main), QStringLiteral("txtCatAdd"));
        }
    }

    void firstCategoryOfANewUser() {
        GuiTestEnv env;
        frmMain &main = signIn(env);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("Work"));
        QTest::mouseClick(main.cmdCatAdd, Qt::LeftButton);
        QCOMPARE(decodedIndex(env.path(QStringLiteral("USR1/CAT.DAT"))), QStringList{"1 Work"});
        QCOMPARE(fileBytes(env.path(QStringLiteral("USR1/CAT.DAT"))).count("\r\n"), 1);
        QVERIFY(listsInStep(main, {"Work=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("1 Existing Categories are : "));
    }

    void noNumberAbove32767() {
        GuiTestEnv env;
        const QByteArray index = record(32767, "Last");
        frmMain &main = signIn(env, index);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("One more"));
        QTest::keyClick(main.txtCatAdd, Qt::Key_Enter);
        QCOMPARE(ShownTexts(), QStringList{"Sorry, no more Categories can be added: the Category "
                                           "numbers have reached their highest value, 32767."});
        QCOMPARE(fileBytes(env.path(QStringLiteral("USR1/CAT.DAT"))), index);
        QVERIFY(listsInStep(main, {"Last=32767"}));
    }

    void addFailureKeepsFileAndLists() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("Travel"));
        {
            const FileSizeLimit limit(kThree.size());
            QTest::keyClick(main.txtCatAdd, Qt::Key_Return);
        }
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        QCOMPARE(ShownTexts().size(), 1);
        QVERIFY(ShownTexts().first().startsWith(
            QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: ").arg(path)));
        QCOMPARE(fileBytes(path), kThree);
        QVERIFY(listsInStep(main, kThreeListed));
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatAdd"));
        QCOMPARE(StatusText(main), QStringLiteral("Ready (Add Category Menu)"));
        QCOMPARE(main.txtCatAdd->text(), QStringLiteral("Travel"));
    }

    // A change that is written but whose folder cannot be flushed to disk is
    // made, and the user hears that a power failure could still undo it.
    void renameWhenTheFolderCannotBeFlushed() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        clickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        TypeInto(main.txtCatMod, QStringLiteral("Travel"));
        modMain::SetDiskCalls({{}, [](int fd) {
                                   struct stat st;
                                   if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
                                       errno = EIO;
                                       return -1;
                                   }
                                   return ::fsync(fd);
                               }});
        QTest::keyClick(main.txtCatMod, Qt::Key_Return);
        modMain::SetDiskCalls({});

        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        const QString folder = env.path(QStringLiteral("USR1"));
        QCOMPARE(ShownTexts(),
                 (QStringList{QStringLiteral("Success, the Category Home was modified to Travel"),
                              QStringLiteral("Wayfile saved \"%1\", but could not make sure that "
                                             "the change is safely on disk: a power failure "
                                             "could still undo it.\r\n\r\nReason: The folder "
                                             "\"%2\" could not be flushed to disk "
                                             "(Input/output error).")
                                  .arg(path, folder)}));
        QVERIFY(listsInStep(main, QStringList{"Fun=3", "Travel=2", "Work=1"}));
    }

    // ---- Delete ----

    void deleteAskedNo() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        writeBytes(env.path(QStringLiteral("USR1/CAT2.DAT")), "urls\r\n");
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        clickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::No);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);

        QCOMPARE(MsgBox::shown().size(), 1);
        QCOMPARE(MsgBox::shown().first().title, QStringLiteral("Confirm Delete"));
        QCOMPARE(MsgBox::shown().first().text,
                 QStringLiteral("Are you sure you wish to delete the choosen Category and all the "
                                "URL's stored under it?"));
        QCOMPARE(MsgBox::shown().first().buttons, screens::MsgButtons::YesNo);
        QCOMPARE(fileBytes(env.path(QStringLiteral("USR1/CAT.DAT"))), kThree);
        QCOMPARE(fileBytes(env.path(QStringLiteral("USR1/CAT2.DAT"))), QByteArray("urls\r\n"));
        QVERIFY(listsInStep(main, kThreeListed));
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatDel"));
    }

    void deleteWithNothingChosen() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        QCOMPARE(ShownTexts(), QStringList{"Please choose the Category you wish to Delete before "
                                           "clicking me again!"});
        QCOMPARE(focusName(main), QStringLiteral("cmbCatDel"));
    }

    void deleteYes() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        const QString folder = env.path(QStringLiteral("USR1/"));
        writeBytes(folder + "CAT1.DAT", "one\r\n");
        writeBytes(folder + "cat2.dat", "two\r\n");
        writeBytes(folder + "CAT3.DAT", "three\r\n");
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        clickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);

        QCOMPARE(ShownTexts().value(1), QStringLiteral("The Category Home was succesfully deleted "
                                                       "along with any URL's stored under it!"));
        const QList<QByteArray> old = kThree.split('\n');
        QCOMPARE(fileBytes(folder + "CAT.DAT"), old[0] + '\n' + old[2] + '\n');
        QVERIFY(!QFileInfo::exists(folder + "cat2.dat"));
        QCOMPARE(fileBytes(folder + "CAT1.DAT"), QByteArray("one\r\n"));
        QCOMPARE(fileBytes(folder + "CAT3.DAT"), QByteArray("three\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 (QStringList{"CAT.DAT", "CAT1.DAT", "CAT3.DAT"}));
        QVERIFY(listsInStep(main, {"Fun=3", "Work=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("2 Existing Categories are : "));
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.cmbCatDel->currentIndex(), -1); // no other category chosen by itself
    }

    void deleteTheOnlyCategory() {
        GuiTestEnv env;
        frmMain &main = signIn(env, record(1, "Work"));
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        clickEntry(main.lstCatView, QStringLiteral("Work"));
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
        QTest::newRow("URL file cannot move aside")
            << "move"
            << "Wayfile could not move away \"%1/CAT2.DAT\".\r\n\r\nReason: " << false;
        QTest::newRow("index cannot be written")
            << "write"
            << "Wayfile could not write to \"%1/CAT.DAT\".\r\n\r\nReason: " << false;
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
        frmMain &main = signIn(env, kThree);
        const QString folder = env.path(QStringLiteral("USR1"));
        if (step == QLatin1String("remove")) {
            QVERIFY(QDir().mkpath(folder + "/CAT2.DAT/inside"));
        } else {
            writeBytes(folder + "/CAT2.DAT", "urls\r\n");
            if (step == QLatin1String("move"))
                QVERIFY(QDir().mkpath(folder + "/CAT2.DAT.deleting/inside"));
        }
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        clickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        {
            std::optional<FileSizeLimit> limit;
            if (step == QLatin1String("write"))
                limit.emplace(20);
            QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        }

        QCOMPARE(ShownTexts().size(), 2);
        QVERIFY2(ShownTexts()[1].startsWith(messageStart.arg(folder)), qPrintable(ShownTexts()[1]));
        if (deleted) {
            QCOMPARE(decodedIndex(folder + "/CAT.DAT"), (QStringList{"1 Work", "3 Fun"}));
            QVERIFY(listsInStep(main, {"Fun=3", "Work=1"}));
            QVERIFY(!QFileInfo::exists(modMain::UrlFilePath(1, 2)));
            QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        } else {
            QCOMPARE(fileBytes(folder + "/CAT.DAT"), kThree);
            QCOMPARE(fileBytes(folder + "/CAT2.DAT"), QByteArray("urls\r\n"));
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
               "use only letters without accents, digits, blanks and the usual punctuation marks."
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
        frmMain &main = signIn(env, kThree);
        const QString folder = env.path(QStringLiteral("USR1/"));
        writeBytes(folder + "CAT1.DAT", "one\r\n");
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        if (!chosen.isEmpty())
            clickEntry(main.lstCatView, chosen);
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        TypeInto(main.txtCatMod, typed);
        QTest::keyClick(main.txtCatMod, Qt::Key_Return);

        QCOMPARE(ShownTexts(), QStringList{message});
        if (!message.startsWith(QLatin1String("Success"))) {
            QCOMPARE(fileBytes(folder + "CAT.DAT"), kThree);
            QVERIFY(listsInStep(main, kThreeListed));
            QCOMPARE(main.txtCatMod->text(), boxAfter);
            QCOMPARE(focusName(main), focus);
            QCOMPARE(shownPanel(main), QStringLiteral("pctCatMod"));
            return;
        }
        // The record is rewritten in place under its old number; the others
        // and the URL file stay byte for byte.
        const QList<QByteArray> lines = fileBytes(folder + "CAT.DAT").split('\n');
        const QList<QByteArray> old = kThree.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], old[1]);
        QCOMPARE(lines[2], old[2]);
        QVERIFY(lines[0] != old[0]);
        QCOMPARE(decodedIndex(folder + "CAT.DAT"), (QStringList{"1 Travel", "2 Home", "3 Fun"}));
        QCOMPARE(fileBytes(folder + "CAT1.DAT"), QByteArray("one\r\n"));
        QVERIFY(listsInStep(main, {"Fun=3", "Home=2", "Travel=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("3 Existing Categories are : "));
        QCOMPARE(shownPanel(main), QStringLiteral("fraCatView"));
        QCOMPARE(main.txtCatMod->text(), QString());
    }

    void renameFailureKeepsFileAndLists() {
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        clickEntry(main.lstCatView, QStringLiteral("Fun"));
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        TypeInto(main.txtCatMod, QStringLiteral("Games"));
        {
            const FileSizeLimit limit(20);
            QTest::mouseClick(main.cmdCatMod, Qt::LeftButton);
        }
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        QCOMPARE(ShownTexts().size(), 1);
        QVERIFY(ShownTexts().first().startsWith(
            QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: ").arg(path)));
        QCOMPARE(fileBytes(path), kThree);
        QVERIFY(listsInStep(main, kThreeListed));
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatMod"));
        QCOMPARE(StatusText(main), QStringLiteral("Ready (Modify Category Menu)"));
        QCOMPARE(main.txtCatMod->text(), QStringLiteral("Games"));
    }

    // ---- Lists out of step after the owner message ----

    void deleteAndAddAfterTheOwnerMessage() {
        GuiTestEnv env;
        const QByteArray foreignLast =
            record(1, "Work") + record(2, "Home") + record(3, "Fun", kOther);
        frmMain &main = signIn(env, foreignLast);
        const QString path = env.path(QStringLiteral("USR1/CAT.DAT"));
        QCOMPARE(entries(main.cmbCatDel), (QStringList{"Home=2", "Work=1"}));

        // Delete "Work", chosen in the only list that holds it.
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        QCOMPARE(shownPanel(main), QStringLiteral("pctCatDel"));
        main.cmbCatDel->setCurrentIndex(1);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::keyClick(main.cmbCatDel, Qt::Key_Return);
        QCOMPARE(ShownTexts().value(1), QStringLiteral("The Category Work was succesfully deleted "
                                                       "along with any URL's stored under it!"));
        QCOMPARE(decodedIndex(path), (QStringList{"2 Home", "3 Fun"}));
        QCOMPARE(entries(main.cmbCatDel), QStringList{"Home=2"});
        QVERIFY(main.lstCatView->count() == 0 && main.cmbCatMod->count() == 0 &&
                main.cmbUrlCat->count() == 0);

        // Add "Travel": it goes into all four lists.
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("Travel"));
        QTest::keyClick(main.txtCatAdd, Qt::Key_Return);
        QCOMPARE(decodedIndex(path), (QStringList{"2 Home", "3 Fun", "4 Travel"}));
        QCOMPARE(entries(main.cmbCatDel), (QStringList{"Home=2", "Travel=4"}));
        QCOMPARE(entries(main.lstCatView), QStringList{"Travel=4"});
        QCOMPARE(entries(main.cmbCatMod), QStringList{"Travel=4"});
        QCOMPARE(entries(main.cmbUrlCat), QStringList{"Travel=4"});

        // Deleting "Travel" by its position in lstCatView would have named
        // "Home" in cmbCatDel; by number it is "Travel" everywhere.
        clickEntry(main.lstCatView, QStringLiteral("Travel"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        QCOMPARE(main.cmbCatDel->currentText(), QStringLiteral("Travel"));
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);
        QCOMPARE(decodedIndex(path), (QStringList{"2 Home", "3 Fun"}));
        QCOMPARE(entries(main.cmbCatDel), QStringList{"Home=2"});
        QVERIFY(main.lstCatView->count() == 0 && main.cmbCatMod->count() == 0 &&
                main.cmbUrlCat->count() == 0);
    }

    // ---- By keyboard only ----

    void byKeyboard() {
        // Keys go to the window as a keyboard sends them: access keys, the
        // arrow keys, typing and Enter.
        GuiTestEnv env;
        frmMain &main = signIn(env, kThree);
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
        QCOMPARE(main.lstCatView->selectedItems().value(0)->text(), QStringLiteral("Travel"));
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
        QCOMPARE(decodedIndex(env.path(QStringLiteral("USR1/CAT.DAT"))),
                 (QStringList{"1 Work", "2 Home", "3 Fun", "4 Trips"}));
    }
};

QTEST_MAIN(CategoriesTest)
#include "tst_categories.moc"

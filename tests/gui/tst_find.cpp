// Finding URLs through the real window: the Find URL menu and its search
// rules, the way from a URL found to the URL menu, the "already saved"
// hints, copying an address out, the index following every change, and
// nothing left behind after signing out.

#include "guitest.h"

#include "screens/clipboard.h"
#include "screens/foundurls.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "urls/urlfile.h"
#include "userdata/findindex.h"
#include "userdata/userdata.h"

#include <QDir>
#include <QFile>
#include <QTest>

using screens::Clipboard;
using screens::MsgAnswer;
using screens::MsgBox;

namespace {

// Work (1): two URLs, Home (2): two of the user's and one of another
// password, Apps (3): one.
frmMain &ThreeCategories(GuiTestEnv &env) {
    frmMain &main = SignInWithCategories(
        env,
        {{QStringLiteral("Work"), 1}, {QStringLiteral("Home"), 2}, {QStringLiteral("Apps"), 3}});
    WriteUrlFile(1,
                 UrlLine({1, QStringLiteral("news.example.com"), QStringLiteral("Daily paper")}) +
                     UrlLine({2, QStringLiteral("http://Intranet.local/wiki"),
                              QStringLiteral("Team pages*QVX*second line")}));
    WriteUrlFile(
        2, UrlLine({1, QStringLiteral("recipes.example.org"), QStringLiteral("Bread and cakes")}) +
               UrlLine({2, QStringLiteral("news.example.com"), QString()}) +
               UrlLine({3, QStringLiteral("secret.example"), QStringLiteral("paper"), true}));
    WriteUrlFile(3, UrlLine({1, QStringLiteral("apps.example"), QStringLiteral("x")}));
    return main;
}

void PressFind(frmMain &main) {
    QTest::keyClick(&main, Qt::Key_F, Qt::ControlModifier);
}

// The rows of the results list, as shown.
QStringList FoundRows(frmMain &main) {
    QStringList rows;
    const QAbstractItemModel *model = main.lstUrlFind->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 0).data().toString();
    return rows;
}

// Types `words` into the Find URL menu's box, emptied first.
QStringList Find(frmMain &main, const QString &words) {
    main.txtUrlFind->setText(QString());
    TypeInto(main.txtUrlFind, words);
    return FoundRows(main);
}

void ChooseFound(frmMain &main, const QString &rowText) {
    const int row = FoundRows(main).indexOf(rowText);
    QVERIFY2(row >= 0, qPrintable(rowText));
    const QModelIndex index = main.lstUrlFind->model()->index(row, 0);
    main.lstUrlFind->scrollTo(index);
    QTest::mouseClick(main.lstUrlFind->viewport(), Qt::LeftButton, {},
                      main.lstUrlFind->visualRect(index).center());
}

// What a fresh index built from the files finds for `words`, in the rows'
// form: the index the window keeps in step must find the same.
QStringList FoundOnDisk(const QString &words) {
    modMain::FindIndex fresh;
    fresh.build(modMain::UserFolderPath(1), modMain::PassStamp);
    QStringList rows;
    for (const modMain::FindIndex::Hit hit : fresh.find(words))
        rows << fresh.address(hit) + QStringLiteral("   (") + fresh.categoryName(hit) + u')';
    return rows;
}

QString ShowingPanels(frmMain &main) {
    QStringList showing;
    for (QWidget *w :
         {static_cast<QWidget *>(main.fraCatView), static_cast<QWidget *>(main.fraUrlView),
          static_cast<QWidget *>(main.fraUrlFind), static_cast<QWidget *>(main.pctUrlAdd),
          static_cast<QWidget *>(main.pctUrlMod)})
        if (w->isVisible())
            showing << w->objectName();
    return showing.join(u',');
}

void OpenUrlPanel(frmMain &main, QPushButton *button, const QString &category) {
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(category));
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class tst_Find : public QObject {
    Q_OBJECT
private slots:
    void openAndLeave_data();
    void openAndLeave();
    void notWhileSignedOut();
    void searchRules_data();
    void searchRules();
    void descriptionOfTheChosenRow();
    void toTheUrlMenu_data();
    void toTheUrlMenu();
    void toTheUrlMenuReadsOnlyTheFoundCategory();
    void savedInHint_data();
    void savedInHint();
    void modifyHintLeavesOutTheUrlBeingModified();
    void copyAndClear_data();
    void copyAndClear();
    void indexFollowsEveryChange_data();
    void indexFollowsEveryChange();
    void indexFollowsAChangeToOneOfTwoUrlsOfANumber_data();
    void indexFollowsAChangeToOneOfTwoUrlsOfANumber();
    void unreadableFileReportedOnce();
    void signOutLeavesNothing();
};

void tst_Find::openAndLeave_data() {
    QTest::addColumn<bool>("fromUrlMenu");
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("Ctrl+F, Back") << false << false;
    QTest::newRow("Ctrl+F, Escape") << false << true;
    QTest::newRow("URL menu button, Back") << true << false;
    QTest::newRow("URL menu button, Escape") << true << true;
}

void tst_Find::openAndLeave() {
    QFETCH(bool, fromUrlMenu);
    QFETCH(bool, byEscape);
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    if (fromUrlMenu) {
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        QCOMPARE(main.cmdUrlViewF->text(), QStringLiteral("&Find URL"));
        QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    } else {
        PressFind(main);
    }
    QCOMPARE(ShowingPanels(main), QStringLiteral("fraUrlFind"));
    QVERIFY(!main.cmbUrlCat->isVisible());
    QVERIFY(!main.lblIntro->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Find URL Menu"));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Find URL Menu)"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.txtUrlFind));
    QCOMPARE(main.lblUrlFindCh->text(), QStringLiteral("0 URL(s) found"));
    QCOMPARE(main.cmdUrlFindCncl->text(), QStringLiteral("&Back"));

    if (byEscape)
        QTest::keyClick(main.txtUrlFind, Qt::Key_Escape);
    else
        QTest::mouseClick(main.cmdUrlFindCncl, Qt::LeftButton);
    QCOMPARE(ShowingPanels(main), QString());
    QVERIFY(main.lblIntro->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Main Menu)"));
    QCOMPARE(ShownTexts(), QStringList());
}

void tst_Find::notWhileSignedOut() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    PressFind(main);
    QVERIFY(!main.fraUrlFind->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
}

void tst_Find::searchRules_data() {
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");

    const QString homeNews = QStringLiteral("news.example.com   (Home)");
    const QString workNews = QStringLiteral("news.example.com   (Work)");
    QTest::newRow("empty box") << "" << QStringList() << "0 URL(s) found";
    QTest::newRow("blanks only") << "   " << QStringList() << "0 URL(s) found";
    QTest::newRow("word of the address, by category then address")
        << "news" << QStringList{homeNews, workNews} << "2 URL(s) found";
    QTest::newRow("letter case ignored")
        << "NEWS.Example" << QStringList{homeNews, workNews} << "2 URL(s) found";
    QTest::newRow("part of a word")
        << "xampl"
        << QStringList{QStringLiteral("apps.example   (Apps)"),
                       QStringLiteral("news.example.com   (Home)"),
                       QStringLiteral("recipes.example.org   (Home)"), workNews}
        << "4 URL(s) found";
    QTest::newRow("word of the description")
        << "bread" << QStringList{QStringLiteral("recipes.example.org   (Home)")}
        << "1 URL(s) found";
    QTest::newRow("description after its line break")
        << "SECOND" << QStringList{QStringLiteral("http://Intranet.local/wiki   (Work)")}
        << "1 URL(s) found";
    QTest::newRow("category name, addresses in list order")
        << "work" << QStringList{QStringLiteral("http://Intranet.local/wiki   (Work)"), workNews}
        << "2 URL(s) found";
    QTest::newRow("every word, in different fields")
        << "paper news" << QStringList{workNews} << "1 URL(s) found";
    QTest::newRow("words split at any number of blanks")
        << "  home   bread " << QStringList{QStringLiteral("recipes.example.org   (Home)")}
        << "1 URL(s) found";
    QTest::newRow("one word without a match") << "news cakes" << QStringList() << "0 URL(s) found";
    QTest::newRow("another password's URL") << "secret" << QStringList() << "0 URL(s) found";
}

void tst_Find::searchRules() {
    QFETCH(QString, words);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    QCOMPARE(Find(main, words), rows);
    QCOMPARE(main.lblUrlFindCh->text(), count);
    // Foreign records are left out without a word: they are announced
    // where their category is listed.
    QCOMPARE(ShownTexts(), QStringList());
}

void tst_Find::descriptionOfTheChosenRow() {
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    Find(main, QStringLiteral("work"));
    QCOMPARE(main.txtUrlFindDesc->toPlainText(), QString());
    ChooseFound(main, QStringLiteral("http://Intranet.local/wiki   (Work)"));
    QCOMPARE(main.txtUrlFindDesc->toPlainText(), QStringLiteral("Team pages\nsecond line"));
    QVERIFY(main.txtUrlFindDesc->isReadOnly());
    QCOMPARE(main.lstUrlFind->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Team pages\nsecond line"));
    // Typing on empties it with the results it described.
    TypeInto(main.txtUrlFind, QStringLiteral(" daily"));
    QCOMPARE(FoundRows(main), QStringList{QStringLiteral("news.example.com   (Work)")});
    QCOMPARE(main.txtUrlFindDesc->toPlainText(), QString());
}

// A panel that left another category chosen: going to a URL found reads the
// found URL's category alone, so the other one's foreign record is not
// announced again on the way.
void tst_Find::toTheUrlMenuReadsOnlyTheFoundCategory() {
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    main.cmdURL_Click();
    main.cmdUrlViewD_Click();
    // Home chosen on the Delete URL panel: its list loads, announcing the
    // foreign record, and the menu's list is left empty.
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Home")));
    QCOMPARE(main.cmbUrlDel->count(), 2);
    QCOMPARE(main.UrlViewCatNo, 0);
    MsgBox::reset();
    PressFind(main);
    main.txtUrlFind->setText(QStringLiteral("apps"));
    QTest::keyClick(main.txtUrlFind, Qt::Key_Return);
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Apps"));
    QCOMPARE(main.UrlViewCatNo, 3);
    QCOMPARE(main.lstUrlView->count(), 1);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (URL View Menu)"));
    QCOMPARE(MsgBox::shown().size(), 0);
}

void tst_Find::toTheUrlMenu_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("description");
    QTest::newRow("Enter in the box: the first URL found") << "enter in box"
                                                           << ""
                                                           << "Home"
                                                           << "news.example.com"
                                                           << "";
    QTest::newRow("Down, then Enter in the list") << "down enter"
                                                  << ""
                                                  << "Home"
                                                  << "news.example.com"
                                                  << "";
    QTest::newRow("double-click on a row") << "double-click"
                                           << "news.example.com   (Work)"
                                           << "Work"
                                           << "news.example.com"
                                           << "Daily paper";
    QTest::newRow("Enter on a chosen row") << "enter in list"
                                           << "news.example.com   (Work)"
                                           << "Work"
                                           << "news.example.com"
                                           << "Daily paper";
}

void tst_Find::toTheUrlMenu() {
    QFETCH(QString, how);
    QFETCH(QString, row);
    QFETCH(QString, category);
    QFETCH(QString, address);
    QFETCH(QString, description);
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    // The URL menu lists another category before.
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Apps")));
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    Find(main, QStringLiteral("news"));
    if (!row.isEmpty())
        ChooseFound(main, row);
    if (how == QLatin1String("enter in box")) {
        QTest::keyClick(main.txtUrlFind, Qt::Key_Return);
    } else if (how == QLatin1String("down enter")) {
        QTest::keyClick(main.txtUrlFind, Qt::Key_Down);
        QCOMPARE(main.lstUrlFind->selectionModel()->selectedIndexes().value(0).row(), 0);
        QTest::keyClick(main.lstUrlFind, Qt::Key_Return);
    } else if (how == QLatin1String("enter in list")) {
        QTest::keyClick(main.lstUrlFind, Qt::Key_Enter);
    } else {
        const int r = FoundRows(main).indexOf(row);
        const QPoint at =
            main.lstUrlFind->visualRect(main.lstUrlFind->model()->index(r, 0)).center();
        QTest::mouseDClick(main.lstUrlFind->viewport(), Qt::LeftButton, {}, at);
    }

    QCOMPARE(ShowingPanels(main), QStringLiteral("fraUrlView"));
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("URL's Menu"));
    QCOMPARE(main.cmbUrlCat->currentText(), category);
    QCOMPARE(main.UrlViewCatNo, main.cmbUrlCat->chosenNumber());
    QCOMPARE(RowText(main.lstUrlView, main.lstUrlView->selectedRow()), address);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), description);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (URL View Menu)"));
    // The foreign record of Home is announced as listing it always does.
    QCOMPARE(ShownTexts().size(), category == QLatin1String("Home") ? 1 : 0);
}

void tst_Find::savedInHint_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("hint");
    const QString both = QStringLiteral("Already saved in: Home, Work");
    QTest::newRow("as stored") << "news.example.com" << both;
    QTest::newRow("with http://, as View opens it") << "http://news.example.com" << both;
    QTest::newRow("scheme and host in capitals, path /") << "HTTP://NEWS.Example.COM/" << both;
    QTest::newRow("blanks around") << "  news.example.com  " << both;
    QTest::newRow("default port, dot segment") << "news.example.com:80/a/.." << both;
    QTest::newRow("stored with http:// and capitals") << "intranet.local/wiki"
                                                      << "Already saved in: Work";
    QTest::newRow("https is another address") << "https://news.example.com"
                                              << "";
    QTest::newRow("www. is another address") << "www.news.example.com"
                                             << "";
    QTest::newRow("path letter case counts") << "intranet.local/WIKI"
                                             << "";
    QTest::newRow("another path") << "news.example.com/a"
                                  << "";
    QTest::newRow("only begun") << "news.exam"
                                << "";
    QTest::newRow("another password's URL") << "secret.example"
                                            << "";
    QTest::newRow("nothing typed") << ""
                                   << "";
}

void tst_Find::savedInHint() {
    QFETCH(QString, typed);
    QFETCH(QString, hint);
    for (const bool modify : {false, true}) {
        GuiTestEnv env;
        frmMain &main = ThreeCategories(env);
        OpenUrlPanel(main, modify ? main.cmdUrlViewM : main.cmdUrlViewA, QStringLiteral("Apps"));
        QLineEdit *box = modify ? main.txtUrlMod : main.txtUrlAdd;
        QLabel *label = modify ? main.lblUrlModSaved : main.lblUrlAddSaved;
        QCOMPARE(label->text(), QString());
        TypeInto(box, typed);
        QCOMPARE(label->text(), hint);
        QVERIFY(label->isVisible() || hint.isEmpty());
        // Directly under the box, as wide.
        QCOMPARE(label->x(), box->x());
        QVERIFY(qAbs(label->y() - (box->y() + box->height())) <= 1);
        QCOMPARE(ShownTexts(), QStringList());
        if (modify)
            continue;
        // It never blocks: the address is added all the same.
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Apps")));
        if (!typed.trimmed().isEmpty()) {
            QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
            QCOMPARE(ShownTexts(),
                     QStringList{QStringLiteral("Success! The URL was added under the Category "
                                                "Apps")});
        }
    }
}

void tst_Find::copyAndClear_data() {
    QTest::addColumn<bool>("fromFind");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("copiedSince");
    for (const bool fromFind : {false, true}) {
        for (const char *ending : {"30 seconds", "sign-out", "exit"}) {
            for (const bool since : {false, true}) {
                const QByteArray name = QByteArray(fromFind ? "find results" : "URL list") + ", " +
                                        ending + (since ? ", copied over since" : ", unchanged");
                QTest::newRow(name.constData()) << fromFind << QString::fromLatin1(ending) << since;
            }
        }
    }
}

void tst_Find::copyAndClear() {
    QFETCH(bool, fromFind);
    QFETCH(QString, ending);
    QFETCH(bool, copiedSince);
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Work")));
    if (fromFind) {
        QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
        Find(main, QStringLiteral("news"));
        ChooseFound(main, QStringLiteral("news.example.com   (Work)"));
        QTest::keyClick(main.lstUrlFind, Qt::Key_C, Qt::ControlModifier);
    } else {
        ClickEntry(main.lstUrlView, QStringLiteral("news.example.com"));
        QTest::keyClick(main.lstUrlView, Qt::Key_C, Qt::ControlModifier);
    }
    // As View opens it, marked for clipboard managers.
    QCOMPARE(Clipboard::text(), QStringLiteral("http://news.example.com"));
    QCOMPARE(Clipboard::data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QCOMPARE(Clipboard::pendingMs(), 30000);

    if (copiedSince)
        Clipboard::scriptOtherCopy(QStringLiteral("something else"));
    if (ending == QLatin1String("30 seconds")) {
        Clipboard::elapse();
    } else if (ending == QLatin1String("sign-out")) {
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
        QCOMPARE(modMain::UserNo, qint16(0));
    } else {
        QTest::mouseClick(main.cmdQuit, Qt::LeftButton);
    }
    QCOMPARE(Clipboard::text(), copiedSince ? QStringLiteral("something else") : QString());
    QCOMPARE(Clipboard::pendingMs(), 0);
}

// On Modify URL, the URL being modified does not count as saved in its own
// category; another URL of that category with the same address does.
void tst_Find::modifyHintLeavesOutTheUrlBeingModified() {
    for (const bool twice : {false, true}) {
        GuiTestEnv env;
        frmMain &main = ThreeCategories(env);
        if (twice)
            WriteUrlFile(1, UrlLine({1, QStringLiteral("news.example.com"), QString()}) +
                                UrlLine({2, QStringLiteral("http://news.example.com"), QString()}));
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Work")));
        ClickEntry(main.lstUrlView, QStringLiteral("news.example.com"));
        QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
        QCOMPARE(main.cmbUrlMod->currentText(), QStringLiteral("news.example.com"));
        main.txtUrlMod->clear();
        TypeInto(main.txtUrlMod, QStringLiteral("news.example.com"));
        QCOMPARE(main.lblUrlModSaved->text(), twice ? QStringLiteral("Already saved in: Home, Work")
                                                    : QStringLiteral("Already saved in: Home"));
        main.txtUrlMod->clear();
        TypeInto(main.txtUrlMod, QStringLiteral("intranet.local/wiki"));
        QCOMPARE(main.lblUrlModSaved->text(),
                 twice ? QString() : QStringLiteral("Already saved in: Work"));
    }
}

void tst_Find::indexFollowsEveryChange_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("add URL") << "add url"
                             << "fresh" << QStringList{QStringLiteral("fresh.example   (Apps)")};
    QTest::newRow("delete URL") << "delete url"
                                << "news"
                                << QStringList{QStringLiteral("news.example.com   (Home)")};
    QTest::newRow("modify URL, description kept")
        << "modify url"
        << "paper" << QStringList{QStringLiteral("olds.example.com   (Work)")};
    QTest::newRow("modify URL and description")
        << "modify url and description"
        << "changed" << QStringList{QStringLiteral("olds.example.com   (Work)")};
    QTest::newRow("add category, then a URL to it")
        << "add category"
        << "zoo" << QStringList{QStringLiteral("z.example   (Zoo)")};
    QTest::newRow("rename category")
        << "rename category"
        << "house"
        << QStringList{QStringLiteral("news.example.com   (House)"),
                       QStringLiteral("recipes.example.org   (House)")};
    QTest::newRow("delete category")
        << "delete category"
        << "news" << QStringList{QStringLiteral("news.example.com   (Home)")};
}

void tst_Find::indexFollowsEveryChange() {
    QFETCH(QString, change);
    QFETCH(QString, words);
    QFETCH(QStringList, rows);
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    // The index is read at the first find, before the change.
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    QVERIFY(main.Data->index().isBuilt());
    Find(main, QStringLiteral("example"));
    QCOMPARE(main.lblUrlFindCh->text(), QStringLiteral("4 URL(s) found"));

    if (change == QLatin1String("add url")) {
        OpenUrlPanel(main, main.cmdUrlViewA, QString());
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Apps")));
        TypeInto(main.txtUrlAdd, QStringLiteral("fresh.example"));
        QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
    } else if (change == QLatin1String("delete url")) {
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Work")));
        ClickEntry(main.lstUrlView, QStringLiteral("news.example.com"));
        QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);
        QTest::mouseClick(main.cmdUrlDel, Qt::LeftButton);
    } else if (change.startsWith(QLatin1String("modify url"))) {
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Work")));
        ClickEntry(main.lstUrlView, QStringLiteral("news.example.com"));
        QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
        main.txtUrlMod->setText(QStringLiteral("olds.example.com"));
        if (change.endsWith(QLatin1String("description")))
            main.txtUrlModDesc->setText(QStringLiteral("Changed text"));
        QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);
    } else if (change == QLatin1String("add category")) {
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        TypeInto(main.txtCatAdd, QStringLiteral("Zoo"));
        QTest::mouseClick(main.cmdCatAdd, Qt::LeftButton);
        OpenUrlPanel(main, main.cmdUrlViewA, QString());
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Zoo")));
        TypeInto(main.txtUrlAdd, QStringLiteral("z.example"));
        QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
    } else if (change == QLatin1String("rename category")) {
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewM, Qt::LeftButton);
        TypeInto(main.txtCatMod, QStringLiteral("House"));
        QTest::mouseClick(main.cmdCatMod, Qt::LeftButton);
    } else if (change == QLatin1String("delete category")) {
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Work"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);
    }
    for (const QString &text : ShownTexts())
        QVERIFY2(text.startsWith(QLatin1String("Success")) ||
                     text.startsWith(QLatin1String("The ")) ||
                     text.startsWith(QLatin1String("Are you sure")) ||
                     text.contains(QLatin1String("Imposter")),
                 qPrintable(text));

    // Without reading the files again, the index finds what they hold.
    PressFind(main);
    QCOMPARE(Find(main, words), rows);
    for (const QString &other :
         {QStringLiteral("example"), QStringLiteral("news"), QStringLiteral("paper"),
          QStringLiteral("home"), QStringLiteral("work"), words})
        QCOMPARE(Find(main, other), FoundOnDisk(other));
}

void tst_Find::unreadableFileReportedOnce() {
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    // A folder where Home's file should be.
    const QString path = modMain::UrlFilePath(1, 2);
    QFile::remove(path);
    QVERIFY(QDir().mkdir(path));
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    QCOMPARE(MsgBox::shown().size(), 1);
    QVERIFY2(MsgBox::shown()[0].text.contains(path), qPrintable(MsgBox::shown()[0].text));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Find URL Menu)"));
    // The rest is found, and nothing is read or reported again.
    QCOMPARE(Find(main, QStringLiteral("news")),
             QStringList{QStringLiteral("news.example.com   (Work)")});
    QTest::mouseClick(main.cmdUrlFindCncl, Qt::LeftButton);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    OpenUrlPanel(main, main.cmdUrlViewA, QString());
    TypeInto(main.txtUrlAdd, QStringLiteral("apps.example"));
    QCOMPARE(main.lblUrlAddSaved->text(), QStringLiteral("Already saved in: Apps"));
    QCOMPARE(MsgBox::shown().size(), 1);
}

void tst_Find::signOutLeavesNothing() {
    GuiTestEnv env;
    frmMain &main = ThreeCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    Find(main, QStringLiteral("news"));
    ChooseFound(main, QStringLiteral("news.example.com   (Work)"));
    QCOMPARE(main.txtUrlFindDesc->toPlainText(), QStringLiteral("Daily paper"));
    OpenUrlPanel(main, main.cmdUrlViewA, QString());
    TypeInto(main.txtUrlAdd, QStringLiteral("news.example.com"));
    QVERIFY(!main.lblUrlAddSaved->text().isEmpty());
    OpenUrlPanel(main, main.cmdUrlViewM, QString());
    TypeInto(main.txtUrlMod, QStringLiteral("recipes.example.org"));
    QVERIFY(!main.lblUrlModSaved->text().isEmpty());

    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QCOMPARE(modMain::UserNo, qint16(0));

    QVERIFY(!main.Data->index().isBuilt());
    QCOMPARE(main.Data->index().urlCount(), 0);
    QCOMPARE(main.Data->index().categoryCount(), 0);
    QCOMPARE(main.Data->index().memoryBytes(), 0);
    QCOMPARE(main.lstUrlFind->model()->rowCount(), 0);
    QCOMPARE(main.txtUrlFind->text(), QString());
    QVERIFY(!main.txtUrlFind->isUndoAvailable());
    QCOMPARE(main.lblUrlFindCh->text(), QStringLiteral("0 URL(s) found"));
    QCOMPARE(main.txtUrlFindDesc->toPlainText(), QString());
    QCOMPARE(main.lblUrlAddSaved->text(), QString());
    QCOMPARE(main.lblUrlModSaved->text(), QString());
    QCOMPARE(main.txtUrlMod->text(), QString());
    QCOMPARE(main.txtUrlAdd->text(), QString());
    QVERIFY(!main.fraUrlFind->isVisible());
}

void tst_Find::indexFollowsAChangeToOneOfTwoUrlsOfANumber_data() {
    QTest::addColumn<bool>("modify");
    QTest::newRow("delete") << false;
    QTest::newRow("modify") << true;
}

// A URL file that holds a number twice (as a merge of an interrupted delete
// can leave it): the change touches the record chosen, and the index finds
// what the files hold afterwards.
void tst_Find::indexFollowsAChangeToOneOfTwoUrlsOfANumber() {
    QFETCH(bool, modify);
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("Work"), 1}});
    WriteUrlFile(1, UrlLine({1, QStringLiteral("first.example"), QStringLiteral("one")}) +
                        UrlLine({1, QStringLiteral("twin.example"), QStringLiteral("two")}));
    PressFind(main);
    QCOMPARE(Find(main, QStringLiteral("example")).size(), 2);

    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Work")));
    ClickEntry(main.lstUrlView, QStringLiteral("twin.example"));
    if (modify) {
        QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
        main.txtUrlMod->setText(QStringLiteral("other.example"));
        QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);
    } else {
        QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);
        QTest::mouseClick(main.cmdUrlDel, Qt::LeftButton);
    }
    const QStringList expected = modify ? QStringList{QStringLiteral("first.example   (Work)"),
                                                      QStringLiteral("other.example   (Work)")}
                                        : QStringList{QStringLiteral("first.example   (Work)")};
    QCOMPARE(FoundOnDisk(QStringLiteral("example")), expected);
    PressFind(main);
    QCOMPARE(Find(main, QStringLiteral("example")), expected);
    QCOMPARE(Find(main, QStringLiteral("two")),
             modify ? QStringList{QStringLiteral("other.example   (Work)")} : QStringList());
}

QTEST_MAIN(tst_Find)
#include "tst_find.moc"

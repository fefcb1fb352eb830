// The URL screens: moving between the URLs menu and its panels, choosing a
// category on each, listing, reading a description and opening an address.

#include "guitest.h"

#include "screens/layout.h"
#include "screens/msgbox.h"
#include "screens/openaddress.h"
#include "session/modMain.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include <QFileInfo>
#include <QTest>

using screens::MsgBox;

namespace {

const QString kPlaceholder =
    QStringLiteral("The Description of any URL you choose from the list of URL's on top will be "
                   "displayed in here.");
const QString kHint =
    QStringLiteral("Please limit your Description to not more than 250 characters!");
const QString kImposter =
    QStringLiteral("               Imposter! These files don't seem to belong to you.\r\n\r\n"
                   "          Please refer the readme.txt file for more information.");

// Which of the URL screens shows.
QString ShowingScreen(frmMain &m) {
    QStringList showing;
    for (QWidget *w : {static_cast<QWidget *>(m.fraUrlView), static_cast<QWidget *>(m.pctUrlAdd),
                       static_cast<QWidget *>(m.pctUrlDel), static_cast<QWidget *>(m.pctUrlMod)})
        if (w->isVisible())
            showing << w->objectName();
    return showing.join(u',');
}

// Category 1 "News" with three URLs, category 2 "Apps" with one.
frmMain &TwoCategories(GuiTestEnv &env) {
    frmMain &main =
        SignInWithCategories(env, {{QStringLiteral("News"), 1}, {QStringLiteral("Apps"), 2}});
    WriteUrlFile(1, UrlLine({1, QStringLiteral("b.org"), QStringLiteral("bee")}) +
                        UrlLine({2, QStringLiteral("a.org"), QStringLiteral("line1*QVX*line2")}) +
                        UrlLine({3, QStringLiteral("c.org"), QString()}));
    WriteUrlFile(2, UrlLine({1, QStringLiteral("apps.example"), QStringLiteral("x")}));
    return main;
}

int Position(frmMain &main, const QString &category) {
    return main.cmbUrlCat->findText(category);
}

void MenuOnNews(frmMain &main) {
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
}

} // namespace

class tst_Urls : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void screens_data();
    void screens();
    void backToTheMainMenu();
    void urlMenuRightAfterSignIn();
    void choosingACategory_data();
    void choosingACategory();
    void choosingByKeyboardLists();
    void noReloadMarker();
    void foreignLinesAnnouncedOneEach();
    void unreadableFileSaysSo();
    void categoryDoubleClickLandsOnTheList();
    void choiceOnTheAddPanelListsOnTheNextVisit();
    void signingOutForgetsTheListedCategory();
    void deletedCategoryLeavesNoList();
    void description_data();
    void description();
    void open_data();
    void open();
    void openWithoutChoice();
    void openRefusedByTheDesktop();
};

void tst_Urls::cleanup() {
    screens::SetOpenAddressHandler({});
}

void tst_Urls::screens_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("subtitle");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("nxtTag");

    QTest::newRow("URL menu") << ""
                              << "fraUrlView"
                              << "URL's Menu"
                              << "Please choose a Category : "
                              << "What would you like to do? Add, Delete or Modify a URL?"
                              << "";
    QTest::newRow("Add URL") << "cmdUrlViewA"
                             << "pctUrlAdd"
                             << "Add URL Menu"
                             << "Please choose the category to Add this URL under : "
                             << "Ready (Add URL Menu)"
                             << "A";
    QTest::newRow("Delete URL")
        << "cmdUrlViewD"
        << "pctUrlDel"
        << "Delete URL Menu"
        << "Please choose the category which has the URL you want to Delete : "
        << "Ready (Delete URL Menu)"
        << "D";
    QTest::newRow("Modify URL") << "cmdUrlViewM"
                                << "pctUrlMod"
                                << "Modify URL Menu"
                                << "Please choose the category which has the URL : "
                                << "Ready (Modify URL Menu)"
                                << "M";
}

void tst_Urls::screens() {
    QFETCH(QString, button);
    QFETCH(QString, screen);
    QFETCH(QString, subtitle);
    QFETCH(QString, prompt);
    QFETCH(QString, status);
    QFETCH(QString, nxtTag);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    if (!button.isEmpty())
        QTest::mouseClick(main.findChild<QPushButton *>(button), Qt::LeftButton);

    QCOMPARE(ShowingScreen(main), screen);
    QVERIFY(main.lblUrlCat->isVisible());
    QVERIFY(main.cmbUrlCat->isVisible());
    QVERIFY(!main.lblIntro->isVisible());
    QVERIFY(!main.cmdUrlNxt->isVisible());
    QCOMPARE(main.lblSubTitle->text(), subtitle);
    QCOMPARE(main.lblUrlCat->text(), prompt);
    QCOMPARE(StatusText(main), status);
    QCOMPARE(main.cmdUrlNxtTag, nxtTag);
    // The prompt is as wide as its caption is estimated (8.25 pt, 82.5 twips
    // a character); the chooser starts where it ends.
    const int width = screens::TwipsToPixels(8.25f * 10.0f * float(prompt.size()), 15.0f);
    QCOMPARE(main.lblUrlCat->width(), width);
    QVERIFY(qAbs(main.cmbUrlCat->x() - (main.lblUrlCat->x() + width)) <= 1);
    // The panel's fields follow the prompt's width.
    const auto near = [](int a, int b) { return qAbs(a - b) <= 1; };
    if (screen == QLatin1String("pctUrlAdd")) {
        QCOMPARE(main.txtUrlAdd->text(), QString());
        QCOMPARE(main.txtUrlAddCh->text(), kHint);
        QCOMPARE(main.lblUrlAdd->width(), width);
        QVERIFY(near(main.txtUrlAdd->x(), main.lblUrlAdd->x() + width));
        QCOMPARE(main.txtUrlAddCh->x(), main.txtUrlAdd->x());
    }
    if (screen == QLatin1String("pctUrlDel"))
        QVERIFY(near(main.cmbUrlDel->x(), width));
    if (screen == QLatin1String("pctUrlMod")) {
        QCOMPARE(main.txtUrlModDesc->text(), kHint);
        QCOMPARE(main.cmbUrlMod->width(), main.cmbUrlCat->width());
        QVERIFY(near(main.txtUrlMod->x(), main.lblUrlModCh->x() + width));
        QCOMPARE(main.txtUrlModDesc->x(), main.txtUrlMod->x());
    }
    QVERIFY(MsgBox::shown().isEmpty());
}

void tst_Urls::backToTheMainMenu() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {});
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewCncl, Qt::LeftButton);
    QCOMPARE(ShowingScreen(main), QString());
    QVERIFY(!main.cmbUrlCat->isVisible());
    QVERIFY(main.lblIntro->isVisible());
    QVERIFY(main.lblSubTitle->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Main Menu)"));

    // Every panel's Back leads to the URL menu.
    using Buttons = std::pair<QPushButton *, QPushButton *>;
    for (auto [open, back] : {Buttons{main.cmdUrlViewA, main.cmdUrlAddCncl},
                              Buttons{main.cmdUrlViewD, main.cmdUrlDelCncl},
                              Buttons{main.cmdUrlViewM, main.cmdUrlModCncl}}) {
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        QTest::mouseClick(open, Qt::LeftButton);
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(ShowingScreen(main), QStringLiteral("fraUrlView"));
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("URL's Menu"));
    }
}

void tst_Urls::urlMenuRightAfterSignIn() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_U, Qt::AltModifier); // "&URL'S" (an animated click)
    QTRY_COMPARE(ShowingScreen(main), QStringLiteral("fraUrlView"));
    QCOMPARE(main.lstUrlView->count(), 0);
    QCOMPARE(main.cmbUrlCat->currentIndex(), -1);
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("0 URL(s) under choosen Category are : "));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.cmbUrlCat));
}

void tst_Urls::choosingACategory_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("view");
    QTest::addColumn<QStringList>("del");
    QTest::addColumn<QStringList>("mod");
    QTest::addColumn<QString>("status");

    // In list order, each with its URL number.
    const QStringList three{"a.org=2", "b.org=1", "c.org=3"};
    QTest::newRow("URL menu") << "" << three << QStringList() << QStringList()
                              << "Ready (URL(s) Menu)";
    QTest::newRow("Delete panel") << "cmdUrlViewD" << QStringList() << three << QStringList()
                                  << "Ready (Delete URL Menu)";
    QTest::newRow("Modify panel") << "cmdUrlViewM" << QStringList() << QStringList() << three
                                  << "Ready (Modify URL Menu)";
    QTest::newRow("Add panel loads nothing") << "cmdUrlViewA" << QStringList() << QStringList()
                                             << QStringList() << "Ready (Add URL Menu)";
}

void tst_Urls::choosingACategory() {
    QFETCH(QString, button);
    QFETCH(QStringList, view);
    QFETCH(QStringList, del);
    QFETCH(QStringList, mod);
    QFETCH(QString, status);

    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    if (!button.isEmpty())
        QTest::mouseClick(main.findChild<QPushButton *>(button), Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));

    QCOMPARE(ListedEntries(main.lstUrlView), view);
    QCOMPARE(ListedEntries(main.cmbUrlDel), del);
    QCOMPARE(ListedEntries(main.cmbUrlMod), mod);
    QCOMPARE(StatusText(main), status);
    QCOMPARE(main.cmbUrlDel->currentIndex(), -1);
    QCOMPARE(main.cmbUrlMod->currentIndex(), -1);
    if (button.isEmpty()) {
        QCOMPARE(main.lblUrlView->text(), QStringLiteral("3 URL(s) under choosen Category are : "));
        QCOMPARE(main.txtUrlViewDesc->toPlainText(), kPlaceholder);
        QCOMPARE(main.lstUrlView->selectedRow(), -1);
    }
    QVERIFY(MsgBox::shown().isEmpty());
}

void tst_Urls::choosingByKeyboardLists() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(ShowingScreen(main), QStringLiteral("fraUrlView"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.cmbUrlCat));
    QTest::keyClick(main.cmbUrlCat, Qt::Key_Down); // "Apps", then "News"
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{QStringLiteral("apps.example=1")});
    QTest::keyClick(main.cmbUrlCat, Qt::Key_Down);
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"a.org=2", "b.org=1", "c.org=3"}));
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("3 URL(s) under choosen Category are : "));
}

void tst_Urls::noReloadMarker() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("Apps")));
    SetStatus(QStringLiteral("before"));
    main.cmbUrlCatTag = QStringLiteral("1NO");
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{QStringLiteral("apps.example=1")});
    QCOMPARE(StatusText(main), QStringLiteral("before"));

    // Any other tag lets a choice load.
    main.cmbUrlCatTag = QStringLiteral("OK");
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("Apps")));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (URL(s) Menu)"));
}

void tst_Urls::foreignLinesAnnouncedOneEach() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path =
        WriteUrlFile(1, UrlLine({1, QStringLiteral("first.org"), QString()}) +
                            UrlLine({2, QStringLiteral("second.org"), QString(), true}) + "\r\n" +
                            UrlLine({3, QStringLiteral("third.org"), QString()}) +
                            "a line without separator\r\n" +
                            UrlLine({4, QStringLiteral("fourth.org"), QString(), true}));
    const QByteArray before = FileBytes(path);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(0);
    QCOMPARE(ShownTexts(), (QStringList{kImposter, kImposter}));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"first.org=1", "third.org=3"}));
    QCOMPARE(FileBytes(path), before);
}

void tst_Urls::unreadableFileSaysSo() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("Apps")));
    // A folder where the News file should be.
    const QString path = modMain::UrlFilePath(1, 1);
    QFile::remove(path);
    QVERIFY(QDir().mkdir(path));
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
    QCOMPARE(MsgBox::shown().size(), 1);
    QVERIFY2(MsgBox::shown()[0].text.contains(path), qPrintable(MsgBox::shown()[0].text));
    QCOMPARE(main.lstUrlView->count(), 0);
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("0 URL(s) under choosen Category are : "));
}

void tst_Urls::categoryDoubleClickLandsOnTheList() {
    // A double-click on a category of the Categories menu shows the URL menu
    // listing that category's URLs.
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QTest::mouseClick(main.cmdCat, Qt::LeftButton);
    ClickEntry(main.lstCatView, QStringLiteral("News"));
    const QPoint at = main.lstCatView->visualRect(main.lstCatView->currentIndex()).center();
    QTest::mouseDClick(main.lstCatView->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(ShowingScreen(main), QStringLiteral("fraUrlView"));
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"a.org=2", "b.org=1", "c.org=3"}));
    QCOMPARE(StatusText(main),
             QStringLiteral("What would you like to do? Add, Delete or Modify a URL?"));
    QVERIFY(MsgBox::shown().isEmpty());
}

void tst_Urls::choiceOnTheAddPanelListsOnTheNextVisit() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOnNews(main);
    // "Apps" is chosen on the Add URL panel, which loads no list, and the
    // panel is left for the Categories menu: the hidden URL list is still
    // News's.
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("Apps")));
    QTest::mouseClick(main.cmdCat, Qt::LeftButton);
    QVERIFY(!main.cmbUrlCat->isVisible());
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Apps"));
    QCOMPARE(main.lstUrlView->count(), 3);
    // The URL menu catches up when it opens again.
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{QStringLiteral("apps.example=1")});
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("1 URL(s) under choosen Category are : "));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), kPlaceholder);
    QVERIFY(MsgBox::shown().isEmpty());
}

void tst_Urls::signingOutForgetsTheListedCategory() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOnNews(main);
    QCOMPARE(main.lstUrlView->count(), 3);
    MsgBox::queueAnswer(screens::MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QCOMPARE(main.lstUrlView->count(), 0);
    SignInByKeyboard(main, kTestUser, kTestPassword);
    // News again, chosen on the Add URL panel (which loads nothing): back on
    // the menu its URLs are listed, although News was the category listed
    // before signing out.
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
    QCOMPARE(main.lstUrlView->count(), 0);
    QTest::mouseClick(main.cmdUrlAddCncl, Qt::LeftButton);
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"a.org=2", "b.org=1", "c.org=3"}));
}

void tst_Urls::deletedCategoryLeavesNoList() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOnNews(main);
    // "News" is deleted on the Categories screens.
    QTest::mouseClick(main.cmdCat, Qt::LeftButton);
    ClickEntry(main.lstCatView, QStringLiteral("News"));
    QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
    MsgBox::queueAnswer(screens::MsgAnswer::Yes);
    QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);
    QCOMPARE(ListedEntries(main.cmbUrlCat), QStringList{QStringLiteral("Apps=2")});
    QCOMPARE(main.cmbUrlCat->currentIndex(), -1);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QCOMPARE(main.lstUrlView->count(), 0);
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("0 URL(s) under choosen Category are : "));
}

void tst_Urls::description_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("shown");

    QTest::newRow("line breaks restored") << "a.org"
                                          << "line1\nline2";
    QTest::newRow("one line") << "b.org"
                              << "bee";
    QTest::newRow("empty") << "c.org"
                           << "";
}

void tst_Urls::description() {
    QFETCH(QString, address);
    QFETCH(QString, shown);

    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
    ClickEntry(main.lstUrlView, address);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), shown);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (URL View Menu)"));
}

void tst_Urls::open_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("opened");

    QTest::newRow("http kept") << "http://a.org/x"
                               << "http://a.org/x";
    QTest::newRow("HTTP in capitals kept") << "HTTP://A.ORG/X"
                                           << "HTTP://A.ORG/X";
    QTest::newRow("https kept") << "https://a.org/"
                                << "https://a.org/";
    QTest::newRow("HtTpS mixed case kept") << "HtTpS://a.org"
                                           << "HtTpS://a.org";
    QTest::newRow("bare host prefixed") << "www.a.org"
                                        << "http://www.a.org";
    QTest::newRow("short address prefixed") << "a.b"
                                            << "http://a.b";
    QTest::newRow("ftp prefixed") << "ftp://a.org"
                                  << "http://ftp://a.org";
    QTest::newRow("file prefixed") << "file:///etc/passwd"
                                   << "http://file:///etc/passwd";
    QTest::newRow("javascript prefixed") << "javascript:alert(1)"
                                         << "http://javascript:alert(1)";
    QTest::newRow("shell characters are plain text")
        << "a.org/x;rm -rf $HOME&&calc>out<in`id`"
        << "http://a.org/x;rm -rf $HOME&&calc>out<in`id`";
}

void tst_Urls::open() {
    QFETCH(QString, address);
    QFETCH(QString, opened);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    WriteUrlFile(1, UrlLine({1, address, QString()}));
    QList<QUrl> seen;
    screens::SetOpenAddressHandler([&](const QUrl &url) {
        seen << url;
        return true;
    });
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(0);
    ClickListRow(main.lstUrlView, 0);
    QTest::mouseClick(main.cmdUrlViewV, Qt::LeftButton);

    QCOMPARE(seen.size(), 1);
    // The whole text reaches the desktop as one web address: nothing is run,
    // and no scheme but http and https is ever handed over.
    QCOMPARE(seen[0], QUrl(opened, QUrl::TolerantMode));
    if (seen[0].isValid())
        QVERIFY2(seen[0].scheme() == QLatin1String("http") ||
                     seen[0].scheme() == QLatin1String("https"),
                 qPrintable(seen[0].scheme()));
    QVERIFY(MsgBox::shown().isEmpty());
}

void tst_Urls::openWithoutChoice() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    int opened = 0;
    screens::SetOpenAddressHandler([&](const QUrl &) { return ++opened, true; });
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
    QTest::mouseClick(main.cmdUrlViewV, Qt::LeftButton);
    QCOMPARE(ShownTexts(), QStringList{QStringLiteral("Please choose a URL you wish to view!")});
    QCOMPARE(opened, 0);
}

void tst_Urls::openRefusedByTheDesktop() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    screens::SetOpenAddressHandler([](const QUrl &) { return false; });
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(Position(main, QStringLiteral("News")));
    ClickListRow(main.lstUrlView, 0);
    QTest::mouseClick(main.cmdUrlViewV, Qt::LeftButton);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Sorry, the address could not be opened in your web "
                                        "browser:\r\n\r\nhttp://a.org")});
}

QTEST_MAIN(tst_Urls)
#include "tst_urls.moc"

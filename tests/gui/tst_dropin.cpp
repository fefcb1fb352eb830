// Links dropped on the main window or pasted into it, and Open All: the Add
// URL panel filled from one link, the import preview for several, a dropped
// bookmark file, signing in first; every URL of a category or of a search
// handed to the browser a few at a time.

#include "guitest.h"

#include "screens/clipboard.h"
#include "screens/foundurls.h"
#include "screens/msgbox.h"
#include "screens/openaddress.h"
#include "screens/openinturns.h"
#include "session/modMain.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>

using screens::Clipboard;
using screens::MsgAnswer;
using screens::MsgBox;

using Formats = QMap<QString, QByteArray>;

namespace {

QByteArray Utf16Le(const QString &text) {
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

const QString kLoginFirst = QStringLiteral("You must Login first to save a link.");
const QString kNothingToSave =
    QStringLiteral("There is no web address to save in what was dropped or pasted.");

// Drags `formats` over the window and drops them, as the windowing system
// delivers a drop; the window takes the links once the drop is over.
void Drop(frmMain &main, const Formats &formats) {
    QMimeData mime;
    for (auto it = formats.cbegin(); it != formats.cend(); ++it)
        mime.setData(it.key(), it.value());
    const QPoint at = main.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&main, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(&main, &drop);
    QVERIFY(drop.isAccepted());
    QCoreApplication::processEvents();
}

// Category 1 "News" with two URLs, category 2 "Apps" with none.
frmMain &TwoCategories(GuiTestEnv &env) {
    frmMain &main =
        SignInWithCategories(env, {{QStringLiteral("News"), 1}, {QStringLiteral("Apps"), 2}});
    WriteUrlFile(1, UrlLine({1, QStringLiteral("https://b.example/"), QStringLiteral("bee")}) +
                        UrlLine({2, QStringLiteral("https://a.example/"), QStringLiteral("ay")}));
    WriteUrlFile(2, QByteArray());
    return main;
}

void MenuOn(frmMain &main, const QString &category) {
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(category));
}

// The window active again after the sign-in window, as the desktop makes
// it: keys reach its shortcuts.
void Activate(frmMain &main) {
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
}

QString FileText(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll());
}

// The addresses the browser was given, recorded instead of opened.
class Launches {
public:
    Launches() {
        screens::SetOpenAddressHandler([this](const QUrl &url) {
            m_seen << url.toString();
            return true;
        });
    }
    ~Launches() { screens::SetOpenAddressHandler({}); }
    const QStringList &seen() const { return m_seen; }

private:
    QStringList m_seen;
};

} // namespace

class tst_Dropin : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void dropOneLink_data();
    void dropOneLink();
    void enterSavesAsAddUrlDoes();
    void titleChangedToFit();
    void signedOutChangesNothing_data();
    void signedOutChangesNothing();
    void pasteOutsideATextBox();
    void pasteInATextBoxStaysPasting();
    void nothingToSave_data();
    void nothingToSave();
    void manyLinksToThePreview();
    void manyLinksChooseTheCategoryFirst();
    void droppedBookmarkFile();
    void openAllInListOrder();
    void openAllAsksFrom15_data();
    void openAllAsksFrom15();
    void openAllAFewPerTurn();
    void openAllOfTheFoundUrls();
    void signingOutStopsOpenAll();
    void openAllTellsWhatCouldNotBeOpened();
    void openAllWithNothingToOpen();
};

void tst_Dropin::cleanup() {
    screens::SetOpenAddressHandler({});
}

void tst_Dropin::dropOneLink_data() {
    QTest::addColumn<Formats>("formats");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("description");

    const QString page = QStringLiteral("https://example.org/news?id=7");
    QTest::newRow("firefox link on the URL menu")
        << Formats{{"text/x-moz-url", Utf16Le(page + QStringLiteral("\nToday's news"))},
                   {"text/uri-list", (page + QStringLiteral("\r\n")).toUtf8()},
                   {"text/html", Utf16Le(QStringLiteral("<a href=\"") + page +
                                         QStringLiteral("\">Today's news</a>"))},
                   {"text/plain", page.toUtf8()}}
        << "Apps" << page << "Today's news";
    QTest::newRow("chromium link through X11 on the main menu")
        << Formats{{"text/uri-list", page.toUtf8()},
                   {"_NETSCAPE_URL", (page + QStringLiteral("\nToday's news")).toUtf8()},
                   {"text/plain", page.toUtf8()}}
        << "" << page << "Today's news";
    QTest::newRow("address without a title")
        << Formats{{"text/plain", QByteArray("www.example.org")}} << "News"
        << "www.example.org"
        << "Please limit your Description to not more than 250 characters!";
    QTest::newRow("one web address among other links")
        << Formats{{"text/uri-list", QByteArray("mailto:ann@example.org\r\nhttps://c.example/")}}
        << "News"
        << "https://c.example/"
        << "Please limit your Description to not more than 250 characters!";
}

void tst_Dropin::dropOneLink() {
    QFETCH(Formats, formats);
    QFETCH(QString, chosen);
    QFETCH(QString, address);
    QFETCH(QString, description);

    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    if (!chosen.isEmpty()) {
        MenuOn(main, chosen);
        QCOMPARE(main.lstUrlView->count(), chosen == QLatin1String("News") ? 2 : 0);
    }
    Drop(main, formats);

    QTRY_VERIFY(main.pctUrlAdd->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Add URL Menu"));
    QCOMPARE(main.txtUrlAdd->text(), address);
    QCOMPARE(main.txtUrlAddCh->text(), description);
    QCOMPARE(main.cmbUrlCat->currentText(), chosen);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Add URL Menu)"));
    QCOMPARE(main.focusWidget(), main.txtUrlAdd.get());
    QVERIFY(ShownTexts().isEmpty());
    // Nothing is written before Enter.
    QCOMPARE(FileText(modMain::UrlFilePath(1, 2)), QString());
    QVERIFY(!FileText(modMain::UrlFilePath(1, 1)).contains(QLatin1String("example.org")));
}

void tst_Dropin::enterSavesAsAddUrlDoes() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOn(main, QStringLiteral("News"));
    Drop(main, {{"_NETSCAPE_URL", QByteArray("https://new.example/page\nA new page")},
                {"text/uri-list", QByteArray("https://new.example/page")}});
    QTRY_VERIFY(main.pctUrlAdd->isVisible());

    QTest::keyClick(main.txtUrlAdd, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! The URL was added under the Category News")});
    QVERIFY(main.fraUrlView->isVisible());
    QCOMPARE(
        ListedEntries(main.lstUrlView),
        (QStringList{QStringLiteral("https://a.example/=2"), QStringLiteral("https://b.example/=1"),
                     QStringLiteral("https://new.example/page=3")}));
    ClickEntry(main.lstUrlView, QStringLiteral("https://new.example/page"));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("A new page"));

    // The same link again: Add URL's own checks run; its hint says so.
    Drop(main, {{"text/plain", QByteArray("https://new.example/page")}});
    QTRY_VERIFY(main.pctUrlAdd->isVisible());
    QTRY_COMPARE(main.lblUrlAddSaved->text(), QStringLiteral("Already saved in: News"));
}

void tst_Dropin::titleChangedToFit() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOn(main, QStringLiteral("Apps"));
    const QString title = QString::fromUtf16(u"Caf\u00e9 \u2014 \u2615 | \u201cbest\u201d");
    Drop(main, {{"text/x-moz-url", Utf16Le(QStringLiteral("https://cafe.example/\n") + title)}});
    QTRY_VERIFY(main.pctUrlAdd->isVisible());

    QCOMPARE(main.txtUrlAddCh->text(), QStringLiteral("Cafe - ? / \"best\""));
    QCOMPARE(StatusText(main),
             QString::fromUtf16(u"1 text(s) had to be changed to fit: the Description "
                                u"\"Caf\u00e9 \u2014 \u2615 | \u201cbest\u201d\" is stored as "
                                u"\"Cafe - ? / \"best\"\"."));
    QTest::keyClick(main.txtUrlAdd, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! The URL was added under the Category Apps")});
    ClickEntry(main.lstUrlView, QStringLiteral("https://cafe.example/"));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("Cafe - ? / \"best\""));
}

void tst_Dropin::signedOutChangesNothing_data() {
    QTest::addColumn<bool>("paste");
    QTest::newRow("drop") << false;
    QTest::newRow("paste") << true;
}

void tst_Dropin::signedOutChangesNothing() {
    QFETCH(bool, paste);

    GuiTestEnv env;
    WriteUserFiles({{QStringLiteral("News"), 1}});
    frmMain &main = env.mainWindow();
    const QStringList before =
        QDir(env.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const Formats link{{"text/plain", QByteArray("https://example.org/")}};
    if (paste) {
        Clipboard::scriptOtherCopy(link);
        Activate(main);
        QTest::keyClick(&main, Qt::Key_V, Qt::ControlModifier);
    } else {
        Drop(main, link);
    }
    QTRY_COMPARE(StatusText(main), kLoginFirst);
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
    QVERIFY(!main.LaterControlsMade() || !main.pctUrlAdd->isVisible());
    QVERIFY(ShownTexts().isEmpty());
    QCOMPARE(QDir(env.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void tst_Dropin::pasteOutsideATextBox() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOn(main, QStringLiteral("News"));
    Activate(main);
    main.lstUrlView->setFocus();
    // Firefox's Copy Link.
    Clipboard::scriptOtherCopy(
        Formats{{"text/x-moz-url", Utf16Le(QStringLiteral("https://copied.example/\nCopied"))},
                {"text/html", QByteArray("<a href=\"https://copied.example/\">Copied</a>")},
                {"text/plain", QByteArray("https://copied.example/")}});
    QTest::keyClick(main.lstUrlView, Qt::Key_V, Qt::ControlModifier);

    QVERIFY(main.pctUrlAdd->isVisible());
    QCOMPARE(main.txtUrlAdd->text(), QStringLiteral("https://copied.example/"));
    QCOMPARE(main.txtUrlAddCh->text(), QStringLiteral("Copied"));
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
}

void tst_Dropin::pasteInATextBoxStaysPasting() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    Activate(main);
    QGuiApplication::clipboard()->setText(QStringLiteral("bee"));
    Clipboard::scriptOtherCopy(Formats{{"text/plain", QByteArray("https://example.org/")}});
    main.txtUrlFind->setFocus();
    QTest::keyClick(main.txtUrlFind, Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(main.txtUrlFind->text(), QStringLiteral("bee"));
    QVERIFY(main.fraUrlFind->isVisible());
    QVERIFY(!main.pctUrlAdd->isVisible());
    QCOMPARE(main.FoundUrls->count(), 1);
}

void tst_Dropin::nothingToSave_data() {
    QTest::addColumn<Formats>("formats");
    QTest::newRow("a sentence") << Formats{{"text/plain", QByteArray("see example.org for more")}};
    QTest::newRow("a script link") << Formats{{"text/uri-list", QByteArray("javascript:void(0)")},
                                              {"text/plain", QByteArray("javascript:void(0)")}};
    QTest::newRow("a local file") << Formats{{"text/uri-list", QByteArray("file:///tmp/a.pdf")}};
}

void tst_Dropin::nothingToSave() {
    QFETCH(Formats, formats);

    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOn(main, QStringLiteral("News"));
    Drop(main, formats);
    QTRY_COMPARE(StatusText(main), kNothingToSave);
    QVERIFY(main.fraUrlView->isVisible());
    QVERIFY(ShownTexts().isEmpty());
}

void tst_Dropin::manyLinksToThePreview() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    MenuOn(main, QStringLiteral("News"));
    // Three tabs out of Firefox, one saved already, and a script link.
    Drop(main, {{"text/x-moz-url",
                 Utf16Le(QStringLiteral("https://c.example/\nSee\nhttps://B.example\nBee again\n"
                                        "javascript:go()\nGo\nhttps://d.example/\nDee"))}});
    QTRY_VERIFY(main.pctCatImp->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Import Bookmarks Menu"));
    QVERIFY(main.cmbCatImp->isVisible());
    QCOMPARE(main.cmbCatImp->currentText(), QStringLiteral("News"));
    QCOMPARE(main.lblCatImp->text(),
             QStringLiteral("4 URL's dropped or pasted, for the Category News\n\n"
                            "2 URL's will be added under 1 Category (0 new and 1 existing).\n"
                            "1 URL will be skipped as already saved, and 1 as they are not web "
                            "addresses.\n"
                            "0 text(s) had to be changed to fit (listed below).\n\n"
                            "Press Enter or click on Import to add them, or Back to leave "
                            "everything as it is."));
    QVERIFY(!FileText(modMain::UrlFilePath(1, 1)).contains(QLatin1String("c.example")));

    QTest::keyClick(main.lstCatImp, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral(
                 "Success! 2 URL's were imported under 1 Category (0 new and 1 existing).\r\n"
                 "1 URL was skipped as already saved, and 1 as they are not web addresses.")});
    // Back on the URL menu, the category listing them.
    QVERIFY(main.fraUrlView->isVisible());
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{QStringLiteral("https://a.example/=2"),
                                                          QStringLiteral("https://b.example/=1"),
                                                          QStringLiteral("https://c.example/=3"),
                                                          QStringLiteral("https://d.example/=4")}));
    ClickEntry(main.lstUrlView, QStringLiteral("https://d.example/"));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("Dee"));
}

void tst_Dropin::manyLinksChooseTheCategoryFirst() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QCOMPARE(main.cmbUrlCat->currentIndex(), -1);
    // A list of addresses pasted on the main menu: no category chosen.
    Clipboard::scriptOtherCopy(
        Formats{{"text/plain",
                 QByteArray("https://x.example/\nhttps://y.example/\nhttps://a.example/\n")}});
    Activate(main);
    main.cmdURL->setFocus();
    QTest::keyClick(main.cmdURL, Qt::Key_V, Qt::ControlModifier);

    QVERIFY(main.pctCatImp->isVisible());
    QVERIFY(main.cmbCatImp->isVisible());
    QCOMPARE(main.lblCatImpCat->text(), QStringLiteral("Add them under the Category : "));
    QCOMPARE(main.cmbCatImp->currentIndex(), -1);
    QCOMPARE(main.lblCatImp->text(),
             QStringLiteral("3 URL's dropped or pasted.\n\nPlease choose the Category to add them "
                            "under first."));
    QVERIFY(!main.cmdCatImp->isEnabled());
    QCOMPARE(main.focusWidget(), main.cmbCatImp.get());
    QTest::keyClick(main.cmbCatImp, Qt::Key_Return); // nothing to import yet
    QVERIFY(ShownTexts().isEmpty());
    QVERIFY(main.pctCatImp->isVisible());

    // Choosing a category shows what would be added to it.
    main.cmbCatImp->setCurrentIndex(main.cmbCatImp->findText(QStringLiteral("Apps")));
    QVERIFY(main.lblCatImp->text().startsWith(
        QStringLiteral("3 URL's dropped or pasted, for the Category Apps\n\n3 URL's will be added "
                       "under 1 Category (0 new and 1 existing).\n0 URL's will be skipped")));
    QVERIFY(main.cmdCatImp->isEnabled());
    main.cmbCatImp->setCurrentIndex(main.cmbCatImp->findText(QStringLiteral("News")));
    QVERIFY(main.lblCatImp->text().startsWith(
        QStringLiteral("3 URL's dropped or pasted, for the Category News\n\n2 URL's will be added "
                       "under 1 Category (0 new and 1 existing).\n1 URL will be skipped")));

    // Escape (Back): nothing written, the URL menu on the category chosen
    // last.
    QTest::keyClick(main.cmbCatImp, Qt::Key_Escape);
    QVERIFY(main.fraUrlView->isVisible());
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
    QCOMPARE(main.lstUrlView->count(), 2);
    QCOMPARE(FileText(modMain::UrlFilePath(1, 2)), QString());
    QVERIFY(main.PendingLinks.isEmpty());
    QVERIFY(!main.PendingImport);
}

void tst_Dropin::droppedBookmarkFile() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    const QString path = env.path(QStringLiteral("my bookmarks.html"));
    WriteFileBytes(path, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<H1>Bookmarks</H1>\n<DL><p>\n"
                         "<DT><H3>Reading</H3>\n<DL><p>\n"
                         "<DT><A HREF=\"https://r.example/\">R</A>\n</DL><p>\n</DL><p>\n");
    // A preview of links left by the Categories button first.
    MenuOn(main, QStringLiteral("Apps"));
    Drop(main, {{"text/uri-list", QByteArray("https://x.example/\r\nhttps://y.example/\r\n")}});
    QTRY_VERIFY(main.pctCatImp->isVisible());
    QTest::mouseClick(main.cmdCat, Qt::LeftButton);
    QVERIFY(main.fraCatView->isVisible());

    Drop(main, {{"text/uri-list", QUrl::fromLocalFile(path).toEncoded() + "\r\n"},
                {"text/plain", path.toUtf8()}});
    QTRY_VERIFY(main.pctCatImp->isVisible());
    // A file's links go to the file's folders: no category to choose.
    QVERIFY(!main.cmbCatImp->isVisible());
    QVERIFY(!main.lblCatImpCat->isVisible());
    QCOMPARE(main.lblCatImp->text(),
             QStringLiteral("Bookmark file : ") + QDir::toNativeSeparators(path) +
                 QStringLiteral("\n\n1 URL will be added under 1 Category (1 new and 0 existing).\n"
                                "0 URL's will be skipped as already saved, and 0 as they are not "
                                "web addresses.\n"
                                "0 text(s) had to be changed to fit (listed below).\n\n"
                                "Press Enter or click on Import to add them, or Back to leave "
                                "everything as it is."));
    // Back leads to the Categories menu, as after the file import's preview.
    QTest::mouseClick(main.cmdCatImpCncl, Qt::LeftButton);
    QVERIFY(main.fraCatView->isVisible());
}

void tst_Dropin::openAllInListOrder() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    Launches launches;
    MenuOn(main, QStringLiteral("News"));
    QCOMPARE(main.cmdUrlViewO->text(), QStringLiteral("&Open All"));
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);

    QTRY_COMPARE(StatusText(main), QStringLiteral("2 URL's were opened in your browser."));
    QCOMPARE(launches.seen(), (QStringList{QStringLiteral("https://a.example/"),
                                           QStringLiteral("https://b.example/")}));
    QVERIFY(ShownTexts().isEmpty());
}

void tst_Dropin::openAllAsksFrom15_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("opened");
    QTest::newRow("14 without asking") << 14 << false << 14;
    QTest::newRow("15 and Yes") << 15 << true << 15;
    QTest::newRow("15 and No") << 15 << false << 0;
    QTest::newRow("40 and Yes") << 40 << true << 40;
}

void tst_Dropin::openAllAsksFrom15() {
    QFETCH(int, count);
    QFETCH(bool, yes);
    QFETCH(int, opened);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("Many"), 1}});
    QByteArray lines;
    QStringList expected;
    for (int n = 1; n <= count; ++n) {
        const QString address =
            QStringLiteral("https://site%1.example/").arg(n, 2, 10, QChar(u'0'));
        lines += UrlLine({n, address, QString()});
        expected << address;
    }
    WriteUrlFile(1, lines);
    Launches launches;
    MenuOn(main, QStringLiteral("Many"));
    if (yes)
        MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);

    if (count >= 15) {
        QCOMPARE(MsgBox::shown().size(), 1);
        QCOMPARE(MsgBox::shown()[0].text,
                 QStringLiteral("Open %1 URL's in your browser?").arg(count));
        QCOMPARE(MsgBox::shown()[0].title, QStringLiteral("Confirm Open All"));
        QCOMPARE(MsgBox::shown()[0].buttons, screens::MsgButtons::YesNo);
    } else {
        QVERIFY(MsgBox::shown().isEmpty());
    }
    if (opened == 0) {
        QCOMPARE(StatusText(main), QStringLiteral("Ready (URL(s) Menu)"));
        QTest::qWait(0);
        QVERIFY(launches.seen().isEmpty());
        return;
    }
    QTRY_COMPARE(StatusText(main),
                 QStringLiteral("%1 URL's were opened in your browser.").arg(opened));
    QCOMPARE(launches.seen(), expected);
}

void tst_Dropin::openAllAFewPerTurn() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("Many"), 1}});
    QByteArray lines;
    for (int n = 1; n <= 500; ++n)
        lines += UrlLine(
            {n, QStringLiteral("https://site%1.example/").arg(n, 3, 10, QChar(u'0')), QString()});
    WriteUrlFile(1, lines);
    Launches launches;
    MenuOn(main, QStringLiteral("Many"));
    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);

    // The first turn has run; the rest wait for the next turns.
    QVERIFY(!launches.seen().isEmpty());
    QVERIFY(launches.seen().size() <= screens::OpenInTurns::kPerTurn);
    QVERIFY(StatusText(main).startsWith(
        QStringLiteral("Please wait...Opening URL's in your browser (")));
    // A second Open All meanwhile opens nothing twice.
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);
    QTRY_COMPARE(launches.seen().size(), 500);
    QCOMPARE(launches.seen().first(), QStringLiteral("https://site001.example/"));
    QCOMPARE(launches.seen().last(), QStringLiteral("https://site500.example/"));
    QCOMPARE(QSet<QString>(launches.seen().cbegin(), launches.seen().cend()).size(), 500);
    QTRY_COMPARE(StatusText(main), QStringLiteral("500 URL's were opened in your browser."));
    QCOMPARE(MsgBox::shown().size(), 1);
}

void tst_Dropin::signingOutStopsOpenAll() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("Many"), 1}});
    QByteArray lines;
    for (int n = 1; n <= 100; ++n)
        lines += UrlLine({n, QStringLiteral("https://site%1.example/").arg(n), QString()});
    WriteUrlFile(1, lines);
    Launches launches;
    MenuOn(main, QStringLiteral("Many"));
    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);
    const qsizetype before = launches.seen().size();
    QVERIFY(before > 0 && before < 100);

    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QCOMPARE(modMain::UserNo, qint16(0));
    QTest::qWait(50);
    QCOMPARE(launches.seen().size(), before);
    QVERIFY(!main.OpenAllQueue->running());
}

void tst_Dropin::openAllTellsWhatCouldNotBeOpened() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    QStringList seen;
    screens::SetOpenAddressHandler([&](const QUrl &url) {
        seen << url.toString();
        return url.host() != QLatin1String("a.example");
    });
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);

    QTRY_COMPARE(StatusText(main), QStringLiteral("1 URL was opened in your browser."));
    QCOMPARE(seen, (QStringList{QStringLiteral("https://a.example/"),
                                QStringLiteral("https://b.example/")}));
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Sorry, 1 URL could not be opened in your web "
                                        "browser:\r\n\r\nhttps://a.example/")});
}

void tst_Dropin::openAllOfTheFoundUrls() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    WriteUrlFile(2, UrlLine({1, QStringLiteral("apps.example/b"), QString()}));
    Launches launches;
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    QTest::keyClicks(main.txtUrlFind, QStringLiteral("b"));
    QCOMPARE(main.FoundUrls->count(), 2);
    QCOMPARE(main.cmdUrlFindO->text(), QStringLiteral("&Open All"));
    QTest::mouseClick(main.cmdUrlFindO, Qt::LeftButton);

    QTRY_COMPARE(StatusText(main), QStringLiteral("2 URL's were opened in your browser."));
    // In the order of the results, each as View opens it.
    QCOMPARE(launches.seen(), (QStringList{QStringLiteral("http://apps.example/b"),
                                           QStringLiteral("https://b.example/")}));
}

void tst_Dropin::openAllWithNothingToOpen() {
    GuiTestEnv env;
    frmMain &main = TwoCategories(env);
    Launches launches;
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);
    MenuOn(main, QStringLiteral("Apps"));
    QTest::mouseClick(main.cmdUrlViewO, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlFindO, Qt::LeftButton);
    QCOMPARE(
        ShownTexts(),
        (QStringList{QStringLiteral("Please choose the Category whose URL's you wish to open!"),
                     QStringLiteral("There are no URL's under the choosen Category to open!"),
                     QStringLiteral("There are no URL's found to open! Please type the words "
                                    "you wish to find first.")}));
    QVERIFY(launches.seen().isEmpty());
}

QTEST_MAIN(tst_Dropin)
#include "tst_dropin.moc"

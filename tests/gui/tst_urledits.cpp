// Adding, deleting and modifying URLs through the real window, and what the
// URL files hold afterwards.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include <QDir>
#include <QFile>
#include <QTest>

using screens::MsgBox;

namespace {

const QString kHint =
    QStringLiteral("Please limit your Description to not more than 250 characters!");
const QString kUnchanged = QStringLiteral(
    "Well...u don't seem to have made any changes to the URL or its description...what do u "
    "expect me to modify then?\r\n               Either modify something and then click on me, or "
    "click on the Back button!");
const QString kAccented = QStringLiteral(
    "Sorry, a Description can't hold these characters: \"\u00e9\"\r\nPlease use only letters "
    "without accents, digits, blanks and the usual punctuation marks.");
const QString kMarker = QStringLiteral(
    "Sorry, a Description can't hold the text \"*QVX*\", nor \"*QVX\" right before a line break: "
    "line breaks are stored in that form, so the text would come back as a line break.\r\n"
    "Please write it another way, for example in small letters.");

modMain::UrlRecord LastRecord(const QString &path) {
    const QList<QByteArray> lines = FileLines(path);
    return lines.isEmpty() ? modMain::UrlRecord()
                           : modMain::DecodeUrlLine(QString::fromLatin1(lines.last().chopped(2)));
}

// Types text into a description box: line breaks by the Enter key.
void TypeDescription(QWidget *box, const QString &text) {
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        TypeInto(box, lines[i]);
    }
}

// The URLs menu showing `category`'s list.
void MenuOn(frmMain &main, const QString &category) {
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(category));
}

QByteArray Numbered(const QList<int> &numbers) {
    QByteArray all;
    for (int n : numbers)
        all += UrlLine({n, QStringLiteral("u%1.org").arg(n), QStringLiteral("d%1").arg(n)});
    return all;
}

} // namespace

class tst_UrlEdits : public QObject {
    Q_OBJECT
private slots:
    void firstUrlByEnterStoresTheHint();
    void add_data();
    void add();
    void addRefused_data();
    void addRefused();
    void addBeyondTheHighestNumber();
    void addUnderAnotherCategoryKeepsTheListTrue();
    void tabLeavesTheDescriptionBox();
    void deleteByNumber();
    void deleteHighestGivesItsNumberAgain();
    void deleteAfterChoosingOnThePanel();
    void deleteRefused_data();
    void deleteRefused();
    void modifyUnchanged();
    void modify_data();
    void modify();
    void modifyRefused_data();
    void modifyRefused();
    void modifyAnotherUrlChosenOnThePanel();
    void modifyKeepsADescriptionLeftAsLoaded_data();
    void modifyKeepsADescriptionLeftAsLoaded();
    void hintInAStoredDescriptionClearsOnEntering();
    void detailsOfAVanishedFile();
    void failedAppend();
    void deleteOrModifyFails_data();
    void deleteOrModifyFails();
    void firstUrlWarnsOfAnUnflushedFolder();
    void oneOfTwoUrlsOfOneNumberChanges();
};

void tst_UrlEdits::firstUrlByEnterStoresTheHint() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 4}});
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
    QTest::keyClicks(main.txtUrlAdd, QStringLiteral("  news.example/a  "));
    QTest::keyClick(main.txtUrlAdd, Qt::Key_Return);

    const QString path = modMain::UrlFilePath(1, 4);
    QCOMPARE(FileLines(path).size(), 1); // Enter added it once
    const modMain::UrlRecord r = LastRecord(path);
    QCOMPARE(r.number, 1);
    QCOMPARE(r.address, QStringLiteral("news.example/a"));
    QCOMPARE(r.description(), kHint);
    QVERIFY(modMain::OwnerTest(modMain::PassStamp).owns(r.stampField));
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! The URL was added under the Category News")});
    QVERIFY(main.fraUrlView->isVisible());
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{QStringLiteral("news.example/a=1")});
    QCOMPARE(main.lstUrlView->selectedRow(), -1);
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("1 URL(s) under choosen Category are : "));
    QCOMPARE(main.txtUrlAdd->text(), QString());
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QString());
}

void tst_UrlEdits::add_data() {
    QTest::addColumn<QList<int>>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("storedDescription");

    QTest::newRow("numbering after 1 2 5") << QList<int>{1, 2, 5} << "a.org"
                                           << "d" << 6 << "a.org"
                                           << "d";
    QTest::newRow("two-line description") << QList<int>{} << "a.org"
                                          << "alpha\nbeta" << 1 << "a.org"
                                          << "alpha*QVX*beta";
    QTest::newRow("tilde percent-encoded") << QList<int>{} << "x.org/~bob"
                                           << "" << 1 << "x.org/%7Ebob"
                                           << "";
    QTest::newRow("bar and braces percent-encoded") << QList<int>{3} << "x.org/a|{b}"
                                                    << "" << 4 << "x.org/a%7C%7Bb%7D"
                                                    << "";
    QTest::newRow("non-ASCII host and letters")
        << QList<int>{} << QStringLiteral("b\u00fccher.de/caf\u00e9") << "" << 1
        << "xn--bcher-kva.de/caf%C3%A9"
        << "";
    QTest::newRow("outer spaces of the address") << QList<int>{} << "   a.org  "
                                                 << "x" << 1 << "a.org"
                                                 << "x";
    QTest::newRow("description's outer spaces") << QList<int>{} << "a.org"
                                                << "  two ends   " << 1 << "a.org"
                                                << "two ends";
    QTest::newRow("empty description") << QList<int>{} << "a.org"
                                       << "" << 1 << "a.org"
                                       << "";
}

void tst_UrlEdits::add() {
    QFETCH(QList<int>, existing);
    QFETCH(QString, typed);
    QFETCH(QString, description);
    QFETCH(int, number);
    QFETCH(QString, stored);
    QFETCH(QString, storedDescription);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QByteArray before = Numbered(existing);
    const QString path = WriteUrlFile(1, before);
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    TypeInto(main.txtUrlAdd, typed);
    // Entering the box clears the hint.
    QTest::mouseClick(main.txtUrlAddCh->viewport(), Qt::LeftButton);
    QCOMPARE(main.txtUrlAddCh->text(), QString());
    TypeDescription(main.txtUrlAddCh, description);
    QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);

    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! The URL was added under the Category News")});
    QVERIFY(FileBytes(path).startsWith(before));
    QCOMPARE(FileLines(path).size(), existing.size() + 1);
    const modMain::UrlRecord r = LastRecord(path);
    QCOMPARE(r.number, number);
    QCOMPARE(r.address, stored);
    QCOMPARE(modMain::DecodeField(r.rawDescription), storedDescription);
    // The list shows the stored form at once.
    const int row = RowOf(main.lstUrlView, stored);
    QVERIFY(row >= 0);
    QCOMPARE(main.lstUrlView->entries()->numberAt(row), number);
    QCOMPARE(main.lstUrlView->count(), existing.size() + 1);
}

void tst_UrlEdits::addRefused_data() {
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");

    QTest::newRow("address of spaces") << "News"
                                       << "   "
                                       << "x"
                                       << "Please enter the URL you wish to Add!";
    QTest::newRow("empty address") << "News"
                                   << ""
                                   << "x"
                                   << "Please enter the URL you wish to Add!";
    QTest::newRow("no category")
        << ""
        << "a.org"
        << "x"
        << "Please choose the Category under which you wish to add the URL.";
    QTest::newRow("accented description")
        << "News"
        << "a.org" << QStringLiteral("caf\u00e9 au lait")
        << kAccented + QStringLiteral("\r\n\r\nStore it as \"cafe au lait\" instead?");
    QTest::newRow("marker in the description") << "News"
                                               << "a.org"
                                               << "Use the *QVX* marker" << kMarker;
    QTest::newRow("marker cut by a line break") << "News"
                                                << "a.org"
                                                << "abc*QVX\ndef" << kMarker;
    QTest::newRow("marker at the end") << "News"
                                       << "a.org"
                                       << "ends with *QVX*" << kMarker;
}

void tst_UrlEdits::addRefused() {
    QFETCH(QString, category);
    QFETCH(QString, typed);
    QFETCH(QString, description);
    QFETCH(QString, message);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1}));
    const QByteArray before = FileBytes(path);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    if (!category.isEmpty())
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(category));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    TypeInto(main.txtUrlAdd, typed);
    QTest::mouseClick(main.txtUrlAddCh->viewport(), Qt::LeftButton);
    TypeDescription(main.txtUrlAddCh, description);
    QTest::keyClick(main.txtUrlAdd, Qt::Key_Return);

    QCOMPARE(ShownTexts(), QStringList{message});
    QCOMPARE(FileBytes(path), before);
    QVERIFY(main.pctUrlAdd->isVisible());
    QCOMPARE(main.txtUrlAdd->text(), typed);
    QCOMPARE(main.txtUrlAddCh->text(), screens::StoredLineBreaks(description));
}

void tst_UrlEdits::addBeyondTheHighestNumber() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({32767}));
    const QByteArray before = FileBytes(path);
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    TypeInto(main.txtUrlAdd, QStringLiteral("a.org"));
    QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Sorry, no more URLs can be added under this Category: "
                                        "its URL numbers have reached the highest one, 32767.")});
    QCOMPARE(FileBytes(path), before);
    QVERIFY(main.pctUrlAdd->isVisible());
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Add URL Menu)"));
}

void tst_UrlEdits::addUnderAnotherCategoryKeepsTheListTrue() {
    GuiTestEnv env;
    frmMain &main =
        SignInWithCategories(env, {{QStringLiteral("News"), 1}, {QStringLiteral("Apps"), 2}});
    WriteUrlFile(1, Numbered({1, 2}));
    WriteUrlFile(2, Numbered({7}));
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Apps")));
    QCOMPARE(ListedEntries(main.lstUrlView),
             (QStringList{"u1.org=1", "u2.org=2"})); // nothing loaded
    TypeInto(main.txtUrlAdd, QStringLiteral("new.org"));
    QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);

    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Apps"));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"new.org=8", "u7.org=7"}));
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("2 URL(s) under choosen Category are : "));
}

void tst_UrlEdits::tabLeavesTheDescriptionBox() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.txtUrlAdd));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.txtUrlAddCh));
    QCOMPARE(main.txtUrlAddCh->text(), QString()); // the hint went when the box was entered
    TypeInto(main.txtUrlAddCh, QStringLiteral("ab"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.cmdUrlAdd));
    QCOMPARE(main.txtUrlAddCh->text(), QStringLiteral("ab"));
}

void tst_UrlEdits::deleteByNumber() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QByteArray foreign = UrlLine({9, QStringLiteral("theirs.org"), QString(), true});
    const QByteArray shortLine = "12345*QVX*678\r\n";
    const QList<QByteArray> lines{UrlLine({1, "u1.org", "d"}),
                                  UrlLine({2, "u2.org", "d"}),
                                  foreign,
                                  UrlLine({3, "u3.org", "d"}),
                                  shortLine,
                                  UrlLine({4, "u4.org", "d"}),
                                  UrlLine({5, "u5.org", "d"})};
    const QString path = WriteUrlFile(1, lines.join());
    MenuOn(main, QStringLiteral("News"));
    MsgBox::reset(); // the foreign line's message
    ClickEntry(main.lstUrlView, QStringLiteral("u3.org"));
    QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);

    QVERIFY(main.pctUrlDel->isVisible());
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
    QCOMPARE(main.cmbUrlDel->currentText(), QStringLiteral("u3.org"));
    QCOMPARE(main.cmbUrlCatTag, QStringLiteral("OK"));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Delete URL Menu)"));
    QTest::keyClick(main.cmbUrlDel, Qt::Key_Return);

    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! The URL was succesfully deleted!")});
    QList<QByteArray> expected = lines;
    expected.removeAt(3);
    QCOMPARE(FileLines(path), expected);
    QVERIFY(main.fraUrlView->isVisible());
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("News"));
    QCOMPARE(ListedEntries(main.lstUrlView),
             (QStringList{"u1.org=1", "u2.org=2", "u4.org=4", "u5.org=5"}));
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("4 URL(s) under choosen Category are : "));

    // The next URL follows the highest number in the file, the foreign 9.
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    TypeInto(main.txtUrlAdd, QStringLiteral("next.org"));
    QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
    QCOMPARE(LastRecord(path).number, 10);
}

void tst_UrlEdits::deleteHighestGivesItsNumberAgain() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1, 2, 5}));
    const QList<QByteArray> before = FileLines(path);
    MenuOn(main, QStringLiteral("News"));
    ClickEntry(main.lstUrlView, QStringLiteral("u5.org"));
    QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlDel, Qt::LeftButton);
    QCOMPARE(FileLines(path), before.mid(0, 2));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    TypeInto(main.txtUrlAdd, QStringLiteral("again.org"));
    QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
    QCOMPARE(LastRecord(path).number, 3);
}

void tst_UrlEdits::deleteAfterChoosingOnThePanel() {
    GuiTestEnv env;
    frmMain &main =
        SignInWithCategories(env, {{QStringLiteral("News"), 1}, {QStringLiteral("Apps"), 2}});
    WriteUrlFile(1, Numbered({1, 2}));
    const QString apps = WriteUrlFile(2, Numbered({3, 4}));
    const QList<QByteArray> before = FileLines(apps);
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton); // no URL chosen: nothing copied
    QCOMPARE(main.cmbUrlDel->count(), 0);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Apps")));
    QCOMPARE(main.cmbUrlDel->count(), 2);
    QCOMPARE(main.lstUrlView->count(), 0);
    main.cmbUrlDel->setCurrentIndex(main.cmbUrlDel->findText(QStringLiteral("u4.org")));
    QTest::mouseClick(main.cmdUrlDel, Qt::LeftButton);

    QCOMPARE(FileLines(apps), before.mid(0, 1));
    // Back on the menu, the list is the chosen category's.
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("Apps"));
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{QStringLiteral("u3.org=3")});
}

void tst_UrlEdits::deleteRefused_data() {
    QTest::addColumn<bool>("category");
    QTest::addColumn<QString>("message");

    QTest::newRow("no category")
        << false
        << "Please choose the category under which the URL you wish to delete is existing!";
    QTest::newRow("no URL") << true << "Please choose the URL you wish to delete!";
}

void tst_UrlEdits::deleteRefused() {
    QFETCH(bool, category);
    QFETCH(QString, message);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1}));
    const QByteArray before = FileBytes(path);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    if (category)
        main.cmbUrlCat->setCurrentIndex(0);
    QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlDel, Qt::LeftButton);
    QCOMPARE(ShownTexts(), QStringList{message});
    QCOMPARE(FileBytes(path), before);
    QVERIFY(main.pctUrlDel->isVisible());
}

void tst_UrlEdits::modifyUnchanged() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, UrlLine({1, "a.org", "one*QVX*two"}));
    const QByteArray before = FileBytes(path);
    MenuOn(main, QStringLiteral("News"));
    ClickListRow(main.lstUrlView, 0);
    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    QVERIFY(main.pctUrlMod->isVisible());
    QCOMPARE(main.cmbUrlMod->currentText(), QStringLiteral("a.org"));
    QCOMPARE(main.txtUrlMod->text(), QStringLiteral("a.org"));
    QCOMPARE(main.txtUrlModDesc->text(), QStringLiteral("one\r\ntwo"));
    QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);
    QCOMPARE(ShownTexts(), QStringList{kUnchanged});
    QCOMPARE(FileBytes(path), before);
    QVERIFY(main.pctUrlMod->isVisible());
}

void tst_UrlEdits::modify_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("storedDescription");

    // URL 4 of six, "u4.org" with "d4".
    QTest::newRow("letter case is a change") << "U4.org"
                                             << "d4"
                                             << "U4.org"
                                             << "d4";
    QTest::newRow("description only") << "u4.org"
                                      << "new\nlines"
                                      << "u4.org"
                                      << "new*QVX*lines";
    QTest::newRow("trailing spaces of the description") << "u4.org"
                                                        << "d4 more   "
                                                        << "u4.org"
                                                        << "d4 more";
    QTest::newRow("tilde percent-encoded") << "u4.org/~me"
                                           << "d4"
                                           << "u4.org/%7Eme"
                                           << "d4";
    QTest::newRow("outer spaces of the address") << "  v.org "
                                                 << "d4"
                                                 << "v.org"
                                                 << "d4";
}

void tst_UrlEdits::modify() {
    QFETCH(QString, address);
    QFETCH(QString, description);
    QFETCH(QString, stored);
    QFETCH(QString, storedDescription);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1, 2, 3, 4, 5, 6}));
    const QList<QByteArray> before = FileLines(path);
    MenuOn(main, QStringLiteral("News"));
    ClickEntry(main.lstUrlView, QStringLiteral("u4.org"));
    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    main.txtUrlMod->clear();
    TypeInto(main.txtUrlMod, address);
    main.txtUrlModDesc->setFocus();
    main.txtUrlModDesc->setText(QString());
    TypeDescription(main.txtUrlModDesc, description);
    QTest::keyClick(main.txtUrlMod, Qt::Key_Return);

    QCOMPARE(ShownTexts(), QStringList{QStringLiteral("The URL was Succesfully Modified!")});
    const QList<QByteArray> after = FileLines(path);
    QCOMPARE(after.size(), 6);
    for (int i = 0; i < 6; ++i) {
        if (i != 3)
            QCOMPARE(after[i], before[i]);
    }
    const modMain::UrlRecord r = modMain::DecodeUrlLine(QString::fromLatin1(after[3].chopped(2)));
    QCOMPARE(r.number, 4);
    QCOMPARE(modMain::DecodeField(modMain::SplitRecord(QString::fromLatin1(after[3]))[0]),
             QStringLiteral("URL4"));
    QCOMPARE(r.address, stored);
    QCOMPARE(modMain::DecodeField(r.rawDescription), storedDescription);

    QVERIFY(main.fraUrlView->isVisible());
    QCOMPARE(main.lstUrlView->count(), 6);
    const int row = RowOf(main.lstUrlView, stored);
    QVERIFY(row >= 0);
    QCOMPARE(main.lstUrlView->entries()->numberAt(row), 4);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QString());
    QCOMPARE(main.txtUrlMod->text(), QString());
}

void tst_UrlEdits::modifyRefused_data() {
    QTest::addColumn<bool>("category");
    QTest::addColumn<bool>("url");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");

    QTest::newRow("no category") << false << false << "x.org"
                                 << "d"
                                 << "Please choose the Category the URL exists under";
    QTest::newRow("no URL") << true << false << "x.org"
                            << "d"
                            << "Please choose the URL you wish to Modify before clicking on me "
                               "again!";
    QTest::newRow("address of spaces")
        << true << true << "   "
        << "d1"
        << "You can't leave the URL field Empty...either leave the Old URL or change it into a "
           "New One!";
    QTest::newRow("empty address")
        << true << true << ""
        << "d1"
        << "You can't leave the URL field Empty...either leave the Old URL or change it into a "
           "New One!";
    QTest::newRow("accented description")
        << true << true << "u1.org" << QStringLiteral("\u00e9")
        << kAccented + QStringLiteral("\r\n\r\nStore it as \"e\" instead?");
    QTest::newRow("marker in the description") << true << true << "u1.org"
                                               << "Use the *QVX* marker" << kMarker;
}

void tst_UrlEdits::modifyRefused() {
    QFETCH(bool, category);
    QFETCH(bool, url);
    QFETCH(QString, address);
    QFETCH(QString, description);
    QFETCH(QString, message);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1}));
    const QByteArray before = FileBytes(path);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    if (category)
        main.cmbUrlCat->setCurrentIndex(0);
    if (url)
        ClickListRow(main.lstUrlView, 0);
    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    main.txtUrlMod->clear();
    TypeInto(main.txtUrlMod, address);
    main.txtUrlModDesc->setText(QString());
    TypeDescription(main.txtUrlModDesc, description);
    QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);

    QCOMPARE(ShownTexts(), QStringList{message});
    QCOMPARE(FileBytes(path), before);
    QVERIFY(main.pctUrlMod->isVisible());
    QCOMPARE(main.txtUrlModDesc->text(), description);
}

void tst_UrlEdits::modifyAnotherUrlChosenOnThePanel() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1, 2, 3}));
    const QList<QByteArray> before = FileLines(path);
    MenuOn(main, QStringLiteral("News"));
    ClickEntry(main.lstUrlView, QStringLiteral("u1.org"));
    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    main.cmbUrlMod->setCurrentIndex(main.cmbUrlMod->findText(QStringLiteral("u2.org")));
    QCOMPARE(main.txtUrlMod->text(), QStringLiteral("u2.org"));
    QCOMPARE(main.txtUrlModDesc->text(), QStringLiteral("d2"));
    // Unchanged compares with the URL chosen here.
    QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);
    QCOMPARE(ShownTexts(), QStringList{kUnchanged});
    main.txtUrlMod->setText(QStringLiteral("two.org"));
    QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);

    const QList<QByteArray> lines = FileLines(path);
    QCOMPARE(modMain::DecodeUrlLine(QString::fromLatin1(lines[1].chopped(2))).address,
             QStringLiteral("two.org"));
    QCOMPARE(lines[0], before[0]);
    QCOMPARE(lines[2], before[2]);
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"two.org=2", "u1.org=1", "u3.org=3"}));
}

void tst_UrlEdits::modifyKeepsADescriptionLeftAsLoaded_data() {
    QTest::addColumn<QString>("description"); // typed over the loaded one; null: left alone
    QTest::addColumn<QString>("message");

    QTest::newRow("address changed alone")
        << QString() << QStringLiteral("The URL was Succesfully Modified!");
    QTest::newRow("description changed, damage kept")
        << QStringLiteral("ab{ more")
        << QStringLiteral("Sorry, a Description can't hold these characters: \"{\"\r\nPlease "
                          "use only letters without accents, digits, blanks and the usual "
                          "punctuation marks.\r\n\r\nStore it as \"ab( more\" instead?");
    QTest::newRow("description changed, damage mended")
        << QStringLiteral("ab more") << QStringLiteral("The URL was Succesfully Modified!");
}

// A stored description that deciphers with "{" (a damaged cipher group) is
// shown as it reads; it is only checked, and written anew, when the user
// changes it.
void tst_UrlEdits::modifyKeepsADescriptionLeftAsLoaded() {
    QFETCH(QString, description);
    QFETCH(QString, message);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString damaged = modMain::EncryptText(QStringLiteral("ba")) + NoMatchGroup();
    const QString stamp = modMain::MakePassStamp(kTestPassword);
    const QByteArray line =
        modMain::JoinRecord({modMain::EncodeField(QStringLiteral("URL1")),
                             modMain::EncodeField(QStringLiteral("a.org")), damaged, stamp})
            .toLatin1() +
        "\r\n";
    const QString path = WriteUrlFile(1, line + Numbered({2}));
    MenuOn(main, QStringLiteral("News"));
    ClickEntry(main.lstUrlView, QStringLiteral("a.org"));
    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    QCOMPARE(main.txtUrlModDesc->text(), QStringLiteral("ab{"));
    main.txtUrlMod->setText(QStringLiteral("a2.org"));
    if (!description.isNull()) {
        main.txtUrlModDesc->setText(QString());
        TypeDescription(main.txtUrlModDesc, description);
    }
    QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);

    QCOMPARE(ShownTexts(), QStringList{message});
    const QList<QByteArray> lines = FileLines(path);
    QCOMPARE(lines.size(), 2);
    if (!message.startsWith(QLatin1String("The URL"))) {
        QCOMPARE(lines[0], line);
        QVERIFY(main.pctUrlMod->isVisible());
        QCOMPARE(main.txtUrlModDesc->text(), description);
        return;
    }
    const QStringList fields = modMain::SplitRecord(QString::fromLatin1(lines[0].chopped(2)));
    QCOMPARE(fields.size(), 4);
    QCOMPARE(modMain::DecodeField(fields[0]), QStringLiteral("URL1"));
    QCOMPARE(modMain::DecodeField(fields[1]), QStringLiteral("a2.org"));
    if (description.isNull())
        QCOMPARE(fields[2], damaged); // byte for byte
    else
        QCOMPARE(modMain::DecodeField(fields[2]), description);
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"a2.org=1", "u2.org=2"}));
}

void tst_UrlEdits::hintInAStoredDescriptionClearsOnEntering() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    WriteUrlFile(1, UrlLine({1, "a.org", kHint}));
    MenuOn(main, QStringLiteral("News"));
    ClickListRow(main.lstUrlView, 0);
    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    QCOMPARE(main.txtUrlModDesc->text(), kHint);
    QTest::mouseClick(main.txtUrlModDesc->viewport(), Qt::LeftButton);
    QCOMPARE(main.txtUrlModDesc->text(), QString());
}

void tst_UrlEdits::detailsOfAVanishedFile() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1, 2}));
    MenuOn(main, QStringLiteral("News"));
    ClickListRow(main.lstUrlView, 0);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("d1"));
    QVERIFY(QFile::remove(path));
    ClickListRow(main.lstUrlView, 1);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("d1"));
    QVERIFY(MsgBox::shown().isEmpty());
}

void tst_UrlEdits::failedAppend() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QString path = WriteUrlFile(1, Numbered({1, 2}));
    const QByteArray before = FileBytes(path);
    MenuOn(main, QStringLiteral("News"));
    QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
    TypeInto(main.txtUrlAdd, QStringLiteral("new.org"));
    {
        const FileSizeLimit limit(before.size() + 10);
        QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton);
    }
    QCOMPARE(MsgBox::shown().size(), 1);
    QVERIFY2(MsgBox::shown()[0].text.startsWith(QStringLiteral("Wayfile could not write to \"") +
                                                path + u'"'),
             qPrintable(MsgBox::shown()[0].text));
    QCOMPARE(FileBytes(path), before);
    QVERIFY(main.pctUrlAdd->isVisible());
    QCOMPARE(main.txtUrlAdd->text(), QStringLiteral("new.org"));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"u1.org=1", "u2.org=2"}));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Add URL Menu)"));
}

void tst_UrlEdits::deleteOrModifyFails_data() {
    QTest::addColumn<QString>("open");   // the URL menu's button
    QTest::addColumn<QString>("urls");   // the panel's list of URLs
    QTest::addColumn<QString>("commit"); // the panel's button
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("status");
    QTest::addColumn<WriteFault>("fault");
    QTest::addColumn<bool>("gone");       // the URL left the file after it was chosen
    QTest::addColumn<QString>("message"); // %1: the URL file

    const QString writeTo = QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: ");
    // A delete moves the URL into the Trash in one journaled change, whose
    // journal (%2) is the first file it writes.
    const QString createJournal =
        QStringLiteral("Wayfile could not create \"%2\".\r\n\r\nReason: ");
    struct Operation {
        const char *name, *open, *urls, *commit, *panel, *status, *gone;
        bool journaled;
    };
    const Operation operations[] = {
        {"delete", "cmdUrlViewD", "cmbUrlDel", "cmdUrlDel", "pctUrlDel", "Ready (Delete URL Menu)",
         "Sorry, that URL is no longer in the file of this Category, so nothing was deleted.",
         true},
        {"modify", "cmdUrlViewM", "cmbUrlMod", "cmdUrlMod", "pctUrlMod", "Ready (Modify URL Menu)",
         "Sorry, that URL is no longer in the file of this Category, so nothing was modified.",
         false},
    };
    for (const Operation &op : operations) {
        auto row = [&op](const char *what) -> QTestData & {
            return QTest::addRow("%s, %s", op.name, what)
                   << QString(op.open) << QString(op.urls) << QString(op.commit)
                   << QString(op.panel) << QString(op.status);
        };
        row("past the file-size limit")
            << WriteFault::FileSizeLimit << false << writeTo + "File too large.";
        const QString firstWrite = op.journaled ? createJournal : writeTo;
        row("on a full disk") << WriteFault::FullDisk << false
                              << firstWrite + "No space left on device.\r\n\r\nNothing was "
                                              "saved, and the file is as it was. Please free some "
                                              "space on the disk and try again.";
        row("when the file cannot be flushed")
            << WriteFault::FlushFails << false << firstWrite + "Input/output error.";
        row("of a URL gone from the file meanwhile")
            << WriteFault::None << true << QString(op.gone);
    }
}

// The file, the folder and the lists stay as they were, the user reads why,
// and the panel stays open to try again.
void tst_UrlEdits::deleteOrModifyFails() {
    QFETCH(QString, open);
    QFETCH(QString, urls);
    QFETCH(QString, commit);
    QFETCH(QString, panel);
    QFETCH(QString, status);
    QFETCH(WriteFault, fault);
    QFETCH(bool, gone);
    QFETCH(QString, message);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    QList<int> numbers;
    for (int n = 1; n <= 40; ++n)
        numbers << n;
    const QString path = WriteUrlFile(1, Numbered(numbers));
    MenuOn(main, QStringLiteral("News"));
    const QStringList listed = ListedEntries(main.lstUrlView);
    QCOMPARE(listed.size(), 40);
    ClickEntry(main.lstUrlView, QStringLiteral("u2.org"));
    QTest::mouseClick(main.findChild<QPushButton *>(open), Qt::LeftButton);
    auto *choice = main.findChild<QComboBox *>(urls);
    QCOMPARE(choice->currentText(), QStringLiteral("u2.org"));
    const QStringList offered = ListedEntries(choice);
    if (panel == QLatin1String("pctUrlMod"))
        main.txtUrlMod->setText(QStringLiteral("changed.org"));
    if (gone) {
        numbers.removeOne(2);
        WriteUrlFile(1, Numbered(numbers));
    }
    const QByteArray before = FileBytes(path);
    const QStringList filesBefore = QDir(modMain::UserFolderPath(1)).entryList(QDir::Files);
    QVERIFY(filesBefore.contains(QStringLiteral("CAT1.DAT")));
    {
        const WriteFaultScope faults(fault, before.size() / 2);
        QTest::mouseClick(main.findChild<QPushButton *>(commit), Qt::LeftButton);
    }

    const QString journal =
        modMain::JoinPath(modMain::UserFolderPath(1), QStringLiteral("wayfile.journal"));
    QCOMPARE(ShownTexts(), QStringList{message.contains(QLatin1String("%2"))
                                           ? QString(message).replace(QStringLiteral("%2"), journal)
                                       : message.contains(QLatin1String("%1")) ? message.arg(path)
                                                                               : message});
    QCOMPARE(FileBytes(path), before);
    QCOMPARE(QDir(modMain::UserFolderPath(1)).entryList(QDir::Files), filesBefore);
    QCOMPARE(ListedEntries(main.lstUrlView), listed);
    QCOMPARE(ListedEntries(choice), offered);
    QCOMPARE(choice->currentText(), QStringLiteral("u2.org"));
    QVERIFY(main.findChild<QWidget *>(panel)->isVisible());
    QCOMPARE(StatusText(main), status);
}

// The category's URL file is made when the category is chosen, and its
// folder cannot be flushed: the user hears of it once, on the way to the
// first URL.
void tst_UrlEdits::firstUrlWarnsOfAnUnflushedFolder() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 4}});
    {
        const DiskCallsOverride calls(FolderSyncFails(EIO));
        MenuOn(main, QStringLiteral("News"));
        QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
        QTest::keyClicks(main.txtUrlAdd, QStringLiteral("news.example/a"));
        QTest::keyClick(main.txtUrlAdd, Qt::Key_Return);
    }
    const QString folder = env.path(QStringLiteral("USR1"));
    QCOMPARE(ShownTexts(),
             (QStringList{QStringLiteral("Wayfile created the empty file \"%1/CAT4.DAT\", but "
                                         "could not make sure that the change is safely on disk: "
                                         "a power failure could still undo it.\r\n\r\nReason: "
                                         "The folder \"%1\" could not be flushed to disk "
                                         "(Input/output error).\r\n\r\nPlease check the disk: it "
                                         "may be full, failing or no longer connected. After a "
                                         "power failure, see whether the change is still there, "
                                         "and make it again if it is not.")
                              .arg(folder),
                          QStringLiteral("Success! The URL was added under the Category News")}));
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{QStringLiteral("news.example/a=1")});
}

// A file that holds one number twice: the URL chosen is the one shown,
// modified and deleted, and the other stays in the file and in the lists.
void tst_UrlEdits::oneOfTwoUrlsOfOneNumberChanges() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    const QByteArray a = UrlLine({5, QStringLiteral("a.org"), QStringLiteral("first")});
    const QByteArray b = UrlLine({5, QStringLiteral("b.org"), QStringLiteral("second")});
    const QString path = WriteUrlFile(1, a + b);
    MenuOn(main, QStringLiteral("News"));
    ClickEntry(main.lstUrlView, QStringLiteral("b.org"));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("second"));

    QTest::mouseClick(main.cmdUrlViewM, Qt::LeftButton);
    QCOMPARE(main.txtUrlModDesc->text(), QStringLiteral("second"));
    main.txtUrlMod->setText(QStringLiteral("c.org"));
    QTest::mouseClick(main.cmdUrlMod, Qt::LeftButton);
    QCOMPARE(ShownTexts(), QStringList{QStringLiteral("The URL was Succesfully Modified!")});
    QList<QByteArray> lines = FileLines(path);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], a);
    const modMain::UrlRecord changed =
        modMain::DecodeUrlLine(QString::fromLatin1(lines[1].chopped(2)));
    QCOMPARE(changed.address, QStringLiteral("c.org"));
    QCOMPARE(changed.description(), QStringLiteral("second"));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"a.org=5", "c.org=5"}));

    MsgBox::reset();
    ClickEntry(main.lstUrlView, QStringLiteral("c.org"));
    QTest::mouseClick(main.cmdUrlViewD, Qt::LeftButton);
    QCOMPARE(main.cmbUrlDel->currentText(), QStringLiteral("c.org"));
    QTest::keyClick(main.cmbUrlDel, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! The URL was succesfully deleted!")});
    QCOMPARE(FileBytes(path), a);
    QCOMPARE(ListedEntries(main.lstUrlView), QStringList{"a.org=5"});
}

QTEST_MAIN(tst_UrlEdits)
#include "tst_urledits.moc"

// Bookmark files through the real main window: importing a browser's export
// (the preview, Enter writes, Escape writes nothing, the lists follow), the
// refusal of a file that holds no bookmarks, exporting and reading the export
// back into another user, and the offer to store a refused text as the
// character table maps it.

#include "guitest.h"

#include "bookmarks/bookmarkfile.h"
#include "categories/categoryindex.h"
#include "screens/filedialog.h"
#include "screens/foundurls.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/findindex.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using screens::FileDialog;
using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

namespace {

const QString kMenuStatus =
    QStringLiteral("What would you like to do? Add, Delete or Modify a Category?");

QString Fixture(const char *name) {
    return QStringLiteral(WAYFILE_BOOKMARK_FIXTURES "/") + QLatin1String(name);
}

// Every data file of the program folder with its bytes.
QMap<QString, QByteArray> DataFiles(GuiTestEnv &env) {
    QMap<QString, QByteArray> files;
    QDir dir(env.folder());
    for (const QString &folder : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir sub(dir.filePath(folder));
        for (const QString &name : sub.entryList(QDir::Files))
            files.insert(folder + u'/' + name, FileBytes(sub.filePath(name)));
    }
    for (const QString &name : dir.entryList(QDir::Files))
        files.insert(name, FileBytes(dir.filePath(name)));
    return files;
}

// "category | address | description" of every URL the user can export, and
// "category" for a category without URLs; descriptions with "\n" for a line
// break.
QStringList Exported(int userNo) {
    QList<modMain::ExportCategory> categories;
    const modMain::IoError err =
        modMain::ReadCategoriesToExport(userNo, modMain::PassStamp, &categories);
    if (err.failed())
        return {err.message()};
    QStringList lines;
    for (const modMain::ExportCategory &c : categories) {
        if (c.urls.isEmpty())
            lines << c.name;
        for (const modMain::ExportUrl &u : c.urls)
            lines
                << c.name + QStringLiteral(" | ") + u.address + QStringLiteral(" | ") +
                       QString(u.description).replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    }
    return lines;
}

// The rows of the list of texts changed to fit, cells joined by " | ".
QStringList ChangedTexts(frmMain &main) {
    QStringList rows;
    const QAbstractItemModel *model = main.lstCatImp->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(QStringLiteral(" | "));
    }
    return rows;
}

// The test user with the category "DEV / php" (number 1), in which the PHP
// manual is saved already, on the Categories menu.
frmMain &SignInWithPhpSaved(GuiTestEnv &env) {
    WriteUserFiles({{QStringLiteral("DEV / php"), 1, false}});
    WriteUrlFile(1, UrlLine({1, QStringLiteral("https://www.php.net/manual/en/"),
                             QStringLiteral("The manual"), false}));
    frmMain &main = SignInWithCategories(env);
    main.cmdCat_Click();
    return main;
}

// Chooses the fixture `name` through the Import Bookmarks button.
void OpenImport(frmMain &main, const QString &path) {
    FileDialog::queueAnswer(path);
    QTest::mouseClick(main.cmdCatViewI, Qt::LeftButton);
}

const QString kFirefoxPreview = QStringLiteral(
    "6 URL's will be added under 6 Categories (5 new and 1 existing).\n"
    "1 URL will be skipped as already saved, and 2 as they are not web addresses.\n"
    "1 text(s) had to be changed to fit (listed below).\n\n"
    "Press Enter or click on Import to add them, or Back to leave everything as it is.");

} // namespace

class tst_Bookmarks : public QObject {
    Q_OBJECT
private slots:
    void importShowsPreviewAndEnterWrites();
    void escapeAndBackWriteNothing();
    void signOutDropsThePreview();
    void findSeesWhatWasImported();
    void fileThatHoldsNoBookmarksIsRefused();
    void cancelledDialogDoesNothing();
    void exportWritesOwnerOnlyFileThatImportsAlike();
    void exportFailureNamesFileAndReason();
    void refusedTextOffersMappedText_data();
    void refusedTextOffersMappedText();
    void qtDialogTakesTypedPath();
};

void tst_Bookmarks::importShowsPreviewAndEnterWrites() {
    GuiTestEnv env;
    frmMain &main = SignInWithPhpSaved(env);
    // The URLs menu lists the category that will receive a URL.
    main.cmdURL_Click();
    main.cmbUrlCat->setCurrentIndex(0);
    QCOMPARE(main.lstUrlView->count(), 1);
    main.cmdCat_Click();

    OpenImport(main, Fixture("firefox.html"));
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked()[0].caption, QStringLiteral("Import Bookmarks"));
    QCOMPARE(FileDialog::asked()[0].start, QDir::homePath());
    QVERIFY(ShownTexts().isEmpty());
    QVERIFY(main.pctCatImp->isVisible());
    QVERIFY(!main.fraCatView->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Import Bookmarks Menu"));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Import Bookmarks Menu)"));
    QCOMPARE(main.lblCatImp->text(), QStringLiteral("Bookmark file : ") +
                                         QDir::toNativeSeparators(Fixture("firefox.html")) +
                                         QStringLiteral("\n\n") + kFirefoxPreview);
    QCOMPARE(ChangedTexts(main),
             QStringList{QString::fromUtf16(u"24 | https://3v4l.org/?a=1&b=2 | Description | 3v4l "
                                            u"\u2013 online PHP shell | 3v4l - online PHP shell")});
    QVERIFY(!main.prgCatImp->isVisible());
    QCOMPARE(main.focusWidget(), main.lstCatImp);
    QCOMPARE(DataFiles(env).size(), 3); // nothing written yet: info.qvx, CAT.DAT, CAT1.DAT

    QTest::keyClick(main.lstCatImp, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral(
                 "Success! 6 URL's were imported under 6 Categories (5 new and 1 existing).\r\n"
                 "1 URL was skipped as already saved, and 2 as they are not web addresses.")});
    QVERIFY(main.fraCatView->isVisible());
    QVERIFY(!main.pctCatImp->isVisible());
    QCOMPARE(StatusText(main), kMenuStatus);

    // The four lists follow, under the numbers the index gave.
    const QStringList categories{QStringLiteral("Bookmarks Menu=4"),
                                 QStringLiteral("Bookmarks Toolbar=5"),
                                 QStringLiteral("Dev=3"),
                                 QStringLiteral("DEV / php=1"),
                                 QStringLiteral("Mozilla Firefox=2"),
                                 QStringLiteral("Other Bookmarks=6")};
    QCOMPARE(ListedEntries(main.lstCatView), categories);
    QCOMPARE(ListedEntries(main.cmbCatDel), categories);
    QCOMPARE(ListedEntries(main.cmbUrlCat), categories);
    QCOMPARE(main.lblCatView->text(), QStringLiteral("6 Existing Categories are : "));
    QCOMPARE(Exported(1),
             (QStringList{
                 QStringLiteral("Bookmarks Menu | https://www.wikipedia.org/ | Wikipedia"),
                 QStringLiteral("Bookmarks Toolbar | https://news.ycombinator.com/ | Hacker News"),
                 QStringLiteral("Dev | https://developer.mozilla.org/ | MDN Web Docs\\nResources "
                                "for developers, by developers."),
                 QStringLiteral("DEV / php | https://www.php.net/manual/en/ | The manual"),
                 QStringLiteral("DEV / php | https://3v4l.org/?a=1&b=2 | 3v4l - online PHP shell"),
                 QStringLiteral("Mozilla Firefox | https://support.mozilla.org/products/firefox | "
                                "Get Help"),
                 QStringLiteral("Mozilla Firefox | https://www.mozilla.org/about/ | About Us"),
                 QStringLiteral("Other Bookmarks")}));

    // The URLs menu shows the URL the import added to the category it lists.
    main.cmdURL_Click();
    QCOMPARE(main.cmbUrlCat->currentText(), QStringLiteral("DEV / php"));
    QCOMPARE(ListedEntries(main.lstUrlView),
             (QStringList{QStringLiteral("https://3v4l.org/?a=1&b=2=2"),
                          QStringLiteral("https://www.php.net/manual/en/=1")}));
}

void tst_Bookmarks::escapeAndBackWriteNothing() {
    GuiTestEnv env;
    frmMain &main = SignInWithPhpSaved(env);
    const auto before = DataFiles(env);

    OpenImport(main, Fixture("firefox.html"));
    QVERIFY(main.pctCatImp->isVisible());
    QTest::keyClick(main.lstCatImp, Qt::Key_Escape);
    QVERIFY(main.fraCatView->isVisible());
    QVERIFY(!main.pctCatImp->isVisible());
    QCOMPARE(StatusText(main), kMenuStatus);
    QCOMPARE(main.focusWidget(), main.cmdCatViewI);

    OpenImport(main, Fixture("chrome.html"));
    QVERIFY(main.pctCatImp->isVisible());
    QTest::mouseClick(main.cmdCatImpCncl, Qt::LeftButton);
    QVERIFY(main.fraCatView->isVisible());
    // Enter on the menu afterwards imports nothing that was previewed.
    main.cmdCatImp_Click();

    QVERIFY(ShownTexts().isEmpty());
    QCOMPARE(DataFiles(env), before);
    QCOMPARE(ListedEntries(main.lstCatView), QStringList{QStringLiteral("DEV / php=1")});
}

// Signing out with a preview open leaves nothing of it for the next user.
void tst_Bookmarks::signOutDropsThePreview() {
    GuiTestEnv env;
    frmMain &main = SignInWithPhpSaved(env);
    const auto before = DataFiles(env);
    OpenImport(main, Fixture("firefox.html"));
    QVERIFY(main.pctCatImp->isVisible());
    QVERIFY(main.lstCatImp->model()->rowCount() > 0);

    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QCOMPARE(modMain::UserNo, qint16(0));
    QVERIFY(!main.pctCatImp->isVisible());
    QCOMPARE(main.lstCatImp->model()->rowCount(), 0);
    QCOMPARE(main.lblCatImp->text(), QString());
    main.cmdCatImp_Click(); // nothing is left to write
    QCOMPARE(DataFiles(env), before);
}

// A find index read before an import finds the imported URLs afterwards.
void tst_Bookmarks::findSeesWhatWasImported() {
    GuiTestEnv env;
    frmMain &main = SignInWithPhpSaved(env);
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    QVERIFY(main.Data->index().isBuilt());
    main.cmdCat_Click();
    OpenImport(main, Fixture("firefox.html"));
    QTest::keyClick(main.lstCatImp, Qt::Key_Return);
    QVERIFY(ShownTexts().value(0).startsWith(QLatin1String("Success!")));

    modMain::FindIndex fresh;
    QVERIFY(!fresh.build(modMain::UserFolderPath(1), modMain::PassStamp).failed());
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    main.txtUrlFind->setText(QStringLiteral("http"));
    QCOMPARE(main.FoundUrls->count(), int(fresh.find(QStringLiteral("http")).size()));
    QVERIFY(main.FoundUrls->count() > 1);
}

void tst_Bookmarks::fileThatHoldsNoBookmarksIsRefused() {
    GuiTestEnv env;
    frmMain &main = SignInWithPhpSaved(env);
    const auto before = DataFiles(env);

    const QString path = Fixture("notbookmarks.html");
    OpenImport(main, path);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Sorry, \"") + path +
                         QStringLiteral("\" is not a bookmark file, so nothing was imported.\r\n"
                                        "Please choose the file your browser wrote when you "
                                        "exported your bookmarks: an HTML file that begins with "
                                        "<!DOCTYPE NETSCAPE-Bookmark-file-1>.")});
    QVERIFY(main.fraCatView->isVisible());
    QVERIFY(!main.pctCatImp->isVisible());
    QCOMPARE(StatusText(main), kMenuStatus);
    QCOMPARE(DataFiles(env), before);
}

void tst_Bookmarks::cancelledDialogDoesNothing() {
    GuiTestEnv env;
    frmMain &main = SignInWithPhpSaved(env);
    const auto before = DataFiles(env);
    QTest::mouseClick(main.cmdCatViewI, Qt::LeftButton); // no answer queued: Cancel
    QTest::mouseClick(main.cmdCatViewX, Qt::LeftButton);
    QCOMPARE(FileDialog::asked().size(), 2);
    QVERIFY(ShownTexts().isEmpty());
    QVERIFY(main.fraCatView->isVisible());
    QCOMPARE(StatusText(main), kMenuStatus);
    QCOMPARE(DataFiles(env), before);
}

void tst_Bookmarks::exportWritesOwnerOnlyFileThatImportsAlike() {
    GuiTestEnv env;
    WriteUserFiles({{QStringLiteral("News"), 1, false},
                    {QStringLiteral("Dev / Tools & Tips"), 2, false},
                    {QStringLiteral("Empty"), 3, false}});
    WriteUrlFile(1, UrlLine({1, QStringLiteral("https://news.example/?a=1&b=<2>"),
                             QStringLiteral("Daily \"news\"*QVX*second line*QVX*third"), false}) +
                        UrlLine({2, QStringLiteral("www.example.org"), QString(), false}));
    WriteUrlFile(2, UrlLine({1, QStringLiteral("http://tools.example/%C3%A9"),
                             QStringLiteral("Tools <b>bold</b> & more"), false}));
    AddAccount(2, QStringLiteral("Bob"), QStringLiteral("Other"));
    QVERIFY(QDir(env.folder()).mkdir(QStringLiteral("USR2")));
    frmMain &main = SignInWithCategories(env);
    const QStringList annsUrls = Exported(1);
    QCOMPARE(annsUrls.size(), 4);

    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("export.html"));
    main.cmdCat_Click();
    FileDialog::queueAnswer(path);
    QTest::mouseClick(main.cmdCatViewX, Qt::LeftButton);
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked()[0].caption, QStringLiteral("Export Bookmarks"));
    QCOMPARE(FileDialog::asked()[0].start, QDir::home().filePath("wayfile-bookmarks.html"));
    QVERIFY(FileDialog::asked()[0].save);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Success! 3 Categories with 3 URL's were exported to ") +
                         path +
                         QStringLiteral("\r\n\r\nPlease note that the exported file is not "
                                        "enciphered: anyone who can read the file can read your "
                                        "URL's and their descriptions.")});
    QCOMPARE(StatusText(main), kMenuStatus);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    QVERIFY(FileBytes(path).startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));

    // Into another user: the same categories and descriptions, and the
    // addresses as View opens them (with a scheme).
    MsgBox::reset();
    MsgBox::queueAnswer(MsgAnswer::Yes);
    main.cmdLogin_Click(); // signs out
    QCOMPARE(modMain::UserNo, qint16(0));
    SignInByKeyboard(main, QStringLiteral("Bob"), QStringLiteral("Other"));
    QCOMPARE(modMain::UserNo, qint16(2));
    MsgBox::reset();
    main.cmdCat_Click();
    OpenImport(main, path);
    QVERIFY2(main.pctCatImp->isVisible(), qPrintable(ShownTexts().join(u'/')));
    QTest::mouseClick(main.cmdCatImp, Qt::LeftButton);
    QCOMPARE(ShownTexts().size(), 1);
    QVERIFY2(ShownTexts()[0].startsWith(QStringLiteral("Success! 3 URL's were imported under 3 "
                                                       "Categories (3 new and 0 existing).")),
             qPrintable(ShownTexts()[0]));
    QCOMPARE(Exported(2),
             (QStringList{QStringLiteral("Dev / Tools & Tips | http://tools.example/%C3%A9 | Tools "
                                         "<b>bold</b> & more"),
                          QStringLiteral("Empty"),
                          QStringLiteral("News | https://news.example/?a=1&b=<2> | Daily "
                                         "\"news\"\\nsecond line\\nthird"),
                          QStringLiteral("News | http://www.example.org | ")}));
}

void tst_Bookmarks::exportFailureNamesFileAndReason() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1, false}});
    main.cmdCat_Click();
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("no such folder/export.html"));
    FileDialog::queueAnswer(path);
    QTest::mouseClick(main.cmdCatViewX, Qt::LeftButton);
    QCOMPARE(ShownTexts(), QStringList{QStringLiteral("Wayfile could not write to \"") + path +
                                       QStringLiteral("\".\r\n\r\nReason: No such file or "
                                                      "directory.")});
    QCOMPARE(StatusText(main), kMenuStatus);
    QVERIFY(!QFileInfo::exists(path));
}

// What the user types, where, what the box says of it, and what is stored
// after Yes; No keeps the box as typed and stores nothing.
void tst_Bookmarks::refusedTextOffersMappedText_data() {
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QString>("success");
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("add_category")
        << "add category" << QString::fromUtf16(u"Caf\u00e9 \u201cNoir\u201d")
        << QString::fromUtf16(u"Sorry, a Category Name can't hold these characters: \"\u00e9\" "
                              u"\"\u201c\" \"\u201d\"\r\nPlease use only letters without "
                              u"accents, digits, blanks and the usual punctuation marks.\r\n\r\n"
                              u"Store it as \"Cafe \"Noir\"\" instead?")
        << QStringLiteral("Success! The Category Cafe \"Noir\" was Created!")
        << QStringList{QStringLiteral("Cafe \"Noir\""), QStringLiteral("News")};
    QTest::newRow("rename_category")
        << "rename category" << QString::fromUtf16(u"Stra\u00dfe {1}")
        << QString::fromUtf16(u"Sorry, a Category Name can't hold these characters: \"\u00df\" "
                              u"\"{\" \"}\"\r\nPlease use only letters without accents, digits, "
                              u"blanks and the usual punctuation marks.\r\n\r\n"
                              u"Store it as \"Strasse (1)\" instead?")
        << QStringLiteral("Success, the Category News was modified to Strasse (1)")
        << QStringList{QStringLiteral("Strasse (1)")};
    QTest::newRow("add_url_description")
        << "add url" << QString::fromUtf16(u"Na\u00efve \u2014 notes\r\nline two\u2026")
        << QString::fromUtf16(u"Sorry, a Description can't hold these characters: \"\u00ef\" "
                              u"\"\u2014\" \"\u2026\"\r\nPlease use only letters without "
                              u"accents, digits, blanks and the usual punctuation marks.\r\n\r\n"
                              u"Store it as \"Naive - notes\r\nline two...\" instead?")
        << QStringLiteral("Success! The URL was added under the Category News")
        << QStringList{QStringLiteral("News | http://x.example | Naive - notes\\nline two...")};
}

void tst_Bookmarks::refusedTextOffersMappedText() {
    QFETCH(QString, screen);
    QFETCH(QString, typed);
    QFETCH(QString, offer);
    QFETCH(QString, success);
    QFETCH(QStringList, stored);

    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{QStringLiteral("News"), 1, false}});
    QWidget *box = nullptr;
    std::function<void()> press;
    std::function<QString()> boxText;
    if (screen == QLatin1String("add category")) {
        main.cmdCat_Click();
        main.cmdCatViewA_Click();
        main.txtCatAdd->setText(typed);
        box = main.txtCatAdd;
        press = [&] { QTest::mouseClick(main.cmdCatAdd, Qt::LeftButton); };
        boxText = [&] { return main.txtCatAdd->text(); };
    } else if (screen == QLatin1String("rename category")) {
        main.cmdCat_Click();
        main.lstCatView->setCurrentRow(0);
        main.cmdCatViewM_Click();
        main.txtCatMod->setText(typed);
        box = main.txtCatMod;
        press = [&] { QTest::mouseClick(main.cmdCatMod, Qt::LeftButton); };
        boxText = [&] { return main.txtCatMod->text(); };
    } else {
        main.cmdURL_Click();
        main.cmbUrlCat->setCurrentIndex(0);
        main.cmdUrlViewA_Click();
        main.txtUrlAdd->setText(QStringLiteral("http://x.example"));
        main.txtUrlAddCh->setText(typed);
        box = main.txtUrlAddCh;
        press = [&] { QTest::mouseClick(main.cmdUrlAdd, Qt::LeftButton); };
        boxText = [&] { return main.txtUrlAddCh->text(); };
    }
    const QString ready = StatusText(main);
    const auto before = DataFiles(env);

    // No: the box keeps what was typed, and nothing is written.
    MsgBox::queueAnswer(MsgAnswer::No);
    press();
    QCOMPARE(ShownTexts(), QStringList{offer});
    QCOMPARE(MsgBox::shown()[0].buttons, MsgButtons::YesNo);
    QCOMPARE(boxText(), typed);
    QCOMPARE(main.focusWidget(), box);
    QCOMPARE(StatusText(main), ready);
    QCOMPARE(DataFiles(env), before);

    // Yes: the mapped text is stored.
    MsgBox::reset();
    MsgBox::queueAnswer(MsgAnswer::Yes);
    press();
    QCOMPARE(ShownTexts(), (QStringList{offer, success}));
    QStringList now;
    if (screen == QLatin1String("add url")) {
        now = Exported(1);
    } else {
        for (int row = 0; row < main.lstCatView->count(); ++row)
            now << RowText(main.lstCatView, row);
        QCOMPARE(Exported(1), now);
    }
    QCOMPARE(now, stored);
}

// Qt's own dialog: a full path typed into its file-name box and Enter
// choose that file.
void tst_Bookmarks::qtDialogTakesTypedPath() {
    GuiTestEnv env;
    FileDialog::setScripted(false);
    const QString path = Fixture("chrome.html");
    bool typed = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name) {
            dialog->reject();
            return;
        }
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
        typed = true;
    });
    const QString chosen =
        FileDialog::openFile(nullptr, QStringLiteral("Import Bookmarks"), QDir::tempPath(),
                             QStringLiteral("Bookmark files (*.html *.htm);;All files (*)"));
    FileDialog::setScripted(true);
    QVERIFY(typed);
    QCOMPARE(chosen, path);
}

QTEST_MAIN(tst_Bookmarks)
#include "tst_bookmarks.moc"

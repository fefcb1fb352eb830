// Undo and redo on the main window, and the Trash screen: listing what was
// deleted, restoring it, and emptying the Trash after a Yes.

#include "guitest.h"
#include "privacy/clock.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/records.h"
#include "trash/trashfile.h"
#include "urls/urlfile.h"
#include "userdata/userdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using screens::MsgAnswer;
using screens::MsgBox;

namespace {

const QList<TestCategory> kTwo{{"Work", 1}, {"Home", 2}};

// The rows the Trash screen lists, without their dates.
QStringList trashRows(frmMain &main) {
    QStringList rows;
    for (int row = 0; row < main.TrashItems->rowCount(); ++row) {
        const QString text = main.TrashItems->item(row)->text();
        rows << text.left(text.lastIndexOf(QStringLiteral(", deleted ")));
    }
    return rows;
}

} // namespace

class TrashTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MsgBox::reset(); }

    // Ctrl+Z and Ctrl+Y (or Ctrl+Shift+Z) on the window take back and make
    // again the last change, and the status line names it.
    void undoKeys_data() {
        QTest::addColumn<QKeyCombination>("redoKey");
        QTest::newRow("ctrl y") << QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
        QTest::newRow("ctrl shift z")
            << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
    }
    void undoKeys() {
        QFETCH(QKeyCombination, redoKey);
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kTwo);
        const QString index = env.path(QStringLiteral("USR1/CAT.DAT"));
        const QByteArray before = FileBytes(index);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        ClickEntry(main.lstCatView, QStringLiteral("Home"));
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdCatDel, Qt::LeftButton);
        QCOMPARE(ListedEntries(main.lstCatView), QStringList{"Work=1"});

        main.lstCatView->setFocus();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(StatusText(main), QStringLiteral("Undone: Delete Category Home"));
        QCOMPARE(FileBytes(index), before);
        QCOMPARE(ListedEntries(main.lstCatView), (QStringList{"Home=2", "Work=1"}));
        QCOMPARE(main.lblCatView->text(), QStringLiteral("2 Existing Categories are : "));

        QTest::keyClick(&main, redoKey.key(), redoKey.keyboardModifiers());
        QCOMPARE(StatusText(main), QStringLiteral("Redone: Delete Category Home"));
        QCOMPARE(ListedEntries(main.lstCatView), QStringList{"Work=1"});
        QCOMPARE(DecodedIndex(index), QStringList{"1 Work"});

        QTest::keyClick(&main, redoKey.key(), redoKey.keyboardModifiers());
        QCOMPARE(StatusText(main), QStringLiteral("Nothing to redo."));
    }

    // In a text box Ctrl+Z is the box's own undo: nothing of the user's data
    // is taken back.
    void undoInATextBoxIsTheBoxs() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kTwo);
        QVERIFY(main.Data->addCategory(QStringLiteral("Games")).changed);
        QTest::mouseClick(main.cmdCat, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        main.txtCatAdd->setFocus();
        TypeInto(main.txtCatAdd, QStringLiteral("Trips"));
        QTest::keyClick(main.txtCatAdd, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(main.txtCatAdd->text(), QString());
        QVERIFY(!StatusText(main).startsWith(QStringLiteral("Undone")));
        QVERIFY(main.Data->canUndo());
        QCOMPARE(DecodedIndex(env.path(QStringLiteral("USR1/CAT.DAT"))),
                 (QStringList{"1 Work", "2 Home", "3 Games"}));
    }

    // The Trash lists what was deleted; Restore puts the chosen item back.
    void restoreFromTheTrashScreen() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kTwo);
        const QString work = WriteUrlFile(
            1, UrlLine({1, QStringLiteral("news.example.com"), QStringLiteral("paper")}) +
                   UrlLine({2, QStringLiteral("mail.example.com"), QString()}));
        const QByteArray before = FileBytes(work);
        QVERIFY(main.Data->deleteUrl(1, 1, QStringLiteral("news.example.com")).changed);
        QVERIFY(main.Data->deleteCategory(2, QStringLiteral("Home")).changed);

        QVERIFY(main.cmdTrash->isEnabled());
        QCOMPARE(main.cmdTrash->text(), QStringLiteral("&Trash"));
        QTest::mouseClick(main.cmdTrash, Qt::LeftButton);
        QVERIFY(main.pctTrash->isVisible());
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Trash Menu"));
        QCOMPARE(StatusText(main), QStringLiteral("Ready (Trash Menu)"));
        QCOMPARE(trashRows(main),
                 (QStringList{"news.example.com (Work)", "Category Home with 0 URL(s)"}));

        QTest::mouseClick(main.cmdTrashRes, Qt::LeftButton);
        QCOMPARE(ShownTexts(),
                 QStringList{"Please choose what you wish to Restore from the List!"});

        main.lstTrash->selectionModel()->select(main.TrashItems->index(0, 0),
                                                QItemSelectionModel::ClearAndSelect);
        QTest::mouseClick(main.cmdTrashRes, Qt::LeftButton);
        QCOMPARE(ShownTexts().last(),
                 QStringLiteral("Success! The choosen items are back where they were."));
        QCOMPARE(FileBytes(work), before);
        QCOMPARE(trashRows(main), QStringList{"Category Home with 0 URL(s)"});
    }

    // Empty Trash asks first; No keeps everything, Yes deletes it for good.
    void emptyAsksYesNo() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kTwo);
        QVERIFY(main.Data->deleteCategory(2, QStringLiteral("Home")).changed);
        QTest::mouseClick(main.cmdTrash, Qt::LeftButton);
        MsgBox::queueAnswer(MsgAnswer::No);
        QTest::mouseClick(main.cmdTrashEmp, Qt::LeftButton);
        QCOMPARE(MsgBox::shown().last().title, QStringLiteral("Confirm Empty Trash"));
        QCOMPARE(MsgBox::shown().last().text,
                 QStringLiteral("Are you sure you wish to delete everything in the Trash for "
                                "good? It can't be restored afterwards."));
        QCOMPARE(MsgBox::shown().last().buttons, screens::MsgButtons::YesNo);
        QCOMPARE(trashRows(main), QStringList{"Category Home with 0 URL(s)"});

        MsgBox::queueAnswer(MsgAnswer::Yes);
        QTest::mouseClick(main.cmdTrashEmp, Qt::LeftButton);
        QCOMPARE(ShownTexts().last(), QStringLiteral("The Trash was emptied."));
        QCOMPARE(trashRows(main), QStringList());
        QCOMPARE(FileBytes(env.path(QStringLiteral("USR1/TRASH.DAT"))), QByteArray());
    }

    // The "already saved" hint names a copy that only the Trash holds.
    void savedInTheTrash() {
        GuiTestEnv env;
        frmMain &main = SignInWithCategories(env, kTwo);
        WriteUrlFile(1, UrlLine({1, QStringLiteral("news.example.com"), QString()}) +
                            UrlLine({2, QStringLiteral("mail.example.com"), QString()}));
        WriteUrlFile(2, UrlLine({1, QStringLiteral("mail.example.com"), QString()}));
        QVERIFY(main.Data->deleteUrl(1, 1, QStringLiteral("news.example.com")).changed);
        QVERIFY(main.Data->deleteUrl(2, 1, QStringLiteral("mail.example.com")).changed);
        QTest::mouseClick(main.cmdURL, Qt::LeftButton);
        main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Home")));
        QTest::mouseClick(main.cmdUrlViewA, Qt::LeftButton);
        TypeInto(main.txtUrlAdd, QStringLiteral("http://NEWS.example.com/"));
        QCOMPARE(main.lblUrlAddSaved->text(), QStringLiteral("Already saved in: Work (in Trash)"));
        // A copy still in a file is named as ever, and its category not twice.
        main.txtUrlAdd->clear();
        TypeInto(main.txtUrlAdd, QStringLiteral("mail.example.com"));
        QCOMPARE(main.lblUrlAddSaved->text(),
                 QStringLiteral("Already saved in: Work, Home (in Trash)"));
    }

    // Signing in: items older than 30 days go, and the user is told how
    // many.
    void oldItemsGoAtSignIn() {
        GuiTestEnv env;
        WriteUserFiles(kTwo);
        modMain::UserNo = 1;
        const QString stamp = modMain::MakePassStamp(kTestPassword);
        class MonthAgo : public privacy::Clock {
        public:
            privacy::Instant now() const override {
                return {0, QDateTime::currentDateTimeUtc()
                               .addDays(-(modMain::kTrashDays + 1))
                               .toMSecsSinceEpoch()};
            }
        } monthAgo;
        privacy::SetProgramClock(&monthAgo);
        QVERIFY(modMain::TrashCategory(1, 2, QStringLiteral("Home"), stamp).changed);
        privacy::SetProgramClock(nullptr);
        modMain::ResetSession();
        frmMain &main = env.mainWindow();
        SignInByKeyboard(main, kTestUser, kTestPassword);
        QVERIFY(ShownTexts().contains(QStringLiteral(
            "1 item(s) deleted more than 30 days ago went from your Trash for good.")));
        QCOMPARE(FileBytes(env.path(QStringLiteral("USR1/TRASH.DAT"))), QByteArray());
    }
};

QTEST_MAIN(TrashTest)
#include "tst_trash.moc"

// The main window: start-up, signing out, exit, the panel reset and the
// arrangement as applied to the real widgets.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/datafile.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "userdata/sortedlist.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

namespace {

const QString kSignedOutIntro =
    QStringLiteral("Welcome to Wayfile v2.1\n\nPlease Login to the program by clicking on the "
                   "'Login' button and entering your login details to proceed.");

QList<QWidget *> panels(frmMain &m) {
    return {m.fraCatView, m.fraUrlView, m.pctCatAdd, m.pctCatDel, m.pctCatMod,
            m.lblUrlCat,  m.cmbUrlCat,  m.pctUrlAdd, m.pctUrlDel, m.pctUrlMod};
}

void signIn(frmMain &main) {
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    MsgBox::reset();
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void startsSignedOut();
    void secondInstanceEndsAtOnce();
    void unlockableInstallationIsToldBeforeTheWindowOpens();
    void startUpClearsInterruptedRewrites();
    void startUpUndoesATornRegistration();
    void signInTellsWhatItMovedOutOfTheWay();
    void signInTellsALeftoverItLeavesOncePerRun();
    void aKeptChangeIsToldAtSignInAndEveryChangeWaits();
    void logoutAnsweredNo();
    void logoutAnsweredYes();
    void signInMovesTheIntroduction();
    void exitEndsTheProgram();
    void hideAllResetsPanelsOnly();
    void arrangementAppliedInPixels();
    void loginWindowSizedAndCentred_data();
    void loginWindowSizedAndCentred();
};

void SessionTest::startsSignedOut() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QCOMPARE(main.windowTitle(), QStringLiteral("Wayfile V2.1"));
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
    QVERIFY(!main.cmdCat->isEnabled());
    QVERIFY(!main.cmdURL->isEnabled());
    QVERIFY(main.cmdLogin->isEnabled());
    QVERIFY(main.cmdQuit->isEnabled());
    QVERIFY(!main.lblSubTitle->isVisible());
    QVERIFY(!main.Sep2H->isVisible());
    QVERIFY(main.lblIntro->isVisible());
    QCOMPARE(main.lblIntro->text(), kSignedOutIntro);
    for (QWidget *w : panels(main))
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(!main.cmdCatNxt->isVisible());
    QVERIFY(!main.cmdUrlNxt->isVisible());
    QCOMPARE(main.StatusBar->panel(2)->text(), QStringLiteral("Ready (Main Menu)"));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(),
             QStringLiteral("The Description of any URL you choose from the list of URL's on top "
                            "will be displayed in here."));
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(modMain::PassStamp, QString());
    QVERIFY(MsgBox::shown().isEmpty());
}

void SessionTest::secondInstanceEndsAtOnce() {
    GuiTestEnv env;
    modMain::SetInstanceCheck([] { return true; });
    frmMain second;
    QVERIFY(!second.Form_Load());
    QVERIFY(MsgBox::shown().isEmpty());
    QVERIFY(!second.isVisible());
}

void SessionTest::unlockableInstallationIsToldBeforeTheWindowOpens() {
    GuiTestEnv env;
    modMain::SetInstanceCheck({}); // the real lock
    // A program folder that cannot be opened: the lock cannot be taken, and
    // not because another copy holds it.
    const QString missing = env.path(QStringLiteral("gone"));
    modMain::SetProgramFolder(missing);
    frmMain main;
    QVERIFY(main.Form_Load());
    QVERIFY(!main.isVisible());
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral(
                             "Wayfile could not lock its folder \"%1\", so it cannot tell whether "
                             "another copy of Wayfile is using the same data. If one is, each copy "
                             "could overwrite the changes the other one makes.\r\n\r\nReason: No "
                             "such file or directory.\r\n\r\nPlease close any other Wayfile that "
                             "uses this folder. This time Wayfile will not finish changes that "
                             "were cut short, nor clear away what they left behind: that waits "
                             "for a start at which it can lock its folder.")
                             .arg(missing)});
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
}

void SessionTest::startUpClearsInterruptedRewrites() {
    GuiTestEnv env;
    WriteFileBytes(env.path(QStringLiteral("info.qvx.rewrite-k3Zq0A")), "half written\r\n");
    WriteFileBytes(env.path(QStringLiteral("info.qvx.rewrite-k3Zq")), "not the program's\r\n");
    WriteFileBytes(env.path(QStringLiteral("info.qvx")), "");
    env.mainWindow();
    QCOMPARE(QDir(env.folder()).entryList(QDir::Files, QDir::Name),
             (QStringList{"info.qvx", "info.qvx.rewrite-k3Zq"}));
    QVERIFY(MsgBox::shown().isEmpty());
}

// A registration that a power failure cut short left part of its account
// record and an empty folder: both go before the window opens, without a
// word, and the name can be registered again.
void SessionTest::startUpUndoesATornRegistration() {
    GuiTestEnv env;
    const QByteArray ann =
        modMain::AccountRecordLine(1, QStringLiteral("Ann"), QStringLiteral("Pw")).toLatin1() +
        "\r\n";
    const QByteArray bob =
        modMain::AccountRecordLine(2, QStringLiteral("Bob"), QStringLiteral("Secret")).toLatin1();
    WriteFileBytes(env.path(QStringLiteral("info.qvx")), ann + bob.chopped(7));
    QVERIFY(QDir(env.folder()).mkdir(QStringLiteral("USR2")));
    env.mainWindow();
    QCOMPARE(FileBytes(env.path(QStringLiteral("info.qvx"))), ann);
    QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("USR2"))));
    QVERIFY(MsgBox::shown().isEmpty());
    bool taken = true;
    int next = 0;
    QVERIFY(!modMain::FindAccount(QStringLiteral("Bob"), &taken, &next).failed());
    QVERIFY(!taken);
    QCOMPARE(next, 2);
}

// What the recovery at sign-in found and moved out of the way is told
// before the greeting.
void SessionTest::signInTellsWhatItMovedOutOfTheWay() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    QVERIFY(QDir(env.folder()).mkpath(QStringLiteral("USR1/CAT3.DAT.deleting")));
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    const QString folder = env.path(QStringLiteral("USR1"));
    QCOMPARE(ShownTexts(),
             (QStringList{QStringLiteral("Wayfile found a folder, \"%1/CAT3.DAT.deleting\", under "
                                         "the name it gives the URLs of a Category while it "
                                         "deletes that Category, and renamed it to "
                                         "\"%1/CAT3.DAT.deleting.kept\" to keep it out of the "
                                         "way. Wayfile never makes such an entry: look at it, "
                                         "keep what you need and delete the rest.")
                              .arg(folder),
                          QStringLiteral("               Success! You are now logged into the "
                                         "program.\r\n\r\nNow you can View, Edit, Add or Modify "
                                         "your URL's and Categories.")}));
    QVERIFY(QFileInfo(folder + QStringLiteral("/CAT3.DAT.deleting.kept")).isDir());
}

// A leftover of another program that the recovery at sign-in cannot place
// is told at the first sign-in of the run, not at the next ones.
void SessionTest::signInTellsALeftoverItLeavesOncePerRun() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    QVERIFY(QDir(env.folder()).mkpath(QStringLiteral("USR1/TMP.DAT")));
    const QString success =
        QStringLiteral("               Success! You are now logged into the program.\r\n\r\nNow "
                       "you can View, Edit, Add or Modify your URL's and Categories.");
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    QCOMPARE(ShownTexts(),
             (QStringList{QStringLiteral("Wayfile found \"%1\", left in your folder by a change "
                                         "that was cut short, but cannot tell where it belongs: "
                                         "it is no file. It is left as it is. If some of your "
                                         "Categories or URLs are missing, close Wayfile and "
                                         "restore your folder from a backup; if nothing is "
                                         "missing, you may delete that file.")
                              .arg(env.path(QStringLiteral("USR1/TMP.DAT"))),
                          success}));

    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QCOMPARE(modMain::UserNo, qint16(0));
    MsgBox::reset();
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    QCOMPARE(ShownTexts(), QStringList{success});
    QVERIFY(QFileInfo(env.path(QStringLiteral("USR1/TMP.DAT"))).isDir());
}

// An import cut short, and a Category added to the index since (by another
// program): the sign-in keeps every file as it is and says so, with what to
// do; then no change of the user's files is made, and the first refusal in
// the sign-in says why and what to do, the later ones in short.
void SessionTest::aKeptChangeIsToldAtSignInAndEveryChangeWaits() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    WriteUserFiles({{"Home", 1}});
    const QString index = env.path(QStringLiteral("USR1/CAT.DAT"));
    const QByteArray body =
        "Wayfile journal 2\nappend " + QByteArray::number(FileBytes(index).size()) + " CAT.DAT\n";
    const QString journal = env.path(QStringLiteral("USR1/wayfile.journal"));
    WriteFileBytes(journal, body + "end 1 " +
                                QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() +
                                "\n");
    QVERIFY(!modMain::AppendLine(index,
                                 modMain::CategoryRecordLine(2, QStringLiteral("Work"),
                                                             modMain::MakePassStamp(kTestPassword)))
                 .failed());
    const QByteArray indexBefore = FileBytes(index);

    SignInByKeyboard(main, kTestUser, kTestPassword);
    QCOMPARE(ShownTexts(),
             (QStringList{
                 QStringLiteral(
                     "Wayfile was finishing or undoing an import of bookmarks that was cut short, "
                     "but could not take back the change to \"%1\".\r\n\r\nReason: It was "
                     "changed after an earlier change of several files was cut short: Wayfile "
                     "left it, and the record of that change, as they are, so that nothing "
                     "written since is lost.\r\n\r\nUntil that change is finished, the files "
                     "it changes are half-changed, and Wayfile makes no other change of them. "
                     "Nothing was cut back, deleted or replaced: the record of the change is "
                     "kept in \"%2\", and any new versions it had written are kept beside their "
                     "files, under names ending in \".kept\". If something is missing, close "
                     "Wayfile and restore the folder from a backup. If everything you need is "
                     "there, close Wayfile, delete \"%2\" and start Wayfile again.")
                     .arg(index, journal),
                 QStringLiteral("               Success! You are now logged into the "
                                "program.\r\n\r\nNow you can View, Edit, Add or Modify your "
                                "URL's and Categories.")}));
    MsgBox::reset();

    QTest::mouseClick(main.cmdCat, Qt::LeftButton);
    QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
    TypeInto(main.txtCatAdd, QStringLiteral("News"));
    QTest::keyClick(main.txtCatAdd, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral(
                             "Your change was not made: an earlier change of your files was cut "
                             "short and is not finished yet (it is recorded in \"%1\"). Please "
                             "close Wayfile and start it again, so that it can finish that change "
                             "first; if another copy of Wayfile is running, close that one too. "
                             "Should this message come back after the new start, see the message "
                             "Wayfile shows when you sign in.")
                             .arg(journal)});
    MsgBox::reset();
    QTest::keyClick(main.txtCatAdd, Qt::Key_Return);
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Your change was not made: the earlier change that was "
                                        "cut short is still not finished. Please close Wayfile "
                                        "and start it again.")});
    QCOMPARE(FileBytes(index), indexBefore);
    QVERIFY(QFileInfo::exists(journal));
}

void SessionTest::logoutAnsweredNo() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    signIn(main);
    main.CategoryModel->insertSorted(QStringLiteral("Kept"), 1);
    const QString stamp = modMain::PassStamp;

    MsgBox::queueAnswer(MsgAnswer::No);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);

    QCOMPARE(MsgBox::shown().size(), 2);
    QCOMPARE(MsgBox::shown()[0].text,
             QStringLiteral("Are you sure you wish to Logout of the program?"));
    QCOMPARE(MsgBox::shown()[0].title, QStringLiteral("Logout Confirmation"));
    QCOMPARE(MsgBox::shown()[0].buttons, MsgButtons::YesNo);
    QCOMPARE(MsgBox::shown()[1].text,
             QStringLiteral("Ok, you will remain logged in until you click on Logout again and "
                            "confirm that you wish to Logout or until you click on the Quit "
                            "button!"));
    QCOMPARE(MsgBox::shown()[1].title, QStringLiteral("Wayfile v2.1"));
    QCOMPARE(MsgBox::shown()[1].buttons, MsgButtons::Ok);
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(modMain::PassStamp, stamp);
    QCOMPARE(main.lstCatView->count(), 1);
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Logout"));
}

void SessionTest::logoutAnsweredYes() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    signIn(main);
    const QPoint introAt = main.lblIntro->pos();
    main.CategoryModel->insertSorted(QStringLiteral("Gone"), 1);
    main.UrlModel->insertSorted(QStringLiteral("Gone"), 1);
    main.txtCatAdd->setText(QStringLiteral("Gone"));
    main.txtUrlAddCh->setText(QStringLiteral("Gone"));
    main.fraCatView->setVisible(true);
    main.lblSubTitle->setText(QStringLiteral("Categories"));

    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);

    QCOMPARE(ShownTexts(),
             (QStringList{"Are you sure you wish to Logout of the program?",
                          "Success! You have been Logged Off the program...Byeee...Cya Soon!!"}));
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(modMain::PassStamp, QString());
    QCOMPARE(main.lstCatView->count(), 0);
    QCOMPARE(main.cmbCatDel->count(), 0);
    QCOMPARE(main.cmbUrlCat->count(), 0);
    QCOMPARE(main.lstUrlView->count(), 0);
    QCOMPARE(main.txtCatAdd->text(), QString());
    QCOMPARE(main.txtUrlAddCh->text(), QString());
    QVERIFY(!main.fraCatView->isVisible());
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
    QVERIFY(!main.cmdCat->isEnabled());
    QVERIFY(!main.cmdURL->isEnabled());
    QCOMPARE(main.lblIntro->text(), kSignedOutIntro);
    QVERIFY(main.lblIntro->isVisible());
    // The subtitle and its rule stay, showing "Main Menu"; the introduction
    // keeps the place it took at sign-in.
    QVERIFY(main.lblSubTitle->isVisible());
    QVERIFY(main.Sep2H->isVisible());
    QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
    QCOMPARE(main.lblIntro->pos(), introAt);
    QCOMPARE(main.StatusBar->panel(2)->text(), QStringLiteral("Ready (Main Menu)"));

    // Signing in again works as the first time.
    SignInByKeyboard(main, QStringLiteral("ann"), QStringLiteral("Pw"));
    QCOMPARE(modMain::UserNo, qint16(1));
}

void SessionTest::signInMovesTheIntroduction() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    signIn(main);
    // 5 % of 11520 twips = 576 twips = 38.4 pixels below the subtitle.
    const float top = float(main.lblSubTitle->y() + main.lblSubTitle->height()) * 15.0f + 576.0f;
    QCOMPARE(main.lblIntro->y(), qRound(top / 15.0f));
}

void SessionTest::exitEndsTheProgram() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    signIn(main);
    QSignalSpy ended(&main, &frmMain::programEnd);
    QTest::mouseClick(main.cmdQuit, Qt::LeftButton);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!main.isVisible());
    QVERIFY(MsgBox::shown().isEmpty()); // no confirmation
}

void SessionTest::hideAllResetsPanelsOnly() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    main.lblSubTitle->setVisible(true);
    main.pctUrlAdd->setVisible(true);
    main.lblUrlCat->setVisible(true);
    main.cmbUrlCat->setVisible(true);
    main.lblSubTitle->setText(QStringLiteral("Add URL"));
    main.txtUrlAdd->setText(QStringLiteral("kept"));
    for (int run = 0; run < 2; ++run) {
        modMain::DoCommand(QStringLiteral("ha"));
        for (QWidget *w : panels(main))
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QCOMPARE(main.lblSubTitle->text(), QStringLiteral("Main Menu"));
        QVERIFY(main.lblSubTitle->isVisible());
        QCOMPARE(main.txtUrlAdd->text(), QStringLiteral("kept"));
    }
}

void SessionTest::arrangementAppliedInPixels() {
    GuiTestEnv env; // 1024 x 768 at 15 twips a pixel
    frmMain &main = env.mainWindow();
    QCOMPARE(main.size(), QSize(1024, 768));
    QCOMPARE(main.frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(main.StatusBar->height(), 23); // 345.6 twips
    QCOMPARE(main.cmdLogin->x(), 31);       // 460.8
    QCOMPARE(main.cmdLogin->width(), 102);  // 1536
    QCOMPARE(main.lblIntro->x(), 195);      // 2918.4
    QCOMPARE(main.lblIntro->width(), 799);  // 11980.8
    // The four menu buttons are equally high and equally spaced.
    const QList<QPushButton *> menu{main.cmdLogin, main.cmdCat, main.cmdURL, main.cmdQuit};
    for (int i = 1; i < menu.size(); ++i) {
        QCOMPARE(menu[i]->height(), menu[0]->height());
        QVERIFY(qAbs((menu[i]->y() - menu[i - 1]->y()) - (menu[1]->y() - menu[0]->y())) <= 1);
    }
}

void SessionTest::loginWindowSizedAndCentred_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    // The height: 60 % or 40 % of the screen's, and the Change Password
    // row, 22 % of that, besides.
    QTest::newRow("800 x 600") << QSize(800, 600) << QSize(480, 439);   // 7200 x 6588 twips
    QTest::newRow("800 x 601") << QSize(800, 601) << QSize(280, 293);   // 35 % x 48.8 %
    QTest::newRow("1024 x 768") << QSize(1024, 768) << QSize(358, 375); // 5376 x 5621.76
}

void SessionTest::loginWindowSizedAndCentred() {
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    GuiTestEnv env(screen.width(), screen.height());
    frmMain &main = env.mainWindow();
    WithSignInWindow(main, [&](frmLogin &login) {
        QCOMPARE(login.windowTitle(), QStringLiteral("Login Form"));
        QCOMPARE(login.size(), window);
        QVERIFY(login.isModal());
        const QPoint centre = login.frameGeometry().center();
        QVERIFY2(qAbs(centre.x() - screen.width() / 2) <= 1,
                 qPrintable(QString::number(centre.x())));
        QVERIFY2(qAbs(centre.y() - screen.height() / 2) <= 1,
                 qPrintable(QString::number(centre.y())));
    });
}

QTEST_MAIN(SessionTest)
#include "tst_session.moc"

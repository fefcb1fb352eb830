// Signing in and registering through the real sign-in window.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "screens/msgbox.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QWindow>

using screens::MsgBox;

namespace {

const QString kInvalid = QStringLiteral("Sorry, your Username OR Password is invalid!");
const QString kSignedIn = QStringLiteral(
    "               Success! You are now logged into the program.\r\n\r\nNow you can "
    "View, Edit, Add or Modify your URL's and Categories.");
const QString kFillAll =
    QStringLiteral("Please fill in all the fields before clicking on me again!");
const QString kNoMatch =
    QStringLiteral("Your passwords don't match!\r\nPlease enter the same Password in both the "
                   "password fields...remember, passwords are case sensitive");
const QString kSameAsName =
    QStringLiteral("Nope...you can't have your Password same as your User Name...I'm sure you can "
                   "do better than that...try again!");
const QString kTaken =
    QStringLiteral("That USER ID has already been taken, please choose another!");

// Fills the registration frame and presses Create ID. When the window stays
// open: the boxes' texts afterwards (name, password, again), the focused
// box's name, whether the registration frame still shows, and the status.
struct AfterCreate {
    QString name, pass, again, focus;
    bool newUserFrame = false;
    QString status;
};

AfterCreate createId(frmMain &main, const QString &name, const QString &pass,
                     const QString &again) {
    AfterCreate after;
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::mouseClick(login.cmdNewUser, Qt::LeftButton);
        login.activateWindow();
        TypeInto(login.txtNUser, name);
        TypeInto(login.txtNPass, pass);
        TypeInto(login.txtNRPass, again);
        QTest::mouseClick(login.cmdNCreate, Qt::LeftButton);
        if (login.isVisible()) {
            after = {login.txtNUser->text(),
                     login.txtNPass->text(),
                     login.txtNRPass->text(),
                     login.focusWidget() ? login.focusWidget()->objectName() : QString(),
                     login.fraNewUser->isVisible(),
                     StatusText(main)};
        }
    });
    return after;
}

} // namespace

class SignInTest : public QObject {
    Q_OBJECT
private slots:
    void signIn_data();
    void signIn();
    void wrongPasswordKeepsTheName();
    void emptyFields_data();
    void emptyFields();
    void noAccountFile();
    void enterRunsLoginOnce();
    void cancelLeavesSignedOut();
    void laterRecordWithSameNameCanMatch();
    void unreadableAccountFile();

    void registrationRefusals_data();
    void registrationRefusals();
    void registrationSignsInAtOnce();
    void registrationNumbers_data();
    void registrationNumbers();
    void unstorableCharactersRefused_data();
    void unstorableCharactersRefused();
    void existingUserFolderIsReused();
    void failedFolderLeavesNoAccount();
    void numbersRunOut();
    void newUserFrameSwitching();
    void changePasswordButtonFits_data();
    void changePasswordButtonFits();
    void keyboardOnlyRegistration();

    void signInFinishesWhatACrashLeft();
    void signInTellsWhatCouldNotBeFinished();
    void registrationClearsAReusedFolder();
};

void SignInTest::signIn_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("as registered") << "BobSmith"
                                   << "Secret1" << true;
    QTest::newRow("name lower case") << "bobsmith"
                                     << "Secret1" << true;
    QTest::newRow("name upper case") << "BOBSMITH"
                                     << "Secret1" << true;
    QTest::newRow("blanks around name") << "  BobSmith "
                                        << "Secret1" << true;
    QTest::newRow("blanks around password") << "BobSmith"
                                            << "  Secret1  " << true;
    QTest::newRow("password case differs") << "BobSmith"
                                           << "secret1" << false;
    QTest::newRow("other name") << "Bob"
                                << "Secret1" << false;
    QTest::newRow("inner blank differs") << "Bob Smith"
                                         << "Secret1" << false;
}

void SignInTest::signIn() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    GuiTestEnv env;
    AddAccount(1, QStringLiteral("Someone"), QStringLiteral("Other"));
    AddAccount(2, QStringLiteral("BobSmith"), QStringLiteral("Secret1"));
    // Registration makes the user's folder; signing in loads the categories
    // from it and would report it missing.
    QVERIFY(QDir(env.folder()).mkdir(QStringLiteral("USR2")));
    frmMain &main = env.mainWindow();

    SignInByKeyboard(main, user, password);

    if (accepted) {
        QCOMPARE(ShownTexts(), QStringList{kSignedIn});
        QCOMPARE(modMain::UserNo, qint16(2));
        QVERIFY(modMain::OwnerTest(modMain::PassStamp)
                    .owns(modMain::MakePassStamp(QStringLiteral("Secret1"))));
        QCOMPARE(main.Tag, QStringLiteral("VALID=TRUE"));
        QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Logout"));
        QVERIFY(main.cmdCat->isEnabled());
        QVERIFY(main.cmdURL->isEnabled());
        QVERIFY(main.lblSubTitle->isVisible());
        QVERIFY(main.Sep2H->isVisible());
        QCOMPARE(main.lblIntro->text(),
                 QStringLiteral("Welcome to Wayfile v2.1\n\nWhen done, don't forget to Logout of "
                                "the program or Exit the program!"));
        QCOMPARE(StatusText(main), QStringLiteral("Ready (Main Menu)"));
    } else {
        QCOMPARE(ShownTexts(), QStringList{kInvalid});
        QCOMPARE(modMain::UserNo, qint16(0));
        QCOMPARE(modMain::PassStamp, QString());
        QCOMPARE(main.Tag, QStringLiteral("VALID=FALSE"));
        QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
        QVERIFY(!main.cmdCat->isEnabled());
    }
}

void SignInTest::wrongPasswordKeepsTheName() {
    GuiTestEnv env;
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    frmMain &main = env.mainWindow();
    QString nameAfter, passAfter, status;
    bool open = false;
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::keyClicks(login.txtUser, QStringLiteral("Ann"));
        QTest::keyClicks(login.txtPass, QStringLiteral("wrong"));
        QTest::mouseClick(login.cmdLogin, Qt::LeftButton);
        open = login.isVisible();
        nameAfter = login.txtUser->text();
        passAfter = login.txtPass->text();
        status = StatusText(main);
    });
    QVERIFY(open);
    QCOMPARE(ShownTexts(), QStringList{kInvalid});
    QCOMPARE(nameAfter, QStringLiteral("Ann"));
    QCOMPARE(passAfter, QString());
    QCOMPARE(status, QStringLiteral("Ready (Login Menu)"));
}

void SignInTest::emptyFields_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("both empty") << ""
                                << "";
    QTest::newRow("no password") << "Ann"
                                 << "";
    QTest::newRow("blank password") << "Ann"
                                    << "   ";
    QTest::newRow("no name") << ""
                             << "Pw";
}

void SignInTest::emptyFields() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QString nameAfter, passAfter, status, focus;
    WithSignInWindow(main, [&](frmLogin &login) {
        login.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        QTest::keyClicks(login.txtUser, user);
        QTest::keyClicks(login.txtPass, password);
        login.txtPass->setFocus();
        QTest::mouseClick(login.cmdLogin, Qt::LeftButton);
        nameAfter = login.txtUser->text();
        passAfter = login.txtPass->text();
        status = StatusText(main);
        focus = login.focusWidget() ? login.focusWidget()->objectName() : QString();
    });
    QCOMPARE(ShownTexts(),
             QStringList{"Please enter your Username AND Password before clicking me again"});
    QCOMPARE(status, QStringLiteral("Ready (Login Menu)"));
    QCOMPARE(nameAfter, user);
    QCOMPARE(passAfter, password);
    QCOMPARE(focus, QStringLiteral("txtUser"));
    // No file was touched.
    QVERIFY(!QFile::exists(env.path("info.qvx")));
}

void SignInTest::noAccountFile() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    QCOMPARE(ShownTexts(), QStringList{kInvalid});
    QFileInfo info(env.path("info.qvx"));
    QVERIFY(info.exists());
    QCOMPARE(info.size(), 0);
    QCOMPARE(info.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

void SignInTest::enterRunsLoginOnce() {
    // Enter in either box runs the Login handler once, although Login is
    // also the window's default button.
    GuiTestEnv env;
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    frmMain &main = env.mainWindow();
    WithSignInWindow(main, [&](frmLogin &login) {
        login.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        QVERIFY(login.cmdLogin->isDefault());
        login.txtUser->setFocus();
        QTest::keyClicks(login.txtUser, QStringLiteral("Ann"));
        QTest::keyClick(login.txtUser, Qt::Key_Return);
        QCOMPARE(ShownTexts().size(), 1); // the empty-fields message, once
        QTest::keyClicks(login.txtPass, QStringLiteral("bad"));
        QTest::keyClick(login.txtPass, Qt::Key_Enter);
        QCOMPARE(ShownTexts().size(), 2);
        QCOMPARE(ShownTexts().last(), kInvalid);
    });
}

void SignInTest::cancelLeavesSignedOut() {
    GuiTestEnv env;
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    frmMain &main = env.mainWindow();
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::keyClicks(login.txtUser, QStringLiteral("Ann"));
        QTest::keyClicks(login.txtPass, QStringLiteral("Pw"));
        QTest::mouseClick(login.cmdCancel, Qt::LeftButton);
        QVERIFY(!login.isVisible());
    });
    QCOMPARE(main.Tag, QStringLiteral("VALID=FALSE"));
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
    QVERIFY(!main.cmdCat->isEnabled());
    QVERIFY(!main.cmdURL->isEnabled());
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Main Menu)"));
    QVERIFY(ShownTexts().isEmpty());
}

void SignInTest::laterRecordWithSameNameCanMatch() {
    GuiTestEnv env;
    AddAccount(1, QStringLiteral("ann"), QStringLiteral("first"));
    AddAccount(2, QStringLiteral("ANN"), QStringLiteral("second"));
    frmMain &main = env.mainWindow();
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("second"));
    QCOMPARE(modMain::UserNo, qint16(2));
}

void SignInTest::unreadableAccountFile() {
    GuiTestEnv env;
    QVERIFY(
        QDir(env.folder()).mkdir(QStringLiteral("info.qvx"))); // a folder where the file should be
    frmMain &main = env.mainWindow();
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    QCOMPARE(ShownTexts().size(), 1);
    QVERIFY2(ShownTexts().first().contains(env.path("info.qvx")), qPrintable(ShownTexts().first()));
    QCOMPARE(modMain::UserNo, qint16(0));
}

void SignInTest::registrationRefusals_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("again");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("boxesAfter");
    QTest::addColumn<QString>("focus");
    // Checks are made in this order: the first failing one is reported.
    QTest::newRow("name empty") << ""
                                << "a"
                                << "b" << kFillAll << QStringList{"", "a", "b"} << "txtNUser";
    QTest::newRow("second password empty")
        << "x"
        << "a"
        << "" << kFillAll << QStringList{"x", "a", ""} << "txtNUser";
    QTest::newRow("blank counts as content, mismatch")
        << " "
        << " a"
        << "A" << kNoMatch << QStringList{" ", "", ""} << "txtNPass";
    QTest::newRow("mismatch before same-as-name")
        << "pw"
        << "pw"
        << "PW" << kNoMatch << QStringList{"pw", "", ""} << "txtNPass";
    QTest::newRow("same as name, other case")
        << "Zed"
        << "zED"
        << "zED" << kSameAsName << QStringList{"Zed", "", ""} << "txtNPass";
    QTest::newRow("taken, other case")
        << "ANN"
        << "secret"
        << "secret" << kTaken << QStringList{"", "", ""} << "txtNUser";
    QTest::newRow("taken, blanks around")
        << "  ann  "
        << "secret"
        << "secret" << kTaken << QStringList{"", "", ""} << "txtNUser";
}

void SignInTest::registrationRefusals() {
    QFETCH(QString, name);
    QFETCH(QString, pass);
    QFETCH(QString, again);
    QFETCH(QString, message);
    QFETCH(QStringList, boxesAfter);
    QFETCH(QString, focus);
    GuiTestEnv env;
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    const QByteArray before = FileBytes(env.path("info.qvx"));
    frmMain &main = env.mainWindow();

    const AfterCreate after = createId(main, name, pass, again);
    QVERIFY(after.newUserFrame); // still open, on the registration frame
    QCOMPARE(ShownTexts(), QStringList{message});
    QCOMPARE(after.status, QStringLiteral("Ready (Create User ID Menu)"));
    QCOMPARE((QStringList{after.name, after.pass, after.again}), boxesAfter);
    QCOMPARE(after.focus, focus);
    QCOMPARE(FileBytes(env.path("info.qvx")), before);
    QVERIFY(!QFileInfo::exists(env.path("USR2")));
    QCOMPARE(modMain::UserNo, qint16(0));
}

void SignInTest::registrationSignsInAtOnce() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QString statusAfterCreate;
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::mouseClick(login.cmdNewUser, Qt::LeftButton);
        QTest::keyClicks(login.txtNUser, QStringLiteral("  Carol "));
        QTest::keyClicks(login.txtNPass, QStringLiteral("Tea Pot"));
        QTest::keyClicks(login.txtNRPass, QStringLiteral("Tea Pot "));
        QTest::keyClick(login.txtNRPass, Qt::Key_Return);
        QVERIFY(!login.isVisible());
    });
    QCOMPARE(ShownTexts(), (QStringList{"Success! Your USER ID was created!", kSignedIn}));
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Logout"));
    QVERIFY(main.cmdCat->isEnabled());
    QVERIFY(QFileInfo(env.path("USR1")).isDir());
    QCOMPARE(QFileInfo(env.path("USR1")).permissions() & (QFile::ReadOther | QFile::ReadGroup),
             QFile::Permissions());

    // The record decodes as written: tag, trimmed name, password enciphered twice.
    const QByteArray bytes = FileBytes(env.path("info.qvx"));
    QVERIFY(bytes.endsWith("\r\n"));
    const QStringList fields = modMain::SplitRecord(QString::fromLatin1(bytes).trimmed());
    QCOMPARE(fields.size(), 3);
    QCOMPARE(modMain::DecodeField(fields[0]), QStringLiteral("USR1"));
    QCOMPARE(modMain::DecodeField(fields[1]), QStringLiteral("Carol"));
    QCOMPARE(modMain::SwapPairs(modMain::DecryptText(modMain::DecryptText(fields[2]))),
             QStringLiteral("Tea Pot"));

    // The new user can sign in again after signing out.
    MsgBox::queueAnswer(screens::MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QCOMPARE(modMain::UserNo, qint16(0));
    SignInByKeyboard(main, QStringLiteral("carol"), QStringLiteral("Tea Pot"));
    QCOMPARE(modMain::UserNo, qint16(1));
}

void SignInTest::registrationNumbers_data() {
    QTest::addColumn<QList<int>>("existing");
    QTest::addColumn<int>("expected");
    QTest::newRow("first user") << QList<int>{} << 1;
    QTest::newRow("after 1 to 3") << QList<int>{1, 2, 3} << 4;
    QTest::newRow("gap not filled") << QList<int>{1, 7} << 8;
}

void SignInTest::registrationNumbers() {
    QFETCH(QList<int>, existing);
    QFETCH(int, expected);
    GuiTestEnv env;
    for (int n : existing)
        AddAccount(n, QStringLiteral("user%1").arg(n), QStringLiteral("pw"));
    frmMain &main = env.mainWindow();
    createId(main, QStringLiteral("New"), QStringLiteral("pass"), QStringLiteral("pass"));
    QCOMPARE(int(modMain::UserNo), expected);
    QVERIFY(QFileInfo(env.path(QStringLiteral("USR%1").arg(expected))).isDir());
}

void SignInTest::unstorableCharactersRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("shown");
    QTest::newRow("accent in name")
        << QStringLiteral("Jos\u00e9") << "pw" << QStringLiteral("\"\u00e9\"");
    QTest::newRow("brace in password") << "Jose"
                                       << "p{w}"
                                       << "\"{\" \"}\"";
}

void SignInTest::unstorableCharactersRefused() {
    QFETCH(QString, name);
    QFETCH(QString, pass);
    QFETCH(QString, shown);
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    createId(main, name, pass, pass);
    QCOMPARE(ShownTexts().size(), 1);
    QVERIFY2(ShownTexts().first().contains(shown), qPrintable(ShownTexts().first()));
    QVERIFY(!QFileInfo::exists(env.path("USR1")));
    QVERIFY(!QFileInfo::exists(env.path("info.qvx")) ||
            QFileInfo(env.path("info.qvx")).size() == 0);
    QCOMPARE(modMain::UserNo, qint16(0));
}

void SignInTest::existingUserFolderIsReused() {
    GuiTestEnv env;
    QVERIFY(QDir(env.folder()).mkdir(QStringLiteral("USR1")));
    QFile kept(env.path("USR1/CAT.DAT"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.write("left from before\r\n");
    kept.close();
    frmMain &main = env.mainWindow();
    createId(main, QStringLiteral("Dan"), QStringLiteral("pw"), QStringLiteral("pw"));
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(FileBytes(env.path("USR1/CAT.DAT")), QByteArray("left from before\r\n"));
}

void SignInTest::failedFolderLeavesNoAccount() {
    GuiTestEnv env;
    QFile blocker(env.path("USR1")); // a file where the user's folder must go
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    frmMain &main = env.mainWindow();
    const AfterCreate after =
        createId(main, QStringLiteral("Eve"), QStringLiteral("pw"), QStringLiteral("pw"));
    QCOMPARE(ShownTexts().size(), 1);
    QVERIFY2(ShownTexts().first().contains(env.path("USR1")), qPrintable(ShownTexts().first()));
    QCOMPARE(after.name, QStringLiteral("Eve"));
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(QFileInfo(env.path("info.qvx")).size(), 0);
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
}

void SignInTest::numbersRunOut() {
    GuiTestEnv env;
    AddAccount(32767, QStringLiteral("Last"), QStringLiteral("pw"));
    const QByteArray before = FileBytes(env.path("info.qvx"));
    frmMain &main = env.mainWindow();
    createId(main, QStringLiteral("One more"), QStringLiteral("pw"), QStringLiteral("pw"));
    QCOMPARE(ShownTexts().size(), 1);
    QVERIFY2(ShownTexts().first().contains(QStringLiteral("32767")),
             qPrintable(ShownTexts().first()));
    QCOMPARE(FileBytes(env.path("info.qvx")), before);
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(QDir(env.folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

void SignInTest::newUserFrameSwitching() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    WithSignInWindow(main, [&](frmLogin &login) {
        QVERIFY(login.fraLogin->isVisible());
        QVERIFY(!login.fraNewUser->isVisible());
        QTest::keyClicks(login.txtUser, QStringLiteral("typed"));
        QTest::mouseClick(login.cmdNewUser, Qt::LeftButton);
        QVERIFY(!login.fraLogin->isVisible());
        QVERIFY(login.fraNewUser->isVisible());
        QCOMPARE(login.txtUser->text(), QString());
        QCOMPARE(StatusText(main), QStringLiteral("Please fill in all the fields and click on "
                                                  "Create ID to create your new User ID"));
        QTest::keyClicks(login.txtNUser, QStringLiteral("half"));
        QTest::mouseClick(login.cmdNCancel, Qt::LeftButton);
        QVERIFY(login.fraLogin->isVisible());
        QVERIFY(!login.fraNewUser->isVisible());
        QCOMPARE(login.txtNUser->text(), QString());
        QCOMPARE(StatusText(main), QStringLiteral("Ready (Login Menu)"));
    });
    // Every opening starts on the sign-in frame with empty boxes.
    WithSignInWindow(main, [&](frmLogin &login) {
        QVERIFY(login.fraLogin->isVisible());
        for (QLineEdit *box :
             {login.txtUser, login.txtPass, login.txtNUser, login.txtNPass, login.txtNRPass})
            QCOMPARE(box->text(), QString());
    });
}

void SignInTest::changePasswordButtonFits_data() {
    QTest::addColumn<int>("widthPx");
    QTest::addColumn<int>("heightPx");
    QTest::newRow("640x480") << 640 << 480;
    QTest::newRow("1024x768") << 1024 << 768;
    QTest::newRow("1920x1080") << 1920 << 1080;
}

// The Change Password button as the sign-in window shows it: as high as
// Login, its caption in full, under the new-user button and wholly inside the
// sign-in frame's border, which lies wholly inside the window.
void SignInTest::changePasswordButtonFits() {
    QFETCH(int, widthPx);
    QFETCH(int, heightPx);
    GuiTestEnv env(widthPx, heightPx);
    WithSignInWindow(env.mainWindow(), [&](frmLogin &login) {
        QPushButton *way = login.cmdChangePass;
        QVERIFY(way->isVisible());
        QCOMPARE(way->height(), login.cmdLogin->height());
        QVERIFY(way->y() > login.cmdNewUser->geometry().bottom());
        QVERIFY(login.fraLogin->contentsRect().contains(way->geometry()));
        QVERIFY(login.rect().contains(login.fraLogin->geometry()));
        // The caption's width and the margins the style puts around it.
        for (QPushButton *button : {login.cmdLogin, login.cmdCancel, way}) {
            const QStyle *style = button->style();
            const int needed =
                button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width() +
                style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
            QVERIFY2(needed <= button->width(),
                     qPrintable(QStringLiteral("%1 needs %2 pixels, has %3")
                                    .arg(button->objectName())
                                    .arg(needed)
                                    .arg(button->width())));
        }
    });
}

void SignInTest::keyboardOnlyRegistration() {
    // Access keys, Tab and Enter only, sent to the window as a keyboard
    // would: Alt+N opens the new-user frame, Tab walks the boxes, Enter
    // creates the account.
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    WithSignInWindow(main, [&](frmLogin &login) {
        login.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        QWindow *window = login.windowHandle();
        auto type = [window](const char *text) {
            for (const char *c = text; *c; ++c)
                QTest::keyClick(window, *c);
        };
        QTest::keyClick(window, Qt::Key_N, Qt::AltModifier);
        QTRY_VERIFY(login.fraNewUser->isVisible());
        QTRY_COMPARE(login.focusWidget(), login.txtNUser);
        type("Kim");
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(login.focusWidget(), login.txtNPass);
        type("pw1");
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(login.focusWidget(), login.txtNRPass);
        type("pw1");
        QTest::keyClick(window, Qt::Key_Return);
    });
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Logout"));
}

// A delete of "Home" (2) cut short after its URL file went aside, a delete
// of a category 7 cut short after its index was written, and a rewrite cut
// short before its rename: signing in puts Home's URLs back, removes
// category 7's and the half-written file, and says nothing about it.
void SignInTest::signInFinishesWhatACrashLeft() {
    GuiTestEnv env;
    WriteUserFiles({{QStringLiteral("Work"), 1}, {QStringLiteral("Home"), 2}});
    const QString folder = env.path(QStringLiteral("USR1"));
    const QByteArray homeUrls = UrlLine({1, QStringLiteral("b.example"), QStringLiteral("bee")}) +
                                UrlLine({2, QStringLiteral("a.example"), QString()});
    WriteFileBytes(folder + "/CAT2.DAT.deleting", homeUrls);
    WriteFileBytes(folder + "/CAT7.DAT.deleting", UrlLine({1, QStringLiteral("gone.example")}));
    WriteFileBytes(folder + "/CAT.DAT.rewrite-Ab12Cd", "half written\r\n");

    frmMain &main = env.mainWindow();
    SignInByKeyboard(main, kTestUser, kTestPassword);
    QCOMPARE(ShownTexts(), QStringList{kSignedIn});
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), (QStringList{"CAT.DAT", "CAT2.DAT"}));
    QCOMPARE(FileBytes(folder + "/CAT2.DAT"), homeUrls);

    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Home")));
    QCOMPARE(ListedEntries(main.lstUrlView), (QStringList{"a.example=2", "b.example=1"}));
}

void SignInTest::signInTellsWhatCouldNotBeFinished() {
    GuiTestEnv env;
    WriteUserFiles({{QStringLiteral("Work"), 1}});
    const QString folder = env.path(QStringLiteral("USR1"));
    WriteFileBytes(folder + "/CAT7.DAT.deleting", UrlLine({1, QStringLiteral("gone.example")}));

    frmMain &main = env.mainWindow();
    {
        // The URLs of the deleted category 7 cannot be removed.
        const DiskCallsOverride faults(modMain::DiskCalls{.remove = [](const char *path) {
            if (QByteArray(path).endsWith(".deleting")) {
                errno = EIO;
                return -1;
            }
            return ::unlink(path);
        }});
        SignInByKeyboard(main, kTestUser, kTestPassword);
    }
    QCOMPARE(ShownTexts(),
             (QStringList{QStringLiteral("Wayfile was finishing the deletion of a Category that "
                                         "was cut short, but could not delete "
                                         "\"%1/CAT7.DAT.deleting\".\r\n\r\nReason: "
                                         "Input/output error.\r\n\r\nThe Category is deleted. "
                                         "Its URLs are still kept in \"%1/CAT7.DAT.deleting\", "
                                         "which no Category reads; Wayfile tries again to remove "
                                         "that file at your next sign-in, or you may delete it "
                                         "yourself.")
                              .arg(folder),
                          kSignedIn}));
    QCOMPARE(ListedEntries(main.lstCatView), QStringList{"Work=1"});
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Logout"));
}

// The new account's number names a folder left from before: what an
// interrupted rewrite left there is cleared away, the rest is kept.
void SignInTest::registrationClearsAReusedFolder() {
    GuiTestEnv env;
    QVERIFY(QDir(env.folder()).mkdir(QStringLiteral("USR1")));
    WriteFileBytes(env.path("USR1/CAT.DAT"), "left from before\r\n");
    WriteFileBytes(env.path("USR1/CAT.DAT.rewrite-x1Y2z3"), "half written\r\n");
    frmMain &main = env.mainWindow();
    createId(main, QStringLiteral("Dan"), QStringLiteral("pw"), QStringLiteral("pw"));
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(QDir(env.path("USR1")).entryList(QDir::Files), QStringList{"CAT.DAT"});
    QCOMPARE(FileBytes(env.path("USR1/CAT.DAT")), QByteArray("left from before\r\n"));
}

QTEST_MAIN(SignInTest)
#include "tst_signin.moc"

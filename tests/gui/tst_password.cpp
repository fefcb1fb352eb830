// Changing a password and deleting a Login ID through the sign-in window's
// Change Password frame, on real files.

#include "guitest.h"

#include "../core/forked.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "recovery/recovery.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

namespace {

const QString kInvalid = QStringLiteral("Sorry, your Username OR Password is invalid!");
const QString kSignedIn = QStringLiteral(
    "               Success! You are now logged into the program.\r\n\r\nNow you can "
    "View, Edit, Add or Modify your URL's and Categories.");
const QString kFillAll =
    QStringLiteral("Please fill in all the fields before clicking on me again!");
const QString kNameAndPassword =
    QStringLiteral("Please enter your Username AND Password before clicking me again");
const QString kNoMatch =
    QStringLiteral("Your passwords don't match!\r\nPlease enter the same Password in both the "
                   "password fields...remember, passwords are case sensitive");
const QString kSameAsName =
    QStringLiteral("Nope...you can't have your Password same as your User Name...I'm sure you can "
                   "do better than that...try again!");
const QString kBrace = QStringLiteral(
    "Sorry, a Password can't hold these characters: \"{\"\r\nPlease use only letters without "
    "accents, digits, blanks and the usual punctuation marks.");
const QString kOtherHasIt = QStringLiteral(
    "Sorry, another ID of that User Name already has that Password, please choose another!");
const QString kChanged = QStringLiteral(
    "Success! Your Password was changed! From now on, please Login with your new Password.");
const QString kDeleted =
    QStringLiteral("Success! The ID \"Ann\" was deleted, along with all its Categories and URL's!");
const QString kConfirm =
    QStringLiteral("Are you sure you wish to delete the ID \"Ann\"? All the Categories and URL's "
                   "stored under that ID will be deleted too!");
const QString kReadyChange = QStringLiteral("Ready (Change Password Menu)");
const QString kReadyLogin = QStringLiteral("Ready (Login Menu)");

// Every file under the program folder with its bytes, by relative path.
QMap<QString, QByteArray> Snapshot(const QString &folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), FileBytes(path));
    }
    return files;
}

// The test user Ann (password "Pw") with two categories, Home holding two
// URLs, and a second user whose files must stay as they are.
void WriteTwoUsers() {
    WriteUserFiles({{QStringLiteral("Work"), 1}, {QStringLiteral("Home"), 2}});
    WriteUrlFile(2, UrlLine({1, QStringLiteral("b.example"), QStringLiteral("bee")}) +
                        UrlLine({2, QStringLiteral("a.example"), QStringLiteral("one*QVX*two")}));
    AddAccount(2, QStringLiteral("Bob"), QStringLiteral("Other"));
    QVERIFY(QDir().mkpath(modMain::UserFolderPath(2)));
    WriteFileBytes(modMain::JoinPath(modMain::UserFolderPath(2), QStringLiteral("CAT.DAT")),
                   modMain::CategoryRecordLine(1, QStringLiteral("Bobs"),
                                               modMain::MakePassStamp(QStringLiteral("Other")))
                           .toLatin1() +
                       "\r\n");
}

// While it lives, the process acts as an ordinary user (nobody) who owns
// `folder` and everything in it, when it runs as root; an ordinary user stays
// who it is. Root's rights are kept as the saved user, to come back at the
// end.
class OrdinaryUserScope {
public:
    explicit OrdinaryUserScope(const QString &folder) {
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
        const auto handOver = [](const char *path, const struct stat *, int, struct FTW *) {
            return ::lchown(path, forked::kOrdinaryUser, forked::kOrdinaryGroup);
        };
        if (::nftw(QFile::encodeName(folder).constData(), handOver, 16, FTW_PHYS) != 0)
            return;
        // Real and effective ids both (access(2) asks the real one); the
        // saved ids stay root's, to come back.
        m_switched = ::setresgid(forked::kOrdinaryGroup, forked::kOrdinaryGroup, 0) == 0 &&
                     ::setresuid(forked::kOrdinaryUser, forked::kOrdinaryUser, 0) == 0;
        m_active = m_switched;
    }
    ~OrdinaryUserScope() {
        if (m_switched) {
            [[maybe_unused]] const int user = ::setresuid(0, 0, 0);
            [[maybe_unused]] const int group = ::setresgid(0, 0, 0);
        }
    }
    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_switched = false;
};

// The frame's state after a press of one of its buttons.
struct FrameAfter {
    bool open = false;        // the window is still open
    bool changeFrame = false; // the Change Password frame shows
    bool loginFrame = false;
    QStringList boxes; // name, current, new, again
    QString focus;
    QString status;
};

FrameAfter frameAfter(frmMain &main, frmLogin &login) {
    FrameAfter after;
    after.open = login.isVisible();
    after.changeFrame = login.fraChPass->isVisible();
    after.loginFrame = login.fraLogin->isVisible();
    after.boxes = {login.txtChUser->text(), login.txtChPass->text(), login.txtChNPass->text(),
                   login.txtChNRPass->text()};
    after.focus = login.focusWidget() ? login.focusWidget()->objectName() : QString();
    after.status = StatusText(main);
    return after;
}

// Opens the sign-in window, goes to the Change Password frame, fills its
// four boxes and presses `button` (cmdChPass, cmdChDel, or "Enter" for
// Enter in the last box).
FrameAfter fillAndPress(frmMain &main, const QStringList &boxes, const QString &button) {
    FrameAfter after;
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::mouseClick(login.cmdChangePass, Qt::LeftButton);
        login.activateWindow();
        const QList<QLineEdit *> edits{login.txtChUser, login.txtChPass, login.txtChNPass,
                                       login.txtChNRPass};
        for (int i = 0; i < edits.size(); ++i)
            TypeInto(edits[i], boxes.value(i));
        if (button == QLatin1String("Enter"))
            QTest::keyClick(login.txtChNRPass, Qt::Key_Return);
        else
            QTest::mouseClick(login.findChild<QPushButton *>(button), Qt::LeftButton);
        after = frameAfter(main, login);
    });
    return after;
}

void signOut(frmMain &main) {
    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    MsgBox::reset();
}

// The URLs the URL menu lists under Home.
QStringList homeUrls(frmMain &main) {
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("Home")));
    return ListedEntries(main.lstUrlView);
}

} // namespace

class PasswordTest : public QObject {
    Q_OBJECT
private slots:
    void changeChecks_data();
    void changeChecks();
    void deleteChecks_data();
    void deleteChecks();
    void changeThenSignInWithTheNewPassword();
    void progressBarShowsWhileTheChangeRuns();
    void deleteThenRegisterStartsEmpty();
    void answeringNoKeepsEverything();
    void readOnlyFolderRefuses_data();
    void readOnlyFolderRefuses();
    void fullDiskRefuses();
    void decidedButUnfinished_data();
    void decidedButUnfinished();
    void keyboardOnly();
};

void PasswordTest::changeChecks_data() {
    QTest::addColumn<QStringList>("boxes"); // name, current, new, again
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("after"); // the boxes afterwards
    QTest::addColumn<QString>("focus");
    QTest::newRow("all empty") << QStringList{"", "", "", ""} << kFillAll
                               << QStringList{"", "", "", ""} << "txtChUser";
    QTest::newRow("blank name") << QStringList{"  ", "Pw", "new1", "new1"} << kFillAll
                                << QStringList{"  ", "Pw", "new1", "new1"} << "txtChUser";
    QTest::newRow("no current password") << QStringList{"Ann", "", "new1", "new1"} << kFillAll
                                         << QStringList{"Ann", "", "new1", "new1"} << "txtChPass";
    QTest::newRow("no new password again") << QStringList{"Ann", "Pw", "new1", ""} << kFillAll
                                           << QStringList{"Ann", "Pw", "new1", ""} << "txtChNRPass";
    QTest::newRow("unknown name") << QStringList{"Nobody", "Pw", "new1", "new1"} << kInvalid
                                  << QStringList{"Nobody", "", "new1", "new1"} << "txtChPass";
    QTest::newRow("wrong password") << QStringList{"Ann", "pw", "new1", "new1"} << kInvalid
                                    << QStringList{"Ann", "", "new1", "new1"} << "txtChPass";
    QTest::newRow("another users password")
        << QStringList{"Ann", "Other", "new1", "new1"} << kInvalid
        << QStringList{"Ann", "", "new1", "new1"} << "txtChPass";
    QTest::newRow("new passwords differ") << QStringList{"Ann", "Pw", "new1", "new2"} << kNoMatch
                                          << QStringList{"Ann", "Pw", "", ""} << "txtChNPass";
    QTest::newRow("new passwords differ in case")
        << QStringList{"Ann", "Pw", "New1", "new1"} << kNoMatch << QStringList{"Ann", "Pw", "", ""}
        << "txtChNPass";
    QTest::newRow("new password is the name")
        << QStringList{"ann", "Pw", "ANN", "ANN"} << kSameAsName << QStringList{"ann", "Pw", "", ""}
        << "txtChNPass";
    QTest::newRow("unstorable character") << QStringList{"Ann", "Pw", "p{w", "p{w"} << kBrace
                                          << QStringList{"Ann", "Pw", "", ""} << "txtChNPass";
    QTest::newRow("another ID of the name has it")
        << QStringList{"Ann", "Pw", "Twin", "Twin"} << kOtherHasIt
        << QStringList{"Ann", "Pw", "", ""} << "txtChNPass";
}

void PasswordTest::changeChecks() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, message);
    QFETCH(QStringList, after);
    QFETCH(QString, focus);
    GuiTestEnv env;
    WriteTwoUsers();
    AddAccount(3, QStringLiteral("ANN"), QStringLiteral("Twin"));
    const auto before = Snapshot(env.folder());
    frmMain &main = env.mainWindow();

    const FrameAfter shown = fillAndPress(main, boxes, QStringLiteral("cmdChPass"));

    QCOMPARE(ShownTexts(), QStringList{message});
    QVERIFY(shown.open);
    QVERIFY(shown.changeFrame);
    QVERIFY(!shown.loginFrame);
    QCOMPARE(shown.boxes, after);
    QCOMPARE(shown.focus, focus);
    QCOMPARE(shown.status, kReadyChange);
    QCOMPARE(Snapshot(env.folder()), before);
}

void PasswordTest::deleteChecks_data() {
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    // The new password boxes play no part in a delete.
    QTest::newRow("no name") << QStringList{"", "Pw", "", ""} << kNameAndPassword << "txtChUser";
    QTest::newRow("blank password")
        << QStringList{"Ann", "   ", "", ""} << kNameAndPassword << "txtChPass";
    QTest::newRow("wrong password") << QStringList{"Ann", "PW", "", ""} << kInvalid << "txtChPass";
    QTest::newRow("unknown name") << QStringList{"Anna", "Pw", "", ""} << kInvalid << "txtChPass";
}

void PasswordTest::deleteChecks() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    GuiTestEnv env;
    WriteTwoUsers();
    const auto before = Snapshot(env.folder());
    frmMain &main = env.mainWindow();

    const FrameAfter shown = fillAndPress(main, boxes, QStringLiteral("cmdChDel"));

    QCOMPARE(ShownTexts(), QStringList{message}); // no confirmation asked
    QVERIFY(shown.changeFrame);
    QCOMPARE(shown.focus, focus);
    QCOMPARE(shown.status, kReadyChange);
    QCOMPARE(Snapshot(env.folder()), before);
}

void PasswordTest::changeThenSignInWithTheNewPassword() {
    GuiTestEnv env;
    WriteTwoUsers();
    const QString bobFiles = modMain::UserFolderPath(2) + QStringLiteral("/CAT.DAT");
    const QByteArray bobIndex = FileBytes(bobFiles);
    frmMain &main = env.mainWindow();

    // Blanks around the name and the passwords are not part of them.
    const FrameAfter after =
        fillAndPress(main, {" ann ", "Pw ", " New Pw", "New Pw "}, QStringLiteral("Enter"));
    QCOMPARE(ShownTexts(), QStringList{kChanged});
    QVERIFY(after.open);
    QVERIFY(after.loginFrame);
    QVERIFY(!after.changeFrame);
    QCOMPARE(after.boxes, (QStringList{"", "", "", ""}));
    QCOMPARE(after.status, kReadyLogin);
    QCOMPARE(modMain::UserNo, qint16(0)); // nobody signed in by it
    QCOMPARE(FileBytes(bobFiles), bobIndex);
    QCOMPARE(QDir(env.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"info.qvx"});

    // The old password is refused.
    MsgBox::reset();
    SignInByKeyboard(main, kTestUser, kTestPassword);
    QCOMPARE(ShownTexts(), QStringList{kInvalid});
    QCOMPARE(modMain::UserNo, qint16(0));

    // The new one lists everything, without an Imposter message.
    MsgBox::reset();
    SignInByKeyboard(main, kTestUser, QStringLiteral("New Pw"));
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(ListedEntries(main.lstCatView), (QStringList{"Home=2", "Work=1"}));
    QCOMPARE(homeUrls(main), (QStringList{"a.example=2", "b.example=1"}));
    QCOMPARE(ShownTexts(), QStringList{kSignedIn});

    // The other user still signs in with his own files.
    signOut(main);
    SignInByKeyboard(main, QStringLiteral("Bob"), QStringLiteral("Other"));
    QCOMPARE(modMain::UserNo, qint16(2));
    QCOMPARE(ListedEntries(main.lstCatView), QStringList{"Bobs=1"});
    QCOMPARE(ShownTexts(), QStringList{kSignedIn});
}

void PasswordTest::progressBarShowsWhileTheChangeRuns() {
    GuiTestEnv env;
    WriteTwoUsers();
    frmMain &main = env.mainWindow();
    bool barSeen = false;
    QString statusSeen;
    FrameAfter after;
    WithSignInWindow(main, [&](frmLogin &login) {
        QVERIFY(!login.prgChPass->isVisible());
        QTest::mouseClick(login.cmdChangePass, Qt::LeftButton);
        QVERIFY(!login.prgChPass->isVisible());
        TypeInto(login.txtChUser, kTestUser);
        TypeInto(login.txtChPass, kTestPassword);
        TypeInto(login.txtChNPass, QStringLiteral("pw2"));
        TypeInto(login.txtChNRPass, QStringLiteral("pw2"));
        // The bar is painted while the files are written: a timer runs then.
        QTimer::singleShot(0, &login, [&] {
            barSeen = login.prgChPass->isVisible();
            statusSeen = StatusText(main);
        });
        QTest::mouseClick(login.cmdChPass, Qt::LeftButton);
        after = frameAfter(main, login);
        QVERIFY(!login.prgChPass->isVisible());
    });
    QVERIFY(barSeen);
    QCOMPARE(statusSeen, QStringLiteral("Please wait...Changing Password..."));
    QCOMPARE(ShownTexts(), QStringList{kChanged});
    QCOMPARE(after.status, kReadyLogin);
}

void PasswordTest::deleteThenRegisterStartsEmpty() {
    GuiTestEnv env;
    WriteUserFiles({{QStringLiteral("Work"), 1}, {QStringLiteral("Home"), 2}});
    WriteUrlFile(2, UrlLine({1, QStringLiteral("b.example"), QStringLiteral("bee")}));
    frmMain &main = env.mainWindow();

    MsgBox::queueAnswer(MsgAnswer::Yes);
    const FrameAfter after = fillAndPress(main, {"Ann", "Pw", "", ""}, QStringLiteral("cmdChDel"));
    const QList<screens::ShownMessage> shown = MsgBox::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].text, kConfirm);
    QCOMPARE(shown[0].title, QStringLiteral("Confirm Delete"));
    QCOMPARE(shown[0].buttons, MsgButtons::YesNo);
    QCOMPARE(shown[1].text, kDeleted);
    QVERIFY(after.loginFrame);
    QCOMPARE(after.boxes, (QStringList{"", "", "", ""}));
    QCOMPARE(after.status, kReadyLogin);
    QVERIFY(!QFileInfo::exists(env.path("USR1")));
    QCOMPARE(FileBytes(env.path("info.qvx")), QByteArray());

    // The old name and password sign in no more.
    MsgBox::reset();
    SignInByKeyboard(main, kTestUser, kTestPassword);
    QCOMPARE(ShownTexts(), QStringList{kInvalid});

    // A new ID of the same name and password receives number 1 again and
    // finds nothing of the old one.
    MsgBox::reset();
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::mouseClick(login.cmdNewUser, Qt::LeftButton);
        TypeInto(login.txtNUser, kTestUser);
        TypeInto(login.txtNPass, kTestPassword);
        TypeInto(login.txtNRPass, kTestPassword);
        QTest::keyClick(login.txtNRPass, Qt::Key_Return);
    });
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(ListedEntries(main.lstCatView), QStringList());
    QCOMPARE(QDir(env.path("USR1")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"CAT.DAT"}); // made empty by the sign-in's listing
    QCOMPARE(FileBytes(env.path("USR1/CAT.DAT")), QByteArray());
}

void PasswordTest::answeringNoKeepsEverything() {
    GuiTestEnv env;
    WriteTwoUsers();
    const auto before = Snapshot(env.folder());
    frmMain &main = env.mainWindow();

    MsgBox::queueAnswer(MsgAnswer::No);
    const FrameAfter after = fillAndPress(main, {"Ann", "Pw", "", ""}, QStringLiteral("cmdChDel"));
    QCOMPARE(ShownTexts(), QStringList{kConfirm});
    QVERIFY(after.changeFrame);
    QCOMPARE(after.boxes, (QStringList{"Ann", "Pw", "", ""}));
    QCOMPARE(after.status, kReadyChange);
    QCOMPARE(Snapshot(env.folder()), before);

    MsgBox::reset();
    SignInByKeyboard(main, kTestUser, kTestPassword);
    QCOMPARE(ListedEntries(main.lstCatView), (QStringList{"Home=2", "Work=1"}));
    QCOMPARE(homeUrls(main), (QStringList{"a.example=2", "b.example=1"}));
    QCOMPARE(ShownTexts(), QStringList{kSignedIn});
}

void PasswordTest::readOnlyFolderRefuses_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("readOnly"); // the folder made read-only
    QTest::addColumn<QString>("message");  // %1: the program folder
    QTest::newRow("change in a read-only user folder")
        << "cmdChPass"
        << "USR1"
        << "Wayfile could not write to \"%1/USR1/CAT.DAT\".\r\n\r\nReason: Permission denied.";
    QTest::newRow("change in a read-only program folder")
        << "cmdChPass"
        << ""
        << "Wayfile could not write to \"%1/info.qvx\".\r\n\r\nReason: Permission denied.";
    QTest::newRow("delete in a read-only program folder")
        << "cmdChDel"
        << ""
        << "Wayfile could not delete \"%1/USR1\".\r\n\r\nReason: Permission denied.";
}

// Root writes whatever the modes say: while the button is pressed, the
// test process acts as an ordinary user who owns the program folder.
void PasswordTest::readOnlyFolderRefuses() {
    QFETCH(QString, button);
    QFETCH(QString, readOnly);
    QFETCH(QString, message);
    GuiTestEnv env;
    WriteTwoUsers();
    const auto before = Snapshot(env.folder());
    frmMain &main = env.mainWindow();
    const QString folder = readOnly.isEmpty() ? env.folder() : env.path(readOnly);

    FrameAfter after;
    {
        const OrdinaryUserScope ordinary(env.folder());
        if (!ordinary.active())
            QSKIP("the test cannot act as an ordinary user here");
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0500), 0);
        MsgBox::queueAnswer(MsgAnswer::Yes); // a delete's confirmation
        after = fillAndPress(main, {"Ann", "Pw", "pw2", "pw2"}, button);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    }
    QStringList expected;
    if (button == QLatin1String("cmdChDel"))
        expected << kConfirm;
    expected << message.arg(env.folder());
    QCOMPARE(ShownTexts(), expected);
    QCOMPARE(after.status, kReadyChange);
    QCOMPARE(after.boxes, (QStringList{"Ann", "Pw", "pw2", "pw2"}));
    QCOMPARE(Snapshot(env.folder()), before);
}

void PasswordTest::fullDiskRefuses() {
    GuiTestEnv env;
    WriteTwoUsers();
    const auto before = Snapshot(env.folder());
    frmMain &main = env.mainWindow();
    FrameAfter after;
    {
        const WriteFaultScope full(WriteFault::FullDisk);
        after = fillAndPress(main, {"Ann", "Pw", "pw2", "pw2"}, QStringLiteral("cmdChPass"));
    }
    // The first write is the journal's, before any file of the user.
    QCOMPARE(ShownTexts(),
             QStringList{QStringLiteral("Wayfile could not create \"%1/wayfile.journal\".\r\n\r\n"
                                        "Reason: No space left on device.\r\n\r\nNothing was "
                                        "saved, and the file is as it was. Please free some space "
                                        "on the disk and try again. Your old Password still works.")
                             .arg(env.folder())});
    QCOMPARE(after.boxes, (QStringList{"Ann", "Pw", "pw2", "pw2"}));
    QCOMPARE(after.status, kReadyChange);
    QCOMPARE(Snapshot(env.folder()), before);

    // Nothing was changed: the old password still lists everything.
    MsgBox::reset();
    SignInByKeyboard(main, kTestUser, kTestPassword);
    QCOMPARE(homeUrls(main), (QStringList{"a.example=2", "b.example=1"}));
    QCOMPARE(ShownTexts(), QStringList{kSignedIn});
}

// A change decided (its journal committed) whose new versions could not all
// take their files' places: the success is told with what is left, and the
// next start finishes it.
void PasswordTest::decidedButUnfinished_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("told");
    // The first file whose new version could not take its place.
    const auto why = [](const char *file) {
        return QStringLiteral("\r\n\r\nWayfile could not write to \"%1/") + QLatin1String(file) +
               QStringLiteral("\".\r\n\r\nReason: Input/output error. The change will be "
                              "finished the next time Wayfile starts.\r\n\r\n");
    };
    QTest::newRow("password change")
        << "cmdChPass"
        << QStringLiteral("Success! Your Password was changed, but Wayfile could not finish "
                          "writing every file of your ID:") +
               why("USR1/CAT.DAT") +
               QStringLiteral("Please close Wayfile and start it again before you Login: Wayfile "
                              "finishes the change when it starts. After that, please Login with "
                              "your new Password. Until then, only your old Password signs in.");
    QTest::newRow("delete ID")
        << "cmdChDel"
        << QStringLiteral("Success! The ID \"Ann\" was deleted, but Wayfile could not finish "
                          "removing all its files:") +
               why("info.qvx") +
               QStringLiteral("Please close Wayfile and start it again: Wayfile finishes the "
                              "deletion when it starts. Until then, please do not Login to that "
                              "ID or register its name again.");
}

void PasswordTest::decidedButUnfinished() {
    QFETCH(QString, button);
    QFETCH(QString, told);
    GuiTestEnv env;
    WriteTwoUsers();
    frmMain &main = env.mainWindow();
    {
        // Every new version fails to take its file's place.
        const DiskCallsOverride calls(
            modMain::DiskCalls{.rename = [](const char *from, const char *to) {
                if (QByteArray(from).endsWith(".journal-new")) {
                    errno = EIO;
                    return -1;
                }
                return ::rename(from, to);
            }});
        MsgBox::queueAnswer(MsgAnswer::Yes); // the deletion's question
        fillAndPress(main, {"Ann", "Pw", "pw2", "pw2"}, button);
    }
    QStringList shown = ShownTexts();
    if (button == QLatin1String("cmdChDel"))
        shown.removeFirst(); // the question
    QCOMPARE(shown, QStringList{told.arg(env.folder())});

    // The next start finishes the change.
    MsgBox::reset();
    QVERIFY(!modMain::RecoverProgramFolder().failed());
    SignInByKeyboard(main, kTestUser, QStringLiteral("pw2"));
    QCOMPARE(modMain::UserNo, qint16(button == QLatin1String("cmdChPass") ? 1 : 0));
}

void PasswordTest::keyboardOnly() {
    // Alt+H opens the frame, Tab walks its boxes in order, Escape goes back
    // to the sign-in frame without closing the window, and Enter in the
    // last box changes the password.
    GuiTestEnv env;
    WriteTwoUsers();
    frmMain &main = env.mainWindow();
    WithSignInWindow(main, [&](frmLogin &login) {
        login.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        QWindow *window = login.windowHandle();
        auto type = [window](const char *text) {
            for (const char *c = text; *c; ++c)
                QTest::keyClick(window, *c);
        };
        QTest::keyClick(window, Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(login.fraChPass->isVisible());
        QVERIFY(!login.fraLogin->isVisible());
        QCOMPARE(StatusText(main), QStringLiteral("Please fill in all the fields and click on "
                                                  "Change to change your Password"));
        QTRY_COMPARE(login.focusWidget(), login.txtChUser);
        type("Ann");
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(login.isVisible());
        QVERIFY(login.fraLogin->isVisible());
        QVERIFY(!login.fraChPass->isVisible());
        QCOMPARE(StatusText(main), kReadyLogin);

        QTest::keyClick(window, Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(login.focusWidget(), login.txtChUser);
        QCOMPARE(login.txtChUser->text(), QString()); // emptied on the way back
        type("Ann");
        for (QLineEdit *next : {login.txtChPass, login.txtChNPass, login.txtChNRPass}) {
            QTest::keyClick(window, Qt::Key_Tab);
            QCOMPARE(login.focusWidget(), next);
            type(next == login.txtChPass ? "Pw" : "pw2");
        }
        QCOMPARE(login.txtChNRPass->displayText(), QStringLiteral("***"));
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(login.focusWidget(), login.cmdChPass);
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(login.focusWidget(), login.cmdChDel);
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(login.focusWidget(), login.cmdChCncl);
        QTest::keyClick(window, Qt::Key_Backtab);
        QTest::keyClick(window, Qt::Key_Backtab);
        QTest::keyClick(window, Qt::Key_Backtab);
        QCOMPARE(login.focusWidget(), login.txtChNRPass);
        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(login.fraLogin->isVisible());
    });
    QCOMPARE(ShownTexts(), QStringList{kChanged});
    MsgBox::reset();
    SignInByKeyboard(main, kTestUser, QStringLiteral("pw2"));
    QCOMPARE(modMain::UserNo, qint16(1));
}

QTEST_MAIN(PasswordTest)
#include "tst_password.moc"

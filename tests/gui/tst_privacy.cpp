// Signing out when the user is away: the settings file, the away rule of the
// two clocks, the idle sign-out with a box, a question, a file dialog or the
// sign-in window open, the screen lock heard on a private bus, a suspend,
// and nothing of the user left behind by any sign-out, Logout's included.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "privacy/awaysignout.h"
#include "privacy/clock.h"
#include "privacy/openmodals.h"
#include "privacy/settings.h"
#include "screens/clipboard.h"
#include "screens/filedialog.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "urls/urlfile.h"
#include "userdata/findindex.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>

using privacy::AwaySignOut;
using screens::Clipboard;
using screens::FileDialog;
using screens::MsgAnswer;
using screens::MsgBox;

namespace {

const QString kSignedOutIntro =
    QStringLiteral("Welcome to Wayfile v2.1\n\nPlease Login to the program by clicking on the "
                   "'Login' button and entering your login details to proceed.");
const QString kIdleIntro = kSignedOutIntro + QStringLiteral("\n\nYou were logged off after 10 "
                                                            "minutes without use.");
const QString kLockIntro =
    kSignedOutIntro + QStringLiteral("\n\nYou were logged off when the screen was locked.");

// The short limit of the idle tests.
constexpr int kLimitMs = 300;

// What the test user has, each text found nowhere else in the window.
const QString kCategory = QStringLiteral("Zebrafish");
const QString kAddress = QStringLiteral("hidden-cove.example/plans");
const QString kDescription = QStringLiteral("Quiet notes");
const QString kFindText = QStringLiteral("cove");
const QString kTyped = QStringLiteral("Unsaved Walrus");

// Signed in with one category holding one URL; the URL chosen in the URLs
// menu (its description in the description box), its address copied, a
// search made in the Find URL menu, and a category name half typed on Add
// Category: everything a sign-out must take away.
frmMain &SignInAndLeaveTraces(GuiTestEnv &env) {
    frmMain &main = SignInWithCategories(env, {{kCategory, 1}});
    WriteUrlFile(1, UrlLine({1, kAddress, kDescription}));
    QTest::mouseClick(main.cmdURL, Qt::LeftButton);
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(kCategory));
    ClickEntry(main.lstUrlView, kAddress);
    QTest::keyClick(main.lstUrlView, Qt::Key_C, Qt::ControlModifier);
    if (main.txtUrlViewDesc->toPlainText() != kDescription || Clipboard::text().isEmpty())
        qFatal("the URL could not be chosen and copied");
    QTest::mouseClick(main.cmdUrlViewF, Qt::LeftButton);
    TypeInto(main.txtUrlFind, kFindText);
    QTest::mouseClick(main.cmdUrlFindCncl, Qt::LeftButton);
    QTest::mouseClick(main.cmdCat, Qt::LeftButton);
    QTest::mouseClick(main.cmdCatViewA, Qt::LeftButton);
    TypeInto(main.txtCatAdd, kTyped);
    MsgBox::reset();
    return main;
}

// Every place of the window where a text of the user could stay: each
// widget's texts, shown or hidden, what its edit history could bring back,
// what a screen reader reads, each list's entries, the index and the
// clipboard. One line for each text found.
QStringList Leftovers(frmMain &main) {
    const QStringList secrets{kCategory, kAddress, kDescription, kFindText, kTyped};
    QStringList found;
    auto look = [&](const QString &where, const QString &text) {
        for (const QString &secret : secrets) {
            if (text.contains(secret, Qt::CaseInsensitive))
                found << where + QStringLiteral(": ") + text;
        }
    };
    auto lookModel = [&](const QString &where, const QAbstractItemModel *model) {
        if (!model)
            return;
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                for (const int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole),
                                       int(Qt::AccessibleTextRole), int(Qt::UserRole)})
                    look(where, index.data(role).toString());
            }
        }
    };
    QList<QWidget *> widgets = main.findChildren<QWidget *>();
    widgets.prepend(&main);
    for (QWidget *w : std::as_const(widgets)) {
        const QString name = w->objectName();
        look(name + QStringLiteral(" (tool tip)"), w->toolTip());
        look(name + QStringLiteral(" (accessible name)"), w->accessibleName());
        look(name + QStringLiteral(" (accessible description)"), w->accessibleDescription());
        look(name + QStringLiteral(" (title)"), w->windowTitle());
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            look(name, edit->text());
            if (edit->isUndoAvailable())
                found << name + QStringLiteral(" can undo");
        }
        if (auto *edit = qobject_cast<QPlainTextEdit *>(w)) {
            look(name, edit->toPlainText());
            if (edit->document()->isUndoAvailable())
                found << name + QStringLiteral(" can undo");
        }
        if (auto *label = qobject_cast<QLabel *>(w))
            look(name, label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            look(name, button->text());
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            look(name, combo->currentText());
            lookModel(name, combo->model());
        }
        if (auto *view = qobject_cast<QAbstractItemView *>(w))
            lookModel(name, view->model());
        if (QAccessibleInterface *read = QAccessible::queryAccessibleInterface(w)) {
            for (const QAccessible::Text text :
                 {QAccessible::Name, QAccessible::Description, QAccessible::Value})
                look(name + QStringLiteral(" (read out)"), read->text(text));
        }
    }
    look(QStringLiteral("status line"), StatusText(main));
    look(QStringLiteral("clipboard"), Clipboard::text());
    for (const modMain::SortedListModel *model : {main.CategoryModel, main.UrlModel}) {
        for (int row = 0; row < model->count(); ++row)
            look(QStringLiteral("the lists' entries"), model->textAt(row));
    }
    if (main.Data->index().isBuilt() || main.Data->index().urlCount() != 0)
        found << QStringLiteral("the find index");
    return found;
}

// The window signed out, with `intro` as its introduction.
void CheckSignedOut(frmMain &main, const QString &intro) {
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(modMain::PassStamp, QString());
    QCOMPARE(main.cmdLogin->text(), QStringLiteral("&Login"));
    QVERIFY(!main.cmdCat->isEnabled());
    QVERIFY(!main.cmdURL->isEnabled());
    QVERIFY(main.lblIntro->isVisible());
    QCOMPARE(main.lblIntro->text(), intro);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Main Menu)"));
    const QStringList left = Leftovers(main);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral("; "))));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

// Real boxes and file dialogs instead of scripted ones while it lives. A
// window that something leaves open is closed after five seconds, so that a
// test that fails cannot hang, and the test is told.
class RealWindows {
public:
    RealWindows() {
        MsgBox::setScripted(false);
        FileDialog::setScripted(false);
        m_safety.setSingleShot(true);
        QObject::connect(&m_safety, &QTimer::timeout, [this] {
            while (QWidget *window = QApplication::activeModalWidget()) {
                m_leftOpen << window->windowTitle();
                window->close();
                if (auto *dialog = qobject_cast<QDialog *>(window))
                    dialog->reject();
            }
        });
        m_safety.start(5000);
    }
    ~RealWindows() {
        MsgBox::setScripted(true);
        FileDialog::setScripted(true);
    }
    // The titles of the windows the safety net had to close.
    QStringList leftOpen() const { return m_leftOpen; }

private:
    QTimer m_safety;
    QStringList m_leftOpen;
};

// The modal window open at the moment this runs, by its title and text.
struct SeenWindow {
    QString title;
    QString text;
};

// Notes the modal window open `afterMs` after it is called, from inside
// whatever loop runs then.
void NoteOpenWindow(std::optional<SeenWindow> *seen, int afterMs = 50) {
    QTimer::singleShot(afterMs, [seen] {
        if (QWidget *window = QApplication::activeModalWidget()) {
            auto *box = qobject_cast<QMessageBox *>(window);
            *seen = SeenWindow{window->windowTitle(), box ? box->text() : QString()};
        }
    });
}

// The away sign-out as main.cpp makes it, with the test's short limit.
std::unique_ptr<AwaySignOut> WatchAway(frmMain &main, int limitMs = kLimitMs,
                                       privacy::Settings settings = {}) {
    auto away = std::make_unique<AwaySignOut>(
        settings, [&main](const QString &notice) { main.SignOut(notice); });
    away->idle().setLimitMs(limitMs);
    return away;
}

// Clocks that move only when the test moves them.
class TestClock : public privacy::Clock {
public:
    privacy::Instant now() const override { return m_now; }
    void move(qint64 monotonicMs, qint64 wallMs) {
        m_now.monotonicMs += monotonicMs;
        m_now.wallMs += wallMs;
    }

private:
    privacy::Instant m_now{1000000, 1765400000000};
};

constexpr qint64 kMinute = 60 * 1000;

// The program reads `clock` while this lives; the watcher starts anew from
// its time.
class ClockOverride {
public:
    ClockOverride(const privacy::Clock *clock, privacy::IdleWatcher &watcher) {
        privacy::SetProgramClock(clock);
        watcher.noteInput();
    }
    ~ClockOverride() { privacy::SetProgramClock(nullptr); }
    ClockOverride(const ClockOverride &) = delete;
    ClockOverride &operator=(const ClockOverride &) = delete;
};

// A bus of the test's own: a dbus-daemon started for it, ended with it.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return;
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString &name : std::as_const(m_names))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    bool running() const { return !m_address.isEmpty(); }
    // A connection of its own to the bus, named `name`.
    QDBusConnection connect(const QString &name) {
        m_names << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

} // namespace

// logind's manager, as much of it as the program asks: which object is
// session "7" (and that the program's own process is in session "8").
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
    QDBusObjectPath GetSession(const QString &id) {
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/login1/session/_3") + id);
    }
    QDBusObjectPath GetSessionByPID(uint) {
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/login1/session/_38"));
    }
};

class tst_Privacy : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void settingsFile_data();
    void settingsFile();
    void settingsFileFollowsXdgConfigHome();
    void settingsFileThatCannotBeWritten();
    void settingsFileWithANameTooLong();

    void awayTime_data();
    void awayTime();

    void awayNotice_data();
    void awayNotice();
    void idleSignOutLeavesNothing();
    void logoutLeavesNothing();
    void noticeFitsTheIntroduction_data();
    void noticeFitsTheIntroduction();
    void idleClosesAnOpenMessageBox();
    void idleAnswersAnOpenQuestionNo_data();
    void idleAnswersAnOpenQuestionNo();
    void idleCancelsAnOpenFileDialog();
    void idleClosesTheSignInWindow_data();
    void idleClosesTheSignInWindow();
    void inputBeforeTheLimitKeepsTheSession();
    void zeroMinutesNeverSignsOut();
    void signOutWaitsForARunningChange();

    void wallClockJump_data();
    void wallClockJump();
    void timeZoneChangeMovesNoClock();
    void firstKeyAfterASuspendReachesNothing_data();
    void firstKeyAfterASuspendReachesNothing();

    void screenSaverSignal_data();
    void screenSaverSignal();
    void logindLockSignal_data();
    void logindLockSignal();
    void screenLockSettingOff();
};

void tst_Privacy::cleanup() {
    privacy::SetSettingsFile(QString());
    privacy::OpenModals::setClosing(false);
}

// ---- The settings file ----

void tst_Privacy::settingsFile_data() {
    QTest::addColumn<QByteArray>("before"); // "-": no file
    QTest::addColumn<int>("minutes");
    QTest::addColumn<bool>("onLock");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("problem"); // %1: the file's path

    const QByteArray defaults = "[Privacy]\nSignOutAfterMinutes=10\nSignOutOnScreenLock=true\n";
    QTest::newRow("first start writes the defaults")
        << QByteArray("-") << 10 << true << defaults << QString();
    QTest::newRow("the user's values are read and kept")
        << QByteArray("[Privacy]\nSignOutAfterMinutes=25\nSignOutOnScreenLock=false\n") << 25
        << false << QByteArray("[Privacy]\nSignOutAfterMinutes=25\nSignOutOnScreenLock=false\n")
        << QString();
    QTest::newRow("zero means never")
        << QByteArray("[Privacy]\nSignOutAfterMinutes=0\nSignOutOnScreenLock=true\n") << 0 << true
        << QByteArray("[Privacy]\nSignOutAfterMinutes=0\nSignOutOnScreenLock=true\n") << QString();
    QTest::newRow("a missing key is added with its default")
        << QByteArray("[Privacy]\nSignOutAfterMinutes=3\n") << 3 << true
        << QByteArray("[Privacy]\nSignOutAfterMinutes=3\nSignOutOnScreenLock=true\n") << QString();
    QTest::newRow("an empty file gets the defaults")
        << QByteArray("") << 10 << true << defaults << QString();
    QTest::newRow("minutes that are no number")
        << QByteArray("[Privacy]\nSignOutAfterMinutes=ten\nSignOutOnScreenLock=true\n") << 10
        << true << QByteArray("[Privacy]\nSignOutAfterMinutes=ten\nSignOutOnScreenLock=true\n")
        << QStringLiteral("Wayfile's settings file \"%1\" holds a value it cannot use:\r\n\r\n"
                          "SignOutAfterMinutes=ten is not a number of minutes (0 or more): "
                          "Wayfile signs you out after 10 minutes without use.");
    QTest::newRow("negative minutes")
        << QByteArray("[Privacy]\nSignOutAfterMinutes=-5\nSignOutOnScreenLock=false\n") << 10
        << false << QByteArray("[Privacy]\nSignOutAfterMinutes=-5\nSignOutOnScreenLock=false\n")
        << QStringLiteral("Wayfile's settings file \"%1\" holds a value it cannot use:\r\n\r\n"
                          "SignOutAfterMinutes=-5 is not a number of minutes (0 or more): "
                          "Wayfile signs you out after 10 minutes without use.");
    QTest::newRow("screen lock neither true nor false")
        << QByteArray("[Privacy]\nSignOutAfterMinutes=10\nSignOutOnScreenLock=maybe\n") << 10
        << true << QByteArray("[Privacy]\nSignOutAfterMinutes=10\nSignOutOnScreenLock=maybe\n")
        << QStringLiteral("Wayfile's settings file \"%1\" holds a value it cannot use:\r\n\r\n"
                          "SignOutOnScreenLock=maybe is neither true nor false: Wayfile signs you "
                          "out when the screen locks.");
}

void tst_Privacy::settingsFile() {
    QFETCH(QByteArray, before);
    QFETCH(int, minutes);
    QFETCH(bool, onLock);
    QFETCH(QByteArray, after);
    QFETCH(QString, problem);
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("config/wayfile/wayfile.conf"));
    if (before != "-") {
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("config/wayfile")));
        WriteFileBytes(path, before);
    }
    privacy::SetSettingsFile(path);
    QString told;
    const privacy::Settings settings = privacy::LoadSettings(&told);
    QCOMPARE(settings.signOutAfterMinutes, minutes);
    QCOMPARE(settings.signOutOnScreenLock, onLock);
    QCOMPARE(FileBytes(path), after);
    QCOMPARE(told, problem.isEmpty() ? QString() : problem.arg(path));
    if (before == "-") {
        // Made for its owner alone, like the program's data files.
        struct stat folder {};
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder), 0);
        QCOMPARE(folder.st_mode & 0777, 0700u);
        struct stat file {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &file), 0);
        QCOMPARE(file.st_mode & 0777, 0600u);
    }
}

// Without a test's file, the file is wayfile/wayfile.conf in the user's
// configuration folder, which $XDG_CONFIG_HOME names when it is set.
void tst_Privacy::settingsFileFollowsXdgConfigHome() {
    QTemporaryDir config;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString path = privacy::SettingsFile();
    QString told;
    privacy::LoadSettings(&told);
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    QCOMPARE(path, config.path() + QStringLiteral("/wayfile/wayfile.conf"));
    QCOMPARE(told, QString());
    QCOMPARE(FileBytes(path),
             QByteArray("[Privacy]\nSignOutAfterMinutes=10\nSignOutOnScreenLock=true\n"));
}

// A folder that cannot be made is named with the reason, and the defaults
// count.
void tst_Privacy::settingsFileThatCannotBeWritten() {
    QTemporaryDir home;
    WriteFileBytes(home.filePath(QStringLiteral("config")), "a file, not a folder");
    const QString path = home.filePath(QStringLiteral("config/wayfile/wayfile.conf"));
    privacy::SetSettingsFile(path);
    QString told;
    const privacy::Settings settings = privacy::LoadSettings(&told);
    QCOMPARE(settings.signOutAfterMinutes, 10);
    QCOMPARE(settings.signOutOnScreenLock, true);
    QCOMPARE(told, QStringLiteral("Wayfile could not create \"%1\".\r\n\r\nReason: A "
                                  "file of that name already exists.\r\n\r\nUntil Wayfile can "
                                  "write its settings file \"%2\", it signs you out after 10 "
                                  "minutes without use and when the screen locks.")
                       .arg(home.filePath(QStringLiteral("config")), path));
}

// A file that cannot be made is named with the system's reason.
void tst_Privacy::settingsFileWithANameTooLong() {
    QTemporaryDir home;
    const QString path = home.filePath(QString(300, u'w'));
    privacy::SetSettingsFile(path);
    QString told;
    const privacy::Settings settings = privacy::LoadSettings(&told);
    QCOMPARE(settings.signOutAfterMinutes, 10);
    QCOMPARE(told, QStringLiteral("Wayfile could not write its settings file \"%1\".\r\n\r\n"
                                  "Reason: File name too long.\r\n\r\nUntil it can, Wayfile "
                                  "signs you out after 10 minutes without use and when the screen "
                                  "locks.")
                       .arg(path));
}

// ---- The two clocks ----

void tst_Privacy::awayTime_data() {
    QTest::addColumn<qint64>("ran");        // monotonic milliseconds passed
    QTest::addColumn<qint64>("wallPassed"); // wall-clock milliseconds passed
    QTest::addColumn<qint64>("away");
    QTest::addColumn<bool>("slept");
    QTest::newRow("both clocks ran alike") << 5 * kMinute << 5 * kMinute << 5 * kMinute << false;
    QTest::newRow("NTP set the wall clock 4 s ahead")
        << 5 * kMinute << 5 * kMinute + 4000 << 5 * kMinute << false;
    QTest::newRow("NTP set the wall clock 4 s back")
        << 5 * kMinute << 5 * kMinute - 4000 << 5 * kMinute << false;
    QTest::newRow("the wall clock set back an hour")
        << 5 * kMinute << 5 * kMinute - 60 * kMinute << 5 * kMinute << false;
    QTest::newRow("a suspend of an hour") << 2 * kMinute << 62 * kMinute << 62 * kMinute << true;
    QTest::newRow("a suspend of a minute and a second")
        << 0LL << kMinute + 1000 << kMinute + 1000 << true;
}

void tst_Privacy::awayTime() {
    QFETCH(qint64, ran);
    QFETCH(qint64, wallPassed);
    QFETCH(qint64, away);
    QFETCH(bool, slept);
    const privacy::Instant since{5000, 1765400000000};
    const privacy::AwayTime time =
        privacy::AwaySince(since, {since.monotonicMs + ran, since.wallMs + wallPassed});
    QCOMPARE(time.ms, away);
    QCOMPARE(time.slept, slept);
}

// ---- What the introduction adds ----

void tst_Privacy::awayNotice_data() {
    QTest::addColumn<privacy::AwayCause>("cause");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("notice");
    QTest::newRow("idle, 10 minutes") << privacy::AwayCause::Idle << 10
                                      << QStringLiteral("You were logged off after 10 minutes "
                                                        "without use.");
    QTest::newRow("idle, 1 minute")
        << privacy::AwayCause::Idle << 1
        << QStringLiteral("You were logged off after 1 minute without use.");
    QTest::newRow("suspend, 25 minutes")
        << privacy::AwayCause::Suspend << 25
        << QStringLiteral("You were logged off after 25 minutes without use.");
    QTest::newRow("screen lock") << privacy::AwayCause::ScreenLock << 10
                                 << QStringLiteral("You were logged off when the screen was "
                                                   "locked.");
}

void tst_Privacy::awayNotice() {
    QFETCH(privacy::AwayCause, cause);
    QFETCH(int, minutes);
    QFETCH(QString, notice);
    QCOMPARE(privacy::AwayNotice(cause, minutes), notice);
}

// ---- Idle sign-out ----

void tst_Privacy::idleSignOutLeavesNothing() {
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    QVERIFY(!Leftovers(main).isEmpty());
    const auto away = WatchAway(main);
    QSignalSpy signedOut(away.get(), &AwaySignOut::signedOut);
    QTRY_COMPARE(signedOut.count(), 1);
    CheckSignedOut(main, kIdleIntro);
    // No Logout question, no farewell.
    QCOMPARE(ShownTexts(), QStringList());
    QCOMPARE(signedOut.at(0).at(0).value<privacy::AwayCause>(), privacy::AwayCause::Idle);
}

// Logout takes the same way out, and leaves nothing either (the chosen
// URL's description stayed in the hidden description box before).
void tst_Privacy::logoutLeavesNothing() {
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    MsgBox::queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    CheckSignedOut(main, kSignedOutIntro);
    QCOMPARE(ShownTexts(),
             (QStringList{QStringLiteral("Are you sure you wish to Logout of the program?"),
                          QStringLiteral("Success! You have been Logged Off the "
                                         "program...Byeee...Cya Soon!!")}));
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), screens::kDescriptionPlaceholder);
}

void tst_Privacy::noticeFitsTheIntroduction_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("800 x 600") << 800 << 600;
    QTest::newRow("1024 x 768") << 1024 << 768;
}

// The added sentence shows whole in the introduction's box, on the smallest
// screen too.
void tst_Privacy::noticeFitsTheIntroduction() {
    QFETCH(int, width);
    QFETCH(int, height);
    GuiTestEnv env(width, height);
    frmMain &main = SignInWithCategories(env, {{kCategory, 1}});
    const auto away = WatchAway(main);
    QTRY_COMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(main.lblIntro->text(), kIdleIntro);
    const int needed = main.lblIntro->wordWrap()
                           ? main.lblIntro->heightForWidth(main.lblIntro->width())
                           : main.lblIntro->sizeHint().height();
    QVERIFY2(needed <= main.lblIntro->height(),
             qPrintable(QStringLiteral("%1 > %2").arg(needed).arg(main.lblIntro->height())));
}

void tst_Privacy::idleClosesAnOpenMessageBox() {
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    RealWindows real;
    // Add Category with no name: a box that asks for one.
    main.txtCatAdd->setText(QString());
    const auto away = WatchAway(main);
    std::optional<SeenWindow> seen;
    NoteOpenWindow(&seen);
    QTimer::singleShot(0, &main, [&main] { main.cmdCatAdd_Click(); });
    QTRY_COMPARE(modMain::UserNo, qint16(0));
    QVERIFY(seen);
    QCOMPARE(seen->title, QStringLiteral("Wayfile v2.1"));
    QCOMPARE(seen->text, QStringLiteral("Please enter a name for the Category you wish to Add "
                                        "before you click me again!"));
    CheckSignedOut(main, kIdleIntro);
    QCOMPARE(real.leftOpen(), QStringList());
}

void tst_Privacy::idleAnswersAnOpenQuestionNo_data() {
    QTest::addColumn<bool>("deleteCategory"); // else: the Logout question
    QTest::newRow("Logout") << false;
    QTest::newRow("Delete Category") << true;
}

// The question is answered No: the category stays on disk, and Logout goes
// on as after No (its "you stay signed in" box is not shown) before the
// sign-out.
void tst_Privacy::idleAnswersAnOpenQuestionNo() {
    QFETCH(bool, deleteCategory);
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    const QString index =
        modMain::JoinPath(modMain::UserFolderPath(1), modMain::kCategoryIndexName);
    const QByteArray indexBefore = FileBytes(index);
    if (deleteCategory) {
        QTest::mouseClick(main.cmdCatAddCncl, Qt::LeftButton);
        QTest::mouseClick(main.cmdCatViewD, Qt::LeftButton);
        main.cmbCatDel->setCurrentIndex(main.cmbCatDel->findText(kCategory));
    }
    RealWindows real;
    const auto away = WatchAway(main);
    std::optional<SeenWindow> seen;
    NoteOpenWindow(&seen);
    QTimer::singleShot(0, &main, [&main, deleteCategory] {
        if (deleteCategory)
            main.cmdCatDel_Click();
        else
            main.cmdLogin_Click();
    });
    QTRY_COMPARE(modMain::UserNo, qint16(0));
    QVERIFY(seen);
    QCOMPARE(seen->title, deleteCategory ? QStringLiteral("Confirm Delete")
                                         : QStringLiteral("Logout Confirmation"));
    CheckSignedOut(main, kIdleIntro);
    QCOMPARE(FileBytes(index), indexBefore);
    QVERIFY(QFileInfo::exists(modMain::UrlFilePath(1, 1)));
    QCOMPARE(real.leftOpen(), QStringList());
}

// Import Bookmarks' file dialog is cancelled: nothing is read or imported.
void tst_Privacy::idleCancelsAnOpenFileDialog() {
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    QTest::mouseClick(main.cmdCatAddCncl, Qt::LeftButton);
    const QString index =
        modMain::JoinPath(modMain::UserFolderPath(1), modMain::kCategoryIndexName);
    const QByteArray indexBefore = FileBytes(index);
    RealWindows real;
    const auto away = WatchAway(main);
    std::optional<SeenWindow> seen;
    NoteOpenWindow(&seen);
    QTimer::singleShot(0, &main, [&main] { main.cmdCatViewI_Click(); });
    QTRY_COMPARE(modMain::UserNo, qint16(0));
    QVERIFY(seen);
    QCOMPARE(seen->title, QStringLiteral("Import Bookmarks"));
    CheckSignedOut(main, kIdleIntro);
    QCOMPARE(FileBytes(index), indexBefore);
    QVERIFY(!main.pctCatImp->isVisible());
    QCOMPARE(real.leftOpen(), QStringList());
}

void tst_Privacy::idleClosesTheSignInWindow_data() {
    QTest::addColumn<bool>("registering");
    // A box the window shows over itself, as shown; "" none.
    QTest::addColumn<QString>("boxOver");
    QTest::newRow("half-typed sign-in") << false << QString();
    QTest::newRow("half-filled registration") << true << QString();
    QTest::newRow("sign-in refused, its box open")
        << false
        << QStringLiteral("Please enter your Username AND Password before clicking me again");
    QTest::newRow("registration refused, its box open")
        << true
        << QStringLiteral("Your passwords don't match!\nPlease enter the same Password in both "
                          "the password fields...remember, passwords are case sensitive");
}

// Nobody is signed in: the sign-in window closes as its Cancel does, and
// nothing is created; the introduction stays as it was. A box open over it
// closes first, and its handler ends before the window closes.
void tst_Privacy::idleClosesTheSignInWindow() {
    QFETCH(bool, registering);
    QFETCH(QString, boxOver);
    GuiTestEnv env;
    std::optional<RealWindows> real;
    std::optional<SeenWindow> seen;
    if (!boxOver.isEmpty())
        real.emplace();
    frmMain &main = env.mainWindow();
    AddAccount(1, kTestUser, kTestPassword);
    const QByteArray accountsBefore = FileBytes(modMain::AccountFilePath());
    const auto away = WatchAway(main);
    QSignalSpy signedOut(away.get(), &AwaySignOut::signedOut);
    bool typed = false;
    QTimer::singleShot(0, &main, [&] {
        frmLogin *login = frmLogin::current();
        if (!login)
            return;
        if (registering) {
            QTest::mouseClick(login->cmdNewUser, Qt::LeftButton);
            QTest::keyClicks(login->txtNUser, QStringLiteral("Walrus"));
            QTest::keyClicks(login->txtNPass, QStringLiteral("Tusks"));
            QTest::keyClicks(login->txtNRPass,
                             boxOver.isEmpty() ? QStringLiteral("Tusks") : QStringLiteral("Tusk"));
        } else {
            QTest::keyClicks(login->txtUser, kTestUser);
        }
        typed = true;
        if (boxOver.isEmpty())
            return;
        NoteOpenWindow(&seen);
        QTimer::singleShot(0, login, [login, registering] {
            if (registering)
                login->cmdNCreate_Click();
            else
                login->cmdLogin_Click();
        });
    });
    // Returns once the window has closed: the sign-out closed it.
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    QVERIFY(typed);
    QCOMPARE(frmLogin::current(), nullptr);
    QTRY_COMPARE(signedOut.count(), 1);
    QCOMPARE(main.Tag, QStringLiteral("VALID=FALSE"));
    QCOMPARE(modMain::UserNo, qint16(0));
    QCOMPARE(FileBytes(modMain::AccountFilePath()), accountsBefore);
    QVERIFY(!QFileInfo::exists(modMain::UserFolderPath(2)));
    QCOMPARE(main.lblIntro->text(), kSignedOutIntro);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (Main Menu)"));
    QCOMPARE(ShownTexts(), QStringList());
    if (!boxOver.isEmpty()) {
        QVERIFY(seen);
        QCOMPARE(seen->text, boxOver);
        QCOMPARE(real->leftOpen(), QStringList());
    }
}

// Keys and mouse input in the window keep the user signed in past the
// limit; once they stop, the limit signs out. The clocks move only as the
// test says, so a busy machine cannot make a wait too long.
void tst_Privacy::inputBeforeTheLimitKeepsTheSession() {
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    const auto away = WatchAway(main, int(10 * kMinute));
    TestClock clock;
    const ClockOverride clocks(&clock, away->idle());
    for (int i = 0; i < 6; ++i) {
        clock.move(9 * kMinute, 9 * kMinute);
        if (i % 2)
            QTest::keyClick(main.txtCatAdd, Qt::Key_End);
        else
            QTest::mouseMove(main.lblIntro, QPoint(2 + i, 2));
        QVERIFY(!away->idle().check());
    }
    QTest::qWait(50);
    QCOMPARE(modMain::UserNo, qint16(1));
    QCOMPARE(main.txtCatAdd->text(), kTyped);
    clock.move(10 * kMinute, 10 * kMinute);
    // The watcher's own tick finds it.
    QTRY_COMPARE(modMain::UserNo, qint16(0));
    CheckSignedOut(main, kIdleIntro);
}

void tst_Privacy::zeroMinutesNeverSignsOut() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{kCategory, 1}});
    privacy::Settings never;
    never.signOutAfterMinutes = 0;
    AwaySignOut away(never, [&main](const QString &notice) { main.SignOut(notice); });
    QCOMPARE(away.idle().limitMs(), qint64(0));
    TestClock clock;
    const ClockOverride clocks(&clock, away.idle());
    clock.move(24 * 60 * kMinute, 24 * 60 * kMinute);
    QVERIFY(!away.idle().check());
    clock.move(kMinute, 30 * 24 * 60 * kMinute); // a month asleep
    QVERIFY(!away.idle().check());
    QTest::keyClick(main.cmdCat, Qt::Key_Space);
    QTest::qWait(50);
    QCOMPARE(modMain::UserNo, qint16(1));
    QVERIFY(main.fraCatView->isVisible());
}

// A sign-out asked for while a change runs (here one that lets the event
// loop run, as an import does) waits until the change has returned.
void tst_Privacy::signOutWaitsForARunningChange() {
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{kCategory, 1}});
    const auto away = WatchAway(main, 0);
    bool signedOutDuringChange = false;
    bool changeFinished = false;
    modMain::SetCommand(QStringLiteral("FU"), [&] {
        away->request(privacy::AwayCause::Idle);
        QTest::qWait(100);
        signedOutDuringChange = modMain::UserNo == 0;
        changeFinished = true;
    });
    modMain::DoCommand(QStringLiteral("FU"));
    QVERIFY(changeFinished);
    QVERIFY(!signedOutDuringChange);
    QTRY_COMPARE(modMain::UserNo, qint16(0));
    CheckSignedOut(main, kIdleIntro);
}

// ---- Suspend ----

void tst_Privacy::wallClockJump_data() {
    QTest::addColumn<qint64>("ran");
    QTest::addColumn<qint64>("wallPassed");
    QTest::addColumn<bool>("signsOut");
    QTest::newRow("woke after an hour asleep") << 1000LL << 60 * kMinute << true;
    QTest::newRow("woke after 9 minutes asleep, 2 minutes idle before")
        << 2 * kMinute << 11 * kMinute << true;
    QTest::newRow("woke after 5 minutes asleep") << 1000LL << 5 * kMinute << false;
    QTest::newRow("NTP stepped 5 s ahead at 9:58 idle")
        << 9 * kMinute + 58000 << 9 * kMinute + 63000 << false;
    QTest::newRow("the wall clock set back a day") << 1000LL << -24 * 60 * kMinute << false;
}

void tst_Privacy::wallClockJump() {
    QFETCH(qint64, ran);
    QFETCH(qint64, wallPassed);
    QFETCH(bool, signsOut);
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{kCategory, 1}});
    const auto away = WatchAway(main, int(10 * kMinute));
    TestClock clock;
    const ClockOverride clocks(&clock, away->idle());
    clock.move(ran, wallPassed);
    away->idle().check();
    QTest::qWait(50);
    if (signsOut) {
        QTRY_COMPARE(modMain::UserNo, qint16(0));
        CheckSignedOut(main, kIdleIntro);
    } else {
        QCOMPARE(modMain::UserNo, qint16(1));
    }
}

// The system's clocks across a change of time zone: neither moves.
void tst_Privacy::timeZoneChangeMovesNoClock() {
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", "UTC");
    tzset();
    const privacy::Instant before = privacy::SystemClock().now();
    qputenv("TZ", "Pacific/Kiritimati"); // 14 hours ahead of UTC
    tzset();
    const privacy::Instant after = privacy::SystemClock().now();
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
    const privacy::AwayTime away = privacy::AwaySince(before, after);
    QVERIFY(!away.slept);
    QVERIFY(away.ms < 1000);
}

void tst_Privacy::firstKeyAfterASuspendReachesNothing_data() {
    QTest::addColumn<bool>("keyPressed"); // else: the window is only activated
    QTest::newRow("a key pressed") << true;
    QTest::newRow("the window activated") << false;
}

// The first key pressed after waking from a long suspend signs out, and
// reaches no box of the user; so does the window being activated again, with
// no key pressed at all.
void tst_Privacy::firstKeyAfterASuspendReachesNothing() {
    QFETCH(bool, keyPressed);
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    const auto away = WatchAway(main, int(10 * kMinute));
    TestClock clock;
    const ClockOverride clocks(&clock, away->idle());
    QSignalSpy signedOut(away.get(), &AwaySignOut::signedOut);
    clock.move(2000, 3 * 60 * kMinute);
    if (keyPressed) {
        QTest::keyClick(main.txtCatAdd, Qt::Key_Backspace);
        QCOMPARE(main.txtCatAdd->text(), kTyped);
    } else {
        QEvent activated(QEvent::WindowActivate);
        QApplication::sendEvent(&main, &activated);
    }
    QCOMPARE(modMain::UserNo, qint16(1)); // not inside the event: from the event loop
    QTRY_COMPARE(signedOut.count(), 1);
    QCOMPARE(signedOut.at(0).at(0).value<privacy::AwayCause>(), privacy::AwayCause::Suspend);
    CheckSignedOut(main, kIdleIntro);
}

// ---- Screen lock ----

void tst_Privacy::screenSaverSignal_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QVariant>("argument");
    QTest::addColumn<bool>("signsOut");
    QTest::addColumn<QString>("member");
    const QString saver = QStringLiteral("org.freedesktop.ScreenSaver");
    QTest::newRow("locked, on /org/freedesktop/ScreenSaver")
        << QStringLiteral("/org/freedesktop/ScreenSaver") << saver << QVariant(true) << true
        << QStringLiteral("ActiveChanged");
    QTest::newRow("locked, on /ScreenSaver")
        << QStringLiteral("/ScreenSaver") << saver << QVariant(true) << true
        << QStringLiteral("ActiveChanged");
    QTest::newRow("unlocked") << QStringLiteral("/org/freedesktop/ScreenSaver") << saver
                              << QVariant(false) << false << QStringLiteral("ActiveChanged");
    QTest::newRow("a text, not a truth value")
        << QStringLiteral("/org/freedesktop/ScreenSaver") << saver
        << QVariant(QStringLiteral("true")) << false << QStringLiteral("ActiveChanged");
    QTest::newRow("another interface")
        << QStringLiteral("/org/freedesktop/ScreenSaver")
        << QStringLiteral("org.gnome.ScreenSaver.Other") << QVariant(true) << false
        << QStringLiteral("ActiveChanged");
    QTest::newRow("another member") << QStringLiteral("/org/freedesktop/ScreenSaver") << saver
                                    << QVariant(true) << false << QStringLiteral("ActiveChanging");
}

// The screen saver's ActiveChanged as a desktop sends it, on a bus of the
// test's own.
void tst_Privacy::screenSaverSignal() {
    QFETCH(QString, path);
    QFETCH(QString, interface);
    QFETCH(QVariant, argument);
    QFETCH(bool, signsOut);
    QFETCH(QString, member);
    PrivateBus bus;
    if (!bus.running())
        QSKIP("dbus-daemon could not start a bus for the test");
    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    const auto away = WatchAway(main, int(10 * kMinute));
    QVERIFY(away->screenLock().listenToScreenSaver(bus.connect(QStringLiteral("program"))));
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    QVERIFY(desktop.isConnected());
    QSignalSpy heard(&away->screenLock(), &privacy::ScreenLockListener::locked);
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
    signal << argument;
    QVERIFY(desktop.send(signal));
    if (signsOut) {
        QTRY_COMPARE_WITH_TIMEOUT(modMain::UserNo, qint16(0), 1000);
        CheckSignedOut(main, kLockIntro);
        QCOMPARE(heard.count(), 1);
        return;
    }
    // A lock after it: the bus delivers one sender's signals in order, so
    // once the lock signed out, the signal before it was heard too.
    QDBusMessage lock = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                   QStringLiteral("org.freedesktop.ScreenSaver"),
                                                   QStringLiteral("ActiveChanged"));
    lock << true;
    QVERIFY(desktop.send(lock));
    QTRY_COMPARE_WITH_TIMEOUT(modMain::UserNo, qint16(0), 1000);
    QCOMPARE(heard.count(), 1);
}

// logind's Lock of this session, found through the manager by the session
// id; a Lock of another session changes nothing.
void tst_Privacy::logindLockSignal_data() {
    QTest::addColumn<QString>("sessionId");
    QTest::addColumn<QString>("sessionPath");
    QTest::newRow("by XDG_SESSION_ID")
        << QStringLiteral("7") << QStringLiteral("/org/freedesktop/login1/session/_37");
    QTest::newRow("by the program's process")
        << QString() << QStringLiteral("/org/freedesktop/login1/session/_38");
}

void tst_Privacy::logindLockSignal() {
    QFETCH(QString, sessionId);
    QFETCH(QString, sessionPath);
    PrivateBus bus;
    if (!bus.running())
        QSKIP("dbus-daemon could not start a bus for the test");
    QDBusConnection system = bus.connect(QStringLiteral("logind"));
    FakeLogind logind;
    QVERIFY(system.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                  QDBusConnection::ExportAllSlots));
    QVERIFY(system.registerService(QStringLiteral("org.freedesktop.login1")));

    GuiTestEnv env;
    frmMain &main = SignInAndLeaveTraces(env);
    const auto away = WatchAway(main, int(10 * kMinute));
    QSignalSpy found(&away->screenLock(), &privacy::ScreenLockListener::sessionFound);
    QVERIFY(away->screenLock().listenToSession(bus.connect(QStringLiteral("program")), sessionId));
    QTRY_COMPARE(found.count(), 1);
    QCOMPARE(away->screenLock().sessionPath(), sessionPath);

    // Another session's lock first: one sender's signals arrive in order,
    // so once this session's lock signed out, the other one was heard (and
    // did nothing).
    QSignalSpy heard(&away->screenLock(), &privacy::ScreenLockListener::locked);
    const QString session = QStringLiteral("org.freedesktop.login1.Session");
    QVERIFY(system.send(QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1/session/_39"), session, QStringLiteral("Lock"))));
    QVERIFY(system.send(QDBusMessage::createSignal(sessionPath, session, QStringLiteral("Lock"))));
    QTRY_COMPARE_WITH_TIMEOUT(modMain::UserNo, qint16(0), 1000);
    QCOMPARE(heard.count(), 1);
    CheckSignedOut(main, kLockIntro);
}

// SignOutOnScreenLock=false: the lock is heard and changes nothing.
void tst_Privacy::screenLockSettingOff() {
    PrivateBus bus;
    if (!bus.running())
        QSKIP("dbus-daemon could not start a bus for the test");
    GuiTestEnv env;
    frmMain &main = SignInWithCategories(env, {{kCategory, 1}});
    privacy::Settings settings;
    settings.signOutOnScreenLock = false;
    const auto away = WatchAway(main, int(10 * kMinute), settings);
    QSignalSpy heard(&away->screenLock(), &privacy::ScreenLockListener::locked);
    QVERIFY(away->screenLock().listenToScreenSaver(bus.connect(QStringLiteral("program"))));
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                     QStringLiteral("org.freedesktop.ScreenSaver"),
                                                     QStringLiteral("ActiveChanged"));
    signal << true;
    QVERIFY(desktop.send(signal));
    QTRY_COMPARE(heard.count(), 1);
    QTest::qWait(50);
    QCOMPARE(modMain::UserNo, qint16(1));
}

QTEST_MAIN(tst_Privacy)
#include "tst_privacy.moc"

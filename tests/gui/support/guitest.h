#pragma once

#include "screens/frmLogin.h"
#include "screens/frmMain.h"

#include "filesizelimit.h"
#include "testfiles.h"

#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

// What every window test needs: a fresh program folder, scripted message
// boxes, a fixed 1024 x 768 screen at 15 twips a pixel, and no other running
// instance. Make one at the start of a test; it undoes all of it at the end.
class GuiTestEnv {
public:
    explicit GuiTestEnv(int screenWidth = 1024, int screenHeight = 768);
    ~GuiTestEnv();

    QString folder() const;
    QString path(const QString &name) const;

    // A main window that has run its start-up, shown on the test screen.
    frmMain &mainWindow();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<frmMain> m_main;
};

// Presses the main window's Login button and, while the sign-in window is
// open, runs `actions` on it. If the actions leave the window open, it is
// closed without signing in.
void WithSignInWindow(frmMain &main, const std::function<void(frmLogin &)> &actions);

// Signs in through the sign-in window by typing the name and password and
// pressing Enter in the password box.
void SignInByKeyboard(frmMain &main, const QString &user, const QString &password);

// Types a text into a widget key by key, any characters included.
void TypeInto(QWidget *widget, const QString &text);

// The texts of the message boxes shown so far.
QStringList ShownTexts();

// Adds an account record straight to the account file.
void AddAccount(int n, const QString &name, const QString &password);

// The text of the status line (the message panel of the status bar).
QString StatusText(frmMain &main);

// Clicks the entry at `row` of a list box with the mouse.
void ClickListRow(ListBox *list, int row);

// Clicks the entry of a list box whose text is `text`.
void ClickEntry(ListBox *list, const QString &text);

// The row of the first entry of a list box whose text is `text`; -1 when
// there is none.
int RowOf(const ListBox *list, const QString &text);

// The text a list box shows at `row`; "" where there is no entry.
QString RowText(const ListBox *list, int row);

// "text=number" for every entry of a list, in list order: what the entry
// shows and the number it carries.
QStringList ListedEntries(const ListBox *list);
QStringList ListedEntries(const QComboBox *combo);

// Replaces a file's content; a test that cannot set up its files stops.
void WriteFileBytes(const QString &path, const QByteArray &data);

// A fault that writing the data files meets.
enum class WriteFault {
    None,
    FileSizeLimit, // for real: every write past a size fails ("File too large")
    FullDisk,      // through the disk calls: every write fails with ENOSPC
    FlushFails,    // through the disk calls: flushing a file fails with EIO
};
Q_DECLARE_METATYPE(WriteFault)

// Makes `fault` happen while it lives; `limit` is the size for
// FileSizeLimit.
class WriteFaultScope {
public:
    explicit WriteFaultScope(WriteFault fault, long long limit = 0) {
        if (fault == WriteFault::FileSizeLimit)
            m_limit.emplace(limit);
        if (fault == WriteFault::FullDisk)
            m_calls.emplace(WritesFail(ENOSPC));
        if (fault == WriteFault::FlushFails)
            m_calls.emplace(FileSyncFails(EIO));
    }

private:
    std::optional<FileSizeLimit> m_limit;
    std::optional<DiskCallsOverride> m_calls;
};

// The test user: user 1, "Ann" with password "Pw".
inline const QString kTestUser = QStringLiteral("Ann");
inline const QString kTestPassword = QStringLiteral("Pw");

// One category of the test user's index: its name, its number, and whether
// its record was written under another password than the user's.
struct TestCategory {
    QString name;
    int number = 0;
    bool foreign = false;
};
Q_DECLARE_METATYPE(TestCategory)

// What the program finds on disk before the test user signs in: the account
// in info.qvx, the user folder, and, when `categories` is not empty, the
// index CAT.DAT holding them in the order given, each record appended the way
// the program appends it.
void WriteUserFiles(const QList<TestCategory> &categories);

// WriteUserFiles, then the test user signs in through the sign-in window by
// keyboard, so that the category lists hold what the program loads from the
// index. The boxes shown while signing in are forgotten. Returns the main
// window.
frmMain &SignInWithCategories(GuiTestEnv &env, const QList<TestCategory> &categories = {});

// One URL record for a test file: written under the test user's password,
// or under another one when `foreign`.
struct TestUrl {
    int number = 0;
    QString address = {};
    QString storedDescription = {}; // line breaks as "*QVX*"
    bool foreign = false;
};

// The record line of `url`, with its CR LF.
QByteArray UrlLine(const TestUrl &url);

// Writes the URL file of category `catNo` of the test user; returns its path.
QString WriteUrlFile(int catNo, const QByteArray &content);

#pragma once

#include "screens/frmLogin.h"
#include "screens/frmMain.h"

#include "filesizelimit.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

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
void ClickListRow(QListWidget *list, int row);

// The whole content of a file; empty when it cannot be read.
QByteArray FileBytes(const QString &path);

// One URL record for a test file: written under the signed-in user's stamp,
// or under another password's when `foreign`.
struct TestUrl {
    int number = 0;
    QString address;
    QString storedDescription; // line breaks as "*QVX*"
    bool foreign = false;
};

// Registers user 1 ("Ann", "Pw") with a user folder, signs in by keyboard,
// puts the categories (name, number) into the URL screens' category chooser
// and forgets the messages shown so far.
void SignInWithCategories(frmMain &main, const QList<QPair<QString, int>> &categories);

// The record line of `url`, with its CR LF.
QByteArray UrlLine(const TestUrl &url);

// Writes the URL file of category `catNo` of user 1; returns its path.
QString WriteUrlFile(int catNo, const QByteArray &content);

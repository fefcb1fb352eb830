#pragma once

#include "screens/frmLogin.h"
#include "screens/frmMain.h"

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

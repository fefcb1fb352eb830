#pragma once

#include "screens/catalogue.h"
#include "session/modMain.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using screens::Frame;

// The sign-in window: a sign-in frame, a new-user frame and a Change
// Password frame, one shown at a time. Opened modally by the main window's
// Login button and set up afresh for every opening.
class frmLogin : public QDialog {
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);
    ~frmLogin() override;

    // The open sign-in window, or nullptr.
    static frmLogin *current();
    // Every control of the window with its fixed properties.
    static QList<screens::ControlRow> catalogue();

    WAYFILE_FRMLOGIN_CONTROLS(WAYFILE_DECLARE_CONTROL)

    // Sign-in frame.
    void Form_Load();
    void cmdLogin_Click();
    void cmdCancel_Click();
    void txtUser_KeyPress(int &keyAscii);
    void txtPass_KeyPress(int &keyAscii);

    // New-user frame.
    void cmdNewUser_Click();
    void cmdNCancel_Click();
    void cmdNCreate_Click();
    void txtNUser_KeyPress(int &keyAscii);
    void txtNPass_KeyPress(int &keyAscii);
    void txtNRPass_KeyPress(int &keyAscii);

    // ---- Change Password frame: handlers defined in src/accounts/frmLogin_password.cpp ----
    void cmdChangePass_Click();
    void cmdChPass_Click();
    void cmdChDel_Click();
    void cmdChCncl_Click();
    // Enter in any box of the frame changes the password; Escape anywhere
    // in it goes back to the sign-in frame.
    void txtChUser_KeyPress(int &keyAscii);
    void txtChPass_KeyPress(int &keyAscii);
    void txtChNPass_KeyPress(int &keyAscii);
    void txtChNRPass_KeyPress(int &keyAscii);
    // The two changes, run through DoCommand: they read the frame's boxes
    // and hand back the outcome for the handler to report.
    modMain::Change ChangePassword(); // "CP"
    modMain::Change DeleteId();       // "DI"
    // ---- end of the Change Password frame's handlers ----

protected:
    void showEvent(QShowEvent *event) override;

private:
    void connectHandlers();
    void connectPasswordHandlers();
    // Empties the text boxes of all three frames.
    void clearBoxes();

    // The operations of this window in the command table; the window
    // unplugs all of them when it goes.
    modMain::CommandPlugs m_commands;
};

// Registration's rules for a new password typed twice, in their order: the
// two boxes, each trimmed, must be equal (letter case counts), and the
// password must not be the user name (both upper-cased, untrimmed). The
// message that refuses the password, or "" when it passes. The Change
// Password frame applies the same rules.
QString NewPasswordRefusal(const QString &userName, const QString &password, const QString &again);

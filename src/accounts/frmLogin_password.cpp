// Changing the password of a Login ID and deleting a Login ID, in the sign-in
// window's third frame. Nobody is signed in while the window is open: both
// changes name their account by the user name and current password typed
// here, as the sign-in does, and leave the session as it is.

#include "accounts/accountchange.h"
#include "accounts/accountfile.h"
#include "screens/frmLogin.h"
#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/records.h"

#include <QCoreApplication>

#include <initializer_list>

using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;
using screens::TakeEscape;

namespace {

// The frame's ready text after a refusal; back on the sign-in frame it is
// the sign-in's own.
const QString kReadyChange = QStringLiteral("Ready (Change Password Menu)");
const QString kReadyLogin = QStringLiteral("Ready (Login Menu)");

// The first of `boxes` that is empty once trimmed, or nullptr.
QLineEdit *firstEmpty(std::initializer_list<QLineEdit *> boxes) {
    for (QLineEdit *box : boxes) {
        if (modMain::TrimBlanks(box->text()).isEmpty())
            return box;
    }
    return nullptr;
}

} // namespace

void frmLogin::connectPasswordHandlers() {
    using screens::OnKeyPress;
    connect(cmdChangePass, &QPushButton::clicked, this, &frmLogin::cmdChangePass_Click);
    connect(cmdChPass, &QPushButton::clicked, this, &frmLogin::cmdChPass_Click);
    connect(cmdChDel, &QPushButton::clicked, this, &frmLogin::cmdChDel_Click);
    connect(cmdChCncl, &QPushButton::clicked, this, &frmLogin::cmdChCncl_Click);
    OnKeyPress(txtChUser, [this](int &k) { txtChUser_KeyPress(k); });
    OnKeyPress(txtChPass, [this](int &k) { txtChPass_KeyPress(k); });
    OnKeyPress(txtChNPass, [this](int &k) { txtChNPass_KeyPress(k); });
    OnKeyPress(txtChNRPass, [this](int &k) { txtChNRPass_KeyPress(k); });
    // Escape on a button of the frame goes back too (the window would close).
    for (QPushButton *button : {cmdChPass, cmdChDel, cmdChCncl}) {
        OnKeyPress(button, [this](int &k) {
            if (TakeEscape(k))
                cmdChCncl_Click();
        });
    }
    // The bar shows only while a password change runs.
    prgChPass->setRange(0, 100);
    prgChPass->setVisible(false);

    m_commands.plug("CP", [this] { return ChangePassword(); });
    m_commands.plug("DI", [this] { return DeleteId(); });
}

void frmLogin::cmdChangePass_Click() {
    clearBoxes();
    fraLogin->setVisible(false);
    fraChPass->setVisible(true);
    prgChPass->setVisible(false);
    txtChUser->setFocus();
    SetStatus(QStringLiteral("Please fill in all the fields and click on Change to change your "
                             "Password"));
}

void frmLogin::cmdChCncl_Click() {
    clearBoxes();
    fraChPass->setVisible(false);
    fraLogin->setVisible(true);
    txtUser->setFocus();
    SetStatus(kReadyLogin);
}

void frmLogin::cmdChPass_Click() {
    // A refused attempt: its message, the frame's ready text, the boxes that
    // held what was refused emptied and the focus to `focus`.
    auto refuse = [this](const QString &message, std::initializer_list<QLineEdit *> emptied,
                         QLineEdit *focus) {
        MsgBox::show(this, message);
        SetStatus(kReadyChange);
        for (QLineEdit *box : emptied)
            box->clear();
        focus->setFocus();
    };

    if (QLineEdit *empty = firstEmpty({txtChUser, txtChPass, txtChNPass, txtChNRPass})) {
        refuse(QStringLiteral("Please fill in all the fields before clicking on me again!"), {},
               empty);
        return;
    }
    // The account first: nothing about the new password is told to someone
    // who cannot sign in.
    qint16 userNo = 0;
    if (ReportIoError(this, modMain::CheckSignIn(txtChUser->text(), txtChPass->text(), &userNo))) {
        SetStatus(kReadyChange);
        return;
    }
    if (userNo == 0) {
        refuse(modMain::kInvalidSignIn, {txtChPass}, txtChPass);
        return;
    }
    if (const QString refusal =
            NewPasswordRefusal(txtChUser->text(), txtChNPass->text(), txtChNRPass->text());
        !refusal.isEmpty()) {
        refuse(refusal, {txtChNPass, txtChNRPass}, txtChNPass);
        return;
    }

    // Every file of the user is written anew: the bar shows how far it got.
    SetStatus(QStringLiteral("Please wait...Changing Password..."));
    prgChPass->setValue(0);
    prgChPass->setVisible(true);
    const modMain::Change change = modMain::DoCommand(QStringLiteral("CP"));
    prgChPass->setVisible(false);
    if (ChangeRefused(this, change, kReadyChange, nullptr,
                      QStringLiteral("Your old Password still works."))) {
        const modMain::IoError &refusal = change.error;
        if (refusal.is(modMain::IoError::Kind::NoRecord)) {
            txtChPass->clear();
            txtChPass->setFocus();
        } else if (refusal.is(modMain::IoError::Kind::Unstorable) ||
                   refusal.is(modMain::IoError::Kind::NameTaken)) {
            txtChNPass->clear();
            txtChNRPass->clear();
            txtChNPass->setFocus();
        }
        return;
    }
    if (!change.failed()) {
        ReportChanged(this,
                      QStringLiteral("Success! Your Password was changed! From now on, please "
                                     "Login with your new Password."),
                      change);
    } else {
        // Decided, but not every file took its new version: the next start
        // finishes it. Which password signs in until then, the account file
        // tells.
        qint16 userNo = 0;
        const bool newSignsIn =
            !modMain::CheckSignIn(txtChUser->text(), txtChNPass->text(), &userNo).failed() &&
            userNo != 0;
        ReportChanged(
            this,
            QStringLiteral("Success! Your Password was changed, but Wayfile could not finish "
                           "writing every file of your ID:\r\n\r\n") +
                change.error.message() +
                QStringLiteral("\r\n\r\nPlease close Wayfile and start it again before you "
                               "Login: Wayfile finishes the change when it starts. After that, "
                               "please Login with your new Password.") +
                (newSignsIn ? QString()
                            : QStringLiteral(" Until then, only your old Password signs in.")),
            change);
    }
    cmdChCncl_Click();
}

void frmLogin::cmdChDel_Click() {
    auto refuse = [this](const QString &message, QLineEdit *emptied, QLineEdit *focus) {
        MsgBox::show(this, message);
        SetStatus(kReadyChange);
        if (emptied)
            emptied->clear();
        focus->setFocus();
    };

    if (QLineEdit *empty = firstEmpty({txtChUser, txtChPass})) {
        refuse(QStringLiteral("Please enter your Username AND Password before clicking me again"),
               nullptr, empty);
        return;
    }
    qint16 userNo = 0;
    if (ReportIoError(this, modMain::CheckSignIn(txtChUser->text(), txtChPass->text(), &userNo))) {
        SetStatus(kReadyChange);
        return;
    }
    if (userNo == 0) {
        refuse(modMain::kInvalidSignIn, txtChPass, txtChPass);
        return;
    }
    const QString name = modMain::TrimBlanks(txtChUser->text());
    if (MsgBox::show(this,
                     QStringLiteral("Are you sure you wish to delete the ID \"") + name +
                         QStringLiteral("\"? All the Categories and URL's stored under that ID "
                                        "will be deleted too!"),
                     MsgButtons::YesNo, QStringLiteral("Confirm Delete")) != MsgAnswer::Yes) {
        SetStatus(kReadyChange);
        return;
    }

    SetStatus(QStringLiteral("Please wait...Deleting ID..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("DI"));
    if (ChangeRefused(this, change, kReadyChange)) {
        if (change.error.is(modMain::IoError::Kind::NoRecord)) {
            txtChPass->clear();
            txtChPass->setFocus();
        }
        return;
    }
    ReportChanged(
        this,
        change.failed()
            ? QStringLiteral("Success! The ID \"") + name +
                  QStringLiteral("\" was deleted, but Wayfile could not finish removing all its "
                                 "files:\r\n\r\n") +
                  change.error.message() +
                  QStringLiteral("\r\n\r\nPlease close Wayfile and start it again: Wayfile "
                                 "finishes the deletion when it starts. Until then, please do "
                                 "not Login to that ID or register its name again.")
            : QStringLiteral("Success! The ID \"") + name +
                  QStringLiteral("\" was deleted, along with all its Categories and URL's!"),
        change);
    cmdChCncl_Click();
}

// Enter in any box of the frame changes the password; Escape goes back.
void frmLogin::txtChUser_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdChPass_Click();
    else if (TakeEscape(keyAscii))
        cmdChCncl_Click();
}

void frmLogin::txtChPass_KeyPress(int &keyAscii) {
    txtChUser_KeyPress(keyAscii);
}

void frmLogin::txtChNPass_KeyPress(int &keyAscii) {
    txtChUser_KeyPress(keyAscii);
}

void frmLogin::txtChNRPass_KeyPress(int &keyAscii) {
    txtChUser_KeyPress(keyAscii);
}

modMain::Change frmLogin::ChangePassword() {
    return modMain::ChangePassword(txtChUser->text(), txtChPass->text(), txtChNPass->text(),
                                   screens::ProgressOn(prgChPass));
}

modMain::Change frmLogin::DeleteId() {
    return modMain::DeleteAccount(txtChUser->text(), txtChPass->text());
}

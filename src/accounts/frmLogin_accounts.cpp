// Signing in and registering in the sign-in window.

#include "accounts/accountchange.h"
#include "accounts/accountfile.h"
#include "screens/frmLogin.h"
#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "session/modMain.h"

#include <initializer_list>

using screens::MsgBox;

namespace {

void setSignedInMarker() {
    if (frmMain *main = frmMain::current())
        main->Tag = QStringLiteral("VALID=TRUE");
}

} // namespace

QString NewPasswordRefusal(const QString &userName, const QString &password, const QString &again) {
    if (modMain::TrimBlanks(password) != modMain::TrimBlanks(again))
        return QStringLiteral("Your passwords don't match!\r\nPlease enter the same Password in "
                              "both the password fields...remember, passwords are case sensitive");
    if (userName.toUpper() == password.toUpper())
        return QStringLiteral("Nope...you can't have your Password same as your User Name...I'm "
                              "sure you can do better than that...try again!");
    return QString();
}

void frmLogin::Form_Load() {
    modMain::DoCommand(QStringLiteral("SIPLS"));
    fraNewUser->setVisible(false);
    fraChPass->setVisible(false);
    fraLogin->setVisible(true);
}

void frmLogin::cmdLogin_Click() {
    if (modMain::TrimBlanks(txtUser->text()).isEmpty() ||
        modMain::TrimBlanks(txtPass->text()).isEmpty()) {
        MsgBox::show(this, QStringLiteral("Please enter your Username AND Password before clicking "
                                          "me again"));
        SetStatus(QStringLiteral("Ready (Login Menu)"));
        txtUser->setFocus();
        return;
    }

    qint16 userNo = 0;
    const modMain::IoError err = modMain::CheckSignIn(txtUser->text(), txtPass->text(), &userNo);
    // A warning: the first attempt on a new installation makes the account
    // file.
    if (ReportIoError(this, err)) {
        SetStatus(QStringLiteral("Ready (Login Menu)"));
        return;
    }
    if (userNo != 0) {
        modMain::UserNo = userNo;
        modMain::PassStamp = modMain::MakePassStamp(txtPass->text());
        setSignedInMarker();
        cmdCancel_Click();
        return;
    }
    MsgBox::show(this, modMain::kInvalidSignIn);
    SetStatus(QStringLiteral("Ready (Login Menu)"));
    txtPass->clear();
    txtPass->setFocus();
}

void frmLogin::cmdCancel_Click() {
    clearBoxes();
    SetStatus(QStringLiteral("Ready (Main Menu)"));
    done(QDialog::Rejected);
}

void frmLogin::txtUser_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdLogin_Click();
}

void frmLogin::txtPass_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdLogin_Click();
}

void frmLogin::cmdNewUser_Click() {
    clearBoxes();
    fraLogin->setVisible(false);
    fraNewUser->setVisible(true);
    txtNUser->setFocus();
    SetStatus(QStringLiteral("Please fill in all the fields and click on Create ID to create your "
                             "new User ID"));
}

void frmLogin::cmdNCancel_Click() {
    clearBoxes();
    fraNewUser->setVisible(false);
    fraLogin->setVisible(true);
    SetStatus(QStringLiteral("Ready (Login Menu)"));
}

void frmLogin::cmdNCreate_Click() {
    // After a refusal: the boxes that held what was refused are emptied for
    // a new try, and the focus goes to `focus` (when given).
    auto retry = [](std::initializer_list<QLineEdit *> emptied, QLineEdit *focus) {
        for (QLineEdit *box : emptied)
            box->clear();
        if (focus)
            focus->setFocus();
    };
    // A refused attempt: its message, the frame's ready text, and retry().
    auto refuse = [this, &retry](const QString &message, std::initializer_list<QLineEdit *> emptied,
                                 QLineEdit *focus) {
        MsgBox::show(this, message);
        SetStatus(QStringLiteral("Ready (Create User ID Menu)"));
        retry(emptied, focus);
    };

    if (txtNUser->text().isEmpty() || txtNPass->text().isEmpty() || txtNRPass->text().isEmpty()) {
        refuse(QStringLiteral("Please fill in all the fields before clicking on me again!"), {},
               txtNUser);
        return;
    }
    if (const QString refusal =
            NewPasswordRefusal(txtNUser->text(), txtNPass->text(), txtNRPass->text());
        !refusal.isEmpty()) {
        refuse(refusal, {txtNPass, txtNRPass}, txtNPass);
        return;
    }
    // What the name and the password must be (storable, the name not
    // taken) and whether a user number is left, the account file decides.
    const modMain::Change change = modMain::RegisterUser(modMain::TrimBlanks(txtNUser->text()),
                                                         modMain::TrimBlanks(txtNPass->text()));
    if (ChangeRefused(this, change, QStringLiteral("Ready (Create User ID Menu)"))) {
        const modMain::IoError &refusal = change.error;
        if (refusal.is(modMain::IoError::Kind::NameTaken))
            retry({txtNUser, txtNPass, txtNRPass}, txtNUser);
        else if (refusal.is(modMain::IoError::Kind::Unstorable) &&
                 refusal.subject == modMain::Field::UserName)
            retry({txtNUser}, txtNUser);
        else if (refusal.is(modMain::IoError::Kind::Unstorable))
            retry({txtNPass, txtNRPass}, txtNPass);
        return;
    }

    modMain::NextUserNo = int(change.number);
    modMain::UserNo = qint16(change.number);
    modMain::PassStamp = modMain::MakePassStamp(txtNPass->text());
    SetStatus(QStringLiteral("Yayyyyy...your Account was created! You will now be automatically "
                             "logged into the Program."));
    ReportChanged(this, QStringLiteral("Success! Your USER ID was created!"), change);
    setSignedInMarker();
    txtNUser->clear();
    txtNPass->clear();
    txtNRPass->clear();
    cmdCancel_Click();
}

void frmLogin::txtNUser_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdNCreate_Click();
}

void frmLogin::txtNPass_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdNCreate_Click();
}

void frmLogin::txtNRPass_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdNCreate_Click();
}

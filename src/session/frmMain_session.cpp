// Start-up, sign-in, sign-out and exit of the main window.

#include "privacy/openmodals.h"
#include "recovery/recovery.h"
#include "screens/frmLogin.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "screens/screen.h"
#include "screens/screens.h"
#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "userdata/userdata.h"

using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

bool frmMain::Form_Load() {
    if (modMain::AnotherInstanceRunning())
        return false;
    // Running unguarded is allowed, but never without the user knowing.
    if (const QString problem = modMain::InstanceLockProblem(); !problem.isEmpty())
        MsgBox::show(this, problem);
    // Changes that a crash cut short are finished or undone, and what an
    // interrupted rewrite or registration left in the program folder goes;
    // only this copy can be writing there.
    if (modMain::InstallationGuarded())
        ReportIoError(this, modMain::RecoverProgramFolder());
    modMain::DoCommand(QStringLiteral("SIP"));
    modMain::DoCommand(QStringLiteral("HA"));
    return true;
}

void frmMain::cmdLogin_Click() {
    if (cmdLogin->text() == QLatin1String("&Login")) {
        SetStatus(QStringLiteral("Please Enter your Login Information"));
        {
            frmLogin login(this);
            login.txtUser->clear();
            login.txtPass->clear();
            Tag = QStringLiteral("VALID=FALSE");
            // A sign-out closes it as its Cancel does.
            privacy::OpenModals::exec(login, [&login] { login.cmdCancel_Click(); });
        }
        if (Tag != QLatin1String("VALID=TRUE"))
            return;

        SetStatus(QStringLiteral("Please wait...Loading All Required Data..."));
        cmdLogin->setText(QStringLiteral("&Logout"));
        cmdCat->setEnabled(true);
        cmdURL->setEnabled(true);
        lblSubTitle->setVisible(true);
        Sep2H->setVisible(true);

        // The introduction moves to 5 % of the screen height under the subtitle.
        const screens::ScreenMetrics screen = screens::CurrentScreen();
        const float top =
            (screen.toTwips(lblSubTitle->y()) + screen.toTwips(lblSubTitle->height())) +
            screen.SH() * 5.0f / 100.0f;
        lblIntro->move(lblIntro->x(), screen.toPixels(top));
        lblIntro->setText(QStringLiteral("Welcome to Wayfile v2.1\n\nWhen done, don't forget to "
                                         "Logout of the program or Exit the program!"));

        // A change that a crash cut short is finished or undone before the
        // categories are read (for a new account as well: its folder may be
        // an old one).
        if (modMain::InstallationGuarded()) {
            QStringList notices; // what was found and left, or moved out of the way
            // What was found and left is told once in this run, whoever signs in.
            static modMain::ToldLeftovers told;
            ReportIoError(this, modMain::RecoverUserFolder(modMain::UserNo, &notices, &told));
            for (const QString &notice : std::as_const(notices))
                MsgBox::show(this, notice);
        }
        modMain::DoCommand(QStringLiteral("LCD"));
        MsgBox::show(this, QStringLiteral("               Success! You are now logged into the "
                                          "program.\r\n\r\nNow you can View, Edit, Add or Modify "
                                          "your URL's and Categories."));
        SetStatus(QStringLiteral("Ready (Main Menu)"));
        return;
    }

    if (MsgBox::show(this, QStringLiteral("Are you sure you wish to Logout of the program?"),
                     MsgButtons::YesNo, QStringLiteral("Logout Confirmation")) != MsgAnswer::Yes) {
        MsgBox::show(this, QStringLiteral("Ok, you will remain logged in until you click on Logout "
                                          "again and confirm that you wish to Logout or until you "
                                          "click on the Quit button!"));
        return;
    }
    SetStatus(QStringLiteral("Please wait...Logging you out of the Program..."));
    SignOut();
    MsgBox::show(this, QStringLiteral("Success! You have been Logged Off the program...Byeee...Cya "
                                      "Soon!!"));
    SetStatus(QStringLiteral("Ready (Main Menu)"));
}

void frmMain::SignOut(const QString &notice) {
    // The session, every category list and every URL list, the find index.
    Data->forget();
    ForgetFoundUrls();
    ForgetPendingImport();
    // What the boxes of the screens hold: typed, or a chosen URL's address
    // and description. setText and setPlainText, unlike clear, leave nothing
    // to undo. Screens not made yet have shown nothing.
    if (LaterControlsMade()) {
        for (QLineEdit *box : {txtCatAdd.get(), txtCatMod.get(), txtUrlAdd.get(), txtUrlMod.get()})
            box->setText(QString());
        for (QPlainTextEdit *box : {static_cast<QPlainTextEdit *>(txtUrlAddCh.get()),
                                    static_cast<QPlainTextEdit *>(txtUrlModDesc.get())})
            box->setPlainText(QString());
        // Hidden, but screen readers can still read it.
        txtUrlViewDesc->setPlainText(screens::kDescriptionPlaceholder);
    }
    UrlViewCatNo = 0;
    // The sign-in window is set up afresh, with empty boxes, every time it opens.

    modMain::DoCommand(QStringLiteral("HA"));
    lblIntro->setVisible(true);
    lblIntro->setText(notice.isEmpty()
                          ? screens::kSignedOutIntro
                          : screens::kSignedOutIntro + QStringLiteral("\n\n") + notice);
    cmdCat->setEnabled(false);
    cmdURL->setEnabled(false);
    cmdLogin->setText(QStringLiteral("&Login"));
    if (!notice.isEmpty())
        SetStatus(QStringLiteral("Ready (Main Menu)"));
}

void frmMain::cmdQuit_Click() {
    // Every change is already on disk: nothing to save or confirm. What the
    // user's data, the search and an import preview held goes first.
    Data->forget();
    ForgetFoundUrls();
    ForgetPendingImport();
    close();
    emit programEnd();
}

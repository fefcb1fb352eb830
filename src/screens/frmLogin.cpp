#include "screens/frmLogin.h"

#include "screens/accessnames.h"
#include "screens/keypress.h"
#include "screens/screen.h"
#include "screens/screens.h"
#include "session/modMain.h"

namespace {
frmLogin *g_loginForm = nullptr;
}

frmLogin::frmLogin(QWidget *parent) : QDialog(parent) {
    using namespace screens;
    g_loginForm = this;
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Login Form"));
    setModal(true);
    StyleWindow(this);

    Controls controls{{objectName(), this}};
    BuildControls(controls, catalogue(),
                  [this](const ControlRow &row, QWidget *parent) -> QWidget * {
                      WAYFILE_FRMLOGIN_CONTROLS(WAYFILE_MAKE_CONTROL)
                      return nullptr;
                  });
    ApplyTabOrder(controls, catalogue());
    // Every prompt becomes its box's buddy: a label's access key moves to
    // the box it names, and screen readers name the box by it.
    NameControls(controls, LoginWindowNames());

    connectHandlers();
    m_commands.plug("SIPLS", [] { modMain::ArrangeLoginForm(); });
    Form_Load();
}

frmLogin::~frmLogin() {
    if (g_loginForm == this) {
        g_loginForm = nullptr;
        m_commands.unplugAll();
    }
}

frmLogin *frmLogin::current() {
    return g_loginForm;
}

QList<screens::ControlRow> frmLogin::catalogue() {
    using namespace screens;
    static const QList<ControlRow> rows{WAYFILE_FRMLOGIN_CONTROLS(WAYFILE_CONTROL_ROW)};
    return rows;
}

void frmLogin::connectHandlers() {
    using screens::OnKeyPress;
    connect(cmdLogin, &QPushButton::clicked, this, &frmLogin::cmdLogin_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    connect(cmdNewUser, &QPushButton::clicked, this, &frmLogin::cmdNewUser_Click);
    connect(cmdNCancel, &QPushButton::clicked, this, &frmLogin::cmdNCancel_Click);
    connect(cmdNCreate, &QPushButton::clicked, this, &frmLogin::cmdNCreate_Click);
    OnKeyPress(txtUser, [this](int &k) { txtUser_KeyPress(k); });
    OnKeyPress(txtPass, [this](int &k) { txtPass_KeyPress(k); });
    OnKeyPress(txtNUser, [this](int &k) { txtNUser_KeyPress(k); });
    OnKeyPress(txtNPass, [this](int &k) { txtNPass_KeyPress(k); });
    OnKeyPress(txtNRPass, [this](int &k) { txtNRPass_KeyPress(k); });
    connectPasswordHandlers();
}

void frmLogin::clearBoxes() {
    for (QLineEdit *box : {txtUser, txtPass, txtNUser, txtNPass, txtNRPass, txtChUser, txtChPass,
                           txtChNPass, txtChNRPass})
        box->clear();
}

void frmLogin::showEvent(QShowEvent *event) {
    // Centred on the screen, now that the window has its size.
    QRect frame = frameGeometry();
    frame.moveCenter(screens::CurrentScreen().pixels.center());
    move(frame.topLeft());
    QDialog::showEvent(event);
}

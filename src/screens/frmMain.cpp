#include "screens/frmMain.h"

#include "screens/accessnames.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "screens/statusbar.h"
#include "session/modMain.h"

namespace {
frmMain *g_mainForm = nullptr;
}

frmMain::frmMain(QWidget *parent) : QMainWindow(parent) {
    using namespace screens;
    g_mainForm = this;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Wayfile V2.1"));
    StyleWindow(this);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(m_client);

    BuildControls(this, m_client, catalogue(),
                  [this](const ControlRow &row, QWidget *parent) -> QWidget * {
                      WAYFILE_FRMMAIN_CONTROLS(WAYFILE_MAKE_CONTROL)
                      return nullptr;
                  });
    NameControls(this, MainWindowNames());
    Sep1H->setDoubled(true);
    Sep1V->setDoubled(true);

    StatusBar = new screens::StatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setToolTip(
        QStringLiteral("This is the Statusbar which lets you know what's happening."));
    setStatusBar(StatusBar);

    connectHandlers();
    registerCommands();
    modMain::ResetSession();
}

frmMain::~frmMain() {
    // The controls go after this part of the window is gone; what they
    // signal on their way out (a list model emptied) must not reach the
    // window's handlers any more.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
    if (g_mainForm == this) {
        g_mainForm = nullptr;
        for (const char *code :
             {"SIP", "HA", "LCD", "DC", "MC", "AU", "LUD", "LUM", "LUV", "DU", "MU", "LD"})
            modMain::SetCommand(QLatin1String(code), {});
    }
}

frmMain *frmMain::current() {
    return g_mainForm;
}

QList<screens::ControlRow> frmMain::catalogue() {
    using namespace screens;
    static const QList<ControlRow> rows{WAYFILE_FRMMAIN_CONTROLS(WAYFILE_CONTROL_ROW)};
    return rows;
}

void frmMain::connectHandlers() {
    connect(cmdLogin, &QPushButton::clicked, this, &frmMain::cmdLogin_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmMain::cmdQuit_Click);
    connectCategoryHandlers();
    connectUrlHandlers();
}

void frmMain::registerCommands() {
    modMain::SetCommand(QStringLiteral("SIP"), [] { modMain::ArrangeMainForm(); });
    modMain::SetCommand(QStringLiteral("HA"), [] { modMain::HideAll(); });
}

void WarnIfNotSynced(QWidget *parent, const modMain::IoError &err) {
    if (err.notSynced)
        screens::MsgBox::show(parent, err.message(QString()));
}

void SetStatus(const QString &text) {
    if (frmMain *form = frmMain::current())
        form->StatusBar->setStatusText(text);
}

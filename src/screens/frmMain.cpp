#include "screens/frmMain.h"

#include "screens/accessnames.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <functional>

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

    // The start-up screen's controls now; the screens' controls at the first
    // use of one of them (makeLaterControls).
    m_controls.insert(objectName(), m_client);
    BuildControls(m_controls, RowsMadeAtStart(catalogue()),
                  std::bind_front(&frmMain::makeControl, this));
    ApplyTabOrder(m_controls, catalogue());
    Sep1H->setDoubled(true);
    Sep1V->setDoubled(true);
    // Three of the four category lists always hold the same entries (only
    // cmbCatDel can hold others, after the owner message of loading): they
    // show one face of the categories. Each URL list shows the URLs or
    // nothing on its own. The shared face is there from the start (loading
    // the categories sets what it shows); the lists get theirs when they are
    // made.
    Data = new modMain::UserData(this);
    CategoryModel = Data->categories();
    CategoriesShown = Data->categoriesShown();
    UrlModel = Data->urls();

    StatusBar = new screens::StatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setToolTip(
        QStringLiteral("This is the Statusbar which lets you know what's happening."));
    setStatusBar(StatusBar);

    connectHandlers();
    m_commands.plug("SIP", [] { modMain::ArrangeMainForm(); });
    m_commands.plug("HA", [] { modMain::HideAll(); });
    modMain::ResetSession();
}

QWidget *frmMain::makeControl(const screens::ControlRow &row, QWidget *parent) {
    WAYFILE_FRMMAIN_CONTROLS(WAYFILE_MAKE_CONTROL)
    return nullptr;
}

void frmMain::makeLaterControls() {
    using namespace screens;
    const QList<ControlRow> rows = RowsMadeLater(catalogue());
    BuildControls(m_controls, rows, std::bind_front(&frmMain::makeControl, this));
    ApplyTabOrder(m_controls, catalogue());
    NameControls(m_controls, MainWindowNames());
    lstCatView->setEntries(CategoriesShown);
    cmbCatMod->setEntries(CategoriesShown);
    cmbUrlCat->setEntries(CategoriesShown);
    cmbCatImp->setEntries(CategoriesShown);
    cmbCatDel->setEntries(CategoryModel->addFace());
    lstUrlView->setEntries(UrlModel->addFace());
    cmbUrlDel->setEntries(UrlModel->addFace());
    cmbUrlMod->setEntries(UrlModel->addFace());

    connectCategoryScreens();
    connectUrlScreens();
    connectFindScreens();
    connectBookmarkScreens();
    connectDropinScreens();
    connectTrashScreens();

    // As the arrangement and hiding at start-up left them: in their places,
    // each screen hidden.
    QHash<QString, Box> boxes;
    QHash<QString, Line> lines;
    for (const ControlRow &row : rows) {
        const QString name = QLatin1String(row.name);
        if (const auto box = Arrangement.boxes.constFind(name); box != Arrangement.boxes.cend())
            boxes.insert(name, *box);
        if (const auto line = Arrangement.lines.constFind(name); line != Arrangement.lines.cend())
            lines.insert(name, *line);
    }
    PlaceBoxes(this, boxes, ArrangedOn);
    PlaceLines(this, lines, ArrangedOn);
    HideScreens();
    txtUrlViewDesc->setPlainText(kDescriptionPlaceholder);
}

void frmMain::HideScreens() {
    for (const screens::ControlRow &row : catalogue()) {
        if (row.flags & screens::Later) {
            if (QWidget *screen = m_controls.value(QLatin1String(row.name)))
                screen->setVisible(false);
        }
    }
}

frmMain::~frmMain() {
    // The controls go after this part of the window is gone; what they
    // signal on their way out (a list model emptied) must not reach the
    // window's handlers any more.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
    if (g_mainForm == this) {
        g_mainForm = nullptr;
        m_commands.unplugAll();
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
    connectFindHandlers();
    connectBookmarkHandlers();
    connectDropinHandlers();
    connectTrashHandlers();
}

void frmMain::ShowScreen(const QString &screen) {
    modMain::DoCommand(QStringLiteral("HA"));
    lblSubTitle->setText(screen);
    SetStatus(QStringLiteral("Ready (") + screen + u')');
}

void frmMain::BackToMainMenu() {
    modMain::DoCommand(QStringLiteral("HA"));
    lblIntro->setVisible(true);
    lblSubTitle->setVisible(true);
    SetStatus(QStringLiteral("Ready (Main Menu)"));
}

void WarnIfNotSynced(QWidget *parent, const modMain::IoError &err) {
    if (err.warning.isSet())
        screens::MsgBox::show(parent, err.warningMessage());
}

bool ReportIoError(QWidget *parent, const modMain::IoError &err) {
    if (err.failed())
        screens::MsgBox::show(parent, err.message());
    WarnIfNotSynced(parent, err);
    return err.failed();
}

bool ChangeRefused(QWidget *parent, const modMain::Change &change, const QString &ready,
                   QWidget *focus, const QString &stillHolds) {
    if (change.changed)
        return false;
    QString text = change.error.message();
    // A full disk is the one failure the user can mend at once.
    if (change.error.diskFull())
        text += QStringLiteral("\r\n\r\nNothing was saved, and the file is as it was. Please "
                               "free some space on the disk and try again.") +
                (stillHolds.isEmpty() ? QString() : u' ' + stillHolds);
    screens::MsgBox::show(parent, text);
    WarnIfNotSynced(parent, change.error);
    SetStatus(ready);
    if (focus)
        focus->setFocus();
    return true;
}

void ReportChanged(QWidget *parent, const QString &success, const modMain::Change &change) {
    screens::MsgBox::show(parent, success);
    WarnIfNotSynced(parent, change.error);
}

QString Counted(qsizetype n, const QString &one, const QString &many) {
    return QString::number(n) + u' ' + (n == 1 ? one : many);
}

QString UrlsCounted(qsizetype n) {
    return Counted(n, QStringLiteral("URL"), QStringLiteral("URL's"));
}

QString CategoriesCounted(qsizetype n) {
    return Counted(n, QStringLiteral("Category"), QStringLiteral("Categories"));
}

void SetStatus(const QString &text) {
    if (frmMain *form = frmMain::current())
        form->StatusBar->setStatusText(text);
}

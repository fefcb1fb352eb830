// Every control of both windows is there, with its name, container, texts,
// tab position and properties.

#include "guitest.h"

#include "screens/limitedtextedit.h"
#include "screens/statusbar.h"

#include <QAccessible>
#include <QTest>

namespace {

// Every control of both windows as the program's screens describe it: name,
// kind, container, caption or text as shown after start-up, tool tip and tab
// position (-1: holds none). Written out here on its own, so that a slip in
// the controls' own table shows up as a difference. Labels show their line
// breaks as LF.
struct Expected {
    const char *name;
    const char *kind;
    const char *container;
    const char *caption;
    const char *toolTip;
    int tab;
};

// clang-format off
const Expected kMainWindow[] = {
    {"lblTitle", "label", "frmMain", "Wayfile v2.1", "", 44},
    {"lblSubTitle", "label", "frmMain", "Main Menu", "", 50},
    {"lblIntro", "label", "frmMain", "Welcome to Wayfile v2.1\r\n\r\nPlease Login to the program by clicking on the 'Login' button and entering your login details to proceed.", "", 45},
    {"cmdLogin", "button", "frmMain", "&Login", "Click here to Log into the Program", 0},
    {"cmdCat", "button", "frmMain", "&Categories", "Click here to View, Add, Delete or Modify Categories", 1},
    {"cmdURL", "button", "frmMain", "&URL'S", "Click here to Vew, Add, Delete or Modify URL's", 17},
    {"cmdQuit", "button", "frmMain", "&Exit", "Click here to Exit the Program", 37},
    {"Sep1H", "line", "frmMain", "", "", -1},
    {"Sep1V", "line", "frmMain", "", "", -1},
    {"Sep2H", "line", "frmMain", "", "", -1},
    {"lblUrlCat", "label", "frmMain", "Label1", "", 51},
    {"cmbUrlCat", "combo box", "frmMain", "", "", 18},
    {"StatusBar", "status bar", "frmMain", "", "This is the Statusbar which lets you know what's happening.", -1},
    {"cmdCatNxt", "button", "frmMain", "cmdCatNxt", "", 66},
    {"cmdUrlNxt", "button", "frmMain", "cmdUrlNxt", "", 65},
    {"fraCatView", "frame", "frmMain", "Categorie(s)", "Here you can View a list of all your Categories and also Add, Delete, Modify Categories", 38},
    {"lblCatView", "label", "fraCatView", "Existing Categories are : ", "", 64},
    {"lstCatView", "list box", "fraCatView", "", "This is where you can see the Existing Categories", 2},
    {"Sep2V", "line", "fraCatView", "", "", -1},
    {"lblCatViewCh", "label", "fraCatView", "Please choose an Option : ", "", 63},
    {"cmdCatViewA", "button", "fraCatView", "&Add Category", "Click here if you wish to ADD a Category", 3},
    {"cmdCatViewD", "button", "fraCatView", "&Delete Category", "Choose a Category from the list and click here to DELETE it", 7},
    {"cmdCatViewM", "button", "fraCatView", "&Modify Category", "Choose a Category from the list and click here to MODIFY it", 11},
    {"cmdCatViewCncl", "button", "fraCatView", "&Back", "Click here to Return to the Previous Menu", 16},
    {"pctCatAdd", "panel", "frmMain", "", "", 47},
    {"lblCatAdd", "label", "pctCatAdd", "Please enter a Name for the Category to be added : ", "", 40},
    {"txtCatAdd", "text box", "pctCatAdd", "", "Enter a Name for the Category you wish to add in here", 4},
    {"cmdCatAdd", "button", "pctCatAdd", "&Add", "Click here to ADD the Category", 5},
    {"cmdCatAddCncl", "button", "pctCatAdd", "&Back", "Click here to Return back to the Previous Menu", 6},
    {"pctCatDel", "panel", "frmMain", "", "", 48},
    {"lblCatDel", "label", "pctCatDel", "Please choose the Category you with to Delete : ", "", 41},
    {"cmbCatDel", "combo box", "pctCatDel", "", "Choose the Category you wish to Delete from the List", 8},
    {"cmdCatDel", "button", "pctCatDel", "&Delete", "Click here to DELETE the choosen Category", 9},
    {"cmdCatDelCncl", "button", "pctCatDel", "&Back", "Click here to Return to Previous Menu", 10},
    {"pctCatMod", "panel", "frmMain", "", "", 49},
    {"lblCatMod", "label", "pctCatMod", "Please choose the Category which you wish to modify : ", "", 43},
    {"cmbCatMod", "combo box", "pctCatMod", "", "Choose the Category you wish to Modify from the List", 12},
    {"lblCatModCh", "label", "pctCatMod", "Please Enter the new name for the Category : ", "", 42},
    {"txtCatMod", "text box", "pctCatMod", "", "Enter the New Name for the choosen Category here", 13},
    {"cmdCatMod", "button", "pctCatMod", "&Modify", "Click here to MODIFY the Category", 14},
    {"cmdCatModCncl", "button", "pctCatMod", "&Back", "Click here to Return to the Previous Menu", 15},
    {"cmdCatViewI", "button", "fraCatView", "&Import Bookmarks", "Click here to IMPORT the Bookmarks of your Web Browser from a Bookmark file", 68},
    {"cmdCatViewX", "button", "fraCatView", "E&xport Bookmarks", "Click here to EXPORT all your Categories and URL's to a Bookmark file", 69},
    {"pctCatImp", "panel", "frmMain", "", "", 70},
    {"lblCatImp", "label", "pctCatImp", "", "", 71},
    {"lblCatImpCh", "label", "pctCatImp", "Texts changed to fit : ", "", 72},
    {"lstCatImp", "QTableView", "pctCatImp", "", "This is where you can see every text that was changed so that it can be stored", 73},
    {"prgCatImp", "QProgressBar", "pctCatImp", "", "", 74},
    {"cmdCatImp", "button", "pctCatImp", "&Import", "Click here to IMPORT the Bookmarks", 75},
    {"cmdCatImpCncl", "button", "pctCatImp", "&Back", "Click here to Return to the Previous Menu without importing anything", 76},
    {"fraUrlView", "frame", "frmMain", "URL(s)", "", 39},
    {"lblUrlView", "label", "fraUrlView", "URL(s) under choosen Category are : ", "", 62},
    {"lstUrlView", "list box", "fraUrlView", "", "This is where you can see a list of URL's under choosen Category", 19},
    {"txtUrlViewDesc", "text box", "fraUrlView", "The Description of any URL you choose from the list of URL's on top will be displayed in here.", "", 67},
    {"Sep3V", "line", "fraUrlView", "", "", -1},
    {"lblUrlViewCh", "label", "fraUrlView", "Please choose an Option : ", "", 61},
    {"cmdUrlViewV", "button", "fraUrlView", "&View URL", "", 20},
    {"cmdUrlViewA", "button", "fraUrlView", "&Add URL", "Click here to Add a URL under the choosen Category", 21},
    {"cmdUrlViewD", "button", "fraUrlView", "&Delete URL", "Click here to Delete a URL", 26},
    {"cmdUrlViewM", "button", "fraUrlView", "&Modify URL", "Click here to Modify a URL", 30},
    {"cmdUrlViewCncl", "button", "fraUrlView", "&Back", "Click here to return to the Previous Menu", 36},
    {"pctUrlAdd", "panel", "frmMain", "", "", 52},
    {"lblUrlAdd", "label", "pctUrlAdd", "Please enter the URL you wish to Add : ", "", 55},
    {"txtUrlAdd", "text box", "pctUrlAdd", "", "Enter the URL here", 22},
    {"lblUrlAddCh", "label", "pctUrlAdd", "Please enter a short description : ", "", 59},
    {"txtUrlAddCh", "text box", "pctUrlAdd", "Please limit your Description to not more than 250 characters!\r\n", "Enter a Description for the URL here", 23},
    {"cmdUrlAdd", "button", "pctUrlAdd", "&Add", "Click here to Add the URL under the choosen Category", 24},
    {"cmdUrlAddCncl", "button", "pctUrlAdd", "&Back", "Click here to Return to the Previous Menu", 25},
    {"pctUrlDel", "panel", "frmMain", "", "", 53},
    {"lblUrlDel", "label", "pctUrlDel", "Please choose the URL you wish to Delete from the List : ", "", 56},
    {"cmbUrlDel", "combo box", "pctUrlDel", "", "Choose the URL you wish to Delete", 27},
    {"cmdUrlDel", "button", "pctUrlDel", "&Delete", "Click here to DELETE the choosen URL", 28},
    {"cmdUrlDelCncl", "button", "pctUrlDel", "&Back", "Click here to Return to the Previous Menu", 29},
    {"pctUrlMod", "panel", "frmMain", "", "", 54},
    {"lblUrlMod", "label", "pctUrlMod", "Please choose the URL which you wish to Modify", "", 57},
    {"cmbUrlMod", "combo box", "pctUrlMod", "", "Choose the URL you wish to Modify here", 31},
    {"lblUrlModCh", "label", "pctUrlMod", "Please change the URL here if you want : ", "", 58},
    {"txtUrlMod", "text box", "pctUrlMod", "", "Enter the Modified URL here", 32},
    {"lblUrlModDesc", "label", "pctUrlMod", "Please change the Description here if you want : ", "", 60},
    {"txtUrlModDesc", "text box", "pctUrlMod", "Please limit your Description to not more than 250 characters!\r\n", "Enter the Modified Description here", 33},
    {"cmdUrlMod", "button", "pctUrlMod", "&Modify", "Click here to Modify the choosen URL", 34},
    {"cmdUrlModCncl", "button", "pctUrlMod", "&Back", "Click here to Return to the Previous Menu", 35},
    {"cmdUrlViewF", "button", "fraUrlView", "&Find URL", "Click here to Find a URL in all your Categories", 77},
    {"lblUrlAddSaved", "label", "pctUrlAdd", "", "", 78},
    {"lblUrlModSaved", "label", "pctUrlMod", "", "", 79},
    {"fraUrlFind", "frame", "frmMain", "Find URL", "Here you can Find a URL by its address, its Description or its Category", 80},
    {"lblUrlFind", "label", "fraUrlFind", "Please type the words you wish to find : ", "", 81},
    {"txtUrlFind", "text box", "fraUrlFind", "", "Type one or more words of the URL, its Description or its Category in here", 82},
    {"lblUrlFindCh", "label", "fraUrlFind", "0 URL(s) found", "", 83},
    {"lstUrlFind", "QListView", "fraUrlFind", "", "This is where you can see the URL's found. Press Enter or double-click one to go to it", 84},
    {"txtUrlFindDesc", "text box", "fraUrlFind", "", "", 85},
    {"cmdUrlFindCncl", "button", "fraUrlFind", "&Back", "Click here to Return to the Main Menu", 86},
    {"cmdUrlViewO", "button", "fraUrlView", "&Open All", "Click here to Open every URL of the choosen Category in your Web Browser", 87},
    {"cmdUrlFindO", "button", "fraUrlFind", "&Open All", "Click here to Open every URL found in your Web Browser", 88},
    {"lblCatImpCat", "label", "pctCatImp", "Add them under the Category : ", "", 89},
    {"cmbCatImp", "combo box", "pctCatImp", "", "Choose the Category to add the URL's you dropped or pasted under", 90},
    {"cmdTrash", "button", "frmMain", "&Trash", "Click here to see the Categories and URL's you deleted, and to Restore them", 91},
    {"pctTrash", "panel", "frmMain", "", "", 92},
    {"lblTrash", "label", "pctTrash", "Deleted Categories and URL's in your Trash : ", "", 93},
    {"lstTrash", "QListView", "pctTrash", "", "This is where you can see what you deleted, its Category and the date it was deleted", 94},
    {"cmdTrashRes", "button", "pctTrash", "&Restore", "Click here to put the choosen items back where they were", 95},
    {"cmdTrashEmp", "button", "pctTrash", "Em&pty Trash", "Click here to delete everything in the Trash for good", 96},
    {"cmdTrashCncl", "button", "pctTrash", "&Back", "Click here to Return to the Main Menu", 97},
};

const Expected kLoginWindow[] = {
    {"fraLogin", "frame", "frmLogin", "Login", "", 12},
    {"lblUser", "label", "fraLogin", "&User Name : ", "", 10},
    {"txtUser", "text box", "fraLogin", "", "", 0},
    {"lblPass", "label", "fraLogin", "&Password : ", "", 11},
    {"txtPass", "text box", "fraLogin", "", "", 1},
    {"cmdLogin", "button", "fraLogin", "&Login", "", 2},
    {"cmdCancel", "button", "fraLogin", "&Cancel", "", 3},
    {"cmdNewUser", "button", "fraLogin", "&New User? Click here to Create a New Login ID!", "", 4},
    {"fraNewUser", "frame", "frmLogin", "Create ID", "", 13},
    {"lblNUser", "label", "fraNewUser", "Please enter a Username : ", "", 14},
    {"txtNUser", "text box", "fraNewUser", "", "", 5},
    {"lblNPass", "label", "fraNewUser", "Please Enter a Password : ", "", 15},
    {"txtNPass", "text box", "fraNewUser", "", "", 6},
    {"lblNRPass", "label", "fraNewUser", "Please Re-Enter the Password : ", "", 16},
    {"txtNRPass", "text box", "fraNewUser", "", "", 7},
    {"cmdNCreate", "button", "fraNewUser", "Create &ID", "", 8},
    {"cmdNCancel", "button", "fraNewUser", "&Cancel", "", 9},
    {"cmdChangePass", "button", "fraLogin", "C&hange Password", "Click here to Change the Password of your Login ID, or to Delete your Login ID", 17},
    {"fraChPass", "frame", "frmLogin", "Change Password", "", 25},
    {"lblChUser", "label", "fraChPass", "&User Name : ", "", 26},
    {"txtChUser", "text box", "fraChPass", "", "Enter the User Name of your Login ID here", 18},
    {"lblChPass", "label", "fraChPass", "Current &Password : ", "", 27},
    {"txtChPass", "text box", "fraChPass", "", "Enter the Password you Login with now here", 19},
    {"lblChNPass", "label", "fraChPass", "&New Password : ", "", 28},
    {"txtChNPass", "text box", "fraChPass", "", "Enter your New Password here", 20},
    {"lblChNRPass", "label", "fraChPass", "&Re-Enter New Password : ", "", 29},
    {"txtChNRPass", "text box", "fraChPass", "", "Enter your New Password here once more", 21},
    {"prgChPass", "QProgressBar", "fraChPass", "", "", 30},
    {"cmdChPass", "button", "fraChPass", "C&hange", "Click here to CHANGE your Password", 22},
    {"cmdChDel", "button", "fraChPass", "&Delete ID", "Click here to DELETE your Login ID with all its Categories and URL's", 23},
    {"cmdChCncl", "button", "fraChPass", "&Back", "Click here to Return to the Login Menu", 24},
};
// clang-format on

QWidget *containerOf(QWidget *w) {
    QWidget *p = w->parentWidget();
    // The main window's controls sit on its client area.
    if (p && p->objectName() == QLatin1String("frmMainClient"))
        return p->parentWidget();
    return p;
}

// The kind of control a widget is, in the words of the table above.
QString kindOf(QWidget *w) {
    if (qobject_cast<QLabel *>(w))
        return QStringLiteral("label");
    if (qobject_cast<QPushButton *>(w))
        return QStringLiteral("button");
    if (qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w))
        return QStringLiteral("text box");
    if (qobject_cast<screens::ListBox *>(w))
        return QStringLiteral("list box");
    if (qobject_cast<QComboBox *>(w))
        return QStringLiteral("combo box");
    if (qobject_cast<QGroupBox *>(w))
        return QStringLiteral("frame");
    if (qobject_cast<screens::Panel *>(w))
        return QStringLiteral("panel");
    if (qobject_cast<screens::Separator *>(w))
        return QStringLiteral("line");
    if (qobject_cast<screens::StatusBar *>(w))
        return QStringLiteral("status bar");
    return QString::fromLatin1(w->metaObject()->className());
}

// The caption or text a control shows.
QString textOf(QWidget *w) {
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *t = qobject_cast<screens::LimitedTextEdit *>(w))
        return t->text();
    if (auto *t = qobject_cast<QPlainTextEdit *>(w))
        return t->toPlainText();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentText();
    return QString();
}

QString describe(const QString &name, const QString &kind, const QString &container,
                 const QString &caption, const QString &toolTip, int tab) {
    return QStringLiteral("%1: %2 in %3, caption [%4], tool tip [%5], tab %6")
        .arg(name, kind, container, caption, toolTip)
        .arg(tab);
}

// Compares every control of a window with its expected row, and the window's
// own control list with the expected names (the status bar is built apart).
template <std::size_t N>
void checkControls(QWidget *window, const QList<screens::ControlRow> &rows,
                   const Expected (&expected)[N]) {
    QStringList shown;
    QStringList wanted;
    QStringList listed;
    QStringList wantedListed;
    for (const Expected &e : expected) {
        const QString name = QLatin1String(e.name);
        QString caption = QString::fromLatin1(e.caption);
        if (QLatin1String(e.kind) == QLatin1String("label"))
            caption.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        wanted << describe(name, QLatin1String(e.kind), QLatin1String(e.container), caption,
                           QString::fromLatin1(e.toolTip), e.tab);
        if (name != QLatin1String("StatusBar"))
            wantedListed << name;

        QWidget *w = window->findChild<QWidget *>(name);
        if (!w) {
            shown << name + QStringLiteral(": missing");
            continue;
        }
        const QVariant tab = w->property("tabIndex");
        shown << describe(name, kindOf(w), containerOf(w)->objectName(), textOf(w), w->toolTip(),
                          tab.isValid() ? tab.toInt() : -1);
    }
    for (const screens::ControlRow &row : rows)
        listed << QLatin1String(row.name);
    QCOMPARE(shown, wanted);
    QCOMPARE(listed, wantedListed);
}

// Window, label, frame and panel backgrounds are light grey, buttons darker.
template <std::size_t N> void checkColours(QWidget *window, const Expected (&expected)[N]) {
    for (const Expected &e : expected) {
        QWidget *w = window->findChild<QWidget *>(QLatin1String(e.name));
        QVERIFY2(w, e.name);
        if (qobject_cast<QPushButton *>(w))
            QCOMPARE(w->palette().color(QPalette::Button), screens::kButtonColour);
        if (qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w) ||
            qobject_cast<screens::Panel *>(w)) {
            QCOMPARE(w->palette().color(QPalette::Window), screens::kFormColour);
            QVERIFY2(w->autoFillBackground(), e.name);
        }
    }
    QCOMPARE(window->palette().color(QPalette::Window), screens::kFormColour);
}

QStringList focusChain(QWidget *first, int steps) {
    QStringList names;
    QWidget *w = first;
    for (int i = 0; i < steps; ++i) {
        names << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty())
            w = w->nextInFocusChain();
    }
    return names;
}

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowControls();
    void loginWindowControls();
    void fonts();
    void passwordBoxesOnly();
    void descriptionBoxes();
    void sortedAndDropDownLists();
    void tabOrder();
    void screensMadeAtFirstUse();
    void statusBarPanels();
    void accessibleTexts();
};

void CatalogueTest::mainWindowControls() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    main.MakeLaterControls();
    checkControls(&main, frmMain::catalogue(), kMainWindow);
    checkColours(&main, kMainWindow);
}

void CatalogueTest::loginWindowControls() {
    GuiTestEnv env;
    frmLogin login;
    checkControls(&login, frmLogin::catalogue(), kLoginWindow);
    checkColours(&login, kLoginWindow);
    QVERIFY(login.cmdLogin->isDefault());
    QCOMPARE(login.lblUser->buddy(), login.txtUser);
    QCOMPARE(login.lblPass->buddy(), login.txtPass);
    QCOMPARE(login.lblChUser->buddy(), login.txtChUser);
    QCOMPARE(login.lblChPass->buddy(), login.txtChPass);
    QCOMPARE(login.lblChNPass->buddy(), login.txtChNPass);
    QCOMPARE(login.lblChNRPass->buddy(), login.txtChNRPass);
}

void CatalogueTest::fonts() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    for (QLabel *title : QList<QLabel *>{main.lblTitle, main.lblSubTitle}) {
        QCOMPARE(title->font().pointSizeF(), 24.0);
        QVERIFY(title->font().bold());
        QVERIFY(title->alignment() & Qt::AlignHCenter);
    }
    for (QPushButton *b :
         QList<QPushButton *>{main.cmdLogin, main.cmdCat, main.cmdURL, main.cmdQuit}) {
        QCOMPARE(b->font().pointSizeF(), 8.25);
        QVERIFY(b->font().bold());
    }
    QCOMPARE(main.lblCatAdd->font().pointSizeF(), 8.25);
    QVERIFY(!main.lblCatAdd->font().bold());
    QVERIFY(!main.cmdCatAdd->font().bold());
}

void CatalogueTest::passwordBoxesOnly() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    main.MakeLaterControls();
    frmLogin login;
    QStringList masked;
    for (QWidget *window : {static_cast<QWidget *>(&main), static_cast<QWidget *>(&login)}) {
        for (QLineEdit *e : window->findChildren<QLineEdit *>()) {
            if (!e->objectName().startsWith(QLatin1String("txt")))
                continue; // the editors inside combo boxes
            if (e->echoMode() != QLineEdit::Normal)
                masked << e->objectName();
        }
    }
    masked.sort();
    QCOMPARE(masked, (QStringList{"txtChNPass", "txtChNRPass", "txtChPass", "txtNPass", "txtNRPass",
                                  "txtPass"}));
    QCOMPARE(login.txtPass->echoMode(), QLineEdit::Password);
}

void CatalogueTest::descriptionBoxes() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    for (screens::LimitedTextEdit *box :
         QList<screens::LimitedTextEdit *>{main.txtUrlAddCh, main.txtUrlModDesc}) {
        QCOMPARE(box->text(), QStringLiteral("Please limit your Description to not more than 250 "
                                             "characters!\r\n"));
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        box->setText(QString());
        box->setFocus();
        QTest::keyClicks(box, QString(260, QLatin1Char('x')));
        QCOMPARE(box->storedLength(), 250);
    }
    QVERIFY(main.txtUrlViewDesc->isReadOnly());
    QCOMPARE(main.txtUrlViewDesc->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void CatalogueTest::sortedAndDropDownLists() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    main.MakeLaterControls();
    QStringList sorted;
    for (QWidget *w : main.findChildren<QWidget *>())
        if (w->property("sorted").toBool())
            sorted << w->objectName();
    sorted.sort();
    QCOMPARE(sorted, (QStringList{"cmbCatDel", "cmbCatImp", "cmbCatMod", "cmbUrlCat", "cmbUrlDel",
                                  "cmbUrlMod", "lstCatView", "lstUrlView"}));
    for (QComboBox *c : main.findChildren<QComboBox *>())
        QVERIFY2(!c->isEditable(), qPrintable(c->objectName())); // drop-down lists
}

void CatalogueTest::tabOrder() {
    GuiTestEnv env;
    frmLogin login;
    QCOMPARE(focusChain(login.txtUser, 18),
             (QStringList{"txtUser", "txtPass", "cmdLogin", "cmdCancel", "cmdNewUser", "txtNUser",
                          "txtNPass", "txtNRPass", "cmdNCreate", "cmdNCancel", "cmdChangePass",
                          "txtChUser", "txtChPass", "txtChNPass", "txtChNRPass", "cmdChPass",
                          "cmdChDel", "cmdChCncl"}));
    frmMain &main = env.mainWindow();
    // The start-up screen alone, then with the screens made: their controls
    // take their places in the chain.
    QCOMPARE(focusChain(main.cmdLogin, 4),
             (QStringList{"cmdLogin", "cmdCat", "cmdURL", "cmdQuit"}));
    main.MakeLaterControls();
    QCOMPARE(focusChain(main.cmdLogin, 6), (QStringList{"cmdLogin", "cmdCat", "lstCatView",
                                                        "cmdCatViewA", "txtCatAdd", "cmdCatAdd"}));
}

// Where each control of the screens is, whether it is hidden, and what the
// description box holds.
QStringList ScreenControlsAsPlaced(frmMain &main) {
    QStringList placed;
    for (const screens::ControlRow &row : screens::RowsMadeLater(frmMain::catalogue())) {
        const QWidget *w = main.findChild<QWidget *>(QLatin1String(row.name));
        if (!w) {
            placed << QLatin1String(row.name) + QStringLiteral(" missing");
            continue;
        }
        placed << QStringLiteral("%1 %2,%3 %4x%5%6")
                      .arg(QLatin1String(row.name))
                      .arg(w->x())
                      .arg(w->y())
                      .arg(w->width())
                      .arg(w->height())
                      .arg(w->isHidden() ? QStringLiteral(" hidden") : QString());
    }
    placed << main.txtUrlViewDesc->toPlainText();
    return placed;
}

// Start-up makes the start-up screen only. The screens' controls are made at
// the first use of one of them (here signing in), hidden and placed as if
// they had been made at start-up, whatever has changed on the screen since.
void CatalogueTest::screensMadeAtFirstUse() {
    GuiTestEnv env;
    QStringList madeAtStart;
    {
        frmMain early;
        QVERIFY(early.Form_Load());
        early.show();
        early.MakeLaterControls();
        madeAtStart = ScreenControlsAsPlaced(early);
    }

    {
        // Keys on the start screen and Exit there leave them unmade.
        frmMain quitting;
        QVERIFY(quitting.Form_Load());
        quitting.show();
        QTest::keyClick(&quitting, Qt::Key_Tab);
        QTest::keyClick(&quitting, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(&quitting, Qt::Key_X);
        quitting.cmdQuit_Click();
        QVERIFY(!quitting.LaterControlsMade());
    }

    frmMain &main = env.mainWindow();
    QVERIFY(!main.LaterControlsMade());
    for (const char *name : {"fraCatView", "pctCatAdd", "txtCatAdd", "fraUrlFind", "cmbUrlCat"})
        QVERIFY2(!main.findChild<QWidget *>(QLatin1String(name)), name);
    QVERIFY(main.lblIntro->isVisible());
    QVERIFY(main.cmdLogin->isVisible());

    SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    QVERIFY(main.LaterControlsMade());
    QCOMPARE(main.lblCatView->text(), QStringLiteral("1 Existing Categories are : "));
    QCOMPARE(ScreenControlsAsPlaced(main), madeAtStart);
    QVERIFY(madeAtStart.size() > 70);
    main.cmdCat_Click();
    QVERIFY(main.fraCatView->isVisible());
    QCOMPARE(main.lstCatView->count(), 1);
}

void CatalogueTest::statusBarPanels() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    const QStringList keys{"Main", "Desc", "NUM", "CAPS", "INS", "SCRL", "DATE", "TIME"};
    for (int i = 1; i <= 8; ++i)
        QCOMPARE(main.StatusBar->key(i), keys[i - 1]);
    QCOMPARE(main.StatusBar->panel(1)->text(), QStringLiteral("Status :"));
    // 5, 5, 5, 5, 5, 10 and 10 % of 1024 pixels; the message panel (55 %)
    // takes what the bar's spacing leaves of its share.
    const QList<int> widths{51, 0, 51, 51, 51, 51, 102, 102};
    for (int i = 1; i <= 8; ++i) {
        if (i != 2)
            QCOMPARE(main.StatusBar->panel(i)->width(), widths[i - 1]);
    }
    QVERIFY(main.StatusBar->panel(2)->width() >= 563 - 8 * 6);
    QCOMPARE(main.StatusBar->panel(8)->geometry().right() + 1 <= 1024, true);
}

void CatalogueTest::accessibleTexts() {
    // Standard widgets: assistive technologies read captions and tool tips.
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QAccessibleInterface *button = QAccessible::queryAccessibleInterface(main.cmdQuit);
    QVERIFY(button);
    QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Exit"));
    QCOMPARE(button->text(QAccessible::Description),
             QStringLiteral("Click here to Exit the Program"));
}

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"

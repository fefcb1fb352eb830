// Every control of both windows is there, with its name, container, texts,
// tab position and properties.

#include "guitest.h"

#include "screens/limitedtextedit.h"
#include "screens/statusbar.h"

#include <QAccessible>
#include <QTest>

namespace {

QWidget *containerOf(QWidget *w) {
    QWidget *p = w->parentWidget();
    // The main window's controls sit on its client area.
    if (p && p->objectName() == QLatin1String("frmMainClient"))
        return p->parentWidget();
    return p;
}

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
    return QString();
}

void checkRows(QWidget *window, const QList<screens::ControlRow> &rows) {
    for (const screens::ControlRow &row : rows) {
        const QString name = QLatin1String(row.name);
        QWidget *w = window->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(containerOf(w)->objectName(), QLatin1String(row.container));
        QCOMPARE(w->toolTip(), row.toolTip);
        QCOMPARE(w->property("tabIndex").toInt(), row.tab);
        if (qobject_cast<QLabel *>(w) || qobject_cast<QPushButton *>(w) ||
            qobject_cast<QGroupBox *>(w) || qobject_cast<screens::LimitedTextEdit *>(w)) {
            QString caption = row.caption;
            if (qobject_cast<QLabel *>(w))
                caption.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            if (name != QLatin1String("lblIntro")) // its text is set at start-up
                QCOMPARE(textOf(w), caption);
        }
        if (qobject_cast<QPushButton *>(w))
            QCOMPARE(w->palette().color(QPalette::Button), screens::kButtonColour);
        if (qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w) ||
            qobject_cast<screens::Panel *>(w)) {
            QCOMPARE(w->palette().color(QPalette::Window), screens::kFormColour);
            QVERIFY2(w->autoFillBackground(), qPrintable(name));
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
    void statusBarPanels();
    void accessibleTexts();
};

void CatalogueTest::mainWindowControls() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QCOMPARE(frmMain::catalogue().size(), 15 - 1 + 26 + 32); // the status bar is built apart
    checkRows(&main, frmMain::catalogue());
    QCOMPARE(main.StatusBar->objectName(), QStringLiteral("StatusBar"));
    QCOMPARE(main.StatusBar->toolTip(),
             QStringLiteral("This is the Statusbar which lets you know what's happening."));
}

void CatalogueTest::loginWindowControls() {
    GuiTestEnv env;
    frmLogin login;
    QCOMPARE(frmLogin::catalogue().size(), 17);
    checkRows(&login, frmLogin::catalogue());
    QVERIFY(login.cmdLogin->isDefault());
    QCOMPARE(login.lblUser->buddy(), login.txtUser);
    QCOMPARE(login.lblPass->buddy(), login.txtPass);
}

void CatalogueTest::fonts() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    for (QLabel *title : {main.lblTitle, main.lblSubTitle}) {
        QCOMPARE(title->font().pointSizeF(), 24.0);
        QVERIFY(title->font().bold());
        QVERIFY(title->alignment() & Qt::AlignHCenter);
    }
    for (QPushButton *b : {main.cmdLogin, main.cmdCat, main.cmdURL, main.cmdQuit}) {
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
    QCOMPARE(masked, (QStringList{"txtNPass", "txtNRPass", "txtPass"}));
    QCOMPARE(login.txtPass->echoMode(), QLineEdit::Password);
}

void CatalogueTest::descriptionBoxes() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    for (screens::LimitedTextEdit *box : {main.txtUrlAddCh, main.txtUrlModDesc}) {
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
    QStringList sorted;
    for (QWidget *w : main.findChildren<QWidget *>())
        if (w->property("sorted").toBool())
            sorted << w->objectName();
    sorted.sort();
    QCOMPARE(sorted, (QStringList{"cmbCatDel", "cmbCatMod", "cmbUrlCat", "cmbUrlDel", "cmbUrlMod",
                                  "lstCatView", "lstUrlView"}));
    for (QComboBox *c : main.findChildren<QComboBox *>())
        QVERIFY2(!c->isEditable(), qPrintable(c->objectName())); // drop-down lists
}

void CatalogueTest::tabOrder() {
    GuiTestEnv env;
    frmLogin login;
    QCOMPARE(focusChain(login.txtUser, 10),
             (QStringList{"txtUser", "txtPass", "cmdLogin", "cmdCancel", "cmdNewUser", "txtNUser",
                          "txtNPass", "txtNRPass", "cmdNCreate", "cmdNCancel"}));
    frmMain &main = env.mainWindow();
    QCOMPARE(focusChain(main.cmdLogin, 6), (QStringList{"cmdLogin", "cmdCat", "lstCatView",
                                                        "cmdCatViewA", "txtCatAdd", "cmdCatAdd"}));
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

// What a screen reader is told about the controls of both windows: every
// control that can take the focus has a name, lists, combo boxes and text
// boxes are named by the labels that prompt for them, and tool tips are
// descriptions.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "screens/accessnames.h"
#include "session/modMain.h"
#include "storage/records.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QString NameOf(QWidget *w) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

QString DescriptionOf(QWidget *w) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Description) : QStringLiteral("<no interface>");
}

// "name: [accessible name]" for every widget of `window` that can take the
// focus and has no name to be read out.
QStringList Unnamed(QWidget *window) {
    QStringList unnamed;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (NameOf(w).trimmed().isEmpty())
            unnamed << QStringLiteral("%1 (%2)").arg(w->objectName(),
                                                     QLatin1String(w->metaObject()->className()));
    }
    return unnamed;
}

// Signed in with categories 1 "News" and 2 "Apps" from the index, the two
// URLs of "News" listed and an entry chosen in every combo box, so that the
// lists' count labels carry their numbers and no combo box is empty.
void SignedInWithLists(GuiTestEnv &env, frmMain &main) {
    SignInWithCategories(env, {{QStringLiteral("News"), 1}, {QStringLiteral("Apps"), 2}});
    QCOMPARE(modMain::UserNo, 1);
    WriteUrlFile(1, UrlLine({1, QStringLiteral("b.org"), QStringLiteral("bee")}) +
                        UrlLine({2, QStringLiteral("a.org"), QStringLiteral("ay")}));
    main.cmdURL_Click();
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->findText(QStringLiteral("News")));
    main.cmdCat_Click();
    main.cmbCatDel->setCurrentIndex(0);
    main.cmbCatMod->setCurrentIndex(0);
}

} // namespace

class tst_Accessibility : public QObject {
    Q_OBJECT
private slots:
    void mainWindowControls_data();
    void mainWindowControls();
    void signInWindowControls_data();
    void signInWindowControls();
    void categoryChooserFollowsItsPrompt_data();
    void categoryChooserFollowsItsPrompt();
    void everyFocusableControlIsNamed();
    void everyFocusableSignInControlIsNamed();
    void promptName_data();
    void promptName();
};

void tst_Accessibility::mainWindowControls_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");

    QTest::newRow("category list") << "lstCatView"
                                   << "Existing Categories are : "
                                   << "This is where you can see the Existing Categories";
    QTest::newRow("URL list") << "lstUrlView"
                              << "URL(s) under choosen Category are : "
                              << "This is where you can see a list of URL's under choosen Category";
    QTest::newRow("URL description") << "txtUrlViewDesc"
                                     << "Description of the chosen URL"
                                     << "";
    QTest::newRow("new category name") << "txtCatAdd"
                                       << "Please enter a Name for the Category to be added : "
                                       << "Enter a Name for the Category you wish to add in here";
    QTest::newRow("category to delete") << "cmbCatDel"
                                        << "Please choose the Category you with to Delete : "
                                        << "Choose the Category you wish to Delete from the List";
    QTest::newRow("category to modify") << "cmbCatMod"
                                        << "Please choose the Category which you wish to modify : "
                                        << "Choose the Category you wish to Modify from the List";
    QTest::newRow("category's new name") << "txtCatMod"
                                         << "Please Enter the new name for the Category : "
                                         << "Enter the New Name for the choosen Category here";
    QTest::newRow("URL to add") << "txtUrlAdd"
                                << "Please enter the URL you wish to Add : "
                                << "Enter the URL here";
    QTest::newRow("description to add") << "txtUrlAddCh"
                                        << "Please enter a short description : "
                                        << "Enter a Description for the URL here";
    QTest::newRow("URL to delete") << "cmbUrlDel"
                                   << "Please choose the URL you wish to Delete from the List : "
                                   << "Choose the URL you wish to Delete";
    QTest::newRow("URL to modify") << "cmbUrlMod"
                                   << "Please choose the URL which you wish to Modify"
                                   << "Choose the URL you wish to Modify here";
    QTest::newRow("modified URL") << "txtUrlMod"
                                  << "Please change the URL here if you want : "
                                  << "Enter the Modified URL here";
    QTest::newRow("modified description") << "txtUrlModDesc"
                                          << "Please change the Description here if you want : "
                                          << "Enter the Modified Description here";
    QTest::newRow("category chooser") << "cmbUrlCat"
                                      << "Please choose a Category : "
                                      << "";
    QTest::newRow("texts changed by an import")
        << "lstCatImp"
        << "Texts changed to fit : "
        << "This is where you can see every text that was changed so that it can be stored";
    QTest::newRow("open all of a category")
        << "cmdUrlViewO"
        << "Open All"
        << "Click here to Open every URL of the choosen Category in your Web Browser";
    QTest::newRow("category of dropped links")
        << "cmbCatImp"
        << "Add them under the Category : "
        << "Choose the Category to add the URL's you dropped or pasted under";
    QTest::newRow("open all found") << "cmdUrlFindO"
                                    << "Open All"
                                    << "Click here to Open every URL found in your Web Browser";
}

void tst_Accessibility::mainWindowControls() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);

    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    SignedInWithLists(env, main);
    // The count labels carry their numbers; the names leave them out.
    QCOMPARE(main.lblCatView->text(), QStringLiteral("2 Existing Categories are : "));
    QCOMPARE(main.lblUrlView->text(), QStringLiteral("2 URL(s) under choosen Category are : "));
    main.cmdURL_Click();

    QWidget *w = main.findChild<QWidget *>(control);
    QVERIFY(w);
    QCOMPARE(NameOf(w), name);
    QCOMPARE(DescriptionOf(w), description);
}

void tst_Accessibility::signInWindowControls_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");

    QTest::newRow("user name") << "txtUser"
                               << "User Name : ";
    QTest::newRow("password") << "txtPass"
                              << "Password : ";
    QTest::newRow("new user name") << "txtNUser"
                                   << "Please enter a Username : ";
    QTest::newRow("new password") << "txtNPass"
                                  << "Please Enter a Password : ";
    QTest::newRow("password again") << "txtNRPass"
                                    << "Please Re-Enter the Password : ";
    QTest::newRow("change: user name") << "txtChUser"
                                       << "User Name : ";
    QTest::newRow("change: current password") << "txtChPass"
                                              << "Current Password : ";
    QTest::newRow("change: new password") << "txtChNPass"
                                          << "New Password : ";
    QTest::newRow("change: new password again") << "txtChNRPass"
                                                << "Re-Enter New Password : ";
}

void tst_Accessibility::signInWindowControls() {
    QFETCH(QString, control);
    QFETCH(QString, name);

    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QString shownName;
    WithSignInWindow(main, [&](frmLogin &login) {
        TypeInto(login.txtUser, QStringLiteral("Ann"));
        if (QWidget *w = login.findChild<QWidget *>(control))
            shownName = NameOf(w);
    });
    QCOMPARE(shownName, name);
}

void tst_Accessibility::categoryChooserFollowsItsPrompt_data() {
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("name");

    QTest::newRow("URL menu") << ""
                              << "Please choose a Category : ";
    QTest::newRow("Add URL") << "A"
                             << "Please choose the category to Add this URL under : ";
    QTest::newRow("Delete URL")
        << "D"
        << "Please choose the category which has the URL you want to Delete : ";
    QTest::newRow("Modify URL") << "M"
                                << "Please choose the category which has the URL : ";
}

void tst_Accessibility::categoryChooserFollowsItsPrompt() {
    QFETCH(QString, panel);
    QFETCH(QString, name);

    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    SignedInWithLists(env, main);
    // Asked first on another screen, then again on this one.
    main.cmdURL_Click();
    main.cmdUrlNxtTag = QStringLiteral("M");
    main.cmdUrlNxt_Click();
    QCOMPARE(NameOf(main.cmbUrlCat),
             QStringLiteral("Please choose the category which has the URL : "));
    main.cmdURL_Click();
    if (!panel.isEmpty()) {
        main.cmdUrlNxtTag = panel;
        main.cmdUrlNxt_Click();
    }
    QCOMPARE(NameOf(main.cmbUrlCat), name);
    // The chosen entry is still what the combo box holds.
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(main.cmbUrlCat);
    QCOMPARE(iface->role(), QAccessible::ComboBox);
    QCOMPARE(iface->text(QAccessible::Value), main.cmbUrlCat->currentText());
}

void tst_Accessibility::everyFocusableControlIsNamed() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QCOMPARE(Unnamed(&main), QStringList());
    SignedInWithLists(env, main);
    // Every screen in turn; the controls of the hidden ones are asked too.
    const QList<std::function<void()>> screens{
        [&] { main.cmdCat_Click(); },
        [&] { main.cmdCatNxtTag = QStringLiteral("A"), main.cmdCatNxt_Click(); },
        [&] { main.cmdCatNxtTag = QStringLiteral("D"), main.cmdCatNxt_Click(); },
        [&] { main.cmdCatNxtTag = QStringLiteral("M"), main.cmdCatNxt_Click(); },
        [&] { main.cmdURL_Click(); },
        [&] { main.cmdUrlNxtTag = QStringLiteral("A"), main.cmdUrlNxt_Click(); },
        [&] { main.cmdUrlNxtTag = QStringLiteral("D"), main.cmdUrlNxt_Click(); },
        [&] { main.cmdUrlNxtTag = QStringLiteral("M"), main.cmdUrlNxt_Click(); },
    };
    for (const auto &show : screens) {
        show();
        QCOMPARE(Unnamed(&main), QStringList());
    }
}

void tst_Accessibility::everyFocusableSignInControlIsNamed() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    QStringList signIn;
    QStringList newUser;
    QStringList changePassword;
    int focusable = 0;
    WithSignInWindow(main, [&](frmLogin &login) {
        signIn = Unnamed(&login);
        login.cmdNewUser_Click();
        newUser = Unnamed(&login);
        login.cmdNCancel_Click();
        login.cmdChangePass_Click();
        changePassword = Unnamed(&login);
        for (QWidget *w : login.findChildren<QWidget *>())
            focusable += w->focusPolicy() != Qt::NoFocus;
    });
    QVERIFY(focusable >= 10);
    QCOMPARE(signIn, QStringList());
    QCOMPARE(newUser, QStringList());
    QCOMPARE(changePassword, QStringList());
}

void tst_Accessibility::promptName_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain prompt") << "Please enter a Username : "
                                  << "Please enter a Username : ";
    QTest::newRow("access key") << "&User Name : "
                                << "User Name : ";
    QTest::newRow("doubled ampersand") << "Tom && Jerry : "
                                       << "Tom & Jerry : ";
    QTest::newRow("count label") << "12 Existing Categories are : "
                                 << "Existing Categories are : ";
    QTest::newRow("count of nothing") << "0 URL(s) under choosen Category are : "
                                      << "URL(s) under choosen Category are : ";
    QTest::newRow("number alone") << "42"
                                  << "42";
    QTest::newRow("number inside") << "Step 2 of 3"
                                   << "Step 2 of 3";
}

void tst_Accessibility::promptName() {
    QFETCH(QString, label);
    QFETCH(QString, name);
    QCOMPARE(screens::PromptName(label), name);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

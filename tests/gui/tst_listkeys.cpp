// Choosing in the two list boxes by keyboard: a key that lands on a row
// chooses it, also the row that tabbing into the list only marked.

#include "guitest.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// Category 1 "News" with three URLs, listed on the URL menu with none
// chosen.
void NewsListed(GuiTestEnv &env, frmMain &main) {
    SignInWithCategories(env, {{QStringLiteral("News"), 1}});
    WriteUrlFile(1, UrlLine({1, QStringLiteral("b.org"), QStringLiteral("bee")}) +
                        UrlLine({2, QStringLiteral("a.org"), QStringLiteral("line1*QVX*line2")}) +
                        UrlLine({3, QStringLiteral("c.org"), QStringLiteral("sea")}));
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    main.cmdURL_Click();
    main.cmbUrlCat->setCurrentIndex(0);
    QCOMPARE(main.lstUrlView->count(), 3);
}

// Tabs from the category chooser into the URL list.
void TabIntoUrlList(frmMain &main) {
    main.cmbUrlCat->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.cmbUrlCat));
    QTest::keyClick(main.cmbUrlCat, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.lstUrlView));
}

// Signed in as user 1 whose category index holds "News", "Work" and "Apps".
void ThreeCategories(GuiTestEnv &env, frmMain &main) {
    SignInWithCategories(
        env,
        {{QStringLiteral("News"), 1}, {QStringLiteral("Work"), 2}, {QStringLiteral("Apps"), 3}});
    QCOMPARE(main.lstCatView->count(), 3);
}

const QString kPlaceholder =
    QStringLiteral("The Description of any URL you choose from the list of URL's on top will be "
                   "displayed in here.");

} // namespace

class tst_ListKeys : public QObject {
    Q_OBJECT
private slots:
    void tabbingInMarksWithoutChoosing();
    void keyChoosesUrl_data();
    void keyChoosesUrl();
    void keyOnTheChosenRowChangesNothing();
    void otherKeysChooseNothing();
    void keyChoosesCategory_data();
    void keyChoosesCategory();
};

void tst_ListKeys::tabbingInMarksWithoutChoosing() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    NewsListed(env, main);
    TabIntoUrlList(main);
    QCOMPARE(main.lstUrlView->currentRow(), 0);
    QCOMPARE(main.lstUrlView->selectedRow(), -1);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), kPlaceholder);
}

void tst_ListKeys::keyChoosesUrl_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("description");

    // From the marked first row, "a.org".
    QTest::newRow("Home") << int(Qt::Key_Home) << 0 << "line1\nline2";
    QTest::newRow("Up") << int(Qt::Key_Up) << 0 << "line1\nline2";
    QTest::newRow("Left") << int(Qt::Key_Left) << 0 << "line1\nline2";
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 0 << "line1\nline2";
    QTest::newRow("Down") << int(Qt::Key_Down) << 1 << "bee";
    QTest::newRow("End") << int(Qt::Key_End) << 2 << "sea";
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 2 << "sea";
}

void tst_ListKeys::keyChoosesUrl() {
    QFETCH(int, key);
    QFETCH(int, row);
    QFETCH(QString, description);

    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    NewsListed(env, main);
    TabIntoUrlList(main);
    QTest::keyClick(main.lstUrlView, Qt::Key(key));
    QCOMPARE(main.lstUrlView->selectedRow(), row);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), description);
    QCOMPARE(StatusText(main), QStringLiteral("Ready (URL View Menu)"));
}

void tst_ListKeys::keyOnTheChosenRowChangesNothing() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    NewsListed(env, main);
    ClickListRow(main.lstUrlView, 1);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("bee"));
    // Home goes to the first row as before; Up there stays on it.
    QTest::keyClick(main.lstUrlView, Qt::Key_Home);
    QCOMPARE(main.lstUrlView->selectedRow(), 0);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("line1\nline2"));
    main.txtUrlViewDesc->setPlainText(QStringLiteral("untouched"));
    QTest::keyClick(main.lstUrlView, Qt::Key_Up);
    QCOMPARE(main.lstUrlView->selectedRow(), 0);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), QStringLiteral("untouched"));
}

void tst_ListKeys::otherKeysChooseNothing() {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    NewsListed(env, main);
    TabIntoUrlList(main);
    QTest::keyClick(main.lstUrlView, Qt::Key_Shift);
    QTest::keyClick(main.lstUrlView, Qt::Key_F5);
    QCOMPARE(main.lstUrlView->selectedRow(), -1);
    QCOMPARE(main.txtUrlViewDesc->toPlainText(), kPlaceholder);
}

void tst_ListKeys::keyChoosesCategory_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("Home") << int(Qt::Key_Home) << "Apps";
    QTest::newRow("Down") << int(Qt::Key_Down) << "News";
    QTest::newRow("End") << int(Qt::Key_End) << "Work";
}

void tst_ListKeys::keyChoosesCategory() {
    QFETCH(int, key);
    QFETCH(QString, chosen);

    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    ThreeCategories(env, main);
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    // The Categories menu puts the focus into the list, marking its first
    // row without choosing it.
    main.cmdCat_Click();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main.lstCatView));
    QCOMPARE(main.lstCatView->selectedRow(), -1);

    QTest::keyClick(main.lstCatView, Qt::Key(key));
    const int row = main.lstCatView->selectedRow();
    QVERIFY(row >= 0);
    QCOMPARE(RowText(main.lstCatView, row), chosen);
    // The choice is the one Delete Category takes along.
    main.cmdCatViewD_Click();
    QCOMPARE(main.cmbCatDel->currentText(), chosen);
}

QTEST_MAIN(tst_ListKeys)
#include "tst_listkeys.moc"

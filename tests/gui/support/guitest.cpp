#include "guitest.h"

#include "accounts/accountfile.h"
#include "screens/clipboard.h"
#include "screens/filedialog.h"
#include "screens/msgbox.h"
#include "screens/screen.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

GuiTestEnv::GuiTestEnv(int screenWidth, int screenHeight) {
    modMain::SetProgramFolder(m_dir.path());
    modMain::SetInstanceCheck([] { return false; });
    modMain::ResetSession();
    screens::MsgBox::setScripted(true);
    screens::MsgBox::reset();
    screens::Clipboard::setScripted(true);
    screens::Clipboard::reset();
    screens::FileDialog::setScripted(true);
    screens::FileDialog::reset();
    screens::SetScreenOverride(
        screens::ScreenMetrics{QRect(0, 0, screenWidth, screenHeight), 15.0f});
}

GuiTestEnv::~GuiTestEnv() {
    m_main.reset();
    screens::MsgBox::reset();
    screens::Clipboard::reset();
    screens::FileDialog::reset();
    screens::SetScreenOverride(std::nullopt);
    modMain::SetInstanceCheck({});
    modMain::ResetSession();
}

QString GuiTestEnv::folder() const {
    return m_dir.path();
}

QString GuiTestEnv::path(const QString &name) const {
    return QDir(m_dir.path()).filePath(name);
}

frmMain &GuiTestEnv::mainWindow() {
    if (!m_main) {
        m_main = std::make_unique<frmMain>();
        if (!m_main->Form_Load())
            qFatal("the main window refused to start");
        m_main->show();
        if (!QTest::qWaitForWindowExposed(m_main.get()))
            qWarning("main window not exposed");
    }
    return *m_main;
}

void WithSignInWindow(frmMain &main, const std::function<void(frmLogin &)> &actions) {
    bool ran = false;
    QTimer::singleShot(0, &main, [&] {
        frmLogin *login = frmLogin::current();
        if (!login) {
            qWarning("the sign-in window did not open");
            return;
        }
        ran = true;
        actions(*login);
        if (frmLogin::current() == login && login->isVisible())
            login->reject();
    });
    QTest::mouseClick(main.cmdLogin, Qt::LeftButton);
    if (!ran)
        qWarning("the sign-in actions did not run");
}

void SignInByKeyboard(frmMain &main, const QString &user, const QString &password) {
    WithSignInWindow(main, [&](frmLogin &login) {
        QTest::keyClicks(login.txtUser, user);
        QTest::keyClicks(login.txtPass, password);
        QTest::keyClick(login.txtPass, Qt::Key_Return);
    });
}

void TypeInto(QWidget *widget, const QString &text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

QStringList ShownTexts() {
    QStringList texts;
    for (const screens::ShownMessage &m : screens::MsgBox::shown())
        texts << m.text;
    return texts;
}

void AddAccount(int n, const QString &name, const QString &password) {
    if (const modMain::IoError err = modMain::AppendAccount(n, name, password); err.failed())
        qFatal("could not write a test account: %s", qPrintable(err.reason));
}

QString StatusText(frmMain &main) {
    return main.StatusBar->panel(2)->text();
}

void ClickListRow(ListBox *list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    if (!index.isValid()) {
        qWarning("no entry at row %d", row);
        return;
    }
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(index).center());
}

void ClickEntry(ListBox *list, const QString &text) {
    const int row = RowOf(list, text);
    if (row < 0) {
        qWarning("no entry %s", qPrintable(text));
        return;
    }
    ClickListRow(list, row);
}

int RowOf(const ListBox *list, const QString &text) {
    for (int row = 0; row < list->count(); ++row) {
        if (RowText(list, row) == text)
            return row;
    }
    return -1;
}

QString RowText(const ListBox *list, int row) {
    return list->model()->index(row, 0).data(Qt::DisplayRole).toString();
}

QStringList ListedEntries(const ListBox *list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << QStringLiteral("%1=%2")
                   .arg(RowText(list, i))
                   .arg(list->model()->index(i, 0).data(Qt::UserRole).toInt());
    return out;
}

QStringList ListedEntries(const QComboBox *combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << QStringLiteral("%1=%2")
                   .arg(combo->itemText(i))
                   .arg(combo->itemData(i, Qt::UserRole).toInt());
    return out;
}

void WriteFileBytes(const QString &path, const QByteArray &data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        qFatal("could not write %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

namespace {

// The owner stamp of a test record: the test user's, or another password's.
QString TestStamp(bool foreign) {
    return modMain::MakePassStamp(foreign ? QStringLiteral("Other") : kTestPassword);
}

} // namespace

void WriteUserFiles(const QList<TestCategory> &categories) {
    AddAccount(1, kTestUser, kTestPassword);
    const QString folder = modMain::UserFolderPath(1);
    if (const modMain::IoError err = modMain::MakeFolder(folder); err.failed())
        qFatal("could not make the user folder: %s", qPrintable(err.reason));
    const QString index = modMain::JoinPath(folder, modMain::kCategoryIndexName);
    for (const TestCategory &category : categories) {
        const QString line = modMain::CategoryRecordLine(category.number, category.name,
                                                         TestStamp(category.foreign));
        if (const modMain::IoError err = modMain::AppendLine(index, line); err.failed())
            qFatal("could not write the category index: %s", qPrintable(err.reason));
    }
}

frmMain &SignInWithCategories(GuiTestEnv &env, const QList<TestCategory> &categories) {
    WriteUserFiles(categories);
    frmMain &main = env.mainWindow();
    SignInByKeyboard(main, kTestUser, kTestPassword);
    if (modMain::UserNo != 1)
        qFatal("the test user could not sign in");
    screens::MsgBox::reset();
    return main;
}

QByteArray UrlLine(const TestUrl &url) {
    return modMain::UrlRecordLine(url.number, url.address, url.storedDescription,
                                  TestStamp(url.foreign))
               .toLatin1() +
           "\r\n";
}

QString WriteUrlFile(int catNo, const QByteArray &content) {
    const QString path = modMain::UrlFilePath(1, catNo);
    WriteFileBytes(path, content);
    return path;
}

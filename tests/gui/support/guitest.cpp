#include "guitest.h"

#include "screens/msgbox.h"
#include "screens/screen.h"
#include "screens/sortedlist.h"
#include "screens/statusbar.h"
#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/accountfile.h"
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
    screens::SetScreenOverride(
        screens::ScreenMetrics{QRect(0, 0, screenWidth, screenHeight), 15.0f});
}

GuiTestEnv::~GuiTestEnv() {
    m_main.reset();
    screens::MsgBox::reset();
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
    modMain::IoError err;
    if (!modMain::AppendAccount(n, name, password, &err))
        qFatal("could not write a test account: %s", qPrintable(err.reason));
}

QString StatusText(frmMain &main) {
    return main.StatusBar->panel(2)->text();
}

void ClickListRow(QListWidget *list, int row) {
    QListWidgetItem *item = list->item(row);
    if (!item) {
        qWarning("no entry at row %d", row);
        return;
    }
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(item).center());
}

QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SignInWithCategories(frmMain &main, const QList<QPair<QString, int>> &categories) {
    AddAccount(1, QStringLiteral("Ann"), QStringLiteral("Pw"));
    modMain::IoError err;
    if (!modMain::MakeFolder(modMain::UserFolderPath(1), &err))
        qFatal("could not make the user folder: %s", qPrintable(err.reason));
    SignInByKeyboard(main, QStringLiteral("Ann"), QStringLiteral("Pw"));
    for (const auto &[name, number] : categories)
        screens::AddSorted(main.cmbUrlCat, name, number);
    screens::MsgBox::reset();
}

QByteArray UrlLine(const TestUrl &url) {
    const QString stamp =
        url.foreign ? modMain::MakePassStamp(QStringLiteral("Other")) : modMain::PassStamp;
    return modMain::UrlRecordLine(modMain::UrlKey(url.number), url.address, url.storedDescription,
                                  stamp)
               .toLatin1() +
           "\r\n";
}

QString WriteUrlFile(int catNo, const QByteArray &content) {
    const QString path = modMain::UrlFilePath(1, catNo);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        qFatal("could not write %s", qPrintable(path));
    return path;
}

#include "guitest.h"

#include "screens/msgbox.h"
#include "screens/screen.h"
#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/accountfile.h"
#include "storage/records.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

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

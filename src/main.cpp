#include "privacy/awaysignout.h"
#include "privacy/settings.h"
#include "screens/application.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

const char kNoDisplay[] =
    "Wayfile needs a graphical desktop to show its windows, and none was found "
    "(no X11 or Wayland display could be opened). Start it from a desktop session, "
    "or under a virtual display such as Xvfb.\n";

bool displayConfigured() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true; // offscreen, vnc, ...: the user chose a platform that needs no display
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Qt ends the process when no windowing platform can start (for example a
// display that is set but cannot be reached); say so in plain words instead.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &msg) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(1);
    }
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

} // namespace

int main(int argc, char *argv[]) {
    if (!displayConfigured()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    qInstallMessageHandler(messageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    screens::SetUpApplication();

    frmMain window;
    if (!window.Form_Load())
        return 0; // another copy of the program is already running
    QObject::connect(&window, &frmMain::programEnd, &app, &QApplication::quit);

    // Signing out when the user is away: after the settings' minutes
    // without input or a suspend as long, and when the screen locks.
    QString problem;
    const privacy::Settings settings = privacy::LoadSettings(&problem);
    if (!problem.isEmpty())
        screens::MsgBox::show(&window, problem);
    privacy::AwaySignOut away(settings,
                              [&window](const QString &notice) { window.SignOut(notice); });
    if (settings.signOutOnScreenLock)
        away.screenLock().listenToDesktop();
    window.show();
    return app.exec();
}

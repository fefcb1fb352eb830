#include "privacy/screenlock.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace privacy {

namespace {

const QString kScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");

} // namespace

ScreenLockListener::ScreenLockListener(QObject *parent) : QObject(parent) {}

bool ScreenLockListener::listenToScreenSaver(const QDBusConnection &bus) {
    if (!bus.isConnected())
        return false;
    QDBusConnection connection = bus;
    // An empty service and path: the signal of any sender, on any object.
    return connection.connect(QString(), QString(), kScreenSaverInterface,
                              QStringLiteral("ActiveChanged"), QStringLiteral("b"), this,
                              SLOT(screenSaverActiveChanged(bool)));
}

bool ScreenLockListener::listenToSession(const QDBusConnection &bus, const QString &sessionId) {
    if (!bus.isConnected())
        return false;
    QDBusMessage ask = sessionId.isEmpty()
                           ? QDBusMessage::createMethodCall(kLogind, kLogindPath, kManagerInterface,
                                                            QStringLiteral("GetSessionByPID"))
                           : QDBusMessage::createMethodCall(kLogind, kLogindPath, kManagerInterface,
                                                            QStringLiteral("GetSession"));
    if (sessionId.isEmpty())
        ask << uint(QCoreApplication::applicationPid());
    else
        ask << sessionId;
    // Asked without waiting: the program starts while logind answers.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, bus](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isError())
                    return; // no logind, or no session of ours: the screen saver still counts
                QDBusConnection connection = bus;
                const QString path = reply.value().path();
                if (connection.connect(kLogind, path, kSessionInterface, QStringLiteral("Lock"),
                                       QString(), this, SLOT(sessionLocked()))) {
                    m_sessionPath = path;
                    emit sessionFound(path);
                }
            });
    return true;
}

void ScreenLockListener::listenToDesktop() {
    listenToScreenSaver(QDBusConnection::sessionBus());
    listenToSession(QDBusConnection::systemBus(), qEnvironmentVariable("XDG_SESSION_ID"));
}

void ScreenLockListener::screenSaverActiveChanged(bool active) {
    if (active)
        emit locked();
}

void ScreenLockListener::sessionLocked() {
    emit locked();
}

} // namespace privacy

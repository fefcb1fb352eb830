#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// Hears the desktop lock its screen, from two sources, either of which may
// be missing:
// - the freedesktop screen saver on the session bus: the signal
//   ActiveChanged(b) of the interface org.freedesktop.ScreenSaver, from any
//   sender and any object path (desktops send it on
//   /org/freedesktop/ScreenSaver, /ScreenSaver or both); true means locked;
// - logind on the system bus: the signal Lock of the interface
//   org.freedesktop.login1.Session on this session's object, which the
//   manager's GetSession (by $XDG_SESSION_ID) or GetSessionByPID (by the
//   program's own process) names.
// Without a bus nothing is heard, and nothing fails.
namespace privacy {

class ScreenLockListener : public QObject {
    Q_OBJECT
public:
    explicit ScreenLockListener(QObject *parent = nullptr);

    // Listens to the screen saver on `bus`. False when the bus is not
    // connected.
    bool listenToScreenSaver(const QDBusConnection &bus);
    // Asks logind on `bus` for the session's object (by `sessionId`, or by
    // the program's process when it is "") and listens to its Lock signal
    // once the answer comes (sessionFound). False when the bus is not
    // connected.
    bool listenToSession(const QDBusConnection &bus, const QString &sessionId);
    // The session's object path once logind named it; "" before.
    QString sessionPath() const { return m_sessionPath; }

    // Both buses as the desktop has them.
    void listenToDesktop();

signals:
    // The screen was locked.
    void locked();
    // logind named the session's object, and its Lock signal is listened to.
    void sessionFound(const QString &path);

private slots:
    void screenSaverActiveChanged(bool active);
    void sessionLocked();

private:
    QString m_sessionPath;
};

} // namespace privacy

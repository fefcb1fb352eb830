#pragma once

#include "privacy/idlewatcher.h"
#include "privacy/screenlock.h"
#include "privacy/settings.h"

#include <QObject>
#include <QString>

#include <functional>

// Signs the user out when the user is away: after the settings' minutes
// without input, after a suspend longer than that, and when the screen
// locks (when the settings ask for it).
//
// A sign-out never starts inside a handler: it first closes every modal
// window (OpenModals: each answered as Cancel, No or Back), and waits until
// every handler has returned and no change procedure (DoCommand) is
// running, so a change always finishes, and its transaction with it. Until
// then every key press and mouse input is swallowed. The idle rule also
// runs while nobody is signed in: it closes a half-filled sign-in window,
// and nobody is signed out.
namespace privacy {

enum class AwayCause { Idle, Suspend, ScreenLock };

// The sentence the main window's introduction adds after an automatic
// sign-out.
QString AwayNotice(AwayCause cause, int minutes);

class AwaySignOut : public QObject {
    Q_OBJECT
public:
    // `signOut` signs the signed-in user out, adding `notice` to the
    // introduction.
    AwaySignOut(const Settings &settings, std::function<void(const QString &notice)> signOut,
                QObject *parent = nullptr);
    ~AwaySignOut() override;

    IdleWatcher &idle() { return m_idle; }
    ScreenLockListener &screenLock() { return m_screenLock; }

    // Signs out as soon as it may (see above).
    void request(AwayCause cause);
    // A sign-out has been asked for and has not happened yet.
    bool pending() const { return m_pending; }

signals:
    // The sign-out asked for happened (or, while nobody was signed in, the
    // windows were closed).
    void signedOut(privacy::AwayCause cause);

private:
    void tryNow();

    Settings m_settings;
    std::function<void(const QString &)> m_signOut;
    IdleWatcher m_idle;
    ScreenLockListener m_screenLock;
    bool m_pending = false;
    AwayCause m_cause = AwayCause::Idle;
};

} // namespace privacy

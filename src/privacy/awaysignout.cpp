#include "privacy/awaysignout.h"

#include "privacy/openmodals.h"
#include "session/modMain.h"

#include <QApplication>
#include <QTimer>

namespace privacy {

namespace {

// How often a waiting sign-out looks again whether the handlers have
// returned (they return at once after their windows closed; changes are
// short).
constexpr int kRetryMs = 10;

} // namespace

QString AwayNotice(AwayCause cause, int minutes) {
    if (cause == AwayCause::ScreenLock)
        return QStringLiteral("You were logged off when the screen was locked.");
    return QStringLiteral("You were logged off after %1 %2 without use.")
        .arg(minutes)
        .arg(minutes == 1 ? QStringLiteral("minute") : QStringLiteral("minutes"));
}

AwaySignOut::AwaySignOut(const Settings &settings,
                         std::function<void(const QString &notice)> signOut, QObject *parent)
    : QObject(parent), m_settings(settings), m_signOut(std::move(signOut)) {
    m_idle.setHeld([this] { return m_pending; });
    m_idle.setLimitMs(qint64(settings.signOutAfterMinutes) * 60 * 1000);
    connect(&m_idle, &IdleWatcher::away, this,
            [this](bool slept) { request(slept ? AwayCause::Suspend : AwayCause::Idle); });
    if (settings.signOutOnScreenLock)
        connect(&m_screenLock, &ScreenLockListener::locked, this,
                [this] { request(AwayCause::ScreenLock); });
}

AwaySignOut::~AwaySignOut() {
    if (m_pending)
        OpenModals::setClosing(false);
}

void AwaySignOut::request(AwayCause cause) {
    if (m_pending)
        return;
    m_pending = true;
    m_cause = cause;
    // Not inside whatever event or handler asked: from the event loop.
    QTimer::singleShot(0, this, &AwaySignOut::tryNow);
}

void AwaySignOut::tryNow() {
    OpenModals::setClosing(true);
    // One window at a time: the handler under it returns before the next
    // one closes.
    OpenModals::closeInnermost();
    if (OpenModals::depth() > 0 || QApplication::activeModalWidget() || modMain::CommandRunning()) {
        QTimer::singleShot(kRetryMs, this, &AwaySignOut::tryNow);
        return;
    }
    if (modMain::UserNo != 0)
        m_signOut(AwayNotice(m_cause, m_settings.signOutAfterMinutes));
    OpenModals::setClosing(false);
    m_pending = false;
    m_idle.noteInput();
    emit signedOut(m_cause);
}

} // namespace privacy

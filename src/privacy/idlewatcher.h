#pragma once

#include "privacy/clock.h"

#include <QObject>
#include <QTimer>

#include <functional>

// Notes the user's input in the program's windows and says when the user
// has been away for longer than the limit.
//
// One event filter on the application sees every key press and mouse input
// before any window does; a timer looks at the clocks now and then. Both
// apply the clock rule of AwaySince, so a suspend longer than the limit is
// found at the first tick after waking, or at the first event the woken
// program gets, before that event reaches a window: the first key press
// after a long suspend signs out instead of reaching the user's data.
namespace privacy {

class IdleWatcher : public QObject {
    Q_OBJECT
public:
    explicit IdleWatcher(QObject *parent = nullptr);
    ~IdleWatcher() override;

    // The limit in milliseconds; 0: never. Starts watching (anew).
    void setLimitMs(qint64 ms);
    qint64 limitMs() const { return m_limitMs; }
    // While `held` says so, input is swallowed and not noted (a sign-out is
    // on its way).
    void setHeld(std::function<bool()> held) { m_held = std::move(held); }

    // The user was here now.
    void noteInput();
    // Tells `away` when the limit has passed since the last input; true
    // then. After telling it, the watcher starts anew.
    bool check();

signals:
    void away(bool slept);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    qint64 m_limitMs = 0;
    Instant m_lastInput;
    QTimer m_tick;
    std::function<bool()> m_held;
};

} // namespace privacy

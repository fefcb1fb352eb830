#include "privacy/idlewatcher.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace privacy {

namespace {

bool isInput(const QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

// Events a program gets when it is seen again, after a suspend for one:
// the clocks are looked at before anything is drawn.
bool isShownAgain(const QEvent *event) {
    switch (event->type()) {
    case QEvent::ApplicationStateChange:
    case QEvent::WindowActivate:
    case QEvent::Expose:
    case QEvent::Show:
        return true;
    default:
        return false;
    }
}

} // namespace

IdleWatcher::IdleWatcher(QObject *parent) : QObject(parent) {
    m_lastInput = ProgramClock().now();
    connect(&m_tick, &QTimer::timeout, this, [this] { check(); });
    QCoreApplication::instance()->installEventFilter(this);
}

IdleWatcher::~IdleWatcher() {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void IdleWatcher::setLimitMs(qint64 ms) {
    m_limitMs = std::max<qint64>(ms, 0);
    noteInput();
    if (m_limitMs == 0) {
        m_tick.stop();
        return;
    }
    // A tenth of the limit, at most a second: a suspend is found within a
    // second of waking, the limit's end within a tenth of it.
    m_tick.start(int(std::clamp<qint64>(m_limitMs / 10, 10, 1000)));
}

void IdleWatcher::noteInput() {
    m_lastInput = ProgramClock().now();
}

bool IdleWatcher::check() {
    if (m_limitMs == 0)
        return false;
    const AwayTime away = AwaySince(m_lastInput, ProgramClock().now());
    if (away.ms < m_limitMs)
        return false;
    noteInput();
    emit this->away(away.slept);
    return true;
}

bool IdleWatcher::eventFilter(QObject *watched, QEvent *event) {
    if (isShownAgain(event)) {
        check();
        return false;
    }
    // Widgets and their windows both see input: only the program's windows
    // are watched, and every one of them is the program's.
    if (!isInput(event) || (!watched->isWidgetType() && !watched->isWindowType()))
        return false;
    if (m_held && m_held())
        return true;
    if (check())
        return true; // the first input after the limit signs out; it reaches nothing
    noteInput();
    return false;
}

} // namespace privacy

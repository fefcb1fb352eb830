#pragma once

#include <functional>
#include <utility>

namespace screens {

// The controls a window makes only when one of them is first used: the
// screens hidden at start-up, which would otherwise be built, laid out and
// named before the window could show its first screen.
class LaterControls {
public:
    explicit LaterControls(std::function<void()> make) : m_make(std::move(make)) {}
    LaterControls(const LaterControls &) = delete;
    LaterControls &operator=(const LaterControls &) = delete;

    // Makes them, once. While they are being made, a use of one not yet
    // made finds none.
    void make() {
        if (m_made || m_making)
            return;
        m_making = true;
        m_make();
        m_making = false;
        m_made = true;
    }
    bool made() const { return m_made; }

private:
    std::function<void()> m_make;
    bool m_made = false;
    bool m_making = false;
};

// A window's member for one of its controls, read as the control's pointer.
// The first use of a control left for later makes it, with all the others
// left for later.
template <class T> class Control {
public:
    explicit Control(LaterControls &later) : m_later(&later) {}
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    // The window's maker hands the control over here.
    Control &operator=(T *control) {
        m_control = control;
        return *this;
    }

    T *get() const {
        if (!m_control)
            m_later->make();
        return m_control;
    }
    T *operator->() const { return get(); }
    operator T *() const { return get(); }

private:
    LaterControls *m_later;
    T *m_control = nullptr;
};

} // namespace screens

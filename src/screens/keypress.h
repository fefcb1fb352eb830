#pragma once

#include <QEvent>

#include <functional>

class QKeyEvent;
class QObject;
class QWidget;

namespace screens {

// Calls `handler` for every character key typed in `widget`, with the
// character code (13 for Enter or Return). A handler that sets the code to 0
// swallows the key: the widget and the window (its default button) never
// see it.
void OnKeyPress(QWidget *widget, std::function<void(int &keyAscii)> handler);

// Calls `handler` for every key pressed in `widget`, whatever the key,
// before the widget sees it; a handler that returns true takes the key (the
// widget never sees it).
void OnKeyDown(QWidget *widget, std::function<bool(const QKeyEvent &key)> handler);

// Calls `handler` whenever `watched` receives an event of `type` (a
// double-click, a mouse press, the focus coming in), before the object
// handles it itself; the event then goes on as usual.
void OnEvent(QObject *watched, QEvent::Type type, std::function<void()> handler);

// True for Enter, which is then swallowed: for the handlers in which Enter
// presses the screen's main button.
inline bool TakeEnter(int &keyAscii) {
    if (keyAscii != 13)
        return false;
    keyAscii = 0;
    return true;
}

// True for Escape, which is then swallowed: for the handlers in which Escape
// leaves a frame instead of closing the window.
inline bool TakeEscape(int &keyAscii) {
    if (keyAscii != 27)
        return false;
    keyAscii = 0;
    return true;
}

} // namespace screens

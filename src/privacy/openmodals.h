#pragma once

#include <functional>

class QDialog;

// The modal windows the program has open (message boxes, questions, file
// dialogs, the sign-in window), so that a sign-out can close them all first.
//
// Every modal window of the program runs through exec() here. A sign-out
// that finds some open sets the closing state and closes them one at a
// time, the innermost first, each answered as its Cancel, No or Back would:
// the handler that opened it goes on as after that answer and returns
// before the window under it closes, so each handler ends in its own order
// (and the status line says what the last one to end says). While the
// state lasts, a window the handlers open is not shown at all and gets the
// same answer at once, so that every handler on the way out ends without
// waiting for anyone.
namespace privacy {

class OpenModals {
public:
    // Runs `dialog` modally and returns its result. `back` is how the user
    // leaves the window without doing anything (its Back button); without
    // it, the window is rejected. In the closing state the window is not
    // shown: `back` runs (when given) and QDialog::Rejected is returned.
    static int exec(QDialog &dialog, const std::function<void()> &back = {});
    // How many of them are open, one inside the other.
    static int depth();

    static bool closing();
    static void setClosing(bool closing);
    // Closes the innermost modal window: one opened through exec() by its
    // `back`, any other (a question a file dialog asks itself) by rejecting
    // it. Nothing when none is open.
    static void closeInnermost();
};

} // namespace privacy

#pragma once

#include <functional>

class QDialog;

// The modal windows the program has open (message boxes, questions, file
// dialogs, the sign-in window), so that a sign-out can close them all first.
//
// Every modal window of the program runs through exec() here. A sign-out
// that finds some open sets the closing state, and closeAll() answers each
// as its Cancel, No or Back would, the innermost first; each handler then
// goes on as after that answer. While the state lasts, a window the
// handlers open is not shown at all and gets the same answer at once, so
// that every handler on the way out ends without waiting for anyone.
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
    // Closes every modal window, the innermost first: those opened through
    // exec() by their `back`, any other (a question a file dialog asks
    // itself) by rejecting it.
    static void closeAll();
};

} // namespace privacy

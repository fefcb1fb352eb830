#include "privacy/openmodals.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>

namespace privacy {

namespace {

struct Open {
    QPointer<QDialog> dialog;
    std::function<void()> back;
};

struct State {
    QList<Open> open; // outermost first
    bool closing = false;
};

State &state() {
    static State s;
    return s;
}

// Leaves one window as its Back button (or rejecting it) would.
void leave(QWidget *window) {
    for (const Open &open : std::as_const(state().open)) {
        if (open.dialog == window && open.back) {
            open.back();
            return;
        }
    }
    if (auto *dialog = qobject_cast<QDialog *>(window))
        dialog->reject();
    else
        window->close();
}

} // namespace

int OpenModals::exec(QDialog &dialog, const std::function<void()> &back) {
    if (state().closing) {
        if (back)
            back();
        return QDialog::Rejected;
    }
    state().open.append({&dialog, back});
    const int result = dialog.exec();
    // Nested windows' execs return innermost first: this one is the last
    // on the list.
    for (qsizetype i = state().open.size() - 1; i >= 0; --i) {
        if (state().open[i].dialog == &dialog) {
            state().open.remove(i);
            break;
        }
    }
    return result;
}

int OpenModals::depth() {
    return int(state().open.size());
}

bool OpenModals::closing() {
    return state().closing;
}

void OpenModals::setClosing(bool closing) {
    state().closing = closing;
}

void OpenModals::closeInnermost() {
    // The active modal window is the innermost one.
    if (QWidget *window = QApplication::activeModalWidget())
        leave(window);
}

} // namespace privacy

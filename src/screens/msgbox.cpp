#include "screens/msgbox.h"

#include "privacy/openmodals.h"
#include "screens/screens.h"

#include <QMessageBox>
#include <QQueue>

namespace screens {

namespace {

struct Script {
    bool on = false;
    QQueue<MsgAnswer> answers;
    QList<ShownMessage> shown;
};

Script &script() {
    static Script s;
    return s;
}

} // namespace

MsgAnswer MsgBox::show(QWidget *parent, const QString &text, MsgButtons buttons,
                       const QString &title) {
    // A sign-out is closing every box: this one is answered at once, unseen,
    // as its No (or its only button) would answer it.
    if (privacy::OpenModals::closing())
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    Script &s = script();
    if (s.on) {
        s.shown.append({text, title, buttons});
        if (!s.answers.isEmpty())
            return s.answers.dequeue();
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }

    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(ShownLineBreaks(text));
    if (buttons == MsgButtons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = privacy::OpenModals::exec(box);
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

void MsgBox::setScripted(bool scripted) {
    script().on = scripted;
}

bool MsgBox::scripted() {
    return script().on;
}

void MsgBox::queueAnswer(MsgAnswer answer) {
    script().answers.enqueue(answer);
}

const QList<ShownMessage> &MsgBox::shown() {
    return script().shown;
}

void MsgBox::reset() {
    script().answers.clear();
    script().shown.clear();
}

} // namespace screens

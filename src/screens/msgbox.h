#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace screens {

// Title of every message box that has no title of its own.
inline const QString kAppTitle = QStringLiteral("Wayfile v2.1");

enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

// One message box as it was shown: for tests to compare texts exactly.
struct ShownMessage {
    QString text;
    QString title;
    MsgButtons buttons = MsgButtons::Ok;
};

// Every message box of the program goes through here. A box shows no icon.
// A sign-out closes an open box as its No (or its only button) would answer
// it, and while it signs out, a box is answered so at once without showing.
//
// Tests switch on scripted mode: no real box is shown, each box takes the
// next queued answer (or OK, respectively No, when none is queued), and every
// box is recorded so its text, title and buttons can be checked.
class MsgBox {
public:
    static MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                          const QString &title = kAppTitle);

    static void setScripted(bool scripted);
    static bool scripted();
    static void queueAnswer(MsgAnswer answer);
    static const QList<ShownMessage> &shown();
    // Forgets the recorded boxes and any queued answers.
    static void reset();
};

} // namespace screens

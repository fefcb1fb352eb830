#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

class QMimeData;

// The clipboard, as the program uses it: an address copied out of a list,
// marked so that clipboard managers that honour the common hint
// ("x-kde-passwordManagerHint" = "secret") keep it out of their history, and
// taken off the clipboard again 30 seconds later, or when the user signs out
// or leaves the program, but only while the clipboard still holds it (what
// the user copied since, from anywhere, stays).
//
// Tests switch on scripted mode: the clipboard is a text and its formats
// held here, another program's copy is made with scriptOtherCopy(), and the
// 30 seconds pass when the test says so (elapse()), not on a timer.
namespace screens {

class Clipboard {
public:
    // How long a copied address stays on the clipboard.
    static constexpr int kClearAfterMs = 30000;

    // Puts `text` on the clipboard, marked as above, and starts the wait
    // after which it is taken off again (a later copy starts it anew).
    static void copySecret(const QString &text);
    // Takes the copied text off the clipboard now when the clipboard still
    // holds it; either way nothing is waited for any more.
    static void clearCopied();

    // Every format the clipboard holds, with its bytes (Ctrl+V's links).
    static QMap<QString, QByteArray> offered();
    // The same of any data offered (a drop's).
    static QMap<QString, QByteArray> offered(const QMimeData *mime);

    static void setScripted(bool scripted);
    static bool scripted();
    // Scripted mode: the clipboard's text and the formats it is offered in.
    static QString text();
    static QStringList formats();
    static QByteArray data(const QString &format);
    // Scripted mode: another program puts `text` on the clipboard.
    static void scriptOtherCopy(const QString &text);
    // Scripted mode: another program puts these formats on the clipboard.
    static void scriptOtherCopy(const QMap<QString, QByteArray> &formats);
    // Scripted mode: the wait that runs, in milliseconds (0 when none does),
    // and letting it pass.
    static int pendingMs();
    static void elapse();
    // Forgets the scripted clipboard, the copied text and the wait.
    static void reset();
};

} // namespace screens

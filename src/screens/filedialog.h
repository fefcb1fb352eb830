#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace screens {

// One file dialog as it was asked for: for tests to compare it.
struct AskedFile {
    QString caption;
    QString start; // the folder it opened in, or the file name it proposed
    bool save = false;
};

// Every file the user chooses goes through here. The dialog is Qt's own, not
// the desktop's, so it looks and behaves the same everywhere: typing a full
// path into its file-name box and pressing Enter chooses that file. A
// sign-out cancels an open dialog, and while it signs out, a dialog is
// cancelled at once without showing.
//
// Tests switch on scripted mode: no dialog is shown, each one takes the next
// queued answer (a path, or "" for Cancel; "" when none is queued), and
// every dialog asked for is recorded.
class FileDialog {
public:
    // An existing file to read, starting in `folder`; "" when cancelled.
    static QString openFile(QWidget *parent, const QString &caption, const QString &folder,
                            const QString &filter);
    // A file to write, proposing `proposed` (a full path); "" when cancelled.
    // Choosing a file that exists asks first whether to replace it.
    static QString saveFile(QWidget *parent, const QString &caption, const QString &proposed,
                            const QString &filter);

    static void setScripted(bool scripted);
    static bool scripted();
    static void queueAnswer(const QString &path);
    static const QList<AskedFile> &asked();
    // Forgets the recorded dialogs and any queued answers.
    static void reset();
};

} // namespace screens

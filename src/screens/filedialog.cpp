#include "screens/filedialog.h"

#include "privacy/openmodals.h"

#include <QFileDialog>
#include <QQueue>

namespace screens {

namespace {

struct Script {
    bool on = false;
    QQueue<QString> answers;
    QList<AskedFile> asked;
};

Script &script() {
    static Script s;
    return s;
}

QString ask(QWidget *parent, const QString &caption, const QString &start, const QString &filter,
            bool save) {
    // A sign-out is closing every window: cancelled at once, unseen.
    if (privacy::OpenModals::closing())
        return QString();
    Script &s = script();
    if (s.on) {
        s.asked.append({caption, start, save});
        return s.answers.isEmpty() ? QString() : s.answers.dequeue();
    }

    QFileDialog dialog(parent, caption, save ? QString() : start, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save)
        dialog.selectFile(start);
    if (privacy::OpenModals::exec(dialog) != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

} // namespace

QString FileDialog::openFile(QWidget *parent, const QString &caption, const QString &folder,
                             const QString &filter) {
    return ask(parent, caption, folder, filter, false);
}

QString FileDialog::saveFile(QWidget *parent, const QString &caption, const QString &proposed,
                             const QString &filter) {
    return ask(parent, caption, proposed, filter, true);
}

void FileDialog::setScripted(bool scripted) {
    script().on = scripted;
}

bool FileDialog::scripted() {
    return script().on;
}

void FileDialog::queueAnswer(const QString &path) {
    script().answers.enqueue(path);
}

const QList<AskedFile> &FileDialog::asked() {
    return script().asked;
}

void FileDialog::reset() {
    script().answers.clear();
    script().asked.clear();
}

} // namespace screens

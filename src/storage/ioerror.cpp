#include "storage/ioerror.h"

namespace modMain {

QString IoError::message() const {
    if (!refusal.isEmpty())
        return refusal;
    QString why = reason;
    if (!why.endsWith(u'.'))
        why += u'.';
    return QStringLiteral("Wayfile could not %1 \"%2\".\r\n\r\nReason: %3").arg(action, file, why);
}

QString IoError::warningMessage() const {
    return QStringLiteral("Wayfile saved \"%1\", but could not make sure that the change is "
                          "safely on disk: a power failure could still undo it.\r\n\r\n"
                          "Reason: The folder \"%2\" could not be flushed to disk (%3).")
        .arg(warning.file, warning.folder, warning.reason);
}

void IoError::note(const IoError &step) {
    if (!warning.isSet())
        warning = step.warning;
}

void IoError::keepFirst(const IoError &step) {
    if (failed())
        note(step);
    else
        take(step);
}

bool IoError::take(const IoError &step) {
    note(step);
    if (!step.failed())
        return true;
    kind = step.kind;
    file = step.file;
    action = step.action;
    reason = step.reason;
    refusal = step.refusal;
    subject = step.subject;
    return false;
}

IoError IoError::failure(const QString &file, const QString &action, const QString &reason) {
    IoError result;
    result.kind = Kind::File;
    result.file = file;
    result.action = action;
    result.reason = reason;
    return result;
}

IoError IoError::refused(Kind kind, const QString &message, const QString &subject) {
    IoError result;
    result.kind = kind;
    result.refusal = message;
    result.subject = subject;
    return result;
}

} // namespace modMain

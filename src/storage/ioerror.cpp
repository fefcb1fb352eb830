#include "storage/ioerror.h"

#include <cerrno>

namespace modMain {

QString FieldName(Field field) {
    switch (field) {
    case Field::UserName:
        return QStringLiteral("User Name");
    case Field::Password:
        return QStringLiteral("Password");
    case Field::CategoryName:
        return QStringLiteral("Category Name");
    case Field::Url:
        return QStringLiteral("URL");
    case Field::Description:
        return QStringLiteral("Description");
    case Field::None:
        break;
    }
    return QString();
}

bool IoError::diskFull() const {
    return kind == Kind::File && (systemError == ENOSPC || systemError == EDQUOT);
}

QString IoError::message() const {
    if (!refusal.isEmpty())
        return refusal;
    QString why = reason;
    if (!why.endsWith(u'.'))
        why += u'.';
    if (doing.isEmpty())
        return QStringLiteral("Wayfile could not %1 \"%2\".\r\n\r\nReason: %3")
            .arg(action, file, why);
    QString text = QStringLiteral("%1, but could not %2 \"%3\".\r\n\r\nReason: %4")
                       .arg(doing, action, file, why);
    if (!advice.isEmpty())
        text += QStringLiteral("\r\n\r\n") + advice;
    return text;
}

QString IoError::warningMessage() const {
    QString done;
    switch (warning.kind) {
    case NotSynced::Kind::Saved:
        done = QStringLiteral("Wayfile saved \"%1\"").arg(warning.file);
        break;
    case NotSynced::Kind::Created:
        done = QStringLiteral("Wayfile created \"%1\"").arg(warning.file);
        break;
    case NotSynced::Kind::CreatedEmpty:
        done = QStringLiteral("Wayfile created the empty file \"%1\"").arg(warning.file);
        break;
    case NotSynced::Kind::Removed:
        done = QStringLiteral("Wayfile removed \"%1\"").arg(warning.file);
        break;
    case NotSynced::Kind::Moved:
        done = QStringLiteral("Wayfile moved \"%1\" to \"%2\"").arg(warning.file, warning.movedTo);
        break;
    }
    return done +
           QStringLiteral(", but could not make sure that the change is safely on disk: a power "
                          "failure could still undo it.\r\n\r\nReason: The folder \"%1\" could "
                          "not be flushed to disk (%2).\r\n\r\nPlease check the disk: it may be "
                          "full, failing or no longer connected. After a power failure, see "
                          "whether the change is still there, and make it again if it is not.")
               .arg(warning.folder, warning.reason);
}

IoError &IoError::during(const QString &doingText, const QString &adviceText) {
    if (kind == Kind::File && doing.isEmpty()) {
        doing = doingText;
        advice = adviceText;
    }
    return *this;
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
    systemError = step.systemError;
    refusal = step.refusal;
    subject = step.subject;
    doing = step.doing;
    advice = step.advice;
    return false;
}

IoError IoError::failure(const QString &file, const QString &action, const QString &reason,
                         int systemError) {
    IoError result;
    result.kind = Kind::File;
    result.file = file;
    result.action = action;
    result.reason = reason;
    result.systemError = systemError;
    return result;
}

IoError IoError::refused(Kind kind, const QString &message, Field subject) {
    IoError result;
    result.kind = kind;
    result.refusal = message;
    result.subject = subject;
    return result;
}

} // namespace modMain

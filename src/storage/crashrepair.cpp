#include "storage/crashrepair.h"

#include "storage/datafile.h"
#include "storage/folderentries.h"
#include "storage/journal.h"

#include <cerrno>

namespace modMain {

QString LookingForCutShort(const Occasion &o) {
    return QStringLiteral("Wayfile was looking in %1 for changes that were cut short")
        .arg(o.folder);
}

QString ClearingAway(const Occasion &o) {
    return QStringLiteral("Wayfile was clearing away what an interrupted change left in %1")
        .arg(o.folder);
}

QString NothingChanged(const Occasion &o) {
    return QStringLiteral("Nothing was changed. Wayfile tries again at %1.").arg(o.next);
}

QString UnfinishedCopy(const Occasion &o) {
    return QStringLiteral("Your data are all kept: the file left behind is an unfinished copy "
                          "that Wayfile never reads. Wayfile tries again at %1; you may also "
                          "delete that file yourself.")
        .arg(o.next);
}

QString FinishingChange(const QString &folder) {
    QString change;
    switch (folder.isEmpty() ? RecordedChange::Unknown : ChangeRecordedIn(folder)) {
    case RecordedChange::Import:
        change = QStringLiteral("an import of bookmarks");
        break;
    case RecordedChange::PasswordChange:
        change = QStringLiteral("a password change");
        break;
    case RecordedChange::AccountDeletion:
        change = QStringLiteral("the deletion of an ID");
        break;
    case RecordedChange::Unknown:
        change = QStringLiteral("a change of several files (an import, a password change or the "
                                "deletion of an ID)");
        break;
    }
    return QStringLiteral("Wayfile was finishing or undoing %1 that was cut short").arg(change);
}

QString JournalKept(const Occasion &o, const IoError &failure, const QString &folder) {
    const QString journal = folder.isEmpty() ? kJournalName : JournalPath(folder);
    const QString halfChanged =
        QStringLiteral("Until that change is finished, the files it changes are half-changed, "
                       "and Wayfile makes no other change of them.");
    if (failure.reason == kChangedSinceReason)
        return halfChanged +
               QStringLiteral(" Nothing was cut back, deleted or replaced: the record of the "
                              "change is kept in \"%1\", and any new versions it had written are "
                              "kept beside their files, under names ending in \".kept\". If "
                              "something is missing, close Wayfile and restore the folder from a "
                              "backup. If everything you need is there, close Wayfile, delete "
                              "\"%1\" and start Wayfile again.")
                   .arg(journal);
    QString advice;
    switch (failure.systemError) {
    case 0:
        // Nothing failed on the disk: the journal itself cannot be read.
        return halfChanged +
               QStringLiteral(" The record of that change, \"%1\", is kept as it is; it may "
                              "have been written by another version of Wayfile. Finish the "
                              "change with the version that made it, or close Wayfile and "
                              "restore the folder from a backup.")
                   .arg(journal);
    case ENOSPC:
    case EDQUOT:
        advice = QStringLiteral("Please free some space on the disk, then close Wayfile and start "
                                "it again.");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        advice = QStringLiteral("Please make sure that Wayfile may write to its folder and the "
                                "files in it (the disk may be read-only, or their permissions "
                                "changed), then close Wayfile and start it again.");
        break;
    default:
        advice = QStringLiteral("Please check the disk: it may be failing or no longer "
                                "connected. Then close Wayfile and start it again.");
        break;
    }
    return QStringLiteral("Nothing is lost: the record of that change is kept, and Wayfile tries "
                          "again at %1. ")
               .arg(o.next) +
           halfChanged + u' ' + advice;
}

IoError KeepAside(const QString &path, QString *keptAs) {
    keptAs->clear();
    for (int n = 1; n <= 99; ++n) {
        const QString candidate = path + kKeptSuffix + (n > 1 ? QString::number(n) : QString());
        if (KindOfEntry(candidate) == EntryKind::Absent) {
            IoError err = MoveAside(path, candidate);
            if (!err.failed())
                *keptAs = candidate;
            return err;
        }
    }
    return IoError::failure(path, QStringLiteral("move away"),
                            QStringLiteral("Every name it could take is in use"));
}

IoError RemoveUnfinishedCopy(const QString &path, const Occasion &o) {
    return RemoveFile(path).during(ClearingAway(o), UnfinishedCopy(o));
}

} // namespace modMain

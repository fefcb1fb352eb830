#include "storage/crashrepair.h"

#include "storage/datafile.h"

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

QString JournalKept(const Occasion &o) {
    return QStringLiteral("Nothing is lost: the record of that change is kept, and Wayfile tries "
                          "again at %1. Please check that the disk has room and that Wayfile may "
                          "write to its folder.")
        .arg(o.next);
}

IoError RemoveUnfinishedCopy(const QString &path, const Occasion &o) {
    return RemoveFile(path).during(ClearingAway(o), UnfinishedCopy(o));
}

} // namespace modMain

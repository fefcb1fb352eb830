#include "userdata/takeback.h"

#include "storage/journal.h"
#include "storage/records.h"

namespace modMain {

Change TakeOutRecords(const QString &folder, AppendedRecords *records) {
    Change change;
    Journal journal(folder);
    for (const AppendedRecords::File &file : std::as_const(records->files)) {
        if (!change.error.take(journal.willReplace(file.path)))
            return change;
    }
    if (!change.error.take(journal.begin()))
        return change;
    for (AppendedRecords::File &file : records->files) {
        file.lines.clear();
        qsizetype dropped = 0;
        IoError err = journal.writeNewVersion(
            file.path,
            [&file](QByteArrayView &line, bool *keep) {
                const QLatin1StringView text(line);
                const qsizetype sep = FindFieldSep(text, 0);
                if (sep < 0 || !file.numbers.contains(FieldKeyNumber(text.first(sep))))
                    return false;
                file.lines += line;
                file.lines += "\r\n";
                *keep = false;
                return true;
            },
            &dropped);
        if (!err.failed() && dropped == 0)
            err = IoError::refused(IoError::Kind::NoRecord,
                                   QStringLiteral("Sorry, what was imported is no longer in "
                                                  "the files, so nothing was taken back."));
        if (err.failed()) {
            change.error = journal.abandon(err);
            return change;
        }
    }
    bool committed = false;
    change.error.take(journal.commit(&committed));
    change.changed = committed;
    return change;
}

Change PutBackRecords(const QString &folder, const AppendedRecords &records) {
    Change change;
    Journal journal(folder);
    for (const AppendedRecords::File &file : records.files) {
        if (!change.error.take(journal.willAppendTo(file.path)))
            return change;
    }
    if (!change.error.take(journal.begin()))
        return change;
    for (const AppendedRecords::File &file : records.files) {
        if (IoError err = journal.append(file.path, file.lines); err.failed()) {
            change.error = journal.abandon(err);
            return change;
        }
    }
    bool committed = false;
    change.error.take(journal.commit(&committed));
    change.changed = committed;
    return change;
}

} // namespace modMain

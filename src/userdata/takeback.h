#pragma once

#include "storage/ioerror.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// Taking back records that a change appended to several files (an import),
// and making them again: each one journaled change (storage/journal.h), so
// that after a crash at any step the records are all in their files or none
// of them is.
namespace modMain {

// Records appended to the files of a user, by file.
struct AppendedRecords {
    struct File {
        QString path;
        QSet<qint64> numbers; // the records' numbers (their keys)
        QByteArray lines;     // the records' lines as taken out, each with CR LF
    };
    QList<File> files;
};

// Takes the records out of their files, every other line kept byte for
// byte, and keeps their lines in `records` for PutBackRecords. Refused
// (NoRecord) when a file holds none of them any more.
Change TakeOutRecords(const QString &folder, AppendedRecords *records);

// Appends the lines TakeOutRecords took back to the end of their files.
Change PutBackRecords(const QString &folder, const AppendedRecords &records);

} // namespace modMain

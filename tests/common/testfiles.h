#pragma once

// Reading data files back in tests, and faults through the disk-call seam.
// Shared by the storage tests and the window tests.

#include "categories/categoryindex.h"
#include "storage/cipher.h"
#include "storage/datafile.h"
#include "storage/records.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The whole content of a file, or "<unreadable>" when it cannot be read, so
// that a missing file never passes for an empty one.
inline QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The lines of a file, each with its line end ("\n" or "\r\n" as stored).
inline QList<QByteArray> FileLines(const QString &path) {
    QList<QByteArray> lines = FileBytes(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        line += '\n';
    return lines;
}

// "number name" for every line of a category index, deciphered, in file
// order.
inline QStringList DecodedIndex(const QString &path) {
    QStringList out;
    for (const QByteArray &raw : FileBytes(path).split('\n')) {
        if (raw.isEmpty())
            continue;
        const QStringList fields = modMain::CategoryFields(QString::fromLatin1(raw.chopped(1)));
        out << QStringLiteral("%1 %2")
                   .arg(modMain::CategoryNumber(fields))
                   .arg(modMain::DecodeField(fields.value(1)));
    }
    return out;
}

// A six-digit cipher group that matches no character, so that it deciphers
// to "{": what a damaged field holds where a digit was lost or changed.
inline QString NoMatchGroup() {
    for (int target = 0; target <= 9999; ++target) {
        const QString group = QStringLiteral("%1%2%3")
                                  .arg(target / 100, 2, 10, QLatin1Char('0'))
                                  .arg(QStringLiteral("01"))
                                  .arg(target % 100, 2, 10, QLatin1Char('0'));
        if (modMain::DecryptCore(group) == QStringLiteral("{"))
            return group;
    }
    return QString();
}

// Replaces the disk calls while it lives; the system's own calls are back
// when it goes, however the test ends.
class DiskCallsOverride {
public:
    explicit DiskCallsOverride(modMain::DiskCalls calls) {
        modMain::SetDiskCalls(std::move(calls));
    }
    ~DiskCallsOverride() { modMain::SetDiskCalls({}); }
    DiskCallsOverride(const DiskCallsOverride &) = delete;
    DiskCallsOverride &operator=(const DiskCallsOverride &) = delete;
};

inline bool IsFolderDescriptor(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

// Every write fails with `error` (ENOSPC: a full disk); nothing reaches the
// file.
inline modMain::DiskCalls WritesFail(int error) {
    return modMain::DiskCalls{.write = [error](int, const char *, qint64) -> qint64 {
        errno = error;
        return -1;
    }};
}

// Flushing a file (not a folder) fails with `error`; writes go through.
inline modMain::DiskCalls FileSyncFails(int error) {
    return modMain::DiskCalls{.sync = [error](int fd) {
        if (IsFolderDescriptor(fd))
            return ::fsync(fd);
        errno = error;
        return -1;
    }};
}

// Flushing a folder fails with `error`: the change is made but may not be
// safe on disk yet.
inline modMain::DiskCalls FolderSyncFails(int error) {
    return modMain::DiskCalls{.sync = [error](int fd) {
        if (!IsFolderDescriptor(fd))
            return ::fsync(fd);
        errno = error;
        return -1;
    }};
}

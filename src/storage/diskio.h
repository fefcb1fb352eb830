#pragma once

#include "storage/datafile.h"

#include <QByteArrayView>
#include <QString>

// The data-file layer's own system calls, for the parts of that layer that
// live in files of their own (the journal). They are the calls every writer
// of datafile.cpp makes: through the disk-call seam (SetDiskCalls), retried
// on EINTR, and with the same checks. Nothing outside src/storage uses them.
namespace modMain::diskio {

// What was being done to a file when it failed, as messages name it.
inline const QString kRead = QStringLiteral("read");
inline const QString kWriteTo = QStringLiteral("write to");
inline const QString kCreate = QStringLiteral("create");
inline const QString kDelete = QStringLiteral("delete");

// A failure of `action` on `file` for the system's `errorCode`, in the words
// of every other failure of the layer (a refused permission on an entry of
// another system account says so).
IoError Failed(const QString &file, const QString &action, int errorCode);

// The change to `file` (`kind`) was made, but `folder` could not be flushed
// to disk (`errorCode`): the warning that says so.
IoError NotSyncedWarning(const QString &file, NotSynced::Kind kind, const QString &folder,
                         int errorCode);

// Opens a data file that must be a regular file, as every reader and writer
// opens one: never blocking, refusing folders, pipes, devices and links that
// lead nowhere, a new file (O_CREAT) owner-only, `*created` telling whether
// this call made it. Returns the descriptor (the caller closes it), or -1
// with the failure, reported as one to `action` the file, in `*err`.
int OpenDataFile(const QString &path, int flags, const QString &action, IoError *err,
                 bool *created = nullptr);

// Writes all of `data` (DiskCalls::write). Returns 0 or the errno.
int WriteAll(int fd, QByteArrayView data);

// Flushes a file's data to disk (DiskCalls::sync). Returns 0 or the errno.
int SyncFile(int fd);

// Flushes a folder's entries to disk (DiskCalls::sync); a file system that
// cannot sync a folder counts as done. Returns 0 or the errno.
int SyncFolder(const QString &folder);

// rename(2) (DiskCalls::rename): replaces an entry at `to`. Returns 0 or the
// errno.
int Rename(const QString &from, const QString &to);

// unlink(2) (DiskCalls::remove). Returns 0 or the errno.
int Remove(const QString &path);

// Makes a write past the file-size limit fail with EFBIG instead of ending
// the process (see datafile.cpp).
void IgnoreFileSizeSignal();

} // namespace modMain::diskio

#pragma once

#include "storage/datafile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cerrno>
#include <cstring>
#include <vector>

#include <unistd.h>

// The data-file layer's own system calls, for the parts of that layer that
// live in files of their own (the journal). They are the calls every writer
// of datafile.cpp makes: through the disk-call seam (SetDiskCalls), retried
// on EINTR, and with the same checks. Nothing outside src/storage uses them.
namespace modMain::diskio {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes the descriptor and returns 0, or the errno of a failed close.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) != 0 && errno != EINTR ? errno : 0;
    }

private:
    int fd_;
};

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
// this call made it. Returns the descriptor, not valid with the failure,
// reported as one to `action` the file, in `*err`.
FileDescriptor OpenDataFile(const QString &path, int flags, const QString &action, IoError *err,
                            bool *created = nullptr);

// Cuts a data file to its first `length` bytes and flushes it; a failure is
// one to `action` the file.
IoError CutFile(const QString &path, qint64 length, const QString &action);

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

// The line rule of every reader. A line ends at a LF; a CR right before the
// LF belongs to the line end (CR LF), any other CR to the line. Reads an open
// file a block at a time and hands `visit` (bool(QByteArrayView text,
// QByteArrayView end)) every line in file order, without and with its line
// end (empty for a last line without one); only one line is held in memory
// at a time. `visit` returns false to stop early. The lines are views into a
// buffer that the next read reuses: `handed` (no arguments) is called
// whenever the lines handed so far are about to go. Returns 0, or the errno
// of a failed read.
template <typename Visit, typename Handed> int ReadLines(int fd, Visit &&visit, Handed &&handed) {
    // Hands the lines of `bytes` that a LF ends; returns how many bytes they
    // took (the rest goes on in the next block), or -1 when `visit` stopped.
    auto handEnded = [&visit](QByteArrayView bytes) -> qsizetype {
        const char *begin = bytes.data();
        const char *next = begin;
        const char *end = begin + bytes.size();
        while (const void *found = std::memchr(next, '\n', size_t(end - next))) {
            const char *lf = static_cast<const char *>(found);
            const char *textEnd = lf > next && lf[-1] == '\r' ? lf - 1 : lf;
            if (!visit(QByteArrayView(next, textEnd - next),
                       QByteArrayView(textEnd, lf + 1 - textEnd)))
                return -1;
            next = lf + 1;
        }
        return next - begin;
    };
    constexpr qsizetype kChunk = 64 * 1024;
    std::vector<char> chunk(kChunk);
    QByteArray pending; // the start of a line that goes on in the next block
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), kChunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            break;
        QByteArrayView rest(chunk.data(), got);
        if (!pending.isEmpty()) {
            // The line that began in an earlier block ends here, or goes on.
            const qsizetype lf = rest.indexOf('\n');
            pending.append(rest.first(lf < 0 ? rest.size() : lf + 1));
            if (lf < 0)
                continue;
            if (handEnded(pending) < 0)
                return 0;
            handed();
            pending.resize(0);
            rest = rest.sliced(lf + 1);
        }
        const qsizetype used = handEnded(rest);
        if (used < 0)
            return 0;
        handed();
        pending.append(rest.sliced(used));
    }
    // A last line without line end.
    if (!pending.isEmpty() && visit(QByteArrayView(pending), QByteArrayView()))
        handed();
    return 0;
}

// Makes a write past the file-size limit fail with EFBIG instead of ending
// the process (see datafile.cpp).
void IgnoreFileSizeSignal();

} // namespace modMain::diskio

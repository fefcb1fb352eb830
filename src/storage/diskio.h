#pragma once

#include "storage/datafile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

// The data-file layer's own primitives, for the parts of that layer that
// live in files of their own (the journal): the system calls every writer of
// datafile.cpp makes, through the disk-call seam (SetDiskCalls), retried on
// EINTR, and with the same checks; the one replacement of a file's content
// and the one append. Nothing outside src/storage uses them.
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

// Which file an append writes to.
enum class AppendTo {
    AnyFile,  // the file as it is, made (owner-only) when absent
    NewFile,  // a file the append makes (owner-only); one there already is
              // refused ("File exists"): it is not the append's to undo
    KnownFile // the file as it was seen before: it must be there and still
              // of the length given, else the append is refused
};

// Appends `bytes` (whole lines, each with its line end) to a data file, as
// AppendLine appends its record: the file held alone (an exclusive lock on
// it) from reading its end to the cut-back of a failed write; when its last
// line lacks a line end, a CR LF first; everything in a single write on a
// descriptor opened for appending, so that it always lands at the current
// end of the file; then flushed to disk (a close that fails after that loses
// nothing and is no failure). If the write or the flush fails, the file is
// cut back to its old length (a file this call made is removed again).
// `*madeFile` (when given) tells whether this call made the file. A file
// made is not flushed into its folder: the caller does that (AppendLine at
// once, a journal at its commit). `beforeWrite` (when given) hears the exact
// bytes that go out (the line end a last line lacked included), while the
// file is held and before anything is written; a failure it returns stops
// the append with nothing written (a file this call made is removed again).
IoError AppendBytes(const QString &path, QByteArrayView bytes, AppendTo to = AppendTo::AnyFile,
                    qint64 length = 0, bool *madeFile = nullptr,
                    const std::function<IoError(QByteArrayView written)> &beforeWrite = {});

// The new content of a data file on its way in: a new file beside the file
// it replaces (beside the file a link leads to, which keeps its place and its
// permissions; a new file is the owner's only), written as the content comes.
// Once it is complete it takes the file's place in one atomic step
// (commit()), or it is kept under its own name for someone else to put in
// place later (keep()). Until then the old file is untouched; a new file
// neither committed nor kept is removed again.
class Replacement {
public:
    Replacement() = default;
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;
    ~Replacement();

    // Makes the new file for `path`: under a temporary name (one that
    // IsRewriteLeftover knows) or, when `keptAs` is given, under that name,
    // which must be free and lie in the folder of the file really replaced.
    // The file is refused as a rewrite refuses it. Every failure of the
    // replacement is a failure to write to `path`.
    IoError start(const QString &path, const QString &keptAs = QString());

    // Adds `bytes` to the new content. Short pieces are gathered into blocks,
    // so that a content of many lines still takes few writes. Returns 0, or
    // the errno of a failed write.
    int write(QByteArrayView bytes);

    // Puts the new content in the file's place: written out, flushed to
    // disk, renamed over the file, and its folder flushed.
    IoError commit();

    // Writes the new content out and flushes it to disk, and leaves it under
    // its name (keptAs), which no longer goes with this object. Its folder is
    // not flushed.
    IoError keep();

    // Gives the new content up at once: its file is removed. A failure is
    // one to delete that file.
    IoError discard();

    // Gives up for the reason `error`, reported as a failure to write.
    IoError fail(int error);

private:
    IoError finishWriting();
    int flush();
    void abandon();

    QString path_;
    QString target_;  // the file really replaced
    QByteArray name_; // the new file's name while this object must remove it
    FileDescriptor file_;
    QByteArray block_; // bytes not written yet
};

// What a new content of `path` replaces: `*target`, the file itself or the
// one a link to it leads to, and `*mode`, its permissions (0600 for a new
// file). Refuses, as a failure to write to `path`, what is no data file, a
// file its user may not write to and a link that leads nowhere. A look-up
// that fails is left to the caller: `*statError` holds its errno (ENOENT
// when there is no such file, 0 when there is).
IoError ReplacedTarget(const QString &path, QString *target, mode_t *mode, int *statError);

// mkdir(2) (DiskCalls::makeFolder) of a folder readable by its owner only,
// whatever the umask. Returns 0, or the errno of the failure, which leaves
// no folder behind.
int MakeOwnerFolder(const QString &path);

// rmdir(2) (DiskCalls::removeFolder). Returns 0 or the errno.
int RemoveEmptyFolder(const QString &path);

// lstat(2) (DiskCalls::lstat): the entry itself, a link not followed.
// Returns 0 or the errno.
int EntryStatus(const QString &path, struct stat *st);

// stat(2) (DiskCalls::stat): a link followed. Returns 0 or the errno.
int FileStatus(const QString &path, struct stat *st);

// access(2) (DiskCalls::access). Returns 0 or the errno.
int Access(const QString &path, int mode);

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

#include "storage/datafile.h"

#include "storage/diskio.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modMain {

namespace {

using diskio::FileDescriptor;
using diskio::kCreate;
using diskio::kDelete;
using diskio::kRead;
using diskio::kWriteTo;
using diskio::Replacement;
const QString kMoveAway = QStringLiteral("move away");
const QString kMoveBack = QStringLiteral("move back");
const QString kRename = QStringLiteral("rename");

// Between a rewritten file's name and the six characters that make it fresh.
constexpr char kRewriteInfix[] = ".rewrite-";
constexpr int kRewriteUniqueChars = 6;

QString systemReason(int errorCode) {
    return qt_error_string(errorCode);
}

DiskCalls &diskCalls() {
    static DiskCalls calls;
    return calls;
}

qint64 diskWrite(int fd, const char *data, qint64 size) {
    const DiskCalls &calls = diskCalls();
    return calls.write ? calls.write(fd, data, size) : ::write(fd, data, size_t(size));
}

int diskSync(int fd) {
    const DiskCalls &calls = diskCalls();
    return calls.sync ? calls.sync(fd) : ::fsync(fd);
}

int diskRename(const char *from, const char *to) {
    const DiskCalls &calls = diskCalls();
    return calls.rename ? calls.rename(from, to) : ::rename(from, to);
}

int diskRemove(const char *path) {
    const DiskCalls &calls = diskCalls();
    return calls.remove ? calls.remove(path) : ::unlink(path);
}

int diskMakeFolder(const char *path, mode_t mode) {
    const DiskCalls &calls = diskCalls();
    return calls.makeFolder ? calls.makeFolder(path, mode) : ::mkdir(path, mode);
}

int diskRemoveFolder(const char *path) {
    const DiskCalls &calls = diskCalls();
    return calls.removeFolder ? calls.removeFolder(path) : ::rmdir(path);
}

int diskTruncate(int fd, qint64 length) {
    const DiskCalls &calls = diskCalls();
    return calls.truncate ? calls.truncate(fd, length) : ::ftruncate(fd, off_t(length));
}

// open(2), retried when a signal interrupts it.
int diskOpen(const char *path, int flags, mode_t mode = 0) {
    const DiskCalls &calls = diskCalls();
    int fd;
    do
        fd = calls.open ? calls.open(path, flags, mode) : ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int diskStat(const char *path, struct stat *st) {
    const DiskCalls &calls = diskCalls();
    return calls.stat ? calls.stat(path, st) : ::stat(path, st);
}

int diskLstat(const char *path, struct stat *st) {
    const DiskCalls &calls = diskCalls();
    return calls.lstat ? calls.lstat(path, st) : ::lstat(path, st);
}

int diskAccess(const char *path, int mode) {
    const DiskCalls &calls = diskCalls();
    return calls.access ? calls.access(path, mode) : ::access(path, mode);
}

// The name of a system account, or its number when it has no name.
QString accountName(uid_t uid) {
    struct passwd entry;
    struct passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("number %1").arg(uid);
}

// The system's reason for a failure on `path`. A refused permission usually
// means that the data were made by another system account (an installation
// copied or moved without handing its files over): when the entry itself,
// or else the folder that holds it, belongs to another account than the one
// running the program, the reason says so and where to read what to do.
QString reasonAt(const QString &path, int errorCode) {
    const QString reason = systemReason(errorCode);
    if (errorCode != EACCES && errorCode != EPERM)
        return reason;
    const uid_t me = ::geteuid();
    struct stat st;
    QString whose;
    if (diskLstat(QFile::encodeName(path).constData(), &st) == 0) {
        if (st.st_uid != me)
            whose = S_ISDIR(st.st_mode) ? QStringLiteral("the folder") : QStringLiteral("the file");
    }
    if (whose.isEmpty()) {
        const QString folder = QFileInfo(path).absolutePath();
        if (diskStat(QFile::encodeName(folder).constData(), &st) != 0 || st.st_uid == me)
            return reason;
        whose = QStringLiteral("the folder \"%1\"").arg(folder);
    }
    return QStringLiteral("%1: %2 belongs to another system account (\"%3\"), and only that "
                          "account may change it. The readme.txt beside the program says how to "
                          "move an installation to another account")
        .arg(reason, whose, accountName(st.st_uid));
}

IoError failed(const QString &file, const QString &action, int errorCode) {
    return IoError::failure(file, action, reasonAt(file, errorCode), errorCode);
}

// The change to `file` (`kind`, and for a move the name it has now) was
// made, but `folder` could not be flushed to disk (`errorCode`).
IoError notSynced(const QString &file, NotSynced::Kind kind, const QString &movedTo,
                  const QString &folder, int errorCode) {
    IoError result;
    result.warning = NotSynced{file, folder, systemReason(errorCode), kind, movedTo};
    return result;
}

// Writes all of `data`: normally in one write. A full disk or a file-size
// limit usually shows first as a short write, which carries no reason; the
// rest is written again, and that write fails with the reason (ENOSPC,
// EFBIG). Returns 0, or the errno of the failure.
int writeAll(int fd, QByteArrayView data) {
    const char *next = data.data();
    qint64 left = data.size();
    while (left > 0) {
        errno = 0;
        const qint64 written = diskWrite(fd, next, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno ? errno : EIO;
        }
        if (written == 0)
            return EIO; // no progress and no reason: never loop for ever
        next += written;
        left -= written;
    }
    return 0;
}

// Flushes a file's data to disk. Returns 0, or the errno of the failure.
int syncFile(int fd) {
    errno = 0;
    while (diskSync(fd) != 0) {
        if (errno != EINTR)
            return errno ? errno : EIO;
    }
    return 0;
}

// Flushes a folder's entries to disk, so that a file or folder just created,
// renamed or removed inside it stays so after a power failure. Returns 0, or
// the errno of the failure.
int syncFolder(const QString &folder) {
    const int fd = diskOpen(QFile::encodeName(folder).constData(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    const int error = syncFile(fd);
    ::close(fd);
    // Some file systems cannot sync a folder; their entries are as safe as
    // they get already.
    return error == EINVAL || error == ENOTSUP ? 0 : error;
}

// Flushes the folder of `changed` after a change of its entry (`kind`; for
// a move, `changed` is the old name and `movedTo` the new one, in the same
// folder): the change stands either way, a failed flush only adds a warning.
IoError syncFolderOf(const QString &changed, NotSynced::Kind kind,
                     const QString &movedTo = QString()) {
    const QString folder = QFileInfo(movedTo.isEmpty() ? changed : movedTo).absolutePath();
    if (const int error = syncFolder(folder))
        return notSynced(changed, kind, movedTo, folder, error);
    return IoError();
}

// The default action of SIGXFSZ ends the process, with a core dump, inside
// the write that crosses the file-size limit: before the half-written record
// can be cut back and before the user is told anything. Ignored, the same
// write fails with EFBIG ("File too large") and takes the ordinary path of a
// failed write. The program has no other use for the signal, so it is
// ignored for the whole process, by every writer before it writes (cheap,
// and it holds whoever calls the writer first).
void ignoreFileSizeSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

// What a file-system entry that is not a regular file is, in plain words:
// empty for a regular file.
QString kindOfSpecial(mode_t mode) {
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("of an unknown kind");
}

// Why an entry cannot be used where a regular file is expected; empty when
// it can.
QString notAFileReason(mode_t mode) {
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file");
    return QStringLiteral("It is not a regular file (%1)").arg(kindOfSpecial(mode));
}

// When `path` is a symbolic link whose target does not exist, says so in
// plain words; otherwise returns an empty text.
QString danglingLinkReason(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (diskLstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return QString();
    if (diskStat(name.constData(), &st) == 0 || errno != ENOENT)
        return QString();
    return QStringLiteral("It is a link to \"%1\", which does not exist")
        .arg(QFile::symLinkTarget(path));
}

// Opens a data file that must be a regular file, with `flags` (O_RDONLY,
// O_RDWR, O_APPEND, O_CREAT...). Never blocks: the entry is inspected
// first, the open itself is non-blocking (a pipe would otherwise wait for a
// writer), and the opened file is checked again, in case the entry was
// replaced in between. With O_CREAT the new file is owner-only and
// `*created` tells whether this call made it. A failure is reported as a
// failure to `action` the file.
FileDescriptor openDataFile(const QString &path, int flags, const QString &action, IoError *err,
                            bool *created = nullptr) {
    if (created)
        *created = false;
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (diskStat(name.constData(), &st) == 0) {
        if (const QString why = notAFileReason(st.st_mode); !why.isEmpty()) {
            *err = IoError::failure(path, action, why);
            return FileDescriptor();
        }
    } else if (errno == ENOENT) {
        if (const QString why = danglingLinkReason(path); !why.isEmpty()) {
            *err = IoError::failure(path, action, why);
            return FileDescriptor();
        }
    }

    const int always = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = -1;
    if (flags & O_CREAT) {
        // Exclusive first, so that the caller knows whether it made the file.
        fd = diskOpen(name.constData(), flags | always | O_EXCL, S_IRUSR | S_IWUSR);
        if (fd >= 0) {
            // The umask may take the owner's own rights away (0222 would
            // leave a file nobody can write to again): the mode is set
            // outright.
            if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
                const int error = errno;
                ::close(fd);
                diskRemove(name.constData());
                *err = failed(path, action, error);
                return FileDescriptor();
            }
            if (created)
                *created = true;
        }
        if (fd < 0 && errno == EEXIST)
            flags &= ~O_CREAT; // there already (or made in the meantime): open it
    }
    if (fd < 0 && !(flags & O_CREAT))
        fd = diskOpen(name.constData(), flags | always);
    if (fd < 0) {
        const int error = errno;
        const QString why = danglingLinkReason(path);
        *err = IoError::failure(path, action, why.isEmpty() ? reasonAt(path, error) : why, error);
        return FileDescriptor();
    }
    FileDescriptor file(fd);
    if (::fstat(fd, &st) != 0) {
        *err = failed(path, action, errno);
        return FileDescriptor();
    }
    if (const QString why = notAFileReason(st.st_mode); !why.isEmpty()) {
        *err = IoError::failure(path, action, why);
        return FileDescriptor();
    }
    // A regular file never blocks; the flag is cleared all the same, so that
    // the descriptor behaves as an ordinary one.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return file;
}

} // namespace

void SetDiskCalls(DiskCalls calls) {
    diskCalls() = std::move(calls);
}

IoError FileHasData(const QString &path, bool *hasData) {
    *hasData = false;
    if (path.trimmed().isEmpty())
        return IoError();
    // Opened for reading, and created empty when absent, as opening it for
    // byte access would.
    IoError err;
    bool created = false;
    FileDescriptor file = openDataFile(path, O_RDONLY | O_CREAT, kRead, &err, &created);
    if (!file.valid())
        return err;
    if (created) {
        file.close();
        return syncFolderOf(path, NotSynced::Kind::CreatedEmpty); // new and therefore empty
    }
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failed(path, kRead, errno);
    *hasData = st.st_size > 0;
    return IoError();
}

namespace {

// Reads an open data file a line at a time by the line rule of every reader
// (diskio::ReadLines) and hands the bytes of each line, without its line
// end, to `visit` (bool(QByteArrayView)) in file order; `visit` returns false
// to stop early. The lines are views into a buffer that the next read
// reuses: `handed` (no arguments) is called whenever the lines handed so far
// are about to go.
template <typename Visit, typename Handed>
IoError readLines(int fd, const QString &path, Visit &&visit, Handed &&handed) {
    const int error = diskio::ReadLines(
        fd, [&visit](QByteArrayView text, QByteArrayView) { return visit(text); }, handed);
    return error ? failed(path, kRead, error) : IoError();
}

template <typename Visit> IoError readLines(int fd, const QString &path, Visit &&visit) {
    return readLines(fd, path, std::forward<Visit>(visit), [] {});
}

// What a new content of `path` replaces: `*target`, the file itself or the
// one a link to it leads to, and `*mode`, its permissions (0600 for a new
// file). Refuses what is no data file, a file its user may not write to (the
// rename would need only the folder's permission) and a link that leads
// nowhere. A look-up that fails is left to the caller: `*statError` holds
// its errno (ENOENT when there is no file yet, 0 when there is one).
IoError replacedTarget(const QString &path, QString *target, mode_t *mode, int *statError) {
    *target = path;
    *mode = S_IRUSR | S_IWUSR;
    *statError = 0;
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (diskStat(name.constData(), &st) == 0) {
        if (const QString why = notAFileReason(st.st_mode); !why.isEmpty())
            return IoError::failure(path, kWriteTo, why);
        IoError err;
        if (!openDataFile(path, O_WRONLY, kWriteTo, &err).valid())
            return err;
        *mode = st.st_mode & 07777;
        struct stat entry;
        if (diskLstat(name.constData(), &entry) == 0 && S_ISLNK(entry.st_mode))
            *target = QFileInfo(path).canonicalFilePath();
        return IoError();
    }
    *statError = errno;
    if (errno == ENOENT) {
        if (const QString why = danglingLinkReason(path); !why.isEmpty())
            return IoError::failure(path, kWriteTo, why);
    }
    return IoError();
}

// A name for the new content of `target` that no entry of its folder has
// yet: "<target>.rewrite-" and six letters or digits.
QByteArray freshRewriteName(const QString &target) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = QFile::encodeName(target) + kRewriteInfix;
    for (int i = 0; i < kRewriteUniqueChars; ++i)
        name += kChars[QRandomGenerator::global()->bounded(int(sizeof(kChars) - 1))];
    return name;
}

// Makes a new, empty file named `name` for writing, owner-only until its
// mode is set; an entry of that name already there is refused (EEXIST).
// Returns its descriptor, or -1 with errno set.
int createNewFile(const QByteArray &name) {
    return diskOpen(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                    S_IRUSR | S_IWUSR);
}

// Makes a new, empty file beside `target` under a fresh rewrite name
// (freshRewriteName), which `*name` receives. Returns its descriptor, or -1
// with errno set.
int createRewriteFile(const QString &target, QByteArray *name) {
    // Six characters out of 62 leave a clash to chance alone; a folder that
    // still refuses a hundred fresh names in a row has something wrong.
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = freshRewriteName(target);
        const int fd = createNewFile(*name);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes a folder readable by its owner only (whatever the umask). Returns 0,
// or the errno of the failure, which leaves no folder behind.
int makeOwnerFolder(const QByteArray &name) {
    if (diskMakeFolder(name.constData(), S_IRWXU) != 0)
        return errno;
    // The umask may have taken some of the owner's rights away.
    if (::chmod(name.constData(), S_IRWXU) != 0) {
        const int error = errno;
        diskRemoveFolder(name.constData());
        return error;
    }
    return 0;
}

} // namespace

namespace diskio {

Replacement::~Replacement() {
    abandon();
}

IoError Replacement::start(const QString &path, const QString &keptAs) {
    ignoreFileSizeSignal();
    path_ = path;
    // A file made read-only stays as it is, refused as an append to it
    // would be; a failed look-up shows in the making of the new file.
    mode_t mode = 0;
    int statError = 0;
    if (IoError err = replacedTarget(path, &target_, &mode, &statError); err.failed())
        return err;
    // The new file lies beside the file it replaces: a rename within one
    // folder is atomic. A temporary name is one that RemoveRewriteLeftovers
    // knows, should a crash leave it behind.
    QByteArray name = QFile::encodeName(keptAs);
    file_.reset(keptAs.isEmpty() ? createRewriteFile(target_, &name) : createNewFile(name));
    if (!file_.valid())
        return failed(path, kWriteTo, errno);
    name_ = name;
    if (::fchmod(file_.get(), mode) != 0)
        return fail(errno);
    return IoError();
}

int Replacement::write(QByteArrayView bytes) {
    constexpr qsizetype kBlock = 1024 * 1024;
    if (block_.size() + bytes.size() > kBlock) {
        if (const int error = flush())
            return error;
    }
    if (bytes.size() >= kBlock)
        return writeAll(file_.get(), bytes);
    if (block_.capacity() < kBlock)
        block_.reserve(kBlock);
    block_.append(bytes);
    return 0;
}

IoError Replacement::commit() {
    if (IoError err = finishWriting(); err.failed())
        return err;
    if (diskRename(name_.constData(), QFile::encodeName(target_).constData()) != 0)
        return fail(errno);
    name_.clear(); // in place: nothing to remove any more
    // Only the new folder entry may not be on disk yet.
    IoError result = syncFolderOf(target_, NotSynced::Kind::Saved);
    if (result.warning.isSet())
        result.warning.file = path_;
    return result;
}

IoError Replacement::keep() {
    if (IoError err = finishWriting(); err.failed())
        return err;
    name_.clear(); // kept: no longer this object's to remove
    return IoError();
}

IoError Replacement::discard() {
    file_.reset();
    block_.resize(0);
    const QByteArray name = std::exchange(name_, QByteArray());
    if (!name.isEmpty() && diskRemove(name.constData()) != 0)
        return failed(QFile::decodeName(name), kDelete, errno);
    return IoError();
}

IoError Replacement::fail(int error) {
    abandon();
    return failed(path_, kWriteTo, error);
}

IoError Replacement::finishWriting() {
    if (const int error = flush())
        return fail(error);
    if (const int error = syncFile(file_.get()))
        return fail(error);
    if (const int error = file_.close())
        return fail(error);
    return IoError();
}

int Replacement::flush() {
    const int error = writeAll(file_.get(), block_);
    block_.resize(0);
    return error;
}

void Replacement::abandon() {
    file_.reset();
    if (!name_.isEmpty())
        diskRemove(name_.constData());
    name_.clear();
}

} // namespace diskio

IoError ForEachLine(const QString &path, const std::function<bool(const QString &line)> &visit) {
    IoError err;
    FileDescriptor file = openDataFile(path, O_RDONLY, kRead, &err);
    if (!file.valid())
        return err;
    QString line; // reused, so that most lines need no allocation
    return readLines(file.get(), path, [&](QByteArrayView bytes) {
        line = QLatin1StringView(bytes.data(), bytes.size()); // Latin-1: no byte can fail
        return visit(line);
    });
}

IoError ReadLines(const QString &path, QStringList *lines) {
    lines->clear();
    IoError err = ForEachLine(path, [lines](const QString &line) {
        lines->append(line);
        return true;
    });
    if (err.failed())
        lines->clear();
    return err;
}

IoError RewriteLinesEdited(const QString &path,
                           const std::function<bool(QByteArrayView &line, bool *keep)> &edit,
                           qsizetype *edited, const bool *abandon) {
    *edited = 0;
    IoError err;
    FileDescriptor file = openDataFile(path, O_RDONLY, kRead, &err);
    if (!file.valid())
        return err;
    Replacement replacement;
    if (IoError started = replacement.start(path); started.failed())
        return started;
    static const QByteArrayView kCrLf("\r\n");
    int writeError = 0;
    // Lines kept as read, with the CR LF they end in, one right after the
    // other in the read buffer: written in one piece when the run ends, and
    // before the buffer is reused.
    QByteArrayView run;
    const auto writeRun = [&] {
        if (!run.isEmpty() && !writeError)
            writeError = replacement.write(run);
        run = QByteArrayView();
        return writeError == 0;
    };
    const int readError = diskio::ReadLines(
        file.get(),
        [&](QByteArrayView text, QByteArrayView lineEnd) {
            QByteArrayView line = text;
            bool keep = true;
            if (edit(line, &keep))
                ++*edited;
            if (abandon && *abandon)
                return false;
            if (!keep)
                return writeRun();
            // A line kept as read with its CR LF goes on as it lies in the
            // buffer, text and line end in one.
            const bool asRead = line.data() == text.data() && line.size() == text.size();
            if (asRead && lineEnd == kCrLf) {
                const QByteArrayView withEnd(text.data(), text.size() + lineEnd.size());
                if (!run.isEmpty() && run.data() + run.size() == text.data()) {
                    run = QByteArrayView(run.data(), run.size() + withEnd.size());
                    return true;
                }
                if (!writeRun())
                    return false;
                run = withEnd;
                return true;
            }
            if (!writeRun())
                return false;
            writeError = replacement.write(line);
            if (!writeError)
                writeError = replacement.write(kCrLf);
            return writeError == 0;
        },
        writeRun);
    if (readError)
        return failed(path, kRead, readError);
    if (writeError)
        return replacement.fail(writeError);
    if (*edited == 0 || (abandon && *abandon))
        return IoError(); // nothing to change: the replacement goes
    return replacement.commit();
}

IoError AppendLine(const QString &path, const QString &line) {
    QByteArray record = line.toLatin1();
    record += "\r\n";
    bool made = false;
    if (IoError err = diskio::AppendBytes(path, record, diskio::AppendTo::AnyFile, 0, &made);
        err.failed())
        return err;
    return made ? syncFolderOf(path, NotSynced::Kind::Saved) : IoError();
}

IoError RewriteFile(const QString &path, const QStringList &lines) {
    Replacement replacement;
    if (IoError started = replacement.start(path); started.failed())
        return started;
    for (const QString &line : lines) {
        const QByteArray bytes = line.toLatin1();
        int error = replacement.write(bytes);
        if (!error)
            error = replacement.write("\r\n");
        if (error)
            return replacement.fail(error);
    }
    return replacement.commit();
}

IoError MakeFolder(const QString &path, bool *made) {
    if (made)
        *made = false;
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (diskStat(name.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return IoError(); // an existing folder, or a link to one, is reused
        if (S_ISREG(st.st_mode))
            return IoError::failure(path, kCreate,
                                    QStringLiteral("A file of that name already exists"));
        return IoError::failure(
            path, kCreate,
            QStringLiteral("It is not a folder (%1)").arg(kindOfSpecial(st.st_mode)));
    }
    if (errno == ENOENT) {
        if (const QString why = danglingLinkReason(path); !why.isEmpty())
            return IoError::failure(path, kCreate, why);
    }
    if (const int error = makeOwnerFolder(name)) {
        if (error == EEXIST && diskStat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return IoError(); // made by someone else in the meantime
        return failed(path, kCreate, error);
    }
    if (made)
        *made = true;
    // The new folder's entry lives in the folder that holds it: flushed, the
    // folder survives a power failure as the records that name it do.
    return syncFolderOf(path, NotSynced::Kind::Created);
}

IoError RemoveFolder(const QString &path) {
    if (diskRemoveFolder(QFile::encodeName(path).constData()) != 0)
        return failed(path, kDelete, errno);
    return syncFolderOf(path, NotSynced::Kind::Removed);
}

namespace {

// Renames `from` to `to` in one step. An entry at `to` is kept and the move
// refused, unless `replaceEmpty` and it is an empty regular file. A failure
// is one to `action` `from`.
IoError moveEntry(const QString &from, const QString &to, const QString &action,
                  bool replaceEmpty) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    // rename(2) would silently replace an entry at `to`; whatever lies there
    // is kept, and the move refused.
    struct stat st;
    if (diskLstat(target.constData(), &st) == 0 &&
        !(replaceEmpty && S_ISREG(st.st_mode) && st.st_size == 0))
        return failed(from, action, EEXIST);
    if (diskRename(source.constData(), target.constData()) != 0)
        return failed(from, action, errno);
    return syncFolderOf(from, NotSynced::Kind::Moved, to);
}

} // namespace

IoError MoveAside(const QString &from, const QString &to) {
    return moveEntry(from, to, kMoveAway, false);
}

IoError MoveBack(const QString &from, const QString &to) {
    return moveEntry(from, to, kMoveBack, false);
}

IoError MoveIntoPlace(const QString &from, const QString &to) {
    return moveEntry(from, to, kRename, true);
}

IoError RemoveFile(const QString &path) {
    if (diskRemove(QFile::encodeName(path).constData()) != 0)
        return failed(path, kDelete, errno);
    return syncFolderOf(path, NotSynced::Kind::Removed);
}

IoError CutTornLastLine(const QString &path, const std::function<bool(QByteArrayView line)> &whole,
                        bool *cut) {
    *cut = false;
    // Called for every data file of a folder at sign-in: one open, one look
    // at the file and one read of its last byte are all a complete file
    // costs. Opening never blocks (a pipe would wait for a writer).
    const int fd =
        diskOpen(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && danglingLinkReason(path).isEmpty())
            return IoError(); // nothing written yet
        IoError err;
        openDataFile(path, O_RDONLY, kRead, &err); // the failure, in its usual words
        return err.failed() ? err : failed(path, kRead, errno);
    }
    FileDescriptor file(fd);
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failed(path, kRead, errno);
    if (!S_ISREG(st.st_mode))
        return IoError(); // no write of records leaves anything in it
    const off_t size = st.st_size;
    if (size == 0)
        return IoError();

    // Reads `count` bytes at `at` into `into`; 0, or the errno of a failure.
    auto readAt = [&file](char *into, off_t at, qsizetype count) {
        while (count > 0) {
            const ssize_t got = ::pread(file.get(), into, size_t(count), at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return errno;
            if (got == 0)
                return EIO; // shorter than it was a moment ago
            into += got;
            at += got;
            count -= got;
        }
        return 0;
    };
    char last = 0;
    if (const int error = readAt(&last, size - 1, 1))
        return failed(path, kRead, error);
    if (last == '\n')
        return IoError(); // every line is complete
    // Where the last line starts: after the last LF, searched backwards a
    // block at a time.
    constexpr off_t kBlock = 64 * 1024;
    std::vector<char> block(size_t(std::min(kBlock, size)));
    off_t lineStart = 0;
    for (off_t end = size; end > 0;) {
        const off_t begin = std::max<off_t>(0, end - kBlock);
        if (const int error = readAt(block.data(), begin, end - begin))
            return failed(path, kRead, error);
        if (const void *lf = ::memrchr(block.data(), '\n', size_t(end - begin))) {
            lineStart = begin + (static_cast<const char *>(lf) - block.data()) + 1;
            break;
        }
        end = begin;
    }
    QByteArray line(qsizetype(size - lineStart), Qt::Uninitialized);
    if (const int error = readAt(line.data(), lineStart, line.size()))
        return failed(path, kRead, error);
    if (line.endsWith('\r'))
        line.chop(1); // a line end cut between its CR and its LF
    if (whole(line))
        return IoError(); // a whole record: only its line end is missing
    file.close();

    if (IoError err = diskio::CutFile(path, lineStart, kWriteTo); err.failed())
        return err;
    *cut = true;
    return IoError();
}

bool IsRewriteLeftover(const QString &name) {
    const QLatin1StringView infix(kRewriteInfix);
    const qsizetype at = name.size() - kRewriteUniqueChars - infix.size();
    if (at < 1 || QStringView(name).sliced(at, infix.size()) != infix)
        return false;
    for (const QChar c : QStringView(name).last(kRewriteUniqueChars)) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')))
            return false;
    }
    return true;
}

IoError RemoveRewriteLeftovers(const QString &folder) {
    QStringList names;
    if (IoError err = ListFolder(folder, &names); err.failed())
        return err;
    return RemoveRewriteLeftovers(folder, names);
}

IoError RemoveRewriteLeftovers(const QString &folder, const QStringList &names) {
    IoError result;
    for (const QString &name : std::as_const(names)) {
        if (!IsRewriteLeftover(name))
            continue;
        const QString path = folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
        // Only a regular file can be a rewrite's; a folder or a link of that
        // name was made by someone else and stays.
        struct stat st;
        if (diskLstat(QFile::encodeName(path).constData(), &st) != 0) {
            if (errno != ENOENT)
                result.keepFirst(failed(path, kDelete, errno));
            continue;
        }
        if (!S_ISREG(st.st_mode))
            continue;
        result.keepFirst(RemoveFile(path));
    }
    return result;
}

IoError ListFolder(const QString &folder, QStringList *names) {
    names->clear();
    const int fd = diskOpen(QFile::encodeName(folder).constData(),
                            O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC);
    DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return failed(folder, kRead, error);
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            const int error = errno;
            ::closedir(dir);
            if (error) {
                names->clear();
                return failed(folder, kRead, error);
            }
            break;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names->append(name);
    }
    names->sort();
    return IoError();
}

IoError ReadWholeFile(const QString &path, qint64 maxSize, QByteArray *bytes) {
    bytes->clear();
    IoError err;
    FileDescriptor file = openDataFile(path, O_RDONLY, kRead, &err);
    if (!file.valid())
        return err;
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failed(path, kRead, errno);
    const QString tooLarge = QStringLiteral("It is larger than %1 MB").arg(maxSize / (1024 * 1024));
    if (st.st_size > maxSize)
        return IoError::failure(path, kRead, tooLarge);
    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    constexpr qsizetype kChunk = 64 * 1024;
    std::vector<char> chunk(kChunk);
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk.data(), kChunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failed(path, kRead, errno);
        }
        if (got == 0)
            break;
        if (data.size() + got > maxSize) // it grew while it was read
            return IoError::failure(path, kRead, tooLarge);
        data.append(chunk.data(), got);
    }
    *bytes = std::move(data);
    return IoError();
}

IoError WriteNewFile(const QString &path, QByteArrayView content) {
    ignoreFileSizeSignal();
    QString target;
    mode_t mode = 0; // the file written is always the owner's alone
    int statError = 0;
    if (IoError err = replacedTarget(path, &target, &mode, &statError); err.failed())
        return err;
    if (statError && statError != ENOENT)
        return failed(path, kWriteTo, statError);
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());

    // The content goes into a file without a name in the target's folder
    // (O_TMPFILE), which a crash simply loses; it is named only once it is
    // complete and on disk, and renamed over the target right after. A file
    // system without such files gets a named temporary file instead.
    QByteArray temp; // the temporary file's name while it exists
    FileDescriptor file;
    bool unnamed = false;
    if (::access("/proc/self/fd", X_OK) == 0) {
        file.reset(
            diskOpen(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
        unnamed = file.valid();
    }
    if (!unnamed) {
        file.reset(createRewriteFile(target, &temp));
        if (!file.valid())
            return failed(path, kWriteTo, errno);
    }
    const auto fail = [&](int error) {
        file.reset();
        if (!temp.isEmpty())
            diskRemove(temp.constData());
        return failed(path, kWriteTo, error);
    };
    if (::fchmod(file.get(), S_IRUSR | S_IWUSR) != 0)
        return fail(errno);
    if (const int error = writeAll(file.get(), content))
        return fail(error);
    if (const int error = syncFile(file.get()))
        return fail(error);
    if (unnamed) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.get());
        for (;;) {
            temp = freshRewriteName(target);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(),
                         AT_SYMLINK_FOLLOW) == 0)
                break;
            const int error = errno;
            temp.clear();
            if (error != EEXIST)
                return fail(error);
        }
    }
    if (const int error = file.close())
        return fail(error);
    if (diskRename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        return fail(errno);
    temp.clear();
    IoError result = syncFolderOf(target, NotSynced::Kind::Saved);
    if (result.warning.isSet())
        result.warning.file = path;
    return result;
}

namespace diskio {

IoError Failed(const QString &file, const QString &action, int errorCode) {
    return failed(file, action, errorCode);
}

IoError NotSyncedWarning(const QString &file, NotSynced::Kind kind, const QString &folder,
                         int errorCode) {
    return notSynced(file, kind, QString(), folder, errorCode);
}

FileDescriptor OpenDataFile(const QString &path, int flags, const QString &action, IoError *err,
                            bool *created) {
    return openDataFile(path, flags, action, err, created);
}

IoError CutFile(const QString &path, qint64 length, const QString &action) {
    IoError err;
    FileDescriptor file = openDataFile(path, O_WRONLY, action, &err);
    if (!file.valid())
        return err;
    int result;
    do
        result = diskTruncate(file.get(), length);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return failed(path, action, errno);
    if (const int error = syncFile(file.get()))
        return failed(path, action, error);
    if (const int error = file.close())
        return failed(path, action, error);
    return IoError();
}

IoError AppendBytes(const QString &path, QByteArrayView bytes, AppendTo to, qint64 length,
                    bool *madeFile,
                    const std::function<IoError(QByteArrayView written)> &beforeWrite) {
    ignoreFileSizeSignal();
    if (madeFile)
        *madeFile = false;
    // O_APPEND: every write lands at the end of the file as it is at that
    // moment, never at an end read earlier, so no record can overwrite
    // another one.
    IoError err;
    bool created = false;
    const int flags = O_RDWR | O_APPEND | (to == AppendTo::KnownFile ? 0 : O_CREAT);
    FileDescriptor file = openDataFile(path, flags, kWriteTo, &err, &created);
    if (!file.valid())
        return err;
    if (to == AppendTo::NewFile && !created)
        return failed(path, kWriteTo, EEXIST);
    if (madeFile)
        *madeFile = created;

    // Only one copy of the program runs per installation, but should two
    // writers ever meet, each holds the file alone from reading its end to
    // the cut-back of a failed write: neither sees the other's record half
    // written (and adds a needless line end), nor cuts it away. The lock goes
    // with the descriptor. A file system without flock is used unlocked.
    int locked;
    do
        locked = ::flock(file.get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);

    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failed(path, kWriteTo, errno);
    const off_t oldSize = st.st_size;
    if (to == AppendTo::KnownFile && oldSize != length)
        return IoError::failure(path, kWriteTo,
                                QStringLiteral("The file was changed by someone else meanwhile"));
    // The new lines, and the line end that a last line without one still
    // needs, go out in one write.
    QByteArray joined;
    QByteArrayView data = bytes;
    if (oldSize > 0) {
        char last = 0;
        const ssize_t got = ::pread(file.get(), &last, 1, oldSize - 1);
        if (got < 0)
            return failed(path, kWriteTo, errno);
        if (got != 1)
            return IoError::failure(path, kWriteTo,
                                    QStringLiteral("The file became shorter while it was read"));
        if (last != '\n') {
            joined.reserve(bytes.size() + 2);
            joined += "\r\n";
            joined += bytes;
            data = joined;
        }
    }

    if (beforeWrite) {
        if (IoError refused = beforeWrite(data); refused.failed()) {
            if (created) {
                file.close();
                diskRemove(QFile::encodeName(path).constData());
                if (madeFile)
                    *madeFile = false;
            }
            return refused;
        }
    }
    int error = writeAll(file.get(), data);
    if (!error)
        error = syncFile(file.get());
    if (error) {
        // Leave no partial line behind: a new file goes again, an old one
        // gets its former length back. The cut is flushed as far as the disk
        // lets it: a disk that failed the write may fail that flush as well,
        // and it would lose the bytes the cut takes away with it.
        QString reason = systemReason(error);
        if (created) {
            file.close();
            diskRemove(QFile::encodeName(path).constData());
        } else if (diskTruncate(file.get(), oldSize) != 0) {
            reason += QStringLiteral(" (the file could not be restored to its former length: %1)")
                          .arg(systemReason(errno));
        } else {
            syncFile(file.get());
        }
        return IoError::failure(path, kWriteTo, reason, error);
    }
    file.close(); // flushed already: a failing close loses nothing
    return IoError();
}

IoError ReplacedTarget(const QString &path, QString *target, mode_t *mode, int *statError) {
    return replacedTarget(path, target, mode, statError);
}

int MakeOwnerFolder(const QString &path) {
    return makeOwnerFolder(QFile::encodeName(path));
}

int RemoveEmptyFolder(const QString &path) {
    return diskRemoveFolder(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
}

int EntryStatus(const QString &path, struct stat *st) {
    return diskLstat(QFile::encodeName(path).constData(), st) == 0 ? 0 : errno;
}

int FileStatus(const QString &path, struct stat *st) {
    return diskStat(QFile::encodeName(path).constData(), st) == 0 ? 0 : errno;
}

int Access(const QString &path, int mode) {
    return diskAccess(QFile::encodeName(path).constData(), mode) == 0 ? 0 : errno;
}

int WriteAll(int fd, QByteArrayView data) {
    return writeAll(fd, data);
}

int SyncFile(int fd) {
    return syncFile(fd);
}

int SyncFolder(const QString &folder) {
    return syncFolder(folder);
}

int Rename(const QString &from, const QString &to) {
    return diskRename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? 0
               : errno;
}

int Remove(const QString &path) {
    return diskRemove(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
}

void IgnoreFileSizeSignal() {
    ignoreFileSizeSignal();
}

} // namespace diskio

} // namespace modMain

#include "storage/records.h"

#include "storage/cipher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modMain {

namespace {

QString &programFolderOverride() {
    static QString folder;
    return folder;
}

// Records a failure in `err` (when given) and returns false, so that callers
// can write `return fail(err, path, reason);`.
bool fail(IoError *err, const QString &file, const QString &reason) {
    if (err) {
        err->file = file;
        err->reason = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    }
    return false;
}

QString systemReason(int errorCode) {
    return qt_error_string(errorCode);
}

void clearError(IoError *err) {
    if (err)
        err->clear();
}

// Records a warning in `err`: the change to `file` was made, but the folder
// `folder` could not be flushed to disk (`errorCode`). Returns true, since
// the operation itself succeeded.
bool warnNotSynced(IoError *err, const QString &file, const QString &folder, int errorCode) {
    if (err) {
        err->file = file;
        err->reason = QStringLiteral("The folder \"%1\" could not be flushed to disk (%2)")
                          .arg(folder, systemReason(errorCode));
        err->notSynced = true;
    }
    return true;
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

// Writes all of `data`: normally in one write. A full disk or a file-size
// limit usually shows first as a short write, which carries no reason; the
// rest is written again, and that write fails with the reason (ENOSPC,
// EFBIG). Returns 0, or the errno of the failure.
int writeAll(int fd, const QByteArray &data) {
    const char *next = data.constData();
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

// Flushes a folder's entries to disk, so that a file or folder just created
// or renamed inside it survives a power failure. Returns 0, or the errno of
// the failure.
int syncFolder(const QString &folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    const int error = syncFile(fd);
    ::close(fd);
    // Some file systems cannot sync a folder; their entries are as safe as
    // they get already.
    return error == EINVAL || error == ENOTSUP ? 0 : error;
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

QString folderOf(const QString &path) {
    return QFileInfo(path).absolutePath();
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
    if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return QString();
    if (::stat(name.constData(), &st) == 0 || errno != ENOENT)
        return QString();
    return QStringLiteral("It is a link to \"%1\", which does not exist")
        .arg(QFile::symLinkTarget(path));
}

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

// Opens a data file that must be a regular file, with `flags` (O_RDONLY,
// O_RDWR, O_APPEND, O_CREAT...). Never blocks: the entry is inspected
// first, the open itself is non-blocking (a pipe would otherwise wait for a
// writer), and the opened file is checked again, in case the entry was
// replaced in between. With O_CREAT the new file is owner-only and
// `*created` tells whether this call made it. On failure sets `err` and
// returns an invalid descriptor.
FileDescriptor openDataFile(const QString &path, int flags, IoError *err, bool *created = nullptr) {
    if (created)
        *created = false;
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) == 0) {
        if (const QString why = notAFileReason(st.st_mode); !why.isEmpty()) {
            fail(err, path, why);
            return FileDescriptor();
        }
    } else if (errno == ENOENT) {
        if (const QString why = danglingLinkReason(path); !why.isEmpty()) {
            fail(err, path, why);
            return FileDescriptor();
        }
    }

    const int always = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = -1;
    if (flags & O_CREAT) {
        // Exclusive first, so that the caller knows whether it made the file.
        do
            fd = ::open(name.constData(), flags | always | O_EXCL, S_IRUSR | S_IWUSR);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0 && created)
            *created = true;
        if (fd < 0 && errno == EEXIST)
            flags &= ~O_CREAT; // there already (or made in the meantime): open it
    }
    if (fd < 0 && !(flags & O_CREAT)) {
        do
            fd = ::open(name.constData(), flags | always);
        while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
        const int error = errno;
        const QString why = danglingLinkReason(path);
        fail(err, path, why.isEmpty() ? systemReason(error) : why);
        return FileDescriptor();
    }
    FileDescriptor file(fd);
    if (::fstat(fd, &st) != 0) {
        fail(err, path, systemReason(errno));
        return FileDescriptor();
    }
    if (const QString why = notAFileReason(st.st_mode); !why.isEmpty()) {
        fail(err, path, why);
        return FileDescriptor();
    }
    // A regular file never blocks; the flag is cleared all the same, so that
    // the descriptor behaves as an ordinary one.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return file;
}

} // namespace

QString IoError::message(const QString &action) const {
    QString why = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    if (!why.endsWith(u'.'))
        why += u'.';
    if (notSynced)
        return QStringLiteral("Wayfile saved \"%1\", but could not make sure that the change is "
                              "safely on disk: a power failure could still undo it.\r\n\r\n"
                              "Reason: %2")
            .arg(file, why);
    return QStringLiteral("Wayfile could not %1 \"%2\".\r\n\r\nReason: %3")
        .arg(action.isEmpty() ? QStringLiteral("use") : action, file, why);
}

QString ProgramFolder() {
    const QString &folder = programFolderOverride();
    if (!folder.isEmpty())
        return folder;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // No application object (command-line tools, tests): the executable's own
    // folder, which is what applicationDirPath() reports as well.
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

void SetProgramFolder(const QString &folder) {
    programFolderOverride() = folder;
}

QString JoinPath(const QString &folder, const QString &name) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    if (name.isEmpty() || name.contains(u'/') || QFileInfo::exists(prefix + name))
        return prefix + name;
    // Names are matched without regard to case: reuse an entry that differs
    // from `name` only in case (the first in name order if there are several).
    const QStringList found = EntriesNamed(folder, name);
    return found.isEmpty() ? prefix + name : prefix + QFileInfo(found.first()).fileName();
}

QStringList EntriesNamed(const QString &folder, const QString &name) {
    const QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    QStringList found;
    const QStringList entries = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            found << dir.filePath(entry);
    }
    return found;
}

QString DataPath(const QString &name) {
    return JoinPath(ProgramFolder(), name);
}

QString UserFolderName(int userNo) {
    return QStringLiteral("USR") + QString::number(userNo);
}

QString UserFolderPath(int userNo) {
    return DataPath(UserFolderName(userNo));
}

QStringView TrimBlanks(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

QString TrimBlanks(const QString &text) {
    return TrimBlanks(QStringView(text)).toString();
}

QString SwapPairs(const QString &text) {
    QString result = text;
    for (qsizetype i = 1; i < result.size(); i += 2)
        std::swap(result[i - 1], result[i]);
    return result;
}

QString UnstorableChars(const QString &text) {
    QString result;
    for (const QChar c : text) {
        if ((c.unicode() < 32 || c.unicode() > 122) && !result.contains(c))
            result.append(c);
    }
    return result;
}

QString UnstorableMessage(const QString &what, const QString &chars) {
    QStringList parts;
    for (const QChar c : chars) {
        if (c.unicode() < 32 || c.unicode() == 127)
            parts << QStringLiteral("(character code %1)").arg(c.unicode());
        else
            parts << QLatin1Char('"') + c + QLatin1Char('"');
    }
    return QStringLiteral("Sorry, a %1 can't hold these characters: %2\r\nPlease use only letters "
                          "without accents, digits, blanks and the usual punctuation marks.")
        .arg(what, parts.join(QLatin1Char(' ')));
}

QString EncodeField(const QString &text) {
    return EncryptText(SwapPairs(text));
}

QString DecodeField(const QString &field) {
    return SwapPairs(DecryptText(field));
}

QStringList SplitRecord(const QString &line) {
    return line.split(kFieldSep, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString JoinRecord(const QStringList &fields) {
    return fields.join(kFieldSep);
}

qint64 ReadNumber(QStringView text) {
    constexpr qint64 cap = std::numeric_limits<qint64>::max();
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        const int digit = c - u'0';
        value = value > (cap - digit) / 10 ? cap : value * 10 + digit;
    }
    return value;
}

qint64 KeyNumber(QStringView key) {
    return ReadNumber(key.mid(std::min<qsizetype>(3, key.size())));
}

bool FileHasData(const QString &path, IoError *err) {
    clearError(err);
    if (TrimBlanks(path).isEmpty())
        return false;
    // Opened for reading, and created empty when absent, as opening it for
    // byte access would.
    bool created = false;
    FileDescriptor file = openDataFile(path, O_RDONLY | O_CREAT, err, &created);
    if (!file.valid())
        return false;
    if (created) {
        file.close();
        // New and therefore empty; a failed folder sync is only a warning.
        if (const int error = syncFolder(folderOf(path)))
            warnNotSynced(err, path, folderOf(path), error);
        return false;
    }
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return fail(err, path, systemReason(errno));
    return st.st_size > 0;
}

bool ReadLines(const QString &path, QStringList *lines, IoError *err) {
    lines->clear();
    const bool ok = ForEachLine(
        path,
        [lines](const QString &line) {
            lines->append(line);
            return true;
        },
        err);
    if (!ok)
        lines->clear();
    return ok;
}

bool ForEachLine(const QString &path, const std::function<bool(const QString &line)> &visit,
                 IoError *err) {
    clearError(err);
    FileDescriptor file = openDataFile(path, O_RDONLY, err);
    if (!file.valid())
        return false;

    constexpr qsizetype kChunk = 64 * 1024;
    std::vector<char> chunk(kChunk);
    QByteArray pending; // the start of a line that goes on in the next chunk
    QString line;       // reused, so that most lines need no allocation
    // Hands one line to `visit`; `bytes` is without its LF, so a CR before
    // it is the CR of a CR LF pair (a lone LF ends a line as well).
    auto hand = [&](const char *bytes, qsizetype size, bool ended) {
        if (ended && size > 0 && bytes[size - 1] == '\r')
            --size;
        line = QLatin1StringView(bytes, size); // Latin-1: no byte can fail
        return visit(line);
    };
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk.data(), kChunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(err, path, systemReason(errno));
        }
        if (got == 0)
            break;
        const char *next = chunk.data();
        const char *end = next + got;
        while (const void *found = std::memchr(next, '\n', size_t(end - next))) {
            const char *lf = static_cast<const char *>(found);
            bool goOn;
            if (pending.isEmpty()) {
                goOn = hand(next, lf - next, true);
            } else {
                pending.append(next, lf - next);
                goOn = hand(pending.constData(), pending.size(), true);
                pending.resize(0);
            }
            if (!goOn)
                return true;
            next = lf + 1;
        }
        pending.append(next, end - next);
    }
    if (!pending.isEmpty())
        hand(pending.constData(), pending.size(), false); // a last line without line end
    return true;
}

bool ReadLinesEdited(const QString &path,
                     const std::function<bool(QString &line, bool *keep)> &edit, QStringList *lines,
                     qsizetype *edited, IoError *err) {
    *edited = 0;
    lines->clear();
    return ForEachLine(
        path,
        [&](const QString &line) {
            QString copy = line;
            bool keep = true;
            if (edit(copy, &keep))
                ++*edited;
            if (keep)
                lines->append(copy);
            return true;
        },
        err);
}

bool AppendLine(const QString &path, const QString &line, IoError *err) {
    clearError(err);
    ignoreFileSizeSignal();
    // O_APPEND: every write lands at the end of the file as it is at that
    // moment, never at an end read earlier, so no record can overwrite
    // another one.
    bool created = false;
    FileDescriptor file = openDataFile(path, O_RDWR | O_APPEND | O_CREAT, err, &created);
    if (!file.valid())
        return false;

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
        return fail(err, path, systemReason(errno));
    const off_t oldSize = st.st_size;
    // The whole record, and the line end that a last line without one still
    // needs, go out in one write.
    QByteArray data;
    if (oldSize > 0) {
        char last = 0;
        const ssize_t got = ::pread(file.get(), &last, 1, oldSize - 1);
        if (got != 1)
            return fail(err, path, got < 0 ? systemReason(errno) : QString());
        if (last != '\n')
            data += "\r\n";
    }
    data += line.toLatin1();
    data += "\r\n";

    int error = writeAll(file.get(), data);
    if (!error)
        error = syncFile(file.get());
    if (error) {
        // Leave no partial record behind: a new file goes again, an old one
        // gets its former length back.
        QString reason = systemReason(error);
        if (created) {
            file.close();
            ::unlink(QFile::encodeName(path).constData());
        } else if (::ftruncate(file.get(), oldSize) != 0) {
            reason += QStringLiteral(" (the file could not be restored to its former length: %1)")
                          .arg(systemReason(errno));
        }
        return fail(err, path, reason);
    }
    if (const int closeError = file.close())
        return fail(err, path, systemReason(closeError));
    if (created) {
        if (const int syncError = syncFolder(folderOf(path)))
            return warnNotSynced(err, path, folderOf(path), syncError);
    }
    return true;
}

bool RewriteFile(const QString &path, const QStringList &lines, IoError *err) {
    clearError(err);
    ignoreFileSizeSignal();
    const QByteArray name = QFile::encodeName(path);
    // The file that is really replaced: a link is followed to the file it
    // leads to, which keeps its place and its permissions; a new file is
    // the owner's only.
    QString target = path;
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat st;
    if (::stat(name.constData(), &st) == 0) {
        if (const QString why = notAFileReason(st.st_mode); !why.isEmpty())
            return fail(err, path, why);
        mode = st.st_mode & 07777;
        if (QFileInfo(path).isSymLink())
            target = QFileInfo(path).canonicalFilePath();
    } else if (errno == ENOENT) {
        if (const QString why = danglingLinkReason(path); !why.isEmpty())
            return fail(err, path, why);
    }
    const QString folder = folderOf(target);

    // The temporary file lies beside the file it replaces: a rename within
    // one folder is atomic.
    QByteArray temp = QFile::encodeName(target) + ".XXXXXX";
    FileDescriptor file(::mkostemp(temp.data(), O_CLOEXEC));
    if (!file.valid())
        return fail(err, path, systemReason(errno));
    auto abandon = [&](int error) {
        file.reset();
        ::unlink(temp.constData());
        return fail(err, path, systemReason(error));
    };
    if (::fchmod(file.get(), mode) != 0)
        return abandon(errno);

    QByteArray data;
    for (const QString &line : lines) {
        data += line.toLatin1();
        data += "\r\n";
    }
    if (const int error = writeAll(file.get(), data))
        return abandon(error);
    if (const int error = syncFile(file.get()))
        return abandon(error);
    if (const int error = file.close())
        return abandon(error);
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        return abandon(errno);
    // The new content is in place; only its folder entry may not be on disk.
    if (const int error = syncFolder(folder))
        return warnNotSynced(err, path, folder, error);
    return true;
}

bool MakeFolder(const QString &path, IoError *err) {
    clearError(err);
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true; // an existing folder, or a link to one, is reused
        if (S_ISREG(st.st_mode))
            return fail(err, path, QStringLiteral("A file of that name already exists"));
        return fail(err, path,
                    QStringLiteral("It is not a folder (%1)").arg(kindOfSpecial(st.st_mode)));
    }
    if (errno == ENOENT) {
        if (const QString why = danglingLinkReason(path); !why.isEmpty())
            return fail(err, path, why);
    }
    if (::mkdir(name.constData(), S_IRWXU) != 0) {
        const int error = errno;
        if (error == EEXIST && QFileInfo(path).isDir())
            return true; // made by someone else in the meantime
        return fail(err, path, systemReason(error));
    }
    // The new folder's entry lives in the folder that holds it: flushed, the
    // folder survives a power failure as the records that name it do.
    const QString parent = folderOf(path);
    if (const int error = syncFolder(parent))
        return warnNotSynced(err, path, parent, error);
    return true;
}

void SetDiskCalls(DiskCalls calls) {
    diskCalls() = std::move(calls);
}

} // namespace modMain

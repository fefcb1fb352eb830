#include "session/singleinstance.h"

#include "storage/records.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace modMain {

namespace {

std::function<bool()> &instanceCheck() {
    static std::function<bool()> check;
    return check;
}

// The locks this process holds, and for which program folder.
struct HeldLocks {
    QString folder;
    int folderFd = -1; // holds the flock on the program folder
    std::unique_ptr<QLockFile> lockFile;

    bool held(const QString &programFolder) const {
        return folder == programFolder && (folderFd >= 0 || lockFile);
    }
    void release() {
        if (folderFd >= 0)
            ::close(folderFd);
        folderFd = -1;
        lockFile.reset();
        folder.clear();
    }
};

HeldLocks &heldLocks() {
    static HeldLocks held;
    return held;
}

enum class FolderLock { Taken, HeldByAnother, Unavailable };

// Takes an exclusive flock on the folder. The descriptor is close-on-exec:
// a program this one starts (a web browser) must not inherit the lock and
// keep it after this process has ended.
FolderLock lockFolder(const QString &folder, int *fd) {
    *fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (*fd < 0)
        return FolderLock::Unavailable;
    int result;
    do
        result = ::flock(*fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return FolderLock::Taken;
    const bool taken = errno == EWOULDBLOCK;
    ::close(*fd);
    *fd = -1;
    return taken ? FolderLock::HeldByAnother : FolderLock::Unavailable;
}

} // namespace

QString InstanceLockPath(const QString &programFolder) {
    const QString canonical = QFileInfo(programFolder).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("wayfile-%1.lock").arg(QLatin1String(hash)));
}

bool AnotherInstanceRunning() {
    if (instanceCheck())
        return instanceCheck()();

    HeldLocks &held = heldLocks();
    const QString folder = QFileInfo(ProgramFolder()).absoluteFilePath();
    if (held.held(folder))
        return false; // this process is the running instance
    held.release();

    int folderFd = -1;
    if (lockFolder(folder, &folderFd) == FolderLock::HeldByAnother)
        return true;

    auto lockFile = std::make_unique<QLockFile>(InstanceLockPath(folder));
    // Never stale by age: only a lock whose process has gone is taken over,
    // which QLockFile checks by process id and program name.
    lockFile->setStaleLockTime(0);
    if (!lockFile->tryLock(0)) {
        if (lockFile->error() == QLockFile::LockFailedError) {
            if (folderFd >= 0)
                ::close(folderFd);
            return true;
        }
        lockFile.reset(); // no temporary folder to write to
    }
    held.folder = folder;
    held.folderFd = folderFd;
    held.lockFile = std::move(lockFile);
    return false;
}

void SetInstanceCheck(std::function<bool()> check) {
    instanceCheck() = std::move(check);
}

} // namespace modMain

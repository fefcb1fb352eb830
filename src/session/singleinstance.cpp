#include "session/singleinstance.h"

#include "storage/paths.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace modMain {

namespace {

std::function<bool()> &instanceCheck() {
    static std::function<bool()> check;
    return check;
}

// The lock this process holds, and for which program folder.
struct HeldLock {
    QString folder;
    int folderFd = -1; // holds the flock on the program folder

    bool held(const QString &programFolder) const {
        return folder == programFolder && folderFd >= 0;
    }
    void release() {
        if (folderFd >= 0)
            ::close(folderFd);
        folderFd = -1;
        folder.clear();
    }
};

HeldLock &heldLock() {
    static HeldLock held;
    return held;
}

// What the last check found.
struct LastCheck {
    bool guarded = false;
    QString problem; // the message when the lock could not be taken
};

LastCheck &lastCheck() {
    static LastCheck last;
    return last;
}

QString lockProblemMessage(const QString &folder, int errorCode) {
    QString reason = qt_error_string(errorCode);
    if (!reason.endsWith(u'.'))
        reason += u'.';
    return QStringLiteral("Wayfile could not lock its folder \"%1\", so it cannot tell whether "
                          "another copy of Wayfile is using the same data. If one is, each copy "
                          "could overwrite the changes the other one makes.\r\n\r\nReason: %2"
                          "\r\n\r\nPlease close any other Wayfile that uses this folder. This time "
                          "Wayfile will not finish changes that were cut short, nor clear away "
                          "what they left behind: that waits for a start at which it can lock "
                          "its folder.")
        .arg(folder, reason);
}

enum class FolderLock { Taken, HeldByAnother, Unavailable };

// Takes an exclusive flock on the folder. The descriptor is close-on-exec:
// a program this one starts (a web browser) must not inherit the lock and
// keep it after this process has ended.
// When the lock is unavailable, `*error` is the errno of the failure.
FolderLock lockFolder(const QString &folder, int *fd, int *error) {
    *error = 0;
    *fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (*fd < 0) {
        *error = errno;
        return FolderLock::Unavailable;
    }
    int result;
    do
        result = ::flock(*fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return FolderLock::Taken;
    *error = errno;
    ::close(*fd);
    *fd = -1;
    return *error == EWOULDBLOCK ? FolderLock::HeldByAnother : FolderLock::Unavailable;
}

} // namespace

bool AnotherInstanceRunning() {
    LastCheck &last = lastCheck();
    last = LastCheck();
    if (instanceCheck()) {
        const bool running = instanceCheck()();
        last.guarded = !running;
        return running;
    }

    HeldLock &held = heldLock();
    const QString folder = QFileInfo(ProgramFolder()).absoluteFilePath();
    if (held.held(folder)) {
        last.guarded = true;
        return false; // this process is the running instance
    }
    held.release();

    int folderFd = -1;
    int error = 0;
    switch (lockFolder(folder, &folderFd, &error)) {
    case FolderLock::HeldByAnother:
        return true;
    case FolderLock::Taken:
        held.folder = folder;
        held.folderFd = folderFd;
        last.guarded = true;
        return false;
    case FolderLock::Unavailable:
        // A folder that cannot be opened or locked (one its user may not
        // read, a file system without flock): the program runs unguarded
        // rather than not at all, and the user is told.
        last.problem = lockProblemMessage(folder, error);
        return false;
    }
    return false;
}

QString InstanceLockProblem() {
    return lastCheck().problem;
}

bool InstallationGuarded() {
    return lastCheck().guarded;
}

void SetInstanceCheck(std::function<bool()> check) {
    instanceCheck() = std::move(check);
}

} // namespace modMain

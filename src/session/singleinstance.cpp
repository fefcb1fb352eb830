#include "session/singleinstance.h"

#include "storage/records.h"

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

bool AnotherInstanceRunning() {
    if (instanceCheck())
        return instanceCheck()();

    HeldLock &held = heldLock();
    const QString folder = QFileInfo(ProgramFolder()).absoluteFilePath();
    if (held.held(folder))
        return false; // this process is the running instance
    held.release();

    int folderFd = -1;
    switch (lockFolder(folder, &folderFd)) {
    case FolderLock::HeldByAnother:
        return true;
    case FolderLock::Taken:
        held.folder = folder;
        held.folderFd = folderFd;
        return false;
    case FolderLock::Unavailable:
        // A folder that cannot be opened or locked (a file system without
        // flock): the program runs unguarded rather than not at all.
        return false;
    }
    return false;
}

void SetInstanceCheck(std::function<bool()> check) {
    instanceCheck() = std::move(check);
}

} // namespace modMain

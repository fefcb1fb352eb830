#include "session/singleinstance.h"

#include "storage/records.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <memory>

namespace modMain {

namespace {

std::function<bool()> &instanceCheck() {
    static std::function<bool()> check;
    return check;
}

struct HeldLock {
    QString path;
    std::unique_ptr<QLockFile> lock;
};

HeldLock &heldLock() {
    static HeldLock held;
    return held;
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

    HeldLock &held = heldLock();
    const QString path = InstanceLockPath(ProgramFolder());
    if (held.lock && held.path == path)
        return false; // this process is the running instance
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age: only a lock whose process has gone is taken over,
    // which QLockFile checks by process id and program name.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return true;
        // The lock cannot be written at all (no temporary folder): better to
        // run unguarded than not at all.
        return false;
    }
    held.path = path;
    held.lock = std::move(lock);
    return false;
}

void SetInstanceCheck(std::function<bool()> check) {
    instanceCheck() = std::move(check);
}

} // namespace modMain

#include "storage/paths.h"

#include "storage/folderentries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace modMain {

namespace {

QString &programFolderOverride() {
    static QString folder;
    return folder;
}

} // namespace

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
    const QStringList found =
        FolderEntriesNamed(folder.isEmpty() ? QStringLiteral("/") : folder, name);
    return found.isEmpty() ? prefix + name : prefix + found.first();
}

QStringList EntriesNamed(const QString &folder, const QString &name) {
    const QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    QStringList found = FolderEntriesNamed(dir.path(), name);
    for (QString &entry : found)
        entry = dir.filePath(entry);
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

} // namespace modMain

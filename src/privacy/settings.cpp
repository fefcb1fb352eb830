#include "privacy/settings.h"

#include "storage/datafile.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace privacy {

namespace {

const QString kMinutesKey = QStringLiteral("Privacy/SignOutAfterMinutes");
const QString kScreenLockKey = QStringLiteral("Privacy/SignOutOnScreenLock");

QString &fileOverride() {
    static QString path;
    return path;
}

QString reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString cannotWrite(const QString &path, const QString &why) {
    return QStringLiteral("Wayfile could not write its settings file \"%1\".\r\n\r\nReason: "
                          "%2.\r\n\r\nUntil it can, Wayfile signs you out after 10 minutes "
                          "without use and when the screen locks.")
        .arg(path, why);
}

// Makes the folder (owner-only) and the empty file (owner-only) when they
// are missing, so that QSettings, which keeps an existing file's
// permissions when it rewrites it, never leaves it readable by others.
// Returns the message of a failure, or "".
QString makeFile(const QString &path) {
    // Each missing folder on the way, from the top down (an existing one is
    // left as it is).
    QString folder;
    const QStringList parts = QFileInfo(path).absolutePath().split(u'/', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        folder += u'/' + part;
        if (const modMain::IoError err = modMain::MakeFolder(folder); err.failed())
            return err.message() +
                   QStringLiteral("\r\n\r\nUntil Wayfile can write its settings file \"%1\", "
                                  "it signs you out after 10 minutes without use and when the "
                                  "screen locks.")
                       .arg(path);
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST ? QString() : cannotWrite(path, reason(errno));
    if (::close(fd) != 0)
        return cannotWrite(path, reason(errno));
    return QString();
}

} // namespace

QString SettingsFile() {
    if (!fileOverride().isEmpty())
        return fileOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/wayfile/wayfile.conf");
}

void SetSettingsFile(const QString &path) {
    fileOverride() = path;
}

Settings LoadSettings(QString *problem) {
    problem->clear();
    const QString path = SettingsFile();
    Settings settings;

    const bool existed = QFileInfo::exists(path);
    if (!existed) {
        if (const QString failed = makeFile(path); !failed.isEmpty()) {
            *problem = failed;
            return settings;
        }
    }
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        // QSettings tells no reason: opening the file does.
        QFile probe(path);
        probe.open(QIODevice::ReadOnly);
        *problem = QStringLiteral("Wayfile could not read its settings file \"%1\".\r\n\r\n"
                                  "Reason: %2.\r\n\r\nThis time it signs you out after 10 "
                                  "minutes without use and when the screen locks.")
                       .arg(path, probe.errorString());
        return settings;
    }

    QStringList refused;
    if (file.contains(kMinutesKey)) {
        bool ok = false;
        const QString text = file.value(kMinutesKey).toString().trimmed();
        const int minutes = text.toInt(&ok);
        if (ok && minutes >= 0)
            settings.signOutAfterMinutes = minutes;
        else
            refused.append(QStringLiteral("SignOutAfterMinutes=%1 is not a number of minutes "
                                          "(0 or more): Wayfile signs you out after 10 minutes "
                                          "without use.")
                               .arg(text));
    } else {
        file.setValue(kMinutesKey, settings.signOutAfterMinutes);
    }
    if (file.contains(kScreenLockKey)) {
        const QString text = file.value(kScreenLockKey).toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            text == QLatin1String("1"))
            settings.signOutOnScreenLock = true;
        else if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
                 text == QLatin1String("0"))
            settings.signOutOnScreenLock = false;
        else
            refused.append(QStringLiteral("SignOutOnScreenLock=%1 is neither true nor false: "
                                          "Wayfile signs you out when the screen locks.")
                               .arg(text));
    } else {
        file.setValue(kScreenLockKey, settings.signOutOnScreenLock);
    }
    file.sync();
    if (file.status() != QSettings::NoError) {
        // As above: opening the file for writing tells why.
        QFile probe(path);
        const QString why =
            probe.open(QIODevice::Append) ? QStringLiteral("unknown") : probe.errorString();
        *problem = cannotWrite(path, why);
        return settings;
    }
    if (!refused.isEmpty())
        *problem = QStringLiteral("Wayfile's settings file \"%1\" holds a value it cannot use:"
                                  "\r\n\r\n%2")
                       .arg(path, refused.join(QStringLiteral("\r\n")));
    return settings;
}

} // namespace privacy

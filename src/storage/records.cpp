#include "storage/records.h"

#include "storage/cipher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <limits>

#include <fcntl.h>
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

// Flushes a folder's entries to disk, so that a file just created or renamed
// inside it survives a crash.
bool syncFolder(const QString &folder, IoError *err) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(err, folder, systemReason(errno));
    // Some file systems cannot sync a folder; their entries are as safe as
    // they get already.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    const int syncError = errno;
    ::close(fd);
    return ok || fail(err, folder, systemReason(syncError));
}

QString folderOf(const QString &path) {
    return QFileInfo(path).absolutePath();
}

constexpr QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

QString IoError::message(const QString &action) const {
    QString why = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    if (!why.endsWith(u'.'))
        why += u'.';
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
    const QStringList entries =
        QDir(folder.isEmpty() ? QStringLiteral("/") : folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return prefix + entry;
    }
    return prefix + name;
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

bool FileHasData(const QString &path, IoError *err) {
    clearError(err);
    if (TrimBlanks(path).isEmpty())
        return false;

    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        return fail(err, path, QStringLiteral("It is a folder, not a file"));
    if (!info.exists()) {
        // Create the file empty, as opening it for byte access would.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerFile)) {
            // Someone may have created it in the meantime; that is fine.
            if (!QFileInfo::exists(path))
                return fail(err, path, file.errorString());
        } else {
            file.close();
            // New and therefore empty; `err` tells a failed sync apart.
            syncFolder(folderOf(path), err);
            return false;
        }
    }
    if (!file.open(QIODevice::ReadOnly))
        return fail(err, path, file.errorString());
    const qint64 size = file.size();
    file.close();
    return size > 0;
}

bool ReadLines(const QString &path, QStringList *lines, IoError *err) {
    clearError(err);
    lines->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(err, path, file.errorString());
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(err, path, file.errorString());
    file.close();

    // Bytes are Latin-1, so every byte is one character and nothing can fail.
    const QString text = QString::fromLatin1(data);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        const bool lastLine = end < 0;
        if (lastLine)
            end = text.size();
        qsizetype stop = end;
        if (!lastLine && stop > start && text[stop - 1] == u'\r')
            --stop; // CR LF; a lone LF ends a line as well
        lines->append(text.mid(start, stop - start));
        start = end + 1;
    }
    return true;
}

bool ForEachLine(const QString &path, const std::function<bool(const QString &line)> &visit,
                 IoError *err) {
    clearError(err);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(err, path, file.errorString());
    QByteArray raw;
    while (!file.atEnd()) {
        raw = file.readLine();
        if (file.error() != QFileDevice::NoError)
            return fail(err, path, file.errorString());
        if (raw.endsWith('\n')) {
            raw.chop(1);
            if (raw.endsWith('\r'))
                raw.chop(1); // CR LF; a lone LF ends a line as well
        }
        if (!visit(QString::fromLatin1(raw)))
            break;
    }
    return true;
}

bool AppendLine(const QString &path, const QString &line, IoError *err) {
    clearError(err);
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    // Unbuffered: after a failed write nothing is left in a buffer that
    // close() could still put into the file after it has been cut back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered, kOwnerFile))
        return fail(err, path, file.errorString());
    if (!existed && !syncFolder(folderOf(path), err))
        return false;

    const qint64 oldSize = file.size();
    QByteArray data;
    if (oldSize > 0) {
        char last = 0;
        if (!file.seek(oldSize - 1) || file.read(&last, 1) != 1)
            return fail(err, path, file.errorString());
        if (last != '\n')
            data += "\r\n"; // the last line has no line end yet
    }
    data += line.toLatin1();
    data += "\r\n";

    errno = 0;
    bool ok = file.seek(oldSize) && file.write(data) == data.size();
    QString reason = ok ? QString() : file.errorString();
    if (ok && ::fsync(file.handle()) != 0) {
        ok = false;
        reason = systemReason(errno);
    }
    if (!ok) {
        // Leave no partial record behind.
        if (!file.resize(oldSize))
            reason += QStringLiteral(" (the file could not be restored to its former length: %1)")
                          .arg(file.errorString());
        file.close();
        return fail(err, path, reason);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(err, path, file.errorString());
    return true;
}

bool RewriteFile(const QString &path, const QStringList &lines, IoError *err) {
    clearError(err);
    // The new file keeps the permissions of the old one; a new file is the
    // owner's only.
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat old;
    if (::stat(QFile::encodeName(path).constData(), &old) == 0)
        mode = old.st_mode & 07777;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(err, path, file.errorString());
    if (::fchmod(file.handle(), mode) != 0) {
        const QString reason = systemReason(errno);
        file.cancelWriting();
        return fail(err, path, reason);
    }

    QByteArray data;
    for (const QString &line : lines) {
        data += line.toLatin1();
        data += "\r\n";
    }
    if (file.write(data) != data.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(err, path, reason);
    }
    if (::fsync(file.handle()) != 0) {
        const QString reason = systemReason(errno);
        file.cancelWriting();
        return fail(err, path, reason);
    }
    if (!file.commit())
        return fail(err, path, file.errorString());
    return syncFolder(folderOf(path), err);
}

bool MakeFolder(const QString &path, IoError *err) {
    clearError(err);
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || info.isSymLink())
        return fail(err, path, QStringLiteral("A file of that name already exists"));
    errno = 0;
    if (!QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        const int error = errno;
        if (QFileInfo(path).isDir())
            return true; // made by someone else in the meantime
        return fail(err, path,
                    error ? systemReason(error)
                          : QStringLiteral("The folder could not be created"));
    }
    return true;
}

} // namespace modMain

#include "storage/records.h"

#include "storage/cipher.h"
#include "storage/folderentries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

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

QString SwapPairs(QString text) {
    if (text.size() < 2)
        return text;
    QChar *chars = text.data(); // copies only a text that is shared
    for (qsizetype i = 1; i < text.size(); i += 2)
        std::swap(chars[i - 1], chars[i]);
    return text;
}

QString UnstorableChars(const QString &text) {
    QString result;
    for (const QChar c : text) {
        if (!IsStorableChar(c) && !result.contains(c))
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

bool IsWholeRecord(QByteArrayView line, std::initializer_list<FieldShape> shape) {
    static const QByteArray separator = kFieldSep.toLatin1();
    qsizetype start = 0;
    const FieldShape *field = shape.begin();
    for (; field != shape.end(); ++field) {
        const bool last = field + 1 == shape.end();
        qsizetype end = line.indexOf(separator, start);
        if (last != (end < 0))
            return false; // fewer or more fields than the shape
        if (end < 0)
            end = line.size();
        const qsizetype size = end - start;
        if ((size == 0 && !field->mayBeEmpty) || size % field->perChar != 0)
            return false;
        for (qsizetype i = start; i < end; ++i) {
            if (line[i] < '0' || line[i] > '9')
                return false;
        }
        start = end + separator.size();
    }
    return shape.size() > 0;
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

int NextNumber(qint64 highest) {
    return int(std::clamp<qint64>(highest, 0, std::numeric_limits<int>::max() - 1)) + 1;
}

OwnerTest::OwnerTest(const QString &sessionStamp) : mine_(DecryptText(SwapPairs(sessionStamp))) {}

bool OwnerTest::owns(const QString &storedStamp) const {
    return DecryptText(SwapPairs(storedStamp)) == mine_;
}

} // namespace modMain

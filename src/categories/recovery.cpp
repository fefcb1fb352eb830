#include "categories/recovery.h"

#include "categories/categoryindex.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <sys/stat.h>

namespace modMain {

namespace {

// The category of a URL file that a delete set aside, "CAT<m>.DAT.deleting"
// (the URL file's name in whatever letter case it had), with the URL file's
// name in `*original`; 0 for any other name.
qint64 asideCategory(const QString &name, QString *original) {
    if (!name.endsWith(kDeletingSuffix))
        return 0;
    const QString base = name.chopped(kDeletingSuffix.size());
    // The number between "CAT" and ".DAT", taken only when the name is that
    // number's URL file name in some letter case (no leading zero, no sign).
    const qint64 number = ReadNumber(QStringView(base).mid(3));
    if (!IsStorableNumber(number) ||
        base.compare(UrlFileName(int(number)), Qt::CaseInsensitive) != 0)
        return 0;
    *original = base;
    return number;
}

// The category numbers of the index, whatever the owner of each record. An
// absent index is made empty, as loading the categories would make it.
IoError indexedCategories(const QString &folder, QSet<qint64> *numbers) {
    const QString path = JoinPath(folder, kCategoryIndexName);
    IoError err;
    bool hasData = false;
    if (!err.take(FileHasData(path, &hasData)) || !hasData)
        return err;
    err.take(ForEachLine(path, [numbers](const QString &line) {
        numbers->insert(CategoryNumber(CategoryFields(line)));
        return true;
    }));
    return err;
}

// The lines of a URL file made after its category's file was set aside, to
// follow the lines set aside (`older`): every record whose number is taken
// already, in `older` or by a line before it, gets the next free number. Lines
// that are no complete record, and records whose number is free, stay as
// they are.
QStringList renumbered(const QStringList &older, QStringList newer) {
    QSet<qint64> taken;
    qint64 highest = 0;
    for (const QString &line : older) {
        const qint64 n = UrlNoOfLine(line);
        taken.insert(n);
        highest = std::max(highest, n);
    }
    for (const QString &line : std::as_const(newer))
        highest = std::max(highest, UrlNoOfLine(line));
    for (QString &line : newer) {
        const UrlRecord record = DecodeUrlLine(line);
        if (!record.fields || record.number < 1) {
            taken.insert(UrlNoOfLine(line));
            continue;
        }
        qint64 number = record.number;
        const qint64 next = NextNumber(highest);
        if (taken.contains(number) && IsStorableNumber(next)) {
            QStringList fields = SplitRecord(line);
            fields[0] = EncodeField(UrlKey(next));
            line = JoinRecord(fields);
            number = highest = next;
        }
        taken.insert(number);
    }
    return newer;
}

// Puts the lines of `aside` in front of those of `current`, the URL file of
// the same category made since, and removes `aside`. When `current` already
// begins with every line of `aside`, this merge was made before and cut short
// by a crash: only the removal is left to do.
IoError mergeBack(const QString &aside, const QString &current) {
    IoError err;
    QStringList older;
    QStringList newer;
    if (!err.take(ReadLines(aside, &older)) || !err.take(ReadLines(current, &newer)))
        return err;
    const bool merged =
        newer.size() >= older.size() && std::equal(older.begin(), older.end(), newer.begin());
    if (!merged && !err.take(RewriteFile(current, older + renumbered(older, newer))))
        return err;
    err.take(RemoveFile(aside));
    return err;
}

} // namespace

IoError RecoverUserFolder(int userNo) {
    const QString folder = UserFolderPath(userNo);
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 && errno == ENOENT)
        return IoError();

    // An import cut short is undone first; nothing else is touched while
    // that cannot be done.
    if (IoError err = RecoverJournal(folder); err.failed())
        return err;

    // Every step is taken that can be; the first failure is the one told.
    IoError result;

    result.keepFirst(RemoveRewriteLeftovers(folder));

    QStringList names;
    if (IoError err = ListFolder(folder, &names); err.failed()) {
        result.keepFirst(err);
        return result;
    }
    bool indexRead = false;
    QSet<qint64> indexed;
    for (const QString &name : std::as_const(names)) {
        QString original;
        const qint64 number = asideCategory(name, &original);
        if (number == 0)
            continue;
        if (!indexRead) {
            // Nothing is put back or removed on an index that cannot be read.
            const IoError err = indexedCategories(folder, &indexed);
            result.keepFirst(err);
            if (err.failed())
                return result;
            indexRead = true;
        }
        const QString aside = JoinPath(folder, name);
        if (!indexed.contains(number)) {
            result.keepFirst(RemoveFile(aside)); // the delete went through: its URLs go with it
            continue;
        }
        const QStringList current = EntriesNamed(folder, original);
        if (current.isEmpty())
            result.keepFirst(MoveAside(aside, JoinPath(folder, original)));
        else
            result.keepFirst(mergeBack(aside, current.first()));
    }
    return result;
}

} // namespace modMain

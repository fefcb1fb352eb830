#include "categories/categoryindex.h"

#include "session/modMain.h"
#include "storage/cipher.h"
#include "urls/urlfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <limits>

namespace modMain {

namespace {

const QString kDummyField = QStringLiteral("*qvx*");

// Suffix of a URL file while its category is being deleted. A name that
// differs from every "CAT<m>.DAT" (in any case), so no category ever reads
// a file in this state as its own.
const QString kDeletingSuffix = QStringLiteral(".deleting");

QString userFolder() {
    return UserFolderPath(UserNo);
}

CategoryChange failure(const IoError &err, const QString &action, bool indexChanged = false) {
    CategoryChange change;
    change.indexChanged = indexChanged;
    change.error = err;
    change.action = action;
    return change;
}

CategoryChange failure(const QString &file, const QString &reason, const QString &action) {
    IoError err;
    err.file = file;
    err.reason = reason;
    return failure(err, action);
}

CategoryChange noSuchCategory(const QString &path, qint64 number) {
    return failure(path, QStringLiteral("It holds no Category numbered %1").arg(number),
                   QStringLiteral("find the Category in"));
}

// Renames `from` to `to` in one step, replacing a file at `to`.
bool renameEntry(const QString &from, const QString &to, IoError *err) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    err->file = from;
    err->reason = qt_error_string(errno);
    return false;
}

} // namespace

QString CategoryIndexPath() {
    return JoinPath(userFolder(), kCategoryIndexName);
}

QStringList CategoryFields(const QString &line, int dummies) {
    QStringList fields = SplitRecord(line);
    if (fields.size() < 2) {
        fields.clear();
        for (int i = 0; i < dummies; ++i)
            fields << kDummyField;
    }
    return fields;
}

qint64 CategoryNumber(const QStringList &fields) {
    return KeyNumber(DecodeField(fields.value(0)));
}

QString CategoryRecordLine(qint64 number, const QString &name, const QString &stamp) {
    return JoinRecord({EncodeField(QStringLiteral("CAT") + QString::number(number)),
                       EncodeField(name), TrimBlanks(stamp)});
}

bool CategoryExists(const QString &name, IoError *err) {
    NextCatNo = 0;
    IoError local;
    IoError *error = err ? err : &local;
    const QString path = CategoryIndexPath();
    if (!FileHasData(path, error)) {
        if (error->failed())
            return false;
        NextCatNo = 1;
        return false;
    }

    const QString wanted = name.toUpper();
    qint64 highest = 0;
    bool found = false;
    const bool read = ForEachLine(
        path,
        [&](const QString &line) {
            const QStringList fields = CategoryFields(line);
            highest = std::max(highest, CategoryNumber(fields));
            const QString stored = DecryptText(fields.value(1));
            if (stored.size() != name.size())
                return true;
            found = SwapPairs(stored).toUpper() == wanted;
            return !found;
        },
        error);
    if (!read)
        return false;
    // Kept below INT_MAX so that "highest + 1" cannot wrap: a number past
    // kMaxRecordNo stays past it for the caller to refuse.
    NextCatNo = int(std::min<qint64>(highest, std::numeric_limits<int>::max() - 1)) + 1;
    return found;
}

bool ReadCategoryIndex(const QString &stamp, CategoryIndexRead *read, IoError *err) {
    *read = CategoryIndexRead();
    IoError local;
    IoError *error = err ? err : &local;
    const QString path = CategoryIndexPath();
    if (!FileHasData(path, error))
        return !error->failed();
    read->hasData = true;

    // The session's side of the owner test is the same for every line.
    const QString mine = DecryptText(SwapPairs(stamp));
    return ForEachLine(
        path,
        [&](const QString &line) {
            const QStringList fields = CategoryFields(line, 4);
            read->lastOwned = DecryptText(SwapPairs(fields.value(2))) == mine;
            if (read->lastOwned) {
                const qint64 number = CategoryNumber(fields);
                read->owned.append(
                    ListEntry{DecodeField(fields.value(1)),
                              int(std::min<qint64>(number, std::numeric_limits<int>::max()))});
            }
            return true;
        },
        error);
}

CategoryChange AppendCategory(qint64 number, const QString &name, const QString &stamp) {
    const QString path = CategoryIndexPath();
    if (!IsStorableNumber(number))
        return failure(path, QStringLiteral("The Category number %1 is out of range").arg(number),
                       QStringLiteral("write to"));
    IoError err;
    if (!AppendLine(path, CategoryRecordLine(number, name, stamp), &err))
        return failure(err, QStringLiteral("write to"));
    CategoryChange change;
    change.indexChanged = true;
    change.error = err; // at most a warning: written, perhaps not yet flushed
    return change;
}

CategoryChange RenameCategory(qint64 number, const QString &newName, const QString &stamp) {
    const QString path = CategoryIndexPath();
    if (number < 1)
        return noSuchCategory(path, number);
    const QString record = CategoryRecordLine(number, newName, stamp);
    QStringList lines;
    qsizetype renamed = 0;
    IoError err;
    const bool read = ReadLinesEdited(
        path,
        [&](QString &line, bool *) {
            if (CategoryNumber(CategoryFields(line)) != number)
                return false;
            line = record;
            return true;
        },
        &lines, &renamed, &err);
    if (!read)
        return failure(err, QStringLiteral("read"));
    if (renamed == 0)
        return noSuchCategory(path, number);
    if (!RewriteFile(path, lines, &err))
        return failure(err, QStringLiteral("write to"));
    CategoryChange change;
    change.indexChanged = true;
    change.error = err; // at most a warning: written, perhaps not yet flushed
    return change;
}

// Deleting a category touches two files, and no order of plain steps is
// safe against every failure: removing the URL file first loses the URLs of
// a category that stays when the index then cannot be written; writing the
// index first leaves, when the URL file then cannot be removed, a file that
// the next category given the same number would take for its own. So:
//   1. read the index and work out the lines to keep (nothing changes yet);
//   2. rename the URL file (every case variant) to a name no category reads,
//      in the same folder (one atomic step each); a failure renames back
//      what was moved and stops: nothing changed;
//   3. write the index without the category, atomically; a failure renames
//      the URL files back: nothing changed;
//   4. remove the renamed URL files; a failure leaves the category deleted
//      and a file that no category will ever read, named in the report.
// Only a crash between steps 2 and 3 leaves the URLs of a kept category
// under the other name, still on disk.
CategoryChange DeleteCategoryFiles(qint64 number) {
    const QString path = CategoryIndexPath();
    // Number 0 is what lines without a separator read as: never a category.
    if (number < 1)
        return noSuchCategory(path, number);
    QStringList kept;
    qsizetype dropped = 0;
    IoError err;
    const bool read = ReadLinesEdited(
        path,
        [&](QString &line, bool *keep) {
            *keep = CategoryNumber(CategoryFields(line)) != number;
            return !*keep;
        },
        &kept, &dropped, &err);
    if (!read)
        return failure(err, QStringLiteral("read"));

    struct Moved {
        QString from, to;
    };
    QList<Moved> moved;
    auto moveBack = [&moved](IoError *first) {
        for (const Moved &m : std::as_const(moved)) {
            IoError back;
            if (!renameEntry(m.to, m.from, &back))
                first->reason += QStringLiteral(". The URLs of this Category are kept in \"%1\"; "
                                                "rename it to \"%2\" to get them back")
                                     .arg(m.to, m.from);
        }
    };

    const QString folder = userFolder();
    for (const QString &urlFile : EntriesNamed(folder, UrlFileName(int(number)))) {
        const QString aside = urlFile + kDeletingSuffix;
        if (!renameEntry(urlFile, aside, &err)) {
            moveBack(&err);
            return failure(err, QStringLiteral("move away"));
        }
        moved.append({urlFile, aside});
    }

    if (dropped > 0 && !RewriteFile(path, kept, &err)) {
        moveBack(&err);
        return failure(err, QStringLiteral("write to"));
    }

    CategoryChange change;
    change.indexChanged = true;
    change.error = err; // at most a warning: written, perhaps not yet flushed
    for (const Moved &m : std::as_const(moved)) {
        QFile file(m.to);
        if (!file.remove() && !change.failed()) {
            change.error.clear();
            change.error.file = m.to;
            change.error.reason = file.errorString();
            change.action = QStringLiteral("delete");
        }
    }
    return change;
}

} // namespace modMain

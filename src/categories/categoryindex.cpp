#include "categories/categoryindex.h"

#include "session/modMain.h"
#include "storage/cipher.h"
#include "urls/urlfile.h"

#include <algorithm>
#include <limits>

namespace modMain {

namespace {

const QString kDummyField = QStringLiteral("*qvx*");

QString userFolder() {
    return UserFolderPath(UserNo);
}

Change refused(const IoError &err) {
    Change change;
    change.error = err;
    return change;
}

// The category chosen on the screen is no longer in the index (changed
// meanwhile by another program, or a damaged number): `done` is what would
// have happened to it ("renamed", "deleted").
Change noLongerThere(const QString &done) {
    return refused(IoError::refused(QStringLiteral("Sorry, that Category is no longer in the file "
                                                   "of your Categories, so nothing was %1.")
                                        .arg(done)));
}

// A name the cipher cannot store: refused before anything is written.
IoError unstorableName(const QString &name) {
    const QString chars = UnstorableChars(name);
    return chars.isEmpty()
               ? IoError()
               : IoError::refused(UnstorableMessage(QStringLiteral("Category Name"), chars));
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

bool IsWholeCategoryLine(QByteArrayView line) {
    return IsWholeRecord(line, {FieldShape(), FieldShape(), FieldShape()});
}

bool IsCategoryRecord(const QString &line, qint64 number, const QString *name) {
    const QStringList fields = SplitRecord(line);
    return fields.size() >= 2 && CategoryNumber(fields) == number &&
           (!name || DecodeField(fields[1]) == *name);
}

QString CategoryRecordLine(qint64 number, const QString &name, const QString &stamp) {
    return JoinRecord({EncodeField(QStringLiteral("CAT") + QString::number(number)),
                       EncodeField(name), TrimBlanks(stamp)});
}

IoError CategoryExists(const QString &name, bool *exists) {
    NextCatNo = 0;
    *exists = false;
    const QString path = CategoryIndexPath();
    bool hasData = false;
    if (IoError err = FileHasData(path, &hasData); err.failed() || !hasData) {
        if (!err.failed())
            NextCatNo = 1;
        return err;
    }

    const QString wanted = name.toUpper();
    qint64 highest = 0;
    IoError err = ForEachLine(path, [&](const QString &line) {
        const QStringList fields = CategoryFields(line);
        highest = std::max(highest, CategoryNumber(fields));
        const QString stored = DecryptText(fields.value(1));
        if (stored.size() != name.size())
            return true;
        *exists = SwapPairs(stored).toUpper() == wanted;
        return !*exists;
    });
    if (err.failed()) {
        *exists = false;
        return err;
    }
    NextCatNo = NextNumber(highest);
    return err;
}

IoError ReadCategoryIndex(const QString &stamp, CategoryIndexRead *read) {
    *read = CategoryIndexRead();
    const QString path = CategoryIndexPath();
    if (IoError err = FileHasData(path, &read->hasData); err.failed() || !read->hasData)
        return err;

    const OwnerTest owner(stamp);
    const auto sepSize = kFieldSep.size();
    return ForEachLine(path, [&](const QString &line) {
        // The fields as views into the line, not copies: the first three are
        // all that loading reads. A line with fewer takes the general path.
        const qsizetype keyEnd = line.indexOf(kFieldSep);
        const qsizetype nameEnd = keyEnd < 0 ? -1 : line.indexOf(kFieldSep, keyEnd + sepSize);
        QString key, name, stored;
        if (nameEnd < 0) {
            const QStringList fields = CategoryFields(line, 4);
            key = fields.value(0);
            name = fields.value(1);
            stored = fields.value(2);
        } else {
            const qsizetype stampEnd = line.indexOf(kFieldSep, nameEnd + sepSize);
            auto view = [&line](qsizetype from, qsizetype to) {
                return QString::fromRawData(line.constData() + from, to - from);
            };
            key = view(0, keyEnd);
            name = view(keyEnd + sepSize, nameEnd);
            stored = view(nameEnd + sepSize, stampEnd < 0 ? line.size() : stampEnd);
        }
        read->lastOwned = owner.owns(stored);
        if (read->lastOwned) {
            const qint64 number = KeyNumber(DecodeField(key));
            read->owned.append(ListEntry{
                DecodeField(name), int(std::min<qint64>(number, std::numeric_limits<int>::max()))});
        }
        return true;
    });
}

Change AppendCategory(qint64 number, const QString &name, const QString &stamp) {
    const QString path = CategoryIndexPath();
    if (!IsStorableNumber(number))
        return refused(
            IoError::failure(path, QStringLiteral("write to"),
                             QStringLiteral("The Category number %1 is out of range").arg(number)));
    if (IoError err = unstorableName(name); err.failed())
        return refused(err);
    Change change;
    change.changed = change.error.take(AppendLine(path, CategoryRecordLine(number, name, stamp)));
    change.number = change.changed ? number : 0;
    return change;
}

Change RenameCategory(qint64 number, const QString &newName, const QString &stamp,
                      const QString &currentName) {
    const QString path = CategoryIndexPath();
    if (number < 0)
        return noLongerThere(QStringLiteral("renamed"));
    if (IoError err = unstorableName(newName); err.failed())
        return refused(err);
    const QByteArray record = CategoryRecordLine(number, newName, stamp).toLatin1();
    // Number 0 is shared by every damaged record: the one meant is found by
    // its name, and it alone is rewritten.
    const QString *named = number == 0 ? &currentName : nullptr;
    qsizetype renamed = 0;
    bool found = false;
    Change change;
    const bool rewritten = change.error.take(RewriteLinesEdited(
        path,
        [&](QByteArrayView &line, bool *) {
            if ((named && found) || !IsCategoryRecord(QString::fromLatin1(line), number, named))
                return false;
            line = record;
            found = true;
            return true;
        },
        &renamed));
    if (!rewritten)
        return change;
    if (renamed == 0)
        return noLongerThere(QStringLiteral("renamed"));
    change.changed = true;
    return change;
}

// Deleting a category touches two files, and no order of plain steps is
// safe against every failure: removing the URL file first loses the URLs of
// a category that stays when the index then cannot be written; writing the
// index first leaves, when the URL file then cannot be removed, a file that
// the next category given the same number would take for its own. So:
//   1. move the URL file (every case variant) aside to a name no category
//      reads, in the same folder (one atomic step each, never over an entry
//      already there); a failure moves back what was moved and stops:
//      nothing changed;
//   2. write the index without the category, atomically (an index that
//      does not hold it is left as it is); a failure to read or write it
//      moves the URL files back: nothing changed;
//   3. remove the moved URL files; a failure leaves the category deleted
//      and a file that no category will ever read, named in the report.
// A crash between steps 1 and 3 leaves a URL file under the other name, on
// disk; RecoverUserFolder puts it back (its category still listed) or
// removes it (its category gone) the next time the user signs in.
Change DeleteCategoryFiles(qint64 number, const QString &name) {
    const QString path = CategoryIndexPath();
    if (number < 0)
        return noLongerThere(QStringLiteral("deleted"));
    Change change;
    // Number 0 is shared by every damaged record (and CAT0.DAT by all of
    // them): the one meant is found by its name, and the URL file goes only
    // with the last record that reads as number 0.
    const QString *named = number == 0 ? &name : nullptr;
    bool urlFileGoes = true;
    if (named) {
        bool found = false;
        int others = 0;
        const IoError read = ForEachLine(path, [&](const QString &line) {
            if (IsCategoryRecord(line, 0)) {
                if (!found && IsCategoryRecord(line, 0, named))
                    found = true;
                else
                    ++others;
            }
            return true;
        });
        if (!change.error.take(read))
            return change;
        urlFileGoes = others == 0;
    }
    struct Moved {
        QString from, to;
    };
    QList<Moved> moved;
    // Puts back what was moved aside; says where the URLs are when one of
    // them cannot go back.
    auto moveBack = [&moved, &change] {
        for (const Moved &m : std::as_const(moved)) {
            const IoError back = MoveBack(m.to, m.from);
            change.error.note(back);
            if (back.failed())
                change.error.reason +=
                    QStringLiteral(". The URLs of this Category are kept in "
                                   "\"%1\"; rename it to \"%2\" to get them back")
                        .arg(m.to, m.from);
        }
    };

    const QStringList urlFiles =
        urlFileGoes ? EntriesNamed(userFolder(), UrlFileName(int(number))) : QStringList();
    for (const QString &urlFile : urlFiles) {
        const QString aside = urlFile + kDeletingSuffix;
        if (!change.error.take(MoveAside(urlFile, aside))) {
            moveBack();
            return change;
        }
        moved.append({urlFile, aside});
    }

    qsizetype dropped = 0;
    const IoError rewritten = RewriteLinesEdited(
        path,
        [&](QByteArrayView &line, bool *keep) {
            *keep = (named && dropped > 0) ||
                    !IsCategoryRecord(QString::fromLatin1(line), number, named);
            return !*keep;
        },
        &dropped);
    if (!change.error.take(rewritten)) {
        moveBack();
        return change;
    }

    change.changed = true;
    for (const Moved &m : std::as_const(moved)) {
        // Every file goes that can; the first one left behind is reported.
        change.error.keepFirst(RemoveFile(m.to));
    }
    return change;
}

} // namespace modMain

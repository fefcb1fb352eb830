#include "categories/categoryindex.h"

#include "storage/crashrepair.h"
#include "storage/datafile.h"
#include "storage/folderentries.h"
#include "storage/paths.h"
#include "urls/urlfile.h"

#include <algorithm>
#include <limits>

namespace modMain {

namespace {

const QString kDummyField = QStringLiteral("*qvx*");

Change noLongerThere(const QString &done) {
    return Refused(CategoryNoLongerThere(done));
}

// A name the cipher cannot store: refused before anything is written.
IoError unstorableName(const QString &name) {
    return UnstorableRefusal(Field::CategoryName, name);
}

} // namespace

IoError CategoryNoLongerThere(const QString &done) {
    return IoError::refused(IoError::Kind::NoRecord,
                            QStringLiteral("Sorry, that Category is no longer in the file "
                                           "of your Categories, so nothing was %1.")
                                .arg(done));
}

QString CategoryIndexPath(int userNo) {
    return JoinPath(UserFolderPath(userNo), kCategoryIndexName);
}

bool IsCategoryIndexName(const QString &name) {
    return name.compare(kCategoryIndexName, Qt::CaseInsensitive) == 0;
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

IoError CategoryExists(int userNo, const QString &name, bool *exists, int *nextNo) {
    *nextNo = 0;
    *exists = false;
    const QString path = CategoryIndexPath(userNo);
    bool hasData = false;
    if (IoError err = FileHasData(path, &hasData); err.failed() || !hasData) {
        if (!err.failed())
            *nextNo = 1;
        return err;
    }

    // Each line is read in place: its key, and its name up to the first
    // character that differs, are deciphered, nothing else. A line without
    // separator reads as dummy fields: number 0, and a name that deciphers
    // to "" (the empty view).
    const NameTest wanted(name);
    qint64 highest = 0;
    IoError err = ForEachLine(path, [&](const QString &line) {
        std::array<QStringView, 2> fields;
        if (SplitFields(QStringView(line), &fields) == 2)
            highest = std::max(highest, FieldKeyNumber(fields[0]));
        *exists = wanted.matches(fields[1]);
        return !*exists;
    });
    if (err.failed()) {
        *exists = false;
        return err;
    }
    *nextNo = NextNumber(highest);
    return err;
}

namespace {

// The first three fields of an index line, as views into the line: all that
// its readers look at.
using IndexFields = std::array<QStringView, 3>;

// Reads the index file at `path` a line at a time and hands `visit` the
// fields of every line, its category number and whether it is a record (it
// holds a separator). The fields a line lacks read as dummy fields would:
// they decipher to "", so the key is no number and the owner test fails.
template <typename Visit> IoError forEachIndexLine(const QString &path, Visit &&visit) {
    IndexFields fields;
    return ForEachLine(path, [&](const QString &line) {
        const bool record = SplitFields(QStringView(line), &fields) >= 2;
        if (!record)
            fields = {};
        visit(fields, fields[0].isEmpty() ? 0 : FieldKeyNumber(fields[0]), record);
        return true;
    });
}

} // namespace

IoError ReadCategoryIndex(int userNo, const QString &stamp, CategoryIndexRead *read) {
    *read = CategoryIndexRead();
    const QString path = CategoryIndexPath(userNo);
    if (IoError err = FileHasData(path, &read->hasData); err.failed() || !read->hasData)
        return err;
    return ReadCategoryIndexFile(path, stamp, read);
}

IoError ReadCategoryIndexFile(const QString &path, const QString &stamp, CategoryIndexRead *read) {
    *read = CategoryIndexRead();
    const OwnerTest owner(stamp);
    return forEachIndexLine(path, [&](const IndexFields &fields, qint64 number, bool record) {
        read->hasData = true;
        read->highest = std::max(read->highest, number);
        read->lastOwned = owner.owns(fields[2]);
        if (read->lastOwned) {
            read->owned.append(
                ListEntry{DecodeField(fields[1]),
                          int(std::min<qint64>(number, std::numeric_limits<int>::max()))});
        } else if (record) {
            read->takenNames.insert(DecodeField(fields[1]).toUpper());
        }
    });
}

IoError NewCategoryNumberRefusal(qint64 number) {
    return IsStorableNumber(number)
               ? IoError()
               : IoError::refused(IoError::Kind::NumbersUsedUp,
                                  QStringLiteral("Sorry, no more Categories can be added: the "
                                                 "Category numbers have reached their highest "
                                                 "value, 32767."));
}

IoError CategoryNameTakenRefusal() {
    return IoError::refused(IoError::Kind::NameTaken,
                            QStringLiteral("There already exists a Category by that name, please "
                                           "choose another name."));
}

IoError UrlFileGoesWithRecord(const QString &path, qint64 number, const QString &name, bool *goes) {
    *goes = true;
    if (number != 0)
        return IoError();
    bool found = false;
    int others = 0;
    const IoError read = ForEachLine(path, [&](const QString &line) {
        if (IsCategoryRecord(line, 0)) {
            if (!found && IsCategoryRecord(line, 0, &name))
                found = true;
            else
                ++others;
        }
        return true;
    });
    if (read.failed())
        return read;
    *goes = others == 0;
    return IoError();
}

Change AppendCategory(int userNo, const QString &name, const QString &stamp, QByteArray *written) {
    const QString path = CategoryIndexPath(userNo);
    if (IoError err = unstorableName(name); err.failed())
        return Refused(err);
    Change change;
    bool exists = false;
    int number = 0;
    if (!change.error.take(CategoryExists(userNo, name, &exists, &number)))
        return change;
    if (exists) {
        change.error.take(CategoryNameTakenRefusal());
        return change;
    }
    if (!change.error.take(NewCategoryNumberRefusal(number)))
        return change;
    const QString line = CategoryRecordLine(number, name, stamp);
    change.changed = change.error.take(AppendLine(path, line));
    if (change.changed && written)
        *written = line.toLatin1();
    change.number = change.changed ? number : 0;
    // The empty index the look-up made holds the record now.
    if (change.changed)
        change.error.warning.filled();
    return change;
}

Change RenameCategory(int userNo, qint64 number, const QString &newName, const QString &stamp,
                      const QString &currentName, QByteArray *oldLine, QByteArray *newLine) {
    const QString path = CategoryIndexPath(userNo);
    if (number < 0)
        return noLongerThere(QStringLiteral("renamed"));
    if (IoError err = unstorableName(newName); err.failed())
        return Refused(err);
    // One pass over the index: every line's name is compared as it goes by,
    // and the record is rewritten on the way. A name that is taken abandons
    // the rewrite, which leaves the index as it was. Number 0 is shared by
    // every damaged record: the one meant is found by its name, and it alone
    // is rewritten.
    const QString *named = number == 0 ? &currentName : nullptr;
    bool found = false;
    Change change;
    bool hasData = false;
    if (!change.error.take(FileHasData(path, &hasData)))
        return change;
    if (!hasData)
        return noLongerThere(QStringLiteral("renamed"));
    const NameTest wanted(newName);
    const NumberTest numbered(number);
    const QByteArray replacement = CategoryRecordLine(number, newName, stamp).toLatin1();
    qsizetype renamed = 0;
    bool taken = false;
    const bool rewritten = change.error.take(RewriteLinesEdited(
        path,
        [&](QByteArrayView &line, bool *) {
            // A line without separator reads as dummy fields, as above.
            std::array<QLatin1StringView, 2> fields;
            const bool record = SplitFields(QLatin1StringView(line), &fields) == 2;
            taken = wanted.matches(fields[1]);
            if (taken || !record || (named && found) || !numbered.matches(fields[0]) ||
                (named && DecodeField(QString(fields[1])) != *named))
                return false;
            if (!found && oldLine)
                *oldLine = line.toByteArray();
            line = replacement;
            found = true;
            return true;
        },
        &renamed, &taken));
    if (rewritten && taken) {
        change.error.take(IoError::refused(
            IoError::Kind::NameTaken,
            QStringLiteral("There already exists a Category by that name...Please choose "
                           "another.")));
        return change;
    }
    if (!rewritten)
        return change;
    if (renamed == 0)
        return noLongerThere(QStringLiteral("renamed"));
    change.changed = true;
    if (newLine)
        *newLine = replacement;
    return change;
}

Change ReplaceCategoryLine(int userNo, const QByteArray &line, const QByteArray &replacement) {
    Change change;
    qsizetype replaced = 0;
    bool done = false;
    if (!change.error.take(RewriteLinesEdited(
            CategoryIndexPath(userNo),
            [&](QByteArrayView &current, bool *) {
                if (done || current != line)
                    return false;
                current = replacement;
                done = true;
                return true;
            },
            &replaced)))
        return change;
    if (replaced == 0)
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
Change DeleteCategoryFiles(int userNo, qint64 number, const QString &name) {
    const QString path = CategoryIndexPath(userNo);
    if (number < 0)
        return noLongerThere(QStringLiteral("deleted"));
    Change change;
    // Number 0 is shared by every damaged record: the one meant is found by
    // its name.
    const QString *named = number == 0 ? &name : nullptr;
    bool urlFileGoes = true;
    if (!change.error.take(UrlFileGoesWithRecord(path, number, name, &urlFileGoes)))
        return change;
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
        urlFileGoes ? EntriesNamed(UserFolderPath(userNo), UrlFileName(int(number)))
                    : QStringList();
    for (const QString &urlFile : urlFiles) {
        const QString aside = urlFile + kDeletingSuffix;
        if (!change.error.take(MoveAside(urlFile, aside))) {
            moveBack();
            return change;
        }
        moved.append({urlFile, aside});
    }

    qsizetype dropped = 0;
    const NumberTest numbered(number);
    const IoError rewritten = RewriteLinesEdited(
        path,
        [&](QByteArrayView &line, bool *keep) {
            // A line without separator reads as dummy fields, whose key is
            // number 0 (and whose name deciphers to "").
            const QLatin1StringView text(line);
            const qsizetype sep = FindFieldSep(text, 0);
            *keep = (named && dropped > 0) || sep < 0 || !numbered.matches(text.first(sep)) ||
                    (named && !IsCategoryRecord(QString::fromLatin1(line), 0, named));
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

// --- Repairs after a crash ----------------------------------------------------

IoError ReadCategoryNumbers(int userNo, QSet<qint64> *numbers) {
    numbers->clear();
    const QString path = CategoryIndexPath(userNo);
    bool hasData = false;
    if (IoError err = FileHasData(path, &hasData); err.failed() || !hasData)
        return err;
    return forEachIndexLine(path, [numbers](const IndexFields &, qint64 number, bool record) {
        if (record)
            numbers->insert(number);
    });
}

IoError PlaceIndexLeftover(int userNo, const QString &leftover, QString *keptAs) {
    const QString index = CategoryIndexPath(userNo);
    if (SizeOfEntry(index) > 0) {
        QString kept;
        IoError err = KeepAside(leftover, &kept);
        if (keptAs)
            *keptAs = kept;
        return err.during(QStringLiteral("Wayfile was setting aside a file of Categories that a "
                                         "change cut short left in your folder"),
                          QStringLiteral("Your Categories are kept in \"%1\" and in \"%2\". "
                                         "Wayfile tries again at your next sign-in.")
                              .arg(index, leftover));
    }
    return MoveIntoPlace(leftover, index)
        .during(QStringLiteral("Wayfile was putting back the file of your Categories after a "
                               "change that was cut short"),
                QStringLiteral("Your Categories are kept in \"%1\". Wayfile tries again at your "
                               "next sign-in; if this goes on, close Wayfile and rename that file "
                               "to \"%2\".")
                    .arg(leftover, index));
}

} // namespace modMain

#include "trash/trashfile.h"

#include "categories/categoryindex.h"
#include "privacy/clock.h"
#include "storage/datafile.h"
#include "storage/folderentries.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "urls/urlfile.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <array>

namespace modMain {

namespace {

// What a line of the Trash is (field 2).
const QString kRoleUrl = QStringLiteral("URL");
const QString kRoleCategory = QStringLiteral("CAT");
const QString kRoleCategoryUrl = QStringLiteral("CATURL");

constexpr int kHeaderFields = 7;
// The fields of a category record and of a URL record.
constexpr int kCategoryFields = 3;
constexpr int kUrlFields = 4;

// The fields a Trash line starts with, as views into it, and where the
// record it keeps starts.
template <typename View> struct Header {
    std::array<View, kHeaderFields> fields;
    qsizetype recordAt = -1;

    View key() const { return fields[0]; }
    View role() const { return fields[1]; }
    View stamp() const { return fields[kTrashStampField]; }
};

// Splits the header of a Trash line; false for a line that holds no whole
// header (no Trash line: it is kept, and listed nowhere).
template <typename View> bool splitHeader(View line, Header<View> *header) {
    qsizetype at = 0;
    for (View &field : header->fields) {
        const qsizetype sep = FindFieldSep(line, at);
        if (sep < 0)
            return false;
        field = line.sliced(at, sep - at);
        at = sep + kFieldSep.size();
    }
    header->recordAt = at;
    return true;
}

QString decoded(QLatin1StringView field) {
    return DecodeField(QString(field));
}
QString decoded(QStringView field) {
    return DecodeField(field);
}

// The header of the Trash lines of item `id` up to the field of the line's
// place (field 7), with the separator before it; headerBytes completes it.
QByteArray headerStart(qint64 id, const QString &role, qint64 catNo, const QString &name,
                       const QString &when, const QString &stamp) {
    return (JoinRecord({EncodeField(QStringLiteral("DEL") + QString::number(id)), EncodeField(role),
                        EncodeField(QString::number(catNo)), EncodeField(name), EncodeField(when),
                        TrimBlanks(stamp)}) +
            kFieldSep)
        .toLatin1();
}

// The whole header of a Trash line, up to and with the separator before the
// record: `start` (headerStart), then the record's place `line` in its file.
QByteArray headerBytes(const QByteArray &start, qsizetype line) {
    return start + (EncodeField(QString::number(line)) + kFieldSep).toLatin1();
}

// Inserts `lines` (whole lines, each with its CR LF) before line `at` of a
// file on its way to a new version: that line's replacement is the lines
// followed by the line itself (which keeps its own line end).
LineEdit insertBefore(qsizetype at, const QByteArray &lines, QByteArray *buffer) {
    auto row = std::make_shared<qsizetype>(-1);
    return [row, at, lines, buffer](QByteArrayView &line, bool *) {
        if (++*row != at)
            return false;
        *buffer = lines + line.toByteArray();
        line = *buffer;
        return true;
    };
}

QString nowText() {
    return TrashNow().toUTC().toString(QStringLiteral("yyyy-MM-ddThh:mm:ssZ"));
}

// Whether the file at `path` holds anything (absent: no).
bool hasBytes(const QString &path) {
    return SizeOfEntry(path) > 0;
}

// The number the next item of the Trash receives: one more than the highest
// of any line (1 for an absent or empty Trash).
IoError nextItemId(const QString &trash, qint64 *next) {
    *next = 1;
    if (!hasBytes(trash))
        return IoError();
    qint64 highest = 0;
    IoError err = ForEachLine(trash, [&highest](const QString &line) {
        const qsizetype sep = FindFieldSep(QStringView(line), 0);
        if (sep > 0)
            highest = std::max(highest, FieldKeyNumber(QStringView(line).first(sep)));
        return true;
    });
    *next = highest + 1;
    return err;
}

// Replaces the number in the key of a record line (its first field) by
// `key`, enciphered; every other byte stays.
QByteArray rekeyed(QByteArrayView record, const QString &key) {
    const qsizetype sep = FindFieldSep(QLatin1StringView(record), 0);
    QByteArray out = EncodeField(key).toLatin1();
    if (sep >= 0)
        out += record.sliced(sep);
    return out;
}

// The lines of one item of the Trash, as read back.
struct ItemLines {
    TrashItem item;
    QByteArray firstRecord; // the record of its first line
    qint64 place = 0;       // the first record's line in its file (the index, for a category)
    bool found = false;
};

// Fills in `item` from one line's header and record.
template <typename View>
void takeLine(const Header<View> &header, View record, TrashItem *item, bool first) {
    const QString role = decoded(header.role());
    if (first) {
        item->id = FieldKeyNumber(header.key());
        item->category = ReadNumber(decoded(header.fields[2]));
        item->categoryName = decoded(header.fields[3]);
        item->deleted = QDateTime::fromString(decoded(header.fields[4]), Qt::ISODate);
    }
    if (role == kRoleUrl) {
        item->kind = TrashItem::Kind::Url;
        std::array<View, kUrlFields> fields;
        if (SplitFields(record, &fields) == kUrlFields) {
            item->urlNo = FieldKeyNumber(fields[0]);
            item->address = decoded(fields[1]);
            item->description = ConvertLineBreaks(decoded(fields[2]), false);
        }
    } else {
        item->kind = TrashItem::Kind::Category;
        if (role == kRoleCategoryUrl) {
            std::array<View, kUrlFields> fields;
            if (SplitFields(record, &fields) == kUrlFields) {
                ++item->urls;
                item->addresses.append(decoded(fields[1]));
            }
        }
    }
}

// Finds the first line of item `id` that `stamp`'s password deleted: what
// the item is, where it came from, and its first record. The reading stops
// there.
IoError findItem(const QString &trash, qint64 id, const QString &stamp, ItemLines *lines) {
    *lines = ItemLines();
    if (!hasBytes(trash))
        return IoError();
    const OwnerTest owner(stamp);
    const NumberTest numbered(id);
    return ForEachLine(trash, [&](const QString &text) {
        const QStringView view(text);
        Header<QStringView> header;
        if (!splitHeader(view, &header) || !numbered.matches(header.key()) ||
            !owner.owns(header.stamp()))
            return true;
        const QStringView record = view.sliced(header.recordAt);
        lines->place = ReadNumber(decoded(header.fields[6]));
        takeLine(header, record, &lines->item, true);
        lines->firstRecord = record.toLatin1();
        lines->found = true;
        return false;
    });
}

// Takes the lines of item `id` out of the Trash on its way to a new
// version: the index records go to `categories`, every other record to
// `urls`, each followed by CR LF, in file order.
LineEdit takeItem(qint64 id, QByteArray *categories, QByteArray *urls) {
    struct Taking {
        NumberTest numbered;
        QByteArray header; // the last header seen, up to the line's place
        bool category = false;
    };
    auto taking = std::make_shared<Taking>(Taking{NumberTest(id), {}, false});
    return [taking, categories, urls](QByteArrayView &line, bool *keep) {
        const QLatin1StringView text(line);
        const qsizetype sep = FindFieldSep(text, 0);
        if (sep < 0 || !taking->numbered.matches(text.first(sep)))
            return false;
        Header<QLatin1StringView> header;
        if (!splitHeader(text, &header))
            return false;
        // The lines of one delete were written with one header up to their
        // place: what they are is deciphered once.
        const QByteArrayView start = line.first(header.fields[6].data() - text.data());
        if (start != QByteArrayView(taking->header)) {
            taking->header = start.toByteArray();
            taking->category = decoded(header.role()) == kRoleCategory;
        }
        QByteArray *to = taking->category ? categories : urls;
        to->append(line.sliced(header.recordAt));
        to->append("\r\n");
        *keep = false;
        return true;
    };
}

IoError noSuchItem() {
    return IoError::refused(
        IoError::Kind::NoRecord,
        QStringLiteral("Sorry, that item is no longer in the Trash, so nothing was restored."));
}

// Commits `journal`, the outcome into `change`.
void commitInto(Journal &journal, Change *change) {
    bool committed = false;
    change->error.take(journal.commit(&committed));
    change->changed = committed;
}

} // namespace

QString TrashFilePath(int userNo) {
    return JoinPath(UserFolderPath(userNo), kTrashName);
}

bool IsTrashName(const QString &name) {
    return name.compare(kTrashName, Qt::CaseInsensitive) == 0;
}

int TrashRecordStampField(QByteArrayView line) {
    Header<QLatin1StringView> header;
    if (!splitHeader(QLatin1StringView(line), &header))
        return -1;
    const QString role = decoded(header.role());
    if (role == kRoleCategory)
        return kHeaderFields + kCategoryFields - 1;
    if (role == kRoleUrl || role == kRoleCategoryUrl)
        return kHeaderFields + kUrlFields - 1;
    return -1;
}

QDateTime TrashNow() {
    return QDateTime::fromMSecsSinceEpoch(privacy::ProgramClock().now().wallMs, Qt::UTC);
}

IoError ReadTrash(int userNo, const QString &stamp, QList<TrashItem> *items) {
    items->clear();
    const QString trash = TrashFilePath(userNo);
    if (!hasBytes(trash))
        return IoError();
    const OwnerTest owner(stamp);
    QHash<qint64, qsizetype> rowOf;
    IoError err = ForEachLine(trash, [&](const QString &line) {
        const QStringView view(line);
        Header<QStringView> header;
        if (!splitHeader(view, &header) || !owner.owns(header.stamp()))
            return true;
        const qint64 id = FieldKeyNumber(header.key());
        auto row = rowOf.constFind(id);
        const bool first = row == rowOf.cend();
        if (first) {
            row = rowOf.insert(id, items->size());
            items->append(TrashItem());
        }
        takeLine(header, view.sliced(header.recordAt), &(*items)[*row], first);
        return true;
    });
    if (err.failed())
        items->clear();
    return err;
}

Change TrashUrl(int userNo, qint64 catNo, const QString &categoryName, qint64 urlNo,
                const QString &address, const QString &stamp) {
    const QString path = UrlFilePath(userNo, int(catNo));
    const QString trash = TrashFilePath(userNo);
    if (!hasBytes(path))
        return Refused(UrlNoLongerThere(QStringLiteral("deleted")));
    Change change;
    qint64 id = 0;
    if (!change.error.take(nextItemId(trash, &id)))
        return change;
    Journal journal(UserFolderPath(userNo));
    if (!change.error.take(journal.willReplace(path)) ||
        !change.error.take(journal.willAppendTo(trash)) || !change.error.take(journal.begin()))
        return change;

    // The record leaves its file, and its bytes go to the Trash as they were,
    // with its place in the file.
    QByteArray block;
    const UrlRecordMatcher record(urlNo, address);
    bool dropped = false;
    qsizetype row = -1;
    qsizetype edited = 0;
    IoError err = journal.writeNewVersion(
        path,
        [&](QByteArrayView &line, bool *keep) {
            ++row;
            if (dropped || !record.matches(line))
                return false;
            block =
                headerBytes(headerStart(id, kRoleUrl, catNo, categoryName, nowText(), stamp), row);
            block += line;
            dropped = true;
            *keep = false;
            return true;
        },
        &edited);
    if (!err.failed() && edited == 0)
        err = UrlNoLongerThere(QStringLiteral("deleted"));
    if (!err.failed()) {
        block += "\r\n";
        err = journal.append(trash, block);
    }
    if (err.failed()) {
        change.error = journal.abandon(err);
        return change;
    }
    commitInto(journal, &change);
    change.number = change.changed ? id : 0;
    return change;
}

// A category goes into the Trash in one journaled change: the index loses
// its record(s) and the URL file its lines (both new versions), and the
// Trash gains all of them (an append), so a crash anywhere leaves the
// category either where it was or in the Trash. The URL file, empty once
// the change stands, is removed afterwards; a crash before that leaves an
// empty file, which is what choosing a category makes anyway.
Change TrashCategory(int userNo, qint64 catNo, const QString &name, const QString &stamp) {
    const QString index = CategoryIndexPath(userNo);
    const QString trash = TrashFilePath(userNo);
    if (catNo < 0 || !hasBytes(index))
        return Refused(CategoryNoLongerThere(QStringLiteral("deleted")));
    Change change;
    // Number 0 is shared by every damaged record: the one meant is found by
    // its name.
    const QString *named = catNo == 0 ? &name : nullptr;
    bool urlFileGoes = true;
    if (!change.error.take(UrlFileGoesWithRecord(index, catNo, name, &urlFileGoes)))
        return change;
    const QStringList urlFiles =
        urlFileGoes ? EntriesNamed(UserFolderPath(userNo), UrlFileName(int(catNo))) : QStringList();
    // Only a regular file holds URLs; anything else of that name (a folder)
    // is left where it is, and named afterwards as left behind.
    QStringList withData;
    for (const QString &file : urlFiles) {
        if (KindOfEntry(file, Links::Followed) == EntryKind::File && hasBytes(file))
            withData.append(file);
    }
    qint64 id = 0;
    if (!change.error.take(nextItemId(trash, &id)))
        return change;

    Journal journal(UserFolderPath(userNo));
    if (!change.error.take(journal.willReplace(index)))
        return change;
    for (const QString &file : std::as_const(withData)) {
        if (!change.error.take(journal.willReplace(file)))
            return change;
    }
    if (!change.error.take(journal.willAppendTo(trash)) || !change.error.take(journal.begin()))
        return change;

    const QString when = nowText();
    const QByteArray categoryHeader = headerStart(id, kRoleCategory, catNo, name, when, stamp);
    const QByteArray urlHeader = headerStart(id, kRoleCategoryUrl, catNo, name, when, stamp);
    QByteArray block;
    qsizetype row = -1;
    qsizetype took = 0;
    qsizetype dropped = 0;
    const NumberTest numbered(catNo);
    IoError err = journal.writeNewVersion(
        index,
        [&](QByteArrayView &line, bool *keep) {
            // A line without separator reads as dummy fields, whose key is
            // number 0 (and whose name deciphers to "").
            ++row;
            const QLatin1StringView text(line);
            const qsizetype sep = FindFieldSep(text, 0);
            *keep = (named && took > 0) || sep < 0 || !numbered.matches(text.first(sep)) ||
                    (named && !IsCategoryRecord(QString::fromLatin1(line), 0, named));
            if (*keep)
                return false;
            ++took;
            block += headerBytes(categoryHeader, row);
            block += line;
            block += "\r\n";
            return true;
        },
        &dropped);
    if (!err.failed() && dropped == 0)
        err = CategoryNoLongerThere(QStringLiteral("deleted"));
    for (qsizetype i = 0; i < withData.size() && !err.failed(); ++i) {
        qsizetype lines = 0;
        qsizetype urlRow = 0;
        err = journal.writeNewVersion(
            withData[i],
            [&](QByteArrayView &line, bool *keep) {
                block += headerBytes(urlHeader, urlRow++);
                block += line;
                block += "\r\n";
                *keep = false;
                return true;
            },
            &lines);
    }
    if (!err.failed())
        err = journal.append(trash, block);
    if (err.failed()) {
        change.error = journal.abandon(err);
        return change;
    }
    commitInto(journal, &change);
    if (!change.changed)
        return change;
    change.number = id;
    for (const QString &file : urlFiles) {
        // Every emptied file goes that can; the first one left is reported.
        // Anything else of the name (a folder) is first moved to a name no
        // category reads, so that no later category takes it for its file.
        if (withData.contains(file) || KindOfEntry(file) == EntryKind::File) {
            change.error.keepFirst(RemoveFile(file));
            continue;
        }
        const QString aside = file + kDeletingSuffix;
        const IoError moved = MoveAside(file, aside);
        change.error.keepFirst(moved);
        if (!moved.failed())
            change.error.keepFirst(RemoveFile(aside));
    }
    return change;
}

namespace {

// How many lines a file has (0 when it is absent or empty), and, through
// `visit`, each of them.
IoError countLines(const QString &path, qsizetype *count,
                   const std::function<void(const QString &line)> &visit = {}) {
    *count = 0;
    if (!hasBytes(path))
        return IoError();
    return ForEachLine(path, [&](const QString &line) {
        ++*count;
        if (visit)
            visit(line);
        return true;
    });
}

// Declares putting `lines` back at line `place` of a file of `count` lines:
// a new version with them inserted before that line, or, at or past its
// end, an append.
IoError willPutBack(Journal &journal, const QString &path, qint64 place, qsizetype count) {
    return place < count ? journal.willReplace(path) : journal.willAppendTo(path);
}

// Puts `lines` back, as willPutBack declared it.
IoError putBack(Journal &journal, const QString &path, qint64 place, qsizetype count,
                const QByteArray &lines) {
    if (place >= count)
        return journal.append(path, lines);
    QByteArray buffer;
    qsizetype edited = 0;
    return journal.writeNewVersion(path, insertBefore(place, lines, &buffer), &edited);
}

} // namespace

Restored RestoreTrashItem(int userNo, qint64 id, const QString &stamp) {
    Restored restored;
    Change &change = restored.change;
    const QString trash = TrashFilePath(userNo);
    ItemLines lines;
    if (!change.error.take(findItem(trash, id, stamp, &lines)))
        return restored;
    if (!lines.found) {
        change.error.take(noSuchItem());
        return restored;
    }
    restored.item = lines.item;
    const TrashItem &item = lines.item;
    const QString index = CategoryIndexPath(userNo);
    Journal journal(UserFolderPath(userNo));
    // The item's lines leave the Trash (the new version written first, which
    // hands over their records); `putBack` then puts the records in their
    // files, and the change is committed. A failure on the way undoes all.
    QByteArray categoryBlock;
    QByteArray urlBlock;
    // The records are at most what the Trash holds: one allocation.
    if (item.kind == TrashItem::Kind::Category)
        urlBlock.reserve(qMax<qint64>(0, SizeOfEntry(trash)));
    auto move = [&](const std::function<IoError()> &putBack, qint64 number) {
        qsizetype dropped = 0;
        IoError err =
            journal.writeNewVersion(trash, takeItem(id, &categoryBlock, &urlBlock), &dropped);
        if (!err.failed() && dropped == 0)
            err = noSuchItem();
        if (!err.failed())
            err = putBack();
        if (err.failed()) {
            change.error = journal.abandon(err);
            return;
        }
        commitInto(journal, &change);
        change.number = change.changed ? number : 0;
    };

    if (item.kind == TrashItem::Kind::Url) {
        // Back into its category's file, which must still be there.
        QSet<qint64> categories;
        if (!change.error.take(ReadCategoryNumbers(userNo, &categories)))
            return restored;
        if (!categories.contains(item.category)) {
            change.error.take(IoError::refused(
                IoError::Kind::NoRecord,
                QStringLiteral("Sorry, the Category %1 is no longer there, so nothing was "
                               "restored.")
                    .arg(item.categoryName)));
            return restored;
        }
        const QString path = UrlFilePath(userNo, int(item.category));
        qint64 highest = 0;
        bool taken = false;
        qsizetype count = 0;
        const IoError read = countLines(path, &count, [&](const QString &line) {
            const qint64 number = UrlNoOfLine(line);
            highest = std::max(highest, number);
            taken = taken || number == item.urlNo;
        });
        if (!change.error.take(read))
            return restored;
        qint64 number = item.urlNo;
        QByteArray record = lines.firstRecord;
        if (taken) {
            number = NextNumber(highest);
            if (!IsStorableNumber(number)) {
                change.error.take(IoError::refused(
                    IoError::Kind::NumbersUsedUp,
                    QStringLiteral("Sorry, no more URLs can be added under this Category: "
                                   "its URL numbers have reached the highest one, 32767.")));
                return restored;
            }
            record = rekeyed(record, UrlKey(number));
            restored.renumbered = true;
        }
        if (!change.error.take(willPutBack(journal, path, lines.place, count)) ||
            !change.error.take(journal.willReplace(trash)) || !change.error.take(journal.begin()))
            return restored;
        move([&] { return putBack(journal, path, lines.place, count, record + "\r\n"); }, number);
        return restored;
    }

    // A category: its name must still be free, its number when it can be.
    bool exists = false;
    int next = 0;
    if (!change.error.take(CategoryExists(userNo, TrimBlanks(item.categoryName), &exists, &next)))
        return restored;
    if (exists) {
        change.error.take(CategoryNameTakenRefusal());
        return restored;
    }
    QSet<qint64> numbers;
    if (!change.error.take(ReadCategoryNumbers(userNo, &numbers)))
        return restored;
    qsizetype count = 0;
    if (!change.error.take(countLines(index, &count)))
        return restored;
    qint64 number = item.category;
    if (numbers.contains(number) || hasBytes(UrlFilePath(userNo, int(number)))) {
        number = next;
        while (IsStorableNumber(number) &&
               (numbers.contains(number) || hasBytes(UrlFilePath(userNo, int(number)))))
            ++number;
        if (!change.error.take(NewCategoryNumberRefusal(number)))
            return restored;
        restored.renumbered = true;
    }
    const QString path = UrlFilePath(userNo, int(number));
    if (!change.error.take(willPutBack(journal, index, lines.place, count)) ||
        !change.error.take(journal.willAppendTo(path)) ||
        !change.error.take(journal.willReplace(trash)) || !change.error.take(journal.begin()))
        return restored;
    move(
        [&] {
            QByteArray indexBlock = categoryBlock;
            if (restored.renumbered) {
                // Only the number of each record's key changes.
                indexBlock.clear();
                for (const QByteArray &record : categoryBlock.split('\n')) {
                    if (!record.isEmpty())
                        indexBlock += rekeyed(record.chopped(1),
                                              QStringLiteral("CAT") + QString::number(number)) +
                                      "\r\n";
                }
            }
            IoError err = putBack(journal, index, lines.place, count, indexBlock);
            if (!err.failed() && !urlBlock.isEmpty())
                err = journal.append(path, urlBlock);
            return err;
        },
        number);
    return restored;
}

Change EmptyTrash(int userNo, const QString &stamp,
                  const std::function<bool(const TrashItem &)> &chosen) {
    Change change;
    QList<TrashItem> items;
    if (!change.error.take(ReadTrash(userNo, stamp, &items)))
        return change;
    QList<NumberTest> going;
    for (const TrashItem &item : std::as_const(items)) {
        if (!chosen || chosen(item))
            going.append(NumberTest(item.id));
    }
    if (going.isEmpty())
        return change;
    const OwnerTest owner(stamp);
    qsizetype dropped = 0;
    // One rewrite of the Trash, atomic: the items go for good, every other
    // line stays byte for byte.
    const IoError err = RewriteLinesEdited(
        TrashFilePath(userNo),
        [&](QByteArrayView &line, bool *keep) {
            Header<QLatin1StringView> header;
            if (!splitHeader(QLatin1StringView(line), &header) ||
                !owner.owns(QString(header.stamp())))
                return false;
            for (const NumberTest &test : std::as_const(going)) {
                if (test.matches(header.key())) {
                    *keep = false;
                    return true;
                }
            }
            return false;
        },
        &dropped);
    if (change.error.take(err) && dropped > 0) {
        change.changed = true;
        change.number = going.size();
    }
    return change;
}

Change PurgeOldTrash(int userNo, const QString &stamp) {
    const QDateTime limit = TrashNow().addDays(-kTrashDays);
    return EmptyTrash(userNo, stamp, [&limit](const TrashItem &item) {
        return item.deleted.isValid() && item.deleted < limit;
    });
}

} // namespace modMain

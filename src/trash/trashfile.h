#pragma once

#include "storage/ioerror.h"
#include "storage/records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The Trash of a user, "TRASH.DAT" in the user's folder: what Delete URL and
// Delete Category took out of their files, kept until it is restored,
// emptied for good, or older than 30 days at a sign-in. One line per record
// taken out, in the program's record format:
//   field 1: EncodeField("DEL" + item number): the lines of one delete share
//            it (a category and its URLs are one item)
//   field 2: EncodeField(what the line is): "URL" (a URL deleted on its
//            own), "CAT" (the index record of a deleted category) or
//            "CATURL" (a line of a deleted category's URL file, in file order)
//   field 3: EncodeField(the category's number, in decimal)
//   field 4: EncodeField(the category's name)
//   field 5: EncodeField(when it was deleted, "yyyy-MM-ddThh:mm:ssZ", UTC)
//   field 6: the owner stamp of the user who deleted it, trimmed
//   field 7: EncodeField(the record's line in its file, counted from 0): a
//            restore puts it back there, so the file reads as before
//   then:    the record line as it was in its file, byte for byte (its own
//            fields and separators follow field 7's separator).
// A program that does not know the file ignores it; no other file of the
// folder is named so. Every move into or out of the Trash is one journaled
// change of the files concerned (storage/journal.h): after a crash at any
// step, a record is in its file or in the Trash, never in both or neither.
namespace modMain {

inline const QString kTrashName = QStringLiteral("TRASH.DAT");

// The Trash of user `userNo`, and whether a folder entry's name is that of a
// Trash (any letter case).
QString TrashFilePath(int userNo);
bool IsTrashName(const QString &name);

// The 0-based field of a Trash line that holds the deleting user's stamp,
// and the field of the record within it that holds the record's own stamp
// (-1 for a line that holds no record with a stamp): what a password change
// re-stamps.
inline constexpr int kTrashStampField = 5;
int TrashRecordStampField(QByteArrayView line);

// Items older than this many days go at sign-in.
inline constexpr int kTrashDays = 30;

// The time the Trash dates its items by, and purges them by: the wall clock
// the program reads (privacy/clock.h), in UTC.
QDateTime TrashNow();

// One item of the Trash, as the Trash screen lists it.
struct TrashItem {
    enum class Kind { Url, Category };
    qint64 id = 0;
    Kind kind = Kind::Url;
    qint64 category = 0;   // the category's number when it was deleted
    QString categoryName;  // and its name
    QDateTime deleted;     // when (UTC); invalid when the field is damaged
    QString address;       // a URL: its address as stored
    QString description;   // a URL: its description (line breaks as CR LF)
    qint64 urlNo = 0;      // a URL: its number
    int urls = 0;          // a category: the URL records it took along
    QStringList addresses; // a category: the addresses of those records, as stored
};

// The items of the Trash of user `userNo` that `stamp`'s password deleted,
// in the order they were deleted. An absent Trash holds none (and is not
// made).
IoError ReadTrash(int userNo, const QString &stamp, QList<TrashItem> *items);

// Moves URL `urlNo` of category `catNo` (named `categoryName`), the first
// complete record of that number holding `address` as stored, out of its
// file into the Trash: one transaction. Refused with nothing changed when
// the file holds no such record (NoRecord, as Delete URL refuses it). The
// outcome's number is the Trash item's.
Change TrashUrl(int userNo, qint64 catNo, const QString &categoryName, qint64 urlNo,
                const QString &address, const QString &stamp);

// Moves category `catNo` (named `name`) into the Trash with every line of
// its URL file: one transaction; the emptied URL file is removed after it.
// Number 0 (damaged records) as DeleteCategoryFiles treats it. Refused with
// nothing changed when the index no longer holds it. The outcome's number
// is the Trash item's.
Change TrashCategory(int userNo, qint64 catNo, const QString &name, const QString &stamp);

// What a restore put back, and where.
struct Restored {
    Change change;           // change.number: the URL's or the category's number now
    TrashItem item;          // the item as the Trash held it
    bool renumbered = false; // its number was taken: it has the next free one
};

// Puts Trash item `id` back where it came from, the records byte for byte
// (only the number of the key differs when that number is taken by now: the
// next free one), and takes it out of the Trash: one transaction. Refused
// with nothing changed: an item that is not (or no longer) in the Trash or
// not `stamp`'s (NoRecord); a URL whose category is gone (NoRecord); a
// category whose name a category of the index has by now (NameTaken, with
// the wording of Add Category); numbers used up (NumbersUsedUp).
Restored RestoreTrashItem(int userNo, qint64 id, const QString &stamp);

// Deletes for good the items of `stamp` that `chosen` picks (all of them
// for an empty function). The outcome's number is how many items went.
Change EmptyTrash(int userNo, const QString &stamp,
                  const std::function<bool(const TrashItem &)> &chosen = {});

// At sign-in: deletes for good the items of `stamp` deleted more than
// kTrashDays days before TrashNow(). The outcome's number is how many.
Change PurgeOldTrash(int userNo, const QString &stamp);

} // namespace modMain

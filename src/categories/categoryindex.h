#pragma once

#include "storage/ioerror.h"
#include "storage/records.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The category index "CAT.DAT" in a user's folder: one line per category, in
// the order the categories were added.
//   field 1: EncodeField("CAT" + number)
//   field 2: EncodeField(trimmed name)
//   field 3: the owner stamp of the user who wrote it (trimmed), stored as held
// The category number also names the category's URL file "CAT<m>.DAT".
//
// These procedures read and write the files of the user whose number they
// are given, and nothing else; they return records and numbers, and the
// windows' handlers fill their lists from them.
namespace modMain {

inline const QString kCategoryIndexName = QStringLiteral("CAT.DAT");

// The category chosen on the screen is no longer in the index (changed
// meanwhile by another program, or a damaged number): `done` is what would
// have happened to it ("renamed", "deleted"), refused (NoRecord).
IoError CategoryNoLongerThere(const QString &done);

// Full path of the category index of user `userNo`.
QString CategoryIndexPath(int userNo);

// Whether a folder entry's name is that of the category index, in any letter
// case.
bool IsCategoryIndexName(const QString &name);

// The fields of an index line; a line without separator gives `dummies`
// fields of "*qvx*" (which decipher to ""), so it matches no name, has
// number 0 and fails every owner test.
QStringList CategoryFields(const QString &line, int dummies = 3);

// The category number of a record: its deciphered key from the fourth
// character on, read as a number (no digits give 0; never wraps).
qint64 CategoryNumber(const QStringList &fields);

// A complete index line for category `number`.
QString CategoryRecordLine(qint64 number, const QString &name, const QString &stamp);

// Whether a line (its bytes, without line end) is a whole index record as
// written: key, name and stamp, each whole enciphered text (see
// IsWholeRecord).
bool IsWholeCategoryLine(QByteArrayView line);

// Whether an index line is a record (it holds a separator) numbered
// `number`, and when `name` is given, also named so.
bool IsCategoryRecord(const QString &line, qint64 number, const QString *name = nullptr);

// Whether a category of that name is in the index of user `userNo` (letter
// case ignored, any owner); `name` is the candidate, already trimmed. Sets
// `*nextNo` to the number a new category receives: one more than the highest
// number of the index (1 for no index), which may lie past kMaxRecordNo. A
// match ends the reading early, and `*nextNo` then counts only the records
// read. When the index cannot be read, `*nextNo` is 0.
IoError CategoryExists(int userNo, const QString &name, bool *exists, int *nextNo);

// The refusal of a new category's number `number` (one past the highest of
// the index) when it is past kMaxRecordNo (NumbersUsedUp); none otherwise.
IoError NewCategoryNumberRefusal(qint64 number);

// The refusal of a category name another category of the index has taken
// (NameTaken), as adding a category words it.
IoError CategoryNameTakenRefusal();

// Whether the URL file of category `number` goes when the record of that
// category (named `name`) leaves the index at `path`: always, but for number
// 0, which every damaged record shares (and CAT0.DAT with them all), whose
// file goes only with the last record that reads as number 0.
IoError UrlFileGoesWithRecord(const QString &path, qint64 number, const QString &name, bool *goes);

// What LoadCategories needs from the index.
struct CategoryIndexRead {
    bool hasData = false;   // the index exists and is not empty
    QList<ListEntry> owned; // records written under `stamp`, in file order
    bool lastOwned = false; // the last line passed the owner test
    qint64 highest = 0;     // the highest number of any record, whoever owns it
    // The names of the records of other passwords, upper-cased: names a new
    // category of this user cannot take (the index's names are unique,
    // letter case ignored, whoever owns them).
    QSet<QString> takenNames;
};

// Reads the index of user `userNo` and applies the owner test to every line.
// An absent index is created empty (and holds nothing).
IoError ReadCategoryIndex(int userNo, const QString &stamp, CategoryIndexRead *read);
// The same for the index file at `path`, which must exist (it is not made).
IoError ReadCategoryIndexFile(const QString &path, const QString &stamp, CategoryIndexRead *read);

// Adds category `name` (trimmed already) to the index of user `userNo`,
// created when absent, under the next number (CategoryExists), which
// `number` of the outcome gives; `stamp` is the owner stamp (trimmed when
// written). Refused, with nothing written: a name the cipher cannot store
// (Unstorable), a name any category of the index has, letter case ignored
// (NameTaken), and a next number past kMaxRecordNo (NumbersUsedUp).
// `written` (when given) receives the record's line.
Change AppendCategory(int userNo, const QString &name, const QString &stamp,
                      QByteArray *written = nullptr);

// Rewrites every record numbered `number` in the index of user `userNo` with
// the new name (trimmed already) and `stamp` (trimmed); every other line is
// copied byte for byte. The rewrite is atomic. Refused, with nothing
// written: a name the cipher cannot store (Unstorable), a name any category
// of the index has, letter case ignored, its own included (NameTaken), and
// a number the index does not hold (NoRecord: "no longer in the file").
// Number 0 is that of a damaged record, whose key lost its number: only the
// first record numbered 0 named `currentName` is rewritten, keeping number 0.
// `oldLine` and `newLine` (when given) receive the first record rewritten,
// before and after, as bytes.
Change RenameCategory(int userNo, qint64 number, const QString &newName, const QString &stamp,
                      const QString &currentName = QString(), QByteArray *oldLine = nullptr,
                      QByteArray *newLine = nullptr);

// Puts `replacement` (a whole record line, as bytes) in the place of the
// index line whose bytes are `line`: taking a rename back, byte for byte.
// Refused as a rename of a category no longer there when no line is.
Change ReplaceCategoryLine(int userNo, const QByteArray &line, const QByteArray &replacement);

// Removes every record numbered `number` from the index of user `userNo` and
// deletes the category's URL file (every entry whose name matches
// "CAT<m>.DAT" without regard to case). For number 0, the number of damaged
// records, only the first record numbered 0 named `name` goes, and
// "CAT0.DAT" with it only when no other record of the index is numbered 0.
// Numbers below 0 name no category: refused (NoRecord). See the .cpp for the
// order of the steps and what each failure leaves behind. `changed` is set
// once the index no longer holds the category, also when a URL file could
// not be removed afterwards.
Change DeleteCategoryFiles(int userNo, qint64 number, const QString &name = QString());

// --- Repairs after a crash ----------------------------------------------------

// The numbers of every record of the index of user `userNo`, whatever its
// owner, read as ReadCategoryIndex reads them; a line without separator is
// no record and names none. An absent index is created empty, as loading the
// categories would make it.
IoError ReadCategoryNumbers(int userNo, QSet<qint64> *numbers);

// Puts in its place a file of category records, `leftover`, that another
// program following the same file format left in the folder of user
// `userNo` (it rewrites the index through such a file, deleting the old
// index before renaming the new one into place): it becomes the index when
// that is absent or empty. When the index has data, it is not known which of
// the two holds what the other lacks (the leftover may be an unfinished copy,
// or the only copy of categories the index lost since): it is kept aside
// (KeepAside), and `*keptAs` names it, for the user to be told. A failure
// says what was being done and where the categories are kept.
IoError PlaceIndexLeftover(int userNo, const QString &leftover, QString *keptAs = nullptr);

} // namespace modMain

#pragma once

#include "storage/datafile.h"
#include "storage/records.h"

#include <QList>
#include <QString>
#include <QStringList>

// The category index "CAT.DAT" in the signed-in user's folder: one line per
// category, in the order the categories were added.
//   field 1: EncodeField("CAT" + number)
//   field 2: EncodeField(trimmed name)
//   field 3: the owner stamp (PassStamp, trimmed), stored as held
// The category number also names the category's URL file "CAT<m>.DAT".
//
// These procedures read and write the files only; they return records and
// numbers, and the windows' handlers fill their lists from them.
namespace modMain {

inline const QString kCategoryIndexName = QStringLiteral("CAT.DAT");

// Added to the name of a URL file while its category is being deleted
// ("CAT2.DAT" becomes "CAT2.DAT.deleting"). A name that differs from every
// "CAT<m>.DAT" (in any case), so no category ever reads a file in this state
// as its own.
inline const QString kDeletingSuffix = QStringLiteral(".deleting");

// Full path of the signed-in user's category index.
QString CategoryIndexPath();

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

// Whether a category of that name is in the index (letter case ignored, any
// owner); `name` is the candidate, already trimmed. Sets NextCatNo to the
// number a new category receives (1 for no index); a match ends the reading
// early. When the index cannot be read, NextCatNo stays 0.
IoError CategoryExists(const QString &name, bool *exists);

// What LoadCategories needs from the index.
struct CategoryIndexRead {
    bool hasData = false;   // the index exists and is not empty
    QList<ListEntry> owned; // records written under `stamp`, in file order
    bool lastOwned = false; // the last line passed the owner test
};

// Reads the index and applies the owner test to every line. An absent index
// is created empty (and holds nothing).
IoError ReadCategoryIndex(const QString &stamp, CategoryIndexRead *read);

// Appends a new category record (stamp trimmed). Refuses, without writing
// anything, a number that is no storable category number and a name the
// cipher cannot store.
Change AppendCategory(qint64 number, const QString &name, const QString &stamp);

// Rewrites every record numbered `number` with the new name and `stamp`
// (trimmed); every other line is copied byte for byte. The rewrite is atomic.
// An index without such a record is left alone and the change refused ("no
// longer in the file"); so is a name the cipher cannot store.
// Number 0 is that of a damaged record, whose key lost its number (and of
// every line without separator): only the first record numbered 0 named
// `currentName` is rewritten, keeping number 0.
Change RenameCategory(qint64 number, const QString &newName, const QString &stamp,
                      const QString &currentName = QString());

// Removes every record numbered `number` from the index and deletes the
// category's URL file (every entry whose name matches "CAT<m>.DAT" without
// regard to case). For number 0, the number of damaged records, only the
// first record numbered 0 named `name` goes, and "CAT0.DAT" with it only
// when no other record of the index is numbered 0. See the .cpp for the
// order of the steps and what each failure leaves behind. `changed` is set
// once the index no longer holds the category, also when a URL file could
// not be removed afterwards.
Change DeleteCategoryFiles(qint64 number, const QString &name = QString());

} // namespace modMain

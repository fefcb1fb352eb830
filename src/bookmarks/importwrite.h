#pragma once

#include "bookmarks/importplan.h"
#include "storage/datafile.h"
#include "storage/records.h"

#include <QList>
#include <QString>

#include <functional>

// Writing an import of bookmarks: the plan's new categories and all its URLs,
// as one change.
namespace modMain {

// What an import wrote, for the copies of the user's data to follow without
// reading the files again.
struct ImportResult : Change {
    // The URLs written, in all.
    int urlsWritten = 0;
    // The categories added to the index: each name as written, and its number.
    QList<ListEntry> categoriesAdded;
    // The URLs each category received, numbered as written.
    struct UrlsAdded {
        int category = 0;
        QList<AddedUrl> urls;
    };
    QList<UrlsAdded> urlsAdded;
};

// Writes `plan` into the files of user `userNo` under the owner stamp
// `stamp`, all of it or nothing of it:
//   - every new category (number 0) gets the next number of the category
//     index (the highest there, whatever its owner, plus 1, then the next)
//     and its record at the end of the index; a category the plan calls new
//     whose name (letter case ignored) is in the index by now receives the
//     URLs instead of being added twice;
//   - the URLs of each category go to the end of its URL file (made when
//     absent), numbered on from the highest number in the file;
//   - every record is made by the program's own record writers
//     (CategoryRecordLine, UrlRecordLine), descriptions stored as AppendUrl
//     stores them.
// Each file is opened once and gets all its records in one write, flushed
// once. The change is journaled (see storage/journal.h): a failure, a crash
// or a kill at any moment leaves, after the next start or sign-in, the files
// as they were or with the whole import.
//
// Refused with nothing written: a category or URL number that would pass
// 32767, a category the plan names by a number the index no longer holds, a
// text the cipher cannot store. `progress` (when given) hears how many of the
// records (new categories and URLs) are written so far, and of how many.
ImportResult ImportCategories(int userNo, const QString &stamp, const ImportPlan &plan,
                              const std::function<void(int done, int total)> &progress = {});

} // namespace modMain

#pragma once

#include "bookmarks/bookmarkfile.h"
#include "bookmarks/importplan.h"
#include "storage/records.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>

// Works out what an import of a bookmark file will write, before anything
// is written: the plan, and what the user is shown of it first.
//
// The rules, link by link in file order:
//   - Category: the names of the link's folders, outermost first, joined by
//     " / "; a link outside every folder goes to the category the file's
//     <H1> names, or "Bookmarks" when it names none. A category whose name
//     equals an existing one, letter case ignored, receives the URLs under
//     that category's number; so do two folders whose names differ only in
//     case. A folder without links or folders becomes an empty category.
//     A name is cut at kImportedCategoryNameMaxLength characters (after it
//     is made one the cipher can store), and listed as changed: once for
//     its category, as every folder below the cut has the same name.
//   - Address: the link's HREF, stored as Add URL stores a typed address
//     (StoredAddress of the trimmed text). A byte the file could not decode
//     becomes "?".
//   - Description: the link's text; when a <DD> with text follows the link,
//     a line break (CR LF) and the <DD>'s text; the <DD>'s text alone when
//     its first line with text is the link's text (LinkDescription). Cut at
//     kDescriptionMaxLength characters.
//   - Skipped, and counted: a link whose address is no web address
//     (IsWebAddress: empty, "javascript:", "place:", "data:", "mailto:",
//     "file:"); a link whose address is the same address (AddressIdentity: as a browser
//     opens it) as one already saved in its category, or as one that came
//     earlier in the file for that category. The same address in two
//     categories is kept in both.
//   - Every text is made one the cipher can store by the table of
//     MapToStorable (category names and descriptions; an address is escaped
//     by StoredAddress instead), and every text so changed is listed.
//   - Numbers stop at kMaxRecordNo: a new category past the highest
//     category number, and the URLs past the highest URL number of their
//     category, are refused here, before anything is written.
namespace modMain {

// The longest category name an import makes of a folder's names, in
// characters: as long as a description can be, and room enough for several
// folders' names.
inline constexpr int kImportedCategoryNameMaxLength = 250;

// What the planner needs to know of the user's data.
struct ImportTarget {
    // The user's categories: name and number.
    QList<ListEntry> categories;
    // The names other passwords' categories have, upper-cased: a new
    // category of the file that would bear one gets a free name instead.
    QSet<QString> takenNames;
    // The highest category number in the index (0 for none): new categories
    // are numbered on from it.
    qint64 highestCategoryNo = 0;
    // The highest URL number in the file of an existing category (0 for an
    // empty one): its new URLs are numbered on from it. When not set, 0.
    std::function<qint64(int categoryNo)> highestUrlNo;
    // Whether an address, given by its identity (AddressIdentity), is
    // already saved in an existing category. When not set, nothing is.
    std::function<bool(int categoryNo, const QString &identity)> isSaved;
};

// A text changed to fit: which item and field, the text as the file gives
// it, and the text that will be stored.
struct FittedText {
    int line = 0;  // the line of the file of the link (for a name: of its first link, or of
                   // the heading of an empty folder)
    QString item;  // the category (for a name) or the URL's stored address
    QString field; // "Category Name", "URL" or "Description"
    QString before;
    QString after;
};

// URLs refused before writing, for the reason given.
struct RefusedImport {
    QString category; // the category's name as it would be stored
    int urls = 0;     // how many of the file's URLs for it are refused
    QString reason;
};

// What the user is shown before an import, and what it then writes.
struct ImportPreview {
    ImportPlan plan;
    int urls = 0;               // URLs the plan adds
    int newCategories = 0;      // categories the plan creates
    int existingCategories = 0; // existing categories that receive URLs
    int alreadySaved = 0;       // links skipped: address already in its category
    int repeated = 0;           // links skipped: came earlier in the file for its category
    int notWebAddresses = 0;    // links skipped: no web address (IsWebAddress)
    int refusedUrls = 0;        // URLs refused (refused categories' URLs included)
    int refusedCategories = 0;  // new categories refused
    QList<FittedText> changes;  // in the order of the file
    QList<RefusedImport> refused;
};

// A list of links that came in another way than a file (dropped or pasted:
// each an address and a title), as a bookmark file that holds them all in
// one folder named `category`, link n on line n, in the order given:
// planned, they all go to that category, as its links would.
BookmarkFile LinkListFile(const QString &category, const QList<std::pair<QString, QString>> &links);

// A link's text as the import stores it for a description: made storable by
// the table of MapToStorable (line breaks kept), "*QVX*" written small, cut
// at kDescriptionMaxLength characters, outer blanks dropped.
QString FittedDescription(const QString &text);

// The plan and preview of importing `file` into the data `target`
// describes.
ImportPreview PlanImport(const BookmarkFile &file, const ImportTarget &target);

// The plan and preview of importing `file` into the files of user `userNo`
// (owner stamp `stamp`): the categories are those of the index written
// under `stamp`, numbered on from the highest number of the whole index; the
// URL file of a category is read only when the file sends URLs to it, for
// its highest URL number (every line) and the addresses saved there under
// `stamp`. The first file that cannot be read fails the preview.
IoError PlanImportForUser(int userNo, const QString &stamp, const BookmarkFile &file,
                          ImportPreview *preview);

} // namespace modMain

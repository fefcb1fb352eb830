#pragma once

#include "storage/datafile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The bookmark file every browser and bookmark service reads and writes
// ("Export Bookmarks", "Import Bookmarks"): an HTML file that begins with
// <!DOCTYPE NETSCAPE-Bookmark-file-1>, whose folders are <DT><H3> headings
// each followed by a <DL> list, and whose bookmarks are <DT><A HREF> links,
// each optionally followed by a <DD> note.
//
// The reader is as forgiving as the browsers' own: tags in any case,
// attributes in any order with or without quotes, unclosed <DT>, <DD> and
// <p>, missing or extra </DL>, links, titles and tags over several lines,
// comments and unknown tags anywhere, a byte-order mark, and the character
// set the file's <META> names (UTF-8 when it names none). A byte that is not
// valid in that character set becomes U+FFFD, never nothing; the import
// turns it into "?" and lists it.
//
// Texts are taken from the file in one fixed way, which the writer relies
// on so that what it writes reads back exactly:
//   - a name or a link's text: the white space at either end is dropped;
//     inside, a run of white space that holds a line break, a tab or a form
//     feed becomes one blank, and a run of blanks alone stays as it is
//     (browsers keep and write "Two  Spaces" so); only then are character
//     references decoded. So a blank or a line break the file writes as a
//     reference (&#32; &#10;) is kept as it is.
//   - a note (<DD>): the white space at either end is dropped, then the
//     references are decoded; the note's own line breaks, and <BR>, stay as
//     line breaks.
//   - an address (HREF): references decoded, then tabs and line breaks
//     removed and the white space at either end dropped, as a browser does.
// Every line break of a text read is CR LF.
//
// What a file holds takes room in proportion to the file: a folder is one
// entry of a table, named once, and a link or an empty folder names its
// folder by its place in that table, never by a copy of the names of all
// the folders around it. The whole file is read once, from start to end.
namespace modMain {

// A folder of a bookmark file. Its name is kept in BookmarkFile::names.
struct BookmarkFolder {
    int nameFrom = 0; // where its name begins in BookmarkFile::names
    int nameSize = 0; // and how long it is
    int parent = -1;  // the folder around it (its index in BookmarkFile::folders); -1 for none
    int line = 0;     // the line of the file on which its heading begins
};

// One link of a bookmark file.
struct BookmarkLink {
    int folder = -1; // the folder it is in (its index in BookmarkFile::folders); -1 for none
    int line = 0;    // the line of the file on which the link begins
    QString text;    // its text (the bookmark's title)
    QString note;    // the text of the <DD> that follows it; empty when none
    QString href;    // its address; empty when it has none
};

// A folder with nothing in it: no link and no folder.
struct EmptyFolder {
    int folder = 0;      // its index in BookmarkFile::folders
    int linksBefore = 0; // how many links of the file come before it
};

// What a bookmark file holds.
struct BookmarkFile {
    QString heading;               // the text of its <H1>; empty when it has none
    QString names;                 // the names of all its folders, one after the other
    QList<BookmarkFolder> folders; // every folder, in the order of their headings
    QList<BookmarkLink> links;
    QList<EmptyFolder> emptyFolders; // in the order of the file

    // The name of folder `folder`.
    QStringView name(int folder) const {
        return QStringView(names).sliced(folders[folder].nameFrom, folders[folder].nameSize);
    }

    // The names of folder `folder` and of the folders around it, outermost
    // first; none for -1.
    QStringList path(int folder) const;
};

// The description of a link, by the rule the writer (BookmarkFileText)
// follows: its text alone when it has no note; the note alone when the
// note's first line that holds more than white space is the text (white
// space at either end not counted), which is how a note that holds the
// whole description is written; otherwise the text, a line break (CR LF)
// and the note.
QString LinkDescription(const BookmarkLink &link);

} // namespace modMain

// A file's folders and links move in memory as their bytes do: a list of
// them that grows does not copy them one by one.
Q_DECLARE_TYPEINFO(modMain::BookmarkFolder, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(modMain::BookmarkLink, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(modMain::EmptyFolder, Q_RELOCATABLE_TYPE);

namespace modMain {

// Reads the bookmarks out of the bytes of the file `fileName`. Returns an
// empty text, or the message that refuses the file (naming it): when it is
// no bookmark file, or is written in a character set that cannot be read.
QString ParseBookmarks(QByteArrayView bytes, const QString &fileName, BookmarkFile *file);

// The links of an HTML text that is no bookmark file: the fragment of a
// page a browser offers with a dragged or copied link (Firefox writes
// `<a href="...">title</a>` in UTF-16, Chromium the same after
// `<meta charset='utf-8'>`). Every <A HREF> in the order of the text, read
// as ParseBookmarks reads a link, decoded as a bookmark file is (byte-order
// mark, the character set a <META> names, UTF-8 when none does; one that
// cannot be read gives no links). Their folders are empty.
QList<BookmarkLink> ParseHtmlLinks(QByteArrayView bytes);

// The largest bookmark file read, in bytes: far more than any browser
// writes, small enough to be held in memory.
inline constexpr qint64 kMaxBookmarkFileSize = 256ll * 1024 * 1024;

// Reads the bookmark file at `path`. A file that is not a bookmark file, or
// is written in a character set that cannot be read, is refused with a
// message that says so.
IoError ReadBookmarkFile(const QString &path, BookmarkFile *file);

// One URL to export: its address and its description as the files hold
// them (line breaks as CR LF).
struct ExportUrl {
    QString address;
    QString description;
};

// One category to export, with its URLs in the order to write them.
struct ExportCategory {
    QString name;
    QList<ExportUrl> urls;
};

// The text of a bookmark file as browsers write it, with one folder for
// every category, in the order given. Every address is written as View
// opens it (AddressToOpen: absolute, with its scheme), so that every browser
// takes it as the same web address. Its lines end with LF. See the .cpp for
// how a description is written so that it reads back exactly.
QByteArray BookmarkFileText(const QList<ExportCategory> &categories);

// Writes BookmarkFileText(categories) to `path`, a file the user chose
// anywhere, as a new file readable by its owner only; an existing file is
// replaced only once the new one is complete.
IoError WriteBookmarkFile(const QString &path, const QList<ExportCategory> &categories);

// The categories of user `userNo` written under `stamp` (the owner test),
// sorted as the category lists show them, each with its URLs written under
// `stamp`, in file order: what an export writes. Records of other owners
// are left out.
IoError ReadCategoriesToExport(int userNo, const QString &stamp, QList<ExportCategory> *categories);

} // namespace modMain

#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// Data folder, path rule, record framing and checked file access shared by
// every data file.
namespace modMain {

// Separator between the fields of a record line.
inline const QString kFieldSep = QStringLiteral("*QVX*");
// Line end written after every record.
inline const QString kLineEnd = QStringLiteral("\r\n");
// User, category and URL numbers are 16-bit: this is the highest one.
inline constexpr int kMaxRecordNo = 32767;

// Where and why a file operation failed. Empty when nothing failed.
//
// It can also hold a warning: the operation was done (the file written and
// renamed, the folder made), but the folder that holds it could not be
// flushed to disk afterwards, so a power failure might still undo the change.
// The operation then returns true, `notSynced` is set and failed() is false;
// message() says what happened without claiming that anything failed.
struct IoError {
    QString file;           // full path of the file or folder concerned
    QString reason;         // the system's reason, in words
    bool notSynced = false; // done, but perhaps not yet safe on disk

    bool failed() const { return !file.isEmpty() && !notSynced; }
    void clear() {
        file.clear();
        reason.clear();
        notSynced = false;
    }
    // A complete message for the user: what failed, on which file, and why.
    // `action` is a short verb phrase such as "read" or "write to". For a
    // warning (`notSynced`) the action is not used.
    QString message(const QString &action) const;
};

// The two system calls through which the data files reach the disk. Tests
// replace them to produce faults the machine cannot produce on demand (a
// full disk, a failing flush); each must behave like its system call: the
// number of bytes written or 0, and -1 with errno set on failure.
struct DiskCalls {
    std::function<qint64(int fd, const char *data, qint64 size)> write; // write(2)
    std::function<int(int fd)> sync;                                    // fsync(2)
};

// Replaces the disk calls; an empty member restores the system's own.
void SetDiskCalls(DiskCalls calls);

// The folder that holds the program; data files live there. Defaults to the
// folder of the executable; tests point it at a temporary folder.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);

// Path rule: `name` appended to `folder` with one "/" between them (none
// added when the folder already ends with "/"). Names are matched without
// regard to letter case: when the folder already holds an entry whose name
// differs from `name` only in case, that entry's name is used.
QString JoinPath(const QString &folder, const QString &name);

// Every entry of `folder` whose name equals `name` without regard to letter
// case, as full paths, in name order.
QStringList EntriesNamed(const QString &folder, const QString &name);

// JoinPath(ProgramFolder(), name).
QString DataPath(const QString &name);

// "USR" + n, and the full path of that user folder.
QString UserFolderName(int userNo);
QString UserFolderPath(int userNo);

// Trims leading and trailing blanks (spaces only; tabs and line breaks stay).
QString TrimBlanks(const QString &text);
QStringView TrimBlanks(QStringView text);

// Swaps characters 1<->2, 3<->4, ...; an odd last character stays.
QString SwapPairs(const QString &text);

// The characters of `text` that the cipher cannot store (codes outside
// 32..122), each once, in order of appearance. Empty when all can be stored.
QString UnstorableChars(const QString &text);

// The message that refuses a text holding characters the cipher cannot
// store. `what` names the field ("User Name", "Category Name", ...) and
// `chars` is what UnstorableChars found. Storing such a text is never an
// option: the cipher would drop those characters after the pair swap, which
// scrambles their neighbours as well.
QString UnstorableMessage(const QString &what, const QString &chars);

// A text field as stored: EncryptText(SwapPairs(text)), and back.
QString EncodeField(const QString &text);
QString DecodeField(const QString &field);

// Splits a record line at every "*QVX*", and joins fields with it.
QStringList SplitRecord(const QString &line);
QString JoinRecord(const QStringList &fields);

// The numeric value of a text the way stored numbers are read: leading blanks
// skipped, then the decimal digits up to the first non-digit; no digits give
// 0. Saturates instead of overflowing, so a huge number stays huge.
qint64 ReadNumber(QStringView text);

// The number of a deciphered record key ("USR7", "CAT12", "URL3"): the key
// from its fourth character on, read by ReadNumber.
qint64 KeyNumber(QStringView key);

// One record as a list shows it: its text (a category name, an address) and
// its number, saturated to int (stored numbers are 16-bit).
struct ListEntry {
    QString text;
    int number = 0;
};

// Every data-file routine below refuses, without ever blocking, anything
// that is not a regular file where a file is expected (a folder, a pipe, a
// device, a socket) and a link that leads nowhere, with a reason in plain
// words ("It is not a regular file (a pipe)"). A link to a regular file is
// followed. The writers ignore SIGXFSZ for the whole process, so that a
// write past the file-size limit fails with "File too large" instead of
// killing the program half-way through a record. Those that create or rename
// an entry flush its folder afterwards; when only that flush fails, they
// return true with a warning in `err` (IoError::notSynced).

// True when the file exists and is not empty. An absent file is created
// empty (with owner-only permissions); its folder must exist. A blank path
// gives false. On failure to inspect or create the file, sets `err` and
// returns false.
bool FileHasData(const QString &path, IoError *err = nullptr);

// Reads every line of a text file. Accepts CR LF and LF line ends and a last
// line without a line end; bytes are taken as Latin-1, so no input can make
// reading fail once the file is open. Holds the whole file: readers that can
// take a line at a time use ForEachLine.
bool ReadLines(const QString &path, QStringList *lines, IoError *err);

// Reads a text file a line at a time, with the same line rules as ReadLines,
// and hands each line (without its line end) to `visit` in file order; only
// one line is held in memory at a time. `visit` returns false to stop early.
// Returns false and sets `err` when the file cannot be opened or read (a read
// that fails part-way fails the whole call, after some lines were visited).
bool ForEachLine(const QString &path, const std::function<bool(const QString &line)> &visit,
                 IoError *err);

// Reads every line of a file like ReadLines, handing each to `edit` on the
// way: `edit` may change the line, or drop it by setting `*keep` to false,
// and returns true when it did either. `edited` counts those lines. For a
// rewrite that keeps every other line exactly as read.
bool ReadLinesEdited(const QString &path,
                     const std::function<bool(QString &line, bool *keep)> &edit, QStringList *lines,
                     qsizetype *edited, IoError *err);

// Appends one line and its CR LF to a file, creating it (owner-only) when
// absent. When the file's last line lacks a line end, one is written first so
// that the new record starts on a line of its own. The record goes out in a
// single write on a descriptor opened for appending, so it always lands at
// the current end of the file. The data are flushed to disk; if anything
// fails the file is cut back to its old length (a file this call created is
// removed again) and `err` gives the system's reason.
bool AppendLine(const QString &path, const QString &line, IoError *err);

// Replaces a file's whole content with `lines` (each followed by CR LF):
// written to a temporary file in the same folder, flushed to disk, then
// renamed over the old file, so the old or the new content survives a crash.
// A link is followed: the file it leads to is replaced, in that file's own
// folder, and the link stays. On failure the old file is untouched and no
// temporary file is left.
bool RewriteFile(const QString &path, const QStringList &lines, IoError *err);

// Creates a folder readable by its owner only, and flushes the folder that
// holds it so that the new folder survives a power failure; an existing
// folder (or a link to one) is reused.
bool MakeFolder(const QString &path, IoError *err);

} // namespace modMain

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
struct IoError {
    QString file;   // full path of the file or folder concerned
    QString reason; // the system's reason, in words

    bool failed() const { return !file.isEmpty(); }
    void clear() {
        file.clear();
        reason.clear();
    }
    // A complete message for the user: what failed, on which file, and why.
    // `action` is a short verb phrase such as "read" or "write to".
    QString message(const QString &action) const;
};

// The folder that holds the program; data files live there. Defaults to the
// folder of the executable; tests point it at a temporary folder.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);

// Path rule: `name` appended to `folder` with one "/" between them (none
// added when the folder already ends with "/"). Names are matched without
// regard to letter case: when the folder already holds an entry whose name
// differs from `name` only in case, that entry's name is used.
QString JoinPath(const QString &folder, const QString &name);

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

// True when the file exists and is not empty. An absent file is created
// empty (with owner-only permissions); its folder must exist. A blank path
// gives false. On failure to inspect or create the file, sets `err` and
// returns false.
bool FileHasData(const QString &path, IoError *err = nullptr);

// Reads every line of a text file. Accepts CR LF and LF line ends and a last
// line without a line end; bytes are taken as Latin-1, so no input can make
// reading fail once the file is open.
bool ReadLines(const QString &path, QStringList *lines, IoError *err);

// Reads a text file a line at a time, with the same line rules as ReadLines,
// and hands each line (without its line end) to `visit` in file order; only
// one line is held in memory at a time. `visit` returns false to stop early.
// Returns false and sets `err` when the file cannot be opened or read.
bool ForEachLine(const QString &path, const std::function<bool(const QString &line)> &visit,
                 IoError *err);

// Appends one line and its CR LF to a file, creating it (owner-only) when
// absent. When the file's last line lacks a line end, one is written first so
// that the new record starts on a line of its own. The data are flushed to
// disk; if anything fails the file is cut back to its old length.
bool AppendLine(const QString &path, const QString &line, IoError *err);

// Replaces a file's whole content with `lines` (each followed by CR LF):
// written to a temporary file in the same folder, flushed to disk, then
// renamed over the old file, so the old or the new content survives a crash.
bool RewriteFile(const QString &path, const QStringList &lines, IoError *err);

// Creates a folder readable by its owner only; an existing folder is reused.
bool MakeFolder(const QString &path, IoError *err);

} // namespace modMain

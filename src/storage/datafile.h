#pragma once

#include "storage/ioerror.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/stat.h>
#include <sys/types.h>

// The data-file layer: every read and write of a data file or folder goes
// through here, with its checks, its durability and its fault seam. It knows
// nothing of records; it moves lines and entries.
//
// Every routine refuses, without ever blocking, anything that is not a
// regular file where a file is expected (a folder, a pipe, a device, a
// socket) and a link that leads nowhere, with a reason in plain words ("It is
// not a regular file (a pipe)"). A link to a regular file is followed. The
// writers ignore SIGXFSZ for the whole process, so that a write past the
// file-size limit fails with "File too large" instead of killing the program
// half-way through a record. Those that create, rename or remove an entry
// flush its folder afterwards; when only that flush fails, the change stands
// and the routine reports a warning instead of a failure.
namespace modMain {

// The system calls through which the data files reach the disk. Tests
// replace them to produce faults the machine cannot produce on demand (a full
// disk, a failing flush, a crash between two steps); each must behave like
// its system call: write(2) returns the bytes written, open(2) the new
// descriptor, the others 0, and all return -1 with errno set on failure.
// Every call of this layer and of the journal that changes what is on disk
// goes through them, and every look-up and opening of a data file or folder
// by its path. Left to the system are reading, locking and setting the mode
// of an open file, the mode of a folder just made, the name linked to a file
// written without one, and following a link to the file it leads to.
struct DiskCalls {
    std::function<qint64(int fd, const char *data, qint64 size)> write = {}; // write(2)
    std::function<int(int fd)> sync = {};                                    // fsync(2)
    std::function<int(const char *from, const char *to)> rename = {};        // rename(2)
    std::function<int(const char *path)> remove = {};                        // unlink(2)
    std::function<int(const char *path, mode_t mode)> makeFolder = {};       // mkdir(2)
    std::function<int(const char *path)> removeFolder = {};                  // rmdir(2)
    std::function<int(int fd, qint64 length)> truncate = {};                 // ftruncate(2)
    std::function<int(const char *path, int flags, mode_t mode)> open = {};  // open(2)
    std::function<int(const char *path, struct stat *st)> stat = {};         // stat(2)
    std::function<int(const char *path, struct stat *st)> lstat = {};        // lstat(2)
    std::function<int(const char *path, int mode)> access = {};              // access(2)
};

// Replaces the disk calls; an empty member restores the system's own.
void SetDiskCalls(DiskCalls calls);

// Whether the file exists and is not empty (`*hasData`). An absent file is
// created empty (owner-only: mode 0600, as every file these routines create,
// whatever the umask); its folder must exist. A blank path has no data.
// Failures are reported as failures to read the file.
IoError FileHasData(const QString &path, bool *hasData);

// Reads a text file a line at a time and hands each line (without its line
// end) to `visit` in file order; only one line is held in memory at a time.
// CR LF and LF line ends and a last line without a line end are accepted;
// bytes are taken as Latin-1, so no content can make reading fail. `visit`
// returns false to stop early. A read that fails part-way fails the whole
// call, after some lines were visited.
IoError ForEachLine(const QString &path, const std::function<bool(const QString &line)> &visit);

// Every line of a file, read as ForEachLine reads it.
IoError ReadLines(const QString &path, QStringList *lines);

// Rewrites a file with some lines changed or dropped, in one pass over its
// bytes: every line of the file, as its bytes without line end (split as
// ForEachLine splits them), goes to `edit`, which may point `line` at a
// replacement (bytes that outlive the call) or drop the line by setting
// `*keep` to false, and returns true when it did either; `edited` counts
// those lines. Every kept line, followed by CR LF, goes straight to the new
// content, which replaces the file as RewriteFile replaces it: lines `edit`
// leaves alone are written back byte for byte and never decoded, and no
// more than a block of the file is held in memory. When `edit` changed no
// line, the file is left as it was. So it is when `abandon` is given and
// `edit` sets it: the rewrite stops at that line, for an edit that finds on
// its way through the file that the change must not be made.
IoError RewriteLinesEdited(const QString &path,
                           const std::function<bool(QByteArrayView &line, bool *keep)> &edit,
                           qsizetype *edited, const bool *abandon = nullptr);

// Appends one line and its CR LF to a file, creating it (owner-only) when
// absent. When the file's last line lacks a line end, one is written first so
// that the new record starts on a line of its own. The record goes out in a
// single write on a descriptor opened for appending, so it always lands at
// the current end of the file. The data are flushed to disk; if anything
// fails the file is cut back to its old length (a file this call created is
// removed again).
IoError AppendLine(const QString &path, const QString &line);

// Replaces a file's whole content with `lines` (each followed by CR LF):
// written to a temporary file in the same folder, flushed to disk, then
// renamed over the old file, so the old or the new content survives a crash.
// A link is followed: the file it leads to is replaced, in that file's own
// folder, and the link stays. A file its user may not write to is refused as
// AppendLine refuses it ("Permission denied"), although the folder would let
// the rename replace it. On failure the old file is untouched and no
// temporary file is left; a crash can leave one, named as IsRewriteLeftover
// knows it.
IoError RewriteFile(const QString &path, const QStringList &lines);

// Whether a folder entry's name is that of a rewrite's temporary file:
// "<file>.rewrite-" followed by exactly six letters or digits. Only a crash
// in the middle of a rewrite leaves such a file behind.
bool IsRewriteLeftover(const QString &name);

// Removes the temporary files that interrupted rewrites left in `folder`
// (regular files named as IsRewriteLeftover knows them; nothing else). Only
// safe while no other copy of the program can be rewriting a file there.
// Every leftover that can go goes; the first failure is reported.
IoError RemoveRewriteLeftovers(const QString &folder);

// The same among `names`, the entries of `folder` as listed by its caller.
IoError RemoveRewriteLeftovers(const QString &folder, const QStringList &names);

// The names of the entries of a folder ("." and ".." left out), in name
// order. A folder that cannot be read is a failure to read it.
IoError ListFolder(const QString &folder, QStringList *names);

// Creates a folder readable by its owner only (mode 0700, whatever the
// umask); an existing folder (or a link to one) is reused, and `*made` (when
// given) tells which happened.
IoError MakeFolder(const QString &path, bool *made = nullptr);

// Removes an empty folder (undoing MakeFolder).
IoError RemoveFolder(const QString &path);

// Renames `from` to `to` within one folder in one atomic step. Never replaces
// an entry already at `to`: that is refused ("File exists").
IoError MoveAside(const QString &from, const QString &to);

// The same for putting back what MoveAside moved: a failure is one to "move
// back" `from`.
IoError MoveBack(const QString &from, const QString &to);

// Renames `from` to `to` within one folder in one atomic step, for a file
// that takes the place of one that holds nothing: an empty regular file at
// `to` is replaced, any other entry there is kept and the move refused ("File
// exists"). A failure is one to "rename" `from`.
IoError MoveIntoPlace(const QString &from, const QString &to);

// Cuts off the last line of a file when it lacks its line end and `whole`
// (given its bytes, without a CR at their end) says it is no complete
// record: what a write that a crash or a power failure cut short leaves
// behind. Every line before it stays byte for byte; the file is shortened in
// one step and flushed to disk. `*cut` tells whether a line went. An absent
// or empty file, one that ends with a line end, and an entry that is no
// regular file (its readers report it) are left as they are.
IoError CutTornLastLine(const QString &path, const std::function<bool(QByteArrayView line)> &whole,
                        bool *cut);

// Removes a file.
IoError RemoveFile(const QString &path);

// Reads a whole file (`*bytes`): one the user chose, anywhere. A file larger
// than `maxSize` bytes is refused as a failure to read it, before anything
// is read.
IoError ReadWholeFile(const QString &path, qint64 maxSize, QByteArray *bytes);

// Writes a file the user asked for, anywhere (an export): `content` goes to
// a new file readable and writable by its owner only (mode 0600), which
// takes the place of `path` in one atomic step once it is complete and
// flushed to disk; an existing file (or the file a link leads to) is
// replaced only then, and is untouched by a failure. The new content is
// written into a file without a name where the file system allows it, so
// that a crash part-way leaves nothing behind; elsewhere into a temporary
// file named as IsRewriteLeftover knows it, which a failure removes.
IoError WriteNewFile(const QString &path, QByteArrayView content);

} // namespace modMain

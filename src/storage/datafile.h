#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

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

// A change that was made, but whose folder could not be flushed to disk
// afterwards, so a power failure might still undo it.
struct NotSynced {
    // What was done to the file.
    enum class Kind {
        Saved,        // written: new content, or a record added
        Created,      // made (a folder)
        CreatedEmpty, // made empty by a read that found no file
        Removed,      // deleted
        Moved,        // given another name (movedTo)
    };

    QString file;   // the file or folder that was changed (before a move: its old name)
    QString folder; // the folder that could not be flushed
    QString reason; // the system's reason, in words
    Kind kind = Kind::Saved;
    QString movedTo; // after a move: the name the file has now

    bool isSet() const { return !file.isEmpty(); }
};

// What went wrong in an operation on the data files, and any warning it
// raised on the way. Nothing failed when failed() is false; a warning can be
// set either way.
struct IoError {
    // The failure: the file or folder concerned, what was being done to it
    // ("read", "write to", "create", "move away", "move back", "rename",
    // "delete"), set by the place that failed, and the system's reason.
    QString file;
    QString action;
    QString reason;
    // Set instead of the three above when an operation was refused before any
    // file was changed for a reason that is no file's fault (a record that is
    // not there, a text that cannot be stored): the whole message.
    QString refusal;
    // For a failure in a job the user did not ask for (finishing at start-up
    // or sign-in what an interrupted run left): what the program was doing,
    // as the start of a sentence ("Wayfile was finishing ..."), and what was
    // kept and what the user can do. Empty for the user's own changes.
    QString doing;
    QString advice;
    NotSynced warning;

    bool failed() const { return !file.isEmpty() || !refusal.isEmpty(); }
    // A complete message for the user: what failed, on which file, and why;
    // within a job, what the program was doing and what to do about it.
    QString message() const;
    // The message for the warning: what was done to which file, why it may
    // not be safely on disk yet, and what to do.
    QString warningMessage() const;

    // Tells a failure (not a refusal) which job it happened in, unless it
    // knows one already. Returns the error itself.
    IoError &during(const QString &doingText, const QString &adviceText);

    // Takes the outcome of one step of a larger operation: its failure, if
    // any, and its warning unless an earlier step's warning is kept already.
    // Returns true when the step did not fail.
    bool take(const IoError &step);
    // Takes only the warning of a step (unless a warning is kept already):
    // for the steps that undo or tidy up after a failure, whose own failure
    // is told some other way or not at all.
    void note(const IoError &step);
    // For an operation that goes on after a step fails: takes the step's
    // failure only when no earlier step failed, and its warning as take()
    // does. The first failure is the one told.
    void keepFirst(const IoError &step);

    // A failure of `action` on `file` for `reason`.
    static IoError failure(const QString &file, const QString &action, const QString &reason);
    // A refusal with its whole message.
    static IoError refused(const QString &message);
};

// The outcome of a change to the data files (a record added, renamed or
// removed, an account registered), as the routine that made it hands it to
// whoever asked for it.
struct Change {
    // What failed, if anything, and any warning raised on the way.
    IoError error;
    // The files now read as asked, so the lists on the screen must follow;
    // also when a clean-up step after the change failed (`error` says which).
    bool changed = false;
    // The number a new record received.
    qint64 number = 0;

    bool failed() const { return error.failed(); }
};

// The system calls through which the data files reach the disk. Tests
// replace them to produce faults the machine cannot produce on demand (a full
// disk, a failing flush, a crash between two steps); each must behave like
// its system call: write(2) returns the bytes written, the others 0, and all
// return -1 with errno set on failure.
struct DiskCalls {
    std::function<qint64(int fd, const char *data, qint64 size)> write = {}; // write(2)
    std::function<int(int fd)> sync = {};                                    // fsync(2)
    std::function<int(const char *from, const char *to)> rename = {};        // rename(2)
    std::function<int(const char *path)> remove = {};                        // unlink(2)
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
// line, the file is left as it was.
IoError RewriteLinesEdited(const QString &path,
                           const std::function<bool(QByteArrayView &line, bool *keep)> &edit,
                           qsizetype *edited);

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

} // namespace modMain

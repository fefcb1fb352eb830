#pragma once

#include <QString>

// The error value of every operation on the data files, and the outcome of a
// change: what failed, on which file and why, or what was refused and of
// which kind, and any warning raised on the way.
namespace modMain {

// The field of a window that a refused text was typed into.
enum class Field { None, UserName, Password, CategoryName, Url, Description };

// The field's name as the messages write it: "User Name", "Password",
// "Category Name", "URL", "Description"; "" for none.
QString FieldName(Field field);

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
    // The empty file a read made now holds what was written since: it was
    // saved.
    void filled() {
        if (kind == Kind::CreatedEmpty)
            kind = Kind::Saved;
    }
};

// What went wrong in an operation on the data files, and any warning it
// raised on the way. Nothing failed when failed() is false; a warning can be
// set either way.
struct IoError {
    // What the outcome is: nothing failed, a failure on a file, or a refusal
    // of one of the named kinds, made before any file was changed for a
    // reason that is no file's fault. Each refusal is made in one place, by
    // the routine that owns the rule; whoever asked tells it by its kind.
    enum class Kind {
        None,          // nothing failed
        File,          // a file or folder could not be read or changed
        Unstorable,    // a text the data files cannot hold as given
        NameTaken,     // the name is in use already
        NumbersUsedUp, // the file's numbers have reached the highest one
        NoRecord,      // the record asked for is not (or no longer) there
        NotUnderstood, // a file the user chose does not hold what it should
    };

    Kind kind = Kind::None;
    // A failure on a file: the file or folder concerned, what was being
    // done to it ("read", "write to", "create", "move away", "delete"), set
    // by the place that failed, and the system's reason. A refusal may name
    // a file the same way.
    QString file;
    QString action;
    QString reason;
    // The system's error number of a failure on a file; 0 when none is known.
    int systemError = 0;
    // A refusal's whole message, when it is not told as file, action and
    // reason.
    QString refusal;
    // What a refusal is about, when a text was refused: its field.
    Field subject = Field::None;
    // For a failure in a job the user did not ask for (finishing at start-up
    // or sign-in what an interrupted run left): what the program was doing,
    // as the start of a sentence ("Wayfile was finishing ..."), and what was
    // kept and what the user can do. Empty for the user's own changes.
    QString doing;
    QString advice;
    NotSynced warning;

    bool failed() const { return kind != Kind::None; }
    // Whether a file could not be written for want of room on its disk (or
    // of the user's disk quota).
    bool diskFull() const;
    // Whether this is a refusal of `refusal`.
    bool is(Kind refusal) const { return kind == refusal; }
    // A complete message for the user: what failed, on which file, and why
    // (within a job, what the program was doing and what to do about it); or
    // what was refused.
    QString message() const;
    // The message for the warning: what was done to which file, why it may
    // not be safely on disk yet, and what to do.
    QString warningMessage() const;

    // Tells a failure on a file (not a refusal) which job it happened in,
    // unless it knows one already. Returns the error itself.
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

    // A failure of `action` on `file` for `reason` (the system's error
    // `systemError`, when there was one).
    static IoError failure(const QString &file, const QString &action, const QString &reason,
                           int systemError = 0);
    // A refusal of kind `kind` with its whole message, about `subject`.
    static IoError refused(Kind kind, const QString &message, Field subject = Field::None);
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

// A change (or a result that is one) that did not happen, for the reason
// `error` gives: what every change returns when it refuses or fails before
// anything changed.
template <typename Result = Change> Result Refused(const IoError &error) {
    Result result;
    result.error = error;
    return result;
}

} // namespace modMain

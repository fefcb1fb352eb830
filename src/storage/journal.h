#pragma once

#include "storage/datafile.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

// A change that writes several data files as one: all of it, or nothing of
// it, whenever the program is stopped (a crash, a kill, a power failure).
//
// Before the first byte of data is written, a journal file says what the
// change will do, and is flushed to disk; it goes once the change is
// complete. A journal found at the next start (or sign-in) is an interrupted
// change, which is undone or finished from what the journal says. Two kinds
// of step can be journaled, and one journal may hold both:
//
//   - Appends and new entries ("cut appends back"): the journal holds the
//     length of every file that will be appended to, and the files and
//     folders that will be made. Undoing cuts each file back to its length
//     and removes what was made. Such steps are undone unless the change
//     was committed.
//   - New versions and removals ("replace these files"): the new content of
//     each file is written beside it, under its name with ".journal-new"
//     added, and flushed. Then a commit line is added to the journal and
//     flushed, and only then does each new version take its file's place
//     (one rename each). A folder that goes is renamed to its name with
//     ".journal-gone" added just before the commit line is written (so its
//     name is free the moment the change is decided), and removed with all
//     it holds once the new versions are in place. Finishing takes what is
//     left of those steps; a change not committed is undone by removing the
//     new versions and giving a folder moved aside its name back.
//
// Commit: the data and every changed folder flushed; for a journal with new
// versions or removals, the commit line flushed and the steps taken; then the
// journal removed and its folder flushed. For a journal of appends only, the
// removal of the journal is itself the commit.
//
// The journal file ("wayfile.journal", owner-only) is plain text, one line
// each, every path percent-encoded and relative to the journal's folder
// (absolute only for a file outside it, which a link can lead to):
//
//   Wayfile journal 2
//   append <length> <path>        a file that will be appended to
//   create <path>                 a file that will be made
//   mkdir <path>                  a folder that will be made
//   replace <path> <new version>  a file that will get a new version
//   remove <path> <moved to>      a folder that will go
//   end <entries> <sha-256>       the number of entry lines, and the
//                                 SHA-256 of every byte before this line
//
// and then, each added and flushed as the change goes on:
//
//   written <path> <count> <lines> <crc-32c>
//   <length> <crc-32c>            before an append (or the file it makes)
//   ...                           is written: the number of bytes it adds,
//                                 and for each of their <lines> lines (with
//                                 its line end; a last one without) its
//                                 length and CRC-32C; the CRC-32C of the
//                                 digest lines ends the first line
//   replacing <path> <length> <crc-32c>
//                                 once a new version is written: the length
//                                 and CRC-32C of the version it was made
//                                 from, which its rename will overwrite
//
// (The journal's own lines are guarded by SHA-256; what the files hold by
// CRC-32C, eight hex digits, which tells a changed file as surely for this
// purpose and costs a change of a file of megabytes next to nothing: see
// storage/checksum.h.)
//   commit <sha-256>              the end line's checksum: the change is
//                                 decided
//
// A journal of the first version ("Wayfile journal 1": the same lines up to
// the end line, then at most the commit line) is still read, and recovered
// as it always was, without the checks below.
//
// What the journal says each file must look like is checked before the
// recovery touches it: an appended file must be as long as it was, or hold
// after that length nothing but the start of (or all of) the bytes the
// change wrote, line by line as their digests say, the last line possibly
// cut short (a write torn there); a file the change made, nothing but those
// bytes; a file that
// gets its new version, exactly the version it was made from. A file that
// is otherwise was written since the change was cut short (by another
// program sharing the folder, by a copy of Wayfile that could not take the
// lock, or by hand), and undoing or finishing the change would destroy that
// work. Then nothing is cut back, removed or renamed: the files stay as they
// are, the journal stays (and so no new change starts in its folders), the
// new versions the journal wrote are moved aside, each under its name with
// ".kept" added (kKeptSuffix; a free name), and the recovery fails, naming
// the file that differs.
//
// Only one copy of the program may write the data files at a time: journals
// are undone or finished only while no other copy can be in the middle of a
// change (the installation lock is held).
namespace modMain {

// The name of a journal file, in the folder of the change it guards.
inline const QString kJournalName = QStringLiteral("wayfile.journal");
// Added to a file's name for its new version while a journal replaces it.
inline const QString kNewVersionSuffix = QStringLiteral(".journal-new");
// Added to a folder's name while a journal removes it.
inline const QString kGoneSuffix = QStringLiteral(".journal-gone");
// Added to the name of what a recovery set aside instead of deleting or
// renaming it over a file (a new version of a journal that could not be
// finished, a leftover that may be the only copy of its records); when that
// name is taken, ".kept2", ".kept3" and so on.
inline const QString kKeptSuffix = QStringLiteral(".kept");
// The reason a recovery gives when a file is no longer as the journal left
// it, and it kept everything as it is (see above).
inline const QString kChangedSinceReason =
    QStringLiteral("It was changed after an earlier change of several files was cut short: "
                   "Wayfile left it, and the record of that change, as they are, so that "
                   "nothing written since is lost");

// Edits one line of a file on its way to a new version, as RewriteLinesEdited
// does: `line` holds the line's bytes without its line end; `edit` may point
// it at a replacement (bytes that outlive the call), or drop the line (and
// its line end) by setting `*keep` to false, and returns true when it did
// either. A line keeps its own line end (CR LF, LF, or none for a last line
// without one), so a line `edit` leaves alone is written back byte for byte.
using LineEdit = std::function<bool(QByteArrayView &line, bool *keep)>;

// One change, journaled. Declare every step first (the will... calls), then
// begin(), then make the steps, then commit(). On a failure after begin(),
// abandon() undoes what was done; a journal that goes out of scope begun but
// neither committed nor abandoned is undone as well.
class Journal {
public:
    // A change whose journal lies in `folder`.
    explicit Journal(const QString &folder);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // The journal file's path.
    QString path() const { return path_; }

    // Declares that `path` will be appended to (its length now is kept) or,
    // when there is no such file, made. A file its user may not write to is
    // refused now ("Permission denied"), as an append would refuse it.
    IoError willAppendTo(const QString &path);
    // The same, with the bytes the append will add (as append() will be
    // given them), for a change that knows them before it begins: begin()
    // records the bytes of all such appends in one flushed write, and each
    // append then needs no write to the journal of its own (unless the file
    // lacks a last line end, which the append adds in front of them). The
    // journal shares `bytes` with the caller instead of copying them.
    IoError willAppendTo(const QString &path, const QByteArray &bytes);
    // Declares a folder that will be made.
    IoError willMakeFolder(const QString &path);
    // Declares that `path`, an existing file, will get a new version. A file
    // its user may not write to, or in a folder that cannot take its new
    // version, is refused now. A link is followed: the file it leads to gets
    // the new version, in that file's folder.
    IoError willReplace(const QString &path);
    // Declares that the folder `path` will go, with everything in it. A
    // folder whose entries cannot all be removed is refused now.
    IoError willRemoveFolder(const QString &path);

    // Writes the journal and flushes it to disk. Refused, with nothing
    // written, while a journal of an earlier change is still there, in this
    // journal's folder, in a folder the change touches, or in the program
    // folder; and when a new version or a folder's moved name is in the way.
    IoError begin();

    // Appends `bytes` (whole lines, each with its line end) to a file
    // declared by willAppendTo, as AppendLine appends a record: the file
    // locked, a CR LF first when its last line lacks a line end, all in one
    // write, then flushed to disk; a failed write is cut back at once. A file
    // that was absent is made now (owner-only); one that was there must
    // still be as long as it was when it was declared.
    IoError append(const QString &path, QByteArrayView bytes);
    // Makes a folder declared by willMakeFolder (owner-only).
    IoError makeFolder(const QString &path);
    // Writes the new version of a file declared by willReplace, from its
    // lines as `edit` leaves them, and flushes it; `*edited` counts the lines
    // `edit` changed or dropped. When it changed none, no new version is
    // kept and the file stays as it is. `progress` (when given) hears the
    // number of bytes of the file read so far, now and then.
    IoError writeNewVersion(const QString &path, const LineEdit &edit, qsizetype *edited,
                            const std::function<void(qint64 bytesRead)> &progress = {});

    // Commits the change (see above); `*committed` tells whether it stands.
    // A failure before the change was decided undoes it (nothing changed); a
    // failure after that leaves the journal, so that the next start finishes
    // the change, and says so in the failure's reason.
    IoError commit(bool *committed);

    // Undoes a change that failed: what was written goes, and the journal
    // with it. Returns `failure`, its reason extended when something could
    // not be undone at once (the journal then stays, for the next start).
    IoError abandon(const IoError &failure);

    // One declared step, as the journal names it.
    struct Entry {
        enum Kind { Append, Create, MakeFolder, Replace, RemoveFolder };
        Kind kind = Append;
        QString path;       // the file or folder (absolute)
        QString declared;   // the path it was declared by (a link's, for one)
        QString other;      // Replace: the new version; RemoveFolder: the moved name
        qint64 length = 0;  // Append: the file's length before the change
        bool taken = false; // this process made the step (what undoing looks at)
        // Append, Create: the bytes the change adds (in the process that
        // writes them), and once they are recorded (just before they are
        // written) their count and the digest of each of their lines, which
        // is what a recovery reads back.
        QByteArray written;
        qint64 writtenCount = 0;
        QByteArray writtenLines;
        bool recorded = false;
        // Replace: the length and CRC-32C (hex) of the version the new one
        // was made from, once it is written; -1 until then.
        qint64 oldLength = -1;
        QByteArray oldSum;
    };

private:
    enum class State { Planning, Begun, Closed };

    Entry *entryFor(const QString &path, std::initializer_list<Entry::Kind> kinds);
    // Adds `lines` to the journal file and flushes it; a failed write is cut
    // back at once.
    IoError record(QByteArrayView lines);
    // At begin(): records the bytes of the appends declared with them after
    // the end line, in one flushed write; false when it could not (the
    // journal then ends at its end line again).
    bool recordDeclared();

    QString folder_;
    QString path_;
    QList<Entry> entries_;
    QByteArray body_; // the journal as written, up to and with its end line
    QByteArray sum_;  // the checksum its end line and its commit line carry
    qint64 size_ = 0; // the journal file's length on disk
    State state_ = State::Planning;
};

// Undoes or finishes the change whose journal is in `folder`, and removes
// the journal: an interrupted change is then all done or not done at all.
// Run at start-up and sign-in only, while no other copy of the program can
// be making a change. A folder without a journal has nothing to do. When a
// step fails, the journal stays (the next start tries again) and the first
// failure is reported. A file no longer as the journal says leaves every
// file as it is (see above): the failure names it, with kChangedSinceReason.
IoError RecoverJournal(const QString &folder);

// At start-up: recovers the journal of the program folder (the changes of
// accounts) and then those of every user folder (imports). Every step is
// taken that can be; the first failure is reported, and `*failedIn` (when
// given) names the folder whose journal it concerns.
IoError RecoverJournals(QString *failedIn = nullptr);

// The change a journal records, as its steps tell: in the program folder, a
// password change (new versions only) or the deletion of an ID (a folder
// goes); in a user folder, an import (appends and new files and folders
// only). Anything else, or a journal that cannot be read, is Unknown.
enum class RecordedChange { Unknown, Import, PasswordChange, AccountDeletion };
RecordedChange ChangeRecordedIn(const QString &folder);

// The journal file of `folder`.
QString JournalPath(const QString &folder);

// The refusal of a change of the files in `folder` while an earlier change
// is not finished (its journal lies there or in the program folder), as
// begin() refuses one: it says that the change was not made, why, and what
// to do; `again` gives it in short, for a user who was told already. No
// failure when no journal is there.
IoError UnfinishedChangeIn(const QString &folder, bool again = false);

} // namespace modMain

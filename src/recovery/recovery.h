#pragma once

#include "storage/ioerror.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Finishing what an interrupted run left half done, in the program folder at
// start-up and in a user's folder at sign-in. Both run only while no other
// copy of the program can be changing the same files (this one holds the
// installation's lock). Each file format mends its own files (the account
// file, the category index, the URL files); these run those repairs in
// order, over one listing of the folder. A failure names the job that was
// being done, what was kept and what to do (IoError::doing and
// IoError::advice).
namespace modMain {

// Brings the program folder back to a state the program can use, at
// start-up:
//   - a change of several files that was cut short (an account's password
//     change or deletion, an import) is finished or undone (RecoverJournals);
//   - the temporary files of interrupted rewrites are removed;
//   - the account file is mended (RepairAccountFile): a registration cut
//     short goes, with the empty folder made for it.
// Every step that can is taken; the first failure is reported.
IoError RecoverProgramFolder();

// The leftovers of other programs that the recovery at sign-in found, could
// not place and told the user of: each is told once per run, however often
// users sign in. Whoever runs the sign-ins keeps one for the run and hands it
// to each.
class ToldLeftovers {
public:
    // Whether the leftover at `path` is told now for the first time; it is
    // remembered as told.
    bool firstTime(const QString &path);

private:
    QSet<QString> paths_;
};

// Brings the folder of user `userNo` back to what the category index says,
// after a run that ended (a crash, a power failure, a kill) in the middle of a
// change. Run before the user's categories are read:
//   - an import cut short is undone (its journal, see storage/journal.h);
//     when that fails, nothing else is done;
//   - the temporary files of interrupted rewrites are removed;
//   - a last line without line end that is no whole record is cut off the
//     category index, the URL files and the files below;
//   - a file that another program following the same file format left
//     behind, "tmp.DAT" in any letter case (it rewrites through it, deleting
//     the old file before renaming it): an empty one is removed; one of
//     category records goes to PlaceIndexLeftover, one of URL records to
//     PlaceUrlLeftover, which put it in place or keep it aside as ".kept"
//     when it may be the only copy of its records (told in `notices`).
//     Anything else is left as it is and told in `notices`, once per run
//     when `told` is given (without it, every time);
//   - the category deletes that a crash cut short are finished
//     (RestoreSetAsideUrlFiles): a URL file set aside goes back, merged with
//     one made since, or goes with its category.
// A folder that does not exist has nothing to recover. Every step that can is
// taken; the first failure is reported. `notices`, when given, receives the
// messages about what was found and left or moved out of the way.
IoError RecoverUserFolder(int userNo, QStringList *notices = nullptr,
                          ToldLeftovers *told = nullptr);

} // namespace modMain

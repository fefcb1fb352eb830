#pragma once

#include "storage/datafile.h"

#include <QStringList>

// Finishing what an interrupted run left half done, in the program folder at
// start-up and in a user's folder at sign-in. Both run only while no other
// copy of the program can be changing the same files (this one holds the
// installation's lock). A failure names the job that was being done, what
// was kept and what to do (IoError::doing and IoError::advice).
namespace modMain {

// Brings the program folder back to a state the program can use, at
// start-up:
//   - a change of several files that was cut short (an account's password
//     change or deletion, an import) is finished or undone (RecoverJournals);
//   - the temporary files of interrupted rewrites are removed;
//   - a last line of the account file that lacks its line end and is no whole
//     record (a registration that a crash or a power failure cut short) is
//     cut off, and the folder made for that registration is removed when it
//     is empty, so that the name can be registered again, on the same number.
// Every step that can is taken; the first failure is reported.
IoError RecoverProgramFolder();

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
//     the old file before renaming it): when it holds category records and
//     the index is absent or empty, it becomes the index; when it holds URL
//     records and exactly one category of the index has no URL file (or an
//     empty one), it becomes that category's URL file; when the file it
//     would become has data, it is an unfinished write and is removed; an
//     empty one is removed too. Anything else is left as it is and told once
//     (`notices`);
//   - a URL file that a category delete set aside ("CAT<m>.DAT.deleting")
//     goes back to its place when category m is still in the index, and is
//     removed when it is not. When a URL file of that category was made since
//     (choosing the category makes an empty one), the two are merged: the
//     lines set aside first, then the newer file's lines, whose records are
//     given new numbers where theirs are taken already (the next number
//     after the highest, or at the ceiling any free one); nothing else of any
//     line changes. A merge that a crash cut short is not made twice. An
//     entry of that name that is no file (a folder) is renamed out of the
//     way, and told (`notices`).
// A folder that does not exist has nothing to recover. Every step that can is
// taken; the first failure is reported. `notices`, when given, receives the
// messages about what was found and left or moved out of the way.
IoError RecoverUserFolder(int userNo, QStringList *notices = nullptr);

} // namespace modMain

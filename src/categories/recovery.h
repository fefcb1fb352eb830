#pragma once

#include "storage/datafile.h"

// Finishing what an interrupted run left half done in a user's folder.
namespace modMain {

// Brings the folder of user `userNo` back to what the category index says,
// after a run that ended (a crash, a power failure, a kill) in the middle of a
// change. Run before the user's categories are read, and only while no other
// copy of the program can be changing the same files:
//   - an import cut short is undone (its journal, see storage/journal.h);
//     when that fails, nothing else is done;
//   - the temporary files of interrupted rewrites are removed;
//   - a URL file that a category delete set aside ("CAT<m>.DAT.deleting")
//     goes back to its place when category m is still in the index, and is
//     removed when it is not. When a URL file of that category was made since
//     (choosing the category makes an empty one), the two are merged: the
//     lines set aside first, then the newer file's lines, whose records are
//     given new numbers where theirs are taken already; nothing else of any
//     line changes. A merge that a crash cut short is not made twice.
// A folder that does not exist has nothing to recover. Every step that can is
// taken; the first failure is reported.
IoError RecoverUserFolder(int userNo);

} // namespace modMain

#pragma once

#include "storage/ioerror.h"

#include <QLatin1StringView>
#include <QString>

// What every repair after a crash shares: the occasion it runs on (at
// start-up in the program's folder, at sign-in in the user's) and the texts
// of its failures that name that occasion. A failure in such a job says what
// the program was doing and what was kept (IoError::doing and
// IoError::advice).
namespace modMain {

// Where a repair runs, as its texts name it.
struct Occasion {
    QLatin1StringView folder; // the folder looked in
    QLatin1StringView next;   // when the job is tried again
};
inline constexpr Occasion kAtStart{QLatin1StringView("its folder"),
                                   QLatin1StringView("its next start")};
inline constexpr Occasion kAtSignIn{QLatin1StringView("your folder"),
                                    QLatin1StringView("your next sign-in")};

// What the program was doing: looking in the folder for changes that were
// cut short, or clearing away what one left there.
QString LookingForCutShort(const Occasion &o);
QString ClearingAway(const Occasion &o);

// What was kept and what to do: nothing changed; the file left behind is an
// unfinished copy.
QString NothingChanged(const Occasion &o);
QString UnfinishedCopy(const Occasion &o);

// A change of several files that a crash cut short and that the recovery
// could not finish or undo, the journal of which lies in `folder`: what the
// program was doing, naming the change its journal records, and what was
// kept and what to do, as fits `failure` (a file changed since, a journal
// that cannot be read, a full disk, a folder it may not write to, a failing
// disk). The files stay half-changed until it is done, and no other change
// of them runs.
QString FinishingChange(const QString &folder);
QString JournalKept(const Occasion &o, const IoError &failure, const QString &folder);

// Removes `path`, a copy that a write cut short left unfinished and that the
// program never reads; a failure says so.
IoError RemoveUnfinishedCopy(const QString &path, const Occasion &o);

// Moves `path`, which a repair may not delete (it may be the only copy of
// what it holds), aside under the first free name of its name with ".kept",
// ".kept2", ".kept3"... added, in the same folder (one rename, the folder
// flushed); `*keptAs` receives that name. A failure is one to "move away"
// `path`.
IoError KeepAside(const QString &path, QString *keptAs);

} // namespace modMain

#pragma once

#include <QString>

#include <functional>

namespace modMain {

// True when another copy of the program runs on the same installation (the
// same program folder). The first call that finds none takes the lock and
// holds it until the process ends.
//
// The lock is an exclusive flock on the program folder itself: every copy
// that uses these data files sees it, whatever its environment (TMPDIR
// included) and by whatever path it reached the folder; it needs no file of
// its own, and the system drops it when the process ends, however it ends, so
// a crashed run never blocks the next start. When the folder cannot be locked
// at all, the program runs unguarded rather than not at all, and
// InstanceLockProblem says why.
bool AnotherInstanceRunning();

// After AnotherInstanceRunning found no other copy: empty when this process
// holds the installation's lock; otherwise the message that tells the user
// that the lock could not be taken (naming the folder and the reason), so
// that a second copy could run beside this one unnoticed.
QString InstanceLockProblem();

// Whether this process may take it that no other copy uses the data files:
// it holds the lock (or a test's check said that no other copy runs). Work
// that would upset another copy in the middle of a change (clearing away what
// interrupted runs left) is done only then.
bool InstallationGuarded();

// Tests replace the check; an empty function restores the real one.
void SetInstanceCheck(std::function<bool()> check);

} // namespace modMain

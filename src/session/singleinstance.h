#pragma once

#include <QString>

#include <functional>

namespace modMain {

// The lock file kept for the installation in `programFolder` in the system's
// temporary folder, its name derived from the program folder. It is the
// lesser of the two locks (see AnotherInstanceRunning).
QString InstanceLockPath(const QString &programFolder);

// True when another copy of the program runs on the same installation (the
// same program folder). The first call that finds none takes the locks and
// holds them until the process ends.
//
// The lock that counts is an exclusive flock on the program folder itself:
// every copy that uses these data files sees it, whatever its environment
// (TMPDIR included) and by whatever path it reached the folder; it needs no
// file of its own, and the system drops it when the process ends, however it
// ends, so a crashed run never blocks the next start. The lock file in the
// temporary folder is taken as well: copies of earlier builds know only that
// one, and it still guards a program folder that cannot be locked (a file
// system without flock). A lock file left behind by a crashed run is taken
// over. When neither lock can be set up at all, the program runs unguarded
// rather than not at all.
bool AnotherInstanceRunning();

// Tests replace the check; an empty function restores the real one.
void SetInstanceCheck(std::function<bool()> check);

} // namespace modMain

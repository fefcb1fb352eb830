#pragma once

#include <QString>

#include <functional>

namespace modMain {

// Where the lock of the installation in `programFolder` lives: a file in the
// system's temporary folder whose name is derived from the program folder, so
// each installation has its own lock and the program folder holds only data.
QString InstanceLockPath(const QString &programFolder);

// True when another copy of the program runs on the same installation (the
// same program folder). The first call that finds none takes the lock and
// holds it until the process ends; a lock left behind by a crashed run is
// taken over.
bool AnotherInstanceRunning();

// Tests replace the check; an empty function restores the real one.
void SetInstanceCheck(std::function<bool()> check);

} // namespace modMain

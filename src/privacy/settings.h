#pragma once

#include <QString>

// The privacy settings: when Wayfile signs its user out by itself. They live
// in the user's settings file, ~/.config/wayfile/wayfile.conf (the folder is
// $XDG_CONFIG_HOME when that is set), an INI file:
//
//   [Privacy]
//   SignOutAfterMinutes=10
//   SignOutOnScreenLock=true
//
// It is the one file Wayfile writes outside its own folder. The first start
// writes it with the defaults; a key that is missing later is added with its
// default, and a key the user set is never rewritten.
namespace privacy {

struct Settings {
    // Minutes without a key press or mouse input in Wayfile's windows after
    // which the user is signed out; 0: never.
    int signOutAfterMinutes = 10;
    // Whether the user is signed out when the desktop locks its screen.
    bool signOutOnScreenLock = true;
};

// The settings file's path: ~/.config/wayfile/wayfile.conf, or the file a
// test chose with SetSettingsFile.
QString SettingsFile();
// Tests: reads and writes `path` instead; "" goes back to the user's file.
void SetSettingsFile(const QString &path);

// Reads the settings, writing the file, or the keys missing from it, with
// their defaults. What cannot be read or written, and a value that is not
// one the key can hold, is told in `problem` (the defaults then count for
// what could not be read); `problem` stays "" when all went well.
Settings LoadSettings(QString *problem);

} // namespace privacy

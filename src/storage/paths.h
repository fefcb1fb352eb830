#pragma once

#include <QString>
#include <QStringList>

// The path rule: where the data files are. Every data file lives in the
// program's folder or in the folder of one user there.
namespace modMain {

// The folder that holds the program; data files live there. Defaults to the
// folder of the executable; tests point it at a temporary folder.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);

// Path rule: `name` appended to `folder` with one "/" between them (none
// added when the folder already ends with "/"). Names are matched without
// regard to letter case: when the folder already holds an entry whose name
// differs from `name` only in case, that entry's name is used.
QString JoinPath(const QString &folder, const QString &name);

// Every entry of `folder` whose name equals `name` without regard to letter
// case, as full paths, in name order. Both look-ups find names through
// FolderEntriesNamed, which keeps a folder's names between look-ups.
QStringList EntriesNamed(const QString &folder, const QString &name);

// JoinPath(ProgramFolder(), name).
QString DataPath(const QString &name);

// "USR" + n, and the full path of that user folder.
QString UserFolderName(int userNo);
QString UserFolderPath(int userNo);

} // namespace modMain

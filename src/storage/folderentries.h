#pragma once

#include <QString>
#include <QStringList>

// Looking up file names without regard to letter case, in folders of any
// size.
//
// A folder's names are listed once and then kept, as an index from each
// name without case to the entries that carry it. The index follows every
// change of the folder, by this program or by anyone else, through the
// system's change notices for the folder (inotify), so a lookup costs the
// same in a folder of ten entries as in one of thirty thousand. As a second
// guard the folder's own stamps (device, inode, modification and change
// times) are compared on every lookup: a change no notice reported (a
// network folder changed from another machine) makes the folder be listed
// again. Where notices cannot be had (no inotify, its limits reached) the
// folder is listed on every lookup, as good as ever but slower.
namespace modMain {

// The names of the entries of `folder` ("." and ".." aside) that equal
// `name` without regard to letter case, in name order. Empty when there are
// none or the folder cannot be read.
QStringList FolderEntriesNamed(const QString &folder, const QString &name);

} // namespace modMain

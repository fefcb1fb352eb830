#pragma once

#include <QString>
#include <QStringList>

// Looking up file names without regard to letter case, in folders of any
// size, and what kind of entry a name is.
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

// What an entry of a folder is, as the system tells it without opening it.
enum class EntryKind {
    Absent, // no entry of that name
    File,   // a regular file
    Folder,
    Other,  // a link (unless followed), a pipe, a device, a socket
    Unseen, // it cannot be looked at, for another reason than being absent
};

// Whether a link is looked at itself or at what it leads to (a link that
// leads nowhere is then Absent).
enum class Links { Kept, Followed };

// The kind of the entry at `path`.
EntryKind KindOfEntry(const QString &path, Links links = Links::Kept);

// The size in bytes of the entry at `path`, a link followed (a folder has a
// size as well); -1 when it is absent or cannot be looked at.
qint64 SizeOfEntry(const QString &path);

} // namespace modMain

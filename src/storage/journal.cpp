#include "storage/journal.h"

#include "storage/checksum.h"

#include "storage/crashrepair.h"
#include "storage/diskio.h"
#include "storage/paths.h"
#include "storage/records.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modMain {

namespace {

using diskio::Failed;
using diskio::FileDescriptor;
using diskio::kCreate;
using diskio::kDelete;
using diskio::kRead;
using diskio::kWriteTo;
using diskio::NotSyncedWarning;
const QString kRestore = QStringLiteral("restore");
const QString kFinish = QStringLiteral("finish the change recorded in");

// The journal's first line: what this program writes, and the first
// version, which it still reads (see journal.h).
constexpr char kHeader[] = "Wayfile journal 2";
constexpr char kFirstHeader[] = "Wayfile journal 1";
// What a recovery names when it leaves a file alone that was changed since.
const QString kTakeBack = QStringLiteral("take back the change to");
const QString kFinishOn = QStringLiteral("finish the change to");
// A journal names every file of its change once, and holds the bytes its
// appends add: the records of the largest import (a bookmark file of 256 MB
// at the most, whose records take less room than its markup) fit well.
constexpr qint64 kMaxJournalSize = 1024ll * 1024 * 1024;

QByteArray nameOf(const QString &path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString &path) {
    return QFileInfo(path).absolutePath();
}

// Whether an entry of that name exists (a link counts, wherever it leads);
// false with `*error` set when that cannot be told.
bool entryExists(const QString &path, int *error = nullptr) {
    struct stat st;
    const int lookUp = diskio::EntryStatus(path, &st);
    if (error)
        *error = lookUp == ENOENT ? 0 : lookUp;
    return lookUp == 0;
}

bool isFolder(const QString &path) {
    struct stat st;
    return diskio::EntryStatus(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The journal of a folder. Always written under its one name, so it is
// looked up under that name only, without listing the folder (the start
// looks into every user folder).
QString journalIn(const QString &folder) {
    return folder.endsWith(u'/') ? folder + kJournalName : folder + u'/' + kJournalName;
}

QByteArray checksum(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// A path as the journal writes it: relative to the journal's folder when it
// lies inside, percent-encoded so that it is one word of plain characters.
QByteArray pathWord(const QString &folder, const QString &path) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    const QString relative = path.startsWith(prefix) ? path.mid(prefix.size()) : path;
    return nameOf(relative).toPercentEncoding("/");
}

QString pathOfWord(const QString &folder, QByteArrayView word) {
    const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(word.toByteArray()));
    if (path.startsWith(u'/'))
        return path;
    return folder.endsWith(u'/') ? folder + path : folder + u'/' + path;
}

// The flushes a group of steps owes: every folder whose entries changed.
class FolderFlushes {
public:
    void add(const QString &folder) {
        if (!folders_.contains(folder))
            folders_.append(folder);
    }
    // Flushes them all; a folder that cannot be flushed is a warning about
    // `changed` (the first one kept).
    IoError flush(const QString &changed) const {
        IoError result;
        for (const QString &folder : folders_) {
            if (const int error = diskio::SyncFolder(folder))
                result.note(NotSyncedWarning(changed, NotSynced::Kind::Saved, folder, error));
        }
        return result;
    }

private:
    QStringList folders_; // in the order first changed
};

// Removes a folder and everything in it; links are removed, never followed.
// Only the folder that held `path` needs a flush (given `flushes`): the
// entries inside go with their folder.
IoError removeTree(const QString &path, FolderFlushes *flushes) {
    struct stat st;
    if (const int error = diskio::EntryStatus(path, &st))
        return error == ENOENT ? IoError() : Failed(path, kDelete, error);
    if (!S_ISDIR(st.st_mode)) {
        if (const int error = diskio::Remove(path))
            return error == ENOENT ? IoError() : Failed(path, kDelete, error);
    } else {
        QStringList names;
        if (IoError err = ListFolder(path, &names); err.failed())
            return err;
        for (const QString &name : std::as_const(names)) {
            if (IoError err = removeTree(path + u'/' + name, nullptr); err.failed())
                return err;
        }
        if (const int error = diskio::RemoveEmptyFolder(path); error && error != ENOENT)
            return Failed(path, kDelete, error);
    }
    if (flushes)
        flushes->add(folderOf(path));
    return IoError();
}

// Whether everything in a folder can be removed: every folder in it (itself
// included) lets its entries be removed. A folder that is not there has
// nothing to remove.
IoError removableTree(const QString &path) {
    struct stat st;
    if (const int error = diskio::EntryStatus(path, &st))
        return error == ENOENT ? IoError() : Failed(path, kDelete, error);
    if (!S_ISDIR(st.st_mode))
        return IoError();
    if (const int error = diskio::Access(path, W_OK | X_OK))
        return Failed(path, kDelete, error);
    QStringList names;
    if (IoError err = ListFolder(path, &names); err.failed())
        return err;
    for (const QString &name : std::as_const(names)) {
        if (IoError err = removableTree(path + u'/' + name); err.failed())
            return err;
    }
    return IoError();
}

// Cuts a file back to the length it had before the change, and flushes it.
// A file that is gone or not longer has nothing to give back.
IoError cutBack(const QString &path, qint64 length) {
    struct stat st;
    if (const int error = diskio::FileStatus(path, &st))
        return error == ENOENT ? IoError() : Failed(path, kRestore, error);
    if (!S_ISREG(st.st_mode) || st.st_size <= length)
        return IoError();
    return diskio::CutFile(path, length, kRestore);
}

// Removes a file the change made, when it is there.
IoError removeMade(const QString &path, FolderFlushes *flushes) {
    int error = 0;
    if (!entryExists(path, &error))
        return error ? Failed(path, kDelete, error) : IoError();
    if (const int removeError = diskio::Remove(path))
        return removeError == ENOENT ? IoError() : Failed(path, kDelete, removeError);
    flushes->add(folderOf(path));
    return IoError();
}

bool startsAsRecorded(QByteArrayView tail, QByteArrayView digests);

// What a file holds, as far as the recovery's checks look at it.
struct FileLook {
    bool exists = false;
    qint64 length = 0;
    QByteArray sum;      // the CRC-32C (hex) of all of it
    QByteArray tail;     // its bytes from the offset asked for, up to the count asked for
    bool longer = false; // more bytes follow the tail
};

// Reads the file at `path` (a link followed) for its checks: its bytes from
// `from` on are kept, at most `keep` of them.
IoError lookAt(const QString &path, qint64 from, qint64 keep, FileLook *look) {
    *look = FileLook();
    struct stat st;
    if (const int error = diskio::FileStatus(path, &st))
        return error == ENOENT ? IoError() : Failed(path, kRead, error);
    IoError err;
    FileDescriptor file(diskio::OpenDataFile(path, O_RDONLY, kRead, &err));
    if (!file.valid())
        return err;
    look->exists = true;
    Crc32c hash;
    const auto take = [&](QByteArrayView part) {
        hash.add(part);
        const qint64 start = std::max<qint64>(0, from - look->length);
        look->length += part.size();
        if (start >= part.size())
            return;
        const qint64 wanted = part.size() - start;
        const qint64 room = std::max<qint64>(0, keep - look->tail.size());
        look->tail.append(part.sliced(start, std::min(wanted, room)));
        look->longer = look->longer || wanted > room;
    };
    const int readError = diskio::ReadLines(
        file.get(),
        [&](QByteArrayView text, QByteArrayView lineEnd) {
            take(text);
            take(lineEnd);
            return true;
        },
        [] {});
    if (readError)
        return Failed(path, kRead, readError);
    look->sum = hash.hex();
    return IoError();
}

// Whether the recovery may take the step of `e` that it is about to take
// (undo it, or for a committed change finish it), as the journal says the
// file must look; `*allowed` is cleared when it may not. Asked only of a
// journal of the second version (the first says nothing of the files).
IoError mayTouch(const Journal::Entry &e, bool committed, bool *allowed) {
    *allowed = true;
    FileLook look;
    switch (e.kind) {
    case Journal::Entry::Append:
    case Journal::Entry::Create: {
        if (committed)
            return IoError(); // nothing is undone
        const qint64 from = e.kind == Journal::Entry::Append ? e.length : 0;
        if (IoError err = lookAt(e.path, from, e.writtenCount, &look); err.failed())
            return err;
        if (!look.exists) {
            // A file to be made that is not there has nothing to undo; one
            // appended to that is gone was moved or deleted since.
            *allowed = e.kind == Journal::Entry::Create;
        } else if (look.length == from) {
            // Nothing written yet (a file made, not yet written to, is empty).
        } else {
            // What is there after the old end must be what this change
            // wrote, or a start of it (a write cut short).
            *allowed = look.length > from && e.recorded && !look.longer &&
                       startsAsRecorded(look.tail, e.writtenLines);
        }
        return IoError();
    }
    case Journal::Entry::Replace: {
        if (!committed)
            return IoError(); // only the new version goes
        int error = 0;
        if (!entryExists(e.other, &error)) {
            if (error)
                return Failed(e.other, kRead, error);
            // In its place already, or needed none; but one set aside by an
            // earlier recovery is a change still undecided.
            *allowed = !entryExists(e.other + kKeptSuffix);
            return IoError();
        }
        // A committed change recorded its old version before the commit line;
        // without that record the new version is not this change's.
        if (e.oldLength < 0) {
            *allowed = false;
            return IoError();
        }
        if (IoError err = lookAt(e.path, 0, 0, &look); err.failed())
            return err;
        *allowed = look.exists && look.length == e.oldLength && look.sum == e.oldSum;
        return IoError();
    }
    case Journal::Entry::MakeFolder:
    case Journal::Entry::RemoveFolder:
        // A folder made is only removed when empty, and a folder moved aside
        // only takes a free name back: neither can destroy anything.
        return IoError();
    }
    return IoError();
}

// Moves each new version the journal wrote aside, under a free ".kept" name,
// so that no later recovery or change renames it over its file.
IoError setNewVersionsAside(const QList<Journal::Entry> &entries) {
    IoError result;
    for (const Journal::Entry &e : entries) {
        if (e.kind != Journal::Entry::Replace || !entryExists(e.other))
            continue;
        QString kept;
        result.keepFirst(KeepAside(e.other, &kept));
    }
    return result;
}

// Undoes the steps of a change that was not committed, the last first:
// every one of them when `onlyTaken` is false (after a crash nobody knows
// which were taken), only those this process took otherwise. Every step is
// tried; the first failure is reported.
IoError undo(const QList<Journal::Entry> &entries, bool onlyTaken) {
    IoError result;
    FolderFlushes flushes;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        const Journal::Entry &e = *it;
        if (onlyTaken && !e.taken)
            continue;
        switch (e.kind) {
        case Journal::Entry::Append:
            result.keepFirst(cutBack(e.path, e.length));
            break;
        case Journal::Entry::Create:
            result.keepFirst(removeMade(e.path, &flushes));
            break;
        case Journal::Entry::MakeFolder:
            if (isFolder(e.path)) {
                if (const int error = diskio::RemoveEmptyFolder(e.path))
                    result.keepFirst(Failed(e.path, kDelete, error));
                else
                    flushes.add(folderOf(e.path));
            }
            break;
        case Journal::Entry::Replace:
            result.keepFirst(removeMade(e.other, &flushes));
            break;
        case Journal::Entry::RemoveFolder:
            // Moved aside before the commit: it goes back to its name.
            if (!entryExists(e.path) && entryExists(e.other)) {
                if (const int error = diskio::Rename(e.other, e.path))
                    result.keepFirst(Failed(e.path, kRestore, error));
                else
                    flushes.add(folderOf(e.path));
            }
            break;
        }
    }
    result.note(flushes.flush(entries.isEmpty() ? QString() : entries.first().path));
    return result;
}

// Takes the steps of a committed change that are not taken yet: each new
// version that is still there takes its file's place, in the order of the
// journal, and then each folder that goes (moved aside before the commit) is
// removed. Stops at the first failure (the journal stays, and the next start
// goes on from there).
IoError finish(const QList<Journal::Entry> &entries) {
    FolderFlushes flushes;
    for (const Journal::Entry &e : entries) {
        if (e.kind != Journal::Entry::Replace)
            continue;
        int error = 0;
        if (!entryExists(e.other, &error)) {
            if (error)
                return Failed(e.path, kWriteTo, error);
            continue; // in its place already, or the file needed none
        }
        if (const int renameError = diskio::Rename(e.other, e.path))
            return Failed(e.path, kWriteTo, renameError);
        flushes.add(folderOf(e.path));
    }
    for (const Journal::Entry &e : entries) {
        if (e.kind != Journal::Entry::RemoveFolder)
            continue;
        if (IoError err = removeTree(e.other, &flushes); err.failed())
            return err;
    }
    // Everything taken must be on disk before the journal goes.
    return flushes.flush(entries.isEmpty() ? QString() : entries.first().path);
}

// A journal as read back.
struct ReadJournal {
    bool whole = false;     // the end line is there and the checksum matches
    bool committed = false; // a whole commit line follows it
    bool checked = false;   // a journal that says what each file must look like
    QList<Journal::Entry> entries;
    QString damage; // a whole journal this program cannot read: why
};

ReadJournal parseJournal(const QString &folder, const QByteArray &bytes) {
    ReadJournal read;
    QByteArray header = QByteArray(kHeader) + '\n';
    read.checked = bytes.startsWith(header);
    if (!read.checked)
        header = QByteArray(kFirstHeader) + '\n';
    if (!bytes.startsWith(header))
        return read;
    // The end line: the first line that starts with "end ".
    qsizetype at = header.size();
    qsizetype endLine = -1;
    QList<QByteArrayView> lines;
    while (at < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', at);
        if (lf < 0)
            return read; // a last line cut short: not whole
        const QByteArrayView line(bytes.constData() + at, lf - at);
        if (line.startsWith("end ")) {
            endLine = at;
            break;
        }
        lines.append(line);
        at = lf + 1;
    }
    if (endLine < 0)
        return read;
    const qsizetype endLf = bytes.indexOf('\n', endLine);
    const QList<QByteArray> endWords = bytes.mid(endLine, endLf - endLine).split(' ');
    const QByteArray sum = checksum(QByteArrayView(bytes.constData(), endLine));
    if (endWords.size() != 3 || endWords[1] != QByteArray::number(lines.size()) ||
        endWords[2] != sum)
        return read;
    read.whole = true;

    for (const QByteArrayView line : std::as_const(lines)) {
        const QList<QByteArray> words = line.toByteArray().split(' ');
        Journal::Entry e;
        e.taken = true;
        bool ok = true;
        const QByteArray &kind = words[0];
        if (kind == "append" && words.size() == 3) {
            e.kind = Journal::Entry::Append;
            e.length = words[1].toLongLong(&ok);
            ok = ok && e.length >= 0;
            e.path = pathOfWord(folder, words[2]);
        } else if (kind == "create" && words.size() == 2) {
            e.kind = Journal::Entry::Create;
            e.path = pathOfWord(folder, words[1]);
        } else if (kind == "mkdir" && words.size() == 2) {
            e.kind = Journal::Entry::MakeFolder;
            e.path = pathOfWord(folder, words[1]);
        } else if ((kind == "replace" || kind == "remove") && words.size() == 3) {
            e.kind = kind == "replace" ? Journal::Entry::Replace : Journal::Entry::RemoveFolder;
            e.path = pathOfWord(folder, words[1]);
            e.other = pathOfWord(folder, words[2]);
        } else {
            ok = false;
        }
        if (!ok) {
            read.damage = QStringLiteral("It holds a step this version of Wayfile does not know "
                                         "(\"%1\")")
                              .arg(QString::fromLatin1(line.toByteArray().left(60)));
            read.entries.clear();
            return read;
        }
        read.entries.append(e);
    }

    // What follows the end line, each whole or not there at all: a line cut
    // short, or digests that do not match their checksum, were being written
    // when the change stopped, and nothing followed them.
    at = endLf + 1;
    while (at < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', at);
        if (lf < 0)
            break;
        const QList<QByteArray> words = bytes.mid(at, lf - at).split(' ');
        if (words.size() == 2 && words[0] == "commit") {
            read.committed = words[1] == sum;
            break;
        }
        if (!read.checked || words.size() < 4)
            break;
        bool ok = false;
        const qint64 number = words[2].toLongLong(&ok);
        if (!ok || number < 0)
            break;
        const QString path = pathOfWord(folder, words[1]);
        Journal::Entry *e = nullptr;
        for (Journal::Entry &entry : read.entries) {
            if (entry.path == path && entry.kind != Journal::Entry::MakeFolder &&
                entry.kind != Journal::Entry::RemoveFolder)
                e = &entry;
        }
        if (!e)
            break;
        if (words[0] == "written" && words.size() == 5 && e->kind != Journal::Entry::Replace) {
            const qint64 lines = words[3].toLongLong(&ok);
            if (!ok || lines < 0 || lines > number)
                break;
            // The digest lines, all of them whole, as their checksum says.
            qsizetype end = lf + 1;
            for (qint64 i = 0; i < lines && end > 0; ++i)
                end = bytes.indexOf('\n', end) + 1;
            if (end <= 0 && lines > 0)
                break;
            const QByteArrayView digests(bytes.constData() + lf + 1, end - (lf + 1));
            if (Crc32c::of(digests) != words[4])
                break;
            e->writtenCount = number;
            e->writtenLines = digests.toByteArray();
            e->recorded = true;
            at = end;
        } else if (words[0] == "replacing" && words.size() == 4 &&
                   e->kind == Journal::Entry::Replace) {
            e->oldLength = number;
            e->oldSum = words[3];
            at = lf + 1;
        } else {
            break;
        }
    }
    return read;
}

QByteArray journalBody(const QString &folder, const QList<Journal::Entry> &entries) {
    QByteArray body = QByteArray(kHeader) + '\n';
    for (const Journal::Entry &e : entries) {
        switch (e.kind) {
        case Journal::Entry::Append:
            body += "append " + QByteArray::number(e.length) + ' ' + pathWord(folder, e.path);
            break;
        case Journal::Entry::Create:
            body += "create " + pathWord(folder, e.path);
            break;
        case Journal::Entry::MakeFolder:
            body += "mkdir " + pathWord(folder, e.path);
            break;
        case Journal::Entry::Replace:
            body += "replace " + pathWord(folder, e.path) + ' ' + pathWord(folder, e.other);
            break;
        case Journal::Entry::RemoveFolder:
            body += "remove " + pathWord(folder, e.path) + ' ' + pathWord(folder, e.other);
            break;
        }
        body += '\n';
    }
    body += "end " + QByteArray::number(entries.size()) + ' ' + checksum(body) + '\n';
    return body;
}

// The digests of the lines of `bytes`: for each line, with its LF (a last
// one may have none), "<length> <crc-32c>" and a LF.
QByteArray lineDigests(QByteArrayView bytes, qsizetype *lines) {
    QByteArray digests;
    *lines = 0;
    for (qsizetype at = 0; at < bytes.size(); ++*lines) {
        const qsizetype lf = bytes.indexOf('\n', at);
        const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
        const QByteArrayView line = bytes.sliced(at, end - at);
        digests += QByteArray::number(line.size()) + ' ' + Crc32c::of(line) + '\n';
        at = end;
    }
    return digests;
}

// The record of the bytes an append adds to the file at `path`: their count,
// and their lines' digests (the bytes themselves stay out of the journal, so
// that an append of megabytes costs the journal kilobytes).
QByteArray writtenBlock(const QString &folder, const QString &path, QByteArrayView written) {
    qsizetype lines = 0;
    const QByteArray digests = lineDigests(written, &lines);
    return "written " + pathWord(folder, path) + ' ' + QByteArray::number(written.size()) + ' ' +
           QByteArray::number(lines) + ' ' + Crc32c::of(digests) + '\n' + digests;
}

// Whether `tail`, what a file holds after its length before the change, is
// all of or a start of the bytes whose line digests are `digests`: each line
// as recorded, but for a last one that a torn write cut short (shorter than
// its line, without a line end of its own).
bool startsAsRecorded(QByteArrayView tail, QByteArrayView digests) {
    qsizetype at = 0;
    qsizetype next = 0;
    while (at < tail.size()) {
        const qsizetype lf = digests.indexOf('\n', next);
        if (lf < 0)
            return false; // longer than what the change wrote
        const QByteArrayView digest = digests.sliced(next, lf - next);
        const qsizetype blank = digest.indexOf(' ');
        const qsizetype length = digest.first(std::max<qsizetype>(blank, 0)).toLongLong();
        const QByteArrayView sum = digest.sliced(blank + 1);
        const qsizetype lineEnd = tail.indexOf('\n', at);
        const qsizetype end = lineEnd < 0 ? tail.size() : lineEnd + 1;
        const QByteArrayView line = tail.sliced(at, end - at);
        if (line.size() != length)
            return lineEnd < 0 && line.size() < length; // torn in its last line
        if (Crc32c::of(line) != sum)
            return false;
        at = end;
        next = lf + 1;
    }
    return true;
}

// Removes a journal file and flushes its folder; the folder's flush failing
// is a warning.
IoError removeJournal(const QString &path) {
    if (const int error = diskio::Remove(path); error && error != ENOENT)
        return Failed(path, kDelete, error);
    if (const int error = diskio::SyncFolder(folderOf(path)))
        return NotSyncedWarning(path, NotSynced::Kind::Removed, folderOf(path), error);
    return IoError();
}

// The refusal of a change while the journal `journal` of an earlier one is
// still there: in full, or (`again`) in short for the user who was told.
IoError unfinished(const QString &journal, bool again = false) {
    IoError err = IoError::failure(journal, kFinish,
                                   QStringLiteral("An earlier change was cut short and is not "
                                                  "finished yet"));
    err.refusal =
        again ? QStringLiteral("Your change was not made: the earlier change that was cut short "
                               "is still not finished. Please close Wayfile and start it again.")
              : QStringLiteral("Your change was not made: an earlier change of your files was cut "
                               "short and is not finished yet (it is recorded in \"%1\"). "
                               "Please close Wayfile and start it again, so that it can finish "
                               "that change first; if another copy of Wayfile is running, close "
                               "that one too. Should this message come back after the new start, "
                               "see the message Wayfile shows when you sign in.")
                    .arg(journal);
    return err;
}

} // namespace

Journal::Journal(const QString &folder)
    : folder_(QFileInfo(folder).absoluteFilePath()), path_(journalIn(folder_)) {}

Journal::~Journal() {
    if (state_ == State::Begun)
        abandon(IoError());
}

Journal::Entry *Journal::entryFor(const QString &path, std::initializer_list<Entry::Kind> kinds) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (Entry &e : entries_) {
        if ((e.path == wanted || e.declared == wanted) &&
            std::find(kinds.begin(), kinds.end(), e.kind) != kinds.end())
            return &e;
    }
    return nullptr;
}

IoError Journal::willAppendTo(const QString &path) {
    Entry e;
    e.path = e.declared = QFileInfo(path).absoluteFilePath();
    if (entryFor(e.path, {Entry::Append, Entry::Create}))
        return IoError();
    // Nothing at all of that name (a link that leads nowhere is something):
    // the file will be made.
    struct stat st;
    if (diskio::FileStatus(e.path, &st) == ENOENT && !entryExists(e.path)) {
        e.kind = Entry::Create;
    } else {
        // Opened for writing now, so that a file that cannot be written is
        // refused before anything is.
        IoError err;
        FileDescriptor file(diskio::OpenDataFile(e.path, O_WRONLY | O_APPEND, kWriteTo, &err));
        if (!file.valid())
            return err;
        if (const int error = diskio::FileStatus(e.path, &st))
            return Failed(e.path, kWriteTo, error);
        e.kind = Entry::Append;
        e.length = st.st_size;
    }
    entries_.append(e);
    return IoError();
}

IoError Journal::willAppendTo(const QString &path, const QByteArray &bytes) {
    if (IoError err = willAppendTo(path); err.failed())
        return err;
    Entry *e = entryFor(path, {Entry::Append, Entry::Create});
    e->written = bytes;
    e->writtenCount = bytes.size();
    e->recorded = false; // until begin() has written them
    return IoError();
}

IoError Journal::willMakeFolder(const QString &path) {
    Entry e;
    e.kind = Entry::MakeFolder;
    e.path = e.declared = QFileInfo(path).absoluteFilePath();
    if (entryExists(e.path))
        return Failed(e.path, kCreate, EEXIST);
    entries_.append(e);
    return IoError();
}

IoError Journal::willReplace(const QString &path) {
    Entry e;
    e.kind = Entry::Replace;
    e.path = e.declared = QFileInfo(path).absoluteFilePath();
    // Refused now as its rewrite would refuse it: a file made read-only, as
    // an append to it would be. Its folder is asked too, which the new
    // version is written to.
    mode_t mode = 0;
    int statError = 0;
    if (IoError err = diskio::ReplacedTarget(e.declared, &e.path, &mode, &statError); err.failed())
        return err;
    if (statError)
        return Failed(e.declared, kWriteTo, statError); // a file that is not there, too
    if (const int error = diskio::Access(folderOf(e.path), W_OK | X_OK))
        return Failed(path, kWriteTo, error);
    e.other = e.path + kNewVersionSuffix;
    if (!entryFor(e.path, {Entry::Replace}))
        entries_.append(e);
    return IoError();
}

IoError Journal::willRemoveFolder(const QString &path) {
    Entry e;
    e.kind = Entry::RemoveFolder;
    e.path = e.declared = QFileInfo(path).absoluteFilePath();
    e.other = e.path + kGoneSuffix;
    // Asked now, so that the change is refused before it starts rather than
    // left to finish: the folder's own folder must let it be moved, and every
    // folder in it must let its entries be removed.
    if (const int error = diskio::Access(folderOf(e.path), W_OK | X_OK))
        return Failed(e.path, kDelete, error);
    if (IoError err = removableTree(e.path); err.failed())
        return err;
    entries_.append(e);
    return IoError();
}

IoError Journal::begin() {
    Q_ASSERT(state_ == State::Planning);
    // No change may start on top of one that is not finished: the journal's
    // own folder, every folder the change touches, and the program folder
    // (whose changes of accounts reach into the user folders).
    QStringList folders{folder_, QFileInfo(ProgramFolder()).absoluteFilePath()};
    for (const Entry &e : std::as_const(entries_)) {
        if (!folders.contains(folderOf(e.path)))
            folders.append(folderOf(e.path));
    }
    for (const QString &folder : std::as_const(folders)) {
        const QString journal = journalIn(folder);
        int error = 0;
        if (entryExists(journal, &error))
            return unfinished(journal);
        if (error)
            return Failed(journal, kRead, error);
    }
    for (const Entry &e : std::as_const(entries_)) {
        if ((e.kind == Entry::Replace || e.kind == Entry::RemoveFolder) && entryExists(e.other))
            return Failed(e.other, kCreate, EEXIST);
    }

    body_ = journalBody(folder_, entries_);
    sum_ = checksum(QByteArrayView(body_).first(body_.lastIndexOf("end ")));
    IoError err;
    bool created = false;
    FileDescriptor file(diskio::OpenDataFile(path_, O_WRONLY | O_CREAT, kCreate, &err, &created));
    if (!file.valid())
        return err;
    if (!created)
        return unfinished(path_);
    diskio::IgnoreFileSizeSignal();
    int error = diskio::WriteAll(file.get(), body_);
    if (!error)
        error = diskio::SyncFile(file.get());
    if (!error)
        error = file.close();
    // Without its folder flushed, the journal might not survive a power
    // failure that the data written after it survives.
    if (!error)
        error = diskio::SyncFolder(folder_);
    if (error) {
        file.close();
        diskio::Remove(path_);
        return Failed(path_, kCreate, error);
    }
    size_ = body_.size();
    state_ = State::Begun;

    // The records of the appends declared with their bytes follow the end
    // line, as append() would write them, all flushed once. Should the disk
    // not take them, the journal is cut back to its end line and each append
    // records its own, the failure then told as that append's.
    if (recordDeclared())
        for (Entry &e : entries_)
            e.recorded = !e.written.isEmpty();
    return IoError();
}

bool Journal::recordDeclared() {
    QList<const Entry *> declared;
    for (const Entry &e : std::as_const(entries_)) {
        if ((e.kind == Entry::Append || e.kind == Entry::Create) && !e.written.isEmpty())
            declared.append(&e);
    }
    if (declared.isEmpty())
        return false;
    IoError err;
    FileDescriptor file(diskio::OpenDataFile(path_, O_WRONLY | O_APPEND, kWriteTo, &err));
    if (!file.valid())
        return false;
    qint64 added = 0;
    int error = 0;
    for (const Entry *e : std::as_const(declared)) {
        const QByteArray block = writtenBlock(folder_, e->path, e->written);
        if (!error)
            error = diskio::WriteAll(file.get(), block);
        added += block.size();
    }
    if (!error)
        error = diskio::SyncFile(file.get());
    if (!error)
        error = file.close();
    if (error) {
        file.close();
        // What did get out is no whole record: a recovery would ignore it,
        // but the appends' own records go after the end line, not after it.
        diskio::CutFile(path_, size_, kWriteTo);
        return false;
    }
    size_ += added;
    return true;
}

IoError Journal::record(QByteArrayView lines) {
    if (IoError err = diskio::AppendBytes(path_, lines, diskio::AppendTo::KnownFile, size_);
        err.failed())
        return err;
    size_ += lines.size();
    return IoError();
}

IoError Journal::append(const QString &path, QByteArrayView bytes) {
    Q_ASSERT(state_ == State::Begun);
    Entry *e = entryFor(path, {Entry::Append, Entry::Create});
    if (!e || state_ != State::Begun)
        return IoError::failure(path, kWriteTo, QStringLiteral("It is not part of this change"));
    // A file to be made must be made by this append (one made by someone
    // else is not this change's to undo), one appended to must still be as
    // long as it was when the change was declared.
    // The bytes that go out are recorded in the journal first, so that a
    // recovery can tell them from what someone else may add after them.
    const auto recordWritten = [this, e](QByteArrayView written) {
        if (e->recorded && e->written == written)
            return IoError(); // recorded by begin()
        IoError err = record(writtenBlock(folder_, e->path, written));
        if (err.failed()) {
            // Told as the write to the file it was for: that is what did not
            // happen, for the reason the journal gives.
            err.file = e->path;
            return err;
        }
        e->writtenCount = written.size();
        e->recorded = true;
        return err;
    };
    bool made = false;
    const IoError err = e->kind == Entry::Create
                            ? diskio::AppendBytes(e->path, bytes, diskio::AppendTo::NewFile, 0,
                                                  &made, recordWritten)
                            : diskio::AppendBytes(e->path, bytes, diskio::AppendTo::KnownFile,
                                                  e->length, nullptr, recordWritten);
    if (e->kind == Entry::Append || made)
        e->taken = true;
    return err;
}

IoError Journal::makeFolder(const QString &path) {
    Q_ASSERT(state_ == State::Begun);
    Entry *e = entryFor(path, {Entry::MakeFolder});
    if (!e || state_ != State::Begun)
        return IoError::failure(path, kCreate, QStringLiteral("It is not part of this change"));
    if (const int error = diskio::MakeOwnerFolder(e->path))
        return Failed(e->path, kCreate, error);
    e->taken = true;
    return IoError();
}

IoError Journal::writeNewVersion(const QString &path, const LineEdit &edit, qsizetype *edited,
                                 const std::function<void(qint64 bytesRead)> &progress) {
    Q_ASSERT(state_ == State::Begun);
    *edited = 0;
    Entry *e = entryFor(path, {Entry::Replace});
    if (!e || state_ != State::Begun)
        return IoError::failure(path, kWriteTo, QStringLiteral("It is not part of this change"));
    IoError err;
    FileDescriptor source(diskio::OpenDataFile(e->path, O_RDONLY, kRead, &err));
    if (!source.valid())
        return err;
    // The new version keeps the file's permissions, under the name the
    // journal gives it; a failure removes it at once.
    diskio::Replacement replacement;
    if (err = replacement.start(e->path, e->other); err.failed())
        return err;
    e->taken = true;

    constexpr qint64 kTellEvery = 1024 * 1024;
    int writeError = 0;
    qint64 read = 0;
    qint64 told = 0;
    // The version read, as the journal records it for the recovery's check.
    Crc32c oldSum;
    const int readError = diskio::ReadLines(
        source.get(),
        [&](QByteArrayView text, QByteArrayView lineEnd) {
            read += text.size() + lineEnd.size();
            oldSum.add(text);
            oldSum.add(lineEnd);
            QByteArrayView line = text;
            bool keep = true;
            if (edit(line, &keep))
                ++*edited;
            if (keep) {
                writeError = replacement.write(line);
                if (!writeError)
                    writeError = replacement.write(lineEnd);
            }
            if (progress && read - told >= kTellEvery) {
                told = read;
                progress(read);
            }
            return writeError == 0;
        },
        [] {});
    if (readError)
        return Failed(e->path, kRead, readError);
    if (writeError)
        return replacement.fail(writeError);
    if (*edited > 0) {
        if (err = replacement.keep(); err.failed())
            return err;
        e->oldLength = read;
        e->oldSum = oldSum.hex();
        if (err = record("replacing " + pathWord(folder_, e->path) + ' ' +
                         QByteArray::number(e->oldLength) + ' ' + e->oldSum + '\n');
            err.failed())
            return err;
    }
    if (progress && read != told)
        progress(read);
    if (*edited == 0) {
        // Nothing to change: the file stays as it is.
        if (err = replacement.discard(); err.failed())
            return err;
        e->taken = false;
    }
    return IoError();
}

IoError Journal::commit(bool *committed) {
    Q_ASSERT(state_ == State::Begun);
    *committed = false;
    // Every entry made in a folder must be on disk before the change counts:
    // the files and folders made, and the new versions written.
    QStringList madeIn;
    bool decides = false; // the change has steps that follow its commit line
    for (const Entry &e : std::as_const(entries_)) {
        if (e.kind == Entry::RemoveFolder || (e.kind == Entry::Replace && e.taken))
            decides = true;
        const QString folder = folderOf(e.kind == Entry::Replace ? e.other : e.path);
        if (e.taken && e.kind != Entry::Append && !madeIn.contains(folder))
            madeIn.append(folder);
    }
    // A folder that goes is moved aside now, so that its name is free the
    // moment the change is decided; until then, undoing moves it back.
    for (Entry &e : entries_) {
        if (e.kind != Entry::RemoveFolder || !entryExists(e.path))
            continue;
        e.taken = true;
        if (const int error = diskio::Rename(e.path, e.other))
            return abandon(Failed(e.path, kDelete, error));
        if (!madeIn.contains(folderOf(e.path)))
            madeIn.append(folderOf(e.path));
    }
    for (const QString &folder : std::as_const(madeIn)) {
        if (const int error = diskio::SyncFolder(folder))
            return abandon(Failed(folder, kWriteTo, error));
    }

    if (decides) {
        // Appended as every line is: should the write or its flush fail, the
        // commit line, which may be on disk whole or in part, is cut off
        // again before anything is undone, so that nobody finishes a change
        // whose new versions are gone.
        if (IoError err = record("commit " + sum_ + '\n'); err.failed())
            return abandon(err);
        *committed = true;
        state_ = State::Closed;
        IoError result = finish(entries_);
        if (!result.failed())
            result.take(removeJournal(path_));
        if (result.failed())
            result.reason += QStringLiteral(". The change will be finished the next time Wayfile "
                                            "starts");
        return result;
    }

    // Only appends: the journal's removal is the commit.
    if (const int error = diskio::Remove(path_))
        return abandon(Failed(path_, kDelete, error));
    *committed = true;
    state_ = State::Closed;
    if (const int error = diskio::SyncFolder(folder_))
        return NotSyncedWarning(path_, NotSynced::Kind::Removed, folder_, error);
    return IoError();
}

IoError Journal::abandon(const IoError &failure) {
    if (state_ != State::Begun)
        return failure;
    state_ = State::Closed;
    IoError result = failure;
    IoError undone = undo(entries_, true);
    if (!undone.failed())
        undone.take(removeJournal(path_));
    result.note(undone);
    if (undone.failed() && result.failed())
        result.reason += QStringLiteral(". What was written could not be taken back at once "
                                        "(\"%1\": %2); Wayfile will take it back the next time it "
                                        "starts")
                             .arg(undone.file, undone.reason);
    return result;
}

IoError RecoverJournal(const QString &folder) {
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    const QString path = journalIn(absolute);
    int error = 0;
    if (!entryExists(path, &error))
        return error ? Failed(path, kRead, error) : IoError();
    QByteArray bytes;
    if (IoError err = ReadWholeFile(path, kMaxJournalSize, &bytes); err.failed())
        return err;
    const ReadJournal read = parseJournal(absolute, bytes);
    if (!read.damage.isEmpty())
        return IoError::failure(path, kFinish, read.damage);
    // A journal that is not whole was cut short while it was written: no
    // step of its change had started.
    if (read.whole && read.checked) {
        // Every file is looked at before any is touched: one that was
        // changed since keeps the whole change as it is.
        for (const Journal::Entry &e : read.entries) {
            bool allowed = true;
            if (IoError err = mayTouch(e, read.committed, &allowed); err.failed())
                return err;
            if (!allowed) {
                IoError kept = IoError::failure(e.path, read.committed ? kFinishOn : kTakeBack,
                                                kChangedSinceReason);
                const IoError setAside = setNewVersionsAside(read.entries);
                kept.note(setAside);
                return setAside.failed() ? setAside : kept;
            }
        }
    }
    if (read.whole) {
        IoError steps = read.committed ? finish(read.entries) : undo(read.entries, false);
        if (steps.failed())
            return steps;
        steps.take(removeJournal(path));
        return steps;
    }
    return removeJournal(path);
}

IoError UnfinishedChangeIn(const QString &folder, bool again) {
    for (const QString &each :
         {QFileInfo(folder).absoluteFilePath(), QFileInfo(ProgramFolder()).absoluteFilePath()}) {
        const QString journal = journalIn(each);
        int error = 0;
        if (entryExists(journal, &error))
            return unfinished(journal, again);
        if (error)
            return Failed(journal, kRead, error);
    }
    return IoError();
}

QString JournalPath(const QString &folder) {
    return journalIn(QFileInfo(folder).absoluteFilePath());
}

RecordedChange ChangeRecordedIn(const QString &folder) {
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    QByteArray bytes;
    if (ReadWholeFile(journalIn(absolute), kMaxJournalSize, &bytes).failed())
        return RecordedChange::Unknown;
    const ReadJournal read = parseJournal(absolute, bytes);
    if (!read.whole || read.entries.isEmpty())
        return RecordedChange::Unknown;
    bool replaces = false;
    bool removes = false;
    bool adds = false;
    for (const Journal::Entry &e : read.entries) {
        replaces = replaces || e.kind == Journal::Entry::Replace;
        removes = removes || e.kind == Journal::Entry::RemoveFolder;
        adds = adds || e.kind == Journal::Entry::Append || e.kind == Journal::Entry::Create ||
               e.kind == Journal::Entry::MakeFolder;
    }
    if (absolute == QFileInfo(ProgramFolder()).absoluteFilePath()) {
        if (adds)
            return RecordedChange::Unknown;
        return removes ? RecordedChange::AccountDeletion : RecordedChange::PasswordChange;
    }
    return replaces || removes ? RecordedChange::Unknown : RecordedChange::Import;
}

IoError RecoverJournals(QString *failedIn) {
    const QString program = ProgramFolder();
    IoError result;
    const auto recover = [&result, failedIn](const QString &folder) {
        const IoError err = RecoverJournal(folder);
        if (err.failed() && !result.failed() && failedIn)
            *failedIn = folder;
        result.keepFirst(err);
    };
    recover(program);
    QStringList names;
    const IoError listed = ListFolder(program, &names);
    result.keepFirst(listed);
    for (const QString &name : std::as_const(names)) {
        // A user folder: "USR" and a number, in any letter case.
        if (!name.startsWith(QLatin1String("USR"), Qt::CaseInsensitive) || name.size() < 4)
            continue;
        bool digits = true;
        for (const QChar c : QStringView(name).mid(3))
            digits = digits && c >= u'0' && c <= u'9';
        const QString folder = JoinPath(program, name);
        if (digits && isFolder(folder))
            recover(folder);
    }
    return result;
}

} // namespace modMain

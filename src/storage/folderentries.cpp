#include "storage/folderentries.h"

#include "storage/datafile.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modMain {

namespace {

// A name without regard to letter case: every character folded the way
// QString::compare(..., Qt::CaseInsensitive) folds it, so two names share a
// key exactly when that comparison finds them equal.
QString caseKey(const QString &name) {
    QList<uint> codes = name.toUcs4();
    for (uint &code : codes)
        code = QChar::toCaseFolded(char32_t(code));
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codes.constData()), codes.size());
}

// The entries of a folder by their names without case; each list in name
// order.
using NameIndex = QHash<QString, QStringList>;

void addName(NameIndex &index, const QString &name) {
    QStringList &names = index[caseKey(name)];
    const auto at = std::lower_bound(names.begin(), names.end(), name);
    if (at == names.end() || *at != name)
        names.insert(at, name);
}

void removeName(NameIndex &index, const QString &name) {
    const auto found = index.find(caseKey(name));
    if (found == index.end())
        return;
    found->removeOne(name);
    if (found->isEmpty())
        index.erase(found);
}

// Every entry of `folder` but "." and "..", by name without case. False when
// the folder cannot be read.
bool listFolder(const QByteArray &folder, NameIndex *index) {
    index->clear();
    QStringList names;
    if (ListFolder(QFile::decodeName(folder), &names).failed())
        return false;
    for (const QString &name : std::as_const(names))
        addName(*index, name);
    return true;
}

// What tells one state of a folder from another without listing it.
struct FolderStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    timespec changed{};

    static FolderStamp of(const struct stat &st) {
        return FolderStamp{st.st_dev, st.st_ino, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FolderStamp &other) const {
        return device == other.device && inode == other.inode &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// One watched folder's names, as the notices have kept them.
struct WatchedFolder {
    NameIndex names;
    FolderStamp stamp;
    // Notices were applied since `stamp` was taken: the folder's stamps have
    // moved on with them, and are taken again at the next lookup.
    bool noticedSinceStamp = false;
};

// The kept folders of this process, one per watched folder (the system
// gives one watch per folder, however its path is spelled).
class FolderCache {
public:
    QStringList entriesNamed(const QString &folder, const QString &name) {
        const std::lock_guard lock(mutex_);
        const QByteArray path = QFile::encodeName(folder);
        WatchedFolder *watched = watch(path);
        NameIndex listed;
        const NameIndex *names = &listed;
        if (watched) {
            names = &watched->names;
        } else if (!listFolder(path, &listed)) {
            return {};
        }
        QStringList found;
        for (const QString &entry : names->value(caseKey(name))) {
            if (entry.compare(name, Qt::CaseInsensitive) == 0)
                found << entry;
        }
        return found;
    }

private:
    // The kept names of `path`, brought up to date; nullptr when the folder
    // cannot be watched (the caller lists it itself).
    WatchedFolder *watch(const QByteArray &path) {
        if (!startNotices())
            return nullptr;
        applyNotices();
        const uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        const int wd = ::inotify_add_watch(notices_, path.constData(), events);
        if (wd < 0)
            return nullptr;
        struct stat st;
        if (::stat(path.constData(), &st) != 0) {
            forget(wd);
            return nullptr;
        }
        const FolderStamp stamp = FolderStamp::of(st);
        auto found = folders_.find(wd);
        if (found != folders_.end()) {
            WatchedFolder &folder = found->second;
            if (folder.noticedSinceStamp) {
                folder.stamp = stamp;
                folder.noticedSinceStamp = false;
                return &folder;
            }
            if (folder.stamp == stamp)
                return &folder;
            // Changed without a notice: listed again below.
        }
        // Listed after the watch was set and the stamps taken: whatever
        // changes from now on comes as a notice, and a notice of a change the
        // listing already shows changes nothing.
        WatchedFolder &folder = folders_[wd];
        folder.stamp = stamp;
        folder.noticedSinceStamp = false;
        if (!listFolder(path, &folder.names)) {
            forget(wd);
            return nullptr;
        }
        return &folder;
    }

    // Opens this process's notice channel; false when there is none. A child
    // made by fork() shares its parent's channel, so it opens one of its own
    // and never reads the parent's notices.
    bool startNotices() {
        const pid_t pid = ::getpid();
        if (pid != owner_) {
            if (notices_ >= 0)
                ::close(notices_);
            folders_.clear();
            owner_ = pid;
            notices_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        }
        return notices_ >= 0;
    }

    // Applies every notice that came in since the last lookup.
    void applyNotices() {
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t got = ::read(notices_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return; // EAGAIN: nothing more has come
            for (ssize_t at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                apply(*event);
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    void apply(const inotify_event &event) {
        if (event.mask & IN_Q_OVERFLOW) {
            // Notices were lost: no kept folder can be trusted any more.
            for (auto &[wd, folder] : folders_)
                ::inotify_rm_watch(notices_, wd);
            folders_.clear();
            return;
        }
        const auto found = folders_.find(event.wd);
        if (found == folders_.end())
            return;
        if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
            // The folder is gone, or has moved away from the path it was
            // looked up by.
            forget(event.wd);
            return;
        }
        if (event.len == 0)
            return;
        WatchedFolder &folder = found->second;
        const QString name = QFile::decodeName(event.name);
        if (event.mask & (IN_CREATE | IN_MOVED_TO))
            addName(folder.names, name);
        else if (event.mask & (IN_DELETE | IN_MOVED_FROM))
            removeName(folder.names, name);
        folder.noticedSinceStamp = true;
    }

    // Drops a folder and its watch (a watch the system has ended already
    // is simply not there any more).
    void forget(int wd) {
        folders_.erase(wd);
        ::inotify_rm_watch(notices_, wd);
    }

    std::mutex mutex_;
    pid_t owner_ = 0;  // the process that opened `notices_`
    int notices_ = -1; // the inotify descriptor
    std::unordered_map<int, WatchedFolder> folders_;
};

FolderCache &folderCache() {
    static FolderCache cache;
    return cache;
}

} // namespace

QStringList FolderEntriesNamed(const QString &folder, const QString &name) {
    return folderCache().entriesNamed(folder, name);
}

EntryKind KindOfEntry(const QString &path, Links links) {
    const QByteArray encoded = QFile::encodeName(path);
    struct stat st;
    const int looked = links == Links::Followed ? ::stat(encoded.constData(), &st)
                                                : ::lstat(encoded.constData(), &st);
    if (looked != 0)
        return errno == ENOENT ? EntryKind::Absent : EntryKind::Unseen;
    switch (st.st_mode & S_IFMT) {
    case S_IFREG:
        return EntryKind::File;
    case S_IFDIR:
        return EntryKind::Folder;
    default:
        return EntryKind::Other;
    }
}

qint64 SizeOfEntry(const QString &path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

} // namespace modMain

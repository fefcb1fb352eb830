#include "categories/recovery.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace modMain {

namespace {

// What the program was doing when a step failed, and what to do about it.
const QString kCuttingAtSignIn =
    QStringLiteral("Wayfile was checking the end of a file for a record that a crash or a power "
                   "failure left unfinished");
const QString kFinishingDelete =
    QStringLiteral("Wayfile was finishing the deletion of a Category that was cut short");
const QString kPuttingBackIndex =
    QStringLiteral("Wayfile was putting back the file of your Categories after a change that was "
                   "cut short");
const QString kPuttingBackUrls =
    QStringLiteral("Wayfile was putting back the file of a Category's URLs after a change that was "
                   "cut short");
const QString kTornKeptAtSignIn =
    QStringLiteral("The file is kept as it was. Wayfile tries again at your next sign-in.");

// The same jobs at start-up, in the program folder.
const QString kCuttingAccount =
    QStringLiteral("Wayfile was checking the end of the account file for a record that a crash "
                   "or a power failure left unfinished");
const QString kRemovingRegistrationFolder =
    QStringLiteral("Wayfile was removing the empty folder of a registration that a crash or a "
                   "power failure cut short");

// A change of several files (an import, a password change, an account
// deletion) that a crash or a power failure cut short: its journal says what
// to finish or undo, and stays until that is done.
const QString kFinishingTransaction =
    QStringLiteral("Wayfile was finishing or undoing a change of several files (an import, a "
                   "password change or the deletion of an ID) that was cut short");

const QString kTempLeftoverName = QStringLiteral("TMP.DAT");

// Where a job runs, as its texts name it: at start-up in the program's
// folder, or at sign-in in the user's.
struct Occasion {
    QLatin1StringView folder; // the folder looked in
    QLatin1StringView next;   // when the job is tried again
};
constexpr Occasion kAtStart{QLatin1StringView("its folder"), QLatin1StringView("its next start")};
constexpr Occasion kAtSignIn{QLatin1StringView("your folder"),
                             QLatin1StringView("your next sign-in")};

// The jobs that run on both occasions, and what to do when they fail.
QString looking(const Occasion &o) {
    return QStringLiteral("Wayfile was looking in %1 for changes that were cut short")
        .arg(o.folder);
}
QString clearing(const Occasion &o) {
    return QStringLiteral("Wayfile was clearing away what an interrupted change left in %1")
        .arg(o.folder);
}
QString nothingChanged(const Occasion &o) {
    return QStringLiteral("Nothing was changed. Wayfile tries again at %1.").arg(o.next);
}
QString unfinishedCopy(const Occasion &o) {
    return QStringLiteral("Your data are all kept: the file left behind is an unfinished copy "
                          "that Wayfile never reads. Wayfile tries again at %1; you may also "
                          "delete that file yourself.")
        .arg(o.next);
}
// The journal stays in the program's folder on both occasions.
QString journalKept(const Occasion &o) {
    return QStringLiteral("Nothing is lost: the record of that change is kept, and Wayfile tries "
                          "again at %1. Please check that the disk has room and that Wayfile may "
                          "write to its folder.")
        .arg(o.next);
}

// What a failure of clearing away rewrite leftovers in `folder` says: a
// folder that cannot be read changed nothing; a leftover that cannot go is
// an unfinished copy.
IoError clearingLeftovers(IoError err, const QString &folder, const Occasion &o) {
    if (!err.failed())
        return err;
    if (err.file == folder)
        return err.during(looking(o), nothingChanged(o));
    return err.during(clearing(o), unfinishedCopy(o));
}

// The category numbers of the index, whatever the owner of each record; a
// line without separator is no record and names none. An absent index is
// made empty, as loading the categories would make it.
IoError indexedCategories(const QString &folder, QSet<qint64> *numbers) {
    const QString path = JoinPath(folder, kCategoryIndexName);
    IoError err;
    bool hasData = false;
    if (!err.take(FileHasData(path, &hasData)) || !hasData)
        return err;
    err.take(ForEachLine(path, [numbers](const QString &line) {
        const QStringList fields = SplitRecord(line);
        if (fields.size() >= 2)
            numbers->insert(CategoryNumber(fields));
        return true;
    }));
    return err;
}

// The lines of a URL file made after its category's file was set aside, to
// follow the lines set aside (`older`): every record whose number is taken
// already, in `older` or by a line before it, gets a number no line of
// either file has: the next one after the highest, or, when that would pass
// the highest number a URL can have, the lowest one free. Lines that are no
// complete record, and records whose number is free, stay as they are.
QStringList renumbered(const QStringList &older, QStringList newer) {
    QSet<qint64> taken;
    QSet<qint64> inUse; // every number of either file, and those given here
    qint64 highest = 0;
    for (const QString &line : older) {
        const qint64 n = UrlNoOfLine(line);
        taken.insert(n);
        inUse.insert(n);
        highest = std::max(highest, n);
    }
    for (const QString &line : std::as_const(newer)) {
        const qint64 n = UrlNoOfLine(line);
        inUse.insert(n);
        highest = std::max(highest, n);
    }
    qint64 lowestFree = 1;
    for (QString &line : newer) {
        const UrlRecord record = DecodeUrlLine(line);
        if (!record.fields || record.number < 1) {
            taken.insert(UrlNoOfLine(line));
            continue;
        }
        qint64 number = record.number;
        if (taken.contains(number)) {
            qint64 next = NextNumber(highest);
            if (!IsStorableNumber(next)) {
                while (lowestFree <= kMaxRecordNo && inUse.contains(lowestFree))
                    ++lowestFree;
                next = lowestFree;
            }
            if (IsStorableNumber(next)) {
                QStringList fields = SplitRecord(line);
                fields[0] = EncodeField(UrlKey(next));
                line = JoinRecord(fields);
                number = next;
                highest = std::max(highest, next);
                inUse.insert(next);
            }
        }
        taken.insert(number);
    }
    return newer;
}

// Puts the lines of `aside` in front of those of `current`, the URL file of
// the same category made since, and removes `aside`. When `current` already
// begins with every line of `aside`, this merge was made before and cut short
// by a crash: only the removal is left to do.
IoError mergeBack(const QString &aside, const QString &current) {
    const QString apart =
        QStringLiteral("The Category is still there. The URLs it had are kept in \"%1\", and those "
                       "added since in \"%2\"; Wayfile tries again to bring them together at your "
                       "next sign-in.")
            .arg(aside, current);
    IoError err;
    QStringList older;
    QStringList newer;
    if (!err.take(ReadLines(aside, &older)) || !err.take(ReadLines(current, &newer)))
        return err.during(kFinishingDelete, apart);
    const bool merged =
        newer.size() >= older.size() && std::equal(older.begin(), older.end(), newer.begin());
    if (!merged && !err.take(RewriteFile(current, older + renumbered(older, newer))))
        return err.during(kFinishingDelete, apart);
    err.take(RemoveFile(aside));
    return err.during(kFinishingDelete,
                      QStringLiteral("All the URLs of the Category are back in \"%1\"; the copy in "
                                     "\"%2\" is no longer needed. Wayfile tries again to remove it "
                                     "at your next sign-in, or you may delete it yourself.")
                          .arg(current, aside));
}

// The kind of a folder entry as lstat sees it; 0 when it cannot be seen.
mode_t entryKind(const QString &path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

// Renames an entry named as a set-aside URL file that is no file (a folder
// the program never makes) out of the way, to "<name>.kept" (or
// "<name>.kept2", ...), and tells the user once, in `notices`.
IoError moveOutOfTheWay(const QString &folder, const QString &name, mode_t kind,
                        QStringList *notices) {
    const QString path = JoinPath(folder, name);
    QString target;
    for (int n = 1; n <= 99 && target.isEmpty(); ++n) {
        const QString candidate = JoinPath(folder, name + QStringLiteral(".kept") +
                                                       (n > 1 ? QString::number(n) : QString()));
        if (entryKind(candidate) == 0 && errno == ENOENT)
            target = candidate;
    }
    const QString advice = QStringLiteral("That entry is no file: Wayfile never makes one of that "
                                          "name. Please move it out of your folder yourself; "
                                          "until then Wayfile tries again at every sign-in.");
    if (target.isEmpty()) {
        IoError err = IoError::failure(path, QStringLiteral("move away"),
                                       QStringLiteral("Every name it could take is in use"));
        return err.during(kFinishingDelete, advice);
    }
    IoError err = MoveAside(path, target);
    if (err.failed())
        return err.during(kFinishingDelete, advice);
    if (notices)
        notices->append(
            QStringLiteral("Wayfile found %1, \"%2\", under the name it gives the URLs of a "
                           "Category while it deletes that Category, and renamed it to \"%3\" to "
                           "keep it out of the way. Wayfile never makes such an entry: look at "
                           "it, keep what you need and delete the rest.")
                .arg(kind == S_IFDIR ? QStringLiteral("a folder")
                                     : QStringLiteral("an entry that is no file"),
                     path, target));
    return err;
}

// The peer leftovers that were told already in this run: each is told once.
QSet<QString> &toldLeftovers() {
    static QSet<QString> told;
    return told;
}

// Tells, once, that a leftover of another program was found and left.
void tellLeftLeftover(const QString &path, const QString &why, QStringList *notices) {
    if (!notices || toldLeftovers().contains(path))
        return;
    toldLeftovers().insert(path);
    notices->append(QStringLiteral("Wayfile found \"%1\", left in your folder by a change that was "
                                   "cut short, but cannot tell where it belongs: %2. It is left as "
                                   "it is. If some of your Categories or URLs are missing, close "
                                   "Wayfile and restore your folder from a backup; if nothing is "
                                   "missing, you may delete that file.")
                        .arg(path, why));
}

// Whether a file holds any data; false when it is absent or cannot be seen.
bool holdsData(const QString &path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && st.st_size > 0;
}

// What a leftover rewrite file of another program holds.
enum class LeftoverKind { Empty, Index, Urls, Unknown };

IoError leftoverKind(const QString &path, LeftoverKind *kind) {
    bool categories = true;
    bool urls = true;
    bool any = false;
    const IoError err = ForEachLine(path, [&](const QString &line) {
        const QByteArray bytes = line.toLatin1();
        any = true;
        categories = categories && IsWholeCategoryLine(bytes);
        urls = urls && IsWholeUrlLine(bytes);
        return categories || urls;
    });
    *kind = !any         ? LeftoverKind::Empty
            : categories ? LeftoverKind::Index
            : urls       ? LeftoverKind::Urls
                         : LeftoverKind::Unknown;
    return err;
}

// Puts the rewrite files that another program left (see RecoverUserFolder)
// where they belong, or clears them away. The category index's come first,
// so that the URL files' find the index they belong to.
IoError recoverPeerLeftovers(const QString &folder, const QStringList &names,
                             QStringList *notices) {
    IoError result;
    struct Leftover {
        QString path;
        LeftoverKind kind;
    };
    QList<Leftover> leftovers;
    for (const QString &name : names) {
        if (name.compare(kTempLeftoverName, Qt::CaseInsensitive) != 0)
            continue;
        const QString path = folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
        if (entryKind(path) != S_IFREG) {
            tellLeftLeftover(path, QStringLiteral("it is no file"), notices);
            continue;
        }
        LeftoverKind kind = LeftoverKind::Unknown;
        if (IoError err = leftoverKind(path, &kind); err.failed()) {
            result.keepFirst(err.during(looking(kAtSignIn), nothingChanged(kAtSignIn)));
            continue;
        }
        leftovers.append({path, kind});
    }
    std::stable_sort(leftovers.begin(), leftovers.end(), [](const Leftover &a, const Leftover &b) {
        return a.kind == LeftoverKind::Index && b.kind != LeftoverKind::Index;
    });

    for (const Leftover &leftover : std::as_const(leftovers)) {
        const QString &path = leftover.path;
        switch (leftover.kind) {
        case LeftoverKind::Empty:
            result.keepFirst(
                RemoveFile(path).during(clearing(kAtSignIn), unfinishedCopy(kAtSignIn)));
            break;
        case LeftoverKind::Index: {
            const QString index = JoinPath(folder, kCategoryIndexName);
            if (holdsData(index)) {
                result.keepFirst(
                    RemoveFile(path).during(clearing(kAtSignIn), unfinishedCopy(kAtSignIn)));
                break;
            }
            result.keepFirst(
                MoveIntoPlace(path, index)
                    .during(kPuttingBackIndex,
                            QStringLiteral(
                                "Your Categories are kept in \"%1\". Wayfile tries again at your "
                                "next sign-in; if this goes on, close Wayfile and rename that file "
                                "to \"%2\".")
                                .arg(path, index)));
            break;
        }
        case LeftoverKind::Urls: {
            QSet<qint64> indexed;
            if (IoError err = indexedCategories(folder, &indexed); err.failed()) {
                result.keepFirst(err.during(kPuttingBackUrls, nothingChanged(kAtSignIn)));
                break;
            }
            QList<qint64> numbers(indexed.begin(), indexed.end());
            std::sort(numbers.begin(), numbers.end());
            QStringList without; // the URL files of listed categories that hold nothing
            for (const qint64 number : std::as_const(numbers)) {
                if (!IsStorableNumber(number))
                    continue;
                const QString file = JoinPath(folder, UrlFileName(int(number)));
                if (!holdsData(file))
                    without.append(file);
            }
            if (without.size() == 1) {
                result.keepFirst(
                    MoveIntoPlace(path, without.first())
                        .during(kPuttingBackUrls,
                                QStringLiteral("Those URLs are kept in \"%1\". Wayfile "
                                               "tries again at your next sign-in; if "
                                               "this goes on, close Wayfile and "
                                               "rename that file to \"%2\".")
                                    .arg(path, without.first())));
            } else if (without.isEmpty() && !numbers.isEmpty()) {
                // Every file it could have become holds data: it never
                // took the place of any.
                result.keepFirst(
                    RemoveFile(path).during(clearing(kAtSignIn), unfinishedCopy(kAtSignIn)));
            } else {
                tellLeftLeftover(path,
                                 without.isEmpty()
                                     ? QStringLiteral("it holds URLs, and you have no Category")
                                     : QStringLiteral("it holds URLs, and more than one of your "
                                                      "Categories has none"),
                                 notices);
            }
            break;
        }
        case LeftoverKind::Unknown:
            tellLeftLeftover(path,
                             QStringLiteral("its lines are neither all Category records nor all "
                                            "URL records"),
                             notices);
            break;
        }
    }
    return result;
}

// Cuts off the unfinished last record of every data file of a user folder:
// the category index, the URL files (those set aside included) and rewrite
// files another program left.
IoError cutTornLines(const QString &folder, const QStringList &names) {
    IoError result;
    for (const QString &name : names) {
        std::function<bool(QByteArrayView)> whole;
        if (IsCategoryIndexName(name))
            whole = IsWholeCategoryLine;
        else if (UrlFileCategory(name) >= 0 || SetAsideUrlFileCategory(name) >= 0)
            whole = IsWholeUrlLine;
        else if (name.compare(kTempLeftoverName, Qt::CaseInsensitive) == 0)
            whole = [](QByteArrayView line) {
                return IsWholeCategoryLine(line) || IsWholeUrlLine(line);
            };
        else
            continue;
        const QString path = folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
        bool cut = false;
        result.keepFirst(
            CutTornLastLine(path, whole, &cut).during(kCuttingAtSignIn, kTornKeptAtSignIn));
    }
    return result;
}

} // namespace

IoError RecoverProgramFolder() {
    const QString folder = ProgramFolder();
    IoError result;
    // A change of several files cut short is finished or undone first, so
    // that the steps below see whole files.
    IoError journals = RecoverJournals();
    result.keepFirst(journals.during(kFinishingTransaction, journalKept(kAtStart)));
    result.keepFirst(clearingLeftovers(RemoveRewriteLeftovers(folder), folder, kAtStart));

    bool cut = false;
    IoError err = CutTornLastLine(AccountFilePath(), IsWholeAccountLine, &cut);
    result.keepFirst(err.during(kCuttingAccount,
                                QStringLiteral("The file is kept as it was. If such a record is "
                                               "there, the user name it was registering cannot be "
                                               "registered again until it goes; Wayfile tries "
                                               "again at its next start.")));
    if (!cut)
        return result;
    // The registration made its folder first, for the number after the
    // highest of the file: gone while it is empty, as if the registration had
    // failed.
    int next = 0;
    if (IoError read = NextAccountNumber(&next); read.failed()) {
        result.keepFirst(read.during(kRemovingRegistrationFolder,
                                     QStringLiteral("The account file is mended; the folder stays "
                                                    "and serves the next user who registers.")));
        return result;
    }
    if (!IsStorableNumber(next))
        return result;
    const QString userFolder = UserFolderPath(next);
    QStringList inside;
    if (entryKind(userFolder) != S_IFDIR || ListFolder(userFolder, &inside).failed() ||
        !inside.isEmpty())
        return result; // not there, or in use: it stays
    result.keepFirst(RemoveFolder(userFolder)
                         .during(kRemovingRegistrationFolder,
                                 QStringLiteral("The account file is mended; the folder stays "
                                                "and serves the next user who registers.")));
    return result;
}

IoError RecoverUserFolder(int userNo, QStringList *notices) {
    const QString folder = UserFolderPath(userNo);
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 && errno == ENOENT)
        return IoError();

    // An import cut short is undone first; nothing else is touched while
    // that cannot be done.
    if (IoError err = RecoverJournal(folder); err.failed())
        return err.during(kFinishingTransaction, journalKept(kAtSignIn));

    // Every step is taken that can be; the first failure is the one told.
    IoError result;

    result.keepFirst(clearingLeftovers(RemoveRewriteLeftovers(folder), folder, kAtSignIn));

    QStringList names;
    if (IoError err = ListFolder(folder, &names); err.failed()) {
        result.keepFirst(err.during(looking(kAtSignIn), nothingChanged(kAtSignIn)));
        return result;
    }
    result.keepFirst(cutTornLines(folder, names));
    const bool peerLeftovers = std::any_of(names.begin(), names.end(), [](const QString &name) {
        return name.compare(kTempLeftoverName, Qt::CaseInsensitive) == 0;
    });
    if (peerLeftovers) {
        result.keepFirst(recoverPeerLeftovers(folder, names, notices));
        // They may have become files of their own names.
        if (IoError err = ListFolder(folder, &names); err.failed()) {
            result.keepFirst(err.during(looking(kAtSignIn), nothingChanged(kAtSignIn)));
            return result;
        }
    }

    bool indexRead = false;
    QSet<qint64> indexed;
    for (const QString &name : std::as_const(names)) {
        QString original;
        const qint64 number = SetAsideUrlFileCategory(name, &original);
        if (number < 0)
            continue;
        const QString aside = JoinPath(folder, name);
        if (const mode_t kind = entryKind(aside); kind != S_IFREG) {
            if (kind != 0)
                result.keepFirst(moveOutOfTheWay(folder, name, kind, notices));
            continue;
        }
        if (!indexRead) {
            // Nothing is put back or removed on an index that cannot be read.
            IoError err = indexedCategories(folder, &indexed);
            result.keepFirst(err.during(
                kFinishingDelete, QStringLiteral("Nothing was changed, and the URLs of that "
                                                 "Category are kept in \"%1\". Wayfile tries again "
                                                 "at your next sign-in.")
                                      .arg(aside)));
            if (err.failed())
                return result;
            indexRead = true;
        }
        if (!indexed.contains(number)) {
            // The delete went through: its URLs go with it.
            result.keepFirst(RemoveFile(aside).during(
                kFinishingDelete,
                QStringLiteral("The Category is deleted. Its URLs are still kept in \"%1\", which "
                               "no Category reads; Wayfile tries again to remove that file at your "
                               "next sign-in, or you may delete it yourself.")
                    .arg(aside)));
            continue;
        }
        const QStringList current = EntriesNamed(folder, original);
        if (current.isEmpty()) {
            const QString back = JoinPath(folder, original);
            result.keepFirst(
                MoveBack(aside, back)
                    .during(kFinishingDelete,
                            QStringLiteral(
                                "The Category is still there, and its URLs are kept in \"%1\". "
                                "Wayfile tries again to put them back at your next sign-in; if "
                                "this goes on, close Wayfile and rename that file to \"%2\".")
                                .arg(aside, back)));
        } else {
            result.keepFirst(mergeBack(aside, current.first()));
        }
    }
    return result;
}

} // namespace modMain

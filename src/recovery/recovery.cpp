#include "recovery/recovery.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "storage/crashrepair.h"
#include "storage/datafile.h"
#include "storage/folderentries.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "urls/urlfile.h"

#include <algorithm>
#include <functional>

namespace modMain {

namespace {

// The name another program rewrites the index and the URL files through.
const QString kTempLeftoverName = QStringLiteral("TMP.DAT");

bool isTempLeftover(const QString &name) {
    return name.compare(kTempLeftoverName, Qt::CaseInsensitive) == 0;
}

// The entry `name` of `folder`, by the name it was listed under.
QString entryPath(const QString &folder, const QString &name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Lists `folder` once, into `names`: a folder that cannot be read changed
// nothing.
IoError listOnce(const QString &folder, const Occasion &o, QStringList *names) {
    return ListFolder(folder, names).during(LookingForCutShort(o), NothingChanged(o));
}

// Removes the temporary files that interrupted rewrites left among `names`:
// one that cannot go is an unfinished copy.
IoError clearRewriteLeftovers(const QString &folder, const QStringList &names, const Occasion &o) {
    return RemoveRewriteLeftovers(folder, names).during(ClearingAway(o), UnfinishedCopy(o));
}

// Cuts off the unfinished last record of every data file among `names`: the
// category index, the URL files (those set aside included) and the rewrite
// files another program left, which may hold either kind of record.
IoError cutTornLines(const QString &folder, const QStringList &names) {
    IoError result;
    for (const QString &name : names) {
        std::function<bool(QByteArrayView)> whole;
        if (IsCategoryIndexName(name))
            whole = IsWholeCategoryLine;
        else if (UrlFileCategory(name) >= 0 || SetAsideUrlFileCategory(name) >= 0)
            whole = IsWholeUrlLine;
        else if (isTempLeftover(name))
            whole = [](QByteArrayView line) {
                return IsWholeCategoryLine(line) || IsWholeUrlLine(line);
            };
        else
            continue;
        bool cut = false;
        result.keepFirst(CutTornLastLine(entryPath(folder, name), whole, &cut)
                             .during(QStringLiteral("Wayfile was checking the end of a file for a "
                                                    "record that a crash or a power failure left "
                                                    "unfinished"),
                                     QStringLiteral("The file is kept as it was. Wayfile tries "
                                                    "again at your next sign-in.")));
    }
    return result;
}

// What the sign-in's recovery tells: a leftover it found and left, told once
// per run when the caller remembers what was told.
struct Telling {
    QStringList *notices;
    ToldLeftovers *told;

    void leftoverLeft(const QString &path, const QString &why) const {
        if (!notices || (told && !told->firstTime(path)))
            return;
        notices->append(QStringLiteral("Wayfile found \"%1\", left in your folder by a change that "
                                       "was cut short, but cannot tell where it belongs: %2. It is "
                                       "left as it is. If some of your Categories or URLs are "
                                       "missing, close Wayfile and restore your folder from a "
                                       "backup; if nothing is missing, you may delete that file.")
                            .arg(path, why));
    }

    // A leftover that may be the only copy of what it holds, moved aside to
    // `keptAs` instead of being deleted: told once, under its new name.
    void leftoverKept(const QString &path, const QString &keptAs, const QString &what) const {
        if (!notices || keptAs.isEmpty() || (told && !told->firstTime(keptAs)))
            return;
        notices->append(QStringLiteral("Wayfile found \"%1\", left in your folder by a change that "
                                       "was cut short. It holds %2, and the files it could belong "
                                       "to hold data again, so it may be an unfinished copy or "
                                       "the only copy of some of them. Wayfile kept it as \"%3\". "
                                       "If some of your Categories or URLs are missing, close "
                                       "Wayfile and restore your folder from a backup, or keep "
                                       "that file for someone who can bring its records back; if "
                                       "nothing is missing, you may delete it.")
                            .arg(path, what, keptAs));
    }
};

// What a rewrite file another program left holds.
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

// Puts the rewrite files that another program left among `names` where
// their records say they belong, or clears them away. The category index's
// come first, so that the URL files' find the index they belong to.
IoError recoverPeerLeftovers(int userNo, const QString &folder, const QStringList &names,
                             const CategoryNumbers &categories, const Telling &tell) {
    IoError result;
    struct Leftover {
        QString path;
        LeftoverKind kind;
    };
    QList<Leftover> leftovers;
    for (const QString &name : names) {
        if (!isTempLeftover(name))
            continue;
        const QString path = entryPath(folder, name);
        if (KindOfEntry(path) != EntryKind::File) {
            tell.leftoverLeft(path, QStringLiteral("it is no file"));
            continue;
        }
        LeftoverKind kind = LeftoverKind::Unknown;
        if (IoError err = leftoverKind(path, &kind); err.failed()) {
            result.keepFirst(err.during(LookingForCutShort(kAtSignIn), NothingChanged(kAtSignIn)));
            continue;
        }
        leftovers.append({path, kind});
    }
    std::stable_sort(leftovers.begin(), leftovers.end(), [](const Leftover &a, const Leftover &b) {
        return a.kind == LeftoverKind::Index && b.kind != LeftoverKind::Index;
    });

    for (const auto &[path, kind] : std::as_const(leftovers)) {
        QString undecided;
        QString keptAs;
        switch (kind) {
        case LeftoverKind::Empty:
            result.keepFirst(RemoveUnfinishedCopy(path, kAtSignIn));
            break;
        case LeftoverKind::Index:
            result.keepFirst(PlaceIndexLeftover(userNo, path, &keptAs));
            tell.leftoverKept(path, keptAs, QStringLiteral("Categories"));
            break;
        case LeftoverKind::Urls:
            result.keepFirst(PlaceUrlLeftover(folder, path, categories, &undecided, &keptAs));
            tell.leftoverKept(path, keptAs, QStringLiteral("URLs"));
            break;
        case LeftoverKind::Unknown:
            undecided = QStringLiteral("its lines are neither all Category records nor all URL "
                                       "records");
            break;
        }
        if (!undecided.isEmpty())
            tell.leftoverLeft(path, undecided);
    }
    return result;
}

} // namespace

bool ToldLeftovers::firstTime(const QString &path) {
    if (paths_.contains(path))
        return false;
    paths_.insert(path);
    return true;
}

IoError RecoverProgramFolder() {
    const QString folder = ProgramFolder();
    IoError result;
    // A change of several files cut short is finished or undone first, so
    // that the steps below see whole files.
    QString failedIn; // the folder of the journal that could not be recovered
    IoError journals = RecoverJournals(&failedIn);
    result.keepFirst(
        journals.during(FinishingChange(failedIn), JournalKept(kAtStart, journals, failedIn)));
    QStringList names;
    result.keepFirst(listOnce(folder, kAtStart, &names));
    result.keepFirst(clearRewriteLeftovers(folder, names, kAtStart));
    result.keepFirst(RepairAccountFile());
    return result;
}

IoError RecoverUserFolder(int userNo, QStringList *notices, ToldLeftovers *told) {
    const QString folder = UserFolderPath(userNo);
    if (KindOfEntry(folder, Links::Followed) == EntryKind::Absent)
        return IoError();

    // An import cut short is undone first; nothing else is touched while
    // that cannot be done.
    if (IoError err = RecoverJournal(folder); err.failed())
        return err.during(FinishingChange(folder), JournalKept(kAtSignIn, err, folder));

    // The folder is listed once: each step below looks at the names that
    // concern it, and none makes or removes a name that a later one looks
    // for (a peer's leftover becomes the index or a URL file, names that only
    // the torn-line cut before it looks at).
    QStringList names;
    if (IoError err = listOnce(folder, kAtSignIn, &names); err.failed())
        return err;
    // Every step is taken that can be; the first failure is the one told.
    IoError result = clearRewriteLeftovers(folder, names, kAtSignIn);
    result.keepFirst(cutTornLines(folder, names));
    const CategoryNumbers categories = [userNo](QSet<qint64> *numbers) {
        return ReadCategoryNumbers(userNo, numbers);
    };
    result.keepFirst(recoverPeerLeftovers(userNo, folder, names, categories, {notices, told}));
    result.keepFirst(RestoreSetAsideUrlFiles(folder, names, categories, notices));
    return result;
}

} // namespace modMain

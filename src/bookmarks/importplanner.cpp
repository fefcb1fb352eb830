#include "bookmarks/importplanner.h"

#include "categories/categoryindex.h"
#include "storage/charmap.h"
#include "urls/addressidentity.h"
#include "urls/urlfile.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace modMain {

namespace {

const QString kCategoryNameField = QStringLiteral("Category Name");
const QString kUrlField = QStringLiteral("URL");
const QString kDescriptionField = QStringLiteral("Description");

// The schemes of links that are no web addresses: scripts, a browser's own
// queries, data held in the address itself.
bool isWebAddress(const QString &href) {
    if (href.isEmpty())
        return false;
    for (const char *scheme : {"javascript:", "place:", "data:"}) {
        if (href.startsWith(QLatin1StringView(scheme), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

// A description as a URL can store it: the table's characters (line
// breaks kept), no text that would read back as a line break, cut at the
// longest length (never between the CR and the LF of a line break), outer
// blanks dropped as the store drops them.
QString fittedDescription(const QString &text) {
    QString d = MapToStorable(text, true).text;
    // "*QVX*" is how a line break is stored, so it would come back as one;
    // in small letters it stays what it was.
    const QString &marker = kFieldSep;
    while (d.contains(marker))
        d.replace(marker, QStringLiteral("*qvx*"));
    d.replace(QStringLiteral("*QVX\r\n"), QStringLiteral("*qvx\r\n"));
    if (d.size() > kDescriptionMaxLength) {
        qsizetype cut = kDescriptionMaxLength;
        if (d[cut - 1] == u'\r' && d[cut] == u'\n')
            --cut;
        d.truncate(cut);
    }
    d = TrimBlanks(d);
    Q_ASSERT(DescriptionRefusal(d).isEmpty());
    return d;
}

class Planner {
public:
    Planner(const BookmarkFile &file, const ImportTarget &target) : file_(file), target_(target) {
        for (const ListEntry &entry : target.categories)
            existing_.insert(entry.text.toUpper(), entry); // names are unique, letter case ignored
    }

    ImportPreview run() {
        // Links and empty folders in the order of the file.
        const QList<BookmarkLink> &links = file_.links;
        const QList<BookmarkFolder> &folders = file_.emptyFolders;
        qsizetype l = 0;
        qsizetype f = 0;
        while (l < links.size() || f < folders.size()) {
            if (f < folders.size() && (l == links.size() || folders[f].line < links[l].line))
                addFolder(folders[f++]);
            else
                addLink(links[l++]);
        }
        return std::move(preview_);
    }

private:
    // One category of the file, under its name as it is stored.
    struct Slot {
        QString name;       // as stored: the existing category's name, or the new name
        int number = 0;     // the existing category's number; 0 for a new one
        int planned = -1;   // its index in the plan; -1 while nothing is planned for it
        int refused = -1;   // its index among the refusals; -1 when nothing was refused
        qint64 room = 0;    // how many URLs it can still receive
        QSet<QString> seen; // identities of the addresses already planned for it
    };

    // The folders of a link or an empty folder, and the category they name.
    struct Folders {
        qsizetype slot = 0;
        QString fromFile;    // the category's name as the file gives it
        QString fitted;      // the same, made to fit
        bool listed = false; // whether the change of the name has been listed
    };

    // The category for a link or folder in `folders`.
    Folders &foldersOf(const QStringList &folders) {
        const QString key = folders.join(QChar(0));
        if (const auto found = folders_.find(key); found != folders_.end())
            return *found;

        Folders entry;
        QStringList names;
        for (const QString &name : folders) {
            if (!name.isEmpty())
                names << name;
        }
        entry.fromFile = names.join(QStringLiteral(" / "));
        if (entry.fromFile.isEmpty())
            entry.fromFile = file_.heading.isEmpty() ? QStringLiteral("Bookmarks") : file_.heading;
        entry.fitted = TrimBlanks(MapToStorable(entry.fromFile).text);
        if (entry.fitted.isEmpty())
            entry.fitted = QStringLiteral("Bookmarks");

        const QString upper = entry.fitted.toUpper();
        if (const auto found = slotOfName_.constFind(upper); found != slotOfName_.cend()) {
            entry.slot = *found;
        } else {
            // A name another password's category has is taken, as Add
            // Category would refuse it: the new category gets the first free
            // name "<name> (2)", "<name> (3)"..., which the preview lists as
            // changed to fit.
            if (!existing_.contains(upper) && target_.takenNames.contains(upper)) {
                const QString base = entry.fitted;
                for (int n = 2;; ++n) {
                    const QString name = QStringLiteral("%1 (%2)").arg(base).arg(n);
                    const QString nameKey = name.toUpper();
                    if (!existing_.contains(nameKey) && !target_.takenNames.contains(nameKey) &&
                        !slotOfName_.contains(nameKey)) {
                        entry.fitted = name;
                        slotOfName_.insert(nameKey, slots_.size());
                        break;
                    }
                }
            }
            Slot slot;
            slot.name = entry.fitted;
            if (const auto known = existing_.constFind(upper); known != existing_.cend()) {
                slot.name = known->text;
                slot.number = known->number;
            }
            const qint64 highest =
                slot.number != 0 && target_.highestUrlNo ? target_.highestUrlNo(slot.number) : 0;
            slot.room = qMax<qint64>(0, kMaxRecordNo - highest);
            entry.slot = slots_.size();
            slots_.append(slot);
            slotOfName_.insert(upper, entry.slot);
        }
        return *folders_.insert(key, entry);
    }

    // Puts the category in the plan when it is not there yet: a new one only
    // while category numbers last. False when it is refused. The first time
    // a name of the file is planned, its change (if any) is listed.
    bool plan(Folders &folders, int line) {
        Slot &slot = slots_[folders.slot];
        if (slot.planned < 0) {
            if (slot.refused >= 0)
                return false;
            if (slot.number == 0) {
                if (target_.highestCategoryNo + preview_.newCategories >= kMaxRecordNo) {
                    slot.refused = int(preview_.refused.size());
                    preview_.refused.append(RefusedImport{
                        slot.name, 0,
                        QStringLiteral("Sorry, no more Categories can be added: the Category "
                                       "numbers have reached the highest one, 32767.")});
                    ++preview_.refusedCategories;
                    return false;
                }
                ++preview_.newCategories;
            } else {
                ++preview_.existingCategories;
            }
            slot.planned = int(preview_.plan.size());
            preview_.plan.append(PlannedCategory{slot.name, slot.number, {}});
        }
        if (!folders.listed) {
            folders.listed = true;
            if (folders.fitted != folders.fromFile)
                preview_.changes.append(FittedText{line, slot.name, kCategoryNameField,
                                                   folders.fromFile, folders.fitted});
        }
        return true;
    }

    void refuseUrl(Slot &slot) {
        ++preview_.refusedUrls;
        if (slot.refused < 0) {
            slot.refused = int(preview_.refused.size());
            preview_.refused.append(RefusedImport{
                slot.name, 0,
                QStringLiteral("Sorry, no more URLs can be added under this Category: its URL "
                               "numbers have reached the highest one, 32767.")});
        }
        ++preview_.refused[slot.refused].urls;
    }

    void addFolder(const BookmarkFolder &folder) {
        Folders &folders = foldersOf(folder.path);
        if (slots_[folders.slot].number == 0)
            plan(folders, folder.line); // an empty category; an existing one gains nothing
    }

    void addLink(const BookmarkLink &link) {
        if (!isWebAddress(link.href)) {
            ++preview_.notWebAddresses;
            return;
        }
        // A byte the file could not decode is a "?", as everywhere else.
        QString href = link.href;
        href.replace(QChar(QChar::ReplacementCharacter), u'?');
        const QString address = StoredAddress(TrimBlanks(href));
        const QString identity = AddressIdentity(address);

        Folders &folders = foldersOf(link.folders);
        Slot &slot = slots_[folders.slot];
        if (slot.number != 0 && target_.isSaved && target_.isSaved(slot.number, identity)) {
            ++preview_.alreadySaved;
            return;
        }
        if (slot.seen.contains(identity)) {
            ++preview_.repeated;
            return;
        }
        slot.seen.insert(identity);
        if (!plan(folders, link.line)) {
            ++preview_.refusedUrls;
            ++preview_.refused[slot.refused].urls;
            return;
        }
        if (slot.room == 0) {
            refuseUrl(slot);
            return;
        }
        --slot.room;

        QString description = link.text;
        if (!link.note.isEmpty())
            description += QStringLiteral("\r\n") + link.note;
        const QString fitted = fittedDescription(description);
        preview_.plan[slot.planned].urls.append(PlannedUrl{address, fitted});
        ++preview_.urls;
        if (address != link.href)
            preview_.changes.append(FittedText{link.line, address, kUrlField, link.href, address});
        if (fitted != description)
            preview_.changes.append(
                FittedText{link.line, address, kDescriptionField, description, fitted});
    }

    const BookmarkFile &file_;
    const ImportTarget &target_;
    QHash<QString, ListEntry> existing_; // the user's categories by upper-cased name
    QList<Slot> slots_;
    QHash<QString, qsizetype> slotOfName_; // by the upper-cased name made to fit
    QHash<QString, Folders> folders_;      // by the folders' names
    ImportPreview preview_;
};

} // namespace

ImportPreview PlanImport(const BookmarkFile &file, const ImportTarget &target) {
    return Planner(file, target).run();
}

IoError PlanImportForUser(int userNo, const QString &stamp, const BookmarkFile &file,
                          ImportPreview *preview) {
    CategoryIndexRead index;
    if (IoError err = ReadCategoryIndex(userNo, stamp, &index); err.failed())
        return err;
    ImportTarget target;
    target.categories = index.owned;
    target.takenNames = index.takenNames;
    // New categories are numbered on from the highest number of any owner.
    target.highestCategoryNo = index.highest;
    IoError failure;

    // What a category's URL file holds, read once, when the planner first
    // asks about it.
    struct UrlFileRead {
        qint64 highest = 0;
        QSet<QString> identities; // of the saved addresses
    };
    QHash<int, UrlFileRead> files;
    auto fileOf = [&](int categoryNo) -> const UrlFileRead & {
        auto it = files.find(categoryNo);
        if (it != files.end())
            return *it;
        UrlFileRead read;
        const QString path = UrlFilePath(userNo, categoryNo);
        QList<ListEntry> owned;
        int foreign = 0;
        const IoError err = ReadUrlList(path, stamp, &owned, &foreign, &read.highest);
        if (err.failed() && !failure.failed())
            failure = err;
        for (const ListEntry &url : std::as_const(owned))
            read.identities.insert(AddressIdentity(url.text));
        return *files.insert(categoryNo, std::move(read));
    };
    target.highestUrlNo = [&](int categoryNo) { return fileOf(categoryNo).highest; };
    target.isSaved = [&](int categoryNo, const QString &identity) {
        return fileOf(categoryNo).identities.contains(identity);
    };
    ImportPreview planned = PlanImport(file, target);
    if (failure.failed())
        return failure;
    *preview = std::move(planned);
    return IoError();
}

} // namespace modMain

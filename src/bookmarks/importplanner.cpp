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

} // namespace

// A description as a URL can store it: the table's characters (line
// breaks kept), no text that would read back as a line break, cut at the
// longest length (never between the CR and the LF of a line break), outer
// blanks dropped as the store drops them.
QString FittedDescription(const QString &text) {
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

namespace {

// A category's name as the names of a folder and of the folders around it
// make it: kept only as long as it can be stored, so that a folder deep in
// the file costs no more than one near the top.
struct CategoryName {
    QString names;         // the names that are not empty joined by " / ", as the file gives
                           // them, at most kImportedCategoryNameMaxLength characters
    bool namesCut = false; // whether the names go on past that
    QString mapped;        // the same by MapToStorable, without the blanks at its start, at most
                           // kImportedCategoryNameMaxLength characters
    bool mappedCut = false;

    // Whether no name after these can change it: both are cut.
    bool full() const { return namesCut && mappedCut; }

    // The name of a folder named `name` inside this one.
    CategoryName inner(QStringView name) const {
        CategoryName out = *this;
        if (name.isEmpty())
            return out;
        const QStringView joint = names.isEmpty() ? QStringView() : QStringView(u" / ");
        if (!namesCut)
            out.namesCut = !appendUpTo(&out.names, joint, name);
        if (!mappedCut) {
            QString piece = MapToStorable(joint).text + MapToStorable(name).text;
            if (out.mapped.isEmpty())
                piece = trimStartBlanks(piece).toString();
            out.mappedCut = !appendUpTo(&out.mapped, {}, piece);
        }
        return out;
    }

private:
    static QStringView trimStartBlanks(QStringView text) {
        qsizetype from = 0;
        while (from < text.size() && text[from] == u' ')
            ++from;
        return text.sliced(from);
    }

    // Appends `a` and `b` to `to` while it has room; false when they did not
    // fit whole. A cut never splits a surrogate pair.
    static bool appendUpTo(QString *to, QStringView a, QStringView b) {
        for (const QStringView part : {a, b}) {
            qsizetype room = kImportedCategoryNameMaxLength - to->size();
            if (part.size() <= room) {
                to->append(part);
                continue;
            }
            if (room > 0 && part[room - 1].isHighSurrogate())
                --room;
            to->append(part.first(room));
            return false;
        }
        return true;
    }
};

// A folder around the link or empty folder being planned, and the category
// it names. Thousands of folders can be open at once, so an open folder keeps
// no text of its own: its name is an index among the open names, which it
// shares with the folder around it when its own name changes nothing.
struct OpenFolder {
    int folder = -1;       // its index among the file's folders; -1 for the top
    int name = 0;          // its category's name: an index in Planner::names_
    int slot = -1;         // its category; -1 until asked
    bool freeName = false; // whether its category got a free name for a taken one
    bool listed = false;   // whether its change has been listed
};

} // namespace
} // namespace modMain

Q_DECLARE_TYPEINFO(modMain::CategoryName, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(modMain::OpenFolder, Q_RELOCATABLE_TYPE);

namespace modMain {
namespace {

// `made`, or `text` when the two are equal.
QString shared(const QString &made, const QString &text) {
    return made == text ? text : made;
}

class Planner {
public:
    Planner(const BookmarkFile &file, const ImportTarget &target)
        : file_(file), target_(target), openAt_(file.folders.size(), -1) {
        for (const ListEntry &entry : target.categories)
            existing_.insert(entry.text.toUpper(), entry); // names are unique, letter case ignored
        // Links outside every folder, and in folders without names, go to
        // the category the heading names.
        heading_ = CategoryName().inner(file.heading.isEmpty() ? QStringLiteral("Bookmarks")
                                                               : file.heading);
        names_.append(CategoryName());
        open_.append(OpenFolder());
    }

    ImportPreview run() {
        // Links and empty folders in the order of the file.
        const QList<BookmarkLink> &links = file_.links;
        const QList<EmptyFolder> &empty = file_.emptyFolders;
        qsizetype l = 0;
        qsizetype e = 0;
        while (l < links.size() || e < empty.size()) {
            if (e < empty.size() && (l == links.size() || empty[e].linksBefore <= l))
                addFolder(empty[e++].folder);
            else
                addLink(links[l++]);
        }
        return std::move(preview_);
    }

private:
    // One category of the file, under its name as it is stored.
    struct Slot {
        QString name;           // as stored: the existing category's name, or the new name
        int number = 0;         // the existing category's number; 0 for a new one
        int planned = -1;       // its index in the plan; -1 while nothing is planned for it
        int refused = -1;       // its index among the refusals; -1 when nothing was refused
        qint64 room = 0;        // how many URLs it can still receive
        QSet<QString> seen;     // identities of the addresses already planned for it
        QSet<QString> names;    // the names of the file it was given, as the file gives them
        bool cutListed = false; // whether a name cut to fit it has been listed
    };

    // The category's name an open folder gives: its folders' names, or the
    // heading's when they have none.
    const CategoryName &nameOf(const OpenFolder &open) const {
        const CategoryName &name = names_[open.name];
        return name.names.isEmpty() ? heading_ : name;
    }

    // The name as the file gives it; a name that was cut ends with an
    // ellipsis.
    static QString fromFile(const CategoryName &name) {
        return name.namesCut ? name.names + QChar(0x2026) : name.names;
    }

    // The name made to fit, before a taken name is replaced by a free one.
    static QString fitted(const CategoryName &name) {
        const QString fitted = TrimBlanks(name.mapped);
        return fitted.isEmpty() ? QStringLiteral("Bookmarks") : fitted;
    }

    // The folder `folder` (-1 for the top), and the folders around it, as
    // the open ones. Links and folders come in the order of the file, so a
    // folder is opened once and stays open until its last link is planned.
    OpenFolder &enter(int folder) {
        QList<int> outside; // the folders to open, innermost first
        int f = folder;
        while (f >= 0 && openAt_[f] < 0) {
            outside.append(f);
            f = file_.folders[f].parent;
        }
        const qsizetype keep = f < 0 ? 1 : openAt_[f] + 1;
        while (open_.size() > keep) {
            if (open_.last().name != open_[open_.size() - 2].name)
                names_.removeLast(); // its own
            openAt_[open_.last().folder] = -1;
            open_.removeLast();
        }
        for (qsizetype i = outside.size() - 1; i >= 0; --i) {
            OpenFolder inner;
            inner.folder = outside[i];
            inner.name = open_.last().name;
            const QStringView name = file_.name(inner.folder);
            if (!name.isEmpty() && !names_[inner.name].full()) {
                names_.append(names_[inner.name].inner(name));
                inner.name = int(names_.size() - 1);
            }
            openAt_[inner.folder] = int(open_.size());
            open_.append(inner);
        }
        return open_.last();
    }

    // The category of an open folder.
    Slot &slotOf(OpenFolder &open) {
        if (open.slot >= 0)
            return slots_[open.slot];
        QString name = fitted(nameOf(open));
        const QString upper = name.toUpper();
        if (const auto found = slotOfName_.constFind(upper); found != slotOfName_.cend()) {
            open.slot = int(*found);
            return slots_[open.slot];
        }
        // A name another password's category has is taken, as Add Category
        // would refuse it: the new category gets the first free name
        // "<name> (2)", "<name> (3)"..., which the preview lists as changed
        // to fit.
        if (!existing_.contains(upper) && target_.takenNames.contains(upper)) {
            for (int n = 2;; ++n) {
                const QString suffix = QStringLiteral(" (%1)").arg(n);
                const QString free =
                    TrimBlanks(name.left(kImportedCategoryNameMaxLength - suffix.size())) + suffix;
                const QString freeKey = free.toUpper();
                if (!existing_.contains(freeKey) && !target_.takenNames.contains(freeKey) &&
                    !slotOfName_.contains(freeKey)) {
                    name = free;
                    open.freeName = true;
                    slotOfName_.insert(freeKey, slots_.size());
                    break;
                }
            }
        }
        Slot slot;
        slot.name = name;
        if (const auto known = existing_.constFind(upper); known != existing_.cend()) {
            slot.name = known->text;
            slot.number = known->number;
        }
        const qint64 highest =
            slot.number != 0 && target_.highestUrlNo ? target_.highestUrlNo(slot.number) : 0;
        slot.room = qMax<qint64>(0, kMaxRecordNo - highest);
        open.slot = int(slots_.size());
        slots_.append(slot);
        slotOfName_.insert(upper, open.slot);
        return slots_[open.slot];
    }

    // Puts the category in the plan when it is not there yet: a new one only
    // while category numbers last. False when it is refused. The first time
    // a name of the file is planned, its change (if any) is listed; a name
    // cut to fit is listed once for its category, as all the folders below
    // it are cut to the same name.
    bool plan(OpenFolder &open, int line) {
        Slot &slot = slotOf(open);
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
        if (!open.listed) {
            open.listed = true;
            const CategoryName &name = nameOf(open);
            const QString before = fromFile(name);
            const QString after = open.freeName ? slot.name : fitted(name);
            bool list = after != before;
            if (list && name.mappedCut) {
                list = !slot.cutListed;
                slot.cutListed = true;
            } else if (list) {
                list = !slot.names.contains(before);
                slot.names.insert(before);
            }
            if (list)
                preview_.changes.append(
                    FittedText{line, slot.name, kCategoryNameField, before, after});
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

    void addFolder(int folder) {
        OpenFolder &open = enter(folder);
        if (slotOf(open).number == 0)
            plan(open,
                 file_.folders[folder].line); // an empty category; an existing one gains nothing
    }

    void addLink(const BookmarkLink &link) {
        if (!IsWebAddress(link.href)) {
            ++preview_.notWebAddresses;
            return;
        }
        // A byte the file could not decode is a "?", as everywhere else.
        QString href = link.href;
        href.replace(QChar(QChar::ReplacementCharacter), u'?');
        // A text that comes out as it went in is kept as the one text, not
        // as a copy: a file of many links holds each of their texts once.
        const QString address = shared(StoredAddress(TrimBlanks(href)), link.href);
        const QString identity = shared(AddressIdentity(address), address);

        OpenFolder &open = enter(link.folder);
        Slot &slot = slotOf(open);
        if (slot.number != 0 && target_.isSaved && target_.isSaved(slot.number, identity)) {
            ++preview_.alreadySaved;
            return;
        }
        if (slot.seen.contains(identity)) {
            ++preview_.repeated;
            return;
        }
        slot.seen.insert(identity);
        if (!plan(open, link.line)) {
            ++preview_.refusedUrls;
            ++preview_.refused[slot.refused].urls;
            return;
        }
        if (slot.room == 0) {
            refuseUrl(slot);
            return;
        }
        --slot.room;

        const QString description = LinkDescription(link);
        const QString fitted = shared(FittedDescription(description), description);
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
    CategoryName heading_;                 // the name of the category the heading names
    QList<CategoryName> names_;            // the names of the open folders, as far as they differ
    QList<OpenFolder> open_;               // the top, then the open folders, outermost first
    QList<int> openAt_; // for each folder of the file, its place in open_; -1 when not open
    ImportPreview preview_;
};

} // namespace

BookmarkFile LinkListFile(const QString &category,
                          const QList<std::pair<QString, QString>> &links) {
    BookmarkFile file;
    file.names = category;
    file.folders.append(BookmarkFolder{0, int(category.size()), -1, 1});
    file.links.reserve(links.size());
    int line = 0;
    for (const auto &[address, title] : links) {
        BookmarkLink link;
        link.folder = 0;
        link.href = address;
        link.text = title;
        link.line = ++line;
        file.links.append(std::move(link));
    }
    return file;
}

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

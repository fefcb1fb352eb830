#include "userdata/userdata.h"

#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "trash/trashfile.h"
#include "urls/addressidentity.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include <climits>

namespace modMain {

UserData::UserData(QObject *parent)
    : QObject(parent), m_categories(new SortedListModel(this)),
      m_categoriesShown(m_categories->addFace()), m_urls(new SortedListModel(this)) {}

UserData::~UserData() = default;

int UserData::userNo() {
    return UserNo;
}

QString UserData::stamp() {
    return PassStamp;
}

FindIndex &UserData::changingIndex() {
    emit indexChanging();
    return m_index;
}

// ---- Loads ----

UserData::CategoriesLoaded UserData::loadCategories() {
    m_categoriesShown->showEvery();
    m_categories->clear();
    // The index holds the categories the lists show: it is read anew at its
    // next use.
    if (m_index.isBuilt())
        changingIndex().clear();
    CategoryIndexRead read;
    CategoriesLoaded loaded;
    loaded.error = ReadCategoryIndex(userNo(), stamp(), &read);
    if (loaded.error.failed() || !read.hasData)
        return loaded;
    loaded.hasData = true;
    loaded.lastOwned = read.lastOwned;
    // After the owner message only cmbCatDel lists the owned records; the
    // other three lists list only the categories added from now on.
    if (!read.lastOwned)
        m_categoriesShown->showOnlyLater();
    // In the order adding them one by one in file order gives.
    m_categories->replaceAll(std::move(read.owned));
    return loaded;
}

UserData::UrlsLoaded UserData::loadUrls(int catNo, const QString &name) {
    UrlsLoaded loaded;
    if (catNo < 0) {
        clearUrls();
        return loaded;
    }
    // The entries read replace the model's in one reset.
    m_urlCategory = -1;
    m_urlCategoryName.clear();
    QList<ListEntry> owned;
    loaded.error = ReadUrlList(UrlFilePath(userNo(), catNo), stamp(), &owned, &loaded.foreign);
    m_urls->replaceAll(std::move(owned));
    // A list that could not be read whole is not one a new URL is added to:
    // it is read again when it is shown again.
    if (!loaded.error.failed()) {
        m_urlCategory = catNo;
        m_urlCategoryName = name;
    }
    return loaded;
}

void UserData::clearUrls() {
    m_urls->clear();
    m_urlCategory = -1;
    m_urlCategoryName.clear();
}

IoError UserData::buildIndex() {
    if (m_index.isBuilt() || userNo() == 0)
        return IoError();
    // The categories the URL screens can choose, whatever record of the
    // category index is the last one by now.
    QList<ListEntry> shown;
    shown.reserve(m_categoriesShown->count());
    for (int row = 0; row < m_categoriesShown->count(); ++row)
        shown.append({m_categoriesShown->textAt(row), m_categoriesShown->numberAt(row)});
    // A file that cannot be read is left out: the index counts as built and
    // is not read again this sign-in.
    return changingIndex().build(UserFolderPath(userNo()), stamp(), shown);
}

// ---- The copies in step ----

IoError UserData::heldBack() {
    IoError err = UnfinishedChangeIn(UserFolderPath(userNo()), m_toldUnfinished);
    if (err.failed())
        m_toldUnfinished = true;
    return err;
}

QString UserData::categoryName(int catNo) const {
    if (m_urlCategory == catNo && !m_urlCategoryName.isEmpty())
        return m_urlCategoryName;
    const int row = m_categories->rowOfNumber(catNo);
    return row < 0 ? QString() : m_categories->textAt(row);
}

void UserData::urlInserted(int catNo, int urlNo, const QString &address,
                           const QString &description) {
    if (m_index.isBuilt())
        changingIndex().urlAdded(catNo, urlNo, address, description);
    if (m_urlCategory == catNo)
        m_urls->insertSorted(address, urlNo);
}

void UserData::urlRemoved(int catNo, int urlNo, const QString &address) {
    if (m_index.isBuilt())
        changingIndex().urlDeleted(catNo, urlNo, address);
    if (m_urlCategory == catNo)
        m_urls->removeNumber(urlNo, 1, &address);
}

void UserData::urlChanged(int catNo, int urlNo, const QString &oldAddress, const QString &address,
                          const std::optional<QString> &description) {
    if (m_index.isBuilt())
        changingIndex().urlModified(catNo, urlNo, address, description, oldAddress);
    if (m_urlCategory == catNo)
        m_urls->renameNumber(urlNo, address, &oldAddress);
}

void UserData::categoryInserted(int catNo, const QString &name) {
    if (m_index.isBuilt())
        changingIndex().categoryAdded(catNo, name);
    m_categories->insertSorted(name, catNo);
}

void UserData::categoryRenamed(int catNo, const QString &oldName, const QString &name) {
    if (m_index.isBuilt())
        changingIndex().categoryRenamed(catNo, name);
    // Number 0 is shared by every damaged record: only the entry of the old
    // name changes.
    m_categories->renameNumber(catNo, name, catNo == 0 ? &oldName : nullptr);
    if (m_urlCategory == catNo && (catNo != 0 || m_urlCategoryName == oldName))
        m_urlCategoryName = name;
}

void UserData::categoryRemoved(int catNo, const QString &name) {
    if (m_index.isBuilt())
        changingIndex().categoryDeleted(catNo);
    // Number 0 is shared by every damaged record: only the entry of that
    // name goes.
    m_categories->removeNumber(catNo, catNo == 0 ? 1 : INT_MAX, catNo == 0 ? &name : nullptr);
    if (m_urlCategory == catNo && (catNo != 0 || m_urlCategoryName == name))
        clearUrls();
}

// ---- Changes ----

Change UserData::addCategory(const QString &name) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    Step step;
    const Change change = AppendCategory(userNo(), name, stamp(), &step.line);
    if (!change.changed)
        return change;
    NextCatNo = int(change.number);
    categoryInserted(NextCatNo, name);
    step.kind = Step::Kind::AddCategory;
    step.catNo = NextCatNo;
    step.catName = name;
    keep(std::move(step));
    return change;
}

Change UserData::renameCategory(int catNo, const QString &oldName, const QString &name) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    Step step;
    const Change change =
        RenameCategory(userNo(), catNo, name, stamp(), oldName, &step.oldLine, &step.line);
    if (!change.changed)
        return change;
    categoryRenamed(catNo, oldName, name);
    step.kind = Step::Kind::RenameCategory;
    step.catNo = catNo;
    step.catName = name;
    step.oldName = oldName;
    keep(std::move(step));
    return change;
}

Change UserData::trashCategory(int catNo, const QString &name, qint64 *item) {
    m_trashCopies.reset();
    const Change change = TrashCategory(userNo(), catNo, name, stamp());
    if (change.changed) {
        *item = change.number;
        categoryRemoved(catNo, name);
    }
    return change;
}

Change UserData::deleteCategory(int catNo, const QString &name) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    Step step;
    step.kind = Step::Kind::DeleteCategory;
    step.catNo = catNo;
    step.catName = name;
    const Change change = trashCategory(catNo, name, &step.trashItem);
    if (change.changed)
        keep(std::move(step));
    return change;
}

Change UserData::addUrl(int catNo, const QString &address, const QString &description) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const QString stored = StoredAddress(address);
    Step step;
    const Change change =
        AppendUrl(UrlFilePath(userNo(), catNo), stored, description, stamp(), &step.line);
    if (!change.changed)
        return change;
    NextUrlNo = int(change.number);
    urlInserted(catNo, NextUrlNo, stored, description);
    step.kind = Step::Kind::AddUrl;
    step.catNo = catNo;
    step.catName = categoryName(catNo);
    step.urlNo = NextUrlNo;
    step.address = stored;
    keep(std::move(step));
    return change;
}

Change UserData::trashUrl(int catNo, int urlNo, const QString &address, qint64 *item) {
    m_trashCopies.reset();
    const Change change = TrashUrl(userNo(), catNo, categoryName(catNo), urlNo, address, stamp());
    if (change.changed) {
        *item = change.number;
        urlRemoved(catNo, urlNo, address);
    }
    return change;
}

Change UserData::deleteUrl(int catNo, int urlNo, const QString &address) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    Step step;
    step.kind = Step::Kind::DeleteUrl;
    step.catNo = catNo;
    step.catName = categoryName(catNo);
    step.urlNo = urlNo;
    step.address = address;
    const Change change = trashUrl(catNo, urlNo, address, &step.trashItem);
    if (change.changed)
        keep(std::move(step));
    return change;
}

Change UserData::modifyUrl(int catNo, int urlNo, const QString &oldAddress, const QString &address,
                           const std::optional<QString> &description) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const QString stored = StoredAddress(address);
    Step step;
    const Change change = ReplaceUrlRecord(UrlFilePath(userNo(), catNo), urlNo, stored, description,
                                           stamp(), oldAddress, &step.oldLine, &step.line);
    if (!change.changed)
        return change;
    urlChanged(catNo, urlNo, oldAddress, stored, description);
    step.kind = Step::Kind::ModifyUrl;
    step.catNo = catNo;
    step.catName = categoryName(catNo);
    step.urlNo = urlNo;
    step.address = stored;
    step.oldAddress = oldAddress;
    keep(std::move(step));
    return change;
}

// ---- The Trash ----

Change UserData::restore(qint64 id, int *number, bool *renumbered) {
    m_trashCopies.reset();
    const Restored restored = RestoreTrashItem(userNo(), id, stamp());
    if (renumbered)
        *renumbered = restored.renumbered;
    if (!restored.change.changed)
        return restored.change;
    const TrashItem &item = restored.item;
    *number = int(restored.change.number);
    if (item.kind == TrashItem::Kind::Url) {
        urlInserted(int(item.category), *number, item.address, item.description);
    } else {
        // The index takes the category's URLs in when it is read anew, at
        // its next use.
        if (m_index.isBuilt())
            changingIndex().clear();
        m_categories->insertSorted(item.categoryName, *number);
    }
    return restored.change;
}

Change UserData::restoreFromTrash(qint64 id, bool *renumbered) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    int number = 0;
    return restore(id, &number, renumbered);
}

IoError UserData::readTrash(QList<TrashItem> *items) const {
    return ReadTrash(userNo(), stamp(), items);
}

Change UserData::emptyTrash() {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    m_trashCopies.reset();
    // A delete whose item is gone can no longer be taken back: undoing it
    // is refused, and it stays in the history until the user signs out.
    return EmptyTrash(userNo(), stamp());
}

Change UserData::purgeTrash() {
    // Not while an earlier change is unfinished: the next sign-in purges.
    if (UnfinishedChangeIn(UserFolderPath(userNo()), true).failed())
        return Change();
    m_trashCopies.reset();
    return PurgeOldTrash(userNo(), stamp());
}

QStringList UserData::trashedIn(const QString &address) {
    if (!m_trashCopies) {
        QList<TrashItem> items;
        // A Trash that cannot be read holds nothing to hint at; the Trash
        // screen reports it.
        readTrash(&items);
        QList<TrashCopy> copies;
        for (const TrashItem &item : std::as_const(items)) {
            if (item.kind == TrashItem::Kind::Url)
                copies.append({AddressIdentity(item.address), item.categoryName});
            for (const QString &stored : item.addresses)
                copies.append({AddressIdentity(stored), item.categoryName});
        }
        m_trashCopies = std::move(copies);
    }
    const QString identity = AddressIdentity(address);
    QStringList names;
    for (const TrashCopy &copy : std::as_const(*m_trashCopies)) {
        if (copy.identity == identity && !names.contains(copy.category))
            names.append(copy.category);
    }
    return names;
}

// ---- Undo and redo ----

void UserData::keep(Step step) {
    m_redo.clear();
    m_undo.push_back(std::move(step));
    while (m_undo.size() > size_t(kHistorySteps))
        m_undo.pop_front();
}

QString UserData::stepName(const Step &step) {
    switch (step.kind) {
    case Step::Kind::AddUrl:
        return QStringLiteral("Add URL %1 (%2)").arg(step.address, step.catName);
    case Step::Kind::DeleteUrl:
        return QStringLiteral("Delete URL %1 (%2)").arg(step.address, step.catName);
    case Step::Kind::ModifyUrl:
        return QStringLiteral("Modify URL %1 (%2)").arg(step.address, step.catName);
    case Step::Kind::AddCategory:
        return QStringLiteral("Add Category %1").arg(step.catName);
    case Step::Kind::RenameCategory:
        return QStringLiteral("Rename Category %1 to %2").arg(step.oldName, step.catName);
    case Step::Kind::DeleteCategory:
        return QStringLiteral("Delete Category %1").arg(step.catName);
    case Step::Kind::Import:
        return QStringLiteral("Import Bookmarks (%1 URL's)").arg(step.imported->urlsWritten);
    }
    return QString();
}

QString UserData::undoName() const {
    return m_undo.empty() ? QString() : stepName(m_undo.back());
}

QString UserData::redoName() const {
    return m_redo.empty() ? QString() : stepName(m_redo.back());
}

IoError UserData::nameTaken(const QString &name, const QString &current) const {
    bool exists = false;
    int next = 0;
    if (IoError err = CategoryExists(userNo(), name, &exists, &next); err.failed())
        return err;
    // A category may take its own name back in another letter case.
    if (!exists || name.compare(current, Qt::CaseInsensitive) == 0)
        return IoError();
    return CategoryNameTakenRefusal();
}

Change UserData::apply(Step &step, bool forward) {
    const QString urlFile = UrlFilePath(userNo(), step.catNo);
    switch (step.kind) {
    case Step::Kind::AddUrl: {
        if (!forward) {
            const Change change = DeleteUrlRecord(urlFile, step.urlNo, step.address);
            if (change.changed)
                urlRemoved(step.catNo, step.urlNo, step.address);
            return change;
        }
        Change change;
        change.changed = change.error.take(AppendLine(urlFile, QString::fromLatin1(step.line)));
        if (change.changed)
            urlInserted(step.catNo, step.urlNo, step.address,
                        DecodeUrlLine(QString::fromLatin1(step.line)).description());
        return change;
    }
    case Step::Kind::DeleteUrl: {
        if (forward)
            return trashUrl(step.catNo, step.urlNo, step.address, &step.trashItem);
        int number = 0;
        const Change change = restore(step.trashItem, &number, nullptr);
        if (change.changed)
            step.urlNo = number;
        return change;
    }
    case Step::Kind::ModifyUrl: {
        const QByteArray &line = forward ? step.line : step.oldLine;
        const QString &from = forward ? step.oldAddress : step.address;
        const QString &to = forward ? step.address : step.oldAddress;
        const Change change = ReplaceUrlLine(urlFile, step.urlNo, from, line);
        if (change.changed)
            urlChanged(step.catNo, step.urlNo, from, to,
                       DecodeUrlLine(QString::fromLatin1(line)).description());
        return change;
    }
    case Step::Kind::AddCategory: {
        if (!forward) {
            const Change change = DeleteCategoryFiles(userNo(), step.catNo, step.catName);
            if (change.changed)
                categoryRemoved(step.catNo, step.catName);
            return change;
        }
        if (IoError taken = nameTaken(step.catName, QString()); taken.failed())
            return Refused(taken);
        Change change;
        change.changed = change.error.take(
            AppendLine(CategoryIndexPath(userNo()), QString::fromLatin1(step.line)));
        if (change.changed)
            categoryInserted(step.catNo, step.catName);
        return change;
    }
    case Step::Kind::RenameCategory: {
        const QString &from = forward ? step.oldName : step.catName;
        const QString &to = forward ? step.catName : step.oldName;
        if (IoError taken = nameTaken(to, from); taken.failed())
            return Refused(taken);
        const Change change = forward ? ReplaceCategoryLine(userNo(), step.oldLine, step.line)
                                      : ReplaceCategoryLine(userNo(), step.line, step.oldLine);
        if (change.changed)
            categoryRenamed(step.catNo, from, to);
        return change;
    }
    case Step::Kind::Import: {
        const QString folder = UserFolderPath(userNo());
        const Change change = forward ? PutBackRecords(folder, *step.records)
                                      : TakeOutRecords(folder, step.records.get());
        if (!change.changed)
            return change;
        // The index reads the URLs anew at its next use.
        if (m_index.isBuilt())
            changingIndex().clear();
        for (const ListEntry &category : std::as_const(step.imported->categoriesAdded)) {
            if (forward)
                m_categories->insertSorted(category.text, category.number);
            else
                categoryRemoved(category.number, category.text);
        }
        for (const ImportResult::UrlsAdded &urls : std::as_const(step.imported->urlsAdded)) {
            if (urls.category != m_urlCategory)
                continue;
            for (const AddedUrl &url : urls.urls) {
                if (forward)
                    m_urls->insertSorted(url.address, url.number);
                else
                    m_urls->removeNumber(url.number, 1, &url.address);
            }
        }
        return change;
    }
    case Step::Kind::DeleteCategory: {
        if (forward)
            return trashCategory(step.catNo, step.catName, &step.trashItem);
        int number = 0;
        const Change change = restore(step.trashItem, &number, nullptr);
        if (change.changed)
            step.catNo = number;
        return change;
    }
    }
    return Change();
}

Change UserData::undo(QString *name) {
    if (m_undo.empty())
        return Change();
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    Step &step = m_undo.back();
    if (name)
        *name = stepName(step);
    const Change change = apply(step, false);
    if (change.changed) {
        m_redo.push_back(std::move(step));
        m_undo.pop_back();
    }
    return change;
}

Change UserData::redo(QString *name) {
    if (m_redo.empty())
        return Change();
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    Step &step = m_redo.back();
    if (name)
        *name = stepName(step);
    const Change change = apply(step, true);
    if (change.changed) {
        m_undo.push_back(std::move(step));
        m_redo.pop_back();
    }
    return change;
}

ImportResult UserData::importBookmarks(const ImportPlan &plan,
                                       const std::function<void(int, int)> &progress) {
    if (IoError held = heldBack(); held.failed())
        return Refused<ImportResult>(held);
    ImportResult result = ImportCategories(userNo(), stamp(), plan, progress);
    if (!result.changed)
        return result;
    // Kept as the records it appended, file by file.
    Step step;
    step.kind = Step::Kind::Import;
    step.imported = std::make_shared<ImportResult>(result);
    step.records = std::make_shared<AppendedRecords>();
    if (!result.categoriesAdded.isEmpty()) {
        AppendedRecords::File index{CategoryIndexPath(userNo()), {}, {}};
        for (const ListEntry &category : std::as_const(result.categoriesAdded))
            index.numbers.insert(category.number);
        step.records->files.append(std::move(index));
    }
    for (const ImportResult::UrlsAdded &urls : std::as_const(result.urlsAdded)) {
        AppendedRecords::File file{UrlFilePath(userNo(), urls.category), {}, {}};
        for (const AddedUrl &url : urls.urls)
            file.numbers.insert(url.number);
        step.records->files.append(std::move(file));
    }
    keep(std::move(step));
    if (m_index.isBuilt()) {
        FindIndex &index = changingIndex();
        for (const ListEntry &category : std::as_const(result.categoriesAdded))
            index.categoryAdded(category.number, category.text);
        for (const ImportResult::UrlsAdded &urls : std::as_const(result.urlsAdded))
            index.urlsAdded(urls.category, urls.urls);
    }
    for (const ListEntry &category : std::as_const(result.categoriesAdded))
        m_categories->insertSorted(category.text, category.number);
    // The URLs of the category listed join its list, in one go.
    for (const ImportResult::UrlsAdded &urls : std::as_const(result.urlsAdded)) {
        if (urls.category != m_urlCategory)
            continue;
        QList<ListEntry> listed;
        listed.reserve(m_urls->count() + urls.urls.size());
        for (int row = 0; row < m_urls->count(); ++row)
            listed.append({m_urls->textAt(row), m_urls->numberAt(row)});
        for (const AddedUrl &url : urls.urls)
            listed.append({url.address, url.number});
        m_urls->replaceAll(std::move(listed));
    }
    return result;
}

void UserData::forget() {
    ResetSession();
    m_toldUnfinished = false;
    m_undo.clear();
    m_redo.clear();
    m_trashCopies.reset();
    m_categoriesShown->showEvery();
    m_categories->clear();
    clearUrls();
    changingIndex().clear();
}

} // namespace modMain

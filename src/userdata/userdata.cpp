#include "userdata/userdata.h"

#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
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

// ---- Changes ----

IoError UserData::heldBack() {
    IoError err = UnfinishedChangeIn(UserFolderPath(userNo()), m_toldUnfinished);
    if (err.failed())
        m_toldUnfinished = true;
    return err;
}

Change UserData::addCategory(const QString &name) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const Change change = AppendCategory(userNo(), name, stamp());
    if (!change.changed)
        return change;
    NextCatNo = int(change.number);
    if (m_index.isBuilt())
        changingIndex().categoryAdded(NextCatNo, name);
    m_categories->insertSorted(name, NextCatNo);
    return change;
}

Change UserData::renameCategory(int catNo, const QString &oldName, const QString &name) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const Change change = RenameCategory(userNo(), catNo, name, stamp(), oldName);
    if (!change.changed)
        return change;
    if (m_index.isBuilt())
        changingIndex().categoryRenamed(catNo, name);
    // Number 0 is shared by every damaged record: only the entry of the old
    // name changes.
    m_categories->renameNumber(catNo, name, catNo == 0 ? &oldName : nullptr);
    if (m_urlCategory == catNo && (catNo != 0 || m_urlCategoryName == oldName))
        m_urlCategoryName = name;
    return change;
}

Change UserData::deleteCategory(int catNo, const QString &name) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const Change change = DeleteCategoryFiles(userNo(), catNo, name);
    if (!change.changed)
        return change;
    if (m_index.isBuilt())
        changingIndex().categoryDeleted(catNo);
    // Number 0 is shared by every damaged record: only the entry of that
    // name goes.
    m_categories->removeNumber(catNo, catNo == 0 ? 1 : INT_MAX, catNo == 0 ? &name : nullptr);
    if (m_urlCategory == catNo && (catNo != 0 || m_urlCategoryName == name))
        clearUrls();
    return change;
}

Change UserData::addUrl(int catNo, const QString &address, const QString &description) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const QString stored = StoredAddress(address);
    const Change change = AppendUrl(UrlFilePath(userNo(), catNo), stored, description, stamp());
    if (!change.changed)
        return change;
    NextUrlNo = int(change.number);
    if (m_index.isBuilt())
        changingIndex().urlAdded(catNo, NextUrlNo, stored, description);
    if (m_urlCategory == catNo)
        m_urls->insertSorted(stored, NextUrlNo);
    return change;
}

Change UserData::deleteUrl(int catNo, int urlNo, const QString &address) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const Change change = DeleteUrlRecord(UrlFilePath(userNo(), catNo), urlNo, address);
    if (!change.changed)
        return change;
    if (m_index.isBuilt())
        changingIndex().urlDeleted(catNo, urlNo, address);
    if (m_urlCategory == catNo)
        m_urls->removeNumber(urlNo, 1, &address);
    return change;
}

Change UserData::modifyUrl(int catNo, int urlNo, const QString &oldAddress, const QString &address,
                           const std::optional<QString> &description) {
    if (IoError held = heldBack(); held.failed())
        return Refused(held);
    const QString stored = StoredAddress(address);
    const Change change = ReplaceUrlRecord(UrlFilePath(userNo(), catNo), urlNo, stored, description,
                                           stamp(), oldAddress);
    if (!change.changed)
        return change;
    if (m_index.isBuilt())
        changingIndex().urlModified(catNo, urlNo, stored, description, oldAddress);
    if (m_urlCategory == catNo)
        m_urls->renameNumber(urlNo, stored, &oldAddress);
    return change;
}

ImportResult UserData::importBookmarks(const ImportPlan &plan,
                                       const std::function<void(int, int)> &progress) {
    if (IoError held = heldBack(); held.failed())
        return Refused<ImportResult>(held);
    ImportResult result = ImportCategories(userNo(), stamp(), plan, progress);
    if (!result.changed)
        return result;
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
    m_categoriesShown->showEvery();
    m_categories->clear();
    clearUrls();
    changingIndex().clear();
}

} // namespace modMain

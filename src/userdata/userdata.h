#pragma once

#include "bookmarks/importwrite.h"
#include "storage/ioerror.h"
#include "userdata/findindex.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The signed-in user's data, as the program holds it while the user works:
// the categories (one model, which the four category lists show through
// faces), the URLs of one category (one model, which the three URL lists
// show), and the index the Find URL menu and the "already saved" hints read.
// These copies follow the files, and nothing but this class changes them:
// each change below runs its transaction on the files and, when the files
// changed, brings every copy in step once, before it hands the outcome back.
// The windows' procedures read their input from the controls and call these;
// the handlers only report the outcome and move the focus.
//
// Which user: the session's UserNo and PassStamp (the module's variables,
// which the sign-in window sets). forget() signs the user out here: the
// session is reset and every copy emptied, its texts wiped.
//
// One rule decides what the lists and the index hold, the rule of the last
// record of the category index as loading finds it at sign-in. When that
// record is the user's own, the three category lists that share
// categoriesShown() hold every category the user owns; when it is another
// password's, they hold only the categories added since, and only cmbCatDel
// lists the user's own. The index holds the categories of those three
// lists, whenever it is built: the categories Find lists are those the URL
// screens can choose, and a category added or deleted later changes both
// alike, whichever record is last by then.
namespace modMain {

class ListFace;
class SortedListModel;

class UserData : public QObject {
    Q_OBJECT
public:
    explicit UserData(QObject *parent = nullptr);
    ~UserData() override;

    // The signed-in user's number and owner stamp (0 and "" when nobody is).
    static int userNo();
    static QString stamp();

    // The categories of the user (all those the user owns), and the face of
    // them that the lists other than cmbCatDel show (see above).
    SortedListModel *categories() const { return m_categories; }
    ListFace *categoriesShown() const { return m_categoriesShown; }
    // The URLs of one category, and which: -1 when the model holds none.
    SortedListModel *urls() const { return m_urls; }
    int urlCategory() const { return m_urlCategory; }

    // The index, for searches and look-ups. It is built at its first use
    // (buildIndex); until then it holds nothing.
    const FindIndex &index() const { return m_index; }
    // The URLs of the index for what the user typed (see FindIndex::find).
    QList<FindIndex::Hit> find(const QString &text) { return m_index.find(text); }

    // ---- Loads: they change no file the user asked for ----

    // What loading the categories found.
    struct CategoriesLoaded {
        IoError error;         // a failure, or the warning of an index made now
        bool hasData = false;  // the index holds records
        bool lastOwned = true; // the last record is the user's own
    };
    // Reads the category index into the categories (creating an empty index
    // when there is none), and applies the rule of the last record to the
    // lists.
    CategoriesLoaded loadCategories();

    // What loading a category's URLs found.
    struct UrlsLoaded {
        IoError error;   // a failure, or the warning of a URL file made now
        int foreign = 0; // the records of another password, left out
    };
    // Reads the URLs of category `catNo` (named `name`: damaged categories
    // share number 0) into the URL model; -1 (no category chosen) empties it.
    UrlsLoaded loadUrls(int catNo, const QString &name);
    // Empties the URL model.
    void clearUrls();

    // Reads the index when it is not built yet (and somebody is signed in);
    // the first file that could not be read, for the caller to report once.
    IoError buildIndex();

    // ---- Changes: each one transaction, the copies brought in step after ----

    // Adds category `name` (trimmed); `number` of the outcome is its number.
    Change addCategory(const QString &name);
    // Renames category `catNo`, now named `oldName`, to `name` (trimmed).
    Change renameCategory(int catNo, const QString &oldName, const QString &name);
    // Deletes category `catNo` (named `name`) with all its URLs.
    Change deleteCategory(int catNo, const QString &name);

    // Adds a URL to category `catNo`: `address` typed (trimmed, in any form:
    // it is stored in its stored form), `description` as typed (line breaks
    // as CR LF). `number` of the outcome is the URL's number.
    Change addUrl(int catNo, const QString &address, const QString &description);
    // Deletes URL `urlNo` of category `catNo`, the one holding `address` as
    // stored (a file can hold a number twice).
    Change deleteUrl(int catNo, int urlNo, const QString &address);
    // Changes URL `urlNo` of category `catNo` (the one holding `oldAddress`
    // as stored) to `address` (typed, trimmed) and, when given, the
    // description (as typed; without one the stored one stays).
    Change modifyUrl(int catNo, int urlNo, const QString &oldAddress, const QString &address,
                     const std::optional<QString> &description);

    // Writes an import of bookmarks (see ImportCategories); the new
    // categories join the lists and their URLs the index.
    ImportResult importBookmarks(const ImportPlan &plan,
                                 const std::function<void(int done, int total)> &progress = {});

    // Signing out: the session is reset, and the lists and the index are
    // emptied (the index's texts wiped).
    void forget();

signals:
    // The index is about to change: whatever names its URLs (a list of
    // URLs found) lets go of them now.
    void indexChanging();

private:
    // The index, to change it: indexChanging() is emitted first.
    FindIndex &changingIndex();

    // The refusal of every change while an earlier change of several files
    // is not finished: in full the first time in a sign-in, in short after.
    IoError heldBack();
    bool m_toldUnfinished = false;

    SortedListModel *m_categories;
    ListFace *m_categoriesShown;
    SortedListModel *m_urls;
    int m_urlCategory = -1;
    QString m_urlCategoryName;
    FindIndex m_index;
};

} // namespace modMain

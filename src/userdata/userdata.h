#pragma once

#include "bookmarks/importwrite.h"
#include "storage/ioerror.h"
#include "trash/trashfile.h"
#include "userdata/findindex.h"
#include "userdata/takeback.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
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
    // Deletes category `catNo` (named `name`) with all its URLs: they go to
    // the Trash, together, in one transaction.
    Change deleteCategory(int catNo, const QString &name);

    // Adds a URL to category `catNo`: `address` typed (trimmed, in any form:
    // it is stored in its stored form), `description` as typed (line breaks
    // as CR LF). `number` of the outcome is the URL's number.
    Change addUrl(int catNo, const QString &address, const QString &description);
    // Deletes URL `urlNo` of category `catNo`, the one holding `address` as
    // stored (a file can hold a number twice): it goes to the Trash.
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

    // ---- The Trash ----

    // Puts Trash item `id` back where it came from (see RestoreTrashItem);
    // the lists and the index take it in. `*renumbered` (when given) tells
    // whether it came back under another number.
    Change restoreFromTrash(qint64 id, bool *renumbered = nullptr);
    // What the user's Trash holds (see ReadTrash).
    IoError readTrash(QList<TrashItem> *items) const;
    // Deletes every item of the user's Trash for good; the outcome's number
    // is how many went.
    Change emptyTrash();
    // At sign-in: the items older than 30 days go for good (PurgeOldTrash).
    Change purgeTrash();
    // The categories of the copies of `address` (as stored, compared as a
    // browser opens it) that the Trash holds, each named once, in the
    // order they were deleted. The Trash is read at the first look-up after
    // it changed.
    QStringList trashedIn(const QString &address);

    // ---- Undo and redo ----
    //
    // Every change above made in this sign-in (adding, deleting or changing
    // a URL; adding, renaming or deleting a category; an import) is kept, newest last,
    // with what takes it back: the inverse change, made through the same
    // transactions (a delete is taken back by restoring its Trash item, an
    // add by removing the record again, a change of a record by putting its
    // old line back, byte for byte). Taking a change back is itself a
    // change, which redo makes again. A new change forgets what was taken
    // back; the history ends at sign-out.

    // At most this many changes are kept.
    static constexpr int kHistorySteps = 100;

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // What the next undo or redo would take back or make again, as the
    // status line names it ("Delete URL news.example.com (Work)"); "" for
    // none.
    QString undoName() const;
    QString redoName() const;

    // Takes back the newest change kept (redo makes again the newest one
    // taken back). `name` receives what it was. A change that fails or is
    // refused stays where it was.
    Change undo(QString *name = nullptr);
    Change redo(QString *name = nullptr);

    // Signing out: the session is reset, and the lists and the index are
    // emptied (the index's texts wiped); the history ends.
    void forget();

signals:
    // The index is about to change: whatever names its URLs (a list of
    // URLs found) lets go of them now.
    void indexChanging();

private:
    // One change kept for undo and redo (see above).
    struct Step {
        enum class Kind {
            AddUrl,
            DeleteUrl,
            ModifyUrl,
            AddCategory,
            RenameCategory,
            DeleteCategory,
            Import
        };
        Kind kind = Kind::AddUrl;
        int catNo = 0;
        QString catName; // the category's name (after a rename: the new one)
        int urlNo = 0;
        QString address;      // the URL's address as stored (after a change: the new one)
        QString oldAddress;   // a changed URL's address before
        QString oldName;      // a renamed category's name before
        QByteArray line;      // an added record's line; a changed URL's line after
        QByteArray oldLine;   // a changed URL's line before
        qint64 trashItem = 0; // a delete: its Trash item
        // An import: what it added, and the records' lines by file.
        std::shared_ptr<ImportResult> imported;
        std::shared_ptr<AppendedRecords> records;
    };

    // The index, to change it: indexChanging() is emitted first.
    FindIndex &changingIndex();

    // The refusal of every change while an earlier change of several files
    // is not finished: in full the first time in a sign-in, in short after.
    IoError heldBack();
    bool m_toldUnfinished = false;

    // The name of category `catNo`, as the lists hold it.
    QString categoryName(int catNo) const;

    // Keeps a change made now: what was taken back is forgotten.
    void keep(Step step);
    // Makes `step` again (`forward`) or takes it back, through the same
    // transactions as the changes above; the copies follow.
    Change apply(Step &step, bool forward);
    static QString stepName(const Step &step);
    // The refusal of category name `name` when another category has it by
    // now (`current`, the category's own name, aside).
    IoError nameTaken(const QString &name, const QString &current) const;

    // The copies brought in step after a change of the files.
    void urlInserted(int catNo, int urlNo, const QString &address, const QString &description);
    void urlRemoved(int catNo, int urlNo, const QString &address);
    void urlChanged(int catNo, int urlNo, const QString &oldAddress, const QString &address,
                    const std::optional<QString> &description);
    void categoryInserted(int catNo, const QString &name);
    void categoryRenamed(int catNo, const QString &oldName, const QString &name);
    void categoryRemoved(int catNo, const QString &name);

    // Does the work of the changes above, kept or not.
    Change trashUrl(int catNo, int urlNo, const QString &address, qint64 *item);
    Change trashCategory(int catNo, const QString &name, qint64 *item);
    Change restore(qint64 id, int *number, bool *renumbered);

    SortedListModel *m_categories;
    ListFace *m_categoriesShown;
    SortedListModel *m_urls;
    int m_urlCategory = -1;
    QString m_urlCategoryName;
    FindIndex m_index;
    // The Trash's copies as trashedIn looks them up: each address's
    // identity and its category; read again after the Trash changed.
    struct TrashCopy {
        QString identity;
        QString category;
    };
    std::optional<QList<TrashCopy>> m_trashCopies;
    std::deque<Step> m_undo; // newest last
    std::deque<Step> m_redo; // newest last
};

} // namespace modMain

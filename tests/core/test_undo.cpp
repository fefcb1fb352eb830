// Undo and redo on the user's data: every kind of change taken back leaves
// the files byte for byte as before it, and the lists and the index as a
// fresh sign-in reads them; redo makes it again; the history holds more than
// twenty steps each way and ends at sign-out.

#include "userdata/userdata.h"

#include "accounts/accountfile.h"
#include "bookmarks/importplan.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "trash/trashfile.h"
#include "urls/urlfile.h"
#include "userdata/findindex.h"
#include "userdata/sortedlist.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QMap>
#include <QTemporaryDir>

#include <functional>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");

template <typename List> QStringList entries(const List *list) {
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << QStringLiteral("%1=%2").arg(list->numberAt(row)).arg(list->textAt(row));
    return out;
}

QStringList found(FindIndex &index, const QString &text) {
    QStringList out;
    for (const FindIndex::Hit hit : index.find(text))
        out << QStringLiteral("%1 (%2)").arg(index.address(hit), index.categoryName(hit));
    return out;
}

// User 1 signed in with "pw1", with "Work" (1) holding news.example.com and
// mail.example.com, and "Home" (2) holding garden.example.org; the lists of
// Work shown and the index built.
class UndoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        UserNo = 1;
        PassStamp = MakePassStamp(kMine);
        ASSERT_TRUE(AppendCategory(1, QStringLiteral("Work"), PassStamp).changed);
        ASSERT_TRUE(AppendCategory(1, QStringLiteral("Home"), PassStamp).changed);
        url(1, "news.example.com", "Morning paper");
        url(1, "mail.example.com", "Post");
        url(2, "garden.example.org", "Seeds");
        ASSERT_FALSE(data.loadCategories().error.failed());
        ASSERT_FALSE(data.loadUrls(1, QStringLiteral("Work")).error.failed());
        ASSERT_FALSE(data.buildIndex().failed());
    }
    void TearDown() override {
        ResetSession();
        SetProgramFolder(QString());
    }
    static void url(int catNo, const char *address, const char *description) {
        ASSERT_TRUE(AppendUrl(UrlFilePath(1, catNo), QString::fromLatin1(address),
                              QString::fromLatin1(description), PassStamp)
                        .changed);
    }

    // The files of the user's folder that hold anything; `withTrash` false
    // leaves the Trash out.
    QMap<QString, QByteArray> files(bool withTrash = true) const {
        QMap<QString, QByteArray> out;
        const QString folder = UserFolderPath(1);
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            const QByteArray bytes = FileBytes(JoinPath(folder, name));
            if (!bytes.isEmpty() && (withTrash || name != kTrashName))
                out.insert(name, bytes);
        }
        return out;
    }

    // The lists and the index as they stand, against a fresh sign-in's.
    void expectAsReadAfresh() {
        UserData fresh;
        ASSERT_FALSE(fresh.loadCategories().error.failed());
        ASSERT_FALSE(fresh.loadUrls(1, QStringLiteral("Work")).error.failed());
        ASSERT_FALSE(fresh.buildIndex().failed());
        EXPECT_EQ(entries(data.categories()), entries(fresh.categories()));
        if (data.urlCategory() == 1) {
            EXPECT_EQ(entries(data.urls()), entries(fresh.urls()));
        }
        ASSERT_FALSE(data.buildIndex().failed());
        EXPECT_EQ(found(const_cast<FindIndex &>(data.index()), QStringLiteral("example")),
                  found(const_cast<FindIndex &>(fresh.index()), QStringLiteral("example")));
    }

    QTemporaryDir dir;
    UserData data;
};

struct UndoCase {
    const char *name;
    std::function<Change(UserData &)> make;
    const char *named; // what the status line names
};

class EveryChangeTakenBack : public UndoTest, public ::testing::WithParamInterface<UndoCase> {};

TEST_P(EveryChangeTakenBack, LeavesTheFilesAsBeforeAndRedoMakesItAgain) {
    const QMap<QString, QByteArray> before = files();
    const Change change = GetParam().make(data);
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    const QMap<QString, QByteArray> after = files(false);
    ASSERT_TRUE(data.canUndo());
    EXPECT_EQ(data.undoName(), QString::fromLatin1(GetParam().named));

    QString name;
    const Change undone = data.undo(&name);
    ASSERT_TRUE(undone.changed) << undone.error.message().toStdString();
    EXPECT_FALSE(undone.failed()) << undone.error.message().toStdString();
    EXPECT_EQ(name, QString::fromLatin1(GetParam().named));
    EXPECT_EQ(files(), before);
    expectAsReadAfresh();
    EXPECT_FALSE(data.canUndo());
    ASSERT_TRUE(data.canRedo());
    EXPECT_EQ(data.redoName(), QString::fromLatin1(GetParam().named));

    name.clear();
    const Change redone = data.redo(&name);
    ASSERT_TRUE(redone.changed) << redone.error.message().toStdString();
    EXPECT_EQ(name, QString::fromLatin1(GetParam().named));
    EXPECT_EQ(files(false), after);
    expectAsReadAfresh();
    EXPECT_FALSE(data.canRedo());

    // And back once more: an undo of a redo is an undo like any other.
    ASSERT_TRUE(data.undo().changed);
    EXPECT_EQ(files(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Undo, EveryChangeTakenBack,
    ::testing::Values(
        UndoCase{"add_url",
                 [](UserData &d) {
                     return d.addUrl(1, QStringLiteral("new.example.com"),
                                     QStringLiteral("Two\r\nlines"));
                 },
                 "Add URL new.example.com (Work)"},
        UndoCase{"delete_url",
                 [](UserData &d) { return d.deleteUrl(1, 1, QStringLiteral("news.example.com")); },
                 "Delete URL news.example.com (Work)"},
        UndoCase{"modify_url",
                 [](UserData &d) {
                     return d.modifyUrl(1, 1, QStringLiteral("news.example.com"),
                                        QStringLiteral("paper.example.com"),
                                        QStringLiteral("Evening paper"));
                 },
                 "Modify URL paper.example.com (Work)"},
        UndoCase{"modify_url_keeping_its_description",
                 [](UserData &d) {
                     return d.modifyUrl(1, 2, QStringLiteral("mail.example.com"),
                                        QStringLiteral("post.example.com"), std::nullopt);
                 },
                 "Modify URL post.example.com (Work)"},
        UndoCase{"add_category", [](UserData &d) { return d.addCategory(QStringLiteral("Games")); },
                 "Add Category Games"},
        UndoCase{"rename_category",
                 [](UserData &d) {
                     return d.renameCategory(2, QStringLiteral("Home"), QStringLiteral("House"));
                 },
                 "Rename Category Home to House"},
        UndoCase{"delete_category_shown",
                 [](UserData &d) { return d.deleteCategory(1, QStringLiteral("Work")); },
                 "Delete Category Work"},
        UndoCase{"delete_category",
                 [](UserData &d) { return d.deleteCategory(2, QStringLiteral("Home")); },
                 "Delete Category Home"},
        UndoCase{"import",
                 [](UserData &d) -> Change {
                     return d.importBookmarks(
                         {PlannedCategory{QStringLiteral("Travel"),
                                          0,
                                          {{QStringLiteral("trains.example.net"),
                                            QStringLiteral("Timetables")}}},
                          PlannedCategory{QStringLiteral("Work"),
                                          1,
                                          {{QStringLiteral("intranet.example.com"),
                                            QStringLiteral("Reports")}}}});
                 },
                 "Import Bookmarks (2 URL's)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(UndoTest, TakesBackMoreThanTwentyStepsEachWay) {
    const QMap<QString, QByteArray> before = files();
    constexpr int kSteps = 25;
    for (int i = 0; i < kSteps; ++i)
        ASSERT_TRUE(data.addUrl(2, QStringLiteral("site%1.example").arg(i), QString()).changed);
    ASSERT_TRUE(data.deleteCategory(1, QStringLiteral("Work")).changed);
    const QMap<QString, QByteArray> after = files(false);
    for (int i = 0; i <= kSteps; ++i) {
        const Change undone = data.undo();
        ASSERT_TRUE(undone.changed) << i << ": " << undone.error.message().toStdString();
    }
    EXPECT_FALSE(data.canUndo());
    EXPECT_EQ(files(), before);
    for (int i = 0; i <= kSteps; ++i)
        ASSERT_TRUE(data.redo().changed) << i;
    EXPECT_EQ(files(false), after);
    expectAsReadAfresh();
}

TEST_F(UndoTest, ANewChangeForgetsWhatWasTakenBack) {
    ASSERT_TRUE(data.addCategory(QStringLiteral("Games")).changed);
    ASSERT_TRUE(data.undo().changed);
    ASSERT_TRUE(data.canRedo());
    ASSERT_TRUE(data.addUrl(1, QStringLiteral("x.example"), QString()).changed);
    EXPECT_FALSE(data.canRedo());
    EXPECT_EQ(data.redoName(), QString());
    EXPECT_FALSE(data.redo().changed);
}

TEST_F(UndoTest, SignOutEndsTheHistory) {
    ASSERT_TRUE(data.addCategory(QStringLiteral("Games")).changed);
    ASSERT_TRUE(data.addCategory(QStringLiteral("Books")).changed);
    ASSERT_TRUE(data.undo().changed);
    data.forget();
    EXPECT_FALSE(data.canUndo());
    EXPECT_FALSE(data.canRedo());
    EXPECT_EQ(data.undoName(), QString());
}

// A delete taken back after its item left the Trash another way is refused,
// and stays to be tried again.
TEST_F(UndoTest, AnUndoWhoseTrashItemIsGoneIsRefused) {
    ASSERT_TRUE(data.deleteUrl(1, 2, QStringLiteral("mail.example.com")).changed);
    ASSERT_TRUE(EmptyTrash(1, PassStamp).changed);
    const QMap<QString, QByteArray> before = files();
    const Change undone = data.undo();
    EXPECT_FALSE(undone.changed);
    EXPECT_EQ(undone.error.message(),
              QStringLiteral("Sorry, that item is no longer in the Trash, so nothing was "
                             "restored."));
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(data.canUndo());
}

} // namespace

namespace {

// The "already saved" hints name the categories whose copies only the Trash
// holds: a URL deleted alone, or one that went with its category.
TEST_F(UndoTest, TheTrashsCopiesAreFoundAsABrowserOpensThem) {
    EXPECT_EQ(data.trashedIn(QStringLiteral("news.example.com")), QStringList());
    ASSERT_TRUE(data.deleteUrl(1, 1, QStringLiteral("news.example.com")).changed);
    ASSERT_TRUE(data.deleteCategory(2, QStringLiteral("Home")).changed);
    EXPECT_EQ(data.trashedIn(QStringLiteral("http://NEWS.example.com:80/")), QStringList{"Work"});
    EXPECT_EQ(data.trashedIn(QStringLiteral("garden.example.org")), QStringList{"Home"});
    EXPECT_EQ(data.trashedIn(QStringLiteral("mail.example.com")), QStringList());
    ASSERT_TRUE(data.undo().changed);
    EXPECT_EQ(data.trashedIn(QStringLiteral("garden.example.org")), QStringList());
    // Find lists only what the files hold.
    ASSERT_FALSE(data.buildIndex().failed());
    EXPECT_EQ(found(const_cast<FindIndex &>(data.index()), QStringLiteral("garden")),
              QStringList{"garden.example.org (Home)"});
    EXPECT_EQ(found(const_cast<FindIndex &>(data.index()), QStringLiteral("news")), QStringList());
}

} // namespace

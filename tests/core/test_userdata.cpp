#include "userdata/userdata.h"

#include "accounts/accountfile.h"
#include "bookmarks/importplan.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/findindex.h"
#include "userdata/sortedlist.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <functional>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");
const QString kOther = QStringLiteral("other");

// "number=text" of every entry of a list face or model, in list order.
template <typename List> QStringList entries(const List *list) {
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << QStringLiteral("%1=%2").arg(list->numberAt(row)).arg(list->textAt(row));
    return out;
}

// "address (Category)" of every URL an index finds for `text`.
QStringList found(FindIndex &index, const QString &text) {
    QStringList out;
    for (const FindIndex::Hit hit : index.find(text))
        out << QStringLiteral("%1 (%2)").arg(index.address(hit), index.categoryName(hit));
    return out;
}

// Counts the index's change notices of a user's data.
struct ChangeNotices {
    explicit ChangeNotices(UserData &data) {
        QObject::connect(&data, &UserData::indexChanging, [this] { ++count; });
    }
    int count = 0;
};

// User 1 signed in with password "pw1" in a program folder of its own, with
// two categories of the user's, "Work" (1) and "Home" (2), and a URL in each.
class UserDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        UserNo = 1;
        PassStamp = MakePassStamp(kMine);
        category(QStringLiteral("Work"));
        category(QStringLiteral("Home"));
        url(1, QStringLiteral("news.example.com"), QStringLiteral("Morning paper"));
        url(2, QStringLiteral("garden.example.org"), QStringLiteral("Seeds"));
    }
    void TearDown() override {
        ResetSession();
        SetProgramFolder(QString());
    }

    static void category(const QString &name, const QString &password = kMine) {
        ASSERT_TRUE(AppendCategory(1, name, MakePassStamp(password)).changed);
    }
    static void url(int catNo, const QString &address, const QString &description) {
        ASSERT_TRUE(
            AppendUrl(UrlFilePath(1, catNo), address, description, MakePassStamp(kMine)).changed);
    }

    // What the index of `data` finds for "example", against an index built
    // afresh from the files for the categories the lists show.
    static void expectIndexAsBuiltAfresh(UserData &data) {
        QList<ListEntry> shown;
        for (int row = 0; row < data.categoriesShown()->count(); ++row)
            shown.append(
                {data.categoriesShown()->textAt(row), data.categoriesShown()->numberAt(row)});
        FindIndex fresh;
        ASSERT_FALSE(fresh.build(UserFolderPath(1), PassStamp, shown).failed());
        FindIndex &kept = const_cast<FindIndex &>(data.index());
        EXPECT_EQ(found(kept, QStringLiteral("example")), found(fresh, QStringLiteral("example")));
        EXPECT_EQ(kept.categoryCount(), fresh.categoryCount());
    }

    QTemporaryDir dir;
};

// Every change, made through the user's data: the files, the lists and the
// index all hold it afterwards, as a second sign-in reads them.
struct ChangeCase {
    const char *name;
    std::function<Change(UserData &)> make;
    QStringList categories; // the categories listed afterwards
    QStringList urls;       // the URLs of category 1 listed afterwards
};

class EveryChange : public UserDataTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(EveryChange, KeepsTheListsAndTheIndexInStepWithTheFiles) {
    UserData data;
    ASSERT_FALSE(data.loadCategories().error.failed());
    ASSERT_FALSE(data.loadUrls(1, QStringLiteral("Work")).error.failed());
    ASSERT_FALSE(data.buildIndex().failed());
    ChangeNotices changing(data);

    const Change change = GetParam().make(data);
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    EXPECT_GE(changing.count, 1); // whoever names the index's URLs lets go first
    EXPECT_EQ(entries(data.categories()), GetParam().categories);
    EXPECT_EQ(entries(data.categoriesShown()), GetParam().categories);
    EXPECT_EQ(entries(data.urls()), GetParam().urls);
    expectIndexAsBuiltAfresh(data);

    // A second sign-in reads the same from the files.
    UserData again;
    ASSERT_FALSE(again.loadCategories().error.failed());
    ASSERT_FALSE(again.loadUrls(1, QStringLiteral("Work")).error.failed());
    EXPECT_EQ(entries(again.categories()), GetParam().categories);
    EXPECT_EQ(entries(again.urls()), GetParam().urls);
}

// Every change waits while the journal of an earlier change cut short is
// still there (its recovery kept it): nothing is written, the lists stay,
// and the refusal says so, in full the first time in a sign-in and in short
// after that; a new sign-in says it in full again.
TEST_P(EveryChange, WaitsWhileAnEarlierChangeIsNotFinished) {
    UserData data;
    ASSERT_FALSE(data.loadCategories().error.failed());
    ASSERT_FALSE(data.loadUrls(1, QStringLiteral("Work")).error.failed());
    const QString journal = dir.filePath(QStringLiteral("USR1/wayfile.journal"));
    {
        QFile file(journal);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(dir.filePath(QStringLiteral("USR1"))).entryList(QDir::Files)) {
        QFile file(dir.filePath(QStringLiteral("USR1/") + name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        files.insert(name, file.readAll());
    }
    const QString full =
        QStringLiteral("Your change was not made: an earlier change of your files was cut short "
                       "and is not finished yet (it is recorded in \"%1\"). Please close Wayfile "
                       "and start it again, so that it can finish that change first; if another "
                       "copy of Wayfile is running, close that one too. Should this message come "
                       "back after the new start, see the message Wayfile shows when you sign in.")
            .arg(journal);
    const QString again = QStringLiteral("Your change was not made: the earlier change that was "
                                         "cut short is still not finished. Please close Wayfile "
                                         "and start it again.");

    for (const QString &expected : {full, again, again}) {
        const Change change = GetParam().make(data);
        EXPECT_FALSE(change.changed);
        EXPECT_EQ(change.error.message(), expected);
    }
    data.forget(); // signed out: the next sign-in is told in full
    UserNo = 1;
    PassStamp = MakePassStamp(kMine);
    ASSERT_FALSE(data.loadCategories().error.failed());
    EXPECT_EQ(GetParam().make(data).error.message(), full);

    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(dir.filePath(QStringLiteral("USR1/") + it.key()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), it.value()) << it.key().toStdString();
    }
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("USR1"))).entryList(QDir::Files).size(),
              files.size());
    EXPECT_EQ(entries(data.categories()), (QStringList{"2=Home", "1=Work"}));
}

ImportPlan travelPlan() {
    return {PlannedCategory{QStringLiteral("Travel"),
                            0,
                            {{QStringLiteral("trains.example.net"), QStringLiteral("Timetables")}}},
            PlannedCategory{QStringLiteral("Work"),
                            1,
                            {{QStringLiteral("intranet.example.com"), QStringLiteral("Reports")}}}};
}

INSTANTIATE_TEST_SUITE_P(
    UserData, EveryChange,
    ::testing::Values(
        ChangeCase{"add_category",
                   [](UserData &d) { return d.addCategory(QStringLiteral("Travel")); },
                   {"2=Home", "3=Travel", "1=Work"},
                   {"1=news.example.com"}},
        ChangeCase{"rename_category",
                   [](UserData &d) {
                       return d.renameCategory(1, QStringLiteral("Work"), QStringLiteral("Job"));
                   },
                   {"2=Home", "1=Job"},
                   {"1=news.example.com"}},
        ChangeCase{"delete_category",
                   [](UserData &d) { return d.deleteCategory(1, QStringLiteral("Work")); },
                   {"2=Home"},
                   {}},
        ChangeCase{"add_url",
                   [](UserData &d) {
                       return d.addUrl(1, QStringLiteral("b.example.com/caf\u00e9"),
                                       QStringLiteral("Two\r\nlines"));
                   },
                   {"2=Home", "1=Work"},
                   {"2=b.example.com/caf%C3%A9", "1=news.example.com"}},
        ChangeCase{
            "delete_url",
            [](UserData &d) { return d.deleteUrl(1, 1, QStringLiteral("news.example.com")); },
            {"2=Home", "1=Work"},
            {}},
        ChangeCase{"modify_url",
                   [](UserData &d) {
                       return d.modifyUrl(1, 1, QStringLiteral("news.example.com"),
                                          QStringLiteral("papers.example.com"),
                                          QStringLiteral("Evening paper"));
                   },
                   {"2=Home", "1=Work"},
                   {"1=papers.example.com"}},
        ChangeCase{"import",
                   [](UserData &d) { return Change(d.importBookmarks(travelPlan())); },
                   {"2=Home", "3=Travel", "1=Work"},
                   {"2=intranet.example.com", "1=news.example.com"}}),
    [](const ::testing::TestParamInfo<ChangeCase> &info) { return std::string(info.param.name); });

// A change refused changes no copy.
TEST_F(UserDataTest, ARefusedChangeLeavesEveryCopyAsItWas) {
    UserData data;
    data.loadCategories();
    data.loadUrls(1, QStringLiteral("Work"));
    ASSERT_FALSE(data.buildIndex().failed());
    ChangeNotices changing(data);
    const Change change = data.addCategory(QStringLiteral("HOME"));
    EXPECT_TRUE(change.error.is(IoError::Kind::NameTaken));
    EXPECT_FALSE(data.addUrl(1, QStringLiteral("a.example.com"), QStringLiteral("*QVX*")).changed);
    EXPECT_EQ(changing.count, 0);
    EXPECT_EQ(entries(data.categories()), (QStringList{"2=Home", "1=Work"}));
    EXPECT_EQ(entries(data.urls()), QStringList{"1=news.example.com"});
}

// The import hands back what it wrote, so that nothing is read again.
TEST_F(UserDataTest, TheImportHandsBackItsNumbers) {
    const ImportResult result = ImportCategories(1, PassStamp, travelPlan());
    ASSERT_TRUE(result.changed);
    EXPECT_EQ(result.urlsWritten, 2);
    ASSERT_EQ(result.categoriesAdded.size(), 1);
    EXPECT_EQ(result.categoriesAdded[0].text, QStringLiteral("Travel"));
    EXPECT_EQ(result.categoriesAdded[0].number, 3);
    ASSERT_EQ(result.urlsAdded.size(), 2);
    EXPECT_EQ(result.urlsAdded[0].category, 3);
    EXPECT_EQ(result.urlsAdded[0].urls[0].number, 1);
    EXPECT_EQ(result.urlsAdded[1].category, 1);
    EXPECT_EQ(result.urlsAdded[1].urls[0].number, 2); // after news.example.com
    EXPECT_EQ(result.urlsAdded[1].urls[0].address, QStringLiteral("intranet.example.com"));
}

// After the owner message (the last record is another password's) the lists
// other than cmbCatDel hold only the categories added since, and the index
// holds just those, whenever it is built: once a category was added, the
// index's last record is the user's, and an index built from the file's
// last record alone would hold every category.
TEST_F(UserDataTest, TheIndexHoldsWhatTheListsShowAfterTheOwnerMessage) {
    category(QStringLiteral("Fun"), kOther);
    UserData data;
    const UserData::CategoriesLoaded loaded = data.loadCategories();
    EXPECT_FALSE(loaded.lastOwned);
    EXPECT_EQ(entries(data.categories()), (QStringList{"2=Home", "1=Work"}));
    EXPECT_EQ(entries(data.categoriesShown()), QStringList());

    ASSERT_TRUE(data.addCategory(QStringLiteral("Travel")).changed);
    ASSERT_TRUE(data.addUrl(4, QStringLiteral("trains.example.net"), QString()).changed);
    EXPECT_EQ(entries(data.categoriesShown()), QStringList{"4=Travel"});
    ASSERT_FALSE(data.buildIndex().failed());
    FindIndex &index = const_cast<FindIndex &>(data.index());
    EXPECT_EQ(found(index, QStringLiteral("example")), QStringList{"trains.example.net (Travel)"});
}

// The user's last category deleted, another password's record is the last
// one: the lists keep the user's other categories, and so does an index
// built afterwards.
TEST_F(UserDataTest, TheIndexKeepsWhatTheListsShowWhenTheLastRecordChangesOwner) {
    category(QStringLiteral("Fun"), kOther);
    category(QStringLiteral("Travel"));
    UserData data;
    EXPECT_TRUE(data.loadCategories().lastOwned);
    ASSERT_TRUE(data.deleteCategory(4, QStringLiteral("Travel")).changed);
    EXPECT_EQ(entries(data.categoriesShown()), (QStringList{"2=Home", "1=Work"}));
    ASSERT_FALSE(data.buildIndex().failed());
    FindIndex &index = const_cast<FindIndex &>(data.index());
    EXPECT_EQ(found(index, QStringLiteral("example")),
              (QStringList{"garden.example.org (Home)", "news.example.com (Work)"}));
}

// Loading the categories again (a sign-in) drops an index read before: it
// is read anew, for the categories the lists show now.
TEST_F(UserDataTest, LoadingTheCategoriesAgainReadsTheIndexAnew) {
    UserData data;
    data.loadCategories();
    ASSERT_FALSE(data.buildIndex().failed());
    ASSERT_TRUE(AppendUrl(UrlFilePath(1, 2), QStringLiteral("pumpkins.example.org"), QString(),
                          PassStamp)
                    .changed); // written behind the index's back
    data.loadCategories();
    EXPECT_FALSE(data.index().isBuilt());
    ASSERT_FALSE(data.buildIndex().failed());
    FindIndex &index = const_cast<FindIndex &>(data.index());
    EXPECT_EQ(found(index, QStringLiteral("pumpkins")), QStringList{"pumpkins.example.org (Home)"});
}

// Signing out: the session is reset and every copy emptied.
TEST_F(UserDataTest, ForgetLeavesNothingOfTheUser) {
    UserData data;
    data.loadCategories();
    data.loadUrls(1, QStringLiteral("Work"));
    ASSERT_FALSE(data.buildIndex().failed());
    ChangeNotices changing(data);
    data.forget();
    EXPECT_EQ(UserNo, 0);
    EXPECT_TRUE(PassStamp.isEmpty());
    EXPECT_EQ(data.categories()->count(), 0);
    EXPECT_EQ(data.urls()->count(), 0);
    EXPECT_EQ(data.urlCategory(), -1);
    EXPECT_FALSE(data.index().isBuilt());
    EXPECT_EQ(data.index().memoryBytes(), 0);
    EXPECT_GE(changing.count, 1);
    // Nobody signed in: the index is not read.
    EXPECT_FALSE(data.buildIndex().failed());
    EXPECT_FALSE(data.index().isBuilt());
}

} // namespace

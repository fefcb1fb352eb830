#include "userdata/findindex.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");
const QString kOther = QStringLiteral("other");

// "address (Category)" for every URL found, in result order.
QStringList rows(FindIndex &index, const QString &text) {
    QStringList out;
    for (const FindIndex::Hit hit : index.find(text))
        out << QStringLiteral("%1 (%2)").arg(index.address(hit), index.categoryName(hit));
    return out;
}

// Everything a search shows of the URLs found, numbers included.
QStringList details(FindIndex &index, const QString &text) {
    QStringList out;
    for (const FindIndex::Hit hit : index.find(text))
        out << QStringLiteral("%1/%2 %3 (%4) [%5]")
                   .arg(index.categoryNo(hit))
                   .arg(index.urlNo(hit))
                   .arg(index.address(hit), index.categoryName(hit), index.description(hit));
    return out;
}

// User 1 signed in with password "pw1", in a program folder of its own; the
// files are written by the program's own writers.
class FindIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        UserNo = 1;
        PassStamp = MakePassStamp(kMine);
    }
    void TearDown() override {
        ResetSession();
        SetProgramFolder(QString());
    }

    QString folder() const { return UserFolderPath(1); }

    static void category(int number, const QString &name, const QString &password = kMine) {
        const Change change = AppendCategory(1, name, MakePassStamp(password));
        ASSERT_TRUE(change.changed);
        ASSERT_EQ(change.number, number);
    }
    // Adds a URL as Add URL does (the address in its stored form); returns
    // its number.
    static int url(int catNo, const QString &typed, const QString &description = QString(),
                   const QString &password = kMine) {
        const Change change = AppendUrl(UrlFilePath(1, catNo), StoredAddress(TrimBlanks(typed)),
                                        description, MakePassStamp(password));
        EXPECT_TRUE(change.changed) << change.error.message().toStdString();
        return int(change.number);
    }

    IoError build(FindIndex &index) const { return index.build(folder(), PassStamp); }

    QTemporaryDir dir;
};

// --- The search rules -------------------------------------------------------

// Three categories of two, one and two URLs.
class SearchTest : public FindIndexTest {
protected:
    void SetUp() override {
        FindIndexTest::SetUp();
        category(1, QStringLiteral("Work"));
        category(2, QStringLiteral("Home"));
        category(3, QStringLiteral("Travel"));
        url(1, QStringLiteral("news.example.com"), QStringLiteral("Morning paper"));
        url(1, QStringLiteral("http://intranet.example.com/Reports"),
            QStringLiteral("Quarterly figures"));
        url(2, QStringLiteral("https://garden.example.org"));
        url(2, QStringLiteral("http://www.recipes.example/bread"),
            QStringLiteral("Sourdough starter\r\nfed on Tuesday"));
        url(3, QStringLiteral("http://trains.example.net"),
            QStringLiteral("Timetables for work trips"));
        ASSERT_FALSE(build(index).failed());
    }

    FindIndex index;
};

struct SearchCase {
    const char *name;
    const char *text;
    QStringList expected;
};

class SearchRules : public SearchTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(SearchRules, FindsTheUrlsHoldingEveryWord) {
    EXPECT_EQ(rows(index, QString::fromUtf8(GetParam().text)), GetParam().expected);
}

const QString kBread = QStringLiteral("http://www.recipes.example/bread (Home)");
const QString kGarden = QStringLiteral("https://garden.example.org (Home)");
const QString kTrains = QStringLiteral("http://trains.example.net (Travel)");
const QString kReports = QStringLiteral("http://intranet.example.com/Reports (Work)");
const QString kNews = QStringLiteral("news.example.com (Work)");

INSTANTIATE_TEST_SUITE_P(
    FindIndex, SearchRules,
    ::testing::Values(
        SearchCase{"one_word_in_the_address", "recipes", {kBread}},
        SearchCase{"part_of_a_word", "cipe", {kBread}},
        SearchCase{"every_word_must_occur", "example bread", {kBread}},
        SearchCase{"one_word_missing_finds_nothing", "example zebra", {}},
        SearchCase{"capitals_typed", "REPORTS", {kReports}},
        SearchCase{"small_letters_typed_for_capitals", "reports", {kReports}},
        SearchCase{"mixed_case_typed", "rEpOrTs", {kReports}},
        SearchCase{"word_in_the_description", "sourdough", {kBread}},
        SearchCase{"second_line_of_the_description", "tuesday", {kBread}},
        SearchCase{"category_name_finds_all_its_urls", "home", {kBread, kGarden}},
        SearchCase{"category_name_and_description", "home STARTER", {kBread}},
        SearchCase{"words_in_different_places", "work paper", {kNews}},
        SearchCase{"category_name_or_description", "work", {kTrains, kReports, kNews}},
        SearchCase{"sorted_by_category_then_address",
                   "example",
                   {kBread, kGarden, kTrains, kReports, kNews}},
        SearchCase{"word_never_spans_address_and_description", "breadsourdough", {}},
        SearchCase{"word_never_spans_two_lines", "starterfed", {}},
        SearchCase{"blanks_around_and_between_words", "   bread    example  ", {kBread}},
        SearchCase{"the_same_word_twice", "bread bread", {kBread}},
        SearchCase{"no_match", "zebra", {}}, SearchCase{"empty_box", "", {}},
        SearchCase{"blanks_only", "     ", {}},
        SearchCase{"letters_the_files_cannot_hold", "caf\xc3\xa9", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SearchTest, AHitCarriesItsNumbersAndDescription) {
    EXPECT_EQ(details(index, QStringLiteral("bread")),
              QStringList{QStringLiteral("2/2 http://www.recipes.example/bread (Home) "
                                         "[Sourdough starter\r\nfed on Tuesday]")});
}

TEST_F(SearchTest, TypingLetterByLetterFindsWhatOneSearchFinds) {
    // Typing on narrows the last result, taking letters back goes back to
    // an earlier one; every step must find what a fresh index finds.
    const QStringList typed{
        "w",    "wo",     "wor",      "work",      "work ",      "work t",    "work tr",
        "work", "wor",    "wo",       "w",         "",           "e",         "ex",
        "exa",  "exam",   "example ", "example b", "example ",   "example r", "example re",
        "e re", "ee",     "e",        "home",      "home s",     "home st",   "hom",
        "x",    "xample", "example.", "example.c", "example.co", "xample.co", "tuesday"};
    FindIndex fresh;
    for (const QString &text : typed) {
        ASSERT_FALSE(build(fresh).failed());
        EXPECT_EQ(rows(index, text), rows(fresh, text)) << text.toStdString();
    }
}

TEST_F(FindIndexTest, EqualAddressesAreOrderedByTheirNumbers) {
    category(1, QStringLiteral("Work"));
    url(1, QStringLiteral("b.example"), QStringLiteral("first"));
    url(1, QStringLiteral("a.example"), QStringLiteral("second"));
    url(1, QStringLiteral("b.example"), QStringLiteral("third"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    EXPECT_EQ(details(index, QStringLiteral("example")),
              (QStringList{QStringLiteral("1/2 a.example (Work) [second]"),
                           QStringLiteral("1/1 b.example (Work) [first]"),
                           QStringLiteral("1/3 b.example (Work) [third]")}));
}

TEST_F(FindIndexTest, CategoriesAreOrderedAsTheListsOrderThem) {
    category(1, QStringLiteral("beta"));
    category(2, QStringLiteral("Alpha"));
    category(3, QStringLiteral("alpha2"));
    url(1, QStringLiteral("x.example"));
    url(2, QStringLiteral("x.example"));
    url(3, QStringLiteral("x.example"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    EXPECT_EQ(rows(index, QStringLiteral("x")), (QStringList{QStringLiteral("x.example (Alpha)"),
                                                             QStringLiteral("x.example (alpha2)"),
                                                             QStringLiteral("x.example (beta)")}));
}

// --- The "already saved" look-up ---------------------------------------------

struct AddressPair {
    const char *name;
    const char *stored; // as typed when the URL was added
    const char *typed;  // as typed now
    bool same;
};

class AddressPairs : public FindIndexTest, public ::testing::WithParamInterface<AddressPair> {};

TEST_P(AddressPairs, AreTheSameWhenTheyOpenTheSamePage) {
    category(1, QStringLiteral("Work"));
    url(1, QString::fromUtf8(GetParam().stored));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    const QString typed = QString::fromUtf8(GetParam().typed);
    EXPECT_EQ(index.savedIn(typed),
              GetParam().same ? QStringList{QStringLiteral("Work")} : QStringList());
    EXPECT_EQ(index.holds(1, typed), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    FindIndex, AddressPairs,
    ::testing::Values(
        AddressPair{"the_same_text", "http://example.org/a", "http://example.org/a", true},
        AddressPair{"no_scheme_stored", "example.org", "http://example.org", true},
        AddressPair{"no_scheme_typed", "http://example.org", "example.org", true},
        AddressPair{"scheme_in_capitals", "HTTP://example.org", "http://example.org", true},
        AddressPair{"host_in_capitals", "Example.ORG/a", "http://example.org/a", true},
        AddressPair{"secure_scheme_in_capitals", "HTTPS://EXAMPLE.org", "https://example.org",
                    true},
        AddressPair{"empty_path_and_slash", "example.org", "example.org/", true},
        AddressPair{"query_without_path", "example.org?q=1", "http://example.org/?q=1", true},
        AddressPair{"port_kept", "example.org:8080", "HTTP://EXAMPLE.ORG:8080/", true},
        AddressPair{"blanks_around", "example.org", "   example.org  ", true},
        AddressPair{"letters_outside_the_files", "http://caf\xc3\xa9.example/men\xc3\xbc",
                    "caf\xc3\xa9.example/men\xc3\xbc", true},
        AddressPair{"default_port", "example.org", "http://example.org:80/", true},
        AddressPair{"secure_default_port", "https://example.org:443/a", "https://example.org/a",
                    true},
        AddressPair{"dot_segments", "example.org/a/b/../c/./", "example.org/a/c/", true},
        AddressPair{"backslash_as_slash", "example.org/a/b", "example.org\\a\\b", true},
        AddressPair{"blank_as_browsers_escape_it", "example.org/a%20b", "example.org/a b", true},
        AddressPair{"escaped_host_letters", "example.org", "%65xample.org", true},
        AddressPair{"host_name_escaped", "caf\xc3\xa9.example", "caf%C3%A9.example", true},
        AddressPair{"path_case_counts", "example.org/Path", "example.org/path", false},
        AddressPair{"escape_not_decoded", "example.org/%41", "example.org/A", false},
        AddressPair{"empty_query_counts", "example.org/?", "example.org/", false},
        AddressPair{"secure_and_plain_differ", "https://example.org", "http://example.org", false},
        AddressPair{"www_counts", "www.example.org", "example.org", false},
        AddressPair{"trailing_slash_on_a_path_counts", "example.org/a", "example.org/a/", false},
        AddressPair{"other_port", "example.org:8080", "example.org:8081", false},
        AddressPair{"other_scheme_opens_as_a_path", "ftp://example.org", "example.org", false},
        AddressPair{"part_of_the_address", "example.org/a/b", "example.org/a", false},
        AddressPair{"blank_typed", "example.org", "   ", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FindIndexTest, SavedInNamesEachCategoryOnceInListOrder) {
    category(1, QStringLiteral("Work"));
    category(2, QStringLiteral("Home"));
    category(3, QStringLiteral("Other"));
    url(1, QStringLiteral("example.org"));
    url(2, QStringLiteral("http://example.org/"));
    url(2, QStringLiteral("EXAMPLE.org"));
    url(3, QStringLiteral("example.net"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    EXPECT_EQ(index.savedIn(QStringLiteral("example.org")),
              (QStringList{QStringLiteral("Home"), QStringLiteral("Work")}));
    EXPECT_TRUE(index.holds(2, QStringLiteral("example.org")));
    EXPECT_FALSE(index.holds(3, QStringLiteral("example.org")));
}

// --- What the files hold -------------------------------------------------------

TEST_F(FindIndexTest, RecordsOfAnotherPasswordAreLeftOut) {
    category(1, QStringLiteral("Theirs"), kOther);
    category(2, QStringLiteral("Mine"));
    url(1, QStringLiteral("their.example"));
    url(2, QStringLiteral("mine.example"), QStringLiteral("ok"));
    url(2, QStringLiteral("foreign.example"), QStringLiteral("ok"), kOther);
    url(2, QStringLiteral("mine2.example"), QStringLiteral("ok"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    EXPECT_EQ(rows(index, QStringLiteral("example")),
              (QStringList{QStringLiteral("mine.example (Mine)"),
                           QStringLiteral("mine2.example (Mine)")}));
    EXPECT_EQ(rows(index, QStringLiteral("theirs")), QStringList());
    EXPECT_EQ(index.savedIn(QStringLiteral("foreign.example")), QStringList());
    EXPECT_EQ(index.savedIn(QStringLiteral("their.example")), QStringList());
    EXPECT_EQ(index.urlCount(), 2);
    EXPECT_EQ(index.categoryCount(), 1);
}

TEST_F(FindIndexTest, NoCategoryWhenTheLastIndexRecordIsAnotherPasswords) {
    // The URL screens then list no category, so nothing can be found either.
    category(1, QStringLiteral("Mine"));
    category(2, QStringLiteral("Theirs"), kOther);
    url(1, QStringLiteral("mine.example"));
    FindIndex index;
    EXPECT_FALSE(build(index).failed());
    EXPECT_TRUE(index.isBuilt());
    EXPECT_EQ(rows(index, QStringLiteral("example")), QStringList());
    EXPECT_EQ(index.categoryCount(), 0);
}

TEST_F(FindIndexTest, AnUnreadableUrlFileIsReportedAndTheRestIsFound) {
    category(1, QStringLiteral("Work"));
    category(2, QStringLiteral("Broken"));
    category(3, QStringLiteral("Home"));
    url(1, QStringLiteral("work.example"));
    url(3, QStringLiteral("home.example"));
    const QString broken = UrlFilePath(1, 2);
    ASSERT_TRUE(QDir().mkdir(broken)); // a folder where the file should be
    FindIndex index;
    const IoError err = build(index);
    EXPECT_TRUE(err.failed());
    EXPECT_EQ(err.file, broken);
    EXPECT_EQ(err.action, QStringLiteral("read"));
    EXPECT_TRUE(index.isBuilt());
    EXPECT_EQ(rows(index, QStringLiteral("example")),
              (QStringList{QStringLiteral("home.example (Home)"),
                           QStringLiteral("work.example (Work)")}));
    EXPECT_EQ(index.savedIn(QStringLiteral("home.example")), QStringList{QStringLiteral("Home")});
}

TEST_F(FindIndexTest, AnUnreadableIndexIsReportedAndNothingIsFound) {
    ASSERT_TRUE(QDir().mkdir(JoinPath(folder(), kCategoryIndexName)));
    FindIndex index;
    const IoError err = build(index);
    EXPECT_TRUE(err.failed());
    EXPECT_EQ(err.file, JoinPath(folder(), kCategoryIndexName));
    EXPECT_TRUE(index.isBuilt());
    EXPECT_EQ(index.categoryCount(), 0);
}

TEST_F(FindIndexTest, AVeryLongAddressIsHeldWhole) {
    category(1, QStringLiteral("Work"));
    const QString path = QStringLiteral("/") + QString(100000, u'a') + QStringLiteral("/end");
    url(1, QStringLiteral("short.example"));
    url(1, QStringLiteral("long.example") + path, QStringLiteral("long one"));
    url(1, QStringLiteral("other.example"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    const QList<FindIndex::Hit> hits = index.find(QStringLiteral("aaaa/END"));
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(index.address(hits[0]), QStringLiteral("long.example") + path);
    EXPECT_EQ(index.description(hits[0]), QStringLiteral("long one"));
    EXPECT_EQ(index.savedIn(QStringLiteral("http://LONG.example") + path),
              QStringList{QStringLiteral("Work")});
    EXPECT_EQ(rows(index, QStringLiteral("example")).size(), 3);
}

TEST_F(FindIndexTest, BuildingCreatesNoFile) {
    category(1, QStringLiteral("Empty"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    EXPECT_FALSE(QFileInfo::exists(UrlFilePath(1, 1)));
    EXPECT_EQ(index.categoryCount(), 1);
    EXPECT_EQ(index.urlCount(), 0);

    const QString other = UserFolderPath(2);
    ASSERT_TRUE(QDir().mkdir(other));
    EXPECT_FALSE(index.build(other, PassStamp).failed());
    EXPECT_EQ(QDir(other).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// --- Kept in step with the changes ---------------------------------------------

// What a kept index and one built anew from the files must agree on.
QStringList Everything(FindIndex &index) {
    QStringList out;
    for (const char *probe : {"a", "e", "i", "o", "u", "x", "/", ".", "work", "home", "new"})
        out << QStringLiteral("%1:").arg(QLatin1String(probe))
            << details(index, QLatin1String(probe));
    for (const char *address : {"a.example", "b.example", "c.example", "d.example", "new.example"})
        out << QStringLiteral("saved %1: ").arg(QLatin1String(address)) +
                   index.savedIn(QLatin1String(address)).join(u',');
    return out;
}

struct StepCase {
    const char *name;
    // Changes the files as the change procedure does and tells the index.
    std::function<void(FindIndex &)> change;
    const char *query;    // a search after the change
    QStringList expected; // what it finds
};

class InStep : public FindIndexTest, public ::testing::WithParamInterface<StepCase> {
protected:
    void SetUp() override {
        FindIndexTest::SetUp();
        category(1, QStringLiteral("Work"));
        category(2, QStringLiteral("Home"));
        url(1, QStringLiteral("a.example"), QStringLiteral("alpha"));
        url(1, QStringLiteral("b.example"), QStringLiteral("beta"));
        url(2, QStringLiteral("c.example"), QStringLiteral("gamma"));
        url(2, QStringLiteral("a.example"), QStringLiteral("delta"));
    }
};

TEST_P(InStep, TheKeptIndexEqualsOneBuiltAnew) {
    FindIndex kept;
    ASSERT_FALSE(build(kept).failed());
    // A search before the change, which the next one might narrow.
    kept.find(QStringLiteral("exam"));
    GetParam().change(kept);
    EXPECT_EQ(rows(kept, QString::fromUtf8(GetParam().query)), GetParam().expected);
    FindIndex fresh;
    ASSERT_FALSE(build(fresh).failed());
    EXPECT_EQ(Everything(kept), Everything(fresh));
    EXPECT_EQ(kept.urlCount(), fresh.urlCount());
    EXPECT_EQ(kept.textBytes(), fresh.textBytes());
}

// The changes, made as the change procedures make them.
void AddUrlStep(FindIndex &index) {
    const QString address = StoredAddress(QStringLiteral("new.example"));
    const QString typed = QStringLiteral("  fresh\r\nlines  ");
    const Change change = AppendUrl(UrlFilePath(1, 1), address, typed, PassStamp);
    ASSERT_TRUE(change.changed);
    index.urlAdded(1, int(change.number), address, typed);
}

void AddManyStep(FindIndex &index) {
    QList<FindIndex::NewUrl> added;
    for (const char *a : {"new.example/3", "d.example", "new.example/1"}) {
        const QString address = QString::fromLatin1(a);
        const QString description = QStringLiteral("imported");
        const Change change = AppendUrl(UrlFilePath(1, 2), address, description, PassStamp);
        ASSERT_TRUE(change.changed);
        added.append({int(change.number), address, description});
    }
    index.urlsAdded(2, added);
}

void DeleteUrlStep(FindIndex &index) {
    ASSERT_TRUE(DeleteUrlRecord(UrlFilePath(1, 1), 1).changed);
    index.urlDeleted(1, 1);
}

void ModifyUrlStep(FindIndex &index) {
    const QString address = StoredAddress(QStringLiteral("d.example"));
    const QString typed = QStringLiteral("changed text ");
    ASSERT_TRUE(ReplaceUrlRecord(UrlFilePath(1, 1), 2, address, typed, PassStamp).changed);
    index.urlModified(1, 2, address, typed);
}

void ModifyAddressStep(FindIndex &index) {
    const QString address = StoredAddress(QStringLiteral("d.example"));
    ASSERT_TRUE(ReplaceUrlRecord(UrlFilePath(1, 2), 1, address, std::nullopt, PassStamp).changed);
    index.urlModified(2, 1, address, std::nullopt);
}

void AddCategoryStep(FindIndex &index) {
    const Change added = AppendCategory(1, QStringLiteral("Alpha"), PassStamp);
    ASSERT_TRUE(added.changed);
    ASSERT_EQ(added.number, 3);
    index.categoryAdded(3, QStringLiteral("Alpha"));
    const Change change = AppendUrl(UrlFilePath(1, 3), QStringLiteral("new.example"),
                                    QStringLiteral("first"), PassStamp);
    ASSERT_TRUE(change.changed);
    index.urlAdded(3, int(change.number), QStringLiteral("new.example"), QStringLiteral("first"));
}

void RenameCategoryStep(FindIndex &index) {
    ASSERT_TRUE(RenameCategory(1, 1, QStringLiteral("Archive"), PassStamp).changed);
    index.categoryRenamed(1, QStringLiteral("Archive"));
}

void DeleteCategoryStep(FindIndex &index) {
    ASSERT_TRUE(DeleteCategoryFiles(1, 1).changed);
    index.categoryDeleted(1);
}

INSTANTIATE_TEST_SUITE_P(
    FindIndex, InStep,
    ::testing::Values(
        StepCase{"url_added", AddUrlStep, "fresh", {QStringLiteral("new.example (Work)")}},
        StepCase{"urls_added_at_once",
                 AddManyStep,
                 "imported",
                 {QStringLiteral("d.example (Home)"), QStringLiteral("new.example/1 (Home)"),
                  QStringLiteral("new.example/3 (Home)")}},
        StepCase{"url_deleted", DeleteUrlStep, "alpha", {}},
        StepCase{"url_modified", ModifyUrlStep, "changed", {QStringLiteral("d.example (Work)")}},
        StepCase{"url_address_modified_description_kept",
                 ModifyAddressStep,
                 "gamma",
                 {QStringLiteral("d.example (Home)")}},
        StepCase{"category_added",
                 AddCategoryStep,
                 "example",
                 {QStringLiteral("new.example (Alpha)"), QStringLiteral("a.example (Home)"),
                  QStringLiteral("c.example (Home)"), QStringLiteral("a.example (Work)"),
                  QStringLiteral("b.example (Work)")}},
        StepCase{"category_renamed",
                 RenameCategoryStep,
                 "example",
                 {QStringLiteral("a.example (Archive)"), QStringLiteral("b.example (Archive)"),
                  QStringLiteral("a.example (Home)"), QStringLiteral("c.example (Home)")}},
        StepCase{"category_deleted",
                 DeleteCategoryStep,
                 "example",
                 {QStringLiteral("a.example (Home)"), QStringLiteral("c.example (Home)")}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FindIndexTest, ARenamedCategoryIsFoundByItsNewNameOnly) {
    category(1, QStringLiteral("Work"));
    url(1, QStringLiteral("a.example"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    ASSERT_TRUE(RenameCategory(1, 1, QStringLiteral("Archive"), PassStamp).changed);
    index.categoryRenamed(1, QStringLiteral("Archive"));
    EXPECT_EQ(rows(index, QStringLiteral("work")), QStringList());
    EXPECT_EQ(rows(index, QStringLiteral("archive")),
              QStringList{QStringLiteral("a.example (Archive)")});
    EXPECT_EQ(index.savedIn(QStringLiteral("a.example")), QStringList{QStringLiteral("Archive")});
}

TEST_F(FindIndexTest, ADeletedUrlIsNoLongerSavedAnywhere) {
    category(1, QStringLiteral("Work"));
    const int number = url(1, QStringLiteral("a.example"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    ASSERT_TRUE(DeleteUrlRecord(UrlFilePath(1, 1), number).changed);
    index.urlDeleted(1, number);
    EXPECT_EQ(index.savedIn(QStringLiteral("a.example")), QStringList());
    EXPECT_FALSE(index.holds(1, QStringLiteral("a.example")));
}

TEST_F(FindIndexTest, ManyChangesStayInStepWhileTheTextsAreCopiedTogether) {
    // Enough deletions and rewrites that the dropped texts and slots are
    // reclaimed several times over.
    category(1, QStringLiteral("Work"));
    category(2, QStringLiteral("Home"));
    FindIndex kept;
    ASSERT_FALSE(build(kept).failed());
    const QString description = QStringLiteral("a longer description that fills the buffer up");
    QList<FindIndex::NewUrl> batch;
    for (int i = 0; i < 140; ++i) {
        const QString address = QStringLiteral("http://site%1.example/page").arg(i);
        const Change change = AppendUrl(UrlFilePath(1, 1 + i % 2), address, description, PassStamp);
        ASSERT_TRUE(change.changed);
        if (i % 2)
            kept.urlAdded(2, int(change.number), address, description);
        else
            batch.append({int(change.number), address, description});
    }
    kept.urlsAdded(1, batch);
    for (int n = 1; n <= 50; ++n) {
        ASSERT_TRUE(DeleteUrlRecord(UrlFilePath(1, 1), n).changed);
        kept.urlDeleted(1, n);
        const QString address = QStringLiteral("changed%1.example").arg(n);
        ASSERT_TRUE(
            ReplaceUrlRecord(UrlFilePath(1, 2), n, address, QStringLiteral("new text"), PassStamp)
                .changed);
        kept.urlModified(2, n, address, QStringLiteral("new text"));
        if (n % 20 == 0)
            kept.find(QStringLiteral("site1"));
    }
    ASSERT_TRUE(DeleteCategoryFiles(1, 1).changed);
    kept.categoryDeleted(1);
    FindIndex fresh;
    ASSERT_FALSE(build(fresh).failed());
    for (const char *probe : {"example", "site1", "changed", "new text", "home page", "work"})
        EXPECT_EQ(details(kept, QLatin1String(probe)), details(fresh, QLatin1String(probe)))
            << probe;
    EXPECT_EQ(kept.urlCount(), 70);
    EXPECT_EQ(kept.categoryCount(), 1);
    EXPECT_EQ(kept.textBytes(), fresh.textBytes());
    EXPECT_EQ(kept.savedIn(QStringLiteral("changed7.example")), QStringList{"Home"});
    EXPECT_EQ(kept.savedIn(QStringLiteral("http://site7.example/page")), QStringList());
}

TEST_F(FindIndexTest, ChangesBeforeTheIndexIsBuiltAreLeftToTheBuild) {
    FindIndex index;
    index.categoryAdded(1, QStringLiteral("Work"));
    index.urlAdded(1, 1, QStringLiteral("a.example"), QString());
    EXPECT_FALSE(index.isBuilt());
    EXPECT_EQ(index.categoryCount(), 0);
    EXPECT_EQ(index.urlCount(), 0);
}

// --- Sign-out --------------------------------------------------------------------

TEST_F(FindIndexTest, ClearLeavesNothing) {
    category(1, QStringLiteral("Work"));
    url(1, QStringLiteral("a.example"), QStringLiteral("private note"));
    FindIndex index;
    ASSERT_FALSE(build(index).failed());
    ASSERT_EQ(rows(index, QStringLiteral("private")).size(), 1);
    ASSERT_GT(index.memoryBytes(), 0);

    index.clear();
    EXPECT_FALSE(index.isBuilt());
    EXPECT_EQ(index.urlCount(), 0);
    EXPECT_EQ(index.categoryCount(), 0);
    EXPECT_EQ(index.textBytes(), 0);
    EXPECT_EQ(index.memoryBytes(), 0);
    EXPECT_EQ(rows(index, QStringLiteral("private")), QStringList());
    EXPECT_EQ(rows(index, QStringLiteral("work")), QStringList());
    EXPECT_EQ(index.savedIn(QStringLiteral("a.example")), QStringList());
    // Nothing comes back through the changes either, until it is built again.
    index.categoryAdded(2, QStringLiteral("Home"));
    index.urlAdded(1, 2, QStringLiteral("b.example"), QString());
    EXPECT_EQ(index.categoryCount(), 0);
    EXPECT_EQ(index.memoryBytes(), 0);
}

} // namespace

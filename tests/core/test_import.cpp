// Writing an import of bookmarks: new categories and URLs numbered on from
// the files, every old byte kept, refusals before anything is written, a
// full disk and a read-only folder, and the import stopped at each of its
// steps: after the recovery, nothing of it or all of it.

#include "bookmarks/importwrite.h"

#include "bookmarks/bookmarkfile.h"
#include "bookmarks/importplanner.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "recovery/recovery.h"
#include "session/modMain.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "diskkill.h"
#include "filesizelimit.h"
#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");

PlannedUrl url(const char *address, const char *description = "") {
    return PlannedUrl{QString::fromLatin1(address), QString::fromLatin1(description)};
}

// User 1, whose index holds Work (1, with three URLs numbered 1, 2 and 5),
// Home (2, another password's) and Old (4).
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        UserNo = 1;
        PassStamp = MakePassStamp(kMine);
        const QString other = MakePassStamp(QStringLiteral("other"));
        indexBefore = (CategoryRecordLine(1, QStringLiteral("Work"), PassStamp) + kLineEnd +
                       CategoryRecordLine(2, QStringLiteral("Home"), other) + kLineEnd +
                       CategoryRecordLine(4, QStringLiteral("Old"), PassStamp) + kLineEnd)
                          .toLatin1();
        workBefore =
            (UrlRecordLine(1, QStringLiteral("a.example"), QString(), PassStamp) + kLineEnd +
             UrlRecordLine(2, QStringLiteral("b.example"), QStringLiteral("b"), other) + kLineEnd +
             UrlRecordLine(5, QStringLiteral("c.example"), QString(), PassStamp))
                .toLatin1(); // the last line without a line end
        putBack();
    }
    void TearDown() override {
        SetDiskCalls({});
        ResetSession();
        SetProgramFolder(QString());
    }

    // The files as they were before any import.
    void putBack() {
        QDir folder(user());
        for (const QString &name : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            ASSERT_TRUE(QFileInfo(folder.filePath(name)).isDir()
                            ? QDir(folder.filePath(name)).removeRecursively()
                            : folder.remove(name));
        write(user("CAT.DAT"), indexBefore);
        write(user("CAT1.DAT"), workBefore);
    }

    QString user(const QString &name = QString()) const {
        return dir.filePath(QStringLiteral("USR1")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    QStringList entries() const {
        return QDir(user()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                      QDir::Name);
    }
    static void write(const QString &path, const QByteArray &data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }
    // "number address description" of every line of a URL file.
    static QStringList urls(const QString &path) {
        QStringList out;
        for (const QByteArray &line : FileLines(path)) {
            const UrlRecord r = DecodeUrlLine(QString::fromLatin1(line).trimmed());
            out << QStringLiteral("%1 %2 %3").arg(r.number).arg(r.address, r.description());
        }
        return out;
    }
    // Nothing of an import: every file as it was.
    void expectUntouched() const {
        EXPECT_EQ(entries(), (QStringList{"CAT.DAT", "CAT1.DAT"}));
        EXPECT_EQ(FileBytes(user("CAT.DAT")), indexBefore);
        EXPECT_EQ(FileBytes(user("CAT1.DAT")), workBefore);
    }

    // Two URLs into Work, a new category with one, and a new one without any.
    static ImportPlan plan() {
        return ImportPlan{
            PlannedCategory{
                QStringLiteral("Work"), 1, {url("d.example"), url("e.example", "two\r\nlines   ")}},
            PlannedCategory{QStringLiteral("Dev / PHP"), 0, {url("php.example", "PHP")}},
            PlannedCategory{QStringLiteral("Empty"), 0, {}},
        };
    }
    // The whole of that import.
    void expectImported() const {
        EXPECT_EQ(entries(), (QStringList{"CAT.DAT", "CAT1.DAT", "CAT5.DAT"}));
        EXPECT_TRUE(FileBytes(user("CAT.DAT")).startsWith(indexBefore));
        EXPECT_EQ(DecodedIndex(user("CAT.DAT")),
                  (QStringList{"1 Work", "2 Home", "4 Old", "5 Dev / PHP", "6 Empty"}));
        EXPECT_TRUE(FileBytes(user("CAT1.DAT")).startsWith(workBefore + "\r\n"));
        EXPECT_EQ(urls(user("CAT1.DAT")),
                  (QStringList{"1 a.example ", "2 b.example b", "5 c.example ", "6 d.example ",
                               "7 e.example two\r\nlines"}));
        EXPECT_EQ(urls(user("CAT5.DAT")), QStringList{"1 php.example PHP"});
        // Everything new is the importing user's.
        CategoryIndexRead index;
        ASSERT_FALSE(ReadCategoryIndex(1, PassStamp, &index).failed());
        EXPECT_EQ(index.owned.size(), 4);
        EXPECT_TRUE(index.lastOwned);
        QList<ListEntry> owned;
        int foreign = 0;
        ASSERT_FALSE(ReadUrlList(user("CAT1.DAT"), PassStamp, &owned, &foreign).failed());
        EXPECT_EQ(owned.size(), 4);
        EXPECT_EQ(foreign, 1);
    }

    QTemporaryDir dir;
    QByteArray indexBefore;
    QByteArray workBefore;
};

TEST_F(ImportTest, NumbersNewCategoriesAndUrlsOnFromTheFilesAndKeepsEveryOldByte) {
    QList<std::pair<int, int>> told;
    const ImportResult change = ImportCategories(1, PassStamp, plan(), [&](int done, int total) {
        told.append({done, total});
    });
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.urlsWritten, 3);
    expectImported();
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.first(), std::make_pair(0, 5));
    EXPECT_EQ(told.last(), std::make_pair(5, 5));
    for (qsizetype i = 1; i < told.size(); ++i)
        EXPECT_LE(told[i - 1].first, told[i].first);
}

// A category the plan calls new whose name is in the index by now (letter
// case ignored, whatever its owner) receives the URLs; it is not added twice.
// The preview of a user's import reads the user's own files: a category of
// the index, letter case ignored, receives the URLs under its number; an
// address is saved already only in a record of the user's own; new URLs are
// numbered on from the highest number of the file, new categories from the
// highest of the index.
TEST_F(ImportTest, PreviewOfAUsersImportReadsTheirFiles) {
    BookmarkFile file;
    ASSERT_TRUE(ParseBookmarks("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                               "<DT><H3>WORK</H3>\n<DL><p>\n"
                               "<DT><A HREF=\"http://a.example\">saved</A>\n"
                               "<DT><A HREF=\"http://b.example\">another's</A>\n"
                               "<DT><A HREF=\"https://f.example/\">new</A>\n"
                               "</DL><p>\n"
                               "<DT><H3>Fresh</H3>\n<DL><p>\n"
                               "<DT><A HREF=\"http://a.example\">same address</A>\n"
                               "</DL><p>\n</DL><p>\n",
                               QStringLiteral("b.html"), &file)
                    .isEmpty());
    ImportPreview preview;
    ASSERT_FALSE(PlanImportForUser(1, PassStamp, file, &preview).failed());
    EXPECT_EQ(preview.urls, 3);
    EXPECT_EQ(preview.alreadySaved, 1);
    EXPECT_EQ(preview.existingCategories, 1);
    EXPECT_EQ(preview.newCategories, 1);
    ASSERT_EQ(preview.plan.size(), 2);
    EXPECT_EQ(preview.plan[0].name, QStringLiteral("Work"));
    EXPECT_EQ(preview.plan[0].number, 1);
    ASSERT_EQ(preview.plan[0].urls.size(), 2);
    EXPECT_EQ(preview.plan[0].urls[0].address, QStringLiteral("http://b.example"));
    EXPECT_EQ(preview.plan[0].urls[1].address, QStringLiteral("https://f.example/"));
    EXPECT_EQ(preview.plan[1].name, QStringLiteral("Fresh"));
    EXPECT_EQ(preview.plan[1].number, 0);
    expectUntouched();

    // The highest numbers come from the files: a Work file whose only URL is
    // number 32767 leaves no number for the three links of WORK.
    write(user("CAT1.DAT"),
          (UrlRecordLine(32767, QStringLiteral("z.example"), QString(), PassStamp) + kLineEnd)
              .toLatin1());
    ASSERT_FALSE(PlanImportForUser(1, PassStamp, file, &preview).failed());
    EXPECT_EQ(preview.urls, 1);
    EXPECT_EQ(preview.refusedUrls, 3);
}

// A link of WORK is saved already when its address is the same address as
// one saved in Work, as a browser opens it, however it is spelt; Work holds
// "a.example" and "c.example" of its own and "b.example" of another password.
struct SavedCase {
    const char *name;
    const char *href;
    bool saved;
};

class SavedAlready : public ImportTest, public ::testing::WithParamInterface<SavedCase> {};

TEST_P(SavedAlready, WhenTheSameAddressIsInItsCategory) {
    BookmarkFile file;
    ASSERT_TRUE(ParseBookmarks(QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                                          "<DT><H3>WORK</H3>\n<DL><p>\n<DT><A HREF=\"") +
                                   GetParam().href + "\">link</A>\n</DL><p>\n</DL><p>\n",
                               QStringLiteral("b.html"), &file)
                    .isEmpty());
    ImportPreview preview;
    ASSERT_FALSE(PlanImportForUser(1, PassStamp, file, &preview).failed());
    EXPECT_EQ(preview.alreadySaved, GetParam().saved ? 1 : 0);
    EXPECT_EQ(preview.urls, GetParam().saved ? 0 : 1);
    expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    ImportTest, SavedAlready,
    ::testing::Values(SavedCase{"as_saved", "a.example", true},
                      SavedCase{"as_firefox_writes_it", "http://a.example/", true},
                      SavedCase{"scheme_and_host_in_capitals", "HTTP://A.Example", true},
                      SavedCase{"default_port", "http://a.example:80/", true},
                      SavedCase{"dot_segments", "http://c.example/x/../", true},
                      SavedCase{"escaped_host_letter", "http://%63.example", true},
                      SavedCase{"secure_scheme", "https://a.example/", false},
                      SavedCase{"www", "http://www.a.example/", false},
                      SavedCase{"other_path", "http://a.example/x", false},
                      SavedCase{"other_port", "http://a.example:8080/", false},
                      SavedCase{"another_passwords_address", "http://b.example/", false}),
    [](const auto &info) { return std::string(info.param.name); });

// A category the plan calls new whose name one of the user's categories has
// by now receives the URLs instead of being added twice.
TEST_F(ImportTest, ANewCategoryWhoseNameIsTakenReceivesTheUrls) {
    const ImportPlan plan{PlannedCategory{QStringLiteral("OLD"), 0, {url("h.example")}}};
    const Change change = ImportCategories(1, PassStamp, plan);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(FileBytes(user("CAT.DAT")), indexBefore);
    EXPECT_EQ(urls(user("CAT4.DAT")), QStringList{"1 h.example "});
}

// Another password's category by that name never receives the user's URLs:
// the import is refused, and every file stays as it was.
TEST_F(ImportTest, ANewCategoryNamedAsAnotherPasswordsIsRefused) {
    const ImportPlan plan{PlannedCategory{QStringLiteral("HOME"), 0, {url("h.example")}}};
    const Change change = ImportCategories(1, PassStamp, plan);
    EXPECT_TRUE(change.error.is(IoError::Kind::NameTaken));
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Sorry, there exists a Category by the name HOME by now, so nothing "
                             "was imported. Please choose the file again."));
    EXPECT_FALSE(change.changed);
    expectUntouched();
}

// The preview gives a folder named as another password's category a free
// name of its own, and lists it as changed to fit; the URLs go there.
TEST_F(ImportTest, AFolderNamedAsAnotherPasswordsCategoryGetsAFreeName) {
    BookmarkFile file;
    ASSERT_TRUE(ParseBookmarks("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                               "<DT><H3>home</H3>\n<DL><p>\n"
                               "<DT><A HREF=\"http://h.example/\">mine</A>\n"
                               "</DL><p>\n</DL><p>\n",
                               QStringLiteral("b.html"), &file)
                    .isEmpty());
    ImportPreview preview;
    ASSERT_FALSE(PlanImportForUser(1, PassStamp, file, &preview).failed());
    ASSERT_EQ(preview.plan.size(), 1);
    EXPECT_EQ(preview.plan[0].name, QStringLiteral("home (2)"));
    EXPECT_EQ(preview.plan[0].number, 0);
    EXPECT_EQ(preview.newCategories, 1);
    ASSERT_EQ(preview.changes.size(), 1);
    EXPECT_EQ(preview.changes[0].field, QStringLiteral("Category Name"));
    EXPECT_EQ(preview.changes[0].before, QStringLiteral("home"));
    EXPECT_EQ(preview.changes[0].after, QStringLiteral("home (2)"));

    const Change change = ImportCategories(1, PassStamp, preview.plan);
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    EXPECT_EQ(DecodedIndex(user("CAT.DAT")),
              (QStringList{"1 Work", "2 Home", "4 Old", "5 home (2)"}));
    EXPECT_EQ(urls(user("CAT5.DAT")), QStringList{"1 http://h.example/ mine"});
    EXPECT_FALSE(QFileInfo::exists(user("CAT2.DAT")));
}

struct RefusalCase {
    const char *name;
    const char *index;   // "" for the usual index; "full" when it holds Category 32767
    const char *work;    // "" for the usual URL file of Work; "full" for URL 32765
    qint64 number;       // the planned category's number
    const char *address; // its one URL, three of them for "full"
    const char *message;
};

class ImportRefusals : public ImportTest, public ::testing::WithParamInterface<RefusalCase> {};

// Refused before anything is written, with every file as it was.
TEST_P(ImportRefusals, WriteNothing) {
    const RefusalCase c = GetParam();
    if (std::string(c.index) == "full") {
        indexBefore +=
            (CategoryRecordLine(32767, QStringLiteral("Last"), PassStamp) + kLineEnd).toLatin1();
        write(user("CAT.DAT"), indexBefore);
    }
    PlannedCategory category{QStringLiteral("Work"), int(c.number), {url(c.address)}};
    if (std::string(c.work) == "full") {
        workBefore =
            (UrlRecordLine(32765, QStringLiteral("z.example"), QString(), PassStamp) + kLineEnd)
                .toLatin1();
        write(user("CAT1.DAT"), workBefore);
        category.urls << url("y.example") << url("x.example");
    }
    if (c.number == 0)
        category.name = QStringLiteral("Caf\u00e9s");
    if (c.number == 0 && std::string(c.index) == "full")
        category.name = QStringLiteral("Fresh");
    if (c.number == 9)
        category.name = QStringLiteral("Gone");
    const Change change = ImportCategories(1, PassStamp, {category});
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(), QString::fromUtf8(c.message));
    expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Import, ImportRefusals,
    ::testing::Values(
        RefusalCase{"category_numbers_used_up", "full", "", 0, "a.example",
                    "Sorry, no more Categories can be added: the Category numbers have reached "
                    "their highest value, 32767."},
        RefusalCase{"url_numbers_used_up", "", "full", 1, "w.example",
                    "Sorry, the Category Work can't take 3 more URLs: its URL numbers would pass "
                    "the highest one, 32767. Nothing was imported."},
        RefusalCase{"category_gone", "", "", 9, "a.example",
                    "Sorry, the Category Gone is no longer there, so nothing was imported."},
        RefusalCase{"category_name_unstorable", "", "", 0, "a.example",
                    "Sorry, a Category Name can't hold these characters: \"\u00e9\"\r\nPlease use "
                    "only letters without accents, digits, blanks and the usual punctuation "
                    "marks."},
        RefusalCase{"address_unstorable", "", "", 1, "a.example/~me",
                    "Sorry, a URL can't hold these characters: \"~\"\r\nPlease use only letters "
                    "without accents, digits, blanks and the usual punctuation marks."}),
    [](const auto &info) { return std::string(info.param.name); });

// A write past the file-size limit (as a full disk fails it): what was
// written goes again, and the message names the file and the reason.
TEST_F(ImportTest, AFullDiskLeavesEveryFileAsItWas) {
    ImportPlan big = plan();
    for (int i = 0; i < 40; ++i)
        big[1].urls << url("many.example", "a description long enough to fill the file");
    Change change;
    {
        const FileSizeLimit limit(8192);
        change = ImportCategories(1, PassStamp, big);
    }
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: File too large.")
                  .arg(user("CAT5.DAT")));
    expectUntouched();
}

struct ReadOnlyCase {
    const char *name;
    const char *entry; // made read-only: "" for the user's folder
    const char *action;
    const char *file; // named in the message
};

class ImportReadOnly : public ImportTest, public ::testing::WithParamInterface<ReadOnlyCase> {};

// As an ordinary user: a folder or file that cannot be written refuses the
// whole import, with nothing written.
TEST_P(ImportReadOnly, RefusesTheWholeImport) {
    const ReadOnlyCase c = GetParam();
    const QString target = user(QString::fromLatin1(c.entry));
    const forked::Outcome outcome =
        forked::runAsOrdinaryUser(QFile::encodeName(dir.path()), [&]() -> QByteArray {
            if (::chmod(QFile::encodeName(target).constData(), *c.entry ? 0400 : 0500) != 0)
                return "chmod failed";
            const Change change = ImportCategories(1, PassStamp, plan());
            ::chmod(QFile::encodeName(target).constData(), *c.entry ? 0600 : 0700);
            return (change.changed ? "changed\n" : "refused\n") + change.error.message().toUtf8();
        });
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    ASSERT_TRUE(outcome.exited) << outcome.describe();
    EXPECT_EQ(QString::fromUtf8(outcome.report),
              QStringLiteral("refused\nWayfile could not %1 \"%2\".\r\n\r\nReason: Permission "
                             "denied.")
                  .arg(QLatin1String(c.action), user(QString::fromLatin1(c.file))));
    expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Import, ImportReadOnly,
    ::testing::Values(ReadOnlyCase{"user_folder", "", "create", "wayfile.journal"},
                      ReadOnlyCase{"url_file", "CAT1.DAT", "write to", "CAT1.DAT"},
                      ReadOnlyCase{"category_index", "CAT.DAT", "write to", "CAT.DAT"}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Stopped at every step ------------------------------------------------------

class StoppedImports : public ImportTest, public ::testing::WithParamInterface<diskkill::Cut> {};

// The import stopped dead before each of its disk calls in turn (or with
// that write torn half-way), then the start-up's and the sign-in's recovery:
// every time, the files hold nothing of the import or all of it, and no
// journal is left.
TEST_P(StoppedImports, LeaveNothingOrAllAfterTheRecovery) {
    int nothing = 0;
    int all = 0;
    for (int step = 1;; ++step) {
        ASSERT_LT(step, 200) << "the import never finished";
        putBack();
        const forked::Outcome outcome = forked::run([&]() -> QByteArray {
            SetDiskCalls(diskkill::StopAt(step, GetParam()));
            const Change change = ImportCategories(1, PassStamp, plan());
            return change.changed ? "imported" : change.error.message().toUtf8();
        });
        if (outcome.exited && outcome.status == 0) {
            ASSERT_EQ(outcome.report, QByteArray("imported"));
            expectImported();
            break;
        }
        ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped)
            << step << ": " << outcome.describe();
        const IoError started = RecoverProgramFolder();
        ASSERT_FALSE(started.failed()) << step << ": " << started.message().toStdString();
        const IoError signedIn = RecoverUserFolder(1);
        ASSERT_FALSE(signedIn.failed()) << step << ": " << signedIn.message().toStdString();
        if (entries().contains(QStringLiteral("CAT5.DAT"))) {
            ++all;
            expectImported();
        } else {
            ++nothing;
            expectUntouched();
        }
        if (HasFailure()) {
            ADD_FAILURE() << "stopped at step " << step;
            return;
        }
    }
    EXPECT_GT(nothing, 3);
    EXPECT_GE(all, 1); // stopped after the commit, before its last flush
}

INSTANTIATE_TEST_SUITE_P(Import, StoppedImports,
                         ::testing::Values(diskkill::Cut::Before, diskkill::Cut::HalfWritten),
                         [](const auto &info) {
                             return info.param == diskkill::Cut::Before
                                        ? std::string("before_the_call")
                                        : std::string("write_torn");
                         });

} // namespace

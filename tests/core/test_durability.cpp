// What survives an interruption, a read-only file and an unusual umask: a
// category delete killed at each of its steps and the next sign-in's
// recovery, the leftovers of interrupted rewrites, files made read-only, and
// the modes of what the program creates.

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "recovery/recovery.h"
#include "session/modMain.h"
#include "storage/checksum.h"
#include "storage/datafile.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");

// User 1 signed in with password "pw1", in a program folder of its own.
class Durability : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        UserNo = 1;
        PassStamp = MakePassStamp(kMine);
    }
    void TearDown() override {
        SetDiskCalls({});
        ResetSession();
        SetProgramFolder(QString());
    }

    QString user(const QString &name) const { return dir.filePath(QStringLiteral("USR1/") + name); }
    QString index() const { return user(QStringLiteral("CAT.DAT")); }
    QStringList userFolderEntries() const {
        return QDir(user(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
    static void write(const QString &path, const QByteArray &data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }
    static QByteArray category(int n, const QString &name) {
        return CategoryRecordLine(n, name, MakePassStamp(kMine)).toLatin1() + "\r\n";
    }
    static QByteArray url(int n, const QString &address, const QString &description = {}) {
        return UrlRecordLine(n, address, description, MakePassStamp(kMine)).toLatin1() + "\r\n";
    }
    // "number address" of every line of a URL file, in file order.
    static QStringList urls(const QString &path) {
        QStringList out;
        for (const QByteArray &line : FileLines(path)) {
            const UrlRecord r = DecodeUrlLine(QString::fromLatin1(line.chopped(2)));
            out << (r.fields ? QStringLiteral("%1 %2").arg(r.number).arg(r.address)
                             : QString::fromLatin1(line.chopped(2)));
        }
        return out;
    }
    static mode_t modeOf(const QString &path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    QTemporaryDir dir;
};

bool endsWith(const char *text, const char *end) {
    const size_t n = std::strlen(text), m = std::strlen(end);
    return n >= m && std::strcmp(text + n - m, end) == 0;
}

// --- A category delete killed at each of its steps ---------------------------

struct KillCase {
    const char *name;
    const char *hook;  // "rename" or "remove"
    const char *to;    // the end of the path whose call the kill stops at
    bool afterTheCall; // killed right after the call instead of before it
    bool kept;         // the category is still there after the next sign-in
};

class InterruptedDelete : public Durability, public ::testing::WithParamInterface<KillCase> {};

// However the delete is cut short, the next sign-in finds the category with
// every one of its URLs, or the category gone with its URLs; nothing set
// aside and no temporary file is left in the folder.
TEST_P(InterruptedDelete, EndsWithTheCategoryWholeOrGone) {
    const KillCase kill = GetParam();
    // The cipher writes a text differently every time: each record is made once.
    const QByteArray work = category(1, "Work"), fun = category(3, "Fun");
    const QByteArray before = work + category(2, "Home") + fun;
    const QByteArray homeUrls = url(1, "a.example", "one") + url(2, "b.example", "two");
    const QByteArray workUrls = url(1, "work.example"), funUrls = url(1, "fun.example");
    write(index(), before);
    write(user("CAT1.DAT"), workUrls);
    write(user("CAT2.DAT"), homeUrls);
    write(user("CAT3.DAT"), funUrls);

    const forked::Outcome outcome = forked::run([&] {
        const std::string hook = kill.hook;
        const std::string to = kill.to;
        const bool after = kill.afterTheCall;
        DiskCalls calls;
        if (hook == "rename") {
            calls.rename = [to, after](const char *from, const char *target) {
                if (!endsWith(target, to.c_str()))
                    return ::rename(from, target);
                if (after)
                    ::rename(from, target);
                ::_exit(9);
            };
        } else {
            calls.remove = [to](const char *path) {
                if (endsWith(path, to.c_str()))
                    ::_exit(9);
                return ::unlink(path);
            };
        }
        SetDiskCalls(calls);
        const Change change = DeleteCategoryFiles(1, 2);
        return QByteArray("not killed: ") + change.error.message().toLatin1();
    });
    ASSERT_TRUE(outcome.exited && outcome.status == 9) << outcome.describe();

    const IoError err = RecoverUserFolder(1);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();

    if (kill.kept) {
        EXPECT_EQ(FileBytes(index()), before);
        EXPECT_EQ(FileBytes(user("CAT2.DAT")), homeUrls);
        EXPECT_EQ(userFolderEntries(),
                  (QStringList{"CAT.DAT", "CAT1.DAT", "CAT2.DAT", "CAT3.DAT"}));
    } else {
        EXPECT_EQ(FileBytes(index()), work + fun);
        EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT1.DAT", "CAT3.DAT"}));
    }
    EXPECT_EQ(FileBytes(user("CAT1.DAT")), workUrls);
    EXPECT_EQ(FileBytes(user("CAT3.DAT")), funUrls);
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, InterruptedDelete,
    ::testing::Values(
        KillCase{"after_the_url_file_went_aside", "rename", ".deleting", true, true},
        KillCase{"before_the_new_index_took_its_place", "rename", "/CAT.DAT", false, true},
        KillCase{"right_after_the_new_index_took_its_place", "rename", "/CAT.DAT", true, false},
        KillCase{"before_the_url_file_was_removed", "remove", ".deleting", false, false}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Recovery ------------------------------------------------------------------

// The category was chosen (which makes an empty URL file) and given a URL
// before the recovery ran: both files' lines are kept, the older first, and
// the newer URL takes the next free number instead of one already in use.
TEST_F(Durability, AUrlFileMadeSinceIsMergedAfterTheLinesSetAside) {
    write(index(), category(2, "Home"));
    const QByteArray older = url(1, "a.example", "one") + url(2, "b.example", "two");
    write(user("CAT2.DAT.deleting"), older);
    write(user("CAT2.DAT"), url(1, "new.example", "three") + "short line\r\n");

    const IoError err = RecoverUserFolder(1);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();

    EXPECT_TRUE(FileBytes(user("CAT2.DAT")).startsWith(older));
    EXPECT_EQ(urls(user("CAT2.DAT")),
              (QStringList{"1 a.example", "2 b.example", "3 new.example", "short line"}));
    QList<ListEntry> owned;
    int foreign = 0;
    ASSERT_FALSE(ReadUrlList(user("CAT2.DAT"), PassStamp, &owned, &foreign).failed());
    EXPECT_EQ(owned.size(), 3);
    EXPECT_EQ(foreign, 0);
    UrlRecord moved;
    ASSERT_FALSE(FindUrlRecord(user("CAT2.DAT"), 3, &moved).failed());
    EXPECT_EQ(moved.description(), QStringLiteral("three"));
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT2.DAT"}));
}

// A crash after the merged file was written but before the lines set aside
// were removed: the next recovery does not merge them a second time.
TEST_F(Durability, AMergeCutShortIsNotMadeTwice) {
    write(index(), category(2, "Home"));
    write(user("CAT2.DAT.deleting"), url(1, "a.example"));
    write(user("CAT2.DAT"), url(1, "new.example"));

    const forked::Outcome outcome = forked::run([] {
        DiskCalls calls;
        calls.remove = [](const char *path) {
            if (endsWith(path, ".deleting"))
                ::_exit(9);
            return ::unlink(path);
        };
        SetDiskCalls(calls);
        return RecoverUserFolder(1).message().toLatin1();
    });
    ASSERT_TRUE(outcome.exited && outcome.status == 9) << outcome.describe();
    const QByteArray merged = FileBytes(user("CAT2.DAT"));
    ASSERT_EQ(urls(user("CAT2.DAT")), (QStringList{"1 a.example", "2 new.example"}));

    const IoError err = RecoverUserFolder(1);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(FileBytes(user("CAT2.DAT")), merged);
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT2.DAT"}));
}

// Only the program's own names are touched: a file set aside goes back in
// its own letter case, or goes with its deleted category; other names stay.
TEST_F(Durability, RecoveryTouchesOnlyFilesSetAsideByADelete) {
    write(index(), category(1, "Work") + category(4, "Home"));
    const QStringList strangers{"CAT.DAT.deleting", "CAT04.DAT.deleting", "CAT4.DAT.deleting.old",
                                "CAT4.DAT.DELETING", "notes.deleting"};
    for (const QString &name : strangers)
        write(user(name), "not ours\r\n");
    const QByteArray workUrls = url(1, "work.example");
    write(user("cat1.Dat.deleting"), workUrls);
    write(user("CAT9.DAT.deleting"), url(1, "gone.example"));

    const IoError err = RecoverUserFolder(1);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();

    EXPECT_EQ(FileBytes(user("cat1.Dat")), workUrls);
    QStringList expected = strangers;
    expected << "CAT.DAT"
             << "cat1.Dat";
    expected.sort();
    EXPECT_EQ(userFolderEntries(), expected);
}

TEST_F(Durability, NothingIsRecoveredWithAnIndexThatCannotBeRead) {
    ASSERT_TRUE(QDir().mkdir(index()));
    const QByteArray aside = url(1, "a.example");
    write(user("CAT2.DAT.deleting"), aside);
    const IoError err = RecoverUserFolder(1);
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile was finishing the deletion of a Category that was cut short, "
                             "but could not read \"%1\".\r\n\r\nReason: It is a folder, not a "
                             "file.\r\n\r\nNothing was changed, and the URLs of that Category are "
                             "kept in \"%2\". Wayfile tries again at your next sign-in.")
                  .arg(index(), user("CAT2.DAT.deleting")));
    EXPECT_EQ(FileBytes(user("CAT2.DAT.deleting")), aside);
}

// A folder under the name a delete gives a URL file it sets aside is no
// program's leftover: it is renamed out of the way and told, once; the rest
// of the recovery is done.
TEST_F(Durability, AFolderUnderTheSetAsideNameIsMovedOutOfTheWayAndToldOnce) {
    write(index(), category(1, "Work") + category(5, "Home"));
    ASSERT_TRUE(QDir().mkpath(user("CAT5.DAT.deleting/inside")));
    const QByteArray workUrls = url(1, "work.example");
    write(user("CAT1.DAT.deleting"), workUrls);
    QStringList notices;
    const IoError err = RecoverUserFolder(1, &notices);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(notices,
              QStringList{
                  QStringLiteral("Wayfile found a folder, \"%1\", under the name it gives the URLs "
                                 "of a Category while it deletes that Category, and renamed it to "
                                 "\"%2\" to keep it out of the way. Wayfile never makes such an "
                                 "entry: look at it, keep what you need and delete the rest.")
                      .arg(user("CAT5.DAT.deleting"), user("CAT5.DAT.deleting.kept"))});
    EXPECT_TRUE(QFileInfo(user("CAT5.DAT.deleting.kept/inside")).isDir());
    EXPECT_EQ(FileBytes(user("CAT1.DAT")), workUrls);
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT1.DAT", "CAT5.DAT.deleting.kept"}));

    notices.clear();
    ASSERT_FALSE(RecoverUserFolder(1, &notices).failed());
    EXPECT_TRUE(notices.isEmpty());
}

// A step of the recovery that fails says what the program was doing, what
// was kept, and what to do.
struct JobFailure {
    const char *name;
    const char *hook;   // "rename" or "remove": the call that fails
    const char *to;     // the end of the path whose call fails
    bool categoryKept;  // category 2 is still in the index
    const char *aside;  // the entry the test leaves for the recovery
    const char *expect; // the message; %1 the user folder
};

class FailingRecoverySteps : public Durability, public ::testing::WithParamInterface<JobFailure> {};

TEST_P(FailingRecoverySteps, NameTheirJob) {
    const JobFailure c = GetParam();
    write(index(), category(1, "Work") + (c.categoryKept ? category(2, "Home") : QByteArray()));
    const QByteArray kept = url(1, "a.example");
    write(user(QString::fromLatin1(c.aside)), kept);
    const std::string hook = c.hook, to = c.to;
    DiskCalls calls;
    if (hook == "rename") {
        calls.rename = [to](const char *from, const char *target) {
            if (endsWith(target, to.c_str())) {
                errno = EIO;
                return -1;
            }
            return ::rename(from, target);
        };
    } else {
        calls.remove = [to](const char *path) {
            if (endsWith(path, to.c_str())) {
                errno = EIO;
                return -1;
            }
            return ::unlink(path);
        };
    }
    IoError err;
    {
        const DiskCallsOverride faults(calls);
        err = RecoverUserFolder(1);
    }
    EXPECT_EQ(err.message(), QString::fromLatin1(c.expect).arg(user(QString()).chopped(1)));
    // Nothing is lost: the entry is where the message says.
    EXPECT_EQ(FileBytes(user(QString::fromLatin1(c.aside))), kept);
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, FailingRecoverySteps,
    ::testing::Values(
        JobFailure{"a_deleted_categorys_urls_cannot_go", "remove", ".deleting", false,
                   "CAT2.DAT.deleting",
                   "Wayfile was finishing the deletion of a Category that was cut short, but "
                   "could not delete \"%1/CAT2.DAT.deleting\".\r\n\r\nReason: Input/output "
                   "error.\r\n\r\nThe Category is deleted. Its URLs are still kept in "
                   "\"%1/CAT2.DAT.deleting\", which no Category reads; Wayfile tries again to "
                   "remove that file at your next sign-in, or you may delete it yourself."},
        JobFailure{"a_kept_categorys_urls_cannot_move_back", "rename", "/CAT2.DAT", true,
                   "CAT2.DAT.deleting",
                   "Wayfile was finishing the deletion of a Category that was cut short, but "
                   "could not move back \"%1/CAT2.DAT.deleting\".\r\n\r\nReason: Input/output "
                   "error.\r\n\r\nThe Category is still there, and its URLs are kept in "
                   "\"%1/CAT2.DAT.deleting\". Wayfile tries again to put them back at your next "
                   "sign-in; if this goes on, close Wayfile and rename that file to "
                   "\"%1/CAT2.DAT\"."},
        JobFailure{"a_rewrite_leftover_cannot_go", "remove", ".rewrite-a1b2c3", true,
                   "CAT2.DAT.rewrite-a1b2c3",
                   "Wayfile was clearing away what an interrupted change left in your folder, but "
                   "could not delete \"%1/CAT2.DAT.rewrite-a1b2c3\".\r\n\r\nReason: "
                   "Input/output error.\r\n\r\nYour data are all kept: the file left behind is "
                   "an unfinished copy that Wayfile never reads. Wayfile tries again at your next "
                   "sign-in; you may also delete that file yourself."}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Durability, AUserWithoutAFolderHasNothingToRecover) {
    UserNo = 2;
    const IoError err = RecoverUserFolder(2);
    EXPECT_FALSE(err.failed());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("USR2")));
}

// --- Leftovers of interrupted rewrites -----------------------------------------

struct NameCase {
    const char *name;
    const char *entry;
    bool leftover;
};

class RewriteLeftoverNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(RewriteLeftoverNames, MatchExactlyTheRewritePattern) {
    EXPECT_EQ(IsRewriteLeftover(QString::fromLatin1(GetParam().entry)), GetParam().leftover);
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, RewriteLeftoverNames,
    ::testing::Values(NameCase{"index", "CAT.DAT.rewrite-aZ09xY", true},
                      NameCase{"url_file", "CAT12.DAT.rewrite-000000", true},
                      NameCase{"five_chars", "CAT.DAT.rewrite-aZ09x", false},
                      NameCase{"seven_chars", "CAT.DAT.rewrite-aZ09xYz", false},
                      NameCase{"other_case", "CAT.DAT.REWRITE-aZ09xY", false},
                      NameCase{"not_a_letter", "CAT.DAT.rewrite-aZ0_xY", false},
                      NameCase{"nothing_before", ".rewrite-aZ09xY", false},
                      NameCase{"old_style", "CAT.DAT.aZ09xY", false},
                      NameCase{"something_after", "CAT.DAT.rewrite-aZ09xY.bak", false}),
    [](const auto &info) { return std::string(info.param.name); });

// A rewrite killed before its rename leaves its temporary file; the next
// clearing away removes that, and nothing else.
TEST_F(Durability, ARewriteKilledBeforeItsRenameLeavesAFileThatIsClearedAway) {
    const QByteArray work = category(1, "Work");
    write(index(), work);
    const forked::Outcome outcome = forked::run([this] {
        DiskCalls calls;
        calls.rename = [](const char *, const char *) -> int { ::_exit(9); };
        SetDiskCalls(calls);
        return RewriteFile(index(), {QStringLiteral("new")}).message().toLatin1();
    });
    ASSERT_TRUE(outcome.exited && outcome.status == 9) << outcome.describe();
    const QStringList entries = userFolderEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(IsRewriteLeftover(entries[1])) << entries[1].toStdString();
    EXPECT_EQ(FileBytes(user(entries[1])), QByteArray("new\r\n"));

    ASSERT_TRUE(QDir().mkdir(user("CAT1.DAT.rewrite-Folder")));
    write(user("CAT1.DAT.rewrite-abc"), "not ours\r\n");
    const IoError err = RemoveRewriteLeftovers(user(QString()));
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(userFolderEntries(),
              (QStringList{"CAT.DAT", "CAT1.DAT.rewrite-Folder", "CAT1.DAT.rewrite-abc"}));
    EXPECT_EQ(FileBytes(index()), work);
}

// Given the names its caller listed, the clearing looks at those alone.
TEST_F(Durability, TheLeftoversAmongTheNamesGivenAreClearedAway) {
    const QStringList leftovers{"CAT.DAT.rewrite-aaaaaa", "CAT1.DAT.rewrite-bbbbbb"};
    for (const QString &name : leftovers)
        write(user(name), "unfinished\r\n");
    write(index(), category(1, "Work"));
    const IoError err =
        RemoveRewriteLeftovers(user(QString()), {"CAT.DAT", "CAT1.DAT.rewrite-bbbbbb"});
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT.DAT.rewrite-aaaaaa"}));
}

TEST_F(Durability, AFolderThatCannotBeListedIsReported) {
    const QString missing = dir.filePath("nowhere");
    EXPECT_EQ(RemoveRewriteLeftovers(missing).message(),
              QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: No such file or "
                             "directory.")
                  .arg(missing));
}

// --- A file made read-only stays read-only -------------------------------------

struct ReadOnlyCase {
    const char *name;
    const char *file; // the file made read-only
};

class ReadOnlyFiles : public Durability, public ::testing::WithParamInterface<ReadOnlyCase> {};

// As an ordinary user, with the folder writable: every change of a file its
// user made read-only is refused with the append's message, and nothing of
// the folder changes.
TEST_P(ReadOnlyFiles, AreRefusedByEveryChange) {
    const std::string op = GetParam().name;
    write(index(), category(1, "Work") + category(2, "Home"));
    write(user("CAT1.DAT"), url(1, "a.example") + url(2, "b.example"));
    const QString target = user(QString::fromLatin1(GetParam().file));
    const QByteArray before = FileBytes(target);
    const QStringList entries = userFolderEntries();

    const forked::Outcome outcome =
        forked::runAsOrdinaryUser(QFile::encodeName(dir.path()), [&]() -> QByteArray {
            if (::chmod(QFile::encodeName(target).constData(), 0400) != 0)
                return "chmod failed";
            const QString urlFile = UrlFilePath(1, 1);
            Change change;
            if (op == "add_category")
                change = AppendCategory(1, QStringLiteral("Fun"), PassStamp);
            else if (op == "rename_category")
                change = RenameCategory(1, 2, QStringLiteral("Fun"), PassStamp);
            else if (op == "delete_category")
                change = DeleteCategoryFiles(1, 1);
            else if (op == "add_url")
                change = AppendUrl(urlFile, QStringLiteral("c.example"), {}, PassStamp);
            else if (op == "delete_url")
                change = DeleteUrlRecord(urlFile, 1);
            else
                change = ReplaceUrlRecord(urlFile, 2, QStringLiteral("d.example"), {}, PassStamp);
            return (change.changed ? "changed\n" : "refused\n") + change.error.message().toLatin1();
        });
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    ASSERT_TRUE(outcome.exited) << outcome.describe();
    EXPECT_EQ(QString::fromLatin1(outcome.report),
              QStringLiteral("refused\nWayfile could not write to \"%1\".\r\n\r\nReason: "
                             "Permission denied.")
                  .arg(target));
    EXPECT_EQ(FileBytes(target), before);
    EXPECT_EQ(modeOf(target), mode_t(0400));
    EXPECT_EQ(userFolderEntries(), entries);
}

INSTANTIATE_TEST_SUITE_P(Permissions, ReadOnlyFiles,
                         ::testing::Values(ReadOnlyCase{"add_category", "CAT.DAT"},
                                           ReadOnlyCase{"rename_category", "CAT.DAT"},
                                           ReadOnlyCase{"delete_category", "CAT.DAT"},
                                           ReadOnlyCase{"add_url", "CAT1.DAT"},
                                           ReadOnlyCase{"delete_url", "CAT1.DAT"},
                                           ReadOnlyCase{"modify_url", "CAT1.DAT"}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Owner-only modes whatever the umask ---------------------------------------

class Umasks : public Durability, public ::testing::WithParamInterface<mode_t> {};

// Under a umask that takes the owner's own rights away, two users register
// one after the other, and the first adds, renames and fills a category: all
// of it works, and every file is 0600 and every folder 0700.
TEST_P(Umasks, LeaveWhatTheProgramCreatesOwnerOnly) {
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("USR1")));
    const forked::Outcome outcome =
        forked::runAsOrdinaryUser(QFile::encodeName(dir.path()), [&]() -> QByteArray {
            ::umask(GetParam());
            QByteArray report;
            for (const auto &[n, name] : {std::pair{1, "Ann"}, std::pair{2, "Bob"}}) {
                const Change change = RegisterUser(QLatin1String(name), QStringLiteral("pw"));
                if (change.failed())
                    return change.error.message().toLatin1();
                if (change.number != n)
                    return "registered as user " + QByteArray::number(change.number);
            }
            UserNo = 1;
            for (const Change &change :
                 {AppendCategory(1, QStringLiteral("Work"), PassStamp),
                  RenameCategory(1, 1, QStringLiteral("Home"), PassStamp),
                  AppendUrl(UrlFilePath(1, 1), QStringLiteral("a.example"), {}, PassStamp)}) {
                if (change.failed())
                    return change.error.message().toLatin1();
            }
            return "done";
        });
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    ASSERT_EQ(outcome.report, QByteArray("done")) << outcome.describe();
    EXPECT_EQ(modeOf(dir.filePath("info.qvx")), mode_t(0600));
    EXPECT_EQ(modeOf(dir.filePath("USR1")), mode_t(0700));
    EXPECT_EQ(modeOf(dir.filePath("USR2")), mode_t(0700));
    EXPECT_EQ(modeOf(index()), mode_t(0600));
    EXPECT_EQ(modeOf(user("CAT1.DAT")), mode_t(0600));
    EXPECT_EQ(DecodedIndex(index()), QStringList{"1 Home"});
}

INSTANTIATE_TEST_SUITE_P(Permissions, Umasks, ::testing::Values(mode_t(0222), mode_t(0777)),
                         [](const auto &info) {
                             return "umask_0" + std::to_string((info.param >> 6) & 7) +
                                    std::to_string((info.param >> 3) & 7) +
                                    std::to_string(info.param & 7);
                         });

// --- Warnings ------------------------------------------------------------------

// The first record of a file whose folder cannot be flushed, a category (the
// index made by the look-up before the add) or a URL: the new file's warning
// comes back with the change, naming the file as saved.
enum class FirstRecord { Category, Url };

class FirstRecordWarning : public Durability, public ::testing::WithParamInterface<FirstRecord> {};

TEST_P(FirstRecordWarning, NamesTheNewFileAsSaved) {
    const bool url = GetParam() == FirstRecord::Url;
    const QString file = url ? user(QStringLiteral("CAT1.DAT")) : index();
    ASSERT_FALSE(QFileInfo::exists(file));
    Change change;
    {
        const DiskCallsOverride calls(FolderSyncFails(EIO));
        change = url ? AppendUrl(UrlFilePath(1, 1), QStringLiteral("a.example"), {}, PassStamp)
                     : AppendCategory(1, QStringLiteral("Work"), PassStamp);
    }
    ASSERT_TRUE(change.changed);
    EXPECT_EQ(change.error.warningMessage(),
              QStringLiteral("Wayfile saved \"%1\", but could not make sure that the change is "
                             "safely on disk: a power failure could still undo it.\r\n\r\n"
                             "Reason: The folder \"%2\" could not be flushed to disk (Input/output "
                             "error).\r\n\r\nPlease check the disk: it may be full, failing or no "
                             "longer connected. After a power failure, see whether the change is "
                             "still there, and make it again if it is not.")
                  .arg(file, user(QString()).chopped(1)));
}

INSTANTIATE_TEST_SUITE_P(Warnings, FirstRecordWarning,
                         ::testing::Values(FirstRecord::Category, FirstRecord::Url),
                         [](const auto &info) {
                             return info.param == FirstRecord::Url ? "first_url" : "first_category";
                         });

// --- A merge at the number ceiling ---------------------------------------------

// The URLs set aside hold the highest number a URL can have: a newer URL whose
// number is taken gets the lowest free one, so no two URLs share a number, and
// Modify URL changes that URL alone.
TEST_F(Durability, AMergeAtTheNumberCeilingGivesTheLowestFreeNumber) {
    write(index(), category(2, "Home"));
    write(user("CAT2.DAT.deleting"), url(1, "a.example") + url(32767, "top.example"));
    write(user("CAT2.DAT"), url(1, "new.example") + url(3, "three.example"));

    const IoError err = RecoverUserFolder(1);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(urls(user("CAT2.DAT")), (QStringList{"1 a.example", "32767 top.example",
                                                   "2 new.example", "3 three.example"}));

    const Change change = ReplaceUrlRecord(user("CAT2.DAT"), 2, QStringLiteral("changed.example"),
                                           QString(), PassStamp);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(urls(user("CAT2.DAT")), (QStringList{"1 a.example", "32767 top.example",
                                                   "2 changed.example", "3 three.example"}));
}

// --- Damaged records: the URL file of number 0 ------------------------------------

// A delete of a damaged record cut short: CAT0.DAT goes back while a record
// numbered 0 is left in the index, and goes when none is.
TEST_F(Durability, TheUrlFileOfDamagedRecordsFollowsTheIndex) {
    const QByteArray damaged =
        JoinRecord({EncodeField(QStringLiteral("CAT")), EncodeField(QStringLiteral("Broken")),
                    MakePassStamp(kMine)})
            .toLatin1() +
        "\r\n";
    const QByteArray zeroUrls = url(1, "zero.example");
    write(index(), category(1, "Work") + damaged);
    write(user("CAT0.DAT.deleting"), zeroUrls);
    ASSERT_FALSE(RecoverUserFolder(1).failed());
    EXPECT_EQ(FileBytes(user("CAT0.DAT")), zeroUrls);

    // Only a line without separator reads as 0 now: no record is left.
    write(index(), category(1, "Work") + "no separator\r\n");
    ASSERT_TRUE(QFile::rename(user("CAT0.DAT"), user("CAT0.DAT.deleting")));
    ASSERT_FALSE(RecoverUserFolder(1).failed());
    EXPECT_EQ(userFolderEntries(), QStringList{"CAT.DAT"});
}

// --- Records torn at every cut ----------------------------------------------------

struct TornFile {
    const char *name;
    const char *file; // in the user folder
    bool urls;        // URL records, else category records
};

class TornRecords : public Durability, public ::testing::WithParamInterface<TornFile> {};

// A record cut at every one of its bytes, as a power failure can leave the
// last line: the next sign-in cuts it off, and every whole record before it
// stays. Only a cut at the end of a cipher group of the last field (the
// owner stamp) leaves a line that passes for a whole record: it is kept, as
// is the whole record without its line end.
TEST_P(TornRecords, AreCutOffAtSignIn) {
    const TornFile c = GetParam();
    const QString path = user(QString::fromLatin1(c.file));
    write(index(), category(1, "Work"));
    const QByteArray before =
        c.urls ? url(1, "a.example", "one") : category(1, "Work") + category(2, "Home");
    const QByteArray record = (c.urls ? url(2, "b.example", "two") : category(3, "Fun")).chopped(2);
    const qsizetype lastField = record.lastIndexOf("*QVX*") + 5;
    for (qsizetype at = 1; at <= record.size(); ++at) {
        write(path, before + record.left(at));
        const IoError err = RecoverUserFolder(1);
        ASSERT_FALSE(err.failed()) << err.message().toStdString();
        const bool passes = at > lastField && (at - lastField) % 6 == 0;
        EXPECT_EQ(FileBytes(path), passes ? before + record.left(at) : before)
            << "cut after " << at << " of " << record.size() << " bytes";
    }
    EXPECT_EQ(userFolderEntries(),
              c.urls ? (QStringList{"CAT.DAT", "CAT1.DAT"}) : QStringList{"CAT.DAT"});
}

INSTANTIATE_TEST_SUITE_P(Recovery, TornRecords,
                         ::testing::Values(TornFile{"category_index", "CAT.DAT", false},
                                           TornFile{"url_file", "CAT1.DAT", true}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Rewrites of another program cut short -----------------------------------------

struct PeerCase {
    const char *name;
    const char *leftover;   // its name
    const char *content;    // "index", "urls", "mixed" or "empty"
    const char *indexState; // "absent", "empty" or "data"
    const char *urlFiles;   // URL files with data, of categories 1 and 2: "1", "12" or ""
    const char *outcome;    // "index", "url2", "removed", "kept" or "left"
};

// What the sign-in tells of a leftover it kept aside under `keptAs`: `what`
// it holds.
QString keptLeftoverNotice(const QString &path, const QString &what, const QString &keptAs) {
    return QStringLiteral("Wayfile found \"%1\", left in your folder by a change that was cut "
                          "short. It holds %2, and the files it could belong to hold data again, "
                          "so it may be an unfinished copy or the only copy of some of them. "
                          "Wayfile kept it as \"%3\". If some of your Categories or URLs are "
                          "missing, close Wayfile and restore your folder from a backup, or keep "
                          "that file for someone who can bring its records back; if nothing is "
                          "missing, you may delete it.")
        .arg(path, what, keptAs);
}

class PeerLeftovers : public Durability, public ::testing::WithParamInterface<PeerCase> {};

// Another program rewrites the index through "tmp.DAT" and a URL file through
// "TMP.DAT" (the same name without case), deleting the old file before the
// rename. What its crash leaves is put back where it belongs; kept aside as
// ".kept" and told once when its target has data again (it may be the only
// copy of its records); removed when empty; or left and told once.
TEST_P(PeerLeftovers, AreFinishedOrClearedAtSignIn) {
    const PeerCase c = GetParam();
    const std::string content = c.content, state = c.indexState, files = c.urlFiles,
                      outcome = c.outcome;
    const QByteArray categories = category(1, "Work") + category(2, "Home");
    const QByteArray otherCategories = category(1, "Work") + category(2, "Home");
    QByteArray leftover;
    if (content == "index")
        leftover = categories;
    else if (content == "urls")
        leftover = url(1, "peer.example") + url(2, "peer2.example", "two");
    else if (content == "mixed")
        leftover = category(1, "Work") + url(1, "peer.example");
    const QString leftoverPath = user(QString::fromLatin1(c.leftover));
    write(leftoverPath, leftover);
    if (state == "empty")
        write(index(), "");
    else if (state == "data")
        write(index(), otherCategories);
    const QByteArray one = url(1, "one.example"), two = url(1, "two.example");
    if (files.find('1') != std::string::npos)
        write(user("CAT1.DAT"), one);
    if (files.find('2') != std::string::npos)
        write(user("CAT2.DAT"), two);

    QStringList notices;
    ToldLeftovers told; // what this run told
    const IoError err = RecoverUserFolder(1, &notices, &told);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();

    if (outcome == "index") {
        EXPECT_EQ(FileBytes(index()), categories);
    } else if (state == "data") {
        EXPECT_EQ(FileBytes(index()), otherCategories);
    }
    if (outcome == "url2") {
        EXPECT_EQ(FileBytes(user("CAT2.DAT")), leftover);
    }
    if (outcome == "left") {
        EXPECT_EQ(FileBytes(leftoverPath), leftover);
        ASSERT_EQ(notices.size(), 1);
        const QString why =
            content == "mixed"
                ? QStringLiteral("its lines are neither all Category records nor all URL records")
            : files == "1"
                ? QStringLiteral("it holds URLs, but its records do not say which Category they "
                                 "belong to, and it may not be the one without URLs")
                : QStringLiteral("it holds URLs, and more than one of your Categories has none");
        EXPECT_EQ(notices[0],
                  QStringLiteral("Wayfile found \"%1\", left in your folder by a change that was "
                                 "cut short, but cannot tell where it belongs: %2. It is left as "
                                 "it is. If some of your Categories or URLs are missing, close "
                                 "Wayfile and restore your folder from a backup; if nothing is "
                                 "missing, you may delete that file.")
                      .arg(leftoverPath, why));
        // Told once: the next sign-in of the run leaves it without a word.
        const QStringList firstTime = notices;
        notices.clear();
        ASSERT_FALSE(RecoverUserFolder(1, &notices, &told).failed());
        EXPECT_TRUE(notices.isEmpty());
        EXPECT_EQ(FileBytes(leftoverPath), leftover);
        // The next run tells it again.
        ToldLeftovers nextRun;
        ASSERT_FALSE(RecoverUserFolder(1, &notices, &nextRun).failed());
        EXPECT_EQ(notices, firstTime);
    } else if (outcome == "kept") {
        // Nothing is lost: the leftover is kept byte for byte under a name no
        // rewrite uses, and told once.
        const QString kept = leftoverPath + ".kept";
        EXPECT_FALSE(QFileInfo::exists(leftoverPath));
        EXPECT_EQ(FileBytes(kept), leftover);
        EXPECT_EQ(notices,
                  QStringList{keptLeftoverNotice(leftoverPath,
                                                 content == "index" ? QStringLiteral("Categories")
                                                                    : QStringLiteral("URLs"),
                                                 kept)});
        notices.clear();
        ASSERT_FALSE(RecoverUserFolder(1, &notices, &told).failed());
        EXPECT_TRUE(notices.isEmpty());
        EXPECT_EQ(FileBytes(kept), leftover);
    } else {
        EXPECT_TRUE(notices.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(leftoverPath));
    }
    if (files.find('1') != std::string::npos) {
        EXPECT_EQ(FileBytes(user("CAT1.DAT")), one);
    }
    if (files.find('2') != std::string::npos) {
        EXPECT_EQ(FileBytes(user("CAT2.DAT")), two);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, PeerLeftovers,
    ::testing::Values(
        PeerCase{"index_without_an_index", "tmp.DAT", "index", "absent", "", "index"},
        PeerCase{"index_over_an_empty_index", "tmp.dat", "index", "empty", "", "index"},
        PeerCase{"index_while_the_index_has_data", "tmp.DAT", "index", "data", "", "kept"},
        PeerCase{"urls_while_one_category_has_none", "TMP.DAT", "urls", "data", "1", "left"},
        PeerCase{"urls_while_every_category_has_some", "TMP.DAT", "urls", "data", "12", "kept"},
        PeerCase{"urls_of_two_categories_without", "TMP.DAT", "urls", "data", "", "left"},
        PeerCase{"neither", "Tmp.Dat", "mixed", "data", "12", "left"},
        PeerCase{"empty", "TMP.DAT", "empty", "data", "12", "removed"}),
    [](const auto &info) { return std::string(info.param.name); });

// A rewrite of the index by another program, cut short after it deleted the
// old index, and the index made again since (by a sign-in that found none,
// and a Category added): the leftover holds nineteen Categories the new index
// lacks. None is lost: the leftover is kept whole under a free name (an
// earlier one kept there already keeps its name), and told once.
TEST_F(Durability, ALeftoverOfNineteenCategoriesIsKeptWhenTheIndexHasDataAgain) {
    QByteArray nineteen;
    for (int n = 1; n <= 19; ++n)
        nineteen += category(n, QStringLiteral("Category %1").arg(n));
    write(user("tmp.DAT"), nineteen);
    write(user("tmp.DAT.kept"), "kept before\r\n");
    const QByteArray since = category(20, "Added since");
    write(index(), since);

    QStringList notices;
    ToldLeftovers told;
    const IoError err = RecoverUserFolder(1, &notices, &told);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(FileBytes(user("tmp.DAT.kept2")), nineteen);
    EXPECT_EQ(FileBytes(user("tmp.DAT.kept")), QByteArray("kept before\r\n"));
    EXPECT_EQ(FileBytes(index()), since);
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "tmp.DAT.kept", "tmp.DAT.kept2"}));
    EXPECT_EQ(notices, QStringList{keptLeftoverNotice(user("tmp.DAT"), QStringLiteral("Categories"),
                                                      user("tmp.DAT.kept2"))});
    notices.clear();
    ASSERT_FALSE(RecoverUserFolder(1, &notices, &told).failed());
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(FileBytes(user("tmp.DAT.kept2")), nineteen);
}

// --- An import cut short that cannot be undone -------------------------------------

struct UndoFault {
    const char *name;
    int error;          // what cutting the file back fails with; 0: the journal is unreadable
    const char *reason; // the system's reason for it
    const char *advice; // what the message ends with
};

void PrintTo(const UndoFault &c, std::ostream *os) {
    *os << c.name;
}

class UndoFaults : public Durability, public ::testing::WithParamInterface<UndoFault> {};

// An import cut short after it appended to a URL file, then a sign-in whose
// undo fails: the message names the import, says that its files stay
// half-changed, and gives the advice that fits the reason; the journal and
// the file stay as they are.
TEST_P(UndoFaults, NameTheImportAndAdviseByTheReason) {
    const UndoFault fault = GetParam();
    const QByteArray added = "more\r\n";
    QByteArray body = fault.error ? "Wayfile journal 2\nappend 10 CAT5.DAT\n"
                                  : "Wayfile journal 2\nshred 10 CAT5.DAT\n";
    const QByteArray journal =
        body + "end 1 " + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() +
        "\n" + "written CAT5.DAT 6 1 " + Crc32c::of("6 " + Crc32c::of(added) + '\n') + '\n' + "6 " +
        Crc32c::of(added) + '\n';
    write(user(kJournalName), journal);
    write(user("CAT5.DAT"), "0123456789" + added);

    IoError err;
    {
        const int error = fault.error;
        const DiskCallsOverride calls(DiskCalls{.truncate = [error](int, qint64) {
            errno = error;
            return -1;
        }});
        err = RecoverUserFolder(1);
    }
    const QString doing =
        fault.error ? QStringLiteral("Wayfile was finishing or undoing an import of bookmarks "
                                     "that was cut short, but could not restore \"%1\".\r\n\r\n"
                                     "Reason: %2.\r\n\r\n")
                          .arg(user("CAT5.DAT"), QString::fromLatin1(fault.reason))
                    : QStringLiteral("Wayfile was finishing or undoing a change of several files "
                                     "(an import, a password change or the deletion of an ID) "
                                     "that was cut short, but could not finish the change recorded "
                                     "in \"%1\".\r\n\r\nReason: It holds a step this version of "
                                     "Wayfile does not know (\"shred 10 CAT5.DAT\").\r\n\r\n")
                          .arg(user(kJournalName));
    // Only the advice for an unreadable journal names it.
    QString advice = QString::fromLatin1(fault.advice);
    if (advice.contains(QLatin1String("%1")))
        advice = advice.arg(user(kJournalName));
    EXPECT_EQ(err.message(), doing + advice);
    EXPECT_EQ(FileBytes(user(kJournalName)), journal);
    EXPECT_EQ(FileBytes(user("CAT5.DAT")), "0123456789" + added);
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, UndoFaults,
    ::testing::Values(
        UndoFault{"disk_full", ENOSPC, "No space left on device",
                  "Nothing is lost: the record of that change is kept, and Wayfile tries again at "
                  "your next sign-in. Until that change is finished, the files it changes are "
                  "half-changed, and Wayfile makes no other change of them. Please free some "
                  "space on the disk, then close Wayfile and start it again."},
        UndoFault{"read_only", EROFS, "Read-only file system",
                  "Nothing is lost: the record of that change is kept, and Wayfile tries again at "
                  "your next sign-in. Until that change is finished, the files it changes are "
                  "half-changed, and Wayfile makes no other change of them. Please make sure "
                  "that Wayfile may write to its folder and the files in it (the disk may be "
                  "read-only, or their permissions changed), then close Wayfile and start it "
                  "again."},
        UndoFault{"disk_failing", EIO, "Input/output error",
                  "Nothing is lost: the record of that change is kept, and Wayfile tries again at "
                  "your next sign-in. Until that change is finished, the files it changes are "
                  "half-changed, and Wayfile makes no other change of them. Please check the "
                  "disk: it may be failing or no longer connected. Then close Wayfile and start "
                  "it again."},
        UndoFault{"journal_unreadable", 0, "",
                  "Until that change is finished, the files it changes are half-changed, and "
                  "Wayfile makes no other change of them. The record of that change, \"%1\", is "
                  "kept as it is; it may have been written by another version of Wayfile. Finish "
                  "the change with the version that made it, or close Wayfile and restore the "
                  "folder from a backup."}),
    [](const auto &info) { return std::string(info.param.name); });

// --- A registration torn at every cut ----------------------------------------------

// The account record of a registration cut at every one of its bytes: at
// the next start the line is cut off and the registration's empty folder
// removed, so the name is free again and registers on the same number. A
// cut at the end of a group of the password field passes for a whole record
// and is kept, as is the whole record without its line end.
TEST_F(Durability, ATornRegistrationIsUndoneAtStartUp) {
    const QByteArray first =
        AccountRecordLine(1, QStringLiteral("Ann"), QStringLiteral("pw")).toLatin1() + "\r\n";
    const QByteArray record =
        AccountRecordLine(2, QStringLiteral("Bob"), QStringLiteral("secret")).toLatin1();
    const qsizetype lastField = record.lastIndexOf("*QVX*") + 5;
    const QString account = dir.filePath("info.qvx");
    for (qsizetype at = 1; at <= record.size(); ++at) {
        write(account, first + record.left(at));
        QDir(dir.path()).mkdir(QStringLiteral("USR2"));
        const IoError err = RecoverProgramFolder();
        ASSERT_FALSE(err.failed()) << err.message().toStdString();
        const bool passes = at > lastField && (at - lastField) % 36 == 0;
        ASSERT_EQ(FileBytes(account), passes ? first + record.left(at) : first)
            << "cut after " << at << " of " << record.size() << " bytes";
        EXPECT_EQ(QFileInfo::exists(dir.filePath("USR2")), passes) << "cut after " << at;
        if (!passes) {
            bool taken = true;
            int next = 0;
            ASSERT_FALSE(FindAccount(QStringLiteral("Bob"), &taken, &next).failed());
            EXPECT_FALSE(taken);
            EXPECT_EQ(next, 2);
        }
    }
    // A folder that holds something is no empty registration: it stays.
    write(account, first + record.left(10));
    const QByteArray work = category(1, "Work");
    write(dir.filePath("USR2/CAT.DAT"), work);
    ASSERT_FALSE(RecoverProgramFolder().failed());
    EXPECT_EQ(FileBytes(account), first);
    EXPECT_EQ(FileBytes(dir.filePath("USR2/CAT.DAT")), work);
}

} // namespace

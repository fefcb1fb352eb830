// What survives an interruption, a read-only file and an unusual umask: a
// category delete killed at each of its steps and the next sign-in's
// recovery, the leftovers of interrupted rewrites, files made read-only, and
// the modes of what the program creates.

#include "categories/categoryindex.h"
#include "categories/recovery.h"
#include "session/modMain.h"
#include "storage/accountfile.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
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
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: It is a "
                                            "folder, not a file.")
                                 .arg(index()));
    EXPECT_EQ(FileBytes(user("CAT2.DAT.deleting")), aside);
}

TEST_F(Durability, AFileSetAsideThatCannotBeRemovedIsReportedAndTheRestIsDone) {
    write(index(), category(1, "Work"));
    ASSERT_TRUE(QDir().mkpath(user("CAT5.DAT.deleting/inside")));
    const QByteArray workUrls = url(1, "work.example");
    write(user("CAT1.DAT.deleting"), workUrls);
    const IoError err = RecoverUserFolder(1);
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile could not delete \"%1\".\r\n\r\nReason: Is a directory.")
                  .arg(user("CAT5.DAT.deleting")));
    EXPECT_EQ(FileBytes(user("CAT1.DAT")), workUrls);
}

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

// The first URL of a category whose folder cannot be flushed: the new file's
// warning comes back with the change.
TEST_F(Durability, TheFirstUrlOfACategoryCarriesTheFolderWarning) {
    Change change;
    {
        const DiskCallsOverride calls(FolderSyncFails(EIO));
        change = AppendUrl(UrlFilePath(1, 1), QStringLiteral("a.example"), {}, PassStamp);
    }
    ASSERT_TRUE(change.changed);
    EXPECT_EQ(change.error.warningMessage(),
              QStringLiteral("Wayfile saved \"%1\", but could not make sure that the change is "
                             "safely on disk: a power failure could still undo it.\r\n\r\n"
                             "Reason: The folder \"%2\" could not be flushed to disk (Input/output "
                             "error).")
                  .arg(user("CAT1.DAT"), user(QString()).chopped(1)));
}

} // namespace

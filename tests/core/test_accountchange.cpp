// Changing a password and deleting an account: the checks, the stamps of own
// and foreign records, two accounts of one name, delete and register again,
// read-only folders, a failure at every step, and a stop at every step
// followed by the recovery: exactly one password signs in and reads
// everything; the account is whole or gone.

#include "accounts/accountchange.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "recovery/recovery.h"
#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "diskkill.h"
#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <cerrno>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

// Every file under a folder, by its path relative to it, with its bytes;
// folders as entries of their own (ending in "/").
using Tree = QMap<QString, QByteArray>;

QByteArray lines(const QStringList &records, const char *lineEnd = "\r\n") {
    QByteArray out;
    for (const QString &record : records)
        out += record.toLatin1() + lineEnd;
    return out;
}

// The owner stamp of a line: its field `field` (0-based), or "" when the
// line has fewer fields.
QString stampOf(const QByteArray &line, int field) {
    return SplitRecord(QString::fromLatin1(line)).value(field);
}

// A line without its stamp field.
QByteArray withoutStamp(const QByteArray &line, int field) {
    QStringList fields = SplitRecord(QString::fromLatin1(line));
    if (field < fields.size())
        fields.removeAt(field);
    return JoinRecord(fields).toLatin1();
}

// Three accounts: Ann (1, "pw1"), Bob (2) and a second "ann" (3, "pw2").
// Ann's folder holds her records, records of another password, lines that
// are no records, LF line ends and a last line without line end.
class AccountChangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        const QString pw1 = MakePassStamp(QStringLiteral("pw1"));
        const QString other = MakePassStamp(QStringLiteral("other"));
        before[QStringLiteral("info.qvx")] =
            lines({AccountRecordLine(1, QStringLiteral("Ann"), QStringLiteral("pw1")),
                   AccountRecordLine(2, QStringLiteral("Bob"), QStringLiteral("bobpw")),
                   AccountRecordLine(3, QStringLiteral("ann"), QStringLiteral("pw2"))});
        before[QStringLiteral("USR1/")] = {};
        before[QStringLiteral("USR1/CAT.DAT")] = lines(
            {CategoryRecordLine(2, QStringLiteral("Old"), other), QStringLiteral("no separator"),
             CategoryRecordLine(1, QStringLiteral("Work"), pw1),
             CategoryRecordLine(3, QStringLiteral("Home"), pw1)});
        before[QStringLiteral("USR1/CAT1.DAT")] =
            lines({UrlRecordLine(1, QStringLiteral("a.example"), QStringLiteral("one"), pw1),
                   UrlRecordLine(2, QStringLiteral("b.example"), QString(), other)}) +
            lines({QStringLiteral("short*QVX*line")}, "\n") +
            UrlRecordLine(3, QStringLiteral("c.example"), QStringLiteral("x*QVX*y"), pw1)
                .toLatin1();
        before[QStringLiteral("USR1/CAT2.DAT")] =
            lines({UrlRecordLine(1, QStringLiteral("old.example"), QString(), other)});
        before[QStringLiteral("USR1/CAT3.DAT")] =
            lines({UrlRecordLine(1, QStringLiteral("d.example"), QString(), pw1)});
        before[QStringLiteral("USR1/notes.txt")] = "not a data file\n";
        before[QStringLiteral("USR2/")] = {};
        before[QStringLiteral("USR2/CAT.DAT")] =
            lines({CategoryRecordLine(1, QStringLiteral("Bobs"), MakePassStamp("bobpw"))});
        before[QStringLiteral("USR3/")] = {};
        before[QStringLiteral("USR3/CAT.DAT")] =
            lines({CategoryRecordLine(1, QStringLiteral("Hers"), MakePassStamp("pw2"))});
        before[QStringLiteral("USR3/CAT1.DAT")] =
            lines({UrlRecordLine(1, QStringLiteral("h.example"), QString(), MakePassStamp("pw2"))});
        before[QStringLiteral("USR3/sub/")] = {};
        before[QStringLiteral("USR3/sub/inner.txt")] = "x";
        restore(before);
    }
    void TearDown() override {
        SetDiskCalls({});
        ResetSession();
        SetProgramFolder(QString());
    }

    QString path(const QString &relative) const { return dir.filePath(relative); }

    // Puts the program folder back to `tree`, and nothing else.
    void restore(const Tree &tree) {
        QDir top(dir.path());
        for (const QString &name :
             top.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            const QString entry = top.filePath(name);
            ASSERT_TRUE(QFileInfo(entry).isDir() && !QFileInfo(entry).isSymLink()
                            ? QDir(entry).removeRecursively()
                            : QFile::remove(entry));
        }
        for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
            if (it.key().endsWith(u'/')) {
                ASSERT_TRUE(top.mkpath(it.key()));
                continue;
            }
            QFile file(path(it.key()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(*it), it->size());
        }
    }
    Tree snapshot() const {
        Tree tree;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            const QString relative = QDir(dir.path()).relativeFilePath(entry);
            if (QFileInfo(entry).isDir())
                tree[relative + u'/'] = {};
            else
                tree[relative] = FileBytes(entry);
        }
        return tree;
    }
    static qint16 signIn(const char *name, const char *password) {
        qint16 userNo = -1;
        const IoError err = CheckSignIn(QLatin1String(name), QLatin1String(password), &userNo);
        return err.failed() ? -1 : userNo;
    }

    // Ann's files after a change to `password`: her records carry its stamp,
    // every other byte is as it was, every file reads under it, and nothing
    // else of the program folder changed.
    void expectChangedTo(const char *password) {
        const Tree after = snapshot();
        const OwnerTest mine(MakePassStamp(QLatin1String(password)));
        const OwnerTest old(MakePassStamp(QStringLiteral("pw1")));
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QString &name = it.key();
            ASSERT_TRUE(after.contains(name)) << name.toStdString();
            const int field = name == QLatin1String("USR1/CAT.DAT") ? 2 : 3;
            if (name == QLatin1String("info.qvx")) {
                const QList<QByteArray> was = it->split('\n');
                const QList<QByteArray> now = after[name].split('\n');
                ASSERT_EQ(now.size(), was.size());
                EXPECT_NE(now[0], was[0]); // enciphered anew: compared deciphered
                const QStringList fields = SplitRecord(QString::fromLatin1(now[0].trimmed()));
                EXPECT_EQ(DecodeField(fields[0]), QStringLiteral("USR1"));
                EXPECT_EQ(DecodeField(fields[1]), QStringLiteral("Ann"));
                EXPECT_EQ(SwapPairs(DecryptText(DecryptText(fields[2]))), QLatin1String(password));
                EXPECT_EQ(now.mid(1), was.mid(1));
            } else if (name.startsWith(QLatin1String("USR1/CAT"))) {
                const QList<QByteArray> was = it->split('\n');
                const QList<QByteArray> now = after[name].split('\n');
                ASSERT_EQ(now.size(), was.size()) << name.toStdString();
                for (qsizetype i = 0; i < was.size(); ++i) {
                    const QString stamp = stampOf(was[i].trimmed(), field);
                    if (SplitRecord(QString::fromLatin1(was[i])).size() > field &&
                        old.owns(stamp)) {
                        EXPECT_EQ(withoutStamp(now[i], field), withoutStamp(was[i], field))
                            << name.toStdString() << " line " << i;
                        EXPECT_TRUE(mine.owns(stampOf(now[i].trimmed(), field)));
                    } else {
                        EXPECT_EQ(now[i], was[i]) << name.toStdString() << " line " << i;
                    }
                }
            } else {
                EXPECT_EQ(after[name], *it) << name.toStdString();
            }
        }
        EXPECT_EQ(after.keys(), before.keys()); // nothing left behind

        // Everything reads under the new password, as it did under the old.
        const QString stamp = MakePassStamp(QLatin1String(password));
        CategoryIndexRead index;
        ASSERT_FALSE(ReadCategoryIndex(1, stamp, &index).failed());
        ASSERT_EQ(index.owned.size(), 2);
        EXPECT_EQ(index.owned[0].text, QStringLiteral("Work"));
        EXPECT_EQ(index.owned[1].text, QStringLiteral("Home"));
        EXPECT_TRUE(index.lastOwned);
        for (const auto &[file, owned, foreign] :
             {std::tuple{"USR1/CAT1.DAT", 2, 1}, std::tuple{"USR1/CAT3.DAT", 1, 0},
              std::tuple{"USR1/CAT2.DAT", 0, 1}}) {
            QList<ListEntry> entries;
            int others = 0;
            ASSERT_FALSE(ReadUrlList(path(QLatin1String(file)), stamp, &entries, &others).failed());
            EXPECT_EQ(entries.size(), owned) << file;
            EXPECT_EQ(others, foreign) << file;
        }
    }

    QTemporaryDir dir;
    Tree before;
};

TEST_F(AccountChangeTest, ANewPasswordRestampsOwnRecordsOnlyAndSignsIn) {
    QList<std::pair<int, int>> told;
    const Change change = ChangePassword(QStringLiteral("  ANN "), QStringLiteral(" pw1"),
                                         QStringLiteral("new pw "), [&](int done, int total) {
                                             told.append({done, total});
                                         });
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.number, 1);
    expectChangedTo("new pw");
    EXPECT_EQ(signIn("ann", "new pw"), 1);
    EXPECT_EQ(signIn("ann", "pw1"), 0);
    EXPECT_EQ(signIn("ann", "pw2"), 3);
    EXPECT_EQ(signIn("bob", "bobpw"), 2);
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.first().first, 0);
    EXPECT_EQ(told.last().first, told.last().second);
}

// A URL file that an interrupted category delete set aside goes back to its
// category later: it gets the new stamps too.
TEST_F(AccountChangeTest, AUrlFileSetAsideIsRestampedToo) {
    const QByteArray aside =
        lines({UrlRecordLine(1, QStringLiteral("e.example"), QString(), MakePassStamp("pw1"))});
    QFile file(path("USR1/CAT3.DAT.deleting"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(aside), aside.size());
    file.close();
    ASSERT_TRUE(ChangePassword(QStringLiteral("Ann"), QStringLiteral("pw1"), QStringLiteral("pw9"))
                    .changed);
    const QByteArray now = FileBytes(path("USR1/CAT3.DAT.deleting"));
    EXPECT_EQ(withoutStamp(now.trimmed(), 3), withoutStamp(aside.trimmed(), 3));
    EXPECT_TRUE(OwnerTest(MakePassStamp("pw9")).owns(stampOf(now.trimmed(), 3)));
}

struct CheckCase {
    const char *name;
    const char *user;
    const char *oldPassword;
    const char *newPassword;
    const char *message;
};

class PasswordChecks : public AccountChangeTest, public ::testing::WithParamInterface<CheckCase> {};

// Every refusal leaves every file as it was.
TEST_P(PasswordChecks, RefuseWithTheirMessage) {
    const CheckCase c = GetParam();
    const Change change =
        ChangePassword(QString::fromUtf8(c.user), QString::fromUtf8(c.oldPassword),
                       QString::fromUtf8(c.newPassword));
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(), QString::fromUtf8(c.message));
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, PasswordChecks,
    ::testing::Values(
        CheckCase{"unknown_name", "Zed", "pw1", "new",
                  "Sorry, your Username OR Password is invalid!"},
        CheckCase{"password_in_other_case", "Ann", "PW1", "new",
                  "Sorry, your Username OR Password is invalid!"},
        CheckCase{"another_users_password", "Bob", "pw1", "new",
                  "Sorry, your Username OR Password is invalid!"},
        CheckCase{"blanks_only", "Ann", "pw1", "   ",
                  "Sorry, a Password can't be made of blanks only: it could never be signed in "
                  "with."},
        CheckCase{"tilde", "Ann", "pw1", "new~pw",
                  "Sorry, a Password can't hold these characters: \"~\"\r\nPlease use only "
                  "letters without accents, digits, blanks and the usual punctuation marks."},
        CheckCase{"accent_and_tab", "Ann", "pw1", "p\u00e4ss\tword",
                  "Sorry, a Password can't hold these characters: \"\u00e4\" (character code "
                  "9)\r\nPlease use only letters without accents, digits, blanks and the usual "
                  "punctuation marks."},
        CheckCase{"the_other_anns_password", "Ann", "pw1", "pw2",
                  "Sorry, another ID of that User Name already has that Password, please choose "
                  "another!"}),
    [](const auto &info) { return std::string(info.param.name); });

// Two accounts of one name: the one the current password signs in to is the
// one changed; the other keeps its password and its files.
TEST_F(AccountChangeTest, OfTwoAccountsOfOneNameThePasswordChoosesTheOne) {
    const Change change =
        ChangePassword(QStringLiteral("ann"), QStringLiteral("pw2"), QStringLiteral("pw3"));
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    EXPECT_EQ(change.number, 3);
    EXPECT_EQ(signIn("ann", "pw3"), 3);
    EXPECT_EQ(signIn("ann", "pw2"), 0);
    EXPECT_EQ(signIn("ann", "pw1"), 1);
    const Tree after = snapshot();
    for (const QString &name : before.keys()) {
        if (!name.startsWith(QLatin1String("USR3/CAT")) && name != QLatin1String("info.qvx")) {
            EXPECT_EQ(after[name], before[name]) << name.toStdString();
        }
    }
    EXPECT_EQ(after[QStringLiteral("info.qvx")].split('\n').first(),
              before[QStringLiteral("info.qvx")].split('\n').first());
    CategoryIndexRead index;
    ASSERT_FALSE(ReadCategoryIndex(3, MakePassStamp("pw3"), &index).failed());
    EXPECT_EQ(index.owned.size(), 1);
    EXPECT_TRUE(index.lastOwned);
}

// The account and its folder go; the number, given again, starts empty.
TEST_F(AccountChangeTest, ADeletedAccountGoesAndItsNumberStartsEmpty) {
    EXPECT_EQ(DeleteAccount(QStringLiteral("ann"), QStringLiteral("pw1")).number, 1);
    const Change refused = DeleteAccount(QStringLiteral("ann"), QStringLiteral("pw1"));
    EXPECT_FALSE(refused.changed);
    EXPECT_EQ(refused.error.message(),
              QStringLiteral("Sorry, your Username OR Password is invalid!"));

    const Change change = DeleteAccount(QStringLiteral(" ANN"), QStringLiteral("pw2 "));
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    EXPECT_EQ(change.number, 3);
    EXPECT_FALSE(change.failed());
    EXPECT_EQ(signIn("ann", "pw2"), 0);
    EXPECT_EQ(signIn("bob", "bobpw"), 2);
    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
              (QStringList{"USR2", "info.qvx"}));
    EXPECT_EQ(FileBytes(path("info.qvx")),
              before[QStringLiteral("info.qvx")].split('\n')[1] + '\n');

    const Change registered = RegisterUser(QStringLiteral("Cid"), QStringLiteral("cpw"));
    ASSERT_TRUE(registered.changed);
    ASSERT_EQ(registered.number, 3);
    EXPECT_EQ(QDir(path("USR3")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    CategoryIndexRead index;
    ASSERT_FALSE(ReadCategoryIndex(3, MakePassStamp("cpw"), &index).failed());
    EXPECT_FALSE(index.hasData);
}

struct ReadOnlyCase {
    const char *name;
    const char *operation; // "change" or "delete"
    const char *readOnly;  // the folder made read-only ("" for the program folder)
    const char *action;
    const char *file; // named in the message
};

class AccountReadOnly : public AccountChangeTest,
                        public ::testing::WithParamInterface<ReadOnlyCase> {};

// As an ordinary user: a folder that cannot be written refuses the change
// before anything is written, naming the file and the reason.
TEST_P(AccountReadOnly, RefusesWithEverythingUnchanged) {
    const ReadOnlyCase c = GetParam();
    const QString folder = path(QString::fromLatin1(c.readOnly));
    const forked::Outcome outcome =
        forked::runAsOrdinaryUser(QFile::encodeName(dir.path()), [&]() -> QByteArray {
            if (::chmod(QFile::encodeName(folder).constData(), 0500) != 0)
                return "chmod failed";
            const Change change = std::string(c.operation) == "change"
                                      ? ChangePassword(QStringLiteral("ann"), QStringLiteral("pw2"),
                                                       QStringLiteral("pw9"))
                                      : DeleteAccount(QStringLiteral("ann"), QStringLiteral("pw2"));
            ::chmod(QFile::encodeName(folder).constData(), 0700);
            return (change.changed ? "changed\n" : "refused\n") + change.error.message().toUtf8();
        });
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    ASSERT_TRUE(outcome.exited) << outcome.describe();
    EXPECT_EQ(QString::fromUtf8(outcome.report),
              QStringLiteral("refused\nWayfile could not %1 \"%2\".\r\n\r\nReason: Permission "
                             "denied.")
                  .arg(QLatin1String(c.action), path(QString::fromLatin1(c.file))));
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, AccountReadOnly,
    ::testing::Values(
        ReadOnlyCase{"change_user_folder", "change", "USR3", "write to", "USR3/CAT.DAT"},
        ReadOnlyCase{"change_program_folder", "change", "", "write to", "info.qvx"},
        ReadOnlyCase{"delete_program_folder", "delete", "", "delete", "USR3"},
        ReadOnlyCase{"delete_inner_folder", "delete", "USR3/sub", "delete", "USR3/sub"}),
    [](const auto &info) { return std::string(info.param.name); });

struct FullDiskCase {
    const char *name;
    bool change;
    const char *file; // named in the message
};

class AccountFullDisk : public AccountChangeTest,
                        public ::testing::WithParamInterface<FullDiskCase> {};

// The disk full at the first write after the journal's (the journal's own
// write, its flush and its folder's flush come first): the change is
// refused, the file and the reason named, and every file is as it was.
TEST_P(AccountFullDisk, RefusesWithEverythingUnchanged) {
    const FullDiskCase c = GetParam();
    Change change;
    bool failed = false;
    {
        const DiskCallsOverride calls(diskkill::FailAt(4, ENOSPC, &failed));
        change = c.change ? ChangePassword(QStringLiteral("ann"), QStringLiteral("pw2"),
                                           QStringLiteral("pw9"))
                          : DeleteAccount(QStringLiteral("ann"), QStringLiteral("pw2"));
    }
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: No space left on "
                             "device.")
                  .arg(path(QLatin1String(c.file))));
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Accounts, AccountFullDisk,
                         ::testing::Values(FullDiskCase{"change", true, "USR3/CAT.DAT"},
                                           FullDiskCase{"delete", false, "info.qvx"}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- A failure at every step ------------------------------------------------------

struct Operation {
    const char *name;
    bool change; // a password change, or else an account delete
};

class FailedSteps : public AccountChangeTest, public ::testing::WithParamInterface<Operation> {
protected:
    Change run() const {
        return GetParam().change ? ChangePassword(QStringLiteral("Ann"), QStringLiteral("pw1"),
                                                  QStringLiteral("pw9"))
                                 : DeleteAccount(QStringLiteral("Ann"), QStringLiteral("pw1"));
    }
    // The whole change: Ann's new password, or Ann gone.
    void expectDone() {
        if (GetParam().change) {
            expectChangedTo("pw9");
            return;
        }
        EXPECT_EQ(signIn("ann", "pw1"), 0);
        Tree gone = before;
        for (const QString &name : before.keys()) {
            if (name.startsWith(QLatin1String("USR1/")))
                gone.remove(name);
        }
        QList<QByteArray> accounts = before[QStringLiteral("info.qvx")].split('\n');
        accounts.removeFirst();
        gone[QStringLiteral("info.qvx")] = accounts.join('\n');
        EXPECT_EQ(snapshot(), gone);
    }
};

// Every write, flush, rename and removal of the change failing in turn (a
// full disk, a failing device): either the change is refused with the file
// and the reason named, and every file is as it was; or it was decided
// already, and what is left of it is done at the next start.
TEST_P(FailedSteps, LeaveTheFilesAsTheyWereOrTheChangeToFinish) {
    int refused = 0;
    for (int step = 1;; ++step) {
        ASSERT_LT(step, 200) << "the change never finished";
        restore(before);
        Change change;
        bool failed = false;
        {
            const DiskCallsOverride calls(diskkill::FailAt(step, EIO, &failed));
            change = run();
        }
        if (!change.failed()) {
            // Done: untouched, or only a folder could not be flushed.
            EXPECT_TRUE(change.changed);
            EXPECT_EQ(change.error.warning.isSet(), failed)
                << step << ": " << change.error.warningMessage().toStdString();
            expectDone();
            if (!failed)
                break;
            continue;
        }
        const QString message = change.error.message();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Wayfile could not ")) &&
                    message.contains(dir.path()) &&
                    message.contains(QStringLiteral("Reason: Input/output error")))
            << step << ": " << message.toStdString();
        if (!change.changed) {
            ++refused;
            EXPECT_EQ(snapshot(), before) << step << ": " << message.toStdString();
        } else {
            EXPECT_TRUE(message.endsWith(
                QStringLiteral("The change will be finished the next time Wayfile starts.")))
                << step << ": " << message.toStdString();
            ASSERT_FALSE(RecoverProgramFolder().failed()) << step;
            expectDone();
        }
        if (HasFailure()) {
            ADD_FAILURE() << "failed at step " << step;
            return;
        }
    }
    EXPECT_GT(refused, 3);
}

// A change decided already but not finished, whose finishing at the next
// start fails too: the message says what Wayfile was doing and that nothing
// is lost; the journal stays, and the start after that finishes the change.
TEST_P(FailedSteps, AFinishingThatFailsAtTheStartSaysWhatWasBeingDone) {
    bool finishedLater = false;
    for (int step = 1; step < 200 && !finishedLater; ++step) {
        restore(before);
        Change change;
        bool failed = false;
        {
            const DiskCallsOverride calls(diskkill::FailAt(step, EIO, &failed));
            change = run();
        }
        if (!failed)
            break;
        if (!change.changed || !change.failed())
            continue;
        finishedLater = true;
        IoError started;
        {
            const DiskCallsOverride calls(
                {{}, {}, [](const char *, const char *) { return errno = EIO, -1; }, {}});
            started = RecoverProgramFolder();
        }
        ASSERT_TRUE(started.failed()) << step;
        const QString message = started.message();
        // The change is named as its journal records it, and the advice fits
        // a failing disk.
        EXPECT_TRUE(message.startsWith(
            QStringLiteral("Wayfile was finishing or undoing %1 that was cut short, but could "
                           "not ")
                .arg(GetParam().change ? QStringLiteral("a password change")
                                       : QStringLiteral("the deletion of an ID"))))
            << message.toStdString();
        EXPECT_TRUE(message.endsWith(QStringLiteral(
            "Reason: Input/output error.\r\n\r\nNothing is lost: the record of that change is "
            "kept, and Wayfile tries again at its next start. Until that change is finished, "
            "the files it changes are half-changed, and Wayfile makes no other change of them. "
            "Please check the disk: it may be failing or no longer connected. Then close "
            "Wayfile and start it again.")))
            << message.toStdString();
        EXPECT_TRUE(QFileInfo::exists(path(kJournalName)));
        ASSERT_FALSE(RecoverProgramFolder().failed()) << step;
        expectDone();
    }
    EXPECT_TRUE(finishedLater);
}

INSTANTIATE_TEST_SUITE_P(Accounts, FailedSteps,
                         ::testing::Values(Operation{"password_change", true},
                                           Operation{"account_delete", false}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Stopped at every step -------------------------------------------------------

class StoppedSteps : public FailedSteps {};

// The change stopped dead before each of its disk calls in turn (or with that
// write torn), then the start-up's and the sign-in's recovery: exactly one of
// the two passwords signs in and reads everything; the account is whole or
// completely gone. Nothing of the journal is left.
TEST_P(StoppedSteps, LeaveAWholeStateAfterTheRecovery) {
    for (const diskkill::Cut cut : {diskkill::Cut::Before, diskkill::Cut::HalfWritten}) {
        int old = 0;
        int done = 0;
        for (int step = 1;; ++step) {
            ASSERT_LT(step, 200) << "the change never finished";
            restore(before);
            const forked::Outcome outcome = forked::run([&]() -> QByteArray {
                SetDiskCalls(diskkill::StopAt(step, cut));
                const Change change = run();
                return change.changed && !change.failed() ? "done"
                                                          : change.error.message().toUtf8();
            });
            if (outcome.exited && outcome.status == 0) {
                ASSERT_EQ(outcome.report, QByteArray("done"));
                expectDone();
                break;
            }
            ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped)
                << step << ": " << outcome.describe();
            const IoError started = RecoverProgramFolder();
            ASSERT_FALSE(started.failed()) << step << ": " << started.message().toStdString();
            const IoError signedIn = RecoverUserFolder(1);
            ASSERT_FALSE(signedIn.failed()) << step << ": " << signedIn.message().toStdString();

            const bool oldSignsIn = signIn("ann", "pw1") == 1;
            const bool newSignsIn = signIn("ann", "pw9") == 1;
            if (GetParam().change)
                EXPECT_NE(oldSignsIn, newSignsIn) << step;
            else
                EXPECT_FALSE(newSignsIn) << step;
            if (oldSignsIn) {
                ++old;
                EXPECT_EQ(snapshot(), before) << step;
            } else {
                ++done;
                expectDone();
            }
            EXPECT_EQ(signIn("bob", "bobpw"), 2);
            EXPECT_EQ(signIn("ann", "pw2"), 3);
            if (HasFailure()) {
                ADD_FAILURE() << "stopped at step " << step;
                return;
            }
        }
        EXPECT_GT(old, 3);
        EXPECT_GE(done, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Accounts, StoppedSteps,
                         ::testing::Values(Operation{"password_change", true},
                                           Operation{"account_delete", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

#include "accounts/accountfile.h"

#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/datafile.h"
#include "storage/paths.h"

#include "forked.h"
#include "testfiles.h"

#include "filesizelimit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <functional>
#include <limits>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

// The next user number the last FindAccount gave.
int lastNextNo = -1;

// A program folder of its own for every test, with helpers to write the
// account file byte for byte.
class AccountFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        lastNextNo = -1;
    }
    void TearDown() override {
        SetDiskCalls({});
        SetProgramFolder(QString());
    }

    QString accountFile() const { return dir.filePath(QStringLiteral("info.qvx")); }

    void writeAccountFile(const QByteArray &bytes) {
        QFile file(accountFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray accountFileBytes() const { return FileBytes(accountFile()); }

    // A record line with any tag text, for tags AccountRecordLine cannot make.
    static QByteArray recordWithTag(const QString &tag, const QString &name,
                                    const QString &password) {
        return JoinRecord({EncodeField(tag), EncodeField(name),
                           EncryptText(EncryptText(SwapPairs(password)))})
            .toLatin1();
    }
    static QByteArray record(int n, const QString &name,
                             const QString &password = QStringLiteral("pw")) {
        return AccountRecordLine(n, name, password).toLatin1();
    }

    QTemporaryDir dir;
};

// The outcome of a sign-in attempt as these tests tell them apart.
enum class SignInResult { Success, Invalid, Failed };

// The account routines as questions, their failure (if any) in `err`.
bool appended(int n, const QString &name, const QString &password, IoError *err = nullptr) {
    const IoError result = AppendAccount(n, name, password);
    if (err)
        *err = result;
    return !result.failed();
}

bool found(const QString &userName, IoError *err = nullptr) {
    bool taken = false;
    const IoError result = FindAccount(userName, &taken, &lastNextNo);
    if (err)
        *err = result;
    return taken;
}

SignInResult signIn(const QString &userName, const QString &password, qint16 *userNo,
                    IoError *err) {
    qint16 number = 0;
    const IoError result = CheckSignIn(userName, password, &number);
    if (err)
        *err = result;
    if (result.failed())
        return SignInResult::Failed;
    if (number == 0)
        return SignInResult::Invalid;
    if (userNo)
        *userNo = number;
    return SignInResult::Success;
}

// Each parameterised case carries a name, so that it is listed by words.
template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case> &info) {
    return info.param.name;
}

} // namespace

TEST_F(AccountFileTest, AccountFileLivesInTheProgramFolderWhateverItsCase) {
    EXPECT_EQ(AccountFilePath(), accountFile());
    QFile upper(dir.filePath(QStringLiteral("INFO.QVX")));
    ASSERT_TRUE(upper.open(QIODevice::WriteOnly));
    upper.close();
    EXPECT_EQ(AccountFilePath(), dir.filePath(QStringLiteral("INFO.QVX")));
}

TEST_F(AccountFileTest, RecordLineHoldsTagNameAndTwiceEncipheredPassword) {
    const QString line =
        AccountRecordLine(7, QStringLiteral("  Bob Smith "), QStringLiteral(" pass Word  "));
    EXPECT_EQ(line, TrimBlanks(line));
    const QString digits = QString(line).remove(kFieldSep);
    for (QChar c : digits)
        ASSERT_TRUE(c >= u'0' && c <= u'9') << line.toStdString();
    const QStringList fields = SplitRecord(line);
    ASSERT_EQ(fields.size(), 3);
    EXPECT_EQ(DecodeField(fields[0]), QStringLiteral("USR7"));
    EXPECT_EQ(DecodeField(fields[1]), QStringLiteral("Bob Smith"));
    EXPECT_EQ(fields[2].size(), 6 * 6 * 9);
    EXPECT_EQ(SwapPairs(DecryptText(DecryptText(fields[2]))), QStringLiteral("pass Word"));
}

TEST_F(AccountFileTest, AppendAccountWritesOneCrLfLinePerUserOwnerOnly) {
    IoError err;
    ASSERT_TRUE(appended(1, QStringLiteral("Alice"), QStringLiteral("a1"), &err))
        << err.reason.toStdString();
    ASSERT_TRUE(appended(2, QStringLiteral("Bob"), QStringLiteral("b2"), &err));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(accountFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const QByteArray bytes = accountFileBytes();
    EXPECT_EQ(bytes.count("\r\n"), 2);
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), 2);
}

TEST_F(AccountFileTest, AppendAccountRefusesNumbersTheDataCannotHold) {
    for (int n : {0, -1, kMaxRecordNo + 1}) {
        IoError err;
        EXPECT_FALSE(appended(n, QStringLiteral("Zed"), QStringLiteral("pw"), &err)) << n;
        EXPECT_TRUE(err.failed());
    }
    EXPECT_FALSE(QFileInfo::exists(accountFile()));
}

TEST_F(AccountFileTest, AppendAccountReportsAMissingProgramFolder) {
    SetProgramFolder(dir.filePath(QStringLiteral("gone")));
    IoError err;
    EXPECT_FALSE(appended(1, QStringLiteral("Alice"), QStringLiteral("a1"), &err));
    EXPECT_EQ(err.file, dir.filePath(QStringLiteral("gone/info.qvx")));
    EXPECT_FALSE(err.reason.isEmpty());
}

// --- FindAccount -----------------------------------------------------------

TEST_F(AccountFileTest, FindAccountWithoutAFileCreatesItAndStartsAtOne) {
    IoError err;
    EXPECT_FALSE(found(QStringLiteral("bob"), &err));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(lastNextNo, 1);
    ASSERT_TRUE(QFileInfo::exists(accountFile()));
    EXPECT_EQ(QFileInfo(accountFile()).size(), 0);

    lastNextNo = -1;
    EXPECT_FALSE(found(QStringLiteral("bob"), &err));
    EXPECT_EQ(lastNextNo, 1);
}

struct FindCase {
    const char *name;
    const char *user;
    bool found;
    int next;
};

class FindAccountCases : public AccountFileTest, public ::testing::WithParamInterface<FindCase> {};

// Accounts 1 "Alice", 2 "BOB", 5 "Carol Ann": a match stops the scan, so
// lastNextNo counts only the records read up to it.
TEST_P(FindAccountCases, ComparesNamesIgnoringCaseAndOuterBlanks) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n" +
                     record(2, QStringLiteral("BOB")) + "\r\n" +
                     record(5, QStringLiteral("Carol Ann")) + "\r\n");
    IoError err;
    EXPECT_EQ(found(QString::fromLatin1(GetParam().user), &err), GetParam().found);
    EXPECT_EQ(lastNextNo, GetParam().next);
    EXPECT_FALSE(err.failed());
}

INSTANTIATE_TEST_SUITE_P(AccountFile, FindAccountCases,
                         ::testing::Values(FindCase{"BlanksAround", "  bob ", true, 3},
                                           FindCase{"OtherCase", "bob", true, 3},
                                           FindCase{"FirstRecord", "ALICE", true, 2},
                                           FindCase{"TwoWords", "carol ann", true, 6},
                                           FindCase{"BlankLeftOut", "carolann", false, 6},
                                           FindCase{"Shorter", "bo", false, 6},
                                           FindCase{"Longer", "bobby", false, 6},
                                           FindCase{"Unknown", "dave", false, 6},
                                           FindCase{"Empty", "", false, 6}),
                         caseName<FindCase>);

TEST_F(AccountFileTest, FindAccountNeverFillsGaps) {
    writeAccountFile(record(1, QStringLiteral("a")) + "\r\n" + record(7, QStringLiteral("b")) +
                     "\r\n");
    EXPECT_FALSE(found(QStringLiteral("c")));
    EXPECT_EQ(lastNextNo, 8);
}

// Blank lines, lines without a separator, records that are not accounts,
// junk bytes, LF-only line ends and a last line without a line end change
// nothing.
TEST_F(AccountFileTest, FindAccountSkipsLinesThatAreNotAccounts) {
    const QByteArray clean =
        record(1, QStringLiteral("Alice")) + "\r\n" + record(2, QStringLiteral("Bob")) + "\r\n";
    static const char kJunk[] = "no separator here\r\n*qvx*\r\n\0\x01\xff*QVX\r\n";
    const QByteArray noisy =
        "\r\n   \r\n" + record(1, QStringLiteral("Alice")) + "\n" + "\r\n" +
        QByteArray(kJunk, sizeof kJunk - 1) +
        recordWithTag(QStringLiteral("CAT99"), QStringLiteral("Dave"), QStringLiteral("pw")) +
        "\r\n" + QByteArray(1 << 20, '9') + "\r\n" + record(2, QStringLiteral("Bob"));
    for (const QByteArray &bytes : {clean, noisy}) {
        writeAccountFile(bytes);
        EXPECT_FALSE(found(QStringLiteral("Dave")));
        EXPECT_EQ(lastNextNo, 3);
        EXPECT_TRUE(found(QStringLiteral("bob")));
        EXPECT_EQ(lastNextNo, 3);
    }
}

struct TagCase {
    const char *name;
    const char *tag;
    int next;
};

class FindAccountTags : public AccountFileTest, public ::testing::WithParamInterface<TagCase> {};

// The number is read from the fourth character of the tag on; one too big
// for 16 bits leaves lastNextNo past kMaxRecordNo instead of wrapping.
TEST_P(FindAccountTags, ReadsTheUserNumberWithoutWrapping) {
    writeAccountFile(record(3, QStringLiteral("Alice")) + "\r\n" +
                     recordWithTag(QString::fromLatin1(GetParam().tag), QStringLiteral("Bob"),
                                   QStringLiteral("pw")) +
                     "\r\n");
    EXPECT_FALSE(found(QStringLiteral("Carol")));
    EXPECT_EQ(lastNextNo, GetParam().next);
}

constexpr int kIntMax = std::numeric_limits<int>::max();

INSTANTIATE_TEST_SUITE_P(
    AccountFile, FindAccountTags,
    ::testing::Values(TagCase{"Plain", "USR9", 10}, TagCase{"LowerCase", "usr9", 10},
                      TagCase{"BlankBeforeNumber", "Usr 9", 10},
                      TagCase{"JunkAfterNumber", "USR9x1", 10}, TagCase{"NoNumber", "USR", 4},
                      TagCase{"LetterForNumber", "USRx", 4}, TagCase{"CategoryTag", "CAT9", 4},
                      TagCase{"ShortTag", "US", 4}, TagCase{"Highest16Bit", "USR32767", 32768},
                      TagCase{"Past16Bit", "USR40000", 40001},
                      TagCase{"IntMax", "USR2147483647", kIntMax},
                      TagCase{"FarPastIntMax", "USR99999999999999999999", kIntMax}),
    caseName<TagCase>);

TEST_F(AccountFileTest, FindAccountReportsAnUnreadableAccountFile) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("info.qvx")));
    IoError err;
    EXPECT_FALSE(found(QStringLiteral("bob"), &err));
    EXPECT_EQ(err.file, accountFile());
    EXPECT_FALSE(err.reason.isEmpty());
    EXPECT_EQ(lastNextNo, 0);
}

// --- CheckSignIn -----------------------------------------------------------

struct SignInCase {
    const char *name;
    const char *user;
    const char *password;
    SignInResult result;
    int userNo;
};

class CheckSignInCases : public AccountFileTest,
                         public ::testing::WithParamInterface<SignInCase> {};

// Accounts: 1 Alice/Secret, 2 Bob/pw, 3 bob/other, 4 Bob/pw again.
TEST_P(CheckSignInCases, FirstRecordMatchingNameAndPasswordWins) {
    IoError err;
    ASSERT_TRUE(appended(1, QStringLiteral("Alice"), QStringLiteral("Secret"), &err));
    ASSERT_TRUE(appended(2, QStringLiteral("Bob"), QStringLiteral("pw"), &err));
    ASSERT_TRUE(appended(3, QStringLiteral("bob"), QStringLiteral("other"), &err));
    ASSERT_TRUE(appended(4, QStringLiteral("Bob"), QStringLiteral("pw"), &err));

    qint16 userNo = -1;
    const SignInCase c = GetParam();
    EXPECT_EQ(signIn(QString::fromLatin1(c.user), QString::fromLatin1(c.password), &userNo, &err),
              c.result);
    EXPECT_EQ(userNo, c.userNo);
    EXPECT_FALSE(err.failed());
}

INSTANTIATE_TEST_SUITE_P(
    AccountFile, CheckSignInCases,
    ::testing::Values(
        SignInCase{"AsRegistered", "Alice", "Secret", SignInResult::Success, 1},
        SignInCase{"BlanksAroundBoth", "  aLiCe ", "  Secret ", SignInResult::Success, 1},
        SignInCase{"NameInUpperCase", "ALICE", "Secret", SignInResult::Success, 1},
        SignInCase{"PasswordInOtherCase", "Alice", "secret", SignInResult::Invalid, -1},
        SignInCase{"BlankInsidePassword", "Alice", "Sec ret", SignInResult::Invalid, -1},
        SignInCase{"ShorterName", "Alic", "Secret", SignInResult::Invalid, -1},
        SignInCase{"FirstOfTwoMatchesWins", "bob", "pw", SignInResult::Success, 2},
        SignInCase{"SameNameOtherPassword", "BOB", "other", SignInResult::Success, 3},
        SignInCase{"Unknown", "Carol", "pw", SignInResult::Invalid, -1}),
    caseName<SignInCase>);

TEST_F(AccountFileTest, CheckSignInWithoutAnAccountFileIsInvalidAndCreatesIt) {
    qint16 userNo = -1;
    IoError err;
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, &err),
              SignInResult::Invalid);
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(userNo, -1);
    ASSERT_TRUE(QFileInfo::exists(accountFile()));
    EXPECT_EQ(QFileInfo(accountFile()).size(), 0);
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, &err),
              SignInResult::Invalid);
}

TEST_F(AccountFileTest, CheckSignInFailsOnAnUnreadableAccountFile) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("info.qvx")));
    qint16 userNo = -1;
    IoError err;
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, &err),
              SignInResult::Failed);
    EXPECT_EQ(err.file, accountFile());
    EXPECT_EQ(userNo, -1);
}

// A matching record whose number is no 16-bit user number does not sign in
// (it would come out wrapped or as the signed-out number 0); a later record
// with the same name and password still can.
TEST_F(AccountFileTest, CheckSignInSkipsRecordsWithNumbersTheDataCannotHold) {
    QByteArray bytes;
    for (const char *tag :
         {"USR0", "USR", "USR32768", "USR40000", "USR65537", "USR99999999999999999999"})
        bytes +=
            recordWithTag(QString::fromLatin1(tag), QStringLiteral("Bob"), QStringLiteral("pw")) +
            "\r\n";
    writeAccountFile(bytes);
    qint16 userNo = -1;
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, nullptr),
              SignInResult::Invalid);
    EXPECT_EQ(userNo, -1);

    writeAccountFile(bytes + record(32767, QStringLiteral("Bob")) + "\r\n");
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, nullptr),
              SignInResult::Success);
    EXPECT_EQ(userNo, 32767);
}

TEST_F(AccountFileTest, CheckSignInSurvivesMalformedRecords) {
    std::mt19937 random(5);
    QByteArray junk;
    for (int i = 0; i < 200000; ++i)
        junk += char(random() & 0xff);
    const QByteArray twoFields =
        (EncodeField(QStringLiteral("USR4")) + kFieldSep + EncodeField(QStringLiteral("Bob")))
            .toLatin1();
    writeAccountFile(junk + "\r\n" + twoFields + "\r\n" + QByteArray(1 << 20, '1') + "\r\n\0\0");
    qint16 userNo = -1;
    IoError err;
    EXPECT_EQ(signIn(QStringLiteral("Bob"), QStringLiteral("pw"), &userNo, &err),
              SignInResult::Invalid);
    EXPECT_FALSE(err.failed());
    EXPECT_FALSE(found(QStringLiteral("Carol"), &err));
    EXPECT_EQ(lastNextNo, 5);
}

// The other fields of a record are deciphered only once its name matches;
// the result is the same as when every check was made on every record: a
// record that is no account never signs in, and a record with a field more
// than the three still does.
TEST_F(AccountFileTest, CheckSignInDecidesAsWhenEveryFieldIsRead) {
    writeAccountFile(
        recordWithTag(QStringLiteral("CAT5"), QStringLiteral("Bob"), QStringLiteral("pw")) +
        "\r\n" + record(5, QStringLiteral("Bob"), QStringLiteral("other")) + "\r\n" +
        record(6, QStringLiteral("Bob")) + "*QVX*" +
        EncodeField(QStringLiteral("extra")).toLatin1() + "\r\n" +
        record(7, QStringLiteral("Bob")) + "\r\n");
    qint16 userNo = -1;
    IoError err;
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, &err),
              SignInResult::Success);
    EXPECT_EQ(userNo, 6);
    EXPECT_TRUE(found(QStringLiteral("BOB"), &err));
    EXPECT_EQ(lastNextNo, 6); // the scan stopped at user 5
    EXPECT_FALSE(found(QStringLiteral("Carol"), &err));
    EXPECT_EQ(lastNextNo, 8);
}

// What stands where the account file should be, and the reason given.
struct SpecialAccountFileCase {
    const char *name;
    std::function<void(const QString &path, const QString &folder)> make;
    std::function<QString(const QString &folder)> reason;
};

class SpecialAccountFiles : public AccountFileTest,
                            public ::testing::WithParamInterface<SpecialAccountFileCase> {};

// Sign-in, the name search and registration's append refuse it at once (a
// pipe would block them for good), say what is wrong and change nothing.
TEST_P(SpecialAccountFiles, AreRefusedAtOnceWithTheirReason) {
    GetParam().make(accountFile(), dir.path());
    const QString reason = GetParam().reason(dir.path());
    const QStringList before =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    ::alarm(20); // a call that blocks ends the test instead of hanging it

    qint16 userNo = -1;
    IoError err;
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, &err),
              SignInResult::Failed);
    EXPECT_EQ(err.file, accountFile());
    EXPECT_EQ(err.reason, reason);
    EXPECT_EQ(userNo, -1);

    EXPECT_FALSE(found(QStringLiteral("bob"), &err));
    EXPECT_EQ(err.reason, reason);
    EXPECT_EQ(lastNextNo, 0);

    EXPECT_FALSE(appended(1, QStringLiteral("bob"), QStringLiteral("pw"), &err));
    EXPECT_EQ(err.reason, reason);
    ::alarm(0);

    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              before);
}

INSTANTIATE_TEST_SUITE_P(
    AccountFile, SpecialAccountFiles,
    ::testing::Values(
        SpecialAccountFileCase{
            "Pipe",
            [](const QString &path, const QString &) {
                ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            },
            [](const QString &) { return QStringLiteral("It is not a regular file (a pipe)"); }},
        SpecialAccountFileCase{
            "Folder", [](const QString &path, const QString &) { ASSERT_TRUE(QDir().mkdir(path)); },
            [](const QString &) { return QStringLiteral("It is a folder, not a file"); }},
        SpecialAccountFileCase{
            "DanglingLink",
            [](const QString &path, const QString &folder) {
                ASSERT_TRUE(QFile::link(folder + QStringLiteral("/moved/info.qvx"), path));
            },
            [](const QString &folder) {
                return QStringLiteral("It is a link to \"%1/moved/info.qvx\", which does not exist")
                    .arg(folder);
            }}),
    caseName<SpecialAccountFileCase>);

// Registration's append past the file-size limit, with SIGXFSZ at its
// default action: the program is not killed half-way through the record, the
// user reads the system's reason and no half account is left to take a
// number.
TEST_F(AccountFileTest, AppendAccountPastAFileSizeLimitLeavesNoHalfAccount) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n" +
                     record(2, QStringLiteral("Bob")) + "\r\n");
    const QByteArray old = accountFileBytes();
    const forked::Outcome outcome = forked::run([&] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(old.size() + 100); // part of a record fits
        ::setrlimit(RLIMIT_FSIZE, &limit);
        IoError err;
        if (appended(3, QStringLiteral("Carol"), QStringLiteral("pw"), &err))
            return QByteArray("written");
        return err.message().toUtf8();
    });
    ASSERT_TRUE(outcome.exited) << outcome.describe();
    EXPECT_EQ(QString::fromUtf8(outcome.report),
              QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: File too large.")
                  .arg(accountFile()));
    EXPECT_EQ(accountFileBytes(), old);
    EXPECT_FALSE(found(QStringLiteral("Carol")));
    EXPECT_EQ(lastNextNo, 3);
}

TEST_F(AccountFileTest, AppendAccountOnAFullDiskSaysSo) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n");
    const QByteArray old = accountFileBytes();
    bool first = true;
    SetDiskCalls({[&first](int fd, const char *data, qint64 size) -> qint64 {
                      if (first) {
                          first = false;
                          return ::write(fd, data, size_t(size / 3)); // what still fitted
                      }
                      errno = ENOSPC;
                      return -1;
                  },
                  {}});
    IoError err;
    const bool written = appended(2, QStringLiteral("Bob"), QStringLiteral("pw"), &err);
    SetDiskCalls({});
    EXPECT_FALSE(written);
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: No space left on "
                             "device.")
                  .arg(accountFile()));
    EXPECT_EQ(accountFileBytes(), old);
}

namespace {

// Kilobytes of address space the process has mapped.
qint64 mappedKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

// Sign-in and the name search hold one line at a time: on a 64 MB account
// file they work within 40 MB more address space than the process had. The
// last record is the one that matches, so every line is read.
TEST_F(AccountFileTest, SignInAndNameSearchWorkInBoundedMemory) {
    QByteArray block;
    for (int n = 1; n <= 1000; ++n)
        block += record(n, QStringLiteral("User%1").arg(n)) + "\r\n";
    {
        QFile file(accountFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        while (file.size() < 64 * 1024 * 1024)
            ASSERT_EQ(file.write(block), block.size());
        const QByteArray last = record(4321, QStringLiteral("Zed"), QStringLiteral("zpw")) + "\r\n";
        ASSERT_EQ(file.write(last), last.size());
    }
    const forked::Outcome outcome = forked::run([] {
        const qint64 mapped = mappedKilobytes();
        if (mapped < 0)
            return QByteArray("no /proc/self/status");
        rlimit limit{};
        ::getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = rlim_t(mapped + 40 * 1024) * 1024;
        ::setrlimit(RLIMIT_AS, &limit);
        qint16 userNo = -1;
        IoError err;
        const SignInResult result =
            signIn(QStringLiteral(" ZED "), QStringLiteral("zpw"), &userNo, &err);
        const bool taken = found(QStringLiteral("zed"), &err);
        return QByteArray::number(int(result == SignInResult::Success)) + ' ' +
               QByteArray::number(userNo) + ' ' + QByteArray::number(int(taken)) + ' ' +
               QByteArray::number(lastNextNo);
    });
    ASSERT_TRUE(outcome.exited) << outcome.describe();
    EXPECT_EQ(outcome.report, QByteArray("1 4321 1 4322"));
}

// --- Owner stamps and storable characters ------------------------------------

TEST(AccountStamps, StampsOfOnePasswordMatchThoughTheirDigitsDiffer) {
    const QString first = MakePassStamp(QStringLiteral("Secret"));
    const QString second = MakePassStamp(QStringLiteral("  Secret "));
    EXPECT_NE(first, second);
    EXPECT_EQ(first.size(), 6 * 6);
    EXPECT_EQ(DecryptText(SwapPairs(first)), SwapPairs(QStringLiteral("Secret")));
    const OwnerTest owner(first);
    EXPECT_TRUE(owner.owns(second));
    EXPECT_TRUE(owner.owns(first));
    EXPECT_FALSE(owner.owns(MakePassStamp(QStringLiteral("secret"))));
    EXPECT_FALSE(owner.owns(MakePassStamp(QStringLiteral("Secre"))));
    EXPECT_FALSE(owner.owns(QStringLiteral("*qvx*")));
}

struct UnstorableCase {
    const char *name;
    const char16_t *text;
    const char16_t *unstorable;
};

class UnstorableCases : public ::testing::TestWithParam<UnstorableCase> {};

TEST_P(UnstorableCases, ListsEachCharacterTheCipherWouldDropOnce) {
    EXPECT_EQ(UnstorableChars(QString::fromUtf16(GetParam().text)),
              QString::fromUtf16(GetParam().unstorable));
}

INSTANTIATE_TEST_SUITE_P(AccountStamps, UnstorableCases,
                         ::testing::Values(UnstorableCase{"Empty", u"", u""},
                                           UnstorableCase{"Plain", u"Plain text 123 !z", u""},
                                           UnstorableCase{"Braces", u"a{b|c{", u"{|"},
                                           UnstorableCase{"Tab", u"tab\there", u"\t"},
                                           UnstorableCase{"LineBreak", u"line\r\nbreak", u"\r\n"},
                                           UnstorableCase{"Accents", u"caf\u00e9 ~\u00e9",
                                                          u"\u00e9~"}),
                         caseName<UnstorableCase>);

// --- Registration -----------------------------------------------------------

TEST_F(AccountFileTest, RegistrationMakesTheFolderAndAppendsTheRecord) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n");
    const Change change = RegisterUser(QStringLiteral("Bob"), QStringLiteral("pw"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.number, 2);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("USR2"))).isDir());
    qint16 userNo = 0;
    EXPECT_EQ(signIn(QStringLiteral("bob"), QStringLiteral("pw"), &userNo, nullptr),
              SignInResult::Success);
    EXPECT_EQ(userNo, 2);
}

TEST_F(AccountFileTest, ARecordThatCannotBeWrittenTakesItsNewFolderAlong) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n");
    const QByteArray before = accountFileBytes();
    Change change;
    {
        const FileSizeLimit limit(before.size());
        change = RegisterUser(QStringLiteral("Bob"), QStringLiteral("pw"));
    }
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: File too large.")
                  .arg(accountFile()));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("USR2"))));
    EXPECT_EQ(accountFileBytes(), before);

    // A folder that was there before is the user's and stays.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR2")));
    {
        const FileSizeLimit limit(before.size());
        change = RegisterUser(QStringLiteral("Bob"), QStringLiteral("pw"));
    }
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("USR2"))).isDir());
}

struct RegisterRefusal {
    const char *name;
    int highest; // the one user of the account file, "Zed"; 0 for no file
    const char *user;
    const char *password;
    IoError::Kind kind;
    const char *message;
};

class RegisterRefusals : public AccountFileTest,
                         public ::testing::WithParamInterface<RegisterRefusal> {};

TEST_P(RegisterRefusals, WriteNothing) {
    const RegisterRefusal c = GetParam();
    if (c.highest > 0)
        writeAccountFile(record(c.highest, QStringLiteral("Zed")) + "\r\n");
    const QByteArray before = accountFileBytes();
    const Change change = RegisterUser(QString::fromUtf8(c.user), QString::fromUtf8(c.password));
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(change.error.is(c.kind));
    EXPECT_EQ(change.error.message(), QString::fromUtf8(c.message));
    EXPECT_EQ(QFileInfo::exists(accountFile()), c.highest > 0);
    EXPECT_EQ(accountFileBytes(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              c.highest > 0 ? QStringList{"info.qvx"} : QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    AccountFile, RegisterRefusals,
    ::testing::Values(
        RegisterRefusal{"number_past_the_highest", 32767, "Bob", "pw", IoError::Kind::NumbersUsedUp,
                        "Sorry, no more User IDs can be created: the highest user number (32767) "
                        "is already in use."},
        RegisterRefusal{"name_taken", 3, " zED ", "pw", IoError::Kind::NameTaken,
                        "That USER ID has already been taken, please choose another!"},
        RegisterRefusal{"name_with_a_tilde", 0, "B~b", "pw", IoError::Kind::Unstorable,
                        "Sorry, a User Name can't hold these characters: \"~\"\r\nPlease use only "
                        "letters without accents, digits, blanks and the usual punctuation marks."},
        RegisterRefusal{"password_with_a_tab", 0, "Bob", "p\tw", IoError::Kind::Unstorable,
                        "Sorry, a Password can't hold these characters: (character code 9)\r\n"
                        "Please use only letters without accents, digits, blanks and the usual "
                        "punctuation marks."}),
    caseName<RegisterRefusal>);

TEST_F(AccountFileTest, RegistrationTakesTheNextNumberNeverAGap) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n" +
                     record(5, QStringLiteral("Carol")) + "\r\n");
    const Change change = RegisterUser(QStringLiteral("Bob"), QStringLiteral("pw"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(change.number, 6);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("USR6"))).isDir());
}

TEST_F(AccountFileTest, TheFirstRegistrationIsUserOne) {
    const Change change = RegisterUser(QStringLiteral("Ann"), QStringLiteral("pw"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(change.number, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"info.qvx", "USR1"}));
}

// The disk failing under a registration, through the disk calls: the
// account file stays as it was and the new user's folder goes again.
TEST_F(AccountFileTest, ARegistrationTheDiskCannotTakeLeavesNoHalfAccount) {
    writeAccountFile(record(1, QStringLiteral("Alice")) + "\r\n");
    const QByteArray before = accountFileBytes();
    for (const bool full : {true, false}) {
        DiskCalls calls;
        if (full)
            calls.write = [](int, const char *, qint64) -> qint64 {
                errno = ENOSPC;
                return -1;
            };
        else
            calls.sync = [](int) {
                errno = EIO;
                return -1;
            };
        SetDiskCalls(calls);
        const Change change = RegisterUser(QStringLiteral("Bob"), QStringLiteral("pw"));
        SetDiskCalls({});
        EXPECT_FALSE(change.changed);
        EXPECT_TRUE(change.error.is(IoError::Kind::File));
        EXPECT_EQ(change.error.message(),
                  QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: %2.")
                      .arg(accountFile(), full ? QStringLiteral("No space left on device")
                                               : QStringLiteral("Input/output error")));
        EXPECT_EQ(accountFileBytes(), before);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("USR2"))));
    }
}

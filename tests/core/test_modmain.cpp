// The command table and the session state.

#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/paths.h"
#include "storage/records.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Plugs a recorder into every command and unplugs it afterwards.
class CommandTable : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *code : kCodes)
            modMain::SetCommand(QLatin1String(code), [this, code] { ran.push_back(code); });
    }
    void TearDown() override {
        for (const char *code : kCodes)
            modMain::SetCommand(QLatin1String(code), {});
    }

    static constexpr const char *kCodes[] = {"SIP", "SIPLS", "HA",  "LCD", "DC", "MC",
                                             "AU",  "LUD",   "LUM", "LUV", "DU", "MU",
                                             "LD",  "LFI",   "FU",  "IB",  "CP", "DI"};
    std::vector<std::string> ran;
};

struct DispatchCase {
    const char *name;
    const char *code;
    const char *runs; // "" when nothing runs
};

class Dispatch : public CommandTable, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(Dispatch, RunsTheOperationOfTheUpperCasedCode) {
    modMain::DoCommand(QString::fromUtf8(GetParam().code));
    if (*GetParam().runs)
        EXPECT_EQ(ran, std::vector<std::string>{GetParam().runs});
    else
        EXPECT_TRUE(ran.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Dispatch,
    ::testing::Values(
        DispatchCase{"SIP", "SIP", "SIP"}, DispatchCase{"sip_lower", "sip", "SIP"},
        DispatchCase{"Sip_mixed", "Sip", "SIP"}, DispatchCase{"SIP_leading_blank", " SIP", ""},
        DispatchCase{"SIP_trailing_blank", "SIP ", ""}, DispatchCase{"SIPLS", "SIPLS", "SIPLS"},
        DispatchCase{"sipls_lower", "sipls", "SIPLS"}, DispatchCase{"ha_lower", "ha", "HA"},
        DispatchCase{"LUV", "LUV", "LUV"}, DispatchCase{"luv_lower", "luv", "LUV"},
        DispatchCase{"lud_lower", "lud", "LUD"}, DispatchCase{"LUM", "LUM", "LUM"},
        DispatchCase{"ld_lower", "ld", "LD"}, DispatchCase{"CUP_not_in_the_table", "CUP", ""},
        DispatchCase{"cup_lower_not_in_the_table", "cup", ""}, DispatchCase{"empty_code", "", ""},
        DispatchCase{"XYZ_unknown", "XYZ", ""}, DispatchCase{"SIPL_prefix_of_SIPLS", "SIPL", ""},
        DispatchCase{"lfi_lower", "lfi", "LFI"}, DispatchCase{"FU", "FU", "FU"},
        DispatchCase{"ib_lower", "ib", "IB"}, DispatchCase{"CP", "CP", "CP"},
        DispatchCase{"di_lower", "di", "DI"}, DispatchCase{"F_prefix_of_FU", "F", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CommandTable, OnlyCodesOfTheTableCanBePlugged) {
    EXPECT_FALSE(modMain::SetCommand(QStringLiteral("CUP"), [] {}));
    EXPECT_FALSE(modMain::SetCommand(QStringLiteral("NEW"), [] {}));
    EXPECT_FALSE(modMain::SetCommand(QStringLiteral("sip"), [] {}));
}

TEST_F(CommandTable, AnUnpluggedCodeDoesNothing) {
    modMain::SetCommand(QStringLiteral("HA"), {});
    modMain::DoCommand(QStringLiteral("HA"));
    EXPECT_TRUE(ran.empty());
}

TEST(Session, StartsAndResetsSignedOut) {
    EXPECT_EQ(modMain::UserNo, 0);
    EXPECT_TRUE(modMain::PassStamp.isEmpty());
    modMain::UserNo = 7;
    modMain::PassStamp = QStringLiteral("123456");
    modMain::NextCatNo = 4;
    modMain::ResetSession();
    EXPECT_EQ(modMain::UserNo, 0);
    EXPECT_TRUE(modMain::PassStamp.isEmpty());
    EXPECT_EQ(modMain::NextCatNo, 4); // scratch numbers are each operation's own
}

TEST(Session, StorableNumbers) {
    EXPECT_FALSE(modMain::IsStorableNumber(0));
    EXPECT_TRUE(modMain::IsStorableNumber(1));
    EXPECT_TRUE(modMain::IsStorableNumber(32767));
    EXPECT_FALSE(modMain::IsStorableNumber(32768));
    EXPECT_FALSE(modMain::IsStorableNumber(-1));
}

// Points the program folder at a temporary folder for one test.
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override { saved = modMain::ProgramFolder(); }
    void TearDown() override { modMain::SetProgramFolder(saved); }
    QString saved;
};

TEST_F(SingleInstance, HeldLockMeansAnotherInstance) {
    QTemporaryDir folder;
    // Another copy holds the lock on the program folder.
    const int other = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    modMain::SetProgramFolder(folder.path());
    EXPECT_TRUE(modMain::AnotherInstanceRunning());
    ::close(other);
    // Now this process takes it, and keeps reporting itself as the only one.
    EXPECT_FALSE(modMain::AnotherInstanceRunning());
    EXPECT_FALSE(modMain::AnotherInstanceRunning());
    const int late = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(late, 0);
    EXPECT_NE(::flock(late, LOCK_EX | LOCK_NB), 0);
    ::close(late);
}

TEST_F(SingleInstance, NoLockFileIsWrittenAnywhere) {
    QTemporaryDir folder;
    QTemporaryDir temp;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    modMain::SetProgramFolder(folder.path());
    EXPECT_FALSE(modMain::AnotherInstanceRunning());
    if (savedTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);
    EXPECT_TRUE(
        QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_TRUE(QDir(temp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace

// A change hands its outcome back through the dispatcher, to the handler
// that ran it; a code with nothing plugged in hands back an empty one.
TEST_F(CommandTable, TheOutcomeOfAnOperationComesBack) {
    modMain::Change change;
    change.changed = true;
    change.number = 7;
    modMain::SetCommand(QStringLiteral("AU"), [change] { return change; });
    const modMain::Change back = modMain::DoCommand(QStringLiteral("au"));
    EXPECT_TRUE(back.changed);
    EXPECT_EQ(back.number, 7);

    modMain::SetCommand(QStringLiteral("AU"), modMain::Operation());
    EXPECT_FALSE(modMain::DoCommand(QStringLiteral("AU")).changed);
    EXPECT_FALSE(modMain::DoCommand(QStringLiteral("CUP")).changed);
}

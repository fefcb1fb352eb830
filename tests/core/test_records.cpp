#include "storage/records.h"

#include "storage/cipher.h"
#include "storage/paths.h"

#include "forked.h"

#include "filesizelimit.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <functional>
#include <limits>
#include <memory>
#include <random>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

void writeBytes(const QString &path, const QByteArray &data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

// A temporary folder holding one regular file, "afile": a path below that
// file fails to open or create for every user.
class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        writeBytes(dir.filePath(QStringLiteral("afile")), "x");
    }
    void TearDown() override { SetProgramFolder(QString()); }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString belowFile(const QString &name) const { return path(QStringLiteral("afile/") + name); }

    QTemporaryDir dir;
};

} // namespace

// --- Pure text helpers ---------------------------------------------------

// Each parameterised case carries a name, so that it is listed by words.
template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case> &info) {
    return info.param.name;
}

struct TextCase {
    const char *name;
    const char *in;
    const char *out;
};

class SwapPairsCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(SwapPairsCases, SwapsNeighboursAndUndoesItself) {
    const QString in = QString::fromLatin1(GetParam().in);
    EXPECT_EQ(SwapPairs(in), QString::fromLatin1(GetParam().out));
    EXPECT_EQ(SwapPairs(SwapPairs(in)), in);
}

INSTANTIATE_TEST_SUITE_P(Records, SwapPairsCases,
                         ::testing::Values(TextCase{"Empty", "", ""}, TextCase{"OneChar", "a", "a"},
                                           TextCase{"TwoChars", "ab", "ba"},
                                           TextCase{"ThreeChars", "abc", "bac"},
                                           TextCase{"FiveChars", "abcde", "badce"},
                                           TextCase{"UserTag", "USR1", "SU1R"},
                                           TextCase{"OddUserTag", "USR12", "SU1R2"}),
                         caseName<TextCase>);

class TrimBlanksCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(TrimBlanksCases, RemovesOuterSpacesOnly) {
    EXPECT_EQ(TrimBlanks(QString::fromLatin1(GetParam().in)), QString::fromLatin1(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(Records, TrimBlanksCases,
                         ::testing::Values(TextCase{"Empty", "", ""},
                                           TextCase{"OnlyBlanks", "   ", ""},
                                           TextCase{"BlanksAround", "  a b  ", "a b"},
                                           TextCase{"TabsStay", "\tab\t", "\tab\t"},
                                           TextCase{"LineBreakStays", " \r\n ", "\r\n"},
                                           TextCase{"TrailingBlank", "x ", "x"}),
                         caseName<TextCase>);

struct NumberCase {
    const char *name;
    const char *text;
    qint64 value;
};

class ReadNumberCases : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberCases, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(ReadNumber(QString::fromLatin1(GetParam().text)), GetParam().value);
}

constexpr qint64 kHuge = std::numeric_limits<qint64>::max();

INSTANTIATE_TEST_SUITE_P(
    Records, ReadNumberCases,
    ::testing::Values(NumberCase{"Empty", "", 0}, NumberCase{"OnlyBlanks", "   ", 0},
                      NumberCase{"Letters", "abc", 0}, NumberCase{"Digits", "12", 12},
                      NumberCase{"BlanksDigitsLetters", "  12ab", 12},
                      NumberCase{"StopsAtABlank", "12 3", 12},
                      NumberCase{"TrailingBlanks", "12  ", 12},
                      NumberCase{"LeadingZeros", "007", 7}, NumberCase{"MinusSign", "-5", 0},
                      NumberCase{"PlusSign", "+5", 0}, NumberCase{"LeadingTab", "\t5", 0},
                      NumberCase{"Highest16Bit", "32767", 32767},
                      NumberCase{"Past16Bit", "40000", 40000},
                      NumberCase{"Highest64Bit", "9223372036854775807", kHuge},
                      NumberCase{"Past64Bit", "9223372036854775808", kHuge},
                      NumberCase{"FarPast64Bit", "99999999999999999999999999", kHuge}),
    caseName<NumberCase>);

TEST(Records, ReadNumberTakesOnlyAsciiDigits) {
    EXPECT_EQ(ReadNumber(u"1\u0663"), 1); // ARABIC-INDIC DIGIT THREE
    EXPECT_EQ(ReadNumber(u"\uff11"), 0);  // FULLWIDTH DIGIT ONE
}

TEST(Records, SplitAndJoinUseTheUpperCaseSeparator) {
    EXPECT_EQ(SplitRecord(QStringLiteral("a*QVX*b*QVX*c")),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(SplitRecord(QStringLiteral("a*qvx*b")), QStringList{QStringLiteral("a*qvx*b")});
    EXPECT_EQ(SplitRecord(QString()), QStringList{QString()});
    EXPECT_EQ(SplitRecord(QStringLiteral("*QVX*a*QVX*")),
              QStringList({QString(), QStringLiteral("a"), QString()}));
    const QStringList fields{QStringLiteral("1"), QString(), QStringLiteral("3")};
    EXPECT_EQ(JoinRecord(fields), QStringLiteral("1*QVX**QVX*3"));
    EXPECT_EQ(SplitRecord(JoinRecord(fields)), fields);
}

// Whole records as the program writes them, and what a cut leaves of them.
struct WholeCase {
    const char *name;
    const char *line;
    bool whole;
};

class WholeUrlRecords : public ::testing::TestWithParam<WholeCase> {};

// The shape of a URL record: four fields of six-digit groups, the third (the
// description) may be empty.
TEST_P(WholeUrlRecords, AreToldFromCutOnes) {
    EXPECT_EQ(IsWholeRecord(QByteArrayView(GetParam().line),
                            {FieldShape(), FieldShape(), FieldShape{6, true}, FieldShape()}),
              GetParam().whole);
}

INSTANTIATE_TEST_SUITE_P(
    Records, WholeUrlRecords,
    ::testing::Values(
        WholeCase{"whole", "111111*QVX*222222*QVX*333333*QVX*444444", true},
        WholeCase{"empty_description", "111111*QVX*222222*QVX**QVX*444444", true},
        WholeCase{"cut_inside_a_group", "111111*QVX*222222*QVX*333333*QVX*4444", false},
        WholeCase{"cut_inside_the_separator", "111111*QVX*222222*QVX*333333*QV", false},
        WholeCase{"cut_after_the_separator", "111111*QVX*222222*QVX*333333*QVX*", false},
        WholeCase{"a_field_short", "111111*QVX*222222*QVX*333333", false},
        WholeCase{"a_field_more", "111111*QVX*222222*QVX*333333*QVX*444444*QVX*555555", false},
        WholeCase{"not_digits", "111111*QVX*22x222*QVX*333333*QVX*444444", false},
        WholeCase{"empty_address", "111111*QVX**QVX*333333*QVX*444444", false},
        WholeCase{"empty_line", "", false}),
    [](const auto &info) { return std::string(info.param.name); });

// A password field is enciphered twice: 36 digits to a character.
TEST(Records, ATwiceEncipheredFieldIsWholeOnlyInGroupsOfThirtySix) {
    const std::initializer_list<FieldShape> account{FieldShape(), FieldShape(), FieldShape{36}};
    const QByteArray head = "111111*QVX*222222*QVX*";
    EXPECT_TRUE(IsWholeRecord(head + QByteArray(72, '3'), account));
    EXPECT_FALSE(IsWholeRecord(head + QByteArray(66, '3'), account));
    EXPECT_FALSE(IsWholeRecord(head, account));
}

TEST(Records, FieldsArePairSwappedThenEnciphered) {
    SetRandomKeySource([] { return 1; });
    EXPECT_EQ(EncodeField(QStringLiteral("USR1")), EncryptText(QStringLiteral("SU1R")));
    SetRandomKeySource({});
    for (const QString &text :
         {QString(), QStringLiteral("a"), QStringLiteral("USR12"), QStringLiteral("Odd length!")})
        EXPECT_EQ(DecodeField(EncodeField(text)), text);
}

// --- Paths -----------------------------------------------------------------

TEST_F(PathTest, JoinPathAddsOneSeparator) {
    EXPECT_EQ(JoinPath(QStringLiteral("/nowhere/prog"), QStringLiteral("info.qvx")),
              QStringLiteral("/nowhere/prog/info.qvx"));
    EXPECT_EQ(JoinPath(QStringLiteral("/nowhere/prog/"), QStringLiteral("info.qvx")),
              QStringLiteral("/nowhere/prog/info.qvx"));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("info.qvx")),
              QStringLiteral("/info.qvx"));
}

TEST_F(PathTest, JoinPathReusesAnEntryThatDiffersOnlyInCase) {
    writeBytes(path(QStringLiteral("INFO.QVX")), "");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("usr3")));
    EXPECT_EQ(JoinPath(dir.path(), QStringLiteral("info.qvx")), path(QStringLiteral("INFO.QVX")));
    EXPECT_EQ(JoinPath(dir.path(), QStringLiteral("USR3")), path(QStringLiteral("usr3")));
    EXPECT_EQ(JoinPath(dir.path() + u'/', QStringLiteral("Info.Qvx")),
              path(QStringLiteral("INFO.QVX")));
    EXPECT_EQ(JoinPath(dir.path(), QStringLiteral("tmp.DAT")), path(QStringLiteral("tmp.DAT")));

    // An exact match is preferred to one that differs in case.
    writeBytes(path(QStringLiteral("info.qvx")), "");
    EXPECT_EQ(JoinPath(dir.path(), QStringLiteral("info.qvx")), path(QStringLiteral("info.qvx")));
}

// The names of a folder are kept between look-ups; another process that
// changes the folder in between is seen all the same. Each case looks the
// folder up, lets a child process change it, and looks again.
struct ChangeCase {
    const char *name;
    QStringList before;                                // files in the folder at first
    std::function<bool(const QString &folder)> change; // made by the other process
    const char *joined;                                // JoinPath's name for CAT5.DAT then
    QStringList entries;                               // EntriesNamed for CAT5.DAT then
};

class ChangedBehindTheProgram : public PathTest,
                                public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangedBehindTheProgram, IsFoundAtTheNextLookUp) {
    const QString folder = path(QStringLiteral("USR1"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &name : GetParam().before)
        writeBytes(folder + u'/' + name, "");
    const QString wanted = QStringLiteral("CAT5.DAT");
    JoinPath(folder, wanted);
    EntriesNamed(folder, wanted);

    const auto changer = GetParam().change;
    const forked::Outcome outcome =
        forked::run([&] { return changer(folder) ? QByteArray("done") : QByteArray("failed"); });
    ASSERT_EQ(outcome.report, QByteArray("done")) << outcome.describe();

    EXPECT_EQ(JoinPath(folder, wanted), folder + u'/' + QLatin1String(GetParam().joined));
    QStringList expected;
    for (const QString &name : GetParam().entries)
        expected << folder + u'/' + name;
    EXPECT_EQ(EntriesNamed(folder, wanted), expected);
}

bool makeFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

bool renameEntry(const QString &from, const QString &to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ChangedBehindTheProgram,
    ::testing::Values(
        ChangeCase{"VariantCreated",
                   {"CAT4.DAT"},
                   [](const QString &f) { return makeFile(f + "/cat5.dat"); },
                   "cat5.dat",
                   {"cat5.dat"}},
        ChangeCase{"SecondVariantCreated",
                   {"cat5.dat"},
                   [](const QString &f) { return makeFile(f + "/Cat5.Dat"); },
                   "Cat5.Dat",
                   {"Cat5.Dat", "cat5.dat"}},
        ChangeCase{"VariantRemoved",
                   {"cat5.dat", "CAT4.DAT"},
                   [](const QString &f) { return QFile::remove(f + "/cat5.dat"); },
                   "CAT5.DAT",
                   {}},
        ChangeCase{"VariantRenamedAway",
                   {"cat5.dat"},
                   [](const QString &f) { return renameEntry(f + "/cat5.dat", f + "/cat6.dat"); },
                   "CAT5.DAT",
                   {}},
        ChangeCase{"VariantRenamedIn",
                   {"other.dat"},
                   [](const QString &f) { return renameEntry(f + "/other.dat", f + "/Cat5.dat"); },
                   "Cat5.dat",
                   {"Cat5.dat"}},
        ChangeCase{"FolderOfThatVariantCreated",
                   {},
                   [](const QString &f) { return QDir(f).mkdir("cat5.DAT"); },
                   "cat5.DAT",
                   {"cat5.DAT"}},
        ChangeCase{"FolderReplacedByAnother",
                   {"cat5.dat"},
                   [](const QString &f) {
                       return renameEntry(f, f + ".old") && QDir().mkdir(f) &&
                              makeFile(f + "/CAT5.dat");
                   },
                   "CAT5.dat",
                   {"CAT5.dat"}}),
    [](const ::testing::TestParamInfo<ChangeCase> &info) { return std::string(info.param.name); });

// A child process that looks names up itself (as a forked helper of the
// program might) keeps its notices of changes apart from its parent's.
TEST_F(PathTest, AChildsLookUpsLeaveItsParentsNoticesAlone) {
    const QString folder = dir.path();
    const QString wanted = QStringLiteral("CAT5.DAT");
    ASSERT_EQ(JoinPath(folder, wanted), path(wanted));
    const forked::Outcome outcome = forked::run([&] {
        makeFile(path(QStringLiteral("cat5.dat")));
        const QString seen = JoinPath(folder, wanted);
        makeFile(path(QStringLiteral("Cat5.dat")));
        return (seen + u'|' + JoinPath(folder, wanted)).toLocal8Bit();
    });
    EXPECT_EQ(
        outcome.report,
        (path(QStringLiteral("cat5.dat")) + u'|' + path(QStringLiteral("Cat5.dat"))).toLocal8Bit());
    EXPECT_EQ(EntriesNamed(folder, wanted),
              QStringList({path(QStringLiteral("Cat5.dat")), path(QStringLiteral("cat5.dat"))}));
}

// A folder looked up by two spellings of its path is one folder.
TEST_F(PathTest, TwoSpellingsOfAFolderSeeTheSameChanges) {
    const QString folder = dir.path();
    EXPECT_EQ(JoinPath(folder, QStringLiteral("AFILE")), path(QStringLiteral("afile")));
    EXPECT_EQ(JoinPath(folder + QStringLiteral("/./"), QStringLiteral("CAT5.DAT")),
              folder + QStringLiteral("/./CAT5.DAT"));
    writeBytes(path(QStringLiteral("cat5.dat")), "");
    EXPECT_EQ(JoinPath(folder + QStringLiteral("/./"), QStringLiteral("CAT5.DAT")),
              folder + QStringLiteral("/./cat5.dat"));
    EXPECT_EQ(EntriesNamed(folder, QStringLiteral("Cat5.Dat")),
              QStringList{path(QStringLiteral("cat5.dat"))});
}

TEST_F(PathTest, DataPathsLiveInTheProgramFolder) {
    SetProgramFolder(dir.path());
    EXPECT_EQ(ProgramFolder(), dir.path());
    EXPECT_EQ(UserFolderName(12), QStringLiteral("USR12"));
    EXPECT_EQ(UserFolderPath(12), path(QStringLiteral("USR12")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("usr7")));
    EXPECT_EQ(UserFolderPath(7), path(QStringLiteral("usr7")));
    EXPECT_EQ(DataPath(QStringLiteral("info.qvx")), path(QStringLiteral("info.qvx")));
}

TEST(Records, ProgramFolderDefaultsToTheExecutablesFolder) {
    SetProgramFolder(QString());
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    EXPECT_EQ(ProgramFolder(), QFileInfo(exe).absolutePath());
}

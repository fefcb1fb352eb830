#include "storage/records.h"

#include "storage/cipher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <limits>
#include <random>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

int modeOf(const QString &path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

// Makes every write past `bytes` into any file fail with "File too large"
// while it lives: a way to make a write fail half-way that works for every
// user, root included.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// A temporary folder holding one regular file, "afile": a path below that
// file fails to open or create for every user.
class FileTest : public ::testing::Test {
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

struct TextCase {
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
                         ::testing::Values(TextCase{"", ""}, TextCase{"a", "a"},
                                           TextCase{"ab", "ba"}, TextCase{"abc", "bac"},
                                           TextCase{"abcde", "badce"}, TextCase{"USR1", "SU1R"},
                                           TextCase{"USR12", "SU1R2"}));

class TrimBlanksCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(TrimBlanksCases, RemovesOuterSpacesOnly) {
    EXPECT_EQ(TrimBlanks(QString::fromLatin1(GetParam().in)), QString::fromLatin1(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(Records, TrimBlanksCases,
                         ::testing::Values(TextCase{"", ""}, TextCase{"   ", ""},
                                           TextCase{"  a b  ", "a b"}, TextCase{"\tab\t", "\tab\t"},
                                           TextCase{" \r\n ", "\r\n"}, TextCase{"x ", "x"}));

struct NumberCase {
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
    ::testing::Values(NumberCase{"", 0}, NumberCase{"   ", 0}, NumberCase{"abc", 0},
                      NumberCase{"12", 12}, NumberCase{"  12ab", 12}, NumberCase{"12 3", 12},
                      NumberCase{"12  ", 12}, NumberCase{"007", 7}, NumberCase{"-5", 0},
                      NumberCase{"+5", 0}, NumberCase{"\t5", 0}, NumberCase{"32767", 32767},
                      NumberCase{"40000", 40000}, NumberCase{"9223372036854775807", kHuge},
                      NumberCase{"9223372036854775808", kHuge},
                      NumberCase{"99999999999999999999999999", kHuge}));

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

TEST(Records, FieldsArePairSwappedThenEnciphered) {
    SetRandomKeySource([] { return 1; });
    EXPECT_EQ(EncodeField(QStringLiteral("USR1")), EncryptText(QStringLiteral("SU1R")));
    SetRandomKeySource({});
    for (const QString &text :
         {QString(), QStringLiteral("a"), QStringLiteral("USR12"), QStringLiteral("Odd length!")})
        EXPECT_EQ(DecodeField(EncodeField(text)), text);
}

TEST(Records, ErrorMessageNamesActionFileAndReason) {
    IoError err;
    EXPECT_FALSE(err.failed());
    err.file = QStringLiteral("/data/info.qvx");
    err.reason = QStringLiteral("Permission denied");
    EXPECT_TRUE(err.failed());
    const QString message = err.message(QStringLiteral("write to"));
    EXPECT_TRUE(message.contains(QStringLiteral("write to"))) << message.toStdString();
    EXPECT_TRUE(message.contains(err.file));
    EXPECT_TRUE(message.contains(err.reason));
    err.clear();
    EXPECT_FALSE(err.failed());
}

// --- Paths -----------------------------------------------------------------

TEST_F(FileTest, JoinPathAddsOneSeparator) {
    EXPECT_EQ(JoinPath(QStringLiteral("/nowhere/prog"), QStringLiteral("info.qvx")),
              QStringLiteral("/nowhere/prog/info.qvx"));
    EXPECT_EQ(JoinPath(QStringLiteral("/nowhere/prog/"), QStringLiteral("info.qvx")),
              QStringLiteral("/nowhere/prog/info.qvx"));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("info.qvx")),
              QStringLiteral("/info.qvx"));
}

TEST_F(FileTest, JoinPathReusesAnEntryThatDiffersOnlyInCase) {
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

TEST_F(FileTest, DataPathsLiveInTheProgramFolder) {
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

// --- FileHasData -----------------------------------------------------------

TEST_F(FileTest, FileHasDataCreatesAnAbsentFileEmptyAndOwnerOnly) {
    const QString file = path(QStringLiteral("new.dat"));
    IoError err;
    EXPECT_FALSE(FileHasData(file, &err));
    EXPECT_FALSE(err.failed());
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(QFileInfo(file).size(), 0);
    EXPECT_EQ(modeOf(file), 0600);

    EXPECT_FALSE(FileHasData(file, &err)); // now present, still empty
    EXPECT_FALSE(err.failed());
    writeBytes(file, "1");
    EXPECT_TRUE(FileHasData(file, &err));
    EXPECT_FALSE(err.failed());
}

TEST_F(FileTest, FileHasDataOfABlankPathIsFalseWithoutError) {
    IoError err;
    EXPECT_FALSE(FileHasData(QString(), &err));
    EXPECT_FALSE(FileHasData(QStringLiteral("   "), &err));
    EXPECT_FALSE(err.failed());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("   ")));
}

TEST_F(FileTest, FileHasDataReportsPathsItCannotUse) {
    for (const QString &bad :
         {path(QStringLiteral("missing/x.dat")), belowFile(QStringLiteral("x")), dir.path()}) {
        IoError err;
        EXPECT_FALSE(FileHasData(bad, &err)) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
}

// --- ReadLines -------------------------------------------------------------

struct LinesCase {
    QByteArray bytes;
    QStringList lines;
};

class ReadLinesCases : public ::testing::TestWithParam<LinesCase> {
protected:
    QTemporaryDir dir;
};

TEST_P(ReadLinesCases, SplitsAtCrLfOrLf) {
    const QString file = dir.filePath(QStringLiteral("lines.dat"));
    writeBytes(file, GetParam().bytes);
    QStringList lines{QStringLiteral("stale")};
    IoError err;
    ASSERT_TRUE(ReadLines(file, &lines, &err));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadLinesCases,
    ::testing::Values(
        LinesCase{"", {}}, LinesCase{"a\r\nb\r\n", {"a", "b"}}, LinesCase{"a\nb\n", {"a", "b"}},
        LinesCase{"a\r\nb", {"a", "b"}}, LinesCase{"a\nb\r\nc", {"a", "b", "c"}},
        LinesCase{"\r\n", {""}}, LinesCase{"\r\n\r\n  \r\n", {"", "", "  "}},
        LinesCase{"a\r\r\n", {"a\r"}}, LinesCase{"a\rb", {"a\rb"}},
        LinesCase{QByteArray("a\0b\r\n\0", 6), {QString::fromUtf16(u"a\0b", 3), QString(QChar(0))}},
        LinesCase{"caf\xe9\r\n\xff", {QString::fromUtf16(u"caf\u00e9"), QString(QChar(0xff))}}));

TEST_F(FileTest, ReadLinesCopesWithAMegabyteLine) {
    const QString file = path(QStringLiteral("long.dat"));
    writeBytes(file, QByteArray(1 << 20, '7') + "\r\nend");
    QStringList lines;
    IoError err;
    ASSERT_TRUE(ReadLines(file, &lines, &err));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), 1 << 20);
    EXPECT_EQ(lines[1], QStringLiteral("end"));
}

TEST_F(FileTest, ReadLinesKeepsEveryByteOfBinaryJunk) {
    std::mt19937 random(99);
    QByteArray junk;
    for (int i = 0; i < 65536; ++i)
        junk += char(random() % 7 == 0 ? "\r\n\0"[random() % 3] : random() & 0xff);
    const QString file = path(QStringLiteral("junk.dat"));
    writeBytes(file, junk);
    QStringList lines;
    IoError err;
    ASSERT_TRUE(ReadLines(file, &lines, &err));

    QString expected = QString::fromLatin1(junk);
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString rebuilt = lines.join(u'\n');
    if (junk.endsWith('\n'))
        rebuilt += u'\n';
    EXPECT_EQ(rebuilt, expected);
}

TEST_F(FileTest, ReadLinesReportsAFileItCannotOpen) {
    QStringList lines{QStringLiteral("stale")};
    IoError err;
    const QString missing = path(QStringLiteral("missing.dat"));
    EXPECT_FALSE(ReadLines(missing, &lines, &err));
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(err.file, missing);
    EXPECT_FALSE(err.reason.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// --- AppendLine ------------------------------------------------------------

TEST_F(FileTest, AppendLineCreatesTheFileOwnerOnlyAndEndsLinesWithCrLf) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    IoError err;
    ASSERT_TRUE(AppendLine(file, QStringLiteral("first"), &err)) << err.reason.toStdString();
    EXPECT_EQ(modeOf(file), 0600);
    ASSERT_TRUE(AppendLine(file, QStringLiteral("second"), &err));
    ASSERT_TRUE(AppendLine(file, QString(), &err));
    EXPECT_EQ(readBytes(file), QByteArray("first\r\nsecond\r\n\r\n"));
    EXPECT_FALSE(err.failed());
}

struct AppendCase {
    QByteArray before;
    QByteArray after;
};

class AppendLineCases : public ::testing::TestWithParam<AppendCase> {
protected:
    QTemporaryDir dir;
};

// A record always starts on a line of its own.
TEST_P(AppendLineCases, StartsTheNewLineOnALineOfItsOwn) {
    const QString file = dir.filePath(QStringLiteral("a.dat"));
    writeBytes(file, GetParam().before);
    IoError err;
    ASSERT_TRUE(AppendLine(file, QStringLiteral("new"), &err));
    EXPECT_EQ(readBytes(file), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Records, AppendLineCases,
                         ::testing::Values(AppendCase{"", "new\r\n"},
                                           AppendCase{"old\r\n", "old\r\nnew\r\n"},
                                           AppendCase{"old\n", "old\nnew\r\n"},
                                           AppendCase{"old", "old\r\nnew\r\n"},
                                           AppendCase{"old\r", "old\r\r\nnew\r\n"}));

TEST_F(FileTest, AppendLineReportsPathsItCannotUse) {
    for (const QString &bad :
         {path(QStringLiteral("missing/x.dat")), belowFile(QStringLiteral("x")), dir.path()}) {
        IoError err;
        EXPECT_FALSE(AppendLine(bad, QStringLiteral("line"), &err)) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
}

TEST_F(FileTest, AppendLineCutsAFailedWriteBackToTheOldContent) {
    const QString file = path(QStringLiteral("info.qvx"));
    const QByteArray old = QByteArray(100, '1') + "\r\n" + QByteArray(50, '2');
    writeBytes(file, old);
    IoError err;
    bool appended = true;
    {
        FileSizeLimit limit(old.size() + 20);
        appended = AppendLine(file, QString(200, u'3'), &err);
    }
    EXPECT_FALSE(appended);
    EXPECT_EQ(err.file, file);
    EXPECT_FALSE(err.reason.isEmpty());
    EXPECT_EQ(readBytes(file), old);
}

TEST_F(FileTest, AppendLineRefusesAReadOnlyFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop the superuser";
    const QString file = path(QStringLiteral("locked.dat"));
    writeBytes(file, "old\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0400), 0);
    IoError err;
    EXPECT_FALSE(AppendLine(file, QStringLiteral("new"), &err));
    EXPECT_EQ(err.file, file);
    EXPECT_EQ(readBytes(file), QByteArray("old\r\n"));
}

// --- RewriteFile -----------------------------------------------------------

TEST_F(FileTest, RewriteFileReplacesTheContentAndKeepsThePermissions) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "one\r\ntwo\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    IoError err;
    ASSERT_TRUE(RewriteFile(file, {QStringLiteral("two"), QStringLiteral("three")}, &err))
        << err.reason.toStdString();
    EXPECT_EQ(readBytes(file), QByteArray("two\r\nthree\r\n"));
    EXPECT_EQ(modeOf(file), 0640);

    ASSERT_TRUE(RewriteFile(file, {}, &err));
    EXPECT_EQ(readBytes(file), QByteArray());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // afile and CAT.DAT
}

TEST_F(FileTest, RewriteFileCreatesANewFileOwnerOnly) {
    const QString file = path(QStringLiteral("fresh.dat"));
    IoError err;
    ASSERT_TRUE(RewriteFile(file, {QStringLiteral("only")}, &err));
    EXPECT_EQ(readBytes(file), QByteArray("only\r\n"));
    EXPECT_EQ(modeOf(file), 0600);
}

TEST_F(FileTest, RewriteFileLeavesTheOldFileWhenWritingFails) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "keep\r\n");
    IoError err;
    bool rewritten = true;
    {
        FileSizeLimit limit(64);
        rewritten = RewriteFile(file, {QString(100, u'9'), QStringLiteral("more")}, &err);
    }
    EXPECT_FALSE(rewritten);
    EXPECT_EQ(err.file, file);
    EXPECT_FALSE(err.reason.isEmpty());
    EXPECT_EQ(readBytes(file), QByteArray("keep\r\n"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(FileTest, RewriteFileReportsPathsItCannotUse) {
    for (const QString &bad :
         {path(QStringLiteral("missing/x.dat")), belowFile(QStringLiteral("x"))}) {
        IoError err;
        EXPECT_FALSE(RewriteFile(bad, {QStringLiteral("line")}, &err)) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
}

// --- MakeFolder ------------------------------------------------------------

TEST_F(FileTest, MakeFolderCreatesOwnerOnlyAndReusesAnExistingFolder) {
    const QString folder = path(QStringLiteral("USR1"));
    IoError err;
    ASSERT_TRUE(MakeFolder(folder, &err)) << err.reason.toStdString();
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(modeOf(folder), 0700);
    writeBytes(folder + QStringLiteral("/CAT.DAT"), "kept");
    EXPECT_TRUE(MakeFolder(folder, &err));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(readBytes(folder + QStringLiteral("/CAT.DAT")), QByteArray("kept"));
}

TEST_F(FileTest, MakeFolderReportsPathsItCannotUse) {
    for (const QString &bad : {path(QStringLiteral("afile")), path(QStringLiteral("missing/USR1")),
                               belowFile(QStringLiteral("USR1"))}) {
        IoError err;
        EXPECT_FALSE(MakeFolder(bad, &err)) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
    EXPECT_EQ(readBytes(path(QStringLiteral("afile"))), QByteArray("x"));
}

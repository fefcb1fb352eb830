#include "storage/datafile.h"

#include "storage/records.h"

#include "storage/cipher.h"
#include "storage/folderentries.h"
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
#include <ostream>
#include <random>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

QByteArray readBytes(const QString &path) {
    return FileBytes(path);
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

// A temporary folder holding one regular file, "afile": a path below that
// file fails to open or create for every user.
// Keeps the outcome of a data-file routine in `err` (when given) and says
// whether it succeeded.
bool ok(IoError *err, const IoError &result) {
    if (err)
        *err = result;
    return !result.failed();
}

// FileHasData as a question: whether the file has data (false on failure).
bool hasData(const QString &path, IoError *err) {
    bool has = false;
    *err = FileHasData(path, &has);
    return has;
}

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

// Each parameterised case carries a name, so that it is listed by words.
template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case> &info) {
    return info.param.name;
}

// The edit of the line-editing rewrite tests: "drop" goes, "old" becomes "NEW", every
// other line stays.
bool dropOldNew(QByteArrayView &line, bool *keep) {
    static const QByteArray replacement = "NEW";
    if (line == "drop") {
        *keep = false;
        return true;
    }
    if (line == "old") {
        line = replacement;
        return true;
    }
    return false;
}

} // namespace

// --- The error value ------------------------------------------------------

TEST(DataFile, ErrorMessageNamesActionFileAndReason) {
    IoError err;
    EXPECT_FALSE(err.failed());
    err = IoError::failure(QStringLiteral("/data/info.qvx"), QStringLiteral("write to"),
                           QStringLiteral("Permission denied"));
    EXPECT_TRUE(err.failed());
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not write to \"/data/info.qvx\".\r\n\r\n"
                                            "Reason: Permission denied."));
    EXPECT_TRUE(err.is(IoError::Kind::File));
    const IoError refusal =
        IoError::refused(IoError::Kind::NoRecord, QStringLiteral("No such URL."));
    EXPECT_EQ(refusal.message(), QStringLiteral("No such URL."));
    EXPECT_TRUE(refusal.failed());
    EXPECT_TRUE(refusal.is(IoError::Kind::NoRecord));
}

// A refusal taken over from the step that made it keeps its kind and what it
// is about, so that whoever asked can tell it from a failure on a file.
TEST(DataFile, ARefusalKeepsItsKindThroughTheSteps) {
    IoError whole;
    EXPECT_TRUE(whole.is(IoError::Kind::None));
    EXPECT_FALSE(whole.take(
        IoError::refused(IoError::Kind::Unstorable, QStringLiteral("No tabs."), Field::Password)));
    EXPECT_TRUE(whole.is(IoError::Kind::Unstorable));
    EXPECT_EQ(whole.subject, Field::Password);
    EXPECT_EQ(whole.message(), QStringLiteral("No tabs."));
    whole.keepFirst(IoError::failure(QStringLiteral("/u"), QStringLiteral("read"),
                                     QStringLiteral("Input/output error")));
    EXPECT_TRUE(whole.is(IoError::Kind::Unstorable));
}

// A warning raised by one step of an operation survives the later steps, and
// a failure is taken over with the verb of the step that failed.
TEST(DataFile, AnOperationKeepsTheFirstWarningAndTheFailingStep) {
    IoError whole;
    IoError warned;
    warned.warning =
        NotSynced{QStringLiteral("/u/CAT1.DAT"), QStringLiteral("/u"),
                  QStringLiteral("Input/output error"), NotSynced::Kind::Saved, QString()};
    EXPECT_TRUE(whole.take(warned));
    EXPECT_TRUE(whole.take(IoError()));
    EXPECT_EQ(whole.warning.file, QStringLiteral("/u/CAT1.DAT"));
    EXPECT_FALSE(whole.failed());
    EXPECT_FALSE(whole.take(IoError::failure(QStringLiteral("/u/CAT1.DAT"), QStringLiteral("read"),
                                             QStringLiteral("No such file or directory"))));
    EXPECT_EQ(whole.action, QStringLiteral("read"));
    EXPECT_EQ(whole.warning.file, QStringLiteral("/u/CAT1.DAT"));
}

// --- FileHasData -----------------------------------------------------------

TEST_F(FileTest, FileHasDataCreatesAnAbsentFileEmptyAndOwnerOnly) {
    const QString file = path(QStringLiteral("new.dat"));
    IoError err;
    EXPECT_FALSE(hasData(file, &err));
    EXPECT_FALSE(err.failed());
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(QFileInfo(file).size(), 0);
    EXPECT_EQ(modeOf(file), 0600);

    EXPECT_FALSE(hasData(file, &err)); // now present, still empty
    EXPECT_FALSE(err.failed());
    writeBytes(file, "1");
    EXPECT_TRUE(hasData(file, &err));
    EXPECT_FALSE(err.failed());
}

TEST_F(FileTest, FileHasDataOfABlankPathIsFalseWithoutError) {
    IoError err;
    EXPECT_FALSE(hasData(QString(), &err));
    EXPECT_FALSE(hasData(QStringLiteral("   "), &err));
    EXPECT_FALSE(err.failed());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("   ")));
}

TEST_F(FileTest, FileHasDataReportsPathsItCannotUse) {
    for (const QString &bad :
         {path(QStringLiteral("missing/x.dat")), belowFile(QStringLiteral("x")), dir.path()}) {
        IoError err;
        EXPECT_FALSE(hasData(bad, &err)) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
}

// --- ReadLines -------------------------------------------------------------

struct LinesCase {
    const char *name;
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
    ASSERT_TRUE(ok(&err, ReadLines(file, &lines)));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(lines, GetParam().lines);

    QStringList streamed;
    ASSERT_TRUE(ok(&err, ForEachLine(file, [&](const QString &line) {
        streamed << line;
        return true;
    })));
    EXPECT_EQ(streamed, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadLinesCases,
    ::testing::Values(LinesCase{"Empty", "", {}}, LinesCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      LinesCase{"Lf", "a\nb\n", {"a", "b"}},
                      LinesCase{"LastLineWithoutEnd", "a\r\nb", {"a", "b"}},
                      LinesCase{"MixedEnds", "a\nb\r\nc", {"a", "b", "c"}},
                      LinesCase{"OneEmptyLine", "\r\n", {""}},
                      LinesCase{"BlankLines", "\r\n\r\n  \r\n", {"", "", "  "}},
                      LinesCase{"CrBeforeCrLf", "a\r\r\n", {"a\r"}},
                      LinesCase{"LoneCr", "a\rb", {"a\rb"}},
                      LinesCase{"LastLineEndsInCr", "a\nb\r", {"a", "b\r"}},
                      LinesCase{"NulBytes",
                                QByteArray("a\0b\r\n\0", 6),
                                {QString::fromUtf16(u"a\0b", 3), QString(QChar(0))}},
                      LinesCase{"Latin1Bytes",
                                "caf\xe9\r\n\xff",
                                {QString::fromUtf16(u"caf\u00e9"), QString(QChar(0xff))}}),
    caseName<LinesCase>);

TEST_F(FileTest, ReadLinesCopesWithAMegabyteLine) {
    const QString file = path(QStringLiteral("long.dat"));
    writeBytes(file, QByteArray(1 << 20, '7') + "\r\nend");
    QStringList lines;
    IoError err;
    ASSERT_TRUE(ok(&err, ReadLines(file, &lines)));
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
    ASSERT_TRUE(ok(&err, ReadLines(file, &lines)));

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
    EXPECT_FALSE(ok(&err, ReadLines(missing, &lines)));
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(err.file, missing);
    EXPECT_FALSE(err.reason.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// --- AppendLine ------------------------------------------------------------

TEST_F(FileTest, AppendLineCreatesTheFileOwnerOnlyAndEndsLinesWithCrLf) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    IoError err;
    ASSERT_TRUE(ok(&err, AppendLine(file, QStringLiteral("first")))) << err.reason.toStdString();
    EXPECT_EQ(modeOf(file), 0600);
    ASSERT_TRUE(ok(&err, AppendLine(file, QStringLiteral("second"))));
    ASSERT_TRUE(ok(&err, AppendLine(file, QString())));
    EXPECT_EQ(readBytes(file), QByteArray("first\r\nsecond\r\n\r\n"));
    EXPECT_FALSE(err.failed());
}

struct AppendCase {
    const char *name;
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
    ASSERT_TRUE(ok(&err, AppendLine(file, QStringLiteral("new"))));
    EXPECT_EQ(readBytes(file), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Records, AppendLineCases,
                         ::testing::Values(AppendCase{"EmptyFile", "", "new\r\n"},
                                           AppendCase{"EndsWithCrLf", "old\r\n", "old\r\nnew\r\n"},
                                           AppendCase{"EndsWithLf", "old\n", "old\nnew\r\n"},
                                           AppendCase{"NoLineEnd", "old", "old\r\nnew\r\n"},
                                           AppendCase{"EndsWithLoneCr", "old\r",
                                                      "old\r\r\nnew\r\n"}),
                         caseName<AppendCase>);

TEST_F(FileTest, AppendLineReportsPathsItCannotUse) {
    for (const QString &bad :
         {path(QStringLiteral("missing/x.dat")), belowFile(QStringLiteral("x")), dir.path()}) {
        IoError err;
        EXPECT_FALSE(ok(&err, AppendLine(bad, QStringLiteral("line")))) << bad.toStdString();
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
        appended = ok(&err, AppendLine(file, QString(200, u'3')));
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
    EXPECT_FALSE(ok(&err, AppendLine(file, QStringLiteral("new"))));
    EXPECT_EQ(err.file, file);
    EXPECT_EQ(readBytes(file), QByteArray("old\r\n"));
}

// --- RewriteFile -----------------------------------------------------------

TEST_F(FileTest, RewriteFileReplacesTheContentAndKeepsThePermissions) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "one\r\ntwo\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteFile(file, {QStringLiteral("two"), QStringLiteral("three")})))
        << err.reason.toStdString();
    EXPECT_EQ(readBytes(file), QByteArray("two\r\nthree\r\n"));
    EXPECT_EQ(modeOf(file), 0640);

    ASSERT_TRUE(ok(&err, RewriteFile(file, {})));
    EXPECT_EQ(readBytes(file), QByteArray());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // afile and CAT.DAT
}

TEST_F(FileTest, RewriteFileCreatesANewFileOwnerOnly) {
    const QString file = path(QStringLiteral("fresh.dat"));
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteFile(file, {QStringLiteral("only")})));
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
        rewritten = ok(&err, RewriteFile(file, {QString(100, u'9'), QStringLiteral("more")}));
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
        EXPECT_FALSE(ok(&err, RewriteFile(bad, {QStringLiteral("line")}))) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
}

// --- MakeFolder ------------------------------------------------------------

TEST_F(FileTest, MakeFolderCreatesOwnerOnlyAndReusesAnExistingFolder) {
    const QString folder = path(QStringLiteral("USR1"));
    IoError err;
    ASSERT_TRUE(ok(&err, MakeFolder(folder))) << err.reason.toStdString();
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(modeOf(folder), 0700);
    writeBytes(folder + QStringLiteral("/CAT.DAT"), "kept");
    EXPECT_TRUE(ok(&err, MakeFolder(folder)));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(readBytes(folder + QStringLiteral("/CAT.DAT")), QByteArray("kept"));
}

TEST_F(FileTest, MakeFolderReportsPathsItCannotUse) {
    for (const QString &bad : {path(QStringLiteral("afile")), path(QStringLiteral("missing/USR1")),
                               belowFile(QStringLiteral("USR1"))}) {
        IoError err;
        EXPECT_FALSE(ok(&err, MakeFolder(bad))) << bad.toStdString();
        EXPECT_EQ(err.file, bad);
        EXPECT_FALSE(err.reason.isEmpty());
    }
    EXPECT_EQ(readBytes(path(QStringLiteral("afile"))), QByteArray("x"));
}

// --- Faults ------------------------------------------------------------------

namespace {

// Every entry of a folder, hidden ones included: what a failed operation must
// leave as it found it.
QStringList entriesOf(const QString &folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Ends the test process if it is still running after `seconds`: a call that
// blocks fails the test instead of hanging it.
class HangGuard {
public:
    explicit HangGuard(unsigned seconds) { ::alarm(seconds); }
    ~HangGuard() { ::alarm(0); }
};

// The path of an open descriptor.
QString pathOfDescriptor(int fd) {
    return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
}

bool isFolder(int fd) {
    return IsFolderDescriptor(fd);
}

} // namespace

// What stands where a data file is expected, and the reason every routine
// gives for refusing it.
struct SpecialCase {
    const char *name;
    std::function<void(const QString &path, const QString &folder)> make;
    std::function<QString(const QString &folder)> reason;
};

class SpecialFileCases : public FileTest, public ::testing::WithParamInterface<SpecialCase> {};

// No routine opens such an entry the ordinary way (a pipe would block until
// someone writes to it), none changes it, and none leaves anything behind.
TEST_P(SpecialFileCases, EveryRoutineRefusesItAtOnceAndSaysWhy) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    GetParam().make(file, dir.path());
    const QString reason = GetParam().reason(dir.path());
    const QStringList before = entriesOf(dir.path());

    const HangGuard guard(20);
    const std::function<bool(IoError *)> routines[] = {
        [&](IoError *err) { return hasData(file, err); },
        [&](IoError *err) {
            QStringList lines;
            return ok(err, ReadLines(file, &lines));
        },
        [&](IoError *err) {
            return ok(err, ForEachLine(file, [](const QString &) { return true; }));
        },
        [&](IoError *err) { return ok(err, AppendLine(file, QStringLiteral("new"))); },
        [&](IoError *err) { return ok(err, RewriteFile(file, {QStringLiteral("new")})); },
    };
    int routine = 0;
    for (const auto &run : routines) {
        SCOPED_TRACE(routine++);
        IoError err;
        EXPECT_FALSE(run(&err));
        EXPECT_TRUE(err.failed());
        EXPECT_EQ(err.file, file);
        EXPECT_EQ(err.reason, reason);
    }
    EXPECT_EQ(entriesOf(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Records, SpecialFileCases,
    ::testing::Values(
        SpecialCase{
            "Pipe",
            [](const QString &path, const QString &) {
                ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            },
            [](const QString &) { return QStringLiteral("It is not a regular file (a pipe)"); }},
        SpecialCase{"Folder",
                    [](const QString &path, const QString &) { ASSERT_TRUE(QDir().mkdir(path)); },
                    [](const QString &) { return QStringLiteral("It is a folder, not a file"); }},
        SpecialCase{
            "LinkToADevice",
            [](const QString &path, const QString &) {
                ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), path));
            },
            [](const QString &) { return QStringLiteral("It is not a regular file (a device)"); }},
        SpecialCase{"DanglingLink",
                    [](const QString &path, const QString &folder) {
                        ASSERT_TRUE(QFile::link(folder + QStringLiteral("/gone.dat"), path));
                    },
                    [](const QString &folder) {
                        return QStringLiteral(
                                   "It is a link to \"%1/gone.dat\", which does not exist")
                            .arg(folder);
                    }}),
    caseName<SpecialCase>);

TEST_F(FileTest, ARefusedPipeGivesAPlainMessage) {
    const QString file = path(QStringLiteral("info.qvx"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    const HangGuard guard(20);
    IoError err;
    QStringList lines;
    ASSERT_FALSE(ok(&err, ReadLines(file, &lines)));
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: It is not a regular "
                             "file (a pipe).")
                  .arg(file));
}

TEST_F(FileTest, MakeFolderRefusesADanglingLinkAndAPipe) {
    const QString link = path(QStringLiteral("USR1"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("elsewhere")), link));
    IoError err;
    EXPECT_FALSE(ok(&err, MakeFolder(link)));
    EXPECT_EQ(err.reason, QStringLiteral("It is a link to \"%1\", which does not exist")
                              .arg(path(QStringLiteral("elsewhere"))));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("elsewhere"))));

    const QString pipe = path(QStringLiteral("USR2"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(ok(&err, MakeFolder(pipe)));
    EXPECT_EQ(err.reason, QStringLiteral("It is not a folder (a pipe)"));
}

// A fault the machine cannot produce on demand, injected through the disk
// calls: a full disk shows first as a short write that carries no reason.
struct DiskFaultCase {
    const char *name;
    bool shortWriteFirst; // the first write stores half of its data
    int writeError;       // then writes fail with this (0: they succeed)
    int syncError;        // flushing a file fails with this (0: it succeeds)
    const char *reason;   // what the user reads
};

class DiskFaultCases : public FileTest, public ::testing::WithParamInterface<DiskFaultCase> {
protected:
    DiskCalls faultyCalls() {
        const DiskFaultCase c = GetParam();
        auto writes = std::make_shared<int>(0);
        return DiskCalls{
            [c, writes](int fd, const char *data, qint64 size) -> qint64 {
                if (c.shortWriteFirst && (*writes)++ == 0)
                    return ::write(fd, data, size_t(size / 2));
                if (c.writeError) {
                    errno = c.writeError;
                    return -1;
                }
                return ::write(fd, data, size_t(size));
            },
            [c](int fd) {
                if (c.syncError && !isFolder(fd)) {
                    errno = c.syncError;
                    return -1;
                }
                return ::fsync(fd);
            },
        };
    }
};

// The user reads the system's reason, the file keeps its old content and no
// half record, temporary or new file is left.
TEST_P(DiskFaultCases, TheTrueReasonAndNothingHalfDone) {
    const QString file = path(QStringLiteral("info.qvx"));
    const QByteArray old = "first\r\nsecond\r\n";
    writeBytes(file, old);
    const QString fresh = path(QStringLiteral("CAT.DAT"));
    const QStringList before = entriesOf(dir.path());
    const QString expected = QString::fromLatin1(GetParam().reason);

    const DiskCallsOverride faults(faultyCalls());
    IoError err;
    EXPECT_FALSE(ok(&err, AppendLine(file, QString(300, u'7'))));
    EXPECT_EQ(err.file, file);
    EXPECT_EQ(err.reason, expected);
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: %2.")
                                 .arg(file, expected));
    EXPECT_EQ(readBytes(file), old);

    EXPECT_FALSE(ok(&err, AppendLine(fresh, QString(300, u'7'))));
    EXPECT_EQ(err.reason, expected);

    EXPECT_FALSE(ok(&err, RewriteFile(file, {QStringLiteral("third"), QString(300, u'7')})));
    EXPECT_EQ(err.file, file);
    EXPECT_EQ(err.reason, expected);
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(entriesOf(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Records, DiskFaultCases,
    ::testing::Values(DiskFaultCase{"FullDisk", true, ENOSPC, 0, "No space left on device"},
                      DiskFaultCase{"FileSizeLimit", true, EFBIG, 0, "File too large"},
                      DiskFaultCase{"FullQuota", true, EDQUOT, 0, "Disk quota exceeded"},
                      DiskFaultCase{"WriteFailsOutright", false, EIO, 0, "Input/output error"},
                      DiskFaultCase{"FullDiskOnlyAtFlush", false, 0, ENOSPC,
                                    "No space left on device"}),
    caseName<DiskFaultCase>);

// The same faults in a rewrite that edits lines on the way.
TEST_P(DiskFaultCases, ALineEditedRewriteKeepsTheOldFile) {
    const QString file = path(QStringLiteral("CAT1.DAT"));
    const QByteArray old = "first\r\nold\r\n" + QByteArray(300, '7') + "\r\n";
    writeBytes(file, old);
    const QStringList before = entriesOf(dir.path());
    const QString expected = QString::fromLatin1(GetParam().reason);

    const DiskCallsOverride faults(faultyCalls());
    qsizetype edited = 0;
    IoError err;
    EXPECT_FALSE(ok(&err, RewriteLinesEdited(file, dropOldNew, &edited)));
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: %2.")
                                 .arg(file, expected));
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(entriesOf(dir.path()), before);
}

// A short write that is followed by a successful one loses nothing.
TEST_F(FileTest, AShortWriteIsCompleted) {
    int writes = 0;
    const DiskCallsOverride halves(
        DiskCalls{[&writes](int fd, const char *data, qint64 size) -> qint64 {
                      ++writes;
                      return ::write(fd, data, size_t(size > 1 ? size / 2 : size));
                  },
                  {}});
    const QString file = path(QStringLiteral("CAT.DAT"));
    IoError err;
    ASSERT_TRUE(ok(&err, AppendLine(file, QStringLiteral("0123456789"))))
        << err.reason.toStdString();
    ASSERT_TRUE(ok(&err, RewriteFile(file, {QStringLiteral("abc"), QStringLiteral("def")})));
    EXPECT_EQ(readBytes(file), QByteArray("abc\r\ndef\r\n"));
    EXPECT_GT(writes, 2);
}

// One write per record on a descriptor that appends: two processes that
// append at once never overwrite each other's records.
TEST_F(FileTest, TwoWritersAppendingAtOnceLoseNoRecord) {
    const QString file = path(QStringLiteral("info.qvx"));
    constexpr int kEach = 300;
    auto writer = [&](char mark) {
        return [&file, mark] {
            // Flushing each record to disk is beside the point here.
            SetDiskCalls({{}, [](int) { return 0; }});
            for (int i = 0; i < kEach; ++i) {
                IoError err;
                if (!ok(&err,
                        AppendLine(file, QString(40, QLatin1Char(mark)) + QString::number(i))))
                    return err.reason.toUtf8();
            }
            return QByteArray("done");
        };
    };
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    // Both writers wait for the start signal, then append together.
    auto startTogether = [&](std::function<QByteArray()> work) {
        return [&, work] {
            char go;
            ::close(pipeFds[1]);
            (void)::read(pipeFds[0], &go, 1);
            return work();
        };
    };
    const forked::Child a = forked::start(startTogether(writer('a')));
    const forked::Child b = forked::start(startTogether(writer('b')));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]); // end of file: both start
    const forked::Outcome first = forked::finish(a);
    const forked::Outcome second = forked::finish(b);
    EXPECT_EQ(first.report, QByteArray("done")) << first.describe();
    EXPECT_EQ(second.report, QByteArray("done")) << second.describe();

    QStringList lines;
    IoError err;
    ASSERT_TRUE(ok(&err, ReadLines(file, &lines)));
    EXPECT_EQ(lines.size(), 2 * kEach);
    for (char mark : {'a', 'b'}) {
        for (int i = 0; i < kEach; ++i)
            EXPECT_TRUE(lines.contains(QString(40, QLatin1Char(mark)) + QString::number(i)))
                << mark << i;
    }
}

// Past the file-size limit, with SIGXFSZ at its default action (which ends
// the process): the writers ignore the signal themselves, so the write fails
// with the system's reason and the file is cut back.
TEST_F(FileTest, AFileSizeLimitGivesItsReasonAndLeavesNoHalfRecord) {
    const QString file = path(QStringLiteral("info.qvx"));
    const QByteArray old = QByteArray(100, '1') + "\r\n" + QByteArray(50, '2') + "\r\n";
    writeBytes(file, old);
    const QStringList before = entriesOf(dir.path());
    for (int routine = 0; routine < 2; ++routine) {
        SCOPED_TRACE(routine);
        const forked::Outcome outcome = forked::run([&] {
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = rlim_t(old.size() + 20);
            ::setrlimit(RLIMIT_FSIZE, &limit);
            IoError err;
            const bool done = routine == 0 ? ok(&err, AppendLine(file, QString(200, u'3')))
                                           : ok(&err, RewriteFile(file, {QString(300, u'3')}));
            return QByteArray(done ? "written" : "refused: ") + err.reason.toUtf8();
        });
        EXPECT_TRUE(outcome.exited) << outcome.describe();
        EXPECT_EQ(outcome.report, QByteArray("refused: File too large"));
        EXPECT_EQ(readBytes(file), old);
        EXPECT_EQ(entriesOf(dir.path()), before);
    }
}

// The change is made; only the folder could not be flushed afterwards. The
// routine succeeds and says so, without claiming that the write failed.
TEST_F(FileTest, AFolderThatCannotBeFlushedIsAWarningNotAFailure) {
    const DiskCallsOverride faults(DiskCalls{{}, [](int fd) {
                                                 if (isFolder(fd)) {
                                                     errno = EIO;
                                                     return -1;
                                                 }
                                                 return ::fsync(fd);
                                             }});
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "old\r\n");
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteFile(file, {QStringLiteral("new")})));
    EXPECT_EQ(readBytes(file), QByteArray("new\r\n"));
    EXPECT_FALSE(err.failed());
    EXPECT_TRUE(err.warning.isSet());
    // What happened, then why it may not be on disk, then what to do.
    const auto expected = [this](const QString &done) {
        return done + QStringLiteral(", but could not make sure that the change is safely on "
                                     "disk: a power failure could still undo it.\r\n\r\nReason: "
                                     "The folder \"%1\" could not be flushed to disk (Input/output "
                                     "error).\r\n\r\nPlease check the disk: it may be full, "
                                     "failing or no longer connected. After a power failure, see "
                                     "whether the change is still there, and make it again if it "
                                     "is not.")
                          .arg(dir.path());
    };
    EXPECT_EQ(err.warningMessage(), expected(QStringLiteral("Wayfile saved \"%1\"").arg(file)));

    const QString folder = path(QStringLiteral("USR1"));
    ASSERT_TRUE(ok(&err, MakeFolder(folder)));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(err.warningMessage(), expected(QStringLiteral("Wayfile created \"%1\"").arg(folder)));

    const QString fresh = path(QStringLiteral("CAT1.DAT"));
    ASSERT_TRUE(ok(&err, AppendLine(fresh, QStringLiteral("rec"))));
    EXPECT_EQ(readBytes(fresh), QByteArray("rec\r\n"));
    EXPECT_EQ(err.warningMessage(), expected(QStringLiteral("Wayfile saved \"%1\"").arg(fresh)));

    // A read that found no file made an empty one: never "saved".
    const QString empty = path(QStringLiteral("CAT2.DAT"));
    EXPECT_FALSE(hasData(empty, &err));
    EXPECT_TRUE(QFileInfo::exists(empty));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(err.warningMessage(),
              expected(QStringLiteral("Wayfile created the empty file \"%1\"").arg(empty)));

    // A move names the file by the name it has now.
    const QString aside = path(QStringLiteral("CAT2.DAT.deleting"));
    ASSERT_TRUE(ok(&err, MoveAside(empty, aside)));
    EXPECT_EQ(err.warningMessage(),
              expected(QStringLiteral("Wayfile moved \"%1\" to \"%2\"").arg(empty, aside)));
    ASSERT_TRUE(ok(&err, MoveBack(aside, empty)));
    EXPECT_EQ(err.warningMessage(),
              expected(QStringLiteral("Wayfile moved \"%1\" to \"%2\"").arg(aside, empty)));

    // A removal is never "saved" either.
    ASSERT_TRUE(ok(&err, RemoveFile(empty)));
    EXPECT_EQ(err.warningMessage(), expected(QStringLiteral("Wayfile removed \"%1\"").arg(empty)));
    ASSERT_TRUE(ok(&err, RemoveFolder(folder)));
    EXPECT_EQ(err.warningMessage(), expected(QStringLiteral("Wayfile removed \"%1\"").arg(folder)));
}

// The folder entries that make a new file or folder durable are flushed: of
// the folder that holds a new folder, and of the folder where a rewrite's
// rename really happened when the path is a link into another folder.
TEST_F(FileTest, TheFolderThatChangedIsFlushed) {
    QStringList flushed;
    const DiskCallsOverride record(DiskCalls{{}, [&flushed](int fd) {
                                                 if (isFolder(fd))
                                                     flushed << pathOfDescriptor(fd);
                                                 return ::fsync(fd);
                                             }});
    IoError err;
    ASSERT_TRUE(ok(&err, MakeFolder(path(QStringLiteral("USR1")))));
    EXPECT_EQ(flushed, QStringList{dir.path()});

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString real = path(QStringLiteral("real/CAT.DAT"));
    writeBytes(real, "old\r\n");
    const QString link = path(QStringLiteral("USR1/CAT.DAT"));
    ASSERT_TRUE(QFile::link(real, link));
    flushed.clear();
    ASSERT_TRUE(ok(&err, RewriteFile(link, {QStringLiteral("new")}))) << err.reason.toStdString();
    EXPECT_EQ(flushed, QStringList{path(QStringLiteral("real"))});
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(real), QByteArray("new\r\n"));
    EXPECT_EQ(entriesOf(path(QStringLiteral("real"))), QStringList{QStringLiteral("CAT.DAT")});
    EXPECT_EQ(entriesOf(path(QStringLiteral("USR1"))), QStringList{QStringLiteral("CAT.DAT")});
}

// --- RewriteLinesEdited ----------------------------------------------------

struct EditCase {
    const char *name;
    QByteArray before;
    QByteArray after;
    qsizetype edited;
};

class RewriteLinesEditedCases : public FileTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(RewriteLinesEditedCases, WritesEveryOtherLineAsRead) {
    const QString file = path(QStringLiteral("CAT1.DAT"));
    writeBytes(file, GetParam().before);
    qsizetype edited = -1;
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteLinesEdited(file, dropOldNew, &edited)))
        << err.message().toStdString();
    EXPECT_EQ(edited, GetParam().edited);
    EXPECT_EQ(readBytes(file), GetParam().after);
    EXPECT_EQ(entriesOf(dir.path()), QStringList({"CAT1.DAT", "afile"}));
}

INSTANTIATE_TEST_SUITE_P(
    Records, RewriteLinesEditedCases,
    ::testing::Values(EditCase{"CrLfLines", "a\r\nold\r\nb\r\n", "a\r\nNEW\r\nb\r\n", 1},
                      EditCase{"LfLinesGetCrLf", "a\nold\nb\n", "a\r\nNEW\r\nb\r\n", 1},
                      EditCase{"LastLineWithoutEnd", "old\r\nb", "NEW\r\nb\r\n", 1},
                      EditCase{"EditedLastLineWithoutEnd", "a\r\nold", "a\r\nNEW\r\n", 1},
                      EditCase{"LoneCrStays", "a\rb\r\nold\r\n", "a\rb\r\nNEW\r\n", 1},
                      EditCase{"CrBeforeCrLfStays", "a\r\r\nold\r\n", "a\r\r\nNEW\r\n", 1},
                      EditCase{"EmptyLinesStay", "\r\n\nold\r\n", "\r\n\r\nNEW\r\n", 1},
                      EditCase{"DroppedLine", "a\r\ndrop\r\nb\r\n", "a\r\nb\r\n", 1},
                      EditCase{"EveryRecordOfTheEdit", "old\r\ndrop\nold\r\n", "NEW\r\nNEW\r\n", 3},
                      EditCase{"EverythingDropped", "drop\r\ndrop", "", 2},
                      EditCase{"NulBytes", QByteArray("a\0b\r\nold\r\n", 10),
                               QByteArray("a\0b\r\nNEW\r\n", 10), 1}),
    caseName<EditCase>);

// Lines longer than the blocks the file is read and written in, and line
// ends cut between two blocks, are written back whole.
TEST_F(FileTest, RewriteLinesEditedCopiesLinesAcrossItsBlocks) {
    QByteArray before;
    QByteArray after;
    for (const int length : {65535, 1, 65536, 0, 65537, 1200000, 3}) {
        const QByteArray line(length, char('a' + length % 26));
        before += line + "\r\n";
        after += line + "\r\n";
        if (length == 0) {
            before += "old\n";
            after += "NEW\r\n";
        }
    }
    before += QByteArray(70000, 'z');
    after += QByteArray(70000, 'z') + "\r\n";
    const QString file = path(QStringLiteral("long.dat"));
    writeBytes(file, before);
    ASSERT_EQ(before.at(65535), '\r'); // the first CR LF is cut between two read blocks
    qsizetype edited = 0;
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteLinesEdited(file, dropOldNew, &edited)));
    EXPECT_EQ(edited, 1);
    const QByteArray written = readBytes(file);
    EXPECT_EQ(written.size(), after.size());
    EXPECT_TRUE(written == after); // not printed: megabytes
}

// A file in which the edit finds nothing is not written at all.
TEST_F(FileTest, RewriteLinesEditedLeavesAFileItDoesNotChange) {
    const QString file = path(QStringLiteral("CAT1.DAT"));
    writeBytes(file, "a\nb\r\nc");
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    qsizetype edited = -1;
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteLinesEdited(file, dropOldNew, &edited)));
    EXPECT_EQ(edited, 0);
    EXPECT_EQ(readBytes(file), QByteArray("a\nb\r\nc"));
    struct stat after;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // the same file, not a copy renamed over it
    EXPECT_EQ(entriesOf(dir.path()), QStringList({"CAT1.DAT", "afile"}));
}

// An edit that finds on its way that the change must not be made abandons
// it: the file stays the same file, as it was, even after lines were edited
// before that point, and no temporary file is left.
TEST_F(FileTest, AnAbandonedRewriteLeavesTheFileAsItWas) {
    const QString file = path(QStringLiteral("CAT1.DAT"));
    const QByteArray old("old\r\na\r\nstop\r\nold\r\n");
    writeBytes(file, old);
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    bool stop = false;
    qsizetype edited = -1;
    IoError err;
    ASSERT_TRUE(ok(&err, RewriteLinesEdited(
                             file,
                             [&stop](QByteArrayView &line, bool *keep) {
                                 stop = line == "stop";
                                 return dropOldNew(line, keep);
                             },
                             &edited, &stop)));
    EXPECT_EQ(edited, 1);
    EXPECT_EQ(readBytes(file), old);
    struct stat after;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(entriesOf(dir.path()), QStringList({"CAT1.DAT", "afile"}));
}

TEST_F(FileTest, RewriteLinesEditedReportsAFileItCannotRead) {
    const QString gone = path(QStringLiteral("CAT9.DAT"));
    qsizetype edited = -1;
    IoError err;
    EXPECT_FALSE(ok(&err, RewriteLinesEdited(gone, dropOldNew, &edited)));
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: No such file or "
                             "directory.")
                  .arg(gone));
    EXPECT_EQ(edited, 0);
    EXPECT_EQ(entriesOf(dir.path()), QStringList({"afile"}));
}

// --- ForEachLine -------------------------------------------------------------

// Lines cross the boundaries of the blocks the reader takes from the file,
// including a CR LF pair cut between two blocks.
TEST_F(FileTest, ForEachLineJoinsLinesAcrossItsReadBlocks) {
    QByteArray bytes;
    QStringList expected;
    for (const int length : {65535, 1, 65536, 0, 65537, 200000, 3}) {
        bytes += QByteArray(length, char('a' + length % 26)) + "\r\n";
        expected << QString(length, QChar(u'a' + length % 26));
    }
    const QString file = path(QStringLiteral("long.dat"));
    writeBytes(file, bytes);
    ASSERT_EQ(bytes.at(65535), '\r'); // the first CR LF is cut between two blocks
    QStringList lines;
    IoError err;
    ASSERT_TRUE(ok(&err, ForEachLine(file, [&](const QString &line) {
        lines << line;
        return true;
    })));
    EXPECT_EQ(lines, expected);
}

TEST_F(FileTest, ForEachLineStopsWhenTold) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "a\r\nb\r\nc\r\n");
    QStringList lines;
    IoError err;
    ASSERT_TRUE(ok(&err, ForEachLine(file, [&](const QString &line) {
        lines << line;
        return line != QLatin1String("b");
    })));
    EXPECT_EQ(lines, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_FALSE(err.failed());
}

// --- Moving aside and removing ------------------------------------------------

TEST_F(FileTest, MoveAsideRenamesAndNeverReplacesWhatIsThere) {
    const QString from = path(QStringLiteral("CAT2.DAT"));
    const QString aside = path(QStringLiteral("CAT2.DAT.deleting"));
    writeBytes(from, "urls\r\n");
    ASSERT_FALSE(MoveAside(from, aside).failed());
    EXPECT_FALSE(QFileInfo::exists(from));
    EXPECT_EQ(readBytes(aside), QByteArray("urls\r\n"));

    writeBytes(from, "new urls\r\n");
    const IoError err = MoveAside(from, aside);
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not move away \"%1\".\r\n\r\nReason: "
                                            "File exists.")
                                 .arg(from));
    EXPECT_EQ(readBytes(aside), QByteArray("urls\r\n"));
    EXPECT_EQ(readBytes(from), QByteArray("new urls\r\n"));
}

TEST_F(FileTest, RemoveFileSaysWhatWentWrong) {
    const QString file = path(QStringLiteral("CAT2.DAT.deleting"));
    writeBytes(file, "x");
    EXPECT_FALSE(RemoveFile(file).failed());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(RemoveFile(file).message(),
              QStringLiteral("Wayfile could not delete \"%1\".\r\n\r\nReason: No such file or "
                             "directory.")
                  .arg(file));
}

// A crash between two steps of an operation is what the rename and remove
// calls of the seam let a test stand in for.
TEST_F(FileTest, RenamesAndRemovesGoThroughTheDiskCalls) {
    QStringList calls;
    const DiskCallsOverride record(DiskCalls{{},
                                             {},
                                             [&calls](const char *from, const char *to) {
                                                 calls << QStringLiteral("rename");
                                                 return ::rename(from, to);
                                             },
                                             [&calls](const char *file) {
                                                 calls << QStringLiteral("remove");
                                                 errno = EACCES;
                                                 (void)file;
                                                 return -1;
                                             }});
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "old\r\n");
    ASSERT_FALSE(RewriteFile(file, {QStringLiteral("new")}).failed());
    ASSERT_FALSE(MoveAside(file, path(QStringLiteral("CAT.DAT.deleting"))).failed());
    const IoError err = RemoveFile(path(QStringLiteral("CAT.DAT.deleting")));
    EXPECT_EQ(err.reason, QStringLiteral("Permission denied"));
    EXPECT_EQ(calls, (QStringList{"rename", "rename", "remove"}));
}

// The other calls that change the disk, and those that open and look up
// files, go through the disk calls as well: a fault in any of them reaches
// the routine, which names the file and the system's reason.
struct SeamCallCase {
    const char *name;
    std::function<DiskCalls()> calls;
    std::function<IoError(const QString &folder)> run;
    const char *message; // %1: the test's folder
};

// A case is shown by its name when it fails.
void PrintTo(const SeamCallCase &c, std::ostream *os) {
    *os << c.name;
}

class SeamCalls : public FileTest, public ::testing::WithParamInterface<SeamCallCase> {};

TEST_P(SeamCalls, CarryTheirFaultsToTheRoutine) {
    const SeamCallCase c = GetParam();
    writeBytes(path(QStringLiteral("CAT.DAT")), "a end\r\nb e");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
    const QStringList before = entriesOf(dir.path());
    IoError err;
    {
        const DiskCallsOverride faults(c.calls());
        err = c.run(dir.path());
    }
    EXPECT_EQ(err.message(), QString::fromLatin1(c.message).arg(dir.path()));
    EXPECT_EQ(readBytes(path(QStringLiteral("CAT.DAT"))), QByteArray("a end\r\nb e"));
    EXPECT_EQ(entriesOf(dir.path()), before);
}

int failWith(int error) {
    errno = error;
    return -1;
}

INSTANTIATE_TEST_SUITE_P(
    DataFile, SeamCalls,
    ::testing::Values(
        SeamCallCase{"make_folder",
                     [] {
                         return DiskCalls{
                             .makeFolder = [](const char *, mode_t) { return failWith(ENOSPC); }};
                     },
                     [](const QString &folder) { return MakeFolder(folder + "/USR2"); },
                     "Wayfile could not create \"%1/USR2\".\r\n\r\nReason: No space left on "
                     "device."},
        SeamCallCase{
            "remove_folder",
            [] { return DiskCalls{.removeFolder = [](const char *) { return failWith(EBUSY); }}; },
            [](const QString &folder) { return RemoveFolder(folder + "/USR1"); },
            "Wayfile could not delete \"%1/USR1\".\r\n\r\nReason: Device or resource busy."},
        SeamCallCase{
            "cut_a_torn_line",
            [] { return DiskCalls{.truncate = [](int, qint64) { return failWith(EIO); }}; },
            [](const QString &folder) {
                bool cut = false;
                return CutTornLastLine(
                    folder + "/CAT.DAT", [](QByteArrayView) { return false; }, &cut);
            },
            "Wayfile could not write to \"%1/CAT.DAT\".\r\n\r\nReason: Input/output "
            "error."},
        SeamCallCase{"cut_a_failed_append_back",
                     [] {
                         return DiskCalls{.write = [](int, const char *, qint64) -> qint64 {
                                              return failWith(ENOSPC);
                                          },
                                          .truncate = [](int, qint64) { return failWith(EIO); }};
                     },
                     [](const QString &folder) {
                         return AppendLine(folder + "/CAT.DAT", QStringLiteral("c end"));
                     },
                     "Wayfile could not write to \"%1/CAT.DAT\".\r\n\r\nReason: No space left "
                     "on device (the file could not be restored to its former length: "
                     "Input/output error)."},
        SeamCallCase{"open",
                     [] {
                         return DiskCalls{
                             .open = [](const char *, int, mode_t) { return failWith(EMFILE); }};
                     },
                     [](const QString &folder) {
                         QStringList lines;
                         return ReadLines(folder + "/CAT.DAT", &lines);
                     },
                     "Wayfile could not read \"%1/CAT.DAT\".\r\n\r\nReason: Too many open "
                     "files."},
        SeamCallCase{
            "look_up",
            [] {
                return DiskCalls{.stat = [](const char *, struct stat *) { return failWith(EIO); }};
            },
            [](const QString &folder) { return WriteNewFile(folder + "/export.txt", "x\r\n"); },
            "Wayfile could not write to \"%1/export.txt\".\r\n\r\nReason: "
            "Input/output error."}),
    caseName<SeamCallCase>);

// --- Moving back and into place ------------------------------------------------

TEST_F(FileTest, MovingBackIsToldAsSuch) {
    const QString aside = path(QStringLiteral("CAT2.DAT.deleting"));
    const QString original = path(QStringLiteral("CAT2.DAT"));
    writeBytes(aside, "urls\r\n");
    writeBytes(original, "newer\r\n");
    EXPECT_EQ(MoveBack(aside, original).message(),
              QStringLiteral("Wayfile could not move back \"%1\".\r\n\r\nReason: File exists.")
                  .arg(aside));
    EXPECT_EQ(readBytes(aside), QByteArray("urls\r\n"));
    EXPECT_EQ(readBytes(original), QByteArray("newer\r\n"));
}

// A file takes the place of one that is absent or empty, never of one that
// holds data.
TEST_F(FileTest, MoveIntoPlaceReplacesOnlyAnEmptyFile) {
    const QString from = path(QStringLiteral("tmp.DAT"));
    const QString to = path(QStringLiteral("CAT.DAT"));
    writeBytes(from, "records\r\n");
    ASSERT_FALSE(MoveIntoPlace(from, to).failed());
    EXPECT_EQ(readBytes(to), QByteArray("records\r\n"));
    EXPECT_FALSE(QFileInfo::exists(from));

    writeBytes(to, "");
    writeBytes(from, "more records\r\n");
    ASSERT_FALSE(MoveIntoPlace(from, to).failed());
    EXPECT_EQ(readBytes(to), QByteArray("more records\r\n"));

    writeBytes(from, "unfinished\r\n");
    EXPECT_EQ(
        MoveIntoPlace(from, to).message(),
        QStringLiteral("Wayfile could not rename \"%1\".\r\n\r\nReason: File exists.").arg(from));
    EXPECT_EQ(readBytes(to), QByteArray("more records\r\n"));
    EXPECT_EQ(readBytes(from), QByteArray("unfinished\r\n"));
}

// --- Cutting off a torn last line ------------------------------------------------

struct TornCase {
    const char *name;
    QByteArray before;
    QByteArray after;
    bool cut;
};

class TornLastLines : public FileTest, public ::testing::WithParamInterface<TornCase> {};

// In these cases a whole record is a line that ends in "end".
TEST_P(TornLastLines, AreCutOffUnlessWhole) {
    const TornCase c = GetParam();
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, c.before);
    bool cut = !c.cut;
    const IoError err = CutTornLastLine(
        file, [](QByteArrayView line) { return line.endsWith("end"); }, &cut);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(cut, c.cut);
    EXPECT_EQ(readBytes(file), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    DataFile, TornLastLines,
    ::testing::Values(TornCase{"complete_lines", "a end\r\nb end\r\n", "a end\r\nb end\r\n", false},
                      TornCase{"a_torn_line_that_passes_for_a_record_is_kept", "a end\r\nb end",
                               "a end\r\nb end", false},
                      TornCase{"a_line_cut_between_cr_and_lf_is_kept", "a end\r\nb end\r",
                               "a end\r\nb end\r", false},
                      TornCase{"torn_last_line", "a end\r\nb e", "a end\r\n", true},
                      TornCase{"torn_only_line", "b e", "", true},
                      TornCase{"lf_line_ends", "a end\nb", "a end\n", true},
                      TornCase{"torn_line_longer_than_a_block",
                               QByteArray("a end\r\n") + QByteArray(200000, '7'), "a end\r\n",
                               true},
                      TornCase{"empty_file", "", "", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FileTest, AnAbsentFileHasNoTornLine) {
    const QString file = path(QStringLiteral("info.qvx"));
    bool cut = true;
    EXPECT_FALSE(CutTornLastLine(
                     file, [](QByteArrayView) { return false; }, &cut)
                     .failed());
    EXPECT_FALSE(cut);
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(FileTest, ATornLineOfAFileThatCannotBeWrittenStays) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "a end\r\nb e");
    const forked::Outcome outcome =
        forked::runAsOrdinaryUser(QFile::encodeName(dir.path()), [&]() -> QByteArray {
            if (::chmod(QFile::encodeName(file).constData(), 0400) != 0)
                return "chmod failed";
            bool cut = false;
            const IoError err = CutTornLastLine(
                file, [](QByteArrayView) { return false; }, &cut);
            return (cut ? "cut\n" : "kept\n") + err.message().toLatin1();
        });
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    EXPECT_EQ(QString::fromLatin1(outcome.report),
              QStringLiteral("kept\nWayfile could not write to \"%1\".\r\n\r\nReason: Permission "
                             "denied.")
                  .arg(file));
    EXPECT_EQ(readBytes(file), QByteArray("a end\r\nb e"));
}

// --- Files of another system account ------------------------------------------

// Data made by another account (copied over as root, say): the refused
// permission says whose the file or folder is, and where to read what to do.
TEST_F(FileTest, APermissionRefusedOnAnotherAccountsDataSaysWhoseItIs) {
    const QString file = path(QStringLiteral("CAT.DAT"));
    writeBytes(file, "theirs\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    const QString folder = path(QStringLiteral("USR2"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR2")));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const forked::Outcome outcome = forked::runAsOrdinaryUser(
        QFile::encodeName(dir.path()),
        [&]() -> QByteArray {
            QStringList lines;
            QByteArray report = ReadLines(file, &lines).message().toLatin1() + "\n";
            report += AppendLine(folder + QStringLiteral("/CAT1.DAT"), QStringLiteral("x"))
                          .message()
                          .toLatin1();
            return report;
        },
        {QFile::encodeName(file), QFile::encodeName(folder)});
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    EXPECT_EQ(QString::fromLatin1(outcome.report),
              QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: Permission denied: the "
                             "file belongs to another system account (\"root\"), and only that "
                             "account may change it. The readme.txt beside the program says how "
                             "to move an installation to another account.\n"
                             "Wayfile could not write to \"%2/CAT1.DAT\".\r\n\r\nReason: "
                             "Permission denied: the folder \"%2\" belongs to another system "
                             "account (\"root\"), and only that account may change it. The "
                             "readme.txt beside the program says how to move an installation to "
                             "another account.")
                  .arg(file, folder));
}

// --- What an entry is ----------------------------------------------------------

struct KindCase {
    const char *name;
    const char *entry; // in the test folder (see EntryKinds)
    EntryKind itself;
    EntryKind followed; // a link followed
    qint64 size;        // SizeOfEntry; kAnySize for a folder, whose size the file system sets
};

constexpr qint64 kAnySize = -2;

class EntryKinds : public FileTest, public ::testing::WithParamInterface<KindCase> {
protected:
    // "afile" (one byte), "empty", "folder", "link" to "afile", "dangling"
    // to nothing, and the pipe "pipe".
    void SetUp() override {
        FileTest::SetUp();
        writeBytes(path(QStringLiteral("empty")), QByteArray());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        ASSERT_EQ(::symlink("afile", QFile::encodeName(path(QStringLiteral("link"))).constData()),
                  0);
        ASSERT_EQ(
            ::symlink("nowhere", QFile::encodeName(path(QStringLiteral("dangling"))).constData()),
            0);
        ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe"))).constData(), 0600), 0);
    }
};

TEST_P(EntryKinds, AreToldWithoutOpeningTheEntry) {
    const KindCase c = GetParam();
    const QString entry = path(QString::fromLatin1(c.entry));
    EXPECT_EQ(KindOfEntry(entry), c.itself);
    EXPECT_EQ(KindOfEntry(entry, Links::Followed), c.followed);
    if (c.size == kAnySize) {
        EXPECT_GE(SizeOfEntry(entry), 0);
    } else {
        EXPECT_EQ(SizeOfEntry(entry), c.size);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryKinds,
    ::testing::Values(
        KindCase{"absent", "nothing", EntryKind::Absent, EntryKind::Absent, -1},
        KindCase{"file", "afile", EntryKind::File, EntryKind::File, 1},
        KindCase{"empty_file", "empty", EntryKind::File, EntryKind::File, 0},
        KindCase{"folder", "folder", EntryKind::Folder, EntryKind::Folder, kAnySize},
        KindCase{"link_to_a_file", "link", EntryKind::Other, EntryKind::File, 1},
        KindCase{"link_to_nothing", "dangling", EntryKind::Other, EntryKind::Absent, -1},
        KindCase{"pipe", "pipe", EntryKind::Other, EntryKind::Other, 0},
        KindCase{"below_a_file", "afile/x", EntryKind::Unseen, EntryKind::Unseen, -1}),
    [](const auto &info) { return std::string(info.param.name); });

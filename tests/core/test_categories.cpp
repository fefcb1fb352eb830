#include "categories/categoryindex.h"

#include "accounts/accountfile.h"
#include "storage/cipher.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "urls/urlfile.h"

#include "filesizelimit.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <optional>
#include <sys/resource.h>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");
const QString kOther = QStringLiteral("other");

// The files of user 1, whose password is "pw1", in a program folder of its
// own.
class CategoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
    }
    void TearDown() override {
        SetDiskCalls({});
        SetProgramFolder(QString());
    }

    QString user(const QString &name) const { return dir.filePath(QStringLiteral("USR1/") + name); }
    QString index() const { return user(QStringLiteral("CAT.DAT")); }

    static QByteArray bytes(const QString &path) { return FileBytes(path); }
    static void write(const QString &path, const QByteArray &data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }
    // One index line, with its CR LF, written under `password`.
    static QByteArray line(int n, const QString &name, const QString &password = kMine) {
        return CategoryRecordLine(n, name, MakePassStamp(password)).toLatin1() + "\r\n";
    }
    // Decoded records of the index: "number name" for each line.
    QStringList decoded() const { return DecodedIndex(index()); }
    // CategoryExists as a question: taken or not (false when unreadable);
    // the next number in `next`.
    bool taken(const QString &name, IoError *err = nullptr) {
        bool exists = false;
        const IoError result = CategoryExists(1, name, &exists, &next);
        if (err)
            *err = result;
        return exists;
    }
    QStringList userFolderEntries() const {
        return QDir(user(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir dir;
    // User 1's owner stamp.
    const QString stamp = MakePassStamp(kMine);
    // The next number the last look-up gave.
    int next = -1;
};

} // namespace

// --- Look-up and the next number -----------------------------------------

TEST_F(CategoryTest, WithoutAnIndexNothingIsTakenAndNumberingStartsAtOne) {
    IoError err;
    EXPECT_FALSE(taken(QStringLiteral("News"), &err));
    EXPECT_FALSE(err.failed());
    EXPECT_EQ(next, 1);
    EXPECT_TRUE(QFileInfo(index()).isFile()); // created empty, as the look-up opens it
    EXPECT_EQ(QFileInfo(index()).size(), 0);
}

TEST_F(CategoryTest, NextNumberIsOneMoreThanTheHighestNeverAGap) {
    write(index(), line(1, "Work") + line(5, "Home") + line(2, "Fun"));
    EXPECT_FALSE(taken(QStringLiteral("Travel")));
    EXPECT_EQ(next, 6);
}

struct TakenCase {
    const char *name;
    const char *candidate;
    bool taken;
};

class CategoryNames : public CategoryTest, public ::testing::WithParamInterface<TakenCase> {};

TEST_P(CategoryNames, AreComparedIgnoringCaseOnly) {
    write(index(), line(1, "Work") + line(2, "News", kOther) + line(3, "A *QVX* B"));
    EXPECT_EQ(taken(QString::fromLatin1(GetParam().candidate)), GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(
    Categories, CategoryNames,
    ::testing::Values(TakenCase{"same", "News", true}, TakenCase{"lower", "news", true},
                      TakenCase{"upper", "NEWS", true}, TakenCase{"inner_blank", "New s", false},
                      TakenCase{"shorter", "New", false}, TakenCase{"longer", "Newsy", false},
                      TakenCase{"separator_inside", "a *qvx* b", true},
                      TakenCase{"first_record", "WORK", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CategoryTest, LinesWithoutSeparatorMatchNothingAndCountAsZero) {
    write(index(), QByteArray("\r\n") + "garbage\r\n" + line(3, "Work") + "   \r\n");
    EXPECT_FALSE(taken(QStringLiteral("garbage")));
    EXPECT_EQ(next, 4);
}

TEST_F(CategoryTest, AHugeStoredNumberIsNotWrappedSoTheCallerCanRefuseIt) {
    write(index(),
          JoinRecord({EncodeField("CAT99999999999"), EncodeField("Big"), MakePassStamp(kMine)})
                  .toLatin1() +
              "\r\n");
    EXPECT_FALSE(taken(QStringLiteral("Other")));
    EXPECT_GT(next, kMaxRecordNo);
    EXPECT_FALSE(IsStorableNumber(next));
}

TEST_F(CategoryTest, AnUnreadableIndexIsReported) {
    ASSERT_TRUE(QDir().mkdir(index())); // a folder where the file should be
    IoError err;
    EXPECT_FALSE(taken(QStringLiteral("News"), &err));
    EXPECT_TRUE(err.failed());
    EXPECT_EQ(err.file, index());
    EXPECT_EQ(next, 0);
}

// --- Loading with the owner test -----------------------------------------

struct OwnerCase {
    const char *name;
    const char *owners; // one letter per record: m = mine, o = another password's
    const char *owned;  // names listed, in file order
    bool lastOwned;
};

class OwnerCases : public CategoryTest, public ::testing::WithParamInterface<OwnerCase> {};

TEST_P(OwnerCases, OwnedRecordsAreReadAndTheLastOneDecides) {
    const QStringList names{"Work", "Home", "Fun"};
    QByteArray data;
    const QString owners = QString::fromLatin1(GetParam().owners);
    for (int i = 0; i < owners.size(); ++i)
        data += line(i + 1, names[i], owners[i] == u'm' ? kMine : kOther);
    write(index(), data);

    CategoryIndexRead read;
    ASSERT_FALSE(ReadCategoryIndex(1, stamp, &read).failed());
    EXPECT_TRUE(read.hasData);
    QStringList owned;
    for (const ListEntry &entry : read.owned)
        owned << QStringLiteral("%1 %2").arg(entry.number).arg(entry.text);
    EXPECT_EQ(owned.join(u','), QString::fromLatin1(GetParam().owned));
    EXPECT_EQ(read.lastOwned, GetParam().lastOwned);
}

INSTANTIATE_TEST_SUITE_P(Categories, OwnerCases,
                         ::testing::Values(OwnerCase{"all_mine", "mmm", "1 Work,2 Home,3 Fun",
                                                     true},
                                           OwnerCase{"first_foreign", "omm", "2 Home,3 Fun", true},
                                           OwnerCase{"last_foreign", "mmo", "1 Work,2 Home", false},
                                           OwnerCase{"all_foreign", "ooo", "", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CategoryTest, ALastLineWithoutSeparatorFailsTheOwnerTest) {
    write(index(), line(1, "Work") + "junk\r\n");
    CategoryIndexRead read;
    ASSERT_FALSE(ReadCategoryIndex(1, stamp, &read).failed());
    ASSERT_EQ(read.owned.size(), 1);
    EXPECT_FALSE(read.lastOwned);
}

TEST_F(CategoryTest, AnEmptyOrAbsentIndexHoldsNothing) {
    CategoryIndexRead read;
    ASSERT_FALSE(ReadCategoryIndex(1, stamp, &read).failed());
    EXPECT_FALSE(read.hasData);
    EXPECT_TRUE(read.owned.isEmpty());
}

TEST_F(CategoryTest, LoadingReportsAnIndexThatCannotBeRead) {
    ASSERT_TRUE(QDir().mkdir(index()));
    CategoryIndexRead read;
    const IoError err = ReadCategoryIndex(1, stamp, &read);
    EXPECT_TRUE(err.failed());
    EXPECT_EQ(err.file, index());
}

// --- Adding ------------------------------------------------------------------

TEST_F(CategoryTest, TheFirstCategoryCreatesTheIndexWithOneCrLfRecord) {
    const Change change = AppendCategory(1, QStringLiteral("Work"), "  " + stamp + " ");
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    const QByteArray data = bytes(index());
    ASSERT_TRUE(data.endsWith("\r\n"));
    EXPECT_EQ(data.count('\n'), 1);
    const QStringList fields = CategoryFields(QString::fromLatin1(data.chopped(2)));
    ASSERT_EQ(fields.size(), 3);
    EXPECT_EQ(DecodeField(fields[0]), QStringLiteral("CAT1"));
    EXPECT_EQ(DecodeField(fields[1]), QStringLiteral("Work"));
    EXPECT_EQ(fields[2], stamp); // stored trimmed, as held
}

TEST_F(CategoryTest, NumbersOutsideSixteenBitsAreRefusedAndNothingIsWritten) {
    const QByteArray huge =
        JoinRecord({EncodeField("CAT99999999999"), EncodeField("Big"), stamp}).toLatin1() + "\r\n";
    for (const QByteArray &before : {line(32767, "Last"), line(5, "Other", kOther) + huge}) {
        write(index(), before);
        const Change change = AppendCategory(1, QStringLiteral("X"), stamp);
        EXPECT_FALSE(change.changed);
        EXPECT_TRUE(change.error.is(IoError::Kind::NumbersUsedUp));
        EXPECT_EQ(change.error.message(),
                  QStringLiteral("Sorry, no more Categories can be added: the Category numbers "
                                 "have reached their highest value, 32767."));
        EXPECT_EQ(bytes(index()), before);
    }
    write(index(), line(32766, "Work"));
    const Change last = AppendCategory(1, QStringLiteral("Last"), stamp);
    EXPECT_TRUE(last.changed);
    EXPECT_EQ(last.number, 32767);
    EXPECT_EQ(decoded(), (QStringList{"32766 Work", "32767 Last"}));
}

TEST_F(CategoryTest, AddingTakesTheNextNumberAndGivesItBack) {
    write(index(), line(1, "Work") + line(5, "Home", kOther) + line(2, "Fun"));
    const Change change = AppendCategory(1, QStringLiteral("Travel"), stamp);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.number, 6);
    EXPECT_EQ(decoded(), (QStringList{"1 Work", "5 Home", "2 Fun", "6 Travel"}));
}

// A name any category of the index has, whoever owns it and in whatever
// letter case, is refused by adding and by renaming, with nothing written.
struct NameTakenCase {
    const char *name;
    bool rename;
    const char *candidate;
    const char *message;
};

class NamesTaken : public CategoryTest, public ::testing::WithParamInterface<NameTakenCase> {};

TEST_P(NamesTaken, AreRefusedWithNothingWritten) {
    const QByteArray before = line(1, "Work") + line(2, "News", kOther);
    write(index(), before);
    const QString candidate = QString::fromLatin1(GetParam().candidate);
    const Change change = GetParam().rename ? RenameCategory(1, 1, candidate, stamp)
                                            : AppendCategory(1, candidate, stamp);
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(change.error.is(IoError::Kind::NameTaken));
    EXPECT_EQ(change.error.message(), QString::fromLatin1(GetParam().message));
    EXPECT_EQ(bytes(index()), before);
    EXPECT_EQ(userFolderEntries(), QStringList{"CAT.DAT"});
}

const char *const kTakenOnAdd =
    "There already exists a Category by that name, please choose another name.";
const char *const kTakenOnRename =
    "There already exists a Category by that name...Please choose another.";

INSTANTIATE_TEST_SUITE_P(
    Categories, NamesTaken,
    ::testing::Values(NameTakenCase{"add_same_case", false, "Work", kTakenOnAdd},
                      NameTakenCase{"add_other_case_foreign", false, "NEWS", kTakenOnAdd},
                      NameTakenCase{"rename_to_another", true, "news", kTakenOnRename},
                      NameTakenCase{"rename_to_its_own_in_other_case", true, "WORK",
                                    kTakenOnRename}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CategoryTest, AddingAndRenamingRefuseAnUnstorableNameByItsKind) {
    const QByteArray before = line(1, "Work");
    write(index(), before);
    for (const Change &change : {AppendCategory(1, QStringLiteral("Caf\u00e9"), stamp),
                                 RenameCategory(1, 1, QStringLiteral("Tab\there"), stamp)}) {
        EXPECT_FALSE(change.changed);
        EXPECT_TRUE(change.error.is(IoError::Kind::Unstorable));
        EXPECT_EQ(change.error.subject, Field::CategoryName);
    }
    EXPECT_EQ(bytes(index()), before);
}

// The disk failing under an add or a rename, through the disk calls: the
// failure is told on the index, which stays as it was, with no temporary
// file left beside it.
struct DiskFault {
    const char *name;
    bool rename;
    const char *call; // "write", "sync" or "rename"
    const char *reason;
};

class DiskFaults : public CategoryTest, public ::testing::WithParamInterface<DiskFault> {};

TEST_P(DiskFaults, LeaveTheIndexAsItWas) {
    const QByteArray before = line(1, "Work") + line(2, "Home");
    write(index(), before);
    const std::string call = GetParam().call;
    DiskCalls calls;
    if (call == "write")
        calls.write = [](int, const char *, qint64) -> qint64 {
            errno = ENOSPC;
            return -1;
        };
    else if (call == "sync")
        calls.sync = [](int) {
            errno = EIO;
            return -1;
        };
    else
        calls.rename = [](const char *, const char *) {
            errno = EROFS;
            return -1;
        };
    SetDiskCalls(calls);
    const Change change = GetParam().rename ? RenameCategory(1, 2, QStringLiteral("Travel"), stamp)
                                            : AppendCategory(1, QStringLiteral("Travel"), stamp);
    SetDiskCalls({});
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(change.error.is(IoError::Kind::File));
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: %2.")
                  .arg(index(), QString::fromLatin1(GetParam().reason)));
    EXPECT_EQ(bytes(index()), before);
    EXPECT_EQ(userFolderEntries(), QStringList{"CAT.DAT"});
}

INSTANTIATE_TEST_SUITE_P(
    Categories, DiskFaults,
    ::testing::Values(DiskFault{"add_on_a_full_disk", false, "write", "No space left on device"},
                      DiskFault{"add_not_flushed", false, "sync", "Input/output error"},
                      DiskFault{"rename_on_a_full_disk", true, "write", "No space left on device"},
                      DiskFault{"rename_not_flushed", true, "sync", "Input/output error"},
                      DiskFault{"rename_not_put_in_place", true, "rename",
                                "Read-only file system"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CategoryTest, AFailedAppendLeavesTheIndexAsItWas) {
    const QByteArray before = line(1, "Work");
    write(index(), before);
    Change change;
    {
        const FileSizeLimit limit(before.size());
        change = AppendCategory(1, QStringLiteral("Home"), stamp);
    }
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.file, index());
    EXPECT_TRUE(change.error.message().startsWith(QStringLiteral("Wayfile could not write to")));
    EXPECT_EQ(bytes(index()), before);
}

// --- Renaming ----------------------------------------------------------------

TEST_F(CategoryTest, RenameRewritesTheRecordInPlaceAndCopiesTheRestByteForByte) {
    const QByteArray second = line(2, "Home", kOther), third = line(3, "Fun");
    write(index(), line(1, "Work") + "odd line\r\n" + second + third);
    write(user("CAT1.DAT"), "urls of one\r\n");

    const Change change = RenameCategory(1, 1, QStringLiteral("Travel"), stamp);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);

    const QList<QByteArray> lines = bytes(index()).split('\n');
    ASSERT_EQ(lines.size(), 5); // four lines and the empty rest after the last CR LF
    EXPECT_EQ(lines[1] + '\n', QByteArray("odd line\r\n"));
    EXPECT_EQ(lines[2] + '\n', second);
    EXPECT_EQ(lines[3] + '\n', third);
    const QStringList fields = CategoryFields(QString::fromLatin1(lines[0].chopped(1)));
    EXPECT_EQ(DecodeField(fields[0]), QStringLiteral("CAT1"));
    EXPECT_EQ(DecodeField(fields[1]), QStringLiteral("Travel"));
    EXPECT_EQ(fields[2], stamp);
    EXPECT_EQ(bytes(user("CAT1.DAT")), QByteArray("urls of one\r\n"));
    // No temporary file is left in the folder.
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT1.DAT"}));
}

TEST_F(CategoryTest, RenamingANumberTheIndexLacksChangesNothing) {
    const QByteArray before = line(1, "Work");
    write(index(), before);
    const Change change = RenameCategory(1, 7, QStringLiteral("Travel"), stamp);
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(change.error.is(IoError::Kind::NoRecord));
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Sorry, that Category is no longer in the file of your Categories, so "
                             "nothing was renamed."));
    EXPECT_EQ(bytes(index()), before);
}

TEST_F(CategoryTest, AFailedRenameLeavesTheIndexAsItWas) {
    const QByteArray before = line(1, "Work") + line(2, "Home");
    write(index(), before);
    Change change;
    {
        const FileSizeLimit limit(40);
        change = RenameCategory(1, 2, QStringLiteral("Travel"), stamp);
    }
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.file, index());
    EXPECT_EQ(bytes(index()), before);
    EXPECT_EQ(userFolderEntries(), QStringList{"CAT.DAT"});
}

// --- Deleting ----------------------------------------------------------------

TEST_F(CategoryTest, DeleteDropsTheRecordAndItsUrlFileOnly) {
    const QByteArray first = line(1, "Work"), third = line(3, "Fun");
    write(index(), first + line(2, "Home") + line(2, "Stray", kOther) + third);
    write(user("CAT1.DAT"), "one\r\n");
    write(user("cat2.Dat"), "two\r\n");
    write(user("CAT2.DAT"), "two again\r\n");
    write(user("CAT3.DAT"), "three\r\n");

    const Change change = DeleteCategoryFiles(1, 2);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(bytes(index()), first + third);
    EXPECT_EQ(bytes(user("CAT1.DAT")), QByteArray("one\r\n"));
    EXPECT_EQ(bytes(user("CAT3.DAT")), QByteArray("three\r\n"));
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT1.DAT", "CAT3.DAT"}));
}

// Case variants of a URL file that appear after the folder was first looked
// up (made by another program) go with their category all the same.
TEST_F(CategoryTest, DeleteRemovesVariantsThatAppearedSinceTheLastLookUp) {
    write(index(), line(1, "Work") + line(2, "Home"));
    write(user("CAT1.DAT"), "one\r\n");
    ASSERT_FALSE(DeleteCategoryFiles(1, 1).failed()); // the folder is looked up and kept
    write(user("cat2.dat"), "two\r\n");
    write(user("Cat2.DAT"), "two again\r\n");

    const Change change = DeleteCategoryFiles(1, 2);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(userFolderEntries(), QStringList{"CAT.DAT"});
}

TEST_F(CategoryTest, DeletingTheOnlyCategoryLeavesAnEmptyIndex) {
    write(index(), line(4, "Work"));
    const Change change = DeleteCategoryFiles(1, 4); // no URL file at all
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(QFileInfo(index()).size(), 0);
    EXPECT_FALSE(taken(QStringLiteral("Work")));
    EXPECT_EQ(next, 1);
}

// Each step of a delete failing for real; what must survive each.
struct DeleteFault {
    const char *name;
    const char *step; // "move", "write" or "remove"
};

class DeleteFaults : public CategoryTest, public ::testing::WithParamInterface<DeleteFault> {};

TEST_P(DeleteFaults, NeverLoseAKeptCategorysUrlsNorLeaveAFileToInherit) {
    const std::string step = GetParam().step;
    const QByteArray before = line(1, "Work") + line(2, "Home");
    write(index(), before);
    const QByteArray urls = "url lines\r\n";
    if (step == "remove") {
        // A folder where the URL file should be: it moves aside but cannot
        // be removed as a file.
        ASSERT_TRUE(QDir().mkpath(user("CAT2.DAT/inside")));
    } else {
        write(user("CAT2.DAT"), urls);
    }
    if (step == "move") {
        // The name it moves to is taken by a folder that is not empty.
        ASSERT_TRUE(QDir().mkpath(user("CAT2.DAT.deleting/inside")));
    }

    Change change;
    {
        std::optional<FileSizeLimit> limit;
        if (step == "write")
            limit.emplace(20);
        change = DeleteCategoryFiles(1, 2);
    }
    ASSERT_TRUE(change.failed());

    if (step == "remove") {
        // The category is gone; its leftover carries a name no category reads.
        EXPECT_TRUE(change.changed);
        EXPECT_EQ(decoded(), QStringList{"1 Work"});
        EXPECT_EQ(change.error.file, user("CAT2.DAT.deleting"));
        EXPECT_TRUE(change.error.message().startsWith(
            QStringLiteral("Wayfile could not delete \"%1\"").arg(user("CAT2.DAT.deleting"))));
        EXPECT_FALSE(QFileInfo::exists(UrlFilePath(1, 2)));
        return;
    }
    // Nothing changed: the index and the URL file are as they were.
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(bytes(index()), before);
    EXPECT_EQ(bytes(user("CAT2.DAT")), urls);
    EXPECT_EQ(change.error.file, step == "move" ? user("CAT2.DAT") : index());
    EXPECT_TRUE(change.error.message().startsWith(
        step == "move" ? QStringLiteral("Wayfile could not move away \"%1\"").arg(user("CAT2.DAT"))
                       : QStringLiteral("Wayfile could not write to \"%1\"").arg(index())));
}

INSTANTIATE_TEST_SUITE_P(Categories, DeleteFaults,
                         ::testing::Values(DeleteFault{"url_file_cannot_move", "move"},
                                           DeleteFault{"index_cannot_be_written", "write"},
                                           DeleteFault{"url_file_cannot_be_removed", "remove"}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Damaged records: a key that lost its number reads as number 0 ----------

namespace {

// An index line whose key holds `key` (no number in it), with its CR LF.
QByteArray damagedLine(const QString &key, const QString &name) {
    return JoinRecord({EncodeField(key), EncodeField(name), MakePassStamp(kMine)}).toLatin1() +
           "\r\n";
}

} // namespace

// Two damaged records share number 0 and the URL file CAT0.DAT; a line
// without separator reads as 0 too but is no record. Deleting one damaged
// record removes that line alone and keeps CAT0.DAT for the other; deleting
// the last one takes CAT0.DAT with it.
TEST_F(CategoryTest, ADamagedRecordIsDeletedByItsNameAndCat0GoesWithTheLastOne) {
    const QByteArray odd = "no separator\r\n", work = line(1, "Work"), home = line(2, "Home");
    const QByteArray broken = damagedLine(QStringLiteral("CAT"), QStringLiteral("Broken"));
    const QByteArray other = damagedLine(QStringLiteral("CATx"), QStringLiteral("Other"));
    write(index(), odd + work + broken + home + other);
    write(user("CAT0.DAT"), "shared urls\r\n");
    write(user("CAT1.DAT"), "work urls\r\n");

    Change change = DeleteCategoryFiles(1, 0, QStringLiteral("Broken"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(bytes(index()), odd + work + home + other);
    EXPECT_EQ(bytes(user("CAT0.DAT")), QByteArray("shared urls\r\n"));

    change = DeleteCategoryFiles(1, 0, QStringLiteral("Other"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(bytes(index()), odd + work + home);
    EXPECT_EQ(userFolderEntries(), (QStringList{"CAT.DAT", "CAT1.DAT"}));
    EXPECT_EQ(bytes(user("CAT1.DAT")), QByteArray("work urls\r\n"));
}

// Renaming a damaged record rewrites that record alone, found by its name;
// the other damaged record and every other line stay byte for byte.
TEST_F(CategoryTest, ADamagedRecordIsRenamedByItsNameAlone) {
    const QByteArray work = line(1, "Work");
    const QByteArray broken = damagedLine(QStringLiteral("CAT"), QStringLiteral("Broken"));
    const QByteArray other = damagedLine(QStringLiteral("CAT"), QStringLiteral("Other"));
    write(index(), broken + work + other);
    write(user("CAT0.DAT"), "shared urls\r\n");

    const Change change =
        RenameCategory(1, 0, QStringLiteral("Mended"), stamp, QStringLiteral("Other"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    const QList<QByteArray> lines = FileLines(index());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], broken);
    EXPECT_EQ(lines[1], work);
    EXPECT_EQ(decoded(), (QStringList{"0 Broken", "1 Work", "0 Mended"}));
    EXPECT_EQ(CategoryFields(QString::fromLatin1(lines[2].chopped(2))).value(2), stamp);
    EXPECT_EQ(bytes(user("CAT0.DAT")), QByteArray("shared urls\r\n"));
}

// A damaged record that is gone from the index meanwhile: nothing is
// renamed, and a delete takes no other record with it.
TEST_F(CategoryTest, ADamagedRecordGoneMeanwhileChangesNothing) {
    const QByteArray before = QByteArray("no separator\r\n") + line(1, "Work") +
                              damagedLine(QStringLiteral("CAT"), QStringLiteral("Broken"));
    write(index(), before);
    write(user("CAT0.DAT"), "kept\r\n");
    const Change renamed = RenameCategory(1, 0, QStringLiteral("X"), stamp, QStringLiteral("Gone"));
    EXPECT_FALSE(renamed.changed);
    EXPECT_TRUE(renamed.error.is(IoError::Kind::NoRecord));
    EXPECT_EQ(renamed.error.message(),
              QStringLiteral("Sorry, that Category is no longer in the file of your Categories, so "
                             "nothing was renamed."));
    EXPECT_TRUE(DeleteCategoryFiles(1, 0, QStringLiteral("Gone")).changed);
    EXPECT_EQ(bytes(index()), before);
    EXPECT_EQ(bytes(user("CAT0.DAT")), QByteArray("kept\r\n"));
}

TEST_F(CategoryTest, DeletingFromAnIndexThatCannotBeReadTouchesNothing) {
    write(user("CAT2.DAT"), "urls\r\n");
    const Change change = DeleteCategoryFiles(1, 2); // there is no index
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.file, index());
    EXPECT_EQ(bytes(user("CAT2.DAT")), QByteArray("urls\r\n"));
}

// --- Repairs after a crash ------------------------------------------------------

// Every record names its number, whoever owns it, a damaged key the number 0;
// a line without separator names none. An absent index is made empty.
TEST_F(CategoryTest, TheIndexNamesTheNumbersOfEveryRecordWhateverItsOwner) {
    QSet<qint64> numbers{99};
    ASSERT_FALSE(ReadCategoryNumbers(1, &numbers).failed());
    EXPECT_TRUE(numbers.isEmpty());
    EXPECT_EQ(bytes(index()), QByteArray());

    const QByteArray records = line(3, QStringLiteral("Work")) +
                               line(7, QStringLiteral("Theirs"), kOther) + "no separator\r\n" +
                               line(40000, QStringLiteral("Huge"));
    write(index(), records);
    ASSERT_FALSE(ReadCategoryNumbers(1, &numbers).failed());
    EXPECT_EQ(numbers, (QSet<qint64>{3, 7, 40000}));

    const QByteArray damaged = JoinRecord({EncodeField(QStringLiteral("CAT")),
                                           EncodeField(QStringLiteral("Broken")), stamp})
                                   .toLatin1() +
                               "\r\n";
    write(index(), records + damaged);
    ASSERT_FALSE(ReadCategoryNumbers(1, &numbers).failed());
    EXPECT_EQ(numbers, (QSet<qint64>{0, 3, 7, 40000}));
}

TEST_F(CategoryTest, AnIndexThatCannotBeReadNamesNoNumbers) {
    ASSERT_TRUE(QDir().mkdir(index()));
    QSet<qint64> numbers;
    EXPECT_EQ(ReadCategoryNumbers(1, &numbers).message(),
              QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: It is a folder, not a "
                             "file.")
                  .arg(index()));
    EXPECT_TRUE(numbers.isEmpty());
}

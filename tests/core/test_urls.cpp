#include "urls/urlfile.h"

#include "accounts/accountfile.h"
#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/paths.h"
#include "storage/records.h"

#include "filesizelimit.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>
#include <sys/resource.h>

using namespace modMain;

namespace {

QByteArray ReadBytes(const QString &path) {
    return FileBytes(path);
}

void WriteBytes(const QString &path, const QByteArray &data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(data), data.size());
}

QByteArray Line(int n, const QString &address, const QString &description, const QString &stamp) {
    return UrlRecordLine(n, address, description, stamp).toLatin1() + "\r\n";
}

class UrlFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        stamp = MakePassStamp(QStringLiteral("secret"));
        other = MakePassStamp(QStringLiteral("another"));
    }
    QString path(const QString &name = QStringLiteral("CAT1.DAT")) const {
        return dir.filePath(name);
    }

    QTemporaryDir dir;
    QString stamp;
    QString other;
};

} // namespace

// --- Line breaks of descriptions -------------------------------------------

struct BreakCase {
    const char *name;
    const char *text;
    bool toStored;
    const char *expected;
};

class ConvertLineBreaksCases : public ::testing::TestWithParam<BreakCase> {};

TEST_P(ConvertLineBreaksCases, ConvertsTheWholeText) {
    const BreakCase &c = GetParam();
    EXPECT_EQ(ConvertLineBreaks(QString::fromLatin1(c.text), c.toStored),
              QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ConvertLineBreaksCases,
    ::testing::Values(BreakCase{"two_lines_stored", "alpha\r\nbeta", true, "alpha*QVX*beta"},
                      BreakCase{"two_lines_shown", "alpha*QVX*beta", false, "alpha\r\nbeta"},
                      BreakCase{"typed_marker_becomes_break", "a*QVX*b", false, "a\r\nb"},
                      BreakCase{"trailing_spaces_dropped", "text   ", true, "text"},
                      BreakCase{"trailing_break_kept", "text\r\n", true, "text*QVX*"},
                      BreakCase{"leading_spaces_keep_the_end", "   abcdef", true, "   abcdef"},
                      BreakCase{"spaces_both_ends", "  abc def  ", true, "  abc def"},
                      BreakCase{"tabs_stay", "\tx\t", true, "\tx\t"},
                      BreakCase{"lone_cr_stays", "a\rb", true, "a\rb"},
                      BreakCase{"empty", "", true, ""}, BreakCase{"only_spaces", "    ", true, ""},
                      BreakCase{"break_then_spaces", "a\r\n  ", true, "a*QVX*"}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Stored form of an address and the address opened ----------------------

struct AddressCase {
    const char *name;
    const char16_t *typed;
    const char *stored;
};

class StoredAddressCases : public ::testing::TestWithParam<AddressCase> {};

TEST_P(StoredAddressCases, EscapesWhatTheCipherCannotCarry) {
    const AddressCase &c = GetParam();
    const QString stored = StoredAddress(QString::fromUtf16(c.typed));
    EXPECT_EQ(stored, QString::fromLatin1(c.stored));
    EXPECT_TRUE(UnstorableChars(stored).isEmpty());
    // What is stored comes back unchanged.
    EXPECT_EQ(DecodeField(EncodeField(stored)), stored);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, StoredAddressCases,
    ::testing::Values(
        AddressCase{"plain", u"http://example.com/a?b=1#c", "http://example.com/a?b=1#c"},
        AddressCase{"tilde", u"http://example.com/~bob", "http://example.com/%7Ebob"},
        AddressCase{"bar_and_braces", u"x.org/a|b{c}", "x.org/a%7Cb%7Bc%7D"},
        AddressCase{"accented_path", u"http://x.org/caf\u00e9", "http://x.org/caf%C3%A9"},
        AddressCase{"accented_host", u"http://b\u00fccher.de/b\u00fccher",
                    "http://xn--bcher-kva.de/b%C3%BCcher"},
        AddressCase{"accented_bare_host", u"b\u00fccher.de", "xn--bcher-kva.de"},
        AddressCase{"host_with_user_and_port", u"http://me@b\u00fccher.de:8080/",
                    "http://me@xn--bcher-kva.de:8080/"},
        AddressCase{"control_character", u"a\tb", "a%09b"},
        AddressCase{"outside_the_plane", u"x.org/\U0001F600", "x.org/%F0%9F%98%80"},
        AddressCase{"percent_kept", u"x.org/%41", "x.org/%41"}),
    [](const auto &info) { return std::string(info.param.name); });

struct OpenCase {
    const char *name;
    const char *address;
    const char *opened;
};

class AddressToOpenCases : public ::testing::TestWithParam<OpenCase> {};

TEST_P(AddressToOpenCases, OnlyWebAddressesOpenAsTheyAre) {
    const OpenCase &c = GetParam();
    EXPECT_EQ(AddressToOpen(QString::fromLatin1(c.address)), QString::fromLatin1(c.opened));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, AddressToOpenCases,
    ::testing::Values(OpenCase{"http_lower", "http://a.org", "http://a.org"},
                      OpenCase{"http_mixed_case", "HtTp://A.org", "HtTp://A.org"},
                      OpenCase{"https_lower", "https://a.org/x", "https://a.org/x"},
                      OpenCase{"https_upper", "HTTPS://A.ORG", "HTTPS://A.ORG"},
                      OpenCase{"bare_host", "www.a.org", "http://www.a.org"},
                      OpenCase{"short", "a.b", "http://a.b"},
                      OpenCase{"ftp", "ftp://a.org", "http://ftp://a.org"},
                      OpenCase{"file", "file:///etc/passwd", "http://file:///etc/passwd"},
                      OpenCase{"javascript", "javascript:alert(1)", "http://javascript:alert(1)"},
                      OpenCase{"outer_spaces", "  a.org  ", "http://a.org"},
                      OpenCase{"shell_text", "a.org;rm -rf ~&&x", "http://a.org;rm -rf ~&&x"}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Keys, paths and records ------------------------------------------------

TEST(Urls, KeyNumbersAreReadAsNumbers) {
    EXPECT_EQ(KeyNumber(QStringLiteral("URL10")), 10);
    EXPECT_EQ(KeyNumber(QStringLiteral("URL007")), 7);
    EXPECT_EQ(KeyNumber(QStringLiteral("URL 12 ")), 12);
    EXPECT_EQ(KeyNumber(QStringLiteral("UR")), 0);
    EXPECT_EQ(KeyNumber(QString()), 0);
}

TEST(Urls, TheFileOfACategoryLiesInTheUserFolder) {
    QTemporaryDir dir;
    SetProgramFolder(dir.path());
    EXPECT_EQ(UrlFileName(12), QStringLiteral("CAT12.DAT"));
    EXPECT_EQ(UrlFilePath(3, 12), dir.path() + QStringLiteral("/USR3/CAT12.DAT"));
    SetProgramFolder(QString());
}

// --- The names of URL files ------------------------------------------------------

struct FileNameCase {
    const char *name;
    const char *entry;
    qint64 category;    // UrlFileCategory
    qint64 setAside;    // SetAsideUrlFileCategory
    const char *before; // the URL file's name that was set aside, if one was
};

class UrlFileNames : public ::testing::TestWithParam<FileNameCase> {};

// A URL file's name is "CAT<m>.DAT" as UrlFileName writes it, in any letter
// case; set aside by a delete, that name with ".deleting" after it.
TEST_P(UrlFileNames, NameTheirCategoryAsUrlFileNameWritesIt) {
    const FileNameCase c = GetParam();
    const QString entry = QString::fromLatin1(c.entry);
    EXPECT_EQ(UrlFileCategory(entry), c.category);
    QString original = QStringLiteral("untouched");
    EXPECT_EQ(SetAsideUrlFileCategory(entry, &original), c.setAside);
    EXPECT_EQ(original, c.before ? QString::fromLatin1(c.before) : QStringLiteral("untouched"));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, UrlFileNames,
    ::testing::Values(FileNameCase{"plain", "CAT5.DAT", 5, -1, nullptr},
                      FileNameCase{"any_case", "cAt12.dAt", 12, -1, nullptr},
                      FileNameCase{"damaged_records", "CAT0.DAT", 0, -1, nullptr},
                      FileNameCase{"highest", "CAT32767.DAT", 32767, -1, nullptr},
                      FileNameCase{"past_the_highest", "CAT32768.DAT", -1, -1, nullptr},
                      FileNameCase{"leading_zero", "CAT05.DAT", -1, -1, nullptr},
                      FileNameCase{"blank", "CAT 5.DAT", -1, -1, nullptr},
                      FileNameCase{"sign", "CAT+5.DAT", -1, -1, nullptr},
                      FileNameCase{"index", "CAT.DAT", -1, -1, nullptr},
                      FileNameCase{"other_end", "CAT5.DATA", -1, -1, nullptr},
                      FileNameCase{"other_start", "XCAT5.DAT", -1, -1, nullptr},
                      FileNameCase{"set_aside", "CAT5.DAT.deleting", -1, 5, "CAT5.DAT"},
                      FileNameCase{"set_aside_in_its_case", "cat7.Dat.deleting", -1, 7, "cat7.Dat"},
                      FileNameCase{"suffix_in_capitals", "CAT5.DAT.DELETING", -1, -1, nullptr},
                      FileNameCase{"index_set_aside", "CAT.DAT.deleting", -1, -1, nullptr},
                      FileNameCase{"leading_zero_set_aside", "CAT05.DAT.deleting", -1, -1, nullptr},
                      FileNameCase{"after_the_suffix", "CAT5.DAT.deleting.old", -1, -1, nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(UrlFileTest, ARecordDecodesToWhatWasWritten) {
    const QString line = UrlRecordLine(14, QStringLiteral("a.org"), QStringLiteral("one*QVX*two"),
                                       QStringLiteral("  ") + stamp);
    const QStringList fields = SplitRecord(line);
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[3], stamp); // the stamp is trimmed and stored as held
    const UrlRecord r = DecodeUrlLine(line);
    EXPECT_TRUE(r.fields);
    EXPECT_EQ(r.number, 14);
    EXPECT_EQ(r.address, QStringLiteral("a.org"));
    EXPECT_EQ(r.description(), QStringLiteral("one\r\ntwo"));
    EXPECT_TRUE(OwnerTest(stamp).owns(r.stampField));
}

TEST_F(UrlFileTest, NumberingFollowsTheHighestNumberOfEveryLine) {
    WriteBytes(path(), Line(1, "a", "", stamp) + Line(2, "b", "", other) + Line(5, "c", "", stamp));
    qint64 next = 0;
    EXPECT_FALSE(GetNextUrlNo(path(), &next).failed());
    EXPECT_EQ(next, 6);
}

TEST_F(UrlFileTest, ShortLinesCountForNumberingWhenTheirKeyDecodes) {
    const QByteArray shortLine = EncodeField(QStringLiteral("URL9")).toLatin1() + "*QVX*" +
                                 EncodeField(QStringLiteral("x")).toLatin1() + "\r\n";
    WriteBytes(path(), Line(1, "a", "", stamp) + "\r\n" + "junk\r\n" + shortLine);
    qint64 next = 0;
    EXPECT_FALSE(GetNextUrlNo(path(), &next).failed());
    EXPECT_EQ(next, 10);
}

TEST_F(UrlFileTest, NumbersBeyondTheLimitAreReportedNotWrapped) {
    WriteBytes(path(), Line(32767, "a", "", stamp));
    qint64 next = 0;
    EXPECT_FALSE(GetNextUrlNo(path(), &next).failed());
    EXPECT_EQ(next, 32768);
    EXPECT_FALSE(IsStorableNumber(next));
}

TEST_F(UrlFileTest, AMissingFileCannotBeNumbered) {
    qint64 next = -1;
    const IoError err = GetNextUrlNo(path(QStringLiteral("none.DAT")), &next);
    EXPECT_EQ(next, 0);
    EXPECT_TRUE(err.failed());
    EXPECT_EQ(err.action, QStringLiteral("read"));
}

TEST_F(UrlFileTest, ListingSeparatesOwnedAndForeignRecordsAndSkipsShortLines) {
    WriteBytes(path(), Line(1, "one", "", stamp) + Line(2, "two", "", other) + "\r\n" +
                           Line(3, "three", "", stamp) + "no separator\r\n" +
                           Line(4, "four", "", other));
    QList<ListEntry> owned;
    int foreign = -1;
    ASSERT_FALSE(ReadUrlList(path(), stamp, &owned, &foreign).failed());
    ASSERT_EQ(owned.size(), 2);
    EXPECT_EQ(owned[0].text, QStringLiteral("one"));
    EXPECT_EQ(owned[0].number, 1);
    EXPECT_EQ(owned[1].text, QStringLiteral("three"));
    EXPECT_EQ(owned[1].number, 3);
    EXPECT_EQ(foreign, 2);
}

TEST_F(UrlFileTest, ListingAnAbsentFileLeavesItEmptyAndListsNothing) {
    QList<ListEntry> owned;
    int foreign = 0;
    ASSERT_FALSE(ReadUrlList(path(QStringLiteral("CAT7.DAT")), stamp, &owned, &foreign).failed());
    EXPECT_TRUE(owned.isEmpty());
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("CAT7.DAT"))));
}

TEST_F(UrlFileTest, ListingAFolderFails) {
    QDir(dir.path()).mkdir(QStringLiteral("CAT8.DAT"));
    QList<ListEntry> owned;
    int foreign = 0;
    EXPECT_TRUE(ReadUrlList(path(QStringLiteral("CAT8.DAT")), stamp, &owned, &foreign).failed());
}

TEST_F(UrlFileTest, DeletingRemovesOnlyTheFirstRecordOfTheNumber) {
    const QByteArray l1 = Line(1, "a", "", stamp), l2 = Line(2, "b", "", other),
                     l3 = Line(3, "c", "", stamp), l3b = Line(3, "c2", "", stamp);
    WriteBytes(path(), l1 + "short\r\n" + l2 + l3 + l3b);
    const Change change = DeleteUrlRecord(path(), 3);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(ReadBytes(path()), l1 + "short\r\n" + l2 + l3b);
}

TEST_F(UrlFileTest, DeletingAnAbsentNumberWritesNothing) {
    const QByteArray before = Line(1, "a", "", stamp) + "short";
    WriteBytes(path(), before);
    const Change change = DeleteUrlRecord(path(), 9);
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Sorry, that URL is no longer in the file of this Category, so "
                             "nothing was deleted."));
    EXPECT_EQ(ReadBytes(path()), before);
}

TEST_F(UrlFileTest, ReplacingRewritesTheRecordInPlaceWithItsKey) {
    QByteArray lines[6];
    QByteArray all;
    for (int i = 0; i < 6; ++i) {
        lines[i] = Line(i + 1, QStringLiteral("u%1").arg(i + 1), "", i == 2 ? other : stamp);
        all += lines[i];
    }
    WriteBytes(path(), all);
    const Change change = ReplaceUrlRecord(path(), 4, QStringLiteral("new"),
                                           QStringLiteral("d\r\ne"), QStringLiteral(" ") + stamp);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    const QList<QByteArray> after = ReadBytes(path()).split('\n');
    ASSERT_EQ(after.size(), 7); // six lines and the empty rest after the last line end
    for (int i = 0; i < 6; ++i) {
        if (i == 3)
            continue;
        EXPECT_EQ(after[i] + "\n", lines[i]) << "line " << i + 1;
    }
    const UrlRecord r = DecodeUrlLine(QString::fromLatin1(after[3].chopped(1)));
    EXPECT_EQ(DecodeField(SplitRecord(QString::fromLatin1(after[3].chopped(1)))[0]),
              QStringLiteral("URL4"));
    EXPECT_EQ(r.number, 4);
    EXPECT_EQ(r.address, QStringLiteral("new"));
    EXPECT_EQ(r.description(), QStringLiteral("d\r\ne"));
    EXPECT_EQ(r.stampField, stamp);
}

TEST_F(UrlFileTest, ReplacingAnAbsentNumberWritesNothing) {
    const QByteArray before = Line(1, "a", "", stamp) + "short";
    WriteBytes(path(), before);
    const Change change = ReplaceUrlRecord(path(), 9, QStringLiteral("x"), QString(), stamp);
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Sorry, that URL is no longer in the file of this Category, so "
                             "nothing was modified."));
    EXPECT_EQ(ReadBytes(path()), before);
}

// A line whose key holds the number but that has fewer than four fields is
// no record: both rewrites copy it and go on to the real record.
TEST_F(UrlFileTest, ShortLinesWithTheKeyAreCopiedNotMatched) {
    const QByteArray shortLine = (EncodeField(QStringLiteral("URL3")) + kFieldSep +
                                  EncodeField(QStringLiteral("x")) + kFieldSep + stamp)
                                     .toLatin1() +
                                 "\r\n";
    const QByteArray l1 = Line(1, "a", "", stamp), l3 = Line(3, "c", "", stamp),
                     l3b = Line(3, "c2", "", other);
    WriteBytes(path(), l1 + shortLine + l3 + l3b);

    Change change = DeleteUrlRecord(path(), 3);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(ReadBytes(path()), l1 + shortLine + l3b);

    // Modifying replaces the first complete record of the number, and it
    // alone.
    WriteBytes(path(), l1 + shortLine + l3 + l3b);
    change = ReplaceUrlRecord(path(), 3, QStringLiteral("new"), QString(), stamp);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    const QList<QByteArray> after = ReadBytes(path()).split('\n');
    ASSERT_EQ(after.size(), 5);
    EXPECT_EQ(after[0] + "\n", l1);
    EXPECT_EQ(after[1] + "\n", shortLine);
    const UrlRecord replaced = DecodeUrlLine(QString::fromLatin1(after[2].chopped(1)));
    EXPECT_EQ(replaced.number, 3);
    EXPECT_EQ(replaced.address, QStringLiteral("new"));
    EXPECT_EQ(replaced.stampField, stamp);
    EXPECT_EQ(after[3] + "\n", l3b);
}

// A file that holds one number twice (a merge at the number ceiling could
// leave one): the address tells which record is meant, and Delete and
// Modify change that one alone.
TEST_F(UrlFileTest, OfTwoRecordsOfOneNumberTheAddressTellsWhichOneChanges) {
    const QByteArray a = Line(5, "a.example", "first", stamp),
                     b = Line(5, "b.example", "second", stamp), c = Line(6, "c.example", "", stamp);
    WriteBytes(path(), a + b + c);

    UrlRecord found;
    ASSERT_FALSE(FindUrlRecord(path(), 5, &found, QStringLiteral("b.example")).failed());
    EXPECT_EQ(found.description(), QStringLiteral("second"));

    Change change = ReplaceUrlRecord(path(), 5, QStringLiteral("d.example"), QString(), stamp,
                                     QStringLiteral("b.example"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    QList<QByteArray> lines = FileLines(path());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], a);
    EXPECT_EQ(DecodeUrlLine(QString::fromLatin1(lines[1].chopped(2))).address,
              QStringLiteral("d.example"));
    EXPECT_EQ(lines[2], c);

    change = DeleteUrlRecord(path(), 5, QStringLiteral("d.example"));
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_EQ(ReadBytes(path()), a + c);

    change = DeleteUrlRecord(path(), 5, QStringLiteral("b.example"));
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(),
              QStringLiteral("Sorry, that URL is no longer in the file of this Category, so "
                             "nothing was deleted."));
    EXPECT_EQ(ReadBytes(path()), a + c);
}

// A URL file that is gone or cannot be read is reported as such, with the
// verb of the step that failed, by both rewrites.
TEST_F(UrlFileTest, AVanishedFileIsAReadFailureOfBothRewrites) {
    const QString gone = path(QStringLiteral("CAT9.DAT"));
    const QString expected = QStringLiteral("Wayfile could not read \"%1\".\r\n\r\nReason: No "
                                            "such file or directory.")
                                 .arg(gone);
    EXPECT_EQ(DeleteUrlRecord(gone, 1).error.message(), expected);
    EXPECT_EQ(ReplaceUrlRecord(gone, 1, QStringLiteral("x"), QString(), stamp).error.message(),
              expected);
    EXPECT_FALSE(QFileInfo::exists(gone));
}

TEST_F(UrlFileTest, AFailedRewriteLeavesTheFileWhole) {
    QByteArray before;
    for (int i = 1; i <= 50; ++i)
        before += Line(i, QStringLiteral("http://example.com/%1").arg(i), "desc", stamp);
    WriteBytes(path(), before);
    Change change;
    {
        const FileSizeLimit limit(1000);
        change = DeleteUrlRecord(path(), 1);
    }
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(change.failed());
    EXPECT_EQ(change.error.action, QStringLiteral("write to"));
    EXPECT_EQ(ReadBytes(path()), before);
    {
        const FileSizeLimit limit(1000);
        change = ReplaceUrlRecord(path(), 2, QStringLiteral("x"), QString(), stamp);
    }
    EXPECT_FALSE(change.changed);
    EXPECT_TRUE(change.failed());
    EXPECT_EQ(ReadBytes(path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("CAT1.DAT")});
}

TEST_F(UrlFileTest, FindingADescriptionSkipsShortLines) {
    const QByteArray shortLine = EncodeField(QStringLiteral("URL2")).toLatin1() + "*QVX*x\r\n";
    WriteBytes(path(), shortLine + Line(2, "b", "first*QVX*second", stamp));
    UrlRecord r;
    ASSERT_FALSE(FindUrlRecord(path(), 2, &r).failed());
    ASSERT_TRUE(r.fields);
    EXPECT_EQ(r.description(), QStringLiteral("first\r\nsecond"));
}

// --- Adding ---------------------------------------------------------------------

TEST_F(UrlFileTest, TheFirstUrlCreatesTheFileAndTakesNumberOne) {
    const Change change = AppendUrl(path(QStringLiteral("CAT4.DAT")), QStringLiteral("a.org"),
                                    QStringLiteral("one\r\ntwo  "), QStringLiteral("  ") + stamp);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.number, 1);
    const QByteArray bytes = ReadBytes(path(QStringLiteral("CAT4.DAT")));
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const UrlRecord r = DecodeUrlLine(QString::fromLatin1(bytes.chopped(2)));
    EXPECT_EQ(r.number, 1);
    EXPECT_EQ(r.address, QStringLiteral("a.org"));
    EXPECT_EQ(DecodeField(r.rawDescription), QStringLiteral("one*QVX*two"));
    EXPECT_EQ(r.stampField, stamp);
}

TEST_F(UrlFileTest, AnAddedUrlTakesTheNextNumberOfEveryLine) {
    const QByteArray before = Line(3, "a", "", other) + "short\r\n" + Line(1, "b", "", stamp);
    WriteBytes(path(), before);
    const Change change = AppendUrl(path(), QStringLiteral("c"), QString(), stamp);
    ASSERT_TRUE(change.changed);
    EXPECT_EQ(change.number, 4);
    const QByteArray after = ReadBytes(path());
    EXPECT_TRUE(after.startsWith(before));
    EXPECT_EQ(DecodeUrlLine(QString::fromLatin1(after.mid(before.size()).chopped(2))).number, 4);
}

// What AppendUrl refuses, with its message, writing nothing.
struct AppendRefusal {
    const char *name;
    QByteArray before;       // the file's content
    const char *description; // as typed
    const char *message;
};

class AppendRefusals : public UrlFileTest, public ::testing::WithParamInterface<AppendRefusal> {};

TEST_P(AppendRefusals, WriteNothing) {
    const QByteArray before = GetParam().before.isNull()
                                  ? Line(32767, QStringLiteral("last"), QString(), stamp)
                                  : GetParam().before;
    WriteBytes(path(), before);
    const Change change = AppendUrl(path(), QStringLiteral("x.org"),
                                    QString::fromUtf8(GetParam().description), stamp);
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(), QString::fromUtf8(GetParam().message));
    EXPECT_EQ(ReadBytes(path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, AppendRefusals,
    ::testing::Values(
        AppendRefusal{"numbers_at_their_highest", QByteArray(), "d",
                      "Sorry, no more URLs can be added under this Category: its URL numbers "
                      "have reached the highest one, 32767."},
        AppendRefusal{
            "unstorable_description", QByteArray("kept\r\n"), "a|b~c\r\n\xc3\xa9",
            "Sorry, a Description can't hold these characters: \"|\" \"~\" \"\xc3\xa9\"\r\n"
            "Please use only letters without accents, digits, blanks and the usual "
            "punctuation marks."}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Descriptions come back as typed ---------------------------------------

const QString kMarkerMessage = QStringLiteral(
    "Sorry, a Description can't hold the text \"*QVX*\", nor \"*QVX\" right before a line break: "
    "line breaks are stored in that form, so the text would come back as a line break.\r\n"
    "Please write it another way, for example in small letters.");

struct TypedCase {
    const char *name;
    const char *typed;
    bool refused;
};

class TypedDescriptions : public UrlFileTest, public ::testing::WithParamInterface<TypedCase> {
protected:
    // What LoadUrlDetails shows of the record numbered `n`.
    QString shown(qint64 n) const {
        UrlRecord r;
        EXPECT_FALSE(FindUrlRecord(path(), n, &r).failed());
        return r.fields ? r.description() : QStringLiteral("<none>");
    }
};

TEST_P(TypedDescriptions, ComeBackAsTypedOrAreRefused) {
    const QString typed = QString::fromLatin1(GetParam().typed);
    const QByteArray before = Line(1, "a.org", "old", stamp);
    WriteBytes(path(), before);

    const Change added = AppendUrl(path(), QStringLiteral("b.org"), typed, stamp);
    const Change replaced = ReplaceUrlRecord(path(), 1, QStringLiteral("c.org"), typed, stamp);
    if (GetParam().refused) {
        EXPECT_EQ(added.error.message(), kMarkerMessage);
        EXPECT_EQ(replaced.error.message(), kMarkerMessage);
        EXPECT_FALSE(added.changed || replaced.changed);
        EXPECT_EQ(ReadBytes(path()), before);
        EXPECT_EQ(DescriptionRefusal(typed), kMarkerMessage);
    } else {
        ASSERT_TRUE(added.changed) << added.error.message().toStdString();
        ASSERT_TRUE(replaced.changed) << replaced.error.message().toStdString();
        EXPECT_EQ(shown(2), typed);
        EXPECT_EQ(shown(1), typed);
        EXPECT_EQ(DescriptionRefusal(typed), QString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Urls, TypedDescriptions,
    ::testing::Values(TypedCase{"marker_inside", "Use the *QVX* marker", true},
                      TypedCase{"marker_cut_by_a_line_break", "abc*QVX\r\ndef", true},
                      TypedCase{"marker_at_the_end", "ends with *QVX*", true},
                      TypedCase{"marker_alone", "*QVX*", true},
                      TypedCase{"star_and_letters_before_two_breaks", "x **QVX\r\n\r\ny", true},
                      TypedCase{"marker_in_small_letters", "the *qvx* marker", false},
                      TypedCase{"letters_and_star_after_a_break", "abc\r\nQVX*def", false},
                      TypedCase{"star_before_a_break", "a *\r\nb", false},
                      TypedCase{"marker_letters_without_stars", "QVX and *QV X*", false},
                      TypedCase{"two_lines", "alpha\r\nbeta", false}),
    [](const auto &info) { return std::string(info.param.name); });

// The description's outer blanks are dropped by the store and so are no
// reason to refuse it.
TEST_F(UrlFileTest, OuterBlanksOfADescriptionAreNoReasonToRefuse) {
    EXPECT_EQ(DescriptionRefusal(QStringLiteral("  two\r\nlines   ")), QString());
    const Change added =
        AppendUrl(path(), QStringLiteral("a.org"), QStringLiteral("  two\r\nlines   "), stamp);
    ASSERT_TRUE(added.changed) << added.error.message().toStdString();
    UrlRecord r;
    ASSERT_FALSE(FindUrlRecord(path(), 1, &r).failed());
    EXPECT_EQ(r.description(), QStringLiteral("two\r\nlines"));
}

// --- A change that leaves the description alone -----------------------------

TEST_F(UrlFileTest, WithoutADescriptionTheStoredFieldStaysByteForByte) {
    // Stored text that deciphers with "{" (a damaged group): whatever it
    // holds, it is kept as it is.
    const QString damaged = EncryptText(QStringLiteral("ba")) + NoMatchGroup();
    ASSERT_EQ(DecodeField(damaged), QStringLiteral("ab{"));
    const QString old = JoinRecord({EncodeField(QStringLiteral("URL1")),
                                    EncodeField(QStringLiteral("a.org")), damaged, stamp});
    const QByteArray second = Line(2, "b.org", "bee", stamp);
    WriteBytes(path(), old.toLatin1() + "\r\n" + second);

    const Change change =
        ReplaceUrlRecord(path(), 1, QStringLiteral("new.org"), std::nullopt, stamp);
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    const QList<QByteArray> lines = FileLines(path());
    ASSERT_EQ(lines.size(), 2);
    const QStringList fields = SplitRecord(QString::fromLatin1(lines[0].chopped(2)));
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(DecodeField(fields[0]), QStringLiteral("URL1"));
    EXPECT_EQ(DecodeField(fields[1]), QStringLiteral("new.org"));
    EXPECT_EQ(fields[2], damaged);
    EXPECT_EQ(fields[3], stamp);
    EXPECT_EQ(lines[1], second);
}

// --- A damaged key keeps its number -----------------------------------------

TEST_F(UrlFileTest, ADamagedKeyIsFoundByItsNumberAndRewrittenWhole) {
    // The key's third group lost its character: "UR{2" instead of "URL2".
    const QString key = EncryptText(QStringLiteral("RU2")) + NoMatchGroup();
    ASSERT_EQ(DecodeField(key), QStringLiteral("UR{2"));
    const QByteArray first = Line(1, "a.org", "", stamp);
    const QString damaged =
        JoinRecord({key, EncodeField(QStringLiteral("b.org")), EncodeField(QString()), stamp});
    WriteBytes(path(), first + damaged.toLatin1() + "\r\n");

    UrlRecord found;
    ASSERT_FALSE(FindUrlRecord(path(), 2, &found).failed());
    ASSERT_TRUE(found.fields);
    EXPECT_EQ(found.address, QStringLiteral("b.org"));

    const Change change =
        ReplaceUrlRecord(path(), 2, QStringLiteral("b2.org"), QStringLiteral("d"), stamp);
    ASSERT_TRUE(change.changed) << change.error.message().toStdString();
    const QList<QByteArray> lines = FileLines(path());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], first);
    const QString line = QString::fromLatin1(lines[1].chopped(2));
    EXPECT_EQ(DecodeField(SplitRecord(line)[0]), QStringLiteral("URL2"));
    const UrlRecord r = DecodeUrlLine(line);
    EXPECT_EQ(r.number, 2);
    EXPECT_EQ(r.address, QStringLiteral("b2.org"));
    EXPECT_EQ(r.description(), QStringLiteral("d"));
}

// What the routines that write records refuse to store, whoever calls them:
// every text must come back from the file as it was given, and no text may
// end a record's line early. A refusal writes nothing at all.

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>

using namespace modMain;

namespace {

const QString kPassword = QStringLiteral("pw1");

const char *const kAdvice =
    "\r\nPlease use only letters without accents, digits, blanks and the usual punctuation marks.";
const char *const kMarkerMessage =
    "Sorry, a Description can't hold the text \"*QVX*\", nor \"*QVX\" right before a line break: "
    "line breaks are stored in that form, so the text would come back as a line break.\r\n"
    "Please write it another way, for example in small letters.";

// User 1 signed in, with one category ("News", number 1) holding one URL.
class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_FALSE(RegisterUser(QStringLiteral("Ann"), kPassword).failed());
        UserNo = 1;
        PassStamp = MakePassStamp(kPassword);
        ASSERT_TRUE(AppendCategory(1, QStringLiteral("News"), PassStamp).changed);
        ASSERT_TRUE(
            AppendUrl(urlFile(), QStringLiteral("a.org"), QStringLiteral("one\r\ntwo"), PassStamp)
                .changed);
    }
    void TearDown() override {
        ResetSession();
        SetProgramFolder(QString());
    }

    QString urlFile() const { return UrlFilePath(1, 1); }

    // Every entry under the program folder with its content ("/" for a
    // folder), so that a refusal can be seen to have touched nothing.
    QMap<QString, QByteArray> everything() const {
        QMap<QString, QByteArray> all;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            all.insert(QDir(dir.path()).relativeFilePath(path),
                       it.fileInfo().isDir() ? QByteArray("/") : FileBytes(path));
        }
        return all;
    }

    QTemporaryDir dir;
};

enum class Routine {
    AppendUrlAddress,
    AppendUrlDescription,
    ReplaceUrlAddress,
    ReplaceUrlDescription,
    AppendCategoryName,
    RenameCategoryName,
    RegisterUserName,
    RegisterUserPassword,
};

// Runs `routine` with `text` in the place it names; the other values are
// ordinary ones.
Change Write(Routine routine, const QString &text) {
    const QString file = UrlFilePath(1, 1);
    const QString address = QStringLiteral("b.org");
    const QString description = QStringLiteral("plain");
    switch (routine) {
    case Routine::AppendUrlAddress:
        return AppendUrl(file, text, description, PassStamp);
    case Routine::AppendUrlDescription:
        return AppendUrl(file, address, text, PassStamp);
    case Routine::ReplaceUrlAddress:
        return ReplaceUrlRecord(file, 1, text, description, PassStamp);
    case Routine::ReplaceUrlDescription:
        return ReplaceUrlRecord(file, 1, address, text, PassStamp);
    case Routine::AppendCategoryName:
        return AppendCategory(1, text, PassStamp);
    case Routine::RenameCategoryName:
        return RenameCategory(1, 1, text, PassStamp);
    case Routine::RegisterUserName:
        return RegisterUser(text, QStringLiteral("pw2"));
    case Routine::RegisterUserPassword:
        return RegisterUser(QStringLiteral("Bob"), text);
    }
    return Change();
}

struct RefusalCase {
    const char *name;
    Routine routine;
    const char *text;
    std::string message;
};

class Refusals : public WriterTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, WriteNothing) {
    const RefusalCase &c = GetParam();
    const QMap<QString, QByteArray> before = everything();
    const Change change = Write(c.routine, QString::fromUtf8(c.text));
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.error.message(), QString::fromStdString(c.message));
    EXPECT_EQ(everything(), before);
}

std::string Unstorable(const char *what, const char *chars) {
    return std::string("Sorry, a ") + what + " can't hold these characters: " + chars + kAdvice;
}

INSTANTIATE_TEST_SUITE_P(
    Writers, Refusals,
    ::testing::Values(
        RefusalCase{"added_address_with_a_line_break", Routine::AppendUrlAddress, "a.org\r\nb",
                    Unstorable("URL", "(character code 13) (character code 10)")},
        RefusalCase{"added_address_with_a_tilde", Routine::AppendUrlAddress, "a.org/~me",
                    Unstorable("URL", "\"~\"")},
        RefusalCase{"changed_address_with_a_lone_lf", Routine::ReplaceUrlAddress, "a.org\nb",
                    Unstorable("URL", "(character code 10)")},
        RefusalCase{"changed_address_with_a_lone_cr", Routine::ReplaceUrlAddress, "a.org\rb",
                    Unstorable("URL", "(character code 13)")},
        RefusalCase{"added_description_with_lf_cr", Routine::AppendUrlDescription, "a\n\rb",
                    Unstorable("Description", "(character code 10) (character code 13)")},
        RefusalCase{"added_description_with_a_lone_lf", Routine::AppendUrlDescription, "a\nb",
                    Unstorable("Description", "(character code 10)")},
        RefusalCase{"changed_description_with_a_lone_cr", Routine::ReplaceUrlDescription,
                    "a\rb\r\nc", Unstorable("Description", "(character code 13)")},
        RefusalCase{"added_description_with_the_marker", Routine::AppendUrlDescription,
                    "Use the *QVX* marker", kMarkerMessage},
        RefusalCase{"changed_description_with_the_marker_before_a_break",
                    Routine::ReplaceUrlDescription, "abc*QVX\r\ndef", kMarkerMessage},
        RefusalCase{"category_name_with_a_line_break", Routine::AppendCategoryName, "A\r\nB",
                    Unstorable("Category Name", "(character code 13) (character code 10)")},
        RefusalCase{"new_category_name_with_a_lone_cr", Routine::RenameCategoryName, "A\rB",
                    Unstorable("Category Name", "(character code 13)")},
        RefusalCase{"user_name_with_a_line_break", Routine::RegisterUserName, "Bo\r\nb",
                    Unstorable("User Name", "(character code 13) (character code 10)")},
        RefusalCase{"password_with_a_lone_lf", Routine::RegisterUserPassword, "p\nw",
                    Unstorable("Password", "(character code 10)")}),
    [](const auto &info) { return std::string(info.param.name); });

// The separator's text in a name or an address is enciphered with the rest of
// the field, which then holds digits only: the record keeps its fields and
// the text comes back whole.
struct SeparatorCase {
    const char *name;
    Routine routine;
};

class SeparatorText : public WriterTest, public ::testing::WithParamInterface<SeparatorCase> {};

TEST_P(SeparatorText, IsStoredWhole) {
    const QString text = QStringLiteral("x*QVX*y");
    const Change change = Write(GetParam().routine, text);
    ASSERT_FALSE(change.failed()) << change.error.message().toStdString();
    ASSERT_TRUE(change.changed);
    switch (GetParam().routine) {
    case Routine::AppendUrlAddress:
    case Routine::ReplaceUrlAddress: {
        const QList<QByteArray> lines = FileLines(urlFile());
        const UrlRecord r = DecodeUrlLine(QString::fromLatin1(lines.last().chopped(2)));
        EXPECT_EQ(SplitRecord(QString::fromLatin1(lines.last().chopped(2))).size(), 4);
        EXPECT_EQ(r.address, text);
        break;
    }
    case Routine::AppendCategoryName:
        EXPECT_EQ(DecodedIndex(CategoryIndexPath(1)),
                  (QStringList{QStringLiteral("1 News"), QStringLiteral("2 x*QVX*y")}));
        break;
    case Routine::RenameCategoryName:
        EXPECT_EQ(DecodedIndex(CategoryIndexPath(1)), QStringList{QStringLiteral("1 x*QVX*y")});
        break;
    case Routine::RegisterUserName:
    case Routine::RegisterUserPassword: {
        const bool byName = GetParam().routine == Routine::RegisterUserName;
        qint16 userNo = 0;
        ASSERT_FALSE(CheckSignIn(byName ? text : QStringLiteral("Bob"),
                                 byName ? QStringLiteral("pw2") : text, &userNo)
                         .failed());
        EXPECT_EQ(userNo, 2);
        break;
    }
    default:
        FAIL() << "no check for this routine";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, SeparatorText,
    ::testing::Values(SeparatorCase{"added_address", Routine::AppendUrlAddress},
                      SeparatorCase{"changed_address", Routine::ReplaceUrlAddress},
                      SeparatorCase{"category_name", Routine::AppendCategoryName},
                      SeparatorCase{"new_category_name", Routine::RenameCategoryName},
                      SeparatorCase{"user_name", Routine::RegisterUserName},
                      SeparatorCase{"password", Routine::RegisterUserPassword}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

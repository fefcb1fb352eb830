// The readers that look at a record line's fields in place: the splitter, the
// key number, the number test, the name test, the owner test, and the
// deciphering they rest on. Each must give what reading the fields the long
// way gives (split into copies, deciphered whole), for the texts the program
// writes and for damaged ones alike.

#include "storage/cipher.h"
#include "storage/records.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <array>
#include <random>
#include <string>

using namespace modMain;

namespace {

// The fields the long way: the line split into copies at every separator.
QStringList splitCopies(const QString &line) {
    return line.split(QStringLiteral("*QVX*"), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

// Random texts from a small alphabet, so that the characters that matter to
// a reader (separator letters, blanks, digits, line breaks) come up often.
class Texts {
public:
    explicit Texts(unsigned seed) : random_(seed) {}

    QString from(const QString &alphabet, int maxLength) {
        QString text;
        const int length = std::uniform_int_distribution<int>(0, maxLength)(random_);
        std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
        for (int i = 0; i < length; ++i)
            text += alphabet[pick(random_)];
        return text;
    }

    // A stored field: enciphered text as the program writes it, or, one time
    // in three, that text damaged: a character changed to another digit, a
    // blank, a letter or a line break, or a character dropped.
    QString field(const QString &plain) {
        QString stored = EncodeField(plain);
        if (stored.isEmpty() || std::uniform_int_distribution<int>(0, 2)(random_) != 0)
            return stored;
        const qsizetype at =
            std::uniform_int_distribution<qsizetype>(0, stored.size() - 1)(random_);
        static const QString kDamage = QStringLiteral("0159 x\r\n*");
        const qsizetype damage =
            std::uniform_int_distribution<qsizetype>(0, kDamage.size())(random_);
        if (damage == kDamage.size())
            stored.remove(at, 1);
        else
            stored[at] = kDamage[damage];
        return stored;
    }

private:
    std::mt19937 random_;
};

} // namespace

// --- The splitter ---------------------------------------------------------------

struct SplitCase {
    const char *name;
    const char *line;
};

class Splits : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Splits, GiveTheFieldsOfTheLongWayAsViews) {
    const QString line = QString::fromLatin1(GetParam().line);
    const QByteArray bytes = line.toLatin1();
    const QStringList expected = splitCopies(line);
    EXPECT_EQ(SplitRecord(line), expected);

    std::array<QStringView, 3> text;
    std::array<QLatin1StringView, 3> latin1;
    const qsizetype count = std::min<qsizetype>(3, expected.size());
    EXPECT_EQ(SplitFields(QStringView(line), &text), count);
    EXPECT_EQ(SplitFields(QLatin1StringView(bytes), &latin1), count);
    for (qsizetype i = 0; i < 3; ++i) {
        const QString wanted = i < count ? expected[i] : QString();
        EXPECT_EQ(text[i].toString(), wanted) << i;
        EXPECT_EQ(QString(latin1[i]), wanted) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Splits,
    ::testing::Values(SplitCase{"empty", ""}, SplitCase{"no_separator", "123456"},
                      SplitCase{"three_fields", "12*QVX*34*QVX*56"},
                      SplitCase{"four_fields", "1*QVX*2*QVX*3*QVX*4"},
                      SplitCase{"separator_alone", "*QVX*"},
                      SplitCase{"empty_middle", "1*QVX**QVX*3"},
                      SplitCase{"overlapping", "1*QVX*QVX*2"}, SplitCase{"cut_separator", "12*QVX"},
                      SplitCase{"lower_case", "1*qvx*2"}, SplitCase{"stars", "**QVX**"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Fields, TheSplitterAgreesWithTheLongWayOnRandomLines) {
    Texts texts(1);
    for (int i = 0; i < 2000; ++i) {
        const QString line = texts.from(QStringLiteral("*QVX1"), 16);
        RecordSplitter<QStringView> splitter(line);
        QStringList fields;
        while (!splitter.atEnd())
            fields << splitter.next().toString();
        ASSERT_EQ(fields, splitCopies(line)) << line.toStdString();
    }
}

// --- Key numbers and the number test ----------------------------------------

TEST(Fields, KeyNumbersAndTheNumberTestAgreeWithDecipheringTheKeyWhole) {
    Texts texts(2);
    const QString alphabet = QStringLiteral("CAT0012379 x");
    const qint64 numbers[] = {1, 7, 12, 70, 100, 16383, 32767, 0, -3};
    for (int i = 0; i < 4000; ++i) {
        // Mostly the usual shape, "CAT" and digits; any text besides.
        const QString plain =
            i % 2 ? QStringLiteral("CAT") + texts.from(QStringLiteral("0123456789"), 6)
                  : texts.from(alphabet, 12);
        const QString key = texts.field(plain);
        const QByteArray bytes = key.toLatin1();
        const qint64 number = KeyNumber(DecodeField(key));
        ASSERT_EQ(FieldKeyNumber(QStringView(key)), number) << key.toStdString();
        ASSERT_EQ(FieldKeyNumber(QLatin1StringView(bytes)), number) << key.toStdString();
        for (const qint64 n : numbers) {
            const NumberTest test(n);
            ASSERT_EQ(test.matches(QStringView(key)), number == n) << key.toStdString() << " " << n;
            ASSERT_EQ(test.matches(QLatin1StringView(bytes)), number == n)
                << key.toStdString() << " " << n;
        }
        ASSERT_TRUE(NumberTest(number).matches(QStringView(key))) << key.toStdString();
    }
}

TEST(Fields, ALongKeyIsReadWhole) {
    const QString key =
        EncodeField(QStringLiteral("CAT") + QString(40, u' ') + QStringLiteral("42"));
    EXPECT_EQ(FieldKeyNumber(QStringView(key)), 42);
    EXPECT_TRUE(NumberTest(42).matches(QStringView(key)));
    const QString huge = EncodeField(QStringLiteral("URL") + QString(40, u'9'));
    EXPECT_EQ(FieldKeyNumber(QStringView(huge)), std::numeric_limits<qint64>::max());
    EXPECT_FALSE(NumberTest(99999).matches(QStringView(huge)));
}

// --- The name test ----------------------------------------------------------------

TEST(Fields, TheNameTestAgreesWithDecipheringTheNameWhole) {
    Texts texts(3);
    const QString alphabet = QStringLiteral("aBcAbC {z9");
    for (int i = 0; i < 3000; ++i) {
        const QString wanted = texts.from(alphabet, 5);
        const NameTest test(wanted);
        for (int j = 0; j < 4; ++j) {
            // Often the wanted name itself in other letter cases.
            const QString plain = j == 0 ? wanted.toLower() : texts.from(alphabet, 5);
            const QString stored = texts.field(plain);
            const QByteArray bytes = stored.toLatin1();
            const bool same = DecodeField(stored).toUpper() == wanted.toUpper();
            ASSERT_EQ(test.matches(QStringView(stored)), same)
                << wanted.toStdString() << " / " << stored.toStdString();
            ASSERT_EQ(test.matches(QLatin1StringView(bytes)), same)
                << wanted.toStdString() << " / " << stored.toStdString();
        }
    }
}

TEST(Fields, TheNameTestUpperCasesTheWantedNameAsAWhole) {
    // "ß" upper-cases to "SS": the stored "ss" is that name.
    EXPECT_TRUE(NameTest(QStringLiteral("Stra\u00dfe"))
                    .matches(QStringView(EncodeField(QStringLiteral("STRASSE")))));
    EXPECT_FALSE(
        NameTest(QStringLiteral("\u00e9")).matches(QStringView(EncodeField(QStringLiteral("E")))));
    EXPECT_TRUE(NameTest(QString()).matches(QStringView()));
}

// --- The owner test ---------------------------------------------------------------

TEST(Fields, TheOwnerTestAgreesWithDecipheringBothStamps) {
    Texts texts(4);
    for (int i = 0; i < 2000; ++i) {
        const QString mine =
            SwapPairs(EncryptText(SwapPairs(texts.from(QStringLiteral("pw1 "), 6))));
        const OwnerTest test(mine);
        const QString stored =
            i % 3 ? SwapPairs(EncryptText(SwapPairs(texts.from(QStringLiteral("pw1 "), 6))))
                  : texts.field(texts.from(QStringLiteral("pw1 "), 6));
        const bool same = DecryptText(SwapPairs(stored)) == DecryptText(SwapPairs(mine));
        ASSERT_EQ(test.owns(stored), same) << mine.toStdString() << " / " << stored.toStdString();
    }
}

// --- Deciphering in place ---------------------------------------------------------

TEST(Fields, DecipheringIntoRoomGivesTheStartOfTheWholeText) {
    Texts texts(5);
    for (int i = 0; i < 2000; ++i) {
        const QString stored = texts.field(texts.from(QStringLiteral("ab \r\n9"), 8));
        const QByteArray bytes = stored.toLatin1();
        const QString whole = DecryptText(stored);
        for (const qsizetype room : {qsizetype(0), qsizetype(1), qsizetype(3), qsizetype(40)}) {
            QChar text[40];
            const qsizetype n = DecryptInto(QStringView(stored), text, room);
            ASSERT_EQ(QString(text, n), whole.left(room)) << stored.toStdString();
            const qsizetype m = DecryptInto(QLatin1StringView(bytes), text, room);
            ASSERT_EQ(QString(text, m), whole.left(room)) << stored.toStdString();
        }
    }
}

TEST(Fields, OnlyTheUsualGroupIsDecipheredByItself) {
    const QString group = EncryptCore(QChar(u'K'));
    QChar c;
    ASSERT_TRUE(DecryptGroup(QStringView(group), &c));
    EXPECT_EQ(c, QChar(u'K'));
    for (const char *other : {"12345", "1234x6", "120034", "121634", " 12345"}) {
        const QString text = QString::fromLatin1(other);
        EXPECT_FALSE(DecryptGroup(QStringView(text), &c)) << other;
        EXPECT_FALSE(DecryptGroup(QLatin1StringView(other), &c)) << other;
    }
}

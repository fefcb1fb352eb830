#include "storage/cipher.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

using namespace modMain;

namespace {

// Fixes the keys the encoder draws, in turn and over again, for its lifetime.
class FixedKeys {
public:
    explicit FixedKeys(std::vector<int> keys) {
        SetRandomKeySource([keys = std::move(keys), next = size_t(0)]() mutable {
            return keys[next++ % keys.size()];
        });
    }
    ~FixedKeys() { SetRandomKeySource({}); }
    FixedKeys(const FixedKeys &) = delete;
    FixedKeys &operator=(const FixedKeys &) = delete;
};

QString twoDigits(int key) {
    return QStringLiteral("%1").arg(key, 2, 10, QLatin1Char('0'));
}

// Counts the groups on which the table decoder or the text decoder and the
// search disagree and keeps the first few for the failure message. A group
// that starts with a digit is one whole window for the text decoder, so it
// must give the same answer there.
struct Disagreements {
    int count = 0;
    QStringList examples;

    void check(const QString &group) {
        const QString bySearch = DecryptCoreBySearch(group);
        const QString byTable = DecryptCore(group);
        const bool oneWindow = !group.isEmpty() && group[0] >= u'0' && group[0] <= u'9';
        const QString byText = oneWindow ? DecryptText(group) : bySearch;
        if (byTable == bySearch && byText == bySearch)
            return;
        if (++count <= 10)
            examples << QStringLiteral("[%1] table [%2] text [%3] search [%4]")
                            .arg(group.toHtmlEscaped(), byTable, byText, bySearch);
    }
    std::string report() const { return examples.join(u'\n').toStdString(); }
};

// The text decoder's walk written out plainly, deciphering every window by
// the ascending search: the reference for whole texts.
QString decryptBySearch(const QString &line) {
    QString result;
    qsizetype i = 0;
    while (i < line.size()) {
        const QChar c = line[i];
        if (c >= u'0' && c <= u'9') {
            result += DecryptCoreBySearch(QStringView(line).mid(i, 6));
            i += 6;
        } else if (c == u'\r' && i + 1 < line.size() && line[i + 1] == u'\n') {
            result += QStringLiteral("\r\n");
            i += 2;
        } else {
            i += 6;
        }
    }
    return result;
}

} // namespace

TEST(Cipher, FixedKeysEncipherAbcToTheKnownGroups) {
    FixedKeys keys({1, 3, 5});
    const QString cipher = EncryptText(QStringLiteral("abc"));
    EXPECT_EQ(cipher, QStringLiteral("920114790366510549"));
    EXPECT_EQ(DecryptText(cipher), QStringLiteral("abc"));
}

TEST(Cipher, EveryPlainCharacterRoundTripsUnderEveryEncoderKey) {
    for (int key = 1; key <= 9; ++key) {
        FixedKeys keys({key});
        for (int code = 32; code <= 122; ++code) {
            const QChar ch(code);
            const QString group = EncryptCore(ch);
            SCOPED_TRACE(QStringLiteral("key %1 code %2 group %3")
                             .arg(key)
                             .arg(code)
                             .arg(group)
                             .toStdString());
            ASSERT_EQ(group.size(), 6);
            for (QChar c : group)
                EXPECT_TRUE(c >= u'0' && c <= u'9');
            EXPECT_EQ(group.mid(2, 2), twoDigits(key));
            EXPECT_EQ(group.left(2) + group.mid(4), KeyDigits(key, code));
            EXPECT_EQ(DecryptCore(group), QString(ch));
            EXPECT_EQ(DecryptText(group), QString(ch));
        }
    }
}

TEST(Cipher, EveryValueHasFourLeadingDigitsForAFullGroup) {
    for (int key = 1; key <= 15; ++key) {
        for (int code = 32; code <= 123; ++code) {
            const QString digits = KeyDigits(key, code);
            EXPECT_EQ(digits.size(), 4) << "key " << key << " code " << code;
            EXPECT_NE(digits[0], u'0') << "key " << key << " code " << code;
        }
    }
}

// Only keys 13 and 15 give two plain characters the same digits; the
// decoder then answers with the lower one.
TEST(Cipher, SharedDigitsOnlyUnderKeys13And15AndTheLowerCodeWins) {
    const std::set<std::tuple<int, int, int>> expected{{13, 33, 55}, {13, 44, 66}, {15, 49, 66}};
    std::set<std::tuple<int, int, int>> found;
    for (int key = 1; key <= 15; ++key) {
        std::map<QString, int> first;
        for (int code = 32; code <= 122; ++code) {
            const auto [it, inserted] = first.emplace(KeyDigits(key, code), code);
            if (!inserted)
                found.emplace(key, it->second, code);
        }
    }
    EXPECT_EQ(found, expected);

    for (const auto &[key, lower, higher] : expected) {
        FixedKeys keys({key});
        EXPECT_EQ(DecryptText(EncryptCore(QChar(higher))), QString(QChar(lower)));
        EXPECT_EQ(DecryptText(EncryptCore(QChar(lower))), QString(QChar(lower)));
    }
}

TEST(Cipher, KeysTenToFifteenAreAcceptedWhenReading) {
    FixedKeys keys({10, 11, 12, 13, 14, 15});
    const QString text = QStringLiteral("Wayfile");
    const QString cipher = EncryptText(text);
    for (int i = 0; i < text.size(); ++i)
        EXPECT_EQ(cipher.mid(i * 6 + 2, 2), QString::number(10 + i % 6));
    EXPECT_EQ(DecryptText(cipher), text);
}

TEST(Cipher, TextWithLineBreaksRoundTripsWithRandomKeys) {
    QString text;
    for (int code = 32; code <= 122; ++code) {
        text += QChar(code);
        if (code % 10 == 0)
            text += QStringLiteral("\r\n");
    }
    text += QStringLiteral("\r\n\r\n");
    const QString cipher = EncryptText(text);
    EXPECT_EQ(cipher.size(), 6 * 91 + 2 * 11);
    EXPECT_EQ(DecryptText(cipher), text);
}

TEST(Cipher, SameTextEnciphersDifferentlyEachTime) {
    const QString text = QStringLiteral("The same text, twice over");
    const QString first = EncryptText(text);
    const QString second = EncryptText(text);
    EXPECT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
    EXPECT_EQ(DecryptText(first), DecryptText(second));
}

struct DroppedCase {
    const char *name;
    const char16_t *plain;
    const char16_t *kept;
    int groups;
    int lineBreaks;
};

class CipherDrops : public ::testing::TestWithParam<DroppedCase> {};

// Characters outside the plain alphabet vanish; CR LF pairs stay and keep
// the groups around them aligned.
TEST_P(CipherDrops, OnlyPlainCharactersAndCrLfSurvive) {
    const DroppedCase c = GetParam();
    const QString cipher = EncryptText(QString::fromUtf16(c.plain));
    EXPECT_EQ(cipher.size(), 6 * c.groups + 2 * c.lineBreaks);
    EXPECT_EQ(DecryptText(cipher), QString::fromUtf16(c.kept));
}

INSTANTIATE_TEST_SUITE_P(
    Cipher, CipherDrops,
    ::testing::Values(DroppedCase{"EmptyText", u"", u"", 0, 0},
                      DroppedCase{"OpeningBraceBetweenLetters", u"a{b", u"ab", 2, 0},
                      DroppedCase{"BarClosingBraceTilde", u"|}~", u"", 0, 0},
                      DroppedCase{"Tab", u"a\tb", u"ab", 2, 0},
                      DroppedCase{"LoneCr", u"a\rb", u"ab", 2, 0},
                      DroppedCase{"LoneLf", u"a\nb", u"ab", 2, 0},
                      DroppedCase{"AccentedLetters", u"\u00e9t\u00e9", u"t", 1, 0},
                      DroppedCase{"CrLfBetweenLetters", u"a\r\nb", u"a\r\nb", 2, 1},
                      DroppedCase{"CrLfInsideStrayCrAndLf", u"\r\r\n\n", u"\r\n", 0, 1},
                      DroppedCase{"LfCrReversed", u"\n\r", u"", 0, 0},
                      DroppedCase{"TwoCrLfsInARow", u"x\r\n\r\ny", u"x\r\n\r\ny", 2, 2}),
    [](const auto &info) { return std::string(info.param.name); });

struct DecipherCase {
    const char *name;
    const char16_t *cipher;
    const char16_t *plain;
};

class CipherReads : public ::testing::TestWithParam<DecipherCase> {};

TEST_P(CipherReads, DeciphersOddInputTheWayItIsWalked) {
    const DecipherCase c = GetParam();
    EXPECT_EQ(DecryptText(QString::fromUtf16(c.cipher)), QString::fromUtf16(c.plain));
}

INSTANTIATE_TEST_SUITE_P(
    Cipher, CipherReads,
    ::testing::Values(
        DecipherCase{"EmptyText", u"", u""}, DecipherCase{"KeyZeroGivesNothing", u"990099", u""},
        DecipherCase{"Key99GivesNothing", u"999999", u""},
        DecipherCase{"Key16GivesNothing", u"921614", u""},
        DecipherCase{"Key15IsRead", u"791565", u"a"},
        DecipherCase{"SharedDigitsGiveTheLowerCode", u"601386", u"!"},    // key 13: "!" and "7"
        DecipherCase{"NoMatchingCodeGivesOpeningBrace", u"100100", u"{"}, // key 1, no code: 1000
        DecipherCase{"LetterSkipsItsWholeWindow", u"x99999920114", u"a"},
        DecipherCase{"SixLettersSkipped", u"xxxxxx920114", u"a"},
        DecipherCase{"MisalignedWindowsGiveNothing", u"ab920114", u""}, // "14" has no key
        DecipherCase{"ShortLastGroup", u"92011492014", u"aa"},          // key 01, digits 92 14
        DecipherCase{"CrLfBetweenGroups", u"920114\r\n790366", u"a\r\nb"},
        DecipherCase{"CrLfAroundAGroup", u"\r\n920114\r\n", u"\r\na\r\n"},
        DecipherCase{"LoneCrSkipsItsWindow", u"\r920114", u""},
        DecipherCase{"CrLfInsideAGroupIsNoLineEnd", u"9201\r\n", u"{"},
        DecipherCase{"BlankInsideAGroupIsIgnored", u"92 114", u"a"},
        DecipherCase{"LeadingBlankSkipsItsWindow", u" 920114", u""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Cipher, TableAgreesWithTheSearchOnEverySixDigitGroup) {
    Disagreements d;
    QString group(6, u'0');
    for (int key = 0; key <= 99; ++key) {
        group[2] = QChar(u'0' + key / 10);
        group[3] = QChar(u'0' + key % 10);
        for (int target = 0; target <= 9999; ++target) {
            group[0] = QChar(u'0' + target / 1000);
            group[1] = QChar(u'0' + target / 100 % 10);
            group[4] = QChar(u'0' + target / 10 % 10);
            group[5] = QChar(u'0' + target % 10);
            d.check(group);
        }
    }
    EXPECT_EQ(d.count, 0) << d.report();
}

TEST(Cipher, TableAgreesWithTheSearchOnEveryShortGroup) {
    Disagreements d;
    for (int length = 1; length <= 5; ++length) {
        int limit = 1;
        for (int i = 0; i < length; ++i)
            limit *= 10;
        for (int value = 0; value < limit; ++value)
            d.check(QStringLiteral("%1").arg(value, length, 10, QLatin1Char('0')));
    }
    EXPECT_EQ(d.count, 0) << d.report();
}

// Real groups with blanks put in place of characters, in front and behind,
// so that the blank handling of both the key and the digits is exercised on
// groups that can actually match.
TEST(Cipher, TableAgreesWithTheSearchOnGroupsWithBlanks) {
    Disagreements d;
    for (int key = 1; key <= 15; ++key) {
        for (int code = 32; code <= 122; ++code) {
            const QString digits = KeyDigits(key, code);
            const QString group = digits.left(2) + twoDigits(key) + digits.mid(2);
            for (int mask = 0; mask < 64; ++mask) {
                QString blanked = group;
                for (int i = 0; i < 6; ++i) {
                    if (mask & (1 << i))
                        blanked[i] = u' ';
                }
                d.check(blanked);
            }
            for (int pad = 1; pad <= 5; ++pad) {
                const QString blanks(pad, u' ');
                d.check((blanks + group).left(6));
                d.check((group + blanks).right(6));
                d.check(group.left(6 - pad) + blanks);
                d.check(blanks + group.mid(pad));
            }
        }
    }
    EXPECT_EQ(d.count, 0) << d.report();
}

TEST(Cipher, TableAgreesWithTheSearchOnArbitraryCharacters) {
    const QString alphabet = QStringLiteral("0123456789 1 5 x-.+\r\n\t\u00e9");
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
    std::uniform_int_distribution<int> length(0, 6);
    Disagreements d;
    for (int n = 0; n < 200000; ++n) {
        QString group;
        for (int i = length(random); i > 0; --i)
            group += alphabet[pick(random)];
        d.check(group);
    }
    EXPECT_EQ(d.count, 0) << d.report();
}

// Whole texts of real groups mixed with line breaks, lone CRs and LFs,
// blanks, letters and stray digits, cut at every length so that the last
// group is short as often as not: the text decoder walks them exactly as the
// plain walk with the search does.
TEST(Cipher, TextDecoderAgreesWithTheSearchOnMixedTexts) {
    std::mt19937 random(20251210);
    std::uniform_int_distribution<int> piece(0, 9);
    std::uniform_int_distribution<int> key(0, 17);
    std::uniform_int_distribution<int> code(32, 122);
    std::uniform_int_distribution<int> digit(0, 9);
    int mismatches = 0;
    QStringList examples;
    for (int n = 0; n < 3000; ++n) {
        QString text;
        for (int parts = piece(random) + 1; parts > 0; --parts) {
            switch (piece(random)) {
            case 0:
                text += QStringLiteral("\r\n");
                break;
            case 1:
                text += QChar(piece(random) % 2 ? u'\r' : u'\n');
                break;
            case 2:
                text += QChar(piece(random) % 2 ? u' ' : u'x');
                break;
            case 3:
                text += QChar(u'0' + digit(random));
                break;
            default: {
                const int k = key(random);
                const QString digits = KeyDigits(std::clamp(k, 1, 15), code(random));
                text += digits.left(2) + twoDigits(k) + digits.mid(2);
            }
            }
        }
        for (qsizetype cut = text.size(); cut >= 0; --cut) {
            const QString cutText = text.left(cut);
            if (DecryptText(cutText) != decryptBySearch(cutText) && ++mismatches <= 10)
                examples << cutText.toHtmlEscaped();
        }
    }
    EXPECT_EQ(mismatches, 0) << examples.join(u'\n').toStdString();
}

TEST(Cipher, ArbitraryTextNeverBreaksTheDecoder) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> unit(0, 0xFFFF);
    QString junk;
    for (int i = 0; i < 100000; ++i)
        junk += QChar(char16_t(i % 3 ? u'0' + unit(random) % 10 : unit(random)));
    const QString plain = DecryptText(junk);
    EXPECT_LE(plain.size(), junk.size());
}

TEST(Cipher, RandomKeysAreUniformFromOneToNine) {
    std::array<int, 10> counts{};
    const int draws = 90000;
    for (int i = 0; i < draws; ++i) {
        const int key = RandomKey();
        ASSERT_GE(key, 1);
        ASSERT_LE(key, 9);
        ++counts[key];
    }
    // 10000 expected per key, standard deviation about 94.
    for (int key = 1; key <= 9; ++key)
        EXPECT_NEAR(counts[key], draws / 9, 600) << "key " << key;
}

TEST(Cipher, ClearingTheKeySourceRestoresRandomKeys) {
    {
        FixedKeys keys({7});
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(RandomKey(), 7);
    }
    std::set<int> seen;
    for (int i = 0; i < 500; ++i)
        seen.insert(RandomKey());
    EXPECT_EQ(seen.size(), 9u);
}

TEST(Cipher, KeysOutsideTheCipherRangeAreReplacedByRandomOnes) {
    FixedKeys keys({0, 16, -3});
    for (int i = 0; i < 30; ++i) {
        const QString group = EncryptCore(QChar(u'q'));
        const int key = group.mid(2, 2).toInt();
        EXPECT_GE(key, 1);
        EXPECT_LE(key, 9);
        EXPECT_EQ(DecryptText(group), QStringLiteral("q"));
    }
}

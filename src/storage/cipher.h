#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// The character cipher every stored text passes through.
//
// Each character with a code from 32 to 122 becomes a group of six digits
// D1 D2 K1 K2 D3 D4: K1 K2 is a key from 01 to 09 drawn at random per
// character, D1..D4 the first four digits of a value computed from the
// character code by the key's chain of trigonometric functions. CR LF pairs
// pass through unchanged; every other character is dropped.
namespace modMain {

// Enciphers a whole text: one six-digit group per kept character, CR LF kept.
QString EncryptText(const QString &text);

// Deciphers a whole text written by EncryptText. Never fails: windows that
// do not start with a digit are skipped, bad keys give nothing, unknown
// digits give "{".
QString DecryptText(QStringView line);

// Deciphers as DecryptText does, into `out`, and stops once `room`
// characters are written; returns how many were written. Below `room`, that
// is the whole text. For a field read as a view into its line (text or
// Latin-1 bytes), without a copy of it.
qsizetype DecryptInto(QStringView text, QChar *out, qsizetype room);
qsizetype DecryptInto(QLatin1StringView text, QChar *out, qsizetype room);

// The character that the first six characters of `group` stand for, in `*c`,
// when they are the usual group: six digits with a valid key, which always
// gives one character. False for anything else, which only DecryptText
// reads as it must.
bool DecryptGroup(QStringView group, QChar *c);
bool DecryptGroup(QLatin1StringView group, QChar *c);

// Tests enciphered texts against one plain text: whether a text deciphers
// (DecryptText) to it. A text is read no further than the first character
// that differs, and its usual six-digit groups are compared by their digits.
class DecipheredTest {
public:
    // How a text is read before it is compared.
    enum Reading : unsigned {
        Exactly = 0,
        // Its letters "a" to "z" are taken as "A" to "Z" (the plain text is
        // upper-cased already).
        IgnoringCase = 1,
        // Its characters 1<->2, 3<->4, ... are swapped back (SwapPairs)
        // before it is deciphered.
        PairsSwapped = 2,
    };

    DecipheredTest(const QString &plain, unsigned reading);
    bool matches(QStringView text) const;
    bool matches(QLatin1StringView text) const;

private:
    template <typename Char> bool matches(const Char *in, qsizetype length) const;
    template <bool Swapped, typename Char>
    bool matchesByDigits(const Char *in, qsizetype length, bool *told) const;
    template <typename Char> bool matchesDeciphered(const Char *in, qsizetype length) const;

    static constexpr quint32 kNoTargets = 0xFFFFFFFFu;

    QString plain_;
    unsigned reading_;
    // For each character of plain_ and each key (0 to 15): the targets (16
    // bits each, 0xFFFF for none) of the groups of six digits that decipher
    // to it under that key; at most two, a letter in both cases.
    std::vector<quint32> targets_;
    // False when a character of plain_ cannot be told by the digits of one
    // group ("{", which every group that stands for no code deciphers to, or
    // a lower-case letter when the case is ignored): texts are then read the
    // general way.
    bool byDigits_ = true;
};

// Enciphers one character of the plain alphabet (codes 32..122) with a fresh
// key from RandomKey().
QString EncryptCore(QChar ch);

// Deciphers one group of up to six characters into one character, or into
// the empty text when its key is not 1..15. Uses the decoding table.
QString DecryptCore(QStringView group);

// The same, by the plain ascending search over codes 32..123. Slow; kept as
// the reference that the table must agree with.
QString DecryptCoreBySearch(QStringView group);

// A key from 1 to 9, uniformly distributed.
int RandomKey();

// Replaces the key source (tests fix the keys with it); an empty function
// restores the random generator. The encoder accepts keys 1..15 from a
// source; for any other value it draws a key from the generator instead.
void SetRandomKeySource(std::function<int()> source);

// The first four digits of the value of `code` under `key` (1..15), as the
// encoder writes them ("first 4 of S"); exposed for tests and benchmarks.
QString KeyDigits(int key, int code);

} // namespace modMain

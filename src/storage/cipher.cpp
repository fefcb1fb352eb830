#include "storage/cipher.h"

#include "storage/records.h"

#include <QVarLengthArray>
#include <QtEndian>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <type_traits>

namespace modMain {

namespace {

constexpr int kFirstCode = 32;   // space
constexpr int kLastCode = 122;   // "z"
constexpr int kNoMatch = 123;    // "{", the answer when no code matches
constexpr int kMaxKey = 15;      // highest key the decoder accepts
constexpr int kMaxTarget = 9999; // four digits at most take part in a match

bool isAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool isPlainCode(char16_t c) {
    return c >= kFirstCode && c <= kLastCode;
}

// The chain of key `key` applied to x, innermost function first in the
// listing order: key 3 is Sin, Cos, Sin, Tan, Sin, so Sin(Tan(Sin(Cos(Sin x)))).
double chainValue(int key, double x) {
    using std::atan;
    using std::cos;
    using std::exp;
    using std::sin;
    using std::tan;
    switch (key) {
    case 1:
        return cos(sin(tan(x)));
    case 2:
        return tan(atan(x));
    case 3:
        return sin(tan(sin(cos(sin(x)))));
    case 4:
        return tan(exp(cos(sin(x))));
    case 5:
        return sin(tan(atan(cos(sin(x)))));
    case 6:
        return tan(atan(cos(sin(tan(sin(cos(x)))))));
    case 7:
        return cos(sin(tan(atan(x))));
    case 8:
        return cos(sin(tan(exp(cos(sin(cos(x)))))));
    case 9:
        return sin(sin(tan(atan(cos(sin(x))))));
    case 10:
        return tan(atan(atan(atan(exp(sin(cos(x)))))));
    case 11:
        return cos(cos(sin(x)));
    case 12:
        return tan(atan(cos(cos(x))));
    case 13:
        return sin(cos(cos(cos(sin(x)))));
    case 14:
        return sin(cos(tan(sin(cos(sin(x))))));
    case 15:
        return sin(cos(sin(tan(x))));
    default:
        return 0.0;
    }
}

// floor(chain * 10000), made positive for every key but 1 and 7 (whose last
// function is a cosine of a small argument and so is positive already).
qint64 keyValue(int key, int code) {
    double v = std::floor(chainValue(key, double(code)) * 10000.0);
    if (key != 1 && key != 7)
        v = std::fabs(v);
    // The chains stay far inside this range for every code the cipher uses;
    // the clamp only keeps a stray argument from converting out of range.
    constexpr double limit = 1e15;
    if (!(v > -limit && v < limit))
        return 0;
    return qint64(v);
}

// The decimal text S of the value.
QString valueText(int key, int code) {
    return QString::number(keyValue(key, code));
}

// Keys whose values have more than four digits are compared on their first
// four digits only.
bool comparesFirstFour(int key) {
    return key == 2 || key == 4 || key == 14;
}

// The number that a group's digits must equal for `code` under `key`: S, or
// its first four characters, read as a number.
qint64 comparedValue(int key, int code) {
    QString s = valueText(key, code);
    if (comparesFirstFour(key))
        s.truncate(4);
    return ReadNumber(s);
}

struct GroupFields {
    int key;    // characters 3-4, read as a number
    int target; // first two and last two characters of the trimmed group
};

// Reads the key and the target digits of a group. Both decoders use this, so
// they can differ only in how they find the code for (key, target).
GroupFields parseGroup(QStringView group) {
    if (group.size() == 6 && isAsciiDigit(group[0]) && isAsciiDigit(group[1]) &&
        isAsciiDigit(group[2]) && isAsciiDigit(group[3]) && isAsciiDigit(group[4]) &&
        isAsciiDigit(group[5])) {
        // The usual case: six digits, nothing to trim.
        auto d = [&](int i) { return int(group[i].unicode() - u'0'); };
        return {d(2) * 10 + d(3), d(0) * 1000 + d(1) * 100 + d(4) * 10 + d(5)};
    }

    GroupFields fields;
    // mid() yields an empty view when the group is shorter than three.
    fields.key = int(ReadNumber(group.mid(2, 2)));

    const QStringView trimmed = TrimBlanks(group);

    // Its first two characters followed by its last two; a trimmed group of
    // one character gives that character twice, of three its middle twice.
    QChar buffer[4];
    qsizetype length = 0;
    const qsizetype head = std::min<qsizetype>(2, trimmed.size());
    for (qsizetype i = 0; i < head; ++i)
        buffer[length++] = trimmed[i];
    for (qsizetype i = trimmed.size() - head; i < trimmed.size(); ++i)
        buffer[length++] = trimmed[i];
    fields.target = int(ReadNumber(QStringView(buffer, length)));
    Q_ASSERT(fields.target >= 0 && fields.target <= kMaxTarget);
    return fields;
}

bool isValidKey(int key) {
    return key >= 1 && key <= kMaxKey;
}

// Precomputed encoder groups and decoder answers, built once on first use.
struct CipherTables {
    // decode[key][target]: the lowest code 32..122 whose compared value is
    // target, else 123. Row 0 is unused.
    std::array<std::array<quint8, kMaxTarget + 1>, kMaxKey + 1> decode;
    // encode[key][code - 32]: the group written for that key and code.
    std::array<std::array<std::array<char16_t, 6>, kLastCode - kFirstCode + 1>, kMaxKey + 1> encode;
    // targetOf[key][code - 32]: the one target that decode gives that code
    // for under that key, or -1 when no target does.
    std::array<std::array<qint16, kLastCode - kFirstCode + 1>, kMaxKey + 1> targetOf;

    CipherTables() {
        for (int key = 1; key <= kMaxKey; ++key) {
            decode[key].fill(kNoMatch);
            // Downwards, so that when two codes share their digits the lower
            // one is written last and wins, as in the ascending search.
            for (int code = kLastCode; code >= kFirstCode; --code) {
                const qint64 value = comparedValue(key, code);
                if (value >= 0 && value <= kMaxTarget)
                    decode[key][value] = quint8(code);
            }
            targetOf[key].fill(-1);
            // Each code is written to one target at most, so it has one.
            for (int target = 0; target <= kMaxTarget; ++target) {
                if (decode[key][target] != kNoMatch)
                    targetOf[key][decode[key][target] - kFirstCode] = qint16(target);
            }
            for (int code = kFirstCode; code <= kLastCode; ++code) {
                const QString digits = KeyDigits(key, code);
                Q_ASSERT(digits.size() == 4);
                auto &group = encode[key][code - kFirstCode];
                group = {digits[0].unicode(),       digits[1].unicode(), char16_t(u'0' + key / 10),
                         char16_t(u'0' + key % 10), digits[2].unicode(), digits[3].unicode()};
            }
        }
    }
};

const CipherTables &tables() {
    static const CipherTables instance;
    return instance;
}

// Returns the code a group stands for, or 0 when its key is not valid.
int decodeGroup(QStringView group, const CipherTables &t) {
    const GroupFields fields = parseGroup(group);
    if (!isValidKey(fields.key))
        return 0;
    return t.decode[fields.key][fields.target];
}

struct KeySource {
    std::mutex mutex;
    std::mt19937 generator{seed()};
    std::uniform_int_distribution<int> distribution{1, 9};
    // Shared, so that a draw can call it outside the lock and a stateful
    // source keeps its state between draws.
    std::shared_ptr<const std::function<int()>> replacement;

    static std::mt19937::result_type seed() {
        std::random_device device;
        const auto clock = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        return std::mt19937::result_type(device() ^ std::uint64_t(clock));
    }

    int draw() {
        std::lock_guard lock(mutex);
        return distribution(generator);
    }
};

KeySource &keySource() {
    static KeySource instance;
    return instance;
}

} // namespace

QString KeyDigits(int key, int code) {
    return valueText(key, code).left(4);
}

int RandomKey() {
    KeySource &source = keySource();
    std::shared_ptr<const std::function<int()>> replacement;
    {
        std::lock_guard lock(source.mutex);
        replacement = source.replacement;
    }
    if (replacement)
        return (*replacement)();
    return source.draw();
}

void SetRandomKeySource(std::function<int()> source) {
    KeySource &keys = keySource();
    std::lock_guard lock(keys.mutex);
    keys.replacement =
        source ? std::make_shared<const std::function<int()>>(std::move(source)) : nullptr;
}

QString EncryptCore(QChar ch) {
    if (!isPlainCode(ch.unicode()))
        return QString();
    int key = RandomKey();
    if (!isValidKey(key))
        key = keySource().draw();
    const auto &group = tables().encode[key][ch.unicode() - kFirstCode];
    return QString(reinterpret_cast<const QChar *>(group.data()), qsizetype(group.size()));
}

QString EncryptText(const QString &text) {
    const CipherTables &t = tables();
    const qsizetype length = text.size();
    QString result;
    result.reserve(length * 6);
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (isPlainCode(c)) {
            int key = RandomKey();
            if (!isValidKey(key))
                key = keySource().draw();
            const auto &group = t.encode[key][c - kFirstCode];
            result.append(reinterpret_cast<const QChar *>(group.data()), qsizetype(group.size()));
        } else if (c == u'\r' && i + 1 < length && text[i + 1] == u'\n') {
            result.append(kLineEnd);
            ++i;
        }
        // Anything else cannot be stored and is dropped.
    }
    return result;
}

QString DecryptCore(QStringView group) {
    const int code = decodeGroup(group, tables());
    return code ? QString(QChar(code)) : QString();
}

QString DecryptCoreBySearch(QStringView group) {
    const GroupFields fields = parseGroup(group);
    if (!isValidKey(fields.key))
        return QString();
    int code = kFirstCode;
    for (; code <= kNoMatch; ++code) {
        if (comparedValue(fields.key, code) == fields.target)
            break;
    }
    return QString(QChar(std::min(code, kNoMatch)));
}

namespace {

Q_ALWAYS_INLINE unsigned codeOf(char16_t c) {
    return c;
}

Q_ALWAYS_INLINE unsigned codeOf(char c) {
    return uchar(c);
}

// Reads the six bytes at `in` as a group of six ASCII digits D1 D2 K1 K2 D3
// D4: the key K1 K2 and the target D1 D2 D3 D4. False when they are not six
// digits. The bytes are tested and taken apart a word at a time: a byte is
// a digit when its top bits are those of "0" and stay so with 6 added.
Q_ALWAYS_INLINE bool sixDigits(const char *in, unsigned *key, unsigned *target) {
    quint32 head; // D1 D2 K1 K2
    quint16 tail; // D3 D4
    std::memcpy(&head, in, sizeof head);
    std::memcpy(&tail, in + 4, sizeof tail);
    head = qFromLittleEndian(head);
    tail = qFromLittleEndian(tail);
    if ((head & 0xF0F0F0F0u) != 0x30303030u ||
        ((head + 0x06060606u) & 0xF0F0F0F0u) != 0x30303030u || (tail & 0xF0F0u) != 0x3030u ||
        ((tail + 0x0606u) & 0xF0F0u) != 0x3030u)
        return false;
    *key = ((head >> 16) & 0xF) * 10 + ((head >> 24) & 0xF);
    *target =
        (head & 0xF) * 1000 + ((head >> 8) & 0xF) * 100 + (tail & 0xF) * 10 + ((tail >> 8) & 0xF);
    return true;
}

// Deciphers the text in[0, length) a character at a time, in order, handing
// each to `put` (bool(QChar)), which returns false to stop. Every decipherer
// reads a text this way.
template <typename Char, typename Put> void decipher(const Char *in, qsizetype length, Put &&put) {
    const CipherTables &t = tables();
    qsizetype i = 0;
    const auto digit = [&](qsizetype at) { return codeOf(in[at]) - unsigned(u'0'); };
    while (i < length) {
        if constexpr (std::is_same_v<Char, char>) {
            // Bytes are taken apart a word at a time.
            unsigned key = 0;
            unsigned target = 0;
            if (length - i >= 6 && sixDigits(in + i, &key, &target)) {
                if (key - 1 < unsigned(kMaxKey) && !put(QChar(char16_t(t.decode[key][target]))))
                    return;
                i += 6;
                continue;
            }
        }
        if (digit(i) <= 9) {
            if (length - i >= 6 && !((digit(i + 1) > 9) | (digit(i + 2) > 9) | (digit(i + 3) > 9) |
                                     (digit(i + 4) > 9) | (digit(i + 5) > 9))) {
                // The usual case, six digits D1 D2 K1 K2 D3 D4. Every entry
                // of a valid key's table is a character.
                const unsigned key = digit(i + 2) * 10 + digit(i + 3);
                const unsigned target =
                    digit(i) * 1000 + digit(i + 1) * 100 + digit(i + 4) * 10 + digit(i + 5);
                if (key - 1 < unsigned(kMaxKey) && !put(QChar(char16_t(t.decode[key][target]))))
                    return;
            } else {
                // Blanks, other characters or the short end of the text.
                char16_t group[6];
                const qsizetype size = std::min<qsizetype>(6, length - i);
                for (qsizetype k = 0; k < size; ++k)
                    group[k] = char16_t(codeOf(in[i + k]));
                if (const int code = decodeGroup(QStringView(group, size), t);
                    code && !put(QChar(char16_t(code))))
                    return;
            }
            i += 6;
        } else if (codeOf(in[i]) == u'\r' && i + 1 < length && codeOf(in[i + 1]) == u'\n') {
            if (!put(QChar(u'\r')) || !put(QChar(u'\n')))
                return;
            i += 2;
        } else {
            // A window that starts with anything else is skipped whole.
            i += 6;
        }
    }
}

template <typename Char>
qsizetype decipherInto(const Char *in, qsizetype length, QChar *out, qsizetype room) {
    qsizetype written = 0;
    if (room > 0) {
        decipher(in, length, [&](QChar c) {
            out[written++] = c;
            return written < room;
        });
    }
    return written;
}

// The six characters at `in` as a group of six ASCII digits D1 D2 K1 K2 D3
// D4, read a character at a time.
Q_ALWAYS_INLINE bool sixDigits(const char16_t *in, unsigned *key, unsigned *target) {
    const auto digit = [in](int at) { return unsigned(in[at]) - unsigned(u'0'); };
    if ((digit(0) > 9) | (digit(1) > 9) | (digit(2) > 9) | (digit(3) > 9) | (digit(4) > 9) |
        (digit(5) > 9))
        return false;
    *key = digit(2) * 10 + digit(3);
    *target = digit(0) * 1000 + digit(1) * 100 + digit(4) * 10 + digit(5);
    return true;
}

bool hasCarriageReturn(const char *in, qsizetype length) {
    return std::memchr(in, '\r', size_t(length)) != nullptr;
}

bool hasCarriageReturn(const char16_t *in, qsizetype length) {
    return QStringView(in, length).contains(u'\r');
}

// A letter "a" to "z" upper-cased; every other character as it is.
Q_ALWAYS_INLINE char16_t upperCased(char16_t code) {
    return code >= u'a' && code <= u'z' ? char16_t(code - (u'a' - u'A')) : code;
}

} // namespace

QString DecryptText(QStringView line) {
    // Every window of six characters gives at most one character, so the
    // windows usually fit; only line breaks (two characters from two) can
    // ask for more room.
    QString result((line.size() + 5) / 6, Qt::Uninitialized);
    QChar *out = result.data();
    qsizetype written = 0;
    decipher(reinterpret_cast<const char16_t *>(line.data()), line.size(), [&](QChar c) {
        if (written == result.size()) {
            result.resize(written * 2 + 8);
            out = result.data();
        }
        out[written++] = c;
        return true;
    });
    result.resize(written);
    return result;
}

qsizetype DecryptInto(QStringView text, QChar *out, qsizetype room) {
    return decipherInto(reinterpret_cast<const char16_t *>(text.data()), text.size(), out, room);
}

qsizetype DecryptInto(QLatin1StringView text, QChar *out, qsizetype room) {
    return decipherInto(text.data(), text.size(), out, room);
}

DecipheredTest::DecipheredTest(const QString &plain, unsigned reading)
    : plain_(plain), reading_(reading), targets_(size_t(plain.size()) * (kMaxKey + 1), kNoTargets) {
    const CipherTables &t = tables();
    const auto read = [reading](char16_t code) {
        return reading & IgnoringCase ? upperCased(code) : code;
    };
    for (qsizetype at = 0; at < plain.size(); ++at) {
        const char16_t wanted = plain[at].unicode();
        if (wanted == kNoMatch || read(wanted) != wanted)
            byDigits_ = false;
        for (int key = 1; key <= kMaxKey; ++key) {
            quint32 targets = kNoTargets;
            int shift = 0;
            for (int code = kFirstCode; code <= kLastCode; ++code) {
                const qint16 target = t.targetOf[key][code - kFirstCode];
                if (read(char16_t(code)) != wanted || target < 0)
                    continue;
                // At most two codes (a letter in both cases) are read as one
                // character.
                targets = (targets & ~(0xFFFFu << shift)) | (quint32(target) << shift);
                shift += 16;
            }
            targets_[size_t(at) * (kMaxKey + 1) + size_t(key)] = targets;
        }
    }
}

template <bool Swapped, typename Char>
bool DecipheredTest::matchesByDigits(const Char *in, qsizetype length, bool *told) const {
    // A group of six digits with a valid key gives one character, which is
    // a wanted one exactly when the group's target is one of those that give
    // it under that key. Anything else in the text leaves it untold, for the
    // general way. Pairs swapped back keep to their groups: a group's digits
    // are only read in another order.
    const qsizetype size = plain_.size();
    const quint32 *targets = targets_.data();
    const auto digit = [](Char c) { return codeOf(c) - unsigned(u'0'); };
    *told = true;
    qsizetype at = 0;
    qsizetype i = 0;
    unsigned key = 0;
    unsigned target = 0;
    const auto wantedAt = [&](qsizetype at, unsigned key, unsigned target) {
        const quint32 wanted = targets[size_t(at) * (kMaxKey + 1) + key];
        return target == (wanted & 0xFFFF) || target == (wanted >> 16);
    };
    if constexpr (!Swapped) {
        // Texts alike but for their ends are told apart at the last group
        // first. A text without line breaks is read in windows of six, each
        // giving one character at most: one of the wanted length gives the
        // wanted number of characters only if each window gives one, so its
        // last group gives the last character.
        if (size > 0 && length == 6 * size && sixDigits(in + length - 6, &key, &target) &&
            key - 1 < unsigned(kMaxKey) && !wantedAt(size - 1, key, target) &&
            !hasCarriageReturn(in, length))
            return false;
    }
    for (; length - i >= 6; i += 6) {
        bool group = false;
        if constexpr (Swapped) {
            const Char *g = in + i;
            group = !((digit(g[0]) > 9) | (digit(g[1]) > 9) | (digit(g[2]) > 9) |
                      (digit(g[3]) > 9) | (digit(g[4]) > 9) | (digit(g[5]) > 9));
            key = digit(g[3]) * 10 + digit(g[2]);
            target = digit(g[1]) * 1000 + digit(g[0]) * 100 + digit(g[5]) * 10 + digit(g[4]);
        } else {
            group = sixDigits(in + i, &key, &target);
        }
        if (!group || key - 1 >= unsigned(kMaxKey))
            break;
        if (at == size || !wantedAt(at, key, target))
            return false; // another character, or one more than wanted
        ++at;
    }
    if (i == length)
        return at == size;
    *told = false;
    return false;
}

template <typename Char>
bool DecipheredTest::matchesDeciphered(const Char *in, qsizetype length) const {
    qsizetype at = 0;
    bool same = true;
    decipher(in, length, [&](QChar c) {
        const char16_t code = reading_ & IgnoringCase ? upperCased(c.unicode()) : c.unicode();
        same = at < plain_.size() && code == plain_[at].unicode();
        ++at;
        return same;
    });
    return same && at == plain_.size();
}

template <typename Char> bool DecipheredTest::matches(const Char *in, qsizetype length) const {
    const bool swapped = reading_ & PairsSwapped;
    if (byDigits_) {
        bool told = false;
        const bool same = swapped ? matchesByDigits<true>(in, length, &told)
                                  : matchesByDigits<false>(in, length, &told);
        if (told)
            return same;
    }
    if (!swapped)
        return matchesDeciphered(in, length);
    QVarLengthArray<Char, 256> text(in, in + length);
    for (qsizetype i = 1; i < length; i += 2)
        std::swap(text[i - 1], text[i]);
    return matchesDeciphered(text.constData(), length);
}

bool DecryptGroup(QStringView group, QChar *c) {
    unsigned key = 0;
    unsigned target = 0;
    if (group.size() < 6 ||
        !sixDigits(reinterpret_cast<const char16_t *>(group.data()), &key, &target) ||
        key - 1 >= unsigned(kMaxKey))
        return false;
    *c = QChar(char16_t(tables().decode[key][target]));
    return true;
}

bool DecryptGroup(QLatin1StringView group, QChar *c) {
    unsigned key = 0;
    unsigned target = 0;
    if (group.size() < 6 || !sixDigits(group.data(), &key, &target) || key - 1 >= unsigned(kMaxKey))
        return false;
    *c = QChar(char16_t(tables().decode[key][target]));
    return true;
}

bool DecipheredTest::matches(QStringView text) const {
    return matches(reinterpret_cast<const char16_t *>(text.data()), text.size());
}

bool DecipheredTest::matches(QLatin1StringView text) const {
    return matches(text.data(), text.size());
}

} // namespace modMain

#include "storage/records.h"

#include "storage/cipher.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

namespace modMain {

QStringView TrimBlanks(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

QString TrimBlanks(const QString &text) {
    return TrimBlanks(QStringView(text)).toString();
}

QString SwapPairs(QString text) {
    if (text.size() < 2)
        return text;
    QChar *chars = text.data(); // copies only a text that is shared
    for (qsizetype i = 1; i < text.size(); i += 2)
        std::swap(chars[i - 1], chars[i]);
    return text;
}

QString UnstorableChars(const QString &text) {
    QString result;
    for (const QChar c : text) {
        if (!IsStorableChar(c) && !result.contains(c))
            result.append(c);
    }
    return result;
}

QString UnstorableMessage(Field what, const QString &chars) {
    QStringList parts;
    for (const QChar c : chars) {
        if (c.unicode() < 32 || c.unicode() == 127)
            parts << QStringLiteral("(character code %1)").arg(c.unicode());
        else
            parts << QLatin1Char('"') + c + QLatin1Char('"');
    }
    return QStringLiteral("Sorry, a %1 can't hold these characters: %2\r\nPlease use only letters "
                          "without accents, digits, blanks and the usual punctuation marks.")
        .arg(FieldName(what), parts.join(QLatin1Char(' ')));
}

IoError UnstorableRefusal(Field what, const QString &text) {
    const QString chars = UnstorableChars(text);
    return chars.isEmpty()
               ? IoError()
               : IoError::refused(IoError::Kind::Unstorable, UnstorableMessage(what, chars), what);
}

QString EncodeField(const QString &text) {
    return EncryptText(SwapPairs(text));
}

QString DecodeField(QStringView field) {
    return SwapPairs(DecryptText(field));
}

namespace {

// Whether the five characters from `at` are the separator.
template <typename View> bool separatorAt(View line, qsizetype at) {
    static constexpr char16_t kSep[] = u"*QVX*";
    constexpr qsizetype kSize = std::size(kSep) - 1;
    if (line.size() - at < kSize)
        return false;
    for (qsizetype i = 0; i < kSize; ++i) {
        if (line[at + i].unicode() != kSep[i])
            return false;
    }
    return true;
}

// Swaps characters 1<->2, 3<->4, ... of `text` in place, as SwapPairs does.
void swapPairsInPlace(QChar *text, qsizetype size) {
    for (qsizetype i = 1; i < size; i += 2)
        std::swap(text[i - 1], text[i]);
}

template <typename View> qint64 fieldKeyNumber(View field) {
    // Keys are "CAT", "URL" or "USR" and a number: a key that fills the
    // buffer is none the program wrote, and is read the general way.
    constexpr qsizetype kRoom = 32;
    QChar key[kRoom];
    const qsizetype size = DecryptInto(field, key, kRoom);
    if (size == kRoom)
        return KeyNumber(DecodeField(field.toString()));
    swapPairsInPlace(key, size);
    return KeyNumber(QStringView(key, size));
}

} // namespace

qsizetype FindFieldSep(QStringView line, qsizetype from) {
    for (qsizetype at = line.indexOf(u'*', from); at >= 0; at = line.indexOf(u'*', at + 1)) {
        if (separatorAt(line, at))
            return at;
    }
    return -1;
}

qsizetype FindFieldSep(QLatin1StringView line, qsizetype from) {
    const char *begin = line.data();
    const char *end = begin + line.size();
    for (const char *at = begin + std::min(from, line.size()); at < end; ++at) {
        at = static_cast<const char *>(std::memchr(at, '*', size_t(end - at)));
        if (!at)
            break;
        if (separatorAt(line, at - begin))
            return at - begin;
    }
    return -1;
}

QStringList SplitRecord(const QString &line) {
    QStringList fields;
    for (RecordSplitter<QStringView> splitter(line); !splitter.atEnd();)
        fields.append(splitter.next().toString());
    return fields;
}

QString JoinRecord(const QStringList &fields) {
    return fields.join(kFieldSep);
}

bool IsWholeRecord(QByteArrayView line, std::initializer_list<FieldShape> shape) {
    RecordSplitter<QLatin1StringView> fields(QLatin1StringView(line.data(), line.size()));
    for (const FieldShape &wanted : shape) {
        if (fields.atEnd())
            return false; // fewer fields than the shape
        const QLatin1StringView field = fields.next();
        if ((field.isEmpty() && !wanted.mayBeEmpty) || field.size() % wanted.perChar != 0)
            return false;
        for (const char c : field) {
            if (c < '0' || c > '9')
                return false;
        }
    }
    return shape.size() > 0 && fields.atEnd(); // and no more fields
}

qint64 ReadNumber(QStringView text) {
    constexpr qint64 cap = std::numeric_limits<qint64>::max();
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        const int digit = c - u'0';
        value = value > (cap - digit) / 10 ? cap : value * 10 + digit;
    }
    return value;
}

qint64 KeyNumber(QStringView key) {
    return ReadNumber(key.mid(std::min<qsizetype>(3, key.size())));
}

qint64 FieldKeyNumber(QStringView field) {
    return fieldKeyNumber(field);
}

qint64 FieldKeyNumber(QLatin1StringView field) {
    return fieldKeyNumber(field);
}

int NextNumber(qint64 highest) {
    return int(std::clamp<qint64>(highest, 0, std::numeric_limits<int>::max() - 1)) + 1;
}

OwnerTest::OwnerTest(const QString &sessionStamp)
    : mine_(DecryptText(SwapPairs(sessionStamp)), DecipheredTest::PairsSwapped) {}

bool OwnerTest::owns(QStringView storedStamp) const {
    return mine_.matches(storedStamp);
}

// Deciphered characters are plain ASCII, upper-cased by their codes; the
// name is upper-cased as a whole, as the program has always compared names.
NameTest::NameTest(const QString &name)
    : wanted_(SwapPairs(name.toUpper()), DecipheredTest::IgnoringCase) {}

bool NameTest::matches(QStringView storedName) const {
    return wanted_.matches(storedName);
}

bool NameTest::matches(QLatin1StringView storedName) const {
    return wanted_.matches(storedName);
}

NumberTest::NumberTest(qint64 number) : number_(number), digits_(QString::number(number)) {}

template <typename View> bool NumberTest::matches(View storedKey) const {
    // The key's text, pairs swapped back, is read as ReadNumber reads it
    // from its fourth character on (blanks, then digits up to the first
    // other character), and compared with the number's digits as it goes: a
    // number of one or more has no leading zero, so the digits that follow
    // the key's leading zeros must be those digits exactly. Only keys made
    // of usual groups, one character each, are read so; any other goes the
    // general way.
    constexpr qsizetype kGroup = 6;
    const qsizetype groups = storedKey.size() / kGroup;
    if (number_ < 1 || storedKey.size() % kGroup != 0)
        return FieldKeyNumber(storedKey) == number_;
    enum class Phase { Blanks, Zeros, Digits } phase = Phase::Blanks;
    qsizetype matched = 0; // digits of the number found so far
    enum class Verdict { Unknown, Equal, Different };
    // Takes character `at` of the key's text.
    const auto take = [&](qsizetype at, char16_t code) {
        if (at < 3 || (phase == Phase::Blanks && code == u' '))
            return Verdict::Unknown; // "CAT", or whatever stands there; blanks
        if (phase != Phase::Digits && code == u'0') {
            phase = Phase::Zeros;
            return Verdict::Unknown;
        }
        if (code < u'0' || code > u'9')
            return phase == Phase::Digits && matched == digits_.size() ? Verdict::Equal
                                                                       : Verdict::Different;
        phase = Phase::Digits;
        if (matched == digits_.size() || code != digits_[matched].unicode())
            return Verdict::Different;
        ++matched;
        return Verdict::Unknown;
    };
    for (qsizetype first = 0; first < groups; first += 2) {
        // A pair of groups gives two characters, the second one first.
        QChar pair[2];
        const qsizetype count = std::min<qsizetype>(2, groups - first);
        for (qsizetype k = 0; k < count; ++k) {
            if (!DecryptGroup(storedKey.sliced((first + k) * kGroup, kGroup), &pair[k]))
                return FieldKeyNumber(storedKey) == number_;
        }
        if (count == 2)
            std::swap(pair[0], pair[1]);
        for (qsizetype k = 0; k < count; ++k) {
            if (const Verdict verdict = take(first + k, pair[k].unicode());
                verdict != Verdict::Unknown)
                return verdict == Verdict::Equal;
        }
    }
    return phase == Phase::Digits && matched == digits_.size();
}

bool NumberTest::matches(QStringView storedKey) const {
    return matches<QStringView>(storedKey);
}

bool NumberTest::matches(QLatin1StringView storedKey) const {
    return matches<QLatin1StringView>(storedKey);
}

} // namespace modMain

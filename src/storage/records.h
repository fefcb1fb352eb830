#pragma once

#include "storage/cipher.h"
#include "storage/ioerror.h"

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstddef>
#include <initializer_list>

// The record format shared by every data file: the fields and their framing,
// numbers, the owner stamp, and which characters can be stored. Where the
// files are is the path rule's (paths.h).
namespace modMain {

// Separator between the fields of a record line.
inline const QString kFieldSep = QStringLiteral("*QVX*");
// Line end written after every record.
inline const QString kLineEnd = QStringLiteral("\r\n");
// User, category and URL numbers are 16-bit: this is the highest one.
inline constexpr int kMaxRecordNo = 32767;

// True when `n` can be stored as a user, category or URL number.
inline bool IsStorableNumber(qint64 n) {
    return n >= 1 && n <= kMaxRecordNo;
}

// Trims leading and trailing blanks (spaces only; tabs and line breaks stay).
QString TrimBlanks(const QString &text);
QStringView TrimBlanks(QStringView text);

// Swaps characters 1<->2, 3<->4, ...; an odd last character stays. Taken by
// value: a text handed over as a temporary (a deciphered field) is swapped
// in place, without a copy.
QString SwapPairs(QString text);

// True for a character the cipher can store: codes 32 (blank) to 122 ("z").
inline bool IsStorableChar(QChar c) {
    return c.unicode() >= 32 && c.unicode() <= 122;
}

// The characters of `text` that the cipher cannot store, each once, in order
// of appearance. Empty when all can be stored.
QString UnstorableChars(const QString &text);

// The message that refuses a text holding characters the cipher cannot
// store. `what` is the field (named as FieldName names it) and
// `chars` is what UnstorableChars found. Storing such a text is never an
// option: the cipher would drop those characters after the pair swap, which
// scrambles their neighbours as well.
QString UnstorableMessage(Field what, const QString &chars);

// The longest description a URL can have, in characters (a line break, CR
// LF, counts as two).
inline constexpr int kDescriptionMaxLength = 250;

// The refusal of a text that holds characters the cipher cannot store: kind
// Unstorable, about `what`, with UnstorableMessage. No failure when every
// character of `text` can be stored.
IoError UnstorableRefusal(Field what, const QString &text);

// A text field as stored: EncryptText(SwapPairs(text)), and back.
QString EncodeField(const QString &text);
QString DecodeField(QStringView field);

// Where the next "*QVX*" of a line starts, at or after `from`; -1 for none.
qsizetype FindFieldSep(QStringView line, qsizetype from);
qsizetype FindFieldSep(QLatin1StringView line, qsizetype from);

// The record splitter of every reader: the fields of a record line, split at
// every "*QVX*" from left to right, as views into the line, one after the
// other. `View` is QStringView for a line read as text, or QLatin1StringView
// for a line's bytes. A line without separator is one field; "" is one empty
// field.
template <typename View> class RecordSplitter {
public:
    explicit RecordSplitter(View line) : line_(line) {}

    // Whether a field is left to take.
    bool atEnd() const { return at_ > line_.size(); }
    // The next field (empty once there is none).
    View next() {
        if (atEnd())
            return View();
        const qsizetype sep = FindFieldSep(line_, at_);
        const qsizetype end = sep < 0 ? line_.size() : sep;
        const View field = line_.sliced(at_, end - at_);
        at_ = sep < 0 ? line_.size() + 1 : sep + kFieldSep.size();
        return field;
    }

private:
    View line_;
    qsizetype at_ = 0;
};

// The first N fields of `line` into `fields` (those the line lacks are
// empty); returns how many fields the line holds, counted up to N.
template <typename View, std::size_t N>
qsizetype SplitFields(View line, std::array<View, N> *fields) {
    RecordSplitter<View> splitter(line);
    qsizetype count = 0;
    for (View &field : *fields) {
        if (splitter.atEnd()) {
            field = View();
            continue;
        }
        field = splitter.next();
        ++count;
    }
    return count;
}

// Every field of a record line, as texts, and fields joined into a line.
QStringList SplitRecord(const QString &line);
QString JoinRecord(const QStringList &fields);

// The shape of one field of a record as the program writes it: enciphered
// text, `perChar` digits for each character (6; 36 for a text enciphered
// twice), empty only when it `mayBeEmpty`.
struct FieldShape {
    int perChar = 6;
    bool mayBeEmpty = false;
};

// Whether a line (its bytes, without line end) is a whole record of the
// given shape: exactly that many fields, each of digits only in whole
// groups, none empty that may not be. A record that a crash cut short fails
// this, unless the cut fell at the end of a group of its last field, which
// nothing in the line can tell.
bool IsWholeRecord(QByteArrayView line, std::initializer_list<FieldShape> shape);

// The numeric value of a text the way stored numbers are read: leading blanks
// skipped, then the decimal digits up to the first non-digit; no digits give
// 0. Saturates instead of overflowing, so a huge number stays huge.
qint64 ReadNumber(QStringView text);

// The number of a deciphered record key ("USR7", "CAT12", "URL3"): the key
// from its fourth character on, read by ReadNumber.
qint64 KeyNumber(QStringView key);

// KeyNumber(DecodeField(field)) of a stored key field, read in place.
qint64 FieldKeyNumber(QStringView field);
qint64 FieldKeyNumber(QLatin1StringView field);

// The number a new record receives: one more than `highest`, the highest
// number in its file (0 for none). Kept below INT_MAX so that it cannot
// wrap: a number past kMaxRecordNo stays past it, for the caller to refuse.
int NextNumber(qint64 highest);

// The owner test: whether a stored owner stamp stands for the same password
// as the session's stamp. Both are compared after SwapPairs and DecryptText,
// never enciphered; the session's side is deciphered once, when the test is
// made, so a file's lines are tested at the cost of their own stamps only.
class OwnerTest {
public:
    explicit OwnerTest(const QString &sessionStamp);
    // The stamp field as stored, read in place.
    bool owns(QStringView storedStamp) const;

private:
    DecipheredTest mine_; // the session's stamp, deciphered
};

// The name test: whether a stored name field (a user or category name)
// deciphers (DecodeField) to `name` without regard to letter case. The
// field is read in place and deciphered no further than the first character
// that differs.
class NameTest {
public:
    explicit NameTest(const QString &name);
    bool matches(QStringView storedName) const;
    bool matches(QLatin1StringView storedName) const;

private:
    DecipheredTest wanted_; // the name upper-cased, pairs swapped as stored
};

// The number test: whether a stored key field has number `number` (1 or
// more), as FieldKeyNumber reads it. The usual key, groups of six digits
// each giving one character, is deciphered only as far as it takes to tell.
class NumberTest {
public:
    explicit NumberTest(qint64 number);
    bool matches(QStringView storedKey) const;
    bool matches(QLatin1StringView storedKey) const;

private:
    template <typename View> bool matches(View storedKey) const;

    qint64 number_;
    QString digits_; // the number in decimal
};

// One record as a list shows it: its text (a category name, an address) and
// its number, saturated to int (stored numbers are 16-bit).
struct ListEntry {
    QString text;
    int number = 0;
};

// A URL just written to its category's file: its number there, its address
// as stored and its description as typed (line breaks as CR LF).
struct AddedUrl {
    int number = 0;
    QString address;
    QString description;
};

} // namespace modMain

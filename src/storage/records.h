#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <initializer_list>

// The record format shared by every data file: the data folder and the path
// rule, the fields and their framing, numbers, the owner stamp, and which
// characters can be stored.
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

// The folder that holds the program; data files live there. Defaults to the
// folder of the executable; tests point it at a temporary folder.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);

// Path rule: `name` appended to `folder` with one "/" between them (none
// added when the folder already ends with "/"). Names are matched without
// regard to letter case: when the folder already holds an entry whose name
// differs from `name` only in case, that entry's name is used.
QString JoinPath(const QString &folder, const QString &name);

// Every entry of `folder` whose name equals `name` without regard to letter
// case, as full paths, in name order. Both look-ups find names through
// FolderEntriesNamed, which keeps a folder's names between look-ups.
QStringList EntriesNamed(const QString &folder, const QString &name);

// JoinPath(ProgramFolder(), name).
QString DataPath(const QString &name);

// "USR" + n, and the full path of that user folder.
QString UserFolderName(int userNo);
QString UserFolderPath(int userNo);

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
// store. `what` names the field ("User Name", "Category Name", ...) and
// `chars` is what UnstorableChars found. Storing such a text is never an
// option: the cipher would drop those characters after the pair swap, which
// scrambles their neighbours as well.
QString UnstorableMessage(const QString &what, const QString &chars);

// A text field as stored: EncryptText(SwapPairs(text)), and back.
QString EncodeField(const QString &text);
QString DecodeField(const QString &field);

// Splits a record line at every "*QVX*", and joins fields with it.
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
    bool owns(const QString &storedStamp) const;

private:
    QString mine_;
};

// One record as a list shows it: its text (a category name, an address) and
// its number, saturated to int (stored numbers are 16-bit).
struct ListEntry {
    QString text;
    int number = 0;
};

} // namespace modMain

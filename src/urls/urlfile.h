#pragma once

#include "storage/ioerror.h"
#include "storage/records.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The URL file of one category, "CAT<m>.DAT" in the user's folder: one line
// per URL, in the order the URLs were added.
//   field 1: EncodeField("URL" + number)
//   field 2: EncodeField(address, in its stored form)
//   field 3: EncodeField(description, line breaks as "*QVX*")
//   field 4: the owner stamp, trimmed, as held
// A line with fewer than four fields is not a URL: it is never listed, never
// matched, and copied unchanged when the file is rewritten. Its first field
// still counts for the numbering when it decodes to a number.
namespace modMain {

// "CAT<m>.DAT", and its full path in the folder of user `userNo`.
QString UrlFileName(int catNo);
QString UrlFilePath(int userNo, int catNo);

// The category whose URL file a folder entry's name is: "CAT<m>.DAT" in any
// letter case, the number as UrlFileName writes it (no sign, no leading
// zero), 0 included (the file of damaged records); -1 for any other name.
qint64 UrlFileCategory(QStringView name);

// Added to the name of a URL file while its category is being deleted
// ("CAT2.DAT" becomes "CAT2.DAT.deleting"). A name that differs from every
// "CAT<m>.DAT" (in any case), so no category ever reads a file in this state
// as its own.
inline const QString kDeletingSuffix = QStringLiteral(".deleting");

// The category of a URL file that a category delete set aside: the URL
// file's name (in whatever letter case it had, which `*original` receives
// when given) followed by kDeletingSuffix; -1 for any other name.
qint64 SetAsideUrlFileCategory(const QString &name, QString *original = nullptr);

// "URL" + n.
QString UrlKey(qint64 urlNo);

// The number of the record in a raw line (field 1 decoded); 0 for a line
// whose first field holds no number.
qint64 UrlNoOfLine(QStringView line);

// Whether a line (its bytes, without line end) is a whole URL record as
// written: key, address, description (which may be empty) and stamp, each
// whole enciphered text (see IsWholeRecord).
bool IsWholeUrlLine(QByteArrayView line);

// Line breaks of a description to and from their stored form. toStored:
// every CR LF becomes "*QVX*"; otherwise every "*QVX*" becomes CR LF. The
// whole text is walked; trailing spaces are dropped, other characters at
// either end (leading spaces, line breaks, tabs) stay.
QString ConvertLineBreaks(const QString &text, bool toStored);

// The stored form of a description as typed (line breaks as CR LF): line
// breaks as "*QVX*", outer blanks dropped. Every writer of a new URL record
// stores this form.
QString StoredDescription(const QString &typed);

// The stored form of an address: the same address with every character the
// cipher cannot carry written as percent-escapes of its UTF-8 bytes ("~" as
// %7E, "|" as %7C, "{" as %7B, "}" as %7D, "é" as %C3%A9, a tab as %09), and
// a host name with non-ASCII letters in its ASCII (punycode) form. Nothing is
// dropped. The result holds only characters 32..122.
QString StoredAddress(const QString &address);

// The address handed to the browser: `address` trimmed, as it is when it
// starts with "http://" or "https://" (any letter case), otherwise with
// "http://" in front, so no other scheme is ever opened.
QString AddressToOpen(const QString &address);

// Whether `address` (as a browser or a file gives it, trimmed) is a web
// address, a link worth saving: not empty, and not a link of another kind,
// which View would only open as a web address that does not exist: a script
// ("javascript:"), a browser's own query ("place:"), data held in the
// address itself ("data:"), a mail address ("mailto:") or a file on this
// computer ("file:"), in any letter case. Every way links come in (a
// bookmark file, a drop, a paste) skips the others by this rule.
bool IsWebAddress(const QString &address);

// Why a description (as typed, line breaks as CR LF) cannot be stored, as
// the message that refuses it; empty when it can. Refused are characters the
// cipher cannot store, and text that would not read back as typed: line
// breaks are stored as "*QVX*", so a typed "*QVX*" (or "*QVX" right before a
// line break) would come back as a line break. Outer blanks, which the store
// drops, do not count.
QString DescriptionRefusal(const QString &description);

// The refusal of an address or a description before anything is written
// (kind Unstorable, about "URL" or "Description"); none when both can be
// stored. A line break in either would end the record's line early, and the
// cipher would drop any other character outside its range.
IoError RecordRefusal(const QString &address, const std::optional<QString> &description);

// A complete URL record line for URL `urlNo`: key "URL" + number; `address`
// and `storedDescription` are written as given; `stamp` is trimmed.
QString UrlRecordLine(qint64 urlNo, const QString &address, const QString &storedDescription,
                      const QString &stamp);

// One URL record read back. `fields` is false for a line with fewer than four
// fields (and the other members are then empty).
struct UrlRecord {
    bool fields = false;
    qint64 number = 0;
    QString address;
    QString stampField;
    QString rawDescription; // field 3 as stored (enciphered)

    // The description in display form (line breaks restored).
    QString description() const;
};

// Splits and decodes a line: key and address; the description only on demand.
UrlRecord DecodeUrlLine(QStringView line);

// The same for a record `owner` owns; nothing (not even the key) is
// deciphered of any other line, which gives an empty optional.
std::optional<UrlRecord> DecodeOwnedUrlLine(QStringView line, const OwnerTest &owner);

// The number the next URL of the file receives: the highest URL number in
// the file plus 1 (1 for an empty file). Every line takes part, whatever its
// owner. The result may exceed kMaxRecordNo; the caller refuses it.
IoError GetNextUrlNo(const QString &path, qint64 *next);

// Reads the URLs of a file in file order: records whose owner stamp stands
// for the same password as `stamp` go to `owned`; every other complete record
// adds one to `foreign`. Short lines are skipped. An absent or empty file
// lists nothing. `highest`, when given, receives the highest URL number of
// any line, as GetNextUrlNo counts them (0 for none).
IoError ReadUrlList(const QString &path, const QString &stamp, QList<ListEntry> *owned,
                    int *foreign, qint64 *highest = nullptr);

// Finds the first complete record numbered `urlNo` (and holding `address`,
// when one is given); `record->fields` is false when there is none.
IoError FindUrlRecord(const QString &path, qint64 urlNo, UrlRecord *record,
                      const QString &address = QString());

// A record that is no longer in its file: the change `what` ("deleted",
// "modified", "restored") refused (NoRecord).
IoError UrlNoLongerThere(const QString &what);

// Tells the record lines of one number (and, when given, one address) from
// all other lines of a URL file, deciphering no more of a line than its key,
// and its address only when the key matches.
class UrlRecordMatcher {
public:
    UrlRecordMatcher(qint64 urlNo, const QString &address) : numbered_(urlNo), address_(address) {}

    // Whether `line` (its bytes, without line end) is a complete record
    // (four fields or more) numbered `urlNo`, with the address wanted if one
    // is. The key is the bytes up to the first separator (the whole line
    // when there is none); the fields are counted only when the key matches,
    // and the address is deciphered only then.
    bool matches(QByteArrayView line) const;

private:
    NumberTest numbered_;
    QString address_;
};

// Adds a URL at the end of a file (created when absent): it receives the
// next number of the file, which `number` of the outcome gives. `address` is
// written as given (its stored form), `description` is the text as typed
// (line breaks as CR LF); `stamp` is the owner stamp. Refused, with nothing
// written, when the address holds characters the cipher cannot store
// (Unstorable, about "URL"; StoredAddress gives one that holds none), when
// DescriptionRefusal refuses the description (Unstorable, about
// "Description"), and when the file's numbers have reached kMaxRecordNo
// (NumbersUsedUp). `written` (when given) receives the record's line.
Change AppendUrl(const QString &path, const QString &address, const QString &description,
                 const QString &stamp, QByteArray *written = nullptr);

// Removes the first complete record numbered `urlNo` (and holding `address`,
// when one is given: the one meant when a file holds a number twice); every
// other line is rewritten exactly as read. A file without such a record is
// left alone and the change refused (NoRecord).
Change DeleteUrlRecord(const QString &path, qint64 urlNo, const QString &address = QString());

// Replaces the first complete record numbered `urlNo` (and holding
// `oldAddress`, when one is given), in place, by a record of the same number
// (key "URL" + number) with `address` (as given), `description` (as typed)
// and `stamp`; every other line, another record of the same number
// included, is rewritten exactly as read. Without a description the record
// keeps its stored description field byte for byte. A file without such a
// record is left alone and the change refused (NoRecord); so are an address and a
// description refused as AppendUrl refuses them. `oldLine` and `newLine`
// (when given) receive the record's line before and after, as bytes.
Change ReplaceUrlRecord(const QString &path, qint64 urlNo, const QString &address,
                        const std::optional<QString> &description, const QString &stamp,
                        const QString &oldAddress = QString(), QByteArray *oldLine = nullptr,
                        QByteArray *newLine = nullptr);

// Puts `replacement`, a whole record line as bytes (without line end), in
// the place of the first complete record numbered `urlNo` holding `address`
// as stored: taking a change of a record back, byte for byte. Refused as
// ReplaceUrlRecord refuses a record that is not there.
Change ReplaceUrlLine(const QString &path, qint64 urlNo, const QString &address,
                      const QByteArray &replacement);

// --- Repairs after a crash ----------------------------------------------------

// The numbers of the categories of the index (the category index reads
// them: ReadCategoryNumbers), for the repairs below that must know which
// categories there are; read when a repair first needs them.
using CategoryNumbers = std::function<IoError(QSet<qint64> *numbers)>;

// Puts in its place a file of URL records, `leftover`, that another program
// following the same file format left in `folder` (it rewrites a URL file
// through such a file, deleting the old file before renaming the new one
// into place). A URL record does not say which category it belongs to, so
// the leftover is never given to a URL file: when every category's file has
// data, it may be an unfinished copy or the only copy of URLs a file lost
// since, and is kept aside (KeepAside; `*keptAs` names it, for the user to be
// told). Otherwise (no category, or categories without URLs, any of which it
// may belong to) it is left as it is, and `*undecided` says why in words
// ("it holds URLs, and ..."). A failure says what was being done and where
// the URLs are kept.
IoError PlaceUrlLeftover(const QString &folder, const QString &leftover,
                         const CategoryNumbers &categories, QString *undecided,
                         QString *keptAs = nullptr);

// Finishes the category deletes that a crash cut short in `folder`, whose
// entries are `names`: a URL file that a delete set aside
// (SetAsideUrlFileCategory) goes back to its place when its category is
// still in the index, and is removed when it is not. When a URL file of that
// category was made since (choosing the category makes an empty one), the
// two are merged: the lines set aside first, then the newer file's lines,
// whose records are given new numbers where theirs are taken already (the
// next number after the highest, or at the ceiling any free one); nothing
// else of any line changes. A merge that a crash cut short is not made
// twice. An entry of such a name that is no file (a folder) is renamed out
// of the way and told in `notices` (when given). Nothing is put back or
// removed while the index cannot be read. Every step that can is taken; the
// first failure is reported, saying what was being done and where the URLs
// are kept.
IoError RestoreSetAsideUrlFiles(const QString &folder, const QStringList &names,
                                const CategoryNumbers &categories, QStringList *notices);

} // namespace modMain

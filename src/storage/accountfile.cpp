#include "storage/accountfile.h"

#include "session/modMain.h"
#include "storage/cipher.h"

#include <limits>
#include <optional>

namespace modMain {

namespace {

// An account record as read back: its fields, or three dummy fields that
// decipher to "" when the line holds no separator.
QStringList accountFields(const QString &line) {
    QStringList fields = SplitRecord(line);
    if (fields.size() < 2)
        fields = QStringLiteral("*qvx*!*qvx*!*qvx*").split(u'!');
    return fields;
}

bool isBlankLine(const QString &line) {
    return TrimBlanks(line).isEmpty();
}

// The user tag of a record, deciphered, when it names an account (its first
// three characters are "USR" in any case), else an empty optional.
std::optional<QString> accountTag(const QStringList &fields) {
    QString tag = DecodeField(fields.value(0));
    if (!tag.startsWith(QLatin1String("USR"), Qt::CaseInsensitive))
        return std::nullopt;
    return tag;
}

// The user number of a tag, from its fourth character on (ReadNumber skips
// the leading blanks). Saturates, so a number too big for the data stays too
// big instead of wrapping.
qint64 tagNumber(const QString &tag) {
    return ReadNumber(QStringView(tag).mid(3));
}

// One account record that passed the reading rule: its fields and its
// deciphered user tag.
struct AccountRecord {
    QStringList fields;
    QString tag;
};

// Reads the account file by the reading rule: blank lines skipped, lines
// without separator replaced by dummy fields, records whose tag does not
// start with "USR" left out. False when the file cannot be read. An absent
// account file is created empty (and so holds no record).
bool readAccounts(QList<AccountRecord> *records, IoError *err) {
    records->clear();
    IoError local;
    IoError *error = err ? err : &local;
    const QString path = AccountFilePath();
    if (!FileHasData(path, error))
        return !error->failed();
    QStringList lines;
    if (!ReadLines(path, &lines, error))
        return false;
    for (const QString &line : std::as_const(lines)) {
        if (isBlankLine(line))
            continue;
        QStringList fields = accountFields(line);
        if (std::optional<QString> tag = accountTag(fields))
            records->append({std::move(fields), std::move(*tag)});
    }
    return true;
}

} // namespace

QString AccountFilePath() {
    return DataPath(kAccountFileName);
}

QString MakePassStamp(const QString &password) {
    return SwapPairs(EncryptText(SwapPairs(TrimBlanks(password))));
}

bool SameStamp(const QString &stored, const QString &stamp) {
    return DecryptText(SwapPairs(stored)) == DecryptText(SwapPairs(stamp));
}

QString AccountRecordLine(int n, const QString &name, const QString &password) {
    const QStringList fields{
        EncodeField(QStringLiteral("USR") + QString::number(n)),
        EncodeField(TrimBlanks(name)),
        EncryptText(EncryptText(SwapPairs(TrimBlanks(password)))),
    };
    return TrimBlanks(JoinRecord(fields));
}

bool FindAccount(const QString &userName, IoError *err) {
    NextUserNo = 0;
    QList<AccountRecord> records;
    if (!readAccounts(&records, err))
        return false; // NextUserNo stays 0, which is no storable number

    const QString wanted = TrimBlanks(userName).toUpper();
    qint64 highest = 0;
    bool found = false;
    for (const AccountRecord &record : std::as_const(records)) {
        highest = std::max(highest, tagNumber(record.tag));
        const QString name = DecryptText(record.fields.value(1));
        if (name.size() != wanted.size())
            continue;
        if (SwapPairs(name.toUpper()) == wanted) {
            found = true;
            break;
        }
    }
    // Kept below INT_MAX so that "highest + 1" cannot wrap: a number past
    // kMaxRecordNo stays past it for the caller to refuse.
    NextUserNo = int(std::min<qint64>(highest, std::numeric_limits<int>::max() - 1)) + 1;
    return found;
}

SignInResult CheckSignIn(const QString &userName, const QString &password, qint16 *userNo,
                         IoError *err) {
    QList<AccountRecord> records;
    if (!readAccounts(&records, err))
        return SignInResult::Failed;

    const QString wantedName = TrimBlanks(userName).toUpper();
    const QString wantedPassword = TrimBlanks(password);
    for (const AccountRecord &record : std::as_const(records)) {
        if (SwapPairs(DecryptText(record.fields.value(1)).toUpper()) != wantedName)
            continue;
        if (SwapPairs(DecryptText(DecryptText(record.fields.value(2)))) != wantedPassword)
            continue;
        // A record whose number cannot be a 16-bit user number (0, or above
        // 32767) would sign in as a wrapped or signed-out user: it is taken
        // as not matching, and the search goes on.
        const qint64 number = tagNumber(record.tag);
        if (!IsStorableNumber(number))
            continue;
        if (userNo)
            *userNo = qint16(number);
        return SignInResult::Success;
    }
    return SignInResult::Invalid;
}

bool AppendAccount(int n, const QString &name, const QString &password, IoError *err) {
    if (!IsStorableNumber(n)) {
        if (err) {
            err->file = AccountFilePath();
            err->reason = QStringLiteral("The user number %1 is out of range").arg(n);
        }
        return false;
    }
    return AppendLine(AccountFilePath(), AccountRecordLine(n, name, password), err);
}

} // namespace modMain

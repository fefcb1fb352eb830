#include "storage/accountfile.h"

#include "session/modMain.h"
#include "storage/cipher.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

namespace modMain {

namespace {

// Deciphers a field that is a view into a record line, without copying it.
QString decipher(QStringView field) {
    return DecryptText(QString::fromRawData(field.data(), field.size()));
}

// One account record line split by the reading rule, its fields as views
// into the line. The password field is found only when it is asked for.
class AccountLine {
public:
    // False for a line without separator: the reading rule gives such a line
    // (blank lines included) dummy fields that decipher to "", so it can
    // never be an account and is skipped at once.
    bool split(const QString &line) {
        line_ = QStringView(line);
        const qsizetype sep = line_.indexOf(kFieldSep);
        if (sep < 0)
            return false;
        tag_ = line_.first(sep);
        nameStart_ = sep + kFieldSep.size();
        const qsizetype next = line_.indexOf(kFieldSep, nameStart_);
        nameEnd_ = next < 0 ? line_.size() : next;
        return true;
    }
    QStringView tag() const { return tag_; }
    QStringView name() const { return line_.sliced(nameStart_, nameEnd_ - nameStart_); }
    // The third field; empty when the record has only two.
    QStringView password() const {
        if (nameEnd_ == line_.size())
            return {};
        const qsizetype start = nameEnd_ + kFieldSep.size();
        const qsizetype next = line_.indexOf(kFieldSep, start);
        return line_.sliced(start, (next < 0 ? line_.size() : next) - start);
    }

private:
    QStringView line_;
    QStringView tag_;
    qsizetype nameStart_ = 0;
    qsizetype nameEnd_ = 0;
};

// The user tag of a record, deciphered, when it names an account (its first
// three characters are "USR" in any case), else an empty optional.
std::optional<QString> accountTag(QStringView field) {
    QString tag = SwapPairs(decipher(field));
    if (!tag.startsWith(QLatin1String("USR"), Qt::CaseInsensitive))
        return std::nullopt;
    return tag;
}

// Reads the account file by the reading rule, one line at a time, in file
// order, and hands every line that holds a separator to `visit` (which
// returns false to stop). Nothing but the current line is held, whatever the
// size of the file. An absent account file is created empty (and so holds
// no record). False when the file cannot be read.
bool scanAccountFile(const std::function<bool(const AccountLine &)> &visit, IoError *err) {
    IoError local;
    IoError *error = err ? err : &local;
    const QString path = AccountFilePath();
    if (!FileHasData(path, error))
        return !error->failed();
    AccountLine record;
    return ForEachLine(
        path, [&](const QString &line) { return !record.split(line) || visit(record); }, error);
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
    const QString wanted = TrimBlanks(userName).toUpper();
    qint64 highest = 0;
    bool found = false;
    const bool read = scanAccountFile(
        [&](const AccountLine &record) {
            const std::optional<QString> tag = accountTag(record.tag());
            if (!tag)
                return true;
            highest = std::max(highest, KeyNumber(*tag));
            // The deciphered name holds only plain ASCII, which upper-casing
            // keeps at its length: a name of another length cannot match.
            const QString name = decipher(record.name());
            if (name.size() != wanted.size() || SwapPairs(name.toUpper()) != wanted)
                return true;
            found = true;
            return false; // the first match ends the search
        },
        err);
    if (!read)
        return false; // NextUserNo stays 0, which is no storable number
    // Kept below INT_MAX so that "highest + 1" cannot wrap: a number past
    // kMaxRecordNo stays past it for the caller to refuse.
    NextUserNo = int(std::min<qint64>(highest, std::numeric_limits<int>::max() - 1)) + 1;
    return found;
}

SignInResult CheckSignIn(const QString &userName, const QString &password, qint16 *userNo,
                         IoError *err) {
    const QString wantedName = TrimBlanks(userName).toUpper();
    const QString wantedPassword = TrimBlanks(password);
    std::optional<qint16> signedIn;
    const bool read = scanAccountFile(
        [&](const AccountLine &record) {
            // The name first: tag and password are deciphered only for a
            // record whose name matches. A record signs in when all of its
            // checks pass, so their order changes nothing in the result.
            const QString name = decipher(record.name());
            if (name.size() != wantedName.size() || SwapPairs(name.toUpper()) != wantedName)
                return true;
            const std::optional<QString> tag = accountTag(record.tag());
            if (!tag)
                return true;
            if (SwapPairs(DecryptText(decipher(record.password()))) != wantedPassword)
                return true;
            // A record whose number cannot be a 16-bit user number (0, or
            // above 32767) would sign in as a wrapped or signed-out user: it
            // is taken as not matching, and the search goes on.
            const qint64 number = KeyNumber(*tag);
            if (!IsStorableNumber(number))
                return true;
            signedIn = qint16(number);
            return false;
        },
        err);
    if (!read)
        return SignInResult::Failed;
    if (!signedIn)
        return SignInResult::Invalid;
    if (userNo)
        *userNo = *signedIn;
    return SignInResult::Success;
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

#include "storage/accountfile.h"

#include "session/modMain.h"
#include "storage/cipher.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

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
IoError scanAccountFile(const std::function<bool(const AccountLine &)> &visit) {
    const QString path = AccountFilePath();
    bool hasData = false;
    if (IoError err = FileHasData(path, &hasData); err.failed() || !hasData)
        return err;
    AccountLine record;
    return ForEachLine(path,
                       [&](const QString &line) { return !record.split(line) || visit(record); });
}

} // namespace

QString AccountFilePath() {
    return DataPath(kAccountFileName);
}

QString MakePassStamp(const QString &password) {
    return SwapPairs(EncryptText(SwapPairs(TrimBlanks(password))));
}

QString AccountRecordLine(int n, const QString &name, const QString &password) {
    const QStringList fields{
        EncodeField(QStringLiteral("USR") + QString::number(n)),
        EncodeField(TrimBlanks(name)),
        EncryptText(EncryptText(SwapPairs(TrimBlanks(password)))),
    };
    return TrimBlanks(JoinRecord(fields));
}

bool IsWholeAccountLine(QByteArrayView line) {
    return IsWholeRecord(line, {FieldShape(), FieldShape(), FieldShape{36, false}});
}

IoError NextAccountNumber(int *next) {
    *next = 0;
    qint64 highest = 0;
    const IoError err = scanAccountFile([&](const AccountLine &record) {
        if (const std::optional<QString> tag = accountTag(record.tag()))
            highest = std::max(highest, KeyNumber(*tag));
        return true;
    });
    if (!err.failed())
        *next = NextNumber(highest);
    return err;
}

IoError FindAccount(const QString &userName, bool *taken) {
    NextUserNo = 0;
    *taken = false;
    const QString wanted = TrimBlanks(userName).toUpper();
    qint64 highest = 0;
    const IoError err = scanAccountFile([&](const AccountLine &record) {
        const std::optional<QString> tag = accountTag(record.tag());
        if (!tag)
            return true;
        highest = std::max(highest, KeyNumber(*tag));
        // The deciphered name holds only plain ASCII, which upper-casing
        // keeps at its length: a name of another length cannot match.
        const QString name = decipher(record.name());
        if (name.size() != wanted.size() || SwapPairs(name.toUpper()) != wanted)
            return true;
        *taken = true;
        return false; // the first match ends the search
    });
    if (err.failed()) {
        *taken = false;
        return err; // NextUserNo stays 0, which is no storable number
    }
    NextUserNo = NextNumber(highest);
    return err;
}

IoError CheckSignIn(const QString &userName, const QString &password, qint16 *userNo) {
    *userNo = 0;
    const QString wantedName = TrimBlanks(userName).toUpper();
    const QString wantedPassword = TrimBlanks(password);
    qint16 signedIn = 0;
    const IoError err = scanAccountFile([&](const AccountLine &record) {
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
    });
    if (!err.failed())
        *userNo = signedIn;
    return err;
}

IoError AppendAccount(int n, const QString &name, const QString &password) {
    if (!IsStorableNumber(n))
        return IoError::failure(AccountFilePath(), QStringLiteral("write to"),
                                QStringLiteral("The user number %1 is out of range").arg(n));
    return AppendLine(AccountFilePath(), AccountRecordLine(n, name, password));
}

Change RegisterUser(int n, const QString &name, const QString &password) {
    Change change;
    if (!IsStorableNumber(n)) {
        change.error = IoError::refused(QStringLiteral("Sorry, no more User IDs can be created: "
                                                       "the highest user number (%1) is already "
                                                       "in use.")
                                            .arg(kMaxRecordNo));
        return change;
    }
    for (const auto &[what, text] :
         {std::pair{"User Name", TrimBlanks(name)}, std::pair{"Password", TrimBlanks(password)}}) {
        if (const QString chars = UnstorableChars(text); !chars.isEmpty()) {
            change.error = IoError::refused(UnstorableMessage(QLatin1String(what), chars));
            return change;
        }
    }
    // The user's folder first, then the account record: if either fails,
    // nothing of the new account is left behind. A folder that is already
    // there is kept and used.
    const QString folder = UserFolderPath(n);
    bool made = false;
    if (!change.error.take(MakeFolder(folder, &made)))
        return change;
    if (!change.error.take(AppendAccount(n, name, password))) {
        if (made)
            change.error.note(RemoveFolder(folder));
        return change;
    }
    change.changed = true;
    change.number = n;
    return change;
}

} // namespace modMain

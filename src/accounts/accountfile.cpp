#include "accounts/accountfile.h"

#include "storage/cipher.h"
#include "storage/datafile.h"
#include "storage/folderentries.h"
#include "storage/paths.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <utility>

namespace modMain {

namespace {

// The fields of an account record read by the reading rule, as views into
// its line: tag, name and password (empty when the record has only two).
using AccountFields = std::array<QStringView, 3>;

// The user tag of a record, deciphered, when it names an account (its first
// three characters are "USR" in any case), else an empty optional.
std::optional<QString> accountTag(QStringView field) {
    QString tag = SwapPairs(DecryptText(field));
    if (!tag.startsWith(QLatin1String("USR"), Qt::CaseInsensitive))
        return std::nullopt;
    return tag;
}

// Reads the account file by the reading rule, one line at a time, in file
// order, and hands every line that holds a separator to `visit` (which
// returns false to stop): its fields, the line and its place among all the
// lines of the file (from 0). A line without separator (blank lines
// included) gets dummy fields that decipher to "", so it can never be an
// account and is skipped at once. Nothing but the current line is held,
// whatever the size of the file. An absent account file is created empty
// (and so holds no record). False when the file cannot be read.
using AccountVisit =
    std::function<bool(const AccountFields &, const QString &line, qsizetype lineNo)>;
IoError scanAccountFile(const AccountVisit &visit) {
    const QString path = AccountFilePath();
    bool hasData = false;
    if (IoError err = FileHasData(path, &hasData); err.failed() || !hasData)
        return err;
    AccountFields fields;
    qsizetype lineNo = -1;
    return ForEachLine(path, [&](const QString &line) {
        ++lineNo;
        return SplitFields(QStringView(line), &fields) < 2 || visit(fields, line, lineNo);
    });
}

// The refusal of a registration when every user number is given.
IoError noMoreUsers() {
    return IoError::refused(IoError::Kind::NumbersUsedUp,
                            QStringLiteral("Sorry, no more User IDs can be created: the highest "
                                           "user number (%1) is already in use.")
                                .arg(kMaxRecordNo));
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
    const IoError err =
        scanAccountFile([&](const AccountFields &record, const QString &, qsizetype) {
            if (const std::optional<QString> tag = accountTag(record[0]))
                highest = std::max(highest, KeyNumber(*tag));
            return true;
        });
    if (!err.failed())
        *next = NextNumber(highest);
    return err;
}

IoError FindAccount(const QString &userName, bool *taken, int *nextNo) {
    *nextNo = 0;
    *taken = false;
    const NameTest wanted(TrimBlanks(userName));
    qint64 highest = 0;
    const IoError err =
        scanAccountFile([&](const AccountFields &record, const QString &, qsizetype) {
            const std::optional<QString> tag = accountTag(record[0]);
            if (!tag)
                return true;
            highest = std::max(highest, KeyNumber(*tag));
            if (!wanted.matches(record[1]))
                return true;
            *taken = true;
            return false; // the first match ends the search
        });
    if (err.failed()) {
        *taken = false;
        return err; // *nextNo stays 0, which is no storable number
    }
    *nextNo = NextNumber(highest);
    return err;
}

IoError FindSignInRecord(const QString &userName, const QString &password, SignInRecord *found,
                         const QString *otherPassword, bool *otherHasIt) {
    *found = SignInRecord();
    if (otherHasIt)
        *otherHasIt = false;
    const NameTest wantedName(TrimBlanks(userName));
    const QString wantedPassword = TrimBlanks(password);
    const QString other = otherPassword ? TrimBlanks(*otherPassword) : QString();
    return scanAccountFile([&](const AccountFields &record, const QString &line, qsizetype lineNo) {
        // The name first: tag and password are deciphered only for a
        // record whose name matches. A record signs in when all of its
        // checks pass, so their order changes nothing in the result.
        if (!wantedName.matches(record[1]))
            return true;
        const std::optional<QString> tag = accountTag(record[0]);
        if (!tag)
            return true;
        // A record whose number cannot be a 16-bit user number (0, or
        // above 32767) would sign in as a wrapped or signed-out user: it
        // is taken as not matching, and the search goes on.
        const qint64 number = KeyNumber(*tag);
        if (!IsStorableNumber(number))
            return true;
        const QString stored = SwapPairs(DecryptText(DecryptText(record[2])));
        if (found->line < 0 && stored == wantedPassword) {
            found->line = lineNo;
            found->bytes = line.toLatin1();
            found->number = int(number);
            found->name = SwapPairs(DecryptText(record[1]));
            return otherPassword != nullptr; // the other password is looked for to the end
        }
        if (otherHasIt && stored == other)
            *otherHasIt = true;
        return true;
    });
}

IoError CheckSignIn(const QString &userName, const QString &password, qint16 *userNo) {
    *userNo = 0;
    SignInRecord found;
    const IoError err = FindSignInRecord(userName, password, &found);
    if (!err.failed())
        *userNo = qint16(found.number);
    return err;
}

IoError AppendAccount(int n, const QString &name, const QString &password) {
    if (!IsStorableNumber(n))
        return noMoreUsers();
    return AppendLine(AccountFilePath(), AccountRecordLine(n, name, password));
}

Change RegisterUser(const QString &name, const QString &password) {
    Change change;
    for (const auto &[what, text] : {std::pair{Field::UserName, TrimBlanks(name)},
                                     std::pair{Field::Password, TrimBlanks(password)}}) {
        if (!change.error.take(UnstorableRefusal(what, text)))
            return change;
    }
    bool taken = false;
    int n = 0;
    if (!change.error.take(FindAccount(name, &taken, &n)))
        return change;
    if (taken) {
        change.error.take(IoError::refused(
            IoError::Kind::NameTaken,
            QStringLiteral("That USER ID has already been taken, please choose another!")));
        return change;
    }
    if (!change.error.take(IsStorableNumber(n) ? IoError() : noMoreUsers()))
        return change;
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

// --- Repairs after a crash ----------------------------------------------------

IoError RepairAccountFile() {
    const QString cutting =
        QStringLiteral("Wayfile was checking the end of the account file for a record that a "
                       "crash or a power failure left unfinished");
    const QString removingFolder =
        QStringLiteral("Wayfile was removing the empty folder of a registration that a crash or "
                       "a power failure cut short");
    const QString folderStays = QStringLiteral("The account file is mended; the folder stays and "
                                               "serves the next user who registers.");
    bool cut = false;
    IoError result = CutTornLastLine(AccountFilePath(), IsWholeAccountLine, &cut);
    result.during(cutting, QStringLiteral("The file is kept as it was. If such a record is there, "
                                          "the user name it was registering cannot be registered "
                                          "again until it goes; Wayfile tries again at its next "
                                          "start."));
    if (!cut)
        return result;
    // The registration made its folder first, for the number after the
    // highest of the file: gone while it is empty.
    int next = 0;
    if (IoError read = NextAccountNumber(&next); read.failed()) {
        result.keepFirst(read.during(removingFolder, folderStays));
        return result;
    }
    if (!IsStorableNumber(next))
        return result;
    const QString folder = UserFolderPath(next);
    QStringList inside;
    if (KindOfEntry(folder) != EntryKind::Folder || ListFolder(folder, &inside).failed() ||
        !inside.isEmpty())
        return result; // not there, or in use: it stays
    result.keepFirst(RemoveFolder(folder).during(removingFolder, folderStays));
    return result;
}

} // namespace modMain

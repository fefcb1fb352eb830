#pragma once

#include "storage/ioerror.h"
#include "storage/records.h"

#include <QString>

// The account file "info.qvx": one record per user, appended at registration,
// never rewritten.
//   field 1: EncodeField("USR" + n)
//   field 2: EncodeField(trimmed user name)
//   field 3: EncryptText(EncryptText(SwapPairs(trimmed password)))
namespace modMain {

inline const QString kAccountFileName = QStringLiteral("info.qvx");

// Full path of the account file.
QString AccountFilePath();

// The owner stamp of a password: SwapPairs(EncryptText(SwapPairs(Trim(p)))).
QString MakePassStamp(const QString &password);

// The complete account record line for user `n`, trimmed of outer blanks.
QString AccountRecordLine(int n, const QString &name, const QString &password);

// Whether a line (its bytes, without line end) is a whole account record as
// written: tag, name and the password enciphered twice, each whole
// enciphered text (see IsWholeRecord).
bool IsWholeAccountLine(QByteArrayView line);

// The number a new account receives: one more than the highest user number
// of the account file (1 when there is none), as FindAccount finds it for a
// name that is free. An absent account file is created empty.
IoError NextAccountNumber(int *next);

// Searches the account file for a user name (case ignored, outer blanks of
// `userName` ignored), reading it a line at a time and stopping at the first
// record with that name (`*taken`). Sets `*nextNo` to one more than the
// highest user number among the records read (1 when there is none). So when
// the name is free, every record was read and `*nextNo` is the number a new
// account receives; when the name is taken, it counts only the records up to
// the match and is no number to give. A number above 32767 leaves `*nextNo`
// above kMaxRecordNo, which the caller must refuse. When the file cannot be
// read, `*nextNo` is 0.
IoError FindAccount(const QString &userName, bool *taken, int *nextNo);

// The account record a name and password sign in to.
struct SignInRecord {
    qsizetype line = -1; // its place among the lines of the account file; -1: none
    QByteArray bytes;    // the line as stored
    int number = 0;      // the user number; 0 when none signs in
    QString name;        // as registered
};

// Reads the account file as CheckSignIn does: the first record that the name
// and password sign in to is `*found`. When `otherPassword` is given, every
// record is read, and `*otherHasIt` tells whether another record of that name
// has that password. An absent account file is created empty (and matches
// nothing).
IoError FindSignInRecord(const QString &userName, const QString &password, SignInRecord *found,
                         const QString *otherPassword = nullptr, bool *otherHasIt = nullptr);

// Checks a user name (case and outer blanks ignored) and password (exact,
// outer blanks ignored) against the account file, read a line at a time in
// file order; the first record that matches both wins and gives `*userNo`,
// which stays 0 when none matches. An absent account file is created empty
// (and matches nothing).
IoError CheckSignIn(const QString &userName, const QString &password, qint16 *userNo);

// Appends the account record of user `n` to the account file. A number that
// is no storable user number is refused (NumbersUsedUp).
IoError AppendAccount(int n, const QString &name, const QString &password);

// Registers a new user under the next user number (FindAccount), which
// `number` of the outcome gives: makes the user's folder (an existing one is
// reused), then appends the account record. If the record cannot be written,
// a folder made just now is removed again, so a failure leaves no half
// account. Refused, with nothing written (the account file is created empty
// when absent, as the look-up makes it): a name or password the cipher
// cannot store (Unstorable, about "User Name" or "Password"), a name already
// registered, letter case and outer blanks ignored (NameTaken), and a next
// number past kMaxRecordNo (NumbersUsedUp).
Change RegisterUser(const QString &name, const QString &password);

// --- Repairs after a crash ----------------------------------------------------

// Mends the account file at start-up, after a run that a crash or a power
// failure cut short: a last line that lacks its line end and is no whole
// record (a registration cut short) is cut off, and the folder made for that
// registration is removed when it is empty, as if the registration had
// failed, so that the name can be registered again, on the same number. A
// failure says what was being done, what was kept and what to do.
IoError RepairAccountFile();

} // namespace modMain

#pragma once

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

// True when a stored owner stamp and `stamp` stand for the same password
// (compared after SwapPairs and DecryptText, never enciphered).
bool SameStamp(const QString &stored, const QString &stamp);

// The complete account record line for user `n`, trimmed of outer blanks.
QString AccountRecordLine(int n, const QString &name, const QString &password);

// Searches the account file for a user name (case ignored, outer blanks of
// `userName` ignored), reading it a line at a time and stopping at the first
// record with that name. Sets NextUserNo to one more than the highest user
// number among the records read (1 when there is none). So when the name is
// free (false), every record was read and NextUserNo is the number a new
// account receives; when the name is taken (true), NextUserNo counts only
// the records up to the match and is no number to give. A number above 32767
// leaves NextUserNo above kMaxRecordNo, which the caller must refuse. Returns
// false and sets `err` when the file cannot be read; NextUserNo is then 0.
bool FindAccount(const QString &userName, IoError *err = nullptr);

enum class SignInResult { Success, Invalid, Failed };

// Checks a user name (case and outer blanks ignored) and password (exact,
// outer blanks ignored) against the account file, read a line at a time in
// file order; the first record that matches both wins. On Success sets `userNo`. An absent account
// file is created empty and gives Invalid. Failed means the file could not
// be read (`err` says why).
SignInResult CheckSignIn(const QString &userName, const QString &password, qint16 *userNo,
                         IoError *err);

// Appends the account record of user `n` to the account file.
bool AppendAccount(int n, const QString &name, const QString &password, IoError *err);

} // namespace modMain

#pragma once

#include "storage/datafile.h"

#include <QString>

#include <functional>

// Changing an account's password and deleting an account: each touches the
// account file and the files of the user's folder, and each is one journaled
// change (see storage/journal.h), whole after a crash or a kill at any
// moment: after the next start, exactly one of the two passwords signs in
// and every category and URL reads under it; or the account is whole or
// completely gone.
namespace modMain {

// The refusal when the name and password match no account (the sign-in's).
inline const QString kInvalidSignIn =
    QStringLiteral("Sorry, your Username OR Password is invalid!");

// Changes the password of the account that `userName` (letter case and outer
// blanks ignored) and `oldPassword` (exact, outer blanks ignored) sign in
// to, the record the sign-in would take when two share the name:
//   - its account record is written anew as registration writes it
//     (AccountRecordLine), with the new password (trimmed), in its place;
//   - in the user's category index and URL files (those set aside by an
//     interrupted category delete included), every record whose owner stamp
//     stands for the old password gets the stamp of the new one, made once
//     (MakePassStamp); nothing else of any file changes, byte for byte.
// Refused with nothing written: a name and password that match no account
// (kInvalidSignIn); a new password that is blanks only, holds characters the
// cipher cannot store (registration's message), or is the password of
// another account of the same name. `progress` (when given) hears how many
// kilobytes of the files are done, and of how many.
// The outcome's number is the user's number.
Change ChangePassword(const QString &userName, const QString &oldPassword,
                      const QString &newPassword,
                      const std::function<void(int done, int total)> &progress = {});

// Deletes the account that `userName` and `password` sign in to: its record
// leaves the account file (every other byte stays) and its user folder goes
// with everything in it, so a later registration that receives the same
// number starts empty. Refused with nothing changed when they match no
// account (kInvalidSignIn). The outcome's number is the deleted user's.
Change DeleteAccount(const QString &userName, const QString &password);

} // namespace modMain

#pragma once

#include <QString>

#include <functional>

// Session state and the command dispatcher through which the windows run
// the module's procedures.
namespace modMain {

// Number of the signed-in user; 0 while nobody is signed in.
extern qint16 UserNo;
// Owner stamp of the current sign-in; "" while nobody is signed in.
extern QString PassStamp;

// Scratch numbers of single operations: the number the next new account,
// category or URL receives. Wider than 16 bits so that "highest + 1" past
// 32767 is seen and refused rather than wrapping.
extern int NextUserNo;
extern int NextCatNo;
extern int NextUrlNo;

// Signed-out values: UserNo = 0, PassStamp = "".
void ResetSession();

// Runs the operation registered for a command code. The code is upper-cased
// once and compared exactly (no trimming); "CUP", codes without a registered
// operation and unknown codes do nothing.
void DoCommand(const QString &code);

// Plugs an operation into the command table. `code` must be one of the
// table's codes ("SIP", "SIPLS", "HA", "LCD", "DC", "MC", "AU", "LUD", "LUM",
// "LUV", "DU", "MU", "LD"); an empty function removes the operation again.
// Returns false for a code that is not in the table.
bool SetCommand(const QString &code, std::function<void()> operation);

// True when `n` can be stored as a user, category or URL number.
inline bool IsStorableNumber(qint64 n) {
    return n >= 1 && n <= 32767;
}

} // namespace modMain

#pragma once

#include "storage/ioerror.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <type_traits>

// Session state and the command dispatcher through which the windows run
// the module's procedures.
namespace modMain {

// Number of the signed-in user; 0 while nobody is signed in.
extern qint16 UserNo;
// Owner stamp of the current sign-in; "" while nobody is signed in.
extern QString PassStamp;

// Scratch numbers of single operations: the number the last new account,
// category or URL received, set by the change that added it. Nothing reads
// them back: each change works out its number from its file. Sign-out
// leaves them as they are.
extern int NextUserNo;
extern int NextCatNo;
extern int NextUrlNo;

// Signed-out values: UserNo = 0, PassStamp = "".
void ResetSession();

// Every command code, in the order DoCommand tries them. "CUP" is known but
// does nothing, and no operation can be plugged into it.
inline constexpr std::array<const char *, 24> kCommandCodes{
    "SIP", "SIPLS", "HA",  "LCD", "DC", "MC", "AU", "LUD", "LUM", "LUV", "DU", "MU",
    "LD",  "CUP",   "LFI", "FU",  "IB", "CP", "DI", "UN",  "RE",  "LT",  "RT", "ET"};

// What an operation hands back: the outcome of the change it made (a load
// changes nothing and reports its own failures, so it hands back an empty
// outcome).
using Operation = std::function<Change()>;

// Runs the operation registered for a command code and returns its outcome.
// The code is upper-cased once and compared exactly (no trimming); "CUP",
// codes without a registered operation and unknown codes do nothing and
// return an empty outcome.
Change DoCommand(const QString &code);

// True while an operation that DoCommand runs has not returned: a sign-out
// waits for it (an import, for one, lets timers run while it works).
bool CommandRunning();

// Plugs an operation into the command table under one of kCommandCodes
// (except "CUP"); an empty function removes the operation again. Returns
// false for a code that is not in the table.
bool SetCommand(const QString &code, Operation operation);

// The same for an operation that hands back nothing (a load, an
// arrangement).
template <typename F>
requires std::is_void_v<std::invoke_result_t<F &>>
bool SetCommand(const QString &code, F operation) {
    return SetCommand(code, Operation([operation = std::move(operation)]() mutable {
                          operation();
                          return Change();
                      }));
}

// The operations one window plugs into the command table, so that they can
// all be unplugged again when the window goes.
class CommandPlugs {
public:
    // Plugs `operation` in under `code` (see SetCommand) and keeps the code.
    void plug(const char *code, Operation operation);
    template <typename F>
    requires std::is_void_v<std::invoke_result_t<F &>>
    void plug(const char *code, F operation) {
        plug(code, Operation([operation = std::move(operation)]() mutable {
                 operation();
                 return Change();
             }));
    }
    // Unplugs every operation plugged through this.
    void unplugAll();

private:
    QStringList m_codes;
};

} // namespace modMain

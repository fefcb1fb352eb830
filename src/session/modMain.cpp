#include "session/modMain.h"

#include <array>

namespace modMain {

qint16 UserNo = 0;
QString PassStamp;
int NextUserNo = 0;
int NextCatNo = 0;
int NextUrlNo = 0;

namespace {

struct CommandRow {
    const char *code;
    std::function<void()> operation;
};

// The rows are tried in this order; "CUP" is recognised but does nothing.
std::array<CommandRow, 14> &commandTable() {
    static std::array<CommandRow, 14> table{{
        {"SIP", {}},
        {"SIPLS", {}},
        {"HA", {}},
        {"LCD", {}},
        {"DC", {}},
        {"MC", {}},
        {"AU", {}},
        {"LUD", {}},
        {"LUM", {}},
        {"LUV", {}},
        {"DU", {}},
        {"MU", {}},
        {"LD", {}},
        {"CUP", {}},
    }};
    return table;
}

} // namespace

void ResetSession() {
    UserNo = 0;
    PassStamp.clear();
}

void DoCommand(const QString &code) {
    const QString upper = code.toUpper();
    for (const CommandRow &row : commandTable()) {
        if (upper == QLatin1String(row.code)) {
            if (row.operation) {
                // Copy first: the operation may replace its own table entry.
                const std::function<void()> operation = row.operation;
                operation();
            }
            return;
        }
    }
}

bool SetCommand(const QString &code, std::function<void()> operation) {
    if (code == QLatin1String("CUP"))
        return false;
    for (CommandRow &row : commandTable()) {
        if (code == QLatin1String(row.code)) {
            row.operation = std::move(operation);
            return true;
        }
    }
    return false;
}

} // namespace modMain

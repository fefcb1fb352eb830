#include "session/modMain.h"

namespace modMain {

qint16 UserNo = 0;
QString PassStamp;
int NextUserNo = 0;
int NextCatNo = 0;
int NextUrlNo = 0;

namespace {

// The operation of each command code, by the code's place in kCommandCodes.
std::array<Operation, kCommandCodes.size()> &operations() {
    static std::array<Operation, kCommandCodes.size()> table;
    return table;
}

// The place of `code` in kCommandCodes, or -1.
int codeIndex(const QString &code) {
    for (size_t i = 0; i < kCommandCodes.size(); ++i) {
        if (code == QLatin1String(kCommandCodes[i]))
            return int(i);
    }
    return -1;
}

// How many operations DoCommand runs, one inside the other.
int g_running = 0;

} // namespace

void ResetSession() {
    UserNo = 0;
    PassStamp.clear();
}

Change DoCommand(const QString &code) {
    const int index = codeIndex(code.toUpper());
    if (index < 0 || !operations()[size_t(index)])
        return Change();
    // Copy first: the operation may replace its own table entry.
    const Operation operation = operations()[size_t(index)];
    struct Running {
        Running() { ++g_running; }
        ~Running() { --g_running; }
    } running;
    return operation();
}

bool CommandRunning() {
    return g_running > 0;
}

bool SetCommand(const QString &code, Operation operation) {
    const int index = codeIndex(code);
    if (index < 0 || code == QLatin1String("CUP"))
        return false;
    operations()[size_t(index)] = std::move(operation);
    return true;
}

void CommandPlugs::plug(const char *code, Operation operation) {
    const QString name = QLatin1String(code);
    SetCommand(name, std::move(operation));
    if (!m_codes.contains(name))
        m_codes.append(name);
}

void CommandPlugs::unplugAll() {
    for (const QString &code : std::as_const(m_codes))
        SetCommand(code, Operation());
    m_codes.clear();
}

} // namespace modMain

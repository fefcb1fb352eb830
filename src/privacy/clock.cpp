#include "privacy/clock.h"

#include <QDateTime>

#include <chrono>

namespace privacy {

namespace {

class SystemClocks final : public Clock {
public:
    Instant now() const override {
        // steady_clock is CLOCK_MONOTONIC on Linux, which stops during a
        // suspend (CLOCK_BOOTTIME would not).
        using namespace std::chrono;
        const qint64 ran =
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        return {ran, QDateTime::currentMSecsSinceEpoch()};
    }
};

} // namespace

const Clock &SystemClock() {
    static const SystemClocks clock;
    return clock;
}

namespace {
const Clock *programClock = nullptr;
} // namespace

const Clock &ProgramClock() {
    return programClock ? *programClock : SystemClock();
}

void SetProgramClock(const Clock *clock) {
    programClock = clock;
}

AwayTime AwaySince(const Instant &since, const Instant &now) {
    const qint64 ran = now.monotonicMs - since.monotonicMs;
    const qint64 ahead = (now.wallMs - since.wallMs) - ran;
    if (ahead > kClockStepToleranceMs)
        return {ran + ahead, true};
    return {ran, false};
}

} // namespace privacy

#pragma once

#include <QtGlobal>

// The two clocks the away rule reads, behind one seam so that tests can move
// them. The monotonic clock counts the time the machine ran: it stands still
// while the machine is suspended, and nothing sets it. The wall clock is the
// time of day: it runs on during a suspend, and the user or NTP may set it.
namespace privacy {

struct Instant {
    qint64 monotonicMs = 0;
    qint64 wallMs = 0; // milliseconds since the epoch (UTC: a time zone does not move it)
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;
};

// The system's clocks.
const Clock &SystemClock();

// The clocks the program reads, everywhere it asks for the time (the away
// rule, the dates of the Trash): the system's, unless a test set others.
const Clock &ProgramClock();
// Sets the clocks the program reads; nullptr gives the system's back.
void SetProgramClock(const Clock *clock);

// A wall clock that runs ahead of the monotonic one by more than this was
// not set by NTP's small steps: the machine slept that long.
inline constexpr qint64 kClockStepToleranceMs = 60 * 1000;

// How long the user has been away between the last input at `since` and
// `now`.
struct AwayTime {
    qint64 ms = 0;
    bool slept = false; // a suspend counts in `ms`
};

// The monotonic time that passed, plus the time the machine slept: what the
// wall clock ran ahead of the monotonic one, when that is more than
// kClockStepToleranceMs. A wall clock set back, or ahead by a few seconds,
// changes nothing.
AwayTime AwaySince(const Instant &since, const Instant &now);

} // namespace privacy

#pragma once

// Ratios between the running times of two pieces of work.
//
// A ratio is only as steady as the figures it divides, so both sides are
// measured the same way: the two pieces run alternately, each run is timed by
// the CPU time of this thread (time spent waiting for a core on a busy
// machine does not count), and the least time of each side is taken. A burst
// of load then costs both sides alike, and the minimum drops what is left.

#include <time.h>

#include <algorithm>
#include <limits>

namespace bench {

// CPU time used by the calling thread so far, in seconds.
inline double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// CPU time this thread spends on one run of `work`, in seconds.
template <typename Work> double CpuSecondsOf(Work &&work) {
    const double start = ThreadCpuSeconds();
    work();
    return ThreadCpuSeconds() - start;
}

// Least CPU times of two pieces of work timed in alternation.
class InterleavedMinimum {
public:
    // Runs `first`, then `second`, and keeps the least time of each.
    template <typename First, typename Second> void round(First &&first, Second &&second) {
        m_first = std::min(m_first, CpuSecondsOf(first));
        m_second = std::min(m_second, CpuSecondsOf(second));
    }

    double first() const { return m_first; }
    double second() const { return m_second; }
    // How many times as long the first took as the second.
    double ratio() const { return m_first / m_second; }

private:
    double m_first = std::numeric_limits<double>::infinity();
    double m_second = std::numeric_limits<double>::infinity();
};

// `rounds` alternating runs of the two; the least CPU time of `numerator`
// over the least CPU time of `denominator`.
template <typename Numerator, typename Denominator>
double MinCpuRatio(int rounds, Numerator &&numerator, Denominator &&denominator) {
    InterleavedMinimum times;
    for (int i = 0; i < rounds; ++i)
        times.round(numerator, denominator);
    return times.ratio();
}

} // namespace bench

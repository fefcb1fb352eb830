#pragma once

// A process stopped dead at one step of a change: disk calls that count
// every write, flush, rename and removal and end the process at the chosen
// one, as a kill -9 or a power cut would, for a change run in a forked child
// (forked.h). Running the change once for every step number, until it
// finishes without being stopped, stops it once at each of its steps.

#include "storage/datafile.h"

#include <memory>

#include <unistd.h>

namespace diskkill {

// The status a child stopped by these calls ends with.
inline constexpr int kStopped = 9;

// How the chosen call is cut short.
enum class Cut {
    Before,     // the process ends before the call
    HalfWritten // a write puts half of its bytes on disk first (a torn write);
                // any other call ends the process before it, as Before does
};

// Disk calls that end the process at the `step`th call (counted from 1) of
// any of the four kinds; the calls before it go to the system.
inline modMain::DiskCalls StopAt(int step, Cut cut = Cut::Before) {
    auto count = std::make_shared<int>(0);
    auto reached = [count, step] { return ++*count == step; };
    return modMain::DiskCalls{
        .write = [reached, cut](int fd, const char *data, qint64 size) -> qint64 {
            if (reached()) {
                if (cut == Cut::HalfWritten && size > 1) {
                    [[maybe_unused]] const ssize_t n = ::write(fd, data, size_t(size / 2));
                }
                ::_exit(kStopped);
            }
            return ::write(fd, data, size_t(size));
        },
        .sync =
            [reached](int fd) {
                if (reached())
                    ::_exit(kStopped);
                return ::fsync(fd);
            },
        .rename =
            [reached](const char *from, const char *to) {
                if (reached())
                    ::_exit(kStopped);
                return ::rename(from, to);
            },
        .remove =
            [reached](const char *path) {
                if (reached())
                    ::_exit(kStopped);
                return ::unlink(path);
            },
    };
}

} // namespace diskkill

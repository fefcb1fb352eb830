#pragma once

// A change stopped dead or failed at one of its steps: disk calls that count
// every call that changes the disk (a write, a flush, a rename, a removal of
// a file or a folder, a folder made, a file cut short) and end the process
// at the chosen one, as a kill -9 or a power cut would (for a change run in a forked
// child, forked.h), or make it fail. Running the change once for every step
// number, until it finishes untouched, stops or fails it once at each of its
// steps.

#include "storage/datafile.h"

#include <cerrno>
#include <memory>

#include <sys/stat.h>
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
// any of the kinds that change the disk; the calls before it, and every call
// that only opens or looks, go to the system.
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
        .makeFolder =
            [reached](const char *path, mode_t mode) {
                if (reached())
                    ::_exit(kStopped);
                return ::mkdir(path, mode);
            },
        .removeFolder =
            [reached](const char *path) {
                if (reached())
                    ::_exit(kStopped);
                return ::rmdir(path);
            },
        .truncate =
            [reached](int fd, qint64 length) {
                if (reached())
                    ::_exit(kStopped);
                return ::ftruncate(fd, off_t(length));
            },
    };
}

} // namespace diskkill

namespace diskkill {

// Disk calls whose `step`th call (counted from 1, of any of the kinds that
// change the disk) fails with `error`, as a full disk or a failing device fails it; every
// other call goes to the system. `*failed` tells whether that call came.
inline modMain::DiskCalls FailAt(int step, int error, bool *failed) {
    *failed = false;
    auto count = std::make_shared<int>(0);
    auto reached = [count, step, failed] {
        if (++*count != step)
            return false;
        *failed = true;
        return true;
    };
    return modMain::DiskCalls{
        .write = [reached, error](int fd, const char *data, qint64 size) -> qint64 {
            if (reached()) {
                errno = error;
                return -1;
            }
            return ::write(fd, data, size_t(size));
        },
        .sync =
            [reached, error](int fd) {
                if (reached()) {
                    errno = error;
                    return -1;
                }
                return ::fsync(fd);
            },
        .rename =
            [reached, error](const char *from, const char *to) {
                if (reached()) {
                    errno = error;
                    return -1;
                }
                return ::rename(from, to);
            },
        .remove =
            [reached, error](const char *path) {
                if (reached()) {
                    errno = error;
                    return -1;
                }
                return ::unlink(path);
            },
        .makeFolder =
            [reached, error](const char *path, mode_t mode) {
                if (reached()) {
                    errno = error;
                    return -1;
                }
                return ::mkdir(path, mode);
            },
        .removeFolder =
            [reached, error](const char *path) {
                if (reached()) {
                    errno = error;
                    return -1;
                }
                return ::rmdir(path);
            },
        .truncate =
            [reached, error](int fd, qint64 length) {
                if (reached()) {
                    errno = error;
                    return -1;
                }
                return ::ftruncate(fd, off_t(length));
            },
    };
}

} // namespace diskkill

#pragma once

// Runs a piece of a test in a child process of its own, for faults that
// must not touch the test process: a file-size limit with SIGXFSZ at its
// default action, a memory limit, a lock held by another process.

#include <QByteArray>
#include <QList>

#include <functional>
#include <string>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace forked {

// How a child ended and what it reported.
struct Outcome {
    bool exited = false; // ended by _exit, not by a signal
    int status = -1;     // its exit status when it exited
    int signal = 0;      // the signal that ended it otherwise
    QByteArray report;   // everything the child wrote to its report pipe

    std::string describe() const {
        return exited ? "exit " + std::to_string(status) + ", report: " + report.toStdString()
                      : "killed by signal " + std::to_string(signal);
    }
};

inline void writeAll(int fd, const QByteArray &data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

// In a child: the write end of its report pipe.
inline int &reportFd() {
    static int fd = -1;
    return fd;
}

// In a child: reports at once, before the child ends (the parent can read
// it while the child goes on).
inline void report(const QByteArray &data) {
    writeAll(reportFd(), data);
}

// A child that runs, and the end of the pipe it reports through.
struct Child {
    pid_t pid = -1;
    int reportFd = -1;
};

// Forks; the child runs `work`, writes what it returns to its report pipe
// and ends with status 0, never returning into the test framework.
inline Child start(const std::function<QByteArray()> &work) {
    // Close-on-exec: a program the child starts must not hold the pipe open.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return {};
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        reportFd() = pipeFds[1];
        writeAll(pipeFds[1], work());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

// Reads everything a child reports, waits for it to end and says how it did.
inline Outcome finish(const Child &child) {
    Outcome outcome;
    if (child.pid < 0)
        return outcome;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(child.reportFd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            outcome.report.append(buffer, n);
    }
    ::close(child.reportFd);
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

// Runs `work` in a child and waits for it.
inline Outcome run(const std::function<QByteArray()> &work) {
    return finish(start(work));
}

// The user and group an ordinary user's test runs as when the tests run as
// root (who may write to any file whatever its mode): nobody and nogroup.
inline constexpr uid_t kOrdinaryUser = 65534;
inline constexpr gid_t kOrdinaryGroup = 65534;

// What a child reports when it cannot become an ordinary user.
inline const QByteArray kNoOrdinaryUser = "cannot become an ordinary user";

// In a child: when running as root, hands `folder` and everything in it to
// the ordinary user, except the entries `keptByRoot` (which stay root's, as
// files of another system account), and becomes that user, for good. An
// ordinary user stays who it is. False when root cannot drop its rights.
inline bool becomeOrdinaryUser(const char *folder, const QList<QByteArray> &keptByRoot = {}) {
    if (::geteuid() != 0)
        return true;
    const auto handOver = [](const char *path, const struct stat *, int, struct FTW *) {
        return ::lchown(path, kOrdinaryUser, kOrdinaryGroup);
    };
    if (::nftw(folder, handOver, 16, FTW_PHYS) != 0)
        return false;
    for (const QByteArray &path : keptByRoot) {
        if (::lchown(path.constData(), 0, 0) != 0)
            return false;
    }
    return ::setgroups(0, nullptr) == 0 &&
           ::setresgid(kOrdinaryGroup, kOrdinaryGroup, kOrdinaryGroup) == 0 &&
           ::setresuid(kOrdinaryUser, kOrdinaryUser, kOrdinaryUser) == 0 && ::geteuid() != 0;
}

// Runs `work` in a child as an ordinary user who owns `folder` (see
// becomeOrdinaryUser); the child reports kNoOrdinaryUser instead when it
// cannot become one.
inline Outcome runAsOrdinaryUser(const QByteArray &folder, const std::function<QByteArray()> &work,
                                 const QList<QByteArray> &keptByRoot = {}) {
    return run([&] {
        return becomeOrdinaryUser(folder.constData(), keptByRoot) ? work() : kNoOrdinaryUser;
    });
}

} // namespace forked

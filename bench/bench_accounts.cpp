// Sign-in and the name search on large account files.
//
// Counters to read:
//   SignInLargeAccountFile/peak_MB   the highest resident memory of a process
//                                    that signs in against the 200 MB file
//                                    (the last record matches, so every line
//                                    is read); measured in a child process of
//                                    its own: its peak (VmHWM) is reset just
//                                    before the sign-in through
//                                    /proc/self/clear_refs and read just after
//   SignInLargeAccountFile/base_MB   its resident memory just before
//   SignInLargeAccountFile/MB_per_s  file megabytes read per second
//   FindAccountTenThousandUsers/x_floor
//                                    the least CPU time of 15 interleaved
//                                    runs of FindAccount over that of the floor: reading every line
//                                    of the same file (ReadLines) and splitting it into fields
//                                    (SplitRecord)
//   FindAccountTenThousandUsers/x_stream_floor
//                                    the same against streaming the lines
//                                    (ForEachLine) and splitting them

#include "accounts/accountfile.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"

#include "memory.h"
#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace modMain;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void giveUp(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

QString userName(int n) {
    return QStringLiteral("User%1").arg(n, 5, 10, QLatin1Char('0'));
}

QString password(int n) {
    return QStringLiteral("Pass%1").arg(n, 5, 10, QLatin1Char('0'));
}

// An account file in a folder of its own, made once: `blockUsers` users
// 1, 2, ... written over and over until the file holds at least
// `minimumBytes`, then the last user, "Zed" (password "zpw") with number
// kLastUser. Every record is enciphered once; repeating the block keeps
// making a 200 MB file quick.
class AccountFolder {
public:
    static constexpr int kLastUser = 32000;

    AccountFolder(int blockUsers, qint64 minimumBytes) {
        if (!dir_.isValid())
            giveUp("no temporary folder");
        QByteArray block;
        for (int n = 1; n <= blockUsers; ++n)
            block += AccountRecordLine(n, userName(n), password(n)).toLatin1() + "\r\n";
        QFile file(dir_.filePath(kAccountFileName));
        if (!file.open(QIODevice::WriteOnly))
            giveUp("cannot write the account file");
        do {
            if (file.write(block) != block.size())
                giveUp("cannot write the account file");
        } while (file.size() < minimumBytes);
        const QByteArray last =
            AccountRecordLine(kLastUser, QStringLiteral("Zed"), QStringLiteral("zpw")).toLatin1() +
            "\r\n";
        if (file.write(last) != last.size() || !file.flush())
            giveUp("cannot write the account file");
        bytes_ = file.size();
        records_ = (bytes_ - last.size()) / block.size() * blockUsers + 1;
    }

    QString path() const { return dir_.path(); }
    qint64 bytes() const { return bytes_; }
    qint64 records() const { return records_; }

private:
    QTemporaryDir dir_;
    qint64 bytes_ = 0;
    qint64 records_ = 0;
};

const AccountFolder &largeAccountFolder() {
    static const AccountFolder folder(2000, 200LL * 1024 * 1024);
    return folder;
}

const AccountFolder &tenThousandUsers() {
    static const AccountFolder folder(9999, 0); // 9,999 users and Zed
    return folder;
}

// What one sign-in in a child process measured.
struct SignInRun {
    double seconds = 0;
    double cpuSeconds = 0;
    qint64 baseKb = 0;
    qint64 peakKb = 0;
    qint32 userNo = 0;
    bool success = false;
};

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Signs in as Zed in a child process and measures time and peak memory
// there, so that nothing this process holds counts.
SignInRun signInInChild() {
    int fds[2];
    if (::pipe(fds) != 0)
        giveUp("no pipe");
    const pid_t pid = ::fork();
    if (pid < 0)
        giveUp("no fork");
    if (pid == 0) {
        ::close(fds[0]);
        SignInRun run;
        if (!bench::ResetPeakMemory())
            ::_exit(2);
        run.baseKb = bench::StatusKilobytes("VmRSS");
        qint16 userNo = 0;
        const double cpuStart = cpuSeconds();
        const Clock::time_point start = Clock::now();
        run.success =
            !CheckSignIn(QStringLiteral("zed"), QStringLiteral("zpw"), &userNo).failed() &&
            userNo != 0;
        run.seconds = secondsSince(start);
        run.cpuSeconds = cpuSeconds() - cpuStart;
        run.peakKb = bench::StatusKilobytes("VmHWM");
        run.userNo = userNo;
        const bool sent = ::write(fds[1], &run, sizeof run) == ssize_t(sizeof run);
        ::_exit(sent ? 0 : 3);
    }
    ::close(fds[1]);
    SignInRun run;
    const bool got = ::read(fds[0], &run, sizeof run) == ssize_t(sizeof run);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        run.success = false;
    return run;
}

void BM_SignInLargeAccountFile(benchmark::State &state) {
    const AccountFolder &folder = largeAccountFolder();
    SetProgramFolder(folder.path());
    qint64 peakKb = 0;
    qint64 baseKb = 0;
    double cpu = 0;
    for (auto _ : state) {
        const SignInRun run = signInInChild();
        if (!run.success || run.userNo != AccountFolder::kLastUser) {
            state.SkipWithError("the sign-in in the child process failed");
            break;
        }
        state.SetIterationTime(run.seconds);
        peakKb = std::max(peakKb, run.peakKb);
        baseKb = std::max(baseKb, run.baseKb);
        cpu += run.cpuSeconds;
    }
    const double megabytes = double(folder.bytes()) / (1024.0 * 1024.0);
    state.counters["file_MB"] = megabytes;
    state.counters["records"] = double(folder.records());
    state.counters["peak_MB"] = double(peakKb) / 1024.0;
    state.counters["base_MB"] = double(baseKb) / 1024.0;
    state.counters["cpu_s"] =
        cpu / double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["MB_per_s"] =
        benchmark::Counter(megabytes * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SignInLargeAccountFile)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The floor of any scan of the account file: every line read into memory and
// split into fields.
qsizetype readAndSplit() {
    QStringList lines;
    if (ReadLines(AccountFilePath(), &lines).failed())
        return -1;
    qsizetype fields = 0;
    for (const QString &line : std::as_const(lines))
        fields += SplitRecord(line).size();
    return fields;
}

// The same, a line at a time.
qsizetype streamAndSplit() {
    qsizetype fields = 0;
    ForEachLine(AccountFilePath(), [&fields](const QString &line) {
        fields += SplitRecord(line).size();
        return true;
    });
    return fields;
}

void BM_FindAccountTenThousandUsers(benchmark::State &state) {
    const AccountFolder &folder = tenThousandUsers();
    SetProgramFolder(folder.path());
    // As long as the stored names, so that every record is compared in full.
    const QString absent = QStringLiteral("User99999");
    bool taken = false;
    int next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FindAccount(absent, &taken, &next));
    if (next != AccountFolder::kLastUser + 1)
        state.SkipWithError("FindAccount did not read every record");

    // The ratios: the least CPU time of interleaved runs on both sides, so
    // that both sides meet the same state of caches and clock.
    const auto find = [&] { benchmark::DoNotOptimize(FindAccount(absent, &taken, &next)); };
    bench::InterleavedMinimum vsFloor, vsStream;
    for (int i = 0; i < 15; ++i) {
        vsFloor.round(find, [] { benchmark::DoNotOptimize(readAndSplit()); });
        vsStream.round(find, [] { benchmark::DoNotOptimize(streamAndSplit()); });
    }
    state.counters["records"] = double(folder.records());
    state.counters["find_ms"] = vsFloor.first() * 1e3;
    state.counters["floor_ms"] = vsFloor.second() * 1e3;
    state.counters["x_floor"] = vsFloor.ratio();
    state.counters["x_stream_floor"] = vsStream.ratio();
}
BENCHMARK(BM_FindAccountTenThousandUsers)->Unit(benchmark::kMillisecond);

} // namespace

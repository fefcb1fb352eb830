// Writing an import of 10,000 URLs in 100 new categories, against the floor
// of appending the same records with the program's own writers.
//
// Counters to read (both sides the least of 7 runs, timed in alternation;
// the user's folder is put back between runs, outside the timing):
//   ImportTenThousandUrls/x_floor       CPU time of ImportCategories over the
//                                       CPU time of the floor
//   ImportTenThousandUrls/x_floor_wall  the same in elapsed time (the waits
//                                       for the disk's flushes included)
//   import_ms, floor_ms                 the two sides' CPU times
//   import_wall_ms, floor_wall_ms       and their elapsed times
// The floor: for the index and each URL file, the records made by
// CategoryRecordLine and UrlRecordLine (descriptions stored as AppendUrl
// stores them), the file opened once, all its records written in one write,
// flushed once; the folder flushed once at the end for the files made.

#include "accounts/accountfile.h"
#include "bookmarks/importwrite.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

using namespace modMain;

namespace {

constexpr int kCategories = 100;
constexpr int kUrlsEach = 100;
constexpr int kOldCategories = 10;

[[noreturn]] void giveUp(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// User 1 with an index of ten categories, and a plan of 100 new ones with
// 100 URLs each.
class ImportFolder {
public:
    ImportFolder() {
        if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("USR1")))
            giveUp("no temporary folder");
        SetProgramFolder(dir_.path());
        for (int n = 1; n <= kOldCategories; ++n)
            index_ +=
                CategoryRecordLine(n, QStringLiteral("Old %1").arg(n), stamp_).toLatin1() + "\r\n";
        for (int c = 1; c <= kCategories; ++c) {
            PlannedCategory category{QStringLiteral("Folder %1 / Links").arg(c), 0, {}};
            for (int u = 1; u <= kUrlsEach; ++u)
                category.urls.append(PlannedUrl{
                    QStringLiteral("https://www.example%1.com/section/%2/page.html").arg(c).arg(u),
                    QStringLiteral("Bookmark %1 of folder %2\r\nsaved from the browser")
                        .arg(u)
                        .arg(c)});
            plan_.append(category);
        }
        putBack();
    }

    QString path() const { return dir_.path(); }
    const ImportPlan &plan() const { return plan_; }
    const QString &stamp() const { return stamp_; }

    // The user's folder as before any import: the index alone.
    void putBack() const {
        QDir folder(UserFolderPath(1));
        for (const QString &name : folder.entryList(QDir::Files))
            folder.remove(name);
        QFile file(folder.filePath(kCategoryIndexName));
        if (!file.open(QIODevice::WriteOnly) || file.write(index_) != index_.size())
            giveUp("cannot write the index");
    }

    // The floor: the same records, each file opened once, written in one
    // go, flushed once.
    void floor() const {
        const QString folder = UserFolderPath(1);
        QByteArray block;
        for (int c = 0; c < kCategories; ++c)
            block += CategoryRecordLine(kOldCategories + 1 + c, plan_[c].name, stamp_).toLatin1() +
                     "\r\n";
        appendOnce(JoinPath(folder, kCategoryIndexName), block);
        for (int c = 0; c < kCategories; ++c) {
            block.clear();
            int number = 1;
            for (const PlannedUrl &url : plan_[c].urls)
                block += UrlRecordLine(number++, url.address,
                                       TrimBlanks(ConvertLineBreaks(url.description, true)), stamp_)
                             .toLatin1() +
                         "\r\n";
            appendOnce(JoinPath(folder, UrlFileName(kOldCategories + 1 + c)), block);
        }
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0 || ::fsync(fd) != 0)
            giveUp("cannot flush the folder");
        ::close(fd);
    }

private:
    static void appendOnce(const QString &path, const QByteArray &bytes) {
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() ||
            ::fsync(fd) != 0)
            giveUp("cannot append");
        ::close(fd);
    }

    QTemporaryDir dir_;
    QString stamp_ = MakePassStamp(QStringLiteral("benchmark"));
    QByteArray index_;
    ImportPlan plan_;
};

using Clock = std::chrono::steady_clock;

// CPU and elapsed seconds of one run of `work`.
template <typename Work> std::pair<double, double> timesOf(Work &&work) {
    const Clock::time_point start = Clock::now();
    const double cpu = bench::CpuSecondsOf(work);
    return {cpu, std::chrono::duration<double>(Clock::now() - start).count()};
}

void BM_ImportTenThousandUrls(benchmark::State &state) {
    static const ImportFolder folder;
    SetProgramFolder(folder.path());
    int progressCalls = 0;
    const auto import = [&] {
        const ImportResult change =
            ImportCategories(1, folder.stamp(), folder.plan(), [&](int, int) { ++progressCalls; });
        if (!change.changed || change.failed() || change.urlsWritten != kCategories * kUrlsEach)
            giveUp("the import failed");
    };
    for (auto _ : state) {
        state.PauseTiming();
        folder.putBack();
        state.ResumeTiming();
        import();
    }

    double importCpu = std::numeric_limits<double>::infinity(), floorCpu = importCpu;
    double importWall = importCpu, floorWall = importCpu;
    for (int round = 0; round < 7; ++round) {
        folder.putBack();
        const auto [cpu1, wall1] = timesOf(import);
        folder.putBack();
        const auto [cpu2, wall2] = timesOf([&] { folder.floor(); });
        importCpu = std::min(importCpu, cpu1);
        importWall = std::min(importWall, wall1);
        floorCpu = std::min(floorCpu, cpu2);
        floorWall = std::min(floorWall, wall2);
    }
    folder.putBack();
    state.counters["urls"] = kCategories * kUrlsEach;
    state.counters["import_ms"] = importCpu * 1e3;
    state.counters["floor_ms"] = floorCpu * 1e3;
    state.counters["import_wall_ms"] = importWall * 1e3;
    state.counters["floor_wall_ms"] = floorWall * 1e3;
    state.counters["x_floor"] = importCpu / floorCpu;
    state.counters["x_floor_wall"] = importWall / floorWall;
}
BENCHMARK(BM_ImportTenThousandUrls)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

// Delete URL and Modify URL on a URL file of 10,000 and of 32,766 URLs,
// against the least any rewrite of that file costs.
//
// Counters to read (both sides in CPU time of this thread, the least of
// several runs in alternation; see ratio.h):
//   DeleteUrlRecord/<n>/x_floor   DeleteUrlRecord of the URL in the middle
//                                 of the file over the floor
//   ReplaceUrlRecord/<n>/x_floor  ReplaceUrlRecord of that URL over the floor
//   floor_ms                      the floor: read the file's bytes once and
//                                 write them back once the safe way (a
//                                 temporary file beside it, flushed, renamed
//                                 over it, the folder flushed)
//   change_ms                     the change itself
// The file is put back to its first content, outside the timing, before
// every run of either side.

#include "accounts/accountfile.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "floors.h"
#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>

using namespace modMain;

namespace {

constexpr int kUrls = 10000;
constexpr int kMostUrls = 32766;

[[noreturn]] void giveUp(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// A URL file of `count` URLs of one user, made once per count.
class UrlFile {
public:
    explicit UrlFile(int count) : count_(count) {
        if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("USR1")))
            giveUp("no temporary folder");
        SetProgramFolder(dir_.path());
        path_ = UrlFilePath(1, 1);
        const QString stamp = MakePassStamp(QStringLiteral("benchmark"));
        for (int n = 1; n <= count; ++n) {
            content_ +=
                UrlRecordLine(n,
                              QStringLiteral("http://www.example%1.com/pages/%2.html")
                                  .arg((n * 7919) % count)
                                  .arg(n),
                              QStringLiteral("Description of address %1*QVX*second line").arg(n),
                              stamp)
                    .toLatin1() +
                "\r\n";
        }
        restore();
    }

    const QString &path() const { return path_; }
    int count() const { return count_; }
    qint64 middle() const { return count_ / 2; }

    // Puts the first content back (the same file, so its folder keeps its
    // entries).
    void restore() const {
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content_) != content_.size())
            giveUp("the URL file could not be written");
    }

    qsizetype lines() const {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
    }

private:
    QTemporaryDir dir_;
    QString path_;
    QByteArray content_;
    int count_;
};

UrlFile &urlFile(int count) {
    static std::map<int, std::unique_ptr<UrlFile>> files;
    std::unique_ptr<UrlFile> &f = files[count];
    if (!f)
        f = std::make_unique<UrlFile>(count);
    return *f;
}

// Times `change` and the floor in alternation, the file put back before
// every run, and reports both and their ratio.
template <typename Change>
void againstFloor(benchmark::State &state, const UrlFile &file, Change &&change, int rounds) {
    double changeTime = std::numeric_limits<double>::infinity();
    double floorTime = std::numeric_limits<double>::infinity();
    for (int i = 0; i < rounds; ++i) {
        file.restore();
        changeTime = std::min(changeTime, bench::CpuSecondsOf(change));
        file.restore();
        floorTime =
            std::min(floorTime, bench::CpuSecondsOf([&] { bench::RewriteFloor(file.path()); }));
    }
    file.restore();
    state.counters["urls"] = file.count();
    state.counters["change_ms"] = changeTime * 1e3;
    state.counters["floor_ms"] = floorTime * 1e3;
    state.counters["x_floor"] = changeTime / floorTime;
}

int roundsFor(int count) {
    return count > kUrls ? 7 : 15;
}

void BM_DeleteUrlRecord(benchmark::State &state) {
    const UrlFile &file = urlFile(int(state.range(0)));
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        file.restore();
        state.ResumeTiming();
        ok = ok && !DeleteUrlRecord(file.path(), file.middle()).failed();
    }
    if (!ok || file.lines() != file.count() - 1)
        state.SkipWithError("the URL was not deleted");
    againstFloor(
        state, file, [&] { DeleteUrlRecord(file.path(), file.middle()); }, roundsFor(file.count()));
}
BENCHMARK(BM_DeleteUrlRecord)->Arg(kUrls)->Arg(kMostUrls)->Unit(benchmark::kMillisecond);

void BM_ReplaceUrlRecord(benchmark::State &state) {
    const UrlFile &file = urlFile(int(state.range(0)));
    const QString stamp = MakePassStamp(QStringLiteral("benchmark"));
    const QString address = QStringLiteral("http://www.changed.example/");
    const QString description = QStringLiteral("changed\r\nin two lines");
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        file.restore();
        state.ResumeTiming();
        ok = ok &&
             !ReplaceUrlRecord(file.path(), file.middle(), address, description, stamp).failed();
    }
    if (!ok || file.lines() != file.count())
        state.SkipWithError("the URL was not replaced");
    againstFloor(
        state, file,
        [&] { ReplaceUrlRecord(file.path(), file.middle(), address, description, stamp); },
        roundsFor(file.count()));
}
BENCHMARK(BM_ReplaceUrlRecord)->Arg(kUrls)->Arg(kMostUrls)->Unit(benchmark::kMillisecond);

} // namespace

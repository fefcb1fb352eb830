// Speed of the Trash and of undo on a category of 32,767 URLs (the most a
// category can hold), through the core and the user's data, without the
// window.
//
// Counters to read (CPU time of this thread, the least of 7 runs, the two
// sides of a ratio timed in alternation, the files put back before each run):
//   TrashDeleteUrl/x_delete     Delete URL into the Trash (one journaled
//                               change: the URL file's new version, the
//                               Trash's append) over the delete that removed
//                               the record for good (the URL file rewritten)
//   TrashRestoreCategory/x_floor
//                               restoring a category of 32,767 URLs from the
//                               Trash (its records back in the index and its
//                               URL file, the Trash rewritten without them)
//                               over the floor of rewriting the index and the
//                               URL file once (floors.h)
//   UndoUrlChange/undo_ms, redo_ms
//                               the slowest of 7 undos and redos of Modify URL
//                               in that category, the lists and the index
//                               brought in step: within a frame (16 ms)

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "trash/trashfile.h"
#include "urls/urlfile.h"
#include "userdata/userdata.h"

#include "floors.h"
#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>

using namespace modMain;

namespace {

constexpr int kMostUrls = kMaxRecordNo;

// User 1 with category "News" (1) whose URL file holds 32,767 URLs.
struct TrashFolder {
    QTemporaryDir dir;
    QString stamp = MakePassStamp(QStringLiteral("benchmark"));
    QByteArray index;
    QByteArray urls;

    TrashFolder() {
        SetProgramFolder(dir.path());
        MakeFolder(UserFolderPath(1));
        index = (CategoryRecordLine(1, QStringLiteral("News"), stamp) + kLineEnd).toLatin1();
        urls.reserve(kMostUrls * 160);
        for (int n = 1; n <= kMostUrls; ++n)
            urls +=
                (UrlRecordLine(n, address(n),
                               QStringLiteral("Description of address %1*QVX*second line").arg(n),
                               stamp) +
                 kLineEnd)
                    .toLatin1();
    }

    static QString address(int n) {
        return QStringLiteral("http://www.example%1.com/pages/%2.html")
            .arg((n * 7919) % kMostUrls)
            .arg(n);
    }

    void use() const {
        SetProgramFolder(dir.path());
        UserNo = 1;
        PassStamp = stamp;
    }

    // The index and the URL file as made, and no Trash.
    void restore() const {
        use();
        write(CategoryIndexPath(1), index);
        write(UrlFilePath(1, 1), urls);
        QFile::remove(TrashFilePath(1));
    }

    static void write(const QString &path, const QByteArray &bytes) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            bench::FloorFailed("the benchmark could not write its files");
    }
};

const TrashFolder &folder() {
    static const TrashFolder made;
    made.use();
    return made;
}

void TrashDeleteUrl(benchmark::State &state) {
    const TrashFolder &f = folder();
    const int number = kMostUrls / 2;
    const QString address = TrashFolder::address(number);
    bool moved = true;
    for (auto _ : state) {
        state.PauseTiming();
        f.restore();
        state.ResumeTiming();
        moved = moved && TrashUrl(1, 1, QStringLiteral("News"), number, address, f.stamp).changed;
    }
    if (!moved)
        state.SkipWithError("the URL was not moved into the Trash");
    double trash = std::numeric_limits<double>::infinity();
    double removed = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 7; ++i) {
        f.restore();
        trash = std::min(trash, bench::CpuSecondsOf([&] {
                             TrashUrl(1, 1, QStringLiteral("News"), number, address, f.stamp);
                         }));
        f.restore();
        removed = std::min(removed, bench::CpuSecondsOf([&] {
                               DeleteUrlRecord(UrlFilePath(1, 1), number, address);
                           }));
    }
    f.restore();
    state.counters["trash_ms"] = trash * 1e3;
    state.counters["delete_ms"] = removed * 1e3;
    state.counters["x_delete"] = trash / removed;
}
BENCHMARK(TrashDeleteUrl)->Unit(benchmark::kMillisecond);

void TrashRestoreCategory(benchmark::State &state) {
    const TrashFolder &f = folder();
    auto trashed = [&f] {
        f.restore();
        return TrashCategory(1, 1, QStringLiteral("News"), f.stamp).number;
    };
    bool restored = true;
    for (auto _ : state) {
        state.PauseTiming();
        const qint64 item = trashed();
        state.ResumeTiming();
        restored = restored && RestoreTrashItem(1, item, f.stamp).change.changed;
    }
    if (!restored)
        state.SkipWithError("the category was not restored");
    double restore = std::numeric_limits<double>::infinity();
    double floor = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 7; ++i) {
        const qint64 item = trashed();
        restore =
            std::min(restore, bench::CpuSecondsOf([&] { RestoreTrashItem(1, item, f.stamp); }));
        f.restore();
        floor = std::min(floor, bench::CpuSecondsOf([] {
                             bench::RewriteFloor(CategoryIndexPath(1));
                             bench::RewriteFloor(UrlFilePath(1, 1));
                         }));
    }
    f.restore();
    state.counters["restore_ms"] = restore * 1e3;
    state.counters["floor_ms"] = floor * 1e3;
    state.counters["x_floor"] = restore / floor;
}
BENCHMARK(TrashRestoreCategory)->Unit(benchmark::kMillisecond);

void UndoUrlChange(benchmark::State &state) {
    const TrashFolder &f = folder();
    f.restore();
    UserData data;
    data.loadCategories();
    data.loadUrls(1, QStringLiteral("News"));
    data.buildIndex();
    const int number = kMostUrls / 2;
    if (!data.modifyUrl(1, number, TrashFolder::address(number),
                        QStringLiteral("http://www.changed.example/"), QStringLiteral("changed"))
             .changed)
        state.SkipWithError("the URL was not changed");
    bool taken = true;
    for (auto _ : state) {
        taken = taken && data.undo().changed;
        state.PauseTiming();
        taken = taken && data.redo().changed;
        state.ResumeTiming();
    }
    if (!taken)
        state.SkipWithError("the change was not taken back and made again");
    double undo = 0;
    double redo = 0;
    QElapsedTimer timer;
    for (int i = 0; i < 7; ++i) {
        timer.start();
        data.undo();
        undo = std::max(undo, timer.nsecsElapsed() * 1e-6);
        timer.start();
        data.redo();
        redo = std::max(redo, timer.nsecsElapsed() * 1e-6);
    }
    state.counters["undo_ms"] = undo;
    state.counters["redo_ms"] = redo;
    data.forget();
    f.restore();
}
BENCHMARK(UndoUrlChange)->Unit(benchmark::kMillisecond);

} // namespace

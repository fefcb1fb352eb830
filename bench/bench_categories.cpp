// Speed of loading a category index of 2,000 and of 32,767 categories (the
// most a user can have) into the main window's four lists, the memory those
// lists take, and the name look-up on the index of 2,000.
//
// Counters to read (both sides measured in CPU time of this thread, the least
// of 15 runs in alternation):
//   LoadCategories/<n>/x_floor    LoadCategories ("LCD") over decoding the
//                                 same index alone
//   CategoryExistsAbsentName/x_floor
//                                 CategoryExists of a name that is not there
//                                 over decoding the same index alone
//   AddCategoryMost/x_floor       adding a category (the name look-up and
//                                 the append) to an index of 32,766, over
//                                 the floor of any rewrite of that index:
//                                 its bytes read once and written back once
//                                 the safe way (floors.h)
//   RenameCategoryMost/x_floor    renaming the category in the middle of an
//                                 index of 32,767 (the name look-up and the
//                                 rewrite), over the same floor
//   CategoryListsMemory/kept_MB   resident memory the four lists keep after
//                                 loading 32,767 categories, over the
//                                 signed-in window with empty lists (freed
//                                 heap is handed back to the system before
//                                 both readings, so neither counts it)
//   CategoryListsMemory/peak_MB   the highest resident memory during the
//                                 load over the same base (VmHWM, reset
//                                 through /proc/self/clear_refs just before)

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "userdata/sortedlist.h"

#include "floors.h"
#include "memory.h"
#include "ratio.h"
#include "window.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <random>

using namespace modMain;

namespace {

constexpr int kCategories = 2000;
constexpr int kMostCategories = 32767;
const QString kPassword = QStringLiteral("bench pw");

// User 1's folder with an index of `count` categories, added in shuffled
// name order, all written under the benchmark's password. Made once per
// count.
class CategoryFolder {
public:
    explicit CategoryFolder(int count) {
        if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("USR1"))) {
            std::fprintf(stderr, "no temporary folder\n");
            std::abort();
        }
        use();
        std::vector<int> order(count);
        for (int i = 0; i < count; ++i)
            order[i] = i + 1;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        // Names of one length: "Category 0001" to "Category 2000".
        const int digits = int(QString::number(count).size());
        QStringList lines;
        for (int n = 1; n <= count; ++n)
            lines << CategoryRecordLine(
                n, QStringLiteral("Category %1").arg(order[n - 1], digits, 10, QLatin1Char('0')),
                PassStamp);
        if (const IoError err = RewriteFile(CategoryIndexPath(1), lines); err.failed()) {
            std::fprintf(stderr, "%s\n", qPrintable(err.message()));
            std::abort();
        }
        content_ = FileBytes(CategoryIndexPath(1));
    }
    // Puts the index back as it was made (the same file, so its folder keeps
    // its entries).
    void restore() const {
        QFile file(CategoryIndexPath(1));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content_) != content_.size()) {
            std::fprintf(stderr, "the index could not be put back\n");
            std::abort();
        }
    }
    // Signs user 1 in on this folder.
    void use() {
        SetProgramFolder(dir_.path());
        UserNo = 1;
        // Always: the window is shared with other benchmarks.
        PassStamp = MakePassStamp(kPassword);
    }

private:
    static QByteArray FileBytes(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    QByteArray content_;
};

CategoryFolder &folder(int count = kCategories) {
    static std::map<int, std::unique_ptr<CategoryFolder>> folders;
    std::unique_ptr<CategoryFolder> &f = folders[count];
    if (!f)
        f = std::make_unique<CategoryFolder>(count);
    f->use();
    return *f;
}

// Sign-out empties all four lists before the next sign-in loads them.
void emptyCategoryLists(frmMain &main) {
    main.CategoryModel->clear();
}

bool listsHold(const frmMain &main, int count) {
    return main.lstCatView->count() == count && main.cmbUrlCat->count() == count &&
           main.cmbCatMod->count() == count && main.cmbCatDel->count() == count;
}

// Resident memory in kilobytes once freed heap has gone back to the system.
qint64 residentKilobytes() {
    malloc_trim(0);
    return bench::StatusKilobytes("VmRSS");
}

// The floor: read every line of the index and decode what loading needs
// from it: key, name and owner stamp.
qsizetype decodeIndex() {
    qsizetype chars = 0;
    const IoError err = ForEachLine(CategoryIndexPath(1), [&](const QString &line) {
        const QStringList fields = CategoryFields(line, 4);
        chars += DecodeField(fields.value(0)).size() + DecodeField(fields.value(1)).size() +
                 DecryptText(SwapPairs(fields.value(2))).size();
        return true;
    });
    return err.failed() ? -1 : chars;
}

void BM_DecodeCategoryIndex(benchmark::State &state) {
    const int count = int(state.range(0));
    folder(count);
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeIndex());
    state.counters["records"] = count;
}
BENCHMARK(BM_DecodeCategoryIndex)
    ->Arg(kCategories)
    ->Arg(kMostCategories)
    ->Unit(benchmark::kMillisecond);

// The reading half of LoadCategories: the owner test on every line and the
// owned records decoded, without the lists.
void BM_ReadCategoryIndex(benchmark::State &state) {
    folder();
    for (auto _ : state) {
        CategoryIndexRead read;
        benchmark::DoNotOptimize(ReadCategoryIndex(1, PassStamp, &read));
        benchmark::DoNotOptimize(read.owned.size());
    }
    state.counters["records"] = kCategories;
}
BENCHMARK(BM_ReadCategoryIndex)->Unit(benchmark::kMillisecond);

void BM_LoadCategories(benchmark::State &state) {
    const int count = int(state.range(0));
    frmMain &main = bench::BenchWindow();
    folder(count);
    for (auto _ : state) {
        state.PauseTiming();
        emptyCategoryLists(main);
        state.ResumeTiming();
        DoCommand(QStringLiteral("LCD"));
    }
    if (!listsHold(main, count) || !screens::MsgBox::shown().isEmpty())
        state.SkipWithError("the lists were not filled");
    // The least CPU time of each side, timed in alternation.
    const int rounds = count > kCategories ? 5 : 15;
    double load = 1e300, floor = 1e300;
    for (int i = 0; i < rounds; ++i) {
        emptyCategoryLists(main);
        load = std::min(load, bench::CpuSecondsOf([] { DoCommand(QStringLiteral("LCD")); }));
        floor = std::min(floor, bench::CpuSecondsOf([] { decodeIndex(); }));
    }
    emptyCategoryLists(main);
    state.counters["records"] = count;
    state.counters["load_ms"] = load * 1e3;
    state.counters["floor_ms"] = floor * 1e3;
    state.counters["x_floor"] = load / floor;
}
BENCHMARK(BM_LoadCategories)->Arg(kCategories)->Arg(kMostCategories)->Unit(benchmark::kMillisecond);

// What the four lists of 32,767 categories keep in memory.
void BM_CategoryListsMemory(benchmark::State &state) {
    frmMain &main = bench::BenchWindow();
    folder(kMostCategories);
    qint64 keptKb = 0;
    qint64 peakKb = 0;
    for (auto _ : state) {
        emptyCategoryLists(main);
        const qint64 base = residentKilobytes();
        if (base < 0 || !bench::ResetPeakMemory()) {
            state.SkipWithError("no memory figures in /proc/self");
            break;
        }
        DoCommand(QStringLiteral("LCD"));
        const qint64 peak = bench::StatusKilobytes("VmHWM");
        keptKb = std::max(keptKb, residentKilobytes() - base);
        peakKb = std::max(peakKb, peak - base);
        if (!listsHold(main, kMostCategories)) {
            state.SkipWithError("the lists were not filled");
            break;
        }
    }
    emptyCategoryLists(main);
    state.counters["records"] = kMostCategories;
    state.counters["kept_MB"] = double(keptKb) / 1024.0;
    state.counters["peak_MB"] = double(peakKb) / 1024.0;
}
BENCHMARK(BM_CategoryListsMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_CategoryExistsAbsentName(benchmark::State &state) {
    folder();
    // Same length as the stored names, so every record is compared in full.
    const QString absent = QStringLiteral("Category 9999");
    bool exists = false;
    int next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(CategoryExists(1, absent, &exists, &next));
    if (next != kCategories + 1)
        state.SkipWithError("CategoryExists did not read every record");
    state.counters["records"] = kCategories;
    state.counters["x_floor"] = bench::MinCpuRatio(
        15, [&] { benchmark::DoNotOptimize(CategoryExists(1, absent, &exists, &next)); },
        [] { decodeIndex(); });
}
BENCHMARK(BM_CategoryExistsAbsentName)->Unit(benchmark::kMillisecond);

// Times `change` and the floor, the index read once and written back once
// (floors.h), in alternation, the index put back before every run, and reports both and
// their ratio.
template <typename Change>
void againstRewriteFloor(benchmark::State &state, const CategoryFolder &index, Change &&change) {
    double changeTime = std::numeric_limits<double>::infinity();
    double floorTime = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 7; ++i) {
        index.restore();
        changeTime = std::min(changeTime, bench::CpuSecondsOf(change));
        index.restore();
        floorTime = std::min(
            floorTime, bench::CpuSecondsOf([] { bench::RewriteFloor(CategoryIndexPath(1)); }));
    }
    index.restore();
    state.counters["change_ms"] = changeTime * 1e3;
    state.counters["floor_ms"] = floorTime * 1e3;
    state.counters["x_floor"] = changeTime / floorTime;
}

// What the Add Category panel has the core do: the name looked up, then the
// category appended under the next number, in one transaction.
Change addCategory(const QString &name) {
    return AppendCategory(1, name, PassStamp);
}

// What the Modify Category panel has the core do.
Change renameCategory(int number, const QString &name) {
    return RenameCategory(1, number, name, PassStamp);
}

void BM_AddCategoryMost(benchmark::State &state) {
    const CategoryFolder &index = folder(kMostCategories - 1);
    // As long as the stored names, so that every record is compared in full.
    const QString name = QStringLiteral("Category 99999");
    bool added = true;
    for (auto _ : state) {
        state.PauseTiming();
        index.restore();
        state.ResumeTiming();
        const Change change = addCategory(name);
        added = added && change.changed && change.number == kMostCategories;
    }
    if (!added)
        state.SkipWithError("the category was not added");
    state.counters["records"] = kMostCategories - 1;
    againstRewriteFloor(state, index, [&] { addCategory(name); });
}
BENCHMARK(BM_AddCategoryMost)->Unit(benchmark::kMillisecond);

void BM_RenameCategoryMost(benchmark::State &state) {
    const CategoryFolder &index = folder(kMostCategories);
    const QString name = QStringLiteral("Category 99999");
    bool renamed = true;
    for (auto _ : state) {
        state.PauseTiming();
        index.restore();
        state.ResumeTiming();
        renamed = renamed && renameCategory(kMostCategories / 2, name).changed;
    }
    if (!renamed)
        state.SkipWithError("the category was not renamed");
    state.counters["records"] = kMostCategories;
    againstRewriteFloor(state, index, [&] { renameCategory(kMostCategories / 2, name); });
}
BENCHMARK(BM_RenameCategoryMost)->Unit(benchmark::kMillisecond);

} // namespace

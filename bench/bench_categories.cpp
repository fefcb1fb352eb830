// Speed of loading a category index of 2,000 categories into the main
// window's four lists, and of the name look-up on that index.
//
// Counters to read (both sides measured in CPU time of this thread, the least
// of 15 runs in alternation):
//   LoadCategories/x_floor        LoadCategories ("LCD") over decoding the
//                                 same index alone
//   CategoryExistsAbsentName/x_floor
//                                 CategoryExists of a name that is not there
//                                 over decoding the same index alone

#include "categories/categoryindex.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/accountfile.h"
#include "storage/cipher.h"
#include "storage/records.h"

#include "ratio.h"
#include "window.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace modMain;

namespace {

constexpr int kCategories = 2000;
const QString kPassword = QStringLiteral("bench pw");

// User 1's folder with an index of 2,000 categories, added in shuffled name
// order, all written under the benchmark's password. Made once.
class CategoryFolder {
public:
    CategoryFolder() {
        if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("USR1"))) {
            std::fprintf(stderr, "no temporary folder\n");
            std::abort();
        }
        use();
        std::vector<int> order(kCategories);
        for (int i = 0; i < kCategories; ++i)
            order[i] = i + 1;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        QStringList lines;
        for (int n = 1; n <= kCategories; ++n)
            lines << CategoryRecordLine(
                n, QStringLiteral("Category %1").arg(order[n - 1], 4, 10, QLatin1Char('0')),
                PassStamp);
        if (const IoError err = RewriteFile(CategoryIndexPath(), lines); err.failed()) {
            std::fprintf(stderr, "%s\n", qPrintable(err.message()));
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
    QTemporaryDir dir_;
};

CategoryFolder &folder() {
    static CategoryFolder f;
    f.use();
    return f;
}

// The floor: read every line of the index and decode what loading needs
// from it: key, name and owner stamp.
qsizetype decodeIndex() {
    qsizetype chars = 0;
    const IoError err = ForEachLine(CategoryIndexPath(), [&](const QString &line) {
        const QStringList fields = CategoryFields(line, 4);
        chars += DecodeField(fields.value(0)).size() + DecodeField(fields.value(1)).size() +
                 DecryptText(SwapPairs(fields.value(2))).size();
        return true;
    });
    return err.failed() ? -1 : chars;
}

void BM_DecodeCategoryIndex(benchmark::State &state) {
    folder();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeIndex());
    state.counters["records"] = kCategories;
}
BENCHMARK(BM_DecodeCategoryIndex)->Unit(benchmark::kMillisecond);

// The reading half of LoadCategories: the owner test on every line and the
// owned records decoded, without the lists.
void BM_ReadCategoryIndex(benchmark::State &state) {
    folder();
    for (auto _ : state) {
        CategoryIndexRead read;
        benchmark::DoNotOptimize(ReadCategoryIndex(PassStamp, &read));
        benchmark::DoNotOptimize(read.owned.size());
    }
    state.counters["records"] = kCategories;
}
BENCHMARK(BM_ReadCategoryIndex)->Unit(benchmark::kMillisecond);

void BM_LoadCategories(benchmark::State &state) {
    frmMain &main = bench::BenchWindow();
    folder();
    // Sign-out empties all four lists before the next sign-in loads them.
    auto emptyLists = [&main] {
        main.cmbCatDel->clear();
        main.cmbCatMod->clear();
        main.lstCatView->clear();
        main.cmbUrlCat->clear();
    };
    for (auto _ : state) {
        state.PauseTiming();
        emptyLists();
        state.ResumeTiming();
        DoCommand(QStringLiteral("LCD"));
    }
    if (main.lstCatView->count() != kCategories || main.cmbUrlCat->count() != kCategories ||
        !screens::MsgBox::shown().isEmpty())
        state.SkipWithError("the lists were not filled");
    // The least CPU time of each side, timed in alternation.
    double load = 1e300, floor = 1e300;
    for (int i = 0; i < 15; ++i) {
        emptyLists();
        load = std::min(load, bench::CpuSecondsOf([] { DoCommand(QStringLiteral("LCD")); }));
        floor = std::min(floor, bench::CpuSecondsOf([] { decodeIndex(); }));
    }
    state.counters["records"] = kCategories;
    state.counters["x_floor"] = load / floor;
}
BENCHMARK(BM_LoadCategories)->Unit(benchmark::kMillisecond);

void BM_CategoryExistsAbsentName(benchmark::State &state) {
    folder();
    // Same length as the stored names, so every record is compared in full.
    const QString absent = QStringLiteral("Category 9999");
    bool exists = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(CategoryExists(absent, &exists));
    if (NextCatNo != kCategories + 1)
        state.SkipWithError("CategoryExists did not read every record");
    state.counters["records"] = kCategories;
    state.counters["x_floor"] = bench::MinCpuRatio(
        15, [&] { benchmark::DoNotOptimize(CategoryExists(absent, &exists)); },
        [] { decodeIndex(); });
}
BENCHMARK(BM_CategoryExistsAbsentName)->Unit(benchmark::kMillisecond);

} // namespace

// The file-name look-up in a large user folder: the first URL of a category
// and a category delete in a folder of 32,770 entries, against the same
// operation in a folder of 10 entries. Both folders hold the same category
// index (categories 1 to 8) and the same URL file of category 5; the large
// one holds 32,760 more files of no category.
//
// Counters to read (both sides in CPU time of this thread, the least of
// several runs in alternation; see ratio.h):
//   FirstUrlOfCategory/x_floor  AppendUrl of the first URL of category 8
//                               (no URL file yet), its path built by the
//                               path rule, in the large folder over the same
//                               in the small folder
//   DeleteCategory/x_floor      DeleteCategoryFiles of category 5 (index
//                               rewritten, URL file removed), likewise
//   floor_ms / large_ms         the operation in the small / large folder
//   RecoverUserFolder/x_floor   the sign-in's recovery of the large folder
//                               (nothing to mend) over its floor: listing
//                               the folder and opening, reading the last
//                               byte of and closing every file
//   recover_ms, floor_ms        those two
// Everything the operation changed is put back, outside the timing, before
// the next run.

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "recovery/recovery.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

using namespace modMain;

namespace {

constexpr int kSmallFolder = 10;
constexpr int kLargeFolder = 32770;
constexpr int kIndexedCategories = 8;
constexpr int kCategoryWithUrls = 5;
constexpr int kCategoryWithoutUrls = 8;

[[noreturn]] void giveUp(const QString &what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::abort();
}

void writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        giveUp(QStringLiteral("could not write ") + path);
}

// User 1's folder with `entries` entries: the category index, the URL file
// of category 5 and files named like the URL files of categories 9 and up.
class UserFolder {
public:
    explicit UserFolder(int entries) {
        if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("USR1")))
            giveUp(QStringLiteral("no temporary folder"));
        use();
        for (int n = 1; n <= kIndexedCategories; ++n)
            index_ +=
                CategoryRecordLine(n, QStringLiteral("Category %1").arg(n), PassStamp).toLatin1() +
                "\r\n";
        for (int n = 1; n <= 3; ++n)
            urls_ += UrlRecordLine(n, QStringLiteral("http://www.example.com/%1").arg(n),
                                   QStringLiteral("page %1").arg(n), PassStamp)
                         .toLatin1() +
                     "\r\n";
        restore();
        const QString folder = UserFolderPath(1);
        for (int k = kIndexedCategories + 1; k <= kIndexedCategories + entries - 2; ++k)
            writeFile(folder + u'/' + UrlFileName(k), QByteArray());
        if (QDir(folder).entryList(QDir::Files).size() != entries)
            giveUp(QStringLiteral("the folder does not hold %1 entries").arg(entries));
    }

    // Signs user 1 in on this folder.
    void use() {
        SetProgramFolder(dir_.path());
        UserNo = 1;
        PassStamp = MakePassStamp(QStringLiteral("benchmark"));
    }

    // The index and the URL file of category 5 as they were made, and no URL
    // file of category 8.
    void restore() {
        const QString folder = UserFolderPath(1);
        writeFile(folder + QStringLiteral("/CAT.DAT"), index_);
        writeFile(folder + u'/' + UrlFileName(kCategoryWithUrls), urls_);
        QFile::remove(folder + u'/' + UrlFileName(kCategoryWithoutUrls));
    }

private:
    QTemporaryDir dir_;
    QByteArray index_;
    QByteArray urls_;
};

UserFolder &folder(int entries) {
    static UserFolder small(kSmallFolder);
    static UserFolder large(kLargeFolder);
    UserFolder &f = entries == kSmallFolder ? small : large;
    f.use();
    return f;
}

Change firstUrl() {
    return AppendUrl(UrlFilePath(UserNo, kCategoryWithoutUrls),
                     QStringLiteral("http://www.example.org/first"), QStringLiteral("first"),
                     PassStamp);
}

Change deleteCategory() {
    return DeleteCategoryFiles(1, kCategoryWithUrls);
}

// Times `change` in the large folder and in the small one in alternation,
// each folder put back before every run, and reports both and their ratio.
void largeAgainstSmall(benchmark::State &state, Change (*change)()) {
    for (auto _ : state) {
        state.PauseTiming();
        folder(kLargeFolder).restore();
        state.ResumeTiming();
        if (const Change c = change(); c.failed()) {
            state.SkipWithError(qPrintable(c.error.message()));
            return;
        }
    }
    double large = std::numeric_limits<double>::infinity();
    double small = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 15; ++i) {
        folder(kLargeFolder).restore();
        large = std::min(large, bench::CpuSecondsOf(change));
        folder(kSmallFolder).restore();
        small = std::min(small, bench::CpuSecondsOf(change));
    }
    folder(kSmallFolder).restore();
    folder(kLargeFolder).restore();
    state.counters["entries"] = kLargeFolder;
    state.counters["large_ms"] = large * 1e3;
    state.counters["floor_ms"] = small * 1e3;
    state.counters["x_floor"] = large / small;
}

void BM_FirstUrlOfCategory(benchmark::State &state) {
    largeAgainstSmall(state, firstUrl);
}
BENCHMARK(BM_FirstUrlOfCategory)->Unit(benchmark::kMillisecond);

void BM_DeleteCategory(benchmark::State &state) {
    largeAgainstSmall(state, deleteCategory);
}
BENCHMARK(BM_DeleteCategory)->Unit(benchmark::kMillisecond);

// What any look at every file of a folder costs: the listing, and one open,
// read of the last byte and close per file.
void lookAtEveryFile(const QString &folder) {
    QStringList names;
    if (ListFolder(folder, &names).failed())
        giveUp(QStringLiteral("could not list ") + folder);
    for (const QString &name : std::as_const(names)) {
        const int fd =
            ::open(QFile::encodeName(folder + u'/' + name).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char last = 0;
        benchmark::DoNotOptimize(::pread(fd, &last, 1, 0));
        ::close(fd);
    }
}

void BM_RecoverUserFolder(benchmark::State &state) {
    folder(kLargeFolder).restore();
    const QString user = UserFolderPath(1);
    for (auto _ : state) {
        if (const IoError err = RecoverUserFolder(1); err.failed()) {
            state.SkipWithError(qPrintable(err.message()));
            return;
        }
    }
    bench::InterleavedMinimum times;
    for (int i = 0; i < 7; ++i)
        times.round([] { RecoverUserFolder(1); }, [&] { lookAtEveryFile(user); });
    state.counters["entries"] = kLargeFolder;
    state.counters["recover_ms"] = times.first() * 1e3;
    state.counters["floor_ms"] = times.second() * 1e3;
    state.counters["x_floor"] = times.first() / times.second();
}
BENCHMARK(BM_RecoverUserFolder)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// Writing an import of 10,000 URLs in 100 new categories, against the floor
// of appending the same records with the program's own writers; and whole
// imports of files of the shapes that cost most, in proportion to their size
// (below).
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
#include "bookmarks/bookmarkfile.h"
#include "bookmarks/importplanner.h"
#include "bookmarks/importwrite.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "memory.h"
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
#include <malloc.h>
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

// ---- Files of any shape: time and memory in proportion to the file ----------
//
// A whole import of a bookmark file into a user with no categories: reading
// it, planning it (the file's folders and links dropped once the plan is
// made, as the Import Bookmarks panel drops them) and writing it, for the
// shapes that cost most per byte:
//   DeepFile    30,000 folders, each inside the one before, a link in each
//   BareNesting 100,000 folders, each inside the one before, named by one
//               letter, with nothing else (29 bytes a folder)
//   WideFile    100,000 links in 10 folders side by side, a third with a note
//   TinyLinks   30,000 links of 32 bytes each ("<DT><A HREF="http://a/1">1</A>"),
//               on one line: the shortest a link can be. Its records, as they
//               are written, are already six times the file (every character
//               stored as six digits, every record with its key and its
//               owner stamp), and the journal takes a file's records in one
//               write, so this shape takes about 20 times its size
// Counters to read:
//   file_MB              the file's size
//   import_ns_per_byte   CPU time of the whole import over the file's size (the
//                        least of 3 runs)
//   read_ns_per_byte     the same for reading and planning alone
//   x_linear             import_ns_per_byte of the file over that of a file of
//                        the same shape a tenth of its size (1 for time in
//                        proportion to the size; a cost that grows with the
//                        square of the size gives about 10)
//   peak_x_file          the most memory the import took (the process's peak
//                        resident memory over what it held before) over the
//                        file's size; at most 10 but for TinyLinks

const QByteArray kFileHead = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                             "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                             "charset=UTF-8\">\n"
                             "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";

QByteArray DeepFile(int levels) {
    QByteArray out = kFileHead;
    for (int level = 1; level <= levels; ++level) {
        const QByteArray n = QByteArray::number(level);
        out += "<DT><H3 ADD_DATE=\"1700000000\">Folder " + n + "</H3>\n<DL><p>\n" +
               "<DT><A HREF=\"https://deep.example/" + n + "\" ADD_DATE=\"1700000000\">Link " + n +
               "</A>\n";
    }
    for (int level = 0; level <= levels; ++level)
        out += "</DL><p>\n";
    return out;
}

QByteArray BareNesting(int levels) {
    QByteArray out = kFileHead;
    for (int level = 0; level < levels; ++level)
        out += "<DT><H3>f</H3><DL><p>";
    for (int level = 0; level <= levels; ++level)
        out += "</DL><p>";
    return out + "\n";
}

QByteArray WideFile(int links) {
    QByteArray out = kFileHead;
    constexpr int kSideBySide = 10;
    for (int folder = 0; folder < kSideBySide; ++folder) {
        out += "    <DT><H3 ADD_DATE=\"1700000000\">Folder " + QByteArray::number(folder) +
               "</H3>\n    <DL><p>\n";
        for (int i = folder; i < links; i += kSideBySide) {
            const QByteArray n = QByteArray::number(i);
            out += "        <DT><A HREF=\"https://www.example" + QByteArray::number(i % 997) +
                   ".com/articles/" + n + "\" ADD_DATE=\"1700000000\">Article " + n +
                   " on things</A>\n";
            if (i % 3 == 0)
                out += "        <DD>A note about article " + n + "\n";
        }
        out += "    </DL><p>\n";
    }
    out += "</DL><p>\n";
    return out;
}

// User 1 of an empty program folder, and a bookmark file to import into it.
class FileImport {
public:
    explicit FileImport(const QByteArray &bytes) : size_(bytes.size()) {
        if (!dir_.isValid() || !QDir(dir_.path()).mkdir(QStringLiteral("USR1")))
            giveUp("no temporary folder");
        path_ = dir_.filePath(QStringLiteral("bookmarks.html"));
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            giveUp("cannot write the bookmark file");
    }

    qint64 size() const { return size_; }

    // One import, from an empty user folder; the CPU seconds of reading and
    // planning, and of the whole, and the peak memory it took in bytes.
    struct Run {
        double readCpu = 0;
        double importCpu = 0;
        double peakBytes = 0;
    };
    Run run() const {
        SetProgramFolder(dir_.path());
        QDir folder(UserFolderPath(1));
        for (const QString &name : folder.entryList(QDir::Files))
            folder.remove(name);
        ::malloc_trim(0); // what the runs before freed is not counted as in use
        if (!bench::ResetPeakMemory())
            giveUp("cannot reset the peak memory");
        const qint64 before = bench::StatusKilobytes("VmRSS");
        Run result;
        const double start = bench::ThreadCpuSeconds();
        ImportPreview preview;
        {
            BookmarkFile file;
            if (ReadBookmarkFile(path_, &file).failed() ||
                PlanImportForUser(1, stamp_, file, &preview).failed())
                giveUp("the file could not be read or planned");
        }
        result.readCpu = bench::ThreadCpuSeconds() - start;
        const ImportResult change = ImportCategories(1, stamp_, preview.plan);
        if (change.failed() || change.urlsWritten != preview.urls)
            giveUp("the import failed");
        result.importCpu = bench::ThreadCpuSeconds() - start;
        result.peakBytes = double(bench::StatusKilobytes("VmHWM") - before) * 1024.0;
        SetProgramFolder(QString());
        return result;
    }

private:
    QTemporaryDir dir_;
    QString path_;
    qint64 size_ = 0;
    QString stamp_ = MakePassStamp(QStringLiteral("benchmark"));
};

void ImportOfShape(benchmark::State &state, QByteArray (*shape)(int), int count) {
    const FileImport full(shape(count));
    const FileImport tenth(shape(count / 10));
    for (auto _ : state)
        full.run();
    double read = std::numeric_limits<double>::infinity(), import = read, tenthImport = read;
    double peak = 0;
    for (int round = 0; round < 3; ++round) {
        const FileImport::Run r = full.run();
        read = std::min(read, r.readCpu);
        import = std::min(import, r.importCpu);
        peak = std::max(peak, r.peakBytes);
        tenthImport = std::min(tenthImport, tenth.run().importCpu);
    }
    const double size = double(full.size());
    state.counters["file_MB"] = size / (1024.0 * 1024.0);
    state.counters["import_ns_per_byte"] = import * 1e9 / size;
    state.counters["read_ns_per_byte"] = read * 1e9 / size;
    state.counters["x_linear"] = (import / size) / (tenthImport / double(tenth.size()));
    state.counters["peak_x_file"] = peak / size;
}

void DeepFile30000Levels(benchmark::State &state) {
    ImportOfShape(state, DeepFile, 30000);
}
BENCHMARK(DeepFile30000Levels)->Iterations(1)->Unit(benchmark::kMillisecond);

void BareNesting100000Levels(benchmark::State &state) {
    ImportOfShape(state, BareNesting, 100000);
}
BENCHMARK(BareNesting100000Levels)->Iterations(1)->Unit(benchmark::kMillisecond);

QByteArray TinyLinks(int links) {
    QByteArray out = kFileHead;
    for (int i = 0; i < links; ++i)
        out += "<DT><A HREF=\"http://a/" + QByteArray::number(i) + "\">" +
               QByteArray::number(i % 10) + "</A>";
    return out;
}

void TinyLinks30000(benchmark::State &state) {
    ImportOfShape(state, TinyLinks, 30000);
}
BENCHMARK(TinyLinks30000)->Iterations(1)->Unit(benchmark::kMillisecond);

void WideFile100000Links(benchmark::State &state) {
    ImportOfShape(state, WideFile, 100000);
}
BENCHMARK(WideFile100000Links)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

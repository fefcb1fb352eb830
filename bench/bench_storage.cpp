// Speed of the cipher and of the account file scan.
//
// Counters to read:
//   DecryptTextBySearch/table_speedup  how many times faster the table
//                                      decoder is on the same megabyte
//   FindAccountAbsentName/x_floor      FindAccount time over the time of just
//                                      reading and splitting the same file

#include "session/modMain.h"
#include "storage/accountfile.h"
#include "storage/cipher.h"
#include "storage/records.h"

#include <benchmark/benchmark.h>

#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace modMain;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of `runs` timings of `work`, in seconds.
template <typename Work> double bestOf(int runs, Work work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

QString plainText(qsizetype length) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> code(32, 122);
    QString text;
    text.reserve(length);
    while (text.size() < length)
        text += QChar(code(random));
    return text;
}

// One megabyte of ciphertext.
const QString &megabyteCipher() {
    static const QString cipher = EncryptText(plainText((1 << 20) / 6 + 1));
    return cipher;
}

// DecryptText, walking the text the same way but deciphering every group by
// the ascending search.
QString decryptBySearch(const QString &line) {
    QString result;
    qsizetype i = 0;
    while (i < line.size()) {
        const QChar c = line[i];
        if (c >= u'0' && c <= u'9') {
            result += DecryptCoreBySearch(QStringView(line).mid(i, 6));
            i += 6;
        } else if (c == u'\r' && i + 1 < line.size() && line[i + 1] == u'\n') {
            result += kLineEnd;
            i += 2;
        } else {
            i += 6;
        }
    }
    return result;
}

void BM_DecryptTextByTable(benchmark::State &state) {
    const QString &cipher = megabyteCipher();
    for (auto _ : state)
        benchmark::DoNotOptimize(DecryptText(cipher));
    state.SetBytesProcessed(state.iterations() * cipher.size());
}
BENCHMARK(BM_DecryptTextByTable)->Unit(benchmark::kMillisecond);

void BM_DecryptTextBySearch(benchmark::State &state) {
    const QString &cipher = megabyteCipher();
    QString bySearch;
    double searchSeconds = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        bySearch = decryptBySearch(cipher);
        searchSeconds += secondsSince(start);
        benchmark::DoNotOptimize(bySearch);
    }
    state.SetBytesProcessed(state.iterations() * cipher.size());

    QString byTable;
    const double tableSeconds = bestOf(5, [&] { byTable = DecryptText(cipher); });
    if (byTable != bySearch)
        state.SkipWithError("the table and the search decode the text differently");
    state.counters["table_speedup"] = searchSeconds / double(state.iterations()) / tableSeconds;
}
BENCHMARK(BM_DecryptTextBySearch)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_EncryptText(benchmark::State &state) {
    const QString plain = plainText(64 * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(EncryptText(plain));
    state.SetBytesProcessed(state.iterations() * plain.size());
    state.counters["chars_per_second"] =
        benchmark::Counter(double(state.iterations() * plain.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncryptText)->Unit(benchmark::kMillisecond);

// An account file of 10,000 users in a folder of its own, made once.
class AccountFolder {
public:
    static constexpr int kUsers = 10000;

    AccountFolder() {
        if (!dir_.isValid()) {
            std::fprintf(stderr, "no temporary folder\n");
            std::abort();
        }
        SetProgramFolder(dir_.path());
        QStringList lines;
        lines.reserve(kUsers);
        for (int n = 1; n <= kUsers; ++n) {
            const QString number = QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0'));
            lines << AccountRecordLine(n, QStringLiteral("User") + number,
                                       QStringLiteral("Pass") + number);
        }
        IoError err;
        if (!RewriteFile(AccountFilePath(), lines, &err)) {
            std::fprintf(stderr, "%s\n", qPrintable(err.message(QStringLiteral("write"))));
            std::abort();
        }
    }

private:
    QTemporaryDir dir_;
};

// The folder of the account file; made on first use.
QString accountFolderPath() {
    static AccountFolder folder; // points ProgramFolder() at it
    static const QString path = ProgramFolder();
    return path;
}

// The floor: read every line of the account file and split it into fields.
qsizetype readAndSplit() {
    QStringList lines;
    IoError err;
    if (!ReadLines(AccountFilePath(), &lines, &err))
        return -1;
    qsizetype fields = 0;
    for (const QString &line : std::as_const(lines))
        fields += SplitRecord(line).size();
    return fields;
}

void BM_ReadAndSplitAccountFile(benchmark::State &state) {
    SetProgramFolder(accountFolderPath());
    for (auto _ : state)
        benchmark::DoNotOptimize(readAndSplit());
    state.counters["records"] = AccountFolder::kUsers;
}
BENCHMARK(BM_ReadAndSplitAccountFile)->Unit(benchmark::kMillisecond);

void BM_FindAccountAbsentName(benchmark::State &state) {
    SetProgramFolder(accountFolderPath());
    // Same length as the stored names, so every record is compared in full.
    const QString absent = QStringLiteral("User99999");
    double findSeconds = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(FindAccount(absent));
        findSeconds += secondsSince(start);
    }
    if (NextUserNo != AccountFolder::kUsers + 1)
        state.SkipWithError("FindAccount did not read every record");

    const double floorSeconds = bestOf(5, [] { benchmark::DoNotOptimize(readAndSplit()); });
    state.counters["records"] = AccountFolder::kUsers;
    state.counters["x_floor"] = findSeconds / double(state.iterations()) / floorSeconds;
}
BENCHMARK(BM_FindAccountAbsentName)->Unit(benchmark::kMillisecond);

} // namespace

// Speed of the cipher (the account file scan: bench_accounts.cpp).
//
// Texts are counted in characters (UTF-16 code units): the ciphertext of a
// million characters takes two million bytes.
//
// Counters to read (every ratio divides the least CPU time of one piece of
// work by the least CPU time of the other, the two run in alternation; see
// ratio.h):
//   DecryptTextByTable/x_floor         DecryptText over the bare loop that
//                                      parses each six-digit group and looks
//                                      it up in the table (the floor)
//   DecryptTextBySearch/table_speedup  the ascending search over DecryptText,
//                                      on the same text

#include "ratio.h"

#include "session/modMain.h"
#include "storage/cipher.h"
#include "storage/records.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace modMain;

namespace {

// Characters handled per second, as a rate counter.
void countCharacters(benchmark::State &state, qsizetype perIteration) {
    state.counters["chars_per_second"] = benchmark::Counter(
        double(state.iterations()) * double(perIteration), benchmark::Counter::kIsRate);
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

// Ciphertext of a little over a million (2^20) characters: groups only.
const QString &millionCharacterCipher() {
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

// The floor's own decoding table, made from the digits every code gives
// under every key; the lowest code wins where two share their digits.
struct FloorTable {
    std::array<std::array<quint8, 10000>, 16> code{};

    FloorTable() {
        for (int key = 1; key <= 15; ++key) {
            code[key].fill(123);
            for (int c = 122; c >= 32; --c)
                code[key][KeyDigits(key, c).toInt()] = quint8(c);
        }
    }
};

// The least a decoder can do: take each six-digit group as it comes, with no
// test of any kind, and look its character up once.
QString decryptFloor(const QString &cipher, const FloorTable &table) {
    const qsizetype groups = cipher.size() / 6;
    QString plain(groups, Qt::Uninitialized);
    const char16_t *in = reinterpret_cast<const char16_t *>(cipher.constData());
    QChar *out = plain.data();
    for (qsizetype g = 0; g < groups; ++g, in += 6) {
        const unsigned key = (in[2] - u'0') * 10u + (in[3] - u'0');
        const unsigned target =
            (in[0] - u'0') * 1000u + (in[1] - u'0') * 100u + (in[4] - u'0') * 10u + (in[5] - u'0');
        out[g] = QChar(char16_t(table.code[key][target]));
    }
    return plain;
}

void BM_DecryptTextFloor(benchmark::State &state) {
    const QString &cipher = millionCharacterCipher();
    const FloorTable table;
    for (auto _ : state)
        benchmark::DoNotOptimize(decryptFloor(cipher, table));
    countCharacters(state, cipher.size());
}
BENCHMARK(BM_DecryptTextFloor)->Unit(benchmark::kMillisecond);

void BM_DecryptTextByTable(benchmark::State &state) {
    const QString &cipher = millionCharacterCipher();
    for (auto _ : state)
        benchmark::DoNotOptimize(DecryptText(cipher));
    countCharacters(state, cipher.size());

    const FloorTable table;
    QString byText;
    QString byFloor;
    const double ratio = bench::MinCpuRatio(
        15, [&] { byText = DecryptText(cipher); }, [&] { byFloor = decryptFloor(cipher, table); });
    if (byText != byFloor)
        state.SkipWithError("DecryptText and the floor decode the text differently");
    state.counters["x_floor"] = ratio;
}
BENCHMARK(BM_DecryptTextByTable)->Unit(benchmark::kMillisecond);

// Each iteration runs the search and then DecryptText on the same text (the
// reported time is almost all search); the speed-up is the least time of
// the one over the least time of the other.
void BM_DecryptTextBySearch(benchmark::State &state) {
    const QString &cipher = millionCharacterCipher();
    bench::InterleavedMinimum times;
    QString bySearch;
    QString byTable;
    for (auto _ : state) {
        times.round([&] { bySearch = decryptBySearch(cipher); },
                    [&] { byTable = DecryptText(cipher); });
        benchmark::DoNotOptimize(bySearch);
    }
    countCharacters(state, cipher.size());
    if (byTable != bySearch)
        state.SkipWithError("the table and the search decode the text differently");
    state.counters["table_speedup"] = times.ratio();
}
BENCHMARK(BM_DecryptTextBySearch)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_EncryptText(benchmark::State &state) {
    const QString plain = plainText(64 * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(EncryptText(plain));
    countCharacters(state, plain.size());
}
BENCHMARK(BM_EncryptText)->Unit(benchmark::kMillisecond);

} // namespace

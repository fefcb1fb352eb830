// Finding URLs as the user types, over 100,000 URLs in 1,000 categories and
// over 32,767 URLs in one category (addresses and descriptions of ordinary
// length, made from a vocabulary of 400 words).
//
// Counters to read (the arguments are URLs/categories):
//   BuildFindIndex/x_floor   CPU time of building the index from the files
//                        over the CPU time of deciphering the same files
//                        through the same readers (the category index, then
//                        every URL file: owner test, key, address and
//                        description) without keeping anything; the least
//                        of 3 runs on both sides, timed in alternation.
//                        build_ms, floor_ms: the two times
//   FindIndexMemory/x_text   the index's memory (its buffers' capacity) over
//                        the text it holds as deciphered (two bytes a
//                        character); heap_x_text: the same from the heap's
//                        own count (glibc mallinfo2) of what building left
//                        allocated; bytes_per_char: the index's memory per
//                        character of text
//   FindAsYouType/median_ms, worst_ms   CPU time of one keystroke's search
//                        (find(), the result as a list of hits), over six
//                        typing sessions letter by letter with letters taken
//                        back; keystrokes: how many; most_hits: the largest
//                        result. scan_worst_ms: the worst keystroke when
//                        every search starts afresh (no narrowing)
//   SavedInAsYouType/median_us, worst_us   CPU time of one "already saved"
//                        look-up while an address is typed letter by letter
//   FindWindowKeystroke/median_ms, worst_ms   the same typing in the Find URL
//                        menu of the real window (offscreen): the wall time
//                        from a key press until the event loop is idle again
//                        (the box, the search, the list's reset and its
//                        painting); open_ms: opening the menu the first time,
//                        the index read then. hint_median_ms, hint_worst_ms:
//                        the same for each key of an address typed into the
//                        Add URL panel's box, its "already saved" hint shown

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/findindex.h"

#include "ratio.h"
#include "window.h"

#include "screens/foundurls.h"
#include "session/modMain.h"
#include "userdata/sortedlist.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

using namespace modMain;

namespace {

[[noreturn]] void giveUp(const QString &why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    std::abort();
}

// A fixed sequence of numbers, the same on every run.
class Sequence {
public:
    quint32 next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint32 state_ = 12345;
};

QStringList Vocabulary() {
    static const char *const syllables[] = {"ka",  "ri",  "mon", "te",  "sol", "va",  "lin",
                                            "po",  "dar", "ne",  "gu",  "shi", "bel", "or",
                                            "tam", "qu",  "ze",  "fra", "lo",  "mi"};
    QStringList words{"news",  "paper", "recipe", "garden", "bread", "travel", "train", "music",
                      "video", "forum", "wiki",   "docs",   "shop",  "bank",   "mail",  "weather"};
    Sequence seq;
    while (words.size() < 400) {
        QString word;
        const int parts = 2 + seq.below(2);
        for (int i = 0; i < parts; ++i)
            word += QLatin1String(syllables[seq.below(20)]);
        if (!words.contains(word))
            words << word;
    }
    return words;
}

QString Capital(const QString &word) {
    return word.left(1).toUpper() + word.mid(1);
}

// A user folder of `urls` URLs spread evenly over `categories` categories,
// all written under one password.
struct Collection {
    QTemporaryDir dir;
    QString folder;
    QString stamp = MakePassStamp(QStringLiteral("benchmark"));
    QStringList addresses; // every tenth address, for the look-ups

    Collection(int urls, int categories) {
        folder = dir.filePath(QStringLiteral("USR1"));
        if (MakeFolder(folder).failed())
            giveUp(QStringLiteral("cannot make %1").arg(folder));
        const QStringList words = Vocabulary();
        Sequence seq;
        auto word = [&] { return words[seq.below(int(words.size()))]; };
        static const char *const schemes[] = {"http://", "https://", "", "http://www."};
        static const char *const domains[] = {"com", "org", "net", "example", "info"};

        QByteArray index;
        for (int c = 1; c <= categories; ++c) {
            const QString name = QStringLiteral("%1 %2 %3").arg(Capital(word()), word()).arg(c);
            index += CategoryRecordLine(c, name, stamp).toLatin1() + "\r\n";
            const int count = urls / categories + (c <= urls % categories ? 1 : 0);
            QByteArray file;
            for (int n = 1; n <= count; ++n) {
                QString host = word();
                if (seq.below(3) == 0)
                    host += u'-' + word();
                const QString address = QStringLiteral("%1%2.%3/%4/%5")
                                            .arg(QLatin1String(schemes[seq.below(4)]), host,
                                                 QLatin1String(domains[seq.below(5)]), word())
                                            .arg(seq.below(100000));
                if (seq.below(10) == 0)
                    addresses << address;
                QString description;
                if (seq.below(5) != 0) {
                    const int length = 3 + seq.below(10);
                    for (int w = 0; w < length; ++w) {
                        description += w == 0 ? Capital(word()) : word();
                        description += w + 1 == length     ? QStringLiteral(".")
                                       : seq.below(8) == 0 ? QStringLiteral("*QVX*")
                                                           : QStringLiteral(" ");
                    }
                }
                file += UrlRecordLine(n, address, description, stamp).toLatin1() + "\r\n";
            }
            write(JoinPath(folder, UrlFileName(c)), file);
        }
        write(JoinPath(folder, kCategoryIndexName), index);
    }

    static void write(const QString &path, const QByteArray &data) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(data) != data.size())
            giveUp(QStringLiteral("cannot write %1").arg(path));
    }
};

Collection &Files(int urls, int categories) {
    static std::map<std::pair<int, int>, std::unique_ptr<Collection>> made;
    auto &slot = made[{urls, categories}];
    if (!slot)
        slot = std::make_unique<Collection>(urls, categories);
    return *slot;
}

// The same files deciphered through the same readers, nothing kept: the
// least that any index of them costs. Returns the characters deciphered.
qsizetype Decipher(const Collection &files) {
    const OwnerTest owner(files.stamp);
    std::vector<qint64> numbers;
    qsizetype chars = 0;
    ForEachLine(JoinPath(files.folder, kCategoryIndexName), [&](const QString &line) {
        const QStringList fields = CategoryFields(line);
        if (owner.owns(fields.value(2))) {
            numbers.push_back(CategoryNumber(fields));
            chars += DecodeField(fields.value(1)).size();
        }
        return true;
    });
    for (const qint64 n : numbers) {
        ForEachLine(JoinPath(files.folder, UrlFileName(int(n))), [&](const QString &line) {
            const UrlRecord record = DecodeUrlLine(line);
            if (record.fields && owner.owns(record.stampField))
                chars += record.address.size() + record.description().size();
            return true;
        });
    }
    return chars;
}

FindIndex &Built(int urls, int categories) {
    static std::map<std::pair<int, int>, std::unique_ptr<FindIndex>> built;
    auto &slot = built[{urls, categories}];
    if (!slot) {
        slot = std::make_unique<FindIndex>();
        const Collection &files = Files(urls, categories);
        if (const IoError err = slot->build(files.folder, files.stamp); err.failed())
            giveUp(err.message());
    }
    return *slot;
}

void BuildFindIndex(benchmark::State &state) {
    const Collection &files = Files(int(state.range(0)), int(state.range(1)));
    FindIndex index;
    for (auto _ : state) {
        index.build(files.folder, files.stamp);
        benchmark::DoNotOptimize(index.urlCount());
    }
    if (index.urlCount() != state.range(0))
        state.SkipWithError("the index does not hold every URL");
    bench::InterleavedMinimum times;
    for (int i = 0; i < 3; ++i)
        times.round([&] { index.build(files.folder, files.stamp); },
                    [&] { benchmark::DoNotOptimize(Decipher(files)); });
    state.counters["build_ms"] = times.first() * 1e3;
    state.counters["floor_ms"] = times.second() * 1e3;
    state.counters["x_floor"] = times.ratio();
}
BENCHMARK(BuildFindIndex)
    ->Args({100000, 1000})
    ->Args({32767, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

qint64 HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

void FindIndexMemory(benchmark::State &state) {
    const Collection &files = Files(int(state.range(0)), int(state.range(1)));
    const qsizetype chars = Decipher(files);
    FindIndex index;
    qint64 grown = 0;
    for (auto _ : state) {
        index.clear();
        malloc_trim(0);
        const qint64 before = HeapInUse();
        index.build(files.folder, files.stamp);
        grown = HeapInUse() - before;
    }
    if (index.textBytes() != chars * 2)
        state.SkipWithError("the index does not hold the text the files hold");
    state.counters["text_mb"] = double(index.textBytes()) / 1e6;
    state.counters["index_mb"] = double(index.memoryBytes()) / 1e6;
    state.counters["x_text"] = double(index.memoryBytes()) / double(index.textBytes());
    state.counters["heap_x_text"] = double(grown) / double(index.textBytes());
    state.counters["bytes_per_char"] = double(index.memoryBytes()) / double(chars);
}
BENCHMARK(FindIndexMemory)
    ->Args({100000, 1000})
    ->Args({32767, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// What the user types, one keystroke at a time: each text is typed letter
// by letter from the one before it (shorter means letters taken back).
QStringList Keystrokes() {
    const QStringList sessions{QStringLiteral("news paper"),
                               QStringLiteral("news"),
                               QStringLiteral("n"),
                               QStringLiteral("recipe bread"),
                               QStringLiteral(""),
                               QStringLiteral("http://www.garden"),
                               QStringLiteral(""),
                               QStringLiteral("qu"),
                               QStringLiteral("quzefra"),
                               QStringLiteral(""),
                               QStringLiteral("Travel kamon 5"),
                               QStringLiteral(""),
                               QStringLiteral("weather .org"),
                               QStringLiteral("weat"),
                               QStringLiteral("weather .net"),
                               QStringLiteral(""),
                               QStringLiteral("zzzz")};
    QStringList keys;
    QString now;
    for (const QString &target : sessions) {
        while (!target.startsWith(now)) {
            now.chop(1);
            keys << now;
        }
        while (now != target) {
            now += target[now.size()];
            keys << now;
        }
    }
    return keys;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

void FindAsYouType(benchmark::State &state) {
    FindIndex &index = Built(int(state.range(0)), int(state.range(1)));
    const QStringList keys = Keystrokes();
    std::vector<double> times;
    qsizetype most = 0;
    for (auto _ : state) {
        times.clear();
        for (const QString &text : keys) {
            times.push_back(bench::CpuSecondsOf([&] {
                const QList<FindIndex::Hit> hits = index.find(text);
                most = std::max(most, hits.size());
                benchmark::DoNotOptimize(hits.size());
            }));
        }
    }
    double scanWorst = 0;
    for (const QString &text : keys) {
        index.find(QString()); // forgets the earlier searches
        scanWorst = std::max(scanWorst, bench::CpuSecondsOf([&] {
                                 benchmark::DoNotOptimize(index.find(text).size());
                             }));
    }
    state.counters["keystrokes"] = double(keys.size());
    state.counters["most_hits"] = double(most);
    state.counters["median_ms"] = Median(times) * 1e3;
    state.counters["worst_ms"] = *std::max_element(times.begin(), times.end()) * 1e3;
    state.counters["scan_worst_ms"] = scanWorst * 1e3;
}
BENCHMARK(FindAsYouType)
    ->Args({100000, 1000})
    ->Args({32767, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void SavedInAsYouType(benchmark::State &state) {
    FindIndex &index = Built(int(state.range(0)), int(state.range(1)));
    const Collection &files = Files(int(state.range(0)), int(state.range(1)));
    std::vector<double> times;
    int found = 0;
    for (auto _ : state) {
        times.clear();
        found = 0;
        for (int i = 0; i < 20; ++i) {
            const QString &address = files.addresses[i * files.addresses.size() / 20];
            for (qsizetype n = 1; n <= address.size(); ++n) {
                const QString typed = address.left(n);
                QStringList names;
                times.push_back(bench::CpuSecondsOf([&] { names = index.savedIn(typed); }));
                if (n == address.size() && !names.isEmpty())
                    ++found;
            }
        }
    }
    if (found != 20)
        state.SkipWithError("an address was not found");
    state.counters["lookups"] = double(times.size());
    state.counters["median_us"] = Median(times) * 1e6;
    state.counters["worst_us"] = *std::max_element(times.begin(), times.end()) * 1e6;
}
BENCHMARK(SavedInAsYouType)
    ->Args({100000, 1000})
    ->Args({32767, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(3);

// One key pressed in `widget` (a character, or Backspace when `text` is
// empty), and the wall time until the event loop has nothing left to do:
// what the user waits before the window answers the next key.
double StallOfKey(QWidget *widget, const QString &text) {
    const int key = text.isEmpty() ? Qt::Key_Backspace : Qt::Key_unknown;
    QElapsedTimer timer;
    timer.start();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &release);
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e9;
}

// Types each text of `texts` in turn into `box`, key by key (each differs
// from the one before by a letter added or taken back at the end); the
// stall of each key.
void TypeKeys(QWidget *box, const QStringList &texts, std::vector<double> *stalls) {
    QString now;
    for (const QString &next : texts) {
        const QString key = next.size() > now.size() ? QString(next.back()) : QString();
        stalls->push_back(StallOfKey(box, key));
        now = next;
    }
}

void FindWindowKeystroke(benchmark::State &state) {
    const Collection &files = Files(int(state.range(0)), int(state.range(1)));
    frmMain &main = bench::BenchWindow();
    main.show();
    SetProgramFolder(files.dir.path());
    UserNo = 1;
    PassStamp = files.stamp;
    main.cmdURL->setEnabled(true);
    DoCommand(QStringLiteral("LCD"));
    const QStringList keys = Keystrokes();
    std::vector<double> stalls;
    std::vector<double> hints;
    double open = 0;
    qsizetype found = 0;
    for (auto _ : state) {
        main.ForgetFoundUrls();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        main.cmdUrlViewF_Click();
        QCoreApplication::processEvents();
        open = double(timer.nsecsElapsed()) / 1e9;
        stalls.clear();
        TypeKeys(main.txtUrlFind, keys, &stalls);
        found = main.lstUrlFind->model()->rowCount();

        hints.clear();
        main.cmdURL_Click();
        main.cmdUrlViewA_Click();
        for (int i = 0; i < 10; ++i) {
            const QString &address = files.addresses[i * files.addresses.size() / 10];
            main.txtUrlAdd->setText(QString());
            QStringList typed;
            for (qsizetype n = 1; n <= address.size(); ++n)
                typed << address.left(n);
            TypeKeys(main.txtUrlAdd, typed, &hints);
            if (main.lblUrlAddSaved->text().isEmpty())
                state.SkipWithError("an address saved was not hinted at");
        }
    }
    if (found != 0)
        state.SkipWithError("the last text typed found something");
    state.counters["keystrokes"] = double(stalls.size());
    state.counters["open_ms"] = open * 1e3;
    state.counters["median_ms"] = Median(stalls) * 1e3;
    state.counters["worst_ms"] = *std::max_element(stalls.begin(), stalls.end()) * 1e3;
    state.counters["hint_median_ms"] = Median(hints) * 1e3;
    state.counters["hint_worst_ms"] = *std::max_element(hints.begin(), hints.end()) * 1e3;

    main.ForgetFoundUrls();
    main.txtUrlAdd->setText(QString());
    DoCommand(QStringLiteral("HA"));
    main.CategoryModel->clear();
    main.UrlModel->clear();
    main.cmdURL->setEnabled(false);
    ResetSession();
    SetProgramFolder(QString());
}
BENCHMARK(FindWindowKeystroke)
    ->Args({100000, 1000})
    ->Args({32767, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

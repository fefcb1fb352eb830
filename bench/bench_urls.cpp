// Speed of the URL screens on a category of 10,000 URLs.
//
// Counters to read:
//   LoadUrlList/x_floor  CPU time of filling lstUrlView from the file over the
//                        CPU time of just reading and decoding the same file
//                        (the same work without the list); best of several
//                        runs on both sides
//   AddUrl, DeleteUrl, ModifyUrl: time of one operation on that file (the
//                        rewrites and the append include their flush to disk)

#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "screens/sortedlist.h"
#include "session/modMain.h"
#include "session/singleinstance.h"
#include "storage/accountfile.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace modMain;

namespace {

constexpr int kUrls = 10000;

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Best of `runs` CPU timings of `work`, in seconds.
template <typename Work> double BestCpu(int runs, Work work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds();
        work();
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

// A signed-in main window on the offscreen platform, with category 1 "News"
// whose file holds 10,000 URLs of the signed-in user.
struct Fixture {
    std::unique_ptr<QApplication> app;
    QTemporaryDir dir;
    std::unique_ptr<frmMain> main;
    QString path;
    QByteArray content;

    Fixture() {
        if (!QApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "wayfile_bench";
            static char *argv[] = {name, nullptr};
            app = std::make_unique<QApplication>(argc, argv);
        }
        // A message box would wait for an answer: record them instead.
        screens::MsgBox::setScripted(true);
        SetProgramFolder(dir.path());
        SetInstanceCheck([] { return false; });
        const QString stamp = MakePassStamp(QStringLiteral("benchmark"));
        IoError err;
        MakeFolder(UserFolderPath(1), &err);
        path = UrlFilePath(1, 1);
        for (int n = 1; n <= kUrls; ++n) {
            content +=
                UrlRecordLine(UrlKey(n),
                              QStringLiteral("http://www.example%1.com/pages/%2.html")
                                  .arg((n * 7919) % kUrls)
                                  .arg(n),
                              QStringLiteral("Description of address %1*QVX*second line").arg(n),
                              stamp)
                    .toLatin1() +
                "\r\n";
        }
        Restore();
        main = std::make_unique<frmMain>();
        main->Form_Load();
        // The window starts signed out; sign the user in.
        UserNo = 1;
        PassStamp = stamp;
        main->cmdURL_Click();
        screens::AddSorted(main->cmbUrlCat, QStringLiteral("News"), 1);
        main->cmbUrlCat->setCurrentIndex(0); // lists the category once
        for (const screens::ShownMessage &m : screens::MsgBox::shown())
            fprintf(stderr, "message: %s\n", qPrintable(m.text));
    }

    void Restore() {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(content);
    }
};

Fixture &Setup() {
    static Fixture fixture;
    return fixture;
}

void DecodeAlone() {
    QList<ListEntry> owned;
    int foreign = 0;
    IoError err;
    ReadUrlList(Setup().path, PassStamp, &owned, &foreign, &err);
    benchmark::DoNotOptimize(owned);
}

void DecodeUrlFile(benchmark::State &state) {
    Setup();
    for (auto _ : state)
        DecodeAlone();
}
BENCHMARK(DecodeUrlFile)->Unit(benchmark::kMillisecond);

void LoadUrlList(benchmark::State &state) {
    Fixture &f = Setup();
    for (auto _ : state)
        DoCommand(QStringLiteral("LUV"));
    if (f.main->lstUrlView->count() != kUrls)
        state.SkipWithError("the list does not hold every URL");
    const double floor = BestCpu(5, DecodeAlone);
    const double load = BestCpu(5, [] { DoCommand(QStringLiteral("LUV")); });
    state.counters["floor_ms"] = floor * 1e3;
    state.counters["load_ms"] = load * 1e3;
    state.counters["x_floor"] = load / floor;
}
BENCHMARK(LoadUrlList)->Unit(benchmark::kMillisecond);

void AddUrl(benchmark::State &state) {
    Fixture &f = Setup();
    f.main->txtUrlAdd->setText(QStringLiteral("http://www.added.example/page"));
    f.main->txtUrlAddCh->setText(QStringLiteral("added"));
    for (auto _ : state)
        DoCommand(QStringLiteral("AU"));
    f.Restore();
    DoCommand(QStringLiteral("LUV"));
}
BENCHMARK(AddUrl)->Unit(benchmark::kMillisecond);

void DeleteUrl(benchmark::State &state) {
    Fixture &f = Setup();
    for (auto _ : state) {
        state.PauseTiming();
        f.Restore();
        {
            const QSignalBlocker blocker(f.main->cmbUrlDel);
            f.main->cmbUrlDel->clear();
            f.main->cmbUrlDel->addItem(QStringLiteral("x"), kUrls / 2);
            f.main->cmbUrlDel->setCurrentIndex(0);
        }
        state.ResumeTiming();
        DoCommand(QStringLiteral("DU"));
    }
    f.Restore();
}
BENCHMARK(DeleteUrl)->Unit(benchmark::kMillisecond);

void ModifyUrl(benchmark::State &state) {
    Fixture &f = Setup();
    f.main->txtUrlMod->setText(QStringLiteral("http://www.changed.example/"));
    f.main->txtUrlModDesc->setText(QStringLiteral("changed"));
    {
        const QSignalBlocker blocker(f.main->cmbUrlMod);
        f.main->cmbUrlMod->clear();
        f.main->cmbUrlMod->addItem(QStringLiteral("x"), kUrls / 2);
        f.main->cmbUrlMod->setCurrentIndex(0);
    }
    for (auto _ : state)
        DoCommand(QStringLiteral("MU"));
    f.Restore();
}
BENCHMARK(ModifyUrl)->Unit(benchmark::kMillisecond);

} // namespace

// Speed of the URL screens on a category of 10,000 URLs.
//
// Counters to read:
//   LoadUrlList/x_floor  CPU time of filling lstUrlView from the file over the
//                        CPU time of just reading and decoding the same file
//                        (the same work without the list); the least of 5
//                        runs on both sides, timed in alternation
//   AddUrl, DeleteUrl, ModifyUrl: time of one operation on that file (the
//                        rewrites and the append include their flush to disk)

#include "accounts/accountfile.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "trash/trashfile.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include "ratio.h"
#include "window.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace modMain;

namespace {

constexpr int kUrls = 10000;

// A signed-in main window on the offscreen platform, with category 1 "News"
// whose file holds 10,000 URLs of the signed-in user.
struct Fixture {
    QTemporaryDir dir;
    frmMain *main = nullptr;
    QString path;
    QByteArray content;
    QString stamp = MakePassStamp(QStringLiteral("benchmark"));

    // The address of URL n.
    static QString address(int n) {
        return QStringLiteral("http://www.example%1.com/pages/%2.html")
            .arg((n * 7919) % kUrls)
            .arg(n);
    }

    Fixture() {
        main = &bench::BenchWindow();
        SetProgramFolder(dir.path());
        MakeFolder(UserFolderPath(1));
        path = UrlFilePath(1, 1);
        for (int n = 1; n <= kUrls; ++n) {
            content +=
                UrlRecordLine(n, address(n),
                              QStringLiteral("Description of address %1*QVX*second line").arg(n),
                              stamp)
                    .toLatin1() +
                "\r\n";
        }
        Restore();
        use();
        main->cmdURL_Click();
        main->CategoryModel->clear();
        // Choosing the category lists it once.
        main->CategoryModel->insertSorted(QStringLiteral("News"), 1);
        main->cmbUrlCat->setCurrentIndex(main->cmbUrlCat->entries()->rowOfNumber(1));
        for (const screens::ShownMessage &m : screens::MsgBox::shown())
            fprintf(stderr, "message: %s\n", qPrintable(m.text));
    }

    // Signs user 1 in on this folder (the window is shared with other
    // benchmarks).
    void use() {
        SetProgramFolder(dir.path());
        UserNo = 1;
        PassStamp = stamp;
    }

    void Restore() {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(content);
        // What Delete URL moved into the Trash goes with it.
        QFile::remove(TrashFilePath(1));
    }
};

Fixture &Setup() {
    static Fixture fixture;
    fixture.use();
    return fixture;
}

void DecodeAlone() {
    QList<ListEntry> owned;
    int foreign = 0;
    ReadUrlList(Setup().path, PassStamp, &owned, &foreign);
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
    bench::InterleavedMinimum times;
    for (int i = 0; i < 5; ++i)
        times.round([] { DoCommand(QStringLiteral("LUV")); }, DecodeAlone);
    state.counters["floor_ms"] = times.second() * 1e3;
    state.counters["load_ms"] = times.first() * 1e3;
    state.counters["x_floor"] = times.ratio();
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

// The URL menu lists the category's URLs, and the panel's chooser shows them
// (as after choosing one on the menu) with URL `number` chosen.
void ChooseOnPanel(DropDownList *urls, int number) {
    urls->entries()->showEvery();
    const QSignalBlocker blocker(urls);
    urls->setCurrentIndex(urls->entries()->rowOfNumber(number));
}

void DeleteUrl(benchmark::State &state) {
    Fixture &f = Setup();
    DoCommand(QStringLiteral("LUV"));
    const int number = kUrls / 2;
    const QString address = f.main->UrlModel->textAt(f.main->UrlModel->rowOfNumber(number));
    for (auto _ : state) {
        state.PauseTiming();
        f.Restore();
        if (f.main->UrlModel->rowOfNumber(number) < 0)
            f.main->UrlModel->insertSorted(address, number);
        ChooseOnPanel(f.main->cmbUrlDel, number);
        state.ResumeTiming();
        DoCommand(QStringLiteral("DU"));
    }
    f.Restore();
    DoCommand(QStringLiteral("LUV"));
}
BENCHMARK(DeleteUrl)->Unit(benchmark::kMillisecond);

void ModifyUrl(benchmark::State &state) {
    Fixture &f = Setup();
    DoCommand(QStringLiteral("LUV"));
    f.main->txtUrlMod->setText(QStringLiteral("http://www.changed.example/"));
    f.main->txtUrlModDesc->setText(QStringLiteral("changed"));
    ChooseOnPanel(f.main->cmbUrlMod, kUrls / 2);
    for (auto _ : state)
        DoCommand(QStringLiteral("MU"));
    f.Restore();
    DoCommand(QStringLiteral("LUV"));
}
BENCHMARK(ModifyUrl)->Unit(benchmark::kMillisecond);

} // namespace

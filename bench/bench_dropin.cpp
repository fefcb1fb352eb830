// Dropped links and Open All, on a category of 32,767 URLs (the most a
// category can hold).
//
// Counters to read:
//   DropOneLink          time from the drop (the window's drop event and the
//                        turn of the event loop after it) to the Add URL panel
//                        filled in; first_ms: the first drop after signing in;
//                        first_hint_ms: the turn after it, which shows the
//                        "already saved" hint and so reads the index behind it
//                        (every URL file of the user, once a sign-in)
//   DropFiveHundredLinks time from the drop of 500 links (Firefox's
//                        text/x-moz-url) to the import preview shown, the
//                        category's file of 32,000 URLs read for the URLs
//                        saved already
//   OpenAllFiveHundred   Open All of a category of 500 URLs, the browser's
//                        launch replaced by `launch_ms` of work each:
//                        stall_ms, the longest the event loop went without a
//                        turn while they were handed over; turn_ms, the
//                        longest turn of the opener

#include "accounts/accountfile.h"
#include "bookmarks/importplanner.h"
#include "categories/categoryindex.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "screens/openaddress.h"
#include "screens/openinturns.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include "window.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace modMain;

namespace {

constexpr int kUrls = 32767;
constexpr int kOpened = 500;

[[noreturn]] void giveUp(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

QByteArray Utf16Le(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

void WriteFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        giveUp("cannot write a file");
}

// User 1 signed in, with category 1 "News" of 32,767 URLs and category 2
// "Morning" of 500 and category 3 "Reading" of 32,000, and the URL menu on
// News.
struct Fixture {
    QTemporaryDir dir;
    frmMain *main = nullptr;
    QString stamp = MakePassStamp(QStringLiteral("benchmark"));

    Fixture() {
        main = &bench::BenchWindow();
        SetProgramFolder(dir.path());
        if (!QDir(dir.path()).mkdir(QStringLiteral("USR1")))
            giveUp("no temporary folder");
        WriteFile(JoinPath(UserFolderPath(1), kCategoryIndexName),
                  CategoryRecordLine(1, QStringLiteral("News"), stamp).toLatin1() + "\r\n" +
                      CategoryRecordLine(2, QStringLiteral("Morning"), stamp).toLatin1() + "\r\n" +
                      CategoryRecordLine(3, QStringLiteral("Reading"), stamp).toLatin1() + "\r\n");
        // Reading: the first 32,000 of News's URLs, room for 767 more.
        QByteArray urls;
        for (int n = 1; n <= kUrls; ++n) {
            urls +=
                UrlRecordLine(
                    n, QStringLiteral("https://www.example%1.com/news/%2.html").arg(n % 997).arg(n),
                    QStringLiteral("Story %1").arg(n), stamp)
                    .toLatin1() +
                "\r\n";
            if (n == 32000)
                WriteFile(UrlFilePath(1, 3), urls);
        }
        WriteFile(UrlFilePath(1, 1), urls);
        urls.clear();
        for (int n = 1; n <= kOpened; ++n)
            urls +=
                UrlRecordLine(n, QStringLiteral("https://site%1.example/").arg(n), QString(), stamp)
                    .toLatin1() +
                "\r\n";
        WriteFile(UrlFilePath(1, 2), urls);
        signIn();
    }

    // Signs user 1 in anew: the lists loaded, the index not read yet, the
    // URL menu on News.
    void signIn() {
        main->Data->forget();
        UserNo = 1;
        PassStamp = stamp;
        DoCommand(QStringLiteral("LCD"));
        choose(QStringLiteral("News"));
        screens::MsgBox::reset();
    }

    void choose(const QString &category) {
        main->cmdURL_Click();
        main->cmbUrlCat->setCurrentIndex(main->cmbUrlCat->findText(category));
    }

    // Drops `formats` on the window and lets the turn after the drop run.
    void drop(const QMap<QString, QByteArray> &formats) {
        QMimeData mime;
        for (auto it = formats.cbegin(); it != formats.cend(); ++it)
            mime.setData(it.key(), it.value());
        const QPoint at = main->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main, &enter);
        QDropEvent event(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main, &event);
        QCoreApplication::processEvents();
    }
};

Fixture &Setup() {
    static Fixture fixture;
    SetProgramFolder(fixture.dir.path());
    UserNo = 1;
    PassStamp = fixture.stamp;
    return fixture;
}

const QMap<QString, QByteArray> &OneLink() {
    static const QMap<QString, QByteArray> link{
        {QStringLiteral("text/uri-list"), QByteArray()},
        {QStringLiteral("_NETSCAPE_URL"), QByteArray("https://dropped.example/page\nA page")},
        {QStringLiteral("text/html"),
         QByteArray("<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">"
                    "<a href=\"https://dropped.example/page\">A page</a>")},
        {QStringLiteral("text/plain"), QByteArray("https://dropped.example/page")}};
    return link;
}

void DropOneLink(benchmark::State &state) {
    Fixture &f = Setup();
    if (f.main->lstUrlView->count() != kUrls) {
        std::fprintf(stderr, "listed %d, categories %d\n", f.main->lstUrlView->count(),
                     f.main->cmbUrlCat->count());
        for (const screens::ShownMessage &m : screens::MsgBox::shown())
            std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        state.SkipWithError("the category does not list every URL");
        return;
    }
    f.signIn();
    if (f.main->Data->index().isBuilt())
        state.SkipWithError("the index was read before the first drop");
    QElapsedTimer first;
    first.start();
    f.drop(OneLink());
    state.counters["first_ms"] = double(first.nsecsElapsed()) / 1e6;
    first.restart();
    QCoreApplication::processEvents();
    if (!f.main->Data->index().isBuilt())
        state.SkipWithError("the hint did not follow");
    state.counters["first_hint_ms"] = double(first.nsecsElapsed()) / 1e6;
    for (auto _ : state) {
        state.PauseTiming();
        f.main->cmdUrlAddCncl_Click();
        state.ResumeTiming();
        f.drop(OneLink());
    }
    if (!f.main->pctUrlAdd->isVisibleTo(f.main) ||
        f.main->txtUrlAdd->text() != QLatin1String("https://dropped.example/page") ||
        f.main->txtUrlAddCh->text() != QLatin1String("A page"))
        state.SkipWithError("the Add URL panel is not filled in");
    f.main->cmdUrlAddCncl_Click();
}
BENCHMARK(DropOneLink)->Unit(benchmark::kMillisecond);

void DropFiveHundredLinks(benchmark::State &state) {
    Fixture &f = Setup();
    f.choose(QStringLiteral("Reading"));
    QString pairs;
    for (int n = 1; n <= kOpened; ++n)
        pairs += QStringLiteral("https://tab%1.example/page\nTab number %1\n").arg(n);
    // Every seventh one is saved in the category already.
    for (int n = 7; n <= kUrls; n += 7 * 997)
        pairs +=
            QStringLiteral("https://www.example%1.com/news/%2.html\nSaved\n").arg(n % 997).arg(n);
    const QMap<QString, QByteArray> links{{QStringLiteral("text/x-moz-url"), Utf16Le(pairs)}};
    bool shown = true;
    for (auto _ : state) {
        f.drop(links);
        state.PauseTiming();
        shown = shown && f.main->pctCatImp->isVisibleTo(f.main) && f.main->PendingImport &&
                f.main->PendingImport->urls == kOpened;
        if (!shown)
            std::fprintf(stderr, "preview %d %d %d\n", int(f.main->pctCatImp->isVisibleTo(f.main)),
                         f.main->PendingImport ? f.main->PendingImport->urls : -1,
                         f.main->PendingImport ? f.main->PendingImport->alreadySaved : -1);
        f.main->cmdCatImpCncl_Click();
        state.ResumeTiming();
    }
    if (!shown)
        state.SkipWithError("the preview does not show the links");
    screens::MsgBox::reset();
    f.choose(QStringLiteral("News"));
}
BENCHMARK(DropFiveHundredLinks)->Unit(benchmark::kMillisecond);

void OpenAllFiveHundred(benchmark::State &state) {
    Fixture &f = Setup();
    const int launchMs = int(state.range(0));
    f.choose(QStringLiteral("Morning"));
    int opened = 0;
    screens::SetOpenAddressHandler([&](const QUrl &) {
        QElapsedTimer work;
        work.start();
        while (work.elapsed() < launchMs) {
        }
        ++opened;
        return true;
    });
    qint64 stall = 0;
    qint64 turn = 0;
    for (auto _ : state) {
        opened = 0;
        screens::MsgBox::queueAnswer(screens::MsgAnswer::Yes);
        // The longest time between two turns of the event loop.
        QElapsedTimer sinceLast;
        sinceLast.start();
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { stall = std::max(stall, sinceLast.restart()); });
        ticker.start();
        f.main->cmdUrlViewO_Click();
        while (f.main->OpenAllQueue->running())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ticker.stop();
        turn = std::max(turn, f.main->OpenAllQueue->longestTurnMs());
    }
    if (opened != kOpened)
        state.SkipWithError("not every URL was opened");
    state.counters["launch_ms"] = launchMs;
    state.counters["stall_ms"] = double(stall);
    state.counters["turn_ms"] = double(turn);
    screens::SetOpenAddressHandler({});
    screens::MsgBox::reset();
    f.choose(QStringLiteral("News"));
}
BENCHMARK(OpenAllFiveHundred)
    ->Arg(0)
    ->Arg(2)
    ->Arg(30)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

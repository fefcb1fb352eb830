// How long the shown main window stops answering when its lists are long:
// choosing a category of 10,000 or 32,767 URLs on the URLs menu, and opening
// a drop-down list of 32,767 entries.
//
// The window is shown, on the platform QT_QPA_PLATFORM names (offscreen when
// unset; the offscreen platform paints too, into memory). Run under Xvfb with
// QT_QPA_PLATFORM=xcb to see what a real X server adds.
//
// Counters to read:
//   ChooseUrlCategory/<n>/freeze_ms  the longest time the event loop went
//                        without serving a 5 ms timer while the category of
//                        n URLs was chosen and the window painted its list;
//                        the largest of the runs (least_ms: the smallest)
//   OpenDropDown/<list>/open_ms  wall time of showPopup, the events that
//                        follow (the popup painted) and hidePopup; the
//                        largest of the runs (least_ms: the smallest)

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"

#include "window.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace modMain;

namespace {

constexpr int kManyUrls = 10000;
constexpr int kMostUrls = 32767;
constexpr int kMostCategories = 32767;

[[noreturn]] void giveUp(const QString &why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    std::abort();
}

void writeLines(const QString &path, const QStringList &lines) {
    if (const IoError err = RewriteFile(path, lines); err.failed())
        giveUp(err.message());
}

// Two users of one password. User 1 has three categories: 1 "Many URLs"
// with 10,000 URLs, 2 "Most URLs" with 32,767 and 3 "No URLs". User 2 has
// 32,767 categories and no URLs.
struct Folders {
    QTemporaryDir dir;
    QString stamp = MakePassStamp(QStringLiteral("benchmark"));

    Folders() {
        if (!dir.isValid())
            giveUp(QStringLiteral("no temporary folder"));
        SetProgramFolder(dir.path());
        for (int user : {1, 2}) {
            if (const IoError err = MakeFolder(UserFolderPath(user)); err.failed())
                giveUp(err.message());
        }

        UserNo = 1;
        writeLines(CategoryIndexPath(UserNo),
                   {CategoryRecordLine(1, QStringLiteral("Many URLs"), stamp),
                    CategoryRecordLine(2, QStringLiteral("Most URLs"), stamp),
                    CategoryRecordLine(3, QStringLiteral("No URLs"), stamp)});
        writeUrls(1, kManyUrls);
        writeUrls(2, kMostUrls);

        UserNo = 2;
        QStringList categories;
        for (int n = 1; n <= kMostCategories; ++n)
            categories << CategoryRecordLine(
                n, QStringLiteral("Category %1").arg((n * 7919) % 32768, 5, 10, QLatin1Char('0')),
                stamp);
        writeLines(CategoryIndexPath(UserNo), categories);
    }

    void writeUrls(int category, int count) {
        QStringList lines;
        for (int n = 1; n <= count; ++n)
            lines << UrlRecordLine(n,
                                   QStringLiteral("http://www.example%1.com/pages/%2.html")
                                       .arg((n * 7919) % count)
                                       .arg(n),
                                   QStringLiteral("Description of address %1").arg(n), stamp);
        writeLines(UrlFilePath(1, category), lines);
    }

    // Signs `user` in on these folders (the window is shared with other
    // benchmarks) and loads the user's categories as signing in does.
    frmMain &signIn(int user) {
        frmMain &main = bench::BenchWindow();
        SetProgramFolder(dir.path());
        UserNo = qint16(user);
        PassStamp = stamp;
        signOut(main);
        DoCommand(QStringLiteral("LCD"));
        return main;
    }

    static void signOut(frmMain &main) {
        DoCommand(QStringLiteral("HA"));
        main.CategoryModel->clear();
        main.UrlModel->clear();
    }
};

Folders &folders() {
    static Folders f;
    return f;
}

// Shows the window and waits until it is on the screen and painted.
void showWindow(frmMain &main) {
    main.show();
    QElapsedTimer waited;
    waited.start();
    while ((!main.windowHandle() || !main.windowHandle()->isExposed()) && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

// Runs `action` from inside the event loop and returns the longest time, in
// milliseconds, that the loop went without serving a timer of 5 ms while
// the action ran and the window caught up with it afterwards.
double longestGapMs(const std::function<void()> &action) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    auto tickNow = [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    };
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, tickNow);
    QEventLoop loop;
    QTimer::singleShot(30, Qt::PreciseTimer, &loop, action);
    QTimer::singleShot(400, Qt::PreciseTimer, &loop, [&] {
        tickNow();
        loop.quit();
    });
    clock.start();
    tick.start();
    loop.exec();
    return double(longest) / 1e6;
}

void ChooseUrlCategory(benchmark::State &state) {
    const int urls = int(state.range(0));
    const int category = urls == kManyUrls ? 1 : 2;
    frmMain &main = folders().signIn(1);
    showWindow(main);
    main.cmdURL_Click();
    settle();
    double most = 0;
    double least = 1e300;
    for (auto _ : state) {
        {
            // Nothing chosen; the list of the last run stays until the choice.
            const QSignalBlocker quiet(main.cmbUrlCat);
            main.cmbUrlCat->setCurrentIndex(-1);
        }
        settle();
        const double gap = longestGapMs([&] {
            main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->entries()->rowOfNumber(category));
        });
        state.SetIterationTime(gap / 1e3);
        most = std::max(most, gap);
        least = std::min(least, gap);
    }
    if (main.lstUrlView->count() != urls || !screens::MsgBox::shown().isEmpty())
        state.SkipWithError("the URLs were not listed");
    Folders::signOut(main);
    main.hide();
    state.counters["urls"] = urls;
    state.counters["freeze_ms"] = most;
    state.counters["least_ms"] = least;
}
BENCHMARK(ChooseUrlCategory)
    ->Arg(kManyUrls)
    ->Arg(kMostUrls)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Opens and closes the drop-down of `combo` `state`'s iterations times.
void openAndClose(benchmark::State &state, QComboBox *combo, int entries) {
    if (combo->count() != entries || !combo->isVisible()) {
        state.SkipWithError("the drop-down list was not filled and shown");
        return;
    }
    double most = 0;
    double least = 1e300;
    for (auto _ : state) {
        settle();
        QElapsedTimer clock;
        clock.start();
        combo->showPopup();
        QCoreApplication::processEvents();
        combo->hidePopup();
        QCoreApplication::processEvents();
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1e3);
        most = std::max(most, ms);
        least = std::min(least, ms);
    }
    state.counters["entries"] = entries;
    state.counters["open_ms"] = most;
    state.counters["least_ms"] = least;
}

// The URLs of the category of 32,767 in the Delete URL panel's chooser.
void OpenDropDown_UrlsToDelete(benchmark::State &state) {
    frmMain &main = folders().signIn(1);
    showWindow(main);
    main.cmdUrlNxtTag = QStringLiteral("D");
    main.cmdUrlNxt_Click();
    main.cmbUrlCat->setCurrentIndex(main.cmbUrlCat->entries()->rowOfNumber(2)); // loads cmbUrlDel
    settle();
    openAndClose(state, main.cmbUrlDel, kMostUrls);
    Folders::signOut(main);
    main.hide();
}
BENCHMARK(OpenDropDown_UrlsToDelete)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// The URLs menu's category chooser holding 32,767 categories.
void OpenDropDown_Categories(benchmark::State &state) {
    frmMain &main = folders().signIn(2);
    showWindow(main);
    main.cmdURL_Click();
    settle();
    openAndClose(state, main.cmbUrlCat, kMostCategories);
    Folders::signOut(main);
    main.hide();
}
BENCHMARK(OpenDropDown_Categories)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

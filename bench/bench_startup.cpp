// Start-up: from the start of a process to the main window on the screen and
// painted, against a bare maximized main window with a status bar started the
// same way. Each start runs in a fresh process (this benchmark program
// started again, told by an environment variable which window to start), so
// that every first-use cost (libraries, fonts, style, icon) counts as it does
// when the program starts.
//
// Counters to read (the least of 10 starts of each, in alternation):
//   StartUp/x_bare     CPU time of the process (all its threads) from its
//                      start to the program's window shown, over the same
//                      for the bare window
//   StartUp/program_ms, bare_ms   those CPU times
//   StartUp/wall_x_bare           the same ratio in wall time, from the
//                                 moment the process is started
//
// The platform is QT_QPA_PLATFORM's (offscreen when unset); run under Xvfb
// with QT_QPA_PLATFORM=xcb to count what an X server adds.

#include "screens/application.h"
#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "storage/paths.h"
#include "storage/records.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWindow>

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char **environ;

namespace {

const char kWhich[] = "WAYFILE_BENCH_STARTUP";         // "program" or "bare"
const char kFolder[] = "WAYFILE_BENCH_STARTUP_FOLDER"; // the program's folder

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Notes the first paint of a window: the update request that paints it.
class FirstPaint : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until `window` is exposed and has been painted.
void WaitUntilShown(QWidget &window) {
    FirstPaint paint;
    window.installEventFilter(&paint);
    const double until = Seconds(CLOCK_MONOTONIC) + 10;
    while (Seconds(CLOCK_MONOTONIC) < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (window.windowHandle() && window.windowHandle()->isExposed() && paint.painted)
            break;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    window.removeEventFilter(&paint);
}

// One start in this process: prints its CPU and wall time in seconds.
int StartOnce(const std::string &which) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "wayfile";
    static char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    if (which == "program") {
        screens::SetUpApplication();
        modMain::SetProgramFolder(qEnvironmentVariable(kFolder));
        screens::MsgBox::setScripted(true);
        frmMain window;
        if (!window.Form_Load())
            return 2;
        window.show();
        WaitUntilShown(window);
    } else {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Bare"));
        window.setStatusBar(new QStatusBar(&window));
        window.statusBar()->showMessage(QStringLiteral("Ready"));
        window.showMaximized();
        WaitUntilShown(window);
    }
    // CPU time since the process began; the clock time at which the window
    // was shown.
    std::printf("%.9f %.9f\n", Seconds(CLOCK_PROCESS_CPUTIME_ID), Seconds(CLOCK_MONOTONIC));
    std::fflush(stdout);
    return 0;
}

// A process started by StartUp below does its one start and ends before the
// benchmark library sees it.
const bool g_child = [] {
    if (const char *which = std::getenv(kWhich))
        std::_Exit(StartOnce(which));
    return false;
}();

struct Times {
    double cpu = -1;
    double wall = -1;
};

// Starts this program again to start `which` once; its times.
Times StartChild(const char *which, const QString &folder) {
    std::string whichVar = std::string(kWhich) + '=' + which;
    std::string folderVar = std::string(kFolder) + '=' + folder.toStdString();
    std::vector<char *> env;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, kWhich, sizeof kWhich - 1) != 0)
            env.push_back(*e);
    }
    env.push_back(whichVar.data());
    env.push_back(folderVar.data());
    env.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char self[] = "/proc/self/exe";
    char *argv[] = {self, nullptr};
    pid_t pid = 0;
    const double started = Seconds(CLOCK_MONOTONIC);
    const int failed = posix_spawn(&pid, self, &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t got = 0;
    while (!failed && (got = read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(got));
    close(out[0]);
    int status = 0;
    if (failed || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    Times t;
    if (std::sscanf(text.c_str(), "%lf %lf", &t.cpu, &t.wall) != 2)
        return {};
    t.wall -= started;
    return t;
}

void StartUp(benchmark::State &state) {
    QTemporaryDir folder;
    double programCpu = 1e300, bareCpu = 1e300, programWall = 1e300, bareWall = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 10; ++round) {
            const Times program = StartChild("program", folder.path());
            const Times bare = StartChild("bare", folder.path());
            if (program.cpu < 0 || bare.cpu < 0) {
                state.SkipWithError("a start did not finish");
                return;
            }
            programCpu = std::min(programCpu, program.cpu);
            bareCpu = std::min(bareCpu, bare.cpu);
            programWall = std::min(programWall, program.wall);
            bareWall = std::min(bareWall, bare.wall);
        }
    }
    state.counters["program_ms"] = programCpu * 1e3;
    state.counters["bare_ms"] = bareCpu * 1e3;
    state.counters["x_bare"] = programCpu / bareCpu;
    state.counters["wall_x_bare"] = programWall / bareWall;
}
BENCHMARK(StartUp)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

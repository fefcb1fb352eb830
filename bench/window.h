#pragma once

// The main window for the benchmarks that drive it: made once, on the
// offscreen platform unless another is asked for, started up as the program
// starts it and with its screens made, with message boxes recorded instead of
// shown (a box would wait for an answer no one gives). Left to the end of the
// process.

#include "screens/frmMain.h"
#include "screens/msgbox.h"
#include "session/singleinstance.h"

#include <QApplication>

namespace bench {

inline frmMain &BenchWindow() {
    static frmMain *main = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "wayfile_bench";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        screens::MsgBox::setScripted(true);
        modMain::SetInstanceCheck([] { return false; });
        auto *window = new frmMain; // signed out: sign in afterwards
        window->Form_Load();
        // The benchmarks time what the screens do, not their first making.
        window->MakeLaterControls();
        return window;
    }();
    return *main;
}

} // namespace bench

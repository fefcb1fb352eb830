// The lock that lets one copy of the program run per installation, held by
// real second processes.

#include "session/singleinstance.h"
#include "storage/paths.h"
#include "storage/records.h"

#include "forked.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char **environ;

namespace {

// A program folder, and a temporary folder of its own for the other copy.
class InstanceLock : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(otherTemp.isValid());
        saved = modMain::ProgramFolder();
        savedTemp = qgetenv("TMPDIR");
        ASSERT_EQ(::pipe2(hold, O_CLOEXEC), 0);
    }
    void TearDown() override {
        modMain::SetProgramFolder(saved);
        if (savedTemp.isNull())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", savedTemp.constData(), 1);
        ::close(hold[0]);
        if (hold[1] >= 0)
            ::close(hold[1]);
    }

    // Starts another copy with TMPDIR set to `temp`: it checks for a running
    // copy on the program folder, reports "running" or "alone", runs
    // `thenWhat` and ends when `hold` is closed or when it is killed.
    forked::Child startCopy(const QString &temp, std::function<void()> thenWhat = {}) {
        const QString programFolder = folder.path();
        const int holdFd = hold[0];
        const int releaseFd = hold[1];
        return forked::start([=] {
            ::close(releaseFd);
            ::setenv("TMPDIR", QFile::encodeName(temp).constData(), 1);
            modMain::SetProgramFolder(programFolder);
            forked::report(modMain::AnotherInstanceRunning() ? "running\n" : "alone\n");
            if (thenWhat)
                thenWhat();
            char byte;
            while (::read(holdFd, &byte, 1) < 0 && errno == EINTR) {
            }
            return QByteArray();
        });
    }
    // Lets every copy started so far end.
    void releaseCopies() {
        ::close(hold[1]);
        hold[1] = -1;
    }
    // The next line a copy reports.
    static QByteArray nextLine(const forked::Child &child) {
        QByteArray line;
        char c;
        while (::read(child.reportFd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    QTemporaryDir folder;
    QTemporaryDir otherTemp;
    QString saved;
    QByteArray savedTemp;
    int hold[2] = {-1, -1};
};

} // namespace

// Two copies started with different temporary folders share the data files:
// the second sees the first at once, also when it reaches the installation
// through a link. A copy that is killed leaves nothing that blocks the next
// start, not even its lock file in the temporary folder.
TEST_F(InstanceLock, ACopyWithAnotherTemporaryFolderSeesTheRunningOne) {
    const forked::Child first = startCopy(otherTemp.path());
    ASSERT_EQ(nextLine(first), QByteArray("alone"));

    modMain::SetProgramFolder(folder.path());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(modMain::AnotherInstanceRunning());
    EXPECT_LT(timer.elapsed(), 1000);
    const QString link = otherTemp.filePath(QStringLiteral("same-installation"));
    ASSERT_TRUE(QFile::link(folder.path(), link));
    modMain::SetProgramFolder(link);
    EXPECT_TRUE(modMain::AnotherInstanceRunning());

    ASSERT_EQ(::kill(first.pid, SIGKILL), 0);
    EXPECT_EQ(forked::finish(first).signal, SIGKILL);
    const forked::Child next = startCopy(otherTemp.path());
    EXPECT_EQ(nextLine(next), QByteArray("alone"));
    modMain::SetProgramFolder(folder.path());
    EXPECT_TRUE(modMain::AnotherInstanceRunning());

    releaseCopies();
    EXPECT_TRUE(forked::finish(next).exited);
    EXPECT_FALSE(modMain::AnotherInstanceRunning());
}

// A program the copy starts (a web browser) does not inherit the lock: once
// the copy has ended, the next start runs although that program still does.
TEST_F(InstanceLock, ProgramsACopyStartsDoNotKeepTheLock) {
    const forked::Child copy = startCopy(otherTemp.path(), [] {
        pid_t sleeper = -1;
        char sleep[] = "sleep";
        char seconds[] = "30";
        char *argv[] = {sleep, seconds, nullptr};
        if (::posix_spawnp(&sleeper, "sleep", nullptr, nullptr, argv, environ) != 0)
            sleeper = -1;
        forked::report(QByteArray::number(sleeper) + '\n');
    });
    ASSERT_EQ(nextLine(copy), QByteArray("alone"));
    const pid_t sleeper = pid_t(nextLine(copy).toInt());
    ASSERT_GT(sleeper, 0);
    releaseCopies();
    EXPECT_TRUE(forked::finish(copy).exited);

    ASSERT_EQ(::kill(sleeper, 0), 0); // still running
    modMain::SetProgramFolder(folder.path());
    // On a busy machine the system may drop the ended copy's lock a moment
    // after it has been reaped; the program it started lives on for 30 s.
    QElapsedTimer waited;
    waited.start();
    bool running = modMain::AnotherInstanceRunning();
    while (running && waited.elapsed() < 5000) {
        ::usleep(10000);
        running = modMain::AnotherInstanceRunning();
    }
    EXPECT_FALSE(running);
    EXPECT_EQ(::kill(sleeper, 0), 0); // the started program still runs
    ::kill(sleeper, SIGKILL);
}

// A program folder its user may write to but not read (mode 0333) cannot be
// locked: the copy runs unguarded, and says so with the folder and the
// reason. One that holds the lock has nothing to say.
TEST_F(InstanceLock, AFolderThatCannotBeLockedIsToldOf) {
    const QString programFolder = folder.path();
    const forked::Outcome outcome =
        forked::runAsOrdinaryUser(QFile::encodeName(programFolder), [&]() -> QByteArray {
            modMain::SetProgramFolder(programFolder);
            QByteArray report = modMain::AnotherInstanceRunning() ? "running\n" : "alone\n";
            report += modMain::InstallationGuarded() ? "guarded\n" : "unguarded\n";
            report += modMain::InstanceLockProblem().toLatin1() + "\n";
            if (::chmod(QFile::encodeName(programFolder).constData(), 0333) != 0)
                return "chmod failed";
            // A second copy in the same process state: the lock is given up
            // for another folder first, then this one is tried afresh.
            modMain::SetProgramFolder(otherTemp.path());
            modMain::AnotherInstanceRunning();
            modMain::SetProgramFolder(programFolder);
            report += modMain::AnotherInstanceRunning() ? "running\n" : "alone\n";
            report += modMain::InstallationGuarded() ? "guarded\n" : "unguarded\n";
            report += modMain::InstanceLockProblem().toLatin1();
            return report;
        });
    if (outcome.report == forked::kNoOrdinaryUser)
        GTEST_SKIP() << "the test cannot run as an ordinary user here";
    ::chmod(QFile::encodeName(programFolder).constData(), 0700);
    EXPECT_EQ(QString::fromLatin1(outcome.report),
              QStringLiteral("alone\nguarded\n\nalone\nunguarded\nWayfile could not lock its "
                             "folder \"%1\", so it cannot tell whether another copy of Wayfile is "
                             "using the same data. If one is, each copy could overwrite the "
                             "changes the other one makes.\r\n\r\nReason: Permission denied."
                             "\r\n\r\nPlease close any other Wayfile that uses this folder. This "
                             "time Wayfile will not finish changes that were cut short, nor clear "
                             "away what they left behind: that waits for a start at which it can "
                             "lock its folder.")
                  .arg(programFolder));
}

// Changing the password of a user with 100,000 URLs in 1,000 categories,
// against the floor of rewriting the same files once with the program's own
// writers.
//
// Counters to read (both sides the least of 5 runs, timed in alternation;
// the password goes back and forth between two, so every run restamps every
// record of the user):
//   ChangePasswordHundredThousandUrls/x_floor
//                          CPU time of ChangePassword over the CPU time of
//                          the floor: every file of the user (index, URL
//                          files) and the account file rewritten once by
//                          RewriteLinesEdited, each line copied as it is
//                          (temporary file, flush, rename, folder flush)
//   x_floor_wall           the same in elapsed time
//   x_bare_floor           ChangePassword over the least any rewrite of
//                          those files costs: each file read whole and
//                          written to a temporary file once, flushed and
//                          renamed over it, the folders flushed once
//   change_ms, floor_ms, bare_floor_ms   the CPU times
//   change_wall_ms, floor_wall_ms        the elapsed times
//   megabytes              the size of the user's files

#include "accounts/accountchange.h"
#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "session/modMain.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

using namespace modMain;

namespace {

constexpr int kCategories = 1000;
constexpr int kUrlsEach = 100;
constexpr int kAccounts = 100;
constexpr int kUser = 50;

[[noreturn]] void giveUp(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

QString userName(int n) {
    return QStringLiteral("User%1").arg(n);
}

// A program folder with 100 accounts; user 50 ("User50", password "old
// password") has 1,000 categories of 100 URLs each. Every URL file holds the
// same records (enciphered once), which costs a change as much as different
// ones would.
class PasswordFolder {
public:
    PasswordFolder() {
        if (!dir_.isValid())
            giveUp("no temporary folder");
        SetProgramFolder(dir_.path());
        QByteArray accounts;
        for (int n = 1; n <= kAccounts; ++n)
            accounts +=
                AccountRecordLine(n, userName(n),
                                  n == kUser ? passwords_[0] : QStringLiteral("pw%1").arg(n))
                    .toLatin1() +
                "\r\n";
        writeFile(AccountFilePath(), accounts);
        const QString folder = UserFolderPath(kUser);
        if (MakeFolder(folder).failed())
            giveUp("cannot make the user's folder");
        const QString stamp = MakePassStamp(passwords_[0]);
        QByteArray index;
        for (int c = 1; c <= kCategories; ++c)
            index += CategoryRecordLine(c, QStringLiteral("Category %1").arg(c), stamp).toLatin1() +
                     "\r\n";
        writeFile(JoinPath(folder, kCategoryIndexName), index);
        QByteArray urls;
        for (int u = 1; u <= kUrlsEach; ++u)
            urls += UrlRecordLine(
                        u,
                        QStringLiteral("http://www.example%1.com/pages/%2.html")
                            .arg(u * 7919 % 1000)
                            .arg(u),
                        QStringLiteral("Description of address %1*QVX*second line").arg(u), stamp)
                        .toLatin1() +
                    "\r\n";
        for (int c = 1; c <= kCategories; ++c)
            writeFile(JoinPath(folder, UrlFileName(c)), urls);
        files_ << AccountFilePath() << JoinPath(folder, kCategoryIndexName);
        for (int c = 1; c <= kCategories; ++c)
            files_ << JoinPath(folder, UrlFileName(c));
        for (const QString &file : std::as_const(files_))
            bytes_ += QFileInfo(file).size();
    }

    QString path() const { return dir_.path(); }
    qint64 bytes() const { return bytes_; }

    // Changes the password to the other one of the two.
    void change() {
        const Change change = ChangePassword(userName(kUser), passwords_[current_],
                                             passwords_[1 - current_], [](int, int) {});
        if (!change.changed || change.failed())
            giveUp(qPrintable(change.error.message()));
        current_ = 1 - current_;
    }

    // The floor: every file rewritten once by the program's own rewrite.
    void floor() const {
        for (const QString &file : files_) {
            qsizetype edited = 0;
            const IoError err = RewriteLinesEdited(
                file, [](QByteArrayView &, bool *) { return true; }, &edited);
            if (err.failed())
                giveUp(qPrintable(err.message()));
        }
    }

    // The least of any rewrite: read whole, written once, flushed, renamed.
    void bareFloor() const {
        for (const QString &file : files_) {
            QFile in(file);
            if (!in.open(QIODevice::ReadOnly))
                giveUp("cannot read");
            const QByteArray bytes = in.readAll();
            const QByteArray temp = QFile::encodeName(file + QStringLiteral(".bare"));
            const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() ||
                ::fsync(fd) != 0 || ::close(fd) != 0 ||
                ::rename(temp.constData(), QFile::encodeName(file).constData()) != 0)
                giveUp("cannot rewrite");
        }
        for (const QString &folder : {path(), UserFolderPath(kUser)}) {
            const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
            if (fd < 0 || ::fsync(fd) != 0)
                giveUp("cannot flush the folder");
            ::close(fd);
        }
    }

private:
    static void writeFile(const QString &path, const QByteArray &bytes) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            giveUp("cannot write a file");
    }

    QTemporaryDir dir_;
    const QString passwords_[2] = {QStringLiteral("old password"), QStringLiteral("new pass")};
    int current_ = 0;
    QStringList files_;
    qint64 bytes_ = 0;
};

using Clock = std::chrono::steady_clock;

template <typename Work> std::pair<double, double> timesOf(Work &&work) {
    const Clock::time_point start = Clock::now();
    const double cpu = bench::CpuSecondsOf(work);
    return {cpu, std::chrono::duration<double>(Clock::now() - start).count()};
}

void BM_ChangePasswordHundredThousandUrls(benchmark::State &state) {
    static PasswordFolder folder;
    SetProgramFolder(folder.path());
    for (auto _ : state)
        folder.change();

    constexpr double inf = std::numeric_limits<double>::infinity();
    double changeCpu = inf, changeWall = inf, floorCpu = inf, floorWall = inf, bareCpu = inf;
    for (int round = 0; round < 5; ++round) {
        const auto [cpu1, wall1] = timesOf([&] { folder.change(); });
        const auto [cpu2, wall2] = timesOf([&] { folder.floor(); });
        const auto [cpu3, wall3] = timesOf([&] { folder.bareFloor(); });
        changeCpu = std::min(changeCpu, cpu1);
        changeWall = std::min(changeWall, wall1);
        floorCpu = std::min(floorCpu, cpu2);
        floorWall = std::min(floorWall, wall2);
        bareCpu = std::min(bareCpu, cpu3);
        (void)wall3;
    }
    state.counters["urls"] = kCategories * kUrlsEach;
    state.counters["megabytes"] = double(folder.bytes()) / (1024.0 * 1024.0);
    state.counters["change_ms"] = changeCpu * 1e3;
    state.counters["floor_ms"] = floorCpu * 1e3;
    state.counters["bare_floor_ms"] = bareCpu * 1e3;
    state.counters["change_wall_ms"] = changeWall * 1e3;
    state.counters["floor_wall_ms"] = floorWall * 1e3;
    state.counters["x_floor"] = changeCpu / floorCpu;
    state.counters["x_floor_wall"] = changeWall / floorWall;
    state.counters["x_bare_floor"] = changeCpu / bareCpu;
}
BENCHMARK(BM_ChangePasswordHundredThousandUrls)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

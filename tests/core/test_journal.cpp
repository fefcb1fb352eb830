// The journal that makes a change of several files all or nothing: appends
// cut back, new versions finished or undone, the journal file's format, torn
// journals and torn commit lines, and the refusal to start a change on top
// of one that is not finished.

#include "storage/checksum.h"
#include "storage/journal.h"

#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"

#include "diskkill.h"
#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

// The journal's record of the bytes an append adds, `lines` as the test cuts
// them (each with its line end): their count, each line's length and
// CRC-32C, and the CRC-32C of those digest lines.
QByteArray writtenRecord(const QByteArray &path, const QList<QByteArray> &lines) {
    QByteArray digests;
    qsizetype count = 0;
    for (const QByteArray &line : lines) {
        digests += QByteArray::number(line.size()) + ' ' + Crc32c::of(line) + '\n';
        count += line.size();
    }
    return "written " + path + ' ' + QByteArray::number(count) + ' ' +
           QByteArray::number(lines.size()) + ' ' + Crc32c::of(digests) + '\n' + digests;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
    }
    void TearDown() override {
        SetDiskCalls({});
        SetProgramFolder(QString());
    }

    QString user(const QString &name = QString()) const {
        return dir.filePath(QStringLiteral("USR1")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    QString journalFile() const { return user(kJournalName); }
    QStringList entries(const QString &folder) const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                      QDir::Name);
    }
    static void write(const QString &path, const QByteArray &data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }
    static mode_t modeOf(const QString &path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    // In a child: a change that appends to "a.txt", makes "b.txt" and the
    // folder "sub", ended by `stop` once its journal is written, after
    // `appended` of its two appends (and the folder after both).
    forked::Outcome appendsStoppedAfter(int appended) {
        return forked::run([this, appended]() -> QByteArray {
            Journal journal(user());
            for (const IoError &err :
                 {journal.willAppendTo(user("a.txt")), journal.willAppendTo(user("b.txt")),
                  journal.willMakeFolder(user("sub")), journal.begin()}) {
                if (err.failed())
                    return err.message().toLatin1();
            }
            if (appended >= 1 && journal.append(user("a.txt"), "more\r\n").failed())
                return "append a failed";
            if (appended >= 2 && journal.append(user("b.txt"), "new\r\n").failed())
                return "append b failed";
            if (appended >= 2 && journal.makeFolder(user("sub")).failed())
                return "mkdir failed";
            ::_exit(diskkill::kStopped);
        });
    }

    QTemporaryDir dir;
};

// --- Appends -------------------------------------------------------------------

class CutShortAppends : public JournalTest, public ::testing::WithParamInterface<int> {};

// Whether the change was stopped before, between or after its writes, the
// next recovery gives every file its old bytes back and removes what the
// change made, and the journal with it.
TEST_P(CutShortAppends, AreCutBackAndWhatTheyMadeGoes) {
    write(user("a.txt"), "old line\r\nno line end");
    const forked::Outcome outcome = appendsStoppedAfter(GetParam());
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();
    ASSERT_TRUE(QFileInfo::exists(journalFile()));

    const IoError err = RecoverJournal(user());
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old line\r\nno line end"));
    EXPECT_EQ(entries(user()), QStringList{"a.txt"});
}

INSTANTIATE_TEST_SUITE_P(Journal, CutShortAppends, ::testing::Values(0, 1, 2),
                         [](const auto &info) {
                             return "after_" + std::to_string(info.param) + "_appends";
                         });

TEST_F(JournalTest, CommittedAppendsStayAndTheJournalGoes) {
    write(user("a.txt"), "old line\r\nno line end");
    Journal journal(user());
    ASSERT_FALSE(journal.willAppendTo(user("a.txt")).failed());
    ASSERT_FALSE(journal.willAppendTo(user("b.txt")).failed());
    ASSERT_FALSE(journal.begin().failed());
    ASSERT_FALSE(journal.append(user("a.txt"), "more\r\n").failed());
    ASSERT_FALSE(journal.append(user("b.txt"), "new\r\n").failed());
    bool committed = false;
    const IoError err = journal.commit(&committed);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_TRUE(committed);

    // The last line without a line end gets one before the new lines.
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old line\r\nno line end\r\nmore\r\n"));
    EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("new\r\n"));
    EXPECT_EQ(modeOf(user("b.txt")), mode_t(0600));
    EXPECT_EQ(entries(user()), (QStringList{"a.txt", "b.txt"}));
    EXPECT_FALSE(RecoverJournal(user()).failed());
    EXPECT_EQ(entries(user()), (QStringList{"a.txt", "b.txt"}));
}

// A write that fails half-way through the change: what was written is taken
// back at once, and the journal goes.
TEST_F(JournalTest, AFailedAppendIsTakenBackAtOnce) {
    write(user("a.txt"), "old\r\n");
    Journal journal(user());
    ASSERT_FALSE(journal.willAppendTo(user("a.txt")).failed());
    ASSERT_FALSE(journal.willAppendTo(user("b.txt")).failed());
    ASSERT_FALSE(journal.begin().failed());
    ASSERT_FALSE(journal.append(user("b.txt"), "new\r\n").failed());
    IoError err;
    {
        const DiskCallsOverride calls(WritesFail(ENOSPC));
        err = journal.append(user("a.txt"), "more\r\n");
    }
    ASSERT_TRUE(err.failed());
    err = journal.abandon(err);
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not write to \"%1\".\r\n\r\nReason: No "
                                            "space left on device.")
                                 .arg(user("a.txt")));
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old\r\n"));
    EXPECT_EQ(entries(user()), QStringList{"a.txt"});
}

// The file an open descriptor belongs to.
QString fileOf(int fd) {
    return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
}

// The journal appends as every writer of records does: each file locked
// while its new lines go out, and the line end that a last line lacks sent
// with them, in one write on a descriptor that appends.
TEST_F(JournalTest, AnAppendLocksItsFileAndWritesOnce) {
    write(user("a.txt"), "old line\r\nno line end");
    Journal journal(user());
    ASSERT_FALSE(journal.willAppendTo(user("a.txt")).failed());
    ASSERT_FALSE(journal.willAppendTo(user("b.txt")).failed());
    ASSERT_FALSE(journal.begin().failed());

    struct Write {
        QString file;
        QByteArray data;
        bool appending = false;
        bool locked = false; // another opening of the file could not lock it
    };
    QList<Write> writes;
    {
        const DiskCallsOverride calls(
            DiskCalls{.write = [&writes](int fd, const char *data, qint64 size) -> qint64 {
                Write seen{fileOf(fd), QByteArray(data, size)};
                seen.appending = (::fcntl(fd, F_GETFL) & O_APPEND) != 0;
                const int other =
                    ::open(QFile::encodeName(seen.file).constData(), O_RDONLY | O_CLOEXEC);
                seen.locked = ::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
                ::close(other);
                writes.append(seen);
                return ::write(fd, data, size_t(size));
            }});
        ASSERT_FALSE(journal.append(user("a.txt"), "more\r\nlines\r\n").failed());
        ASSERT_FALSE(journal.append(user("b.txt"), "new\r\n").failed());
    }
    // Before each file's write, the journal records what it adds, in a write
    // of its own.
    ASSERT_EQ(writes.size(), 4);
    const QString folder = QFileInfo(user()).canonicalFilePath();
    EXPECT_EQ(writes[0].file, folder + u'/' + kJournalName);
    EXPECT_EQ(writes[0].data, writtenRecord("a.txt", {"\r\n", "more\r\n", "lines\r\n"}));
    EXPECT_EQ(writes[1].file, folder + "/a.txt");
    EXPECT_EQ(writes[1].data, QByteArray("\r\nmore\r\nlines\r\n"));
    EXPECT_EQ(writes[2].file, folder + u'/' + kJournalName);
    EXPECT_EQ(writes[2].data, writtenRecord("b.txt", {"new\r\n"}));
    EXPECT_EQ(writes[3].file, folder + "/b.txt");
    EXPECT_EQ(writes[3].data, QByteArray("new\r\n"));
    for (const Write &w : std::as_const(writes)) {
        EXPECT_TRUE(w.appending) << w.file.toStdString();
        EXPECT_TRUE(w.locked) << w.file.toStdString();
    }
    bool committed = false;
    ASSERT_FALSE(journal.commit(&committed).failed());
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old line\r\nno line end\r\nmore\r\nlines\r\n"));
    EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("new\r\n"));
}

// A fault of the disk that strikes one of the journal's own steps.
struct StepFault {
    const char *name;
    std::function<DiskCalls()> calls;
    const char *message; // %1: the user folder
    bool journalStays;   // left for the next start to finish or undo
    bool changed;        // what that start leaves: the change made, or none of it
};

// A case is shown by its name when it fails.
void PrintTo(const StepFault &c, std::ostream *os) {
    *os << c.name;
}

// A write to the file `name` (in any folder) fails with EIO.
qint64 writeFailingTo(const char *name, int fd, const char *data, qint64 size) {
    if (fileOf(fd).endsWith(QLatin1String(name))) {
        errno = EIO;
        return -1;
    }
    return ::write(fd, data, size_t(size));
}

int failsWithEio() {
    errno = EIO;
    return -1;
}

class StepFaults : public JournalTest, public ::testing::WithParamInterface<StepFault> {};

// Every disk call of the journal goes through the disk calls, so a fault in
// any of its steps reaches it: the change is refused and undone at once,
// naming the file and the reason; what cannot be undone or finished at once
// is left to the next start, which makes the files whole.
TEST_P(StepFaults, ReachTheJournalAndLeaveTheFilesWhole) {
    const StepFault fault = GetParam();
    write(user("a.txt"), "old\r\n");
    ASSERT_TRUE(QDir().mkpath(user("gone/inner")));
    write(user("gone/inner/file"), "x");
    Journal journal(user());
    for (const IoError &err :
         {journal.willAppendTo(user("a.txt")), journal.willAppendTo(user("b.txt")),
          journal.willMakeFolder(user("sub")), journal.willRemoveFolder(user("gone")),
          journal.begin()}) {
        ASSERT_FALSE(err.failed()) << err.message().toStdString();
    }
    IoError err;
    bool committed = false;
    {
        const DiskCallsOverride calls(fault.calls());
        err = journal.append(user("a.txt"), "more\r\n");
        if (!err.failed())
            err = journal.makeFolder(user("sub"));
        if (!err.failed())
            err = journal.append(user("b.txt"), "new\r\n");
        err = err.failed() ? journal.abandon(err) : journal.commit(&committed);
    }
    EXPECT_EQ(err.message(), QString::fromLatin1(fault.message).arg(user()));
    EXPECT_EQ(committed, fault.changed);
    EXPECT_EQ(QFileInfo::exists(journalFile()), fault.journalStays);

    const IoError recovered = RecoverJournal(user());
    ASSERT_FALSE(recovered.failed()) << recovered.message().toStdString();
    if (fault.changed) {
        EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old\r\nmore\r\n"));
        EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("new\r\n"));
        EXPECT_EQ(entries(user()), (QStringList{"a.txt", "b.txt", "sub"}));
    } else {
        EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old\r\n"));
        EXPECT_EQ(FileBytes(user("gone/inner/file")), QByteArray("x"));
        EXPECT_EQ(entries(user()), (QStringList{"a.txt", "gone"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Journal, StepFaults,
    ::testing::Values(
        StepFault{"folder_not_made",
                  [] {
                      return DiskCalls{
                          .makeFolder = [](const char *, mode_t) { return failsWithEio(); }};
                  },
                  "Wayfile could not create \"%1/sub\".\r\n\r\nReason: Input/output error.", false,
                  false},
        StepFault{"new_file_not_opened",
                  [] {
                      return DiskCalls{.open = [](const char *path, int flags, mode_t mode) {
                          if (QByteArrayView(path).endsWith("/b.txt")) {
                              errno = EDQUOT;
                              return -1;
                          }
                          return ::open(path, flags, mode);
                      }};
                  },
                  "Wayfile could not write to \"%1/b.txt\".\r\n\r\nReason: Disk quota exceeded.",
                  false, false},
        StepFault{"append_not_cut_back",
                  [] {
                      return DiskCalls{.write =
                                           [](int fd, const char *data, qint64 size) {
                                               return writeFailingTo("/b.txt", fd, data, size);
                                           },
                                       .truncate = [](int, qint64) { return failsWithEio(); }};
                  },
                  "Wayfile could not write to \"%1/b.txt\".\r\n\r\nReason: Input/output "
                  "error. What was written could not be taken back at once (\"%1/a.txt\": "
                  "Input/output error); Wayfile will take it back the next time it starts.",
                  true, false},
        StepFault{"folder_made_not_removed",
                  [] {
                      return DiskCalls{.write =
                                           [](int fd, const char *data, qint64 size) {
                                               return writeFailingTo("/b.txt", fd, data, size);
                                           },
                                       .removeFolder = [](const char *) { return failsWithEio(); }};
                  },
                  "Wayfile could not write to \"%1/b.txt\".\r\n\r\nReason: Input/output "
                  "error. What was written could not be taken back at once (\"%1/sub\": "
                  "Input/output error); Wayfile will take it back the next time it starts.",
                  true, false},
        StepFault{
            "folder_gone_not_removed",
            [] { return DiskCalls{.removeFolder = [](const char *) { return failsWithEio(); }}; },
            "Wayfile could not delete \"%1/gone.journal-gone/inner\".\r\n\r\nReason: "
            "Input/output error. The change will be finished the next time Wayfile "
            "starts.",
            true, true}),
    [](const auto &info) { return std::string(info.param.name); });

// --- The journal file ------------------------------------------------------------

// Owner-only, plain text, paths relative to its folder and percent-encoded,
// closed by the count of its entries and the SHA-256 of what precedes.
TEST_F(JournalTest, IsWrittenInItsDocumentedForm) {
    write(user("a.txt"), "0123456789");
    const forked::Outcome outcome = appendsStoppedAfter(0);
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();

    EXPECT_EQ(modeOf(journalFile()), mode_t(0600));
    const QByteArray bytes = FileBytes(journalFile());
    const QByteArray body = "Wayfile journal 2\n"
                            "append 10 a.txt\n"
                            "create b.txt\n"
                            "mkdir sub\n";
    EXPECT_EQ(bytes, body + "end 3 " +
                         QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() + "\n");
}

// Each append's bytes follow the end line, with their count and SHA-256,
// before they are written; each new version, the length and SHA-256 of the
// version it was made from, once it is written.
TEST_F(JournalTest, RecordsWhatEachStepWritesAfterItsEndLine) {
    write(user("a.txt"), "0123456789");
    write(user("c.txt"), "old c\r\n");
    Journal journal(user());
    for (const IoError &err :
         {journal.willAppendTo(user("a.txt")), journal.willReplace(user("c.txt")), journal.begin()})
        ASSERT_FALSE(err.failed()) << err.message().toStdString();
    const QByteArray head = FileBytes(journalFile());
    ASSERT_FALSE(journal.append(user("a.txt"), "more\r\n").failed());
    const QByteArray line = "new c";
    qsizetype edited = 0;
    ASSERT_FALSE(journal
                     .writeNewVersion(
                         user("c.txt"),
                         [&line](QByteArrayView &text, bool *) {
                             text = line;
                             return true;
                         },
                         &edited)
                     .failed());
    const auto sha = [](const QByteArray &bytes) { return Crc32c::of(bytes); };
    EXPECT_TRUE(head.startsWith("Wayfile journal 2\nappend 10 a.txt\nreplace c.txt "
                                "c.txt.journal-new\nend 2 "));
    EXPECT_EQ(FileBytes(journalFile()), head + writtenRecord("a.txt", {"\r\n", "more\r\n"}) +
                                            "replacing c.txt 7 " + sha("old c\r\n") + "\n");
    bool committed = false;
    ASSERT_FALSE(journal.commit(&committed).failed());
}

// A journal cut short anywhere while it was written (a crash before it was
// flushed) was never committed and no data had been written after it: the
// recovery removes it and touches nothing else. Only the whole journal cuts
// the file back.
TEST_F(JournalTest, ATornJournalIsRemovedAndNothingElseIsTouched) {
    write(user("a.txt"), "0123456789");
    const forked::Outcome outcome = appendsStoppedAfter(0);
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();
    const QByteArray whole = FileBytes(journalFile());
    write(user("a.txt"), "0123456789 and more");
    write(user("b.txt"), "made since");

    for (qsizetype length = 0; length < whole.size(); ++length) {
        write(journalFile(), whole.left(length));
        const IoError err = RecoverJournal(user());
        ASSERT_FALSE(err.failed()) << length << ": " << err.message().toStdString();
        ASSERT_EQ(entries(user()), (QStringList{"a.txt", "b.txt"})) << length;
        ASSERT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789 and more")) << length;
    }
    // A changed byte is as good as a missing one.
    QByteArray damaged = whole;
    damaged[damaged.indexOf("a.txt")] = 'x';
    write(journalFile(), damaged);
    ASSERT_FALSE(RecoverJournal(user()).failed());
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789 and more"));

    // The whole journal is acted on: it recorded no bytes of its own yet, so
    // what was added since is someone else's, and everything is kept.
    write(journalFile(), whole);
    EXPECT_EQ(RecoverJournal(user()).message(),
              QStringLiteral("Wayfile could not take back the change to \"%1\".\r\n\r\nReason: "
                             "It was changed after an earlier change of several files was cut "
                             "short: Wayfile left it, and the record of that change, as they are, "
                             "so that nothing written since is lost.")
                  .arg(user("a.txt")));
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789 and more"));
    EXPECT_EQ(FileBytes(journalFile()), whole);
    // As the change left them, they are cut back.
    write(user("a.txt"), "0123456789");
    QFile::remove(user("b.txt"));
    ASSERT_FALSE(RecoverJournal(user()).failed());
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789"));
    EXPECT_EQ(entries(user()), QStringList{"a.txt"});
}

// A whole journal that holds a step this program does not know is no crash's
// work: it is left for the user, and said so.
TEST_F(JournalTest, AWholeJournalThatCannotBeReadIsLeftAndReported) {
    const QByteArray body = "Wayfile journal 1\nshred 10 a.txt\n";
    const QByteArray bytes =
        body + "end 1 " + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() + "\n";
    write(journalFile(), bytes);
    write(user("a.txt"), "0123456789 and more");
    const IoError err = RecoverJournal(user());
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile could not finish the change recorded in \"%1\".\r\n\r\n"
                             "Reason: It holds a step this version of Wayfile does not know "
                             "(\"shred 10 a.txt\").")
                  .arg(journalFile()));
    EXPECT_EQ(FileBytes(journalFile()), bytes);
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789 and more"));
}

// --- New versions ----------------------------------------------------------------

// Lines the edit leaves alone keep every byte, their own line ends included
// (CR LF, LF, a CR inside a line, a last line without line end); a dropped
// line goes with its line end.
TEST_F(JournalTest, ANewVersionKeepsEveryByteThatIsNotEdited) {
    write(user("a.txt"), "one\r\ntwo\nth\rree\r\ndrop\r\nlast");
    write(user("b.txt"), "untouched\r\n");
    Journal journal(user());
    ASSERT_FALSE(journal.willReplace(user("a.txt")).failed());
    ASSERT_FALSE(journal.willReplace(user("b.txt")).failed());
    ASSERT_FALSE(journal.begin().failed());
    const QByteArray two = "TWO";
    qsizetype edited = 0;
    ASSERT_FALSE(journal
                     .writeNewVersion(
                         user("a.txt"),
                         [&](QByteArrayView &line, bool *keep) {
                             if (line == "two")
                                 line = two;
                             else if (line == "drop")
                                 *keep = false;
                             else
                                 return false;
                             return true;
                         },
                         &edited)
                     .failed());
    EXPECT_EQ(edited, 2);
    ASSERT_FALSE(journal
                     .writeNewVersion(
                         user("b.txt"), [](QByteArrayView &, bool *) { return false; }, &edited)
                     .failed());
    EXPECT_EQ(edited, 0);
    // A file whose lines all stay needs no new version.
    EXPECT_EQ(entries(user()), (QStringList{"a.txt", "a.txt.journal-new", "b.txt", kJournalName}));
    bool committed = false;
    ASSERT_FALSE(journal.commit(&committed).failed());
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("one\r\nTWO\nth\rree\r\nlast"));
    EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("untouched\r\n"));
    EXPECT_EQ(entries(user()), (QStringList{"a.txt", "b.txt"}));
}

// A link is followed: the file it leads to gets the new version, in its own
// folder (named in the journal by its whole path), and the link stays.
TEST_F(JournalTest, ANewVersionOfALinkedFileReplacesTheFileTheLinkLeadsTo) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("elsewhere")));
    const QString real = dir.filePath(QStringLiteral("elsewhere/real.txt"));
    write(real, "old\r\n");
    ASSERT_TRUE(QFile::link(real, user("a.txt")));
    Journal journal(user());
    ASSERT_FALSE(journal.willReplace(user("a.txt")).failed());
    ASSERT_FALSE(journal.begin().failed());
    EXPECT_TRUE(FileBytes(journalFile())
                    .contains("replace " + QFile::encodeName(real).toPercentEncoding("/") + ' '));
    const QByteArray replacement = "new";
    qsizetype edited = 0;
    ASSERT_FALSE(journal
                     .writeNewVersion(
                         user("a.txt"),
                         [&](QByteArrayView &line, bool *) {
                             line = replacement;
                             return true;
                         },
                         &edited)
                     .failed());
    bool committed = false;
    ASSERT_FALSE(journal.commit(&committed).failed());
    EXPECT_TRUE(QFileInfo(user("a.txt")).isSymLink());
    EXPECT_EQ(FileBytes(real), QByteArray("new\r\n"));
    EXPECT_EQ(entries(dir.filePath(QStringLiteral("elsewhere"))), QStringList{"real.txt"});
    EXPECT_EQ(entries(user()), QStringList{"a.txt"});
}

struct StopCase {
    const char *name;
    const char *stop;   // "commit_write" or "rename"
    bool half;          // the commit line half written
    bool newVersionsIn; // what the recovery leaves
};

class StoppedReplacements : public JournalTest, public ::testing::WithParamInterface<StopCase> {};

// New versions whose commit line was not flushed whole are undone; once it
// was, they are finished, however few of them had taken their place.
TEST_P(StoppedReplacements, AreUndoneOrFinishedByTheirCommitLine) {
    const StopCase stop = GetParam();
    write(user("a.txt"), "old a\r\n");
    write(user("b.txt"), "old b\r\n");
    ASSERT_TRUE(QDir().mkpath(user("gone/inner")));
    write(user("gone/inner/file"), "x");
    const forked::Outcome outcome = forked::run([&]() -> QByteArray {
        const std::string what = stop.stop;
        const bool half = stop.half;
        DiskCalls calls;
        auto renames = std::make_shared<int>(0);
        calls.write = [what, half](int fd, const char *data, qint64 size) -> qint64 {
            if (what == "commit_write" && std::strncmp(data, "commit ", 7) == 0) {
                if (half) [[maybe_unused]]
                    const ssize_t n = ::write(fd, data, size_t(size / 2));
                ::_exit(diskkill::kStopped);
            }
            return ::write(fd, data, size_t(size));
        };
        calls.rename = [what, renames](const char *from, const char *to) {
            // The folder moves first, then the two new versions: stopped
            // before the second new version takes its place.
            if (what == "rename" && ++*renames == 3)
                ::_exit(diskkill::kStopped);
            return ::rename(from, to);
        };
        SetDiskCalls(calls);
        Journal journal(user());
        for (const IoError &err :
             {journal.willRemoveFolder(user("gone")), journal.willReplace(user("a.txt")),
              journal.willReplace(user("b.txt")), journal.begin()}) {
            if (err.failed())
                return err.message().toLatin1();
        }
        for (const char *name : {"a.txt", "b.txt"}) {
            const QByteArray line = QByteArray("new ") + name[0];
            qsizetype edited = 0;
            const IoError err = journal.writeNewVersion(
                user(QLatin1String(name)),
                [&line](QByteArrayView &text, bool *) {
                    text = line;
                    return true;
                },
                &edited);
            if (err.failed())
                return err.message().toLatin1();
        }
        bool committed = false;
        return "not stopped: " + journal.commit(&committed).message().toLatin1();
    });
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();

    const IoError err = RecoverJournal(user());
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    if (stop.newVersionsIn) {
        EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("new a\r\n"));
        EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("new b\r\n"));
        EXPECT_EQ(entries(user()), (QStringList{"a.txt", "b.txt"}));
    } else {
        EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("old a\r\n"));
        EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("old b\r\n"));
        EXPECT_EQ(FileBytes(user("gone/inner/file")), QByteArray("x"));
        EXPECT_EQ(entries(user()), (QStringList{"a.txt", "b.txt", "gone"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Journal, StoppedReplacements,
    ::testing::Values(StopCase{"before_the_commit_line", "commit_write", false, false},
                      StopCase{"commit_line_torn", "commit_write", true, false},
                      StopCase{"between_two_renames", "rename", false, true}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Work done after the crash --------------------------------------------------

// What another program sharing the folder adds after the crash: whole
// records, in a file of its own choosing.
const QByteArray kPeerRecords = "peer record 1\r\npeer record 2\r\n";

void appendAsPeer(const QString &path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append)) << path.toStdString();
    ASSERT_EQ(file.write(kPeerRecords), kPeerRecords.size());
}

// The files of a folder and their bytes (the journal left out).
QMap<QString, QByteArray> filesIn(const QString &folder) {
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (name != kJournalName)
            files.insert(name, FileBytes(folder + u'/' + name));
    }
    return files;
}

// The failure a recovery reports when it left a file alone that was changed
// since.
QString keptMessage(const QString &action, const QString &path) {
    return QStringLiteral("Wayfile could not %1 \"%2\".\r\n\r\nReason: It was changed after an "
                          "earlier change of several files was cut short: Wayfile left it, and "
                          "the record of that change, as they are, so that nothing written "
                          "since is lost.")
        .arg(action, path);
}

// Whether a journal file's end line was written whole.
bool wholeJournal(const QByteArray &bytes) {
    const qsizetype end = bytes.indexOf("\nend ");
    return end >= 0 && bytes.indexOf('\n', end + 1) >= 0;
}

class PeerAfterCrash : public JournalTest, public ::testing::WithParamInterface<diskkill::Cut> {};

// An append change stopped dead at every one of its steps (or with that
// write torn), then another program appends its records to both files
// before the recovery runs. The recovery never cuts those records away:
// every file is as the crash left it with the records after it, byte for
// byte. A journal that was written whole stays, and the recovery says why.
TEST_P(PeerAfterCrash, AppendsKeepTheRecordsWrittenSince) {
    int kept = 0;
    for (int step = 1;; ++step) {
        ASSERT_LT(step, 100) << "the change never finished";
        QDir(user()).removeRecursively();
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        write(user("a.txt"), "old line\r\n");
        const forked::Outcome outcome = forked::run([&]() -> QByteArray {
            SetDiskCalls(diskkill::StopAt(step, GetParam()));
            Journal journal(user());
            for (const IoError &err :
                 {journal.willAppendTo(user("a.txt")), journal.willAppendTo(user("b.txt")),
                  journal.begin(), journal.append(user("a.txt"), "more\r\n"),
                  journal.append(user("b.txt"), "new\r\n")}) {
                if (err.failed())
                    return err.message().toLatin1();
            }
            bool committed = false;
            const IoError err = journal.commit(&committed);
            return err.failed() ? err.message().toLatin1() : QByteArray("done");
        });
        if (outcome.exited && outcome.status == 0) {
            ASSERT_EQ(outcome.report, QByteArray("done"));
            break;
        }
        ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped)
            << step << ": " << outcome.describe();
        const bool journalThere = QFileInfo::exists(journalFile());
        appendAsPeer(user("a.txt"));
        appendAsPeer(user("b.txt"));
        const QMap<QString, QByteArray> before = filesIn(user());

        const IoError err = RecoverJournal(user());
        EXPECT_EQ(filesIn(user()), before) << step;
        if (journalThere && wholeJournal(FileBytes(journalFile()))) {
            ++kept;
            EXPECT_TRUE(QFileInfo::exists(journalFile())) << step;
            // The first file the journal names that was changed since.
            EXPECT_EQ(err.message(),
                      keptMessage(QStringLiteral("take back the change to"), user("a.txt")))
                << step;
        } else {
            EXPECT_FALSE(err.failed()) << step << ": " << err.message().toStdString();
        }
        if (HasFailure()) {
            ADD_FAILURE() << "stopped at step " << step;
            return;
        }
    }
    EXPECT_GT(kept, 2);
}

// New versions of two files, the change stopped dead at every one of its
// steps (or with that write torn), then another program appends its records
// to both files. The recovery never renames a new version over those
// records: a new version still waiting is set aside under ".kept", with
// every byte, and the journal stays; the files keep what the peer wrote.
TEST_P(PeerAfterCrash, NewVersionsAreSetAsideInsteadOfOverwritingIt) {
    int kept = 0;
    for (int step = 1;; ++step) {
        ASSERT_LT(step, 100) << "the change never finished";
        QDir(user()).removeRecursively();
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        write(user("a.txt"), "old a\r\n");
        write(user("b.txt"), "old b\r\n");
        const forked::Outcome outcome = forked::run([&]() -> QByteArray {
            SetDiskCalls(diskkill::StopAt(step, GetParam()));
            Journal journal(user());
            for (const IoError &err : {journal.willReplace(user("a.txt")),
                                       journal.willReplace(user("b.txt")), journal.begin()}) {
                if (err.failed())
                    return err.message().toLatin1();
            }
            for (const char *name : {"a.txt", "b.txt"}) {
                const QByteArray line = QByteArray("new ") + name[0];
                qsizetype edited = 0;
                const IoError err = journal.writeNewVersion(
                    user(QLatin1String(name)),
                    [&line](QByteArrayView &text, bool *) {
                        text = line;
                        return true;
                    },
                    &edited);
                if (err.failed())
                    return err.message().toLatin1();
            }
            bool committed = false;
            const IoError err = journal.commit(&committed);
            return err.failed() ? err.message().toLatin1() : QByteArray("done");
        });
        if (outcome.exited && outcome.status == 0) {
            ASSERT_EQ(outcome.report, QByteArray("done"));
            break;
        }
        ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped)
            << step << ": " << outcome.describe();
        const QByteArray journal =
            QFileInfo::exists(journalFile()) ? FileBytes(journalFile()) : QByteArray();
        // A commit line is whole: "commit ", 64 hex digits and a LF.
        const qsizetype commit = journal.lastIndexOf("\ncommit ");
        const bool committed = commit >= 0 && journal.size() == commit + 1 + 7 + 64 + 1;
        appendAsPeer(user("a.txt"));
        appendAsPeer(user("b.txt"));
        const QMap<QString, QByteArray> before = filesIn(user());

        const IoError err = RecoverJournal(user());
        for (const char *name : {"a.txt", "b.txt"})
            EXPECT_EQ(FileBytes(user(QLatin1String(name))), before.value(QLatin1String(name)))
                << step << " " << name;
        QStringList waiting; // the new versions that had not taken their file's place
        for (const QString &name : before.keys()) {
            if (name.endsWith(kNewVersionSuffix))
                waiting.append(name);
        }
        if (committed && !waiting.isEmpty()) {
            ++kept;
            EXPECT_EQ(FileBytes(journalFile()), journal) << step;
            const QString first = waiting.first().chopped(kNewVersionSuffix.size());
            EXPECT_EQ(err.message(),
                      keptMessage(QStringLiteral("finish the change to"), user(first)))
                << step;
            for (const QString &name : waiting) {
                EXPECT_FALSE(QFileInfo::exists(user(name))) << step;
                EXPECT_EQ(FileBytes(user(name + ".kept")), before.value(name)) << step;
            }
        } else {
            EXPECT_FALSE(err.failed()) << step << ": " << err.message().toStdString();
            EXPECT_FALSE(QFileInfo::exists(journalFile())) << step;
        }
        if (HasFailure()) {
            ADD_FAILURE() << "stopped at step " << step;
            return;
        }
    }
    EXPECT_GE(kept, 1);
}

// A journal kept for a file changed since keeps every file as it is at each
// later start, until someone decides: nothing is renamed over the file, and
// the new version set aside is not taken for one that took its place.
TEST_F(JournalTest, AKeptJournalStaysKeptAtTheNextStart) {
    write(user("a.txt"), "old a\r\n");
    const forked::Outcome outcome = forked::run([&]() -> QByteArray {
        SetDiskCalls(DiskCalls{
            .rename = [](const char *, const char *) -> int { ::_exit(diskkill::kStopped); }});
        Journal journal(user());
        if (journal.willReplace(user("a.txt")).failed() || journal.begin().failed())
            return "not begun";
        const QByteArray line = "new a";
        qsizetype edited = 0;
        journal.writeNewVersion(
            user("a.txt"),
            [&line](QByteArrayView &text, bool *) {
                text = line;
                return true;
            },
            &edited);
        bool committed = false;
        return journal.commit(&committed).message().toLatin1();
    });
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();
    appendAsPeer(user("a.txt"));
    const QString message = keptMessage(QStringLiteral("finish the change to"), user("a.txt"));
    EXPECT_EQ(RecoverJournal(user()).message(), message);
    EXPECT_EQ(RecoverJournal(user()).message(), message);
    EXPECT_EQ(FileBytes(user("a.txt")), "old a\r\n" + kPeerRecords);
    EXPECT_EQ(FileBytes(user("a.txt.journal-new.kept")), QByteArray("new a\r\n"));
    EXPECT_EQ(entries(user()), (QStringList{"a.txt", "a.txt.journal-new.kept", kJournalName}));
}

// Bytes declared before the change begins are recorded with the journal, in
// its one write: their append writes only its file. A file without a last
// line end gets one in front of them, and those bytes are recorded anew.
TEST_F(JournalTest, BytesDeclaredBeforehandAreRecordedWithTheJournal) {
    write(user("a.txt"), "0123456789");
    Journal journal(user());
    for (const IoError &err : {journal.willAppendTo(user("a.txt"), "more\r\n"),
                               journal.willAppendTo(user("b.txt"), "new\r\n"), journal.begin()})
        ASSERT_FALSE(err.failed()) << err.message().toStdString();
    const QByteArray body = "Wayfile journal 2\nappend 10 a.txt\ncreate b.txt\n";
    const QByteArray head =
        body + "end 2 " + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() +
        "\n" + writtenRecord("a.txt", {"more\r\n"}) + writtenRecord("b.txt", {"new\r\n"});
    EXPECT_EQ(FileBytes(journalFile()), head);

    QStringList written; // the files each write went to
    {
        const DiskCallsOverride calls(
            DiskCalls{.write = [&written](int fd, const char *data, qint64 size) -> qint64 {
                written.append(QFileInfo(fileOf(fd)).fileName());
                return ::write(fd, data, size_t(size));
            }});
        ASSERT_FALSE(journal.append(user("b.txt"), "new\r\n").failed());
        ASSERT_FALSE(journal.append(user("a.txt"), "more\r\n").failed());
    }
    EXPECT_EQ(written, (QStringList{"b.txt", kJournalName, "a.txt"}));
    EXPECT_EQ(FileBytes(journalFile()), head + writtenRecord("a.txt", {"\r\n", "more\r\n"}));
    bool committed = false;
    ASSERT_FALSE(journal.commit(&committed).failed());
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789\r\nmore\r\n"));
    EXPECT_EQ(FileBytes(user("b.txt")), QByteArray("new\r\n"));
}

// Stopped after the append of bytes declared beforehand: the next start
// takes it back; with records another program added since, it keeps them.
TEST_F(JournalTest, BytesDeclaredBeforehandAreTakenBackOnlyWhenAlone) {
    for (const bool peer : {false, true}) {
        QDir(user()).removeRecursively();
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        const forked::Outcome outcome = forked::run([this]() -> QByteArray {
            Journal journal(user());
            for (const IoError &err : {journal.willAppendTo(user("b.txt"), "new\r\n"),
                                       journal.begin(), journal.append(user("b.txt"), "new\r\n")})
                if (err.failed())
                    return err.message().toLatin1();
            ::_exit(diskkill::kStopped);
        });
        ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();
        if (peer)
            appendAsPeer(user("b.txt"));
        const IoError err = RecoverJournal(user());
        if (peer) {
            EXPECT_EQ(err.message(),
                      keptMessage(QStringLiteral("take back the change to"), user("b.txt")));
            EXPECT_EQ(FileBytes(user("b.txt")), "new\r\n" + kPeerRecords);
            EXPECT_TRUE(QFileInfo::exists(journalFile()));
        } else {
            EXPECT_FALSE(err.failed()) << err.message().toStdString();
            EXPECT_EQ(entries(user()), QStringList());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Journal, PeerAfterCrash,
                         ::testing::Values(diskkill::Cut::Before, diskkill::Cut::HalfWritten),
                         [](const auto &info) {
                             return info.param == diskkill::Cut::Before
                                        ? std::string("before_the_call")
                                        : std::string("write_torn");
                         });

// --- Changes on top of changes ---------------------------------------------------

// While a journal of an interrupted change is still there (its recovery
// failed), no change starts that touches its folder, and nothing is written.
TEST_F(JournalTest, NoChangeStartsWhileAnEarlierOneIsUnfinished) {
    write(journalFile(), "left over\n");
    write(user("a.txt"), "a\r\n");
    Journal journal(dir.path());
    ASSERT_FALSE(journal.willReplace(user("a.txt")).failed());
    const IoError err = journal.begin();
    // The user is told that the change was not made, why, and what to do.
    EXPECT_EQ(err.message(),
              QStringLiteral("Your change was not made: an earlier change of your files was cut "
                             "short and is not finished yet (it is recorded in \"%1\"). Please "
                             "close Wayfile and start it again, so that it can finish that change "
                             "first; if another copy of Wayfile is running, close that one too. "
                             "Should this message come back after the new start, see the message "
                             "Wayfile shows when you sign in.")
                  .arg(journalFile()));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(kJournalName)));
    EXPECT_EQ(entries(user()), (QStringList{"a.txt", kJournalName}));
}

// At start-up the program folder's journal and every user folder's are
// recovered.
TEST_F(JournalTest, TheStartRecoversTheJournalsOfEveryFolder) {
    write(user("a.txt"), "0123456789");
    const forked::Outcome outcome = appendsStoppedAfter(2);
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("usr2")));
    write(dir.filePath("usr2/a.txt"), "x");
    const QByteArray body = "Wayfile journal 1\nappend 1 a.txt\n";
    write(dir.filePath("usr2/") + kJournalName,
          body + "end 1 " + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() +
              "\n");
    write(dir.filePath("usr2/a.txt"), "x and more");

    const IoError err = RecoverJournals();
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(entries(user()), QStringList{"a.txt"});
    EXPECT_EQ(FileBytes(user("a.txt")), QByteArray("0123456789"));
    EXPECT_EQ(entries(dir.filePath("usr2")), QStringList{"a.txt"});
    EXPECT_EQ(FileBytes(dir.filePath("usr2/a.txt")), QByteArray("x"));
}

} // namespace

// The checksum the journal keeps of the files: CRC-32C, checked against the
// standard's own test values (RFC 3720, B.4), whole and added in pieces.
TEST(JournalChecksum, IsTheCastagnoliCrc) {
    EXPECT_EQ(Crc32c::of(""), QByteArray("00000000"));
    EXPECT_EQ(Crc32c::of("123456789"), QByteArray("e3069283"));
    EXPECT_EQ(Crc32c::of(QByteArray(32, '\0')), QByteArray("8a9136aa"));
    EXPECT_EQ(Crc32c::of(QByteArray(32, '\xff')), QByteArray("62a8ab43"));
    QByteArray ascending;
    for (int i = 0; i < 32; ++i)
        ascending += char(i);
    EXPECT_EQ(Crc32c::of(ascending), QByteArray("46dd794e"));
    for (int cut = 0; cut <= 32; ++cut) {
        Crc32c pieces;
        pieces.add(QByteArrayView(ascending).first(cut));
        pieces.add(QByteArrayView(ascending).sliced(cut));
        EXPECT_EQ(pieces.hex(), QByteArray("46dd794e")) << "cut at " << cut;
    }
}

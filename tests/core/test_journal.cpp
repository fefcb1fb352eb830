// The journal that makes a change of several files all or nothing: appends
// cut back, new versions finished or undone, the journal file's format, torn
// journals and torn commit lines, and the refusal to start a change on top
// of one that is not finished.

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
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

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

// --- The journal file ------------------------------------------------------------

// Owner-only, plain text, paths relative to its folder and percent-encoded,
// closed by the count of its entries and the SHA-256 of what precedes.
TEST_F(JournalTest, IsWrittenInItsDocumentedForm) {
    write(user("a.txt"), "0123456789");
    const forked::Outcome outcome = appendsStoppedAfter(0);
    ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped) << outcome.describe();

    EXPECT_EQ(modeOf(journalFile()), mode_t(0600));
    const QByteArray bytes = FileBytes(journalFile());
    const QByteArray body = "Wayfile journal 1\n"
                            "append 10 a.txt\n"
                            "create b.txt\n"
                            "mkdir sub\n";
    EXPECT_EQ(bytes, body + "end 3 " +
                         QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() + "\n");
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

    write(journalFile(), whole);
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

// --- Changes on top of changes ---------------------------------------------------

// While a journal of an interrupted change is still there (its recovery
// failed), no change starts that touches its folder, and nothing is written.
TEST_F(JournalTest, NoChangeStartsWhileAnEarlierOneIsUnfinished) {
    write(journalFile(), "left over\n");
    write(user("a.txt"), "a\r\n");
    Journal journal(dir.path());
    ASSERT_FALSE(journal.willReplace(user("a.txt")).failed());
    const IoError err = journal.begin();
    EXPECT_EQ(err.message(),
              QStringLiteral("Wayfile could not finish the change recorded in \"%1\".\r\n\r\n"
                             "Reason: An earlier change was cut short and has not been finished "
                             "or undone yet; Wayfile does that when it starts.")
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

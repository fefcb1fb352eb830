// The Trash: a URL or a category moved into it and back, byte for byte; a
// restore refused on a taken name or a lost category, and renumbered on a
// taken number; the purge of old items; another password's items; and every
// move stopped at each of its steps: afterwards the records are in exactly
// one place.

#include "privacy/clock.h"
#include "trash/trashfile.h"

#include "accounts/accountchange.h"
#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "recovery/recovery.h"
#include "session/modMain.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "diskkill.h"
#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTimeZone>

#include <functional>
#include <string>

using namespace modMain;

namespace {

const QString kMine = QStringLiteral("pw1");
const QString kOther = QStringLiteral("other");

QDateTime at(int day, int hour = 9) {
    return QDateTime(QDate(2026, 11, 1).addDays(day), QTime(hour, 30), Qt::UTC);
}

// User 1 signed in with "pw1": the index holds Work (1), Home (2, another
// password's) and Old (3); Work's file holds a.example (1), b.example (2,
// another password's) and c.example (3), the last line without a line end;
// Old's holds d.example (1). The Trash's clock stands at 1 November 2026.
class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USR1")));
        UserNo = 1;
        PassStamp = MakePassStamp(kMine);
        const QString other = MakePassStamp(kOther);
        indexBefore = (CategoryRecordLine(1, QStringLiteral("Work"), PassStamp) + kLineEnd +
                       CategoryRecordLine(2, QStringLiteral("Home"), other) + kLineEnd +
                       CategoryRecordLine(3, QStringLiteral("Old"), PassStamp) + kLineEnd)
                          .toLatin1();
        workBefore =
            (UrlRecordLine(1, QStringLiteral("a.example"), QStringLiteral("A"), PassStamp) +
             kLineEnd + UrlRecordLine(2, QStringLiteral("b.example"), QStringLiteral("b"), other) +
             kLineEnd + UrlRecordLine(3, QStringLiteral("c.example"), QString(), PassStamp))
                .toLatin1();
        oldBefore = (UrlRecordLine(1, QStringLiteral("d.example"), QString(), PassStamp) + kLineEnd)
                        .toLatin1();
        now = at(0);
        privacy::SetProgramClock(&clock);
        putBack();
    }
    void TearDown() override {
        SetDiskCalls({});
        privacy::SetProgramClock(nullptr);
        ResetSession();
        SetProgramFolder(QString());
    }

    void putBack() {
        QDir folder(user());
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
            ASSERT_TRUE(folder.remove(name));
        write(user("CAT.DAT"), indexBefore);
        write(user("CAT1.DAT"), workBefore);
        write(user("CAT3.DAT"), oldBefore);
    }
    QString user(const QString &name = QString()) const {
        return dir.filePath(QStringLiteral("USR1")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    static void write(const QString &path, const QByteArray &data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }
    // Every file of the user's folder that holds anything, with its bytes;
    // the Trash's header fields deciphered, as the cipher writes the same
    // text differently each time.
    QMap<QString, QByteArray> files() const {
        QMap<QString, QByteArray> out;
        for (const QString &name : QDir(user()).entryList(QDir::Files | QDir::Hidden)) {
            const QByteArray bytes = FileBytes(user(name));
            if (!bytes.isEmpty())
                out.insert(name, name == kTrashName ? readable(bytes) : bytes);
        }
        return out;
    }
    static QByteArray readable(const QByteArray &trash) {
        QByteArray out;
        for (const QByteArray &line : trash.split('\n')) {
            QByteArray rest = line;
            for (int field = 0; field < 7; ++field) {
                const qsizetype sep = rest.indexOf("*QVX*");
                if (sep < 0)
                    break;
                const QString text = QString::fromLatin1(rest.first(sep));
                out += (field == 5 ? text : DecodeField(text)).toLatin1() + " | ";
                rest = rest.sliced(sep + 5);
            }
            out += rest + '\n';
        }
        return out;
    }
    // "kind category name urls address" of every item of the Trash.
    static QStringList listed(const QString &stamp = PassStamp) {
        QList<TrashItem> items;
        const IoError err = ReadTrash(1, stamp, &items);
        EXPECT_FALSE(err.failed()) << err.message().toStdString();
        QStringList out;
        for (const TrashItem &item : items)
            out << QStringLiteral("%1 %2 %3 %4 %5 %6")
                       .arg(item.kind == TrashItem::Kind::Url ? "URL" : "CAT")
                       .arg(item.category)
                       .arg(item.categoryName)
                       .arg(item.kind == TrashItem::Kind::Url ? item.urlNo : item.urls)
                       .arg(item.address, item.deleted.toString(Qt::ISODate));
        return out;
    }
    static qint64 onlyItem() {
        QList<TrashItem> items;
        EXPECT_FALSE(ReadTrash(1, PassStamp, &items).failed());
        EXPECT_EQ(items.size(), 1);
        return items.isEmpty() ? 0 : items.first().id;
    }

    QTemporaryDir dir;
    QByteArray indexBefore, workBefore, oldBefore;
    QDateTime now;
    // The program's clocks, on `now`.
    class Clock : public privacy::Clock {
    public:
        explicit Clock(const QDateTime *at) : at_(at) {}
        privacy::Instant now() const override { return {0, at_->toMSecsSinceEpoch()}; }

    private:
        const QDateTime *at_;
    } clock{&now};
};

TEST_F(TrashTest, AUrlGoesIntoTheTrashAndComesBackByteForByte) {
    const QMap<QString, QByteArray> before = files();
    const Change trashed =
        TrashUrl(1, 1, QStringLiteral("Work"), 1, QStringLiteral("a.example"), PassStamp);
    ASSERT_TRUE(trashed.changed) << trashed.error.message().toStdString();
    EXPECT_FALSE(trashed.failed());
    EXPECT_EQ(trashed.number, 1);
    EXPECT_EQ(FileBytes(user("CAT1.DAT")), workBefore.sliced(workBefore.indexOf('\n') + 1));
    EXPECT_EQ(listed(), QStringList{"URL 1 Work 1 a.example 2026-11-01T09:30:00Z"});

    const Restored restored = RestoreTrashItem(1, trashed.number, PassStamp);
    ASSERT_TRUE(restored.change.changed) << restored.change.error.message().toStdString();
    EXPECT_EQ(restored.change.number, 1);
    EXPECT_FALSE(restored.renumbered);
    EXPECT_EQ(files(), before); // the Trash is empty again
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_FALSE(QFile::exists(user(kJournalName)));
}

TEST_F(TrashTest, ACategoryGoesIntoTheTrashWithItsUrlsAndComesBackByteForByte) {
    const QMap<QString, QByteArray> before = files();
    const Change trashed = TrashCategory(1, 1, QStringLiteral("Work"), PassStamp);
    ASSERT_TRUE(trashed.changed) << trashed.error.message().toStdString();
    EXPECT_FALSE(trashed.failed());
    EXPECT_FALSE(QFile::exists(user("CAT1.DAT")));
    EXPECT_EQ(DecodedIndex(user("CAT.DAT")), (QStringList{"2 Home", "3 Old"}));
    // The other password's URL went with the file, but counts for nobody.
    EXPECT_EQ(listed(), QStringList{"CAT 1 Work 3  2026-11-01T09:30:00Z"});

    const Restored restored = RestoreTrashItem(1, trashed.number, PassStamp);
    ASSERT_TRUE(restored.change.changed) << restored.change.error.message().toStdString();
    EXPECT_EQ(restored.change.number, 1);
    QMap<QString, QByteArray> expected = before;
    // The file's last line gets its line end back with the others.
    expected[QStringLiteral("CAT1.DAT")] = workBefore + "\r\n";
    EXPECT_EQ(files(), expected);
    EXPECT_FALSE(QFile::exists(user(kJournalName)));
}

TEST_F(TrashTest, ALastCategoryWithoutUrlsComesBackAtTheEnd) {
    const QMap<QString, QByteArray> before = files();
    ASSERT_TRUE(RemoveFile(user("CAT3.DAT")).kind == IoError::Kind::None);
    const Change trashed = TrashCategory(1, 3, QStringLiteral("Old"), PassStamp);
    ASSERT_TRUE(trashed.changed) << trashed.error.message().toStdString();
    EXPECT_EQ(listed(), QStringList{"CAT 3 Old 0  2026-11-01T09:30:00Z"});
    ASSERT_TRUE(RestoreTrashItem(1, trashed.number, PassStamp).change.changed);
    QMap<QString, QByteArray> expected = before;
    expected.remove(QStringLiteral("CAT3.DAT"));
    EXPECT_EQ(files(), expected);
}

TEST_F(TrashTest, ARestoreOnANameTakenMeanwhileIsRefusedAndChangesNothing) {
    const Change trashed = TrashCategory(1, 3, QStringLiteral("Old"), PassStamp);
    ASSERT_TRUE(trashed.changed);
    ASSERT_TRUE(AppendCategory(1, QStringLiteral("OLD"), PassStamp).changed);
    const QMap<QString, QByteArray> before = files();
    const Restored restored = RestoreTrashItem(1, trashed.number, PassStamp);
    EXPECT_FALSE(restored.change.changed);
    EXPECT_TRUE(restored.change.error.is(IoError::Kind::NameTaken));
    EXPECT_EQ(restored.change.error.message(),
              QStringLiteral(
                  "There already exists a Category by that name, please choose another name."));
    EXPECT_EQ(files(), before);
}

TEST_F(TrashTest, AUrlWhoseNumberIsTakenComesBackUnderTheNextFreeOne) {
    const Change trashed =
        TrashUrl(1, 1, QStringLiteral("Work"), 3, QStringLiteral("c.example"), PassStamp);
    ASSERT_TRUE(trashed.changed);
    ASSERT_EQ(AppendUrl(user("CAT1.DAT"), QStringLiteral("e.example"), QString(), PassStamp).number,
              3);
    const Restored restored = RestoreTrashItem(1, trashed.number, PassStamp);
    ASSERT_TRUE(restored.change.changed) << restored.change.error.message().toStdString();
    EXPECT_TRUE(restored.renumbered);
    EXPECT_EQ(restored.change.number, 4);
    QList<ListEntry> owned;
    int foreign = 0;
    ASSERT_FALSE(ReadUrlList(user("CAT1.DAT"), PassStamp, &owned, &foreign).failed());
    QStringList numbered;
    for (const ListEntry &entry : owned)
        numbered << QStringLiteral("%1 %2").arg(entry.number).arg(entry.text);
    // Back in its place, before the URL added since.
    EXPECT_EQ(numbered, (QStringList{"1 a.example", "4 c.example", "3 e.example"}));
    // Only the key differs from the record deleted.
    const QByteArray last = FileLines(user("CAT1.DAT")).at(2).trimmed();
    const QByteArray deleted = workBefore.sliced(workBefore.lastIndexOf('\n') + 1);
    EXPECT_EQ(last.sliced(last.indexOf("*QVX*")), deleted.sliced(deleted.indexOf("*QVX*")));
}

TEST_F(TrashTest, AUrlWhoseCategoryIsGoneIsNotRestored) {
    const Change trashed =
        TrashUrl(1, 3, QStringLiteral("Old"), 1, QStringLiteral("d.example"), PassStamp);
    ASSERT_TRUE(trashed.changed);
    ASSERT_TRUE(DeleteCategoryFiles(1, 3, QStringLiteral("Old")).changed);
    const QMap<QString, QByteArray> before = files();
    const Restored restored = RestoreTrashItem(1, trashed.number, PassStamp);
    EXPECT_FALSE(restored.change.changed);
    EXPECT_EQ(restored.change.error.message(),
              QStringLiteral("Sorry, the Category Old is no longer there, so nothing was "
                             "restored."));
    EXPECT_EQ(files(), before);
}

TEST_F(TrashTest, AUrlNoLongerInItsFileIsRefusedAsDeleteUrlRefusesIt) {
    const QMap<QString, QByteArray> before = files();
    const Change trashed =
        TrashUrl(1, 1, QStringLiteral("Work"), 1, QStringLiteral("z.example"), PassStamp);
    EXPECT_FALSE(trashed.changed);
    EXPECT_EQ(trashed.error.message(),
              QStringLiteral("Sorry, that URL is no longer in the file of this Category, so "
                             "nothing was deleted."));
    EXPECT_EQ(files(), before);
    EXPECT_FALSE(QFile::exists(user(kJournalName)));
}

TEST_F(TrashTest, AnItemNoLongerInTheTrashIsNotRestored) {
    const Restored restored = RestoreTrashItem(1, 7, PassStamp);
    EXPECT_FALSE(restored.change.changed);
    EXPECT_EQ(restored.change.error.message(),
              QStringLiteral("Sorry, that item is no longer in the Trash, so nothing was "
                             "restored."));
}

// Items older than 30 days go at sign-in; younger ones, and another
// password's, stay.
TEST_F(TrashTest, ThePurgeTakesOnlyTheUsersItemsOlderThanThirtyDays) {
    now = at(0);
    ASSERT_TRUE(
        TrashUrl(1, 1, QStringLiteral("Work"), 1, QStringLiteral("a.example"), PassStamp).changed);
    ASSERT_TRUE(TrashUrl(1, 1, QStringLiteral("Work"), 2, QStringLiteral("b.example"),
                         MakePassStamp(kOther))
                    .changed);
    now = at(2);
    ASSERT_TRUE(TrashCategory(1, 3, QStringLiteral("Old"), PassStamp).changed);
    now = at(30, 9); // 30 days to the minute: nothing is older yet
    Change purged = PurgeOldTrash(1, PassStamp);
    EXPECT_FALSE(purged.changed);
    EXPECT_EQ(purged.number, 0);
    now = at(30, 10);
    purged = PurgeOldTrash(1, PassStamp);
    EXPECT_TRUE(purged.changed);
    EXPECT_EQ(purged.number, 1);
    EXPECT_EQ(listed(), QStringList{"CAT 3 Old 1  2026-11-03T09:30:00Z"});
    EXPECT_EQ(listed(MakePassStamp(kOther)),
              QStringList{"URL 1 Work 2 b.example 2026-11-01T09:30:00Z"});
}

TEST_F(TrashTest, EmptyingTheTrashLeavesAnotherPasswordsItems) {
    ASSERT_TRUE(TrashUrl(1, 1, QStringLiteral("Work"), 2, QStringLiteral("b.example"),
                         MakePassStamp(kOther))
                    .changed);
    const QByteArray others = FileBytes(user(kTrashName));
    ASSERT_TRUE(TrashCategory(1, 3, QStringLiteral("Old"), PassStamp).changed);
    ASSERT_TRUE(
        TrashUrl(1, 1, QStringLiteral("Work"), 1, QStringLiteral("a.example"), PassStamp).changed);
    const Change emptied = EmptyTrash(1, PassStamp);
    EXPECT_TRUE(emptied.changed);
    EXPECT_EQ(emptied.number, 2);
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(FileBytes(user(kTrashName)), others);
}

TEST_F(TrashTest, APasswordChangeRestampsTheTrash) {
    ASSERT_TRUE(RegisterUser(QStringLiteral("ann"), kMine).changed);
    ASSERT_TRUE(TrashCategory(1, 1, QStringLiteral("Work"), PassStamp).changed);
    ASSERT_TRUE(ChangePassword(QStringLiteral("ann"), kMine, QStringLiteral("pw2")).changed);
    PassStamp = MakePassStamp(QStringLiteral("pw2"));
    EXPECT_TRUE(listed(MakePassStamp(kMine)).isEmpty());
    ASSERT_EQ(listed(), QStringList{"CAT 1 Work 3  2026-11-01T09:30:00Z"});
    ASSERT_TRUE(RestoreTrashItem(1, onlyItem(), PassStamp).change.changed);
    // The records come back under the new password; the other's stays its.
    QList<ListEntry> owned;
    int foreign = 0;
    ASSERT_FALSE(ReadUrlList(user("CAT1.DAT"), PassStamp, &owned, &foreign).failed());
    EXPECT_EQ(owned.size(), 2);
    EXPECT_EQ(foreign, 1);
    CategoryIndexRead index;
    ASSERT_FALSE(ReadCategoryIndex(1, PassStamp, &index).failed());
    EXPECT_EQ(index.owned.size(), 2);
}

// --- Stopped at every step ------------------------------------------------------

struct MoveCase {
    const char *name;
    bool category; // a category (Work) rather than a URL (a.example)
    bool restore;  // taking it back out of the Trash rather than in
};

class StoppedMoves : public TrashTest,
                     public ::testing::WithParamInterface<std::tuple<MoveCase, diskkill::Cut>> {
protected:
    Change move(qint64 item) const {
        const MoveCase c = std::get<0>(GetParam());
        if (c.restore)
            return RestoreTrashItem(1, item, PassStamp).change;
        return c.category ? TrashCategory(1, 1, QStringLiteral("Work"), PassStamp)
                          : TrashUrl(1, 1, QStringLiteral("Work"), 1, QStringLiteral("a.example"),
                                     PassStamp);
    }
    // The files before the move: for a restore, the item in the Trash.
    QMap<QString, QByteArray> start(qint64 *item) {
        putBack();
        *item = 0;
        const MoveCase c = std::get<0>(GetParam());
        if (c.restore) {
            const Change trashed = c.category
                                       ? TrashCategory(1, 1, QStringLiteral("Work"), PassStamp)
                                       : TrashUrl(1, 1, QStringLiteral("Work"), 1,
                                                  QStringLiteral("a.example"), PassStamp);
            EXPECT_TRUE(trashed.changed);
            *item = trashed.number;
        }
        return files();
    }
};

// The move stopped dead before each of its disk calls in turn (or with that
// write torn half-way), then the sign-in's recovery: every time, the files
// are as before the move or as after it, byte for byte, so the records are
// in their file or in the Trash, never in both or neither.
TEST_P(StoppedMoves, LeaveTheRecordsInExactlyOnePlace) {
    qint64 item = 0;
    const QMap<QString, QByteArray> before = start(&item);
    ASSERT_TRUE(move(item).changed);
    const QMap<QString, QByteArray> after = files();
    ASSERT_NE(before, after);
    int asBefore = 0;
    int asAfter = 0;
    for (int step = 1;; ++step) {
        ASSERT_LT(step, 100) << "the move never finished";
        ASSERT_EQ(start(&item), before);
        const forked::Outcome outcome = forked::run([&]() -> QByteArray {
            SetDiskCalls(diskkill::StopAt(step, std::get<1>(GetParam())));
            const Change change = move(item);
            return change.changed ? "moved" : change.error.message().toUtf8();
        });
        if (outcome.exited && outcome.status == 0) {
            ASSERT_EQ(outcome.report, QByteArray("moved"));
            EXPECT_EQ(files(), after);
            break;
        }
        ASSERT_TRUE(outcome.exited && outcome.status == diskkill::kStopped)
            << step << ": " << outcome.describe();
        const IoError recovered = RecoverUserFolder(1);
        ASSERT_FALSE(recovered.failed()) << step << ": " << recovered.message().toStdString();
        const QMap<QString, QByteArray> now = files();
        if (now == before) {
            ++asBefore;
        } else if (now == after) {
            ++asAfter;
        } else {
            ADD_FAILURE() << "stopped at step " << step << ", the files are neither as before "
                          << "nor as after: " << QStringList(now.keys()).join(u' ').toStdString();
            return;
        }
    }
    EXPECT_GT(asBefore, 3);
    EXPECT_GE(asAfter, 1); // stopped after the commit, before its last flush
}

INSTANTIATE_TEST_SUITE_P(
    Trash, StoppedMoves,
    ::testing::Combine(::testing::Values(MoveCase{"delete_url", false, false},
                                         MoveCase{"delete_category", true, false},
                                         MoveCase{"restore_url", false, true},
                                         MoveCase{"restore_category", true, true}),
                       ::testing::Values(diskkill::Cut::Before, diskkill::Cut::HalfWritten)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == diskkill::Cut::Before ? "_before_the_call"
                                                                 : "_write_torn");
    });

} // namespace

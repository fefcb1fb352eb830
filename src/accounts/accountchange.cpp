#include "accounts/accountchange.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "storage/cipher.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "trash/trashfile.h"
#include "urls/urlfile.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <sys/stat.h>

namespace modMain {

namespace {

Change refusedWith(IoError::Kind kind, const QString &message, Field subject = Field::None) {
    return Refused(IoError::refused(kind, message, subject));
}

// The account record a name and password sign in to, as the sign-in finds
// it (FindSignInRecord). An absent account file holds no record, and is not
// made here.
IoError findAccountRecord(const QString &userName, const QString &password,
                          const QString *otherPassword, SignInRecord *found, bool *otherHasIt) {
    struct stat st;
    if (::stat(QFile::encodeName(AccountFilePath()).constData(), &st) != 0 && errno == ENOENT) {
        *found = SignInRecord();
        if (otherHasIt)
            *otherHasIt = false;
        return IoError();
    }
    return FindSignInRecord(userName, password, found, otherPassword, otherHasIt);
}

// Whether a name in a user folder is that of a file of records: the category
// index or a URL file, or a URL file that a category delete set aside, or
// the Trash. The stamp is the third field of an index record and the fourth
// of a URL record: `*stampField` (0-based); a line of the Trash holds the
// deleting user's stamp in its field kTrashStampField, and the record it
// keeps has its own.
bool isRecordFile(const QString &name, int *stampField) {
    if (IsCategoryIndexName(name)) {
        *stampField = 2;
        return true;
    }
    if (IsTrashName(name)) {
        *stampField = kTrashStampField;
        return true;
    }
    *stampField = 3;
    return UrlFileCategory(name) >= 0 || SetAsideUrlFileCategory(name) >= 0;
}

// Gives every record of a line whose stamp stands for the old password the
// stamp of the new one; everything else of the line stays byte for byte.
class StampSwap {
public:
    StampSwap(const QString &oldPassword, const QString &newPassword)
        : old_(MakePassStamp(oldPassword)), stamp_(MakePassStamp(newPassword).toLatin1()) {}

    // `stampField`: the 0-based field that holds the stamp. A line with
    // fewer fields holds no stamp and stays as it is.
    bool edit(QByteArrayView &line, int stampField) {
        RecordSplitter<QLatin1StringView> fields(QLatin1StringView(line.data(), line.size()));
        for (int field = 0; field < stampField; ++field) {
            fields.next();
            if (fields.atEnd())
                return false;
        }
        const QLatin1StringView stored = fields.next();
        const qsizetype start = stored.data() - line.data();
        const qsizetype end = start + stored.size();
        stored_ = stored; // reused: rarely allocates
        if (!old_.owns(stored_))
            return false;
        line_.resize(0);
        line_.append(line.first(start));
        line_.append(stamp_);
        line_.append(line.sliced(end));
        line = line_;
        return true;
    }

private:
    OwnerTest old_;
    QByteArray stamp_;
    QString stored_;
    QByteArray line_; // the changed line, while it is written
};

// The account file's path, and the files of records in user `number`'s
// folder with the field of their stamps, in name order (the index first).
struct UserFiles {
    QStringList paths;
    QList<int> stampFields;
};

IoError userRecordFiles(int number, UserFiles *files) {
    const QString folder = UserFolderPath(number);
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 && errno == ENOENT)
        return IoError(); // a user without a folder has no records
    QStringList names;
    if (IoError err = ListFolder(folder, &names); err.failed())
        return err;
    for (const QString &name : std::as_const(names)) {
        int stampField = 0;
        if (!isRecordFile(name, &stampField))
            continue;
        const QString path = JoinPath(folder, name);
        if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue; // no file of records (a folder of that name is left alone)
        if (stampField == 2) {
            files->paths.prepend(path);
            files->stampFields.prepend(stampField);
        } else {
            files->paths.append(path);
            files->stampFields.append(stampField);
        }
    }
    return IoError();
}

// Adds up the sizes of files, in kilobytes (at least 1).
int kilobytesOf(const QStringList &paths) {
    qint64 bytes = 0;
    for (const QString &path : paths) {
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            bytes += st.st_size;
    }
    return int(std::max<qint64>(1, (bytes + 1023) / 1024));
}

// Edits the account file's record line `line` (whose bytes must be
// `bytes`): `replacement` takes its place, or it goes when that is null.
LineEdit accountLineEdit(const SignInRecord &record, const QByteArray *replacement) {
    auto at = std::make_shared<qsizetype>(-1);
    return [at, record, replacement](QByteArrayView &line, bool *keep) {
        if (++*at != record.line || line != record.bytes)
            return false;
        if (replacement)
            line = *replacement;
        else
            *keep = false;
        return true;
    };
}

// The end of a change of an account: the account file's new version was
// written through `journal` (`written`, `edited` records changed in it),
// which is now committed; or, when that failed or did not touch exactly
// the one record, abandoned. `number` is the account's.
Change commitAccountEdit(Journal &journal, const QString &accountFile, IoError written,
                         qsizetype edited, int number) {
    Change change;
    if (!written.failed() && edited != 1)
        written = IoError::failure(accountFile, QStringLiteral("write to"),
                                   QStringLiteral("The account record was changed by someone "
                                                  "else meanwhile"));
    if (written.failed()) {
        change.error = journal.abandon(written);
        return change;
    }
    bool committed = false;
    change.error = journal.commit(&committed);
    change.changed = committed;
    change.number = committed ? number : 0;
    return change;
}

} // namespace

Change ChangePassword(const QString &userName, const QString &oldPassword,
                      const QString &newPassword,
                      const std::function<void(int done, int total)> &progress) {
    SignInRecord record;
    bool otherHasIt = false;
    Change change;
    if (!change.error.take(
            findAccountRecord(userName, oldPassword, &newPassword, &record, &otherHasIt)))
        return change;
    if (record.line < 0)
        return refusedWith(IoError::Kind::NoRecord, kInvalidSignIn);
    const QString password = TrimBlanks(newPassword);
    if (password.isEmpty())
        return refusedWith(IoError::Kind::Unstorable,
                           QStringLiteral("Sorry, a Password can't be made of blanks only: it "
                                          "could never be signed in with."),
                           Field::Password);
    if (!change.error.take(UnstorableRefusal(Field::Password, password)))
        return change;
    if (otherHasIt)
        return refusedWith(IoError::Kind::NameTaken,
                           QStringLiteral("Sorry, another ID of that User Name already has that "
                                          "Password, please choose another!"));

    UserFiles files;
    if (!change.error.take(userRecordFiles(record.number, &files)))
        return change;
    const QString accountFile = AccountFilePath();

    Journal journal(ProgramFolder());
    for (const QString &path : std::as_const(files.paths)) {
        if (!change.error.take(journal.willReplace(path)))
            return change;
    }
    if (!change.error.take(journal.willReplace(accountFile)))
        return change;
    const int total = kilobytesOf(files.paths + QStringList{accountFile});
    if (!change.error.take(journal.begin()))
        return change;

    qint64 doneBytes = 0;
    auto tell = [&](qint64 fileBytes) {
        if (progress)
            progress(int(std::min<qint64>(total, (doneBytes + fileBytes) / 1024)), total);
    };
    if (progress)
        progress(0, total);
    StampSwap stamps(oldPassword, password);
    for (qsizetype i = 0; i < files.paths.size(); ++i) {
        const int field = files.stampFields[i];
        qsizetype edited = 0;
        qint64 fileBytes = 0;
        const bool trash = field == kTrashStampField;
        const IoError err = journal.writeNewVersion(
            files.paths[i],
            [&](QByteArrayView &line, bool *) {
                if (!trash)
                    return stamps.edit(line, field);
                // Both stamps of a Trash line: the deleting user's, then the
                // record's own (the edited line copied first, as the second
                // edit builds its line in the same buffer).
                const bool header = stamps.edit(line, field);
                const QByteArray first = header ? line.toByteArray() : QByteArray();
                QByteArrayView record = header ? QByteArrayView(first) : line;
                const int inner = TrashRecordStampField(record);
                if (inner >= 0 && stamps.edit(record, inner)) {
                    line = record;
                    return true;
                }
                return header;
            },
            &edited,
            [&](qint64 bytesRead) {
                fileBytes = bytesRead;
                tell(fileBytes);
            });
        if (err.failed()) {
            change.error = journal.abandon(err);
            return change;
        }
        doneBytes += fileBytes;
    }
    const QByteArray accountLine =
        AccountRecordLine(record.number, record.name, password).toLatin1();
    qsizetype edited = 0;
    const IoError err =
        journal.writeNewVersion(accountFile, accountLineEdit(record, &accountLine), &edited, tell);
    change = commitAccountEdit(journal, accountFile, err, edited, record.number);
    if (change.changed && progress)
        progress(total, total);
    return change;
}

Change DeleteAccount(const QString &userName, const QString &password) {
    SignInRecord record;
    Change change;
    if (!change.error.take(findAccountRecord(userName, password, nullptr, &record, nullptr)))
        return change;
    if (record.line < 0)
        return refusedWith(IoError::Kind::NoRecord, kInvalidSignIn);

    // The folder goes first, so that its name is free before the account
    // record is: a registration can never find the old files.
    const QString accountFile = AccountFilePath();
    Journal journal(ProgramFolder());
    if (!change.error.take(journal.willRemoveFolder(UserFolderPath(record.number))) ||
        !change.error.take(journal.willReplace(accountFile)) || !change.error.take(journal.begin()))
        return change;
    qsizetype edited = 0;
    const IoError err =
        journal.writeNewVersion(accountFile, accountLineEdit(record, nullptr), &edited);
    return commitAccountEdit(journal, accountFile, err, edited, record.number);
}

} // namespace modMain

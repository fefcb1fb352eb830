#include "bookmarks/importwrite.h"

#include "categories/categoryindex.h"
#include "storage/folderentries.h"
#include "storage/journal.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <algorithm>

namespace modMain {

namespace {

ImportResult refusedWith(const IoError &err) {
    return Refused<ImportResult>(err);
}

ImportResult refusedWith(IoError::Kind kind, const QString &message) {
    return refusedWith(IoError::refused(kind, message));
}

// Whether a file (or what a link leads to) is there. One that cannot be
// looked at counts as there: reading it tells why.
bool fileExists(const QString &path) {
    return KindOfEntry(path, Links::Followed) != EntryKind::Absent;
}

// What the import needs of the category index: the number of each of the
// user's categories by name (upper-cased), the names other passwords'
// categories have, and the highest number of any record.
struct IndexRead {
    qint64 highest = 0;
    QSet<qint64> numbers;
    QHash<QString, qint64> names;
    QSet<QString> taken;
};

IoError readIndex(const QString &path, const QString &stamp, IndexRead *read) {
    if (!fileExists(path))
        return IoError();
    CategoryIndexRead index;
    if (IoError err = ReadCategoryIndexFile(path, stamp, &index); err.failed())
        return err;
    read->highest = index.highest;
    read->taken = std::move(index.takenNames);
    for (const ListEntry &category : std::as_const(index.owned)) {
        read->numbers.insert(category.number);
        read->names.insert(category.text.toUpper(), category.number);
    }
    return IoError();
}

// The URLs that go to one URL file, in the order of the plan.
struct FileWork {
    qint64 category = 0;
    QString name; // the category's name, for messages
    QString path;
    qint64 firstNumber = 1;
    QList<const PlannedUrl *> urls;
};

} // namespace

ImportResult ImportCategories(int userNo, const QString &stamp, const ImportPlan &plan,
                              const std::function<void(int done, int total)> &progress) {
    // Texts first: what the cipher cannot store is refused before any file
    // is read.
    for (const PlannedCategory &category : plan) {
        if (IoError err = UnstorableRefusal(Field::CategoryName, TrimBlanks(category.name));
            err.failed())
            return refusedWith(err);
        for (const PlannedUrl &url : category.urls) {
            if (IoError err = RecordRefusal(url.address, url.description); err.failed())
                return refusedWith(err);
        }
    }

    const QString folder = UserFolderPath(userNo);
    const QString indexPath = CategoryIndexPath(userNo);
    IndexRead index;
    if (IoError err = readIndex(indexPath, stamp, &index); err.failed())
        return refusedWith(err);

    // The number of every category of the plan; new ones numbered on.
    struct NewCategory {
        qint64 number;
        QString name;
    };
    QList<NewCategory> added;
    QList<FileWork> files;
    QHash<qint64, qsizetype> fileOf; // category number -> its entry in `files`
    qint64 next = NextNumber(index.highest);
    int records = 0;
    for (const PlannedCategory &category : plan) {
        const QString name = TrimBlanks(category.name);
        qint64 number = category.number;
        if (number == 0) {
            const auto known = index.names.constFind(name.toUpper());
            if (known != index.names.cend() && *known > 0) {
                number = *known;
            } else if (index.taken.contains(name.toUpper())) {
                // Another password's category has had the name since the
                // preview: its URLs never go there.
                return refusedWith(IoError::Kind::NameTaken,
                                   QStringLiteral("Sorry, there exists a Category by the name ") +
                                       name +
                                       QStringLiteral(" by now, so nothing was imported. Please "
                                                      "choose the file again."));
            } else {
                if (IoError err = NewCategoryNumberRefusal(next); err.failed())
                    return refusedWith(err);
                number = next++;
                added.append({number, name});
                index.names.insert(name.toUpper(), number);
                index.numbers.insert(number);
                ++records;
            }
        } else if (!IsStorableNumber(number) || !index.numbers.contains(number)) {
            return refusedWith(IoError::Kind::NoRecord,
                               QStringLiteral("Sorry, the Category ") + name +
                                   QStringLiteral(" is no longer there, so nothing was imported."));
        }
        if (category.urls.isEmpty())
            continue;
        if (!fileOf.contains(number)) {
            fileOf.insert(number, files.size());
            files.append(FileWork{number, name, UrlFilePath(userNo, int(number)), 1, {}});
        }
        FileWork &work = files[fileOf.value(number)];
        for (const PlannedUrl &url : category.urls)
            work.urls.append(&url);
        records += int(category.urls.size());
    }

    // The URL numbers go on from each file's highest; none may pass 32767.
    for (FileWork &work : files) {
        if (fileExists(work.path)) {
            if (IoError err = GetNextUrlNo(work.path, &work.firstNumber); err.failed())
                return refusedWith(err);
        }
        if (work.firstNumber + work.urls.size() - 1 > kMaxRecordNo)
            return refusedWith(
                IoError::Kind::NumbersUsedUp,
                QStringLiteral("Sorry, the Category %1 can't take %2 more URLs: its URL numbers "
                               "would pass the highest one, 32767. Nothing was imported.")
                    .arg(work.name)
                    .arg(work.urls.size()));
    }

    if (records == 0)
        return ImportResult(); // nothing to write

    // The records of each file are made before the journal begins, so that
    // it records them all in its one write.
    QByteArray indexBlock;
    for (const NewCategory &category : std::as_const(added)) {
        indexBlock += CategoryRecordLine(category.number, category.name, stamp).toLatin1();
        indexBlock += "\r\n";
    }
    QList<QByteArray> blocks;
    blocks.reserve(files.size());
    for (const FileWork &work : std::as_const(files)) {
        QByteArray block;
        qint64 number = work.firstNumber;
        for (const PlannedUrl *url : work.urls) {
            block +=
                UrlRecordLine(number++, url->address, StoredDescription(url->description), stamp)
                    .toLatin1();
            block += "\r\n";
        }
        blocks.append(block);
    }

    Journal journal(folder);
    ImportResult change;
    if (!added.isEmpty() && !change.error.take(journal.willAppendTo(indexPath, indexBlock)))
        return change;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (!change.error.take(journal.willAppendTo(files[i].path, blocks[i])))
            return change;
    }
    if (!change.error.take(journal.begin()))
        return change;

    int done = 0;
    if (progress)
        progress(done, records);
    if (!added.isEmpty()) {
        if (IoError err = journal.append(indexPath, indexBlock); err.failed()) {
            change.error = journal.abandon(err);
            return change;
        }
        done += int(added.size());
        if (progress)
            progress(done, records);
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (IoError err = journal.append(files[i].path, blocks[i]); err.failed()) {
            change.error = journal.abandon(err);
            return change;
        }
        done += int(files[i].urls.size());
        if (progress)
            progress(done, records);
    }

    bool committed = false;
    change.error = journal.commit(&committed);
    change.changed = committed;
    if (committed) {
        for (const NewCategory &category : std::as_const(added))
            change.categoriesAdded.append(ListEntry{category.name, int(category.number)});
        for (const FileWork &work : std::as_const(files)) {
            ImportResult::UrlsAdded urls{int(work.category), {}};
            int number = int(work.firstNumber);
            for (const PlannedUrl *url : work.urls)
                urls.urls.append({number++, url->address, url->description});
            change.urlsWritten += int(work.urls.size());
            change.urlsAdded.append(std::move(urls));
        }
        if (progress)
            progress(records, records);
    }
    return change;
}

} // namespace modMain

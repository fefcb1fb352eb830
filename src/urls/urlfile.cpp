#include "urls/urlfile.h"

#include "storage/crashrepair.h"
#include "storage/datafile.h"
#include "storage/folderentries.h"
#include "storage/paths.h"

#include <QUrl>

#include <algorithm>
#include <array>
#include <functional>

#include <climits>

namespace modMain {

namespace {

constexpr int kUrlFields = 4;

// Percent-escapes of the UTF-8 bytes of every character the cipher cannot
// carry; the other characters stay as they are.
QString EscapeUnstorable(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsStorableChar(c)) {
            out.append(c);
            continue;
        }
        // A surrogate pair is one character: encode both halves together.
        qsizetype n = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            n = 2;
        const QByteArray bytes = text.mid(i, n).toUtf8();
        for (const char b : bytes)
            out += QStringLiteral("%%1").arg(uint(uchar(b)), 2, 16, QLatin1Char('0')).toUpper();
        i += n - 1;
    }
    return out;
}

// Where the host of an address lies: after "scheme://" when there is one,
// otherwise from the start; past any "user@"; up to the first of ":/?#".
void HostSpan(const QString &address, qsizetype *start, qsizetype *end) {
    qsizetype from = 0;
    const qsizetype scheme = address.indexOf(QLatin1String("://"));
    if (scheme > 0) {
        bool letters = true;
        for (qsizetype i = 0; i < scheme && letters; ++i)
            letters = address[i].isLetterOrNumber() || address[i] == u'+' || address[i] == u'-' ||
                      address[i] == u'.';
        if (letters)
            from = scheme + 3;
    }
    qsizetype stop = from;
    while (stop < address.size() && address[stop] != u'/' && address[stop] != u'?' &&
           address[stop] != u'#')
        ++stop;
    const qsizetype at = address.lastIndexOf(u'@', stop - 1);
    if (at >= from)
        from = at + 1;
    qsizetype hostEnd = from;
    while (hostEnd < stop && address[hostEnd] != u':')
        ++hostEnd;
    *start = from;
    *end = hostEnd;
}

} // namespace

QString UrlFileName(int catNo) {
    return QStringLiteral("CAT%1.DAT").arg(catNo);
}

QString UrlFilePath(int userNo, int catNo) {
    return JoinPath(UserFolderPath(userNo), UrlFileName(catNo));
}

qint64 UrlFileCategory(QStringView name) {
    // "CAT", one to five digits, ".DAT": at least 8 characters.
    constexpr qsizetype kFrame = 7;
    if (name.size() <= kFrame || name.size() > kFrame + 5 ||
        !name.startsWith(QLatin1StringView("CAT"), Qt::CaseInsensitive) ||
        !name.endsWith(QLatin1StringView(".DAT"), Qt::CaseInsensitive))
        return -1;
    const QStringView digits = name.sliced(3, name.size() - kFrame);
    if (digits.size() > 1 && digits.front() == u'0')
        return -1;
    qint64 number = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number <= kMaxRecordNo ? number : -1;
}

qint64 SetAsideUrlFileCategory(const QString &name, QString *original) {
    if (!name.endsWith(kDeletingSuffix))
        return -1;
    const QStringView base = QStringView(name).chopped(kDeletingSuffix.size());
    const qint64 number = UrlFileCategory(base);
    if (number >= 0 && original)
        *original = base.toString();
    return number;
}

QString UrlKey(qint64 urlNo) {
    return QStringLiteral("URL") + QString::number(urlNo);
}

qint64 UrlNoOfLine(QStringView line) {
    return FieldKeyNumber(RecordSplitter<QStringView>(line).next());
}

bool IsWholeUrlLine(QByteArrayView line) {
    return IsWholeRecord(line, {FieldShape(), FieldShape(), FieldShape{6, true}, FieldShape()});
}

QString ConvertLineBreaks(const QString &text, bool toStored) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    QString out;
    out.reserve(end + 8);
    const QString from = toStored ? QStringLiteral("\r\n") : kFieldSep;
    const QString to = toStored ? kFieldSep : QStringLiteral("\r\n");
    qsizetype i = 0;
    while (i < end) {
        if (QStringView(text).mid(i, end - i).startsWith(from)) {
            out += to;
            i += from.size();
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

QString StoredDescription(const QString &typed) {
    return TrimBlanks(ConvertLineBreaks(typed, true));
}

QString StoredAddress(const QString &address) {
    qsizetype start = 0;
    qsizetype end = 0;
    HostSpan(address, &start, &end);
    QString host = address.mid(start, end - start);
    bool ascii = true;
    for (const QChar c : host)
        ascii = ascii && c.unicode() < 128;
    if (!ascii) {
        // The host's ASCII form is the same host for every resolver; when it
        // has none (not a valid name), its letters are escaped like the rest.
        const QByteArray ace = QUrl::toAce(host);
        if (!ace.isEmpty())
            host = QString::fromLatin1(ace);
    }
    return EscapeUnstorable(address.left(start)) + EscapeUnstorable(host) +
           EscapeUnstorable(address.mid(end));
}

QString AddressToOpen(const QString &address) {
    const QString a = TrimBlanks(address);
    if (a.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        a.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return a;
    return QStringLiteral("http://") + a;
}

bool IsWebAddress(const QString &address) {
    if (address.isEmpty())
        return false;
    for (const char *scheme : {"javascript:", "place:", "data:", "mailto:", "file:"}) {
        if (address.startsWith(QLatin1StringView(scheme), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

QString DescriptionRefusal(const QString &description) {
    // Line breaks (CR LF) can be stored; every other character is checked.
    if (const QString chars = UnstorableChars(QString(description).remove(QLatin1String("\r\n")));
        !chars.isEmpty())
        return UnstorableMessage(Field::Description, chars);
    // What LoadUrlDetails would show of the stored form. The store drops
    // outer blanks (AppendUrl both, ReplaceUrlRecord the trailing ones), and
    // the marker's letters and the line break are no blanks, so trimming
    // both sides hides no other difference.
    const QString readBack = ConvertLineBreaks(ConvertLineBreaks(description, true), false);
    if (TrimBlanks(readBack) != TrimBlanks(description))
        return QStringLiteral(
            "Sorry, a Description can't hold the text \"*QVX*\", nor \"*QVX\" right before a "
            "line break: line breaks are stored in that form, so the text would come back as a "
            "line break.\r\nPlease write it another way, for example in small letters.");
    return QString();
}

IoError RecordRefusal(const QString &address, const std::optional<QString> &description) {
    if (IoError err = UnstorableRefusal(Field::Url, address); err.failed())
        return err;
    const QString refusal = description ? DescriptionRefusal(*description) : QString();
    return refusal.isEmpty()
               ? IoError()
               : IoError::refused(IoError::Kind::Unstorable, refusal, Field::Description);
}

QString UrlRecordLine(qint64 urlNo, const QString &address, const QString &storedDescription,
                      const QString &stamp) {
    return JoinRecord({EncodeField(UrlKey(urlNo)), EncodeField(address),
                       EncodeField(storedDescription), TrimBlanks(stamp)});
}

QString UrlRecord::description() const {
    return ConvertLineBreaks(DecodeField(rawDescription), false);
}

namespace {

UrlRecord decodeFields(const std::array<QStringView, kUrlFields> &fields) {
    UrlRecord r;
    r.fields = true;
    r.number = FieldKeyNumber(fields[0]);
    r.address = DecodeField(fields[1]);
    r.rawDescription = fields[2].toString();
    r.stampField = fields[3].toString();
    return r;
}

} // namespace

UrlRecord DecodeUrlLine(QStringView line) {
    std::array<QStringView, kUrlFields> fields;
    if (SplitFields(line, &fields) < kUrlFields)
        return UrlRecord();
    return decodeFields(fields);
}

std::optional<UrlRecord> DecodeOwnedUrlLine(QStringView line, const OwnerTest &owner) {
    std::array<QStringView, kUrlFields> fields;
    if (SplitFields(line, &fields) < kUrlFields || !owner.owns(fields[3]))
        return std::nullopt;
    return decodeFields(fields);
}

IoError GetNextUrlNo(const QString &path, qint64 *next) {
    qint64 highest = 0;
    IoError err = ForEachLine(path, [&highest](const QString &line) {
        highest = qMax(highest, UrlNoOfLine(line));
        return true;
    });
    *next = err.failed() ? 0 : NextNumber(highest);
    return err;
}

IoError ReadUrlList(const QString &path, const QString &stamp, QList<ListEntry> *owned,
                    int *foreign, qint64 *highest) {
    owned->clear();
    *foreign = 0;
    if (highest)
        *highest = 0;
    bool hasData = false;
    if (IoError err = FileHasData(path, &hasData); err.failed() || !hasData)
        return err;
    const OwnerTest owner(stamp);
    std::array<QStringView, kUrlFields> fields;
    IoError err = ForEachLine(path, [&](const QString &line) {
        // The key is deciphered once: every line counts for the highest
        // number (as for GetNextUrlNo), and an owned one gives its number.
        std::optional<qint64> number;
        if (highest) {
            number = UrlNoOfLine(line);
            *highest = qMax(*highest, *number);
        }
        // The fields as views into the line: only the stamp, the key and
        // the address are deciphered, and nothing is copied on the way.
        if (SplitFields(QStringView(line), &fields) < kUrlFields)
            return true;
        if (!owner.owns(fields[3])) {
            ++*foreign;
            return true;
        }
        if (!number)
            number = FieldKeyNumber(fields[0]);
        owned->append(ListEntry{DecodeField(fields[1]), int(qMin<qint64>(*number, INT_MAX))});
        return true;
    });
    if (err.failed()) {
        owned->clear();
        *foreign = 0;
        if (highest)
            *highest = 0;
    }
    return err;
}

IoError FindUrlRecord(const QString &path, qint64 urlNo, UrlRecord *record,
                      const QString &address) {
    *record = UrlRecord();
    std::array<QStringView, kUrlFields> fields;
    return ForEachLine(path, [&](const QString &line) {
        // Only the key of every line is deciphered; the rest of the one
        // record wanted.
        if (SplitFields(QStringView(line), &fields) < kUrlFields ||
            FieldKeyNumber(fields[0]) != urlNo)
            return true;
        UrlRecord found = DecodeUrlLine(line);
        if (!address.isEmpty() && found.address != address)
            return true;
        *record = std::move(found);
        return false;
    });
}

IoError UrlNoLongerThere(const QString &what) {
    return IoError::refused(IoError::Kind::NoRecord,
                            QStringLiteral("Sorry, that URL is no longer in the file of this "
                                           "Category, so nothing was ") +
                                what + u'.');
}

Change AppendUrl(const QString &path, const QString &address, const QString &description,
                 const QString &stamp, QByteArray *written) {
    Change change;
    if (!change.error.take(RecordRefusal(address, description)))
        return change;
    bool hasData = false;
    if (!change.error.take(FileHasData(path, &hasData)))
        return change;
    qint64 next = 1;
    if (hasData && !change.error.take(GetNextUrlNo(path, &next)))
        return change;
    if (!IsStorableNumber(next)) {
        change.error.take(IoError::refused(
            IoError::Kind::NumbersUsedUp,
            QStringLiteral("Sorry, no more URLs can be added under this Category: "
                           "its URL numbers have reached the highest one, 32767.")));
        return change;
    }
    const QString stored = StoredDescription(description);
    const QString line = UrlRecordLine(next, address, stored, stamp);
    change.changed = change.error.take(AppendLine(path, line));
    if (change.changed && written)
        *written = line.toLatin1();
    change.number = change.changed ? next : 0;
    // The empty file the look-up made holds the record now.
    if (change.changed)
        change.error.warning.filled();
    return change;
}

namespace {

// Rewrites a URL file with the lines `edit` leaves, when it changed any: the
// outcome of a change to one record, refused with `missing` when no record
// was touched (the file is then left alone). The lines travel as bytes:
// only what `edit` deciphers is ever decoded, and every other line is
// written back as read.
Change EditUrlFile(const QString &path,
                   const std::function<bool(QByteArrayView &line, bool *keep)> &edit,
                   const IoError &missing) {
    Change change;
    qsizetype edited = 0;
    if (!change.error.take(RewriteLinesEdited(path, edit, &edited)))
        return change;
    if (edited == 0)
        change.error.take(missing);
    else
        change.changed = true;
    return change;
}

} // namespace

bool UrlRecordMatcher::matches(QByteArrayView line) const {
    RecordSplitter<QLatin1StringView> fields{QLatin1StringView(line)};
    if (!numbered_.matches(fields.next()))
        return false;
    int count = 1;
    for (; count < kUrlFields && !fields.atEnd(); ++count)
        fields.next();
    if (count < kUrlFields)
        return false;
    return address_.isEmpty() ||
           DecodeUrlLine(QString::fromLatin1(line.data(), line.size())).address == address_;
}

Change DeleteUrlRecord(const QString &path, qint64 urlNo, const QString &address) {
    UrlRecordMatcher record(urlNo, address);
    bool dropped = false;
    return EditUrlFile(
        path,
        [&](QByteArrayView &line, bool *keep) {
            // Once the record is gone, the other lines are only copied.
            if (dropped || !record.matches(line))
                return false;
            *keep = false;
            dropped = true;
            return true;
        },
        UrlNoLongerThere(QStringLiteral("deleted")));
}

Change ReplaceUrlRecord(const QString &path, qint64 urlNo, const QString &address,
                        const std::optional<QString> &description, const QString &stamp,
                        const QString &oldAddress, QByteArray *oldLine, QByteArray *newLine) {
    if (IoError refusal = RecordRefusal(address, description); refusal.failed())
        return Refused(refusal);
    const QByteArray replacement =
        description
            ? UrlRecordLine(urlNo, address, ConvertLineBreaks(*description, true), stamp).toLatin1()
            : QByteArray();
    UrlRecordMatcher record(urlNo, oldAddress);
    QByteArray kept; // a record that keeps its stored description, while it is written
    bool replaced = false;
    return EditUrlFile(
        path,
        [&](QByteArrayView &line, bool *) {
            // One record changes, even in a file that holds its number twice.
            if (replaced || !record.matches(line))
                return false;
            replaced = true;
            if (oldLine)
                *oldLine = line.toByteArray();
            if (description) {
                line = replacement;
                if (newLine)
                    *newLine = replacement;
                return true;
            }
            // Without a new description the stored field stays as it is.
            std::array<QLatin1StringView, 3> fields;
            SplitFields(QLatin1StringView(line), &fields);
            kept = JoinRecord({EncodeField(UrlKey(urlNo)), EncodeField(address),
                               fields[2].toString(), TrimBlanks(stamp)})
                       .toLatin1();
            line = kept;
            if (newLine)
                *newLine = kept;
            return true;
        },
        UrlNoLongerThere(QStringLiteral("modified")));
}

Change ReplaceUrlLine(const QString &path, qint64 urlNo, const QString &address,
                      const QByteArray &replacement) {
    UrlRecordMatcher record(urlNo, address);
    bool replaced = false;
    return EditUrlFile(
        path,
        [&](QByteArrayView &line, bool *) {
            if (replaced || !record.matches(line))
                return false;
            replaced = true;
            line = replacement;
            return true;
        },
        UrlNoLongerThere(QStringLiteral("modified")));
}

// --- Repairs after a crash ----------------------------------------------------

namespace {

const QString kPuttingBackUrls =
    QStringLiteral("Wayfile was putting back the file of a Category's URLs after a change that was "
                   "cut short");
const QString kFinishingDelete =
    QStringLiteral("Wayfile was finishing the deletion of a Category that was cut short");

// The lines of a URL file made after its category's file was set aside, to
// follow the lines set aside (`older`): every record whose number is taken
// already, in `older` or by a line before it, gets a number no line of
// either file has: the next one after the highest, or, when that would pass
// the highest number a URL can have, the lowest one free. Lines that are no
// complete record, and records whose number is free, stay as they are.
QStringList renumbered(const QStringList &older, QStringList newer) {
    QSet<qint64> taken;
    QSet<qint64> inUse; // every number of either file, and those given here
    qint64 highest = 0;
    for (const QString &line : older) {
        const qint64 n = UrlNoOfLine(line);
        taken.insert(n);
        inUse.insert(n);
        highest = std::max(highest, n);
    }
    for (const QString &line : std::as_const(newer)) {
        const qint64 n = UrlNoOfLine(line);
        inUse.insert(n);
        highest = std::max(highest, n);
    }
    qint64 lowestFree = 1;
    for (QString &line : newer) {
        const UrlRecord record = DecodeUrlLine(line);
        if (!record.fields || record.number < 1) {
            taken.insert(UrlNoOfLine(line));
            continue;
        }
        qint64 number = record.number;
        if (taken.contains(number)) {
            qint64 next = NextNumber(highest);
            if (!IsStorableNumber(next)) {
                while (lowestFree <= kMaxRecordNo && inUse.contains(lowestFree))
                    ++lowestFree;
                next = lowestFree;
            }
            if (IsStorableNumber(next)) {
                QStringList fields = SplitRecord(line);
                fields[0] = EncodeField(UrlKey(next));
                line = JoinRecord(fields);
                number = next;
                highest = std::max(highest, next);
                inUse.insert(next);
            }
        }
        taken.insert(number);
    }
    return newer;
}

// Puts the lines of `aside` in front of those of `current`, the URL file of
// the same category made since, and removes `aside`. When `current` already
// begins with every line of `aside`, this merge was made before and cut short
// by a crash: only the removal is left to do.
IoError mergeBack(const QString &aside, const QString &current) {
    const QString apart =
        QStringLiteral("The Category is still there. The URLs it had are kept in \"%1\", and those "
                       "added since in \"%2\"; Wayfile tries again to bring them together at your "
                       "next sign-in.")
            .arg(aside, current);
    IoError err;
    QStringList older;
    QStringList newer;
    if (!err.take(ReadLines(aside, &older)) || !err.take(ReadLines(current, &newer)))
        return err.during(kFinishingDelete, apart);
    const bool merged =
        newer.size() >= older.size() && std::equal(older.begin(), older.end(), newer.begin());
    if (!merged && !err.take(RewriteFile(current, older + renumbered(older, newer))))
        return err.during(kFinishingDelete, apart);
    err.take(RemoveFile(aside));
    return err.during(kFinishingDelete,
                      QStringLiteral("All the URLs of the Category are back in \"%1\"; the copy in "
                                     "\"%2\" is no longer needed. Wayfile tries again to remove it "
                                     "at your next sign-in, or you may delete it yourself.")
                          .arg(current, aside));
}

// Renames an entry named as a set-aside URL file that is no file (`kind`: a
// folder, or another entry the program never makes) out of the way, to
// "<name>.kept" (or "<name>.kept2", ...), and tells the user in `notices`.
IoError moveOutOfTheWay(const QString &folder, const QString &name, EntryKind kind,
                        QStringList *notices) {
    const QString path = JoinPath(folder, name);
    QString target;
    for (int n = 1; n <= 99 && target.isEmpty(); ++n) {
        const QString candidate = JoinPath(folder, name + QStringLiteral(".kept") +
                                                       (n > 1 ? QString::number(n) : QString()));
        if (KindOfEntry(candidate) == EntryKind::Absent)
            target = candidate;
    }
    const QString advice = QStringLiteral("That entry is no file: Wayfile never makes one of that "
                                          "name. Please move it out of your folder yourself; "
                                          "until then Wayfile tries again at every sign-in.");
    if (target.isEmpty()) {
        IoError err = IoError::failure(path, QStringLiteral("move away"),
                                       QStringLiteral("Every name it could take is in use"));
        return err.during(kFinishingDelete, advice);
    }
    IoError err = MoveAside(path, target);
    if (err.failed())
        return err.during(kFinishingDelete, advice);
    if (notices)
        notices->append(
            QStringLiteral("Wayfile found %1, \"%2\", under the name it gives the URLs of a "
                           "Category while it deletes that Category, and renamed it to \"%3\" to "
                           "keep it out of the way. Wayfile never makes such an entry: look at "
                           "it, keep what you need and delete the rest.")
                .arg(kind == EntryKind::Folder ? QStringLiteral("a folder")
                                               : QStringLiteral("an entry that is no file"),
                     path, target));
    return err;
}

} // namespace

IoError PlaceUrlLeftover(const QString &folder, const QString &leftover,
                         const CategoryNumbers &categories, QString *undecided, QString *keptAs) {
    QSet<qint64> indexed;
    if (IoError err = categories(&indexed); err.failed())
        return err.during(kPuttingBackUrls, NothingChanged(kAtSignIn));
    QList<qint64> numbers(indexed.begin(), indexed.end());
    std::sort(numbers.begin(), numbers.end());
    QStringList without; // the URL files of listed categories that hold nothing
    for (const qint64 number : std::as_const(numbers)) {
        if (!IsStorableNumber(number))
            continue;
        const QString file = JoinPath(folder, UrlFileName(int(number)));
        if (SizeOfEntry(file) <= 0)
            without.append(file);
    }
    // Every file it could have become holds data: it is an unfinished copy,
    // or the only copy of URLs one of them lost since.
    if (without.isEmpty() && !numbers.isEmpty()) {
        QString kept;
        IoError err = KeepAside(leftover, &kept);
        if (keptAs)
            *keptAs = kept;
        return err.during(QStringLiteral("Wayfile was setting aside a file of URLs that a change "
                                         "cut short left in your folder"),
                          QStringLiteral("Those URLs are kept in \"%1\". Wayfile tries again at "
                                         "your next sign-in.")
                              .arg(leftover));
    }
    *undecided = numbers.isEmpty() ? QStringLiteral("it holds URLs, and you have no Category")
                 : without.size() == 1
                     ? QStringLiteral("it holds URLs, but its records do not say which Category "
                                      "they belong to, and it may not be the one without URLs")
                     : QStringLiteral("it holds URLs, and more than one of your Categories has "
                                      "none");
    return IoError();
}

IoError RestoreSetAsideUrlFiles(const QString &folder, const QStringList &names,
                                const CategoryNumbers &categories, QStringList *notices) {
    IoError result;
    bool indexRead = false;
    QSet<qint64> indexed;
    for (const QString &name : names) {
        QString original;
        const qint64 number = SetAsideUrlFileCategory(name, &original);
        if (number < 0)
            continue;
        const QString aside = JoinPath(folder, name);
        if (const EntryKind kind = KindOfEntry(aside); kind != EntryKind::File) {
            if (kind == EntryKind::Folder || kind == EntryKind::Other)
                result.keepFirst(moveOutOfTheWay(folder, name, kind, notices));
            continue;
        }
        if (!indexRead) {
            // Nothing is put back or removed on an index that cannot be read.
            IoError err = categories(&indexed);
            result.keepFirst(err.during(
                kFinishingDelete, QStringLiteral("Nothing was changed, and the URLs of that "
                                                 "Category are kept in \"%1\". Wayfile tries again "
                                                 "at your next sign-in.")
                                      .arg(aside)));
            if (err.failed())
                return result;
            indexRead = true;
        }
        if (!indexed.contains(number)) {
            // The delete went through: its URLs go with it.
            result.keepFirst(RemoveFile(aside).during(
                kFinishingDelete,
                QStringLiteral("The Category is deleted. Its URLs are still kept in \"%1\", which "
                               "no Category reads; Wayfile tries again to remove that file at your "
                               "next sign-in, or you may delete it yourself.")
                    .arg(aside)));
            continue;
        }
        const QStringList current = EntriesNamed(folder, original);
        if (current.isEmpty()) {
            const QString back = JoinPath(folder, original);
            result.keepFirst(
                MoveBack(aside, back)
                    .during(kFinishingDelete,
                            QStringLiteral(
                                "The Category is still there, and its URLs are kept in \"%1\". "
                                "Wayfile tries again to put them back at your next sign-in; if "
                                "this goes on, close Wayfile and rename that file to \"%2\".")
                                .arg(aside, back)));
        } else {
            result.keepFirst(mergeBack(aside, current.first()));
        }
    }
    return result;
}

} // namespace modMain

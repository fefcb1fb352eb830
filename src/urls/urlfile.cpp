#include "urls/urlfile.h"

#include "storage/accountfile.h"

#include <QUrl>

#include <climits>

namespace modMain {

namespace {

constexpr int kUrlFields = 4;

bool Storable(char16_t c) {
    return c >= 32 && c <= 122;
}

// Percent-escapes of the UTF-8 bytes of every character the cipher cannot
// carry; the other characters stay as they are.
QString EscapeUnstorable(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (Storable(c.unicode())) {
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

QString UrlKey(qint64 urlNo) {
    return QStringLiteral("URL") + QString::number(urlNo);
}

qint64 UrlNoOfLine(const QString &line) {
    const qsizetype sep = line.indexOf(kFieldSep);
    return KeyNumber(DecodeField(sep < 0 ? line : line.left(sep)));
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

QString UrlRecordLine(const QString &key, const QString &address, const QString &storedDescription,
                      const QString &stamp) {
    return JoinRecord({EncodeField(key), EncodeField(address), EncodeField(storedDescription),
                       TrimBlanks(stamp)});
}

QString UrlRecord::description() const {
    return ConvertLineBreaks(DecodeField(rawDescription), false);
}

UrlRecord DecodeUrlLine(const QString &line) {
    UrlRecord r;
    const QStringList fields = SplitRecord(line);
    if (fields.size() < kUrlFields)
        return r;
    r.fields = true;
    r.number = KeyNumber(DecodeField(fields[0]));
    r.address = DecodeField(fields[1]);
    r.rawDescription = fields[2];
    r.stampField = fields[3];
    return r;
}

qint64 GetNextUrlNo(const QString &path, IoError *err) {
    qint64 highest = 0;
    const bool ok = ForEachLine(
        path,
        [&highest](const QString &line) {
            highest = qMax(highest, UrlNoOfLine(line));
            return true;
        },
        err);
    if (!ok)
        return 0;
    return highest + 1;
}

bool ReadUrlList(const QString &path, const QString &stamp, QList<ListEntry> *owned, int *foreign,
                 IoError *err) {
    owned->clear();
    *foreign = 0;
    IoError local;
    IoError *e = err ? err : &local;
    if (!FileHasData(path, e))
        return !e->failed();
    return ForEachLine(
        path,
        [&](const QString &line) {
            const QStringList fields = SplitRecord(line);
            if (fields.size() < kUrlFields)
                return true;
            if (!SameStamp(fields[3], stamp)) {
                ++*foreign;
                return true;
            }
            const qint64 number = KeyNumber(DecodeField(fields[0]));
            owned->append(ListEntry{DecodeField(fields[1]), int(qMin<qint64>(number, INT_MAX))});
            return true;
        },
        err);
}

bool FindUrlRecord(const QString &path, qint64 urlNo, UrlRecord *record, bool *found,
                   IoError *err) {
    *found = false;
    return ForEachLine(
        path,
        [&](const QString &line) {
            // Only the key of every line is deciphered; the rest of the one
            // record wanted.
            const QStringList fields = SplitRecord(line);
            if (fields.size() < kUrlFields || KeyNumber(DecodeField(fields[0])) != urlNo)
                return true;
            *record = DecodeUrlLine(line);
            *found = true;
            return false;
        },
        err);
}

bool DeleteUrlRecord(const QString &path, qint64 urlNo, bool *found, IoError *err) {
    *found = false;
    QStringList lines;
    qsizetype dropped = 0;
    if (!ReadLinesEdited(
            path,
            [&](QString &line, bool *keep) {
                const QStringList fields = SplitRecord(line);
                *keep = dropped > 0 || fields.size() < kUrlFields ||
                        KeyNumber(DecodeField(fields[0])) != urlNo;
                return !*keep;
            },
            &lines, &dropped, err))
        return false;
    *found = dropped > 0;
    return !*found || RewriteFile(path, lines, err);
}

bool ReplaceUrlRecord(const QString &path, qint64 urlNo,
                      const std::function<QString(const QString &key)> &newLine, bool *found,
                      IoError *err) {
    *found = false;
    QStringList lines;
    qsizetype replaced = 0;
    if (!ReadLinesEdited(
            path,
            [&](QString &line, bool *) {
                const QStringList fields = SplitRecord(line);
                if (fields.size() < kUrlFields)
                    return false;
                const QString key = DecodeField(fields[0]);
                if (KeyNumber(key) != urlNo)
                    return false;
                line = newLine(key);
                return true;
            },
            &lines, &replaced, err))
        return false;
    *found = replaced > 0;
    return !*found || RewriteFile(path, lines, err);
}

} // namespace modMain

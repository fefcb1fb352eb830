#include "dropin/droppedlinks.h"

#include "bookmarks/bookmarkfile.h"
#include "urls/urlfile.h"

#include <QStringDecoder>
#include <QStringList>
#include <QUrl>

namespace modMain {

namespace {

const QString kMozUrl = QStringLiteral("text/x-moz-url");
const QString kUriList = QStringLiteral("text/uri-list");
const QString kNetscapeUrl = QStringLiteral("_netscape_url");
const QString kHtml = QStringLiteral("text/html");
const QString kPlain = QStringLiteral("text/plain");

// A format's name in small letters and without parameters
// ("text/plain;charset=utf-8" is text/plain).
QString BaseName(const QString &format) {
    return format.trimmed().toLower().section(u';', 0, 0).trimmed();
}

// The formats by their base names; where two give the same one, the one
// without parameters.
QMap<QString, QByteArray> ByBaseName(const OfferedData &offered) {
    QMap<QString, QByteArray> formats;
    for (auto it = offered.cbegin(); it != offered.cend(); ++it) {
        const QString name = it.key().trimmed().toLower();
        const QString base = BaseName(name);
        if (base == name || !formats.contains(base))
            formats.insert(base, it.value());
    }
    return formats;
}

// Text in UTF-16: by its byte-order mark, little-endian when it has none
// (as browsers on Linux and Windows write it). A terminating zero, which
// some writers add, is dropped.
QString Utf16Text(QByteArrayView bytes) {
    QStringDecoder::Encoding encoding = QStringDecoder::Utf16LE;
    if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringDecoder::Utf16BE;
        bytes = bytes.sliced(2);
    } else if (bytes.startsWith("\xFF\xFE")) {
        bytes = bytes.sliced(2);
    }
    QString text = QStringDecoder(encoding).decode(bytes);
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// Text in UTF-8, or UTF-16 when it begins with a byte-order mark of UTF-16.
QString PlainText(QByteArrayView bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return Utf16Text(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QString text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// The lines of a text, each trimmed; "\n", "\r\n" and "\r" all end a line.
QStringList Lines(QString text) {
    text.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        line = line.trimmed();
    return lines;
}

// Whether a text begins with a scheme and ":" ("https:", "mailto:").
bool HasScheme(QStringView text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0 || !text[0].isLetter() || text[0].unicode() > 127)
        return false;
    for (const QChar c : text.first(colon)) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || u == u'.';
        if (!ok)
            return false;
    }
    return true;
}

QString Title(const QString &text) {
    return text.simplified();
}

QList<DroppedLink> MozUrlLinks(QByteArrayView bytes) {
    const QStringList lines = Lines(Utf16Text(bytes));
    QList<DroppedLink> links;
    for (qsizetype i = 0; i < lines.size(); i += 2) {
        if (lines[i].isEmpty())
            continue;
        links.append({lines[i], i + 1 < lines.size() ? Title(lines[i + 1]) : QString()});
    }
    return links;
}

QList<DroppedLink> UriListLinks(QByteArrayView bytes) {
    QList<DroppedLink> links;
    for (const QString &line : Lines(PlainText(bytes))) {
        if (line.isEmpty() || line.startsWith(u'#') || !HasScheme(line))
            continue;
        links.append({line, QString()});
    }
    return links;
}

QList<DroppedLink> NetscapeUrlLinks(QByteArrayView bytes) {
    const QStringList lines = Lines(PlainText(bytes));
    if (lines.isEmpty() || lines[0].isEmpty())
        return {};
    return {{lines[0], lines.size() > 1 ? Title(lines[1]) : QString()}};
}

QList<DroppedLink> HtmlLinks(QByteArrayView bytes) {
    // UTF-16 without a byte-order mark: the first character, "<" or a
    // blank, has a zero byte.
    QByteArray withMark;
    if (bytes.size() >= 2 && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        if (bytes[0] != 0 && bytes[1] == 0)
            withMark = QByteArray("\xFF\xFE") + bytes.toByteArray();
        else if (bytes[0] == 0 && bytes[1] != 0)
            withMark = QByteArray("\xFE\xFF") + bytes.toByteArray();
    }
    QList<DroppedLink> links;
    const QList<BookmarkLink> anchors =
        ParseHtmlLinks(withMark.isEmpty() ? bytes : QByteArrayView(withMark));
    for (const BookmarkLink &anchor : anchors) {
        if (!anchor.href.isEmpty())
            links.append({anchor.href, Title(anchor.text)});
    }
    return links;
}

// Whether a line of plain text is an address: a web address as people
// write one, or a link of another kind.
bool IsWrittenAddress(const QString &line) {
    for (const QChar c : line) {
        if (c.isSpace())
            return false;
    }
    for (const char *start : {"http://", "https://", "www."}) {
        if (line.size() > qsizetype(qstrlen(start)) &&
            line.startsWith(QLatin1StringView(start), Qt::CaseInsensitive))
            return true;
    }
    return HasScheme(line) && !IsWebAddress(line);
}

QList<DroppedLink> PlainTextLinks(QByteArrayView bytes) {
    QList<DroppedLink> links;
    for (const QString &line : Lines(PlainText(bytes))) {
        if (line.isEmpty())
            continue;
        if (!IsWrittenAddress(line))
            return {}; // a text, not a list of addresses
        links.append({line, QString()});
    }
    return links;
}

// The path of a bookmark file a link names: a file on this computer whose
// name ends in .html or .htm; "" for any other link.
QString BookmarkFilePath(const QString &address) {
    if (!address.startsWith(QLatin1StringView("file:"), Qt::CaseInsensitive))
        return QString();
    const QString path = QUrl(address).toLocalFile();
    if (path.endsWith(QLatin1StringView(".html"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1StringView(".htm"), Qt::CaseInsensitive))
        return path;
    return QString();
}

} // namespace

const DroppedLink *DroppedLinks::single() const {
    if (kind != Kind::Links || webAddresses != 1)
        return nullptr;
    for (const DroppedLink &link : links) {
        if (IsWebAddress(link.address))
            return &link;
    }
    return nullptr;
}

bool OffersLinkFormats(const QStringList &formats) {
    for (const QString &format : formats) {
        const QString base = BaseName(format);
        for (const QString &read : {kMozUrl, kUriList, kNetscapeUrl, kHtml, kPlain}) {
            if (base == read)
                return true;
        }
    }
    return false;
}

DroppedLinks ReadDroppedLinks(const OfferedData &offered) {
    const QMap<QString, QByteArray> formats = ByBaseName(offered);
    // Every format that holds links, richest first.
    QList<QList<DroppedLink>> found;
    auto read = [&](const QString &format, QList<DroppedLink> (*reader)(QByteArrayView)) {
        if (const auto it = formats.constFind(format); it != formats.cend())
            found.append(reader(*it));
    };
    read(kMozUrl, MozUrlLinks);
    read(kUriList, UriListLinks);
    read(kNetscapeUrl, NetscapeUrlLinks);
    read(kHtml, HtmlLinks);
    read(kPlain, PlainTextLinks);

    DroppedLinks result;
    for (const QList<DroppedLink> &links : std::as_const(found)) {
        if (!links.isEmpty()) {
            result.links = links;
            break;
        }
    }
    // A title another format gives for the same address.
    for (DroppedLink &link : result.links) {
        for (qsizetype f = 0; f < found.size() && link.title.isEmpty(); ++f) {
            for (const DroppedLink &other : std::as_const(found[f])) {
                if (other.address == link.address && !other.title.isEmpty()) {
                    link.title = other.title;
                    break;
                }
            }
        }
        if (IsWebAddress(link.address))
            ++result.webAddresses;
    }
    if (result.webAddresses > 0) {
        result.kind = DroppedLinks::Kind::Links;
        return result;
    }
    for (const DroppedLink &link : std::as_const(result.links)) {
        if (const QString path = BookmarkFilePath(link.address); !path.isEmpty()) {
            result.kind = DroppedLinks::Kind::BookmarkFile;
            result.bookmarkFile = path;
            break;
        }
    }
    result.links.clear();
    return result;
}

} // namespace modMain

#include "bookmarks/bookmarkfile.h"

#include "categories/categoryindex.h"
#include "storage/entryorder.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace modMain {

namespace {

// ---- Character sets --------------------------------------------------------

// The characters of windows-1252 at the bytes 0x80..0x9F, where it differs
// from ISO-8859-1; 0 marks the five bytes it leaves undefined. Character
// references to these codes (&#150;) mean the same characters, as browsers
// read them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString decodeWindows1252(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *to = out.data();
    for (const char b : bytes) {
        const uchar u = uchar(b);
        if (u >= 0x80 && u < 0xA0) {
            const char16_t c = kWindows1252High[u - 0x80];
            *to++ = c ? QChar(c) : QChar(QChar::ReplacementCharacter);
        } else {
            *to++ = QChar(u);
        }
    }
    return out;
}

// The labels under which a file can name windows-1252. Browsers read
// ISO-8859-1 and ASCII as windows-1252 too, which only gives the bytes
// 0x80..0x9F characters instead of control codes.
bool isWindows1252Label(const QByteArray &label) {
    static const char *const kLabels[] = {
        "windows-1252", "cp1252", "x-cp1252",   "iso-8859-1", "iso8859-1", "iso88591",
        "iso_8859-1",   "latin1", "l1",         "ascii",      "us-ascii",  "ansi_x3.4-1968",
        "cp819",        "ibm819", "iso-ir-100", "csisolatin1"};
    return std::any_of(std::begin(kLabels), std::end(kLabels),
                       [&label](const char *l) { return label == l; });
}

bool isUtf8Label(const QByteArray &label) {
    // A file whose bytes can be read as ASCII cannot be UTF-16, whatever its
    // <META> says: browsers read such a file as UTF-8.
    return label.isEmpty() || label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8" ||
           label.startsWith("utf-16");
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Where the lower-case ASCII text `what` first occurs in `bytes` from
// `from` on, in any letter case; -1 when it does not.
qsizetype indexOfCaseless(QByteArrayView bytes, QByteArrayView what, qsizetype from = 0) {
    const qsizetype last = bytes.size() - what.size();
    for (qsizetype i = from; i <= last; ++i) {
        bool same = true;
        for (qsizetype k = 0; k < what.size() && same; ++k)
            same = asciiLower(bytes[i + k]) == what[k];
        if (same)
            return i;
    }
    return -1;
}

// The character set a <META> of the file names (charset=...), lower-cased;
// empty when none does. Only the part before the first list is searched:
// that is where the <META> stands.
QByteArray declaredCharset(QByteArrayView bytes) {
    qsizetype end = indexOfCaseless(bytes, "<dl");
    if (end < 0)
        end = bytes.size();
    const QByteArrayView head = bytes.first(end);
    for (qsizetype meta = indexOfCaseless(head, "<meta"); meta >= 0;
         meta = indexOfCaseless(head, "<meta", meta + 5)) {
        qsizetype close = head.indexOf('>', meta);
        if (close < 0)
            close = head.size();
        const QByteArrayView tag = head.sliced(meta, close - meta);
        const qsizetype at = indexOfCaseless(tag, "charset");
        if (at < 0)
            continue;
        qsizetype i = at + 7;
        while (i < tag.size() &&
               (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\r' || tag[i] == '\n'))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '"' || tag[i] == '\''))
            ++i;
        qsizetype stop = i;
        while (stop < tag.size() && tag[stop] != '"' && tag[stop] != '\'' && tag[stop] != ';' &&
               tag[stop] != ' ' && tag[stop] != '\t' && tag[stop] != '\r' && tag[stop] != '\n' &&
               tag[stop] != '/')
            ++stop;
        return tag.sliced(i, stop - i).toByteArray().toLower();
    }
    return QByteArray();
}

// The text of the bytes: by their byte-order mark when they have one,
// otherwise by the character set their <META> names (UTF-8 when none).
// Bytes that the character set does not allow become U+FFFD. Returns false,
// with the character set's name, when it is one that cannot be read.
bool decodeFile(QByteArrayView bytes, QString *text, QString *unknownCharset) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *text = QStringDecoder(QStringDecoder::Utf8).decode(bytes.sliced(3));
        return true;
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes[0] == '\xFF' ? QStringDecoder::Utf16LE
                                                  : QStringDecoder::Utf16BE);
        *text = decoder.decode(bytes.sliced(2));
        return true;
    }
    const QByteArray label = declaredCharset(bytes);
    if (isUtf8Label(label)) {
        *text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
        return true;
    }
    if (isWindows1252Label(label)) {
        *text = decodeWindows1252(bytes);
        return true;
    }
    // Any other character set the system knows of.
    QStringDecoder decoder(label.constData());
    if (!decoder.isValid()) {
        *unknownCharset = QString::fromLatin1(label);
        return false;
    }
    *text = decoder.decode(bytes);
    return true;
}

// ---- Character references ---------------------------------------------------

// The named references a bookmark file may use: those of HTML 4 (the
// Latin-1 letters and signs, and the typographic ones) and &apos;.
const QHash<QString, char32_t> &namedReferences() {
    static const QHash<QString, char32_t> names = [] {
        QHash<QString, char32_t> h;
        // Codes 160 to 255, in order.
        static const char *const kLatin1[] = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",
            "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",
            "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot",
            "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
            "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
            "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",
            "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
            "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
            "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
            "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
            "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
            "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        char32_t code = 160;
        for (const char *name : kLatin1)
            h.insert(QLatin1StringView(name), code++);
        static const struct {
            const char *name;
            char32_t code;
        } kOthers[] = {{"quot", 34},     {"amp", 38},      {"apos", 39},    {"lt", 60},
                       {"gt", 62},       {"OElig", 338},   {"oelig", 339},  {"Scaron", 352},
                       {"scaron", 353},  {"Yuml", 376},    {"fnof", 402},   {"circ", 710},
                       {"tilde", 732},   {"ensp", 8194},   {"emsp", 8195},  {"thinsp", 8201},
                       {"zwnj", 8204},   {"zwj", 8205},    {"lrm", 8206},   {"rlm", 8207},
                       {"ndash", 8211},  {"mdash", 8212},  {"lsquo", 8216}, {"rsquo", 8217},
                       {"sbquo", 8218},  {"ldquo", 8220},  {"rdquo", 8221}, {"bdquo", 8222},
                       {"dagger", 8224}, {"Dagger", 8225}, {"bull", 8226},  {"hellip", 8230},
                       {"permil", 8240}, {"prime", 8242},  {"Prime", 8243}, {"lsaquo", 8249},
                       {"rsaquo", 8250}, {"euro", 8364},   {"trade", 8482}, {"larr", 8592},
                       {"rarr", 8594},   {"minus", 8722}};
        for (const auto &o : kOthers)
            h.insert(QLatin1StringView(o.name), o.code);
        return h;
    }();
    return names;
}

bool isAsciiAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// The character a numeric reference names, as browsers read it: no
// character, a surrogate or a code past Unicode is U+FFFD; 0x80..0x9F are
// the windows-1252 characters.
char32_t numericReference(char32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return QChar::ReplacementCharacter;
    if (code >= 0x80 && code < 0xA0 && kWindows1252High[code - 0x80])
        return kWindows1252High[code - 0x80];
    return code;
}

// Decodes the character references of `raw`: named ones (with their ";";
// &amp; &lt; &gt; &quot; also without, when no letter, digit or "=" follows),
// decimal ones (&#233;) and hexadecimal ones (&#xE9;). A reference that
// names nothing stays as written.
QString decodeReferences(QStringView raw) {
    if (!raw.contains(u'&'))
        return raw.toString();
    QString out;
    out.reserve(raw.size());
    const qsizetype n = raw.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = raw[i];
        if (c != u'&') {
            out.append(c);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        if (j < n && raw[j] == u'#') {
            ++j;
            const bool hex = j < n && (raw[j] == u'x' || raw[j] == u'X');
            if (hex)
                ++j;
            const qsizetype digitsFrom = j;
            char32_t code = 0;
            bool huge = false;
            while (j < n) {
                const char16_t u = raw[j].unicode();
                int digit = -1;
                if (u >= u'0' && u <= u'9')
                    digit = u - u'0';
                else if (hex && u >= u'a' && u <= u'f')
                    digit = u - u'a' + 10;
                else if (hex && u >= u'A' && u <= u'F')
                    digit = u - u'A' + 10;
                if (digit < 0)
                    break;
                code = code * (hex ? 16 : 10) + char32_t(digit);
                huge = huge || code > 0x10FFFF;
                if (huge)
                    code = 0x110000; // past Unicode, and it stays there
                ++j;
            }
            if (j == digitsFrom) { // "&#" with no digits: as written
                out.append(c);
                ++i;
                continue;
            }
            if (j < n && raw[j] == u';')
                ++j;
            const char32_t ch = numericReference(code);
            out.append(QString::fromUcs4(&ch, 1));
            i = j;
            continue;
        }
        while (j < n && isAsciiAlnum(raw[j]) && j - i <= 32)
            ++j;
        const QStringView name = raw.sliced(i + 1, j - i - 1);
        const bool semicolon = j < n && raw[j] == u';';
        const auto found = namedReferences().constFind(name.toString());
        const bool bare = !semicolon &&
                          (name == u"amp" || name == u"lt" || name == u"gt" || name == u"quot") &&
                          !(j < n && (isAsciiAlnum(raw[j]) || raw[j] == u'='));
        if (found != namedReferences().cend() && (semicolon || bare)) {
            out.append(QString::fromUcs4(&found.value(), 1));
            i = semicolon ? j + 1 : j;
        } else {
            out.append(c);
            ++i;
        }
    }
    return out;
}

// ---- Texts ------------------------------------------------------------------

// White space as HTML knows it: blank, tab, line feed, form feed, CR.
bool isHtmlSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f';
}

// Every line break (CR LF, a lone CR or a lone LF) as CR LF.
QString crLfBreaks(const QString &text) {
    if (!text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            out.append(QLatin1StringView("\r\n"));
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            out.append(QLatin1StringView("\r\n"));
        } else {
            out.append(c);
        }
    }
    return out;
}

// A name or a link's text: the file's white space at either end dropped, a
// run of it inside that holds anything but blanks as one blank, a run of
// blanks as it is; then references decoded.
//
// Browsers keep a title's blanks as they are and write them back so ("Two
// Spaces" with two blanks stays so through an import and an export), while
// a line break or a tab inside a title is the file's layout (a title
// written over two lines, indented), which a page shows as one blank.
QString nameText(QStringView raw) {
    qsizetype from = 0;
    qsizetype to = raw.size();
    while (from < to && isHtmlSpace(raw[from]))
        ++from;
    while (to > from && isHtmlSpace(raw[to - 1]))
        --to;
    QString folded;
    folded.reserve(to - from);
    for (qsizetype i = from; i < to;) {
        if (!isHtmlSpace(raw[i])) {
            folded.append(raw[i++]);
            continue;
        }
        const qsizetype run = i;
        bool blanksOnly = true;
        while (isHtmlSpace(raw[i])) // the run ends before `to`: no space ends the text
            blanksOnly = raw[i++] == u' ' && blanksOnly;
        if (blanksOnly)
            folded.append(raw.sliced(run, i - run));
        else
            folded.append(u' ');
    }
    return crLfBreaks(decodeReferences(folded));
}

// A note: the file's white space at either end dropped, references decoded,
// its line breaks kept.
QString noteText(QStringView raw) {
    qsizetype from = 0;
    qsizetype to = raw.size();
    while (from < to && isHtmlSpace(raw[from]))
        ++from;
    while (to > from && isHtmlSpace(raw[to - 1]))
        --to;
    return crLfBreaks(decodeReferences(raw.sliced(from, to - from)));
}

// An address: references decoded, tabs and line breaks removed, and the
// blanks and control characters at either end dropped.
QString hrefText(QStringView raw) {
    QString href = decodeReferences(raw);
    href.removeIf([](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; });
    qsizetype from = 0;
    qsizetype to = href.size();
    while (from < to && href[from].unicode() <= 32)
        ++from;
    while (to > from && href[to - 1].unicode() <= 32)
        --to;
    return href.mid(from, to - from);
}

// ---- The reader ---------------------------------------------------------------

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// Whether the text declares itself a bookmark file: its first <!DOCTYPE>
// names NETSCAPE-Bookmark-file-1, and comes before any list.
bool declaresBookmarks(const QString &text) {
    const qsizetype at = text.indexOf(QLatin1StringView("<!doctype"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return false;
    const qsizetype list = text.indexOf(QLatin1StringView("<dl"), 0, Qt::CaseInsensitive);
    if (list >= 0 && list < at)
        return false;
    const qsizetype close = text.indexOf(u'>', at);
    if (close < 0)
        return false;
    return QStringView(text)
               .sliced(at + 9, close - at - 9)
               .trimmed()
               .compare(QLatin1StringView("NETSCAPE-Bookmark-file-1"), Qt::CaseInsensitive) == 0;
}

// A tag of the file: its name, upper-cased, with "/" before it for an end
// tag; and the value of its HREF, the only attribute read.
struct Tag {
    QString name;
    std::optional<QStringView> href;
};

// Walks the text of a bookmark file once, from start to end, and builds the
// folders and links as the tags come.
class Reader {
public:
    Reader(const QString &text, BookmarkFile *file) : text_(text), file_(file) {}

    void run() {
        const qsizetype n = text_.size();
        qsizetype i = 0;
        qsizetype textFrom = 0; // start of the text not yet handed to the sink
        while (i < n) {
            const qsizetype lt = text_.indexOf(u'<', i);
            if (lt < 0)
                break;
            i = lt + 1;
            if (i >= n)
                break;
            const QChar next = text_[i];
            const bool endTag = next == u'/' && i + 1 < n && isAsciiLetter(text_[i + 1]);
            if (next == u'!' || next == u'?') {
                take(textFrom, lt);
                i = skipDeclaration(lt);
                textFrom = i;
            } else if (isAsciiLetter(next) || endTag) {
                take(textFrom, lt);
                Tag tag;
                i = readTag(lt, &tag);
                textFrom = i;
                handle(tag, lt);
            }
            // Any other "<" is text.
        }
        take(textFrom, n);
        finishText();
        closePendingFolder();
        while (!levels_.isEmpty())
            closeList();
    }

private:
    enum class Sink { None, Heading, Folder, Link, Note, Skip };

    struct Level {
        int folder = -1;         // the folder whose list it is; -1 for a list of no folder
        bool hasContent = false; // it holds a link or a folder
    };

    // The line of the file that holds position `pos`; positions are asked
    // for in increasing order.
    int lineAt(qsizetype pos) {
        while (counted_ < pos) {
            if (text_[counted_] == u'\n')
                ++line_;
            ++counted_;
        }
        return line_;
    }

    // Hands the text from `from` to `to` to the current sink.
    void take(qsizetype from, qsizetype to) {
        if (to > from && sink_ != Sink::None && sink_ != Sink::Skip)
            raw_.append(QStringView(text_).sliced(from, to - from));
    }

    // A comment, a declaration or a processing instruction, starting at the
    // "<" at `lt`; returns the position after it.
    qsizetype skipDeclaration(qsizetype lt) {
        if (QStringView(text_).sliced(lt).startsWith(QLatin1StringView("<!--"))) {
            const qsizetype end = text_.indexOf(QLatin1StringView("-->"), lt + 4);
            return end < 0 ? text_.size() : end + 3;
        }
        const qsizetype end = text_.indexOf(u'>', lt);
        return end < 0 ? text_.size() : end + 1;
    }

    // Reads the tag at `lt` (its name and its HREF); returns the position
    // after its ">", or the end of the text when it has none.
    qsizetype readTag(qsizetype lt, Tag *tag) {
        const qsizetype n = text_.size();
        qsizetype i = lt + 1;
        if (text_[i] == u'/') {
            tag->name = QStringLiteral("/");
            ++i;
        }
        const qsizetype nameFrom = i;
        while (i < n && (isAsciiAlnum(text_[i]) || text_[i] == u'-' || text_[i] == u':'))
            ++i;
        tag->name += text_.mid(nameFrom, i - nameFrom).toUpper();
        // Attributes: name, or name = value with the value in double quotes,
        // single quotes or none.
        while (i < n) {
            while (i < n && (isHtmlSpace(text_[i]) || text_[i] == u'/'))
                ++i;
            if (i >= n)
                return n;
            if (text_[i] == u'>')
                return i + 1;
            const qsizetype attrFrom = i;
            while (i < n && !isHtmlSpace(text_[i]) && text_[i] != u'>' && text_[i] != u'=' &&
                   !(text_[i] == u'/' && i > attrFrom))
                ++i;
            if (i == attrFrom)
                ++i; // a lone "=": nothing to read
            const QStringView attr = QStringView(text_).sliced(attrFrom, i - attrFrom);
            qsizetype j = i;
            while (j < n && isHtmlSpace(text_[j]))
                ++j;
            if (j >= n || text_[j] != u'=')
                continue; // an attribute without value
            i = j + 1;
            while (i < n && isHtmlSpace(text_[i]))
                ++i;
            QStringView value;
            if (i < n && (text_[i] == u'"' || text_[i] == u'\'')) {
                const QChar quote = text_[i];
                const qsizetype close = text_.indexOf(quote, i + 1);
                if (close >= 0) {
                    value = QStringView(text_).sliced(i + 1, close - i - 1);
                    i = close + 1;
                } else {
                    // An unclosed quote: the value and the tag end at the
                    // next ">", not at the end of the file.
                    const qsizetype gt = text_.indexOf(u'>', i + 1);
                    const qsizetype end = gt < 0 ? n : gt;
                    value = QStringView(text_).sliced(i + 1, end - i - 1);
                    i = end;
                }
            } else {
                const qsizetype from = i;
                while (i < n && !isHtmlSpace(text_[i]) && text_[i] != u'>')
                    ++i;
                value = QStringView(text_).sliced(from, i - from);
            }
            if (!tag->href && attr.compare(QLatin1StringView("href"), Qt::CaseInsensitive) == 0)
                tag->href = value;
        }
        return n;
    }

    void handle(const Tag &tag, qsizetype lt) {
        const QString &name = tag.name;
        if (name == u"A") {
            startItem();
            markContent();
            link_ = BookmarkLink();
            link_.folder = current_;
            link_.href = tag.href ? hrefText(*tag.href) : QString();
            link_.line = lineAt(lt);
            sink_ = Sink::Link;
        } else if (name == u"/A") {
            if (sink_ == Sink::Link)
                finishText();
        } else if (name == u"DD") {
            finishText(); // a link not closed ends here
            sink_ = noteFor_ >= 0 ? Sink::Note : Sink::Skip;
        } else if (name == u"DT") {
            startItem();
        } else if (name == u"H3") {
            startItem();
            markContent();
            pendingFolder_ = true;
            pendingName_.clear();
            pendingLine_ = lineAt(lt);
            sink_ = Sink::Folder;
        } else if (name == u"/H3") {
            if (sink_ == Sink::Folder)
                finishText();
        } else if (name == u"DL") {
            finishText();
            noteFor_ = -1;
            Level level;
            if (pendingFolder_) {
                level.folder = addFolder();
                current_ = level.folder;
            }
            levels_.append(level);
        } else if (name == u"/DL") {
            startItem();
            if (!levels_.isEmpty()) // an extra </DL> closes nothing
                closeList();
        } else if (name == u"H1") {
            startItem();
            sink_ = headingRead_ ? Sink::Skip : Sink::Heading;
        } else if (name == u"/H1") {
            if (sink_ == Sink::Heading || sink_ == Sink::Skip)
                finishText();
        } else if (name == u"TITLE") {
            startItem();
            sink_ = Sink::Skip;
        } else if (name == u"/TITLE") {
            if (sink_ == Sink::Skip)
                sink_ = Sink::None;
        } else if (name == u"BR") {
            if (sink_ != Sink::None && sink_ != Sink::Skip)
                raw_.append(u'\n');
        }
        // Every other tag (<p>, </DT>, </DD>, <META>, <HR>, <B>...) changes
        // nothing; the text around it goes on.
    }

    // A new item begins (a <DT>, a folder, a link, the end of a list): the
    // text before it ends, a folder heading without a list was an empty
    // folder, and a <DD> from here on belongs to no link.
    void startItem() {
        finishText();
        closePendingFolder();
        noteFor_ = -1;
    }

    void markContent() {
        if (!levels_.isEmpty())
            levels_.last().hasContent = true;
    }

    void finishText() {
        switch (sink_) {
        case Sink::Heading:
            file_->heading = nameText(raw_);
            headingRead_ = true;
            break;
        case Sink::Folder:
            pendingName_ = nameText(raw_);
            break;
        case Sink::Link:
            link_.text = nameText(raw_);
            file_->links.append(link_);
            noteFor_ = int(file_->links.size() - 1);
            break;
        case Sink::Note:
            if (const QString note = noteText(raw_); !note.isEmpty()) {
                QString &to = file_->links[noteFor_].note;
                to = to.isEmpty() ? note : to + QStringLiteral("\r\n") + note;
            }
            break;
        case Sink::None:
        case Sink::Skip:
            break;
        }
        sink_ = Sink::None;
        raw_.clear();
    }

    // The folder whose heading was read last, in the table; its index.
    int addFolder() {
        pendingFolder_ = false;
        file_->folders.append(BookmarkFolder{int(file_->names.size()), int(pendingName_.size()),
                                             current_, pendingLine_});
        file_->names.append(pendingName_);
        return int(file_->folders.size() - 1);
    }

    void addEmptyFolder(int folder) {
        file_->emptyFolders.append(EmptyFolder{folder, int(file_->links.size())});
    }

    // A folder heading that no list followed holds nothing.
    void closePendingFolder() {
        if (pendingFolder_)
            addEmptyFolder(addFolder());
    }

    void closeList() {
        const Level level = levels_.takeLast();
        if (level.folder < 0)
            return;
        current_ = file_->folders[level.folder].parent;
        if (!level.hasContent)
            addEmptyFolder(level.folder);
    }

    const QString &text_;
    BookmarkFile *file_;
    qsizetype counted_ = 0;
    int line_ = 1;

    Sink sink_ = Sink::None;
    QString raw_; // the text the sink has gathered so far
    BookmarkLink link_;
    int noteFor_ = -1; // the link a <DD> would belong to
    bool headingRead_ = false;

    QList<Level> levels_;
    int current_ = -1; // the folder whose list is open; -1 for none
    bool pendingFolder_ = false;
    QString pendingName_;
    int pendingLine_ = 0;
};

// ---- Descriptions -------------------------------------------------------------

// The first line of `text` (lines end with CR LF) that holds more than white
// space, without the white space at its ends; empty when there is none.
QStringView firstFilledLine(QStringView text) {
    qsizetype from = 0;
    while (from <= text.size()) {
        qsizetype end = text.indexOf(u"\r\n", from);
        if (end < 0)
            end = text.size();
        const QStringView line = text.sliced(from, end - from).trimmed();
        if (!line.isEmpty())
            return line;
        from = end + 2;
    }
    return {};
}

// A description as it is written: the link's text, and the note that
// follows it (none when `hasNote` is false). See BookmarkFileText.
struct WrittenDescription {
    QStringView text;
    QStringView note;
    bool hasNote = false;
};

WrittenDescription writtenDescription(QStringView d) {
    const qsizetype cut = d.indexOf(u"\r\n");
    if (cut < 0 || cut + 2 == d.size())
        return {d, {}, false}; // one line: nothing for a note
    const QStringView first = d.first(cut).trimmed();
    const QStringView rest = d.sliced(cut + 2);
    if (first.isEmpty() || firstFilledLine(rest) == first)
        return {firstFilledLine(d), d, true};
    return {d.first(cut), rest, true};
}

// ---- The writer -------------------------------------------------------------

// The bytes of a bookmark file as they are written: UTF-8, put straight
// into one growing buffer (an export of the most URLs a user can have
// writes millions of characters, and a character at a time must cost next
// to nothing).
class HtmlOut {
public:
    HtmlOut() {
        bytes_.resize(64 * 1024);
        at_ = bytes_.data();
    }

    void raw(QLatin1StringView text) {
        reserve(text.size());
        std::memcpy(at_, text.data(), size_t(text.size()));
        at_ += text.size();
    }

    // Text as a bookmark file holds it, written so that the reader gives it
    // back exactly: &, <, > and " escaped; a line break as the reference
    // &#10;, so every item stays on one line; a blank that begins or ends
    // the text or follows another blank as &#32;, which the reader's
    // folding of white space leaves alone; any other control character as
    // its reference.
    void text(QStringView text) { escaped(text, true); }

    // An address in HREF: the four characters and control characters
    // escaped, nothing else.
    void address(QStringView text) { escaped(text, false); }

    QByteArray take() {
        bytes_.resize(at_ - bytes_.data());
        return std::move(bytes_);
    }

private:
    // Room for `n` more bytes at the cursor.
    void reserve(qsizetype n) {
        const qsizetype used = at_ - bytes_.data();
        if (used + n > bytes_.size())
            bytes_.resize(std::max(bytes_.size() * 2, used + n));
        at_ = bytes_.data() + used;
    }

    void put(const char *ref) {
        while (*ref)
            *at_++ = *ref++;
    }

    void escaped(QStringView text, bool blanks) {
        const qsizetype n = text.size();
        reserve(n * 6); // the longest a character becomes: "&quot;", "&#127;"
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c >= 0x80) {
                // UTF-8: two or three bytes, four for a surrogate pair.
                if (c < 0x800) {
                    *at_++ = char(0xC0 | (c >> 6));
                    *at_++ = char(0x80 | (c & 0x3F));
                } else if (QChar::isHighSurrogate(c) && i + 1 < n &&
                           QChar::isLowSurrogate(text[i + 1].unicode())) {
                    const char32_t u = QChar::surrogateToUcs4(c, text[++i].unicode());
                    *at_++ = char(0xF0 | (u >> 18));
                    *at_++ = char(0x80 | ((u >> 12) & 0x3F));
                    *at_++ = char(0x80 | ((u >> 6) & 0x3F));
                    *at_++ = char(0x80 | (u & 0x3F));
                } else {
                    const char16_t u = QChar::isSurrogate(c) ? char16_t(0xFFFD) : c;
                    *at_++ = char(0xE0 | (u >> 12));
                    *at_++ = char(0x80 | ((u >> 6) & 0x3F));
                    *at_++ = char(0x80 | (u & 0x3F));
                }
                continue;
            }
            switch (c) {
            case u'&':
                put("&amp;");
                break;
            case u'<':
                put("&lt;");
                break;
            case u'>':
                put("&gt;");
                break;
            case u'"':
                put("&quot;");
                break;
            case u' ':
                if (blanks && (i == 0 || i == n - 1 || text[i - 1] == u' '))
                    put("&#32;");
                else
                    *at_++ = ' ';
                break;
            case u'\r':
                if (!blanks) {
                    put("&#13;");
                    break;
                }
                if (i + 1 < n && text[i + 1] == u'\n')
                    ++i;
                put("&#10;");
                break;
            default:
                if (c < 32 || c == 127) {
                    char ref[8];
                    std::snprintf(ref, sizeof ref, "&#%d;", int(c));
                    put(ref);
                } else {
                    *at_++ = char(c);
                }
            }
        }
    }

    QByteArray bytes_;
    char *at_ = nullptr; // where the next byte goes
};

} // namespace

namespace {

// ParseBookmarks; the bytes are let go of (`owner` emptied, when given) as
// soon as their text is decoded, so that a large file is not held twice.
QString parse(QByteArrayView bytes, QByteArray *owner, const QString &fileName,
              BookmarkFile *file) {
    *file = BookmarkFile();
    QString text;
    QString charset;
    const bool decoded = decodeFile(bytes, &text, &charset);
    if (owner)
        *owner = QByteArray();
    if (!decoded)
        return QStringLiteral("Sorry, the bookmark file \"%1\" is written in the character set "
                              "\"%2\", which Wayfile can't read, so nothing was imported.\r\n"
                              "Please export your bookmarks again, in UTF-8.")
            .arg(fileName, charset);
    if (!declaresBookmarks(text))
        return QStringLiteral("Sorry, \"%1\" is not a bookmark file, so nothing was imported.\r\n"
                              "Please choose the file your browser wrote when you exported your "
                              "bookmarks: an HTML file that begins with "
                              "<!DOCTYPE NETSCAPE-Bookmark-file-1>.")
            .arg(fileName);
    Reader(text, file).run();
    return QString();
}

} // namespace

QString ParseBookmarks(QByteArrayView bytes, const QString &fileName, BookmarkFile *file) {
    return parse(bytes, nullptr, fileName, file);
}

QList<BookmarkLink> ParseHtmlLinks(QByteArrayView bytes) {
    QString text;
    QString charset;
    if (!decodeFile(bytes, &text, &charset))
        return {};
    BookmarkFile file;
    Reader(text, &file).run();
    return file.links;
}

IoError ReadBookmarkFile(const QString &path, BookmarkFile *file) {
    *file = BookmarkFile();
    QByteArray bytes;
    if (IoError err = ReadWholeFile(path, kMaxBookmarkFileSize, &bytes); err.failed())
        return err;
    if (const QString refusal = parse(bytes, &bytes, path, file); !refusal.isEmpty())
        return IoError::refused(IoError::Kind::NotUnderstood, refusal);
    return IoError();
}

QStringList BookmarkFile::path(int folder) const {
    QStringList path;
    for (int f = folder; f >= 0; f = folders[f].parent)
        path.prepend(name(f).toString());
    return path;
}

QString LinkDescription(const BookmarkLink &link) {
    if (link.note.isEmpty())
        return link.text;
    if (firstFilledLine(link.note) == QStringView(link.text).trimmed())
        return link.note;
    return link.text + QStringLiteral("\r\n") + link.note;
}

// How a description is written. Its first line is the link's text, as
// browsers show a bookmark's title; the lines after the first line break go
// into a <DD> that follows the link. Read back (LinkDescription), the
// link's text, a line break and the <DD>'s text give the description again:
//   - an empty description gives a link without text (browsers show the
//     address instead), which reads back as an empty description;
//   - a description whose only line break is its last character has nothing
//     for a <DD>: the line break stays in the link's text, as &#10;;
//   - a description whose first line is empty (it starts with a line break)
//     would give a link without text, and a browser drops the note of such a
//     link: the link's text is the first line that holds more than white
//     space, and the <DD> holds the whole description. The reader knows such
//     a note by its first filled line, which is the link's text. So does a
//     description whose first line comes again as the first filled line
//     after it: it is written whole in the <DD> too, so that its note is not
//     taken for a whole description;
//   - blanks and line breaks that the reader would fold or drop (at either
//     end of a text, or a second blank in a row) are written as references,
//     which the reader keeps.
QByteArray BookmarkFileText(const QList<ExportCategory> &categories) {
    HtmlOut out;
    out.raw(QLatin1StringView("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                              "<!-- This is an automatically generated file.\n"
                              "     It will be read and overwritten.\n"
                              "     DO NOT EDIT! -->\n"
                              "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                              "charset=UTF-8\">\n"
                              "<TITLE>Bookmarks</TITLE>\n"
                              "<H1>Bookmarks</H1>\n"
                              "<DL><p>\n"));
    for (const ExportCategory &category : categories) {
        out.raw(QLatin1StringView("    <DT><H3>"));
        out.text(category.name);
        out.raw(QLatin1StringView("</H3>\n    <DL><p>\n"));
        for (const ExportUrl &url : category.urls) {
            const WrittenDescription d = writtenDescription(url.description);
            out.raw(QLatin1StringView("        <DT><A HREF=\""));
            out.address(AddressToOpen(url.address));
            out.raw(QLatin1StringView("\">"));
            out.text(d.text);
            out.raw(QLatin1StringView("</A>\n"));
            if (d.hasNote) {
                out.raw(QLatin1StringView("        <DD>"));
                out.text(d.note);
                out.raw(QLatin1StringView("\n"));
            }
        }
        out.raw(QLatin1StringView("    </DL><p>\n"));
    }
    out.raw(QLatin1StringView("</DL><p>\n"));
    return out.take();
}

IoError WriteBookmarkFile(const QString &path, const QList<ExportCategory> &categories) {
    return WriteNewFile(path, BookmarkFileText(categories));
}

IoError ReadCategoriesToExport(int userNo, const QString &stamp,
                               QList<ExportCategory> *categories) {
    categories->clear();
    CategoryIndexRead index;
    if (IoError err = ReadCategoryIndex(userNo, stamp, &index); err.failed())
        return err;
    std::stable_sort(
        index.owned.begin(), index.owned.end(),
        [](const ListEntry &a, const ListEntry &b) { return CompareEntries(a.text, b.text) < 0; });
    const OwnerTest owner(stamp);
    IoError result;
    for (const ListEntry &entry : std::as_const(index.owned)) {
        ExportCategory category;
        category.name = entry.text;
        const QString path = UrlFilePath(userNo, entry.number);
        bool hasData = false;
        if (!result.take(FileHasData(path, &hasData))) {
            categories->clear();
            return result;
        }
        if (hasData) {
            const IoError read = ForEachLine(path, [&](const QString &line) {
                if (const std::optional<UrlRecord> record = DecodeOwnedUrlLine(line, owner))
                    category.urls.append(ExportUrl{record->address, record->description()});
                return true;
            });
            if (!result.take(read)) {
                categories->clear();
                return result;
            }
        }
        categories->append(category);
    }
    return result;
}

} // namespace modMain

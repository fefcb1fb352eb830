#include "storage/charmap.h"

#include "storage/records.h"

#include <QChar>

namespace modMain {

namespace {

// One replacement of the table: the character's code and what it becomes.
struct Replacement {
    char32_t code;
    const char *text;
};

// The characters with a replacement of their own, in the order of the table
// in the header.
constexpr Replacement kReplacements[] = {
    // Typographic quotes.
    {0x2018, "'"},
    {0x2019, "'"},
    {0x201A, "'"},
    {0x201B, "'"},
    {0x2039, "'"},
    {0x203A, "'"},
    {0x2032, "'"},
    {0x2035, "'"},
    {0x00B4, "'"},
    {0x02BC, "'"},
    {0x201C, "\""},
    {0x201D, "\""},
    {0x201E, "\""},
    {0x201F, "\""},
    {0x00AB, "\""},
    {0x00BB, "\""},
    {0x2033, "\""},
    {0x2036, "\""},
    // Dashes and minus.
    {0x00AD, "-"},
    {0x2010, "-"},
    {0x2011, "-"},
    {0x2012, "-"},
    {0x2013, "-"},
    {0x2014, "-"},
    {0x2015, "-"},
    {0x2212, "-"},
    {0x2E3A, "-"},
    {0x2E3B, "-"},
    // Ellipsis.
    {0x2026, "..."},
    // The four printable ASCII characters past "z".
    {u'|', "/"},
    {u'{', "("},
    {u'}', ")"},
    {u'~', "-"},
    // Letters that no decomposition takes apart.
    {0x00DF, "ss"},
    {0x1E9E, "SS"},
    {0x00E6, "ae"},
    {0x00C6, "AE"},
    {0x00F8, "o"},
    {0x00D8, "O"},
    {0x0153, "oe"},
    {0x0152, "OE"},
    {0x0142, "l"},
    {0x0141, "L"},
    {0x00FE, "th"},
    {0x00DE, "TH"},
};

const char *ownReplacement(char32_t code) {
    for (const Replacement &r : kReplacements) {
        if (r.code == code)
            return r.text;
    }
    return nullptr;
}

bool isMark(char32_t code) {
    switch (QChar::category(code)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// What one character becomes without looking at its decomposition: itself
// when it can be stored, its own replacement, a blank for a space, nothing
// for a mark. False when none of these applies.
bool mapDirectly(char32_t code, QString *out) {
    if (code <= 0xFFFF && IsStorableChar(QChar(char16_t(code)))) {
        out->append(QChar(char16_t(code)));
        return true;
    }
    if (const char *text = ownReplacement(code)) {
        out->append(QLatin1StringView(text));
        return true;
    }
    if (QChar::isSpace(code)) {
        out->append(u' ');
        return true;
    }
    return isMark(code);
}

// What a character the cipher cannot store becomes.
QString mapCharacter(char32_t code) {
    QString out;
    if (mapDirectly(code, &out))
        return out;
    // Its decomposition, when every part of it maps and it gives more than
    // a blank.
    const QString whole = QString::fromUcs4(&code, 1);
    const QString parts = whole.normalized(QString::NormalizationForm_KD);
    if (parts != whole) {
        QString mapped;
        bool complete = true;
        for (const char32_t part : parts.toUcs4())
            complete = complete && mapDirectly(part, &mapped);
        if (complete && !mapped.trimmed().isEmpty())
            return mapped;
    }
    return QStringLiteral("?");
}

} // namespace

MappedText MapToStorable(QStringView text, bool keepLineBreaks) {
    MappedText result;
    result.text.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (IsStorableChar(c)) {
            result.text.append(c);
            continue;
        }
        if (keepLineBreaks && c == u'\r' && i + 1 < size && text[i + 1] == u'\n') {
            result.text.append(QLatin1StringView("\r\n"));
            ++i;
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text[i + 1]);
            ++i;
        } else if (c.isSurrogate()) {
            code = QChar::ReplacementCharacter; // half a pair: no character at all
        }
        result.text.append(mapCharacter(code));
        result.changed = true;
    }
    return result;
}

} // namespace modMain

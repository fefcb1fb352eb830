#include "urls/addressidentity.h"

#include "storage/records.h"
#include "urls/urlfile.h"

#include <QUrl>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include <string.h> // explicit_bzero

namespace modMain {

namespace {

// What a byte is to each part of an address, one bit per part: whether the
// part has it escaped ("%" and two hex digits), whether a host name may not
// hold it, whether it ends the authority and a path segment. Every control
// character and every byte from 127 on is escaped in every part.
enum ByteClass : quint8 {
    kInPath = 1,
    kInQuery = 2,
    kInFragment = 4,
    kInUserInfo = 8,
    kNotInHost = 16,
    kEndsSegment = 32, // "/", "\", "?", "#"
};

constexpr std::array<quint8, 256> ClassTable() {
    constexpr quint8 kEverywhere = kInPath | kInQuery | kInFragment | kInUserInfo;
    std::array<quint8, 256> table{};
    for (int c = 0; c < 32; ++c)
        table[size_t(c)] = kEverywhere | kNotInHost;
    table[127] = kEverywhere | kNotInHost;
    for (int c = 128; c < 256; ++c)
        table[size_t(c)] = kEverywhere;
    auto mark = [&table](std::string_view chars, int classes) {
        for (const char c : chars)
            table[size_t(uchar(c))] |= quint8(classes);
    };
    mark(" \"<>", kEverywhere);
    mark("#?^`{}", kInPath | kInUserInfo);
    mark("#'", kInQuery);
    mark("`", kInFragment);
    mark("/:;=@[\\]|", kInUserInfo);
    mark(" #%/:<>?@[\\]^|", kNotInHost);
    mark("/\\?#", kEndsSegment);
    return table;
}

constexpr std::array<quint8, 256> kClasses = ClassTable();

bool Is(char c, ByteClass what) {
    return (kClasses[uchar(c)] & what) != 0;
}

// Where the first byte of `text` from `from` on that ends a path segment
// (or the authority) lies; the size of `text` when none does.
size_t SegmentEnd(std::string_view text, size_t from = 0) {
    while (from < text.size() && !Is(text[from], kEndsSegment))
        ++from;
    return from;
}

// Appends `text` with the bytes `part` escapes as "%" and two upper-case hex
// digits; every other byte, a "%" included, as it is.
void AppendEscaped(std::string_view text, ByteClass part, std::string *out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!Is(text[i], part))
            continue;
        const auto c = uchar(text[i]);
        out->append(text.substr(from, i - from));
        const char escape[3] = {'%', kHex[c >> 4], kHex[c & 15]};
        out->append(escape, 3);
        from = i + 1;
    }
    out->append(text.substr(from));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(),
                                                     [](char a, char b) { return Lower(a) == b; });
}

bool StartsWithNoCase(std::string_view text, std::string_view lower) {
    return text.size() >= lower.size() && EqualsNoCase(text.substr(0, lower.size()), lower);
}

// "." and ".." path segments, also with their dots escaped.
bool IsSingleDot(std::string_view segment) {
    return segment == "." || EqualsNoCase(segment, "%2e");
}
bool IsDoubleDot(std::string_view segment) {
    return segment == ".." || EqualsNoCase(segment, ".%2e") || EqualsNoCase(segment, "%2e.") ||
           EqualsNoCase(segment, "%2e%2e");
}

// ---- IPv4 ----

// One part of a host name read as a number, as a browser reads it: "0x"
// before hexadecimal digits, "0" before octal ones, otherwise decimal.
// Values past 2^32 are held as 2^32 + 1, which no check lets through.
std::optional<quint64> Ipv4Number(std::string_view part) {
    if (part.empty())
        return std::nullopt;
    int radix = 10;
    if (StartsWithNoCase(part, "0x")) {
        radix = 16;
        part.remove_prefix(2);
    } else if (part.size() >= 2 && part.front() == '0') {
        radix = 8;
        part.remove_prefix(1);
    }
    quint64 value = 0;
    for (const char c : part) {
        const int digit = HexValue(c);
        if (digit < 0 || digit >= radix)
            return std::nullopt;
        value = std::min<quint64>(value * quint64(radix) + quint64(digit), (1ull << 32) + 1);
    }
    return value;
}

// The parts of a host name between its dots.
std::vector<std::string_view> Labels(std::string_view host) {
    std::vector<std::string_view> labels;
    size_t from = 0;
    for (;;) {
        const size_t dot = host.find('.', from);
        labels.push_back(host.substr(from, dot == std::string_view::npos ? dot : dot - from));
        if (dot == std::string_view::npos)
            return labels;
        from = dot + 1;
    }
}

// Whether a host name ends in a number, which makes it an IPv4 address (or
// no host at all): its last label (before a final dot) is all digits, or
// "0x" and hexadecimal digits.
bool EndsInNumber(std::string_view host) {
    if (host.size() > 1 && host.back() == '.')
        host.remove_suffix(1);
    const size_t dot = host.rfind('.');
    const std::string_view last = dot == std::string_view::npos ? host : host.substr(dot + 1);
    if (!last.empty() && std::all_of(last.begin(), last.end(), IsDigit))
        return true;
    return StartsWithNoCase(last, "0x") &&
           std::all_of(last.begin() + 2, last.end(), [](char c) { return HexValue(c) >= 0; });
}

// The IPv4 address a host name that ends in a number stands for: one to
// four numbers, the last filling the bytes the others leave.
std::optional<quint32> ParseIpv4(std::string_view host) {
    std::vector<std::string_view> labels = Labels(host);
    if (labels.back().empty() && labels.size() > 1)
        labels.pop_back();
    if (labels.size() > 4)
        return std::nullopt;
    std::vector<quint64> numbers;
    for (const std::string_view label : labels) {
        const std::optional<quint64> n = Ipv4Number(label);
        if (!n)
            return std::nullopt;
        numbers.push_back(*n);
    }
    quint64 address = numbers.back();
    if (address >= (1ull << (8 * (5 - numbers.size()))))
        return std::nullopt;
    for (size_t i = 0; i + 1 < numbers.size(); ++i) {
        if (numbers[i] > 255)
            return std::nullopt;
        address += numbers[i] << (8 * (3 - i));
    }
    return quint32(address);
}

void AppendIpv4(quint32 address, std::string *out) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->append(std::to_string((address >> shift) & 255));
        if (shift > 0)
            out->push_back('.');
    }
}

// ---- IPv6 ----

using Ipv6 = std::array<quint16, 8>;

// The eight pieces of an IPv6 address written between brackets: hex
// pieces, one "::" standing for the zero pieces left out, and optionally
// its last two pieces as a dotted IPv4 address.
std::optional<Ipv6> ParseIpv6(std::string_view text) {
    Ipv6 pieces{};
    size_t piece = 0;
    std::optional<size_t> compress;
    size_t i = 0;
    auto at = [&text](size_t k) { return k < text.size() ? text[k] : '\0'; };
    if (at(0) == ':') {
        if (at(1) != ':')
            return std::nullopt;
        i = 2;
        compress = ++piece;
    }
    while (i < text.size()) {
        if (piece == 8)
            return std::nullopt;
        if (text[i] == ':') {
            if (compress)
                return std::nullopt;
            ++i;
            compress = ++piece;
            continue;
        }
        quint32 value = 0;
        size_t length = 0;
        while (length < 4 && HexValue(at(i)) >= 0) {
            value = value * 16 + quint32(HexValue(at(i)));
            ++i;
            ++length;
        }
        if (at(i) == '.') {
            // The last 32 bits as four decimal numbers.
            if (length == 0 || piece > 6)
                return std::nullopt;
            i -= length;
            int numbersSeen = 0;
            while (i < text.size()) {
                if (numbersSeen > 0) {
                    if (text[i] != '.' || numbersSeen >= 4)
                        return std::nullopt;
                    ++i;
                }
                if (!IsDigit(at(i)))
                    return std::nullopt;
                int number = -1;
                while (IsDigit(at(i))) {
                    if (number == 0)
                        return std::nullopt; // no leading zero
                    number = (number < 0 ? 0 : number * 10) + (text[i] - '0');
                    if (number > 255)
                        return std::nullopt;
                    ++i;
                }
                pieces[piece] = quint16(pieces[piece] * 0x100 + number);
                ++numbersSeen;
                if (numbersSeen == 2 || numbersSeen == 4)
                    ++piece;
            }
            if (numbersSeen != 4)
                return std::nullopt;
            break;
        }
        if (at(i) == ':') {
            ++i;
            if (i == text.size())
                return std::nullopt;
        } else if (i < text.size()) {
            return std::nullopt;
        }
        pieces[piece++] = quint16(value);
    }
    if (compress) {
        size_t swaps = piece - *compress;
        piece = 7;
        while (piece != 0 && swaps > 0) {
            std::swap(pieces[piece], pieces[*compress + swaps - 1]);
            --piece;
            --swaps;
        }
    } else if (piece != 8) {
        return std::nullopt;
    }
    return pieces;
}

// The shortest form: lower-case hex without leading zeros, the first of the
// longest runs of two or more zero pieces written "::".
void AppendIpv6(const Ipv6 &pieces, std::string *out) {
    size_t compress = 8;
    size_t longest = 1;
    for (size_t start = 0; start < 8;) {
        size_t end = start;
        while (end < 8 && pieces[end] == 0)
            ++end;
        if (end - start > longest) {
            longest = end - start;
            compress = start;
        }
        start = end == start ? start + 1 : end;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out->push_back('[');
    for (size_t i = 0; i < 8; ++i) {
        if (i == compress) {
            out->append(i == 0 ? "::" : ":");
            i += longest - 1;
            continue;
        }
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const int digit = (pieces[i] >> shift) & 15;
            if (digits || digit != 0 || shift == 0) {
                out->push_back(kHex[digit]);
                digits = true;
            }
        }
        if (i != 7)
            out->push_back(':');
    }
    out->push_back(']');
}

// ---- The parts ----

// Appends the host name as a browser writes it; false when it is none.
bool AppendHost(std::string_view host, std::string *out) {
    if (host.empty())
        return false;
    if (host.front() == '[') {
        if (host.back() != ']')
            return false;
        const std::optional<Ipv6> address = ParseIpv6(host.substr(1, host.size() - 2));
        if (!address)
            return false;
        AppendIpv6(*address, out);
        return true;
    }
    const size_t start = out->size();
    if (host.find('%') == std::string_view::npos) {
        out->append(host);
    } else {
        for (size_t i = 0; i < host.size(); ++i) {
            char c = host[i];
            if (c == '%' && i + 2 < host.size() && HexValue(host[i + 1]) >= 0 &&
                HexValue(host[i + 2]) >= 0) {
                c = char(HexValue(host[i + 1]) * 16 + HexValue(host[i + 2]));
                i += 2;
            }
            out->push_back(c);
        }
    }
    const bool ascii = std::all_of(out->begin() + qsizetype(start), out->end(),
                                   [](char c) { return uchar(c) < 128; });
    if (!ascii) {
        // A name in other letters: each label in its ASCII form, as every
        // resolver asks for it (none when it has none). Label by label, so
        // that an empty label or an ASCII one is kept as it is.
        std::string name(out->data() + start, out->size() - start);
        out->resize(start);
        bool named = true;
        for (size_t from = 0; named && from <= name.size();) {
            const size_t dot = std::min(name.find('.', from), name.size());
            const std::string_view label(name.data() + from, dot - from);
            if (std::all_of(label.begin(), label.end(), [](char c) { return uchar(c) < 128; })) {
                out->append(label);
            } else {
                const QByteArray ace =
                    QUrl::toAce(QString::fromUtf8(label.data(), qsizetype(label.size())));
                named = !ace.isEmpty();
                out->append(ace.constData(), size_t(ace.size()));
            }
            if (dot < name.size())
                out->push_back('.');
            from = dot + 1;
        }
        explicit_bzero(name.data(), name.size());
        if (!named)
            return false;
    }
    for (size_t i = start; i < out->size(); ++i) {
        (*out)[i] = Lower((*out)[i]);
        if (Is((*out)[i], kNotInHost))
            return false;
    }
    const std::string_view name(out->data() + start, out->size() - start);
    if (!EndsInNumber(name))
        return true;
    const std::optional<quint32> address = ParseIpv4(name);
    out->resize(start);
    if (!address)
        return false;
    AppendIpv4(*address, out);
    return true;
}

// Appends ":" and the port unless it is empty or the scheme's own; false
// when it is no port number.
bool AppendPort(std::string_view port, bool https, std::string *out) {
    quint32 number = 0;
    for (const char c : port) {
        if (!IsDigit(c))
            return false;
        number = number * 10 + quint32(c - '0');
        if (number > 65535)
            return false;
    }
    if (!port.empty() && number != (https ? 443u : 80u)) {
        out->push_back(':');
        out->append(std::to_string(number));
    }
    return true;
}

// Appends the user name and password with "@", unless both are empty.
void AppendUserInfo(std::string_view info, std::string *out) {
    const size_t colon = info.find(':');
    const std::string_view user = info.substr(0, colon);
    const std::string_view password =
        colon == std::string_view::npos ? std::string_view() : info.substr(colon + 1);
    if (user.empty() && password.empty())
        return;
    AppendEscaped(user, kInUserInfo, out);
    if (!password.empty()) {
        out->push_back(':');
        AppendEscaped(password, kInUserInfo, out);
    }
    out->push_back('@');
}

// Appends the path (from just past the authority), the query and the
// fragment.
void AppendPathOn(std::string_view rest, std::string *out) {
    const size_t pathStart = out->size();
    size_t i = 0;
    if (i < rest.size() && (rest[i] == '/' || rest[i] == '\\'))
        ++i;
    for (;;) {
        const size_t end = SegmentEnd(rest, i);
        const std::string_view segment = rest.substr(i, end - i);
        const bool slash = end < rest.size() && (rest[end] == '/' || rest[end] == '\\');
        if (IsDoubleDot(segment)) {
            if (out->size() > pathStart)
                out->resize(out->rfind('/'));
            if (!slash)
                out->push_back('/');
        } else if (IsSingleDot(segment)) {
            if (!slash)
                out->push_back('/');
        } else {
            out->push_back('/');
            AppendEscaped(segment, kInPath, out);
        }
        if (!slash) {
            rest.remove_prefix(end);
            break;
        }
        i = end + 1;
    }
    if (!rest.empty() && rest.front() == '?') {
        const size_t end = std::min(rest.find('#'), rest.size());
        out->push_back('?');
        AppendEscaped(rest.substr(1, end - 1), kInQuery, out);
        rest.remove_prefix(end);
    }
    if (!rest.empty()) { // '#'
        out->push_back('#');
        AppendEscaped(rest.substr(1), kInFragment, out);
    }
}

// The identity of the address after "http://" or "https://"; false when
// no browser can open it.
bool AppendIdentity(std::string_view rest, bool https, std::string *out) {
    out->append(https ? "https://" : "http://");
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\'))
        rest.remove_prefix(1);
    const size_t authorityEnd = SegmentEnd(rest);
    std::string_view hostAndPort = rest.substr(0, authorityEnd);
    if (const size_t at = hostAndPort.rfind('@'); at != std::string_view::npos) {
        AppendUserInfo(hostAndPort.substr(0, at), out);
        hostAndPort.remove_prefix(at + 1);
    }
    // The port begins at the first ":" outside brackets.
    size_t colon = 0;
    bool inBrackets = false;
    for (; colon < hostAndPort.size(); ++colon) {
        const char c = hostAndPort[colon];
        if (c == ':' && !inBrackets)
            break;
        if (c == '[')
            inBrackets = true;
        else if (c == ']')
            inBrackets = false;
    }
    if (!AppendHost(hostAndPort.substr(0, colon), out))
        return false;
    if (colon < hostAndPort.size() && !AppendPort(hostAndPort.substr(colon + 1), https, out))
        return false;
    AppendPathOn(rest.substr(authorityEnd), out);
    return true;
}

} // namespace

void StoredAddressIdentity(std::string_view stored, std::string *key) {
    key->clear();
    while (!stored.empty() && stored.front() == ' ')
        stored.remove_prefix(1);
    while (!stored.empty() && stored.back() == ' ')
        stored.remove_suffix(1);
    if (stored.empty())
        return;
    // The scheme as View opens the address: "http://" unless it has
    // "http://" or "https://" of its own.
    std::string_view opened = stored;
    bool https = false;
    if (StartsWithNoCase(opened, "http://")) {
        opened.remove_prefix(7);
    } else if (StartsWithNoCase(opened, "https://")) {
        opened.remove_prefix(8);
        https = true;
    }
    if (AppendIdentity(opened, https, key))
        return;
    // No browser opens it: the same only as itself, as opened.
    explicit_bzero(key->data(), key->size());
    key->clear();
    if (opened.size() == stored.size())
        key->append("http://");
    key->append(stored);
}

void AddressIdentity(QStringView address, std::string *key) {
    // An address that holds only characters the files can hold is its own
    // stored form; any other is put in that form first.
    address = TrimBlanks(address);
    QString stored;
    if (!std::all_of(address.begin(), address.end(), IsStorableChar)) {
        stored = StoredAddress(address.toString());
        address = stored;
    }
    std::string bytes(size_t(address.size()), '\0');
    for (qsizetype i = 0; i < address.size(); ++i)
        bytes[size_t(i)] = char(address[i].unicode());
    StoredAddressIdentity(bytes, key);
    explicit_bzero(bytes.data(), bytes.size());
}

QString AddressIdentity(const QString &address) {
    std::string key;
    AddressIdentity(QStringView(address), &key);
    const QString identity = QString::fromLatin1(key.data(), qsizetype(key.size()));
    explicit_bzero(key.data(), key.size());
    return identity;
}

} // namespace modMain

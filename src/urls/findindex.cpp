#include "urls/findindex.h"

#include "categories/categoryindex.h"
#include "storage/entryorder.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include <QHashFunctions>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <string.h> // explicit_bzero

namespace modMain {

namespace {

void Wipe(void *data, size_t size) {
    if (data && size)
        explicit_bzero(data, size);
}

void Wipe(std::string &text) {
    Wipe(text.data(), text.size());
    std::string().swap(text);
}

// A growing run of bytes whose memory is overwritten with zeros before it
// goes back to the allocator: when it grows, shrinks and when it is
// released. The index keeps every text it holds in one of these.
class WipedBytes {
public:
    WipedBytes() = default;
    ~WipedBytes() { release(); }
    WipedBytes(const WipedBytes &) = delete;
    WipedBytes &operator=(const WipedBytes &) = delete;

    // Takes over `other`'s bytes; the bytes held so far are wiped.
    void takeFrom(WipedBytes &other) {
        release();
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    qsizetype size() const { return size_; }
    qsizetype capacity() const { return capacity_; }
    std::string_view view(qsizetype at, qsizetype size) const {
        return std::string_view(data_.get() + at, size_t(size));
    }

    // Room for `size` more bytes at the end; returns where they start.
    char *extend(qsizetype size) {
        if (size_ + size > capacity_)
            reserve(std::max({capacity_ * 2, size_ + size, qsizetype(256)}));
        char *at = data_.get() + size_;
        size_ += size;
        return at;
    }
    void append(std::string_view bytes) {
        if (!bytes.empty())
            std::memcpy(extend(qsizetype(bytes.size())), bytes.data(), bytes.size());
    }
    void push(char c) { *extend(1) = c; }

    // Zeros bytes that are no longer used (they stay allocated).
    void wipe(qsizetype at, qsizetype size) { Wipe(data_.get() + at, size_t(size)); }
    // Drops the bytes from `size` on.
    void truncate(qsizetype size) {
        wipe(size, size_ - size);
        size_ = size;
    }

    void reserve(qsizetype capacity) {
        if (capacity <= capacity_)
            return;
        std::unique_ptr<char[]> fresh(new char[size_t(capacity)]);
        if (size_)
            std::memcpy(fresh.get(), data_.get(), size_t(size_));
        Wipe(data_.get(), size_t(size_));
        data_ = std::move(fresh);
        capacity_ = capacity;
    }

    void release() {
        Wipe(data_.get(), size_t(size_));
        data_.reset();
        size_ = 0;
        capacity_ = 0;
    }

private:
    std::unique_ptr<char[]> data_;
    qsizetype size_ = 0;
    qsizetype capacity_ = 0;
};

bool IsAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Appends `text` as UTF-8 (stored texts are ASCII: one byte a character).
void AppendText(WipedBytes &out, QStringView text) {
    if (IsAscii(text)) {
        char *to = out.extend(text.size());
        for (qsizetype i = 0; i < text.size(); ++i)
            to[i] = char(text[i].unicode());
        return;
    }
    QByteArray utf8 = text.toUtf8();
    out.append(std::string_view(utf8.constData(), size_t(utf8.size())));
    Wipe(utf8.data(), size_t(utf8.size()));
}

// Appends `text` case-folded, as UTF-8: the form searches compare.
void AppendFolded(WipedBytes &out, QStringView text) {
    if (IsAscii(text)) {
        char *to = out.extend(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            to[i] = char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
        }
        return;
    }
    QString folded = text.toString().toCaseFolded();
    AppendText(out, folded);
    folded.fill(QChar(0));
}

std::string Folded(QStringView text) {
    if (IsAscii(text)) {
        std::string out(size_t(text.size()), '\0');
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            out[size_t(i)] = char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
        }
        return out;
    }
    const QByteArray utf8 = text.toString().toCaseFolded().toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}

// The length in UTF-16 code units of a UTF-8 text.
qsizetype Utf16Length(std::string_view utf8) {
    qsizetype length = 0;
    for (const char c : utf8) {
        const auto b = uchar(c);
        if ((b & 0xC0) != 0x80)
            length += b >= 0xF0 ? 2 : 1;
    }
    return length;
}

// The words of a search text, split at blanks (any white space, so that no
// word ever holds the line break between a URL's two texts), case-folded.
std::vector<std::string> Words(const QString &text) {
    std::vector<std::string> words;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < n && !text[i].isSpace())
            ++i;
        if (i > start)
            words.push_back(Folded(QStringView(text).mid(start, i - start)));
    }
    return words;
}

// Whether every URL that holds all of `words` holds all of `earlier` too:
// each earlier word is part of some word now.
bool Narrows(const std::vector<std::string> &words, const std::vector<std::string> &earlier) {
    return std::all_of(earlier.begin(), earlier.end(), [&words](const std::string &old) {
        return std::any_of(words.begin(), words.end(), [&old](const std::string &word) {
            return word.find(old) != std::string::npos;
        });
    });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
        if (c != prefix[i])
            return false;
    }
    return true;
}

// OpenedAddressKey into `key` (ASCII).
void OpenedKey(QStringView address, std::string *key) {
    key->clear();
    // The stored form holds characters 32..122 only; an address that holds
    // only those is its own stored form.
    QString stored;
    bool storable = true;
    for (const QChar c : address)
        storable = storable && IsStorableChar(c);
    if (!storable) {
        stored = StoredAddress(address.toString());
        address = stored;
    }
    address = TrimBlanks(address);
    if (address.isEmpty())
        return;
    std::string text(size_t(address.size()), '\0');
    for (qsizetype i = 0; i < address.size(); ++i)
        text[size_t(i)] = char(address[i].unicode());
    std::string_view rest(text);

    // The scheme as View opens the address: "http://" unless it has
    // "http://" or "https://" of its own.
    if (StartsWithNoCase(rest, "http://")) {
        rest.remove_prefix(7);
    } else if (StartsWithNoCase(rest, "https://")) {
        key->append("https");
        rest.remove_prefix(8);
    }
    if (key->empty())
        key->append("http");
    key->append("://");

    // The authority, up to the path, query or fragment; its host (past any
    // user name) and port in lower case.
    const size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const size_t at = rest.substr(0, authorityEnd).rfind('@');
    const size_t hostStart = at == std::string_view::npos ? 0 : at + 1;
    key->append(rest.substr(0, hostStart));
    for (size_t i = hostStart; i < authorityEnd; ++i) {
        char c = rest[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
        key->push_back(c);
    }
    rest.remove_prefix(authorityEnd);
    if (rest.empty() || rest.front() != '/')
        key->push_back('/');
    key->append(rest);
    Wipe(text);
}

quint32 KeyHash(const std::string &key) {
    const size_t h = qHash(QByteArrayView(key.data(), qsizetype(key.size())), 0);
    return quint32(h ^ (quint64(h) >> 32));
}

qint32 Saturated(qint64 number) {
    return qint32(std::clamp<qint64>(number, INT_MIN, INT_MAX));
}

// What AppendUrl stores of a typed description, and what ReplaceUrlRecord
// stores, as the files read them back (LoadUrlDetails's display form).
QString AddedDescription(const QString &typed) {
    return ConvertLineBreaks(TrimBlanks(ConvertLineBreaks(typed, true)), false);
}
QString ReplacedDescription(const QString &typed) {
    return ConvertLineBreaks(ConvertLineBreaks(typed, true), false);
}

} // namespace

QString OpenedAddressKey(const QString &address) {
    std::string key;
    OpenedKey(address, &key);
    return QString::fromLatin1(key.data(), qsizetype(key.size()));
}

// The URLs sit in `urls`, their slot being their place there; a URL keeps
// its slot for as long as it is in the index, and slots follow the order of
// the files (a URL read or added later has a higher slot), so that "the
// first URL of a number" is the one of the lowest slot. The texts sit in
// `text`: per URL its address, its description (both as the files read
// them, UTF-8), then the case-folded address, a line break and the
// case-folded description, which is what a search reads; per category its
// name, then the case-folded name. A text that is replaced or dropped is
// wiped where it stands and counted as dead; when the dead part grows large
// the live parts are copied together (and slots renumbered, keeping their
// order).
struct FindIndex::Data {
    struct Url {
        qsizetype at = 0;
        qint32 addressSize = 0;
        qint32 descriptionSize = 0;
        qint32 foldedSize = 0;
        qint32 number = 0;   // the URL number
        qint32 category = 0; // the category number; 0 once the URL is gone

        qsizetype size() const { return qsizetype(addressSize) + descriptionSize + foldedSize; }
    };

    struct Category {
        qint32 number = 0;
        qsizetype at = 0;
        qint32 nameSize = 0;
        qint32 foldedSize = 0;
        std::vector<qint32> urls; // slots, in result order

        qsizetype size() const { return qsizetype(nameSize) + foldedSize; }
    };

    // An earlier search whose result the next one may narrow.
    struct Step {
        std::vector<std::string> words;
        std::vector<qint32> hits;
    };

    bool built = false;
    WipedBytes text;
    qsizetype deadBytes = 0;
    std::vector<Url> urls;
    qsizetype deadUrls = 0;
    std::vector<Category> categories; // in result order: name, then number
    std::vector<qint32> positionOf;   // category number -> place in `categories`, or -1
    std::vector<std::pair<quint32, qint32>> opened; // (hash of the opened address, slot), by hash
    qsizetype textChars = 0;
    // The searches of the text being typed, each narrowing the one before.
    std::vector<Step> steps;

    // ---- Reading the texts back ----

    QString address(const Url &u) const {
        const std::string_view bytes = text.view(u.at, u.addressSize);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    QString description(const Url &u) const {
        const std::string_view bytes = text.view(u.at + u.addressSize, u.descriptionSize);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    std::string_view folded(const Url &u) const {
        return text.view(u.at + u.addressSize + u.descriptionSize, u.foldedSize);
    }
    QString name(const Category &c) const {
        const std::string_view bytes = text.view(c.at, c.nameSize);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    std::string_view foldedName(const Category &c) const {
        return text.view(c.at + c.nameSize, c.foldedSize);
    }

    Category *category(int number) {
        if (number < 0 || size_t(number) >= positionOf.size() || positionOf[size_t(number)] < 0)
            return nullptr;
        return &categories[size_t(positionOf[size_t(number)])];
    }
    const Category *category(int number) const {
        return const_cast<Data *>(this)->category(number);
    }
    bool live(Hit hit) const {
        return hit >= 0 && size_t(hit) < urls.size() && urls[size_t(hit)].category != 0;
    }

    // ---- Order ----

    // Whether the category named `name`, numbered `number`, comes before
    // `c` in the lists.
    bool before(const QString &name, qint32 number, const Category &c) const {
        const int order = CompareEntries(name, this->name(c));
        return order != 0 ? order < 0 : number < c.number;
    }

    void renumberCategories() {
        qint32 highest = 0;
        for (const Category &c : categories)
            highest = std::max(highest, c.number);
        positionOf.assign(size_t(highest) + 1, -1);
        for (size_t i = 0; i < categories.size(); ++i)
            positionOf[size_t(categories[i].number)] = qint32(i);
    }

    // Puts `c` in its place in the category order.
    void placeCategory(Category &&c) {
        const QString name = this->name(c);
        auto at = std::find_if(categories.begin(), categories.end(), [&](const Category &other) {
            return before(name, c.number, other);
        });
        categories.insert(at, std::move(c));
        renumberCategories();
    }

    // Puts the URL of `slot` in its place in the order of `c`: by address,
    // then by number, then in file order.
    void placeUrl(Category &c, qint32 slot) {
        const Url &u = urls[size_t(slot)];
        const QString a = address(u);
        auto at = std::upper_bound(c.urls.begin(), c.urls.end(), slot, [&](qint32, qint32 other) {
            const Url &o = urls[size_t(other)];
            const int order = CompareEntries(a, address(o));
            if (order != 0)
                return order < 0;
            if (u.number != o.number)
                return u.number < o.number;
            return slot < other;
        });
        c.urls.insert(at, slot);
    }

    // Sorts the URLs of `c` whole, for many at once.
    void sortUrls(Category &c) {
        struct Keyed {
            QString address;
            qint32 number;
            qint32 slot;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(c.urls.size());
        for (const qint32 slot : c.urls)
            keyed.push_back({address(urls[size_t(slot)]), urls[size_t(slot)].number, slot});
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            const int order = CompareEntries(a.address, b.address);
            if (order != 0)
                return order < 0;
            return a.number != b.number ? a.number < b.number : a.slot < b.slot;
        });
        for (size_t i = 0; i < keyed.size(); ++i)
            c.urls[i] = keyed[i].slot;
    }

    // ---- Texts ----

    // A new URL's texts and slot (not yet in any order or table).
    qint32 appendUrl(qint32 category, qint32 number, const QString &address,
                     const QString &description) {
        Url u;
        u.category = category;
        u.number = number;
        writeUrlText(u, address, description);
        urls.push_back(u);
        return qint32(urls.size() - 1);
    }

    void writeUrlText(Url &u, QStringView address, QStringView description) {
        u.at = text.size();
        AppendText(text, address);
        u.addressSize = qint32(text.size() - u.at);
        AppendText(text, description);
        u.descriptionSize = qint32(text.size() - u.at - u.addressSize);
        const qsizetype folded = text.size();
        AppendFolded(text, address);
        text.push('\n');
        AppendFolded(text, description);
        u.foldedSize = qint32(text.size() - folded);
        textChars += address.size() + description.size();
    }

    void dropUrlText(Url &u) {
        textChars -= Utf16Length(text.view(u.at, qsizetype(u.addressSize) + u.descriptionSize));
        text.wipe(u.at, u.size());
        deadBytes += u.size();
    }

    void writeName(Category &c, QStringView name) {
        c.at = text.size();
        AppendText(text, name);
        c.nameSize = qint32(text.size() - c.at);
        AppendFolded(text, name);
        c.foldedSize = qint32(text.size() - c.at - c.nameSize);
        textChars += name.size();
    }

    void dropName(Category &c) {
        textChars -= Utf16Length(text.view(c.at, c.nameSize));
        text.wipe(c.at, c.size());
        deadBytes += c.size();
    }

    // ---- The table of opened addresses ----

    quint32 hashOf(const Url &u) const {
        std::string key;
        OpenedKey(address(u), &key);
        const quint32 hash = KeyHash(key);
        Wipe(key);
        return hash;
    }

    void addOpened(qint32 slot) {
        const std::pair<quint32, qint32> entry{hashOf(urls[size_t(slot)]), slot};
        opened.insert(std::upper_bound(opened.begin(), opened.end(), entry), entry);
    }

    void removeOpened(qint32 slot) {
        const quint32 hash = hashOf(urls[size_t(slot)]);
        auto [from, to] =
            std::equal_range(opened.begin(), opened.end(), std::pair<quint32, qint32>{hash, slot});
        opened.erase(from, to);
    }

    // Every slot whose address opens as `key`.
    template <typename Visit> void forEachOpened(const std::string &key, Visit visit) const {
        if (key.empty())
            return;
        const quint32 hash = KeyHash(key);
        auto from = std::lower_bound(opened.begin(), opened.end(),
                                     std::pair<quint32, qint32>{hash, INT_MIN});
        std::string other;
        for (; from != opened.end() && from->first == hash; ++from) {
            OpenedKey(address(urls[size_t(from->second)]), &other);
            if (other == key)
                visit(from->second);
        }
        Wipe(other);
    }

    // ---- Upkeep ----

    void dropSteps() {
        for (Step &step : steps) {
            for (std::string &word : step.words)
                Wipe(word);
        }
        std::vector<Step>().swap(steps);
    }

    // Removes a URL from its category's order and the table, and wipes its
    // texts; its slot stays, marked gone.
    void dropUrl(Category &c, qint32 slot) {
        c.urls.erase(std::find(c.urls.begin(), c.urls.end(), slot));
        removeOpened(slot);
        Url &u = urls[size_t(slot)];
        dropUrlText(u);
        u.category = 0;
        ++deadUrls;
    }

    // Copies the live texts together and renumbers the slots (in their
    // order) once the dead part is large.
    void compactIfWasteful() {
        const bool wastedText = deadBytes > 4096 && deadBytes * 2 > text.size();
        const bool wastedSlots = deadUrls >= 64 && deadUrls * 2 >= qsizetype(urls.size());
        if (!wastedText && !wastedSlots)
            return;
        WipedBytes fresh;
        fresh.reserve(std::max<qsizetype>(text.size() - deadBytes, 1));
        std::vector<qint32> slotOf(urls.size(), -1);
        std::vector<Url> kept;
        kept.reserve(urls.size() - size_t(deadUrls));
        for (size_t slot = 0; slot < urls.size(); ++slot) {
            Url u = urls[slot];
            if (u.category == 0)
                continue;
            fresh.append(text.view(u.at, u.size()));
            u.at = fresh.size() - u.size();
            slotOf[slot] = qint32(kept.size());
            kept.push_back(u);
        }
        for (Category &c : categories) {
            fresh.append(text.view(c.at, c.size()));
            c.at = fresh.size() - c.size();
            for (qint32 &slot : c.urls)
                slot = slotOf[size_t(slot)];
            c.urls.shrink_to_fit();
        }
        for (auto &entry : opened)
            entry.second = slotOf[size_t(entry.second)];
        std::sort(opened.begin(), opened.end());
        opened.shrink_to_fit();
        text.takeFrom(fresh);
        urls = std::move(kept);
        deadBytes = 0;
        deadUrls = 0;
    }

    // ---- Searching ----

    // The words the name of `c` does not hold: what each of its URLs must.
    void wordsLeft(const Category &c, const std::vector<std::string> &words,
                   std::vector<const std::string *> *left) const {
        left->clear();
        const std::string_view name = foldedName(c);
        for (const std::string &word : words) {
            if (name.find(word) == std::string_view::npos)
                left->push_back(&word);
        }
    }

    bool holdsAll(const Url &u, const std::vector<const std::string *> &words) const {
        const std::string_view haystack = folded(u);
        for (const std::string *word : words) {
            if (haystack.find(*word) == std::string_view::npos)
                return false;
        }
        return true;
    }

    std::vector<qint32> searchAll(const std::vector<std::string> &words) const {
        std::vector<qint32> hits;
        std::vector<const std::string *> left;
        for (const Category &c : categories) {
            wordsLeft(c, words, &left);
            if (left.empty()) {
                hits.insert(hits.end(), c.urls.begin(), c.urls.end());
                continue;
            }
            for (const qint32 slot : c.urls) {
                if (holdsAll(urls[size_t(slot)], left))
                    hits.push_back(slot);
            }
        }
        return hits;
    }

    std::vector<qint32> searchAmong(const std::vector<qint32> &earlier,
                                    const std::vector<std::string> &words) const {
        std::vector<qint32> hits;
        std::vector<const std::string *> left;
        qint32 current = 0; // the category whose `left` is worked out
        for (const qint32 slot : earlier) {
            const Url &u = urls[size_t(slot)];
            if (u.category != current) {
                current = u.category;
                wordsLeft(*category(current), words, &left);
            }
            if (holdsAll(u, left))
                hits.push_back(slot);
        }
        return hits;
    }
};

FindIndex::FindIndex() : d(std::make_unique<Data>()) {}

FindIndex::~FindIndex() {
    clear();
}

bool FindIndex::isBuilt() const {
    return d->built;
}

void FindIndex::clear() {
    d->dropSteps();
    d->text.release();
    std::vector<Data::Url>().swap(d->urls);
    std::vector<Data::Category>().swap(d->categories);
    std::vector<qint32>().swap(d->positionOf);
    std::vector<std::pair<quint32, qint32>>().swap(d->opened);
    d->deadBytes = 0;
    d->deadUrls = 0;
    d->textChars = 0;
    d->built = false;
}

IoError FindIndex::build(const QString &userFolder, const QString &stamp) {
    clear();
    d->built = true;
    const OwnerTest owner(stamp);

    // The user's categories, as the category lists hold them: the owned
    // records, when the last record is owned. A number given twice (only a
    // damaged index holds one) is read once, under its first name.
    struct Listed {
        qint32 number;
        QString name;
    };
    std::vector<Listed> listed;
    bool lastOwned = false;
    if (!EntriesNamed(userFolder, kCategoryIndexName).isEmpty()) {
        const IoError err = ForEachLine(JoinPath(userFolder, kCategoryIndexName), [&](const QString
                                                                                          &line) {
            const QStringList fields = CategoryFields(line);
            lastOwned = owner.owns(fields.value(2));
            if (lastOwned)
                listed.push_back({Saturated(CategoryNumber(fields)), DecodeField(fields.value(1))});
            return true;
        });
        if (err.failed())
            return err;
    }
    if (!lastOwned)
        listed.clear();
    std::stable_sort(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) {
        const int order = CompareEntries(a.name, b.name);
        return order != 0 ? order < 0 : a.number < b.number;
    });
    std::vector<bool> seen(size_t(kMaxRecordNo) + 1, false);
    for (const Listed &l : listed) {
        if (!IsStorableNumber(l.number) || seen[size_t(l.number)])
            continue;
        seen[size_t(l.number)] = true;
        Data::Category c;
        c.number = l.number;
        d->writeName(c, l.name);
        d->categories.push_back(std::move(c));
    }
    d->renumberCategories();

    // The owned URLs of every category, each file read once.
    IoError failure;
    std::string key;
    for (Data::Category &c : d->categories) {
        const QString name = UrlFileName(c.number);
        if (EntriesNamed(userFolder, name).isEmpty())
            continue;
        const qsizetype textMark = d->text.size();
        const qsizetype charsMark = d->textChars;
        const size_t urlsMark = d->urls.size();
        const IoError err = ForEachLine(JoinPath(userFolder, name), [&](const QString &line) {
            UrlRecord record = DecodeUrlLine(line);
            if (!record.fields || !owner.owns(record.stampField))
                return true;
            const qint32 slot = d->appendUrl(c.number, Saturated(record.number), record.address,
                                             record.description());
            OpenedKey(record.address, &key);
            d->opened.emplace_back(KeyHash(key), slot);
            return true;
        });
        if (err.failed()) {
            // What was read of this file goes; the other files stay.
            failure.keepFirst(err);
            d->text.truncate(textMark);
            d->textChars = charsMark;
            d->urls.resize(urlsMark);
            std::erase_if(d->opened, [urlsMark](const std::pair<quint32, qint32> &entry) {
                return size_t(entry.second) >= urlsMark;
            });
            continue;
        }
        c.urls.resize(d->urls.size() - urlsMark);
        for (size_t i = 0; i < c.urls.size(); ++i)
            c.urls[i] = qint32(urlsMark + i);
        d->sortUrls(c);
    }
    Wipe(key);
    std::sort(d->opened.begin(), d->opened.end());
    d->opened.shrink_to_fit();
    d->urls.shrink_to_fit();
    // The texts' buffer grew by doubling: give back what it does not use.
    WipedBytes fitted;
    fitted.reserve(std::max<qsizetype>(d->text.size(), 1));
    fitted.append(d->text.view(0, d->text.size()));
    d->text.takeFrom(fitted);
    return failure;
}

void FindIndex::urlAdded(int catNo, int urlNo, const QString &address, const QString &description) {
    urlsAdded(catNo, {NewUrl{urlNo, address, description}});
}

void FindIndex::urlsAdded(int catNo, const QList<NewUrl> &urls) {
    Data::Category *c = d->category(catNo);
    if (!c || urls.isEmpty())
        return;
    d->dropSteps();
    const size_t first = d->urls.size();
    for (const NewUrl &url : urls) {
        const qint32 slot =
            d->appendUrl(c->number, url.number, url.address, AddedDescription(url.description));
        if (urls.size() == 1) {
            d->placeUrl(*c, slot);
            d->addOpened(slot);
        }
    }
    if (urls.size() == 1)
        return;
    // Many at once: sort the category and merge the table once.
    const size_t middle = d->opened.size();
    for (size_t slot = first; slot < d->urls.size(); ++slot) {
        c->urls.push_back(qint32(slot));
        d->opened.emplace_back(d->hashOf(d->urls[slot]), qint32(slot));
    }
    d->sortUrls(*c);
    std::sort(d->opened.begin() + qsizetype(middle), d->opened.end());
    std::inplace_merge(d->opened.begin(), d->opened.begin() + qsizetype(middle), d->opened.end());
}

void FindIndex::urlDeleted(int catNo, int urlNo) {
    Data::Category *c = d->category(catNo);
    if (!c)
        return;
    qint32 first = -1;
    for (const qint32 slot : c->urls) {
        if (d->urls[size_t(slot)].number == urlNo && (first < 0 || slot < first))
            first = slot;
    }
    if (first < 0)
        return;
    d->dropSteps();
    d->dropUrl(*c, first);
    d->compactIfWasteful();
}

void FindIndex::urlModified(int catNo, int urlNo, const QString &address,
                            const std::optional<QString> &description) {
    Data::Category *c = d->category(catNo);
    if (!c)
        return;
    std::vector<qint32> changed;
    for (const qint32 slot : c->urls) {
        if (d->urls[size_t(slot)].number == urlNo)
            changed.push_back(slot);
    }
    if (changed.empty())
        return;
    d->dropSteps();
    const std::optional<QString> shown =
        description ? std::optional<QString>(ReplacedDescription(*description)) : std::nullopt;
    for (const qint32 slot : changed) {
        c->urls.erase(std::find(c->urls.begin(), c->urls.end(), slot));
        d->removeOpened(slot);
        Data::Url &u = d->urls[size_t(slot)];
        const QString kept = shown ? *shown : d->description(u);
        d->dropUrlText(u);
        d->writeUrlText(u, address, kept);
        d->placeUrl(*c, slot);
        d->addOpened(slot);
    }
    d->compactIfWasteful();
}

void FindIndex::categoryAdded(int catNo, const QString &name) {
    if (!d->built || !IsStorableNumber(catNo) || d->category(catNo))
        return;
    d->dropSteps();
    Data::Category c;
    c.number = catNo;
    d->writeName(c, name);
    d->placeCategory(std::move(c));
}

void FindIndex::categoryRenamed(int catNo, const QString &name) {
    Data::Category *found = d->category(catNo);
    if (!found)
        return;
    d->dropSteps();
    Data::Category c = std::move(*found);
    d->categories.erase(d->categories.begin() + d->positionOf[size_t(catNo)]);
    d->dropName(c);
    d->writeName(c, name);
    d->placeCategory(std::move(c));
    d->compactIfWasteful();
}

void FindIndex::categoryDeleted(int catNo) {
    Data::Category *c = d->category(catNo);
    if (!c)
        return;
    d->dropSteps();
    for (const qint32 slot : c->urls) {
        Data::Url &u = d->urls[size_t(slot)];
        d->dropUrlText(u);
        u.category = 0;
        ++d->deadUrls;
    }
    std::erase_if(d->opened, [this](const std::pair<quint32, qint32> &entry) {
        return d->urls[size_t(entry.second)].category == 0;
    });
    d->dropName(*c);
    d->categories.erase(d->categories.begin() + d->positionOf[size_t(catNo)]);
    d->renumberCategories();
    d->compactIfWasteful();
}

QList<FindIndex::Hit> FindIndex::find(const QString &text) {
    std::vector<std::string> words = d->built ? Words(text) : std::vector<std::string>();
    if (words.empty()) {
        d->dropSteps();
        return {};
    }
    // Back to the last search that this one narrows (typing on narrows the
    // last one; taking letters back goes back to an earlier one).
    while (!d->steps.empty() && !Narrows(words, d->steps.back().words)) {
        for (std::string &word : d->steps.back().words)
            Wipe(word);
        d->steps.pop_back();
    }
    std::vector<qint32> hits =
        d->steps.empty() ? d->searchAll(words) : d->searchAmong(d->steps.back().hits, words);
    QList<Hit> result(hits.begin(), hits.end());
    if (!d->steps.empty() && d->steps.back().hits.size() == hits.size()) {
        // The same URLs: this search stands in for the last one.
        for (std::string &word : d->steps.back().words)
            Wipe(word);
        d->steps.back().words = std::move(words);
    } else {
        d->steps.push_back({std::move(words), std::move(hits)});
    }
    return result;
}

int FindIndex::categoryNo(Hit hit) const {
    return d->live(hit) ? d->urls[size_t(hit)].category : 0;
}

int FindIndex::urlNo(Hit hit) const {
    return d->live(hit) ? d->urls[size_t(hit)].number : 0;
}

QString FindIndex::categoryName(Hit hit) const {
    const Data::Category *c = d->live(hit) ? d->category(d->urls[size_t(hit)].category) : nullptr;
    return c ? d->name(*c) : QString();
}

QString FindIndex::address(Hit hit) const {
    return d->live(hit) ? d->address(d->urls[size_t(hit)]) : QString();
}

QString FindIndex::description(Hit hit) const {
    return d->live(hit) ? d->description(d->urls[size_t(hit)]) : QString();
}

QStringList FindIndex::savedIn(const QString &address) const {
    std::string key;
    OpenedKey(address, &key);
    std::vector<qint32> places;
    d->forEachOpened(key, [&](qint32 slot) {
        places.push_back(d->positionOf[size_t(d->urls[size_t(slot)].category)]);
    });
    Wipe(key);
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    QStringList names;
    for (const qint32 place : places)
        names << d->name(d->categories[size_t(place)]);
    return names;
}

bool FindIndex::holds(int catNo, const QString &address) const {
    std::string key;
    OpenedKey(address, &key);
    bool found = false;
    d->forEachOpened(
        key, [&](qint32 slot) { found = found || d->urls[size_t(slot)].category == catNo; });
    Wipe(key);
    return found;
}

qsizetype FindIndex::urlCount() const {
    return qsizetype(d->urls.size()) - d->deadUrls;
}

qsizetype FindIndex::categoryCount() const {
    return qsizetype(d->categories.size());
}

qsizetype FindIndex::memoryBytes() const {
    qsizetype bytes = d->text.capacity();
    bytes += qsizetype(d->urls.capacity() * sizeof(Data::Url));
    bytes += qsizetype(d->categories.capacity() * sizeof(Data::Category));
    for (const Data::Category &c : d->categories)
        bytes += qsizetype(c.urls.capacity() * sizeof(qint32));
    bytes += qsizetype(d->positionOf.capacity() * sizeof(qint32));
    bytes += qsizetype(d->opened.capacity() * sizeof(d->opened.front()));
    bytes += qsizetype(d->steps.capacity() * sizeof(Data::Step));
    for (const Data::Step &step : d->steps) {
        bytes += qsizetype(step.hits.capacity() * sizeof(qint32));
        bytes += qsizetype(step.words.capacity() * sizeof(std::string));
        for (const std::string &word : step.words)
            bytes += qsizetype(word.capacity());
    }
    return bytes;
}

qsizetype FindIndex::textBytes() const {
    return d->textChars * qsizetype(sizeof(QChar));
}

} // namespace modMain

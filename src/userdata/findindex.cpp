#include "userdata/findindex.h"

#include "categories/categoryindex.h"
#include "storage/entryorder.h"
#include "storage/folderentries.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/addressidentity.h"
#include "urls/urlfile.h"

#include <QHashFunctions>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <string.h> // explicit_bzero

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// How many bytes past its end a search may read a text: the buffer of the
// texts keeps that much room after its last byte.
constexpr qsizetype kReadPast = 16;

// Texts in runs of bytes ("chunks") whose memory is overwritten with zeros
// before it goes back to the allocator. A block of texts (one URL's, one
// category's) always lies within one chunk; a place is the chunk's number
// times 2^32 plus the offset in it. Chunks start small and grow to
// kLargestChunk (a longer block gets a chunk of its own), so that a few
// texts take little memory and many are never copied to make room.
class TextChunks {
public:
    using Place = qint64;

    TextChunks() = default;
    ~TextChunks() { release(); }
    TextChunks(const TextChunks &) = delete;
    TextChunks &operator=(const TextChunks &) = delete;

    // Takes over `other`'s chunks; the chunks held so far are wiped.
    void takeFrom(TextChunks &other) {
        release();
        std::swap(chunks_, other.chunks_);
        std::swap(used_, other.used_);
    }

    // The bytes in use, and the memory held (with the room to read past
    // the end of each chunk).
    qsizetype used() const { return used_; }
    qsizetype allocated() const {
        qsizetype bytes = qsizetype(chunks_.capacity() * sizeof(Chunk));
        for (const Chunk &c : chunks_)
            bytes += c.capacity + kReadPast;
        return bytes;
    }

    // Where the next byte goes.
    Place end() const {
        return chunks_.empty() ? 0 : place(chunks_.size() - 1, chunks_.back().size);
    }

    // Makes room for a block of at most `most` bytes at end(), in one chunk.
    void beginBlock(qsizetype most) {
        if (!chunks_.empty() && chunks_.back().capacity - chunks_.back().size >= most)
            return;
        const qsizetype last = chunks_.empty() ? 0 : chunks_.back().capacity;
        const qsizetype capacity =
            std::max(most, std::clamp<qsizetype>(last * 2, kSmallestChunk, kLargestChunk));
        // Zeroed: a search may read past the last text of a chunk.
        auto *data = static_cast<char *>(std::calloc(size_t(capacity + kReadPast), 1));
        if (!data)
            throw std::bad_alloc();
        chunks_.push_back({data, 0, capacity});
    }

    // `size` more bytes of the block begun last.
    char *extend(qsizetype size) {
        Chunk &c = chunks_.back();
        Q_ASSERT(c.capacity - c.size >= size);
        char *at = c.data + c.size;
        c.size += size;
        used_ += size;
        return at;
    }
    void append(std::string_view bytes) {
        if (!bytes.empty())
            std::memcpy(extend(qsizetype(bytes.size())), bytes.data(), bytes.size());
    }
    void push(char c) { *extend(1) = c; }

    std::string_view view(Place at, qsizetype size) const {
        return std::string_view(chunks_[chunkOf(at)].data + offsetOf(at), size_t(size));
    }
    // Zeros bytes that are no longer used (they stay allocated).
    void wipe(Place at, qsizetype size) {
        Wipe(chunks_[chunkOf(at)].data + offsetOf(at), size_t(size));
    }
    // Drops every byte from `at` (a place end() gave) on.
    void truncate(Place at) {
        while (!chunks_.empty() && chunks_.size() - 1 > chunkOf(at)) {
            used_ -= chunks_.back().size;
            drop(chunks_.back());
            chunks_.pop_back();
        }
        if (chunks_.empty())
            return;
        Chunk &c = chunks_.back();
        const qsizetype from = chunks_.size() - 1 == chunkOf(at) ? offsetOf(at) : 0;
        Wipe(c.data + from, size_t(c.size - from));
        used_ -= c.size - from;
        c.size = from;
    }

    void release() {
        for (Chunk &c : chunks_)
            drop(c);
        std::vector<Chunk>().swap(chunks_);
        used_ = 0;
    }

private:
    static constexpr qsizetype kSmallestChunk = 4096;
    static constexpr qsizetype kLargestChunk = 256 * 1024;

    struct Chunk {
        char *data;
        qsizetype size;
        qsizetype capacity;
    };

    static Place place(size_t chunk, qsizetype offset) { return (Place(chunk) << 32) | offset; }
    static size_t chunkOf(Place at) { return size_t(at >> 32); }
    static qsizetype offsetOf(Place at) { return qsizetype(at & 0xFFFFFFFF); }
    static void drop(Chunk &c) {
        Wipe(c.data, size_t(c.size));
        std::free(c.data);
        c.data = nullptr;
    }

    std::vector<Chunk> chunks_;
    qsizetype used_ = 0;
};

bool IsAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Appends `text` as UTF-8 (stored texts are ASCII: one byte a character).
void AppendText(TextChunks &out, QStringView text) {
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
void AppendFolded(TextChunks &out, QStringView text) {
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

// Whether `needle` occurs in `haystack`. Two-byte and longer needles are
// looked for sixteen places at a time, by their first and last bytes
// together, which reads up to kReadPast - 1 bytes past the haystack's end.
bool Contains(std::string_view haystack, std::string_view needle) {
#if defined(__SSE2__)
    const size_t m = needle.size();
    if (m >= 2 && haystack.size() >= m) {
        const __m128i first = _mm_set1_epi8(needle[0]);
        const __m128i last = _mm_set1_epi8(needle[m - 1]);
        const size_t starts = haystack.size() - m + 1;
        for (size_t i = 0; i < starts; i += 16) {
            const auto *at = reinterpret_cast<const __m128i *>(haystack.data() + i);
            const auto *end = reinterpret_cast<const __m128i *>(haystack.data() + i + m - 1);
            unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(at), first),
                                                _mm_cmpeq_epi8(_mm_loadu_si128(end), last))));
            if (starts - i < 16)
                mask &= (1u << (starts - i)) - 1;
            for (; mask != 0; mask &= mask - 1) {
                const size_t start = i + size_t(__builtin_ctz(mask));
                if (std::memcmp(haystack.data() + start + 1, needle.data() + 1, m - 2) == 0)
                    return true;
            }
        }
        return false;
    }
#endif
    return haystack.find(needle) != std::string_view::npos;
}

// Whether every byte of an address is one the files can hold (32..122):
// such an address is its own stored form.
bool IsStoredForm(std::string_view address) {
    return std::all_of(address.begin(), address.end(),
                       [](char c) { return uchar(c) >= 32 && uchar(c) <= 122; });
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
    return ConvertLineBreaks(StoredDescription(typed), false);
}
QString ReplacedDescription(const QString &typed) {
    return ConvertLineBreaks(ConvertLineBreaks(typed, true), false);
}

} // namespace

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
        TextChunks::Place at = 0;
        qint32 addressSize = 0;
        qint32 descriptionSize = 0;
        qint32 foldedSize = 0;
        qint32 number = 0;   // the URL number
        qint32 category = 0; // the category number; 0 once the URL is gone
        bool ascii = false;  // the address is ASCII, so folding kept its length

        qsizetype size() const { return qsizetype(addressSize) + descriptionSize + foldedSize; }
    };

    struct Category {
        qint32 number = 0;
        TextChunks::Place at = 0;
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
    TextChunks text;
    qsizetype deadBytes = 0;
    std::vector<Url> urls;
    qsizetype deadUrls = 0;
    std::vector<Category> categories; // in result order: name, then number
    std::vector<qint32> positionOf;   // category number -> place in `categories`, or -1
    std::vector<std::pair<quint32, qint32>>
        identities; // (hash of the address's identity, slot), by hash
    qsizetype textChars = 0;
    // The searches of the text being typed, each narrowing the one before.
    std::vector<Step> steps;
    // Room for the identity being worked out.
    mutable std::string scratch;

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
    std::string_view addressBytes(const Url &u) const { return text.view(u.at, u.addressSize); }
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

    // The order of two addresses as CompareEntries gives it. For ASCII
    // addresses, comparing the folded bytes and then the bytes themselves
    // is the same order, without making texts of them.
    int compareAddresses(const Url &a, const Url &b) const {
        if (a.ascii && b.ascii) {
            const std::string_view foldedA = folded(a).substr(0, size_t(a.addressSize));
            const std::string_view foldedB = folded(b).substr(0, size_t(b.addressSize));
            if (const int order = foldedA.compare(foldedB); order != 0)
                return order;
            return addressBytes(a).compare(addressBytes(b));
        }
        return CompareEntries(address(a), address(b));
    }

    // The order of the URLs of a category: by address, then by number, then
    // in file order.
    bool urlBefore(qint32 slot, qint32 other) const {
        const Url &a = urls[size_t(slot)];
        const Url &b = urls[size_t(other)];
        if (const int order = compareAddresses(a, b); order != 0)
            return order < 0;
        if (a.number != b.number)
            return a.number < b.number;
        return slot < other;
    }

    // Puts the URL of `slot` in its place in the order of `c`.
    void placeUrl(Category &c, qint32 slot) {
        c.urls.insert(std::upper_bound(c.urls.begin(), c.urls.end(), slot,
                                       [this](qint32 a, qint32 b) { return urlBefore(a, b); }),
                      slot);
    }

    // Sorts the URLs of `c` whole, for many at once. The ASCII addresses
    // (all but damaged ones) are sorted by their bytes, held beside the
    // slots, which spares looking each URL up again for every comparison.
    void sortUrls(Category &c) {
        struct Keyed {
            std::string_view folded; // empty for a URL that is not ASCII
            std::string_view bytes;
            qint32 number;
            qint32 slot;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(c.urls.size());
        bool ascii = true;
        for (const qint32 slot : c.urls) {
            const Url &u = urls[size_t(slot)];
            ascii = ascii && u.ascii;
            keyed.push_back(
                {folded(u).substr(0, size_t(u.addressSize)), addressBytes(u), u.number, slot});
        }
        if (!ascii) {
            std::sort(c.urls.begin(), c.urls.end(),
                      [this](qint32 a, qint32 b) { return urlBefore(a, b); });
            return;
        }
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            if (const int order = a.folded.compare(b.folded); order != 0)
                return order < 0;
            if (const int order = a.bytes.compare(b.bytes); order != 0)
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
        // Three bytes at most for every UTF-16 unit, folded or not.
        text.beginBlock(6 * (address.size() + description.size()) + 1);
        u.at = text.end();
        qsizetype mark = text.used();
        AppendText(text, address);
        u.addressSize = qint32(text.used() - mark);
        mark = text.used();
        AppendText(text, description);
        u.descriptionSize = qint32(text.used() - mark);
        mark = text.used();
        AppendFolded(text, address);
        u.ascii = IsAscii(address);
        text.push('\n');
        AppendFolded(text, description);
        u.foldedSize = qint32(text.used() - mark);
        textChars += address.size() + description.size();
    }

    void dropUrlText(Url &u) {
        textChars -= Utf16Length(text.view(u.at, qsizetype(u.addressSize) + u.descriptionSize));
        text.wipe(u.at, u.size());
        deadBytes += u.size();
    }

    void writeName(Category &c, QStringView name) {
        text.beginBlock(6 * name.size());
        c.at = text.end();
        const qsizetype mark = text.used();
        AppendText(text, name);
        c.nameSize = qint32(text.used() - mark);
        AppendFolded(text, name);
        c.foldedSize = qint32(text.used() - mark - c.nameSize);
        textChars += name.size();
    }

    void dropName(Category &c) {
        textChars -= Utf16Length(text.view(c.at, c.nameSize));
        text.wipe(c.at, c.size());
        deadBytes += c.size();
    }

    // ---- The table of identities ----

    // The identity of the address of `u`, into `key`.
    void keyOf(const Url &u, std::string *key) const {
        if (const std::string_view bytes = addressBytes(u); u.ascii && IsStoredForm(bytes))
            StoredAddressIdentity(bytes, key);
        else
            AddressIdentity(address(u), key);
    }

    quint32 hashOf(const Url &u) const {
        keyOf(u, &scratch);
        return KeyHash(scratch);
    }

    void addIdentity(qint32 slot) {
        const std::pair<quint32, qint32> entry{hashOf(urls[size_t(slot)]), slot};
        identities.insert(std::upper_bound(identities.begin(), identities.end(), entry), entry);
    }

    void removeIdentity(qint32 slot) {
        const quint32 hash = hashOf(urls[size_t(slot)]);
        auto [from, to] = std::equal_range(identities.begin(), identities.end(),
                                           std::pair<quint32, qint32>{hash, slot});
        identities.erase(from, to);
    }

    // Every slot whose address has the identity `key`.
    template <typename Visit> void forEachSame(const std::string &key, Visit visit) const {
        if (key.empty())
            return;
        const quint32 hash = KeyHash(key);
        auto from = std::lower_bound(identities.begin(), identities.end(),
                                     std::pair<quint32, qint32>{hash, INT_MIN});
        for (; from != identities.end() && from->first == hash; ++from) {
            keyOf(urls[size_t(from->second)], &scratch);
            if (scratch == key)
                visit(from->second);
        }
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
        removeIdentity(slot);
        Url &u = urls[size_t(slot)];
        dropUrlText(u);
        u.category = 0;
        ++deadUrls;
    }

    // Copies the live texts together and renumbers the slots (in their
    // order) once the dead part is large.
    void compactIfWasteful() {
        const bool wastedText = deadBytes > 4096 && deadBytes * 2 > text.used();
        const bool wastedSlots = deadUrls >= 64 && deadUrls * 2 >= qsizetype(urls.size());
        if (!wastedText && !wastedSlots)
            return;
        TextChunks fresh;
        std::vector<qint32> slotOf(urls.size(), -1);
        std::vector<Url> kept;
        kept.reserve(urls.size() - size_t(deadUrls));
        for (size_t slot = 0; slot < urls.size(); ++slot) {
            Url u = urls[slot];
            if (u.category == 0)
                continue;
            fresh.beginBlock(u.size());
            const TextChunks::Place at = fresh.end();
            fresh.append(text.view(u.at, u.size()));
            u.at = at;
            slotOf[slot] = qint32(kept.size());
            kept.push_back(u);
        }
        for (Category &c : categories) {
            fresh.beginBlock(c.size());
            const TextChunks::Place at = fresh.end();
            fresh.append(text.view(c.at, c.size()));
            c.at = at;
            for (qint32 &slot : c.urls)
                slot = slotOf[size_t(slot)];
            c.urls.shrink_to_fit();
        }
        for (auto &entry : identities)
            entry.second = slotOf[size_t(entry.second)];
        std::sort(identities.begin(), identities.end());
        identities.shrink_to_fit();
        text.takeFrom(fresh);
        urls = std::move(kept);
        deadBytes = 0;
        deadUrls = 0;
    }

    // ---- Searching ----

    // The words the name of `c` does not hold: what each of its URLs must.
    void wordsLeft(const Category &c, const std::vector<const std::string *> &words,
                   std::vector<const std::string *> *left) const {
        left->clear();
        const std::string_view name = foldedName(c);
        for (const std::string *word : words) {
            if (!Contains(name, *word))
                left->push_back(word);
        }
    }

    bool holdsAll(const Url &u, const std::vector<const std::string *> &words) const {
        const std::string_view haystack = folded(u);
        for (const std::string *word : words) {
            if (!Contains(haystack, *word))
                return false;
        }
        return true;
    }

    std::vector<qint32> searchAll(const std::vector<std::string> &all) const {
        std::vector<const std::string *> words;
        for (const std::string &word : all)
            words.push_back(&word);
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

    // The URLs of an earlier search's result that hold `all`: the words
    // that search had already looked for need no second look.
    std::vector<qint32> searchAmong(const Step &earlier,
                                    const std::vector<std::string> &all) const {
        std::vector<const std::string *> words;
        for (const std::string &word : all) {
            if (std::find(earlier.words.begin(), earlier.words.end(), word) == earlier.words.end())
                words.push_back(&word);
        }
        if (words.empty())
            return earlier.hits;
        std::vector<qint32> hits;
        std::vector<const std::string *> left;
        qint32 current = 0; // the category whose `left` is worked out
        for (const qint32 slot : earlier.hits) {
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
    Wipe(d->scratch);
    d->text.release();
    std::vector<Data::Url>().swap(d->urls);
    std::vector<Data::Category>().swap(d->categories);
    std::vector<qint32>().swap(d->positionOf);
    std::vector<std::pair<quint32, qint32>>().swap(d->identities);
    d->deadBytes = 0;
    d->deadUrls = 0;
    d->textChars = 0;
    d->built = false;
}

IoError FindIndex::build(const QString &userFolder, const QString &stamp) {
    // The user's categories, as the category lists hold them at sign-in: the
    // owned records, when the last record is owned. An index that is not
    // there (in any letter case) holds none, and is not made.
    CategoryIndexRead read;
    if (!FolderEntriesNamed(userFolder, kCategoryIndexName).isEmpty()) {
        const QString path = JoinPath(userFolder, kCategoryIndexName);
        if (const IoError err = ReadCategoryIndexFile(path, stamp, &read); err.failed()) {
            clear();
            d->built = true;
            return err;
        }
    }
    return build(userFolder, stamp, read.lastOwned ? read.owned : QList<ListEntry>());
}

IoError FindIndex::build(const QString &userFolder, const QString &stamp,
                         const QList<ListEntry> &categories) {
    clear();
    d->built = true;
    const OwnerTest owner(stamp);

    // The folder's names, listed once: a file that is not there (in any
    // letter case) holds nothing, and is not made.
    QStringList entries;
    if (const IoError err = ListFolder(userFolder, &entries); err.failed())
        return err;
    QSet<QString> names;
    for (const QString &entry : std::as_const(entries))
        names.insert(entry.toUpper());

    // A number given twice (only a damaged index holds one) is read once,
    // under its first name.
    struct Listed {
        qint32 number;
        QString name;
    };
    std::vector<Listed> listed;
    listed.reserve(size_t(categories.size()));
    for (const ListEntry &category : categories)
        listed.push_back({category.number, category.text});
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
    for (Data::Category &c : d->categories) {
        const QString name = UrlFileName(c.number);
        if (!names.contains(name.toUpper()))
            continue;
        const TextChunks::Place textMark = d->text.end();
        const qsizetype charsMark = d->textChars;
        const size_t urlsMark = d->urls.size();
        const IoError err = ForEachLine(JoinPath(userFolder, name), [&](const QString &line) {
            const std::optional<UrlRecord> record = DecodeOwnedUrlLine(line, owner);
            if (!record)
                return true;
            const qint32 slot = d->appendUrl(c.number, Saturated(record->number), record->address,
                                             record->description());
            d->identities.emplace_back(d->hashOf(d->urls[size_t(slot)]), slot);
            return true;
        });
        if (err.failed()) {
            // What was read of this file goes; the other files stay.
            failure.keepFirst(err);
            d->text.truncate(textMark);
            d->textChars = charsMark;
            d->urls.resize(urlsMark);
            std::erase_if(d->identities, [urlsMark](const std::pair<quint32, qint32> &entry) {
                return size_t(entry.second) >= urlsMark;
            });
            continue;
        }
        c.urls.resize(d->urls.size() - urlsMark);
        for (size_t i = 0; i < c.urls.size(); ++i)
            c.urls[i] = qint32(urlsMark + i);
        d->sortUrls(c);
    }
    std::sort(d->identities.begin(), d->identities.end());
    d->identities.shrink_to_fit();
    d->urls.shrink_to_fit();
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
            d->addIdentity(slot);
        }
    }
    if (urls.size() == 1)
        return;
    // Many at once: sort the category and merge the table once.
    const size_t middle = d->identities.size();
    for (size_t slot = first; slot < d->urls.size(); ++slot) {
        c->urls.push_back(qint32(slot));
        d->identities.emplace_back(d->hashOf(d->urls[slot]), qint32(slot));
    }
    d->sortUrls(*c);
    std::sort(d->identities.begin() + qsizetype(middle), d->identities.end());
    std::inplace_merge(d->identities.begin(), d->identities.begin() + qsizetype(middle),
                       d->identities.end());
}

void FindIndex::urlDeleted(int catNo, int urlNo, const QString &address) {
    Data::Category *c = d->category(catNo);
    if (!c)
        return;
    qint32 first = -1;
    for (const qint32 slot : c->urls) {
        const Data::Url &u = d->urls[size_t(slot)];
        if (u.number == urlNo && (first < 0 || slot < first) &&
            (address.isEmpty() || d->address(u) == address))
            first = slot;
    }
    if (first < 0)
        return;
    d->dropSteps();
    d->dropUrl(*c, first);
    d->compactIfWasteful();
}

void FindIndex::urlModified(int catNo, int urlNo, const QString &address,
                            const std::optional<QString> &description, const QString &oldAddress) {
    Data::Category *c = d->category(catNo);
    if (!c)
        return;
    std::vector<qint32> changed;
    for (const qint32 slot : c->urls) {
        const Data::Url &u = d->urls[size_t(slot)];
        if (u.number == urlNo && (oldAddress.isEmpty() || d->address(u) == oldAddress))
            changed.push_back(slot);
    }
    // With the old address, only the first URL of it changes (the lowest
    // slot: the one read first), as ReplaceUrlRecord changes one record.
    if (!oldAddress.isEmpty() && changed.size() > 1) {
        const qint32 first = *std::min_element(changed.begin(), changed.end());
        changed.assign(1, first);
    }
    if (changed.empty())
        return;
    d->dropSteps();
    const std::optional<QString> shown =
        description ? std::optional<QString>(ReplacedDescription(*description)) : std::nullopt;
    for (const qint32 slot : changed) {
        c->urls.erase(std::find(c->urls.begin(), c->urls.end(), slot));
        d->removeIdentity(slot);
        Data::Url &u = d->urls[size_t(slot)];
        const QString kept = shown ? *shown : d->description(u);
        d->dropUrlText(u);
        d->writeUrlText(u, address, kept);
        d->placeUrl(*c, slot);
        d->addIdentity(slot);
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
    std::erase_if(d->identities, [this](const std::pair<quint32, qint32> &entry) {
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
        d->steps.empty() ? d->searchAll(words) : d->searchAmong(d->steps.back(), words);
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
    AddressIdentity(address, &key);
    std::vector<qint32> places;
    d->forEachSame(key, [&](qint32 slot) {
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
    return countIn(catNo, address) > 0;
}

int FindIndex::countIn(int catNo, const QString &address) const {
    std::string key;
    AddressIdentity(address, &key);
    int count = 0;
    d->forEachSame(key,
                   [&](qint32 slot) { count += d->urls[size_t(slot)].category == catNo ? 1 : 0; });
    Wipe(key);
    return count;
}

qsizetype FindIndex::urlCount() const {
    return qsizetype(d->urls.size()) - d->deadUrls;
}

qsizetype FindIndex::categoryCount() const {
    return qsizetype(d->categories.size());
}

qsizetype FindIndex::memoryBytes() const {
    // A text's own bytes, outside the object that holds it (short texts
    // live inside it).
    auto heapBytes = [](const std::string &text) {
        return text.capacity() > std::string().capacity() ? qsizetype(text.capacity()) + 1 : 0;
    };
    qsizetype bytes = d->text.allocated();
    bytes += heapBytes(d->scratch);
    bytes += qsizetype(d->urls.capacity() * sizeof(Data::Url));
    bytes += qsizetype(d->categories.capacity() * sizeof(Data::Category));
    for (const Data::Category &c : d->categories)
        bytes += qsizetype(c.urls.capacity() * sizeof(qint32));
    bytes += qsizetype(d->positionOf.capacity() * sizeof(qint32));
    bytes += qsizetype(d->identities.capacity() * sizeof(d->identities.front()));
    bytes += qsizetype(d->steps.capacity() * sizeof(Data::Step));
    for (const Data::Step &step : d->steps) {
        bytes += qsizetype(step.hits.capacity() * sizeof(qint32));
        bytes += qsizetype(step.words.capacity() * sizeof(std::string));
        for (const std::string &word : step.words)
            bytes += heapBytes(word);
    }
    return bytes;
}

qsizetype FindIndex::textBytes() const {
    return d->textChars * qsizetype(sizeof(QChar));
}

} // namespace modMain

#pragma once

#include "storage/datafile.h"
#include "storage/records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The signed-in user's URLs in memory, for finding them as the user types
// and for telling where an address is already saved.
//
// The index is read once from the user's files (the category index, then
// the URL file of each category) and from then on kept in step by the
// procedures that change those files, one call per change; it never reads a
// file again until it is built anew. It holds only what the user can list:
// the categories and URLs written under the session's password (records of
// another password are left out, without any message: the lists announce
// them when they load), and no category at all when the last record of the
// category index is another password's (the URL screens then list none).
//
// The addresses, descriptions and category names it holds live in buffers
// of its own, which are overwritten with zeros before their memory is given
// back (a text that is changed or removed is wiped where it stands); clear()
// drops everything.
//
// Speed: a search keeps a case-folded copy of every URL's address and
// description, walks the URLs already in result order (category name, then
// address), and narrows the result of an earlier search when the new text
// only adds to it (one more letter, one more word). The "already saved"
// look-up goes through a table of hashes of the addresses' identities
// (AddressIdentity).
namespace modMain {

class FindIndex {
public:
    // One URL of a bulk addition (an import), as AppendUrl takes it.
    using NewUrl = AddedUrl;

    // A URL in a result. Valid until the index next changes (any of the
    // calls below but the searches and look-ups).
    using Hit = qint32;

    FindIndex();
    ~FindIndex();
    FindIndex(const FindIndex &) = delete;
    FindIndex &operator=(const FindIndex &) = delete;

    // Reads the URLs of the user whose folder is `userFolder` and whose
    // sign-in carries the owner stamp `stamp`, replacing whatever the index
    // held. Creates nothing: an absent category index or URL file holds no
    // URLs. A file that cannot be read leaves out what it holds and the rest
    // is read; the first such failure is returned, for the caller to report
    // once. The index counts as built afterwards either way.
    IoError build(const QString &userFolder, const QString &stamp);
    // The same for the categories `categories` (each name and number, as the
    // category lists hold them), whatever the index says of their owners:
    // the user's data builds the index for the categories its lists show.
    IoError build(const QString &userFolder, const QString &stamp,
                  const QList<ListEntry> &categories);
    bool isBuilt() const;

    // Drops every text, number and result, and gives their memory back
    // (wiped): the index is as new, not built.
    void clear();

    // Keeping in step with the files. Each call takes the change as the
    // procedure that made it wrote it (an address in its stored form, a
    // description as typed) and holds it as the files read back. Before
    // build() and for a category the index does not hold, the calls do
    // nothing.
    void urlAdded(int catNo, int urlNo, const QString &address, const QString &description);
    void urlsAdded(int catNo, const QList<NewUrl> &urls);
    // The first URL numbered `urlNo` of the category (and holding `address`
    // as stored, when given) goes, as DeleteUrlRecord removes the first such
    // record of the file.
    void urlDeleted(int catNo, int urlNo, const QString &address = QString());
    // The URLs numbered `urlNo` of the category change: with `oldAddress`
    // (as stored), the first of them that holds it, as ReplaceUrlRecord
    // changes one record; without, every one of them. Without a description
    // the old one stays.
    void urlModified(int catNo, int urlNo, const QString &address,
                     const std::optional<QString> &description,
                     const QString &oldAddress = QString());
    void categoryAdded(int catNo, const QString &name);
    void categoryRenamed(int catNo, const QString &name);
    // The category and all its URLs go.
    void categoryDeleted(int catNo);

    // The URLs for what the user typed: every word of `text` (split at
    // blanks) occurs, ignoring letter case, in the URL's address, its
    // description or its category's name. A text without words finds
    // nothing. Sorted by category name, then address (CompareEntries; the
    // category number, then the URL number decide between equal texts).
    QList<Hit> find(const QString &text);

    int categoryNo(Hit hit) const;
    int urlNo(Hit hit) const;
    QString categoryName(Hit hit) const;
    QString address(Hit hit) const;
    // In display form (line breaks as CR LF), as LoadUrlDetails shows it.
    QString description(Hit hit) const;

    // The names of the categories that hold `address` (compared by
    // AddressIdentity: the same address as a browser opens it), each once,
    // sorted as the category lists are. Empty for a blank address.
    QStringList savedIn(const QString &address) const;
    // Whether category `catNo` holds `address` (compared by
    // AddressIdentity).
    bool holds(int catNo, const QString &address) const;
    // How many URLs of category `catNo` hold `address` (compared so).
    int countIn(int catNo, const QString &address) const;

    qsizetype urlCount() const;
    qsizetype categoryCount() const;
    // The memory the index holds (its buffers' capacity, in bytes), and the
    // text it holds as the files decipher it: the characters of the
    // addresses, descriptions and category names, two bytes each.
    qsizetype memoryBytes() const;
    qsizetype textBytes() const;

private:
    struct Data;
    std::unique_ptr<Data> d;
};

} // namespace modMain

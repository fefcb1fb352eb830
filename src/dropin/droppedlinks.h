#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What the user drops on the main window or pastes into it, read as links:
// the one reader of dragged and copied data. It takes the formats on offer
// with their bytes exactly as they came, and gives the links they hold, each
// an address and a title.
//
// Browsers offer a link in several formats at once (public formats, each
// with its own encoding):
//   text/x-moz-url  UTF-16LE, the address and the title on alternate lines
//                   ("\n"), one pair for each link (Firefox, Chromium)
//   text/uri-list   the addresses one a line, lines ending in CR LF; lines
//                   beginning with "#" are comments (Firefox, file managers)
//   _NETSCAPE_URL   one link: the address, "\n", the title (Chromium on X11)
//   text/html       an anchor <a href="address">title</a>: UTF-16 with or
//                   without a byte-order mark (Firefox), or UTF-8 after
//                   <meta charset='utf-8'> (Chromium)
//   text/plain      the address alone, or any text
// Which are on offer depends on the browser and on the windowing system: Qt
// on X11 offers text/x-moz-url as text/uri-list (and returns nothing for it
// by its own name), so there the title comes from _NETSCAPE_URL or the
// anchor. So the addresses are read from the richest format that holds any,
// in the order above with _NETSCAPE_URL and the anchor before the plain
// text, and a link without a title takes one from another format that gives
// the same address.
//
// Plain text holds links only when every line of it that is not blank is one
// address: "http://" or "https://" and more, or "www." and more (any letter
// case), or an address of another kind (see IsWebAddress). Any other text is
// nothing to save.
namespace modMain {

// The formats of a drop or of the clipboard, by name, with their bytes.
using OfferedData = QMap<QString, QByteArray>;

struct DroppedLink {
    QString address; // as offered, trimmed
    QString title;   // as offered, its white space runs as one blank; "" when none
};

struct DroppedLinks {
    enum class Kind {
        Nothing,      // no web address and no bookmark file: nothing to save
        Links,        // links, at least one of them a web address
        BookmarkFile, // a bookmark file on this computer (a .html or .htm file)
    };
    Kind kind = Kind::Nothing;
    // Kind::Links: every link offered, in the order offered, those that are
    // no web addresses included (an import counts them as skipped).
    QList<DroppedLink> links;
    // How many of them are web addresses (IsWebAddress).
    int webAddresses = 0;
    // Kind::BookmarkFile: its path.
    QString bookmarkFile;

    // The only web address offered: the link of a drop of one link; nullptr
    // when there are none or several.
    const DroppedLink *single() const;
};

// Reads the links out of what was offered.
DroppedLinks ReadDroppedLinks(const OfferedData &offered);

// Whether any of `formats` (their names, as offered) is one the reader reads:
// a drag that offers none of them holds no links.
bool OffersLinkFormats(const QStringList &formats);

} // namespace modMain

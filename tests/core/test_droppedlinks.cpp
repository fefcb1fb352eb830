// The reader of dropped and pasted data: the bytes Firefox, Chromium and a
// file manager put on a drag and on the clipboard, and what is no link.

#include "bookmarks/importplanner.h"
#include "dropin/droppedlinks.h"
#include "urls/urlfile.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>

using namespace modMain;

namespace {

// Text as UTF-16LE bytes, as browsers write text/x-moz-url and text/html.
QByteArray Utf16Le(const QString &text) {
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray Utf16LeWithMark(const QString &text) {
    return QByteArray("\xFF\xFE") + Utf16Le(text);
}

// What the reader made of a payload, as one line: "nothing", "file <path>",
// or "links <web addresses>/<links>: <address> | <title>; ...".
QString Outcome(const DroppedLinks &read) {
    switch (read.kind) {
    case DroppedLinks::Kind::Nothing:
        return read.links.isEmpty() ? QStringLiteral("nothing")
                                    : QStringLiteral("nothing, but links");
    case DroppedLinks::Kind::BookmarkFile:
        return QStringLiteral("file ") + read.bookmarkFile;
    case DroppedLinks::Kind::Links:
        break;
    }
    QStringList links;
    for (const DroppedLink &link : read.links)
        links << link.address + QStringLiteral(" | ") + link.title;
    return QStringLiteral("links %1/%2: ").arg(read.webAddresses).arg(read.links.size()) +
           links.join(QStringLiteral("; "));
}

struct PayloadCase {
    const char *name;
    std::function<OfferedData()> payload;
    const char *outcome; // UTF-8
};

class DroppedPayloads : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(DroppedPayloads, ReadAsTheBrowserMeantThem) {
    const PayloadCase &c = GetParam();
    EXPECT_EQ(Outcome(ReadDroppedLinks(c.payload())), QString::fromUtf8(c.outcome));
}

const QString kPage = QStringLiteral("https://example.org/news/today?id=7");
const QString kTitle = QStringLiteral("Today's news \u2014 Example");

INSTANTIATE_TEST_SUITE_P(
    Reader, DroppedPayloads,
    ::testing::Values(
        // Firefox, a link dragged off a page, as it writes it.
        PayloadCase{"firefox_link_drag",
                    [] {
                        return OfferedData{
                            {"text/x-moz-url", Utf16Le(kPage + u'\n' + kTitle)},
                            {"text/uri-list", (kPage + QStringLiteral("\r\n")).toUtf8()},
                            {"text/html",
                             Utf16Le(QStringLiteral("<a href=\"") + kPage + QStringLiteral("\">") +
                                     kTitle + QStringLiteral("</a>"))},
                            {"text/plain", kPage.toUtf8()}};
                    },
                    "links 1/1: https://example.org/news/today?id=7 | Today's news — Example"},
        // The same drag as Qt on X11 offers it: text/x-moz-url only as
        // text/uri-list, the title in the HTML anchor (here with a mark).
        PayloadCase{"firefox_drag_through_x11",
                    [] {
                        return OfferedData{
                            {"text/uri-list", (kPage + QStringLiteral("\r\n")).toUtf8()},
                            {"text/html", Utf16LeWithMark(QStringLiteral("<a href=\"") + kPage +
                                                          QStringLiteral("\">") + kTitle +
                                                          QStringLiteral("</a>"))},
                            {"text/plain", kPage.toUtf8()}};
                    },
                    "links 1/1: https://example.org/news/today?id=7 | Today's news — Example"},
        // Chromium on X11: x-moz-url, _NETSCAPE_URL, HTML and plain text,
        // no uri-list.
        PayloadCase{"chromium_link_drag",
                    [] {
                        return OfferedData{
                            {"text/x-moz-url", Utf16Le(kPage + u'\n' + kTitle)},
                            {"_NETSCAPE_URL", (kPage + u'\n' + kTitle).toUtf8()},
                            {"text/html", (QStringLiteral("<a href=\"") + kPage +
                                           QStringLiteral("\">") + kTitle + QStringLiteral("</a>"))
                                              .toUtf8()},
                            {"text/plain", kPage.toUtf8()}};
                    },
                    "links 1/1: https://example.org/news/today?id=7 | Today's news — Example"},
        // Chromium's drag as Qt on X11 reads it: x-moz-url under the name
        // of text/uri-list, the title in _NETSCAPE_URL.
        PayloadCase{"chromium_drag_through_x11",
                    [] {
                        return OfferedData{{"text/uri-list", kPage.toUtf8()},
                                           {"_NETSCAPE_URL", (kPage + u'\n' + kTitle).toUtf8()},
                                           {"text/plain", kPage.toUtf8()}};
                    },
                    "links 1/1: https://example.org/news/today?id=7 | Today's news — Example"},
        // What a Qt window on X11 was seen to receive for Chromium's
        // formats dropped from another program: text/x-moz-url listed as
        // text/uri-list, which gives no bytes; the title in _NETSCAPE_URL
        // and in the anchor after a <meta> naming UTF-8.
        PayloadCase{"chromium_drop_as_seen_on_x11",
                    [] {
                        return OfferedData{
                            {"text/uri-list", QByteArray()},
                            {"_NETSCAPE_URL",
                             QByteArray("https://example.org/news?id=7\nToday\xE2\x80\x99s news")},
                            {"text/html",
                             QByteArray("<meta http-equiv=\"content-type\" content=\"text/html; "
                                        "charset=utf-8\"><a href=\"https://example.org/news?id=7\">"
                                        "Today\xE2\x80\x99s news</a>")},
                            {"text/plain", QByteArray("https://example.org/news?id=7")}};
                    },
                    "links 1/1: https://example.org/news?id=7 | Today’s news"},
        // The address bar dragged: the page's address and title.
        PayloadCase{"address_bar_without_title",
                    [] {
                        return OfferedData{
                            {"text/x-moz-url", Utf16Le(QStringLiteral("https://example.org/\n"))},
                            {"text/plain", QByteArray("https://example.org/")}};
                    },
                    "links 1/1: https://example.org/ | "},
        // Several tabs dragged out of Firefox at once.
        PayloadCase{
            "firefox_several_tabs",
            [] {
                return OfferedData{
                    {"text/x-moz-url", Utf16Le(QStringLiteral("https://a.example/\nA page\n"
                                                              "http://b.example/x\nB  page\n"
                                                              "https://c.example/\n\n"))},
                    {"text/uri-list", QByteArray("https://a.example/\r\nhttp://b.example/x\r\n"
                                                 "https://c.example/\r\n")}};
            },
            "links 3/3: https://a.example/ | A page; http://b.example/x | B page; "
            "https://c.example/ | "},
        // A uri-list with comments, as file managers and older browsers
        // write it; the comment is no address.
        PayloadCase{"uri_list_with_comments",
                    [] {
                        return OfferedData{{"text/uri-list", QByteArray("# dragged from a list\r\n"
                                                                        "https://a.example/\r\n"
                                                                        "#https://not.this.one/\r\n"
                                                                        "\r\n"
                                                                        "https://b.example/\r\n")}};
                    },
                    "links 2/2: https://a.example/ | ; https://b.example/ | "},
        // Chromium's clipboard HTML: a <meta> naming UTF-8, then the
        // anchor, its text with references and markup inside.
        PayloadCase{"chromium_clipboard_html",
                    [] {
                        return OfferedData{
                            {"text/html", QByteArray("<meta charset='utf-8'><a "
                                                     "href=\"https://example.org/a?x=1&amp;y=2\">"
                                                     "Caf\xC3\xA9 <b>&amp;</b> bar</a>")},
                            {"text/plain", QByteArray("Caf\xC3\xA9 & bar")}};
                    },
                    "links 1/1: https://example.org/a?x=1&y=2 | Café & bar"},
        // HTML in UTF-16 with no byte-order mark, several anchors.
        PayloadCase{"html_utf16_without_mark_two_anchors",
                    [] {
                        return OfferedData{
                            {"text/html",
                             Utf16Le(QStringLiteral("<ul><li><A HREF='https://a.example/'>A</A>"
                                                    "<li><a href=https://b.example/>B</a></ul>"))}};
                    },
                    "links 2/2: https://a.example/ | A; https://b.example/ | B"},
        // An address copied out of the address bar: plain text only.
        PayloadCase{
            "address_bar_copy",
            [] {
                return OfferedData{{"text/plain", QByteArray("  https://example.org/  \n")}};
            },
            "links 1/1: https://example.org/ | "},
        PayloadCase{"plain_text_with_charset",
                    [] {
                        return OfferedData{
                            {"text/plain;charset=utf-8", QByteArray("www.example.org/page")}};
                    },
                    "links 1/1: www.example.org/page | "},
        // A pasted list of addresses, one a line, blank lines between.
        PayloadCase{"pasted_list",
                    [] {
                        return OfferedData{
                            {"text/plain",
                             QByteArray("https://a.example/\r\n\r\nHTTP://B.example/\n"
                                        "www.c.example\nmailto:ann@example.org\n")}};
                    },
                    "links 3/4: https://a.example/ | ; HTTP://B.example/ | ; www.c.example | ; "
                    "mailto:ann@example.org | "},
        // Links of other kinds alone: nothing to save.
        PayloadCase{"javascript_link",
                    [] {
                        return OfferedData{
                            {"text/x-moz-url", Utf16Le(QStringLiteral("javascript:void(0)\nMenu"))},
                            {"text/plain", QByteArray("javascript:void(0)")}};
                    },
                    "nothing"},
        PayloadCase{"mail_address",
                    [] {
                        return OfferedData{{"text/uri-list", QByteArray("mailto:ann@example.org")}};
                    },
                    "nothing"},
        PayloadCase{
            "data_address",
            [] {
                return OfferedData{{"text/uri-list", QByteArray("data:text/html,<b>x</b>\r\n")}};
            },
            "nothing"},
        PayloadCase{"local_file_other_than_bookmarks",
                    [] {
                        return OfferedData{
                            {"text/uri-list", QByteArray("file:///home/ann/a.pdf\r\n")},
                            {"text/plain", QByteArray("/home/ann/a.pdf")}};
                    },
                    "nothing"},
        // A bookmark file dragged out of a file manager.
        PayloadCase{"local_bookmark_file",
                    [] {
                        return OfferedData{
                            {"text/uri-list",
                             QByteArray("file:///home/ann/My%20bookmarks.HTML\r\n")},
                            {"text/plain", QByteArray("/home/ann/My bookmarks.HTML")}};
                    },
                    "file /home/ann/My bookmarks.HTML"},
        PayloadCase{"web_link_beside_a_file",
                    [] {
                        return OfferedData{
                            {"text/uri-list", QByteArray("file:///home/ann/b.html\r\n"
                                                         "https://a.example/\r\n")}};
                    },
                    "links 1/2: file:///home/ann/b.html | ; https://a.example/ | "},
        // Text that is no address.
        PayloadCase{
            "a_sentence",
            [] {
                return OfferedData{{"text/plain", QByteArray("see https://example.org/ for more")}};
            },
            "nothing"},
        PayloadCase{"a_word",
                    [] {
                        return OfferedData{{"text/plain", QByteArray("example")}};
                    },
                    "nothing"},
        PayloadCase{
            "a_list_with_a_word",
            [] {
                return OfferedData{{"text/plain", QByteArray("https://a.example/\nexample\n")}};
            },
            "nothing"},
        PayloadCase{"only_a_scheme",
                    [] {
                        return OfferedData{{"text/plain", QByteArray("https://")}};
                    },
                    "nothing"},
        PayloadCase{
            "html_without_anchor",
            [] {
                return OfferedData{{"text/html", QByteArray("<meta charset='utf-8'><b>bold</b>")}};
            },
            "nothing"},
        PayloadCase{"an_image",
                    [] {
                        return OfferedData{{"image/png", QByteArray("\x89PNG")}};
                    },
                    "nothing"},
        PayloadCase{"empty_formats",
                    [] {
                        return OfferedData{{"text/x-moz-url", QByteArray()},
                                           {"text/uri-list", QByteArray()},
                                           {"text/plain", QByteArray()}};
                    },
                    "nothing"},
        PayloadCase{"nothing_offered", [] { return OfferedData{}; }, "nothing"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DroppedLinks, OneWebAddressIsASingleLink) {
    const DroppedLinks one = ReadDroppedLinks(
        {{"text/uri-list", QByteArray("javascript:x()\r\nhttps://a.example/\r\n")}});
    ASSERT_NE(one.single(), nullptr);
    EXPECT_EQ(one.single()->address, QStringLiteral("https://a.example/"));
    const DroppedLinks two = ReadDroppedLinks(
        {{"text/uri-list", QByteArray("https://a.example/\r\nhttps://b.example/")}});
    EXPECT_EQ(two.single(), nullptr);
    EXPECT_EQ(ReadDroppedLinks({}).single(), nullptr);
}

TEST(DroppedLinks, OnlyDragsOfFormatsReadAreTaken) {
    EXPECT_TRUE(OffersLinkFormats({QStringLiteral("text/plain;charset=utf-8")}));
    EXPECT_TRUE(OffersLinkFormats({QStringLiteral("image/png"), QStringLiteral("_NETSCAPE_URL")}));
    EXPECT_TRUE(OffersLinkFormats({QStringLiteral("Text/URI-List")}));
    EXPECT_FALSE(
        OffersLinkFormats({QStringLiteral("image/png"), QStringLiteral("application/x-qt-image")}));
    EXPECT_FALSE(OffersLinkFormats({}));
}

struct WebCase {
    const char *name;
    const char *address;
    bool web;
};

class WebAddressCases : public ::testing::TestWithParam<WebCase> {};

TEST_P(WebAddressCases, OtherKindsOfLinkAreNoWebAddresses) {
    EXPECT_EQ(IsWebAddress(QString::fromLatin1(GetParam().address)), GetParam().web);
}

INSTANTIATE_TEST_SUITE_P(Urls, WebAddressCases,
                         ::testing::Values(WebCase{"https", "https://a.example/", true},
                                           WebCase{"bare_host", "a.example", true},
                                           WebCase{"ftp", "ftp://a.example/", true},
                                           WebCase{"empty", "", false},
                                           WebCase{"javascript", "JavaScript:alert(1)", false},
                                           WebCase{"place", "place:sort=8", false},
                                           WebCase{"data", "data:text/plain,x", false},
                                           WebCase{"mailto", "MAILTO:ann@example.org", false},
                                           WebCase{"file", "file:///home/ann/a.html", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

// A list of links planned as an import: every one for the category named,
// skipped as a file's links are.
TEST(LinkListImport, AllGoToTheCategoryNamed) {
    const BookmarkFile file =
        LinkListFile(QStringLiteral("news"),
                     {{QStringLiteral("https://a.example/"), QStringLiteral("A")},
                      {QStringLiteral("mailto:ann@example.org"), QStringLiteral("Ann")},
                      {QStringLiteral("https://b.example/"), QStringLiteral("B \u2014 b")},
                      {QStringLiteral("https://A.example"), QStringLiteral("A again")},
                      {QStringLiteral("https://c.example/"), QString()}});
    ImportTarget target;
    target.categories = {ListEntry{QStringLiteral("News"), 3},
                         ListEntry{QStringLiteral("Mail"), 1}};
    target.highestCategoryNo = 3;
    target.isSaved = [](int categoryNo, const QString &identity) {
        return categoryNo == 3 && identity == QStringLiteral("https://c.example/");
    };
    const ImportPreview preview = PlanImport(file, target);
    ASSERT_EQ(preview.plan.size(), 1);
    EXPECT_EQ(preview.plan[0].name, QStringLiteral("News"));
    EXPECT_EQ(preview.plan[0].number, 3);
    ASSERT_EQ(preview.plan[0].urls.size(), 2);
    EXPECT_EQ(preview.plan[0].urls[0].address, QStringLiteral("https://a.example/"));
    EXPECT_EQ(preview.plan[0].urls[0].description, QStringLiteral("A"));
    EXPECT_EQ(preview.plan[0].urls[1].address, QStringLiteral("https://b.example/"));
    EXPECT_EQ(preview.plan[0].urls[1].description, QStringLiteral("B - b"));
    EXPECT_EQ(preview.urls, 2);
    EXPECT_EQ(preview.newCategories, 0);
    EXPECT_EQ(preview.existingCategories, 1);
    EXPECT_EQ(preview.alreadySaved, 1);
    EXPECT_EQ(preview.repeated, 1);
    EXPECT_EQ(preview.notWebAddresses, 1);
    // The change is listed by its place in the list.
    ASSERT_EQ(preview.changes.size(), 1);
    EXPECT_EQ(preview.changes[0].line, 3);
    EXPECT_EQ(preview.changes[0].field, QStringLiteral("Description"));
    EXPECT_EQ(preview.changes[0].before, QStringLiteral("B \u2014 b"));
    EXPECT_EQ(preview.changes[0].after, QStringLiteral("B - b"));
}

} // namespace

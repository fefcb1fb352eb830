#include "bookmarks/bookmarkfile.h"
#include "bookmarks/importplanner.h"

#include "accounts/accountfile.h"
#include "categories/categoryindex.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/addressidentity.h"
#include "urls/urlfile.h"

#include "forked.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace modMain;

namespace {

QString Fixture(const char *name) {
    return QStringLiteral(WAYFILE_BOOKMARK_FIXTURES "/") + QLatin1StringView(name);
}

void WriteBytes(const QString &path, const QByteArray &data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(data), data.size());
}

// Line breaks of a text as the two characters \n, so that a plan reads as
// one line per URL.
QString Shown(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
}

// The plan as text: a line per category ("name #number", 0 for a new one),
// then a line per URL ("  address | description").
QStringList PlanText(const ImportPlan &plan) {
    QStringList out;
    for (const PlannedCategory &category : plan) {
        out << QStringLiteral("%1 #%2").arg(category.name).arg(category.number);
        for (const PlannedUrl &url : category.urls)
            out << QStringLiteral("  %1 | %2").arg(url.address, Shown(url.description));
    }
    return out;
}

QStringList ChangesText(const ImportPreview &preview) {
    QStringList out;
    for (const FittedText &c : preview.changes)
        out << QStringLiteral("%1 %2 [%3]: %4 -> %5")
                   .arg(c.line)
                   .arg(c.field, c.item, Shown(c.before), Shown(c.after));
    return out;
}

QStringList RefusedText(const ImportPreview &preview) {
    QStringList out;
    for (const RefusedImport &r : preview.refused)
        out << QStringLiteral("%1 (%2): %3").arg(r.category).arg(r.urls).arg(r.reason);
    return out;
}

// urls new/existing saved/repeated/not-web refused-urls/refused-categories
QString CountsText(const ImportPreview &p) {
    return QStringLiteral("urls %1 categories %2/%3 skipped %4/%5/%6 refused %7/%8")
        .arg(p.urls)
        .arg(p.newCategories)
        .arg(p.existingCategories)
        .arg(p.alreadySaved)
        .arg(p.repeated)
        .arg(p.notWebAddresses)
        .arg(p.refusedUrls)
        .arg(p.refusedCategories);
}

BookmarkFile ReadFixture(const char *name) {
    BookmarkFile file;
    const IoError err = ReadBookmarkFile(Fixture(name), &file);
    EXPECT_FALSE(err.failed()) << err.message().toStdString();
    return file;
}

BookmarkFile Parsed(const QByteArray &bytes) {
    BookmarkFile file;
    const QString refusal = ParseBookmarks(bytes, QStringLiteral("test.html"), &file);
    EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
    return file;
}

const QByteArray kHead = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                         "<TITLE>Bookmarks</TITLE>\n";

} // namespace

// --- Files as browsers and services write them -------------------------------

struct ShapeCase {
    const char *name;
    const char *file;
    std::vector<const char16_t *> plan;
    std::vector<const char16_t *> changes;
    const char *counts;
};

class BookmarkShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(BookmarkShapes, ImportsEveryLinkByTheRules) {
    const ShapeCase &c = GetParam();
    const ImportPreview preview = PlanImport(ReadFixture(c.file), ImportTarget());
    QStringList plan;
    for (const char16_t *line : c.plan)
        plan << QString::fromUtf16(line);
    QStringList changes;
    for (const char16_t *line : c.changes)
        changes << QString::fromUtf16(line);
    EXPECT_EQ(PlanText(preview.plan), plan);
    EXPECT_EQ(ChangesText(preview), changes);
    EXPECT_EQ(CountsText(preview), QLatin1StringView(c.counts));
    EXPECT_TRUE(preview.refused.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Bookmarks, BookmarkShapes,
    ::testing::Values(
        ShapeCase{"firefox_nested_folders",
                  "firefox.html",
                  {u"Mozilla Firefox #0",
                   u"  https://support.mozilla.org/products/firefox | Get Help",
                   u"  https://www.mozilla.org/about/ | About Us", u"Dev / PHP #0",
                   u"  https://www.php.net/manual/en/ | PHP: PHP Manual - Manual\\nThe reference "
                   u"& the tutorial",
                   u"  https://3v4l.org/?a=1&b=2 | 3v4l - online PHP shell", u"Dev #0",
                   u"  https://developer.mozilla.org/ | MDN Web Docs\\nResources for developers, "
                   u"by developers.",
                   u"Bookmarks Menu #0", u"  https://www.wikipedia.org/ | Wikipedia",
                   u"Bookmarks Toolbar #0", u"  https://news.ycombinator.com/ | Hacker News",
                   u"Other Bookmarks #0"},
                  {u"24 Description [https://3v4l.org/?a=1&b=2]: 3v4l \u2013 online PHP shell -> "
                   u"3v4l - online PHP shell"},
                  "urls 7 categories 6/0 skipped 0/0/2 refused 0/0"},
        ShapeCase{"chrome_bar_and_other",
                  "chrome.html",
                  {u"Bookmarks bar #0", u"  https://mail.example.com/ | Inbox (3) - Mail",
                   u"  https://www.youtube.com/watch?v=dQw4w9WgXcQ&t=42s | Video",
                   u"Bookmarks bar / Recipes #0",
                   u"  https://cooking.example.com/cr%C3%A8me-br%C3%BBl%C3%A9e | Creme brulee - "
                   u"the classic",
                   u"  http://cooking.example.com/soup | Soup", u"Other bookmarks #0",
                   u"  https://mail.example.com/ | Inbox"},
                  {u"11 Description [https://mail.example.com/]: Inbox (3) \u2013 Mail -> Inbox "
                   u"(3) - Mail",
                   u"15 URL [https://cooking.example.com/cr%C3%A8me-br%C3%BBl%C3%A9e]: "
                   u"https://cooking.example.com/cr\u00e8me-br\u00fbl\u00e9e -> "
                   u"https://cooking.example.com/cr%C3%A8me-br%C3%BBl%C3%A9e",
                   u"15 Description [https://cooking.example.com/cr%C3%A8me-br%C3%BBl%C3%A9e]: "
                   u"Cr\u00e8me br\u00fbl\u00e9e \u2014 the classic -> Creme brulee - the classic"},
                  "urls 5 categories 3/0 skipped 0/1/0 refused 0/0"},
        ShapeCase{"service_flat_without_heading",
                  "pinboard.html",
                  {u"Bookmarks #0",
                   u"  https://lwn.net/Articles/123456/ | An article title that goes over two "
                   u"lines\\nExtended notes, first line.\\nSecond line with <tags> \"quoted\" and "
                   u"'curly'.",
                   u"  http://example.com/empty-title | "},
                  {u"8 Description [https://lwn.net/Articles/123456/]: An article title that goes "
                   u"over two lines\\nExtended notes, first line.\\nSecond line with <tags> "
                   u"\"quoted\" and \u2019curly\u2019. -> An article title that goes over two "
                   u"lines\\nExtended notes, first line.\\nSecond line with <tags> \"quoted\" and "
                   u"'curly'."},
                  "urls 2 categories 1/0 skipped 0/0/3 refused 0/0"},
        ShapeCase{"odd_case_stray_tags_missing_list_end",
                  "oddshapes.html",
                  {u"Work #0",
                   u"  https://intranet.example.com/wiki?page=Home&lang=en | Intranet "
                   u"Wiki\\nLine one\\nLine two",
                   u"  https://jira.example.com/browse/ABC-1 | ABC-1: Fix the build",
                   u"Work / Travel #0", u"  https://maps.example.com/ | Maps", u"My   Links #0",
                   u"  https://after.example.com/ | After the lists"},
                  {},
                  "urls 4 categories 3/0 skipped 0/0/0 refused 0/0"},
        ShapeCase{"byte_order_mark_and_accents",
                  "bom.html",
                  {u"Cafe & Kuche #0",
                   u"  https://de.example.com/k%C3%BCche | Kuche - \"Rezepte\" fur "
                   u"Anfanger...\\nStrasse, AEro, Lodz, OEuvre, THorsmork - (x/y)"},
                  {u"7 Category Name [Cafe & Kuche]: Caf\u00e9 & K\u00fcche -> Cafe & Kuche",
                   u"7 URL [https://de.example.com/k%C3%BCche]: https://de.example.com/k\u00fcche "
                   u"-> https://de.example.com/k%C3%BCche",
                   u"7 Description [https://de.example.com/k%C3%BCche]: K\u00fcche \u2013 "
                   u"\u201eRezepte\u201c f\u00fcr Anf\u00e4nger\u2026\\nStra\u00dfe, "
                   u"\u00c6r\u00f8, \u0141\u00f3d\u017a, \u0152uvre, \u00de\u00f3rsm\u00f6rk ~ "
                   u"{x|y} -> Kuche - \"Rezepte\" fur Anfanger...\\nStrasse, AEro, Lodz, OEuvre, "
                   u"THorsmork - (x/y)"},
                  "urls 1 categories 1/0 skipped 0/0/0 refused 0/0"},
        ShapeCase{"windows_1252",
                  "windows1252.html",
                  {u"Favoris #0", u"  http://www.example.fr/ | Cafe \"noir\" - pret",
                   u"  http://www.example.fr/odd | Odd ? byte"},
                  {u"6 Description [http://www.example.fr/]: Caf\u00e9 \u201cnoir\u201d \u2013 "
                   u"pr\u00eat -> Cafe \"noir\" - pret",
                   u"7 Description [http://www.example.fr/odd]: Odd \ufffd byte -> Odd ? byte"},
                  "urls 2 categories 1/0 skipped 0/0/0 refused 0/0"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BookmarkReader, KeepsFoldersLinesAndEmptyFolders) {
    const BookmarkFile file = ReadFixture("oddshapes.html");
    EXPECT_EQ(file.heading, QStringLiteral("My   Links"));
    ASSERT_EQ(file.links.size(), 4);
    EXPECT_EQ(file.path(file.links[0].folder), QStringList{QStringLiteral("Work")});
    EXPECT_EQ(file.links[0].line, 8);
    EXPECT_EQ(file.links[0].text, QStringLiteral("Intranet Wiki"));
    EXPECT_EQ(file.links[0].note, QStringLiteral("Line one\r\nLine two"));
    EXPECT_EQ(file.path(file.links[2].folder),
              (QStringList{QStringLiteral("Work"), QStringLiteral("Travel")}));
    EXPECT_TRUE(file.path(file.links[3].folder).isEmpty());
    EXPECT_TRUE(file.emptyFolders.isEmpty());

    const BookmarkFile firefox = ReadFixture("firefox.html");
    ASSERT_EQ(firefox.emptyFolders.size(), 1);
    EXPECT_EQ(firefox.path(firefox.emptyFolders[0].folder),
              QStringList{QStringLiteral("Other Bookmarks")});
    EXPECT_EQ(firefox.folders[firefox.emptyFolders[0].folder].line, 36);
}

TEST(BookmarkReader, ReadsReferencesOfEveryKind) {
    const BookmarkFile file =
        Parsed(kHead + "<DL><p>\n"
                       "<DT><A HREF=\"http://x.example/?a=1&amp;b=2&lt;&gt;&quot;&#39;&#x41;&#65\">"
                       "&amp;&lt;&gt;&quot;&apos;&#233;&#xE9;&#XE9;&eacute;&nbsp;&copy;&hellip;"
                       "&#150;&unknown; &amp AT&T &#; &#0; &#x110000;</A>\n"
                       "</DL><p>\n");
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.links[0].href, QStringLiteral("http://x.example/?a=1&b=2<>\"'AA"));
    EXPECT_EQ(file.links[0].text, QString::fromUtf16(u"&<>\"'\u00e9\u00e9\u00e9\u00e9\u00a0\u00a9"
                                                     u"\u2026\u2013&unknown; & AT&T &#; \ufffd "
                                                     u"\ufffd"));
}

TEST(BookmarkReader, FoldsTheFilesWhiteSpaceButKeepsWrittenBlanks) {
    const BookmarkFile file = Parsed(kHead + "<DL><p>\n"
                                             "<DT><H3>  Two\n\tlines  </H3>\n<DL><p>\n"
                                             "<DT><A HREF=\"\n  http://x.example/a\n b \">"
                                             "\n  A &#32;title&#32;&#10;</A>\n"
                                             "<DD>\n   first  line\r\n\r\n  third&#32;\n\n"
                                             "</DL><p></DL><p>\n");
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.path(file.links[0].folder), QStringList{QStringLiteral("Two lines")});
    EXPECT_EQ(file.links[0].href, QStringLiteral("http://x.example/a b"));
    EXPECT_EQ(file.links[0].text, QStringLiteral("A  title \r\n"));
    EXPECT_EQ(file.links[0].note, QStringLiteral("first  line\r\n\r\n  third "));
}

TEST(BookmarkReader, ANoteAfterAFolderBelongsToNoLink) {
    const BookmarkFile file =
        Parsed(kHead + "<DL><p>\n"
                       "<DT><A HREF=\"http://a.example/\">A</A>\n"
                       "<DT><H3>F</H3>\n<DD>About the folder\n<DL><p>\n"
                       "<DT><A HREF=\"http://b.example/\">B</A>\n<DD>one\n<DD>two\n"
                       "</DL><p>\n</DL><p>\n");
    ASSERT_EQ(file.links.size(), 2);
    EXPECT_EQ(file.links[0].note, QString());
    EXPECT_EQ(file.path(file.links[1].folder), QStringList{QStringLiteral("F")});
    EXPECT_EQ(file.links[1].note, QStringLiteral("one\r\ntwo"));
}

TEST(BookmarkReader, AFolderWithoutListIsEmpty) {
    const BookmarkFile file = Parsed(kHead + "<DL><p>\n"
                                             "<DT><H3>Lonely</H3>\n"
                                             "<DT><A HREF=\"http://a.example/\">A</A>\n"
                                             "<DT><H3>Outer</H3>\n<DL><p>\n"
                                             "<DT><H3>Inner</H3>\n<DL><p>\n</DL><p>\n"
                                             "</DL><p>\n</DL><p>\n");
    ASSERT_EQ(file.emptyFolders.size(), 2);
    EXPECT_EQ(file.path(file.emptyFolders[0].folder), QStringList{QStringLiteral("Lonely")});
    EXPECT_EQ(file.folders[file.emptyFolders[0].folder].line, 5);
    EXPECT_EQ(file.path(file.emptyFolders[1].folder),
              (QStringList{QStringLiteral("Outer"), QStringLiteral("Inner")}));
    EXPECT_EQ(file.path(file.links[0].folder), QStringList());
}

TEST(BookmarkReader, CharacterSetsByMarkAndDeclaration) {
    // ISO-8859-1 is read as windows-1252, as browsers read it.
    BookmarkFile file =
        Parsed("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
               "<meta http-equiv=content-type content='text/html;charset=ISO-8859-1'>\n"
               "<DL><DT><A HREF=\"http://x/\">Caf\xe9 \x96 \x80</A></DL>");
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.links[0].text, QString::fromUtf16(u"Caf\u00e9 \u2013 \u20ac"));

    // No declaration: UTF-8; a byte that is no UTF-8 is U+FFFD, never nothing.
    file = Parsed("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                  "<DL><DT><A HREF=\"http://x/caf\xe9\">Caf\xc3\xa9 caf\xe9!</A></DL>");
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.links[0].text, QString::fromUtf16(u"Caf\u00e9 caf\ufffd!"));
    const ImportPreview preview = PlanImport(file, ImportTarget());
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("Bookmarks #0"),
                           QStringLiteral("  http://x/caf? | Cafe caf?!")}));
    EXPECT_EQ(ChangesText(preview),
              (QStringList{QString::fromUtf16(u"2 URL [http://x/caf?]: http://x/caf\ufffd -> "
                                              u"http://x/caf?"),
                           QString::fromUtf16(u"2 Description [http://x/caf?]: Caf\u00e9 "
                                              u"caf\ufffd! -> Cafe caf?!")}));

    // A UTF-16 file with its byte-order mark.
    const QString text = QStringLiteral("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                                        "<DL><DT><A HREF=\"http://x/\">") +
                         QString::fromUtf16(u"\u00c5se</A></DL>");
    QByteArray utf16("\xff\xfe");
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    file = Parsed(utf16);
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.links[0].text, QString::fromUtf16(u"\u00c5se"));
}

TEST(BookmarkReader, RefusesWhatIsNoBookmarkFile) {
    BookmarkFile file;
    const QString path = Fixture("notbookmarks.html");
    const IoError err = ReadBookmarkFile(path, &file);
    ASSERT_TRUE(err.failed());
    EXPECT_EQ(err.message(),
              QStringLiteral("Sorry, \"") + path +
                  QStringLiteral("\" is not a bookmark file, so nothing was imported.\r\n"
                                 "Please choose the file your browser wrote when you exported "
                                 "your bookmarks: an HTML file that begins with "
                                 "<!DOCTYPE NETSCAPE-Bookmark-file-1>."));
    EXPECT_TRUE(file.links.isEmpty());

    for (const QByteArray &bytes : {QByteArray(), QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11),
                                    QByteArray("<DL><DT><A HREF=\"http://x/\">x</A></DL>\n"
                                               "<!DOCTYPE NETSCAPE-Bookmark-file-1>"),
                                    QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-2>")}) {
        EXPECT_FALSE(ParseBookmarks(bytes, QStringLiteral("f"), &file).isEmpty());
    }
}

TEST(BookmarkReader, RefusesACharacterSetItCannotRead) {
    BookmarkFile file;
    EXPECT_EQ(ParseBookmarks("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                             "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                             "charset=x-no-such-set\">\n<DL></DL>",
                             QStringLiteral("/home/u/b.html"), &file),
              QStringLiteral("Sorry, the bookmark file \"/home/u/b.html\" is written in the "
                             "character set \"x-no-such-set\", which Wayfile can't read, so "
                             "nothing was imported.\r\nPlease export your bookmarks again, in "
                             "UTF-8."));
}

TEST(BookmarkReader, ReportsAFileThatCannotBeRead) {
    QTemporaryDir dir;
    BookmarkFile file;
    const QString missing = dir.filePath(QStringLiteral("missing.html"));
    EXPECT_EQ(ReadBookmarkFile(missing, &file).message(),
              QStringLiteral("Wayfile could not read \"") + missing +
                  QStringLiteral("\".\r\n\r\nReason: No such file or directory."));

    // Far too large to be a bookmark file: refused before anything is read.
    const QString huge = dir.filePath(QStringLiteral("huge.html"));
    WriteBytes(huge, "<!DOCTYPE NETSCAPE-Bookmark-file-1>");
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), kMaxBookmarkFileSize + 1), 0);
    EXPECT_EQ(ReadBookmarkFile(huge, &file).message(),
              QStringLiteral("Wayfile could not read \"") + huge +
                  QStringLiteral("\".\r\n\r\nReason: It is larger than 256 MB."));
}

// --- The planner ---------------------------------------------------------------

TEST(ImportPlanner, CountsSkipsAndExistingCategories) {
    const BookmarkFile file = Parsed(kHead + "<H1>Imported</H1>\n<DL><p>\n"
                                             "<DT><H3>news</H3>\n<DL><p>\n"
                                             "<DT><A HREF=\"https://a.example/\">A</A>\n"
                                             "<DT><A HREF=\"https://b.example/\">B</A>\n"
                                             "<DT><A HREF=\"https://b.example/\">B again</A>\n"
                                             "<DT><A HREF=\" javascript:alert(1)\">JS</A>\n"
                                             "<DT><A HREF=\"PLACE:x\">Place</A>\n"
                                             "<DT><A HREF=\"https://a.example/\">A again</A>\n"
                                             "</DL><p>\n"
                                             "<DT><H3>Sport</H3>\n<DL><p>\n"
                                             "<DT><A HREF=\"https://b.example/\">B</A>\n"
                                             "</DL><p>\n"
                                             "<DT><H3>NEWS</H3>\n<DL><p>\n"
                                             "<DT><A HREF=\"http://c.example/\">C</A>\n"
                                             "<DT><A HREF=\"c.example/\">C as typed</A>\n"
                                             "</DL><p>\n"
                                             "<DT><H3>Empty</H3>\n<DL><p>\n</DL><p>\n"
                                             "<DT><H3>News</H3>\n<DL><p>\n</DL><p>\n"
                                             "<DT><A HREF=\"a.example/x\">top</A>\n"
                                             "</DL><p>\n");
    ImportTarget target;
    target.categories = {ListEntry{QStringLiteral("Mail"), 1},
                         ListEntry{QStringLiteral("News"), 3}};
    target.highestCategoryNo = 7;
    QList<QPair<int, QString>> asked;
    target.isSaved = [&asked](int categoryNo, const QString &address) {
        asked.append({categoryNo, address});
        return categoryNo == 3 && address == QStringLiteral("https://a.example/");
    };
    const ImportPreview preview = PlanImport(file, target);
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("News #3"), QStringLiteral("  https://b.example/ | B"),
                           QStringLiteral("  http://c.example/ | C"), QStringLiteral("Sport #0"),
                           QStringLiteral("  https://b.example/ | B"), QStringLiteral("Empty #0"),
                           QStringLiteral("Imported #0"), QStringLiteral("  a.example/x | top")}));
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 4 categories 3/1 skipped 2/2/2 refused 0/0"));
    EXPECT_TRUE(preview.changes.isEmpty());
    // Asked by the address as View opens it, and only for existing categories.
    EXPECT_EQ(asked, (QList<QPair<int, QString>>{{3, QStringLiteral("https://a.example/")},
                                                 {3, QStringLiteral("https://b.example/")},
                                                 {3, QStringLiteral("https://b.example/")},
                                                 {3, QStringLiteral("https://a.example/")},
                                                 {3, QStringLiteral("http://c.example/")},
                                                 {3, QStringLiteral("http://c.example/")}}));
}

// A link of a folder repeats an earlier one of the same category when its
// address is the same address, as a browser opens it: the first is planned,
// the second counted as repeated. The addresses are stored as they came.
struct RepeatCase {
    const char *name;
    const char *first;
    const char *second;
    bool repeated;
};

class RepeatedLinks : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatedLinks, AreTheSameAddressAsAnEarlierOne) {
    const RepeatCase &c = GetParam();
    const BookmarkFile file =
        Parsed(kHead + "<DL><p>\n<DT><H3>News</H3>\n<DL><p>\n<DT><A HREF=\"" + c.first +
               "\">first</A>\n<DT><A HREF=\"" + c.second + "\">second</A>\n</DL><p>\n</DL><p>\n");
    const ImportPreview preview = PlanImport(file, ImportTarget{});
    QStringList expected{QStringLiteral("News #0"),
                         QStringLiteral("  %1 | first").arg(QLatin1String(c.first))};
    if (!c.repeated)
        expected << QStringLiteral("  %1 | second").arg(QLatin1String(c.second));
    EXPECT_EQ(PlanText(preview.plan), expected);
    EXPECT_EQ(preview.repeated, c.repeated ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    ImportPlanner, RepeatedLinks,
    ::testing::Values(
        RepeatCase{"same_text", "http://example.org/", "http://example.org/", true},
        RepeatCase{"host_case_and_empty_path", "http://Example.org", "example.org/", true},
        RepeatCase{"default_port", "https://example.org:443/a", "https://example.org/a", true},
        RepeatCase{"dot_segments", "http://example.org/a/./b/../c", "http://example.org/a/c", true},
        RepeatCase{"backslash", "http://example.org\\a", "http://example.org/a", true},
        RepeatCase{"escaped_blank", "http://example.org/a b", "http://example.org/a%20b", true},
        RepeatCase{"secure_scheme", "http://example.org/", "https://example.org/", false},
        RepeatCase{"www", "http://example.org/", "http://www.example.org/", false},
        RepeatCase{"trailing_slash", "http://example.org/a", "http://example.org/a/", false},
        RepeatCase{"path_case", "http://example.org/a", "http://example.org/A", false},
        RepeatCase{"query", "http://example.org/", "http://example.org/?", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ImportPlanner, CutsDescriptionsAndKeepsTheLineBreakMarkerOut) {
    const QByteArray title(240, 'T');
    const BookmarkFile file =
        Parsed(kHead +
               "<DL><p>\n"
               "<DT><A HREF=\"http://a/\">" +
               title +
               "</A>\n<DD>0123456789ABCDEF\n"
               "<DT><A HREF=\"http://b/\">" +
               QByteArray(249, 'x') +
               "</A>\n<DD>second\n"
               "<DT><A HREF=\"http://c/\">It says *QVX* and *QVX</A><DD>here\n"
               "<DT><A HREF=\"http://d/\">Tab\tand \xe2\x80\x94 dash   </A>\n"
               "</DL><p>\n");
    const ImportPreview preview = PlanImport(file, ImportTarget());
    ASSERT_EQ(preview.plan.size(), 1);
    const QList<PlannedUrl> &urls = preview.plan[0].urls;
    ASSERT_EQ(urls.size(), 4);
    EXPECT_EQ(urls[0].description, QString::fromLatin1(title) + QStringLiteral("\r\n01234567"));
    EXPECT_EQ(urls[0].description.size(), 250);
    // Cut before a line break, never between its CR and LF.
    EXPECT_EQ(urls[1].description, QString(249, u'x'));
    EXPECT_EQ(urls[2].description, QStringLiteral("It says *qvx* and *qvx\r\nhere"));
    EXPECT_EQ(urls[3].description, QStringLiteral("Tab and - dash"));
    for (const PlannedUrl &url : urls)
        EXPECT_TRUE(DescriptionRefusal(url.description).isEmpty());
    EXPECT_EQ(
        ChangesText(preview),
        (QStringList{
            QStringLiteral("5 Description [http://a/]: %1\\n0123456789ABCDEF -> %1\\n01234567")
                .arg(QString::fromLatin1(title)),
            QStringLiteral("7 Description [http://b/]: %1\\nsecond -> %1").arg(QString(249, u'x')),
            QStringLiteral("9 Description [http://c/]: It says *QVX* and *QVX\\nhere -> It "
                           "says *qvx* and *qvx\\nhere"),
            QString::fromUtf16(u"10 Description [http://d/]: Tab and \u2014 dash -> Tab and "
                               u"- dash")}));
}

TEST(ImportPlanner, CategoryNamesAreMadeToFitAndMergedByCase) {
    const BookmarkFile file =
        Parsed(kHead + "<H1>Men\xc3\xba</H1><DL><p>\n"
                       "<DT><H3>Caf\xc3\xa9</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\">A</A>\n"
                       "</DL><p>\n"
                       "<DT><H3>cafe</H3>\n<DL><p>\n<DT><A HREF=\"http://b/\">B</A>\n</DL><p>\n"
                       "<DT><H3></H3>\n<DL><p>\n<DT><H3>{x}</H3>\n<DL><p>\n"
                       "<DT><A HREF=\"http://c/\">C</A>\n</DL><p>\n</DL><p>\n"
                       "<DT><A HREF=\"http://d/\">D</A>\n"
                       "</DL><p>\n");
    ImportTarget target;
    target.categories = {ListEntry{QStringLiteral("CAFE"), 9}};
    const ImportPreview preview = PlanImport(file, target);
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("CAFE #9"), QStringLiteral("  http://a/ | A"),
                           QStringLiteral("  http://b/ | B"), QStringLiteral("(x) #0"),
                           QStringLiteral("  http://c/ | C"), QStringLiteral("Menu #0"),
                           QStringLiteral("  http://d/ | D")}));
    EXPECT_EQ(ChangesText(preview),
              (QStringList{QString::fromUtf16(u"7 Category Name [CAFE]: Caf\u00e9 -> Cafe"),
                           QStringLiteral("17 Category Name [(x)]: {x} -> (x)"),
                           QString::fromUtf16(u"20 Category Name [Menu]: Men\u00fa -> Menu")}));
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 4 categories 2/1 skipped 0/0/0 refused 0/0"));
}

TEST(ImportPlanner, RefusesNewCategoriesPastTheHighestNumber) {
    const BookmarkFile file =
        Parsed(kHead + "<DL><p>\n"
                       "<DT><H3>A</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\">a</A>\n"
                       "</DL><p>\n"
                       "<DT><H3>B</H3>\n<DL><p>\n<DT><A HREF=\"http://b/\">b</A>\n"
                       "<DT><A HREF=\"http://b/2\">b2</A>\n</DL><p>\n"
                       "<DT><H3>Old</H3>\n<DL><p>\n<DT><A HREF=\"http://o/\">o</A>\n"
                       "</DL><p>\n"
                       "<DT><H3>C</H3>\n<DL><p>\n</DL><p>\n"
                       "</DL><p>\n");
    ImportTarget target;
    target.categories = {ListEntry{QStringLiteral("Old"), 32767}};
    target.highestCategoryNo = 32766; // one more fits
    const ImportPreview preview = PlanImport(file, target);
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("A #0"), QStringLiteral("  http://a/ | a"),
                           QStringLiteral("Old #32767"), QStringLiteral("  http://o/ | o")}));
    const QString reason = QStringLiteral("Sorry, no more Categories can be added: the Category "
                                          "numbers have reached the highest one, 32767.");
    EXPECT_EQ(RefusedText(preview), (QStringList{QStringLiteral("B (2): ") + reason,
                                                 QStringLiteral("C (0): ") + reason}));
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 2 categories 1/1 skipped 0/0/0 refused 2/2"));
}

TEST(ImportPlanner, RefusesUrlsPastTheHighestNumberOfTheirCategory) {
    const BookmarkFile file = Parsed(kHead + "<DL><p>\n<DT><H3>News</H3>\n<DL><p>\n"
                                             "<DT><A HREF=\"http://1/\">1</A>\n"
                                             "<DT><A HREF=\"http://2/\">2</A>\n"
                                             "<DT><A HREF=\"http://3/\">3</A>\n"
                                             "<DT><A HREF=\"http://2/\">2 again</A>\n"
                                             "<DT><A HREF=\"http://4/\">4</A>\n"
                                             "</DL><p>\n</DL><p>\n");
    ImportTarget target;
    target.categories = {ListEntry{QStringLiteral("News"), 3}};
    target.highestCategoryNo = 3;
    target.highestUrlNo = [](int categoryNo) { return categoryNo == 3 ? 32765 : 0; };
    const ImportPreview preview = PlanImport(file, target);
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("News #3"), QStringLiteral("  http://1/ | 1"),
                           QStringLiteral("  http://2/ | 2")}));
    EXPECT_EQ(RefusedText(preview),
              QStringList{QStringLiteral("News (2): Sorry, no more URLs can be added under this "
                                         "Category: its URL numbers have reached the highest "
                                         "one, 32767.")});
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 2 categories 0/1 skipped 0/1/0 refused 2/0"));
}

TEST(ImportPlanner, ANewCategoryTakesAtMost32767Urls) {
    QByteArray bytes = kHead + "<DL><p>\n<DT><H3>Many</H3>\n<DL><p>\n";
    for (int n = 1; n <= kMaxRecordNo + 2; ++n)
        bytes += "<DT><A HREF=\"http://x.example/" + QByteArray::number(n) + "\">" +
                 QByteArray::number(n) + "</A>\n";
    bytes += "</DL><p>\n</DL><p>\n";
    const ImportPreview preview = PlanImport(Parsed(bytes), ImportTarget());
    ASSERT_EQ(preview.plan.size(), 1);
    EXPECT_EQ(preview.plan[0].urls.size(), kMaxRecordNo);
    EXPECT_EQ(preview.plan[0].urls.last().address, QStringLiteral("http://x.example/32767"));
    EXPECT_EQ(RefusedText(preview),
              QStringList{QStringLiteral("Many (2): Sorry, no more URLs can be added under this "
                                         "Category: its URL numbers have reached the highest "
                                         "one, 32767.")});
}

// A file of folders nested thousands of levels deep, a link in each (that
// of level n on line 3n + 4): the reader keeps one entry per folder, and the
// planner cuts the names at 250 characters, so that every folder below the
// cut goes to one category, listed once as changed to fit.
TEST(ImportPlanner, CutsTheNamesOfDeepFoldersToOneCategory) {
    constexpr int kLevels = 5000;
    QByteArray bytes = kHead + "<DL><p>\n";
    for (int level = 1; level <= kLevels; ++level)
        bytes += "<DT><H3>L" + QByteArray::number(level).rightJustified(4, '0') +
                 "</H3>\n<DL><p>\n<DT><A HREF=\"http://x.example/" + QByteArray::number(level) +
                 "\">" + QByteArray::number(level) + "</A>\n";
    for (int level = 0; level <= kLevels; ++level)
        bytes += "</DL><p>\n";
    const BookmarkFile file = Parsed(bytes);
    ASSERT_EQ(file.folders.size(), kLevels);
    ASSERT_EQ(file.links.size(), kLevels);
    EXPECT_EQ(file.folders.last().parent, kLevels - 2);
    EXPECT_EQ(file.path(file.links.last().folder).size(), kLevels);

    const ImportPreview preview = PlanImport(file, ImportTarget());
    // "L0001 / L0002 / ... / L0031" is 245 characters long; "/ L0032" does
    // not fit whole.
    QString uncut = QStringLiteral("L0001");
    for (int level = 2; level <= 31; ++level)
        uncut += QStringLiteral(" / L%1").arg(level, 4, 10, QLatin1Char('0'));
    ASSERT_EQ(uncut.size(), 245);
    const QString cut = uncut + QStringLiteral(" / L0");
    ASSERT_EQ(preview.plan.size(), 32);
    EXPECT_EQ(preview.plan[30].name, uncut);
    EXPECT_EQ(preview.plan[30].urls.size(), 1);
    EXPECT_EQ(preview.plan[31].name, cut);
    EXPECT_EQ(preview.plan[31].urls.size(), kLevels - 31);
    EXPECT_EQ(preview.plan[31].urls.last().address,
              QStringLiteral("http://x.example/%1").arg(kLevels));
    EXPECT_EQ(ChangesText(preview), QStringList{QStringLiteral("%1 Category Name [%2]: %2%3 -> %2")
                                                    .arg(4 + 32 * 3)
                                                    .arg(cut)
                                                    .arg(QChar(0x2026))});
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 5000 categories 32/0 skipped 0/0/0 refused 0/0"));
}

// One name too long: cut after it is made one the files can store, the
// blanks at the cut dropped; a free name for a taken one is cut too, to make
// room for its number.
TEST(ImportPlanner, CutsALongNameAfterMakingItFit) {
    const QByteArray longName = QByteArray(240, 'a') + " \xc3\x86 " + QByteArray(300, 'b');
    const BookmarkFile file = Parsed(kHead + "<DL><p>\n<DT><H3>" + longName +
                                     "</H3>\n<DL><p>\n"
                                     "<DT><A HREF=\"http://a/\">A</A>\n</DL><p>\n"
                                     "<DT><H3>" +
                                     QByteArray(260, 'T') +
                                     "</H3>\n<DL><p>\n</DL><p>\n"
                                     "</DL><p>\n");
    ImportTarget target;
    target.takenNames = {QString(250, u'T')};
    const ImportPreview preview = PlanImport(file, target);
    const QString fitted = QString(240, u'a') + QStringLiteral(" AE ") + QString(6, u'b');
    const QString free = QString(246, u'T') + QStringLiteral(" (2)");
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{fitted + QStringLiteral(" #0"), QStringLiteral("  http://a/ | A"),
                           free + QStringLiteral(" #0")}));
    EXPECT_EQ(ChangesText(preview),
              (QStringList{QStringLiteral("7 Category Name [%1]: %2%3 -> %1")
                               .arg(fitted, QString(240, u'a') + QString::fromUtf16(u" \u00c6 ") +
                                                QString(7, u'b'))
                               .arg(QChar(0x2026)),
                           QStringLiteral("9 Category Name [%1]: %2%3 -> %1")
                               .arg(free, QString(250, u'T'))
                               .arg(QChar(0x2026))}));
}

// --- The exporter ----------------------------------------------------------------

namespace {

QList<ExportCategory> SampleCategories() {
    return {
        ExportCategory{QStringLiteral("Dev & <Tools>"),
                       {ExportUrl{QStringLiteral("https://a.example/?x=1&y=\"2\""),
                                  QStringLiteral("Title only")},
                        ExportUrl{QStringLiteral("b.example"), QString()}}},
        ExportCategory{QStringLiteral("News"),
                       {ExportUrl{QStringLiteral("http://n.example/"),
                                  QStringLiteral("Headline\r\nFirst detail\r\nSecond detail")},
                        ExportUrl{QStringLiteral("http://m.example/"),
                                  QStringLiteral("Ends with a break\r\n")},
                        ExportUrl{QStringLiteral("http://o.example/"),
                                  QStringLiteral("Two  blanks \r\n\r\n indented")}}},
        ExportCategory{QStringLiteral("Nothing yet"), {}},
    };
}

} // namespace

TEST(BookmarkExport, WritesTheFormatBrowsersWrite) {
    EXPECT_EQ(BookmarkFileText(SampleCategories()),
              QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                         "<!-- This is an automatically generated file.\n"
                         "     It will be read and overwritten.\n"
                         "     DO NOT EDIT! -->\n"
                         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                         "<TITLE>Bookmarks</TITLE>\n"
                         "<H1>Bookmarks</H1>\n"
                         "<DL><p>\n"
                         "    <DT><H3>Dev &amp; &lt;Tools&gt;</H3>\n"
                         "    <DL><p>\n"
                         "        <DT><A HREF=\"https://a.example/?x=1&amp;y=&quot;2&quot;\">Title "
                         "only</A>\n"
                         "        <DT><A HREF=\"http://b.example\"></A>\n"
                         "    </DL><p>\n"
                         "    <DT><H3>News</H3>\n"
                         "    <DL><p>\n"
                         "        <DT><A HREF=\"http://n.example/\">Headline</A>\n"
                         "        <DD>First detail&#10;Second detail\n"
                         "        <DT><A HREF=\"http://m.example/\">Ends with a break&#10;</A>\n"
                         "        <DT><A HREF=\"http://o.example/\">Two &#32;blanks&#32;</A>\n"
                         "        <DD>&#10; indented\n"
                         "    </DL><p>\n"
                         "    <DT><H3>Nothing yet</H3>\n"
                         "    <DL><p>\n"
                         "    </DL><p>\n"
                         "</DL><p>\n"));
}

TEST(BookmarkExport, WritesOtherCharactersAsUtf8) {
    const QByteArray text = BookmarkFileText(
        {ExportCategory{QString::fromUtf16(u"Caf\u00e9 \u20ac \U0001F600\t"), {}}});
    EXPECT_TRUE(text.contains("<DT><H3>Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80&#9;</H3>\n"))
        << text.toStdString();
}

// Read back into another user: the same categories and descriptions, and
// every address as View opens it.
TEST(BookmarkExport, ReadsBackAsTheSameCategoriesAddressesAndDescriptions) {
    const ImportPreview preview =
        PlanImport(Parsed(BookmarkFileText(SampleCategories())), ImportTarget());
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("Dev & <Tools> #0"),
                           QStringLiteral("  https://a.example/?x=1&y=\"2\" | Title only"),
                           QStringLiteral("  http://b.example | "), QStringLiteral("News #0"),
                           QStringLiteral("  http://n.example/ | Headline\\nFirst detail\\nSecond "
                                          "detail"),
                           QStringLiteral("  http://m.example/ | Ends with a break\\n"),
                           QStringLiteral("  http://o.example/ | Two  blanks \\n\\n indented"),
                           QStringLiteral("Nothing yet #0")}));
    EXPECT_TRUE(preview.changes.isEmpty());
}

// --- Texts as browsers read them --------------------------------------------------

// A name or a link's text: a run of blanks stays as it is, as browsers keep
// and write it; a line break or a tab is the file's layout and, with the
// white space around it, one blank.
struct NameTextCase {
    const char *name;
    const char *raw; // between <H3> and </H3>, and between <A> and </A>
    const char16_t *read;
};

class NameTexts : public ::testing::TestWithParam<NameTextCase> {};

TEST_P(NameTexts, KeepRunsOfBlanksAndFoldLineBreaksAndTabs) {
    const NameTextCase &c = GetParam();
    const BookmarkFile file = Parsed(kHead + "<DL><p>\n<DT><H3>" + c.raw +
                                     "</H3>\n<DL><p>\n<DT><A HREF=\"http://a.example/\">" + c.raw +
                                     "</A>\n</DL><p>\n</DL><p>\n");
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.path(file.links[0].folder), QStringList{QString::fromUtf16(c.read)});
    EXPECT_EQ(file.links[0].text, QString::fromUtf16(c.read));
}

INSTANTIATE_TEST_SUITE_P(
    BookmarkReader, NameTexts,
    ::testing::Values(NameTextCase{"two_blanks_inside", "Two  Spaces", u"Two  Spaces"},
                      NameTextCase{"blanks_at_either_end", "  Padded   name  ", u"Padded   name"},
                      NameTextCase{"line_break_and_indent", "over two\n        lines",
                                   u"over two lines"},
                      NameTextCase{"cr_lf", "over two\r\nlines", u"over two lines"},
                      NameTextCase{"tab", "a\tb", u"a b"},
                      NameTextCase{"blanks_around_a_line_break", "a  \n  b", u"a b"},
                      NameTextCase{"blank_written_as_reference", "a &#32;b", u"a  b"},
                      NameTextCase{"no_break_space", "a&nbsp; b", u"a\u00a0 b"}),
    [](const auto &info) { return std::string(info.param.name); });

// Chromium writes titles as they are, runs of blanks included, and no notes.
TEST(BookmarkReader, KeepsTheBlanksOfABrowsersTitles) {
    const BookmarkFile file = ReadFixture("chrome-blanks.html");
    ASSERT_EQ(file.links.size(), 2);
    EXPECT_EQ(file.path(file.links[0].folder),
              (QStringList{QStringLiteral("Bookmarks bar"), QStringLiteral("Two  Spaces")}));
    EXPECT_EQ(file.links[0].text, QStringLiteral("Two  blanks  inside"));
    EXPECT_EQ(file.links[1].text, QStringLiteral("Padded   title"));
    const ImportPreview preview = PlanImport(file, ImportTarget());
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("Bookmarks bar / Two  Spaces #0"),
                           QStringLiteral("  http://d.example/ | Two  blanks  inside"),
                           QStringLiteral("  https://e.example/a%20b | Padded   title")}));
    EXPECT_TRUE(preview.changes.isEmpty());
}

// --- Descriptions, written and read back -------------------------------------------

// How a description is written (the link's text, and the <DD> after it), and
// that it reads back exactly. A browser, which drops the note of a link
// without text, always finds text in the link.
struct DescriptionCase {
    const char *name;
    const char16_t *description;
    const char *written; // the link and the note as the file holds them
    const char16_t *text;
    const char16_t *note;
};

class WrittenDescriptions : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(WrittenDescriptions, ReadBackExactly) {
    const DescriptionCase &c = GetParam();
    const QString description = QString::fromUtf16(c.description);
    const QByteArray text = BookmarkFileText({ExportCategory{
        QStringLiteral("C"), {ExportUrl{QStringLiteral("x.example"), description}}}});
    const qsizetype from = text.indexOf("        <DT><A");
    const qsizetype to = text.indexOf("    </DL>", from);
    EXPECT_EQ(text.mid(from, to - from), QByteArray(c.written));

    const BookmarkFile file = Parsed(text);
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.links[0].text, QString::fromUtf16(c.text));
    EXPECT_EQ(file.links[0].note, QString::fromUtf16(c.note));
    EXPECT_EQ(LinkDescription(file.links[0]), description);
}

INSTANTIATE_TEST_SUITE_P(
    BookmarkExport, WrittenDescriptions,
    ::testing::Values(
        DescriptionCase{"one_line", u"Title only",
                        "        <DT><A HREF=\"http://x.example\">Title only</A>\n", u"Title only",
                        u""},
        DescriptionCase{"empty", u"", "        <DT><A HREF=\"http://x.example\"></A>\n", u"", u""},
        DescriptionCase{"two_lines", u"Headline\r\nDetail",
                        "        <DT><A HREF=\"http://x.example\">Headline</A>\n"
                        "        <DD>Detail\n",
                        u"Headline", u"Detail"},
        DescriptionCase{"starts_with_a_line_break", u"\r\nStarts here\r\nand goes on",
                        "        <DT><A HREF=\"http://x.example\">Starts here</A>\n"
                        "        <DD>&#10;Starts here&#10;and goes on\n",
                        u"Starts here", u"\r\nStarts here\r\nand goes on"},
        DescriptionCase{"starts_with_empty_lines_and_blanks", u"\r\n\r\n  Indented  start ",
                        "        <DT><A HREF=\"http://x.example\">Indented &#32;start</A>\n"
                        "        <DD>&#10;&#10; &#32;Indented &#32;start&#32;\n",
                        u"Indented  start", u"\r\n\r\n  Indented  start "},
        DescriptionCase{"line_breaks_only", u"\r\n\r\n",
                        "        <DT><A HREF=\"http://x.example\"></A>\n"
                        "        <DD>&#10;&#10;\n",
                        u"", u"\r\n\r\n"},
        DescriptionCase{"first_line_comes_again", u"Same\r\n\r\nSame",
                        "        <DT><A HREF=\"http://x.example\">Same</A>\n"
                        "        <DD>Same&#10;&#10;Same\n",
                        u"Same", u"Same\r\n\r\nSame"},
        DescriptionCase{"an_empty_second_line", u"Two  blanks \r\n\r\n indented",
                        "        <DT><A HREF=\"http://x.example\">Two &#32;blanks&#32;</A>\n"
                        "        <DD>&#10; indented\n",
                        u"Two  blanks ", u"\r\n indented"},
        DescriptionCase{"ends_with_a_line_break", u"Ends\r\n",
                        "        <DT><A HREF=\"http://x.example\">Ends&#10;</A>\n", u"Ends\r\n",
                        u""}),
    [](const auto &info) { return std::string(info.param.name); });

// A browser's note is added after the link's text, unless its first line
// with text is the link's text: then it is the whole description.
TEST(BookmarkReader, ANoteThatBeginsWithTheTextIsTheWholeDescription) {
    const BookmarkFile file = Parsed(kHead + "<DL><p>\n"
                                             "<DT><A HREF=\"http://a.example/\">Title</A>\n"
                                             "<DD>A note\n"
                                             "<DT><A HREF=\"http://b.example/\">Title</A>\n"
                                             "<DD>Title\nand more\n"
                                             "<DT><A HREF=\"http://c.example/\">Title</A>\n"
                                             "<DD>Titles\n"
                                             "<DT><A HREF=\"http://d.example/\"></A>\n"
                                             "<DD>A note without title\n"
                                             "</DL><p>\n");
    ASSERT_EQ(file.links.size(), 4);
    EXPECT_EQ(LinkDescription(file.links[0]), QStringLiteral("Title\r\nA note"));
    EXPECT_EQ(LinkDescription(file.links[1]), QStringLiteral("Title\r\nand more"));
    EXPECT_EQ(LinkDescription(file.links[2]), QStringLiteral("Title\r\nTitles"));
    EXPECT_EQ(LinkDescription(file.links[3]), QStringLiteral("\r\nA note without title"));
}

// --- Addresses as browsers take them ------------------------------------------------

namespace {

// The scheme an address begins with, by the URL standard's first step (a
// letter, then letters, digits, "+", "-" or ".", then ":"), lower-cased;
// empty for an address a browser reads as relative to the file.
QString SchemeOf(const QString &href) {
    qsizetype i = 0;
    while (i < href.size() &&
           ((href[i] >= u'a' && href[i] <= u'z') || (href[i] >= u'A' && href[i] <= u'Z') ||
            (i > 0 && ((href[i] >= u'0' && href[i] <= u'9') || href[i] == u'+' || href[i] == u'-' ||
                       href[i] == u'.'))))
        ++i;
    return i > 0 && i < href.size() && href[i] == u':' ? href.first(i).toLower() : QString();
}

} // namespace

// Every address is exported as View opens it: with a scheme, so that a
// browser takes it as the web address it is, and as the same address as the
// one saved (the import's identity), so an export comes back as nothing new.
struct ExportedAddressCase {
    const char *name;
    const char *stored;
    const char *href;     // as the export writes it
    const char *identity; // of both
};

class ExportedAddresses : public ::testing::TestWithParam<ExportedAddressCase> {};

TEST_P(ExportedAddresses, HaveASchemeAndAreTheSameAddress) {
    const ExportedAddressCase &c = GetParam();
    const QString stored = QString::fromLatin1(c.stored);
    const BookmarkFile file = Parsed(
        BookmarkFileText({ExportCategory{QStringLiteral("C"), {ExportUrl{stored, QString()}}}}));
    ASSERT_EQ(file.links.size(), 1);
    const QString href = file.links[0].href;
    EXPECT_EQ(href, QLatin1StringView(c.href));
    EXPECT_EQ(SchemeOf(href), QStringLiteral("http")) << href.toStdString();
    EXPECT_EQ(AddressIdentity(href), QLatin1StringView(c.identity));
    EXPECT_EQ(AddressIdentity(stored), QLatin1StringView(c.identity));
}

INSTANTIATE_TEST_SUITE_P(
    BookmarkExport, ExportedAddresses,
    ::testing::Values(ExportedAddressCase{"host_alone", "example.org", "http://example.org",
                                          "http://example.org/"},
                      ExportedAddressCase{"host_and_path", "www.example.com/path/page.html",
                                          "http://www.example.com/path/page.html",
                                          "http://www.example.com/path/page.html"},
                      ExportedAddressCase{"scheme_relative", "//example.com/x",
                                          "http:////example.com/x", "http://example.com/x"},
                      ExportedAddressCase{"host_with_port", "example.net:8080/x",
                                          "http://example.net:8080/x", "http://example.net:8080/x"},
                      ExportedAddressCase{
                          "written_with_its_scheme", "HTTP://Example.COM:80/a/./b/../c",
                          "HTTP://Example.COM:80/a/./b/../c", "http://example.com/a/c"},
                      ExportedAddressCase{"blank_in_the_path", "a.example/a b",
                                          "http://a.example/a b", "http://a.example/a%20b"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BookmarkExport, KeepsASecureAddressAsItIs) {
    const BookmarkFile file = Parsed(BookmarkFileText({ExportCategory{
        QStringLiteral("C"), {ExportUrl{QStringLiteral("https://a.example/x?q=1"), QString()}}}}));
    ASSERT_EQ(file.links.size(), 1);
    EXPECT_EQ(file.links[0].href, QStringLiteral("https://a.example/x?q=1"));
}

namespace {

class ExportFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
        ASSERT_FALSE(MakeFolder(UserFolderPath(1)).failed());
        stamp = MakePassStamp(QStringLiteral("secret"));
        other = MakePassStamp(QStringLiteral("another"));
    }
    void TearDown() override { SetProgramFolder(QString()); }

    void WriteLines(const QString &path, const QStringList &lines) {
        QByteArray bytes;
        for (const QString &line : lines)
            bytes += line.toLatin1() + "\r\n";
        WriteBytes(path, bytes);
    }

    QTemporaryDir dir;
    QString stamp;
    QString other;
};

} // namespace

TEST_F(ExportFolder, ReadsTheUsersOwnCategoriesSortedWithTheirUrls) {
    WriteLines(JoinPath(UserFolderPath(1), kCategoryIndexName),
               {CategoryRecordLine(1, QStringLiteral("Zeta"), stamp),
                CategoryRecordLine(2, QStringLiteral("alpha"), stamp),
                CategoryRecordLine(3, QStringLiteral("Foreign"), other),
                CategoryRecordLine(4, QStringLiteral("Empty"), stamp)});
    WriteLines(
        UrlFilePath(1, 1),
        {UrlRecordLine(1, QStringLiteral("http://z1/"), QStringLiteral("one*QVX*two"), stamp),
         UrlRecordLine(2, QStringLiteral("http://theirs/"), QString(), other),
         UrlRecordLine(5, QStringLiteral("z5.example"), QString(), stamp)});
    WriteLines(UrlFilePath(1, 2),
               {UrlRecordLine(1, QStringLiteral("http://a1/"), QStringLiteral("A"), stamp)});
    WriteLines(UrlFilePath(1, 3),
               {UrlRecordLine(1, QStringLiteral("http://f1/"), QStringLiteral("F"), other)});
    QList<ExportCategory> categories;
    const IoError err = ReadCategoriesToExport(1, stamp, &categories);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    QStringList text;
    for (const ExportCategory &c : categories) {
        text << c.name;
        for (const ExportUrl &u : c.urls)
            text << QStringLiteral("  %1 | %2").arg(u.address, Shown(u.description));
    }
    EXPECT_EQ(text, (QStringList{QStringLiteral("alpha"), QStringLiteral("  http://a1/ | A"),
                                 QStringLiteral("Empty"), QStringLiteral("Zeta"),
                                 QStringLiteral("  http://z1/ | one\\ntwo"),
                                 QStringLiteral("  z5.example | ")}));

    // Exported and read back into another user: the same categories and
    // descriptions, and the addresses as View opens them.
    const ImportPreview preview = PlanImport(Parsed(BookmarkFileText(categories)), ImportTarget());
    EXPECT_EQ(PlanText(preview.plan),
              (QStringList{QStringLiteral("alpha #0"), QStringLiteral("  http://a1/ | A"),
                           QStringLiteral("Empty #0"), QStringLiteral("Zeta #0"),
                           QStringLiteral("  http://z1/ | one\\ntwo"),
                           QStringLiteral("  http://z5.example | ")}));
}

TEST_F(ExportFolder, AUrlFileThatCannotBeReadFailsTheExport) {
    WriteLines(JoinPath(UserFolderPath(1), kCategoryIndexName),
               {CategoryRecordLine(1, QStringLiteral("News"), stamp)});
    ASSERT_TRUE(QDir().mkdir(UrlFilePath(1, 1)));
    QList<ExportCategory> categories;
    const IoError err = ReadCategoriesToExport(1, stamp, &categories);
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not read \"") + UrlFilePath(1, 1) +
                                 QStringLiteral("\".\r\n\r\nReason: It is a folder, not a file."));
    EXPECT_TRUE(categories.isEmpty());
}

// --- Through a browser and back ---------------------------------------------------

namespace {

// User 1 with URLs saved as Add URL stores what was typed: addresses without
// a scheme, written loosely, with a blank or a quote; a description that
// starts with a line break; a category whose name holds two blanks.
class SavedUser : public ExportFolder {
protected:
    void SetUp() override {
        ExportFolder::SetUp();
        WriteLines(JoinPath(UserFolderPath(1), kCategoryIndexName),
                   {CategoryRecordLine(1, QStringLiteral("News"), stamp),
                    CategoryRecordLine(2, QStringLiteral("Two  Spaces"), stamp),
                    CategoryRecordLine(3, QStringLiteral("Dev & <Tools>"), stamp)});
        const auto url = [this](int n, const char *address, const char *description) {
            return UrlRecordLine(n, QLatin1StringView(address),
                                 StoredDescription(QString::fromLatin1(description)), stamp);
        };
        WriteLines(UrlFilePath(1, 1),
                   {url(1, "example.org", "Example\r\nthe plain one"),
                    url(2, "www.example.com/path/page.html",
                        "\r\nStarts with a line break\r\nand goes on"),
                    url(3, "//example.com/x", "Scheme-relative"),
                    url(4, "example.net:8080/x", "With a port"),
                    url(5, "HTTP://Example.COM:80/a/./b/../c", "Written loosely"),
                    url(6, "http://a.example/a b", "A blank in the path"),
                    url(7, "https://b.example/%7Euser", "Home page"),
                    url(8, "c.example/q?x=\"y\"", "Quoted query")});
        WriteLines(UrlFilePath(1, 2), {url(1, "d.example/", "Two  blanks  inside")});
        WriteLines(UrlFilePath(1, 3), {url(1, "https://e.example/?a=1&b=2", "Tools & more"),
                                       url(2, "xn--caf-dma.example", "Cafe")});
    }

    ImportPreview previewOf(const BookmarkFile &file) {
        ImportPreview preview;
        const IoError err = PlanImportForUser(1, stamp, file, &preview);
        EXPECT_FALSE(err.failed()) << err.message().toStdString();
        return preview;
    }
};

} // namespace

// The user's own export, read back into the same user: every URL is already
// saved, and nothing is added.
TEST_F(SavedUser, AnExportImportedBackAddsNothing) {
    QList<ExportCategory> categories;
    ASSERT_FALSE(ReadCategoriesToExport(1, stamp, &categories).failed());
    const BookmarkFile file = Parsed(BookmarkFileText(categories));

    // What a browser, which reads the links' text and not their notes, takes
    // of the file: every address with a scheme, every link with a title.
    QStringList links;
    for (const BookmarkLink &link : file.links)
        links << QStringLiteral("%1 | %2").arg(link.href, link.text);
    EXPECT_EQ(links, (QStringList{QStringLiteral("https://e.example/?a=1&b=2 | Tools & more"),
                                  QStringLiteral("http://xn--caf-dma.example | Cafe"),
                                  QStringLiteral("http://example.org | Example"),
                                  QStringLiteral("http://www.example.com/path/page.html | Starts "
                                                 "with a line break"),
                                  QStringLiteral("http:////example.com/x | Scheme-relative"),
                                  QStringLiteral("http://example.net:8080/x | With a port"),
                                  QStringLiteral("HTTP://Example.COM:80/a/./b/../c | Written "
                                                 "loosely"),
                                  QStringLiteral("http://a.example/a b | A blank in the path"),
                                  QStringLiteral("https://b.example/%7Euser | Home page"),
                                  QStringLiteral("http://c.example/q?x=\"y\" | Quoted query"),
                                  QStringLiteral("http://d.example/ | Two  blanks  inside")}));
    EXPECT_EQ(file.path(file.links.last().folder), QStringList{QStringLiteral("Two  Spaces")});
    EXPECT_EQ(LinkDescription(file.links[3]),
              QStringLiteral("\r\nStarts with a line break\r\nand goes on"));

    const ImportPreview preview = previewOf(file);
    EXPECT_TRUE(preview.plan.isEmpty());
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 0 categories 0/0 skipped 11/0/0 refused 0/0"));
}

// The same export, imported into a browser and exported again by it, in the
// form Firefox writes: its dates on every item, its heading, and every
// address in the form it re-wrote it in (scheme and host in small letters, a
// "/" for an empty path, the default port and dot segments dropped, a blank
// and quotes escaped). Read back into the same user, it adds nothing.
TEST_F(SavedUser, ABrowsersExportOfAnExportAddsNothing) {
    const BookmarkFile file = ReadFixture("firefox-reexport.html");
    ASSERT_EQ(file.links.size(), 11);
    EXPECT_EQ(file.path(file.links.last().folder), QStringList{QStringLiteral("Two  Spaces")});
    EXPECT_EQ(file.links.last().text, QStringLiteral("Two  blanks  inside"));

    const ImportPreview preview = previewOf(file);
    EXPECT_TRUE(preview.plan.isEmpty());
    EXPECT_EQ(CountsText(preview),
              QStringLiteral("urls 0 categories 0/0 skipped 11/0/0 refused 0/0"));
    EXPECT_TRUE(preview.changes.isEmpty());
}

// --- Writing the export file ------------------------------------------------------

namespace {

class ExportFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path() const { return dir.filePath(QStringLiteral("wayfile-bookmarks.html")); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    mode_t mode() const {
        struct stat st;
        return ::stat(QFile::encodeName(path()).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ExportFile, WritesANewFileForItsOwnerOnly) {
    const mode_t old = ::umask(0);
    const IoError err = WriteBookmarkFile(path(), SampleCategories());
    ::umask(old);
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(FileBytes(path()), BookmarkFileText(SampleCategories()));
    EXPECT_EQ(mode(), mode_t(0600));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("wayfile-bookmarks.html")});
}

TEST_F(ExportFile, ReplacesAnExistingFileOnlyOnceWritten) {
    WriteBytes(path(), "old content");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0644), 0);
    const IoError err = WriteNewFile(path(), "new content");
    ASSERT_FALSE(err.failed()) << err.message().toStdString();
    EXPECT_EQ(FileBytes(path()), QByteArray("new content"));
    EXPECT_EQ(mode(), mode_t(0600));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("wayfile-bookmarks.html")});
}

struct ExportFault {
    const char *name;
    DiskCalls calls;
    const char *reason;
};

class ExportFaults : public ExportFile, public ::testing::WithParamInterface<ExportFault> {};

TEST_P(ExportFaults, LeaveTheOldFileAndNothingElse) {
    WriteBytes(path(), "old content");
    IoError err;
    {
        DiskCallsOverride faults(GetParam().calls);
        err = WriteNewFile(path(), "new content");
    }
    EXPECT_EQ(err.message(), QStringLiteral("Wayfile could not write to \"") + path() +
                                 QStringLiteral("\".\r\n\r\nReason: ") +
                                 QLatin1StringView(GetParam().reason));
    EXPECT_EQ(FileBytes(path()), QByteArray("old content"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("wayfile-bookmarks.html")});
}

INSTANTIATE_TEST_SUITE_P(
    Bookmarks, ExportFaults,
    ::testing::Values(ExportFault{"disk_full", WritesFail(ENOSPC), "No space left on device."},
                      ExportFault{"flush_fails", FileSyncFails(EIO), "Input/output error."},
                      ExportFault{"rename_fails",
                                  DiskCalls{.rename =
                                                [](const char *, const char *) {
                                                    errno = EXDEV;
                                                    return -1;
                                                }},
                                  "Invalid cross-device link."}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ExportFile, RefusesAFolderAndAMissingFolder) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("wayfile-bookmarks.html")));
    EXPECT_EQ(WriteNewFile(path(), "x").message(),
              QStringLiteral("Wayfile could not write to \"") + path() +
                  QStringLiteral("\".\r\n\r\nReason: It is a folder, not a file."));
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder.html"));
    EXPECT_EQ(WriteNewFile(nowhere, "x").message(),
              QStringLiteral("Wayfile could not write to \"") + nowhere +
                  QStringLiteral("\".\r\n\r\nReason: No such file or directory."));
}

// A kill at each step of the write: the old file stays as it was, and the
// new content leaves no trace until it is complete. Only a kill between
// naming the complete content and the rename can leave it behind, under a
// name that marks it as a rewrite's.
TEST_F(ExportFile, AKillAtAnyStepKeepsTheOldFile) {
    const QByteArray content = BookmarkFileText(SampleCategories());
    for (const char *step : {"write", "flush", "rename"}) {
        SCOPED_TRACE(step);
        WriteBytes(path(), "old content");
        const forked::Outcome outcome = forked::run([&]() {
            const auto die = [] { ::raise(SIGKILL); };
            DiskCalls calls;
            if (QByteArrayView(step) == "write")
                calls.write = [&](int, const char *, qint64) -> qint64 {
                    die();
                    return -1;
                };
            else if (QByteArrayView(step) == "flush")
                calls.sync = [&](int) {
                    die();
                    return -1;
                };
            else
                calls.rename = [&](const char *, const char *) {
                    die();
                    return -1;
                };
            SetDiskCalls(calls);
            WriteNewFile(path(), content);
            return QByteArray("not killed");
        });
        EXPECT_EQ(outcome.signal, SIGKILL) << outcome.describe();
        EXPECT_EQ(FileBytes(path()), QByteArray("old content"));
        for (const QString &entry : entries()) {
            if (entry == QStringLiteral("wayfile-bookmarks.html"))
                continue;
            EXPECT_STREQ(step, "rename") << entry.toStdString();
            EXPECT_TRUE(IsRewriteLeftover(entry)) << entry.toStdString();
            EXPECT_EQ(FileBytes(dir.filePath(entry)), content);
            QFile::remove(dir.filePath(entry));
        }
    }
}

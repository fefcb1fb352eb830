// Speed of bookmark files: the preview of an import of 10,000 links in 100
// folders, and the export of 32,767 URLs.
//
// Counters to read (CPU time of this thread, the least of several runs; the
// ratio's two sides timed in alternation):
//   ImportPreview/preview_ms   reading the file (about 4 MB, as a browser
//                              writes it, icons included) and planning the
//                              import into a user who has the 10 top folders
//                              as categories, 100 of their links saved;
//                              must stay within 1,000 ms
//   ExportBookmarks/x_floor    reading the user's folder and writing the
//                              bookmark file (flushed to disk) over
//                              deciphering the same files alone; at most 1.5
//   ExportBookmarks/export_ms, floor_ms: the two sides

#include "accounts/accountfile.h"
#include "bookmarks/bookmarkfile.h"
#include "bookmarks/importplanner.h"
#include "categories/categoryindex.h"
#include "storage/datafile.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/urlfile.h"

#include "ratio.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>

using namespace modMain;

namespace {

constexpr int kLinks = 10000;
constexpr int kFolders = 100; // 10 folders of 9 folders each
constexpr int kExportUrls = kMaxRecordNo;
constexpr int kExportCategories = 100;

// A bookmark file as a browser writes it: 10 top folders holding 9 folders
// each, 100 links in every folder; every link with its dates and an icon,
// a third of them with a note, some titles with accents and references.
QByteArray BrowserFile() {
    const QByteArray icon = "data:image/png;base64," + QByteArray(240, 'A');
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                     "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
    int link = 0;
    const auto addLinks = [&](const QByteArray &indent) {
        for (int i = 0; i < kLinks / kFolders; ++i, ++link) {
            out += indent + "<DT><A HREF=\"https://www.example" + QByteArray::number(link % 997) +
                   ".com/articles/" + QByteArray::number(link) + "?ref=bookmarks&amp;lang=en\"" +
                   " ADD_DATE=\"1690000000\" LAST_MODIFIED=\"1690000001\" ICON=\"" + icon +
                   "\">Article " + QByteArray::number(link) +
                   (link % 5 == 0 ? " \xe2\x80\x94 Caf\xc3\xa9 &amp; Cr\xc3\xa8me" : " on things") +
                   "</A>\n";
            if (link % 3 == 0)
                out += indent + "<DD>A note about article " + QByteArray::number(link) +
                       ", with &quot;quotes&quot;\nand a second line.\n";
        }
    };
    for (int top = 0; top < kFolders / 10; ++top) {
        out += "    <DT><H3 ADD_DATE=\"1690000000\">Topic " + QByteArray::number(top) +
               "</H3>\n    <DL><p>\n";
        addLinks("        ");
        for (int sub = 1; sub < 10; ++sub) {
            out += "        <DT><H3 ADD_DATE=\"1690000000\">Part " + QByteArray::number(sub) +
                   "</H3>\n        <DL><p>\n";
            addLinks("            ");
            out += "        </DL><p>\n";
        }
        out += "    </DL><p>\n";
    }
    out += "</DL><p>\n";
    return out;
}

struct ImportFixture {
    QTemporaryDir dir;
    QString path;
    QSet<QString> saved; // "number address" of the addresses already saved
    ImportTarget target;

    ImportFixture() {
        path = dir.filePath(QStringLiteral("bookmarks.html"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(BrowserFile());
        file.close();
        // The user has the 10 top folders as categories already, and every
        // tenth of the links they hold themselves saved.
        for (int top = 0; top < kFolders / 10; ++top)
            target.categories.append(ListEntry{QStringLiteral("TOPIC %1").arg(top), top + 1});
        target.highestCategoryNo = kFolders / 10;
        for (int link = 0; link < kLinks; link += 10)
            saved.insert(QStringLiteral("%1 https://www.example%2.com/articles/%3?ref=bookmarks&"
                                        "lang=en")
                             .arg(link / (kLinks / kFolders * 10) + 1)
                             .arg(link % 997)
                             .arg(link));
        target.isSaved = [this](int categoryNo, const QString &address) {
            return saved.contains(QString::number(categoryNo) + u' ' + address);
        };
        target.highestUrlNo = [](int) { return qint64(1000); };
    }
};

ImportPreview Preview(const ImportFixture &f) {
    BookmarkFile file;
    ReadBookmarkFile(f.path, &file);
    return PlanImport(file, f.target);
}

void ImportPreview10000Links(benchmark::State &state) {
    static ImportFixture fixture;
    ImportPreview preview;
    for (auto _ : state)
        preview = Preview(fixture);
    double best = 1e9;
    for (int i = 0; i < 5; ++i)
        best = std::min(best, bench::CpuSecondsOf([&] { preview = Preview(fixture); }));
    if (preview.urls + preview.alreadySaved != kLinks)
        state.SkipWithError("not every link was planned or found saved");
    state.counters["preview_ms"] = best * 1e3;
    state.counters["urls"] = preview.urls;
    state.counters["saved"] = preview.alreadySaved;
    state.counters["categories"] = preview.newCategories + preview.existingCategories;
    state.counters["file_MB"] = double(QFile(fixture.path).size()) / (1024.0 * 1024.0);
}
BENCHMARK(ImportPreview10000Links)->Unit(benchmark::kMillisecond);

// User 1's folder: 100 categories holding 32,767 URLs between them, each
// with an address of about 50 characters and a description of two lines.
struct ExportFixture {
    QTemporaryDir dir;
    QString stamp = MakePassStamp(QStringLiteral("benchmark"));
    QString output;

    ExportFixture() {
        SetProgramFolder(dir.path());
        MakeFolder(UserFolderPath(1));
        output = dir.filePath(QStringLiteral("wayfile-bookmarks.html"));
        QStringList index;
        for (int c = 1; c <= kExportCategories; ++c)
            index << CategoryRecordLine(c, QStringLiteral("Category %1").arg(c), stamp);
        RewriteFile(JoinPath(UserFolderPath(1), kCategoryIndexName), index);
        int url = 0;
        for (int c = 1; c <= kExportCategories; ++c) {
            QStringList lines;
            const int count = kExportUrls / kExportCategories + (c <= kExportUrls % 100 ? 1 : 0);
            for (int n = 1; n <= count; ++n, ++url)
                lines << UrlRecordLine(
                    n,
                    QStringLiteral("http://www.example%1.com/pages/%2.html")
                        .arg(url % 997)
                        .arg(url),
                    QStringLiteral("Description of address %1*QVX*with a second line").arg(url),
                    stamp);
            RewriteFile(UrlFilePath(1, c), lines);
        }
    }

    // Reading the folder and writing the file: the export.
    void exportAll() const {
        QList<ExportCategory> categories;
        ReadCategoriesToExport(1, stamp, &categories);
        WriteBookmarkFile(output, categories);
    }

    // Deciphering the same files alone: every field a reader of the folder
    // deciphers, and the owner test of every record.
    void decipherAll() const {
        CategoryIndexRead index;
        ReadCategoryIndex(1, stamp, &index);
        const OwnerTest owner(stamp);
        qsizetype chars = 0;
        for (const ListEntry &entry : std::as_const(index.owned)) {
            ForEachLine(UrlFilePath(1, entry.number), [&](const QString &line) {
                const UrlRecord record = DecodeUrlLine(line);
                if (owner.owns(record.stampField))
                    chars += record.address.size() + record.description().size();
                return true;
            });
        }
        benchmark::DoNotOptimize(chars);
    }
};

void ExportBookmarks(benchmark::State &state) {
    static ExportFixture fixture;
    SetProgramFolder(fixture.dir.path());
    for (auto _ : state)
        fixture.exportAll();
    QList<ExportCategory> categories;
    ReadCategoriesToExport(1, fixture.stamp, &categories);
    qsizetype urls = 0;
    for (const ExportCategory &c : std::as_const(categories))
        urls += c.urls.size();
    if (urls != kExportUrls)
        state.SkipWithError("not every URL was exported");
    bench::InterleavedMinimum times;
    for (int i = 0; i < 5; ++i)
        times.round([] { fixture.exportAll(); }, [] { fixture.decipherAll(); });
    state.counters["urls"] = double(urls);
    state.counters["export_ms"] = times.first() * 1e3;
    state.counters["floor_ms"] = times.second() * 1e3;
    state.counters["x_floor"] = times.ratio();
    state.counters["file_MB"] = double(QFile(fixture.output).size()) / (1024.0 * 1024.0);
    SetProgramFolder(QString());
}
BENCHMARK(ExportBookmarks)->Unit(benchmark::kMillisecond);

} // namespace

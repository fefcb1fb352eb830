#include "screens/layout.h"

#include "screens/frmLogin.h"
#include "screens/frmMain.h"

#include <QTest>

#include <cmath>

using screens::Box;
using screens::Line;

// Every figure here is compared with QCOMPARE_EQ, which uses ==: the layout's
// single-precision figures must come out identical to the last bit, which a
// fuzzy QCOMPARE on floats would not show.
namespace {

constexpr float kTwipsPerPixel = 15.0f;

screens::MainLayoutInput MainScreen(int widthPx, int heightPx) {
    screens::MainLayoutInput in;
    in.SW = static_cast<float>(widthPx) * kTwipsPerPixel;
    in.SH = static_cast<float>(heightPx) * kTwipsPerPixel;
    in.WH = in.SH;
    in.clientHeight = in.SH;
    return in;
}

screens::LoginLayoutInput LoginScreen(int widthPx, int heightPx) {
    screens::LoginLayoutInput in;
    in.SW = static_cast<float>(widthPx) * kTwipsPerPixel;
    in.SH = static_cast<float>(heightPx) * kTwipsPerPixel;
    return in;
}

float Right(const Box &b) {
    return b.width + b.left;
}
float Bottom(const Box &b) {
    return b.height + b.top;
}

float Property(const Box &b, const QString &property) {
    if (property == QLatin1String("left"))
        return b.left;
    if (property == QLatin1String("top"))
        return b.top;
    if (property == QLatin1String("width"))
        return b.width;
    if (property == QLatin1String("height"))
        return b.height;
    qFatal("unknown box property %s", qPrintable(property));
}

float Property(const Line &l, const QString &property) {
    if (property == QLatin1String("x1"))
        return l.x1;
    if (property == QLatin1String("x2"))
        return l.x2;
    if (property == QLatin1String("y1"))
        return l.y1;
    if (property == QLatin1String("y2"))
        return l.y2;
    qFatal("unknown line property %s", qPrintable(property));
}

// A control's or line's property in a layout; fails the test if the name is missing.
template <class Shape>
float Lookup(const QHash<QString, Shape> &shapes, const QString &name, const QString &property) {
    if (!shapes.contains(name))
        qFatal("layout has no %s", qPrintable(name));
    return Property(shapes.value(name), property);
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private slots:
    void captionWidth_data();
    void captionWidth();
    void twipsToPixels_data();
    void twipsToPixels();

    void mainFigures1024x768_data();
    void mainFigures1024x768();
    void mainLines1024x768_data();
    void mainLines1024x768();
    void statusBar1024x768();
    void introSpansWorkingArea1024x768();
    void menuButtonsShareTheBand_data();
    void menuButtonsShareTheBand();
    void statusBarFollowsClientArea();
    void subtitleFollowsWindowHeight();
    void panelsShareRectangles();
    void optionButtonsWidenDeleteCaption();
    void captionAndFontOverridesChangeWidths();
    void urlPromptMovesLast();
    void openAllAndLinkCategoryControls_data();
    void openAllAndLinkCategoryControls();
    void everyShownControlIsPlaced();

    void loginWindowSize_data();
    void loginWindowSize();
    void loginFigures800x600_data();
    void loginFigures800x600();
    void loginUserBoxShrinksWithLabel();
    void loginFramesCoverSameRectangle();
    void loginChangePassFitsFrame_data();
    void loginChangePassFitsFrame();
};

void TestLayout::captionWidth_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<float>("points");
    QTest::addColumn<float>("expected");

    QTest::newRow("delete category, ampersand counted")
        << QStringLiteral("&Delete Category") << 8.25f << 1320.0f;
    QTest::newRow("user name, trailing blank counted")
        << QStringLiteral("&User Name : ") << 8.25f << 1072.5f;
    QTest::newRow("delete url") << QStringLiteral("&Delete URL") << 8.25f << 907.5f;
    QTest::newRow("title font") << QStringLiteral("Main Menu") << 24.0f << 2160.0f;
    QTest::newRow("empty caption") << QString() << 8.25f << 0.0f;
}

void TestLayout::captionWidth() {
    QFETCH(QString, caption);
    QFETCH(float, points);
    QFETCH(float, expected);
    QCOMPARE_EQ(screens::TW(caption, points), expected);
}

void TestLayout::twipsToPixels_data() {
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("status bar height") << 345.6f << 23;
    QTest::newRow("menu button width") << 1536.0f << 102;
    QTest::newRow("rule under the title") << 1843.2f << 123;
    QTest::newRow("half a pixel rounds up") << 7.5f << 1;
    QTest::newRow("just under half rounds down") << 7.4f << 0;
    QTest::newRow("whole screen") << 15360.0f << 1024;
}

void TestLayout::twipsToPixels() {
    QFETCH(float, twips);
    QFETCH(int, pixels);
    QCOMPARE(screens::TwipsToPixels(twips, kTwipsPerPixel), pixels);
}

void TestLayout::mainFigures1024x768_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("property");
    QTest::addColumn<float>("expected");

    auto row = [](const char *control, const char *property, float expected) {
        QTest::addRow("%s.%s", control, property)
            << QString::fromLatin1(control) << QString::fromLatin1(property) << expected;
    };
    // Left edge of the working area: 3% SW + Sep1V.X1 = 460.8 + 2457.6, which
    // in single precision is 2918.40015, one step above the float nearest
    // 2918.4 (it shows as 2918.4 to seven digits; see introSpansWorkingArea).
    const float workLeft = 460.8f + 2457.6f;
    row("frmMain", "width", 15360.0f);
    row("frmMain", "height", 11520.0f);
    row("frmMain", "left", 0.0f);
    row("frmMain", "top", 0.0f);
    row("lblTitle", "height", 1152.0f);
    row("lblTitle", "width", 15360.0f);
    row("lblTitle", "top", 345.6f);
    row("lblTitle", "left", 0.0f);
    row("cmdLogin", "width", 1536.0f);
    row("cmdLogin", "left", 460.8f);
    row("lblIntro", "left", workLeft);
    row("lblIntro", "width", 11980.8f);
    row("lblSubTitle", "left", workLeft);
    row("lblSubTitle", "width", 11980.8f);
    row("lblSubTitle", "height", 1152.0f);
    row("pctCatAdd", "width", 11980.8f);
    row("pctUrlAdd", "width", 11980.8f);
    // Category option buttons: "&Delete Category" is 1320 wide, plus a quarter.
    row("cmdCatViewD", "width", 1650.0f);
    row("cmdCatViewA", "width", 1650.0f);
    row("cmdCatViewM", "width", 1650.0f);
    row("cmdCatViewCncl", "width", 1650.0f);
    row("cmdCatViewI", "width", 1650.0f);
    row("cmdCatViewX", "width", 1650.0f);
    // URL option buttons: "&Delete URL" is 907.5 wide, plus two thirds.
    row("cmdUrlViewD", "width", 1512.5f);
    row("cmdUrlViewV", "width", 1512.5f);
    row("cmdUrlViewCncl", "width", 1512.5f);
    row("cmdUrlViewO", "width", 1512.5f);
    row("cmdUrlFindO", "width", 1512.5f);
    // Built-in values the arrangement leaves alone.
    row("cmbCatDel", "height", 315.0f);
    row("cmbCatMod", "height", 315.0f);
    row("cmbUrlCat", "height", 315.0f);
    row("cmbUrlDel", "height", 315.0f);
    row("cmbUrlMod", "height", 315.0f);
    row("lblUrlCat", "width", 480.0f);
    row("lblUrlCat", "left", workLeft);
    row("lblUrlCat", "height", 806.4f);
    row("cmbUrlCat", "width", 5980.8f); // (15360 - (480 + 2918.4)) / 2
    row("cmbUrlCat", "left", 0.0f);
    row("txtUrlAdd", "width", 5980.8f);
    row("txtUrlAddCh", "width", 5980.8f);
    row("cmbUrlDel", "width", 5980.8f);
    row("cmbUrlMod", "left", 1560.0f);
    row("cmbUrlMod", "width", 1455.0f);
    row("txtUrlMod", "left", 1560.0f);
    row("txtUrlMod", "width", 1455.0f);
    row("txtUrlModDesc", "left", 1560.0f);
    row("txtUrlModDesc", "width", 0.0f);
    row("lblUrlAdd", "left", 0.0f);
    row("lblUrlAdd", "width", 0.0f);
    row("txtUrlAdd", "left", 0.0f);
    row("cmdUrlAdd", "left", 0.0f);
    row("lblUrlDel", "width", 4702.5f); // 57 characters
}

void TestLayout::mainFigures1024x768() {
    QFETCH(QString, control);
    QFETCH(QString, property);
    QFETCH(float, expected);
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    QCOMPARE_EQ(Lookup(layout.boxes, control, property), expected);
}

void TestLayout::mainLines1024x768_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("property");
    QTest::addColumn<float>("expected");

    auto row = [](const char *line, const char *property, float expected) {
        QTest::addRow("%s.%s", line, property)
            << QString::fromLatin1(line) << QString::fromLatin1(property) << expected;
    };
    row("Sep1H", "x1", 0.0f);
    row("Sep1H", "x2", 15360.0f);
    row("Sep1H", "y1", 1843.2f);
    row("Sep1H", "y2", 1843.2f);
    row("Sep1V", "x1", 2457.6f);
    row("Sep1V", "x2", 2457.6f);
    row("Sep1V", "y1", 1843.2f);
    row("Sep1V", "y2", 11520.0f);
    row("Sep2H", "x1", 2457.6f);
    row("Sep2H", "x2", 15360.0f);
}

void TestLayout::mainLines1024x768() {
    QFETCH(QString, line);
    QFETCH(QString, property);
    QFETCH(float, expected);
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    QCOMPARE_EQ(Lookup(layout.lines, line, property), expected);
}

void TestLayout::statusBar1024x768() {
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    QCOMPARE_EQ(layout.statusBarHeight, 345.6f);
    const std::array<float, 8> expected = {768.0f, 8448.0f, 768.0f,  768.0f,
                                           768.0f, 768.0f,  1536.0f, 1536.0f};
    for (std::size_t i = 0; i < expected.size(); ++i)
        QCOMPARE_EQ(layout.panelWidths[i], expected[i]);

    float total = 0;
    for (float width : layout.panelWidths)
        total += width;
    QCOMPARE_EQ(total, 15360.0f);

    const Box bar = layout.boxes.value(QStringLiteral("StatusBar"));
    QCOMPARE_EQ(bar.height, 345.6f);
    QCOMPARE_EQ(bar.top, 11520.0f - 345.6f);
}

void TestLayout::introSpansWorkingArea1024x768() {
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    const Box intro = layout.boxes.value(QStringLiteral("lblIntro"));
    QCOMPARE_EQ(intro.width, 11980.8f);
    QCOMPARE_EQ(intro.left, 460.8f + 2457.6f);
    QCOMPARE(QString::number(intro.left, 'g', 7), QStringLiteral("2918.4"));

    // It ends as far short of the screen's right edge as the menu buttons
    // start from the left edge. The distance between the two stored edges,
    // taken exactly (in double), is 460.8 to seven digits.
    const double shortOfRight = 15360.0 - (double(intro.width) + double(intro.left));
    QCOMPARE(QString::number(shortOfRight, 'g', 7), QStringLiteral("460.8"));
}

void TestLayout::menuButtonsShareTheBand_data() {
    QTest::addColumn<int>("widthPx");
    QTest::addColumn<int>("heightPx");

    QTest::newRow("800x600") << 800 << 600;
    QTest::newRow("1024x768") << 1024 << 768;
    QTest::newRow("1280x1024") << 1280 << 1024;
    QTest::newRow("1366x768") << 1366 << 768;
    QTest::newRow("1920x1080") << 1920 << 1080;
}

void TestLayout::menuButtonsShareTheBand() {
    QFETCH(int, widthPx);
    QFETCH(int, heightPx);
    const auto layout = screens::ComputeMainLayout(MainScreen(widthPx, heightPx));
    const float rule = layout.lines.value(QStringLiteral("Sep1H")).y1;
    const float barTop = layout.boxes.value(QStringLiteral("StatusBar")).top;

    // Nine equal bands between the rule and the status bar; the buttons take
    // every second one, starting with the second.
    QCOMPARE_EQ(layout.h, (barTop - rule) / 9.0f);
    const QStringList buttons = {QStringLiteral("cmdLogin"), QStringLiteral("cmdCat"),
                                 QStringLiteral("cmdURL"), QStringLiteral("cmdQuit")};
    float previousBottom = rule;
    for (const QString &name : buttons) {
        const Box b = layout.boxes.value(name);
        QCOMPARE_EQ(b.height, layout.h);
        QCOMPARE_EQ(b.top, previousBottom + layout.h);
        QCOMPARE_EQ(b.left, layout.boxes.value(QStringLiteral("cmdLogin")).left);
        QCOMPARE_EQ(b.width, layout.boxes.value(QStringLiteral("cmdLogin")).width);
        previousBottom = Bottom(b);
    }
    // The ninth band lies between cmdQuit and the status bar. The bottom of
    // cmdQuit is reached by eight single-precision additions, so it may sit a
    // rounding step or two away from the exact band boundary.
    const float step = std::nextafter(barTop, 2 * barTop) - barTop;
    QVERIFY2(std::fabs((barTop - previousBottom) - layout.h) <= 2 * step,
             qPrintable(QStringLiteral("last gap %1, band %2")
                            .arg(barTop - previousBottom, 0, 'g', 9)
                            .arg(layout.h, 0, 'g', 9)));

    // The introduction spans the buttons' band; the working area sits right
    // of Sep1V.
    const Box intro = layout.boxes.value(QStringLiteral("lblIntro"));
    QCOMPARE_EQ(intro.top, layout.boxes.value(QStringLiteral("cmdLogin")).top);
    QCOMPARE_EQ(Bottom(intro), previousBottom);
    QVERIFY(intro.left > layout.lines.value(QStringLiteral("Sep1V")).x1);
}

void TestLayout::statusBarFollowsClientArea() {
    // A client area shorter than the screen (a window frame or a taskbar)
    // moves the status bar up and shrinks the bands, not the bar.
    auto in = MainScreen(1024, 768);
    in.clientHeight = 11520.0f - 450.0f;
    const auto layout = screens::ComputeMainLayout(in);
    QCOMPARE_EQ(layout.statusBarHeight, 345.6f);
    const float barTop = layout.boxes.value(QStringLiteral("StatusBar")).top;
    QCOMPARE_EQ(barTop, 11070.0f - 345.6f);
    QCOMPARE_EQ(layout.h, (barTop - 1843.2f) / 9.0f);
    QVERIFY(layout.h < screens::ComputeMainLayout(MainScreen(1024, 768)).h);
}

void TestLayout::subtitleFollowsWindowHeight() {
    auto in = MainScreen(1024, 768);
    const auto full = screens::ComputeMainLayout(in);
    const Box subTitle = full.boxes.value(QStringLiteral("lblSubTitle"));
    QCOMPARE_EQ(subTitle.top, 345.6f + 1843.2f);
    QCOMPARE_EQ(full.lines.value(QStringLiteral("Sep2H")).y1, 230.4f + Bottom(subTitle));

    // The subtitle and its rule take their offsets from the window's own
    // height, the title from the screen's.
    in.WH = 10000.0f;
    const auto shorter = screens::ComputeMainLayout(in);
    const Box shorterSubTitle = shorter.boxes.value(QStringLiteral("lblSubTitle"));
    QCOMPARE_EQ(shorterSubTitle.top, 300.0f + 1843.2f);
    QCOMPARE_EQ(shorter.lines.value(QStringLiteral("Sep2H")).y1, 200.0f + Bottom(shorterSubTitle));
    QCOMPARE_EQ(shorter.boxes.value(QStringLiteral("lblTitle")).top, 345.6f);
}

void TestLayout::panelsShareRectangles() {
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    const auto box = [&](const char *name) {
        return layout.boxes.value(QString::fromLatin1(name));
    };
    const auto same = [](const Box &a, const Box &b) {
        return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
    };

    // Category screens: from the bottom of cmdLogin to the bottom of cmdQuit.
    const Box cat = box("pctCatAdd");
    QCOMPARE_EQ(cat.top, Bottom(box("cmdLogin")));
    QCOMPARE_EQ(cat.height, Bottom(box("cmdQuit")) - Bottom(box("cmdLogin")));
    QCOMPARE_EQ(cat.left, box("lblSubTitle").left);
    for (const char *name : {"pctCatDel", "pctCatMod", "fraCatView"})
        QVERIFY2(same(box(name), cat), name);

    // URL screens: from the bottom of the category chooser to the bottom of cmdQuit.
    const Box url = box("pctUrlAdd");
    QCOMPARE_EQ(url.top, Bottom(box("cmbUrlCat")));
    QCOMPARE_EQ(url.height, (Bottom(box("cmdQuit")) - box("cmbUrlCat").top) - 315.0f);
    QCOMPARE_EQ(url.left, box("lblSubTitle").left);
    for (const char *name : {"pctUrlDel", "pctUrlMod", "fraUrlView"})
        QVERIFY2(same(box(name), url), name);

    // Lines inside the two menus run from 2% of the frame height to its bottom.
    const Line sep2v = layout.lines.value(QStringLiteral("Sep2V"));
    QCOMPARE_EQ(sep2v.x1, cat.width * 5.0f / 100.0f + Right(box("lstCatView")));
    QCOMPARE_EQ(sep2v.x2, sep2v.x1);
    QCOMPARE_EQ(sep2v.y1, cat.height * 2.0f / 100.0f);
    QCOMPARE_EQ(sep2v.y2, cat.height);
    const Line sep3v = layout.lines.value(QStringLiteral("Sep3V"));
    QCOMPARE_EQ(sep3v.x1, url.width * 5.0f / 100.0f + Right(box("lstUrlView")));
    QCOMPARE_EQ(sep3v.y2, url.height);
}

void TestLayout::optionButtonsWidenDeleteCaption() {
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    const auto box = [&](const char *name) {
        return layout.boxes.value(QString::fromLatin1(name));
    };
    const float k = layout.k;
    QCOMPARE_EQ(k, box("lstCatView").height / 11.0f);

    // Category options: Add, Delete, Modify, Import, Export, Back two button
    // heights apart, starting level with the top of the list, the last one
    // ending level with its bottom.
    const float listTop = box("lstCatView").top;
    QCOMPARE_EQ(box("cmdCatViewA").top, listTop);
    QCOMPARE_EQ(box("cmdCatViewD").top, (k + k) + listTop);
    QCOMPARE_EQ(box("cmdCatViewM").top, (k + k) + box("cmdCatViewD").top);
    QCOMPARE_EQ(box("cmdCatViewI").top, (k + k) + box("cmdCatViewM").top);
    QCOMPARE_EQ(box("cmdCatViewX").top, (k + k) + box("cmdCatViewI").top);
    QCOMPARE_EQ(box("cmdCatViewCncl").top, (k + k) + box("cmdCatViewX").top);
    QVERIFY(qAbs(box("cmdCatViewCncl").top + k - (listTop + box("lstCatView").height)) < 0.01f);
    for (const char *name : {"cmdCatViewA", "cmdCatViewD", "cmdCatViewM", "cmdCatViewI",
                             "cmdCatViewX", "cmdCatViewCncl"}) {
        QCOMPARE_EQ(box(name).height, k);
        QCOMPARE_EQ(box(name).left, box("lblCatViewCh").left);
    }

    // URL options: View at 3% of the frame below the list's top, then Add,
    // Delete, Modify, Find, Back two button heights apart.
    const float u = layout.u;
    const float frameHeight = box("fraUrlView").height;
    QCOMPARE_EQ(u, (((box("txtUrlViewDesc").height + box("lstUrlView").height) +
                     frameHeight * 1.0f / 100.0f) *
                    0.9f) /
                       11.0f);
    const float urlListTop = box("lstUrlView").top;
    QCOMPARE_EQ(box("cmdUrlViewV").top, frameHeight * 3.0f / 100.0f + urlListTop);
    QCOMPARE_EQ(box("cmdUrlViewA").top, (u + u) + box("cmdUrlViewV").top);
    QCOMPARE_EQ(box("cmdUrlViewD").top, ((u * 4.0f) + urlListTop) + frameHeight * 3.0f / 100.0f);
    QCOMPARE_EQ(box("cmdUrlViewM").top, (u + u) + box("cmdUrlViewD").top);
    QCOMPARE_EQ(box("cmdUrlViewF").top, (u + u) + box("cmdUrlViewM").top);
    QCOMPARE_EQ(box("cmdUrlViewCncl").top, (u + u) + box("cmdUrlViewF").top);
    for (const char *name : {"cmdUrlViewV", "cmdUrlViewA", "cmdUrlViewD", "cmdUrlViewM",
                             "cmdUrlViewF", "cmdUrlViewCncl"})
        QCOMPARE_EQ(box(name).height, u);
}

void TestLayout::captionAndFontOverridesChangeWidths() {
    auto in = MainScreen(1024, 768);
    in.captions.insert(QStringLiteral("cmdCatViewD"), QStringLiteral("&Delete"));
    in.fontPoints.insert(QStringLiteral("lblCatView"), 12.0f);
    const auto layout = screens::ComputeMainLayout(in);

    // "&Delete": 7 * 82.5 = 577.5, plus a quarter.
    QCOMPARE_EQ(layout.boxes.value(QStringLiteral("cmdCatViewD")).width, 721.875f);
    QCOMPARE_EQ(layout.boxes.value(QStringLiteral("cmdCatViewCncl")).width, 721.875f);
    // "Existing Categories are : " (26 characters) at 12 pt.
    QCOMPARE_EQ(layout.boxes.value(QStringLiteral("lblCatView")).width, 3120.0f);
    // Controls without an override keep their built-in caption at 8.25 pt:
    // "Please choose an Option : " is 26 characters.
    QCOMPARE_EQ(layout.boxes.value(QStringLiteral("lblCatViewCh")).width, 2145.0f);
}

void TestLayout::urlPromptMovesLast() {
    const auto layout = screens::ComputeMainLayout(MainScreen(1024, 768));
    const float frameWidth = layout.boxes.value(QStringLiteral("fraUrlView")).width;
    const float sep3v = layout.lines.value(QStringLiteral("Sep3V")).x1;

    // The buttons keep the prompt's first left edge, 4.5% of the frame right
    // of Sep3V; the prompt itself ends up 1% right of it.
    const float first = frameWidth * 4.5f / 100.0f + sep3v;
    for (const char *name : {"cmdUrlViewV", "cmdUrlViewA", "cmdUrlViewD", "cmdUrlViewM",
                             "cmdUrlViewF", "cmdUrlViewCncl"})
        QCOMPARE_EQ(layout.boxes.value(QString::fromLatin1(name)).left, first);
    QCOMPARE_EQ(layout.boxes.value(QStringLiteral("lblUrlViewCh")).left,
                frameWidth * 1.0f / 100.0f + sep3v);
}

void TestLayout::openAllAndLinkCategoryControls_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("800x600") << 800 << 600;
    QTest::newRow("1024x768") << 1024 << 768;
    QTest::newRow("1920x1080") << 1920 << 1080;
}

void TestLayout::openAllAndLinkCategoryControls() {
    QFETCH(int, width);
    QFETCH(int, height);
    const auto layout = screens::ComputeMainLayout(MainScreen(width, height));
    auto box = [&](const char *name) { return layout.boxes.value(QString::fromLatin1(name)); };
    const float frameHeight = box("fraUrlView").height;

    // On the URLs menu: as wide as the options, ending where the list ends,
    // level with the list's count, 1% of the frame above the list.
    const screens::Box open = box("cmdUrlViewO");
    QCOMPARE_EQ(open.width, box("cmdUrlViewD").width);
    QCOMPARE_EQ(open.top, box("lblUrlView").top);
    QCOMPARE_EQ(open.left, (box("lstUrlView").width + box("lstUrlView").left) - open.width);
    QCOMPARE_EQ(open.height,
                (box("lstUrlView").top - box("lblUrlView").top) - frameHeight * 1.0f / 100.0f);
    // Clear of the count, even with five digits before it.
    QVERIFY(box("lblUrlView").left + box("lblUrlView").width + 6 * 82.5f < open.left);

    // On the Find URL menu: over Back, one button's height between them.
    const float u = layout.u;
    const screens::Box found = box("cmdUrlFindO");
    QCOMPARE_EQ(found.height, u);
    QCOMPARE_EQ(found.width, box("cmdUrlFindCncl").width);
    QCOMPARE_EQ(found.left, box("cmdUrlFindCncl").left);
    QCOMPARE_EQ(found.top, (box("cmdUrlFindCncl").top - u) - u);
    QVERIFY(found.top > box("lblUrlFindCh").top);

    // The category of dropped links: at the right end of the row over the
    // table of changed texts, 1% of the panel above it, after its prompt.
    const float panelHeight = box("pctCatImp").height;
    const screens::Box chooser = box("cmbCatImp");
    QCOMPARE_EQ(chooser.height, 315.0f);
    QCOMPARE_EQ(chooser.width, box("pctCatImp").width * 30.0f / 100.0f);
    QCOMPARE_EQ(chooser.left, (box("lstCatImp").width + box("lstCatImp").left) - chooser.width);
    QCOMPARE_EQ(chooser.top, (box("lstCatImp").top - panelHeight * 1.0f / 100.0f) - chooser.height);
    const screens::Box prompt = box("lblCatImpCat");
    QCOMPARE_EQ(prompt.top, chooser.top);
    QVERIFY(qAbs((prompt.left + prompt.width) - chooser.left) < 0.01f);
    QVERIFY(prompt.left > box("lblCatImpCh").left + box("lblCatImpCh").width);
}

// Every control of either window that is ever shown gets a box (a
// separator line its two ends), and every box belongs to such a control, to
// the main window itself or to its status bar. The two hidden dispatching
// buttons are never shown and never placed.
void TestLayout::everyShownControlIsPlaced() {
    const auto main = screens::ComputeMainLayout(MainScreen(1024, 768));
    const auto login = screens::ComputeLoginLayout(LoginScreen(1024, 768));
    QStringList unplaced;
    QStringList misplaced;
    QSet<QString> mainNames{QStringLiteral("frmMain"), QStringLiteral("StatusBar")};
    for (const screens::ControlRow &row : frmMain::catalogue()) {
        const QString name = QLatin1String(row.name);
        const bool placed = main.boxes.contains(name) || main.lines.contains(name);
        if (row.flags & screens::NeverShown) {
            if (placed)
                misplaced << name;
            continue;
        }
        mainNames.insert(name);
        const bool line = name.startsWith(QLatin1String("Sep"));
        if (!(line ? main.lines.contains(name) : main.boxes.contains(name)))
            unplaced << name;
    }
    QSet<QString> loginNames;
    for (const screens::ControlRow &row : frmLogin::catalogue()) {
        const QString name = QLatin1String(row.name);
        loginNames.insert(name);
        if (!login.boxes.contains(name))
            unplaced << QStringLiteral("frmLogin.") + name;
    }
    for (auto it = main.boxes.cbegin(); it != main.boxes.cend(); ++it) {
        if (!mainNames.contains(it.key()))
            misplaced << it.key();
    }
    for (auto it = main.lines.cbegin(); it != main.lines.cend(); ++it) {
        if (!mainNames.contains(it.key()))
            misplaced << it.key();
    }
    for (auto it = login.boxes.cbegin(); it != login.boxes.cend(); ++it) {
        if (!loginNames.contains(it.key()))
            misplaced << QStringLiteral("frmLogin.") + it.key();
    }
    QVERIFY2(unplaced.isEmpty(), qPrintable(QStringLiteral("not placed: ") + unplaced.join(u' ')));
    QVERIFY2(misplaced.isEmpty(), qPrintable(QStringLiteral("placed: ") + misplaced.join(u' ')));
}

void TestLayout::loginWindowSize_data() {
    QTest::addColumn<int>("widthPx");
    QTest::addColumn<int>("heightPx");
    QTest::addColumn<float>("expectedWidth");
    QTest::addColumn<float>("expectedHeight");

    // Up to 600 pixels high: 60% of the width, and 60% of the height for
    // the rows; taller: 35% and 40%. The window is as high as the rows and
    // the Change Password row, 22% of them, besides (5400 + 1188 = 6588).
    QTest::newRow("800x600, exactly 9000 twips") << 800 << 600 << 7200.0f << 6588.0f;
    QTest::newRow("800x601, 9015 twips") << 800 << 601 << 4200.0f << 4399.32f;
    QTest::newRow("640x480") << 640 << 480 << 5760.0f << 5270.4f;
    QTest::newRow("1024x768") << 1024 << 768 << 5376.0f << 5621.76f;
}

void TestLayout::loginWindowSize() {
    QFETCH(int, widthPx);
    QFETCH(int, heightPx);
    QFETCH(float, expectedWidth);
    QFETCH(float, expectedHeight);
    const auto layout = screens::ComputeLoginLayout(LoginScreen(widthPx, heightPx));
    QCOMPARE_EQ(layout.FW, expectedWidth);
    QCOMPARE_EQ(layout.FH, expectedHeight);
}

void TestLayout::loginFigures800x600_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("property");
    QTest::addColumn<float>("expected");

    auto row = [](const char *control, const char *property, float expected) {
        QTest::addRow("%s.%s", control, property)
            << QString::fromLatin1(control) << QString::fromLatin1(property) << expected;
    };
    row("fraLogin", "width", 6768.0f);
    // 86% of the rows' 5400, and the Change Password row's 1188.
    row("fraLogin", "height", 5832.0f);
    row("fraLogin", "left", 144.0f);
    row("fraLogin", "top", 108.0f);
    row("cmdLogin", "width", 1440.0f);
    row("cmdLogin", "height", 810.0f);
    row("cmdLogin", "left", 1800.0f);
    row("cmdCancel", "width", 1440.0f);
    row("cmdCancel", "height", 810.0f);
    row("cmdCancel", "left", 3960.0f);
    row("lblUser", "width", 1072.5f);
    row("lblUser", "left", 720.0f);
    row("txtUser", "width", 4255.5f);
    row("txtUser", "left", 1792.5f);
    row("txtPass", "width", 4255.5f);
    row("txtPass", "left", 1792.5f);
    // The new-user button spans the label and the box: 720 to 6048.
    row("cmdNewUser", "left", 720.0f);
    row("cmdNewUser", "width", 5328.0f);
    row("cmdNewUser", "top", 3510.0f);
    row("cmdNewUser", "height", 702.0f);
    // As high as Login, 378 (7%) under the new-user button, as wide as its
    // 16 characters (1320) and a quarter more, ending where it ends.
    row("cmdChangePass", "height", 810.0f);
    row("cmdChangePass", "top", 4590.0f);
    row("cmdChangePass", "width", 1650.0f);
    row("cmdChangePass", "left", 4398.0f);
    row("lblNUser", "left", 360.0f);
    row("txtNUser", "width", 2880.0f);
    row("txtNRPass", "width", 2880.0f);
    row("cmdNCreate", "left", 1656.0f); // (3600 - 1440) - 504
    row("cmdNCancel", "left", 3960.0f);
}

void TestLayout::loginFigures800x600() {
    QFETCH(QString, control);
    QFETCH(QString, property);
    QFETCH(float, expected);
    const auto layout = screens::ComputeLoginLayout(LoginScreen(800, 600));
    QCOMPARE_EQ(Lookup(layout.boxes, control, property), expected);
}

void TestLayout::loginUserBoxShrinksWithLabel() {
    auto in = LoginScreen(800, 600);
    in.captions.insert(QStringLiteral("lblUser"), QStringLiteral("&User Name (case ignored) : "));
    const auto layout = screens::ComputeLoginLayout(in);
    const Box label = layout.boxes.value(QStringLiteral("lblUser"));
    const Box box = layout.boxes.value(QStringLiteral("txtUser"));

    // 28 characters: 2310 wide, so the box loses 1237.5 of its 4255.5 and
    // still ends at 84% of the window width.
    QCOMPARE_EQ(label.width, 2310.0f);
    QCOMPARE_EQ(box.width, 3018.0f);
    QCOMPARE_EQ(box.left, Right(label));
    QCOMPARE_EQ(Right(box), 6048.0f);
    QCOMPARE_EQ(layout.boxes.value(QStringLiteral("txtPass")).width, 3018.0f);
}

void TestLayout::loginFramesCoverSameRectangle() {
    const auto layout = screens::ComputeLoginLayout(LoginScreen(1024, 768));
    const Box login = layout.boxes.value(QStringLiteral("fraLogin"));
    const Box newUser = layout.boxes.value(QStringLiteral("fraNewUser"));
    QCOMPARE_EQ(newUser.left, login.left);
    QCOMPARE_EQ(newUser.top, login.top);
    QCOMPARE_EQ(newUser.width, login.width);
    QCOMPARE_EQ(newUser.height, login.height);

    // The three new-user boxes line up under each other, 3% of the window
    // width after the first label.
    const Box label = layout.boxes.value(QStringLiteral("lblNUser"));
    const float boxLeft = layout.FW * 3.0f / 100.0f + Right(label);
    for (const char *name : {"txtNUser", "txtNPass", "txtNRPass"})
        QCOMPARE_EQ(layout.boxes.value(QString::fromLatin1(name)).left, boxLeft);

    // The password frame covers it too; its four boxes start after the
    // longest prompt ("&Re-Enter New Password : ", 25 characters at 82.5
    // twips) and end where the sign-in frame's boxes end, and everything
    // in it lies inside it.
    const Box change = layout.boxes.value(QStringLiteral("fraChPass"));
    QCOMPARE_EQ(change.left, login.left);
    QCOMPARE_EQ(change.top, login.top);
    QCOMPARE_EQ(change.width, login.width);
    QCOMPARE_EQ(change.height, login.height);
    const float promptLeft = layout.boxes.value(QStringLiteral("lblChUser")).left;
    const float signInRight = Right(layout.boxes.value(QStringLiteral("txtUser")));
    for (const char *name : {"txtChUser", "txtChPass", "txtChNPass", "txtChNRPass"}) {
        const Box box = layout.boxes.value(QString::fromLatin1(name));
        QCOMPARE_EQ(box.left, promptLeft + 2062.5f);
        QCOMPARE_EQ(Right(box), signInRight);
    }
    for (const screens::ControlRow &row : frmLogin::catalogue()) {
        if (qstrcmp(row.container, "fraChPass") != 0)
            continue;
        const Box box = layout.boxes.value(QLatin1String(row.name));
        QVERIFY2(box.left > 0 && Right(box) < change.width, row.name);
        QVERIFY2(box.top > 0 && Bottom(box) < change.height, row.name);
    }
}

void TestLayout::loginChangePassFitsFrame_data() {
    QTest::addColumn<int>("widthPx");
    QTest::addColumn<int>("heightPx");
    QTest::newRow("640x480") << 640 << 480;
    QTest::newRow("800x600, the last of 60%") << 800 << 600;
    QTest::newRow("800x601, the first of 40%") << 800 << 601;
    QTest::newRow("1920x1080") << 1920 << 1080;
}

void TestLayout::loginChangePassFitsFrame() {
    QFETCH(int, widthPx);
    QFETCH(int, heightPx);
    const auto layout = screens::ComputeLoginLayout(LoginScreen(widthPx, heightPx));
    const Box frame = layout.boxes.value(QStringLiteral("fraLogin"));
    const Box login = layout.boxes.value(QStringLiteral("cmdLogin"));
    const Box way = layout.boxes.value(QStringLiteral("cmdChangePass"));

    // As high as Login, and as wide as its caption (16 characters at 82.5
    // twips) and more, under the new-user button and wholly inside the
    // sign-in frame (whose boxes are relative to it).
    QCOMPARE_EQ(way.height, login.height);
    QVERIFY(way.width > 1320.0f);
    QVERIFY(way.top > Bottom(layout.boxes.value(QStringLiteral("cmdNewUser"))));
    QVERIFY(way.left > 0 && Right(way) < frame.width);
    QVERIFY(way.top > 0 && Bottom(way) < frame.height);
    // The frame wholly inside the window.
    QVERIFY(frame.left > 0 && Right(frame) < layout.FW);
    QVERIFY(frame.top > 0 && Bottom(frame) < layout.FH);
}

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"

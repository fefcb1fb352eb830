#include "screens/urllayout.h"

#include <QTest>

using screens::Box;

// The caption-width rule and the three URL panel layouts, with figures worked
// out by hand. Compared with ==: single-precision results must be exact.
namespace {

Box Make(float left, float top, float width, float height) {
    Box b;
    b.left = left;
    b.top = top;
    b.width = width;
    b.height = height;
    return b;
}

} // namespace

class tst_UrlLayout : public QObject {
    Q_OBJECT
private slots:
    void captionWidth_data();
    void captionWidth();
    void addPanel();
    void deletePanel();
    void modifyPanel();
    void panelsKeepWhatTheyDoNotMove();
};

void tst_UrlLayout::captionWidth_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<float>("points");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("comboLeft");

    QTest::newRow("URL menu at 8 pt")
        << QStringLiteral("Please choose a Category : ") << 8.0f << 2160.0f << 2760.0f;
    QTest::newRow("URL menu at 8.25 pt")
        << QStringLiteral("Please choose a Category : ") << 8.25f << 2227.5f << 2827.5f;
    QTest::newRow("Add panel at 8.25 pt")
        << QStringLiteral("Please choose the category to Add this URL under : ") << 8.25f << 4207.5f
        << 4807.5f;
    QTest::newRow("Delete panel at 8 pt")
        << QStringLiteral("Please choose the category which has the URL you want to Delete : ")
        << 8.0f << 5280.0f << 5880.0f;
    QTest::newRow("Modify panel at 8.25 pt")
        << QStringLiteral("Please choose the category which has the URL : ") << 8.25f << 3877.5f
        << 4477.5f;
    QTest::newRow("empty caption") << QString() << 8.25f << 0.0f << 600.0f;
}

void tst_UrlLayout::captionWidth() {
    QFETCH(QString, caption);
    QFETCH(float, points);
    QFETCH(float, width);
    QFETCH(float, comboLeft);

    QHash<QString, Box> b;
    b.insert(QStringLiteral("lblUrlCat"), Make(600, 2000, 480, 300));
    b.insert(QStringLiteral("cmbUrlCat"), Make(1080, 2000, 7000, 315));
    screens::ApplyUrlCaptionWidth(b, caption, points);
    QCOMPARE_EQ(b[QStringLiteral("lblUrlCat")].width, width);
    QCOMPARE_EQ(b[QStringLiteral("lblUrlCat")].left, 600.0f);
    QCOMPARE_EQ(b[QStringLiteral("cmbUrlCat")].left, comboLeft);
    QCOMPARE_EQ(b[QStringLiteral("cmbUrlCat")].width, 7000.0f);
}

void tst_UrlLayout::addPanel() {
    QHash<QString, Box> b;
    b.insert(QStringLiteral("lblUrlCat"), Make(600, 2000, 2160, 300));
    b.insert(QStringLiteral("pctUrlAdd"), Make(600, 2315, 12000, 6000));
    b.insert(QStringLiteral("lblUrlAdd"), Make(0, 300, 0, 420));
    b.insert(QStringLiteral("lblUrlAddCh"), Make(0, 1100, 0, 420));
    b.insert(QStringLiteral("txtUrlAdd"), Make(0, 300, 6000, 420));
    b.insert(QStringLiteral("txtUrlAddCh"), Make(0, 1100, 6000, 1800));
    b.insert(QStringLiteral("cmdUrlAdd"), Make(0, 3500, 1000, 900));
    b.insert(QStringLiteral("cmdUrlAddCncl"), Make(0, 3500, 1000, 900));
    screens::LayoutUrlAddPanel(b);

    QCOMPARE_EQ(b[QStringLiteral("lblUrlAdd")].width, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("lblUrlAddCh")].width, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlAdd")].left, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlAddCh")].left, 2160.0f);
    // (2160 + 6000 - 0) / 2 - 1000
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlAdd")].left, 3080.0f);
    // 12000 * 6 / 100 + 3080 + 1000
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlAddCncl")].left, 4800.0f);
}

void tst_UrlLayout::deletePanel() {
    QHash<QString, Box> b;
    b.insert(QStringLiteral("lblUrlCat"), Make(600, 2000, 2160, 300));
    b.insert(QStringLiteral("pctUrlDel"), Make(600, 2315, 10000, 6000));
    b.insert(QStringLiteral("lblUrlDel"), Make(100, 300, 4000, 420));
    b.insert(QStringLiteral("cmbUrlDel"), Make(0, 300, 5000, 315));
    b.insert(QStringLiteral("cmdUrlDel"), Make(0, 1500, 900, 900));
    b.insert(QStringLiteral("cmdUrlDelCncl"), Make(0, 1500, 900, 900));
    screens::LayoutUrlDelPanel(b);

    // The chooser starts at the prompt's width (not after the panel's label).
    QCOMPARE_EQ(b[QStringLiteral("cmbUrlDel")].left, 2160.0f);
    // (2160 + 5000 - 100) / 2 - 900
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlDel")].left, 2630.0f);
    // 10000 * 6 / 100 + 2630 + 900
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlDelCncl")].left, 4130.0f);
}

void tst_UrlLayout::modifyPanel() {
    QHash<QString, Box> b;
    b.insert(QStringLiteral("lblUrlCat"), Make(600, 2000, 2160, 300));
    b.insert(QStringLiteral("cmbUrlCat"), Make(2760, 2000, 7000, 315));
    b.insert(QStringLiteral("pctUrlMod"), Make(600, 2315, 12000, 6000));
    b.insert(QStringLiteral("lblUrlMod"), Make(0, 300, 0, 420));
    b.insert(QStringLiteral("cmbUrlMod"), Make(1560, 300, 1455, 315));
    b.insert(QStringLiteral("lblUrlModCh"), Make(0, 900, 0, 420));
    b.insert(QStringLiteral("txtUrlMod"), Make(1560, 900, 1455, 420));
    b.insert(QStringLiteral("lblUrlModDesc"), Make(0, 1500, 0, 420));
    b.insert(QStringLiteral("txtUrlModDesc"), Make(0, 1500, 0, 1800));
    b.insert(QStringLiteral("cmdUrlMod"), Make(0, 3500, 1000, 900));
    b.insert(QStringLiteral("cmdUrlModCncl"), Make(0, 3500, 1000, 900));
    screens::LayoutUrlModPanel(b);

    QCOMPARE_EQ(b[QStringLiteral("lblUrlMod")].width, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("cmbUrlMod")].width, 7000.0f);
    QCOMPARE_EQ(b[QStringLiteral("cmbUrlMod")].left, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("lblUrlModCh")].width, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlMod")].width, 7000.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlMod")].left, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("lblUrlModDesc")].width, 2160.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlModDesc")].width, 7000.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlModDesc")].left, 2160.0f);
    // (2160 + 7000 - 0) / 2 - 1000
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlMod")].left, 3580.0f);
    // 12000 * 6 / 100 + 3580 + 1000
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlModCncl")].left, 5300.0f);
}

void tst_UrlLayout::panelsKeepWhatTheyDoNotMove() {
    QHash<QString, Box> b;
    b.insert(QStringLiteral("lblUrlCat"), Make(600, 2000, 2160, 300));
    b.insert(QStringLiteral("txtUrlAdd"), Make(0, 333, 6000, 444));
    b.insert(QStringLiteral("cmdUrlAdd"), Make(0, 3500, 1000, 900));
    screens::LayoutUrlAddPanel(b);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlAdd")].top, 333.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlAdd")].height, 444.0f);
    QCOMPARE_EQ(b[QStringLiteral("txtUrlAdd")].width, 6000.0f);
    QCOMPARE_EQ(b[QStringLiteral("cmdUrlAdd")].top, 3500.0f);
}

QTEST_GUILESS_MAIN(tst_UrlLayout)
#include "tst_urllayout.moc"

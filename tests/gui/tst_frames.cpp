// The frames of both windows as they are drawn: the inside and the labels in
// it in the form's colour, the caption written into the top border line.

#include "guitest.h"

#include <QGroupBox>
#include <QLabel>
#include <QTest>

namespace {

const QColor kFormGrey(0xE0, 0xE0, 0xE0);

// A frame as drawn on the screen, with where its controls are.
struct FrameShot {
    QImage image;
    QList<QRect> labels;
    QList<QRect> others;
    QList<QRect> rules; // its separator lines
    int insideTop = 0;  // first row of the frame's contents
    QColor windowText;
};

FrameShot Shoot(QGroupBox *frame) {
    FrameShot shot;
    shot.image = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible())
            continue;
        (qobject_cast<QLabel *>(child) ? shot.labels : shot.others) << child->geometry();
        if (qobject_cast<screens::Separator *>(child))
            shot.rules << child->geometry();
    }
    shot.insideTop = frame->contentsRect().top();
    shot.windowText = frame->palette().color(QPalette::WindowText);
    return shot;
}

// Shows the frame a user reaches by `screen` and photographs it.
FrameShot ShootFrame(const QString &screen) {
    GuiTestEnv env;
    frmMain &main = env.mainWindow();
    FrameShot shot;
    if (screen == QLatin1String("Categories menu")) {
        SignInWithCategories(env, {{QStringLiteral("News"), 1}});
        main.cmdCat_Click();
        shot = Shoot(main.fraCatView);
    } else if (screen == QLatin1String("URL menu")) {
        SignInWithCategories(env, {{QStringLiteral("News"), 1}});
        main.cmdURL_Click();
        shot = Shoot(main.fraUrlView);
    } else {
        WithSignInWindow(main, [&](frmLogin &login) {
            if (screen == QLatin1String("new-user frame")) {
                login.cmdNewUser_Click();
                shot = Shoot(login.fraNewUser);
            } else if (screen == QLatin1String("change-password frame")) {
                login.cmdChangePass_Click();
                shot = Shoot(login.fraChPass);
            } else {
                shot = Shoot(login.fraLogin);
            }
        });
    }
    return shot;
}

QString Describe(const QColor &c) {
    return QStringLiteral("#%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'));
}

// The colour found most often in `rect` of `image`.
QColor CommonestColour(const QImage &image, const QRect &rect) {
    QHash<QRgb, int> counts;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            best = it.key();
            most = it.value();
        }
    }
    return QColor(best);
}

// Dark enough to be the caption's ink rather than the border or the ground.
bool IsInk(const QColor &c) {
    return qGray(c.rgb()) < 0x60;
}

} // namespace

class tst_Frames : public QObject {
    Q_OBJECT
private slots:
    void insideIsTheFormColour_data();
    void insideIsTheFormColour();
    void captionSitsInTheBorderLine_data();
    void captionSitsInTheBorderLine();
    void separatorsStayInsideTheBorder_data();
    void separatorsStayInsideTheBorder();
};

static void frameRows() {
    QTest::addColumn<QString>("screen");
    QTest::newRow("Categories menu") << "Categories menu";
    QTest::newRow("URL menu") << "URL menu";
    QTest::newRow("sign-in frame") << "sign-in frame";
    QTest::newRow("new-user frame") << "new-user frame";
    QTest::newRow("change-password frame") << "change-password frame";
}

void tst_Frames::insideIsTheFormColour_data() {
    frameRows();
}

void tst_Frames::insideIsTheFormColour() {
    QFETCH(QString, screen);
    const FrameShot shot = ShootFrame(screen);
    QVERIFY(!shot.image.isNull());
    QVERIFY(!shot.labels.isEmpty());

    // Every point inside the border that no control covers.
    const QImage &img = shot.image;
    int checked = 0;
    for (int y = shot.insideTop; y < img.height() - 3; ++y) {
        for (int x = 3; x < img.width() - 3; ++x) {
            const QPoint p(x, y);
            const auto covers = [&](const QRect &r) { return r.contains(p); };
            if (std::any_of(shot.labels.cbegin(), shot.labels.cend(), covers) ||
                std::any_of(shot.others.cbegin(), shot.others.cend(), covers))
                continue;
            const QColor c = img.pixelColor(p);
            if (c != kFormGrey)
                QFAIL(qPrintable(
                    QStringLiteral("inside at (%1, %2): %3").arg(x).arg(y).arg(Describe(c))));
            ++checked;
        }
    }
    QVERIFY(checked > 1000);

    // Behind the labels' text: the same grey, no lighter or darker patch.
    for (const QRect &label : shot.labels)
        QCOMPARE(CommonestColour(img, label), kFormGrey);
}

void tst_Frames::captionSitsInTheBorderLine_data() {
    frameRows();
}

void tst_Frames::captionSitsInTheBorderLine() {
    QFETCH(QString, screen);
    const FrameShot shot = ShootFrame(screen);
    const QImage &img = shot.image;
    QVERIFY(!img.isNull());

    // The border's top line, found down the left edge, left of any caption.
    int line = -1;
    for (int y = 0; y < shot.insideTop && line < 0; ++y)
        if (img.pixelColor(1, y) != kFormGrey)
            line = y;
    QVERIFY2(line >= 0, "no top border line above the contents");
    const QColor lineColour = img.pixelColor(1, line);

    // The caption's ink: between the top and the contents.
    int inkTop = INT_MAX, inkBottom = -1, inkLeft = INT_MAX, inkRight = -1;
    QColor darkest(Qt::white);
    for (int y = 0; y < shot.insideTop; ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            const auto covers = [&](const QRect &r) { return r.contains(x, y); };
            if (!IsInk(c) || std::any_of(shot.labels.cbegin(), shot.labels.cend(), covers) ||
                std::any_of(shot.others.cbegin(), shot.others.cend(), covers))
                continue;
            if (qGray(c.rgb()) < qGray(darkest.rgb()))
                darkest = c;
            inkTop = std::min(inkTop, y);
            inkBottom = std::max(inkBottom, y);
            inkLeft = std::min(inkLeft, x);
            inkRight = std::max(inkRight, x);
        }
    }
    QVERIFY2(inkBottom >= 0, "no caption");
    // Its strokes are the window-text colour, softened at most a little at
    // their edges.
    const auto near = [](int a, int b) { return qAbs(a - b) <= 0x10; };
    QVERIFY2(near(darkest.red(), shot.windowText.red()) &&
                 near(darkest.green(), shot.windowText.green()) &&
                 near(darkest.blue(), shot.windowText.blue()),
             qPrintable(Describe(darkest)));
    // The line runs through the caption's text, not under or over it.
    QVERIFY2(inkTop < line && line < inkBottom,
             qPrintable(QStringLiteral("caption rows %1..%2, line at %3")
                            .arg(inkTop)
                            .arg(inkBottom)
                            .arg(line)));
    // It stops short of the caption on both sides and goes on beyond it.
    const auto gapBetween = [&](int from, int to) {
        for (int x = from; x < to; ++x)
            if (img.pixelColor(x, line) == kFormGrey)
                return true;
        return false;
    };
    QVERIFY2(gapBetween(2, inkLeft), "the line runs into the caption from the left");
    QVERIFY2(gapBetween(inkRight + 1, img.width() - 3),
             "the line runs into the caption from the right");
    QCOMPARE(img.pixelColor(img.width() - 3, line), lineColour);
}

void tst_Frames::separatorsStayInsideTheBorder_data() {
    QTest::addColumn<QString>("screen");
    QTest::newRow("Categories menu") << "Categories menu";
    QTest::newRow("URL menu") << "URL menu";
}

void tst_Frames::separatorsStayInsideTheBorder() {
    QFETCH(QString, screen);
    const FrameShot shot = ShootFrame(screen);
    const QImage &img = shot.image;
    QVERIFY(!img.isNull());

    // The vertical rule between the list and the option buttons meets the
    // bottom border, which runs on unbroken below it.
    QCOMPARE(shot.rules.size(), 1);
    const int rule = shot.rules.first().left();
    const int bottom = img.height() - 2; // the darker of the border's two lines
    const QColor dark = img.pixelColor(img.width() / 2, bottom);
    const QColor light = img.pixelColor(img.width() / 2, bottom + 1);
    QVERIFY(dark != kFormGrey);
    QVERIFY(img.pixelColor(rule, bottom - 5) != kFormGrey);
    for (int x = rule - 2; x <= rule + 3; ++x) {
        QCOMPARE(img.pixelColor(x, bottom), dark);
        QCOMPARE(img.pixelColor(x, bottom + 1), light);
    }
}

QTEST_MAIN(tst_Frames)
#include "tst_frames.moc"

#include "screens/statusbar.h"

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <numeric>

using screens::StatusBar;

namespace {

// Writes fake keyboard LEDs into `folder`: each entry "device::led=level"
// becomes the folder device::led holding a brightness file.
bool WriteLeds(const QString &folder, const QStringList &leds) {
    for (const QString &entry : leds) {
        const QString name = entry.section(u'=', 0, 0);
        const QString level = entry.section(u'=', 1);
        if (!QDir(folder).mkpath(name))
            return false;
        QFile file(folder + u'/' + name + QStringLiteral("/brightness"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        if (file.write(level.toLatin1()) != level.size())
            return false;
    }
    return true;
}

} // namespace

class tst_StatusBar : public QObject {
    Q_OBJECT

private slots:
    void panelsInOrder_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        const int centred = Qt::AlignHCenter | Qt::AlignVCenter;
        QTest::newRow("1 Main") << 1 << "Main"
                                << "Status :" << centred;
        QTest::newRow("2 Desc") << 2 << "Desc"
                                << "Ready (Main Menu)" << int(Qt::AlignLeft | Qt::AlignVCenter);
        QTest::newRow("3 NUM") << 3 << "NUM"
                               << "NUM" << centred;
        QTest::newRow("4 CAPS") << 4 << "CAPS"
                                << "CAPS" << centred;
        QTest::newRow("5 INS") << 5 << "INS"
                               << "INS" << centred;
        QTest::newRow("6 SCRL") << 6 << "SCRL"
                                << "SCRL" << centred;
        QTest::newRow("7 DATE") << 7 << "DATE" << QString() << centred;
        QTest::newRow("8 TIME") << 8 << "TIME" << QString() << centred;
    }

    void panelsInOrder() {
        QFETCH(int, index);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, alignment);

        StatusBar bar;
        bar.resize(800, 24);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));

        QLabel *label = bar.panel(index);
        QVERIFY(label);
        QCOMPARE(bar.key(index), key);
        QCOMPARE(bar.panel(key), label);
        QCOMPARE(bar.panel(key.toLower()), label);
        QCOMPARE(label->objectName(), QStringLiteral("panel") + key);
        QVERIFY(!label->accessibleName().isEmpty());
        QCOMPARE(int(label->alignment()), alignment);
        if (!text.isNull())
            QCOMPARE(label->text(), text);
        QVERIFY(label->isVisible());
        // Panels stand left to right in index order.
        if (index > 1)
            QVERIFY(bar.panel(index - 1)->geometry().right() < label->geometry().left());
    }

    // What assistive technology reads from each panel: the text shown as its
    // name and what the panel is as its description.
    void panelsSpeakTheirText_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("1 Main") << 1 << "Status :"
                                << "Status";
        QTest::newRow("2 Desc") << 2 << "Ready (Main Menu)"
                                << "Status line";
        QTest::newRow("3 NUM") << 3 << "NUM"
                               << "Num Lock, on";
        QTest::newRow("4 CAPS") << 4 << "CAPS"
                                << "Caps Lock, off";
        QTest::newRow("5 INS") << 5 << "INS"
                               << "Insert mode, off";
        QTest::newRow("6 SCRL") << 6 << "SCRL"
                                << "Scroll Lock, unknown";
        QTest::newRow("7 DATE") << 7 << QString() << "Date";
        QTest::newRow("8 TIME") << 8 << QString() << "Time";
    }

    void panelsSpeakTheirText() {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(WriteLeds(dir.path(), {"input3::numlock=1", "input3::capslock=0"}));
        StatusBar bar;
        bar.setLedFolder(dir.path());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));

        QLabel *label = bar.panel(index);
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(label);
        QVERIFY(spoken);
        // Date and time: whatever the panel shows right now.
        const QString expected = name.isNull() ? label->text() : name;
        QVERIFY(!expected.isEmpty());
        QCOMPARE(spoken->text(QAccessible::Name), expected);
        QCOMPARE(spoken->text(QAccessible::Description), description);
    }

    void statusLineIsHeardAsItChanges() {
        StatusBar bar;
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(bar.panel(2));
        QVERIFY(spoken);
        bar.setStatusText(QStringLiteral("Please Wait...Adding Category!"));
        QCOMPARE(spoken->text(QAccessible::Name), QStringLiteral("Please Wait...Adding Category!"));
        QCOMPARE(bar.panel(2)->accessibleName(), QStringLiteral("Please Wait...Adding Category!"));

        // The Insert panel says when it is switched on.
        bar.setInsertMode(true);
        QCOMPARE(
            QAccessible::queryAccessibleInterface(bar.panel("INS"))->text(QAccessible::Description),
            QStringLiteral("Insert mode, on"));
    }

    void noSuchPanel() {
        StatusBar bar;
        for (int index : {0, 9, -1}) {
            QCOMPARE(bar.panel(index), nullptr);
            QCOMPARE(bar.key(index), QString());
        }
        QCOMPARE(bar.panel(QStringLiteral("Status")), nullptr);
        QCOMPARE(bar.findChildren<QLabel *>().size(), StatusBar::kPanelCount);
        QVERIFY(!bar.isSizeGripEnabled());
    }

    void statusTextGoesToPanel2() {
        StatusBar bar;
        const QString text = QStringLiteral("Please wait...Adding URL...");
        bar.setStatusText(text);
        QCOMPARE(bar.panel(2)->text(), text);
        QCOMPARE(bar.statusText(), text);
        QCOMPARE(bar.panel(1)->text(), QStringLiteral("Status :"));
        // Markup is shown as typed.
        bar.setStatusText(QStringLiteral("<b>x</b>"));
        QCOMPARE(bar.panel(2)->textFormat(), Qt::PlainText);
    }

    // The 1024-pixel-wide screen's widths: 5%, 55%, 5%, 5%, 5%, 5%, 10%, 10%.
    void widthsApplied() {
        const std::array<int, 8> widths{51, 563, 51, 51, 51, 51, 102, 102};
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addStretch();
        auto *bar = new StatusBar(&window);
        layout->addWidget(bar);
        bar->setPanelWidths(widths);
        const int total = std::accumulate(widths.begin(), widths.end(), 0);
        window.resize(total, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(bar->panelWidths(), widths);
        for (int index = 1; index <= 8; ++index) {
            if (index != 2)
                QCOMPARE(bar->panel(index)->width(), widths[index - 1]);
        }
        // The status line takes the room left between panel 1 and panel 3,
        // also when its text is longer than that room: a long text never
        // asks for a wider bar.
        bar->setStatusText(QString(500, u'W'));
        QApplication::processEvents(); // lets the layouts take in the new text
        QVERIFY(bar->minimumSizeHint().width() <= total);
        QTRY_COMPARE(bar->panel(8)->width(), widths[7]);
        const int gap = bar->panel(4)->x() - bar->panel(3)->geometry().right();
        QCOMPARE(bar->panel(2)->x() - bar->panel(1)->geometry().right(), gap);
        QCOMPARE(bar->panel(3)->x() - bar->panel(2)->geometry().right(), gap);
        QVERIFY(bar->panel(1)->x() < gap);
        QVERIFY(bar->panel(8)->geometry().right() < bar->width());
        QVERIFY(bar->panel(2)->width() > widths[1] / 2);
    }

    void readKeyboardLed_data() {
        QTest::addColumn<QStringList>("leds");
        QTest::addColumn<QString>("led");
        QTest::addColumn<int>("expected"); // -1 unknown, 0 off, 1 on

        QTest::newRow("no LEDs") << QStringList() << "numlock" << -1;
        QTest::newRow("off") << QStringList{"input3::numlock=0\n"} << "numlock" << 0;
        QTest::newRow("on") << QStringList{"input3::numlock=1\n"} << "numlock" << 1;
        QTest::newRow("full brightness") << QStringList{"input3::capslock=255"} << "capslock" << 1;
        QTest::newRow("second keyboard on")
            << QStringList{"input3::numlock=0", "input9::numlock=1"} << "numlock" << 1;
        QTest::newRow("first keyboard on")
            << QStringList{"input3::numlock=1", "input9::numlock=0"} << "numlock" << 1;
        QTest::newRow("both keyboards off")
            << QStringList{"input3::numlock=0", "input9::numlock=0"} << "numlock" << 0;
        QTest::newRow("other LEDs only")
            << QStringList{"input3::capslock=1", "input3::kana=1"} << "scrolllock" << -1;
        QTest::newRow("unreadable level")
            << QStringList{"input3::scrolllock=?"} << "scrolllock" << -1;
    }

    void readKeyboardLed() {
        QFETCH(QStringList, leds);
        QFETCH(QString, led);
        QFETCH(int, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(WriteLeds(dir.path(), leds));
        const std::optional<bool> state = screens::ReadKeyboardLed(dir.path(), led);
        QCOMPARE(state.has_value() ? int(*state) : -1, expected);
    }

    void missingLedFolderIsUnknown() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(!screens::ReadKeyboardLed(dir.filePath("absent"), "numlock").has_value());
    }

    void indicatorsFollowTheLeds() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(WriteLeds(dir.path(), {"input3::numlock=1", "input3::capslock=0"}));
        StatusBar bar;
        bar.setLedFolder(dir.path());

        QVERIFY(bar.panel("NUM")->isEnabled());
        QCOMPARE(bar.panel("NUM")->accessibleDescription(), QStringLiteral("Num Lock, on"));
        QVERIFY(!bar.panel("CAPS")->isEnabled());
        QCOMPARE(bar.panel("CAPS")->accessibleDescription(), QStringLiteral("Caps Lock, off"));
        QVERIFY(!bar.panel("SCRL")->isEnabled());
        QCOMPARE(bar.panel("SCRL")->accessibleDescription(),
                 QStringLiteral("Scroll Lock, unknown"));
        QCOMPARE(bar.panel("NUM")->text(), QStringLiteral("NUM"));

        // The bar notices a change by itself.
        QVERIFY(WriteLeds(dir.path(), {"input3::numlock=0", "input3::capslock=1"}));
        QTRY_VERIFY_WITH_TIMEOUT(bar.panel("CAPS")->isEnabled(), 3000);
        QVERIFY(!bar.panel("NUM")->isEnabled());
        QCOMPARE(bar.panel("NUM")->accessibleDescription(), QStringLiteral("Num Lock, off"));
        QCOMPARE(bar.panel("CAPS")->accessibleDescription(), QStringLiteral("Caps Lock, on"));
    }

    // One press of Insert switches the mode once, wherever it is pressed,
    // even though no widget takes the key and it is offered to every parent.
    void insertKeyTogglesInsertMode() {
        StatusBar bar;
        QWidget window;
        auto *inner = new QWidget(&window);
        auto *innermost = new QWidget(inner);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(!bar.insertMode());
        QVERIFY(!bar.panel("INS")->isEnabled());
        // Offered to three, two and one widgets in turn.
        for (QWidget *target : {innermost, inner, &window, innermost}) {
            const bool before = bar.insertMode();
            QTest::keyClick(target, Qt::Key_Insert);
            QCOMPARE(bar.insertMode(), !before);
            QCOMPARE(bar.panel("INS")->isEnabled(), !before);
        }
        QVERIFY(!bar.insertMode());

        // A press from the window system reaches the window first.
        QTest::keyClick(window.windowHandle(), Qt::Key_Insert);
        QVERIFY(bar.insertMode());
        QTest::keyClick(window.windowHandle(), Qt::Key_Insert);
        QVERIFY(!bar.insertMode());

        // Other keys and held-down repeats leave it alone.
        QTest::keyClick(innermost, Qt::Key_Delete);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(innermost, &repeat);
        QVERIFY(!bar.insertMode());
        QVERIFY(!bar.panel("INS")->isEnabled());
    }

    void dateAndTimeAreCurrent() {
        const QLocale locale;
        const QDateTime before = QDateTime::currentDateTime();
        StatusBar bar;
        const QDateTime after = QDateTime::currentDateTime();
        const QStringList dates{locale.toString(before.date(), QLocale::ShortFormat),
                                locale.toString(after.date(), QLocale::ShortFormat)};
        const QStringList times{locale.toString(before.time(), QLocale::ShortFormat),
                                locale.toString(after.time(), QLocale::ShortFormat)};
        QVERIFY2(dates.contains(bar.panel("DATE")->text()), qPrintable(bar.panel("DATE")->text()));
        QVERIFY2(times.contains(bar.panel("TIME")->text()), qPrintable(bar.panel("TIME")->text()));
        QVERIFY(!bar.panel("TIME")->text().isEmpty());
    }
};

QTEST_MAIN(tst_StatusBar)
#include "tst_statusbar.moc"

#include "screens/limitedtextedit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

using screens::LimitedTextEdit;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString Xs(int n) {
    return QString(n, u'x');
}

} // namespace

class tst_LimitedTextEdit : public QObject {
    Q_OBJECT

private:
    // A shown description box holding `text`, with document positions
    // [selStart, selEnd) selected, or the cursor at the end when selStart < 0.
    void prepare(LimitedTextEdit &edit, const QString &text, int selStart = -1, int selEnd = -1) {
        edit.setMaxLength(screens::kDescriptionMaxLength);
        edit.setText(text);
        QTextCursor cursor = edit.textCursor();
        if (selStart < 0) {
            cursor.movePosition(QTextCursor::End);
        } else {
            cursor.setPosition(selStart);
            cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
        }
        edit.setTextCursor(cursor);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
    }

private slots:
    void cleanup() { QApplication::clipboard()->clear(); }

    void storedForm_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("stored");
        QTest::newRow("CR LF kept") << "alpha\r\nbeta"
                                    << "alpha\r\nbeta";
        QTest::newRow("LF alone") << "alpha\nbeta"
                                  << "alpha\r\nbeta";
        QTest::newRow("trailing break") << "alpha\r\n"
                                        << "alpha\r\n";
        QTest::newRow("two breaks") << "\r\n\r\n"
                                    << "\r\n\r\n";
        QTest::newRow("empty") << ""
                               << "";
    }

    void storedForm() {
        QFETCH(QString, given);
        QFETCH(QString, stored);
        LimitedTextEdit edit;
        edit.setText(given);
        QCOMPARE(edit.text(), stored);
        QCOMPARE(edit.storedLength(), stored.size());
    }

    // Keys typed into the box. In `typed`, "\n" stands for Return and
    // U+2028 for Shift+Return.
    void typing_data() {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selEnd");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");

        QTest::newRow("260 letters keep 250") << "" << -1 << -1 << Xs(260) << Xs(250);
        QTest::newRow("251st letter refused") << Xs(250) << -1 << -1 << "y" << Xs(250);
        QTest::newRow("Enter refused at 249") << Xs(249) << -1 << -1 << "\n" << Xs(249);
        QTest::newRow("Shift+Enter refused at 249")
            << Xs(249) << -1 << -1 << QString(QChar::LineSeparator) << Xs(249);
        QTest::newRow("Enter fits at 248") << Xs(248) << -1 << -1 << "\n" << Xs(248) + kCrLf;
        QTest::newRow("letter still fits after refused Enter")
            << Xs(249) << -1 << -1 << "\ny" << Xs(249) + "y";
        QTest::newRow("breaks count two")
            << "" << -1 << -1 << QString(200, u'\n') + "ab" << kCrLf.repeated(125);
        QTest::newRow("typing over a selection at the limit")
            << Xs(250) << 10 << 20 << "abcdefghijklm" << Xs(10) + "abcdefghij" + Xs(230);
        QTest::newRow("typing over a selected break")
            << Xs(124) + kCrLf + Xs(124) << 124 << 125 << "ab" << Xs(124) + "ab" + Xs(124);
        QTest::newRow("Enter over a selected letter needs one more") << Xs(250) << 0 << 1 << "\n"
                                                                     << Xs(250);
        QTest::newRow("Enter over two selected letters") << Xs(250) << 0 << 2 << "\n"
                                                         << kCrLf + Xs(248);
    }

    void typing() {
        QFETCH(QString, initial);
        QFETCH(int, selStart);
        QFETCH(int, selEnd);
        QFETCH(QString, typed);
        QFETCH(QString, expected);

        LimitedTextEdit edit;
        prepare(edit, initial, selStart, selEnd);
        for (QChar c : typed) {
            if (c == u'\n')
                QTest::keyClick(&edit, Qt::Key_Return);
            else if (c == QChar::LineSeparator)
                QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
            else
                QTest::keyClicks(&edit, QString(c));
        }
        QCOMPARE(edit.text(), expected);
        QVERIFY(edit.storedLength() <= 250);
    }

    void pasting_data() {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selEnd");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("expected");

        QTest::newRow("long text cut")
            << "" << -1 << -1 << QString(300, u'a') << QString(250, u'a');
        QTest::newRow("fits whole")
            << Xs(240) << -1 << -1 << "0123456789" << Xs(240) + "0123456789";
        QTest::newRow("break never half fits") << Xs(248) << -1 << -1 << "a\r\nb" << Xs(248) + "a";
        QTest::newRow("LF alone counts two") << Xs(248) << -1 << -1 << "a\nb" << Xs(248) + "a";
        QTest::newRow("break that fits") << Xs(246) << -1 << -1 << "a\r\nbcd" << Xs(246) + "a\r\nb";
        QTest::newRow("replaces a selection")
            << Xs(250) << 0 << 10 << QString(20, u'b') << QString(10, u'b') + Xs(240);
        QTest::newRow("full box unchanged") << Xs(250) << -1 << -1 << "abc" << Xs(250);
        QTest::newRow("nothing fits keeps the selection") << Xs(250) << 0 << 1 << "\r\n" << Xs(250);
    }

    void pasting() {
        QFETCH(QString, initial);
        QFETCH(int, selStart);
        QFETCH(int, selEnd);
        QFETCH(QString, clipboard);
        QFETCH(QString, expected);

        LimitedTextEdit edit;
        prepare(edit, initial, selStart, selEnd);
        QApplication::clipboard()->setText(clipboard);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), expected);
    }

    void inputMethodCommitIsCut() {
        LimitedTextEdit edit;
        prepare(edit, Xs(248));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("abcd"));
        QApplication::sendEvent(&edit, &commit);
        QCOMPARE(edit.text(), Xs(248) + "ab");
    }

    // Shortcuts carry text too; a full box must still obey them.
    void shortcutsWorkInAFullBox() {
        LimitedTextEdit edit;
        prepare(edit, Xs(250));
        QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(&edit, QStringLiteral("z"));
        QCOMPARE(edit.text(), QStringLiteral("z"));
    }

    // Text set from code is not limited; the user can then only shorten it.
    void textFromCodeIsNotLimited() {
        LimitedTextEdit edit;
        prepare(edit, Xs(300));
        QCOMPARE(edit.storedLength(), 300);
        QTest::keyClicks(&edit, QStringLiteral("y"));
        QCOMPARE(edit.storedLength(), 300);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), Xs(299));
    }

    void noLimitByDefault() {
        LimitedTextEdit edit;
        QCOMPARE(edit.maxLength(), 0);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::keyClicks(&edit, Xs(300));
        QCOMPARE(edit.storedLength(), 300);
    }
};

QTEST_MAIN(tst_LimitedTextEdit)
#include "tst_limitedtextedit.moc"

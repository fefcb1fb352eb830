#include "screens/limitedtextedit.h"

#include "screens/screens.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

#include <limits>

namespace screens {

namespace {

constexpr int kUnlimited = std::numeric_limits<int>::max();

bool IsLineBreak(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// How many characters from the start of `text` fit into `room` stored
// characters. A line break (CR LF taken together) costs 2 and a surrogate
// pair 2; neither is ever split. `used` receives the stored length of the
// part that fits.
qsizetype FitLength(QStringView text, qint64 room, qint64 *used = nullptr) {
    qint64 total = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        qsizetype step = 1;
        int cost = 1;
        if (IsLineBreak(c)) {
            cost = 2;
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                step = 2;
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cost = 2;
            step = 2;
        }
        if (total + cost > room)
            break;
        total += cost;
        i += step;
    }
    if (used)
        *used = total;
    return i;
}

// Whether a key press types its text into a plain text edit: the same test
// the editor applies before inserting a key's text.
bool TypesText(const QKeyEvent *event, bool tabChangesFocus) {
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    if (c.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods == Qt::ControlModifier || mods == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    if (c == u'\t')
        return !tabChangesFocus;
    return c.category() != QChar::Other_Control;
}

} // namespace

LimitedTextEdit::LimitedTextEdit(QWidget *parent) : QPlainTextEdit(parent) {}

QString LimitedTextEdit::text() const {
    return StoredLineBreaks(toPlainText());
}

void LimitedTextEdit::setText(const QString &text) {
    setPlainText(ShownLineBreaks(text));
}

int LimitedTextEdit::storedLength() const {
    return StoredLength(toPlainText());
}

void LimitedTextEdit::setMaxLength(int maxLength) {
    m_maxLength = qMax(0, maxLength);
}

int LimitedTextEdit::StoredLength(QStringView text) {
    qint64 used = 0;
    FitLength(text, std::numeric_limits<qint64>::max(), &used);
    return int(used);
}

int LimitedTextEdit::room(int replaced) const {
    if (m_maxLength <= 0)
        return kUnlimited;
    const int kept = storedLength() - StoredLength(textCursor().selectedText()) - replaced;
    return m_maxLength - kept;
}

void LimitedTextEdit::keyPressEvent(QKeyEvent *event) {
    if (m_maxLength > 0 && !isReadOnly()) {
        int cost = 0;
        int replaced = 0;
        if (event->matches(QKeySequence::InsertParagraphSeparator) ||
            event->matches(QKeySequence::InsertLineSeparator)) {
            cost = 2;
        } else if (TypesText(event, tabChangesFocus())) {
            cost = StoredLength(event->text());
            // In overwrite mode a typed character takes the place of the
            // one after the cursor.
            const QTextCursor cursor = textCursor();
            if (overwriteMode() && !cursor.hasSelection() && !cursor.atBlockEnd())
                replaced = 1;
        }
        if (cost > 0 && cost > room(replaced)) {
            event->accept(); // refused: the text would not fit
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData *source) {
    if (m_maxLength <= 0 || !source) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // Only plain text goes in, cut to what fits; when nothing fits the
    // selection stays as it is.
    const QString text = source->text();
    const qsizetype fits = FitLength(text, room());
    if (fits == 0)
        return;
    QMimeData plain;
    plain.setText(text.left(fits));
    QPlainTextEdit::insertFromMimeData(&plain);
}

void LimitedTextEdit::inputMethodEvent(QInputMethodEvent *event) {
    const QString commit = event->commitString();
    if (m_maxLength <= 0 || isReadOnly() || commit.isEmpty()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    const qsizetype fits = FitLength(commit, room(event->replacementLength()));
    if (fits == commit.size()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(commit.left(fits), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    event->setAccepted(cut.isAccepted());
}

} // namespace screens

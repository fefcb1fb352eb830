#pragma once

#include "storage/records.h"

#include <QPlainTextEdit>

namespace screens {

// Most characters a URL description may hold, counted in stored form.
using modMain::kDescriptionMaxLength;

// A multi-line text box that holds at most a set number of characters,
// counted as the text is stored: every line break as the two characters
// CR LF. What the user types, pastes, drops or commits through an input
// method is limited: a key whose text does not fit is refused, and pasted or
// dropped text is cut to what fits (a line break goes in whole or not at all).
// Text that replaces a selection only needs the room the selection leaves.
//
// Text set from code (setText, setPlainText, insertPlainText, edits through
// a QTextCursor) is not limited, and lowering the limit never shortens the
// text already there.
class LimitedTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LimitedTextEdit(QWidget *parent = nullptr);

    // The text with CR LF line breaks, as it is stored.
    QString text() const;
    // Shows `text`, whose line breaks may be CR LF or LF alone.
    void setText(const QString &text);

    // Length of text(): characters, with every line break counted twice.
    int storedLength() const;

    // The limit on storedLength() for user input; 0 (the default) means none.
    int maxLength() const { return m_maxLength; }
    void setMaxLength(int maxLength);

    // Length of `text` in stored form: CR LF, a lone CR or LF and the
    // editor's own paragraph and line separators each count as 2.
    static int StoredLength(QStringView text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    // Stored characters still free once the current selection (plus
    // `replaced` further characters) has gone; a large number without limit.
    int room(int replaced = 0) const;

    int m_maxLength = 0;
};

} // namespace screens

#include "screens/controls.h"

#include "screens/accessnames.h"
#include "screens/limitedtextedit.h"
#include "screens/screens.h"

#include <QCoreApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <qdrawutil.h>

#include <algorithm>
#include <memory>

namespace screens {

Panel::Panel(QWidget *parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

Frame::Frame(QWidget *parent) : QGroupBox(parent) {}

void Frame::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), kFormColour);

    // The border line runs through the middle of the caption's text; the
    // caption stands a little in from the left corner with a blank on either
    // side, where the line stops.
    const QFontMetrics metrics(font());
    const int lineTop = metrics.height() / 2;
    QRect captionBox;
    if (!title().isEmpty()) {
        const int indent = metrics.horizontalAdvance(QLatin1Char('x'));
        const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
        const int textWidth = metrics.size(Qt::TextShowMnemonic, title()).width();
        captionBox = QRect(indent, 0, textWidth + 2 * blank, metrics.height());
    }

    p.save();
    if (captionBox.isValid())
        p.setClipRegion(QRegion(rect()).subtracted(QRegion(captionBox)));
    qDrawShadeRect(&p, rect().adjusted(0, lineTop, 0, 0), palette(), true, 1, 0);
    p.restore();

    if (captionBox.isValid())
        style()->drawItemText(&p, captionBox, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                              isEnabled(), title(), QPalette::WindowText);
}

Separator::Separator(QWidget *parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Separator::setEnds(int x1, int y1, int x2, int y2) {
    // A line is drawn in a thin widget that covers it; 2 pixels across leave
    // room for the doubled style.
    m_vertical = (x1 == x2);
    // A line inside a frame keeps to the frame's inside: below the border
    // line that carries the caption and above the bottom border, which it
    // would otherwise cross.
    if (auto *frame = qobject_cast<QGroupBox *>(parentWidget())) {
        const QRect inside = frame->contentsRect();
        y1 = std::clamp(y1, inside.top(), inside.bottom());
        y2 = std::clamp(y2, inside.top(), inside.bottom());
    }
    const int thickness = 2;
    if (m_vertical)
        setGeometry(x1, std::min(y1, y2), thickness, std::abs(y2 - y1) + 1);
    else
        setGeometry(std::min(x1, x2), y1, std::abs(x2 - x1) + 1, thickness);
    update();
}

void Separator::setDoubled(bool doubled) {
    m_doubled = doubled;
    update();
}

void Separator::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    if (m_vertical) {
        p.setPen(dark);
        p.drawLine(0, 0, 0, height());
        p.setPen(m_doubled ? dark : light);
        p.drawLine(1, 0, 1, height());
    } else {
        p.setPen(dark);
        p.drawLine(0, 0, width(), 0);
        p.setPen(m_doubled ? dark : light);
        p.drawLine(0, 1, width(), 1);
    }
}

QFont StandardFont(double points, bool bold) {
    // Liberation Sans has the narrow letters the caption widths are reckoned
    // for; any sans-serif face stands in where it is missing.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void StyleWindow(QWidget *window) {
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, kFormColour);
    pal.setColor(QPalette::Button, kButtonColour);
    window->setPalette(pal);
    window->setAutoFillBackground(true);
    window->setFont(StandardFont());
}

std::function<void(int done, int total)> ProgressOn(QProgressBar *bar) {
    bar->setRange(0, 100);
    auto shown = std::make_shared<int>(-1);
    return [bar, shown](int done, int total) {
        const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
        if (percent == *shown)
            return;
        *shown = percent;
        bar->setValue(percent);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
}

void ApplyRow(QWidget *control, const ControlRow &row) {
    control->setObjectName(QLatin1String(row.name));
    control->setProperty("tabIndex", row.tab);
    if (!row.toolTip.isEmpty())
        control->setToolTip(row.toolTip);

    if (row.flags & TitleFont)
        control->setFont(StandardFont(kTitlePoints, true));
    else if (row.flags & BoldFont)
        control->setFont(StandardFont(kStandardPoints, true));

    if (auto *label = qobject_cast<QLabel *>(control)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(ShownLineBreaks(row.caption));
        label->setWordWrap(true);
        label->setAlignment((row.flags & Centred) ? Qt::AlignHCenter | Qt::AlignTop
                                                  : Qt::AlignLeft | Qt::AlignTop);
        label->setAutoFillBackground(true);
    } else if (auto *button = qobject_cast<QPushButton *>(control)) {
        button->setText(row.caption);
        if (row.flags & DefaultButton)
            button->setDefault(true);
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        edit->setText(row.caption);
        if (row.flags & Password) {
            edit->setEchoMode(QLineEdit::Password);
            // A star for every character typed, whatever the style's habit.
            edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
        }
    } else if (auto *limited = qobject_cast<LimitedTextEdit *>(control)) {
        if (row.flags & Max250)
            limited->setMaxLength(kDescriptionMaxLength);
        // A new box is empty: setting no text would only lay out its
        // document again.
        if (!row.caption.isEmpty())
            limited->setText(row.caption);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        if (!row.caption.isEmpty())
            memo->setPlainText(ShownLineBreaks(row.caption));
    } else if (auto *frame = qobject_cast<QGroupBox *>(control)) {
        frame->setTitle(row.caption);
        frame->setAutoFillBackground(true);
    }

    if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        memo->setTabChangesFocus(true); // Tab leaves the box, as in every other box
        memo->setReadOnly(row.flags & ReadOnly);
        if (row.flags & (VScroll | BothScroll))
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        if (row.flags & BothScroll) {
            memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        } else {
            memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        }
    }

    // Sorted lists are list boxes (ListBox) and drop-down lists
    // (DropDownList) showing a sorted model's entries.
    if (row.flags & Sorted)
        control->setProperty("sorted", true);
    if (row.flags & NeverShown) {
        control->setProperty("neverShown", true);
        control->setVisible(false);
    }
}

void ApplyTabOrder(const Controls &controls, const QList<ControlRow> &rows) {
    QList<std::pair<int, QWidget *>> order;
    for (const ControlRow &row : rows) {
        if (row.tab < 0)
            continue;
        QWidget *w = controls.value(QLatin1String(row.name));
        if (w && w->focusPolicy() != Qt::NoFocus)
            order.append({row.tab, w});
    }
    std::sort(order.begin(), order.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
}

void BuildControls(Controls &controls, const QList<ControlRow> &rows, const MakeControl &make) {
    // Combo boxes are named by their prompts from the start.
    InstallComboBoxNames();
    for (const ControlRow &row : rows) {
        QWidget *container = controls.value(QLatin1String(row.container));
        Q_ASSERT(container);
        QWidget *control = make(row, container);
        Q_ASSERT(control);
        ApplyRow(control, row);
        controls.insert(QLatin1String(row.name), control);
    }
}

namespace {

// The rows made later (`later`) or at start-up (otherwise). A container's
// row comes before the rows inside it.
QList<ControlRow> RowsMade(const QList<ControlRow> &rows, bool later) {
    QSet<QString> laterNames;
    QList<ControlRow> chosen;
    for (const ControlRow &row : rows) {
        const bool isLater =
            (row.flags & Later) || laterNames.contains(QLatin1String(row.container));
        if (isLater)
            laterNames.insert(QLatin1String(row.name));
        if (isLater == later)
            chosen.append(row);
    }
    return chosen;
}

} // namespace

QList<ControlRow> RowsMadeAtStart(const QList<ControlRow> &rows) {
    return RowsMade(rows, false);
}

QList<ControlRow> RowsMadeLater(const QList<ControlRow> &rows) {
    return RowsMade(rows, true);
}

} // namespace screens

#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace screens {

class LimitedTextEdit;
class Panel;
class Separator;

// Background of windows, labels, frames and panels, and of buttons.
inline const QColor kFormColour(0xE0, 0xE0, 0xE0);
inline const QColor kButtonColour(0xC0, 0xC0, 0xC0);

// Font sizes in points: the standard font and the two title labels.
inline constexpr double kStandardPoints = 8.25;
inline constexpr double kTitlePoints = 24.0;

// Properties of a control beyond its kind, texts and tab position.
enum ControlFlag : unsigned {
    NoFlags = 0,
    TitleFont = 1u << 0,      // 24 pt bold
    BoldFont = 1u << 1,       // standard size, bold
    Centred = 1u << 2,        // label text centred
    Sorted = 1u << 3,         // list kept in alphabetical order (see sortedlist.h)
    Password = 1u << 4,       // shows "*" for each character
    ReadOnly = 1u << 5,       // text cannot be changed by the user
    VScroll = 1u << 6,        // multi-line with a vertical scroll bar
    BothScroll = 1u << 7,     // multi-line with both scroll bars
    Max250 = 1u << 8,         // at most 250 stored characters
    NeverShown = 1u << 9,     // exists only so that its click action can be run from code
    DefaultButton = 1u << 10, // the window's default button (Enter)
    Later = 1u << 11          // hidden at start-up: made, with what it holds, at its first use
};

// One control of a window: its name, the container it sits in (the window's
// own name for the window itself), its caption or text, tool tip, position in
// the tab order (-1 for controls that hold none) and flags.
struct ControlRow {
    const char *name;
    const char *container;
    QString caption;
    QString toolTip;
    int tab;
    unsigned flags;
};

// A picture-box panel: a plain rectangle holding the controls of one screen.
class Panel : public QFrame {
    Q_OBJECT
public:
    explicit Panel(QWidget *parent = nullptr);
};

// A frame: a plain rectangle of the form's colour inside a sunken border,
// with its caption written into the top border line, which is left open
// behind the text. The inside stays the form's colour whatever the style
// would shade a group box with, so the labels in it show no patches; the
// contents rectangle (where the inside starts) is still the style's.
class Frame : public QGroupBox {
    Q_OBJECT
public:
    explicit Frame(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A separator line between two points of its container. Lines with style 2
// are drawn doubled.
class Separator : public QFrame {
    Q_OBJECT
public:
    explicit Separator(QWidget *parent = nullptr);
    void setEnds(int x1, int y1, int x2, int y2);
    void setDoubled(bool doubled);
    bool doubled() const { return m_doubled; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_doubled = false;
    bool m_vertical = false;
};

// Gives a window the program's colours and standard font.
void StyleWindow(QWidget *window);

// The standard font at `points`, optionally bold: a sans-serif face.
QFont StandardFont(double points = kStandardPoints, bool bold = false);

// How a long job that reports `done` of `total` moves `bar`: a whole per
// cent at a time (0 to 100), painted at once; keys and clicks wait until the
// job is done.
std::function<void(int done, int total)> ProgressOn(QProgressBar *bar);

// Applies a row's texts, font, colours and flags to a freshly made control.
void ApplyRow(QWidget *control, const ControlRow &row);

// A window's controls by name. The window's own name stands for the widget
// its controls sit in.
using Controls = QHash<QString, QWidget *>;

// Creates the control of a row inside the given container.
using MakeControl = std::function<QWidget *(const ControlRow &, QWidget *)>;

// Makes the controls of `rows`, in order, and adds them to `controls`: each
// goes into the container its row names, which `controls` holds by then, and
// gets its row's properties.
void BuildControls(Controls &controls, const QList<ControlRow> &rows, const MakeControl &make);

// Orders the focus chain of `controls` by the tab positions of `rows`.
void ApplyTabOrder(const Controls &controls, const QList<ControlRow> &rows);

// The rows of the controls made at start-up, and those left for later: the
// rows marked Later and every row inside them.
QList<ControlRow> RowsMadeAtStart(const QList<ControlRow> &rows);
QList<ControlRow> RowsMadeLater(const QList<ControlRow> &rows);

} // namespace screens

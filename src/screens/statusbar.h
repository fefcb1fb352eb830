#pragma once

#include <QPointer>
#include <QStatusBar>
#include <QString>

#include <array>
#include <optional>

class QLabel;
class QTimer;

namespace screens {

// The state of one kind of keyboard LED ("numlock", "capslock",
// "scrolllock") as the Linux LED class reports it under `folder` (normally
// /sys/class/leds, one sub-folder "<device>::<led>" per keyboard LED with a
// "brightness" file): on when any keyboard has that LED at a non-zero
// brightness, off when every one reads zero, no value when none reports it.
std::optional<bool> ReadKeyboardLed(const QString &folder, const QString &led);

// The main window's status bar: eight panels, in this order, each a QLabel
// named "panel" + key:
//   1 "Main"  "Status :", centred
//   2 "Desc"  the status line, starting as "Ready (Main Menu)", left-aligned
//   3 "NUM"   Num Lock indicator
//   4 "CAPS"  Caps Lock indicator
//   5 "INS"   Insert-mode indicator
//   6 "SCRL"  Scroll Lock indicator
//   7 "DATE"  today's date, in the locale's short format
//   8 "TIME"  the time now, in the locale's short format
// An indicator shows its key, enabled while its state is on and greyed
// while it is off or unknown. Num, Caps and Scroll Lock are read from the
// keyboard LEDs; where the system does not report them they show as
// unknown. Insert mode is the program's own: off at first, switched by every
// press of the Insert key anywhere in the application. Indicators, date and
// time are brought up to date every second.
//
// For assistive technology each panel's accessible name is the text it
// shows, and its accessible description says what the panel is ("Status
// line", "Date", ...); an indicator's description adds its state: "Num Lock,
// on", "Num Lock, off" or "Num Lock, unknown".
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 8;
    static constexpr int kStatusLine = 2; // index of the "Desc" panel

    explicit StatusBar(QWidget *parent = nullptr);

    // Panel by 1-based index, or by key (letter case ignored); nullptr when
    // there is no such panel.
    QLabel *panel(int index) const;
    QLabel *panel(const QString &key) const;
    // Key of the panel at a 1-based index; "" when there is none.
    QString key(int index) const;

    // Text of the status line, panel 2.
    void setStatusText(const QString &text);
    QString statusText() const;

    // Widths of panels 1 to 8 in pixels. Every panel but the status line gets
    // exactly its width; the status line takes whatever room the bar has
    // left, so long texts are cut rather than pushing the indicators away.
    void setPanelWidths(const std::array<int, kPanelCount> &pixels);
    std::array<int, kPanelCount> panelWidths() const { return m_widths; }

    bool insertMode() const { return m_insertMode; }
    void setInsertMode(bool on);

    // Folder the keyboard LEDs are read from; /sys/class/leds by default.
    QString ledFolder() const { return m_ledFolder; }
    void setLedFolder(const QString &folder);

public slots:
    // Reads the LEDs, date and time again and shows them.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showIndicator(int index, std::optional<bool> on);
    // Shows a text in a panel and makes it the panel's accessible name.
    void setPanelText(int index, const QString &text);

    std::array<QLabel *, kPanelCount> m_panels{};
    std::array<int, kPanelCount> m_widths{};
    QTimer *m_clock = nullptr;
    QString m_ledFolder;
    bool m_insertMode = false;

    // The Insert key press seen last and the widget it was last delivered
    // to, so that one press passed on from a widget to its parents counts
    // once.
    const QEvent *m_lastInsert = nullptr;
    quint64 m_lastInsertTime = 0;
    QPointer<QWidget> m_lastInsertReceiver;
};

} // namespace screens

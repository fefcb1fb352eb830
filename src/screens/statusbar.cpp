#include "screens/statusbar.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace screens {

namespace {

struct PanelInfo {
    const char *key;
    const char *text;
    const char *role; // said by assistive technology after the panel's text
    Qt::Alignment alignment;
};

constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignVCenter;

const std::array<PanelInfo, StatusBar::kPanelCount> kPanels{{
    {"Main", "Status :", "Status", kCentred},
    {"Desc", "Ready (Main Menu)", "Status line", Qt::AlignLeft | Qt::AlignVCenter},
    {"NUM", "NUM", "Num Lock", kCentred},
    {"CAPS", "CAPS", "Caps Lock", kCentred},
    {"INS", "INS", "Insert mode", kCentred},
    {"SCRL", "SCRL", "Scroll Lock", kCentred},
    {"DATE", "", "Date", kCentred},
    {"TIME", "", "Time", kCentred},
}};

// 1-based indexes of the panels this class keeps current.
enum : int {
    NumPanel = 3,
    CapsPanel = 4,
    InsPanel = 5,
    ScrollPanel = 6,
    DatePanel = 7,
    TimePanel = 8
};

} // namespace

std::optional<bool> ReadKeyboardLed(const QString &folder, const QString &led) {
    const QDir dir(folder);
    const QStringList devices =
        dir.entryList({QStringLiteral("*::") + led}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::optional<bool> state;
    for (const QString &device : devices) {
        QFile brightness(dir.filePath(device + QStringLiteral("/brightness")));
        if (!brightness.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const int level = QString::fromLatin1(brightness.readAll()).trimmed().toInt(&ok);
        if (!ok)
            continue;
        if (level != 0)
            return true;
        state = false;
    }
    return state;
}

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent), m_clock(new QTimer(this)),
      m_ledFolder(QStringLiteral("/sys/class/leds")) {
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(false);

    for (int i = 0; i < kPanelCount; ++i) {
        const PanelInfo &info = kPanels[i];
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel") + QLatin1String(info.key));
        label->setAccessibleDescription(QLatin1String(info.role));
        label->setTextFormat(Qt::PlainText);
        m_panels[i] = label;
        setPanelText(i + 1, QLatin1String(info.text));
        label->setAlignment(info.alignment);
    }
    // The status line takes the room the fixed panels leave, whatever its
    // text. Permanent panels are never covered by temporary messages.
    panel(kStatusLine)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (int i = 0; i < kPanelCount; ++i)
        addPermanentWidget(m_panels[i], i + 1 == kStatusLine ? 1 : 0);

    qApp->installEventFilter(this);
    connect(m_clock, &QTimer::timeout, this, &StatusBar::refresh);
    m_clock->start(1000);
    refresh();
}

QLabel *StatusBar::panel(int index) const {
    if (index < 1 || index > kPanelCount)
        return nullptr;
    return m_panels[index - 1];
}

QLabel *StatusBar::panel(const QString &key) const {
    for (int i = 0; i < kPanelCount; ++i) {
        if (key.compare(QLatin1String(kPanels[i].key), Qt::CaseInsensitive) == 0)
            return m_panels[i];
    }
    return nullptr;
}

QString StatusBar::key(int index) const {
    if (index < 1 || index > kPanelCount)
        return QString();
    return QLatin1String(kPanels[index - 1].key);
}

void StatusBar::setStatusText(const QString &text) {
    setPanelText(kStatusLine, text);
}

void StatusBar::setPanelText(int index, const QString &text) {
    QLabel *label = panel(index);
    // A screen reader hears a label's accessible name: it is the text shown.
    // Set only on a change, so that the clock does not announce itself.
    if (label->text() != text)
        label->setText(text);
    if (label->accessibleName() != text)
        label->setAccessibleName(text);
}

QString StatusBar::statusText() const {
    return panel(kStatusLine)->text();
}

void StatusBar::setPanelWidths(const std::array<int, kPanelCount> &pixels) {
    m_widths = pixels;
    for (int i = 0; i < kPanelCount; ++i) {
        if (i + 1 == kStatusLine)
            continue;
        m_panels[i]->setFixedWidth(qMax(0, pixels[i]));
    }
}

void StatusBar::setInsertMode(bool on) {
    m_insertMode = on;
    showIndicator(InsPanel, on);
}

void StatusBar::setLedFolder(const QString &folder) {
    m_ledFolder = folder;
    refresh();
}

void StatusBar::refresh() {
    showIndicator(NumPanel, ReadKeyboardLed(m_ledFolder, QStringLiteral("numlock")));
    showIndicator(CapsPanel, ReadKeyboardLed(m_ledFolder, QStringLiteral("capslock")));
    showIndicator(InsPanel, m_insertMode);
    showIndicator(ScrollPanel, ReadKeyboardLed(m_ledFolder, QStringLiteral("scrolllock")));

    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    setPanelText(DatePanel, locale.toString(now.date(), QLocale::ShortFormat));
    setPanelText(TimePanel, locale.toString(now.time(), QLocale::ShortFormat));
}

void StatusBar::showIndicator(int index, std::optional<bool> on) {
    QLabel *label = panel(index);
    label->setEnabled(on.value_or(false));
    const QString description =
        QLatin1String(kPanels[index - 1].role) + (!on.has_value() ? QStringLiteral(", unknown")
                                                  : *on           ? QStringLiteral(", on")
                                                                  : QStringLiteral(", off"));
    if (label->accessibleDescription() != description)
        label->setAccessibleDescription(description);
}

bool StatusBar::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->key() != Qt::Key_Insert || key->isAutoRepeat())
        return false;
    auto *receiver = static_cast<QWidget *>(watched);
    // A press that no widget takes is offered to each parent in turn; only
    // its first delivery switches the mode.
    const bool passedOn = event == m_lastInsert && key->timestamp() == m_lastInsertTime &&
                          m_lastInsertReceiver && m_lastInsertReceiver->parentWidget() == receiver;
    m_lastInsert = event;
    m_lastInsertTime = key->timestamp();
    m_lastInsertReceiver = receiver;
    if (!passedOn)
        setInsertMode(!m_insertMode);
    return false;
}

} // namespace screens

#include "screens/screen.h"

#include "screens/controls.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSet>

#include <algorithm>

namespace screens {

namespace {
std::optional<ScreenMetrics> &screenOverride() {
    static std::optional<ScreenMetrics> s;
    return s;
}
} // namespace

int ScreenMetrics::toPixels(float twips) const {
    return TwipsToPixels(twips, twipsPerPixel);
}

ScreenMetrics CurrentScreen() {
    if (screenOverride())
        return *screenOverride();
    ScreenMetrics m;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        m.pixels = screen->geometry();
        const qreal dpi = screen->logicalDotsPerInchY();
        if (dpi > 0)
            m.twipsPerPixel = float(1440.0 / dpi);
    } else {
        m.pixels = QRect(0, 0, 1024, 768);
    }
    return m;
}

void SetScreenOverride(std::optional<ScreenMetrics> screen) {
    screenOverride() = screen;
}

void PlaceBoxes(QWidget *window, const QHash<QString, Box> &boxes, const ScreenMetrics &screen) {
    // One walk over the window's controls: looking each name up in the
    // window would walk them once per box.
    QSet<QString> placed;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name == QLatin1String("frmMain") ||
            name == QLatin1String("StatusBar"))
            continue;
        const auto it = boxes.constFind(name);
        if (it == boxes.cend() || placed.contains(name))
            continue;
        placed.insert(name);
        const Box &b = it.value();
        int height = screen.toPixels(b.height);
        const int width = screen.toPixels(b.width);
        if (auto *label = qobject_cast<QLabel *>(w); label && label->wordWrap()) {
            if (!label->text().isEmpty())
                height = std::max(height, label->heightForWidth(width));
        }
        w->setGeometry(screen.toPixels(b.left), screen.toPixels(b.top), width, height);
    }
}

void PlaceLines(QWidget *window, const QHash<QString, Line> &lines, const ScreenMetrics &screen) {
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        if (auto *line = window->findChild<Separator *>(it.key())) {
            const Line &l = it.value();
            line->setEnds(screen.toPixels(l.x1), screen.toPixels(l.y1), screen.toPixels(l.x2),
                          screen.toPixels(l.y2));
        }
    }
}

QHash<QString, Box> ReadBoxes(const QWidget *window, const ScreenMetrics &screen) {
    QHash<QString, Box> boxes;
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty())
            continue;
        Box b;
        b.left = screen.toTwips(w->x());
        b.top = screen.toTwips(w->y());
        b.width = screen.toTwips(w->width());
        b.height = screen.toTwips(w->height());
        boxes.insert(w->objectName(), b);
    }
    return boxes;
}

QHash<QString, Box> ChangedBoxes(const QHash<QString, Box> &before,
                                 const QHash<QString, Box> &after) {
    QHash<QString, Box> changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const auto old = before.constFind(it.key());
        const Box &b = it.value();
        if (old == before.cend() || old->left != b.left || old->top != b.top ||
            old->width != b.width || old->height != b.height)
            changed.insert(it.key(), b);
    }
    return changed;
}

} // namespace screens

#include "screens/screen.h"

#include "screens/layout.h"

#include <QGuiApplication>
#include <QScreen>

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

} // namespace screens

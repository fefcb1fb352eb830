#pragma once

#include <QRect>

#include <optional>

namespace screens {

// The screen the windows are arranged on: its rectangle in pixels and how
// many twips (1/1440 inch) make one pixel there.
struct ScreenMetrics {
    QRect pixels;
    float twipsPerPixel = 15.0f;

    float SW() const { return float(pixels.width()) * twipsPerPixel; }
    float SH() const { return float(pixels.height()) * twipsPerPixel; }
    float toTwips(int px) const { return float(px) * twipsPerPixel; }
    int toPixels(float twips) const;
};

// The primary screen, unless a test has put another in its place.
ScreenMetrics CurrentScreen();
void SetScreenOverride(std::optional<ScreenMetrics> screen);

} // namespace screens

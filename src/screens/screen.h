#pragma once

#include "screens/layout.h"

#include <QHash>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

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

// Moves and sizes the named controls of a window to their boxes (in twips,
// relative to their containers). A word-wrapped label grows to show its whole
// caption. The main window itself and its docked status bar are sized
// separately and are passed over here.
void PlaceBoxes(QWidget *window, const QHash<QString, Box> &boxes, const ScreenMetrics &screen);

// Moves the named separator lines of a window between their ends (in twips,
// relative to their containers).
void PlaceLines(QWidget *window, const QHash<QString, Line> &lines, const ScreenMetrics &screen);

// The boxes of every named control of a window, as they stand (in twips,
// relative to their containers): what a rule that moves some of them reads.
QHash<QString, Box> ReadBoxes(const QWidget *window, const ScreenMetrics &screen);

// The boxes of `after` that differ from those of `before`: what a rule moved.
QHash<QString, Box> ChangedBoxes(const QHash<QString, Box> &before,
                                 const QHash<QString, Box> &after);

} // namespace screens

#pragma once

#include "screens/layout.h"

#include <QHash>
#include <QString>

// Geometry of the URL screens that depends on the category prompt's caption:
// set each time a URL screen opens, on top of the window arrangement. All
// lengths in twips, single precision, in the order written.
namespace screens {

// The category prompt is as wide as its caption is estimated to be
// (points * 10 per character), and the category chooser starts right after
// it: lblUrlCat.Width = TW(caption); cmbUrlCat.Left = lblUrlCat.Left +
// lblUrlCat.Width.
void ApplyUrlCaptionWidth(QHash<QString, Box> &boxes, const QString &caption, float points);

// The Add, Delete and Modify URL panels, laid out after the caption-width rule
// from the boxes they hold (controls inside a panel relative to the panel).
// The hint under an address box starts where the box does, as wide as it is.
void LayoutUrlAddPanel(QHash<QString, Box> &boxes);
void LayoutUrlDelPanel(QHash<QString, Box> &boxes);
void LayoutUrlModPanel(QHash<QString, Box> &boxes);

} // namespace screens

#pragma once

// What the screens of both windows share: the fixed texts that more than one
// handler shows, the line-break forms of the text boxes, and the module
// procedures that arrange and reset the two windows (run through DoCommand:
// "SIP", "SIPLS", "HA"), which work on the one main window and the open
// sign-in window.
#include <QString>

namespace screens {

// The main window's introduction while nobody is signed in.
inline const QString kSignedOutIntro =
    QStringLiteral("Welcome to Wayfile v2.1\n\nPlease Login to the program by clicking on the "
                   "'Login' button and entering your login details to proceed.");

// The description boxes of the URL screens: the hint an empty Add or Modify
// box shows, and what the URL menu's box shows while no URL is chosen.
inline const QString kDescriptionHint =
    QStringLiteral("Please limit your Description to not more than 250 characters!");
inline const QString kDescriptionPlaceholder =
    QStringLiteral("The Description of any URL you choose from the list of URL's on top will be "
                   "displayed in here.");

// Line breaks as the program keeps its texts (CR LF) and as Qt's widgets
// show and hand them back (LF alone).
inline QString ShownLineBreaks(const QString &text) {
    QString lines = text;
    return lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}
inline QString StoredLineBreaks(const QString &text) {
    QString lines = text;
    return lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

} // namespace screens

namespace modMain {

// Fills the screen with the main window, places every control in proportion
// to the screen, builds the status bar's panels and leaves the window signed
// out.
void ArrangeMainForm();

// Sizes the sign-in window to a fraction of the screen, places the controls
// of its three frames and shows the sign-in frame.
void ArrangeLoginForm();

// Hides every panel, both menu frames and the category chooser, and sets the
// subtitle back to "Main Menu".
void HideAll();

} // namespace modMain

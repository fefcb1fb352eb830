#pragma once

// The module procedures that arrange and reset the two windows. They work on
// the one main window and the open sign-in window, and are run through
// DoCommand ("SIP", "SIPLS", "HA").
#include <QString>

namespace screens {

// The main window's introduction while nobody is signed in.
inline const QString kSignedOutIntro =
    QStringLiteral("Welcome to Wayfile v2.1\n\nPlease Login to the program by clicking on the "
                   "'Login' button and entering your login details to proceed.");

} // namespace screens

namespace modMain {

// Fills the screen with the main window, places every control in proportion
// to the screen, builds the status bar's panels and leaves the window signed
// out.
void ArrangeMainForm();

// Sizes the sign-in window to a fraction of the screen, places both frames'
// controls and shows the sign-in frame.
void ArrangeLoginForm();

// Hides every panel, both menu frames and the category chooser, and sets the
// subtitle back to "Main Menu".
void HideAll();

} // namespace modMain

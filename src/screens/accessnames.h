#pragma once

#include "screens/controls.h"

#include <QList>
#include <QString>

class QWidget;

// What a screen reader says for the lists, combo boxes and text boxes: each
// control's accessible name is the text of the label that prompts for it, and
// its accessible description is its tool tip.
namespace screens {

// A control and where its accessible name comes from: the label that prompts
// for it or, for a control that has none, a name of its own.
struct ControlName {
    const char *control;
    const char *promptLabel; // nullptr when `name` is given
    const char *name;
};

// The named controls of the main window and of the sign-in window.
QList<ControlName> MainWindowNames();
QList<ControlName> LoginWindowNames();

// The name a prompt gives its control: the label's text without the
// access-key marker, and without the number in front of a count label
// ("3 Existing Categories are : " names its list "Existing Categories are : ").
QString PromptName(const QString &labelText);

// Makes each prompt label the buddy of its control (both in `controls`) and gives every named
// control its tool tip as the description. The name follows the label's
// current text: text boxes and combo boxes read it when asked, list boxes
// take it up whenever they are shown or get the focus.
void NameControls(const Controls &controls, const QList<ControlName> &names);

// Lets combo boxes give their prompt as their name (by default a combo box
// is named by its chosen entry). Needed once, before the first combo box is
// asked for its name.
void InstallComboBoxNames();

} // namespace screens

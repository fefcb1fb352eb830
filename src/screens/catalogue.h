#pragma once

// Every control of the two windows: type, name, container, caption or text,
// tool tip, tab position and flags. The window classes declare one member per
// row and build the control from it, so this list is the one place where a
// control's fixed properties are written down.

#include "screens/control.h"
#include "screens/controls.h"

// X(Type, name, container, caption, toolTip, tab, flags)
#define WAYFILE_FRMMAIN_CONTROLS(X)                                                                \
    X(QLabel, lblTitle, frmMain, "Wayfile v2.1", "", 44, TitleFont | Centred)                      \
    X(QLabel, lblSubTitle, frmMain, "Main Menu", "", 50, TitleFont | Centred)                      \
    X(QLabel, lblIntro, frmMain, "", "", 45, Centred)                                              \
    X(QPushButton, cmdLogin, frmMain, "&Login", "Click here to Log into the Program", 0, BoldFont) \
    X(QPushButton, cmdCat, frmMain, "&Categories",                                                 \
      "Click here to View, Add, Delete or Modify Categories", 1, BoldFont)                         \
    X(QPushButton, cmdURL, frmMain, "&URL'S", "Click here to Vew, Add, Delete or Modify URL's",    \
      17, BoldFont)                                                                                \
    X(QPushButton, cmdQuit, frmMain, "&Exit", "Click here to Exit the Program", 37, BoldFont)      \
    X(Separator, Sep1H, frmMain, "", "", -1, NoFlags)                                              \
    X(Separator, Sep1V, frmMain, "", "", -1, NoFlags)                                              \
    X(Separator, Sep2H, frmMain, "", "", -1, NoFlags)                                              \
    X(QLabel, lblUrlCat, frmMain, "Label1", "", 51, Later)                                         \
    X(DropDownList, cmbUrlCat, frmMain, "", "", 18, Sorted | Later)                                \
    X(QPushButton, cmdCatNxt, frmMain, "cmdCatNxt", "", 66, NeverShown)                            \
    X(QPushButton, cmdUrlNxt, frmMain, "cmdUrlNxt", "", 65, NeverShown)                            \
    /* Category screens */                                                                         \
    X(Frame, fraCatView, frmMain, "Categorie(s)",                                                  \
      "Here you can View a list of all your Categories and also Add, Delete, Modify "              \
      "Categories",                                                                                \
      38, Later)                                                                                   \
    X(QLabel, lblCatView, fraCatView, "Existing Categories are : ", "", 64, NoFlags)               \
    X(ListBox, lstCatView, fraCatView, "", "This is where you can see the Existing Categories", 2, \
      Sorted)                                                                                      \
    X(Separator, Sep2V, fraCatView, "", "", -1, NoFlags)                                           \
    X(QLabel, lblCatViewCh, fraCatView, "Please choose an Option : ", "", 63, NoFlags)             \
    X(QPushButton, cmdCatViewA, fraCatView, "&Add Category",                                       \
      "Click here if you wish to ADD a Category", 3, NoFlags)                                      \
    X(QPushButton, cmdCatViewD, fraCatView, "&Delete Category",                                    \
      "Choose a Category from the list and click here to DELETE it", 7, NoFlags)                   \
    X(QPushButton, cmdCatViewM, fraCatView, "&Modify Category",                                    \
      "Choose a Category from the list and click here to MODIFY it", 11, NoFlags)                  \
    X(QPushButton, cmdCatViewCncl, fraCatView, "&Back",                                            \
      "Click here to Return to the Previous Menu", 16, NoFlags)                                    \
    X(Panel, pctCatAdd, frmMain, "", "", 47, Later)                                                \
    X(QLabel, lblCatAdd, pctCatAdd, "Please enter a Name for the Category to be added : ", "", 40, \
      NoFlags)                                                                                     \
    X(QLineEdit, txtCatAdd, pctCatAdd, "",                                                         \
      "Enter a Name for the Category you wish to add in here", 4, NoFlags)                         \
    X(QPushButton, cmdCatAdd, pctCatAdd, "&Add", "Click here to ADD the Category", 5, NoFlags)     \
    X(QPushButton, cmdCatAddCncl, pctCatAdd, "&Back",                                              \
      "Click here to Return back to the Previous Menu", 6, NoFlags)                                \
    X(Panel, pctCatDel, frmMain, "", "", 48, Later)                                                \
    X(QLabel, lblCatDel, pctCatDel, "Please choose the Category you with to Delete : ", "", 41,    \
      NoFlags)                                                                                     \
    X(DropDownList, cmbCatDel, pctCatDel, "",                                                      \
      "Choose the Category you wish to Delete from the List", 8, Sorted)                           \
    X(QPushButton, cmdCatDel, pctCatDel, "&Delete", "Click here to DELETE the choosen Category",   \
      9, NoFlags)                                                                                  \
    X(QPushButton, cmdCatDelCncl, pctCatDel, "&Back", "Click here to Return to Previous Menu", 10, \
      NoFlags)                                                                                     \
    X(Panel, pctCatMod, frmMain, "", "", 49, Later)                                                \
    X(QLabel, lblCatMod, pctCatMod, "Please choose the Category which you wish to modify : ", "",  \
      43, NoFlags)                                                                                 \
    X(DropDownList, cmbCatMod, pctCatMod, "",                                                      \
      "Choose the Category you wish to Modify from the List", 12, Sorted)                          \
    X(QLabel, lblCatModCh, pctCatMod, "Please Enter the new name for the Category : ", "", 42,     \
      NoFlags)                                                                                     \
    X(QLineEdit, txtCatMod, pctCatMod, "", "Enter the New Name for the choosen Category here", 13, \
      NoFlags)                                                                                     \
    X(QPushButton, cmdCatMod, pctCatMod, "&Modify", "Click here to MODIFY the Category", 14,       \
      NoFlags)                                                                                     \
    X(QPushButton, cmdCatModCncl, pctCatMod, "&Back", "Click here to Return to the Previous Menu", \
      15, NoFlags)                                                                                 \
    X(QPushButton, cmdCatViewI, fraCatView, "&Import Bookmarks",                                   \
      "Click here to IMPORT the Bookmarks of your Web Browser from a Bookmark file", 68, NoFlags)  \
    X(QPushButton, cmdCatViewX, fraCatView, "E&xport Bookmarks",                                   \
      "Click here to EXPORT all your Categories and URL's to a Bookmark file", 69, NoFlags)        \
    X(Panel, pctCatImp, frmMain, "", "", 70, Later)                                                \
    X(QLabel, lblCatImp, pctCatImp, "", "", 71, NoFlags)                                           \
    X(QLabel, lblCatImpCh, pctCatImp, "Texts changed to fit : ", "", 72, NoFlags)                  \
    X(QTableView, lstCatImp, pctCatImp, "",                                                        \
      "This is where you can see every text that was changed so that it can be stored", 73,        \
      NoFlags)                                                                                     \
    X(QProgressBar, prgCatImp, pctCatImp, "", "", 74, NoFlags)                                     \
    X(QPushButton, cmdCatImp, pctCatImp, "&Import", "Click here to IMPORT the Bookmarks", 75,      \
      NoFlags)                                                                                     \
    X(QPushButton, cmdCatImpCncl, pctCatImp, "&Back",                                              \
      "Click here to Return to the Previous Menu without importing anything", 76, NoFlags)         \
    /* URL screens */                                                                              \
    X(Frame, fraUrlView, frmMain, "URL(s)", "", 39, Later)                                         \
    X(QLabel, lblUrlView, fraUrlView, "URL(s) under choosen Category are : ", "", 62, NoFlags)     \
    X(ListBox, lstUrlView, fraUrlView, "",                                                         \
      "This is where you can see a list of URL's under choosen Category", 19, Sorted)              \
    X(QPlainTextEdit, txtUrlViewDesc, fraUrlView, "", "", 67, VScroll | ReadOnly)                  \
    X(Separator, Sep3V, fraUrlView, "", "", -1, NoFlags)                                           \
    X(QLabel, lblUrlViewCh, fraUrlView, "Please choose an Option : ", "", 61, NoFlags)             \
    X(QPushButton, cmdUrlViewV, fraUrlView, "&View URL", "", 20, NoFlags)                          \
    X(QPushButton, cmdUrlViewA, fraUrlView, "&Add URL",                                            \
      "Click here to Add a URL under the choosen Category", 21, NoFlags)                           \
    X(QPushButton, cmdUrlViewD, fraUrlView, "&Delete URL", "Click here to Delete a URL", 26,       \
      NoFlags)                                                                                     \
    X(QPushButton, cmdUrlViewM, fraUrlView, "&Modify URL", "Click here to Modify a URL", 30,       \
      NoFlags)                                                                                     \
    X(QPushButton, cmdUrlViewCncl, fraUrlView, "&Back",                                            \
      "Click here to return to the Previous Menu", 36, NoFlags)                                    \
    X(Panel, pctUrlAdd, frmMain, "", "", 52, Later)                                                \
    X(QLabel, lblUrlAdd, pctUrlAdd, "Please enter the URL you wish to Add : ", "", 55, NoFlags)    \
    X(QLineEdit, txtUrlAdd, pctUrlAdd, "", "Enter the URL here", 22, NoFlags)                      \
    X(QLabel, lblUrlAddCh, pctUrlAdd, "Please enter a short description : ", "", 59, NoFlags)      \
    X(LimitedTextEdit, txtUrlAddCh, pctUrlAdd,                                                     \
      "Please limit your Description to not more than 250 characters!\r\n",                        \
      "Enter a Description for the URL here", 23, BothScroll | Max250)                             \
    X(QPushButton, cmdUrlAdd, pctUrlAdd, "&Add",                                                   \
      "Click here to Add the URL under the choosen Category", 24, NoFlags)                         \
    X(QPushButton, cmdUrlAddCncl, pctUrlAdd, "&Back", "Click here to Return to the Previous Menu", \
      25, NoFlags)                                                                                 \
    X(Panel, pctUrlDel, frmMain, "", "", 53, Later)                                                \
    X(QLabel, lblUrlDel, pctUrlDel,                                                                \
      "Please choose the URL you wish to Delete from the List : ", "", 56, NoFlags)                \
    X(DropDownList, cmbUrlDel, pctUrlDel, "", "Choose the URL you wish to Delete", 27, Sorted)     \
    X(QPushButton, cmdUrlDel, pctUrlDel, "&Delete", "Click here to DELETE the choosen URL", 28,    \
      NoFlags)                                                                                     \
    X(QPushButton, cmdUrlDelCncl, pctUrlDel, "&Back", "Click here to Return to the Previous Menu", \
      29, NoFlags)                                                                                 \
    X(Panel, pctUrlMod, frmMain, "", "", 54, Later)                                                \
    X(QLabel, lblUrlMod, pctUrlMod, "Please choose the URL which you wish to Modify", "", 57,      \
      NoFlags)                                                                                     \
    X(DropDownList, cmbUrlMod, pctUrlMod, "", "Choose the URL you wish to Modify here", 31,        \
      Sorted)                                                                                      \
    X(QLabel, lblUrlModCh, pctUrlMod, "Please change the URL here if you want : ", "", 58,         \
      NoFlags)                                                                                     \
    X(QLineEdit, txtUrlMod, pctUrlMod, "", "Enter the Modified URL here", 32, NoFlags)             \
    X(QLabel, lblUrlModDesc, pctUrlMod, "Please change the Description here if you want : ", "",   \
      60, NoFlags)                                                                                 \
    X(LimitedTextEdit, txtUrlModDesc, pctUrlMod,                                                   \
      "Please limit your Description to not more than 250 characters!\r\n",                        \
      "Enter the Modified Description here", 33, BothScroll | Max250)                              \
    X(QPushButton, cmdUrlMod, pctUrlMod, "&Modify", "Click here to Modify the choosen URL", 34,    \
      NoFlags)                                                                                     \
    X(QPushButton, cmdUrlModCncl, pctUrlMod, "&Back", "Click here to Return to the Previous Menu", \
      35, NoFlags)                                                                                 \
    /* Find URL */                                                                                 \
    X(QPushButton, cmdUrlViewF, fraUrlView, "&Find URL",                                           \
      "Click here to Find a URL in all your Categories", 77, NoFlags)                              \
    X(QLabel, lblUrlAddSaved, pctUrlAdd, "", "", 78, NoFlags)                                      \
    X(QLabel, lblUrlModSaved, pctUrlMod, "", "", 79, NoFlags)                                      \
    X(Frame, fraUrlFind, frmMain, "Find URL",                                                      \
      "Here you can Find a URL by its address, its Description or its Category", 80, Later)        \
    X(QLabel, lblUrlFind, fraUrlFind, "Please type the words you wish to find : ", "", 81,         \
      NoFlags)                                                                                     \
    X(QLineEdit, txtUrlFind, fraUrlFind, "",                                                       \
      "Type one or more words of the URL, its Description or its Category in here", 82, NoFlags)   \
    X(QLabel, lblUrlFindCh, fraUrlFind, "0 URL(s) found", "", 83, NoFlags)                         \
    X(QListView, lstUrlFind, fraUrlFind, "",                                                       \
      "This is where you can see the URL's found. Press Enter or double-click one to go to it",    \
      84, NoFlags)                                                                                 \
    X(QPlainTextEdit, txtUrlFindDesc, fraUrlFind, "", "", 85, VScroll | ReadOnly)                  \
    X(QPushButton, cmdUrlFindCncl, fraUrlFind, "&Back", "Click here to Return to the Main Menu",   \
      86, NoFlags)                                                                                 \
    /* Open All */                                                                                 \
    X(QPushButton, cmdUrlViewO, fraUrlView, "&Open All",                                           \
      "Click here to Open every URL of the choosen Category in your Web Browser", 87, NoFlags)     \
    X(QPushButton, cmdUrlFindO, fraUrlFind, "&Open All",                                           \
      "Click here to Open every URL found in your Web Browser", 88, NoFlags)                       \
    /* Dropped and pasted links */                                                                 \
    X(QLabel, lblCatImpCat, pctCatImp, "Add them under the Category : ", "", 89, NoFlags)          \
    X(DropDownList, cmbCatImp, pctCatImp, "",                                                      \
      "Choose the Category to add the URL's you dropped or pasted under", 90, Sorted)              \
    /* Trash */                                                                                    \
    X(QPushButton, cmdTrash, frmMain, "&Trash",                                                    \
      "Click here to see the Categories and URL's you deleted, and to Restore them", 91, BoldFont) \
    X(Panel, pctTrash, frmMain, "", "", 92, Later)                                                 \
    X(QLabel, lblTrash, pctTrash, "Deleted Categories and URL's in your Trash : ", "", 93,         \
      NoFlags)                                                                                     \
    X(QListView, lstTrash, pctTrash, "",                                                           \
      "This is where you can see what you deleted, its Category and the date it was deleted", 94,  \
      NoFlags)                                                                                     \
    X(QPushButton, cmdTrashRes, pctTrash, "&Restore",                                              \
      "Click here to put the choosen items back where they were", 95, NoFlags)                     \
    X(QPushButton, cmdTrashEmp, pctTrash, "Em&pty Trash",                                          \
      "Click here to delete everything in the Trash for good", 96, NoFlags)                        \
    X(QPushButton, cmdTrashCncl, pctTrash, "&Back", "Click here to Return to the Main Menu", 97,   \
      NoFlags)

// X(Type, name, container, caption, toolTip, tab, flags)
#define WAYFILE_FRMLOGIN_CONTROLS(X)                                                               \
    X(Frame, fraLogin, frmLogin, "Login", "", 12, NoFlags)                                         \
    X(QLabel, lblUser, fraLogin, "&User Name : ", "", 10, NoFlags)                                 \
    X(QLineEdit, txtUser, fraLogin, "", "", 0, NoFlags)                                            \
    X(QLabel, lblPass, fraLogin, "&Password : ", "", 11, NoFlags)                                  \
    X(QLineEdit, txtPass, fraLogin, "", "", 1, Password)                                           \
    X(QPushButton, cmdLogin, fraLogin, "&Login", "", 2, DefaultButton)                             \
    X(QPushButton, cmdCancel, fraLogin, "&Cancel", "", 3, NoFlags)                                 \
    X(QPushButton, cmdNewUser, fraLogin, "&New User? Click here to Create a New Login ID!", "", 4, \
      NoFlags)                                                                                     \
    X(Frame, fraNewUser, frmLogin, "Create ID", "", 13, NoFlags)                                   \
    X(QLabel, lblNUser, fraNewUser, "Please enter a Username : ", "", 14, NoFlags)                 \
    X(QLineEdit, txtNUser, fraNewUser, "", "", 5, NoFlags)                                         \
    X(QLabel, lblNPass, fraNewUser, "Please Enter a Password : ", "", 15, NoFlags)                 \
    X(QLineEdit, txtNPass, fraNewUser, "", "", 6, Password)                                        \
    X(QLabel, lblNRPass, fraNewUser, "Please Re-Enter the Password : ", "", 16, NoFlags)           \
    X(QLineEdit, txtNRPass, fraNewUser, "", "", 7, Password)                                       \
    X(QPushButton, cmdNCreate, fraNewUser, "Create &ID", "", 8, NoFlags)                           \
    X(QPushButton, cmdNCancel, fraNewUser, "&Cancel", "", 9, NoFlags)                              \
    X(QPushButton, cmdChangePass, fraLogin, "C&hange Password",                                    \
      "Click here to Change the Password of your Login ID, or to Delete your Login ID", 17,        \
      NoFlags)                                                                                     \
    X(Frame, fraChPass, frmLogin, "Change Password", "", 25, NoFlags)                              \
    X(QLabel, lblChUser, fraChPass, "&User Name : ", "", 26, NoFlags)                              \
    X(QLineEdit, txtChUser, fraChPass, "", "Enter the User Name of your Login ID here", 18,        \
      NoFlags)                                                                                     \
    X(QLabel, lblChPass, fraChPass, "Current &Password : ", "", 27, NoFlags)                       \
    X(QLineEdit, txtChPass, fraChPass, "", "Enter the Password you Login with now here", 19,       \
      Password)                                                                                    \
    X(QLabel, lblChNPass, fraChPass, "&New Password : ", "", 28, NoFlags)                          \
    X(QLineEdit, txtChNPass, fraChPass, "", "Enter your New Password here", 20, Password)          \
    X(QLabel, lblChNRPass, fraChPass, "&Re-Enter New Password : ", "", 29, NoFlags)                \
    X(QLineEdit, txtChNRPass, fraChPass, "", "Enter your New Password here once more", 21,         \
      Password)                                                                                    \
    X(QProgressBar, prgChPass, fraChPass, "", "", 30, NoFlags)                                     \
    X(QPushButton, cmdChPass, fraChPass, "C&hange", "Click here to CHANGE your Password", 22,      \
      NoFlags)                                                                                     \
    X(QPushButton, cmdChDel, fraChPass, "&Delete ID",                                              \
      "Click here to DELETE your Login ID with all its Categories and URL's", 23, NoFlags)         \
    X(QPushButton, cmdChCncl, fraChPass, "&Back", "Click here to Return to the Login Menu", 24,    \
      NoFlags)

// Declares one member pointer per row.
#define WAYFILE_DECLARE_CONTROL(Type, name, container, caption, toolTip, tab, flags)               \
    Type *name = nullptr;

// Declares one member per row that makes the controls left for later at the
// first use of one of them (see control.h), through the window's
// LaterControls `m_later`.
#define WAYFILE_DECLARE_LATER_CONTROL(Type, name, container, caption, toolTip, tab, flags)         \
    screens::Control<Type> name{m_later};

// Inside a BuildControls maker (arguments `row` and `parent`): makes the
// control of `row` into its member when the row is this member's.
#define WAYFILE_MAKE_CONTROL(Type, member, container, caption, toolTip, tab, flags)                \
    if (qstrcmp(row.name, #member) == 0)                                                           \
        return member = new Type(parent);

// Catalogue row of a control, for tests and for the builder.
#define WAYFILE_CONTROL_ROW(Type, name, container, caption, toolTip, tab, flags)                   \
    screens::ControlRow{#name, #container, QStringLiteral(caption), QStringLiteral(toolTip),       \
                        tab,   flags},

// The category screens of the main window: the Categories menu and the Add,
// Delete and Modify Category panels, and the procedures that fill and update
// the four category lists (lstCatView, cmbCatDel, cmbCatMod, cmbUrlCat).
//
// The four lists show one model, the categories of the window's Data (see
// userdata.h): each change is made once, by Data, to the model, by category
// number (each entry's item data), and every list follows. A position is
// never carried from one list to another: after the owner message of
// LoadCategories only cmbCatDel shows the owned categories, so a position in
// one list need not exist in another.

#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/records.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <QEvent>
#include <QSignalBlocker>

#include <functional>

using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

namespace {

// Chooses the entry numbered `number` in a drop-down list, or none when it
// holds no such entry.
void chooseNumber(DropDownList *combo, int number) {
    combo->setCurrentIndex(combo->entries()->rowOfNumber(number));
}

} // namespace

void frmMain::ShowCategoryCount(int count) {
    lblCatView->setText(QString::number(count) + QStringLiteral(" Existing Categories are : "));
}

void frmMain::connectCategoryHandlers() {
    connect(cmdCat, &QPushButton::clicked, this, &frmMain::cmdCat_Click);
    connect(cmdCatNxt, &QPushButton::clicked, this, &frmMain::cmdCatNxt_Click);

    m_commands.plug("LCD", [this] { LoadCategories(); });
    m_commands.plug("DC", [this] { return DeleteCategory(); });
    m_commands.plug("MC", [this] { return ModifyCategory(); });
}

void frmMain::connectCategoryScreens() {
    using screens::OnEvent;
    using screens::OnKeyPress;
    connect(cmdCatViewA, &QPushButton::clicked, this, &frmMain::cmdCatViewA_Click);
    connect(cmdCatViewD, &QPushButton::clicked, this, &frmMain::cmdCatViewD_Click);
    connect(cmdCatViewM, &QPushButton::clicked, this, &frmMain::cmdCatViewM_Click);
    connect(cmdCatViewCncl, &QPushButton::clicked, this, &frmMain::cmdCatViewCncl_Click);
    OnEvent(lstCatView->viewport(), QEvent::MouseButtonDblClick, [this] { lstCatView_DblClick(); });
    connect(cmdCatAdd, &QPushButton::clicked, this, &frmMain::cmdCatAdd_Click);
    connect(cmdCatAddCncl, &QPushButton::clicked, this, &frmMain::cmdCatAddCncl_Click);
    connect(cmdCatDel, &QPushButton::clicked, this, &frmMain::cmdCatDel_Click);
    connect(cmdCatDelCncl, &QPushButton::clicked, this, &frmMain::cmdCatDelCncl_Click);
    connect(cmdCatMod, &QPushButton::clicked, this, &frmMain::cmdCatMod_Click);
    connect(cmdCatModCncl, &QPushButton::clicked, this, &frmMain::cmdCatModCncl_Click);
    OnKeyPress(txtCatAdd, [this](int &k) { txtCatAdd_KeyPress(k); });
    OnKeyPress(cmbCatDel, [this](int &k) { cmbCatDel_KeyPress(k); });
    OnKeyPress(txtCatMod, [this](int &k) { txtCatMod_KeyPress(k); });
}

// ---- Categories menu ----

void frmMain::cmdCat_Click() {
    lblIntro->setVisible(false);
    modMain::DoCommand(QStringLiteral("HA"));
    lblSubTitle->setVisible(true);
    Sep2H->setVisible(true);
    lblSubTitle->setText(QStringLiteral("Categories Menu"));
    fraCatView->setVisible(true);
    lstCatView->setFocus();
    SetStatus(QStringLiteral("What would you like to do? Add, Delete or Modify a Category?"));
}

void frmMain::cmdCatViewA_Click() {
    cmdCatNxtTag = QStringLiteral("A");
    cmdCatNxt_Click();
}

void frmMain::cmdCatViewD_Click() {
    const int row = lstCatView->selectedRow();
    if (row >= 0)
        chooseNumber(cmbCatDel, lstCatView->entries()->numberAt(row));
    cmdCatNxtTag = QStringLiteral("D");
    cmdCatNxt_Click();
}

void frmMain::cmdCatViewM_Click() {
    const int row = lstCatView->selectedRow();
    if (row >= 0)
        chooseNumber(cmbCatMod, lstCatView->entries()->numberAt(row));
    cmdCatNxtTag = QStringLiteral("M");
    cmdCatNxt_Click();
    if (pctCatMod->isHidden())
        return; // no categories: the menu stays
    if (cmbCatMod->currentIndex() >= 0)
        txtCatMod->setFocus();
    else
        cmbCatMod->setFocus();
}

void frmMain::cmdCatNxt_Click() {
    const QString &tag = cmdCatNxtTag;
    // The category chosen on the menu, carried to the panel's chooser.
    const int row = lstCatView->selectedRow();
    const int number = row >= 0 ? lstCatView->entries()->numberAt(row) : -1;

    if (tag == QLatin1String("A")) {
        ShowScreen(QStringLiteral("Add Category Menu"));
        pctCatAdd->setVisible(true);
        txtCatAdd->clear();
        txtCatAdd->setFocus();
    } else if (tag == QLatin1String("D")) {
        if (cmbCatDel->count() == 0) {
            MsgBox::show(this, QStringLiteral("You don't seem to have any Categories to "
                                              "Delete...Why don't you go Add some categories "
                                              "first before clicking on me again!"));
            cmdCatViewA->setFocus();
            return;
        }
        ShowScreen(QStringLiteral("Delete Category Menu"));
        chooseNumber(cmbCatDel, number);
        pctCatDel->setVisible(true);
        cmbCatDel->setFocus();
    } else {
        if (cmbCatMod->count() == 0) {
            MsgBox::show(this, QStringLiteral("You don't seem to have any Categories to "
                                              "Modify...Why don't you go Add some categories "
                                              "first before clicking on me again!"));
            cmdCatViewA->setFocus();
            return;
        }
        ShowScreen(QStringLiteral("Modify Category Menu"));
        chooseNumber(cmbCatMod, number);
        pctCatMod->setVisible(true);
        txtCatMod->clear();
        cmbCatMod->setFocus();
    }
}

void frmMain::cmdCatViewCncl_Click() {
    BackToMainMenu();
}

void frmMain::lstCatView_DblClick() {
    const int row = lstCatView->selectedRow();
    if (row < 0)
        return;
    // The category is chosen while the chooser is hidden, so its own
    // handling loads nothing; the URLs menu then lists it, loading the file
    // only when the list does not show that category already. One
    // double-click so reads the file at most once (each foreign line is
    // announced once), and the menu's own status text stays.
    {
        const QSignalBlocker quiet(cmbUrlCat);
        chooseNumber(cmbUrlCat, lstCatView->entries()->numberAt(row));
    }
    cmdURL_Click();
}

// ---- Add Category panel ----

void frmMain::cmdCatAdd_Click() {
    const QString name = modMain::TrimBlanks(txtCatAdd->text());
    if (name.isEmpty()) {
        MsgBox::show(this, QStringLiteral("Please enter a name for the Category you wish to Add "
                                          "before you click me again!"));
        txtCatAdd->setFocus();
        return;
    }

    // What the name must be (storable, not taken) and whether a number is
    // left, the index decides.
    SetStatus(QStringLiteral("Please Wait...Adding Category!"));
    const modMain::Change change = AddCategory(name);
    if (OfferStorableText(this, change, {{modMain::Field::CategoryName, txtCatAdd}},
                          QStringLiteral("Ready (Add Category Menu)"),
                          [this] { cmdCatAdd_Click(); }))
        return;
    if (ChangeRefused(this, change, QStringLiteral("Ready (Add Category Menu)"), txtCatAdd)) {
        if (change.error.is(modMain::IoError::Kind::NameTaken))
            txtCatAdd->clear();
        return;
    }
    ReportChanged(this,
                  QStringLiteral("Success! The Category ") + name + QStringLiteral(" was Created!"),
                  change);
    ShowCategoryCount(lstCatView->count());
    SetStatus(QStringLiteral("Ready (Add Category Menu)"));
    txtCatAdd->clear();
    txtCatAdd->setFocus();
    cmdCat_Click();
}

void frmMain::txtCatAdd_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdCatAdd_Click();
}

void frmMain::cmdCatAddCncl_Click() {
    cmdCat_Click();
    lstCatView->setFocus();
}

// ---- Delete Category panel ----

void frmMain::cmdCatDel_Click() {
    const int chosen = cmbCatDel->currentIndex();
    if (chosen < 0) {
        MsgBox::show(this, QStringLiteral("Please choose the Category you wish to Delete before "
                                          "clicking me again!"));
        cmbCatDel->setFocus();
        return;
    }
    if (MsgBox::show(this,
                     QStringLiteral("Are you sure you wish to delete the choosen Category and all "
                                    "the URL's stored under it?"),
                     MsgButtons::YesNo, QStringLiteral("Confirm Delete")) != MsgAnswer::Yes)
        return;

    const QString name = cmbCatDel->itemText(chosen);
    SetStatus(QStringLiteral("Please Wait...Deleting Category and other related information..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("DC"));
    // Nothing changed on disk: the lists stay, the panel stays open.
    if (ChangeRefused(this, change, QStringLiteral("Ready (Delete Category Menu)"), cmbCatDel))
        return;
    ReportChanged(this,
                  change.failed()
                      ? QStringLiteral("The Category ") + name +
                            QStringLiteral(" was deleted, but a file of its URL's was left "
                                           "behind.\r\n\r\n") +
                            change.error.message()
                      : QStringLiteral("The Category ") + name +
                            QStringLiteral(" was succesfully deleted along with any URL's "
                                           "stored under it!"),
                  change);
    ShowCategoryCount(lstCatView->count());
    cmbCatDel->setFocus();
    cmdCat_Click();
}

void frmMain::cmbCatDel_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdCatDel_Click();
}

void frmMain::cmdCatDelCncl_Click() {
    cmdCat_Click();
    lstCatView->setFocus();
}

// ---- Modify Category panel ----

void frmMain::cmdCatMod_Click() {
    const int chosen = cmbCatMod->currentIndex();
    auto refuse = [this](const QString &message, QWidget *focus) {
        MsgBox::show(this, message);
        focus->setFocus();
    };

    if (chosen < 0) {
        refuse(QStringLiteral("Please choose the Category that you wish to Modify before "
                              "clicking me again!"),
               cmbCatMod);
        return;
    }
    const QString oldName = cmbCatMod->itemText(chosen);
    const QString name = modMain::TrimBlanks(txtCatMod->text());
    if (oldName.toUpper() == name.toUpper()) {
        refuse(QStringLiteral("I don't get it...If the modified name is same as the current name, "
                              "why Modify at all?\r\n               Think over it before you "
                              "click on me again!"),
               txtCatMod);
        return;
    }
    if (name.isEmpty()) {
        refuse(QStringLiteral("Please enter the Name you wish to Modify the chosen Category's "
                              "Name to in the text field."),
               txtCatMod);
        return;
    }

    // What the new name must be (storable, not taken), the index decides.
    SetStatus(QStringLiteral("Please Wait...Modifying Category Information..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("MC"));
    if (OfferStorableText(this, change, {{modMain::Field::CategoryName, txtCatMod}},
                          QStringLiteral("Ready (Modify Category Menu)"),
                          [this] { cmdCatMod_Click(); }))
        return;
    if (ChangeRefused(this, change, QStringLiteral("Ready (Modify Category Menu)"), txtCatMod)) {
        if (change.error.is(modMain::IoError::Kind::NameTaken))
            txtCatMod->clear();
        return;
    }
    ReportChanged(this,
                  QStringLiteral("Success, the Category ") + oldName +
                      QStringLiteral(" was modified to ") + name,
                  change);
    txtCatMod->clear();
    txtCatMod->setFocus();
    cmdCat_Click();
}

void frmMain::txtCatMod_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdCatMod_Click();
}

void frmMain::cmdCatModCncl_Click() {
    cmdCat_Click();
    lstCatView->setFocus();
}

// ---- The procedures behind the lists ----

void frmMain::LoadCategories() {
    const modMain::UserData::CategoriesLoaded loaded = Data->loadCategories();
    if (ReportIoError(this, loaded.error)) // a warning: the index was made just now
        return;
    // Loading the categories is the sign-in's: the Trash's old items go.
    PurgeTrash();
    if (!loaded.hasData)
        return;
    ShowCategoryCount(cmbCatDel->count());

    // The last record decides: after the owner message only cmbCatDel lists
    // the owned records, and the other three lists stay empty (they list
    // only the categories added from now on).
    if (!loaded.lastOwned) {
        MsgBox::show(this, QStringLiteral("               Imposter! These Category Files don't "
                                          "seem to belong to you!\r\n\r\nPlease refer to the "
                                          "readme file for more details."));
    }
}

modMain::Change frmMain::AddCategory(const QString &name) {
    SetStatus(QStringLiteral("Please Wait...Adding Category!"));
    return Data->addCategory(name);
}

modMain::Change frmMain::DeleteCategory() {
    return Data->deleteCategory(cmbCatDel->chosenNumber(), cmbCatDel->currentText());
}

modMain::Change frmMain::ModifyCategory() {
    return Data->renameCategory(cmbCatMod->chosenNumber(), cmbCatMod->currentText(),
                                modMain::TrimBlanks(txtCatMod->text()));
}

#pragma once

#include "screens/catalogue.h"
#include "storage/records.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>

#include "screens/limitedtextedit.h"
#include "screens/listbox.h"

namespace screens {
class StatusBar;
}

using screens::Frame;
using screens::LimitedTextEdit;
using screens::ListBox;
using screens::Panel;
using screens::Separator;

// The main window: title, menu buttons, the panels of the category and URL
// screens, and the status bar. One instance for the life of the program.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // The one main window, or nullptr before it is made.
    static frmMain *current();
    // Every control of the window with its fixed properties.
    static QList<screens::ControlRow> catalogue();

    // Sign-in marker: "VALID=FALSE" while the sign-in window is open,
    // "VALID=TRUE" once a user has signed in or registered there.
    QString Tag;

    WAYFILE_FRMMAIN_CONTROLS(WAYFILE_DECLARE_CONTROL)
    screens::StatusBar *StatusBar = nullptr;

    // Start-up: refuses a second running instance (returns false: the program
    // must end), arranges the window and hides every panel.
    bool Form_Load();
    void cmdLogin_Click();
    void cmdQuit_Click();

    // ---- Category screens: handlers defined in src/categories/frmMain_categories.cpp ----
    void cmdCat_Click();
    void cmdCatViewA_Click();
    void cmdCatViewD_Click();
    void cmdCatViewM_Click();
    void cmdCatNxt_Click(); // opens the panel named by cmdCatNxt's "Tag" property
    void cmdCatViewCncl_Click();
    void lstCatView_DblClick();
    void cmdCatAdd_Click();
    void txtCatAdd_KeyPress(int &keyAscii);
    void cmdCatAddCncl_Click();
    void cmdCatDel_Click();
    void cmbCatDel_KeyPress(int &keyAscii);
    void cmdCatDelCncl_Click();
    void cmdCatMod_Click();
    void txtCatMod_KeyPress(int &keyAscii);
    void cmdCatModCncl_Click();
    // The procedures that read and write the category index and keep the
    // four category lists in step with it ("LCD", "DC", "MC"; AddCategory is
    // called directly and reports whether the category was written).
    void LoadCategories();
    bool AddCategory(const QString &name);
    void DeleteCategory();
    void ModifyCategory();

    // ---- end of the category screens' handlers ----

    // ---- URL screens: handlers defined in src/urls/frmMain_urls.cpp ----
    void cmdURL_Click();
    void cmdUrlViewCncl_Click();
    void cmdUrlNxt_Click();
    void cmbUrlCat_Click();
    void lstUrlView_Click();
    void cmdUrlViewV_Click();
    void cmdUrlViewA_Click();
    void txtUrlAddCh_Click();
    void txtUrlAddCh_GotFocus();
    void txtUrlAdd_KeyPress(int &keyAscii);
    void cmdUrlAdd_Click();
    void cmdUrlAddCncl_Click();
    void cmdUrlViewD_Click();
    void cmbUrlDel_KeyPress(int &keyAscii);
    void cmdUrlDel_Click();
    void cmdUrlDelCncl_Click();
    void cmdUrlViewM_Click();
    void cmbUrlMod_Click();
    void txtUrlModDesc_Click();
    void txtUrlModDesc_GotFocus();
    void txtUrlMod_KeyPress(int &keyAscii);
    void cmdUrlMod_Click();
    void cmdUrlModCncl_Click();
    // Panel selector ("A", "D", "M") and the category chooser's no-reload
    // marker: the tags of cmdUrlNxt and cmbUrlCat.
    QString cmdUrlNxtTag;
    QString cmbUrlCatTag;
    // Positions carried into the Delete and Modify URL panels.
    QString cmbUrlDelTag;
    QString cmbUrlModTag;
    // The category whose URLs lstUrlView holds; 0 when it holds none.
    int UrlViewCatNo = 0;

    // ---- end of the URL screens' handlers ----

signals:
    // Exit was pressed: the program ends.
    void programEnd();

private:
    void connectHandlers();
    void registerCommands();
    // Each screen group wires its own controls and plugs its own commands
    // into the command table.
    void connectCategoryHandlers();
    void connectUrlHandlers();

    QWidget *m_client = nullptr;
};

// Writes a text into the message panel of the main window's status bar.
void SetStatus(const QString &text);

// After a change that was written: when its folder could not be flushed to
// disk (`err.notSynced`), tells the user that a power failure could still
// undo it. Shows nothing otherwise.
void WarnIfNotSynced(QWidget *parent, const modMain::IoError &err);

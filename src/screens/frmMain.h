#pragma once

#include "screens/catalogue.h"
#include "screens/layout.h"
#include "screens/screen.h"
#include "session/modMain.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>

#include "screens/dropdownlist.h"
#include "screens/limitedtextedit.h"
#include "screens/listbox.h"

#include <functional>

#include "dropin/droppedlinks.h"

namespace modMain {
class FindIndex;
struct ImportPreview;
class ListFace;
class SortedListModel;
class UserData;
} // namespace modMain

namespace screens {
class FoundUrls;
class StatusBar;
} // namespace screens

namespace screens {
class OpenInTurns;
} // namespace screens

using screens::DropDownList;
using screens::Frame;
using screens::LimitedTextEdit;
using screens::ListBox;
using screens::Panel;
using screens::Separator;

// The main window: title, menu buttons, the panels of the category and URL
// screens, and the status bar. One instance for the life of the program.
class frmMain : public QMainWindow {
    Q_OBJECT
    // Makes the screens hidden at start-up at the first use of one of their
    // controls (declared before the controls, which refer to it).
    screens::LaterControls m_later{[this] { makeLaterControls(); }};

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

    // The controls. Those of the screens hidden at start-up are made at the
    // first use of one of them; LaterControlsMade() tells whether they are.
    WAYFILE_FRMMAIN_CONTROLS(WAYFILE_DECLARE_LATER_CONTROL)
    bool LaterControlsMade() const { return m_later.made(); }
    // Makes them now, when they are not made yet.
    void MakeLaterControls() { m_later.make(); }
    // Hides every screen made so far (the controls marked Later).
    void HideScreens();
    // Where ArrangeMainForm placed the controls, on which screen: the
    // controls made later take their places from it.
    screens::MainLayout Arrangement;
    screens::ScreenMetrics ArrangedOn;
    screens::StatusBar *StatusBar = nullptr;

    // The signed-in user's data: the lists' models and the find index, which
    // the procedures change through it (see userdata.h).
    modMain::UserData *Data = nullptr;
    // The two families of sorted lists, each one model of Data that its lists
    // show. The categories: cmbCatDel shows them all; lstCatView, cmbCatMod
    // and cmbUrlCat show one face of them, which after the owner message of
    // LoadCategories holds back the categories loaded (CategoriesShown).
    // The URLs of a category: lstUrlView, cmbUrlDel and cmbUrlMod each show
    // them or nothing, as the URL screens load them.
    modMain::SortedListModel *CategoryModel = nullptr;
    modMain::ListFace *CategoriesShown = nullptr;
    modMain::SortedListModel *UrlModel = nullptr;

    // Start-up: refuses a second running instance (returns false: the program
    // must end), arranges the window and hides every panel.
    bool Form_Load();
    void cmdLogin_Click();
    void cmdQuit_Click();
    // Signs the user out, as Logout does once the user has confirmed it, and
    // leaves nothing of the user in any list, box (hidden ones as well),
    // index or the clipboard. An automatic sign-out adds `notice` to the
    // introduction, saying why; Logout passes none.
    void SignOut(const QString &notice = QString());

    // ---- Trash, undo and redo: handlers defined in src/trash/frmMain_trash.cpp ----
    void cmdTrash_Click();
    void cmdTrashRes_Click();
    void cmdTrashEmp_Click();
    void cmdTrashCncl_Click();
    // Ctrl+Z (`redo` false), Ctrl+Shift+Z or Ctrl+Y (`redo` true) on the
    // window outside a text box.
    void Undo_Press(bool redo);
    // The procedures behind them ("UN", "RE", "LT", "RT", "ET").
    modMain::Change UndoChange(bool redo);
    void LoadTrash();
    modMain::Change RestoreTrash();
    modMain::Change EmptyTrash();
    // At sign-in: the Trash's items older than 30 days go, and the user is
    // told how many.
    void PurgeTrash();
    // What the last undo or redo named, for its status line.
    QString UndoneName;
    // The Trash's items as lstTrash lists them (item number in Qt::UserRole).
    QStandardItemModel *TrashItems = nullptr;
    // Whether the last restore gave an item another number.
    bool TrashRenumbered = false;

    // ---- Category screens: handlers defined in src/categories/frmMain_categories.cpp ----
    void cmdCat_Click();
    void cmdCatViewA_Click();
    void cmdCatViewD_Click();
    void cmdCatViewM_Click();
    void cmdCatNxt_Click(); // opens the panel named by cmdCatNxtTag
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
    // Panel selector of the hidden button cmdCatNxt: "A", "D" or "M".
    QString cmdCatNxtTag;
    // The prompt of the Categories menu's list with the count of categories.
    void ShowCategoryCount(int count);

    // ---- Bookmark files: handlers defined in src/bookmarks/frmMain_bookmarks.cpp ----
    void cmdCatViewI_Click();
    void cmdCatViewX_Click();
    void cmdCatImp_Click();
    void cmdCatImpCncl_Click();
    // Reads the bookmark file at `path` and shows what importing it would
    // write on the preview panel (or why it cannot be imported).
    void PreviewBookmarkFile(const QString &path);
    // Shows `preview` on the preview panel, under `source` (where its links
    // come from), for Import to write.
    void ShowImportPreview(const QString &source,
                           const std::shared_ptr<modMain::ImportPreview> &preview);
    // Drops the import the preview panel showed, and its texts (at Back and
    // at sign-out: nothing of one user's bookmarks stays for the next).
    void ForgetPendingImport();
    void lstCatImp_KeyPress(int &keyAscii);
    // The import the preview panel shows, which cmdCatImp_Click writes;
    // none while the panel is not shown.
    std::shared_ptr<const modMain::ImportPreview> PendingImport;
    modMain::Change ImportBookmarks(); // "IB"

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

    // ---- Find URL: handlers defined in src/urls/frmMain_find.cpp ----
    // The Find URL menu (cmdUrlViewF, or Ctrl+F anywhere while signed in).
    void cmdUrlViewF_Click();
    void txtUrlFind_Change();
    void lstUrlFind_Click();
    void lstUrlFind_DblClick();
    void cmdUrlFindCncl_Click();
    // The "already saved" hints of the Add and Modify URL panels.
    void txtUrlAdd_Change();
    void txtUrlMod_Change();
    // Ctrl+C in lstUrlView and lstUrlFind: the chosen address as View opens it.
    void lstUrlView_Copy();
    void lstUrlFind_Copy();
    // The URLs found in the index of Data. The index is built at its first
    // use ("LFI"), and Data keeps it in step with every change.
    screens::FoundUrls *FoundUrls = nullptr;
    void BuildFindIndex(); // "LFI"
    void FindUrls();       // "FU": lstUrlFind for the text of txtUrlFind
    // Sign-out and exit: every box and list of the Find URL menu and the
    // hints are emptied, and a copied address leaves the clipboard.
    void ForgetFoundUrls();

    // ---- end of the Find URL handlers ----

    // ---- Open All: cmdUrlViewO_Click in src/urls/frmMain_urls.cpp, cmdUrlFindO_Click in
    // src/urls/frmMain_find.cpp ----
    void cmdUrlViewO_Click();
    void cmdUrlFindO_Click();
    // Opens `addresses` (as stored) in the browser, in their order, as View
    // opens one, a few per turn of the event loop; from 15 on, asks first.
    // `ready` is the screen's ready text, for when the user says No.
    void OpenAll(const QStringList &addresses, const QString &ready);
    screens::OpenInTurns *OpenAllQueue = nullptr;

    // ---- Dropped and pasted links: handlers defined in src/dropin/frmMain_dropin.cpp ----
    // Ctrl+V outside a text box: the links on the clipboard, as if dropped.
    void Form_Paste();
    // Links dropped or pasted: one opens the Add URL panel filled in, more
    // the import preview, a bookmark file the bookmark import.
    void TakeLinks(const modMain::OfferedData &offered);
    // The links the preview panel shows (dropped or pasted), for the
    // category cmbCatImp chooses; empty while it shows none.
    QList<modMain::DroppedLink> PendingLinks;
    // Shows PendingLinks on the preview panel: planned for the category
    // chosen in cmbCatImp, or, with none chosen, the chooser first.
    void PreviewPendingLinks();
    void cmbCatImp_Click();
    // After the preview of links: the URL menu on their category (the one
    // chosen there before, when none was chosen).
    void BackToUrlMenuOnLinksCategory();
    // The preview panel shows links (not a bookmark file): Import and Back
    // return to the URL menu.
    bool PendingImportOfLinks = false;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

public:
    // ---- The procedures behind the lists ----
    // Each takes its input from the controls and hands it to Data, which
    // reads and writes the files and keeps the lists and the index in step
    // with them. Loads report their own read failures. Changes hand their
    // outcome back (through DoCommand) to the handler that ran them, which
    // reports it.
    void LoadCategories();                            // "LCD"
    modMain::Change AddCategory(const QString &name); // called directly
    modMain::Change DeleteCategory();                 // "DC"
    modMain::Change ModifyCategory();                 // "MC"
    // "LUD" (mode "DEL": cmbUrlDel), "LUM" ("MOD": cmbUrlMod), "LUV"
    // (anything else: lstUrlView and its count label).
    void LoadUrlList(const QString &mode);
    void LoadUrlDetails();       // "LD"
    modMain::Change AddUrl();    // "AU"
    modMain::Change DeleteUrl(); // "DU"
    modMain::Change ModifyUrl(); // "MU"

    // Hides every panel and shows the screen named `screen` ("Add URL
    // Menu"...) in the subtitle and its ready text on the status line; the
    // caller then shows the screen's own panel.
    void ShowScreen(const QString &screen);
    // Back to the main menu from the Categories or URLs menu.
    void BackToMainMenu();

signals:
    // Exit was pressed: the program ends.
    void programEnd();

private:
    // Creates the control of a catalogue row inside `parent`.
    QWidget *makeControl(const screens::ControlRow &row, QWidget *parent);
    // Makes, names, wires and places the controls left for later, hidden.
    void makeLaterControls();

    void connectHandlers();
    // Each screen group wires its controls of the start-up screen and plugs
    // its commands into the command table (connect...Handlers), and wires the
    // controls of its screens once they are made (connect...Screens).
    void connectCategoryHandlers();
    void connectUrlHandlers();
    void connectFindHandlers();
    void connectBookmarkHandlers();
    void connectCategoryScreens();
    void connectUrlScreens();
    void connectFindScreens();
    void connectBookmarkScreens();
    void connectDropinHandlers();
    void connectDropinScreens();
    void connectTrashHandlers();
    void connectTrashScreens();
    // The operations of this window in the command table; the window
    // unplugs all of them when it goes.
    modMain::CommandPlugs m_commands;

    QWidget *m_client = nullptr;
    screens::Controls m_controls; // the controls made so far, by name
};

// Writes a text into the message panel of the main window's status bar.
void SetStatus(const QString &text);

// "1 URL", "2 URL's": the program's way of counting things in its texts.
QString Counted(qsizetype n, const QString &one, const QString &many);
QString UrlsCounted(qsizetype n);
QString CategoriesCounted(qsizetype n);

// After a change that was written: when a folder could not be flushed to
// disk (`err.warning`), tells the user that a power failure could still undo
// it. Shows nothing otherwise.
void WarnIfNotSynced(QWidget *parent, const modMain::IoError &err);

// How an operation that changes nothing the user asked for reports (a load,
// a look-up, the clearing of leftovers): the failure's message, if any, then
// any warning. True when it failed.
bool ReportIoError(QWidget *parent, const modMain::IoError &err);

// How every change handler ends. A change that did not happen: its message
// (and any warning raised before it failed), the screen's ready text `ready`
// on the status line and the focus back to `focus` (when given); returns
// true. A full disk's message adds that nothing was saved and what to do,
// and then `stillHolds` (what the user can still rely on), when given. A
// change that happened: returns false and shows nothing, for the handler to
// report its success.
bool ChangeRefused(QWidget *parent, const modMain::Change &change, const QString &ready,
                   QWidget *focus = nullptr, const QString &stillHolds = QString());

// A change that happened: `success`, then any warning it raised.
void ReportChanged(QWidget *parent, const QString &success, const modMain::Change &change);

// A change refused because the cipher cannot store a typed text: when the
// refusal is about the field (Field::CategoryName, Url, Description) of
// one of `boxes`, and the character table (MapToStorable) makes that box's
// text one that can be stored, the refusal's box asks whether to store the
// mapped text instead. Yes puts it into the box and runs `tryAgain` (the
// handler once more); No leaves the box as typed, `ready` on the status line
// and the focus in the box. True when the offer was made, and the handler
// ends there; false: no offer, the plain refusal follows.
bool OfferStorableText(QWidget *parent, const modMain::Change &change,
                       const QList<std::pair<modMain::Field, QWidget *>> &boxes,
                       const QString &ready, const std::function<void()> &tryAgain);

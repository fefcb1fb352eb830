// The Trash screen (what Delete URL and Delete Category took, restored from
// there or deleted for good), the purge of old items at sign-in, and undo and
// redo on the main window.

#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "session/modMain.h"
#include "trash/trashfile.h"
#include "userdata/userdata.h"

#include <QAbstractSpinBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>

using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

namespace {

const QString kTrashScreen = QStringLiteral("Trash Menu");

// Whether the key goes to a box the user types in, which keeps Ctrl+Z and
// its kin for its own undo.
bool InTextBox(const QWidget *focus) {
    if (!focus)
        return false;
    if (qobject_cast<const QLineEdit *>(focus) || qobject_cast<const QAbstractSpinBox *>(focus))
        return true;
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(focus))
        return !plain->isReadOnly();
    if (const auto *rich = qobject_cast<const QTextEdit *>(focus))
        return !rich->isReadOnly();
    return false;
}

// How an item of the Trash is listed: what it is, its category, and when it
// was deleted (local time).
QString TrashRow(const modMain::TrashItem &item) {
    const QString when =
        item.deleted.isValid()
            ? item.deleted.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"))
            : QStringLiteral("an unknown date");
    if (item.kind == modMain::TrashItem::Kind::Url)
        return QStringLiteral("%1 (%2), deleted %3").arg(item.address, item.categoryName, when);
    return QStringLiteral("Category %1 with %2 URL(s), deleted %3")
        .arg(item.categoryName)
        .arg(item.urls)
        .arg(when);
}

// The item numbers of the chosen rows, in list order.
QList<qint64> ChosenItems(const QListView *list) {
    QList<qint64> items;
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    QList<int> order;
    for (const QModelIndex &row : rows)
        order.append(row.row());
    std::sort(order.begin(), order.end());
    for (const int row : order)
        items.append(list->model()->index(row, 0).data(Qt::UserRole).toLongLong());
    return items;
}

} // namespace

// ---- Wiring ----

void frmMain::connectTrashHandlers() {
    connect(cmdTrash, &QPushButton::clicked, this, &frmMain::cmdTrash_Click);
    // The Trash is the signed-in user's: its button is usable when the URL
    // menu's is.
    cmdTrash->setEnabled(cmdURL->isEnabled());
    screens::OnEvent(cmdURL, QEvent::EnabledChange,
                     [this] { cmdTrash->setEnabled(cmdURL->isEnabled()); });

    // Anywhere in the window; a text box takes the keys first for its own
    // undo (it accepts them as overrides), and is left alone here as well.
    const auto keys = {std::pair{QKeySequence(QKeySequence::Undo), false},
                       std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), true},
                       std::pair{QKeySequence(Qt::CTRL | Qt::Key_Y), true}};
    for (const auto &[sequence, redo] : keys) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, redo = redo] { Undo_Press(redo); });
    }

    TrashItems = new QStandardItemModel(this);
    m_commands.plug("UN", [this] { return UndoChange(false); });
    m_commands.plug("RE", [this] { return UndoChange(true); });
    m_commands.plug("LT", [this] { LoadTrash(); });
    m_commands.plug("RT", [this] { return RestoreTrash(); });
    m_commands.plug("ET", [this] { return EmptyTrash(); });
}

void frmMain::connectTrashScreens() {
    lstTrash->setModel(TrashItems);
    lstTrash->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTrash->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(cmdTrashRes, &QPushButton::clicked, this, &frmMain::cmdTrashRes_Click);
    connect(cmdTrashEmp, &QPushButton::clicked, this, &frmMain::cmdTrashEmp_Click);
    connect(cmdTrashCncl, &QPushButton::clicked, this, &frmMain::cmdTrashCncl_Click);
    screens::OnKeyPress(lstTrash, [this](int &k) {
        if (screens::TakeEnter(k))
            cmdTrashRes_Click();
        else if (screens::TakeEscape(k))
            cmdTrashCncl_Click();
    });
}

// ---- Procedures ----

modMain::Change frmMain::UndoChange(bool redo) {
    UndoneName.clear();
    return redo ? Data->redo(&UndoneName) : Data->undo(&UndoneName);
}

void frmMain::LoadTrash() {
    QList<modMain::TrashItem> items;
    const modMain::IoError err = Data->readTrash(&items);
    TrashItems->clear();
    for (const modMain::TrashItem &item : std::as_const(items)) {
        auto *row = new QStandardItem(TrashRow(item));
        row->setData(item.id, Qt::UserRole);
        TrashItems->appendRow(row);
    }
    ReportIoError(this, err);
}

modMain::Change frmMain::RestoreTrash() {
    TrashRenumbered = false;
    modMain::Change outcome;
    for (const qint64 id : ChosenItems(lstTrash)) {
        bool renumbered = false;
        const modMain::Change change = Data->restoreFromTrash(id, &renumbered);
        TrashRenumbered = TrashRenumbered || renumbered;
        if (!change.changed) {
            // What was restored before stays restored.
            if (outcome.changed)
                outcome.error = change.error;
            else
                outcome = change;
            return outcome;
        }
        outcome.changed = true;
        outcome.error.note(change.error);
        ++outcome.number;
    }
    return outcome;
}

modMain::Change frmMain::EmptyTrash() {
    return Data->emptyTrash();
}

void frmMain::PurgeTrash() {
    const modMain::Change purged = Data->purgeTrash();
    if (ReportIoError(this, purged.error) || purged.number == 0)
        return;
    MsgBox::show(this, QStringLiteral("%1 item(s) deleted more than %2 days ago went from your "
                                      "Trash for good.")
                           .arg(purged.number)
                           .arg(modMain::kTrashDays));
}

// ---- Handlers ----

void frmMain::cmdTrash_Click() {
    modMain::DoCommand(QStringLiteral("HA"));
    lblIntro->setVisible(false);
    lblSubTitle->setVisible(true);
    lblSubTitle->setText(kTrashScreen);
    pctTrash->setVisible(true);
    SetStatus(QStringLiteral("Please wait...Loading your Trash..."));
    modMain::DoCommand(QStringLiteral("LT"));
    SetStatus(QStringLiteral("Ready (") + kTrashScreen + u')');
    lstTrash->setFocus();
}

void frmMain::cmdTrashRes_Click() {
    if (!lstTrash->selectionModel()->hasSelection()) {
        MsgBox::show(this, QStringLiteral("Please choose what you wish to Restore from the List!"));
        lstTrash->setFocus();
        return;
    }
    SetStatus(QStringLiteral("Please wait...Restoring from the Trash..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("RT"));
    const bool refused = ChangeRefused(this, change, QStringLiteral("Ready (Trash Menu)"));
    modMain::DoCommand(QStringLiteral("LT"));
    ShowCategoryCount(lstCatView->count());
    lstTrash->setFocus();
    if (refused)
        return;
    ReportChanged(this, QStringLiteral("Success! The choosen items are back where they were."),
                  change);
    SetStatus(TrashRenumbered ? QStringLiteral("Ready (Trash Menu). A URL or Category restored "
                                               "has another number now, as its own was taken.")
                              : QStringLiteral("Ready (Trash Menu)"));
}

void frmMain::cmdTrashEmp_Click() {
    if (MsgBox::show(this,
                     QStringLiteral("Are you sure you wish to delete everything in the Trash for "
                                    "good? It can't be restored afterwards."),
                     MsgButtons::YesNo, QStringLiteral("Confirm Empty Trash")) != MsgAnswer::Yes)
        return;
    SetStatus(QStringLiteral("Please wait...Emptying the Trash..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("ET"));
    if (ChangeRefused(this, change, QStringLiteral("Ready (Trash Menu)"), lstTrash))
        return;
    modMain::DoCommand(QStringLiteral("LT"));
    ReportChanged(this, QStringLiteral("The Trash was emptied."), change);
    SetStatus(QStringLiteral("Ready (Trash Menu)"));
    lstTrash->setFocus();
}

void frmMain::cmdTrashCncl_Click() {
    BackToMainMenu();
}

void frmMain::Undo_Press(bool redo) {
    if (!cmdURL->isEnabled() || InTextBox(focusWidget()))
        return;
    if (!(redo ? Data->canRedo() : Data->canUndo())) {
        SetStatus(redo ? QStringLiteral("Nothing to redo.") : QStringLiteral("Nothing to undo."));
        return;
    }
    SetStatus(redo ? QStringLiteral("Please wait...Redoing...")
                   : QStringLiteral("Please wait...Undoing..."));
    const modMain::Change change =
        modMain::DoCommand(redo ? QStringLiteral("RE") : QStringLiteral("UN"));
    if (LaterControlsMade()) {
        ShowCategoryCount(lstCatView->count());
        if (pctTrash->isVisible())
            modMain::DoCommand(QStringLiteral("LT"));
    }
    if (ChangeRefused(this, change, QStringLiteral("Ready")))
        return;
    WarnIfNotSynced(this, change.error);
    SetStatus((redo ? QStringLiteral("Redone: ") : QStringLiteral("Undone: ")) + UndoneName);
}

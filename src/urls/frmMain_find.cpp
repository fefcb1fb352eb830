// Finding URLs: the Find URL menu, which searches every URL of the signed-in
// user as the user types and leads from a URL found to its place in the URL
// menu; the "already saved" hints of the Add and Modify URL panels; copying
// an address out of the URL lists; and the index behind them.

#include "screens/clipboard.h"
#include "screens/foundurls.h"
#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "session/modMain.h"
#include "storage/paths.h"
#include "storage/records.h"
#include "urls/addressidentity.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QSignalBlocker>

#include <functional>

namespace {

const QString kFindScreen = QStringLiteral("Find URL Menu");

bool IsEnter(const QKeyEvent &key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

QString FoundCount(int count) {
    return QString::number(count) + QStringLiteral(" URL(s) found");
}

// The chosen row of the results; -1 when none is chosen.
int ChosenRow(const QListView *list) {
    const QModelIndexList chosen = list->selectionModel()->selectedIndexes();
    return chosen.isEmpty() ? -1 : chosen.first().row();
}

void ChooseRow(QListView *list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    list->scrollTo(index);
}

// Puts an address on the clipboard as View opens it.
void CopyAddress(const QString &address) {
    screens::Clipboard::copySecret(modMain::AddressToOpen(address));
    SetStatus(QStringLiteral("The URL was copied to the Clipboard. It will be cleared from there "
                             "in 30 seconds."));
}

// The hint under an address box: the categories that hold the address
// typed, as it would be stored, compared as a browser opens it
// (AddressIdentity). On the Modify URL panel (`modified`: the URL being
// changed, as stored) that URL itself does not count: its category is named
// only when another of its URLs has the address.
void ShowSavedIn(frmMain *f, const QLineEdit *box, QLabel *hint,
                 const QString *modified = nullptr) {
    const QString address = modMain::StoredAddress(modMain::TrimBlanks(box->text()));
    QStringList names;
    if (!address.isEmpty() && modMain::UserNo != 0) {
        modMain::DoCommand(QStringLiteral("LFI"));
        names = f->Data->index().savedIn(address);
        const QString own = f->cmbUrlCat->currentText();
        if (modified && names.contains(own) &&
            modMain::AddressIdentity(*modified) == modMain::AddressIdentity(address) &&
            f->Data->index().countIn(f->cmbUrlCat->chosenNumber(), address) < 2)
            names.removeOne(own);
        // A copy that only the Trash holds is named as such.
        for (const QString &trashed : f->Data->trashedIn(address)) {
            if (!names.contains(trashed))
                names << trashed + QStringLiteral(" (in Trash)");
        }
    }
    hint->setText(names.isEmpty()
                      ? QString()
                      : QStringLiteral("Already saved in: ") + names.join(QStringLiteral(", ")));
}

} // namespace

// ---- The procedures behind the Find URL menu ----

void frmMain::BuildFindIndex() {
    // A file that cannot be read is left out and reported once: the index
    // counts as built and is not read again this sign-in.
    ReportIoError(this, Data->buildIndex());
}

void frmMain::FindUrls() {
    if (modMain::TrimBlanks(txtUrlFind->text()).isEmpty()) {
        FoundUrls->clear();
    } else {
        BuildFindIndex();
        FoundUrls->find(txtUrlFind->text());
    }
    lblUrlFindCh->setText(FoundCount(FoundUrls->count()));
    txtUrlFindDesc->clear();
}

void frmMain::ForgetFoundUrls() {
    FoundUrls->clear();
    // Screens not made yet have shown nothing.
    if (LaterControlsMade()) {
        {
            // setText, unlike clear, leaves nothing to undo.
            const QSignalBlocker blocker(txtUrlFind);
            txtUrlFind->setText(QString());
        }
        lblUrlFindCh->setText(FoundCount(0));
        txtUrlFindDesc->clear();
        lblUrlAddSaved->clear();
        lblUrlModSaved->clear();
    }
    screens::Clipboard::clearCopied();
}

// ---- Wiring ----

void frmMain::connectFindHandlers() {
    FoundUrls = new screens::FoundUrls(Data, this);

    // Ctrl+F anywhere in the window while signed in.
    auto *find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        if (cmdURL->isEnabled())
            cmdUrlViewF_Click();
    });

    // However the program ends, nothing of the user's data or the search
    // stays behind.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        Data->forget();
        ForgetFoundUrls();
    });

    m_commands.plug("LFI", [this] { BuildFindIndex(); });
    m_commands.plug("FU", [this] { FindUrls(); });
}

void frmMain::connectFindScreens() {
    lstUrlFind->setModel(FoundUrls);
    lstUrlFind->setUniformItemSizes(true);
    lstUrlFind->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstUrlFind->setSelectionMode(QAbstractItemView::SingleSelection);
    // The hints keep to one line under their box.
    lblUrlAddSaved->setWordWrap(false);
    lblUrlModSaved->setWordWrap(false);
    // Find comes after Modify in the URL menu's column.
    QWidget::setTabOrder(cmdUrlViewM, cmdUrlViewF);

    connect(cmdUrlViewF, &QPushButton::clicked, this, &frmMain::cmdUrlViewF_Click);
    connect(cmdUrlFindCncl, &QPushButton::clicked, this, &frmMain::cmdUrlFindCncl_Click);
    connect(cmdUrlFindO, &QPushButton::clicked, this, &frmMain::cmdUrlFindO_Click);
    connect(txtUrlFind, &QLineEdit::textChanged, this, &frmMain::txtUrlFind_Change);
    connect(lstUrlFind->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmMain::lstUrlFind_Click);
    connect(lstUrlFind, &QAbstractItemView::doubleClicked, this, &frmMain::lstUrlFind_DblClick);
    connect(txtUrlAdd, &QLineEdit::textChanged, this, &frmMain::txtUrlAdd_Change);
    connect(txtUrlMod, &QLineEdit::textChanged, this, &frmMain::txtUrlMod_Change);

    // Down goes from the words into the results; Enter there (or in the
    // words) goes to the chosen URL, the first one when none is chosen.
    screens::OnKeyDown(txtUrlFind, [this](const QKeyEvent &key) {
        if (FoundUrls->count() == 0 || (key.key() != Qt::Key_Down && !IsEnter(key)))
            return false;
        if (ChosenRow(lstUrlFind) < 0)
            ChooseRow(lstUrlFind, 0);
        if (IsEnter(key))
            lstUrlFind_DblClick();
        else
            lstUrlFind->setFocus();
        return true;
    });
    screens::OnKeyDown(lstUrlFind, [this](const QKeyEvent &key) {
        if (IsEnter(key)) {
            lstUrlFind_DblClick();
            return true;
        }
        if (key.matches(QKeySequence::Copy)) {
            lstUrlFind_Copy();
            return true;
        }
        return false;
    });
    screens::OnKeyDown(lstUrlView, [this](const QKeyEvent &key) {
        if (!key.matches(QKeySequence::Copy))
            return false;
        lstUrlView_Copy();
        return true;
    });

    // Escape leaves the menu.
    auto *leave = new QShortcut(QKeySequence(Qt::Key_Escape), fraUrlFind);
    leave->setContext(Qt::WidgetWithChildrenShortcut);
    connect(leave, &QShortcut::activated, this, &frmMain::cmdUrlFindCncl_Click);
}

// ---- Find URL menu ----

void frmMain::cmdUrlViewF_Click() {
    modMain::DoCommand(QStringLiteral("HA"));
    lblIntro->setVisible(false);
    lblSubTitle->setVisible(true);
    lblSubTitle->setText(kFindScreen);
    fraUrlFind->setVisible(true);
    // The index is read at its first use; the words left in the box from
    // the last visit are looked up again, the URLs having changed since.
    SetStatus(QStringLiteral("Please wait...Loading all your URL's..."));
    modMain::DoCommand(QStringLiteral("LFI"));
    modMain::DoCommand(QStringLiteral("FU"));
    SetStatus(QStringLiteral("Ready (") + kFindScreen + u')');
    txtUrlFind->selectAll();
    txtUrlFind->setFocus();
}

void frmMain::txtUrlFind_Change() {
    modMain::DoCommand(QStringLiteral("FU"));
}

void frmMain::lstUrlFind_Click() {
    const int row = ChosenRow(lstUrlFind);
    if (row < 0) {
        txtUrlFindDesc->clear();
        return;
    }
    txtUrlFindDesc->setPlainText(screens::ShownLineBreaks(FoundUrls->descriptionAt(row)));
}

void frmMain::lstUrlFind_DblClick() {
    const int row = ChosenRow(lstUrlFind);
    if (row < 0)
        return;
    const int catNo = FoundUrls->categoryNoAt(row);
    const int urlNo = FoundUrls->urlNoAt(row);
    // The URL menu, with the category and then the URL chosen there as the
    // user would choose them: the category's URLs load, the URL's
    // description shows. The category is chosen before the menu opens, so
    // that the menu reads its file alone, not first the file of a category
    // a URL panel left chosen.
    const int position = CategoriesShown->rowOfNumber(catNo);
    const bool otherChosen = position >= 0 && cmbUrlCat->currentIndex() != position;
    if (otherChosen) {
        const QSignalBlocker quiet(cmbUrlCat);
        cmbUrlCat->setCurrentIndex(position);
    }
    cmdURL_Click();
    if (position < 0)
        return;
    if (otherChosen)
        SetStatus(QStringLiteral("Ready (URL(s) Menu)"));
    if (UrlViewCatNo != catNo)
        return; // its URLs could not be read; loading said so
    const int urlRow = lstUrlView->entries()->rowOfNumber(urlNo);
    if (urlRow < 0)
        return;
    lstUrlView->setCurrentRow(urlRow);
    lstUrlView->scrollTo(lstUrlView->model()->index(urlRow, 0));
    lstUrlView->setFocus();
}

void frmMain::cmdUrlFindCncl_Click() {
    BackToMainMenu();
}

// ---- Hints and copies ----

void frmMain::txtUrlAdd_Change() {
    ShowSavedIn(this, txtUrlAdd, lblUrlAddSaved);
}

void frmMain::txtUrlMod_Change() {
    const QString modified = cmbUrlMod->currentIndex() >= 0 ? cmbUrlMod->currentText() : QString();
    ShowSavedIn(this, txtUrlMod, lblUrlModSaved, modified.isEmpty() ? nullptr : &modified);
}

void frmMain::lstUrlView_Copy() {
    const int row = lstUrlView->selectedRow();
    if (row >= 0)
        CopyAddress(lstUrlView->entries()->textAt(row));
}

void frmMain::lstUrlFind_Copy() {
    const int row = ChosenRow(lstUrlFind);
    if (row >= 0)
        CopyAddress(FoundUrls->addressAt(row));
}

// ---- Open All ----

void frmMain::cmdUrlFindO_Click() {
    QStringList addresses;
    for (int row = 0; row < FoundUrls->count(); ++row)
        addresses << FoundUrls->addressAt(row);
    if (addresses.isEmpty()) {
        screens::MsgBox::show(this, QStringLiteral("There are no URL's found to open! Please type "
                                                   "the words you wish to find first."));
        txtUrlFind->setFocus();
        return;
    }
    OpenAll(addresses, QStringLiteral("Ready (") + kFindScreen + u')');
}

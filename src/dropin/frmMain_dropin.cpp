// Links dropped on the main window or pasted into it (Ctrl+V outside a text
// box): one web address opens the Add URL panel filled in, several the
// import preview, a bookmark file the bookmark import. Nothing is written
// before the user confirms on the panel or the preview.

#include "bookmarks/importplanner.h"
#include "dropin/droppedlinks.h"
#include "screens/clipboard.h"
#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "session/modMain.h"
#include "storage/records.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>

namespace {

bool OffersLinks(const QMimeData *mime) {
    return mime && modMain::OffersLinkFormats(mime->formats());
}

} // namespace

void frmMain::connectDropinHandlers() {
    setAcceptDrops(true);
    // Text boxes take Ctrl+V for themselves (their shortcut override); the
    // rest of the window (lists, menus, buttons) pastes links.
    auto *paste = new QShortcut(QKeySequence::Paste, this);
    paste->setContext(Qt::WindowShortcut);
    connect(paste, &QShortcut::activated, this, &frmMain::Form_Paste);
}

void frmMain::dragEnterEvent(QDragEnterEvent *event) {
    if (OffersLinks(event->mimeData()))
        event->acceptProposedAction();
}

void frmMain::dragMoveEvent(QDragMoveEvent *event) {
    if (OffersLinks(event->mimeData()))
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent *event) {
    if (!OffersLinks(event->mimeData()))
        return;
    // The data is read now, while the drop holds it; the links are taken
    // once the drop is over, so that the program the links came from is
    // not kept waiting by what the window shows.
    const modMain::OfferedData offered = screens::Clipboard::offered(event->mimeData());
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, offered] { TakeLinks(offered); });
}

void frmMain::Form_Paste() {
    TakeLinks(screens::Clipboard::offered());
}

void frmMain::TakeLinks(const modMain::OfferedData &offered) {
    if (modMain::UserNo == 0) {
        SetStatus(QStringLiteral("You must Login first to save a link."));
        return;
    }
    // An import being written takes nothing else in.
    if (pctCatImp->isVisible() && !cmdCatImpCncl->isEnabled())
        return;
    const modMain::DroppedLinks read = modMain::ReadDroppedLinks(offered);
    switch (read.kind) {
    case modMain::DroppedLinks::Kind::Nothing:
        SetStatus(QStringLiteral("There is no web address to save in what was dropped or pasted."));
        return;
    case modMain::DroppedLinks::Kind::BookmarkFile:
        PreviewBookmarkFile(read.bookmarkFile);
        return;
    case modMain::DroppedLinks::Kind::Links:
        break;
    }

    if (const modMain::DroppedLink *link = read.single()) {
        // Add URL as the URL menu opens it, with the menu's category chosen.
        cmdUrlViewA_Click();
        {
            // The "already saved" hint under the address can have every URL
            // file to read first (once a sign-in, for the index behind it):
            // it follows on the next turn, once the panel shows filled in.
            const QSignalBlocker quiet(txtUrlAdd);
            txtUrlAdd->setText(link->address);
        }
        QTimer::singleShot(0, this, [this] {
            if (pctUrlAdd->isVisibleTo(this))
                txtUrlAdd_Change();
        });
        if (!link->title.isEmpty()) {
            const QString fitted = modMain::FittedDescription(link->title);
            txtUrlAddCh->setText(fitted);
            if (fitted != link->title)
                SetStatus(QStringLiteral("1 text(s) had to be changed to fit: the Description \"") +
                          link->title + QStringLiteral("\" is stored as \"") + fitted +
                          QStringLiteral("\"."));
        }
        txtUrlAdd->setFocus();
        return;
    }

    // Several: the preview of importing them, into the URL menu's category
    // when one is chosen there.
    PendingLinks = read.links;
    {
        const QSignalBlocker quiet(cmbCatImp);
        cmbCatImp->setCurrentIndex(cmbUrlCat->currentIndex());
    }
    PreviewPendingLinks();
}

void frmMain::connectDropinScreens() {
    connect(cmbCatImp, &QComboBox::currentIndexChanged, this, &frmMain::cmbCatImp_Click);
    // Enter imports and Escape goes back from the chooser too.
    screens::OnKeyPress(cmbCatImp, [this](int &k) { lstCatImp_KeyPress(k); });
    lblCatImpCat->setVisible(false);
    cmbCatImp->setVisible(false);
}

void frmMain::cmbCatImp_Click() {
    // Only a choice the user makes while the panel shows links plans them.
    if (!PendingImportOfLinks || PendingLinks.isEmpty() || !cmbCatImp->isVisibleTo(this))
        return;
    PreviewPendingLinks();
}

void frmMain::PreviewPendingLinks() {
    if (PendingLinks.isEmpty())
        return;
    const QList<modMain::DroppedLink> dropped = PendingLinks;
    const QString source = UrlsCounted(dropped.size()) + QStringLiteral(" dropped or pasted");
    auto preview = std::make_shared<modMain::ImportPreview>();
    const bool chosen = cmbCatImp->currentIndex() >= 0;
    if (chosen) {
        QList<std::pair<QString, QString>> links;
        links.reserve(dropped.size());
        for (const modMain::DroppedLink &link : dropped)
            links.append({link.address, link.title});
        SetStatus(QStringLiteral("Please Wait...Reading your URL's..."));
        if (ReportIoError(this, modMain::PlanImportForUser(
                                    modMain::UserNo, modMain::PassStamp,
                                    modMain::LinkListFile(cmbCatImp->currentText(), links),
                                    preview.get()))) {
            SetStatus(QStringLiteral("Ready (Import Bookmarks Menu)"));
            cmbCatImp->setFocus();
            return;
        }
    }
    // A preview of the panel's own makes it forget the links: they come back
    // for the panel they are shown on.
    ShowImportPreview(
        chosen ? source + QStringLiteral(", for the Category ") + cmbCatImp->currentText() : source,
        preview);
    PendingLinks = dropped;
    PendingImportOfLinks = true;
    lblCatImpCat->setVisible(true);
    cmbCatImp->setVisible(true);
    if (!chosen) {
        lblCatImp->setText(
            source + QStringLiteral(".\n\nPlease choose the Category to add them under first."));
        cmdCatImp->setEnabled(false);
        cmbCatImp->setFocus();
    }
}

void frmMain::BackToUrlMenuOnLinksCategory() {
    if (cmbCatImp->currentIndex() >= 0) {
        const QSignalBlocker quiet(cmbUrlCat);
        cmbUrlCat->setCurrentIndex(cmbCatImp->currentIndex());
    }
    cmdURL_Click();
}

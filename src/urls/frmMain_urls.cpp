// The URL screens of the main window: the URLs menu and the Add, Delete and
// Modify URL panels, and the module procedures that fill their lists and
// write the URL files.

#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "screens/openaddress.h"
#include "screens/openinturns.h"
#include "screens/screen.h"
#include "screens/screens.h"
#include "screens/urllayout.h"
#include "session/modMain.h"
#include "storage/records.h"
#include "urls/urlfile.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <QEvent>
#include <QFileInfo>
#include <QSignalBlocker>

#include <climits>
#include <optional>

using screens::MsgBox;

namespace {

const QString kUrlCountText = QStringLiteral(" URL(s) under choosen Category are : ");

// Whether a panel is the one showing (or would be, once the window shows).
bool Showing(const QWidget *w) {
    return w->isVisibleTo(w->window());
}

void SelectRow(ListBox *list, int row) {
    const QSignalBlocker blocker(list);
    list->setCurrentRow(row);
    if (row < 0)
        list->clearSelection();
}

// A position kept in a tag: the number at its start, with its sign.
int TagPosition(const QString &tag) {
    const QString t = modMain::TrimBlanks(tag);
    if (t.startsWith(u'-'))
        return -int(qMin<qint64>(modMain::ReadNumber(QStringView(t).mid(1)), INT_MAX));
    return int(qMin<qint64>(modMain::ReadNumber(t), INT_MAX));
}

enum class UrlPanel { None, Add, Del, Mod };

// Applies the caption-width rule to the category prompt, and the layout of a
// panel after it, to the controls where the window's arrangement (or the
// last URL screen) left them; only the controls the rules move are placed.
void ArrangeUrlScreen(frmMain *f, UrlPanel panel) {
    const screens::ScreenMetrics screen = screens::CurrentScreen();
    const QHash<QString, screens::Box> before = screens::ReadBoxes(f, screen);
    QHash<QString, screens::Box> boxes = before;
    screens::ApplyUrlCaptionWidth(boxes, f->lblUrlCat->text(),
                                  float(f->lblUrlCat->font().pointSizeF()));
    switch (panel) {
    case UrlPanel::Add:
        screens::LayoutUrlAddPanel(boxes);
        break;
    case UrlPanel::Del:
        screens::LayoutUrlDelPanel(boxes);
        break;
    case UrlPanel::Mod:
        screens::LayoutUrlModPanel(boxes);
        break;
    case UrlPanel::None:
        break;
    }
    screens::PlaceBoxes(f, screens::ChangedBoxes(before, boxes), screen);
}

int ChosenCategory(const frmMain *f) {
    return f->cmbUrlCat->chosenNumber();
}

QString ChosenUrlFile(const frmMain *f) {
    return modMain::UrlFilePath(modMain::UserNo, ChosenCategory(f));
}

void SetUrlCount(frmMain *f) {
    f->lblUrlView->setText(QString::number(f->lstUrlView->count()) + kUrlCountText);
}

// Whether a change was refused for its description (the box keeps it, for the
// user to change).
bool DescriptionRefused(const modMain::Change &change) {
    return change.error.is(modMain::IoError::Kind::Unstorable) &&
           change.error.subject == modMain::Field::Description;
}

// Whether the Modify URL panel's description box still holds the description
// loaded for the chosen URL (LoadUrlDetails puts it into both boxes).
bool DescriptionAsLoaded(const frmMain *f) {
    return f->txtUrlModDesc->text() == screens::StoredLineBreaks(f->txtUrlViewDesc->toPlainText());
}

} // namespace

// ---- The procedures behind the URL lists ----

void frmMain::LoadUrlList(const QString &mode) {
    const bool view = mode != QLatin1String("DEL") && mode != QLatin1String("MOD");
    {
        // The list of the mode shows the URLs it loads, the other two none.
        const QSignalBlocker list(lstUrlView);
        Data->clearUrls();
        auto showIf = [](modMain::ListFace *face, bool shows) {
            if (shows)
                face->showEvery();
            else
                face->showNone();
        };
        showIf(cmbUrlDel->entries(), mode == QLatin1String("DEL"));
        showIf(cmbUrlMod->entries(), mode == QLatin1String("MOD"));
        showIf(lstUrlView->entries(), view);
    }
    UrlViewCatNo = 0;
    if (cmbUrlCat->currentIndex() < 0)
        return;

    const int catNo = ChosenCategory(this);
    modMain::UserData::UrlsLoaded loaded;
    {
        const QSignalBlocker list(lstUrlView);
        loaded = Data->loadUrls(catNo, cmbUrlCat->currentText());
    }
    const modMain::IoError &err = loaded.error;
    ReportIoError(this, err); // a warning: the category's URL file was made just now
    for (int i = 0; i < loaded.foreign; ++i)
        MsgBox::show(this, QStringLiteral("               Imposter! These files don't seem to "
                                          "belong to you.\r\n\r\n          Please refer the "
                                          "readme.txt file for more information."));
    if (view && !err.failed())
        UrlViewCatNo = catNo;
    if (view)
        SetUrlCount(this);
}

void frmMain::LoadUrlDetails() {
    if (cmbUrlCat->currentIndex() < 0)
        return;
    int urlNo = 0;
    QString address; // tells the URL from another of the same number
    if (Showing(pctUrlMod)) {
        if (cmbUrlMod->currentIndex() < 0)
            return;
        urlNo = cmbUrlMod->chosenNumber();
        address = cmbUrlMod->currentText();
    } else {
        const int row = lstUrlView->selectedRow();
        if (row < 0)
            return;
        urlNo = lstUrlView->entries()->numberAt(row);
        address = lstUrlView->entries()->textAt(row);
    }
    const QString path = ChosenUrlFile(this);
    if (!QFileInfo::exists(path))
        return; // nothing to show: both boxes keep their text

    modMain::UrlRecord record;
    if (ReportIoError(this, modMain::FindUrlRecord(path, urlNo, &record, address)))
        return;
    if (!record.fields)
        return;
    const QString description = record.description();
    txtUrlModDesc->setText(description);
    txtUrlViewDesc->setPlainText(screens::ShownLineBreaks(description));
}

modMain::Change frmMain::AddUrl() {
    // The URLs listed are those of the menu's category; the new one joins
    // them when it goes to that category.
    const QSignalBlocker blocker(lstUrlView);
    return Data->addUrl(ChosenCategory(this), modMain::TrimBlanks(txtUrlAdd->text()),
                        txtUrlAddCh->text());
}

modMain::Change frmMain::DeleteUrl() {
    // The address tells the URL meant from another of the same number. The
    // lists that show the URLs lose its entry, and the chosen entry its
    // choice.
    const QSignalBlocker list(lstUrlView);
    const QSignalBlocker del(cmbUrlDel);
    const modMain::Change change =
        Data->deleteUrl(ChosenCategory(this), cmbUrlDel->chosenNumber(), cmbUrlDel->currentText());
    if (change.changed)
        cmbUrlDel->setCurrentIndex(-1);
    return change;
}

modMain::Change frmMain::ModifyUrl() {
    const int urlNo = cmbUrlMod->chosenNumber();
    const QString address = modMain::TrimBlanks(txtUrlMod->text());
    // A description left as loaded is kept as the file holds it, whatever it
    // deciphers to; only one the user changed is written anew.
    std::optional<QString> description;
    if (!DescriptionAsLoaded(this))
        description = txtUrlModDesc->text();
    // The address tells the URL meant from another of the same number.
    const QSignalBlocker blocker(lstUrlView);
    return Data->modifyUrl(ChosenCategory(this), urlNo, cmbUrlMod->currentText(), address,
                           description);
}

// ---- Wiring ----

void frmMain::connectUrlHandlers() {
    connect(cmdURL, &QPushButton::clicked, this, &frmMain::cmdURL_Click);
    connect(cmdUrlNxt, &QPushButton::clicked, this, &frmMain::cmdUrlNxt_Click);

    m_commands.plug("AU", [this] { return AddUrl(); });
    m_commands.plug("LUD", [this] { LoadUrlList(QStringLiteral("DEL")); });
    m_commands.plug("LUM", [this] { LoadUrlList(QStringLiteral("MOD")); });
    m_commands.plug("LUV", [this] { LoadUrlList(QStringLiteral("VIEW")); });
    m_commands.plug("DU", [this] { return DeleteUrl(); });
    m_commands.plug("MU", [this] { return ModifyUrl(); });
    m_commands.plug("LD", [this] { LoadUrlDetails(); });
}

void frmMain::connectUrlScreens() {
    connect(cmdUrlViewCncl, &QPushButton::clicked, this, &frmMain::cmdUrlViewCncl_Click);
    connect(cmbUrlCat, &QComboBox::currentIndexChanged, this, &frmMain::cmbUrlCat_Click);
    connect(lstUrlView, &ListBox::choiceChanged, this, &frmMain::lstUrlView_Click);
    connect(cmdUrlViewV, &QPushButton::clicked, this, &frmMain::cmdUrlViewV_Click);
    connect(cmdUrlViewA, &QPushButton::clicked, this, &frmMain::cmdUrlViewA_Click);
    connect(cmdUrlAdd, &QPushButton::clicked, this, &frmMain::cmdUrlAdd_Click);
    connect(cmdUrlAddCncl, &QPushButton::clicked, this, &frmMain::cmdUrlAddCncl_Click);
    connect(cmdUrlViewD, &QPushButton::clicked, this, &frmMain::cmdUrlViewD_Click);
    connect(cmdUrlDel, &QPushButton::clicked, this, &frmMain::cmdUrlDel_Click);
    connect(cmdUrlDelCncl, &QPushButton::clicked, this, &frmMain::cmdUrlDelCncl_Click);
    connect(cmdUrlViewM, &QPushButton::clicked, this, &frmMain::cmdUrlViewM_Click);
    connect(cmbUrlMod, &QComboBox::currentIndexChanged, this, &frmMain::cmbUrlMod_Click);
    connect(cmdUrlMod, &QPushButton::clicked, this, &frmMain::cmdUrlMod_Click);
    connect(cmdUrlModCncl, &QPushButton::clicked, this, &frmMain::cmdUrlModCncl_Click);
    connect(cmdUrlViewO, &QPushButton::clicked, this, &frmMain::cmdUrlViewO_Click);

    // Emptying the list by any means (signing out) leaves it showing no
    // category's URLs.
    connect(lstUrlView->entries(), &QAbstractItemModel::modelReset, this,
            [this] { UrlViewCatNo = 0; });

    screens::OnKeyPress(txtUrlAdd, [this](int &k) { txtUrlAdd_KeyPress(k); });
    screens::OnKeyPress(cmbUrlDel, [this](int &k) { cmbUrlDel_KeyPress(k); });
    screens::OnKeyPress(txtUrlMod, [this](int &k) { txtUrlMod_KeyPress(k); });
    // The description boxes drop their hint when clicked into or entered.
    using screens::OnEvent;
    OnEvent(txtUrlAddCh->viewport(), QEvent::MouseButtonPress, [this] { txtUrlAddCh_Click(); });
    OnEvent(txtUrlAddCh, QEvent::FocusIn, [this] { txtUrlAddCh_GotFocus(); });
    OnEvent(txtUrlModDesc->viewport(), QEvent::MouseButtonPress, [this] { txtUrlModDesc_Click(); });
    OnEvent(txtUrlModDesc, QEvent::FocusIn, [this] { txtUrlModDesc_GotFocus(); });
}

// ---- URLs menu ----

void frmMain::cmdURL_Click() {
    modMain::DoCommand(QStringLiteral("HA"));
    lblUrlCat->setVisible(true);
    cmbUrlCat->setVisible(true);
    fraUrlView->setVisible(true);
    lblUrlCat->setText(QStringLiteral("Please choose a Category : "));
    ArrangeUrlScreen(this, UrlPanel::None);
    lblIntro->setVisible(false);
    lblSubTitle->setVisible(true);
    lblSubTitle->setText(QStringLiteral("URL's Menu"));

    // The menu lists the URLs of the category chosen; a panel may have chosen
    // another one (or emptied the list) since the list was filled.
    const int catNo = ChosenCategory(this);
    if (catNo != 0 && catNo != UrlViewCatNo) {
        modMain::DoCommand(QStringLiteral("LUV"));
        txtUrlViewDesc->setPlainText(screens::kDescriptionPlaceholder);
    } else if (catNo == 0 && UrlViewCatNo != 0) {
        // The category it listed is no longer chosen (it was deleted).
        const QSignalBlocker blocker(lstUrlView);
        lstUrlView->entries()->showNone();
    }
    SetUrlCount(this);
    SelectRow(lstUrlView, -1);
    if (lstUrlView->count() == 0)
        cmbUrlCat->setFocus();
    SetStatus(QStringLiteral("What would you like to do? Add, Delete or Modify a URL?"));
}

void frmMain::cmdUrlViewCncl_Click() {
    BackToMainMenu();
}

void frmMain::cmdUrlNxt_Click() {
    cmbUrlCat->setCurrentIndex(-1);
    if (cmdUrlNxtTag == QLatin1String("A")) {
        ShowScreen(QStringLiteral("Add URL Menu"));
        lblUrlCat->setVisible(true);
        cmbUrlCat->setVisible(true);
        txtUrlAdd->clear();
        txtUrlAddCh->setText(screens::kDescriptionHint);
        lblUrlCat->setText(QStringLiteral("Please choose the category to Add this URL under : "));
        ArrangeUrlScreen(this, UrlPanel::Add);
        pctUrlAdd->setVisible(true);
        txtUrlAdd->setFocus();
    } else if (cmdUrlNxtTag == QLatin1String("D")) {
        ShowScreen(QStringLiteral("Delete URL Menu"));
        lblUrlCat->setText(
            QStringLiteral("Please choose the category which has the URL you want to Delete : "));
        lblUrlCat->setVisible(true);
        cmbUrlCat->setVisible(true);
        ArrangeUrlScreen(this, UrlPanel::Del);
        pctUrlDel->setVisible(true);
        cmbUrlCat->setFocus();
    } else {
        ShowScreen(QStringLiteral("Modify URL Menu"));
        cmbUrlMod->setCurrentIndex(-1);
        txtUrlMod->clear();
        txtUrlModDesc->setText(screens::kDescriptionHint);
        lblUrlCat->setVisible(true);
        cmbUrlCat->setVisible(true);
        lblUrlCat->setText(QStringLiteral("Please choose the category which has the URL : "));
        ArrangeUrlScreen(this, UrlPanel::Mod);
        pctUrlMod->setVisible(true);
        txtUrlMod->setFocus();
    }
}

void frmMain::cmbUrlCat_Click() {
    // The chooser shows only with a URL screen: a selection that changes while
    // it is hidden (the category screens adding or removing entries) is no
    // choice of a URL screen, and the URLs menu catches up when it next opens.
    if (!Showing(cmbUrlCat))
        return;
    if (cmbUrlCat->currentIndex() < 0 || Showing(pctUrlAdd))
        return;
    if (cmbUrlCatTag.right(2) == QLatin1String("NO"))
        return;
    SetStatus(QStringLiteral("Please wait...Loading URL Data..."));
    if (Showing(pctUrlDel)) {
        modMain::DoCommand(QStringLiteral("LUD"));
        SetStatus(QStringLiteral("Ready (Delete URL Menu)"));
    } else if (Showing(pctUrlMod)) {
        modMain::DoCommand(QStringLiteral("LUM"));
        SetStatus(QStringLiteral("Ready (Modify URL Menu)"));
    } else {
        modMain::DoCommand(QStringLiteral("LUV"));
        txtUrlViewDesc->setPlainText(screens::kDescriptionPlaceholder);
        SelectRow(lstUrlView, -1);
        SetStatus(QStringLiteral("Ready (URL(s) Menu)"));
    }
}

// ---- View and open ----

void frmMain::lstUrlView_Click() {
    if (lstUrlView->selectedRow() < 0)
        return;
    SetStatus(QStringLiteral("Please wait...Loading URL Description..."));
    modMain::DoCommand(QStringLiteral("LD"));
    SetStatus(QStringLiteral("Ready (URL View Menu)"));
}

void frmMain::cmdUrlViewV_Click() {
    const int row = lstUrlView->selectedRow();
    if (row < 0) {
        MsgBox::show(this, QStringLiteral("Please choose a URL you wish to view!"));
        return;
    }
    // Only web addresses are opened: anything not already starting with
    // http:// or https:// gets http:// in front, so no other scheme's handler
    // is ever reached. The text goes to the desktop as a URL, not to a shell.
    const QString address = modMain::AddressToOpen(lstUrlView->entries()->textAt(row));
    if (!screens::OpenAddress(QUrl(address, QUrl::TolerantMode)))
        MsgBox::show(this, QStringLiteral("Sorry, the address could not be opened in your web "
                                          "browser:\r\n\r\n") +
                               address);
}

// ---- Add URL ----

void frmMain::cmdUrlViewA_Click() {
    cmbUrlCatTag = QString::number(cmbUrlCat->currentIndex());
    cmdUrlNxtTag = QStringLiteral("A");
    cmdUrlNxt_Click();
    cmbUrlCat->setCurrentIndex(TagPosition(cmbUrlCatTag));
}

void frmMain::txtUrlAddCh_Click() {
    if (txtUrlAddCh->text() == screens::kDescriptionHint)
        txtUrlAddCh->setText(QString());
}

void frmMain::txtUrlAddCh_GotFocus() {
    txtUrlAddCh_Click();
}

void frmMain::txtUrlAdd_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdUrlAdd_Click();
}

void frmMain::cmdUrlAdd_Click() {
    if (modMain::TrimBlanks(txtUrlAdd->text()).isEmpty()) {
        MsgBox::show(this, QStringLiteral("Please enter the URL you wish to Add!"));
        txtUrlAdd->setFocus();
        return;
    }
    if (cmbUrlCat->currentIndex() < 0) {
        MsgBox::show(this, QStringLiteral(
                               "Please choose the Category under which you wish to add the URL."));
        cmbUrlCat->setFocus();
        return;
    }
    // A description the file could not give back as typed is refused; the
    // box keeps it for the user to change.
    SetStatus(QStringLiteral("Please wait...Adding URL..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("AU"));
    if (OfferStorableText(
            this, change,
            {{modMain::Field::Url, txtUrlAdd}, {modMain::Field::Description, txtUrlAddCh}},
            QStringLiteral("Ready (Add URL Menu)"), [this] { cmdUrlAdd_Click(); }))
        return;
    if (ChangeRefused(this, change, QStringLiteral("Ready (Add URL Menu)"),
                      DescriptionRefused(change) ? txtUrlAddCh.get() : nullptr))
        return;
    ReportChanged(this,
                  QStringLiteral("Success! The URL was added under the Category ") +
                      cmbUrlCat->currentText(),
                  change);
    txtUrlAdd->clear();
    txtUrlAddCh->setText(QString());
    cmdUrlAddCncl_Click();
    SelectRow(lstUrlView, -1);
}

void frmMain::cmdUrlAddCncl_Click() {
    cmdURL_Click();
    txtUrlViewDesc->clear();
    cmbUrlCat->setFocus();
}

// ---- Delete URL ----

namespace {

// Opens the Delete or Modify URL panel from the URL menu: the menu's
// addresses go into the panel's URL chooser with the menu's choice chosen
// there, and the menu's category stays chosen without loading anything.
void OpenUrlEditPanel(frmMain *f, const QString &panelTag, DropDownList *urls, QString *urlsTag) {
    if (f->cmbUrlCat->currentIndex() >= 0) {
        SetStatus(QStringLiteral("Please Wait...Loading URL Data from List..."));
        // The menu's addresses, in the same order, when one of them is
        // chosen there; none otherwise.
        if (f->lstUrlView->selectedRow() >= 0)
            urls->entries()->showEvery();
        else
            urls->entries()->showNone();
    }
    f->cmbUrlCatTag = QString::number(f->cmbUrlCat->currentIndex());
    *urlsTag = QString::number(f->lstUrlView->selectedRow());
    f->cmdUrlNxtTag = panelTag;
    f->cmdUrlNxt_Click();
    f->cmbUrlCatTag += QStringLiteral("NO");
    f->cmbUrlCat->setCurrentIndex(TagPosition(f->cmbUrlCatTag));
    f->cmbUrlCatTag = QStringLiteral("OK");
    urls->setCurrentIndex(TagPosition(*urlsTag));
}

} // namespace

void frmMain::cmdUrlViewD_Click() {
    OpenUrlEditPanel(this, QStringLiteral("D"), cmbUrlDel, &cmbUrlDelTag);
}

void frmMain::cmbUrlDel_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdUrlDel_Click();
}

void frmMain::cmdUrlDel_Click() {
    if (cmbUrlCat->currentIndex() < 0) {
        MsgBox::show(this, QStringLiteral("Please choose the category under which the URL you "
                                          "wish to delete is existing!"));
        cmbUrlCat->setFocus();
        return;
    }
    if (cmbUrlDel->currentIndex() < 0) {
        MsgBox::show(this, QStringLiteral("Please choose the URL you wish to delete!"));
        cmbUrlDel->setFocus();
        return;
    }
    SetStatus(QStringLiteral("Please wait...Deleting URL from List..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("DU"));
    if (ChangeRefused(this, change, QStringLiteral("Ready (Delete URL Menu)")))
        return;
    ReportChanged(this, QStringLiteral("Success! The URL was succesfully deleted!"), change);
    cmdUrlDelCncl_Click();
}

namespace {

// Back from a panel to the URL menu with the same category chosen, loading
// nothing on the way.
void BackToUrlMenu(frmMain *f) {
    f->cmbUrlCatTag = QString::number(f->cmbUrlCat->currentIndex()) + QStringLiteral("NO");
    f->cmdURL_Click();
    f->cmbUrlCat->setCurrentIndex(TagPosition(f->cmbUrlCatTag.chopped(2)));
    f->cmbUrlCatTag = QStringLiteral("OK");
    f->txtUrlViewDesc->clear();
    f->cmbUrlCat->setFocus();
}

} // namespace

void frmMain::cmdUrlDelCncl_Click() {
    BackToUrlMenu(this);
}

// ---- Modify URL ----

void frmMain::cmdUrlViewM_Click() {
    OpenUrlEditPanel(this, QStringLiteral("M"), cmbUrlMod, &cmbUrlModTag);
}

void frmMain::cmbUrlMod_Click() {
    if (cmbUrlMod->currentIndex() < 0)
        return;
    txtUrlMod->setText(cmbUrlMod->currentText());
    modMain::DoCommand(QStringLiteral("LD"));
}

void frmMain::txtUrlModDesc_Click() {
    if (txtUrlModDesc->text() == screens::kDescriptionHint)
        txtUrlModDesc->setText(QString());
}

void frmMain::txtUrlModDesc_GotFocus() {
    txtUrlModDesc_Click();
}

void frmMain::txtUrlMod_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii))
        cmdUrlMod_Click();
}

void frmMain::cmdUrlMod_Click() {
    if (cmbUrlCat->currentIndex() < 0) {
        MsgBox::show(this, QStringLiteral("Please choose the Category the URL exists under"));
        cmbUrlCat->setFocus();
        return;
    }
    if (cmbUrlMod->currentIndex() < 0) {
        MsgBox::show(this, QStringLiteral("Please choose the URL you wish to Modify before "
                                          "clicking on me again!"));
        cmbUrlMod->setFocus();
        return;
    }
    // Unchanged: the address is still the chosen entry's and the description
    // still the one loaded for it.
    if (txtUrlMod->text() == cmbUrlMod->currentText() && DescriptionAsLoaded(this)) {
        MsgBox::show(this, QStringLiteral("Well...u don't seem to have made any changes to the "
                                          "URL or its description...what do u expect me to "
                                          "modify then?\r\n               Either modify something "
                                          "and then click on me, or click on the Back button!"));
        return;
    }
    if (modMain::TrimBlanks(txtUrlMod->text()).isEmpty()) {
        MsgBox::show(this, QStringLiteral("You can't leave the URL field Empty...either leave the "
                                          "Old URL or change it into a New One!"));
        txtUrlMod->setFocus();
        return;
    }
    // Only a description the user changed is written, and so checked: one
    // left as loaded is kept as stored (see ModifyUrl).
    SetStatus(QStringLiteral("Please wait...Modifying URL Data..."));
    const modMain::Change change = modMain::DoCommand(QStringLiteral("MU"));
    if (OfferStorableText(
            this, change,
            {{modMain::Field::Url, txtUrlMod}, {modMain::Field::Description, txtUrlModDesc}},
            QStringLiteral("Ready (Modify URL Menu)"), [this] { cmdUrlMod_Click(); }))
        return;
    if (ChangeRefused(this, change, QStringLiteral("Ready (Modify URL Menu)"),
                      DescriptionRefused(change) ? txtUrlModDesc.get() : nullptr))
        return;
    ReportChanged(this, QStringLiteral("The URL was Succesfully Modified!"), change);
    txtUrlMod->clear();
    txtUrlModDesc->setText(QString());
    cmbUrlMod->setCurrentIndex(-1);
    cmdUrlModCncl_Click();
}

void frmMain::cmdUrlModCncl_Click() {
    BackToUrlMenu(this);
}

// ---- Open All ----

void frmMain::cmdUrlViewO_Click() {
    if (cmbUrlCat->currentIndex() < 0) {
        MsgBox::show(this,
                     QStringLiteral("Please choose the Category whose URL's you wish to open!"));
        cmbUrlCat->setFocus();
        return;
    }
    QStringList addresses;
    for (int row = 0; row < lstUrlView->count(); ++row)
        addresses << lstUrlView->entries()->textAt(row);
    if (addresses.isEmpty()) {
        MsgBox::show(this,
                     QStringLiteral("There are no URL's under the choosen Category to open!"));
        return;
    }
    OpenAll(addresses, QStringLiteral("Ready (URL(s) Menu)"));
}

void frmMain::OpenAll(const QStringList &addresses, const QString &ready) {
    if (OpenAllQueue && OpenAllQueue->running()) {
        SetStatus(QStringLiteral("Please wait...Your browser is still being given the URL's of "
                                 "the last Open All..."));
        return;
    }
    const qsizetype total = addresses.size();
    if (total >= 15 &&
        MsgBox::show(this,
                     QStringLiteral("Open ") + UrlsCounted(total) +
                         QStringLiteral(" in your browser?"),
                     screens::MsgButtons::YesNo,
                     QStringLiteral("Confirm Open All")) != screens::MsgAnswer::Yes) {
        SetStatus(ready);
        return;
    }
    // As View opens one: only web addresses, as URLs, never through a shell.
    QList<QUrl> toOpen;
    toOpen.reserve(total);
    for (const QString &address : addresses)
        toOpen.append(QUrl(modMain::AddressToOpen(address), QUrl::TolerantMode));
    if (!OpenAllQueue) {
        OpenAllQueue = new screens::OpenInTurns(this);
        // Signing out empties the user's data: the addresses not handed
        // over yet go with it, before the next turn.
        connect(Data, &modMain::UserData::indexChanging, OpenAllQueue, [this] {
            if (modMain::UserNo == 0)
                OpenAllQueue->stop();
        });
    }
    // Signing out stops the rest: nothing of the user's goes on after.
    const int user = modMain::UserNo;
    OpenAllQueue->start(
        std::move(toOpen),
        [this, user](int done, int all) {
            if (modMain::UserNo != user) {
                OpenAllQueue->stop();
                return;
            }
            if (done < all)
                SetStatus(QStringLiteral("Please wait...Opening URL's in your browser (") +
                          QString::number(done) + QStringLiteral(" of ") + QString::number(all) +
                          QStringLiteral(")..."));
        },
        [this, total](const QList<QUrl> &failed) {
            const qsizetype opened = total - failed.size();
            SetStatus(UrlsCounted(opened) +
                      (opened == 1 ? QStringLiteral(" was") : QStringLiteral(" were")) +
                      QStringLiteral(" opened in your browser."));
            if (failed.isEmpty())
                return;
            QStringList names;
            for (const QUrl &url : failed)
                names << url.toString();
            MsgBox::show(this,
                         QStringLiteral("Sorry, ") + UrlsCounted(failed.size()) +
                             QStringLiteral(" could not be opened in your web browser:\r\n\r\n") +
                             names.join(QStringLiteral("\r\n")));
        });
}

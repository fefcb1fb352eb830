// Bookmark files on the Categories menu: importing the bookmarks a web
// browser exported (read, previewed on the Import Bookmarks panel, then
// written as one change) and exporting every category of the user as a
// bookmark file. Also the offer, where a typed text is refused because the
// cipher cannot store it, to store it as the character table maps it.

#include "bookmarks/bookmarkfile.h"
#include "bookmarks/importplanner.h"
#include "bookmarks/importwrite.h"
#include "categories/categoryindex.h"
#include "screens/filedialog.h"
#include "screens/frmMain.h"
#include "screens/keypress.h"
#include "screens/msgbox.h"
#include "screens/screens.h"
#include "session/modMain.h"
#include "storage/charmap.h"
#include "storage/records.h"
#include "userdata/sortedlist.h"
#include "userdata/userdata.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>

using screens::FileDialog;
using screens::MsgAnswer;
using screens::MsgBox;
using screens::MsgButtons;

namespace {

const QString kMenuStatus =
    QStringLiteral("What would you like to do? Add, Delete or Modify a Category?");
const QString kPreviewScreen = QStringLiteral("Import Bookmarks Menu");
const QString kBookmarkFiles = QStringLiteral("Bookmark files (*.html *.htm);;All files (*)");
const QString kExportName = QStringLiteral("wayfile-bookmarks.html");

// The texts of an import the preview changed to fit, one row each: the line
// of the file, the category or address, which text, before and after. A line
// break shows as an arrow, so each text stays on its row.
class FittedTextModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setChanges(QList<modMain::FittedText> changes) {
        beginResetModel();
        m_changes = std::move(changes);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(m_changes.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : 5;
    }

    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return QVariant();
        const modMain::FittedText &c = m_changes.at(index.row());
        switch (index.column()) {
        case 0:
            return c.line;
        case 1:
            return oneLine(c.item);
        case 2:
            return c.field;
        case 3:
            return oneLine(c.before);
        default:
            return oneLine(c.after);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const char *const titles[] = {"Line", "Category or URL", "Text", "In the file",
                                             "Stored as"};
        return QLatin1String(titles[section]);
    }

private:
    static QString oneLine(QString text) {
        return text.replace(QLatin1String("\r\n"), QStringLiteral(" \u21B5 "));
    }

    QList<modMain::FittedText> m_changes;
};

// The texts changed to fit, as the preview's table shows them. The table
// gets its model when a preview first needs it: its header then measures
// its captions, which the start of the program need not wait for.
FittedTextModel *ChangesShown(const frmMain *f, bool make = true) {
    QTableView *table = f->lstCatImp;
    if (auto *model = dynamic_cast<FittedTextModel *>(table->model()))
        return model;
    if (!make)
        return nullptr;
    auto *model = new FittedTextModel(table);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->setWordWrap(false);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    return model;
}

// What the preview panel says of an import before it is written, after
// `source`, the line that says where the links come from.
QString PreviewText(const QString &source, const modMain::ImportPreview &p) {
    QString text = source + QStringLiteral("\r\n\r\n");
    text += UrlsCounted(p.urls) + QStringLiteral(" will be added under ") +
            CategoriesCounted(p.newCategories + p.existingCategories) + QStringLiteral(" (") +
            QString::number(p.newCategories) + QStringLiteral(" new and ") +
            QString::number(p.existingCategories) + QStringLiteral(" existing).\r\n");
    text += UrlsCounted(p.alreadySaved + p.repeated) +
            QStringLiteral(" will be skipped as already saved");
    if (p.repeated > 0)
        text += QStringLiteral(" (") + QString::number(p.repeated) +
                QStringLiteral(" of them came twice in the file)");
    text += QStringLiteral(", and ") + QString::number(p.notWebAddresses) +
            QStringLiteral(" as they are not web addresses.\r\n");
    for (const modMain::RefusedImport &r : p.refused)
        text += UrlsCounted(r.urls) + QStringLiteral(" for the Category ") + r.category +
                QStringLiteral(" can't be imported: ") + r.reason + QStringLiteral("\r\n");
    text += QString::number(p.changes.size()) +
            QStringLiteral(" text(s) had to be changed to fit (listed below).\r\n\r\n") +
            QStringLiteral("Press Enter or click on Import to add them, or Back to leave "
                           "everything as it is.");
    return text;
}

// What the end box says of an import that was written.
QString ImportedText(const modMain::ImportPreview &p, qint64 written) {
    const auto were = [](qsizetype n) {
        return n == 1 ? QStringLiteral(" was ") : QStringLiteral(" were ");
    };
    QString text =
        QStringLiteral("Success! ") + UrlsCounted(written) + were(written) +
        QStringLiteral("imported under ") +
        CategoriesCounted(p.newCategories + p.existingCategories) + QStringLiteral(" (") +
        QString::number(p.newCategories) + QStringLiteral(" new and ") +
        QString::number(p.existingCategories) + QStringLiteral(" existing).\r\n") +
        UrlsCounted(p.alreadySaved + p.repeated) + were(p.alreadySaved + p.repeated) +
        QStringLiteral("skipped as already saved, and ") + QString::number(p.notWebAddresses) +
        QStringLiteral(" as they are not web addresses.");
    if (p.refusedUrls > 0)
        text += QStringLiteral("\r\n") + UrlsCounted(p.refusedUrls) +
                QStringLiteral(" could not be imported, as the preview showed.");
    return text;
}

// The texts a box holds and takes: a multi-line box keeps its line breaks.
QString BoxText(const QWidget *box) {
    if (auto *line = qobject_cast<const QLineEdit *>(box))
        return line->text();
    if (auto *memo = qobject_cast<const LimitedTextEdit *>(box))
        return memo->text();
    return QString();
}

void SetBoxText(QWidget *box, const QString &text) {
    if (auto *line = qobject_cast<QLineEdit *>(box))
        line->setText(text);
    else if (auto *memo = qobject_cast<LimitedTextEdit *>(box))
        memo->setText(text);
}

} // namespace

void frmMain::connectBookmarkHandlers() {
    m_commands.plug("IB", [this] { return ImportBookmarks(); });
}

void frmMain::connectBookmarkScreens() {
    using screens::OnKeyPress;
    connect(cmdCatViewI, &QPushButton::clicked, this, &frmMain::cmdCatViewI_Click);
    connect(cmdCatViewX, &QPushButton::clicked, this, &frmMain::cmdCatViewX_Click);
    connect(cmdCatImp, &QPushButton::clicked, this, &frmMain::cmdCatImp_Click);
    connect(cmdCatImpCncl, &QPushButton::clicked, this, &frmMain::cmdCatImpCncl_Click);
    // Enter imports and Escape goes back from the list and the Import
    // button; from the Back button both go back.
    OnKeyPress(lstCatImp, [this](int &k) { lstCatImp_KeyPress(k); });
    OnKeyPress(cmdCatImp, [this](int &k) { lstCatImp_KeyPress(k); });
    OnKeyPress(cmdCatImpCncl, [this](int &k) {
        if (screens::TakeEnter(k) || screens::TakeEscape(k))
            cmdCatImpCncl_Click();
    });

    prgCatImp->setVisible(false);
}

// ---- Import Bookmarks ----

void frmMain::cmdCatViewI_Click() {
    const QString path = FileDialog::openFile(this, QStringLiteral("Import Bookmarks"),
                                              QDir::homePath(), kBookmarkFiles);
    if (path.isEmpty())
        return;
    PreviewBookmarkFile(path);
}

void frmMain::PreviewBookmarkFile(const QString &path) {
    // Nothing is written before the user has seen what will be.
    SetStatus(QStringLiteral("Please Wait...Reading the Bookmark file..."));
    modMain::BookmarkFile file;
    modMain::IoError err = modMain::ReadBookmarkFile(path, &file);
    auto preview = std::make_shared<modMain::ImportPreview>();
    if (!err.failed())
        err = modMain::PlanImportForUser(modMain::UserNo, modMain::PassStamp, file, preview.get());
    if (ReportIoError(this, err)) {
        SetStatus(kMenuStatus);
        cmdCatViewI->setFocus();
        return;
    }
    if (preview->urls == 0 && preview->newCategories == 0 && preview->refusedUrls == 0) {
        MsgBox::show(this, QStringLiteral("There is nothing to Import from ") +
                               QDir::toNativeSeparators(path) +
                               QStringLiteral(": every link in it is already saved or is not a "
                                              "web address."));
        SetStatus(kMenuStatus);
        cmdCatViewI->setFocus();
        return;
    }

    ShowImportPreview(QStringLiteral("Bookmark file : ") + QDir::toNativeSeparators(path), preview);
}

void frmMain::ShowImportPreview(const QString &source,
                                const std::shared_ptr<modMain::ImportPreview> &preview) {
    PendingImport = preview;
    // Links say so after this, and show their category's chooser.
    PendingImportOfLinks = false;
    PendingLinks.clear();
    lblCatImpCat->setVisible(false);
    cmbCatImp->setVisible(false);
    ShowScreen(kPreviewScreen);
    lblCatImp->setText(screens::ShownLineBreaks(PreviewText(source, *preview)));
    ChangesShown(this)->setChanges(preview->changes);
    lstCatImp->resizeColumnsToContents();
    const int width = lstCatImp->viewport()->width();
    const int widest = width / 3;
    for (int column = 0; column < 4; ++column)
        lstCatImp->setColumnWidth(column, std::min(lstCatImp->columnWidth(column), widest));
    prgCatImp->setVisible(false);
    // Only a plan that adds something can be written.
    cmdCatImp->setEnabled(preview->urls > 0 || preview->newCategories > 0);
    cmdCatImpCncl->setEnabled(true);
    pctCatImp->setVisible(true);
    lstCatImp->setFocus();
}

void frmMain::lstCatImp_KeyPress(int &keyAscii) {
    if (screens::TakeEnter(keyAscii)) {
        cmdCatImp_Click();
    } else if (screens::TakeEscape(keyAscii)) {
        cmdCatImpCncl_Click();
    }
}

void frmMain::cmdCatImp_Click() {
    if (!PendingImport || !cmdCatImp->isEnabled())
        return;
    SetStatus(QStringLiteral("Please Wait...Importing Bookmarks..."));
    prgCatImp->setRange(0, 1);
    prgCatImp->setValue(0);
    prgCatImp->setVisible(true);
    cmdCatImp->setEnabled(false);
    cmdCatImpCncl->setEnabled(false);
    const modMain::Change change = modMain::DoCommand(QStringLiteral("IB"));
    prgCatImp->setVisible(false);
    cmdCatImp->setEnabled(true);
    cmdCatImpCncl->setEnabled(true);
    // Nothing was written: the preview stays, for the user to go back.
    if (ChangeRefused(this, change, QStringLiteral("Ready (") + kPreviewScreen + u')', lstCatImp))
        return;
    // An import is written whole or not at all: every URL of the plan was.
    ReportChanged(this, ImportedText(*PendingImport, PendingImport->urls), change);
    const bool links = PendingImportOfLinks;
    ForgetPendingImport();
    if (links)
        BackToUrlMenuOnLinksCategory();
    else
        cmdCat_Click();
}

void frmMain::ForgetPendingImport() {
    PendingImport.reset();
    PendingImportOfLinks = false;
    PendingLinks.clear();
    if (!LaterControlsMade())
        return; // the preview panel has shown nothing
    if (FittedTextModel *changes = ChangesShown(this, false))
        changes->setChanges({});
    lblCatImp->clear();
}

void frmMain::cmdCatImpCncl_Click() {
    const bool links = PendingImportOfLinks;
    ForgetPendingImport();
    if (links) {
        BackToUrlMenuOnLinksCategory();
        return;
    }
    cmdCat_Click();
    cmdCatViewI->setFocus();
}

modMain::Change frmMain::ImportBookmarks() {
    if (!PendingImport)
        return modMain::Change();
    // The new categories join the lists under the numbers the index gave
    // them; a URL list that showed a category that received URLs is read
    // again when it is shown again.
    const modMain::ImportResult result =
        Data->importBookmarks(PendingImport->plan, screens::ProgressOn(prgCatImp));
    if (result.changed)
        ShowCategoryCount(lstCatView->count());
    return result;
}

// ---- Export Bookmarks ----

void frmMain::cmdCatViewX_Click() {
    SetStatus(QStringLiteral("Please Wait...Reading your Categories and URL's..."));
    QList<modMain::ExportCategory> categories;
    if (ReportIoError(this, modMain::ReadCategoriesToExport(modMain::UserNo, modMain::PassStamp,
                                                            &categories))) {
        SetStatus(kMenuStatus);
        return;
    }
    if (categories.isEmpty()) {
        MsgBox::show(this, QStringLiteral("You don't seem to have any Categories to Export...Why "
                                          "don't you go Add some categories first before "
                                          "clicking on me again!"));
        SetStatus(kMenuStatus);
        cmdCatViewA->setFocus();
        return;
    }
    SetStatus(kMenuStatus);
    const QString path = FileDialog::saveFile(this, QStringLiteral("Export Bookmarks"),
                                              QDir::home().filePath(kExportName), kBookmarkFiles);
    if (path.isEmpty())
        return;

    SetStatus(QStringLiteral("Please Wait...Exporting Bookmarks..."));
    if (ReportIoError(this, modMain::WriteBookmarkFile(path, categories))) {
        SetStatus(kMenuStatus);
        cmdCatViewX->setFocus();
        return;
    }
    qsizetype urls = 0;
    for (const modMain::ExportCategory &category : std::as_const(categories))
        urls += category.urls.size();
    MsgBox::show(this, QStringLiteral("Success! ") + CategoriesCounted(categories.size()) +
                           QStringLiteral(" with ") + UrlsCounted(urls) +
                           QStringLiteral(" were exported to ") + QDir::toNativeSeparators(path) +
                           QStringLiteral("\r\n\r\nPlease note that the exported file is not "
                                          "enciphered: anyone who can read the file can read "
                                          "your URL's and their descriptions."));
    SetStatus(kMenuStatus);
    cmdCatViewX->setFocus();
}

// ---- Texts the cipher cannot store ----

bool OfferStorableText(QWidget *parent, const modMain::Change &change,
                       const QList<std::pair<modMain::Field, QWidget *>> &boxes,
                       const QString &ready, const std::function<void()> &tryAgain) {
    if (!change.error.is(modMain::IoError::Kind::Unstorable))
        return false;
    for (const auto &[subject, box] : boxes) {
        if (change.error.subject != subject)
            continue;
        const bool multiLine = qobject_cast<LimitedTextEdit *>(box) != nullptr;
        const modMain::MappedText mapped = modMain::MapToStorable(BoxText(box), multiLine);
        // A text that mapping leaves as it is was refused for another
        // reason than its characters: the plain refusal stands.
        if (!mapped.changed)
            return false;
        const MsgAnswer answer =
            MsgBox::show(parent,
                         change.error.message() + QStringLiteral("\r\n\r\nStore it as \"") +
                             modMain::TrimBlanks(mapped.text) + QStringLiteral("\" instead?"),
                         MsgButtons::YesNo);
        if (answer == MsgAnswer::Yes) {
            SetBoxText(box, mapped.text);
            tryAgain();
        } else {
            SetStatus(ready);
            box->setFocus();
        }
        return true;
    }
    return false;
}

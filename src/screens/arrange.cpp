#include "screens/screens.h"

#include "screens/frmLogin.h"
#include "screens/frmMain.h"
#include "screens/layout.h"
#include "screens/screen.h"
#include "screens/statusbar.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

// Captions and font sizes of a window's controls, as the caption-width
// estimate reads them.
template <class Input> void readCaptions(QWidget *window, Input &in) {
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (name.isEmpty())
            continue;
        if (auto *label = qobject_cast<QLabel *>(w))
            in.captions.insert(name, label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            in.captions.insert(name, button->text());
        else
            continue;
        in.fontPoints.insert(name, float(w->font().pointSizeF()));
    }
}

} // namespace

namespace modMain {

void ArrangeMainForm() {
    frmMain *f = frmMain::current();
    if (!f)
        return;
    const screens::ScreenMetrics screen = screens::CurrentScreen();

    // 1. The window covers the whole screen, and is maximized there so that a
    // window manager keeps it so.
    f->setGeometry(screen.pixels);
    const QScreen *platformScreen = QGuiApplication::primaryScreen();
    if (platformScreen && platformScreen->geometry() == screen.pixels)
        f->setWindowState(f->windowState() | Qt::WindowMaximized);

    screens::MainLayoutInput in;
    in.SW = screen.SW();
    in.SH = screen.SH();
    in.WH = screen.toTwips(f->height());
    in.clientHeight = in.WH;
    readCaptions(f, in);
    const screens::MainLayout layout = screens::ComputeMainLayout(in);

    // 2. Status bar and its panels.
    f->StatusBar->setFixedHeight(screen.toPixels(layout.statusBarHeight));
    std::array<int, 8> widths{};
    for (size_t i = 0; i < widths.size(); ++i)
        widths[i] = screen.toPixels(layout.panelWidths[i]);
    f->StatusBar->setPanelWidths(widths);
    f->StatusBar->setStatusText(QStringLiteral("Ready (Main Menu)"));

    // 3. Controls and separator lines. The controls of the screens, when
    // they are made later, take their places from here.
    screens::PlaceBoxes(f, layout.boxes, screen);
    screens::PlaceLines(f, layout.lines, screen);
    f->Arrangement = layout;
    f->ArrangedOn = screen;

    // 4. Texts and the signed-out appearance (the screens' controls are made
    // with it).
    f->lblIntro->setText(screens::kSignedOutIntro);
    f->cmdLogin->setText(QStringLiteral("&Login"));
    f->cmdCat->setEnabled(false);
    f->cmdURL->setEnabled(false);
    f->lblSubTitle->setVisible(false);
    f->Sep2H->setVisible(false);
    f->HideScreens();
}

void ArrangeLoginForm() {
    frmLogin *f = frmLogin::current();
    if (!f)
        return;
    const screens::ScreenMetrics screen = screens::CurrentScreen();

    screens::LoginLayoutInput in;
    in.SW = screen.SW();
    in.SH = screen.SH();
    readCaptions(f, in);
    const screens::LoginLayout layout = screens::ComputeLoginLayout(in);

    f->setFixedSize(screen.toPixels(layout.FW), screen.toPixels(layout.FH));
    screens::PlaceBoxes(f, layout.boxes, screen);
    f->fraLogin->setVisible(true);
    f->fraNewUser->setVisible(false);
    f->fraChPass->setVisible(false);
}

void HideAll() {
    frmMain *f = frmMain::current();
    if (!f)
        return;
    f->HideScreens();
    f->lblSubTitle->setText(QStringLiteral("Main Menu"));
}

} // namespace modMain

#include "screens/layout.h"

#include "screens/catalogue.h"

#include <cmath>

namespace screens {

namespace {

// p% of x: the multiplication first, then the division, in single precision.
float Pct(float x, float p) {
    return x * p / 100.0f;
}

// Right and bottom edges.
float R(const Box &c) {
    return c.width + c.left;
}
float B(const Box &c) {
    return c.height + c.top;
}

// Font size of controls without a font of their own.
constexpr float kStandardFontPoints = static_cast<float>(kStandardPoints);

// Built-in height of a drop-down combo box with the standard font.
constexpr float kComboHeight = 315.0f;

// Captions the controls are built with, by control name.
#define WAYFILE_CAPTION_ENTRY(Type, name, container, caption, toolTip, tab, flags)                 \
    {QStringLiteral(#name), QStringLiteral(caption)},

const QHash<QString, QString> &MainCaptions() {
    static const QHash<QString, QString> captions = {
        WAYFILE_FRMMAIN_CONTROLS(WAYFILE_CAPTION_ENTRY)};
    return captions;
}

const QHash<QString, QString> &LoginCaptions() {
    static const QHash<QString, QString> captions = {
        WAYFILE_FRMLOGIN_CONTROLS(WAYFILE_CAPTION_ENTRY)};
    return captions;
}

#undef WAYFILE_CAPTION_ENTRY

// TW() of a named control: its current caption (or the built-in one) at its
// current font size (or the standard 8.25 pt).
class CaptionWidths {
public:
    CaptionWidths(const QHash<QString, QString> &captions, const QHash<QString, float> &points,
                  const QHash<QString, QString> &builtIn)
        : m_captions(captions), m_points(points), m_builtIn(builtIn) {}

    float operator()(const QString &control) const {
        const auto caption = m_captions.constFind(control);
        const QString &text =
            caption != m_captions.constEnd() ? *caption : m_builtIn.value(control);
        return TW(text, m_points.value(control, kStandardFontPoints));
    }

private:
    const QHash<QString, QString> &m_captions;
    const QHash<QString, float> &m_points;
    const QHash<QString, QString> &m_builtIn;
};

} // namespace

// Files a local Box under the control name it is spelled with.
#define WAYFILE_STORE_BOX(name) out.boxes.insert(QStringLiteral(#name), name)

float TW(const QString &caption, float points) {
    return points * 10.0f * static_cast<float>(caption.size());
}

int TwipsToPixels(float twips, float twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

MainLayout ComputeMainLayout(const MainLayoutInput &in) {
    const float SW = in.SW;
    const float SH = in.SH;
    const float WH = in.WH;
    const CaptionWidths TWof(in.captions, in.fontPoints, MainCaptions());
    MainLayout out;

    // The window covers the whole screen.
    Box frmMain;
    frmMain.height = SH;
    frmMain.width = SW;
    frmMain.left = 0;
    frmMain.top = 0;

    // Status bar, docked along the bottom of the client area, and its panels:
    // Status, message, Num, Caps, Ins, Scroll, date, time.
    out.statusBarHeight = Pct(SH, 3);
    out.panelWidths = {Pct(SW, 5), Pct(SW, 55), Pct(SW, 5),  Pct(SW, 5),
                       Pct(SW, 5), Pct(SW, 5),  Pct(SW, 10), Pct(SW, 10)};
    Box StatusBar;
    StatusBar.height = out.statusBarHeight;
    StatusBar.width = SW;
    StatusBar.top = in.clientHeight - out.statusBarHeight;
    StatusBar.left = 0;

    // Title and the rule under it.
    Box lblTitle;
    lblTitle.height = Pct(SH, 10);
    lblTitle.width = SW;
    lblTitle.top = Pct(SH, 3);
    lblTitle.left = Pct(SW, 50) - Pct(lblTitle.width, 50);

    Line Sep1H;
    Sep1H.x1 = 0;
    Sep1H.x2 = SW;
    Sep1H.y1 = Pct(SH, 3) + B(lblTitle);
    Sep1H.y2 = Sep1H.y1;

    // The band between Sep1H and the status bar is cut into nine equal parts;
    // the four menu buttons take the 2nd, 4th, 6th and 8th.
    const float h = (StatusBar.top - Sep1H.y1) / 9.0f;
    out.h = h;

    Box cmdLogin;
    cmdLogin.height = h;
    cmdLogin.width = Pct(SW, 10);
    cmdLogin.top = Sep1H.y1 + h;
    cmdLogin.left = Pct(SW, 3);

    Box cmdCat;
    cmdCat.height = cmdLogin.height;
    cmdCat.width = cmdLogin.width;
    cmdCat.top = B(cmdLogin) + h;
    cmdCat.left = cmdLogin.left;

    Box cmdURL;
    cmdURL.height = cmdLogin.height;
    cmdURL.width = cmdLogin.width;
    cmdURL.top = B(cmdCat) + h;
    cmdURL.left = cmdLogin.left;

    Box cmdQuit;
    cmdQuit.height = cmdLogin.height;
    cmdQuit.width = cmdLogin.width;
    cmdQuit.top = B(cmdURL) + h;
    cmdQuit.left = cmdLogin.left;

    Line Sep1V;
    Sep1V.x1 = Pct(SW, 3) + R(cmdLogin);
    Sep1V.x2 = Sep1V.x1;
    Sep1V.y1 = Sep1H.y1;
    Sep1V.y2 = SH;

    // Working area right of Sep1V.
    Box lblIntro;
    lblIntro.height = B(cmdQuit) - cmdLogin.top;
    lblIntro.width = Pct(SW, 78);
    lblIntro.top = cmdLogin.top;
    lblIntro.left = Pct(SW, 3) + Sep1V.x1;

    Box lblSubTitle;
    lblSubTitle.height = Pct(SH, 10);
    lblSubTitle.width = lblIntro.width;
    lblSubTitle.top = Pct(WH, 3) + Sep1H.y1;
    lblSubTitle.left = Pct(SW, 3) + Sep1V.x1;

    Line Sep2H;
    Sep2H.x1 = Sep1V.x1;
    Sep2H.x2 = SW;
    Sep2H.y1 = Pct(WH, 2) + B(lblSubTitle);
    Sep2H.y2 = Sep2H.y1;

    // Category screens: one rectangle from the bottom of cmdLogin to the
    // bottom of cmdQuit.
    Box pctCatAdd;
    pctCatAdd.height = B(cmdQuit) - B(cmdLogin);
    pctCatAdd.width = Pct(SW, 78);
    pctCatAdd.top = B(cmdLogin);
    pctCatAdd.left = lblSubTitle.left;

    Box lblCatAdd;
    lblCatAdd.height = Pct(pctCatAdd.height, 7);
    lblCatAdd.width = TWof(QStringLiteral("lblCatAdd"));
    lblCatAdd.top = Pct(pctCatAdd.height, 5);
    lblCatAdd.left = Pct(pctCatAdd.width, 5);

    Box txtCatAdd;
    txtCatAdd.height = Pct(pctCatAdd.height, 7);
    txtCatAdd.width = ((pctCatAdd.width - lblCatAdd.width) - Pct(pctCatAdd.width, 10)) / 2.0f;
    txtCatAdd.top = lblCatAdd.top;
    txtCatAdd.left = R(lblCatAdd);

    Box cmdCatAdd;
    cmdCatAdd.height = Pct(pctCatAdd.height, 15);
    cmdCatAdd.width = Pct(pctCatAdd.width, 10);
    cmdCatAdd.top = Pct(pctCatAdd.height, 10) + B(txtCatAdd);
    cmdCatAdd.left = ((R(txtCatAdd) - lblCatAdd.left) / 2.0f) - cmdCatAdd.width;

    Box cmdCatAddCncl;
    cmdCatAddCncl.height = cmdCatAdd.height;
    cmdCatAddCncl.width = cmdCatAdd.width;
    cmdCatAddCncl.top = cmdCatAdd.top;
    cmdCatAddCncl.left = Pct(pctCatAdd.width, 6) + R(cmdCatAdd);

    Box pctCatDel;
    pctCatDel.height = pctCatAdd.height;
    pctCatDel.width = pctCatAdd.width;
    pctCatDel.top = pctCatAdd.top;
    pctCatDel.left = pctCatAdd.left;

    Box lblCatDel;
    lblCatDel.height = lblCatAdd.height;
    lblCatDel.width = TWof(QStringLiteral("lblCatDel"));
    lblCatDel.top = lblCatAdd.top;
    lblCatDel.left = lblCatAdd.left;

    Box cmbCatDel;
    cmbCatDel.height = kComboHeight;
    cmbCatDel.width = ((pctCatDel.width - lblCatDel.width) - Pct(pctCatDel.width, 10)) / 2.0f;
    cmbCatDel.top = lblCatDel.top;
    cmbCatDel.left = R(lblCatDel);

    Box cmdCatDel;
    cmdCatDel.height = cmdCatAdd.height;
    cmdCatDel.width = cmdCatAdd.width;
    cmdCatDel.top = Pct(pctCatDel.height, 10) + B(cmbCatDel);
    cmdCatDel.left = ((R(cmbCatDel) - lblCatDel.left) / 2.0f) - cmdCatDel.width;

    Box cmdCatDelCncl;
    cmdCatDelCncl.height = cmdCatDel.height;
    cmdCatDelCncl.width = cmdCatDel.width;
    cmdCatDelCncl.top = cmdCatDel.top;
    cmdCatDelCncl.left = Pct(pctCatDel.width, 6) + R(cmdCatDel);

    Box pctCatMod;
    pctCatMod.height = pctCatAdd.height;
    pctCatMod.width = pctCatAdd.width;
    pctCatMod.top = pctCatAdd.top;
    pctCatMod.left = pctCatAdd.left;

    Box lblCatMod;
    lblCatMod.height = lblCatAdd.height;
    lblCatMod.width = TWof(QStringLiteral("lblCatMod"));
    lblCatMod.top = lblCatAdd.top;
    lblCatMod.left = lblCatAdd.left;

    Box cmbCatMod;
    cmbCatMod.height = kComboHeight;
    cmbCatMod.width = ((pctCatMod.width - lblCatMod.width) - Pct(pctCatMod.width, 10)) / 2.0f;
    cmbCatMod.top = lblCatMod.top;
    cmbCatMod.left = R(lblCatMod);

    Box lblCatModCh;
    lblCatModCh.height = lblCatMod.height;
    lblCatModCh.width = TWof(QStringLiteral("lblCatModCh"));
    lblCatModCh.top = Pct(pctCatMod.height, 5) + B(cmbCatMod);
    lblCatModCh.left = lblCatMod.left;

    Box txtCatMod;
    txtCatMod.height = txtCatAdd.height;
    txtCatMod.width = cmbCatMod.width;
    txtCatMod.top = lblCatModCh.top;
    txtCatMod.left = cmbCatMod.left;

    Box cmdCatMod;
    cmdCatMod.height = cmdCatAdd.height;
    cmdCatMod.width = cmdCatAdd.width;
    cmdCatMod.top = Pct(pctCatMod.height, 10) + B(txtCatMod);
    cmdCatMod.left = ((R(txtCatMod) - lblCatModCh.left) / 2.0f) - cmdCatMod.width;

    Box cmdCatModCncl;
    cmdCatModCncl.height = cmdCatDel.height;
    cmdCatModCncl.width = cmdCatDel.width;
    cmdCatModCncl.top = cmdCatMod.top;
    cmdCatModCncl.left = Pct(pctCatMod.width, 6) + R(cmdCatMod);

    // Categories menu.
    Box fraCatView;
    fraCatView.height = pctCatAdd.height;
    fraCatView.width = pctCatAdd.width;
    fraCatView.top = pctCatAdd.top;
    fraCatView.left = pctCatAdd.left;

    Box lblCatView;
    lblCatView.height = Pct(fraCatView.height, 5);
    lblCatView.width = TWof(QStringLiteral("lblCatView"));
    lblCatView.top = Pct(fraCatView.height, 7);
    lblCatView.left = Pct(fraCatView.width, 5);

    Box lstCatView;
    lstCatView.height = ((cmdQuit.height / 2.0f) + cmdQuit.top) - cmdCat.top;
    lstCatView.width = fraCatView.width / 1.5f;
    lstCatView.top = Pct(fraCatView.height, 5) + B(lblCatView);
    lstCatView.left = lblCatView.left;

    Line Sep2V;
    Sep2V.x1 = Pct(fraCatView.width, 5) + R(lstCatView);
    Sep2V.x2 = Sep2V.x1;
    Sep2V.y1 = Pct(fraCatView.height, 2);
    Sep2V.y2 = fraCatView.height;

    const float k = lstCatView.height / 7.0f;
    out.k = k;

    Box lblCatViewCh;
    lblCatViewCh.height = Pct(fraCatView.height, 5);
    lblCatViewCh.width = TWof(QStringLiteral("lblCatViewCh"));
    lblCatViewCh.top = lblCatView.top;
    lblCatViewCh.left = Pct(fraCatView.width, 5) + Sep2V.x1;

    // The option buttons are as wide as the Delete button's caption plus a quarter.
    Box cmdCatViewD;
    cmdCatViewD.height = k;
    cmdCatViewD.width = TWof(QStringLiteral("cmdCatViewD"));
    cmdCatViewD.width = (cmdCatViewD.width / 4.0f) + cmdCatViewD.width;
    cmdCatViewD.top = (k + k) + lstCatView.top;
    cmdCatViewD.left = lblCatViewCh.left;

    Box cmdCatViewA;
    cmdCatViewA.height = k;
    cmdCatViewA.width = cmdCatViewD.width;
    cmdCatViewA.top = lstCatView.top;
    cmdCatViewA.left = lblCatViewCh.left;

    Box cmdCatViewM;
    cmdCatViewM.height = k;
    cmdCatViewM.width = cmdCatViewD.width;
    cmdCatViewM.top = (k + k) + cmdCatViewD.top;
    cmdCatViewM.left = lblCatViewCh.left;

    Box cmdCatViewCncl;
    cmdCatViewCncl.height = k;
    cmdCatViewCncl.width = cmdCatViewD.width;
    cmdCatViewCncl.top = (k + k) + cmdCatViewM.top;
    cmdCatViewCncl.left = lblCatViewCh.left;

    // Category chooser above the URL screens. Its prompt keeps its built-in
    // width here; the URL screens size it to its text when they open.
    Box lblUrlCat;
    lblUrlCat.width = 480.0f;
    lblUrlCat.height = Pct(SH, 7);
    lblUrlCat.top = B(cmdLogin);
    lblUrlCat.left = lblSubTitle.left;

    Box cmbUrlCat;
    cmbUrlCat.height = kComboHeight;
    cmbUrlCat.width = (SW - R(lblUrlCat)) / 2.0f;
    cmbUrlCat.top = lblUrlCat.top;

    // URL screens: one rectangle from the bottom of the chooser to the bottom
    // of cmdQuit. Left edges left at 0 are set when a URL screen opens.
    Box pctUrlAdd;
    pctUrlAdd.height = (B(cmdQuit) - cmbUrlCat.top) - cmbUrlCat.height;
    pctUrlAdd.width = Pct(SW, 78);
    pctUrlAdd.top = B(cmbUrlCat);
    pctUrlAdd.left = lblSubTitle.left;

    Box lblUrlAdd;
    lblUrlAdd.height = Pct(pctUrlAdd.height, 7);
    lblUrlAdd.top = Pct(pctUrlAdd.height, 5);
    lblUrlAdd.left = 0;

    Box txtUrlAdd;
    txtUrlAdd.height = Pct(pctUrlAdd.height, 7);
    txtUrlAdd.width = cmbUrlCat.width;
    txtUrlAdd.top = lblUrlAdd.top;

    Box lblUrlAddCh;
    lblUrlAddCh.height = lblUrlAdd.height;
    lblUrlAddCh.top = Pct(pctUrlAdd.height, 5) + B(txtUrlAdd);
    lblUrlAddCh.left = lblUrlAdd.left;

    Box txtUrlAddCh;
    txtUrlAddCh.height = Pct(pctUrlAdd.height, 30);
    txtUrlAddCh.width = txtUrlAdd.width;
    txtUrlAddCh.top = lblUrlAddCh.top;

    Box cmdUrlAdd;
    cmdUrlAdd.height = Pct(pctUrlAdd.height, 15);
    cmdUrlAdd.width = Pct(pctUrlAdd.width, 10);
    cmdUrlAdd.top = Pct(pctUrlAdd.height, 10) + B(txtUrlAddCh);

    Box cmdUrlAddCncl;
    cmdUrlAddCncl.height = cmdUrlAdd.height;
    cmdUrlAddCncl.width = cmdUrlAdd.width;
    cmdUrlAddCncl.top = cmdUrlAdd.top;

    Box pctUrlDel;
    pctUrlDel.height = pctUrlAdd.height;
    pctUrlDel.width = pctUrlAdd.width;
    pctUrlDel.top = pctUrlAdd.top;
    pctUrlDel.left = pctUrlAdd.left;

    Box lblUrlDel;
    lblUrlDel.height = Pct(pctUrlDel.height, 7);
    lblUrlDel.width = TWof(QStringLiteral("lblUrlDel"));
    lblUrlDel.top = Pct(pctUrlDel.height, 5);
    lblUrlDel.left = 0;

    Box cmbUrlDel;
    cmbUrlDel.height = kComboHeight;
    cmbUrlDel.width = cmbUrlCat.width;
    cmbUrlDel.top = lblUrlDel.top;

    Box cmdUrlDel;
    cmdUrlDel.height = Pct(pctUrlDel.height, 15);
    cmdUrlDel.width = Pct(pctUrlDel.width, 10);
    cmdUrlDel.top = Pct(pctUrlDel.height, 10) + B(cmbUrlDel);

    Box cmdUrlDelCncl;
    cmdUrlDelCncl.height = cmdUrlDel.height;
    cmdUrlDelCncl.width = cmdUrlDel.width;
    cmdUrlDelCncl.top = cmdUrlDel.top;

    Box pctUrlMod;
    pctUrlMod.height = pctUrlAdd.height;
    pctUrlMod.width = pctUrlAdd.width;
    pctUrlMod.top = pctUrlAdd.top;
    pctUrlMod.left = pctUrlAdd.left;

    Box lblUrlMod;
    lblUrlMod.height = lblUrlAdd.height;
    lblUrlMod.top = lblUrlAdd.top;
    lblUrlMod.left = lblUrlAdd.left;

    // Built-in place of the URL chooser on the modify screen; txtUrlMod
    // copies it until the screen is opened.
    Box cmbUrlMod;
    cmbUrlMod.height = kComboHeight;
    cmbUrlMod.width = 1455.0f;
    cmbUrlMod.left = 1560.0f;
    cmbUrlMod.top = lblUrlMod.top;

    Box lblUrlModCh;
    lblUrlModCh.height = lblUrlMod.height;
    lblUrlModCh.top = Pct(pctUrlMod.height, 5) + B(cmbUrlMod);
    lblUrlModCh.left = lblUrlMod.left;

    Box txtUrlMod;
    txtUrlMod.height = txtUrlAdd.height;
    txtUrlMod.width = cmbUrlMod.width;
    txtUrlMod.top = lblUrlModCh.top;
    txtUrlMod.left = cmbUrlMod.left;

    Box lblUrlModDesc;
    lblUrlModDesc.height = lblUrlMod.height;
    lblUrlModDesc.top = Pct(pctUrlMod.height, 5) + B(lblUrlModCh);
    lblUrlModDesc.left = lblUrlMod.left;

    Box txtUrlModDesc;
    txtUrlModDesc.height = txtUrlAddCh.height;
    txtUrlModDesc.top = lblUrlModDesc.top;
    txtUrlModDesc.left = txtUrlMod.left;

    Box cmdUrlMod;
    cmdUrlMod.height = cmdUrlAdd.height;
    cmdUrlMod.width = cmdUrlAdd.width;
    cmdUrlMod.top = Pct(pctUrlMod.height, 10) + B(txtUrlModDesc);
    cmdUrlMod.left = ((R(txtUrlMod) - lblUrlModCh.left) / 2.0f) - cmdUrlMod.width;

    Box cmdUrlModCncl;
    cmdUrlModCncl.height = cmdUrlDel.height;
    cmdUrlModCncl.width = cmdUrlDel.width;
    cmdUrlModCncl.top = cmdUrlMod.top;

    // URLs menu.
    Box fraUrlView;
    fraUrlView.height = pctUrlAdd.height;
    fraUrlView.width = pctUrlAdd.width;
    fraUrlView.top = pctUrlAdd.top;
    fraUrlView.left = pctUrlAdd.left;

    Box lblUrlView;
    lblUrlView.height = Pct(fraUrlView.height, 5);
    lblUrlView.width = TWof(QStringLiteral("lblUrlView"));
    lblUrlView.top = Pct(fraUrlView.height, 7);
    lblUrlView.left = Pct(fraUrlView.width, 5);

    Box lstUrlView;
    lstUrlView.height = fraUrlView.height / 1.8f;
    lstUrlView.width = fraUrlView.width / 1.5f;
    lstUrlView.top = Pct(fraUrlView.height, 2) + B(lblUrlView);
    lstUrlView.left = Pct(fraUrlView.width, 5);

    Box txtUrlViewDesc;
    txtUrlViewDesc.height = fraUrlView.height / 3.5f;
    txtUrlViewDesc.width = lstUrlView.width;
    txtUrlViewDesc.top = B(lstUrlView) + Pct(fraUrlView.height, 1);
    txtUrlViewDesc.left = lstUrlView.left;

    Line Sep3V;
    Sep3V.x1 = Pct(fraUrlView.width, 5) + R(lstUrlView);
    Sep3V.x2 = Sep3V.x1;
    Sep3V.y1 = Pct(fraUrlView.height, 2);
    Sep3V.y2 = fraUrlView.height;

    const float u =
        ((txtUrlViewDesc.height + lstUrlView.height) + Pct(fraUrlView.height, 1)) / 10.0f;
    out.u = u;

    Box lblUrlViewCh;
    lblUrlViewCh.height = Pct(fraUrlView.height, 5);
    lblUrlViewCh.width = TWof(QStringLiteral("lblUrlViewCh"));
    lblUrlViewCh.top = lblUrlView.top;
    lblUrlViewCh.left = Pct(fraUrlView.width, 4.5f) + Sep3V.x1;

    // The option buttons are as wide as the Delete button's caption plus two thirds.
    Box cmdUrlViewD;
    cmdUrlViewD.height = u;
    cmdUrlViewD.width = TWof(QStringLiteral("cmdUrlViewD"));
    cmdUrlViewD.width = (cmdUrlViewD.width / 1.5f) + cmdUrlViewD.width;
    cmdUrlViewD.top = ((u * 4.0f) + lstUrlView.top) + Pct(fraUrlView.height, 3);
    cmdUrlViewD.left = lblUrlViewCh.left;

    Box cmdUrlViewV;
    cmdUrlViewV.height = u;
    cmdUrlViewV.width = cmdUrlViewD.width;
    cmdUrlViewV.top = Pct(fraUrlView.height, 3) + lstUrlView.top;
    cmdUrlViewV.left = lblUrlViewCh.left;

    Box cmdUrlViewA;
    cmdUrlViewA.height = u;
    cmdUrlViewA.width = cmdUrlViewD.width;
    cmdUrlViewA.top = (u + u) + cmdUrlViewV.top;
    cmdUrlViewA.left = lblUrlViewCh.left;

    Box cmdUrlViewM;
    cmdUrlViewM.height = u;
    cmdUrlViewM.width = cmdUrlViewD.width;
    cmdUrlViewM.top = (u + u) + cmdUrlViewD.top;
    cmdUrlViewM.left = lblUrlViewCh.left;

    Box cmdUrlViewCncl;
    cmdUrlViewCncl.height = u;
    cmdUrlViewCncl.width = cmdUrlViewD.width;
    cmdUrlViewCncl.top = (u + u) + cmdUrlViewM.top;
    cmdUrlViewCncl.left = lblUrlViewCh.left;

    // The prompt moves closer to Sep3V once the buttons have taken its
    // earlier left edge.
    lblUrlViewCh.left = Pct(fraUrlView.width, 1) + Sep3V.x1;

    WAYFILE_STORE_BOX(frmMain);
    WAYFILE_STORE_BOX(StatusBar);
    WAYFILE_STORE_BOX(lblTitle);
    WAYFILE_STORE_BOX(cmdLogin);
    WAYFILE_STORE_BOX(cmdCat);
    WAYFILE_STORE_BOX(cmdURL);
    WAYFILE_STORE_BOX(cmdQuit);
    WAYFILE_STORE_BOX(lblIntro);
    WAYFILE_STORE_BOX(lblSubTitle);
    WAYFILE_STORE_BOX(pctCatAdd);
    WAYFILE_STORE_BOX(lblCatAdd);
    WAYFILE_STORE_BOX(txtCatAdd);
    WAYFILE_STORE_BOX(cmdCatAdd);
    WAYFILE_STORE_BOX(cmdCatAddCncl);
    WAYFILE_STORE_BOX(pctCatDel);
    WAYFILE_STORE_BOX(lblCatDel);
    WAYFILE_STORE_BOX(cmbCatDel);
    WAYFILE_STORE_BOX(cmdCatDel);
    WAYFILE_STORE_BOX(cmdCatDelCncl);
    WAYFILE_STORE_BOX(pctCatMod);
    WAYFILE_STORE_BOX(lblCatMod);
    WAYFILE_STORE_BOX(cmbCatMod);
    WAYFILE_STORE_BOX(lblCatModCh);
    WAYFILE_STORE_BOX(txtCatMod);
    WAYFILE_STORE_BOX(cmdCatMod);
    WAYFILE_STORE_BOX(cmdCatModCncl);
    WAYFILE_STORE_BOX(fraCatView);
    WAYFILE_STORE_BOX(lblCatView);
    WAYFILE_STORE_BOX(lstCatView);
    WAYFILE_STORE_BOX(lblCatViewCh);
    WAYFILE_STORE_BOX(cmdCatViewD);
    WAYFILE_STORE_BOX(cmdCatViewA);
    WAYFILE_STORE_BOX(cmdCatViewM);
    WAYFILE_STORE_BOX(cmdCatViewCncl);
    WAYFILE_STORE_BOX(lblUrlCat);
    WAYFILE_STORE_BOX(cmbUrlCat);
    WAYFILE_STORE_BOX(pctUrlAdd);
    WAYFILE_STORE_BOX(lblUrlAdd);
    WAYFILE_STORE_BOX(txtUrlAdd);
    WAYFILE_STORE_BOX(lblUrlAddCh);
    WAYFILE_STORE_BOX(txtUrlAddCh);
    WAYFILE_STORE_BOX(cmdUrlAdd);
    WAYFILE_STORE_BOX(cmdUrlAddCncl);
    WAYFILE_STORE_BOX(pctUrlDel);
    WAYFILE_STORE_BOX(lblUrlDel);
    WAYFILE_STORE_BOX(cmbUrlDel);
    WAYFILE_STORE_BOX(cmdUrlDel);
    WAYFILE_STORE_BOX(cmdUrlDelCncl);
    WAYFILE_STORE_BOX(pctUrlMod);
    WAYFILE_STORE_BOX(lblUrlMod);
    WAYFILE_STORE_BOX(cmbUrlMod);
    WAYFILE_STORE_BOX(lblUrlModCh);
    WAYFILE_STORE_BOX(txtUrlMod);
    WAYFILE_STORE_BOX(lblUrlModDesc);
    WAYFILE_STORE_BOX(txtUrlModDesc);
    WAYFILE_STORE_BOX(cmdUrlMod);
    WAYFILE_STORE_BOX(cmdUrlModCncl);
    WAYFILE_STORE_BOX(fraUrlView);
    WAYFILE_STORE_BOX(lblUrlView);
    WAYFILE_STORE_BOX(lstUrlView);
    WAYFILE_STORE_BOX(txtUrlViewDesc);
    WAYFILE_STORE_BOX(lblUrlViewCh);
    WAYFILE_STORE_BOX(cmdUrlViewD);
    WAYFILE_STORE_BOX(cmdUrlViewV);
    WAYFILE_STORE_BOX(cmdUrlViewA);
    WAYFILE_STORE_BOX(cmdUrlViewM);
    WAYFILE_STORE_BOX(cmdUrlViewCncl);

    out.lines.insert(QStringLiteral("Sep1H"), Sep1H);
    out.lines.insert(QStringLiteral("Sep1V"), Sep1V);
    out.lines.insert(QStringLiteral("Sep2H"), Sep2H);
    out.lines.insert(QStringLiteral("Sep2V"), Sep2V);
    out.lines.insert(QStringLiteral("Sep3V"), Sep3V);
    return out;
}

LoginLayout ComputeLoginLayout(const LoginLayoutInput &in) {
    const float SW = in.SW;
    const float SH = in.SH;
    const CaptionWidths TWof(in.captions, in.fontPoints, LoginCaptions());
    LoginLayout out;

    // Window size by screen height: up to 600 pixels (9000 twips) the window
    // takes 60% of each side, taller screens 40% of the height and 35% of
    // the width. Height first, then width.
    if (SH <= 9000.0f) {
        out.FH = Pct(SH, 60);
        out.FW = Pct(SW, 60);
    } else {
        out.FH = Pct(SH, 40);
        out.FW = Pct(SW, 35);
    }
    const float FW = out.FW;
    const float FH = out.FH;

    // Sign-in frame.
    Box fraLogin;
    fraLogin.height = FH - Pct(FH, 14);
    fraLogin.width = FW - Pct(FW, 6);
    fraLogin.top = Pct(FH, 2);
    fraLogin.left = Pct(FW, 2);

    Box lblUser;
    lblUser.height = Pct(FH, 7);
    lblUser.width = TWof(QStringLiteral("lblUser"));
    lblUser.top = Pct(FH, 12);
    lblUser.left = Pct(FW, 10);

    Box txtUser;
    txtUser.height = Pct(FH, 8);
    txtUser.width = (FW - lblUser.width) - Pct(FW, 26);
    txtUser.top = lblUser.top;
    txtUser.left = R(lblUser);

    Box lblPass;
    lblPass.height = lblUser.height;
    lblPass.width = TWof(QStringLiteral("lblPass"));
    lblPass.top = Pct(FH, 5) + B(txtUser);
    lblPass.left = lblUser.left;

    Box txtPass;
    txtPass.height = txtUser.height;
    txtPass.width = txtUser.width;
    txtPass.top = lblPass.top;
    txtPass.left = txtUser.left;

    Box cmdLogin;
    cmdLogin.height = Pct(FH, 15);
    cmdLogin.width = Pct(FW, 20);
    cmdLogin.top = Pct(FH, 10) + B(txtPass);
    cmdLogin.left = ((FW / 2.0f) - cmdLogin.width) - Pct(FW, 5);

    Box cmdCancel;
    cmdCancel.height = cmdLogin.height;
    cmdCancel.width = cmdLogin.width;
    cmdCancel.top = cmdLogin.top;
    cmdCancel.left = Pct(FW, 5) + (FW / 2.0f);

    Box cmdNewUser;
    cmdNewUser.height = Pct(FH, 13);
    cmdNewUser.width = R(txtUser) - lblUser.left;
    cmdNewUser.top = Pct(FH, 7) + B(cmdCancel);
    cmdNewUser.left = lblUser.left;

    // New-user frame, over the same rectangle.
    Box fraNewUser;
    fraNewUser.height = fraLogin.height;
    fraNewUser.width = fraLogin.width;
    fraNewUser.top = fraLogin.top;
    fraNewUser.left = fraLogin.left;

    Box lblNUser;
    lblNUser.height = Pct(FH, 7);
    lblNUser.width = TWof(QStringLiteral("lblNUser"));
    lblNUser.top = lblUser.top;
    lblNUser.left = Pct(FW, 5);

    Box txtNUser;
    txtNUser.height = Pct(FH, 8);
    txtNUser.width = Pct(FW, 40);
    txtNUser.top = lblNUser.top;
    txtNUser.left = Pct(FW, 3) + R(lblNUser);

    Box lblNPass;
    lblNPass.height = lblNUser.height;
    lblNPass.width = TWof(QStringLiteral("lblNPass"));
    lblNPass.top = Pct(FH, 7) + B(txtNUser);
    lblNPass.left = lblNUser.left;

    Box txtNPass;
    txtNPass.height = txtNUser.height;
    txtNPass.width = txtNUser.width;
    txtNPass.top = lblNPass.top;
    txtNPass.left = txtNUser.left;

    Box lblNRPass;
    lblNRPass.height = lblNPass.height;
    lblNRPass.width = TWof(QStringLiteral("lblNRPass"));
    lblNRPass.top = Pct(FH, 7) + B(txtNPass);
    lblNRPass.left = lblNPass.left;

    Box txtNRPass;
    txtNRPass.height = txtNPass.height;
    txtNRPass.width = txtNPass.width;
    txtNRPass.top = lblNRPass.top;
    txtNRPass.left = txtNPass.left;

    Box cmdNCreate;
    cmdNCreate.height = Pct(FH, 15);
    cmdNCreate.width = Pct(FW, 20);
    cmdNCreate.top = Pct(FH, 10) + B(txtNRPass);
    cmdNCreate.left = ((FW / 2.0f) - cmdNCreate.width) - Pct(FW, 7);

    Box cmdNCancel;
    cmdNCancel.height = cmdNCreate.height;
    cmdNCancel.width = cmdNCreate.width;
    cmdNCancel.top = cmdNCreate.top;
    cmdNCancel.left = Pct(FW, 5) + (FW / 2.0f);

    WAYFILE_STORE_BOX(fraLogin);
    WAYFILE_STORE_BOX(lblUser);
    WAYFILE_STORE_BOX(txtUser);
    WAYFILE_STORE_BOX(lblPass);
    WAYFILE_STORE_BOX(txtPass);
    WAYFILE_STORE_BOX(cmdLogin);
    WAYFILE_STORE_BOX(cmdCancel);
    WAYFILE_STORE_BOX(cmdNewUser);
    WAYFILE_STORE_BOX(fraNewUser);
    WAYFILE_STORE_BOX(lblNUser);
    WAYFILE_STORE_BOX(txtNUser);
    WAYFILE_STORE_BOX(lblNPass);
    WAYFILE_STORE_BOX(txtNPass);
    WAYFILE_STORE_BOX(lblNRPass);
    WAYFILE_STORE_BOX(txtNRPass);
    WAYFILE_STORE_BOX(cmdNCreate);
    WAYFILE_STORE_BOX(cmdNCancel);
    return out;
}

#undef WAYFILE_STORE_BOX

} // namespace screens

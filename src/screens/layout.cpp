#include "screens/layout.h"

#include "screens/catalogue.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <type_traits>
#include <utility>

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

// A cell of an arrangement row: a value, "—" (kKeep: the arrangement leaves
// the property at the control's built-in value), or a value computed from
// the properties of the same control assigned before it in the row.
struct Keep {};
constexpr Keep kKeep;

template <class Shape> class Cell {
public:
    Cell(float value) : m_value(value) {}
    Cell(Keep) : m_keep(true) {}
    template <class Own,
              std::enable_if_t<std::is_invocable_r_v<float, Own, const Shape &>, int> = 0>
    Cell(Own own) : m_own(std::move(own)) {}

    // Assigns the cell to `property` of `self`, reading `self` as it stands.
    void assignTo(float &property, const Shape &self) const {
        if (m_own)
            property = m_own(self);
        else if (!m_keep)
            property = m_value;
    }

private:
    float m_value = 0;
    bool m_keep = false;
    std::function<float(const Shape &)> m_own;
};

// What a control measures before the arrangement assigns anything: a
// drop-down combo box is as high as its font makes it, and lblUrlCat and
// cmbUrlMod keep their designed width and place until a URL screen opens.
Box BuiltInBox(const QString &name) {
    Box box;
    if (name.startsWith(QLatin1String("cmb")))
        box.height = kComboHeight;
    if (name == QLatin1String("lblUrlCat"))
        box.width = 480.0f;
    if (name == QLatin1String("cmbUrlMod")) {
        box.width = 1455.0f;
        box.left = 1560.0f;
    }
    return box;
}

// The rows of an arrangement, stored by control name as they are placed.
class Arrangement {
public:
    Arrangement(QHash<QString, Box> &boxes, QHash<QString, Line> *lines = nullptr)
        : m_boxes(boxes), m_lines(lines) {}

    // One control: Height and Width first, then Top and Left.
    Box place(const char *name, Cell<Box> height, Cell<Box> width, Cell<Box> top, Cell<Box> left) {
        const QString key = QLatin1String(name);
        Box box = BuiltInBox(key);
        height.assignTo(box.height, box);
        width.assignTo(box.width, box);
        top.assignTo(box.top, box);
        left.assignTo(box.left, box);
        m_boxes.insert(key, box);
        return box;
    }

    // One separator line, its ends in the order X1, X2, Y1, Y2.
    Line rule(const char *name, Cell<Line> x1, Cell<Line> x2, Cell<Line> y1, Cell<Line> y2) {
        Line line;
        x1.assignTo(line.x1, line);
        x2.assignTo(line.x2, line);
        y1.assignTo(line.y1, line);
        y2.assignTo(line.y2, line);
        m_lines->insert(QLatin1String(name), line);
        return line;
    }

    // A later change to one property of a placed control.
    void setLeft(const char *name, float left) { m_boxes[QLatin1String(name)].left = left; }

private:
    QHash<QString, Box> &m_boxes;
    QHash<QString, Line> *m_lines;
};

// A line's second end level with (or plumb under) its first.
constexpr auto kSameX1 = [](const Line &self) { return self.x1; };
constexpr auto kSameY1 = [](const Line &self) { return self.y1; };

// Left edges that read the control's own width, assigned just before them:
// centred in a span, 50% span - 50% own width;
Cell<Box> CentredIn(float span) {
    return [span](const Box &self) { return Pct(span, 50) - Pct(self.width, 50); };
}
// ending half-way along the span from `left` to `right`,
// ((right - left) / 2) - own width;
Cell<Box> EndsHalfWay(float right, float left) {
    return [right, left](const Box &self) { return ((right - left) / 2.0f) - self.width; };
}
// ending p% of the span short of its middle, ((span / 2) - own width) - p% span.
Cell<Box> EndsShortOfMiddle(float span, float p) {
    return [span, p](const Box &self) { return ((span / 2.0f) - self.width) - Pct(span, p); };
}

// A width widened by its own part: (w / by) + w.
float Widened(float width, float by) {
    return (width / by) + width;
}

} // namespace

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
    Arrangement a(out.boxes, &out.lines);
    const auto TWofName = [&](const char *name) { return TWof(QLatin1String(name)); };

    // 1. The window covers the whole screen.
    a.place("frmMain", SH, SW, 0, 0);

    // 2. Status bar, docked along the bottom of the client area, and its
    // panels: Status, message, Num, Caps, Ins, Scroll, date, time.
    out.statusBarHeight = Pct(SH, 3);
    out.panelWidths = {Pct(SW, 5), Pct(SW, 55), Pct(SW, 5),  Pct(SW, 5),
                       Pct(SW, 5), Pct(SW, 5),  Pct(SW, 10), Pct(SW, 10)};
    const Box StatusBar =
        a.place("StatusBar", out.statusBarHeight, SW, in.clientHeight - out.statusBarHeight, 0);

    // 3. Controls, row by row: name, Height, Width, Top, Left. Each line
    // follows the control it is placed after.
    const Box lblTitle = a.place("lblTitle", Pct(SH, 10), SW, Pct(SH, 3), CentredIn(SW));
    const Line Sep1H = a.rule("Sep1H", 0, SW, Pct(SH, 3) + B(lblTitle), kSameY1);

    // Nine equal bands between Sep1H and the status bar; the menu buttons
    // take the 2nd, 4th, 6th and 8th.
    const float h = out.h = (StatusBar.top - Sep1H.y1) / 9.0f;

    const Box cmdLogin = a.place("cmdLogin", h, Pct(SW, 10), Sep1H.y1 + h, Pct(SW, 3));
    const Box cmdCat =
        a.place("cmdCat", cmdLogin.height, cmdLogin.width, B(cmdLogin) + h, cmdLogin.left);
    const Box cmdURL =
        a.place("cmdURL", cmdLogin.height, cmdLogin.width, B(cmdCat) + h, cmdLogin.left);
    const Box cmdQuit =
        a.place("cmdQuit", cmdLogin.height, cmdLogin.width, B(cmdURL) + h, cmdLogin.left);
    const Line Sep1V = a.rule("Sep1V", Pct(SW, 3) + R(cmdLogin), kSameX1, Sep1H.y1, SH);

    // The working area right of Sep1V.
    const Box lblIntro = a.place("lblIntro", B(cmdQuit) - cmdLogin.top, Pct(SW, 78), cmdLogin.top,
                                 Pct(SW, 3) + Sep1V.x1);
    const Box lblSubTitle = a.place("lblSubTitle", Pct(SH, 10), lblIntro.width,
                                    Pct(WH, 3) + Sep1H.y1, Pct(SW, 3) + Sep1V.x1);
    a.rule("Sep2H", Sep1V.x1, SW, Pct(WH, 2) + B(lblSubTitle), kSameY1);

    // Category screens: one rectangle from the bottom of cmdLogin to the
    // bottom of cmdQuit.
    const Box pctCatAdd =
        a.place("pctCatAdd", B(cmdQuit) - B(cmdLogin), Pct(SW, 78), B(cmdLogin), lblSubTitle.left);
    const Box lblCatAdd = a.place("lblCatAdd", Pct(pctCatAdd.height, 7), TWofName("lblCatAdd"),
                                  Pct(pctCatAdd.height, 5), Pct(pctCatAdd.width, 5));
    const Box txtCatAdd =
        a.place("txtCatAdd", Pct(pctCatAdd.height, 7),
                ((pctCatAdd.width - lblCatAdd.width) - Pct(pctCatAdd.width, 10)) / 2.0f,
                lblCatAdd.top, R(lblCatAdd));
    const Box cmdCatAdd = a.place("cmdCatAdd", Pct(pctCatAdd.height, 15), Pct(pctCatAdd.width, 10),
                                  Pct(pctCatAdd.height, 10) + B(txtCatAdd),
                                  EndsHalfWay(R(txtCatAdd), lblCatAdd.left));
    a.place("cmdCatAddCncl", cmdCatAdd.height, cmdCatAdd.width, cmdCatAdd.top,
            Pct(pctCatAdd.width, 6) + R(cmdCatAdd));

    const Box pctCatDel =
        a.place("pctCatDel", pctCatAdd.height, pctCatAdd.width, pctCatAdd.top, pctCatAdd.left);
    const Box lblCatDel = a.place("lblCatDel", lblCatAdd.height, TWofName("lblCatDel"),
                                  lblCatAdd.top, lblCatAdd.left);
    const Box cmbCatDel = a.place(
        "cmbCatDel", kKeep, ((pctCatDel.width - lblCatDel.width) - Pct(pctCatDel.width, 10)) / 2.0f,
        lblCatDel.top, R(lblCatDel));
    const Box cmdCatDel = a.place("cmdCatDel", cmdCatAdd.height, cmdCatAdd.width,
                                  Pct(pctCatDel.height, 10) + B(cmbCatDel),
                                  EndsHalfWay(R(cmbCatDel), lblCatDel.left));
    a.place("cmdCatDelCncl", cmdCatDel.height, cmdCatDel.width, cmdCatDel.top,
            Pct(pctCatDel.width, 6) + R(cmdCatDel));

    const Box pctCatMod =
        a.place("pctCatMod", pctCatAdd.height, pctCatAdd.width, pctCatAdd.top, pctCatAdd.left);
    const Box lblCatMod = a.place("lblCatMod", lblCatAdd.height, TWofName("lblCatMod"),
                                  lblCatAdd.top, lblCatAdd.left);
    const Box cmbCatMod = a.place(
        "cmbCatMod", kKeep, ((pctCatMod.width - lblCatMod.width) - Pct(pctCatMod.width, 10)) / 2.0f,
        lblCatMod.top, R(lblCatMod));
    const Box lblCatModCh = a.place("lblCatModCh", lblCatMod.height, TWofName("lblCatModCh"),
                                    Pct(pctCatMod.height, 5) + B(cmbCatMod), lblCatMod.left);
    const Box txtCatMod =
        a.place("txtCatMod", txtCatAdd.height, cmbCatMod.width, lblCatModCh.top, cmbCatMod.left);
    const Box cmdCatMod = a.place("cmdCatMod", cmdCatAdd.height, cmdCatAdd.width,
                                  Pct(pctCatMod.height, 10) + B(txtCatMod),
                                  EndsHalfWay(R(txtCatMod), lblCatModCh.left));
    a.place("cmdCatModCncl", cmdCatDel.height, cmdCatDel.width, cmdCatMod.top,
            Pct(pctCatMod.width, 6) + R(cmdCatMod));

    // Categories menu; its option buttons are as wide as the Delete button's
    // caption and a quarter more.
    const Box fraCatView =
        a.place("fraCatView", pctCatAdd.height, pctCatAdd.width, pctCatAdd.top, pctCatAdd.left);
    const Box lblCatView = a.place("lblCatView", Pct(fraCatView.height, 5), TWofName("lblCatView"),
                                   Pct(fraCatView.height, 7), Pct(fraCatView.width, 5));
    const Box lstCatView = a.place(
        "lstCatView", ((cmdQuit.height / 2.0f) + cmdQuit.top) - cmdCat.top, fraCatView.width / 1.5f,
        Pct(fraCatView.height, 5) + B(lblCatView), lblCatView.left);
    const Line Sep2V = a.rule("Sep2V", Pct(fraCatView.width, 5) + R(lstCatView), kSameX1,
                              Pct(fraCatView.height, 2), fraCatView.height);
    // Six option buttons, each a button's height below the one before, fill
    // the list's height: eleven button heights.
    const float k = out.k = lstCatView.height / 11.0f;
    const Box lblCatViewCh =
        a.place("lblCatViewCh", Pct(fraCatView.height, 5), TWofName("lblCatViewCh"), lblCatView.top,
                Pct(fraCatView.width, 5) + Sep2V.x1);
    const Box cmdCatViewD = a.place("cmdCatViewD", k, Widened(TWofName("cmdCatViewD"), 4.0f),
                                    (k + k) + lstCatView.top, lblCatViewCh.left);
    a.place("cmdCatViewA", k, cmdCatViewD.width, lstCatView.top, lblCatViewCh.left);
    const Box cmdCatViewM =
        a.place("cmdCatViewM", k, cmdCatViewD.width, (k + k) + cmdCatViewD.top, lblCatViewCh.left);
    const Box cmdCatViewI =
        a.place("cmdCatViewI", k, cmdCatViewD.width, (k + k) + cmdCatViewM.top, lblCatViewCh.left);
    const Box cmdCatViewX =
        a.place("cmdCatViewX", k, cmdCatViewD.width, (k + k) + cmdCatViewI.top, lblCatViewCh.left);
    a.place("cmdCatViewCncl", k, cmdCatViewD.width, (k + k) + cmdCatViewX.top, lblCatViewCh.left);

    // Import preview: the categories' rectangle; a summary, the list of the
    // texts changed to fit, the progress bar and the two buttons either side
    // of the middle.
    const Box pctCatImp =
        a.place("pctCatImp", pctCatAdd.height, pctCatAdd.width, pctCatAdd.top, pctCatAdd.left);
    const Box lblCatImp = a.place("lblCatImp", Pct(pctCatImp.height, 24), Pct(pctCatImp.width, 90),
                                  Pct(pctCatImp.height, 3), Pct(pctCatImp.width, 5));
    const Box lblCatImpCh =
        a.place("lblCatImpCh", Pct(pctCatImp.height, 5), TWofName("lblCatImpCh"),
                Pct(pctCatImp.height, 2) + B(lblCatImp), lblCatImp.left);
    const Box lstCatImp = a.place("lstCatImp", Pct(pctCatImp.height, 40), lblCatImp.width,
                                  B(lblCatImpCh), lblCatImp.left);
    const Box prgCatImp = a.place("prgCatImp", Pct(pctCatImp.height, 4), lblCatImp.width,
                                  Pct(pctCatImp.height, 2) + B(lstCatImp), lblCatImp.left);
    const Box cmdCatImp =
        a.place("cmdCatImp", Pct(pctCatImp.height, 12), Pct(pctCatImp.width, 10),
                Pct(pctCatImp.height, 3) + B(prgCatImp), EndsShortOfMiddle(pctCatImp.width, 3));
    a.place("cmdCatImpCncl", cmdCatImp.height, cmdCatImp.width, cmdCatImp.top,
            Pct(pctCatImp.width, 6) + R(cmdCatImp));

    // Category chooser above the URL screens.
    const Box lblUrlCat = a.place("lblUrlCat", Pct(SH, 7), kKeep, B(cmdLogin), lblSubTitle.left);
    const Box cmbUrlCat =
        a.place("cmbUrlCat", kKeep, (SW - R(lblUrlCat)) / 2.0f, lblUrlCat.top, kKeep);

    // URL screens: one rectangle from the bottom of the chooser to the
    // bottom of cmdQuit. What is kept here is set when a URL screen opens.
    const Box pctUrlAdd = a.place("pctUrlAdd", (B(cmdQuit) - cmbUrlCat.top) - cmbUrlCat.height,
                                  Pct(SW, 78), B(cmbUrlCat), lblSubTitle.left);
    const Box lblUrlAdd =
        a.place("lblUrlAdd", Pct(pctUrlAdd.height, 7), kKeep, Pct(pctUrlAdd.height, 5), 0);
    const Box txtUrlAdd =
        a.place("txtUrlAdd", Pct(pctUrlAdd.height, 7), cmbUrlCat.width, lblUrlAdd.top, kKeep);
    const Box lblUrlAddCh = a.place("lblUrlAddCh", lblUrlAdd.height, kKeep,
                                    Pct(pctUrlAdd.height, 5) + B(txtUrlAdd), lblUrlAdd.left);
    const Box txtUrlAddCh =
        a.place("txtUrlAddCh", Pct(pctUrlAdd.height, 30), txtUrlAdd.width, lblUrlAddCh.top, kKeep);
    const Box cmdUrlAdd = a.place("cmdUrlAdd", Pct(pctUrlAdd.height, 15), Pct(pctUrlAdd.width, 10),
                                  Pct(pctUrlAdd.height, 10) + B(txtUrlAddCh), kKeep);
    a.place("cmdUrlAddCncl", cmdUrlAdd.height, cmdUrlAdd.width, cmdUrlAdd.top, kKeep);

    const Box pctUrlDel =
        a.place("pctUrlDel", pctUrlAdd.height, pctUrlAdd.width, pctUrlAdd.top, pctUrlAdd.left);
    const Box lblUrlDel = a.place("lblUrlDel", Pct(pctUrlDel.height, 7), TWofName("lblUrlDel"),
                                  Pct(pctUrlDel.height, 5), 0);
    const Box cmbUrlDel = a.place("cmbUrlDel", kKeep, cmbUrlCat.width, lblUrlDel.top, kKeep);
    const Box cmdUrlDel = a.place("cmdUrlDel", Pct(pctUrlDel.height, 15), Pct(pctUrlDel.width, 10),
                                  Pct(pctUrlDel.height, 10) + B(cmbUrlDel), kKeep);
    a.place("cmdUrlDelCncl", cmdUrlDel.height, cmdUrlDel.width, cmdUrlDel.top, kKeep);

    const Box pctUrlMod =
        a.place("pctUrlMod", pctUrlAdd.height, pctUrlAdd.width, pctUrlAdd.top, pctUrlAdd.left);
    const Box lblUrlMod =
        a.place("lblUrlMod", lblUrlAdd.height, kKeep, lblUrlAdd.top, lblUrlAdd.left);
    const Box cmbUrlMod = a.place("cmbUrlMod", kKeep, kKeep, lblUrlMod.top, kKeep);
    const Box lblUrlModCh = a.place("lblUrlModCh", lblUrlMod.height, kKeep,
                                    Pct(pctUrlMod.height, 5) + B(cmbUrlMod), lblUrlMod.left);
    const Box txtUrlMod =
        a.place("txtUrlMod", txtUrlAdd.height, cmbUrlMod.width, lblUrlModCh.top, cmbUrlMod.left);
    const Box lblUrlModDesc = a.place("lblUrlModDesc", lblUrlMod.height, kKeep,
                                      Pct(pctUrlMod.height, 5) + B(lblUrlModCh), lblUrlMod.left);
    const Box txtUrlModDesc =
        a.place("txtUrlModDesc", txtUrlAddCh.height, kKeep, lblUrlModDesc.top, txtUrlMod.left);
    const Box cmdUrlMod = a.place("cmdUrlMod", cmdUrlAdd.height, cmdUrlAdd.width,
                                  Pct(pctUrlMod.height, 10) + B(txtUrlModDesc),
                                  EndsHalfWay(R(txtUrlMod), lblUrlModCh.left));
    a.place("cmdUrlModCncl", cmdUrlDel.height, cmdUrlDel.width, cmdUrlMod.top, kKeep);

    // URLs menu; its option buttons are as wide as the Delete button's
    // caption and two thirds more.
    const Box fraUrlView =
        a.place("fraUrlView", pctUrlAdd.height, pctUrlAdd.width, pctUrlAdd.top, pctUrlAdd.left);
    const Box lblUrlView = a.place("lblUrlView", Pct(fraUrlView.height, 5), TWofName("lblUrlView"),
                                   Pct(fraUrlView.height, 7), Pct(fraUrlView.width, 5));
    const Box lstUrlView =
        a.place("lstUrlView", fraUrlView.height / 1.8f, fraUrlView.width / 1.5f,
                Pct(fraUrlView.height, 2) + B(lblUrlView), Pct(fraUrlView.width, 5));
    const Box txtUrlViewDesc = a.place("txtUrlViewDesc", fraUrlView.height / 3.5f, lstUrlView.width,
                                       B(lstUrlView) + Pct(fraUrlView.height, 1), lstUrlView.left);
    const Line Sep3V = a.rule("Sep3V", Pct(fraUrlView.width, 5) + R(lstUrlView), kSameX1,
                              Pct(fraUrlView.height, 2), fraUrlView.height);
    // Six option buttons, each a button's height below the one before, take
    // eleven button heights: the nine tenths of the list and description
    // (and 1% of the frame) that the column spans.
    const float u = out.u =
        (((txtUrlViewDesc.height + lstUrlView.height) + Pct(fraUrlView.height, 1)) * 0.9f) / 11.0f;
    const Box lblUrlViewCh =
        a.place("lblUrlViewCh", Pct(fraUrlView.height, 5), TWofName("lblUrlViewCh"), lblUrlView.top,
                Pct(fraUrlView.width, 4.5f) + Sep3V.x1);
    const Box cmdUrlViewD =
        a.place("cmdUrlViewD", u, Widened(TWofName("cmdUrlViewD"), 1.5f),
                ((u * 4.0f) + lstUrlView.top) + Pct(fraUrlView.height, 3), lblUrlViewCh.left);
    const Box cmdUrlViewV = a.place("cmdUrlViewV", u, cmdUrlViewD.width,
                                    Pct(fraUrlView.height, 3) + lstUrlView.top, lblUrlViewCh.left);
    a.place("cmdUrlViewA", u, cmdUrlViewD.width, (u + u) + cmdUrlViewV.top, lblUrlViewCh.left);
    const Box cmdUrlViewM =
        a.place("cmdUrlViewM", u, cmdUrlViewD.width, (u + u) + cmdUrlViewD.top, lblUrlViewCh.left);
    const Box cmdUrlViewF =
        a.place("cmdUrlViewF", u, cmdUrlViewD.width, (u + u) + cmdUrlViewM.top, lblUrlViewCh.left);
    a.place("cmdUrlViewCncl", u, cmdUrlViewD.width, (u + u) + cmdUrlViewF.top, lblUrlViewCh.left);

    // 5. Last, the URL menu's prompt moves closer to Sep3V; the buttons keep
    // its earlier left edge.
    a.setLeft("lblUrlViewCh", Pct(fraUrlView.width, 1) + Sep3V.x1);

    // 6. Finding URLs. The hints under the address boxes of the Add and
    // Modify URL panels fill the gap down to the next prompt; their left
    // edges (and the Modify one's width) follow the boxes when a panel opens.
    a.place("lblUrlAddSaved", Pct(pctUrlAdd.height, 5), txtUrlAdd.width, B(txtUrlAdd), kKeep);
    a.place("lblUrlModSaved", Pct(pctUrlMod.height, 5), kKeep, B(txtUrlMod), kKeep);

    // The Find URL menu, over the category screens' rectangle: the words to
    // find after their prompt, the count of the URLs found over their list,
    // the chosen one's description under it, and Back right of the list,
    // level with the foot of the description.
    const Box fraUrlFind =
        a.place("fraUrlFind", pctCatAdd.height, pctCatAdd.width, pctCatAdd.top, pctCatAdd.left);
    const float findWidth = fraUrlFind.width / 1.5f;
    const Box lblUrlFind = a.place("lblUrlFind", Pct(fraUrlFind.height, 7), TWofName("lblUrlFind"),
                                   Pct(fraUrlFind.height, 7), Pct(fraUrlFind.width, 5));
    const Box txtUrlFind = a.place("txtUrlFind", Pct(fraUrlFind.height, 7),
                                   findWidth - lblUrlFind.width, lblUrlFind.top, R(lblUrlFind));
    const Box lblUrlFindCh = a.place("lblUrlFindCh", Pct(fraUrlFind.height, 5), findWidth,
                                     Pct(fraUrlFind.height, 3) + B(txtUrlFind), lblUrlFind.left);
    const Box lstUrlFind = a.place("lstUrlFind", Pct(fraUrlFind.height, 48), findWidth,
                                   Pct(fraUrlFind.height, 2) + B(lblUrlFindCh), lblUrlFind.left);
    const Box txtUrlFindDesc = a.place("txtUrlFindDesc", Pct(fraUrlFind.height, 20), findWidth,
                                       B(lstUrlFind) + Pct(fraUrlFind.height, 1), lstUrlFind.left);
    const Box cmdUrlFindCncl =
        a.place("cmdUrlFindCncl", u, cmdUrlViewD.width, B(txtUrlFindDesc) - u,
                Pct(fraUrlFind.width, 10) + R(lstUrlFind));

    // 7. Open All. On the URLs menu the column of options is full: the
    // button stands at the right end of the list's count, over the list,
    // as high as the room down to the list leaves less 1% of the frame. On
    // the Find URL menu it stands over Back, a button's height above it.
    const float openHeight = (lstUrlView.top - lblUrlView.top) - Pct(fraUrlView.height, 1);
    a.place("cmdUrlViewO", openHeight, cmdUrlViewD.width, lblUrlView.top,
            R(lstUrlView) - cmdUrlViewD.width);
    a.place("cmdUrlFindO", u, cmdUrlViewD.width, (cmdUrlFindCncl.top - u) - u, cmdUrlFindCncl.left);

    // 8. The category of dropped or pasted links, on the preview panel: the
    // chooser ends where the table ends, its foot 1% of the panel above the
    // table, its prompt before it.
    const Box cmbCatImp = a.place(
        "cmbCatImp", kKeep, Pct(pctCatImp.width, 30),
        [&](const Box &self) { return (lstCatImp.top - Pct(pctCatImp.height, 1)) - self.height; },
        R(lstCatImp) - Pct(pctCatImp.width, 30));
    a.place("lblCatImpCat", lblCatImpCh.height, TWofName("lblCatImpCat"), cmbCatImp.top,
            cmbCatImp.left - TWofName("lblCatImpCat"));

    // 9. The Trash: its button half a band high in the middle of the band
    // between URL'S and Exit, next to the menus that delete; its screen over
    // the category screens' rectangle, the list of what is there under its
    // prompt and the three buttons in a row under the list.
    a.place("cmdTrash", h / 2.0f, cmdLogin.width, B(cmdURL) + (h / 4.0f), cmdLogin.left);
    const Box pctTrash =
        a.place("pctTrash", pctCatAdd.height, pctCatAdd.width, pctCatAdd.top, pctCatAdd.left);
    const Box lblTrash = a.place("lblTrash", Pct(pctTrash.height, 7), TWofName("lblTrash"),
                                 Pct(pctTrash.height, 5), Pct(pctTrash.width, 5));
    const Box lstTrash = a.place("lstTrash", Pct(pctTrash.height, 60), Pct(pctTrash.width, 90),
                                 Pct(pctTrash.height, 2) + B(lblTrash), lblTrash.left);
    const Box cmdTrashRes =
        a.place("cmdTrashRes", Pct(pctTrash.height, 12), Pct(pctTrash.width, 14),
                Pct(pctTrash.height, 5) + B(lstTrash), lstTrash.left);
    a.place("cmdTrashEmp", cmdTrashRes.height, cmdTrashRes.width, cmdTrashRes.top,
            Pct(pctTrash.width, 4) + R(cmdTrashRes));
    a.place("cmdTrashCncl", cmdTrashRes.height, cmdTrashRes.width, cmdTrashRes.top,
            R(lstTrash) - cmdTrashRes.width);
    return out;
}

LoginLayout ComputeLoginLayout(const LoginLayoutInput &in) {
    const float SW = in.SW;
    const float SH = in.SH;
    const CaptionWidths TWof(in.captions, in.fontPoints, LoginCaptions());
    LoginLayout out;
    Arrangement a(out.boxes);
    const auto TWofName = [&](const char *name) { return TWof(QLatin1String(name)); };

    // Sizes by screen height: up to 600 pixels (9000 twips) the rows are
    // fractions of a height H of 60% of the screen height and the window is
    // 60% of the screen width wide; on taller screens H is 40% of the
    // height and the width 35%. Height first, then width. The window is H
    // and the sign-in frame's last row high: the Change Password button, as
    // high as Login and Cancel (15% of H), 7% of H under the new-user
    // button.
    const float H = SH <= 9000.0f ? Pct(SH, 60) : Pct(SH, 40);
    const float changeRow = Pct(H, 7) + Pct(H, 15);
    out.FH = H + changeRow;
    out.FW = SH <= 9000.0f ? Pct(SW, 60) : Pct(SW, 35);
    const float FW = out.FW;

    // Rows: name, Height, Width, Top, Left; positions inside the frame,
    // fractions of H and of the window's width. The three frames cover the
    // same rectangle, 2% of H from the window's top, ending 12% of H short
    // of its foot.
    const Box fraLogin =
        a.place("fraLogin", (H - Pct(H, 14)) + changeRow, FW - Pct(FW, 6), Pct(H, 2), Pct(FW, 2));
    const Box lblUser = a.place("lblUser", Pct(H, 7), TWofName("lblUser"), Pct(H, 12), Pct(FW, 10));
    const Box txtUser =
        a.place("txtUser", Pct(H, 8), (FW - lblUser.width) - Pct(FW, 26), lblUser.top, R(lblUser));
    const Box lblPass = a.place("lblPass", lblUser.height, TWofName("lblPass"),
                                Pct(H, 5) + B(txtUser), lblUser.left);
    const Box txtPass =
        a.place("txtPass", txtUser.height, txtUser.width, lblPass.top, txtUser.left);
    const Box cmdLogin = a.place("cmdLogin", Pct(H, 15), Pct(FW, 20), Pct(H, 10) + B(txtPass),
                                 EndsShortOfMiddle(FW, 5));
    const Box cmdCancel = a.place("cmdCancel", cmdLogin.height, cmdLogin.width, cmdLogin.top,
                                  Pct(FW, 5) + (FW / 2.0f));
    const Box cmdNewUser = a.place("cmdNewUser", Pct(H, 13), R(txtUser) - lblUser.left,
                                   Pct(H, 7) + B(cmdCancel), lblUser.left);

    // The new-user frame, over the same rectangle.
    a.place("fraNewUser", fraLogin.height, fraLogin.width, fraLogin.top, fraLogin.left);
    const Box lblNUser =
        a.place("lblNUser", Pct(H, 7), TWofName("lblNUser"), lblUser.top, Pct(FW, 5));
    const Box txtNUser =
        a.place("txtNUser", Pct(H, 8), Pct(FW, 40), lblNUser.top, Pct(FW, 3) + R(lblNUser));
    const Box lblNPass = a.place("lblNPass", lblNUser.height, TWofName("lblNPass"),
                                 Pct(H, 7) + B(txtNUser), lblNUser.left);
    const Box txtNPass =
        a.place("txtNPass", txtNUser.height, txtNUser.width, lblNPass.top, txtNUser.left);
    const Box lblNRPass = a.place("lblNRPass", lblNPass.height, TWofName("lblNRPass"),
                                  Pct(H, 7) + B(txtNPass), lblNPass.left);
    const Box txtNRPass =
        a.place("txtNRPass", txtNPass.height, txtNPass.width, lblNRPass.top, txtNPass.left);
    const Box cmdNCreate = a.place("cmdNCreate", Pct(H, 15), Pct(FW, 20), Pct(H, 10) + B(txtNRPass),
                                   EndsShortOfMiddle(FW, 7));
    a.place("cmdNCancel", cmdNCreate.height, cmdNCreate.width, cmdNCreate.top,
            Pct(FW, 5) + (FW / 2.0f));

    // The sign-in frame's way to the password frame: a button as high as
    // Login and Cancel in the frame's last row, as wide as its caption
    // needs, ending where the new-user button ends.
    const float changeWidth = Widened(TWofName("cmdChangePass"), 4.0f);
    a.place("cmdChangePass", cmdLogin.height, changeWidth, Pct(H, 7) + B(cmdNewUser),
            R(cmdNewUser) - changeWidth);

    // The password frame, over the same rectangle: four prompts spaced as
    // the sign-in frame's, the boxes after the longest prompt and ending
    // where the sign-in frame's boxes end, a progress bar, and three buttons
    // either side of the window's middle.
    a.place("fraChPass", fraLogin.height, fraLogin.width, fraLogin.top, fraLogin.left);
    const Box lblChUser =
        a.place("lblChUser", Pct(H, 7), TWofName("lblChUser"), lblUser.top, lblUser.left);
    const float boxLeft =
        lblChUser.left + std::max({lblChUser.width, TWofName("lblChPass"), TWofName("lblChNPass"),
                                   TWofName("lblChNRPass")});
    const Box txtChUser =
        a.place("txtChUser", Pct(H, 8), R(txtUser) - boxLeft, lblChUser.top, boxLeft);
    const Box lblChPass = a.place("lblChPass", lblChUser.height, TWofName("lblChPass"),
                                  Pct(H, 5) + B(txtChUser), lblChUser.left);
    const Box txtChPass =
        a.place("txtChPass", txtChUser.height, txtChUser.width, lblChPass.top, txtChUser.left);
    const Box lblChNPass = a.place("lblChNPass", lblChUser.height, TWofName("lblChNPass"),
                                   Pct(H, 5) + B(txtChPass), lblChUser.left);
    const Box txtChNPass =
        a.place("txtChNPass", txtChUser.height, txtChUser.width, lblChNPass.top, txtChUser.left);
    const Box lblChNRPass = a.place("lblChNRPass", lblChUser.height, TWofName("lblChNRPass"),
                                    Pct(H, 5) + B(txtChNPass), lblChUser.left);
    const Box txtChNRPass =
        a.place("txtChNRPass", txtChUser.height, txtChUser.width, lblChNRPass.top, txtChUser.left);
    const Box prgChPass = a.place("prgChPass", Pct(H, 4), R(txtChUser) - lblChUser.left,
                                  Pct(H, 3) + B(txtChNRPass), lblChUser.left);
    const Box cmdChDel = a.place("cmdChDel", Pct(H, 13), Pct(FW, 22), Pct(H, 4) + B(prgChPass),
                                 (FW / 2.0f) - Pct(FW, 11));
    a.place("cmdChPass", cmdChDel.height, cmdChDel.width, cmdChDel.top,
            (cmdChDel.left - Pct(FW, 5)) - cmdChDel.width);
    a.place("cmdChCncl", cmdChDel.height, cmdChDel.width, cmdChDel.top, Pct(FW, 5) + R(cmdChDel));
    return out;
}

} // namespace screens

#pragma once

#include <QHash>
#include <QString>

#include <array>

// Geometry of the two windows, computed from the screen size alone.
//
// Every length is in twips and every value is single precision, computed in a
// fixed order of operations so that the same screen always gives the same
// figures. "p% of X" is always X * p / 100 with the multiplication first.
// Nothing here touches a widget: the windows apply the figures themselves.
namespace screens {

// Position and size of one control, relative to the container it lives in
// (the window, a frame or a panel).
struct Box {
    float left = 0, top = 0, width = 0, height = 0;
};

// A separator line, relative to its container.
struct Line {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct MainLayoutInput {
    float SW = 0, SH = 0; // screen width and height
    float WH = 0;         // the main window's height read back after it is sized (normally SH)
    float clientHeight =
        0; // height of the window's client area; the status bar docks at its bottom
    // Current captions for TW(); a control missing here uses its built-in caption.
    QHash<QString, QString> captions;
    // Font size in points for TW(); a control missing here uses 8.25.
    QHash<QString, float> fontPoints;
};

struct MainLayout {
    // Every control the arrangement places, by name. Properties the
    // arrangement does not assign hold the control's built-in value (a combo
    // box's 315-twip height, lblUrlCat's width 480, cmbUrlMod's left 1560 and
    // width 1455) or 0; the URL screens set those when they open.
    // "frmMain" is the window itself and "StatusBar" the docked status bar.
    QHash<QString, Box> boxes;
    // Sep1H, Sep1V, Sep2H, Sep2V, Sep3V.
    QHash<QString, Line> lines;
    float statusBarHeight = 0;
    std::array<float, 8> panelWidths{};
    // Height of one of the nine bands between Sep1H and the status bar, the
    // category option buttons' height and the URL option buttons' height.
    float h = 0, k = 0, u = 0;
};

// Places every control of the main window (sized to the whole screen), its
// separator lines and the status bar with its eight panels.
MainLayout ComputeMainLayout(const MainLayoutInput &in);

struct LoginLayoutInput {
    float SW = 0, SH = 0;
    QHash<QString, QString> captions;
    QHash<QString, float> fontPoints;
};

struct LoginLayout {
    float FW = 0, FH = 0; // the sign-in window's width and height
    QHash<QString, Box> boxes;
};

// Sizes the sign-in window to a fraction of the screen and places both of its
// frames and their controls. The window is centred when shown, so its
// position is not part of the result.
LoginLayout ComputeLoginLayout(const LoginLayoutInput &in);

// Estimated width of a caption: points * 10 * number of characters, the
// access-key ampersand included (82.5 twips a character at 8.25 pt).
float TW(const QString &caption, float points);

// Twips to whole pixels, rounded to the nearest pixel.
int TwipsToPixels(float twips, float twipsPerPixel);

} // namespace screens

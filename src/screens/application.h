#pragma once

namespace screens {

// What the program gives the application before its first window: the
// Fusion style, the windows' icon and the desktop file name that lets a
// Wayland desktop match the windows to the installed launcher and its icon.
// The icon is compiled into the program (data/wayfile.qrc) and read from
// there only when a window system asks for its picture.
void SetUpApplication();

} // namespace screens

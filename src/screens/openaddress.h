#pragma once

#include <QUrl>

#include <functional>

// Opening a web address in the desktop's default browser. The address goes
// to the desktop as a URL, never through a shell or command line, so nothing
// typed into it can start another program.
namespace screens {

// Hands `url` to the current handler; true when the desktop took it.
bool OpenAddress(const QUrl &url);

// Replaces the handler (tests record the addresses instead of opening them);
// an empty function restores QDesktopServices::openUrl.
void SetOpenAddressHandler(std::function<bool(const QUrl &)> handler);

} // namespace screens

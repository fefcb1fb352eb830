#include "screens/openaddress.h"

#include <QDesktopServices>

namespace screens {

namespace {

std::function<bool(const QUrl &)> &Handler() {
    static std::function<bool(const QUrl &)> handler;
    return handler;
}

} // namespace

bool OpenAddress(const QUrl &url) {
    if (Handler())
        return Handler()(url);
    return QDesktopServices::openUrl(url);
}

void SetOpenAddressHandler(std::function<bool(const QUrl &)> handler) {
    Handler() = std::move(handler);
}

} // namespace screens

#include "screens/application.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

namespace screens {

void SetUpApplication() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/wayfile.png")));
    QApplication::setDesktopFileName(QStringLiteral("wayfile"));
}

} // namespace screens

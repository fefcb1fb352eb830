#include "screens/application.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyleFactory>

#include <memory>

namespace screens {

namespace {

// An icon read from its file only when something asks for its picture: a
// window system that shows window icons asks when the first window is made,
// one that shows none (and the offscreen platform) never does, and the
// program then starts without decoding it at all.
class IconOnDemand : public QIconEngine {
public:
    explicit IconOnDemand(const QString &path) : m_path(path) {}

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("IconOnDemand"); }
    QIconEngine *clone() const override { return new IconOnDemand(m_path); }

private:
    const QIcon &icon() {
        if (!m_icon)
            m_icon = std::make_unique<QIcon>(m_path);
        return *m_icon;
    }

    QString m_path;
    std::unique_ptr<QIcon> m_icon;
};

} // namespace

void SetUpApplication() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(new IconOnDemand(QStringLiteral(":/icons/wayfile.png"))));
    QApplication::setDesktopFileName(QStringLiteral("wayfile"));
}

} // namespace screens

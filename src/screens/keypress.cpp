#include "screens/keypress.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace screens {

namespace {

class KeyDownFilter : public QObject {
public:
    KeyDownFilter(QWidget *widget, std::function<bool(const QKeyEvent &)> handler)
        : QObject(widget), m_handler(std::move(handler)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress && m_handler(*static_cast<QKeyEvent *>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(const QKeyEvent &)> m_handler;
};

class EventFilter : public QObject {
public:
    EventFilter(QObject *watched, QEvent::Type type, std::function<void()> handler)
        : QObject(watched), m_type(type), m_handler(std::move(handler)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == m_type)
            m_handler();
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_handler;
};

} // namespace

void OnEvent(QObject *watched, QEvent::Type type, std::function<void()> handler) {
    new EventFilter(watched, type, std::move(handler));
}

void OnKeyPress(QWidget *widget, std::function<void(int &keyAscii)> handler) {
    OnKeyDown(widget, [handler = std::move(handler)](const QKeyEvent &key) {
        int keyAscii = 0;
        if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
            keyAscii = 13;
        else if (!key.text().isEmpty())
            keyAscii = key.text().at(0).unicode();
        if (keyAscii == 0)
            return false;
        handler(keyAscii);
        return keyAscii == 0;
    });
}

void OnKeyDown(QWidget *widget, std::function<bool(const QKeyEvent &key)> handler) {
    new KeyDownFilter(widget, std::move(handler));
}

} // namespace screens

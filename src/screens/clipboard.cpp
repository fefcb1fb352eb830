#include "screens/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <QPointer>

namespace screens {

namespace {

const QString kManagerHint = QStringLiteral("x-kde-passwordManagerHint");
const QByteArray kSecret = QByteArrayLiteral("secret");

struct State {
    bool scripted = false;
    // Scripted mode: the clipboard's formats and their data.
    QList<std::pair<QString, QByteArray>> held;
    int pendingMs = 0;
    // The text this program put there and still means to take off.
    QString copied;
    // The wait, a timer of the application (it goes with it).
    QPointer<QTimer> timer;
};

State &state() {
    static State s;
    return s;
}

QString CurrentText() {
    State &s = state();
    if (s.scripted)
        return QString::fromUtf8(Clipboard::data(QStringLiteral("text/plain")));
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void StopWaiting() {
    State &s = state();
    s.pendingMs = 0;
    if (s.timer)
        s.timer->stop();
}

} // namespace

void Clipboard::copySecret(const QString &text) {
    State &s = state();
    s.copied = text;
    if (s.scripted) {
        s.held = {{QStringLiteral("text/plain"), text.toUtf8()}, {kManagerHint, kSecret}};
        s.pendingMs = kClearAfterMs;
        return;
    }
    if (QClipboard *clipboard = QGuiApplication::clipboard()) {
        auto *mime = new QMimeData;
        mime->setText(text);
        mime->setData(kManagerHint, kSecret);
        clipboard->setMimeData(mime); // the clipboard owns it
    }
    if (!s.timer) {
        s.timer = new QTimer(QCoreApplication::instance());
        s.timer->setSingleShot(true);
        QObject::connect(s.timer, &QTimer::timeout, [] { Clipboard::clearCopied(); });
    }
    s.timer->start(kClearAfterMs);
}

void Clipboard::clearCopied() {
    State &s = state();
    StopWaiting();
    if (s.copied.isNull())
        return;
    const bool stillOurs = CurrentText() == s.copied;
    s.copied.fill(u'\0');
    s.copied = QString();
    if (!stillOurs)
        return;
    if (s.scripted) {
        s.held.clear();
        return;
    }
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->clear();
}

QMap<QString, QByteArray> Clipboard::offered() {
    QMap<QString, QByteArray> formats;
    if (state().scripted) {
        for (const auto &[format, bytes] : std::as_const(state().held))
            formats.insert(format, bytes);
        return formats;
    }
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return offered(clipboard ? clipboard->mimeData() : nullptr);
}

QMap<QString, QByteArray> Clipboard::offered(const QMimeData *mime) {
    QMap<QString, QByteArray> formats;
    if (mime) {
        for (const QString &format : mime->formats())
            formats.insert(format, mime->data(format));
    }
    return formats;
}

void Clipboard::setScripted(bool scripted) {
    state().scripted = scripted;
}

bool Clipboard::scripted() {
    return state().scripted;
}

QString Clipboard::text() {
    return CurrentText();
}

QStringList Clipboard::formats() {
    QStringList names;
    for (const auto &[format, bytes] : std::as_const(state().held))
        names << format;
    return names;
}

QByteArray Clipboard::data(const QString &format) {
    for (const auto &[name, bytes] : std::as_const(state().held)) {
        if (name == format)
            return bytes;
    }
    return QByteArray();
}

void Clipboard::scriptOtherCopy(const QString &text) {
    state().held = {{QStringLiteral("text/plain"), text.toUtf8()}};
}

void Clipboard::scriptOtherCopy(const QMap<QString, QByteArray> &formats) {
    state().held.clear();
    for (auto it = formats.cbegin(); it != formats.cend(); ++it)
        state().held.append({it.key(), it.value()});
}

int Clipboard::pendingMs() {
    return state().pendingMs;
}

void Clipboard::elapse() {
    if (state().pendingMs > 0)
        clearCopied();
}

void Clipboard::reset() {
    State &s = state();
    StopWaiting();
    s.held.clear();
    s.copied = QString();
}

} // namespace screens

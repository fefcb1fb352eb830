#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>

// Hands a list of addresses to the browser a few at a time, one batch per
// turn of the event loop, so that the window keeps answering while hundreds
// go: each turn opens addresses (through OpenAddress, as View does) until
// kPerTurn are opened or kTurnMs have passed, then lets the other events of
// the window run. A launch that takes long ends its turn after itself.
namespace screens {

class OpenInTurns : public QObject {
    Q_OBJECT
public:
    // Most addresses, and most milliseconds, of one turn.
    static constexpr int kPerTurn = 5;
    static constexpr int kTurnMs = 10;

    using QObject::QObject;

    // Starts opening `urls` in their order; the first turn runs at once.
    // `progress` is told after each turn how many are done; `done` at the
    // end, with the addresses that the desktop did not take. False (and
    // nothing started) while an earlier list is still being opened.
    bool start(QList<QUrl> urls, std::function<void(int done, int total)> progress,
               std::function<void(const QList<QUrl> &failed)> done);
    // Stops at once: the addresses not opened yet are dropped, and `done` is
    // not called.
    void stop();
    bool running() const { return m_next < m_urls.size(); }

    // The longest turn so far, in milliseconds (for measuring).
    qint64 longestTurnMs() const { return m_longestTurnMs; }

private:
    void turn();

    QList<QUrl> m_urls;
    qsizetype m_next = 0;
    QList<QUrl> m_failed;
    std::function<void(int, int)> m_progress;
    std::function<void(const QList<QUrl> &)> m_done;
    qint64 m_longestTurnMs = 0;
    int m_generation = 0; // a turn queued for a list that was stopped does nothing
};

} // namespace screens

#include "screens/openinturns.h"

#include "screens/openaddress.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace screens {

bool OpenInTurns::start(QList<QUrl> urls, std::function<void(int, int)> progress,
                        std::function<void(const QList<QUrl> &)> done) {
    if (running())
        return false;
    m_urls = std::move(urls);
    m_next = 0;
    m_failed.clear();
    m_progress = std::move(progress);
    m_done = std::move(done);
    m_longestTurnMs = 0;
    ++m_generation;
    turn();
    return true;
}

void OpenInTurns::stop() {
    ++m_generation;
    m_urls.clear();
    m_next = 0;
    m_failed.clear();
    m_progress = nullptr;
    m_done = nullptr;
}

void OpenInTurns::turn() {
    QElapsedTimer clock;
    clock.start();
    int opened = 0;
    while (m_next < m_urls.size() && opened < kPerTurn &&
           (opened == 0 || !clock.hasExpired(kTurnMs))) {
        const QUrl &url = m_urls.at(m_next++);
        if (!OpenAddress(url))
            m_failed.append(url);
        ++opened;
    }
    m_longestTurnMs = std::max(m_longestTurnMs, clock.elapsed());
    const int generation = m_generation;
    // A copy: the report may stop the list, which lets go of the function.
    if (const auto progress = m_progress)
        progress(int(m_next), int(m_urls.size()));
    if (generation != m_generation)
        return; // stopped by the progress report
    if (m_next < m_urls.size()) {
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                turn();
        });
        return;
    }
    // Done: the list goes before `done` runs, which may start another.
    const QList<QUrl> failed = std::exchange(m_failed, {});
    const auto done = std::exchange(m_done, nullptr);
    m_progress = nullptr;
    m_urls.clear();
    m_next = 0;
    if (done)
        done(failed);
}

} // namespace screens

#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Memory readings of this process, from /proc, for the benchmarks.
namespace bench {

// A number of kilobytes from /proc/self/status ("VmHWM", "VmRSS"), or -1.
inline qint64 StatusKilobytes(const char *key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak resident memory (VmHWM) back to the current one.
inline bool ResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush();
}

} // namespace bench

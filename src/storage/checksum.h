#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

namespace modMain {

// CRC-32C (Castagnoli: the checksum of iSCSI, ext4 and btrfs), kept by a
// journal of the bytes a recovery would touch, to tell whether a file is
// still as the change left it. It guards against accidents (a crash, another
// writer), not against someone who forges a file, and it is fast: on a
// processor with SSE 4.2 several gigabytes a second, so that the check costs
// a change of a large file next to nothing.
class Crc32c {
public:
    void add(QByteArrayView bytes);
    std::uint32_t value() const { return ~state_; }
    // Eight lower-case hex digits.
    QByteArray hex() const;

    // The checksum of `bytes`, in hex.
    static QByteArray of(QByteArrayView bytes);

private:
    std::uint32_t state_ = 0xFFFFFFFFu;
};

} // namespace modMain

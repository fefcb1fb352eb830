#include "storage/checksum.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <nmmintrin.h>
#define WAYFILE_CRC32C_SSE42 1
#endif

namespace modMain {
namespace {

constexpr std::uint32_t kPolynomial = 0x82F63B78u; // reflected Castagnoli

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ kPolynomial : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

std::uint32_t addPlain(std::uint32_t crc, const unsigned char *p, std::size_t n) {
    while (n--)
        crc = kTable[(crc ^ *p++) & 0xFFu] ^ (crc >> 8);
    return crc;
}

#ifdef WAYFILE_CRC32C_SSE42
__attribute__((target("sse4.2"))) std::uint32_t addSse42(std::uint32_t crc, const unsigned char *p,
                                                         std::size_t n) {
#if defined(__x86_64__)
    std::uint64_t wide = crc;
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        wide = _mm_crc32_u64(wide, word);
    }
    crc = std::uint32_t(wide);
#endif
    for (; n > 0; --n, ++p)
        crc = _mm_crc32_u8(crc, *p);
    return crc;
}

bool hasSse42() {
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

} // namespace

void Crc32c::add(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto n = std::size_t(bytes.size());
#ifdef WAYFILE_CRC32C_SSE42
    if (hasSse42()) {
        state_ = addSse42(state_, p, n);
        return;
    }
#endif
    state_ = addPlain(state_, p, n);
}

QByteArray Crc32c::hex() const {
    return QByteArray::number(value(), 16).rightJustified(8, '0');
}

QByteArray Crc32c::of(QByteArrayView bytes) {
    Crc32c crc;
    crc.add(bytes);
    return crc.hex();
}

} // namespace modMain

#pragma once
// CRC-32C (Castagnoli: polynomial 0x1EDC6F41, reflected 0x82F63B78, initial value and
// final xor 0xFFFFFFFF), eight bytes a step through eight tables built at compile
// time, or by the processor's own CRC-32C instruction on x86-64 processors that have it
// (the same numbers, several times faster: every page of an E57 file goes through it).
// E57 pages carry it; the importer checks it and the example generator writes it, so
// both use this one definition. Header only: the generator is also built for 32-bit
// systems, the importer's library is not.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace crc32c_detail {

using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables()
{
    Tables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int32_t k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? (c >> 1) ^ 0x82F63B78u : c >> 1;
        }
        t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (std::size_t k = 1; k < 8; ++k) {
            t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFFu];
        }
    }
    return t;
}

inline constexpr Tables TABLES = makeTables();

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TAVRIN_CRC32C_INSTRUCTION 1
__attribute__((target("sse4.2"))) inline uint32_t byInstruction(const unsigned char* data, std::size_t size)
{
    uint64_t c = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, data + i, 8);  // x86-64 is little-endian, as the CRC's bit order needs
        c = __builtin_ia32_crc32di(c, word);
    }
    uint32_t c32 = static_cast<uint32_t>(c);
    for (; i < size; ++i) {
        c32 = __builtin_ia32_crc32qi(c32, data[i]);
    }
    return c32 ^ 0xFFFFFFFFu;
}
#endif

}  // namespace crc32c_detail

/// The CRC-32C of `size` bytes through the tables alone ("123456789" gives 0xE3069283).
inline uint32_t crc32cByTables(const unsigned char* data, std::size_t size)
{
    const crc32c_detail::Tables& t = crc32c_detail::TABLES;
    uint32_t c = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        // The first four bytes fold into the register; all eight are looked up at once.
        const uint32_t low = c
            ^ (static_cast<uint32_t>(data[i]) | (static_cast<uint32_t>(data[i + 1]) << 8)
               | (static_cast<uint32_t>(data[i + 2]) << 16) | (static_cast<uint32_t>(data[i + 3]) << 24));
        c = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^ t[4][low >> 24]
            ^ t[3][data[i + 4]] ^ t[2][data[i + 5]] ^ t[1][data[i + 6]] ^ t[0][data[i + 7]];
    }
    for (; i < size; ++i) {
        c = (c >> 8) ^ t[0][(c ^ data[i]) & 0xFFu];
    }
    return c ^ 0xFFFFFFFFu;
}

/// The CRC-32C of `size` bytes, by the processor's instruction where there is one.
inline uint32_t crc32c(const unsigned char* data, std::size_t size)
{
#ifdef TAVRIN_CRC32C_INSTRUCTION
    static const bool instruction = __builtin_cpu_supports("sse4.2") != 0;
    if (instruction) {
        return crc32c_detail::byInstruction(data, size);
    }
#endif
    return crc32cByTables(data, size);
}

#pragma once
// Fixed-width fields from raw bytes in a stated byte order, whatever the order of
// the machine: the bytes are assembled into an unsigned integer, which is then
// copied bit for bit into the field's type.

#include <cstdint>
#include <cstring>

inline uint16_t le16(const unsigned char* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }

inline uint32_t le32(const unsigned char* b)
{
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16)
        | (static_cast<uint32_t>(b[3]) << 24);
}

inline uint64_t le64(const unsigned char* b)
{
    return static_cast<uint64_t>(le32(b)) | (static_cast<uint64_t>(le32(b + 4)) << 32);
}

inline uint16_t be16(const unsigned char* b) { return static_cast<uint16_t>((b[0] << 8) | b[1]); }

inline uint32_t be32(const unsigned char* b)
{
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16)
        | (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

inline uint64_t be64(const unsigned char* b)
{
    return (static_cast<uint64_t>(be32(b)) << 32) | static_cast<uint64_t>(be32(b + 4));
}

template <typename T, typename U>
T bitsAs(U bits)
{
    static_assert(sizeof(T) == sizeof(U), "a field is copied into a type of its own width");
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline int32_t leInt32(const unsigned char* b) { return bitsAs<int32_t>(le32(b)); }
inline double leDouble(const unsigned char* b) { return bitsAs<double>(le64(b)); }

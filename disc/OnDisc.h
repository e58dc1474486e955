// What every on-disc structure shares: the sector, sector numbers, and the
// byte-order writers and readers. ISO 9660 stores many numbers twice
// ("both-byte order": little-endian, then big-endian); UDF uses little-endian
// throughout. Everything goes through these, never host structs.
#pragma once

#include <cstdint>

namespace pm {

// The image's sector and the UDF logical block.
constexpr uint32_t SectorSize = 2048;

// Whole sectors that hold `bytes`.
constexpr uint64_t SectorsFor(uint64_t bytes) { return (bytes + SectorSize - 1) / SectorSize; }
// A sector of the image, or a block of the UDF partition: 32 bits on disc.
using SectorNumber = uint32_t;

inline uint16_t ByteSwap16(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }

inline uint32_t ByteSwap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

inline void PutLE64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}

inline void PutBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

inline void PutBE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * (3 - i)));
}

// 4 bytes: little-endian, then big-endian.
inline void PutBoth16(uint8_t* p, uint16_t v) {
    PutLE16(p, v);
    PutBE16(p + 2, v);
}

// 8 bytes: little-endian, then big-endian.
inline void PutBoth32(uint8_t* p, uint32_t v) {
    PutLE32(p, v);
    PutBE32(p + 4, v);
}

inline uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

inline uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint64_t GetLE64(const uint8_t* p) {
    return uint64_t(GetLE32(p)) | (uint64_t(GetLE32(p + 4)) << 32);
}

inline uint16_t GetBE16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

inline uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

}  // namespace pm

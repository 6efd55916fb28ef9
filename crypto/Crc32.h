// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320), shared by the
// whole engine: the entry data pipeline checksums with it and the PKZIP
// classic cipher steps its keys with the same table.
//
// Convention: UpdateCrc32 works on the raw CRC register and neither inverts
// on entry nor on exit. A caller starts from 0xFFFFFFFF, feeds the data in
// any number of pieces, and compares (crc ^ 0xFFFFFFFF) with the stored
// value:
//
//     uint32_t crc = 0xFFFFFFFF;
//     crc = UpdateCrc32(crc, part1, n1);
//     crc = UpdateCrc32(crc, part2, n2);
//     bool intact = (crc ^ 0xFFFFFFFF) == entryCrc32;
//
// Each byte b is one table step: crc = CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8).
// UpdateCrc32 gives exactly that result, computed with carry-less multiply
// folding (VPCLMULQDQ or PCLMULQDQ, chosen at run time) or, without them,
// slicing by 16.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace za {

namespace crc32_detail {
constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[i] = c;
    }
    return t;
}
} // namespace crc32_detail

// The 256-entry byte table of the reflected polynomial 0xEDB88320.
inline constexpr std::array<uint32_t, 256> CrcTable = crc32_detail::MakeTable();

// One byte step of the CRC register.
constexpr uint32_t Crc32Step(uint32_t crc, uint8_t b) {
    return CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

// Raw register update over len bytes (no inversion; see above).
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t len);

// The individual implementations, for tests and benchmarks. All give the
// same result as UpdateCrc32Bytewise, the reference.
namespace crc32_detail {
uint32_t UpdateCrc32Bytewise(uint32_t crc, const void* data, size_t len);
uint32_t UpdateCrc32Slicing16(uint32_t crc, const void* data, size_t len);
// Only callable when the matching Available function is true.
uint32_t UpdateCrc32Clmul(uint32_t crc, const void* data, size_t len);
uint32_t UpdateCrc32Vpclmul(uint32_t crc, const void* data, size_t len);
bool ClmulAvailable();
bool VpclmulAvailable();
} // namespace crc32_detail

} // namespace za

// Adler-32 as zlib defines it, with an AVX2 kernel chosen at run time and
// zlib's own adler32_z as the portable path.
#pragma once

#include <cstddef>
#include <cstdint>

namespace za {

// Adds Count bytes to a running Adler-32 value (start from 1).
uint32_t UpdateAdler32(uint32_t Adler, const void* Buffer, size_t Count);

namespace adler_detail {
uint32_t UpdatePortable(uint32_t adler, const uint8_t* p, size_t n);
// The AVX2 kernel; callers check HasAvx2() first.
uint32_t UpdateAvx2(uint32_t adler, const uint8_t* p, size_t n);
bool HasAvx2();
} // namespace adler_detail

} // namespace za

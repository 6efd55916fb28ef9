#include "zlib/ZAAdler32.h"

#include <immintrin.h>
#include <zlib.h>

namespace za {

namespace adler_detail {

namespace {
constexpr uint32_t Base = 65521;
// Largest number of 32-byte blocks whose sums cannot overflow the 32-bit
// lanes before the next reduction (zlib's NMAX is 5552 bytes).
constexpr size_t BlocksPerRound = 5552 / 32;
} // namespace

uint32_t UpdatePortable(uint32_t adler, const uint8_t* p, size_t n) {
    return static_cast<uint32_t>(adler32_z(adler, p, n));
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) uint32_t UpdateAvx2(uint32_t adler, const uint8_t* p, size_t n) {
    uint64_t s1 = adler & 0xFFFF;
    uint64_t s2 = adler >> 16;
    // Byte j of a block weighs 32 - j in the block's contribution to s2.
    const __m256i taps =
        _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                         13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i zero = _mm256_setzero_si256();
    size_t blocks = n / 32;
    while (blocks > 0) {
        const size_t k = blocks < BlocksPerRound ? blocks : BlocksPerRound;
        blocks -= k;
        __m256i vs1 = zero;   // byte sums of the blocks so far
        __m256i vprev = zero; // running total of vs1 before each block
        __m256i vs2 = zero;   // weighted sums inside each block
        for (size_t b = 0; b < k; ++b) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            p += 32;
            vprev = _mm256_add_epi32(vprev, vs1);
            vs1 = _mm256_add_epi32(vs1, _mm256_sad_epu8(v, zero));
            vs2 = _mm256_add_epi32(vs2, _mm256_madd_epi16(_mm256_maddubs_epi16(v, taps), ones));
        }
        vs2 = _mm256_add_epi32(vs2, _mm256_slli_epi32(vprev, 5));
        alignas(32) uint32_t a[8], c[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(a), vs1);
        _mm256_store_si256(reinterpret_cast<__m256i*>(c), vs2);
        uint64_t sum1 = 0, sum2 = 0;
        for (int i = 0; i < 8; ++i) {
            sum1 += a[i];
            sum2 += c[i];
        }
        s2 = (s2 + 32 * k * s1 + sum2) % Base;
        s1 = (s1 + sum1) % Base;
    }
    n %= 32;
    while (n-- > 0) {
        s1 += *p++;
        s2 += s1;
    }
    return static_cast<uint32_t>(((s2 % Base) << 16) | (s1 % Base));
}

} // namespace adler_detail

uint32_t UpdateAdler32(uint32_t Adler, const void* Buffer, size_t Count) {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    if (Count >= 64 && adler_detail::HasAvx2())
        return adler_detail::UpdateAvx2(Adler, p, Count);
    return adler_detail::UpdatePortable(Adler, p, Count);
}

} // namespace za

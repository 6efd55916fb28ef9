#include "crypto/Crc32.h"

#include "crypto/CpuFeatures.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define ZA_CRC_X86 1
#endif

namespace za {

namespace crc32_detail {

namespace {

using Slice16Tables = std::array<std::array<uint32_t, 256>, 16>;

constexpr Slice16Tables MakeSliceTables() {
    Slice16Tables t{};
    t[0] = CrcTable;
    for (size_t k = 1; k < 16; ++k)
        for (size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ CrcTable[t[k - 1][i] & 0xFF];
    return t;
}

constexpr Slice16Tables kSlice = MakeSliceTables();

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v; // the slicing code below assumes a little-endian host
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "little-endian host assumed");

#if ZA_CRC_X86
// Folding constants. A 128-bit register holds 128 message bits with the
// first bit of the stream in bit 0, so bit i stands for x^(127-i). Folding
// a register forward by D bits multiplies its first 64 bits by x^(D+64) and
// its last 64 bits by x^D modulo P; since a reflected carry-less product
// comes out multiplied by x once more, the constants are x^(D+63) and
// x^(D-1) modulo P, bit-reflected into 64 bits.
constexpr uint64_t XPowModP(unsigned n) {
    uint64_t r = 1; // normal (non-reflected) form, degree < 32
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (uint64_t{1} << 32))
            r ^= 0x104C11DB7ull;
    }
    return r;
}
constexpr uint64_t Reflect64(uint64_t r) {
    uint64_t v = 0;
    for (unsigned d = 0; d < 64; ++d)
        if ((r >> d) & 1)
            v |= uint64_t{1} << (63 - d);
    return v;
}
constexpr uint64_t FoldHi(unsigned d) {
    return Reflect64(XPowModP(d + 63));
}
constexpr uint64_t FoldLo(unsigned d) {
    return Reflect64(XPowModP(d - 1));
}

constexpr uint64_t k128Hi = FoldHi(128), k128Lo = FoldLo(128);
constexpr uint64_t k512Hi = FoldHi(512), k512Lo = FoldLo(512);
constexpr uint64_t k2048Hi = FoldHi(2048), k2048Lo = FoldLo(2048);

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

#define ZA_TARGET_CLMUL __attribute__((target("pclmul,sse4.1")))
#define ZA_TARGET_VPCLMUL                                                                          \
    __attribute__((target("avx512f,avx512vl,avx512bw,vpclmulqdq,pclmul,sse4.1")))

ZA_TARGET_CLMUL inline __m128i Load128(const uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}
ZA_TARGET_VPCLMUL inline __m512i Load512(const uint8_t* q) {
    return _mm512_loadu_si512(q);
}
ZA_TARGET_VPCLMUL inline __m512i Broadcast512(uint64_t hiQword, uint64_t loQword) {
    const auto h = static_cast<long long>(hiQword), l = static_cast<long long>(loQword);
    return _mm512_set_epi64(h, l, h, l, h, l, h, l);
}
ZA_TARGET_VPCLMUL inline __m512i Fold512(__m512i z, __m512i k, __m512i next) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(z, k, 0x00),
                                     _mm512_clmulepi64_epi128(z, k, 0x11), next, 0x96);
}

// The register, taken as 16 message bytes, reduces to the CRC by the table.
__attribute__((target("pclmul,sse4.1"))) inline uint32_t Finish(__m128i x) {
    alignas(16) uint8_t buf[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(buf), x);
    return UpdateCrc32Slicing16(0, buf, 16);
}
#endif

} // namespace

uint32_t UpdateCrc32Bytewise(uint32_t crc, const void* data, size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < len; ++i)
        crc = CrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t UpdateCrc32Slicing16(uint32_t crc, const void* data, size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (len >= 16) {
        const uint32_t a = Load32(p) ^ crc, b = Load32(p + 4), c = Load32(p + 8),
                       d = Load32(p + 12);
        crc = kSlice[15][a & 0xFF] ^ kSlice[14][(a >> 8) & 0xFF] ^ kSlice[13][(a >> 16) & 0xFF] ^
              kSlice[12][a >> 24] ^ kSlice[11][b & 0xFF] ^ kSlice[10][(b >> 8) & 0xFF] ^
              kSlice[9][(b >> 16) & 0xFF] ^ kSlice[8][b >> 24] ^ kSlice[7][c & 0xFF] ^
              kSlice[6][(c >> 8) & 0xFF] ^ kSlice[5][(c >> 16) & 0xFF] ^ kSlice[4][c >> 24] ^
              kSlice[3][d & 0xFF] ^ kSlice[2][(d >> 8) & 0xFF] ^ kSlice[1][(d >> 16) & 0xFF] ^
              kSlice[0][d >> 24];
        p += 16;
        len -= 16;
    }
    while (len--)
        crc = CrcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if ZA_CRC_X86

__attribute__((target("pclmul,sse4.1"))) uint32_t UpdateCrc32Clmul(uint32_t crc, const void* data,
                                                                   size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (len < 64)
        return UpdateCrc32Slicing16(crc, p, len);
    // The incoming register is xored into the first four message bytes, so
    // the folding itself starts from a zero register.
    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = Load128(p + 16), x2 = Load128(p + 32), x3 = Load128(p + 48);
    p += 64;
    len -= 64;
    const __m128i k512 =
        _mm_set_epi64x(static_cast<long long>(k512Lo), static_cast<long long>(k512Hi));
    while (len >= 64) {
        x0 = _mm_xor_si128(Fold(x0, k512), Load128(p));
        x1 = _mm_xor_si128(Fold(x1, k512), Load128(p + 16));
        x2 = _mm_xor_si128(Fold(x2, k512), Load128(p + 32));
        x3 = _mm_xor_si128(Fold(x3, k512), Load128(p + 48));
        p += 64;
        len -= 64;
    }
    const __m128i k128 =
        _mm_set_epi64x(static_cast<long long>(k128Lo), static_cast<long long>(k128Hi));
    __m128i x = _mm_xor_si128(Fold(x0, k128), x1);
    x = _mm_xor_si128(Fold(x, k128), x2);
    x = _mm_xor_si128(Fold(x, k128), x3);
    while (len >= 16) {
        x = _mm_xor_si128(Fold(x, k128), Load128(p));
        p += 16;
        len -= 16;
    }
    return UpdateCrc32Slicing16(Finish(x), p, len);
}

__attribute__((target("avx512f,avx512vl,avx512bw,vpclmulqdq,pclmul,sse4.1"))) uint32_t
UpdateCrc32Vpclmul(uint32_t crc, const void* data, size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (len < 256)
        return UpdateCrc32Clmul(crc, p, len);
    __m512i z0 = _mm512_xor_si512(Load512(p), _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                               0, 0, 0, static_cast<int>(crc)));
    __m512i z1 = Load512(p + 64), z2 = Load512(p + 128), z3 = Load512(p + 192);
    p += 256;
    len -= 256;
    const __m512i k2048 = Broadcast512(k2048Lo, k2048Hi);
    while (len >= 256) {
        z0 = Fold512(z0, k2048, Load512(p));
        z1 = Fold512(z1, k2048, Load512(p + 64));
        z2 = Fold512(z2, k2048, Load512(p + 128));
        z3 = Fold512(z3, k2048, Load512(p + 192));
        p += 256;
        len -= 256;
    }
    const __m512i k512 = Broadcast512(k512Lo, k512Hi);
    __m512i z = Fold512(z0, k512, z1);
    z = Fold512(z, k512, z2);
    z = Fold512(z, k512, z3);
    while (len >= 64) {
        z = Fold512(z, k512, Load512(p));
        p += 64;
        len -= 64;
    }
    const __m128i k128 =
        _mm_set_epi64x(static_cast<long long>(k128Lo), static_cast<long long>(k128Hi));
    alignas(64) uint8_t lanes[64];
    _mm512_store_si512(lanes, z);
    __m128i x = Load128(lanes);
    x = _mm_xor_si128(Fold(x, k128), Load128(lanes + 16));
    x = _mm_xor_si128(Fold(x, k128), Load128(lanes + 32));
    x = _mm_xor_si128(Fold(x, k128), Load128(lanes + 48));
    while (len >= 16) {
        x = _mm_xor_si128(Fold(x, k128), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        p += 16;
        len -= 16;
    }
    return UpdateCrc32Slicing16(Finish(x), p, len);
}

bool ClmulAvailable() {
    const auto& f = CpuFeatures();
    return f.PCLMULQDQ && f.SSE41;
}
bool VpclmulAvailable() {
    const auto& f = CpuFeatures();
    return ClmulAvailable() && f.VPCLMULQDQ && f.AVX512;
}

#else

uint32_t UpdateCrc32Clmul(uint32_t crc, const void* data, size_t len) {
    return UpdateCrc32Slicing16(crc, data, len);
}
uint32_t UpdateCrc32Vpclmul(uint32_t crc, const void* data, size_t len) {
    return UpdateCrc32Slicing16(crc, data, len);
}
bool ClmulAvailable() {
    return false;
}
bool VpclmulAvailable() {
    return false;
}

#endif

} // namespace crc32_detail

namespace {
using CrcFn = uint32_t (*)(uint32_t, const void*, size_t);
CrcFn ChooseCrc() {
    if (crc32_detail::VpclmulAvailable())
        return crc32_detail::UpdateCrc32Vpclmul;
    if (crc32_detail::ClmulAvailable())
        return crc32_detail::UpdateCrc32Clmul;
    return crc32_detail::UpdateCrc32Slicing16;
}
} // namespace

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t len) {
    static const CrcFn fn = ChooseCrc();
    if (len == 0)
        return crc;
    return fn(crc, data, len);
}

} // namespace za

#include "crypto/ZAsha1.h"

#include "crypto/CpuFeatures.h"

#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#define ZA_SHA_X86 1
#endif

namespace za {

namespace sha1_detail {

namespace {

inline uint32_t Rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadBE(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// One compression over the 16 message words w (destroyed).
void CompressWords(uint32_t s[5], uint32_t w[16]) {
    uint32_t a = s[0], b = s[1], c = s[2], d = s[3], e = s[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t wi;
        if (i < 16) {
            wi = w[i];
        } else {
            wi = Rol(w[(i + 13) & 15] ^ w[(i + 8) & 15] ^ w[(i + 2) & 15] ^ w[i & 15], 1);
            w[i & 15] = wi;
        }
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t tmp = Rol(a, 5) + f + e + k + wi;
        e = d;
        d = c;
        c = Rol(b, 30);
        b = a;
        a = tmp;
    }
    s[0] += a;
    s[1] += b;
    s[2] += c;
    s[3] += d;
    s[4] += e;
}

// Message words of a block that holds one 20-byte digest as the whole of a
// 84-byte message (64 bytes of key pad before it): PBKDF2 iterations.
inline void DigestBlockWords(const uint32_t h[5], uint32_t w[16]) {
    for (int i = 0; i < 5; ++i)
        w[i] = h[i];
    w[5] = 0x80000000u;
    for (int i = 6; i < 15; ++i)
        w[i] = 0;
    w[15] = (64 + 20) * 8;
}

#if ZA_SHA_X86
#define ZA_TARGET_SHA __attribute__((target("sha,sse4.1,ssse3")))
#define ZA_SHA_INLINE __attribute__((target("sha,sse4.1,ssse3"), always_inline)) inline

// One group of four rounds (G = 0..19) for N interleaved lanes. MSG[l][G%4]
// holds the words 4G..4G+3 of lane l; the message schedule for the later
// groups is advanced alongside.
template <int N, int G>
ZA_SHA_INLINE void Group(__m128i (&abcd)[N], __m128i (&e0)[N], __m128i (&e1)[N],
                         __m128i (&msg)[N][4]) {
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        __m128i& ecur = (G % 2) ? e1[l] : e0[l];
        __m128i& eoth = (G % 2) ? e0[l] : e1[l];
        if constexpr (G == 0)
            ecur = _mm_add_epi32(ecur, msg[l][0]);
        else
            ecur = _mm_sha1nexte_epu32(ecur, msg[l][G % 4]);
        eoth = abcd[l];
        if constexpr (G >= 3 && G <= 18)
            msg[l][(G + 1) % 4] = _mm_sha1msg2_epu32(msg[l][(G + 1) % 4], msg[l][G % 4]);
        abcd[l] = _mm_sha1rnds4_epu32(abcd[l], ecur, G / 5);
        if constexpr (G >= 1 && G <= 16)
            msg[l][(G - 1) % 4] = _mm_sha1msg1_epu32(msg[l][(G - 1) % 4], msg[l][G % 4]);
        if constexpr (G >= 2 && G <= 17)
            msg[l][(G - 2) % 4] = _mm_xor_si128(msg[l][(G - 2) % 4], msg[l][G % 4]);
    }
}

template <int N, int... G>
ZA_SHA_INLINE void AllGroups(__m128i (&abcd)[N], __m128i (&e0)[N], __m128i (&e1)[N],
                             __m128i (&msg)[N][4], std::integer_sequence<int, G...>) {
    (Group<N, G>(abcd, e0, e1, msg), ...);
}

// Compresses one block per lane: abcd / e hold the state (A in the top
// dword; E in the top dword of e with zeros below) and are updated.
template <int N>
ZA_SHA_INLINE void Rounds(__m128i (&abcd)[N], __m128i (&e)[N], __m128i (&msg)[N][4]) {
    __m128i saveAbcd[N], e1[N];
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        saveAbcd[l] = abcd[l];
        e1[l] = _mm_setzero_si128();
    }
    __m128i e0[N];
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l)
        e0[l] = e[l];
    AllGroups<N>(abcd, e0, e1, msg, std::make_integer_sequence<int, 20>{});
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        e[l] = _mm_sha1nexte_epu32(e0[l], e[l]);
        abcd[l] = _mm_add_epi32(abcd[l], saveAbcd[l]);
    }
}

ZA_TARGET_SHA inline __m128i StateAbcd(const uint32_t s[5]) {
    return _mm_set_epi32(static_cast<int>(s[0]), static_cast<int>(s[1]), static_cast<int>(s[2]),
                         static_cast<int>(s[3]));
}
ZA_TARGET_SHA inline __m128i StateE(const uint32_t s[5]) {
    return _mm_set_epi32(static_cast<int>(s[4]), 0, 0, 0);
}
ZA_TARGET_SHA inline void StoreState(uint32_t s[5], __m128i abcd, __m128i e) {
    s[0] = static_cast<uint32_t>(_mm_extract_epi32(abcd, 3));
    s[1] = static_cast<uint32_t>(_mm_extract_epi32(abcd, 2));
    s[2] = static_cast<uint32_t>(_mm_extract_epi32(abcd, 1));
    s[3] = static_cast<uint32_t>(_mm_extract_epi32(abcd, 0));
    s[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

template <int N>
ZA_TARGET_SHA void IterateShaNiN(const uint32_t istate[5], const uint32_t ostate[5],
                                 uint32_t (*u)[5], uint32_t (*t)[5], int32_t rounds) {
    const __m128i iAbcd = StateAbcd(istate), iE = StateE(istate);
    const __m128i oAbcd = StateAbcd(ostate), oE = StateE(ostate);
    const __m128i pad = _mm_set_epi32(0, static_cast<int>(0x80000000u), 0, 0);
    const __m128i len = _mm_set_epi32(0, 0, 0, (64 + 20) * 8);
    __m128i uAbcd[N], uE[N], tAbcd[N], tE[N];
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        uAbcd[l] = StateAbcd(u[l]);
        uE[l] = StateE(u[l]);
        tAbcd[l] = StateAbcd(t[l]);
        tE[l] = StateE(t[l]);
    }
    for (int32_t r = 0; r < rounds; ++r) {
        __m128i abcd[N], e[N], msg[N][4];
// Inner hash: key pad state, then the previous U as the message.
#pragma GCC unroll 4
        for (int l = 0; l < N; ++l) {
            msg[l][0] = uAbcd[l];
            msg[l][1] = _mm_or_si128(uE[l], pad);
            msg[l][2] = _mm_setzero_si128();
            msg[l][3] = len;
            abcd[l] = iAbcd;
            e[l] = iE;
        }
        Rounds<N>(abcd, e, msg);
// Outer hash over the inner digest.
#pragma GCC unroll 4
        for (int l = 0; l < N; ++l) {
            msg[l][0] = abcd[l];
            msg[l][1] = _mm_or_si128(e[l], pad);
            msg[l][2] = _mm_setzero_si128();
            msg[l][3] = len;
            abcd[l] = oAbcd;
            e[l] = oE;
        }
        Rounds<N>(abcd, e, msg);
#pragma GCC unroll 4
        for (int l = 0; l < N; ++l) {
            uAbcd[l] = abcd[l];
            uE[l] = e[l];
            tAbcd[l] = _mm_xor_si128(tAbcd[l], abcd[l]);
            tE[l] = _mm_xor_si128(tE[l], e[l]);
        }
    }
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        StoreState(u[l], uAbcd[l], uE[l]);
        StoreState(t[l], tAbcd[l], tE[l]);
    }
}

// PBKDF2 lanes in the vector ALU: word i of the four lanes shares one
// 128-bit register, rotates and the round functions are single AVX-512VL
// instructions. The message of every compression is a 20-byte digest
// followed by constant padding, so most schedule words fold to constants.
#define ZA_TARGET_AVX512 __attribute__((target("avx512f,avx512vl")))
#define ZA_AVX512_INLINE __attribute__((target("avx512f,avx512vl"), always_inline)) inline

template <int N> ZA_AVX512_INLINE __m128i VRol(__m128i x) {
    return _mm_rol_epi32(x, N);
}
ZA_AVX512_INLINE __m128i VAdd(__m128i a, __m128i b) {
    return _mm_add_epi32(a, b);
}
ZA_AVX512_INLINE __m128i VSet(uint32_t v) {
    return _mm_set1_epi32(static_cast<int>(v));
}

// One compression of the block (h[0..4], 0x80000000, 0 x 9, 672) into
// the state iv; result in out.
ZA_AVX512_INLINE void VCompressDigestBlock(const __m128i iv[5], const __m128i h[5],
                                           __m128i out[5]) {
    __m128i w[16];
    for (int i = 0; i < 5; ++i)
        w[i] = h[i];
    w[5] = VSet(0x80000000u);
    for (int i = 6; i < 15; ++i)
        w[i] = _mm_setzero_si128();
    w[15] = VSet((64 + 20) * 8);
    __m128i a = iv[0], b = iv[1], c = iv[2], d = iv[3], e = iv[4];
#pragma GCC unroll 80
    for (int i = 0; i < 80; ++i) {
        __m128i wi;
        if (i < 16) {
            wi = w[i];
        } else {
            // Plain xors, so that the zero and constant words fold away.
            wi = VRol<1>(w[(i + 13) & 15] ^ w[(i + 8) & 15] ^ w[(i + 2) & 15] ^ w[i & 15]);
            w[i & 15] = wi;
        }
        __m128i f;
        uint32_t k;
        if (i < 20) {
            f = _mm_ternarylogic_epi32(b, c, d, 0xCA);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = _mm_ternarylogic_epi32(b, c, d, 0x96);
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = _mm_ternarylogic_epi32(b, c, d, 0xE8);
            k = 0x8F1BBCDCu;
        } else {
            f = _mm_ternarylogic_epi32(b, c, d, 0x96);
            k = 0xCA62C1D6u;
        }
        const __m128i t = VAdd(VAdd(VAdd(e, VAdd(wi, VSet(k))), f), VRol<5>(a));
        e = d;
        d = c;
        c = VRol<30>(b);
        b = a;
        a = t;
    }
    out[0] = VAdd(iv[0], a);
    out[1] = VAdd(iv[1], b);
    out[2] = VAdd(iv[2], c);
    out[3] = VAdd(iv[3], d);
    out[4] = VAdd(iv[4], e);
}

ZA_TARGET_AVX512 void IterateAvx512Group(const uint32_t istate[5], const uint32_t ostate[5],
                                         uint32_t (*u)[5], uint32_t (*t)[5], int lanes,
                                         int32_t rounds) {
    alignas(16) uint32_t lane[4];
    __m128i is[5], os[5], uv[5], tv[5];
    for (int i = 0; i < 5; ++i) {
        is[i] = VSet(istate[i]);
        os[i] = VSet(ostate[i]);
        for (int l = 0; l < 4; ++l)
            lane[l] = l < lanes ? u[l][i] : 0;
        uv[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(lane));
        for (int l = 0; l < 4; ++l)
            lane[l] = l < lanes ? t[l][i] : 0;
        tv[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(lane));
    }
    for (int32_t r = 0; r < rounds; ++r) {
        __m128i inner[5];
        VCompressDigestBlock(is, uv, inner);
        VCompressDigestBlock(os, inner, uv);
        for (int i = 0; i < 5; ++i)
            tv[i] = _mm_xor_si128(tv[i], uv[i]);
    }
    for (int i = 0; i < 5; ++i) {
        _mm_store_si128(reinterpret_cast<__m128i*>(lane), uv[i]);
        for (int l = 0; l < lanes; ++l)
            u[l][i] = lane[l];
        _mm_store_si128(reinterpret_cast<__m128i*>(lane), tv[i]);
        for (int l = 0; l < lanes; ++l)
            t[l][i] = lane[l];
    }
}
#endif

} // namespace

void CompressPortable(uint32_t state[5], const uint8_t* blocks, size_t n) {
    for (size_t b = 0; b < n; ++b, blocks += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = LoadBE(blocks + 4 * i);
        CompressWords(state, w);
    }
}

void Pbkdf2IteratePortable(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                           uint32_t (*t)[5], int lanes, int32_t rounds) {
    for (int l = 0; l < lanes; ++l) {
        for (int32_t r = 0; r < rounds; ++r) {
            uint32_t w[16], s[5];
            std::memcpy(s, istate, sizeof s);
            DigestBlockWords(u[l], w);
            CompressWords(s, w);
            DigestBlockWords(s, w);
            std::memcpy(u[l], ostate, sizeof s);
            CompressWords(u[l], w);
            for (int i = 0; i < 5; ++i)
                t[l][i] ^= u[l][i];
        }
    }
}

#if ZA_SHA_X86
ZA_TARGET_SHA void CompressShaNi(uint32_t state[5], const uint8_t* blocks, size_t n) {
    const __m128i mask = _mm_set_epi64x(0x0001020304050607ll, 0x08090a0b0c0d0e0fll);
    __m128i abcd[1] = {StateAbcd(state)}, e[1] = {StateE(state)};
    for (size_t b = 0; b < n; ++b, blocks += 64) {
        __m128i msg[1][4];
        for (int i = 0; i < 4; ++i)
            msg[0][i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), mask);
        Rounds<1>(abcd, e, msg);
    }
    StoreState(state, abcd[0], e[0]);
}

void Pbkdf2IterateShaNi(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                        uint32_t (*t)[5], int lanes, int32_t rounds) {
    while (lanes > 0) {
        const int n = lanes >= 4 ? 4 : lanes;
        switch (n) {
        case 4:
            IterateShaNiN<4>(istate, ostate, u, t, rounds);
            break;
        case 3:
            IterateShaNiN<3>(istate, ostate, u, t, rounds);
            break;
        case 2:
            IterateShaNiN<2>(istate, ostate, u, t, rounds);
            break;
        default:
            IterateShaNiN<1>(istate, ostate, u, t, rounds);
            break;
        }
        u += n;
        t += n;
        lanes -= n;
    }
}

bool ShaNiAvailable() {
    const auto& f = CpuFeatures();
    return f.SHA && f.SSE41 && f.SSSE3;
}

void Pbkdf2IterateAvx512(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                         uint32_t (*t)[5], int lanes, int32_t rounds) {
    while (lanes > 0) {
        const int n = lanes >= 4 ? 4 : lanes;
        IterateAvx512Group(istate, ostate, u, t, n, rounds);
        u += n;
        t += n;
        lanes -= n;
    }
}

bool Avx512Available() {
    return CpuFeatures().AVX512;
}
#else
void Pbkdf2IterateAvx512(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                         uint32_t (*t)[5], int lanes, int32_t rounds) {
    Pbkdf2IteratePortable(istate, ostate, u, t, lanes, rounds);
}
bool Avx512Available() {
    return false;
}
void CompressShaNi(uint32_t state[5], const uint8_t* blocks, size_t n) {
    CompressPortable(state, blocks, n);
}
void Pbkdf2IterateShaNi(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                        uint32_t (*t)[5], int lanes, int32_t rounds) {
    Pbkdf2IteratePortable(istate, ostate, u, t, lanes, rounds);
}
bool ShaNiAvailable() {
    return false;
}
#endif

void CompressBlocks(uint32_t state[5], const uint8_t* blocks, size_t n) {
    static const bool ni = ShaNiAvailable();
    if (ni)
        CompressShaNi(state, blocks, n);
    else
        CompressPortable(state, blocks, n);
}

// SHA-NI with up to four lanes interleaved is the fastest kernel; the
// vector kernel (whose cost is the same for one to four lanes) serves
// processors with AVX-512 but without the SHA extensions.
void Pbkdf2IterateLanes(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                        uint32_t (*t)[5], int lanes, int32_t rounds) {
    static const bool ni = ShaNiAvailable(), avx512 = Avx512Available();
    while (lanes > 0) {
        const int n = lanes >= 4 ? 4 : lanes;
        if (ni)
            Pbkdf2IterateShaNi(istate, ostate, u, t, n, rounds);
        else if (avx512)
            Pbkdf2IterateAvx512(istate, ostate, u, t, n, rounds);
        else
            Pbkdf2IteratePortable(istate, ostate, u, t, n, rounds);
        u += n;
        t += n;
        lanes -= n;
    }
}

} // namespace sha1_detail

namespace {

uint64_t BitCount(const THashContext& c) {
    uint64_t v;
    std::memcpy(&v, c.MLen, 8);
    return v;
}

const TOID_Vec kSha1Oid = {1, 3, 14, 3, 2, 26, -1, -1, -1};

const THashDesc kSha1Desc = [] {
    THashDesc d{};
    d.HSig = HashDescSignature;
    d.HDSize = HashDescRecordSize;
    d.HDVersion = HashDescVersion;
    d.HBlockLen = 64;
    d.HDigestlen = 20;
    d.HInit = SHA1Start;
    d.HFinal = SHA1Finish;
    d.HUpdateXL = SHA1AddData;
    d.HAlgNum = SHA1HashId;
    d.HName.Length = 4;
    std::memcpy(d.HName.Chars, "SHA1", 4);
    d.HPtrOID = &kSha1Oid;
    d.HLenOID = 6;
    return d;
}();

} // namespace

const THashDesc& SHA1Desc() {
    return kSha1Desc;
}

void SHA1Start(THashContext& context) {
    std::memset(&context, 0, sizeof context);
    std::memcpy(context.Hash, sha1_detail::IV, sizeof sha1_detail::IV);
}

void SHA1AddData(THashContext& context, const void* data, int32_t length) {
    if (length <= 0)
        return;
    const uint64_t bits = BitCount(context) + 8 * static_cast<uint64_t>(length);
    std::memcpy(context.MLen, &bits, 8);
    const auto* p = static_cast<const uint8_t*>(data);
    size_t n = static_cast<size_t>(length);
    size_t idx = context.Index >= 0 && context.Index < 64 ? static_cast<size_t>(context.Index) : 0;
    if (idx > 0) {
        const size_t take = n < 64 - idx ? n : 64 - idx;
        std::memcpy(context.Buffer + idx, p, take);
        idx += take;
        p += take;
        n -= take;
        if (idx < 64) {
            context.Index = static_cast<int32_t>(idx);
            return;
        }
        sha1_detail::CompressBlocks(context.Hash, context.Buffer, 1);
        idx = 0;
    }
    if (n >= 64) {
        sha1_detail::CompressBlocks(context.Hash, p, n / 64);
        p += n / 64 * 64;
        n %= 64;
    }
    std::memcpy(context.Buffer, p, n);
    context.Index = static_cast<int32_t>(n);
}

void SHA1Finish(THashContext& context, THashDigest& digest) {
    size_t idx = context.Index >= 0 && context.Index < 64 ? static_cast<size_t>(context.Index) : 0;
    context.Buffer[idx++] = 0x80;
    if (idx > 56) {
        std::memset(context.Buffer + idx, 0, 64 - idx);
        sha1_detail::CompressBlocks(context.Hash, context.Buffer, 1);
        idx = 0;
    }
    std::memset(context.Buffer + idx, 0, 56 - idx);
    const uint64_t bits = BitCount(context);
    for (int i = 0; i < 8; ++i)
        context.Buffer[56 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    sha1_detail::CompressBlocks(context.Hash, context.Buffer, 1);
    digest.fill(0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(context.Hash[i] >> (24 - 8 * j));
    std::memset(&context, 0, sizeof context);
}

} // namespace za

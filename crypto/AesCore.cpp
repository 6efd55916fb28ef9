#include "crypto/AesCore.h"

#include "crypto/CpuFeatures.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define ZA_AES_X86 1
#endif

namespace za::aes_detail {

namespace {

constexpr uint8_t XTime(uint8_t x) {
    return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr uint8_t GMul(uint8_t a, uint8_t b) {
    uint8_t r = 0;
    while (b) {
        if (b & 1)
            r ^= a;
        a = XTime(a);
        b >>= 1;
    }
    return r;
}

struct TTables {
    std::array<uint8_t, 256> S{}, IS{};
    std::array<std::array<uint32_t, 256>, 4> Te{}, Td{};
};

constexpr uint32_t Rotl8(uint32_t x, int n) {
    return n ? (x << (8 * n)) | (x >> (32 - 8 * n)) : x;
}

// The S-box of FIPS-197: multiplicative inverse in GF(2^8) followed by the
// affine transformation; the round tables combine it with MixColumns.
constexpr TTables MakeTables() {
    TTables t;
    // Inverses through powers of the generator 3: inv(3^i) = 3^(255-i).
    std::array<uint8_t, 256> exp{}, log{};
    uint8_t g = 1;
    for (int i = 0; i < 255; ++i) {
        exp[i] = g;
        log[g] = static_cast<uint8_t>(i);
        g = GMul(g, 3);
    }
    for (int x = 0; x < 256; ++x) {
        const uint8_t inv = x ? exp[(255 - log[x]) % 255] : 0;
        uint8_t s = inv;
        for (int k = 1; k <= 4; ++k)
            s ^= static_cast<uint8_t>((inv << k) | (inv >> (8 - k)));
        s ^= 0x63;
        t.S[x] = s;
        t.IS[s] = static_cast<uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
        const uint8_t s = t.S[x], is = t.IS[x];
        const uint32_t te = uint32_t{GMul(s, 2)} | (uint32_t{s} << 8) | (uint32_t{s} << 16) |
                            (uint32_t{GMul(s, 3)} << 24);
        const uint32_t td = uint32_t{GMul(is, 14)} | (uint32_t{GMul(is, 9)} << 8) |
                            (uint32_t{GMul(is, 13)} << 16) | (uint32_t{GMul(is, 11)} << 24);
        for (int r = 0; r < 4; ++r) {
            t.Te[r][x] = Rotl8(te, r);
            t.Td[r][x] = Rotl8(td, r);
        }
    }
    return t;
}

constexpr TTables kT = MakeTables();

inline uint32_t Ld(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void St(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}
inline uint8_t B(uint32_t w, int i) {
    return static_cast<uint8_t>(w >> (8 * i));
}

void InvMixColumn(uint8_t c[4]) {
    const uint8_t a0 = c[0], a1 = c[1], a2 = c[2], a3 = c[3];
    c[0] = GMul(a0, 14) ^ GMul(a1, 11) ^ GMul(a2, 13) ^ GMul(a3, 9);
    c[1] = GMul(a0, 9) ^ GMul(a1, 14) ^ GMul(a2, 11) ^ GMul(a3, 13);
    c[2] = GMul(a0, 13) ^ GMul(a1, 9) ^ GMul(a2, 14) ^ GMul(a3, 11);
    c[3] = GMul(a0, 11) ^ GMul(a1, 13) ^ GMul(a2, 9) ^ GMul(a3, 14);
}

inline void IncrementCounter(uint8_t nonce[16]) {
    for (int i = 0; i < 8; ++i)
        if (++nonce[i] != 0)
            break;
}

} // namespace

void ExpandKey(const uint8_t* key, int rounds, uint8_t enc[RoundKeyBytes],
               uint8_t dec[RoundKeyBytes]) {
    const int nk = rounds - 6;
    const int words = 4 * (rounds + 1);
    std::memset(enc, 0, RoundKeyBytes);
    std::memcpy(enc, key, static_cast<size_t>(4 * nk));
    uint8_t rcon = 1;
    for (int i = nk; i < words; ++i) {
        uint8_t t[4];
        std::memcpy(t, enc + 4 * (i - 1), 4);
        if (i % nk == 0) {
            const uint8_t t0 = t[0];
            t[0] = static_cast<uint8_t>(kT.S[t[1]] ^ rcon);
            t[1] = kT.S[t[2]];
            t[2] = kT.S[t[3]];
            t[3] = kT.S[t0];
            rcon = XTime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            for (uint8_t& b : t)
                b = kT.S[b];
        }
        for (int k = 0; k < 4; ++k)
            enc[4 * i + k] = enc[4 * (i - nk) + k] ^ t[k];
    }
    std::memcpy(dec, enc, RoundKeyBytes);
    for (int r = 1; r < rounds; ++r)
        for (int c = 0; c < 4; ++c)
            InvMixColumn(dec + 16 * r + 4 * c);
}

void EncryptBlockPortable(const uint8_t* enc, int rounds, const uint8_t in[16], uint8_t out[16]) {
    uint32_t s0 = Ld(in) ^ Ld(enc), s1 = Ld(in + 4) ^ Ld(enc + 4), s2 = Ld(in + 8) ^ Ld(enc + 8),
             s3 = Ld(in + 12) ^ Ld(enc + 12);
    const auto& T0 = kT.Te[0];
    const auto& T1 = kT.Te[1];
    const auto& T2 = kT.Te[2];
    const auto& T3 = kT.Te[3];
    for (int r = 1; r < rounds; ++r) {
        const uint8_t* k = enc + 16 * r;
        const uint32_t t0 = T0[B(s0, 0)] ^ T1[B(s1, 1)] ^ T2[B(s2, 2)] ^ T3[B(s3, 3)] ^ Ld(k);
        const uint32_t t1 = T0[B(s1, 0)] ^ T1[B(s2, 1)] ^ T2[B(s3, 2)] ^ T3[B(s0, 3)] ^ Ld(k + 4);
        const uint32_t t2 = T0[B(s2, 0)] ^ T1[B(s3, 1)] ^ T2[B(s0, 2)] ^ T3[B(s1, 3)] ^ Ld(k + 8);
        const uint32_t t3 = T0[B(s3, 0)] ^ T1[B(s0, 1)] ^ T2[B(s1, 2)] ^ T3[B(s2, 3)] ^ Ld(k + 12);
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    const uint8_t* k = enc + 16 * rounds;
    const auto& S = kT.S;
    auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return uint32_t{S[B(a, 0)]} | (uint32_t{S[B(b, 1)]} << 8) | (uint32_t{S[B(c, 2)]} << 16) |
               (uint32_t{S[B(d, 3)]} << 24);
    };
    const uint32_t o0 = last(s0, s1, s2, s3) ^ Ld(k), o1 = last(s1, s2, s3, s0) ^ Ld(k + 4),
                   o2 = last(s2, s3, s0, s1) ^ Ld(k + 8), o3 = last(s3, s0, s1, s2) ^ Ld(k + 12);
    St(out, o0);
    St(out + 4, o1);
    St(out + 8, o2);
    St(out + 12, o3);
}

void DecryptBlockPortable(const uint8_t* dec, int rounds, const uint8_t in[16], uint8_t out[16]) {
    const uint8_t* k = dec + 16 * rounds;
    uint32_t s0 = Ld(in) ^ Ld(k), s1 = Ld(in + 4) ^ Ld(k + 4), s2 = Ld(in + 8) ^ Ld(k + 8),
             s3 = Ld(in + 12) ^ Ld(k + 12);
    const auto& T0 = kT.Td[0];
    const auto& T1 = kT.Td[1];
    const auto& T2 = kT.Td[2];
    const auto& T3 = kT.Td[3];
    for (int r = rounds - 1; r >= 1; --r) {
        k = dec + 16 * r;
        const uint32_t t0 = T0[B(s0, 0)] ^ T1[B(s3, 1)] ^ T2[B(s2, 2)] ^ T3[B(s1, 3)] ^ Ld(k);
        const uint32_t t1 = T0[B(s1, 0)] ^ T1[B(s0, 1)] ^ T2[B(s3, 2)] ^ T3[B(s2, 3)] ^ Ld(k + 4);
        const uint32_t t2 = T0[B(s2, 0)] ^ T1[B(s1, 1)] ^ T2[B(s0, 2)] ^ T3[B(s3, 3)] ^ Ld(k + 8);
        const uint32_t t3 = T0[B(s3, 0)] ^ T1[B(s2, 1)] ^ T2[B(s1, 2)] ^ T3[B(s0, 3)] ^ Ld(k + 12);
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    const auto& IS = kT.IS;
    auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return uint32_t{IS[B(a, 0)]} | (uint32_t{IS[B(b, 1)]} << 8) |
               (uint32_t{IS[B(c, 2)]} << 16) | (uint32_t{IS[B(d, 3)]} << 24);
    };
    const uint32_t o0 = last(s0, s3, s2, s1) ^ Ld(dec), o1 = last(s1, s0, s3, s2) ^ Ld(dec + 4),
                   o2 = last(s2, s1, s0, s3) ^ Ld(dec + 8),
                   o3 = last(s3, s2, s1, s0) ^ Ld(dec + 12);
    St(out, o0);
    St(out + 4, o1);
    St(out + 8, o2);
    St(out + 12, o3);
}

void CtrBlocksPortable(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in,
                       uint8_t* out, size_t nblocks, uint8_t lastKeystream[16]) {
    uint8_t ks[16];
    for (size_t b = 0; b < nblocks; ++b) {
        IncrementCounter(nonce);
        EncryptBlockPortable(enc, rounds, nonce, ks);
        for (int i = 0; i < 16; ++i)
            out[16 * b + i] = in[16 * b + i] ^ ks[i];
    }
    if (nblocks)
        std::memcpy(lastKeystream, ks, 16);
}

#if ZA_AES_X86

#define ZA_TARGET_AESNI __attribute__((target("aes,sse4.1")))
#define ZA_TARGET_VAES __attribute__((target("vaes,avx2,aes,sse4.1")))

namespace {
ZA_TARGET_AESNI inline __m128i LoadK(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
} // namespace

ZA_TARGET_AESNI void EncryptBlockNi(const uint8_t* enc, int rounds, const uint8_t in[16],
                                    uint8_t out[16]) {
    __m128i s = _mm_xor_si128(LoadK(in), LoadK(enc));
    for (int r = 1; r < rounds; ++r)
        s = _mm_aesenc_si128(s, LoadK(enc + 16 * r));
    s = _mm_aesenclast_si128(s, LoadK(enc + 16 * rounds));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), s);
}

ZA_TARGET_AESNI void DecryptBlockNi(const uint8_t* dec, int rounds, const uint8_t in[16],
                                    uint8_t out[16]) {
    __m128i s = _mm_xor_si128(LoadK(in), LoadK(dec + 16 * rounds));
    for (int r = rounds - 1; r >= 1; --r)
        s = _mm_aesdec_si128(s, LoadK(dec + 16 * r));
    s = _mm_aesdeclast_si128(s, LoadK(dec));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), s);
}

// Eight blocks in flight hide the latency of the round instruction.
ZA_TARGET_AESNI void CtrBlocksNi(const uint8_t* enc, int rounds, uint8_t nonce[16],
                                 const uint8_t* in, uint8_t* out, size_t nblocks,
                                 uint8_t lastKeystream[16]) {
    if (nblocks == 0)
        return;
    __m128i rk[15];
    for (int r = 0; r <= rounds; ++r)
        rk[r] = LoadK(enc + 16 * r);
    __m128i ctr = LoadK(nonce);
    const __m128i one = _mm_set_epi64x(0, 1);
    __m128i last = _mm_setzero_si128();
    size_t b = 0;
    for (; b + 8 <= nblocks; b += 8) {
        __m128i x[8];
        for (int i = 0; i < 8; ++i) {
            ctr = _mm_add_epi64(ctr, one);
            x[i] = _mm_xor_si128(ctr, rk[0]);
        }
        for (int r = 1; r < rounds; ++r)
            for (int i = 0; i < 8; ++i)
                x[i] = _mm_aesenc_si128(x[i], rk[r]);
        for (int i = 0; i < 8; ++i) {
            x[i] = _mm_aesenclast_si128(x[i], rk[rounds]);
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * (b + i)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * (b + i)),
                             _mm_xor_si128(d, x[i]));
        }
        last = x[7];
    }
    for (; b < nblocks; ++b) {
        ctr = _mm_add_epi64(ctr, one);
        __m128i x = _mm_xor_si128(ctr, rk[0]);
        for (int r = 1; r < rounds; ++r)
            x = _mm_aesenc_si128(x, rk[r]);
        x = _mm_aesenclast_si128(x, rk[rounds]);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * b), _mm_xor_si128(d, x));
        last = x;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(nonce), ctr);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lastKeystream), last);
}

// Two blocks per 256-bit register, eight registers: sixteen blocks in flight.
ZA_TARGET_VAES void CtrBlocksVaes(const uint8_t* enc, int rounds, uint8_t nonce[16],
                                  const uint8_t* in, uint8_t* out, size_t nblocks,
                                  uint8_t lastKeystream[16]) {
    size_t b = 0;
    if (nblocks >= 16) {
        __m256i rk[15];
        for (int r = 0; r <= rounds; ++r)
            rk[r] = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(enc + 16 * r)));
        const __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(nonce));
        // Lanes hold counter+1 and counter+2; each step adds 2 to both.
        __m256i ctr = _mm256_add_epi64(_mm256_set_m128i(c0, c0), _mm256_set_epi64x(0, 2, 0, 1));
        const __m256i two = _mm256_set_epi64x(0, 2, 0, 2);
        __m256i lastPair = _mm256_setzero_si256();
        for (; b + 16 <= nblocks; b += 16) {
            __m256i x[8];
            for (int i = 0; i < 8; ++i) {
                x[i] = _mm256_xor_si256(ctr, rk[0]);
                ctr = _mm256_add_epi64(ctr, two);
            }
            for (int r = 1; r < rounds; ++r)
                for (int i = 0; i < 8; ++i)
                    x[i] = _mm256_aesenc_epi128(x[i], rk[r]);
            for (int i = 0; i < 8; ++i) {
                x[i] = _mm256_aesenclast_epi128(x[i], rk[rounds]);
                const __m256i d =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 16 * (b + 2 * i)));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * (b + 2 * i)),
                                    _mm256_xor_si256(d, x[i]));
            }
            lastPair = x[7];
        }
        // The low lane of ctr now holds the next counter + 1.
        const __m128i next = _mm_sub_epi64(_mm256_castsi256_si128(ctr), _mm_set_epi64x(0, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(nonce), next);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lastKeystream),
                         _mm256_extracti128_si256(lastPair, 1));
    }
    if (b < nblocks)
        CtrBlocksNi(enc, rounds, nonce, in + 16 * b, out + 16 * b, nblocks - b, lastKeystream);
}

bool AesNiAvailable() {
    const auto& f = CpuFeatures();
    return f.AES && f.SSE41;
}
bool VaesAvailable() {
    return AesNiAvailable() && CpuFeatures().VAES;
}

#else

void EncryptBlockNi(const uint8_t* enc, int rounds, const uint8_t in[16], uint8_t out[16]) {
    EncryptBlockPortable(enc, rounds, in, out);
}
void DecryptBlockNi(const uint8_t* dec, int rounds, const uint8_t in[16], uint8_t out[16]) {
    DecryptBlockPortable(dec, rounds, in, out);
}
void CtrBlocksNi(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in, uint8_t* out,
                 size_t nblocks, uint8_t lastKeystream[16]) {
    CtrBlocksPortable(enc, rounds, nonce, in, out, nblocks, lastKeystream);
}
void CtrBlocksVaes(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in,
                   uint8_t* out, size_t nblocks, uint8_t lastKeystream[16]) {
    CtrBlocksPortable(enc, rounds, nonce, in, out, nblocks, lastKeystream);
}
bool AesNiAvailable() {
    return false;
}
bool VaesAvailable() {
    return false;
}

#endif

void EncryptBlock(const uint8_t* enc, int rounds, const uint8_t in[16], uint8_t out[16]) {
    static const bool ni = AesNiAvailable();
    if (ni)
        EncryptBlockNi(enc, rounds, in, out);
    else
        EncryptBlockPortable(enc, rounds, in, out);
}

void DecryptBlock(const uint8_t* dec, int rounds, const uint8_t in[16], uint8_t out[16]) {
    static const bool ni = AesNiAvailable();
    if (ni)
        DecryptBlockNi(dec, rounds, in, out);
    else
        DecryptBlockPortable(dec, rounds, in, out);
}

void CtrBlocks(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in, uint8_t* out,
               size_t nblocks, uint8_t lastKeystream[16]) {
    using Fn = void (*)(const uint8_t*, int, uint8_t*, const uint8_t*, uint8_t*, size_t, uint8_t*);
    static const Fn fn = VaesAvailable()    ? CtrBlocksVaes
                         : AesNiAvailable() ? CtrBlocksNi
                                            : CtrBlocksPortable;
    fn(enc, rounds, nonce, in, out, nblocks, lastKeystream);
}

} // namespace za::aes_detail

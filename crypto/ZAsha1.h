// SHA-1 (FIPS 180) with its descriptor. Full blocks go through the SHA
// extensions (SHA-NI) when the processor has them, else portable code. The
// PBKDF2 inner loop has its own kernels: SHA-NI with up to four output
// blocks interleaved, an AVX-512VL vector kernel for processors without
// SHA-NI, and the portable one.
#pragma once

#include "crypto/ZAHash.h"

#include <cstddef>
#include <cstdint>

namespace za {

void SHA1Start(THashContext& context);
void SHA1AddData(THashContext& context, const void* data, int32_t length);
void SHA1Finish(THashContext& context, THashDigest& digest);

// The SHA-1 descriptor (registered under SHA1HashId).
const THashDesc& SHA1Desc();

namespace sha1_detail {
constexpr uint32_t IV[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

// Compresses n 64-byte blocks into state (picks the fastest kernel).
void CompressBlocks(uint32_t state[5], const uint8_t* blocks, size_t n);
void CompressPortable(uint32_t state[5], const uint8_t* blocks, size_t n);
void CompressShaNi(uint32_t state[5], const uint8_t* blocks, size_t n); // needs ShaNiAvailable
bool ShaNiAvailable();

// PBKDF2-HMAC-SHA1 inner loop for up to four independent output blocks.
// istate/ostate: the states after the HMAC key block xor ipad / opad.
// u[l]: U_1 of lane l on entry; t[l]: the running xor (U_1 on entry).
// Runs `rounds` further iterations (U_j = HMAC(U_{j-1}), t ^= U_j).
void Pbkdf2IterateLanes(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                        uint32_t (*t)[5], int lanes, int32_t rounds);
void Pbkdf2IteratePortable(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                           uint32_t (*t)[5], int lanes, int32_t rounds);
void Pbkdf2IterateShaNi(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                        uint32_t (*t)[5], int lanes, int32_t rounds); // needs ShaNiAvailable
void Pbkdf2IterateAvx512(const uint32_t istate[5], const uint32_t ostate[5], uint32_t (*u)[5],
                         uint32_t (*t)[5], int lanes, int32_t rounds); // needs Avx512Available
bool Avx512Available();
} // namespace sha1_detail

} // namespace za

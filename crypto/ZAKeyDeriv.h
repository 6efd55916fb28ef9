// PBKDF2 (RFC 2898, PKCS #5 v2.0) with HMAC over a registered hash.
#pragma once

#include "crypto/ZAHash.h"

#include <cstddef>
#include <cstdint>

namespace za {

// Result codes of DerivePBKDF2.
constexpr int32_t kdf_err_nil_pointer = 1; // no descriptor
constexpr int32_t kdf_err_digestlen = 2;   // the descriptor's HDigestlen is 0

// Fills keyLength bytes of key. An iteration count of 0 or less gives zero
// bytes. Returns 0 when done, otherwise one of the codes above.
int32_t DerivePBKDF2(PHashDesc desc, const void* password, uint16_t passwordLength,
                     const void* salt, uint16_t saltLength, int32_t iterations, void* key,
                     uint16_t keyLength);

namespace kdf_detail {
// The derivation without 16-bit limits. The HMAC key pads are hashed once
// per call, not once per iteration, and for SHA-1 the output blocks run
// side by side through the multi-lane kernel.
int32_t DerivePBKDF2Sized(PHashDesc desc, const void* password, size_t passwordLength,
                          const void* salt, size_t saltLength, int32_t iterations, void* key,
                          size_t keyLength);
// Straight RFC 2898 loop (HMAC started afresh in every iteration), the
// reference for tests.
int32_t DerivePBKDF2Reference(PHashDesc desc, const void* password, uint16_t passwordLength,
                              const void* salt, uint16_t saltLength, int32_t iterations, void* key,
                              uint16_t keyLength);
} // namespace kdf_detail

} // namespace za

// PBKDF2-HMAC-SHA1 entry point.
#pragma once

#include <cstdint>

namespace za {

// DerivePBKDF2 with the SHA-1 descriptor of the registry (identifier 3).
// A missing SHA-1 descriptor is an internal error (za::Exception,
// "Runtime error 254"); with the start-up registration it does not occur.
void DerivePBKDF2SHA1(const void* password, uint16_t passwordLength, const void* salt,
                      uint16_t saltLength, int32_t iterations, void* key, uint16_t keyLength);

} // namespace za

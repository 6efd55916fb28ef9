// TPBKDF2: a password, a salt and an iteration count that hand out
// PBKDF2-HMAC-SHA1 key bytes.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

namespace za {

// Size of the working buffer through which a password reaches the
// derivation; longer passwords are refused.
constexpr size_t PBKDF2PasswordBufferSize = 32767;

// A password longer than PBKDF2PasswordBufferSize bytes.
class EPasswordTooLong : public Exception {
public:
    explicit EPasswordTooLong(size_t length);
};

// Throws EPasswordTooLong when the password does not fit the working buffer.
void CheckPasswordLength(const std::string& password);

class TPBKDF2 {
public:
    // Random salt of saltSize bytes (each 0..254) from the pseudo-random
    // generator seeded from the clock.
    TPBKDF2(const std::string& Password, int32_t SaltSize, int32_t Iterations);
    // A copy of saltLength bytes of salt.
    TPBKDF2(const std::string& Password, const uint8_t* Salt, int32_t SaltLength,
            int32_t Iterations);
    ~TPBKDF2();
    TPBKDF2(const TPBKDF2&) = delete;
    TPBKDF2& operator=(const TPBKDF2&) = delete;

    // Replaces Key by Cb bytes of PBKDF2-HMAC-SHA1 output (always from the
    // start of the output). Raises EPasswordTooLong for an over-long password.
    void GetKeyBytes(int32_t Cb, std::vector<uint8_t>& Key) const;
    std::vector<uint8_t> GetKeyBytes(int32_t Cb) const;

    void Initialize() {}
    void Reset() {}
    int32_t IterationCount() const { return FIterationNumber; }
    // A new copy of the salt (SaltLength() bytes).
    std::vector<uint8_t> GetSaltValue() const { return FSaltValue; }
    int32_t SaltLength() const { return FSaltLength; }
    const std::string& Password() const { return FPassword; }

private:
    int32_t FIterationNumber;
    std::vector<uint8_t> FSaltValue;
    int32_t FSaltLength;
    std::string FPassword;
};

namespace pbkdf2_detail {
// Fills n bytes with salt bytes (0..254) from the process-wide generator.
void RandomSaltBytes(uint8_t* out, size_t n);
} // namespace pbkdf2_detail

} // namespace za

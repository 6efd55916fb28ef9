#include "crypto/ZAPBKDF_2.h"

#include "crypto/SecureZero.h"
#include "crypto/ZAKeyDeriv.h"
#include "crypto/ZAsha1.h"

#include <chrono>
#include <mutex>
#include <random>

namespace za {

EPasswordTooLong::EPasswordTooLong(size_t length)
    : Exception(u"Password is too long for key derivation: " +
                [](size_t n) {
                    std::u16string s;
                    do {
                        s.insert(s.begin(), static_cast<char16_t>(u'0' + n % 10));
                        n /= 10;
                    } while (n);
                    return s;
                }(length) +
                u" bytes, at most 32767 are allowed.") {}

void CheckPasswordLength(const std::string& password) {
    if (password.size() > PBKDF2PasswordBufferSize)
        throw EPasswordTooLong(password.size());
}

namespace pbkdf2_detail {
// One generator for the process, seeded from the clock when first used, so
// that salts made in quick succession still differ.
void RandomSaltBytes(uint8_t* out, size_t n) {
    static std::mutex lock;
    static std::mt19937 gen(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> byte(0, 254);
    std::lock_guard<std::mutex> guard(lock);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(byte(gen));
}
} // namespace pbkdf2_detail

TPBKDF2::TPBKDF2(const std::string& Password, int32_t SaltSize, int32_t Iterations)
    : FIterationNumber(Iterations), FSaltLength(SaltSize > 0 ? SaltSize : 0), FPassword(Password) {
    FSaltValue.resize(static_cast<size_t>(FSaltLength));
    pbkdf2_detail::RandomSaltBytes(FSaltValue.data(), FSaltValue.size());
}

TPBKDF2::TPBKDF2(const std::string& Password, const uint8_t* Salt, int32_t SaltLength,
                 int32_t Iterations)
    : FIterationNumber(Iterations), FSaltLength(SaltLength > 0 && Salt ? SaltLength : 0),
      FPassword(Password) {
    FSaltValue.assign(Salt, Salt + FSaltLength);
}

TPBKDF2::~TPBKDF2() {
    SecureZero(FPassword.data(), FPassword.size());
    SecureZero(FSaltValue.data(), FSaltValue.size());
}

void TPBKDF2::GetKeyBytes(int32_t Cb, std::vector<uint8_t>& Key) const {
    CheckPasswordLength(FPassword);
    std::vector<uint8_t> key(Cb > 0 ? static_cast<size_t>(Cb) : 0);
    // Salt and output are used at their full lengths (no 16-bit wrap): a
    // wrapped salt would derive a different key, a wrapped count would
    // leave bytes of the buffer unfilled.
    if (kdf_detail::DerivePBKDF2Sized(FindHashDescById(SHA1HashId), FPassword.data(),
                                      FPassword.size(), FSaltValue.data(), FSaltValue.size(),
                                      FIterationNumber, key.data(), key.size()) != 0)
        throw Exception(u"Runtime error 254");
    if (!Key.empty())
        SecureZero(Key.data(), Key.size());
    Key = std::move(key);
}

std::vector<uint8_t> TPBKDF2::GetKeyBytes(int32_t Cb) const {
    std::vector<uint8_t> key;
    GetKeyBytes(Cb, key);
    return key;
}

} // namespace za

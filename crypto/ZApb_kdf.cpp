#include "crypto/ZApb_kdf.h"

#include "crypto/ZAKeyDeriv.h"

#include "platform/Exception.h"

namespace za {

void DerivePBKDF2SHA1(const void* password, uint16_t passwordLength, const void* salt,
                      uint16_t saltLength, int32_t iterations, void* key, uint16_t keyLength) {
    if (DerivePBKDF2(FindHashDescById(SHA1HashId), password, passwordLength, salt, saltLength,
                     iterations, key, keyLength) != 0)
        throw Exception(u"Runtime error 254");
}

} // namespace za

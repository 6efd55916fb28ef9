// HMAC (RFC 2104) over any registered hash descriptor.
//
//     THMAC_Context ctx;
//     HMACStart(ctx, FindHashDescByName("SHA1"), key, keyLength);
//     HMACAddData(ctx, data, n);      // any number of times
//     THashDigest mac;
//     HMACFinish(ctx, mac);           // mac[0..HDigestlen) ; start again before reuse
#pragma once

#include "crypto/ZAHash.h"

#include <cstdint>

namespace za {

struct THMAC_Context {
    THashContext hashctx; // the running inner (later outer) hash
    THashBuffer hmacbuf;  // the key block xor ipad (xor opad once finishing)
    PHashDesc phashd;     // descriptor in use, or nullptr (then nothing happens)
};

// Zeros the context; with a descriptor, keys it (a key longer than the block
// is replaced by its digest) and starts the inner hash.
void HMACStart(THMAC_Context& ctx, PHashDesc desc, const void* key, uint16_t keyLength);
void HMACAddData(THMAC_Context& ctx, const void* data, int32_t length);
// Produces the MAC in the first HDigestlen bytes of mac.
void HMACFinish(THMAC_Context& ctx, THashDigest& mac);

} // namespace za

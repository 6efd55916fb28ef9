#include "crypto/ZAKeyDeriv.h"

#include "crypto/SecureZero.h"
#include "crypto/ZAhmac.h"
#include "crypto/ZAsha1.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace za {

namespace {

void IncBlockIndex(uint8_t index[4]) {
    for (int i = 3; i >= 0; --i)
        if (++index[i] != 0)
            break;
}

bool Usable(PHashDesc d) {
    return d->HBlockLen > 0 && d->HBlockLen <= sizeof(THashBuffer) &&
           d->HDigestlen <= sizeof(THashDigest);
}

bool IsSha1(PHashDesc d) {
    return d->HInit == SHA1Start && d->HFinal == SHA1Finish && d->HUpdateXL == SHA1AddData &&
           d->HBlockLen == 64 && d->HDigestlen == 20;
}

// Feeds a buffer of any size through the 32-bit length of the descriptor.
void Feed(PHashDesc d, THashContext& c, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const size_t take = std::min<size_t>(n, INT32_MAX & ~size_t{63});
        d->HUpdateXL(c, p, static_cast<int32_t>(take));
        p += take;
        n -= take;
    }
}

// The HMAC key block: the password, or its digest when it is longer than
// the block, zero-padded to the block length.
void KeyBlock(PHashDesc d, const void* password, size_t passwordLength, uint8_t block[128]) {
    std::memset(block, 0, 128);
    if (passwordLength > d->HBlockLen) {
        THashContext c;
        THashDigest dig;
        d->HInit(c);
        Feed(d, c, password, passwordLength);
        d->HFinal(c, dig);
        std::memcpy(block, dig.data(), d->HDigestlen);
        SecureZero(dig.data(), dig.size());
    } else if (passwordLength > 0) {
        std::memcpy(block, password, passwordLength);
    }
}

void DeriveGeneric(PHashDesc d, const uint8_t kblock[128], const void* salt, size_t saltLength,
                   int32_t iterations, uint8_t* out, size_t keyLength) {
    const size_t b = d->HBlockLen, h = d->HDigestlen;
    uint8_t pad[128];
    THashContext ictx, octx, c;
    for (size_t i = 0; i < b; ++i)
        pad[i] = kblock[i] ^ 0x36;
    d->HInit(ictx);
    d->HUpdateXL(ictx, pad, static_cast<int32_t>(b));
    for (size_t i = 0; i < b; ++i)
        pad[i] = kblock[i] ^ 0x5C;
    d->HInit(octx);
    d->HUpdateXL(octx, pad, static_cast<int32_t>(b));
    uint8_t index[4] = {0, 0, 0, 0};
    THashDigest u, t;
    for (size_t done = 0; done < keyLength; done += h) {
        IncBlockIndex(index);
        c = ictx;
        Feed(d, c, salt, saltLength);
        d->HUpdateXL(c, index, 4);
        d->HFinal(c, u);
        c = octx;
        d->HUpdateXL(c, u.data(), static_cast<int32_t>(h));
        d->HFinal(c, u);
        t = u;
        for (int32_t j = 2; j <= iterations; ++j) {
            c = ictx;
            d->HUpdateXL(c, u.data(), static_cast<int32_t>(h));
            d->HFinal(c, u);
            c = octx;
            d->HUpdateXL(c, u.data(), static_cast<int32_t>(h));
            d->HFinal(c, u);
            for (size_t i = 0; i < h; ++i)
                t[i] ^= u[i];
        }
        std::memcpy(out + done, t.data(), std::min(h, keyLength - done));
    }
    SecureZero(pad, sizeof pad);
    SecureZero(&ictx, sizeof ictx);
    SecureZero(&octx, sizeof octx);
    SecureZero(&c, sizeof c);
    SecureZero(u.data(), u.size());
    SecureZero(t.data(), t.size());
}

// SHA-1: the first iteration of every block goes through the plain hash
// (it covers the salt); all later ones run in the multi-lane kernel, four
// output blocks at a time.
void DeriveSha1(const uint8_t kblock[128], const void* salt, size_t saltLength, int32_t iterations,
                uint8_t* out, size_t keyLength) {
    uint8_t pad[64];
    uint32_t istate[5], ostate[5];
    std::memcpy(istate, sha1_detail::IV, sizeof istate);
    std::memcpy(ostate, sha1_detail::IV, sizeof ostate);
    for (int i = 0; i < 64; ++i)
        pad[i] = kblock[i] ^ 0x36;
    sha1_detail::CompressBlocks(istate, pad, 1);
    for (int i = 0; i < 64; ++i)
        pad[i] = kblock[i] ^ 0x5C;
    sha1_detail::CompressBlocks(ostate, pad, 1);
    SecureZero(pad, sizeof pad);

    auto startFrom = [](THashContext& c, const uint32_t s[5]) {
        std::memset(&c, 0, sizeof c);
        std::memcpy(c.Hash, s, 20);
        const uint64_t bits = 512;
        std::memcpy(c.MLen, &bits, 8);
    };
    const size_t blocks = (keyLength + 19) / 20;
    uint8_t index[4] = {0, 0, 0, 0};
    for (size_t first = 0; first < blocks; first += 4) {
        const int lanes = static_cast<int>(std::min<size_t>(4, blocks - first));
        uint32_t u[4][5], t[4][5];
        for (int l = 0; l < lanes; ++l) {
            IncBlockIndex(index);
            THashContext c;
            THashDigest dig;
            startFrom(c, istate);
            Feed(&SHA1Desc(), c, salt, saltLength);
            SHA1AddData(c, index, 4);
            SHA1Finish(c, dig);
            startFrom(c, ostate);
            SHA1AddData(c, dig.data(), 20);
            SHA1Finish(c, dig);
            for (int i = 0; i < 5; ++i)
                u[l][i] = t[l][i] = (uint32_t{dig[4 * i]} << 24) |
                                    (uint32_t{dig[4 * i + 1]} << 16) |
                                    (uint32_t{dig[4 * i + 2]} << 8) | dig[4 * i + 3];
            SecureZero(dig.data(), dig.size());
        }
        sha1_detail::Pbkdf2IterateLanes(istate, ostate, u, t, lanes, iterations - 1);
        for (int l = 0; l < lanes; ++l) {
            const size_t at = (first + static_cast<size_t>(l)) * 20;
            uint8_t bytes[20];
            for (int i = 0; i < 5; ++i)
                for (int j = 0; j < 4; ++j)
                    bytes[4 * i + j] = static_cast<uint8_t>(t[l][i] >> (24 - 8 * j));
            std::memcpy(out + at, bytes, std::min<size_t>(20, keyLength - at));
            SecureZero(bytes, sizeof bytes);
        }
        SecureZero(u, sizeof u);
        SecureZero(t, sizeof t);
    }
    SecureZero(istate, sizeof istate);
    SecureZero(ostate, sizeof ostate);
}

} // namespace

namespace kdf_detail {

int32_t DerivePBKDF2Sized(PHashDesc desc, const void* password, size_t passwordLength,
                          const void* salt, size_t saltLength, int32_t iterations, void* key,
                          size_t keyLength) {
    if (!desc)
        return kdf_err_nil_pointer;
    if (desc->HDigestlen == 0)
        return kdf_err_digestlen;
    auto* out = static_cast<uint8_t*>(key);
    if (keyLength == 0)
        return 0;
    if (iterations <= 0 || !Usable(desc)) {
        std::memset(out, 0, keyLength);
        return 0;
    }
    uint8_t kblock[128];
    KeyBlock(desc, password, passwordLength, kblock);
    if (IsSha1(desc))
        DeriveSha1(kblock, salt, saltLength, iterations, out, keyLength);
    else
        DeriveGeneric(desc, kblock, salt, saltLength, iterations, out, keyLength);
    SecureZero(kblock, sizeof kblock);
    return 0;
}

int32_t DerivePBKDF2Reference(PHashDesc desc, const void* password, uint16_t passwordLength,
                              const void* salt, uint16_t saltLength, int32_t iterations, void* key,
                              uint16_t keyLength) {
    if (!desc)
        return kdf_err_nil_pointer;
    const size_t h = desc->HDigestlen;
    if (h == 0)
        return kdf_err_digestlen;
    auto* out = static_cast<uint8_t*>(key);
    uint8_t index[4] = {0, 0, 0, 0};
    THMAC_Context ctx;
    THashDigest u{}, t{};
    for (size_t done = 0; done < keyLength; done += h) {
        IncBlockIndex(index);
        t.fill(0);
        for (int32_t j = 1; j <= iterations; ++j) {
            HMACStart(ctx, desc, password, passwordLength);
            if (j == 1) {
                HMACAddData(ctx, salt, saltLength);
                HMACAddData(ctx, index, 4);
            } else {
                HMACAddData(ctx, u.data(), static_cast<int32_t>(h));
            }
            HMACFinish(ctx, u);
            for (size_t i = 0; i < h; ++i)
                t[i] ^= u[i];
        }
        std::memcpy(out + done, t.data(), std::min<size_t>(h, keyLength - done));
    }
    return 0;
}

} // namespace kdf_detail

int32_t DerivePBKDF2(PHashDesc desc, const void* password, uint16_t passwordLength,
                     const void* salt, uint16_t saltLength, int32_t iterations, void* key,
                     uint16_t keyLength) {
    return kdf_detail::DerivePBKDF2Sized(desc, password, passwordLength, salt, saltLength,
                                         iterations, key, keyLength);
}

} // namespace za

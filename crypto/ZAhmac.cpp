#include "crypto/ZAhmac.h"

#include <cstring>

namespace za {

namespace {
bool Usable(PHashDesc d) {
    return d && d->HBlockLen > 0 && d->HBlockLen <= sizeof(THashBuffer) &&
           d->HDigestlen <= sizeof(THashDigest);
}
} // namespace

void HMACStart(THMAC_Context& ctx, PHashDesc desc, const void* key, uint16_t keyLength) {
    std::memset(&ctx, 0, sizeof ctx);
    if (!Usable(desc))
        return;
    ctx.phashd = desc;
    const uint16_t b = desc->HBlockLen;
    if (keyLength > b) {
        THashDigest d;
        HashOfBuffer(desc, d, key, keyLength);
        std::memcpy(ctx.hmacbuf.data(), d.data(), desc->HDigestlen);
    } else if (keyLength > 0) {
        std::memcpy(ctx.hmacbuf.data(), key, keyLength);
    }
    for (uint16_t i = 0; i < b; ++i)
        ctx.hmacbuf[i] ^= 0x36;
    desc->HInit(ctx.hashctx);
    desc->HUpdateXL(ctx.hashctx, ctx.hmacbuf.data(), b);
}

void HMACAddData(THMAC_Context& ctx, const void* data, int32_t length) {
    if (!ctx.phashd)
        return;
    ctx.phashd->HUpdateXL(ctx.hashctx, data, length);
}

void HMACFinish(THMAC_Context& ctx, THashDigest& mac) {
    PHashDesc d = ctx.phashd;
    if (!d)
        return;
    d->HFinal(ctx.hashctx, mac);
    const uint16_t b = d->HBlockLen;
    for (uint16_t i = 0; i < b; ++i)
        ctx.hmacbuf[i] ^= 0x6A; // 0x36 ^ 0x6A = 0x5C
    d->HInit(ctx.hashctx);
    d->HUpdateXL(ctx.hashctx, ctx.hmacbuf.data(), b);
    d->HUpdateXL(ctx.hashctx, mac.data(), d->HDigestlen);
    d->HFinal(ctx.hashctx, mac);
}

} // namespace za

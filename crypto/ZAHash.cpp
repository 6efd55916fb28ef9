#include "crypto/ZAHash.h"

#include "crypto/ZAsha1.h"

#include <string>

namespace za {

namespace {

struct TRegistry {
    PHashDesc Slots[MaxHashId + 1] = {};
};

bool Acceptable(int32_t id, PHashDesc desc) {
    return desc != nullptr && id >= 0 && id <= MaxHashId &&
           desc->HAlgNum == static_cast<uint32_t>(id) && desc->HSig == HashDescSignature &&
           desc->HDVersion == HashDescVersion && desc->HDSize == HashDescRecordSize;
}

// The registry starts empty and SHA-1 enters itself, the first time any
// routine of the registry is used.
TRegistry& Registry() {
    static TRegistry registry = [] {
        TRegistry r;
        const THashDesc& sha1 = SHA1Desc();
        if (Acceptable(SHA1HashId, &sha1))
            r.Slots[SHA1HashId] = &sha1;
        return r;
    }();
    return registry;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

void RegisterHashDesc(int32_t id, PHashDesc desc) {
    TRegistry& r = Registry();
    if (Acceptable(id, desc))
        r.Slots[id] = desc;
}

PHashDesc FindHashDescById(int32_t id) {
    if (id < 0 || id > MaxHashId)
        return nullptr;
    PHashDesc d = Registry().Slots[id];
    if (d && d->HSig == HashDescSignature && d->HAlgNum == static_cast<uint32_t>(id))
        return d;
    return nullptr;
}

PHashDesc FindHashDescByName(std::string_view name) {
    std::string asked(name.substr(0, 19));
    for (char& c : asked)
        c = Upper(c);
    const TRegistry& r = Registry();
    for (int32_t id = 0; id <= MaxHashId; ++id) {
        PHashDesc d = r.Slots[id];
        if (!d || d->HSig != HashDescSignature || d->HAlgNum != static_cast<uint32_t>(id))
            continue;
        std::string own(d->HName.View());
        for (char& c : own)
            c = Upper(c);
        if (own == asked)
            return d;
    }
    return nullptr;
}

void HashOfBuffer(PHashDesc desc, THashDigest& digest, const void* data, int32_t length) {
    if (!desc || desc->HSig != HashDescSignature)
        return;
    THashContext ctx;
    desc->HInit(ctx);
    desc->HUpdateXL(ctx, data, length);
    desc->HFinal(ctx, digest);
}

} // namespace za

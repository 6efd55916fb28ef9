#include "crypto/ZipCrypt.h"

#include "platform/Stream.h"

#include <array>
#include <cstring>

namespace za {

void ZipCryptInitKeys(const std::string& password, TZipCryptKeys& keys) {
    keys = TZipCryptKeys{};
    for (const char ch : password)
        ZipCryptUpdateKeys(keys, static_cast<uint8_t>(ch));
}

void ZipCryptDecodeHeader(const std::string& password, TZipCryptKeys& keys,
                          uint8_t header[ZipCryptHeaderSize]) {
    ZipCryptInitKeys(password, keys);
    ZipCryptDecodeBuffer(header, ZipCryptHeaderSize, keys);
}

bool ZipCryptCheckHeaderBlock(const uint8_t header[ZipCryptHeaderSize], const std::string& password,
                              TZipCryptKeys& keys, uint32_t crc32, uint16_t lastModTime,
                              uint16_t genPurposeFlag) {
    uint8_t h[ZipCryptHeaderSize];
    std::memcpy(h, header, ZipCryptHeaderSize);
    ZipCryptDecodeHeader(password, keys, h);
    const uint8_t check = (genPurposeFlag & 0x0008) ? static_cast<uint8_t>(lastModTime >> 8)
                                                    : static_cast<uint8_t>(crc32 >> 24);
    return h[ZipCryptHeaderSize - 1] == check;
}

bool ZipCryptCheckHeader(TStream& stream, const std::string& password, TZipCryptKeys& keys,
                         uint32_t crc32, uint16_t lastModTime, uint16_t genPurposeFlag) {
    uint8_t h[ZipCryptHeaderSize];
    stream.ReadBuffer(h, ZipCryptHeaderSize);
    return ZipCryptCheckHeaderBlock(h, password, keys, crc32, lastModTime, genPurposeFlag);
}

namespace {
// Low 16 bits of each CRC table entry with bit 1 set: the operand of the
// keystream product comes straight out of one load and one xor.
constexpr std::array<uint16_t, 256> MakeKeyTable() {
    std::array<uint16_t, 256> t{};
    for (size_t i = 0; i < 256; ++i)
        t[i] = static_cast<uint16_t>((CrcTable[i] & 0xFFFF) | 2);
    return t;
}
constexpr std::array<uint16_t, 256> kKeyTable = MakeKeyTable();

constexpr std::array<uint8_t, 256> MakeLowByteTable() {
    std::array<uint8_t, 256> t{};
    for (size_t i = 0; i < 256; ++i)
        t[i] = static_cast<uint8_t>(CrcTable[i]);
    return t;
}
constexpr std::array<uint8_t, 256> kLowByteTable = MakeLowByteTable();

// An empty barrier: the value is computed where it stands and is not
// re-associated into a later expression.
inline void OffChain(uint32_t& v) {
#if defined(__GNUC__)
    __asm__("" : "+r"(v));
#else
    (void)v;
#endif
}
} // namespace

// The decoder is one long dependency chain per byte (each plaintext byte
// feeds the next key update), so the loop keeps that chain short and moves
// everything else beside it:
//  - the keys stay in registers;
//  - (k1 + b) * M + 1 is computed as (k1 * M + 1) + b * M, the first
//    product off the chain;
//  - only the low byte of the new Key0 is on the chain (a byte table);
//  - the keystream operands t = (Key2 | 2) & 0xFFFF and t ^ 1 are renewed
//    straight from a table of (entry | 2) and the already known
//    (Key2 >> 8) & 0xFFFD, instead of being masked out of the new Key2;
//  - values known early are pinned with OffChain so that the compiler does
//    not re-associate them into the chain.
// The result equals the byte-serial reference in every case.
void ZipCryptDecodeBuffer(void* buffer, size_t count, TZipCryptKeys& keys) {
    auto* p = static_cast<uint8_t*>(buffer);
    constexpr uint32_t M = 134775813u;
    uint32_t k0 = keys.Key0, k1 = keys.Key1, k2 = keys.Key2;
    uint32_t t = (k2 | 2) & 0xFFFF, t1 = t ^ 1;
    const uint32_t* T = CrcTable.data();
    const uint16_t* T2 = kKeyTable.data();
    const uint8_t* T8 = kLowByteTable.data();
    for (size_t i = 0; i < count; ++i) {
        uint32_t k1m = k1 * M + 1;
        const uint32_t h = (k2 >> 8) & 0xFFFD; // known before this byte's chain
        uint32_t kc = k0 ^ p[i];
        uint32_t k0hi = (k0 >> 8) & 0xFF, k2lo = k2 & 0xFF;
        // Keep the compiler from folding these back into the chain.
        OffChain(k1m);
        OffChain(kc);
        OffChain(k0hi);
        OffChain(k2lo);
        uint32_t h1 = h ^ 1;
        OffChain(h1);
        const uint32_t prod = t * t1;
        const uint32_t plain = (p[i] ^ (prod >> 8)) & 0xFF;
        p[i] = static_cast<uint8_t>(plain);
        const uint32_t idx = ((prod ^ (kc << 8)) >> 8) & 0xFF;
        // Only the low byte of the new Key0 is on the chain; the whole word
        // is rebuilt beside it.
        const uint32_t b = T8[idx] ^ k0hi;
        k0 = T[idx] ^ (k0 >> 8);
        k1 = k1m + b * M;
        const uint32_t j = (k1 >> 24) ^ k2lo; // both below 256: no masking
        k2 = T[j] ^ (k2 >> 8);
        t = T2[j] ^ h;
        t1 = T2[j] ^ h1;
    }
    keys.Key0 = k0;
    keys.Key1 = k1;
    keys.Key2 = k2;
}

void ZipCryptEncodeBuffer(void* buffer, size_t start, size_t count, TZipCryptKeys& keys) {
    auto* p = static_cast<uint8_t*>(buffer) + start;
    for (size_t i = 0; i < count; ++i)
        p[i] = ZipCryptEncodeByte(p[i], keys);
}

namespace zipcrypt_detail {
void DecodeBufferReference(void* buffer, size_t count, TZipCryptKeys& keys) {
    auto* p = static_cast<uint8_t*>(buffer);
    for (size_t i = 0; i < count; ++i) {
        p[i] ^= ZipCryptKeyByte(keys);
        ZipCryptUpdateKeys(keys, p[i]);
    }
}
} // namespace zipcrypt_detail

} // namespace za

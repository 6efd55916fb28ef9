#include "crypto/ZACipher.h"

#include "crypto/AesCore.h"
#include "crypto/SecureZero.h"

#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

namespace za {

// ---------------------------------------------------------------- hashes

namespace {

inline uint32_t Rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadLE(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void StoreLE(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

template <class T> std::unique_ptr<THash> MakeHash() {
    return std::make_unique<T>();
}

} // namespace

const THashClassInfo THash_MD4::Class = {u"THash_MD4", 16, &MakeHash<THash_MD4>};
const THashClassInfo THash_RipeMD256::Class = {u"THash_RipeMD256", 32, &MakeHash<THash_RipeMD256>};

std::string THash::DigestStr(const TStringFormat* Format) const {
    std::string raw(reinterpret_cast<const char*>(FDigest.data()),
                    static_cast<size_t>(DigestKeySize()));
    return Format ? Format->ToStr(raw) : raw;
}

std::string THash::CalcBuffer(THashClass cls, const void* Buffer, int32_t BufferSize,
                              const TStringFormat* Format) {
    auto h = cls->Create();
    h->Init();
    h->Calc(Buffer, BufferSize);
    h->Done();
    return h->DigestStr(Format);
}

std::string THash::CalcStream(THashClass cls, TStream& Stream, int64_t StreamSize,
                              const TStringFormat* Format) {
    if (StreamSize < 0)
        StreamSize = Stream.Size() - Stream.Position();
    auto h = cls->Create();
    h->Init();
    std::vector<uint8_t> buf(64 * 1024);
    while (StreamSize > 0) {
        const int64_t n = Stream.Read(
            buf.data(), std::min<int64_t>(StreamSize, static_cast<int64_t>(buf.size())));
        if (n <= 0)
            break;
        h->Calc(buf.data(), static_cast<int32_t>(n));
        StreamSize -= n;
    }
    h->Done();
    return h->DigestStr(Format);
}

std::string THash::CalcString(THashClass cls, const std::string& Data,
                              const TStringFormat* Format) {
    return CalcBuffer(cls, Data.data(), static_cast<int32_t>(Data.size()), Format);
}

std::string THash::CalcFile(THashClass cls, const std::u16string& FileName,
                            const TStringFormat* Format) {
    TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
    return CalcStream(cls, f, -1, Format);
}

void THash::CodeInit(TPAction Action) {
    if (Action == paCalc && (FActions & PActionBit(paCalc)))
        Init();
    TProtection::CodeInit(Action);
}

void THash::CodeDone(TPAction Action) {
    TProtection::CodeDone(Action);
    if (Action == paCalc && (FActions & PActionBit(paCalc)))
        Done();
}

void THash::CodeBuf(void* Buffer, int32_t BufferSize, TPAction Action) {
    TProtection::CodeBuf(Buffer, BufferSize, Action);
    if (Action == paCalc && (FActions & PActionBit(paCalc)))
        Calc(Buffer, BufferSize);
}

void THash_MD4::Init() {
    static constexpr uint32_t iv[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    std::memset(FState, 0, sizeof FState);
    std::memcpy(FState, iv, sizeof iv);
    FCount = 0;
    std::memset(FBuf, 0, sizeof FBuf);
}

void THash_MD4::Calc(const void* Data, int32_t DataSize) {
    if (DataSize <= 0)
        return;
    const auto* p = static_cast<const uint8_t*>(Data);
    size_t n = static_cast<size_t>(DataSize);
    size_t idx = static_cast<size_t>(FCount % 64);
    FCount += n;
    while (n > 0) {
        const size_t take = std::min(n, 64 - idx);
        std::memcpy(FBuf + idx, p, take);
        idx += take;
        p += take;
        n -= take;
        if (idx == 64) {
            Transform(FBuf);
            idx = 0;
        }
    }
}

void THash_MD4::Done() {
    const uint64_t bits = FCount * 8;
    uint8_t pad[72] = {0x80};
    const size_t idx = static_cast<size_t>(FCount % 64);
    const size_t padLen = idx < 56 ? 56 - idx : 120 - idx;
    uint8_t len[8];
    for (int i = 0; i < 8; ++i)
        len[i] = static_cast<uint8_t>(bits >> (8 * i));
    Calc(pad, static_cast<int32_t>(padLen));
    Calc(len, 8);
    FDigest.fill(0);
    const int words = DigestKeySize() / 4;
    for (int i = 0; i < words; ++i)
        StoreLE(FDigest.data() + 4 * i, FState[i]);
    std::memset(FBuf, 0, sizeof FBuf);
}

void THash_MD4::Transform(const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLE(block + 4 * i);
    uint32_t v[4] = {FState[0], FState[1], FState[2], FState[3]};
    static constexpr int k2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    static constexpr int k3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    static constexpr int s1[4] = {3, 7, 11, 19}, s2[4] = {3, 5, 9, 13}, s3[4] = {3, 9, 11, 15};
    for (int r = 0; r < 3; ++r) {
        for (int i = 0; i < 16; ++i) {
            // The word being replaced walks a, d, c, b.
            const int ia = (4 - i % 4) % 4;
            uint32_t& a = v[ia];
            const uint32_t b = v[(ia + 1) % 4], c = v[(ia + 2) % 4], d = v[(ia + 3) % 4];
            uint32_t f, k;
            int s, w;
            if (r == 0) {
                f = (b & c) | (~b & d);
                k = 0;
                s = s1[i % 4];
                w = i;
            } else if (r == 1) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x5A827999u;
                s = s2[i % 4];
                w = k2[i];
            } else {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1u;
                s = s3[i % 4];
                w = k3[i];
            }
            a = Rol(a + f + x[w] + k, s);
        }
    }
    for (int i = 0; i < 4; ++i)
        FState[i] += v[i];
    SecureZero(x, sizeof x);
}

void THash_RipeMD256::Init() {
    static constexpr uint32_t iv[8] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u,
                                       0x76543210u, 0xFEDCBA98u, 0x89ABCDEFu, 0x01234567u};
    std::memcpy(FState, iv, sizeof iv);
    FCount = 0;
    std::memset(FBuf, 0, sizeof FBuf);
}

void THash_RipeMD256::Done() {
    THash_MD4::Done();
}

void THash_RipeMD256::Transform(const uint8_t block[64]) {
    static constexpr int rl[64] = {0, 1,  2,  3,  4,  5,  6,  7, 8,  9, 10, 11, 12, 13, 14, 15,
                                   7, 4,  13, 1,  10, 6,  15, 3, 12, 0, 9,  5,  2,  14, 11, 8,
                                   3, 10, 14, 4,  9,  15, 8,  1, 2,  7, 0,  6,  13, 11, 5,  12,
                                   1, 9,  11, 10, 0,  8,  12, 4, 13, 3, 7,  15, 14, 5,  6,  2};
    static constexpr int rr[64] = {5,  14, 7, 0, 9, 2,  11, 4,  13, 6,  15, 8,  1,  10, 3,  12,
                                   6,  11, 3, 7, 0, 13, 5,  10, 14, 15, 8,  12, 4,  9,  1,  2,
                                   15, 5,  1, 3, 7, 14, 6,  9,  11, 8,  12, 2,  10, 0,  4,  13,
                                   8,  6,  4, 1, 3, 11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14};
    static constexpr int sl[64] = {11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,
                                   7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,
                                   11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,
                                   11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12};
    static constexpr int sr[64] = {8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,
                                   9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,
                                   9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,
                                   15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8};
    static constexpr uint32_t kl[4] = {0, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu};
    static constexpr uint32_t kr[4] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0};
    auto f = [](int j, uint32_t x, uint32_t y, uint32_t z) -> uint32_t {
        switch (j) {
        case 0:
            return x ^ y ^ z;
        case 1:
            return (x & y) | (~x & z);
        case 2:
            return (x | ~y) ^ z;
        default:
            return (x & z) | (y & ~z);
        }
    };
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLE(block + 4 * i);
    uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
    uint32_t a2 = FState[4], b2 = FState[5], c2 = FState[6], d2 = FState[7];
    for (int round = 0; round < 4; ++round) {
        for (int i = 16 * round; i < 16 * round + 16; ++i) {
            uint32_t t = Rol(a + f(round, b, c, d) + x[rl[i]] + kl[round], sl[i]);
            a = d;
            d = c;
            c = b;
            b = t;
            t = Rol(a2 + f(3 - round, b2, c2, d2) + x[rr[i]] + kr[round], sr[i]);
            a2 = d2;
            d2 = c2;
            c2 = b2;
            b2 = t;
        }
        switch (round) {
        case 0:
            std::swap(a, a2);
            break;
        case 1:
            std::swap(b, b2);
            break;
        case 2:
            std::swap(c, c2);
            break;
        default:
            std::swap(d, d2);
            break;
        }
    }
    FState[0] += a;
    FState[1] += b;
    FState[2] += c;
    FState[3] += d;
    FState[4] += a2;
    FState[5] += b2;
    FState[6] += c2;
    FState[7] += d2;
    SecureZero(x, sizeof x);
}

// ---------------------------------------------------------------- cipher

TCipher::TCipher(TCipherSizes sizes, std::shared_ptr<TProtection> AProtection)
    : TProtection(std::move(AProtection)), FKeySize(sizes.KeySize), FBufSize(sizes.BufSize),
      FUserSize(sizes.UserSize) {
    const auto bs = static_cast<size_t>(FBufSize);
    FVector.resize(bs);
    FFeedback.resize(bs);
    FBuffer.resize(bs);
    FUser.resize(static_cast<size_t>(FUserSize));
    ctrMode_EncryptionBlock.resize(bs);
    ctrMode_Nonce.resize(bs);
    TCipher::Protect();
    ctrMode_Position = FBufSize;
}

TCipher::~TCipher() {
    TCipher::Protect();
    SecureZero(ctrMode_EncryptionBlock.data(), ctrMode_EncryptionBlock.size());
}

void TCipher::SetCipherFlag(int bit, bool on) {
    if (on)
        FFlags |= (1u << bit);
    else
        FFlags &= ~(1u << bit);
}

void TCipher::Protect() {
    SetCipherFlag(0, false);
    SetCipherFlag(1, false);
    for (auto* v : {&FVector, &FFeedback, &FBuffer, &FUser}) {
        std::fill(v->begin(), v->end(), uint8_t{0xAA});
        std::fill(v->begin(), v->end(), uint8_t{0x55});
    }
    std::fill(FVector.begin(), FVector.end(), uint8_t{0xFF});
    std::fill(FFeedback.begin(), FFeedback.end(), uint8_t{0xFF});
    SecureZero(FBuffer.data(), FBuffer.size());
    SecureZero(FUser.data(), FUser.size());
    std::fill(ctrMode_Nonce.begin(), ctrMode_Nonce.end(), uint8_t{0});
}

int32_t TCipher::BeginKeySetup(int32_t Size) {
    SetCipherFlag(1, false);
    Protect();
    // A new key never continues the keystream block of the previous one.
    ctrMode_Position = FBufSize;
    SecureZero(ctrMode_EncryptionBlock.data(), ctrMode_EncryptionBlock.size());
    if (Size < 0)
        Size = 0;
    if (Size > FKeySize)
        Size = FKeySize;
    return Size;
}

void TCipher::EndKeySetup(const void* IVector) {
    if (IVector)
        std::memcpy(FVector.data(), IVector, FVector.size());
    else
        EncodeBlock(FVector.data());
    FFeedback = FVector;
    SetCipherFlag(1, true);
}

void TCipher::InitKey(std::vector<uint8_t>& Key, uint16_t KeyLength, const void* IVector) {
    std::vector<uint8_t> plain(KeyLength, 0);
    if (!Key.empty() && KeyLength > 0)
        std::memcpy(plain.data(), Key.data(), std::min<size_t>(Key.size(), KeyLength));
    Init(plain.data(), std::min<int32_t>(FKeySize, KeyLength), IVector);
    std::vector<uint8_t> coded(KeyLength);
    if (KeyLength > 0)
        EncodeBuffer(plain.data(), coded.data(), KeyLength);
    SecureZero(plain.data(), plain.size());
    SecureZero(Key.data(), Key.size());
    Key = std::move(coded);
    Done();
    SetCipherFlag(0, true);
}

void TCipher::InitKey(const std::string& Key, const void* IVector) {
    THash& h = Hash();
    h.Init();
    h.Calc(Key.data(), static_cast<int32_t>(Key.size()));
    h.Done();
    Init(h.DigestKey(), std::min<int32_t>(FKeySize, h.DigestKeySize()), IVector);
    h.Init(); // drop the digest of the password
    SetCipherFlag(0, true);
}

void TCipher::Done() {
    if (FFeedback != FVector) {
        FBuffer = FFeedback;
        FFeedback = FVector;
    }
}

THash& TCipher::Hash() {
    if (!FHash)
        FHash = (FHashClass ? FHashClass : &THash_RipeMD256::Class)->Create();
    return *FHash;
}

void TCipher::SetHashClass(THashClass value) {
    if (!value)
        value = &THash_RipeMD256::Class;
    if (value != FHashClass) {
        FHash.reset();
        FHashClass = value;
    }
}

void TCipher::SelfTest() const {
    throw Exception(u"Not implemented 14");
}
void TCipher::TestVector() const {
    throw Exception(u"Not implemented 20");
}

void TCipher::CheckInitialized() const {
    if (!Initialized())
        throw ECipherException(ClassName() +
                                   u" is not initialized call Init() or InitKey() before.",
                               errNotInitialized);
}

// A final partial block of n bytes in the block modes: K = E(F),
// out = in ^ K, F = K ^ F.
void TCipher::PartialBlock(const uint8_t* s, uint8_t* d, int32_t n) {
    std::vector<uint8_t> k = FFeedback;
    EncodeBlock(k.data());
    for (int32_t i = 0; i < n; ++i)
        d[i] = s[i] ^ k[static_cast<size_t>(i)];
    for (size_t i = 0; i < k.size(); ++i)
        FFeedback[i] ^= k[i];
    SecureZero(k.data(), k.size());
}

void TCipher::EncodeCTS(const uint8_t* s, uint8_t* d, int32_t n, bool chainOnly) {
    const int32_t bs = FBufSize;
    std::vector<uint8_t> blk(static_cast<size_t>(bs));
    int32_t i = 0;
    for (; i + bs <= n; i += bs) {
        for (int32_t j = 0; j < bs; ++j)
            blk[j] = s[i + j] ^ FFeedback[j];
        EncodeBlock(blk.data());
        for (int32_t j = 0; j < bs; ++j)
            FFeedback[j] ^= blk[j];
        if (!chainOnly)
            std::memcpy(d + i, blk.data(), blk.size());
    }
    if (i < n) {
        std::vector<uint8_t> tail(static_cast<size_t>(n - i));
        PartialBlock(s + i, tail.data(), n - i);
        if (!chainOnly)
            std::memcpy(d + i, tail.data(), tail.size());
    }
}

void TCipher::EncodeCBC(const uint8_t* s, uint8_t* d, int32_t n, bool chainOnly) {
    const int32_t bs = FBufSize;
    int32_t i = 0;
    for (; i + bs <= n; i += bs) {
        for (int32_t j = 0; j < bs; ++j)
            FFeedback[j] ^= s[i + j];
        EncodeBlock(FFeedback.data());
        if (!chainOnly)
            std::memcpy(d + i, FFeedback.data(), FFeedback.size());
    }
    if (i < n) {
        std::vector<uint8_t> tail(static_cast<size_t>(n - i));
        PartialBlock(s + i, tail.data(), n - i);
        if (!chainOnly)
            std::memcpy(d + i, tail.data(), tail.size());
    }
}

void TCipher::EncodeCFB(const uint8_t* s, uint8_t* d, int32_t n, bool chainOnly) {
    std::vector<uint8_t> k(FFeedback.size());
    for (int32_t i = 0; i < n; ++i) {
        k = FFeedback;
        EncodeBlock(k.data());
        const uint8_t c = s[i] ^ k[0];
        std::memmove(FFeedback.data(), FFeedback.data() + 1, FFeedback.size() - 1);
        FFeedback.back() = c;
        if (!chainOnly)
            d[i] = c;
    }
    SecureZero(k.data(), k.size());
}

void TCipher::DecodeCTS(const uint8_t* s, uint8_t* d, int32_t n) {
    const int32_t bs = FBufSize;
    std::vector<uint8_t> c(static_cast<size_t>(bs)), blk(static_cast<size_t>(bs));
    int32_t i = 0;
    for (; i + bs <= n; i += bs) {
        std::memcpy(c.data(), s + i, c.size());
        blk = c;
        DecodeBlock(blk.data());
        for (int32_t j = 0; j < bs; ++j) {
            d[i + j] = blk[j] ^ FFeedback[j];
            FFeedback[j] ^= c[j];
        }
    }
    if (i < n)
        PartialBlock(s + i, d + i, n - i);
}

void TCipher::DecodeCBC(const uint8_t* s, uint8_t* d, int32_t n) {
    const int32_t bs = FBufSize;
    std::vector<uint8_t> c(static_cast<size_t>(bs));
    int32_t i = 0;
    for (; i + bs <= n; i += bs) {
        std::memcpy(c.data(), s + i, c.size());
        std::vector<uint8_t> blk = c;
        DecodeBlock(blk.data());
        for (int32_t j = 0; j < bs; ++j)
            d[i + j] = blk[j] ^ FFeedback[j];
        FFeedback = c;
    }
    if (i < n)
        PartialBlock(s + i, d + i, n - i);
}

void TCipher::DecodeCFB(const uint8_t* s, uint8_t* d, int32_t n) {
    std::vector<uint8_t> k(FFeedback.size());
    for (int32_t i = 0; i < n; ++i) {
        k = FFeedback;
        EncodeBlock(k.data());
        const uint8_t c = s[i];
        d[i] = c ^ k[0];
        std::memmove(FFeedback.data(), FFeedback.data() + 1, FFeedback.size() - 1);
        FFeedback.back() = c;
    }
    SecureZero(k.data(), k.size());
}

void TCipher::CodeOFB(const uint8_t* s, uint8_t* d, int32_t n) {
    std::vector<uint8_t> k(FFeedback.size());
    for (int32_t i = 0; i < n; ++i) {
        k = FFeedback;
        EncodeBlock(k.data());
        d[i] = s[i] ^ k[0];
        std::memmove(FFeedback.data(), FFeedback.data() + 1, FFeedback.size() - 1);
        FFeedback.back() = k[0];
    }
    SecureZero(k.data(), k.size());
}

// Whole blocks alone; a final partial block through the keystream of the
// chaining register, as in the chained modes, so no byte is left uncoded.
void TCipher::CodeECB(const uint8_t* s, uint8_t* d, int32_t n, bool decode) {
    const int32_t bs = FBufSize;
    std::vector<uint8_t> blk(static_cast<size_t>(bs));
    int32_t i = 0;
    for (; i + bs <= n; i += bs) {
        std::memcpy(blk.data(), s + i, blk.size());
        if (decode)
            DecodeBlock(blk.data());
        else
            EncodeBlock(blk.data());
        std::memcpy(d + i, blk.data(), blk.size());
    }
    if (i < n)
        PartialBlock(s + i, d + i, n - i);
}

void TCipher::CodeCTR(const uint8_t* s, uint8_t* d, int32_t n) {
    if (s != d)
        std::memmove(d, s, static_cast<size_t>(n));
    int32_t i = 0;
    const int32_t bs = FBufSize;
    while (i < n && ctrMode_Position < bs)
        d[i++] ^= ctrMode_EncryptionBlock[static_cast<size_t>(ctrMode_Position++)];
    if (i >= n)
        return;
    // Whole blocks through the algorithm's bulk pass, when it has one.
    const size_t whole = static_cast<size_t>(n - i) / static_cast<size_t>(bs);
    if (whole && CtrBlocks(d + i, whole)) {
        i += static_cast<int32_t>(whole * static_cast<size_t>(bs));
        ctrMode_Position = bs;
    }
    while (i < n) {
        if (ctrMode_Position >= bs) {
            for (int32_t j = 0; j < 8 && j < bs; ++j)
                if (++ctrMode_Nonce[static_cast<size_t>(j)] != 0)
                    break;
            ctrMode_EncryptionBlock = ctrMode_Nonce;
            EncodeBlock(ctrMode_EncryptionBlock.data());
            ctrMode_Position = 0;
        }
        d[i++] ^= ctrMode_EncryptionBlock[static_cast<size_t>(ctrMode_Position++)];
    }
}

void TCipher::EncodeBuffer(const void* Source, void* Dest, int32_t DataSize) {
    CheckInitialized();
    if (DataSize <= 0)
        return;
    const auto* s = static_cast<const uint8_t*>(Source);
    auto* d = static_cast<uint8_t*>(Dest);
    switch (FMode) {
    case cmCTS:
        EncodeCTS(s, d, DataSize, false);
        break;
    case cmCBC:
        EncodeCBC(s, d, DataSize, false);
        break;
    case cmCFB:
        EncodeCFB(s, d, DataSize, false);
        break;
    case cmOFB:
        CodeOFB(s, d, DataSize);
        break;
    case cmCTR:
        CodeCTR(s, d, DataSize);
        break;
    case cmECB:
        CodeECB(s, d, DataSize, false);
        break;
    case cmCTSMAC:
        EncodeCTS(s, d, DataSize, true);
        break;
    case cmCBCMAC:
        EncodeCBC(s, d, DataSize, true);
        break;
    case cmCFBMAC:
        EncodeCFB(s, d, DataSize, true);
        break;
    }
}

void TCipher::DecodeBuffer(const void* Source, void* Dest, int32_t DataSize) {
    CheckInitialized();
    if (DataSize <= 0)
        return;
    const auto* s = static_cast<const uint8_t*>(Source);
    auto* d = static_cast<uint8_t*>(Dest);
    switch (FMode) {
    case cmCTS:
        DecodeCTS(s, d, DataSize);
        break;
    case cmCBC:
        DecodeCBC(s, d, DataSize);
        break;
    case cmCFB:
        DecodeCFB(s, d, DataSize);
        break;
    case cmOFB:
        CodeOFB(s, d, DataSize);
        break;
    case cmCTR:
        CodeCTR(s, d, DataSize);
        break;
    case cmECB:
        CodeECB(s, d, DataSize, true);
        break;
    case cmCTSMAC:
    case cmCBCMAC:
    case cmCFBMAC:
        EncodeBuffer(Source, Dest, DataSize);
        break;
    }
}

void TCipher::CodeInit(TPAction Action) {
    if (Action == paWipe)
        throw Exception(u"Not implemented 12");
    if (Action != paCalc) {
        CheckInitialized();
        Done();
    }
    TProtection::CodeInit(Action);
}

void TCipher::CodeDone(TPAction Action) {
    TProtection::CodeDone(Action);
    if (Action != paCalc)
        Done();
}

void TCipher::CodeBuf(void* Buffer, int32_t BufferSize, TPAction Action) {
    const bool mine = (FActions & PActionBit(Action)) != 0;
    if (Action == paDecode) {
        if (mine)
            DecodeBuffer(Buffer, Buffer, BufferSize);
        TProtection::CodeBuf(Buffer, BufferSize, Action);
    } else {
        TProtection::CodeBuf(Buffer, BufferSize, Action);
        if (mine)
            EncodeBuffer(Buffer, Buffer, BufferSize);
    }
}

// ---------------------------------------------------------------- AES

TCipher_Rijndael::TCipher_Rijndael() : TCipher(QueryCipherSizes()) {}

TCipher_Rijndael::TCipher_Rijndael(std::vector<uint8_t>& key, uint16_t keyLength)
    : TCipher(QueryCipherSizes()) {
    if (!key.empty())
        InitKey(key, keyLength, nullptr);
}

TCipher_Rijndael::TCipher_Rijndael(const std::string& Password,
                                   std::shared_ptr<TProtection> AProtection)
    : TCipher(QueryCipherSizes(), std::move(AProtection)) {
    InitKey(Password, nullptr);
}

void TCipher_Rijndael::Init(const void* Key, int32_t Size, const void* IVector) {
    Size = BeginKeySetup(Size);
    FRounds = Size <= 16 ? 10 : Size > 24 ? 14 : 12;
    uint8_t k[32] = {};
    if (Key && Size > 0)
        std::memcpy(k, Key, static_cast<size_t>(Size));
    aes_detail::ExpandKey(k, FRounds, FUser.data(), FUser.data() + aes_detail::RoundKeyBytes);
    SecureZero(k, sizeof k);
    EndKeySetup(IVector);
}

bool TCipher_Rijndael::CtrBlocks(uint8_t* data, size_t blocks) {
    aes_detail::CtrBlocks(FUser.data(), FRounds, ctrMode_Nonce.data(), data, data, blocks,
                          ctrMode_EncryptionBlock.data());
    return true;
}

void TCipher_Rijndael::EncodeBlock(uint8_t* Block) {
    aes_detail::EncryptBlock(FUser.data(), FRounds, Block, Block);
}

void TCipher_Rijndael::DecodeBlock(uint8_t* Block) {
    aes_detail::DecryptBlock(FUser.data() + aes_detail::RoundKeyBytes, FRounds, Block, Block);
}

const std::vector<TCipherClassInfo>& CipherClasses() {
    static const std::vector<TCipherClassInfo> list = {
        {u"TCipher_Rijndael",
         []() -> std::unique_ptr<TCipher> { return std::make_unique<TCipher_Rijndael>(); }}};
    return list;
}

} // namespace za

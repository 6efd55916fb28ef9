#include "crypto/ZAAESCryptoTransform.h"

#include "crypto/SecureZero.h"

#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

namespace za {

namespace {

void Wipe(std::vector<uint8_t>& v) {
    SecureZero(v.data(), v.size());
    v.clear();
}

// Slices of this size are authenticated and then decrypted while still in
// the cache.
constexpr int32_t kSlice = 64 * 1024;

bool Overlap(const uint8_t* a, const uint8_t* b, size_t n) {
    const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x != y && x < y + n && y < x + n;
}

// The input to code: itself, or a copy in `copy` when it partly overlaps the
// output (coding in place needs no copy).
const uint8_t* UnaliasedInput(const uint8_t* src, const uint8_t* dst, int32_t n,
                              std::vector<uint8_t>& copy) {
    if (Overlap(src, dst, static_cast<size_t>(n))) {
        copy.assign(src, src + n);
        return copy.data();
    }
    return src;
}

void RequireCryptor(const void* cryptor) {
    if (!cryptor)
        throw ECipherException(
            u"TCipher_Rijndael is not initialized call Init() or InitKey() before.",
            errNotInitialized);
}

} // namespace

TAESCryptoTransform::TAESCryptoTransform(int32_t Strength, uint16_t Crypt_version,
                                         uint16_t ActualCompMethod)
    : FPHash(FindHashDescByName("SHA1")),
      FKeyLengthBytes(static_cast<uint16_t>(Strength > 0 ? std::min(Strength / 8, 0xFFFF) : 0)),
      FVersion(Crypt_version), FActualCompressionMethod(ActualCompMethod) {}

TAESCryptoTransform::~TAESCryptoTransform() {
    Reset();
}

void TAESCryptoTransform::DropCache() {
    FCacheValid = false;
    SecureZero(FCachePassword.data(), FCachePassword.size());
    FCachePassword.clear();
    Wipe(FCacheSalt);
    Wipe(FCacheDerived);
}

const std::vector<uint8_t>& TAESCryptoTransform::Derived(const std::string& password) {
    const size_t need = 2 * size_t{FKeyLengthBytes} + 2;
    if (FSaltValue.size() < FKeyLengthBytes / 2u) // no salt made or loaded yet
        FSaltValue.resize(FKeyLengthBytes / 2u, 0);
    if (FCacheValid && FCachePassword == password && FCacheSalt == FSaltValue &&
        FCacheDerived.size() == need)
        return FCacheDerived;
    std::vector<uint8_t> bytes;
    if (!FPrefetcher || !FPrefetcher->Take(password, FSaltValue.data(), FKeyLengthBytes / 2u, need,
                                           Iterations, bytes)) {
        TPBKDF2 gen(password, FSaltValue.data(), FKeyLengthBytes / 2, Iterations);
        bytes = gen.GetKeyBytes(static_cast<int32_t>(need));
    }
    ++FDerivations;
    DropCache();
    FCachePassword = password;
    FCacheSalt = FSaltValue;
    FCacheDerived = std::move(bytes);
    FCacheValid = true;
    return FCacheDerived;
}

void TAESCryptoTransform::DeriveKeys() {
    const size_t L = FKeyLengthBytes;
    FKeysPending = false;
    const std::vector<uint8_t>& d = Derived(FPassword);
    FKeyGenerator = std::make_unique<TPBKDF2>(FPassword, FSaltValue.data(),
                                              static_cast<int32_t>(L / 2), Iterations);
    Wipe(FEncryptionKey);
    Wipe(FHashKey);
    FEncryptionKey.assign(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(L));
    FHashKey.assign(d.begin() + static_cast<std::ptrdiff_t>(L),
                    d.begin() + static_cast<std::ptrdiff_t>(2 * L));
    FPasswordVerificationValue.assign(d.begin() + static_cast<std::ptrdiff_t>(2 * L), d.end());
    HMACStart(FHMAC_Context, FPHash, FHashKey.data(), static_cast<uint16_t>(L));
    FCryptor = std::make_unique<TCipher_Rijndael>(FEncryptionKey, static_cast<uint16_t>(L));
    FCryptor->SetMode(cmCTR);
}

void TAESCryptoTransform::EnsureKeys() {
    if (FKeysPending)
        DeriveKeys();
}

void TAESCryptoTransform::GenerateKey(const std::string& Password) {
    CheckPasswordLength(Password);
    FPassword = Password;
    if (!(FTransformMode == Decryption && FHasSalt)) {
        FKeyGenerator = std::make_unique<TPBKDF2>(Password, FKeyLengthBytes / 2, Iterations);
        Wipe(FSaltValue);
        FSaltValue = FKeyGenerator->GetSaltValue();
        FHasSalt = true;
    }
    // The derivation itself waits until the keys are looked at; on the
    // extraction road the stored salt replaces them before that.
    FKeysPending = true;
}

bool TAESCryptoTransform::CheckPassword(const std::string& Password,
                                        const TZACryptoItemInfo& Item) {
    (void)Item;
    CheckPasswordLength(Password);
    EnsureKeys();
    const size_t L = FKeyLengthBytes;
    const std::vector<uint8_t>& d = Derived(Password);
    return FPasswordVerificationValue.size() == 2 && d[2 * L] == FPasswordVerificationValue[0] &&
           d[2 * L + 1] == FPasswordVerificationValue[1];
}

const uint8_t* TAESCryptoTransform::GetKey() {
    EnsureKeys();
    return FEncryptionKey.empty() ? nullptr : FEncryptionKey.data();
}

void TAESCryptoTransform::Reset() {
    SecureZero(FPassword.data(), FPassword.size());
    FPassword.clear();
    FKeyLengthBytes = 0;
    Wipe(FEncryptionKey);
    Wipe(FHashKey);
    Wipe(FPasswordVerificationValue);
    Wipe(FSaltValue);
    FKeyGenerator.reset();
    FCryptor.reset();
    SecureZero(&FHMAC_Context, sizeof FHMAC_Context);
    FHasSalt = false;
    FKeysPending = false;
    DropCache();
}

int32_t TAESCryptoTransform::DecryptBuffer(const uint8_t* InputBuffer, int32_t inputOffset,
                                           int32_t InputCount, uint8_t* OutputBuffer,
                                           int32_t OutputOffset) {
    if (InputCount <= 0)
        return InputCount;
    EnsureKeys();
    uint8_t* dst = OutputBuffer + OutputOffset;
    std::vector<uint8_t> copy;
    const uint8_t* src = UnaliasedInput(InputBuffer + inputOffset, dst, InputCount, copy);
    RequireCryptor(FCryptor.get());
    for (int32_t done = 0; done < InputCount; done += kSlice) {
        const int32_t n = std::min(kSlice, InputCount - done);
        HMACAddData(FHMAC_Context, src + done, n);
        FCryptor->DecodeBuffer(src + done, dst + done, n);
    }
    return InputCount;
}

int32_t TAESCryptoTransform::EncryptBuffer(const uint8_t* InputBuffer, int32_t InputOffset,
                                           int32_t InputCount, uint8_t* OutputBuffer,
                                           int32_t OutputOffset) {
    if (InputCount <= 0)
        return InputCount;
    EnsureKeys();
    uint8_t* dst = OutputBuffer + OutputOffset;
    std::vector<uint8_t> copy;
    const uint8_t* src = UnaliasedInput(InputBuffer + InputOffset, dst, InputCount, copy);
    RequireCryptor(FCryptor.get());
    for (int32_t done = 0; done < InputCount; done += kSlice) {
        const int32_t n = std::min(kSlice, InputCount - done);
        FCryptor->EncodeBuffer(src + done, dst + done, n);
        HMACAddData(FHMAC_Context, dst + done, n);
    }
    return InputCount;
}

std::vector<uint8_t> TAESCryptoTransform::GetFileStorageStartBlock() {
    EnsureKeys();
    std::vector<uint8_t> block(FSaltValue);
    block.insert(block.end(), FPasswordVerificationValue.begin(), FPasswordVerificationValue.end());
    block.resize(static_cast<size_t>(GetFileStorageStartBlockSize()));
    return block;
}

void TAESCryptoTransform::LoadFileStorageStartBlock(TStream& Stream, int64_t Offset) {
    Stream.Seek(Offset, soCurrent);
    const size_t saltSize = FKeyLengthBytes / 2;
    if (FSaltValue.size() != saltSize)
        FSaltValue.resize(saltSize, 0);
    if (saltSize > 0)
        Stream.Read(FSaltValue.data(), static_cast<int64_t>(saltSize));
    FHasSalt = true;
    DeriveKeys();
    // The stored verification value replaces the derived one; bytes the
    // stream cannot supply keep the derived value.
    Stream.Read(FPasswordVerificationValue.data(), 2);
}

std::vector<uint8_t> TAESCryptoTransform::GetFileStorageEndBlock() {
    if (FVersion == 1)
        return {};
    EnsureKeys();
    THashDigest mac{};
    HMACFinish(FHMAC_Context, mac);
    FAuthenticationCode.assign(mac.begin(), mac.begin() + FAuthenticationCodeSize);
    return FAuthenticationCode;
}

void TAESCryptoTransform::LoadFileStorageEndBlock(TStream& Stream, int64_t Offset) {
    if (FVersion == 1)
        return;
    Stream.Seek(Offset, soCurrent);
    FAuthenticationCode.assign(static_cast<size_t>(FAuthenticationCodeSize), 0);
    Stream.Read(FAuthenticationCode.data(), FAuthenticationCodeSize);
}

bool TAESCryptoTransform::IsDirItemCorrupted(const TZACryptoItemInfo& Item, uint32_t Crc32) {
    if (FVersion == 1)
        return Crc32 != Item.Crc32;
    EnsureKeys();
    THashDigest mac{};
    HMACFinish(FHMAC_Context, mac);
    if (FAuthenticationCode.size() < static_cast<size_t>(FAuthenticationCodeSize))
        return true;
    uint8_t diff = 0;
    for (int32_t i = 0; i < FAuthenticationCodeSize; ++i)
        diff |= mac[static_cast<size_t>(i)] ^ FAuthenticationCode[static_cast<size_t>(i)];
    return diff != 0;
}

TZACryptoExtraField TAESCryptoTransform::GetExtraFieldData() {
    TZACryptoExtraField f;
    f.headerID = ExtraFieldHeaderID;
    f.dataSize = 7;
    const uint8_t strength = FKeyLengthBytes == 16   ? 1
                             : FKeyLengthBytes == 24 ? 2
                             : FKeyLengthBytes == 32 ? 3
                                                     : 0;
    f.pData = {static_cast<uint8_t>(FVersion & 0xFF),
               static_cast<uint8_t>(FVersion >> 8),
               0x41,
               0x45,
               strength,
               static_cast<uint8_t>(FActualCompressionMethod & 0xFF),
               static_cast<uint8_t>(FActualCompressionMethod >> 8)};
    return f;
}

} // namespace za

// AES transform of ZIP archives: AES-128/192/256 in counter mode, keys from
// PBKDF2-HMAC-SHA1 (1000 iterations) over a per-entry salt, a 2-byte
// password verification value and a 10-byte HMAC-SHA1 authentication code
// over the ciphertext. An entry's stored data is: start block (salt, then
// verification value), ciphertext, end block (authentication code).
//
// Extracting an entry (what the entry data pipeline does):
//
//     TAESCryptoTransform t(strengthBits /*128,192,256*/, 2, compressionMethod);
//     TZACryptoItemInfo info{item.CentralDir.crc32};
//     t.Initialize(Decryption, info);
//     t.GenerateKey(password);                   // provisional; cheap
//     int64_t cipherSize = storedSize - t.GetFileStorageStartBlockSize()
//                                     - t.GetFileStorageEndBlockSize();
//     do {
//         archive.SetPosition(dataStart);
//         t.LoadFileStorageStartBlock(archive, 0); // salt + verifier, real keys
//         ok = t.CheckPassword(password, info);
//         if (!ok) { ...password event...; if (changed) t.GenerateKey(newPassword); }
//     } while (!ok && !skipped);
//     for each chunk of ciphertext, in file order, any sizes:
//         t.DecryptBuffer(chunk, 0, n, chunk, 0);  // in place
//     t.LoadFileStorageEndBlock(archive, 0);       // stream right after the data
//     bool corrupted = t.IsDirItemCorrupted(info, runningCrc ^ 0xFFFFFFFF);
//     // version 2 judges by the 10-byte HMAC-SHA1 code alone (the CRC is
//     // compared only for vendor version 1). Skip the last two steps for a
//     // skipped entry or a partial extraction.
//
// A password longer than 32767 bytes makes GenerateKey / CheckPassword
// raise EPasswordTooLong (a za::Exception). Decrypting before any keying
// raises ECipherException (ErrorCode 3).
//
// Cost: the key derivation (PBKDF2, 1000 iterations) is the expensive step.
// Derivations whose keys are replaced before any use are not run: the keys
// of GenerateKey are derived only when something observes them, and a
// derivation for a password and salt just derived is reused (so
// CheckPassword right after LoadFileStorageStartBlock costs nothing). Every
// result stays as if each step had derived.
#pragma once

#include "crypto/ZACipher.h"
#include "crypto/ZACryptoTransform.h"
#include "crypto/ZAKeyPrefetch.h"
#include "crypto/ZAPBKDF_2.h"
#include "crypto/ZAhmac.h"

#include <memory>

namespace za {

class TAESCryptoTransform : public TZACryptoTransform {
public:
    // Strength: key length in bits; Crypt_version: vendor version 1 or 2;
    // ActualCompMethod: the compression method named in the extra field.
    TAESCryptoTransform(int32_t Strength, uint16_t Crypt_version, uint16_t ActualCompMethod);
    ~TAESCryptoTransform() override;

    void GenerateKey(const std::string& Password) override;
    bool CheckPassword(const std::string& Password, const TZACryptoItemInfo& Item) override;
    const uint8_t* GetKey() override;
    std::string GetPassword() const override { return FPassword; }
    void Initialize(TCryptoTransformMode Mode, const TZACryptoItemInfo& Item) override {
        TZACryptoTransform::Initialize(Mode, Item);
    }
    void Reset() override;
    int32_t DecryptBuffer(const uint8_t* InputBuffer, int32_t inputOffset, int32_t InputCount,
                          uint8_t* OutputBuffer, int32_t OutputOffset) override;
    int32_t EncryptBuffer(const uint8_t* InputBuffer, int32_t InputOffset, int32_t InputCount,
                          uint8_t* OutputBuffer, int32_t OutputOffset) override;
    std::vector<uint8_t> GetFileStorageStartBlock() override;
    void LoadFileStorageStartBlock(TStream& Stream, int64_t Offset) override;
    int32_t GetFileStorageStartBlockSize() override { return FKeyLengthBytes / 2 + 2; }
    std::vector<uint8_t> GetFileStorageEndBlock() override;
    void LoadFileStorageEndBlock(TStream& Stream, int64_t Offset) override;
    int32_t GetFileStorageEndBlockSize() override {
        return FVersion == 1 ? 0 : FAuthenticationCodeSize;
    }
    bool IsDirItemCorrupted(const TZACryptoItemInfo& Item, uint32_t Crc32) override;
    TZACryptoExtraField GetExtraFieldData() override;

    uint16_t KeyLengthBytes() const { return FKeyLengthBytes; }
    const std::vector<uint8_t>& SaltValue() const { return FSaltValue; }
    // Number of PBKDF2 derivations needed (for tests and benchmarks),
    // whether run here or taken from the prefetcher.
    int32_t DerivationCount() const { return FDerivations; }
    // Where derivations may already have been run ahead (not owned; null
    // for none). A result is taken from it only for the exact inputs.
    void SetKeyPrefetcher(TZAKeyPrefetcher* Prefetcher) { FPrefetcher = Prefetcher; }

    static constexpr int32_t Iterations = 1000;
    static constexpr uint16_t ExtraFieldHeaderID = 0x9901;

private:
    void DeriveKeys();
    void EnsureKeys();
    // 2L+2 derived bytes for password and the held salt (cached).
    const std::vector<uint8_t>& Derived(const std::string& password);
    void DropCache();

    std::unique_ptr<TPBKDF2> FKeyGenerator;
    THMAC_Context FHMAC_Context{};
    PHashDesc FPHash;
    std::unique_ptr<TCipher_Rijndael> FCryptor;
    uint16_t FKeyLengthBytes;
    std::vector<uint8_t> FHashKey;
    std::vector<uint8_t> FEncryptionKey;
    std::vector<uint8_t> FPasswordVerificationValue;
    std::vector<uint8_t> FSaltValue;
    std::vector<uint8_t> FAuthenticationCode;
    std::string FPassword;
    uint16_t FVersion;
    uint16_t FActualCompressionMethod;
    int32_t FAuthenticationCodeSize = 10;

    bool FHasSalt = false;
    bool FKeysPending = false; // GenerateKey's derivation not run yet
    bool FCacheValid = false;
    std::string FCachePassword;
    std::vector<uint8_t> FCacheSalt;
    std::vector<uint8_t> FCacheDerived;
    int32_t FDerivations = 0;
    TZAKeyPrefetcher* FPrefetcher = nullptr;
};

} // namespace za

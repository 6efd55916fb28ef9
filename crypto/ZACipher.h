// Block cipher framework: TCipher runs buffers through a block cipher in one
// of nine chaining modes; TCipher_Rijndael is AES (FIPS-197). The hash
// classes THash_MD4 and THash_RipeMD256 key a cipher from a text password.
//
// The AES transform uses it this way only:
//
//     std::vector<uint8_t> key = ...;             // 16, 24 or 32 bytes
//     TCipher_Rijndael aes(key, keyLength);       // key now holds its encoding
//     aes.SetMode(cmCTR);
//     aes.DecodeBuffer(data, data, n);            // any chunk sizes, in order
#pragma once

#include "crypto/ZACipherUtil.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace za {

class THash;

// Hash classes: what the framework knows of a hash class without an object.
struct THashClassInfo {
    const char16_t* ClassName;
    int32_t DigestKeySize;
    std::unique_ptr<THash> (*Create)();
};
using THashClass = const THashClassInfo*;

class THash : public TProtection {
public:
    virtual void Init() = 0;
    virtual void Calc(const void* Data, int32_t DataSize) = 0;
    virtual void Done() = 0;
    // The digest of the last Done (DigestKeySize bytes).
    const uint8_t* DigestKey() const { return FDigest.data(); }
    std::string DigestStr(const TStringFormat* Format = nullptr) const;
    virtual int32_t DigestKeySize() const = 0;

    // Class-level conveniences: one object of the class, Init, data, Done.
    static std::string CalcBuffer(THashClass cls, const void* Buffer, int32_t BufferSize,
                                  const TStringFormat* Format = nullptr);
    static std::string CalcStream(THashClass cls, TStream& Stream, int64_t StreamSize,
                                  const TStringFormat* Format = nullptr);
    static std::string CalcString(THashClass cls, const std::string& Data,
                                  const TStringFormat* Format = nullptr);
    static std::string CalcFile(THashClass cls, const std::u16string& FileName,
                                const TStringFormat* Format = nullptr);

protected:
    // As a protection object: a run with paCalc hashes the data.
    void CodeInit(TPAction Action) override;
    void CodeDone(TPAction Action) override;
    void CodeBuf(void* Buffer, int32_t BufferSize, TPAction Action) override;

    std::array<uint8_t, 32> FDigest{};
};

// MD4 (RFC 1320), 16-byte digest.
class THash_MD4 : public THash {
public:
    THash_MD4() { Init(); }
    void Init() override;
    void Calc(const void* Data, int32_t DataSize) override;
    void Done() override;
    int32_t DigestKeySize() const override { return 16; }
    static const THashClassInfo Class;

protected:
    virtual void Transform(const uint8_t block[64]);
    uint32_t FState[8] = {};
    uint8_t FBuf[64] = {};
    uint64_t FCount = 0; // bytes
};

// RIPEMD-256, 32-byte digest.
class THash_RipeMD256 : public THash_MD4 {
public:
    THash_RipeMD256() { Init(); }
    void Init() override;
    void Done() override;
    int32_t DigestKeySize() const override { return 32; }
    static const THashClassInfo Class;

protected:
    void Transform(const uint8_t block[64]) override;
};

enum TCipherMode : uint8_t {
    cmCTS = 0,
    cmCBC = 1,
    cmCFB = 2,
    cmOFB = 3,
    cmCTR = 4,
    cmECB = 5,
    cmCTSMAC = 6,
    cmCBCMAC = 7,
    cmCFBMAC = 8
};

class ECipherException : public Exception {
public:
    ECipherException(std::u16string message, int32_t errorCode)
        : Exception(std::move(message)), FErrorCode(errorCode) {}
    int32_t ErrorCode() const { return FErrorCode; }

private:
    int32_t FErrorCode;
};

// ErrorCode of a cipher used before it was keyed.
constexpr int32_t errNotInitialized = 3;

struct TCipherSizes {
    int32_t BufSize, KeySize, UserSize;
};

class TCipher : public TProtection {
public:
    ~TCipher() override;

    virtual std::u16string ClassName() const = 0;

    // Keys the cipher with Size bytes of Key (per algorithm); IVector, when
    // given, supplies BufSize bytes of initialisation vector.
    virtual void Init(const void* Key, int32_t Size, const void* IVector) = 0;
    // Keys the cipher with min(KeySize, KeyLength) bytes of Key and replaces
    // Key by a new KeyLength-byte buffer holding the encoding of the key
    // bytes in the current mode (missing key bytes count as zero).
    void InitKey(std::vector<uint8_t>& Key, uint16_t KeyLength, const void* IVector);
    // Keys the cipher from a text password through the hash class.
    void InitKey(const std::string& Key, const void* IVector);
    // Returns the chaining register to the vector.
    virtual void Done();
    // Wipes the state.
    virtual void Protect();

    void EncodeBuffer(const void* Source, void* Dest, int32_t DataSize);
    void DecodeBuffer(const void* Source, void* Dest, int32_t DataSize);
    virtual void EncodeBlock(uint8_t* Block) = 0;
    virtual void DecodeBlock(uint8_t* Block) = 0;

    TCipherMode Mode() const { return FMode; }
    void SetMode(TCipherMode value) { FMode = value; }
    THash& Hash();
    THashClass HashClass() const { return FHashClass; }
    void SetHashClass(THashClass value);
    int32_t KeySize() const { return FKeySize; }
    int32_t BufSize() const { return FBufSize; }
    bool Initialized() const { return (FFlags & 2) != 0; }
    bool HasHashKey() const { return (FFlags & 1) != 0; }
    const uint8_t* Vector() const { return FVector.data(); }
    const uint8_t* Feedback() const { return FFeedback.data(); }

    void SelfTest() const;
    void TestVector() const;

protected:
    explicit TCipher(TCipherSizes sizes, std::shared_ptr<TProtection> AProtection = nullptr);

    virtual void SetCipherFlag(int bit, bool on);
    // Common start of Init: wipes the state; returns the key size clamped
    // to 0..KeySize.
    int32_t BeginKeySetup(int32_t Size);
    virtual void EndKeySetup(const void* IVector);

    void CodeInit(TPAction Action) override;
    void CodeDone(TPAction Action) override;
    void CodeBuf(void* Buffer, int32_t BufferSize, TPAction Action) override;

    // Counter mode over whole blocks in place, exactly as the byte loop
    // would do it (nonce incremented per block, last keystream block kept in
    // ctrMode_EncryptionBlock). False when the algorithm has no bulk pass.
    virtual bool CtrBlocks(uint8_t*, size_t) { return false; }

    TCipherMode FMode = cmCTS;
    std::unique_ptr<THash> FHash;
    THashClass FHashClass = &THash_RipeMD256::Class;
    int32_t FKeySize, FBufSize, FUserSize;
    std::vector<uint8_t> FBuffer, FVector, FFeedback, FUser;
    uint32_t FFlags = 0;
    int32_t ctrMode_Position;
    std::vector<uint8_t> ctrMode_EncryptionBlock, ctrMode_Nonce;

private:
    void CheckInitialized() const;
    void EncodeCTS(const uint8_t* s, uint8_t* d, int32_t n, bool chainOnly);
    void EncodeCBC(const uint8_t* s, uint8_t* d, int32_t n, bool chainOnly);
    void EncodeCFB(const uint8_t* s, uint8_t* d, int32_t n, bool chainOnly);
    void DecodeCTS(const uint8_t* s, uint8_t* d, int32_t n);
    void DecodeCBC(const uint8_t* s, uint8_t* d, int32_t n);
    void DecodeCFB(const uint8_t* s, uint8_t* d, int32_t n);
    void CodeOFB(const uint8_t* s, uint8_t* d, int32_t n);
    void CodeECB(const uint8_t* s, uint8_t* d, int32_t n, bool decode);
    void PartialBlock(const uint8_t* s, uint8_t* d, int32_t n);
    void CodeCTR(const uint8_t* s, uint8_t* d, int32_t n);
};

class TCipher_Rijndael : public TCipher {
public:
    // The constructor the AES transform uses: keys the cipher with InitKey
    // when key is not empty, which replaces key by its encoding.
    TCipher_Rijndael(std::vector<uint8_t>& key, uint16_t keyLength);
    // Keys the cipher from a text password through the hash class.
    TCipher_Rijndael(const std::string& Password, std::shared_ptr<TProtection> AProtection);
    TCipher_Rijndael();

    std::u16string ClassName() const override { return u"TCipher_Rijndael"; }
    static TCipherSizes QueryCipherSizes() { return {16, 32, 480}; }
    static int32_t MaxKeySize() { return QueryCipherSizes().KeySize; }

    void Init(const void* Key, int32_t Size, const void* IVector) override;
    void EncodeBlock(uint8_t* Block) override;
    void DecodeBlock(uint8_t* Block) override;
    int32_t Rounds() const { return FRounds; }

protected:
    bool CtrBlocks(uint8_t* data, size_t blocks) override;

private:
    int32_t FRounds = 10;
};

// The cipher classes known to the framework (TCipher_Rijndael).
struct TCipherClassInfo {
    const char16_t* ClassName;
    std::unique_ptr<TCipher> (*Create)();
};
const std::vector<TCipherClassInfo>& CipherClasses();

} // namespace za

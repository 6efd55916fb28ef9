// The per-entry encryption transform interface: turns the archive password
// into key material, checks a password against the entry, reads (or makes)
// the blocks stored before and after the entry's data, decrypts (or
// encrypts) the data chunk by chunk with a running authentication code, and
// gives the verdict on the entry. One object per entry.
//
// The only implementation is TAESCryptoTransform (ZAAESCryptoTransform.h);
// PKZIP classic entries have no transform (see ZipCrypt.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace za {

class TStream;

enum TCryptoTransformMode : uint8_t { Encryption = 0, Decryption = 1 };

// What a transform needs to know of an entry's directory item. The archive
// layer fills it from TDirItem: Crc32 = CentralDir.crc32.
struct TZACryptoItemInfo {
    uint32_t Crc32 = 0;
};

// An extra field block for the entry's headers (writing side); the archive
// layer turns it into its TZAExtraFieldDataBlock.
struct TZACryptoExtraField {
    uint16_t headerID = 0;
    uint16_t dataSize = 0;
    std::vector<uint8_t> pData; // dataSize bytes
};

class TZACryptoTransform {
public:
    TZACryptoTransform() = default;
    virtual ~TZACryptoTransform() = default;
    TZACryptoTransform(const TZACryptoTransform&) = delete;
    TZACryptoTransform& operator=(const TZACryptoTransform&) = delete;

    // Remembers the password and derives all key material from it (with the
    // salt already held when decrypting, else a new random salt). Restarts
    // the cipher and the authentication code.
    virtual void GenerateKey(const std::string& Password) = 0;
    // True when Password yields the verification value loaded with the
    // start block. Changes no key, cipher or authentication state.
    virtual bool CheckPassword(const std::string& Password, const TZACryptoItemInfo& Item) = 0;
    // The transform's encryption-key buffer (owned by the transform).
    virtual const uint8_t* GetKey() = 0;
    virtual std::string GetPassword() const = 0;
    virtual void Initialize(TCryptoTransformMode Mode, const TZACryptoItemInfo& Item) {
        (void)Item;
        FTransformMode = Mode;
    }
    // Forgets the password and all key material.
    virtual void Reset() = 0;
    // Authenticates and decrypts InputCount bytes from InputBuffer+inputOffset
    // into OutputBuffer+OutputOffset (the two may be the same bytes).
    // Returns InputCount.
    virtual int32_t DecryptBuffer(const uint8_t* InputBuffer, int32_t inputOffset,
                                  int32_t InputCount, uint8_t* OutputBuffer,
                                  int32_t OutputOffset) = 0;
    virtual int32_t EncryptBuffer(const uint8_t* InputBuffer, int32_t InputOffset,
                                  int32_t InputCount, uint8_t* OutputBuffer,
                                  int32_t OutputOffset) = 0;
    // New buffers owned by the caller.
    virtual std::vector<uint8_t> GetFileStorageStartBlock() = 0;
    // Moves Stream by Offset from its position, reads the start block with
    // the stream's plain read (a short read raises nothing) and derives the
    // keys again from it and the remembered password.
    virtual void LoadFileStorageStartBlock(TStream& Stream, int64_t Offset) = 0;
    virtual int32_t GetFileStorageStartBlockSize() = 0;
    // Closes the authentication code and returns the block after the data.
    virtual std::vector<uint8_t> GetFileStorageEndBlock() = 0;
    virtual void LoadFileStorageEndBlock(TStream& Stream, int64_t Offset) = 0;
    virtual int32_t GetFileStorageEndBlockSize() = 0;
    // The verdict on the entry just processed: true means corrupted.
    virtual bool IsDirItemCorrupted(const TZACryptoItemInfo& Item, uint32_t Crc32) = 0;
    virtual TZACryptoExtraField GetExtraFieldData() = 0;

    TCryptoTransformMode TransformMode() const { return FTransformMode; }

protected:
    TCryptoTransformMode FTransformMode = Encryption;
};

} // namespace za

// One archive entry in memory (TDirItem) and the blocks of its extra field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archiver/ZATypes.h"
#include "platform/Stream.h"
#include "zip/ZARecords.h"

namespace za {

// One block of an extra field. pData points to dataSize bytes held by the
// TZAExtraFields the block belongs to (nullptr when dataSize is 0); it stays
// valid as long as any TZAExtraFields sharing that storage exists.
struct TZAExtraFieldDataBlock {
    uint16_t headerID = 0;
    uint16_t dataSize = 0;
    const uint8_t* pData = nullptr;
};

// The blocks of an extra field, in stored order. The blocks and their data
// are immutable and shared: copying a TZAExtraFields (and so a TDirItem)
// shares them, and they are freed when the last holder lets go. Changing a
// TZAExtraFields builds new storage, so copies never see each other's changes
// and no copy can free or change what another one holds.
class TZAExtraFields {
public:
    TZAExtraFields() = default;

    // Splits a raw extra field into blocks: a 2-byte ID, a 2-byte size and
    // the data. A block that claims more data than remains is cut to what
    // remains; 1 to 3 bytes left at the end (too short for a block) are dropped.
    static TZAExtraFields Parse(const uint8_t* data, size_t length);

    size_t size() const { return FStorage ? FStorage->count : 0; }
    bool empty() const { return size() == 0; }
    const TZAExtraFieldDataBlock& operator[](size_t index) const { return begin()[index]; }
    const TZAExtraFieldDataBlock* begin() const { return FStorage ? FStorage->Blocks() : nullptr; }
    const TZAExtraFieldDataBlock* end() const { return begin() + size(); }

    // The first block with this ID, or nullptr.
    const TZAExtraFieldDataBlock* Find(uint16_t headerID) const;

    // Appends a block (its data is copied; at most 65,535 bytes are kept).
    void Add(uint16_t headerID, const void* data, size_t dataSize);
    // Removes the block at index (nothing when index is out of range).
    void Delete(size_t index);
    void Clear() { FStorage.reset(); }

    // The blocks as raw extra field bytes (headers included), and their length.
    std::string ToRaw() const;
    size_t RawSize() const;

    // Whether both hold the very same storage (a copy that was not changed).
    bool SharesStorageWith(const TZAExtraFields& other) const {
        return FStorage != nullptr && FStorage == other.FStorage;
    }

private:
    struct Storage {
        size_t count = 0;
        std::unique_ptr<uint8_t[]> memory; // the blocks, then their data bytes
        TZAExtraFieldDataBlock* Blocks() const {
            return reinterpret_cast<TZAExtraFieldDataBlock*>(memory.get());
        }
    };
    struct Part {
        uint16_t headerID;
        uint16_t dataSize;
        const uint8_t* data;
    };
    static std::shared_ptr<const Storage> Build(const Part* parts, size_t count);

    std::shared_ptr<const Storage> FStorage;
};

// ZIP64 values of an entry; a value the block did not supply stays 0.
struct TZAZip64ExtendedInfo {
    int64_t uncompSize = 0;
    int64_t compSize = 0;
    int64_t relOffsetLH = 0;
    uint32_t diskNumberStart = 0;
    friend bool operator==(const TZAZip64ExtendedInfo&, const TZAZip64ExtendedInfo&) = default;
};

// One archive entry. Copies share the extra blocks (see TZAExtraFields) and
// the source stream; every other field is a plain value.
struct TDirItem {
    TZAZipCentralDir
        CentralDir;         // the central header as stored (relOffsetLH may get the stub offset)
    std::u16string Name;    // decoded name, "/" separators as stored
    std::u16string OldName; // writing side: previous name
    std::string Comment;    // entry comment bytes as stored
    TZAExtraFields ExtraFields; // every block of the central extra field
    TZACryptoAlgorithm ZAEncryptionAlgorithm = caPkzipClassic;
    bool bHugeFile = false; // the entry has a ZIP64 block
    TZAZip64ExtendedInfo Zip64ExtInfo;
    bool Modified = false;           // writing side
    std::string Password;            // writing side
    std::shared_ptr<TStream> Stream; // writing side's source stream
    bool bDestroyStream = false;     // the item is the stream's owner
    int32_t Position = 0;            // writing side's start position in Stream
    bool Tagged = false;             // selected by a search or extraction
    std::u16string SrcFileName;      // writing side's source file
    uint16_t CompressionMethod = 0;  // method to decompress with
    uint8_t CompressionMode = 0;     // writing side
    TZAProcessOperation Operation = poAdd;
    bool UseOldRijndael = false;

    // Effective values: the ZIP64 value when the central field holds its marker.
    int64_t EffectiveCompSize() const {
        return CentralDir.compSize == Zip64Marker32 ? Zip64ExtInfo.compSize
                                                    : int64_t{CentralDir.compSize};
    }
    int64_t EffectiveUncompSize() const {
        return CentralDir.unCompSize == Zip64Marker32 ? Zip64ExtInfo.uncompSize
                                                      : int64_t{CentralDir.unCompSize};
    }
    int64_t EffectiveRelOffsetLH() const {
        return CentralDir.relOffsetLH == Zip64Marker32 ? Zip64ExtInfo.relOffsetLH
                                                       : int64_t{CentralDir.relOffsetLH};
    }
    uint32_t EffectiveDiskNumberStart() const {
        return CentralDir.diskNumberStart == Zip64Marker16 ? Zip64ExtInfo.diskNumberStart
                                                           : uint32_t{CentralDir.diskNumberStart};
    }
    bool IsEncrypted() const { return (CentralDir.genPurposeFlag & gpfEncrypted) != 0; }
    bool IsFolder() const { return (CentralDir.externalAttr & ZipAttrDirectory) != 0; }
    bool IsOwnVariant() const { return CentralDir.extractVersion >= OwnVariantExtractVersion; }
};

} // namespace za

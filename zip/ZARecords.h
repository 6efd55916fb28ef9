// On-disk ZIP records. Every record is read from and written to raw bytes
// field by field in little-endian order, so nothing depends on the layout or
// alignment of these structs in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace za {

// Little-endian access to unaligned bytes.
inline uint16_t GetLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetLE64(const uint8_t* p) {
    return static_cast<uint64_t>(GetLE32(p)) | (static_cast<uint64_t>(GetLE32(p + 4)) << 32);
}
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLE64(uint8_t* p, uint64_t v) {
    PutLE32(p, static_cast<uint32_t>(v));
    PutLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Signatures.
constexpr uint32_t ZipLocalHeaderSignature = 0x04034B50;
constexpr uint32_t ZipCentralHeaderSignature = 0x02014B50;
constexpr uint32_t ZipCentralDirEndSignature = 0x06054B50;
constexpr uint32_t Zip64CentralDirEndSignature = 0x06064B50;
constexpr uint32_t Zip64CentralDirEndLocatorSignature = 0x07064B50;
constexpr uint32_t ZipDataDescriptorSignature = 0x08074B50;

// Markers of values held in the ZIP64 extended information block.
constexpr uint32_t Zip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t Zip64Marker16 = 0xFFFF;

// Extra field header IDs the loader interprets.
constexpr uint16_t Zip64ExtraID = 0x0001;
constexpr uint16_t AesExtraID = 0x9901;
constexpr uint16_t UnicodeNameExtraID = 0x554E;

// extractVersion from this value up marks the archiver's own container variant.
constexpr uint16_t OwnVariantExtractVersion = 0x4114;

// General-purpose flag bits.
constexpr uint16_t gpfEncrypted = 0x0001;
constexpr uint16_t gpfDataDescriptor = 0x0008;
constexpr uint16_t gpfUtf8 = 0x0800;

// Compression methods met by the reading side.
constexpr uint16_t cmStored = 0;
constexpr uint16_t cmDeflate = 8;
constexpr uint16_t cmDeflate64 = 9;
constexpr uint16_t cmAes = 99;

// MS-DOS attribute bits in the low byte of externalAttr.
constexpr uint32_t ZipAttrDirectory = 0x10;
constexpr uint32_t ZipAttrArchive = 0x20;

// Local file header (30 bytes; the name and the local extra field follow).
struct TZAZipLocalHeader {
    static constexpr size_t Size = 30;
    uint32_t signature = 0;
    uint16_t extractVersion = 0;
    uint16_t genPurposeFlag = 0;
    uint16_t compMethod = 0;
    uint16_t lastModTime = 0;
    uint16_t lastModDate = 0;
    uint32_t crc32 = 0;
    uint32_t compSize = 0;
    uint32_t unCompSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;

    static TZAZipLocalHeader Parse(const uint8_t* p);
    void Store(uint8_t* p) const;
};

// Central directory file header (46 bytes; name, extra field and comment follow).
struct TZAZipCentralDir {
    static constexpr size_t Size = 46;
    uint32_t signature = 0;
    uint16_t versionMadeBy = 0;
    uint16_t extractVersion = 0;
    uint16_t genPurposeFlag = 0;
    uint16_t compMethod = 0;
    uint16_t lastModTime = 0;
    uint16_t lastModDate = 0;
    uint32_t crc32 = 0;
    uint32_t compSize = 0;
    uint32_t unCompSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttr = 0;
    uint32_t externalAttr = 0;
    uint32_t relOffsetLH = 0;

    static TZAZipCentralDir Parse(const uint8_t* p);
    void Store(uint8_t* p) const;
    friend bool operator==(const TZAZipCentralDir&, const TZAZipCentralDir&) = default;
};

// End of central directory record (22 bytes; the archive comment follows).
struct TZAZipCentralDirEnd {
    static constexpr size_t Size = 22;
    uint32_t signature = 0;
    uint16_t diskNumber = 0;
    uint16_t startDiskNumber = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t entriesCentralDir = 0;
    uint32_t centralDirSize = 0;
    uint32_t offsetStartDir = 0;
    uint16_t commentLength = 0;

    static TZAZipCentralDirEnd Parse(const uint8_t* p);
    void Store(uint8_t* p) const;
    friend bool operator==(const TZAZipCentralDirEnd&, const TZAZipCentralDirEnd&) = default;
};

// ZIP64 end of central directory record: the 56 bytes the loader reads
// (extensible data that a writer appends is not read).
struct TZAZip64CentralDirEnd {
    static constexpr size_t Size = 56;
    uint32_t signature = 0;
    uint64_t centralDirEndSize = 0;
    uint16_t versionMadeBy = 0;
    uint16_t versionNeededToExtract = 0;
    uint32_t diskNumber = 0;
    uint32_t startDiskNumber = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t entriesCentralDir = 0;
    uint64_t centralDirSize = 0;
    uint64_t offsetStartDir = 0;

    static TZAZip64CentralDirEnd Parse(const uint8_t* p);
    void Store(uint8_t* p) const;
    friend bool operator==(const TZAZip64CentralDirEnd&, const TZAZip64CentralDirEnd&) = default;
};

// ZIP64 end of central directory locator (20 bytes, right before the end record).
struct TZAZip64CentralDirEndLocator {
    static constexpr size_t Size = 20;
    uint32_t signature = 0;
    uint32_t startDiskNumber = 0;
    uint64_t offsetStartDirEnd = 0;
    uint32_t totalNumberOfDisks = 0;

    static TZAZip64CentralDirEndLocator Parse(const uint8_t* p);
    void Store(uint8_t* p) const;
    friend bool operator==(const TZAZip64CentralDirEndLocator&,
                           const TZAZip64CentralDirEndLocator&) = default;
};

// Data descriptor with signature and 4-byte sizes (16 bytes).
struct TZAZipDataDescriptor {
    static constexpr size_t Size = 16;
    uint32_t signature = 0;
    uint32_t crc32 = 0;
    uint32_t compSize = 0;
    uint32_t unCompSize = 0;

    static TZAZipDataDescriptor Parse(const uint8_t* p);
    void Store(uint8_t* p) const;
};

} // namespace za

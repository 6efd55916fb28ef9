// Test-only ZIP archive builder: makes archive bytes in memory with full
// control over every record, including broken ones.
//
//   using namespace za::test;
//   std::string zip = ZipBuilder()
//                         .Add(ZipEntry::Deflated("a.txt", "hello"))
//                         .Add(ZipEntry::Folder("dir/"))
//                         .Comment("archive comment")
//                         .Build();
//
// Every entry gets a local header, its data (stored, or raw Deflate made with
// zlib), an optional data descriptor and a central header; then come the
// optional ZIP64 end record and locator and the end of central directory
// record with the comment. Overrides change single fields after the real
// values were computed, so that wrong counts, sizes and offsets are easy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace za::test {

// Standard ZIP CRC-32.
uint32_t Crc32(std::string_view data);
// Raw Deflate (no zlib header) of data, and back.
std::string DeflateRaw(std::string_view data, int level = 6);
std::string InflateRaw(std::string_view data, size_t expectedSize);

// Little-endian helpers for hand-made records.
std::string LE16(uint16_t v);
std::string LE32(uint32_t v);
std::string LE64(uint64_t v);

// ---- extra field blocks (each returns the block with its 4-byte header)
std::string ExtraBlock(uint16_t headerID, std::string_view data);
// A block whose size field claims claimedSize bytes while data is what follows.
std::string ExtraBlockClaiming(uint16_t headerID, uint16_t claimedSize, std::string_view data);
// ZIP64 extended information: the values given, in the format's order.
std::string Zip64Extra(std::optional<uint64_t> uncompSize, std::optional<uint64_t> compSize,
                       std::optional<uint64_t> relOffset = {},
                       std::optional<uint32_t> diskNumber = {});
// WinZip AES block (0x9901): vendor version, "AE", strength 1/2/3, actual method.
std::string AesExtra(uint8_t strength, uint16_t actualMethod, uint16_t vendorVersion = 2,
                     std::string_view vendorId = "AE");
// The archiver's own Unicode name block (0x554E); count defaults to the length.
std::string UnicodeNameExtra(std::u16string_view name, uint32_t signature = 0x5843554E,
                             std::optional<int32_t> count = {});
// Info-ZIP Unicode Path block (0x7075): version, CRC-32 of the stored name, UTF-8 name.
std::string UnicodePathExtra(std::string_view utf8Name, std::string_view storedName);

struct ZipEntry {
    std::string name;    // stored name bytes
    std::string content; // uncompressed data
    // 0 stores content, 8 deflates it; any other method writes `raw` (or content) as is.
    uint16_t method = 0;
    std::optional<std::string> raw; // the stored data as written, replacing the compressed content
    uint16_t flags = 0;
    uint16_t versionMadeBy = 20;
    uint16_t versionNeeded = 20;
    uint16_t time = 0x7A5B; // 15:18:54
    uint16_t date = 0x5A8E; // 2025-04-14
    uint16_t internalAttr = 0;
    uint32_t externalAttr = 0x20;
    std::string comment;
    std::string localExtra;   // raw local extra field
    std::string centralExtra; // raw central extra field

    // Bit 3: zeros for CRC and sizes in the local header, a data descriptor after the data.
    bool dataDescriptor = false;
    bool descriptorSignature = true;
    bool keepLocalSizes = false; // keep the real values in the local header anyway

    // ZIP64: markers in the 32-bit size and offset fields and a ZIP64 block in
    // both headers (placed in front of the other extra blocks).
    bool zip64 = false;

    // Central header fields forced after the real values were computed.
    std::optional<uint32_t> crc;
    std::optional<uint32_t> compSize;
    std::optional<uint32_t> uncompSize;
    std::optional<uint32_t> relOffset;
    std::optional<uint16_t> diskNumberStart;
    std::optional<uint16_t> centralExtractVersion;
    std::optional<uint16_t> centralNameLength;  // stored name length (the name bytes stay)
    std::optional<uint16_t> centralExtraLength; // stored extra length (the bytes stay)
    // Local header fields forced likewise.
    std::optional<uint32_t> localCrc;
    std::optional<uint32_t> localCompSize;
    std::optional<uint32_t> localUncompSize;
    std::optional<uint16_t> localExtraLength;
    // Skip the local header and data entirely (only the central header is written).
    bool omitLocal = false;

    static ZipEntry Stored(std::string name, std::string content);
    static ZipEntry Deflated(std::string name, std::string content);
    static ZipEntry Folder(std::string name); // stored, empty, external attributes 0x10
};

// Where the builder put each record (absolute positions in the built bytes).
struct ZipLayout {
    std::vector<int64_t> localHeaders;
    std::vector<int64_t> localHeaderSizes; // header, name and extra field
    std::vector<int64_t> centralHeaders;
    std::vector<int64_t> centralHeaderSizes; // header, name, extra field and comment
    int64_t centralDirOffset = 0;
    int64_t centralDirSize = 0;
    int64_t zip64EndOffset = -1;
    int64_t locatorOffset = -1;
    int64_t endRecordOffset = -1;
    int64_t size = 0;
};

class ZipBuilder {
public:
    ZipBuilder& Add(ZipEntry entry);
    ZipBuilder& AddStored(std::string name, std::string content) {
        return Add(ZipEntry::Stored(std::move(name), std::move(content)));
    }
    ZipBuilder& AddDeflated(std::string name, std::string content) {
        return Add(ZipEntry::Deflated(std::move(name), std::move(content)));
    }
    ZipBuilder& Comment(std::string comment);
    // Bytes in front of the archive. With offsetsIncludeStub the stored
    // offsets count them (as an adjusted self-extractor), else they count
    // from the first local header.
    ZipBuilder& Stub(std::string bytes, bool offsetsIncludeStub);
    // Bytes written between the last entry and the central directory.
    ZipBuilder& Gap(std::string bytes);
    // Write the ZIP64 end record and locator, with markers in the end record.
    // extensible: bytes appended to the ZIP64 end record (its size field counts them).
    ZipBuilder& Zip64(std::string extensible = {});
    // Keep the real values in the end record even with ZIP64 records.
    ZipBuilder& Zip64KeepEndValues();
    // Bytes after the comment.
    ZipBuilder& Trailing(std::string bytes);
    // No end of central directory record (and no comment) at all.
    ZipBuilder& OmitEndRecord();
    // No central directory headers (the end record still counts the entries).
    ZipBuilder& OmitCentralDirectory();

    // End record fields forced after the real values were computed.
    struct EndOverrides {
        std::optional<uint16_t> diskNumber, startDiskNumber, entriesOnDisk, entriesCentralDir,
            commentLength;
        std::optional<uint32_t> centralDirSize, offsetStartDir;
    };
    EndOverrides& End() { return FEnd; }
    // ZIP64 record and locator fields forced likewise.
    struct Zip64Overrides {
        std::optional<uint32_t> diskNumber, startDiskNumber, totalNumberOfDisks, locatorSignature,
            recordSignature;
        std::optional<uint64_t> entriesOnDisk, entriesCentralDir, centralDirSize, offsetStartDir,
            offsetStartDirEnd, centralDirEndSize;
    };
    Zip64Overrides& Zip64Fields() { return FZip64Fields; }

    std::string Build(ZipLayout* layout = nullptr) const;

    // The archive cut into volumes of at most volumeSize bytes, with volume
    // numbers and volume-relative offsets in the central headers and the end
    // record, as a split writer stores them. Like such a writer it never cuts
    // a header (local or central) or the end records: a volume ends early
    // instead. Entry data is cut anywhere. ZIP64 entries are not supported.
    // With splitMarker the first volume starts with the 4-byte split
    // signature 50 4B 07 08.
    std::vector<std::string> BuildSplit(size_t volumeSize, bool splitMarker = false) const;

private:
    std::vector<ZipEntry> FEntries;
    std::string FComment;
    std::string FStub;
    bool FStubCounted = false;
    std::string FGap;
    bool FZip64 = false;
    bool FZip64KeepEnd = false;
    std::string FZip64Extensible;
    std::string FTrailing;
    bool FOmitEnd = false;
    bool FOmitCentral = false;
    EndOverrides FEnd;
    Zip64Overrides FZip64Fields;
};

} // namespace za::test

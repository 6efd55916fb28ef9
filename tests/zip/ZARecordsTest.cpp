// On-disk records: field offsets and little-endian order, and the extra
// field blocks with their shared storage.
#include <gtest/gtest.h>

#include "tests/support/ZipBuilder.h"
#include "zip/ZADirItem.h"
#include "zip/ZARecords.h"

namespace za {
namespace {

using test::LE16;
using test::LE32;
using test::LE64;

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(ZipRecords, CentralHeaderFieldsAtTheirOffsets) {
    const std::string raw = LE32(0x02014B50) + LE16(0x0314) + LE16(0x0014) + LE16(0x0809) +
                            LE16(8) + LE16(0x1122) + LE16(0x3344) + LE32(0xDEADBEEF) +
                            LE32(0x01020304) + LE32(0x05060708) + LE16(11) + LE16(22) + LE16(33) +
                            LE16(0xFFFF) + LE16(1) + LE32(0x81A40020) + LE32(0xFFFFFFFF);
    ASSERT_EQ(raw.size(), TZAZipCentralDir::Size);
    const auto cd = TZAZipCentralDir::Parse(Bytes(raw));
    EXPECT_EQ(cd.signature, 0x02014B50u);
    EXPECT_EQ(cd.versionMadeBy, 0x0314);
    EXPECT_EQ(cd.extractVersion, 0x0014);
    EXPECT_EQ(cd.genPurposeFlag, 0x0809);
    EXPECT_EQ(cd.compMethod, 8);
    EXPECT_EQ(cd.lastModTime, 0x1122);
    EXPECT_EQ(cd.lastModDate, 0x3344);
    EXPECT_EQ(cd.crc32, 0xDEADBEEFu);
    EXPECT_EQ(cd.compSize, 0x01020304u);
    EXPECT_EQ(cd.unCompSize, 0x05060708u);
    EXPECT_EQ(cd.nameLength, 11);
    EXPECT_EQ(cd.extraLength, 22);
    EXPECT_EQ(cd.commentLength, 33);
    EXPECT_EQ(cd.diskNumberStart, 0xFFFF);
    EXPECT_EQ(cd.internalAttr, 1);
    EXPECT_EQ(cd.externalAttr, 0x81A40020u);
    EXPECT_EQ(cd.relOffsetLH, 0xFFFFFFFFu);
    std::string back(TZAZipCentralDir::Size, '\0');
    cd.Store(reinterpret_cast<uint8_t*>(back.data()));
    EXPECT_EQ(back, raw);
}

TEST(ZipRecords, EndRecordsRoundTrip) {
    const std::string end = LE32(0x06054B50) + LE16(3) + LE16(2) + LE16(7) + LE16(9) +
                            LE32(0x11223344) + LE32(0x55667788) + LE16(0xABCD);
    const auto e = TZAZipCentralDirEnd::Parse(Bytes(end));
    EXPECT_EQ(e.diskNumber, 3);
    EXPECT_EQ(e.startDiskNumber, 2);
    EXPECT_EQ(e.entriesOnDisk, 7);
    EXPECT_EQ(e.entriesCentralDir, 9);
    EXPECT_EQ(e.centralDirSize, 0x11223344u);
    EXPECT_EQ(e.offsetStartDir, 0x55667788u);
    EXPECT_EQ(e.commentLength, 0xABCD);

    const std::string z = LE32(0x06064B50) + LE64(44) + LE16(45) + LE16(46) + LE32(5) + LE32(4) +
                          LE64(0x100000001ull) + LE64(0x200000002ull) + LE64(0x300000003ull) +
                          LE64(0x400000004ull);
    ASSERT_EQ(z.size(), TZAZip64CentralDirEnd::Size);
    const auto z64 = TZAZip64CentralDirEnd::Parse(Bytes(z));
    EXPECT_EQ(z64.centralDirEndSize, 44u);
    EXPECT_EQ(z64.versionMadeBy, 45);
    EXPECT_EQ(z64.versionNeededToExtract, 46);
    EXPECT_EQ(z64.diskNumber, 5u);
    EXPECT_EQ(z64.startDiskNumber, 4u);
    EXPECT_EQ(z64.entriesOnDisk, 0x100000001ull);
    EXPECT_EQ(z64.entriesCentralDir, 0x200000002ull);
    EXPECT_EQ(z64.centralDirSize, 0x300000003ull);
    EXPECT_EQ(z64.offsetStartDir, 0x400000004ull);
    std::string back(z.size(), '\0');
    z64.Store(reinterpret_cast<uint8_t*>(back.data()));
    EXPECT_EQ(back, z);

    const std::string loc = LE32(0x07064B50) + LE32(1) + LE64(0x123456789Aull) + LE32(3);
    const auto l = TZAZip64CentralDirEndLocator::Parse(Bytes(loc));
    EXPECT_EQ(l.startDiskNumber, 1u);
    EXPECT_EQ(l.offsetStartDirEnd, 0x123456789Aull);
    EXPECT_EQ(l.totalNumberOfDisks, 3u);
}

TEST(ZipRecords, LocalHeaderAndDescriptor) {
    const std::string lh = LE32(0x04034B50) + LE16(20) + LE16(8) + LE16(8) + LE16(1) + LE16(2) +
                           LE32(3) + LE32(4) + LE32(5) + LE16(6) + LE16(7);
    ASSERT_EQ(lh.size(), TZAZipLocalHeader::Size);
    const auto h = TZAZipLocalHeader::Parse(Bytes(lh));
    EXPECT_EQ(h.extractVersion, 20);
    EXPECT_EQ(h.genPurposeFlag, 8);
    EXPECT_EQ(h.crc32, 3u);
    EXPECT_EQ(h.compSize, 4u);
    EXPECT_EQ(h.unCompSize, 5u);
    EXPECT_EQ(h.nameLength, 6);
    EXPECT_EQ(h.extraLength, 7);
    const std::string dd = LE32(0x08074B50) + LE32(1) + LE32(2) + LE32(3);
    const auto d = TZAZipDataDescriptor::Parse(Bytes(dd));
    EXPECT_EQ(d.crc32, 1u);
    EXPECT_EQ(d.compSize, 2u);
    EXPECT_EQ(d.unCompSize, 3u);
}

struct ExtraWalkCase {
    const char* what;
    std::string raw;
    std::vector<std::pair<uint16_t, std::string>> blocks;
};

TEST(ZipExtraFields, WalkClipsAndDropsShortTails) {
    const std::vector<ExtraWalkCase> cases = {
        {"empty", "", {}},
        {"one block", test::ExtraBlock(0x5455, "abc"), {{0x5455, "abc"}}},
        {"two blocks, empty data",
         test::ExtraBlock(0x000A, "") + test::ExtraBlock(0x7875, "xy"),
         {{0x000A, ""}, {0x7875, "xy"}}},
        {"size claims more than remains",
         test::ExtraBlockClaiming(0x1234, 100, "abcd"),
         {{0x1234, "abcd"}}},
        {"1 to 3 bytes left over", test::ExtraBlock(0x1111, "z") + "\x01\x02\x03", {{0x1111, "z"}}},
        {"only a header", test::LE16(0x2222) + test::LE16(0), {{0x2222, ""}}},
        {"too short for a header", "\x01\x02\x03", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto fields = TZAExtraFields::Parse(Bytes(c.raw), c.raw.size());
        ASSERT_EQ(fields.size(), c.blocks.size());
        for (size_t i = 0; i < c.blocks.size(); ++i) {
            EXPECT_EQ(fields[i].headerID, c.blocks[i].first);
            ASSERT_EQ(fields[i].dataSize, c.blocks[i].second.size());
            if (fields[i].dataSize == 0)
                EXPECT_EQ(fields[i].pData, nullptr);
            else
                EXPECT_EQ(
                    std::string(reinterpret_cast<const char*>(fields[i].pData), fields[i].dataSize),
                    c.blocks[i].second);
        }
    }
}

TEST(ZipExtraFields, CopiesShareAndChangesNeverLeakIntoCopies) {
    const std::string raw = test::ExtraBlock(0x0001, "12345678") + test::ExtraBlock(0x5455, "t");
    TDirItem item;
    item.ExtraFields = TZAExtraFields::Parse(Bytes(raw), raw.size());
    TDirItem copy = item;
    EXPECT_TRUE(copy.ExtraFields.SharesStorageWith(item.ExtraFields));
    EXPECT_EQ(copy.ExtraFields[0].pData, item.ExtraFields[0].pData);

    copy.ExtraFields.Add(0x9999, "new", 3);
    EXPECT_EQ(item.ExtraFields.size(), 2u);
    EXPECT_EQ(copy.ExtraFields.size(), 3u);
    EXPECT_FALSE(copy.ExtraFields.SharesStorageWith(item.ExtraFields));
    EXPECT_EQ(copy.ExtraFields.ToRaw(), raw + test::ExtraBlock(0x9999, "new"));

    // A copy outlives the original: its data stays valid.
    const uint8_t* data = item.ExtraFields[1].pData;
    TDirItem keep = item;
    item = TDirItem{};
    EXPECT_EQ(keep.ExtraFields[1].pData, data);
    EXPECT_EQ(keep.ExtraFields[1].pData[0], 't');

    keep.ExtraFields.Delete(0);
    ASSERT_EQ(keep.ExtraFields.size(), 1u);
    EXPECT_EQ(keep.ExtraFields[0].headerID, 0x5455);
    EXPECT_NE(keep.ExtraFields.Find(0x5455), nullptr);
    EXPECT_EQ(keep.ExtraFields.Find(0x0001), nullptr);
}

TEST(ZipDirItem, EffectiveValuesFollowTheMarkers) {
    TDirItem item;
    item.CentralDir.compSize = 10;
    item.CentralDir.unCompSize = 20;
    item.CentralDir.relOffsetLH = 30;
    item.CentralDir.diskNumberStart = 2;
    item.Zip64ExtInfo = {100, 200, 300, 4};
    EXPECT_EQ(item.EffectiveCompSize(), 10);
    EXPECT_EQ(item.EffectiveUncompSize(), 20);
    EXPECT_EQ(item.EffectiveRelOffsetLH(), 30);
    EXPECT_EQ(item.EffectiveDiskNumberStart(), 2u);
    item.CentralDir.compSize = item.CentralDir.unCompSize = item.CentralDir.relOffsetLH =
        0xFFFFFFFF;
    item.CentralDir.diskNumberStart = 0xFFFF;
    EXPECT_EQ(item.EffectiveCompSize(), 200);
    EXPECT_EQ(item.EffectiveUncompSize(), 100);
    EXPECT_EQ(item.EffectiveRelOffsetLH(), 300);
    EXPECT_EQ(item.EffectiveDiskNumberStart(), 4u);
}

} // namespace
} // namespace za

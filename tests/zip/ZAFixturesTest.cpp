// Archives made by other tools (tests/fixtures/zip, see make_fixtures.sh):
// the loaded directory lists what Python's zipfile lists for them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/CodePage.h"
#include "platform/Path.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestHost.h"
#include "zip/ZARecords.h"

namespace za {
namespace {

struct Listed {
    std::string file;
    int index = 0;
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t size = 0;
    uint32_t external = 0;
};

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<Listed> ReadListing() {
    std::ifstream in(std::string(ZA_ZIP_FIXTURES_DIR) + "/listing.tsv");
    std::vector<Listed> rows;
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string f[9];
        for (auto& field : f)
            std::getline(s, field, '\t');
        rows.push_back({f[0], std::stoi(f[1]), FromHex(f[2]),
                        static_cast<uint16_t>(std::stoul(f[3], nullptr, 16)),
                        static_cast<uint16_t>(std::stoul(f[4])),
                        static_cast<uint32_t>(std::stoul(f[5], nullptr, 16)), std::stoull(f[6]),
                        std::stoull(f[7]), static_cast<uint32_t>(std::stoul(f[8], nullptr, 16))});
    }
    return rows;
}

std::string Fixture(const std::string& file) {
    return test::ReadFileBytes(std::string(ZA_ZIP_FIXTURES_DIR) + "/" + file);
}

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<uint8_t>(c) >= 0x80)
            return false;
    return true;
}

class ZipFixtures : public ::testing::Test {
protected:
    void SetUp() override {
        oldOem = OemCodePage();
        oldAnsi = AnsiCodePage();
        ASSERT_TRUE(SetCodePages(866, 1251));
        listing = ReadListing();
        ASSERT_GT(listing.size(), 20u);
    }
    void TearDown() override { SetCodePages(oldOem, oldAnsi); }
    uint16_t oldOem = 0, oldAnsi = 0;
    std::vector<Listed> listing;
};

TEST_F(ZipFixtures, DirectoryMatchesTheToolsListing) {
    // Names that are neither ASCII nor flagged UTF-8, read with OEMFileNames on.
    const std::map<std::string, std::u16string> oemNames = {
        {"cp866.zip", U("Привет.txt")},
    };
    std::map<std::string, int> counts;
    for (const auto& row : listing)
        ++counts[row.file];
    for (const auto& [file, count] : counts) {
        SCOPED_TRACE(file);
        test::LoadedArchive a(Fixture(file));
        a.host.openCorrupted = false;
        auto& dm = a.Load();
        ASSERT_EQ(dm.CDir().Count(), count);
        for (const auto& row : listing) {
            if (row.file != file)
                continue;
            SCOPED_TRACE(row.index);
            const TDirItem& item = dm.CDir().ItemsPtr(row.index);
            if ((row.flags & 0x0800) != 0 || IsAscii(row.name)) {
                EXPECT_EQ(item.Name, FromUtf8(row.name));
            } else if (oemNames.count(file) != 0) {
                EXPECT_EQ(item.Name, oemNames.at(file));
            }
            EXPECT_EQ(item.CentralDir.genPurposeFlag, row.flags);
            EXPECT_EQ(item.CompressionMethod, row.method);
            EXPECT_EQ(item.CentralDir.crc32, row.crc);
            EXPECT_EQ(static_cast<uint64_t>(item.EffectiveCompSize()), row.compressed);
            EXPECT_EQ(static_cast<uint64_t>(item.EffectiveUncompSize()), row.size);
            EXPECT_EQ(item.CentralDir.externalAttr, row.external);
            // Wherever the stub went, each offset leads to the entry's local header.
            const int64_t at = item.EffectiveRelOffsetLH();
            ASSERT_LT(at + 4, static_cast<int64_t>(a.bytes.size()));
            EXPECT_EQ(a.bytes.substr(static_cast<size_t>(at), 4), std::string("PK\x03\x04", 4));
        }
    }
}

TEST_F(ZipFixtures, Specifics) {
    {
        test::LoadedArchive a(Fixture("comment.zip"));
        EXPECT_EQ(a.Load().ArchiveComment(), "This is the archive comment.");
    }
    {
        test::LoadedArchive a(Fixture("comment65535.zip"));
        const std::string& c = a.Load().ArchiveComment();
        ASSERT_EQ(c.size(), 65535u);
        for (size_t i = 0; i < c.size(); i += 4099)
            EXPECT_EQ(static_cast<uint8_t>(c[i]), (i * 7) % 251);
    }
    for (const char* f : {"stub-unadjusted.zip", "stub-adjusted.zip"}) {
        SCOPED_TRACE(f);
        test::LoadedArchive a(Fixture(f));
        auto& dm = a.Load();
        EXPECT_EQ(dm.StubSize(), 1000);
        EXPECT_TRUE(dm.IsSFXArchive());
        EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 1000u);
    }
    {
        test::LoadedArchive a(Fixture("zip64-fz.zip"));
        auto& dm = a.Load();
        EXPECT_TRUE(dm.Zip64());
        EXPECT_EQ(dm.Zip64CentralDirEnd().entriesCentralDir, 2u);
        EXPECT_TRUE(dm.CDir().ItemsPtr(0).bHugeFile);
    }
    {
        test::LoadedArchive a(Fixture("datadesc.zip"));
        auto& dm = a.Load();
        EXPECT_EQ(dm.CDir().ItemsPtr(0).Name, u"-");
        EXPECT_NE(dm.CDir().ItemsPtr(0).CentralDir.genPurposeFlag & 0x0008, 0);
    }
    {
        test::LoadedArchive a(Fixture("utf8-noflag.zip"));
        a.host.oemFileNames = false;
        EXPECT_EQ(a.Load().CDir().ItemsPtr(0).Name, U("Привет.txt"));
        a.host.oemFileNames = true;
        a.manager->LoadDir();
        EXPECT_NE(a.manager->CDir().ItemsPtr(0).Name, U("Привет.txt"));
    }
    {
        test::LoadedArchive a(Fixture("folders.zip"));
        auto& dm = a.Load();
        int32_t no;
        EXPECT_TRUE(dm.CDir().FileExists(u"DIR/SUB/deep.TXT", no));
        EXPECT_EQ(no, 3);
        EXPECT_TRUE(dm.CDir().ItemsPtr(1).IsFolder());
    }
}

TEST_F(ZipFixtures, RebuildFromLocalHeadersFindsTheSameEntries) {
    std::map<std::string, std::vector<const Listed*>> byFile;
    for (const auto& row : listing)
        byFile[row.file].push_back(&row);
    for (const auto& [file, rows] : byFile) {
        SCOPED_TRACE(file);
        std::string bytes = Fixture(file);
        test::LoadedArchive full(bytes);
        const int64_t cut = full.Load().CentralDirOffset();
        test::LoadedArchive a(bytes.substr(0, static_cast<size_t>(cut)));
        auto& dm = a.Load();
        // Local headers whose sizes sit in a ZIP64 block carry 0xFFFFFFFF
        // there, which the rebuild does not take (Info-ZIP zip writing to a
        // pipe, Python's force_zip64).
        std::vector<const Listed*> expected;
        for (const Listed* row : rows) {
            const auto at = static_cast<size_t>(
                full.manager->CDir().ItemsPtr(row->index).EffectiveRelOffsetLH());
            const auto localCompSize = static_cast<uint32_t>(
                GetLE32(reinterpret_cast<const uint8_t*>(bytes.data()) + at + 18));
            if (localCompSize != 0xFFFFFFFF)
                expected.push_back(row);
        }
        ASSERT_EQ(dm.CDir().Count(), static_cast<int32_t>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            const TDirItem& item = dm.CDir().ItemsPtr(static_cast<int32_t>(i));
            if (IsAscii(expected[i]->name)) {
                EXPECT_EQ(item.Name, FromUtf8(expected[i]->name));
            }
            EXPECT_EQ(item.CentralDir.crc32, expected[i]->crc);
            EXPECT_EQ(item.CentralDir.relOffsetLH,
                      full.manager->CDir().ItemsPtr(expected[i]->index).CentralDir.relOffsetLH);
            EXPECT_EQ(item.CentralDir.compSize, expected[i]->compressed);
            EXPECT_EQ(item.CentralDir.unCompSize, expected[i]->size);
            EXPECT_EQ(item.CentralDir.signature, 0x04034B50u);
        }
        EXPECT_EQ(dm.CentralDirOffset(), cut);
    }
}

} // namespace
} // namespace za

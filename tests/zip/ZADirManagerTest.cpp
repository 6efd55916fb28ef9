// Loading the central directory: crafted archives and what the loader makes
// of them.
#include <gtest/gtest.h>

#include <functional>

#include "archiver/ZAExcept.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "tests/zip/ZipTestHost.h"

namespace za {
namespace {

using test::ZipBuilder;
using test::ZipEntry;

std::vector<std::u16string> Names(const TZADirManager& dm) {
    std::vector<std::u16string> names;
    for (int32_t i = 0; i < dm.CDir().Count(); ++i)
        names.push_back(dm.CDir().ItemsPtr(i).Name);
    return names;
}

// What a load ended with: 0 for success, the native error of an
// EZAException, or -1 for a platform stream error.
int32_t LoadOutcome(test::LoadedArchive& a) {
    try {
        a.Load();
        return 0;
    } catch (const EZAException& e) {
        return e.NativeError();
    } catch (const EStreamError&) {
        return -1;
    }
}

struct LoadCase {
    const char* what;
    std::function<std::string()> build;
    bool openCorrupted;
    int32_t outcome;
    std::vector<std::u16string> names;
    std::function<void(const TZADirManager&, const std::string&)> check;
};

std::string TwoFiles(ZipBuilder b = ZipBuilder()) {
    return b.AddStored("a.txt", "alpha").AddDeflated("b.txt", std::string(300, 'b')).Build();
}

void RunCases(const std::vector<LoadCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::LoadedArchive a(c.build());
        a.host.openCorrupted = c.openCorrupted;
        ASSERT_EQ(LoadOutcome(a), c.outcome);
        if (c.outcome != 0)
            continue;
        EXPECT_EQ(Names(*a.manager), c.names);
        if (c.check)
            c.check(*a.manager, a.bytes);
    }
}

TEST(ZipLoad, EndRecordSearch) {
    const std::string fakeBad = std::string("PK\x05\x06", 4) + std::string(18, '\xFF');
    RunCases({
        {"22 zero bytes after the signature",
         [] { return std::string("PK\x05\x06", 4) + std::string(18, '\0'); },
         false,
         0,
         {},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 0);
             EXPECT_EQ(dm.CentralDirEnd().signature, 0x06054B50u);
             EXPECT_FALSE(dm.Zip64());
         }},
        {"plain two files",
         [] { return TwoFiles(); },
         false,
         0,
         {u"a.txt", u"b.txt"},
         [](const TZADirManager& dm, const std::string& bytes) {
             test::ZipLayout lay;
             ZipBuilder()
                 .AddStored("a.txt", "alpha")
                 .AddDeflated("b.txt", std::string(300, 'b'))
                 .Build(&lay);
             EXPECT_EQ(dm.CentralDirOffset(), lay.centralDirOffset);
             EXPECT_EQ(dm.StubSize(), 0);
             EXPECT_EQ(static_cast<int64_t>(bytes.size()), lay.size);
             const TDirItem& b = dm.CDir().ItemsPtr(1);
             EXPECT_EQ(b.CentralDir.compMethod, 8);
             EXPECT_EQ(b.CompressionMethod, 8);
             EXPECT_EQ(b.CentralDir.unCompSize, 300u);
             EXPECT_EQ(b.CentralDir.crc32, test::Crc32(std::string(300, 'b')));
             EXPECT_EQ(b.CentralDir.relOffsetLH, static_cast<uint32_t>(lay.localHeaders[1]));
             EXPECT_FALSE(b.Modified);
             EXPECT_FALSE(b.Tagged);
             EXPECT_EQ(b.Operation, poAdd);
         }},
        {"a comment with a fake record that fails the test",
         [&] {
             return ZipBuilder()
                 .AddStored("a.txt", "x")
                 .Comment("note " + fakeBad + " end")
                 .Build();
         },
         false,
         0,
         {u"a.txt"},
         [&](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.ArchiveComment(), "note " + fakeBad + " end");
         }},
        {"a comment with a fake record that passes the test",
         [] {
             const std::string fake = std::string("PK\x05\x06", 4) + std::string(18, '\0');
             return ZipBuilder().AddStored("a.txt", "x").Comment("note " + fake).Build();
         },
         false,
         0,
         {},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.CentralDirEnd().entriesCentralDir, 0);
         }},
        {"a comment of 65,535 bytes",
         [] {
             return ZipBuilder().AddStored("a.txt", "x").Comment(std::string(65535, 'c')).Build();
         },
         false,
         0,
         {u"a.txt"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.ArchiveComment().size(), 65535u);
         }},
        {"65,579 bytes after the record: rebuilt",
         [] {
             return ZipBuilder()
                 .AddStored("a.txt", "x")
                 .Comment(std::string(65535, 'c'))
                 .Trailing(std::string(44, 't'))
                 .Build();
         },
         true,
         0,
         {u"a.txt"},
         [](const TZADirManager& dm, const std::string& bytes) {
             EXPECT_EQ(dm.CentralDirOffset(), static_cast<int64_t>(bytes.size()));
             EXPECT_TRUE(dm.ArchiveComment().empty());
         }},
        {"65,578 bytes after the record: found",
         [] {
             return ZipBuilder()
                 .AddStored("a.txt", "x")
                 .Comment(std::string(65535, 'c'))
                 .Trailing(std::string(43, 't'))
                 .Build();
         },
         false,
         0,
         {u"a.txt"},
         nullptr},
        {"comment length beyond the stream: rebuilt",
         [] {
             ZipBuilder b;
             b.AddStored("a.txt", "x").Comment("abc");
             b.End().commentLength = 10;
             return b.Build();
         },
         true,
         0,
         {u"a.txt"},
         nullptr},
        {"no end record, OpenCorruptedArchives off: rebuilt by LoadDir",
         [] { return ZipBuilder().AddStored("a.txt", "x").OmitEndRecord().Build(); },
         false,
         0,
         {u"a.txt"},
         nullptr},
        {"0xFFFF entries without ZIP64: rebuilt",
         [] {
             ZipBuilder b;
             b.AddStored("a.txt", "x").AddStored("b.txt", "y");
             b.End().entriesCentralDir = 0xFFFF;
             b.End().entriesOnDisk = 1;
             return b.Build();
         },
         false,
         0,
         {u"a.txt", u"b.txt"},
         [](const TZADirManager& dm, const std::string& bytes) {
             EXPECT_EQ(dm.CentralDirOffset(), static_cast<int64_t>(bytes.size()));
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.signature, 0x04034B50u);
         }},
        {"nothing that looks like a ZIP",
         [] { return std::string(100, 'z'); },
         true,
         35,
         {},
         nullptr},
        {"empty stream", [] { return std::string(); }, true, 35, {}, nullptr},
    });
}

TEST(ZipLoad, StubDetection) {
    const std::string stub(1000, 'S');
    RunCases({
        {"stub not counted: offsets raised, folders kept",
         [&] {
             ZipEntry folder = ZipEntry::Folder("dir/");
             return ZipBuilder()
                 .Stub(stub, false)
                 .AddStored("a.txt", "alpha")
                 .Add(folder)
                 .AddStored("dir/b", "beta")
                 .Build();
         },
         false,
         0,
         {u"a.txt", u"dir/", u"dir/b"},
         [](const TZADirManager& dm, const std::string&) {
             test::ZipLayout lay;
             ZipBuilder()
                 .Stub(std::string(1000, 'S'), false)
                 .AddStored("a.txt", "alpha")
                 .Add(ZipEntry::Folder("dir/"))
                 .AddStored("dir/b", "beta")
                 .Build(&lay);
             EXPECT_EQ(dm.StubSize(), 1000);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 1000u);
             EXPECT_EQ(dm.CDir().ItemsPtr(1).CentralDir.relOffsetLH,
                       static_cast<uint32_t>(lay.localHeaders[1] - 1000));
             EXPECT_EQ(dm.CDir().ItemsPtr(2).CentralDir.relOffsetLH,
                       static_cast<uint32_t>(lay.localHeaders[2]));
             EXPECT_TRUE(dm.IsSFXArchive());
         }},
        {"stub counted: no change",
         [&] {
             return ZipBuilder()
                 .Stub(stub, true)
                 .AddStored("a.txt", "alpha")
                 .AddStored("b", "beta")
                 .Build();
         },
         false,
         0,
         {u"a.txt", u"b"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 1000);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 1000u);
             EXPECT_EQ(dm.CDir().ItemsPtr(1).CentralDir.relOffsetLH, 1000u + 30 + 5 + 5);
         }},
        {"only empty entries: no correction",
         [&] {
             return ZipBuilder().Stub(stub, false).AddStored("e1", "").AddStored("e2", "").Build();
         },
         false,
         0,
         {u"e1", u"e2"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 1000);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 0u);
             EXPECT_FALSE(dm.IsSFXArchive());
         }},
        {"empty archive behind 500 bytes",
         [] { return ZipBuilder().Stub(std::string(500, 's'), false).Build(); },
         false,
         0,
         {},
         [](const TZADirManager& dm, const std::string&) { EXPECT_EQ(dm.StubSize(), 500); }},
        {"stub holding a local header signature",
         [] {
             std::string s =
                 std::string(200, 'x') + std::string("PK\x03\x04", 4) + std::string(300, 'y');
             return ZipBuilder().Stub(s, false).AddStored("a.txt", "alpha").Build();
         },
         false,
         0,
         {u"a.txt"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 504);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 504u);
         }},
        {"first directory entry not first in the file",
         [&] {
             // Entry "b" comes first in the directory but second in the file.
             ZipBuilder b;
             b.Stub(stub, false).AddStored("a", "aaaa").AddStored("b", "bbbb");
             test::ZipLayout lay;
             std::string bytes = b.Build(&lay);
             std::string h0 = bytes.substr(static_cast<size_t>(lay.centralHeaders[0]), 46 + 1);
             std::string h1 = bytes.substr(static_cast<size_t>(lay.centralHeaders[1]), 46 + 1);
             bytes.replace(static_cast<size_t>(lay.centralHeaders[0]), h1.size(), h1);
             bytes.replace(static_cast<size_t>(lay.centralHeaders[1]), h0.size(), h0);
             return bytes;
         },
         false,
         0,
         {u"b", u"a"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 1000 + 35);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 1035u);
             EXPECT_EQ(dm.CDir().ItemsPtr(1).CentralDir.relOffsetLH, 1000u);
         }},
        {"first entry with a data descriptor",
         [&] {
             ZipEntry e = ZipEntry::Deflated("-", "hi\n");
             e.dataDescriptor = true;
             return ZipBuilder().Stub(stub, false).Add(e).Build();
         },
         false,
         0,
         {u"-"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 1000);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 1000u);
         }},
        {"ZIP64 offsets behind a stub",
         [&] {
             ZipEntry e = ZipEntry::Stored("big", "data");
             e.zip64 = true;
             return ZipBuilder()
                 .Stub(stub, true)
                 .Add(ZipEntry::Stored("small", "abc"))
                 .Add(e)
                 .Zip64()
                 .Build();
         },
         false,
         0,
         {u"small", u"big"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_EQ(dm.StubSize(), 1000);
             EXPECT_EQ(dm.CDir().ItemsPtr(1).CentralDir.relOffsetLH, 0xFFFFFFFFu);
             EXPECT_EQ(dm.CDir().ItemsPtr(1).Zip64ExtInfo.relOffsetLH, 1000 + 30 + 5 + 3);
         }},
    });
}

TEST(ZipLoad, StubBeforeZip64LocalHeaders) {
    // The first local header keeps its sizes in a ZIP64 block (markers in the
    // 32-bit fields): it still matches the first central header.
    ZipEntry e = ZipEntry::Deflated("first", std::string(500, 'f'));
    e.zip64 = true;
    test::LoadedArchive a(
        ZipBuilder().Stub(std::string(300, 'S'), false).Add(e).AddStored("second", "s").Build());
    auto& dm = a.Load();
    EXPECT_EQ(dm.StubSize(), 300);
    EXPECT_EQ(dm.CDir().ItemsPtr(0).EffectiveRelOffsetLH(), 300);
    EXPECT_EQ(a.bytes.substr(static_cast<size_t>(dm.CDir().ItemsPtr(1).EffectiveRelOffsetLH()), 4),
              std::string("PK\x03\x04", 4));
}

TEST(ZipLoad, StubOffsetIntoZip64Value) {
    // An entry whose offset sits in its ZIP64 block gets the stub offset there.
    ZipEntry big = ZipEntry::Stored("b", "bbbb");
    big.zip64 = true;
    test::LoadedArchive a(
        ZipBuilder().Stub(std::string(64, 'S'), false).AddStored("a", "aaaa").Add(big).Build());
    auto& dm = a.Load();
    EXPECT_EQ(dm.StubSize(), 64);
    EXPECT_EQ(dm.CDir().ItemsPtr(1).CentralDir.relOffsetLH, 0xFFFFFFFFu);
    EXPECT_EQ(dm.CDir().ItemsPtr(1).EffectiveRelOffsetLH(), 64 + 30 + 1 + 4);
    EXPECT_FALSE(dm.Zip64());

    // ZIP64 end records whose locator does not count the stub: the ZIP64
    // record is found right before the locator, and the stub is detected.
    test::LoadedArchive b(
        ZipBuilder().Stub(std::string(64, 'S'), false).AddStored("a", "aaaa").Zip64().Build());
    auto& dm2 = b.Load();
    EXPECT_TRUE(dm2.Zip64());
    EXPECT_EQ(dm2.StubSize(), 64);
    EXPECT_EQ(dm2.CDir().ItemsPtr(0).CentralDir.relOffsetLH, 64u);
}

TEST(ZipLoad, Zip64Records) {
    auto zip64Entry = [](std::string name, std::string content) {
        ZipEntry e = ZipEntry::Stored(std::move(name), std::move(content));
        e.zip64 = true;
        return e;
    };
    RunCases({
        {"ZIP64 end records",
         [&] {
             return ZipBuilder().Add(zip64Entry("a", "12345")).AddStored("b", "x").Zip64().Build();
         },
         false,
         0,
         {u"a", u"b"},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_TRUE(dm.Zip64());
             EXPECT_EQ(dm.CentralDirEnd().entriesCentralDir, 0xFFFF);
             EXPECT_EQ(dm.Zip64CentralDirEnd().entriesCentralDir, 2u);
             EXPECT_EQ(dm.Zip64CentralDirEndLocator().totalNumberOfDisks, 1u);
             const TDirItem& a = dm.CDir().ItemsPtr(0);
             EXPECT_TRUE(a.bHugeFile);
             EXPECT_EQ(a.Zip64ExtInfo.compSize, 5);
             EXPECT_EQ(a.Zip64ExtInfo.uncompSize, 5);
             EXPECT_EQ(a.Zip64ExtInfo.relOffsetLH, 0);
             EXPECT_FALSE(dm.CDir().ItemsPtr(1).bHugeFile);
         }},
        {"ZIP64 end record with extensible data",
         [&] {
             return ZipBuilder()
                 .AddStored("a", "12345")
                 .AddStored("b", "x")
                 .Zip64(std::string(30, 'e'))
                 .Build();
         },
         false,
         0,
         {u"a", u"b"},
         nullptr},
        {"locator without a ZIP64 end record",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").Zip64();
             b.Zip64Fields().recordSignature = 0x06064B51;
             return b.Build();
         },
         true,
         40,
         {},
         nullptr},
        {"locator offset wrong, ZIP64 end record right before the locator",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").AddStored("b", "y").Zip64();
             b.Zip64Fields().offsetStartDirEnd = 3;
             return b.Build();
         },
         false,
         0,
         {u"a", u"b"},
         [](const TZADirManager& dm, const std::string&) { EXPECT_TRUE(dm.Zip64()); }},
        {"locator-like bytes before a complete end record: no ZIP64",
         [&] {
             // The last entry's name ends in what looks like a locator.
             std::string name = "x" + std::string("PK\x06\x07", 4) + std::string(16, '\0');
             return ZipBuilder().AddStored("a", "1").AddStored(name, "2").Build();
         },
         false,
         0,
         {u"a", u"xPK\x06\x07" + std::u16string(16, u'\0')},
         [](const TZADirManager& dm, const std::string&) {
             EXPECT_FALSE(dm.Zip64());
             EXPECT_EQ(dm.Zip64CentralDirEndLocator().signature, 0u);
         }},
        {"locator pointing beyond the stream",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").Zip64();
             b.Zip64Fields().offsetStartDirEnd = 0xFFFFFFFFFFFFull;
             b.Zip64Fields().recordSignature = 0;
             return b.Build();
         },
         true,
         40,
         {},
         nullptr},
        {"ZIP64 count negative as 32-bit: refused",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").Zip64();
             b.Zip64Fields().entriesCentralDir = 0x80000000ull;
             return b.Build();
         },
         false,
         57,
         {},
         nullptr},
        {"ZIP64 count beyond the directory size: refused",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").Zip64();
             b.Zip64Fields().entriesCentralDir = 0x7FFFFFFFull;
             return b.Build();
         },
         false,
         57,
         {},
         nullptr},
        {"ZIP64 count beyond the directory size, OpenCorruptedArchives on: rebuilt",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").Zip64();
             b.Zip64Fields().entriesCentralDir = 0x7FFFFFFFull;
             return b.Build();
         },
         true,
         0,
         {u"a"},
         nullptr},
        {"ZIP64 directory larger than the stream: refused",
         [&] {
             ZipBuilder b;
             b.AddStored("a", "x").Zip64();
             b.Zip64Fields().centralDirSize = 0xFFFFFFFFFFull;
             return b.Build();
         },
         false,
         57,
         {},
         nullptr},
    });
}

TEST(ZipLoad, Zip64BlockValues) {
    // All three markers: three 64-bit values; only compSize: the first 8 bytes.
    ZipEntry all = ZipEntry::Stored("all", "x");
    all.compSize = all.uncompSize = all.relOffset = 0xFFFFFFFF;
    all.diskNumberStart = 0xFFFF;
    all.centralExtra = test::Zip64Extra(0x111111111ull, 0x222222222ull, 0x0ull, 7);
    ZipEntry comp = ZipEntry::Stored("comp", "y");
    comp.compSize = 0xFFFFFFFF;
    comp.centralExtra = test::Zip64Extra(0x333333333ull, 0x444444444ull, 0x555555555ull);
    ZipEntry none = ZipEntry::Stored("none", "z");
    none.centralExtra = test::Zip64Extra(1, 2, 3);
    ZipEntry shortBlock = ZipEntry::Stored("short", "w");
    shortBlock.compSize = shortBlock.uncompSize = 0xFFFFFFFF;
    shortBlock.centralExtra = test::ExtraBlock(0x0001, test::LE64(9) + "abc");
    test::LoadedArchive a(ZipBuilder().Add(all).Add(comp).Add(none).Add(shortBlock).Build());
    a.host.openCorrupted = true;
    auto& dm = a.Load();
    ASSERT_EQ(dm.CDir().Count(), 4);
    EXPECT_EQ(dm.CDir().ItemsPtr(0).Zip64ExtInfo,
              (TZAZip64ExtendedInfo{0x111111111, 0x222222222, 0, 7}));
    EXPECT_EQ(dm.CDir().ItemsPtr(1).Zip64ExtInfo, (TZAZip64ExtendedInfo{0, 0x333333333, 0, 0}));
    EXPECT_TRUE(dm.CDir().ItemsPtr(2).bHugeFile);
    EXPECT_EQ(dm.CDir().ItemsPtr(2).Zip64ExtInfo, TZAZip64ExtendedInfo{});
    EXPECT_EQ(dm.CDir().ItemsPtr(3).Zip64ExtInfo, (TZAZip64ExtendedInfo{9, 0, 0, 0}));
    EXPECT_EQ(dm.CDir().ItemsPtr(0).ExtraFields.size(), 1u);
}

TEST(ZipLoad, EncryptionAndMethods) {
    auto aes = [](const char* name, uint8_t strength, uint16_t extractVersion = 51) {
        ZipEntry e = ZipEntry::Stored(name, "data");
        e.method = 99;
        e.flags = 1;
        e.versionNeeded = extractVersion;
        e.centralExtra = test::AesExtra(strength, 8);
        return e;
    };
    ZipEntry classic = ZipEntry::Stored("classic", "data");
    classic.flags = 1;
    ZipEntry shortAes = aes("short-aes", 3);
    shortAes.centralExtra = test::ExtraBlock(0x9901, "\x02\x00"
                                                     "AE\x03");
    test::LoadedArchive a(ZipBuilder()
                              .Add(aes("aes128", 1))
                              .Add(aes("aes192", 2))
                              .Add(aes("aes256", 3))
                              .Add(aes("strength4", 4))
                              .Add(aes("own", 3, 0x4114))
                              .Add(classic)
                              .Add(shortAes)
                              .Build());
    auto& dm = a.Load();
    const struct {
        TZACryptoAlgorithm algorithm;
        uint16_t method;
    } expected[] = {{caAES_128, 8},      {caAES_192, 8},       {caAES_256, 8},
                    {caPkzipClassic, 8}, {caPkzipClassic, 99}, {caPkzipClassic, 0},
                    {caPkzipClassic, 99}};
    ASSERT_EQ(dm.CDir().Count(), 7);
    for (int32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(dm.CDir().ItemsPtr(i).ZAEncryptionAlgorithm, expected[i].algorithm) << i;
        EXPECT_EQ(dm.CDir().ItemsPtr(i).CompressionMethod, expected[i].method) << i;
    }
    EXPECT_EQ(dm.CDir().ItemsPtr(0).CentralDir.compMethod, 99);
    EXPECT_TRUE(dm.IsEncrypted());
}

TEST(ZipLoad, NamesCommentsAndUnicodeBlocks) {
    ASSERT_TRUE(SetCodePages(866, 1251));
    ZipEntry oem = ZipEntry::Stored(std::string("\x8F\xE0\xA8\xA2\xA5\xE2.txt"), "1");
    ZipEntry utf8 = ZipEntry::Stored(ToUtf8(U("Привет/файл.txt")), "2");
    utf8.flags = 0x0800;
    ZipEntry block = ZipEntry::Stored("raw-name", "3");
    block.centralExtra = test::ExtraBlock(0x5455, "\x01"
                                                  "abcd") +
                         test::UnicodeNameExtra(U("Юникод.txt"));
    ZipEntry badSig = ZipEntry::Stored("kept", "4");
    badSig.centralExtra = test::UnicodeNameExtra(u"ignored", 0x11111111);
    ZipEntry infoZip = ZipEntry::Stored("gbk-bytes", "5");
    infoZip.centralExtra = test::UnicodePathExtra(ToUtf8(U("七个房间.txt")), "gbk-bytes");
    ZipEntry comment = ZipEntry::Stored("commented", "6");
    comment.comment = std::string("\x80\x99\xC0\xFF comment", 13);
    test::LoadedArchive a(ZipBuilder()
                              .Add(oem)
                              .Add(utf8)
                              .Add(block)
                              .Add(badSig)
                              .Add(infoZip)
                              .Add(comment)
                              .Comment(std::string("\xAE\xE2\xE1", 3))
                              .Build());
    auto& dm = a.Load();
    EXPECT_EQ(Names(dm),
              (std::vector<std::u16string>{U("Привет.txt"), U("Привет/файл.txt"), U("Юникод.txt"),
                                           u"kept", u"gbk-bytes", u"commented"}));
    EXPECT_EQ(dm.CDir().ItemsPtr(3).ExtraFields.size(), 1u);
    EXPECT_EQ(dm.CDir().ItemsPtr(3).ExtraFields[0].headerID, 0x554E);
    EXPECT_EQ(dm.CDir().ItemsPtr(4).ExtraFields[0].headerID, 0x7075);
    EXPECT_EQ(dm.CDir().ItemsPtr(5).Comment, std::string("\x80\x99\xC0\xFF comment", 13));
    EXPECT_EQ(dm.ArchiveComment(), std::string("\xAE\xE2\xE1", 3));
    int32_t no;
    EXPECT_TRUE(dm.CDir().FileExists(U("Юникод.txt"), no));
    EXPECT_EQ(no, 2);
    EXPECT_FALSE(dm.CDir().FileExists(u"raw-name", no));

    a.host.oemFileNames = false;
    dm.LoadDir();
    EXPECT_EQ(dm.CDir().ItemsPtr(0).Name, U("ЏаЁўҐв.txt"));
    EXPECT_EQ(dm.CDir().Count(), 6);
    EXPECT_EQ(dm.CDir().ItemNamesList().Count(), 6); // a second load starts from an empty index
    EXPECT_TRUE(dm.CDir().FileExists(u"kept", no));
    EXPECT_EQ(no, 3);
}

TEST(ZipLoad, EmptyNames) {
    ZipEntry emptyByBlock = ZipEntry::Stored("named", "x");
    emptyByBlock.centralExtra = test::UnicodeNameExtra(u"", 0x5843554E, 0);
    RunCases({
        {"one-byte name then empty name",
         [] { return ZipBuilder().AddStored("a", "1").AddStored("", "2").Build(); },
         false,
         0,
         {u"a", u""},
         nullptr},
        {"empty name then another: refused",
         [] { return ZipBuilder().AddStored("", "1").AddStored("b", "2").Build(); },
         false,
         59,
         {},
         nullptr},
        {"empty name then another, rebuilt: refused too",
         [] { return ZipBuilder().AddStored("", "1").AddStored("b", "2").Build(); },
         true,
         59,
         {},
         nullptr},
        {"Unicode block with count 0 empties the name; the next entry is refused",
         [&] { return ZipBuilder().Add(emptyByBlock).AddStored("b", "2").Build(); },
         false,
         59,
         {},
         nullptr},
        {"duplicate names load",
         [] { return ZipBuilder().AddStored("d.txt", "1").AddStored("D.TXT", "2").Build(); },
         false,
         0,
         {u"d.txt", u"D.TXT"},
         [](const TZADirManager& dm, const std::string&) {
             int32_t no;
             EXPECT_TRUE(const_cast<TZADirManager&>(dm).CDir().FileExists(u"d.txt", no));
             EXPECT_EQ(no, 1);
         }},
    });
}

TEST(ZipLoad, DamagedDirectories) {
    auto truncatedName = [] {
        ZipEntry e = ZipEntry::Stored("abc", "x");
        e.centralNameLength = 60000;
        return ZipBuilder().AddStored("first", "1").Add(e).Build();
    };
    auto tooMany = [] {
        ZipBuilder b;
        b.AddStored("a", "1").AddStored("b", "2");
        b.End().entriesCentralDir = 3;
        b.End().entriesOnDisk = 3;
        return b.Build();
    };
    auto countBeyondSize = [] {
        ZipBuilder b;
        b.AddStored("a", "1");
        b.End().entriesCentralDir = 60000;
        return b.Build();
    };
    auto sizeBeyondStart = [] {
        ZipBuilder b;
        b.AddStored("a", "1");
        b.End().centralDirSize = 0x7FFFFFFF;
        return b.Build();
    };
    RunCases({
        {"name past the end, OpenCorruptedArchives off: read error",
         truncatedName,
         false,
         -1,
         {},
         nullptr},
        {"name past the end, OpenCorruptedArchives on: rebuilt",
         truncatedName,
         true,
         0,
         {u"first", u"abc"},
         nullptr},
        {"count one too high, off: refused", tooMany, false, 57, {}, nullptr},
        {"count one too high, on: rebuilt", tooMany, true, 0, {u"a", u"b"}, nullptr},
        {"count beyond the directory size, off: refused", countBeyondSize, false, 57, {}, nullptr},
        {"count beyond the directory size, on: rebuilt", countBeyondSize, true, 0, {u"a"}, nullptr},
        {"directory size beyond the record: no record, rebuilt",
         sizeBeyondStart,
         true,
         0,
         {u"a"},
         nullptr},
        {"extra field longer than the header claims: cut",
         [] {
             ZipEntry e = ZipEntry::Stored("a", "1");
             e.centralExtra = test::ExtraBlockClaiming(0x5455, 500, "abc");
             return ZipBuilder().Add(e).Build();
         },
         false,
         0,
         {u"a"},
         [](const TZADirManager& dm, const std::string&) {
             ASSERT_EQ(dm.CDir().ItemsPtr(0).ExtraFields.size(), 1u);
             EXPECT_EQ(dm.CDir().ItemsPtr(0).ExtraFields[0].dataSize, 3);
         }},
        {"sizes add up beyond the stream, off: refused",
         [] {
             ZipEntry e = ZipEntry::Stored("a", "1");
             e.compSize = 1000000;
             return ZipBuilder().Add(e).Build();
         },
         false,
         57,
         {},
         nullptr},
        {"sizes add up beyond the stream, on: loaded",
         [] {
             ZipEntry e = ZipEntry::Stored("a", "1");
             e.compSize = 1000000;
             return ZipBuilder().Add(e).Build();
         },
         true,
         0,
         {u"a"},
         nullptr},
    });
}

TEST(ZipLoad, RebuildFromLocalHeaders) {
    ASSERT_TRUE(SetCodePages(866, 1251));
    ZipEntry dd = ZipEntry::Deflated("dd.txt", "streamed data");
    dd.dataDescriptor = true;
    ZipEntry empty = ZipEntry::Stored("empty", "");
    ZipEntry ddEmpty = ZipEntry::Stored("dd-empty", "");
    ddEmpty.dataDescriptor = true;
    ZipEntry oem = ZipEntry::Stored(std::string("\x8F\xE0\xA8\xA2\xA5\xE2", 6), "o");
    ZipEntry nameBlock = ZipEntry::Stored("x", "u");
    nameBlock.localExtra = test::UnicodeNameExtra(u"local-unicode");
    ZipEntry bigExtra = ZipEntry::Stored("big-extra", "e");
    bigExtra.localExtra = test::ExtraBlock(0x1234, std::string(300, 'q'));
    ZipEntry enc = ZipEntry::Stored("enc", "data");
    enc.flags = 1;
    auto build = [&](bool withEnd) {
        ZipBuilder b;
        b.Add(dd).Add(empty).Add(ddEmpty).Add(oem).Add(nameBlock).Add(bigExtra).Add(enc);
        if (!withEnd)
            b.OmitEndRecord();
        else
            b.End().entriesCentralDir = 0xFFFF;
        return b.Build();
    };
    for (bool withEnd : {false, true}) {
        SCOPED_TRACE(withEnd ? "end record found" : "no end record");
        test::LoadedArchive a(build(withEnd));
        auto& dm = a.Load();
        ASSERT_EQ(Names(dm), (std::vector<std::u16string>{u"dd.txt", u"empty", u"dd-empty",
                                                          withEnd ? U("Привет") : U("ЏаЁўҐв"),
                                                          u"local-unicode", u"enc"}));
        const TDirItem& d = dm.CDir().ItemsPtr(0);
        EXPECT_EQ(d.CentralDir.crc32, test::Crc32("streamed data"));
        EXPECT_EQ(d.CentralDir.unCompSize, 13u);
        EXPECT_EQ(d.CentralDir.compSize,
                  static_cast<uint32_t>(test::DeflateRaw("streamed data").size()));
        EXPECT_EQ(d.CentralDir.externalAttr, 0x20u);
        EXPECT_EQ(d.CentralDir.relOffsetLH, 0u);
        EXPECT_EQ(d.CentralDir.versionMadeBy, d.CentralDir.extractVersion);
        EXPECT_EQ(dm.CDir().ItemsPtr(1).CentralDir.externalAttr,
                  0x10u); // empty without bit 3: a folder
        EXPECT_EQ(dm.CDir().ItemsPtr(2).CentralDir.externalAttr, 0x20u);
        EXPECT_TRUE(dm.IsEncrypted() == false);
        EXPECT_EQ(dm.CDir().ItemsPtr(5).ZAEncryptionAlgorithm, caPkzipClassic);
        EXPECT_EQ(dm.CentralDirOffset(), static_cast<int64_t>(a.bytes.size()));
        EXPECT_EQ(dm.StubSize(), 0);
    }
}

TEST(ZipLoad, RebuildTakesSignaturesInsideData) {
    const std::string inner = ZipBuilder().AddStored("inner.txt", "i").OmitEndRecord().Build();
    test::LoadedArchive a(ZipBuilder().AddStored("outer.zip", inner).OmitEndRecord().Build());
    auto& dm = a.Load();
    EXPECT_EQ(Names(dm), (std::vector<std::u16string>{u"outer.zip", u"inner.txt"}));
}

TEST(ZipLoad, RebuildWithTruncatedLastHeader) {
    std::string bytes = ZipBuilder().AddStored("a", "1").OmitEndRecord().Build();
    ZipEntry e = ZipEntry::Stored("cut", "");
    e.localExtra = test::ExtraBlock(0x5455, std::string(100, 't'));
    const std::string second = ZipBuilder().Add(e).OmitEndRecord().OmitCentralDirectory().Build();
    bytes += second.substr(0, 30 + 3 + 20); // the extra field is cut off
    test::LoadedArchive a(bytes);
    auto& dm = a.Load();
    EXPECT_EQ(Names(dm), (std::vector<std::u16string>{u"a", u"cut"}));
    ASSERT_EQ(dm.CDir().ItemsPtr(1).ExtraFields.size(), 1u);
    EXPECT_EQ(dm.CDir().ItemsPtr(1).ExtraFields[0].dataSize, 16);
}

TEST(ZipLoad, RebuildRefusedInMultiVolumeMode) {
    test::LoadedArchive a(ZipBuilder().AddStored("a", "1").OmitEndRecord().Build());
    a.host.spanning = smSplitting;
    EXPECT_EQ(LoadOutcome(a), 44);
}

TEST(ZipLoad, HasCentralDirEnd) {
    test::LoadedArchive a(ZipBuilder().AddStored("a", "1").Comment("hello").Build());
    a.host.openCorrupted = false;
    auto& dm = a.Open();
    EXPECT_TRUE(dm.HasCentralDirEnd());
    EXPECT_EQ(dm.ArchiveComment(), "hello");
    EXPECT_EQ(dm.CentralDirEnd().entriesCentralDir, 1);
    EXPECT_FALSE(dm.IsCustomStream());

    test::LoadedArchive broken(std::string(50, 'x'));
    broken.host.openCorrupted = false;
    EXPECT_FALSE(broken.Open().HasCentralDirEnd());
    broken.host.openCorrupted = true;
    EXPECT_TRUE(broken.manager->HasCentralDirEnd());
    EXPECT_EQ(broken.manager->CentralDirEnd().signature, 0u);
}

TEST(ZipLoad, SplitVolumes) {
    ZipBuilder b;
    for (int i = 0; i < 6; ++i)
        b.AddStored("file" + std::to_string(i) + ".txt",
                    std::string(40 + i, static_cast<char>('a' + i)));
    const auto volumes = b.BuildSplit(150);
    ASSERT_GE(volumes.size(), 3u);
    std::vector<std::unique_ptr<TReadOnlyMemoryStream>> streams;
    for (const auto& v : volumes)
        streams.push_back(std::make_unique<TReadOnlyMemoryStream>(v.data(), v.size()));
    test::TestHost host;
    host.spanning = smSplitting;
    for (auto& s : streams)
        host.volumes.push_back(s.get());
    host.archiveStream = host.volumes.back();
    TZADirManager dm(host.archiveStream, false, host);
    dm.LoadDir();
    ASSERT_EQ(dm.CDir().Count(), 6);
    EXPECT_EQ(dm.CDir().ItemsPtr(5).Name, u"file5.txt");
    EXPECT_EQ(dm.CentralDirEnd().diskNumber, volumes.size() - 1);
    EXPECT_FALSE(host.requested.empty());
    EXPECT_EQ(host.requested.front(), dm.CentralDirEnd().startDiskNumber);
    EXPECT_EQ(dm.StubSize(), 0);
    // Every entry's header sits where its volume number and offset say.
    for (int32_t i = 0; i < 6; ++i) {
        const auto& cd = dm.CDir().ItemsPtr(i).CentralDir;
        const std::string& v = volumes[cd.diskNumberStart];
        ASSERT_LT(cd.relOffsetLH + 4u, v.size());
        EXPECT_EQ(v.substr(cd.relOffsetLH, 4), std::string("PK\x03\x04", 4));
    }

    // A cancelled request for the first directory volume ends the load.
    test::TestHost cancelling;
    cancelling.spanning = smSplitting;
    cancelling.volumes = host.volumes;
    cancelling.cancelVolumes = true;
    cancelling.archiveStream = host.volumes.back();
    TZADirManager dm2(cancelling.archiveStream, false, cancelling);
    try {
        dm2.LoadDir();
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 45);
    }
    // A cancelled request in the middle of the directory is a failed header
    // read; the rebuild that follows is refused in multi-volume mode.
    test::TestHost midway;
    midway.spanning = smSplitting;
    midway.volumes = host.volumes;
    midway.cancelFromVolume = dm.CentralDirEnd().startDiskNumber + 1;
    midway.archiveStream = host.volumes.back();
    TZADirManager dm3(midway.archiveStream, false, midway);
    try {
        dm3.LoadDir();
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 44);
    }
}

TEST(ZipLoad, SaveEmptyDirectory) {
    TMemoryStream stream;
    test::TestHost host;
    host.archiveStream = &stream;
    TZADirManager dm(&stream, true, host);
    EXPECT_TRUE(host.volumeInfo.FirstVolume());
    dm.SaveDir(true);
    ASSERT_EQ(stream.Size(), 22);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 22),
              std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    dm.SetArchiveComment("note");
    dm.SaveDir(true);
    ASSERT_EQ(stream.Size(), 26);
    test::LoadedArchive back(std::string(reinterpret_cast<const char*>(stream.Memory()), 26));
    EXPECT_EQ(back.Load().ArchiveComment(), "note");
    EXPECT_EQ(back.manager->CDir().Count(), 0);
}

TEST(ZipLoad, CreateCopiesTheStub) {
    test::TempDir dir;
    const auto stubPath = dir.WriteFile("stub.exe", std::string(777, 'M'));
    TMemoryStream stream;
    test::TestHost host;
    host.archiveStream = &stream;
    host.sfxStub = FromNativePath(stubPath.string());
    TZADirManager dm(&stream, true, host);
    EXPECT_EQ(dm.StubSize(), 777);
    EXPECT_EQ(stream.Size(), 777);
    dm.SaveDir(true);
    test::LoadedArchive back(std::string(reinterpret_cast<const char*>(stream.Memory()),
                                         static_cast<size_t>(stream.Size())));
    EXPECT_EQ(back.Load().StubSize(), 777);

    host.spanning = smSplitting;
    host.volumeSize = 100;
    TMemoryStream other;
    try {
        TZADirManager tooBig(&other, true, host);
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 47);
    }
}

TEST(ZipValidArchiveFile, Judgement) {
    test::TempDir dir;
    const auto good = FromNativePath(dir.WriteFile("good.zip", TwoFiles()).string());
    const auto noEnd = FromNativePath(
        dir.WriteFile("noend.zip", ZipBuilder().AddStored("a", "1").OmitEndRecord().Build())
            .string());
    const auto junk = FromNativePath(dir.WriteFile("junk.bin", std::string(1000, 'j')).string());
    test::TestHost host;
    int confirmations = 0;
    auto confirm = [&](bool answer) {
        return [&, answer] {
            ++confirmations;
            return answer;
        };
    };
    EXPECT_TRUE(TZADirManager::IsValidArchiveFile(u"/no/such/file.zip", true, host, confirm(true)));
    EXPECT_FALSE(
        TZADirManager::IsValidArchiveFile(u"/no/such/file.zip", false, host, confirm(true)));
    EXPECT_TRUE(TZADirManager::IsValidArchiveFile(good, false, host, confirm(false)));
    EXPECT_EQ(confirmations, 0);
    EXPECT_FALSE(TZADirManager::IsValidArchiveFile(junk, false, host, confirm(true)));
    EXPECT_EQ(confirmations, 0);
    EXPECT_TRUE(TZADirManager::IsValidArchiveFile(noEnd, false, host, confirm(true)));
    EXPECT_FALSE(TZADirManager::IsValidArchiveFile(noEnd, false, host, confirm(false)));
    EXPECT_EQ(confirmations, 2);
    EXPECT_FALSE(TZADirManager::IsValidArchiveFile(noEnd, false, host,
                                                   []() -> bool { throw EReadError(u"x"); }));
    host.spanning = smSplitting; // the rebuild runs without spanning
    EXPECT_TRUE(TZADirManager::IsValidArchiveFile(noEnd, false, host, confirm(true)));
    EXPECT_TRUE(host.openCorrupted); // the archiver's own settings are untouched
}

TEST(ZipSearch, Signatures) {
    const std::string bytes = std::string(70000, 'x') + std::string("PK\x03\x04", 4) +
                              std::string(40, 'y') + std::string("PK\x07\x08", 4) +
                              std::string(12, 'z');
    test::LoadedArchive a(bytes);
    auto& dm = a.Open();
    EXPECT_EQ(dm.FindLocalHeader(0), 70000);
    EXPECT_EQ(dm.FindLocalHeader(70001), -1);
    EXPECT_EQ(dm.FindSignature(0, 0x08074B50), 70044);
    TZAZipDataDescriptor d;
    EXPECT_TRUE(dm.FindDataDescriptor(0, d));
    EXPECT_EQ(d.crc32, 0x7A7A7A7Au);
    // A local header signature with fewer than 30 bytes after it counts as none.
    test::LoadedArchive b(std::string(10, 'x') + std::string("PK\x03\x04", 4) +
                          std::string(25, 'y'));
    EXPECT_EQ(b.Open().FindLocalHeader(0), -1);
    // A descriptor cut short is not read.
    test::LoadedArchive c(std::string("PK\x07\x08", 4) + std::string(11, 'y'));
    EXPECT_FALSE(c.Open().FindDataDescriptor(0, d));
    EXPECT_EQ(a.stream->Position(), 0); // positions are restored
}

} // namespace
} // namespace za

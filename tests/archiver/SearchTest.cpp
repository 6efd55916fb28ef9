// Selection of entries: FindFirst / FindNext with masks, attributes,
// exclusions, recursion and drives; the result records; tagging; FileCount.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiverTestUtil.h"
#include "archiver/ZipArchiver.h"
#include "platform/Path.h"
#include "platform/Stream.h"
#include "support/ZipBuilder.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirManager.h"

namespace za {
namespace {

using test::ZipEntry;

class TTestArchiver : public TZipArchiver {
public:
    using TZABaseArchiver::TagFiles;
    using TZABaseArchiver::TagFilesByProperties;
};

ZipEntry WithAttr(ZipEntry e, uint32_t attr) {
    e.externalAttr = attr;
    return e;
}

const char* const kCyrillic = "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt"; // "Файл.txt"

std::string BuildArchive() {
    ZipEntry cyr = ZipEntry::Stored(kCyrillic, "k");
    cyr.flags = 0x800; // UTF-8 name
    ZipEntry grown = ZipEntry::Stored("grown.bin", std::string(100, 'g'));
    grown.compSize = 120;
    return test::ZipBuilder()
        .AddStored("a.txt", "hello")
        .Add(ZipEntry::Folder("docs/"))
        .AddDeflated("docs/b.txt", std::string(1000, 'b'))
        .AddStored("docs/sub/c.txt", "c")
        .AddStored("Makefile", "all:")
        .AddStored("notes.", "n")
        .AddStored("notes.txt", "n")
        .AddStored("x.bak", "x")
        .Add(WithAttr(ZipEntry::Stored("hidden.txt", "h"), 0x22))
        .Add(WithAttr(ZipEntry::Folder("hiddendir/"), 0x12))
        .Add(cyr)
        .AddStored("empty.dat", "")
        .Add(grown)
        .Build();
}

class Search : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string zip = BuildArchive();
        Stream.WriteBuffer(zip.data(), static_cast<int64_t>(zip.size()));
        Arc.SetName(u"Archiver");
        Arc.OpenArchive(Stream, false);
        ASSERT_EQ(Arc.DirManager()->CDir().Count(), 13);
    }

    std::string NameOf(int32_t index) {
        return ToUtf8(Arc.DirManager()->CDir().ItemsPtr(index).Name);
    }
    // Stored names of every entry a search returns, in order.
    std::vector<std::string> FindAll(const std::u16string& mask, int32_t attr,
                                     const std::u16string& exclusion) {
        std::vector<std::string> names;
        TZAArchiveItem f;
        for (bool found = Arc.FindFirst(mask, f, attr, exclusion); found; found = Arc.FindNext(f)) {
            names.push_back(NameOf(f.Handle.ItemNo));
        }
        return names;
    }

    TMemoryStream Stream;
    TTestArchiver Arc;
};

using Names = std::vector<std::string>;

TEST_F(Search, MasksAttributesExclusionsAndRecursion) {
    const Names all = {"a.txt",   "docs/",     "docs/b.txt", "docs/sub/c.txt", "Makefile",
                       "notes.",  "notes.txt", "x.bak",      "hidden.txt",     "hiddendir/",
                       kCyrillic, "empty.dat", "grown.bin"};
    struct Case {
        const char* title;
        const char* mask;
        int32_t attr;
        const char* exclusion;
        bool recurse;
        TZAStorePathMode storePath;
        Names expected;
    };
    const Case cases[] = {
        {"everything", "*.*", 10431, "", true, spRelativePath, all},
        {"*.txt at any depth",
         "*.txt",
         10431,
         "",
         true,
         spRelativePath,
         {"a.txt", "docs/b.txt", "docs/sub/c.txt", "notes.txt", "hidden.txt", kCyrillic}},
        {"*.txt at the top only",
         "*.txt",
         10431,
         "",
         false,
         spRelativePath,
         {"a.txt", "notes.txt", "hidden.txt", kCyrillic}},
        {"a folder's contents",
         "docs\\*",
         10431,
         "",
         true,
         spRelativePath,
         {"docs/b.txt", "docs/sub/c.txt"}},
        {"a folder's contents, no recursion",
         "docs\\*",
         10431,
         "",
         false,
         spRelativePath,
         {"docs/b.txt"}},
        {"plain name looked up, ASCII case ignored",
         "A.TXT",
         10431,
         "",
         false,
         spRelativePath,
         {"a.txt"}},
        {"lookup ignores the attribute filter",
         "hidden.txt",
         16,
         "",
         false,
         spRelativePath,
         {"hidden.txt"}},
        {"lookup ignores the exclusion", "x.bak", 10431, "*.bak", false, spRelativePath, {"x.bak"}},
        {"plain name with recursion goes through the masks",
         "hidden.txt",
         16,
         "",
         true,
         spRelativePath,
         {}},
        {"names without extension",
         "*.",
         10431,
         "",
         true,
         spRelativePath,
         {"docs/", "Makefile", "notes.", "hiddendir/"}},
        {"ASCII letters ignore case",
         "*.TXT",
         10431,
         "",
         false,
         spRelativePath,
         {"a.txt", "notes.txt", "hidden.txt", kCyrillic}},
        {"Cyrillic letters keep case",
         "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.*",
         10431,
         "",
         true,
         spRelativePath,
         {}},
        {"Cyrillic letters, same case",
         "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.TXT",
         10431,
         "",
         true,
         spRelativePath,
         {kCyrillic}},
        {"exclusion",
         "*.*",
         10431,
         "*.bak",
         true,
         spRelativePath,
         {"a.txt", "docs/", "docs/b.txt", "docs/sub/c.txt", "Makefile", "notes.", "notes.txt",
          "hidden.txt", "hiddendir/", kCyrillic, "empty.dat", "grown.bin"}},
        {"exclusion in the stored form",
         "*.*",
         10431,
         "docs/*",
         true,
         spRelativePath,
         {"a.txt", "docs/", "Makefile", "notes.", "notes.txt", "x.bak", "hidden.txt", "hiddendir/",
          kCyrillic, "empty.dat", "grown.bin"}},
        {"folders only mask skips hidden entries",
         "*.*",
         16,
         "",
         true,
         spRelativePath,
         {"a.txt", "docs/", "docs/b.txt", "docs/sub/c.txt", "Makefile", "notes.", "notes.txt",
          "x.bak", kCyrillic, "empty.dat", "grown.bin"}},
        {"drive removed",
         "C:\\docs\\*",
         10431,
         "",
         true,
         spRelativePath,
         {"docs/b.txt", "docs/sub/c.txt"}},
        {"drive kept", "C:\\docs\\*", 10431, "", true, spFullPathWithDrive, {}},
        {"share removed",
         "\\\\server\\share\\docs\\b.txt",
         10431,
         "",
         true,
         spRelativePath,
         {"docs/b.txt"}},
        {"empty mask", "", 10431, "", true, spRelativePath, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        Arc.Options().SetRecurse(c.recurse);
        Arc.Options().SetStorePath(c.storePath);
        EXPECT_EQ(FindAll(U(c.mask), c.attr, U(c.exclusion)), c.expected);
    }
}

TEST_F(Search, ResultRecords) {
    struct Case {
        const char* mask;
        const char16_t* fileName;
        const char16_t* storedPath;
        int64_t compSize;
        int64_t uncompSize;
        double rate;
        uint32_t attr;
    };
    const Case cases[] = {
        {"docs\\b.txt", u"b.txt", u"docs\\", -1, 1000, -1, 0x20},
        {"docs", u"docs", u"", 0, 0, 100, 0x10}, // the folder entry "docs/"
        {"docs\\sub\\c.txt", u"c.txt", u"docs\\sub\\", 1, 1, 0, 0x20},
        {"empty.dat", u"empty.dat", u"", 0, 0, 100, 0x20},
        {"grown.bin", u"grown.bin", u"", 120, 100, 0, 0x20},
        {"a.txt", u"a.txt", u"", 5, 5, 0, 0x20},
    };
    Arc.Options().SetRecurse(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        TZAArchiveItem f;
        ASSERT_TRUE(Arc.FindFirst(U(c.mask), f, 10431, u""));
        EXPECT_EQ(f.FileName, c.fileName);
        EXPECT_EQ(f.StoredPath, c.storedPath);
        if (c.compSize >= 0) {
            EXPECT_EQ(f.CompressedSize, c.compSize);
        }
        EXPECT_EQ(f.UncompressedSize, c.uncompSize);
        if (c.rate >= 0) {
            EXPECT_DOUBLE_EQ(f.CompressionRate, c.rate);
        } else {
            EXPECT_GT(f.CompressionRate, 90.0); // 1000 equal bytes deflate well
        }
        EXPECT_EQ(f.ExternalFileAttributes, c.attr);
        EXPECT_FALSE(f.Encrypted);
        EXPECT_EQ(f.LastModFileDate, 0x5A8E);
        EXPECT_EQ(f.LastModFileTime, 0x7A5B);
    }
    TZAArchiveItem f;
    ASSERT_TRUE(Arc.FindFirst(u"a.txt", f, 10431, u""));
    EXPECT_EQ(static_cast<uint32_t>(f.CRC), test::Crc32("hello"));

    // A failed step leaves the record as it was.
    const TZAArchiveItem before = f;
    EXPECT_FALSE(Arc.FindNext(f));
    EXPECT_EQ(f.FileName, before.FileName);
    EXPECT_EQ(f.CompressedSize, before.CompressedSize);
}

TEST_F(Search, LookupFindsNothingMore) {
    Arc.Options().SetRecurse(false);
    TZAArchiveItem f;
    ASSERT_TRUE(Arc.FindFirst(u"NOTES.TXT", f, 10431, u""));
    EXPECT_EQ(f.FileName, u"notes.txt");
    EXPECT_FALSE(Arc.FindNext(f));
    EXPECT_FALSE(Arc.FindFirst(u"missing.txt", f, 10431, u""));
}

TEST_F(Search, MaskLengthIsLimited) {
    TZAArchiveItem f;
    const std::u16string longest(259, u'?');
    EXPECT_FALSE(Arc.FindFirst(longest, f, 10431, u""));
    EXPECT_FALSE(Arc.FindFirst(u"C:" + longest, f, 10431, u"")); // the drive is not stored
    try {
        Arc.FindFirst(longest + u"?", f, 10431, u"");
        ADD_FAILURE() << "no exception";
    } catch (const EZASearchMaskTooLong& e) {
        EXPECT_EQ(e.Message(), u"Search mask is too long: 260 characters, at most 259 are allowed");
    }
    EXPECT_THROW(Arc.FindFirst(std::u16string(100000, u'*'), f, 10431, u""), EZASearchMaskTooLong);
}

TEST_F(Search, PropertyDrivenSearchAndTags) {
    Arc.SetFileMasks({u"docs\\*.txt", u"*.bak"});
    Arc.SetExclusionMasks({u"*\\sub\\*"});
    for (bool recurse : {true, false}) {
        SCOPED_TRACE(recurse);
        Arc.Options().SetRecurse(recurse);
        Names found;
        TZAArchiveItem f;
        for (bool ok = Arc.FindFirst(f); ok; ok = Arc.FindNext(f)) {
            found.push_back(NameOf(f.Handle.ItemNo));
        }
        EXPECT_EQ(found, (Names{"docs/b.txt", "x.bak"}));
    }
    // Options.SearchAttr filters a property-driven search.
    Arc.SetFileMasks({u"*.txt"});
    Arc.SetExclusionMasks({});
    Arc.Options().SetSearchAttr(0);
    Arc.Options().SetRecurse(true);
    Arc.TagFilesByProperties();
    TZADirArray& dir = Arc.DirManager()->CDir();
    Names tagged;
    for (int32_t i = 0; i < dir.Count(); ++i) {
        if (dir.ItemsPtr(i).Tagged) {
            tagged.push_back(NameOf(i));
        }
    }
    EXPECT_EQ(tagged, (Names{"a.txt", "docs/b.txt", "docs/sub/c.txt", "notes.txt", kCyrillic}));

    // Tagging by a mask clears the earlier marks first.
    Arc.TagFiles(u"*.bak", 10431, u"");
    tagged.clear();
    for (int32_t i = 0; i < dir.Count(); ++i) {
        if (dir.ItemsPtr(i).Tagged) {
            tagged.push_back(NameOf(i));
        }
    }
    EXPECT_EQ(tagged, (Names{"x.bak"}));
}

TEST_F(Search, FileCountCountsVisibleFoldersOnly) {
    // docs/ is a folder; hiddendir/ carries the hidden bit and counts as a file.
    Arc.Options().SetRecurse(false);
    EXPECT_EQ(Arc.FileCount(), 12);
    EXPECT_FALSE(Arc.Options().Recurse()); // restored
}

} // namespace
} // namespace za

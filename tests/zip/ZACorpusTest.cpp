// Every archive of the shared corpus (/work/shared/corpus, see its README and
// MANIFEST.tsv files): the loader lists what the manifest expects, or fails
// with a clean error; nothing crashes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "archiver/ZAExcept.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/Path.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestHost.h"

namespace za {
namespace {

namespace fs = std::filesystem;

struct ManifestRow {
    std::string folder;
    std::string file;
    std::string categories;
    std::string expected;
};

std::vector<ManifestRow> ReadManifests() {
    std::vector<ManifestRow> rows;
    const fs::path root(ZA_CORPUS_DIR);
    if (!fs::exists(root))
        return rows;
    for (const auto& folder : {"libzip", "zip2", "libarchive", "commons-compress"}) {
        std::ifstream in(root / folder / "MANIFEST.tsv");
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream s(line);
            std::string f[5];
            for (auto& x : f)
                std::getline(s, x, '\t');
            if (!f[0].empty())
                rows.push_back({folder, f[0], f[2], f[4]});
        }
    }
    return rows;
}

// Outcome of a load: "ok", "native <n>" or "platform".
struct Outcome {
    std::string kind;
    int32_t count = 0;
    std::vector<std::u16string> names;
    int64_t stubSize = 0;
    std::string comment;
    bool headersAtOffsets = true; // every entry's offset leads to a local header signature
};

// Loads as the archive object does: with OpenCorruptedArchives off the open
// sequence first asks for the end record (native error 48 when it is missing).
Outcome LoadFile(const fs::path& path, bool openCorrupted) {
    test::LoadedArchive a(test::ReadFileBytes(path));
    a.host.openCorrupted = openCorrupted;
    Outcome o;
    try {
        auto& dm = a.Open();
        if (!dm.HasCentralDirEnd())
            throw EZAException(48, nullptr);
        dm.LoadDir();
        o.kind = "ok";
        o.count = dm.CDir().Count();
        o.stubSize = dm.StubSize();
        o.comment = dm.ArchiveComment();
        for (int32_t i = 0; i < dm.CDir().Count(); ++i) {
            const TDirItem& item = dm.CDir().ItemsPtr(i);
            o.names.push_back(item.Name);
            // Whatever was loaded is usable: the index finds every name.
            int32_t no;
            EXPECT_TRUE(dm.CDir().FileExists(item.Name, no)) << path;
            const int64_t at = item.EffectiveRelOffsetLH();
            if (at < 0 || at + 4 > static_cast<int64_t>(a.bytes.size()) ||
                a.bytes.compare(static_cast<size_t>(at), 4, "PK\x03\x04", 4) != 0)
                o.headersAtOffsets = false;
        }
    } catch (const EZAException& e) {
        o.kind = "native " + std::to_string(e.NativeError());
    } catch (const Exception&) {
        o.kind = "platform";
    }
    return o;
}

class ZipCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        oldOem = OemCodePage();
        oldAnsi = AnsiCodePage();
        ASSERT_TRUE(SetCodePages(866, 1251));
        rows = ReadManifests();
        if (rows.empty())
            GTEST_SKIP() << "no corpus at " << ZA_CORPUS_DIR;
    }
    void TearDown() override { SetCodePages(oldOem, oldAnsi); }
    static fs::path PathOf(const std::string& file) { return fs::path(ZA_CORPUS_DIR) / file; }
    uint16_t oldOem = 0, oldAnsi = 0;
    std::vector<ManifestRow> rows;
};

// Archives that do not load with OpenCorruptedArchives on (the archive
// object's default), and why.
const std::map<std::string, std::string> kFailing = {
    // Two entries named '': the name index refuses the second empty name.
    // (The manifest's lenient open lists 2 entries; this loader refuses
    // every entry after an empty name.)
    {"libzip/filename_duplicate_empty.zip", "native 59"},
    {"zip2/zip64_magic_in_filename_5.zip", "native 59"}, // entry 3 has an empty name
    {"libzip/bogus.zip", "native 35"},                   // no local header anywhere
    {"commons-compress/invalid-zip.zip", "native 35"},
    {"zip2/invalid_cde_number_of_files_allocation_greater_offset.zip", "native 35"},
    {"zip2/invalid_offset2.zip", "native 40"}, // ZIP64 markers, no ZIP64 end record
};

TEST_F(ZipCorpus, EveryArchiveLoadsOrFailsCleanly) {
    for (const auto& r : rows) {
        const std::string file = r.folder + "/" + r.file;
        SCOPED_TRACE(file);
        const Outcome on = LoadFile(PathOf(file), true);
        const auto failing = kFailing.find(file);
        EXPECT_EQ(on.kind, failing == kFailing.end() ? "ok" : failing->second);
        // With OpenCorruptedArchives off: loaded, or refused with a clean error.
        const Outcome off = LoadFile(PathOf(file), false);
        EXPECT_FALSE(off.kind.empty());
        if (off.kind == "ok") {
            EXPECT_EQ(off.count, on.count);
        }
    }
}

struct Listing {
    const char* file;
    int32_t count;
    std::vector<const char*> names; // the first names, UTF-8
    int64_t stubSize = -1;          // -1: not checked
    bool headersAtOffsets = true;
};

TEST_F(ZipCorpus, ListingsTheManifestsExpect) {
    const std::vector<Listing> listings = {
        {"libzip/test.zip", 3, {"test", "testdir/", "testdir/test2"}, 0},
        {"libzip/testempty.zip", 0, {}, 0},
        {"libzip/fileorder.zip", 2, {"file1", "file2"}},
        {"libzip/teststored.zip", 1, {"abac-repeat.txt"}},
        {"libzip/testdeflated.zip", 1, {"abac-repeat.txt"}},
        {"libzip/cm-default.zip",
         4,
         {"compressible", "uncompressible", "large-compressible", "large-uncompressible"}},
        {"libzip/filename_empty.zip", 1, {""}},
        {"libzip/filename_duplicate.zip", 2, {"test1", "test1"}},
        {"libzip/broken.zip",
         6,
         {"storedok", "storedcrcerror", "deflateok", "deflatecrcerror", "deflatezliberror",
          "cryptok"}},
        {"libzip/testcomment.zip", 4, {"file1", "file2", "file3", "file4"}},
        {"libzip/testfile-long-comment.zip", 1, {"testfile.txt"}},
        // The comment holds a complete archive whose end record passes the
        // validity test; the record nearest the end wins, as with unzip and
        // Python (the manifest, after libzip, expects the outer 'test').
        {"libzip/zip-in-archive-comment.zip", 1, {"testfile.txt"}, -1, false},
        {"libzip/zip64-in-archive-comment.zip", 1, {"-"}, -1, false},
        {"libzip/incons-archive-comment-longer.zip", 1, {}},
        {"libzip/incons-archive-comment-shorter.zip", 1, {}},
        {"libzip/testextrabytes.zip", 1, {"testfile.txt"}},
        {"libzip/junk-at-start.zip",
         3,
         {"test", "testdir/", "testdir/test2"},
         4,
         false}, // folder offsets keep the stored value
        {"libzip/junk-at-end.zip", 3, {"test", "testdir/", "testdir/test2"}},
        {"libzip/streamed.zip", 1, {"-"}},
        {"libzip/streamed-zip64.zip", 1, {"-"}},
        {"libzip/zip64.zip", 1, {}},
        {"libzip/zip64-3mf.zip", 1, {}},
        {"libzip/bigzero-zip.zip", 1, {"bigzero.zip"}},
        {"libzip/manyfiles-zip.zip", 7, {}},
        {"libzip/encrypt.zip", 2, {"encrypted", "plain"}},
        {"libzip/encrypt-aes128.zip", 2, {"plain", "encrypted"}},
        {"libzip/encrypt-aes256.zip", 2, {"plain", "encrypted"}},
        {"libzip/test-utf8.zip", 1, {"ÄÖÜäöüßćçĉéèêëē"}},
        {"libzip/testfile-UTF8.zip", 1, {"ÄÖÜßäöü"}},
        {"zip2/aes_archive.zip",
         4,
         {"secret_data_128", "secret_data_192", "secret_data_256", "secret_data_256_uncompressed"}},
        {"zip2/ZIP_CRYPTO_FILE.zip", 1, {"test.txt"}},
        {"zip2/comment_garbage.zip", 0, {}},
        {"zip2/misaligned_comment.zip", 0, {}},
        {"zip2/data_descriptor.zip", 1, {"hello.txt"}},
        {"zip2/zip64_demo.zip", 1, {}, 14},
        {"zip2/zip64_magic_in_filename_1.zip", 1, {}},
        {"zip2/zip64_magic_in_filename_2.zip", 1, {}},
        {"zip2/zip64_magic_in_filename_4.zip", 2, {}},
        {"zip2/extended_timestamp.zip", 2, {"mimetype", "test.txt"}},
        {"zip2/files_and_dirs.zip", 3, {"file0.txt", "dir1/", "dir2/"}},
        {"zip2/mimetype.zip", 1, {"mimetype"}},
        {"zip2/deflate64.zip",
         5,
         {"binary.wmv", "empty.file", "first.txt", "notempty/", "notempty/second.txt"}},
        {"zip2/linux-7z.zip", 1, {"你好.txt"}},
        {"zip2/ntfs.zip", 2, {}},
        {"zip2/symlink.zip", 1, {"bar"}},
        {"zip2/lin-ub_iwd-v11.zip", 86, {}},
        {"libarchive/test_read_format_zip.zip", 3, {"dir/", "file1", "file2"}},
        {"libarchive/test_read_format_zip_sfx", 2, {"file0", "build.sh"}},
        {"libarchive/test_compat_zip_4.zip", 3, {"foo", "bar", "baz"}},
        {"libarchive/test_read_format_zip_padded1.zip", 2, {"file0", "file1"}},
        {"libarchive/test_read_format_zip_padded2.zip", 2, {"file0", "file1"}},
        {"libarchive/test_read_format_zip_padded3.zip", 2, {"file0", "file1"}},
        {"libarchive/test_read_format_zip_comment_stored_1.zip", 2, {"file0", "build.sh"}},
        {"libarchive/test_read_format_zip_comment_stored_2.zip", 2, {"file0", "build.sh"}},
        {"libarchive/test_read_format_zip_zip64a.zip", 1, {"-"}},
        {"libarchive/test_read_format_zip_zip64b.zip", 1, {"-"}},
        {"libarchive/test_read_format_zip_with_invalid_traditional_eocd.zip",
         2,
         {"test1.txt", "test2.txt"}},
        {"libarchive/test_read_format_zip_filename_cp866.zip", 2, {"ПРИВЕТ", "привет"}},
        {"libarchive/test_read_format_zip_filename_utf8_ru.zip", 2, {"ПРИВЕТ", "привет"}},
        {"libarchive/test_read_format_zip_filename_utf8_jp.zip",
         3,
         {"表だよ/", "表だよ/一覧表.txt", "表だよ/漢字.txt"}},
        {"libarchive/test_compat_zip_8.zip", 1, {"arc\\test"}},
        {"libarchive/test_compat_zip_6.zip",
         2,
         {"New Folder/New Folder/", "New Folder/New Folder/New Text Document.txt"}},
        {"libarchive/test_compat_zip_3.zip",
         2,
         {"soapui-4.0.0/", "soapui-4.0.0/soapui-settings.xml"}},
        {"libarchive/test_compat_zip_1.zip", 2, {"META-INF/MANIFEST.MF", "tmp.class"}},
        {"libarchive/test_read_format_zip_msdos.zip",
         6,
         {"abc", "def", "def/foo", "ghi/", "jkl", "mno/"}},
        {"libarchive/test_read_format_zip_nested.zip", 2, {"small.zip", "file.txt"}},
        {"libarchive/test_read_format_zip_winzip_aes256_large.zip",
         4,
         {"Makefile", "NEWS", "README", "config.h"}},
        {"libarchive/test_basic.zip",
         5,
         {"test_basic/", "test_basic/a", "test_basic/b", "test_basic/c", "test_basic/CAPS"}},
        {"libarchive/test_I.zip", 1, {"Γειά σου Κόσμε.txt"}},
        {"commons-compress/COMPRESS-477/split_zip_created_by_zip/zip_to_compare_created_by_zip.zip",
         272,
         {}},
        {"commons-compress/COMPRESS-477/split_zip_created_by_zip/"
         "zip_to_compare_created_by_zip_zip64.zip",
         272,
         {}},
        {"commons-compress/COMPRESS-477/split_zip_created_by_winrar/"
         "zip_to_compare_created_by_winrar.zip",
         279,
         {}},
        {"commons-compress/COMPRESS-621.zip", 1, {"COMPRESS-621.txt"}, 15},
        {"commons-compress/COMPRESS-208.zip", 2, {"test1.xml", "test2.xml"}},
        {"commons-compress/archive_with_trailer.zip", 2, {"test1.xml", "test2.xml"}},
        {"commons-compress/archive_with_bytes_after_data.zip", 2, {"test1.xml", "test2.xml"}},
        {"commons-compress/bla.zip", 2, {"test1.xml", "test2.xml"}},
        // The second entry's stored offset misses the first entry's 16-byte descriptor.
        {"commons-compress/bla-stored-dd.zip", 2, {"test1.xml", "test2.xml"}, 0, false},
        {"commons-compress/OSX_ArchiveWithNestedArchive.zip", 2, {"NestedArchiv.zip", "test3.xml"}},
        {"commons-compress/mixed.zip", 2, {"inflated.txt", "stored.txt"}},
        {"commons-compress/ordertest.zip", 23, {}},
        {"commons-compress/COMPRESS-264.zip", 1, {"test.txt"}},
        {"commons-compress/COMPRESS-227.zip", 2, {"test1.txt", "test1.txt"}},
        {"commons-compress/COMPRESS-219.zip", 5, {"ä/"}},
        {"commons-compress/compress-692.zip", 6, {}},
        {"commons-compress/SHRUNK.ZIP", 2, {"TEST1.XML", "TEST2.XML"}},
        {"commons-compress/COMPRESS-380-dd.zip", 5, {"META-INF/MANIFEST.MF"}},
    };
    for (const auto& l : listings) {
        SCOPED_TRACE(l.file);
        const Outcome o = LoadFile(PathOf(l.file), true);
        ASSERT_EQ(o.kind, "ok");
        EXPECT_EQ(o.count, l.count);
        for (size_t i = 0; i < l.names.size() && i < o.names.size(); ++i)
            EXPECT_EQ(ToUtf8(o.names[i]), l.names[i]) << i;
        if (l.stubSize >= 0) {
            EXPECT_EQ(o.stubSize, l.stubSize);
        }
        if (l.headersAtOffsets) {
            EXPECT_TRUE(o.headersAtOffsets);
        }
    }
}

TEST_F(ZipCorpus, Comments) {
    EXPECT_EQ(LoadFile(PathOf("libzip/testcomment.zip"), true).comment,
              "This is the archive comment for the file.\r\n\r\nLong.\r\n\r\nLonger.\r\n");
    EXPECT_EQ(LoadFile(PathOf("libzip/testfile-long-comment.zip"), true).comment,
              std::string(22781, 'X'));
    EXPECT_EQ(LoadFile(PathOf("zip2/comment_garbage.zip"), true).comment, "short.");
    EXPECT_EQ(LoadFile(PathOf("zip2/misaligned_comment.zip"), true).comment, "short.");
}

TEST_F(ZipCorpus, WithoutOpenCorruptedArchives) {
    const struct {
        const char* file;
        const char* kind;
    } cases[] = {
        {"commons-compress/apache-maven-2.2.1.zip.001", "native 48"}, // no end record
        {"libarchive/test_read_format_zip_malformed1.zip", "native 48"},
        {"commons-compress/COMPRESS-548.zip", "native 48"},
        {"commons-compress/ZipFile-method.zip", "native 57"},
        {"libzip/incons-file-count-high.zip",
         "native 57"}, // more entries than the directory can hold
        {"libzip/test.zip", "ok"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadFile(PathOf(c.file), false).kind, c.kind) << c.file;
}

} // namespace
} // namespace za

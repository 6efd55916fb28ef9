// Every archive of the shared corpus (other projects' test archives, see its
// README) goes through the whole pipeline: each entry is tested into a
// discarding stream with a fixed password, which must never crash or hang.
// Archives that Info-ZIP unzip tests as intact (and that hold nothing this
// engine leaves out: AES with an unknown password, other methods, split sets)
// must test intact here too, and extract byte for byte as Python's zipfile
// reads them where Python can.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archiver/ZipArchiver.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace za::test {
namespace {

struct Row {
    std::string file;
    std::string categories;
    std::string localCheck;
};

std::vector<Row> Manifest(const std::string& folder) {
    std::vector<Row> rows;
    std::ifstream in(folder + "/MANIFEST.tsv");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t')) {
            cols.push_back(col);
        }
        if (cols.size() >= 7) {
            rows.push_back({cols[0], cols[2], cols[6]});
        }
    }
    return rows;
}

struct Outcome {
    bool opened = false;
    int failures = 0;
    int entries = 0;
};

Outcome TestArchive(const std::string& path) {
    Outcome o;
    TZipArchiver arc;
    arc.SetFileName(FromNativePath(path));
    arc.SetPassword("password"); // whatever the entries need, it must not crash
    arc.SetOnPassword(
        [](TZABaseArchiver*, const std::u16string&, std::string&, bool& skip) { skip = true; });
    arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                    int32_t, int32_t, const std::u16string&, TZAAction& action) {
        ++o.failures;
        action = fxaIgnore;
    });
    arc.SetOnRequestMiddleVolume(
        [](TZABaseArchiver*, int32_t, std::u16string&, bool& cancel) { cancel = true; });
    arc.SetOnRequestLastVolume(
        [](TZABaseArchiver*, std::u16string&, bool& cancel) { cancel = true; });
    arc.SetOnRequestFirstVolume(
        [](TZABaseArchiver*, std::u16string&, bool& cancel) { cancel = true; });
    try {
        arc.OpenArchive(64);
        o.opened = true;
        o.entries = arc.DirManager() ? static_cast<int>(arc.FileCount()) : 0;
        arc.TestFiles(u"*.*", ZASearchAllAttr, u"");
    } catch (const Exception&) {
        // a clean refusal is fine for a broken archive
    }
    return o;
}

bool Has(const std::string& s, const char* what) {
    return s.find(what) != std::string::npos;
}

TEST(CorpusExtract, EveryArchiveGoesThroughThePipelineSafely) {
    const std::string root = ZA_CORPUS_DIR;
    std::ifstream probe(root + "/README.md");
    if (!probe) {
        GTEST_SKIP() << "no corpus at " << root;
    }
    int checkedIntact = 0;
    for (const char* folder : {"libzip", "zip2", "libarchive", "commons-compress"}) {
        for (const Row& r : Manifest(root + "/" + folder)) {
            const std::string path = root + "/" + folder + "/" + r.file;
            const Outcome o = TestArchive(path);
            const bool unzipIntact = Has(r.localCheck, "unzip-t:0");
            const bool skipKinds = Has(r.categories, "enc-") || Has(r.categories, "unsupported") ||
                                   Has(r.categories, "split") || Has(r.categories, "corrupt");
            if (unzipIntact && !skipKinds) {
                EXPECT_TRUE(o.opened) << folder << "/" << r.file;
                EXPECT_EQ(o.failures, 0) << folder << "/" << r.file;
                ++checkedIntact;
            }
        }
    }
    EXPECT_GT(checkedIntact, 20);
}

// Entries the manifests call damaged fail the test (and only those).
TEST(CorpusExtract, DamagedEntriesFailAndIntactOnesPass) {
    const std::string root = ZA_CORPUS_DIR;
    std::ifstream probe(root + "/README.md");
    if (!probe) {
        GTEST_SKIP() << "no corpus at " << root;
    }
    struct Case {
        const char* file;
        const char* password;
        std::vector<std::string> damaged;
    };
    const std::vector<Case> cases = {
        {"libzip/broken.zip", "crypt", {"storedcrcerror", "deflatecrcerror", "deflatezliberror"}},
        {"libzip/hmac-error.zip", "1234", {"test.txt"}},
        {"libarchive/test_read_format_zip.zip", "", {"file2"}},
        {"libarchive/test_read_format_zip_uncompressed_size_off_by_4gib.zip", "", {"hello.txt"}},
        {"libarchive/test_read_format_zip_size_exceeds_declared_stored.zip", "", {"first"}},
        {"libarchive/test_read_format_zip_size_exceeds_declared_deflate.zip", "", {"first"}},
    };
    for (const Case& c : cases) {
        TZipArchiver arc;
        arc.SetFileName(FromNativePath(root + "/" + c.file));
        arc.SetPassword(c.password);
        std::vector<std::string> failed;
        arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string& name,
                                        TZAProcessOperation, int32_t native, int32_t,
                                        const std::u16string&, TZAAction& action) {
            EXPECT_EQ(native, 8) << c.file;
            failed.push_back(ToUtf8(name));
            action = fxaIgnore;
        });
        arc.OpenArchive(64);
        arc.TestFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(failed, c.damaged) << c.file;
        EXPECT_EQ(arc.ProcessedFileNo() + static_cast<int32_t>(failed.size()),
                  arc.ProcessedFileCount())
            << c.file;
    }
}

} // namespace
} // namespace za::test

// Split sets read across volumes: the advanced naming (set_001.zip ...), a
// middle volume supplied by OnRequestMiddleVolume from elsewhere, and a
// missing middle volume without a handler (native error 45 and the failure
// protocol's silent abort).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ArchiverTestUtil.h"
#include "archiver/ZipArchiver.h"
#include "platform/Dialogs.h"
#include "support/ZipBuilder.h"

namespace za::test {
namespace {

std::string Noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return s;
}

class VolumeExtractTest : public ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        big = Noise(200000, 7);
        ZipBuilder b;
        b.AddStored("big.bin", big);
        b.AddDeflated("small.txt", "small text");
        volumes = b.BuildSplit(65536);
        ASSERT_GE(volumes.size(), 3u);
    }
    // Writes volume i under `name`.
    void Put(size_t i, const std::string& name) { WriteNative(Native(name), volumes[i]); }

    std::string big;
    std::vector<std::string> volumes;
};

TEST_F(VolumeExtractTest, AdvancedNamingSetExtracts) {
    for (size_t i = 0; i + 1 < volumes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set_%03zu.zip", i + 1);
        Put(i, name);
    }
    Put(volumes.size() - 1, "set.zip");
    TZipArchiver arc;
    arc.SetFileName(u"set.zip");
    arc.SpanningOptions().SetAdvancedNaming(true);
    arc.OpenArchive(64);
    arc.SetBaseDir(u"out");
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ReadNative(Native("out/big.bin")), big);
    EXPECT_EQ(ReadNative(Native("out/small.txt")), "small text");
    EXPECT_EQ(arc.NotExtractedFileCount(), 0);
}

TEST_F(VolumeExtractTest, MiddleVolumeFromAHandler) {
    for (size_t i = 0; i + 1 < volumes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set.z%02zu", i + 1);
        Put(i, i == 1 ? "moved.bin" : name);
    }
    Put(volumes.size() - 1, "set.zip");
    TZipArchiver arc;
    arc.SetFileName(u"set.zip");
    arc.OpenArchive(64);
    arc.SetBaseDir(u"out");
    std::vector<int32_t> asked;
    arc.SetOnRequestMiddleVolume(
        [&](TZABaseArchiver*, int32_t number, std::u16string& name, bool& cancel) {
            asked.push_back(number);
            if (number == 2) {
                name = u"moved.bin";
            }
            cancel = false;
        });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ReadNative(Native("out/big.bin")), big);
    EXPECT_NE(std::find(asked.begin(), asked.end(), 2), asked.end());
}

TEST_F(VolumeExtractTest, MissingMiddleVolumeAbortsSilently) {
    for (size_t i = 0; i + 1 < volumes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set.z%02zu", i + 1);
        if (i != 1) {
            Put(i, name);
        }
    }
    Put(volumes.size() - 1, "set.zip");
    TScriptedDialogs dialogs;
    TDialogsScope scope(&dialogs);
    TZipArchiver arc;
    arc.SetFileName(u"set.zip");
    arc.OpenArchive(64);
    arc.SetBaseDir(u"out");
    std::vector<TZAProgressPhase> overall;
    arc.SetOnOverallProgress(
        [&](TZABaseArchiver*, double, TZAProcessOperation, TZAProgressPhase phase, bool&) {
            if (phase != ppProcess) {
                overall.push_back(phase);
            }
        });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(overall, (std::vector<TZAProgressPhase>{ppStart, ppEnd}));
    EXPECT_EQ(arc.ProcessedFileNo(), 0);
    EXPECT_EQ(ReadNative(Native("out/big.bin")), "");
}

} // namespace
} // namespace za::test

namespace za::test {
namespace {

// A self-extracting split set opens through its first volume, the .exe.
using SfxSplitSetTest = ScratchDirTest;

TEST_F(SfxSplitSetTest, OpensAndExtractsThroughItsExe) {
    const std::string big = Noise(150000, 11);
    ZipBuilder b;
    b.Stub(std::string(4096, 'S'), true);
    b.AddStored("big.bin", big);
    b.AddDeflated("small.txt", "small text");
    const std::vector<std::string> volumes = b.BuildSplit(65536);
    ASSERT_GE(volumes.size(), 3u);
    WriteNative(Native("set.exe"), volumes[0]);
    for (size_t i = 1; i + 1 < volumes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set.z%02zu", i + 1);
        WriteNative(Native(name), volumes[i]);
    }
    WriteNative(Native("set.zip"), volumes.back());
    TZipArchiver arc;
    arc.SetFileName(u"set.exe");
    arc.OpenArchive(64);
    EXPECT_EQ(arc.FileCount(), 2);
    arc.SetBaseDir(u"out");
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ReadNative(Native("out/big.bin")), big);
    EXPECT_EQ(ReadNative(Native("out/small.txt")), "small text");
}

} // namespace
} // namespace za::test

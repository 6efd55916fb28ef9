// Helpers of the archive object's tests: a scratch folder that is the
// current directory for the test, and whole-file reads and writes.
#pragma once

#include <dirent.h>

#include <algorithm>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "archiver/ZipArchiver.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "support/ZipBuilder.h"

namespace za::test {

// The names in a folder, sorted, without "." and "..".
inline std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") {
                names.push_back(n);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadNative(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteNative(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every test runs in a fresh folder below the system's temp folder, which is
// also the current directory, so relative engine paths like "res\gsm.zip"
// land in it.
class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/za_archiver_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        FDir = tmpl;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        FOldCwd = cwd;
        ASSERT_EQ(chdir(FDir.c_str()), 0);
    }
    void TearDown() override {
        if (!FOldCwd.empty()) {
            EXPECT_EQ(chdir(FOldCwd.c_str()), 0);
        }
        if (!FDir.empty()) {
            const std::string cmd = "chmod -R u+w '" + FDir + "' && rm -rf '" + FDir + "'";
            EXPECT_EQ(std::system(cmd.c_str()), 0);
        }
    }
    // A native path inside the scratch folder.
    std::string Native(const std::string& rel) const { return FDir + "/" + rel; }
    void MakeDir(const std::string& rel) const { ASSERT_EQ(mkdir(Native(rel).c_str(), 0755), 0); }

    std::string FDir;
    std::string FOldCwd;
};

// A scratch folder with an archive object on "a.zip" built there, extracting
// into "out".
class ArchiveTest : public ScratchDirTest {
protected:
    void Open(const ZipBuilder& b) {
        WriteNative(Native("a.zip"), b.Build());
        arc.SetFileName(u"a.zip");
        arc.OpenArchive();
        arc.SetBaseDir(u"out");
    }

    TZipArchiver arc;
};

} // namespace za::test

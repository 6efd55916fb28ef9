// Helpers of the platform tests: a private temporary folder per test.
#pragma once

#include "platform/Path.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace za::test {

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "za_platform_XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        FDir = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(FDir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(FDir, ec);
    }
    // Native path of a name in the folder.
    std::string Native(const std::string& name) const { return FDir + "/" + name; }
    // The same as an engine path (drive-less, "\" separators).
    std::u16string Engine(const std::string& name) const {
        return SlashesToBackslashes(FromUtf8(Native(name)));
    }

    std::string FDir;
};

} // namespace za::test

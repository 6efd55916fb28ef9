// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace za::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // Writes bytes to a file below the folder and returns its native path.
    std::filesystem::path WriteFile(const std::string& relativeName, std::string_view bytes) const;

private:
    std::filesystem::path FPath;
};

// Whole file as bytes.
std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace za::test

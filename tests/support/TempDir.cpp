#include "tests/support/TempDir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace za::test {

TempDir::TempDir() {
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "za-test-" << std::hex << rd() << rd();
        auto candidate = root / name.str();
        if (std::filesystem::create_directory(candidate)) {
            FPath = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

std::filesystem::path TempDir::WriteFile(const std::string& relativeName,
                                         std::string_view bytes) const {
    auto path = FPath / relativeName;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    return path;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace za::test

#include "AppTestSupport.h"
#include "platform/Path.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace za::test {

namespace {

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    return table;
}

uint32_t CrcByte(uint32_t crc, uint8_t b) {
    return CrcTable()[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

uint32_t Crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc = CrcByte(crc, c);
    }
    return crc ^ 0xFFFFFFFFu;
}

// PKZIP classic ("traditional") encryption.
class TZipCrypto {
public:
    explicit TZipCrypto(const std::string& password) {
        for (unsigned char c : password) {
            Update(c);
        }
    }
    uint8_t Encrypt(uint8_t plain) {
        const uint32_t temp = (FKey2 | 2) & 0xFFFF;
        const uint8_t cipher = plain ^ static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
        Update(plain);
        return cipher;
    }

private:
    void Update(uint8_t c) {
        FKey0 = CrcByte(FKey0, c);
        FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
        FKey2 = CrcByte(FKey2, static_cast<uint8_t>(FKey1 >> 24));
    }
    uint32_t FKey0 = 0x12345678u;
    uint32_t FKey1 = 0x23456789u;
    uint32_t FKey2 = 0x34567890u;
};

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    out.resize(z.total_out);
    return out;
}

void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// 1 September 2018, 12:00:00 as MS-DOS date and time.
constexpr uint16_t kDosDate = ((2018 - 1980) << 9) | (9 << 5) | 1;
constexpr uint16_t kDosTime = 12 << 11;

} // namespace

std::string BuildZip(const std::vector<TFixtureEntry>& entries) {
    std::string zip;
    std::string central;
    uint32_t seed = 0x5EED1234u;
    for (const TFixtureEntry& e : entries) {
        const bool folder = !e.Name.empty() && e.Name.back() == '/';
        const uint32_t crc = Crc32(e.Data) ^ (e.WrongCrc ? 0x00A5A5A5u : 0u);
        std::string payload = e.Deflate ? RawDeflate(e.Data) : e.Data;
        const uint16_t flags = e.Password ? 1 : 0;
        if (e.Password) {
            TZipCrypto crypto(*e.Password);
            std::string sealed;
            for (int i = 0; i < 11; ++i) {
                seed = seed * 1103515245u + 12345u;
                sealed.push_back(
                    static_cast<char>(crypto.Encrypt(static_cast<uint8_t>(seed >> 16))));
            }
            // The last header byte is the CRC's high byte: the password check.
            sealed.push_back(static_cast<char>(crypto.Encrypt(static_cast<uint8_t>(crc >> 24))));
            for (unsigned char c : payload) {
                sealed.push_back(static_cast<char>(crypto.Encrypt(c)));
            }
            payload = sealed;
        }
        const uint16_t method = e.Deflate ? 8 : 0;
        const uint32_t offset = static_cast<uint32_t>(zip.size());

        Put32(zip, 0x04034b50u);
        Put16(zip, 20);
        Put16(zip, flags);
        Put16(zip, method);
        Put16(zip, kDosTime);
        Put16(zip, kDosDate);
        Put32(zip, crc);
        Put32(zip, static_cast<uint32_t>(payload.size()));
        Put32(zip, static_cast<uint32_t>(e.Data.size()));
        Put16(zip, static_cast<uint32_t>(e.Name.size()));
        Put16(zip, 0);
        zip += e.Name;
        zip += payload;

        Put32(central, 0x02014b50u);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, method);
        Put16(central, kDosTime);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(payload.size()));
        Put32(central, static_cast<uint32_t>(e.Data.size()));
        Put16(central, static_cast<uint32_t>(e.Name.size()));
        Put16(central, 0); // extra
        Put16(central, 0); // comment
        Put16(central, 0); // disk
        Put16(central, 0); // internal attributes
        Put32(central, folder ? 0x10u : 0x20u);
        Put32(central, offset);
        central += e.Name;
    }
    const uint32_t centralOffset = static_cast<uint32_t>(zip.size());
    zip += central;
    Put32(zip, 0x06054b50u);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put32(zip, static_cast<uint32_t>(central.size()));
    Put32(zip, centralOffset);
    Put16(zip, 0);
    return zip;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    if (!path.parent_path().empty()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TSandbox::TSandbox() : FPrevious(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "za-app-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp");
    }
    FRoot = pattern;
    std::filesystem::current_path(FRoot);
}

TSandbox::~TSandbox() {
    std::error_code ec;
    std::filesystem::current_path(FPrevious, ec);
    // Read-only files and folders are made writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(FRoot, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(FRoot, ec);
}

TEnvVar::TEnvVar(std::string name, const std::optional<std::string>& value)
    : FName(std::move(name)) {
    if (const char* old = std::getenv(FName.c_str())) {
        FOld = old;
    }
    if (value) {
        setenv(FName.c_str(), value->c_str(), 1);
    } else {
        unsetenv(FName.c_str());
    }
}

TEnvVar::~TEnvVar() {
    if (FOld) {
        setenv(FName.c_str(), FOld->c_str(), 1);
    } else {
        unsetenv(FName.c_str());
    }
}

} // namespace za::test

// Archives written by other tools (tests/fixtures/crypto/make.sh): 7-Zip's
// AES-256 and Info-ZIP's PKZIP classic encryption, password "PW".
#include "crypto/Crc32.h"
#include "crypto/ZAAESCryptoTransform.h"
#include "crypto/ZipCrypt.h"

#include "platform/Stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>

namespace za {
namespace {

struct LocalEntry {
    std::string name;
    uint16_t flag = 0, method = 0, time = 0;
    uint32_t crc = 0;
    std::vector<uint8_t> extra, data; // data: the stored bytes
};

uint32_t Le(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// Walks the central directory (Info-ZIP puts data descriptors behind
// encrypted entries, so local sizes may be zero) and takes name, extra field
// and data from each local header.
std::vector<LocalEntry> ReadLocalEntries(const char* file) {
    std::ifstream in(std::string(ZA_CRYPTO_FIXTURES) + "/" + file, std::ios::binary);
    const std::vector<uint8_t> zip((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    std::vector<LocalEntry> out;
    if (zip.size() < 22)
        return out;
    size_t eocd = zip.size() - 22;
    while (eocd > 0 && Le(&zip[eocd], 4) != 0x06054b50)
        --eocd;
    size_t cd = Le(&zip[eocd + 16], 4);
    const uint32_t count = Le(&zip[eocd + 10], 2);
    for (uint32_t i = 0; i < count && cd + 46 <= zip.size() && Le(&zip[cd], 4) == 0x02014b50; ++i) {
        const uint8_t* c = &zip[cd];
        LocalEntry e;
        e.flag = static_cast<uint16_t>(Le(c + 8, 2));
        e.method = static_cast<uint16_t>(Le(c + 10, 2));
        e.time = static_cast<uint16_t>(Le(c + 12, 2));
        e.crc = Le(c + 16, 4);
        const uint32_t csize = Le(c + 20, 4), local = Le(c + 42, 4);
        cd += 46 + Le(c + 28, 2) + Le(c + 30, 2) + Le(c + 32, 2);
        if (local + 30 > zip.size())
            break;
        const uint8_t* h = &zip[local];
        const size_t name = local + 30, extra = name + Le(h + 26, 2), data = extra + Le(h + 28, 2);
        if (data + csize > zip.size())
            break;
        auto at = [&](size_t k) { return zip.begin() + static_cast<std::ptrdiff_t>(k); };
        e.name.assign(at(name), at(extra));
        e.extra.assign(at(extra), at(data));
        e.data.assign(at(data), at(data + csize));
        out.push_back(std::move(e));
    }
    return out;
}

std::string Hello() {
    return "Hello, encrypted world!\n";
}
std::string Lorem() {
    std::string s;
    for (int i = 0; i < 40; ++i)
        s += "Lorem ipsum dolor sit amet, line " + std::to_string(i) + " of the test text.\n";
    return s;
}

std::string InflateRaw(const std::vector<uint8_t>& in) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    std::string out(1 << 16, '\0');
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

TEST(Interop, SevenZipAes256) {
    const auto entries = ReadLocalEntries("aes256.zip");
    ASSERT_EQ(entries.size(), 2u);
    for (const LocalEntry& e : entries) {
        ASSERT_EQ(e.method, 99) << e.name;
        ASSERT_GE(e.extra.size(), 11u);
        ASSERT_EQ(Le(e.extra.data(), 2), 0x9901u);
        ASSERT_EQ(e.extra[4 + 4], 3) << "strength byte";
        const uint16_t actual = static_cast<uint16_t>(Le(e.extra.data() + 9, 2));
        const uint16_t version = static_cast<uint16_t>(Le(e.extra.data() + 4, 2));

        TAESCryptoTransform t(256, 2, actual);
        const TZACryptoItemInfo info{e.crc};
        t.Initialize(Decryption, info);
        t.GenerateKey("pw");
        TReadOnlyMemoryStream s(e.data.data(), e.data.size());
        t.LoadFileStorageStartBlock(s, 0);
        EXPECT_FALSE(t.CheckPassword("pw", info)) << "wrong password accepted";
        t.GenerateKey("PW");
        s.SetPosition(0);
        t.LoadFileStorageStartBlock(s, 0);
        ASSERT_TRUE(t.CheckPassword("PW", info)) << e.name;
        const int64_t n = static_cast<int64_t>(e.data.size()) - 18 - 10;
        std::vector<uint8_t> plain(static_cast<size_t>(n));
        s.ReadBuffer(plain.data(), n);
        for (int64_t at = 0; at < n; at += 7) // odd chunks
            t.DecryptBuffer(plain.data(), static_cast<int32_t>(at),
                            static_cast<int32_t>(std::min<int64_t>(7, n - at)), plain.data(),
                            static_cast<int32_t>(at));
        t.LoadFileStorageEndBlock(s, 0);
        const std::string text =
            actual == 0 ? std::string(plain.begin(), plain.end()) : InflateRaw(plain);
        const uint32_t crc = UpdateCrc32(0xFFFFFFFF, text.data(), text.size()) ^ 0xFFFFFFFFu;
        EXPECT_FALSE(t.IsDirItemCorrupted(info, crc)) << e.name;
        EXPECT_EQ(text, e.name == "hello.txt" ? Hello() : Lorem())
            << e.name << " version " << version;
    }
}

TEST(Interop, InfoZipClassic) {
    const auto entries = ReadLocalEntries("classic.zip");
    ASSERT_EQ(entries.size(), 2u);
    for (const LocalEntry& e : entries) {
        ASSERT_EQ(e.flag & 1, 1) << e.name;
        TReadOnlyMemoryStream s(e.data.data(), e.data.size());
        TZipCryptKeys keys;
        EXPECT_FALSE(ZipCryptCheckHeader(s, "pw", keys, e.crc, e.time, e.flag))
            << "wrong password accepted";
        s.SetPosition(0);
        ASSERT_TRUE(ZipCryptCheckHeader(s, "PW", keys, e.crc, e.time, e.flag)) << e.name;
        std::vector<uint8_t> plain(e.data.begin() + 12, e.data.end());
        const size_t half = plain.size() / 2;
        ZipCryptDecodeBuffer(plain.data(), half, keys);
        ZipCryptDecodeBuffer(plain.data() + half, plain.size() - half, keys);
        const std::string text =
            e.method == 0 ? std::string(plain.begin(), plain.end()) : InflateRaw(plain);
        EXPECT_EQ(text, e.name == "hello.txt" ? Hello() : Lorem()) << e.name;
        EXPECT_EQ(UpdateCrc32(0xFFFFFFFF, text.data(), text.size()) ^ 0xFFFFFFFFu, e.crc);
    }
}

} // namespace
} // namespace za

#include "crypto/ZipCrypt.h"

#include "TestUtil.h"

#include "platform/Exception.h"
#include "platform/Stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace za {
namespace {

using test::RandomBytes;

// The writer's header: 10 random bytes, then bits 16..23 and 24..31 of the
// CRC, encoded with fresh keys; followed by the encoded data.
std::vector<uint8_t> Encrypt(const std::string& password, uint32_t crc,
                             const std::vector<uint8_t>& plain, uint8_t lastHeaderByte) {
    std::vector<uint8_t> out = RandomBytes(10, 99);
    out.push_back(static_cast<uint8_t>(crc >> 16));
    out.push_back(lastHeaderByte);
    out.insert(out.end(), plain.begin(), plain.end());
    TZipCryptKeys keys;
    ZipCryptInitKeys(password, keys);
    ZipCryptEncodeBuffer(out.data(), 0, out.size(), keys);
    return out;
}

TEST(ZipCrypt, InitialKeysAndKeyByte) {
    TZipCryptKeys k;
    ZipCryptInitKeys("", k);
    EXPECT_EQ(k.Key0, 0x12345678u);
    EXPECT_EQ(k.Key1, 0x23456789u);
    EXPECT_EQ(k.Key2, 0x34567890u);
    // t = (Key2 | 2) & 0xFFFF = 0x7892; (t * (t ^ 1)) >> 8 & 0xFF.
    const uint32_t t = 0x7892;
    EXPECT_EQ(ZipCryptKeyByte(k), static_cast<uint8_t>((t * (t ^ 1)) >> 8));
}

TEST(ZipCrypt, KeyArithmeticWrapsModulo2To32) {
    struct Case {
        uint32_t k0, k1, k2;
        uint8_t b;
    };
    const Case cases[] = {{0, 0xFFFFFFFFu, 0, 0},
                          {0xFFFFFFFFu, 0xFFFFFF00u, 0xFFFFFFFFu, 0xFF},
                          {0x12345678u, 0xFFFFFFFEu, 0x80000000u, 0x80}};
    for (const Case& c : cases) {
        TZipCryptKeys k{c.k0, c.k1, c.k2};
        ZipCryptUpdateKeys(k, c.b);
        const uint32_t k0 = CrcTable[(c.k0 ^ c.b) & 0xFF] ^ (c.k0 >> 8);
        const uint64_t wide = (uint64_t{c.k1} + (k0 & 0xFF)) * 134775813ull + 1;
        const uint32_t k1 = static_cast<uint32_t>(wide);
        const uint32_t k2 = CrcTable[(c.k2 ^ (k1 >> 24)) & 0xFF] ^ (c.k2 >> 8);
        EXPECT_EQ(k.Key0, k0);
        EXPECT_EQ(k.Key1, k1);
        EXPECT_EQ(k.Key2, k2);
    }
}

TEST(ZipCrypt, FastDecoderEqualsReferenceInAnyChunking) {
    const auto cipher = RandomBytes(20000, 5);
    TZipCryptKeys start;
    ZipCryptInitKeys("secret\xC4\xFF", start);
    std::vector<uint8_t> want = cipher;
    TZipCryptKeys ref = start;
    zipcrypt_detail::DecodeBufferReference(want.data(), want.size(), ref);
    for (size_t chunk : {size_t{1}, size_t{3}, size_t{12}, size_t{4096}, size_t{20000}}) {
        std::vector<uint8_t> got = cipher;
        TZipCryptKeys k = start;
        for (size_t at = 0; at < got.size(); at += chunk)
            ZipCryptDecodeBuffer(got.data() + at, std::min(chunk, got.size() - at), k);
        EXPECT_EQ(got, want) << "chunk " << chunk;
        EXPECT_EQ(k.Key0, ref.Key0);
        EXPECT_EQ(k.Key1, ref.Key1);
        EXPECT_EQ(k.Key2, ref.Key2);
    }
}

TEST(ZipCrypt, EncodeThenDecodeRoundTrips) {
    const auto plain = RandomBytes(1000, 6);
    for (const std::string& pw :
         {std::string("a"), std::string("\x80\xFE\x01 long password"), std::string(300, 'x')}) {
        std::vector<uint8_t> data = plain;
        TZipCryptKeys e, d;
        ZipCryptInitKeys(pw, e);
        ZipCryptEncodeBuffer(data.data(), 0, 400, e);
        ZipCryptEncodeBuffer(data.data(), 400, 600, e);
        EXPECT_NE(data, plain);
        ZipCryptInitKeys(pw, d);
        ZipCryptDecodeBuffer(data.data(), data.size(), d);
        EXPECT_EQ(data, plain);
    }
}

TEST(ZipCrypt, CheckByteSelection) {
    const std::vector<uint8_t> plain = {1, 2, 3};
    struct Case {
        uint32_t crc;
        uint16_t time, flag;
        uint8_t lastByte; // what the writer put at index 11
        bool accepted;
    };
    const Case cases[] = {
        {0xAB000000u, 0x1234, 0x0000, 0xAB, true},  // CRC high byte
        {0xAB000000u, 0x1234, 0x0000, 0x12, false}, // time ignored without bit 3
        {0xAB000000u, 0x1234, 0x0008, 0x12, true},  // bit 3: time high byte, even with a CRC
        {0xAB000000u, 0x1234, 0x0008, 0xAB, false},
        {0x00000000u, 0x5678, 0x0001, 0x00, true}, // no CRC: check byte is zero
        {0x00000000u, 0x5678, 0x0001, 0x01, false},
    };
    for (const Case& c : cases) {
        const auto enc = Encrypt("pw", c.crc, plain, c.lastByte);
        TZipCryptKeys k;
        EXPECT_EQ(ZipCryptCheckHeaderBlock(enc.data(), "pw", k, c.crc, c.time, c.flag), c.accepted)
            << std::hex << c.crc << " " << c.flag;
    }
}

TEST(ZipCrypt, CheckHeaderFromStreamLeavesKeysForTheData) {
    const auto plain = RandomBytes(77, 7);
    const auto enc = Encrypt("right", 0x5A000000u, plain, 0x5A);
    TReadOnlyMemoryStream s(enc.data(), enc.size());
    TZipCryptKeys k;
    ASSERT_TRUE(ZipCryptCheckHeader(s, "right", k, 0x5A000000u, 0, 0));
    EXPECT_EQ(s.Position(), 12);
    std::vector<uint8_t> data(enc.begin() + 12, enc.end());
    ZipCryptDecodeBuffer(data.data(), data.size(), k);
    EXPECT_EQ(data, plain);

    // A wrong password is an answer; this one fails the one-byte check.
    s.SetPosition(0);
    EXPECT_FALSE(ZipCryptCheckHeader(s, "wrong", k, 0x5A000000u, 0, 0));
}

TEST(ZipCrypt, ShortHeaderRaisesTheReadError) {
    const uint8_t few[11] = {};
    TReadOnlyMemoryStream s(few, sizeof few);
    TZipCryptKeys k;
    EXPECT_THROW(ZipCryptCheckHeader(s, "pw", k, 0, 0, 0), EReadError);
}

} // namespace
} // namespace za

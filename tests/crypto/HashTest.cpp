#include "crypto/ZAHash.h"
#include "crypto/ZAKeyDeriv.h"
#include "crypto/ZAPBKDF_2.h"
#include "crypto/ZAhmac.h"
#include "crypto/ZApb_kdf.h"
#include "crypto/ZAsha1.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace za {
namespace {

using test::Bytes;
using test::FromHex;
using test::RandomBytes;
using test::ToHex;

std::string Sha1Hex(const void* data, size_t n) {
    THashDigest d;
    HashOfBuffer(FindHashDescById(SHA1HashId), d, data, static_cast<int32_t>(n));
    return ToHex(d.data(), 20);
}

std::string HmacHex(const std::vector<uint8_t>& key, const std::vector<uint8_t>& msg,
                    size_t outLen = 20) {
    THMAC_Context c;
    HMACStart(c, FindHashDescByName("SHA1"), key.data(), static_cast<uint16_t>(key.size()));
    HMACAddData(c, msg.data(), static_cast<int32_t>(msg.size()));
    THashDigest mac;
    HMACFinish(c, mac);
    return ToHex(mac.data(), outLen);
}

// ---------------------------------------------------------------- registry

THashDesc CopyOfSha1(uint32_t algNum, const char* name) {
    THashDesc d = SHA1Desc();
    d.HAlgNum = algNum;
    d.HName.Length = static_cast<uint8_t>(std::strlen(name));
    std::memcpy(d.HName.Chars, name, d.HName.Length);
    return d;
}

TEST(HashRegistry, Sha1IsRegisteredUnderThreeAndByName) {
    PHashDesc d = FindHashDescById(SHA1HashId);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d, &SHA1Desc());
    EXPECT_EQ(d->HSig, 0x3D7A);
    EXPECT_EQ(d->HDSize, HashDescRecordSize);
    EXPECT_EQ(d->HDVersion, 0x00010003u);
    EXPECT_EQ(d->HBlockLen, 64);
    EXPECT_EQ(d->HDigestlen, 20);
    EXPECT_EQ(d->HLenOID, 6);
    EXPECT_EQ((*d->HPtrOID)[5], 26);
    EXPECT_EQ((*d->HPtrOID)[6], -1);
    EXPECT_EQ(FindHashDescByName("sha1"), d);
    EXPECT_EQ(FindHashDescByName("Sha1"), d);
    EXPECT_EQ(FindHashDescByName("SHA-1"), nullptr);
    for (int32_t id : {-1, 0, 2, 4, 8, 9})
        EXPECT_EQ(FindHashDescById(id), nullptr) << id;
}

TEST(HashRegistry, RefusedDescriptorsLeaveTheSlotAsItWas) {
    static THashDesc wrongAlg = CopyOfSha1(7, "WRONGALG");
    static THashDesc wrongVersion = CopyOfSha1(7, "WRONGVER");
    wrongVersion.HDVersion = 0x00010002;
    static THashDesc wrongSize = CopyOfSha1(7, "WRONGSIZE");
    wrongSize.HDSize = 80;
    static THashDesc wrongSig = CopyOfSha1(7, "WRONGSIG");
    wrongSig.HSig = 0x1234;
    RegisterHashDesc(8, &wrongAlg); // HAlgNum 7 under identifier 8
    RegisterHashDesc(7, &wrongVersion);
    RegisterHashDesc(7, &wrongSize);
    RegisterHashDesc(7, &wrongSig);
    RegisterHashDesc(7, nullptr);
    EXPECT_EQ(FindHashDescById(7), nullptr);
    EXPECT_EQ(FindHashDescById(8), nullptr);
    static THashDesc overSha1 = CopyOfSha1(3, "OTHER");
    overSha1.HDVersion = 0;
    RegisterHashDesc(3, &overSha1);
    EXPECT_EQ(FindHashDescById(3), &SHA1Desc());
}

TEST(HashRegistry, NameLookupComparesTheFirstNineteenCharacters) {
    static THashDesc longName = CopyOfSha1(6, "ABCDEFGHIJKLMNOPQRS"); // 19 characters
    RegisterHashDesc(6, &longName);
    ASSERT_EQ(FindHashDescById(6), &longName);
    EXPECT_EQ(FindHashDescByName("abcdefghijklmnopqrsTUVWXYZ"), &longName);
    EXPECT_EQ(FindHashDescByName("abcdefghijklmnopqr"), nullptr);
}

// ---------------------------------------------------------------- SHA-1

TEST(Sha1, Fips180Vectors) {
    struct Case {
        std::string msg;
        const char* digest;
    };
    const Case cases[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "mnopqrsmnopqrstnopqrstu",
         "a49b2446a02c645bf419f995b67091253a04a259"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sha1Hex(c.msg.data(), c.msg.size()), c.digest) << c.msg;
}

TEST(Sha1, MillionAAndPiecewiseFeeding) {
    const std::string a(1000000, 'a');
    EXPECT_EQ(Sha1Hex(a.data(), a.size()), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    for (size_t piece : {1, 55, 63, 64, 65, 1000}) {
        THashContext c;
        SHA1Start(c);
        for (size_t at = 0; at < a.size(); at += piece)
            SHA1AddData(c, a.data() + at, static_cast<int32_t>(std::min(piece, a.size() - at)));
        THashDigest d;
        SHA1Finish(c, d);
        EXPECT_EQ(ToHex(d.data(), 20), "34aa973cd4c4daa4f61eeb2bdbad27316534016f") << piece;
        for (size_t i = 20; i < d.size(); ++i)
            ASSERT_EQ(d[i], 0);
    }
}

TEST(Sha1, AcceleratedKernelsEqualPortable) {
    if (!sha1_detail::ShaNiAvailable())
        GTEST_SKIP() << "no SHA extensions here";
    const auto data = RandomBytes(64 * 37, 11);
    uint32_t a[5], b[5];
    std::memcpy(a, sha1_detail::IV, 20);
    std::memcpy(b, sha1_detail::IV, 20);
    sha1_detail::CompressPortable(a, data.data(), 37);
    sha1_detail::CompressShaNi(b, data.data(), 37);
    EXPECT_EQ(0, std::memcmp(a, b, 20));

    const auto seed = RandomBytes(20 * 5 * 2 + 40, 12);
    uint32_t is[5], os[5];
    std::memcpy(is, seed.data(), 20);
    std::memcpy(os, seed.data() + 20, 20);
    for (int lanes = 1; lanes <= 6; ++lanes) {
        uint32_t u1[6][5], t1[6][5], u2[6][5], t2[6][5];
        std::memcpy(u1, seed.data() + 40, sizeof u1 / 2);
        std::memcpy(u1[3], seed.data() + 40, sizeof u1 / 2);
        std::memcpy(t1, u1, sizeof t1);
        std::memcpy(u2, u1, sizeof u1);
        std::memcpy(t2, u1, sizeof t1);
        uint32_t u3[6][5], t3[6][5];
        std::memcpy(u3, u1, sizeof u1);
        std::memcpy(t3, u1, sizeof t1);
        sha1_detail::Pbkdf2IteratePortable(is, os, u1, t1, lanes, 9);
        sha1_detail::Pbkdf2IterateShaNi(is, os, u2, t2, lanes, 9);
        EXPECT_EQ(0, std::memcmp(u1, u2, sizeof(u1[0]) * lanes)) << lanes;
        EXPECT_EQ(0, std::memcmp(t1, t2, sizeof(t1[0]) * lanes)) << lanes;
        if (sha1_detail::Avx512Available()) {
            sha1_detail::Pbkdf2IterateAvx512(is, os, u3, t3, lanes, 9);
            EXPECT_EQ(0, std::memcmp(u1, u3, sizeof(u1[0]) * lanes)) << "avx512 " << lanes;
            EXPECT_EQ(0, std::memcmp(t1, t3, sizeof(t1[0]) * lanes)) << "avx512 " << lanes;
        }
    }
}

// ---------------------------------------------------------------- HMAC

TEST(HmacSha1, Rfc2202Vectors) {
    struct Case {
        std::vector<uint8_t> key, data;
        const char* mac;
        size_t len;
    };
    const Case cases[] = {
        {std::vector<uint8_t>(20, 0x0b), Bytes("Hi There"),
         "b617318655057264e28bc0b6fb378c8ef146be00", 20},
        {Bytes("Jefe"), Bytes("what do ya want for nothing?"),
         "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79", 20},
        {std::vector<uint8_t>(20, 0xaa), std::vector<uint8_t>(50, 0xdd),
         "125d7342b9ac11cd91a39af48aa17b4f63f175d3", 20},
        {FromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"),
         std::vector<uint8_t>(50, 0xcd), "4c9007f4026250c6bc8414f9bf50c86c2d7235da", 20},
        {std::vector<uint8_t>(20, 0x0c), Bytes("Test With Truncation"), "4c1a03424b55e07fe7f27be1",
         12},
        {std::vector<uint8_t>(80, 0xaa),
         Bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112", 20},
        {std::vector<uint8_t>(80, 0xaa),
         Bytes("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91", 20},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HmacHex(c.key, c.data, c.len), c.mac);
}

TEST(HmacSha1, KeysOfSixtyFourAndSixtyFiveBytes) {
    const auto msg = Bytes("message");
    const auto k64 = RandomBytes(64, 21), k65 = RandomBytes(65, 22);
    auto digestOf = [](const std::vector<uint8_t>& k) {
        THashDigest d;
        HashOfBuffer(&SHA1Desc(), d, k.data(), static_cast<int32_t>(k.size()));
        return std::vector<uint8_t>(d.begin(), d.begin() + 20);
    };
    EXPECT_EQ(HmacHex(k65, msg), HmacHex(digestOf(k65), msg)); // 65: hashed first
    EXPECT_NE(HmacHex(k64, msg), HmacHex(digestOf(k64), msg)); // 64: used unchanged
    // 64 bytes unchanged: the key block is the key itself, no zero padding.
    auto k64plus0 = k64;
    k64plus0.push_back(0);
    EXPECT_NE(HmacHex(k64, msg), HmacHex(k64plus0, msg));
}

TEST(HmacSha1, NoDescriptorDoesNothing) {
    THMAC_Context c;
    HMACStart(c, nullptr, "k", 1);
    EXPECT_EQ(c.phashd, nullptr);
    HMACAddData(c, "x", 1);
    THashDigest mac;
    mac.fill(0x77);
    HMACFinish(c, mac);
    EXPECT_EQ(mac[0], 0x77);
}

// ---------------------------------------------------------------- PBKDF2

std::string Pbkdf2Hex(const std::string& pw, const std::string& salt, int32_t iter, size_t len) {
    std::vector<uint8_t> out(len);
    DerivePBKDF2SHA1(pw.data(), static_cast<uint16_t>(pw.size()), salt.data(),
                     static_cast<uint16_t>(salt.size()), iter, out.data(),
                     static_cast<uint16_t>(len));
    return ToHex(out);
}

TEST(Pbkdf2Sha1, Rfc6070Vectors) {
    struct Case {
        std::string pw, salt;
        int32_t iter;
        size_t len;
        const char* key;
    };
    const Case cases[] = {
        {"password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, 20, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16,
         "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pbkdf2Hex(c.pw, c.salt, c.iter, c.len), c.key) << c.pw << " " << c.iter;
}

TEST(Pbkdf2Sha1, AesOutputLengthsArePrefixesOfLongerOutput) {
    const std::string full = Pbkdf2Hex("secret", "0123456789abcdef", 1000, 100);
    for (size_t len : {34, 50, 66, 1, 19, 21, 81})
        EXPECT_EQ(Pbkdf2Hex("secret", "0123456789abcdef", 1000, len), full.substr(0, 2 * len))
            << len;
}

TEST(Pbkdf2Sha1, FastDerivationEqualsStraightLoop) {
    PHashDesc sha1 = &SHA1Desc();
    for (uint32_t seed = 0; seed < 12; ++seed) {
        const auto pw = RandomBytes(seed * 13 % 150, 100 + seed); // includes > 64 bytes
        const auto salt = RandomBytes(seed * 7 % 40, 200 + seed);
        const int32_t iter = static_cast<int32_t>(1 + seed * 37 % 90);
        const size_t len = 1 + seed * 29 % 130; // 1..7 output blocks
        std::vector<uint8_t> fast(len), ref(len);
        ASSERT_EQ(DerivePBKDF2(sha1, pw.data(), static_cast<uint16_t>(pw.size()), salt.data(),
                               static_cast<uint16_t>(salt.size()), iter, fast.data(),
                               static_cast<uint16_t>(len)),
                  0);
        ASSERT_EQ(kdf_detail::DerivePBKDF2Reference(sha1, pw.data(),
                                                    static_cast<uint16_t>(pw.size()), salt.data(),
                                                    static_cast<uint16_t>(salt.size()), iter,
                                                    ref.data(), static_cast<uint16_t>(len)),
                  0);
        EXPECT_EQ(fast, ref) << "seed " << seed;
    }
}

// A descriptor that is not SHA-1 takes the generic path (same hash routines
// behind another identity here, so the result must still be PBKDF2-HMAC-SHA1).
void WrappedInit(THashContext& c) {
    SHA1Start(c);
}

TEST(Pbkdf2Sha1, GenericDescriptorPathAndResultCodes) {
    THashDesc other = SHA1Desc();
    other.HInit = WrappedInit;
    std::vector<uint8_t> a(45), b(45);
    ASSERT_EQ(DerivePBKDF2(&other, "pw", 2, "salt", 4, 7, a.data(), 45), 0);
    ASSERT_EQ(DerivePBKDF2(&SHA1Desc(), "pw", 2, "salt", 4, 7, b.data(), 45), 0);
    EXPECT_EQ(a, b);

    EXPECT_EQ(DerivePBKDF2(nullptr, "pw", 2, "s", 1, 1, a.data(), 20), 1);
    other.HDigestlen = 0;
    EXPECT_EQ(DerivePBKDF2(&other, "pw", 2, "s", 1, 1, a.data(), 20), 2);

    std::vector<uint8_t> z(30, 0xEE);
    ASSERT_EQ(DerivePBKDF2(&SHA1Desc(), "pw", 2, "s", 1, 0, z.data(), 30), 0);
    EXPECT_EQ(z, std::vector<uint8_t>(30, 0));
}

// ---------------------------------------------------------------- TPBKDF2

TEST(TPBKDF2Test, KeyBytesAlwaysStartFromTheBeginning) {
    const std::string salt = "NaCl-1234";
    TPBKDF2 k("password", reinterpret_cast<const uint8_t*>(salt.data()), 9, 1000);
    EXPECT_EQ(k.IterationCount(), 1000);
    EXPECT_EQ(k.GetSaltValue(), Bytes(salt));
    std::vector<uint8_t> a, b;
    k.GetKeyBytes(66, a);
    k.GetKeyBytes(66, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(ToHex(a), Pbkdf2Hex("password", salt, 1000, 66));
    EXPECT_EQ(ToHex(k.GetKeyBytes(34)), ToHex(a).substr(0, 68));
}

TEST(TPBKDF2Test, OutputsAboveSixtyFourKiBAreFilledCompletely) {
    const uint8_t salt[4] = {1, 2, 3, 4};
    TPBKDF2 k("pw", salt, 4, 1);
    const auto big = k.GetKeyBytes(65536 + 40);
    const auto small = k.GetKeyBytes(40);
    ASSERT_EQ(big.size(), 65576u);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), big.begin()));
    // The tail continues the PBKDF2 stream instead of being left unfilled.
    std::vector<uint8_t> ref(big.size());
    kdf_detail::DerivePBKDF2Sized(&SHA1Desc(), "pw", 2, salt, 4, 1, ref.data(), ref.size());
    EXPECT_EQ(big, ref);
    EXPECT_NE(std::vector<uint8_t>(big.end() - 20, big.end()), std::vector<uint8_t>(20, 0));
}

TEST(TPBKDF2Test, RandomSaltNeverHoldsTheByte255AndDiffers) {
    std::set<std::vector<uint8_t>> seen;
    size_t counts[256] = {};
    for (int i = 0; i < 400; ++i) {
        TPBKDF2 k("pw", 64, 1000);
        const auto s = k.GetSaltValue();
        ASSERT_EQ(s.size(), 64u);
        for (uint8_t b : s)
            ++counts[b];
        seen.insert(s);
    }
    EXPECT_EQ(counts[255], 0u);
    EXPECT_GT(counts[254], 0u);
    EXPECT_GT(counts[0], 0u);
    EXPECT_EQ(seen.size(), 400u); // salts made in quick succession still differ
}

TEST(TPBKDF2Test, OverlongPasswordIsRefused) {
    const std::string longest(PBKDF2PasswordBufferSize, 'p');
    TPBKDF2 ok(longest, 8, 1);
    EXPECT_EQ(ok.GetKeyBytes(20).size(), 20u);
    TPBKDF2 tooLong(longest + "q", 8, 1);
    EXPECT_THROW(tooLong.GetKeyBytes(20), EPasswordTooLong);
    try {
        tooLong.GetKeyBytes(20);
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("32767"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace za

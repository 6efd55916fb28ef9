#include "crypto/AesCore.h"
#include "crypto/ZACipher.h"

#include "TestUtil.h"

#include "platform/Stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace za {
namespace {

using test::Bytes;
using test::FromHex;
using test::RandomBytes;
using test::ToHex;

const char* kFipsPlain = "00112233445566778899aabbccddeeff";
const char* kFipsKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";

std::vector<uint8_t> Block(TCipher& c, const std::vector<uint8_t>& in, bool decode = false) {
    std::vector<uint8_t> b = in;
    if (decode)
        c.DecodeBlock(b.data());
    else
        c.EncodeBlock(b.data());
    return b;
}

// ---------------------------------------------------------------- AES blocks

TEST(Rijndael, Fips197Vectors) {
    struct Case {
        int32_t keyBytes, rounds;
        const char* cipher;
    };
    const Case cases[] = {{16, 10, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                          {24, 12, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                          {32, 14, "8ea2b7ca516745bfeafc49904b496089"}};
    const auto key = FromHex(kFipsKey), plain = FromHex(kFipsPlain);
    for (const Case& c : cases) {
        TCipher_Rijndael aes;
        aes.Init(key.data(), c.keyBytes, nullptr);
        EXPECT_EQ(aes.Rounds(), c.rounds);
        const auto ct = Block(aes, plain);
        EXPECT_EQ(ToHex(ct), c.cipher);
        EXPECT_EQ(ToHex(Block(aes, ct, true)), kFipsPlain);
    }
}

TEST(Rijndael, KeyPaddingAndCutting) {
    const auto key = RandomBytes(40, 1), plain = RandomBytes(16, 2);
    auto encrypt = [&](const uint8_t* k, int32_t size) {
        TCipher_Rijndael aes;
        aes.Init(k, size, nullptr);
        return std::make_pair(aes.Rounds(), Block(aes, plain));
    };
    std::vector<uint8_t> padded(24, 0);
    std::memcpy(padded.data(), key.data(), 20);
    const auto k20 = encrypt(key.data(), 20), k24 = encrypt(padded.data(), 24);
    EXPECT_EQ(k20.first, 12);
    EXPECT_EQ(k20.second, k24.second); // 20 bytes + four zero bytes
    const auto k40 = encrypt(key.data(), 40), k32 = encrypt(key.data(), 32);
    EXPECT_EQ(k40.first, 14);
    EXPECT_EQ(k40.second, k32.second); // cut to 32
    const std::vector<uint8_t> zeros(16, 0);
    const auto neg = encrypt(key.data(), -5), z16 = encrypt(zeros.data(), 16);
    EXPECT_EQ(neg.first, 10);
    EXPECT_EQ(neg.second, z16.second); // negative counts as 0: all-zero key
    EXPECT_EQ(TCipher_Rijndael::MaxKeySize(), 32);
}

TEST(Rijndael, AcceleratedBlocksEqualPortable) {
    if (!aes_detail::AesNiAvailable())
        GTEST_SKIP() << "no AES-NI here";
    for (int rounds : {10, 12, 14}) {
        uint8_t enc[240], dec[240];
        const auto key = RandomBytes(32, static_cast<uint32_t>(rounds));
        aes_detail::ExpandKey(key.data(), rounds, enc, dec);
        for (int i = 0; i < 50; ++i) {
            const auto in = RandomBytes(16, 1000 + static_cast<uint32_t>(i));
            uint8_t a[16], b[16];
            aes_detail::EncryptBlockPortable(enc, rounds, in.data(), a);
            aes_detail::EncryptBlockNi(enc, rounds, in.data(), b);
            ASSERT_EQ(0, std::memcmp(a, b, 16));
            aes_detail::DecryptBlockPortable(dec, rounds, in.data(), a);
            aes_detail::DecryptBlockNi(dec, rounds, in.data(), b);
            ASSERT_EQ(0, std::memcmp(a, b, 16));
        }
    }
}

TEST(Rijndael, CounterKernelsEqualPortableIncludingTheTopCarry) {
    uint8_t enc[240], dec[240];
    const auto key = RandomBytes(32, 9);
    aes_detail::ExpandKey(key.data(), 14, enc, dec);
    using Fn = void (*)(const uint8_t*, int, uint8_t*, const uint8_t*, uint8_t*, size_t, uint8_t*);
    struct K {
        const char* name;
        Fn fn;
        bool ok;
    };
    const K kernels[] = {{"ni", aes_detail::CtrBlocksNi, aes_detail::AesNiAvailable()},
                         {"vaes", aes_detail::CtrBlocksVaes, aes_detail::VaesAvailable()},
                         {"dispatch", aes_detail::CtrBlocks, true}};
    const auto data = RandomBytes(16 * 70, 10);
    for (const K& k : kernels) {
        if (!k.ok)
            continue;
        for (size_t blocks : {0, 1, 7, 8, 15, 16, 17, 33, 70}) {
            // Counter just below the 64-bit wrap: bytes 0..7 carry, byte 8 stays.
            uint8_t n1[16], n2[16], l1[16] = {}, l2[16] = {};
            std::memset(n1, 0xFF, 8);
            n1[0] = 0xF8;
            std::memset(n1 + 8, 0x5A, 8);
            std::memcpy(n2, n1, 16);
            std::vector<uint8_t> o1(blocks * 16), o2(blocks * 16);
            aes_detail::CtrBlocksPortable(enc, 14, n1, data.data(), o1.data(), blocks, l1);
            k.fn(enc, 14, n2, data.data(), o2.data(), blocks, l2);
            EXPECT_EQ(o1, o2) << k.name << " " << blocks;
            EXPECT_EQ(0, std::memcmp(n1, n2, 16)) << k.name << " " << blocks;
            EXPECT_EQ(0, std::memcmp(l1, l2, 16)) << k.name << " " << blocks;
            EXPECT_EQ(n1[8], 0x5A);
        }
    }
}

// ---------------------------------------------------------------- keying

TEST(Cipher, UnkeyedCipherRaisesCodeThree) {
    TCipher_Rijndael aes;
    EXPECT_FALSE(aes.Initialized());
    uint8_t buf[16] = {};
    try {
        aes.EncodeBuffer(buf, buf, 16);
        FAIL() << "no exception";
    } catch (const ECipherException& e) {
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_STREQ(e.what(),
                     "TCipher_Rijndael is not initialized call Init() or InitKey() before.");
    }
    EXPECT_THROW(aes.DecodeBuffer(buf, buf, 16), ECipherException);
    EXPECT_THROW(aes.SelfTest(), Exception);
    EXPECT_THROW(aes.TestVector(), Exception);
}

TEST(Cipher, VectorWithoutIVIsTheEncryptionOfFFBytes) {
    const auto key = FromHex(kFipsKey);
    TCipher_Rijndael aes;
    aes.Init(key.data(), 16, nullptr);
    EXPECT_TRUE(aes.Initialized());
    EXPECT_FALSE(aes.HasHashKey());
    const auto want = Block(aes, std::vector<uint8_t>(16, 0xFF));
    EXPECT_EQ(ToHex(aes.Vector(), 16), ToHex(want));
    EXPECT_EQ(ToHex(aes.Feedback(), 16), ToHex(want));
    const auto iv = RandomBytes(16, 3);
    aes.Init(key.data(), 16, iv.data());
    EXPECT_EQ(ToHex(aes.Vector(), 16), ToHex(iv));
}

TEST(Cipher, InitKeyReplacesTheCallersKeyBuffer) {
    const auto plainKey = RandomBytes(32, 4);
    std::vector<uint8_t> key = plainKey;
    TCipher_Rijndael aes(key, 32);
    EXPECT_TRUE(aes.Initialized());
    EXPECT_TRUE(aes.HasHashKey());
    ASSERT_EQ(key.size(), 32u);
    EXPECT_NE(key, plainKey);
    // The replacement is the cmCTS encoding of the key under itself.
    TCipher_Rijndael check;
    check.Init(plainKey.data(), 32, nullptr);
    std::vector<uint8_t> coded(32);
    check.EncodeBuffer(plainKey.data(), coded.data(), 32);
    EXPECT_EQ(key, coded);
    // An empty buffer leaves the cipher unkeyed.
    std::vector<uint8_t> none;
    TCipher_Rijndael unkeyed(none, 16);
    EXPECT_FALSE(unkeyed.Initialized());
}

TEST(Cipher, TextPasswordKeysThroughTheHashClass) {
    TCipher_Rijndael aes("secret", nullptr);
    EXPECT_TRUE(aes.Initialized());
    EXPECT_TRUE(aes.HasHashKey());
    EXPECT_EQ(aes.HashClass(), &THash_RipeMD256::Class);
    const std::string digest = THash::CalcString(&THash_RipeMD256::Class, "secret");
    TCipher_Rijndael ref;
    ref.Init(digest.data(), 32, nullptr);
    const auto p = RandomBytes(16, 5);
    EXPECT_EQ(Block(aes, p), Block(ref, p));
    aes.SetHashClass(&THash_MD4::Class);
    aes.InitKey("secret", nullptr);
    EXPECT_EQ(aes.Rounds(), 10); // a 16-byte MD4 digest
    aes.SetHashClass(nullptr);
    EXPECT_EQ(aes.HashClass(), &THash_RipeMD256::Class);
}

// ---------------------------------------------------------------- counter mode

std::unique_ptr<TCipher_Rijndael> CtrCipher() {
    std::vector<uint8_t> key = FromHex(kFipsKey);
    auto c = std::make_unique<TCipher_Rijndael>(key, 32);
    c->SetMode(cmCTR);
    return c;
}

TEST(CounterMode, KeystreamIsTheEncryptionOfOneTwoThree) {
    auto c = CtrCipher();
    const std::vector<uint8_t> zeros(48, 0);
    std::vector<uint8_t> ks(48);
    c->EncodeBuffer(zeros.data(), ks.data(), 48);
    auto ref = CtrCipher();
    for (uint8_t n = 1; n <= 3; ++n) {
        std::vector<uint8_t> ctr(16, 0);
        ctr[0] = n;
        EXPECT_EQ(ToHex(ks.data() + 16 * (n - 1), 16), ToHex(Block(*ref, ctr))) << int(n);
    }
}

TEST(CounterMode, ChunkedCallsEqualOneCall) {
    const auto data = RandomBytes(100, 6);
    std::vector<uint8_t> whole(100);
    CtrCipher()->EncodeBuffer(data.data(), whole.data(), 100);
    auto c = CtrCipher();
    std::vector<uint8_t> parts = data;
    size_t at = 0;
    for (size_t n : {1, 15, 16, 17, 51}) {
        c->DecodeBuffer(parts.data() + at, parts.data() + at, static_cast<int32_t>(n)); // in place
        at += n;
    }
    ASSERT_EQ(at, 100u);
    EXPECT_EQ(parts, whole);
    // Decoding is the same operation.
    std::vector<uint8_t> back(100);
    CtrCipher()->DecodeBuffer(whole.data(), back.data(), 100);
    EXPECT_EQ(back, data);
}

TEST(CounterMode, CounterCarriesFromByteZeroIntoByteOne) {
    auto c = CtrCipher();
    std::vector<uint8_t> ks(16 * 257, 0);
    c->EncodeBuffer(ks.data(), ks.data(), static_cast<int32_t>(ks.size()));
    auto ref = CtrCipher();
    std::vector<uint8_t> b255(16, 0), b256(16, 0), b257(16, 0);
    b255[0] = 0xFF;
    b256[1] = 0x01;
    b257[0] = 0x01;
    b257[1] = 0x01;
    EXPECT_EQ(ToHex(ks.data() + 16 * 254, 16), ToHex(Block(*ref, b255)));
    EXPECT_EQ(ToHex(ks.data() + 16 * 255, 16), ToHex(Block(*ref, b256)));
    EXPECT_EQ(ToHex(ks.data() + 16 * 256, 16), ToHex(Block(*ref, b257)));
}

TEST(CounterMode, RekeyingNeverReusesTheOldKeystreamBlock) {
    auto c = CtrCipher();
    std::vector<uint8_t> a(5, 0);
    c->EncodeBuffer(a.data(), a.data(), 5); // mid-block
    const auto key2 = RandomBytes(32, 7);
    c->Init(key2.data(), 32, nullptr);
    std::vector<uint8_t> after(16, 0);
    c->EncodeBuffer(after.data(), after.data(), 16);
    TCipher_Rijndael ref;
    ref.Init(key2.data(), 32, nullptr);
    std::vector<uint8_t> one(16, 0);
    one[0] = 1;
    EXPECT_EQ(ToHex(after), ToHex(Block(ref, one)));
}

// ---------------------------------------------------------------- other modes

TEST(ChainingModes, EncodeDecodeRoundTripInPlaceAndApart) {
    const auto key = RandomBytes(24, 8), iv = RandomBytes(16, 9);
    const auto data = RandomBytes(80, 10);
    for (TCipherMode m : {cmCTS, cmCBC, cmCFB, cmOFB, cmCTR, cmECB}) {
        for (int32_t n : {0, 1, 15, 16, 17, 32, 47, 80}) {
            TCipher_Rijndael a, b;
            a.Init(key.data(), 24, iv.data());
            b.Init(key.data(), 24, iv.data());
            a.SetMode(m);
            b.SetMode(m);
            std::vector<uint8_t> apart(static_cast<size_t>(n)),
                inPlace(data.begin(), data.begin() + n);
            a.EncodeBuffer(data.data(), apart.data(), n);
            b.EncodeBuffer(inPlace.data(), inPlace.data(), n);
            EXPECT_EQ(apart, inPlace) << int(m) << " " << n;
            if (n >= 16) {
                EXPECT_NE(apart, std::vector<uint8_t>(data.begin(), data.begin() + n));
            }
            TCipher_Rijndael d;
            d.Init(key.data(), 24, iv.data());
            d.SetMode(m);
            std::vector<uint8_t> back(static_cast<size_t>(n));
            d.DecodeBuffer(apart.data(), back.data(), n);
            EXPECT_EQ(back, std::vector<uint8_t>(data.begin(), data.begin() + n))
                << int(m) << " " << n;
        }
    }
}

TEST(ChainingModes, KnownRelations) {
    const auto key = RandomBytes(16, 11), iv = RandomBytes(16, 12), p = RandomBytes(32, 13);
    TCipher_Rijndael raw;
    raw.Init(key.data(), 16, nullptr);
    auto xored = [](std::vector<uint8_t> a, const uint8_t* b) {
        for (size_t i = 0; i < a.size(); ++i)
            a[i] ^= b[i];
        return a;
    };
    const std::vector<uint8_t> p0(p.begin(), p.begin() + 16), p1(p.begin() + 16, p.end());
    // CBC: C0 = E(P0 ^ IV), C1 = E(P1 ^ C0).
    TCipher_Rijndael cbc;
    cbc.Init(key.data(), 16, iv.data());
    cbc.SetMode(cmCBC);
    std::vector<uint8_t> c(32);
    cbc.EncodeBuffer(p.data(), c.data(), 32);
    const auto c0 = Block(raw, xored(p0, iv.data()));
    EXPECT_EQ(ToHex(c.data(), 16), ToHex(c0));
    EXPECT_EQ(ToHex(c.data() + 16, 16), ToHex(Block(raw, xored(p1, c0.data()))));
    // CBC-MAC: the same chaining, no output, the register holds C1.
    TCipher_Rijndael mac;
    mac.Init(key.data(), 16, iv.data());
    mac.SetMode(cmCBCMAC);
    std::vector<uint8_t> untouched(32, 0x42);
    mac.EncodeBuffer(p.data(), untouched.data(), 32);
    EXPECT_EQ(untouched, std::vector<uint8_t>(32, 0x42));
    EXPECT_EQ(ToHex(mac.Feedback(), 16), ToHex(c.data() + 16, 16));
    // Done returns the register to the vector.
    mac.Done();
    EXPECT_EQ(ToHex(mac.Feedback(), 16), ToHex(iv));
    // CTS first block: E(P0 ^ F), F becomes C0 ^ F.
    TCipher_Rijndael cts;
    cts.Init(key.data(), 16, iv.data());
    cts.EncodeBuffer(p.data(), c.data(), 16);
    EXPECT_EQ(ToHex(c.data(), 16), ToHex(c0));
    EXPECT_EQ(ToHex(cts.Feedback(), 16), ToHex(xored(c0, iv.data())));
    // ECB: each block alone.
    TCipher_Rijndael ecb;
    ecb.Init(key.data(), 16, iv.data());
    ecb.SetMode(cmECB);
    ecb.EncodeBuffer(p.data(), c.data(), 32);
    EXPECT_EQ(ToHex(c.data() + 16, 16), ToHex(Block(raw, p1)));
    // CFB and OFB share their first byte: P ^ E(IV)[0].
    for (TCipherMode m : {cmCFB, cmOFB}) {
        TCipher_Rijndael x;
        x.Init(key.data(), 16, iv.data());
        x.SetMode(m);
        uint8_t out = 0;
        x.EncodeBuffer(p.data(), &out, 1);
        EXPECT_EQ(out, p[0] ^ Block(raw, iv)[0]);
    }
}

// ---------------------------------------------------------------- protection

TEST(Protection, CircularChainIsRefused) {
    auto a = std::make_shared<TCipher_Rijndael>(), b = std::make_shared<TCipher_Rijndael>();
    a->SetProtection(b);
    try {
        b->SetProtection(a);
        FAIL() << "no exception";
    } catch (const EProtection& e) {
        EXPECT_STREQ(e.what(), "Circular Protection detected, Protection Object is invalid.");
    }
    EXPECT_THROW(a->SetProtection(a), EProtection);
    EXPECT_EQ(b->Protection(), nullptr);
}

TEST(Protection, ChainOfCiphersCodesAndDecodes) {
    const auto k1 = RandomBytes(16, 14), k2 = RandomBytes(32, 15);
    auto inner = std::make_shared<TCipher_Rijndael>();
    inner->Init(k2.data(), 32, nullptr);
    TCipher_Rijndael outer;
    outer.Init(k1.data(), 16, nullptr);
    outer.SetProtection(inner);
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const std::string coded = outer.CodeString(text, paEncode, StringFormatByName(u"MIME Base 64"));
    EXPECT_NE(coded, text);
    EXPECT_EQ(outer.CodeString(coded, paDecode, StringFormatByName(u"MIME Base 64")), text);
    // Streams take the same road.
    TStringStream src(text), dst;
    outer.CodeStream(src, dst, -1, paEncode);
    EXPECT_EQ(TStringFormat_MIME64().ToStr(dst.DataString()), coded);

    uint8_t buf[4] = {};
    EXPECT_THROW(outer.CodeBuffer(buf, 4, paWipe), Exception);
    auto unkeyed = std::make_shared<TCipher_Rijndael>();
    outer.SetProtection(unkeyed);
    try {
        outer.CodeBuffer(buf, 4, paEncode);
        FAIL() << "no exception";
    } catch (const ECipherException& e) {
        EXPECT_EQ(e.ErrorCode(), 3);
    }
}

// ---------------------------------------------------------------- hashes

TEST(HashClasses, Md4Rfc1320Vectors) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
        {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
        {"message digest", "d9130a8164549fe818874806e1c7014b"},
        {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "043f8582f241db351ce627e153e7f0e4"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "e33b4ddc9c38f2199c3e7b164fcc0536"},
    };
    for (const auto& [msg, digest] : cases)
        EXPECT_EQ(
            THash::CalcString(&THash_MD4::Class, msg, StringFormatByName(u"Hexadecimal lowercase")),
            digest)
            << msg;
}

TEST(HashClasses, RipeMd256PublishedVectors) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
        {"a", "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"},
        {"abc", "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
        {"message digest", "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
        {"abcdefghijklmnopqrstuvwxyz",
         "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "3843045583aac6c8c8d9128573e7a9809afb2a0f34ccc36ea9e72f16f6368e3f"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "5740a408ac16b720b84424ae931cbb1fe363d1d0bf4017f1a89f7ea6de77a0b8"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "06fdcc7a409548aaf91368c06a6275b553e3f099bf0ea4edfd6778df89a890dd"},
    };
    for (const auto& [msg, digest] : cases)
        EXPECT_EQ(THash::CalcString(&THash_RipeMD256::Class, msg,
                                    StringFormatByName(u"Hexadecimal lowercase")),
                  digest)
            << msg;
    const std::string million(1000000, 'a');
    EXPECT_EQ(THash::CalcString(&THash_RipeMD256::Class, million,
                                StringFormatByName(u"Hexadecimal lowercase")),
              "ac953744e10e31514c150d4d8d7b677342e33399788296e43ae4850ce4f97978");
}

TEST(HashClasses, IncrementalCalcAndDigestSizes) {
    THash_RipeMD256 h;
    EXPECT_EQ(h.DigestKeySize(), 32);
    h.Init();
    const std::string text = "message digest";
    for (char ch : text)
        h.Calc(&ch, 1);
    h.Done();
    EXPECT_EQ(h.DigestStr(StringFormatByName(u"Hexadecimal")),
              "87E971759A1CE47A514D5C914C392C9018C7C46BC14465554AFCDF54A5070C0E");
    EXPECT_EQ(THash_MD4().DigestKeySize(), 16);
}

// ---------------------------------------------------------------- formats

TEST(StringFormats, RegisteredNamesAndKnownValues) {
    const auto& all = StringFormats();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0]->Name(), u"copy Input to Output");
    for (const char16_t* n :
         {u"Hexadecimal", u"Hexadecimal lowercase", u"MIME Base 64", u"UU Coding", u"XX Coding"})
        EXPECT_NE(StringFormatByName(n), nullptr);
    EXPECT_EQ(TStringFormat_HEX().ToStr("\x01\xAB"), "01AB");
    EXPECT_EQ(TStringFormat_HEXL().ToStr("\x01\xAB"), "01ab");
    EXPECT_EQ(TStringFormat_HEX().StrTo("01ab"), "\x01\xAB");
    EXPECT_EQ(TStringFormat_MIME64().ToStr("Man"), "TWFu");
    EXPECT_EQ(TStringFormat_MIME64().ToStr("Ma"), "TWE=");
    EXPECT_EQ(TStringFormat_MIME64().ToStr("M"), "TQ==");
    EXPECT_EQ(TStringFormat_MIME64().StrTo("TWE="), "Ma");
    EXPECT_EQ(TStringFormat_UU().ToStr("Cat"), "#0V%T");
}

TEST(StringFormats, EveryFormatRoundTrips) {
    for (size_t n : {0, 1, 2, 3, 44, 45, 46, 100}) {
        const auto bytes = RandomBytes(n, static_cast<uint32_t>(n) + 50);
        const std::string s(bytes.begin(), bytes.end());
        for (const TStringFormat* f : StringFormats())
            EXPECT_EQ(f->StrTo(f->ToStr(s)), s) << n;
    }
}

TEST(CipherClassList, HoldsRijndael) {
    const auto& list = CipherClasses();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::u16string(list[0].ClassName), u"TCipher_Rijndael");
    EXPECT_EQ(list[0].Create()->ClassName(), u"TCipher_Rijndael");
}

} // namespace
} // namespace za

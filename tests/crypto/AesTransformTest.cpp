#include "crypto/ZAAESCryptoTransform.h"
#include "crypto/ZAKeyDeriv.h"
#include "crypto/ZAhmac.h"
#include "crypto/ZAsha1.h"

#include "TestUtil.h"

#include "platform/Stream.h"

#include <gtest/gtest.h>

namespace za {
namespace {

using test::RandomBytes;
using test::ToHex;

struct Sealed {
    std::vector<uint8_t> start, cipher, end;
    std::vector<uint8_t> Stored() const {
        std::vector<uint8_t> all = start;
        all.insert(all.end(), cipher.begin(), cipher.end());
        all.insert(all.end(), end.begin(), end.end());
        return all;
    }
};

Sealed Seal(int32_t strength, const std::string& pw, const std::vector<uint8_t>& plain,
            uint16_t version = 2) {
    TAESCryptoTransform t(strength, version, 8);
    t.Initialize(Encryption, {});
    t.GenerateKey(pw);
    Sealed s;
    s.start = t.GetFileStorageStartBlock();
    s.cipher = plain;
    if (!plain.empty())
        t.EncryptBuffer(s.cipher.data(), 0, static_cast<int32_t>(plain.size()), s.cipher.data(), 0);
    s.end = t.GetFileStorageEndBlock();
    return s;
}

// The extraction road of the entry data pipeline, with the stored data in
// a memory stream. Returns the plaintext; corrupted tells the verdict.
std::vector<uint8_t> Open(int32_t strength, const std::vector<std::string>& passwords,
                          const std::vector<uint8_t>& stored, size_t chunk, bool& corrupted,
                          bool& accepted, int32_t* derivations = nullptr, uint16_t version = 2,
                          uint32_t crc = 0, uint32_t itemCrc = 0) {
    TAESCryptoTransform t(strength, version, 8);
    const TZACryptoItemInfo info{itemCrc};
    t.Initialize(Decryption, info);
    size_t next = 0;
    t.GenerateKey(passwords[next]);
    TReadOnlyMemoryStream s(stored.data(), stored.size());
    const int64_t cipherSize = static_cast<int64_t>(stored.size()) -
                               t.GetFileStorageStartBlockSize() - t.GetFileStorageEndBlockSize();
    accepted = false;
    while (true) {
        s.SetPosition(0);
        t.LoadFileStorageStartBlock(s, 0);
        accepted = t.CheckPassword(passwords[next], info);
        if (accepted || next + 1 >= passwords.size())
            break;
        ++next;
        if (t.GetPassword() != passwords[next])
            t.GenerateKey(passwords[next]);
    }
    std::vector<uint8_t> out;
    std::vector<uint8_t> buf;
    for (int64_t done = 0; done < cipherSize;) {
        const auto n =
            static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(chunk), cipherSize - done));
        buf.resize(static_cast<size_t>(n));
        s.ReadBuffer(buf.data(), n);
        t.DecryptBuffer(buf.data(), 0, n, buf.data(), 0);
        out.insert(out.end(), buf.begin(), buf.end());
        done += n;
    }
    t.LoadFileStorageEndBlock(s, 0);
    corrupted = t.IsDirItemCorrupted(info, crc);
    if (derivations)
        *derivations = t.DerivationCount();
    return out;
}

TEST(AesTransform, SizesByStrength) {
    struct Case {
        int32_t strength;
        uint16_t L;
        int32_t start;
    };
    for (const Case& c : {Case{128, 16, 10}, Case{192, 24, 14}, Case{256, 32, 18}}) {
        TAESCryptoTransform t(c.strength, 2, 0);
        EXPECT_EQ(t.KeyLengthBytes(), c.L);
        EXPECT_EQ(t.GetFileStorageStartBlockSize(), c.start);
        EXPECT_EQ(t.GetFileStorageEndBlockSize(), 10);
        const auto plain = RandomBytes(33, 1);
        const Sealed s = Seal(c.strength, "pw", plain);
        EXPECT_EQ(s.start.size(), static_cast<size_t>(c.start));
        EXPECT_EQ(s.cipher.size(), plain.size());
        EXPECT_EQ(s.end.size(), 10u);
    }
    EXPECT_EQ(TAESCryptoTransform(256, 1, 0).GetFileStorageEndBlockSize(), 0);
}

TEST(AesTransform, ExtraFieldData) {
    TAESCryptoTransform t(192, 0x0102, 0x0908);
    const TZACryptoExtraField f = t.GetExtraFieldData();
    EXPECT_EQ(f.headerID, 0x9901);
    EXPECT_EQ(f.dataSize, 7);
    EXPECT_EQ(f.pData, (std::vector<uint8_t>{0x02, 0x01, 0x41, 0x45, 0x02, 0x08, 0x09}));
    EXPECT_EQ(TAESCryptoTransform(128, 2, 0).GetExtraFieldData().pData[4], 1);
    EXPECT_EQ(TAESCryptoTransform(256, 2, 0).GetExtraFieldData().pData[4], 3);
}

TEST(AesTransform, KeyLayoutMatchesThePbkdf2Split) {
    const auto plain = RandomBytes(40, 2);
    const Sealed s = Seal(256, "secret", plain);
    std::vector<uint8_t> derived(66);
    kdf_detail::DerivePBKDF2Sized(&SHA1Desc(), "secret", 6, s.start.data(), 16, 1000,
                                  derived.data(), 66);
    // Verification value: bytes 64, 65.
    EXPECT_EQ(ToHex(s.start.data() + 16, 2), ToHex(derived.data() + 64, 2));
    // Ciphertext: AES-256-CTR with bytes 0..31 and counter 1, 2, 3 little-endian.
    std::vector<uint8_t> key(derived.begin(), derived.begin() + 32);
    TCipher_Rijndael aes(key, 32);
    aes.SetMode(cmCTR);
    std::vector<uint8_t> back = s.cipher;
    aes.DecodeBuffer(back.data(), back.data(), 40);
    EXPECT_EQ(back, plain);
    // Code: HMAC-SHA1 with bytes 32..63 over the ciphertext, first 10 bytes.
    THMAC_Context c;
    HMACStart(c, &SHA1Desc(), derived.data() + 32, 32);
    HMACAddData(c, s.cipher.data(), 40);
    THashDigest mac;
    HMACFinish(c, mac);
    EXPECT_EQ(ToHex(s.end), ToHex(mac.data(), 10));
}

TEST(AesTransform, WrongThenRightPasswordAndAnyChunking) {
    const auto plain = RandomBytes(1000, 3);
    for (int32_t strength : {128, 192, 256}) {
        const auto stored = Seal(strength, "right", plain).Stored();
        for (size_t chunk : {1, 15, 16, 17, 333, 1000}) {
            bool corrupted = true, accepted = false;
            int32_t derivations = 0;
            const auto out = Open(strength, {"wrong", "right"}, stored, chunk, corrupted, accepted,
                                  &derivations);
            EXPECT_TRUE(accepted);
            EXPECT_FALSE(corrupted) << strength << " " << chunk;
            EXPECT_EQ(out, plain) << strength << " " << chunk;
            EXPECT_EQ(derivations, 2); // one per password tried
        }
        bool corrupted = false, accepted = true;
        Open(strength, {"wrong"}, stored, 64, corrupted, accepted);
        EXPECT_FALSE(accepted);
        EXPECT_TRUE(corrupted);
    }
}

TEST(AesTransform, RightPasswordDerivesOnce) {
    const auto stored = Seal(256, "pw", RandomBytes(10, 4)).Stored();
    bool corrupted = true, accepted = false;
    int32_t derivations = 0;
    Open(256, {"pw"}, stored, 10, corrupted, accepted, &derivations);
    EXPECT_TRUE(accepted);
    EXPECT_FALSE(corrupted);
    EXPECT_EQ(derivations, 1);
}

TEST(AesTransform, EmptyDataComparesTheCodeOfNoBytes) {
    const Sealed s = Seal(128, "pw", {});
    EXPECT_TRUE(s.cipher.empty());
    bool corrupted = true, accepted = false;
    const auto out = Open(128, {"pw"}, s.Stored(), 16, corrupted, accepted);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(accepted);
    EXPECT_FALSE(corrupted);
}

TEST(AesTransform, AnyFlippedBitIsCorruptionButACrcMismatchIsNot) {
    const auto plain = RandomBytes(50, 5);
    const auto stored = Seal(256, "pw", plain).Stored();
    for (size_t at : {size_t{18}, size_t{40}, size_t{67}, size_t{68}, stored.size() - 1}) {
        auto bad = stored;
        bad[at] ^= 0x10;
        bool corrupted = false, accepted = false;
        Open(256, {"pw"}, bad, 7, corrupted, accepted);
        EXPECT_TRUE(accepted);
        EXPECT_TRUE(corrupted) << at;
    }
    bool corrupted = true, accepted = false;
    Open(256, {"pw"}, stored, 50, corrupted, accepted, nullptr, 2, 0x11111111, 0x22222222);
    EXPECT_FALSE(corrupted);
}

TEST(AesTransform, VersionOneJudgesByCrc) {
    const auto plain = RandomBytes(20, 6);
    const Sealed s = Seal(128, "pw", plain, 1);
    EXPECT_TRUE(s.end.empty());
    bool corrupted = false, accepted = false;
    auto out = Open(128, {"pw"}, s.Stored(), 5, corrupted, accepted, nullptr, 1, 0xABCD, 0xABCD);
    EXPECT_EQ(out, plain);
    EXPECT_FALSE(corrupted);
    Open(128, {"pw"}, s.Stored(), 5, corrupted, accepted, nullptr, 1, 0xABCD, 0xABCE);
    EXPECT_TRUE(corrupted);
}

TEST(AesTransform, OffsetsAuthenticateExactlyTheDecryptedBytes) {
    const auto plain = RandomBytes(30, 7);
    const Sealed s = Seal(192, "pw", plain);
    TAESCryptoTransform t(192, 2, 8);
    t.Initialize(Decryption, {});
    t.GenerateKey("pw");
    TReadOnlyMemoryStream start(s.start.data(), s.start.size());
    t.LoadFileStorageStartBlock(start, 0);
    std::vector<uint8_t> in(5, 0xEE);
    in.insert(in.end(), s.cipher.begin(), s.cipher.end());
    in.insert(in.end(), 3, 0xEE);
    std::vector<uint8_t> out(40, 0);
    EXPECT_EQ(t.DecryptBuffer(in.data(), 5, 30, out.data(), 7), 30);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 7, out.begin() + 37), plain);
    EXPECT_EQ(out[6], 0);
    EXPECT_EQ(out[37], 0);
    TReadOnlyMemoryStream end(s.end.data(), s.end.size());
    t.LoadFileStorageEndBlock(end, 0);
    EXPECT_FALSE(t.IsDirItemCorrupted({}, 0));
}

TEST(AesTransform, OverlappingInputAndOutputBehaveLikeACopy) {
    const auto plain = RandomBytes(64, 8);
    const Sealed s = Seal(128, "pw", plain);
    TAESCryptoTransform t(128, 2, 8);
    t.Initialize(Decryption, {});
    t.GenerateKey("pw");
    TReadOnlyMemoryStream start(s.start.data(), s.start.size());
    t.LoadFileStorageStartBlock(start, 0);
    std::vector<uint8_t> buf(80, 0);
    std::copy(s.cipher.begin(), s.cipher.end(), buf.begin());
    t.DecryptBuffer(buf.data(), 0, 64, buf.data(), 9);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin() + 9, buf.begin() + 73), plain);
}

// A stream cut inside the start block raises nothing: the salt keeps the
// bytes it had, the verification value keeps the derived one (so the check
// passes whatever the password), and the entry then fails authentication.
TEST(AesTransform, ShortStartBlockIsNoErrorAndTheEntryFailsAuthentication) {
    const Sealed s = Seal(256, "pw", RandomBytes(8, 9));
    TAESCryptoTransform t(256, 2, 8);
    t.Initialize(Decryption, {});
    t.GenerateKey("other");
    TReadOnlyMemoryStream cut(s.start.data(), 5);
    EXPECT_NO_THROW(t.LoadFileStorageStartBlock(cut, 0));
    EXPECT_TRUE(t.CheckPassword("other", {}));
    const uint8_t nothing[1] = {};
    TReadOnlyMemoryStream none(nothing, 0);
    EXPECT_NO_THROW(t.LoadFileStorageEndBlock(none, 0));
    EXPECT_TRUE(t.IsDirItemCorrupted({}, 0));
}

TEST(AesTransform, GenerateKeyKeepsTheHeldSaltWhenDecrypting) {
    TAESCryptoTransform t(256, 2, 0);
    t.Initialize(Decryption, {});
    t.GenerateKey("a");
    const auto salt = t.SaltValue();
    ASSERT_EQ(salt.size(), 16u);
    t.GenerateKey("b");
    EXPECT_EQ(t.SaltValue(), salt);
    EXPECT_EQ(t.GetPassword(), "b");
    EXPECT_EQ(t.DerivationCount(), 0); // nothing has looked at the keys yet
    ASSERT_NE(t.GetKey(), nullptr);    // looking derives them
    EXPECT_EQ(t.DerivationCount(), 1);

    TAESCryptoTransform e(256, 2, 0);
    e.Initialize(Encryption, {});
    e.GenerateKey("a");
    const auto s1 = e.SaltValue();
    e.GenerateKey("a");
    EXPECT_NE(e.SaltValue(), s1); // encryption always takes a new salt
}

TEST(AesTransform, GetKeyIsTheCiphersEncodingOfTheKey) {
    TAESCryptoTransform t(128, 2, 0);
    t.Initialize(Encryption, {});
    t.GenerateKey("pw");
    const auto salt = t.SaltValue();
    std::vector<uint8_t> derived(34);
    kdf_detail::DerivePBKDF2Sized(&SHA1Desc(), "pw", 2, salt.data(), 8, 1000, derived.data(), 34);
    std::vector<uint8_t> key(derived.begin(), derived.begin() + 16);
    TCipher_Rijndael ref(key, 16); // key now holds its encoding
    EXPECT_EQ(ToHex(t.GetKey(), 16), ToHex(key));
    EXPECT_NE(ToHex(t.GetKey(), 16), ToHex(derived.data(), 16));
}

TEST(AesTransform, ResetAndOverlongPassword) {
    TAESCryptoTransform t(256, 2, 0);
    t.Initialize(Decryption, {});
    t.GenerateKey("pw");
    t.Reset();
    EXPECT_EQ(t.GetPassword(), "");
    EXPECT_EQ(t.KeyLengthBytes(), 0);
    EXPECT_EQ(t.GetFileStorageStartBlockSize(), 2);
    EXPECT_THROW(t.GenerateKey(std::string(32768, 'x')), EPasswordTooLong);
    TAESCryptoTransform u(128, 2, 0);
    u.Initialize(Decryption, {});
    EXPECT_THROW(u.CheckPassword(std::string(40000, 'x'), {}), EPasswordTooLong);
}

} // namespace
} // namespace za

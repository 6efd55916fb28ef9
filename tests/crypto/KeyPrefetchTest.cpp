// Derivations run ahead must hand out exactly what the transform would
// derive itself, and only for the very inputs they were made from.
#include "crypto/ZAAESCryptoTransform.h"
#include "crypto/ZAKeyPrefetch.h"
#include "crypto/ZAPBKDF_2.h"

#include "TestUtil.h"

#include "platform/Stream.h"

#include <gtest/gtest.h>

namespace za {
namespace {

std::vector<uint8_t> Direct(const std::string& pw, const std::vector<uint8_t>& salt, size_t n,
                            int32_t iterations) {
    TPBKDF2 gen(pw, salt.data(), static_cast<int32_t>(salt.size()), iterations);
    return gen.GetKeyBytes(static_cast<int32_t>(n));
}

TEST(KeyPrefetch, ResultsEqualDirectDerivation) {
    struct Case {
        std::string password;
        size_t salt, length;
        int32_t iterations;
    } cases[] = {{"benchpass", 8, 34, 1000},
                 {"", 12, 50, 1000},
                 {std::string(65, 'k'), 16, 66, 1000},
                 {"p", 16, 100, 3}};
    TZAKeyPrefetcher p;
    std::vector<std::vector<uint8_t>> salts;
    for (size_t i = 0; i < std::size(cases); ++i) {
        salts.push_back(test::RandomBytes(cases[i].salt, static_cast<unsigned>(i + 1)));
        ASSERT_TRUE(p.Submit(cases[i].password, salts[i].data(), salts[i].size(), cases[i].length,
                             cases[i].iterations, static_cast<int64_t>(i)));
    }
    p.WaitIdle();
    for (size_t k = std::size(cases); k-- > 0;) {
        const Case& c = cases[k];
        std::vector<uint8_t> got;
        ASSERT_TRUE(
            p.Take(c.password, salts[k].data(), salts[k].size(), c.length, c.iterations, got));
        EXPECT_EQ(got, Direct(c.password, salts[k], c.length, c.iterations)) << k;
    }
    EXPECT_EQ(p.Pending(), 0u);
}

TEST(KeyPrefetch, OnlyTheExactRequestIsHandedOut) {
    TZAKeyPrefetcher p;
    const std::vector<uint8_t> salt = test::RandomBytes(16, 9);
    ASSERT_TRUE(p.Submit("right", salt.data(), salt.size(), 66, 1000, 0));
    p.WaitIdle();
    std::vector<uint8_t> other = salt;
    other[15] ^= 1;
    std::vector<uint8_t> got;
    EXPECT_FALSE(p.Take("wrong", salt.data(), salt.size(), 66, 1000, got));
    EXPECT_FALSE(p.Take("right", other.data(), other.size(), 66, 1000, got));
    EXPECT_FALSE(p.Take("right", salt.data(), salt.size(), 34, 1000, got));
    EXPECT_FALSE(p.Take("right", salt.data(), salt.size(), 66, 999, got));
    EXPECT_FALSE(p.Take("right", salt.data(), 8, 66, 1000, got));
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(p.Take("right", salt.data(), salt.size(), 66, 1000, got));
    EXPECT_EQ(got, Direct("right", salt, 66, 1000));
    EXPECT_FALSE(p.Take("right", salt.data(), salt.size(), 66, 1000, got)) << "taken once";
}

TEST(KeyPrefetch, BoundedForgettableAndRefusesWhatTheTransformRefuses) {
    TZAKeyPrefetcher p;
    const std::vector<uint8_t> salt = test::RandomBytes(16, 4);
    for (size_t i = 0; i < TZAKeyPrefetcher::MaxJobs; ++i)
        ASSERT_TRUE(p.Submit("pw" + std::to_string(i), salt.data(), salt.size(), 66, 1000,
                             static_cast<int64_t>(i)));
    EXPECT_TRUE(p.Submit("pw0", salt.data(), salt.size(), 66, 1000, 0)) << "already queued";
    EXPECT_FALSE(p.Submit("more", salt.data(), salt.size(), 66, 1000, 99));
    p.Forget(3);
    EXPECT_EQ(p.Pending(), TZAKeyPrefetcher::MaxJobs - 3);
    p.Clear();
    EXPECT_EQ(p.Pending(), 0u);
    EXPECT_FALSE(p.Submit(std::string(PBKDF2PasswordBufferSize + 1, 'x'), salt.data(), salt.size(),
                          66, 1000, 0));
    EXPECT_FALSE(p.Submit("pw", salt.data(), salt.size(), 66, 0, 0));
}

// An entry sealed with one password, opened through a transform that may
// take its keys from a prefetcher primed with the right or a wrong password.
TEST(KeyPrefetch, TransformOpensWithPrefetchedKeys) {
    const std::vector<uint8_t> plain = test::RandomBytes(5000, 3);
    for (int32_t strength : {128, 192, 256}) {
        for (const char* primed : {"secret", "not it"}) {
            TAESCryptoTransform seal(strength, 2, 8);
            seal.Initialize(Encryption, {});
            seal.GenerateKey("secret");
            std::vector<uint8_t> stored = seal.GetFileStorageStartBlock();
            std::vector<uint8_t> cipher = plain;
            seal.EncryptBuffer(cipher.data(), 0, static_cast<int32_t>(cipher.size()), cipher.data(),
                               0);
            stored.insert(stored.end(), cipher.begin(), cipher.end());
            const std::vector<uint8_t> end = seal.GetFileStorageEndBlock();
            stored.insert(stored.end(), end.begin(), end.end());

            TZAKeyPrefetcher p;
            const size_t L = static_cast<size_t>(strength) / 8;
            ASSERT_TRUE(p.Submit(primed, stored.data(), L / 2, 2 * L + 2, 1000, 0));
            p.WaitIdle();
            TAESCryptoTransform t(strength, 2, 8);
            t.SetKeyPrefetcher(&p);
            t.Initialize(Decryption, {});
            t.GenerateKey("secret");
            TReadOnlyMemoryStream s(stored.data(), stored.size());
            t.LoadFileStorageStartBlock(s, 0);
            ASSERT_TRUE(t.CheckPassword("secret", {})) << strength << primed;
            std::vector<uint8_t> out(plain.size());
            t.DecryptBuffer(stored.data() + L / 2 + 2, 0, static_cast<int32_t>(out.size()),
                            out.data(), 0);
            EXPECT_EQ(out, plain);
            s.SetPosition(static_cast<int64_t>(stored.size() - 10));
            t.LoadFileStorageEndBlock(s, 0);
            EXPECT_FALSE(t.IsDirItemCorrupted({}, 0));
            EXPECT_EQ(t.DerivationCount(), 1);
            EXPECT_EQ(p.Pending(), std::string(primed) == "secret" ? 0u : 1u);
        }
    }
}

} // namespace
} // namespace za

// Throughput of the encryption layer's kernels next to their portable
// references, and the cost of the key derivation per AES entry.
#include "crypto/AesCore.h"
#include "crypto/Crc32.h"
#include "crypto/ZAAESCryptoTransform.h"
#include "crypto/ZACipher.h"
#include "crypto/ZAKeyDeriv.h"
#include "crypto/ZAhmac.h"
#include "crypto/ZAsha1.h"
#include "crypto/ZipCrypt.h"

#include "platform/Stream.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace za {
namespace {

constexpr size_t kMiB = 1 << 20;

const std::vector<uint8_t>& Data() {
    static const std::vector<uint8_t> d = [] {
        std::vector<uint8_t> v(kMiB);
        std::mt19937 g(1);
        for (auto& b : v)
            b = static_cast<uint8_t>(g());
        return v;
    }();
    return d;
}

template <uint32_t (*Fn)(uint32_t, const void*, size_t)> void BM_Crc32(benchmark::State& state) {
    const auto& d = Data();
    uint32_t crc = 0xFFFFFFFF;
    for (auto _ : state) {
        crc = Fn(crc, d.data(), d.size());
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}
BENCHMARK(BM_Crc32<crc32_detail::UpdateCrc32Bytewise>)->Name("Crc32/ByteTable");
BENCHMARK(BM_Crc32<crc32_detail::UpdateCrc32Slicing16>)->Name("Crc32/Slicing16");
BENCHMARK(BM_Crc32<crc32_detail::UpdateCrc32Clmul>)->Name("Crc32/PCLMULQDQ");
BENCHMARK(BM_Crc32<crc32_detail::UpdateCrc32Vpclmul>)->Name("Crc32/VPCLMULQDQ");
BENCHMARK(BM_Crc32<UpdateCrc32>)->Name("Crc32/UpdateCrc32");

template <void (*Fn)(void*, size_t, TZipCryptKeys&)> void BM_ZipCrypt(benchmark::State& state) {
    std::vector<uint8_t> buf = Data();
    TZipCryptKeys k;
    ZipCryptInitKeys("password", k);
    for (auto _ : state) {
        Fn(buf.data(), buf.size(), k);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buf.size()));
}
BENCHMARK(BM_ZipCrypt<zipcrypt_detail::DecodeBufferReference>)
    ->Name("ZipCryptDecode/ByteSerialReference");
BENCHMARK(BM_ZipCrypt<ZipCryptDecodeBuffer>)->Name("ZipCryptDecode/ZipCryptDecodeBuffer");

using CtrFn = void (*)(const uint8_t*, int, uint8_t*, const uint8_t*, uint8_t*, size_t, uint8_t*);
template <CtrFn Fn> void BM_AesCtrKernel(benchmark::State& state) {
    uint8_t enc[240], dec[240], nonce[16] = {}, last[16];
    aes_detail::ExpandKey(Data().data(), 14, enc, dec);
    std::vector<uint8_t> buf = Data();
    for (auto _ : state) {
        Fn(enc, 14, nonce, buf.data(), buf.data(), buf.size() / 16, last);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buf.size()));
}
BENCHMARK(BM_AesCtrKernel<aes_detail::CtrBlocksPortable>)->Name("Aes256Ctr/Portable");
BENCHMARK(BM_AesCtrKernel<aes_detail::CtrBlocksNi>)->Name("Aes256Ctr/AESNI");
BENCHMARK(BM_AesCtrKernel<aes_detail::CtrBlocksVaes>)->Name("Aes256Ctr/VAES");

void BM_CipherCtr(benchmark::State& state) {
    std::vector<uint8_t> key(Data().begin(), Data().begin() + 32);
    TCipher_Rijndael aes(key, 32);
    aes.SetMode(cmCTR);
    std::vector<uint8_t> buf = Data();
    for (auto _ : state) {
        aes.DecodeBuffer(buf.data(), buf.data(), static_cast<int32_t>(buf.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buf.size()));
}
BENCHMARK(BM_CipherCtr)->Name("Aes256Ctr/TCipher_Rijndael.DecodeBuffer");

template <void (*Fn)(uint32_t*, const uint8_t*, size_t)> void BM_Sha1(benchmark::State& state) {
    uint32_t s[5] = {1, 2, 3, 4, 5};
    for (auto _ : state) {
        Fn(s, Data().data(), kMiB / 64);
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_Sha1<sha1_detail::CompressPortable>)->Name("Sha1/Portable");
BENCHMARK(BM_Sha1<sha1_detail::CompressShaNi>)->Name("Sha1/SHANI");

void BM_HmacSha1(benchmark::State& state) {
    const auto& d = Data();
    for (auto _ : state) {
        THMAC_Context c;
        HMACStart(c, &SHA1Desc(), d.data(), 32);
        HMACAddData(c, d.data(), static_cast<int32_t>(d.size()));
        THashDigest mac;
        HMACFinish(c, mac);
        benchmark::DoNotOptimize(mac);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}
BENCHMARK(BM_HmacSha1)->Name("HmacSha1/1MiB");

// One derivation of an AES-256 entry: 1000 iterations, 66 bytes.
void BM_Pbkdf2Aes256(benchmark::State& state) {
    const uint8_t salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t key[66];
    for (auto _ : state) {
        DerivePBKDF2(&SHA1Desc(), "password", 8, salt, 16, 1000, key, 66);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_Pbkdf2Aes256)->Name("Pbkdf2Aes256/Fast")->Unit(benchmark::kMicrosecond);

void BM_Pbkdf2Aes256Portable(benchmark::State& state) {
    // The straight RFC 2898 loop: HMAC keyed afresh in every iteration.
    const uint8_t salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t key[66];
    for (auto _ : state) {
        kdf_detail::DerivePBKDF2Reference(&SHA1Desc(), "password", 8, salt, 16, 1000, key, 66);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_Pbkdf2Aes256Portable)
    ->Name("Pbkdf2Aes256/StraightLoopReference")
    ->Unit(benchmark::kMicrosecond);

// The lane kernels alone: 999 iterations for 2 (AES-128), 3 and 4 (AES-256) lanes.
using LaneFn = void (*)(const uint32_t*, const uint32_t*, uint32_t (*)[5], uint32_t (*)[5], int,
                        int32_t);
template <LaneFn Fn> void BM_Pbkdf2Lanes(benchmark::State& state) {
    const uint32_t is[5] = {1, 2, 3, 4, 5}, os[5] = {6, 7, 8, 9, 10};
    uint32_t u[4][5] = {}, t[4][5] = {};
    for (auto _ : state) {
        Fn(is, os, u, t, static_cast<int>(state.range(0)), 999);
        benchmark::DoNotOptimize(t);
    }
}
BENCHMARK(BM_Pbkdf2Lanes<sha1_detail::Pbkdf2IterateShaNi>)
    ->Name("Pbkdf2Lanes/SHANI")
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pbkdf2Lanes<sha1_detail::Pbkdf2IterateAvx512>)
    ->Name("Pbkdf2Lanes/AVX512VL")
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pbkdf2Lanes<sha1_detail::Pbkdf2IteratePortable>)
    ->Name("Pbkdf2Lanes/Portable")
    ->Arg(4)
    ->Unit(benchmark::kMicrosecond);

// The whole password step of extracting one AES-256 entry, as the pipeline
// calls it: create, Initialize, GenerateKey, LoadFileStorageStartBlock,
// CheckPassword.
void BM_AesEntryPasswordStep(benchmark::State& state) {
    TAESCryptoTransform w(256, 2, 0);
    w.Initialize(Encryption, {});
    w.GenerateKey("password");
    const auto start = w.GetFileStorageStartBlock();
    for (auto _ : state) {
        TAESCryptoTransform t(256, 2, 0);
        t.Initialize(Decryption, {});
        t.GenerateKey("password");
        TReadOnlyMemoryStream s(start.data(), start.size());
        t.LoadFileStorageStartBlock(s, 0);
        bool ok = t.CheckPassword("password", {});
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_AesEntryPasswordStep)->Name("AesEntry/PasswordStep")->Unit(benchmark::kMicrosecond);

// Data path of an AES entry: HMAC-SHA1 over the ciphertext plus AES-CTR.
void BM_AesTransformDecrypt(benchmark::State& state) {
    TAESCryptoTransform t(256, 2, 0);
    t.Initialize(Encryption, {});
    t.GenerateKey("password");
    std::vector<uint8_t> buf = Data();
    for (auto _ : state) {
        t.DecryptBuffer(buf.data(), 0, static_cast<int32_t>(buf.size()), buf.data(), 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buf.size()));
}
BENCHMARK(BM_AesTransformDecrypt)->Name("AesEntry/DecryptBuffer");

} // namespace
} // namespace za

BENCHMARK_MAIN();

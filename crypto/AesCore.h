// AES block primitives shared by TCipher_Rijndael: the FIPS-197 key
// schedule (encryption round keys, and the equivalent inverse cipher's
// round keys), single blocks, and the bulk counter-mode pass. Round keys
// are kept as bytes in FIPS-197 order, the form AES-NI uses directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace za::aes_detail {

constexpr size_t RoundKeyBytes = 240; // 15 round keys of 16 bytes

// key: 4 * (rounds - 6) bytes; rounds 10, 12 or 14.
void ExpandKey(const uint8_t* key, int rounds, uint8_t enc[RoundKeyBytes],
               uint8_t dec[RoundKeyBytes]);

// Picks AES-NI when present. in and out may be the same block.
void EncryptBlock(const uint8_t* enc, int rounds, const uint8_t in[16], uint8_t out[16]);
void DecryptBlock(const uint8_t* dec, int rounds, const uint8_t in[16], uint8_t out[16]);

// Counter mode over nblocks whole blocks: for each block the 64-bit
// little-endian counter in nonce[0..7] is incremented (bytes 8..15 never
// change), the nonce is encrypted into the keystream block, and
// out = in ^ keystream. lastKeystream receives the last keystream block
// (untouched when nblocks is 0). in and out may be the same buffer.
void CtrBlocks(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in, uint8_t* out,
               size_t nblocks, uint8_t lastKeystream[16]);

// The individual kernels, for tests and benchmarks.
void EncryptBlockPortable(const uint8_t* enc, int rounds, const uint8_t in[16], uint8_t out[16]);
void DecryptBlockPortable(const uint8_t* dec, int rounds, const uint8_t in[16], uint8_t out[16]);
void EncryptBlockNi(const uint8_t* enc, int rounds, const uint8_t in[16], uint8_t out[16]);
void DecryptBlockNi(const uint8_t* dec, int rounds, const uint8_t in[16], uint8_t out[16]);
void CtrBlocksPortable(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in,
                       uint8_t* out, size_t nblocks, uint8_t lastKeystream[16]);
void CtrBlocksNi(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in, uint8_t* out,
                 size_t nblocks, uint8_t lastKeystream[16]);
void CtrBlocksVaes(const uint8_t* enc, int rounds, uint8_t nonce[16], const uint8_t* in,
                   uint8_t* out, size_t nblocks, uint8_t lastKeystream[16]);
bool AesNiAvailable();
bool VaesAvailable();

} // namespace za::aes_detail

// PKZIP classic encryption: the traditional stream cipher of ZIP archives
// with three 32-bit keys, a 12-byte encryption header in front of each
// entry's data and a one-byte password check. There is no transform object
// for it; the entry data pipeline keeps one TZipCryptKeys per entry.
//
// Reading an entry (what the pipeline does):
//
//     TZipCryptKeys keys;
//     // stream stands at the first byte after the local header's name and
//     // extra field; the stored size includes the 12 header bytes.
//     if (password.empty() || !ZipCryptCheckHeader(stream, password, keys,
//             localHeader.crc32, localHeader.lastModTime, localHeader.genPurposeFlag))
//         ...wrong password: ask again, seek back, check again...
//     // keys now continue into the data; the stream stands at the data.
//     for each chunk read (in file order, any sizes):
//         ZipCryptDecodeBuffer(chunk, chunkSize, keys);   // in place
//
// When the 12 header bytes are already in memory, ZipCryptCheckHeaderBlock
// does the same check on a copy of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto/Crc32.h"

namespace za {

class TStream;

// Size of the encryption header in front of an entry's data.
constexpr size_t ZipCryptHeaderSize = 12;

struct TZipCryptKeys {
    uint32_t Key0 = 0x12345678;
    uint32_t Key1 = 0x23456789;
    uint32_t Key2 = 0x34567890;
};

// Key update with one plaintext byte.
inline void ZipCryptUpdateKeys(TZipCryptKeys& keys, uint8_t b) {
    keys.Key0 = Crc32Step(keys.Key0, b);
    keys.Key1 = (keys.Key1 + (keys.Key0 & 0xFF)) * 134775813u + 1;
    keys.Key2 = Crc32Step(keys.Key2, static_cast<uint8_t>(keys.Key1 >> 24));
}

// The next keystream byte; the keys do not change.
inline uint8_t ZipCryptKeyByte(const TZipCryptKeys& keys) {
    const uint32_t t = (keys.Key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

// Initial keys, then one update per password byte (all bytes, as stored).
void ZipCryptInitKeys(const std::string& password, TZipCryptKeys& keys);

// ZipCryptInitKeys, then the 12 header bytes decoded in place.
void ZipCryptDecodeHeader(const std::string& password, TZipCryptKeys& keys,
                          uint8_t header[ZipCryptHeaderSize]);

// Reads exactly 12 bytes at the stream's position (a short read raises the
// stream's EReadError), decodes them and compares the last one with the
// check byte: the high byte of lastModTime when bit 3 of genPurposeFlag is
// set (data descriptor), else the high byte of crc32. On success the keys
// are ready to decode the entry's data.
bool ZipCryptCheckHeader(TStream& stream, const std::string& password, TZipCryptKeys& keys,
                         uint32_t crc32, uint16_t lastModTime, uint16_t genPurposeFlag);

// The same check over 12 header bytes held in memory (they are not changed).
bool ZipCryptCheckHeaderBlock(const uint8_t header[ZipCryptHeaderSize], const std::string& password,
                              TZipCryptKeys& keys, uint32_t crc32, uint16_t lastModTime,
                              uint16_t genPurposeFlag);

// Decodes count bytes in place, continuing the key state.
void ZipCryptDecodeBuffer(void* buffer, size_t count, TZipCryptKeys& keys);

// Encodes one plaintext byte (writing side).
inline uint8_t ZipCryptEncodeByte(uint8_t plain, TZipCryptKeys& keys) {
    const uint8_t c = plain ^ ZipCryptKeyByte(keys);
    ZipCryptUpdateKeys(keys, plain);
    return c;
}

// Encodes count bytes in place from start on (writing side).
void ZipCryptEncodeBuffer(void* buffer, size_t start, size_t count, TZipCryptKeys& keys);

namespace zipcrypt_detail {
// Byte-at-a-time decoder through the record, the reference for tests.
void DecodeBufferReference(void* buffer, size_t count, TZipCryptKeys& keys);
} // namespace zipcrypt_detail

} // namespace za

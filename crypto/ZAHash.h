// Hash descriptors and their registry. A hash algorithm is reached through
// a constant descriptor record that names it and holds its three routines;
// the registry has one slot per algorithm identifier 0 to 8. At start-up
// (first use) only SHA-1 is registered, under SHA1HashId.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace za {

constexpr uint16_t HashDescSignature = 0x3D7A;
constexpr uint32_t HashDescVersion = 0x00010003;
// Declared size of a descriptor record on this platform (8-byte routine and
// OID references). The registry refuses a descriptor declaring another size.
constexpr uint16_t HashDescRecordSize = 96;
constexpr int32_t MaxHashId = 8;
constexpr int32_t SHA1HashId = 3;

// Working state of one hash computation.
struct THashContext {
    uint32_t Hash[16];   // chaining state; SHA-1 uses the first five words
    uint8_t MLen[16];    // message length in bits (SHA-1: 64-bit count, low word first)
    uint8_t Buffer[128]; // pending input
    int32_t Index;       // number of pending bytes in Buffer
};

using THashBuffer = std::array<uint8_t, 128>;
// Output buffer; a hash writes HDigestlen bytes and zeros the rest.
using THashDigest = std::array<uint8_t, 64>;

using HashInitProc = void (*)(THashContext& context);
using HashFinalProc = void (*)(THashContext& context, THashDigest& digest);
using HashUpdateXLProc = void (*)(THashContext& context, const void* data, int32_t length);

// Short string of at most 19 characters: a length byte and the characters.
struct THashName {
    uint8_t Length;
    char Chars[19];
    std::string_view View() const { return {Chars, Length > 19 ? size_t{19} : size_t{Length}}; }
};

// Object identifier, up to 9 components; unused ones are -1.
using TOID_Vec = std::array<int32_t, 9>;

struct THashDesc {
    uint16_t HSig;       // HashDescSignature
    uint16_t HDSize;     // declared record size, HashDescRecordSize
    uint32_t HDVersion;  // HashDescVersion
    uint16_t HBlockLen;  // block length in bytes
    uint16_t HDigestlen; // digest length in bytes
    HashInitProc HInit;
    HashFinalProc HFinal;
    HashUpdateXLProc HUpdateXL;
    uint32_t HAlgNum; // identifier 0..8
    THashName HName;
    const TOID_Vec* HPtrOID;
    uint16_t HLenOID; // components used in the OID
    uint8_t HReserved[22];
};
static_assert(sizeof(THashDesc) == HashDescRecordSize, "descriptor record size");

using PHashDesc = const THashDesc*;

// Puts the descriptor into slot id when it exists, its HAlgNum equals id,
// and HSig, HDVersion and HDSize hold the expected values; otherwise does
// nothing.
void RegisterHashDesc(int32_t id, PHashDesc desc);
// The registered descriptor of an identifier, or nullptr.
PHashDesc FindHashDescById(int32_t id);
// The first registered descriptor (slots 0..8) whose upper-cased name equals
// the first 19 characters of name, upper-cased (ASCII letters only).
PHashDesc FindHashDescByName(std::string_view name);

// Whole-buffer hash. Does nothing when desc is missing or its HSig is wrong.
void HashOfBuffer(PHashDesc desc, THashDigest& digest, const void* data, int32_t length);

} // namespace za

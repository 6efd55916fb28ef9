// Entry names: from stored bytes to UTF-16 (OEM conversion, UTF-8 detection,
// ANSI decoding) and the archiver's own Unicode name block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Stream.h"

namespace za {

// True when at least one byte is 0x80 or more and the whole string splits
// into well-formed UTF-8 sequences (lone surrogate forms ED A0..BF count as
// well-formed, overlong forms and values above U+10FFFF do not).
bool IsUtf8Name(const uint8_t* bytes, size_t length);
inline bool IsUtf8Name(const std::string& bytes) {
    return IsUtf8Name(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Name of an entry read from a central header: when oemFileNames is set and
// flag bit 11 is clear, the bytes go through the OEM-to-ANSI conversion
// first; then they are decoded as UTF-8 when they pass IsUtf8Name, else from
// the ANSI code page.
std::u16string DecodeEntryName(const std::string& stored, uint16_t genPurposeFlag,
                               bool oemFileNames);

// Name of an entry rebuilt from a local header: the OEM conversion as above
// only when convertOem is set (the loader had found an end record), then the
// ANSI decoding of the bytes up to the first zero byte. No UTF-8 test.
std::u16string DecodeLocalEntryName(const std::string& stored, uint16_t genPurposeFlag,
                                    bool convertOem);

// The Unicode name block (extra field 0x554E): additional signature
// 0x5843554E, a 4-byte signed count N, then N UTF-16LE code units.
class TUnicodeExtendedInfo {
public:
    static constexpr int32_t Signature = 0x5843554E;

    // Parses the block's data; false (name unchanged) when the signature is
    // wrong or the data is shorter than signature and count. A count beyond
    // the data is cut to the code units the data holds; a count of 0 or less
    // gives an empty name.
    bool Load(const void* data, size_t size);
    // The same from the start of a stream.
    bool LoadFromStream(TStream& stream);
    // Writes signature, length and code units.
    void SaveToStream(TStream& stream) const;

    const std::u16string& Name() const { return FName; }
    void SetName(const std::u16string& name) { FName = name; }
    int32_t AdditionalSignature() const { return FAdditionalSignature; }

private:
    std::u16string FName;
    int32_t FAdditionalSignature = 0;
};

} // namespace za

#include "zip/ZANames.h"

#include <algorithm>
#include <vector>

#include "platform/CodePage.h"
#include "zip/ZARecords.h"

namespace za {

namespace {

bool IsCont(uint8_t b) {
    return b >= 0x80 && b <= 0xBF;
}

// Length of the well-formed sequence starting at p (0 when there is none).
size_t Utf8SequenceLength(const uint8_t* p, size_t left) {
    const uint8_t b = p[0];
    if (b < 0x80)
        return 1;
    auto need = [&](size_t n) { return left >= n; };
    if (b >= 0xC2 && b <= 0xDF)
        return need(2) && IsCont(p[1]) ? 2 : 0;
    if (b == 0xE0)
        return need(3) && p[1] >= 0xA0 && p[1] <= 0xBF && IsCont(p[2]) ? 3 : 0;
    if (b >= 0xE1 && b <= 0xEF)
        return need(3) && IsCont(p[1]) && IsCont(p[2]) ? 3 : 0;
    if (b == 0xF0)
        return need(4) && p[1] >= 0x90 && p[1] <= 0xBF && IsCont(p[2]) && IsCont(p[3]) ? 4 : 0;
    if (b >= 0xF1 && b <= 0xF3)
        return need(4) && IsCont(p[1]) && IsCont(p[2]) && IsCont(p[3]) ? 4 : 0;
    if (b == 0xF4)
        return need(4) && p[1] >= 0x80 && p[1] <= 0x8F && IsCont(p[2]) && IsCont(p[3]) ? 4 : 0;
    return 0;
}

// Decodes bytes that passed IsUtf8Name.
std::u16string DecodeCheckedUtf8(const uint8_t* p, size_t length) {
    std::u16string out;
    out.reserve(length);
    size_t i = 0;
    while (i < length) {
        const size_t n = Utf8SequenceLength(p + i, length - i);
        uint32_t cp;
        switch (n) {
        case 1:
            cp = p[i];
            break;
        case 2:
            cp = ((p[i] & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
            break;
        case 3:
            cp = ((p[i] & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
            break;
        case 4:
            cp = ((p[i] & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) |
                 (p[i + 3] & 0x3Fu);
            break;
        default: // not reached for checked input
            cp = 0xFFFD;
            n == 0 ? ++i : i += n;
            out.push_back(static_cast<char16_t>(cp));
            continue;
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// Printable ASCII reads the same in every supported OEM and ANSI code page
// and fails the UTF-8 test, so it needs neither conversion nor decoding.
bool IsPrintableAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        const auto b = static_cast<uint8_t>(c);
        return b >= 0x20 && b < 0x7F;
    });
}

std::u16string Widen(const std::string& s) {
    std::u16string out(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<uint8_t>(s[i]));
    return out;
}

} // namespace

bool IsUtf8Name(const uint8_t* bytes, size_t length) {
    bool high = false;
    size_t i = 0;
    while (i < length) {
        const size_t n = Utf8SequenceLength(bytes + i, length - i);
        if (n == 0)
            return false;
        if (n > 1)
            high = true;
        i += n;
    }
    return high;
}

std::u16string DecodeEntryName(const std::string& stored, uint16_t genPurposeFlag,
                               bool oemFileNames) {
    if (stored.empty())
        return {};
    if (IsPrintableAscii(stored))
        return Widen(stored);
    std::string bytes =
        oemFileNames && (genPurposeFlag & gpfUtf8) == 0 ? OemToAnsi(stored) : stored;
    if (IsUtf8Name(bytes))
        return DecodeCheckedUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return AnsiToUnicode(bytes);
}

std::u16string DecodeLocalEntryName(const std::string& stored, uint16_t genPurposeFlag,
                                    bool convertOem) {
    std::string bytes = stored;
    if (convertOem && (genPurposeFlag & gpfUtf8) == 0 && !IsPrintableAscii(bytes))
        bytes = OemToAnsi(bytes);
    const auto zero = bytes.find('\0');
    if (zero != std::string::npos)
        bytes.resize(zero);
    if (IsPrintableAscii(bytes))
        return Widen(bytes);
    return AnsiToUnicode(bytes);
}

bool TUnicodeExtendedInfo::Load(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (size < 4)
        return false;
    FAdditionalSignature = static_cast<int32_t>(GetLE32(p));
    if (FAdditionalSignature != Signature || size < 8)
        return false;
    const auto count = static_cast<int32_t>(GetLE32(p + 4));
    std::u16string name;
    if (count > 0) {
        const size_t units = std::min<size_t>(static_cast<size_t>(count), (size - 8) / 2);
        name.resize(units);
        for (size_t i = 0; i < units; ++i)
            name[i] = static_cast<char16_t>(GetLE16(p + 8 + 2 * i));
    }
    FName = std::move(name);
    return true;
}

bool TUnicodeExtendedInfo::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    std::vector<uint8_t> data;
    uint8_t chunk[4096];
    for (;;) {
        const int64_t n = stream.Read(chunk, sizeof(chunk));
        if (n <= 0)
            break;
        data.insert(data.end(), chunk, chunk + n);
        // A block's data is at most 65,535 bytes; more is never needed.
        if (data.size() > 0x20000)
            break;
    }
    return Load(data.data(), data.size());
}

void TUnicodeExtendedInfo::SaveToStream(TStream& stream) const {
    std::vector<uint8_t> out(8 + 2 * FName.size());
    PutLE32(out.data(), static_cast<uint32_t>(Signature));
    PutLE32(out.data() + 4, static_cast<uint32_t>(FName.size()));
    for (size_t i = 0; i < FName.size(); ++i)
        PutLE16(out.data() + 8 + 2 * i, static_cast<uint16_t>(FName[i]));
    stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

} // namespace za

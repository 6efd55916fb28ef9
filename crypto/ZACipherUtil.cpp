#include "crypto/ZACipherUtil.h"

#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

namespace za {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const char kMime[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kUU[] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
const char kXX[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

int IndexIn(const char* table, char c) {
    for (int i = 0; i < 64; ++i)
        if (table[i] == c)
            return i;
    return -1;
}

// Three bytes (missing ones zero) to four six-bit digits.
void Encode3(const char* table, const uint8_t* p, size_t n, std::string& out, bool pad) {
    const uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{n > 1 ? p[1] : uint8_t{0}} << 8) |
                       (n > 2 ? p[2] : uint8_t{0});
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += (n > 1 || !pad) ? table[(v >> 6) & 63] : '=';
    out += (n > 2 || !pad) ? table[v & 63] : '=';
}

} // namespace

std::string TStringFormat_HEX::ToStr(const std::string& value) const {
    const char* d = Digits();
    std::string out;
    out.reserve(value.size() * 2);
    for (unsigned char c : value) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

std::string TStringFormat_HEX::StrTo(const std::string& value) const {
    std::string out;
    int high = -1;
    for (char c : value) {
        const int v = HexValue(c);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>((high << 4) | v);
            high = -1;
        }
    }
    return out;
}

std::string TStringFormat_MIME64::ToStr(const std::string& value) const {
    std::string out;
    const auto* p = reinterpret_cast<const uint8_t*>(value.data());
    for (size_t i = 0; i < value.size(); i += 3)
        Encode3(kMime, p + i, std::min<size_t>(3, value.size() - i), out, true);
    return out;
}

std::string TStringFormat_MIME64::StrTo(const std::string& value) const {
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : value) {
        if (c == '=')
            break;
        const int v = IndexIn(kMime, c);
        if (v < 0)
            continue;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

const char* TStringFormat_UU::Table() const {
    return kUU;
}
const char* TStringFormat_XX::Table() const {
    return kXX;
}

std::string TStringFormat_UU::ToStr(const std::string& value) const {
    const char* t = Table();
    std::string out;
    const auto* p = reinterpret_cast<const uint8_t*>(value.data());
    for (size_t line = 0; line < value.size(); line += 45) {
        const size_t n = std::min<size_t>(45, value.size() - line);
        out += t[n];
        for (size_t i = 0; i < n; i += 3)
            Encode3(t, p + line + i, std::min<size_t>(3, n - i), out, false);
    }
    return out;
}

std::string TStringFormat_UU::StrTo(const std::string& value) const {
    const char* t = Table();
    std::string out;
    size_t pos = 0;
    while (pos < value.size()) {
        const int n = IndexIn(t, value[pos]);
        if (n <= 0) { // not a length character: skip it (line breaks, spaces)
            ++pos;
            continue;
        }
        ++pos;
        const size_t chars = (static_cast<size_t>(n) + 2) / 3 * 4;
        uint32_t acc = 0;
        int bits = 0;
        size_t produced = 0;
        for (size_t i = 0; i < chars && pos < value.size(); ++i, ++pos) {
            const int v = IndexIn(t, value[pos]);
            acc = (acc << 6) | static_cast<uint32_t>(v < 0 ? 0 : v);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                if (produced < static_cast<size_t>(n)) {
                    out += static_cast<char>((acc >> bits) & 0xFF);
                    ++produced;
                }
            }
        }
    }
    return out;
}

const std::vector<const TStringFormat*>& StringFormats() {
    static const TStringFormat copy;
    static const TStringFormat_HEX hex;
    static const TStringFormat_HEXL hexl;
    static const TStringFormat_MIME64 mime;
    static const TStringFormat_UU uu;
    static const TStringFormat_XX xx;
    static const std::vector<const TStringFormat*> list = {&copy, &hex, &hexl, &mime, &uu, &xx};
    return list;
}

const TStringFormat* StringFormatByName(const std::u16string& name) {
    for (const TStringFormat* f : StringFormats())
        if (f->Name() == name)
            return f;
    return nullptr;
}

TProtection::TProtection(std::shared_ptr<TProtection> AProtection) {
    SetProtection(std::move(AProtection));
}

void TProtection::SetProtection(std::shared_ptr<TProtection> value) {
    for (TProtection* p = value.get(); p; p = p->FProtection.get())
        if (p == this)
            throw EProtection(u"Circular Protection detected, Protection Object is invalid.");
    FProtection = std::move(value);
}

void TProtection::CodeInit(TPAction Action) {
    if (FProtection)
        FProtection->CodeInit(Action);
}

void TProtection::CodeDone(TPAction Action) {
    if (FProtection)
        FProtection->CodeDone(Action);
}

void TProtection::CodeBuf(void* Buffer, int32_t BufferSize, TPAction Action) {
    if (FProtection)
        FProtection->CodeBuf(Buffer, BufferSize, Action);
}

void TProtection::CodeBuffer(void* Buffer, int32_t BufferSize, TPAction Action) {
    CodeInit(Action);
    try {
        CodeBuf(Buffer, BufferSize, Action);
    } catch (...) {
        CodeDone(Action);
        throw;
    }
    CodeDone(Action);
}

void TProtection::CodeStream(TStream& Source, TStream& Dest, int64_t DataSize, TPAction Action) {
    if (DataSize < 0)
        DataSize = Source.Size() - Source.Position();
    constexpr int64_t kChunk = 64 * 1024;
    std::vector<uint8_t> buf(
        static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(DataSize, 1), kChunk)));
    CodeInit(Action);
    try {
        while (DataSize > 0) {
            const int64_t n = Source.Read(buf.data(), std::min<int64_t>(DataSize, kChunk));
            if (n <= 0)
                break;
            CodeBuf(buf.data(), static_cast<int32_t>(n), Action);
            Dest.WriteBuffer(buf.data(), n);
            DataSize -= n;
        }
    } catch (...) {
        CodeDone(Action);
        throw;
    }
    CodeDone(Action);
}

void TProtection::CodeFile(const std::u16string& Source, const std::u16string& Dest,
                           TPAction Action) {
    TFileStream in(Source, fmOpenRead | fmShareDenyNone);
    if (Source == Dest) {
        TMemoryStream data;
        data.CopyFrom(in, 0);
        data.SetPosition(0);
        TMemoryStream coded;
        CodeStream(data, coded, -1, Action);
        TFileStream out(Dest, fmOpenReadWrite | fmShareDenyWrite);
        out.SetPosition(0);
        out.WriteBuffer(coded.Memory(), coded.Size());
        return;
    }
    TFileStream out(Dest, fmCreate);
    CodeStream(in, out, -1, Action);
}

std::string TProtection::CodeString(const std::string& Source, TPAction Action,
                                    const TStringFormat* Format) {
    std::string data = (Action == paDecode && Format) ? Format->StrTo(Source) : Source;
    if (!data.empty())
        CodeBuffer(data.data(), static_cast<int32_t>(data.size()), Action);
    if (Action != paDecode && Format)
        return Format->ToStr(data);
    return data;
}

} // namespace za

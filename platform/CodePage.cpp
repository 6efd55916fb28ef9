#include "platform/CodePage.h"

#include "platform/Utf8Internal.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <utility>
#include <vector>

namespace za {

namespace {

#include "platform/codepage_tables.inc"

constexpr size_t kPageCount = sizeof(kPages) / sizeof(kPages[0]);

int PageIndex(uint16_t codePage) {
    for (size_t i = 0; i < kPageCount; ++i) {
        if (kPages[i] == codePage) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsOemPage(uint16_t cp) {
    return cp == 437 || cp == 850 || cp == 866;
}
bool IsAnsiPage(uint16_t cp) {
    return cp == 1251 || cp == 1252;
}

// The process-wide pair, packed so that both change together.
std::atomic<uint32_t> gPair{(866u << 16) | 1251u};

// Unicode to byte for one page: sorted (code unit, byte) pairs.
using ReverseTable = std::vector<std::pair<char16_t, uint8_t>>;

const ReverseTable& Reverse(int index) {
    static const std::array<ReverseTable, kPageCount> tables = [] {
        std::array<ReverseTable, kPageCount> t;
        for (size_t p = 0; p < kPageCount; ++p) {
            for (int b = 0; b < 256; ++b) {
                t[p].emplace_back(kToUnicode[p][b], static_cast<uint8_t>(b));
            }
            // Stable: for a character two bytes share, the lower byte wins.
            std::stable_sort(t[p].begin(), t[p].end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        }
        return t;
    }();
    return tables[static_cast<size_t>(index)];
}

} // namespace

bool IsSupportedCodePage(uint16_t codePage) {
    return PageIndex(codePage) >= 0;
}

bool SetCodePages(uint16_t oemCodePage, uint16_t ansiCodePage) {
    if (!IsOemPage(oemCodePage) || !IsAnsiPage(ansiCodePage)) {
        return false;
    }
    gPair.store((uint32_t{oemCodePage} << 16) | ansiCodePage);
    return true;
}

uint16_t OemCodePage() {
    return static_cast<uint16_t>(gPair.load() >> 16);
}
uint16_t AnsiCodePage() {
    return static_cast<uint16_t>(gPair.load() & 0xFFFF);
}

std::string OemToAnsi(const std::string& oem) {
    const uint32_t pair = gPair.load();
    return OemToAnsi(oem, static_cast<uint16_t>(pair >> 16), static_cast<uint16_t>(pair & 0xFFFF));
}

std::string OemToAnsi(const std::string& oem, uint16_t oemCodePage, uint16_t ansiCodePage) {
    const int from = PageIndex(oemCodePage);
    const int to = PageIndex(ansiCodePage);
    if (from < 0 || to < 0 || from == to) {
        return oem;
    }
    const uint8_t* table = kConvert[from][to];
    std::string out(oem);
    for (auto& c : out) {
        c = static_cast<char>(table[static_cast<uint8_t>(c)]);
    }
    return out;
}

std::u16string CodePageToUnicode(const std::string& text, uint16_t codePage) {
    std::u16string out;
    out.reserve(text.size());
    const int page = PageIndex(codePage);
    if (page < 0) {
        // Unknown page: only ASCII is certain.
        for (unsigned char c : text) {
            out.push_back(c < 0x80 ? char16_t(c) : u'?');
        }
        return out;
    }
    const char16_t* table = kToUnicode[page];
    for (unsigned char c : text) {
        out.push_back(table[c]);
    }
    return out;
}

std::string UnicodeToCodePage(const std::u16string& text, uint16_t codePage) {
    std::string out;
    out.reserve(text.size());
    const int page = PageIndex(codePage);
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i; // a character above U+FFFF: one "?" for the pair
            out.push_back('?');
            continue;
        }
        if (page < 0) {
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            continue;
        }
        const ReverseTable& rev = Reverse(page);
        auto it = std::lower_bound(rev.begin(), rev.end(), c,
                                   [](const auto& e, char16_t v) { return e.first < v; });
        out.push_back(it != rev.end() && it->first == c ? static_cast<char>(it->second) : '?');
    }
    return out;
}

bool DecodeUtf8(const std::string& bytes, std::u16string& out) {
    std::u16string result;
    result.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const size_t len = detail::DecodeUtf8Step(p + i, bytes.size() - i, cp);
        if (len == 0) {
            return false;
        }
        detail::AppendUtf16(result, cp);
        i += len;
    }
    out = std::move(result);
    return true;
}

std::string EncodeUtf8(const std::u16string& text) {
    return detail::EncodeUtf8Text(text);
}

} // namespace za

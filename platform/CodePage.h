// 8-bit code pages: OEM (DOS) and ANSI (Windows) pages, UTF-8.
// The process has one current pair (OEM 866 / ANSI 1251 by default); callers
// may choose 437/1252 or 850/1252 instead. Tables are generated data
// (platform/codepage_tables.inc, made by platform/gen_codepages.py).
#pragma once

#include <cstdint>
#include <string>

namespace za {

// Supported pages: OEM 437, 850, 866; ANSI 1251, 1252.
bool IsSupportedCodePage(uint16_t codePage);
// Sets the process-wide pair; false (and nothing changes) for an unsupported page.
bool SetCodePages(uint16_t oemCodePage, uint16_t ansiCodePage);
uint16_t OemCodePage();
uint16_t AnsiCodePage();

// Per-byte OEM to ANSI: each byte is taken through Unicode; a character the
// ANSI page lacks becomes its best fit or "?".
std::string OemToAnsi(const std::string& oem);
std::string OemToAnsi(const std::string& oem, uint16_t oemCodePage, uint16_t ansiCodePage);

// 8-bit text in a code page to UTF-16 and back (unmappable characters become "?").
std::u16string CodePageToUnicode(const std::string& text, uint16_t codePage);
std::string UnicodeToCodePage(const std::u16string& text, uint16_t codePage);
inline std::u16string AnsiToUnicode(const std::string& text) {
    return CodePageToUnicode(text, AnsiCodePage());
}
inline std::string UnicodeToAnsi(const std::u16string& text) {
    return UnicodeToCodePage(text, AnsiCodePage());
}
inline std::u16string OemToUnicode(const std::string& text) {
    return CodePageToUnicode(text, OemCodePage());
}

// Strict UTF-8 decoding: false when the bytes are not valid UTF-8
// (overlong forms, surrogates and values above U+10FFFF are invalid).
bool DecodeUtf8(const std::string& bytes, std::u16string& out);
std::string EncodeUtf8(const std::u16string& text);

} // namespace za

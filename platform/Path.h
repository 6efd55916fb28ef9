// Path-string helpers in the engine's "\" form.
#pragma once

#include <string>

namespace za {

// Text up to and including the last "\" or ":" (empty when there is none).
std::u16string ExtractFilePath(const std::u16string& fileName);
// Text after the last "\" or ":".
std::u16string ExtractFileName(const std::u16string& fileName);
// The extension including the dot ("" when none); a dot before the last separator does not count.
std::u16string ExtractFileExt(const std::u16string& fileName);
std::u16string ChangeFileExt(const std::u16string& fileName, const std::u16string& ext);
// "X:" or "\\server\share" (empty when none).
std::u16string ExtractFileDrive(const std::u16string& fileName);
std::u16string IncludeTrailingBackslash(const std::u16string& path);
std::u16string ExcludeTrailingBackslash(const std::u16string& path);
// Absolute form against the current directory, with "." and ".." removed.
std::u16string ExpandFileName(const std::u16string& fileName);
// Every "/" turned into "\" and back.
std::u16string SlashesToBackslashes(std::u16string s);
std::u16string BackslashesToSlashes(std::u16string s);

// Case conversion of UTF-16 text (ASCII, Latin-1, Cyrillic and Greek letters).
std::u16string UpperCase(const std::u16string& s);
std::u16string LowerCase(const std::u16string& s);
char16_t UpCaseChar(char16_t c);
bool SameText(const std::u16string& a, const std::u16string& b);

// UTF-16 to UTF-8 and back (for messages and the file system).
std::string ToUtf8(const std::u16string& s);
std::u16string FromUtf8(const std::string& s); // invalid bytes become U+FFFD
// ASCII/UTF-8 literal convenience.
inline std::u16string U(const char* utf8) {
    return FromUtf8(utf8);
}

} // namespace za

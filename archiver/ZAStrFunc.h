// String, path and mask helpers of the archive object: a small string list
// for the mask properties, the wildcard matcher and the mask and attribute
// filters used to select directory entries.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace za {

// An ordered list of lines (duplicates allowed), as held by the FileMasks,
// ExclusionMasks and NoCompressionMasks properties.
class TZAStringList {
public:
    TZAStringList() = default;
    TZAStringList(std::initializer_list<std::u16string> lines) : FLines(lines) {}

    int32_t Count() const { return static_cast<int32_t>(FLines.size()); }
    const std::vector<std::u16string>& Lines() const { return FLines; }
    // Line i; i must be in 0..Count()-1.
    const std::u16string& Strings(int32_t i) const { return FLines.at(static_cast<size_t>(i)); }
    void SetStrings(int32_t i, const std::u16string& s) { FLines.at(static_cast<size_t>(i)) = s; }
    // Appends a line and returns its index.
    int32_t Add(const std::u16string& s) {
        FLines.push_back(s);
        return Count() - 1;
    }
    void Clear() { FLines.clear(); }
    // Replaces the lines with a copy of another list's lines.
    void Assign(const TZAStringList& source) {
        if (&source != this) {
            FLines = source.FLines;
        }
    }
    // All lines joined with CR LF after each one; setting splits on CR LF, LF or CR.
    std::u16string Text() const;
    void SetText(const std::u16string& text);

    bool operator==(const TZAStringList& other) const { return FLines == other.FLines; }

private:
    std::vector<std::u16string> FLines;
};

// "A".."Z" to "a".."z"; every other code unit unchanged.
char16_t AsciiLowerChar(char16_t c) noexcept;
std::u16string AsciiLowerCase(std::u16string_view s);

// Every occurrence of one code unit replaced by another.
std::u16string ReplaceChar(std::u16string s, char16_t from, char16_t to);

// Matches a name against a mask of "*" (any sequence, separators included)
// and "?" (any one character). A whole mask "*.*" matches everything; a "*"
// that is followed by more mask needs at least one more name character.
// With ignoreCase, only the ASCII letters A..Z compare case-insensitively.
// Runs in time proportional to name length times mask length, whatever the
// number of stars.
bool WildcardMatch(std::u16string_view name, std::u16string_view mask, bool ignoreCase);

// One name against one mask, ignoring ASCII case: "*.*" also matches names
// without a dot, a trailing dot in the mask asks for a name without an
// extension, and a trailing dot of the name is not compared. An empty mask
// matches nothing.
bool MatchesMask(std::u16string_view name, std::u16string_view mask);

// True when every hidden, system, volume-label and folder bit of the entry's
// attributes is also in the search mask; the other bits are ignored.
bool AttributesMatch(uint32_t entryAttr, int32_t searchAttr) noexcept;

} // namespace za

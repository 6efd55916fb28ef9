#include "archiver/ZAStrFunc.h"

namespace za {

std::u16string TZAStringList::Text() const {
    std::u16string text;
    for (const std::u16string& line : FLines) {
        text += line;
        text += u"\r\n";
    }
    return text;
}

void TZAStringList::SetText(const std::u16string& text) {
    FLines.clear();
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            FLines.push_back(text.substr(start, i - start));
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size()) {
        FLines.push_back(text.substr(start));
    }
}

char16_t AsciiLowerChar(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

std::u16string AsciiLowerCase(std::u16string_view s) {
    std::u16string r(s);
    for (char16_t& c : r) {
        c = AsciiLowerChar(c);
    }
    return r;
}

std::u16string ReplaceChar(std::u16string s, char16_t from, char16_t to) {
    for (char16_t& c : s) {
        if (c == from) {
            c = to;
        }
    }
    return s;
}

namespace {

// The matcher, stated as a recursion: Match(i, j) of the name from i against
// the mask from j, where j is 0 or just after a "*":
//   1. the mask from j is "*.*": true;
//   2. walk: a rest of exactly "*" is true; a used-up name is true only with a
//      used-up mask; a used-up mask with name left is false; "?" takes any one
//      character, other characters must be equal; at a "*" (position q, name
//      position i) the result is Match(k, q + 1) for any k in [i, n - 1].
// Evaluated bottom-up over the stars from last to first, so a hostile name
// cannot make the matcher exponential.
class TWildcardMatcher {
public:
    TWildcardMatcher(std::u16string_view name, std::u16string_view mask, bool ignoreCase)
        : FName(name), FMask(mask), FIgnoreCase(ignoreCase) {}

    bool Run() {
        std::vector<size_t> stars;
        for (size_t j = 0; j < FMask.size(); ++j) {
            if (FMask[j] == u'*') {
                stars.push_back(j);
            }
        }
        const size_t n = FName.size();
        // FNextAny[i]: some k in [i, n-1] with Match(k, star + 1), for the star
        // that the walk reaches next. Filled for the stars from last to first.
        std::vector<uint8_t> any;
        for (size_t t = stars.size(); t-- > 0;) {
            std::vector<uint8_t> cur(n + 1, 0);
            for (size_t i = n; i-- > 0;) {
                cur[i] = static_cast<uint8_t>(cur[i + 1] != 0 || Match(i, stars[t] + 1, any));
            }
            any.swap(cur);
        }
        return Match(0, 0, any);
    }

private:
    bool Equal(char16_t a, char16_t b) const {
        if (FIgnoreCase) {
            return AsciiLowerChar(a) == AsciiLowerChar(b);
        }
        return a == b;
    }

    // `nextAny` belongs to the first star at or after j.
    bool Match(size_t i, size_t j, const std::vector<uint8_t>& nextAny) const {
        if (FMask.substr(j) == u"*.*") {
            return true;
        }
        const size_t n = FName.size();
        const size_t m = FMask.size();
        for (;;) {
            if (j + 1 == m && FMask[j] == u'*') {
                return true;
            }
            if (i == n) {
                return j == m;
            }
            if (j == m) {
                return false;
            }
            if (FMask[j] == u'*') {
                return nextAny[i] != 0;
            }
            if (FMask[j] != u'?' && !Equal(FName[i], FMask[j])) {
                return false;
            }
            ++i;
            ++j;
        }
    }

    std::u16string_view FName;
    std::u16string_view FMask;
    bool FIgnoreCase;
};

// The extension of a name: from the last "." that no "\" or ":" follows.
std::u16string_view NameExtension(std::u16string_view name) {
    const size_t p = name.find_last_of(u".\\:");
    if (p == std::u16string_view::npos || name[p] != u'.') {
        return {};
    }
    return name.substr(p);
}

} // namespace

bool WildcardMatch(std::u16string_view name, std::u16string_view mask, bool ignoreCase) {
    return TWildcardMatcher(name, mask, ignoreCase).Run();
}

bool MatchesMask(std::u16string_view name, std::u16string_view mask) {
    if (mask.empty()) {
        return false;
    }
    std::u16string mask2;
    const size_t p = mask.find(u"*.*");
    if (p != std::u16string_view::npos) {
        mask2.reserve(mask.size() - 2);
        mask2.append(mask.substr(0, p));
        mask2.push_back(u'*');
        mask2.append(mask.substr(p + 3));
    } else {
        mask2.assign(mask);
    }
    const bool maskEndsWithDot = mask.back() == u'.';
    if (maskEndsWithDot && !mask2.empty()) {
        mask2.pop_back();
    }
    std::u16string_view compared = name;
    if (!compared.empty() && compared.back() == u'.') {
        compared.remove_suffix(1);
    }
    bool result = WildcardMatch(compared, mask2, true);
    if (result && maskEndsWithDot) {
        const std::u16string_view ext = NameExtension(name);
        result = ext.empty() || ext == u".";
    }
    return result;
}

bool AttributesMatch(uint32_t entryAttr, int32_t searchAttr) noexcept {
    return (entryAttr & 30u & ~static_cast<uint32_t>(searchAttr)) == 0;
}

} // namespace za

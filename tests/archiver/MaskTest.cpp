// The wildcard matcher, the mask rules and the attribute filter.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archiver/ZAStrFunc.h"
#include "platform/Path.h"

namespace za {
namespace {

// The matcher as a plain recursion, straight from its rules; the real one must
// agree with it on every input.
bool ReferenceMatch(std::u16string_view name, std::u16string_view mask, bool ignoreCase) {
    if (mask == u"*.*") {
        return true;
    }
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        if (mask.substr(j) == u"*") {
            return true;
        }
        if (i == name.size()) {
            return j == mask.size();
        }
        if (j == mask.size()) {
            return false;
        }
        if (mask[j] == u'*') {
            for (size_t k = i; k < name.size(); ++k) {
                if (ReferenceMatch(name.substr(k), mask.substr(j + 1), ignoreCase)) {
                    return true;
                }
            }
            return false;
        }
        if (mask[j] != u'?') {
            const char16_t a = ignoreCase ? AsciiLowerChar(name[i]) : name[i];
            const char16_t b = ignoreCase ? AsciiLowerChar(mask[j]) : mask[j];
            if (a != b) {
                return false;
            }
        }
        ++i;
        ++j;
    }
}

TEST(WildcardMatch, Rules) {
    struct Case {
        const char* name;
        const char* mask;
        bool ignoreCase;
        bool expected;
    };
    const Case cases[] = {
        {"anything", "*.*", false, true},
        {"", "*.*", false, true},
        {"", "*", false, true},
        {"", "", false, true},
        {"", "**", false, false},
        {"", "?", false, false},
        {"a", "", false, false},
        {"a", "a**", false, false}, // a star followed by more mask needs a character
        {"ab", "a**", false, true},
        {"docs/sub/c.txt", "*.txt", false, true}, // "*" crosses separators
        {"docs\\b.txt", "docs\\*", false, true},
        {"abc", "a?c", false, true},
        {"ac", "a?c", false, false},
        {"A.TXT", "a.txt", false, false},
        {"A.TXT", "a.txt", true, true},
        {"\xD0\xA4.txt", "\xD1\x84.txt", true, false}, // Cyrillic: case is not folded
        {"\xD0\xA4.txt", "\xD0\xA4.TXT", true, true},
        {"ab.", "ab", false, false},
        {"xa.b", "*a*.b", false, true},
        {"a.b", "*a*.b", false, true},
        {"a.b", "**.*", false, true}, // the "*.*" rule applies after a star too
        {"ab", "a*.*", false, false}, // but not in the middle of a walk
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardMatch(U(c.name), U(c.mask), c.ignoreCase), c.expected)
            << c.name << " ~ " << c.mask;
        EXPECT_EQ(ReferenceMatch(U(c.name), U(c.mask), c.ignoreCase), c.expected)
            << "reference: " << c.name << " ~ " << c.mask;
    }
}

TEST(WildcardMatch, AgreesWithTheRulesOnRandomInputs) {
    std::mt19937 rng(12345);
    const std::u16string nameChars = u"abA.";
    const std::u16string maskChars = u"ab*?.A";
    for (int round = 0; round < 20000; ++round) {
        std::u16string name, mask;
        for (size_t n = rng() % 8; n > 0; --n) {
            name.push_back(nameChars[rng() % nameChars.size()]);
        }
        for (size_t n = rng() % 7; n > 0; --n) {
            mask.push_back(maskChars[rng() % maskChars.size()]);
        }
        const bool ic = (rng() & 1) != 0;
        ASSERT_EQ(WildcardMatch(name, mask, ic), ReferenceMatch(name, mask, ic))
            << ToUtf8(name) << " ~ " << ToUtf8(mask);
    }
}

TEST(WildcardMatch, ManyStarsOnALongHostileNameStayFast) {
    const std::u16string name(60000, u'a');
    const std::u16string mask = u"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    EXPECT_FALSE(WildcardMatch(name, mask, true));
    EXPECT_TRUE(WildcardMatch(name + u"b", mask, true));
}

TEST(MatchesMask, Rules) {
    struct Case {
        const char* name;
        const char* mask;
        bool expected;
    };
    const Case cases[] = {
        {"a.txt", "", false},
        {"Makefile", "*.*", true},
        {"Makefile", "*.", true},
        {"notes.", "*.", true},
        {"notes.txt", "*.", false},
        {"docs.d\\Makefile", "*.", true}, // a dot before the last separator is no extension
        {"a.txt", "*.TXT", true},
        {"notes.", "notes", true}, // the name's trailing dot is not compared
        {"", "*", true},
        {"", ".", true}, // "." reduces to the empty mask
        {"", "a", false},
        {"x.bak", "*.bak", true},
        {"x.bak.txt", "*.bak", false},
        {"docs\\b.txt", "DOCS\\*.*", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesMask(U(c.name), U(c.mask)), c.expected) << c.name << " ~ " << c.mask;
    }
}

TEST(AttributesMatch, OnlyHiddenSystemVolumeAndFolderBitsCount) {
    struct Case {
        uint32_t entry;
        int32_t search;
        bool expected;
    };
    const Case cases[] = {
        {0x3F, 10431, true}, {0xFFFFFFFF, 10431, true}, {0x10, 16, true}, {0x12, 16, false},
        {0x02, 16, false},   {0x21, 0, true},           {0x04, 2, false}, {0x08, 8, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AttributesMatch(c.entry, c.search), c.expected) << c.entry << " / " << c.search;
    }
}

TEST(StringList, LinesAndText) {
    TZAStringList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Add(u"*.txt"), 0);
    list.Add(u"docs\\*");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Text(), u"*.txt\r\ndocs\\*\r\n");
    TZAStringList copy;
    copy.Assign(list);
    EXPECT_EQ(copy, list);
    copy.SetText(u"a\r\nb\nc\rd");
    EXPECT_EQ(copy.Lines(), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(list.Count(), 2);
}

} // namespace
} // namespace za

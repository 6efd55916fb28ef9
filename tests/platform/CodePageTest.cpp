#include "platform/CodePage.h"
#include "platform/Path.h"

#include <gtest/gtest.h>

namespace za {
namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { SetCodePages(866, 1251); }
};

TEST_F(CodePageTest, DefaultPairIsRussian) {
    EXPECT_EQ(OemCodePage(), 866);
    EXPECT_EQ(AnsiCodePage(), 1251);
}

TEST_F(CodePageTest, SelectingPairs) {
    EXPECT_TRUE(SetCodePages(437, 1252));
    EXPECT_EQ(OemCodePage(), 437);
    EXPECT_EQ(AnsiCodePage(), 1252);
    EXPECT_TRUE(SetCodePages(850, 1252));
    EXPECT_EQ(OemCodePage(), 850);
    // Unsupported or swapped pages change nothing.
    EXPECT_FALSE(SetCodePages(1251, 866));
    EXPECT_FALSE(SetCodePages(932, 1252));
    EXPECT_FALSE(SetCodePages(866, 1250));
    EXPECT_EQ(OemCodePage(), 850);
    EXPECT_EQ(AnsiCodePage(), 1252);
    for (uint16_t cp : {437, 850, 866, 1251, 1252}) {
        EXPECT_TRUE(IsSupportedCodePage(cp)) << cp;
    }
    EXPECT_FALSE(IsSupportedCodePage(65001));
}

TEST_F(CodePageTest, RussianOemNameBecomesAnsiAndDecodes) {
    const std::string oem = Bytes({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2, 0x2E, 0x74, 0x78, 0x74});
    const std::string ansi = OemToAnsi(oem);
    EXPECT_EQ(ansi, Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2, 0x2E, 0x74, 0x78, 0x74}));
    EXPECT_EQ(AnsiToUnicode(ansi), u"Привет.txt");
    EXPECT_EQ(OemToUnicode(oem), u"Привет.txt");
    // Without the OEM step the same bytes read as 1251 text.
    EXPECT_EQ(AnsiToUnicode(oem), u"ЏаЁўҐв.txt");
}

TEST_F(CodePageTest, OemToAnsiKeepsLengthAndFitsOrQuestionMarks) {
    struct Case {
        uint16_t oem, ansi;
        int in, out;
    } cases[] = {
        {866, 1251, 0xF0, 0xA8}, // Ё
        {866, 1251, 0xFC, 0xB9}, // №
        {866, 1251, 0xC4, '-'},  // box drawing horizontal
        {866, 1251, 0xB3, '|'},  // box drawing vertical
        {866, 1251, 0xC5, '+'},  // box drawing cross
        {866, 1251, 0xB0, '?'},  // light shade: no fit
        {437, 1252, 0x82, 0xE9}, // é
        {437, 1252, 0xE1, 0xDF}, // ß
        {437, 1252, 0xE3, '?'},  // π
        {850, 1252, 0x9D, 0xD8}, // Ø
        {437, 1251, 0x82, 'e'},  // é has no 1251 form: base letter
        {437, 1252, 0x41, 0x41},
    };
    for (const auto& c : cases) {
        const std::string out = OemToAnsi(Bytes({c.in, c.in}), c.oem, c.ansi);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(static_cast<uint8_t>(out[0]), c.out)
            << c.oem << "->" << c.ansi << " byte " << c.in;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(OemToAnsi(all).size(), 256u);
    EXPECT_EQ(OemToAnsi(all).substr(0, 128), all.substr(0, 128));
}

TEST_F(CodePageTest, EveryByteRoundTripsThroughUnicode) {
    for (uint16_t cp : {437, 850, 866, 1251, 1252}) {
        for (int b = 0; b < 256; ++b) {
            const std::string in(1, static_cast<char>(b));
            const std::u16string u = CodePageToUnicode(in, cp);
            ASSERT_EQ(u.size(), 1u);
            EXPECT_EQ(UnicodeToCodePage(u, cp), in) << "page " << cp << " byte " << b;
        }
    }
}

TEST_F(CodePageTest, UnicodeToCodePageMarksUnmappable) {
    EXPECT_EQ(UnicodeToCodePage(u"Привет", 1251), Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
    EXPECT_EQ(UnicodeToCodePage(u"a\u4E2Db", 1251), "a?b");
    EXPECT_EQ(UnicodeToCodePage(u"x\U0001F600y", 1252), "x?y"); // one "?" per character
    EXPECT_EQ(UnicodeToCodePage(u"\u20AC", 1252), Bytes({0x80}));
    EXPECT_EQ(CodePageToUnicode(Bytes({0x80, 0xB9}), 1251), u"Ђ№");
}

TEST_F(CodePageTest, StrictUtf8Decoding) {
    struct Case {
        std::string bytes;
        bool ok;
        std::u16string text;
    } cases[] = {
        {"", true, u""},
        {"abc", true, u"abc"},
        {Bytes({0xD0, 0x9F, 0xD1, 0x80}), true, u"Пр"},
        {Bytes({0xE2, 0x82, 0xAC}), true, u"\u20AC"},
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), true, u"\U0001F600"},
        {Bytes({0xF4, 0x8F, 0xBF, 0xBF}), true, u"\U0010FFFF"},
        {Bytes({0xD0}), false, {}},                   // cut off
        {Bytes({0xC0, 0x80}), false, {}},             // overlong
        {Bytes({0xC1, 0xBF}), false, {}},             // overlong
        {Bytes({0xE0, 0x9F, 0xBF}), false, {}},       // overlong three-byte
        {Bytes({0xED, 0xA0, 0x80}), false, {}},       // surrogate
        {Bytes({0xF0, 0x8F, 0xBF, 0xBF}), false, {}}, // overlong four-byte
        {Bytes({0xF4, 0x90, 0x80, 0x80}), false, {}}, // above U+10FFFF
        {Bytes({0xF5, 0x80, 0x80, 0x80}), false, {}},
        {Bytes({0x80}), false, {}},
        {Bytes({0xE2, 0x28, 0xA1}), false, {}},
    };
    for (const auto& c : cases) {
        std::u16string out = u"unchanged";
        EXPECT_EQ(DecodeUtf8(c.bytes, out), c.ok) << testing::PrintToString(c.bytes);
        EXPECT_EQ(out, c.ok ? c.text : u"unchanged");
        if (c.ok) {
            EXPECT_EQ(EncodeUtf8(c.text), c.bytes);
        }
    }
    // A lone surrogate cannot be encoded; it becomes U+FFFD.
    EXPECT_EQ(EncodeUtf8(std::u16string(1, char16_t(0xD800))), Bytes({0xEF, 0xBF, 0xBD}));
    // The lenient conversion replaces bad bytes one by one.
    EXPECT_EQ(FromUtf8(Bytes({'a', 0xFF, 'b', 0xD0})), u"a\uFFFDb\uFFFD");
}

} // namespace
} // namespace za

#include "platform/Format.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

namespace za {
namespace {

TEST(FormatTest, Table) {
    struct Case {
        std::u16string fmt;
        TVarArgs args;
        std::u16string expected;
    } cases[] = {
        {u"plain", {}, u"plain"},
        {u"100%%", {}, u"100%"},
        {u"%d", {int64_t{42}}, u"42"},
        {u"%d", {int64_t{-42}}, u"-42"},
        {u"%5d", {int64_t{19}}, u"   19"},
        {u"%5d", {int64_t{123456}}, u"123456"},
        {u"%-5d|", {int64_t{19}}, u"19   |"},
        {u"%.2d", {int64_t{1}}, u"01"},
        {u"%.2d", {int64_t{123}}, u"123"},
        {u"%.3d", {int64_t{-5}}, u"-005"},
        {u"%.3u", {int64_t{1}}, u"001"},
        {u"%.3u", {int64_t{12}}, u"012"},
        {u"%.3u", {int64_t{1234}}, u"1234"},
        {u"%u", {int64_t{-1}}, u"4294967295"},
        {u"%x", {int64_t{255}}, u"FF"},
        {u"%.4x", {int64_t{255}}, u"00FF"},
        {u"%x", {int64_t{-1}}, u"FFFFFFFF"},
        {u"%d", {int64_t{5000000000}}, u"5000000000"},
        {u"%d", {int64_t{INT64_MIN}}, u"-9223372036854775808"},
        {u"%s", {std::u16string(u"Привет")}, u"Привет"},
        {u"[%6s]", {std::u16string(u"ab")}, u"[    ab]"},
        {u"[%-6s]", {std::u16string(u"ab")}, u"[ab    ]"},
        {u"[%.2s]", {std::u16string(u"abcdef")}, u"[ab]"},
        {u"%s: %s", {std::u16string(u"Archiver"), std::u16string(u"text")}, u"Archiver: text"},
        {u"File \"%s\" not found", {std::u16string(u"a.zip")}, u"File \"a.zip\" not found"},
        {u"%d of %d", {int64_t{1}, int64_t{2}, int64_t{3}}, u"1 of 2"}, // extra args ignored
        {u"%1:s %0:s", {std::u16string(u"a"), std::u16string(u"b")}, u"b a"},
        {u"%*d", {int64_t{4}, int64_t{7}}, u"   7"},
        {u"%D %S", {int64_t{7}, std::u16string(u"x")}, u"7 x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.fmt, c.args), c.expected) << testing::PrintToString(c.fmt);
    }
}

TEST(FormatTest, NativeErrorFieldRecipe) {
    // Right-aligned in five columns; the blanks then become zeros.
    std::u16string field = Format(u"%5d", {int64_t{19}});
    for (auto& ch : field) {
        if (ch == u' ') {
            ch = u'0';
        }
    }
    EXPECT_EQ(field, u"00019");
}

TEST(FormatTest, FailuresRaiseConvertError) {
    struct Case {
        std::u16string fmt;
        TVarArgs args;
        std::string messagePart;
    } cases[] = {
        {u"%s and %s", {std::u16string(u"one")}, "No argument for format '%s and %s'"},
        {u"%d", {}, "No argument"},
        {u"%d", {std::u16string(u"x")}, "invalid or incompatible"},
        {u"%s", {int64_t{1}}, "invalid or incompatible"},
        {u"%q", {int64_t{1}}, "invalid or incompatible"},
        {u"trailing %", {}, "invalid or incompatible"},
        {u"%5", {int64_t{1}}, "invalid or incompatible"},
    };
    for (const auto& c : cases) {
        try {
            Format(c.fmt, c.args);
            ADD_FAILURE() << "no exception for " << testing::PrintToString(c.fmt);
        } catch (const EConvertError& e) {
            EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
        }
    }
}

TEST(FormatTest, IntToStrAndInOutErrorMessage) {
    EXPECT_EQ(IntToStr(0), u"0");
    EXPECT_EQ(IntToStr(-17), u"-17");
    EXPECT_EQ(IntToStr(4928307200), u"4928307200");
    EXPECT_EQ(EInOutError(105).Message(), u"I/O error 105");
    EXPECT_EQ(EInOutError(105).ErrorCode(), 105);
}

} // namespace
} // namespace za

// Entry names: the UTF-8 test, the OEM conversion, ANSI decoding and the
// Unicode name block. Code pages: OEM 866, ANSI 1251.
#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Path.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZANames.h"

namespace za {
namespace {

std::string Hex(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

class ZipNames : public ::testing::Test {
protected:
    void SetUp() override {
        oldOem = OemCodePage();
        oldAnsi = AnsiCodePage();
        ASSERT_TRUE(SetCodePages(866, 1251));
    }
    void TearDown() override { SetCodePages(oldOem, oldAnsi); }
    uint16_t oldOem = 0, oldAnsi = 0;
};

TEST_F(ZipNames, Utf8TestTable) {
    const struct {
        std::string bytes;
        bool utf8;
    } cases[] = {
        {"plain.txt", false}, // ASCII only
        {"", false},
        {Hex({0xC2, 0x80}), true},
        {Hex({0xDF, 0xBF}), true},
        {Hex({0xC1, 0xBF}), false}, // overlong lead
        {Hex({0x80}), false},
        {Hex({0xC2}), false},       // cut off
        {Hex({0xC2, 0x41}), false}, // bad continuation
        {Hex({0xE0, 0xA0, 0x80}), true},
        {Hex({0xE0, 0x9F, 0x80}), false},
        {Hex({0xE1, 0x80, 0x80}), true},
        {Hex({0xED, 0xA0, 0x80}), true}, // surrogate form: allowed by the test
        {Hex({0xEF, 0xBF}), false},
        {Hex({0xF0, 0x90, 0x80, 0x80}), true},
        {Hex({0xF0, 0x8F, 0x80, 0x80}), false},
        {Hex({0xF3, 0xBF, 0xBF, 0xBF}), true},
        {Hex({0xF4, 0x8F, 0xBF, 0xBF}), true},
        {Hex({0xF4, 0x90, 0x80, 0x80}), false},
        {Hex({0xF5, 0x80, 0x80, 0x80}), false},
        {Hex({0xFF}), false},
        {"a" + Hex({0xD0, 0x9F}) + "b", true},
        {Hex({0xD0, 0x9F, 0xD0}), false}, // ends inside a sequence
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsUtf8Name(c.bytes), c.utf8) << testing::PrintToString(c.bytes);
}

TEST_F(ZipNames, DecodeEntryNameTable) {
    const std::string oemPrivet = Hex({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2}) + ".txt";
    const std::string utf8Privet =
        Hex({0xD0, 0x9F, 0xD1, 0x80, 0xD0, 0xB8, 0xD0, 0xB2, 0xD0, 0xB5, 0xD1, 0x82}) + ".txt";
    const std::u16string privet = U("Привет.txt");
    const struct {
        const char* what;
        std::string bytes;
        uint16_t flags;
        bool oem;
        std::u16string expected;
    } cases[] = {
        {"OEM bytes, OEM names", oemPrivet, 0, true, privet},
        {"OEM bytes read as ANSI", oemPrivet, 0, false, U("ЏаЁўҐв.txt")},
        {"UTF-8 with bit 11, OEM on", utf8Privet, 0x0800, true, privet},
        {"UTF-8 with bit 11, OEM off", utf8Privet, 0x0800, false, privet},
        {"UTF-8 without bit 11, OEM off", utf8Privet, 0, false, privet},
        {"cut UTF-8 decodes from ANSI", Hex({0x61, 0xD0}), 0x0800, false, U("aР")},
        {"ASCII", "dir/file.txt", 0, true, u"dir/file.txt"},
        {"empty", "", 0x0800, true, u""},
        {"zero byte kept", std::string("a\0b", 3), 0, false, std::u16string(u"a\0b", 3)},
        {"supplementary plane", Hex({0xF0, 0x9F, 0x98, 0x80}), 0x0800, true, u"\U0001F600"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeEntryName(c.bytes, c.flags, c.oem), c.expected) << c.what;
    // UTF-8 bytes without bit 11 under the OEM conversion no longer read right.
    EXPECT_NE(DecodeEntryName(utf8Privet, 0, true), privet);
}

TEST_F(ZipNames, LocalHeaderNames) {
    const std::string oemPrivet = Hex({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2}) + ".txt";
    EXPECT_EQ(DecodeLocalEntryName(oemPrivet, 0, true), U("Привет.txt"));
    EXPECT_EQ(DecodeLocalEntryName(oemPrivet, 0, false), U("ЏаЁўҐв.txt"));
    EXPECT_EQ(DecodeLocalEntryName(oemPrivet, 0x0800, true), U("ЏаЁўҐв.txt"));
    // No UTF-8 test: UTF-8 bytes decode from ANSI.
    EXPECT_EQ(DecodeLocalEntryName(Hex({0xD0, 0x9F}), 0x0800, false), U("Рџ"));
    // Cut at the first zero byte.
    EXPECT_EQ(DecodeLocalEntryName(std::string("abc\0def", 7), 0, false), u"abc");
}

TEST(ZipUnicodeBlock, LoadTable) {
    auto data = [](const std::string& block) { return block.substr(4); };
    const struct {
        const char* what;
        std::string data;
        bool accepted;
        std::u16string name;
    } cases[] = {
        {"name", data(test::UnicodeNameExtra(u"Файл.txt")), true, u"Файл.txt"},
        {"wrong signature", data(test::UnicodeNameExtra(u"x", 0x12345678)), false, u"old"},
        {"count 0", data(test::UnicodeNameExtra(u"", 0x5843554E, 0)), true, u""},
        {"negative count", data(test::UnicodeNameExtra(u"abc", 0x5843554E, -1)), true, u""},
        {"count beyond the data is cut", data(test::UnicodeNameExtra(u"ab", 0x5843554E, 1000)),
         true, u"ab"},
        {"odd byte left over", data(test::UnicodeNameExtra(u"ab")) + "z", true, u"ab"},
        {"no count", test::LE32(0x5843554E), false, u"old"},
        {"too short", "NU", false, u"old"},
    };
    for (const auto& c : cases) {
        TUnicodeExtendedInfo info;
        info.SetName(u"old");
        EXPECT_EQ(info.Load(c.data.data(), c.data.size()), c.accepted) << c.what;
        EXPECT_EQ(info.Name(), c.name) << c.what;
    }
}

TEST(ZipUnicodeBlock, SaveAndLoadFromStream) {
    TUnicodeExtendedInfo info;
    info.SetName(u"путь/файл.txt");
    TMemoryStream stream;
    info.SaveToStream(stream);
    EXPECT_EQ(stream.Size(), 8 + 2 * 13);
    const std::string expected = test::UnicodeNameExtra(u"путь/файл.txt").substr(4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), stream.Size()), expected);
    TUnicodeExtendedInfo back;
    EXPECT_TRUE(back.LoadFromStream(stream));
    EXPECT_EQ(back.Name(), u"путь/файл.txt");
    EXPECT_EQ(back.AdditionalSignature(), TUnicodeExtendedInfo::Signature);
}

} // namespace
} // namespace za

// The error model: native number -> message index -> composed message.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archiver/ZAConst.h"
#include "archiver/ZAExcept.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/Path.h"

namespace za {
namespace {

// The 41 texts, written out independently of the table under test.
const std::vector<std::u16string> kTexts = {
    u"Unknown error",
    u"Index out of bounds",
    u"Invalid compression mode. Mode must be in [0-9] range",
    u"Unexpected nil pointer",
    u"Invalid size or check sum of file or unsupported compression format",
    u"File name is blank. Specify appropriate file name",
    u"File \"%s\" not found",
    u"Archive is not open",
    u"SFXStub property is not specified",
    u"Cannot create file \"%s\"",
    u"Cannot create directory \"%s\"",
    u"Internal error. Update is not started",
    u"Cannot open file \"%s\"",
    u"Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    u"Cannot delete file \"%s\"",
    u"In-memory archive can be created only",
    u"File is open in read-only mode",
    u"Invalid compressed size, rfs.size = %d, count = %d",
    u"Invalid archive file.",
    u"Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    u"Archive is open. You should close it beore performing this operation.",
    u"Unable to create directory",
    u"Cannot find 64-bit directory end record",
    u"Cannot compress file '%s'. Zip64 mode is not enabled",
    u"Cannot open archive file. Opening aborted or invalid file",
    u"Write to stream error",
    u"Cannot place SFX stub on volume. Volume size limit is too small",
    u"Archive is damaged. Open failed",
    u"MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive "
    u"creation instead of MakeSFX",
    u"Archive already has SFX stub",
    u"Multi-volume archive is not allowed for custom stream",
    u"Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods "
    u"to add files several times",
    u"Deflate64 compression method is not supported",
    u"MakeSFX error",
    u"Hashed list of file names is invalid",
    u"Cannot delete folder \"%s\"",
    u"File name is too long: \r\n\"%s\"",
    u"Multiple transactions are not supported for multi-volume archives",
    u"Invalid InitVector index = %d. Index should be >= 0 and < %d",
    u"Disk is full. There is not enough free space on disk.",
    u"Invalid password. Cannot decompress encrypted file.",
};

// Message index -> the native numbers that map to it.
const std::map<int32_t, std::vector<int32_t>> kNativesByIndex = {
    {0, {0}},
    {1, {1, 2, 3, 4, 7, 16, 21, 24}},
    {2, {5}},
    {3, {6}},
    {4, {8}},
    {5, {9, 10, 29}},
    {6, {11, 12, 15, 18, 30, 31, 38, 42, 53, 54}},
    {7, {13, 14}},
    {8, {17}},
    {9, {19, 23}},
    {10, {20}},
    {11, {22, 25}},
    {12, {33}},
    {13, {26}},
    {14, {27}},
    {15, {28}},
    {16, {32}},
    {17, {34}},
    {18, {35}},
    {19, {36}},
    {20, {37}},
    {21, {39}},
    {22, {40}},
    {23, {41, 43}},
    {24, {44, 45}},
    {25, {46}},
    {26, {47}},
    {27, {48, 57}},
    {28, {49}},
    {29, {50}},
    {30, {51}},
    {31, {52}},
    {32, {55}},
    {33, {56}},
    {34, {58, 59}},
    {35, {60}},
    {36, {61}},
    {37, {62}},
    {38, {63, 64}},
    {39, {65, 66}},
    {40, {67}},
};

// Texts with placeholders, as formatted with the arguments used below.
const std::map<int32_t, std::u16string> kFormatted = {
    {6, u"File \"res\\gsm.zip\" not found"},
    {9, u"Cannot create file \"res\\gsm.zip\""},
    {10, u"Cannot create directory \"res\\gsm.zip\""},
    {12, u"Cannot open file \"res\\gsm.zip\""},
    {14, u"Cannot delete file \"res\\gsm.zip\""},
    {17, u"Invalid compressed size, rfs.size = 3, count = 4"},
    {19, u"Cannot create output file. Probably file is locked by another process. FileName = "
         u"'res\\gsm.zip'."},
    {23, u"Cannot compress file 'res\\gsm.zip'. Zip64 mode is not enabled"},
    {35, u"Cannot delete folder \"res\\gsm.zip\""},
    {36, u"File name is too long: \r\n\"res\\gsm.zip\""},
    {38, u"Invalid InitVector index = 3. Index should be >= 0 and < 4"},
};

TVarArgs ArgsFor(int32_t index) {
    if (index == 17 || index == 38) {
        return {int64_t{3}, int64_t{4}};
    }
    return {std::u16string(u"res\\gsm.zip")}; // extra arguments are ignored
}

std::u16string Suffix(int32_t native) {
    std::u16string digits = IntToStr(native);
    return u" - Native error: " + std::u16string(5 - std::min<size_t>(5, digits.size()), u'0') +
           digits;
}

TEST(ErrorModel, EveryNativeNumberComposesItsMessage) {
    ASSERT_EQ(ArchiverMessages.size(), kTexts.size());
    for (size_t i = 0; i < kTexts.size(); ++i) {
        EXPECT_EQ(std::u16string(ArchiverMessages[i]), kTexts[i]) << "message " << i;
    }
    std::map<int32_t, int32_t> indexOf;
    for (const auto& [index, natives] : kNativesByIndex) {
        for (int32_t n : natives) {
            indexOf[n] = index;
        }
    }
    ASSERT_EQ(indexOf.size(), 68u);
    indexOf[99] = 0; // absent from the table

    TComponent named;
    named.SetName(u"Archiver");
    const TComponent unnamed;
    for (const auto& [native, index] : indexOf) {
        SCOPED_TRACE(native);
        const std::u16string plain = kTexts[static_cast<size_t>(index)];
        const auto f = kFormatted.find(index);
        const std::u16string formatted = f == kFormatted.end() ? plain : f->second;
        struct Case {
            const TComponent* component;
            bool withArgs;
            std::u16string expected;
        };
        const Case cases[] = {
            {nullptr, false, plain + Suffix(native)},
            {&unnamed, false, plain + Suffix(native)},
            {&named, false, u"Archiver: " + plain + Suffix(native)},
            {nullptr, true, formatted + Suffix(native)},
            {&named, true, u"Archiver: " + formatted + Suffix(native)},
        };
        for (const Case& c : cases) {
            const EZAException e = c.withArgs ? EZAException(native, ArgsFor(index), c.component)
                                              : EZAException(native, c.component);
            EXPECT_EQ(e.NativeError(), native);
            EXPECT_EQ(e.ErrorCode(), index);
            EXPECT_EQ(e.Message(), c.expected);
            EXPECT_EQ(std::string(e.what()), ToUtf8(c.expected));
        }
    }
}

TEST(ErrorModel, ExamplesAndNumberField) {
    TComponent archiver;
    archiver.SetName(u"Archiver");
    struct Case {
        int32_t native;
        bool named;
        TVarArgs args;
        bool withArgs;
        std::u16string expected;
    };
    const Case cases[] = {
        {9,
         true,
         {},
         false,
         u"Archiver: File name is blank. Specify appropriate file name - Native error: 00009"},
        {12,
         true,
         {std::u16string(u"res\\gsm.zip")},
         true,
         u"Archiver: File \"res\\gsm.zip\" not found - Native error: 00012"},
        {1, false, {}, false, u"Index out of bounds - Native error: 00001"},
        {99, false, {}, false, u"Unknown error - Native error: 00099"},
        {19,
         true,
         {std::u16string(u"C:\\out\\a.txt")},
         true,
         u"Archiver: Cannot create file \"C:\\out\\a.txt\" - Native error: 00019"},
        // Placeholders stay when no arguments are given.
        {12, false, {}, false, u"File \"%s\" not found - Native error: 00012"},
        // Wider numbers are written in full; the minus sign widens the field.
        {123456, false, {}, false, u"Unknown error - Native error: 123456"},
        {-1, false, {}, false, u"Unknown error - Native error: 000-1"},
    };
    for (const Case& c : cases) {
        const TComponent* comp = c.named ? &archiver : nullptr;
        const EZAException e =
            c.withArgs ? EZAException(c.native, c.args, comp) : EZAException(c.native, comp);
        EXPECT_EQ(e.Message(), c.expected);
    }
}

TEST(ErrorModel, TooFewArgumentsFailInTheFormatting) {
    // Native 34 is "Invalid compressed size, rfs.size = %d, count = %d".
    EXPECT_THROW(EZAException(34, TVarArgs{int64_t{1}}, nullptr), EConvertError);
}

} // namespace
} // namespace za

#include "platform/Path.h"
#include "platform/Files.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace za {
namespace {

TEST(PathTest, SplittingTable) {
    struct Case {
        std::u16string name, path, file, ext, drive;
    } cases[] = {
        {u"C:\\dir\\a.txt", u"C:\\dir\\", u"a.txt", u".txt", u"C:"},
        {u"C:a.txt", u"C:", u"a.txt", u".txt", u"C:"},
        {u"a.txt", u"", u"a.txt", u".txt", u""},
        {u"dir\\", u"dir\\", u"", u"", u""},
        {u"dir.x\\file", u"dir.x\\", u"file", u"", u""},
        {u"archive.tar.gz", u"", u"archive.tar.gz", u".gz", u""},
        {u"\\\\server\\share\\d\\f.doc", u"\\\\server\\share\\d\\", u"f.doc", u".doc",
         u"\\\\server\\share"},
        {u"\\\\server\\share", u"\\\\server\\", u"share", u"", u"\\\\server\\share"},
        {u"docs/b.txt", u"", u"docs/b.txt", u".txt", u""}, // "/" is no delimiter here
        {u"", u"", u"", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        EXPECT_EQ(ExtractFilePath(c.name), c.path);
        EXPECT_EQ(ExtractFileName(c.name), c.file);
        EXPECT_EQ(ExtractFileExt(c.name), c.ext);
        EXPECT_EQ(ExtractFileDrive(c.name), c.drive);
    }
}

TEST(PathTest, ChangeExtAndTrailingBackslash) {
    EXPECT_EQ(ChangeFileExt(u"a\\b.zip", u".z01"), u"a\\b.z01");
    EXPECT_EQ(ChangeFileExt(u"a.b\\c", u".txt"), u"a.b\\c.txt");
    EXPECT_EQ(ChangeFileExt(u"a.zip", u""), u"a");
    EXPECT_EQ(IncludeTrailingBackslash(u"C:\\x"), u"C:\\x\\");
    EXPECT_EQ(IncludeTrailingBackslash(u"C:\\x\\"), u"C:\\x\\");
    EXPECT_EQ(ExcludeTrailingBackslash(u"C:\\x\\"), u"C:\\x");
    EXPECT_EQ(ExcludeTrailingBackslash(u"C:\\x"), u"C:\\x");
    EXPECT_EQ(SlashesToBackslashes(u"a/b/c"), u"a\\b\\c");
    EXPECT_EQ(BackslashesToSlashes(u"a\\b\\c"), u"a/b/c");
}

TEST(PathTest, ExpandFileName) {
    EXPECT_EQ(ExpandFileName(u"C:\\a\\.\\b\\..\\c.txt"), u"C:\\a\\c.txt");
    EXPECT_EQ(ExpandFileName(u"C:\\..\\..\\x"), u"C:\\x");
    EXPECT_EQ(ExpandFileName(u"C:\\a\\\\b\\"), u"C:\\a\\b\\");
    EXPECT_EQ(ExpandFileName(u"C:/a/b"), u"C:\\a\\b");
    EXPECT_EQ(ExpandFileName(u"\\\\srv\\share\\a\\..\\b"), u"\\\\srv\\share\\b");
    const std::u16string cur = GetCurrentDir();
    EXPECT_EQ(ExpandFileName(u"sub\\..\\f.txt"), IncludeTrailingBackslash(cur) + u"f.txt");
    EXPECT_EQ(ExpandFileName(u"."), cur);
}

TEST(PathTest, CaseFunctions) {
    EXPECT_EQ(UpperCase(u"abc xyz Привет ёж é ÿ αβγ ς"), u"ABC XYZ ПРИВЕТ ЁЖ É Ÿ ΑΒΓ Σ");
    EXPECT_EQ(LowerCase(u"ABC ПРИВЕТ Ё É Ÿ ΑΒΓ Ґ"), u"abc привет ё é ÿ αβγ ґ");
    EXPECT_EQ(UpCaseChar(u'÷'), u'÷');
    EXPECT_EQ(UpCaseChar(u'1'), u'1');
    EXPECT_TRUE(SameText(u"Readme.TXT", u"readme.txt"));
    EXPECT_TRUE(SameText(u"Привет", u"пРИВЕТ"));
    EXPECT_FALSE(SameText(u"a", u"ab"));
}

TEST(PathTest, Utf8Conversion) {
    const std::u16string text = u"Дравелкин-Медиа \U0001F600 é";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(U("res\\gsm.zip"), u"res\\gsm.zip");
}

class NativePathTest : public ::testing::Test {
protected:
    void TearDown() override {
        unsetenv("ZA_DRIVE_C");
        unsetenv("ZA_DRIVE_D");
    }
};

TEST_F(NativePathTest, ConversionTable) {
    unsetenv("ZA_DRIVE_C");
    setenv("ZA_DRIVE_D", "/tmp/dd/", 1);
    struct Case {
        std::u16string engine;
        std::string native;
    } cases[] = {
        {u"C:\\data\\a.txt", "/data/a.txt"},
        {u"c:\\data\\a.txt", "/data/a.txt"},
        {u"C:\\", "/"},
        {u"C:/x", "/x"},
        {u"C:a.txt", "a.txt"},
        {u"C:", "."},
        {u"D:\\out\\x.txt", "/tmp/dd/out/x.txt"},
        {u"d:\\", "/tmp/dd/"},
        {u"\\\\server\\share\\p", "//server/share/p"},
        {u"\\Dravelkin\\source", "/Dravelkin/source"},
        {u"res\\gsm.zip", "res/gsm.zip"},
        {u"res/gsm.zip", "res/gsm.zip"},
        {u"res\\Инструкция по установке.txt", "res/Инструкция по установке.txt"},
        {u"\\\\?\\C:\\data\\a.txt", "/data/a.txt"},
        {u"\\\\?\\UNC\\srv\\sh\\p", "//srv/sh/p"},
        {u"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToNativePath(c.engine), c.native) << testing::PrintToString(c.engine);
    }
    EXPECT_EQ(FromNativePath("/tmp/dd/out/x.txt"), u"D:\\out\\x.txt");
    EXPECT_EQ(FromNativePath("/tmp/dd"), u"D:\\");
    EXPECT_EQ(FromNativePath("/tmp/ddx/y"), u"\\tmp\\ddx\\y");
    EXPECT_EQ(FromNativePath("res/a.txt"), u"res\\a.txt");
    EXPECT_EQ(FromNativePath("/home/Привет"), u"\\home\\Привет");
}

} // namespace
} // namespace za

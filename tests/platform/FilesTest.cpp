#include "PlatformTestUtil.h"

#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Lock.h"
#include "platform/Shell.h"
#include "platform/Stream.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace za {
namespace {

using test::TempDirTest;

constexpr int32_t DosDateTime(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<int32_t>((static_cast<uint32_t>(((y - 1980) << 9) | (mo << 5) | d) << 16) |
                                static_cast<uint32_t>((h << 11) | (mi << 5) | (s / 2)));
}

// Runs the body under several time zones and restores the previous one.
class TimeZoneTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const char* tz = getenv("TZ");
        FHadTz = tz != nullptr;
        if (FHadTz) {
            FOldTz = tz;
        }
        setenv("TZ", GetParam(), 1);
        tzset();
    }
    void TearDown() override {
        if (FHadTz) {
            setenv("TZ", FOldTz.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    bool FHadTz = false;
    std::string FOldTz;
};

TEST_P(TimeZoneTest, DosDateTimeIsLocalTime) {
    const int32_t dos = DosDateTime(2021, 7, 15, 13, 45, 30);
    const int64_t t = FileDateToDateTime(dos);
    ASSERT_NE(t, -1);
    const time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    localtime_r(&tt, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2021);
    EXPECT_EQ(tm.tm_mon + 1, 7);
    EXPECT_EQ(tm.tm_mday, 15);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_min, 45);
    EXPECT_EQ(tm.tm_sec, 30);
    EXPECT_EQ(DateTimeToFileDate(t), dos);
    // Odd seconds are cut to the two-second step.
    EXPECT_EQ(DateTimeToFileDate(t + 1), dos);
    EXPECT_EQ(DateTimeToFileDate(t + 2), DosDateTime(2021, 7, 15, 13, 45, 32));
}

TEST_P(TimeZoneTest, RoundTripOverManyDates) {
    // Every few days over the whole range, at varied times of day (winter and summer).
    for (int64_t t = 315532800 + 86400 * 2; t < 4102444800; t += 86400 * 37 + 3601 * 5 + 7) {
        const int32_t dos = DateTimeToFileDate(t);
        ASSERT_NE(dos, 0) << t;
        const int64_t back = FileDateToDateTime(dos);
        // Local times that occur twice (DST end) may come back an hour apart.
        const int64_t diff = t - back;
        EXPECT_TRUE((diff >= 0 && diff < 2) || (diff >= 3600 && diff < 3602) ||
                    (diff >= -3600 && diff <= -3599))
            << t << " came back as " << back;
        EXPECT_EQ(DateTimeToFileDate(back), dos) << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeZoneTest,
                         ::testing::Values("UTC0", "MSK-3", "EST5EDT,M3.2.0,M11.1.0",
                                           "NZST-12NZDT,M9.5.0,M4.1.0/3"));

TEST(DosDateTimeTest, InvalidValues) {
    const int32_t invalid[] = {
        0,                                 // month 0, day 0
        DosDateTime(2020, 13, 1, 0, 0, 0), // month 13
        DosDateTime(2021, 2, 29, 0, 0, 0), // not a leap year
        DosDateTime(2020, 4, 31, 0, 0, 0), // April has 30 days
        DosDateTime(2020, 1, 1, 24, 0, 0), // hour 24
        DosDateTime(2020, 1, 1, 0, 60, 0), // minute 60
        DosDateTime(2020, 1, 1, 0, 0, 60), // seconds field 30
        -1,
    };
    for (int32_t v : invalid) {
        EXPECT_EQ(FileDateToDateTime(v), -1) << std::hex << v;
    }
    EXPECT_NE(FileDateToDateTime(DosDateTime(2020, 2, 29, 23, 59, 58)), -1);
    EXPECT_NE(FileDateToDateTime(DosDateTime(1980, 1, 1, 0, 0, 0)), -1);
    EXPECT_EQ(DateTimeToFileDate(0), 0); // 1970 is before the DOS epoch
}

class FilesTest : public TempDirTest {
protected:
    void Touch(const std::string& name, const std::string& content = "x") {
        std::ofstream(Native(name)) << content;
    }
};

TEST_F(FilesTest, ExistenceFollowsLinksAndIgnoresFolders) {
    Touch("f.txt");
    mkdir(Native("d").c_str(), 0777);
    ASSERT_EQ(symlink(Native("f.txt").c_str(), Native("link").c_str()), 0);
    ASSERT_EQ(symlink(Native("missing").c_str(), Native("dangling").c_str()), 0);
    EXPECT_TRUE(FileExists(Engine("f.txt")));
    EXPECT_TRUE(FileExists(Engine("link")));
    EXPECT_FALSE(FileExists(Engine("dangling")));
    EXPECT_FALSE(FileExists(Engine("d")));
    EXPECT_FALSE(FileExists(Engine("nothing")));
    EXPECT_FALSE(FileExists(u""));
    EXPECT_TRUE(DirectoryExists(Engine("d")));
    EXPECT_TRUE(DirectoryExists(Engine("d") + u"\\"));
    EXPECT_FALSE(DirectoryExists(Engine("f.txt")));
}

TEST_F(FilesTest, AttributeMapping) {
    Touch("f.txt");
    Touch(".hidden");
    mkdir(Native("d").c_str(), 0777);
    EXPECT_EQ(FileGetAttr(Engine("f.txt")), faArchive);
    EXPECT_EQ(FileGetAttr(Engine(".hidden")), faArchive | faHidden);
    EXPECT_EQ(FileGetAttr(Engine("d")), faDirectory);
    EXPECT_EQ(FileGetAttr(Engine("missing")), -1);

    struct Case {
        int32_t set;
        bool ownerWrite;
        int32_t get;
    } cases[] = {
        {faReadOnly, false, faArchive | faReadOnly},
        {0, true, faArchive},
        {faReadOnly | faHidden | faSysFile | faArchive, false, faArchive | faReadOnly},
        {faArchive, true, faArchive},
        {static_cast<int32_t>(0x81A40000u | faReadOnly), false, faArchive | faReadOnly},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(FileSetAttr(Engine("f.txt"), c.set));
        struct stat st {};
        ASSERT_EQ(stat(Native("f.txt").c_str(), &st), 0);
        EXPECT_EQ((st.st_mode & S_IWUSR) != 0, c.ownerWrite) << c.set;
        if (!c.ownerWrite) {
            EXPECT_EQ(st.st_mode & (S_IWGRP | S_IWOTH), 0u);
        }
        EXPECT_EQ(FileGetAttr(Engine("f.txt")), c.get) << c.set;
    }
    // Folders keep their write permission.
    EXPECT_TRUE(FileSetAttr(Engine("d"), faReadOnly | faDirectory));
    EXPECT_EQ(FileGetAttr(Engine("d")), faDirectory);
    EXPECT_FALSE(FileSetAttr(Engine("missing"), 0));
}

TEST_F(FilesTest, DeleteRenameAndFolders) {
    Touch("a");
    Touch("b", "old");
    EXPECT_TRUE(RenameFile(Engine("a"), Engine("b"))); // replaces
    EXPECT_FALSE(FileExists(Engine("a")));
    EXPECT_TRUE(DeleteFile(Engine("b")));
    EXPECT_FALSE(DeleteFile(Engine("b")));

    EXPECT_TRUE(ForceDirectories(Engine("x\\y\\z")));
    EXPECT_TRUE(DirectoryExists(Engine("x\\y\\z")));
    EXPECT_TRUE(ForceDirectories(Engine("x\\y\\z\\"))); // exists already
    EXPECT_FALSE(DeleteFile(Engine("x")));              // a folder is no file
    EXPECT_FALSE(RemoveDir(Engine("x")));               // not empty
    EXPECT_TRUE(RemoveDir(Engine("x\\y\\z")));
    EXPECT_TRUE(CreateDir(Engine("x\\y\\w")));
    EXPECT_FALSE(CreateDir(Engine("x\\y\\w")));

    Touch("file");
    EXPECT_FALSE(ForceDirectories(Engine("file\\sub"))); // a file is in the way
    EXPECT_FALSE(ForceDirectories(Engine("file")));
    EXPECT_FALSE(ForceDirectories(u""));
}

TEST_F(FilesTest, FileAgeAndFileSetDate) {
    Touch("f");
    const int32_t stamp = DosDateTime(2019, 3, 4, 5, 6, 8);
    EXPECT_TRUE(FileSetDate(Engine("f"), stamp));
    EXPECT_EQ(FileAge(Engine("f")), stamp);
    EXPECT_EQ(FileAge(Engine("missing")), -1);
    EXPECT_FALSE(FileSetDate(Engine("f"), 0)); // invalid date

    // On an open, buffered stream: the pending bytes must not move the time.
    {
        TFileStream fs(Engine("g"), fmCreate);
        fs.WriteBuffer("hello", 5);
        EXPECT_TRUE(FileSetDate(fs.Handle(), stamp));
        EXPECT_TRUE(FlushFileBuffers(fs.Handle()));
    }
    EXPECT_EQ(FileAge(Engine("g")), stamp);
    struct stat st {};
    ASSERT_EQ(stat(Native("g").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 5);
    EXPECT_FALSE(FileSetDate(-1, stamp));
    EXPECT_FALSE(FlushFileBuffers(-1));
}

TEST_F(FilesTest, CurrentDirectory) {
    const std::u16string old = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(Engine("")));
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    EXPECT_EQ(ToNativePath(GetCurrentDir()), std::string(buf));
    Touch("here.txt");
    EXPECT_TRUE(FileExists(u"here.txt"));
    EXPECT_TRUE(FileExists(u"C:here.txt")); // drive-relative
    EXPECT_FALSE(SetCurrentDir(Engine("missing")));
    ASSERT_TRUE(SetCurrentDir(old));
}

TEST_F(FilesTest, DriveMappingReachesTheFolder) {
    setenv("ZA_DRIVE_Q", FDir.c_str(), 1);
    EXPECT_TRUE(ForceDirectories(u"Q:\\out\\sub"));
    EXPECT_TRUE(DirectoryExists(Engine("out/sub")));
    unsetenv("ZA_DRIVE_Q");
}

TEST_F(FilesTest, VolumeQueries) {
    EXPECT_TRUE(IsRemovableDrive(u"A:\\x"));
    EXPECT_TRUE(IsRemovableDrive(u"b:"));
    EXPECT_FALSE(IsRemovableDrive(Engine("f"))); // a temp folder is no floppy
    EXPECT_NE(GetDriveType(Engine("")), dtNoRootDir);
    EXPECT_EQ(GetDriveType(u"a:\\"), dtRemovable);
    const int64_t free = DiskFree(Engine("not\\yet\\there")); // nearest existing folder counts
    EXPECT_GT(free, 0);
    (void)GetVolumeLabel(Engine("")); // best effort; must not fail
}

TEST_F(FilesTest, TempFileNamesAreUniqueAndCreated) {
    const std::u16string a = MakeTempFileName(Engine(""), u"~za");
    const std::u16string b = MakeTempFileName(Engine(""), u"~za");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(ExtractFilePath(a), IncludeTrailingBackslash(Engine("")));
    EXPECT_EQ(ExtractFileName(a).substr(0, 3), u"~za");
    EXPECT_EQ(ExtractFileExt(a), u".tmp");
    EXPECT_TRUE(MakeTempFileName(Engine("missing"), u"~za").empty());
}

TEST(EnvironmentTest, VariablesAndWindowsDirectory) {
    setenv("ZA_TEST_VAR", "Привет", 1);
    EXPECT_EQ(GetEnvironmentVariable(u"ZA_TEST_VAR"), u"Привет");
    unsetenv("ZA_TEST_VAR");
    EXPECT_EQ(GetEnvironmentVariable(u"ZA_TEST_VAR"), u"");
    const char* old = getenv("WINDIR");
    const std::string saved = old ? old : "";
    setenv("WINDIR", "C:\\Windows", 1);
    EXPECT_EQ(GetWindowsDirectory(), u"C:\\Windows");
    unsetenv("WINDIR");
    EXPECT_EQ(GetWindowsDirectory(), u"");
    if (old) {
        setenv("WINDIR", saved.c_str(), 1);
    }
}

TEST(LockTest, ReentrantAndExclusiveBetweenThreads) {
    TArchiverLockGuard outer;
    {
        TArchiverLockGuard inner; // same thread: no deadlock
    }
    bool acquired = false;
    std::thread other([&] {
        TArchiverLockGuard g;
        acquired = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(acquired);
    ReleaseArchiverLock(); // let go of "outer" early...
    other.join();
    EXPECT_TRUE(acquired);
    AcquireArchiverLock(); // ...and take it back for its destructor
}

class ShellTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        const char* p = getenv("PATH");
        FOldPath = p ? p : "";
    }
    void TearDown() override {
        setenv("PATH", FOldPath.c_str(), 1);
        TempDirTest::TearDown();
    }
    // An xdg-open stand-in that records its argument.
    void InstallFakeOpener() {
        mkdir(Native("bin").c_str(), 0777);
        std::ofstream(Native("bin/xdg-open"))
            << "#!/bin/sh\nprintf '%s' \"$1\" > '" << Native("opened.tmp") << "'\nmv '"
            << Native("opened.tmp") << "' '" << Native("opened") << "'\n";
        chmod(Native("bin/xdg-open").c_str(), 0755);
        setenv("PATH", (Native("bin") + ":/usr/bin:/bin").c_str(), 1);
    }
    std::string WaitForOpened() {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(Native("opened"));
            if (in) {
                return std::string(std::istreambuf_iterator<char>(in), {});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return "<nothing opened>";
    }
    std::string FOldPath;
};

TEST_F(ShellTest, NotepadWithDocumentOpensTheDocument) {
    InstallFakeOpener();
    ShellOpen(u"c:\\windows\\notepad.exe", u"res\\Инструкция по установке.txt");
    EXPECT_EQ(WaitForOpened(), "res/Инструкция по установке.txt");
}

TEST_F(ShellTest, AddressIsPassedUnchanged) {
    InstallFakeOpener();
    ShellOpen(u"https://example.org/a\\b?x=1");
    EXPECT_EQ(WaitForOpened(), "https://example.org/a\\b?x=1");
}

TEST_F(ShellTest, MissingOpenerChangesNothing) {
    setenv("PATH", Native("nowhere").c_str(), 1);
    ShellOpen(u"c:\\windows\\notepad.exe", u"x.txt");
    ShellOpen(u"https://example.org");
    ShellOpen(u"");
    SUCCEED();
}

} // namespace
} // namespace za

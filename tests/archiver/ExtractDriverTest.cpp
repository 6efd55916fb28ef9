// The extraction loop: selection forms, folders, confirmation, read-only
// destinations, the run counters, Unix link and device modes, full output
// disks, local header variants, and the interoperability fixtures.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ArchiverTestUtil.h"
#include "archiver/ZipArchiver.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "support/ZipBuilder.h"

namespace za::test {
namespace {

bool IsRegular(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

class ExtractDriverTest : public ArchiveTest {
protected:
    void Record() {
        arc.SetOnOverallProgress([this](TZABaseArchiver*, double p, TZAProcessOperation,
                                        TZAProgressPhase ph,
                                        bool&) { events.emplace_back("overall", ph, p); });
        arc.SetOnFileProgress([this](TZABaseArchiver*, const std::u16string& name, double p,
                                     TZAProcessOperation, TZAProgressPhase ph,
                                     bool&) { events.emplace_back(ToUtf8(name), ph, p); });
    }

    std::vector<std::tuple<std::string, TZAProgressPhase, double>> events;
};

TEST_F(ExtractDriverTest, PlainNameRunsOverThatEntryAlone) {
    ZipBuilder b;
    b.AddStored("a.txt", "A");
    b.AddStored("b.txt", "B");
    Open(b);
    arc.Options().SetRecurse(false);             // a plain name then needs no mask search
    arc.TestFiles(u"*.*", ZASearchAllAttr, u""); // leaves every entry marked
    Record();
    arc.ExtractFiles(u"nothing.txt", ZASearchAllAttr, u"");
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(Exists(Native("out")));

    arc.ExtractFiles(u"b.txt", ZASearchAllAttr, u"");
    using E = std::tuple<std::string, TZAProgressPhase, double>;
    const std::vector<E> want = {{"overall", ppStart, 0},   {"b.txt", ppStart, 0},
                                 {"b.txt", ppProcess, 100}, {"overall", ppProcess, 100},
                                 {"b.txt", ppEnd, 100},     {"overall", ppEnd, 100}};
    EXPECT_EQ(events, want);
    EXPECT_EQ(arc.ProcessedFileCount(), 1);
    EXPECT_EQ(arc.ProcessedFileNo(), 1);
    EXPECT_EQ(ReadNative(Native("out/b.txt")), "B");
    EXPECT_FALSE(Exists(Native("out/a.txt")));
}

TEST_F(ExtractDriverTest, FoldersWithAndWithoutCreateDirs) {
    for (bool createDirs : {true, false}) {
        SCOPED_TRACE(createDirs);
        TZipArchiver a;
        ZipBuilder b;
        b.Add(ZipEntry::Folder("docs/"));
        b.AddStored("a/b/c.txt", "deep");
        WriteNative(Native("f.zip"), b.Build());
        const std::string out = createDirs ? "with" : "without";
        if (!createDirs) {
            MakeDir(out);
        }
        a.SetFileName(u"f.zip");
        a.OpenArchive();
        a.SetBaseDir(FromUtf8(out));
        a.Options().SetCreateDirs(createDirs);
        a.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(a.ProcessedFileNo(), 2);
        EXPECT_EQ(Exists(Native(out + "/docs")), createDirs);
        EXPECT_EQ(ReadNative(Native(out + (createDirs ? "/a/b/c.txt" : "/c.txt"))), "deep");
        EXPECT_EQ(Exists(Native(out + "/a")), createDirs);
    }
}

TEST_F(ExtractDriverTest, DeclinedEntriesSendOnlyTheOverallEvents) {
    ZipBuilder b;
    b.AddStored("a.txt", "A");
    b.AddStored("b.txt", "B");
    Open(b);
    Record();
    arc.SetOnConfirmProcessFile([](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                   bool& confirm) { confirm = false; });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    using E = std::tuple<std::string, TZAProgressPhase, double>;
    EXPECT_EQ(events, (std::vector<E>{{"overall", ppStart, 0}, {"overall", ppEnd, 100}}));
    EXPECT_EQ(arc.ProcessedFileNo(), 0);
    EXPECT_EQ(arc.SkippedFileCount(), 2);
    EXPECT_EQ(arc.FailedFileCount(), 0);
    EXPECT_EQ(arc.NotExtractedFileCount(), 2);
    EXPECT_FALSE(Exists(Native("out/a.txt")));
}

TEST_F(ExtractDriverTest, ReadOnlyDestination) {
    ZipBuilder b;
    b.AddStored("f.txt", "new");
    MakeDir("out");
    Open(b);
    arc.Options().SetOverwriteMode(omAlways);
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        WriteNative(Native("out/f.txt"), "old");
        ASSERT_EQ(chmod(Native("out/f.txt").c_str(), 0444), 0);
        arc.Options().SetReplaceReadOnly(replace);
        int failures = 0;
        arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&,
                                        TZAProcessOperation, int32_t, int32_t,
                                        const std::u16string&, TZAAction&) { ++failures; });
        arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(failures, 0);
        EXPECT_EQ(arc.ProcessedFileNo(), 1);
        EXPECT_EQ(ReadNative(Native("out/f.txt")), replace ? "new" : "old");
        ASSERT_EQ(chmod(Native("out/f.txt").c_str(), 0644), 0);
    }
}

TEST_F(ExtractDriverTest, AnOverwriteHandlerMayRedirectTheFile) {
    ZipBuilder b;
    b.AddStored("f.txt", "new");
    MakeDir("out");
    WriteNative(Native("out/f.txt"), "old");
    Open(b);
    arc.Options().SetOverwriteMode(omPrompt);
    std::u16string source;
    arc.SetOnConfirmOverwrite(
        [&](TZABaseArchiver*, const std::u16string& src, std::u16string& dest, bool& confirm) {
            source = src;
            EXPECT_FALSE(confirm);
            dest = u"out\\g.txt";
            confirm = true;
        });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(source, u"f.txt");
    EXPECT_EQ(ReadNative(Native("out/f.txt")), "old");
    EXPECT_EQ(ReadNative(Native("out/g.txt")), "new");
}

// The counters tell a complete run from an incomplete one.
TEST_F(ExtractDriverTest, CountersAfterIgnoreAndAbort) {
    struct Case {
        TZAAction answer;
        int32_t done, failed;
    };
    for (const Case& c : {Case{fxaIgnore, 3, 1}, Case{fxaAbort, 1, 3}}) {
        SCOPED_TRACE(int(c.answer));
        ZipEntry bad = ZipEntry::Stored("2.txt", "two");
        bad.crc = 5;
        ZipBuilder b;
        b.AddStored("1.txt", "one");
        b.Add(bad);
        b.AddStored("3.txt", "three");
        b.AddStored("4.txt", "four");
        TZipArchiver a;
        WriteNative(Native("c.zip"), b.Build());
        a.SetFileName(u"c.zip");
        a.OpenArchive();
        a.SetBaseDir(u"out");
        a.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                      int32_t, int32_t, const std::u16string&,
                                      TZAAction& action) { action = c.answer; });
        a.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(a.ProcessedFileCount(), 4);
        EXPECT_EQ(a.ProcessedFileNo(), c.done);
        EXPECT_EQ(a.FailedFileCount(), c.failed);
        EXPECT_EQ(a.SkippedFileCount(), 0);
        EXPECT_EQ(a.NotExtractedFileCount(), 4 - c.done);
    }
}

// Unix modes of links and devices are not honoured: the data becomes a
// regular file, whatever the mode says.
TEST_F(ExtractDriverTest, LinkAndDeviceModesGiveRegularFiles) {
    struct Case {
        const char* name;
        uint32_t mode;
    };
    const std::vector<Case> cases = {{"link", 0120777},
                                     {"chr", 0020644},
                                     {"blk", 0060644},
                                     {"fifo", 0010644},
                                     {"sock", 0140644}};
    ZipBuilder b;
    for (const Case& c : cases) {
        ZipEntry e = ZipEntry::Stored(c.name, "/etc/passwd");
        e.versionMadeBy = 0x031E; // Unix
        e.externalAttr = c.mode << 16;
        b.Add(e);
    }
    Open(b);
    arc.Options().SetSetAttributes(true);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    for (const Case& c : cases) {
        const std::string path = Native(std::string("out/") + c.name);
        EXPECT_TRUE(IsRegular(path)) << c.name;
        EXPECT_EQ(ReadNative(path), "/etc/passwd") << c.name;
    }
}

// A memory stream that refuses a number of writes, as a full disk would.
class TRefusingStream : public TMemoryStream {
public:
    explicit TRefusingStream(int refusals) : FRefusals(refusals) {}
    int64_t Write(const void* buffer, int64_t count) override {
        if (FRefusals > 0) {
            --FRefusals;
            const int64_t half = count / 2; // a short write, then nothing
            return TMemoryStream::Write(buffer, half);
        }
        return TMemoryStream::Write(buffer, count);
    }

private:
    int FRefusals;
};

TEST_F(ExtractDriverTest, FullDiskAsksOnDiskFull) {
    const std::string data(150000, 'd');
    ZipBuilder b;
    b.AddStored("s.bin", data);
    b.AddDeflated("d.bin", data);
    Open(b);
    for (const char* name : {"s.bin", "d.bin"}) {
        SCOPED_TRACE(name);
        // The handler lets it try again: the data arrives whole.
        int asked = 0;
        arc.SetOnDiskFull(
            [&](TZABaseArchiver*, int32_t volume, const std::u16string&, bool& cancel) {
                EXPECT_EQ(volume, 0); // -1 for the output, counted from 1 for the handler
                EXPECT_FALSE(cancel);
                ++asked;
            });
        TRefusingStream retry(2);
        arc.ExtractToStream(FromUtf8(name), retry);
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(retry.Memory()),
                              static_cast<size_t>(retry.Size())),
                  data);

        // The handler cancels: no error, the output stops.
        arc.SetOnDiskFull(
            [](TZABaseArchiver*, int32_t, const std::u16string&, bool& cancel) { cancel = true; });
        TRefusingStream cancelled(1);
        EXPECT_NO_THROW(arc.ExtractToStream(FromUtf8(name), cancelled));
        EXPECT_LT(cancelled.Size(), static_cast<int64_t>(data.size()));

        // No handler: native error 65 without the component's name.
        arc.SetOnDiskFull(nullptr);
        TRefusingStream none(1);
        try {
            arc.ExtractToStream(FromUtf8(name), none);
            ADD_FAILURE() << "no error";
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError(), 65);
            EXPECT_NE(ToUtf8(e.Message())
                          .find("Disk is full. There is not enough free space on "
                                "disk. - Native error: 00065"),
                      std::string::npos);
        }
    }
}

// Variants of the local header and trailing bytes after the Deflate data.
TEST_F(ExtractDriverTest, LocalHeaderVariantsAndTrailingBytes) {
    const std::string text(4000, 'v');
    struct Case {
        const char* what;
        ZipEntry entry;
    };
    std::vector<Case> cases;
    for (int extra = 1; extra <= 2; ++extra) {
        ZipEntry e = ZipEntry::Deflated("trail" + std::to_string(extra), text);
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        std::string raw(deflateBound(&z, text.size()), '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        z.next_out = reinterpret_cast<Bytef*>(raw.data());
        z.avail_out = static_cast<uInt>(raw.size());
        deflate(&z, Z_FINISH);
        raw.resize(z.total_out);
        deflateEnd(&z);
        e.method = 8;
        e.raw = raw + std::string(static_cast<size_t>(extra), 'x');
        cases.push_back({"trailing bytes", e});
    }
    ZipEntry longer = ZipEntry::Deflated("longer.txt", text);
    longer.localExtra = std::string("\xAA\xAA\x04\x00wxyz", 8); // only in the local header
    cases.push_back({"local lengths differ from the central ones", longer});
    ZipEntry bare = ZipEntry::Stored("bare.txt", text);
    bare.dataDescriptor = true;
    bare.descriptorSignature = false;
    cases.push_back({"descriptor without signature", bare});
    ZipBuilder b;
    for (const Case& c : cases) {
        b.Add(c.entry);
    }
    Open(b);
    int failures = 0;
    arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                    int32_t, int32_t, const std::u16string&,
                                    TZAAction&) { ++failures; });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(failures, 0);
    for (const Case& c : cases) {
        EXPECT_EQ(ReadNative(Native("out/" + c.entry.name)), text) << c.what;
    }
}

// Every fixture made by other tools extracts byte for byte, with the stored
// DOS time as the file time.
TEST_F(ExtractDriverTest, InteropFixturesExtractExactly) {
    const std::string dir = std::string(ZA_FIXTURES_DIR) + "/zip/";
    std::ifstream listing(dir + "listing.tsv");
    ASSERT_TRUE(listing) << dir;
    struct Row {
        uint32_t crc;
        int64_t size;
    };
    std::map<std::string, std::map<int32_t, Row>> rows;
    std::string line;
    std::getline(listing, line); // header
    while (std::getline(listing, line)) {
        std::istringstream in(line);
        std::string file, index, nameHex, flags, method, crc, comp, size, ext;
        in >> file >> index >> nameHex >> flags >> method >> crc >> comp >> size >> ext;
        rows[file][std::stoi(index)] = {static_cast<uint32_t>(std::stoul(crc, nullptr, 16)),
                                        std::stoll(size)};
    }
    ASSERT_FALSE(rows.empty());
    for (const auto& [file, entries] : rows) {
        SCOPED_TRACE(file);
        TZipArchiver a;
        a.SetFileName(FromNativePath(dir + file));
        a.OpenArchive(TZABaseArchiver::ModeReadOnly);
        const std::u16string out = FromNativePath(Native("out-" + file));
        a.SetBaseDir(out);
        int failures = 0;
        a.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                      int32_t, int32_t, const std::u16string& message,
                                      TZAAction& action) {
            ADD_FAILURE() << ToUtf8(message);
            ++failures;
            action = fxaIgnore;
        });
        a.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(failures, 0);
        TZAArchiveItem f;
        int seen = 0;
        for (bool ok = a.FindFirst(u"*.*", f, ZASearchAllAttr, u""); ok; ok = a.FindNext(f)) {
            const auto row = entries.find(f.Handle.ItemNo);
            ASSERT_NE(row, entries.end());
            ++seen;
            if (f.ExternalFileAttributes & 0x10) {
                continue;
            }
            const std::u16string path = out + u"\\" + f.StoredPath + f.FileName;
            TFileStream in(path, fmOpenRead);
            std::string bytes(static_cast<size_t>(in.Size()), '\0');
            in.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
            EXPECT_EQ(static_cast<int64_t>(bytes.size()), row->second.size) << ToUtf8(path);
            const uint32_t crc = static_cast<uint32_t>(
                crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
            EXPECT_EQ(crc, row->second.crc) << ToUtf8(path);
            EXPECT_EQ(FileAge(path),
                      static_cast<int32_t>((uint32_t{f.LastModFileDate} << 16) | f.LastModFileTime))
                << ToUtf8(path);
        }
        EXPECT_EQ(seen, static_cast<int>(entries.size()));
    }
}

// The right password set beforehand asks nothing; a wrong one asks once, also
// for a PKZIP classic entry with a data descriptor, whose check byte comes
// from the local header's time.
TEST_F(ExtractDriverTest, PasswordSetBeforehandAsksNothing) {
    struct Case {
        const char* fixture;
        const char* entry;
    };
    for (const Case& c : {Case{"aes128.zip", "hello.txt"}, Case{"aes192.zip", "hello.txt"},
                          Case{"aes256.zip", "lorem.txt"}, Case{"classic.zip", "lorem.txt"},
                          Case{"classic-dd.zip", "-"}}) {
        SCOPED_TRACE(c.fixture);
        for (const char* preset : {"PW", "bad"}) {
            TZipArchiver a;
            a.SetFileName(FromNativePath(std::string(ZA_FIXTURES_DIR) + "/crypto/" + c.fixture));
            a.OpenArchive(TZABaseArchiver::ModeReadOnly);
            a.SetPassword(preset);
            int asked = 0;
            a.SetOnPassword([&](TZABaseArchiver*, const std::u16string&, std::string& pw, bool&) {
                ++asked;
                pw = "PW";
            });
            TMemoryStream mem;
            a.ExtractToStream(FromUtf8(c.entry), mem);
            EXPECT_EQ(asked, std::string(preset) == "PW" ? 0 : 1) << preset;
            EXPECT_GT(mem.Size(), 0);
            if (std::string(c.entry) == "-") {
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(mem.Memory()),
                                      static_cast<size_t>(mem.Size())),
                          "Hello, encrypted world!\n");
            }
        }
    }
}

} // namespace
} // namespace za::test

#include <signal.h>
#include <sys/resource.h>

namespace za::test {
namespace {

// A file size limit for this process: writes beyond it fail as on a full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldSignal = signal(SIGXFSZ, SIG_IGN);
        Set(bytes);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        signal(SIGXFSZ, FOldSignal);
    }
    void Set(rlim_t bytes) {
        rlimit r = FOld;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    void Lift() { setrlimit(RLIMIT_FSIZE, &FOld); }

private:
    rlimit FOld{};
    sighandler_t FOldSignal;
};

std::string BigText() {
    std::string s;
    for (int i = 0; s.size() < 5u << 20; ++i) {
        s += "line " + std::to_string(i) + " of a large entry, " + std::to_string(i * 7919 % 1000) +
             "\n";
    }
    s.resize(5u << 20);
    return s;
}

// A large entry goes to its file while its next buffer is inflated. A write
// that fails must still raise OnDiskFull right after the progress event of
// the inflate call whose output it carries (here the fourth, at 60%), before
// the next event, and the retry must deliver the whole file.
TEST_F(ExtractDriverTest, LargeDeflateEntryDiskFullComesInOrder) {
    const std::string data = BigText();
    ZipBuilder b;
    b.AddDeflated("big.txt", data);
    Open(b);
    std::vector<std::string> log;
    arc.SetOnFileProgress([&](TZABaseArchiver*, const std::u16string&, double p,
                              TZAProcessOperation, TZAProgressPhase ph, bool&) {
        if (ph == ppProcess) {
            log.push_back("P" + std::to_string(static_cast<int>(p + 0.5)));
        }
    });
    std::unique_ptr<TFileSizeLimit> limit;
    arc.SetOnDiskFull([&](TZABaseArchiver*, int32_t, const std::u16string&, bool& cancel) {
        log.push_back("DF");
        limit->Lift();
        cancel = false;
    });
    MakeDir("out");
    limit = std::make_unique<TFileSizeLimit>(3u << 20);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    limit.reset();
    const std::vector<std::string> head = {"P0", "P20", "P40", "P60", "DF", "P80"};
    ASSERT_GE(log.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 6), head);
    EXPECT_EQ(std::count(log.begin(), log.end(), "DF"), 1);
    EXPECT_EQ(ReadNative(Native("out/big.txt")), data);
    EXPECT_EQ(ListDir(Native("out")), std::vector<std::string>{"big.txt"});
    EXPECT_EQ(arc.NotExtractedFileCount(), 0);
}

// Cancelled in the middle of a large entry: the old file stays, no
// temporary file is left, and no write is still in flight afterwards.
TEST_F(ExtractDriverTest, LargeDeflateEntryCancelledKeepsTheOldFile) {
    const std::string data = BigText();
    ZipBuilder b;
    b.AddDeflated("big.txt", data);
    b.AddStored("after.txt", "after");
    Open(b);
    MakeDir("out");
    WriteNative(Native("out/big.txt"), "old");
    int seen = 0;
    arc.SetOnFileProgress([&](TZABaseArchiver*, const std::u16string& name, double,
                              TZAProcessOperation, TZAProgressPhase ph, bool& cancel) {
        if (name == u"big.txt" && ph == ppProcess && ++seen == 3) {
            cancel = true;
        }
    });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ReadNative(Native("out/big.txt")), "old");
    EXPECT_EQ(ListDir(Native("out")), std::vector<std::string>{"big.txt"});
    EXPECT_EQ(seen, 3);

    // The same object extracts the whole archive afterwards.
    arc.SetOnFileProgress(nullptr);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ReadNative(Native("out/big.txt")), data);
    EXPECT_EQ(ReadNative(Native("out/after.txt")), "after");
}

} // namespace
} // namespace za::test

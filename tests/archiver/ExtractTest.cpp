// Extraction into files and memory: event sequences, failures and the
// failure protocol, the confinement of stored names, the preservation of an
// old file whose replacement fails, output bounds, and encrypted archives.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <zlib.h>

#include <string>
#include <tuple>
#include <vector>

#include "ArchiverTestUtil.h"
#include "archiver/ZipArchiver.h"
#include "crypto/ZAAESCryptoTransform.h"
#include "platform/Dialogs.h"
#include "platform/Stream.h"
#include "support/ZipBuilder.h"

namespace za::test {
namespace {

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Event {
    std::string kind; // "overall" or the file name
    TZAProgressPhase phase;
    double progress;
};

class ExtractTest : public ArchiveTest {
protected:
    void Record() {
        arc.SetOnOverallProgress(
            [this](TZABaseArchiver*, double p, TZAProcessOperation, TZAProgressPhase ph, bool&) {
                events.push_back({"overall", ph, p});
            });
        arc.SetOnFileProgress([this](TZABaseArchiver*, const std::u16string& name, double p,
                                     TZAProcessOperation, TZAProgressPhase ph, bool& cancel) {
            events.push_back({ToUtf8(name), ph, p});
            if (ToUtf8(name) == cancelAt && ph == ppProcess) {
                cancel = true;
            }
        });
    }
    // Failures answered with `answer`, their native numbers recorded.
    void Failures(TZAAction answer) {
        arc.SetOnProcessFileFailure([this, answer](TZABaseArchiver*, const std::u16string& name,
                                                   TZAProcessOperation, int32_t native, int32_t,
                                                   const std::u16string& message,
                                                   TZAAction& action) {
            failures.emplace_back(ToUtf8(name), native, ToUtf8(message));
            action = answer;
        });
    }

    std::vector<Event> events;
    std::vector<std::tuple<std::string, int32_t, std::string>> failures;
    std::string cancelAt;
};

TEST_F(ExtractTest, EmptyArchiveSendsOnlyTheOverallStartAndEnd) {
    Open(ZipBuilder());
    Record();
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].phase, ppStart);
    EXPECT_EQ(events[0].progress, 0);
    EXPECT_EQ(events[1].phase, ppEnd);
    EXPECT_EQ(events[1].progress, 100);
}

TEST_F(ExtractTest, StoredEntryReportsEveryCopyBlock) {
    const std::string data(200000, 'x');
    ZipBuilder b;
    b.AddStored("big.bin", data);
    b.Add(ZipEntry::Folder("docs/"));
    Open(b);
    Record();
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    std::vector<double> file;
    for (const Event& e : events) {
        if (e.kind == "big.bin") {
            file.push_back(e.progress);
        }
    }
    const std::vector<double> want = {
        0, 65535 * 100.0 / 200000, 131070 * 100.0 / 200000, 196605 * 100.0 / 200000, 100, 100};
    ASSERT_EQ(file.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_DOUBLE_EQ(file[i], want[i]) << i;
    }
    EXPECT_EQ(ReadNative(Native("out/big.bin")), data);
    struct stat st {};
    EXPECT_EQ(stat(Native("out/docs").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(arc.ProcessedFileNo(), 2);
    EXPECT_EQ(arc.NotExtractedFileCount(), 0);
    // The file time is the stored DOS time read as local time.
    EXPECT_EQ(FileAge(u"out\\big.bin"), (0x5A8E << 16) | 0x7A5B);
}

TEST_F(ExtractTest, CancelInTheThirdOfFiveEntriesStopsTheRun) {
    ZipBuilder b;
    for (int i = 1; i <= 5; ++i) {
        b.AddDeflated("f" + std::to_string(i) + ".txt", std::string(1000 * i, 'a' + i));
    }
    Open(b);
    Record();
    cancelAt = "f3.txt";
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ListDir(Native("out")), (std::vector<std::string>{"f1.txt", "f2.txt"}));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, "overall");
    EXPECT_EQ(events.back().phase, ppEnd);
    for (const Event& e : events) {
        EXPECT_NE(e.kind, "f4.txt");
    }
}

// Stored names that would leave the destination fail with 19 (20 for a
// folder) and nothing is written outside it.
TEST_F(ExtractTest, StoredNamesAreConfinedToTheDestination) {
    struct Case {
        std::string name;
        bool folder;
    };
    const std::vector<Case> cases = {
        {"../evil.txt", false}, {"a/../../evil.txt", false}, {"/abs.txt", false},
        {"c:/x.txt", false},    {"a//b.txt", false},         {"\\\\server\\s\\x.txt", false},
        {"../up/", true},       {"ok/../..", false},
    };
    ZipBuilder b;
    for (const Case& c : cases) {
        b.Add(c.folder ? ZipEntry::Folder(c.name) : ZipEntry::Stored(c.name, "payload"));
    }
    b.AddStored("good.txt", "fine");
    MakeDir("out");
    Open(b);
    Failures(fxaIgnore);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    ASSERT_EQ(failures.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(std::get<1>(failures[i]), cases[i].folder ? 20 : 19) << cases[i].name;
    }
    EXPECT_EQ(ListDir(Native("out")), std::vector<std::string>{"good.txt"});
    EXPECT_EQ(ListDir(FDir), (std::vector<std::string>{"a.zip", "out"}));
    EXPECT_EQ(arc.NotExtractedFileCount(), static_cast<int32_t>(cases.size()));
}

TEST_F(ExtractTest, AHandlerMayStillNameAnyPath) {
    ZipBuilder b;
    b.AddStored("x.txt", "elsewhere");
    MakeDir("other");
    Open(b);
    const std::u16string target = FromNativePath(Native("other")) + u"\\\\y.txt";
    arc.SetOnExtractFile([&](TZABaseArchiver*, std::u16string& name, uint32_t&,
                             const std::string&) { name = target; });
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(ReadNative(Native("other/y.txt")), "elsewhere");
}

// A replacement that fails its check leaves the old file as it was and no
// temporary file behind.
TEST_F(ExtractTest, AFailedReplacementKeepsTheOldFile) {
    ZipEntry bad = ZipEntry::Deflated("a.txt", std::string(5000, 'n'));
    bad.crc = 0x12345678;
    ZipBuilder b;
    b.Add(bad);
    MakeDir("out");
    WriteNative(Native("out/a.txt"), "old contents");
    Open(b);
    Failures(fxaIgnore);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(std::get<1>(failures[0]), 8);
    EXPECT_EQ(ReadNative(Native("out/a.txt")), "old contents");
    EXPECT_EQ(ListDir(Native("out")), std::vector<std::string>{"a.txt"});
    // With ExtractCorruptedFiles the data is kept and nothing is reported.
    failures.clear();
    arc.SetExtractCorruptedFiles(true);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(ReadNative(Native("out/a.txt")), std::string(5000, 'n'));
}

TEST_F(ExtractTest, DataFailuresAndTheirNativeNumbers) {
    const std::string text(3000, 'q');
    const std::string deflated = RawDeflate(text);
    struct Case {
        const char* what;
        ZipEntry entry;
        int32_t native; // 0: extracts
    };
    auto withRaw = [&](const char* name, uint16_t method, std::string raw) {
        ZipEntry e = ZipEntry::Deflated(name, text);
        e.method = method;
        e.raw = std::move(raw);
        return e;
    };
    std::vector<Case> cases;
    cases.push_back({"three bytes after the data", withRaw("t3.txt", 8, deflated + "abc"), 0});
    cases.push_back({"four bytes after the data", withRaw("t4.txt", 8, deflated + "abcd"), 8});
    cases.push_back({"Deflate64", withRaw("d64.txt", 9, deflated), 55});
    cases.push_back({"method 12", withRaw("m12.txt", 12, deflated), 8});
    ZipEntry sig = ZipEntry::Deflated("sig.txt", text);
    cases.push_back({"damaged local signature", sig, 0});
    ZipEntry dd = ZipEntry::Deflated("dd.txt", text);
    dd.dataDescriptor = true;
    cases.push_back({"data descriptor", dd, 0});
    ZipEntry z64 = ZipEntry::Deflated("z64.txt", text);
    z64.zip64 = true;
    cases.push_back({"ZIP64 sizes", z64, 0});
    ZipEntry big = ZipEntry::Deflated("bomb.txt", std::string(3000000, 0));
    big.uncompSize = 10; // declares far less than it inflates to
    cases.push_back({"output beyond the declared size", big, 8});

    ZipBuilder b;
    for (const Case& c : cases) {
        b.Add(c.entry);
    }
    ZipLayout layout;
    std::string bytes = b.Build(&layout);
    bytes[static_cast<size_t>(layout.localHeaders[4])] = 'X'; // sig.txt
    WriteNative(Native("a.zip"), bytes);
    arc.SetFileName(u"a.zip");
    arc.OpenArchive();
    arc.SetBaseDir(u"out");
    Failures(fxaIgnore);
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    size_t next = 0;
    for (const Case& c : cases) {
        const std::string name = c.entry.name;
        if (c.native == 0) {
            EXPECT_EQ(ReadNative(Native("out/" + name)), text) << c.what;
        } else {
            ASSERT_LT(next, failures.size()) << c.what;
            EXPECT_EQ(std::get<0>(failures[next]), name) << c.what;
            EXPECT_EQ(std::get<1>(failures[next]), c.native) << c.what;
            ++next;
            struct stat st {};
            EXPECT_NE(stat(Native("out/" + name).c_str(), &st), 0) << c.what;
        }
    }
    EXPECT_EQ(next, failures.size());
    // Deflate64's message carries no component name but the native suffix.
    for (const auto& f : failures) {
        if (std::get<1>(f) == 55) {
            EXPECT_EQ(std::get<2>(f),
                      "Deflate64 compression method is not supported - Native error: 00055");
        }
    }
}

TEST_F(ExtractTest, ABombIsCutAtTheDeclaredSizeInMemoryToo) {
    ZipEntry big = ZipEntry::Deflated("bomb.txt", std::string(5000000, 0));
    big.uncompSize = 10;
    ZipBuilder b;
    b.Add(big);
    Open(b);
    TMemoryStream mem;
    try {
        arc.ExtractToStream(u"bomb.txt", mem);
        FAIL() << "no error";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 8);
    }
    EXPECT_LE(mem.Size(), 10);
}

TEST_F(ExtractTest, RetryIgnoreAndAbort) {
    ZipEntry bad = ZipEntry::Stored("bad.txt", "data");
    bad.crc = 1;
    ZipBuilder b;
    b.Add(bad);
    b.AddStored("after.txt", "after");
    Open(b);
    int calls = 0;
    arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                    int32_t, int32_t, const std::u16string&, TZAAction& action) {
        ++calls;
        action = calls < 3 ? fxaRetry : fxaAbort;
    });
    Record();
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(calls, 3);
    int starts = 0;
    for (const Event& e : events) {
        starts += e.kind == "bad.txt" && e.phase == ppStart;
    }
    EXPECT_EQ(starts, 3);
    EXPECT_EQ(ListDir(Native("out")), std::vector<std::string>{});
    EXPECT_EQ(events.back().phase, ppEnd);
    EXPECT_EQ(arc.NotExtractedFileCount(), 2);
}

TEST_F(ExtractTest, AStaleCancelDoesNotPassDamagedData) {
    ZipEntry bad = ZipEntry::Stored("bad.txt", "data");
    bad.crc = 1;
    ZipBuilder b;
    b.AddStored("good.txt", std::string(100, 'g'));
    b.Add(bad);
    Open(b);
    Record();
    cancelAt = "good.txt";
    arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    arc.SetOnFileProgress(nullptr);
    arc.SetOnOverallProgress(nullptr);
    TMemoryStream mem;
    try {
        arc.ExtractToStream(u"bad.txt", mem);
        FAIL() << "damaged entry passed";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 8);
    }
}

TEST_F(ExtractTest, OverwriteModes) {
    ZipBuilder b;
    b.AddStored("f.txt", "new");
    b.AddStored("g.txt", "new");
    MakeDir("out");
    Open(b);
    struct Case {
        TZAOverwriteMode mode;
        std::vector<TModalResult> answers;
        std::string f, g;
        TZAOverwriteMode after;
    };
    const std::vector<Case> cases = {
        {omAlways, {}, "new", "new", omAlways},
        {omNever, {}, "old", "old", omNever},
        {omPrompt, {mrYes, mrNo}, "new", "old", omPrompt},
        {omPrompt, {mrYesToAll}, "new", "new", omAlways},
        {omPrompt, {mrNoToAll}, "old", "old", omNever},
        {omIfNewer,
         {},
         "new",
         "new",
         omIfNewer}, // the existing files are made older than the entries below
    };
    for (const Case& c : cases) {
        WriteNative(Native("out/f.txt"), "old");
        WriteNative(Native("out/g.txt"), "old");
        if (c.mode == omIfNewer) {
            // Existing files older than the entries get replaced.
            FileSetDate(u"out\\f.txt", (0x4A21 << 16)); // 2017
            FileSetDate(u"out\\g.txt", (0x4A21 << 16));
        }
        TScriptedDialogs dialogs;
        for (TModalResult r : c.answers) {
            dialogs.Push(r);
        }
        TDialogsScope scope(&dialogs);
        arc.Options().SetOverwriteMode(c.mode);
        arc.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(ReadNative(Native("out/f.txt")), c.f) << int(c.mode);
        EXPECT_EQ(ReadNative(Native("out/g.txt")), c.g) << int(c.mode);
        EXPECT_EQ(arc.Options().OverwriteMode(), c.after) << int(c.mode);
        EXPECT_EQ(dialogs.Pending(), 0u);
        if (!c.answers.empty()) {
            EXPECT_EQ(ToUtf8(dialogs.questions[0].text),
                      "Overwrite file \"out\\f.txt\" with \"f.txt\"");
        }
    }
}

// The 7-Zip AES-128, -192 and -256 and Info-ZIP classic fixtures: a wrong password asks
// with the wrong one shown, the handler's answer serves the later entries.
TEST_F(ExtractTest, EncryptedFixturesWithPasswordEvents) {
    const std::string lorem = [] {
        std::string s;
        for (int i = 0; i < 40; ++i) {
            s += "Lorem ipsum dolor sit amet, line " + std::to_string(i) + " of the test text.\n";
        }
        return s;
    }();
    for (const char* fixture : {"aes128.zip", "aes192.zip", "aes256.zip", "classic.zip"}) {
        const std::string src = std::string(ZA_FIXTURES_DIR) + "/crypto/" + fixture;
        WriteNative(Native(fixture), ReadNative(src));
        TZipArchiver a;
        a.SetFileName(FromNativePath(Native(fixture)));
        a.OpenArchive(64);
        a.SetBaseDir(FromNativePath(Native(std::string("out-") + fixture)));
        a.SetPassword("wrong");
        std::vector<std::string> shown;
        a.SetOnPassword([&](TZABaseArchiver*, const std::u16string&, std::string& pw, bool& skip) {
            shown.push_back(pw);
            pw = "PW";
            skip = false;
        });
        a.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(shown, std::vector<std::string>{"wrong"}) << fixture;
        const std::string out = Native(std::string("out-") + fixture);
        EXPECT_EQ(ReadNative(out + "/hello.txt"), "Hello, encrypted world!\n") << fixture;
        EXPECT_EQ(ReadNative(out + "/lorem.txt"), lorem) << fixture;
        EXPECT_EQ(a.NotExtractedFileCount(), 0);
        EXPECT_TRUE(a.IsFilePasswordValid(u"hello.txt", "PW"));
        EXPECT_FALSE(a.IsFilePasswordValid(u"hello.txt", "nope"));

        // Cancel skips every entry; nothing is written.
        TZipArchiver c;
        c.SetFileName(FromNativePath(Native(fixture)));
        c.OpenArchive(64);
        c.SetBaseDir(FromNativePath(Native(std::string("skip-") + fixture)));
        c.SetOnPassword(
            [](TZABaseArchiver*, const std::u16string&, std::string&, bool& skip) { skip = true; });
        c.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
        EXPECT_EQ(ListDir(Native(std::string("skip-") + fixture)), std::vector<std::string>{});
        EXPECT_EQ(c.NotExtractedFileCount(), 2);
        EXPECT_EQ(c.SkippedFileCount(), 2);
    }
}

TEST_F(ExtractTest, FlippedCiphertextFailsTheEntry) {
    for (const char* fixture : {"aes256.zip", "classic.zip"}) {
        std::string bytes = ReadNative(std::string(ZA_FIXTURES_DIR) + "/crypto/" + fixture);
        // Find hello.txt's data: after its local header, name and extra field.
        const size_t lh = bytes.find("PK\3\4");
        const size_t nameLen = static_cast<uint8_t>(bytes[lh + 26]) | (bytes[lh + 27] << 8);
        const size_t extraLen = static_cast<uint8_t>(bytes[lh + 28]) | (bytes[lh + 29] << 8);
        bytes[lh + 30 + nameLen + extraLen + 20] ^= 0x01;
        WriteNative(Native(fixture), bytes);
        TZipArchiver a;
        a.SetFileName(FromNativePath(Native(fixture)));
        a.OpenArchive(64);
        a.SetPassword("PW");
        TMemoryStream mem;
        try {
            a.ExtractToStream(u"hello.txt", mem);
            ADD_FAILURE() << fixture << ": no error";
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError(), 8) << fixture;
        }
    }
}

TEST_F(ExtractTest, MemoryRangesAndStrings) {
    std::string big(3000000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 7919) >> 5);
    }
    ZipBuilder b;
    b.AddDeflated("big.bin", big);
    b.AddStored("cyr.txt", "\xC0\xC1");
    Open(b);
    char buf[100];
    arc.ExtractToBuffer(u"big.bin", buf, 100, 2500000);
    EXPECT_EQ(std::string(buf, 100), big.substr(2500000, 100));
    arc.ExtractToBuffer(u"big.bin", buf, 10, 0);
    EXPECT_EQ(std::string(buf, 10), big.substr(0, 10));
    EXPECT_THROW(arc.ExtractToBuffer(u"big.bin", buf, 10, 3000000), EReadError);
    std::u16string text;
    arc.ExtractToString(u"cyr.txt", text);
    EXPECT_EQ(text, u"\u0410\u0411");
    TMemoryStream mem;
    mem.WriteBuffer(std::string(100, 'p').data(), 100);
    arc.ExtractToStream(u"cyr.txt", mem);
    EXPECT_EQ(mem.Size(), 102);
    try {
        arc.ExtractToStream(u"missing.txt", mem);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 15);
    }
}

TEST_F(ExtractTest, ExtractToStreamEventSequence) {
    ZipBuilder b;
    b.AddStored("docs/a.txt", std::string(70000, 'a'));
    Open(b);
    Record();
    TMemoryStream mem;
    arc.ExtractToStream(u"docs\\a.txt", mem);
    std::vector<std::tuple<std::string, TZAProgressPhase, double>> got;
    for (const Event& e : events) {
        got.emplace_back(e.kind, e.phase, e.progress);
    }
    const double first = 65535 * 100.0 / 70000;
    const double overallFirst = first; // (file fraction + 0 done) / 1 entry
    const std::vector<std::tuple<std::string, TZAProgressPhase, double>> want = {
        {"overall", ppStart, 0},
        {"docs\\a.txt", ppProcess, first},
        {"overall", ppProcess, overallFirst},
        {"docs\\a.txt", ppProcess, 100},
        {"overall", ppProcess, 100},
        {"docs\\a.txt", ppEnd, 100},
        {"overall", ppEnd, 100}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(mem.Size(), 70000);
    EXPECT_TRUE(arc.IsFilePasswordValid(u"docs\\a.txt", "anything")); // not encrypted
}

TEST_F(ExtractTest, TestFilesReportsTheDamagedEntryOnly) {
    ZipEntry bad = ZipEntry::Stored("second.txt", "data");
    bad.crc = 7;
    ZipBuilder b;
    b.AddDeflated("first.txt", "one");
    b.Add(bad);
    b.AddDeflated("third.txt", "three");
    Open(b);
    Failures(fxaIgnore);
    arc.FileMasks().Add(u"*.*");
    arc.TestFiles();
    arc.TestFiles(u"*.*", ZASearchAllAttr, u"");
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(std::get<0>(failures[0]), "second.txt");
    EXPECT_EQ(std::get<1>(failures[0]), 8);
    EXPECT_EQ(ListDir(Native("out")), std::vector<std::string>{});
    EXPECT_EQ(ListDir(FDir), std::vector<std::string>{"a.zip"});
    EXPECT_TRUE(arc.IsValidArchiveFile(u"a.zip"));
}

} // namespace
} // namespace za::test

namespace za::test {
namespace {

// Stored AES-256 entry data (salt, verifier, ciphertext, code) for `plain`.
std::string SealAes256(const std::string& password, const std::string& plain) {
    TAESCryptoTransform t(256, 2, 0);
    t.Initialize(Encryption, {});
    t.GenerateKey(password);
    std::vector<uint8_t> out = t.GetFileStorageStartBlock();
    std::vector<uint8_t> cipher(plain.begin(), plain.end());
    if (!cipher.empty()) {
        t.EncryptBuffer(cipher.data(), 0, static_cast<int32_t>(cipher.size()), cipher.data(), 0);
    }
    out.insert(out.end(), cipher.begin(), cipher.end());
    const std::vector<uint8_t> end = t.GetFileStorageEndBlock();
    out.insert(out.end(), end.begin(), end.end());
    return std::string(out.begin(), out.end());
}

// Twenty AES entries whose keys are derived ahead while earlier ones are
// decoded: the first ten under "PW", the rest under "PW2". The run starts
// with "PW", is asked once (at entry 10) and gets "PW2"; entry 4 is declined.
// Every other entry must arrive intact, so keys derived ahead for the old
// password, or for the declined entry, are never used in place of the right ones.
TEST_F(ExtractTest, ManyAesEntriesWithAPasswordChangeAndADeclinedEntry) {
    ZipBuilder b;
    std::vector<std::string> contents;
    for (int i = 0; i < 20; ++i) {
        contents.push_back("entry " + std::to_string(i) + " " +
                           std::string(100 + 37 * i, 'a' + i % 26));
        ZipEntry e = ZipEntry::Stored("f" + std::to_string(i) + ".txt", "");
        e.method = 99;
        e.flags = 1;
        e.raw = SealAes256(i < 10 ? "PW" : "PW2", contents.back());
        e.crc = Crc32(contents.back());
        e.localCrc = 0;
        e.uncompSize = static_cast<uint32_t>(contents.back().size());
        e.localUncompSize = e.uncompSize;
        e.versionNeeded = 51;
        e.localExtra = AesExtra(3, 0);
        e.centralExtra = e.localExtra;
        b.Add(e);
    }
    WriteNative(Native("many.zip"), b.Build());
    TZipArchiver a;
    a.SetFileName(FromNativePath(Native("many.zip")));
    a.OpenArchive(64);
    a.SetBaseDir(FromNativePath(Native("many")));
    a.SetPassword("PW");
    std::vector<std::u16string> asked;
    a.SetOnPassword([&](TZABaseArchiver*, const std::u16string& name, std::string& pw, bool&) {
        asked.push_back(name);
        pw = "PW2";
    });
    a.SetOnConfirmProcessFile([](TZABaseArchiver*, const std::u16string& name, TZAProcessOperation,
                                 bool& confirm) { confirm = name != u"f4.txt"; });
    a.ExtractFiles(u"*.*", ZASearchAllAttr, u"");
    EXPECT_EQ(asked, std::vector<std::u16string>{u"f10.txt"});
    EXPECT_EQ(ListDir(Native("many")).size(), 19u); // all but the declined f4.txt
    for (int i = 0; i < 20; ++i) {
        if (i != 4) {
            EXPECT_EQ(ReadNative(Native("many/f" + std::to_string(i) + ".txt")),
                      contents[static_cast<size_t>(i)])
                << i;
        }
    }
    EXPECT_EQ(a.FailedFileCount(), 0);
    EXPECT_EQ(a.SkippedFileCount(), 1);
}

} // namespace
} // namespace za::test

namespace za::test {
namespace {

// Vendor version 1 entries are opened as version 2 ones: the authentication
// code decides and the CRC-32 is not compared, so a wrong stored CRC passes
// while a damaged code fails.
TEST_F(ExtractTest, VendorVersionOneEntriesAreJudgedByTheirCode) {
    const std::string plain = "vendor version one entry\n";
    const std::string sealed = SealAes256("PW", plain);
    std::string damaged = sealed;
    damaged.back() ^= 0x01;
    struct Case {
        const char* name;
        const std::string* data;
        bool extracts;
    };
    for (const Case& c : {Case{"ok", &sealed, true}, Case{"bad", &damaged, false}}) {
        SCOPED_TRACE(c.name);
        ZipEntry e = ZipEntry::Stored("v1.txt", "");
        e.method = 99;
        e.flags = 1;
        e.raw = *c.data;
        e.crc = Crc32(plain) ^ 0xFFFF; // wrong on purpose
        e.localCrc = *e.crc;
        e.uncompSize = static_cast<uint32_t>(plain.size());
        e.localUncompSize = e.uncompSize;
        e.versionNeeded = 51;
        e.localExtra = AesExtra(3, 0, 1);
        e.centralExtra = e.localExtra;
        WriteNative(Native("v1.zip"), ZipBuilder().Add(e).Build());
        TZipArchiver a;
        a.SetFileName(FromNativePath(Native("v1.zip")));
        a.OpenArchive(64);
        a.SetPassword("PW");
        TMemoryStream mem;
        try {
            a.ExtractToStream(u"v1.txt", mem);
            EXPECT_TRUE(c.extracts);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(mem.Memory()),
                                  static_cast<size_t>(mem.Size())),
                      plain);
        } catch (const EZAException& ex) {
            EXPECT_FALSE(c.extracts);
            EXPECT_EQ(ex.NativeError(), 8);
        }
    }
}

} // namespace
} // namespace za::test

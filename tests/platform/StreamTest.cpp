#include "PlatformTestUtil.h"

#include "platform/Exception.h"
#include "platform/Stream.h"

#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace za {
namespace {

using test::TempDirTest;

std::vector<uint8_t> ReadNative(const std::string& path) {
    std::vector<uint8_t> data;
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return data;
    }
    uint8_t buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) {
        data.insert(data.end(), buf, buf + n);
    }
    close(fd);
    return data;
}

class FileStreamTest : public TempDirTest {};

// Random mixes of seeks, reads, writes and size changes, checked step by step
// against a plain vector; sizes straddle the 64 KiB buffer.
TEST_F(FileStreamTest, BufferedMatchesReferenceUnderRandomMixes) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const std::u16string name = Engine("mix" + std::to_string(seed));
        std::vector<uint8_t> ref;
        int64_t pos = 0;
        TFileStream fs(name, fmCreate);
        auto randomSize = [&]() -> int64_t {
            switch (rng() % 4) {
            case 0:
                return rng() % 16; // field-by-field reads
            case 1:
                return rng() % 4096;
            case 2:
                return 65536 - 8 + rng() % 16; // around the buffer size
            default:
                return rng() % 200000;
            }
        };
        for (int step = 0; step < 400; ++step) {
            const int op = static_cast<int>(rng() % 10);
            if (op < 3) { // write
                std::vector<uint8_t> data(static_cast<size_t>(randomSize()));
                for (auto& b : data) {
                    b = static_cast<uint8_t>(rng());
                }
                ASSERT_EQ(fs.Write(data.data(), static_cast<int64_t>(data.size())),
                          static_cast<int64_t>(data.size()));
                if (pos + static_cast<int64_t>(data.size()) > static_cast<int64_t>(ref.size())) {
                    ref.resize(static_cast<size_t>(pos) + data.size());
                }
                std::copy(data.begin(), data.end(), ref.begin() + pos);
                pos += static_cast<int64_t>(data.size());
            } else if (op < 6) { // read
                const int64_t want = randomSize();
                std::vector<uint8_t> got(static_cast<size_t>(want) + 1, 0xEE);
                const int64_t n = fs.Read(got.data(), want);
                const int64_t expected = std::max<int64_t>(
                    0, std::min<int64_t>(want, static_cast<int64_t>(ref.size()) - pos));
                ASSERT_EQ(n, expected) << "step " << step;
                ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, ref.begin() + pos)) << step;
                ASSERT_EQ(got[static_cast<size_t>(n)], 0xEE); // nothing beyond the count
                pos += n;
            } else if (op < 9) { // seek
                const int64_t size = static_cast<int64_t>(ref.size());
                switch (rng() % 3) {
                case 0:
                    pos =
                        size ? static_cast<int64_t>(rng() % static_cast<uint64_t>(size + 100)) : 0;
                    ASSERT_EQ(fs.Seek(pos, soBeginning), pos);
                    break;
                case 1: {
                    const int64_t delta = static_cast<int64_t>(rng() % 70000) - 35000;
                    if (pos + delta >= 0) {
                        pos += delta;
                        ASSERT_EQ(fs.Seek(delta, soCurrent), pos);
                    }
                    break;
                }
                default:
                    pos = size;
                    ASSERT_EQ(fs.Seek(0, soEnd), pos);
                }
            } else { // size change
                const int64_t newSize = static_cast<int64_t>(rng() % (ref.size() + 70000));
                fs.SetSize(newSize);
                ref.resize(static_cast<size_t>(newSize));
                pos = newSize;
            }
            ASSERT_EQ(fs.Position(), pos);
            if (step % 50 == 0) {
                ASSERT_EQ(fs.Size(), static_cast<int64_t>(ref.size()));
            }
        }
        // A write beyond the end leaves a zero-filled gap.
        ASSERT_EQ(fs.Seek(static_cast<int64_t>(ref.size()) + 10, soBeginning),
                  static_cast<int64_t>(ref.size()) + 10);
        fs.WriteBuffer("z", 1);
        ref.resize(ref.size() + 10, 0);
        ref.push_back('z');
        fs.Flush();
        EXPECT_EQ(ReadNative(Native("mix" + std::to_string(seed))), ref);
    }
}

TEST_F(FileStreamTest, SmallReadsDoNotCostASyscallEach) {
    {
        std::vector<uint8_t> data(200000);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i * 7);
        }
        TFileStream out(Engine("f"), fmCreate);
        out.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    }
    TFileStream in(Engine("f"), fmOpenRead | fmShareDenyNone);
    uint8_t b = 0;
    for (int i = 0; i < 1000; ++i) {
        in.ReadBuffer(&b, 1);
        ASSERT_EQ(b, static_cast<uint8_t>(i * 7));
    }
    const int fd = in.Handle(); // syncs the descriptor and drops the read-ahead
    ASSERT_EQ(in.Position(), 1000);
    ASSERT_EQ(lseek(fd, 0, SEEK_CUR), 1000);
    // One read fills the buffer; the file is then emptied behind the stream's
    // back, and the next small reads still succeed because they come from memory.
    in.ReadBuffer(&b, 1);
    ASSERT_EQ(truncate(Native("f").c_str(), 0), 0);
    for (int i = 1001; i < 2000; ++i) {
        in.ReadBuffer(&b, 1);
        ASSERT_EQ(b, static_cast<uint8_t>(i * 7)) << i;
    }
}

TEST_F(FileStreamTest, OpenModesAndLocks) {
    // 65280: creates (and replaces) the file.
    {
        TFileStream c(Engine("a.zip"), fmCreate);
        c.WriteBuffer("old content", 11);
    }
    {
        TFileStream c(Engine("a.zip"), 65280);
        EXPECT_EQ(c.Size(), 0);
        c.WriteBuffer("PK", 2);
    }
    // 34 twice through two descriptors: the second fails; 64 still works.
    {
        TFileStream rw(Engine("a.zip"), 34);
        EXPECT_THROW(TFileStream(Engine("a.zip"), 34), EFOpenError);
        TFileStream ro(Engine("a.zip"), 64);
        char buf[2];
        ro.ReadBuffer(buf, 2);
        EXPECT_EQ(std::string(buf, 2), "PK");
        EXPECT_EQ(ro.Write("x", 1), 0); // read-only: nothing written
        rw.WriteBuffer("Z", 1);         // the read-write one can write
    }
    // 64 first, then 34: the shared lock of the reader keeps the writer out.
    {
        TFileStream ro(Engine("a.zip"), 64);
        EXPECT_THROW(TFileStream(Engine("a.zip"), 34), EFOpenError);
        TFileStream ro2(Engine("a.zip"), 64);
    }
    // After all are closed, 34 works again.
    { TFileStream rw(Engine("a.zip"), 34); }

    // Combinations: exclusive against anything that locks; compat takes no lock.
    {
        TFileStream ex(Engine("a.zip"), fmOpenRead | fmShareExclusive);
        EXPECT_THROW(TFileStream(Engine("a.zip"), fmOpenRead | fmShareDenyWrite), EFOpenError);
        TFileStream compat(Engine("a.zip"), fmOpenReadWrite);
        TFileStream none(Engine("a.zip"), fmOpenRead | fmShareDenyNone);
    }
    {
        TFileStream r1(Engine("a.zip"), fmOpenRead | fmShareDenyWrite);
        TFileStream r2(Engine("a.zip"), fmOpenRead | fmShareDenyWrite); // readers share
        EXPECT_THROW(TFileStream(Engine("a.zip"), fmOpenReadWrite | fmShareDenyWrite), EFOpenError);
    }
}

TEST_F(FileStreamTest, LockBindsAnotherProcess) {
    { TFileStream c(Engine("a.zip"), fmCreate); }
    TFileStream rw(Engine("a.zip"), 34);
    const pid_t child = fork();
    if (child == 0) {
        int code = 0;
        try {
            TFileStream again(Engine("a.zip"), 34);
            code = 1;
        } catch (const EFOpenError&) {
        }
        try {
            TFileStream ro(Engine("a.zip"), 64);
        } catch (...) {
            code = 2;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(FileStreamTest, OpenAndCreateErrorsNameFileAndReason) {
    try {
        TFileStream s(Engine("missing.zip"), 34);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), u"Cannot open file \"" + Engine("missing.zip") +
                                   u"\". No such file or directory");
    }
    try {
        TFileStream s(Engine("no\\such\\dir\\gsm.zip"), fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), u"Cannot create file \"" + Engine("no\\such\\dir\\gsm.zip") +
                                   u"\". No such file or directory");
    }
    // A folder is not a file.
    EXPECT_THROW(TFileStream(Engine(""), fmOpenRead | fmShareDenyNone), EFOpenError);
    // The read-only medium case: 34 fails, 64 works.
    {
        TFileStream c(Engine("ro.zip"), fmCreate);
        c.WriteBuffer("PK", 2);
    }
    chmod(Native("ro.zip").c_str(), 0444);
    if (geteuid() != 0) {
        EXPECT_THROW(TFileStream(Engine("ro.zip"), 34), EFOpenError);
    }
    TFileStream ro(Engine("ro.zip"), 64);
    EXPECT_EQ(ro.Size(), 2);
    // A lock held elsewhere: an open file of this process with an exclusive flock.
    const int fd = open(Native("ro.zip").c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), -1); // ro holds a shared lock
    close(fd);
}

TEST_F(FileStreamTest, ReadBufferAndWriteBufferRaise) {
    {
        TFileStream c(Engine("f"), fmCreate);
        c.WriteBuffer("abc", 3);
    }
    TFileStream in(Engine("f"), fmOpenRead | fmShareDenyNone);
    char buf[8];
    try {
        in.ReadBuffer(buf, 4);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), u"Stream read error");
    }
    try {
        in.WriteBuffer("x", 1);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), u"Stream write error");
    }
    EXPECT_EQ(in.Seek(-5, soBeginning), -5); // a position before the start reads nothing
    EXPECT_EQ(in.Read(buf, 1), 0);
}

TEST_F(FileStreamTest, OffsetsBeyondFourGiB) {
    struct statvfs vfs {};
    ASSERT_EQ(statvfs(FDir.c_str(), &vfs), 0);
    const int64_t big = (int64_t{5} << 30) + 12345; // sparse: only the tail takes space
    {
        TFileStream fs(Engine("big"), fmCreate);
        fs.SetSize(big);
        ASSERT_EQ(fs.Seek(-4, soEnd), big - 4);
        fs.WriteBuffer("TAIL", 4);
        ASSERT_EQ(fs.Size(), big);
        ASSERT_EQ(fs.Seek(int64_t{1} << 32, soBeginning), int64_t{1} << 32);
        fs.WriteBuffer("MID", 3);
    }
    TFileStream fs(Engine("big"), fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(fs.Size(), big);
    char buf[4];
    fs.Seek(big - 4, soBeginning);
    fs.ReadBuffer(buf, 4);
    EXPECT_EQ(std::string(buf, 4), "TAIL");
    fs.Seek(int64_t{1} << 32, soBeginning);
    fs.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "MID");
    EXPECT_EQ(fs.Position(), (int64_t{1} << 32) + 3);
}

TEST_F(FileStreamTest, CopyFromAndMemoryFiles) {
    TMemoryStream m;
    std::vector<uint8_t> data(300000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i % 251);
    }
    m.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    m.SaveToFile(Engine("saved"));
    EXPECT_EQ(ReadNative(Native("saved")), data);

    TMemoryStream loaded;
    loaded.LoadFromFile(Engine("saved"));
    EXPECT_EQ(loaded.Data(), data);
    EXPECT_EQ(loaded.Position(), 0);

    TFileStream out(Engine("copy"), fmCreate);
    EXPECT_EQ(out.CopyFrom(m, 0), 300000); // 0: the whole source from its start
    m.SetPosition(1000);
    EXPECT_EQ(out.CopyFrom(m, 10), 10);
    out.Flush();
    std::vector<uint8_t> expected = data;
    expected.insert(expected.end(), data.begin() + 1000, data.begin() + 1010);
    EXPECT_EQ(ReadNative(Native("copy")), expected);
    m.SetPosition(static_cast<int64_t>(data.size()) - 5);
    EXPECT_THROW(out.CopyFrom(m, 10), EReadError);
    EXPECT_THROW(loaded.LoadFromFile(Engine("missing")), EFOpenError);
}

TEST(MemoryStreamTest, SeekReadWriteSetSize) {
    TMemoryStream m;
    EXPECT_EQ(m.Write("hello", 5), 5);
    EXPECT_EQ(m.Seek(10, soBeginning), 10);
    EXPECT_EQ(m.Write("!", 1), 1); // gap is zero-filled
    EXPECT_EQ(m.Size(), 11);
    EXPECT_EQ(m.Memory()[7], 0);
    m.SetPosition(1);
    char buf[16] = {};
    EXPECT_EQ(m.Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "ell");
    EXPECT_EQ(m.Seek(-2, soEnd), 9);
    EXPECT_EQ(m.Read(buf, 16), 2);
    EXPECT_EQ(m.Read(buf, 16), 0);
    m.SetSize(3);
    EXPECT_EQ(m.Position(), 3);
    EXPECT_EQ(m.Seek(-10, soCurrent), -7);
    EXPECT_EQ(m.Read(buf, 1), 0);
    EXPECT_EQ(m.Write(buf, 1), 0);
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
    EXPECT_EQ(m.Seek(INT64_MAX, soBeginning), INT64_MAX);
    EXPECT_EQ(m.Seek(1, soCurrent), -1); // overflow gives an invalid position
}

TEST(MemoryStreamTest, StringAndReadOnlyAndNullStreams) {
    TStringStream s("abc");
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 3);
    s.WriteBuffer("\xD0\xFF", 2);
    EXPECT_EQ(s.DataString(), std::string("abc\xD0\xFF"));
    s.SetSize(1);
    EXPECT_EQ(s.DataString(), "a");

    const char data[] = "0123456789";
    TReadOnlyMemoryStream r(data, 10);
    EXPECT_EQ(r.Size(), 10);
    EXPECT_EQ(r.Seek(-3, soEnd), 7);
    EXPECT_EQ(r.Read(buf, 8), 3);
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(r.Write("x", 1), 0);
    EXPECT_THROW(r.SetSize(0), EWriteError);
    EXPECT_THROW(r.WriteBuffer("x", 1), EWriteError);

    TNullStream n;
    char untouched[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(n.Read(untouched, 4), 4);
    EXPECT_EQ(std::string(untouched, 4), "abcd");
    EXPECT_EQ(n.Write(untouched, 1000), 1000);
    EXPECT_EQ(n.Seek(500, soBeginning), 0);
    n.SetSize(100);
    EXPECT_EQ(n.Size(), 0);
    n.WriteBuffer(untouched, 4);
    n.ReadBuffer(untouched, 4);
}

} // namespace
} // namespace za

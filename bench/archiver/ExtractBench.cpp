// What the entry pipeline adds to zlib: one 64 MiB text-like entry, Deflate
// and stored, extracted through ExtractToStream into a discarding stream,
// beside zlib's own raw inflate of the same data into a 1 MiB buffer, and,
// for the stored entry, a plain memcpy of its bytes and plain preads of the
// archive file. The archive sits in a file on /dev/shm
// (or $TMPDIR), so the pipeline's reads are real reads.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archiver/ZipArchiver.h"
#include "platform/Stream.h"
#include "support/ZipBuilder.h"

namespace {

constexpr size_t kSize = 64u << 20;

std::string TextLike(size_t n) {
    static const char* words[] = {"archive ", "entry ",  "directory ", "the ",  "of ",
                                  "data ",    "stream ", "volume ",    "zip\n", "and ",
                                  "file ",    "name ",   "header ",    "a ",    "central "};
    std::mt19937 rng(5);
    std::string v;
    v.reserve(n + 16);
    while (v.size() < n) {
        v += words[rng() % 15];
        if (rng() % 7 == 0)
            v += static_cast<char>('0' + rng() % 10);
    }
    v.resize(n);
    return v;
}

struct TFixture {
    std::string plain = TextLike(kSize);
    std::string deflated = za::test::DeflateRaw(plain);
    std::string deflatePath, storedPath;

    TFixture() {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        const std::string base =
            std::string(dir ? dir : "/tmp") + "/za-extract-bench-" + std::to_string(getpid());
        deflatePath = base + "-deflate.zip";
        storedPath = base + "-stored.zip";
        za::test::ZipEntry d = za::test::ZipEntry::Deflated("data.txt", plain);
        d.raw = deflated; // deflated once, for the archive and the zlib baseline alike
        Write(deflatePath, za::test::ZipBuilder().Add(d).Build());
        Write(storedPath, za::test::ZipBuilder().AddStored("data.txt", plain).Build());
    }
    ~TFixture() {
        std::remove(deflatePath.c_str());
        std::remove(storedPath.c_str());
    }
    static void Write(const std::string& path, const std::string& data) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
};

TFixture& Fixture() {
    static TFixture f;
    return f;
}

// Counts what is written and keeps nothing.
class TCountingSink : public za::TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
        FPos += count;
        FSize = std::max(FSize, FPos);
        return count;
    }
    int64_t Seek(int64_t offset, za::TSeekOrigin origin) override {
        FPos = origin == za::soBeginning ? offset
               : origin == za::soCurrent ? FPos + offset
                                         : FSize + offset;
        return FPos;
    }
    void SetSize(int64_t size) override { FSize = size; }
    int64_t Written() const { return FSize; }

private:
    int64_t FPos = 0, FSize = 0;
};

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

void BM_ZlibRawInflate(benchmark::State& state) {
    const auto& f = Fixture();
    std::vector<uint8_t> out(1 << 20);
    for (auto _ : state) {
        z_stream s{};
        inflateInit2(&s, -MAX_WBITS);
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(f.deflated.data()));
        s.avail_in = static_cast<uInt>(f.deflated.size());
        int rc = Z_OK;
        while (rc == Z_OK) {
            s.next_out = out.data();
            s.avail_out = static_cast<uInt>(out.size());
            rc = inflate(&s, Z_NO_FLUSH);
        }
        benchmark::DoNotOptimize(out.data());
        inflateEnd(&s);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_ZlibRawInflate)->Unit(benchmark::kMillisecond);

void ExtractOne(benchmark::State& state, const std::string& path) {
    za::TZipArchiver arc;
    arc.SetFileName(Wide(path));
    arc.OpenArchive();
    for (auto _ : state) {
        TCountingSink sink;
        arc.ExtractToStream(u"data.txt", sink);
        if (sink.Written() != static_cast<int64_t>(kSize))
            state.SkipWithError("wrong size");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_PipelineDeflate(benchmark::State& state) {
    ExtractOne(state, Fixture().deflatePath);
}
BENCHMARK(BM_PipelineDeflate)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
    const auto& f = Fixture();
    std::vector<uint8_t> out(1 << 20);
    for (auto _ : state) {
        for (size_t at = 0; at < kSize; at += out.size())
            std::memcpy(out.data(), f.plain.data() + at, out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// The floor for reading the stored archive: 1 MiB preads of the file.
void BM_PreadFile(benchmark::State& state) {
    const std::string& path = Fixture().storedPath;
    std::vector<uint8_t> buf(1 << 20);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        const int fd = fileno(f);
        off_t at = 0;
        ssize_t n;
        while ((n = pread(fd, buf.data(), buf.size(), at)) > 0)
            at += n;
        std::fclose(f);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_PreadFile)->Unit(benchmark::kMillisecond);

void BM_PipelineStored(benchmark::State& state) {
    ExtractOne(state, Fixture().storedPath);
}
BENCHMARK(BM_PipelineStored)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

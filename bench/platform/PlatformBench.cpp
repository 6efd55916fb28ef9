// Speed of the buffered file stream for the access patterns of the engine:
// the directory loader's small field reads, block writes of extraction, and
// the code-page conversion of entry names.
#include "platform/CodePage.h"
#include "platform/Path.h"
#include "platform/Stream.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string TempName(const char* tag) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/za_bench_" + tag + "_" + std::to_string(getpid());
}

std::u16string Engine(const std::string& native) {
    return za::FromUtf8(native);
}

// Reads a 4 MiB file as 2- and 4-byte fields, like a central directory walk.
void BM_FileStreamFieldReads(benchmark::State& state) {
    const std::string name = TempName("fields");
    {
        za::TFileStream out(Engine(name), za::fmCreate);
        std::vector<uint8_t> block(1 << 20, 0x5A);
        for (int i = 0; i < 4; ++i) {
            out.WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
        }
    }
    for (auto _ : state) {
        za::TFileStream in(Engine(name), za::fmOpenRead | za::fmShareDenyNone);
        uint32_t sum = 0;
        for (int i = 0; i < (4 << 20) / 6; ++i) {
            uint16_t a;
            uint32_t b;
            in.ReadBuffer(&a, 2);
            in.ReadBuffer(&b, 4);
            sum += a + b;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * (4 << 20));
    unlink(name.c_str());
}
BENCHMARK(BM_FileStreamFieldReads)->Unit(benchmark::kMillisecond);

// Writes 16 MiB in blocks of the given size (extraction writes 64 KiB blocks).
void BM_FileStreamBlockWrites(benchmark::State& state) {
    const std::string name = TempName("writes");
    const auto blockSize = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> block(blockSize, 0xA5);
    for (auto _ : state) {
        za::TFileStream out(Engine(name), za::fmCreate);
        for (size_t done = 0; done < (16u << 20); done += blockSize) {
            out.WriteBuffer(block.data(), static_cast<int64_t>(blockSize));
        }
    }
    state.SetBytesProcessed(state.iterations() * (16 << 20));
    unlink(name.c_str());
}
BENCHMARK(BM_FileStreamBlockWrites)->Arg(512)->Arg(65535)->Unit(benchmark::kMillisecond);

void BM_OemNameToUnicode(benchmark::State& state) {
    const std::string name = "\x8F\xE0\xA8\xA2\xA5\xE2\\\x8F\xE0\xA8\xA2\xA5\xE2.txt";
    for (auto _ : state) {
        benchmark::DoNotOptimize(za::AnsiToUnicode(za::OemToAnsi(name)));
    }
}
BENCHMARK(BM_OemNameToUnicode);

} // namespace

BENCHMARK_MAIN();

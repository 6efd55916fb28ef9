// Loading the directory of archives with 10,000, 100,000 and 1,000,000
// entries (30-character names, stored, empty), made in memory. Reports the
// load time and the heap the loaded directory keeps per entry.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "platform/Component.h"
#include "platform/Stream.h"
#include "zip/ZAArchiverHost.h"
#include "zip/ZADirManager.h"
#include "zip/ZARecords.h"

namespace {

class BenchHost : public za::IZAArchiverHost {
public:
    bool OpenCorruptedArchives() const override { return true; }
    za::TZASpanningMode SpanningMode() const override { return za::smNone; }
    bool OEMFileNames() const override { return true; }
    za::TStream* ArchiveStream() const override { return stream; }
    std::u16string SFXStub() const override { return {}; }
    int64_t GetVolumeSize(const za::TZAVolumeNumberInfo&) const override { return -1; }
    za::TZAVolumeNumberInfo& VolumeNumberInfo() override { return info; }
    void OpenVolume(const za::TZAVolumeNumberInfo&) override {}
    const za::TComponent* Component() const override { return nullptr; }
    za::TStream* stream = nullptr;
    za::TZAVolumeNumberInfo info;
};

// Local headers, then the central directory, then the end records (ZIP64
// ones when the count needs them).
std::string MakeArchive(int64_t entries) {
    std::string out;
    out.reserve(static_cast<size_t>(entries) * (30 + 46 + 60) + 200);
    std::vector<uint32_t> offsets(static_cast<size_t>(entries));
    char name[64];
    auto nameOf = [&](int64_t i) {
        std::snprintf(name, sizeof(name), "dir%03d/file_%016lld.txt", static_cast<int>(i % 1000),
                      static_cast<long long>(i));
        return std::string(name); // 30 characters
    };
    uint8_t h[46];
    for (int64_t i = 0; i < entries; ++i) {
        const std::string n = nameOf(i);
        offsets[static_cast<size_t>(i)] = static_cast<uint32_t>(out.size());
        za::TZAZipLocalHeader lh;
        lh.signature = za::ZipLocalHeaderSignature;
        lh.extractVersion = 10;
        lh.nameLength = static_cast<uint16_t>(n.size());
        lh.Store(h);
        out.append(reinterpret_cast<const char*>(h), za::TZAZipLocalHeader::Size);
        out += n;
    }
    const uint64_t dirStart = out.size();
    for (int64_t i = 0; i < entries; ++i) {
        const std::string n = nameOf(i);
        za::TZAZipCentralDir cd;
        cd.signature = za::ZipCentralHeaderSignature;
        cd.versionMadeBy = 20;
        cd.extractVersion = 10;
        cd.nameLength = static_cast<uint16_t>(n.size());
        cd.externalAttr = 0x20;
        cd.relOffsetLH = offsets[static_cast<size_t>(i)];
        cd.Store(h);
        out.append(reinterpret_cast<const char*>(h), za::TZAZipCentralDir::Size);
        out += n;
    }
    const uint64_t dirSize = out.size() - dirStart;
    const bool zip64 = entries > 0xFFFE;
    if (zip64) {
        uint8_t z[za::TZAZip64CentralDirEnd::Size];
        za::TZAZip64CentralDirEnd r;
        r.signature = za::Zip64CentralDirEndSignature;
        r.centralDirEndSize = 44;
        r.versionMadeBy = r.versionNeededToExtract = 45;
        r.entriesOnDisk = r.entriesCentralDir = static_cast<uint64_t>(entries);
        r.centralDirSize = dirSize;
        r.offsetStartDir = dirStart;
        const uint64_t at = out.size();
        r.Store(z);
        out.append(reinterpret_cast<const char*>(z), sizeof(z));
        uint8_t l[za::TZAZip64CentralDirEndLocator::Size];
        za::TZAZip64CentralDirEndLocator loc;
        loc.signature = za::Zip64CentralDirEndLocatorSignature;
        loc.offsetStartDirEnd = at;
        loc.totalNumberOfDisks = 1;
        loc.Store(l);
        out.append(reinterpret_cast<const char*>(l), sizeof(l));
    }
    uint8_t e[za::TZAZipCentralDirEnd::Size];
    za::TZAZipCentralDirEnd end;
    end.signature = za::ZipCentralDirEndSignature;
    end.entriesOnDisk = end.entriesCentralDir = zip64 ? 0xFFFF : static_cast<uint16_t>(entries);
    end.centralDirSize = static_cast<uint32_t>(dirSize);
    end.offsetStartDir = static_cast<uint32_t>(dirStart);
    end.Store(e);
    out.append(reinterpret_cast<const char*>(e), sizeof(e));
    return out;
}

const std::string& Archive(int64_t entries) {
    static std::map<int64_t, std::string> cache;
    auto it = cache.find(entries);
    if (it == cache.end())
        it = cache.emplace(entries, MakeArchive(entries)).first;
    return it->second;
}

void BM_LoadDirectory(benchmark::State& state) {
    const int64_t entries = state.range(0);
    const std::string& bytes = Archive(entries);
    double heapPerEntry = 0;
    for (auto _ : state) {
        za::TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        BenchHost host;
        host.stream = &stream;
        const auto m0 = mallinfo2();
        const size_t before = m0.uordblks + m0.hblkhd;
        auto dm = std::make_unique<za::TZADirManager>(&stream, false, host);
        dm->LoadDir();
        const auto m1 = mallinfo2();
        const size_t after = m1.uordblks + m1.hblkhd;
        heapPerEntry = static_cast<double>(after - before) / static_cast<double>(entries);
        if (dm->CDir().Count() != entries)
            state.SkipWithError("wrong entry count");
        state.PauseTiming();
        dm.reset();
        state.ResumeTiming();
    }
    state.counters["entries/s"] = benchmark::Counter(static_cast<double>(entries),
                                                     benchmark::Counter::kIsIterationInvariantRate);
    state.counters["heap_B/entry"] = heapPerEntry;
    state.counters["archive_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

BENCHMARK(BM_LoadDirectory)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();

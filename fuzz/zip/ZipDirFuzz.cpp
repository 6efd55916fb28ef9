// Opens an archive held in memory through the directory manager and walks
// the loaded directory. The first byte chooses the loader's settings; the
// rest is the archive.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "platform/Component.h"
#include "platform/Stream.h"
#include "zip/ZAArchiverHost.h"
#include "zip/ZADirManager.h"

namespace {

class FuzzHost : public za::IZAArchiverHost {
public:
    bool openCorrupted = true;
    za::TZASpanningMode spanning = za::smNone;
    bool oem = true;

    bool OpenCorruptedArchives() const override { return openCorrupted; }
    za::TZASpanningMode SpanningMode() const override { return spanning; }
    bool OEMFileNames() const override { return oem; }
    za::TStream* ArchiveStream() const override { return nullptr; } // a caller's stream: no volumes
    std::u16string SFXStub() const override { return {}; }
    int64_t GetVolumeSize(const za::TZAVolumeNumberInfo&) const override { return -1; }
    za::TZAVolumeNumberInfo& VolumeNumberInfo() override { return info; }
    void OpenVolume(const za::TZAVolumeNumberInfo&) override {}
    const za::TComponent* Component() const override { return &component; }

    za::TZAVolumeNumberInfo info;
    za::TComponent component;
};

volatile uint64_t sink;

void Walk(za::TZADirManager& dm) {
    uint64_t h =
        static_cast<uint64_t>(dm.StubSize()) ^ static_cast<uint64_t>(dm.CentralDirOffset());
    h ^= dm.IsSFXArchive() ? 1 : 0;
    h ^= dm.IsEncrypted() ? 2 : 0;
    for (unsigned char c : dm.ArchiveComment())
        h = h * 31 + c;
    auto& dir = dm.CDir();
    for (int32_t i = 0; i < dir.Count(); ++i) {
        const za::TDirItem item = dir.Items(i); // a copy sharing the blocks
        h = h * 31 + static_cast<uint64_t>(item.EffectiveCompSize());
        h = h * 31 + static_cast<uint64_t>(item.EffectiveUncompSize());
        h = h * 31 + static_cast<uint64_t>(item.EffectiveRelOffsetLH());
        h = h * 31 + item.CompressionMethod + item.ZAEncryptionAlgorithm;
        for (char16_t c : item.Name)
            h = h * 31 + c;
        for (unsigned char c : item.Comment)
            h = h * 31 + c;
        for (const auto& block : item.ExtraFields)
            for (uint16_t k = 0; k < block.dataSize; ++k)
                h = h * 31 + block.pData[k];
        int32_t no = -1;
        if (!dir.FileExists(item.Name, no) || no < i)
            __builtin_trap(); // the index lost an entry
    }
    sink = h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    FuzzHost host;
    host.openCorrupted = (data[0] & 1) != 0;
    host.oem = (data[0] & 2) != 0;
    host.spanning = (data[0] & 4) != 0 ? za::smSplitting : za::smNone;
    za::TReadOnlyMemoryStream stream(data + 1, size - 1);
    try {
        za::TZADirManager dm(&stream, false, host);
        if (!dm.HasCentralDirEnd() && !host.openCorrupted)
            return 0;
        dm.LoadDir();
        Walk(dm);
        dm.LoadDir(); // loading again gives a consistent directory too
        Walk(dm);
    } catch (const std::exception&) {
        // EZAException and the platform's stream errors: clean refusals.
    }
    return 0;
}

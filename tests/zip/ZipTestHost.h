// A scripted archiver for the directory manager's tests.
#pragma once

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "archiver/ZAExcept.h"
#include "platform/Component.h"
#include "platform/Stream.h"
#include "zip/ZAArchiverHost.h"
#include "zip/ZADirManager.h"

namespace za::test {

class TestHost : public IZAArchiverHost {
public:
    bool openCorrupted = true;
    TZASpanningMode spanning = smNone;
    bool oemFileNames = true;
    TStream* archiveStream = nullptr;
    std::u16string sfxStub;
    int64_t volumeSize = -1;
    TZAVolumeNumberInfo volumeInfo;
    TComponent component;
    // Streams of the volumes, by number; OpenVolume makes one the archive stream.
    std::vector<TStream*> volumes;
    std::vector<int32_t> requested; // volume numbers asked for (-1 for the last)
    bool cancelVolumes = false;
    int32_t cancelFromVolume = INT32_MAX; // requests for this volume number and later are cancelled

    bool OpenCorruptedArchives() const override { return openCorrupted; }
    TZASpanningMode SpanningMode() const override { return spanning; }
    bool OEMFileNames() const override { return oemFileNames; }
    TStream* ArchiveStream() const override { return archiveStream; }
    std::u16string SFXStub() const override { return sfxStub; }
    int64_t GetVolumeSize(const TZAVolumeNumberInfo&) const override { return volumeSize; }
    TZAVolumeNumberInfo& VolumeNumberInfo() override { return volumeInfo; }
    void OpenVolume(const TZAVolumeNumberInfo& volume) override {
        requested.push_back(volume.VolumeNumber());
        if (cancelVolumes || volume.VolumeNumber() >= cancelFromVolume)
            throw EZAException(45, &component);
        const int32_t n =
            volume.LastVolume() ? static_cast<int32_t>(volumes.size()) - 1 : volume.VolumeNumber();
        if (n < 0 || n >= static_cast<int32_t>(volumes.size()))
            throw EZAException(45, &component);
        archiveStream = volumes[static_cast<size_t>(n)];
        archiveStream->SetPosition(0);
        volumeInfo.TakeVolumeOf(volume);
    }
    const TComponent* Component() const override { return &component; }
};

// An archive held in memory with a manager on it, as the archiver's own stream.
struct LoadedArchive {
    std::string bytes;
    std::unique_ptr<TReadOnlyMemoryStream> stream;
    TestHost host;
    std::unique_ptr<TZADirManager> manager;

    explicit LoadedArchive(std::string data) : bytes(std::move(data)) {
        stream = std::make_unique<TReadOnlyMemoryStream>(bytes.data(), bytes.size());
        host.archiveStream = stream.get();
    }
    TZADirManager& Open() {
        manager = std::make_unique<TZADirManager>(stream.get(), false, host);
        return *manager;
    }
    TZADirManager& Load() {
        Open().LoadDir();
        return *manager;
    }
};

} // namespace za::test

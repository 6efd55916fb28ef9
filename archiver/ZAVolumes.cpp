// Volumes of the archive: bringing the wanted volume's stream into place,
// the names of the volumes of a multi-volume set, and how the open sequence
// settles the spanning mode of an archive it opens.
#include "archiver/ZipArchiver.h"

#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "zip/ZADirManager.h"

namespace za {

namespace {

constexpr int32_t NativeVolumeRequestCancelled = 45;
// A new volume needs more than this many free bytes on its drive.
constexpr int64_t MinFreeForNewVolume = 65536;

bool ContainsExe(const std::u16string& s) {
    return AsciiLowerCase(s).find(u".exe") != std::u16string::npos;
}

} // namespace

void TZABaseArchiver::MakeVolumeFileName(std::u16string& Name, int32_t VolumeNumber,
                                         bool CheckExists) {
    // Every volume name is formed from the archive's FileName, so forming a
    // name twice (after a disk prompt) gives the same result.
    const std::u16string folder = ExtractFilePath(FFileName);
    const std::u16string ext = ExtractFileExt(FFileName);
    const std::u16string fileName = ExtractFileName(FFileName);
    const std::u16string base = fileName.substr(0, fileName.size() - ext.size());
    const bool sfx =
        (DMHandle && DMHandle->StubSize() != 0) || !FSFXStub.empty() || ContainsExe(ext);
    const int64_t n = int64_t{VolumeNumber} + 1;

    auto form = [&](bool advanced) -> std::u16string {
        if (FSpanningMode == smSpanning && VolumeNumber != -1) {
            const std::u16string spannedExt = sfx ? u".exe" : ext;
            if (advanced) {
                return folder + base + u"_" + Format(u"%.3u", {n}) + spannedExt;
            }
            return folder + base + spannedExt;
        }
        if (FSpanningMode == smSplitting) {
            if (VolumeNumber == 0 && sfx) {
                return folder + base + u".exe";
            }
            if (VolumeNumber != -1) {
                if (advanced) {
                    return folder + base + u"_" + Format(u"%.3u", {n}) + ext;
                }
                return folder + base + u".Z" + Format(u"%.2d", {n});
            }
            if (sfx) {
                return folder + base + u".ZIP";
            }
        }
        return Name;
    };

    const bool advanced = FSpanningOptions.AdvancedNaming();
    std::u16string result = form(advanced);
    if (CheckExists && FSpanningMode == smSpanning && !FileExists(result)) {
        const std::u16string other = form(!advanced);
        if (FileExists(other)) {
            result = other;
        }
    }
    if (FSpanningMode == smSplitting && !FileExists(result)) {
        // Volume names are matched without regard to case, as on the file
        // systems split sets come from: "set.Z01" is found as "set.z01".
        const std::u16string resultExt = ExtractFileExt(result);
        const std::u16string lower =
            result.substr(0, result.size() - resultExt.size()) + AsciiLowerCase(resultExt);
        if (FileExists(lower)) {
            result = lower;
        }
    }
    Name = result;
}

void TZABaseArchiver::OpenVolume(const TZAVolumeNumberInfo& volume) {
    if (FSpanningMode == smNone) {
        if (FCompressedStream == nullptr) {
            OpenVolumeFile(FFileName);
        }
        FVolumeNumberInfo.TakeVolumeOf(volume);
        return;
    }
    if (FFileOpenMode != ModeCreate) {
        if (FCompressedStream != nullptr && FVolumeNumberInfo.IsEqualTo(volume)) {
            return;
        }
        for (;;) {
            std::u16string name = FFileName;
            bool cancel = true;
            if (volume.FirstVolume()) {
                DoRequestFirstVolume(name, cancel);
            } else if (volume.LastVolume()) {
                DoRequestLastVolume(name, cancel);
            } else {
                DoRequestMiddleVolume(volume.VolumeNumber(), name, cancel);
            }
            if (cancel) {
                throw EZAException(NativeVolumeRequestCancelled, this);
            }
            if (name.empty() && FSpanningMode != smSpanning) {
                return;
            }
            if (FileExists(name)) {
                OpenVolumeFile(name);
                FVolumeNumberInfo.TakeVolumeOf(volume);
                return;
            }
        }
    }
    // A new volume of a set being written: ask for a blank volume until its
    // drive has room for it.
    FreeArchiveStream();
    const int64_t limit = FSpanningOptions.GetVolumeSize(volume);
    std::u16string name;
    for (;;) {
        name = FFileName;
        bool cancel = false;
        DoRequestBlankVolume(volume.VolumeNumber(), name, cancel);
        if (cancel) {
            throw EZAException(NativeVolumeRequestCancelled, this);
        }
        const int64_t free = DiskFree(name);
        const bool roomy =
            free < 0 || (free > MinFreeForNewVolume &&
                         (FSpanningMode != smSpanning || limit <= 0 || free >= limit));
        if (roomy) {
            break;
        }
        DoDiskFull(volume.VolumeNumber(), name, cancel);
        if (cancel) {
            throw EZAException(NativeVolumeRequestCancelled, this);
        }
    }
    OpenVolumeFile(name);
    FVolumeNumberInfo.TakeVolumeOf(volume);
}

int64_t TZABaseArchiver::Zip64LastVolumeNumber() {
    // A ZIP64 archive may leave the end record's volume number at its marker;
    // the locator right before the end record then gives the volume count.
    // Without a readable locator the marker is taken as volume 0, the only
    // reading under which a single ZIP64 file opens as what it is.
    TZAZipCentralDirEnd record;
    int64_t position = -1;
    if (!DMHandle->FindCentralDirEnd(ZipCentralDirEndSignature, record, position) ||
        position < static_cast<int64_t>(TZAZip64CentralDirEndLocator::Size)) {
        return 0;
    }
    uint8_t raw[TZAZip64CentralDirEndLocator::Size];
    FCompressedStream->SetPosition(position - static_cast<int64_t>(sizeof raw));
    if (FCompressedStream->Read(raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) {
        return 0;
    }
    const TZAZip64CentralDirEndLocator locator = TZAZip64CentralDirEndLocator::Parse(raw);
    if (locator.signature != Zip64CentralDirEndLocatorSignature ||
        locator.totalNumberOfDisks == 0) {
        return 0;
    }
    return int64_t{locator.totalNumberOfDisks} - 1;
}

void TZABaseArchiver::DetectSpanningMode(bool endRecordFound) {
    if (!endRecordFound) {
        FSpanningMode = IsRemovableDrive(FFileName) ? smSpanning : smNone;
        return;
    }
    int64_t d = DMHandle->CentralDirEnd().diskNumber;
    if (d == Zip64Marker16) {
        d = Zip64LastVolumeNumber();
    }
    if (DMHandle->HasCentralDirEnd() && d == 0) {
        FSpanningMode = smNone;
        return;
    }
    FSpanningMode = smSplitting;
    const int32_t previous = static_cast<int32_t>(d - 1);
    std::u16string name = FFileName;
    MakeVolumeFileName(name, previous, false);
    if (FileExists(name)) {
        if (d == 0) {
            FSpanningMode = smNone;
        }
        return;
    }
    const bool advanced = FSpanningOptions.AdvancedNaming();
    FSpanningOptions.SetAdvancedNaming(!advanced);
    name = FFileName;
    MakeVolumeFileName(name, previous, false);
    if (FileExists(name)) {
        return;
    }
    FSpanningOptions.SetAdvancedNaming(advanced);
    if (ContainsExe(FFileName) || (d == 0 && !IsRemovableDrive(FFileName))) {
        FSpanningMode = smNone;
    } else {
        FSpanningMode = smSpanning;
    }
}

} // namespace za

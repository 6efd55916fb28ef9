// Volume descriptor of a multi-volume archive: which volume (first, last, or
// one by number) an operation means, and the number of the last volume once
// known.
#pragma once

#include <cstdint>

#include "archiver/ZATypes.h"

namespace za {

class TZAVolumeNumberInfo {
public:
    TZAVolumeNumberInfo() { Init(); }

    // Back to "not yet determined": kind vnkUnknown, both numbers -1.
    void Init() {
        FVolumeKind = vnkUnknown;
        FVolumeNumber = -1;
        FLastVolumeNumber = -1;
    }

    // Volume 0.
    bool FirstVolume() const { return FVolumeNumber == 0; }
    // True: number 0, kind vnkFirst. False does nothing.
    void SetFirstVolume(bool value) {
        if (value) {
            FVolumeNumber = 0;
            FVolumeKind = vnkFirst;
        }
    }

    // While the last number is unknown the kind decides, otherwise the numbers.
    bool LastVolume() const {
        if (FLastVolumeNumber == -1)
            return FVolumeKind == vnkLast;
        return FVolumeNumber == FLastVolumeNumber;
    }
    // True: number := last number, kind vnkLast. False does nothing.
    void SetLastVolume(bool value) {
        if (value) {
            FVolumeNumber = FLastVolumeNumber;
            FVolumeKind = vnkLast;
        }
    }

    int32_t VolumeNumber() const { return FVolumeNumber; }
    // A volume named by its number: kind vnkCustom.
    void SetVolumeNumber(int32_t value) {
        FVolumeKind = vnkCustom;
        FVolumeNumber = value;
    }

    int32_t LastVolumeNumber() const { return FLastVolumeNumber; }
    void SetLastVolumeNumber(int32_t value) { FLastVolumeNumber = value; }

    TZAVolumeNumberKind VolumeKind() const { return FVolumeKind; }
    void SetVolumeKind(TZAVolumeNumberKind value) { FVolumeKind = value; }

    // Takes the volume number and kind of another descriptor (the last
    // volume number stays), as the archiver does when it opened a volume.
    void TakeVolumeOf(const TZAVolumeNumberInfo& other) {
        FVolumeNumber = other.FVolumeNumber;
        FVolumeKind = other.FVolumeKind;
    }

    // Whether both descriptors mean the same volume.
    bool IsEqualTo(const TZAVolumeNumberInfo& other) const {
        if (LastVolume())
            return other.LastVolume();
        if (FirstVolume())
            return other.FirstVolume();
        if (FVolumeNumber < 0)
            return FVolumeKind == other.FVolumeKind;
        return FVolumeNumber == other.FVolumeNumber;
    }

    TZAVolumeNumberKind FVolumeKind;
    int32_t FVolumeNumber;
    int32_t FLastVolumeNumber;
};

} // namespace za

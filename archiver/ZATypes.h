// Enumerations shared by the archive object, the directory manager and callers.
// Every value occupies one byte.
#pragma once

#include <cstdint>

namespace za {

enum TZACompressionLevel : uint8_t { clNone = 0, clFastest = 1, clNormal = 2, clMax = 3 };
enum TZACompressionAlgorithm : uint8_t { caZLIB = 0, caBZIP = 1, caPPM = 2 };
enum TZACryptoAlgorithm : uint8_t {
    caPkzipClassic = 0,
    caAES_128 = 1,
    caAES_192 = 2,
    caAES_256 = 3
};
enum TZAProcessOperation : uint8_t {
    poAdd = 0,
    poMove = 1,
    poDelete = 2,
    poUpdate = 3,
    poExtract = 4,
    poTest = 5,
    poRename = 6,
    poChangeAttr = 7,
    poChangeComment = 8,
    poMakeSFX = 9,
    poMerge = 10
};
enum TZAProgressPhase : uint8_t { ppStart = 0, ppProcess = 1, ppEnd = 2 };
enum TZAAction : uint8_t { fxaRetry = 0, fxaIgnore = 1, fxaAbort = 2 };
enum TZAOverwriteMode : uint8_t {
    omPrompt = 0,
    omAlways = 1,
    omNever = 2,
    omIfNewer = 3,
    omIfOlder = 4
};
enum TZAFileShareMode : uint8_t {
    smShareCompat = 0,
    smShareExclusive = 1,
    smShareDenyWrite = 2,
    smShareDenyRead = 3,
    smShareDenyNone = 4
};
enum TZAStorePathMode : uint8_t {
    spNoPath = 0,
    spRelativePath = 1,
    spFullPath = 2,
    spFullPathWithDrive = 3
};
enum TZip64Mode : uint8_t { zmDisabled = 0, zmAuto = 1, zmAlways = 2 };
enum TZASpanningMode : uint8_t { smNone = 0, smSpanning = 1, smSplitting = 2 };
enum TZAVolumeSize : uint8_t {
    vsAutoDetect = 0,
    vsCustom = 1,
    vs1_44MB = 2,
    vs100MB = 3,
    vs200MB = 4,
    vs250MB = 5,
    vs600MB = 6,
    vs650MB = 7,
    vs700MB = 8,
    vs4700MB = 9
};
enum TZAVolumeNumberKind : uint8_t { vnkFirst = 0, vnkLast = 1, vnkCustom = 2, vnkUnknown = 3 };

// Key strength in bits of an AES method (256 for anything else that is not
// AES-128 or AES-192; callers only ask for AES methods).
inline int32_t AesKeyStrength(TZACryptoAlgorithm alg) {
    return alg == caAES_128 ? 128 : alg == caAES_192 ? 192 : 256;
}

} // namespace za

// The archive object's model and life: options, properties, opening,
// creating and closing an archive, in-memory archives and the bookkeeping of
// update transactions.
#include "archiver/ZipArchiver.h"

#include "archiver/ZAOutputWriter.h"
#include "crypto/ZAKeyPrefetch.h"

#include <utility>

#include "platform/Files.h"
#include "platform/Path.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirManager.h"

namespace za {

namespace {

// Native error numbers raised here.
constexpr int32_t NativeInvalidCompressionMode = 5;
constexpr int32_t NativeBlankFileNameOpen = 9;
constexpr int32_t NativeBlankFileNameOpenMode = 10;
constexpr int32_t NativeArchiveNotFound = 12;
constexpr int32_t NativeArchiveNotOpen = 13;
constexpr int32_t NativeNotInUpdate = 26;
constexpr int32_t NativeExistingArchiveInMemory = 28;
constexpr int32_t NativeBlankFileNameInMemory = 29;
constexpr int32_t NativeReadOnlyUpdate = 32;
constexpr int32_t NativeNoCentralDirEnd = 48;
constexpr int32_t NativeCustomStreamMultiVolume = 51;
constexpr int32_t NativeMultiVolumeNotModifiable = 52;
constexpr int32_t NativeMultiVolumeTransactions = 62;

// Restores a value when the scope ends, on every way out.
template <typename T> class TRestore {
public:
    TRestore(T& ref, T value) : FRef(ref), FOld(ref) { FRef = value; }
    ~TRestore() { FRef = FOld; }
    TRestore(const TRestore&) = delete;
    TRestore& operator=(const TRestore&) = delete;

private:
    T& FRef;
    T FOld;
};

} // namespace

// ---------------------------------------------------------------------------
// Options.

void TZAOptions::Assign(const TZAOptions& source) {
    const TZAFileShareMode keep = FShareMode;
    *this = source;
    FShareMode = keep;
}

int64_t TZASpanningOptions::GetVolumeSize(const TZAVolumeNumberInfo& volumeNumberInfo) const {
    if (volumeNumberInfo.FirstVolume() && FFirstVolumeSize > 0) {
        return FFirstVolumeSize;
    }
    switch (FVolumeSize) {
    case vsCustom:
        return FCustomVolumeSize;
    case vs1_44MB:
        return 1457664;
    case vs100MB:
        return 104857600;
    case vs200MB:
        return 209715200;
    case vs250MB:
        return 262144000;
    case vs600MB:
        return 629145600;
    case vs650MB:
        return 681574400;
    case vs700MB:
        return 734003200;
    case vs4700MB:
        return 4928307200;
    case vsAutoDetect:
    default:
        return -1;
    }
}

EZASearchMaskTooLong::EZASearchMaskTooLong(size_t length)
    : Exception(u"Search mask is too long: " + IntToStr(static_cast<int64_t>(length)) +
                u" characters, at most " +
                IntToStr(static_cast<int64_t>(TInternalSearchRec::MaxMaskLength)) +
                u" are allowed") {}

// ---------------------------------------------------------------------------
// Construction and destruction.

TZABaseArchiver::TZABaseArchiver(TComponent* AOwner) : TComponent(AOwner) {
    FNoProgress = false;
    SetCompressionLevel(clFastest);
    FActive = false;
    FZACryptoAlgorithm = caPkzipClassic;
    FExtractCorruptedFiles = false;
    FOpenCorruptedArchives = true;
    FSpanningMode = smNone;
    FZip64Mode = zmAuto;
    FSuppressPasswordEvent = false;
    FUnicodeFilenames = false;
}

TZABaseArchiver::~TZABaseArchiver() {
    CloseArchive();
}

TZipArchiver::TZipArchiver(TComponent* AOwner) : TZABaseArchiver(AOwner) {
    isZIPFormat = true;
    SetZip64Mode(zmDisabled);
    // The base constructor ran before this class's method choice existed.
    UpdateCompressionMethod();
}

TZipArchiver::~TZipArchiver() = default;

void TZipArchiver::SetPassword(const std::string& Value) {
    FPassword = Value;
}

void TZipArchiver::UpdateCompressionMethod() {
    FCompressionMethod = FCompressionMode != 0 ? 8 : 0;
}

// ---------------------------------------------------------------------------
// Properties.

void TZABaseArchiver::SetPassword(const std::string& Value) {
    FPassword = Value;
}

void TZABaseArchiver::UpdateCompressionMethod() {
    FCompressionMethod = 65535;
}

void TZABaseArchiver::SetCompressionLevel(TZACompressionLevel v) {
    FCompressionLevel = v;
    switch (v) {
    case clNone:
        FCompressionMode = 0;
        break;
    case clFastest:
        FCompressionMode = 1;
        break;
    case clNormal:
        FCompressionMode = 6;
        break;
    case clMax:
        FCompressionMode = 9;
        break;
    }
    UpdateCompressionMethod();
}

void TZABaseArchiver::SetCompressionMode(uint8_t v) {
    if (v > 9) {
        throw EZAException(NativeInvalidCompressionMode, this);
    }
    FCompressionMode = v;
    if (v == 0) {
        FCompressionLevel = clNone;
    } else if (v <= 3) {
        FCompressionLevel = clFastest;
    } else if (v <= 6) {
        FCompressionLevel = clNormal;
    } else {
        FCompressionLevel = clMax;
    }
    UpdateCompressionMethod();
}

void TZABaseArchiver::SetSpanningMode(TZASpanningMode v) {
    if (FActive) {
        throw Exception(u"Cannot set spanning mode on open archive");
    }
    FSpanningMode = v;
}

void TZABaseArchiver::SetActive(bool Value) {
    if (Value == FActive) {
        return;
    }
    if (Value) {
        OpenArchive();
    } else {
        CloseArchive();
    }
}

bool TZABaseArchiver::Exists() const {
    return FileExists(FFileName);
}

int64_t TZABaseArchiver::Size() {
    CheckActive();
    return FCompressedStream != nullptr ? FCompressedStream->Size() : 0;
}

std::string TZABaseArchiver::Comment() const {
    if (!FActive || !DMHandle) {
        return {};
    }
    return DMHandle->ArchiveComment();
}

void TZABaseArchiver::SetComment(const std::string& Value) {
    CheckActive();
    CheckModifiable();
    const std::string old = DMHandle->ArchiveComment();
    DMHandle->SetArchiveComment(Value);
    if (!InUpdate() && FSpanningMode == smNone) {
        try {
            DMHandle->SaveDir(true, FCompressedStream);
        } catch (...) {
            DMHandle->SetArchiveComment(old);
            throw;
        }
    }
}

// ---------------------------------------------------------------------------
// Checks.

void TZABaseArchiver::CheckActive() const {
    if (!FActive || !DMHandle) {
        throw EZAException(NativeArchiveNotOpen, this);
    }
}

void TZABaseArchiver::CheckNotInUpdate() const {
    if (InUpdate()) {
        throw EZAException(NativeNotInUpdate, this);
    }
}

void TZABaseArchiver::CheckModifiable() const {
    // A multi-volume archive that already holds entries can only change
    // inside a transaction.
    if (FSpanningMode != smNone && !InUpdate() && DMHandle && DMHandle->CDir().Count() > 0) {
        throw EZAException(NativeMultiVolumeNotModifiable, this);
    }
}

TZADirArray& TZABaseArchiver::Dir() const {
    CheckActive();
    return DMHandle->CDir();
}

// ---------------------------------------------------------------------------
// Opening.

bool TZABaseArchiver::IsSFXFileName(const std::u16string& fileName) {
    return AsciiLowerCase(ExtractFileExt(fileName)).find(u".exe") != std::u16string::npos;
}

void TZABaseArchiver::OpenArchive() {
    FUpdated = false;
    if (!FInMemory && ExtractFileName(FFileName).empty()) {
        throw EZAException(NativeBlankFileNameOpen, this);
    }
    // An archive this object holds open is closed before the probe below:
    // its own handle denies other writers and would make the probe fail, so
    // reopening the same archive would silently turn it read-only.
    if (FActive) {
        CloseArchive();
    }
    uint16_t mode;
    if (FInMemory || !FileExists(FFileName)) {
        mode = ModeCreate;
    } else if ((FileGetAttr(FFileName) & faReadOnly) != 0) {
        // The read-only attribute decides by itself: a privileged process
        // could open such a file for writing, but the archive must not be
        // changed through it.
        mode = ModeReadOnly;
    } else {
        // Probe once for reading and writing with other writers denied; a
        // read-only medium or another process holding the file fails it.
        try {
            TFileStream probe(FFileName, ModeReadWrite);
            mode = ModeReadWrite;
        } catch (const Exception&) {
            mode = ModeReadOnly;
        }
    }
    FFileOpenMode = mode;
    OpenArchive(mode);
}

void TZABaseArchiver::OpenArchive(uint16_t Mode) {
    FUpdated = false;
    if (!FInMemory && ExtractFileName(FFileName).empty()) {
        throw EZAException(NativeBlankFileNameOpenMode, this);
    }
    if (Mode != ModeCreate && !FileExists(FFileName) && FSpanningMode != smSpanning &&
        !IsRemovableDrive(FFileName)) {
        throw EZAException(NativeArchiveNotFound, {FFileName}, this);
    }
    if (Mode != ModeCreate && FInMemory) {
        throw EZAException(NativeExistingArchiveInMemory, this);
    }
    CloseArchive();
    IsCustomStream = false;
    FFileOpenMode = Mode;
    InternalOpen();
}

void TZABaseArchiver::OpenArchive(TStream& Stream, bool Create) {
    if (FSpanningMode != smNone) {
        throw EZAException(NativeCustomStreamMultiVolume, this);
    }
    CloseArchive();
    IsCustomStream = true;
    if (Create) {
        Stream.SetSize(0);
    }
    FCompressedStream = &Stream;
    DMHandle = std::make_unique<TZADirManager>(&Stream, Create, *this);
    if (Create) {
        DMHandle->SaveDir(true, &Stream);
    } else {
        DMHandle->LoadDir();
    }
    FActive = true;
    DoAfterOpen();
}

void TZABaseArchiver::InternalOpen() {
    if (FFileOpenMode == ModeCreate || FInMemory) {
        CreateNewArchive();
    } else {
        FSpanningMode = smNone;
        FVolumeNumberInfo.Init();
        if (IsSFXFileName(FFileName)) {
            OpenSFXArchive();
        } else {
            OpenRegularArchive();
        }
        if (DMHandle->HasCentralDirEnd() || FOpenCorruptedArchives) {
            DMHandle->LoadDir();
        } else {
            DMHandle.reset();
            FreeArchiveStream();
            throw EZAException(NativeNoCentralDirEnd, this);
        }
    }
    FActive = true;
    DoAfterOpen();
}

void TZABaseArchiver::CreateNewArchive() {
    if (FInMemory) {
        FreeArchiveStream();
        FCompressedStream = new TMemoryStream();
        IsCustomStream = false;
    } else {
        TZAVolumeNumberInfo first;
        first.SetFirstVolume(true);
        OpenVolume(first);
    }
    DMHandle = std::make_unique<TZADirManager>(FCompressedStream, true, *this);
}

void TZABaseArchiver::OpenRegularArchive() {
    TRestore<bool> noCorrupted(FOpenCorruptedArchives, false);
    for (;;) {
        DMHandle.reset();
        FVolumeNumberInfo.Init();
        TZAVolumeNumberInfo last;
        last.SetLastVolume(true);
        if (!FileExists(FFileName) && IsRemovableDrive(FFileName)) {
            FSpanningMode = smSpanning;
        }
        OpenVolume(last);
        DMHandle = std::make_unique<TZADirManager>(FCompressedStream, false, *this);
        const bool found = DMHandle->HasCentralDirEnd();
        DetectSpanningMode(found);
        if (found || FSpanningMode == smNone) {
            break;
        }
    }
}

void TZABaseArchiver::OpenSFXArchive() {
    {
        TRestore<bool> noCorrupted(FOpenCorruptedArchives, false);
        DMHandle.reset();
        FVolumeNumberInfo.Init();
        TZAVolumeNumberInfo last;
        last.SetLastVolume(true);
        OpenVolume(last);
        DMHandle = std::make_unique<TZADirManager>(FCompressedStream, false, *this);
        if (DMHandle->HasCentralDirEnd()) {
            DetectSpanningMode(true);
            return;
        }
        // No end record in the stub file: it may be the first part of a split
        // set whose last volume carries the same base name.
        const TZASpanningMode oldMode = FSpanningMode;
        FSpanningMode = smSplitting;
        std::u16string lastName = FFileName;
        MakeVolumeFileName(lastName, -1, false);
        FSpanningMode = oldMode;
        if (lastName == FFileName || !FileExists(lastName)) {
            return;
        }
        DMHandle.reset();
        OpenVolumeFile(lastName);
        FSpanningMode = smSplitting;
        DMHandle = std::make_unique<TZADirManager>(FCompressedStream, false, *this);
        const bool found = DMHandle->HasCentralDirEnd();
        DetectSpanningMode(found);
        if (found || FSpanningMode == smNone) {
            return;
        }
    }
    OpenRegularArchive();
}

void TZABaseArchiver::OpenVolumeFile(const std::u16string& fileName) {
    FreeArchiveStream();
    FCompressedStream = new TFileStream(fileName, FFileOpenMode);
    IsCustomStream = false;
    VolumeFileName = fileName;
}

void TZABaseArchiver::FreeArchiveStream() {
    if (FCompressedStream != nullptr && !IsCustomStream) {
        delete FCompressedStream;
    }
    FCompressedStream = nullptr;
}

// ---------------------------------------------------------------------------
// Closing.

void TZABaseArchiver::CloseArchive() {
    if (FActive) {
        try {
            CommitUpdate();
            if (FCompressedStream != nullptr && DMHandle &&
                FCompressedStream->Size() == DMHandle->StubSize()) {
                // A newly created archive that got no entries becomes a valid
                // empty ZIP file.
                DMHandle->SaveDir(true, FCompressedStream);
            }
        } catch (...) {
            // Closing always ends with the archive closed and released.
        }
        FActive = false;
    }
    try {
        FreeArchiveStream();
    } catch (...) {
    }
    FCompressedStream = nullptr;
    DMHandle.reset();
    FUpdateCount = 0;
}

// ---------------------------------------------------------------------------
// In-memory archives.

void TZABaseArchiver::SetInMemory(bool Value) {
    if (Value == FInMemory) {
        return;
    }
    if (FActive) {
        if (FInMemory) {
            if (FFileName.empty()) {
                throw EZAException(NativeBlankFileNameInMemory, this);
            }
            // Closing first writes the end record of a still empty archive.
            CommitUpdate();
            if (DMHandle && FCompressedStream->Size() == DMHandle->StubSize()) {
                DMHandle->SaveDir(true, FCompressedStream);
            }
            {
                TFileStream file(FFileName, ModeCreate);
                file.CopyFrom(*FCompressedStream, 0);
            }
            CloseArchive();
            FInMemory = false;
        } else {
            CloseArchive();
            FInMemory = true;
        }
        OpenArchive();
    }
    FInMemory = Value;
}

// ---------------------------------------------------------------------------
// Update transactions (bookkeeping only on the reading side).

void TZABaseArchiver::BeginUpdate() {
    if (FSpanningMode != smNone && FUpdated) {
        throw EZAException(NativeMultiVolumeTransactions, this);
    }
    if (FUpdateCount == 0) {
        if (!FActive) {
            OpenArchive();
        }
        if (FFileOpenMode == ModeReadOnly) {
            throw EZAException(NativeReadOnlyUpdate, this);
        }
        TZADirArray& dir = DMHandle->CDir();
        for (int32_t i = 0; i < dir.Count(); ++i) {
            dir.ItemsPtr(i).Modified = false;
        }
        DMHandle->RBCDir().Assign(dir);
    }
    ++FUpdateCount;
}

void TZABaseArchiver::EndUpdate() {
    if (FUpdateCount <= 0) {
        return;
    }
    if (FUpdateCount > 1) {
        --FUpdateCount;
        return;
    }
    FUpdated = true;
    CommitUpdate();
    if (FSpanningMode != smNone && FFileOpenMode == ModeCreate) {
        FFileOpenMode = ModeReadWrite;
    }
}

void TZABaseArchiver::CancelUpdate() {
    if (FUpdateCount > 0) {
        FUpdateCount = 0;
    }
}

void TZABaseArchiver::CommitUpdate() {
    if (FUpdateCount <= 0) {
        return;
    }
    // The reading side makes no changes inside a transaction, so there is
    // nothing to apply: the transaction just ends.
    FUpdateCount = 0;
}

} // namespace za

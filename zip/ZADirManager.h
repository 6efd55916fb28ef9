// The directory of an open archive: finding the end of central directory
// record (behind a comment, with ZIP64 records), loading every central header
// into the directory array, detecting prepended data (a self-extractor stub)
// and correcting the stored offsets, and rebuilding the directory from local
// headers when the central directory is missing or unreadable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Stream.h"
#include "zip/ZAArchiverHost.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirItem.h"
#include "zip/ZARecords.h"
#include "zip/ZAVolume.h"

namespace za {

// The last step of IsValidArchiveFile: confirms a directory rebuilt from local
// headers by testing the archive's entries (the archive object opens the file
// read-only with OpenCorruptedArchives on, runs TestFiles("*.*", 10431) and
// closes it). Returns whether the test passed; an exception counts as false.
using TZAConfirmByTestFiles = std::function<bool()>;

class TZADirManager {
public:
    // Search window of the end record: the 22-byte record, a comment of up to
    // 65,535 bytes and 43 bytes more.
    static constexpr int64_t EndRecordSearchSize = 65600;
    // Read window of the forward searches (local headers, descriptors, stub).
    static constexpr int64_t LocalHeaderSearchWindow = 65535;
    // Largest local extra field the rebuild accepts.
    static constexpr uint16_t MaxLocalExtraLength = 260;

    // stream: the archive stream (not owned); bCreate: a newly created
    // archive; arc: the owning archiver. Nothing is read.
    TZADirManager(TStream* stream, bool bCreate, IZAArchiverHost& arc);
    ~TZADirManager();
    TZADirManager(const TZADirManager&) = delete;
    TZADirManager& operator=(const TZADirManager&) = delete;

    // Loads the directory (rebuilding it from local headers when needed).
    void LoadDir();
    // Looks for the end record (leaving it in CentralDirEnd() and the comment
    // in ArchiveComment()); always true when OpenCorruptedArchives is on.
    bool HasCentralDirEnd();
    // The directory has entries and the first one's offset is not 0.
    bool IsSFXArchive() const;
    // The directory has entries and the first one is encrypted.
    bool IsEncrypted() const;
    // Empties the directory and resets the end record (signature kept).
    void ResetDir();
    // Writes the directory and a new end record to stream (nullptr: the
    // archive stream) at the end of the stub. Only the empty directory is
    // written here (22 bytes plus the comment); a directory with entries
    // belongs to the writing side and raises za::Exception.
    void SaveDir(bool recreateCDirEnd, TStream* stream = nullptr);

    // Steps of the loader, public for the archive object and for tests.
    bool FindCentralDirEnd(uint32_t signature, TZAZipCentralDirEnd& record, int64_t& position);
    bool IsValidCentralDirEnd(const TZAZipCentralDirEnd& record, int64_t candidate,
                              int64_t streamSize) const;
    void RecoverDir();
    void ScanLocalHeaders();
    int64_t FindLocalHeader(int64_t start);
    // Reads the descriptor that follows start; false when none is complete.
    bool FindDataDescriptor(int64_t start, TZAZipDataDescriptor& descriptor);
    void CheckTotalCompressedSize();
    void DetectStubSize(int64_t endRecordPosition);
    int64_t FindSignature(int64_t start, uint32_t signature);
    bool MatchesFirstLocalHeader(int64_t position);
    bool OffsetsIncludeStub() const;
    void ApplyStubOffset();

    // Judges a file without opening it as the archive: true for an open
    // archive, false for a missing file; true when its end record is found;
    // otherwise true only when the directory can be rebuilt from local headers
    // with at least one entry and confirmByTestFiles (when given) confirms it.
    static bool IsValidArchiveFile(const std::u16string& fileName, bool archiveIsOpen,
                                   IZAArchiverHost& arc,
                                   const TZAConfirmByTestFiles& confirmByTestFiles);

    // ---- state
    TZADirArray& CDir() { return *FCDir; }
    const TZADirArray& CDir() const { return *FCDir; }
    TZADirArray& RBCDir() { return *FRBCDir; }
    TStream* CompressedStream() const { return FCompressedStream; }
    bool IsCreate() const { return FCreate; }
    bool IsCustomStream() const { return FIsCustomStream; }
    const std::string& ArchiveComment() const { return FArchiveComment; }
    void SetArchiveComment(const std::string& value) { FArchiveComment = value; }
    const TZAZip64CentralDirEndLocator& Zip64CentralDirEndLocator() const { return FZip64Locator; }
    const TZAZip64CentralDirEnd& Zip64CentralDirEnd() const { return FZip64End; }
    const TZAZipCentralDirEnd& CentralDirEnd() const { return FCentralDirEnd; }
    TZAZipCentralDirEnd& CentralDirEndRef() { return FCentralDirEnd; }
    int64_t StubSize() const { return FStubSize; }
    void SetStubSize(int64_t value) {
        FStubSize = value;
        FStubOffsetBase = 0;
    }
    bool Zip64() const { return FZip64; }
    bool Aborted() const { return FAborted; }
    // Absolute position of the first central header; the stream size after a rebuild.
    int64_t CentralDirOffset() const { return FCentralDirOffset; }

private:
    class TWindowReader;
    // Holds one cached search window for the searches and reads of a rebuild
    // or a stub search; the outermost scope restores the stream position.
    class TSearchScope {
    public:
        explicit TSearchScope(TZADirManager& owner);
        ~TSearchScope();
        TSearchScope(const TSearchScope&) = delete;
        TSearchScope& operator=(const TSearchScope&) = delete;

    private:
        TZADirManager& FOwner;
        bool FCreated = false;
        int64_t FPosition = 0;
    };

    [[noreturn]] void Fail(int32_t nativeError) const;
    void CopySFXStub();
    void RequestVolume(const TZAVolumeNumberInfo& volume);
    void LoadEntries(int64_t endRecordPosition, int64_t workingPosition);
    void ApplyExtraField(int32_t index, TDirItem& item, const uint8_t* data, size_t length);
    int64_t SearchForward(int64_t start, uint32_t signature, int64_t minTail);
    int64_t StreamSize() const;

    TStream* FCompressedStream;
    bool FCreate;
    bool FIsCustomStream;
    IZAArchiverHost& FArc;
    std::unique_ptr<TZADirArray> FRBCDir;
    std::unique_ptr<TZADirArray> FCDir;
    std::string FArchiveComment;
    TZAZip64CentralDirEndLocator FZip64Locator;
    TZAZip64CentralDirEnd FZip64End;
    TZAZipCentralDirEnd FCentralDirEnd;
    int64_t FStubSize = 0;
    // Stored offset of the first entry when the stub was detected: the
    // stored offsets are shifted by StubSize minus this value.
    int64_t FStubOffsetBase = 0;
    bool FZip64 = false;
    bool FAborted = false;
    int64_t FCentralDirOffset = 0;
    // The loader found an end record before it fell back to the rebuild.
    bool FEndRecordSeen = false;
    // Cached window of the forward searches of a rebuild.
    std::unique_ptr<TWindowReader> FSearch;
};

} // namespace za

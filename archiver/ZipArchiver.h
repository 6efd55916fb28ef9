// The archive object: TZABaseArchiver holds the engine's state and code,
// TZipArchiver is the class applications instantiate. An archive is opened
// from a file (or created), from memory or from a caller's stream; its
// directory is held by a TZADirManager; entries are selected by masks and
// attributes; every event goes through a virtual Do* dispatcher that supplies
// a default (sometimes a question through the dialogs backend) when no
// handler is assigned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archiver/ZAExcept.h"
#include "archiver/ZAStrFunc.h"
#include "archiver/ZATypes.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/Stream.h"
#include "zip/ZAArchiverHost.h"
#include "zip/ZAVolume.h"

namespace za {
class TZAKeyPrefetcher;
class TZAOutputWriter;
} // namespace za

namespace za {

class TZABaseArchiver;
class TZADirManager;
class TZADirArray;
struct TDirItem;

// ---------------------------------------------------------------------------
// Events. The Sender is always the archive object; reference parameters are
// the ones a handler may change.

using TZANotifyEvent = std::function<void(TZABaseArchiver* Sender)>;
using TZAProgressEvent =
    std::function<void(TZABaseArchiver* Sender, double Progress, TZAProcessOperation Operation,
                       TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAFileProgressEvent = std::function<void(
    TZABaseArchiver* Sender, const std::u16string& FileName, double Progress,
    TZAProcessOperation Operation, TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZACopyTempFileProgressEvent = std::function<void(
    TZABaseArchiver* Sender, double Progress, TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAConfirmOverwriteEvent =
    std::function<void(TZABaseArchiver* Sender, const std::u16string& SourceFileName,
                       std::u16string& DestFileName, bool& Confirm)>;
using TZAConfirmProcessFileEvent =
    std::function<void(TZABaseArchiver* Sender, const std::u16string& FileName,
                       TZAProcessOperation Operation, bool& Confirm)>;
using TZAOnPasswordEvent =
    std::function<void(TZABaseArchiver* Sender, const std::u16string& FileName,
                       std::string& NewPassword, bool& SkipFile)>;
using TZAProcessFileFailureEvent = std::function<void(
    TZABaseArchiver* Sender, const std::u16string& FileName, TZAProcessOperation Operation,
    int32_t NativeError, int32_t ErrorCode, const std::u16string& ErrorMessage, TZAAction& Action)>;
using TZAOnRequestBlankVolumeEvent = std::function<void(
    TZABaseArchiver* Sender, int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestFirstVolumeEvent =
    std::function<void(TZABaseArchiver* Sender, std::u16string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestLastVolumeEvent =
    std::function<void(TZABaseArchiver* Sender, std::u16string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestMiddleVolumeEvent = std::function<void(
    TZABaseArchiver* Sender, int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel)>;
using TZAOnDiskFullEvent = std::function<void(TZABaseArchiver* Sender, int32_t VolumeNumber,
                                              const std::u16string& VolumeFileName, bool& Cancel)>;
using TZAProcessVolumeFailureEvent =
    std::function<void(TZABaseArchiver* Sender, TZAProcessOperation Operation, int32_t VolumeNumber,
                       const std::u16string& VolumeFileName, bool& Cancel)>;
using TZAOnStoreFileEvent =
    std::function<void(TZABaseArchiver* Sender, std::u16string& FileName, int32_t& FileAttr,
                       std::string& Comment, const std::u16string& OriginalFileName)>;
using TZAOnExtractFileEvent = std::function<void(TZABaseArchiver* Sender, std::u16string& FileName,
                                                 uint32_t& FileAttr, const std::string& Comment)>;

// ---------------------------------------------------------------------------
// Options.

// The attribute mask that selects every entry: read-only, hidden, system,
// volume label, folder, archive, normal, compressed, not content indexed.
constexpr int32_t ZASearchAllAttr = 10431; // 0x28BF

class TZAOptions {
public:
    TZAOptions() = default;

    // Copies every option except ShareMode, which keeps its value.
    void Assign(const TZAOptions& source);

    TZAStorePathMode StorePath() const { return FStorePath; }
    void SetStorePath(TZAStorePathMode v) { FStorePath = v; }
    bool Recurse() const { return FRecurse; }
    void SetRecurse(bool v) { FRecurse = v; }
    TZAFileShareMode ShareMode() const { return FShareMode; }
    void SetShareMode(TZAFileShareMode v) { FShareMode = v; }
    TZAOverwriteMode OverwriteMode() const { return FOverwriteMode; }
    void SetOverwriteMode(TZAOverwriteMode v) { FOverwriteMode = v; }
    bool CreateDirs() const { return FCreateDirs; }
    void SetCreateDirs(bool v) { FCreateDirs = v; }
    bool ReplaceReadOnly() const { return FReplaceReadOnly; }
    void SetReplaceReadOnly(bool v) { FReplaceReadOnly = v; }
    bool SetAttributes() const { return FSetAttributes; }
    void SetSetAttributes(bool v) { FSetAttributes = v; }
    int32_t SearchAttr() const { return FSearchAttr; }
    void SetSearchAttr(int32_t v) { FSearchAttr = v; }
    bool FlushBuffers() const { return FFlushBuffers; }
    void SetFlushBuffers(bool v) { FFlushBuffers = v; }
    bool OEMFileNames() const { return FOEMFileNames; }
    void SetOEMFileNames(bool v) { FOEMFileNames = v; }

private:
    TZAStorePathMode FStorePath = spRelativePath;
    bool FRecurse = true;
    TZAFileShareMode FShareMode = smShareDenyNone;
    TZAOverwriteMode FOverwriteMode = omAlways;
    bool FCreateDirs = true;
    bool FReplaceReadOnly = true;
    bool FSetAttributes = true;
    int32_t FSearchAttr = ZASearchAllAttr;
    bool FFlushBuffers = true;
    bool FOEMFileNames = true;
};

class TZASpanningOptions {
public:
    // The smallest custom volume size that is kept; smaller values are raised to it.
    static constexpr int64_t MinCustomVolumeSize = 65536;

    TZASpanningOptions() = default;

    void Assign(const TZASpanningOptions& source) { *this = source; }

    bool AdvancedNaming() const { return FAdvancedNaming; }
    void SetAdvancedNaming(bool v) { FAdvancedNaming = v; }
    int64_t FirstVolumeSize() const { return FFirstVolumeSize; }
    void SetFirstVolumeSize(int64_t v) { FFirstVolumeSize = v; }
    TZAVolumeSize VolumeSize() const { return FVolumeSize; }
    void SetVolumeSize(TZAVolumeSize v) { FVolumeSize = v; }
    int64_t CustomVolumeSize() const { return FCustomVolumeSize; }
    void SetCustomVolumeSize(int64_t v) {
        FCustomVolumeSize = v < MinCustomVolumeSize ? MinCustomVolumeSize : v;
    }
    bool SaveDirToFirstVolume() const { return FSaveDirToFirstVolume; }
    void SetSaveDirToFirstVolume(bool v) { FSaveDirToFirstVolume = v; }

    // Size limit of a volume in bytes; -1 for no fixed limit (vsAutoDetect).
    int64_t GetVolumeSize(const TZAVolumeNumberInfo& volumeNumberInfo) const;

private:
    bool FAdvancedNaming = false;
    int64_t FFirstVolumeSize = 0;
    TZAVolumeSize FVolumeSize = vsAutoDetect;
    int64_t FCustomVolumeSize = 0;
    bool FSaveDirToFirstVolume = false;
};

// ---------------------------------------------------------------------------
// Search records.

// The state of one search; the caller keeps it between FindFirst and FindNext.
struct TInternalSearchRec {
    static constexpr size_t MaxMaskLength = 259;

    int32_t ItemNo = 0;
    char16_t CFindMask[MaxMaskLength + 1] = {}; // stored form, zero-terminated
    bool FWildCards = false;
    int32_t FFindAttr = 0;
    std::u16string ExclusionMask;
    bool UseProperties = false;

    std::u16string_view FindMask() const { return std::u16string_view(CFindMask); }
};

// One search result.
struct TZAArchiveItem {
    std::u16string FileName;   // last path component, no trailing separator
    std::u16string StoredPath; // folder part with "\" and a trailing "\", or empty
    int64_t CompressedSize = 0;
    int64_t UncompressedSize = 0;
    double CompressionRate = 0;
    bool Encrypted = false;
    uint16_t LastModFileDate = 0;
    uint16_t LastModFileTime = 0;
    int32_t CRC = 0;
    uint32_t ExternalFileAttributes = 0;
    std::string Comment;
    TInternalSearchRec Handle;
};

// A search mask that does not fit the search record (more than 259 characters).
class EZASearchMaskTooLong : public Exception {
public:
    explicit EZASearchMaskTooLong(size_t length);
};

// ---------------------------------------------------------------------------
// The archive object.

class TZABaseArchiver : public TComponent, public IZAArchiverHost {
public:
    // File-open mode words the open sequence chooses from.
    static constexpr uint16_t ModeCreate = 0xFF00;    // 65280: create, replacing
    static constexpr uint16_t ModeReadWrite = 0x0022; // 34: read-write, deny writers
    static constexpr uint16_t ModeReadOnly = 0x0040;  // 64: read only, deny none

    explicit TZABaseArchiver(TComponent* AOwner = nullptr);
    ~TZABaseArchiver() override;

    // --- published properties ---------------------------------------------
    bool ExtractCorruptedFiles() const { return FExtractCorruptedFiles; }
    void SetExtractCorruptedFiles(bool v) { FExtractCorruptedFiles = v; }
    TZACompressionLevel CompressionLevel() const { return FCompressionLevel; }
    // Also sets CompressionMode: clNone 0, clFastest 1, clNormal 6, clMax 9.
    void SetCompressionLevel(TZACompressionLevel v);
    uint8_t CompressionMode() const { return FCompressionMode; }
    // 0..9 (else native error 5, nothing changes); also sets CompressionLevel.
    void SetCompressionMode(uint8_t v);
    // Always "6.60 "; assignments are ignored.
    std::u16string CurrentVersion() const { return u"6.60 "; }
    void SetCurrentVersion(const std::u16string&) {}
    const std::string& Password() const { return FPassword; }
    virtual void SetPassword(const std::string& Value);
    const std::u16string& FileName() const { return FFileName; }
    void SetFileName(const std::u16string& v) { FFileName = v; }
    const std::u16string& BaseDir() const { return FBaseDir; }
    void SetBaseDir(const std::u16string& v) { FBaseDir = v; }
    const std::u16string& TempDir() const { return FTempDir; }
    void SetTempDir(const std::u16string& v) { FTempDir = v; }
    TZASpanningMode SpanningMode() const override { return FSpanningMode; }
    // Refused (plain Exception) while an archive is open.
    void SetSpanningMode(TZASpanningMode v);
    TZASpanningOptions& SpanningOptions() { return FSpanningOptions; }
    const TZASpanningOptions& SpanningOptions() const { return FSpanningOptions; }
    void SetSpanningOptions(const TZASpanningOptions& v) { FSpanningOptions = v; }
    std::u16string SFXStub() const override { return FSFXStub; }
    void SetSFXStub(const std::u16string& v) { FSFXStub = v; }
    TZAOptions& Options() { return FOptions; }
    const TZAOptions& Options() const { return FOptions; }
    // Takes all option values, the share mode included.
    void SetOptions(const TZAOptions& v) { FOptions = v; }
    TZAStringList& FileMasks() { return FFileMasks; }
    const TZAStringList& FileMasks() const { return FFileMasks; }
    void SetFileMasks(const TZAStringList& v) { FFileMasks.Assign(v); }
    TZAStringList& ExclusionMasks() { return FExclusionMasks; }
    const TZAStringList& ExclusionMasks() const { return FExclusionMasks; }
    void SetExclusionMasks(const TZAStringList& v) { FExclusionMasks.Assign(v); }
    TZAStringList& NoCompressionMasks() { return FNoCompressionMasks; }
    const TZAStringList& NoCompressionMasks() const { return FNoCompressionMasks; }
    void SetNoCompressionMasks(const TZAStringList& v) { FNoCompressionMasks.Assign(v); }
    bool InMemory() const { return FInMemory; }
    void SetInMemory(bool Value);

    // Events (getter + setter each).
    const TZAFileProgressEvent& OnFileProgress() const { return FOnFileProgress; }
    void SetOnFileProgress(TZAFileProgressEvent e) { FOnFileProgress = std::move(e); }
    const TZAProgressEvent& OnOverallProgress() const { return FOnOverallProgress; }
    void SetOnOverallProgress(TZAProgressEvent e) { FOnOverallProgress = std::move(e); }
    const TZACopyTempFileProgressEvent& OnCopyTempFileProgress() const {
        return FOnCopyTempFileProgress;
    }
    void SetOnCopyTempFileProgress(TZACopyTempFileProgressEvent e) {
        FOnCopyTempFileProgress = std::move(e);
    }
    const TZAConfirmOverwriteEvent& OnConfirmOverwrite() const { return FOnConfirmOverwrite; }
    void SetOnConfirmOverwrite(TZAConfirmOverwriteEvent e) { FOnConfirmOverwrite = std::move(e); }
    const TZAConfirmProcessFileEvent& OnConfirmProcessFile() const { return FOnConfirmProcessFile; }
    void SetOnConfirmProcessFile(TZAConfirmProcessFileEvent e) {
        FOnConfirmProcessFile = std::move(e);
    }
    const TZANotifyEvent& AfterOpen() const { return FAfterOpen; }
    void SetAfterOpen(TZANotifyEvent e) { FAfterOpen = std::move(e); }
    const TZAOnPasswordEvent& OnPassword() const { return FOnPassword; }
    void SetOnPassword(TZAOnPasswordEvent e) { FOnPassword = std::move(e); }
    const TZAProcessFileFailureEvent& OnProcessFileFailure() const { return FOnProcessFileFailure; }
    void SetOnProcessFileFailure(TZAProcessFileFailureEvent e) {
        FOnProcessFileFailure = std::move(e);
    }
    const TZAOnRequestFirstVolumeEvent& OnRequestFirstVolume() const {
        return FOnRequestFirstVolume;
    }
    void SetOnRequestFirstVolume(TZAOnRequestFirstVolumeEvent e) {
        FOnRequestFirstVolume = std::move(e);
    }
    const TZAOnRequestLastVolumeEvent& OnRequestLastVolume() const { return FOnRequestLastVolume; }
    void SetOnRequestLastVolume(TZAOnRequestLastVolumeEvent e) {
        FOnRequestLastVolume = std::move(e);
    }
    const TZAOnRequestMiddleVolumeEvent& OnRequestMiddleVolume() const {
        return FOnRequestMiddleVolume;
    }
    void SetOnRequestMiddleVolume(TZAOnRequestMiddleVolumeEvent e) {
        FOnRequestMiddleVolume = std::move(e);
    }
    const TZAOnRequestBlankVolumeEvent& OnRequestBlankVolume() const {
        return FOnRequestBlankVolume;
    }
    void SetOnRequestBlankVolume(TZAOnRequestBlankVolumeEvent e) {
        FOnRequestBlankVolume = std::move(e);
    }
    const TZAOnDiskFullEvent& OnDiskFull() const { return FOnDiskFull; }
    void SetOnDiskFull(TZAOnDiskFullEvent e) { FOnDiskFull = std::move(e); }
    const TZAProcessVolumeFailureEvent& OnProcessVolumeFailure() const {
        return FOnProcessVolumeFailure;
    }
    void SetOnProcessVolumeFailure(TZAProcessVolumeFailureEvent e) {
        FOnProcessVolumeFailure = std::move(e);
    }
    const TZAOnStoreFileEvent& OnStoreFile() const { return FOnStoreFile; }
    void SetOnStoreFile(TZAOnStoreFileEvent e) { FOnStoreFile = std::move(e); }
    const TZAOnExtractFileEvent& OnExtractFile() const { return FOnExtractFile; }
    void SetOnExtractFile(TZAOnExtractFileEvent e) { FOnExtractFile = std::move(e); }

    // --- public properties --------------------------------------------------
    bool Active() const { return FActive; }
    // True opens (OpenArchive()), False closes; the current value does nothing.
    void SetActive(bool Value);
    // Whether a file named FileName exists.
    bool Exists() const;
    // Size of the open archive stream (native error 13 when closed).
    int64_t Size();
    // Number of entries that are not folders (native error 13 when closed).
    int32_t FileCount();
    bool InUpdate() const { return FUpdateCount > 0; }
    // The archive comment, empty while closed.
    std::string Comment() const;
    // Replaces the archive comment and rewrites the directory unless in update.
    void SetComment(const std::string& Value);
    TZAVolumeNumberInfo& VolumeNumberInfo() override { return FVolumeNumberInfo; }
    const TZAVolumeNumberInfo& VolumeNumberInfo() const { return FVolumeNumberInfo; }
    bool OpenCorruptedArchives() const override { return FOpenCorruptedArchives; }
    void SetOpenCorruptedArchives(bool v) { FOpenCorruptedArchives = v; }
    // ZIP method number for new entries (see UpdateCompressionMethod).
    uint16_t CompressionMethod() const { return FCompressionMethod; }
    // The mode the archive stream was (or will be) opened with.
    uint16_t FileOpenMode() const { return FFileOpenMode; }
    // The directory manager of the open archive (nullptr while closed).
    TZADirManager* DirManager() const { return DMHandle.get(); }

    // --- open and close -----------------------------------------------------
    // Opens FileName, creating it when it does not exist; a file that cannot be
    // opened for writing is opened read only.
    void OpenArchive();
    // Opens FileName with the given file-open mode (65280 creates).
    void OpenArchive(uint16_t Mode);
    // Uses a caller's stream as the archive (not freed by the object); with
    // Create the stream is emptied and an empty archive is written into it.
    void OpenArchive(TStream& Stream, bool Create);
    // Closes the open archive (a newly created, still empty one becomes a
    // 22-byte empty ZIP file); harmless when closed; never raises.
    void CloseArchive();

    // --- update transactions ------------------------------------------------
    void BeginUpdate();
    void EndUpdate();
    void CancelUpdate();

    // --- search -------------------------------------------------------------
    // Search driven by FileMasks / ExclusionMasks and Options.SearchAttr.
    bool FindFirst(TZAArchiveItem& F);
    // Search for one mask ("\" or "/" between folders; the drive is removed
    // unless Options.StorePath is spFullPathWithDrive). A mask of more than
    // 259 characters raises EZASearchMaskTooLong.
    bool FindFirst(const std::u16string& FileMask, TZAArchiveItem& F,
                   int32_t SearchAttr = ZASearchAllAttr, const std::u16string& ExclusionMask = {});
    bool FindNext(TZAArchiveItem& F);

    // --- extraction to files ------------------------------------------------
    // Entries selected by FileMasks and ExclusionMasks.
    void ExtractFiles();
    void ExtractFiles(const std::u16string& FileMask, int32_t SearchAttr = ZASearchAllAttr,
                      const std::u16string& ExclusionMask = u"");
    // --- extraction to memory and testing -----------------------------------
    void ExtractToStream(const std::u16string& FileName, TStream& Stream);
    void ExtractToBuffer(const std::u16string& FileName, void* Buffer, int32_t Count,
                         int64_t StartPosition);
    void ExtractToString(const std::u16string& FileName, std::u16string& Text);
    void TestFiles();
    void TestFiles(const std::u16string& FileMask, int32_t SearchAttr = ZASearchAllAttr,
                   const std::u16string& ExclusionMask = u"");
    bool IsFilePasswordValid(const std::u16string& FileName, const std::string& Password);
    bool FindEntryIndex(const std::u16string& Name, int32_t& Index);
    // Whether a file is a ZIP archive this engine can read: its directory
    // loads, or a rebuilt one passes a test of every entry.
    bool IsValidArchiveFile(const std::u16string& FileName);

    // Counters of the last multi-file operation (ExtractFiles, TestFiles),
    // readable after it returned; each run starts them at 0.
    // - ProcessedFileCount: the entries the run was to visit (tagged ones, or
    //   1 for the single-entry form).
    // - ProcessedFileNo: entries that finished without failure. This includes
    //   entries passed over without writing (folders, existing files kept by
    //   the overwrite rules or read-only, an overwrite declined) and entries
    //   whose password request was answered with SkipFile.
    // - SkippedFileCount: entries declined by OnConfirmProcessFile (not in
    //   ProcessedFileNo) plus entries skipped at the password request (also
    //   in ProcessedFileNo).
    // - FailedFileCount: entries whose failure was answered with Ignore, the
    //   entry whose failure was answered with Abort, and every tagged entry
    //   after it that the aborted run never reached.
    // Entries not reached after a cancel are in none of the last two.
    // A run delivered every entry exactly when NotExtractedFileCount() is 0.
    int32_t ProcessedFileNo() const { return FProcessedFileNo; }
    int32_t ProcessedFileCount() const { return FProcessedFileCount; }
    int32_t SkippedFileCount() const { return FSkippedFileCount; }
    int32_t FailedFileCount() const { return FFailedFileCount; }
    // Entries that the last multi-file operation did not deliver: declined,
    // failed, skipped at the password request, or not reached after a cancel
    // or an abort.
    int32_t NotExtractedFileCount() const {
        return FProcessedFileCount - FProcessedFileNo + FSkippedPasswordCount;
    }

    // --- IZAArchiverHost --------------------------------------------------------
    bool OEMFileNames() const override { return FOptions.OEMFileNames(); }
    TStream* ArchiveStream() const override { return FCompressedStream; }
    int64_t GetVolumeSize(const TZAVolumeNumberInfo& volume) const override {
        return FSpanningOptions.GetVolumeSize(volume);
    }
    void OpenVolume(const TZAVolumeNumberInfo& volume) override;
    const TComponent* Component() const override { return this; }

    // --- dispatchers ----------------------------------------------------------
    // Every event is fired through one of these; see ZADispatch.cpp for the
    // defaults applied when no handler is assigned.
    virtual void DoOverallProgress(double Progress, TZAProcessOperation Operation,
                                   TZAProgressPhase ProgressPhase, bool& Cancel);
    virtual void DoFileProgress(const std::u16string& FileName, double Progress,
                                TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
                                bool& Cancel);
    virtual void DoCopyTempFileProgress(double Progress, TZAProgressPhase ProgressPhase,
                                        bool& Cancel);
    virtual void DoConfirmOverwrite(const std::u16string& SourceFileName,
                                    std::u16string& DestFileName, bool& Confirm);
    virtual void DoConfirmProcessFile(const std::u16string& FileName, TZAProcessOperation Operation,
                                      bool& Confirm);
    virtual void DoPassword(const std::u16string& FileName, std::string& NewPassword,
                            bool& SkipFile);
    virtual void DoProcessFileFailure(const std::u16string& FileName, TZAProcessOperation Operation,
                                      int32_t NativeError, int32_t ErrorCode,
                                      const std::u16string& ErrorMessage, TZAAction& Action);
    virtual void DoRequestBlankVolume(int32_t VolumeNumber, std::u16string& VolumeFileName,
                                      bool& Cancel);
    virtual void DoRequestFirstVolume(std::u16string& VolumeFileName, bool& Cancel);
    virtual void DoRequestLastVolume(std::u16string& VolumeFileName, bool& Cancel);
    virtual void DoRequestMiddleVolume(int32_t VolumeNumber, std::u16string& VolumeFileName,
                                       bool& Cancel);
    virtual void DoDiskFull(int32_t VolumeNumber, const std::u16string& VolumeFileName,
                            bool& Cancel);
    virtual void DoProcessVolumeFailure(TZAProcessOperation Operation, int32_t VolumeNumber,
                                        const std::u16string& VolumeFileName, bool& Cancel);
    virtual void DoStoreFile(std::u16string& FileName, int32_t& FileAttr, std::string& Comment,
                             const std::u16string& OriginalFileName);
    virtual void DoExtractFile(std::u16string& FileName, uint32_t& FileAttr,
                               const std::string& Comment);
    void DoAfterOpen();

protected:
    // --- properties that TZipArchiver publishes -------------------------------
    TZip64Mode Zip64Mode() const { return FZip64Mode; }
    void SetZip64Mode(TZip64Mode v) { FZip64Mode = v; }
    bool UnicodeFilenames() const { return FUnicodeFilenames; }
    void SetUnicodeFilenames(bool v) { FUnicodeFilenames = v; }
    TZACryptoAlgorithm EncryptionMethod() const { return FZACryptoAlgorithm; }
    void SetEncryptionMethod(TZACryptoAlgorithm v) { FZACryptoAlgorithm = v; }

    // The ZIP method for new entries follows CompressionMode (65535 here).
    virtual void UpdateCompressionMethod();

    // --- checks ---------------------------------------------------------------
    void CheckActive() const;      // native error 13
    void CheckNotInUpdate() const; // native error 26
    void CheckModifiable() const;  // native error 52

    // --- failure protocol -------------------------------------------------------
    // Runs one entry attempt of a multi-file operation under the failure
    // protocol: an EZAException from `attempt` goes to DoProcessFileFailure
    // (with fileName, operation and the exception's numbers and message);
    // fxaRetry runs the attempt again from the start, without limit. Returns
    // fxaIgnore when the attempt succeeded or the failure is to be ignored,
    // fxaAbort when the operation must stop. Other exceptions pass through.
    TZAAction ProcessWithFailureProtocol(const std::u16string& fileName,
                                         TZAProcessOperation operation,
                                         const std::function<void()>& attempt);

    // --- open sequence ----------------------------------------------------------
    void InternalOpen();
    void CreateNewArchive();
    void OpenRegularArchive();
    void OpenSFXArchive();
    // Frees the archive stream and opens fileName with FileOpenMode as the new one.
    void OpenVolumeFile(const std::u16string& fileName);
    // Settles SpanningMode after the end record was looked for (with
    // OpenCorruptedArchives off); endRecordFound is that search's answer.
    void DetectSpanningMode(bool endRecordFound);
    // The number of the last volume of a ZIP64 archive whose end record holds
    // the volume-number marker.
    int64_t Zip64LastVolumeNumber();
    // Forms the file name of a volume (VolumeNumber -1: the last) from FileName.
    void MakeVolumeFileName(std::u16string& Name, int32_t VolumeNumber, bool CheckExists);
    // Applies an open transaction's changes and ends it.
    void CommitUpdate();
    // Frees the archive stream unless it is a caller's; forgets it.
    void FreeArchiveStream();
    static bool IsSFXFileName(const std::u16string& fileName);

    // --- selection ----------------------------------------------------------
    bool FindNextEntry(TZAArchiveItem& F);
    bool EntryMatchesMasks(int32_t Index, const TZAArchiveItem& F) const;
    void TagFiles(const std::u16string& FileMask, int32_t SearchAttr,
                  const std::u16string& ExclusionMask);
    void TagFilesByProperties();
    // The directory of the open archive (CheckActive first).
    TZADirArray& Dir() const;

    // --- extraction driver and data pipeline ----------------------------------
    void ProcessTaggedFiles(TZAProcessOperation Operation, int32_t ItemNo);
    void ExtractEntryToFile(int32_t ItemNo, const std::u16string& FileName,
                            const std::u16string& DestDir);
    void TestEntry(int32_t ItemNo, const std::u16string& FileName);
    // Writes out what an output file still buffers; a failed write goes
    // through DoDiskFull like the writes of the pipeline.
    void WriteOutPending(TFileStream& Stream);
    static std::u16string ResolveBaseDir(const std::u16string& BaseDir,
                                         const std::u16string& CurrentDir);
    void ExtractEntryToStream(int32_t ItemNo, TStream& Stream, int32_t Count,
                              int64_t StartPosition);
    struct TEntryWork;
    // Submits the key derivations of the AES entries that follow ItemNo in
    // a multi-entry run, so that they are done while this entry is decoded.
    void QueueKeyDerivations(int32_t ItemNo);
    // The Deflate loop of DecodeChunk with the write of each output buffer
    // overlapping the next inflate call.
    bool InflateOverlapped(TEntryWork& w, int64_t& chunkOut);
    // Whether chunkOut more bytes of this chunk keep a whole-entry request
    // within the declared size; marks the overflow when not.
    bool FitsDeclaredSize(TEntryWork& w, int64_t chunkOut);
    // Settles the write in flight: its result goes through the disk-full
    // protocol as a direct write would; false when that cancelled.
    bool SettleOverlappedWrite(TEntryWork& w);
    bool DecompressEntry(TStream& ArcStream, TStream& OutStream, const TDirItem& Item,
                         int32_t Count, int64_t StartPosition);
    bool DecodeEntryData(TEntryWork& w);
    bool DecodeChunk(TEntryWork& w, int64_t chunk, int64_t& chunkOut);
    bool ReadArchiveChunk(TEntryWork& w, uint8_t* buffer, int64_t count);
    bool WriteOutputBuffer(TStream& Stream, const uint8_t* Buffer, int64_t Count);
    bool BlockProgress(const TDirItem& Item);
    static uint32_t UpdateCrc32(uint32_t Crc, const void* Buffer, size_t Count);

    // Chunk buffers of the data pipeline, kept for the object's life so that
    // entries after the first cost no allocation or page faults.
    std::unique_ptr<uint8_t[]> FPipeIn;
    std::unique_ptr<TZAKeyPrefetcher> FKeyPrefetch;
    // A large entry going to its own output file is written on a second
    // thread while its next buffer is inflated (two output buffers then).
    std::unique_ptr<TZAOutputWriter> FOutWriter;
    std::unique_ptr<uint8_t[]> FPipeOut2;
    bool FOutputIsOwnFile = false; // the output stream is ExtractEntryToFile's temporary file
    int32_t FPrefetchNext = 0;     // first entry not yet looked at for prefetching
    bool FTaggedRun = false;       // a ProcessTaggedFiles run over all tagged entries
    std::unique_ptr<uint8_t[]> FPipeOut;
    int32_t FSkippedFileCount = 0;
    int32_t FSkippedPasswordCount = 0;
    int32_t FFailedFileCount = 0;

    // --- state ----------------------------------------------------------------
    std::u16string FCurrentDir;
    int32_t FUpdateCount = 0;
    bool FActive = false;
    bool isZIPFormat = false;
    bool IsCustomStream = false;
    std::u16string FFileName;
    std::u16string VolumeFileName;
    TZAVolumeNumberInfo FVolumeNumberInfo;
    uint16_t FFileOpenMode = 0;
    std::u16string FTempDir;
    std::u16string FBaseDir;
    std::u16string FSFXStub;
    TZAOptions FOptions;
    TZAStringList FFileMasks;
    TZAStringList FExclusionMasks;
    TZAStringList FNoCompressionMasks;
    bool FInMemory = false;
    int32_t FProcessedFileNo = 0;
    int32_t FProcessedFileCount = 0;
    int64_t FProcessedFilesTotalSize = 0;
    int64_t FProcessedFilesSize = 0;
    bool FProgressCancel = false;
    bool FProgressEnabled = false;
    bool FSkipFile = false;
    TZASpanningMode FSpanningMode = smNone;
    TZASpanningOptions FSpanningOptions;
    bool FExtractCorruptedFiles = false;
    bool FOpenCorruptedArchives = true;
    bool FUnicodeFilenames = false;
    int64_t FProgress = 0;
    int64_t FProgressMax = 0;
    bool FNoProgress = false;
    TZAFileProgressEvent FOnFileProgress;
    TZAProgressEvent FOnOverallProgress;
    TZACopyTempFileProgressEvent FOnCopyTempFileProgress;
    TZAConfirmOverwriteEvent FOnConfirmOverwrite;
    TZAConfirmProcessFileEvent FOnConfirmProcessFile;
    TZANotifyEvent FAfterOpen;
    TZAOnPasswordEvent FOnPassword;
    TZAProcessFileFailureEvent FOnProcessFileFailure;
    TZAOnRequestFirstVolumeEvent FOnRequestFirstVolume;
    TZAOnRequestLastVolumeEvent FOnRequestLastVolume;
    TZAOnRequestMiddleVolumeEvent FOnRequestMiddleVolume;
    TZAOnRequestBlankVolumeEvent FOnRequestBlankVolume;
    TZAOnDiskFullEvent FOnDiskFull;
    TZAProcessVolumeFailureEvent FOnProcessVolumeFailure;
    TZAOnStoreFileEvent FOnStoreFile;
    TZAOnExtractFileEvent FOnExtractFile;
    bool FSuppressPasswordEvent = false;
    bool FUpdated = false;
    std::unique_ptr<TZADirManager> DMHandle;
    uint16_t FCompressionMethod = 0;
    TZACompressionAlgorithm FCompressionAlgorithm = caZLIB;
    TZACryptoAlgorithm FZACryptoAlgorithm = caPkzipClassic;
    uint8_t FCompressionMode = 0;
    TZACompressionLevel FCompressionLevel = clNone;
    std::string FPassword;
    TStream* FCompressedStream = nullptr; // owned unless IsCustomStream
    TZip64Mode FZip64Mode = zmAuto;
};

class TZipArchiver : public TZABaseArchiver {
public:
    explicit TZipArchiver(TComponent* AOwner = nullptr);
    ~TZipArchiver() override;

    void SetPassword(const std::string& Value) override;

    using TZABaseArchiver::EncryptionMethod;
    using TZABaseArchiver::SetEncryptionMethod;
    using TZABaseArchiver::SetUnicodeFilenames;
    using TZABaseArchiver::SetZip64Mode;
    using TZABaseArchiver::UnicodeFilenames;
    using TZABaseArchiver::Zip64Mode;

protected:
    // Deflate (8) for a CompressionMode above 0, stored (0) for 0.
    void UpdateCompressionMethod() override;
};

} // namespace za

// The extraction driver (entries into files), extraction into memory, and
// testing.
#include <memory>

#include "archiver/ZipArchiver.h"

#include "archiver/ZAOutputWriter.h"
#include "crypto/ZAAESCryptoTransform.h"
#include "crypto/ZAKeyPrefetch.h"
#include "crypto/ZipCrypt.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Lock.h"
#include "platform/Path.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirManager.h"

namespace za {

namespace {

constexpr int32_t NativeNotFoundExtract = 15;
constexpr int32_t NativeCannotCreateFile = 19;
constexpr int32_t NativeCannotCreateDir = 20;
constexpr int32_t NativeNotFoundPassword = 42;

bool HasSeparatorPair(const std::u16string& s) {
    return s.find(u"\\\\") != std::u16string::npos;
}

// A stored name that would leave the destination folder: a ".." component,
// a leading separator, a drive or server prefix, or two separators in a row.
bool LeavesDestination(const std::u16string& name) {
    if (name.empty()) {
        return false;
    }
    if (name[0] == u'\\' || name.find(u':') != std::u16string::npos || HasSeparatorPair(name)) {
        return true;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(u'\\', start);
        if (end == std::u16string::npos) {
            end = name.size();
        }
        if (name.compare(start, end - start, u"..") == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Restores Options.Recurse on every way out.
class TRecurseOff {
public:
    explicit TRecurseOff(TZAOptions& options) : FOptions(options), FOld(options.Recurse()) {
        options.SetRecurse(false);
    }
    ~TRecurseOff() { FOptions.SetRecurse(FOld); }
    TRecurseOff(const TRecurseOff&) = delete;
    TRecurseOff& operator=(const TRecurseOff&) = delete;

private:
    TZAOptions& FOptions;
    bool FOld;
};

// Deletes a temporary file unless it was handed over.
class TTempFile {
public:
    explicit TTempFile(std::u16string name) : FName(std::move(name)) {}
    ~TTempFile() {
        if (!FName.empty()) {
            FileSetAttr(FName, 0);
            DeleteFile(FName);
        }
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    const std::u16string& Name() const { return FName; }
    void Release() { FName.clear(); }

private:
    std::u16string FName;
};

// Whether the folder's drive is removable; the answer for the last folder
// asked is kept, since every entry of a run usually lands on the same drive.
bool FolderIsRemovable(const std::u16string& folder) {
    thread_local std::u16string lastFolder;
    thread_local bool lastAnswer = false;
    thread_local bool known = false;
    if (!known || folder != lastFolder) {
        lastAnswer = IsRemovableDrive(folder.empty() ? GetCurrentDir() : folder);
        lastFolder = folder;
        known = true;
    }
    return lastAnswer;
}

// The entry of a single-entry operation, or native error 15 with the name.
int32_t EntryIndexOrFail(TZABaseArchiver& arc, const std::u16string& name) {
    int32_t index = -1;
    if (!arc.FindEntryIndex(name, index)) {
        throw EZAException(NativeNotFoundExtract, TVarArgs{name}, &arc);
    }
    return index;
}

} // namespace

std::u16string TZABaseArchiver::ResolveBaseDir(const std::u16string& BaseDir,
                                               const std::u16string& CurrentDir) {
    std::u16string dir = BaseDir.empty() ? CurrentDir : BaseDir;
    if (dir.empty() || dir.back() != u'\\') {
        dir += u'\\';
    }
    return dir;
}

void TZABaseArchiver::ExtractFiles() {
    CheckActive();
    CheckNotInUpdate();
    TagFilesByProperties();
    ProcessTaggedFiles(poExtract, -1);
}

void TZABaseArchiver::ExtractFiles(const std::u16string& FileMask, int32_t SearchAttr,
                                   const std::u16string& ExclusionMask) {
    CheckActive();
    CheckNotInUpdate();
    const bool wild = FileMask.find_first_of(u"*?") != std::u16string::npos;
    if (FOptions.Recurse() || wild || !ExclusionMask.empty() || SearchAttr != ZASearchAllAttr) {
        TagFiles(FileMask, SearchAttr, ExclusionMask);
        ProcessTaggedFiles(poExtract, -1);
        return;
    }
    TZAArchiveItem f;
    if (FindFirst(FileMask, f, SearchAttr, ExclusionMask)) {
        Dir().ItemsPtr(f.Handle.ItemNo).Tagged = true;
        ProcessTaggedFiles(poExtract, f.Handle.ItemNo);
    }
}

void TZABaseArchiver::ProcessTaggedFiles(TZAProcessOperation Operation, int32_t ItemNo) {
    TArchiverLockGuard lock;
    // Over all tagged entries, the keys of the AES entries to come are
    // derived ahead. The helper threads and whatever they hold go with the
    // run, so an idle archive object keeps no thread.
    struct TRunGuard {
        TZABaseArchiver& a;
        ~TRunGuard() {
            a.FTaggedRun = false;
            a.FKeyPrefetch.reset();
            a.FOutWriter.reset();
        }
    } runGuard{*this};
    FTaggedRun = ItemNo == -1 && (Operation == poExtract || Operation == poTest);
    FPrefetchNext = 0;
    TZADirArray& dir = Dir();
    const bool progress = Operation == poExtract || Operation == poTest;
    FProcessedFileNo = 0;
    FProcessedFileCount = 0;
    FSkippedFileCount = 0;
    FSkippedPasswordCount = 0;
    FFailedFileCount = 0;
    FProgressCancel = false;
    FProgressEnabled = true;
    if (ItemNo != -1) {
        FProcessedFileCount = 1;
    } else {
        for (int32_t i = 0; i < dir.Count(); ++i) {
            FProcessedFileCount += dir.ItemsPtr(i).Tagged ? 1 : 0;
        }
    }
    if (progress) {
        DoOverallProgress(0, Operation, ppStart, FProgressCancel);
    }
    TZAAction action = fxaIgnore;
    const bool startCancelled = FProgressCancel;
    int32_t i = ItemNo == -1 ? 0 : ItemNo;
    if (!startCancelled) {
        while (i >= 0 && i < dir.Count()) {
            if (!dir.ItemsPtr(i).Tagged) {
                if (ItemNo != -1) {
                    break;
                }
                ++i;
                continue;
            }
            dir.ItemsPtr(i).Operation = Operation;
            const std::u16string fileName = SlashesToBackslashes(dir.ItemsPtr(i).Name);
            bool stop = false;
            bool failed = true;
            action = ProcessWithFailureProtocol(fileName, Operation, [&] {
                failed = true;
                stop = false;
                bool confirm = true;
                DoConfirmProcessFile(fileName, Operation, confirm);
                if (!confirm) {
                    ++FSkippedFileCount;
                    failed = false;
                    return;
                }
                if (FCurrentDir.empty()) {
                    FCurrentDir = GetCurrentDir();
                }
                const std::u16string destDir = ResolveBaseDir(FBaseDir, FCurrentDir);
                if (progress) {
                    DoFileProgress(fileName, 0, Operation, ppStart, FProgressCancel);
                    if (FProgressCancel) {
                        stop = true;
                        failed = false;
                        return;
                    }
                }
                switch (Operation) {
                case poExtract:
                    ExtractEntryToFile(i, fileName, destDir);
                    break;
                case poTest:
                    TestEntry(i, fileName);
                    break;
                default:
                    break; // deleting and updating belong to the writing side
                }
                failed = false;
                const bool cancelled = FProgressCancel;
                if (progress) {
                    DoFileProgress(fileName, 100, Operation, ppEnd, FProgressCancel);
                    FProgressCancel = FProgressCancel || cancelled;
                }
                if (FProgressCancel) {
                    stop = true;
                    return;
                }
                ++FProcessedFileNo;
            });
            if (failed) {
                ++FFailedFileCount;
            }
            if (action == fxaAbort || FProgressCancel || stop) {
                break;
            }
            if (Operation != poDelete) {
                ++i;
            }
            if (ItemNo != -1) {
                break;
            }
        }
    }
    if (action == fxaAbort && ItemNo == -1) {
        // The tagged entries after the one that stopped the run were never
        // reached; they count as failed, so that an aborted run never looks
        // complete to a caller that reads the counters.
        for (int32_t k = i + 1; k < dir.Count(); ++k) {
            FFailedFileCount += dir.ItemsPtr(k).Tagged ? 1 : 0;
        }
    }
    if (!startCancelled && progress) {
        const bool cancelled = FProgressCancel;
        DoOverallProgress(100, Operation, ppEnd, FProgressCancel);
        FProgressCancel = FProgressCancel || cancelled;
    }
    if (action == fxaAbort || FProgressCancel) {
        CancelUpdate();
    }
}

void TZABaseArchiver::ExtractEntryToFile(int32_t ItemNo, const std::u16string& FileName,
                                         const std::u16string& DestDir) {
    const TDirItem& item = Dir().ItemsPtr(ItemNo);
    const bool isFolder = (item.CentralDir.externalAttr & ZipAttrDirectory) != 0 ||
                          (!item.Name.empty() && item.Name.back() == u'/');
    uint32_t fileAttr = item.CentralDir.externalAttr;
    std::u16string fileName = FileName;
    DoExtractFile(fileName, fileAttr, item.Comment);
    std::u16string destDir = DestDir;
    if (fileName == SlashesToBackslashes(item.Name)) {
        // The stored name decides: it must stay below the destination folder.
        if (LeavesDestination(fileName)) {
            throw EZAException(isFolder ? NativeCannotCreateDir : NativeCannotCreateFile,
                               TVarArgs{destDir + fileName}, this);
        }
    } else if (fileName.find(u':') != std::u16string::npos || HasSeparatorPair(fileName)) {
        // A name supplied by OnExtractFile may be a complete path.
        destDir.clear();
    }
    if (!FOptions.CreateDirs()) {
        fileName = ExtractFileName(fileName);
    } else {
        const std::u16string dirPath = destDir + ExtractFilePath(fileName);
        if (!dirPath.empty() && !ForceDirectories(ExcludeTrailingBackslash(dirPath))) {
            throw EZAException(NativeCannotCreateDir, TVarArgs{dirPath}, this);
        }
    }
    if (isFolder) {
        return;
    }
    std::u16string destPath = destDir + fileName;
    const bool existed = FileExists(destPath);
    if (existed) {
        if (!FOptions.ReplaceReadOnly()) {
            int32_t attr = FileGetAttr(destPath);
            if (attr == -1) {
                attr = 0x04;
            }
            if (attr & faReadOnly) {
                return;
            }
        }
        const int32_t entryTime = static_cast<int32_t>(
            (uint32_t{item.CentralDir.lastModDate} << 16) | item.CentralDir.lastModTime);
        switch (FOptions.OverwriteMode()) {
        case omPrompt: {
            bool confirm = false;
            DoConfirmOverwrite(fileName, destPath, confirm);
            if (!confirm) {
                return;
            }
            break;
        }
        case omAlways:
            break;
        case omNever:
            return;
        case omIfNewer:
            if (!(FileAge(destPath) < entryTime)) {
                return;
            }
            break;
        case omIfOlder:
            if (!(FileAge(destPath) > entryTime)) {
                return;
            }
            break;
        }
    }

    // The entry is written into a temporary file beside the destination,
    // which replaces the destination only once the entry passed its checks:
    // a failed, cancelled or skipped entry leaves an existing file untouched.
    const std::u16string folder = ExtractFilePath(destPath);
    std::unique_ptr<TFileStream> created =
        TFileStream::CreateTemp(folder.empty() ? GetCurrentDir() + u"\\" : folder, u"~za");
    if (!created) {
        throw EZAException(NativeCannotCreateFile, TVarArgs{destPath}, this);
    }
    TTempFile temp(created->FileName());
    // Closed before the temporary file is deleted on the way out.
    std::unique_ptr<TFileStream> out = std::move(created);
    // On a failure the output is simply closed: the temporary file goes.
    {
        struct TOwnFile {
            bool& flag;
            ~TOwnFile() { flag = false; }
        } ownFile{FOutputIsOwnFile};
        FOutputIsOwnFile = true;
        ExtractEntryToStream(ItemNo, *out, 0, 0);
    }
    if (!FSkipFile && !FProgressCancel) {
        // Data still buffered goes out now, under the same disk-full
        // protocol as every other write, so a late failure is never lost.
        WriteOutPending(*out);
    }
    if (!FSkipFile && !FProgressCancel) {
        const int32_t time = static_cast<int32_t>((uint32_t{item.CentralDir.lastModDate} << 16) |
                                                  item.CentralDir.lastModTime);
        FileSetDate(out->Handle(), time);
        if (FOptions.FlushBuffers() && FolderIsRemovable(ExtractFilePath(destPath))) {
            FlushFileBuffers(out->Handle());
        }
    }
    out.reset();
    if (FSkipFile || FProgressCancel) {
        return; // the temporary file goes, the old file stays
    }
    if (existed) {
        FileSetAttr(destPath, 0);
    }
    if (!RenameFile(temp.Name(), destPath)) {
        throw EZAException(NativeCannotCreateFile, TVarArgs{destPath}, this);
    }
    temp.Release();
    if (FOptions.SetAttributes()) {
        FileSetAttr(destPath, static_cast<int32_t>(fileAttr));
    }
}

void TZABaseArchiver::WriteOutPending(TFileStream& Stream) {
    for (;;) {
        try {
            Stream.WriteOut();
            return;
        } catch (const EWriteError&) {
            bool cancel = false;
            DoDiskFull(-1, FFileName, cancel);
            if (cancel) {
                FProgressCancel = true;
                return;
            }
        }
    }
}

void TZABaseArchiver::TestEntry(int32_t ItemNo, const std::u16string&) {
    if (Dir().ItemsPtr(ItemNo).CentralDir.externalAttr & ZipAttrDirectory) {
        return;
    }
    TNullStream null;
    ExtractEntryToStream(ItemNo, null, 0, 0);
}

void TZABaseArchiver::TestFiles() {
    CheckActive();
    CheckNotInUpdate();
    TagFilesByProperties();
    ProcessTaggedFiles(poTest, -1);
}

void TZABaseArchiver::TestFiles(const std::u16string& FileMask, int32_t SearchAttr,
                                const std::u16string& ExclusionMask) {
    CheckActive();
    CheckNotInUpdate();
    TagFiles(FileMask, SearchAttr, ExclusionMask);
    ProcessTaggedFiles(poTest, -1);
}

bool TZABaseArchiver::FindEntryIndex(const std::u16string& Name, int32_t& Index) {
    Index = -1;
    if (Dir().FileExists(BackslashesToSlashes(Name), Index) && Index >= 0) {
        return true;
    }
    TZAArchiveItem f;
    if (FindFirst(Name, f, ZASearchAllAttr, u"")) {
        Index = f.Handle.ItemNo;
        return true;
    }
    Index = -1;
    return false;
}

void TZABaseArchiver::ExtractToStream(const std::u16string& FileName, TStream& Stream) {
    CheckActive();
    CheckNotInUpdate();
    // A cancel left over from an earlier operation must not pass damaged data.
    FProgressCancel = false;
    FProgressEnabled = true;
    TRecurseOff recurse(FOptions);
    FProcessedFileNo = 0;
    DoOverallProgress(0, poExtract, ppStart, FProgressCancel);
    const int32_t index = EntryIndexOrFail(*this, FileName);
    FProcessedFileCount = 1;
    Dir().ItemsPtr(index).Operation = poExtract;
    ExtractEntryToStream(index, Stream, 0, 0);
    DoFileProgress(Dir().ItemsPtr(index).Name, 100, poExtract, ppEnd, FProgressCancel);
    DoOverallProgress(100, poExtract, ppEnd, FProgressCancel);
}

void TZABaseArchiver::ExtractToBuffer(const std::u16string& FileName, void* Buffer, int32_t Count,
                                      int64_t StartPosition) {
    CheckActive();
    CheckNotInUpdate();
    FProgressCancel = false;
    FProgressEnabled = false;
    TRecurseOff recurse(FOptions);
    const int32_t index = EntryIndexOrFail(*this, FileName);
    // A range that starts at or beyond the entry's end has nothing to copy.
    const int64_t size = Dir().ItemsPtr(index).EffectiveUncompSize();
    if (Count > 0 && (StartPosition < 0 || StartPosition >= size)) {
        throw EReadError(u"Stream read error");
    }
    TMemoryStream mem;
    ExtractEntryToStream(index, mem, Count, StartPosition);
    if (StartPosition == 0) {
        mem.SetPosition(0);
    }
    if (Count > 0) {
        mem.ReadBuffer(Buffer, Count);
    }
}

void TZABaseArchiver::ExtractToString(const std::u16string& FileName, std::u16string& Text) {
    CheckActive();
    CheckNotInUpdate();
    FProgressCancel = false;
    FProgressEnabled = false;
    TRecurseOff recurse(FOptions);
    const int32_t index = EntryIndexOrFail(*this, FileName);
    TStringStream text;
    ExtractEntryToStream(index, text, 0, 0);
    Text = AnsiToUnicode(text.DataString());
}

bool TZABaseArchiver::IsFilePasswordValid(const std::u16string& FileName,
                                          const std::string& Password) {
    CheckActive();
    FProgressCancel = false;
    bool result = false;
    TZAArchiveItem f;
    if (!FindFirst(FileName, f, ZASearchAllAttr, u"")) {
        throw EZAException(NativeNotFoundPassword, TVarArgs{FileName}, this);
    }
    if (!f.Encrypted) {
        return true;
    }
    const int32_t index = f.Handle.ItemNo;
    const TDirItem& item = Dir().ItemsPtr(index);
    TZAVolumeNumberInfo volume;
    volume.SetVolumeNumber(static_cast<int32_t>(item.EffectiveDiskNumberStart()));
    if (!(IsCustomStream && FCompressedStream != nullptr)) {
        OpenVolume(volume);
    }
    TStream& arc = *FCompressedStream;
    arc.SetPosition(item.EffectiveRelOffsetLH());
    uint8_t raw[TZAZipLocalHeader::Size] = {};
    arc.Read(raw, sizeof raw);
    const TZAZipLocalHeader lh = TZAZipLocalHeader::Parse(raw);
    arc.Seek(int64_t{lh.nameLength} + lh.extraLength, soCurrent);
    if (item.CompressionMethod != cmStored && item.CompressionMethod != cmDeflate) {
        return false;
    }
    try {
        if (item.ZAEncryptionAlgorithm == caPkzipClassic ||
            item.CentralDir.extractVersion >= OwnVariantExtractVersion) {
            if (FSpanningMode == smNone) {
                TZipCryptKeys keys{};
                result = ZipCryptCheckHeader(arc, Password, keys, item.CentralDir.crc32,
                                             item.CentralDir.lastModTime,
                                             item.CentralDir.genPurposeFlag);
            }
        } else {
            const int32_t strength = AesKeyStrength(item.ZAEncryptionAlgorithm);
            TAESCryptoTransform t(strength, 2, item.CompressionMethod);
            t.Initialize(Decryption, TZACryptoItemInfo{item.CentralDir.crc32});
            t.GenerateKey(Password);
            t.LoadFileStorageStartBlock(arc, 0);
            result = t.CheckPassword(Password, TZACryptoItemInfo{item.CentralDir.crc32});
        }
    } catch (const Exception&) {
        result = false;
    }
    if (result || FSpanningMode != smNone) {
        struct TRestore {
            TZABaseArchiver* self;
            std::string password;
            ~TRestore() {
                self->FSuppressPasswordEvent = false;
                self->SetPassword(password);
            }
        } restore{this, FPassword};
        FSuppressPasswordEvent = true;
        SetPassword(Password);
        try {
            TestEntry(index, SlashesToBackslashes(item.Name));
            result = true;
        } catch (...) {
            result = false;
        }
    }
    return result;
}

bool TZABaseArchiver::IsValidArchiveFile(const std::u16string& FileName) {
    return TZADirManager::IsValidArchiveFile(FileName, FActive, *this, [&]() -> bool {
        // Confirm a rebuilt directory by testing every entry of a separate
        // read-only archive object.
        TZipArchiver probe;
        probe.SetFileName(FileName);
        probe.SetOpenCorruptedArchives(true);
        bool intact = true;
        probe.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&,
                                          TZAProcessOperation, int32_t, int32_t,
                                          const std::u16string&, TZAAction& action) {
            intact = false;
            action = fxaAbort;
        });
        probe.SetOnPassword(
            [](TZABaseArchiver*, const std::u16string&, std::string&, bool& skip) { skip = true; });
        try {
            probe.OpenArchive(ModeReadOnly);
            probe.TestFiles(u"*.*", ZASearchAllAttr, u"");
        } catch (const Exception&) {
            return false;
        }
        return intact;
    });
}

} // namespace za

// Selection of directory entries: the searches of callers (FindFirst,
// FindNext), the mask and attribute tests behind them, the tagging of entries
// for multi-file operations and the file count.
#include <algorithm>

#include "archiver/ZipArchiver.h"
#include "platform/Path.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirManager.h"

namespace za {

namespace {

constexpr int32_t SearchAttrFolders = 16;

// The folder part (up to and including the last "\") in ASCII lower case.
std::u16string LowerFolderOf(std::u16string path) {
    const size_t p = path.rfind(u'\\');
    path.resize(p == std::u16string::npos ? 0 : p + 1);
    return AsciiLowerCase(path);
}

// The folder of an entry for the non-recursive restriction: its stored path
// without a trailing "/", with "\" separators.
std::u16string EntryFolder(const std::u16string& storedName) {
    std::u16string path = storedName;
    if (!path.empty() && path.back() == u'/') {
        path.pop_back();
    }
    return LowerFolderOf(ReplaceChar(std::move(path), u'/', u'\\'));
}

// Fills the result fields of a search record from an entry.
void FillSearchResult(const TDirItem& item, TZAArchiveItem& F) {
    std::u16string path = ReplaceChar(item.Name, u'/', u'\\');
    if (!path.empty() && path.back() == u'\\') {
        path.pop_back();
    }
    const size_t nameStart = path.find_last_of(u"\\:");
    F.FileName = nameStart == std::u16string::npos ? path : path.substr(nameStart + 1);
    const size_t folderEnd = path.rfind(u'\\');
    F.StoredPath =
        folderEnd == std::u16string::npos ? std::u16string() : path.substr(0, folderEnd + 1);
    F.CompressedSize = item.EffectiveCompSize();
    F.UncompressedSize = item.EffectiveUncompSize();
    if (F.UncompressedSize > 0) {
        F.CompressionRate = (1.0 - static_cast<double>(F.CompressedSize) /
                                       static_cast<double>(F.UncompressedSize)) *
                            100.0;
        if (F.CompressionRate < 0) {
            F.CompressionRate = 0;
        }
    } else {
        F.CompressionRate = 100;
    }
    F.Encrypted = (item.CentralDir.genPurposeFlag & 1u) != 0;
    F.LastModFileDate = item.CentralDir.lastModDate;
    F.LastModFileTime = item.CentralDir.lastModTime;
    F.CRC = static_cast<int32_t>(item.CentralDir.crc32);
    F.ExternalFileAttributes = item.CentralDir.externalAttr;
    F.Comment = item.Comment;
}

} // namespace

bool TZABaseArchiver::EntryMatchesMasks(int32_t Index, const TZAArchiveItem& F) const {
    const TDirItem& item = Dir().ItemsPtr(Index);
    if (F.Handle.UseProperties) {
        const std::u16string name = ReplaceChar(item.Name, u'/', u'\\');
        for (const std::u16string& mask : FFileMasks.Lines()) {
            if (MatchesMask(name, mask)) {
                for (const std::u16string& exclusion : FExclusionMasks.Lines()) {
                    if (MatchesMask(name, exclusion)) {
                        return false;
                    }
                }
                return true;
            }
        }
        return false;
    }
    std::u16string name = item.Name;
    if (!name.empty() && (name.back() == u'\\' || name.back() == u'/')) {
        name.pop_back();
    }
    const std::u16string_view mask = F.Handle.FindMask();
    bool result = MatchesMask(name, mask);
    if (!result) {
        const std::u16string backslashed = ReplaceChar(name, u'/', u'\\');
        const size_t p = backslashed.rfind(u'\\');
        result =
            MatchesMask(p == std::u16string::npos ? std::u16string_view(backslashed)
                                                  : std::u16string_view(backslashed).substr(p + 1),
                        mask);
    }
    if (result && MatchesMask(name, F.Handle.ExclusionMask)) {
        result = false;
    }
    return result;
}

bool TZABaseArchiver::FindNextEntry(TZAArchiveItem& F) {
    TZADirArray& dir = Dir();
    TInternalSearchRec& h = F.Handle;
    int32_t found = -1;
    // A property-driven search always lets the mask lists decide over every
    // entry: its record carries no mask of its own to restrict the folder by.
    if (h.FWildCards || FOptions.Recurse() || h.UseProperties) {
        const bool restrictFolder = !FOptions.Recurse() && !h.UseProperties;
        const std::u16string maskFolder =
            restrictFolder ? LowerFolderOf(ReplaceChar(std::u16string(h.FindMask()), u'/', u'\\'))
                           : std::u16string();
        for (int32_t i = std::max(h.ItemNo, 0); i < dir.Count(); ++i) {
            const TDirItem& item = dir.ItemsPtr(i);
            if (restrictFolder && EntryFolder(item.Name) != maskFolder) {
                continue;
            }
            if (EntryMatchesMasks(i, F) &&
                AttributesMatch(item.CentralDir.externalAttr, h.FFindAttr)) {
                found = i;
                break;
            }
        }
    } else {
        int32_t index = -1;
        if (dir.FileExists(std::u16string(h.FindMask()), index) && index >= h.ItemNo) {
            found = index;
        }
    }
    if (found < 0) {
        return false;
    }
    h.ItemNo = found;
    FillSearchResult(dir.ItemsPtr(found), F);
    return true;
}

bool TZABaseArchiver::FindFirst(const std::u16string& FileMask, TZAArchiveItem& F,
                                int32_t SearchAttr, const std::u16string& ExclusionMask) {
    CheckActive();
    std::u16string mask = FileMask;
    const std::u16string drive = ExtractFileDrive(mask);
    if (!drive.empty() && FOptions.StorePath() != spFullPathWithDrive) {
        // The separator after the drive goes too: stored names are relative,
        // so "C:\docs\*" means the stored "docs/*".
        size_t cut = drive.size();
        if (cut < mask.size() && (mask[cut] == u'\\' || mask[cut] == u'/')) {
            ++cut;
        }
        mask.erase(0, cut);
    }
    mask = ReplaceChar(std::move(mask), u'\\', u'/');
    if (mask.size() > TInternalSearchRec::MaxMaskLength) {
        throw EZASearchMaskTooLong(mask.size());
    }
    TInternalSearchRec& h = F.Handle;
    std::fill(std::begin(h.CFindMask), std::end(h.CFindMask), u'\0');
    std::copy(mask.begin(), mask.end(), h.CFindMask);
    h.ExclusionMask = ExclusionMask;
    h.UseProperties = false;
    h.FWildCards = mask.find_first_of(u"*?") != std::u16string::npos;
    h.FFindAttr = SearchAttr;
    h.ItemNo = 0;
    return FindNextEntry(F);
}

bool TZABaseArchiver::FindFirst(TZAArchiveItem& F) {
    CheckActive();
    F.Handle.UseProperties = true;
    F.Handle.FFindAttr = FOptions.SearchAttr();
    F.Handle.ItemNo = 0;
    return FindNextEntry(F);
}

bool TZABaseArchiver::FindNext(TZAArchiveItem& F) {
    CheckActive();
    if (F.Handle.ItemNo < 0 || F.Handle.ItemNo == INT32_MAX) {
        return false;
    }
    ++F.Handle.ItemNo;
    return FindNextEntry(F);
}

void TZABaseArchiver::TagFiles(const std::u16string& FileMask, int32_t SearchAttr,
                               const std::u16string& ExclusionMask) {
    TZADirArray& dir = Dir();
    dir.ClearTags();
    TZAArchiveItem F;
    bool found = FindFirst(FileMask, F, SearchAttr, ExclusionMask);
    while (found) {
        dir.ItemsPtr(F.Handle.ItemNo).Tagged = true;
        found = FindNext(F);
    }
}

void TZABaseArchiver::TagFilesByProperties() {
    TZADirArray& dir = Dir();
    dir.ClearTags();
    TZAArchiveItem F;
    bool found = FindFirst(F);
    while (found) {
        dir.ItemsPtr(F.Handle.ItemNo).Tagged = true;
        found = FindNext(F);
    }
}

int32_t TZABaseArchiver::FileCount() {
    TZADirArray& dir = Dir();
    const bool oldRecurse = FOptions.Recurse();
    FOptions.SetRecurse(true);
    int32_t folders = 0;
    try {
        TZAArchiveItem F;
        bool found = FindFirst(u"*.*", F, SearchAttrFolders, u"");
        while (found) {
            if ((F.ExternalFileAttributes & static_cast<uint32_t>(SearchAttrFolders)) != 0) {
                ++folders;
            }
            found = FindNext(F);
        }
    } catch (...) {
        FOptions.SetRecurse(oldRecurse);
        throw;
    }
    FOptions.SetRecurse(oldRecurse);
    return dir.Count() - folders;
}

} // namespace za

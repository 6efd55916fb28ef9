#include "zip/ZADirManager.h"

#include <algorithm>
#include <limits>

#include "archiver/ZAExcept.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "zip/ZANames.h"

namespace za {

namespace {

constexpr size_t DirectoryReadWindow = 1 << 20;

// Restores a stream's position when it goes out of scope.
class TPositionGuard {
public:
    explicit TPositionGuard(TStream* stream) : FStream(stream), FPosition(stream->Position()) {}
    ~TPositionGuard() {
        try {
            FStream->SetPosition(FPosition);
        } catch (...) {
        }
    }
    TPositionGuard(const TPositionGuard&) = delete;
    TPositionGuard& operator=(const TPositionGuard&) = delete;

private:
    TStream* FStream;
    int64_t FPosition;
};

[[noreturn]] void ShortRead() {
    throw EReadError(u"Stream read error");
}

// Sequential reader of the central directory: reads the stream in large
// windows and hands out contiguous byte ranges from memory. A range that the
// stream cannot supply in full raises EReadError; nothing is ever taken from
// a previous window.
class TSequentialReader {
public:
    void Reset(TStream* stream, int64_t position) {
        FStream = stream;
        FSize = stream->Size();
        FPosition = position;
        FBufferStart = position;
        FBufferLength = 0;
    }

    int64_t Position() const { return FPosition; }
    int64_t Remaining() const { return FSize - FPosition; }

    const uint8_t* Take(size_t count) {
        if (FPosition < 0 || Remaining() < static_cast<int64_t>(count))
            ShortRead();
        if (FPosition < FBufferStart || FPosition + static_cast<int64_t>(count) >
                                            FBufferStart + static_cast<int64_t>(FBufferLength)) {
            const auto length = static_cast<size_t>(
                std::min<int64_t>(std::max(DirectoryReadWindow, count), Remaining()));
            if (FBuffer.size() < length)
                FBuffer.resize(length);
            FStream->SetPosition(FPosition);
            FStream->ReadBuffer(FBuffer.data(), static_cast<int64_t>(length));
            FBufferStart = FPosition;
            FBufferLength = length;
        }
        const uint8_t* p = FBuffer.data() + (FPosition - FBufferStart);
        FPosition += static_cast<int64_t>(count);
        return p;
    }

private:
    TStream* FStream = nullptr;
    int64_t FSize = 0;
    int64_t FPosition = 0;
    std::vector<uint8_t> FBuffer;
    int64_t FBufferStart = 0;
    size_t FBufferLength = 0;
};

// The archiver seen with OpenCorruptedArchives off and a chosen spanning
// mode, as IsValidArchiveFile needs it.
class TOverridingHost : public IZAArchiverHost {
public:
    explicit TOverridingHost(IZAArchiverHost& host) : FHost(host), FSpanning(host.SpanningMode()) {}
    void SetSpanningMode(TZASpanningMode mode) { FSpanning = mode; }

    bool OpenCorruptedArchives() const override { return false; }
    TZASpanningMode SpanningMode() const override { return FSpanning; }
    bool OEMFileNames() const override { return FHost.OEMFileNames(); }
    TStream* ArchiveStream() const override { return FHost.ArchiveStream(); }
    std::u16string SFXStub() const override { return FHost.SFXStub(); }
    int64_t GetVolumeSize(const TZAVolumeNumberInfo& volume) const override {
        return FHost.GetVolumeSize(volume);
    }
    TZAVolumeNumberInfo& VolumeNumberInfo() override { return FHost.VolumeNumberInfo(); }
    void OpenVolume(const TZAVolumeNumberInfo& volume) override { FHost.OpenVolume(volume); }
    const TComponent* Component() const override { return FHost.Component(); }

private:
    IZAArchiverHost& FHost;
    TZASpanningMode FSpanning;
};

} // namespace

// Random access to a stream through one cached window, for the forward
// searches and the local header reads of a rebuild or a stub search.
class TZADirManager::TWindowReader {
public:
    TWindowReader(TStream* stream, size_t window)
        : FStream(stream), FSize(stream->Size()), FWindow(window) {}

    TStream* Stream() const { return FStream; }
    int64_t Size() const { return FSize; }

    // Bytes from pos on, at least minLength of them unless the stream ends
    // first; available tells how many the pointer gives.
    const uint8_t* Window(int64_t pos, size_t minLength, size_t& available) {
        available = 0;
        if (pos < 0 || pos >= FSize)
            return nullptr;
        const int64_t left = FSize - pos;
        const int64_t bufferEnd = FBufferStart + static_cast<int64_t>(FBufferLength);
        const bool cached =
            pos >= FBufferStart && pos < bufferEnd &&
            (bufferEnd - pos >= static_cast<int64_t>(minLength) || bufferEnd == FSize);
        if (!cached) {
            const auto length =
                static_cast<size_t>(std::min<int64_t>(std::max(FWindow, minLength), left));
            if (FBuffer.size() < length)
                FBuffer.resize(length);
            FStream->SetPosition(pos);
            FStream->ReadBuffer(FBuffer.data(), static_cast<int64_t>(length));
            FBufferStart = pos;
            FBufferLength = length;
        }
        available = static_cast<size_t>(FBufferStart + static_cast<int64_t>(FBufferLength) - pos);
        return FBuffer.data() + (pos - FBufferStart);
    }

    // Exactly count bytes at pos, or nullptr when the stream ends before.
    const uint8_t* At(int64_t pos, size_t count) {
        if (pos < 0 || pos > FSize || FSize - pos < static_cast<int64_t>(count))
            return nullptr;
        size_t available = 0;
        const uint8_t* p = Window(pos, count, available);
        return available >= count ? p : nullptr;
    }

    // Remembered search results: no qualifying match of the signature lies in
    // [start, result) (or after start at all when result is -1).
    struct Memo {
        uint32_t signature = 0;
        int64_t start = -1;
        int64_t result = -1;
    };
    Memo memo[2];

private:
    TStream* FStream;
    int64_t FSize;
    size_t FWindow;
    std::vector<uint8_t> FBuffer;
    int64_t FBufferStart = 0;
    size_t FBufferLength = 0;
};

// ------------------------------------------------------------------ lifecycle

TZADirManager::TZADirManager(TStream* stream, bool bCreate, IZAArchiverHost& arc)
    : FCompressedStream(stream), FCreate(bCreate), FIsCustomStream(stream != arc.ArchiveStream()),
      FArc(arc), FRBCDir(std::make_unique<TZADirArray>(arc.Component())),
      FCDir(std::make_unique<TZADirArray>(arc.Component())) {
    ResetDir();
    if (bCreate) {
        FArc.VolumeNumberInfo().SetFirstVolume(true);
        if (!FArc.SFXStub().empty())
            CopySFXStub();
    }
}

TZADirManager::~TZADirManager() = default;

void TZADirManager::Fail(int32_t nativeError) const {
    throw EZAException(nativeError, FArc.Component());
}

int64_t TZADirManager::StreamSize() const {
    return FCompressedStream->Size();
}

void TZADirManager::CopySFXStub() {
    TFileStream stub(FArc.SFXStub(), fmOpenRead | fmShareDenyNone);
    const int64_t stubSize = stub.Size();
    if (FArc.SpanningMode() != smNone) {
        TZAVolumeNumberInfo first;
        first.SetFirstVolume(true);
        const int64_t limit = FArc.GetVolumeSize(first);
        if (limit > 0 && stubSize > limit)
            Fail(47);
    }
    FCompressedStream->SetSize(0);
    FCompressedStream->SetPosition(0);
    if (stubSize > 0)
        FCompressedStream->CopyFrom(stub, 0);
    FStubSize = stubSize;
}

void TZADirManager::ResetDir() {
    // The name index is emptied with the items, so that a directory loaded
    // again starts from a consistent index.
    FCDir->Clear();
    FCentralDirEnd = TZAZipCentralDirEnd{};
    FCentralDirEnd.signature = ZipCentralDirEndSignature;
}

bool TZADirManager::IsSFXArchive() const {
    return FCDir->Count() > 0 && FCDir->ItemsPtr(0).CentralDir.relOffsetLH != 0;
}

bool TZADirManager::IsEncrypted() const {
    return FCDir->Count() > 0 && (FCDir->ItemsPtr(0).CentralDir.genPurposeFlag & gpfEncrypted) != 0;
}

void TZADirManager::RequestVolume(const TZAVolumeNumberInfo& volume) {
    if (FIsCustomStream)
        return;
    FArc.OpenVolume(volume);
    FCompressedStream = FArc.ArchiveStream();
    if (FCompressedStream == nullptr)
        Fail(44);
}

// ------------------------------------------------------------ end record

bool TZADirManager::IsValidCentralDirEnd(const TZAZipCentralDirEnd& r, int64_t candidate,
                                         int64_t streamSize) const {
    const int64_t p = candidate + static_cast<int64_t>(TZAZipCentralDirEnd::Size);
    if (candidate < 0 || streamSize - candidate < static_cast<int64_t>(TZAZipCentralDirEnd::Size))
        return false;
    if (r.startDiskNumber > r.diskNumber)
        return false;
    if (r.entriesOnDisk > r.entriesCentralDir)
        return false;
    // The directory lies before the record only when both are on this volume;
    // a directory that starts on an earlier volume may be larger.
    if (r.startDiskNumber == r.diskNumber && r.centralDirSize != Zip64Marker32 &&
        int64_t{r.centralDirSize} >= p)
        return false;
    if (r.startDiskNumber == r.diskNumber && r.offsetStartDir != Zip64Marker32 &&
        !(int64_t{r.offsetStartDir} < p - int64_t{r.centralDirSize}))
        return false;
    return int64_t{r.commentLength} <= streamSize - p;
}

bool TZADirManager::FindCentralDirEnd(uint32_t signature, TZAZipCentralDirEnd& record,
                                      int64_t& position) {
    FArchiveComment.clear();
    record = TZAZipCentralDirEnd{};
    position = -1;
    TPositionGuard guard(FCompressedStream);
    const int64_t size = StreamSize();
    const int64_t length = std::min(size, EndRecordSearchSize);
    if (length < static_cast<int64_t>(TZAZipCentralDirEnd::Size))
        return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(length));
    FCompressedStream->SetPosition(size - length);
    FCompressedStream->ReadBuffer(buffer.data(), length);

    const uint8_t s0 = static_cast<uint8_t>(signature), s1 = static_cast<uint8_t>(signature >> 8),
                  s2 = static_cast<uint8_t>(signature >> 16),
                  s3 = static_cast<uint8_t>(signature >> 24);
    const int64_t base = size - length;
    for (int64_t i = length - 1; i >= 3; --i) {
        const uint8_t* p = buffer.data() + i;
        if (p[0] != s3 || p[-1] != s2 || p[-2] != s1 || p[-3] != s0)
            continue;
        const int64_t at = i - 3;
        if (length - at < static_cast<int64_t>(TZAZipCentralDirEnd::Size))
            continue; // fewer than 22 bytes remain
        const auto candidate = TZAZipCentralDirEnd::Parse(buffer.data() + at);
        if (!IsValidCentralDirEnd(candidate, base + at, size))
            continue;
        record = candidate;
        position = base + at;
        if (candidate.commentLength > 0) {
            // The validity test keeps the comment inside the stream, and so
            // inside the buffer.
            const auto* c =
                reinterpret_cast<const char*>(buffer.data() + at + TZAZipCentralDirEnd::Size);
            FArchiveComment.assign(c, candidate.commentLength);
        }
        return true;
    }
    return false;
}

bool TZADirManager::HasCentralDirEnd() {
    int64_t position = -1;
    const bool found = FindCentralDirEnd(ZipCentralDirEndSignature, FCentralDirEnd, position);
    return FArc.OpenCorruptedArchives() || found;
}

// ------------------------------------------------------------------- loading

void TZADirManager::LoadDir() {
    ResetDir();
    FStubSize = 0;
    FZip64 = false;
    FEndRecordSeen = false;
    FCentralDirOffset = 0;

    TZAZipCentralDirEnd record;
    int64_t endPosition = -1;
    if (!FindCentralDirEnd(ZipCentralDirEndSignature, record, endPosition)) {
        RecoverDir();
        return;
    }
    FEndRecordSeen = true;
    FCentralDirEnd = record;

    // ZIP64 locator right before the end record, and the ZIP64 end record it points to.
    int64_t working = endPosition;
    const int64_t size = StreamSize();
    if (endPosition > static_cast<int64_t>(TZAZip64CentralDirEndLocator::Size)) {
        uint8_t raw[TZAZip64CentralDirEndLocator::Size];
        TPositionGuard guard(FCompressedStream);
        FCompressedStream->SetPosition(endPosition - static_cast<int64_t>(sizeof(raw)));
        FCompressedStream->ReadBuffer(raw, sizeof(raw));
        FZip64Locator = TZAZip64CentralDirEndLocator::Parse(raw);
        if (FZip64Locator.signature == Zip64CentralDirEndLocatorSignature) {
            FZip64 = true;
            working = endPosition - static_cast<int64_t>(sizeof(raw));
        }
    }
    if (FZip64) {
        auto readZip64End = [&](uint64_t at) {
            if (working <= static_cast<int64_t>(TZAZip64CentralDirEnd::Size) ||
                at > static_cast<uint64_t>(size) ||
                static_cast<uint64_t>(size) - at < TZAZip64CentralDirEnd::Size)
                return false;
            uint8_t raw[TZAZip64CentralDirEnd::Size];
            TPositionGuard guard(FCompressedStream);
            FCompressedStream->SetPosition(static_cast<int64_t>(at));
            FCompressedStream->ReadBuffer(raw, sizeof(raw));
            const auto z = TZAZip64CentralDirEnd::Parse(raw);
            if (z.signature != Zip64CentralDirEndSignature)
                return false;
            FZip64End = z;
            return true;
        };
        const int64_t adjacent = working - static_cast<int64_t>(TZAZip64CentralDirEnd::Size);
        if (readZip64End(FZip64Locator.offsetStartDirEnd)) {
            // The directory ends where the ZIP64 end record begins. The record
            // ends at the locator; with extensible data it is longer than 56 bytes.
            working = adjacent;
            const uint64_t recordLength = FZip64End.centralDirEndSize + 12;
            if (FZip64End.centralDirEndSize > TZAZip64CentralDirEnd::Size - 12 &&
                FZip64End.centralDirEndSize < static_cast<uint64_t>(size) &&
                static_cast<int64_t>(recordLength) <=
                    working + static_cast<int64_t>(TZAZip64CentralDirEnd::Size))
                working = endPosition - 20 - static_cast<int64_t>(recordLength);
        } else if (adjacent >= 0 && readZip64End(static_cast<uint64_t>(adjacent))) {
            // Not where the locator says (its offset does not count data
            // prepended to the archive), but right before the locator.
            working = adjacent;
        } else {
            const bool needsZip64 =
                record.diskNumber == Zip64Marker16 || record.startDiskNumber == Zip64Marker16 ||
                record.entriesOnDisk == Zip64Marker16 ||
                record.entriesCentralDir == Zip64Marker16 ||
                record.centralDirSize == Zip64Marker32 || record.offsetStartDir == Zip64Marker32;
            if (needsZip64)
                Fail(40);
            // The end record is complete without ZIP64 records: the bytes that
            // looked like a locator belong to the directory (a file name, say).
            FZip64 = false;
            FZip64Locator = TZAZip64CentralDirEndLocator{};
            working = endPosition;
        }
    }

    if (!FZip64 && record.entriesCentralDir == Zip64Marker16) {
        RecoverDir();
        return;
    }
    LoadEntries(endPosition, working);
}

void TZADirManager::LoadEntries(int64_t endPosition, int64_t workingPosition) {
    const TZAZipCentralDirEnd& record = FCentralDirEnd;
    TZAVolumeNumberInfo volume;
    const uint32_t firstVolume = record.startDiskNumber == Zip64Marker16
                                     ? (FZip64 ? FZip64End.startDiskNumber : 0)
                                     : record.startDiskNumber;
    const uint32_t lastVolume = record.diskNumber == Zip64Marker16
                                    ? (FZip64 ? FZip64Locator.totalNumberOfDisks - 1 : 0)
                                    : record.diskNumber;
    volume.SetLastVolumeNumber(static_cast<int32_t>(lastVolume));
    volume.SetVolumeNumber(static_cast<int32_t>(firstVolume));
    const bool spanning = FArc.SpanningMode() != smNone;

    if (spanning)
        RequestVolume(volume);
    try {

        // Where the directory starts, how large it is and how many headers it has.
        int64_t start;
        uint64_t directorySize;
        int64_t count;
        if (FZip64) {
            directorySize = FZip64End.centralDirSize;
            count = static_cast<int32_t>(static_cast<uint32_t>(FZip64End.entriesCentralDir));
            if (spanning)
                start = FZip64End.offsetStartDir >
                                static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                            ? -1
                            : static_cast<int64_t>(FZip64End.offsetStartDir);
            else
                start = directorySize > static_cast<uint64_t>(workingPosition)
                            ? -1
                            : workingPosition - static_cast<int64_t>(directorySize);
        } else {
            directorySize = record.centralDirSize;
            count = record.entriesCentralDir;
            start = spanning ? int64_t{record.offsetStartDir}
                             : endPosition - int64_t{record.centralDirSize};
        }
        // A directory that cannot hold its headers (46 bytes each at least),
        // or that starts before the stream, is damaged: refused before
        // anything is allocated for it.
        if (count < 0 || start < 0 ||
            static_cast<uint64_t>(count) * TZAZipCentralDir::Size > directorySize)
            Fail(57);

        TSequentialReader reader;
        reader.Reset(FCompressedStream, start);
        // Without spanning the directory lies in this stream, so the count is
        // bounded by its size. With spanning it is not; the items then grow
        // with the headers actually read.
        const bool presize = !spanning || count * static_cast<int64_t>(TZAZipCentralDir::Size) <=
                                              std::max<int64_t>(reader.Remaining(), 0);
        if (presize)
            FCDir->SetCount(static_cast<int32_t>(count));
        if (count == 0)
            FCentralDirOffset = start;

        const bool oem = FArc.OEMFileNames();
        std::string bytes;
        for (int32_t i = 0; i < static_cast<int32_t>(count); ++i) {
            if (spanning && reader.Remaining() < static_cast<int64_t>(TZAZipCentralDir::Size)) {
                volume.SetVolumeNumber(volume.VolumeNumber() + 1);
                RequestVolume(volume);
                reader.Reset(FCompressedStream, FCompressedStream->Position());
            }
            if (!presize)
                FCDir->SetCount(i + 1);
            if (i == 0)
                FCentralDirOffset = reader.Position();
            TDirItem& item = FCDir->ItemsPtr(i);
            item.CentralDir = TZAZipCentralDir::Parse(reader.Take(TZAZipCentralDir::Size));
            const TZAZipCentralDir& cd = item.CentralDir;
            if ((cd.genPurposeFlag & gpfEncrypted) != 0 &&
                cd.extractVersion < OwnVariantExtractVersion)
                item.ZAEncryptionAlgorithm = caPkzipClassic;
            item.CompressionMethod = cd.compMethod;
            if (cd.nameLength > 0) {
                bytes.assign(reinterpret_cast<const char*>(reader.Take(cd.nameLength)),
                             cd.nameLength);
                FCDir->SetItemName(i, DecodeEntryName(bytes, cd.genPurposeFlag, oem));
            } else {
                FCDir->SetItemName(i, std::u16string());
            }
            if (cd.extraLength > 0)
                ApplyExtraField(i, item, reader.Take(cd.extraLength), cd.extraLength);
            if (cd.commentLength > 0)
                item.Comment.assign(reinterpret_cast<const char*>(reader.Take(cd.commentLength)),
                                    cd.commentLength);
        }
    } catch (const std::exception&) {
        if (!FArc.OpenCorruptedArchives())
            throw;
        RecoverDir();
        return;
    }

    if (!FArc.OpenCorruptedArchives() && !spanning)
        CheckTotalCompressedSize();
    if (lastVolume == 0)
        DetectStubSize(endPosition);
    if (!OffsetsIncludeStub())
        ApplyStubOffset();
}

void TZADirManager::ApplyExtraField(int32_t index, TDirItem& item, const uint8_t* data,
                                    size_t length) {
    item.bHugeFile = false;
    item.ExtraFields = TZAExtraFields::Parse(data, length);
    for (const auto& block : item.ExtraFields) {
        const size_t size = block.dataSize;
        const uint8_t* p = block.pData;
        switch (block.headerID) {
        case Zip64ExtraID: {
            size_t o = 0;
            auto take64 = [&](int64_t& out) {
                if (o + 8 <= size) {
                    out = static_cast<int64_t>(GetLE64(p + o));
                    o += 8;
                }
            };
            if (item.CentralDir.unCompSize == Zip64Marker32)
                take64(item.Zip64ExtInfo.uncompSize);
            if (item.CentralDir.compSize == Zip64Marker32)
                take64(item.Zip64ExtInfo.compSize);
            if (item.CentralDir.relOffsetLH == Zip64Marker32)
                take64(item.Zip64ExtInfo.relOffsetLH);
            if (item.CentralDir.diskNumberStart == Zip64Marker16 && o + 2 <= size)
                item.Zip64ExtInfo.diskNumberStart = GetLE16(p + o);
            item.bHugeFile = true;
            break;
        }
        case UnicodeNameExtraID: {
            TUnicodeExtendedInfo info;
            if (size > 0 && info.Load(p, size))
                FCDir->SetItemName(index, info.Name());
            break;
        }
        case AesExtraID:
            if (item.CentralDir.extractVersion < OwnVariantExtractVersion && size >= 7) {
                switch (p[4]) {
                case 1:
                    item.ZAEncryptionAlgorithm = caAES_128;
                    break;
                case 2:
                    item.ZAEncryptionAlgorithm = caAES_192;
                    break;
                case 3:
                    item.ZAEncryptionAlgorithm = caAES_256;
                    break;
                default:
                    break;
                }
                item.CompressionMethod = GetLE16(p + 5);
            }
            break;
        default:
            break;
        }
    }
}

void TZADirManager::CheckTotalCompressedSize() {
    uint64_t total = 0;
    for (int32_t i = 0; i < FCDir->Count(); ++i) {
        // A negative ZIP64 size reads as a huge one: it cannot fit either.
        const auto size = static_cast<uint64_t>(FCDir->ItemsPtr(i).EffectiveCompSize());
        total = size > std::numeric_limits<uint64_t>::max() - total
                    ? std::numeric_limits<uint64_t>::max()
                    : total + size;
    }
    if (static_cast<uint64_t>(StreamSize()) < total)
        Fail(57);
}

// ----------------------------------------------------------------- stub size

void TZADirManager::DetectStubSize(int64_t endRecordPosition) {
    FStubOffsetBase = 0;
    if (FCentralDirEnd.entriesCentralDir == 0) {
        FStubSize = endRecordPosition;
        return;
    }
    if (FCDir->Count() == 0)
        return;
    const int64_t first = FCDir->ItemsPtr(0).EffectiveRelOffsetLH();
    TSearchScope scope(*this);
    const int64_t size = FSearch->Size();
    int64_t s = std::max<int64_t>(first, 0);
    while (s < size) {
        const int64_t f = FindSignature(s, ZipLocalHeaderSignature);
        if (f < 0)
            break;
        if (MatchesFirstLocalHeader(f)) {
            FStubSize = f;
            FStubOffsetBase = std::max<int64_t>(first, 0);
            return;
        }
        s = f + 1;
    }
}

bool TZADirManager::MatchesFirstLocalHeader(int64_t position) {
    if (FCDir->Count() == 0)
        return false;
    TSearchScope scope(*this);
    const uint8_t* raw = FSearch->At(position, TZAZipLocalHeader::Size);
    if (raw == nullptr)
        return false;
    const auto lh = TZAZipLocalHeader::Parse(raw);
    if (lh.signature != ZipLocalHeaderSignature)
        return false;
    if (FSearch->Size() - position - static_cast<int64_t>(TZAZipLocalHeader::Size) < lh.nameLength)
        return false;
    if (position == 0)
        return true;
    const TZAZipCentralDir& cd = FCDir->ItemsPtr(0).CentralDir;
    if (lh.extractVersion != cd.extractVersion || lh.compMethod != cd.compMethod ||
        lh.lastModTime != cd.lastModTime || lh.lastModDate != cd.lastModDate)
        return false;
    // A header that defers CRC and sizes to a data descriptor may hold zeros
    // there, and one whose sizes sit in its ZIP64 block holds markers.
    if ((lh.genPurposeFlag & gpfDataDescriptor) != 0)
        return true;
    auto sameSize = [](uint32_t local, uint32_t central) {
        return local == central || local == Zip64Marker32 || central == Zip64Marker32;
    };
    return lh.crc32 == cd.crc32 && sameSize(lh.compSize, cd.compSize) &&
           sameSize(lh.unCompSize, cd.unCompSize);
}

bool TZADirManager::OffsetsIncludeStub() const {
    for (int32_t i = 0; i < FCDir->Count(); ++i) {
        const TDirItem& item = FCDir->ItemsPtr(i);
        if (item.CentralDir.compSize != 0)
            return item.EffectiveRelOffsetLH() >= FStubSize;
    }
    return true;
}

void TZADirManager::ApplyStubOffset() {
    // The stored offsets count from where the first entry's stored offset
    // points; the shift is the distance to where its header was found.
    const int64_t shift = FStubSize - FStubOffsetBase;
    if (shift <= 0)
        return;
    for (int32_t i = 0; i < FCDir->Count(); ++i) {
        TDirItem& item = FCDir->ItemsPtr(i);
        if (item.IsFolder())
            continue;
        if (item.CentralDir.relOffsetLH == Zip64Marker32) {
            item.Zip64ExtInfo.relOffsetLH += shift;
            continue;
        }
        const int64_t moved = int64_t{item.CentralDir.relOffsetLH} + shift;
        if (moved >= int64_t{Zip64Marker32}) {
            // Too large for the 32-bit field: the offset moves to the ZIP64 value.
            item.CentralDir.relOffsetLH = Zip64Marker32;
            item.Zip64ExtInfo.relOffsetLH = moved;
        } else {
            item.CentralDir.relOffsetLH = static_cast<uint32_t>(moved);
        }
    }
}

// ------------------------------------------------------------------ searches

TZADirManager::TSearchScope::TSearchScope(TZADirManager& owner) : FOwner(owner) {
    if (!owner.FSearch || owner.FSearch->Stream() != owner.FCompressedStream) {
        owner.FSearch =
            std::make_unique<TWindowReader>(owner.FCompressedStream, LocalHeaderSearchWindow);
        FCreated = true;
        FPosition = owner.FCompressedStream->Position();
    }
}

TZADirManager::TSearchScope::~TSearchScope() {
    if (FCreated) {
        FOwner.FSearch.reset();
        try {
            FOwner.FCompressedStream->SetPosition(FPosition);
        } catch (...) {
        }
    }
}

int64_t TZADirManager::SearchForward(int64_t start, uint32_t signature, int64_t minTail) {
    TWindowReader& reader = *FSearch;
    const int64_t size = reader.Size();
    start = std::max<int64_t>(start, 0);
    auto& memo = reader.memo[signature == ZipLocalHeaderSignature ? 0 : 1];
    if (memo.signature == signature && memo.start >= 0 && start >= memo.start &&
        (memo.result < 0 || start <= memo.result))
        return memo.result;

    const uint8_t s0 = static_cast<uint8_t>(signature), s1 = static_cast<uint8_t>(signature >> 8),
                  s2 = static_cast<uint8_t>(signature >> 16),
                  s3 = static_cast<uint8_t>(signature >> 24);
    int64_t result = -1;
    int64_t pos = start;
    while (pos <= size - 4) {
        size_t available = 0;
        const uint8_t* p = reader.Window(pos, 4, available);
        if (p == nullptr || available < 4)
            break;
        const size_t last = available - 4;
        size_t i = 0;
        bool hit = false;
        for (; i <= last; ++i) {
            if (p[i] == s0 && p[i + 1] == s1 && p[i + 2] == s2 && p[i + 3] == s3) {
                hit = true;
                break;
            }
        }
        if (hit) {
            const int64_t at = pos + static_cast<int64_t>(i);
            // Too close to the end; every later match would be too.
            result = size - at >= minTail ? at : -1;
            break;
        }
        pos += static_cast<int64_t>(available) - 3;
    }
    memo = {signature, start, result};
    return result;
}

int64_t TZADirManager::FindLocalHeader(int64_t start) {
    TSearchScope scope(*this);
    return SearchForward(start, ZipLocalHeaderSignature,
                         static_cast<int64_t>(TZAZipLocalHeader::Size));
}

int64_t TZADirManager::FindSignature(int64_t start, uint32_t signature) {
    TSearchScope scope(*this);
    return SearchForward(start, signature, 4);
}

bool TZADirManager::FindDataDescriptor(int64_t start, TZAZipDataDescriptor& descriptor) {
    TSearchScope scope(*this);
    const int64_t at = SearchForward(start, ZipDataDescriptorSignature, 4);
    if (at < 0)
        return false;
    const uint8_t* raw = FSearch->At(at, TZAZipDataDescriptor::Size);
    if (raw == nullptr)
        return false;
    descriptor = TZAZipDataDescriptor::Parse(raw);
    return true;
}

// ------------------------------------------------------------------- rebuild

void TZADirManager::RecoverDir() {
    FCDir->Clear();
    if (FArc.SpanningMode() != smNone)
        Fail(44);
    ScanLocalHeaders();
    FCentralDirOffset = StreamSize();
}

void TZADirManager::ScanLocalHeaders() {
    TSearchScope scope(*this);
    TWindowReader& reader = *FSearch;
    const int64_t size = reader.Size();
    const bool convertOem = FArc.OEMFileNames() && FEndRecordSeen;

    int64_t p = FindLocalHeader(0);
    if (p < 0)
        Fail(35);
    std::string bytes;
    while (p >= 0) {
        const uint8_t* raw = reader.At(p, TZAZipLocalHeader::Size);
        if (raw == nullptr)
            break;
        const auto lh = TZAZipLocalHeader::Parse(raw);
        if (int64_t{lh.compSize} < size && lh.extraLength <= MaxLocalExtraLength) {
            const int32_t index = FCDir->Count();
            FCDir->SetCount(index + 1);
            TDirItem& item = FCDir->ItemsPtr(index);
            TZAZipCentralDir& cd = item.CentralDir;
            cd.signature = lh.signature;
            cd.versionMadeBy = lh.extractVersion;
            cd.extractVersion = lh.extractVersion;
            cd.genPurposeFlag = lh.genPurposeFlag;
            cd.compMethod = lh.compMethod;
            cd.lastModTime = lh.lastModTime;
            cd.lastModDate = lh.lastModDate;
            cd.crc32 = lh.crc32;
            cd.compSize = lh.compSize;
            cd.unCompSize = lh.unCompSize;
            cd.nameLength = lh.nameLength;
            cd.extraLength = lh.extraLength;
            cd.externalAttr = lh.unCompSize != 0 || (lh.genPurposeFlag & gpfDataDescriptor) != 0
                                  ? ZipAttrArchive
                                  : ZipAttrDirectory;
            cd.relOffsetLH = static_cast<uint32_t>(p);
            if (p > int64_t{Zip64Marker32} - 1) {
                cd.relOffsetLH = Zip64Marker32;
                item.Zip64ExtInfo.relOffsetLH = p;
            }
            item.CompressionMethod = lh.compMethod;
            if ((lh.genPurposeFlag & gpfEncrypted) != 0 &&
                lh.extractVersion < OwnVariantExtractVersion)
                item.ZAEncryptionAlgorithm = caPkzipClassic;

            const int64_t nameAt = p + static_cast<int64_t>(TZAZipLocalHeader::Size);
            const uint8_t* name = lh.nameLength > 0 ? reader.At(nameAt, lh.nameLength) : nullptr;
            if (name != nullptr) {
                bytes.assign(reinterpret_cast<const char*>(name), lh.nameLength);
                FCDir->SetItemName(index,
                                   DecodeLocalEntryName(bytes, lh.genPurposeFlag, convertOem));
            } else {
                FCDir->SetItemName(index, std::u16string());
            }
            // The local extra field, as far as the stream holds it.
            const int64_t extraAt = nameAt + lh.nameLength;
            const auto extraLength =
                static_cast<size_t>(std::clamp<int64_t>(size - extraAt, 0, lh.extraLength));
            if (extraLength > 0) {
                const uint8_t* extra = reader.At(extraAt, extraLength);
                if (extra != nullptr)
                    ApplyExtraField(index, FCDir->ItemsPtr(index), extra, extraLength);
            }
            if ((lh.genPurposeFlag & gpfDataDescriptor) != 0) {
                TZAZipDataDescriptor descriptor;
                if (FindDataDescriptor(p, descriptor)) {
                    TZAZipCentralDir& c = FCDir->ItemsPtr(index).CentralDir;
                    c.crc32 = descriptor.crc32;
                    c.compSize = descriptor.compSize;
                    c.unCompSize = descriptor.unCompSize;
                }
            }
        }
        p = FindLocalHeader(p + 4);
    }
}

// ------------------------------------------------------------------- writing

void TZADirManager::SaveDir(bool recreateCDirEnd, TStream* stream) {
    TStream* target = stream != nullptr ? stream : FCompressedStream;
    if (FCDir->Count() > 0)
        throw Exception(u"Writing a directory with entries is not supported by the reading layer");
    TZAZipCentralDirEnd record;
    if (!recreateCDirEnd)
        record = FCentralDirEnd;
    record.signature = ZipCentralDirEndSignature;
    record.entriesOnDisk = 0;
    record.entriesCentralDir = 0;
    record.centralDirSize = 0;
    record.offsetStartDir = 0;
    const size_t commentLength = std::min<size_t>(FArchiveComment.size(), 0xFFFF);
    record.commentLength = static_cast<uint16_t>(commentLength);
    std::vector<uint8_t> out(TZAZipCentralDirEnd::Size + commentLength);
    record.Store(out.data());
    std::copy_n(FArchiveComment.data(), commentLength, out.data() + TZAZipCentralDirEnd::Size);
    target->SetPosition(FStubSize);
    target->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
    const int64_t end = FStubSize + static_cast<int64_t>(out.size());
    if (target->Size() > end)
        target->SetSize(end);
    FCentralDirEnd = record;
}

// ------------------------------------------------------------ quick judgement

bool TZADirManager::IsValidArchiveFile(const std::u16string& fileName, bool archiveIsOpen,
                                       IZAArchiverHost& arc,
                                       const TZAConfirmByTestFiles& confirmByTestFiles) {
    if (archiveIsOpen)
        return true;
    if (!FileExists(fileName))
        return false;
    bool candidate = false;
    try {
        TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
        TOverridingHost host(arc);
        TZADirManager manager(&file, false, host);
        if (manager.HasCentralDirEnd())
            return true;
        host.SetSpanningMode(smNone);
        manager.LoadDir();
        candidate = manager.CDir().Count() > 0;
    } catch (const std::exception&) {
        candidate = false;
    }
    if (!candidate)
        return false;
    // The rebuilt directory is confirmed by testing the archive's entries,
    // after the file and the manager above are released.
    if (!confirmByTestFiles)
        return true;
    try {
        return confirmByTestFiles();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace za

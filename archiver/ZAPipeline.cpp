// The entry data pipeline: from an entry's stored bytes to its plain bytes in
// a caller's stream, through the password check, decryption, inflation, the
// CRC-32 and the final checks.
#include <algorithm>
#include <memory>
#include <vector>

#include "archiver/ZAOutputWriter.h"
#include "archiver/ZipArchiver.h"
#include "crypto/Crc32.h"
#include "crypto/ZAAESCryptoTransform.h"
#include "crypto/ZAKeyPrefetch.h"
#include "crypto/ZipCrypt.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirManager.h"
#include "zlib/ZAZlib.h"

namespace za {

namespace {

constexpr int64_t ReadBufferSize = 0x100000;    // largest chunk of stored data read at once
constexpr int64_t StoredCopyBlockSize = 0xFFFF; // copy block of stored data
constexpr int32_t NativeIndexOutOfBounds = 16;
constexpr int32_t NativeDataCheckFailed = 8;
constexpr int32_t NativeDeflate64 = 55;

} // namespace

// Per-entry working state of one DecompressEntry run; released on every way out.
struct TZABaseArchiver::TEntryWork {
    TStream* arc = nullptr;
    TStream* out = nullptr;
    const TDirItem* item = nullptr;
    int32_t count = 0;
    int64_t start = 0;
    bool encrypted = false;
    TZACryptoAlgorithm alg = caPkzipClassic;
    TZAZipLocalHeader lh;
    int64_t storedSize = 0;
    int64_t expectedSize = 0;
    int64_t consumed = 0;
    int64_t produced = 0;
    uint32_t crc = 0xFFFFFFFF;
    TZipCryptKeys keys{};
    std::unique_ptr<TAESCryptoTransform> aes;
    TZAVolumeNumberInfo volume;
    uint8_t* in = nullptr;
    TZAInflater z;
    int64_t rangeOffset = -1;
    bool overflow = false; // whole-entry output went beyond the declared size
    // Overlapped writing (see InflateOverlapped).
    bool overlapped = false;
    uint8_t* outBufs[2] = {nullptr, nullptr};
    int outCur = 0;
    int64_t writePos = 0; // stream position of the write in flight
    const uint8_t* writeBuf = nullptr;
    int64_t writeCount = 0;
    bool cancelledAhead = false; // a progress event cancelled: decoding stays stopped
    int64_t cancelledAt = 0;     // output total reported by that event
};

uint32_t TZABaseArchiver::UpdateCrc32(uint32_t Crc, const void* Buffer, size_t Count) {
    return ::za::UpdateCrc32(Crc, Buffer, Count);
}

namespace {

// The volume an entry starts on and the last volume of the archive.
void EntryVolumes(const TZADirManager& dm, const TDirItem& item, int32_t& first, int32_t& last) {
    first = item.CentralDir.diskNumberStart;
    if (item.CentralDir.diskNumberStart == Zip64Marker16) {
        first = dm.Zip64() ? static_cast<int32_t>(item.Zip64ExtInfo.diskNumberStart) : 0;
    }
    last = dm.CentralDirEnd().diskNumber;
    if (dm.CentralDirEnd().diskNumber == Zip64Marker16) {
        last = dm.Zip64()
                   ? static_cast<int32_t>(dm.Zip64CentralDirEndLocator().totalNumberOfDisks) - 1
                   : 0;
    }
}

// Whether the entry's data goes through the AES transform (own-variant
// entries never do).
bool UsesAesTransform(const TDirItem& item) {
    const TZAZipCentralDir& cd = item.CentralDir;
    return (cd.genPurposeFlag & gpfEncrypted) != 0 &&
           cd.extractVersion < OwnVariantExtractVersion &&
           item.ZAEncryptionAlgorithm != caPkzipClassic;
}

// Reads the local header at the stream's position and leaves the stream at
// the entry's data; EReadError when the header is cut short.
TZAZipLocalHeader SkipLocalHeader(TStream& arc) {
    uint8_t raw[TZAZipLocalHeader::Size];
    arc.ReadBuffer(raw, sizeof raw);
    const TZAZipLocalHeader lh = TZAZipLocalHeader::Parse(raw);
    arc.Seek(int64_t{lh.nameLength} + lh.extraLength, soCurrent);
    return lh;
}

} // namespace

void TZABaseArchiver::ExtractEntryToStream(int32_t ItemNo, TStream& Stream, int32_t Count,
                                           int64_t StartPosition) {
    TZADirArray& dir = Dir();
    if (ItemNo < 0 || ItemNo >= dir.Count()) {
        throw EZAException(NativeIndexOutOfBounds, this);
    }
    const TDirItem& item = dir.ItemsPtr(ItemNo);
    int32_t first = 0, last = 0;
    EntryVolumes(*DMHandle, item, first, last);
    TZAVolumeNumberInfo volume;
    volume.SetLastVolumeNumber(last);
    volume.SetVolumeNumber(first);
    if (!(IsCustomStream && FCompressedStream != nullptr)) {
        OpenVolume(volume);
    }
    TStream* arc = FCompressedStream;
    if (arc == nullptr) {
        throw EZAException(NativeDataCheckFailed, this);
    }
    if (FTaggedRun) {
        QueueKeyDerivations(ItemNo);
    }
    arc->SetPosition(item.EffectiveRelOffsetLH());
    if (!DecompressEntry(*arc, Stream, item, Count, StartPosition) && !FProgressCancel &&
        !FExtractCorruptedFiles && !FSkipFile) {
        throw EZAException(NativeDataCheckFailed, this);
    }
}

bool TZABaseArchiver::DecompressEntry(TStream& ArcStream, TStream& OutStream, const TDirItem& Item,
                                      int32_t Count, int64_t StartPosition) {
    TEntryWork w;
    w.arc = &ArcStream;
    w.out = &OutStream;
    w.item = &Item;
    w.count = Count;
    w.start = StartPosition;
    const TZAZipCentralDir& cd = Item.CentralDir;
    w.encrypted = (cd.genPurposeFlag & gpfEncrypted) != 0;
    w.alg = Item.ZAEncryptionAlgorithm;
    if (UsesAesTransform(Item)) {
        w.aes = std::make_unique<TAESCryptoTransform>(AesKeyStrength(w.alg), 2, FCompressionMethod);
        w.aes->Initialize(Decryption, TZACryptoItemInfo{cd.crc32});
        w.aes->SetKeyPrefetcher(FKeyPrefetch.get());
        w.aes->GenerateKey(FPassword);
    } else if (cd.extractVersion >= OwnVariantExtractVersion) {
        w.alg = caPkzipClassic;
    }
    int32_t first = 0, last = 0;
    EntryVolumes(*DMHandle, Item, first, last);
    w.volume.SetLastVolumeNumber(last);
    w.volume.SetVolumeNumber(first);

    w.lh = SkipLocalHeader(ArcStream);

    w.storedSize = Item.EffectiveCompSize();
    w.expectedSize = Item.EffectiveUncompSize();
    if (FSpanningMode == smNone) {
        const int64_t pos = ArcStream.Position();
        const int64_t limit = DMHandle->CentralDirOffset();
        if (pos + w.storedSize > limit) {
            w.storedSize = std::max<int64_t>(0, limit - pos);
        }
    }
    FProgressMax = (StartPosition + Count != 0) ? StartPosition + Count : w.expectedSize;
    if (FProgressMax == 0) {
        FProgressMax = 2;
    }
    FSkipFile = false;

    bool result = false;
    switch (Item.CompressionMethod) {
    case cmStored:
    case cmDeflate:
        result = DecodeEntryData(w);
        break;
    case cmDeflate64:
        throw EZAException(NativeDeflate64, nullptr);
    default:
        result = false;
        break;
    }
    if (Count == 0 && (w.produced != w.expectedSize || w.overflow)) {
        result = false;
    }
    if (!result) {
        return false;
    }
    if (FSkipFile || Count != 0) {
        return true;
    }
    if (cd.extractVersion >= OwnVariantExtractVersion) {
        return true;
    }
    if (w.aes) {
        w.aes->LoadFileStorageEndBlock(*w.arc, 0);
        return !w.aes->IsDirItemCorrupted(TZACryptoItemInfo{cd.crc32}, w.crc ^ 0xFFFFFFFF);
    }
    return (w.crc ^ 0xFFFFFFFF) == cd.crc32;
}

void TZABaseArchiver::QueueKeyDerivations(int32_t ItemNo) {
    // Only a plain archive file is read ahead: a caller's stream or a
    // spanned set is read only where the extraction itself reads.
    if (FPassword.empty() || IsCustomStream || FSpanningMode != smNone ||
        FCompressedStream == nullptr) {
        return;
    }
    if (!FKeyPrefetch) {
        FKeyPrefetch = std::make_unique<TZAKeyPrefetcher>();
    }
    FKeyPrefetch->Forget(ItemNo);
    TZADirArray& dir = Dir();
    TStream& arc = *FCompressedStream;
    const int64_t keep = arc.Position();
    int32_t j = std::max(FPrefetchNext, ItemNo + 1);
    try {
        for (; j < dir.Count(); ++j) {
            const TDirItem& next = dir.ItemsPtr(j);
            if (!next.Tagged || !UsesAesTransform(next)) {
                continue;
            }
            const size_t keyBytes =
                static_cast<size_t>(AesKeyStrength(next.ZAEncryptionAlgorithm)) / 8;
            const size_t saltBytes = keyBytes / 2;
            uint8_t salt[16];
            if (saltBytes == 0 || saltBytes > sizeof salt) {
                continue;
            }
            // The salt opens the entry's data, right after its local header.
            arc.SetPosition(next.EffectiveRelOffsetLH());
            SkipLocalHeader(arc);
            if (arc.Read(salt, static_cast<int64_t>(saltBytes)) !=
                static_cast<int64_t>(saltBytes)) {
                continue;
            }
            if (!FKeyPrefetch->Submit(FPassword, salt, saltBytes, 2 * keyBytes + 2,
                                      TAESCryptoTransform::Iterations, j)) {
                break; // full: the rest is looked at for a later entry
            }
        }
    } catch (const Exception&) {
        j = dir.Count(); // an unreadable archive is not read ahead any further
    }
    FPrefetchNext = j;
    arc.SetPosition(keep);
}

bool TZABaseArchiver::DecodeEntryData(TEntryWork& w) {
    if (w.encrypted) {
        FSkipFile = false;
        w.storedSize -= w.aes ? int64_t{w.aes->GetFileStorageStartBlockSize()} +
                                    w.aes->GetFileStorageEndBlockSize()
                              : int64_t{ZipCryptHeaderSize};
        const int64_t p = w.arc->Position();
        for (;;) {
            w.arc->SetPosition(p);
            bool right = false;
            if (!w.aes) {
                right = !FPassword.empty() &&
                        ZipCryptCheckHeader(*w.arc, FPassword, w.keys, w.lh.crc32, w.lh.lastModTime,
                                            w.lh.genPurposeFlag);
            } else {
                w.aes->LoadFileStorageStartBlock(*w.arc, 0);
                right =
                    w.aes->CheckPassword(FPassword, TZACryptoItemInfo{w.item->CentralDir.crc32});
            }
            if (FSuppressPasswordEvent || right) {
                break;
            }
            DoPassword(w.item->Name, FPassword, FSkipFile);
            if (w.aes && !FSkipFile && w.aes->GetPassword() != FPassword) {
                w.aes->GenerateKey(FPassword);
            }
            if (FSkipFile) {
                break;
            }
        }
        if (FSkipFile) {
            ++FSkippedPasswordCount;
            ++FSkippedFileCount;
            return false;
        }
    }

    if (!FPipeIn) {
        FPipeIn = std::make_unique<uint8_t[]>(static_cast<size_t>(ReadBufferSize));
        FPipeOut = std::make_unique<uint8_t[]>(static_cast<size_t>(ReadBufferSize));
    }
    w.in = FPipeIn.get();
    if (!w.z.Init()) {
        return false;
    }
    // Overlapping pays for entries of more than one output buffer, and is
    // safe only into the extraction's own file of a plain archive: nothing
    // else touches that stream while a write is in flight.
    w.overlapped = FOutputIsOwnFile && w.item->CompressionMethod == cmDeflate && w.count == 0 &&
                   w.start == 0 && w.expectedSize > ReadBufferSize && FSpanningMode == smNone &&
                   !IsCustomStream;
    if (w.overlapped) {
        if (!FOutWriter) {
            FOutWriter = std::make_unique<TZAOutputWriter>();
        }
        if (!FPipeOut2) {
            FPipeOut2 = std::make_unique<uint8_t[]>(static_cast<size_t>(ReadBufferSize));
        }
        w.outBufs[0] = FPipeOut.get();
        w.outBufs[1] = FPipeOut2.get();
    }
    // Whatever way this entry ends, no write of it stays in flight.
    struct TSettle {
        TZABaseArchiver& a;
        TEntryWork& w;
        ~TSettle() {
            if (w.overlapped && a.FOutWriter && a.FOutWriter->Busy()) {
                try {
                    a.FOutWriter->Wait();
                } catch (...) {
                }
            }
        }
    } settle{*this, w};
    while (w.consumed < w.storedSize) {
        const int64_t chunk = std::min(ReadBufferSize, w.storedSize - w.consumed);
        if (!ReadArchiveChunk(w, w.in, chunk)) {
            if (w.overlapped) {
                SettleOverlappedWrite(w);
            }
            return false;
        }
        int64_t chunkOut = 0;
        if (!DecodeChunk(w, chunk, chunkOut)) {
            return false;
        }
        w.produced += chunkOut;
        w.consumed += chunk;
        if (w.start != 0 || w.count != 0) {
            if (w.produced < w.start) {
                w.out->SetPosition(0);
            } else if (w.produced - chunkOut < w.start || (w.start == 0 && w.rangeOffset < 0)) {
                w.rangeOffset = chunkOut - (w.produced - w.start);
            }
            if (w.count > 0 && w.start + w.count <= w.produced) {
                if (w.start > 0 && w.rangeOffset >= 0) {
                    w.out->SetPosition(w.rangeOffset);
                }
                break;
            }
        }
    }
    if (w.overlapped && !SettleOverlappedWrite(w)) {
        return true; // cancelled in the disk-full protocol, as a direct write would
    }
    return true;
}

bool TZABaseArchiver::FitsDeclaredSize(TEntryWork& w, int64_t chunkOut) {
    // A whole-entry request never writes beyond the declared size: that is
    // damaged (or hostile) data, and it could otherwise fill the disk.
    if (w.count == 0 && w.start == 0 && w.produced + chunkOut > w.expectedSize) {
        w.overflow = true;
        return false;
    }
    return true;
}

bool TZABaseArchiver::BlockProgress(const TDirItem& Item) {
    const double file = static_cast<double>(FProgress) / static_cast<double>(FProgressMax);
    DoFileProgress(Item.Name, file * 100.0, Item.Operation, ppProcess, FProgressCancel);
    if (FProgressCancel) {
        return false;
    }
    const double overall =
        FProcessedFileCount > 0 ? (file + FProcessedFileNo) / FProcessedFileCount * 100.0 : 100.0;
    DoOverallProgress(overall, Item.Operation, ppProcess, FProgressCancel);
    return !FProgressCancel;
}

bool TZABaseArchiver::DecodeChunk(TEntryWork& w, int64_t chunk, int64_t& chunkOut) {
    chunkOut = 0;
    if (chunk <= 0) {
        return false;
    }
    uint8_t* buf = w.in;
    if (w.encrypted) {
        if (!w.aes) {
            ZipCryptDecodeBuffer(buf, static_cast<size_t>(chunk), w.keys);
        } else {
            w.aes->DecryptBuffer(buf, 0, static_cast<int32_t>(chunk), buf, 0);
        }
    }
    auto fits = [&](int64_t n) { return FitsDeclaredSize(w, chunkOut + n); };

    if (w.item->CompressionMethod == cmStored) {
        // Stored data goes out block by block straight from the input buffer.
        for (int64_t done = 0; done < chunk;) {
            const int64_t n = std::min(StoredCopyBlockSize, chunk - done);
            if (!fits(n)) {
                return false;
            }
            const uint8_t* block = buf + done;
            chunkOut += n;
            w.crc = UpdateCrc32(w.crc, block, static_cast<size_t>(n));
            done += n;
            FProgress = w.consumed + done;
            if (FProgressEnabled && !BlockProgress(*w.item)) {
                return true;
            }
            if (!WriteOutputBuffer(*w.out, block, n)) {
                return true;
            }
        }
        return true;
    }

    // Deflate: the inflater keeps the rules of a zlib-wrapped stream over
    // the raw data.
    const size_t inLen = static_cast<size_t>(chunk);
    if (w.overlapped) {
        w.z.SetInput(buf, inLen);
        return InflateOverlapped(w, chunkOut);
    }
    uint8_t* const outBuf = FPipeOut.get();
    const size_t outSize = static_cast<size_t>(ReadBufferSize);
    const uint64_t totalBefore = w.z.TotalOut();
    w.z.SetInput(buf, inLen);
    w.z.SetOutput(outBuf, outSize);
    for (;;) {
        FProgress = static_cast<int64_t>(w.z.TotalOut());
        if (FProgressEnabled && !BlockProgress(*w.item)) {
            break;
        }
        const uint64_t before = w.z.TotalOut();
        const int rc = w.z.Inflate();
        if (rc < 0) {
            if (w.z.AvailIn() == 0 && rc == Z_BUF_ERROR) {
                break;
            }
            return false;
        }
        const int64_t n = static_cast<int64_t>(w.z.TotalOut() - before);
        if (!fits(n)) {
            return false;
        }
        chunkOut += n;
        if (!WriteOutputBuffer(*w.out, outBuf, n)) {
            break;
        }
        w.crc = UpdateCrc32(w.crc, outBuf, static_cast<size_t>(n));
        if ((w.z.AvailOut() > 0 && w.z.AvailIn() == 0) || rc == Z_STREAM_END) {
            break;
        }
        w.z.SetOutput(outBuf, outSize);
    }
    chunkOut = static_cast<int64_t>(w.z.TotalOut() - totalBefore);
    return true;
}

bool TZABaseArchiver::SettleOverlappedWrite(TEntryWork& w) {
    if (!FOutWriter->Busy()) {
        return true;
    }
    if (FOutWriter->Wait() == w.writeCount) {
        return true;
    }
    // The write failed as a direct one would have: the event, then the
    // direct protocol from where the write started.
    bool cancel = false;
    DoDiskFull(-1, FFileName, cancel);
    if (cancel) {
        FProgressCancel = true;
        return false;
    }
    w.out->SetPosition(w.writePos);
    return WriteOutputBuffer(*w.out, w.writeBuf, w.writeCount);
}

// As the direct loop, with each inflate call made just before its progress
// event instead of just after it, into the buffer that is not being
// written: the previous buffer's write is settled (and its disk-full
// protocol run) before that event, so events and their order stay those of
// the direct loop, and the result of a call is used only once its event
// let it through.
bool TZABaseArchiver::InflateOverlapped(TEntryWork& w, int64_t& chunkOut) {
    const size_t outSize = static_cast<size_t>(ReadBufferSize);
    for (;;) {
        if (w.cancelledAhead) {
            // A later event may clear the flag; decoding does not resume.
            FProgress = w.cancelledAt;
            if (FProgressEnabled) {
                BlockProgress(*w.item);
            }
            return true;
        }
        uint8_t* const outBuf = w.outBufs[w.outCur];
        const uint64_t before = w.z.TotalOut();
        w.z.SetOutput(outBuf, outSize);
        const int rc = w.z.Inflate();
        const int64_t n = static_cast<int64_t>(w.z.TotalOut() - before);
        if (!SettleOverlappedWrite(w)) {
            return true;
        }
        FProgress = static_cast<int64_t>(before);
        if (FProgressEnabled && !BlockProgress(*w.item)) {
            // The call's output is dropped, as if it had not been made.
            w.cancelledAhead = true;
            w.cancelledAt = FProgress;
            return true;
        }
        if (rc < 0) {
            if (w.z.AvailIn() == 0 && rc == Z_BUF_ERROR) {
                return true;
            }
            return false;
        }
        if (!FitsDeclaredSize(w, chunkOut + n)) {
            return false;
        }
        chunkOut += n;
        if (n > 0) {
            w.writePos = w.out->Position();
            w.writeBuf = outBuf;
            w.writeCount = n;
            FOutWriter->Start(*w.out, outBuf, n);
            w.outCur ^= 1;
            w.crc = UpdateCrc32(w.crc, outBuf, static_cast<size_t>(n));
        }
        if ((w.z.AvailOut() > 0 && w.z.AvailIn() == 0) || rc == Z_STREAM_END) {
            return true;
        }
    }
}

bool TZABaseArchiver::ReadArchiveChunk(TEntryWork& w, uint8_t* buffer, int64_t count) {
    int64_t n = w.arc->Read(buffer, count);
    while (n < count) {
        if (FSpanningMode == smNone || IsCustomStream) {
            break; // a single file has nothing after its end
        }
        w.volume.SetVolumeNumber(w.volume.VolumeNumber() + 1);
        OpenVolume(w.volume);
        w.arc = FCompressedStream;
        w.arc->SetPosition(0);
        n += std::max<int64_t>(0, w.arc->Read(buffer + n, count - n));
        if (w.arc->Position() == 0) {
            break;
        }
    }
    return n == count;
}

bool TZABaseArchiver::WriteOutputBuffer(TStream& Stream, const uint8_t* Buffer, int64_t Count) {
    if (Count <= 0) {
        return true;
    }
    const int64_t pos = Stream.Position();
    for (;;) {
        if (Stream.Write(Buffer, Count) == Count) {
            return true;
        }
        bool cancel = false;
        DoDiskFull(-1, FFileName, cancel);
        if (cancel) {
            FProgressCancel = true;
            return false;
        }
        Stream.SetPosition(pos);
    }
}

} // namespace za

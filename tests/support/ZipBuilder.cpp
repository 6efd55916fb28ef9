#include "tests/support/ZipBuilder.h"

#include <stdexcept>

#include <zlib.h>

namespace za::test {

uint32_t Crc32(std::string_view data) {
    uLong crc = crc32(0L, Z_NULL, 0);
    size_t pos = 0;
    while (pos < data.size()) {
        const auto chunk = static_cast<uInt>(std::min<size_t>(data.size() - pos, 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data() + pos), chunk);
        pos += chunk;
    }
    return static_cast<uint32_t>(crc);
}

std::string DeflateRaw(std::string_view data, int level) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    out.resize(zs.total_out);
    return out;
}

std::string InflateRaw(std::string_view data, size_t expectedSize) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK)
        throw std::runtime_error("inflateInit2 failed");
    std::string out(expectedSize, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    inflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("inflate failed");
    out.resize(zs.total_out);
    return out;
}

std::string LE16(uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string LE32(uint32_t v) {
    return LE16(static_cast<uint16_t>(v)) + LE16(static_cast<uint16_t>(v >> 16));
}
std::string LE64(uint64_t v) {
    return LE32(static_cast<uint32_t>(v)) + LE32(static_cast<uint32_t>(v >> 32));
}

std::string ExtraBlock(uint16_t headerID, std::string_view data) {
    return LE16(headerID) + LE16(static_cast<uint16_t>(data.size())) + std::string(data);
}

std::string ExtraBlockClaiming(uint16_t headerID, uint16_t claimedSize, std::string_view data) {
    return LE16(headerID) + LE16(claimedSize) + std::string(data);
}

std::string Zip64Extra(std::optional<uint64_t> uncompSize, std::optional<uint64_t> compSize,
                       std::optional<uint64_t> relOffset, std::optional<uint32_t> diskNumber) {
    std::string data;
    if (uncompSize)
        data += LE64(*uncompSize);
    if (compSize)
        data += LE64(*compSize);
    if (relOffset)
        data += LE64(*relOffset);
    if (diskNumber)
        data += LE32(*diskNumber);
    return ExtraBlock(0x0001, data);
}

std::string AesExtra(uint8_t strength, uint16_t actualMethod, uint16_t vendorVersion,
                     std::string_view vendorId) {
    return ExtraBlock(0x9901, LE16(vendorVersion) + std::string(vendorId.substr(0, 2)) +
                                  std::string(1, static_cast<char>(strength)) + LE16(actualMethod));
}

std::string UnicodeNameExtra(std::u16string_view name, uint32_t signature,
                             std::optional<int32_t> count) {
    std::string data =
        LE32(signature) +
        LE32(static_cast<uint32_t>(count.value_or(static_cast<int32_t>(name.size()))));
    for (char16_t c : name)
        data += LE16(static_cast<uint16_t>(c));
    return ExtraBlock(0x554E, data);
}

std::string UnicodePathExtra(std::string_view utf8Name, std::string_view storedName) {
    return ExtraBlock(0x7075,
                      std::string(1, '\1') + LE32(Crc32(storedName)) + std::string(utf8Name));
}

ZipEntry ZipEntry::Stored(std::string name, std::string content) {
    ZipEntry e;
    e.name = std::move(name);
    e.content = std::move(content);
    e.method = 0;
    e.versionNeeded = 10;
    return e;
}

ZipEntry ZipEntry::Deflated(std::string name, std::string content) {
    ZipEntry e;
    e.name = std::move(name);
    e.content = std::move(content);
    e.method = 8;
    return e;
}

ZipEntry ZipEntry::Folder(std::string name) {
    ZipEntry e = Stored(std::move(name), {});
    e.externalAttr = 0x10;
    return e;
}

ZipBuilder& ZipBuilder::Add(ZipEntry entry) {
    FEntries.push_back(std::move(entry));
    return *this;
}
ZipBuilder& ZipBuilder::Comment(std::string comment) {
    FComment = std::move(comment);
    return *this;
}
ZipBuilder& ZipBuilder::Stub(std::string bytes, bool offsetsIncludeStub) {
    FStub = std::move(bytes);
    FStubCounted = offsetsIncludeStub;
    return *this;
}
ZipBuilder& ZipBuilder::Gap(std::string bytes) {
    FGap = std::move(bytes);
    return *this;
}
ZipBuilder& ZipBuilder::Zip64(std::string extensible) {
    FZip64 = true;
    FZip64Extensible = std::move(extensible);
    return *this;
}
ZipBuilder& ZipBuilder::Zip64KeepEndValues() {
    FZip64KeepEnd = true;
    return *this;
}
ZipBuilder& ZipBuilder::Trailing(std::string bytes) {
    FTrailing = std::move(bytes);
    return *this;
}
ZipBuilder& ZipBuilder::OmitEndRecord() {
    FOmitEnd = true;
    return *this;
}
ZipBuilder& ZipBuilder::OmitCentralDirectory() {
    FOmitCentral = true;
    return *this;
}

std::string ZipBuilder::Build(ZipLayout* layout) const {
    ZipLayout lay;
    std::string out = FStub;
    const int64_t base = FStubCounted ? 0 : static_cast<int64_t>(FStub.size());

    std::vector<std::string> centrals;
    centrals.reserve(FEntries.size());

    for (const ZipEntry& e : FEntries) {
        std::string data;
        if (e.raw)
            data = *e.raw;
        else if (e.method == 8)
            data = DeflateRaw(e.content);
        else
            data = e.content;
        const uint32_t crc = Crc32(e.content);
        const uint64_t comp = data.size(), uncomp = e.content.size();
        const uint16_t flags = static_cast<uint16_t>(e.flags | (e.dataDescriptor ? 0x0008 : 0));
        const int64_t localAt = static_cast<int64_t>(out.size());
        const uint64_t relOffset = static_cast<uint64_t>(localAt - base);
        lay.localHeaders.push_back(localAt);
        lay.localHeaderSizes.push_back(0);

        if (!e.omitLocal) {
            const bool zeroLocal = e.dataDescriptor && !e.keepLocalSizes;
            std::string localExtra =
                (e.zip64 ? Zip64Extra(zeroLocal ? 0 : uncomp, zeroLocal ? 0 : comp) : "") +
                e.localExtra;
            out += LE32(0x04034B50);
            out += LE16(e.zip64 ? static_cast<uint16_t>(45) : e.versionNeeded);
            out += LE16(flags);
            out += LE16(e.method);
            out += LE16(e.time);
            out += LE16(e.date);
            out += LE32(e.localCrc.value_or(zeroLocal ? 0 : crc));
            out += LE32(e.localCompSize.value_or(e.zip64     ? 0xFFFFFFFF
                                                 : zeroLocal ? 0
                                                             : static_cast<uint32_t>(comp)));
            out += LE32(e.localUncompSize.value_or(e.zip64     ? 0xFFFFFFFF
                                                   : zeroLocal ? 0
                                                               : static_cast<uint32_t>(uncomp)));
            out += LE16(static_cast<uint16_t>(e.name.size()));
            out += LE16(e.localExtraLength.value_or(static_cast<uint16_t>(localExtra.size())));
            out += e.name;
            out += localExtra;
            lay.localHeaderSizes.back() = static_cast<int64_t>(out.size()) - localAt;
            out += data;
            if (e.dataDescriptor) {
                if (e.descriptorSignature)
                    out += LE32(0x08074B50);
                out += LE32(crc);
                if (e.zip64) {
                    out += LE64(comp);
                    out += LE64(uncomp);
                } else {
                    out += LE32(static_cast<uint32_t>(comp));
                    out += LE32(static_cast<uint32_t>(uncomp));
                }
            }
        }

        std::string centralExtra =
            (e.zip64 ? Zip64Extra(uncomp, comp, relOffset) : "") + e.centralExtra;
        std::string h;
        h += LE32(0x02014B50);
        h += LE16(e.versionMadeBy);
        h += LE16(e.centralExtractVersion.value_or(e.zip64 ? static_cast<uint16_t>(45)
                                                           : e.versionNeeded));
        h += LE16(flags);
        h += LE16(e.method);
        h += LE16(e.time);
        h += LE16(e.date);
        h += LE32(e.crc.value_or(crc));
        h += LE32(e.compSize.value_or(e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(comp)));
        h += LE32(e.uncompSize.value_or(e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(uncomp)));
        h += LE16(e.centralNameLength.value_or(static_cast<uint16_t>(e.name.size())));
        h += LE16(e.centralExtraLength.value_or(static_cast<uint16_t>(centralExtra.size())));
        h += LE16(static_cast<uint16_t>(e.comment.size()));
        h += LE16(e.diskNumberStart.value_or(0));
        h += LE16(e.internalAttr);
        h += LE32(e.externalAttr);
        h += LE32(e.relOffset.value_or(e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(relOffset)));
        h += e.name;
        h += centralExtra;
        h += e.comment;
        centrals.push_back(std::move(h));
    }

    out += FGap;
    lay.centralDirOffset = static_cast<int64_t>(out.size());
    if (!FOmitCentral) {
        for (const auto& h : centrals) {
            lay.centralHeaders.push_back(static_cast<int64_t>(out.size()));
            lay.centralHeaderSizes.push_back(static_cast<int64_t>(h.size()));
            out += h;
        }
    }
    lay.centralDirSize = static_cast<int64_t>(out.size()) - lay.centralDirOffset;
    const uint64_t count = FEntries.size();
    const uint64_t dirOffset = static_cast<uint64_t>(lay.centralDirOffset - base);

    if (FZip64) {
        lay.zip64EndOffset = static_cast<int64_t>(out.size());
        const auto& z = FZip64Fields;
        out += LE32(z.recordSignature.value_or(0x06064B50));
        out += LE64(z.centralDirEndSize.value_or(44 + FZip64Extensible.size()));
        out += LE16(45);
        out += LE16(45);
        out += LE32(z.diskNumber.value_or(0));
        out += LE32(z.startDiskNumber.value_or(0));
        out += LE64(z.entriesOnDisk.value_or(count));
        out += LE64(z.entriesCentralDir.value_or(count));
        out += LE64(z.centralDirSize.value_or(static_cast<uint64_t>(lay.centralDirSize)));
        out += LE64(z.offsetStartDir.value_or(dirOffset));
        out += FZip64Extensible;
        lay.locatorOffset = static_cast<int64_t>(out.size());
        out += LE32(z.locatorSignature.value_or(0x07064B50));
        out += LE32(0);
        out += LE64(z.offsetStartDirEnd.value_or(static_cast<uint64_t>(lay.zip64EndOffset - base)));
        out += LE32(z.totalNumberOfDisks.value_or(1));
    }

    if (!FOmitEnd) {
        lay.endRecordOffset = static_cast<int64_t>(out.size());
        const bool markers = FZip64 && !FZip64KeepEnd;
        out += LE32(0x06054B50);
        out += LE16(FEnd.diskNumber.value_or(0));
        out += LE16(FEnd.startDiskNumber.value_or(0));
        const auto entries16 = static_cast<uint16_t>(markers || count > 0xFFFF ? 0xFFFF : count);
        out += LE16(FEnd.entriesOnDisk.value_or(entries16));
        out += LE16(FEnd.entriesCentralDir.value_or(entries16));
        out += LE32(FEnd.centralDirSize.value_or(
            markers ? 0xFFFFFFFF : static_cast<uint32_t>(lay.centralDirSize)));
        out += LE32(
            FEnd.offsetStartDir.value_or(markers ? 0xFFFFFFFF : static_cast<uint32_t>(dirOffset)));
        out += LE16(FEnd.commentLength.value_or(static_cast<uint16_t>(FComment.size())));
        out += FComment;
    }
    out += FTrailing;
    lay.size = static_cast<int64_t>(out.size());
    if (layout != nullptr)
        *layout = std::move(lay);
    return out;
}

std::vector<std::string> ZipBuilder::BuildSplit(size_t volumeSize, bool splitMarker) const {
    if (volumeSize < 64)
        throw std::invalid_argument("volumeSize");
    ZipBuilder copy = *this;
    if (splitMarker) {
        copy.FStub = LE32(0x08074B50) + copy.FStub;
        copy.FStubCounted = true;
    }
    ZipLayout lay;
    std::string bytes = copy.Build(&lay);

    // Records that must stay on one volume.
    std::vector<std::pair<int64_t, int64_t>> atomic; // start, end
    for (size_t i = 0; i < lay.localHeaders.size(); ++i)
        atomic.emplace_back(lay.localHeaders[i], lay.localHeaders[i] + lay.localHeaderSizes[i]);
    for (size_t i = 0; i < lay.centralHeaders.size(); ++i)
        atomic.emplace_back(lay.centralHeaders[i],
                            lay.centralHeaders[i] + lay.centralHeaderSizes[i]);
    if (lay.zip64EndOffset >= 0)
        atomic.emplace_back(lay.zip64EndOffset,
                            lay.endRecordOffset >= 0 ? lay.endRecordOffset : lay.size);
    if (lay.endRecordOffset >= 0)
        atomic.emplace_back(lay.endRecordOffset, lay.size);
    std::vector<int64_t> starts = {0};
    const auto vs = static_cast<int64_t>(volumeSize);
    while (starts.back() + vs < lay.size) {
        int64_t cut = starts.back() + vs;
        for (const auto& [from, to] : atomic)
            if (from < cut && to > cut && from > starts.back())
                cut = std::min(cut, from);
        starts.push_back(cut);
    }
    auto volumeOf = [&](int64_t pos) {
        size_t v = 0;
        while (v + 1 < starts.size() && starts[v + 1] <= pos)
            ++v;
        return v;
    };

    auto patch16 = [&](int64_t at, uint16_t v) {
        bytes[static_cast<size_t>(at)] = static_cast<char>(v & 0xFF);
        bytes[static_cast<size_t>(at) + 1] = static_cast<char>(v >> 8);
    };
    auto patch32 = [&](int64_t at, uint32_t v) {
        patch16(at, static_cast<uint16_t>(v));
        patch16(at + 2, static_cast<uint16_t>(v >> 16));
    };
    for (size_t i = 0; i < lay.centralHeaders.size(); ++i) {
        const int64_t local = lay.localHeaders[i];
        const size_t v = volumeOf(local);
        patch16(lay.centralHeaders[i] + 34, static_cast<uint16_t>(v));
        patch32(lay.centralHeaders[i] + 42, static_cast<uint32_t>(local - starts[v]));
    }
    if (lay.endRecordOffset >= 0) {
        const int64_t e = lay.endRecordOffset;
        const auto lastVolume = static_cast<uint16_t>(volumeOf(e));
        uint16_t onLast = 0;
        for (int64_t c : lay.centralHeaders)
            if (volumeOf(c) == lastVolume)
                ++onLast;
        const size_t dirVolume = volumeOf(lay.centralDirOffset);
        patch16(e + 4, FEnd.diskNumber.value_or(lastVolume));
        patch16(e + 6, FEnd.startDiskNumber.value_or(static_cast<uint16_t>(dirVolume)));
        patch16(e + 8, FEnd.entriesOnDisk.value_or(onLast));
        patch32(e + 16, FEnd.offsetStartDir.value_or(
                            static_cast<uint32_t>(lay.centralDirOffset - starts[dirVolume])));
    }
    std::vector<std::string> volumes;
    for (size_t v = 0; v < starts.size(); ++v) {
        const int64_t end = v + 1 < starts.size() ? starts[v + 1] : lay.size;
        volumes.push_back(
            bytes.substr(static_cast<size_t>(starts[v]), static_cast<size_t>(end - starts[v])));
    }
    return volumes;
}

} // namespace za::test

#include "zip/ZARecords.h"

namespace za {

TZAZipLocalHeader TZAZipLocalHeader::Parse(const uint8_t* p) {
    TZAZipLocalHeader r;
    r.signature = GetLE32(p);
    r.extractVersion = GetLE16(p + 4);
    r.genPurposeFlag = GetLE16(p + 6);
    r.compMethod = GetLE16(p + 8);
    r.lastModTime = GetLE16(p + 10);
    r.lastModDate = GetLE16(p + 12);
    r.crc32 = GetLE32(p + 14);
    r.compSize = GetLE32(p + 18);
    r.unCompSize = GetLE32(p + 22);
    r.nameLength = GetLE16(p + 26);
    r.extraLength = GetLE16(p + 28);
    return r;
}

void TZAZipLocalHeader::Store(uint8_t* p) const {
    PutLE32(p, signature);
    PutLE16(p + 4, extractVersion);
    PutLE16(p + 6, genPurposeFlag);
    PutLE16(p + 8, compMethod);
    PutLE16(p + 10, lastModTime);
    PutLE16(p + 12, lastModDate);
    PutLE32(p + 14, crc32);
    PutLE32(p + 18, compSize);
    PutLE32(p + 22, unCompSize);
    PutLE16(p + 26, nameLength);
    PutLE16(p + 28, extraLength);
}

TZAZipCentralDir TZAZipCentralDir::Parse(const uint8_t* p) {
    TZAZipCentralDir r;
    r.signature = GetLE32(p);
    r.versionMadeBy = GetLE16(p + 4);
    r.extractVersion = GetLE16(p + 6);
    r.genPurposeFlag = GetLE16(p + 8);
    r.compMethod = GetLE16(p + 10);
    r.lastModTime = GetLE16(p + 12);
    r.lastModDate = GetLE16(p + 14);
    r.crc32 = GetLE32(p + 16);
    r.compSize = GetLE32(p + 20);
    r.unCompSize = GetLE32(p + 24);
    r.nameLength = GetLE16(p + 28);
    r.extraLength = GetLE16(p + 30);
    r.commentLength = GetLE16(p + 32);
    r.diskNumberStart = GetLE16(p + 34);
    r.internalAttr = GetLE16(p + 36);
    r.externalAttr = GetLE32(p + 38);
    r.relOffsetLH = GetLE32(p + 42);
    return r;
}

void TZAZipCentralDir::Store(uint8_t* p) const {
    PutLE32(p, signature);
    PutLE16(p + 4, versionMadeBy);
    PutLE16(p + 6, extractVersion);
    PutLE16(p + 8, genPurposeFlag);
    PutLE16(p + 10, compMethod);
    PutLE16(p + 12, lastModTime);
    PutLE16(p + 14, lastModDate);
    PutLE32(p + 16, crc32);
    PutLE32(p + 20, compSize);
    PutLE32(p + 24, unCompSize);
    PutLE16(p + 28, nameLength);
    PutLE16(p + 30, extraLength);
    PutLE16(p + 32, commentLength);
    PutLE16(p + 34, diskNumberStart);
    PutLE16(p + 36, internalAttr);
    PutLE32(p + 38, externalAttr);
    PutLE32(p + 42, relOffsetLH);
}

TZAZipCentralDirEnd TZAZipCentralDirEnd::Parse(const uint8_t* p) {
    TZAZipCentralDirEnd r;
    r.signature = GetLE32(p);
    r.diskNumber = GetLE16(p + 4);
    r.startDiskNumber = GetLE16(p + 6);
    r.entriesOnDisk = GetLE16(p + 8);
    r.entriesCentralDir = GetLE16(p + 10);
    r.centralDirSize = GetLE32(p + 12);
    r.offsetStartDir = GetLE32(p + 16);
    r.commentLength = GetLE16(p + 20);
    return r;
}

void TZAZipCentralDirEnd::Store(uint8_t* p) const {
    PutLE32(p, signature);
    PutLE16(p + 4, diskNumber);
    PutLE16(p + 6, startDiskNumber);
    PutLE16(p + 8, entriesOnDisk);
    PutLE16(p + 10, entriesCentralDir);
    PutLE32(p + 12, centralDirSize);
    PutLE32(p + 16, offsetStartDir);
    PutLE16(p + 20, commentLength);
}

TZAZip64CentralDirEnd TZAZip64CentralDirEnd::Parse(const uint8_t* p) {
    TZAZip64CentralDirEnd r;
    r.signature = GetLE32(p);
    r.centralDirEndSize = GetLE64(p + 4);
    r.versionMadeBy = GetLE16(p + 12);
    r.versionNeededToExtract = GetLE16(p + 14);
    r.diskNumber = GetLE32(p + 16);
    r.startDiskNumber = GetLE32(p + 20);
    r.entriesOnDisk = GetLE64(p + 24);
    r.entriesCentralDir = GetLE64(p + 32);
    r.centralDirSize = GetLE64(p + 40);
    r.offsetStartDir = GetLE64(p + 48);
    return r;
}

void TZAZip64CentralDirEnd::Store(uint8_t* p) const {
    PutLE32(p, signature);
    PutLE64(p + 4, centralDirEndSize);
    PutLE16(p + 12, versionMadeBy);
    PutLE16(p + 14, versionNeededToExtract);
    PutLE32(p + 16, diskNumber);
    PutLE32(p + 20, startDiskNumber);
    PutLE64(p + 24, entriesOnDisk);
    PutLE64(p + 32, entriesCentralDir);
    PutLE64(p + 40, centralDirSize);
    PutLE64(p + 48, offsetStartDir);
}

TZAZip64CentralDirEndLocator TZAZip64CentralDirEndLocator::Parse(const uint8_t* p) {
    TZAZip64CentralDirEndLocator r;
    r.signature = GetLE32(p);
    r.startDiskNumber = GetLE32(p + 4);
    r.offsetStartDirEnd = GetLE64(p + 8);
    r.totalNumberOfDisks = GetLE32(p + 16);
    return r;
}

void TZAZip64CentralDirEndLocator::Store(uint8_t* p) const {
    PutLE32(p, signature);
    PutLE32(p + 4, startDiskNumber);
    PutLE64(p + 8, offsetStartDirEnd);
    PutLE32(p + 16, totalNumberOfDisks);
}

TZAZipDataDescriptor TZAZipDataDescriptor::Parse(const uint8_t* p) {
    TZAZipDataDescriptor r;
    r.signature = GetLE32(p);
    r.crc32 = GetLE32(p + 4);
    r.compSize = GetLE32(p + 8);
    r.unCompSize = GetLE32(p + 12);
    return r;
}

void TZAZipDataDescriptor::Store(uint8_t* p) const {
    PutLE32(p, signature);
    PutLE32(p + 4, crc32);
    PutLE32(p + 8, compSize);
    PutLE32(p + 12, unCompSize);
}

} // namespace za

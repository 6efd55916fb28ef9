#include "zip/ZADirItem.h"

#include <algorithm>
#include <new>
#include <vector>

namespace za {

std::shared_ptr<const TZAExtraFields::Storage> TZAExtraFields::Build(const Part* parts,
                                                                     size_t count) {
    if (count == 0)
        return nullptr;
    size_t dataBytes = 0;
    for (size_t i = 0; i < count; ++i)
        dataBytes += parts[i].dataSize;
    auto storage = std::make_shared<Storage>();
    const size_t blockBytes = count * sizeof(TZAExtraFieldDataBlock);
    // operator new[] memory is aligned for any fundamental type, so the
    // blocks can live at its start; their data follows them.
    storage->memory.reset(new uint8_t[blockBytes + dataBytes]);
    storage->count = count;
    auto* blocks = storage->Blocks();
    uint8_t* out = storage->memory.get() + blockBytes;
    for (size_t i = 0; i < count; ++i) {
        auto* block = new (&blocks[i]) TZAExtraFieldDataBlock;
        block->headerID = parts[i].headerID;
        block->dataSize = parts[i].dataSize;
        if (parts[i].dataSize > 0) {
            std::copy_n(parts[i].data, parts[i].dataSize, out);
            block->pData = out;
            out += parts[i].dataSize;
        }
    }
    return storage;
}

TZAExtraFields TZAExtraFields::Parse(const uint8_t* data, size_t length) {
    // First pass: how many blocks, and how many data bytes they keep.
    size_t count = 0;
    size_t dataBytes = 0;
    for (size_t pos = 0; pos + 4 <= length;) {
        size_t size = std::min<size_t>(GetLE16(data + pos + 2), length - pos - 4);
        pos += 4 + size;
        dataBytes += size;
        ++count;
    }
    TZAExtraFields result;
    if (count == 0)
        return result;
    auto storage = std::make_shared<Storage>();
    const size_t blockBytes = count * sizeof(TZAExtraFieldDataBlock);
    storage->memory.reset(new uint8_t[blockBytes + dataBytes]);
    storage->count = count;
    auto* blocks = storage->Blocks();
    uint8_t* out = storage->memory.get() + blockBytes;
    size_t pos = 0;
    for (size_t i = 0; i < count; ++i) {
        auto* block = new (&blocks[i]) TZAExtraFieldDataBlock;
        block->headerID = GetLE16(data + pos);
        size_t size = std::min<size_t>(GetLE16(data + pos + 2), length - pos - 4);
        pos += 4;
        block->dataSize = static_cast<uint16_t>(size);
        if (size > 0) {
            std::copy_n(data + pos, size, out);
            block->pData = out;
            out += size;
        }
        pos += size;
    }
    result.FStorage = std::move(storage);
    return result;
}

const TZAExtraFieldDataBlock* TZAExtraFields::Find(uint16_t headerID) const {
    for (const auto& block : *this)
        if (block.headerID == headerID)
            return &block;
    return nullptr;
}

void TZAExtraFields::Add(uint16_t headerID, const void* data, size_t dataSize) {
    std::vector<Part> parts;
    parts.reserve(size() + 1);
    for (const auto& block : *this)
        parts.push_back({block.headerID, block.dataSize, block.pData});
    parts.push_back({headerID, static_cast<uint16_t>(std::min<size_t>(dataSize, 0xFFFF)),
                     static_cast<const uint8_t*>(data)});
    FStorage = Build(parts.data(), parts.size());
}

void TZAExtraFields::Delete(size_t index) {
    if (index >= size())
        return;
    std::vector<Part> parts;
    for (size_t i = 0; i < size(); ++i)
        if (i != index)
            parts.push_back({(*this)[i].headerID, (*this)[i].dataSize, (*this)[i].pData});
    FStorage = Build(parts.data(), parts.size());
}

size_t TZAExtraFields::RawSize() const {
    size_t n = 0;
    for (const auto& block : *this)
        n += 4 + block.dataSize;
    return n;
}

std::string TZAExtraFields::ToRaw() const {
    std::string raw(RawSize(), '\0');
    auto* p = reinterpret_cast<uint8_t*>(raw.data());
    for (const auto& block : *this) {
        PutLE16(p, block.headerID);
        PutLE16(p + 2, block.dataSize);
        if (block.dataSize > 0)
            std::copy_n(block.pData, block.dataSize, p + 4);
        p += 4 + block.dataSize;
    }
    return raw;
}

} // namespace za

#include "zip/ZADirArray.h"

#include <algorithm>
#include <random>

#include "archiver/ZAExcept.h"

namespace za {

std::u16string LowerCaseAscii(std::u16string s) {
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + (u'a' - u'A'));
    return s;
}

// ---------------------------------------------------------------- TZAStringHash

namespace {
// Pool blocks start small (most tables hold few keys) and double up to these.
constexpr size_t MaxLinkBlock = 4096;
constexpr size_t MaxKeyChunk = 1 << 16;
} // namespace

TZAStringHash::TZAStringHash(uint32_t aSize)
    : Buckets(aSize == 0 ? 1 : aSize, nullptr), FSize(aSize == 0 ? 1 : aSize) {}

TZAStringHash::~TZAStringHash() {
    Clear();
}

uint32_t TZAStringHash::HashKey(std::u16string_view key) const {
    uint32_t h = 0;
    for (char16_t c : key)
        h = ((h << 2) | (h >> 30)) ^ static_cast<uint32_t>(c);
    return h;
}

TZAStringHash::THashItem** TZAStringHash::FindLink(std::u16string_view key) const {
    THashItem** link = &Buckets[HashKey(key) % FSize];
    while (*link != nullptr && (*link)->Key() != key)
        link = &(*link)->Next;
    return link;
}

TZAStringHash::THashItem* TZAStringHash::NewLink() {
    if (FFreeLinks != nullptr) {
        THashItem* item = FFreeLinks;
        FFreeLinks = item->Next;
        return item;
    }
    if (FLinkBlocks.empty() || FLinksUsedInBlock == FLinkBlockSize) {
        FLinkBlockSize =
            std::min(MaxLinkBlock, FLinkBlocks.empty() ? size_t{16} : FLinkBlockSize * 2);
        FLinkBlocks.emplace_back(new THashItem[FLinkBlockSize]);
        FLinksUsedInBlock = 0;
    }
    return &FLinkBlocks.back()[FLinksUsedInBlock++];
}

void TZAStringHash::FreeLink(THashItem* item) {
    item->Next = FFreeLinks;
    FFreeLinks = item;
}

void TZAStringHash::Add(std::u16string_view key, int32_t value) {
    // Key characters go to the current chunk (a key longer than a chunk gets its own).
    if (FKeyChunks.empty() || FKeyChunkSize - FKeyChunkUsed < key.size()) {
        const size_t next =
            std::min(MaxKeyChunk, FKeyChunks.empty() ? size_t{256} : FKeyChunkSize * 2);
        FKeyChunkSize = std::max(next, key.size());
        FKeyChunks.emplace_back(new char16_t[FKeyChunkSize]);
        FKeyChunkUsed = 0;
    }
    char16_t* chars = FKeyChunks.back().get() + FKeyChunkUsed;
    std::copy(key.begin(), key.end(), chars);
    FKeyChunkUsed += key.size();
    THashItem*& head = Buckets[HashKey(key) % FSize];
    THashItem* item = NewLink();
    *item = THashItem{head, chars, static_cast<uint32_t>(key.size()), value};
    head = item;
}

void TZAStringHash::Clear() {
    std::fill(Buckets.begin(), Buckets.end(), nullptr);
    FLinkBlocks.clear();
    FLinksUsedInBlock = 0;
    FLinkBlockSize = 0;
    FFreeLinks = nullptr;
    FKeyChunks.clear();
    FKeyChunkUsed = 0;
    FKeyChunkSize = 0;
}

void TZAStringHash::Remove(std::u16string_view key) {
    THashItem** link = FindLink(key);
    if (*link != nullptr) {
        THashItem* item = *link;
        *link = item->Next;
        FreeLink(item);
    }
}

void TZAStringHash::RemoveValue(std::u16string_view key, int32_t value) {
    THashItem** link = &Buckets[HashKey(key) % FSize];
    while (*link != nullptr && ((*link)->Key() != key || (*link)->Value != value))
        link = &(*link)->Next;
    if (*link != nullptr) {
        THashItem* item = *link;
        *link = item->Next;
        FreeLink(item);
    }
}

bool TZAStringHash::Modify(std::u16string_view key, int32_t value) {
    THashItem* item = *FindLink(key);
    if (item == nullptr)
        return false;
    item->Value = value;
    return true;
}

int32_t TZAStringHash::ValueOf(std::u16string_view key) const {
    const THashItem* item = *FindLink(key);
    return item != nullptr ? item->Value : -1;
}

// ---------------------------------------------------------- TZAHashedStringList

namespace {

// The name index holds names taken from archives. Its tables use a key
// function with a per-process random seed, so that an archive cannot be
// crafted whose names all fall into one chain (which would make loading
// quadratic). Lookups give the same positions as with any other key function.
class TZASeededStringHash : public TZAStringHash {
public:
    using TZAStringHash::TZAStringHash;

    uint32_t HashKey(std::u16string_view key) const override {
        static const uint64_t seed = [] {
            std::random_device rd;
            return (static_cast<uint64_t>(rd()) << 32) ^ rd() ^ 0x9E3779B97F4A7C15ull;
        }();
        uint64_t h = seed;
        for (char16_t c : key) {
            h = (h ^ static_cast<uint64_t>(c)) * 0xFF51AFD7ED558CCDull;
            h ^= h >> 29;
        }
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 33;
        return static_cast<uint32_t>(h);
    }
};

bool IsLowerAscii(std::u16string_view s) {
    for (char16_t c : s)
        if (c >= u'A' && c <= u'Z')
            return false;
    return true;
}

// Calls f with the key of s: s itself when it has no ASCII capitals.
template <typename F> auto WithKey(std::u16string_view s, F f) {
    if (IsLowerAscii(s))
        return f(s);
    const std::u16string lower = LowerCaseAscii(std::u16string(s));
    return f(std::u16string_view(lower));
}

std::u16string NamePart(const std::u16string& s) {
    const auto eq = s.find(u'=');
    return eq == std::u16string::npos ? s : s.substr(0, eq);
}

} // namespace

TZAHashedStringList::TZAHashedStringList() = default;
TZAHashedStringList::~TZAHashedStringList() = default;

int32_t TZAHashedStringList::Add(std::u16string s) {
    const auto position = static_cast<int32_t>(FStrings.size());
    if (FValueHash && FValueHashValid)
        WithKey(s, [&](std::u16string_view key) { FValueHash->Add(key, position); });
    FStrings.push_back(std::move(s));
    if (FValueHash && FStrings.size() > 5ull * FValueHash->Size()) {
        FValueHash.reset();
        FValueHashValid = false;
    }
    FNameHashValid = false;
    return position;
}

void TZAHashedStringList::MakeValueHashCurrent() {
    if (FValueHash && FValueHashValid)
        return;
    if (!FValueHash) {
        FValueHash = std::make_unique<TZASeededStringHash>(
            static_cast<uint32_t>(std::max<size_t>(FStrings.size(), 1000)));
    } else {
        FValueHash->Clear();
    }
    for (size_t i = 0; i < FStrings.size(); ++i)
        WithKey(FStrings[i],
                [&](std::u16string_view key) { FValueHash->Add(key, static_cast<int32_t>(i)); });
    FValueHashValid = true;
}

int32_t TZAHashedStringList::IndexOf(const std::u16string& s) {
    MakeValueHashCurrent();
    return WithKey(s, [&](std::u16string_view key) { return FValueHash->ValueOf(key); });
}

int32_t TZAHashedStringList::IndexOfName(const std::u16string& name) {
    if (!FNameHash) {
        FNameHash = std::make_unique<TZASeededStringHash>(256);
        FNameHashValid = false;
    }
    if (!FNameHashValid) {
        FNameHash->Clear();
        for (size_t i = 0; i < FStrings.size(); ++i)
            FNameHash->Add(LowerCaseAscii(NamePart(FStrings[i])), static_cast<int32_t>(i));
        FNameHashValid = true;
    }
    return FNameHash->ValueOf(LowerCaseAscii(name));
}

void TZAHashedStringList::Update(int32_t index, std::u16string newValue) {
    if (index < 0 || index >= Count())
        return;
    MakeValueHashCurrent();
    // Removes the link of this very position: with duplicate strings, the
    // first link found for the old string may belong to another position.
    WithKey(FStrings[static_cast<size_t>(index)],
            [&](std::u16string_view key) { FValueHash->RemoveValue(key, index); });
    WithKey(newValue, [&](std::u16string_view key) { FValueHash->Add(key, index); });
    FStrings[static_cast<size_t>(index)] = std::move(newValue);
    FNameHashValid = false;
}

void TZAHashedStringList::Delete(int32_t index) {
    if (index < 0 || index >= Count())
        return;
    FStrings.erase(FStrings.begin() + index);
    FValueHashValid = false;
    FNameHashValid = false;
}

void TZAHashedStringList::Clear() {
    FStrings.clear();
    FStrings.shrink_to_fit();
    if (FValueHash) {
        FValueHash->Clear();
        FValueHashValid = true;
    }
    FNameHashValid = false;
}

// ------------------------------------------------------------------ TZADirArray

TZADirArray::TZADirArray(const TComponent* component) : FComponent(component) {}

TZADirArray::~TZADirArray() {
    Clear();
}

void TZADirArray::Fail(int32_t nativeError) const {
    throw EZAException(nativeError, FComponent);
}

void TZADirArray::SetCount(int32_t value) {
    if (value < 0)
        value = 0;
    if (value > FAllocItemCount) {
        FAllocBy = std::min(FAllocBy * 2, FMaxAllocBy);
        const int64_t next = int64_t{FAllocItemCount} + FAllocBy;
        FAllocItemCount = next > value ? static_cast<int32_t>(next) : value;
        FItems.resize(static_cast<size_t>(FAllocItemCount));
    } else if (value == 0) {
        FItems.clear();
        FItems.shrink_to_fit();
        FAllocItemCount = 0;
    } else {
        // Slots dropped from the array hold nothing when they come back.
        for (int32_t i = value; i < FItemCount; ++i)
            FItems[static_cast<size_t>(i)] = TDirItem{};
    }
    FItemCount = value;
}

TDirItem TZADirArray::Items(int32_t index) const {
    if (index < 0 || index >= FItemCount)
        Fail(2);
    return FItems[static_cast<size_t>(index)];
}

void TZADirArray::SetItems(int32_t index, const TDirItem& value) {
    if (index < 0 || index >= FItemCount)
        Fail(1);
    if (index > FItemNamesList.Count())
        Fail(58);
    TDirItem copy = value;
    auto key = LowerCaseAscii(copy.Name);
    FItems[static_cast<size_t>(index)] = std::move(copy);
    if (index < FItemNamesList.Count())
        FItemNamesList.Update(index, std::move(key));
    else
        FItemNamesList.Add(std::move(key));
}

TDirItem& TZADirArray::ItemsPtr(int32_t index) {
    if (index < 0 || index >= FItemCount)
        Fail(3);
    return FItems[static_cast<size_t>(index)];
}

const TDirItem& TZADirArray::ItemsPtr(int32_t index) const {
    if (index < 0 || index >= FItemCount)
        Fail(3);
    return FItems[static_cast<size_t>(index)];
}

void TZADirArray::Clear() {
    SetCount(0);
    FItemNamesList.Clear();
}

void TZADirArray::Assign(const TZADirArray& source) {
    if (&source == this)
        return;
    Clear();
    SetCount(source.Count());
    for (int32_t i = 0; i < source.Count(); ++i)
        SetItems(i, source.FItems[static_cast<size_t>(i)]);
}

void TZADirArray::Append(const TZADirArray& source) {
    if (&source == this)
        return;
    const int32_t first = FItemCount;
    SetCount(first + source.Count());
    for (int32_t i = 0; i < source.Count(); ++i)
        SetItems(first + i, source.FItems[static_cast<size_t>(i)]);
}

void TZADirArray::DeleteItem(int32_t index) {
    if (index < 0 || index >= FItemCount)
        Fail(4);
    auto& item = FItems[static_cast<size_t>(index)];
    const int32_t position = FItemNamesList.IndexOf(item.Name);
    if (position >= 0)
        FItemNamesList.Delete(position);
    // Moving the later items down drops this item, its blocks and its stream.
    std::move(FItems.begin() + index + 1, FItems.begin() + FItemCount, FItems.begin() + index);
    FItems[static_cast<size_t>(FItemCount - 1)] = TDirItem{};
    --FItemCount;
}

void TZADirArray::ClearTags() {
    for (int32_t i = 0; i < FItemCount; ++i)
        FItems[static_cast<size_t>(i)].Tagged = false;
}

bool TZADirArray::FileExists(const std::u16string& fileName, int32_t& itemNo) {
    itemNo = FItemNamesList.IndexOf(fileName);
    return itemNo >= 0;
}

void TZADirArray::SetItemName(int32_t index, std::u16string name) {
    if (index < 0 || index >= FItemCount)
        Fail(3);
    auto& item = FItems[static_cast<size_t>(index)];
    const int32_t position = FItemNamesList.IndexOf(item.Name);
    if (position < 0)
        FItemNamesList.Add(LowerCaseAscii(name));
    else if (position == index)
        FItemNamesList.Update(index, LowerCaseAscii(name));
    else
        Fail(59);
    item.Name = std::move(name);
}

} // namespace za

// The directory of an open archive: a growable array of TDirItem with a
// parallel index of the entries' lower-case names (a string list found
// through a chained hash table).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Component.h"
#include "zip/ZADirItem.h"

namespace za {

// ASCII-only lower case: 'A'-'Z' become 'a'-'z', every other code unit stays.
std::u16string LowerCaseAscii(std::u16string s);

// Chained hash table from string to a 32-bit value. Duplicate keys are
// allowed; a lookup finds the newest link of a key. Links and key characters
// live in pools owned by the table, so adding costs no allocation of its own.
class TZAStringHash {
public:
    struct THashItem {
        THashItem* Next;
        const char16_t* KeyData; // KeyLength code units in the table's pool
        uint32_t KeyLength;
        int32_t Value;
        std::u16string_view Key() const { return {KeyData, KeyLength}; }
    };

    explicit TZAStringHash(uint32_t aSize);
    virtual ~TZAStringHash();
    TZAStringHash(const TZAStringHash&) = delete;
    TZAStringHash& operator=(const TZAStringHash&) = delete;

    // Puts a new link at the head of the key's chain.
    void Add(std::u16string_view key, int32_t value);
    // Frees every link; the bucket count stays.
    void Clear();
    // Unlinks the first link found for the key, if any.
    void Remove(std::u16string_view key);
    // Unlinks the link of the key that holds this value, if any.
    void RemoveValue(std::u16string_view key, int32_t value);
    // Sets the value of the first link found; false when the key is absent.
    bool Modify(std::u16string_view key, int32_t value);
    // Value of the first link found, or -1.
    int32_t ValueOf(std::u16string_view key) const;

    // h := rotate-left-by-2(h) xor code unit, over every UTF-16 code unit.
    virtual uint32_t HashKey(std::u16string_view key) const;

    uint32_t Size() const { return FSize; }

private:
    THashItem** FindLink(std::u16string_view key) const;
    THashItem* NewLink();
    void FreeLink(THashItem* item);

    mutable std::vector<THashItem*> Buckets;
    uint32_t FSize;
    // Pools: links in blocks, key characters in chunks; unlinked links are reused.
    std::vector<std::unique_ptr<THashItem[]>> FLinkBlocks;
    size_t FLinksUsedInBlock = 0;
    size_t FLinkBlockSize = 0;
    THashItem* FFreeLinks = nullptr;
    std::vector<std::unique_ptr<char16_t[]>> FKeyChunks;
    size_t FKeyChunkUsed = 0;
    size_t FKeyChunkSize = 0;
};

// Unsorted, duplicate-allowing, case-insensitive string list whose position
// lookups go through hash tables. Keys are the ASCII lower-case forms.
class TZAHashedStringList {
public:
    TZAHashedStringList();
    ~TZAHashedStringList();
    TZAHashedStringList(const TZAHashedStringList&) = delete;
    TZAHashedStringList& operator=(const TZAHashedStringList&) = delete;

    int32_t Count() const { return static_cast<int32_t>(FStrings.size()); }
    const std::u16string& Strings(int32_t index) const {
        return FStrings.at(static_cast<size_t>(index));
    }

    // Appends; returns the new string's position.
    int32_t Add(std::u16string s);
    // Replaces the string at index.
    void Update(int32_t index, std::u16string newValue);
    // Removes the string at index; later strings move up one position.
    void Delete(int32_t index);
    void Clear();
    // Highest position holding the string (compared by key), or -1.
    int32_t IndexOf(const std::u16string& s);
    // Highest position whose part before "=" equals name, or -1.
    int32_t IndexOfName(const std::u16string& name);

    // Bucket count of the value table (0 while it does not exist).
    uint32_t ValueHashSize() const { return FValueHash ? FValueHash->Size() : 0; }

private:
    void MakeValueHashCurrent();

    std::vector<std::u16string> FStrings;
    std::unique_ptr<TZAStringHash> FValueHash;
    std::unique_ptr<TZAStringHash> FNameHash;
    bool FValueHashValid = true;
    bool FNameHashValid = false;
};

class TZADirArray {
public:
    // component: named in the messages of the exceptions raised (may be nullptr).
    explicit TZADirArray(const TComponent* component = nullptr);
    ~TZADirArray();
    TZADirArray(const TZADirArray&) = delete;
    TZADirArray& operator=(const TZADirArray&) = delete;

    int32_t Count() const { return FItemCount; }
    // Grows the storage by the growth step when needed; new and reused slots
    // are empty. A count of 0 releases the storage. A negative count counts as 0.
    void SetCount(int32_t value);

    // A copy of item index (native error 2 outside 0..Count-1).
    TDirItem Items(int32_t index) const;
    // Stores a copy of value at index and its name in the name index (native
    // error 1 outside 0..Count-1, 58 when index lies beyond the name index's end).
    void SetItems(int32_t index, const TDirItem& value);
    // The stored item itself, for changes in place (native error 3).
    TDirItem& ItemsPtr(int32_t index);
    const TDirItem& ItemsPtr(int32_t index) const;

    void Clear();
    void Assign(const TZADirArray& source);
    void Append(const TZADirArray& source);
    // Removes an item (native error 4 outside 0..Count-1).
    void DeleteItem(int32_t index);
    void ClearTags();
    // Looks a stored name up without regard to ASCII case.
    bool FileExists(const std::u16string& fileName, int32_t& itemNo);
    // Renames item index and keeps the name index (native error 59 when the
    // item's current name is held by another position).
    void SetItemName(int32_t index, std::u16string name);

    int32_t AllocItemCount() const { return FAllocItemCount; }
    int32_t AllocBy() const { return FAllocBy; }
    int32_t DeAllocBy() const { return FDeAllocBy; }
    int32_t MaxAllocBy() const { return FMaxAllocBy; }
    const TZAHashedStringList& ItemNamesList() const { return FItemNamesList; }

private:
    [[noreturn]] void Fail(int32_t nativeError) const;

    std::vector<TDirItem> FItems;
    TZAHashedStringList FItemNamesList;
    int32_t FAllocBy = 500;
    int32_t FDeAllocBy = 100;
    int32_t FMaxAllocBy = 10000;
    int32_t FAllocItemCount = 0;
    int32_t FItemCount = 0;
    const TComponent* FComponent;
};

} // namespace za

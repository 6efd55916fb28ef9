// The directory array: growth steps, item copies, the name index and its
// refusals; the string hash and the hashed string list.
#include <gtest/gtest.h>

#include "archiver/ZAExcept.h"
#include "zip/ZADirArray.h"

namespace za {
namespace {

int32_t NativeErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EZAException& e) {
        return e.NativeError();
    }
    return 0;
}

TEST(ZipStringHash, HashKeyAndBuckets) {
    TZAStringHash h(1000);
    EXPECT_EQ(h.HashKey(u"abc"), 2043u);
    EXPECT_EQ(h.HashKey(u"readme.txt"), 28499028u);
    EXPECT_EQ(h.HashKey(u""), 0u);
    EXPECT_EQ(h.HashKey(u"abc") % h.Size(), 43u);
    EXPECT_EQ(h.HashKey(u"readme.txt") % h.Size(), 28u);
}

TEST(ZipStringHash, DuplicatesNewestFirstAndRemoval) {
    TZAStringHash h(7);
    EXPECT_EQ(h.ValueOf(u"a"), -1);
    h.Remove(u"a"); // absent: nothing happens
    h.Add(u"a", 1);
    h.Add(u"b", 2);
    h.Add(u"a", 3);
    EXPECT_EQ(h.ValueOf(u"a"), 3);
    EXPECT_TRUE(h.Modify(u"a", 4));
    EXPECT_EQ(h.ValueOf(u"a"), 4);
    EXPECT_FALSE(h.Modify(u"zzz", 1));
    h.Remove(u"a");
    EXPECT_EQ(h.ValueOf(u"a"), 1);
    EXPECT_EQ(h.ValueOf(u"A"), -1); // keys compare exactly
    h.Clear();
    EXPECT_EQ(h.ValueOf(u"b"), -1);
    EXPECT_EQ(h.Size(), 7u);
}

TEST(ZipHashedStringList, IndexOfFindsHighestPositionCaseInsensitively) {
    TZAHashedStringList list;
    EXPECT_EQ(list.IndexOf(u"x"), -1);
    list.Add(u"a.txt");
    list.Add(u"B.txt");
    list.Add(u"a.txt");
    EXPECT_EQ(list.IndexOf(u"A.TXT"), 2);
    EXPECT_EQ(list.IndexOf(u"b.TXT"), 1);
    list.Update(2, u"c.txt");
    EXPECT_EQ(list.IndexOf(u"a.txt"), 0);
    EXPECT_EQ(list.IndexOf(u"c.txt"), 2);
    list.Update(0, u"d.txt"); // an older duplicate: the other positions stay found
    EXPECT_EQ(list.IndexOf(u"d.txt"), 0);
    EXPECT_EQ(list.IndexOf(u"c.txt"), 2);
    list.Delete(1);
    EXPECT_EQ(list.IndexOf(u"c.txt"), 1);
    EXPECT_EQ(list.IndexOf(u"b.txt"), -1);
    list.Add(u"key=value");
    EXPECT_EQ(list.IndexOfName(u"KEY"), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOf(u"c.txt"), -1);
}

std::u16string NumberedName(int i) {
    std::u16string s = u"Name";
    for (char c : std::to_string(i))
        s.push_back(static_cast<char16_t>(c));
    return s;
}

TEST(ZipHashedStringList, TableIsRebuiltLargerWhenChainsGetLong) {
    TZAHashedStringList list;
    EXPECT_EQ(list.IndexOf(u"none"), -1); // creates the 1,000-bucket table
    EXPECT_EQ(list.ValueHashSize(), 1000u);
    for (int i = 0; i < 5000; ++i)
        list.Add(NumberedName(i));
    EXPECT_EQ(list.ValueHashSize(), 1000u);
    list.Add(NumberedName(5000)); // 5,001 strings: more than 5 per bucket
    EXPECT_EQ(list.ValueHashSize(), 0u);
    EXPECT_EQ(list.IndexOf(u"name0"), 0);
    EXPECT_EQ(list.ValueHashSize(), 5001u);
    for (int i = 0; i <= 5000; ++i)
        ASSERT_EQ(list.IndexOf(LowerCaseAscii(NumberedName(i))), i);
}

TEST(ZipDirArray, GrowthSteps) {
    struct Step {
        int32_t count;
        int32_t alloc;
    };
    // Appending one at a time: 1,000, then +2,000, +4,000, +8,000, +10,000, ...
    TZADirArray one;
    const std::vector<Step> appendSteps = {{1, 1000},     {1000, 1000},  {1001, 3000},
                                           {3001, 7000},  {7001, 15000}, {15001, 25000},
                                           {25001, 35000}};
    int32_t n = 0;
    for (const auto& s : appendSteps) {
        while (n < s.count)
            one.SetCount(++n);
        EXPECT_EQ(one.AllocItemCount(), s.alloc) << "count " << s.count;
    }
    // Single resizes.
    TZADirArray big;
    big.SetCount(5000);
    EXPECT_EQ(big.AllocItemCount(), 5000);
    big.SetCount(5001);
    EXPECT_EQ(big.AllocItemCount(), 7000);
    big.SetCount(10);
    EXPECT_EQ(big.AllocItemCount(), 7000);
    big.SetCount(0);
    EXPECT_EQ(big.AllocItemCount(), 0);
    EXPECT_EQ(big.DeAllocBy(), 100);
    EXPECT_EQ(big.MaxAllocBy(), 10000);
}

TEST(ZipDirArray, ReusedSlotsAreEmpty) {
    TZADirArray a;
    a.SetCount(3);
    for (int32_t i = 0; i < 3; ++i) {
        a.SetItemName(i, u"n" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
        a.ItemsPtr(i).Comment = "c";
        a.ItemsPtr(i).Tagged = true;
    }
    a.SetCount(1);
    a.SetCount(3);
    EXPECT_TRUE(a.ItemsPtr(1).Name.empty());
    EXPECT_TRUE(a.ItemsPtr(2).Comment.empty());
    a.Clear();
    a.SetCount(3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(a.ItemsPtr(i).Name.empty());
        EXPECT_FALSE(a.ItemsPtr(i).Tagged);
    }
}

TEST(ZipDirArray, IndexErrors) {
    TZADirArray a;
    a.SetCount(2);
    TDirItem item;
    const struct {
        const char* what;
        int32_t native;
        std::function<void()> call;
    } cases[] = {
        {"Items read", 2, [&] { (void)a.Items(2); }},
        {"Items read negative", 2, [&] { (void)a.Items(-1); }},
        {"Items write", 1, [&] { a.SetItems(2, item); }},
        {"ItemsPtr", 3, [&] { (void)a.ItemsPtr(5); }},
        {"DeleteItem", 4, [&] { a.DeleteItem(2); }},
        {"Items write beyond the name index", 58, [&] { a.SetItems(1, item); }},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NativeErrorOf(c.call), c.native) << c.what;
    EXPECT_EQ(a.Count(), 2);
    EXPECT_EQ(a.ItemNamesList().Count(), 0);
}

TEST(ZipDirArray, IndexOutOfBoundsMessage) {
    TZADirArray a;
    try {
        (void)a.Items(0);
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.Message(), u"Index out of bounds - Native error: 00002");
    }
}

TEST(ZipDirArray, FileExistsFoldsAsciiCaseOnly) {
    TZADirArray a;
    const std::u16string names[] = {u"readme.txt", u"ärger.txt", u"dir/a.txt", u"dir/A.TXT"};
    a.SetCount(4);
    for (int32_t i = 0; i < 4; ++i)
        a.SetItemName(i, names[i]);
    int32_t no = -2;
    EXPECT_TRUE(a.FileExists(u"README.TXT", no));
    EXPECT_EQ(no, 0);
    EXPECT_FALSE(a.FileExists(u"ÄRGER.TXT", no));
    EXPECT_EQ(no, -1);
    EXPECT_TRUE(a.FileExists(u"ärger.TXT", no));
    EXPECT_EQ(no, 1);
    EXPECT_TRUE(a.FileExists(u"dir/a.txt", no));
    EXPECT_EQ(no, 3); // the later of two equal names
    EXPECT_FALSE(a.FileExists(u"dir\\a.txt", no));
    EXPECT_EQ(a.ItemsPtr(3).Name, u"dir/A.TXT"); // the name keeps its case
}

TEST(ZipDirArray, EmptyNameBlocksLaterRenames) {
    TZADirArray a;
    a.SetCount(3);
    a.SetItemName(0, u"x");
    a.SetItemName(1, u"");
    try {
        a.SetItemName(2, u"y");
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 59);
        EXPECT_EQ(e.Message(), u"Hashed list of file names is invalid - Native error: 00059");
    }
    EXPECT_TRUE(a.ItemsPtr(2).Name.empty());
    EXPECT_EQ(a.ItemNamesList().Count(), 2);
    // Renaming an item in place keeps the index.
    a.SetItemName(0, u"z");
    int32_t no;
    EXPECT_TRUE(a.FileExists(u"Z", no));
    EXPECT_EQ(no, 0);
    EXPECT_FALSE(a.FileExists(u"x", no));
}

TEST(ZipDirArray, ItemCopiesAssignAppendDelete) {
    TZADirArray a;
    a.SetCount(3);
    const std::u16string names[] = {u"a", u"b", u"c"};
    for (int32_t i = 0; i < 3; ++i) {
        a.SetItemName(i, names[i]);
        a.ItemsPtr(i).ExtraFields.Add(0x1234, "x", 1);
    }
    TDirItem copy = a.Items(1);
    EXPECT_TRUE(copy.ExtraFields.SharesStorageWith(a.ItemsPtr(1).ExtraFields));
    copy.Name = u"B2";
    a.SetItems(1, copy);
    int32_t no;
    EXPECT_TRUE(a.FileExists(u"b2", no));
    EXPECT_EQ(no, 1);
    EXPECT_FALSE(a.FileExists(u"b", no));

    TZADirArray b;
    b.Assign(a);
    EXPECT_EQ(b.Count(), 3);
    EXPECT_TRUE(b.FileExists(u"c", no));
    EXPECT_EQ(no, 2);
    b.Append(a);
    EXPECT_EQ(b.Count(), 6);
    EXPECT_TRUE(b.FileExists(u"c", no));
    EXPECT_EQ(no, 5);

    a.DeleteItem(0);
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.ItemsPtr(0).Name, u"B2");
    EXPECT_TRUE(a.FileExists(u"c", no));
    EXPECT_EQ(no, 1);
    EXPECT_FALSE(a.FileExists(u"a", no));
    // The copy taken before is unaffected by deletion and clearing.
    a.Clear();
    ASSERT_EQ(copy.ExtraFields.size(), 1u);
    EXPECT_EQ(copy.ExtraFields[0].pData[0], 'x');

    b.ItemsPtr(0).Tagged = true;
    b.ClearTags();
    EXPECT_FALSE(b.ItemsPtr(0).Tagged);
}

TEST(ZipDirArray, DeletingAnItemReleasesItsStream) {
    auto stream = std::make_shared<TMemoryStream>();
    std::weak_ptr<TStream> watch = stream;
    TZADirArray a;
    a.SetCount(1);
    a.SetItemName(0, u"s");
    a.ItemsPtr(0).Stream = std::move(stream);
    a.ItemsPtr(0).bDestroyStream = true;
    EXPECT_FALSE(watch.expired());
    a.DeleteItem(0);
    EXPECT_TRUE(watch.expired());
}

} // namespace
} // namespace za

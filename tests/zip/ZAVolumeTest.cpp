// The volume descriptor.
#include <gtest/gtest.h>

#include "zip/ZAVolume.h"

namespace za {
namespace {

TEST(ZipVolumeInfo, FreshFirstLast) {
    TZAVolumeNumberInfo v;
    EXPECT_FALSE(v.FirstVolume());
    EXPECT_FALSE(v.LastVolume());
    EXPECT_EQ(v.VolumeKind(), vnkUnknown);
    v.SetLastVolume(true);
    EXPECT_TRUE(v.LastVolume());
    EXPECT_EQ(v.VolumeNumber(), -1);
    EXPECT_EQ(v.VolumeKind(), vnkLast);
    v.SetFirstVolume(false); // does nothing
    EXPECT_TRUE(v.LastVolume());
    v.SetFirstVolume(true);
    EXPECT_TRUE(v.FirstVolume());
    EXPECT_EQ(v.VolumeKind(), vnkFirst);
    v.Init();
    EXPECT_EQ(v.VolumeNumber(), -1);
    EXPECT_EQ(v.LastVolumeNumber(), -1);
}

TEST(ZipVolumeInfo, LastByNumber) {
    TZAVolumeNumberInfo v;
    v.SetLastVolumeNumber(3);
    v.SetVolumeNumber(3);
    EXPECT_EQ(v.VolumeKind(), vnkCustom);
    EXPECT_TRUE(v.LastVolume());
    v.SetVolumeNumber(2);
    EXPECT_FALSE(v.LastVolume());
    v.SetLastVolume(true);
    EXPECT_EQ(v.VolumeNumber(), 3);
}

TEST(ZipVolumeInfo, IsEqualTo) {
    TZAVolumeNumberInfo a, b;
    EXPECT_TRUE(a.IsEqualTo(b)); // both unknown
    a.SetVolumeNumber(2);
    b.SetVolumeNumber(5);
    EXPECT_FALSE(a.IsEqualTo(b));
    b.SetVolumeNumber(2);
    EXPECT_TRUE(a.IsEqualTo(b));
    TZAVolumeNumberInfo last, first;
    last.SetLastVolume(true);
    first.SetFirstVolume(true);
    EXPECT_FALSE(last.IsEqualTo(first));
    EXPECT_FALSE(first.IsEqualTo(last));
    TZAVolumeNumberInfo zero;
    zero.SetVolumeNumber(0);
    EXPECT_TRUE(first.IsEqualTo(zero));
    a.TakeVolumeOf(last);
    EXPECT_TRUE(a.LastVolume());
}

} // namespace
} // namespace za

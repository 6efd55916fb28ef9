// The archive object's model and life: defaults, properties, opening,
// creating and closing, in-memory archives, update bookkeeping.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "ArchiverTestUtil.h"
#include "archiver/ZipArchiver.h"
#include "platform/Stream.h"
#include "support/ZipBuilder.h"

namespace za {
namespace {

using test::ReadNative;
using test::WriteNative;

const std::string kEmptyZip = std::string("PK\x05\x06", 4) + std::string(18, '\0');

// Runs f and returns the native error of the EZAException it raises (-1 when
// it raises none), checking the message of the object named "Archiver".
template <typename F> int32_t NativeErrorOf(F&& f, std::u16string* message = nullptr) {
    try {
        f();
    } catch (const EZAException& e) {
        if (message != nullptr) {
            *message = e.Message();
        }
        return e.NativeError();
    }
    return -1;
}

class ArchiverLife : public test::ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        Arc.SetName(u"Archiver");
    }
    TZipArchiver Arc;
};

TEST(ArchiverModel, ConstructionDefaults) {
    TZipArchiver a;
    EXPECT_FALSE(a.Active());
    EXPECT_EQ(a.DirManager(), nullptr);
    EXPECT_EQ(a.ArchiveStream(), nullptr);
    EXPECT_EQ(a.CompressionLevel(), clFastest);
    EXPECT_EQ(a.CompressionMode(), 1);
    EXPECT_EQ(a.CompressionMethod(), 8);
    EXPECT_EQ(a.EncryptionMethod(), caPkzipClassic);
    EXPECT_FALSE(a.ExtractCorruptedFiles());
    EXPECT_TRUE(a.OpenCorruptedArchives());
    EXPECT_EQ(a.SpanningMode(), smNone);
    EXPECT_EQ(a.Zip64Mode(), zmDisabled);
    EXPECT_FALSE(a.UnicodeFilenames());
    EXPECT_FALSE(a.InMemory());
    EXPECT_FALSE(a.InUpdate());
    EXPECT_EQ(a.FileMasks().Count(), 0);
    EXPECT_EQ(a.ExclusionMasks().Count(), 0);
    EXPECT_EQ(a.NoCompressionMasks().Count(), 0);
    EXPECT_EQ(a.Comment(), "");
    EXPECT_EQ(a.VolumeNumberInfo().VolumeKind(), vnkUnknown);

    const TZAOptions& o = a.Options();
    EXPECT_EQ(o.StorePath(), spRelativePath);
    EXPECT_TRUE(o.Recurse());
    EXPECT_EQ(o.ShareMode(), smShareDenyNone);
    EXPECT_EQ(o.OverwriteMode(), omAlways);
    EXPECT_TRUE(o.CreateDirs());
    EXPECT_TRUE(o.ReplaceReadOnly());
    EXPECT_TRUE(o.SetAttributes());
    EXPECT_EQ(o.SearchAttr(), 10431);
    EXPECT_TRUE(o.FlushBuffers());
    EXPECT_TRUE(o.OEMFileNames());

    const TZASpanningOptions& s = a.SpanningOptions();
    EXPECT_FALSE(s.AdvancedNaming());
    EXPECT_EQ(s.FirstVolumeSize(), 0);
    EXPECT_EQ(s.VolumeSize(), vsAutoDetect);
    EXPECT_EQ(s.CustomVolumeSize(), 0);
    EXPECT_FALSE(s.SaveDirToFirstVolume());

    a.SetCurrentVersion(u"9.99");
    EXPECT_EQ(a.CurrentVersion(), u"6.60 ");
}

TEST(ArchiverModel, CompressionLevelAndModeAreCoupled) {
    TZipArchiver a;
    a.SetName(u"Archiver");
    const struct {
        uint8_t mode;
        TZACompressionLevel level;
        uint16_t method;
    } modes[] = {{0, clNone, 0},   {1, clFastest, 8}, {3, clFastest, 8}, {4, clNormal, 8},
                 {5, clNormal, 8}, {6, clNormal, 8},  {7, clMax, 8},     {9, clMax, 8}};
    for (const auto& m : modes) {
        a.SetCompressionMode(m.mode);
        EXPECT_EQ(a.CompressionLevel(), m.level) << int(m.mode);
        EXPECT_EQ(a.CompressionMethod(), m.method) << int(m.mode);
    }
    const struct {
        TZACompressionLevel level;
        uint8_t mode;
    } levels[] = {{clNone, 0}, {clFastest, 1}, {clNormal, 6}, {clMax, 9}};
    for (const auto& l : levels) {
        a.SetCompressionLevel(l.level);
        EXPECT_EQ(a.CompressionMode(), l.mode);
    }

    a.SetCompressionMode(5);
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { a.SetCompressionMode(10); }, &message), 5);
    EXPECT_EQ(
        message,
        u"Archiver: Invalid compression mode. Mode must be in [0-9] range - Native error: 00005");
    EXPECT_EQ(a.CompressionMode(), 5);
    EXPECT_EQ(a.CompressionLevel(), clNormal);
    EXPECT_EQ(a.CompressionMethod(), 8);
}

TEST(ArchiverModel, OptionsAssignKeepsShareMode) {
    TZAOptions src;
    src.SetStorePath(spFullPathWithDrive);
    src.SetRecurse(false);
    src.SetShareMode(smShareExclusive);
    src.SetOverwriteMode(omIfNewer);
    src.SetCreateDirs(false);
    src.SetReplaceReadOnly(false);
    src.SetSetAttributes(false);
    src.SetSearchAttr(16);
    src.SetFlushBuffers(false);
    src.SetOEMFileNames(false);
    TZAOptions dst;
    dst.SetShareMode(smShareDenyRead);
    dst.Assign(src);
    EXPECT_EQ(dst.StorePath(), spFullPathWithDrive);
    EXPECT_FALSE(dst.Recurse());
    EXPECT_EQ(dst.ShareMode(), smShareDenyRead);
    EXPECT_EQ(dst.OverwriteMode(), omIfNewer);
    EXPECT_FALSE(dst.CreateDirs());
    EXPECT_FALSE(dst.ReplaceReadOnly());
    EXPECT_FALSE(dst.SetAttributes());
    EXPECT_EQ(dst.SearchAttr(), 16);
    EXPECT_FALSE(dst.FlushBuffers());
    EXPECT_FALSE(dst.OEMFileNames());
}

TEST(ArchiverModel, SpanningOptionsVolumeSizes) {
    TZASpanningOptions s;
    s.SetCustomVolumeSize(100);
    EXPECT_EQ(s.CustomVolumeSize(), 65536);
    s.SetCustomVolumeSize(1000000);
    TZAVolumeNumberInfo first;
    first.SetFirstVolume(true);
    TZAVolumeNumberInfo third;
    third.SetVolumeNumber(2);
    const struct {
        TZAVolumeSize size;
        int64_t bytes;
    } cases[] = {{vsAutoDetect, -1},    {vsCustom, 1000000},  {vs1_44MB, 1457664},
                 {vs100MB, 104857600},  {vs200MB, 209715200}, {vs250MB, 262144000},
                 {vs600MB, 629145600},  {vs650MB, 681574400}, {vs700MB, 734003200},
                 {vs4700MB, 4928307200}};
    for (const auto& c : cases) {
        s.SetVolumeSize(c.size);
        EXPECT_EQ(s.GetVolumeSize(third), c.bytes) << int(c.size);
        EXPECT_EQ(s.GetVolumeSize(first), c.bytes) << int(c.size);
    }
    s.SetFirstVolumeSize(5000);
    EXPECT_EQ(s.GetVolumeSize(first), 5000);
    EXPECT_EQ(s.GetVolumeSize(third), 4928307200);

    TZASpanningOptions copy;
    copy.Assign(s);
    EXPECT_EQ(copy.FirstVolumeSize(), 5000);
    EXPECT_EQ(copy.VolumeSize(), vs4700MB);
    EXPECT_EQ(copy.CustomVolumeSize(), 1000000);
}

TEST(ArchiverModel, MaskPropertiesCopyLines) {
    TZipArchiver a;
    TZAStringList masks{u"*.txt", u"docs\\*"};
    a.SetFileMasks(masks);
    masks.Add(u"*.bak");
    EXPECT_EQ(a.FileMasks().Count(), 2);
    a.SetExclusionMasks(masks);
    EXPECT_EQ(a.ExclusionMasks().Count(), 3);
    a.SetNoCompressionMasks(masks);
    EXPECT_EQ(a.NoCompressionMasks().Strings(2), u"*.bak");
}

TEST_F(ArchiverLife, MissingArchiveIsCreatedAndClosesAsEmptyZip) {
    MakeDir("res");
    Arc.SetFileName(u"res\\gsm.zip");
    EXPECT_FALSE(Arc.Exists());
    Arc.OpenArchive();
    EXPECT_TRUE(Arc.Active());
    EXPECT_TRUE(Arc.Exists());
    EXPECT_EQ(Arc.FileOpenMode(), 65280);
    EXPECT_EQ(Arc.FileCount(), 0);
    EXPECT_EQ(Arc.Size(), 0);
    Arc.CloseArchive();
    EXPECT_FALSE(Arc.Active());
    EXPECT_EQ(ReadNative(Native("res/gsm.zip")), kEmptyZip);

    // Reopened: read-write (34), still empty, and closing leaves it unchanged.
    Arc.OpenArchive();
    EXPECT_EQ(Arc.FileOpenMode(), 34);
    EXPECT_EQ(Arc.FileCount(), 0);
    EXPECT_EQ(Arc.Size(), 22);
    // Opening again while open closes first and keeps the read-write mode.
    Arc.OpenArchive();
    EXPECT_EQ(Arc.FileOpenMode(), 34);
    Arc.CloseArchive();
    EXPECT_EQ(ReadNative(Native("res/gsm.zip")), kEmptyZip);
    Arc.CloseArchive(); // harmless when closed
}

TEST_F(ArchiverLife, MissingFolderIsThePlatformsFileError) {
    Arc.SetFileName(u"nofolder\\gsm.zip");
    EXPECT_THROW(Arc.OpenArchive(), EStreamError);
    EXPECT_FALSE(Arc.Active());
}

TEST_F(ArchiverLife, OpenModesAndBlankNames) {
    struct Case {
        const char16_t* fileName;
        int mode; // -1: OpenArchive()
        int32_t native;
        const char16_t* message;
    };
    const Case cases[] = {
        {u"", -1, 9,
         u"Archiver: File name is blank. Specify appropriate file name - Native error: 00009"},
        {u"res\\", -1, 9, nullptr},
        {u"C:", -1, 9, nullptr},
        {u"res\\", 34, 10,
         u"Archiver: File name is blank. Specify appropriate file name - Native error: 00010"},
        {u"res\\", 65280, 10, nullptr},
        {u"missing.zip", 34, 12, u"Archiver: File \"missing.zip\" not found - Native error: 00012"},
        {u"missing.zip", 64, 12, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.fileName));
        Arc.SetFileName(c.fileName);
        std::u16string message;
        const int32_t native = NativeErrorOf(
            [&] {
                if (c.mode < 0) {
                    Arc.OpenArchive();
                } else {
                    Arc.OpenArchive(static_cast<uint16_t>(c.mode));
                }
            },
            &message);
        EXPECT_EQ(native, c.native);
        if (c.message != nullptr) {
            EXPECT_EQ(message, c.message);
        }
        EXPECT_FALSE(Arc.Active());
    }
    // The explicit create mode makes the missing file.
    Arc.SetFileName(u"missing.zip");
    Arc.OpenArchive(65280);
    EXPECT_TRUE(Arc.Active());
    Arc.CloseArchive();
    EXPECT_EQ(ReadNative(Native("missing.zip")), kEmptyZip);
}

// Root may write to any file, so a probe for writing alone would "succeed" on
// a read-only archive; the read-only attribute is honoured explicitly.
TEST_F(ArchiverLife, ReadOnlyArchiveOpensReadOnlyAndRefusesUpdates) {
    WriteNative(Native("ro.zip"), test::ZipBuilder().AddStored("a.txt", "hello").Build());
    ASSERT_EQ(chmod(Native("ro.zip").c_str(), 0444), 0);
    Arc.SetFileName(u"ro.zip");
    Arc.OpenArchive();
    EXPECT_EQ(Arc.FileOpenMode(), 64);
    EXPECT_EQ(Arc.FileCount(), 1);
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { Arc.BeginUpdate(); }, &message), 32);
    EXPECT_EQ(message, u"Archiver: File is open in read-only mode - Native error: 00032");
    EXPECT_FALSE(Arc.InUpdate());
    Arc.CloseArchive();
}

// A file that another holder keeps open for writing (with writers denied)
// cannot be probed for writing, so a second object opens it read only.
TEST_F(ArchiverLife, ArchiveHeldByAnotherOpenerOpensReadOnly) {
    WriteNative(Native("held.zip"), test::ZipBuilder().AddStored("a.txt", "hello").Build());
    TZipArchiver holder;
    holder.SetFileName(u"held.zip");
    holder.OpenArchive();
    ASSERT_EQ(holder.FileOpenMode(), 34);
    Arc.SetFileName(u"held.zip");
    Arc.OpenArchive();
    EXPECT_EQ(Arc.FileOpenMode(), 64);
    EXPECT_EQ(Arc.FileCount(), 1);
    Arc.CloseArchive();
    holder.CloseArchive();
    Arc.OpenArchive();
    EXPECT_EQ(Arc.FileOpenMode(), 34);
}

TEST_F(ArchiverLife, ClosedArchiveRefusesSizeAndFileCount) {
    EXPECT_EQ(NativeErrorOf([&] { Arc.Size(); }), 13);
    EXPECT_EQ(NativeErrorOf([&] { Arc.FileCount(); }), 13);
    EXPECT_EQ(NativeErrorOf([&] { Arc.SetComment("x"); }), 13);
    TZAArchiveItem item;
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { Arc.FindFirst(u"*.*", item); }, &message), 13);
    EXPECT_EQ(message, u"Archiver: Archive is not open - Native error: 00013");
    EXPECT_EQ(NativeErrorOf([&] { Arc.FindFirst(item); }), 13);
    EXPECT_EQ(NativeErrorOf([&] { Arc.FindNext(item); }), 13);
}

TEST_F(ArchiverLife, ActiveOpensOnceAndFiresAfterOpen) {
    WriteNative(Native("a.zip"), test::ZipBuilder().AddStored("a.txt", "x").Comment("hi").Build());
    int opened = 0;
    Arc.SetAfterOpen([&](TZABaseArchiver* sender) {
        EXPECT_EQ(sender, &Arc);
        ++opened;
    });
    Arc.SetFileName(u"a.zip");
    Arc.SetActive(true);
    EXPECT_TRUE(Arc.Active());
    EXPECT_EQ(opened, 1);
    Arc.SetActive(true);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(Arc.Comment(), "hi");
    Arc.SetActive(false);
    EXPECT_FALSE(Arc.Active());
    EXPECT_EQ(Arc.Comment(), "");
}

TEST_F(ArchiverLife, SpanningModeIsRefusedWhileOpen) {
    Arc.SetSpanningMode(smSplitting);
    Arc.SetSpanningMode(smNone);
    Arc.SetFileName(u"s.zip");
    Arc.OpenArchive();
    try {
        Arc.SetSpanningMode(smSpanning);
        ADD_FAILURE() << "no exception";
    } catch (const EZAException&) {
        ADD_FAILURE() << "an EZAException";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Cannot set spanning mode on open archive");
    }
    EXPECT_EQ(Arc.SpanningMode(), smNone);
}

TEST_F(ArchiverLife, InMemoryArchives) {
    // In memory no file name is needed and no file is made.
    Arc.SetInMemory(true);
    EXPECT_FALSE(Arc.Active());
    Arc.OpenArchive();
    EXPECT_TRUE(Arc.Active());
    EXPECT_EQ(Arc.FileCount(), 0);

    // Switching to a file needs a name.
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { Arc.SetInMemory(false); }, &message), 29);
    EXPECT_EQ(message,
              u"Archiver: File name is blank. Specify appropriate file name - Native error: 00029");
    EXPECT_TRUE(Arc.InMemory());

    // With a name the memory archive becomes that file, reopened from disk.
    Arc.SetFileName(u"mem.zip");
    Arc.SetInMemory(false);
    EXPECT_FALSE(Arc.InMemory());
    EXPECT_TRUE(Arc.Active());
    EXPECT_EQ(Arc.FileOpenMode(), 34);
    EXPECT_EQ(ReadNative(Native("mem.zip")), kEmptyZip);

    // Back to memory: a new, empty in-memory archive; the file stays as it was.
    Arc.SetInMemory(true);
    EXPECT_TRUE(Arc.Active());
    EXPECT_EQ(Arc.FileOpenMode(), 65280);
    EXPECT_EQ(Arc.Size(), 0);
    Arc.CloseArchive();
    EXPECT_EQ(ReadNative(Native("mem.zip")), kEmptyZip);

    // An existing archive cannot be opened into memory.
    EXPECT_EQ(NativeErrorOf([&] { Arc.OpenArchive(34); }), 28);
    // Unchanged value: nothing happens.
    Arc.SetInMemory(true);
    EXPECT_FALSE(Arc.Active());
}

TEST_F(ArchiverLife, CallersStream) {
    TMemoryStream stream;
    stream.WriteBuffer("junk", 4);
    Arc.OpenArchive(stream, true);
    EXPECT_TRUE(Arc.Active());
    EXPECT_EQ(stream.Size(), 22);
    Arc.CloseArchive();
    ASSERT_EQ(stream.Size(), 22);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 22), kEmptyZip);

    TMemoryStream withEntries;
    const std::string zip =
        test::ZipBuilder().AddStored("a.txt", "x").AddStored("b.txt", "y").Build();
    withEntries.WriteBuffer(zip.data(), static_cast<int64_t>(zip.size()));
    Arc.OpenArchive(withEntries, false);
    EXPECT_EQ(Arc.FileCount(), 2);
    Arc.CloseArchive();
    EXPECT_EQ(withEntries.Size(), static_cast<int64_t>(zip.size())); // the caller's stream lives on

    Arc.SetSpanningMode(smSplitting);
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { Arc.OpenArchive(stream, false); }, &message), 51);
    EXPECT_EQ(
        message,
        u"Archiver: Multi-volume archive is not allowed for custom stream - Native error: 00051");
}

TEST_F(ArchiverLife, MissingEndRecordWithoutCorruptedOpening) {
    WriteNative(Native("broken.zip"),
                test::ZipBuilder().AddStored("a.txt", "hello").OmitEndRecord().Build());
    Arc.SetFileName(u"broken.zip");
    Arc.SetOpenCorruptedArchives(false);
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { Arc.OpenArchive(); }, &message), 48);
    EXPECT_EQ(message, u"Archiver: Archive is damaged. Open failed - Native error: 00048");
    EXPECT_FALSE(Arc.Active());
    EXPECT_TRUE(Arc.OpenCorruptedArchives() == false);
    // With corrupted opening (the default) the directory is rebuilt.
    Arc.SetOpenCorruptedArchives(true);
    Arc.OpenArchive();
    EXPECT_EQ(Arc.FileCount(), 1);
}

TEST_F(ArchiverLife, UpdateBookkeeping) {
    Arc.SetFileName(u"u.zip");
    Arc.BeginUpdate(); // opens a closed archive
    EXPECT_TRUE(Arc.Active());
    EXPECT_TRUE(Arc.InUpdate());
    Arc.BeginUpdate();
    Arc.EndUpdate();
    EXPECT_TRUE(Arc.InUpdate());
    Arc.EndUpdate();
    EXPECT_FALSE(Arc.InUpdate());
    Arc.EndUpdate(); // at depth 0: nothing
    EXPECT_FALSE(Arc.InUpdate());
    Arc.BeginUpdate();
    Arc.BeginUpdate();
    Arc.CancelUpdate();
    EXPECT_FALSE(Arc.InUpdate());
    Arc.BeginUpdate();
    Arc.CloseArchive(); // commits
    EXPECT_FALSE(Arc.InUpdate());
    EXPECT_EQ(ReadNative(Native("u.zip")), kEmptyZip);
}

TEST_F(ArchiverLife, SecondTransactionOnMultiVolumeArchiveIsRefused) {
    Arc.SetFileName(u"split.zip");
    Arc.SetSpanningMode(smSplitting);
    Arc.OpenArchive(65280); // a new split set: its first volume is split.Z01
    EXPECT_TRUE(FileExists(u"split.Z01"));
    Arc.BeginUpdate();
    Arc.EndUpdate();
    EXPECT_EQ(Arc.FileOpenMode(), 34);
    std::u16string message;
    EXPECT_EQ(NativeErrorOf([&] { Arc.BeginUpdate(); }, &message), 62);
    EXPECT_EQ(message, u"Archiver: Multiple transactions are not supported for multi-volume "
                       u"archives - Native error: 00062");
}

TEST_F(ArchiverLife, SpanningModeOfOpenedArchives) {
    // Every volume request is counted and cancelled.
    int requests = 0;
    Arc.SetOnRequestLastVolume([&](TZABaseArchiver*, std::u16string&, bool& c) {
        ++requests;
        c = true;
    });
    Arc.SetOnRequestFirstVolume([&](TZABaseArchiver*, std::u16string&, bool& c) {
        ++requests;
        c = true;
    });
    Arc.SetOnRequestMiddleVolume([&](TZABaseArchiver*, int32_t, std::u16string&, bool& c) {
        ++requests;
        c = true;
    });

    struct Case {
        const char* title;
        std::string bytes;
        const char* neighbour; // a file next to the archive, or nullptr
        TZASpanningMode expected;
        bool opens; // else the cancelled request fails the open with an EZAException
    };
    test::ZipBuilder plain;
    plain.AddStored("a.txt", "x");
    test::ZipBuilder zip64Marker;
    zip64Marker.AddStored("a.txt", "x").Zip64();
    zip64Marker.End().diskNumber = 0xFFFF;
    test::ZipBuilder markerWithoutLocator;
    markerWithoutLocator.AddStored("a.txt", "x");
    markerWithoutLocator.End().diskNumber = 0xFFFF;
    test::ZipBuilder lastOfThree;
    lastOfThree.AddStored("a.txt", "x");
    lastOfThree.End().diskNumber = 2;
    const Case cases[] = {
        {"single file", plain.Build(), nullptr, smNone, true},
        {"ZIP64 with the volume marker", zip64Marker.Build(), nullptr, smNone, true},
        {"volume marker without ZIP64 records", markerWithoutLocator.Build(), nullptr, smNone,
         true},
        // The directory starts on volume 0 (v.Z01), which is missing: the
        // request for it is cancelled.
        {"last volume of a split set", lastOfThree.Build(), "v.Z02", smSplitting, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        requests = 0;
        WriteNative(Native("v.zip"), c.bytes);
        if (c.neighbour != nullptr) {
            WriteNative(Native(c.neighbour), "part");
        }
        Arc.SetFileName(u"v.zip");
        const int32_t native = NativeErrorOf([&] { Arc.OpenArchive(); });
        EXPECT_EQ(native == -1, c.opens) << native;
        EXPECT_EQ(Arc.SpanningMode(), c.expected);
        EXPECT_EQ(requests, c.opens ? 0 : 1);
        EXPECT_EQ(Arc.Active(), c.opens);
        Arc.CloseArchive();
        Arc.SetSpanningMode(smNone);
    }
}

TEST_F(ArchiverLife, DestructorClosesTheArchive) {
    {
        TZipArchiver a;
        a.SetFileName(u"d.zip");
        a.OpenArchive();
    }
    EXPECT_EQ(ReadNative(Native("d.zip")), kEmptyZip);
}

} // namespace
} // namespace za

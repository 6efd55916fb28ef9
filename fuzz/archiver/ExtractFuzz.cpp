// libFuzzer target: an archive held in memory is opened by the archive object
// and every entry goes through the data pipeline (password check, PKZIP
// classic or AES decryption, inflation, CRC-32) into a discarding stream,
// with a fixed password; then a small range of the first entry is read.
#include <cstddef>
#include <cstdint>

#include "archiver/ZipArchiver.h"
#include "platform/Stream.h"

using namespace za;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream stream(data, size);
    TZipArchiver arc;
    arc.SetPassword("PW");
    arc.SetOnPassword([](TZABaseArchiver*, const std::u16string&, std::string&, bool& skip) {
        skip = true;
    });
    arc.SetOnProcessFileFailure([](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                   int32_t, int32_t, const std::u16string&,
                                   TZAAction& action) { action = fxaIgnore; });
    try {
        arc.OpenArchive(stream, false);
        arc.TestFiles(u"*.*", ZASearchAllAttr, u"");
        TZAArchiveItem f;
        if (arc.FindFirst(u"*.*", f, ZASearchAllAttr, u"") && f.UncompressedSize > 4) {
            char buf[4];
            arc.ExtractToBuffer(f.StoredPath + f.FileName, buf, 4, 1);
        }
    } catch (const Exception&) {
    }
    return 0;
}

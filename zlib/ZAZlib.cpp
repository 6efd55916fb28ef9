#include "zlib/ZAZlib.h"

#include <climits>

namespace za {

bool TZAInflater::Init() {
    End();
    FStream = z_stream{};
    FTotalOut = 0;
    FTotalIn = 0;
    FInit = inflateInit_(&FStream, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) == Z_OK;
    return FInit;
}

void TZAInflater::End() {
    if (FInit) {
        inflateEnd(&FStream);
        FInit = false;
    }
}

void TZAInflater::SetInput(const uint8_t* data, size_t len) {
    // zlib's counters are 32-bit; the pipeline never hands over more than a chunk.
    FStream.next_in = const_cast<Bytef*>(data);
    FStream.avail_in = static_cast<uInt>(len > UINT_MAX ? UINT_MAX : len);
}

void TZAInflater::SetOutput(uint8_t* data, size_t len) {
    FStream.next_out = data;
    FStream.avail_out = static_cast<uInt>(len > UINT_MAX ? UINT_MAX : len);
}

int TZAInflater::Inflate() {
    const uInt inBefore = FStream.avail_in;
    const uInt outBefore = FStream.avail_out;
    const int rc = inflate(&FStream, Z_NO_FLUSH);
    FTotalIn += inBefore - FStream.avail_in;
    FTotalOut += outBefore - FStream.avail_out;
    return rc;
}

} // namespace za

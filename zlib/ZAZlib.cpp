#include "zlib/ZAZlib.h"

#include "zlib/ZAAdler32.h"

#include <climits>

namespace za {

bool TZAInflater::Init() {
    End();
    FStream = z_stream{};
    FTotalOut = 0;
    FTotalIn = 0;
    FFirstCall = true;
    FState = sBody;
    FAdler = 1;
    FTrailer = 0;
    FTrailerHave = 0;
    FInit = inflateInit2_(&FStream, -MAX_WBITS, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) ==
            Z_OK;
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

int TZAInflater::Trailer(bool progressed) {
    while (FTrailerHave < 4 && FStream.avail_in > 0) {
        FTrailer = (FTrailer << 8) | *FStream.next_in++;
        --FStream.avail_in;
        ++FTotalIn;
        ++FTrailerHave;
        progressed = true;
    }
    if (FTrailerHave < 4) {
        // zlib leaves the call waiting for more input; without any progress
        // that is a buffer error.
        return progressed ? Z_OK : Z_BUF_ERROR;
    }
    FState = FTrailer == FAdler ? sDone : sBad;
    return FState == sDone ? Z_STREAM_END : Z_DATA_ERROR;
}

int TZAInflater::Inflate() {
    switch (FState) {
    case sDone:
        return Z_STREAM_END;
    case sBad:
        return Z_DATA_ERROR;
    case sTrailer:
        return Trailer(false);
    case sBody:
        break;
    }
    // The header bytes a wrapped stream starts with count as progress of
    // the first call.
    const bool header = FFirstCall;
    FFirstCall = false;
    const uInt inBefore = FStream.avail_in;
    const uInt outBefore = FStream.avail_out;
    uint8_t* const out = FStream.next_out;
    const int rc = inflate(&FStream, Z_NO_FLUSH);
    const uInt consumed = inBefore - FStream.avail_in;
    const uInt produced = outBefore - FStream.avail_out;
    FTotalIn += consumed;
    FTotalOut += produced;
    if (produced > 0)
        FAdler = UpdateAdler32(FAdler, out, produced);
    if (rc == Z_STREAM_END) {
        FState = sTrailer;
        return Trailer(header || consumed > 0 || produced > 0);
    }
    if (rc == Z_BUF_ERROR && header)
        return Z_OK;
    if (rc == Z_DATA_ERROR)
        FState = sBad;
    return rc;
}

} // namespace za

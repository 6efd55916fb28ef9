// Thin binding of zlib for the entry data pipeline: one inflate stream per
// entry over an entry's raw Deflate data. The stream is ended on every way
// out by the destructor. Totals are kept in 64 bits here, whatever the width
// of zlib's own counters.
//
// The pipeline's rules are those of a zlib-wrapped stream (the two header
// bytes 0x78 0x01 in front of the raw data, then the 4-byte Adler-32 trailer
// after it): 1 to 3 bytes after the Deflate data leave the stream waiting
// for its trailer, and 4 bytes that are not the Adler-32 of the output are a
// data error. Inflate() keeps exactly those results and return codes while
// zlib runs in raw mode; the Adler-32 is computed here with a vector kernel,
// which is several times faster than zlib's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

namespace za {

// The two bytes that turn raw Deflate data into a zlib stream: Deflate with a
// 32 KiB window, no preset dictionary, fastest-compression hint.
constexpr uint8_t ZlibHeader[2] = {0x78, 0x01};

class TZAInflater {
public:
    TZAInflater() = default;
    ~TZAInflater() { End(); }
    TZAInflater(const TZAInflater&) = delete;
    TZAInflater& operator=(const TZAInflater&) = delete;

    // Starts a stream (32 KiB window); false on failure.
    bool Init();
    // inflateEnd; harmless when not initialised.
    void End();
    bool Initialized() const { return FInit; }

    // Raw Deflate data, without the zlib header.
    void SetInput(const uint8_t* data, size_t len);
    void SetOutput(uint8_t* data, size_t len);
    size_t AvailIn() const { return FStream.avail_in; }
    size_t AvailOut() const { return FStream.avail_out; }

    // One inflate call with Z_NO_FLUSH; returns what zlib returns for the
    // zlib-wrapped stream. The bytes produced by this call are added to
    // TotalOut().
    int Inflate();
    uint64_t TotalOut() const { return FTotalOut; }
    uint64_t TotalIn() const { return FTotalIn; }

private:
    enum TState : uint8_t { sBody, sTrailer, sDone, sBad };
    // Takes trailer bytes from the input; the return code of the call.
    int Trailer(bool progressed);

    z_stream FStream{};
    bool FInit = false;
    bool FFirstCall = true;
    TState FState = sBody;
    uint32_t FAdler = 1;
    uint32_t FTrailer = 0;
    int FTrailerHave = 0;
    uint64_t FTotalOut = 0;
    uint64_t FTotalIn = 0;
};

} // namespace za

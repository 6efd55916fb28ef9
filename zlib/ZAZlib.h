// Thin binding of zlib for the entry data pipeline: one inflate stream per
// entry, fed zlib-wrapped input (the pipeline puts the two header bytes
// 0x78 0x01 in front of an entry's raw Deflate data). The stream is ended on
// every way out by the destructor. Totals are kept in 64 bits here, whatever
// the width of zlib's own counters.
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

    // inflateInit_ with the default window (15 bits, zlib-wrapped); false on failure.
    bool Init();
    // inflateEnd; harmless when not initialised.
    void End();
    bool Initialized() const { return FInit; }

    void SetInput(const uint8_t* data, size_t len);
    void SetOutput(uint8_t* data, size_t len);
    size_t AvailIn() const { return FStream.avail_in; }
    size_t AvailOut() const { return FStream.avail_out; }

    // One inflate call with Z_NO_FLUSH; returns zlib's result code. The bytes
    // produced by this call are added to TotalOut().
    int Inflate();
    uint64_t TotalOut() const { return FTotalOut; }
    uint64_t TotalIn() const { return FTotalIn; }

private:
    z_stream FStream{};
    bool FInit = false;
    uint64_t FTotalOut = 0;
    uint64_t FTotalIn = 0;
};

} // namespace za

// Writes one output buffer at a time on a second thread, so that a large
// entry's next buffer is inflated while the previous one goes to its file.
// The caller hands over a buffer and later waits for the result; between
// the two it touches neither the buffer nor the stream.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/Stream.h"

namespace za {

class TZAOutputWriter {
public:
    TZAOutputWriter() = default;
    ~TZAOutputWriter();
    TZAOutputWriter(const TZAOutputWriter&) = delete;
    TZAOutputWriter& operator=(const TZAOutputWriter&) = delete;

    // Starts Stream.Write(Buffer, Count) on the worker.
    void Start(TStream& Stream, const uint8_t* Buffer, int64_t Count);
    // Waits for the write started last; what Write returned (an exception it
    // raised is raised here).
    int64_t Wait();
    bool Busy() const { return FStarted; }

private:
    void Work();

    std::mutex FLock;
    std::condition_variable FWake, FDone;
    std::thread FWorker;
    TStream* FStream = nullptr;
    const uint8_t* FBuffer = nullptr;
    int64_t FCount = 0;
    int64_t FResult = 0;
    std::exception_ptr FError;
    bool FStarted = false; // handed over and not yet waited for
    bool FQueued = false;  // not yet taken by the worker
    bool FFinished = false;
    bool FStop = false;
};

} // namespace za

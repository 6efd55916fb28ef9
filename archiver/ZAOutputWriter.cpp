#include "archiver/ZAOutputWriter.h"

namespace za {

TZAOutputWriter::~TZAOutputWriter() {
    {
        std::unique_lock<std::mutex> guard(FLock);
        FDone.wait(guard, [&] { return !FQueued && (!FStarted || FFinished); });
        FStop = true;
    }
    FWake.notify_all();
    if (FWorker.joinable())
        FWorker.join();
}

void TZAOutputWriter::Start(TStream& Stream, const uint8_t* Buffer, int64_t Count) {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FStream = &Stream;
        FBuffer = Buffer;
        FCount = Count;
        FResult = 0;
        FError = nullptr;
        FStarted = true;
        FQueued = true;
        FFinished = false;
        if (!FWorker.joinable())
            FWorker = std::thread([this] { Work(); });
    }
    FWake.notify_one();
}

int64_t TZAOutputWriter::Wait() {
    std::unique_lock<std::mutex> guard(FLock);
    if (!FStarted)
        return 0;
    FDone.wait(guard, [&] { return FFinished; });
    FStarted = false;
    if (FError) {
        std::exception_ptr e = FError;
        FError = nullptr;
        std::rethrow_exception(e);
    }
    return FResult;
}

void TZAOutputWriter::Work() {
    std::unique_lock<std::mutex> guard(FLock);
    for (;;) {
        FWake.wait(guard, [&] { return FStop || FQueued; });
        if (FStop)
            return;
        FQueued = false;
        TStream* stream = FStream;
        const uint8_t* buffer = FBuffer;
        const int64_t count = FCount;
        guard.unlock();
        int64_t result = 0;
        std::exception_ptr error;
        try {
            result = stream->Write(buffer, count);
        } catch (...) {
            error = std::current_exception();
        }
        guard.lock();
        FResult = result;
        FError = error;
        FFinished = true;
        FDone.notify_all();
    }
}

} // namespace za

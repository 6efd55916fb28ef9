// Key derivations run ahead of their use on a second core. Extracting an
// archive of AES entries spends most of its time in PBKDF2 (1000 iterations
// per entry); the archive side knows the salts of the entries to come, so it
// submits their derivations here while the current entry is decoded, and
// each entry's transform takes its keys from here instead of deriving them.
// A result is handed out only for exactly the password, salt, length and
// iteration count it was derived from, and only with the hash descriptor
// the transform would use itself, so every result is the one the transform
// would have computed. Whatever is never taken is wiped and dropped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace za {

class TZAKeyPrefetcher {
public:
    // At most this many derivations are queued or held at once.
    static constexpr size_t MaxJobs = 8;

    TZAKeyPrefetcher() = default;
    ~TZAKeyPrefetcher();
    TZAKeyPrefetcher(const TZAKeyPrefetcher&) = delete;
    TZAKeyPrefetcher& operator=(const TZAKeyPrefetcher&) = delete;

    // Queues the PBKDF2-HMAC-SHA1 derivation of `length` bytes; false when
    // the queue is full (nothing is queued then). The same request twice is
    // queued once. `tag` is the caller's (an entry number) for Forget.
    bool Submit(const std::string& password, const uint8_t* salt, size_t saltLength, size_t length,
                int32_t iterations, int64_t tag);
    // The derived bytes for exactly this request: waits while the worker is
    // on it. False when it was never submitted, failed, or had not started
    // (it is withdrawn then, and the caller derives it itself).
    bool Take(const std::string& password, const uint8_t* salt, size_t saltLength, size_t length,
              int32_t iterations, std::vector<uint8_t>& out);
    // Withdraws and wipes everything not yet taken.
    void Clear();
    // Withdraws the requests tagged below `tag` (entries already passed).
    void Forget(int64_t tag);
    // Requests currently queued, running or done (for tests).
    size_t Pending() const;
    // Waits until nothing is queued or running (for tests).
    void WaitIdle();

private:
    struct TJob;
    void Work();
    std::deque<std::shared_ptr<TJob>>::iterator Find(const std::string& password,
                                                     const uint8_t* salt, size_t saltLength,
                                                     size_t length, int32_t iterations);

    mutable std::mutex FLock;
    std::condition_variable FWake; // the worker waits for jobs
    std::condition_variable FDone; // takers wait for results
    std::deque<std::shared_ptr<TJob>> FJobs;
    std::thread FWorker;
    bool FStop = false;
};

} // namespace za

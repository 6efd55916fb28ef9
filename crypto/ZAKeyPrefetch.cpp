#include "crypto/ZAKeyPrefetch.h"

#include "crypto/SecureZero.h"
#include "crypto/ZAHash.h"
#include "crypto/ZAKeyDeriv.h"
#include "crypto/ZAPBKDF_2.h"

#include <algorithm>
#include <cstring>

namespace za {

struct TZAKeyPrefetcher::TJob {
    enum TState : uint8_t { jQueued, jRunning, jDone, jFailed };
    std::string password;
    std::vector<uint8_t> salt;
    size_t length = 0;
    int32_t iterations = 0;
    int64_t tag = 0;
    PHashDesc desc = nullptr;
    std::vector<uint8_t> result;
    TState state = jQueued;

    ~TJob() {
        SecureZero(password.data(), password.size());
        SecureZero(salt.data(), salt.size());
        SecureZero(result.data(), result.size());
    }
};

TZAKeyPrefetcher::~TZAKeyPrefetcher() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FStop = true;
        FJobs.clear();
    }
    FWake.notify_all();
    if (FWorker.joinable())
        FWorker.join();
}

std::deque<std::shared_ptr<TZAKeyPrefetcher::TJob>>::iterator
TZAKeyPrefetcher::Find(const std::string& password, const uint8_t* salt, size_t saltLength,
                       size_t length, int32_t iterations) {
    return std::find_if(FJobs.begin(), FJobs.end(), [&](const std::shared_ptr<TJob>& j) {
        return j->length == length && j->iterations == iterations && j->salt.size() == saltLength &&
               (saltLength == 0 || std::memcmp(j->salt.data(), salt, saltLength) == 0) &&
               j->password == password;
    });
}

bool TZAKeyPrefetcher::Submit(const std::string& password, const uint8_t* salt, size_t saltLength,
                              size_t length, int32_t iterations, int64_t tag) {
    if (password.size() > PBKDF2PasswordBufferSize || length == 0 || iterations <= 0)
        return false; // the transform reports those itself
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (FStop)
            return false;
        if (Find(password, salt, saltLength, length, iterations) != FJobs.end())
            return true;
        if (FJobs.size() >= MaxJobs)
            return false;
        auto job = std::make_shared<TJob>();
        job->password = password;
        job->salt.assign(salt, salt + saltLength);
        job->length = length;
        job->iterations = iterations;
        job->tag = tag;
        // The descriptor is looked up here, on the caller's thread, and
        // compared again when the result is taken.
        job->desc = FindHashDescById(SHA1HashId);
        FJobs.push_back(std::move(job));
        if (!FWorker.joinable())
            FWorker = std::thread([this] { Work(); });
    }
    FWake.notify_one();
    return true;
}

void TZAKeyPrefetcher::Work() {
    std::unique_lock<std::mutex> guard(FLock);
    for (;;) {
        FWake.wait(guard, [&] {
            return FStop || std::any_of(FJobs.begin(), FJobs.end(),
                                        [](const auto& j) { return j->state == TJob::jQueued; });
        });
        if (FStop)
            return;
        std::shared_ptr<TJob> job = *std::find_if(
            FJobs.begin(), FJobs.end(), [](const auto& j) { return j->state == TJob::jQueued; });
        job->state = TJob::jRunning;
        guard.unlock();
        std::vector<uint8_t> key(job->length);
        const bool ok = job->desc != nullptr &&
                        kdf_detail::DerivePBKDF2Sized(
                            job->desc, job->password.data(), job->password.size(), job->salt.data(),
                            job->salt.size(), job->iterations, key.data(), key.size()) == 0;
        guard.lock();
        job->result = std::move(key);
        job->state = ok ? TJob::jDone : TJob::jFailed;
        FDone.notify_all();
    }
}

bool TZAKeyPrefetcher::Take(const std::string& password, const uint8_t* salt, size_t saltLength,
                            size_t length, int32_t iterations, std::vector<uint8_t>& out) {
    std::unique_lock<std::mutex> guard(FLock);
    auto it = Find(password, salt, saltLength, length, iterations);
    if (it == FJobs.end())
        return false;
    std::shared_ptr<TJob> job = *it;
    if (job->state == TJob::jQueued) {
        FJobs.erase(it); // deriving it here is as quick as waiting for it
        return false;
    }
    FDone.wait(guard, [&] { return job->state != TJob::jRunning; });
    // Cleared or forgotten meanwhile: the result is still this request's.
    if (auto at = std::find(FJobs.begin(), FJobs.end(), job); at != FJobs.end())
        FJobs.erase(at);
    if (job->state != TJob::jDone || job->desc != FindHashDescById(SHA1HashId))
        return false;
    if (!out.empty())
        SecureZero(out.data(), out.size());
    out = std::move(job->result);
    job->result.clear();
    return true;
}

void TZAKeyPrefetcher::Clear() {
    std::lock_guard<std::mutex> guard(FLock);
    // A running job finishes on its own and is dropped with its last owner.
    FJobs.clear();
}

void TZAKeyPrefetcher::Forget(int64_t tag) {
    std::lock_guard<std::mutex> guard(FLock);
    FJobs.erase(std::remove_if(FJobs.begin(), FJobs.end(),
                               [&](const std::shared_ptr<TJob>& j) { return j->tag < tag; }),
                FJobs.end());
}

void TZAKeyPrefetcher::WaitIdle() {
    std::unique_lock<std::mutex> guard(FLock);
    FDone.wait(guard, [&] {
        return std::none_of(FJobs.begin(), FJobs.end(), [](const auto& j) {
            return j->state == TJob::jQueued || j->state == TJob::jRunning;
        });
    });
}

size_t TZAKeyPrefetcher::Pending() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FJobs.size();
}

} // namespace za

// The process-wide re-entrant lock held by multi-file archive operations.
#pragma once

namespace za {

void AcquireArchiverLock();
void ReleaseArchiverLock();

// Holds the lock for the lifetime of the object.
class TArchiverLockGuard {
public:
    TArchiverLockGuard() { AcquireArchiverLock(); }
    ~TArchiverLockGuard() { ReleaseArchiverLock(); }
    TArchiverLockGuard(const TArchiverLockGuard&) = delete;
    TArchiverLockGuard& operator=(const TArchiverLockGuard&) = delete;
};

} // namespace za

#include "platform/Lock.h"

#include <mutex>

namespace za {

namespace {

// Created on first use (before any archive object can take it) and never
// destroyed, so that objects released during program exit can still unlock.
std::recursive_mutex& ArchiverLock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

} // namespace

void AcquireArchiverLock() {
    ArchiverLock().lock();
}
void ReleaseArchiverLock() {
    ArchiverLock().unlock();
}

} // namespace za

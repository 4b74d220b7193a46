#include "frame/locks.h"

namespace vostrel {
namespace {

// Whether the forking thread took both locks; touched by that thread only.
bool g_heldForFork = false;

}  // namespace

constinit LibraryLock generalLock;
constinit LibraryLock passLock;

void createLocks() {
    generalLock.mutex_ = new std::mutex;
    passLock.mutex_ = new std::mutex;
}

void deleteLocks() {
    delete generalLock.mutex_;
    delete passLock.mutex_;
    generalLock.mutex_ = nullptr;
    passLock.mutex_ = nullptr;
}

// The locks are taken here and released in releaseLocksAfterFork, another
// function, and only while they exist: the analysis follows neither.
void holdLocksForFork() NO_THREAD_SAFETY_ANALYSIS {
    g_heldForFork = generalLock.mutex_ != nullptr;
    if (!g_heldForFork) return;
    passLock.lock();
    generalLock.lock();
}

void releaseLocksAfterFork() NO_THREAD_SAFETY_ANALYSIS {
    if (!g_heldForFork) return;
    g_heldForFork = false;
    generalLock.unlock();
    passLock.unlock();
}

}  // namespace vostrel

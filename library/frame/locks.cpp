#include "frame/locks.h"

namespace vostrel {
namespace {

// Plain pointers rather than static objects: the locks live exactly from the
// load steps to the unload steps, which may run after the process has begun
// destroying its static objects.
std::mutex* g_general = nullptr;
std::mutex* g_pass = nullptr;
// Whether the forking thread took both locks; touched by that thread only.
bool g_heldForFork = false;

}  // namespace

void createLocks() {
    g_general = new std::mutex;
    g_pass = new std::mutex;
}

void deleteLocks() {
    delete g_general;
    delete g_pass;
    g_general = nullptr;
    g_pass = nullptr;
}

std::mutex& generalLock() { return *g_general; }
std::mutex& passLock() { return *g_pass; }

void holdLocksForFork() {
    g_heldForFork = g_general != nullptr;
    if (!g_heldForFork) return;
    g_pass->lock();
    g_general->lock();
}

void releaseLocksAfterFork() {
    if (!g_heldForFork) return;
    g_heldForFork = false;
    g_general->unlock();
    g_pass->unlock();
}

}  // namespace vostrel

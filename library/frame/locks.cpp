#include "frame/locks.h"

namespace vostrel {
namespace {

// Plain pointers rather than static objects: the locks live exactly from the
// load steps to the unload steps, which may run after the process has begun
// destroying its static objects.
std::mutex* g_general = nullptr;
std::mutex* g_pass = nullptr;

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

}  // namespace vostrel

#include "frame/locks.h"

#include <optional>

namespace vostrel {
namespace {

std::optional<std::mutex> g_general;
std::optional<std::mutex> g_pass;

}  // namespace

void createLocks() {
    g_general.emplace();
    g_pass.emplace();
}

void deleteLocks() {
    g_general.reset();
    g_pass.reset();
}

std::mutex& generalLock() { return *g_general; }
std::mutex& passLock() { return *g_pass; }

}  // namespace vostrel

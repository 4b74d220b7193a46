#include "recovery/monitor.h"

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "frame/locks.h"
#include "platform/clock.h"
#include "platform/fork_hooks.h"
#include "platform/thread.h"
#include "portctl/port_switch.h"
#include "recovery/monitor_pass.h"
#include "recovery/settings.h"

namespace vostrel {
namespace {

struct MonitorThread {
    std::unique_ptr<platform::Thread> thread;
    // Raised to ask the thread to end; each thread has its own.
    std::shared_ptr<platform::Signal> stop;
};

// Reached through a pointer so that it outlives the process's static
// destruction: the unload steps, which stop the thread, may run after it.
struct MonitorState {
    std::optional<MonitorThread> current;
    platform::Clock* clock = &platform::realClock();
    // Thread objects that a fork copied into this process without their
    // threads: such an object can be neither joined nor destroyed (a joinable
    // std::thread ends the process when destroyed), so it is kept here.
    std::vector<std::unique_ptr<platform::Thread>> forkedAway;
};

MonitorState& state() {
    static MonitorState* const monitor = new MonitorState;
    return *monitor;
}

void monitorThread(std::shared_ptr<platform::Signal> stop, StartDelay delay, platform::Clock* clock) {
    if (delay == StartDelay::Yes && clock->wait(*stop, kStartDelay)) return;
    MonitorTimes times{};
    {
        LockGuard lock(generalLock);
        times = {settings().interval, settings().offTime};
    }
    {
        LockGuard lock(generalLock);
        bindVendorLibraryLocked();
    }
    // Each pass hands back a copy of the snapshot that is not used, but it
    // needs a home, and 132 KB is too much for a thread's stack.
    const auto snapshotArea = std::make_unique<DeviceInfoBlock>();
    while (!clock->wait(*stop, kTickSleep)) {
        LockGuard pass(passLock);
        runMonitorPass(times, *snapshotArea, *stop);
    }
}

void saveAfterStop(ClearEnabled clear) {
    LockGuard lock(generalLock);
    if (clear == ClearEnabled::Yes) {
        CurrentHubs hubs;
        for (int slot = 0; slot < settings().count; ++slot) endRecoveryLocked(slot, hubs);
        std::atomic_ref(settings().enabled).store(0);
    }
    saveSettings();
}

// The child has no monitor thread, whatever the parent had: one recorded
// would keep a start from starting one and a stop would wait for it.
void afterForkInChild() {
    releaseLocksAfterFork();
    MonitorState& monitor = state();
    if (!monitor.current) return;
    monitor.forkedAway.push_back(std::move(monitor.current->thread));
    monitor.current.reset();
}

}  // namespace

bool startMonitor(StartDelay delay) {
    MonitorState& monitor = state();
    if (monitor.current) return false;
    auto stop = std::make_shared<platform::Signal>();
    auto thread = platform::startThread([stop, delay, clock = monitor.clock] { monitorThread(stop, delay, clock); });
    if (!thread) return false;
    monitor.current = MonitorThread{std::move(thread), stop};
    {
        LockGuard lock(generalLock);
        std::atomic_ref(settings().enabled).store(1);
        saveSettings();
    }
    return true;
}

bool stopMonitor(ClearEnabled clear) {
    MonitorState& monitor = state();
    if (!monitor.current) return false;
    monitor.current->stop->raise();
    monitor.current->thread->join();
    monitor.current.reset();
    saveAfterStop(clear);
    return true;
}

void registerMonitorForkHandlers() {
    static const bool registered =
        (platform::registerForkHandlers(holdLocksForFork, releaseLocksAfterFork, afterForkInChild), true);
    static_cast<void>(registered);
}

void useMonitorClock(platform::Clock& clock) { state().clock = &clock; }

}  // namespace vostrel

#include "recovery/monitor.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "frame/locks.h"
#include "platform/clock.h"
#include "portctl/port_switch.h"
#include "recovery/monitor_pass.h"
#include "recovery/settings.h"

namespace vostrel {
namespace {

// Shared by one monitor thread and whoever stops it. Each thread has its
// own, so a thread that outlived its stop can never be revived by a later
// start.
struct RunState {
    platform::Signal stop;   // raised to ask the thread to end
    platform::Signal ended;  // raised by the thread as its last act
};

struct MonitorThread {
    std::thread thread;
    std::shared_ptr<RunState> run;
};

// Reached through pointers so that they outlive the process's static
// destruction: the unload steps may run after it.
struct MonitorState {
    std::optional<MonitorThread> current;
    // Threads still inside a foreign call when their stop's limit ran out.
    // They end by themselves; the unload steps wait for them.
    std::vector<MonitorThread> outliving;
    platform::Clock* clock = &platform::realClock();
};

MonitorState& state() {
    static MonitorState* const monitor = new MonitorState;
    return *monitor;
}

void setEnabled(std::uint8_t value) { std::atomic_ref(settings().enabled).store(value); }

void monitorThread(std::shared_ptr<RunState> run, StartDelay delay, platform::Clock* clock) {
    // The copy of the snapshot that each pass hands back is not used, but
    // it needs a home; 132 KB is too much for a thread's stack.
    const auto snapshotArea = std::make_unique<DeviceInfoBlock>();
    MonitorTimes times{};
    if (delay == StartDelay::No || !clock->wait(run->stop, kStartDelay)) {
        {
            std::lock_guard lock(generalLock());
            times = {settings().interval, settings().offTime};
        }
        {
            std::lock_guard lock(generalLock());
            bindVendorLibraryLocked();
        }
        while (!clock->wait(run->stop, kTickSleep)) {
            std::lock_guard pass(passLock());
            runMonitorPass(times, *snapshotArea, run->stop);
        }
    }
    run->ended.raise();
}

void saveWithEnabled(std::optional<std::uint8_t> enabled) {
    std::lock_guard lock(generalLock());
    if (enabled) setEnabled(*enabled);
    saveSettings();
}

void joinFinishedOutliving() {
    auto& outliving = state().outliving;
    for (auto it = outliving.begin(); it != outliving.end();) {
        if (it->run->ended.isRaised()) {
            it->thread.join();
            it = outliving.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

bool startMonitor(StartDelay delay) {
    MonitorState& monitor = state();
    joinFinishedOutliving();
    if (monitor.current) return false;
    auto run = std::make_shared<RunState>();
    try {
        monitor.current = MonitorThread{std::thread(monitorThread, run, delay, monitor.clock), run};
    } catch (const std::system_error&) {
        return false;
    }
    saveWithEnabled(1);
    return true;
}

bool stopMonitor(ClearEnabled clear) {
    MonitorState& monitor = state();
    if (!monitor.current) return false;
    MonitorThread stopping = std::move(*monitor.current);
    monitor.current.reset();
    stopping.run->stop.raise();
    // Every wait of the thread ends on the stop signal, so it ends as soon as
    // the step under way returns. A foreign call (USB stack, vendor library)
    // that hangs longer than the limit is not cut off: the thread may hold a
    // lock inside it. It is left to end by itself.
    if (monitor.clock->wait(stopping.run->ended, kStopLimit)) {
        stopping.thread.join();
    } else {
        monitor.outliving.push_back(std::move(stopping));
    }
    saveWithEnabled(clear == ClearEnabled::Yes ? std::optional<std::uint8_t>(0) : std::nullopt);
    return true;
}

void shutDownMonitor() {
    stopMonitor(ClearEnabled::No);
    for (MonitorThread& thread : state().outliving) thread.thread.join();
    state().outliving.clear();
}

void useMonitorClock(platform::Clock& clock) { state().clock = &clock; }

}  // namespace vostrel

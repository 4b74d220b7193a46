// Waiting, as the monitor does it: every wait can be cut short by a signal,
// so a stop never has to wait out a sleep. Tests put a clock of their own in
// place of the real one to step time without waiting real seconds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vostrel::platform {

// A flag raised once by one thread and waited for by another.
class Signal {
public:
    void raise() {
        {
            std::lock_guard lock(mutex_);
            raised_ = true;
        }
        changed_.notify_all();
    }

    bool isRaised() const {
        std::lock_guard lock(mutex_);
        return raised_;
    }

    // Real-time wait; true when the signal was raised within `limit`.
    bool waitFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return raised_; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

class Clock {
public:
    virtual ~Clock() = default;

    // Waits `duration`, or less when `signal` is raised first. True when the
    // signal was raised.
    virtual bool wait(Signal& signal, std::chrono::milliseconds duration) = 0;
};

// Time as it passes.
Clock& realClock();

}  // namespace vostrel::platform

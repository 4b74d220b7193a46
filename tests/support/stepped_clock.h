// A clock for monitor tests: time passes only when the test says so. Each
// tick() lets the monitor's pending wait end as if its time had passed and
// returns once the monitor waits again, that is, once the pass that follows
// the wait is over. Signals still end waits at once, as with the real clock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace vostrel::test {

class SteppedClock final : public platform::Clock {
public:
    bool wait(platform::Signal& signal, std::chrono::milliseconds duration) override {
        std::unique_lock lock(mutex_);
        durations_.push_back(duration);
        const std::size_t ticket = ++waitsBegun_;
        ++pending_;
        changed_.notify_all();
        for (;;) {
            const bool raised = signal.isRaised();
            if (raised || released_ >= ticket) {
                --pending_;
                return raised;
            }
            // Signals have no link to this clock, so look at them now and then.
            changed_.wait_for(lock, std::chrono::milliseconds(1));
        }
    }

    void tick() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pending_ > 0; });
        released_ = waitsBegun_;
        const std::size_t next = waitsBegun_ + 1;
        changed_.notify_all();
        changed_.wait(lock, [this, next] { return waitsBegun_ >= next; });
    }

    // Lets the pending wait end, without waiting for the pass that follows.
    void advance() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pending_ > 0; });
        released_ = waitsBegun_;
        changed_.notify_all();
    }

    void ticks(int n) {
        for (int i = 0; i < n; ++i) tick();
    }

    // Waits until the monitor is waiting, without letting time pass.
    void awaitWaiting() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pending_ > 0; });
    }

    // Every wait the monitor asked for so far, in order.
    std::vector<std::chrono::milliseconds> durations() const {
        std::lock_guard lock(mutex_);
        return durations_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::chrono::milliseconds> durations_;
    std::size_t waitsBegun_ = 0;
    std::size_t released_ = 0;  // waits up to this number may end
    std::size_t pending_ = 0;   // waits under way
};

}  // namespace vostrel::test

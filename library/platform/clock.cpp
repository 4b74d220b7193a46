#include "platform/clock.h"

namespace vostrel::platform {
namespace {

class RealClock final : public Clock {
public:
    bool wait(Signal& signal, std::chrono::milliseconds duration) override { return signal.waitFor(duration); }
};

}  // namespace

Clock& realClock() {
    // Never destroyed: a monitor thread may still wait on it while the
    // process's static objects are being torn down.
    static RealClock* const clock = new RealClock;
    return *clock;
}

}  // namespace vostrel::platform

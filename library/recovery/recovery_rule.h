// The recovery rule of the watch lists, apart from where an entry is kept and
// how its port is read and switched: the tick that counts towards a check or
// down a recovery, and the faults a check finds. Pure: no lock, no clock, no
// device, so that every kind of watched entry is recovered alike.
#pragma once

#include <chrono>
#include <cstdint>

namespace vostrel {

// How long one tick lasts.
inline constexpr std::chrono::milliseconds kTickSleep{1000};

enum EventCode : std::uint8_t {
    NotConfigured = 1,
    OtherDevice = 2,
    NoDevice = 3,
};

// What a tick asks of the caller.
enum class TickStep {
    None,      // nothing to do this tick
    SwitchOn,  // the recovery's off time is over: switch the port on again
    Check,     // the entry's interval is over: look at its port
};

// One entry's counters as the rule sees them.
struct RecoveryCounters {
    unsigned countdown = 0;        // ticks until the port is switched on again; 0: no recovery under way
    std::uint8_t tickCounter = 0;  // ticks since the last check
};

// Counts one tick. While a recovery runs only its countdown moves; else the
// tick counter counts up (stopping at 255) and a check falls due once it
// reaches `interval`, which starts it from 0 again.
TickStep countTick(RecoveryCounters& counters, std::uint8_t interval);

// What a check saw on the entry's port.
struct PortSeen {
    bool device = false;      // a device is there
    bool configured = false;  // with a configuration chosen
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// The faults a check found, in the order they are acted on: one event line
// and one switch-off each. A device both unconfigured and of other IDs
// counts twice.
struct Faults {
    EventCode codes[2]{};
    int count = 0;
};
Faults faultsSeen(const PortSeen& seen, std::uint16_t vendorId, std::uint16_t productId);

// The countdown a fault starts: the port stays off for offTime + 1 ticks.
inline unsigned recoveryTicks(std::uint8_t offTime) { return offTime + 1u; }

}  // namespace vostrel

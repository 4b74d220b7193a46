// The recovery rule alone: when checks fall due, how long a failed port
// stays off, and which faults a check's sighting makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recovery/recovery_rule.h"

namespace vostrel {
namespace {

// The steps of `ticks` ticks in a row, as letters: '.' none, 'C' check, 'O' switch on.
std::string steps(RecoveryCounters& counters, std::uint8_t interval, int ticks) {
    std::string seen;
    for (int i = 0; i < ticks; ++i) {
        const TickStep step = countTick(counters, interval);
        seen += step == TickStep::Check ? 'C' : step == TickStep::SwitchOn ? 'O' : '.';
    }
    return seen;
}

TEST(RecoveryRule, ChecksFallDueEveryIntervalAndARecoveryHoldsThemForItsOffTime) {
    RecoveryCounters counters;
    EXPECT_EQ(steps(counters, 3, 7), "..C..C.");
    // A fault at the last check: off for offTime + 1 ticks, then on; the
    // interval goes on from where it stood.
    counters.countdown = recoveryTicks(2);
    EXPECT_EQ(steps(counters, 3, 7), "..O.C..");

    // Intervals of 0 and 1 check at every tick.
    for (const std::uint8_t interval : {0, 1}) {
        RecoveryCounters every;
        EXPECT_EQ(steps(every, interval, 3), "CCC");
    }
    // The counter stops at 255 rather than wrapping past a later interval.
    RecoveryCounters stopped{0, 255};
    EXPECT_EQ(steps(stopped, 255, 1), "C");
    RecoveryCounters high{0, 254};
    EXPECT_EQ(countTick(high, 255), TickStep::Check);
    // The longest off time takes a countdown beyond one byte.
    RecoveryCounters longest{recoveryTicks(255), 0};
    EXPECT_EQ(steps(longest, 1, 257), std::string(255, '.') + "OC");
}

TEST(RecoveryRule, ASightingMakesTheFamilysFaultsInTheirOrder) {
    struct Case {
        const char* name;
        PortSeen seen;
        std::vector<EventCode> faults;
    };
    const Case cases[] = {
        {"its own device, working", {true, true, 0x046D, 0xC52B}, {}},
        {"nothing on the port", {false, false, 0x046D, 0xC52B}, {NoDevice}},
        {"its own device, not configured", {true, false, 0x046D, 0xC52B}, {NotConfigured}},
        {"another product", {true, true, 0x046D, 0xC52C}, {OtherDevice}},
        {"another vendor", {true, true, 0x046E, 0xC52B}, {OtherDevice}},
        {"another device, not configured", {true, false, 0x0001, 0x0002}, {NotConfigured, OtherDevice}},
    };
    for (const Case& c : cases) {
        const Faults faults = faultsSeen(c.seen, 0x046D, 0xC52B);
        EXPECT_EQ(std::vector<EventCode>(faults.codes, faults.codes + faults.count), c.faults) << c.name;
    }
}

}  // namespace
}  // namespace vostrel

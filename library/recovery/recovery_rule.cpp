#include "recovery/recovery_rule.h"

namespace vostrel {

TickStep countTick(RecoveryCounters& counters, std::uint8_t interval) {
    if (counters.countdown != 0) {
        --counters.countdown;
        return counters.countdown == 0 ? TickStep::SwitchOn : TickStep::None;
    }
    if (counters.tickCounter < 255) ++counters.tickCounter;
    if (counters.tickCounter < interval) return TickStep::None;
    counters.tickCounter = 0;
    return TickStep::Check;
}

Faults faultsSeen(const PortSeen& seen, std::uint16_t vendorId, std::uint16_t productId) {
    Faults faults;
    if (!seen.device) {
        faults.codes[faults.count++] = NoDevice;
        return faults;
    }
    if (!seen.configured) faults.codes[faults.count++] = NotConfigured;
    if (seen.vendorId != vendorId || seen.productId != productId) faults.codes[faults.count++] = OtherDevice;
    return faults;
}

}  // namespace vostrel

// The hubs on the bus at this moment, for the exports that must reach a
// watched entry's hub where it is now: found by one scan at the first
// question, none when nothing is asked. Used under the general lock.
#pragma once

#include <cstdint>

#include "frame/locks.h"
#include "scan/hub_identity.h"

namespace vostrel {

class CurrentHubs {
public:
    // The index of the hub with this serial digest now; -1 when it is gone.
    int indexOf(std::uint32_t hubSerial) REQUIRES(generalLock);
    // The serial digest of the hub at `hubIndex` now; 0 when there is none.
    std::uint32_t serialAt(std::int32_t hubIndex) REQUIRES(generalLock);

private:
    const HubIdentities& hubs() REQUIRES(generalLock);

    bool scanned_ = false;
    HubIdentities hubs_{};
};

}  // namespace vostrel

#include "recovery/current_hubs.h"

#include <memory>
#include <new>

#include "scan/device_views.h"

namespace vostrel {

const HubIdentities& CurrentHubs::hubs() {
    if (!scanned_) {
        scanned_ = true;
        // The block itself is not wanted; 132 KB go on the heap.
        const std::unique_ptr<DeviceInfoBlock> block(new (std::nothrow) DeviceInfoBlock());
        if (block) scanIntoBlock(*block, &hubs_);
    }
    return hubs_;
}

int CurrentHubs::indexOf(std::uint32_t hubSerial) { return findHubBySerialHash(hubs(), hubSerial); }

std::uint32_t CurrentHubs::serialAt(std::int32_t hubIndex) {
    const HubIdentities& now = hubs();
    return hubIndex >= 0 && hubIndex < now.count ? now.serialHash[hubIndex] : 0;
}

}  // namespace vostrel

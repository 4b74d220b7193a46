#include "scan/hub_identity.h"

#include <algorithm>
#include <new>

#include "backends/bus_sources.h"

namespace vostrel {

std::uint32_t hubSerialHash(std::u16string_view serial) {
    std::uint32_t hash = 2166136261u;
    for (const char16_t unit : serial) {
        for (const unsigned byte : {unit & 0xFFu, unsigned(unit) >> 8}) {
            hash ^= byte;
            hash *= 16777619u;
        }
    }
    return hash == 0 ? 1 : hash;
}

void identitiesOfHubs(const std::vector<usbbus::FamilyHub>& hubs, HubIdentities& identities) {
    identities.count = std::min<int>(static_cast<int>(hubs.size()), HUB_MAX_HUBS);
    for (int k = 0; k < identities.count; ++k) identities.serialHash[k] = hubSerialHash(hubs[k].serial);
}

int findHubBySerialHash(const HubIdentities& identities, std::uint32_t serialHash) {
    for (int k = 0; k < identities.count && k < HUB_MAX_HUBS; ++k) {
        if (identities.serialHash[k] == serialHash) return k;
    }
    return -1;
}

std::vector<ScannedHub> scanHubsNow() {
    try {
        const auto bus = backends::busSource().read();
        std::vector<ScannedHub> hubs;
        for (const usbbus::FamilyHub& hub : usbbus::walkFamilyHubs(*bus)) hubs.push_back({hub.serial, hub.location});
        return hubs;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace vostrel

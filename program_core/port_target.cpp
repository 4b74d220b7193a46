#include "program_core/port_target.h"

namespace vostrel::program {

void attachHubIdentities(BusView& bus, const std::vector<HubIdentity>& scanned) {
    const bool agree = scanned.size() == bus.hubs.size();
    for (std::size_t hub = 0; hub < bus.hubs.size(); ++hub) {
        if (agree) {
            bus.hubs[hub].identity = scanned[hub];
        } else {
            bus.hubs[hub].identity.reset();
        }
    }
}

PortTarget portTarget(const BusView& bus, int hubIndex, int portIndex) {
    PortTarget target;
    target.hubIndex = hubIndex;
    target.portIndex = portIndex;
    if (const PortView* shown = bus.port(hubIndex, portIndex)) {
        target.shown = *shown;
        const HubView& hub = bus.hubs[static_cast<std::size_t>(hubIndex)];
        if (hub.identity) target.hubSerial = hub.identity->serial;
    } else {
        target.shown.hubIndex = hubIndex;
        target.shown.portIndex = portIndex;
    }
    return target;
}

bool stillTheSamePort(const PortTarget& target, const std::vector<HubIdentity>& hubsNow, const BusView& bus) {
    if (!target.hubSerial || target.hubIndex < 0) return false;
    const auto hub = static_cast<std::size_t>(target.hubIndex);
    if (hub >= hubsNow.size() || hubsNow[hub].serial != *target.hubSerial) return false;
    const PortView* now = bus.port(target.hubIndex, target.portIndex);
    const PortView& then = target.shown;
    return now != nullptr && now->connectionStatus == then.connectionStatus && now->vendorId == then.vendorId &&
           now->productId == then.productId && now->product == then.product &&
           now->manufacturer == then.manufacturer;
}

}  // namespace vostrel::program

#include "bus.h"

#include <algorithm>
#include <memory>

#include "program_core/port_state.h"
#include "utf8_text.h"

namespace vostrel::cli {

Bus readBus(const HubLibrary& hub, WithSerials withSerials) {
    Bus bus;
    if (withSerials == WithSerials::Yes) bus.serials = scanDeviceSerials();
    const auto block = std::make_unique<DeviceInfoBlock>();
    hub.getDeviceInfo(block.get());
    bus.hubCount = std::min<int>(block->hubCount, HUB_MAX_HUBS);
    for (int h = 0; h < bus.hubCount; ++h) {
        for (int p = 0; p < HUB_PORTS_PER_HUB; ++p) {
            const PortInfoRecord& record = block->ports[h * HUB_PORTS_PER_HUB + p];
            BusPort port;
            port.place = {h, p + 1};
            port.status = record.connectionStatus;
            port.id = {record.vendorId, record.productId};
            port.manufacturer = utf8Text(record.manufacturer);
            port.product = utf8Text(record.product);
            DeviceInfoRecord watched{};
            port.watched = hub.watchedAt(&watched, h, p) != 0;
            bus.ports.push_back(std::move(port));
        }
    }
    for (const SerialSighting& sighting : bus.serials) {
        if (!bus.hasHub(sighting.place.hub)) continue;
        BusPort& port = bus.ports[static_cast<std::size_t>(sighting.place.hub * 4 + sighting.place.port - 1)];
        if (showsDevice(port) && port.id == sighting.id) port.serial = sighting.serial;
    }
    return bus;
}

bool showsDevice(const BusPort& port) { return port.status != HUB_NO_DEVICE_CONNECTED; }

bool knownPowered(const BusPort& port) {
    // The hub's power is not asked: that would bind the vendor library for a listing.
    return program::portPower(port.status, std::nullopt) == program::PortPower::On;
}

}  // namespace vostrel::cli

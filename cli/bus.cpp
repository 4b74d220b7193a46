#include "bus.h"

#include <algorithm>
#include <memory>
#include <string>

#include "program_core/port_state.h"
#include "text/visible_text.h"
#include "utf8_text.h"

namespace vostrel::cli {

Bus readBus(const HubLibrary& hub) {
    Bus bus;
    Sightings sightings = scanSerials();
    bus.serials = std::move(sightings.devices);
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
    if (sightings.hubs.size() == static_cast<std::size_t>(bus.hubCount)) bus.hubs = std::move(sightings.hubs);
    for (const SerialSighting& sighting : bus.serials) {
        if (!bus.hasHub(sighting.place.hub)) continue;
        BusPort& port = bus.ports[static_cast<std::size_t>(sighting.place.hub * 4 + sighting.place.port - 1)];
        if (showsDevice(port) && port.id == sighting.id) port.serial = sighting.serial;
    }
    return bus;
}

int findHubNow(const HubSighting& hub) {
    const std::vector<HubSighting> now = scanSerials().hubs;
    int found = -1;
    for (std::size_t k = 0; k < now.size(); ++k) {
        if (now[k].serial != hub.serial) continue;
        if (now[k].location == hub.location) return static_cast<int>(k);
        if (found < 0) found = static_cast<int>(k);
    }
    return found;
}

std::string hubText(int index, const HubSighting& hub) {
    // The serial number is the hub's own text: its control characters are shown, not sent.
    return "hub " + std::to_string(index) + " (" + (hub.serial.empty() ? "no serial" : text::visibleText(hub.serial)) +
           " at " + text::visibleText(hub.location) + ")";
}

bool showsDevice(const BusPort& port) { return port.status != HUB_NO_DEVICE_CONNECTED; }

bool knownPowered(const BusPort& port) {
    // The hub's power is not asked: that would bind the vendor library for a listing.
    return program::portPower(port.status, std::nullopt) == program::PortPower::On;
}

}  // namespace vostrel::cli

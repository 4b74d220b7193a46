#include "program_core/bus_view.h"

#include <algorithm>
#include <memory>

#include "program_core/text.h"

namespace vostrel::program {
namespace {

bool onWatchList(const HubLibrary& library, int hubIndex, int portIndex) {
    DeviceInfoRecord entry{};
    return library.watchedAt(&entry, hubIndex, portIndex) != 0;
}

std::optional<bool> hubPower(const HubLibrary& library, int hubIndex) {
    // A program that does not import Hub_GetHubPortStatus leaves it out.
    if (library.getHubPower == nullptr) return std::nullopt;
    std::uint8_t status = 0;
    if (library.getHubPower(hubIndex, &status) == 0) return std::nullopt;
    return status != 0;
}

PortView portView(const HubLibrary& library, const PortInfoRecord& record, int hubIndex, int portIndex,
                  std::optional<bool> hubPowered) {
    PortView port;
    port.hubIndex = hubIndex;
    port.portIndex = portIndex;
    port.connectionStatus = record.connectionStatus;
    port.configurationValue = record.configurationValue;
    port.speed = record.speed;
    port.vendorId = record.vendorId;
    port.productId = record.productId;
    port.manufacturer = recordText(record.manufacturer);
    port.product = recordText(record.product);
    port.power = portPower(record.connectionStatus, hubPowered);
    port.state = portState(record.connectionStatus, record.configurationValue, port.power);
    port.watched = onWatchList(library, hubIndex, portIndex);
    return port;
}

}  // namespace

const PortView* BusView::port(int hubIndex, int portIndex) const {
    if (hubIndex < 0 || hubIndex >= static_cast<int>(hubs.size()) || portIndex < 0 ||
        portIndex >= HUB_PORTS_PER_HUB) {
        return nullptr;
    }
    return &hubs[static_cast<std::size_t>(hubIndex)].ports[static_cast<std::size_t>(portIndex)];
}

int BusView::watchedPorts() const {
    int watched = 0;
    for (const HubView& hub : hubs) {
        watched += static_cast<int>(std::count_if(hub.ports.begin(), hub.ports.end(),
                                                  [](const PortView& port) { return port.watched; }));
    }
    return watched;
}

std::optional<BusView> readBusView(const HubLibrary& library) {
    const auto block = std::make_unique<DeviceInfoBlock>();
    if (library.getDeviceInfo(block.get()) == 0) return std::nullopt;
    BusView bus;
    const int hubCount = std::min<int>(block->hubCount, HUB_MAX_HUBS);
    for (int h = 0; h < hubCount; ++h) {
        HubView hub;
        hub.hubIndex = h;
        hub.powered = hubPower(library, h);
        for (int p = 0; p < HUB_PORTS_PER_HUB; ++p) {
            const PortInfoRecord& record = block->ports[h * HUB_PORTS_PER_HUB + p];
            hub.ports.push_back(portView(library, record, h, p, hub.powered));
        }
        bus.hubs.push_back(std::move(hub));
    }
    return bus;
}

}  // namespace vostrel::program

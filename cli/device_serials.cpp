// No record and no export of the hub library carries a device's or a hub's
// serial number, yet users name their devices by it, and a hub is only the
// same hub by it. The library's walk over the bus reads it with each
// device's other strings, so this file, and only this one, reads the bus
// and walks it itself (the library's bus code, linked in) to look the
// serials up, numbering hubs exactly as the library does. Whatever is done
// with a port found here is first confirmed through the exports: the port
// must still show the same device there.
#include "device_serials.h"

#include "backends/bus_sources.h"
#include "scan/hub_identity.h"
#include "usbbus/family_hubs.h"
#include "utf8_text.h"

namespace vostrel::cli {

Sightings scanSerials() {
    const auto bus = backends::busSource().read();
    const std::vector<usbbus::FamilyHub> hubs = usbbus::walkFamilyHubs(*bus);

    Sightings found;
    for (const usbbus::FamilyHub& hub : hubs) {
        found.hubs.push_back({utf8FromUtf16(hub.serial.c_str(), hub.serial.size()), hub.location,
                              hubSerialHash(hub.serial)});
    }
    for (std::size_t h = 0; h < hubs.size(); ++h) {
        for (int p = 0; p < usbbus::kFamilyHubPorts; ++p) {
            const usbbus::FamilyHubSide* side = usbbus::shownSide(hubs[h], p);
            if (side == nullptr || side->deviceSerials[p].empty()) continue;
            const PortInfoRecord& record = side->ports[p];
            const std::u16string& serial = side->deviceSerials[p];
            found.devices.push_back({{static_cast<int>(h), p + 1},
                                     {record.vendorId, record.productId},
                                     utf8FromUtf16(serial.c_str(), serial.size())});
        }
    }
    return found;
}

}  // namespace vostrel::cli

#include "bus_records.h"

#include <algorithm>
#include <cstring>

#include "usbbus/family_hubs.h"

namespace vostrel::test {
namespace {

class FixedBusSource final : public backends::BusSource {
public:
    explicit FixedBusSource(std::shared_ptr<const usbbus::Bus> bus) : bus_(std::move(bus)) {}
    std::shared_ptr<const usbbus::Bus> read() override { return bus_; }

private:
    std::shared_ptr<const usbbus::Bus> bus_;
};

}  // namespace

std::unique_ptr<ScanBuffer> walkRecords(std::shared_ptr<const usbbus::Bus> bus, DeviceSerials* serials) {
    auto records = std::make_unique<ScanBuffer>();
    records->deviceSerials = serials;
    const auto hubs = usbbus::walkFamilyHubs(*bus);
    for (std::size_t k = 0; k < hubs.size(); ++k) {
        const usbbus::FamilyHub& hub = hubs[k];
        std::copy_n(hub.serial.begin(), std::min(hub.serial.size(), kTextUnits - 1), records->serials[k]);
        std::strncpy(records->locations[k], hub.location.c_str(), kLocationChars - 1);
        records->usb2Located[k] = static_cast<bool>(hub.usb2);
        for (int p = 0; p < kPortsPerHub; ++p) {
            const std::size_t slot = k * kPortsPerHub + static_cast<std::size_t>(p);
            records->ports2744[slot] = hub.usb2.ports[p];
            records->ports5744[slot] = hub.superSpeed.ports[p];
            if (serials != nullptr) {
                serials->ports2744[slot] = hub.usb2.deviceSerials[p];
                serials->ports5744[slot] = hub.superSpeed.deviceSerials[p];
            }
        }
        records->count2744 += hub.usb2 ? 1 : 0;
        records->count5744 += hub.superSpeed ? 1 : 0;
    }
    records->identityCount = static_cast<std::uint8_t>(hubs.size());
    return records;
}

std::unique_ptr<backends::BusSource> sourceOf(std::shared_ptr<const usbbus::Bus> bus) {
    return std::make_unique<FixedBusSource>(std::move(bus));
}

}  // namespace vostrel::test

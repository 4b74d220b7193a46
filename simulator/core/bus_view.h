// The bench as the host's USB stack sees it at one moment: host controllers,
// and hub devices with numbered ports. A USB 3 hub is two hub devices (its
// USB 2.0 side and, on a USB 3 port, its SuperSpeed side); a USB 3 root hub
// has its SuperSpeed ports after its USB 2.0 ports (physical port p is port p
// and port N + p). A port without power, and everything below it, is empty.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/bench.h"
#include "usbbus/bus_model.h"

namespace vostrel::sim {

struct PortView {
    const Device* device = nullptr;  // null: nothing connected
    bool superSpeedSide = false;     // the SuperSpeed hub device of a USB 3 hub
    std::uint32_t status = 0;        // USB_CONNECTION_STATUS
    std::uint8_t configurationValue = 0;
    Speed speed = Speed::Low;
    std::uint16_t address = 0;
    int downstreamHub = -1;  // index of the working hub device attached here
};

struct HubView {
    std::u16string name;
    const Device* device = nullptr;  // null for a root hub
    bool superSpeedSide = false;
    bool legacyConnectionQuery = false;
    std::vector<PortView> ports;  // port n at [n - 1]
};

struct ControllerView {
    const Controller* controller = nullptr;
    int rootHub = -1;
};

class BusView {
public:
    BusView(std::shared_ptr<const Bench> bench, std::int64_t nowMs);

    const Bench& bench() const { return *bench_; }
    std::int64_t now() const { return now_; }
    const std::vector<ControllerView>& controllers() const { return controllers_; }
    const std::vector<HubView>& hubs() const { return hubs_; }

    // The controllers a scan walks, in the walk's order
    // (usbbus::controllersInWalkOrder).
    std::vector<const ControllerView*> scanOrder() const;

    // The family hubs in the order a scan numbers them: hub index k is [k].
    const std::vector<const Device*>& familyHubs() const { return familyHubs_; }
    // Hub index of a family hub, or -1 when the scan does not meet it.
    int hubIndexOf(const Device& hub) const;
    // The port a device shows on (its USB 2.0 side for a USB 3 hub), or null
    // when it does not show: unplugged, or below a port without power or a
    // hub that does not work.
    const PortView* portOf(const Device& device) const;

    // The bench's hub device that a hub of the model is; null for a root hub
    // and for hubs of other models.
    const Device* deviceOf(const usbbus::Hub& hub) const;

    // Wall-clock time at which the view goes stale (a flaky device wedges).
    std::int64_t validUntil() const { return validUntil_; }

    // The bus as the USB stack answers for it, every device with the
    // descriptors and strings it sends.
    const usbbus::Bus& model() const { return model_; }

private:
    void place(const std::vector<Device>& devices, const Device* parent, int usb2Hub, int usb2Offset, int ssHub,
               int ssOffset);
    std::unique_ptr<usbbus::Hub> modelOf(const HubView& hub);

    std::shared_ptr<const Bench> bench_;
    std::int64_t now_;
    std::int64_t validUntil_;
    std::uint16_t nextAddress_ = 1;
    std::vector<ControllerView> controllers_;
    std::vector<HubView> hubs_;
    std::vector<const Device*> familyHubs_;
    usbbus::Bus model_;
    std::map<const usbbus::Hub*, const Device*> hubDevices_;
};

// Whether a connection shows a working, configured device.
inline bool isWorking(const PortView& port) { return port.status == 1 && port.configurationValue != 0; }

}  // namespace vostrel::sim

#include "core/bus_view.h"

#include <algorithm>
#include <limits>

#include "core/descriptors.h"
#include "usbbus/family_hubs.h"

namespace vostrel::sim {

BusView::BusView(std::shared_ptr<const Bench> bench, std::int64_t nowMs)
    : bench_(std::move(bench)), now_(nowMs), validUntil_(std::numeric_limits<std::int64_t>::max()) {
    for (const Controller& controller : bench_->controllers) {
        HubView root;
        root.name = controller.rootHubName;
        root.ports.resize(controller.portCount * (controller.usb3 ? 2 : 1));
        const int rootIndex = static_cast<int>(hubs_.size());
        hubs_.push_back(std::move(root));
        controllers_.push_back({&controller, rootIndex});
        nextAddress_ = 1;
        place(controller.devices, nullptr, rootIndex, 0, controller.usb3 ? rootIndex : -1, controller.portCount);
    }
    model_.interfaceListAvailable = bench_->interfaceListAvailable;
    for (const ControllerView& view : controllers_) {
        const Controller& controller = *view.controller;
        model_.controllers.push_back({controller.number, controller.interfacePath, controller.driverKey,
                                      modelOf(hubs_[view.rootHub])});
    }
    // The scan's own numbering, over what the scan is answered.
    for (const usbbus::FamilyHub& hub : usbbus::walkFamilyHubs(model_)) {
        familyHubs_.push_back(deviceOf(*(hub.usb2 ? hub.usb2.hub : hub.superSpeed.hub)));
    }
}

std::unique_ptr<usbbus::Hub> BusView::modelOf(const HubView& view) {
    auto hub = std::make_unique<usbbus::Hub>();
    hubDevices_[hub.get()] = view.device;
    hub->name = view.name;
    hub->portCount = static_cast<std::uint8_t>(view.ports.size());
    hub->superSpeed = view.superSpeedSide;
    hub->olderDriver = view.legacyConnectionQuery;
    for (std::size_t i = 0; i < view.ports.size(); ++i) {
        const PortView& port = view.ports[i];
        if (port.device == nullptr) continue;
        const Device& device = *port.device;
        usbbus::Device& seen = hub->devices[static_cast<int>(i + 1)];
        seen.connectionStatus = port.status;
        seen.descriptor = deviceDescriptor(device, port.superSpeedSide);
        seen.configurationValue = port.configurationValue;
        seen.speed = static_cast<std::uint8_t>(port.speed);
        seen.address = port.status == usbbus::kDeviceConnected ? port.address : 0;
        seen.isHub = device.isHub() && port.status == usbbus::kDeviceConnected;
        seen.configurations.push_back(configurationDescriptor(device, port.speed));
        seen.strings = stringDescriptors(device);
        if (port.downstreamHub >= 0) seen.hub = modelOf(hubs_[port.downstreamHub]);
    }
    return hub;
}

void BusView::place(const std::vector<Device>& devices, const Device* parent, int usb2Hub, int usb2Offset, int ssHub,
                    int ssOffset) {
    for (const Device& device : devices) {
        if (parent != nullptr && parent->kind == Kind::FamilyHub && !parent->portPower[device.port - 1]) continue;
        if (device.state == State::Present && device.wedgesAt && *device.wedgesAt > now_) {
            validUntil_ = std::min(validUntil_, *device.wedgesAt);
        }
        const State state = device.stateAt(now_);
        if (state == State::Unplugged) continue;

        PortView seen;
        seen.device = &device;
        switch (state) {
            case State::Present:
                seen.status = 1;
                seen.configurationValue = device.configuration;
                break;
            case State::Unconfigured: seen.status = 1; break;
            case State::Failed: seen.status = device.failStatus; break;
            case State::Wedged: seen.status = device.wedgedAs == WedgeMode::Unconfigured ? 1 : device.failStatus; break;
            case State::Unplugged: break;
        }

        if (!device.isHub()) {
            const bool super = device.speed == Speed::Super && ssHub >= 0;
            seen.speed = device.speed == Speed::Super && !super ? Speed::High : device.speed;
            seen.address = nextAddress_++;
            PortView& port = super ? hubs_[ssHub].ports[ssOffset + device.port - 1]
                                   : hubs_[usb2Hub].ports[usb2Offset + device.port - 1];
            port = seen;
            continue;
        }

        const int usb2Slot = usb2Offset + device.port - 1;
        const int ssSlot = ssOffset + device.port - 1;
        const bool withSuperSpeed = device.hasSuperSpeedSide() && ssHub >= 0;
        seen.speed = device.speed;
        seen.address = nextAddress_++;
        hubs_[usb2Hub].ports[usb2Slot] = seen;
        if (withSuperSpeed) {
            seen.superSpeedSide = true;
            seen.speed = Speed::Super;
            seen.address = nextAddress_++;
            hubs_[ssHub].ports[ssSlot] = seen;
        }
        if (!isWorking(seen)) continue;

        auto addHub = [&](bool superSpeedSide) {
            HubView hub;
            hub.name = superSpeedSide ? device.superSpeedName : device.name;
            hub.device = &device;
            hub.superSpeedSide = superSpeedSide;
            hub.legacyConnectionQuery = device.legacyConnectionQuery;
            hub.ports.resize(device.portCount);
            hubs_.push_back(std::move(hub));
            return static_cast<int>(hubs_.size()) - 1;
        };
        const int usb2Side = addHub(false);
        hubs_[usb2Hub].ports[usb2Slot].downstreamHub = usb2Side;
        int ssSide = -1;
        if (withSuperSpeed) {
            ssSide = addHub(true);
            hubs_[ssHub].ports[ssSlot].downstreamHub = ssSide;
        }
        place(device.devices, &device, usb2Side, 0, ssSide, 0);
    }
}

std::vector<const ControllerView*> BusView::scanOrder() const {
    // The model lists the controllers as the bench does, one for each view.
    std::vector<const ControllerView*> order;
    for (const usbbus::Controller* walked : usbbus::controllersInWalkOrder(model_)) {
        std::size_t index = 0;
        for (const usbbus::Controller& model : model_.controllers) {
            if (&model == walked) break;
            ++index;
        }
        if (index < controllers_.size()) order.push_back(&controllers_[index]);
    }
    return order;
}

const Device* BusView::deviceOf(const usbbus::Hub& hub) const {
    const auto found = hubDevices_.find(&hub);
    return found == hubDevices_.end() ? nullptr : found->second;
}

int BusView::hubIndexOf(const Device& hub) const {
    const auto found = std::find(familyHubs_.begin(), familyHubs_.end(), &hub);
    return found == familyHubs_.end() ? -1 : static_cast<int>(found - familyHubs_.begin());
}

const PortView* BusView::portOf(const Device& device) const {
    const PortView* found = nullptr;
    for (const HubView& hub : hubs_) {
        for (const PortView& port : hub.ports) {
            if (port.device != &device) continue;
            if (!port.superSpeedSide) return &port;
            found = &port;
        }
    }
    return found;
}

}  // namespace vostrel::sim

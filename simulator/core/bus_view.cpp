#include "core/bus_view.h"

#include <algorithm>
#include <limits>

#include "core/descriptors.h"

namespace vostrel::sim {

namespace {

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

std::u16string upperCase(std::u16string_view name) {
    std::u16string result(name);
    for (char16_t& c : result) c = upper(c);
    return result;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

constexpr std::u16string_view kDevicePrefix = u"\\\\.\\";

bool isFamilyHubDevice(const usb::USB_DEVICE_DESCRIPTOR& descriptor) {
    return descriptor.idVendor == kFamilyVendorId &&
           (descriptor.idProduct == kFamilyUsb2ProductId || descriptor.idProduct == kFamilySuperSpeedProductId);
}

}  // namespace

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
    numberFamilyHubs();
    for (std::size_t i = 0; i < hubs_.size(); ++i) hubByName_.emplace(upperCase(hubs_[i].name), static_cast<int>(i));
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

// The scan's own order: controllers by number 9 down to 0, then the interface
// list in order, each controller once by its driver key; within one, depth
// first with ports ascending. Hubs are joined by their serial strings.
void BusView::numberFamilyHubs() {
    std::vector<const ControllerView*> order;
    for (int number = 9; number >= 0; --number) {
        for (const ControllerView& view : controllers_) {
            if (view.controller->number == number) order.push_back(&view);
        }
    }
    if (bench_->interfaceListAvailable) {
        for (const ControllerView& view : controllers_) {
            if (!view.controller->interfacePath.empty()) order.push_back(&view);
        }
    }
    std::vector<std::u16string> keys;
    std::vector<std::u16string> serials;
    for (const ControllerView* view : order) {
        const std::u16string& key = view->controller->driverKey;
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
        keys.push_back(key);
        walk(view->rootHub, serials);
    }
}

void BusView::walk(int hub, std::vector<std::u16string>& serials) {
    for (const PortView& port : hubs_[hub].ports) {
        if (port.status != 1 || port.downstreamHub < 0) continue;
        if (isFamilyHubDevice(deviceDescriptor(*port.device, port.superSpeedSide))) {
            const std::u16string serial = serialAsRead(*port.device);
            if (std::find(serials.begin(), serials.end(), serial) == serials.end()) {
                serials.push_back(serial);
                familyHubs_.push_back(port.device);
            }
        }
        walk(port.downstreamHub, serials);
    }
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

const ControllerView* BusView::findController(std::u16string_view path) const {
    if (path.size() > kDevicePrefix.size() + 3 && sameName(path.substr(0, kDevicePrefix.size() + 3), u"\\\\.\\HCD")) {
        const std::u16string_view digits = path.substr(kDevicePrefix.size() + 3);
        if (digits.size() == 1 && digits[0] >= u'0' && digits[0] <= u'9') {
            for (const ControllerView& view : controllers_) {
                if (view.controller->number == digits[0] - u'0') return &view;
            }
            return nullptr;
        }
    }
    for (const ControllerView& view : controllers_) {
        if (!view.controller->interfacePath.empty() && sameName(view.controller->interfacePath, path)) return &view;
    }
    return nullptr;
}

const HubView* BusView::findHub(std::u16string_view path) const {
    if (path.size() <= kDevicePrefix.size() || !sameName(path.substr(0, kDevicePrefix.size()), kDevicePrefix)) {
        return nullptr;
    }
    const auto found = hubByName_.find(upperCase(path.substr(kDevicePrefix.size())));
    return found == hubByName_.end() ? nullptr : &hubs_[found->second];
}

}  // namespace vostrel::sim

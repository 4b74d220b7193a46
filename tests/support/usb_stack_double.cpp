#include "usb_stack_double.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vostrel::test {

using namespace usb;

namespace {

const std::u16string kDevicePrefix = u"\\\\.\\";

std::u16string widen(std::string_view text) { return {text.begin(), text.end()}; }

template <typename T>
void appendBytesOf(const T& value, Bytes& bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof value);
}

void appendUnits(std::u16string_view units, Bytes& bytes) {
    for (const char16_t unit : units) appendBytesOf(static_cast<std::uint16_t>(unit), bytes);
}

// A name answer: `prefix` (a port number or nothing), the whole answer's
// length, then the name with its NUL.
void appendNameAnswer(std::span<const std::uint8_t> prefix, const std::u16string& name, Bytes& bytes) {
    bytes.insert(bytes.end(), prefix.begin(), prefix.end());
    appendBytesOf(static_cast<std::uint32_t>(prefix.size() + 4 + 2 * (name.size() + 1)), bytes);
    appendUnits(std::u16string_view(name.c_str(), name.size() + 1), bytes);
}

}  // namespace

UsbDeviceDouble::UsbDeviceDouble() : configuration_(configurationWith(0, 0)) {
    ids(0x1234, 0x5678).languages({0x0409});
}

Bytes UsbDeviceDouble::descriptorOf(std::u16string_view text) {
    text = text.substr(0, 126);
    Bytes bytes{static_cast<std::uint8_t>(2 + 2 * text.size()), USB_STRING_DESCRIPTOR_TYPE};
    appendUnits(text, bytes);
    return bytes;
}

Bytes UsbDeviceDouble::configurationWith(std::uint8_t iConfiguration, std::uint8_t iInterface) {
    return {9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 25, 0, 1, 1, iConfiguration, 0x80, 50,
            9, USB_INTERFACE_DESCRIPTOR_TYPE,     0,  0, 1, 0xFF, 0, 0, iInterface,
            7, USB_ENDPOINT_DESCRIPTOR_TYPE,      0x81, 2, 0, 2, 0};
}

bool UsbDeviceDouble::stringDescriptor(std::uint8_t index, std::uint16_t language, Bytes& out) const {
    auto it = strings_.find({index, language});
    if (it == strings_.end()) it = strings_.find({index, kEveryLanguage});
    if (it == strings_.end() || !it->second) return false;
    out.insert(out.end(), it->second->begin(), it->second->end());
    return true;
}

UsbDeviceDouble& UsbHubDouble::plugHub(int port, std::u16string hubName, int ports) {
    UsbDeviceDouble& device = plug(port).deviceClass(9);
    device.hub_ = std::make_unique<UsbHubDouble>(std::move(hubName), ports);
    return device;
}

UsbHubDouble* UsbHubDouble::find(const std::u16string& hubName) {
    if (name == hubName) return this;
    for (const auto& [port, device] : devices_) {
        if (UsbHubDouble* found = device->hub() ? device->hub()->find(hubName) : nullptr) return found;
    }
    return nullptr;
}

UsbControllerDouble& UsbStackDouble::addController(UsbControllerDouble controller) {
    return controllers_.emplace_back(std::move(controller));
}

std::vector<FamilyHub> UsbStackDouble::addFamilyHubs(int count, Link link) {
    const std::u16string tag = u"FAMILY" + widen(std::to_string(++familyControllers_));
    UsbHubDouble& root = addController({.interfacePath = u"\\\\?\\PCI#" + tag, .driverKey = u"{36fc9e60}\\" + tag})
                             .rootHub(u"USB#ROOT_HUB30#" + tag, count * (link == Link::Usb3 ? 2 : 1));
    std::vector<FamilyHub> hubs(static_cast<std::size_t>(count));
    int port = 0;
    for (FamilyHub& hub : hubs) {
        const std::u16string serial = u"VH" + widen(std::to_string(10000 + ++familySerials_).substr(1));
        const auto plugSide = [&](std::uint16_t productId, const char16_t* side) {
            return &root.plugHub(++port, serial + side).ids(0x0424, productId, 0x0200).manufacturer(u"Vostrel")
                        .product(u"Hub").serial(serial);
        };
        if (link == Link::Usb3) hub.device5744 = &plugSide(0x5744, u"#5744")->speed(UsbSuperSpeed);
        hub.device2744 = plugSide(0x2744, u"#2744");
    }
    return hubs;
}

void* UsbStackDouble::open(const char16_t* path) {
    ++opens_;
    const std::u16string name(path);
    if (std::ranges::find(failingOpens, name) != failingOpens.end()) return nullptr;
    for (const UsbControllerDouble& c : controllers_) {
        if ((c.number && name == kDevicePrefix + u"HCD" + static_cast<char16_t>(u'0' + *c.number)) ||
            (!c.interfacePath.empty() && name == c.interfacePath)) {
            return track({&c, nullptr});
        }
    }
    if (!name.starts_with(kDevicePrefix)) return nullptr;
    for (const UsbControllerDouble& c : controllers_) {
        UsbHubDouble* hub = c.root ? c.root->find(name.substr(kDevicePrefix.size())) : nullptr;
        if (hub != nullptr) return track({nullptr, hub});
    }
    return nullptr;
}

void* UsbStackDouble::track(Handle handle) {
    void* const id = reinterpret_cast<void*>(++lastHandle_);
    handles_.emplace(id, handle);
    return id;
}

void UsbStackDouble::close(void* handle) {
    if (handles_.erase(handle) == 0) ++badCloses_;
}

int UsbStackDouble::hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) {
    if (interfaceListFails) return -1;
    for (const UsbControllerDouble& c : controllers_) {
        if (c.interfacePath.empty() || index-- != 0) continue;
        path[c.interfacePath.copy(path, capacity - 1)] = u'\0';
        return 1;
    }
    return 0;
}

bool UsbStackDouble::deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                     void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    ++ioctls_;
    ++ioctlsByCode_[code];
    // All of the input is read before any output is written: they may share
    // one buffer.
    const auto* inBytes = static_cast<const std::uint8_t*>(in);
    input_.assign(inBytes, inBytes + (in != nullptr ? inSize : 0));
    answer_.clear();
    IoctlCall call{.code = code, .outSize = outSize};
    if (code == IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION && input_.size() >= 12) call.descriptorType = input_[7];

    const auto h = handles_.find(handle);
    const bool ok = h != handles_.end() && (h->second.hub != nullptr ? hubAnswer(*h->second.hub, call)
                                                                     : controllerAnswer(*h->second.controller, code));
    IoctlAnswer result{ok, 0, {static_cast<std::uint8_t*>(out), out != nullptr ? outSize : 0}};
    if (ok) {
        result.bytesReturned = static_cast<std::uint32_t>(std::min(answer_.size(), result.out.size()));
        std::copy_n(answer_.begin(), result.bytesReturned, result.out.begin());
    }
    for (const Fault& fault : faults) fault(call, result);
    *bytesReturned = result.bytesReturned;
    return result.ok;
}

bool UsbStackDouble::controllerAnswer(const UsbControllerDouble& controller, std::uint32_t code) {
    const std::u16string* name = code == IOCTL_GET_HCD_DRIVERKEY_NAME && controller.driverKey ? &*controller.driverKey
                                 : code == IOCTL_USB_GET_ROOT_HUB_NAME && controller.root   ? &controller.root->name
                                                                                            : nullptr;
    if (name != nullptr) appendNameAnswer({}, *name, answer_);
    return name != nullptr;
}

bool UsbStackDouble::hubAnswer(UsbHubDouble& hub, const IoctlCall& call) {
    if (call.code == IOCTL_USB_GET_NODE_INFORMATION) {
        if (hub.failNodeInformation) return false;
        USB_NODE_INFORMATION node{};
        node.u.HubInformation.HubDescriptor.bNumberOfPorts = static_cast<std::uint8_t>(hub.reportedPorts);
        appendBytesOf(node, answer_);
        return true;
    }
    std::uint32_t port = 0;
    if (input_.size() >= 4) std::memcpy(&port, input_.data(), 4);
    if (port < 1 || port > static_cast<std::uint32_t>(hub.reportedPorts)) return false;
    const UsbDeviceDouble* device = hub.device(static_cast<int>(port));

    switch (call.code) {
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: {
        // The older answer has the same layout, with a low-speed flag in
        // place of the speed.
        const bool extended = call.code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX;
        if (extended && hub.olderDriver) return false;
        USB_NODE_CONNECTION_INFORMATION_EX info{};
        info.ConnectionIndex = port;
        if (device != nullptr) {
            info.DeviceDescriptor = device->descriptor;
            info.CurrentConfigurationValue = device->configurationValue_;
            info.Speed = extended ? device->speed_ : device->speed_ == UsbLowSpeed;
            info.DeviceIsHub = device->hub_ != nullptr;
            info.ConnectionStatus = device->status_;
        }
        appendBytesOf(info, answer_);
        answer_.resize(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList));
        return true;
    }
    case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: {
        constexpr std::size_t kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
        // Only a connected, working device answers.
        if (input_.size() < kHeader || device == nullptr || device->status_ != 1) return false;
        // The request header comes back as it went, then the descriptor, cut
        // to the length asked for.
        answer_.assign(input_.begin(), input_.begin() + kHeader);
        bool found = false;
        if (call.descriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE && device->configuration_) {
            answer_.insert(answer_.end(), device->configuration_->begin(), device->configuration_->end());
            found = true;
        } else if (call.descriptorType == USB_STRING_DESCRIPTOR_TYPE) {
            found = device->stringDescriptor(input_[6], input_[8] | input_[9] << 8, answer_);
        }
        answer_.resize(std::min<std::size_t>(answer_.size(), kHeader + (input_[10] | input_[11] << 8)));
        return found;
    }
    case IOCTL_USB_GET_NODE_CONNECTION_NAME:
        if (device == nullptr || !device->hub_) return false;
        appendNameAnswer(std::span(input_).first(4), device->hub_->name, answer_);
        return true;
    default:
        return false;
    }
}

}  // namespace vostrel::test

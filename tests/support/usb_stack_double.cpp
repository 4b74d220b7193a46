#include "usb_stack_double.h"

#include <cassert>
#include <string>

#include "usbbus/descriptor_bytes.h"

namespace vostrel::test {

using namespace usb;

namespace {

std::u16string widen(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace

UsbDeviceDouble UsbDeviceDouble::languages(const std::vector<std::uint16_t>& ids) {
    if (ids.empty()) return rawString(0, kEveryLanguage, std::nullopt);
    return rawString(0, kEveryLanguage, usbbus::languageListDescriptor(ids));
}

UsbDeviceDouble UsbDeviceDouble::string(std::uint8_t index, int language, std::u16string_view text) {
    return rawString(index, language, usbbus::stringDescriptor(text));
}

UsbDeviceDouble UsbDeviceDouble::configuration(std::optional<Bytes> bytes) {
    device_->configurations.clear();
    if (bytes) device_->configurations.push_back(std::move(*bytes));
    return *this;
}

Bytes UsbDeviceDouble::configurationWith(std::uint8_t iConfiguration, std::uint8_t iInterface) {
    return {9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 25, 0, 1, 1, iConfiguration, 0x80, 50,
            9, USB_INTERFACE_DESCRIPTOR_TYPE,     0,  0, 1, 0xFF, 0, 0, iInterface,
            7, USB_ENDPOINT_DESCRIPTOR_TYPE,      0x81, 2, 0, 2, 0};
}

UsbHubDouble UsbDeviceDouble::hub() const {
    assert(device_->hub && "only a device plugged as a hub has one");
    return UsbHubDouble(*device_->hub);
}

UsbDeviceDouble UsbHubDouble::plug(int port) {
    usbbus::Device& device = hub_->devices[port] = usbbus::Device{};
    device.descriptor.bLength = sizeof device.descriptor;
    device.descriptor.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
    device.descriptor.bNumConfigurations = 1;
    return UsbDeviceDouble(device).ids(0x1234, 0x5678).configured(1).languages({0x0409}).configuration(
        UsbDeviceDouble::configurationWith(0, 0));
}

UsbDeviceDouble UsbHubDouble::plugHub(int port, std::u16string hubName, int ports) {
    UsbDeviceDouble device = plug(port).deviceClass(9);
    usbbus::Device& model = hub_->devices.at(port);
    model.isHub = true;
    model.hub = std::make_unique<usbbus::Hub>();
    model.hub->name = std::move(hubName);
    model.hub->portCount = static_cast<std::uint8_t>(ports);
    return device;
}

std::optional<UsbDeviceDouble> UsbHubDouble::device(int port) {
    const auto found = hub_->devices.find(port);
    if (found == hub_->devices.end()) return std::nullopt;
    return UsbDeviceDouble(found->second);
}

UsbHubDouble UsbControllerHandle::rootHub(std::u16string name, int ports) {
    controller_->rootHub = std::make_unique<usbbus::Hub>();
    controller_->rootHub->name = std::move(name);
    controller_->rootHub->portCount = static_cast<std::uint8_t>(ports);
    return UsbHubDouble(*controller_->rootHub);
}

std::optional<UsbHubDouble> FamilyHub::side(Side side) const {
    const std::optional<UsbDeviceDouble>& hubDevice = side == Side::SuperSpeed ? device5744 : device2744;
    if (!hubDevice) return std::nullopt;
    return hubDevice->hub();
}

void FamilyHub::unplug(int portIndex) {
    for (const Side s : {Side::SuperSpeed, Side::Usb2}) {
        if (auto hub = side(s)) hub->unplug(portIndex + 1);
    }
}

UsbControllerHandle UsbStackDouble::addController(UsbControllerDouble controller) {
    usbbus::Controller& added = live.bus.controllers.emplace_back();
    added.number = controller.number;
    added.interfacePath = std::move(controller.interfacePath);
    added.driverKey = std::move(controller.driverKey);
    return UsbControllerHandle(added);
}

std::vector<FamilyHub> UsbStackDouble::addFamilyHubs(int count, Link link) {
    const std::u16string tag = u"FAMILY" + widen(std::to_string(++familyControllers_));
    UsbHubDouble root = addController({.interfacePath = u"\\\\?\\PCI#" + tag, .driverKey = u"{36fc9e60}\\" + tag})
                            .rootHub(u"USB#ROOT_HUB30#" + tag, count * (link == Link::Usb3 ? 2 : 1));
    std::vector<FamilyHub> hubs(static_cast<std::size_t>(count));
    int port = 0;
    for (FamilyHub& hub : hubs) {
        const std::u16string serial = u"VH" + widen(std::to_string(10000 + ++familySerials_).substr(1));
        const auto plugSide = [&](std::uint16_t productId, const char16_t* side) {
            return root.plugHub(++port, serial + side)
                .ids(0x0424, productId, 0x0200)
                .manufacturer(u"Vostrel")
                .product(u"Hub")
                .serial(serial);
        };
        if (link == Link::Usb3) hub.device5744 = plugSide(0x5744, u"#5744").speed(UsbSuperSpeed);
        hub.device2744 = plugSide(0x2744, u"#2744");
    }
    return hubs;
}

}  // namespace vostrel::test

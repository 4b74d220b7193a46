#include "core/umockdev_bed.h"

#include <cstdio>
#include <map>
#include <string_view>

#include "usbbus/utf.h"

namespace vostrel::sim {
namespace {

using usbbus::Bytes;

constexpr std::uint32_t kFailedEnumeration = 2;
constexpr std::uint32_t kGeneralFailure = 3;
constexpr std::uint32_t kNotEnoughPower = 5;

std::string hex(const std::uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// A text attribute's value as umockdev-record writes it (g_strescape): the
// attribute's bytes, its closing newline included, with backslash escapes
// and every byte outside printable ASCII in octal.
std::string escaped(std::string_view value) {
    std::string text;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\n': text += "\\n"; break;
            case '\t': text += "\\t"; break;
            case '\r': text += "\\r"; break;
            case '\\': text += "\\\\"; break;
            case '"': text += "\\\""; break;
            default:
                if (byte < 0x20 || byte >= 0x7F) {
                    text += format("\\%03o", byte);
                } else {
                    text += c;
                }
        }
    }
    return text;
}

// One device's block.
class Block {
public:
    explicit Block(const std::string& path) : path_(path), text_("P: " + path + "\n") {}
    Block& node(const std::string& name, const Bytes& contents) {
        text_ += "N: " + name + "=" + hex(contents.data(), contents.size()) + "\n";
        return *this;
    }
    Block& property(const std::string& name, const std::string& value) {
        text_ += "E: " + name + "=" + value + "\n";
        return *this;
    }
    Block& attribute(const std::string& name, std::string_view value) {
        text_ += "A: " + name + "=" + escaped(std::string(value) + "\n") + "\n";
        return *this;
    }
    // An attribute the kernel shows as an empty file (not even a newline).
    Block& empty(const std::string& name) {
        text_ += "A: " + name + "=\n";
        return *this;
    }
    // The `driver` link, as udev reads a device's driver: to the driver's
    // folder under /sys/bus, relative to the device's folder.
    Block& driver(const std::string& bus, const std::string& name) {
        std::string up;
        for (const char c : path_) up += c == '/' ? "../" : "";
        text_ += "L: driver=" + up + "bus/" + bus + "/drivers/" + name + "\n";
        return *this;
    }
    Block& binary(const std::string& name, const Bytes& value) {
        text_ += "H: " + name + "=" + hex(value.data(), value.size()) + "\n";
        return *this;
    }
    std::string end() const { return text_ + "\n"; }

private:
    std::string path_;
    std::string text_;
};

// The properties of a device's events that name it, which the kernel sends
// with its interfaces' events as well.
std::string productOf(const usb::USB_DEVICE_DESCRIPTOR& d) {
    return format("%x/%x/%x", d.idVendor, d.idProduct, d.bcdDevice);
}
std::string typeOf(const usb::USB_DEVICE_DESCRIPTOR& d) {
    return format("%u/%u/%u", d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol);
}

const char* speedText(std::uint8_t speed) {
    switch (speed) {
        case usb::UsbLowSpeed: return "1.5";
        case usb::UsbFullSpeed: return "12";
        case usb::UsbHighSpeed: return "480";
        default: return "5000";
    }
}

// The text of string `index` as the kernel reads it: in the first language
// of the device's list.
std::optional<std::string> kernelString(const usbbus::Device& device, std::uint8_t index) {
    const Bytes* languages = device.string(0, 0);
    if (index == 0 || languages == nullptr || languages->size() < 4) return std::nullopt;
    const Bytes* text = device.string(index, static_cast<std::uint16_t>((*languages)[2] | (*languages)[3] << 8));
    if (text == nullptr || text->size() < 2) return std::nullopt;
    std::u16string units;
    for (std::size_t at = 2; at + 1 < text->size(); at += 2) {
        units.push_back(static_cast<char16_t>((*text)[at] | (*text)[at + 1] << 8));
    }
    return usbbus::utf16ToUtf8(units);
}

// The device's active configuration descriptor (at least its nine bytes),
// or none while it is not configured.
const Bytes* activeConfiguration(const usbbus::Device& device) {
    if (device.configurationValue == 0) return nullptr;
    for (const Bytes& configuration : device.configurations) {
        if (configuration.size() >= 9 && configuration[5] == device.configurationValue) return &configuration;
    }
    return nullptr;
}

// A hub's one interface descriptor: number 0, one endpoint, class 9.
constexpr std::uint8_t kHubInterface[] = {9, usb::USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, 1, 9, 0, 0, 0};

// The `modalias` of an interface: the device's IDs, class and release, and
// the interface's class, subclass, protocol and number.
std::string modaliasOf(const usb::USB_DEVICE_DESCRIPTOR& d, const std::uint8_t* interface) {
    return format("usb:v%04Xp%04Xd%04Xdc%02Xdsc%02Xdp%02Xic%02Xisc%02Xip%02Xin%02X", d.idVendor, d.idProduct,
                  d.bcdDevice, d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol, interface[5], interface[6],
                  interface[7], interface[2]);
}

class BedWriter {
public:
    BedWriter(const BusView& view, const BedOptions& options) : view_(view), options_(options) {}

    std::string write() {
        int slot = 0x10;
        std::uint32_t bus = 1;
        for (const ControllerView* view : view_.scanOrder()) {
            const Controller& controller = *view->controller;
            const usbbus::Controller* model = modelOf(*view);
            if (model == nullptr || !model->rootHub) continue;
            const std::string pci = format("/devices/pci0000:00/0000:00:%02x.0", slot++);
            out_ += Block(pci)
                        .property("DRIVER", controller.usb3 ? "xhci_hcd" : "ehci-pci")
                        .driver("pci", controller.usb3 ? "xhci_hcd" : "ehci-pci")
                        .property("PCI_CLASS", controller.usb3 ? "C0330" : "C0320")
                        .property("SUBSYSTEM", "pci")
                        .attribute("class", controller.usb3 ? "0x0c0330" : "0x0c0320")
                        .attribute("vendor", "0x1b21")
                        .end();
            const int ports = controller.portCount;
            writeRootHub(pci, bus++, *model->rootHub, 1, ports, false);
            if (controller.usb3) writeRootHub(pci, bus++, *model->rootHub, ports + 1, ports, true);
        }
        return out_;
    }

private:
    const usbbus::Controller* modelOf(const ControllerView& view) const {
        const auto& controllers = view_.controllers();
        std::size_t index = static_cast<std::size_t>(&view - controllers.data());
        for (const usbbus::Controller& model : view_.model().controllers) {
            if (index-- == 0) return &model;
        }
        return nullptr;
    }

    // A root hub showing ports `first` to `first` + `count` - 1 of the model's.
    void writeRootHub(const std::string& pci, std::uint32_t bus, const usbbus::Hub& model, int first, int count,
                      bool superSpeed) {
        const std::string name = format("usb%u", bus);
        const std::string path = pci + "/" + name;
        usbbus::Device root;
        root.descriptor = rootHubDescriptor(superSpeed);
        root.configurations.push_back(hubConfiguration());
        root.configurationValue = 1;
        root.speed = superSpeed ? usb::UsbSuperSpeed : usb::UsbHighSpeed;
        root.address = static_cast<std::uint16_t>(++addresses_[bus]);
        writeDevice(path, name, bus, "0", root, count);
        std::vector<std::pair<int, const usbbus::Device*>> ports;
        for (int port = 1; port <= count; ++port) ports.emplace_back(port, model.device(first + port - 1));
        writePorts(path, name, format("%u-0:1.0", bus), bus, root.descriptor, model, ports, format("%u-", bus));
    }

    // The hub interface with its ports' states and switches, then the
    // devices on its ports, named `childPrefix` and their port number.
    void writePorts(const std::string& hubPath, const std::string& hubName, const std::string& interfaceName,
                    std::uint32_t bus, const usb::USB_DEVICE_DESCRIPTOR& descriptor, const usbbus::Hub& hub,
                    const std::vector<std::pair<int, const usbbus::Device*>>& ports, const std::string& childPrefix) {
        const Device* benchHub = view_.deviceOf(hub);
        Block interface(hubPath + "/" + interfaceName);
        interface.property("DEVTYPE", "usb_interface")
            .property("DRIVER", "hub")
            .driver("usb", "hub")
            .property("INTERFACE", "9/0/0")
            .property("PRODUCT", productOf(descriptor))
            .property("SUBSYSTEM", "usb")
            .property("TYPE", typeOf(descriptor))
            .attribute("authorized", "1")
            .attribute("bAlternateSetting", " 0")
            .attribute("bInterfaceClass", "09")
            .attribute("bInterfaceNumber", "00")
            .attribute("bInterfaceProtocol", "00")
            .attribute("bInterfaceSubClass", "00")
            .attribute("bNumEndpoints", "01")
            .attribute("modalias", modaliasOf(descriptor, kHubInterface))
            .attribute("supports_autosuspend", "1");
        std::vector<std::pair<std::string, const usbbus::Device*>> children;
        for (const auto& [port, device] : ports) {
            const std::string portFolder = hubName + "-port" + std::to_string(port) + "/";
            interface.attribute(portFolder + "connect_type", "unknown")
                .attribute(portFolder + "location", "0x00000000")
                .attribute(portFolder + "over_current_count", "0")
                .attribute(portFolder + "quirks", "00000000");
            const bool shown = device != nullptr && (device->connectionStatus == usbbus::kDeviceConnected ||
                                                     device->connectionStatus == kNotEnoughPower);
            const bool failed = device != nullptr && (device->connectionStatus == kFailedEnumeration ||
                                                      device->connectionStatus == kGeneralFailure);
            if (options_.portStates) {
                const std::string state = shown ? (device->configurationValue != 0 ? "configured" : "addressed")
                                          : failed ? "default"
                                                   : "not attached";
                interface.attribute(portFolder + "state", state);
            }
            if (options_.portSwitches) {
                // Only the bench's family hubs switch their ports' power.
                const bool off = benchHub != nullptr && benchHub->kind == Kind::FamilyHub && port >= 1 &&
                                 port <= static_cast<int>(benchHub->portPower.size()) && !benchHub->portPower[port - 1];
                interface.attribute(portFolder + "disable", off ? "1" : "0");
            }
            if (shown) children.emplace_back(childPrefix + std::to_string(port), device);
        }
        out_ += interface.end();
        for (const auto& [name, device] : children) {
            usbbus::Device shown;
            shown.descriptor = device->descriptor;
            shown.configurations = device->configurations;
            shown.strings = device->strings;
            shown.speed = device->speed;
            shown.address = static_cast<std::uint16_t>(++addresses_[bus]);
            // Short of power: enumerated, its configuration refused.
            shown.configurationValue = device->connectionStatus == kNotEnoughPower ? 0 : device->configurationValue;
            const std::string path = hubPath + "/" + name;
            const int portCount = device->hub && shown.configurationValue != 0 ? device->hub->portCount : 0;
            writeDevice(path, name, bus, name.substr(name.find('-') + 1), shown, portCount);
            if (portCount == 0) continue;
            std::vector<std::pair<int, const usbbus::Device*>> below;
            for (int port = 1; port <= portCount; ++port) below.emplace_back(port, device->hub->device(port));
            writePorts(path, name, name + format(":%u.0", shown.configurationValue), bus, shown.descriptor,
                       *device->hub, below, name + ".");
        }
    }

    void writeDevice(const std::string& path, const std::string& name, std::uint32_t bus, const std::string& devpath,
                     const usbbus::Device& device, int portCount) {
        const usb::USB_DEVICE_DESCRIPTOR& d = device.descriptor;
        Bytes descriptors(reinterpret_cast<const std::uint8_t*>(&d), reinterpret_cast<const std::uint8_t*>(&d) + sizeof d);
        for (const Bytes& configuration : device.configurations) {
            descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());
        }
        const std::string node = format("bus/usb/%03u/%03u", bus, device.address);
        const bool root = devpath == "0";
        Block block(path);
        block.node(node, descriptors)
            .property("BUSNUM", format("%03u", bus))
            .property("DEVNAME", "/dev/" + node)
            .property("DEVNUM", format("%03u", device.address))
            .property("DEVTYPE", "usb_device")
            .property("DRIVER", "usb")
            .driver("usb", "usb")
            .property("PRODUCT", productOf(d))
            .property("SUBSYSTEM", "usb")
            .property("TYPE", typeOf(d))
            .attribute("authorized", "1");
        if (root) block.attribute("authorized_default", "1");
        block.attribute("avoid_reset_quirk", "0");
        // The active configuration's own attributes, empty files while there is none.
        const Bytes* active = activeConfiguration(device);
        if (active != nullptr) {
            const unsigned milliamperes = (*active)[8] * (device.speed == usb::UsbSuperSpeed ? 8u : 2u);
            block.attribute("bConfigurationValue", std::to_string(device.configurationValue))
                .attribute("bMaxPower", std::to_string(milliamperes) + "mA")
                .attribute("bNumInterfaces", format("%2u", (*active)[4]))
                .attribute("bmAttributes", format("%2x", (*active)[7]));
        } else {
            block.empty("bConfigurationValue").empty("bMaxPower").empty("bNumInterfaces").empty("bmAttributes");
        }
        block.attribute("bDeviceClass", format("%02x", d.bDeviceClass))
            .attribute("bDeviceProtocol", format("%02x", d.bDeviceProtocol))
            .attribute("bDeviceSubClass", format("%02x", d.bDeviceSubClass))
            .attribute("bMaxPacketSize0", std::to_string(d.bMaxPacketSize0))
            .attribute("bNumConfigurations", std::to_string(d.bNumConfigurations))
            .attribute("bcdDevice", format("%04x", d.bcdDevice))
            .attribute("busnum", std::to_string(bus))
            .binary("descriptors", descriptors)
            .attribute("devnum", std::to_string(device.address))
            .attribute("devpath", devpath)
            .attribute("idProduct", format("%04x", d.idProduct))
            .attribute("idVendor", format("%04x", d.idVendor));
        if (root) block.attribute("interface_authorized_default", "1");
        block.attribute("ltm_capable", "no")
            .attribute("maxchild", std::to_string(portCount))
            .attribute("quirks", "0x0")
            .attribute("removable", root ? "unknown" : "removable")
            .attribute("rx_lanes", "1")
            .attribute("speed", speedText(device.speed))
            .attribute("tx_lanes", "1")
            .attribute("urbnum", "0")
            .attribute("version", format("%2x.%02x", d.bcdUSB >> 8, d.bcdUSB & 0xFF));
        const std::pair<const char*, std::uint8_t> strings[] = {
            {"manufacturer", d.iManufacturer}, {"product", d.iProduct}, {"serial", d.iSerialNumber}};
        for (const auto& [attribute, index] : strings) {
            if (const auto text = kernelString(device, index)) block.attribute(attribute, *text);
        }
        const Bytes* first = device.configurations.empty() ? nullptr : &device.configurations.front();
        const auto configurationText = active != nullptr ? kernelString(device, (*active)[6]) : std::nullopt;
        if (configurationText) {
            block.attribute("configuration", *configurationText);
        } else {
            block.empty("configuration");
        }
        out_ += block.end();
        if (device.configurationValue != 0 && first != nullptr && portCount == 0) {
            writeInterfaces(path, name, device, *first);
        }
    }

    // The interfaces of a configured device that is no hub.
    void writeInterfaces(const std::string& path, const std::string& name, const usbbus::Device& device,
                         const Bytes& configuration) {
        for (std::size_t at = 0; configuration.size() - at >= 2;) {
            const std::uint8_t length = configuration[at];
            if (length < 2 || length > configuration.size() - at) break;
            if (configuration[at + 1] == usb::USB_INTERFACE_DESCRIPTOR_TYPE && length >= 9) {
                const std::uint8_t* i = configuration.data() + at;
                Block interface(path + "/" + name + format(":%u.%u", device.configurationValue, i[2]));
                interface.property("DEVTYPE", "usb_interface")
                    .property("INTERFACE", format("%u/%u/%u", i[5], i[6], i[7]))
                    .property("PRODUCT", productOf(device.descriptor))
                    .property("SUBSYSTEM", "usb")
                    .property("TYPE", typeOf(device.descriptor))
                    .attribute("authorized", "1")
                    .attribute("bAlternateSetting", format("%2u", i[3]))
                    .attribute("bInterfaceClass", format("%02x", i[5]))
                    .attribute("bInterfaceNumber", format("%02x", i[2]))
                    .attribute("bInterfaceProtocol", format("%02x", i[7]))
                    .attribute("bInterfaceSubClass", format("%02x", i[6]))
                    .attribute("bNumEndpoints", format("%02x", i[4]))
                    .attribute("modalias", modaliasOf(device.descriptor, i))
                    .attribute("supports_autosuspend", "1");
                if (const auto text = kernelString(device, i[8])) interface.attribute("interface", *text);
                out_ += interface.end();
            }
            at += length;
        }
    }

    static usb::USB_DEVICE_DESCRIPTOR rootHubDescriptor(bool superSpeed) {
        usb::USB_DEVICE_DESCRIPTOR d{};
        d.bLength = sizeof d;
        d.bDescriptorType = usb::USB_DEVICE_DESCRIPTOR_TYPE;
        d.bcdUSB = superSpeed ? 0x0300 : 0x0200;
        d.bDeviceClass = 9;
        d.bDeviceProtocol = superSpeed ? 3 : 1;
        d.bMaxPacketSize0 = superSpeed ? 9 : 64;
        d.idVendor = 0x1D6B;
        d.idProduct = superSpeed ? 0x0003 : 0x0002;
        d.bcdDevice = 0x0601;
        d.bNumConfigurations = 1;
        return d;
    }

    static Bytes hubConfiguration() {
        return {9, usb::USB_CONFIGURATION_DESCRIPTOR_TYPE, 25, 0, 1, 1, 0, 0xE0, 0,
                9, usb::USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, 1, 9, 0, 0, 0,
                7, usb::USB_ENDPOINT_DESCRIPTOR_TYPE, 0x81, 3, 4, 0, 12};
    }

    const BusView& view_;
    const BedOptions& options_;
    std::string out_;
    std::map<std::uint32_t, std::uint32_t> addresses_;  // the last device number given out on each bus
};

}  // namespace

std::string umockdevBed(const BusView& view, const BedOptions& options) { return BedWriter(view, options).write(); }

}  // namespace vostrel::sim

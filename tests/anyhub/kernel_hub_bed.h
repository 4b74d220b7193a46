// Buses of any hubs as umockdev test beds: root hubs, hub devices of either
// speed whose ports' `peer` links pair them, devices on their ports, with
// the attributes the listing reads, written as umockdev-record writes them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vostrel::test {

struct BedDevice {
    std::string name;  // "1-1.2", "1-3", "usb1"
    std::uint16_t vendorId = 0x0627, productId = 0x0001;
    std::string manufacturer, product, serial;  // none when empty
    bool configured = true;
    // A hub: its ports, each port's `disable` ("" for none: a kernel before
    // 6.0) and `state` ("" for none: before 6.5).
    int ports = 0;
    bool superSpeed = false;
    std::vector<std::string> disable, state;
    // A USB 2 hub device's SuperSpeed half: its port k peers with that
    // hub device's port k.
    std::string peer;
};

class KernelHubBed {
public:
    static constexpr const char* kController = "/sys/devices/pci0000:00/0000:00:14.0";

    // A hub with `ports` ports, all powered and empty on a 6.12 kernel.
    static BedDevice hub(const std::string& name, int ports, bool superSpeed = false) {
        BedDevice hub{name, 0x0409, 0x55AA, "Maker", "Hub", "", true, ports, superSpeed, {}, {}, {}};
        hub.disable.assign(static_cast<std::size_t>(ports), "0");
        hub.state.assign(static_cast<std::size_t>(ports), "not attached");
        return hub;
    }

    void add(const BedDevice& device) {
        devices_[device.name] = device;
        order_.push_back(device.name);
    }

    // The node of a device added: "/dev/bus/usb/001/002".
    std::string node(const std::string& name) const {
        char text[32];
        std::snprintf(text, sizeof text, "/dev/bus/usb/%03u/%03u", busOf(name), numbers_.at(name));
        return text;
    }

    // The device's folder, "/sys/devices/...".
    std::string path(const std::string& name) const {
        if (name.starts_with("usb")) return std::string(kController) + "/" + name;
        const std::size_t dot = name.rfind('.');
        const std::string parent =
            dot == std::string::npos ? "usb" + name.substr(0, name.find('-')) : name.substr(0, dot);
        return path(parent) + "/" + name;
    }

    // Port `port`'s folder of the hub device `name`.
    std::string portFolder(const std::string& name, int port) const {
        return path(name) + "/" + interfaceName(name) + "/" + name + "-port" + std::to_string(port);
    }

    std::string record() {
        std::string text;
        std::map<unsigned, unsigned> nextNumber;
        for (const std::string& name : order_) {
            const BedDevice& device = devices_.at(name);
            const unsigned bus = busOf(name);
            const unsigned number = name.starts_with("usb") ? 1 : ++nextNumber[bus] + 1;
            numbers_[name] = number;
            text += deviceBlock(device, bus, number);
            if (device.ports > 0) text += interfaceBlock(device);
        }
        return text;
    }

private:
    static unsigned busOf(const std::string& name) {
        return static_cast<unsigned>(std::stoul(name.starts_with("usb") ? name.substr(3) : name));
    }

    static std::string interfaceName(const std::string& name) {
        return (name.starts_with("usb") ? name.substr(3) + "-0" : name) + ":1.0";
    }

    // An attribute's value as umockdev-record escapes it.
    static std::string escaped(const std::string& value) {
        std::string text;
        for (const char c : value + "\n") {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\\' || c == '"') {
                text += '\\';
                text += c;
            } else if (byte < 0x20 || byte >= 0x7F) {
                char octal[8];
                std::snprintf(octal, sizeof octal, "\\%03o", byte);
                text += octal;
            } else {
                text += c;
            }
        }
        return text;
    }

    std::string deviceBlock(const BedDevice& d, unsigned bus, unsigned number) const {
        char node[32], ids[64];
        std::snprintf(node, sizeof node, "bus/usb/%03u/%03u", bus, number);
        std::snprintf(ids, sizeof ids, "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", d.vendorId, d.productId);
        std::string text = "P: " + path(d.name).substr(4) + "\nN: " + node + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" +
                           "E: DEVNAME=/dev/" + node + "\n" + ids;
        text += std::string("A: bDeviceClass=") + (d.ports > 0 ? "09" : "00") + "\\n\n";
        text += "A: bConfigurationValue=" + std::string(d.configured ? "1\\n" : "") + "\n";
        text += "A: busnum=" + std::to_string(bus) + "\\n\nA: devnum=" + std::to_string(number) + "\\n\n";
        text += "A: maxchild=" + std::to_string(d.ports) + "\\n\n";
        text += std::string("A: speed=") + (d.superSpeed ? "5000" : "480") + "\\n\n";
        for (const auto& [attribute, value] : {std::pair{"manufacturer", &d.manufacturer},
                                                std::pair{"product", &d.product}, std::pair{"serial", &d.serial}}) {
            if (!value->empty()) text += std::string("A: ") + attribute + "=" + escaped(*value) + "\n";
        }
        return text + "\n";
    }

    std::string interfaceBlock(const BedDevice& d) const {
        std::string text = "P: " + path(d.name).substr(4) + "/" + interfaceName(d.name) +
                           "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=hub\n";
        for (int port = 1; port <= d.ports; ++port) {
            const std::string folder = d.name + "-port" + std::to_string(port) + "/";
            const auto k = static_cast<std::size_t>(port - 1);
            text += "A: " + folder + "connect_type=unknown\\n\n";
            if (k < d.disable.size() && !d.disable[k].empty()) text += "A: " + folder + "disable=" + d.disable[k] + "\\n\n";
            if (k < d.state.size() && !d.state[k].empty()) text += "A: " + folder + "state=" + d.state[k] + "\\n\n";
            if (!d.peer.empty()) {
                const std::filesystem::path from = portFolder(d.name, port);
                const std::string target =
                    std::filesystem::path(portFolder(d.peer, port)).lexically_relative(from).string();
                text += "L: " + folder + "peer=" + target + "\n";
            }
        }
        return text + "\n";
    }

    std::map<std::string, BedDevice> devices_;
    std::vector<std::string> order_;
    std::map<std::string, unsigned> numbers_;
};

// A bed of every kind: two root hubs; a USB 3 hub (1-1 and 2-1, peers)
// with a device on each half and port 1 off; hub 1-2 (meant to answer as
// ganged) with port 2 off; hub 1-2.3 below it (meant to answer that it
// switches nothing), its device unconfigured and its strings odd.
inline KernelHubBed mixedHubBed() {
    KernelHubBed bed;
    BedDevice usb1 = KernelHubBed::hub("usb1", 2), usb2 = KernelHubBed::hub("usb2", 2, true);
    usb1.vendorId = usb2.vendorId = 0x1D6B;
    usb1.productId = 0x0002;
    usb2.productId = 0x0003;
    usb1.state = {"configured", "configured"};
    bed.add(usb1);
    bed.add(usb2);

    BedDevice usb3 = KernelHubBed::hub("1-1", 4), superSpeed = KernelHubBed::hub("2-1", 4, true);
    usb3.peer = "2-1";
    usb3.serial = "H1";
    superSpeed.productId = 0x55AB;
    usb3.state[0] = "configured";
    superSpeed.state[2] = "configured";
    superSpeed.disable = {"1", "0", "0", "0"};
    usb3.disable = {"1", "0", "0", "0"};
    bed.add(usb3);
    bed.add(superSpeed);
    bed.add({"1-1.1", 0x0627, 0x0001, "QEMU", "Tablet", "42", true, 0, false, {}, {}, {}});
    bed.add({"2-1.3", 0x0781, 0x5581, "Disk Maker", "Stick", "S3", true, 0, true, {}, {}, {}});

    BedDevice ganged = KernelHubBed::hub("1-2", 3);
    ganged.productId = 0x0101;
    ganged.disable = {"0", "1", "0"};
    bed.add(ganged);

    BedDevice none = KernelHubBed::hub("1-2.3", 4);
    none.productId = 0x0202;
    none.state[3] = "addressed";
    bed.add(none);
    bed.add({"1-2.3.4", 0x1234, 0xABCD, "Evil\x1b[2J\"\\", "\xff\xfe not UTF-8\t", "line\nbreak", false, 0, false,
             {}, {}, {}});
    return bed;
}

}  // namespace vostrel::test

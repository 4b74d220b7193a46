#include "platform/sysfs_usb.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <cstdio>
#include <set>
#include <tuple>

#include "platform/diagnostics.h"
#include "platform/usbfs.h"
#include "usbbus/kernel_attributes.h"

namespace vostrel::platform {
namespace {

using usbbus::Bytes;

std::atomic<std::uint64_t> g_filesRead{0};

// No attribute the model needs is larger: text attributes hold at most a
// page, and `descriptors` the device descriptor and eight configurations.
constexpr std::size_t kLargestAttribute = 18 + 8 * 65535;
// Hubs nest at most seven tiers below a root hub.
constexpr int kDeepestHub = 7;

enum class Need { Required, Optional };

// The whole file, or nothing. A required file that cannot be read is
// reported; an optional one only when it exists and still cannot be read.
std::optional<Bytes> readFile(const std::string& path, Need need) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (need == Need::Required || errno != ENOENT) reportSystemFailure("open", path);
        return std::nullopt;
    }
    ++g_filesRead;
    Bytes bytes;
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            reportSystemFailure("read", path);
            ::close(fd);
            return std::nullopt;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > kLargestAttribute) {
            reportFailure("read", path, "larger than any USB attribute");
            ::close(fd);
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        // A read that does not fill the buffer met the end: sysfs hands out
        // an attribute whole, as far as the buffer goes. This spares one
        // call per file, a good part of a scan's time.
        if (static_cast<std::size_t>(n) < sizeof chunk) break;
    }
    ::close(fd);
    return bytes;
}

std::optional<std::string> readText(const std::string& path, Need need = Need::Required) {
    auto bytes = readFile(path, need);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::optional<std::uint32_t> readDecimal(const std::string& path, std::uint32_t largest) {
    const auto text = readText(path);
    if (!text) return std::nullopt;
    const auto value = usbbus::parseDecimal(*text, largest);
    if (!value) reportFailure("read", path, "not a number in range");
    return value;
}

// The names in a folder; nothing when it cannot be listed (`missing`
// receives whether it does not exist).
std::optional<std::set<std::string>> listFolder(const std::string& path, bool* missing = nullptr) {
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) {
        if (missing != nullptr) *missing = errno == ENOENT;
        if (errno != ENOENT) reportSystemFailure("list", path);
        return std::nullopt;
    }
    std::set<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(folder);
    return names;
}

std::u16string widen(std::string_view text) { return {text.begin(), text.end()}; }

// A USB device folder: the root hub "usb<bus>" or a device "<bus>-<ports>".
struct DeviceFolder {
    std::string path;
    std::string name;
    std::uint32_t bus = 0;
    bool root = false;

    // Its interface `number` in configuration `configuration`.
    std::string interface(std::uint32_t configuration, std::uint32_t number) const {
        const std::string base = root ? std::to_string(bus) + "-0" : name;
        return path + "/" + base + ":" + std::to_string(configuration) + "." + std::to_string(number);
    }
    std::string portFolder(std::uint32_t configuration, int port) const {
        return interface(configuration, 0) + "/" + name + "-port" + std::to_string(port);
    }
    std::string child(int port) const {
        return (root ? std::to_string(bus) + "-" : name + ".") + std::to_string(port);
    }
};

class Reader {
public:
    explicit Reader(SysfsUsbBus& result) : result_(result) {}

    // The ports of one hub device, appended to `hub` from port number
    // `offset` + 1 on, and their folders to `origin`.
    void readPorts(const DeviceFolder& folder, std::uint32_t configuration, std::uint32_t portCount, int offset,
                   usbbus::Hub& hub, SysfsHubOrigin& origin, int depth) {
        const auto children = listFolder(folder.path);
        std::optional<UsbfsHub> usbfs;
        for (std::uint32_t port = 1; port <= portCount; ++port) {
            const std::string portFolder = folder.portFolder(configuration, static_cast<int>(port));
            origin.ports.push_back(portFolder);
            const int number = offset + static_cast<int>(port);
            const std::string childName = folder.child(static_cast<int>(port));
            if (children && children->contains(childName)) {
                DeviceFolder child{folder.path + "/" + childName, childName, folder.bus, false};
                if (auto device = readDevice(child, depth)) hub.devices[number] = std::move(*device);
                continue;
            }
            if (const auto status = statusWithoutDevice(folder, portFolder, static_cast<int>(port), usbfs)) {
                usbbus::Device failed;
                failed.connectionStatus = *status;
                failed.speed = usb::UsbLowSpeed;  // not known
                hub.devices[number] = std::move(failed);
            }
        }
    }

    std::optional<usbbus::Device> readDevice(const DeviceFolder& folder, int depth) {
        const auto raw = readFile(folder.path + "/descriptors", Need::Required);
        if (!raw) return std::nullopt;
        auto descriptors = usbbus::parseDescriptors(*raw);
        if (!descriptors) {
            reportFailure("read", folder.path + "/descriptors", "shorter than a device descriptor");
            return std::nullopt;
        }
        const auto speedText = readText(folder.path + "/speed");
        const auto address = readDecimal(folder.path + "/devnum", 0xFFFF);
        const auto configuration = readDecimal(folder.path + "/bConfigurationValue", 0xFF);
        if (!speedText || !address || !configuration) return std::nullopt;
        // An unknown speed is reported as full speed, as the older connection
        // query reports every speed but low.
        const std::uint8_t speed = usbbus::parseSpeed(*speedText).value_or(usb::UsbFullSpeed);

        const auto sources = usbbus::stringSources(*descriptors, static_cast<std::uint8_t>(*configuration));
        usbbus::Device device = usbbus::deviceFromKernel(std::move(*descriptors), speed,
                                                         static_cast<std::uint16_t>(*address),
                                                         static_cast<std::uint8_t>(*configuration));
        for (const usbbus::StringSource& source : sources) {
            if (const auto text = readText(stringPath(folder, source, *configuration))) {
                usbbus::addString(device, source.index, *text);
            }
        }
        if (device.isHub && *configuration != 0 && depth < kDeepestHub) {
            device.hub = readHub(folder, *configuration, speed, depth + 1);
        }
        return device;
    }

    // A configured hub device's hub; none when it shows no ports.
    std::unique_ptr<usbbus::Hub> readHub(const DeviceFolder& folder, std::uint32_t configuration,
                                         std::uint8_t speed, int depth) {
        const auto ports = readDecimal(folder.path + "/maxchild", 255);
        if (!ports || *ports == 0) return nullptr;
        auto hub = std::make_unique<usbbus::Hub>();
        hub->name = u"USB#" + widen(folder.name);
        hub->portCount = static_cast<std::uint8_t>(*ports);
        hub->superSpeed = speed == usb::UsbSuperSpeed;
        SysfsHubOrigin& origin = result_.origins[hub.get()];
        origin.devices.push_back(folder.path);
        readPorts(folder, configuration, *ports, 0, *hub, origin, depth);
        return hub;
    }

private:
    static std::string stringPath(const DeviceFolder& folder, const usbbus::StringSource& source,
                                  std::uint32_t configuration) {
        switch (source.attribute) {
            case usbbus::StringAttribute::Manufacturer: return folder.path + "/manufacturer";
            case usbbus::StringAttribute::Product: return folder.path + "/product";
            case usbbus::StringAttribute::Serial: return folder.path + "/serial";
            case usbbus::StringAttribute::Configuration: return folder.path + "/configuration";
            case usbbus::StringAttribute::Interface: break;
        }
        return folder.interface(configuration, source.interfaceNumber) + "/interface";
    }

    // The status of a port without a device folder: from the port's `state`
    // where the kernel has it, else from the hub's port status where usbfs
    // lets us ask, else nothing there.
    static std::optional<std::uint32_t> statusWithoutDevice(const DeviceFolder& hub, const std::string& portFolder,
                                                            int port, std::optional<UsbfsHub>& usbfs) {
        if (const auto state = readText(portFolder + "/state", Need::Optional)) {
            const auto attached = usbbus::portStateAttached(*state);
            if (!attached) reportFailure("read", portFolder + "/state", "a state not known");
            if (attached.value_or(false)) return usbbus::kDeviceFailedEnumeration;
            return std::nullopt;
        }
        if (!usbfs) {
            const auto address = readDecimal(hub.path + "/devnum", 0xFFFF);
            if (!address) return std::nullopt;
            char node[32];
            std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", hub.bus, *address);
            usbfs.emplace(node);
        }
        const auto status = usbfs->portStatus(port);
        if (!status) return std::nullopt;
        const std::uint32_t seen = usbbus::statusOfPortWithoutDevice(*status);
        if (seen == usbbus::kNoDeviceConnected) return std::nullopt;
        return seen;
    }

    SysfsUsbBus& result_;
};

struct RootHub {
    DeviceFolder folder;
    std::uint32_t ports = 0;
    std::uint8_t speed = 0;
};

std::u16string folderName(std::string_view path) {
    std::u16string name = widen(path);
    std::replace(name.begin(), name.end(), u'/', u'#');
    return name;
}

}  // namespace

SysfsUsbBus readSysfsUsbBus(const std::string& sysfs) {
    SysfsUsbBus result;
    result.bus = std::make_shared<usbbus::Bus>();
    const std::string devices = sysfs + "/bus/usb/devices";
    bool missing = false;
    const auto names = listFolder(devices, &missing);
    if (!names) {
        // No USB at all is an empty bus; a list we may not read is not.
        result.bus->interfaceListAvailable = missing;
        return result;
    }

    // Root hubs by controller, the controller being the folder above them.
    std::map<std::string, std::vector<RootHub>> controllers;
    for (const std::string& name : *names) {
        if (!name.starts_with("usb")) continue;
        const auto bus = usbbus::parseDecimal(std::string_view(name).substr(3), 0xFFFF);
        if (!bus || *bus == 0) continue;
        const std::string link = devices + "/" + name;
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(link, error);
        if (error) {
            reportFailure("read link", link, error.message());
            continue;
        }
        const std::string path = (std::filesystem::path(devices) / target).lexically_normal().string();
        RootHub root{{path, name, *bus, true}};
        const auto ports = readDecimal(path + "/maxchild", 255);
        const auto speed = readText(path + "/speed");
        if (!ports || !speed) continue;
        root.ports = *ports;
        root.speed = usbbus::parseSpeed(*speed).value_or(usb::UsbFullSpeed);
        controllers[std::filesystem::path(path).parent_path().string()].push_back(root);
    }

    // Controllers by their lowest bus; within one, USB 2 before SuperSpeed.
    std::vector<std::pair<std::string, std::vector<RootHub>>> ordered(controllers.begin(), controllers.end());
    for (auto& [path, roots] : ordered) {
        std::ranges::sort(roots, [](const RootHub& a, const RootHub& b) {
            return std::tie(a.speed, a.folder.bus) < std::tie(b.speed, b.folder.bus);
        });
    }
    const auto lowestBus = [](const std::vector<RootHub>& roots) {
        return std::ranges::min(roots, {}, [](const RootHub& r) { return r.folder.bus; }).folder.bus;
    };
    std::ranges::sort(ordered, [&](const auto& a, const auto& b) { return lowestBus(a.second) < lowestBus(b.second); });

    Reader reader(result);
    const std::string devicesRoot = sysfs + "/devices/";
    for (const auto& [path, roots] : ordered) {
        const std::u16string place = folderName(path.starts_with(devicesRoot) ? path.substr(devicesRoot.size()) : path);
        usbbus::Controller& controller = result.bus->controllers.emplace_back();
        controller.interfacePath = u"\\\\?\\usb#" + place + u"#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
        controller.driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\" + place;
        controller.rootHub = std::make_unique<usbbus::Hub>();
        usbbus::Hub& hub = *controller.rootHub;
        hub.name = u"USB#ROOT_HUB#" + widen(roots.front().folder.name);
        SysfsHubOrigin& origin = result.origins[&hub];
        int offset = 0;
        for (const RootHub& root : roots) {
            origin.devices.push_back(root.folder.path);
            reader.readPorts(root.folder, 1, root.ports, offset, hub, origin, 0);
            offset += static_cast<int>(root.ports);
        }
        hub.portCount = static_cast<std::uint8_t>(std::min(offset, 255));
    }
    return result;
}

std::uint64_t sysfsFilesRead() { return g_filesRead.load(); }

}  // namespace vostrel::platform

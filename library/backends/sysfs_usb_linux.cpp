#include "backends/sysfs_usb.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/usbfs.h"
#include "usbbus/family_hubs.h"
#include "usbbus/kernel_attributes.h"
#include "usbbus/kernel_device_cache.h"

namespace vostrel::platform {
namespace {

using usbbus::Bytes;

std::atomic<std::uint64_t> g_filesRead{0};

// No attribute the model needs is larger: text attributes hold at most a
// page, and `descriptors` the device descriptor and eight configurations.
constexpr std::size_t kLargestAttribute = 18 + 8 * 65535;
// Hubs are read as deep as the walk goes.
using usbbus::kDeepestHub;

enum class Need { Required, Optional };

// The whole file `name` of the folder open as `folder` (shown as `path`), or
// nothing with the cause in `error`. A required file that cannot be read is
// reported; an optional one only when it exists and still cannot be read.
std::optional<Bytes> readFile(int folder, const char* name, const std::string& path, Need need,
                              int* error = nullptr) {
    const auto fail = [&](const char* operation) {
        const int cause = errno;
        if (need == Need::Required || cause != ENOENT) reportSystemFailure(operation, path);
        if (error != nullptr) *error = cause;
        return std::nullopt;
    };
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail("open");
    ++g_filesRead;
    Bytes bytes;
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("read");
            ::close(fd);
            return std::nullopt;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > kLargestAttribute) {
            reportFailure("read", path, "larger than any USB attribute");
            if (error != nullptr) *error = EFBIG;
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

// The names in an open directory stream, which this closes.
std::set<std::string> namesIn(DIR* stream) {
    std::set<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(stream);
    return names;
}

// A folder of sysfs, held open: its files are opened relative to it, which
// spares the kernel the walk along the whole path for each of them (a scan
// opens well over a thousand).
class Folder {
public:
    explicit Folder(std::string path) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) reportSystemFailure("open", path_);
    }
    // The subfolder `name` of `parent`; one gone already (a device just
    // unplugged) is not reported.
    Folder(const Folder& parent, const std::string& name) : path_(parent.path_ + "/" + name) {
        fd_ = ::openat(parent.fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0 && errno != ENOENT) reportSystemFailure("open", path_);
    }
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(Folder&& other) noexcept : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}
    Folder& operator=(Folder&& other) noexcept {
        std::swap(path_, other.path_);
        std::swap(fd_, other.fd_);
        return *this;
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // `name` may lead into a subfolder ("1-1:1.0/interface").
    std::optional<std::string> text(const std::string& name, Need need = Need::Required) const {
        auto bytes = readFile(fd_, name.c_str(), path_ + "/" + name, need);
        if (!bytes) return std::nullopt;
        return std::string(bytes->begin(), bytes->end());
    }
    std::optional<Bytes> bytes(const std::string& name) const {
        return readFile(fd_, name.c_str(), path_ + "/" + name, Need::Required);
    }
    std::optional<std::uint32_t> decimal(const std::string& name, std::uint32_t largest) const {
        const auto text = this->text(name);
        if (!text) return std::nullopt;
        const auto value = usbbus::parseDecimal(*text, largest);
        if (!value) reportFailure("read", path_ + "/" + name, "not a number in range");
        return value;
    }
    // What tells the subfolder `name` (this folder itself when empty) from
    // another that once had its place and perhaps its inode number: the file
    // system's handle for it where it gives one (a test bed's: the inode
    // number and its generation), else its inode number (sysfs, whose
    // numbers are not reused). Looked at without opening it. Nothing when it
    // cannot be looked at; `missing` tells whether it does not exist, which is
    // not reported.
    std::optional<std::string> identity(const std::string& name, bool& missing) const {
        const int flags = name.empty() ? AT_EMPTY_PATH : 0;
        // The handle's bytes follow its header, as many as it says, which
        // is at most what room was made for.
        constexpr std::size_t kHeader = offsetof(file_handle, f_handle);
        alignas(file_handle) unsigned char room[kHeader + MAX_HANDLE_SZ];
        file_handle* handle = new (room) file_handle{};
        handle->handle_bytes = MAX_HANDLE_SZ;
        int mount = 0;
        if (::name_to_handle_at(fd_, name.c_str(), handle, &mount, flags) == 0) {
            const std::size_t length = std::min<std::size_t>(handle->handle_bytes, MAX_HANDLE_SZ);
            std::string identity(reinterpret_cast<const char*>(&handle->handle_type), sizeof handle->handle_type);
            identity.append(reinterpret_cast<const char*>(room + kHeader), length);
            return identity;
        }
        missing = errno == ENOENT;
        if (missing) return std::nullopt;
        struct stat status {};
        if (::fstatat(fd_, name.c_str(), &status, flags | AT_SYMLINK_NOFOLLOW) != 0) {
            missing = errno == ENOENT;
            if (!missing) reportSystemFailure("stat", name.empty() ? path_ : path_ + "/" + name);
            return std::nullopt;
        }
        const std::uint64_t numbers[] = {status.st_dev, status.st_ino};
        return std::string(reinterpret_cast<const char*>(numbers), sizeof numbers);
    }

private:
    std::string path_;
    int fd_ = -1;
};

// The names in the folder at `path`; nothing when it cannot be listed
// (`missing` receives whether it does not exist).
std::optional<std::set<std::string>> listFolder(const std::string& path, bool& missing) {
    DIR* stream = ::opendir(path.c_str());
    if (stream == nullptr) {
        missing = errno == ENOENT;
        if (!missing) reportSystemFailure("list", path);
        return std::nullopt;
    }
    return namesIn(stream);
}

// The folder of interface `number` in configuration `configuration` of the
// device that the kernel calls `device` there ("1-1.2:1.0"; "1-0:1.0" for
// the root hub of bus 1), relative to the device's folder.
std::string interfaceFolderName(const std::string& device, std::uint32_t configuration, std::uint32_t number) {
    return device + ":" + std::to_string(configuration) + "." + std::to_string(number);
}

// A USB device folder: the root hub "usb<bus>" or a device "<bus>-<ports>".
struct DeviceFolder {
    Folder folder;
    std::string name;
    std::uint32_t bus = 0;
    bool root = false;

    const std::string& path() const { return folder.path(); }
    // Its interface `number` in configuration `configuration`, relative to it.
    std::string interface(std::uint32_t configuration, std::uint32_t number) const {
        return interfaceFolderName(root ? std::to_string(bus) + "-0" : name, configuration, number);
    }
    // The folder of its port `port`, relative to it.
    std::string portFolder(std::uint32_t configuration, int port) const {
        return interface(configuration, 0) + "/" + name + "-port" + std::to_string(port);
    }
    std::string child(int port) const {
        return (root ? std::to_string(bus) + "-" : name + ".") + std::to_string(port);
    }
};

// One device instance in its configuration: its folder's identity (a device
// that comes again, even in the same place, is a new folder) and its
// configuration (whose strings differ from another's).
struct DeviceInstance {
    std::string folder;
    std::uint8_t configurationValue = 0;
    bool operator==(const DeviceInstance&) const = default;
};

// What the kernel shows of a device instance that does not change while it
// exists: the kernel reads the descriptors and strings once, at enumeration,
// and gives the device its number then.
struct DeviceFacts {
    usbbus::KernelDescriptors descriptors;
    std::uint16_t address = 0;
    std::uint8_t speed = 0;
    // By index, as first read (an interface's `interface` shows the string of
    // its current alternate setting; the one of setting 0 is asked for).
    std::vector<std::pair<std::uint8_t, std::string>> strings;
    // A configured hub's `maxchild`; 0 until its hub driver has set it up,
    // and read again while 0.
    std::uint32_t ports = 0;
    // The active configuration's first interface folder, relative to the
    // device's ("1-1.2:1.0"), and its identity as first seen. The kernel
    // makes that folder anew whenever a configuration is set, and a new
    // device comes with new folders, so while the folder keeps this identity
    // the instance and its configuration are the ones kept: one look at it
    // stands for the device's own identity and its `bConfigurationValue`.
    // Empty until seen (never for a device without a configuration).
    std::string interfaceFolder;
    std::string interfaceIdentity;
};

struct RootHubFacts {
    std::uint32_t ports = 0;
    std::uint8_t speed = 0;
};

}  // namespace

struct SysfsUsbReader::Cache {
    usbbus::KernelDeviceCache<DeviceInstance, DeviceFacts> devices;
    usbbus::KernelDeviceCache<std::string, RootHubFacts> rootHubs;  // by their folders' identities
};

namespace {

class Reader {
public:
    Reader(SysfsUsbBus& result, SysfsUsbReader::Cache& cache) : result_(result), cache_(cache) {}

    // The ports of one hub device, appended to `hub` from port number
    // `offset` + 1 on, and their folders to `origin`.
    void readPorts(const DeviceFolder& hubFolder, std::uint32_t configuration, std::uint32_t portCount, int offset,
                   usbbus::Hub& hub, SysfsHubOrigin& origin, int depth) {
        std::optional<UsbfsHub> usbfs;
        for (std::uint32_t port = 1; port <= portCount; ++port) {
            const std::string portFolder = hubFolder.portFolder(configuration, static_cast<int>(port));
            origin.ports.push_back(hubFolder.path() + "/" + portFolder);
            const int number = offset + static_cast<int>(port);
            const std::string childName = hubFolder.child(static_cast<int>(port));
            if (auto device = keptDevice(hubFolder, childName, depth)) {
                hub.devices[number] = std::move(*device);
                continue;
            }
            // Looked at where it should be rather than looked for in a listing
            // of the hub's folder, which holds dozens of attributes besides.
            bool missing = false;
            if (auto identity = hubFolder.folder.identity(childName, missing)) {
                if (auto device = readDevice(hubFolder, childName, *identity, depth)) {
                    hub.devices[number] = std::move(*device);
                }
                continue;
            }
            if (!missing) continue;
            if (const auto status = statusWithoutDevice(hubFolder, portFolder, static_cast<int>(port), usbfs)) {
                usbbus::Device failed;
                failed.connectionStatus = *status;
                failed.speed = usb::UsbLowSpeed;  // not known
                hub.devices[number] = std::move(failed);
            }
        }
    }

private:
    // The device in the subfolder `name` of `parent` when it is the instance
    // an earlier reading kept, in the configuration it kept, as its interface
    // folder shows; nothing otherwise (readDevice then reads it).
    std::optional<usbbus::Device> keptDevice(const DeviceFolder& parent, const std::string& name, int depth) {
        const std::string path = parent.path() + "/" + name;
        auto* kept = cache_.devices.findIf(path, [&](const DeviceInstance&, const DeviceFacts& facts) {
            if (facts.interfaceFolder.empty()) return false;
            bool missing = false;
            return parent.folder.identity(name + "/" + facts.interfaceFolder, missing) == facts.interfaceIdentity;
        });
        if (kept == nullptr) return std::nullopt;
        std::optional<DeviceFolder> device;
        return modelOf(parent, name, kept->facts, kept->instance.configurationValue, device, depth);
    }

    // The device in the subfolder `name` of `parent`, whose identity is
    // `identity`. Of an instance seen before only the configuration is read,
    // through the hub's folder; its own folder is opened for the rest, once
    // per instance, and to walk a hub.
    std::optional<usbbus::Device> readDevice(const DeviceFolder& parent, const std::string& name,
                                             const std::string& identity, int depth) {
        const auto configurationText = parent.folder.decimal(name + "/bConfigurationValue", 0xFF);
        if (!configurationText) return std::nullopt;
        const auto configuration = static_cast<std::uint8_t>(*configurationText);
        const std::string path = parent.path() + "/" + name;
        std::optional<DeviceFolder> device;
        DeviceFacts* facts = cache_.devices.find(path, DeviceInstance{identity, configuration});
        std::optional<DeviceFacts> unkept;
        if (facts == nullptr) {
            device.emplace(DeviceFolder{Folder(parent.folder, name), name, parent.bus, false});
            if (!device->folder.isOpen()) return std::nullopt;
            bool complete = false;
            unkept = readFacts(*device, configuration, complete);
            if (!unkept) return std::nullopt;
            if (complete) {
                facts = &cache_.devices.keep(path, DeviceInstance{identity, configuration}, std::move(*unkept));
                unkept.reset();
            } else {
                facts = &*unkept;
            }
        }
        if (!unkept) seeInterface(parent, name, identity, configuration, *facts);
        return modelOf(parent, name, *facts, configuration, device, depth);
    }

    // Notes the interface folder by which later readings tell the kept
    // instance of `name` in configuration `configuration` (DeviceFacts),
    // when it is there and the device's folder is still the one whose
    // identity, `identity`, what is kept was read after: so the interface
    // folder seen is that instance's. Else nothing is noted, and the device
    // is read by its own identity and configuration.
    static void seeInterface(const DeviceFolder& parent, const std::string& name, const std::string& identity,
                             std::uint8_t configuration, DeviceFacts& facts) {
        facts.interfaceFolder.clear();
        facts.interfaceIdentity.clear();
        if (configuration == 0) return;
        const auto number = usbbus::firstInterfaceNumber(facts.descriptors, configuration);
        if (!number) return;
        const std::string folder = interfaceFolderName(name, configuration, *number);
        bool missing = false;
        auto seen = parent.folder.identity(name + "/" + folder, missing);
        if (!seen || parent.folder.identity(name, missing) != identity) return;
        facts.interfaceFolder = folder;
        facts.interfaceIdentity = std::move(*seen);
    }

    // The model of a device with `facts` in configuration `configuration`,
    // with its hub walked when it is one; `device` is its folder, opened here
    // when the walk needs it and it is not yet.
    usbbus::Device modelOf(const DeviceFolder& parent, const std::string& name, DeviceFacts& facts,
                           std::uint8_t configuration, std::optional<DeviceFolder>& device, int depth) {
        usbbus::Device model = usbbus::deviceFromKernel(facts.descriptors, facts.speed, facts.address, configuration);
        for (const auto& [index, text] : facts.strings) usbbus::addString(model, index, text);
        if (!model.isHub || configuration == 0 || depth >= kDeepestHub) return model;
        if (!device) device.emplace(DeviceFolder{Folder(parent.folder, name), name, parent.bus, false});
        if (!device->folder.isOpen()) return model;
        if (facts.ports == 0) facts.ports = device->folder.decimal("maxchild", 255).value_or(0);
        model.hub = readHub(*device, configuration, facts.ports, facts.speed, depth + 1);
        return model;
    }

    // What does not change while the device stays. `complete` tells whether
    // every string of the active configuration could be read: just after a
    // configuration is set, its interfaces' folders may not be there yet.
    static std::optional<DeviceFacts> readFacts(const DeviceFolder& device, std::uint8_t configuration,
                                                bool& complete) {
        const Folder& folder = device.folder;
        const auto raw = folder.bytes("descriptors");
        if (!raw) return std::nullopt;
        auto descriptors = usbbus::parseDescriptors(*raw);
        if (!descriptors) {
            reportFailure("read", folder.path() + "/descriptors", "shorter than a device descriptor");
            return std::nullopt;
        }
        const auto speedText = folder.text("speed");
        const auto address = folder.decimal("devnum", 0xFFFF);
        if (!speedText || !address) return std::nullopt;
        DeviceFacts facts;
        facts.address = static_cast<std::uint16_t>(*address);
        // An unknown speed is reported as full speed, as the older connection
        // query reports every speed but low.
        facts.speed = usbbus::parseSpeed(*speedText).value_or(usb::UsbFullSpeed);
        complete = true;
        for (const usbbus::StringSource& source : usbbus::stringSources(*descriptors, configuration)) {
            if (auto text = folder.text(stringFile(device, source, configuration))) {
                facts.strings.emplace_back(source.index, std::move(*text));
            } else if (source.attribute == usbbus::StringAttribute::Configuration ||
                       source.attribute == usbbus::StringAttribute::Interface) {
                complete = false;
            }
        }
        facts.descriptors = std::move(*descriptors);
        return facts;
    }

    // A configured hub device's hub; none when it shows no ports.
    std::unique_ptr<usbbus::Hub> readHub(const DeviceFolder& device, std::uint32_t configuration,
                                         std::uint32_t ports, std::uint8_t speed, int depth) {
        if (ports == 0) return nullptr;
        auto hub = std::make_unique<usbbus::Hub>();
        hub->kernelName = device.name;
        hub->portCount = static_cast<std::uint8_t>(ports);
        hub->superSpeed = speed == usb::UsbSuperSpeed;
        SysfsHubOrigin& origin = result_.origins[hub.get()];
        origin.devices.push_back(device.path());
        origin.bus = device.bus;
        readPorts(device, configuration, ports, 0, *hub, origin, depth);
        return hub;
    }

    static std::string stringFile(const DeviceFolder& device, const usbbus::StringSource& source,
                                  std::uint32_t configuration) {
        switch (source.attribute) {
            case usbbus::StringAttribute::Manufacturer: return "manufacturer";
            case usbbus::StringAttribute::Product: return "product";
            case usbbus::StringAttribute::Serial: return "serial";
            case usbbus::StringAttribute::Configuration: return "configuration";
            case usbbus::StringAttribute::Interface: break;
        }
        return device.interface(configuration, source.interfaceNumber) + "/interface";
    }

    // The status of a port without a device folder: from the port's `state`
    // where the kernel has it, else from the hub's port status where usbfs
    // lets us ask, else nothing there.
    static std::optional<std::uint32_t> statusWithoutDevice(const DeviceFolder& hub, const std::string& portFolder,
                                                            int port, std::optional<UsbfsHub>& usbfs) {
        if (const auto state = hub.folder.text(portFolder + "/state", Need::Optional)) {
            const auto attached = usbbus::portStateAttached(*state);
            if (!attached) reportFailure("read", hub.path() + "/" + portFolder + "/state", "a state not known");
            if (attached.value_or(false)) return usbbus::kDeviceFailedEnumeration;
            return std::nullopt;
        }
        if (!usbfs) {
            const auto address = hub.folder.decimal("devnum", 0xFFFF);
            if (!address) return std::nullopt;
            usbfs.emplace(usbfsNode(hub.bus, *address));
        }
        const auto status = usbfs->portStatus(port);
        if (!status) return std::nullopt;
        const std::uint32_t seen = usbbus::statusOfPortWithoutDevice(*status);
        if (seen == usbbus::kNoDeviceConnected) return std::nullopt;
        return seen;
    }

    SysfsUsbBus& result_;
    SysfsUsbReader::Cache& cache_;
};

struct RootHub {
    DeviceFolder device;
    std::uint32_t ports = 0;
    std::uint8_t speed = 0;
};

std::uint32_t lowestBus(const std::vector<RootHub>& roots) {
    std::uint32_t lowest = roots.front().device.bus;
    for (const RootHub& root : roots) lowest = std::min(lowest, root.device.bus);
    return lowest;
}

// A root hub's ports and speed, read once per instance.
std::optional<RootHubFacts> rootHubFacts(const Folder& folder, SysfsUsbReader::Cache& cache) {
    bool missing = false;
    const auto identity = folder.identity("", missing);
    if (identity) {
        if (const RootHubFacts* kept = cache.rootHubs.find(folder.path(), *identity)) return *kept;
    }
    const auto ports = folder.decimal("maxchild", 255);
    const auto speed = folder.text("speed");
    if (!ports || !speed) return std::nullopt;
    const RootHubFacts facts{*ports, usbbus::parseSpeed(*speed).value_or(usb::UsbFullSpeed)};
    // No ports yet: its hub driver has not set it up.
    if (identity && facts.ports != 0) cache.rootHubs.keep(folder.path(), *identity, facts);
    return facts;
}

SysfsUsbBus readBus(const std::string& sysfs, SysfsUsbReader::Cache& cache) {
    SysfsUsbBus result;
    result.bus = std::make_shared<usbbus::Bus>();
    result.bus->opensByName = false;
    const std::string devices = sysfs + "/bus/usb/devices";
    bool missing = false;
    const auto names = listFolder(devices, missing);
    if (!names) {
        // No USB at all is an empty bus; a list we may not read is not.
        result.bus->interfaceListAvailable = missing;
        return result;
    }

    // Root hubs by controller, the controller being the folder above them.
    std::map<std::string, std::vector<RootHub>> byController;
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
        RootHub root{{Folder(path), name, *bus, true}};
        if (!root.device.folder.isOpen()) continue;
        const auto facts = rootHubFacts(root.device.folder, cache);
        if (!facts) continue;
        root.ports = facts->ports;
        root.speed = facts->speed;
        byController[std::filesystem::path(path).parent_path().string()].push_back(std::move(root));
    }

    // Controllers by their lowest bus; within one, USB 2 before SuperSpeed.
    std::vector<std::pair<std::string, std::vector<RootHub>>> controllers;
    for (auto& [path, roots] : byController) {
        std::ranges::sort(roots, [](const RootHub& a, const RootHub& b) {
            return std::tie(a.speed, a.device.bus) < std::tie(b.speed, b.device.bus);
        });
        controllers.emplace_back(path, std::move(roots));
    }
    std::ranges::sort(controllers, [](const auto& a, const auto& b) { return lowestBus(a.second) < lowestBus(b.second); });

    Reader reader(result, cache);
    for (const auto& [path, roots] : controllers) {
        usbbus::Controller& controller = result.bus->controllers.emplace_back();
        controller.rootHub = std::make_unique<usbbus::Hub>();
        usbbus::Hub& hub = *controller.rootHub;
        hub.kernelName = roots.front().device.name;
        SysfsHubOrigin& origin = result.origins[&hub];
        origin.bus = roots.front().device.bus;
        int offset = 0;
        for (const RootHub& root : roots) {
            origin.devices.push_back(root.device.path());
            reader.readPorts(root.device, 1, root.ports, offset, hub, origin, 0);
            offset += static_cast<int>(root.ports);
        }
        hub.portCount = static_cast<std::uint8_t>(std::min(offset, 255));
    }
    return result;
}

}  // namespace

SysfsUsbBus readSysfsUsbBus(const std::string& sysfs) {
    SysfsUsbReader::Cache none;
    return readBus(sysfs, none);
}

SysfsUsbReader::SysfsUsbReader(std::string sysfs) : sysfs_(std::move(sysfs)), cache_(std::make_unique<Cache>()) {}
SysfsUsbReader::~SysfsUsbReader() = default;
SysfsUsbReader::SysfsUsbReader(SysfsUsbReader&&) noexcept = default;
SysfsUsbReader& SysfsUsbReader::operator=(SysfsUsbReader&&) noexcept = default;

SysfsUsbBus SysfsUsbReader::read() {
    SysfsUsbBus result = readBus(sysfs_, *cache_);
    cache_->devices.endReading();
    cache_->rootHubs.endReading();
    return result;
}

std::size_t SysfsUsbReader::devicesKept() const { return cache_->devices.size() + cache_->rootHubs.size(); }

std::optional<std::string> readSysfsAttribute(const std::string& path, std::error_code& error, IfMissing ifMissing) {
    int cause = 0;
    const auto bytes = readFile(AT_FDCWD, path.c_str(), path,
                                ifMissing == IfMissing::Report ? Need::Required : Need::Optional, &cause);
    if (!bytes) {
        error.assign(cause, std::generic_category());
        return std::nullopt;
    }
    error.clear();
    return std::string(bytes->begin(), bytes->end());
}

std::error_code writeSysfsAttribute(const std::string& path, std::string_view value, IfMissing ifMissing) {
    const auto fail = [&](const char* operation) {
        const std::error_code error(errno, std::generic_category());
        if (ifMissing == IfMissing::Report || error != std::errc::no_such_file_or_directory) {
            reportSystemFailure(operation, path);
        }
        return error;
    };
    // Truncating changes nothing on sysfs, where a write replaces the value;
    // elsewhere (a test bed) it keeps the file holding the value alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return fail("open");
    // An attribute takes its value in one write; the kernel acts on it there
    // and reports its refusal as the write's error.
    const ssize_t written = ::write(fd, value.data(), value.size());
    std::error_code error;
    if (written < 0) {
        error = fail("write");
    } else if (static_cast<std::size_t>(written) != value.size()) {
        reportFailure("write", path, "only part of the value taken");
        error = std::make_error_code(std::errc::io_error);
    }
    ::close(fd);
    return error;
}

std::optional<SysfsFolderInstance> sysfsFolderInstance(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT) reportSystemFailure("stat", path);
        return std::nullopt;
    }
    return SysfsFolderInstance{static_cast<std::uint64_t>(status.st_ino),
                               static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1'000'000'000 +
                                   status.st_ctim.tv_nsec};
}

std::optional<std::uint64_t> sysfsFolderIdentity(const std::string& path) {
    const auto instance = sysfsFolderInstance(path);
    if (!instance) return std::nullopt;
    return instance->identity;
}

std::optional<std::vector<std::string>> listSysfsFolder(const std::string& path) {
    bool missing = false;
    auto names = listFolder(path, missing);
    if (!names) return std::nullopt;
    return std::vector<std::string>(names->begin(), names->end());
}

std::optional<std::string> readSysfsLink(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) {
        if (error != std::errc::no_such_file_or_directory) reportFailure("read link", path, error.message());
        return std::nullopt;
    }
    return target.string();
}

std::uint64_t sysfsFilesRead() { return g_filesRead.load(); }

}  // namespace vostrel::platform

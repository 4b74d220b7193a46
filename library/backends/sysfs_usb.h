// The host's USB bus as the Linux kernel shows it under /sys/bus/usb/devices,
// read into the bus model in one walk, with the sysfs folder every hub and
// port of the model came from. Reading sysfs needs no privileges.
//
// How the kernel's bus becomes the model:
// - Host controllers: one per controller device that root hubs hang below,
//   ordered by their lowest bus number. The bus names nothing (the walk
//   takes each controller in this order and each hub from its port). An
//   xHCI controller, which the kernel shows as a USB 2 and a SuperSpeed root
//   hub, has one root hub whose ports are the USB 2 root hub's (1 to N)
//   followed by the SuperSpeed root hub's (N + 1 to N + M), as Windows
//   numbers them.
// - Hubs: a device of the hub class that is configured and has ports
//   (`maxchild`); a SuperSpeed hub shows the SuperSpeed hub descriptor.
// - Ports: the child device folder of each port number, read from its
//   attributes (kernel_attributes.h); no control transfer reaches a device.
//   A port without a device is empty, unless the kernel shows that
//   something there failed its enumeration:
//     kernels from 6.5 on: the port folder's `state` says something is
//       attached (DeviceFailedEnumeration);
//     older kernels: the hub's port status, asked through usbfs when the
//       process may open the hub's node for writing (one control transfer
//       to the hub per empty port), shows a connection (or an over-current);
//     else the port shows as empty.
// - Every hub carries the kernel's name of its device ("usb1", "1-1.2").
//
// Every failed open or read of an attribute the model needs is reported
// through diagnostics.h; attributes that older kernels lack (a port's
// `state`) are not.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "usbbus/bus_model.h"

namespace vostrel::platform {

// Where one hub of the model came from.
struct SysfsHubOrigin {
    // The hub's device folder; two for a merged xHCI root hub, the USB 2
    // root hub's first.
    std::vector<std::string> devices;
    // The port folder of port n at [n - 1], e.g. ".../1-1/1-1:1.0/1-1-port2",
    // also where the kernel has none (see `state` above).
    std::vector<std::string> ports;
    std::uint32_t bus = 0;  // the bus number of the (first) hub device
};

struct SysfsUsbBus {
    std::shared_ptr<usbbus::Bus> bus;
    std::map<const usbbus::Hub*, SysfsHubOrigin> origins;  // every hub of `bus`, root hubs included
};

// Reads the bus under `sysfs` (the folder the kernel's sysfs is mounted on)
// whole, keeping nothing. A machine without USB gives a bus without
// controllers; a device list that cannot be read gives a bus whose interface
// list is unavailable.
SysfsUsbBus readSysfsUsbBus(const std::string& sysfs = "/sys");

// Reads the bus under `sysfs` as readSysfsUsbBus does, again and again,
// keeping from one reading to the next what the kernel shows of a device
// that cannot change while that device stays: its descriptors, speed, device
// number and strings (the kernel reads and assigns them once, when it
// enumerates the device), and its ports once its hub driver has counted
// them; likewise a root hub's ports and speed. A configured device seen
// before costs one look at its first interface folder and no file; one
// without a configuration its `bConfigurationValue`; a port without a device
// still costs its `state`.
//
// What is kept serves only the same device instance in the same
// configuration: the same folder with the same identity, and the same
// `bConfigurationValue`. A device that comes again, even in the same place,
// is a new folder, told apart by the file system's handle for it where it
// gives one (a test bed's: the inode number and its generation, so an inode
// number the bed reuses is told from its last owner), else by its inode
// number (sysfs, which does not reuse them). The interface folders of the
// active configuration are made anew by the kernel whenever a configuration
// is set, and go when it is unset, so a first interface folder whose identity
// is the one seen before shows both the instance and its configuration
// unchanged. A new instance, or a configuration set anew, is read afresh
// (its descriptors and strings only when the instance or the configuration
// value differs). A reading keeps only what it found, so what is kept never
// outgrows the bus.
//
// Not thread-safe: one thread at a time reads through one reader (the
// library's stack reads under the general lock, where its scans run).
class SysfsUsbReader {
public:
    explicit SysfsUsbReader(std::string sysfs = "/sys");
    ~SysfsUsbReader();
    SysfsUsbReader(SysfsUsbReader&&) noexcept;
    SysfsUsbReader& operator=(SysfsUsbReader&&) noexcept;

    SysfsUsbBus read();

    // Devices and root hubs with something kept, as the last reading left them.
    std::size_t devicesKept() const;

    struct Cache;

private:
    std::string sysfs_;
    std::unique_ptr<Cache> cache_;
};

// One attribute file of a device or port folder that a reading named, read
// whole or written, for callers that act on what they found (a port's
// `disable`). Errors are values of the generic category (std::errc). Every
// failure is reported through diagnostics.h, but a missing file when the
// caller expects that some kernels lack it.
enum class IfMissing { Report, Expected };
std::optional<std::string> readSysfsAttribute(const std::string& path, std::error_code& error,
                                              IfMissing ifMissing = IfMissing::Report);
std::error_code writeSysfsAttribute(const std::string& path, std::string_view value,
                                    IfMissing ifMissing = IfMissing::Report);

// The identity of the device folder at `path`, which a device that comes
// again in the same place does not share: the kernel gives every folder it
// makes an inode number of its own (a test bed's file system may reuse one).
// Nothing when the folder cannot be seen (reported, unless it is gone).
std::optional<std::uint64_t> sysfsFolderIdentity(const std::string& path);

// The device folder at `path` as a later process can tell it from any other
// folder made at that name: its identity (above) and when its inode was made
// (the status change time, in nanoseconds), which a reused inode number does
// not share. Nothing as for sysfsFolderIdentity().
struct SysfsFolderInstance {
    std::uint64_t identity = 0;
    std::int64_t madeNs = 0;
};
std::optional<SysfsFolderInstance> sysfsFolderInstance(const std::string& path);

// The names in the folder at `path` (a device list, a device folder), in
// name order; nothing when it cannot be listed (reported, unless it does not
// exist).
std::optional<std::vector<std::string>> listSysfsFolder(const std::string& path);

// The target of the link at `path` (a port's `peer`) as the link gives it;
// nothing when there is none (reported, unless it does not exist).
std::optional<std::string> readSysfsLink(const std::string& path);

// Attribute files read by all readings of this process so far (control
// transfers: usbfs.h).
std::uint64_t sysfsFilesRead();

}  // namespace vostrel::platform

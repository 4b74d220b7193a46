// The ports of any hub on the host's bus, family or not, named by the hub's
// location: the kernel's name of its USB 2 hub device ("1-1.4"), or of its
// SuperSpeed one when it has no USB 2 half. A USB 3 hub's two hub devices
// are one hub here. What `vostrel hubs` lists, `vostrel port --location`
// switches and the monitor watches for entries kept by location.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vostrel::anyhub {

struct PortAddress {
    std::string location;  // the hub's
    int port = 0;          // from 1

    bool operator==(const PortAddress&) const = default;
};

// A device on a port: on a USB 3 hub, the one on either half (the
// SuperSpeed half's when both show one).
struct DeviceOnPort {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool configured = false;  // a configuration chosen (bConfigurationValue not 0)
    std::string manufacturer, product, serial;  // UTF-8, as the device gave them; empty when none

    bool operator==(const DeviceOnPort&) const = default;
};

enum class PortReading {
    Device,      // a device is on the port
    Empty,       // the hub is there, nothing on the port
    HubMissing,  // no hub at that location, or one without that port
};

struct PortLook {
    PortReading reading = PortReading::HubMissing;
    DeviceOnPort device;  // when reading is Device
};

enum class SwitchOutcome {
    Done,
    HubMissing,     // no hub at that location, or one without that port
    NotSwitchable,  // the hub does not switch each port's power by itself
    NotPermitted,   // the kernel refused us access (see `why` for what to install)
    Failed,         // anything else; `why` says what
};

struct SwitchResult {
    SwitchOutcome outcome = SwitchOutcome::Failed;
    std::string why;  // for people; empty when Done
};

// Not thread-safe: one caller thread at a time.
class HubPorts {
public:
    virtual ~HubPorts() = default;

    // Reads the bus as it is now; look() answers from that reading. Reads
    // files only (no request goes to a device); may block on them.
    virtual void refresh() = 0;

    // What the last refresh() saw on the port.
    virtual PortLook look(const PortAddress& port) const = 0;

    // Switches the port's power on or off, both halves of a USB 3 hub, on
    // the bus as it is now (not as last read). May block on the kernel and
    // on the hub's answers.
    virtual SwitchResult setPower(const PortAddress& port, bool on) = 0;
};

// The host's hubs: on Linux the kernel's (sysfs, usbfs); null where this
// build has none.
std::unique_ptr<HubPorts> makeHostHubPorts();

}  // namespace vostrel::anyhub

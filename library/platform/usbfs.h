// usbfs, the kernel's device nodes under /dev/bus/usb: control transfers on
// a device's endpoint 0, a hub's ports claimed from the kernel's hub driver,
// a device reset. Reached through a seam, so that tests can put a double
// behind it that records the exact requests. Opening a node for writing,
// which all of this needs, is normally root's, or a udev rule's grant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>

#include "usbbus/hub_requests.h"

namespace vostrel::platform {

// One open node. Errors are values of the generic category (std::errc).
class UsbfsDevice {
public:
    virtual ~UsbfsDevice() = default;

    // A control transfer: `data` holds the setup's length in bytes, sent or
    // received as the setup's direction says; `transferred` receives how
    // many were. Blocks until the device answers or half a second passes.
    virtual std::error_code control(const usbbus::SetupPacket& setup, std::span<std::uint8_t> data,
                                    std::size_t& transferred) = 0;

    // Takes port `port` of this hub from the kernel's hub driver until
    // releasePort or until the node is closed: meanwhile the driver leaves
    // the port's power alone and configures no device there.
    virtual std::error_code claimPort(unsigned port) = 0;
    virtual std::error_code releasePort(unsigned port) = 0;

    // Resets the device on its upstream port; the kernel sets it up again.
    virtual std::error_code reset() = 0;
};

class Usbfs {
public:
    virtual ~Usbfs() = default;

    // Opens `node` for reading and writing; null with `error` set when it
    // does not open.
    virtual std::unique_ptr<UsbfsDevice> open(const std::string& node, std::error_code& error) = 0;
};

// The usbfs in use: a test's (useUsbfs), else the kernel's.
Usbfs& usbfs();

// For tests: puts `usbfs` behind the seam; nullptr returns to the kernel's.
// The caller keeps it alive while it is installed.
void useUsbfs(Usbfs* usbfs);

// The node of device `address` on bus `bus`: "/dev/bus/usb/001/002".
std::string usbfsNode(std::uint32_t bus, std::uint32_t address);

// Control transfers sent so far by this process through the kernel's usbfs.
std::uint64_t usbfsTransfersSent();

// A hub's port status, as the scan asks for it. Failures are reported
// through diagnostics.h.
class UsbfsHub {
public:
    explicit UsbfsHub(const std::string& node);

    bool isOpen() const { return device_ != nullptr; }

    // wPortStatus of port `port` (from 1); nothing when the transfer fails.
    std::optional<std::uint16_t> portStatus(int port);

private:
    std::unique_ptr<UsbfsDevice> device_;
};

}  // namespace vostrel::platform

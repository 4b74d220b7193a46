// A hub's port status through usbfs, the kernel's device nodes under
// /dev/bus/usb: one GET_STATUS control transfer to the hub.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vostrel::platform {

class UsbfsHub {
public:
    // Opens the hub's node for writing, which usbfs requires for control
    // transfers (normally only root may). Failures are reported through
    // diagnostics.h.
    explicit UsbfsHub(const std::string& node);
    ~UsbfsHub();
    UsbfsHub(const UsbfsHub&) = delete;
    UsbfsHub& operator=(const UsbfsHub&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    // wPortStatus of port `port` (from 1); nothing when the transfer fails.
    std::optional<std::uint16_t> portStatus(int port);

private:
    std::string node_;
    int fd_ = -1;
};

// Control transfers sent so far by this process.
std::uint64_t usbfsTransfersSent();

}  // namespace vostrel::platform

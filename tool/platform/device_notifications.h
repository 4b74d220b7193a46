// The system's word to a window when USB devices come, go or change: the
// window receives WM_DEVICECHANGE for every USB device interface that
// arrives or leaves, beside the device-node changes every top-level window
// is told of.
#pragma once

#include <memory>

namespace talvern::platform {

class DeviceNotifications {
public:
    // Registers `window` (an HWND); null when the system refuses.
    static std::unique_ptr<DeviceNotifications> registerWindow(void* window);

    // True for the WM_DEVICECHANGE events after which the bus may look
    // different: device-node changes, arrivals and removals.
    static bool changesBus(unsigned long long event);

    ~DeviceNotifications();
    DeviceNotifications(const DeviceNotifications&) = delete;
    DeviceNotifications& operator=(const DeviceNotifications&) = delete;

private:
    explicit DeviceNotifications(void* handle) : handle_(handle) {}
    void* handle_;
};

}  // namespace talvern::platform

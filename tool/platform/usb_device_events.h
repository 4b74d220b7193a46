// The kernel's announcements of USB devices coming, going or changing, as
// udev passes them on.
#pragma once

#include <memory>

namespace talvern::platform {

class UsbDeviceEvents {
public:
    // Opens a monitor for the "usb" subsystem; null when the system offers none.
    static std::unique_ptr<UsbDeviceEvents> open();

    ~UsbDeviceEvents();
    UsbDeviceEvents(const UsbDeviceEvents&) = delete;
    UsbDeviceEvents& operator=(const UsbDeviceEvents&) = delete;

    // Becomes readable when events are waiting.
    int descriptor() const;

    // Takes every waiting event; returns how many there were.
    int drain();

private:
    struct State;
    explicit UsbDeviceEvents(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace talvern::platform

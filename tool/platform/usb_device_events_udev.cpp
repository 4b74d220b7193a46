#include <libudev.h>

#include "platform/usb_device_events.h"

namespace talvern::platform {

struct UsbDeviceEvents::State {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;

    ~State() {
        if (monitor != nullptr) udev_monitor_unref(monitor);
        if (context != nullptr) udev_unref(context);
    }
};

std::unique_ptr<UsbDeviceEvents> UsbDeviceEvents::open() {
    auto state = std::make_unique<State>();
    state->context = udev_new();
    if (state->context == nullptr) return nullptr;
    state->monitor = udev_monitor_new_from_netlink(state->context, "udev");
    if (state->monitor == nullptr) return nullptr;
    if (udev_monitor_filter_add_match_subsystem_devtype(state->monitor, "usb", nullptr) < 0 ||
        udev_monitor_enable_receiving(state->monitor) < 0) {
        return nullptr;
    }
    return std::unique_ptr<UsbDeviceEvents>(new UsbDeviceEvents(std::move(state)));
}

UsbDeviceEvents::UsbDeviceEvents(std::unique_ptr<State> state) : state_(std::move(state)) {}

UsbDeviceEvents::~UsbDeviceEvents() = default;

int UsbDeviceEvents::descriptor() const { return udev_monitor_get_fd(state_->monitor); }

int UsbDeviceEvents::drain() {
    // The monitor's socket does not block, so this ends when the queue is empty.
    int count = 0;
    while (udev_device* device = udev_monitor_receive_device(state_->monitor)) {
        udev_device_unref(device);
        ++count;
    }
    return count;
}

}  // namespace talvern::platform

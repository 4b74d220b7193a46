// Device changes as the system's udev announces them for the "usb" subsystem.
#pragma once

#include <QSocketNotifier>
#include <memory>

#include "device_changes/device_change_source.h"
#include "platform/usb_device_events.h"

namespace talvern {

class UdevChangeSource : public DeviceChangeSource {
    Q_OBJECT
public:
    // Null when the system has no udev monitor to offer.
    static std::unique_ptr<UdevChangeSource> open();

private:
    explicit UdevChangeSource(std::unique_ptr<platform::UsbDeviceEvents> events);
    void onReadable();

    std::unique_ptr<platform::UsbDeviceEvents> events_;
    QSocketNotifier notifier_;
};

}  // namespace talvern

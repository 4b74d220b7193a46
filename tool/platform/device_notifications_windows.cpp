#include "platform/device_notifications.h"

#include <windows.h>

#include <dbt.h>
#include <initguid.h>
#include <usbiodef.h>

namespace talvern::platform {

std::unique_ptr<DeviceNotifications> DeviceNotifications::registerWindow(void* window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    const HDEVNOTIFY handle =
        ::RegisterDeviceNotificationW(static_cast<HWND>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (handle == nullptr) return nullptr;
    return std::unique_ptr<DeviceNotifications>(new DeviceNotifications(handle));
}

bool DeviceNotifications::changesBus(unsigned long long event) {
    return event == DBT_DEVNODES_CHANGED || event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE;
}

DeviceNotifications::~DeviceNotifications() { ::UnregisterDeviceNotification(handle_); }

}  // namespace talvern::platform

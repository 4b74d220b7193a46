#include "device_changes/device_change_source.h"

#include "device_changes/udev_change_source.h"

namespace talvern {

std::unique_ptr<DeviceChangeSource> createDeviceChangeSource() { return UdevChangeSource::open(); }

}  // namespace talvern

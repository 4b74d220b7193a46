#include "device_changes/device_change_source.h"

#include "device_changes/simulator_change_source.h"
#include "device_changes/udev_change_source.h"

namespace talvern {

std::unique_ptr<DeviceChangeSource> createDeviceChangeSource() {
    // The variable through which the simulator is told its bench file.
    const QString bench = qEnvironmentVariable("VOSTREL_SIM_BENCH");
    if (!bench.isEmpty()) return std::make_unique<SimulatorChangeSource>(bench);
    return UdevChangeSource::open();
}

}  // namespace talvern

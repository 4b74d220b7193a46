#include "scan/monitor_view.h"

#include <cstring>

#include "frame/locks.h"
#include "scan/device_views.h"

namespace vostrel {

std::int32_t BuildMonitorSnapshot(DeviceInfoBlock* out) {
    LockGuard lock(generalLock);
    DeviceInfoBlock& snapshot = monitorSnapshot();
    std::memset(&snapshot, 0, sizeof snapshot);
    scanIntoBlock(snapshot, &monitorSnapshotHubs());
    std::memcpy(out, &snapshot, sizeof snapshot);
    return 1;
}

std::int32_t GetMonitorPortInfo(std::int32_t hubIndex, DeviceInfoRecord* record, std::int32_t portIndex) {
    LockGuard lock(generalLock);
    return readViewPort(monitorSnapshot(), hubIndex, portIndex, *record, WithConfiguration::Yes);
}

}  // namespace vostrel

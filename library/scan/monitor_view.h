// The monitor's own view of the bus: a snapshot rebuilt by a full scan once
// per monitor pass, independent of the block that Hub_GetDeviceInfo returns.
#pragma once

#include <cstdint>

#include "frame/locks.h"
#include "frame/records.h"

namespace vostrel {

// Scans into the monitor snapshot and copies the snapshot into `out`.
// Takes the general lock for the whole scan. Always returns 1.
std::int32_t BuildMonitorSnapshot(DeviceInfoBlock* out) EXCLUDES(generalLock);

// The single-port check: clears `record` and fills it from the snapshot's
// port, configuration value included. Takes the general lock. 0 (record
// left zero) when the hub or port index lies outside the snapshot.
std::int32_t GetMonitorPortInfo(std::int32_t hubIndex, DeviceInfoRecord* record, std::int32_t portIndex)
    EXCLUDES(generalLock);

}  // namespace vostrel

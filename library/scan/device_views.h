// The library's two views of the bus, each a DeviceInfoBlock replaced whole
// by a fresh scan: the device-info cache behind Hub_GetDeviceInfo and the
// monitor snapshot. Library-wide state under the general lock.
#pragma once

#include "frame/locks.h"
#include "frame/records.h"
#include "scan/block_merge.h"
#include "scan/hub_identity.h"

namespace vostrel {

DeviceInfoBlock& deviceInfoCache() REQUIRES(generalLock);
DeviceInfoBlock& monitorSnapshot() REQUIRES(generalLock);
// The identities of the monitor snapshot's hubs, rebuilt with it.
HubIdentities& monitorSnapshotHubs() REQUIRES(generalLock);

// Zeroes both views; part of the library's load steps.
void resetDeviceViews() REQUIRES(generalLock);

// Runs one scan in a working area of its own and merges it into `block`,
// which the caller passes zeroed, and, when asked, the hubs' identities into
// `identities`. The caller holds the general lock.
void scanIntoBlock(DeviceInfoBlock& block, HubIdentities* identities = nullptr) REQUIRES(generalLock);

// Clears `record` and, when the hub and port indexes lie inside `view`,
// fills it from that port and returns 1; else returns 0.
int readViewPort(const DeviceInfoBlock& view, int hubIndex, int portIndex, DeviceInfoRecord& record,
                 WithConfiguration with);

}  // namespace vostrel

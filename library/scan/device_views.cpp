#include "scan/device_views.h"

#include <cstring>
#include <new>

#include "backends/bus_sources.h"
#include "usbbus/family_hubs.h"

namespace vostrel {
namespace {

// Trivially destructible, so they outlive any thread still scanning at exit.
DeviceInfoBlock g_cache GUARDED_BY(generalLock);
DeviceInfoBlock g_snapshot GUARDED_BY(generalLock);
HubIdentities g_snapshotHubs GUARDED_BY(generalLock);

}  // namespace

DeviceInfoBlock& deviceInfoCache() { return g_cache; }
DeviceInfoBlock& monitorSnapshot() { return g_snapshot; }
HubIdentities& monitorSnapshotHubs() { return g_snapshotHubs; }

void resetDeviceViews() {
    std::memset(&g_cache, 0, sizeof g_cache);
    std::memset(&g_snapshot, 0, sizeof g_snapshot);
    g_snapshotHubs = HubIdentities{};
}

void scanIntoBlock(DeviceInfoBlock& block, HubIdentities* identities) {
    if (identities != nullptr) identities->count = 0;
    try {
        const auto bus = backends::busSource().read();
        const auto hubs = usbbus::walkFamilyHubs(*bus);
        mergeHubsIntoBlock(hubs, block);
        if (identities != nullptr) identitiesOfHubs(hubs, *identities);
    } catch (const std::bad_alloc&) {
        // Out of memory: the block stays as the caller passed it, without hubs.
    }
}

int readViewPort(const DeviceInfoBlock& view, int hubIndex, int portIndex, DeviceInfoRecord& record,
                 WithConfiguration with) {
    std::memset(&record, 0, sizeof record);
    if (hubIndex < 0 || hubIndex >= view.hubCount || portIndex < 0 || portIndex >= kPortsPerHub) return 0;
    copyPortToDeviceRecord(portRecord(view, hubIndex, portIndex), record, with);
    return 1;
}

}  // namespace vostrel

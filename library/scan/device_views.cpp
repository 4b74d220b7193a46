#include "scan/device_views.h"

#include <cstring>
#include <memory>
#include <new>

#include "scan/scan_buffer.h"
#include "scan/usb_tree_scan.h"

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
    // About 280 KB: on the heap, never on the calling thread's stack.
    const std::unique_ptr<ScanBuffer> scan(new (std::nothrow) ScanBuffer());
    if (!scan) return;
    ScanUsbTree(*scan);
    mergeScanIntoBlock(*scan, block);
    if (identities != nullptr) identitiesOfScan(*scan, *identities);
}

int readViewPort(const DeviceInfoBlock& view, int hubIndex, int portIndex, DeviceInfoRecord& record,
                 WithConfiguration with) {
    std::memset(&record, 0, sizeof record);
    if (hubIndex < 0 || hubIndex >= view.hubCount || portIndex < 0 || portIndex >= kPortsPerHub) return 0;
    copyPortToDeviceRecord(portRecord(view, hubIndex, portIndex), record, with);
    return 1;
}

}  // namespace vostrel

// Turning a scan into the block that callers and the monitor read, and one
// port of a block into a device record.
#pragma once

#include "frame/records.h"
#include "scan/scan_buffer.h"

namespace vostrel {

// The number of hubs a scan found: one per identity (serial number string),
// whichever of its hub devices were recorded.
int scannedHubCount(const ScanBuffer& scan);

// Merges `scan` into `block`, which the caller passes zeroed. Hub k is
// identity k. Each port shows the 0x2744 side's record when that side
// reports anything there, else the 0x5744 side's; every port of a merged
// hub carries its indexes.
void mergeScanIntoBlock(const ScanBuffer& scan, DeviceInfoBlock& block);

enum class WithConfiguration { No, Yes };

// Fills `record`, which the caller passes zeroed, from `port`: indexes,
// vendor and product IDs, the two strings and the connection status, and
// the configuration value when asked.
void copyPortToDeviceRecord(const PortInfoRecord& port, DeviceInfoRecord& record, WithConfiguration with);

}  // namespace vostrel

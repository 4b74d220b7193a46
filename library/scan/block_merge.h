// Turning the family's hubs of one walk into the block that callers and the
// monitor read, and one port of a block into a device record.
#pragma once

#include <vector>

#include "frame/records.h"
#include "usbbus/family_hubs.h"

namespace vostrel {

// Merges `hubs` into `block`, which the caller passes zeroed. Hub k is
// hubs[k]; each port shows its shown side's record (usbbus::shownSide), so a
// hub whose USB 2.0 hub device could not be read shows its SuperSpeed side
// alone. Every port of a merged hub carries its indexes.
void mergeHubsIntoBlock(const std::vector<usbbus::FamilyHub>& hubs, DeviceInfoBlock& block);

enum class WithConfiguration { No, Yes };

// Fills `record`, which the caller passes zeroed, from `port`: indexes,
// vendor and product IDs, the two strings and the connection status, and
// the configuration value when asked.
void copyPortToDeviceRecord(const PortInfoRecord& port, DeviceInfoRecord& record, WithConfiguration with);

}  // namespace vostrel

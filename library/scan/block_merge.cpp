#include "scan/block_merge.h"

#include <algorithm>

#include "frame/text.h"

namespace vostrel {
namespace {

// The tables hold each identity's two hub devices at the identity's own
// place, zero where that side was not recorded, so merging them place by
// place joins the halves by serial. A hub whose USB 2.0 hub device could not
// be read is kept with its SuperSpeed side alone.
void mergeTable(const PortInfoRecord* table, int hubs, DeviceInfoBlock& block) {
    for (int h = 0; h < hubs; ++h) {
        for (int p = 0; p < kPortsPerHub; ++p) {
            const PortInfoRecord& source = table[h * kPortsPerHub + p];
            PortInfoRecord& target = portRecord(block, h, p);
            if (source.connectionStatus != NoDeviceConnected) target = source;
            target.hubIndex = h;
            target.portIndex = p;
        }
    }
}

}  // namespace

int scannedHubCount(const ScanBuffer& scan) { return std::min<int>(scan.identityCount, kMaxHubs); }

void mergeScanIntoBlock(const ScanBuffer& scan, DeviceInfoBlock& block) {
    const int hubs = scannedHubCount(scan);
    mergeTable(scan.ports5744, hubs, block);
    mergeTable(scan.ports2744, hubs, block);
    block.hubCount = static_cast<std::uint8_t>(hubs);
}

void copyPortToDeviceRecord(const PortInfoRecord& port, DeviceInfoRecord& record, WithConfiguration with) {
    record.hubIndex = port.hubIndex;
    record.portIndex = port.portIndex;
    record.vendorId = port.vendorId;
    record.productId = port.productId;
    copyText(record.product, port.product);
    copyText(record.manufacturer, port.manufacturer);
    record.connectionStatus = port.connectionStatus;
    if (with == WithConfiguration::Yes) record.configurationValue = port.configurationValue;
}

}  // namespace vostrel

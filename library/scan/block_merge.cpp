#include "scan/block_merge.h"

#include <algorithm>

#include "frame/text.h"

namespace vostrel {
namespace {

// Each table is merged up to its own count of hub devices, not up to the
// number of identities.
void mergeTable(const PortInfoRecord* table, int count, DeviceInfoBlock& block) {
    for (int h = 0; h < std::min(count, kMaxHubs); ++h) {
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

void mergeScanIntoBlock(const ScanBuffer& scan, DeviceInfoBlock& block) {
    mergeTable(scan.ports5744, scan.count5744, block);
    mergeTable(scan.ports2744, scan.count2744, block);
    block.hubCount = scan.count2744;
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

#include "scan/block_merge.h"

#include <algorithm>

#include "frame/text.h"

namespace vostrel {

void mergeHubsIntoBlock(const std::vector<usbbus::FamilyHub>& hubs, DeviceInfoBlock& block) {
    const int count = std::min<int>(static_cast<int>(hubs.size()), kMaxHubs);
    for (int h = 0; h < count; ++h) {
        for (int p = 0; p < kPortsPerHub; ++p) {
            PortInfoRecord& target = portRecord(block, h, p);
            if (const usbbus::FamilyHubSide* shown = usbbus::shownSide(hubs[h], p)) target = shown->ports[p];
            target.hubIndex = h;
            target.portIndex = p;
        }
    }
    block.hubCount = static_cast<std::uint8_t>(count);
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

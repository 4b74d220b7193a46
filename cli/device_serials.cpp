// No record and no export of the hub library carries a device's or a hub's
// serial number, yet users name their devices by it, and a hub is only the
// same hub by it. The library's own scan reads
// it with each device's other strings, so this file, and only this one,
// runs that scan code (linked in from the library's sources) to look the
// serials up, numbering hubs exactly as the library does. Whatever is done
// with a port found here is first confirmed through the exports: the port
// must still show the same device there.
#include "device_serials.h"

#include <algorithm>
#include <memory>

#include "scan/block_merge.h"
#include "scan/hub_identity.h"
#include "scan/scan_buffer.h"
#include "scan/usb_tree_scan.h"
#include "utf8_text.h"

namespace vostrel::cli {

// This copy of the scan code belongs to the program alone, apart from the
// library it loads: its locks are never created, so there is none to take,
// and one thread scans.
Sightings scanSerials() NO_THREAD_SAFETY_ANALYSIS {
    const auto serials = std::make_unique<DeviceSerials>();
    const auto scan = std::make_unique<ScanBuffer>();
    scan->deviceSerials = serials.get();
    ScanUsbTree(*scan);

    Sightings found;
    for (const ScannedHub& hub : scannedHubs(*scan)) {
        found.hubs.push_back(
            {utf8FromUtf16(hub.serial.c_str(), hub.serial.size()), hub.location, hubSerialHash(hub.serial)});
    }
    for (int h = 0; h < scannedHubCount(*scan); ++h) {
        for (int p = 0; p < kPortsPerHub; ++p) {
            const int slot = h * kPortsPerHub + p;
            // The side the library's block shows for the port: the USB 2.0
            // side's record when it reports anything there, else the
            // SuperSpeed side's.
            const PortInfoRecord* record = nullptr;
            const std::u16string* serial = nullptr;
            if (scan->ports2744[slot].connectionStatus != NoDeviceConnected) {
                record = &scan->ports2744[slot];
                serial = &serials->ports2744[slot];
            } else if (scan->ports5744[slot].connectionStatus != NoDeviceConnected) {
                record = &scan->ports5744[slot];
                serial = &serials->ports5744[slot];
            }
            if (record == nullptr || serial->empty()) continue;
            found.devices.push_back({{h, p + 1},
                             {record->vendorId, record->productId},
                             utf8FromUtf16(serial->c_str(), serial->size())});
        }
    }
    return found;
}

}  // namespace vostrel::cli

// No record and no export of the hub library carries a device's serial
// number, yet users name their devices by it. The library's own scan reads
// it with each device's other strings, so this file, and only this one,
// runs that scan code (linked in from the library's sources) to look the
// serials up, numbering hubs exactly as the library does. Whatever is done
// with a port found here is first confirmed through the exports: the port
// must still show the same device there.
#include "device_serials.h"

#include <algorithm>
#include <memory>

#include "scan/scan_buffer.h"
#include "scan/usb_tree_scan.h"
#include "utf8_text.h"

namespace vostrel::cli {

std::vector<SerialSighting> scanDeviceSerials() {
    const auto serials = std::make_unique<DeviceSerials>();
    const auto scan = std::make_unique<ScanBuffer>();
    scan->deviceSerials = serials.get();
    ScanUsbTree(*scan);

    std::vector<SerialSighting> found;
    for (int h = 0; h < std::min<int>(scan->count2744, kMaxHubs); ++h) {
        for (int p = 0; p < kPortsPerHub; ++p) {
            const int slot = h * kPortsPerHub + p;
            // The side the library's block shows for the port: the USB 2.0
            // side's record when it reports anything there, else the
            // SuperSpeed side's (each table up to its own count).
            const PortInfoRecord* record = nullptr;
            const std::u16string* serial = nullptr;
            if (scan->ports2744[slot].connectionStatus != NoDeviceConnected) {
                record = &scan->ports2744[slot];
                serial = &serials->ports2744[slot];
            } else if (h < scan->count5744 && scan->ports5744[slot].connectionStatus != NoDeviceConnected) {
                record = &scan->ports5744[slot];
                serial = &serials->ports5744[slot];
            }
            if (record == nullptr || serial->empty()) continue;
            found.push_back({{h, p + 1},
                             {record->vendorId, record->productId},
                             utf8FromUtf16(serial->c_str(), serial->size())});
        }
    }
    return found;
}

}  // namespace vostrel::cli

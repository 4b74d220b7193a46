// The records that the walk of the family's hubs gives of a bus, and the
// serial numbers of the devices on their ports.
#pragma once

#include <memory>

#include "platform/usb_stack.h"
#include "scan/scan_buffer.h"
#include "usbbus/bus_model.h"

namespace vostrel::test {

// The walk's records of `bus`; `serials`, when given, receives the devices'
// serial numbers. Installs its own stack behind the library's USB seam for
// the time of the walk and none afterwards.
std::unique_ptr<ScanBuffer> walkRecords(std::shared_ptr<const usbbus::Bus> bus, DeviceSerials* serials = nullptr);

// A stack that answers from `bus`, for the library's exports to scan.
std::unique_ptr<platform::UsbStack> stackAnswering(std::shared_ptr<const usbbus::Bus> bus);

}  // namespace vostrel::test

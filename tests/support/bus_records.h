// The records that the walk of the family's hubs gives of a bus, in the
// tables of the scan through the I/O controls, and the serial numbers of the
// devices on their ports.
#pragma once

#include <memory>

#include "backends/bus_source.h"
#include "scan_buffer.h"
#include "usbbus/bus_model.h"

namespace vostrel::test {

// The walk's records of `bus`; `serials`, when given, receives the devices'
// serial numbers.
std::unique_ptr<ScanBuffer> walkRecords(std::shared_ptr<const usbbus::Bus> bus, DeviceSerials* serials = nullptr);

// A source that hands over `bus`, for the library's exports to scan.
std::unique_ptr<backends::BusSource> sourceOf(std::shared_ptr<const usbbus::Bus> bus);

}  // namespace vostrel::test

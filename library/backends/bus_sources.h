// The backends' sources of buses, and the choice among them behind the scan.
#pragma once

#include <memory>

#include "backends/bus_source.h"

namespace vostrel::backends {

// The source the scan reads. At the first call after load (the first scan,
// under the general lock) it is chosen once: a test's source installed with
// useBusSource(), else the module named by VOSTREL_USBSTACK when that
// variable is set and not empty, else the host's own stack.
BusSource& busSource();

// Forgets the chosen source so that the next load chooses again. Part of the
// library's unload steps; no scan may run at the same time.
void releaseBusSource();

// For tests: puts `source` behind the seam for every later scan, ahead of
// any choice; nullptr returns to the ordinary choice. The caller keeps
// ownership and keeps the source alive while it is installed. Not to be
// called while a scan runs.
void useBusSource(BusSource* source);

// A bus without controllers, always.
std::unique_ptr<BusSource> makeEmptyBusSource();

// The host's own stack: on Linux the kernel's view of the bus under
// /sys/bus/usb (sysfs_usb.h), on Windows the USB I/O controls.
std::unique_ptr<BusSource> makeHostBusSource();

// The stack of the module at `path` (platform/usb_stack.h,
// loadUsbStackModule), read through its USB I/O controls; a module that
// does not load, or lacks a function, gives buses without controllers.
std::unique_ptr<BusSource> makeModuleBusSource(const char* path);

}  // namespace vostrel::backends

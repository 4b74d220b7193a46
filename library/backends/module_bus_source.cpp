// A stack supplied by a module, read through its USB I/O controls.
#include "backends/bus_sources.h"
#include "backends/usb_stack_reader.h"
#include "platform/usb_stack.h"

namespace vostrel::backends {

std::unique_ptr<BusSource> makeModuleBusSource(const char* path) {
    return std::make_unique<UsbStackBusSource>(platform::loadUsbStackModule(path));
}

}  // namespace vostrel::backends

// The host's own stack on Windows: the USB I/O controls, read through at
// every scan.
#include "backends/bus_sources.h"
#include "backends/usb_stack_reader.h"
#include "platform/usb_stack.h"

namespace vostrel::backends {

std::unique_ptr<BusSource> makeHostBusSource() {
    return std::make_unique<UsbStackBusSource>(platform::makeHostUsbStack());
}

}  // namespace vostrel::backends

// A source of buses: what every backend of the host's USB stack implements
// (the kernel's view of the bus on Linux, the USB I/O controls on Windows, a
// module named by VOSTREL_USBSTACK, an empty stack, a test's bus). The scan
// asks it for the bus as it is now and walks that; nothing above it knows
// which backend answered.
#pragma once

#include <memory>

#include "usbbus/bus_model.h"

namespace vostrel::backends {

class BusSource {
public:
    virtual ~BusSource() = default;

    // The bus as it is now. Blocks while the backend reads the host's stack;
    // never fails: what cannot be read is missing from the bus (a stack that
    // lists nothing gives a bus without controllers). The bus is the
    // caller's to keep; the source keeps no pointer into it that it would
    // change later.
    virtual std::shared_ptr<const usbbus::Bus> read() = 0;
};

}  // namespace vostrel::backends

// The bus as a USB stack's device I/O controls show it: the backend of the
// Windows stack, and of any stack that speaks its controls (a module named by
// VOSTREL_USBSTACK, a test's stack).
//
// The reader asks what walking the family's hubs needs and nothing more:
// host controllers by number 9 down to 0, then the interface list; each
// driver key once, with its root hub and the hubs below it, depth first, at
// most 127 hubs and 7 tiers below a root hub; every port's connection; and
// the configuration and strings only of the devices whose strings a walk
// reads: the family's hub devices (their serial numbers) and the devices on
// the first four ports of a hub below one (their records). A string is asked
// in the listed languages until one reads; a hub met again under a name is
// asked only what its first meeting did not ask.
//
// The bus holds every answer as the stack gave it, unchecked, and what was
// not asked or failed is missing from it, so that walking the bus gives what
// walking the stack gave:
// - the controllers that open by number come first, 9 down to 0, then every
//   member of the interface list by its path, in order; each with the key
//   and root hub name it answered, if it opened; a list that cannot be
//   obtained at all is unavailable;
// - a hub that does not open or answer its node information is kept, named,
//   as one that does not answer its node information;
// - a port whose connection cannot be read holds no device, or, on an older
//   driver's hub (one whose ports all answered only the older connection
//   query), a device reporting none at low speed, since an empty port there
//   reports full speed; a port answered through the older query holds the
//   speed that query gives (low, or full for any other); a hub of the family
//   may hold devices on ports beyond those it counts, which it answered for;
// - a configuration that cannot be read whole is missing, and so are the
//   strings behind it; strings hold the bytes each answer returned after
//   the request header, or nothing where the request failed.
// A name is kept up to its first NUL; a name read empty is kept as a lone NUL,
// because an empty name in the bus means none could be read.
#pragma once

#include <memory>

#include "backends/bus_source.h"
#include "platform/usb_stack.h"
#include "usbbus/bus_model.h"

namespace vostrel::backends {

// Reads the whole bus through `stack`. Blocks while the stack answers; never
// fails. Not to be called for one stack from two threads at once.
std::shared_ptr<const usbbus::Bus> readBusThroughUsbStack(platform::UsbStack& stack);

class UsbStackBusSource final : public BusSource {
public:
    explicit UsbStackBusSource(std::unique_ptr<platform::UsbStack> stack) : stack_(std::move(stack)) {}

    // BusSource. Callers do not read one source from two threads at once.
    std::shared_ptr<const usbbus::Bus> read() override { return readBusThroughUsbStack(*stack_); }

private:
    std::unique_ptr<platform::UsbStack> stack_;
};

}  // namespace vostrel::backends

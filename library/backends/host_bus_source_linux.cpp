// The host's own stack on Linux: the kernel's view of the bus, read afresh
// at every scan.
#include "backends/bus_sources.h"
#include "backends/sysfs_usb.h"

namespace vostrel::backends {
namespace {

class SysfsBusSource final : public BusSource {
public:
    std::shared_ptr<const usbbus::Bus> read() override { return platform::readSysfsUsbBus().bus; }
};

}  // namespace

std::unique_ptr<BusSource> makeHostBusSource() { return std::make_unique<SysfsBusSource>(); }

}  // namespace vostrel::backends

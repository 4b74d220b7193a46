// The host's own stack on Linux: the kernel's view of the bus, read again at
// every scan by one reader that keeps what cannot change (sysfs_usb.h).
// Scans run one at a time, under the general lock, and so do the readings.
#include "backends/bus_sources.h"
#include "backends/sysfs_usb.h"

namespace vostrel::backends {
namespace {

class SysfsBusSource final : public BusSource {
public:
    std::shared_ptr<const usbbus::Bus> read() override { return reader_.read().bus; }

private:
    platform::SysfsUsbReader reader_;
};

}  // namespace

std::unique_ptr<BusSource> makeHostBusSource() { return std::make_unique<SysfsBusSource>(); }

}  // namespace vostrel::backends
